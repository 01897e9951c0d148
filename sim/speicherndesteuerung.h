#pragma once

// The program-storing controllers (iKXIF, Modul 2; KXCU, Modul 3) on a pseudo-terminal: the
// program opens Geraetepfad() as its COM port.
//
// Wire protocol as these controllers speak it. A request is a command of at most 31 characters
// followed by one terminator: CR queues it (a setting that arrives while nothing is queued
// takes effect at once), SOH queues it and starts the queue. Every answer ends with CR.
//   request                    answer
//   <command> CR               CR; refused: "E1" CR (unknown) or "E6" CR (bad value),
//                              longer than 31 characters: "E8" CR
//   [<command>] SOH            ETX CR when there is something to run, then STX CR when the
//                              queue has run empty; STX CR at once when there is nothing
//   @V                         "@V " identification CR ("KX-IKXIF ..." or "KX900i ...")
//   @L<axis>                   "@L<axis> " position CR      (bad axis: "E6" CR)
//   @B, @S                     "@B" CR, "@S" CR: the axes stop where they are, the queue is
//                              dropped, no STX follows
//   other @..                  "E1" CR
// Commands:    iKXIF                                   KXCU
//   T0|1 F0|1 Z0..2 A0|A1                              U0|U1 &V0|&V1 A1..4,0|1
//   #S0..5000 #R0..60000 #E<slot>,0..5000 (slots 0..99 iKXIF, 0..10 KXCU)
//   #D<axis>,n,n,n,n #O<axis>, <steps>  (iKXIF)
//   $H<axes> (x, y, z; the KXCU also u), L<slot>[,<axis><value>]... (lower case relative,
//   upper case absolute), W0..32000: the motions of the queue; a reference run takes the axes
//   to 0 with the speed of slot 1, a move with the speed of its slot; one without a speed is
//   skipped.
// KXCU fixed memory: @F starts a recording (answer CR); every following command is checked and
// stored (CR) instead of carried out; when it does not fit, ETX CR, for it and every further
// one; an empty command with SOH ends the recording (CR; "E4" CR when it did not fit: nothing
// of it is kept). @E erases the memory and ends a recording (CR). The unit's own start key
// (Festprogramm_starten) replays the stored program: ETX CR, then STX CR at its end.

#include "speichermodell.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvexa {

class SpeicherndeSteuerung {
public:
    struct Optionen {
        int32_t Modul = 2;    // 2 iKXIF, 3 KXCU
        double Zeitskala = 0; // 0 = moves end at once, 1 = real speed
        std::string Kennung;  // empty: the type's default
        std::size_t Festwertspeicher = Speichermodell::Festwertspeicher_vorgabe; // bytes
        // Speeds kept from before switching on (start speed, every slot); 0: none kept.
        int32_t Vorgabe_Startfreq = 0;
        int32_t Vorgabegeschwindigkeit = 0;
    };

    // Throws std::system_error when no pseudo-terminal can be made.
    SpeicherndeSteuerung();
    explicit SpeicherndeSteuerung(const Optionen& optionen);
    ~SpeicherndeSteuerung();
    SpeicherndeSteuerung(const SpeicherndeSteuerung&) = delete;
    SpeicherndeSteuerung& operator=(const SpeicherndeSteuerung&) = delete;

    const std::string& Geraetepfad() const { return m_pfad; }
    // Ends the thread; the pseudo-terminal is closed. Called by the destructor.
    void Stoppen();

    void Zeitskala_setzen(double skala);
    void Festwertspeicher_setzen(std::size_t bytes);
    // The KXCU's start key. False when there is no stored program or the unit is busy.
    bool Festprogramm_starten();

    // Faults, all switchable at any time from any thread.
    void Stumm_schalten(bool stumm); // requests are read and recorded, not answered
    // Every answer leaves ms later, in order.
    void Antwortverzoegerung_setzen(int ms);
    void Muell_senden(bool an, std::string bytes = "?\xAB~");
    void Naechste_Antwort_abschneiden(std::size_t bytes); // only the first bytes of the next one
    // Closes the master side: the program's side sees a hang-up. Returns once it is closed.
    void Ausstecken();
    // Plugs the unit in again on a fresh pseudo-terminal; Geraetepfad() names it afterwards
    // (read it on the thread that plugged). The model keeps its state, as a unit that stayed
    // powered does; what it was about to send is lost. False when no pseudo-terminal could be
    // made. Does nothing while plugged in.
    bool Einstecken();

    // What the controller has seen and holds.
    std::vector<std::string> Anfragen() const;
    std::vector<std::string> Abgelehnt() const;
    std::size_t Anfragenzahl() const;
    // Waits until at least n requests have arrived; false on time-out.
    bool Warten_auf_Anfragen(std::size_t n, int timeout_ms) const;
    int32_t Position(char achse) const;
    Speichermodell::Einstellungen Einstellungen() const;
    bool Laeuft() const;
    bool Aufzeichnung() const;
    std::vector<std::string> Festprogramm() const;

private:
    void Lauf();
    void Wecken();
    void Antworten_einreihen(std::vector<std::string> antworten);
    void Master_schliessen();
    void Ausgang_verwerfen();
    void Faellige_freigeben(int64_t jetzt);
    void Wieder_einstecken();

    int m_master = -1;
    int m_slave = -1; // held open so that the master never sees a hang-up of its own
    int m_wecker = -1;
    std::string m_pfad;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_bedingung;
    Speichermodell m_modell;
    bool m_stumm = false;
    bool m_muell = false;
    std::string m_muellbytes;
    std::optional<std::size_t> m_abschneiden;
    bool m_ausstecken = false;
    bool m_ausgesteckt = false;
    bool m_einstecken = false;
    bool m_eingesteckt = false;
    int m_verzoegerung_ms = 0;
    std::string m_sendepuffer; // guarded by m_mutex
    struct Verspaetet {
        int64_t faellig;
        std::string bytes;
    };
    std::deque<Verspaetet> m_verspaetet; // answers held back by the delay, guarded by m_mutex

    std::atomic<bool> m_ende{false};
    std::thread m_thread;
};

} // namespace orvexa
