#pragma once

#include <cstdint>

namespace orvexa {

// Monotonic time base for step timing and waits. The counter runs in nanoseconds, so its
// frequency is fixed at 1e9 ticks per second.
class Zeitbasis {
public:
    static constexpr int64_t Frequenz = 1'000'000'000;

    static int64_t Zaehler();                // ns since an arbitrary fixed point
    static void Warten_aktiv(int64_t ticks); // busy-wait, for step pulses
    static void Schlafen(int ms);            // yields the CPU
    static uint32_t Millisekunden();         // wraps like a tick count
};

} // namespace orvexa
