#pragma once

// The parallel-port driver of the cards without intelligence of their own: the PC makes every
// step. Straight moves of x, y, z (or u alone) with a linear ramp run on the motion thread
// TlptThread; everything else runs on the caller's thread. One instance per card module.

#include "drivers/lptthread.h"
#include "platform/ereignis.h"
#include "platform/portio.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace orvexa {

enum class Fahrtergebnis { fertig, abgebrochen };

// Driver modes of the moves.
inline constexpr int32_t lpt_Phasenbetrieb = 0;
inline constexpr int32_t lpt_TaktRichtung = 1;

// What the motion thread measured over the last move, for the timing benchmark and the log.
struct Fahrtstatistik {
    int64_t zyklen = 0;
    int64_t ueberlaeufe = 0;     // cycles that found their period already over
    int64_t arbeit_ns_summe = 0; // time in the cycles outside the busy-waits
    int64_t arbeit_ns_max = 0;
    int64_t spaetester_ns = 0; // how far the latest cycle overran its period
};

class Kora_lpt {
public:
    static constexpr int64_t Referenzweg = 5'000'000;
    static constexpr int Referenzpause_ms = 250;
    static constexpr int32_t Standard_Maximalfrequenz = 12000;
    static constexpr int32_t Standard_Pulsteiler = 250000;
    static constexpr int32_t Laengste_Rampe_ms = 60000;
    // Low time of pin 1 with which the phase card takes a byte.
    static constexpr int64_t Strobe_ns = 10'000;
    // A direction line changes this long before the step edge that needs it: drivers on the
    // card sample the direction at the edge.
    static constexpr int64_t Richtungsvorlauf_ns = 5'000;

    struct Zaehlerstand {
        int32_t x = 0, y = 0, z = 0, u = 0;
    };

    // Without a port the driver takes PortIO_erzeugen() at lpt_Initialisieren.
    explicit Kora_lpt(std::unique_ptr<PortIO> port = nullptr);
    ~Kora_lpt();
    Kora_lpt(const Kora_lpt&) = delete;
    Kora_lpt& operator=(const Kora_lpt&) = delete;

    // Whether motion threads started from now on ask for SCHED_FIFO and locked memory
    // (process-wide; on by default). Off for tests that run many drivers side by side.
    static void Echtzeit_erlauben(bool erlaubt);

    bool lpt_Initialisieren();
    void lpt_Beenden();
    bool lpt_Zeitbasis();
    // Opens the port at the address; false (after the operator's box) when it cannot.
    bool lpt_Adresse_setzen(const std::string& text);
    void lpt_Pinbelegung(int32_t belegung);
    void lpt_Eingangsmodus(bool gruppe_11_bis_15, bool nur_pin11, bool aktiv_hoch);
    void lpt_Endschalterschutz(bool an);
    void lpt_Grenzwerte(int32_t maximalfrequenz, int32_t pulsteiler);
    void lpt_Phasentabellen(int32_t schrittbetrieb, int32_t ruhestrom);

    // The motion operations block until the move is over.
    Fahrtergebnis lpt_Vektorfahrt(int32_t modus, int32_t x, int32_t y, int32_t z, int32_t start,
                                  int32_t ziel, int32_t rampe_ms);
    Fahrtergebnis lpt_UFahrt(int32_t modus, int32_t u, int32_t start, int32_t ziel,
                             int32_t rampe_ms);
    // The counters are cleared first; a completed run leaves the homed axis's counter at 0,
    // an aborted one leaves the steps made on every counter.
    Fahrtergebnis lpt_Referenzfahrt(int32_t modus, char achse, int32_t offset, int32_t start,
                                    int32_t referenz, int32_t rampe_ms);
    Zaehlerstand lpt_Zaehler_lesen() const;

    void lpt_Haltestrom(bool mit_z);
    void lpt_Relais(bool an);
    void lpt_Ausgang_setzen(int32_t pin, bool an);
    bool lpt_Eingang_lesen(int32_t pin);
    void lpt_Auf_Eingang_warten(bool warten);
    bool lpt_Warten(int32_t ms);
    // From any thread, during a move.
    void lpt_Anhalten();
    void lpt_Sofort_stoppen();
    bool lpt_Endschalter_aktiv();

    int32_t Maximalfrequenz() const { return m_maximalfrequenz.load(); }
    int32_t Pulsteiler() const { return m_pulsteiler.load(); }
    bool Endschalterschutz() const { return m_endschalterschutz.load(); }
    bool Tabellen_gesetzt() const { return m_tabellen_gesetzt; }
    int32_t Phasenindex(char achse) const;
    bool Port_offen() const { return m_port_offen.load(); }
    bool Thread_laeuft() const;
    // Whether the motion thread runs with real-time priority.
    bool Echtzeit() const { return m_echtzeit.load(); }
    Fahrtstatistik Letzte_Fahrt() const;

private:
    friend class TlptThread;

    // The worker's side.
    Fahrtergebnis Linearfahrt(int32_t modus, int64_t x, int64_t y, int64_t z, int32_t s, int32_t w,
                              int32_t r);
    Fahrtergebnis UFahrt(int32_t modus, int64_t u, int32_t s, int32_t w, int32_t r);
    // Up to four axes; the first with the largest count (in the order x, y, z, u) leads.
    Fahrtergebnis Fahrt(int32_t modus, const std::array<int64_t, 4>& wege, int32_t s, int32_t w,
                        int32_t r);
    Fahrtergebnis Referenzfahrt_Achse(int32_t modus, char achse, int64_t offset, int32_t s,
                                      int32_t v, int32_t r);
    // False when the driver is ending.
    bool Pause(int ms);
    void Echtzeit_einrichten();
    void Echtzeit_aufgeben();

    // Marks a caller that uses the motion thread's events, so lpt_Beenden from another
    // thread does not destroy them under it.
    class Aufruf {
    public:
        explicit Aufruf(Kora_lpt& treiber);
        ~Aufruf();
        Aufruf(const Aufruf&) = delete;
        Aufruf& operator=(const Aufruf&) = delete;
        bool gueltig() const { return m_gueltig; }

    private:
        Kora_lpt& m_treiber;
        bool m_gueltig;
    };

    // The caller's side of the command slot.
    Fahrtergebnis Auftrag_ausfuehren(TlptThread::Befehl befehl,
                                     const TlptThread::Argumente& argumente);
    // Holding the idle signal keeps moves out while the caller changes what they read.
    bool Leerlauf_nehmen();
    void Leerlauf_zurueckgeben(bool genommen);
    void Ueberlaufpiepton_spielen();
    void Pinbelegung_setzen(int32_t belegung);

    bool Ende_angefordert() const { return m_ende.load(std::memory_order_relaxed); }
    int64_t Ticks(int64_t ns) const { return m_zaehlerfrequenz / 1'000'000 * ns / 1000; }
    // Both return the counter value that ended the wait.
    int64_t Warten_aktiv(int64_t ticks);
    int64_t Periode_abwarten(int64_t ende);
    bool Datenbyte_schreiben(uint8_t wert);
    bool Phasenbyte_schreiben(uint8_t wert);
    bool Status_lesen(uint8_t& wert);
    void Zaehler_setzen(int achse, int64_t wert);
    void Piepton(int hz, int ms);

    std::unique_ptr<PortIO> m_port;
    std::atomic<bool> m_port_offen{false};
    uint16_t m_daten = 0x378, m_status = 0x379, m_steuer = 0x37A;

    uint8_t m_ausgabebyte = 0;
    std::array<uint8_t, 4> m_richtungsbit{};
    std::array<uint8_t, 4> m_schrittbit{};
    uint8_t m_alle_schrittbits = 0;
    std::array<std::atomic<int32_t>, 4> m_schrittzaehler{};

    std::array<int32_t, 3> m_phasenindex{};
    int32_t m_hoechster_index = 7;
    std::array<uint8_t, 8> m_lauftabelle{};
    std::array<uint8_t, 8> m_stillstandstabelle{};
    bool m_tabellen_gesetzt = false;
    bool m_stillstand_gesetzt = false;

    std::atomic<bool> m_nur_pin11{false};
    std::atomic<bool> m_gruppe_11_bis_15{false};
    std::atomic<bool> m_aktiv_hoch{false};

    std::atomic<bool> m_endschalterschutz{false};
    // Set only by the motion thread during a reference run.
    bool m_stopp_bei_aktiv = false;
    bool m_stopp_bei_inaktiv = false;

    std::atomic<bool> m_anhalteanforderung{false};
    std::atomic<bool> m_stoppanforderung{false};
    std::atomic<bool> m_ende{false};
    Ereignis m_ende_ereignis{true};

    std::atomic<int32_t> m_maximalfrequenz{Standard_Maximalfrequenz};
    std::atomic<int32_t> m_pulsteiler{Standard_Pulsteiler};
    int64_t m_zaehlerfrequenz;

    // Overrun beeps are played by the waiting caller, so a late cycle is not made later still.
    std::atomic<int32_t> m_offene_ueberlaufpieptoene{0};
    Fahrtstatistik m_statistik;
    // Whether the last move ended on the stop conditions of the input.
    bool m_ende_durch_eingang = false;

    std::atomic<int32_t> m_aufrufer{0};
    std::atomic<bool> m_echtzeit{false};
    bool m_speicher_gesperrt = false;
    std::unique_ptr<TlptThread> m_thread;
};

} // namespace orvexa
