// Move, wait and reference times per controller type against hand-computed profiles.

#include "drivers/fahrzeit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvexa::test {
namespace {

TEST(Fahrzeit, SerielleTypenFahrenTrapezOderDreieck) {
    // s 400, w 2000, ramp 100 ms: acceleration 16000 steps/s², 120 steps per ramp.
    const Fahrwerte w{400, 2000, 100};
    struct Fall {
        int32_t modul;
        int64_t schritte;
        Fahrwerte werte;
        double sekunden;
    } faelle[] = {
        {5, 10000, w, 0.2 + (10000 - 240) / 2000.0},                           // trapezoid
        {6, -10000, w, 0.2 + (10000 - 240) / 2000.0},                          // sign ignored
        {5, 100, w, 2 * (std::sqrt(400.0 * 400 + 16000 * 100) - 400) / 16000}, // triangle
        {5, 240, w, 0.2},                                                      // just reaches w
        {10, 1000, {400, 2000, 0}, 0.5},                                       // no ramp
        {11, 1000, {3000, 2000, 100}, 0.5},                                    // start above w
        {5, 1000, {400, 0, 100}, 0.0},                                         // no speed: no move
        {2, 10000, w, 0.2 + (10000 - 240) / 2000.0},                           // program-storing
        {5, 0, w, 0.0},
    };
    for (const Fall& f : faelle)
        EXPECT_NEAR(Fahrzeit_s(f.modul, f.schritte, f.werte), f.sekunden, 1e-9)
            << f.modul << " " << f.schritte;
}

TEST(Fahrzeit, KartenRechnenMitDerTreiberrampeUndIhrenGrenzen) {
    // Modul 4 allows 12000 steps/s, Modul 0 and 1 5000; a refused move does not run.
    EXPECT_NEAR(Fahrzeit_s(4, 1000, {1000, 1000, 200}), 1.0, 1e-6);
    EXPECT_EQ(Fahrzeit_s(4, 1000, {1000, 12001, 200}), 0.0);
    EXPECT_EQ(Fahrzeit_s(1, 1000, {1000, 6000, 200}), 0.0);
    EXPECT_EQ(Fahrzeit_s(7, 1000, {2000, 1000, 200}), 0.0); // start above the work speed
    EXPECT_EQ(Fahrzeit_s(7, 1000, {0, 1000, 200}), 0.0);
    EXPECT_EQ(Fahrzeit_s(7, 1000, {100, 1000, 60001}), 0.0);
    // A ramp of 0 ms on a card: every step at the start speed.
    EXPECT_NEAR(Fahrzeit_s(7, 500, {100, 1000, 0}), 5.0, 1e-6);

    // The phase card module holds a speed above 5000 at 5000, which its driver accepts.
    const Fahrwerte gehalten = Gehaltene_Fahrwerte(0, {6000, 6000, 0});
    EXPECT_EQ(gehalten.Start, 5000);
    EXPECT_EQ(gehalten.Arbeit, 5000);
    EXPECT_NEAR(Fahrzeit_s(0, 5000, gehalten), 1.0, 1e-5);
    // The step/direction module holds at 16000, above what Modul 4 allows.
    EXPECT_EQ(Fahrzeit_s(4, 1000, Gehaltene_Fahrwerte(4, {1000, 20000, 0})), 0.0);
    // Serial controllers keep what they were sent.
    EXPECT_EQ(Gehaltene_Fahrwerte(5, {20000, 30000, 7}).Arbeit, 30000);
}

TEST(Fahrzeit, WartenInSekundenstueckenUndReferenzfahrt) {
    struct Fall {
        int32_t modul, ms;
        double sekunden;
    } faelle[] = {
        {5, 2500, 2.5}, {4, 2500, 2.503}, // a card waits a millisecond more per piece
        {4, 0, 0.0},    {5, -20, 0.0},    {7, 1000, 1.001},
    };
    for (const Fall& f : faelle)
        EXPECT_NEAR(Wartezeit_s(f.modul, f.ms), f.sekunden, 1e-12) << f.modul << " " << f.ms;

    // Card: 10 steps to the switch and one back off it at 1000 steps/s, offset of 500 steps,
    // three pauses of 250 ms.
    EXPECT_NEAR(Referenzzeit_s(4, 10, 500, {1000, 1000, 0}), 0.010 + 0.001 + 0.5 + 0.75, 1e-6);
    // A reference speed the card refuses: only the closing pause.
    EXPECT_NEAR(Referenzzeit_s(4, 10, 500, {1000, 13000, 0}), 0.25, 1e-12);
    // Serial: the approach and the offset as two moves.
    EXPECT_NEAR(Referenzzeit_s(5, -1000, 500, {1000, 1000, 0}), 1.5, 1e-9);
}

} // namespace
} // namespace orvexa::test
