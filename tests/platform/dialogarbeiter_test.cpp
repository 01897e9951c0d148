#include "platform/dialogarbeiter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

using namespace orvexa;

namespace {

// A worker whose command 2 blocks until the test releases it, so "busy" is a state the test
// controls instead of a timing guess.
class Probearbeiter : public Dialogarbeiter {
public:
    ~Probearbeiter() override { Beenden_im_Destruktor(); }

    std::vector<int> Ausgefuehrt() {
        std::lock_guard lock(m_mutex);
        return m_ausgefuehrt;
    }

    Ereignis begonnen;
    Ereignis fertig;
    Ereignis freigabe;
    std::atomic<int> fehler{0};

protected:
    void Befehl_ausfuehren(int befehl) override {
        {
            std::lock_guard lock(m_mutex);
            m_ausgefuehrt.push_back(befehl);
        }
        begonnen.Setzen();
        if (befehl == 2) freigabe.Warten();
        if (befehl == 3) throw std::runtime_error("kaputt");
        fertig.Setzen();
    }
    void Unerwarteter_Fehler(const std::string&) override { ++fehler; }

private:
    std::mutex m_mutex;
    std::vector<int> m_ausgefuehrt;
};

TEST(Dialogarbeiter, StartetUndNimmtBefehlImLeerlaufAn) {
    Probearbeiter a;
    a.Starten();
    EXPECT_TRUE(a.Laeuft());
    ASSERT_TRUE(a.Befehl_geben(1));
    ASSERT_EQ(a.fertig.Warten(5000), Warteergebnis::signalisiert);
    // Back in idle: the next press is taken again.
    ASSERT_TRUE(a.Befehl_geben(1));
    ASSERT_EQ(a.fertig.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_EQ(a.Ausgefuehrt(), (std::vector<int>{1, 1}));
    EXPECT_TRUE(a.Beenden(true));
    EXPECT_FALSE(a.Laeuft());
}

TEST(Dialogarbeiter, DruckWaehrendBefehlLaeuftWirdIgnoriert) {
    Probearbeiter a;
    a.Starten();
    ASSERT_TRUE(a.Befehl_geben(2));
    ASSERT_EQ(a.begonnen.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_FALSE(a.Befehl_geben(1));
    // Closing while busy and waiting for idle does nothing: the worker keeps running.
    EXPECT_FALSE(a.Beenden(true));
    EXPECT_TRUE(a.Laeuft());
    a.freigabe.Setzen();
    ASSERT_EQ(a.fertig.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_TRUE(a.Beenden(true));
    EXPECT_EQ(a.Ausgefuehrt(), (std::vector<int>{2}));
}

TEST(Dialogarbeiter, BeendenOhneLeerlaufWartetAufDenLaufendenBefehl) {
    Probearbeiter a;
    a.Starten();
    ASSERT_TRUE(a.Befehl_geben(2));
    ASSERT_EQ(a.begonnen.Warten(5000), Warteergebnis::signalisiert);
    std::thread loesen([&] { a.freigabe.Setzen(); });
    EXPECT_TRUE(a.Beenden(false));
    loesen.join();
    EXPECT_FALSE(a.Laeuft());
    // The end command 0 is not carried out as a command.
    EXPECT_EQ(a.Ausgefuehrt(), (std::vector<int>{2}));
}

TEST(Dialogarbeiter, AusnahmeEinesBefehlsBeendetDenArbeiterNicht) {
    Probearbeiter a;
    a.Starten();
    ASSERT_TRUE(a.Befehl_geben(3));
    ASSERT_EQ(a.begonnen.Warten(5000), Warteergebnis::signalisiert);
    ASSERT_TRUE(a.Befehl_geben(1));
    ASSERT_EQ(a.fertig.Warten(5000), Warteergebnis::signalisiert);
    EXPECT_EQ(a.fehler.load(), 1);
}

TEST(Dialogarbeiter, NeuerArbeiterNachDemSchliessenUndAbbauImDestruktor) {
    Probearbeiter a;
    EXPECT_FALSE(a.Befehl_geben(1)); // not started: nothing to hand over to
    a.Starten();
    EXPECT_TRUE(a.Beenden(true));
    a.Starten(); // shown again
    ASSERT_TRUE(a.Befehl_geben(1));
    ASSERT_EQ(a.fertig.Warten(5000), Warteergebnis::signalisiert);
    // Left running: the destructor must end the thread.
}

TEST(Ereignis, AutomatischZurueckgesetztNachEinemWarten) {
    Ereignis e;
    EXPECT_EQ(e.Warten(0), Warteergebnis::zeitueberschreitung);
    e.Setzen();
    EXPECT_EQ(e.Warten(0), Warteergebnis::signalisiert);
    EXPECT_EQ(e.Warten(10), Warteergebnis::zeitueberschreitung);
}

TEST(Ereignis, ManuellBleibtGesetztBisZurueckgesetzt) {
    Ereignis e(true);
    e.Setzen();
    EXPECT_EQ(e.Warten(0), Warteergebnis::signalisiert);
    EXPECT_EQ(e.Warten(0), Warteergebnis::signalisiert);
    e.Zuruecksetzen();
    EXPECT_FALSE(e.Gesetzt());
}

TEST(Ereignis, WecktWartendenAusAnderemThread) {
    Ereignis e;
    std::thread t([&] { e.Setzen(); });
    EXPECT_EQ(e.Warten(), Warteergebnis::signalisiert);
    t.join();
}

} // namespace
