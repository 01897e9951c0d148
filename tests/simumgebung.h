#pragma once

// A simulated serial controller on a pseudo-terminal, reached through every real layer:
// command layer -> KoraBefehlssatz -> TkoraCOM -> termios -> pseudo-terminal ->
// SerielleSteuerung. The requests it received are the machine's view of what the program did.

#include "seriellesteuerung.h"
#include "testhilfen.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvexa::test {

class SerielleSimulation : public Testumgebung {
protected:
    using Zeilen_t = std::vector<std::string>;

    // Port folder in the test's folder, a KXvario on COM<portnummer> at 115200 Bd with the
    // usual speeds, the standard drivers.
    void SetUp() override;
    void TearDown() override;

    // Gear ratio 1 and schritte motor steps per millimetre on all four axes.
    static void Achsen_einstellen(int32_t schritte);

    // Starts the simulator, registers it as the COM port and opens it as the main window does,
    // without asking for the identification yet.
    void Simulator_oeffnen(const SerielleSteuerung::Optionen& optionen = {});
    // The same with the identification; the requests of the connect are not counted.
    void Verbinden(const SerielleSteuerung::Optionen& optionen = {});
    void Verbinden(double zeitskala);

    // Counting starts again at the requests received so far.
    void Zaehlung_neu();
    Zeilen_t Anfragen_seit(std::size_t ab) const;
    // Every request since the count, position queries included.
    Zeilen_t Neue_Anfragen() const { return Anfragen_seit(basis); }
    // The same without the position queries of the display refresh.
    Zeilen_t Neue_Befehle() const;
    // The new requests; the count starts again after them.
    Zeilen_t Neue_Anfragen_abholen();
    // Waits until the controller has received n further requests.
    bool Warten_auf_neue_Anfragen(std::size_t n, int ms = 5000);

    int portnummer = 4;
    std::unique_ptr<SerielleSteuerung> sim;
    std::string steuerungsname; // as the connect named it
    std::size_t basis = 0;
};

} // namespace orvexa::test
