#include "koracom_empfang.h"

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

void Empfangsautomat::Byte(unsigned char byte) {
    const char c = static_cast<char>(byte);
    // The controller's error answer to "@A" has no "@" of its own; it is taken as multi-byte
    // only while that request waits for its answer, so later ordinary errors go their own way.
    const bool mb_erwartet = m_mb_offen && !m_mb_bereit;
    if (c == '@' || (c == 'E' && m_mb_anfrage_A && mb_erwartet)) {
        // A new "@" inside a multi-byte answer starts it again but keeps where to return to.
        if (m_zustand != MB_Beginn && m_zustand != MB_Rest) m_gesichert = m_zustand;
        m_zustand = MB_Beginn;
        m_mb_vor_anfrage = false;
    } else if (m_zustand == Ruhe) {
        m_zustand = Antwortbeginn;
    }

    switch (m_zustand) {
    case Antwortbeginn:
        m_puffer[0] = c;
        m_laenge = 1;
        if (c == ACK) {
            Antwort_fertig(false);
            m_laenge = 0;
            m_zustand = Ruhe;
        } else if (c == NAK) {
            Antwort_fertig(true);
            m_laenge = 0;
            m_zustand = Antwortrest;
        } else {
            m_zustand = Antwortrest;
        }
        break;
    case Antwortrest:
        if (m_laenge < Puffergroesse) m_puffer[m_laenge++] = c;
        if (ist_Endebyte(c)) {
            Antwort_fertig(false);
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
        if (c == ACK || c == BEL) MB_Antwort_fertig();
        break;
    default:
        m_zustand = Ruhe;
        break;
    }
}

bool Empfangsautomat::Wecken_nehmen() {
    const bool wecken = m_wecken;
    m_wecken = false;
    return wecken;
}

bool Empfangsautomat::Platzieren() {
    if (m_verwerfen) {
        // The late answer of an exchange given up. After a late NAK its completion answer is
        // late as well.
        if (!m_zurueckgehalten.nak) m_verwerfen = false;
        m_verworfen_seit_senden = true;
        return true;
    }
    if (m_anzahl >= Warteschlange_max) return false;
    m_schlange[(m_kopf + m_anzahl) % Warteschlange_max] = m_zurueckgehalten;
    ++m_anzahl;
    m_wecken = true;
    return true;
}

void Empfangsautomat::Antwort_fertig(bool nak) {
    std::memcpy(m_zurueckgehalten.bytes.data(), m_puffer.data(), m_laenge);
    m_zurueckgehalten.laenge = static_cast<uint16_t>(m_laenge);
    m_zurueckgehalten.nak = nak;
    m_blockiert = !Platzieren();
}

void Empfangsautomat::Ablegen() {
    if (m_blockiert) m_blockiert = !Platzieren();
}

void Empfangsautomat::MB_Antwort_fertig() {
    const bool sofortstopp = m_mb_laenge >= 4 && std::memcmp(m_mb_puffer.data(), "@RS\x06", 4) == 0;
    if (m_mb_vor_anfrage) {
        // Begun before the request went out, so not its answer: the late one of an exchange
        // given up, or noise.
        m_mb_vor_anfrage = false;
        m_mb_verwerfen = false;
    } else if (m_mb_verwerfen) {
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
        Antwort_fertig(false);
        m_laenge = 0;
        m_zustand = Ruhe;
        m_gesichert = Ruhe;
    } else {
        m_zustand = m_gesichert;
    }
}

bool Empfangsautomat::Teilantwort_offen() const {
    if (m_blockiert || m_laenge == 0) return false;
    return m_zustand == Antwortrest ||
           ((m_zustand == MB_Beginn || m_zustand == MB_Rest) && m_gesichert == Antwortrest);
}

void Empfangsautomat::Gewoehnliche_Reste_verwerfen() {
    m_kopf = 0;
    m_anzahl = 0;
    if (m_blockiert) {
        m_blockiert = false;
    } else if (Teilantwort_offen()) {
        m_laenge = 0;
        if (m_zustand == Antwortrest)
            m_zustand = Ruhe;
        else
            m_gesichert = Ruhe;
    }
}

void Empfangsautomat::Aufgeben(bool mehrbyte) {
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
            m_mb_vor_anfrage = false;
        } else if (war_offen && !m_mb_verworfen_seit_senden) {
            m_mb_verwerfen = true;
        }
    }
}

bool Empfangsautomat::Oeffnen(bool mehrbyte, std::string_view anfrage) {
    if (!mehrbyte) {
        if (m_offen) Aufgeben(false);
        Gewoehnliche_Reste_verwerfen();
        m_offen = true;
        m_verworfen_seit_senden = false;
        return !m_mb_offen;
    }
    if (m_mb_offen) Aufgeben(true);
    m_mb_vor_anfrage = m_zustand == MB_Beginn || m_zustand == MB_Rest;
    m_mb_bereit = false;
    m_mb_offen = true;
    m_mb_verworfen_seit_senden = false;
    m_mb_anfrage_A = anfrage == "@A\r";
    // Discarding received bytes now could swallow the completion answer of a running move.
    return !m_offen;
}

bool Empfangsautomat::Antwort_nehmen(bool mehrbyte, std::string& antwort) {
    if (!mehrbyte) {
        if (m_anzahl == 0) return false;
        const Antwortplatz& platz = m_schlange[m_kopf];
        antwort.assign(platz.bytes.data(), platz.laenge);
        if (!platz.nak) m_offen = false;
        m_kopf = (m_kopf + 1) % Warteschlange_max;
        --m_anzahl;
        return true;
    }
    if (!m_mb_bereit) return false;
    antwort.assign(m_mb_antwort.bytes.data(), m_mb_antwort.laenge);
    m_mb_bereit = false;
    m_mb_offen = false;
    return true;
}

} // namespace orvexa
