// kxsim: a serial controller on a pseudo-terminal, for trying the program without a machine.
// Prints the device path; with --com N the port directory gets an entry COMN for it, removed
// again when kxsim ends (SIGINT, SIGTERM).

#include "platform/portverzeichnis.h"
#include "seriellesteuerung.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <unistd.h>

using namespace orvexa;

namespace {

void Hilfe(std::FILE* ziel) {
    std::fprintf(ziel,
                 "Aufruf: kxsim [--com N] [--zeitskala F] [--modul M] [--kennung TEXT]\n"
                 "  --com N         COMN im Portverzeichnis auf die Steuerung zeigen lassen "
                 "(1..%d)\n"
                 "  --zeitskala F   0 = Fahrten sofort beendet, 1 = echte Geschwindigkeit "
                 "(Vorgabe 1)\n"
                 "  --modul M       Steuerungstyp 5, 6, 10..13 (Vorgabe 5)\n"
                 "  --kennung TEXT  Antwort auf @V\n",
                 COM_Nummer_max);
}

bool Ganzzahl(const char* text, long min, long max, long& wert) {
    if (!text || !*text) return false;
    char* ende = nullptr;
    errno = 0;
    const long w = std::strtol(text, &ende, 10);
    if (errno != 0 || *ende != '\0' || w < min || w > max) return false;
    wert = w;
    return true;
}

bool Kommazahl(const char* text, double& wert) {
    if (!text || !*text) return false;
    char* ende = nullptr;
    errno = 0;
    const double w = std::strtod(text, &ende);
    if (errno != 0 || *ende != '\0' || !std::isfinite(w) || w < 0) return false;
    wert = w;
    return true;
}

// Our entry only: another kxsim may have taken the name meanwhile.
void Abmelden(int com, const std::string& pfad) {
    const std::string eintrag = Portverzeichnis_Ordner() + "/COM" + std::to_string(com);
    char ziel[PATH_MAX] = {};
    const ssize_t n = ::readlink(eintrag.c_str(), ziel, sizeof ziel - 1);
    if (n > 0 && std::string(ziel, static_cast<std::size_t>(n)) == pfad) COM_abmelden(com);
}

} // namespace

int main(int argc, char** argv) {
    long com = 0;
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* wert = i + 1 < argc ? argv[i + 1] : nullptr;
        long zahl = 0;
        bool gut = true;
        if (arg == "--help" || arg == "-h") {
            Hilfe(stdout);
            return 0;
        } else if (arg == "--com") {
            gut = Ganzzahl(wert, 1, COM_Nummer_max, com);
        } else if (arg == "--zeitskala") {
            gut = Kommazahl(wert, optionen.Zeitskala);
        } else if (arg == "--modul") {
            gut = Ganzzahl(wert, 5, 13, zahl) && (zahl <= 6 || zahl >= 10);
            optionen.Modul = static_cast<int32_t>(zahl);
        } else if (arg == "--kennung") {
            gut = wert != nullptr;
            if (gut) optionen.Kennung = wert;
        } else {
            gut = false;
        }
        if (!gut) {
            std::fprintf(stderr, "kxsim: ungültige Angabe bei %s\n", arg.c_str());
            Hilfe(stderr);
            return 2;
        }
        ++i;
    }

    // Blocked before the simulator's thread starts, so that only sigwait takes them.
    sigset_t signale;
    sigemptyset(&signale);
    sigaddset(&signale, SIGINT);
    sigaddset(&signale, SIGTERM);
    sigaddset(&signale, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signale, nullptr);

    try {
        SerielleSteuerung steuerung(optionen);
        const std::string& pfad = steuerung.Geraetepfad();
        if (com > 0 && !COM_registrieren(static_cast<int>(com), pfad)) {
            std::fprintf(stderr, "kxsim: COM%ld konnte in %s nicht eingetragen werden\n", com,
                         Portverzeichnis_Ordner().c_str());
            return 1;
        }
        std::printf("%s\n", pfad.c_str());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&signale, &signal);
        if (com > 0) Abmelden(static_cast<int>(com), pfad);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxsim: %s\n", e.what());
        return 1;
    }
    return 0;
}
