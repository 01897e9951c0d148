#include "tabelle.h"

#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "core/zeichensatz.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexa {

namespace {

constexpr const char* Meldungstitel = "orvexa2011";

// What separates the fields of a data line.
constexpr std::array<bool, 256> Leerraumtabelle = [] {
    std::array<bool, 256> t{};
    for (const unsigned char c : {' ', '\t', '\v', '\f', '\r', '\n'})
        t[c] = true;
    return t;
}();

bool Leerraum(char c) {
    return Leerraumtabelle[static_cast<unsigned char>(c)];
}

// Without an early exit, so that the compiler can vectorise it for whole files.
bool Nur_ascii(std::string_view text) {
    unsigned char oder = 0;
    for (const char c : text)
        oder |= static_cast<unsigned char>(c);
    return oder < 0x80;
}

std::size_t Zeichen_zaehlen(std::string_view text, char zeichen) {
    // An empty view may have no data at all, and memchr must not be given a null pointer.
    if (text.empty()) return 0;
    std::size_t anzahl = 0;
    const char* p = text.data();
    const char* const ende = p + text.size();
    while (const void* fund = std::memchr(p, zeichen, static_cast<std::size_t>(ende - p))) {
        ++anzahl;
        p = static_cast<const char*>(fund) + 1;
    }
    return anzahl;
}

bool Nicht_ascii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

std::string_view Trimmen(std::string_view text) {
    while (!text.empty() && Leerraum(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Leerraum(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Klein(std::string_view text) {
    std::string ziel(text);
    for (char& c : ziel)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ziel;
}

// The types whose cards have no u axis; values outside the table keep the u column.
bool Ohne_U_Achse(int32_t modul) {
    const Steuerungstyp* typ = Steuerungstyp_zu(modul);
    return typ && !typ->U_Achse;
}

std::string Festtext(double wert, int nachkommastellen) {
    if (!std::isfinite(wert)) wert = 0.0;
    // Large enough for the longest double in fixed form.
    char puffer[400];
    const auto ergebnis = std::to_chars(puffer, puffer + sizeof puffer, wert,
                                        std::chars_format::fixed, nachkommastellen);
    std::string text(puffer, ergebnis.ptr);
    if (text.starts_with('-') && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

int32_t Zellganzzahl(std::string_view text) {
    try {
        return Text_zu_Ganzzahl(text);
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

// Cuts the bytes into lines the way the old string lists did: at CR LF, LF or a lone CR; a
// line break at the very end opens no further line.
class Zeilenleser {
public:
    explicit Zeilenleser(std::string_view text) : m_text(text) { Naechstes_lf_suchen(); }

    bool Naechste(std::string_view& zeile) {
        if (m_pos >= m_text.size()) return false;
        // memchr is much quicker than a byte loop; a line ends at the first CR or LF. The next
        // LF is remembered, so that a file with CR line ends is not searched to its end for
        // every line.
        const char* anfang = m_text.data() + m_pos;
        if (m_lf < m_pos) Naechstes_lf_suchen();
        const std::size_t bis_lf = m_lf - m_pos;
        const void* cr = std::memchr(anfang, '\r', bis_lf);
        std::size_t ende =
            m_pos + (cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - anfang) : bis_lf);
        zeile = m_text.substr(m_pos, ende - m_pos);
        if (ende < m_text.size()) {
            const bool crlf =
                m_text[ende] == '\r' && ende + 1 < m_text.size() && m_text[ende + 1] == '\n';
            ende += crlf ? 2 : 1;
        }
        m_pos = ende;
        return true;
    }

private:
    void Naechstes_lf_suchen() {
        // At the end (or in an empty view, which may have no data at all) memchr must not run.
        if (m_pos >= m_text.size()) {
            m_lf = m_text.size();
            return;
        }
        const void* lf = std::memchr(m_text.data() + m_pos, '\n', m_text.size() - m_pos);
        m_lf = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - m_text.data())
                  : m_text.size();
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_lf = 0; // position of the next LF (or the end); valid while >= m_pos
};

enum class Leseergebnis { gelesen, zu_gross, fehler };

// Like Datei_lesen, but sized from the start (growing a 5 MB text chunk by chunk costs more
// than parsing it) and never beyond the size a table file may have.
Leseergebnis Ganz_lesen(const std::string& pfad, std::string& inhalt) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Leseergebnis::fehler;
    const auto beenden = [fd](Leseergebnis ergebnis) {
        const int fehler = errno;
        ::close(fd);
        errno = fehler;
        return ergebnis;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) return beenden(Leseergebnis::fehler);
    if (st.st_size < 0 || static_cast<std::uintmax_t>(st.st_size) > Tabellendatei_max_Bytes)
        return beenden(Leseergebnis::zu_gross);
    // One byte more than expected shows whether the file grew meanwhile.
    inhalt.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t gelesen = 0;
    for (;;) {
        if (gelesen == inhalt.size()) {
            if (gelesen > Tabellendatei_max_Bytes) return beenden(Leseergebnis::zu_gross);
            inhalt.resize(std::min<std::size_t>(inhalt.size() * 2, Tabellendatei_max_Bytes + 1));
        }
        const ssize_t n = ::read(fd, inhalt.data() + gelesen, inhalt.size() - gelesen);
        if (n < 0) {
            if (errno == EINTR) continue;
            return beenden(Leseergebnis::fehler);
        }
        if (n == 0) break;
        gelesen += static_cast<std::size_t>(n);
    }
    inhalt.resize(gelesen);
    return beenden(Leseergebnis::gelesen);
}

void Warnung(const std::string& text) {
    oberflaeche().Meldung(text, Meldungstitel, Symbol::warnung, Knoepfe::ok);
}

} // namespace

bool Zelltext_gueltig(std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F) return false;
    }
    if (!Nicht_ascii(text)) return true;
    if (!Gueltiges_Utf8(text)) return false;
    // Nor the C1 controls U+0080..U+009F, which no keyboard gives.
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) == 0xC2 &&
            static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return false;
    return Cp1252_zu_Utf8(Utf8_zu_Cp1252(text)) == text;
}

double Zellwert(std::string_view text) {
    std::string_view t = Trimmen(text);
    if (t.find_first_of("Ee") != std::string_view::npos) {
        if (t.starts_with('+')) t.remove_prefix(1);
        double wert = 0.0;
        const auto [ende, fehler] =
            std::from_chars(t.data(), t.data() + t.size(), wert, std::chars_format::scientific);
        if (fehler == std::errc{} && ende == t.data() + t.size() && std::isfinite(wert))
            return wert;
        return 0.0;
    }
    try {
        const double wert = Text_zu_Zahl(text);
        return std::isfinite(wert) ? wert : 0.0;
    } catch (const Umwandlungsfehler&) {
        return 0.0;
    }
}

std::string Millimetertext(double wert) {
    if (!std::isfinite(wert)) return "0.00";
    char puffer[64];
    const auto ergebnis =
        std::to_chars(puffer, puffer + sizeof puffer, wert, std::chars_format::scientific, 5);
    double gerundet = 0.0;
    std::from_chars(puffer, ergebnis.ptr, gerundet);
    if (std::fabs(gerundet) < 1e6) return Festtext(gerundet, 2);
    std::string text(puffer, ergebnis.ptr);
    text[text.find('e')] = 'E';
    return text;
}

// --- Zeile ---------------------------------------------------------------------------------

Positionstabelle::Zeile Positionstabelle::Zeile::Leer() {
    Zeile z;
    z.text.assign(Tabellenfelder, '-');
    for (int i = 0; i < Tabellenfelder; ++i)
        z.ende[i] = static_cast<uint32_t>(i + 1);
    return z;
}

// Fields beyond the fourteenth have no column and are dropped; missing ones stay empty.
int Positionstabelle::Zeile::Aus_Text(std::string_view zeile, Zeile& z) {
    // At most as long as the line; filled byte by byte in one pass, which is what makes
    // loading a long table quick.
    z.text.resize(zeile.size());
    char* ziel = z.text.data();
    const char* quelle = zeile.data();
    const std::size_t laenge = zeile.size();
    std::size_t i = 0;
    uint32_t n = 0;
    int felder = 0;
    while (felder < Tabellenfelder) {
        while (i < laenge && Leerraum(quelle[i]))
            ++i;
        if (i == laenge) break;
        while (i < laenge && !Leerraum(quelle[i]))
            ziel[n++] = quelle[i++];
        z.ende[felder++] = n;
    }
    z.text.resize(n);
    for (int k = felder; k < Tabellenfelder; ++k)
        z.ende[k] = n;
    return felder;
}

int Positionstabelle::Zeile::Aus_Windowstext(std::string_view zeile, Zeile& z) {
    z.text.reserve(zeile.size() + zeile.size() / 4);
    int felder = 0;
    std::size_t i = 0;
    while (felder < Tabellenfelder) {
        while (i < zeile.size() && Leerraum(zeile[i]))
            ++i;
        if (i == zeile.size()) break;
        const std::size_t anfang = i;
        while (i < zeile.size() && !Leerraum(zeile[i]))
            ++i;
        z.text += Cp1252_zu_Utf8(zeile.substr(anfang, i - anfang));
        z.ende[felder++] = static_cast<uint32_t>(z.text.size());
    }
    for (int k = felder; k < Tabellenfelder; ++k)
        z.ende[k] = static_cast<uint32_t>(z.text.size());
    return felder;
}

std::string_view Positionstabelle::Zeile::Feld(int i) const {
    const uint32_t anfang = i == 0 ? 0 : ende[i - 1];
    return std::string_view(text).substr(anfang, ende[i] - anfang);
}

void Positionstabelle::Zeile::Feld_setzen(int i, std::string_view neu) {
    const uint32_t anfang = i == 0 ? 0 : ende[i - 1];
    const uint32_t alt = ende[i] - anfang;
    text.replace(anfang, alt, neu);
    const auto laenge = static_cast<uint32_t>(neu.size());
    for (int k = i; k < Tabellenfelder; ++k)
        ende[k] = ende[k] - alt + laenge;
}

// --- Positionstabelle ------------------------------------------------------------------------

Positionstabelle::Positionstabelle() {
    // The titles that depend on the controller type wait for TabelleBeschriften: the parameter
    // set is not loaded yet when the table is made.
    Feste_Titel_und_Breiten();
}

bool Positionstabelle::Datenzelle(int zeile, int spalte) const {
    return zeile >= 1 && zeile <= Zeilenzahl() && spalte >= 1 && spalte <= Tabellenfelder;
}

std::string_view Positionstabelle::Zelle(int zeile, int spalte) const {
    if (!Datenzelle(zeile, spalte)) return {};
    return m_zeilen[static_cast<std::size_t>(zeile - 1)].Feld(spalte - 1);
}

bool Positionstabelle::Zelle_setzen(int zeile, int spalte, std::string_view text) {
    if (!Datenzelle(zeile, spalte) || !Zelltext_gueltig(text)) return false;
    Zeile& z = m_zeilen[static_cast<std::size_t>(zeile - 1)];
    if (z.text.size() + text.size() > std::numeric_limits<uint32_t>::max()) return false;
    z.Feld_setzen(spalte - 1, text.empty() ? std::string_view("-") : text);
    return true;
}

void Positionstabelle::TabelleLoeschen() {
    m_zeilen.assign(Zeilen_neuer_Tabelle, Zeile::Leer());
    TabelleBeschriften();
}

void Positionstabelle::ZeileHinzufuegen(int anzahl) {
    // A table that could not be loaded again is never made.
    anzahl = std::min(anzahl, Tabelle_max_Zeilen - Zeilenzahl());
    if (anzahl <= 0) return;
    m_zeilen.insert(m_zeilen.end(), static_cast<std::size_t>(anzahl), Zeile::Leer());
    Geaendert = true;
}

void Positionstabelle::ZeileEinfuegen() {
    if (!Zeile_gewaehlt() || Zeilenzahl() >= Tabelle_max_Zeilen) return;
    m_zeilen.insert(m_zeilen.begin() + (AktZeile - 1), Zeile::Leer());
    Geaendert = true;
}

void Positionstabelle::ZeileLoeschen() {
    if (Zeile_gewaehlt() && Zeilenzahl() >= 2) {
        m_zeilen.erase(m_zeilen.begin() + (AktZeile - 1));
        AktZeile = std::min(AktZeile, Zeilenzahl());
    } else if (Zeilenzahl() >= 1) {
        m_zeilen.front() = Zeile::Leer();
    } else {
        return;
    }
    Geaendert = true;
}

// --- File ----------------------------------------------------------------------------------

std::string Positionstabelle::Dateiinhalt() const {
    std::size_t groesse = 64;
    for (const Zeile& z : m_zeilen)
        groesse += z.text.size() + 2 * Tabellenfelder + 2;
    std::string inhalt;
    inhalt.reserve(groesse);

    inhalt += "; orvexa2011\r\n;\r\n";
    if (Modus.Winkel)
        inhalt += "Gradeingabe";
    else
        inhalt += Schritteingabe ? "Schritteingabe" : "Millimetereingabe";
    inhalt += "\r\n";

    for (const Zeile& z : m_zeilen) {
        for (int i = 0; i < Tabellenfelder; ++i) {
            if (i > 0) inhalt += ' ';
            const std::string_view feld = Trimmen(z.Feld(i));
            if (feld.empty())
                inhalt += '-';
            else if (Nicht_ascii(feld))
                inhalt += Utf8_zu_Cp1252(feld);
            else
                inhalt += feld;
        }
        inhalt += "\r\n";
    }
    return inhalt;
}

bool Positionstabelle::Aus_Dateiinhalt(std::string_view bytes) {
    // The program's own files are Windows-1252 and must read back byte for byte, even where
    // their bytes happen to form valid UTF-8 ("\xD7\x82"); so UTF-8 is taken only from a
    // file that says so with its byte-order mark.
    const bool utf8 = bytes.starts_with("\xEF\xBB\xBF") && Gueltiges_Utf8(bytes);
    if (utf8) bytes.remove_prefix(3);
    const bool umwandeln = !utf8 && !Nur_ascii(bytes);

    // Every row but the last ends in a line break, so this bounds the rows. Within the limit
    // the rows go straight into the table, reusing its storage; beyond it they are parsed
    // aside so that a refused file leaves the table as it was.
    const std::size_t hoechstens = Zeichen_zaehlen(bytes, '\n') + Zeichen_zaehlen(bytes, '\r') + 1;
    std::vector<Zeile> beiseite;
    std::vector<Zeile>& zeilen = hoechstens <= Tabelle_max_Zeilen + 3u ? m_zeilen : beiseite;
    zeilen.clear();
    zeilen.reserve(std::min(hoechstens, static_cast<std::size_t>(Tabelle_max_Zeilen)));

    bool schritteingabe = Schritteingabe;
    Zeilenleser leser(bytes);
    std::string_view kopf, kommentar, modus;
    if (leser.Naechste(kopf) && leser.Naechste(kommentar) && leser.Naechste(modus)) {
        // The first line names the program that wrote the file ("; orvexa2010" or
        // "; orvexa2011"); every first line is read alike, so it is not looked at.
        schritteingabe = Klein(Trimmen(modus)) == "schritteingabe";

        std::string_view zeile;
        while (leser.Naechste(zeile)) {
            Zeile& z = zeilen.emplace_back();
            const int felder =
                umwandeln ? Zeile::Aus_Windowstext(zeile, z) : Zeile::Aus_Text(zeile, z);
            if (felder == 0) zeilen.pop_back(); // blank line
            if (zeilen.size() > static_cast<std::size_t>(Tabelle_max_Zeilen)) return false;
        }
    }
    if (&zeilen != &m_zeilen) m_zeilen = std::move(zeilen);
    Schritteingabe = schritteingabe;
    TabelleBeschriften();
    Geaendert = false;
    return true;
}

bool Positionstabelle::TabelleLaden() {
    if (!Datei_existiert(DateiName)) return false;

    const auto zu_gross = [this] {
        Protokoll_schreiben(Ebene_Fehler, "TabelleLaden() :: zu groß: " + DateiName);
        Warnung("Die Datei\n" + DateiName + "\nist zu groß für eine Positionstabelle (höchstens " +
                std::to_string(Tabellendatei_max_Bytes / (1024 * 1024)) + " MB und " +
                std::to_string(Tabelle_max_Zeilen) + " Zeilen).\nDie Tabelle wurde nicht geladen.");
        return false;
    };
    std::string bytes;
    switch (Ganz_lesen(DateiName, bytes)) {
    case Leseergebnis::gelesen:
        break;
    case Leseergebnis::zu_gross:
        return zu_gross();
    case Leseergebnis::fehler: {
        const std::string grund = std::strerror(errno);
        Protokoll_schreiben(Ebene_Fehler, "TabelleLaden() :: " + DateiName + ": " + grund);
        Warnung("Die Datei\n" + DateiName + "\nkann nicht gelesen werden.\n\nGrund: " + grund);
        return false;
    }
    }
    return Aus_Dateiinhalt(bytes) || zu_gross();
}

bool Positionstabelle::TabelleSpeichern() {
    std::string grund = "Es ist kein Dateiname angegeben.";
    if (!DateiName.empty() && Datei_atomar_schreiben(DateiName, Dateiinhalt(), &grund)) {
        Geaendert = false;
        return true;
    }
    Protokoll_schreiben(Ebene_Fehler, "TabelleSpeichern() :: " + grund);
    // The path is named once above the reason.
    if (grund.starts_with(DateiName + ": ")) grund.erase(0, DateiName.size() + 2);
    Warnung("Die Tabelle konnte nicht in die Datei\n" + DateiName +
            "\ngespeichert werden.\n\nGrund: " + grund + "\n\nDie Datei bleibt, wie sie war.");
    return false;
}

std::optional<Antwort> Positionstabelle::TabelleAbspeichern() {
    if (!Geaendert) return std::nullopt;
    return oberflaeche().Meldung("Möchten Sie die Änderungen speichern?\n", Meldungstitel,
                                 Symbol::frage, Knoepfe::ja_nein_abbrechen);
}

std::string Positionstabelle::Dateibeschreibung() const {
    struct stat st {};
    if (DateiName.empty() || !Datei_existiert(DateiName) || ::stat(DateiName.c_str(), &st) != 0)
        return "\x02";
    std::tm lokal{};
    char zeit[64] = "";
    if (::localtime_r(&st.st_mtime, &lokal))
        std::strftime(zeit, sizeof zeit, "%d.%m.%Y %H:%M:%S", &lokal);
    return DateiName + " " + zeit + "\x02";
}

// --- Titles and widths -----------------------------------------------------------------------

void Positionstabelle::Feste_Titel_und_Breiten() {
    m_titel[0] = "Pos.";
    m_titel[1] = "E1-Verkn.";
    m_titel[2] = "Aus-1";
    m_titel[10] = "Wartezeit [ms]";
    m_titel[11] = "Startgeschw.";
    m_titel[12] = "Arbeitsgeschw.";
    m_titel[13] = "Rampenlänge [ms]";
    m_titel[14] = "WH";

    const int achse_x = Modus.Winkel ? 90 : 86;
    const int achse_yzu = Modus.Winkel ? 61 : 86;
    m_breiten = {34,        60,        39, 39, 39, 39,  achse_x, achse_yzu,
                 achse_yzu, achse_yzu, 80, 72, 80, 104, 50};
}

void Positionstabelle::TabelleBeschriften() {
    const int32_t modul = Parametersatz().Modul;
    Feste_Titel_und_Breiten();
    // The other types keep the titles they had.
    if (Typangaben(modul).Ausgangstitel) {
        for (int spalte = 3; spalte <= 5; ++spalte)
            m_titel[static_cast<std::size_t>(spalte)] =
                Schaltspalte_aktiv(spalte) ? "Aus-" + std::to_string(spalte - 1) : "";
    }
    if (Modus.Winkel) {
        m_titel[6] = "X-Achse [Grad]";
        m_titel[7] = m_titel[8] = m_titel[9] = "";
    } else {
        const std::string einheit = Schritteingabe ? " [Steps]" : " [mm]";
        m_titel[6] = "X-Achse" + einheit;
        m_titel[7] = "Y-Achse" + einheit;
        m_titel[8] = "Z-Achse" + einheit;
        m_titel[9] = "U-Achse" + einheit;
    }
    if (Ohne_U_Achse(modul)) m_titel[9] = "";
    m_titel[10] = "Wartezeit [ms]";
    m_titel[11] = "Startgeschw.";
    m_titel[12] = "Arbeitsgeschw.";
    m_titel[13] = "Rampenlänge [ms]";
    m_titel[14] = "WH";

    const int achse_x = Modus.Winkel ? 90 : 86;
    const int achse_yzu = Modus.Winkel ? 61 : 86;
    m_breiten = {34,        60,        39, 39, 39, 39,  achse_x, achse_yzu,
                 achse_yzu, achse_yzu, 80, 72, 80, 104, 50};
}

std::pair<int, int> Positionstabelle::HilfeLinks(int grid_links, int linienbreite) const {
    int links2 = grid_links;
    for (int s = 0; s <= 13; ++s)
        links2 += m_breiten[s] + linienbreite;
    return {grid_links + m_breiten[0], links2};
}

// --- Conversion --------------------------------------------------------------------------------

void Positionstabelle::TabelleUmwandeln() {
    if (Modus.Winkel) return;
    TabelleBeschriften();
    const Maschinenparameter& p = Parametersatz();
    const std::array<double, 4> uebersetzung = {p.xUebersetz, p.yUebersetz, p.zUebersetz,
                                                p.uUebersetz};
    const std::array<int32_t, 4> motorschritte = {p.xMotStep, p.yMotStep, p.zMotStep, p.uMotStep};
    for (Zeile& z : m_zeilen) {
        for (int achse = 0; achse < 4; ++achse) {
            const int feld = 5 + achse; // columns 6 to 9
            const double g = uebersetzung[achse];
            const double s = motorschritte[achse];
            const double v = Zellwert(z.Feld(feld));
            if (Schritteingabe) {
                if (g > 0) z.Feld_setzen(feld, Festtext(std::trunc(v * s / g), 0));
            } else if (s > 0) {
                z.Feld_setzen(feld, Millimetertext(v * g / s));
            }
        }
    }
}

// --- Rules the grid asks -----------------------------------------------------------------------

bool Positionstabelle::Zelle_waehlen(int zeile, int spalte) {
    AktSpalte = spalte;
    AktZeile = zeile;
    return Datenzelle(zeile, spalte) && Zelle_editierbar(spalte);
}

bool Positionstabelle::Zelle_editierbar(int spalte) const {
    // The switch columns 1 to 5 are set by double-click only.
    if (spalte < 6 || spalte > Tabellenfelder) return false;
    if ((spalte == 7 || spalte == 8) && Modus.Winkel) return false;
    if (spalte == 9 && (Modus.Winkel || Ohne_U_Achse(Parametersatz().Modul))) return false;
    return true;
}

bool Positionstabelle::Schaltspalte_aktiv(int spalte) const {
    // Column 1 is the E1 link, columns 2 to 5 the outputs 1 to 4.
    if (spalte == 1 || spalte == 2) return true;
    if (spalte < 3 || spalte > 5) return false;
    const Steuerungstyp& typ = Typangaben(Parametersatz().Modul);
    const int32_t ausgaenge =
        typ.Schaltausgaenge + (Modus.Torval && typ.Torval_Schaltausgang ? 1 : 0);
    return spalte - 1 <= ausgaenge;
}

bool Positionstabelle::Doppelklick(int zeile, int spalte) {
    if (!Datenzelle(zeile, spalte)) return false;
    Geaendert = true;
    if (!Schaltspalte_aktiv(spalte)) return false;
    const std::string_view alt = Zelle(zeile, spalte);
    const char* neu = "ON";
    if (alt == "ON")
        neu = "OFF";
    else if (alt == "OFF")
        neu = "-";
    m_zeilen[static_cast<std::size_t>(zeile - 1)].Feld_setzen(spalte - 1, neu);
    return true;
}

std::string Positionstabelle::Anzeigetext(int zeile, int spalte) const {
    if (spalte < 0 || spalte >= Tabellenspalten || zeile < 0 || zeile > Zeilenzahl()) return {};
    if (zeile == 0) return m_titel[static_cast<std::size_t>(spalte)];
    if (spalte == 0) return std::to_string(zeile);

    const std::string_view zelle = Zelle(zeile, spalte);
    if (spalte >= 6 && spalte <= 9) {
        if (spalte == 9 && Ohne_U_Achse(Parametersatz().Modul)) return "-//-";
        if (Modus.Winkel) return spalte == 6 ? Festtext(Zellwert(zelle), 3) : std::string(zelle);
        if (Schritteingabe) return zelle == "-" ? "0" : std::to_string(Zellganzzahl(zelle));
        // Plain two decimals: the cell is shown as it is, not rounded like a converted value.
        return Festtext(Zellwert(zelle), 2);
    }
    std::string text;
    text.reserve(zelle.size());
    for (const char c : zelle)
        if (c != ',' && c != '.') text += c;
    return text;
}

Zellhintergrund Positionstabelle::Hintergrund(int zeile, int spalte, int aktuelle_zeile) const {
    if (zeile == 0 || spalte == 0) {
        if (Modus.Winkel) return Zellhintergrund::kopf_cyan;
        return Schritteingabe ? Zellhintergrund::kopf_gelb : Zellhintergrund::kopf_standard;
    }
    return zeile == aktuelle_zeile ? Zellhintergrund::gruen : Zellhintergrund::weiss;
}

bool Positionstabelle::Rechtsbuendig(int zeile, int spalte) const {
    return zeile >= 1 && spalte >= 6 && spalte <= 9;
}

} // namespace orvexa
