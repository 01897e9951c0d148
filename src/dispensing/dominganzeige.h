#pragma once

#include <cstdint>
#include <string>

namespace orvexa {

struct DomingJob;

// The part a run is about to dispense: the counters of the visit order and where it lies.
struct DomingTeil {
    int Durchlauf = 1; // 1 for the first pass; counts up with "Dauertest"
    int32_t ixBogen = 0;
    int32_t iyBogen = 0;
    int32_t ix = 0;
    int32_t iy = 0;
    double x = 0.0; // millimetres
    double y = 0.0;
};

// What the Doming window shows of the work its worker does. The worker calls these on its own
// thread; a window marshals them to the window thread. Every call has a do-nothing default so
// that headless users (tests, the command-line runner) override only what they look at.
class DomingAnzeige {
public:
    static constexpr int Statusfeld_Ventil = 3; // "A1::ON", "A1::OFF", "A1::???"
    static constexpr int Statusfeld_Laser = 4;  // "A2::…"

    virtual ~DomingAnzeige() = default;

    virtual void Statusfeld_setzen(int /*feld*/, const std::string& /*text*/) {}
    // The position panels; the window adds the length unit.
    virtual void Position_anzeigen(double /*x_mm*/, double /*y_mm*/) {}
    // After a failed reference run: "xPos = --.-" and "yPos = --.-".
    virtual void Position_unbekannt() {}
    // One executed contour row, relative to the contour's origin, drawn with a 2-pixel pen
    // (linie false: the pen only moves there); the preview is repainted after each.
    virtual void Vorschau_Schritt(bool /*linie*/, double /*x_mm*/, double /*y_mm*/) {}
    // The whole contour once more, after it was played.
    virtual void Vorschau_neu_zeichnen() {}
    virtual void Nachrichten_verarbeiten() {}

    // Busy state of the worker: menus, job panel, buttons and check boxes disabled while an;
    // fortsetzen says whether "&Fortsetzen" is enabled afterwards.
    virtual void Beschaeftigt(bool /*an*/, bool /*fortsetzen*/) {}
    // The run takes the job from the controls (the window reads its fields into job); the
    // run applies the acceptance rules afterwards.
    virtual void Job_lesen(DomingJob& /*job*/) {}
    // The run unticks "Laserpointer ON/OFF" before its first pass.
    virtual void Laserpointer_Haken_setzen(bool /*an*/) {}
    virtual void Teil_beginnt(const DomingTeil& /*teil*/) {}
    // The run time counts from the passed job checks to the run's closing log line.
    virtual void Lauf_gestartet(bool /*an*/) {}
};

} // namespace orvexa
