#pragma once

#include <array>
#include <string>

namespace orvexa {

// The texts of the two position grids: the current position and the four named positions
// (rows 1..4 at index 0..3), x, y and z each.
struct Positionsanzeige {
    std::array<std::string, 3> aktPosition;
    std::array<std::array<std::string, 3>, 4> Positionen;

    bool operator==(const Positionsanzeige&) const = default;
};

// What the jog shows while it works. Called on the thread that runs the action (the worker for
// jog, approach and relay, the window thread for the rest); a window implementation queues the
// updates to the window thread and must not block there. Every method does nothing by
// default.
class ManuelleFahrt_Beobachter {
public:
    virtual ~ManuelleFahrt_Beobachter() = default;

    // A move begins (jog controls disabled, "&Abbrechen" shown) or is over.
    virtual void Bewegung(bool /*laeuft*/) {}
    virtual void Anzeige(const Positionsanzeige& /*anzeige*/) {}
};

} // namespace orvexa
