#include "koracom_thread.h"

#include "core/protokoll.h"

#include <chrono>

namespace orvexa {

TkoraCOM_thread::TkoraCOM_thread(SeriellerPort& port, const std::atomic<uint8_t>& tag)
    : m_port(port), m_tag(tag) {}

TkoraCOM_thread::~TkoraCOM_thread() {
    Beenden();
}

void TkoraCOM_thread::Starten() {
    m_thread = std::thread([this] { Lauf(); });
    hEventThreadRun.Warten();
}

void TkoraCOM_thread::Beenden() {
    {
        std::lock_guard lock(m_mutex);
        m_beenden = true;
        m_empfang.Anhalten();
    }
    Wecken();
    m_wartet_unbegrenzt.notify_all();
    m_port.Lesen_abbrechen();
    if (m_thread.joinable()) m_thread.join();
}

int16_t TkoraCOM_thread::Status() const {
    std::lock_guard lock(m_mutex);
    return m_empfang.Zustand();
}

bool TkoraCOM_thread::Getrennt() const {
    std::lock_guard lock(m_mutex);
    return m_getrennt;
}

void TkoraCOM_thread::Wecken() {
    m_weckungen.fetch_add(1, std::memory_order_release);
    m_bedingung.notify_all();
}

void TkoraCOM_thread::Kurz_abwarten(uint64_t stand) const {
    // Long enough for a short answer over a fast line, short against the waits' limits.
    constexpr auto Spinzeit = std::chrono::microseconds(150);
    const auto ende = std::chrono::steady_clock::now() + Spinzeit;
    while (m_weckungen.load(std::memory_order_acquire) == stand &&
           std::chrono::steady_clock::now() < ende) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

void TkoraCOM_thread::Lauf() {
    hEventThreadRun.Setzen();
    for (;;) {
        const int byte = m_port.Byte_lesen(-1);
        std::unique_lock lock(m_mutex);
        if (m_beenden) return;
        if (byte >= 0) {
            if (!Byte_verarbeiten(static_cast<unsigned char>(byte), lock)) return;
            if (m_empfang.Wecken_nehmen()) {
                // Woken after the unlock, the caller does not run straight into the held mutex.
                lock.unlock();
                Wecken();
            }
            continue;
        }
        if (byte == SeriellerPort::Abgebrochen || byte == SeriellerPort::Zeitueberschreitung)
            continue;

        // The device has gone (or the port fails for good): every wait ends with an error, and
        // reading on would only spin. The cause is logged before the waits end, so that it
        // stands in the log ahead of what their callers write.
        const int fehler = m_port.Letzter_Fehler();
        lock.unlock();
        Protokoll_schreiben(Ebene_Seriell,
                            "koraCOM->TkoraCOM_thread :: Verbindung zur Steuerung unterbrochen [" +
                                std::to_string(fehler) + "]");
        lock.lock();
        m_getrennt = true;
        Wecken();
        m_bedingung.wait(lock, [this] { return m_beenden; });
        return;
    }
}

bool TkoraCOM_thread::Byte_verarbeiten(unsigned char byte, std::unique_lock<std::mutex>& lock) {
    const uint8_t tag = m_tag.load(std::memory_order_relaxed);
    if (tag < 2 || tag > 4) return true;
    m_empfang.Byte(byte);
    // A full queue holds the thread (and the bytes behind the answer) until a caller takes an
    // answer, gives up or sends anew.
    while (m_empfang.Blockiert()) {
        if (m_empfang.Wecken_nehmen()) Wecken();
        m_bedingung.wait(lock);
        if (m_beenden) return false;
        m_empfang.Ablegen();
    }
    return true;
}

void TkoraCOM_thread::Aufgeben(bool mehrbyte) {
    m_empfang.Aufgeben(mehrbyte);
    Wecken();
}

TkoraCOM_thread::Ergebnis TkoraCOM_thread::Senden_freigeben(bool mehrbyte, std::string_view anfrage,
                                                            bool& eingang_leeren) {
    const auto ich = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    if (!mehrbyte) {
        m_bedingung.wait(lock, [&] {
            return m_beenden || m_getrennt || !m_empfang.Offen(false) || m_offen_von == ich;
        });
        if (m_beenden) return Ergebnis::beendet;
        if (m_getrennt) return Ergebnis::getrennt;
        // The caller's own exchange may still be open (it took a NAK and never waited for the
        // completion): waiting for itself would never end, so Oeffnen gives it up; whatever is
        // left over from earlier exchanges is stale now.
        eingang_leeren = m_empfang.Oeffnen(false, anfrage);
        m_offen_von = ich;
    } else {
        m_bedingung.wait(lock, [&] {
            return m_beenden || m_getrennt || !m_empfang.Offen(true) || m_mb_offen_von == ich;
        });
        if (m_beenden) return Ergebnis::beendet;
        if (m_getrennt) return Ergebnis::getrennt;
        eingang_leeren = m_empfang.Oeffnen(true, anfrage);
        m_mb_offen_von = ich;
    }
    lock.unlock();
    Wecken();
    return Ergebnis::ok;
}

TkoraCOM_thread::Ergebnis TkoraCOM_thread::Antwort_abholen(bool mehrbyte, int frist_ms,
                                                           std::string& antwort) {
    std::unique_lock lock(m_mutex);
    const auto da = [&] { return m_empfang.Antwort_da(mehrbyte) || m_beenden || m_getrennt; };
    if (frist_ms < 0) {
        ++m_unbegrenzt_wartend;
        m_wartet_unbegrenzt.notify_all();
        m_bedingung.wait(lock, [&] { return da() || (!mehrbyte && m_warten_abbrechen); });
        if (--m_unbegrenzt_wartend == 0) {
            const bool abbrechen = m_warten_abbrechen && !mehrbyte && !da();
            m_warten_abbrechen = false;
            if (abbrechen) {
                Aufgeben(false);
                return Ergebnis::abgebrochen;
            }
        } else if (!mehrbyte && m_warten_abbrechen && !da()) {
            Aufgeben(false);
            return Ergebnis::abgebrochen;
        }
    } else {
        const auto ende = std::chrono::steady_clock::now() + std::chrono::milliseconds(frist_ms);
        if (!da()) {
            const uint64_t stand = m_weckungen.load(std::memory_order_acquire);
            lock.unlock();
            Kurz_abwarten(stand);
            lock.lock();
        }
        if (!m_bedingung.wait_until(lock, ende, da)) {
            Aufgeben(mehrbyte);
            return Ergebnis::zeitueberschreitung;
        }
    }

    if (m_empfang.Antwort_nehmen(mehrbyte, antwort)) {
        lock.unlock();
        Wecken();
        return Ergebnis::ok;
    }
    return m_beenden ? Ergebnis::beendet : Ergebnis::getrennt;
}

void TkoraCOM_thread::Warten_abbrechen() {
    {
        std::lock_guard lock(m_mutex);
        if (m_unbegrenzt_wartend == 0) return;
        m_warten_abbrechen = true;
    }
    Wecken();
}

bool TkoraCOM_thread::Unbegrenzte_Wartezeit_abwarten(int ms) {
    std::unique_lock lock(m_mutex);
    m_wartet_unbegrenzt.wait_for(lock, std::chrono::milliseconds(ms),
                                 [this] { return m_unbegrenzt_wartend > 0 || m_beenden; });
    return m_unbegrenzt_wartend > 0 && !m_beenden;
}

} // namespace orvexa
