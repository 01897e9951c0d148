// orvexa-cli: runs a position table or a Doming job on the machine without a window, for
// automation and tests. It connects like the main window and runs the table like the vector
// output dialog (the job like the Doming window), through the same code; progress goes to
// stdout, the program's messages to stderr.

#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "angle/wt_parameter.h"
#include "cli/cli_hpgl.h"
#include "cli/cli_speicher.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/verbindungsablauf.h"
#include "dispensing/domingablauf.h"
#include "dispensing/dominganzeige.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/domingprimitive.h"
#include "dispensing/hpgldatamodule.h"
#include "drivers/standardtreiber.h"
#include "platform/programmverzeichnis.h"
#include "programmversion.h"
#include "simulation.h"
#include "tables/laufzeitschaetzung.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace orvexa;

namespace {

// Exit codes; an interrupted run ends with 128 + the signal number.
enum Rueckgabe : int {
    Erfolg = 0,
    Lauffehler = 1,         // the run ended with an error code or was refused
    Aufruffehler = 2,       // bad command line
    Einrichtungsfehler = 3, // parameter file, table file, simulator or connection
};

void Hilfe(std::FILE* ziel) {
    std::fprintf(
        ziel, "Usage: orvexa-cli run TABLE.edt [options]\n"
              "       orvexa-cli dom JOB.dom [options]\n"
              "       orvexa-cli hpgl FILE [--offset X,Y]\n"
              "       orvexa-cli memory list|read N|write N TABLE.edt|erase N|erase-all --yes\n"
              "       orvexa-cli angle goto DEG [--wt-param FILE] [--sim]\n"
              "\n"
              "Runs the position table TABLE.edt on the configured controller the way the\n"
              "\"Vektorausgabe\" dialog does, without a window. It connects like the main window\n"
              "(Steuerung_erzeugen, Steuerung_oeffnen, Version_abfragen), prints the controller's\n"
              "identification, one line per table row (\"cycle 2/3 row 5/40\"; endless runs\n"
              "\"cycle 4 row 5/40\") and the result, and writes the protocol log ~protokoll.log.\n"
              "Each row line ends with the estimated time left (\"left 00:03:12\"; endless runs:\n"
              "left of the current cycle), except in the angle-positioning mode.\n"
              "\n"
              "Options:\n"
              "  --param FILE       machine parameter file (default: <program>_param.dat in the\n"
              "                     program directory; a missing default file gives the defaults)\n"
              "  --cycles N         run the table N times (default 1; 0 also runs it once)\n"
              "  --endless          run it until interrupted (not with --cycles)\n"
              "  --ref MODE         reference cycle: none (default), first (before the first\n"
              "                     cycle) or each (before every cycle)\n"
              "  --ref-axes AXES    axes of the reference cycle, letters of xyzu (default xyz)\n"
              "  --z-interpolate    move z together with x and y instead of after them\n"
              "  --kora             the \"/KORA\" mode: full controller initialisation\n"
              "  --record           KX900-KXCU (type 3) only: record the table into the\n"
              "                     controller's fixed memory instead of running it (the\n"
              "                     dialog's \"Ausgabe in den Festwertspeicher\"; not with\n"
              "                     --endless); when the memory is full the recording is\n"
              "                     erased, the dialog's message printed and the exit status 1\n"
              "  --torval           the \"/TORVAL\" mode: outputs of type 5 through I2C\n"
              "  --wt               the angle-positioning mode \"/WT\": the machine parameters\n"
              "                     come from the angle parameters (not with --param), the\n"
              "                     position display is opened at 4800 Bd on WT_ND261_Com, every\n"
              "                     row with an x angle above 0 is approached and checked on the\n"
              "                     display; the results go to TabellenAusgabe.txt in the\n"
              "                     current directory\n"
              "  --wt-param FILE    angle parameter file (default: wt_parameter.dat in the\n"
              "                     current directory)\n"
              "  --estimate         print the estimated time of the run without connecting;\n"
              "                     the last line is \"estimate: H:MM:SS.mmm\" (the whole run\n"
              "                     with its cycles and reference runs; endless: the reference\n"
              "                     run and one cycle). The axes are taken to stand where the\n"
              "                     last reference run left them; waits for input E1 count 0\n"
              "  --sim              start a simulated controller for the configured type and\n"
              "                     register it as COM<ComPort> (types 2, 3, 5, 6, 10-13); the\n"
              "                     port directory is a temporary one unless ORVEXA_PORTS is set\n"
              "  --sim-timescale F  speed of the simulated moves: 0 = at once (default), 1 = real\n"
              "  --program-dir DIR  directory for the protocol log and the default parameter file\n"
              "                     (default: the directory of this executable; when that\n"
              "                     cannot be written, ~/.local/share/orvexa2011)\n"
              "  -h, --help         this text\n"
              "  --version          the program version\n"
              "\n"
              "'dom' runs the Doming job JOB.dom the way \"S&tart\" of the Doming window does:\n"
              "it connects, initialises the controller, switches the valve and the laser off,\n"
              "makes the reference run of x and y, dispenses the job's shape on every part of\n"
              "every sheet (one line per part: \"pass 1 part 2/4 sheet 0/0 ix/iy 1/0 at\n"
              "15.00/20.00 mm\"), makes the closing reference run and prints the result.\n"
              "\n"
              "'angle goto DEG' turns the rotary axis of the angle-positioning mode to DEG\n"
              "degrees the way \"anfahren\" of the ND261 test panel does: it loads the angle\n"
              "parameters, connects the KXCU on WT_KXCU_Com and the display on WT_ND261_Com\n"
              "(4800 Bd), and writes the transcript to stdout and to \"Winkel_anfahren() -\n"
              "Test.txt\" in the current directory. Options: --wt-param, --sim (both simulators\n"
              "on the two ports), --sim-timescale, --program-dir. Exit status 0 when the angle\n"
              "was set (\"Winkel wurde eingestellt!\"), 1 when not or on a controller error, 3\n"
              "when connecting failed.\n"
              "\n"
              "'hpgl' prints the command table the Doming window reads from the plot file\n"
              "FILE (see 'orvexa-cli hpgl --help').\n"
              "\n"
              "Options of 'dom' (besides --param, --sim, --sim-timescale, --program-dir):\n"
              "  --doming-param FILE  working area file (default: DomingParam.dat in the program\n"
              "                     directory; a missing default file gives the defaults)\n"
              "  --here             start from where the machine stands (the \"Manuelles\n"
              "                     Fahren\" tab): no reference runs, back there at the end\n"
              "  --no-reference     no reference run before the first part\n"
              "  --laser            laser-pointer operation: output 2 instead of the valve\n"
              "\n"
              "Ctrl-C (SIGINT) or SIGTERM stops the axes (Achsen_anhalten) and ends the run; a\n"
              "second one exits at once.\n"
              "\n"
              "Exit status: 0 the run completed; 1 the run ended with a controller error (its\n"
              "name and text are printed), was stopped by a check or was refused; 2 bad command\n"
              "line; 3 the parameter file, the table or job file, the simulator or the\n"
              "connection failed; 128 + the signal number after an interrupt (130 for Ctrl-C).\n");
    std::fprintf(ziel, "\n");
    Speicher_Hilfe(ziel);
}

struct Optionen {
    std::string befehl;  // "run" or "dom"
    std::string tabelle; // the table or the job file
    std::string domingparameter;
    bool hier = false;
    bool ohne_referenz = false;
    bool laser = false;
    std::string parameterdatei; // empty: the default beside the program
    std::string programmverzeichnis;
    int32_t zyklen = 1;
    bool zyklen_gegeben = false;
    bool endlos = false;
    int32_t refmodus = 0;
    std::string refachsen = "xyz";
    bool zinterpolieren = false;
    bool kora = false;
    bool torval = false;
    bool aufzeichnen = false; // --record
    bool schaetzen = false;   // --estimate
    bool simulation = false;
    double zeitskala = 0;
    bool wt = false;         // --wt, and always for 'angle'
    std::string wtparameter; // empty: wt_parameter.dat in the current directory
    std::string winkel;      // the target of 'angle goto'
};

[[noreturn]] void Aufruf_falsch(const std::string& meldung) {
    std::fprintf(stderr, "orvexa-cli: %s\nTry 'orvexa-cli --help'.\n", meldung.c_str());
    std::exit(Aufruffehler);
}

int32_t Ganzzahl_lesen(const std::string& option, const char* text) {
    char* ende = nullptr;
    errno = 0;
    const long wert = std::strtol(text, &ende, 10);
    if (errno != 0 || ende == text || *ende != '\0' || wert < 0 || wert > INT32_MAX)
        Aufruf_falsch(option + " needs a whole number from 0 to " + std::to_string(INT32_MAX) +
                      ", not '" + text + "'");
    return static_cast<int32_t>(wert);
}

Optionen Optionen_lesen(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Hilfe(stdout);
            std::exit(Erfolg);
        }
        if (arg == "--version") {
            std::printf("orvexa-cli %s\n", Programmversion);
            std::exit(Erfolg);
        }
    }
    if (argc < 2) Aufruf_falsch("no command given");
    Optionen o;
    o.befehl = argv[1];
    if (o.befehl != "run" && o.befehl != "dom" && o.befehl != "angle")
        Aufruf_falsch(std::string("unknown command '") + argv[1] + "'");
    const bool dom = o.befehl == "dom";
    const bool winkel = o.befehl == "angle";
    int erstes = 2;
    if (winkel) {
        if (argc < 3 || std::string(argv[2]) != "goto") Aufruf_falsch("angle takes 'goto DEG'");
        // A negative angle is the target, not an option.
        if (argc < 4) Aufruf_falsch("angle goto needs an angle in degrees");
        o.winkel = argv[3];
        char* ende = nullptr;
        const double grad = std::strtod(o.winkel.c_str(), &ende);
        if (o.winkel.empty() || *ende != '\0' || !std::isfinite(grad))
            Aufruf_falsch("angle goto needs an angle in degrees, not '" + o.winkel + "'");
        o.wt = true;
        erstes = 4;
    }
    // Options of the other command are refused rather than ignored.
    const auto nur = [&](const std::string& arg, bool erlaubt) {
        if (!erlaubt) Aufruf_falsch(arg + " is not an option of '" + o.befehl + "'");
    };

    for (int i = erstes; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto wert = [&]() -> const char* {
            if (i + 1 >= argc) Aufruf_falsch(arg + " needs a value");
            return argv[++i];
        };
        // Options of 'run' that 'angle' does not take either.
        const bool nur_run = arg == "--cycles" || arg == "--endless" || arg == "--ref" ||
                             arg == "--ref-axes" || arg == "--z-interpolate" || arg == "--kora" ||
                             arg == "--torval" || arg == "--record" || arg == "--wt" ||
                             arg == "--estimate";
        if (winkel && (nur_run || arg == "--param")) nur(arg, false);
        if (arg == "--param") {
            o.parameterdatei = wert();
        } else if (arg == "--wt") {
            nur(arg, !dom);
            o.wt = true;
        } else if (arg == "--wt-param") {
            nur(arg, !dom);
            o.wtparameter = wert();
        } else if (arg == "--cycles") {
            nur(arg, !dom);
            o.zyklen = Ganzzahl_lesen(arg, wert());
            o.zyklen_gegeben = true;
        } else if (arg == "--endless") {
            nur(arg, !dom);
            o.endlos = true;
        } else if (arg == "--ref") {
            nur(arg, !dom);
            const std::string modus = wert();
            if (modus == "none")
                o.refmodus = 0;
            else if (modus == "first")
                o.refmodus = 1;
            else if (modus == "each")
                o.refmodus = 2;
            else
                Aufruf_falsch("--ref takes none, first or each, not '" + modus + "'");
        } else if (arg == "--ref-axes") {
            nur(arg, !dom);
            o.refachsen = wert();
            if (o.refachsen.empty() ||
                o.refachsen.find_first_not_of("xyzuXYZU") != std::string::npos)
                Aufruf_falsch("--ref-axes takes letters of xyzu, not '" + o.refachsen + "'");
        } else if (arg == "--z-interpolate") {
            nur(arg, !dom);
            o.zinterpolieren = true;
        } else if (arg == "--kora") {
            nur(arg, !dom);
            o.kora = true;
        } else if (arg == "--torval") {
            nur(arg, !dom);
            o.torval = true;
        } else if (arg == "--record") {
            nur(arg, !dom);
            o.aufzeichnen = true;
        } else if (arg == "--estimate") {
            nur(arg, !dom);
            o.schaetzen = true;
        } else if (arg == "--sim") {
            o.simulation = true;
        } else if (arg == "--sim-timescale") {
            const char* text = wert();
            char* ende = nullptr;
            o.zeitskala = std::strtod(text, &ende);
            if (ende == text || *ende != '\0' || !std::isfinite(o.zeitskala) || o.zeitskala < 0)
                Aufruf_falsch(std::string("--sim-timescale needs a number of 0 or more, not '") +
                              text + "'");
        } else if (arg == "--doming-param") {
            nur(arg, dom);
            o.domingparameter = wert();
        } else if (arg == "--here") {
            nur(arg, dom);
            o.hier = true;
        } else if (arg == "--no-reference") {
            nur(arg, dom);
            o.ohne_referenz = true;
        } else if (arg == "--laser") {
            nur(arg, dom);
            o.laser = true;
        } else if (arg == "--program-dir") {
            o.programmverzeichnis = wert();
        } else if (arg.starts_with("-")) {
            Aufruf_falsch("unknown option '" + arg + "'");
        } else if (winkel) {
            Aufruf_falsch("more than one angle given");
        } else if (o.tabelle.empty()) {
            o.tabelle = arg;
        } else {
            Aufruf_falsch(dom ? "more than one job file given" : "more than one table file given");
        }
    }
    if (o.tabelle.empty() && !winkel)
        Aufruf_falsch(dom ? "no job file given" : "no table file given");
    if (o.wt && !o.parameterdatei.empty())
        Aufruf_falsch("--param and --wt exclude each other: the angle parameters fix the machine");
    if (!o.wtparameter.empty() && !o.wt) Aufruf_falsch("--wt-param needs --wt");
    if (o.wt && o.aufzeichnen) Aufruf_falsch("--record and --wt exclude each other");
    if (o.wt && o.schaetzen)
        Aufruf_falsch("--estimate and --wt exclude each other: an approach takes as long as the "
                      "position display needs");
    if (o.endlos && o.zyklen_gegeben) Aufruf_falsch("--cycles and --endless exclude each other");
    // As the dialog refuses "endlos" together with the fixed memory.
    if (o.endlos && o.aufzeichnen) Aufruf_falsch("--record and --endless exclude each other");
    return o;
}

// ---- Interrupts ---------------------------------------------------------------------------

// SIGINT and SIGTERM are blocked in every thread and taken by a watcher thread with
// sigwait, so the stop runs as ordinary code, not inside a signal handler. SIGUSR1 wakes the
// watcher to end it.
class Unterbrechungswaechter {
public:
    explicit Unterbrechungswaechter(const sigset_t& menge) : m_menge(menge) {
        m_thread = std::thread([this] { Schleife(); });
    }
    ~Unterbrechungswaechter() {
        m_ende = true;
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
    }
    Unterbrechungswaechter(const Unterbrechungswaechter&) = delete;
    Unterbrechungswaechter& operator=(const Unterbrechungswaechter&) = delete;

    // What a signal does to the run under way; empty when none is.
    void Anhalten_setzen(std::function<void()> anhalten) {
        std::lock_guard lock(m_mutex);
        m_anhalten = std::move(anhalten);
    }
    int Signal() const { return m_signal.load(); }

private:
    void Schleife() {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_menge, &signal) != 0) continue;
            if (signal == SIGUSR1) {
                if (m_ende) return;
                continue;
            }
            if (m_signal.exchange(signal) != 0) {
                static const char text[] = "orvexa-cli: interrupted again, exiting at once\n";
                [[maybe_unused]] const auto n = ::write(STDERR_FILENO, text, sizeof text - 1);
                std::_Exit(128 + signal);
            }
            std::fprintf(stderr, "orvexa-cli: interrupted, stopping the axes\n");
            std::lock_guard lock(m_mutex);
            if (m_anhalten) m_anhalten();
        }
    }

    sigset_t m_menge;
    std::thread m_thread;
    std::atomic<bool> m_ende{false};
    std::atomic<int> m_signal{0};
    std::mutex m_mutex;
    std::function<void()> m_anhalten;
};

// The angle-positioning mode: its parameters, the display link and the approach's transcript,
// which goes to stdout line by line.
struct Winkelumgebung {
    WT_Parameter parameter;
    Winkeltranskript transkript;
    TWT_ND261DM anzeige{transkript};
    KXCU_Winkelachse achse{anzeige};
};
std::unique_ptr<Winkelumgebung> g_winkel;

std::string Fehlertext(int32_t code) {
    return "error " + std::to_string(code) + ": " + Fehlerbericht(code);
}

// ---- Progress -----------------------------------------------------------------------------

class Konsolenbeobachter : public Vektorausgabe_Beobachter {
public:
    // schaetzung: the estimate whose time left ends each line; nullptr for none.
    Konsolenbeobachter(const Unterbrechungswaechter& waechter, int zeilen, int32_t zyklen,
                       bool endlos, const Laufschaetzung* schaetzung)
        : m_waechter(waechter), m_zeilen(zeilen), m_zyklen(zyklen < 1 ? 1 : zyklen),
          m_endlos(endlos), m_schaetzung(schaetzung) {}

    void Lauf_setzen(Vektorausgabe* lauf) { m_lauf = lauf; }

    void Laeuft(bool laeuft) override {
        // A signal that came before the run cleared its flags stops it now.
        if (laeuft && m_lauf && m_waechter.Signal() != 0) m_lauf->Abbrechen();
    }
    void Zyklus_beginnt(int nummer) override { m_zyklus = nummer; }
    void AktuelleZeile(int zeile) override {
        m_erledigt = 0;
        if (zeile > 0) std::printf("%s%s\n", Fortschritt(zeile).c_str(), Rest(zeile).c_str());
        std::fflush(stdout);
    }
    void Wiederholung_anzeigen(int zeile, const std::string& text) override {
        if (!text.empty()) {
            // "k von n": k executions of the row are done.
            m_erledigt = std::atoi(text.c_str());
            std::printf("%s (%s)%s\n", Fortschritt(zeile).c_str(), text.c_str(),
                        Rest(zeile).c_str());
        }
        std::fflush(stdout);
    }
    void Nachrichten_verarbeiten() override {}

private:
    std::string Fortschritt(int zeile) const {
        std::string text = "cycle " + std::to_string(m_zyklus);
        if (!m_endlos) text += "/" + std::to_string(m_zyklen);
        return text + " row " + std::to_string(zeile) + "/" + std::to_string(m_zeilen);
    }
    std::string Rest(int zeile) const {
        if (!m_schaetzung || !m_schaetzung->Schaetzbar) return "";
        return " left " + Dauertext(m_schaetzung->Rest_s(m_zyklus, zeile, m_erledigt));
    }

    const Unterbrechungswaechter& m_waechter;
    Vektorausgabe* m_lauf = nullptr;
    int m_zeilen;
    int32_t m_zyklen;
    bool m_endlos;
    const Laufschaetzung* m_schaetzung;
    int m_zyklus = 0;
    int32_t m_erledigt = 0;
};

int Ergebnis_melden(const Laufergebnis& ergebnis, int signal) {
    if (!ergebnis.Gestartet) {
        std::fprintf(stderr, "orvexa-cli: run refused: a gear ratio of the machine parameters "
                             "is 0\n");
        return Lauffehler;
    }
    const std::string durchlaeufe =
        std::to_string(ergebnis.Durchlaeufe) + (ergebnis.Durchlaeufe == 1 ? " pass" : " passes");
    if (signal != 0) {
        std::printf("result: interrupted after %s\n", durchlaeufe.c_str());
        return 128 + signal;
    }
    if (ergebnis.Fehlercode != 0) {
        std::printf("result: failed after %s\n", durchlaeufe.c_str());
        std::fprintf(stderr, "orvexa-cli: %s\n", Fehlertext(ergebnis.Fehlercode).c_str());
        return Lauffehler;
    }
    if (ergebnis.Abgebrochen) {
        std::printf("result: aborted after %s\n", durchlaeufe.c_str());
        return Lauffehler;
    }
    std::printf("result: completed, %s\n", durchlaeufe.c_str());
    return Erfolg;
}

std::string Dateiname(const std::string& pfad) {
    const std::size_t schraegstrich = pfad.rfind('/');
    return schraegstrich == std::string::npos ? pfad : pfad.substr(schraegstrich + 1);
}

// Connects as the main window does. False (after a message) when no controller answered.
bool Verbinden() {
    const Steuerungsinfo& info = Steuerung();
    std::string name;
    Verbindungsschritte schritte;
    schritte.Erzeugt = [&name](const std::string& n) { name = n; };
    if (g_winkel) {
        schritte.Anzeige_oeffnen = [] {
            const std::string& port = g_winkel->parameter.ND261_Com;
            const bool offen = g_winkel->anzeige.ND261_oeffnen(port, "4800");
            if (offen)
                std::printf("position display: ND261 on %s\n", port.c_str());
            else
                std::fprintf(stderr, "orvexa-cli: the position display on '%s' cannot be opened\n",
                             port.c_str());
            std::fflush(stdout);
            return offen;
        };
    }
    schritte.Beschrieben = [&] {
        std::printf("controller: %s on %s\n", name.empty() ? "(none)" : name.c_str(),
                    info.Schnittstelle.empty() ? "-" : info.Schnittstelle.c_str());
        std::fflush(stdout);
    };
    const Verbindungsergebnis ergebnis = Steuerung_verbinden(schritte);
    if (ergebnis.Verbunden) {
        std::printf("identification: %s\n", info.Version.c_str());
        std::fflush(stdout);
    } else if (ergebnis.Code != 0) {
        std::fprintf(stderr, "orvexa-cli: connection failed, %s\n",
                     Fehlertext(ergebnis.Code).c_str());
    } else if (!ergebnis.Ausnahme.empty()) {
        std::fprintf(stderr, "orvexa-cli: connection failed: %s\n", ergebnis.Ausnahme.c_str());
    } else {
        std::fprintf(stderr, "orvexa-cli: no connection to the controller\n");
    }
    return ergebnis.Verbunden;
}

// Program directory, protocol log and machine parameters, shared by both commands. False after
// a message when the run cannot begin.
bool Einrichten(const Optionen& o) {
    if (!o.programmverzeichnis.empty()) {
        if (!std::filesystem::is_directory(o.programmverzeichnis)) {
            std::fprintf(stderr, "orvexa-cli: program directory not found: %s\n",
                         o.programmverzeichnis.c_str());
            return false;
        }
        Programmverzeichnis_setzen(o.programmverzeichnis);
    }
    Protokoll_loeschen();

    if (o.wt) {
        const std::string datei = o.wtparameter.empty() ? WT_Parameterdatei : o.wtparameter;
        if (!o.wtparameter.empty() && !std::filesystem::is_regular_file(datei)) {
            std::fprintf(stderr, "orvexa-cli: angle parameter file not found: %s\n", datei.c_str());
            return false;
        }
        g_winkel = std::make_unique<Winkelumgebung>();
        g_winkel->transkript.Beobachter_setzen({[](const std::string& zeile) {
                                                    std::printf("%s\n", zeile.c_str());
                                                    std::fflush(stdout);
                                                },
                                                {}});
        const bool da = WT_Parameter_laden(g_winkel->parameter, Parametersatz(), datei);
        std::printf("angle parameters: %s%s\n", datei.c_str(),
                    da ? "" : " (not found: no ports, 0 steps per degree)");
        return true;
    }

    // Machine parameters.
    const std::string parameterdatei =
        o.parameterdatei.empty()
            ? Parameterdateiname(Programmverzeichnis() + Dateiname(Programmpfad()))
            : o.parameterdatei;
    const bool parameter_da = std::filesystem::is_regular_file(parameterdatei);
    if (!o.parameterdatei.empty() && !parameter_da) {
        std::fprintf(stderr, "orvexa-cli: parameter file not found: %s\n", parameterdatei.c_str());
        return false;
    }
    Parameterdatei() = parameterdatei;
    Parameterdatei_laden(Parametersatz(), parameterdatei);
    std::printf("parameters: %s%s\n", parameterdatei.c_str(),
                parameter_da ? "" : " (not found, defaults used)");
    return true;
}

// The simulated machine for the configured type, when asked for. False after a message.
bool Simulation_einrichten(const Optionen& o, std::unique_ptr<Simulation>& simulation) {
    if (!o.simulation) return true;
    Simulationsoptionen optionen;
    optionen.Zeitskala = o.zeitskala;
    // A port directory chosen by the caller is used as it is.
    const char* portordner = std::getenv("ORVEXA_PORTS");
    optionen.Eigener_Portordner = !portordner || !*portordner;
    std::string fehler;
    simulation = g_winkel ? Winkelsimulation_starten(g_winkel->parameter, optionen, &fehler)
                          : Simulation_starten(Parametersatz().Modul, Parametersatz().ComPort,
                                               optionen, &fehler);
    if (!simulation) {
        std::fprintf(stderr, "orvexa-cli: no simulated machine: %s\n", fehler.c_str());
        return false;
    }
    std::printf("%s\n", simulation->Beschreibung().c_str());
    return true;
}

void Verbindung_beenden() {
    try {
        Steuerung_schliessen();
    } catch (const std::exception&) {
        // The link is gone already; the run's own result has been reported.
    }
    if (g_winkel) g_winkel->anzeige.ND261_schliessen();
    Steuerungsmodule_freigeben();
    std::printf("protocol log: %s\n", Protokolldateiname().c_str());
}

// Starts the simulated machine when asked, connects, and runs lauf unless a signal came
// first; the link is closed afterwards whatever happened. Returns lauf's exit code.
template <typename Lauf>
int Mit_Steuerung(const Optionen& o, const Unterbrechungswaechter& waechter, Lauf lauf) {
    std::unique_ptr<Simulation> simulation;
    if (!Simulation_einrichten(o, simulation)) return Einrichtungsfehler;
    Standardtreiber_einrichten();
    Serielle_Linie_erzeugen();
    int ergebnis_code = Erfolg;
    if (!Verbinden())
        ergebnis_code = Einrichtungsfehler;
    else if (waechter.Signal() == 0)
        ergebnis_code = lauf();
    Verbindung_beenden();
    return ergebnis_code;
}

Vektoreingaben Laufeingaben(const Optionen& o) {
    Vektoreingaben e;
    e.Zyklen = o.endlos ? 1 : o.zyklen;
    e.Endlos = o.endlos;
    e.RefModus = o.refmodus;
    for (const char c : o.refachsen) {
        const char a = static_cast<char>(c | 0x20);
        e.xReferenz |= a == 'x';
        e.yReferenz |= a == 'y';
        e.zReferenz |= a == 'z';
        e.uReferenz |= a == 'u';
    }
    e.zInterpolieren = o.zinterpolieren;
    e.ModusKora = o.kora;
    e.ModusTorval = o.torval;
    e.Festwertspeicher = o.aufzeichnen;
    e.ModusWT = o.wt;
    return e;
}

void Schaetzung_ausgeben(const Laufschaetzung& s) {
    if (s.Vorreferenz_s > 0)
        std::printf("estimate of the reference run before the first cycle: %s\n",
                    Dauertext_ms(s.Vorreferenz_s).c_str());
    if (s.Endlos) {
        std::printf("estimate of one cycle (endless run): %s\n",
                    Dauertext_ms(s.Zwischenreferenz_s + s.Folgezyklus_s()).c_str());
    } else {
        std::printf("estimate of the first cycle: %s\n", Dauertext_ms(s.Erster_Zyklus_s()).c_str());
        if (s.Zyklen > 1)
            std::printf("estimate of each further cycle: %s (%d more)\n",
                        Dauertext_ms(s.Zwischenreferenz_s + s.Folgezyklus_s()).c_str(),
                        static_cast<int>(s.Zyklen - 1));
    }
    if (s.Eingangswarten)
        std::printf("note: rows wait for input E1; those waits are not counted\n");
    std::printf("estimate: %s\n", Dauertext_ms(s.Gesamt_s()).c_str());
}

int Ausfuehren(const Optionen& o, Unterbrechungswaechter& waechter) {
    if (!Einrichten(o)) return Einrichtungsfehler;
    if (o.aufzeichnen && !hat_Festwertspeicher(Parametersatz().Modul)) {
        std::fprintf(stderr,
                     "orvexa-cli: --record needs the KX900-KXCU (type 3); the parameters give "
                     "type %d\n",
                     static_cast<int>(Parametersatz().Modul));
        return Aufruffehler;
    }

    // The table, before the machine is touched.
    Positionstabelle tabelle;
    tabelle.Modus.Torval = o.torval;
    tabelle.Modus.Winkel = o.wt;
    tabelle.DateiName = o.tabelle;
    if (!std::filesystem::is_regular_file(o.tabelle)) {
        std::fprintf(stderr, "orvexa-cli: table file not found: %s\n", o.tabelle.c_str());
        return Einrichtungsfehler;
    }
    if (!tabelle.TabelleLaden()) {
        std::fprintf(stderr, "orvexa-cli: table file could not be loaded: %s\n", o.tabelle.c_str());
        return Einrichtungsfehler;
    }
    std::printf("table: %s, %d %s in %s\n", o.tabelle.c_str(), tabelle.Zeilenzahl(),
                tabelle.Zeilenzahl() == 1 ? "row" : "rows",
                tabelle.Modus.Winkel     ? "degrees"
                : tabelle.Schritteingabe ? "steps"
                                         : "millimetres");

    const Vektoreingaben e = Laufeingaben(o);
    const Laufschaetzung schaetzung = Lauf_schaetzen(tabelle, e);
    if (o.schaetzen) {
        Schaetzung_ausgeben(schaetzung);
        return Erfolg;
    }

    return Mit_Steuerung(o, waechter, [&] {
        // A recording only stores the rows; the estimate is that of running them.
        Konsolenbeobachter beobachter(waechter, tabelle.Zeilenzahl(), e.Zyklen, e.Endlos,
                                      o.aufzeichnen ? nullptr : &schaetzung);
        Vektorausgabe lauf(tabelle, beobachter);
        beobachter.Lauf_setzen(&lauf);
        lauf.Eingaben_setzen(e);
        std::unique_ptr<Winkelpositionierung> winkel;
        if (g_winkel) {
            g_winkel->anzeige.Abbruchflag_setzen(&lauf.VekAbbruch);
            winkel = std::make_unique<Winkelpositionierung>(
                g_winkel->parameter, g_winkel->transkript, g_winkel->achse, &lauf.VekAbbruch);
            lauf.Winkelanfahrt_setzen([&winkel](double soll, double& ist) {
                const bool erreicht = winkel->Winkel_anfahren(soll);
                ist = g_winkel->anzeige.Istwinkel_lesen();
                return erreicht;
            });
        }
        waechter.Anhalten_setzen([&lauf] { lauf.Abbrechen(); });
        lauf.StartBitBtn_Thread();
        waechter.Anhalten_setzen({});
        if (g_winkel) g_winkel->anzeige.Abbruchflag_setzen(nullptr);
        const Laufergebnis ergebnis = lauf.Ergebnis();
        if (o.wt) {
            for (const std::string& zeile : lauf.AusgabeListe())
                std::printf("angle: %s\n", zeile.c_str());
            std::printf("angle results: %s\n", Vektorausgabe::Ergebnisdatei);
        }
        // Without a stop from here, an abort of a recording means the memory was full.
        if (o.aufzeichnen && ergebnis.Abgebrochen && ergebnis.Fehlercode == 0 &&
            waechter.Signal() == 0) {
            std::printf("result: not recorded, the table does not fit into the fixed memory\n");
            return static_cast<int>(Lauffehler);
        }
        if (o.aufzeichnen && ergebnis.Gestartet && ergebnis.Fehlercode == 0 &&
            waechter.Signal() == 0) {
            std::printf("result: recorded into the fixed memory, %d %s\n", ergebnis.Durchlaeufe,
                        ergebnis.Durchlaeufe == 1 ? "pass" : "passes");
            return static_cast<int>(Erfolg);
        }
        return Ergebnis_melden(ergebnis, waechter.Signal());
    });
}

// ---- Angle approach ----------------------------------------------------------------------

int Winkel_ausfuehren(const Optionen& o, Unterbrechungswaechter& waechter) {
    if (!Einrichten(o)) return Einrichtungsfehler;
    return Mit_Steuerung(o, waechter, [&] {
        std::atomic<bool> vekabbruch{false};
        g_winkel->anzeige.Abbruchflag_setzen(&vekabbruch);
        Winkelpositionierung winkel(g_winkel->parameter, g_winkel->transkript, g_winkel->achse,
                                    &vekabbruch);
        waechter.Anhalten_setzen([&winkel] { winkel.Test_beenden(); });
        int32_t code = 0;
        const bool erreicht = winkel.Test_anfahren(o.winkel, Winkeltranskript::Testdatei, &code);
        waechter.Anhalten_setzen({});
        g_winkel->anzeige.Abbruchflag_setzen(nullptr);
        std::printf("transcript: %s\n", Winkeltranskript::Testdatei);
        if (code != 0 && code != Fehler_bereits_gemeldet)
            std::fprintf(stderr, "orvexa-cli: %s\n", Fehlertext(code).c_str());
        if (waechter.Signal() != 0) return 128 + waechter.Signal();
        return static_cast<int>(erreicht ? Erfolg : Lauffehler);
    });
}

// ---- Doming jobs --------------------------------------------------------------------------

const char* const Formen[] = {"Punkt", "Linie", "Kreis", "Rechteck", "HPGL"};

class Doming_Konsolenanzeige : public DomingAnzeige {
public:
    Doming_Konsolenanzeige(const Unterbrechungswaechter& waechter, int64_t teile)
        : m_waechter(waechter), m_teile(teile) {}

    void Beschaeftigt(bool an, bool) override {
        // A signal that came before the run cleared the stop flag stops it now.
        if (an && m_waechter.Signal() != 0) Achsen_anhalten();
    }
    void Teil_beginnt(const DomingTeil& t) override {
        if (t.Durchlauf != m_durchlauf) {
            m_durchlauf = t.Durchlauf;
            m_nummer = 0;
        }
        ++m_nummer;
        std::printf("pass %d part %lld/%lld sheet %d/%d ix/iy %d/%d at %.2f/%.2f mm\n", t.Durchlauf,
                    static_cast<long long>(m_nummer), static_cast<long long>(m_teile), t.ixBogen,
                    t.iyBogen, t.ix, t.iy, t.x, t.y);
        std::fflush(stdout);
    }

private:
    const Unterbrechungswaechter& m_waechter;
    int64_t m_teile;
    int m_durchlauf = 0;
    int64_t m_nummer = 0;
};

int Doming_Ergebnis_melden(const DomingLaufergebnis& e, const DomingZaehler& merke, int signal) {
    const std::string teile = std::to_string(e.Teile) + (e.Teile == 1 ? " part" : " parts");
    if (signal != 0) {
        std::printf("result: interrupted after %s\n", teile.c_str());
        return 128 + signal;
    }
    if (e.Fehlercode == 0) {
        std::printf("result: completed, %d %s, %s\n", e.Durchlaeufe,
                    e.Durchlaeufe == 1 ? "pass" : "passes", teile.c_str());
        return Erfolg;
    }
    if (e.Fehlercode == THROW_ABORT) {
        std::printf("result: aborted after %s\n", teile.c_str());
    } else {
        std::printf("result: failed after %s\n", teile.c_str());
        if (e.Fehlercode == Fehler_bereits_gemeldet)
            std::fprintf(stderr, "orvexa-cli: the run was stopped (see the message above)\n");
        else
            std::fprintf(stderr, "orvexa-cli: %s\n", Fehlertext(e.Fehlercode).c_str());
    }
    if (e.Fortsetzen_moeglich)
        std::printf("part in work: sheet %d/%d ix/iy %d/%d\n", merke.ixBogen, merke.iyBogen,
                    merke.ix, merke.iy);
    return Lauffehler;
}

int Dom_ausfuehren(const Optionen& o, Unterbrechungswaechter& waechter) {
    if (!Einrichten(o)) return Einrichtungsfehler;

    // The working area.
    const std::string parameterdatei =
        o.domingparameter.empty() ? DomingParameter_Dateiname() : o.domingparameter;
    const bool parameter_da = std::filesystem::is_regular_file(parameterdatei);
    if (!o.domingparameter.empty() && !parameter_da) {
        std::fprintf(stderr, "orvexa-cli: Doming parameter file not found: %s\n",
                     parameterdatei.c_str());
        return Einrichtungsfehler;
    }
    const DomingParameter parameter = DomingParameter_laden(parameterdatei);
    std::printf("working area: %.2f x %.2f mm (%s%s)\n", parameter.xAbmessung, parameter.yAbmessung,
                parameterdatei.c_str(), parameter_da ? "" : ", not found, defaults used");

    // The job, and its contour, before the machine is touched.
    if (!std::filesystem::is_regular_file(o.tabelle)) {
        std::fprintf(stderr, "orvexa-cli: job file not found: %s\n", o.tabelle.c_str());
        return Einrichtungsfehler;
    }
    DomingJob job;
    if (Doming_Datei_laden(o.tabelle, job, Parametersatz()) != Doming_Ladeergebnis::geladen) {
        std::fprintf(stderr, "orvexa-cli: not a Doming job file: %s\n", o.tabelle.c_str());
        return Einrichtungsfehler;
    }
    if (std::find(std::begin(Formen), std::end(Formen), job.Type) == std::end(Formen)) {
        std::fprintf(stderr,
                     "orvexa-cli: the job names no shape (Type=%s); expected Punkt, Linie, "
                     "Kreis, Rechteck or HPGL\n",
                     job.Type.c_str());
        return Einrichtungsfehler;
    }
    THPGLDataModule hpgl;
    if (job.Type == "HPGL" &&
        hpgl.HPGL_Parser(job.HFilename) != THPGLDataModule::Ergebnis::gelesen) {
        std::fprintf(stderr, "orvexa-cli: HPGL file could not be read: %s\n",
                     job.HFilename.c_str());
        return Einrichtungsfehler;
    }
    Doming_annehmen(job);
    const int64_t teile = int64_t{job.xAnzahl} * job.yAnzahl * job.BxAnzahl * job.ByAnzahl;
    std::printf("job: %s, %s, %d x %d parts on %d x %d sheets\n", o.tabelle.c_str(),
                job.Type.c_str(), job.xAnzahl, job.yAnzahl, job.BxAnzahl, job.ByAnzahl);

    return Mit_Steuerung(o, waechter, [&] {
        Doming_Konsolenanzeige anzeige(waechter, teile);
        DomingKontext kontext(job, parameter, Parametersatz(), hpgl, anzeige);
        DomingAblauf ablauf(kontext);
        // As the Doming window does when it is shown.
        try {
            InitializeSteuerung(false);
        } catch (const Steuerungsfehler& e) {
            std::fprintf(stderr, "orvexa-cli: initialisation failed, %s\n",
                         Fehlertext(e.code()).c_str());
            return static_cast<int>(Lauffehler);
        }
        ablauf.LaserpointerBetriebCheckBoxClick(o.laser);
        DomingLaufeingaben e;
        e.Startseite = o.hier ? DomingStartseite::Manuelles_Fahren : DomingStartseite::Startpunkt;
        e.Referenzfahrt = !o.ohne_referenz;
        waechter.Anhalten_setzen([] {
            try {
                Achsen_anhalten();
            } catch (const std::exception&) {
                // The stop flag is up whatever the controller answered.
            }
        });
        const DomingLaufergebnis ergebnis = ablauf.StartBitBtn_Thread(e);
        waechter.Anhalten_setzen({});
        return Doming_Ergebnis_melden(ergebnis, ablauf.Merke(), waechter.Signal());
    });
}

} // namespace

int main(int argc, char** argv) {
    // The plot-file reader touches no machine and needs none of the set-up below.
    if (argc >= 2 && std::string(argv[1]) == "hpgl") return Hpgl_Befehl(argc, argv);
    // Before any thread exists, so that every thread inherits the mask.
    sigset_t menge;
    sigemptyset(&menge);
    sigaddset(&menge, SIGINT);
    sigaddset(&menge, SIGTERM);
    sigaddset(&menge, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &menge, nullptr);

    // The program memory has options of its own; it connects like 'run'.
    if (argc >= 2 && std::string(argv[1]) == "memory") {
        int code = Erfolg;
        {
            Unterbrechungswaechter waechter(menge);
            const auto optionen = [](const Verbindungsoptionen& v) {
                Optionen o;
                o.befehl = "memory";
                o.parameterdatei = v.parameterdatei;
                o.programmverzeichnis = v.programmverzeichnis;
                o.simulation = v.simulation;
                o.zeitskala = v.zeitskala;
                return o;
            };
            Steuerungszugang zugang;
            zugang.Einrichten = [&](const Verbindungsoptionen& v) {
                return Einrichten(optionen(v));
            };
            zugang.Mit_Steuerung = [&](const Verbindungsoptionen& v,
                                       const std::function<int()>& aktion) {
                return Mit_Steuerung(optionen(v), waechter, aktion);
            };
            code = Speicher_Befehl(argc, argv, zugang);
            if (waechter.Signal() != 0) code = 128 + waechter.Signal();
        }
        return code;
    }

    const Optionen optionen = Optionen_lesen(argc, argv);
    int code = Erfolg;
    {
        Unterbrechungswaechter waechter(menge);
        if (optionen.befehl == "dom")
            code = Dom_ausfuehren(optionen, waechter);
        else if (optionen.befehl == "angle")
            code = Winkel_ausfuehren(optionen, waechter);
        else
            code = Ausfuehren(optionen, waechter);
        if (waechter.Signal() != 0) code = 128 + waechter.Signal();
    }
    g_winkel.reset();
    return code;
}
