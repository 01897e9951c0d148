#pragma once

// Port access through the kernel's ppdev driver (/dev/parportN), the way that needs no special
// rights beyond the group of the device (lp on Debian).
//
// ppdev hands the registers through unchanged for PC-style ports: PPRSTATUS returns the status
// register as read (pin 11 still inverted), PPWCONTROL writes bits 0..3 of the control register
// as given (pins 1, 14 and 17 still inverted), PPRCONTROL returns the driver's copy of those
// four bits. So the pin table of the register level holds here as on direct access. Bit 5 of a
// control write would switch the data lines to input; it is masked off.

#include "portio.h"

#include <string>

namespace orvexa {

// The /dev/parportN whose base address (first number of
// <proc>/parportN/base-addr) equals basis; empty and a reason in fehlertext if there is none.
std::string Parport_zu_Adresse(uint16_t basis, const std::string& proc_wurzel,
                               const std::string& dev_wurzel, std::string& fehlertext);

class PortIO_ppdev : public PortIO {
public:
    explicit PortIO_ppdev(std::string proc_wurzel = "/proc/sys/dev/parport",
                          std::string dev_wurzel = "/dev");
    ~PortIO_ppdev() override;
    PortIO_ppdev(const PortIO_ppdev&) = delete;
    PortIO_ppdev& operator=(const PortIO_ppdev&) = delete;

    bool Oeffnen(uint16_t basisadresse) override;
    void Schliessen() override;
    bool Lesen(uint16_t adresse, uint8_t& wert) override;
    bool Schreiben(uint16_t adresse, uint8_t wert) override;
    std::string Fehlertext() const override { return fehlertext_; }

private:
    std::string proc_wurzel_;
    std::string dev_wurzel_;
    int fd_ = -1;
    uint16_t basis_ = 0;
    std::string fehlertext_;
};

} // namespace orvexa
