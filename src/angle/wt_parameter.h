#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

struct Maschinenparameter;

// The angle parameters of the angle-positioning mode ("/WT"): the two ports, the steps per
// degree of the rotary axis, its speeds and the three figures of the staged approach.
struct WT_Parameter {
    std::string KXCU_Com;          // "COM3"
    std::string ND261_Com;         // "COM2"
    int32_t Umrechnungsfaktor = 0; // motor steps per degree
    int32_t WT_Startfreq = 0;      // Hz
    int32_t WT_Endfreq = 0;        // Hz
    int32_t WT_Reffreq = 0;        // Hz
    int32_t WT_Rampe = 0;          // ms
    double uebersteuern = 0;       // degrees above the target
    int32_t annaehern = 0;         // steps above the target the coarse move aims at
    int32_t schrittweise = 0;      // cycles of the approach

    bool operator==(const WT_Parameter&) const = default;
};

// The file's name; it lives in the current directory.
inline constexpr const char* WT_Parameterdatei = "wt_parameter.dat";

// The file's bytes: Windows-1252, CR LF, the keys in their fixed order with empty lines.
std::string WT_Parameterdatei_Inhalt(const WT_Parameter& p);
// Values by key without regard to case; a missing key gives 0 or an empty text.
WT_Parameter WT_Parameter_aus_Dateiinhalt(std::string_view bytes);
// Atomically; a failure is shown to the operator and the old file stays.
bool WT_Parameterdatei_speichern(const WT_Parameter& p, const std::string& pfad);

// The load at start-up: the file when it exists (true), else the defaults of the machine
// parameter set and the angle parameters as they are (false); then the machine parameter set
// is fixed from the angle parameters.
bool WT_Parameter_laden(WT_Parameter& p, Maschinenparameter& m, const std::string& pfad);

// The controller type of the rotary axis: the KX900-KXCU.
int32_t WT_Modul();

// Fixes the machine parameter set: one rotary axis as x of the KX900-KXCU on the KXCU port.
void WT_Maschinenparameter_setzen(const WT_Parameter& p, Maschinenparameter& m);

} // namespace orvexa
