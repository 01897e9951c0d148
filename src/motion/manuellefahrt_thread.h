#pragma once

#include "platform/dialogarbeiter.h"

#include <atomic>
#include <cstdint>

namespace orvexa {

class ManuelleFahrt;

// The jog dialog's worker: 1 relay off, 2 relay on, 3 approach the chosen position, 4 jog.
//
// A press that finds a command still running is dropped at once rather than waiting the
// 100 ms for the worker: a held key repeats faster than a step ends, and every press that
// waited would become one more step after the key was let go.
class TManuelleFahrtThread : public Dialogarbeiter {
public:
    static constexpr int Befehl_Relais_aus = 1;
    static constexpr int Befehl_Relais_ein = 2;
    static constexpr int Befehl_Anfahren = 3;
    static constexpr int Befehl_Fahren = 4;

    // The jog is not owned and must outlive the worker.
    explicit TManuelleFahrtThread(ManuelleFahrt& fahrt) : m_fahrt(fahrt) {}
    ~TManuelleFahrtThread() override;

    // A button or key on the window thread; false when the press was ignored. A stop left
    // over from before (Esc while idle) is spent here, so it cannot end this command.
    bool Befehl_annehmen(int befehl);
    // A jog button or key: the direction is stored only when the press is accepted.
    bool Fahren(int32_t richtung);

    // A command was accepted and has not ended yet.
    bool Beschaeftigt() const { return m_beschaeftigt.load(); }

protected:
    void Befehl_ausfuehren(int befehl) override;

private:
    bool Uebernehmen(int befehl, int32_t richtung);

    ManuelleFahrt& m_fahrt;
    std::atomic<bool> m_beschaeftigt{false};
};

} // namespace orvexa
