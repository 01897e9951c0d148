#pragma once

// The HEIDENHAIN ND261 position display on a pseudo-terminal: the program opens Geraetepfad()
// as its COM port.
//
// Wire protocol: every STX (0x02) received is answered with the angle the display shows now,
// as a sign, the value right-aligned in ten characters with three decimals, CR and LF
// ("+    10.481" CR LF); other bytes are ignored. Framing (7E2 at 4800 Bd on the real line) is
// not seen on a pseudo-terminal.
//
// The angle comes from the rotary table turned by the x axis of the simulated KXCU: the
// motor's steps go through a backlash (the table follows only once the play in the drive is
// taken up, so it lags the motor by half the play in the direction of the last move), a gear
// that differs a little from the configured steps per degree, and a small fixed error of the
// display. Readings therefore fall off the step grid, as on the real machine.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace orvexa {

// The table and the display without I/O: steps in, angle out.
class Anzeigemodell {
public:
    struct Optionen {
        int32_t Schritte_pro_Grad = 200; // as configured
        double Getriebefehler = 0.003;   // the table turns by steps / (U × (1 + this))
        double Umkehrspiel = 2;          // play in the drive, in motor steps
        double Nullfehler = 0.001;       // degrees the display reads high
    };
    explicit Anzeigemodell(const Optionen& optionen) : m_o(optionen) {}

    // The angle shown with the motor at schritte; the play is taken up as the motor moved
    // since the last call.
    double Winkel(int32_t schritte);
    // The answer bytes for an angle.
    static std::string Antwort(double winkel);

private:
    Optionen m_o;
    std::optional<double> m_tisch; // table position in motor steps
};

class Positionsanzeige {
public:
    struct Optionen {
        Anzeigemodell::Optionen Modell;
        // The motor's position; empty: always 0.
        std::function<int32_t()> Schritte;
    };

    // Throws std::system_error when no pseudo-terminal can be made.
    explicit Positionsanzeige(Optionen optionen);
    ~Positionsanzeige();
    Positionsanzeige(const Positionsanzeige&) = delete;
    Positionsanzeige& operator=(const Positionsanzeige&) = delete;

    const std::string& Geraetepfad() const { return m_pfad; }

    // Faults, switchable at any time from any thread.
    void Stumm_schalten(bool stumm);                      // requests are counted, not answered
    void Naechste_Antwort_abschneiden(std::size_t bytes); // only the first bytes of the next one
    void Muell_senden(bool an, std::string bytes = "?\xAB~\r\n");
    void Antwortverzoegerung_setzen(int ms); // every answer leaves ms later, in order
    // Closes the master side; returns once it is closed.
    void Ausstecken();
    // A fresh pseudo-terminal after Ausstecken; Geraetepfad() names it afterwards (read it on
    // the thread that plugged). False when none could be made.
    bool Einstecken();

    // STX requests received so far.
    std::size_t Anfragen() const;
    bool Warten_auf_Anfragen(std::size_t n, int timeout_ms) const;
    // Waits until no delayed answer is held back any more; false after timeout_ms.
    bool Verspaetete_abwarten(int timeout_ms) const;

private:
    void Lauf();
    void Beantworten();
    void Wecken();
    void Stecker_pruefen();
    void Zurueckgehaltene_melden();

    Optionen m_o;
    Anzeigemodell m_modell; // touched only by the thread
    int m_master = -1;
    int m_slave = -1;
    int m_wecker = -1;
    std::string m_pfad;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_bedingung;
    std::size_t m_anfragen = 0;
    bool m_stumm = false;
    bool m_muell = false;
    std::string m_muellbytes;
    std::optional<std::size_t> m_abschneiden;
    int m_verzoegerung_ms = 0;
    bool m_ausstecken = false;
    bool m_ausgesteckt = false;
    bool m_einstecken = false;
    bool m_eingesteckt = false;
    std::size_t m_zurueckgehalten = 0; // m_verspaetet.size(), for other threads

    // Only the thread touches these.
    struct Verspaetet {
        int64_t faellig;
        std::string bytes;
    };
    std::deque<Verspaetet> m_verspaetet;

    std::atomic<bool> m_ende{false};
    std::thread m_thread;
};

} // namespace orvexa
