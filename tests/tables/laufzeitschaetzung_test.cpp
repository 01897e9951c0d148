// The run-time estimate of a table run against times worked out by hand: rows, repeats,
// waits, speeds carried from row to row and from cycle to cycle, reference runs.

#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/laufzeitschaetzung.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace orvexa::test {
namespace {

using Zellen = std::vector<std::pair<int, std::string>>; // column, text

class Laufzeitschaetzung_Test : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.Modul = 5;
        // Start and work speed alike: every move takes steps / 1000 s.
        p.Startfreq = p.Arbeitsfreq = p.RefFreq = 1000;
        p.Rampenlaenge = 200;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        p.xRefOffset = 0.25; // 100 steps
        p.xRefNr = 1;
        tabelle.Schritteingabe = true;
    }

    void Zeilen(const std::vector<Zellen>& zeilen) {
        tabelle.TabelleLoeschen();
        tabelle.ZeileHinzufuegen(static_cast<int>(zeilen.size()));
        for (int r = 1; r <= static_cast<int>(zeilen.size()); ++r)
            for (const auto& [spalte, text] : zeilen[static_cast<std::size_t>(r - 1)])
                ASSERT_TRUE(tabelle.Zelle_setzen(r, spalte, text)) << r << " " << spalte;
    }

    Positionstabelle tabelle;
};

// Columns: 1 E1, 6..9 x y z u, 10 wait, 11 start, 12 work speed, 13 ramp, 14 WH.
TEST_F(Laufzeitschaetzung_Test, EineZeileJeProfil) {
    // Start 400, work 2000, ramp 100 ms: 120 steps per ramp at 16000 steps/s².
    const Zellen rampe{{11, "400"}, {12, "2000"}, {13, "100"}};
    auto mit = [](Zellen z, Zellen mehr) {
        z.insert(z.end(), mehr.begin(), mehr.end());
        return z;
    };
    struct Fall {
        const char* name;
        Zellen zellen;
        bool interpolieren;
        double sekunden;
    } faelle[] = {
        {"gleichfoermig", {{6, "2000"}}, false, 2.0},
        {"rueckwaerts", {{6, "-2000"}, {7, "-500"}}, false, 2.0},
        {"kurz, Dreieck", mit(rampe, {{6, "100"}}), false,
         2 * (std::sqrt(400.0 * 400 + 16000 * 100) - 400) / 16000},
        {"lang, Trapez", mit(rampe, {{6, "10000"}}), false, 0.2 + (10000 - 240) / 2000.0},
        {"Wartezeit", {{10, "2500"}}, false, 2.5},
        {"Wiederholungen", {{6, "1000"}, {14, "2"}}, false, 3.0},
        {"negatives WH", {{6, "1000"}, {14, "-3"}}, false, 1.0},
        {"z nach xy", {{6, "1000"}, {8, "500"}}, false, 1.5},
        {"z interpoliert", {{6, "1000"}, {8, "500"}}, true, 1.0},
        {"u eigens", {{6, "1000"}, {9, "300"}}, true, 1.3},
        {"nur Striche", {}, false, 0.0},
        {"Fahrt und Warten, wiederholt", {{7, "250"}, {10, "250"}, {14, "1"}}, false, 1.0},
    };
    for (const Fall& f : faelle) {
        ASSERT_NO_FATAL_FAILURE(Zeilen({f.zellen}));
        Vektoreingaben e;
        e.zInterpolieren = f.interpolieren;
        const Laufschaetzung s = Lauf_schaetzen(tabelle, e);
        EXPECT_TRUE(s.Schaetzbar);
        EXPECT_NEAR(s.Gesamt_s(), f.sekunden, 1e-9) << f.name;
        EXPECT_NEAR(s.Rest_s(1, 1), f.sekunden, 1e-9) << f.name;
    }
}

TEST_F(Laufzeitschaetzung_Test, MillimeterWerdenInSchritteUmgerechnet) {
    tabelle.Schritteingabe = false;
    ASSERT_NO_FATAL_FAILURE(Zeilen({{{6, "2.5"}}}));
    EXPECT_NEAR(Lauf_schaetzen(tabelle, {}).Gesamt_s(), 1.0, 1e-9);
}

TEST_F(Laufzeitschaetzung_Test, GeschwindigkeitenGeltenWeiterBisInDenNaechstenZyklus) {
    // Row 2 slows to 500 steps/s; row 1 of the later cycles runs with it.
    ASSERT_NO_FATAL_FAILURE(
        Zeilen({{{6, "1000"}}, {{11, "500"}, {12, "500"}, {7, "500"}, {14, "1"}}}));
    Vektoreingaben e;
    e.Zyklen = 3;
    const Laufschaetzung s = Lauf_schaetzen(tabelle, e);
    EXPECT_NEAR(s.Erster_Zyklus_s(), 1.0 + 2 * 1.0, 1e-9);
    EXPECT_NEAR(s.Folgezyklus_s(), 2.0 + 2 * 1.0, 1e-9);
    EXPECT_NEAR(s.Gesamt_s(), 3.0 + 4.0 + 4.0, 1e-9);
    struct Stand {
        int zyklus, zeile, erledigt;
        double rest;
    } staende[] = {
        {1, 1, 0, 11.0}, {1, 2, 0, 10.0}, {1, 2, 1, 9.0}, {2, 1, 0, 8.0},
        {2, 2, 0, 6.0},  {3, 2, 1, 1.0},  {3, 3, 0, 0.0},
    };
    for (const Stand& st : staende)
        EXPECT_NEAR(s.Rest_s(st.zyklus, st.zeile, st.erledigt), st.rest, 1e-9)
            << st.zyklus << "/" << st.zeile << "/" << st.erledigt;

    // Endless: the time left is that of the current cycle.
    e.Endlos = true;
    const Laufschaetzung endlos = Lauf_schaetzen(tabelle, e);
    EXPECT_NEAR(endlos.Zyklus_s(), 4.0, 1e-9);
    EXPECT_NEAR(endlos.Rest_s(5, 2), 2.0, 1e-9);
    EXPECT_NEAR(endlos.Gesamt_s(), 3.0, 1e-9);
}

TEST_F(Laufzeitschaetzung_Test, ReferenzfahrtenVorDemErstenUndVorJedemZyklus) {
    ASSERT_NO_FATAL_FAILURE(Zeilen({{{6, "1000"}}}));
    Vektoreingaben e;
    e.Zyklen = 2;
    e.xReferenz = true;
    e.RefModus = 1;
    // From position 0: 100 steps to the switch, 100 back out to the offset.
    Laufschaetzung s = Lauf_schaetzen(tabelle, e);
    EXPECT_NEAR(s.Vorreferenz_s, 0.2, 1e-9);
    EXPECT_NEAR(s.Gesamt_s(), 0.2 + 2.0, 1e-9);
    e.RefModus = 2;
    // Before cycle 2 the axis stands 1000 steps out: 1100 to the switch, 100 back.
    s = Lauf_schaetzen(tabelle, e);
    EXPECT_NEAR(s.Zwischenreferenz_s, 1.2, 1e-9);
    EXPECT_NEAR(s.Gesamt_s(), 0.2 + 1.0 + 1.2 + 1.0, 1e-9);
    EXPECT_NEAR(s.Rest_s(1, 1), 1.0 + 1.2 + 1.0, 1e-9);

    // On a card every axis also pauses three times 250 ms and backs one step off the switch.
    Parametersatz().Modul = 4;
    s = Lauf_schaetzen(tabelle, e);
    EXPECT_NEAR(s.Vorreferenz_s, 0.101 + 0.001 + 0.1 + 0.75, 1e-6);
}

TEST_F(Laufzeitschaetzung_Test, WinkelmodusUndEingangswarten) {
    ASSERT_NO_FATAL_FAILURE(Zeilen({{{1, "ON"}, {6, "1000"}}}));
    Vektoreingaben e;
    Laufschaetzung s = Lauf_schaetzen(tabelle, e);
    EXPECT_TRUE(s.Eingangswarten);
    EXPECT_NEAR(s.Gesamt_s(), 1.0, 1e-9);
    e.ModusWT = true;
    s = Lauf_schaetzen(tabelle, e);
    EXPECT_FALSE(s.Schaetzbar);
    EXPECT_EQ(s.Gesamt_s(), 0.0);
}

TEST(Dauertext, StundenMinutenSekunden) {
    EXPECT_EQ(Dauertext(192), "00:03:12");
    EXPECT_EQ(Dauertext(191.6), "00:03:12");
    EXPECT_EQ(Dauertext(360001), "100:00:01");
    EXPECT_EQ(Dauertext(-5), "00:00:00");
    EXPECT_EQ(Dauertext(NAN), "00:00:00");
    EXPECT_EQ(Dauertext_ms(3723.4567), "1:02:03.457");
    EXPECT_EQ(Dauertext_ms(0.0004), "0:00:00.000");
}

} // namespace
} // namespace orvexa::test
