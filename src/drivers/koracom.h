#pragma once

#include "platform/ereignis.h"
#include "platform/seriellerport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orvexa {

class TkoraCOM_thread;

// The serial link to the microcontroller controllers: owns the port and the receive thread
// that cuts the byte stream into answers, and makes each request/answer exchange atomic
// between threads. Failures are raised as Steuerungsfehler through ThrowError.
class TkoraCOM {
public:
    static constexpr uint8_t Tag_nicht_geoeffnet = 5;
    static constexpr int32_t Standardfrist_ms = 512;
    static constexpr int32_t ohne_Frist = -1;
    static constexpr std::size_t Puffer_max = 259;  // answer and request fields
    static constexpr std::size_t Anfrage_max = 127; // bytes written per request
    static constexpr std::size_t Operationstext_max = 63;

    TkoraCOM();
    ~TkoraCOM(); // UnInit when still started
    TkoraCOM(const TkoraCOM&) = delete;
    TkoraCOM& operator=(const TkoraCOM&) = delete;

    // Opens COM<port> (through the port directory) and starts the receive thread.
    void Init(int32_t port, int32_t baud);
    // Opens and configures one port; false when it cannot (the reason is logged).
    bool OpenSerialPort(const std::string& pfad, int32_t baud);
    // Proves that a controller answers (the empty command is refused with "E1" BEL).
    void Connect();
    void UnInit();

    void SendReq(const std::string& anfrage);
    void SendReq_MB(const std::string& anfrage);
    // 0 means 512 ms, -1 no limit. Return the answer as received.
    std::string WaitResp(int32_t timeout_ms);
    std::string WaitResp_MB(int32_t timeout_ms);
    // One whole exchange under hMutexSendWait; "@" requests go the multi-byte way.
    std::string SendWait(const std::string& anfrage, int32_t timeout_ms);
    // Ends a WaitResp without limit that is going on now (a move's completion) with the abort
    // code 2000: the stop for a controller that no longer answers.
    void Warten_abbrechen();
    // For tests: waits until a wait without limit is going on, one that Warten_abbrechen or
    // UnInit would end; false after ms or without a receive thread.
    bool Unbegrenzte_Wartezeit_abwarten(int ms = 5000);

    void SetTag(uint8_t tag);
    uint8_t Tag() const { return m_tag.load(); }
    void SetStoreMode(bool an); // only with tags 2 to 4
    bool StoreMode() const { return m_speichermodus.load(); }
    bool bAppStarted() const { return m_gestartet.load(); }

    // The description of the command now in progress (title of error boxes).
    void Operationstext_setzen(const std::string& text);
    std::string Operationstext() const;

    // Logs "koraCOM->" operation " :: " text, shows a warning box unless code is 1012, and
    // raises code.
    [[noreturn]] void ThrowError(const std::string& operation, const std::string& text,
                                 int32_t code);

    // Fields of the last exchange.
    std::string Letzte_Anfrage() const;
    std::string Antwort() const;
    std::string Letzte_Anfrage_MB() const;
    std::string Antwort_MB() const;

private:
    // thread is the receive thread the exchange began with (null when the link is closed).
    void Senden(const std::shared_ptr<TkoraCOM_thread>& thread, const std::string& anfrage,
                bool mehrbyte);
    std::string Warten(const std::shared_ptr<TkoraCOM_thread>& thread, bool mehrbyte,
                       int32_t timeout_ms);
    void UnInit_intern();
    // The wait was ended by UnInit: logged, raised as 1011, no box (the program closes the
    // link itself).
    [[noreturn]] void Geschlossen_melden(const std::string& operation);

    struct Zustand;
    std::unique_ptr<Zustand> m_z;
    std::atomic<uint8_t> m_tag{2};
    std::atomic<bool> m_speichermodus{false};
    std::atomic<bool> m_gestartet{false};
};

} // namespace orvexa
