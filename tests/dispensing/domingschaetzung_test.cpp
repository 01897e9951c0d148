// The time estimate of a Doming job against hand-computed runs: moves at one speed take
// steps / speed, so each case adds distances and dwell times.

#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingschaetzung.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvexa::test {
namespace {

class Domingschaetzung_Test : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.Modul = 5;
        p.xUebersetz = p.yUebersetz = 1.0;
        p.xMotStep = p.yMotStep = 400; // 400 steps per mm
        p.RefFreq = 1000;
        p.Rampenlaenge = 300;
        p.xRefAktiv = p.yRefAktiv = 1;
        p.xRefNr = 1;
        p.yRefNr = 2;
        // Every speed 1000 steps/s: a millimetre takes 0.4 s.
        job.Startfreq = job.Eilfreq = job.PEilfreq = 1000;
        job.RArbeitsfreq = job.HArbeitsfreq = 1000;
    }

    DomingJob job;
};

TEST_F(Domingschaetzung_Test, PunkteVomStartpunktMitReferenzfahrten) {
    job.Type = "Punkt";
    job.xStartpunkt = 10;
    job.xAbstand = 5;
    job.xAnzahl = 2;
    job.PDosierzeit = 1.0;
    job.PAbtropfzeit = 0.5;
    const DomingSchaetzung s = Doming_schaetzen(job, Parametersatz(), 5, {});
    // To the start point: 10 mm of x. Part 1 is there; part 2 5 mm on; both dwell 1.5 s.
    EXPECT_NEAR(s.Vorlauf_s, 4.0, 1e-9);
    ASSERT_EQ(s.Teil_s.size(), 2u);
    EXPECT_NEAR(s.Teil_s[0], 1.5, 1e-9);
    EXPECT_NEAR(s.Teil_s[1], 2.0 + 1.5, 1e-9);
    // The closing reference run brings x back 15 mm.
    EXPECT_NEAR(s.Nachlauf_s, 6.0, 1e-9);
    EXPECT_NEAR(s.Gesamt_s(), 15.0, 1e-9);
    EXPECT_NEAR(s.Rest_s(Doming_Teilnummer(job, {0, 0, 1, 0})), 9.5, 1e-9);
    EXPECT_NEAR(s.Rest_s(2), 6.0, 1e-9);
    EXPECT_EQ(s.Rest_s(3), 0.0);

    // "/KORA": neither reference run.
    DomingSchaetzeingaben kora;
    kora.ModusKora = true;
    EXPECT_NEAR(Doming_schaetzen(job, Parametersatz(), 5, kora).Gesamt_s(), 9.0, 1e-9);
}

TEST_F(Domingschaetzung_Test, RechteckUndKonturVonHierUndZurueck) {
    DomingSchaetzeingaben e;
    e.Startseite = DomingStartseite::Manuelles_Fahren;
    job.Type = "Rechteck";
    job.RLaenge = 2;
    job.RBreite = 3;
    job.RMinusLaenge = 0.5;
    job.RDosierzeit1 = 1.0;
    job.RDosierzeit3 = 0;
    job.RAbtropfzeit = 1.0;
    // Up 3 mm, across 2, down 3, back 1.5; then 0.5 mm back to where it started.
    DomingSchaetzung s = Doming_schaetzen(job, Parametersatz(), 5, e);
    EXPECT_NEAR(s.Gesamt_s(), 1.0 + 0.4 * 9.5 + 1.0 + 0.2, 1e-9);

    job.Type = "HPGL";
    job.HDosierzeit1 = 1.0;
    job.HDosierzeit3 = 0.25;
    job.HAbtropfzeit = 1.0;
    const std::vector<HPGL_Zeile> kontur{{HPGL_Schritt::MOVETO, 1, 0, 0},
                                         {HPGL_Schritt::DOWN, 0, 0, 0},
                                         {HPGL_Schritt::LINTETO, 1, 2, 0},
                                         {HPGL_Schritt::UP, 0, 0, 0}};
    e.Kontur = kontur;
    e.xStart = 5;
    s = Doming_schaetzen(job, Parametersatz(), 5, e);
    // 1 mm over, dwell, 2 mm line, dwell and drip, then 1 mm x and 2 mm y back.
    EXPECT_NEAR(s.Gesamt_s(), 0.4 + 1.0 + 0.8 + 1.25 + 0.4 + 0.8, 1e-9);
}

} // namespace
} // namespace orvexa::test
