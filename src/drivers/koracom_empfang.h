#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

// The byte machine of the serial link's receive side and the bookkeeping of its two exchanges
// (ordinary and multi-byte), without port, lock or thread: the receive thread feeds it every
// byte and the callers open, give up and take their exchanges through it, all under the
// thread's lock. Kept apart so that any byte stream and any order of requests can be played
// through it deterministically.
//
// Ordinary answers go into a small queue. When an answer is complete and the queue is full,
// it is held back (Blockiert) until room is made, the exchange is given up or a new request
// drops what is left over; no further byte may be fed while it is held.
class Empfangsautomat {
public:
    // States of the byte machine.
    static constexpr int16_t Ruhe = 10;
    static constexpr int16_t Antwortbeginn = 20;
    static constexpr int16_t Antwortrest = 30;
    static constexpr int16_t MB_Beginn = 50;
    static constexpr int16_t MB_Rest = 60;

    static constexpr std::size_t Puffergroesse = 260;
    static constexpr std::size_t Warteschlange_max = 8;

    // One received byte. Must not be called while Blockiert().
    void Byte(unsigned char byte);
    // A complete ordinary answer waits for room in the queue.
    bool Blockiert() const { return m_blockiert; }
    // Tries again to place the held answer (or to drop it as late); nothing when none is held.
    void Ablegen();
    // True once after an answer has become ready for a caller.
    bool Wecken_nehmen();

    // Opens an exchange of the kind; the caller's own exchange of that kind, still open, is
    // given up first. Ordinary answers left over from earlier exchanges are dropped. Returns
    // whether the port's receive buffer may be discarded before the request goes out: not
    // while an exchange of the other kind still waits for bytes.
    bool Oeffnen(bool mehrbyte, std::string_view anfrage);
    // The exchange ends without its answer (time-out, abort): an answer that comes later is
    // dropped, a partly received one is thrown away.
    void Aufgeben(bool mehrbyte);
    // Takes the next answer of the kind; false when there is none.
    bool Antwort_nehmen(bool mehrbyte, std::string& antwort);

    bool Antwort_da(bool mehrbyte) const { return mehrbyte ? m_mb_bereit : m_anzahl > 0; }
    // Sent and its final answer not yet taken (after a NAK: its completion answer).
    bool Offen(bool mehrbyte) const { return mehrbyte ? m_mb_offen : m_offen; }
    std::size_t Wartende_Antworten() const { return m_anzahl; }
    int16_t Zustand() const { return m_zustand; }
    // The link closes: the machine rests.
    void Anhalten() { m_zustand = Ruhe; }

private:
    struct Antwortplatz {
        std::array<char, Puffergroesse> bytes{};
        uint16_t laenge = 0;
        bool nak = false; // a lone NAK: its completion answer follows
    };

    void Antwort_fertig(bool nak);
    bool Platzieren();
    void MB_Antwort_fertig();
    void Gewoehnliche_Reste_verwerfen();
    bool Teilantwort_offen() const;

    // Byte machine.
    int16_t m_zustand = Ruhe;
    int16_t m_gesichert = Ruhe;
    std::array<char, Puffergroesse> m_puffer{};
    std::size_t m_laenge = 0;
    std::array<char, Puffergroesse> m_mb_puffer{};
    std::size_t m_mb_laenge = 0;
    bool m_wecken = false;

    // Ordinary exchange.
    std::array<Antwortplatz, Warteschlange_max> m_schlange{};
    std::size_t m_kopf = 0;
    std::size_t m_anzahl = 0;
    Antwortplatz m_zurueckgehalten{};
    bool m_blockiert = false;
    bool m_offen = false;
    bool m_verwerfen = false; // the answer of a given-up exchange is still to come
    bool m_verworfen_seit_senden = false;

    // Multi-byte exchange.
    Antwortplatz m_mb_antwort{};
    bool m_mb_bereit = false;
    bool m_mb_offen = false;
    bool m_mb_verwerfen = false;
    bool m_mb_verworfen_seit_senden = false;
    bool m_mb_vor_anfrage = false; // the answer being received began before the request
    bool m_mb_anfrage_A = false;   // the last multi-byte request is "@A\r": its error starts "E"
};

} // namespace orvexa
