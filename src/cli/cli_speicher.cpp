#include "cli_speicher.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerungstypen.h"
#include "tables/programmspeicher.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvexa {

namespace {

// The runner's exit codes.
constexpr int Erfolg = 0;
constexpr int Lauffehler = 1;
constexpr int Aufruffehler = 2;
constexpr int Einrichtungsfehler = 3;

struct Speicheroptionen {
    Verbindungsoptionen verbindung;
    std::string aktion; // list, read, write, erase, erase-all
    int platz = 0;
    std::string tabelle;
    int32_t durchlaeufe = 1;
    std::string refachsen;
    bool zinterpolieren = false;
    bool kora = false;
    bool ja = false;
};

[[noreturn]] void Aufruf_falsch(const std::string& meldung) {
    std::fprintf(stderr, "orvexa-cli: %s\nTry 'orvexa-cli memory --help'.\n", meldung.c_str());
    std::exit(Aufruffehler);
}

int Platz_lesen(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + Programmspeicher::Plaetze)
        Aufruf_falsch("a program place is a number from 1 to 7, not '" + text + "'");
    return text[0] - '0';
}

int32_t Ganzzahl_lesen(const std::string& option, const std::string& text) {
    char* ende = nullptr;
    errno = 0;
    const long wert = std::strtol(text.c_str(), &ende, 10);
    if (errno != 0 || ende == text.c_str() || *ende != '\0' || wert < INT32_MIN || wert > INT32_MAX)
        Aufruf_falsch(option + " needs a whole number, not '" + text + "'");
    return static_cast<int32_t>(wert);
}

Speicheroptionen Optionen_lesen(int argc, char** argv) {
    Speicheroptionen o;
    std::vector<std::string> worte;
    bool passes = false, refachsen = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto wert = [&]() -> std::string {
            if (i + 1 >= argc) Aufruf_falsch(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            Speicher_Hilfe(stdout);
            std::exit(Erfolg);
        } else if (arg == "--param") {
            o.verbindung.parameterdatei = wert();
        } else if (arg == "--program-dir") {
            o.verbindung.programmverzeichnis = wert();
        } else if (arg == "--sim") {
            o.verbindung.simulation = true;
        } else if (arg == "--sim-timescale") {
            const std::string text = wert();
            char* ende = nullptr;
            o.verbindung.zeitskala = std::strtod(text.c_str(), &ende);
            if (ende == text.c_str() || *ende != '\0' || !(o.verbindung.zeitskala >= 0) ||
                o.verbindung.zeitskala > 1e9)
                Aufruf_falsch("--sim-timescale needs a number of 0 or more, not '" + text + "'");
        } else if (arg == "--passes") {
            o.durchlaeufe = Ganzzahl_lesen(arg, wert());
            passes = true;
        } else if (arg == "--ref-axes") {
            o.refachsen = wert();
            refachsen = true;
            if (o.refachsen.empty() ||
                o.refachsen.find_first_not_of("xyzuXYZU") != std::string::npos)
                Aufruf_falsch("--ref-axes takes letters of xyzu, not '" + o.refachsen + "'");
        } else if (arg == "--z-interpolate") {
            o.zinterpolieren = true;
        } else if (arg == "--kora") {
            o.kora = true;
        } else if (arg == "--yes") {
            o.ja = true;
        } else if (arg.starts_with("-")) {
            Aufruf_falsch("unknown option '" + arg + "'");
        } else {
            worte.push_back(arg);
        }
    }
    if (worte.empty()) Aufruf_falsch("memory needs list, read, write, erase or erase-all");
    o.aktion = worte[0];
    const bool schreiben = o.aktion == "write";
    std::size_t erwartet = 1;
    if (o.aktion == "read" || o.aktion == "erase") {
        erwartet = 2;
    } else if (schreiben) {
        erwartet = 3;
    } else if (o.aktion != "list" && o.aktion != "erase-all") {
        Aufruf_falsch("unknown memory action '" + o.aktion + "'");
    }
    if (worte.size() < erwartet)
        Aufruf_falsch("memory " + o.aktion +
                      (schreiben ? " needs a place and a table file" : " needs a place"));
    if (worte.size() > erwartet) Aufruf_falsch("too many arguments for memory " + o.aktion);
    if (erwartet >= 2) o.platz = Platz_lesen(worte[1]);
    if (schreiben) o.tabelle = worte[2];
    if (!schreiben && (passes || refachsen || o.zinterpolieren || o.kora))
        Aufruf_falsch("--passes, --ref-axes, --z-interpolate and --kora belong to memory write");
    if (o.ja && o.aktion != "erase-all") Aufruf_falsch("--yes belongs to memory erase-all");
    if (schreiben && o.durchlaeufe <= 0)
        Aufruf_falsch("--passes needs 1 or more, not " + std::to_string(o.durchlaeufe));
    if (o.aktion == "erase-all" && !o.ja)
        Aufruf_falsch("memory erase-all erases every program; confirm it with --yes");
    return o;
}

// The transcript as the dialog shows it, one line each, in the order it grows.
class Konsolenprotokoll : public Programmspeicher_Beobachter {
public:
    void Protokoll_anfuegen(const std::string& zeile, Protokollfarbe) override {
        std::printf("%s\n", zeile.c_str());
        std::fflush(stdout);
    }
    void Nachrichten_verarbeiten() override {}
};

int Ende(Speicherergebnis ergebnis, const Programmspeicher& speicher) {
    if (ergebnis == Speicherergebnis::erledigt) return Erfolg;
    const int32_t code = speicher.Fehlercode();
    if (code != 0 && code != Fehler_bereits_gemeldet)
        std::fprintf(stderr, "orvexa-cli: error %d: %s\n", static_cast<int>(code),
                     Fehlerbericht(code).c_str());
    return Lauffehler;
}

} // namespace

void Speicher_Hilfe(std::FILE* ziel) {
    std::fprintf(
        ziel,
        "Usage: orvexa-cli memory list [options]\n"
        "       orvexa-cli memory read N [options]\n"
        "       orvexa-cli memory write N TABLE.edt [--passes K] [--ref-axes AXES]\n"
        "                                [--z-interpolate] [--kora] [options]\n"
        "       orvexa-cli memory erase N [options]\n"
        "       orvexa-cli memory erase-all --yes [options]\n"
        "\n"
        "The program memory of a KXvario-KXCU or USB-iKXIF (controller type 5 or 6), handled\n"
        "as the \"dKXCU-Mikrocontroller Unit\" dialog does it; N is a program place, 1 to 7.\n"
        "  list       seven lines \"N used\" or \"N empty\"\n"
        "  read N     \"Programm auslesen\": the transcript, one line per request or answer\n"
        "             with its control characters named (<CR>, <ACK>, <BEL>, ...), and the\n"
        "             status lines\n"
        "  write N    \"Programm schreiben\": TABLE.edt recorded as program N (header, passes,\n"
        "             initialisation, reference cycle, one pass of the table), with the\n"
        "             transcript of the raw requests and the status lines\n"
        "  erase N    \"Programm löschen\" of place N, with its transcript\n"
        "  erase-all  \"alle Programme löschen\"; refused (nothing sent) without --yes\n"
        "\n"
        "Options of 'memory write':\n"
        "  --passes K         number of passes stored with the program (default 1; 0 or less\n"
        "                     is refused, nothing is sent)\n"
        "  --ref-axes AXES    axes of the reference cycle, letters of xyzu (default: none)\n"
        "  --z-interpolate    move z together with x and y instead of after them\n"
        "  --kora             the \"/KORA\" mode: full controller initialisation\n"
        "\n"
        "Connecting, as for 'run': --param FILE, --sim, --sim-timescale F, --program-dir DIR.\n"
        "Before the transcript come the lines of the connect (parameters, controller,\n"
        "identification), after it the protocol log's path.\n"
        "\n"
        "Exit status as for 'run': 0 done; 1 the controller reported an error (its report is\n"
        "printed); 2 bad command line, or the configured controller type is not 5 or 6; 3 the\n"
        "parameter file, the table file, the simulator or the connection failed.\n");
}

int Speicher_Befehl(int argc, char** argv, const Steuerungszugang& zugang) {
    const Speicheroptionen o = Optionen_lesen(argc, argv);
    if (!zugang.Einrichten(o.verbindung)) return Einrichtungsfehler;

    const int32_t modul = Parametersatz().Modul;
    if (!hat_Programmspeicher(modul)) {
        std::fprintf(stderr,
                     "orvexa-cli: program memory needs controller type 5 (KXvario-KXCU) or 6 "
                     "(USB-iKXIF); the parameters give type %d\n",
                     static_cast<int>(modul));
        return Aufruffehler;
    }

    // The table, before the machine is touched.
    Positionstabelle tabelle;
    if (o.aktion == "write") {
        std::error_code fehler;
        const std::filesystem::path pfad = std::filesystem::absolute(o.tabelle, fehler);
        tabelle.DateiName = fehler ? o.tabelle : pfad.string();
        if (!std::filesystem::is_regular_file(o.tabelle)) {
            std::fprintf(stderr, "orvexa-cli: table file not found: %s\n", o.tabelle.c_str());
            return Einrichtungsfehler;
        }
        if (!tabelle.TabelleLaden()) {
            std::fprintf(stderr, "orvexa-cli: table file could not be loaded: %s\n",
                         o.tabelle.c_str());
            return Einrichtungsfehler;
        }
    }

    return zugang.Mit_Steuerung(o.verbindung, [&]() -> int {
        Konsolenprotokoll protokoll;
        Programmspeicher speicher(protokoll);
        // The command line gave its Yes already.
        speicher.Bestaetigung_setzen([](const std::string&) { return true; });
        if (o.aktion == "list") {
            try {
                const auto belegt = speicher.Plaetze_lesen();
                for (std::size_t i = 0; i < belegt.size(); ++i)
                    std::printf("%zu %s\n", i + 1, belegt[i] ? "used" : "empty");
                return Erfolg;
            } catch (const Steuerungsfehler& fehler) {
                std::fprintf(stderr, "orvexa-cli: error %d: %s\n", static_cast<int>(fehler.code()),
                             Fehlerbericht(fehler.code()).c_str());
                return Lauffehler;
            }
        }
        if (o.aktion == "read") return Ende(speicher.Programm_auslesen(o.platz), speicher);
        if (o.aktion == "erase") return Ende(speicher.Programm_loeschen(o.platz), speicher);
        if (o.aktion == "erase-all") return Ende(speicher.Alle_Programme_loeschen(), speicher);

        Schreibauftrag a;
        a.Durchlaeufe = o.durchlaeufe;
        for (const char c : o.refachsen) {
            const char achse = static_cast<char>(c | 0x20);
            a.xReferenz |= achse == 'x';
            a.yReferenz |= achse == 'y';
            a.zReferenz |= achse == 'z';
            a.uReferenz |= achse == 'u';
        }
        a.zInterpolieren = o.zinterpolieren;
        a.ModusKora = o.kora;
        a.Kopf = tabelle.Dateibeschreibung();
        Vektorausgabe lauf(tabelle);
        return Ende(speicher.Programm_schreiben(o.platz, lauf, a), speicher);
    });
}

} // namespace orvexa
