// The Doming window's worker against the simulated controller: one command at a time, a stop
// reaches a command whatever moment it is given in, and the results of the last command.

#include "domingprimitive_umgebung.h"

#include "core/fehler.h"
#include "dispensing/domingablauf.h"
#include "dispensing/domingthread.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace orvexa::test {
namespace {

class DomingThreadTest : public DomingSimulation {
protected:
    void SetUp() override {
        DomingSimulation::SetUp();
        job.xAbstand = job.yAbstand = job.BxAbstand = job.ByAbstand = 5;
        job.xAnzahl = 2;
        arbeiter.Befehl_beendet = [this](int befehl) { beendet.push_back(befehl); };
        arbeiter.Starten();
    }
    void TearDown() override {
        arbeiter.Beenden(false);
        DomingSimulation::TearDown();
    }

    // Commands end by themselves here; a stuck one fails the test after a few seconds.
    bool Abwarten() {
        for (int i = 0; i < 500 && arbeiter.Beschaeftigt(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !arbeiter.Beschaeftigt();
    }
    long Stopps() const {
        const auto a = Neue_Anfragen();
        return std::count(a.begin(), a.end(), "@B");
    }

    DomingAblauf ablauf{kontext};
    TDomingThread arbeiter{ablauf};
    std::vector<int> beendet; // written by the worker, read once it is idle
};

TEST_F(DomingThreadTest, LaufMeldetSeinErgebnisUndSeinEnde) {
    Verbinden();
    ASSERT_TRUE(arbeiter.Lauf({}));
    ASSERT_TRUE(Abwarten());
    const DomingLaufergebnis e = arbeiter.Laufergebnis();
    EXPECT_EQ(e.Fehlercode, 0);
    EXPECT_EQ(e.Teile, 2);
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
    EXPECT_THAT(beendet, ::testing::ElementsAre(TDomingThread::Befehl_Lauf));
    ASSERT_TRUE(arbeiter.RefBitBtn());
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(beendet, ::testing::ElementsAre(3, 1));
    // Idle, "&Abbrechen" has nothing to stop.
    Zaehlung_neu();
    arbeiter.Abbrechen();
    EXPECT_EQ(Stopps(), 0);
}

TEST_F(DomingThreadTest, StoppGleichNachDerUebergabeErreichtDieFahrt) {
    // At real speed the way to x = 500 mm takes most of a minute. The stop is given at once:
    // whether the command has begun by then or not, the move must end early.
    Verbinden(1.0);
    DomingJogeingaben e;
    e.Richtung = DomingRichtung::xPlus;
    e.Geschwindigkeit = 1000;
    Zaehlung_neu();
    ASSERT_TRUE(arbeiter.Fahren(e));
    // A second press while the first runs is dropped, whatever it asks for.
    EXPECT_FALSE(arbeiter.Lauf({}));
    EXPECT_FALSE(arbeiter.RefBitBtn());
    EXPECT_FALSE(arbeiter.Fahren(e));
    arbeiter.Abbrechen();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_EQ(Stopps(), 1);
    EXPECT_LT(sim->Position('x'), 50000);
    EXPECT_EQ(beendet.size(), 1u);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingThreadTest, StoppWaehrendDerFahrt) {
    Verbinden(1.0);
    DomingJogeingaben e;
    e.Richtung = DomingRichtung::yPlus;
    e.Geschwindigkeit = 1000;
    Zaehlung_neu();
    ASSERT_TRUE(arbeiter.Fahren(e));
    ASSERT_TRUE(sim->Warten_auf_Anfragen(basis + 1, 5000));
    for (std::size_t n = basis + 1; sim->Warten_auf_Anfragen(n, 5000); ++n)
        if (sim->Anfragen()[n - 1].starts_with("L3")) break;
    arbeiter.Abbrechen();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_LT(sim->Position('y'), 40000);
    // The next command is not ended by that stop.
    sim->Zeitskala_setzen(0);
    ASSERT_TRUE(arbeiter.RefBitBtn());
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
}

} // namespace
} // namespace orvexa::test
