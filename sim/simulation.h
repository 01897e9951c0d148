#pragma once

#include "angle/wt_parameter.h"
#include "core/verbindungsablauf.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvexa {

// The simulated machine (Simulation, core/verbindungsablauf.h) that the program reaches through
// its ordinary connection: the serial and the program-storing types a controller on a
// pseudo-terminal registered as COM<ComPort>, the parallel types the virtual machine behind the
// port access.

struct Simulationsoptionen {
    double Zeitskala = 1; // 0 = moves end at once, 1 = real speed (serial types)
    // Register the port in a temporary folder of its own (set as ORVEXA_PORTS while the
    // simulation runs) so that the operator's port entries stay untouched.
    bool Eigener_Portordner = true;
};

// Starts the simulated machine for controller type modul. nullptr when there is none for the
// type (8, 9, values outside the table), comport is not COM1..COM63, or it cannot be started;
// fehler, when given, then holds the reason.
std::unique_ptr<Simulation> Simulation_starten(int32_t modul, int32_t comport,
                                               const Simulationsoptionen& optionen = {},
                                               std::string* fehler = nullptr);

// The machine of the angle-positioning mode: a KX900-KXCU registered as the KXCU port of the
// angle parameters, its x axis turning a rotary table that a position display registered as
// their ND261 port reads (Positionsanzeige). The simulated unit comes up with the angle
// parameters' speeds, as a real one keeps them. nullptr, with the reason, when a port is not
// COM1..COM63, both are the same, or the simulators cannot be started.
// Angle parameters that suit the simulated machine (KXCU on COM3, display on COM2, 200 steps
// per degree), for a simulated start without wt_parameter.dat.
WT_Parameter Winkelsimulation_Vorgaben();

std::unique_ptr<Simulation> Winkelsimulation_starten(const WT_Parameter& parameter,
                                                     const Simulationsoptionen& optionen = {},
                                                     std::string* fehler = nullptr);

} // namespace orvexa
