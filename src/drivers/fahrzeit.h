#pragma once

// How long a controller type takes for one move, one wait and the reference run of one axis,
// from the speeds the command layer has set. The parallel cards time every step on the PC
// with the driver's own ramp (core/schrittrampe.h); the serial and program-storing
// controllers ramp the speed linearly in time over the ramp length, a trapezoid, or a
// triangle when the move is too short to reach the work speed.

#include <cstdint>

namespace orvexa {

// What the controller runs with: the start speed, the work speed (of the slot the move
// uses) and the ramp length, as the command layer last set them.
struct Fahrwerte {
    int32_t Start = 0;    // steps/s
    int32_t Arbeit = 0;   // steps/s
    int32_t Rampe_ms = 0; // ms
};

// The values the type keeps from what it was sent: the parallel card modules hold a speed
// above their limit at the limit.
Fahrwerte Gehaltene_Fahrwerte(int32_t modul, const Fahrwerte& gesendet);

// Seconds of a straight move whose leading axis makes `schritte` steps (sign ignored); 0 for
// 0 steps and for speeds the type refuses (it does not move then).
double Fahrzeit_s(int32_t modul, int64_t schritte, const Fahrwerte& w);

// The trapezoid of the serial controllers, in seconds: rises from start to work speed in the
// ramp time, falls in the same time; a move too short for that peaks below the work speed.
double Trapezzeit_s(double schritte, double start, double arbeit, double rampe_s);

// Seconds of Wartezeit_einfuegen with ms milliseconds (the command layer sends pieces of at
// most a second; a parallel card waits one millisecond more per piece).
double Wartezeit_s(int32_t modul, int32_t ms);

// Seconds of the reference run of one axis: the approach of `abstand` steps to the switch at
// the reference speed (w.Arbeit), the offset, and on the parallel cards the pauses between.
double Referenzzeit_s(int32_t modul, int64_t abstand, int64_t offset, const Fahrwerte& w);

} // namespace orvexa
