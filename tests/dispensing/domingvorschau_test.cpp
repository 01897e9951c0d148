#include "dispensing/domingvorschau.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace orvexa {
namespace {

using ::testing::ElementsAre;

// The corners the strokes pass, in order: the start of the first and the end of each.
std::vector<HPGL_Pixel> Ecken(const std::vector<Strich>& striche) {
    std::vector<HPGL_Pixel> p;
    if (striche.empty()) return p;
    p.push_back({striche.front().x1, striche.front().y1});
    for (const Strich& s : striche)
        p.push_back({s.x2, s.y2});
    return p;
}

MATCHER_P2(Bei, x, y, "") {
    return arg.x == x && arg.y == y;
}

// Angle in degrees 0..360 of a point around the arc's centre (124, 114), y up.
double Winkel(const HPGL_Pixel& p) {
    const double w = std::atan2(114.0 - p.y, p.x - 124.0) * 180.0 / std::numbers::pi;
    return w < 0 ? w + 360.0 : w;
}

TEST(Bogenvorschau, ZusammenhaengenderZugAufDemKreis) {
    for (const int32_t ende : {180, 183, 200, 225}) {
        const auto striche = Bogenvorschau(ende);
        ASSERT_FALSE(striche.empty());
        for (std::size_t i = 1; i < striche.size(); ++i) {
            EXPECT_EQ(striche[i].x1, striche[i - 1].x2);
            EXPECT_EQ(striche[i].y1, striche[i - 1].y2);
        }
        for (const HPGL_Pixel& p : Ecken(striche)) {
            const double r = std::hypot(p.x - 124.0, p.y - 114.0);
            EXPECT_NEAR(r, 83.0, 0.75) << p.x << "," << p.y;
        }
        EXPECT_TRUE(std::all_of(striche.begin(), striche.end(),
                                [](const Strich& s) { return s.Breite == 1; }));
    }
    // 180 degrees leaves no gap: the whole circle from (41, 114) back to it.
    const auto ganz = Ecken(Bogenvorschau(180));
    EXPECT_THAT(ganz.front(), Bei(41, 114));
    EXPECT_THAT(ganz.back(), Bei(41, 114));
    EXPECT_GT(ganz.size(), 300u);
}

TEST(Bogenvorschau, LaesstDieLueckeZwischen180GradUndDemEndwinkel) {
    const auto ecken = Ecken(Bogenvorschau(225));
    // From 225 degrees counterclockwise round to 180 degrees: 315 degrees of the circle.
    EXPECT_THAT(ecken.front(), Bei(124 - 59, 114 + 59));
    EXPECT_THAT(ecken.back(), Bei(124 - 83, 114));
    EXPECT_THAT(ecken, ::testing::Contains(Bei(124, 114 + 83))); // 270
    EXPECT_THAT(ecken, ::testing::Contains(Bei(124 + 83, 114))); // 0
    EXPECT_THAT(ecken, ::testing::Contains(Bei(124, 114 - 83))); // 90
    for (const HPGL_Pixel& p : ecken) {
        const double w = Winkel(p);
        EXPECT_FALSE(w > 181.0 && w < 224.0) << w;
    }
    // Counterclockwise: the angles grow, from 225 through 360 into the first quadrant.
    EXPECT_GT(Winkel(ecken[5]), 225.0);
}

TEST(Rechteckvorschau, OffenerZugMitDerMinuslaenge) {
    // s = min(229 / 2, 209 / 3) - 0.1; half sizes 139 / 2 and 208 / 2 around (124, 114).
    EXPECT_THAT(Rechteckvorschau(2.0, 3.0, 0.5),
                ElementsAre(Strich{55, 218, 55, 10}, Strich{55, 10, 193, 10},
                            Strich{193, 10, 193, 218}, Strich{193, 218, 89, 218}));
    // Limited by the length: s = 229 / 8 - 0.1.
    EXPECT_THAT(Rechteckvorschau(8.0, 2.0, 1.0),
                ElementsAre(Strich{10, 142, 10, 86}, Strich{10, 86, 238, 86},
                            Strich{238, 86, 238, 142}, Strich{238, 142, 38, 142}));
}

TEST(Rechteckvorschau, OhnePositiveBreiteNurWeiss) {
    EXPECT_TRUE(Rechteckvorschau(2.0, 0.0, 0.5).empty());
    EXPECT_TRUE(Rechteckvorschau(2.0, -1.0, 0.5).empty());
    EXPECT_TRUE(Rechteckvorschau(2.0, std::nan(""), 0.5).empty());
}

TEST(Rechteckvorschau, LaengeNullZaehltBeimMassstabAlsEins) {
    EXPECT_THAT(Rechteckvorschau(0.0, 3.0, 0.0),
                ElementsAre(Strich{124, 218, 124, 10}, Strich{124, 10, 124, 10},
                            Strich{124, 10, 124, 218}, Strich{124, 218, 124, 218}));
}

class HpglVorschau : public ::testing::Test {
protected:
    THPGLDataModule hpgl;
};

// 1 mm on 241 pixels less 0.1: the first line starts at the contour's origin (4, 245).
TEST_F(HpglVorschau, ErsteLinieOhneBewegungBeginntAmUrsprung) {
    ASSERT_EQ(hpgl.HPGL_Text_lesen("IN;PR;PD40,0,0,40;"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_THAT(HPGL_Vorschau(hpgl),
                ElementsAre(Strich{4, 245, 244, 245}, Strich{244, 245, 244, 5}));
}

TEST_F(HpglVorschau, BewegungenZeichnenNicht) {
    ASSERT_EQ(hpgl.HPGL_Text_lesen("IN;PU400,0;PD400,400;PU0,400;PD0,0;"),
              THPGLDataModule::Ergebnis::gelesen);
    EXPECT_THAT(HPGL_Vorschau(hpgl), ElementsAre(Strich{244, 245, 244, 5}, Strich{4, 5, 4, 245}));
}

TEST_F(HpglVorschau, LeereTabelleOhneStriche) {
    EXPECT_TRUE(HPGL_Vorschau(hpgl).empty());
    hpgl.HPGL_Text_lesen("PU0,0;"); // no IN
    EXPECT_TRUE(HPGL_Vorschau(hpgl).empty());
}

TEST(Vorschaustift, LinienMitZweiPixelnVonDerStiftposition) {
    Vorschaustift stift;
    EXPECT_THAT(stift.Position(), Bei(4, 245));
    EXPECT_EQ(stift.Schritt(true, {10, 20}), (Strich{4, 245, 10, 20, 2}));
    EXPECT_EQ(stift.Schritt(false, {30, 40}), std::nullopt);
    EXPECT_EQ(stift.Schritt(true, {50, 60}), (Strich{30, 40, 50, 60, 2}));
}

} // namespace
} // namespace orvexa
