#include "zeitbasis.h"

#include <ctime>
#include <mutex>
#include <thread>
#include <utility>

namespace orvexa {

namespace {

std::mutex g_pausen_mutex;
std::shared_ptr<Zeitbasis::Pausen> g_pausen;

} // namespace

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
    std::shared_ptr<Pausen> pausen;
    {
        std::lock_guard lock(g_pausen_mutex);
        pausen = g_pausen;
    }
    if (pausen) {
        pausen->Schlafen(ms);
        return;
    }
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Zeitbasis::Pausen_umleiten(std::shared_ptr<Pausen> pausen) {
    std::lock_guard lock(g_pausen_mutex);
    g_pausen = std::move(pausen);
}

uint32_t Zeitbasis::Millisekunden() {
    return static_cast<uint32_t>(Zaehler() / 1'000'000);
}

} // namespace orvexa
