#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orvexa {

class Parallelkarte;
class Speichermodul;
class SeriellerBefehlssatz;

// Controller information, shared with the main window.
struct Steuerungsinfo {
    static constexpr std::size_t Version_max = 41;
    static constexpr std::size_t Schnittstelle_max = 9;
    static constexpr std::size_t Einstellung_max = 14;

    std::string Version;
    std::string Schnittstelle;
    std::string Einstellung;
    // Set by Achsen_anhalten (window thread), consumed by the abort check (worker).
    std::atomic<bool> Abbruch{false};
};

Steuerungsinfo& Steuerung();
// Stop flag of the serial types; ends the E1 input wait.
extern std::atomic<bool> Stopp;

// How the command layer makes its driver modules. Each issue of a driver fills its entry;
// an empty entry means that type has no driver yet and its operations do nothing.
struct Treiberfabrik {
    std::function<std::unique_ptr<Parallelkarte>(int32_t modul)> Parallelkarte_erzeugen;
    std::function<std::unique_ptr<Speichermodul>(int32_t modul)> Speichermodul_erzeugen;
    std::function<std::unique_ptr<SeriellerBefehlssatz>()> SerielleLinie_erzeugen;
};
void Treiberfabrik_setzen(Treiberfabrik fabrik);

// The modules that exist now (nullptr when none); for tests and for the parts that send raw
// requests on the serial link.
Parallelkarte* Aktuelle_Parallelkarte();
Speichermodul* Aktuelles_Speichermodul();
SeriellerBefehlssatz* koraCOM();
// Creates the serial link at program start (as the program entry does).
void Serielle_Linie_erzeugen();
// Destroys every module (program end, and between tests).
void Steuerungsmodule_freigeben();

// When Abbruch is set: clears it and throws Steuerungsfehler(THROW_ABORT). Runs after every
// motion and wait piece, so a stop from the window ends the worker's sequence.
void Abbruch_pruefen();

// Configuration
void Ansteuersignale_einstellen();
void Schrittbetrieb_einstellen();
void Z_Achse_einstellen();
void U_Achse_einstellen();
void Startgeschwindigkeit_einstellen(int32_t freq);
void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq);
void Rampenlaenge_einstellen(int32_t ms);
void Referenzgeschwindigkeit_einstellen(int32_t freq);
void Referenzoffset_einstellen(char achse, double mm);

// Queries
bool Version_abfragen();
int32_t Achsenposition_abfragen_in_Schritten(char achse);
double Achsenposition_abfragen_in_mm(char achse);
double Schritte_in_mm(char achse, int32_t schritte);
int32_t mm_in_Schritte(char achse, double mm);
// The reference offset in steps as Referenzoffset_einstellen sends it (rounded up).
int32_t Referenzoffset_in_Schritte(char achse, double mm);
bool Eingangspin_abfragen(int32_t pin);
bool Aufzeichnung_beendet();

// Motion
// Wartezeit_einfuegen hands the controller its wait in pieces of at most this length.
inline constexpr int32_t Wartestueck_laenge_ms = 1000;
void Referenzfahrt_ausfuehren(const std::string& achsen);
void xyzuReset_durchfuehren(bool x, bool y, bool z, bool u);
// The order text xyzuReset_durchfuehren builds from the reference order numbers.
std::string Referenzreihenfolge(bool x, bool y, bool z, bool u);
// The target of an absolute move for an axis that stays where it is.
inline constexpr int32_t Achse_bleibt = 99999;

void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                            int32_t terminator);
void UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u, int32_t terminator);
void Achsen_anhalten();
void Achsen_sofort_stoppen();
void Wartezeit_einfuegen(int32_t ms);

// Outputs and inputs
void Ausgangssignal_setzen(int32_t nummer, int32_t zustand);
void I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand);
void E1Verknuepfung_setzen(int32_t nummer, bool modus);

// Fixed memory and stored programs
void Upload_in_Festwertspeicher();
void End_in_Festwertspeicher();
void Festwertspeicher_loeschen();
void Programmdurchlaeufe_hinterlegen(int32_t anzahl);
void Programm_starten();
void Bewegungsende_abwarten();

// Opening and closing
std::string Steuerung_erzeugen();
void Schnittstelle_beschreiben();
bool Steuerung_oeffnen(const std::string& port_text);
void Steuerung_schliessen();
void InitializeSteuerung(bool full);

} // namespace orvexa
