#pragma once

#include "platform/dialogarbeiter.h"
#include "tables/programmspeicher.h"

#include <mutex>

namespace orvexa {

class Vektorausgabe;

// The program memory dialog's worker: each command is one action of the program memory on
// the place and with the write order given with it.
class TFlashThread : public Dialogarbeiter {
public:
    static constexpr int Befehl_Platz_waehlen = 1;
    static constexpr int Befehl_Auslesen = 2;
    static constexpr int Befehl_Loeschen = 3;
    static constexpr int Befehl_Alle_loeschen = 4;
    static constexpr int Befehl_Schreiben = 5;

    // Neither is owned; both must outlive the worker.
    TFlashThread(Programmspeicher& speicher, Vektorausgabe& lauf)
        : m_speicher(speicher), m_lauf(lauf) {}
    ~TFlashThread() override;

    // Hands the command over with its place (and, for a write, its order); false when the
    // worker was not idle within 100 ms.
    bool Befehl_geben(int befehl, int platz, const Schreibauftrag& auftrag = {});

protected:
    void Befehl_ausfuehren(int befehl) override;

private:
    Programmspeicher& m_speicher;
    Vektorausgabe& m_lauf;
    std::mutex m_mutex; // guards the order below
    int m_platz = 1;
    Schreibauftrag m_auftrag;
};

} // namespace orvexa
