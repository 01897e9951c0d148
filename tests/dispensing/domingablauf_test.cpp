// The Doming run, the window's reference run and jogging against the simulated controller.

#include "domingprimitive_umgebung.h"

#include "core/fehler.h"
#include "dispensing/domingablauf.h"
#include "platform/ereignis.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <tuple>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class DomingAblaufTest : public DomingSimulation {
protected:
    void SetUp() override {
        DomingSimulation::SetUp();
        job.Type = "Punkt";
        job.xStartpunkt = 10;
        job.yStartpunkt = 20;
        job.xAbstand = 5;
        job.yAbstand = 6;
        job.xAnzahl = 2;
        job.yAnzahl = 2;
        job.BxAbstand = 1;
        job.ByAbstand = 1;
    }

    bool Protokoll_enthaelt(const std::string& zeile) const {
        const auto z = Protokoll();
        return std::find(z.begin(), z.end(), zeile) != z.end();
    }

    int Anzahl(const Zeilen_t& anfragen, const std::string& text) const {
        return static_cast<int>(std::count(anfragen.begin(), anfragen.end(), text));
    }

    // (ixBogen, iyBogen, ix, iy) of every part begun so far.
    std::vector<std::tuple<int, int, int, int>> Besuche() const {
        std::vector<std::tuple<int, int, int, int>> b;
        for (const auto& t : anzeige.teile)
            b.emplace_back(t.ixBogen, t.iyBogen, t.ix, t.iy);
        return b;
    }

    // Stops the axes from another thread, as the window's "&Abbrechen" does, when the run
    // begins the given part; the run waits meanwhile, so the stop lands in that part.
    void Anhalten_bei(int ixBogen, int iyBogen, int ix, int iy) {
        anzeige.bei_teil = [=, this](const DomingTeil& t) {
            if (ausgeloest || t.ixBogen != ixBogen || t.iyBogen != iyBogen || t.ix != ix ||
                t.iy != iy)
                return;
            ausgeloest = true;
            erreicht.Setzen();
            weiter.Warten(5000);
        };
        fenster = std::thread([this] {
            if (erreicht.Warten(5000) == Warteergebnis::signalisiert) Achsen_anhalten();
            weiter.Setzen();
        });
    }

    void TearDown() override {
        if (fenster.joinable()) {
            erreicht.Setzen();
            fenster.join();
        }
        DomingSimulation::TearDown();
    }

    DomingAblauf ablauf{kontext};
    std::atomic<bool> ausgeloest{false};
    Ereignis erreicht, weiter;
    std::thread fenster;
};

// One part of the 2 x 2 point job: the first of a row at the reference speed.
Zeilen_t Punkt(bool erster, int x, int y) {
    return {erster ? "#E4,1000" : "#E4,2500",
            erster ? "#R100" : "#R150",
            "L4,X" + std::to_string(x),
            "L4,Y" + std::to_string(y),
            "A1,1",
            "A1,0"};
}

TEST_F(DomingAblaufTest, PunktjobZweimalHintereinanderGleich) {
    Verbinden();
    Zeilen_t erwartet{"A2,0", "#S500", "#E4,3000", "$Hxy", "L4,X1000", "L4,Y2000"};
    for (const auto& teil : {Punkt(true, 1000, 2000), Punkt(false, 1500, 2000),
                             Punkt(true, 1000, 2600), Punkt(false, 1500, 2600)})
        erwartet.insert(erwartet.end(), teil.begin(), teil.end());
    erwartet.push_back("$Hxy");

    for (int lauf = 0; lauf < 2; ++lauf) {
        Zaehlung_neu();
        const DomingLaufergebnis e = ablauf.StartBitBtn_Thread({});
        EXPECT_EQ(e.Fehlercode, 0);
        EXPECT_EQ(e.Durchlaeufe, 1);
        EXPECT_EQ(e.Teile, 4);
        EXPECT_FALSE(e.Fortsetzen_moeglich);
        EXPECT_THAT(Neue_Befehle(), ElementsAreArray(erwartet)) << "Lauf " << lauf;
    }
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_THAT(anzeige.beschaeftigt, ElementsAre("an", "aus", "an", "aus"));
    EXPECT_THAT(anzeige.haken, ElementsAre(false, false));
    EXPECT_THAT(anzeige.status, ::testing::Contains("4:A2::OFF"));
    EXPECT_TRUE(Protokoll_enthaelt("StartBitBtn_Thread()"));
    EXPECT_TRUE(Protokoll_enthaelt("-> iDStartfreq=500"));
    EXPECT_TRUE(Protokoll_enthaelt("-> iDEilfreq=3000"));
    EXPECT_TRUE(Protokoll_enthaelt("ixBogen=0 iyBogen=0 ix=0 iy=0"));
    EXPECT_TRUE(Protokoll_enthaelt("ixBogen/iyBogen = 0/0"));
    EXPECT_TRUE(Protokoll_enthaelt("ix/iy = 1/1"));
    EXPECT_TRUE(Protokoll_enthaelt("dxBogenOffset/dyBogenOffset = 0.00 / 0.00"));
    EXPECT_TRUE(Protokoll_enthaelt("ixBogenMerke=0 iyBogenMerke=0 ixMerke=0 iyMerke=0"));
    EXPECT_TRUE(Protokoll_enthaelt("StartBitBtn_Thread() :: End"));
}

TEST_F(DomingAblaufTest, BesuchsreihenfolgeUeberBoegen) {
    Verbinden();
    job.xAnzahl = 3;
    job.yAnzahl = 2;
    job.BxAnzahl = 2;
    job.BxAbstand = 7;
    const DomingLaufergebnis e = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(e.Fehlercode, 0);
    using B = std::tuple<int, int, int, int>;
    EXPECT_THAT(Besuche(), ElementsAre(B{0, 0, 0, 0}, B{0, 0, 1, 0}, B{0, 0, 2, 0}, B{0, 0, 0, 1},
                                       B{0, 0, 1, 1}, B{0, 0, 2, 1}, B{1, 0, 0, 0}, B{1, 0, 1, 0},
                                       B{1, 0, 2, 0}, B{1, 0, 0, 1}, B{1, 0, 1, 1}, B{1, 0, 2, 1}));
    // The second sheet starts one sheet width (2 pitches) plus the sheet gap further.
    EXPECT_DOUBLE_EQ(anzeige.teile[6].x, 10 + 10 + 7);
    EXPECT_DOUBLE_EQ(anzeige.teile[11].x, 10 + 17 + 10);
    EXPECT_DOUBLE_EQ(anzeige.teile[11].y, 26);
    EXPECT_TRUE(Protokoll_enthaelt("dxBogenOffset/dyBogenOffset = 17.00 / 0.00"));
}

TEST_F(DomingAblaufTest, AbbruchImZweitenBogenUndFortsetzenMitDemSelbenTeil) {
    Verbinden();
    job.xAnzahl = 3;
    job.yAnzahl = 2;
    job.BxAnzahl = 2;
    Anhalten_bei(1, 0, 1, 0);
    const DomingLaufergebnis e = ablauf.StartBitBtn_Thread({});
    fenster.join();

    EXPECT_EQ(e.Fehlercode, THROW_ABORT);
    EXPECT_TRUE(e.Fortsetzen_moeglich);
    EXPECT_EQ(ablauf.Merke(), (DomingZaehler{1, 0, 1, 0}));
    EXPECT_TRUE(Protokoll_enthaelt("ixBogenMerke=1 iyBogenMerke=0 ixMerke=1 iyMerke=0"));
    EXPECT_EQ(anzeige.beschaeftigt.back(), "aus+F");
    // The operator's stop is logged, not shown; the valve is closed afterwards.
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_EQ(Neue_Befehle().back(), "A1,0");

    anzeige.teile.clear();
    Zaehlung_neu();
    DomingLaufeingaben weiter_e;
    weiter_e.Neustart = false;
    const DomingLaufergebnis f = ablauf.StartBitBtn_Thread(weiter_e);
    EXPECT_EQ(f.Fehlercode, 0);
    EXPECT_FALSE(f.Fortsetzen_moeglich);
    using B = std::tuple<int, int, int, int>;
    EXPECT_THAT(Besuche(), ElementsAre(B{1, 0, 1, 0}, B{1, 0, 2, 0}, B{1, 0, 0, 1}, B{1, 0, 1, 1},
                                       B{1, 0, 2, 1}));
    // No reference run and no move to the start point before the part in work.
    const Zeilen_t a = Neue_Befehle();
    ASSERT_GE(a.size(), 4u);
    EXPECT_THAT(Zeilen_t(a.begin(), a.begin() + 4),
                ElementsAre("A2,0", "#S500", "#E4,3000", "#E4,2500"));
    EXPECT_EQ(Anzahl(a, "$Hxy"), 1);
    EXPECT_EQ(a.back(), "$Hxy");
    EXPECT_TRUE(Protokoll_enthaelt("ixBogen=1 iyBogen=0 ix=1 iy=0"));
    EXPECT_EQ(anzeige.beschaeftigt.back(), "aus");
}

TEST_F(DomingAblaufTest, AbbruchAmErstenTeilDerZweitenBogenreiheLaesstFortsetzenZu) {
    Verbinden();
    job.ByAnzahl = 2;
    Anhalten_bei(0, 1, 0, 0);
    const DomingLaufergebnis e = ablauf.StartBitBtn_Thread({});
    fenster.join();
    EXPECT_EQ(e.Fehlercode, THROW_ABORT);
    EXPECT_EQ(ablauf.Merke(), (DomingZaehler{0, 1, 0, 0}));
    EXPECT_TRUE(e.Fortsetzen_moeglich);
    EXPECT_TRUE(Protokoll_enthaelt("ixBogenMerke=0 iyBogenMerke=1 ixMerke=0 iyMerke=0"));
}

TEST_F(DomingAblaufTest, ManuellesFahrenKehrtZumGemerktenStartZurueck) {
    Verbinden();
    Vektorfahrt_ausfuehren(false, 0, 5000, 6000, 99999, 1);
    Zaehlung_neu();
    DomingLaufeingaben e;
    e.Startseite = DomingStartseite::Manuelles_Fahren;
    job.xAnzahl = 3;
    job.yAnzahl = 1;
    Anhalten_bei(0, 0, 2, 0);
    const DomingLaufergebnis r = ablauf.StartBitBtn_Thread(e);
    fenster.join();
    EXPECT_EQ(r.Fehlercode, THROW_ABORT);
    EXPECT_DOUBLE_EQ(ablauf.xStartMerke(), 50);
    EXPECT_DOUBLE_EQ(job.xStartpunkt, 50);
    EXPECT_DOUBLE_EQ(anzeige.teile[1].x, 55);
    EXPECT_DOUBLE_EQ(anzeige.teile[1].y, 60);

    // The machine is moved away; the continued run still returns to the start of the run.
    Vektorfahrt_ausfuehren(false, 0, 0, 0, 99999, 1);
    Zaehlung_neu();
    e.Neustart = false;
    const DomingLaufergebnis f = ablauf.StartBitBtn_Thread(e);
    EXPECT_EQ(f.Fehlercode, 0);
    const Zeilen_t a = Neue_Befehle();
    EXPECT_EQ(Anzahl(a, "$Hxy"), 0);
    EXPECT_THAT(a, ElementsAre("A2,0", "#S500", "#E4,3000", "#E4,2500", "#R150", "L4,X6000",
                               "L4,Y6000", "A1,1", "A1,0", "#E4,3000", "#R200", "L4,X5000",
                               "L4,Y6000"));
    EXPECT_EQ(sim->Position('x'), 5000);
    EXPECT_EQ(sim->Position('y'), 6000);
}

TEST_F(DomingAblaufTest, DauertestReferenzfahrtUndKora) {
    Verbinden();
    job.xAnzahl = job.yAnzahl = 1;
    int gefragt = 0;
    DomingLaufeingaben e;
    // Ticked for the first pass, unticked during the second.
    e.Dauertest = [&] { return ++gefragt == 1; };
    DomingLaufergebnis r = ablauf.StartBitBtn_Thread(e);
    EXPECT_EQ(r.Durchlaeufe, 2);
    EXPECT_EQ(r.Teile, 2);
    EXPECT_EQ(Anzahl(Neue_Befehle(), "$Hxy"), 4);

    Zaehlung_neu();
    gefragt = 0;
    e.Referenzfahrt = false;
    r = ablauf.StartBitBtn_Thread(e);
    EXPECT_EQ(r.Durchlaeufe, 2);
    // Only the closing reference run of each pass.
    EXPECT_EQ(Anzahl(Neue_Befehle(), "$Hxy"), 2);

    Zaehlung_neu();
    gefragt = 0;
    e.Referenzfahrt = true;
    e.ModusKora = true;
    r = ablauf.StartBitBtn_Thread(e);
    EXPECT_EQ(r.Durchlaeufe, 2);
    EXPECT_EQ(Anzahl(Neue_Befehle(), "$Hxy"), 0);
}

TEST_F(DomingAblaufTest, PruefungenHaltenVorJederBewegung) {
    Verbinden();
    job.xAbstand = 0;
    DomingLaufergebnis r = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(r.Fehlercode, Fehler_bereits_gemeldet);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Abstand-Parameter überprüfen!\n");
    // Only the valve is closed.
    EXPECT_THAT(Neue_Befehle(), ElementsAre("A1,0"));

    ui.Leeren();
    Zaehlung_neu();
    job.xAbstand = 5;
    parameter.xAbmessung = 14.99;
    r = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(r.Fehlercode, Fehler_bereits_gemeldet);
    EXPECT_EQ(r.Teile, 0);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_TRUE(Protokoll_enthaelt("dxMax=15.00 dyMax=26.00"));
    EXPECT_EQ(Neue_Befehle().back(), "A1,0");
}

TEST_F(DomingAblaufTest, SteuerungsfehlerWirdGemeldetUndTeilGemerkt) {
    Verbinden();
    sim->Watchdog_Ausgang_setzen(1);
    const DomingLaufergebnis r = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(r.Fehlercode, Steuerungsfehler_Basis + 9);
    ASSERT_FALSE(ui.Meldungen().empty());
    EXPECT_EQ(ui.Meldungen()[0].titel, "StartBitBtn_Thread()");
    EXPECT_EQ(r.Teile, 1);
    EXPECT_FALSE(r.Fortsetzen_moeglich);
}

TEST_F(DomingAblaufTest, HPGLDateiDieFehltHaeltDenLauf) {
    Verbinden();
    job.Type = "HPGL";
    job.HFilename = ordner.Datei("fehlt.plt");
    const DomingLaufergebnis r = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(r.Fehlercode, Fehler_bereits_gemeldet);
    EXPECT_EQ(r.Teile, 1);
    // One message, from the shape; the run adds none for -1.
    EXPECT_EQ(ui.Meldungen().size(), 1u);
    const Zeilen_t a = Neue_Befehle();
    EXPECT_EQ(Anzahl(a, "A1,1"), 0);
    EXPECT_EQ(a.back(), "A1,0");
}

TEST_F(DomingAblaufTest, ReferenzknopfMitAchsenDerMaschinenparameter) {
    Verbinden();
    EXPECT_EQ(ablauf.RefBitBtn_Thread(), 0);
    Parametersatz().yRefAktiv = 0;
    EXPECT_EQ(ablauf.RefBitBtn_Thread(), 0);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("#S500", "#R200", "$Hxy", "#S500", "#R200", "$Hx"));
    EXPECT_EQ(anzeige.positionen, 2);
    EXPECT_THAT(anzeige.beschaeftigt, ElementsAre("an", "aus", "an", "aus"));

    // A stop that came after the last command has ended does not end the next one.
    Achsen_anhalten();
    EXPECT_EQ(ablauf.RefBitBtn_Thread(), 0);
    EXPECT_FALSE(anzeige.position_unbekannt);
}

TEST_F(DomingAblaufTest, ReferenzknopfOhneAntwortZeigtUnbekanntePosition) {
    Verbinden();
    sim->Stumm_schalten(true);
    EXPECT_EQ(ablauf.RefBitBtn_Thread(), WAIT_TIMEOUT);
    EXPECT_TRUE(anzeige.position_unbekannt);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "RefBitBtn_Thread()");
}

TEST_F(DomingAblaufTest, SchrittweisesFahrenPieptAnDenGrenzen) {
    Verbinden();
    parameter.xAbmessung = 3;
    DomingJogeingaben e;
    e.kontinuierlich = false;
    e.Schrittweite = 2.5;
    e.Geschwindigkeit = 1200;
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0); // 0 -> 2.5
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0); // 5 > 3: beep
    e.Richtung = DomingRichtung::xMinus;
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0); // 2.5 -> 0, the edge is allowed
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0); // -2.5: beep
    e.Richtung = DomingRichtung::yPlus;
    e.Schrittweite = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0); // no number: beep
    const Zeilen_t a = Neue_Befehle();
    const Zeilen_t fahrten = [&] {
        Zeilen_t f;
        for (const auto& x : a)
            if (x.starts_with("L")) f.push_back(x);
        return f;
    }();
    EXPECT_THAT(fahrten, ElementsAre("L3,X250", "L3,X0"));
    EXPECT_THAT(Zeilen_t(a.begin(), a.begin() + 3), ElementsAre("#S500", "#E3,1200", "#R200"));
    ASSERT_EQ(ui.Toene().size(), 3u);
    EXPECT_EQ(ui.Toene()[0].hz, 440);
    EXPECT_EQ(ui.Toene()[0].ms, 100);
    EXPECT_EQ(sim->Position('x'), 0);
}

TEST_F(DomingAblaufTest, KontinuierlichBisZumRandUndLoslassenHaeltAn) {
    Verbinden();
    DomingJogeingaben e;
    e.Geschwindigkeit = 1000;
    e.Richtung = DomingRichtung::yMinus;
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), 0);
    EXPECT_EQ(Neue_Befehle().back(), "L3,Y0");

    // At real speed the way to x = 500 mm takes the better part of a minute; releasing the
    // button stops it from the window thread.
    sim->Zeitskala_setzen(1);
    Zaehlung_neu();
    e.Richtung = DomingRichtung::xPlus;
    std::thread loslassen([&] {
        for (std::size_t n = basis + 1; sim->Warten_auf_Anfragen(n, 5000); ++n)
            if (sim->Anfragen()[n - 1].starts_with("L3")) break;
        Achsen_anhalten();
    });
    EXPECT_EQ(ablauf.DomingMouseDown_Thread(e), THROW_ABORT);
    loslassen.join();
    EXPECT_THAT(Neue_Befehle(), ::testing::Contains("L3,X50000"));
    EXPECT_LT(sim->Position('x'), 50000);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingAblaufTest, LaserpointerKaestchen) {
    Verbinden();
    ablauf.LaserpointerBetriebCheckBoxClick(true);
    EXPECT_TRUE(kontext.Laserpointer_Betrieb);
    ablauf.LaserpointerBetriebCheckBoxClick(false);
    EXPECT_FALSE(kontext.Laserpointer_Betrieb);
    ablauf.LaserpointerONOFFCheckBoxClick(true);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("A1,0", "A2,0", "A2,0", "A1,0", "A2,1"));
    EXPECT_EQ(anzeige.status.back(), "4:A2::ON");

    // A failing valve still leaves the flag equal to the box.
    sim->Watchdog_Ausgang_setzen(1);
    ablauf.LaserpointerBetriebCheckBoxClick(true);
    EXPECT_TRUE(kontext.Laserpointer_Betrieb);
    EXPECT_EQ(ui.Meldungen().size(), 1u);
}

TEST_F(DomingAblaufTest, LaufImLaserpointerBetriebSchaltetNurAusgang2) {
    Verbinden();
    job.xAnzahl = job.yAnzahl = 1;
    kontext.Laserpointer_Betrieb = true;
    const DomingLaufergebnis r = ablauf.StartBitBtn_Thread({});
    EXPECT_EQ(r.Fehlercode, 0);
    const Zeilen_t a = Neue_Befehle();
    EXPECT_EQ(Anzahl(a, "A2,1"), 1);
    EXPECT_EQ(
        std::count_if(a.begin(), a.end(), [](const std::string& s) { return s.starts_with("A1"); }),
        0);
}

} // namespace
} // namespace orvexa::test
