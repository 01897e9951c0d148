#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvexa {

// Byte-wide access to the I/O registers of a parallel port, in place of the Windows port-I/O
// library: open, close, read one byte, write one byte.
class PortIO {
public:
    virtual ~PortIO() = default;

    // Makes the three registers at basisadresse (data), +1 (status), +2 (control) reachable.
    virtual bool Oeffnen(uint16_t basisadresse) = 0;
    virtual void Schliessen() = 0;
    virtual bool Lesen(uint16_t adresse, uint8_t& wert) = 0;
    virtual bool Schreiben(uint16_t adresse, uint8_t wert) = 0;
    // Why the last Oeffnen failed, for the log ("no parallel port at 0x378", "permission
    // denied: join the group lp", ...).
    virtual std::string Fehlertext() const = 0;
};

// The port access the driver uses: the real one (ppdev, else ioperm/inb/outb) unless a
// simulated machine or a test installed another maker.
std::unique_ptr<PortIO> PortIO_erzeugen();
void PortIO_Fabrik_setzen(std::function<std::unique_ptr<PortIO>()> fabrik);

} // namespace orvexa
