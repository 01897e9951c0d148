#pragma once

#include <cstdint>
#include <span>

namespace orvexa {

enum class Verbindungsart { keine, Parallelport, Seriell };

// Which driver module serves a controller type.
enum class Treiberart {
    keiner,
    Phasenkarte,    // KX400/KX750 on the parallel port
    TaktRichtKarte, // step/direction cards on the parallel port
    Ikxif,          // older program-storing serial controller
    Kxcu,           // older program-storing serial controller with fixed memory
    SerielleLinie,  // microcontroller controllers on the serial link
};

struct Steuerungstyp {
    int32_t Modul;
    const char* Radiotext;   // caption of the dialog's radio button
    const char* Dialogtitel; // title of the parameter dialog for this type
    const char* Anzeigename; // what Steuerung_erzeugen returns
    Verbindungsart Verbindung;
    Treiberart Treiber;
    uint8_t Linientag; // tag of the serial link; 0 for the other types
};

// The types in the order of the dialog's radio buttons (0..7, 10..13).
std::span<const Steuerungstyp> Steuerungstypen();

// nullptr for 8, 9 and values outside the table.
const Steuerungstyp* Steuerungstyp_zu(int32_t modul);

bool ist_serieller_Typ(int32_t modul);    // 5, 6, 10..13
bool ist_paralleler_Typ(int32_t modul);   // 0, 1, 4, 7
bool ist_speichernder_Typ(int32_t modul); // 2, 3

} // namespace orvexa
