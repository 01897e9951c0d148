#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

// The stored choices of the vector output dialog ("<program>_konfig.dat").
struct Vektoreinstellungen {
    int32_t RefModus = 0;                 // 0 none, 1 before the first cycle, 2 before every cycle
    std::array<bool, 3> RefZyklusAktiv{}; // reference axes x, y, z; u is not stored
    bool zAchseInterpolieren = false;
    bool InFestwertspeicher = false;

    bool operator==(const Vektoreinstellungen&) const = default;
};

// Program directory + the executable's name without extension, lower-cased, + "_konfig.dat".
std::string Vektoreinstellungen_Dateiname();

// The file's bytes: key=value lines with an empty line after each group, CR LF.
std::string Vektoreinstellungen_Inhalt(const Vektoreinstellungen& e);

// Looks each value up by key, in any case; keys that are missing keep their defaults, a mode
// outside 0..2 or one that is no integer gives 0. LF alone and a UTF-8 mark at the start are
// accepted too.
Vektoreinstellungen Vektoreinstellungen_aus_Dateiinhalt(std::string_view bytes);

// A missing or unreadable file gives the defaults.
Vektoreinstellungen Vektoreinstellungen_laden(const std::string& pfad);

// Writes the whole file atomically; on failure the old file stays, the operator is told and
// false is returned.
bool Vektoreinstellungen_speichern(const Vektoreinstellungen& e, const std::string& pfad);

} // namespace orvexa
