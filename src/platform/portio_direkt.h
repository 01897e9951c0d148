#pragma once

// Direct register access with ioperm/inb/outb (x86 only, needs CAP_SYS_RAWIO), for machines
// whose kernel has no parport driver loaded.

#include "portio.h"

#include <string>

namespace orvexa {

// Name of the driver in <ioports> that holds any of the three addresses from basis on, empty
// when the range is free or belongs to a parport driver.
std::string Ioport_Besitzer(uint16_t basis, const std::string& ioports_pfad);

class PortIO_direkt : public PortIO {
public:
    explicit PortIO_direkt(std::string ioports_pfad = "/proc/ioports");
    ~PortIO_direkt() override;
    PortIO_direkt(const PortIO_direkt&) = delete;
    PortIO_direkt& operator=(const PortIO_direkt&) = delete;

    bool Oeffnen(uint16_t basisadresse) override;
    void Schliessen() override;
    bool Lesen(uint16_t adresse, uint8_t& wert) override;
    bool Schreiben(uint16_t adresse, uint8_t wert) override;
    std::string Fehlertext() const override { return fehlertext_; }

private:
    std::string ioports_pfad_;
    bool offen_ = false;
    uint16_t basis_ = 0;
    std::string fehlertext_;
};

} // namespace orvexa
