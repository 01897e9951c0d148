#pragma once

#include "drivers/koracom_empfang.h"
#include "platform/ereignis.h"
#include "platform/seriellerport.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace orvexa {

// The receive thread of the serial link: reads the port one byte at a time and feeds it to the
// byte machine (Empfangsautomat), which cuts the stream into ordinary answers and multi-byte
// ("@") answers; this class hands them to the waiting callers.
//
// The hand-over conditions (an ordinary or multi-byte request may be sent, an answer is
// complete, the answer has been taken) live in one monitor instead of separate events, because
// every wait must also end when a caller gives up after a time-out, when the controller goes
// away and when the link is closed; with single events these endings race with the signals.
//
// Complete ordinary answers go into a small queue, so that an answer nobody asked for does not
// stop the thread from reading the multi-byte answers behind it; the thread waits only when the
// queue is full.
class TkoraCOM_thread {
public:
    // States of the byte machine.
    static constexpr int16_t Ruhe = Empfangsautomat::Ruhe;
    static constexpr int16_t Antwortbeginn = Empfangsautomat::Antwortbeginn;
    static constexpr int16_t Antwortrest = Empfangsautomat::Antwortrest;
    static constexpr int16_t MB_Beginn = Empfangsautomat::MB_Beginn;
    static constexpr int16_t MB_Rest = Empfangsautomat::MB_Rest;

    static constexpr std::size_t Puffergroesse = Empfangsautomat::Puffergroesse;
    static constexpr std::size_t Warteschlange_max = Empfangsautomat::Warteschlange_max;

    enum class Ergebnis { ok, zeitueberschreitung, getrennt, beendet, abgebrochen };

    // tag is read for every byte: bytes are dropped unless it is 2, 3 or 4.
    TkoraCOM_thread(SeriellerPort& port, const std::atomic<uint8_t>& tag);
    ~TkoraCOM_thread(); // Beenden
    TkoraCOM_thread(const TkoraCOM_thread&) = delete;
    TkoraCOM_thread& operator=(const TkoraCOM_thread&) = delete;

    // Starts the thread and returns once it runs. Throws std::system_error when it cannot.
    void Starten();
    // Ends every wait of the callers (they get `beendet`), cancels the pending read and joins.
    // Safe to call more than once and from any thread but the receive thread itself.
    void Beenden();

    // Waits (without limit) until a request of the kind may be sent and opens its exchange.
    // An ordinary request waits while another thread's ordinary exchange is open, i.e. until
    // its completion answer after a NAK has been taken; a multi-byte request waits while
    // another multi-byte exchange is open. The calling thread's own open exchange is given up.
    // Answers left over from earlier exchanges are dropped. eingang_leeren tells whether the
    // port's receive buffer may be discarded before writing: not while an exchange of the
    // other kind still waits for bytes.
    Ergebnis Senden_freigeben(bool mehrbyte, std::string_view anfrage, bool& eingang_leeren);

    // The next answer of the kind; frist_ms < 0 waits without limit. After a time-out the
    // exchange is given up: an answer that comes later is dropped, a partly received one is
    // thrown away, and the next request may be sent.
    Ergebnis Antwort_abholen(bool mehrbyte, int frist_ms, std::string& antwort);

    // Ends the ordinary waits without limit (a move's completion) that are going on now with
    // `abgebrochen`; the exchange is given up as after a time-out. Nothing is kept for later
    // waits.
    void Warten_abbrechen();

    // For tests: waits until a caller waits without limit (of either kind); false after ms or
    // once the thread is ended.
    bool Unbegrenzte_Wartezeit_abwarten(int ms);

    // For tests and diagnosis.
    int16_t Status() const;
    bool Getrennt() const;

private:
    void Lauf();
    // False when the link closes while a complete answer waits for room in the queue.
    bool Byte_verarbeiten(unsigned char byte, std::unique_lock<std::mutex>& lock);
    void Aufgeben(bool mehrbyte);
    // Tells the waiting callers that the monitor changed, the spinning ones included.
    void Wecken();
    // Spins for a moment while nothing changes (from stand on): an answer that comes within it is
    // taken without the caller going to sleep and being woken again.
    void Kurz_abwarten(uint64_t stand) const;

    SeriellerPort& m_port;
    const std::atomic<uint8_t>& m_tag;
    Ereignis hEventThreadRun;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_bedingung;
    std::condition_variable m_wartet_unbegrenzt; // only for Unbegrenzte_Wartezeit_abwarten
    bool m_beenden = false;
    bool m_getrennt = false;

    Empfangsautomat m_empfang; // guarded by m_mutex
    std::thread::id m_offen_von;
    std::thread::id m_mb_offen_von;
    int m_unbegrenzt_wartend = 0;
    bool m_warten_abbrechen = false;
    std::atomic<uint64_t> m_weckungen{0};
};

} // namespace orvexa
