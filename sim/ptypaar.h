#pragma once

#include <string>

namespace orvexa {

// Both ends of a fresh pseudo-terminal as the simulators use it: the slave side raw (the
// program configures it again when it opens the device), the master side non-blocking, both
// closed on exec.
struct Ptypaar {
    int master = -1;
    int slave = -1;
    std::string pfad; // the slave's device, what the program opens
};

// Throws std::system_error when no pseudo-terminal can be made; nothing is left open then.
Ptypaar Ptypaar_oeffnen();

} // namespace orvexa
