// The manual jog over the recording driver doubles: step counts, the jog and the approach as
// the controller sees them, the operator's stop, busy presses, the relay, and the named
// positions.

#include "motion/manuellefahrt.h"

#include "attrappen.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "motion/manuellefahrt_thread.h"
#include "platform/ereignis.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Zeilen_t = std::vector<std::string>;

class Anzeigeprotokoll : public ManuelleFahrt_Beobachter {
public:
    void Bewegung(bool laeuft) override {
        std::lock_guard lock(m_mutex);
        m_ereignisse.push_back(laeuft ? "Bewegung an" : "Bewegung aus");
        if (!laeuft) fertig.Setzen();
    }
    void Anzeige(const Positionsanzeige& anzeige) override {
        std::lock_guard lock(m_mutex);
        m_ereignisse.push_back("Anzeige");
        m_anzeigen.push_back(anzeige);
    }
    Zeilen_t Ereignisse() const {
        std::lock_guard lock(m_mutex);
        return m_ereignisse;
    }
    Positionsanzeige Letzte() const {
        std::lock_guard lock(m_mutex);
        return m_anzeigen.empty() ? Positionsanzeige{} : m_anzeigen.back();
    }

    Ereignis fertig;

private:
    mutable std::mutex m_mutex;
    Zeilen_t m_ereignisse;
    std::vector<Positionsanzeige> m_anzeigen;
};

class ManuelleFahrtTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.Startfreq = 200;
        p.Eilfreq = 3000;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = 400;
        Parameterdatei() = ordner.Datei("orvexa2011_param.dat");
    }
    void TearDown() override {
        Parameterdatei().clear();
        Attrappenumgebung::TearDown();
    }

    // The driver calls of a motion kind, in order.
    Zeilen_t Aufrufe_mit(const std::string& teil) const {
        Zeilen_t treffer;
        for (const std::string& z : Aufrufe())
            if (z.find(teil) != std::string::npos) treffer.push_back(z);
        return treffer;
    }
    bool Protokoll_enthaelt(const std::string& teil) const {
        const auto zeilen = Protokoll();
        return std::any_of(zeilen.begin(), zeilen.end(),
                           [&](const std::string& z) { return z.find(teil) != std::string::npos; });
    }

    Anzeigeprotokoll beobachter;
    ManuelleFahrt fahrt{beobachter};
};

TEST(ManuelleFahrtRechnung, SchrittzahlRundetAufUndVertraegtUnsinn) {
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(0.1, 400, 4.0), 10);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(1.0, 400, 1.0), 400);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(0.05, 400, 3.0), 7); // 6.67 steps: never short
    // Floating-point noise above a whole number is no extra step.
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(0.07, 100, 1.0), 7);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(0.3, 10, 0.1), 30);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(2.0, 400, 0.0), 0);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(std::numeric_limits<double>::quiet_NaN(), 400, 1.0), 0);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(1e300, 400, 1.0), std::numeric_limits<int32_t>::max());
    // The sign of the width does not count; a negative gear ratio turns the axis round.
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(-0.1, 400, 4.0), 10);
    EXPECT_EQ(ManuelleFahrt::Schrittzahl(0.1, 400, -4.0), -10);
}

TEST(ManuelleFahrtRechnung, AnzeigetextHatZweiLeerzeichenUndZweiDezimalen) {
    EXPECT_EQ(ManuelleFahrt::Anzeigetext(1.5), "  1.50");
    EXPECT_EQ(ManuelleFahrt::Anzeigetext(-2.125), "  -2.12");
    EXPECT_EQ(ManuelleFahrt::Anzeigetext(1234.567), "  1234.57");
    EXPECT_EQ(ManuelleFahrt::Anzeigetext(-0.001), "  0.00");
}

TEST_F(ManuelleFahrtTest, TippenUmNullKommaEinsMmMachtZehnSchritte) {
    Steuerung_einrichten(5);
    Parametersatz().xUebersetz = 4.0;
    Linie()->Position_vorgeben('x', 800);
    Linie()->Position_vorgeben('y', -200);
    fahrt.Schrittweite_setzen(0.1);
    fahrt.Geschwindigkeit_setzen(1500);
    fahrt.Richtung_setzen(-1);

    fahrt.Fahren();

    EXPECT_THAT(Aufrufe_mit("geschwindigkeit"),
                ElementsAre("Linie.Endgeschwindigkeit_einstellen(8, 1500)"));
    EXPECT_THAT(Aufrufe_mit("fahrt"), ElementsAre("Linie.Vektorfahrt_ausfuehren(1, 8, -10, 0, 0)"));
    EXPECT_TRUE(Protokoll_enthaelt("Vektorfahrt_ausfuehren(1, 8,   -10,     0,     0, 1)"));
    EXPECT_THAT(beobachter.Ereignisse(), ElementsAre("Bewegung an", "Anzeige", "Bewegung aus"));
    const Positionsanzeige a = beobachter.Letzte();
    EXPECT_THAT(a.aktPosition, ElementsAre("  8.00", "  -0.50", "  0.00"));
    EXPECT_EQ(fahrt.aktPosition()[0], 8.0);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ManuelleFahrtTest, TippenNachRichtungUndOhneUebersetzungKeineFahrt) {
    Steuerung_einrichten(4);
    fahrt.Schrittweite_setzen(1.0);
    fahrt.Geschwindigkeit_setzen(900);
    for (int richtung : {+2, -3, +3})
        fahrt.Richtung_setzen(richtung), fahrt.Fahren();
    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Karte.Vektorfahrt_ausfuehren(1, 8, 0, 400, 0)",
                            "Karte.Vektorfahrt_ausfuehren(1, 8, 0, 0, -400)",
                            "Karte.Vektorfahrt_ausfuehren(1, 8, 0, 0, 400)"));

    Parametersatz().zUebersetz = 0;
    fahrt.Fahren();
    EXPECT_EQ(Aufrufe_mit("Vektorfahrt").size(), 3u);
    EXPECT_EQ(beobachter.Letzte().aktPosition[2], "  0.00");
}

TEST_F(ManuelleFahrtTest, AnfahrenMitNurXVerschiedenFaehrtZHochXUndZRunter) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('x', 100);
    Linie()->Position_vorgeben('y', 200);
    Linie()->Position_vorgeben('z', 300);
    Parametersatz().xWerkstuecknullpunkt = 1.25; // 500 steps
    Parametersatz().yWerkstuecknullpunkt = 0.5;
    Parametersatz().zWerkstuecknullpunkt = 1.0;
    fahrt.Geschwindigkeit_setzen(2500);
    fahrt.Zeile_setzen(1);

    fahrt.Anfahren();

    EXPECT_THAT(Aufrufe_mit("Ausgangssignal"), ElementsAre("Linie.Ausgangssignal_setzen(76, 0)",
                                                           "Linie.Ausgangssignal_setzen(76, 1)"));
    // z up to 0, x across, no y move, z down to its target.
    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, -300)",
                            "Linie.Vektorfahrt_ausfuehren(1, 8, 400, 0, 0)",
                            "Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, 400)"));
    // The skipped y move is still a call of the command layer.
    EXPECT_TRUE(Protokoll_enthaelt("Vektorfahrt_ausfuehren(1, 8,     0,     0,     0, 1)"));
    const Zeilen_t a = Aufrufe();
    const auto vor = std::find(a.begin(), a.end(), "Linie.Ausgangssignal_setzen(76, 0)");
    const auto erste =
        std::find(a.begin(), a.end(), "Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, -300)");
    const auto nach = std::find(a.begin(), a.end(), "Linie.Ausgangssignal_setzen(76, 1)");
    const auto letzte =
        std::find(a.begin(), a.end(), "Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, 400)");
    EXPECT_LT(vor, erste);
    EXPECT_LT(letzte, nach);
    EXPECT_EQ(a.front(), "Linie.Endgeschwindigkeit_einstellen(8, 2500)");
    EXPECT_THAT(beobachter.Ereignisse(), ElementsAre("Bewegung an", "Anzeige", "Bewegung aus"));
}

TEST_F(ManuelleFahrtTest, AnfahrenMitNurZVerschiedenIstEineZFahrt) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('x', 400);
    Linie()->Position_vorgeben('z', 100);
    Parametersatz().xParkposition = 1.0;
    Parametersatz().zParkposition = -0.5;
    fahrt.Zeile_setzen(2);
    fahrt.Anfahren();
    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, -300)"));

    // A row outside 1..4 is where the machine stands: nothing moves.
    fabrik.liste->Leeren();
    fahrt.Zeile_setzen(0);
    fahrt.Anfahren();
    EXPECT_TRUE(Aufrufe_mit("Vektorfahrt").empty());
}

TEST_F(ManuelleFahrtTest, AnfahrenOhneUebersetzungLaesstDieAchseStehen) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('x', 100);
    Linie()->Position_vorgeben('z', 40);
    Parametersatz().xUebersetz = 0; // x cannot be converted: not to 0, it stays
    Parametersatz().xWZWechselposition = 3.0;
    Parametersatz().yWZWechselposition = 0.25;
    Parametersatz().zWZWechselposition = 0.1;
    fahrt.Zeile_setzen(4);
    fahrt.Anfahren();
    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, -40)",
                            "Linie.Vektorfahrt_ausfuehren(1, 8, 0, 100, 0)",
                            "Linie.Vektorfahrt_ausfuehren(1, 8, 0, 0, 40)"));
}

TEST_F(ManuelleFahrtTest, AnfahrenAufSchrittkarteOhneAusgang76) {
    Steuerung_einrichten(4);
    Karte()->Position_vorgeben('z', 12);
    Parametersatz().xParkposition = 0.5;
    Parametersatz().zParkposition = 0.03;
    fahrt.Zeile_setzen(2);
    fahrt.Anfahren();
    EXPECT_TRUE(Aufrufe_mit("Ausgangssignal").empty());
    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Karte.Vektorfahrt_ausfuehren(1, 8, 0, 0, -12)",
                            "Karte.Vektorfahrt_ausfuehren(1, 8, 200, 0, 0)",
                            "Karte.Vektorfahrt_ausfuehren(1, 8, 0, 0, 12)"));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ManuelleFahrtTest, EscWaehrendDesTippensEndetMit2000UndZeigtDiePosition) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('x', 40);
    Linie()->Sperre_setzen("Vektorfahrt_ausfuehren");
    fahrt.Schrittweite_setzen(5.0);
    TManuelleFahrtThread arbeiter(fahrt);
    arbeiter.Starten();
    ASSERT_TRUE(arbeiter.Fahren(+1));
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    EXPECT_TRUE(arbeiter.Beschaeftigt());

    // A second press while the move runs is ignored, whichever command it is.
    EXPECT_FALSE(arbeiter.Fahren(-1));
    EXPECT_FALSE(arbeiter.Befehl_annehmen(TManuelleFahrtThread::Befehl_Anfahren));

    fahrt.Abbrechen();
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    ASSERT_EQ(beobachter.fertig.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_TRUE(arbeiter.Beenden(false));

    EXPECT_THAT(Aufrufe_mit("Vektorfahrt"),
                ElementsAre("Linie.Vektorfahrt_ausfuehren(1, 8, 2000, 0, 0)"));
    EXPECT_EQ(Aufrufe_mit("Linie.Achsen_anhalten").size(), 1u);
    EXPECT_THAT(beobachter.Letzte().aktPosition, ElementsAre("  0.10", "  0.00", "  0.00"));
    EXPECT_TRUE(Protokoll_enthaelt("THROW_ABORT"));
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(ManuelleFahrtTest, AndererFehlerZeigtStricheUndWirdGemeldet) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("Vektorfahrt_ausfuehren", WAIT_TIMEOUT);
    fahrt.Richtung_setzen(+3);
    fahrt.Fahren();
    EXPECT_THAT(beobachter.Letzte().aktPosition, ElementsAre("- - -", "- - -", "- - -"));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Manuelle Fahrt");
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("WAIT_TIMEOUT"));
    EXPECT_THAT(beobachter.Ereignisse(), ElementsAre("Bewegung an", "Anzeige", "Bewegung aus"));

    // A position that cannot be read after a good move shows the same way.
    Linie()->Fehler_vorgeben("Achsenposition_abfragen", COMMUNICATION_ERROR);
    fahrt.Fahren();
    EXPECT_EQ(beobachter.Letzte().aktPosition[0], "- - -");
    EXPECT_EQ(ui.Meldungen().size(), 2u);
}

TEST_F(ManuelleFahrtTest, StoppZwischenDenFahrtenDesAnfahrensLaesstDenRestAus) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('z', 100);
    Parametersatz().xParkposition = 2.0;
    // The stop arrives while no move runs: nothing of the approach may move afterwards.
    Linie()->Bei_Aufruf("Ausgangssignal_setzen", [] { Achsen_anhalten(); });
    fahrt.Zeile_setzen(2);
    fahrt.Anfahren();
    EXPECT_TRUE(Aufrufe_mit("Vektorfahrt").empty());
    EXPECT_TRUE(Protokoll_enthaelt("THROW_ABORT"));
    EXPECT_EQ(beobachter.Letzte().aktPosition[2], "  0.25");
}

TEST_F(ManuelleFahrtTest, EscImLeerlaufVerdirbtDasNaechsteTippenNicht) {
    Steuerung_einrichten(5);
    TManuelleFahrtThread arbeiter(fahrt);
    arbeiter.Starten();
    fahrt.Abbrechen();
    EXPECT_TRUE(Steuerung().Abbruch);
    ASSERT_TRUE(arbeiter.Fahren(+2));
    ASSERT_EQ(beobachter.fertig.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_TRUE(arbeiter.Beenden(true));
    EXPECT_EQ(Aufrufe_mit("Vektorfahrt").size(), 1u);
    EXPECT_FALSE(Protokoll_enthaelt("THROW_ABORT"));
}

TEST_F(ManuelleFahrtTest, RelaisAnSeriellerSteuerungAbgelehnt) {
    Steuerung_einrichten(5);
    fahrt.Relais_schalten(true);
    EXPECT_TRUE(Aufrufe().empty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("Relaisausgang 10"));
    EXPECT_EQ(ui.Meldungen()[0].titel, "Manuelle Fahrt");
}

TEST_F(ManuelleFahrtTest, RelaisAnAnderenTypenUeberDieBefehlsschicht) {
    Steuerung_einrichten(4);
    fahrt.Relais_schalten(true);
    fahrt.Relais_schalten(false);
    EXPECT_THAT(Aufrufe(), ElementsAre("Karte.Ausgangssignal_setzen(10, 1)",
                                       "Karte.Ausgangssignal_setzen(10, 0)"));
    // The program-storing controller starts what it has queued.
    Steuerung_einrichten(2);
    fahrt.Relais_schalten(false);
    EXPECT_THAT(Aufrufe(), ElementsAre("Speicher.Programm_starten()"));
    EXPECT_TRUE(Protokoll_enthaelt("Ausgangssignal_setzen(10, 0)"));
}

TEST_F(ManuelleFahrtTest, ZuweisenLoeschenUndZeilenAusserhalb) {
    Steuerung_einrichten(5);
    Linie()->Position_vorgeben('x', 100);
    Linie()->Position_vorgeben('y', -400);
    Linie()->Position_vorgeben('z', 2);
    Parametersatz().xWZLMessposition = 7.0;
    Parametersatz().zWZLMessposition = -1.0;
    fahrt.Anzeige_aktualisieren(false);

    fahrt.Zeile_setzen(2);
    fahrt.Zuweisen();
    EXPECT_EQ(Parametersatz().xParkposition, 0.25);
    EXPECT_EQ(Parametersatz().yParkposition, -1.0);
    EXPECT_EQ(Parametersatz().zParkposition, 0.005);
    EXPECT_THAT(beobachter.Letzte().Positionen[1], ElementsAre("  0.25", "  -1.00", "  0.01"));

    fahrt.Zeile_setzen(3);
    fahrt.Loeschen();
    EXPECT_EQ(Parametersatz().xWZLMessposition, 0.0);
    EXPECT_EQ(Parametersatz().zWZLMessposition, 0.0);

    const Maschinenparameter vorher = Parametersatz();
    for (int zeile : {0, 5, -1}) {
        fahrt.Zeile_setzen(zeile);
        fahrt.Zuweisen();
        fahrt.Loeschen();
    }
    EXPECT_EQ(Parametersatz(), vorher);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ManuelleFahrtTest, EditiertePositionenWerdenGelesenUndGespeichert) {
    Steuerung_einrichten(4);
    Parametersatz().yParkposition = 9.0;
    Positionstexte texte;
    for (auto& zeile : texte)
        zeile = {"  1.00", "2", "-3"};
    texte[0] = {"2,5", " 4 . 5 ", "abc"};
    texte[1][1] = "1.2.3"; // no number: the old value stays and the operator is told
    fahrt.Positionen_uebernehmen(texte);

    const Maschinenparameter& p = Parametersatz();
    EXPECT_EQ(p.xWerkstuecknullpunkt, 2.5);
    EXPECT_EQ(p.yWerkstuecknullpunkt, 4.5);
    EXPECT_EQ(p.zWerkstuecknullpunkt, 0.0);
    EXPECT_EQ(p.yParkposition, 9.0);
    EXPECT_EQ(p.zWZWechselposition, -3.0);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("Parkposition, y-Achse: \"1.2.3\""));

    Maschinenparameter gelesen;
    Parameterdatei_laden(gelesen, Parameterdatei());
    EXPECT_EQ(gelesen.xWerkstuecknullpunkt, 2.5);
    EXPECT_EQ(gelesen.yParkposition, 9.0);
    EXPECT_EQ(gelesen.xWZWechselposition, 1.0);
    const auto anzeige = beobachter.Letzte();
    EXPECT_THAT(anzeige.Positionen[0], ElementsAre("  2.50", "  4.50", "  0.00"));
    EXPECT_EQ(anzeige.Positionen[1][1], "  9.00");
}

TEST_F(ManuelleFahrtTest, InitialisierungsfehlerZeigtStriche) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("Startgeschwindigkeit_einstellen", NAK_ERROR);
    Parametersatz().xParkposition = 1.5;
    fahrt.Initialisieren(false);
    EXPECT_THAT(beobachter.Letzte().aktPosition, ElementsAre("- - -", "- - -", "- - -"));
    EXPECT_EQ(beobachter.Letzte().Positionen[1][0], "  1.50");
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("NAK_ERROR"));

    fahrt.Initialisieren(false);
    EXPECT_EQ(beobachter.Letzte().aktPosition[0], "  0.00");
}

} // namespace
} // namespace orvexa::test
