// Each dispensing primitive's requests as the simulated serial controller receives them.

#include "domingprimitive_umgebung.h"

#include "core/fehler.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class DomingPrimitiveTest : public DomingSimulation {
protected:
    bool Protokoll_enthaelt(const std::string& zeile) const {
        for (const auto& z : Protokoll())
            if (z.find(zeile) != std::string::npos) return true;
        return false;
    }

    // The working moves ("L5,X..,Y..") as angles in degrees around (cx, cy) millimetres,
    // 0..360.
    Zeilen_t Arbeitsfahrten() const {
        Zeilen_t auswahl;
        for (const auto& a : Neue_Befehle())
            if (a.starts_with("L5,")) auswahl.push_back(a);
        return auswahl;
    }
    static double Winkel(const std::string& anfrage, double cx, double cy) {
        int sx = 0, sy = 0;
        EXPECT_EQ(std::sscanf(anfrage.c_str(), "L5,X%d,Y%d", &sx, &sy), 2) << anfrage;
        double w = std::atan2(sy / 100.0 - cy, sx / 100.0 - cx) * 180.0 / std::numbers::pi;
        return w < 0 ? w + 360.0 : w;
    }
    static double Abstand(const std::string& anfrage, double cx, double cy) {
        int sx = 0, sy = 0;
        std::sscanf(anfrage.c_str(), "L5,X%d,Y%d", &sx, &sy);
        return std::hypot(sx / 100.0 - cx, sy / 100.0 - cy);
    }
};

TEST_F(DomingPrimitiveTest, EilfahrtErstXDannYMitPositionsanzeige) {
    Verbinden();
    DomingMoveToXY(kontext, 10, 2.5);
    EXPECT_THAT(Neue_Anfragen(), ElementsAre("L4,X1000", "L4,Y250", "@Lx", "@Ly"));
    EXPECT_EQ(sim->Position('x'), 1000);
    EXPECT_EQ(sim->Position('y'), 250);
    EXPECT_EQ(anzeige.positionen, 1);

    Zaehlung_neu();
    DomingLineToXY(kontext, 12.34, 5);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("L5,X1234,Y500"));
}

TEST_F(DomingPrimitiveTest, ZielHinterDemArbeitsbereichFaehrtNichtUndMeldetSich) {
    Verbinden();
    parameter.xAbmessung = 5;
    EXPECT_EQ(Code([&] { DomingMoveToXY(kontext, 10, 2.5); }), Fehler_bereits_gemeldet);
    EXPECT_TRUE(Protokoll_enthaelt("DomingMoveToXY(10, 2.5) :: Arbeitsbereich zu klein!"));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "   Arbeitsbereich zu klein!\nBitte Parameter überprüfen!\n");
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");
    EXPECT_EQ(ui.Meldungen()[0].symbol, Symbol::warnung);

    EXPECT_EQ(Code([&] { DomingLineToXY(kontext, 1, 400.125); }), Fehler_bereits_gemeldet);
    EXPECT_TRUE(Protokoll_enthaelt("DomingLineToXY(1, 400.125) :: Arbeitsbereich zu klein!"));
    // A target that is no number is refused too, instead of becoming 0 steps.
    EXPECT_EQ(Code([&] { DomingLineToXY(kontext, std::numeric_limits<double>::quiet_NaN(), 1); }),
              Fehler_bereits_gemeldet);
    EXPECT_TRUE(Neue_Befehle().empty());

    // The edge itself is inside; a negative target is not checked.
    EXPECT_EQ(Code([&] { DomingMoveToXY(kontext, 5, 400); }), 0);
    EXPECT_EQ(Code([&] { DomingLineToXY(kontext, -1, 0); }), 0);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("L4,X500", "L4,Y40000", "L5,X-100,Y0"));
}

TEST_F(DomingPrimitiveTest, VentilFolgtDemDosierkopf) {
    Verbinden();
    DomingAusgangssignal(kontext, 1);
    DomingAusgangssignal(kontext, 0);
    job.Dosierkopf = 1;
    DomingAusgangssignal(kontext, 1);
    DomingAusgangssignal(kontext, 0);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("A1,1", "A1,0", "A1,0", "A1,1"));
    EXPECT_THAT(anzeige.status, ElementsAre("3:A1::ON", "3:A1::OFF", "3:A1::OFF", "3:A1::ON"));
    EXPECT_EQ(anzeige.pumpen, 4);

    // An odd request: head 0 sends "off" and shows it as unknown; head 1 opens.
    anzeige.status.clear();
    Zaehlung_neu();
    job.Dosierkopf = 0;
    DomingAusgangssignal(kontext, 2);
    job.Dosierkopf = 1;
    DomingAusgangssignal(kontext, 2);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("A1,0", "A1,1"));
    EXPECT_THAT(anzeige.status, ElementsAre("3:A1::???", "3:A1::ON"));
}

TEST_F(DomingPrimitiveTest, LaserpointerBetriebSchaltetAusgang2UnabhaengigVomDosierkopf) {
    Verbinden();
    kontext.Laserpointer_Betrieb = true;
    job.Dosierkopf = 1;
    DomingAusgangssignal(kontext, 1);
    DomingAusgangssignal(kontext, 0);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("A2,1", "A2,0"));
    EXPECT_THAT(anzeige.status, ElementsAre("4:A2::ON", "4:A2::OFF"));
}

TEST_F(DomingPrimitiveTest, VentilOhneSerielleVerbindungGibtFehlercode) {
    // No link at all: a clear code and a message instead of a null dereference.
    Steuerungsmodule_freigeben();
    ASSERT_EQ(koraCOM(), nullptr);
    EXPECT_EQ(Code([&] { DomingAusgangssignal(kontext, 1); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(ui.Meldungen().size(), 1u);

    // A link that exists but was never opened (a parallel type) fails with the link's error.
    ui.Leeren();
    Parametersatz().Modul = 1;
    Serielle_Linie_erzeugen();
    ASSERT_NE(koraCOM(), nullptr);
    EXPECT_EQ(Code([&] { DomingAusgangssignal(kontext, 1); }), HANDLE_COM_PORT_ERROR);
    EXPECT_FALSE(ui.Meldungen().empty());
    EXPECT_TRUE(anzeige.status.empty());
}

TEST_F(DomingPrimitiveTest, AbgelehnteVentilanfrageIstEinFehler) {
    Verbinden();
    sim->Watchdog_Ausgang_setzen(1);
    EXPECT_EQ(Code([&] { DomingAusgangssignal(kontext, 1); }), Steuerungsfehler_Basis + 9);
    EXPECT_TRUE(anzeige.status.empty());
}

TEST_F(DomingPrimitiveTest, WartenInSekundenstueckenUndAbgeschnitten) {
    Verbinden();
    Doming_Warten(2.5);
    Doming_Warten(0.0009);
    Doming_Warten(0.0129);
    Doming_Warten(std::numeric_limits<double>::quiet_NaN());
    EXPECT_THAT(Neue_Befehle(), ElementsAre("W1000", "W1000", "W500", "W12"));
    EXPECT_TRUE(Protokoll_enthaelt("Wartezeit_einfuegen(2500)"));
}

TEST_F(DomingPrimitiveTest, PunktErsterDerReiheMitReferenzfrequenz) {
    Verbinden();
    job.PDosierzeit = 0.2;
    job.PAbtropfzeit = 1.5;
    DomingPunkt(kontext, 0, 10, 20);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("#E4,1000", "#R100", "L4,X1000", "L4,Y2000", "A1,1",
                                            "W200", "A1,0", "W1000", "W500"));
    Zaehlung_neu();
    DomingPunkt(kontext, 1, 15, 20);
    EXPECT_THAT(Neue_Befehle(), ElementsAre("#E4,2500", "#R150", "L4,X1500", "L4,Y2000", "A1,1",
                                            "W200", "A1,0", "W1000", "W500"));
}

TEST_F(DomingPrimitiveTest, LinieMitAbtropflinieBeiGeschlossenemVentil) {
    Verbinden();
    job.LDosierzeit1 = 0.1;
    job.LLaenge = 8;
    job.LDosierzeit3 = 0.3;
    job.LAbtropflinie = 2;
    job.LAbtropfzeit = 0.4;
    DomingLinie(kontext, 10, 20);
    EXPECT_THAT(Neue_Befehle(),
                ElementsAre("#E4,3000", "#R200", "L4,X1000", "L4,Y2000", "A1,1", "W100", "#E5,1500",
                            "#R50", "L5,X1800,Y2000", "W300", "A1,0", "L5,X2000,Y2000", "W400"));
}

TEST_F(DomingPrimitiveTest, KreisbogenOhneRadiusTutNichts) {
    Verbinden();
    job.KRadius = 0;
    DomingKreisbogen(kontext, 50, 50);
    job.KRadius = -3;
    DomingKreisbogen(kontext, 50, 50);
    EXPECT_TRUE(Neue_Anfragen().empty());
}

TEST_F(DomingPrimitiveTest, VollkreisAusAchtzehnZwanzigGradSchritten) {
    Verbinden();
    job.KRadius = 10;
    job.KEndwinkel = 180;
    job.KDosierzeit1 = 0.5;
    job.KAbtropfzeit = 0.25;
    DomingKreisbogen(kontext, 50, 60);
    const Zeilen_t a = Neue_Befehle();
    ASSERT_GE(a.size(), 7u);
    EXPECT_THAT(Zeilen_t(a.begin(), a.begin() + 8),
                ElementsAre("#E4,3000", "#R200", "L4,X4000", "L4,Y6000", "A1,1", "W500", "#E5,1500",
                            "#R50"));
    const Zeilen_t fahrten = Arbeitsfahrten();
    ASSERT_EQ(fahrten.size(), 18u);
    // Clockwise from the left point over the top: 160, 140, ... 20, 0, 340, ... 180.
    for (std::size_t i = 0; i < fahrten.size(); ++i) {
        double soll = 180.0 - 20.0 * static_cast<double>(i + 1);
        if (soll < 0) soll += 360.0;
        EXPECT_NEAR(Winkel(fahrten[i], 50, 60), soll, 0.1) << i << " " << fahrten[i];
        EXPECT_NEAR(Abstand(fahrten[i], 50, 60), 10.0, 0.02) << fahrten[i];
    }
    EXPECT_EQ(fahrten.back(), "L5,X4000,Y6000");
    EXPECT_THAT(Zeilen_t(a.end() - 2, a.end()), ElementsAre("A1,0", "W250"));
}

TEST_F(DomingPrimitiveTest, BogenBis183GradEndetMitKurzemSchritt) {
    Verbinden();
    job.KRadius = 20;
    job.KEndwinkel = 183;
    DomingKreisbogen(kontext, 100, 100);
    const Zeilen_t fahrten = Arbeitsfahrten();
    ASSERT_EQ(fahrten.size(), 36u);
    EXPECT_NEAR(Winkel(fahrten[0], 100, 100), 170.0, 0.05);
    EXPECT_NEAR(Winkel(fahrten[34], 100, 100), 190.0, 0.05);
    EXPECT_NEAR(Winkel(fahrten[35], 100, 100), 183.0, 0.05);
    EXPECT_EQ(Neue_Befehle().back(), "A1,0");
}

TEST_F(DomingPrimitiveTest, WinkelschrittNachRadius) {
    Verbinden();
    job.KEndwinkel = 180;
    for (const auto& [radius, anzahl] : std::vector<std::pair<double, std::size_t>>{
             {100, 72}, {75.01, 72}, {75, 36}, {15.01, 36}, {15, 18}, {0.5, 18}}) {
        Zaehlung_neu();
        job.KRadius = radius;
        DomingKreisbogen(kontext, 150, 150);
        EXPECT_EQ(Arbeitsfahrten().size(), anzahl) << radius;
    }
}

TEST_F(DomingPrimitiveTest, EndwinkelAusserhalbDesBereichsBleibtEndlich) {
    Verbinden();
    job.KRadius = 5;
    job.KEndwinkel = std::numeric_limits<int32_t>::min();
    DomingKreisbogen(kontext, 50, 50);
    EXPECT_EQ(Arbeitsfahrten().size(), 18u);
    Zaehlung_neu();
    job.KEndwinkel = 1000;
    DomingKreisbogen(kontext, 50, 50);
    const Zeilen_t fahrten = Arbeitsfahrten();
    // Held at 225: 520, 500, ... 240 in steps of 20, then the last 15 degrees.
    ASSERT_EQ(fahrten.size(), 16u);
    EXPECT_NEAR(Winkel(fahrten.back(), 50, 50), 225.0, 0.2);
}

TEST_F(DomingPrimitiveTest, RechteckUmlaufMitOffenemEnde) {
    Verbinden();
    job.RLaenge = 2;
    job.RBreite = 3;
    job.RMinusLaenge = 0.5;
    job.RDosierzeit1 = 0.1;
    job.RAbtropfzeit = 0.2;
    DomingRechteck(kontext, 10, 20);
    EXPECT_THAT(Neue_Befehle(),
                ElementsAre("#E4,3000", "#R200", "L4,X1000", "L4,Y2000", "A1,1", "W100", "#E5,1500",
                            "#R50", "L5,X1000,Y2300", "L5,X1200,Y2300", "L5,X1200,Y2000",
                            "L5,X1050,Y2000", "A1,0", "W200"));
}

TEST_F(DomingPrimitiveTest, FormBrichtAnDerBereichsgrenzeMitOffenemVentilAb) {
    Verbinden();
    parameter.yAbmessung = 22;
    job.RLaenge = 2;
    job.RBreite = 3;
    EXPECT_EQ(Code([&] { DomingRechteck(kontext, 10, 20); }), Fehler_bereits_gemeldet);
    // The valve stays open for the run's clean-up to close.
    EXPECT_EQ(Neue_Befehle().back(), "#R50");
    EXPECT_THAT(anzeige.status, ElementsAre("3:A1::ON"));
}

class DomingHPGLTest : public DomingPrimitiveTest {
protected:
    void Datei(const std::string& text) {
        job.HFilename = ordner.Datei("kontur.plt");
        Datei_schreiben(job.HFilename, text);
    }
};

TEST_F(DomingHPGLTest, KonturWirdAmTeilAbgespielt) {
    Verbinden();
    Datei("IN;SP1;PU0,0;PD400,0,400,400;PU;");
    job.HDosierzeit1 = 0.3;
    job.HDosierzeit3 = 0.1;
    job.HAbtropfzeit = 0.2;
    DomingHPGL(kontext, 10, 20);
    EXPECT_THAT(Neue_Befehle(),
                ElementsAre("#E4,3000", "#R200", "L4,X1000", "L4,Y2000", "#E5,1500", "#R50",
                            // MOVETO 0,0 of the contour, then the pen goes down
                            "L4,X1000", "L4,Y2000", "A1,1", "W300", "L5,X2000,Y2000",
                            "L5,X2000,Y3000", "W100", "A1,0", "W200",
                            // the final close, without a wait
                            "A1,0"));
    ASSERT_EQ(anzeige.vorschau.size(), 3u);
    EXPECT_FALSE(anzeige.vorschau[0].linie);
    EXPECT_TRUE(anzeige.vorschau[2].linie);
    EXPECT_DOUBLE_EQ(anzeige.vorschau[2].x, 10.0);
    EXPECT_DOUBLE_EQ(anzeige.vorschau[2].y, 10.0);
    EXPECT_EQ(anzeige.neu_gezeichnet, 1);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingHPGLTest, BogenImPlotSchaltetVentilAufUndZu) {
    Verbinden();
    // The arc dispenses whatever the pen state before it and leaves the pen up.
    Datei("IN;PU400,400;CI40;");
    DomingHPGL(kontext, 0, 0);
    const Zeilen_t a = Neue_Befehle();
    EXPECT_EQ(std::count(a.begin(), a.end(), "A1,1"), 1);
    EXPECT_EQ(std::count(a.begin(), a.end(), "A1,0"), 2);
    EXPECT_EQ(Arbeitsfahrten().size(), 36u);
}

TEST_F(DomingHPGLTest, UnlesbareDateiHaeltDenLaufAnStattDieAlteKonturZuWiederholen) {
    Verbinden();
    Datei("IN;PU0,0;PD400,0;PU;");
    DomingHPGL(kontext, 10, 20);
    Zaehlung_neu();

    std::remove(job.HFilename.c_str());
    EXPECT_EQ(Code([&] { DomingHPGL(kontext, 30, 20); }), Fehler_bereits_gemeldet);
    EXPECT_TRUE(Neue_Anfragen().empty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_NE(ui.Meldungen()[0].text.find(job.HFilename), std::string::npos);

    // A file that no longer parses stops the same way (after the reader's own messages).
    Datei("PU0,0;");
    EXPECT_EQ(Code([&] { DomingHPGL(kontext, 30, 20); }), Fehler_bereits_gemeldet);
    job.HFilename.clear();
    EXPECT_EQ(Code([&] { DomingHPGL(kontext, 30, 20); }), Fehler_bereits_gemeldet);
    EXPECT_TRUE(Neue_Anfragen().empty());
}

} // namespace
} // namespace orvexa::test
