// kxsim: a serial controller on a pseudo-terminal, for trying the program without a machine.
// Prints the device path; with --com N the port directory gets an entry COMN for it, removed
// again when kxsim ends (SIGINT, SIGTERM). --modul 2 or 3 starts a program-storing controller;
// SIGUSR1 then presses the KXCU's start key (replays its fixed memory).

#include "platform/portverzeichnis.h"
#include "seriellesteuerung.h"
#include "speicherndesteuerung.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
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
                 "  --modul M       Steuerungstyp 2, 3, 5, 6, 10..13 (Vorgabe 5); bei 3\n"
                 "                  startet SIGUSR1 das Programm im Festwertspeicher\n"
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
            gut = Ganzzahl(wert, 2, 13, zahl) && zahl != 4 && (zahl <= 6 || zahl >= 10);
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
    sigaddset(&signale, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signale, nullptr);

    try {
        std::unique_ptr<SerielleSteuerung> seriell;
        std::unique_ptr<SpeicherndeSteuerung> speichernd;
        if (optionen.Modul == 2 || optionen.Modul == 3) {
            SpeicherndeSteuerung::Optionen o;
            o.Modul = optionen.Modul;
            o.Zeitskala = optionen.Zeitskala;
            o.Kennung = optionen.Kennung;
            speichernd = std::make_unique<SpeicherndeSteuerung>(o);
        } else {
            seriell = std::make_unique<SerielleSteuerung>(optionen);
        }
        const std::string pfad = seriell ? seriell->Geraetepfad() : speichernd->Geraetepfad();
        if (com > 0 && !COM_registrieren(static_cast<int>(com), pfad)) {
            std::fprintf(stderr, "kxsim: COM%ld konnte in %s nicht eingetragen werden\n", com,
                         Portverzeichnis_Ordner().c_str());
            return 1;
        }
        std::printf("%s\n", pfad.c_str());
        std::fflush(stdout);
        int signal = 0;
        while (sigwait(&signale, &signal) == 0 && signal == SIGUSR1) {
            if (speichernd && !speichernd->Festprogramm_starten())
                std::fprintf(stderr, "kxsim: kein Programm im Festwertspeicher oder beschäftigt\n");
        }
        if (com > 0) Abmelden(static_cast<int>(com), pfad);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxsim: %s\n", e.what());
        return 1;
    }
    return 0;
}
