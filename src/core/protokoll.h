#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvexa {

// Levels of the protocol log; only the low byte of a level counts.
enum Protokollebene : int {
    Ebene_ohne_Einzug = 1,
    Ebene_Befehl = 32,  // command-layer calls
    Ebene_Seriell = 64, // serial link
    Ebene_Fehler = 128, // error reports, failed closes
};

// Longest line text, after control characters are spelled out.
inline constexpr std::size_t Protokollzeile_max = 255;

// Full path of "~protokoll.log" in the program directory.
std::string Protokolldateiname();

// One line at the given level; nothing for a level without an indentation. Thread-safe: every
// line is appended whole (open, write, close) and lines never interleave.
void Protokoll_schreiben(int ebene, std::string_view text);
void Protokoll_Zeile(std::string_view text);
void Protokoll_loeschen();

// Copies source, spelling out SOH, STX, ETX, ACK, BEL, CR and NAK as "<SOH>" and so on. The
// result holds at most 255 characters; a name that would not fit whole is left out, so a cut
// line never ends in half a name.
std::string Steuerzeichen_ersetzen(std::string_view source);

} // namespace orvexa
