#pragma once

#include "platform/dialogarbeiter.h"

namespace orvexa {

class Vektorausgabe;

// The vector output dialog's worker: command 1 carries out the run.
class TVekThread : public Dialogarbeiter {
public:
    static constexpr int Befehl_Lauf = 1;

    // The run is not owned and must outlive the worker.
    explicit TVekThread(Vektorausgabe& lauf) : m_lauf(lauf) {}
    ~TVekThread() override;

protected:
    void Befehl_ausfuehren(int befehl) override;

private:
    Vektorausgabe& m_lauf;
};

} // namespace orvexa
