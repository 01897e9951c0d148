#include "manuellefahrt.h"

#include "core/arbeitsende.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "platform/oberflaeche.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace orvexa {

namespace {

constexpr char Achsen[3] = {'x', 'y', 'z'};

using M = Maschinenparameter;
constexpr std::array<std::array<double M::*, 3>, ManuelleFahrt::Zeilen> Positionsfelder{{
    {&M::xWerkstuecknullpunkt, &M::yWerkstuecknullpunkt, &M::zWerkstuecknullpunkt},
    {&M::xParkposition, &M::yParkposition, &M::zParkposition},
    {&M::xWZLMessposition, &M::yWZLMessposition, &M::zWZLMessposition},
    {&M::xWZWechselposition, &M::yWZWechselposition, &M::zWZWechselposition},
}};

constexpr std::array<const char*, ManuelleFahrt::Zeilen> Zeilennamen{
    "Werkstücknullpunkt", "Parkposition", "Werkzeuglängen-Messposition",
    "Werkzeugwechsel-Position"};

bool ist_Zeile(int zeile) {
    return zeile >= 1 && zeile <= ManuelleFahrt::Zeilen;
}

int32_t MotStep(const M& p, int achse) {
    return achse == 0 ? p.xMotStep : achse == 1 ? p.yMotStep : p.zMotStep;
}

double Uebersetz(const M& p, int achse) {
    return achse == 0 ? p.xUebersetz : achse == 1 ? p.yUebersetz : p.zUebersetz;
}

int32_t Begrenzt(int64_t schritte) {
    return static_cast<int32_t>(std::clamp<int64_t>(schritte, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// A relative move at the jog's speed slot. A stop given between two moves of a sequence
// would otherwise only be seen after the next move had run to its end.
void Relativ_fahren(int64_t x, int64_t y, int64_t z) {
    Abbruch_pruefen();
    Vektorfahrt_ausfuehren(true, ManuelleFahrt::Geschwindigkeitsplatz, Begrenzt(x), Begrenzt(y),
                           Begrenzt(z), 1);
}

// Output 76 exists only on the serial controllers ("L"); the step/direction cards would
// answer it with an error box before and after every approach, the other types drop it.
bool hat_Anfahrausgang() {
    return ist_serieller_Typ(Parametersatz().Modul);
}

ManuelleFahrt_Beobachter& Stiller_Beobachter() {
    static ManuelleFahrt_Beobachter beobachter;
    return beobachter;
}

} // namespace

ManuelleFahrt::ManuelleFahrt() : ManuelleFahrt(Stiller_Beobachter()) {}

ManuelleFahrt::ManuelleFahrt(ManuelleFahrt_Beobachter& beobachter) : m_beobachter(beobachter) {
    m_anzeige.aktPosition.fill(Fehlertext);
}

void ManuelleFahrt::Schrittweite_setzen(double mm) {
    // The direction comes from the button; a width that is no number moves nothing.
    m_schrittweite = std::isfinite(mm) ? std::fabs(mm) : 0.0;
}

std::array<double, 3> ManuelleFahrt::aktPosition() const {
    std::lock_guard lock(m_mutex);
    return m_akt;
}

double ManuelleFahrt::Position(int zeile, int achse) const {
    if (!ist_Zeile(zeile) || achse < 0 || achse > 2) return 0;
    std::lock_guard lock(m_mutex);
    return Parametersatz().*
           Positionsfelder[static_cast<std::size_t>(zeile - 1)][static_cast<std::size_t>(achse)];
}

Positionsanzeige ManuelleFahrt::Anzeige() const {
    std::lock_guard lock(m_mutex);
    return m_anzeige;
}

int32_t ManuelleFahrt::Schrittzahl(double schrittweite, int32_t motstep, double uebersetz) {
    if (uebersetz == 0 || !std::isfinite(uebersetz) || !std::isfinite(schrittweite)) return 0;
    const double schritte = std::fabs(schrittweite) * motstep / uebersetz;
    if (std::isnan(schritte)) return 0;
    // 0.07 mm at 100 steps/mm is 7.000000000000001 in floating point: that is 7 steps, not 8.
    double betrag = std::fabs(schritte);
    const double naechste = std::nearbyint(betrag);
    if (std::fabs(betrag - naechste) <= 1e-9 * std::max(1.0, betrag)) betrag = naechste;
    betrag = std::min(std::ceil(betrag), static_cast<double>(std::numeric_limits<int32_t>::max()));
    const auto n = static_cast<int32_t>(betrag);
    // A negative gear ratio turns the axis round; the count is the same either way.
    return schritte < 0 ? -n : n;
}

std::string ManuelleFahrt::Anzeigetext(double wert) {
    char puffer[400];
    std::snprintf(puffer, sizeof puffer, "%.2f", wert);
    std::string_view text = puffer;
    if (text == "-0.00") text = "0.00";
    return "  " + std::string(text);
}

// ---- Display -----------------------------------------------------------------------------------

void ManuelleFahrt::Anzeige_aktualisieren(bool fehlerform) {
    Positionsanzeige anzeige;
    if (fehlerform) {
        anzeige.aktPosition.fill(Fehlertext);
    } else {
        std::array<double, 3> akt{};
        for (int a = 0; a < 3; ++a)
            akt[static_cast<std::size_t>(a)] = Achsenposition_abfragen_in_mm(Achsen[a]);
        for (std::size_t a = 0; a < 3; ++a)
            anzeige.aktPosition[a] = Anzeigetext(akt[a]);
        std::lock_guard lock(m_mutex);
        m_akt = akt;
    }
    {
        std::lock_guard lock(m_mutex);
        const M& p = Parametersatz();
        for (std::size_t z = 0; z < Positionsfelder.size(); ++z)
            for (std::size_t a = 0; a < 3; ++a)
                anzeige.Positionen[z][a] = Anzeigetext(p.*Positionsfelder[z][a]);
        m_anzeige = anzeige;
    }
    m_beobachter.Anzeige(anzeige);
}

void ManuelleFahrt::Anzeige_sicher_aktualisieren() {
    try {
        Anzeige_aktualisieren(false);
    } catch (const Steuerungsfehler& f) {
        Anzeige_aktualisieren(true);
        Steuerungsfehler_melden(f.code(), Titel);
    }
}

void ManuelleFahrt::Fehler_behandeln(int32_t code) {
    if (code == THROW_ABORT)
        Anzeige_sicher_aktualisieren();
    else
        Anzeige_aktualisieren(true);
    if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, Titel);
}

// ---- Worker commands ---------------------------------------------------------------------------

void ManuelleFahrt::Bewegung_ausfuehren(const char* caption,
                                        const std::function<void()>& bewegung) {
    m_beobachter.Bewegung(true);
    const int32_t code = Arbeit_ausfuehren(caption, bewegung);
    // The refresh after a failure may fail itself; the controls are freed whatever happens.
    if (code != 0) Arbeit_ausfuehren(caption, [&] { Fehler_behandeln(code); });
    m_beobachter.Bewegung(false);
}

void ManuelleFahrt::Fahren() {
    Bewegung_ausfuehren("Fahren()", [this] {
        const int32_t richtung = Richtung();
        std::array<int64_t, 3> weg{};
        const int achse = std::abs(richtung) - 1;
        if (achse >= 0 && achse <= 2) {
            const M& p = Parametersatz();
            const int32_t n = Schrittzahl(Schrittweite(), MotStep(p, achse), Uebersetz(p, achse));
            weg[static_cast<std::size_t>(achse)] = richtung < 0 ? -int64_t{n} : int64_t{n};
        }
        Endgeschwindigkeit_einstellen(Geschwindigkeitsplatz, Geschwindigkeit());
        Relativ_fahren(weg[0], weg[1], weg[2]);
        Anzeige_aktualisieren(false);
    });
}

void ManuelleFahrt::Anfahren() {
    Bewegung_ausfuehren("Anfahren()", [this] {
        Endgeschwindigkeit_einstellen(Geschwindigkeitsplatz, Geschwindigkeit());
        std::array<int64_t, 3> c{};
        for (std::size_t a = 0; a < 3; ++a)
            c[a] = Achsenposition_abfragen_in_Schritten(Achsen[a]);
        std::array<int64_t, 3> t = c;
        const int zeile = Zeile();
        if (ist_Zeile(zeile)) {
            const M& p = Parametersatz();
            for (int a = 0; a < 3; ++a) {
                // Without a gear ratio the position cannot be converted; the axis stays
                // rather than running to 0.
                if (Uebersetz(p, a) == 0) continue;
                t[static_cast<std::size_t>(a)] = mm_in_Schritte(Achsen[a], Position(zeile, a));
            }
        }
        const int64_t dx = t[0] - c[0], dy = t[1] - c[1], dz = t[2] - c[2];

        const bool ausgang = hat_Anfahrausgang();
        if (ausgang) Ausgangssignal_setzen(Anfahrausgang, 0);
        if (dx != 0 || dy != 0) {
            // z up to its zero, across in x and y, then z down to the target.
            Relativ_fahren(0, 0, -c[2]);
            Relativ_fahren(dx, 0, 0);
            Relativ_fahren(0, dy, 0);
            Relativ_fahren(0, 0, c[2] + dz);
        } else {
            Relativ_fahren(0, 0, dz);
        }
        if (ausgang) Ausgangssignal_setzen(Anfahrausgang, 1);
        Anzeige_aktualisieren(false);
    });
}

void ManuelleFahrt::Relais_schalten(bool ein) {
    if (ist_serieller_Typ(Parametersatz().Modul)) {
        // The serial command set has no output 10; sending it would only come back as an
        // out-of-range error that does not say what is wrong.
        Protokoll_schreiben(Ebene_Fehler, std::string(Titel) +
                                              " :: Relaisausgang 10 an dieser Steuerung nicht "
                                              "vorhanden");
        oberflaeche().Meldung("Diese Steuerung hat keinen Relaisausgang 10.\n"
                              "Das Relais kann hier nicht geschaltet werden.",
                              Titel, Symbol::warnung, Knoepfe::ok);
        return;
    }
    const int32_t code = Arbeit_ausfuehren("Relais_schalten()", [ein] {
        Ausgangssignal_setzen(Relaisausgang, ein ? 1 : 0);
        Programm_starten();
    });
    if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, Titel);
}

// ---- Window thread -----------------------------------------------------------------------------

void ManuelleFahrt::Initialisieren(bool vollinitialisierung) {
    try {
        InitializeSteuerung(vollinitialisierung);
        Anzeige_aktualisieren(false);
    } catch (const Steuerungsfehler& f) {
        Anzeige_aktualisieren(true);
        Steuerungsfehler_melden(f.code(), Titel);
    }
}

void ManuelleFahrt::Abbrechen() {
    try {
        Achsen_anhalten();
    } catch (const Steuerungsfehler& f) {
        Steuerungsfehler_melden(f.code(), Titel);
    }
}

void ManuelleFahrt::Position_schreiben(int zeile, const std::array<double, 3>& werte) {
    std::lock_guard lock(m_mutex);
    M& p = Parametersatz();
    for (std::size_t a = 0; a < 3; ++a)
        p.*Positionsfelder[static_cast<std::size_t>(zeile - 1)][a] = werte[a];
}

void ManuelleFahrt::Zuweisen() {
    const int zeile = Zeile();
    if (!ist_Zeile(zeile)) return;
    Position_schreiben(zeile, aktPosition());
    Anzeige_sicher_aktualisieren();
}

void ManuelleFahrt::Loeschen() {
    const int zeile = Zeile();
    if (!ist_Zeile(zeile)) return;
    Position_schreiben(zeile, {0.0, 0.0, 0.0});
    Anzeige_sicher_aktualisieren();
}

void ManuelleFahrt::Positionen_uebernehmen(const Positionstexte& texte) {
    std::string ungueltig;
    for (int z = 1; z <= Zeilen; ++z) {
        std::array<double, 3> werte{};
        for (int a = 0; a < 3; ++a) {
            const std::string& text =
                texte[static_cast<std::size_t>(z - 1)][static_cast<std::size_t>(a)];
            double wert = Position(z, a);
            try {
                const double gelesen = Text_zu_Zahl(text);
                if (std::isfinite(gelesen))
                    wert = gelesen;
                else
                    throw Umwandlungsfehler(text);
            } catch (const Umwandlungsfehler&) {
                ungueltig += std::string("\n") + Zeilennamen[static_cast<std::size_t>(z - 1)] +
                             ", " + Achsen[a] + "-Achse: \"" + Text_trimmen(text) + "\"";
            }
            werte[static_cast<std::size_t>(a)] = wert;
        }
        Position_schreiben(z, werte);
    }
    if (!ungueltig.empty())
        oberflaeche().Meldung("Keine gültige Zahl, der bisherige Wert bleibt:" + ungueltig, Titel,
                              Symbol::warnung, Knoepfe::ok);
    Parameterdatei_speichern();
    Anzeige_sicher_aktualisieren();
}

} // namespace orvexa
