#pragma once

#include <array>
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

// What Ansteuersignale_einstellen sends to the type.
enum class Signalquelle {
    keine,     // nothing
    Parameter, // the Steuersignal of the parameter set
    eigenes,   // always 1: the controller knows only its own signal
};

// Which output numbers Ausgangssignal_setzen passes on.
enum class Ausgangsbereich {
    alle,
    nur_0_und_1,         // KX400 card and KXCU
    Ausgang_1_und_Stift, // iKXIF: output 1, and 122 (the pen) as a one-step nudge of z
};

// What a click on the type in the parameter dialog presets; bleibt leaves the value.
struct Antriebsvorgaben {
    static constexpr int32_t bleibt = -1;
    int32_t Steuersignal = bleibt;
    int32_t Schrittbetrieb = bleibt;
    int32_t Ruhestrom = bleibt;
    int32_t ZBetrieb = bleibt;
    int32_t UBetrieb = bleibt;
};

// What opening a step/direction card sets; Grenzwerte go out only when Max_frequenz > 0.
struct Karteneingaenge {
    bool gruppe_11_bis_15 = false;
    bool nur_pin11 = false;
    bool aktiv_hoch = false;
    int32_t Max_frequenz = 0;
    int32_t Pulsteiler = 0;
};

struct Steuerungstyp {
    int32_t Modul;
    const char* Radiotext;   // caption of the dialog's radio button
    const char* Dialogtitel; // title of the parameter dialog for this type
    const char* Anzeigename; // what Steuerung_erzeugen returns
    Verbindungsart Verbindung;
    Treiberart Treiber;
    uint8_t Linientag = 0; // tag of the serial link; 0 for the other types

    // Drives. Antriebswahl: the dialog offers signal, step mode and current, and the step mode
    // is sent to the controller.
    bool Antriebswahl = false;
    Signalquelle Ansteuersignal = Signalquelle::keine;
    bool ZBetrieb = false; // Z_Achse_einstellen sends the z mode
    bool UBetrieb = false; // U_Achse_einstellen sends the u mode; the dialog shows "U-Achse als"
    Antriebsvorgaben Vorgaben{};
    bool U_Achse = false;       // u moves; the table's u column
    bool U_Parameter = false;   // the u rows and y/z/u speed columns of the parameter dialog
    bool WZL_Differenz = false; // keeps the tool-length difference zWZLdelta

    // Outputs.
    Ausgangsbereich Ausgaenge = Ausgangsbereich::alle;
    int32_t Rueckgesetzte_Ausgaenge = 1; // the vector run first switches off outputs 1..n
    int32_t Schaltausgaenge = 1;         // output columns Aus-1..n of the position table
    bool Torval_Schaltausgang = false;   // one more column in the Torval mode
    // The type titles the table's output columns; the others keep the titles shown before.
    bool Ausgangstitel = false;
    bool I2C_Ausgaenge = false;

    // Serial link.
    bool Programmspeicher = false; // program places on the controller: repeats can be stored
    bool Ungeoeffnet_bis_Verbinden = false; // the link carries Tag_nicht_geoeffnet until opened
    bool Vollinit_Anfragen = false;         // a full initialisation first sends the c/D presets

    // Dispensing: the Doming windows and their settings dialogs serve the type (the valve
    // request goes on its serial link).
    bool Doming = false;

    // Program-storing controllers.
    bool Festwertspeicher = false; // fixed memory: recording of a vector run

    // Parallel cards.
    const char* Kartenname = nullptr; // the version text; nullptr: the module's own name
    Karteneingaenge Eingaenge{};      // step/direction cards
    // Input pins of the x, y, z, u reference switches; 0 where the status is not read.
    std::array<int32_t, 4> Referenzschalterpins{};

    // In the WT / Torval mode the window title names the customer's machine.
    bool Kundenname_WT = false;
    bool Kundenname_Torval = false;
};

// The types in the order of the dialog's radio buttons (0..7, 10..13).
std::span<const Steuerungstyp> Steuerungstypen();

// nullptr for 8, 9 and values outside the table.
const Steuerungstyp* Steuerungstyp_zu(int32_t modul);
// The row of modul; for 8, 9 and values outside the table a row without driver and with
// every ability off.
const Steuerungstyp& Typangaben(int32_t modul);

bool ist_speichernder_Treiber(Treiberart treiber); // Ikxif, Kxcu

bool ist_serieller_Typ(int32_t modul);    // 5, 6, 10..13
bool ist_paralleler_Typ(int32_t modul);   // 0, 1, 4, 7
bool ist_speichernder_Typ(int32_t modul); // 2, 3
bool hat_Festwertspeicher(int32_t modul); // 3
bool hat_Programmspeicher(int32_t modul); // 5, 6
bool hat_Doming(int32_t modul);           // 5, 6

} // namespace orvexa
