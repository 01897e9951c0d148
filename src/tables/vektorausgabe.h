#pragma once

#include "vektorausgabe_beobachter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

class Positionstabelle;

// What the vector output dialog shows when Start is pressed, captured on the window thread.
struct Vektoreingaben {
    int32_t Zyklen = 1; // cycle count; 0 or less still gives one pass
    bool Endlos = false;
    int32_t RefModus = 0; // 0 none, 1 before the first cycle, 2 before every cycle
    bool xReferenz = false, yReferenz = false, zReferenz = false, uReferenz = false;
    bool zInterpolieren = false;
    bool Festwertspeicher = false; // record into the KX900-KXCU fixed memory (Modul 3)
    // Command-line modes "/KORA", "/WT" and "/TORVAL".
    bool ModusKora = false;
    bool ModusWT = false;
    bool ModusTorval = false;
};

// The cycle field as the run reads it: an integer, anything else 0.
int32_t Zyklentext_lesen(std::string_view text);

struct Laufergebnis {
    bool Gestartet = false;   // false: refused before anything ran (a gear ratio of 0)
    int32_t Fehlercode = 0;   // the code that ended the run, 0 none
    bool Abgebrochen = false; // stopped by Abbrechen/Esc, or the fixed memory was full
    int Durchlaeufe = 0;      // passes over the table that were begun
    int32_t Zyklen = 1;       // what the cycle field shows afterwards
};

// The vector output run: passes over the position table row by row, switching outputs,
// setting speeds, moving and waiting through the command layer, for a number of cycles or
// endlessly, with reference cycles and optionally recorded into the KX900-KXCU fixed memory.
// It runs on the dialog's worker (TVekThread) or, for the program memory dialog, a single pass
// on the window thread, and shows its progress only through the Beobachter.
//
// The table is read, never written. It must not be changed while a run is under way; the
// dialog is modal, so the grid cannot be edited meanwhile.
class Vektorausgabe {
public:
    // Approaches the target angle and reads back the angle the display shows; false when the
    // angle was not reached. Installed by the angle-positioning mode.
    using Winkelanfahrt = std::function<bool(double soll, double& ist)>;

    static constexpr const char* Ergebnisdatei = "TabellenAusgabe.txt";
    static constexpr const char* Meldungstitel = "orvexa2011";

    // Neither is owned; both must outlive this object.
    explicit Vektorausgabe(const Positionstabelle& tabelle);
    Vektorausgabe(const Positionstabelle& tabelle, Vektorausgabe_Beobachter& beobachter);
    Vektorausgabe(const Vektorausgabe&) = delete;
    Vektorausgabe& operator=(const Vektorausgabe&) = delete;

    // Set before the start command is given; the run works with a copy taken as it begins.
    void Eingaben_setzen(const Vektoreingaben& eingaben);
    Vektoreingaben Eingaben() const;
    // Without one, every approach of the angle-positioning mode counts as not reached.
    void Winkelanfahrt_setzen(Winkelanfahrt anfahrt);

    // The run (command 1 of the worker). Errors are reported here, never thrown.
    void StartBitBtn_Thread();
    // One pass over the table. Throws the command layer's Steuerungsfehler.
    void Vek_TabellenAusgabe(bool zInterpolieren);
    // Reference cycle of the flagged axes. Throws Steuerungsfehler.
    void Vek_Referenzfahrt(bool x, bool y, bool z, bool u);
    // Switches off the outputs the controller type has. Throws Steuerungsfehler.
    void Vek_Ausgangssignal_zuruecksetzen();

    // From the window thread while a run is under way.
    // "Abbrechen" and Esc: the rest of the run does nothing; the axes are stopped, or a
    // recording into the fixed memory is erased.
    void Abbrechen();
    // "z": stop after the current cycle.
    void Zyklen_abbrechen();

    Laufergebnis Ergebnis() const;
    // Result lines of the angle-positioning mode.
    std::vector<std::string> AusgabeListe() const;

    std::atomic<bool> VekAbbruch{false};
    std::atomic<bool> ZyklenAbbruch{false};
    std::atomic<bool> FestwertspeicherAktiv{false};
    // Passed to every E1 link command: with it the link setting is sent (to be stored)
    // instead of waiting for the input. A stored setting of the dialog; the program memory
    // dialog sets it while it writes a table.
    std::atomic<bool> InFestwertspeicher{false};

private:
    void Lauf(const Vektoreingaben& e, Laufergebnis& ergebnis, int32_t& zyklen);
    void Tabellenausgabe(const Vektoreingaben& e, bool zInterpolieren);
    void Zeile_ausfuehren(const Vektoreingaben& e, int zeile, bool zInterpolieren);
    void Achsen_fahren(int zeile, bool zInterpolieren);
    void Winkel_fahren(int zeile);
    void Ausgang_schalten(const Vektoreingaben& e, int32_t nummer, int32_t zustand);
    void Ausgaenge_zuruecksetzen(const Vektoreingaben& e);
    std::string Zelle(int zeile, int spalte) const;
    void Ausgabeliste_speichern();

    const Positionstabelle& m_tabelle;
    Vektorausgabe_Beobachter& m_beobachter;

    mutable std::mutex m_mutex; // guards the members below
    Vektoreingaben m_eingaben;
    Winkelanfahrt m_winkelanfahrt;
    Laufergebnis m_ergebnis;
    std::vector<std::string> m_ausgabeliste;
};

} // namespace orvexa
