#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace orvexa {

// The run time of the pressure-fed window: counts whole seconds on each tick of a one-second
// timer while a run is under way. The run switches it on and off from its worker; the ticks and
// the resets come from the window thread.
class Stoppuhr {
public:
    // "S&tart" begins at 0; "&Fortsetzen" goes on from the value shown.
    void Zuruecksetzen() { m_sekunden = 0; }
    void Laufen(bool an) { m_laeuft = an; }
    bool Laeuft() const { return m_laeuft; }
    // One timer tick: true when the count went on (and the display is to be refreshed).
    bool Takt();
    int64_t Sekunden() const { return m_sekunden; }
    std::string Text() const { return Stoppuhrtext(m_sekunden); }

    // "%02d:%02d:%02d": hours, minutes, seconds; hours go on past 99.
    static std::string Stoppuhrtext(int64_t sekunden);

private:
    std::atomic<bool> m_laeuft{false};
    int64_t m_sekunden = 0;
};

} // namespace orvexa
