#include "zeitbasis.h"

#include <ctime>
#include <thread>

namespace orvexa {

int64_t Zeitbasis::Zaehler() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * Frequenz + ts.tv_nsec;
}

void Zeitbasis::Warten_aktiv(int64_t ticks) {
    if (ticks <= 0) return;
    const int64_t ende = Zaehler() + ticks;
    while (Zaehler() < ende) {
    }
}

void Zeitbasis::Schlafen(int ms) {
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t Zeitbasis::Millisekunden() {
    return static_cast<uint32_t>(Zaehler() / 1'000'000);
}

} // namespace orvexa
