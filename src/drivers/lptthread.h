#pragma once

#include "platform/ereignis.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace orvexa {

class Kora_lpt;
enum class Fahrtergebnis;

// The motion thread of the parallel-port driver: carries out one move at a time from its
// command slot. The slot goes idle (hEventIdle) -> busy (command stored) -> finished
// (hEventReady, then hEventIdle again).
class TlptThread {
public:
    enum Befehl : int32_t { keiner = 0, Referenzfahrt = 1, Linearfahrt = 2, UFahrt = 3 };

    struct Argumente {
        int32_t modus = 0;
        char achse = 0;
        int32_t offset = 0;
        int32_t x = 0, y = 0, z = 0, u = 0;
        int32_t start = 0;
        int32_t ziel = 0;
        int32_t rampe_ms = 0;
    };

    explicit TlptThread(Kora_lpt& treiber);
    // Ends the thread after its current move.
    ~TlptThread();
    TlptThread(const TlptThread&) = delete;
    TlptThread& operator=(const TlptThread&) = delete;

    // Starts the loop and waits until it is idle; the idle signal stays available.
    void Starten();
    // Asks the loop to end and waits for it. The driver stops a running move first.
    void Beenden();
    bool Laeuft() const { return m_laeuft.load(); }

    // For a caller that owns the idle signal: stores the move and wakes the loop.
    void Befehl_geben(Befehl befehl, const Argumente& argumente);
    Fahrtergebnis Ergebnis() const;

    Ereignis hEventIdle;
    Ereignis hEventReady;

private:
    void Schleife();

    Kora_lpt& m_treiber;
    std::thread m_thread;
    std::atomic<bool> m_laeuft{false};
    std::atomic<bool> m_beenden{false};
    // Wakes the loop at once; without it the loop looks for a command every 50 ms.
    Ereignis m_befehl_da;

    mutable std::mutex m_mutex;
    Befehl m_befehl = keiner;
    Argumente m_argumente;
    Fahrtergebnis m_ergebnis;
};

} // namespace orvexa
