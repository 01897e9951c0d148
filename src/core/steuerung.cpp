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
constexpr int32_t Wartestueck_ms = 1000;
constexpr int32_t Eingang_Abfrageabstand_ms = 50;
constexpr int32_t Hoechste_Referenznummer = 99;

// The driver that serves a type; keiner for 8, 9 and values outside the table.
Treiberart Treiber_zu(int32_t modul) {
    const Steuerungstyp* typ = Steuerungstyp_zu(modul);
    return typ ? typ->Treiber : Treiberart::keiner;
}

int32_t Modul() {
    return Parametersatz().Modul;
}

Treiberart Aktueller_Treiber() {
    return Treiber_zu(Modul());
}

void Befehl_protokollieren(const std::string& text) {
    Protokoll_schreiben(Ebene_Befehl, text);
}

// Cuts to a field size without leaving half a UTF-8 character behind.
std::string Kuerzen(std::string text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t ende = max;
    while (ende > 0 && (static_cast<unsigned char>(text[ende]) & 0xC0) == 0x80)
        --ende;
    text.resize(ende);
    return text;
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
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Wartezeit_einfuegen(ms);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) {
            g_speichermodul->Wartezeit_einfuegen(ms);
            g_speichermodul->Bewegungsende_abwarten();
        }
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) Abschluss_abwarten(g_linie->Wartezeit_einfuegen(ms), 2 * ms);
        break;
    case Treiberart::keiner:
        break;
    }
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

int32_t Referenzoffset_in_Schritte(char achse, double mm) {
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
    switch (p.Modul) {
    case 2:
        if (g_speichermodul) g_speichermodul->Ansteuersignale_einstellen(p.Steuersignal);
        break;
    case 5:
    case 11:
    case 12:
    case 13:
        // These controllers know only their own signal.
        if (g_linie) g_linie->Ansteuersignale_einstellen(1);
        break;
    case 6:
    case 10:
        if (g_linie) g_linie->Ansteuersignale_einstellen(p.Steuersignal);
        break;
    default:
        break;
    }
}

void Schrittbetrieb_einstellen() {
    Befehl_protokollieren("Schrittbetrieb_einstellen()");
    const Maschinenparameter& p = Parametersatz();
    switch (p.Modul) {
    case 0:
        if (g_parallelkarte)
            g_parallelkarte->Schrittbetrieb_einstellen(p.Schrittbetrieb, p.Ruhestrom);
        break;
    case 2:
        if (g_speichermodul) g_speichermodul->Schrittbetrieb_einstellen(p.Schrittbetrieb);
        break;
    case 6:
    case 10:
        // Step mode and current belong to the card's own signal only.
        if (p.Steuersignal == 0 && g_linie)
            g_linie->Schrittbetrieb_einstellen(p.Schrittbetrieb, p.Ruhestrom);
        break;
    default:
        break;
    }
}

void Z_Achse_einstellen() {
    Befehl_protokollieren("Z_Achse_einstellen()");
    if (Modul() == 2 && g_speichermodul)
        g_speichermodul->Z_Achse_einstellen(Parametersatz().ZBetrieb);
}

void U_Achse_einstellen() {
    Befehl_protokollieren("U_Achse_einstellen()");
    if (Modul() == 3 && g_speichermodul)
        g_speichermodul->U_Achse_einstellen(Parametersatz().UBetrieb);
}

void Startgeschwindigkeit_einstellen(int32_t freq) {
    Befehl_protokollieren(Formatieren("Startgeschwindigkeit_einstellen(%d)", freq));
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Startgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Startgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->Startgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::keiner:
        break;
    }
}

void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    Befehl_protokollieren(Formatieren("Endgeschwindigkeit_einstellen(%d, %d)", index, freq));
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Endgeschwindigkeit_einstellen(index, freq);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Endgeschwindigkeit_einstellen(index, freq);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->Endgeschwindigkeit_einstellen(index, freq);
        break;
    case Treiberart::keiner:
        break;
    }
}

void Rampenlaenge_einstellen(int32_t ms) {
    Befehl_protokollieren(Formatieren("Rampenlaenge_einstellen(%d)", ms));
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Rampenlaenge_einstellen(ms);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Rampenlaenge_einstellen(ms);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->Rampenlaenge_einstellen(ms);
        break;
    case Treiberart::keiner:
        break;
    }
}

void Referenzgeschwindigkeit_einstellen(int32_t freq) {
    Befehl_protokollieren(Formatieren("Referenzgeschwindigkeit_einstellen(%d)", freq));
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Referenzgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::Ikxif:
        if (g_speichermodul) {
            g_speichermodul->Referenzgeschwindigkeit_einstellen(freq);
            for (char achse : {'x', 'y', 'z'})
                g_speichermodul->Referenzrichtung_einstellen(achse);
        }
        break;
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Referenzgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->Referenzgeschwindigkeit_einstellen(freq);
        break;
    case Treiberart::keiner:
        break;
    }
}

void Referenzoffset_einstellen(char achse, double mm) {
    Befehl_protokollieren("Referenzoffset_einstellen(" + std::string(1, achse) + ", " +
                          Zahl_kurz(mm) + ")");
    const int32_t schritte = Referenzoffset_in_Schritte(achse, mm);
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Referenzoffset_einstellen(achse, schritte);
        break;
    case Treiberart::Ikxif:
        if (g_speichermodul) g_speichermodul->Referenzoffset_einstellen(achse, schritte);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->Referenzoffset_einstellen(achse, schritte);
        break;
    case Treiberart::Kxcu:
    case Treiberart::keiner:
        break;
    }
}

// ---- Queries ----

bool Version_abfragen() {
    Befehl_protokollieren("Version_abfragen()");
    Steuerungsinfo& info = Steuerung();
    const int32_t modul = Modul();
    switch (Treiber_zu(modul)) {
    case Treiberart::Phasenkarte: {
        if (!g_parallelkarte) return false;
        const bool ergebnis = g_parallelkarte->Version_abfragen();
        info.Version = Kuerzen(g_parallelkarte->Name(), Steuerungsinfo::Version_max);
        return ergebnis;
    }
    case Treiberart::TaktRichtKarte: {
        if (!g_parallelkarte) return false;
        const bool ergebnis = g_parallelkarte->Version_abfragen();
        // The step/direction module has one name for three cards; the type tells them apart.
        info.Version = modul == 1 ? "KX750z" : modul == 4 ? "Takt/Richtung" : "KX-TR-500";
        return ergebnis;
    }
    case Treiberart::Ikxif:
    case Treiberart::Kxcu: {
        if (!g_speichermodul) return false;
        const bool ergebnis = g_speichermodul->Version_abfragen();
        info.Version = Kuerzen(g_speichermodul->Kennung(), Steuerungsinfo::Version_max);
        return ergebnis;
    }
    case Treiberart::SerielleLinie: {
        if (!g_linie) return false;
        info.Version = Kuerzen(g_linie->Version_abfragen(), Steuerungsinfo::Version_max);
        return !info.Version.empty();
    }
    case Treiberart::keiner:
        break;
    }
    return false;
}

int32_t Achsenposition_abfragen_in_Schritten(char achse) {
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        return g_parallelkarte ? g_parallelkarte->Achsenposition_abfragen(achse) : 0;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        return g_speichermodul ? g_speichermodul->Achsenposition_abfragen(achse) : 0;
    case Treiberart::SerielleLinie:
        return g_linie ? g_linie->Achsenposition_abfragen(achse) : 0;
    case Treiberart::keiner:
        break;
    }
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

int32_t mm_in_Schritte(char achse, double mm) {
    Achsmechanik m{};
    if (!Mechanik_zu(achse, m) || m.Uebersetz == 0) return 0;
    return Schritte_begrenzen(std::trunc(Rundungsfehler_entfernen(mm * m.MotStep / m.Uebersetz)));
}

bool Eingangspin_abfragen(int32_t pin) {
    const Treiberart treiber = Aktueller_Treiber();
    if ((treiber == Treiberart::Phasenkarte || treiber == Treiberart::TaktRichtKarte) &&
        g_parallelkarte)
        return g_parallelkarte->Eingangspin_abfragen(pin);
    return false;
}

bool Aufzeichnung_beendet() {
    return Modul() == 3 && g_speichermodul && g_speichermodul->Aufzeichnung_beendet();
}

// ---- Motion ----

void Referenzfahrt_ausfuehren(const std::string& achsen) {
    Befehl_protokollieren("Referenzfahrt_ausfuehren(" + achsen + ")");
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Referenzfahrt_ausfuehren(achsen);
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Referenzfahrt_ausfuehren(achsen);
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) Abschluss_abwarten(g_linie->Referenzfahrt_ausfuehren(achsen), -1);
        break;
    case Treiberart::keiner:
        break;
    }
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
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        // The card modules home one axis per call.
        for (char achse : reihenfolge.text)
            Referenzfahrt_ausfuehren(std::string(1, achse));
        break;
    case Treiberart::keiner:
        break;
    default:
        Referenzfahrt_ausfuehren(reihenfolge.text);
        break;
    }
}

void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                            int32_t terminator) {
    Befehl_protokollieren(Formatieren("Vektorfahrt_ausfuehren(%d, %d, %5d, %5d, %5d, %d)",
                                      relativ ? 1 : 0, index, x, y, z, terminator));
    if (!(relativ && x == 0 && y == 0 && z == 0)) {
        switch (Aktueller_Treiber()) {
        case Treiberart::Phasenkarte:
        case Treiberart::TaktRichtKarte:
            if (g_parallelkarte) g_parallelkarte->Vektorfahrt_ausfuehren(relativ, index, x, y, z);
            break;
        case Treiberart::Ikxif:
        case Treiberart::Kxcu:
            if (g_speichermodul) {
                g_speichermodul->Vektorfahrt_ausfuehren(relativ, index, x, y, z, terminator);
                if (terminator == 1) g_speichermodul->Bewegungsende_abwarten();
            }
            break;
        case Treiberart::SerielleLinie:
            if (g_linie)
                Abschluss_abwarten(g_linie->Vektorfahrt_ausfuehren(relativ, index, x, y, z), -1);
            break;
        case Treiberart::keiner:
            break;
        }
    }
    Abbruch_pruefen();
}

// The terminator would matter only to the program-storing types, which have no u move.
void UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u, int32_t /*terminator*/) {
    Protokoll_Zeile(Formatieren("UVektorfahrt_ausfuehren(%d, %5d, %d)", relativ ? 1 : 0, index, u));
    if (!(relativ && u == 0)) {
        const int32_t modul = Modul();
        if (modul == 4 && g_parallelkarte) {
            g_parallelkarte->UVektorfahrt_ausfuehren(relativ, index, u);
        } else if (ist_serieller_Typ(modul) && g_linie) {
            Abschluss_abwarten(g_linie->UVektorfahrt_ausfuehren(relativ, index, u), -1);
        }
    }
    Abbruch_pruefen();
}

void Achsen_anhalten() {
    Befehl_protokollieren("Achsen_anhalten()");
    // The flags go up before the stop request: the stopped move may complete at once, and its
    // worker must then already see the abort instead of going on with the next move.
    Steuerung().Abbruch = true;
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Achsen_anhalten();
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Achsen_anhalten();
        break;
    case Treiberart::SerielleLinie:
        Stopp_senden(&SeriellerBefehlssatz::Achsen_anhalten);
        break;
    case Treiberart::keiner:
        break;
    }
}

void Achsen_sofort_stoppen() {
    Befehl_protokollieren("Achsen_sofort_stoppen()");
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->Achsen_sofort_stoppen();
        break;
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Achsen_sofort_stoppen();
        break;
    case Treiberart::SerielleLinie:
        Stopp_senden(&SeriellerBefehlssatz::Achsen_sofort_stoppen);
        break;
    case Treiberart::keiner:
        break;
    }
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
    switch (Modul()) {
    case 0:
        // The KX400 card and the KXCU take only the outputs 0 and 1 from here.
        if ((nummer == 0 || nummer == 1) && g_parallelkarte)
            g_parallelkarte->Ausgangssignal_setzen(nummer, zustand);
        break;
    case 3:
        if ((nummer == 0 || nummer == 1) && g_speichermodul)
            g_speichermodul->Ausgangssignal_setzen(nummer, zustand);
        break;
    case 1:
    case 4:
    case 7:
        if (g_parallelkarte) g_parallelkarte->Ausgangssignal_setzen(nummer, zustand);
        break;
    case 2:
        if (!g_speichermodul) break;
        if (nummer == 1) {
            g_speichermodul->Ausgangssignal_setzen(1, zustand);
        } else if (nummer == 122) {
            // The iKXIF's pen output is a one-step nudge of z, queued with the moves.
            g_speichermodul->Vektorfahrt_ausfuehren(true, 0, 0, 0, zustand == 1 ? 1 : -1, 13);
        }
        break;
    default:
        if (ist_serieller_Typ(Modul()) && g_linie) g_linie->Ausgangssignal_setzen(nummer, zustand);
        break;
    }
}

void I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Befehl_protokollieren(Formatieren("I2C_Ausgangssignal_setzen(%d, %d)", nummer, zustand));
    if (Modul() == 5 && g_linie) g_linie->I2C_Ausgangssignal_setzen(nummer, zustand);
}

void E1Verknuepfung_setzen(int32_t nummer, bool modus) {
    Befehl_protokollieren(Formatieren("E1Verknuepfung_setzen(%d, %d)", nummer, modus ? 1 : 0));
    switch (Aktueller_Treiber()) {
    case Treiberart::Phasenkarte:
    case Treiberart::TaktRichtKarte:
        if (g_parallelkarte) g_parallelkarte->E1Verknuepfung_setzen(nummer);
        break;
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->E1Verknuepfung_setzen(nummer);
        break;
    case Treiberart::SerielleLinie:
        if (!g_linie) break;
        if (modus)
            g_linie->E1Verknuepfung_setzen(nummer);
        else if (nummer == 1)
            Auf_Eingang_B_warten();
        break;
    case Treiberart::Ikxif:
    case Treiberart::keiner:
        break;
    }
}

// ---- Fixed memory and stored programs ----

void Upload_in_Festwertspeicher() {
    Befehl_protokollieren("Upload_in_Festwertspeicher()");
    if (Modul() == 3 && g_speichermodul) g_speichermodul->Upload_in_Festwertspeicher();
}

void End_in_Festwertspeicher() {
    Befehl_protokollieren("End_in_Festwertspeicher()");
    if (Modul() == 3 && g_speichermodul) g_speichermodul->End_in_Festwertspeicher();
    oberflaeche().Meldung("Festwertspeicher-Download war erfolgreich!\n", "Information",
                          Symbol::information, Knoepfe::ok);
}

void Festwertspeicher_loeschen() {
    Befehl_protokollieren("Festwertspeicher_loeschen()");
    if (Modul() == 3 && g_speichermodul) g_speichermodul->Festwertspeicher_loeschen();
}

void Programmdurchlaeufe_hinterlegen(int32_t anzahl) {
    Befehl_protokollieren(Formatieren("Programmdurchlaeufe_hinterlegen(%d)", anzahl));
    const int32_t modul = Modul();
    if ((modul == 5 || modul == 6) && g_linie) g_linie->Programmdurchlaeufe_hinterlegen(anzahl);
}

void Programm_starten() {
    if (ist_speichernder_Typ(Modul()) && g_speichermodul) g_speichermodul->Programm_starten();
}

void Bewegungsende_abwarten() {
    if (ist_speichernder_Typ(Modul()) && g_speichermodul) g_speichermodul->Bewegungsende_abwarten();
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
    switch (Treiber_zu(modul)) {
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
        if ((modul == 5 || modul == 6) && g_linie)
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
    info.Schnittstelle = Kuerzen(std::move(schnittstelle), Steuerungsinfo::Schnittstelle_max);
    info.Einstellung = Kuerzen(std::move(einstellung), Steuerungsinfo::Einstellung_max);
}

bool Steuerung_oeffnen(const std::string& port_text) {
    const Maschinenparameter& p = Parametersatz();
    const Steuerungstyp* typ = Steuerungstyp_zu(p.Modul);
    switch (Treiber_zu(p.Modul)) {
    case Treiberart::Phasenkarte:
        return g_parallelkarte && g_parallelkarte->Oeffnen(port_text);
    case Treiberart::TaktRichtKarte: {
        if (!g_parallelkarte) return false;
        const bool geoeffnet = g_parallelkarte->Oeffnen(port_text);
        if (p.Modul == 1) {
            g_parallelkarte->Eingangsmodus_setzen(false, true, true);
            g_parallelkarte->Grenzwerte_setzen(5000, 10000);
        } else if (p.Modul == 4) {
            g_parallelkarte->Eingangsmodus_setzen(true, false, false);
        } else {
            g_parallelkarte->Eingangsmodus_setzen(false, false, false);
        }
        return geoeffnet;
    }
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        return g_speichermodul && g_speichermodul->Port_oeffnen(port_text);
    case Treiberart::SerielleLinie:
        if (!g_linie) return false;
        g_linie->SetTag(typ->Linientag);
        g_linie->Init(p.ComPort, p.Baudrate);
        g_linie->Connect();
        return true;
    case Treiberart::keiner:
        break;
    }
    return false;
}

void Steuerung_schliessen() {
    switch (Aktueller_Treiber()) {
    case Treiberart::Ikxif:
    case Treiberart::Kxcu:
        if (g_speichermodul) g_speichermodul->Port_schliessen();
        break;
    case Treiberart::SerielleLinie:
        if (g_linie) g_linie->UnInit();
        break;
    default:
        break;
    }
}

void InitializeSteuerung(bool full) {
    const Maschinenparameter& p = Parametersatz();
    const int vollstaendig = full ? 1 : 0;
    Befehl_protokollieren(std::string(22, '='));
    Befehl_protokollieren(Formatieren("InitializeSteuerung(%d)", vollstaendig));

    if (full && (p.Modul == 5 || p.Modul == 10) && g_linie) {
        static constexpr std::array<const char*, 8> anfragen{
            "c,x100\r", "c,y100\r", "c,z120\r", "c,u0\r", "D,x2\r", "D,y2\r", "D,z2\r", "D,u2\r"};
        for (const char* anfrage : anfragen)
            g_linie->SendWait(anfrage, 512);
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
