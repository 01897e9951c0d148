#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvexa {

// Title of the box for a failure that is no controller error: a programming error.
inline constexpr const char* Programmfehler_Titel = "orvexa2011";

// Runs one action of a worker command to its end, whatever ends it, so the command reports a
// failure once and its dialog always returns to idle:
//  - 0 when the action went through;
//  - the code of a Steuerungsfehler. Its box is up to the layers and the caller as before;
//    -1 has been shown already.
//  - for anything else one warning box (the exception's text, Programmfehler_Titel) and the
//    protocol line caption " :: " text, then Fehler_bereits_gemeldet, so the caller shows
//    nothing more.
int32_t Arbeit_ausfuehren(const std::string& caption, const std::function<void()>& aktion);

// A code of Arbeit_ausfuehren that the caller still has to report: not 0 and not -1.
bool Noch_zu_melden(int32_t code);

} // namespace orvexa
