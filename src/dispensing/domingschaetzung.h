#pragma once

// How long a Doming job takes: the reference runs, the rapid moves between the parts and the
// shape's moves and dwell times on every part, timed as the configured controller type makes
// them (drivers/fahrzeit.h). Millimetres are converted with the machine parameters of
// Parametersatz(), as the run does.

#include "dispensing/domingablauf.h"
#include "dispensing/hpgldatamodule.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orvexa {

struct DomingJob;
struct Maschinenparameter;

struct DomingSchaetzeingaben {
    DomingStartseite Startseite = DomingStartseite::Startpunkt;
    bool Referenzfahrt = true; // the "Referenzfahrt" box
    bool ModusKora = false;    // "/KORA": no reference runs
    // Where x and y stand when the run starts (mm): the machine's position for the
    // "Manuelles Fahren" start; for the start point with reference runs, where the axes
    // stand before the first of them (0: where the last reference run left them).
    double xStart = 0, yStart = 0;
    // The HPGL shape's contour read with the origin (0, 0); the parts play it shifted.
    std::span<const HPGL_Zeile> Kontur;
};

struct DomingSchaetzung {
    double Vorlauf_s = 0;       // reference run and the move to the start point
    std::vector<double> Teil_s; // each part with the move to it, in the order of the run
    double Nachlauf_s = 0;      // the closing reference run, or the move back

    double Gesamt_s() const;
    // Time left when part `teil` (0-based in the order of the run) begins.
    double Rest_s(std::size_t teil) const;
};

// 0-based position of a part in the order of the run (sheets row by row, parts row by row, x
// fastest), for Rest_s from the counters the run shows.
std::size_t Doming_Teilnummer(const DomingJob& job, const DomingZaehler& z);

// One pass of the job (a "Dauertest" repeats it). The job is taken as Doming_annehmen leaves
// it; modul is the controller type whose timing counts.
DomingSchaetzung Doming_schaetzen(const DomingJob& job, const Maschinenparameter& maschine,
                                  int32_t modul, const DomingSchaetzeingaben& eingaben);

} // namespace orvexa
