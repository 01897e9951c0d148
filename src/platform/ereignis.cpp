#include "ereignis.h"

#include <chrono>

namespace orvexa {

Ereignis::Ereignis(bool manuell, bool anfangs_gesetzt)
    : m_gesetzt(anfangs_gesetzt), m_manuell(manuell) {}

void Ereignis::Setzen() {
    {
        std::lock_guard lock(m_mutex);
        m_gesetzt = true;
    }
    if (m_manuell)
        m_bedingung.notify_all();
    else
        m_bedingung.notify_one();
}

void Ereignis::Zuruecksetzen() {
    std::lock_guard lock(m_mutex);
    m_gesetzt = false;
}

Warteergebnis Ereignis::Warten(int ms) {
    std::unique_lock lock(m_mutex);
    const auto gesetzt = [this] { return m_gesetzt; };
    if (ms < 0) {
        m_bedingung.wait(lock, gesetzt);
    } else if (!m_bedingung.wait_for(lock, std::chrono::milliseconds(ms), gesetzt)) {
        return Warteergebnis::zeitueberschreitung;
    }
    if (!m_manuell) m_gesetzt = false;
    return Warteergebnis::signalisiert;
}

bool Ereignis::Gesetzt() const {
    std::lock_guard lock(m_mutex);
    return m_gesetzt;
}

} // namespace orvexa
