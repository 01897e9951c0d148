#include "steuerung.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "drivers/parallelkarte.h"
#include "drivers/seriellerbefehlssatz.h"
#include "drivers/speichermodul.h"
#include "platform/oberflaeche.h"
#include "platform/zeitbasis.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

namespace orvexa {

std::atomic<bool> Stopp{false};

namespace {

Treiberfabrik g_fabrik;
// Replaced only on the window thread while no worker runs; the workers and the stop buttons
// only read them.
std::unique_ptr<Parallelkarte> g_parallelkarte;
std::unique_ptr<Speichermodul> g_speichermodul;
std::unique_ptr<SeriellerBefehlssatz> g_linie;

constexpr char NAK = 21;
constexpr int32_t Wartestueck_ms = Wartestueck_laenge_ms;
constexpr int32_t Eingang_Abfrageabstand_ms = 50;
constexpr int32_t Hoechste_Referenznummer = 99;

int32_t Modul() {
    return Parametersatz().Modul;
}

const Steuerungstyp& Aktueller_Typ() {
    return Typangaben(Modul());
}

// The module of the current type's driver kind, when it exists; the other two are nullptr.
// Every operation reaches its driver through this, so a type without driver or without
// module gets nothing.
struct Treiberzugriff {
    Parallelkarte* Karte = nullptr;
    Speichermodul* Speicher = nullptr;
    SeriellerBefehlssatz* Linie = nullptr;
};

Treiberzugriff Aktiver_Treiber() {
    switch (Aktueller_Typ().Treiber) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        return {.Karte = g_parallelkarte.get()};
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        return {.Speicher = g_speichermodul.get()};
    case Treiberart::SerielleLinie:
        return {.Linie = g_linie.get()};
    case Treiberart::keiner:
        break;
    }
    return {};
}

// The program-storing module of a type with fixed memory; nullptr for the others.
Speichermodul* Festwertspeichermodul() {
    return Aktueller_Typ().Festwertspeicher ? Aktiver_Treiber().Speicher : nullptr;
}

void Befehl_protokollieren(const std::string& text) {
    Protokoll_schreiben(Ebene_Befehl, text);
}

// Shortest text that reads back as the same double, with a point whatever the locale.
std::string Zahl_kurz(double wert) {
    std::array<char, 64> puffer{};
    const auto ergebnis = std::to_chars(puffer.data(), puffer.data() + puffer.size(), wert);
    return std::string(puffer.data(), ergebnis.ptr);
}

struct Achsmechanik {
    double Uebersetz;
    int32_t MotStep;
};

// False for a letter that names no axis.
bool Mechanik_zu(char achse, Achsmechanik& mechanik) {
    const Maschinenparameter& p = Parametersatz();
    switch (achse) {
    case 'x':
    case 'X':
        mechanik = {p.xUebersetz, p.xMotStep};
        return true;
    case 'y':
    case 'Y':
        mechanik = {p.yUebersetz, p.yMotStep};
        return true;
    case 'z':
    case 'Z':
        mechanik = {p.zUebersetz, p.zMotStep};
        return true;
    case 'u':
    case 'U':
        mechanik = {p.uUebersetz, p.uMotStep};
        return true;
    default:
        return false;
    }
}

// Values a hair off a whole number are taken as that number, so that 0.07 mm at 400 steps/mm
// is 28 steps and not 29 (ceiling) or 0.29 mm is 116 and not 115 (truncation).
double Rundungsfehler_entfernen(double wert) {
    const double naechste = std::nearbyint(wert);
    if (std::fabs(wert - naechste) <= 1e-9 * std::max(1.0, std::fabs(wert))) return naechste;
    return wert;
}

// Whole steps for the drivers: NaN gives 0, everything else is held inside int32.
int32_t Schritte_begrenzen(double wert) {
    if (std::isnan(wert)) return 0;
    constexpr double unten = std::numeric_limits<int32_t>::min();
    constexpr double oben = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(wert, unten, oben));
}

// A motion or dwell command of the serial link has answered; NAK means it runs and its
// completion answer is still to come.
void Abschluss_abwarten(const std::string& erste_antwort, int32_t timeout_ms) {
    if (erste_antwort.empty() || erste_antwort.front() != NAK || !g_linie) return;
    try {
        g_linie->WaitResp(timeout_ms);
    } catch (const Steuerungsfehler& fehler) {
        // A stop ended the wait: the abort is raised here, so it must not fire again later.
        if (fehler.code() == THROW_ABORT) Steuerung().Abbruch = false;
        throw;
    }
}

// A controller that does not answer the stop request will not send the completion a worker
// waits for either; that wait is ended, so the stop button always stops the run.
void Stopp_senden(void (SeriellerBefehlssatz::*stopp)()) {
    Stopp = true;
    if (!g_linie) return;
    try {
        (g_linie.get()->*stopp)();
    } catch (const Steuerungsfehler&) {
        g_linie->Warten_abbrechen();
        throw;
    }
}

void Wartestueck_ausfuehren(int32_t ms) {
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Wartezeit_einfuegen(ms);
    if (t.Speicher) {
        t.Speicher->Wartezeit_einfuegen(ms);
        t.Speicher->Bewegungsende_abwarten();
    }
    if (t.Linie) Abschluss_abwarten(t.Linie->Wartezeit_einfuegen(ms), 2 * ms);
}

// The input wait of the E1 link on the serial types: ends when input B is high or a stop
// request sets Stopp.
void Auf_Eingang_B_warten() {
    Stopp = false;
    struct StoppLoeschen {
        ~StoppLoeschen() { Stopp = false; }
    } loeschen;
    while (true) {
        Zeitbasis::Schlafen(Eingang_Abfrageabstand_ms);
        if (Stopp || !g_linie) break;
        if (g_linie->Eingang_abfragen_Potential('B')) break;
    }
}

struct Reihenfolge {
    std::string text;
    std::vector<std::pair<char, int32_t>> ausgelassen;
};

Reihenfolge Reihenfolge_bilden(bool x, bool y, bool z, bool u) {
    const Maschinenparameter& p = Parametersatz();
    constexpr std::array<char, 4> buchstaben{'x', 'y', 'z', 'u'};
    std::array<int32_t, 4> nummern{x ? p.xRefNr : 0, y ? p.yRefNr : 0, z ? p.zRefNr : 0,
                                   u ? p.uRefNr : 0};
    Reihenfolge ergebnis;
    // A number that can never be picked would keep the loop below from ending.
    for (std::size_t i = 0; i < nummern.size(); ++i) {
        if (nummern[i] >= Hoechste_Referenznummer) {
            ergebnis.ausgelassen.emplace_back(buchstaben[i], nummern[i]);
            nummern[i] = 0;
        }
    }
    while (true) {
        std::size_t gewaehlt = nummern.size();
        for (std::size_t i = 0; i < nummern.size(); ++i) {
            if (nummern[i] > 0 && (gewaehlt == nummern.size() || nummern[i] < nummern[gewaehlt]))
                gewaehlt = i;
        }
        if (gewaehlt == nummern.size()) break;
        ergebnis.text += buchstaben[gewaehlt];
        nummern[gewaehlt] = 0;
    }
    return ergebnis;
}

int32_t Offset_in_Schritte(char achse, double mm) {
    Achsmechanik m{};
    if (!Mechanik_zu(achse, m) || m.Uebersetz == 0) return 0;
    return Schritte_begrenzen(std::ceil(Rundungsfehler_entfernen(mm / m.Uebersetz * m.MotStep)));
}

} // namespace

Steuerungsinfo& Steuerung() {
    static Steuerungsinfo info;
    return info;
}

void Treiberfabrik_setzen(Treiberfabrik fabrik) {
    g_fabrik = std::move(fabrik);
}

Parallelkarte* Aktuelle_Parallelkarte() {
    return g_parallelkarte.get();
}

Speichermodul* Aktuelles_Speichermodul() {
    return g_speichermodul.get();
}

SeriellerBefehlssatz* koraCOM() {
    return g_linie.get();
}

void Serielle_Linie_erzeugen() {
    if (!g_linie && g_fabrik.SerielleLinie_erzeugen) g_linie = g_fabrik.SerielleLinie_erzeugen();
}

void Steuerungsmodule_freigeben() {
    g_parallelkarte.reset();
    g_speichermodul.reset();
    g_linie.reset();
}

void Abbruch_pruefen() {
    if (Steuerung().Abbruch.exchange(false)) throw Steuerungsfehler(THROW_ABORT);
}

// ---- Configuration ----

void Ansteuersignale_einstellen() {
    Befehl_protokollieren("Ansteuersignale_einstellen()");
    const Maschinenparameter& p = Parametersatz();
    const Signalquelle quelle = Aktueller_Typ().Ansteuersignal;
    if (quelle == Signalquelle::keine) return;
    const int32_t signal = quelle == Signalquelle::eigenes ? 1 : p.Steuersignal;
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Speicher) t.Speicher->Ansteuersignale_einstellen(signal);
    if (t.Linie) t.Linie->Ansteuersignale_einstellen(signal);
}

void Schrittbetrieb_einstellen() {
    Befehl_protokollieren("Schrittbetrieb_einstellen()");
    const Maschinenparameter& p = Parametersatz();
    if (!Aktueller_Typ().Antriebswahl) return;
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Schrittbetrieb_einstellen(p.Schrittbetrieb, p.Ruhestrom);
    if (t.Speicher) t.Speicher->Schrittbetrieb_einstellen(p.Schrittbetrieb);
    // Step mode and current belong to the card's own signal only.
    if (t.Linie && p.Steuersignal == 0)
        t.Linie->Schrittbetrieb_einstellen(p.Schrittbetrieb, p.Ruhestrom);
}

void Z_Achse_einstellen() {
    Befehl_protokollieren("Z_Achse_einstellen()");
    const Treiberzugriff t = Aktiver_Treiber();
    if (Aktueller_Typ().ZBetrieb && t.Speicher)
        t.Speicher->Z_Achse_einstellen(Parametersatz().ZBetrieb);
}

void U_Achse_einstellen() {
    Befehl_protokollieren("U_Achse_einstellen()");
    const Treiberzugriff t = Aktiver_Treiber();
    if (Aktueller_Typ().UBetrieb && t.Speicher)
        t.Speicher->U_Achse_einstellen(Parametersatz().UBetrieb);
}

void Startgeschwindigkeit_einstellen(int32_t freq) {
    Befehl_protokollieren(Formatieren("Startgeschwindigkeit_einstellen(%d)", freq));
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Startgeschwindigkeit_einstellen(freq);
    if (t.Speicher) t.Speicher->Startgeschwindigkeit_einstellen(freq);
    if (t.Linie) t.Linie->Startgeschwindigkeit_einstellen(freq);
}

void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    Befehl_protokollieren(Formatieren("Endgeschwindigkeit_einstellen(%d, %d)", index, freq));
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Endgeschwindigkeit_einstellen(index, freq);
    if (t.Speicher) t.Speicher->Endgeschwindigkeit_einstellen(index, freq);
    if (t.Linie) t.Linie->Endgeschwindigkeit_einstellen(index, freq);
}

void Rampenlaenge_einstellen(int32_t ms) {
    Befehl_protokollieren(Formatieren("Rampenlaenge_einstellen(%d)", ms));
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Rampenlaenge_einstellen(ms);
    if (t.Speicher) t.Speicher->Rampenlaenge_einstellen(ms);
    if (t.Linie) t.Linie->Rampenlaenge_einstellen(ms);
}

void Referenzgeschwindigkeit_einstellen(int32_t freq) {
    Befehl_protokollieren(Formatieren("Referenzgeschwindigkeit_einstellen(%d)", freq));
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Referenzgeschwindigkeit_einstellen(freq);
    if (t.Speicher) {
        t.Speicher->Referenzgeschwindigkeit_einstellen(freq);
        // The iKXIF takes the reference direction of x, y and z after the speed.
        if (Aktueller_Typ().Treiber == Treiberart::Ikxif)
            for (char achse : {'x', 'y', 'z'})
                t.Speicher->Referenzrichtung_einstellen(achse);
    }
    if (t.Linie) t.Linie->Referenzgeschwindigkeit_einstellen(freq);
}

void Referenzoffset_einstellen(char achse, double mm) {
    Befehl_protokollieren("Referenzoffset_einstellen(" + std::string(1, achse) + ", " +
                          Zahl_kurz(mm) + ")");
    const int32_t schritte = Offset_in_Schritte(achse, mm);
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Referenzoffset_einstellen(achse, schritte);
    // The KXCU has no reference offset.
    if (t.Speicher && Aktueller_Typ().Treiber == Treiberart::Ikxif)
        t.Speicher->Referenzoffset_einstellen(achse, schritte);
    if (t.Linie) t.Linie->Referenzoffset_einstellen(achse, schritte);
}

// ---- Queries ----

bool Version_abfragen() {
    Befehl_protokollieren("Version_abfragen()");
    Steuerungsinfo& info = Steuerung();
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) {
        const bool ergebnis = t.Karte->Version_abfragen();
        // The step/direction module has one name for three cards; the type tells them apart.
        const char* kartenname = Aktueller_Typ().Kartenname;
        info.Version =
            kartenname ? kartenname : Utf8_kuerzen(t.Karte->Name(), Steuerungsinfo::Version_max);
        return ergebnis;
    }
    if (t.Speicher) {
        const bool ergebnis = t.Speicher->Version_abfragen();
        info.Version = Utf8_kuerzen(t.Speicher->Kennung(), Steuerungsinfo::Version_max);
        return ergebnis;
    }
    if (t.Linie) {
        info.Version = Utf8_kuerzen(t.Linie->Version_abfragen(), Steuerungsinfo::Version_max);
        return !info.Version.empty();
    }
    return false;
}

int32_t Achsenposition_abfragen_in_Schritten(char achse) {
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) return t.Karte->Achsenposition_abfragen(achse);
    if (t.Speicher) return t.Speicher->Achsenposition_abfragen(achse);
    if (t.Linie) return t.Linie->Achsenposition_abfragen(achse);
    return 0;
}

double Achsenposition_abfragen_in_mm(char achse) {
    return Schritte_in_mm(achse, Achsenposition_abfragen_in_Schritten(achse));
}

double Schritte_in_mm(char achse, int32_t schritte) {
    Achsmechanik m{};
    if (!Mechanik_zu(achse, m) || m.MotStep == 0) return 0;
    const double mm = schritte * m.Uebersetz / m.MotStep;
    return std::isfinite(mm) ? mm : 0;
}

int32_t Referenzoffset_in_Schritte(char achse, double mm) {
    return Offset_in_Schritte(achse, mm);
}

int32_t mm_in_Schritte(char achse, double mm) {
    Achsmechanik m{};
    if (!Mechanik_zu(achse, m) || m.Uebersetz == 0) return 0;
    return Schritte_begrenzen(std::trunc(Rundungsfehler_entfernen(mm * m.MotStep / m.Uebersetz)));
}

bool Eingangspin_abfragen(int32_t pin) {
    const Treiberzugriff t = Aktiver_Treiber();
    return t.Karte && t.Karte->Eingangspin_abfragen(pin);
}

bool Aufzeichnung_beendet() {
    const Speichermodul* speicher = Festwertspeichermodul();
    return speicher && speicher->Aufzeichnung_beendet();
}

// ---- Motion ----

void Referenzfahrt_ausfuehren(const std::string& achsen) {
    Befehl_protokollieren("Referenzfahrt_ausfuehren(" + achsen + ")");
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Referenzfahrt_ausfuehren(achsen);
    if (t.Speicher) t.Speicher->Referenzfahrt_ausfuehren(achsen);
    if (t.Linie) Abschluss_abwarten(t.Linie->Referenzfahrt_ausfuehren(achsen), -1);
    Abbruch_pruefen();
}

std::string Referenzreihenfolge(bool x, bool y, bool z, bool u) {
    return Reihenfolge_bilden(x, y, z, u).text;
}

void xyzuReset_durchfuehren(bool x, bool y, bool z, bool u) {
    const Reihenfolge reihenfolge = Reihenfolge_bilden(x, y, z, u);
    for (const auto& [achse, nummer] : reihenfolge.ausgelassen)
        Befehl_protokollieren(Formatieren(
            "xyzuReset_durchfuehren() :: Achse %c mit Reihenfolge %d ausgelassen", achse, nummer));
    const Steuerungstyp& typ = Aktueller_Typ();
    if (typ.Treiber == Treiberart::keiner) return;
    if (typ.Verbindung == Verbindungsart::Parallelport) {
        // The card modules home one axis per call.
        for (char achse : reihenfolge.text)
            Referenzfahrt_ausfuehren(std::string(1, achse));
    } else {
        Referenzfahrt_ausfuehren(reihenfolge.text);
    }
}

void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                            int32_t terminator) {
    Befehl_protokollieren(Formatieren("Vektorfahrt_ausfuehren(%d, %d, %5d, %5d, %5d, %d)",
                                      relativ ? 1 : 0, index, x, y, z, terminator));
    if (!(relativ && x == 0 && y == 0 && z == 0)) {
        const Treiberzugriff t = Aktiver_Treiber();
        if (t.Karte) t.Karte->Vektorfahrt_ausfuehren(relativ, index, x, y, z);
        if (t.Speicher) {
            t.Speicher->Vektorfahrt_ausfuehren(relativ, index, x, y, z, terminator);
            if (terminator == 1) t.Speicher->Bewegungsende_abwarten();
        }
        if (t.Linie)
            Abschluss_abwarten(t.Linie->Vektorfahrt_ausfuehren(relativ, index, x, y, z), -1);
    }
    Abbruch_pruefen();
}

// The terminator would matter only to the program-storing types, which have no u move.
void UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u, int32_t /*terminator*/) {
    Protokoll_Zeile(Formatieren("UVektorfahrt_ausfuehren(%d, %5d, %d)", relativ ? 1 : 0, index, u));
    if (!(relativ && u == 0) && Aktueller_Typ().U_Achse) {
        const Treiberzugriff t = Aktiver_Treiber();
        if (t.Karte) t.Karte->UVektorfahrt_ausfuehren(relativ, index, u);
        if (t.Linie) Abschluss_abwarten(t.Linie->UVektorfahrt_ausfuehren(relativ, index, u), -1);
    }
    Abbruch_pruefen();
}

void Achsen_anhalten() {
    const Treiberzugriff t = Aktiver_Treiber();
    // The flags go up before the stop request: the stopped move may complete at once, and its
    // worker must then already see the abort instead of going on with the next move.
    if (t.Karte) {
        // A card's motion thread looks for the halt once a step period, and written first, the
        // log line (some tens of microseconds from a cold start) would cost half a period at full
        // speed. The motor is told first; the line follows the card's beep.
        Steuerung().Abbruch = true;
        t.Karte->Achsen_anhalten();
        Befehl_protokollieren("Achsen_anhalten()");
        return;
    }
    Befehl_protokollieren("Achsen_anhalten()");
    Steuerung().Abbruch = true;
    if (t.Speicher) t.Speicher->Achsen_anhalten();
    // The stop flag of the serial types goes up even without a link.
    if (ist_serieller_Typ(Modul())) Stopp_senden(&SeriellerBefehlssatz::Achsen_anhalten);
}

void Achsen_sofort_stoppen() {
    Befehl_protokollieren("Achsen_sofort_stoppen()");
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->Achsen_sofort_stoppen();
    if (t.Speicher) t.Speicher->Achsen_sofort_stoppen();
    if (ist_serieller_Typ(Modul())) Stopp_senden(&SeriellerBefehlssatz::Achsen_sofort_stoppen);
}

void Wartezeit_einfuegen(int32_t ms) {
    Befehl_protokollieren(Formatieren("Wartezeit_einfuegen(%d)", ms));
    for (int32_t rest = ms; rest > 0; rest -= Wartestueck_ms) {
        Wartestueck_ausfuehren(std::min(rest, Wartestueck_ms));
        Abbruch_pruefen();
    }
}

// ---- Outputs and inputs ----

void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Befehl_protokollieren(Formatieren("Ausgangssignal_setzen(%d, %d)", nummer, zustand));
    const Treiberzugriff t = Aktiver_Treiber();
    switch (Aktueller_Typ().Ausgaenge) {
    case Ausgangsbereich::alle:
        break;
    case Ausgangsbereich::nur_0_und_1:
        if (nummer != 0 && nummer != 1) return;
        break;
    case Ausgangsbereich::Ausgang_1_und_Stift:
        if (nummer == 122) {
            // The iKXIF's pen output is a one-step nudge of z, queued with the moves.
            if (t.Speicher)
                t.Speicher->Vektorfahrt_ausfuehren(true, 0, 0, 0, zustand == 1 ? 1 : -1, 13);
            return;
        }
        if (nummer != 1) return;
        break;
    }
    if (t.Karte) t.Karte->Ausgangssignal_setzen(nummer, zustand);
    if (t.Speicher) t.Speicher->Ausgangssignal_setzen(nummer, zustand);
    if (t.Linie) t.Linie->Ausgangssignal_setzen(nummer, zustand);
}

void I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Befehl_protokollieren(Formatieren("I2C_Ausgangssignal_setzen(%d, %d)", nummer, zustand));
    const Treiberzugriff t = Aktiver_Treiber();
    if (Aktueller_Typ().I2C_Ausgaenge && t.Linie)
        t.Linie->I2C_Ausgangssignal_setzen(nummer, zustand);
}

void E1Verknuepfung_setzen(int32_t nummer, bool modus) {
    Befehl_protokollieren(Formatieren("E1Verknuepfung_setzen(%d, %d)", nummer, modus ? 1 : 0));
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) t.Karte->E1Verknuepfung_setzen(nummer);
    // The iKXIF has no E1 link.
    if (t.Speicher && Aktueller_Typ().Treiber == Treiberart::Kxcu)
        t.Speicher->E1Verknuepfung_setzen(nummer);
    if (t.Linie) {
        if (modus)
            t.Linie->E1Verknuepfung_setzen(nummer);
        else if (nummer == 1)
            Auf_Eingang_B_warten();
    }
}

// ---- Fixed memory and stored programs ----

void Upload_in_Festwertspeicher() {
    Befehl_protokollieren("Upload_in_Festwertspeicher()");
    if (Speichermodul* speicher = Festwertspeichermodul()) speicher->Upload_in_Festwertspeicher();
}

void End_in_Festwertspeicher() {
    Befehl_protokollieren("End_in_Festwertspeicher()");
    if (Speichermodul* speicher = Festwertspeichermodul()) speicher->End_in_Festwertspeicher();
    oberflaeche().Meldung("Festwertspeicher-Download war erfolgreich!\n", "Information",
                          Symbol::information, Knoepfe::ok);
}

void Festwertspeicher_loeschen() {
    Befehl_protokollieren("Festwertspeicher_loeschen()");
    if (Speichermodul* speicher = Festwertspeichermodul()) speicher->Festwertspeicher_loeschen();
}

void Programmdurchlaeufe_hinterlegen(int32_t anzahl) {
    Befehl_protokollieren(Formatieren("Programmdurchlaeufe_hinterlegen(%d)", anzahl));
    const Treiberzugriff t = Aktiver_Treiber();
    if (Aktueller_Typ().Programmspeicher && t.Linie)
        t.Linie->Programmdurchlaeufe_hinterlegen(anzahl);
}

void Programm_starten() {
    if (Speichermodul* speicher = Aktiver_Treiber().Speicher) speicher->Programm_starten();
}

void Bewegungsende_abwarten() {
    if (Speichermodul* speicher = Aktiver_Treiber().Speicher) speicher->Bewegungsende_abwarten();
}

// ---- Opening and closing ----

std::string Steuerung_erzeugen() {
    if (g_parallelkarte) {
        g_parallelkarte->Schliessen();
        g_parallelkarte.reset();
    }
    if (g_speichermodul) {
        g_speichermodul->Port_schliessen();
        g_speichermodul.reset();
    }

    const int32_t modul = Modul();
    const Steuerungstyp* typ = Steuerungstyp_zu(modul);
    if (!typ) return {};
    switch (typ->Treiber) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_fabrik.Parallelkarte_erzeugen)
            g_parallelkarte = g_fabrik.Parallelkarte_erzeugen(modul);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_fabrik.Speichermodul_erzeugen)
            g_speichermodul = g_fabrik.Speichermodul_erzeugen(modul);
        break;
    case Treiberart::SerielleLinie:
        // The USB-IO types normally find the link made at start-up; make it when it is missing
        // rather than leave the operations without one.
        Serielle_Linie_erzeugen();
        if (typ->Ungeoeffnet_bis_Verbinden && g_linie)
            g_linie->SetTag(SeriellerBefehlssatz::Tag_nicht_geoeffnet);
        break;
    case Treiberart::keiner:
        break;
    }
    return typ->Anzeigename;
}

void Schnittstelle_beschreiben() {
    const Maschinenparameter& p = Parametersatz();
    Steuerungsinfo& info = Steuerung();
    std::string schnittstelle;
    std::string einstellung;
    if (ist_speichernder_Typ(p.Modul) || ist_serieller_Typ(p.Modul)) {
        schnittstelle = Formatieren("COM%d", p.ComPort);
        einstellung = Formatieren("%d", p.Baudrate);
    } else if (ist_paralleler_Typ(p.Modul)) {
        schnittstelle = Formatieren("0x%x", static_cast<unsigned>(p.LPTAdresse));
    }
    info.Schnittstelle = Utf8_kuerzen(schnittstelle, Steuerungsinfo::Schnittstelle_max);
    info.Einstellung = Utf8_kuerzen(einstellung, Steuerungsinfo::Einstellung_max);
}

bool Steuerung_oeffnen(const std::string& port_text) {
    const Maschinenparameter& p = Parametersatz();
    const Steuerungstyp& typ = Aktueller_Typ();
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Karte) {
        const bool geoeffnet = t.Karte->Oeffnen(port_text);
        if (typ.Treiber == Treiberart::TaktRichtKarte) {
            const Karteneingaenge& e = typ.Eingaenge;
            t.Karte->Eingangsmodus_setzen(e.gruppe_11_bis_15, e.nur_pin11, e.aktiv_hoch);
            if (e.Max_frequenz > 0) t.Karte->Grenzwerte_setzen(e.Max_frequenz, e.Pulsteiler);
        }
        return geoeffnet;
    }
    if (t.Speicher) return t.Speicher->Port_oeffnen(port_text);
    if (t.Linie) {
        t.Linie->SetTag(typ.Linientag);
        t.Linie->Init(p.ComPort, p.Baudrate);
        t.Linie->Connect();
        return true;
    }
    return false;
}

void Steuerung_schliessen() {
    const Treiberzugriff t = Aktiver_Treiber();
    if (t.Speicher) t.Speicher->Port_schliessen();
    if (t.Linie) t.Linie->UnInit();
}

void InitializeSteuerung(bool full) {
    const Maschinenparameter& p = Parametersatz();
    const int vollstaendig = full ? 1 : 0;
    Befehl_protokollieren(std::string(22, '='));
    Befehl_protokollieren(Formatieren("InitializeSteuerung(%d)", vollstaendig));

    const Treiberzugriff t = Aktiver_Treiber();
    if (full && Aktueller_Typ().Vollinit_Anfragen && t.Linie) {
        static constexpr std::array<const char*, 8> anfragen{
            "c,x100\r", "c,y100\r", "c,z120\r", "c,u0\r", "D,x2\r", "D,y2\r", "D,z2\r", "D,u2\r"};
        for (const char* anfrage : anfragen)
            t.Linie->SendWait(anfrage, 512);
    }

    Startgeschwindigkeit_einstellen(p.Startfreq);
    Endgeschwindigkeit_einstellen(0, p.Startfreq);
    Endgeschwindigkeit_einstellen(1, p.Arbeitsfreq);
    Endgeschwindigkeit_einstellen(2, p.Eilfreq);
    Rampenlaenge_einstellen(p.Rampenlaenge);

    if (!full) {
        Ansteuersignale_einstellen();
        Schrittbetrieb_einstellen();
        Z_Achse_einstellen();
        U_Achse_einstellen();
    }

    Referenzoffset_einstellen('x', p.xRefOffset);
    Referenzoffset_einstellen('y', p.yRefOffset);
    Referenzoffset_einstellen('z', p.zRefOffset);
    Referenzgeschwindigkeit_einstellen(p.RefFreq);

    Befehl_protokollieren(Formatieren("InitializeSteuerung(%d) :: Fertig", vollstaendig));
    Befehl_protokollieren(std::string(32, '='));
}

} // namespace orvexa
