#include "domingvorschau.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvexa {

namespace {

// trunc into an int that leaves room for sums of pixel offsets; NaN counts as 0.
int Ganz(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::trunc(std::clamp(v, -1e8, 1e8)));
}

void Linie(std::vector<Strich>& striche, int x1, int y1, int x2, int y2) {
    striche.push_back({x1, y1, x2, y2, 1});
}

} // namespace

std::vector<Strich> Bogenvorschau(int32_t KEndwinkel, int breite, int hoehe) {
    const int mx = breite / 2;
    const int my = hoehe / 2 - 10;
    const double r = hoehe / 3;
    // The gap lies between 180 degrees and KEndwinkel; the sweep runs the other way round,
    // so it ends at 180 + 360 degrees. A KEndwinkel outside 180..540 has no gap to leave.
    const int64_t anfang = std::clamp<int64_t>(KEndwinkel, 180, 540);
    const int64_t ende = 540;
    const auto punkt = [&](int64_t grad) {
        const double w = static_cast<double>(grad) * std::numbers::pi / 180.0;
        return HPGL_Pixel{mx + static_cast<int>(std::lround(r * std::cos(w))),
                          my - static_cast<int>(std::lround(r * std::sin(w)))};
    };
    std::vector<Strich> striche;
    HPGL_Pixel von = punkt(anfang);
    for (int64_t grad = anfang + 1; grad <= ende; ++grad) {
        const HPGL_Pixel nach = punkt(grad);
        if (nach.x == von.x && nach.y == von.y) continue;
        Linie(striche, von.x, von.y, nach.x, nach.y);
        von = nach;
    }
    return striche;
}

std::vector<Strich> Rechteckvorschau(double RLaenge, double RBreite, double RMinusLaenge,
                                     int breite, int hoehe) {
    std::vector<Strich> striche;
    if (!(RBreite > 0.0)) return striche;
    const double laenge = RLaenge == 0.0 ? 1.0 : RLaenge;
    const double s = std::min((breite - 20) / laenge, (hoehe - 40) / RBreite) - 0.1;
    const int mx = Ganz(breite * 0.5);
    const int my = Ganz(hoehe * 0.5 - 10);
    const int L = Ganz(RLaenge * s) / 2;
    const int B = Ganz(RBreite * s) / 2;
    const int links = mx - L, rechts = mx + L, oben = my - B, unten = my + B;
    Linie(striche, links, unten, links, oben);
    Linie(striche, links, oben, rechts, oben);
    Linie(striche, rechts, oben, rechts, unten);
    Linie(striche, rechts, unten, links + Ganz(RMinusLaenge * s), unten);
    return striche;
}

std::vector<Strich> HPGL_Vorschau(const THPGLDataModule& hpgl, int breite, int hoehe) {
    std::vector<Strich> striche;
    Vorschaustift stift(hpgl.Vorschaupunkt(0.0, 0.0, breite, hoehe));
    for (const HPGL_Strich& s : hpgl.Vorschau(breite, hoehe))
        if (const auto strich = stift.Schritt(s.zeichnen, s.ziel)) {
            striche.push_back(*strich);
            striche.back().Breite = 1;
        }
    return striche;
}

Vorschaubereich HPGL_Zeichenbereich(int breite, int hoehe) {
    // From x = 4 to breite - 8 and from y = 4 to hoehe - 4.
    return {4, 4, breite - 12, hoehe - 8};
}

std::optional<Strich> Vorschaustift::Schritt(bool linie, HPGL_Pixel ziel) {
    const HPGL_Pixel von = m_pos;
    m_pos = ziel;
    if (!linie) return std::nullopt;
    return Strich{von.x, von.y, ziel.x, ziel.y, 2};
}

} // namespace orvexa
