#include "lptthread.h"

#include "drivers/kora_lpt.h"

namespace orvexa {

namespace {
constexpr int Abfrageabstand_ms = 50;
}

TlptThread::TlptThread(Kora_lpt& treiber) : m_treiber(treiber), m_ergebnis(Fahrtergebnis::fertig) {}

TlptThread::~TlptThread() {
    Beenden();
}

void TlptThread::Starten() {
    if (m_thread.joinable()) return;
    m_beenden = false;
    m_laeuft = true;
    m_thread = std::thread([this] { Schleife(); });
    hEventIdle.Warten();
    // The wait consumed the signal; the first caller needs it.
    hEventIdle.Setzen();
}

void TlptThread::Beenden() {
    m_beenden = true;
    m_befehl_da.Setzen();
    if (m_thread.joinable()) m_thread.join();
}

void TlptThread::Befehl_geben(Befehl befehl, const Argumente& argumente) {
    {
        std::lock_guard lock(m_mutex);
        m_argumente = argumente;
        m_befehl = befehl;
    }
    m_befehl_da.Setzen();
}

Fahrtergebnis TlptThread::Ergebnis() const {
    std::lock_guard lock(m_mutex);
    return m_ergebnis;
}

void TlptThread::Schleife() {
    m_treiber.Echtzeit_einrichten();
    {
        std::lock_guard lock(m_mutex);
        m_befehl = keiner;
    }
    hEventIdle.Setzen();
    while (!m_beenden.load()) {
        Befehl befehl;
        Argumente a;
        {
            std::lock_guard lock(m_mutex);
            befehl = m_befehl;
            a = m_argumente;
        }
        if (befehl == keiner) {
            m_befehl_da.Warten(Abfrageabstand_ms);
            continue;
        }
        Fahrtergebnis ergebnis = Fahrtergebnis::abgebrochen;
        switch (befehl) {
        case Referenzfahrt:
            ergebnis = m_treiber.Referenzfahrt_Achse(a.modus, a.achse, a.offset, a.start, a.ziel,
                                                     a.rampe_ms);
            break;
        case Linearfahrt:
            ergebnis = m_treiber.Linearfahrt(a.modus, a.x, a.y, a.z, a.start, a.ziel, a.rampe_ms);
            break;
        case UFahrt:
            ergebnis = m_treiber.UFahrt(a.modus, a.u, a.start, a.ziel, a.rampe_ms);
            break;
        case keiner:
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_ergebnis = ergebnis;
            m_befehl = keiner;
        }
        hEventReady.Setzen();
        hEventIdle.Setzen();
    }
    m_treiber.Echtzeit_aufgeben();
    m_laeuft = false;
}

} // namespace orvexa
