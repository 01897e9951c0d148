#include "portverzeichnis.h"

#include "core/text.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <linux/serial.h>
#include <map>
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
    std::ifstream typdatei(Systemordner() + "/class/tty/" + name + "/type");
    int typ = PORT_UNKNOWN;
    if (typdatei >> typ) return typ != PORT_UNKNOWN;

    const int fd = ::open(geraet.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool bekannt = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return bekannt;
}

// The COM number whose entry of the port directory leads to this very device node, 0 none.
int Eintrag_fuer(const struct stat& geraet) {
    const std::string ordner = Portverzeichnis_Ordner();
    for (int n = 1; n <= COM_Nummer_max; ++n) {
        const std::string eintrag = Eintrag(ordner, n);
        struct stat st {};
        if (!eintrag.empty() && ::stat(eintrag.c_str(), &st) == 0 && st.st_dev == geraet.st_dev &&
            st.st_ino == geraet.st_ino)
            return n;
    }
    return 0;
}

} // namespace

namespace {

std::string Ordner_aus_Umgebung(const char* variable, const char* vorgabe) {
    const char* umgebung = std::getenv(variable);
    std::string ordner = umgebung && *umgebung ? umgebung : vorgabe;
    while (ordner.size() > 1 && ordner.back() == '/')
        ordner.pop_back();
    return ordner;
}

// The device folder as the resolved paths of its nodes begin, with a trailing '/'.
std::string Geraeteordner_aufgeloest() {
    const std::string ordner = Geraeteordner();
    return Realpfad(ordner).value_or(ordner) + "/";
}

bool ist_USB_Knotenname(const std::string& pfad, const std::string& ordner) {
    return Geraet_mit_Nummer(pfad, ordner + "ttyUSB") || Geraet_mit_Nummer(pfad, ordner + "ttyACM");
}

} // namespace

std::string Geraeteordner() {
    return Ordner_aus_Umgebung("ORVEXA_DEV", "/dev");
}

std::string Systemordner() {
    return Ordner_aus_Umgebung("ORVEXA_SYS", "/sys");
}

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
    if (n <= 4) return Geraeteordner() + "/ttyS" + std::to_string(n - 1);
    return {};
}

bool ist_echter_Port(const std::string& pfad) {
    if (pfad.empty()) return false;
    const auto echt = Realpfad(pfad);
    struct stat st {};
    if (!echt || ::stat(echt->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    // Nodes are known by their name in the device folder; in /dev those names are only ever
    // character devices, and a made-up device folder holds plain files in their place.
    const std::string geraete = Geraeteordner_aufgeloest();
    if (ist_USB_Knotenname(*echt, geraete)) return true;
    if (Geraet_mit_Nummer(*echt, geraete + "ttyS")) return UART_bekannt(*echt);
    // A pseudo-terminal is a port only where someone (a simulator, a test) registered it;
    // otherwise every terminal window would show up.
    if (S_ISCHR(st.st_mode) && Geraet_mit_Nummer(*echt, "/dev/pts/")) return Eintrag_fuer(st) != 0;
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

bool COM_eingetragen(int n) {
    if (!gueltige_Nummer(n)) return false;
    const std::string eintrag = Eintrag(Portverzeichnis_Ordner(), n);
    struct stat st {};
    return !eintrag.empty() && ::lstat(eintrag.c_str(), &st) == 0;
}

int Freie_COM_Nummer(int ab) {
    for (int n = std::max(ab, 1); n <= COM_Nummer_max; ++n) {
        // A dangling entry still belongs to its (unplugged) adapter.
        if (COM_eingetragen(n)) continue;
        if (n <= 4 && ist_echter_Port(COM_Pfad(n))) continue;
        return n;
    }
    return 0;
}

namespace {

// The node a by-id link names, without following further links (its target is relative,
// "../../ttyUSB0").
std::string Verweisknoten(const std::filesystem::path& verweis) {
    std::error_code fehler;
    const auto ziel = std::filesystem::read_symlink(verweis, fehler);
    if (fehler) return {};
    if (ziel.is_absolute()) return ziel.lexically_normal().string();
    return (verweis.parent_path() / ziel).lexically_normal().string();
}

std::string Dateiname(const std::string& pfad) {
    return pfad.substr(pfad.rfind('/') + 1);
}

std::string Erste_Zeile(const std::string& datei) {
    std::ifstream ein(datei);
    std::string zeile;
    std::getline(ein, zeile);
    return zeile;
}

// Text from outside for a combo box line: no control characters, no runaway length.
std::string Saeubern(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    const auto anfang = text.find_first_not_of(' ');
    if (anfang == std::string::npos) return {};
    text = text.substr(anfang, text.find_last_not_of(' ') - anfang + 1);
    constexpr std::size_t laenge_max = 60;
    return Utf8_kuerzen(text, laenge_max);
}

std::string Beschreibung_aus_Geraetebaum(const std::string& knoten) {
    const auto geraet = Realpfad(Systemordner() + "/class/tty/" + Dateiname(knoten) + "/device");
    if (!geraet) return {};
    // usb-serial: port → interface → device; ACM: interface → device.
    std::filesystem::path ort = *geraet;
    for (int stufe = 0; stufe < 4 && ort.has_parent_path(); ++stufe, ort = ort.parent_path()) {
        const std::string produkt = Saeubern(Erste_Zeile((ort / "product").string()));
        if (produkt.empty()) continue;
        const std::string hersteller = Saeubern(Erste_Zeile((ort / "manufacturer").string()));
        if (hersteller.empty() || produkt.starts_with(hersteller)) return produkt;
        return Saeubern(hersteller + " " + produkt);
    }
    return {};
}

std::string Beschreibung_aus_Verweisname(const std::string& by_id) {
    std::string name = Dateiname(by_id);
    if (name.starts_with("usb-")) name.erase(0, 4);
    // Interface and port of the adapter are no help to the operator.
    const std::size_t schnittstelle = name.rfind("-if");
    if (schnittstelle != std::string::npos && schnittstelle > 0 &&
        schnittstelle + 3 < name.size() &&
        std::isdigit(static_cast<unsigned char>(name[schnittstelle + 3])))
        name.resize(schnittstelle);
    std::replace(name.begin(), name.end(), '_', ' ');
    return Saeubern(name);
}

} // namespace

std::string Port_Beschreibung(const std::string& knoten, const std::string& by_id) {
    if (std::string b = Beschreibung_aus_Geraetebaum(knoten); !b.empty()) return b;
    if (!by_id.empty()) return Beschreibung_aus_Verweisname(by_id);
    return {};
}

std::vector<USB_Adapter> USB_Adapter_auflisten() {
    const std::string geraete = Geraeteordner();
    std::map<std::string, USB_Adapter> nach_knoten;
    std::error_code fehler;

    for (std::filesystem::directory_iterator it(geraete, fehler), ende; !fehler && it != ende;
         it.increment(fehler)) {
        const std::string pfad = it->path().lexically_normal().string();
        if (!ist_USB_Knotenname(pfad, geraete + "/")) continue;
        struct stat st {};
        if (::stat(pfad.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        nach_knoten[pfad] = {pfad, pfad, {}};
    }

    fehler.clear();
    std::map<std::string, std::string> by_id; // node → its first by-id link
    for (std::filesystem::directory_iterator it(geraete + "/serial/by-id", fehler), ende;
         !fehler && it != ende; it.increment(fehler)) {
        const std::string knoten = Verweisknoten(it->path());
        struct stat st {};
        if (knoten.empty() || ::stat(knoten.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        const std::string verweis = it->path().string();
        auto [platz, neu] = by_id.emplace(knoten, verweis);
        if (!neu && verweis < platz->second) platz->second = verweis;
    }
    for (const auto& [knoten, verweis] : by_id) {
        auto& a = nach_knoten[knoten];
        a.Knoten = knoten;
        a.Stabiler_Pfad = verweis;
    }

    std::vector<USB_Adapter> liste;
    for (auto& [knoten, a] : nach_knoten) {
        a.Beschreibung =
            Port_Beschreibung(knoten, a.Stabiler_Pfad != knoten ? a.Stabiler_Pfad : "");
        liste.push_back(std::move(a));
    }
    return liste;
}

int COM_Nummer_von(const std::string& pfad) {
    struct stat geraet {};
    if (pfad.empty() || ::stat(pfad.c_str(), &geraet) != 0) return 0;
    return Eintrag_fuer(geraet);
}

Zugriffsrecht Zugriff_pruefen(const std::string& pfad) {
    Zugriffsrecht recht;
    // The effective ids decide at open(); access() alone would ask for the real ones.
    recht.erlaubt =
        !pfad.empty() && ::faccessat(AT_FDCWD, pfad.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (recht.erlaubt) return recht;
    struct stat st {};
    if (pfad.empty() || ::stat(pfad.c_str(), &st) != 0 || st.st_gid == 0) return recht;
    std::vector<char> puffer(16384);
    group eintrag{};
    group* ergebnis = nullptr;
    if (::getgrgid_r(st.st_gid, &eintrag, puffer.data(), puffer.size(), &ergebnis) == 0 &&
        ergebnis && ergebnis->gr_name)
        recht.Gruppe = ergebnis->gr_name;
    return recht;
}

} // namespace orvexa
