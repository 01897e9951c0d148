#include "portio_ppdev.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvexa {

namespace {

std::string Hex(unsigned wert) {
    char puffer[16];
    std::snprintf(puffer, sizeof puffer, "0x%X", wert);
    return puffer;
}

// Number N of a directory entry "parportN", -1 for anything else ("default", ...).
long Portnummer(const std::string& name) {
    constexpr std::string_view vorsatz = "parport";
    if (name.size() <= vorsatz.size() || name.compare(0, vorsatz.size(), vorsatz) != 0) return -1;
    const std::string ziffern = name.substr(vorsatz.size());
    if (ziffern.size() > 4 ||
        !std::all_of(ziffern.begin(), ziffern.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::strtol(ziffern.c_str(), nullptr, 10);
}

// First number of a base-addr file ("888\t1912"), -1 when there is none.
long Basis_lesen(const std::filesystem::path& datei) {
    std::ifstream ein(datei);
    long wert = -1;
    if (!(ein >> wert) || wert < 0 || wert > 0xFFFF) return -1;
    return wert;
}

} // namespace

std::string Parport_zu_Adresse(uint16_t basis, const std::string& proc_wurzel,
                               const std::string& dev_wurzel, std::string& fehlertext) {
    namespace fs = std::filesystem;
    const std::string vorsatz = "kein Parallelport an " + Hex(basis);
    std::error_code fehler;
    if (!fs::is_directory(proc_wurzel, fehler)) {
        fehlertext = vorsatz + " (" + proc_wurzel + " fehlt: Kernelmodul parport_pc nicht geladen)";
        return {};
    }
    std::vector<std::pair<long, long>> ports; // number, base
    for (fs::directory_iterator it(proc_wurzel, fehler), ende; !fehler && it != ende;
         it.increment(fehler)) {
        const long nummer = Portnummer(it->path().filename().string());
        if (nummer < 0) continue;
        ports.emplace_back(nummer, Basis_lesen(it->path() / "base-addr"));
    }
    if (ports.empty()) {
        fehlertext = vorsatz + " (" + proc_wurzel + " leer)";
        return {};
    }
    std::sort(ports.begin(), ports.end());
    std::string gefunden;
    for (const auto& [nummer, adresse] : ports) {
        if (adresse == basis) return dev_wurzel + "/parport" + std::to_string(nummer);
        if (!gefunden.empty()) gefunden += ", ";
        gefunden += "parport" + std::to_string(nummer) + " an " +
                    (adresse < 0 ? std::string("?") : Hex(static_cast<unsigned>(adresse)));
    }
    fehlertext = vorsatz + " (vorhanden: " + gefunden + ")";
    return {};
}

PortIO_ppdev::PortIO_ppdev(std::string proc_wurzel, std::string dev_wurzel)
    : proc_wurzel_(std::move(proc_wurzel)), dev_wurzel_(std::move(dev_wurzel)) {}

PortIO_ppdev::~PortIO_ppdev() {
    Schliessen();
}

bool PortIO_ppdev::Oeffnen(uint16_t basisadresse) {
    Schliessen();
    fehlertext_.clear();
    const std::string geraet =
        Parport_zu_Adresse(basisadresse, proc_wurzel_, dev_wurzel_, fehlertext_);
    if (geraet.empty()) return false;

    const int fd = ::open(geraet.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            fehlertext_ =
                "keine Berechtigung für " + geraet + ": Benutzer in die Gruppe lp aufnehmen";
        else if (e == ENOENT || e == ENXIO || e == ENODEV)
            fehlertext_ = geraet + " fehlt: Kernelmodul ppdev laden (modprobe ppdev)";
        else
            fehlertext_ = geraet + " lässt sich nicht öffnen: " + std::strerror(e);
        return false;
    }
    // Exclusive use keeps the printer driver off the lines while a machine is driven; a port
    // shared with it still works, so a refusal is not fatal.
    (void)::ioctl(fd, PPEXCL);
    if (::ioctl(fd, PPCLAIM) != 0) {
        const int e = errno;
        if (e == ENOTTY || e == EINVAL)
            fehlertext_ =
                geraet + " ist kein Parallelport-Gerät (PPCLAIM: " + std::strerror(e) + ")";
        else
            fehlertext_ = geraet + " ist belegt (PPCLAIM: " + std::strerror(e) + ")";
        ::close(fd);
        return false;
    }
    fd_ = fd;
    basis_ = basisadresse;
    return true;
}

void PortIO_ppdev::Schliessen() {
    if (fd_ < 0) return;
    (void)::ioctl(fd_, PPRELEASE);
    ::close(fd_);
    fd_ = -1;
}

bool PortIO_ppdev::Lesen(uint16_t adresse, uint8_t& wert) {
    if (fd_ < 0 || adresse < basis_ || adresse - basis_ > 2) return false;
    unsigned char w = 0;
    static constexpr unsigned long anfrage[3] = {PPRDATA, PPRSTATUS, PPRCONTROL};
    if (::ioctl(fd_, anfrage[adresse - basis_], &w) != 0) return false;
    wert = w;
    return true;
}

bool PortIO_ppdev::Schreiben(uint16_t adresse, uint8_t wert) {
    if (fd_ < 0 || adresse < basis_ || adresse - basis_ > 2) return false;
    unsigned char w = wert;
    switch (adresse - basis_) {
    case 0:
        return ::ioctl(fd_, PPWDATA, &w) == 0;
    case 2:
        w &= 0x0F;
        return ::ioctl(fd_, PPWCONTROL, &w) == 0;
    default:
        return false; // the status register is read only
    }
}

} // namespace orvexa
