#pragma once

#include "dispensing/domingablauf.h"
#include "platform/dialogarbeiter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace orvexa {

// The Doming window's worker: 1 reference run ("REF"), 2 jog (a jog button), 3 run ("S&tart",
// "&Fortsetzen"). One command at a time: a press that finds a command still open is dropped at
// once, one the worker does not take within 100 ms is dropped as well.
class TDomingThread : public Dialogarbeiter {
public:
    static constexpr int Befehl_Referenzfahrt = 1;
    static constexpr int Befehl_Fahren = 2;
    static constexpr int Befehl_Lauf = 3;

    // The run is not owned and must outlive the worker, which takes its begin hook.
    explicit TDomingThread(DomingAblauf& ablauf);
    ~TDomingThread() override;

    // Presses on the window thread; false when the press was dropped.
    bool RefBitBtn();
    bool Fahren(const DomingJogeingaben& eingaben);
    bool Lauf(const DomingLaufeingaben& eingaben);

    // "&Abbrechen", and releasing a jog button in continuous mode (window thread): stops the
    // axes of a command that has begun; a command handed over that has not begun yet is
    // stopped as it begins. Nothing while idle.
    void Abbrechen();

    // A command was accepted and has not ended yet.
    bool Beschaeftigt() const { return m_beschaeftigt.load(); }
    // What the last run and the last command ended with; read once the command is over.
    DomingLaufergebnis Laufergebnis() const;
    int32_t Letzter_Fehlercode() const;

    // Called on the worker when a command is over, whatever ended it; the command's own
    // display calls have all been made by then.
    std::function<void(int befehl)> Befehl_beendet;

protected:
    void Befehl_ausfuehren(int befehl) override;

private:
    bool Uebernehmen(int befehl, const std::function<void()>& eingaben_setzen);
    void Begonnen();
    static void Anhalten();

    DomingAblauf& m_ablauf;
    std::atomic<bool> m_beschaeftigt{false};

    mutable std::mutex m_mutex;
    bool m_begonnen = false;
    bool m_stopp_vorgemerkt = false;
    DomingLaufeingaben m_lauf;
    DomingJogeingaben m_jog;
    DomingLaufergebnis m_laufergebnis;
    int32_t m_fehlercode = 0;
};

} // namespace orvexa
