// The layout of a whole Doming job against hand-computed layouts, against the check before a
// run, and against what a run on the simulated controller visits and where it continues.

#include "dispensing/auftragsplan.h"

#include "core/fehler.h"
#include "core/steuerung.h"
#include "dispensing/domingablauf.h"
#include "domingprimitive_umgebung.h"

#include <gmock/gmock.h>

#include <limits>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;

struct Erwartet {
    DomingZaehler z;
    double x, y;
    bool ausserhalb;
};

DomingJob Auftrag(const char* typ, DomingOrt start, DomingOrt abstand, int32_t xAnzahl,
                  int32_t yAnzahl, DomingOrt bogenabstand, int32_t BxAnzahl, int32_t ByAnzahl) {
    DomingJob j;
    j.Type = typ;
    j.xStartpunkt = start.x, j.yStartpunkt = start.y;
    j.xAbstand = abstand.x, j.yAbstand = abstand.y;
    j.xAnzahl = xAnzahl, j.yAnzahl = yAnzahl;
    j.BxAbstand = bogenabstand.x, j.ByAbstand = bogenabstand.y;
    j.BxAnzahl = BxAnzahl, j.ByAnzahl = ByAnzahl;
    j.LLaenge = 8, j.LAbtropflinie = 2, j.KRadius = 2, j.RLaenge = 2, j.RBreite = 3;
    return j;
}

class AuftragsplanTest : public DomingSimulation {};

TEST_F(AuftragsplanTest, PartsInVisitOrderAndOutsideByTheRuleOfTheCheck) {
    // Three parts of pitch 5 and a sheet gap of 20: the second sheet starts 2 × 5 + 20 further.
    const DomingJob a = Auftrag("Punkt", {10, 5}, {5, 4}, 3, 2, {20, 6}, 2, 1);
    const std::vector<Erwartet> a_teile{
        {{0, 0, 0, 0}, 10, 5, false}, {{0, 0, 1, 0}, 15, 5, false}, {{0, 0, 2, 0}, 20, 5, false},
        {{0, 0, 0, 1}, 10, 9, false}, {{0, 0, 1, 1}, 15, 9, false}, {{0, 0, 2, 1}, 20, 9, false},
        {{1, 0, 0, 0}, 40, 5, false}, {{1, 0, 1, 0}, 45, 5, false}, {{1, 0, 2, 0}, 50, 5, true},
        {{1, 0, 0, 1}, 40, 9, false}, {{1, 0, 1, 1}, 45, 9, false}, {{1, 0, 2, 1}, 50, 9, true}};
    auto innen = a_teile;
    for (Erwartet& e : innen)
        e.ausserhalb = false;
    // Two sheets in y, 1 × 3 + 10 apart; the rectangle reaches 2 right and 3 up.
    const DomingJob b = Auftrag("Rechteck", {0, 0}, {7, 3}, 2, 2, {1, 10}, 1, 2);
    const std::vector<Erwartet> b_teile{{{0, 0, 0, 0}, 0, 0, false},  {{0, 0, 1, 0}, 7, 0, false},
                                        {{0, 0, 0, 1}, 0, 3, false},  {{0, 0, 1, 1}, 7, 3, false},
                                        {{0, 1, 0, 0}, 0, 13, false}, {{0, 1, 1, 0}, 7, 13, false},
                                        {{0, 1, 0, 1}, 0, 16, true},  {{0, 1, 1, 1}, 7, 16, true}};
    auto b_schmal = b_teile;
    for (Erwartet& e : b_schmal)
        e.ausserhalb = e.x == 7;
    // One part per sheet: the sheets lie 0 × 1 + 15 and 12 apart; the line reaches 8 + 2.
    const DomingJob c = Auftrag("Linie", {3, 4}, {1, 1}, 1, 1, {15, 12}, 2, 2);
    const std::vector<Erwartet> c_teile{{{0, 0, 0, 0}, 3, 4, false},
                                        {{1, 0, 0, 0}, 18, 4, true},
                                        {{0, 1, 0, 0}, 3, 16, false},
                                        {{1, 1, 0, 0}, 18, 16, true}};
    // The check counts the radius up and right only, as it does for the whole job.
    const DomingJob d = Auftrag("Kreis", {10, 10}, {1, 1}, 1, 1, {1, 1}, 1, 1);

    struct Fall {
        const char* name;
        DomingJob job;
        DomingParameter bereich;
        std::vector<Erwartet> teile;
        bool reicht;
    };
    const std::vector<Fall> faelle{
        {"a zu schmal", a, {"deutsch", 49.99, 400}, a_teile, false},
        {"a genau", a, {"deutsch", 50, 9}, innen, true},
        {"a zu flach", a, {"deutsch", 50, 8.99}, {}, false},
        {"b", b, {"deutsch", 9, 18.99}, b_teile, false},
        {"b schmal", b, {"deutsch", 8.99, 19}, b_schmal, false},
        {"c", c, {"deutsch", 27.5, 16}, c_teile, false},
        {"d", d, {"deutsch", 12, 11.99}, {{{0, 0, 0, 0}, 10, 10, true}}, false},
        {"d genau", d, {"deutsch", 12, 12}, {{{0, 0, 0, 0}, 10, 10, false}}, true},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        const Auftragsplan plan = Auftragsplan_berechnen(f.job, f.bereich, {});
        EXPECT_EQ(plan.xAbmessung, f.bereich.xAbmessung);
        EXPECT_EQ(plan.yAbmessung, f.bereich.yAbmessung);
        EXPECT_EQ(plan.Arbeitsbereich_reicht, f.reicht);
        bool geprueft = true;
        try {
            Arbeitsbereich_pruefen(f.job, f.bereich, 0, 0);
        } catch (const Steuerungsfehler&) {
            geprueft = false;
        }
        EXPECT_EQ(geprueft, plan.Arbeitsbereich_reicht);
        EXPECT_TRUE(plan.vollstaendig());
        bool einer_ausserhalb = false;
        for (const Auftragsteil& t : plan.Teile)
            einer_ausserhalb = einer_ausserhalb || t.ausserhalb;
        EXPECT_EQ(einer_ausserhalb, !plan.Arbeitsbereich_reicht);
        if (f.job.Type == "Punkt") {
            EXPECT_THAT(plan.Boegen, ElementsAre(Auftragsbogen{0, 0, {10, 5, 20, 9}},
                                                 Auftragsbogen{1, 0, {40, 5, 50, 9}}));
        }
        if (f.job.Type == "Rechteck") {
            EXPECT_THAT(plan.Boegen, ElementsAre(Auftragsbogen{0, 0, {0, 0, 9, 6}},
                                                 Auftragsbogen{0, 1, {0, 13, 9, 19}}));
        }
        if (f.teile.empty()) continue;
        ASSERT_EQ(plan.Teile.size(), f.teile.size());
        for (std::size_t i = 0; i < f.teile.size(); ++i) {
            SCOPED_TRACE(i);
            const Auftragsteil& t = plan.Teile[i];
            EXPECT_EQ(t.Nummer, static_cast<int64_t>(i) + 1);
            EXPECT_EQ(t.Zaehler, f.teile[i].z);
            EXPECT_DOUBLE_EQ(t.Ort.x, f.teile[i].x);
            EXPECT_DOUBLE_EQ(t.Ort.y, f.teile[i].y);
            EXPECT_EQ(t.ausserhalb, f.teile[i].ausserhalb);
            EXPECT_EQ(plan.Nummer(t.Zaehler), t.Nummer);
        }
    }
}

TEST_F(AuftragsplanTest, ShapeOutlineAroundEachPartAndTheWholeFrame) {
    // One part at (10, 1) in an area of 12 × 12; the contour spans 1..7 by -2..9.
    const HPGL_Ausdehnung kontur{1, -2, 7, 9};
    struct Fall {
        const char* typ;
        Auftragsrahmen form;
        DomingOrt reichweite;
        Auftragsrahmen gesamt;
    };
    for (const Fall& f : {
             Fall{"Punkt", {0, 0, 0, 0}, {0, 0}, {0, 0, 12, 12}},
             Fall{"Linie", {0, 0, 10, 0}, {10, 0}, {0, 0, 20, 12}},
             Fall{"Kreis", {-2, -2, 2, 2}, {2, 2}, {0, -1, 12, 12}},
             Fall{"Rechteck", {0, 0, 2, 3}, {2, 3}, {0, 0, 12, 12}},
             Fall{"HPGL", {1, -2, 7, 9}, {7, 9}, {0, -1, 17, 12}},
             Fall{"kreis", {0, 0, 0, 0}, {0, 0}, {0, 0, 12, 12}},
         }) {
        SCOPED_TRACE(f.typ);
        const DomingJob job = Auftrag(f.typ, {10, 1}, {1, 1}, 1, 1, {1, 1}, 1, 1);
        const Auftragsplan plan = Auftragsplan_berechnen(job, {"deutsch", 12, 12}, kontur);
        EXPECT_EQ(plan.Form, f.typ);
        EXPECT_EQ(plan.Formrahmen, f.form);
        EXPECT_EQ(plan.Formreichweite, f.reichweite);
        EXPECT_EQ(plan.Gesamtrahmen, f.gesamt);
        EXPECT_EQ(Doming_Formreichweite(job, kontur.xMax, kontur.yMax), f.reichweite);
    }

    // A contour of no finite size is outside; the frame stays finite.
    DomingJob job = Auftrag("HPGL", {10, 1}, {1, 1}, 1, 1, {1, 1}, 1, 1);
    const double unendlich = std::numeric_limits<double>::infinity();
    Auftragsplan plan = Auftragsplan_berechnen(job, {"deutsch", 12, 12}, {0, 0, unendlich, 1});
    EXPECT_FALSE(plan.Arbeitsbereich_reicht);
    ASSERT_EQ(plan.Teile.size(), 1u);
    EXPECT_TRUE(plan.Teile[0].ausserhalb);
    EXPECT_EQ(plan.Gesamtrahmen, (Auftragsrahmen{0, 0, 12, 12}));
    // So is a working area that is no number.
    job.Type = "Punkt";
    plan = Auftragsplan_berechnen(job, {"deutsch", std::nan(""), 12}, {});
    EXPECT_TRUE(plan.Teile[0].ausserhalb);
    EXPECT_EQ(plan.Gesamtrahmen, (Auftragsrahmen{0, 0, 10, 12}));
}

TEST_F(AuftragsplanTest, VisitNumbersAndWhereAContinuedRunStarts) {
    const Auftragsplan plan = Auftragsplan_berechnen(
        Auftrag("Punkt", {10, 5}, {5, 4}, 3, 2, {20, 6}, 2, 1), parameter, {});
    struct Fall {
        DomingZaehler z;
        int64_t nummer; // 0: no such part
        int64_t weiter; // where "&Fortsetzen" starts with these saved counters
    };
    for (const Fall& f : {
             Fall{{0, 0, 0, 0}, 1, 0}, // a completed run, or one stopped at its first part
             Fall{{0, 0, 1, 0}, 2, 2},
             Fall{{0, 0, 0, 1}, 4, 4},
             Fall{{1, 0, 1, 0}, 8, 8},
             Fall{{1, 0, 2, 1}, 12, 12},
             // Counters beyond a job changed since: the rest of that row or sheet is skipped.
             Fall{{0, 0, 5, 0}, 0, 4},
             Fall{{0, 0, 5, 1}, 0, 7},
             Fall{{1, 0, 0, 7}, 0, 0},
             Fall{{2, 0, 0, 0}, 0, 0},
             Fall{{0, 3, 0, 0}, 0, 0},
             Fall{{-1, 0, 0, 0}, 0, 0},
         }) {
        SCOPED_TRACE(
            testing::PrintToString(std::vector<int32_t>{f.z.ixBogen, f.z.iyBogen, f.z.ix, f.z.iy}));
        EXPECT_EQ(plan.Nummer(f.z), f.nummer);
        EXPECT_EQ(plan.Fortsetznummer(f.z), f.weiter);
    }
    ASSERT_NE(plan.Teil(8), nullptr);
    EXPECT_EQ(plan.Teil(8)->Zaehler, (DomingZaehler{1, 0, 1, 0}));
    EXPECT_EQ(plan.Teil(0), nullptr);
    EXPECT_EQ(plan.Teil(13), nullptr);
}

TEST_F(AuftragsplanTest, TheJobIsAcceptedFirstAndHugeJobsAreCountedNotListed) {
    DomingJob job = Auftrag("Punkt", {1, 1}, {-2, 1}, 0, -3, {5, 1}, 2, 1);
    Auftragsplan plan = Auftragsplan_berechnen(job, parameter, {});
    EXPECT_EQ(plan.Job.xAnzahl, 1);
    EXPECT_EQ(plan.Job.yAnzahl, 1);
    EXPECT_EQ(plan.Job.xAbstand, 0);
    ASSERT_EQ(plan.Teile.size(), 2u);
    EXPECT_EQ(plan.Teile[1].Zaehler, (DomingZaehler{1, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(plan.Teile[1].Ort.x, 6);

    job = Auftrag("Punkt", {0, 0}, {1, 1}, 1000, 1000, {1, 1}, 3, 1);
    plan = Auftragsplan_berechnen(job, parameter, {}, 10);
    EXPECT_EQ(plan.Teile.size(), 10u);
    EXPECT_EQ(plan.Teile_gesamt, 3'000'000);
    EXPECT_FALSE(plan.vollstaendig());
    EXPECT_EQ(plan.Teile.back().Zaehler, (DomingZaehler{0, 0, 9, 0}));
    EXPECT_FALSE(plan.Teile.back().ausserhalb);
    // The last part, 999 + 2 × (999 + 1) to the right, is what the check looks at.
    EXPECT_FALSE(plan.Arbeitsbereich_reicht);
    EXPECT_EQ(plan.Nummer({2, 0, 999, 999}), 3'000'000);
    EXPECT_EQ(plan.Fortsetznummer({2, 0, 999, 999}), 3'000'000);
    EXPECT_EQ(plan.Teil(11), nullptr);

    const int32_t viel = std::numeric_limits<int32_t>::max();
    job = Auftrag("Punkt", {0, 0}, {1, 1}, viel, viel, {1, 1}, viel, viel);
    plan = Auftragsplan_berechnen(job, parameter, {});
    EXPECT_EQ(plan.Teile.size(), Auftragsplan_Hoechstzahl);
    EXPECT_EQ(plan.Teile_gesamt, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(plan.Nummer({viel - 1, viel - 1, viel - 1, viel - 1}),
              std::numeric_limits<int64_t>::max());

    plan = Auftragsplan_berechnen(job, parameter, {}, 0);
    EXPECT_TRUE(plan.Teile.empty());
}

// A run visits the plan's parts at the plan's positions, and a stopped run continues at the
// plan's continue point.
TEST_F(AuftragsplanTest, RunOnTheSimulatedMachineFollowsThePlan) {
    Verbinden();
    // The fixture's speeds and times of 0 stay.
    job.Type = "Punkt";
    job.xStartpunkt = 10, job.yStartpunkt = 20, job.xAbstand = 5, job.yAbstand = 6;
    job.xAnzahl = 2, job.yAnzahl = 2, job.BxAbstand = 3, job.ByAbstand = 4;
    job.BxAnzahl = 2, job.ByAnzahl = 2;
    const Auftragsplan plan = Auftragsplan_berechnen(job, parameter, {});
    ASSERT_EQ(plan.Teile.size(), 16u);

    DomingAblauf ablauf(kontext);
    ASSERT_EQ(ablauf.StartBitBtn_Thread({}).Fehlercode, 0);
    ASSERT_EQ(anzeige.teile.size(), plan.Teile.size());
    for (std::size_t i = 0; i < plan.Teile.size(); ++i) {
        SCOPED_TRACE(i);
        const DomingTeil& gefahren = anzeige.teile[i];
        const Auftragsteil& t = plan.Teile[i];
        EXPECT_EQ((DomingZaehler{gefahren.ixBogen, gefahren.iyBogen, gefahren.ix, gefahren.iy}),
                  t.Zaehler);
        EXPECT_EQ(gefahren.x, t.Ort.x);
        EXPECT_EQ(gefahren.y, t.Ort.y);
    }

    // Stopped inside part 11 (the stop lands in that part's first move).
    const DomingZaehler halt = plan.Teil(11)->Zaehler;
    anzeige.teile.clear();
    anzeige.bei_teil = [&](const DomingTeil& t) {
        if (DomingZaehler{t.ixBogen, t.iyBogen, t.ix, t.iy} == halt) Steuerung().Abbruch = true;
    };
    EXPECT_EQ(ablauf.StartBitBtn_Thread({}).Fehlercode, THROW_ABORT);
    EXPECT_EQ(plan.Fortsetznummer(ablauf.Merke()), 11);

    anzeige.bei_teil = nullptr;
    anzeige.teile.clear();
    DomingLaufeingaben weiter;
    weiter.Neustart = false;
    EXPECT_EQ(ablauf.StartBitBtn_Thread(weiter).Fehlercode, 0);
    ASSERT_EQ(anzeige.teile.size(), 6u);
    EXPECT_EQ((DomingZaehler{anzeige.teile[0].ixBogen, anzeige.teile[0].iyBogen,
                             anzeige.teile[0].ix, anzeige.teile[0].iy}),
              halt);
    EXPECT_EQ(plan.Fortsetznummer(ablauf.Merke()), 0);
}

} // namespace
} // namespace orvexa::test
