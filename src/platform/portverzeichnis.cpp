#include "portverzeichnis.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <optional>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvexa {

namespace {

std::string Heimatverzeichnis() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    std::vector<char> puffer(16384);
    passwd eintrag{};
    passwd* ergebnis = nullptr;
    if (::getpwuid_r(::getuid(), &eintrag, puffer.data(), puffer.size(), &ergebnis) == 0 &&
        ergebnis && ergebnis->pw_dir && *ergebnis->pw_dir)
        return ergebnis->pw_dir;
    return {};
}

bool gueltige_Nummer(int n) {
    return n >= 1 && n <= COM_Nummer_max;
}

// Path of the entry COMn; empty when there is no port directory at all.
std::string Eintrag(const std::string& ordner, int n) {
    if (ordner.empty()) return {};
    return ordner + "/COM" + std::to_string(n);
}

std::optional<std::string> Realpfad(const std::string& pfad) {
    char* echt = ::realpath(pfad.c_str(), nullptr);
    if (!echt) return std::nullopt;
    std::string ergebnis(echt);
    std::free(echt);
    return ergebnis;
}

// The device an existing entry names; nullopt when there is no entry.
std::optional<std::string> Eintragsziel(const std::string& ordner, const std::string& eintrag) {
    struct stat st {};
    if (eintrag.empty() || ::lstat(eintrag.c_str(), &st) != 0) return std::nullopt;
    if (auto echt = Realpfad(eintrag)) return echt;
    if (!S_ISLNK(st.st_mode)) return eintrag;
    // A dangling link: keep its target, so the port fails to open rather than falling back.
    std::string ziel(PATH_MAX, '\0');
    const ssize_t laenge = ::readlink(eintrag.c_str(), ziel.data(), ziel.size());
    if (laenge <= 0) return eintrag;
    ziel.resize(static_cast<std::size_t>(laenge));
    return ziel.front() == '/' ? ziel : ordner + "/" + ziel;
}

// "/dev/ttyS" + digits and the like.
bool Geraet_mit_Nummer(const std::string& pfad, const std::string& praefix) {
    if (pfad.size() <= praefix.size() || pfad.compare(0, praefix.size(), praefix) != 0)
        return false;
    for (std::size_t i = praefix.size(); i < pfad.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(pfad[i]))) return false;
    return true;
}

// Whether the 8250 driver found a UART behind the ttyS node. sysfs tells without opening the
// port; opening raises DTR and RTS, which resets some controllers, so the ioctl is only the
// fallback for kernels without the attribute.
bool UART_bekannt(const std::string& geraet) {
    const std::string name = geraet.substr(geraet.rfind('/') + 1);
    std::ifstream typdatei("/sys/class/tty/" + name + "/type");
    int typ = PORT_UNKNOWN;
    if (typdatei >> typ) return typ != PORT_UNKNOWN;

    const int fd = ::open(geraet.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool bekannt = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return bekannt;
}

// Whether an entry of the port directory leads to this very device node.
bool ist_eingetragen(const struct stat& geraet) {
    const std::string ordner = Portverzeichnis_Ordner();
    for (int n = 1; n <= COM_Nummer_max; ++n) {
        const std::string eintrag = Eintrag(ordner, n);
        struct stat st {};
        if (!eintrag.empty() && ::stat(eintrag.c_str(), &st) == 0 && st.st_dev == geraet.st_dev &&
            st.st_ino == geraet.st_ino)
            return true;
    }
    return false;
}

} // namespace

std::string Portverzeichnis_Ordner() {
    std::string ordner;
    const char* umgebung = std::getenv("ORVEXA_PORTS");
    if (umgebung && *umgebung) {
        ordner = umgebung;
    } else {
        const std::string home = Heimatverzeichnis();
        if (home.empty()) return {};
        ordner = home + "/.config/orvexa2011/ports";
    }
    while (ordner.size() > 1 && ordner.back() == '/')
        ordner.pop_back();
    return ordner;
}

std::string COM_Pfad(int n) {
    if (!gueltige_Nummer(n)) return {};
    const std::string ordner = Portverzeichnis_Ordner();
    if (auto ziel = Eintragsziel(ordner, Eintrag(ordner, n))) return *ziel;
    if (n <= 4) return "/dev/ttyS" + std::to_string(n - 1);
    return {};
}

bool ist_echter_Port(const std::string& pfad) {
    if (pfad.empty()) return false;
    const auto echt = Realpfad(pfad);
    struct stat st {};
    if (!echt || ::stat(echt->c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    if (Geraet_mit_Nummer(*echt, "/dev/ttyS")) return UART_bekannt(*echt);
    if (Geraet_mit_Nummer(*echt, "/dev/ttyUSB") || Geraet_mit_Nummer(*echt, "/dev/ttyACM"))
        return true;
    // A pseudo-terminal is a port only where someone (a simulator, a test) registered it;
    // otherwise every terminal window would show up.
    if (Geraet_mit_Nummer(*echt, "/dev/pts/")) return ist_eingetragen(st);
    return false;
}

bool COM_registrieren(int n, const std::string& geraetepfad) {
    if (!gueltige_Nummer(n) || geraetepfad.empty() || geraetepfad.find('\0') != std::string::npos)
        return false;
    const std::string ordner = Portverzeichnis_Ordner();
    if (ordner.empty()) return false;
    std::error_code fehler;
    std::filesystem::create_directories(ordner, fehler);
    if (!std::filesystem::is_directory(ordner, fehler)) return false;

    // Absolute, but not resolved: a by-id link must stay a by-id link.
    std::string ziel = geraetepfad;
    if (ziel.front() != '/') {
        ziel = std::filesystem::absolute(geraetepfad, fehler).string();
        if (fehler) return false;
    }

    static std::atomic<unsigned> zaehler{0};
    const std::string eintrag = Eintrag(ordner, n);
    std::string temporaer;
    for (int versuch = 0;; ++versuch) {
        temporaer = ordner + "/.COM" + std::to_string(n) + ".tmp-" + std::to_string(::getpid()) +
                    "-" + std::to_string(zaehler++);
        if (::symlink(ziel.c_str(), temporaer.c_str()) == 0) break;
        if (errno != EEXIST || versuch >= 100) return false;
    }
    if (::rename(temporaer.c_str(), eintrag.c_str()) != 0) {
        ::unlink(temporaer.c_str());
        return false;
    }
    return true;
}

bool COM_abmelden(int n) {
    if (!gueltige_Nummer(n)) return false;
    const std::string eintrag = Eintrag(Portverzeichnis_Ordner(), n);
    if (eintrag.empty()) return true;
    return ::unlink(eintrag.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

} // namespace orvexa
