#include "hpgldatamodule.h"

#include "core/zeichensatz.h"
#include "platform/oberflaeche.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexa {

namespace {

constexpr double mm_je_Einheit = 0.025;
// Plotter coordinates stay within ±2^53: exact as doubles, and sums of two never overflow.
constexpr int64_t Koordinatengrenze = int64_t{1} << 53;
constexpr int max_Zahlzeichen = 9;
// A file full of stray semicolons must not keep the reader beeping for minutes.
constexpr int max_Pieptoene = 10;
constexpr double max_Bogenwinkel = 360.0;
constexpr std::size_t Blockgroesse = std::size_t{1} << 20;
// Below this many plotter units a value in millimetres has at most 15 significant digits.
constexpr int64_t Schnellgrenze = int64_t{1} << 40;

const char* const Titel_Fehler = "F E H L E R";
const char* const Titel_Hinweis = "H I N W E I S";
const char* const Titel_Programmierfehler = "P R O G R A M M I E R F E H L E R";

constexpr int Dateiende = -1;

enum Zeichenklasse : uint8_t { sonstig, zahlzeichen, komma, blank, listenende, buchstabe };

constexpr std::array<uint8_t, 256> Klassentabelle() {
    std::array<uint8_t, 256> t{};
    for (int c = '0'; c <= '9'; ++c)
        t[c] = zahlzeichen;
    t['+'] = t['-'] = t['.'] = zahlzeichen;
    t[','] = komma;
    t[' '] = blank;
    t[';'] = t['\r'] = t['\n'] = listenende;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = t[c + ('a' - 'A')] = buchstabe;
    return t;
}
constexpr std::array<uint8_t, 256> Klassen = Klassentabelle();

inline int Gross(int c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

inline bool Ist_Buchstabe(int c) {
    return c != Dateiende && Klassen[static_cast<unsigned char>(c)] == buchstabe;
}

inline int64_t Begrenzt(int64_t v) {
    return std::clamp(v, -Koordinatengrenze, Koordinatengrenze);
}

// Both operands lie within ±2^53, so the sum cannot overflow before it is clamped.
inline int64_t Summe(int64_t a, int64_t b) {
    return Begrenzt(Begrenzt(a) + Begrenzt(b));
}

// Truncation toward zero, saturated at the coordinate limit (NaN gives 0).
inline int64_t Ganzzahl(double v) {
    if (!(v == v)) return 0;
    const double g = static_cast<double>(Koordinatengrenze);
    if (v >= g) return Koordinatengrenze;
    if (v <= -g) return -Koordinatengrenze;
    return static_cast<int64_t>(v);
}

// Reads the file in big blocks; a text in memory is one block that needs no reload.
class Zeichenquelle {
public:
    explicit Zeichenquelle(std::string_view text)
        : m_p(text.data()), m_e(text.data() + text.size()) {}
    explicit Zeichenquelle(int fd) : m_fd(fd), m_block(new char[Blockgroesse]) {
        m_p = m_e = m_block.get();
    }

    int Zeichen() {
        if (m_p == m_e && !Nachladen()) return Dateiende;
        return static_cast<unsigned char>(*m_p++);
    }
    // The character just read is still in the block (a reload happens only on the next read).
    void Zurueck(int c) {
        if (c != Dateiende) --m_p;
    }
    bool Lesefehler() const { return m_lesefehler; }

private:
    bool Nachladen() {
        if (m_fd < 0) return false;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_block.get(), Blockgroesse);
            if (n > 0) {
                m_p = m_block.get();
                m_e = m_p + n;
                return true;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) m_lesefehler = true;
            m_fd = -1;
            return false;
        }
    }

    const char* m_p = nullptr;
    const char* m_e = nullptr;
    int m_fd = -1;
    std::unique_ptr<char[]> m_block;
    bool m_lesefehler = false;
};

void Stoppmeldung(const std::string& text, const char* titel) {
    oberflaeche().Meldung(text, titel, Symbol::fehler, Knoepfe::ok);
}

// The bytes of a file shown in a box: read as Windows-1252 so that the text stays valid, with
// control characters other than line ends made visible as '?'.
std::string Anzeigetext(std::string_view bytes) {
    std::string sauber(bytes);
    for (char& c : sauber) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\r' && c != '\n' && c != '\t') || u == 0x7F) c = '?';
    }
    return Cp1252_zu_Utf8(sauber);
}

struct Abstand {
    double x;
    double y;
};

// The value the table held as text with 15 significant digits, read back: what the machine was
// given. Besides, it spares a truncating step conversion from losing a step to a value such as
// 2.9999999999999996.
double Auf_15_Stellen(double v) {
    if (v == 0.0 || !std::isfinite(v)) return v == 0.0 ? 0.0 : v;
    const double betrag = std::fabs(v);
    // Most values are whole thousandths: then k / 1000 is the nearest double to the rounded
    // decimal, as long as v lies well within half a unit of its fifteenth digit.
    if (betrag < 1e11 && betrag >= 1e-3) {
        // Adding and taking away 1.5 × 2^52 rounds to a whole number without a library call.
        constexpr double Rundung = 6755399441055744.0;
        const double k = (v * 1000.0 + Rundung) - Rundung;
        const double q = k / 1000.0;
        if (std::fabs(v - q) <= 3e-16 * betrag) return q;
    }
    char text[40];
    const auto ergebnis =
        std::to_chars(text, text + sizeof text, v, std::chars_format::general, 15);
    double gerundet = v;
    std::from_chars(text, ergebnis.ptr, gerundet);
    return gerundet;
}

} // namespace

class HPGL_Leser {
public:
    HPGL_Leser(THPGLDataModule& modul, Zeichenquelle& quelle) : m(modul), q(quelle) {}

    THPGLDataModule::Ergebnis Lesen();

private:
    struct Wert {
        bool gelesen = false;
        bool Liste_endet = false;
    };
    static constexpr int Anzahl_Parameter = 4;

    void Zeile(HPGL_Schritt s, int32_t stift = 0) { m.m_tabelle.push_back({s, 0.0, 0.0, stift}); }
    Wert HoleWert(int index, bool reell);
    void Bewegungszeile(int64_t x, int64_t y);
    bool Paare();
    bool Werte(int anzahl, int reell_ab);
    void Ueberspringen();
    bool Bogen(int64_t cx, int64_t cy, int64_t sx, int64_t sy, double winkel);
    bool Befehl(int a, int b);
    void Unbekannter_Befehl(int a);
    void Keine_Befehlsstelle(int c);
    void Ausdehnung_nullen() { m.m_ext_xmin = m.m_ext_ymin = m.m_ext_xmax = m.m_ext_ymax = 0; }
    void Masstab_berechnen() {
        m_faktor_x = static_cast<double>(m_p[2] - m_p[0]);
        m_faktor_y = static_cast<double>(m_p[3] - m_p[1]);
        m_nenner_x = static_cast<double>(m_sc[1] + m_p[0] - m_sc[0]);
        m_nenner_y = static_cast<double>(m_sc[3] + m_p[1] - m_sc[2]);
        m_ungeschert =
            m_sc[0] == 0 && m_sc[2] == 0 && m_faktor_x == m_nenner_x && m_faktor_y == m_nenner_y;
    }

    THPGLDataModule& m;
    Zeichenquelle& q;

    bool m_fehler = false;
    int64_t m_x = 0, m_y = 0; // current point in plotter units, unscaled
    bool m_absolut = true;
    bool m_stift_oben = true;
    int64_t m_p[4] = {0, 0, 100, 100};
    int64_t m_sc[4] = {0, 100, 0, 100};
    double m_faktor_x = 100, m_faktor_y = 100, m_nenner_x = 100, m_nenner_y = 100;
    bool m_ungeschert = true; // the scaling leaves every value as it is
    int64_t m_stift = 0;
    int m_pieptoene = 0;

    // Parameter slots of the running command.
    int64_t m_ganz[Anzahl_Parameter] = {};
    double m_reell[Anzahl_Parameter] = {};
};

HPGL_Leser::Wert HPGL_Leser::HoleWert(int index, bool reell) {
    Wert w;
    if (index < 0 || index >= Anzahl_Parameter) {
        Stoppmeldung("falscher Parameter in HoleWert()", Titel_Programmierfehler);
        m_fehler = true;
        w.Liste_endet = true;
        return w;
    }
    int c;
    do
        c = q.Zeichen();
    while (c == ' ');

    char text[max_Zahlzeichen + 1];
    int n = 0;
    for (;; c = q.Zeichen()) {
        const uint8_t klasse =
            c == Dateiende ? uint8_t{listenende} : Klassen[static_cast<unsigned char>(c)];
        if (klasse == zahlzeichen) {
            if (n < max_Zahlzeichen)
                text[n++] = static_cast<char>(c);
            else
                m_fehler = true; // longer than the reader's number buffer
            continue;
        }
        if (klasse == komma) break;
        if (klasse == blank) {
            // Blanks after a number; a comma behind them still belongs to it.
            do
                c = q.Zeichen();
            while (c == ' ');
            if (c == ',') break;
            if (c == Dateiende || Klassen[static_cast<unsigned char>(c)] == listenende) {
                w.Liste_endet = true;
            } else {
                if (Ist_Buchstabe(c)) w.Liste_endet = true;
                q.Zurueck(c);
            }
            break;
        }
        if (klasse == listenende) {
            w.Liste_endet = true;
            break;
        }
        if (klasse == buchstabe) {
            q.Zurueck(c);
            w.Liste_endet = true;
            break;
        }
        m_fehler = true;
        w.Liste_endet = true;
        break;
    }
    if (n == 0) return w;

    w.gelesen = true;
    if (reell) {
        // Like the C library's conversion: one optional sign, then the longest real prefix.
        int i = 0;
        bool negativ = false;
        if (text[0] == '+' || text[0] == '-') {
            negativ = text[0] == '-';
            i = 1;
        }
        double wert = 0.0;
        if (i < n && text[i] != '+' && text[i] != '-') std::from_chars(text + i, text + n, wert);
        m_reell[index] = negativ ? -wert : wert;
    } else {
        int i = 0;
        bool negativ = false;
        if (text[0] == '+' || text[0] == '-') {
            negativ = text[0] == '-';
            i = 1;
        }
        int64_t wert = 0; // at most nine digits
        for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
            wert = wert * 10 + (text[i] - '0');
        m_ganz[index] = negativ ? -wert : wert;
    }
    return w;
}

void HPGL_Leser::Bewegungszeile(int64_t x, int64_t y) {
    if (m_nenner_x == 0.0 || m_nenner_y == 0.0) {
        // A window of zero width: nothing sensible to scale to.
        m_fehler = true;
        return;
    }
    double xs, ys, x_mm, y_mm;
    if (m_ungeschert && m.m_offset_x == 0.0 && m.m_offset_y == 0.0 && x > -Schnellgrenze &&
        x < Schnellgrenze && y > -Schnellgrenze && y < Schnellgrenze) {
        // The common case: the formula below gives x exactly, and a whole number of plotter
        // units is a decimal of at most 15 digits, whose nearest double the division gives at
        // once.
        xs = static_cast<double>(x);
        ys = static_cast<double>(y);
        x_mm = xs / 40.0;
        y_mm = ys / 40.0;
    } else {
        // A window a few units wide can blow values up beyond any machine; they are held at
        // the coordinate limit so that the rows and the extent still agree.
        const double g = static_cast<double>(Koordinatengrenze);
        xs = std::clamp(static_cast<double>(x - m_sc[0]) * m_faktor_x / m_nenner_x, -g, g);
        ys = std::clamp(static_cast<double>(y - m_sc[2]) * m_faktor_y / m_nenner_y, -g, g);
        x_mm = Auf_15_Stellen(xs * mm_je_Einheit + m.m_offset_x);
        y_mm = Auf_15_Stellen(ys * mm_je_Einheit + m.m_offset_y);
    }
    m.m_tabelle.push_back(
        {m_stift_oben ? HPGL_Schritt::MOVETO : HPGL_Schritt::LINTETO, x_mm, y_mm, 0});
    const int64_t ex = Ganzzahl(xs);
    const int64_t ey = Ganzzahl(ys);
    m.m_ext_xmin = std::min(m.m_ext_xmin, ex);
    m.m_ext_xmax = std::max(m.m_ext_xmax, ex);
    m.m_ext_ymin = std::min(m.m_ext_ymin, ey);
    m.m_ext_ymax = std::max(m.m_ext_ymax, ey);
    m_x = x;
    m_y = y;
}

bool HPGL_Leser::Paare() {
    for (;;) {
        const Wert wx = HoleWert(0, false);
        if (m_fehler) return false;
        if (wx.Liste_endet && !wx.gelesen) return true;
        Wert wy;
        if (!wx.Liste_endet) {
            wy = HoleWert(1, false);
            if (m_fehler) return false;
        }
        // A coordinate left out keeps the pen where it is on that axis.
        int64_t x = m_x, y = m_y;
        if (m_absolut) {
            if (wx.gelesen) x = m_ganz[0];
            if (wy.gelesen) y = m_ganz[1];
        } else {
            if (wx.gelesen) x = Summe(m_x, m_ganz[0]);
            if (wy.gelesen) y = Summe(m_y, m_ganz[1]);
        }
        Bewegungszeile(x, y);
        if (m_fehler) return false;
        if (wx.Liste_endet || wy.Liste_endet) return true;
    }
}

// Reads up to anzahl values into the slots (those from reell_ab on as reals); values beyond
// are skipped to the end of the list.
bool HPGL_Leser::Werte(int anzahl, int reell_ab) {
    for (int i = 0; i < anzahl; ++i) {
        const Wert w = HoleWert(i, i >= reell_ab);
        if (m_fehler) return false;
        if (w.Liste_endet) return true;
    }
    Ueberspringen();
    return true;
}

void HPGL_Leser::Ueberspringen() {
    for (;;) {
        const int c = q.Zeichen();
        if (c == Dateiende || c == ';' || c == '\r' || c == '\n') return;
        if (Ist_Buchstabe(c)) {
            q.Zurueck(c);
            return;
        }
    }
}

bool HPGL_Leser::Bogen(int64_t cx, int64_t cy, int64_t sx, int64_t sy, double winkel) {
    // More than one turn would dispense over the same contour again: refused, which also
    // bounds the rows an arc can add.
    if (!(std::fabs(winkel) <= max_Bogenwinkel)) {
        m_fehler = true;
        return false;
    }
    constexpr double Grad = 3.14159265358979323846 / 180.0;
    const int64_t dx = sx - cx; // both within ±2^53
    const int64_t dy = sy - cy;
    double anfang, radius;
    if (dx == 0) {
        anfang = 90.0;
        radius = static_cast<double>(dy);
    } else if (dy == 0) {
        anfang = 0.0;
        radius = static_cast<double>(dx);
    } else {
        anfang = std::atan(static_cast<double>(dy) / static_cast<double>(dx)) / Grad;
        radius = static_cast<double>(dy) / std::sin(anfang * Grad);
    }
    const double schritt = radius > 75 ? 5.0 : radius > 15 ? 10.0 : 20.0;
    // Rounding noise of the sine and cosine must not cost a plotter unit in the truncation
    // (40 × sin 30° comes out as 19.999999999999996).
    const double toleranz = 1e-9 + std::fabs(radius) * 1e-13;
    const auto abschneiden = [toleranz](double v) {
        const double n = std::nearbyint(v);
        return Ganzzahl(std::fabs(v - n) <= toleranz ? n : v);
    };

    Zeile(HPGL_Schritt::DOWN);
    m_stift_oben = false;
    const double ende = anfang + winkel;
    // At most one turn in steps of at least 5°: the loop ends after 73 points.
    for (int i = 1;; ++i) {
        const double vorher = winkel >= 0 ? anfang + (i - 1) * schritt : anfang - (i - 1) * schritt;
        double a;
        bool letzter = false;
        if (winkel >= 0) {
            if (vorher + schritt >= ende) {
                a = ende;
                letzter = true;
            } else {
                a = anfang + i * schritt;
            }
        } else {
            if (vorher - schritt > ende) {
                a = anfang - i * schritt;
            } else {
                a = ende;
                letzter = true;
            }
        }
        const int64_t px = Summe(abschneiden(radius * std::cos(a * Grad)), cx);
        const int64_t py = Summe(abschneiden(radius * std::sin(a * Grad)), cy);
        Bewegungszeile(px, py);
        if (m_fehler) return false;
        if (letzter || i > 400) break;
    }
    Zeile(HPGL_Schritt::UP);
    m_stift_oben = true;
    return true;
}

void HPGL_Leser::Unbekannter_Befehl(int a) {
    std::string text(1, static_cast<char>(a));
    Stoppmeldung(text + "... - Befehl ist noch nicht implementiert!", Titel_Hinweis);
    while (q.Zeichen() != Dateiende) {
    }
}

void HPGL_Leser::Keine_Befehlsstelle(int c) {
    std::string zeichen(1, static_cast<char>(c));
    for (int i = 1; i < 32; ++i) {
        const int z = q.Zeichen();
        if (z == Dateiende) break;
        zeichen.push_back(static_cast<char>(z));
    }
    Stoppmeldung("HPGL_Parser() default: \n" + Anzeigetext(zeichen), Titel_Fehler);
}

constexpr int Paar(char a, char b) {
    return (a << 8) | b;
}

bool HPGL_Leser::Befehl(int a, int b) {
    const int paar = b == Dateiende ? -1 : Paar(static_cast<char>(a), static_cast<char>(b));
    switch (paar) {
    case Paar('P', 'A'):
        m_absolut = true;
        return Paare();
    case Paar('P', 'R'):
        m_absolut = false;
        return Paare();
    case Paar('P', 'U'):
        Zeile(HPGL_Schritt::UP);
        m_stift_oben = true;
        return Paare();
    case Paar('P', 'D'):
        Zeile(HPGL_Schritt::DOWN);
        m_stift_oben = false;
        return Paare();
    case Paar('S', 'P'):
        m_ganz[0] = m_stift;
        if (!Werte(1, 1)) return false;
        m_stift = m_ganz[0];
        Zeile(HPGL_Schritt::STIFT, static_cast<int32_t>(m_stift)); // nine characters fit
        return true;
    case Paar('I', 'P'):
        m_ganz[0] = m_ganz[1] = 0;
        m_ganz[2] = m_ganz[3] = 100;
        if (!Werte(4, 4)) return false;
        std::copy(m_ganz, m_ganz + 4, m_p);
        Masstab_berechnen();
        return true;
    case Paar('S', 'C'):
        m_ganz[0] = 0;
        m_ganz[1] = 100;
        m_ganz[2] = 0;
        m_ganz[3] = 100;
        if (!Werte(4, 4)) return false;
        std::copy(m_ganz, m_ganz + 4, m_sc);
        Masstab_berechnen();
        return true;
    case Paar('C', 'I'): {
        m_ganz[0] = 0;
        if (!Werte(2, 2)) return false;
        return Bogen(m_x, m_y, Summe(m_x, m_ganz[0]), m_y, 360.0);
    }
    case Paar('A', 'A'):
    case Paar('A', 'R'): {
        m_ganz[0] = m_ganz[1] = 0;
        m_reell[2] = 0.0;
        if (!Werte(4, 2)) return false;
        const int64_t cx = b == 'A' ? m_ganz[0] : Summe(m_x, m_ganz[0]);
        const int64_t cy = b == 'A' ? m_ganz[1] : Summe(m_y, m_ganz[1]);
        return Bogen(cx, cy, m_x, m_y, m_reell[2]);
    }
    case Paar('I', 'N'):
    case Paar('I', 'W'):
    case Paar('D', 'T'):
    case Paar('E', 'C'):
    case Paar('O', 'E'):
    case Paar('C', 'A'):
    case Paar('C', 'O'):
    case Paar('L', 'B'):
    case Paar('L', 'T'):
    case Paar('P', 'G'):
    case Paar('P', 'S'):
    case Paar('P', 'T'):
    case Paar('P', 'W'):
    case Paar('S', 'F'):
    case Paar('T', 'C'):
    case Paar('V', 'S'):
    case Paar('W', 'U'):
    case Paar('Z', 'A'):
    case Paar('Z', 'D'):
    case Paar('Z', 'O'):
    case Paar('Z', 'R'):
    case Paar('Z', 'U'):
        Ueberspringen();
        return true;
    default:
        Unbekannter_Befehl(a);
        return false;
    }
}

THPGLDataModule::Ergebnis HPGL_Leser::Lesen() {
    m.m_tabelle.clear();
    Ausdehnung_nullen();

    int vorher = 0;
    for (;;) {
        const int c = q.Zeichen();
        if (c == Dateiende) {
            Stoppmeldung("Der Befehl 'IN' fehlt in der Plot-Datei!", Titel_Fehler);
            return THPGLDataModule::Ergebnis::fehlerhaft;
        }
        const int g = Gross(c);
        if (vorher == 'I' && g == 'N') break;
        vorher = g;
    }
    m_absolut = true;
    m_stift_oben = true;
    Zeile(HPGL_Schritt::UP);
    int c;
    do
        c = q.Zeichen();
    while (c == ' ' || c == ';');
    q.Zurueck(c);

    while (!m_fehler) {
        c = q.Zeichen();
        if (c == Dateiende) break;
        // Blanks and tabs between instructions are legal HPGL (CAD exports write
        // "PU0,0; PD…"); taking them for a command would refuse a sound file.
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (c == ';') {
            if (m_pieptoene < max_Pieptoene) {
                ++m_pieptoene;
                oberflaeche().Piepton(440, 100);
            }
            continue;
        }
        const int a = Gross(c);
        switch (a) {
        case 'A':
        case 'C':
        case 'D':
        case 'E':
        case 'I':
        case 'L':
        case 'O':
        case 'P':
        case 'S':
        case 'T':
        case 'V':
        case 'W':
        case 'Z': {
            const int b = q.Zeichen();
            if (!Befehl(a, b == Dateiende ? b : Gross(b))) m_fehler = true;
            break;
        }
        default:
            Keine_Befehlsstelle(c);
            m_fehler = true;
        }
    }
    Zeile(HPGL_Schritt::UP);

    if (m_fehler || q.Lesefehler()) {
        Stoppmeldung("Fehler beim Parsen", Titel_Fehler);
        m.m_tabelle.clear();
        Ausdehnung_nullen();
        return THPGLDataModule::Ergebnis::fehlerhaft;
    }
    return THPGLDataModule::Ergebnis::gelesen;
}

void THPGLDataModule::Platz_schaffen(std::size_t bytes) {
    // A row per four bytes ("1,2,") is the most pairs can give; reserving that spares the
    // copies of the table's growth, and pages never written are never backed by memory.
    const std::size_t zeilen = std::min(bytes / 4 + 64, std::size_t{1} << 25);
    if (m_tabelle.capacity() >= zeilen) return;
    m_tabelle.reserve(zeilen);
#ifdef MADV_HUGEPAGE
    // Large pages spare most of the page faults of filling a table of some hundred megabytes.
    constexpr uintptr_t Seite = uintptr_t{2} << 20;
    const auto anfang = reinterpret_cast<uintptr_t>(m_tabelle.data());
    const uintptr_t ende = anfang + m_tabelle.capacity() * sizeof(HPGL_Zeile);
    const uintptr_t a = (anfang + Seite - 1) & ~(Seite - 1);
    const uintptr_t e = ende & ~(Seite - 1);
    if (e > a) ::madvise(reinterpret_cast<void*>(a), e - a, MADV_HUGEPAGE);
#endif
}

THPGLDataModule::Ergebnis THPGLDataModule::HPGL_Parser(const std::string& pfad) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Ergebnis::nicht_geoeffnet;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return Ergebnis::nicht_geoeffnet;
    }
    if (S_ISREG(info.st_mode)) Platz_schaffen(static_cast<std::size_t>(info.st_size));
    Zeichenquelle quelle(fd);
    const Ergebnis e = HPGL_Leser(*this, quelle).Lesen();
    ::close(fd);
    return e;
}

THPGLDataModule::Ergebnis THPGLDataModule::HPGL_Text_lesen(std::string_view text) {
    Zeichenquelle quelle(text);
    return HPGL_Leser(*this, quelle).Lesen();
}

void THPGLDataModule::Leeren() {
    m_tabelle.clear();
    m_tabelle.shrink_to_fit();
    m_ext_xmin = m_ext_ymin = m_ext_xmax = m_ext_ymax = 0;
}

void THPGLDataModule::Offset_setzen(double x_mm, double y_mm) {
    m_offset_x = x_mm;
    m_offset_y = y_mm;
}

HPGL_Ausdehnung THPGLDataModule::Ausdehnung_mm() const {
    const auto mm = [](int64_t e) {
        return Auf_15_Stellen(static_cast<double>(e) * mm_je_Einheit);
    };
    return {mm(m_ext_xmin), mm(m_ext_ymin), mm(m_ext_xmax), mm(m_ext_ymax)};
}

double THPGLDataModule::Vorschaumassstab(int breite, int hoehe) const {
    const HPGL_Ausdehnung a = Ausdehnung_mm();
    double xspanne = a.xMax - a.xMin;
    double yspanne = a.yMax - a.yMin;
    if (xspanne == 0.0) xspanne = 1.0;
    if (yspanne == 0.0) yspanne = 1.0;
    return std::min((breite - 8) / xspanne, (hoehe - 8) / yspanne) - 0.1;
}

namespace {

// Pixel offsets far off the bitmap are clamped so that no sum overflows an int.
int Pixelabstand(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

HPGL_Pixel Pixel(double x_mm, double y_mm, double massstab, int hoehe) {
    const int64_t px = 4 + int64_t{Pixelabstand(x_mm * massstab)};
    const int64_t py = int64_t{hoehe} - 4 - int64_t{Pixelabstand(y_mm * massstab)};
    const auto klemmen = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, -2e9, 2e9));
    };
    return {klemmen(px), klemmen(py)};
}

} // namespace

HPGL_Pixel THPGLDataModule::Vorschaupunkt(double x_mm, double y_mm, int breite, int hoehe) const {
    return Pixel(x_mm, y_mm, Vorschaumassstab(breite, hoehe), hoehe);
}

std::vector<HPGL_Strich> THPGLDataModule::Vorschau(int breite, int hoehe) const {
    const double massstab = Vorschaumassstab(breite, hoehe);
    std::vector<HPGL_Strich> striche;
    for (const HPGL_Zeile& z : m_tabelle) {
        if (z.Schritt == HPGL_Schritt::MOVETO)
            striche.push_back({false, Pixel(z.x, z.y, massstab, hoehe)});
        else if (z.Schritt == HPGL_Schritt::LINTETO)
            striche.push_back({true, Pixel(z.x, z.y, massstab, hoehe)});
    }
    return striche;
}

} // namespace orvexa
