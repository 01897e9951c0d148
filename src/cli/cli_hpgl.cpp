#include "cli_hpgl.h"

#include "dispensing/hpgldatamodule.h"
#include "platform/oberflaeche.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace orvexa {

namespace {

constexpr int Gelesen = 0;
constexpr int Fehlschlag = 2;

void Hilfe(std::FILE* ziel) {
    std::fprintf(ziel,
                 "Usage: orvexa-cli hpgl FILE [--offset X,Y]\n"
                 "\n"
                 "Reads the HPGL plot file FILE as the dispensing window does and prints its\n"
                 "command table, one row per line: UP, DOWN, STIFT n, MOVETO x y, LINTETO x y\n"
                 "(millimetres, six decimals), then EXTENT xmin ymin xmax ymax in millimetres.\n"
                 "\n"
                 "  --offset X,Y  millimetres added to every x and y of the table (not to the\n"
                 "                extent), as for a part at X,Y; \".\" is the decimal point\n"
                 "  -h, --help    this text\n"
                 "\n"
                 "Exit status: 0 the file was read; 2 the file cannot be opened or the reader\n"
                 "refused it (\"FAIL \" and the first line of its message on stdout, every\n"
                 "message on stderr), or a bad command line.\n");
}

bool Zahl_lesen(std::string_view text, double& wert) {
    if (text.empty()) return false;
    if (text.front() == '+') text.remove_prefix(1);
    const auto e = std::from_chars(text.data(), text.data() + text.size(), wert);
    return e.ec == std::errc() && e.ptr == text.data() + text.size() && std::isfinite(wert);
}

bool Offset_lesen(std::string_view text, double& x, double& y) {
    const auto komma = text.find(',');
    if (komma == std::string_view::npos) return false;
    return Zahl_lesen(text.substr(0, komma), x) && Zahl_lesen(text.substr(komma + 1), y);
}

void Millimeter(std::string& aus, double v) {
    char puffer[64];
    const auto e = std::to_chars(puffer, puffer + sizeof puffer, v, std::chars_format::fixed, 6);
    std::string_view text(puffer, static_cast<std::size_t>(e.ptr - puffer));
    if (text == "-0.000000") text.remove_prefix(1);
    aus += ' ';
    aus += text;
}

// Boxes of the reader go to this list instead of the screen; beeps are not played.
class Oberflaeche_tauschen {
public:
    Oberflaeche_tauschen() : m_vorher(&oberflaeche()) { Oberflaeche_setzen(&ui); }
    ~Oberflaeche_tauschen() { Oberflaeche_setzen(m_vorher); }
    Oberflaeche_tauschen(const Oberflaeche_tauschen&) = delete;
    Oberflaeche_tauschen& operator=(const Oberflaeche_tauschen&) = delete;

    AufzeichnendeOberflaeche ui;

private:
    Oberflaeche* m_vorher;
};

} // namespace

int Hpgl_Befehl(int argc, char** argv, std::FILE* aus, std::FILE* fehler) {
    const char* datei = nullptr;
    double offset_x = 0.0, offset_y = 0.0;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Hilfe(aus);
            return Gelesen;
        }
        if (arg == "--offset" || arg.starts_with("--offset=")) {
            std::string_view wert;
            if (arg == "--offset") {
                if (i + 1 >= argc) {
                    std::fprintf(fehler, "orvexa-cli hpgl: --offset needs X,Y\n");
                    return Fehlschlag;
                }
                wert = argv[++i];
            } else {
                wert = arg.substr(std::strlen("--offset="));
            }
            if (!Offset_lesen(wert, offset_x, offset_y)) {
                std::fprintf(fehler,
                             "orvexa-cli hpgl: --offset needs X,Y in millimetres, not '%.*s'\n",
                             static_cast<int>(wert.size()), wert.data());
                return Fehlschlag;
            }
        } else if (arg.starts_with("-") && arg != "-") {
            std::fprintf(fehler, "orvexa-cli hpgl: unknown option '%s'\n", argv[i]);
            return Fehlschlag;
        } else if (datei) {
            std::fprintf(fehler, "orvexa-cli hpgl: more than one file given\n");
            return Fehlschlag;
        } else {
            datei = argv[i];
        }
    }
    if (!datei) {
        std::fprintf(fehler, "orvexa-cli hpgl: no file given\nTry 'orvexa-cli hpgl --help'.\n");
        return Fehlschlag;
    }
    const std::string pfad = std::string_view(datei) == "-" ? "/dev/stdin" : datei;

    THPGLDataModule modul;
    modul.Offset_setzen(offset_x, offset_y);
    Oberflaeche_tauschen tausch;
    const THPGLDataModule::Ergebnis ergebnis = modul.HPGL_Parser(pfad);
    const auto meldungen = tausch.ui.Meldungen();
    for (const auto& m : meldungen)
        std::fprintf(fehler, "%s: %s\n", m.titel.c_str(), m.text.c_str());

    if (ergebnis == THPGLDataModule::Ergebnis::nicht_geoeffnet) {
        std::fprintf(aus, "FAIL cannot open %s\n", datei);
        return Fehlschlag;
    }
    if (ergebnis != THPGLDataModule::Ergebnis::gelesen) {
        const std::string erste =
            meldungen.empty() ? std::string("Fehler beim Parsen")
                              : meldungen.front().text.substr(0, meldungen.front().text.find('\n'));
        std::fprintf(aus, "FAIL %s\n", erste.c_str());
        return Fehlschlag;
    }

    std::string text;
    text.reserve(1 << 17);
    for (const HPGL_Zeile& z : modul.Tabelle()) {
        switch (z.Schritt) {
        case HPGL_Schritt::UP:
            text += "UP";
            break;
        case HPGL_Schritt::DOWN:
            text += "DOWN";
            break;
        case HPGL_Schritt::STIFT:
            text += "STIFT " + std::to_string(z.Stift);
            break;
        case HPGL_Schritt::MOVETO:
        case HPGL_Schritt::LINTETO:
            text += z.Schritt == HPGL_Schritt::MOVETO ? "MOVETO" : "LINTETO";
            Millimeter(text, z.x);
            Millimeter(text, z.y);
            break;
        }
        text += '\n';
        if (text.size() >= (1 << 16)) {
            std::fwrite(text.data(), 1, text.size(), aus);
            text.clear();
        }
    }
    const HPGL_Ausdehnung a = modul.Ausdehnung_mm();
    text += "EXTENT";
    Millimeter(text, a.xMin);
    Millimeter(text, a.yMin);
    Millimeter(text, a.xMax);
    Millimeter(text, a.yMax);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), aus);
    // A table cut short by a full disk or a closed pipe is no success.
    if (std::fflush(aus) != 0 || std::ferror(aus)) return Fehlschlag;
    return Gelesen;
}

int Hpgl_Befehl(int argc, char** argv) {
    return Hpgl_Befehl(argc, argv, stdout, stderr);
}

} // namespace orvexa
