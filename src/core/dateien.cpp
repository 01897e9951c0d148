#include "dateien.h"

#include "core/protokoll.h"
#include "platform/portverzeichnis.h"
#include "platform/programmverzeichnis.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexa {

namespace {

std::string Systemfehler(const std::string& was, int fehler) {
    return was + ": " + std::strerror(fehler) + " (errno " + std::to_string(fehler) + ")";
}

bool Alles_schreiben(int fd, std::string_view inhalt) {
    const char* p = inhalt.data();
    std::size_t rest = inhalt.size();
    while (rest > 0) {
        const ssize_t n = ::write(fd, p, rest);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        rest -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether name ends in "." + endung, letters compared without regard to case as the Windows
// file masks did. An empty endung matches nothing.
bool hat_Endung(std::string_view name, std::string_view endung) {
    if (endung.empty() || name.size() <= endung.size()) return false;
    const std::size_t punkt = name.size() - endung.size() - 1;
    if (name[punkt] != '.') return false;
    for (std::size_t i = 0; i < endung.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[punkt + 1 + i])) !=
            std::tolower(static_cast<unsigned char>(endung[i])))
            return false;
    }
    return true;
}

// The rename lives in the folder's entries: without syncing them a power cut can bring back
// the old name, or none. The new content is in place already, so a failure is only logged.
void Ordner_synchronisieren(const std::string& pfad) {
    const std::size_t schraegstrich = pfad.rfind('/');
    const std::string ordner = schraegstrich == std::string::npos ? std::string(".")
                               : schraegstrich == 0               ? std::string("/")
                                                                  : pfad.substr(0, schraegstrich);
    const int fd = ::open(ordner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int fehler = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (::fsync(fd) != 0) fehler = errno;
        ::close(fd);
    }
    // Some file systems cannot sync a folder; they keep their entries safe by other means.
    if (fehler != 0 && fehler != EINVAL)
        Protokoll_schreiben(Ebene_Fehler,
                            "Datei_atomar_schreiben() :: " + Systemfehler(ordner, fehler));
}

constexpr std::array<std::string_view, 13> Feste_Endungen = {
    "cpp", "h", "dfm", "res", "bpr", "dat", "fpc", "obj", "exe", "txt", "lnk", "bat", "png"};

} // namespace

bool Datei_atomar_schreiben(const std::string& pfad, std::string_view inhalt,
                            std::string* fehlertext) {
    std::string vorlage = pfad + ".tmp-XXXXXX";
    const int fd = ::mkstemp(vorlage.data());
    if (fd < 0) {
        if (fehlertext) *fehlertext = Systemfehler(pfad, errno);
        return false;
    }
    // Keep the permissions an existing file has; a new one gets the usual 0644.
    struct stat alt {};
    ::fchmod(fd, ::stat(pfad.c_str(), &alt) == 0 ? (alt.st_mode & 07777) : 0644);

    int fehler = 0;
    if (!Alles_schreiben(fd, inhalt) || ::fsync(fd) != 0) fehler = errno;
    if (::close(fd) != 0 && fehler == 0) fehler = errno;
    if (fehler == 0 && ::rename(vorlage.c_str(), pfad.c_str()) != 0) fehler = errno;
    if (fehler != 0) {
        ::unlink(vorlage.c_str());
        if (fehlertext) *fehlertext = Systemfehler(pfad, fehler);
        return false;
    }
    Ordner_synchronisieren(pfad);
    return true;
}

bool Datei_lesen(const std::string& pfad, std::string& inhalt) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    inhalt.clear();
    char puffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, puffer, sizeof puffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        inhalt.append(puffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool Datei_existiert(const std::string& pfad) {
    struct stat st {};
    return ::stat(pfad.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void koraCloseHandle(int handle) {
    if (handle < 0) return;
    // Linux releases the descriptor even when close() reports an error (EINTR included), so
    // trying again could close a descriptor another thread has just been given.
    if (::close(handle) != 0) {
        const int fehler = errno;
        Protokoll_schreiben(Ebene_Fehler,
                            "koraCloseHandle() :: GetLastError()=" + std::to_string(fehler));
    }
}

int Dateizeiten_setzen(const std::tm& zeit, const std::string& mask1, const std::string& mask2) {
    std::tm utc = zeit;
    errno = 0;
    const time_t sekunden = ::timegm(&utc);
    if (sekunden == static_cast<time_t>(-1) && errno == EOVERFLOW) return 0;
    // Linux keeps a birth time but offers no way to set it; access and modification are all.
    const timespec zeiten[2] = {{sekunden, 0}, {sekunden, 0}};

    const std::string verzeichnis = Programmverzeichnis();
    DIR* ordner = ::opendir(verzeichnis.c_str());
    if (!ordner) return 0;
    const int ordner_fd = ::dirfd(ordner);

    int gesetzt = 0;
    while (const dirent* eintrag = ::readdir(ordner)) {
        const std::string_view name = eintrag->d_name;
        bool passt = hat_Endung(name, mask1) || hat_Endung(name, mask2);
        for (std::string_view endung : Feste_Endungen)
            passt = passt || hat_Endung(name, endung);
        if (!passt) continue;

        // Only plain files of this folder: no links out of it, and no FIFO or device whose
        // opening could block or act on hardware.
        struct stat st {};
        if (::fstatat(ordner_fd, eintrag->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        const int fd = ::openat(ordner_fd, eintrag->d_name,
                                O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::futimens(fd, zeiten) == 0) ++gesetzt;
        ::close(fd);
    }
    ::closedir(ordner);
    return gesetzt;
}

namespace {

std::vector<std::string> Ports_auflisten(bool mit_geraet) {
    std::vector<std::string> namen;
    for (int n = 1; n <= COM_Nummer_max; ++n) {
        const std::string pfad = COM_Pfad(n);
        if (!ist_echter_Port(pfad)) continue;
        std::string name = "COM" + std::to_string(n);
        if (mit_geraet) name += " (" + pfad + ")";
        namen.push_back(std::move(name));
    }
    return namen;
}

} // namespace

std::vector<std::string> COM_Ports_auflisten() {
    return Ports_auflisten(false);
}

std::vector<std::string> COM_Ports_mit_Geraet() {
    return Ports_auflisten(true);
}

std::string Portanzeige(int32_t nummer, const std::string& knoten, const std::string& beschreibung,
                        bool neu, bool zugriff, const std::string& gruppe) {
    std::string text = "COM" + std::to_string(nummer) + "  " + knoten;
    if (!beschreibung.empty()) text += " (" + beschreibung + ")";
    if (neu) text += " \u2013 neu";
    if (!zugriff) {
        text += gruppe.empty() ? std::string(" (keine Berechtigung)")
                               : " (keine Berechtigung \u2013 Gruppe " + gruppe + ")";
    }
    return text;
}

namespace {

// Where an entry points when it was made from a stable name: that name, else nothing.
std::string Verweis_des_Eintrags(int n) {
    std::error_code fehler;
    const auto ziel = std::filesystem::read_symlink(
        Portverzeichnis_Ordner() + "/COM" + std::to_string(n), fehler);
    if (fehler || ziel.string().find("/by-id/") == std::string::npos) return {};
    return ziel.string();
}

} // namespace

std::vector<Portangebot> COM_Ports_zur_Wahl() {
    std::vector<Portangebot> angebote;
    for (int n = 1; n <= COM_Nummer_max; ++n) {
        const std::string pfad = COM_Pfad(n);
        if (!ist_echter_Port(pfad)) continue;
        const Zugriffsrecht recht = Zugriff_pruefen(pfad);
        Portangebot a;
        a.Nummer = n;
        a.Geraet = pfad;
        a.Zugriff = recht.erlaubt;
        a.Anzeige = Portanzeige(n, pfad, Port_Beschreibung(pfad, Verweis_des_Eintrags(n)), false,
                                recht.erlaubt, recht.Gruppe);
        angebote.push_back(std::move(a));
    }

    int naechste = 1;
    for (const USB_Adapter& adapter : USB_Adapter_auflisten()) {
        if (COM_Nummer_von(adapter.Knoten) != 0) continue;
        naechste = Freie_COM_Nummer(naechste);
        if (naechste == 0) break; // all 63 names taken
        const Zugriffsrecht recht = Zugriff_pruefen(adapter.Knoten);
        Portangebot a;
        a.Nummer = naechste++;
        a.Neu = true;
        a.Geraet = adapter.Stabiler_Pfad;
        a.Zugriff = recht.erlaubt;
        a.Anzeige = Portanzeige(a.Nummer, adapter.Knoten, adapter.Beschreibung, true, recht.erlaubt,
                                recht.Gruppe);
        angebote.push_back(std::move(a));
    }
    return angebote;
}

int32_t Portangebot_eintragen(const Portangebot& angebot, std::string* fehlertext) {
    if (!angebot.Neu) return angebot.Nummer;
    // Meanwhile entered (another opening of the dialog, a second program): keep that entry.
    if (const int vorhanden = COM_Nummer_von(angebot.Geraet); vorhanden != 0) return vorhanden;
    int n = angebot.Nummer;
    if (n < 1 || n > COM_Nummer_max || COM_eingetragen(n) ||
        (n <= 4 && ist_echter_Port(COM_Pfad(n))))
        n = Freie_COM_Nummer();
    if (n == 0) {
        if (fehlertext) *fehlertext = "Alle Namen COM1 bis COM63 sind vergeben.";
        return 0;
    }
    if (!COM_registrieren(n, angebot.Geraet)) {
        if (fehlertext)
            *fehlertext = "Der Eintrag COM" + std::to_string(n) + " konnte im Ordner " +
                          Portverzeichnis_Ordner() + " nicht angelegt werden.";
        return 0;
    }
    Protokoll_schreiben(Ebene_Befehl, "Portangebot_eintragen() :: COM" + std::to_string(n) +
                                          " -> " + angebot.Geraet);
    return n;
}

} // namespace orvexa
