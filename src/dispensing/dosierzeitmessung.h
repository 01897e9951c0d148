#pragma once

#include <cstdint>
#include <functional>

namespace orvexa {

// The rules of the dosing-time dialog without its widgets: a counter of quarter seconds
// (0..480) that grows while "Dosieren" is held, one step per timer tick, and the valve
// switching around it. The dialog forwards its button, arrow and timer events and starts or
// stops its 250 ms timer as Takt_laeuft() says.
class Dosierzeitmessung {
public:
    static constexpr int32_t Hoechstwert = 480;
    static constexpr int Takt_ms = 250;

    // The counter a dialog opens with: trunc((PDosierzeit + 0.125) * 4) within 0..480.
    static int32_t Startwert(double PDosierzeit);

    // The valve: 1 opens, 0 closes (the Doming window fills it with DomingAusgangssignal, so
    // the dosing head and the laser-pointer operation apply). May raise Steuerungsfehler.
    std::function<void(int32_t)> Ventil;
    // Waits the given seconds on the controller; Doming_Warten unless replaced.
    std::function<void(double)> Warten;

    Dosierzeitmessung();

    void Oeffnen(double PDosierzeit) { Setzen(Startwert(PDosierzeit)); }
    // Each activation of the dialog: not dosing, timer stopped.
    void Aktivieren();

    int32_t Wert() const { return m_wert; }
    void Setzen(int32_t wert);
    double Sekunden() const { return m_wert * (Takt_ms / 1000.0); }
    void Hoch() { Setzen(m_wert + 1); }
    void Runter() { Setzen(m_wert - 1); }
    void Loeschen() { Setzen(0); }

    bool Dosiert() const { return m_dosiert; }
    bool Takt_laeuft() const { return m_takt; }

    // "Dosieren" pressed: the timer starts and the valve opens. A failure closes the valve and
    // is reported; no time is counted for it.
    void Dosieren_gedrueckt();
    // "Dosieren" released: the valve closes. The timer runs to its next tick, so the quarter
    // second begun when the button was let go still counts.
    void Dosieren_losgelassen();
    // One tick of the timer: one quarter more (at most 480); the timer goes on while dosing.
    void Takt();
    // "kompletter Dosiervorgang": the valve open for the counted time; nothing with time 0.
    void Kompletter_Dosiervorgang();

private:
    void Ventil_schalten(int32_t n);

    int32_t m_wert = 0;
    bool m_dosiert = false;
    bool m_takt = false;
};

} // namespace orvexa
