#include "portio_direkt.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define ORVEXA_PORTZUGRIFF 1
#endif

namespace orvexa {

namespace {

std::string Hex(unsigned wert) {
    char puffer[16];
    std::snprintf(puffer, sizeof puffer, "0x%X", wert);
    return puffer;
}

struct Ioport_Eintrag {
    std::size_t tiefe;
    unsigned long von, bis;
    std::string name;
};

} // namespace

std::string Ioport_Besitzer(uint16_t basis, const std::string& ioports_pfad) {
    std::ifstream ein(ioports_pfad);
    std::vector<Ioport_Eintrag> eintraege;
    std::string zeile;
    while (std::getline(ein, zeile)) {
        const std::size_t tiefe = zeile.find_first_not_of(' ');
        if (tiefe == std::string::npos) continue;
        unsigned long von = 0, bis = 0;
        int gelesen = 0;
        if (std::sscanf(zeile.c_str() + tiefe, "%lx-%lx :%n", &von, &bis, &gelesen) < 2 ||
            gelesen == 0)
            continue;
        std::string name = zeile.substr(tiefe + static_cast<std::size_t>(gelesen));
        name.erase(0, name.find_first_not_of(' '));
        eintraege.push_back({tiefe, von, bis, std::move(name)});
    }
    const unsigned long erste = basis, letzte = basis + 2ul;
    for (std::size_t i = 0; i < eintraege.size(); ++i) {
        const Ioport_Eintrag& e = eintraege[i];
        // A range with entries beneath it is a bus window, not a device.
        if (i + 1 < eintraege.size() && eintraege[i + 1].tiefe > e.tiefe) continue;
        if (e.bis < erste || e.von > letzte) continue;
        if (e.name.rfind("parport", 0) == 0 || e.name.rfind("PCI Bus", 0) == 0) continue;
        return e.name;
    }
    return {};
}

PortIO_direkt::PortIO_direkt(std::string ioports_pfad) : ioports_pfad_(std::move(ioports_pfad)) {}

PortIO_direkt::~PortIO_direkt() {
    Schliessen();
}

#ifdef ORVEXA_PORTZUGRIFF

bool PortIO_direkt::Oeffnen(uint16_t basisadresse) {
    Schliessen();
    fehlertext_.clear();
    if (basisadresse > 0xFFFD) {
        fehlertext_ = "Portadresse " + Hex(basisadresse) + " zu groß für drei Register";
        return false;
    }
    // Writing into another device's registers could do real harm (a serial port, the
    // keyboard controller), so a range the kernel gave to a driver is off limits.
    const std::string besitzer = Ioport_Besitzer(basisadresse, ioports_pfad_);
    if (!besitzer.empty()) {
        fehlertext_ = "direkter Portzugriff an " + Hex(basisadresse) +
                      " verweigert: der Bereich gehört \"" + besitzer + "\"";
        return false;
    }
    if (::ioperm(basisadresse, 3, 1) != 0) {
        const int e = errno;
        if (e == EPERM)
            fehlertext_ = "direkter Portzugriff an " + Hex(basisadresse) +
                          " verweigert (ioperm braucht CAP_SYS_RAWIO)";
        else
            fehlertext_ = "direkter Portzugriff an " + Hex(basisadresse) +
                          " nicht möglich (ioperm: " + std::strerror(e) + ")";
        return false;
    }
    // An address without hardware reads 0xFF everywhere; a real port shows its data latch and
    // the control bits. Only reads here: a test write would move motors.
    if (::inb(basisadresse) == 0xFF && ::inb(basisadresse + 1) == 0xFF &&
        ::inb(basisadresse + 2) == 0xFF) {
        (void)::ioperm(basisadresse, 3, 0);
        fehlertext_ = "kein Parallelport an " + Hex(basisadresse) + " (alle Register lesen 0xFF)";
        return false;
    }
    basis_ = basisadresse;
    offen_ = true;
    return true;
}

void PortIO_direkt::Schliessen() {
    if (!offen_) return;
    (void)::ioperm(basis_, 3, 0);
    offen_ = false;
}

bool PortIO_direkt::Lesen(uint16_t adresse, uint8_t& wert) {
    // Outside the granted range inb would fault.
    if (!offen_ || adresse < basis_ || adresse - basis_ > 2) return false;
    wert = ::inb(adresse);
    return true;
}

bool PortIO_direkt::Schreiben(uint16_t adresse, uint8_t wert) {
    if (!offen_ || adresse < basis_ || adresse - basis_ > 2 || adresse == basis_ + 1) return false;
    ::outb(wert, adresse);
    return true;
}

#else

bool PortIO_direkt::Oeffnen(uint16_t) {
    fehlertext_ = "direkter Portzugriff nur auf x86";
    return false;
}

void PortIO_direkt::Schliessen() {
    offen_ = false;
    basis_ = 0;
}

bool PortIO_direkt::Lesen(uint16_t, uint8_t&) {
    return false;
}

bool PortIO_direkt::Schreiben(uint16_t, uint8_t) {
    return false;
}

#endif

} // namespace orvexa
