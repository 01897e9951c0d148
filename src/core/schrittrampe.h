#pragma once

// The linear ramp of the parallel-port driver, which makes every step itself: how many steps
// the speed rises and falls, how it changes from step to step, and how long each step cycle
// lasts. The motion thread steps by it and the run-time estimate adds up the same cycles, so
// an estimate of a move on a parallel card is the move's own timing.

#include <cstdint>

namespace orvexa {

struct Schrittrampe {
    int64_t N = 0;       // steps of the leading axis
    int64_t R = 0;       // steps of each ramp, at most N / 2
    double Zuwachs = 0;  // speed change per step, from the full ramp even when R was cut
    double Start = 0;    // steps/s
    double Ziel = 0;     // steps/s
    int64_t Volle_R = 0; // R before it was cut to N / 2

    // s, w in steps/s, r in ms; the caller has checked 1 <= s <= w and 0 <= r.
    static Schrittrampe berechnen(int64_t N, int32_t s, int32_t w, int32_t r);

    // The speed of the next cycle after the cycle that left n steps to go at speed f.
    double naechste(double f, int64_t n) const;
};

// Length of a cycle at speed f (steps/s) in ticks of a counter running at zaehlerfrequenz.
inline int64_t Schrittperiode(int64_t zaehlerfrequenz, double f) {
    return static_cast<int64_t>(static_cast<double>(zaehlerfrequenz) / f);
}

// Ticks of the first `zyklen` cycles of the move (all N when zyklen is negative or above N):
// each cycle lasts its period, the last one too.
int64_t Schrittdauer(const Schrittrampe& rampe, int64_t zaehlerfrequenz, int64_t zyklen = -1);

} // namespace orvexa
