#pragma once

#include "ereignis.h"

#include <atomic>
#include <string>
#include <thread>

namespace orvexa {

// The worker thread a dialog owns for its machine actions. Its loop: signal hEventRun once;
// then signal hEventIdle, wait for hEventCmd, reset hEventIdle and carry out the command,
// until asked to end; then signal hEventEnd. A new worker is made each time its dialog is
// shown. Dialogs derive from it and implement Befehl_ausfuehren.
class Dialogarbeiter {
public:
    static constexpr int Befehl_keiner = 0;
    static constexpr int Annahmefrist_ms = 100;

    Dialogarbeiter() = default;
    Dialogarbeiter(const Dialogarbeiter&) = delete;
    Dialogarbeiter& operator=(const Dialogarbeiter&) = delete;
    // Ends a still running worker (after its current command) so no thread outlives it.
    virtual ~Dialogarbeiter();

    // Starts the thread and waits until it runs.
    void Starten();

    // A button press: hands the command over only when the worker signals hEventIdle within
    // 100 ms; otherwise the press is ignored and false returned.
    bool Befehl_geben(int befehl);

    // Closing the dialog. With auf_Leerlauf_warten the worker is ended only if it is idle
    // within 100 ms (false: busy, nothing done); without, it is told to end at once and the
    // call waits until its current command is over.
    bool Beenden(bool auf_Leerlauf_warten);

    bool Laeuft() const { return m_thread.joinable(); }
    // The command being carried out, or the last one.
    int Befehl() const { return m_befehl.load(); }
    bool Ende_angefordert() const { return m_beenden.load(); }

protected:
    // Called from a derived destructor so the thread never runs a half-destroyed object.
    void Beenden_im_Destruktor();
    virtual void Befehl_ausfuehren(int befehl) = 0;
    // A command that let an exception escape; the worker goes on.
    virtual void Unerwarteter_Fehler(const std::string& text);

    Ereignis hEventRun;
    Ereignis hEventIdle;
    Ereignis hEventCmd;
    Ereignis hEventEnd;

private:
    void Schleife();
    void Ende_anfordern_und_abwarten();

    std::thread m_thread;
    std::atomic<int> m_befehl{Befehl_keiner};
    std::atomic<bool> m_beenden{false};
};

} // namespace orvexa
