#pragma once

#include "platform/oberflaeche.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvexa {

// Grid layout: row 0 holds the titles, column 0 the row number; data rows are 1..n and the
// fields of a row are columns 1..14.
inline constexpr int Tabellenspalten = 15;
inline constexpr int Tabellenfelder = 14;
inline constexpr int Zeilen_neuer_Tabelle = 5;

// The columns a run reads: input E1, the four outputs from Ausgang1, the axes from x on, the
// wait, the speeds and the ramp, the repeat count.
inline constexpr int Spalte_E1 = 1;
inline constexpr int Spalte_Ausgang1 = 2;
inline constexpr int Spalte_x = 6;
inline constexpr int Spalte_Wartezeit = 10;
inline constexpr int Spalte_Startfreq = 11;
inline constexpr int Spalte_Endfreq = 12;
inline constexpr int Spalte_Rampe = 13;
inline constexpr int Spalte_WH = 14;

// Files beyond these limits are refused whole rather than read in part: a partly read table
// saved again would lose the rest. A table of 100,000 rows is about 5 MB.
inline constexpr std::uintmax_t Tabellendatei_max_Bytes = 64u * 1024 * 1024;
inline constexpr int Tabelle_max_Zeilen = 1'000'000;

// Set by the owner from the command line: "/WT" (x column in degrees, no y/z/u) and
// "/TORVAL" (output 4 column for the types 5 and 6).
struct Tabellenmodus {
    bool Winkel = false;
    bool Torval = false;
};

enum class Zellhintergrund { gruen, weiss, kopf_cyan, kopf_gelb, kopf_standard };

// A cell may hold no white space and no control character (the file separates fields by
// blanks) and only characters that Windows-1252 can store, so a saved table reads back the
// same.
bool Zelltext_gueltig(std::string_view text);

// A cell read as a number: "," or "." as separator, blanks ignored, also the exponent form
// that Millimetertext writes for large values; anything else (such as "-") is 0.
double Zellwert(std::string_view text);

// Millimetres as the step conversion writes them: rounded to six significant digits, then
// fixed with two decimals ("12345.70"); from 1,000,000 on exponent form "1.23457E+06".
std::string Millimetertext(double wert);

// The position table without its on-screen grid: the cells, the table file, the column titles
// and widths per controller type and input mode, and the rules by which the grid edits and
// draws the cells. Modul is read from Parametersatz() whenever a rule needs it.
class Positionstabelle {
public:
    Positionstabelle();

    std::string DateiName;
    bool Schritteingabe = false; // axis columns in motor steps, else millimetres
    bool Geaendert = false;
    int AktSpalte = 0; // last selected cell; 0 = none yet
    int AktZeile = 0;
    Tabellenmodus Modus;

    // --- Cells (zeile 1..Zeilenzahl(), spalte 1..14) ---
    int Zeilenzahl() const { return static_cast<int>(m_zeilen.size()); }
    // Empty outside the table.
    std::string_view Zelle(int zeile, int spalte) const;
    // Refuses (false) texts that Zelltext_gueltig rejects and positions outside the table; an
    // empty text is stored as "-", the empty value the file writes for it.
    bool Zelle_setzen(int zeile, int spalte, std::string_view text);

    // --- Row commands ---
    void TabelleLoeschen();
    void ZeileHinzufuegen(int anzahl = 1);
    void ZeileEinfuegen();
    void ZeileLoeschen();

    // --- File ---
    // False when nothing was read: no such file (the table is left alone, silently), or a
    // file that cannot be read or is too large (reported, the table is left alone).
    bool TabelleLaden();
    // Writes atomically; on failure the old file stays, the operator is told, Geaendert stays
    // set and false is returned.
    bool TabelleSpeichern();
    // Asks whether to save when the table was changed; nullopt when there was nothing to ask.
    std::optional<Antwort> TabelleAbspeichern();
    // Path, modification date (dd.mm.yyyy) and time (hh:mm:ss), then 0x02; only 0x02 when
    // there is no file.
    std::string Dateibeschreibung() const;
    // The bytes TabelleSpeichern writes (Windows-1252, CR LF).
    std::string Dateiinhalt() const;
    // Replaces the rows with those of the file's bytes, sets the input mode from its third
    // line, relabels and clears Geaendert. A file of more than Tabelle_max_Zeilen rows leaves
    // the table as it was and gives false.
    bool Aus_Dateiinhalt(std::string_view bytes);

    // --- Titles and widths ---
    void TabelleBeschriften();
    const std::array<std::string, Tabellenspalten>& Titel() const { return m_titel; }
    const std::array<int, Tabellenspalten>& Spaltenbreiten() const { return m_breiten; }
    // x positions of the two header hints: the left edge of column 1 and of column 14.
    std::pair<int, int> HilfeLinks(int grid_links, int linienbreite) const;

    // Converts the axis columns after Schritteingabe was toggled; nothing in the angle mode.
    void TabelleUmwandeln();

    // --- Rules the grid asks ---
    // Records the selection; returns whether the cell may be typed into.
    bool Zelle_waehlen(int zeile, int spalte);
    bool Zelle_editierbar(int spalte) const;
    void Bearbeitung_beginnt() { Geaendert = true; }
    // Steps a switch column "-" -> "ON" -> "OFF" -> "-"; true when the cell changed.
    bool Doppelklick(int zeile, int spalte);
    bool Schaltspalte_aktiv(int spalte) const;
    std::string Anzeigetext(int zeile, int spalte) const;
    // aktuelle_zeile: the row the vector output is executing, -1 none.
    Zellhintergrund Hintergrund(int zeile, int spalte, int aktuelle_zeile) const;
    // Axis cells of data rows are right-aligned, everything else centred.
    bool Rechtsbuendig(int zeile, int spalte) const;

private:
    // The 14 fields of a row back to back in one string, with the end of each; one allocation
    // per row keeps 100,000 rows small and quick to load.
    struct Zeile {
        std::string text;
        std::array<uint32_t, Tabellenfelder> ende{};

        static Zeile Leer();
        // Split a file line into z; the number of fields found.
        static int Aus_Text(std::string_view zeile, Zeile& z);
        static int Aus_Windowstext(std::string_view zeile, Zeile& z);
        std::string_view Feld(int i) const;
        void Feld_setzen(int i, std::string_view neu);
    };

    void Feste_Titel_und_Breiten();
    bool Datenzelle(int zeile, int spalte) const;
    bool Zeile_gewaehlt() const { return AktZeile >= 1 && AktZeile <= Zeilenzahl(); }

    std::vector<Zeile> m_zeilen;
    std::array<std::string, Tabellenspalten> m_titel;
    std::array<int, Tabellenspalten> m_breiten{};
};

} // namespace orvexa
