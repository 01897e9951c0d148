#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvexa {

// The steps of connecting that differ between the main window and orvexa-cli; each may be
// left empty.
struct Verbindungsschritte {
    // After the old link is closed and before the new module is made (the simulated machine
    // starts here). False: the module is still made and named, but nothing is opened.
    std::function<bool()> Vorbereiten;
    // The new module exists under this display name (caption, controller menus).
    std::function<void(const std::string& name)> Erzeugt;
    // The angle-positioning mode opens its position display link here, before the controller
    // is touched. False: not connected, the controller stays closed.
    std::function<bool()> Anzeige_oeffnen;
    // The port is described in Steuerung().Schnittstelle; nothing is opened yet.
    std::function<void()> Beschrieben;
};

struct Verbindungsergebnis {
    bool Verbunden = false;
    std::string Name;
    // The controller error code that ended the attempt; 0 when none was thrown.
    int32_t Code = 0;
    // What an unexpected exception said; it is in the protocol log too.
    std::string Ausnahme;
};

// Closes the link, makes the module for the configured type, opens it and asks for its
// identification; the link is closed again when that fails. Never throws.
Verbindungsergebnis Steuerung_verbinden(const Verbindungsschritte& schritte = {});

// A simulated machine that stands in for the controller (sim/ makes them). Everything it
// installed is undone when the handle goes; close the controller link before that.
class Simulation {
public:
    virtual ~Simulation() = default;
    // "simulierte Steuerung auf /dev/pts/3 als COM1" and the like, for logs and consoles.
    virtual std::string Beschreibung() const = 0;
};

// Starts the simulated machine for a controller type and port; nullptr, with the reason in
// fehler, when there is none. The program hands one to its windows, so that they need not
// link the simulators.
using Simulationsstarter =
    std::function<std::unique_ptr<Simulation>(int32_t modul, int32_t comport, std::string* fehler)>;

} // namespace orvexa
