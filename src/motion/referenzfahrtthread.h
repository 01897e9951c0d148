#pragma once

#include "platform/dialogarbeiter.h"
#include "platform/ereignis.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace orvexa {

// The axes a reference run homes: the boxes that are checked and enabled.
struct Referenzachsen {
    bool x = false;
    bool y = false;
    bool z = false;
    bool u = false;

    bool keine() const { return !x && !y && !z && !u; }
    bool operator==(const Referenzachsen&) const = default;
};

// What the reference run shows while it works. Called on the worker; a window hands the
// update to the window thread and must not block on it there.
class Referenzfahrt_Beobachter {
public:
    virtual ~Referenzfahrt_Beobachter() = default;
    // Running: panel and Start disabled, Abbrechen shown instead of Schließen; idle: the
    // reverse.
    virtual void Laeuft(bool /*laeuft*/) {}
};

// The reference dialog's worker. Command 1 homes the axes handed over with Lauf_starten; the
// dialog's buttons reach the machine through Lauf_starten and Abbrechen, which are called on
// the window thread.
class TReferenzfahrtThread : public Dialogarbeiter {
public:
    static constexpr int Befehl_Lauf = 1;
    static constexpr const char* Titel = "Referenzfahrt";
    // The buttons stay switched this long after a run, so a run without axes still shows.
    static constexpr int Nachlauf_ms = 500;

    // The observer is not owned and must outlive the worker.
    TReferenzfahrtThread();
    explicit TReferenzfahrtThread(Referenzfahrt_Beobachter& beobachter);
    ~TReferenzfahrtThread() override;

    // "S&tarten": hands the run over when the worker is idle within 100 ms; a press during a
    // run is ignored (false).
    bool Lauf_starten(const Referenzachsen& achsen);
    // "&Abbrechen" and Esc: stops the axes at once. During a run the run also ends with the
    // abort (2000), so the remaining axes are not homed. Errors of the stop are reported.
    void Abbrechen();

    // From Lauf_starten until the run has switched the buttons back.
    bool Beschaeftigt() const;
    // Waits until the run handed over last is over; false after ms (ms < 0: no limit).
    bool Warten_bis_fertig(int ms) const;

    // The code that ended the last run, 0 when it ended normally.
    int32_t Letzter_Fehlercode() const;

protected:
    void Befehl_ausfuehren(int befehl) override;

private:
    void Lauf(const Referenzachsen& achsen);

    Referenzfahrt_Beobachter& m_beobachter;

    mutable std::mutex m_mutex; // guards the members below and the abort flag's meaning
    Referenzachsen m_achsen;
    bool m_beschaeftigt = false;
    bool m_abbruch_vorgemerkt = false; // stopped before the run began
    int32_t m_fehlercode = 0;
    mutable Ereignis m_fertig{true, true}; // manual reset: set while no run is handed over
};

// "InitializeSteuerung" as the dialog calls it when shown: errors are reported with the
// dialog's caption and returned (0: none); the dialog stays open either way.
int32_t Referenzfahrt_initialisieren(bool vollinitialisierung);

// The status input pin of each axis's reference switch (x, y, z, u) for a controller type;
// 0 where the type shows no switch.
std::array<int32_t, 4> Referenzschalterpins(int32_t modul);

// The switch display: which axis captions are black (switch input high) now. Each pin is read
// once; axes without a pin are never black.
std::array<bool, 4> Referenzschalter_abfragen(int32_t modul);

// Stores the check marks as xRefAktiv..uRefAktiv (1 checked, 0 not) and saves the parameter
// file. An axis left out (nicht_speichern) keeps its stored value.
bool Referenzauswahl_speichern(const Referenzachsen& haken,
                               const Referenzachsen& nicht_speichern = {});

} // namespace orvexa
