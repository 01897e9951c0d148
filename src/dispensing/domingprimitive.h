#pragma once

#include <atomic>
#include <cstdint>

namespace orvexa {

struct DomingJob;
struct DomingParameter;
struct Maschinenparameter;
class THPGLDataModule;
class DomingAnzeige;

// Everything the dispensing primitives read besides the controller: the job (read at the
// moment a primitive is called), the working area, the machine parameters, the contour reader
// and the window's display. Owned by the Doming window (or a headless runner); the primitives
// run on its worker thread only.
struct DomingKontext {
    DomingKontext(DomingJob& job, const DomingParameter& parameter,
                  const Maschinenparameter& maschine, THPGLDataModule& hpgl, DomingAnzeige& anzeige)
        : Job(job), Parameter(parameter), Maschine(maschine), HPGL(hpgl), Anzeige(anzeige) {}
    DomingKontext(const DomingKontext&) = delete;
    DomingKontext& operator=(const DomingKontext&) = delete;

    DomingJob& Job;
    const DomingParameter& Parameter;
    const Maschinenparameter& Maschine;
    THPGLDataModule& HPGL;
    DomingAnzeige& Anzeige;
    // "Laserpointer-Betrieb": every valve switch drives the laser on output 2 instead.
    std::atomic<bool> Laserpointer_Betrieb{false};
};

// Asks the controller where x and y are and shows it.
void Position_aktualisieren(DomingKontext& k);

// Rapid move (speed set 4): x alone, then y alone. Raises -1 after a message when the target
// lies beyond the working area.
void DomingMoveToXY(DomingKontext& k, double x, double y);
// Working move (speed set 5) of both axes together; same limit check.
void DomingLineToXY(DomingKontext& k, double x, double y);
// 1 opens the valve, 0 closes it (inverted for Dosierkopf 1); in laser-pointer operation the
// laser follows instead. The valve request goes on the serial link whatever the type.
void DomingAusgangssignal(DomingKontext& k, int32_t n);
// Waits trunc(s * 1000) milliseconds on the controller.
void Doming_Warten(double s);

void DomingPunkt(DomingKontext& k, int32_t ix, double x, double y);
void DomingLinie(DomingKontext& k, double x, double y);
void DomingKreisbogen(DomingKontext& k, double x, double y);
void DomingRechteck(DomingKontext& k, double x, double y);
// Reads the contour file again with (x, y) as its origin and plays it. A file that cannot be
// read stops the run (-1 after a message) instead of dispensing the last contour again.
void DomingHPGL(DomingKontext& k, double x, double y);

} // namespace orvexa
