#include "winkelpositionierung.h"

#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "core/arbeitsende.h"
#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "platform/oberflaeche.h"

#include <cmath>
#include <limits>

namespace orvexa {

namespace {

constexpr int32_t Geschwindigkeitsplatz = 1;
constexpr int32_t Sofort_starten = 1;

// Whole steps: a value a hair off a whole number is that number (200 × 10.03 is 2005.9999…
// in binary, and means 2006), NaN is 0, the rest is held inside int32.
int32_t Ganze_Schritte(double wert) {
    if (std::isnan(wert)) return 0;
    const double naechste = std::nearbyint(wert);
    if (std::fabs(wert - naechste) <= 1e-9 * std::max(1.0, std::fabs(wert))) wert = naechste;
    wert = std::trunc(wert);
    constexpr double max = std::numeric_limits<int32_t>::max();
    constexpr double min = std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::fmin(std::fmax(wert, min), max));
}

double Sollwinkel_lesen(std::string_view text) {
    try {
        return Text_zu_Zahl(text);
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

} // namespace

double KXCU_Winkelachse::Istwinkel_lesen() {
    return m_anzeige.Istwinkel_lesen();
}

void KXCU_Winkelachse::Absolut_fahren(int32_t schritte) {
    Vektorfahrt_ausfuehren(false, Geschwindigkeitsplatz, schritte, 0, 0, Sofort_starten);
}

void KXCU_Winkelachse::Relativ_fahren(int32_t schritte) {
    Vektorfahrt_ausfuehren(true, Geschwindigkeitsplatz, schritte, 0, 0, Sofort_starten);
}

Winkelpositionierung::Winkelpositionierung(const WT_Parameter& parameter,
                                           Winkeltranskript& transkript, Winkelachse& achse,
                                           std::atomic<bool>* vekabbruch)
    : m_p(parameter), m_transkript(transkript), m_achse(achse), m_vekabbruch(vekabbruch) {}

int32_t Winkelpositionierung::Grobschritte(const WT_Parameter& p, double soll, double ist) {
    const int32_t schritte = Ganze_Schritte(Ganze_Schritte(p.Umrechnungsfaktor * (soll - ist)) +
                                            static_cast<double>(p.annaehern));
    return schritte == 0 ? -1 : schritte;
}

int32_t Winkelpositionierung::Absolute_Schritte(const WT_Parameter& p, double winkel) {
    return Ganze_Schritte(winkel * p.Umrechnungsfaktor);
}

bool Winkelpositionierung::Winkel_anfahren(std::string_view sollwinkel) {
    return Winkel_anfahren(Sollwinkel_lesen(sollwinkel));
}

bool Winkelpositionierung::Winkel_anfahren(double soll) {
    const int32_t u = m_p.Umrechnungsfaktor;
    if (u == 0) {
        // Without steps per degree neither a step nor the band has an angle.
        const std::string text = "Umrechnungsfaktor ist 0: der Winkel wird nicht angefahren!";
        m_transkript.Zeile(text);
        Protokoll_schreiben(Ebene_Fehler, "Winkel_anfahren() :: " + text);
        oberflaeche().Meldung("Der Umrechnungsfaktor (Schritte / Grad) ist 0.\nBitte die "
                              "Parameter eingeben.",
                              "orvexa2011", Symbol::warnung, Knoepfe::ok);
        return false;
    }
    const double schritt = 1.0 / u;
    const double band = static_cast<double>(m_p.annaehern) / u;
    m_transkript.Zeile("SollWinkel: " + Winkel_fest3(soll));
    m_transkript.Zeile("");

    // Only logged: where the axis stood before.
    m_achse.Istwinkel_lesen();
    Winkel_absolut_anfahren(soll + m_p.uebersteuern);

    int32_t zyklen = 0;
    bool erreicht = false;
    do {
        const double ist = m_achse.Istwinkel_lesen();
        if (ist > soll + band)
            Winkel_relativ_verfahren(Grobschritte(m_p, soll, ist));
        else if (ist > soll + schritt)
            Winkel_relativ_verfahren(-1);
        else if (ist >= soll)
            erreicht = true;
        else
            Winkel_absolut_anfahren(soll + m_p.uebersteuern);
        ++zyklen;
    } while (!erreicht && zyklen < m_p.schrittweise);

    // Reached in the last allowed cycle counts as not reached, as the operator has always
    // seen it.
    if (zyklen < m_p.schrittweise) {
        m_transkript.Zeile("Winkel wurde eingestellt!");
        return true;
    }
    m_transkript.Zeile("Winkel konnte nicht eingestellt werden!");
    return false;
}

void Winkelpositionierung::Winkel_absolut_anfahren(double winkel) {
    if (Abgebrochen()) return;
    const int32_t schritte = Absolute_Schritte(m_p, winkel);
    m_transkript.Zeile("verfahre zu Winkel: " + Winkel_fest3(winkel) + " ...");
    m_transkript.Zeile("d.h. " + std::to_string(schritte) + " absolute Schritte");
    m_transkript.Zeile("");
    m_achse.Absolut_fahren(schritte);
}

void Winkelpositionierung::Winkel_relativ_verfahren(int32_t schritte) {
    if (Abgebrochen()) return;
    m_transkript.Zeile("verfahre um " + std::to_string(schritte) + " Schritte ...");
    m_transkript.Zeile("");
    m_achse.Relativ_fahren(schritte);
}

bool Winkelpositionierung::Test_anfahren(std::string_view sollwinkel, const std::string& testdatei,
                                         int32_t* code) {
    m_transkript.Leeren();
    m_transkript.Zeile("Winkel_anfahren() - Test");
    m_transkript.Zeile("");
    m_transkript.Zeile(Formatieren("--> Umrechnungsfaktor: %d", m_p.Umrechnungsfaktor));
    m_transkript.Zeile(Formatieren("--> übersteuern um: %.2f Grad", m_p.uebersteuern));
    m_transkript.Zeile(Formatieren("--> annähern bis auf: %d Schritte", m_p.annaehern));
    m_transkript.Zeile(Formatieren("--> schrittweise nähern: %d Zyklen", m_p.schrittweise));
    m_transkript.Zeile("");
    m_transkript.Zeile("");
    if (m_vekabbruch) *m_vekabbruch = false;
    // A stop left over from an earlier test must not end this one's first move.
    Steuerung().Abbruch = false;

    bool erreicht = false;
    const int32_t fehler =
        Arbeit_ausfuehren("Winkel_anfahren", [&] { erreicht = Winkel_anfahren(sollwinkel); });
    if (fehler != 0) {
        m_transkript.Zeile("Ein Fehler ist aufgetreten!");
        m_transkript.Zeile("");
        erreicht = false;
    }
    Steuerung().Abbruch = false;
    if (code) *code = fehler;

    std::string grund;
    if (!m_transkript.Speichern(testdatei, &grund)) {
        Protokoll_schreiben(Ebene_Fehler, "Winkel_anfahren() - Test :: " + grund);
        oberflaeche().Meldung(std::string(Winkeltranskript::Testdatei) +
                                  " wurde nicht gespeichert:\n" + grund,
                              "orvexa2011", Symbol::warnung, Knoepfe::ok);
    }
    return erreicht;
}

void Winkelpositionierung::Test_beenden() {
    if (m_vekabbruch) *m_vekabbruch = true;
    try {
        Achsen_anhalten();
    } catch (const Steuerungsfehler&) {
        // The stop flag is up whatever the controller answered.
    }
}

} // namespace orvexa
