// The parallel driver's ramp against profiles worked out by hand from its rule: the speed
// rises by a fixed increment per step for R steps, holds, and falls over the last R steps.

#include "core/schrittrampe.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace orvexa::test {
namespace {

constexpr int64_t ns = 1'000'000'000;

// Sum of 1/f over the cycles k = von..bis of a speed f = f0 + d * (k - von).
double Summe(double f0, double d, int von, int bis) {
    double s = 0;
    for (int k = von; k <= bis; ++k)
        s += 1.0 / (f0 + d * (k - von));
    return s;
}

TEST(Schrittrampe, RampenlaengeUndZuwachsAusDerRampenzeit) {
    struct Fall {
        int64_t N;
        int32_t s, w, r;
        int64_t R;
        double zuwachs;
    } faelle[] = {
        {1000, 200, 400, 200, 160, 1.25}, // r / ((1/s - 1/w) / 2) = 0.2 / 0.00125
        {100, 200, 400, 200, 50, 1.25},   // cut to N / 2, the increment of the full ramp stays
        {101, 200, 400, 200, 50, 1.25},
        {1000, 500, 500, 200, 0, 0.0}, // no ramp without a speed difference
        {1000, 100, 5000, 0, 0, 0.0},  // a ramp of 0 ms: every step at the start speed
    };
    for (const Fall& f : faelle) {
        const Schrittrampe r = Schrittrampe::berechnen(f.N, f.s, f.w, f.r);
        EXPECT_EQ(r.R, f.R) << f.N << " " << f.s << " " << f.w << " " << f.r;
        EXPECT_DOUBLE_EQ(r.Zuwachs, f.zuwachs) << f.N;
    }
}

TEST(Schrittrampe, DauerKurzerLangerUndRampenloserFahrten) {
    // Long: 160 steps up from 200 to 398.75, 680 at 400, 160 down from 398.75 to 200.
    const double lang = 2 * Summe(200, 1.25, 1, 160) + 680 / 400.0;
    // Short: 51 cycles up to the peak of 262.5, then 49 falling from 261.25.
    const double kurz = Summe(200, 1.25, 1, 51) + Summe(261.25, -1.25, 1, 49);
    struct Fall {
        int64_t N;
        int32_t s, w, r;
        double sekunden;
    } faelle[] = {
        {1000, 200, 400, 200, lang},   {100, 200, 400, 200, kurz},
        {100, 1000, 1000, 200, 0.1},   // s = w: every period 1/s
        {5000, 100, 5000, 0, 50.0},    // no ramp: all at the start speed
        {1, 200, 400, 200, 1 / 200.0}, // one step, at the start speed
    };
    for (const Fall& f : faelle) {
        const Schrittrampe r = Schrittrampe::berechnen(f.N, f.s, f.w, f.r);
        // Each period is cut to whole nanoseconds.
        EXPECT_NEAR(static_cast<double>(Schrittdauer(r, ns)) / ns, f.sekunden, f.N * 1e-9)
            << f.N << " " << f.s << " " << f.w << " " << f.r;
    }
    // The peak of the short move lies below the work speed.
    EXPECT_LT(200 + 1.25 * 50, 400);
}

TEST(Schrittrampe, TeilEinerFahrtZaehltNurIhreZyklen) {
    const Schrittrampe r = Schrittrampe::berechnen(5'000'000, 200, 400, 200);
    EXPECT_NEAR(static_cast<double>(Schrittdauer(r, ns, 10)) / ns, Summe(200, 1.25, 1, 10), 1e-8);
    // Past the rise the speed holds at the work speed.
    EXPECT_NEAR(static_cast<double>(Schrittdauer(r, ns, 1160)) / ns,
                Summe(200, 1.25, 1, 160) + 1000 / 400.0, 2e-6);
    EXPECT_EQ(Schrittdauer(r, ns, 0), 0);
}

} // namespace
} // namespace orvexa::test
