#pragma once

#include <condition_variable>
#include <mutex>

namespace orvexa {

enum class Warteergebnis { signalisiert, zeitueberschreitung };

// An event as the worker threads use it: auto-reset by default (one successful wait consumes
// the signal), manual-reset on request (stays signalled until reset).
class Ereignis {
public:
    static constexpr int unbegrenzt = -1;

    explicit Ereignis(bool manuell = false, bool anfangs_gesetzt = false);
    Ereignis(const Ereignis&) = delete;
    Ereignis& operator=(const Ereignis&) = delete;

    void Setzen();
    void Zuruecksetzen();
    // ms < 0 waits without limit; 0 only tests.
    Warteergebnis Warten(int ms = unbegrenzt);
    bool Gesetzt() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_bedingung;
    bool m_gesetzt;
    const bool m_manuell;
};

} // namespace orvexa
