#include "koracom_thread.h"

#include "core/protokoll.h"

#include <cstring>

namespace orvexa {

namespace {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ACK = 0x06;
constexpr char BEL = 0x07;
constexpr char CR = 0x0D;
constexpr char NAK = 0x15;

bool ist_Endebyte(char c) {
    return c == STX || c == ETX || c == ACK || c == BEL || c == CR || c == NAK;
}

} // namespace

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
        m_zustand = Ruhe;
    }
    m_bedingung.notify_all();
    m_wartet_unbegrenzt.notify_all();
    m_port.Lesen_abbrechen();
    if (m_thread.joinable()) m_thread.join();
}

int16_t TkoraCOM_thread::Status() const {
    std::lock_guard lock(m_mutex);
    return m_zustand;
}

bool TkoraCOM_thread::Getrennt() const {
    std::lock_guard lock(m_mutex);
    return m_getrennt;
}

void TkoraCOM_thread::Lauf() {
    hEventThreadRun.Setzen();
    for (;;) {
        const int byte = m_port.Byte_lesen(-1);
        std::unique_lock lock(m_mutex);
        if (m_beenden) return;
        if (byte >= 0) {
            Byte_verarbeiten(static_cast<unsigned char>(byte), lock);
            if (m_wecken) {
                // Woken after the unlock, the caller does not run straight into the held mutex.
                m_wecken = false;
                lock.unlock();
                m_bedingung.notify_all();
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
        m_bedingung.notify_all();
        m_bedingung.wait(lock, [this] { return m_beenden; });
        return;
    }
}

void TkoraCOM_thread::Byte_verarbeiten(unsigned char byte, std::unique_lock<std::mutex>& lock) {
    const uint8_t tag = m_tag.load(std::memory_order_relaxed);
    if (tag < 2 || tag > 4) return;

    const char c = static_cast<char>(byte);
    // The controller's error answer to "@A" has no "@" of its own; it is taken as multi-byte
    // only while that request waits for its answer, so later ordinary errors go their own way.
    const bool mb_erwartet = m_mb_offen && !m_mb_bereit;
    if (c == '@' || (c == 'E' && m_mb_anfrage_A && mb_erwartet)) {
        // A new "@" inside a multi-byte answer starts it again but keeps where to return to.
        if (m_zustand != MB_Beginn && m_zustand != MB_Rest) m_gesichert = m_zustand;
        m_zustand = MB_Beginn;
    } else if (m_zustand == Ruhe) {
        m_zustand = Antwortbeginn;
    }

    switch (m_zustand) {
    case Antwortbeginn:
        m_puffer[0] = c;
        m_laenge = 1;
        if (c == ACK) {
            Antwort_fertig(false, lock);
            m_laenge = 0;
            m_zustand = Ruhe;
        } else if (c == NAK) {
            Antwort_fertig(true, lock);
            m_laenge = 0;
            m_zustand = Antwortrest;
        } else {
            m_zustand = Antwortrest;
        }
        break;
    case Antwortrest:
        if (m_laenge < Puffergroesse) m_puffer[m_laenge++] = c;
        if (ist_Endebyte(c)) {
            Antwort_fertig(false, lock);
            m_laenge = 0;
            m_zustand = Ruhe;
        }
        break;
    case MB_Beginn:
        m_mb_puffer[0] = c;
        m_mb_laenge = 1;
        m_zustand = MB_Rest;
        break;
    case MB_Rest:
        if (m_mb_laenge < Puffergroesse) m_mb_puffer[m_mb_laenge++] = c;
        if (c == ACK || c == BEL) MB_Antwort_fertig(lock);
        break;
    default:
        m_zustand = Ruhe;
        break;
    }
}

void TkoraCOM_thread::Antwort_fertig(bool nak, std::unique_lock<std::mutex>& lock) {
    m_platz_verworfen = false;
    for (;;) {
        if (m_beenden || m_platz_verworfen) return;
        if (m_verwerfen) {
            // The late answer of an exchange given up. After a late NAK its completion answer
            // is late as well.
            if (!nak) m_verwerfen = false;
            m_verworfen_seit_senden = true;
            return;
        }
        if (m_anzahl < Warteschlange_max) {
            Antwortplatz& platz = m_schlange[(m_kopf + m_anzahl) % Warteschlange_max];
            std::memcpy(platz.bytes.data(), m_puffer.data(), m_laenge);
            platz.laenge = static_cast<uint16_t>(m_laenge);
            platz.nak = nak;
            ++m_anzahl;
            m_wecken = true;
            return;
        }
        if (m_wecken) {
            m_wecken = false;
            m_bedingung.notify_all();
        }
        m_wartet_auf_platz = true;
        m_bedingung.wait(lock);
        m_wartet_auf_platz = false;
    }
}

void TkoraCOM_thread::MB_Antwort_fertig(std::unique_lock<std::mutex>& lock) {
    const bool sofortstopp = m_mb_laenge >= 4 && std::memcmp(m_mb_puffer.data(), "@RS\x06", 4) == 0;
    if (m_mb_verwerfen) {
        m_mb_verwerfen = false;
        m_mb_verworfen_seit_senden = true;
    } else if (m_mb_offen && !m_mb_bereit) {
        std::memcpy(m_mb_antwort.bytes.data(), m_mb_puffer.data(), m_mb_laenge);
        m_mb_antwort.laenge = static_cast<uint16_t>(m_mb_laenge);
        m_mb_bereit = true;
        m_wecken = true;
    }
    // else nobody asked for it: dropped.

    // A confirmed immediate stop means that no completion answer will come for the move.
    if (sofortstopp && m_gesichert == Antwortrest) {
        if (m_laenge < Puffergroesse) m_puffer[m_laenge++] = '!';
        m_zustand = Antwortrest;
        Antwort_fertig(false, lock);
        m_laenge = 0;
        m_zustand = Ruhe;
        m_gesichert = Ruhe;
    } else {
        m_zustand = m_gesichert;
    }
}

bool TkoraCOM_thread::Teilantwort_offen() const {
    if (m_wartet_auf_platz || m_laenge == 0) return false;
    return m_zustand == Antwortrest ||
           ((m_zustand == MB_Beginn || m_zustand == MB_Rest) && m_gesichert == Antwortrest);
}

void TkoraCOM_thread::Gewoehnliche_Reste_verwerfen() {
    m_kopf = 0;
    m_anzahl = 0;
    if (m_wartet_auf_platz) {
        m_platz_verworfen = true;
    } else if (Teilantwort_offen()) {
        m_laenge = 0;
        if (m_zustand == Antwortrest)
            m_zustand = Ruhe;
        else
            m_gesichert = Ruhe;
    }
}

void TkoraCOM_thread::Aufgeben(bool mehrbyte) {
    if (!mehrbyte) {
        const bool war_offen = m_offen;
        m_offen = false;
        const bool angekommen =
            m_anzahl > 0 && !m_schlange[(m_kopf + m_anzahl - 1) % Warteschlange_max].nak;
        if (Teilantwort_offen()) {
            // A cut answer: its rest may never come, so nothing later is held against it.
            m_laenge = 0;
            if (m_zustand == Antwortrest)
                m_zustand = Ruhe;
            else
                m_gesichert = Ruhe;
        } else if (war_offen && !angekommen && !m_verworfen_seit_senden) {
            // Nothing came. If meanwhile an answer was dropped as late, it may have been this
            // exchange's own; then nothing more is expected, or a controller that missed one
            // request would lose every following answer.
            m_verwerfen = true;
        }
    } else {
        const bool war_offen = m_mb_offen;
        m_mb_offen = false;
        m_mb_bereit = false;
        if (m_zustand == MB_Beginn || m_zustand == MB_Rest) {
            m_mb_laenge = 0;
            m_zustand = m_gesichert;
        } else if (war_offen && !m_mb_verworfen_seit_senden) {
            m_mb_verwerfen = true;
        }
    }
    m_bedingung.notify_all();
}

TkoraCOM_thread::Ergebnis TkoraCOM_thread::Senden_freigeben(bool mehrbyte, std::string_view anfrage,
                                                            bool& eingang_leeren) {
    const auto ich = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    if (!mehrbyte) {
        m_bedingung.wait(lock,
                         [&] { return m_beenden || m_getrennt || !m_offen || m_offen_von == ich; });
        if (m_beenden) return Ergebnis::beendet;
        if (m_getrennt) return Ergebnis::getrennt;
        // The caller's own exchange is still open (it took a NAK and never waited for the
        // completion): waiting for itself would never end, so that exchange is given up.
        if (m_offen) Aufgeben(false);
        // Whatever is left over from earlier exchanges is stale now.
        Gewoehnliche_Reste_verwerfen();
        m_offen = true;
        m_offen_von = ich;
        m_verworfen_seit_senden = false;
        eingang_leeren = !m_mb_offen;
    } else {
        m_bedingung.wait(
            lock, [&] { return m_beenden || m_getrennt || !m_mb_offen || m_mb_offen_von == ich; });
        if (m_beenden) return Ergebnis::beendet;
        if (m_getrennt) return Ergebnis::getrennt;
        if (m_mb_offen) Aufgeben(true);
        m_mb_bereit = false;
        m_mb_offen = true;
        m_mb_offen_von = ich;
        m_mb_verworfen_seit_senden = false;
        m_mb_anfrage_A = anfrage == "@A\r";
        // Discarding received bytes now could swallow the completion answer of a running move.
        eingang_leeren = !m_offen;
    }
    lock.unlock();
    m_bedingung.notify_all();
    return Ergebnis::ok;
}

TkoraCOM_thread::Ergebnis TkoraCOM_thread::Antwort_abholen(bool mehrbyte, int frist_ms,
                                                           std::string& antwort) {
    std::unique_lock lock(m_mutex);
    const auto da = [&] {
        return (mehrbyte ? m_mb_bereit : m_anzahl > 0) || m_beenden || m_getrennt;
    };
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
    } else if (!m_bedingung.wait_for(lock, std::chrono::milliseconds(frist_ms), da)) {
        Aufgeben(mehrbyte);
        return Ergebnis::zeitueberschreitung;
    }

    if (!mehrbyte && m_anzahl > 0) {
        const Antwortplatz& platz = m_schlange[m_kopf];
        antwort.assign(platz.bytes.data(), platz.laenge);
        if (!platz.nak) m_offen = false;
        m_kopf = (m_kopf + 1) % Warteschlange_max;
        --m_anzahl;
        lock.unlock();
        m_bedingung.notify_all();
        return Ergebnis::ok;
    }
    if (mehrbyte && m_mb_bereit) {
        antwort.assign(m_mb_antwort.bytes.data(), m_mb_antwort.laenge);
        m_mb_bereit = false;
        m_mb_offen = false;
        lock.unlock();
        m_bedingung.notify_all();
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
    m_bedingung.notify_all();
}

bool TkoraCOM_thread::Unbegrenzte_Wartezeit_abwarten(int ms) {
    std::unique_lock lock(m_mutex);
    m_wartet_unbegrenzt.wait_for(lock, std::chrono::milliseconds(ms),
                                 [this] { return m_unbegrenzt_wartend > 0 || m_beenden; });
    return m_unbegrenzt_wartend > 0 && !m_beenden;
}

} // namespace orvexa
