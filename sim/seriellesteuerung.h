#pragma once

// A serial controller on a pseudo-terminal: the program opens Geraetepfad() as its COM port.
//
// Wire protocol as this controller speaks it (answers are cut at the first control byte):
//   request               answer
//   <CR> (empty)          "E1" BEL
//   unknown command       "E1" BEL            bad argument     "E6" BEL
//   longer than 256 bytes "E8" BEL, the rest up to the CR is dropped
//   settings              ACK   (T, F, #S, #E, #R, #O, #PD, A, I2C-A, &E1, c, D)
//   $H.., L.., W..        NAK, then ACK when the move or dwell has ended
//   A<n>,<s> on the watchdog output: "E9" BEL
//   @V                    "@V " identification ACK
//   @L<axis>              "@L<axis> " position ACK
//   @I<input>             "@I<input> " 0|1 ACK        (inputs A..D)
//   @B                    "@B" ACK; the move ramps down, then its ACK follows
//   @S                    "@RS" ACK; the move stops at once, no ACK follows
//   other @..             "E1" BEL (bad axis or input letter: "E6" BEL)
//   *FR<n>                "*FR<n> -,-" CR when empty, else "*FR<n> <bytes>,<header>" CR
//   *PR<n>                "*PR<n>" CR, the header CR, each command CR, then ACK; empty: "E3" BEL
//   *PE<n>                "*PE<n>" CR, then ACK, or "E3" BEL when the place is empty
//   *PEa                  "*PEa" CR, then ACK
//   *PW<n>                ACK ("E5" BEL when the place is used); then the header up to its STX
//                         (a CR right after the STX is part of it) -> ACK ("E8" BEL when
//                         longer than 256 bytes: cut, the recording goes on); every command
//                         is checked and stored -> ACK, motion and dwell included; ETX alone
//                         ends the program -> ACK
//   place outside 1..7    "E2" BEL;   memory full: "E4" BEL for this and every further command
//                         of the recording, and the ETX; nothing of that program is kept
// Program memory, #PD and the recording exist on types 5 and 6 only, I2C-A on type 5, F on
// types 6 and 10 (and there only with T0); elsewhere these are unknown commands ("E1" BEL).
// A memory command ("*..") during a recording drops the unfinished program. ETX outside a
// recording: "E1" BEL.
// Ordinary requests that arrive while a move runs wait (up to 32, further ones are lost) and are
// carried out in order after its completion answer, as a controller reading one line at a time
// does; answering them at once would be taken by the link as the completion answer.

#include "steuerungsmodell.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvexa {

class SerielleSteuerung {
public:
    struct Optionen {
        int32_t Modul = 5;
        double Zeitskala = 0; // 0 = moves end at once, 1 = real speed
        std::string Kennung;  // empty: the type's default
        std::size_t Speichergroesse = Steuerungsmodell::Speichergroesse_vorgabe;
    };

    // Throws std::system_error when no pseudo-terminal can be made.
    SerielleSteuerung();
    explicit SerielleSteuerung(const Optionen& optionen);
    ~SerielleSteuerung();
    SerielleSteuerung(const SerielleSteuerung&) = delete;
    SerielleSteuerung& operator=(const SerielleSteuerung&) = delete;

    // The device the program opens.
    const std::string& Geraetepfad() const { return m_pfad; }
    // Ends the thread; the pseudo-terminal is closed. Called by the destructor.
    void Stoppen();

    void Zeitskala_setzen(double skala);
    bool Eingang_setzen(char eingang, bool pegel);
    void Watchdog_Ausgang_setzen(int nummer);

    // Faults, all switchable at any time from any thread.
    void Stumm_schalten(bool stumm);         // requests are read and recorded, not answered
    void Antwortverzoegerung_setzen(int ms); // every answer leaves ms later
    void Muell_senden(bool an, std::string bytes = "?\xAB~");
    void Naechste_Antwort_abschneiden(std::size_t bytes); // only the first bytes of the next one
    // Closes the master side: the program's side sees a hang-up. Returns once it is closed.
    void Ausstecken();
    // Plugs the unit in again on a fresh pseudo-terminal; Geraetepfad() names it afterwards
    // (read it on the thread that plugged). The model keeps its state, as a unit that stayed
    // powered does; what it was about to send is lost. False when no pseudo-terminal could be
    // made. Does nothing while plugged in.
    bool Einstecken();

    // Called on the simulator's thread, outside its lock, for every request once it is whole:
    // its text and when its first byte was read from the line (ns of Zeitbasis::Zaehler).
    // nullptr removes it.
    using Anfragebeobachter = std::function<void(const std::string& anfrage, int64_t erstes_byte)>;
    void Anfragebeobachter_setzen(Anfragebeobachter beobachter);

    // What the controller has seen and holds.
    std::vector<std::string> Anfragen() const;
    std::size_t Anfragenzahl() const;
    // Waits until at least n requests have arrived; false on time-out.
    bool Warten_auf_Anfragen(std::size_t n, int timeout_ms) const;
    int32_t Position(char achse) const;
    Steuerungsmodell::Einstellungen Einstellungen() const;
    bool Speichermodus() const;
    bool Bewegung_laeuft() const;
    std::optional<Steuerungsmodell::Programm> Programmplatz(int nummer) const;

private:
    void Lauf();
    void Wecken();
    void Antworten_einreihen(std::vector<std::string> antworten, int64_t jetzt);
    void Master_schliessen();
    void Ausgang_verwerfen();
    void Wieder_einstecken();

    int m_master = -1;
    int m_slave = -1; // held open so that the master never sees a hang-up of its own
    int m_wecker = -1;
    std::string m_pfad;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_bedingung;
    Steuerungsmodell m_modell;
    bool m_stumm = false;
    int m_verzoegerung_ms = 0;
    bool m_muell = false;
    std::string m_muellbytes;
    std::optional<std::size_t> m_abschneiden;
    bool m_ausstecken = false;
    bool m_ausgesteckt = false;
    std::shared_ptr<const Anfragebeobachter> m_beobachter;
    bool m_einstecken = false;
    bool m_eingesteckt = false;

    // Only the thread touches these.
    struct Ausgehend {
        int64_t faellig;
        std::string bytes;
    };
    std::deque<Ausgehend> m_ausgehend;
    std::string m_sendepuffer;

    std::atomic<bool> m_ende{false};
    std::thread m_thread;
};

} // namespace orvexa
