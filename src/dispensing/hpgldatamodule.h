#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

enum class HPGL_Schritt : uint8_t { UP, DOWN, MOVETO, LINTETO, STIFT };

// One row of the command table. x and y (MOVETO, LINTETO) are millimetres with the offset
// already added; Stift is the pen number of a STIFT row.
struct HPGL_Zeile {
    HPGL_Schritt Schritt = HPGL_Schritt::UP;
    double x = 0.0;
    double y = 0.0;
    int32_t Stift = 0;

    bool operator==(const HPGL_Zeile&) const = default;
};

// Smallest and largest x and y of the contour in millimetres; always includes the origin.
struct HPGL_Ausdehnung {
    double xMin = 0.0;
    double yMin = 0.0;
    double xMax = 0.0;
    double yMax = 0.0;
};

// A point of the preview bitmap in pixels (y down, as on screen).
struct HPGL_Pixel {
    int x = 0;
    int y = 0;
};

// A preview stroke: a pen move (zeichnen false) or a line (zeichnen true) to ziel.
struct HPGL_Strich {
    bool zeichnen = false;
    HPGL_Pixel ziel;
};

// Reads an HPGL plot file into a table of pen and move steps in millimetres, keeps the
// contour's extent and gives its preview. Qt-free; the Doming window draws the strokes.
class THPGLDataModule {
public:
    enum class Ergebnis {
        gelesen,
        nicht_geoeffnet, // the file could not be opened: table and extent unchanged
        fehlerhaft,      // message shown; table empty, extent 0
    };

    // Reads the file at pfad (messages through the operator interface).
    Ergebnis HPGL_Parser(const std::string& pfad);
    // The same for a text already in memory.
    Ergebnis HPGL_Text_lesen(std::string_view text);

    // Empties the table (and the extent).
    void Leeren();
    // Millimetres added to every coordinate of the next read; a read does not reset it.
    void Offset_setzen(double x_mm, double y_mm);

    // The rows, without the unused header row of the original table.
    const std::vector<HPGL_Zeile>& Tabelle() const { return m_tabelle; }
    HPGL_Ausdehnung Ausdehnung_mm() const;

    // Where a point in millimetres lies in a preview bitmap of breite x hoehe pixels.
    HPGL_Pixel Vorschaupunkt(double x_mm, double y_mm, int breite, int hoehe) const;
    // The strokes of the whole table for such a bitmap.
    std::vector<HPGL_Strich> Vorschau(int breite, int hoehe) const;

private:
    // Pixels per millimetre of the preview.
    double Vorschaumassstab(int breite, int hoehe) const;
    // Room in the table for what a file of this size can give.
    void Platz_schaffen(std::size_t bytes);

    std::vector<HPGL_Zeile> m_tabelle;
    // The parser's state and the extent are private to hpgldatamodule.cpp's design.
    friend class HPGL_Leser;
    double m_offset_x = 0.0;
    double m_offset_y = 0.0;
    int64_t m_ext_xmin = 0, m_ext_ymin = 0, m_ext_xmax = 0, m_ext_ymax = 0; // plotter units
};

} // namespace orvexa
