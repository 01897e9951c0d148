#include "protokoll.h"

#include "platform/programmverzeichnis.h"
#include "text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexa {

namespace {

std::mutex g_schreibsperre;

// Every line goes to the file at once with one unbuffered append, so nothing is lost when the
// program dies. The descriptor stays open between lines: the serial link logs every exchange,
// and opening the file for each line made an exchange markedly slower. It is opened again when
// the path changes or the file was deleted behind the program's back.
int g_fd = -1;
std::string g_fd_pfad;

void Logdatei_schliessen() {
    if (g_fd >= 0) ::close(g_fd);
    g_fd = -1;
    g_fd_pfad.clear();
}

bool Noch_verlinkt() {
    struct stat offen {};
    return ::fstat(g_fd, &offen) == 0 && offen.st_nlink > 0;
}

int Logdatei_oeffnen(const std::string& pfad) {
    if (g_fd >= 0 && g_fd_pfad == pfad && Noch_verlinkt()) return g_fd;
    Logdatei_schliessen();
    g_fd = ::open(pfad.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (g_fd >= 0) g_fd_pfad = pfad;
    return g_fd;
}

const char* Steuerzeichenname(unsigned char c) {
    switch (c) {
    case 1:
        return "<SOH>";
    case 2:
        return "<STX>";
    case 3:
        return "<ETX>";
    case 6:
        return "<ACK>";
    case 7:
        return "<BEL>";
    case 13:
        return "<CR>";
    case 21:
        return "<NAK>";
    default:
        return nullptr;
    }
}

// nullptr: the level writes nothing.
const char* Einzug(int ebene) {
    switch (ebene & 0xFF) {
    case 1:
        return "";
    case 2:
        return " ";
    case 4:
        return "  ";
    case 8:
    case 16:
        return "   ";
    case 32:
        return "    ";
    case 64:
        return "     ";
    case 128:
        return "      ";
    default:
        return nullptr;
    }
}

} // namespace

std::string Protokolldateiname() {
    return Programmverzeichnis() + "~protokoll.log";
}

std::string Steuerzeichen_ersetzen(std::string_view source) {
    std::string ziel;
    ziel.reserve(std::min(source.size(), Protokollzeile_max));
    for (char zeichen : source) {
        if (zeichen == '\0') break; // the text ends at its terminator
        const char* name = Steuerzeichenname(static_cast<unsigned char>(zeichen));
        const std::string_view teil = name ? std::string_view(name) : std::string_view(&zeichen, 1);
        if (ziel.size() + teil.size() > Protokollzeile_max) {
            // Do not leave half a UTF-8 character at the cut.
            if (!name) ziel = Utf8_kuerzen(ziel + zeichen, ziel.size());
            break;
        }
        ziel.append(teil);
    }
    return ziel;
}

void Protokoll_schreiben(int ebene, std::string_view text) {
    const char* einzug = Einzug(ebene);
    if (!einzug) return;
    std::string zeile = einzug;
    zeile += text;
    zeile = Steuerzeichen_ersetzen(zeile);
    zeile += '\n';

    const std::string pfad = Protokolldateiname();
    std::lock_guard lock(g_schreibsperre);
    const int fd = Logdatei_oeffnen(pfad);
    if (fd < 0) return; // a log that cannot be opened loses the line
    std::size_t geschrieben = 0;
    while (geschrieben < zeile.size()) {
        const ssize_t n = ::write(fd, zeile.data() + geschrieben, zeile.size() - geschrieben);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        geschrieben += static_cast<std::size_t>(n);
    }
}

void Protokoll_Zeile(std::string_view text) {
    Protokoll_schreiben(Ebene_ohne_Einzug, text);
}

void Protokoll_loeschen() {
    std::lock_guard lock(g_schreibsperre);
    Logdatei_schliessen();
    ::unlink(Protokolldateiname().c_str());
}

} // namespace orvexa
