#include "vektorausgabe.h"

#include "core/arbeitsende.h"
#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "tabelle.h"

#include <cstdio>
#include <exception>

namespace orvexa {

namespace {

constexpr int32_t Geschwindigkeitsplatz = 1; // the run moves with the work speed slot
constexpr int32_t Terminator = 13;           // queue only; Programm_starten starts the row

Vektorausgabe_Beobachter& Stiller_Beobachter() {
    static Vektorausgabe_Beobachter beobachter;
    return beobachter;
}

// Whether a number cell is filled in: it sorts after "-" in the workstation's string order.
// A plain byte comparison agrees with that order here: digits sort after '-' in both, while
// "-" itself and an empty cell do not.
bool Nach_Strich(std::string_view text) {
    return text > std::string_view("-");
}

std::string Referenztext(bool x, bool y, bool z, bool u) {
    char puffer[64];
    std::snprintf(puffer, sizeof puffer, "  Vek_Referenzfahrt(%d, %d, %d, %d)", x ? 1 : 0,
                  y ? 1 : 0, z ? 1 : 0, u ? 1 : 0);
    return puffer;
}

bool Getriebe_fehlt(const Maschinenparameter& p) {
    return p.xUebersetz == 0 || p.yUebersetz == 0 || p.zUebersetz == 0 || p.uUebersetz == 0;
}

} // namespace

int32_t Zyklentext_lesen(std::string_view text) {
    return Ganzzahl_oder_null(text);
}

Vektorausgabe::Vektorausgabe(const Positionstabelle& tabelle)
    : Vektorausgabe(tabelle, Stiller_Beobachter()) {}

Vektorausgabe::Vektorausgabe(const Positionstabelle& tabelle, Vektorausgabe_Beobachter& beobachter)
    : m_tabelle(tabelle), m_beobachter(beobachter) {}

void Vektorausgabe::Eingaben_setzen(const Vektoreingaben& eingaben) {
    std::lock_guard lock(m_mutex);
    m_eingaben = eingaben;
}

Vektoreingaben Vektorausgabe::Eingaben() const {
    std::lock_guard lock(m_mutex);
    return m_eingaben;
}

void Vektorausgabe::Winkelanfahrt_setzen(Winkelanfahrt anfahrt) {
    std::lock_guard lock(m_mutex);
    m_winkelanfahrt = std::move(anfahrt);
}

Laufergebnis Vektorausgabe::Ergebnis() const {
    std::lock_guard lock(m_mutex);
    return m_ergebnis;
}

std::vector<std::string> Vektorausgabe::AusgabeListe() const {
    std::lock_guard lock(m_mutex);
    return m_ausgabeliste;
}

std::string Vektorausgabe::Zelle(int zeile, int spalte) const {
    return std::string(m_tabelle.Zelle(zeile, spalte));
}

// ---- The run ----------------------------------------------------------------------------------

void Vektorausgabe::StartBitBtn_Thread() {
    const Vektoreingaben e = Eingaben();
    Laufergebnis ergebnis;
    {
        std::lock_guard lock(m_mutex);
        m_ergebnis = ergebnis;
    }

    Protokoll_Zeile("");
    Protokoll_Zeile("StartBitBtn_Thread");

    if (e.ModusWT) {
        std::lock_guard lock(m_mutex);
        m_ausgabeliste.clear();
    } else if (Getriebe_fehlt(Parametersatz())) {
        oberflaeche().Meldung("Überprüfen Sie bitte die Maschinenparameter!\n", Meldungstitel,
                              Symbol::warnung, Knoepfe::ok);
        return;
    }

    VekAbbruch = false;
    ZyklenAbbruch = false;
    // A stop request left over from before this start (Esc pressed while idle, or a stop
    // that came when no move was running) would otherwise end the first move of this run.
    Steuerung().Abbruch = false;
    // Only now, so that a stop given as soon as the run shows as running is not cleared.
    m_beobachter.Laeuft(true);
    ergebnis.Gestartet = true;

    int32_t zyklen = e.Zyklen < 0 ? 0 : e.Zyklen;
    ergebnis.Fehlercode =
        Arbeit_ausfuehren("StartBitBtn_Thread", [&] { Lauf(e, ergebnis, zyklen); });
    if (Noch_zu_melden(ergebnis.Fehlercode))
        Steuerungsfehler_melden(ergebnis.Fehlercode, Meldungstitel);
    if (ergebnis.Fehlercode != 0) {
        if (e.ModusWT) {
            std::lock_guard lock(m_mutex);
            m_ausgabeliste.push_back("Ein Fehler ist aufgetreten!");
        }
        // A failed recording is over; left set, the next stop would erase the fixed memory
        // instead of stopping the axes, and the next run would never start its rows.
        FestwertspeicherAktiv = false;
        // The cycle field and the panel go back to rest after a failure too.
        m_beobachter.Zyklenfeld_markieren(false);
        ergebnis.Zyklen = zyklen > 0 ? zyklen : 1;
        m_beobachter.Zyklen_anzeigen(ergebnis.Zyklen);
        m_beobachter.Zyklenabbruch_anzeigen(false);
    }
    ergebnis.Abgebrochen = VekAbbruch.load();
    // Whatever stop this run was given is spent; it must not end another dialog's next action.
    Steuerung().Abbruch = false;

    if (e.ModusWT) Ausgabeliste_speichern();

    Protokoll_Zeile("StartBitBtn_Thread::Fertig");
    Protokoll_Zeile("");
    {
        std::lock_guard lock(m_mutex);
        m_ergebnis = ergebnis;
    }
    m_beobachter.Laeuft(false);
}

void Vektorausgabe::Lauf(const Vektoreingaben& e, Laufergebnis& ergebnis, int32_t& zyklen) {
    const Steuerungstyp& typ = Typangaben(Parametersatz().Modul);
    if (typ.UBetrieb) U_Achse_einstellen();
    if (typ.Festwertspeicher && e.Festwertspeicher) {
        FestwertspeicherAktiv = true;
        Upload_in_Festwertspeicher();
    }
    Ausgaenge_zuruecksetzen(e);
    InitializeSteuerung(e.ModusKora);
    if (e.RefModus > 0) Vek_Referenzfahrt(e.xReferenz, e.yReferenz, e.zReferenz, e.uReferenz);

    if (!e.Endlos) m_beobachter.Zyklenfeld_markieren(true);
    while (!ZyklenAbbruch) {
        m_beobachter.Nachrichten_verarbeiten();
        m_beobachter.Zyklus_beginnt(++ergebnis.Durchlaeufe);
        Tabellenausgabe(e, e.zInterpolieren);
        if (!e.Endlos) {
            --zyklen;
            m_beobachter.Zyklen_anzeigen(zyklen);
        }
        if (zyklen < 1 || ZyklenAbbruch || VekAbbruch)
            ZyklenAbbruch = true;
        else if (e.RefModus == 2)
            Vek_Referenzfahrt(e.xReferenz, e.yReferenz, e.zReferenz, e.uReferenz);
    }

    if (FestwertspeicherAktiv) {
        FestwertspeicherAktiv = false;
        if (VekAbbruch) {
            oberflaeche().Meldung("Job paßt nicht in den Festwertspeicher!\n", "F E H L E R",
                                  Symbol::warnung, Knoepfe::ok);
            Festwertspeicher_loeschen();
        } else {
            End_in_Festwertspeicher();
        }
    }

    m_beobachter.Zyklenfeld_markieren(false);
    ergebnis.Zyklen = zyklen > 0 ? zyklen : 1;
    m_beobachter.Zyklen_anzeigen(ergebnis.Zyklen);
    m_beobachter.Zyklenabbruch_anzeigen(false);
}

void Vektorausgabe::Ausgabeliste_speichern() {
    std::string inhalt;
    for (const std::string& zeile : AusgabeListe())
        inhalt += Utf8_zu_Cp1252(zeile) + "\r\n";
    std::string fehlertext;
    if (!Datei_atomar_schreiben(Ergebnisdatei, inhalt, &fehlertext))
        oberflaeche().Meldung(std::string(Ergebnisdatei) + " wurde nicht gespeichert:\n" +
                                  fehlertext,
                              Meldungstitel, Symbol::warnung, Knoepfe::ok);
}

// ---- Routines shared with the program memory dialog --------------------------------------------

void Vektorausgabe::Vek_TabellenAusgabe(bool zInterpolieren) {
    Tabellenausgabe(Eingaben(), zInterpolieren);
}

void Vektorausgabe::Vek_Ausgangssignal_zuruecksetzen() {
    Ausgaenge_zuruecksetzen(Eingaben());
}

void Vektorausgabe::Vek_Referenzfahrt(bool x, bool y, bool z, bool u) {
    const std::string text = Referenztext(x, y, z, u);
    Protokoll_Zeile(text);
    if (x || y || z || u) {
        const Maschinenparameter& p = Parametersatz();
        Startgeschwindigkeit_einstellen(p.Startfreq);
        Referenzgeschwindigkeit_einstellen(p.RefFreq);
        Rampenlaenge_einstellen(p.Rampenlaenge);
        xyzuReset_durchfuehren(x, y, z, u);
        Bewegungsende_abwarten();
    }
    Protokoll_Zeile(text + " :: Fertig");
}

void Vektorausgabe::Ausgang_schalten(const Vektoreingaben& e, int32_t nummer, int32_t zustand) {
    if (Typangaben(Parametersatz().Modul).I2C_Ausgaenge && e.ModusTorval)
        I2C_Ausgangssignal_setzen(nummer, zustand);
    else
        Ausgangssignal_setzen(nummer, zustand);
}

void Vektorausgabe::Ausgaenge_zuruecksetzen(const Vektoreingaben& e) {
    Protokoll_Zeile("Vek_Ausgangssignal_zuruecksetzen()");
    const int32_t anzahl = Typangaben(Parametersatz().Modul).Rueckgesetzte_Ausgaenge;
    for (int32_t nummer = 1; nummer <= anzahl; ++nummer)
        Ausgang_schalten(e, nummer, 0);
    Protokoll_Zeile("Vek_Ausgangssignal_zuruecksetzen() :: Fertig");
}

void Vektorausgabe::Tabellenausgabe(const Vektoreingaben& e, bool zInterpolieren) {
    const std::string name =
        std::string("Vek_TabellenAusgabe(") + (zInterpolieren ? "1" : "0") + ")";
    Protokoll_Zeile("");
    Protokoll_Zeile(name);
    Ansteuersignale_einstellen();
    Schrittbetrieb_einstellen();

    const int zeilen = m_tabelle.Zeilenzahl();
    for (int r = 1; r <= zeilen; ++r) {
        Protokoll_Zeile("Row=" + std::to_string(r));
        m_beobachter.AktuelleZeile(r);
        m_beobachter.Nachrichten_verarbeiten();
        if (VekAbbruch) continue;

        // "WH" counts the repetitions after the first execution. A negative count is taken
        // as none, so the pass always ends.
        int32_t wiederholungen = Ganzzahl_oder_null(Zelle(r, Spalte_WH));
        if (wiederholungen < 0) wiederholungen = 0;
        for (int32_t k = 0; k <= wiederholungen && !VekAbbruch; ++k) {
            if (k > 0)
                m_beobachter.Wiederholung_anzeigen(r, std::to_string(k) + " von " +
                                                          std::to_string(wiederholungen));
            Zeile_ausfuehren(e, r, zInterpolieren);
        }
        if (wiederholungen > 0) m_beobachter.Wiederholung_anzeigen(r, "");
    }

    Protokoll_Zeile("");
    E1Verknuepfung_setzen(0, InFestwertspeicher);
    Protokoll_Zeile(name + " :: Fertig");
}

void Vektorausgabe::Zeile_ausfuehren(const Vektoreingaben& e, int r, bool zInterpolieren) {
    if (VekAbbruch) return;
    const std::string e1 = Zelle(r, Spalte_E1);
    if (e1 == "ON")
        E1Verknuepfung_setzen(1, InFestwertspeicher);
    else if (e1 == "OFF")
        E1Verknuepfung_setzen(0, InFestwertspeicher);

    for (int32_t ausgang = 1; ausgang <= 4; ++ausgang) {
        if (VekAbbruch) return;
        const std::string zelle = Zelle(r, Spalte_Ausgang1 + ausgang - 1);
        if (zelle == "ON")
            Ausgang_schalten(e, ausgang, 1);
        else if (zelle == "OFF")
            Ausgang_schalten(e, ausgang, 0);
    }

    if (VekAbbruch) return;
    if (const std::string z = Zelle(r, Spalte_Startfreq); Nach_Strich(z))
        Startgeschwindigkeit_einstellen(Ganzzahl_oder_null(z));
    if (VekAbbruch) return;
    if (const std::string z = Zelle(r, Spalte_Endfreq); Nach_Strich(z))
        Endgeschwindigkeit_einstellen(Geschwindigkeitsplatz, Ganzzahl_oder_null(z));
    if (VekAbbruch) return;
    if (const std::string z = Zelle(r, Spalte_Rampe); Nach_Strich(z))
        Rampenlaenge_einstellen(Ganzzahl_oder_null(z));

    if (VekAbbruch) return;
    if (e.ModusWT)
        Winkel_fahren(r);
    else
        Achsen_fahren(r, zInterpolieren);

    if (VekAbbruch) return;
    if (const std::string z = Zelle(r, Spalte_Wartezeit); Nach_Strich(z))
        Wartezeit_einfuegen(Ganzzahl_oder_null(z));

    if (VekAbbruch) return;
    if (FestwertspeicherAktiv) {
        if (Aufzeichnung_beendet()) VekAbbruch = true;
    } else {
        Programm_starten();
    }
}

void Vektorausgabe::Achsen_fahren(int r, bool zInterpolieren) {
    static constexpr char Achsen[4] = {'x', 'y', 'z', 'u'};
    int32_t schritte[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::string zelle = Zelle(r, Spalte_x + i);
        // "-" reads as 0 either way.
        schritte[i] = m_tabelle.Schritteingabe ? Ganzzahl_oder_null(zelle)
                                               : mm_in_Schritte(Achsen[i], Zellwert(zelle));
    }
    const auto [x, y, z, u] = schritte;

    if (zInterpolieren) {
        if (x != 0 || y != 0 || z != 0)
            Vektorfahrt_ausfuehren(true, Geschwindigkeitsplatz, x, y, z, Terminator);
    } else {
        if (x != 0 || y != 0)
            Vektorfahrt_ausfuehren(true, Geschwindigkeitsplatz, x, y, 0, Terminator);
        if (VekAbbruch) return;
        if (z != 0) Vektorfahrt_ausfuehren(true, Geschwindigkeitsplatz, 0, 0, z, Terminator);
    }
    if (VekAbbruch) return;
    if (u != 0) UVektorfahrt_ausfuehren(true, Geschwindigkeitsplatz, u, Terminator);
}

void Vektorausgabe::Winkel_fahren(int r) {
    const double soll = Zellwert(Zelle(r, Spalte_x));
    if (!(soll > 0)) return;
    Winkelanfahrt anfahrt;
    {
        std::lock_guard lock(m_mutex);
        anfahrt = m_winkelanfahrt;
    }
    double ist = 0;
    const bool erreicht = anfahrt && anfahrt(soll, ist);
    std::string zeile = std::to_string(r) + " |  Soll: " + Zwei_Dezimalen(soll) +
                        "  Ist: " + Zwei_Dezimalen(ist) +
                        (erreicht ? " -> ok" : " -> Winkel nicht erreicht!");
    std::lock_guard lock(m_mutex);
    m_ausgabeliste.push_back(std::move(zeile));
}

// ---- From the window thread --------------------------------------------------------------------

void Vektorausgabe::Abbrechen() {
    VekAbbruch = true;
    ZyklenAbbruch = true;
    try {
        if (FestwertspeicherAktiv)
            Festwertspeicher_loeschen();
        else
            Achsen_anhalten();
    } catch (const Steuerungsfehler& fehler) {
        // The stop request itself failed (the link is gone); the run sees its own error.
        Steuerungsfehler_melden(fehler.code(), Meldungstitel);
    }
}

void Vektorausgabe::Zyklen_abbrechen() {
    ZyklenAbbruch = true;
    m_beobachter.Zyklenabbruch_anzeigen(true);
}

} // namespace orvexa
