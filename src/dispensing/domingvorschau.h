#pragma once

#include "dispensing/hpgldatamodule.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvexa {

// The preview box of the Doming window, in pixels.
inline constexpr int Vorschau_Breite = 249;
inline constexpr int Vorschau_Hoehe = 249;

// One black line of a preview, in bitmap pixels (y down). A line whose ends are equal is one
// pixel. Breite is the pen width: 1 for the previews, 2 for the contour rows a run plays.
struct Strich {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int Breite = 1;

    bool operator==(const Strich&) const = default;
};

// The arc of the arc page: the whole circle except the gap between 180 degrees and KEndwinkel,
// swept counterclockwise on the screen from KEndwinkel to 180 degrees (y up), as a polyline
// through the circle's points at every whole degree. Radius hoehe / 3, centre
// (breite / 2, hoehe / 2 - 10).
std::vector<Strich> Bogenvorschau(int32_t KEndwinkel, int breite = Vorschau_Breite,
                                  int hoehe = Vorschau_Hoehe);

// The path of the rectangle page: from the lower left corner up, across, down and back along
// the bottom to RMinusLaenge short of closing. Empty when RBreite is not > 0.
std::vector<Strich> Rechteckvorschau(double RLaenge, double RBreite, double RMinusLaenge,
                                     int breite = Vorschau_Breite, int hoehe = Vorschau_Hoehe);

// The contour the reader holds: each LINTETO row a line from the pen to its point, each
// MOVETO row a pen move. The pen starts at the contour's origin (4, hoehe - 4).
std::vector<Strich> HPGL_Vorschau(const THPGLDataModule& hpgl, int breite = Vorschau_Breite,
                                  int hoehe = Vorschau_Hoehe);

// Where the no-file text is centred: the contour's drawing area.
struct Vorschaubereich {
    int links = 0;
    int oben = 0;
    int breite = 0;
    int hoehe = 0;
};
Vorschaubereich HPGL_Zeichenbereich(int breite = Vorschau_Breite, int hoehe = Vorschau_Hoehe);

// The pen of a run's progress drawing: the rows the run plays arrive one at a time (pixel
// points from THPGLDataModule::Vorschaupunkt); a line gives a 2-pixel stroke from the pen,
// a move only moves the pen.
class Vorschaustift {
public:
    explicit Vorschaustift(HPGL_Pixel start = {4, Vorschau_Hoehe - 4}) : m_pos(start) {}
    std::optional<Strich> Schritt(bool linie, HPGL_Pixel ziel);
    HPGL_Pixel Position() const { return m_pos; }

private:
    HPGL_Pixel m_pos;
};

} // namespace orvexa
