#pragma once

#include "drivers/speicherantwort.h"
#include "drivers/speichermodul.h"
#include "platform/seriellerport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace orvexa {

// What the iKXIF and the KXCU modules share: the plain serial port (19200 8N1, no receive
// thread), sending a command with its terminator, reading an answer and waiting until the
// controller is idle, the version and position queries and the stops.
//
// Threads: the operations run on the thread that calls them and keep the window responsive
// while they wait. Achsen_anhalten, Achsen_sofort_stoppen and Port_schliessen may come from
// the window thread while a worker waits for the controller; they end that wait first, then
// take their turn on the port.
class Speichermodulbasis : public Speichermodul {
public:
    static constexpr char SOH = 1;
    static constexpr char CR = 13;
    static constexpr std::size_t Befehl_max = 31;
    static constexpr int Antwortfrist_ms = 1000;
    static constexpr int Stillefrist_vorgabe_ms = 60000;

    ~Speichermodulbasis() override;

    bool Port_oeffnen(const std::string& name) override;
    void Port_schliessen() override;

    bool Version_abfragen() override;
    std::string Kennung() const override;
    int32_t Achsenposition_abfragen(char achse) override;

    void Achsen_anhalten() override;
    void Achsen_sofort_stoppen() override;
    void Bewegungsende_abwarten() override;

    // How long the controller may stay silent while it is busy before the wait ends with
    // WAIT_TIMEOUT; the controller is asked for a position first, so a long move that still
    // answers goes on.
    void Stillefrist_setzen(int ms) { m_stillefrist_ms.store(ms); }
    bool Beschaeftigt() const;
    std::string Letzte_Antwort() const;

protected:
    Speichermodulbasis(std::string titel, std::size_t antwort_max, std::string kennungsanfang);

    // Must be held around every exchange; recursive because a stop may arrive through the
    // window messages processed during a wait on the same thread.
    std::recursive_mutex& Austausch() const { return m_austausch; }

    void Senden(const std::string& befehl, char terminator);
    // True when at least one byte came.
    bool Antwort_lesen();
    void Leerlauf_abwarten();
    // Senden followed by Antwort_lesen.
    void Befehl(const std::string& befehl, char terminator = CR);
    // The same after waiting until the controller is idle.
    void Befehl_nach_Leerlauf(const std::string& befehl, char terminator = CR);

    // A value above max shows the box "unzulässiger Wert für <was>" and gives max.
    int32_t Begrenzen(int32_t wert, int32_t max, const char* was, const char* titel);
    void Warnung(const std::string& text, const std::string& titel);

    // KXCU: an ETX while recording marks the memory full instead of the controller busy.
    virtual bool Aufzeichnung_laeuft() const { return false; }

    Antwortleser m_leser; // guarded by Austausch()
    int32_t m_geschwindigkeit[100] = {};
    int32_t m_rampe = 0;
    int32_t m_referenzfreq = 0;

private:
    void Stopp_senden(const char* befehl);
    bool Wartet_auf_Ende() const { return m_unterbrechung.load() > 0; }

    const std::string m_titel;
    const std::string m_kennungsanfang;
    mutable std::recursive_mutex m_austausch;
    SeriellerPort m_port;
    std::string m_kennung;
    // Stops and closes that wait for their turn; while one does, waits end at once.
    std::atomic<int> m_unterbrechung{0};
    std::atomic<int> m_stillefrist_ms{Stillefrist_vorgabe_ms};
};

} // namespace orvexa
