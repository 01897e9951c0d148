#pragma once

// How long a vector output run will take, before it starts and while it goes: every row's
// moves and waits timed as the configured controller type makes them (drivers/fahrzeit.h),
// with the speeds, ramp and repeats of the table, the cycles and the reference runs. Reads
// the machine parameters from Parametersatz(), as the run does.

#include "vektorausgabe.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvexa {

class Positionstabelle;

struct Laufschaetzung {
    // False in the angle-positioning mode: how long an approach takes depends on the display.
    bool Schaetzbar = true;
    // Rows wait for the input E1; that wait is not counted.
    bool Eingangswarten = false;
    int32_t Zyklen = 1; // passes; 0 or less counts as one
    bool Endlos = false;

    double Vorreferenz_s = 0;      // the reference run before the first cycle
    double Zwischenreferenz_s = 0; // the one before every further cycle ("vor jedem Zyklus")
    // One execution of each row (index zeile - 1) in the first cycle and in the later ones,
    // which begin with the speeds the previous cycle (or reference run) left.
    std::vector<double> Zeile_erster_s;
    std::vector<double> Zeile_folgend_s;
    std::vector<int32_t> Wiederholungen; // "WH" of each row

    double Erster_Zyklus_s() const;
    double Folgezyklus_s() const;
    // One cycle as the run repeats it (the later cycles; the first when there is only one).
    double Zyklus_s() const;
    // The whole run with its cycles and reference runs; endless: the first reference run
    // and one cycle.
    double Gesamt_s() const;
    // Time left when row zeile (1..) of pass zyklus (1..) begins, after `erledigt` executions
    // of the row are done; endless runs: what is left of the current cycle.
    double Rest_s(int zyklus, int zeile, int32_t erledigt = 0) const;

private:
    friend Laufschaetzung Lauf_schaetzen(const Positionstabelle&, const Vektoreingaben&);
    double Zyklusrest_s(bool erster, int zeile, int32_t erledigt) const;
    std::vector<double> m_rest_erster, m_rest_folgend; // from row i to the end of the cycle
};

Laufschaetzung Lauf_schaetzen(const Positionstabelle& tabelle, const Vektoreingaben& eingaben);

// "00:03:12": hours (at least two digits), minutes, seconds, rounded to the second.
std::string Dauertext(double sekunden);
// "0:03:12.345": hours, minutes, seconds and milliseconds.
std::string Dauertext_ms(double sekunden);

} // namespace orvexa
