#pragma once

#include <cstdint>
#include <memory>

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

    // Takes the pauses of Schlafen instead of the system, so that tests of code that pauses
    // need not wait for real. The counter stays the real clock: step pulses and the simulated
    // controllers are timed by it.
    class Pausen {
    public:
        virtual ~Pausen() = default;
        virtual void Schlafen(int ms) = 0;
    };
    // nullptr sleeps for real again. A pause already begun ends on the object it began on.
    static void Pausen_umleiten(std::shared_ptr<Pausen> pausen);
};

} // namespace orvexa
