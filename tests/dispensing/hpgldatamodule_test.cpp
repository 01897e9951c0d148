#include "testhilfen.h"

#include "core/zeichensatz.h"
#include "dispensing/hpgldatamodule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;

std::string Text(const HPGL_Zeile& z) {
    char puffer[80];
    switch (z.Schritt) {
    case HPGL_Schritt::UP:
        return "UP";
    case HPGL_Schritt::DOWN:
        return "DOWN";
    case HPGL_Schritt::STIFT:
        return "STIFT " + std::to_string(z.Stift);
    case HPGL_Schritt::MOVETO:
        std::snprintf(puffer, sizeof puffer, "MOVETO %.15g %.15g", z.x, z.y);
        return puffer;
    case HPGL_Schritt::LINTETO:
        std::snprintf(puffer, sizeof puffer, "LINTETO %.15g %.15g", z.x, z.y);
        return puffer;
    }
    return "?";
}

class HpglLeser : public Testumgebung {
protected:
    std::vector<std::string> Zeilen_als_Text() const {
        std::vector<std::string> t;
        for (const HPGL_Zeile& z : m.Tabelle())
            t.push_back(Text(z));
        return t;
    }
    // The LINTETO rows between the first DOWN and the UP after it.
    std::vector<HPGL_Zeile> Bogenzeilen() const {
        std::vector<HPGL_Zeile> bogen;
        bool drin = false;
        for (const HPGL_Zeile& z : m.Tabelle()) {
            if (z.Schritt == HPGL_Schritt::DOWN)
                drin = true;
            else if (drin && z.Schritt == HPGL_Schritt::UP)
                break;
            else if (drin)
                bogen.push_back(z);
        }
        return bogen;
    }
    std::vector<std::string> Meldungstexte() const {
        std::vector<std::string> t;
        for (const auto& e : ui.Meldungen())
            t.push_back(e.text);
        return t;
    }
    void Fehlerhaft_und_leer() const {
        EXPECT_TRUE(m.Tabelle().empty());
        const HPGL_Ausdehnung a = m.Ausdehnung_mm();
        EXPECT_EQ(a.xMin, 0.0);
        EXPECT_EQ(a.yMin, 0.0);
        EXPECT_EQ(a.xMax, 0.0);
        EXPECT_EQ(a.yMax, 0.0);
    }

    THPGLDataModule m;
};

TEST_F(HpglLeser, ReadsPenAndMoveStepsInMillimetres) {
    EXPECT_EQ(m.HPGL_Text_lesen("IN;SP1;PU0,0;PD400,0,400,400;PU;"),
              THPGLDataModule::Ergebnis::gelesen);
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "STIFT 1", "UP", "MOVETO 0 0", "DOWN",
                                               "LINTETO 10 0", "LINTETO 10 10", "UP", "UP"));
    const HPGL_Ausdehnung a = m.Ausdehnung_mm();
    EXPECT_EQ(a.xMax, 10.0);
    EXPECT_EQ(a.yMax, 10.0);
    EXPECT_EQ(a.xMin, 0.0);
    EXPECT_EQ(a.yMin, 0.0);
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(ui.Toene().empty());
}

TEST_F(HpglLeser, LowerCaseCommandsReadLikeUpperCase) {
    ASSERT_EQ(m.HPGL_Text_lesen("IN;PU0,0;PD40,0;"), THPGLDataModule::Ergebnis::gelesen);
    const auto gross = m.Tabelle();
    ASSERT_EQ(m.HPGL_Text_lesen("in;pu0,0;pd40,0;"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_EQ(m.Tabelle(), gross);
    EXPECT_THAT(Zeilen_als_Text(),
                ElementsAre("UP", "UP", "MOVETO 0 0", "DOWN", "LINTETO 1 0", "UP"));
}

TEST_F(HpglLeser, RelativeModeAddsToTheCurrentPoint) {
    m.HPGL_Text_lesen("IN;PR;PD40,0,0,40;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 1 0", "LINTETO 1 1", "UP"));

    // PA after PR: back to absolute; PR continues from wherever PA left the pen.
    m.HPGL_Text_lesen("IN;PU80,80;PR;PD-40,0;PA;PU0,0;PR;PD4,4;");
    EXPECT_THAT(Zeilen_als_Text(),
                ElementsAre("UP", "UP", "MOVETO 2 2", "DOWN", "LINTETO 1 2", "UP", "MOVETO 0 0",
                            "DOWN", "LINTETO 0.1 0.1", "UP"));
}

TEST_F(HpglLeser, PaFollowsThePenState) {
    m.HPGL_Text_lesen("IN;PD;PA40,0;PU;PA0,40;");
    EXPECT_THAT(Zeilen_als_Text(),
                ElementsAre("UP", "DOWN", "LINTETO 1 0", "UP", "MOVETO 0 1", "UP"));
}

TEST_F(HpglLeser, ScalesWithIpAndScAsGiven) {
    m.HPGL_Text_lesen("IN;IP0,0,200,200;PD100,100;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 5 5", "UP"));
    EXPECT_EQ(m.Ausdehnung_mm().xMax, 5.0);

    m.HPGL_Text_lesen("IN;SC0,200,0,400;PD100,100;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 1.25 0.625", "UP"));

    // P1 enters the denominator and is not added to the result:
    // 50 × 100 / (100 + 10 − 0) plotter units.
    m.HPGL_Text_lesen("IN;IP10,10,110,110;PD50,50;");
    ASSERT_EQ(m.Tabelle().size(), 4u);
    EXPECT_DOUBLE_EQ(m.Tabelle()[2].x, 1.13636363636364);
    EXPECT_EQ(m.Tabelle()[2].x, 1.13636363636364); // held with 15 significant digits

    // Values not given keep their start values; a new read starts unscaled.
    m.HPGL_Text_lesen("IN;SC0,50;PD100,100;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 5 2.5", "UP"));
    m.HPGL_Text_lesen("IN;PD100,100;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 2.5 2.5", "UP"));
}

TEST_F(HpglLeser, WindowOfZeroWidthIsRefused) {
    for (const char* text : {"IN;SC5,5,0,100;PD10,10;", "IN;SC0,100,7,7;PD10,10;",
                             "IN;IP-100,0,0,100;SC0,100;PU1,1;"}) {
        ui.Leeren();
        EXPECT_EQ(m.HPGL_Text_lesen(text), THPGLDataModule::Ergebnis::fehlerhaft) << text;
        EXPECT_THAT(Meldungstexte(), ElementsAre("Fehler beim Parsen")) << text;
        Fehlerhaft_und_leer();
    }
    // Set but never used for a move: nothing is divided, nothing refused.
    EXPECT_EQ(m.HPGL_Text_lesen("IN;SC5,5;SP2;"), THPGLDataModule::Ergebnis::gelesen);
}

TEST_F(HpglLeser, CircleRowCountsFollowTheRadius) {
    m.HPGL_Text_lesen("IN;PU400,0;CI40;");
    const auto t = m.Tabelle();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(Text(t[1]), "UP");
    EXPECT_EQ(Text(t[2]), "MOVETO 10 0");
    EXPECT_EQ(Text(t[3]), "DOWN");
    const auto bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 36u);
    // First at 10°: (400 + trunc(40 cos 10°), trunc(40 sin 10°)) = (439, 6).
    EXPECT_EQ(Text(bogen.front()), "LINTETO 10.975 0.15");
    EXPECT_EQ(Text(bogen.back()), "LINTETO 11 0");
    EXPECT_EQ(Text(t[t.size() - 2]), "UP");
    EXPECT_EQ(t.size(), 4u + 36u + 2u);

    const std::pair<const char*, size_t> faelle[] = {
        {"IN;CI100;", 72}, {"IN;CI76;", 72}, {"IN;CI75;", 36}, {"IN;CI16;", 36},
        {"IN;CI15;", 18},  {"IN;CI10;", 18}, {"IN;CI0;", 18}};
    for (const auto& [text, zeilen] : faelle) {
        m.HPGL_Text_lesen(text);
        EXPECT_EQ(Bogenzeilen().size(), zeilen) << text;
        EXPECT_EQ(m.Tabelle().back().Schritt, HPGL_Schritt::UP);
    }
}

TEST_F(HpglLeser, ArcPointsDoNotLoseAUnitToRoundingNoise) {
    // 40 sin 30° and 40 cos 60° come out just below 20 in doubles.
    m.HPGL_Text_lesen("IN;CI40;");
    const auto bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 36u);
    EXPECT_EQ(bogen[2].y, 0.5); // 30°
    EXPECT_EQ(bogen[5].x, 0.5); // 60°
    EXPECT_EQ(bogen[8].x, 0.0); // 90°
    EXPECT_EQ(bogen[8].y, 1.0);
    EXPECT_EQ(bogen[17].x, -1.0); // 180°
    EXPECT_EQ(bogen[17].y, 0.0);
}

TEST_F(HpglLeser, ArcsAroundAbsoluteAndRelativeCentres) {
    m.HPGL_Text_lesen("IN;PU100,0;AA0,0,90;");
    auto bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 18u); // radius 100: steps of 5°
    EXPECT_EQ(Text(bogen.back()), "LINTETO 0 2.5");

    m.HPGL_Text_lesen("IN;PU100,0;AR-100,0,90;");
    EXPECT_EQ(Bogenzeilen(), bogen);

    m.HPGL_Text_lesen("IN;PU100,0;AA0,0,-90;");
    bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 18u);
    EXPECT_EQ(Text(bogen.front()), "LINTETO 2.475 -0.2"); // (99, -8) at −5°
    EXPECT_EQ(Text(bogen.back()), "LINTETO 0 -2.5");

    // The angle is a real: 9 steps of 5° and a last half degree.
    m.HPGL_Text_lesen("IN;PU100,0;AA0,0,45.5;");
    bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 10u);
    EXPECT_EQ(Text(bogen.back()), "LINTETO 1.75 1.775"); // (70, 71)

    // Start left of the centre: negative radius, steps of 20°, still counter-clockwise.
    m.HPGL_Text_lesen("IN;PU-100,0;AA0,0,90;");
    bogen = Bogenzeilen();
    ASSERT_EQ(bogen.size(), 5u);
    EXPECT_EQ(Text(bogen.back()), "LINTETO 0 -2.5");
    EXPECT_LT(bogen[0].y, 0.0);
}

TEST_F(HpglLeser, ArcLeavesThePenUpWhateverItWasBefore) {
    m.HPGL_Text_lesen("IN;PD;CI10;PA0,0;");
    const auto t = m.Tabelle();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(Text(t[t.size() - 2]), "MOVETO 0 0");
}

TEST_F(HpglLeser, HugeArcsAreBounded) {
    // Radius 10^8: the usual 72 rows, far out.
    EXPECT_EQ(m.HPGL_Text_lesen("IN;CI100000000;"), THPGLDataModule::Ergebnis::gelesen);
    ASSERT_EQ(Bogenzeilen().size(), 72u);
    EXPECT_EQ(Text(Bogenzeilen().back()), "LINTETO 2500000 0");
    EXPECT_EQ(m.Ausdehnung_mm().xMax, 2500000.0);
    EXPECT_EQ(m.Ausdehnung_mm().yMin, -2500000.0);

    // A full turn either way is allowed, more is refused rather than drawn again and again.
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PU100,0;AA0,0,-360;"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_EQ(Bogenzeilen().size(), 72u);
    for (const char* text :
         {"IN;PU100,0;AA0,0,360.5;", "IN;PU100,0;AA0,0,999999999;", "IN;PU1,0;AR-1,0,-720;"}) {
        ui.Leeren();
        EXPECT_EQ(m.HPGL_Text_lesen(text), THPGLDataModule::Ergebnis::fehlerhaft) << text;
        EXPECT_THAT(Meldungstexte(), ElementsAre("Fehler beim Parsen"));
        Fehlerhaft_und_leer();
    }
}

TEST_F(HpglLeser, MissingInIsReported) {
    for (const char* text : {"", "PU0,0;PD40,0;", "I N;PU0,0;", "I\nN;", "I"}) {
        ui.Leeren();
        EXPECT_EQ(m.HPGL_Text_lesen(text), THPGLDataModule::Ergebnis::fehlerhaft);
        ASSERT_EQ(ui.Meldungen().size(), 1u) << text;
        EXPECT_EQ(ui.Meldungen()[0].text, "Der Befehl 'IN' fehlt in der Plot-Datei!");
        EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");
        EXPECT_EQ(ui.Meldungen()[0].symbol, Symbol::fehler);
        EXPECT_EQ(ui.Meldungen()[0].knoepfe, Knoepfe::ok);
        Fehlerhaft_und_leer();
    }
    // Anything may come before IN; an "I" just before counts as well.
    EXPECT_EQ(m.HPGL_Text_lesen("\x1b.(junk IIN ;;  PU4,4;"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "UP", "MOVETO 0.1 0.1", "UP"));
}

TEST_F(HpglLeser, CharacterThatCannotStartACommand) {
    EXPECT_EQ(m.HPGL_Text_lesen("IN;XY1;"), THPGLDataModule::Ergebnis::fehlerhaft);
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 2u);
    EXPECT_EQ(meldungen[0].text, "HPGL_Parser() default: \nXY1;");
    EXPECT_EQ(meldungen[0].titel, "F E H L E R");
    EXPECT_EQ(meldungen[0].symbol, Symbol::fehler);
    EXPECT_EQ(meldungen[1].text, "Fehler beim Parsen");
    EXPECT_EQ(meldungen[1].titel, "F E H L E R");
    Fehlerhaft_und_leer();

    // At most 32 characters are shown, and binary bytes stay a valid text.
    ui.Leeren();
    m.HPGL_Text_lesen("IN;PD400,400;" + std::string(40, '9'));
    ASSERT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_EQ(ui.Meldungen()[0].text, "HPGL_Parser() default: \n" + std::string(32, '9'));
    Fehlerhaft_und_leer();

    ui.Leeren();
    m.HPGL_Text_lesen(std::string("IN;\xff\xfe\x00\x01\x81", 8));
    ASSERT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_TRUE(Gueltiges_Utf8(ui.Meldungen()[0].text));
    EXPECT_EQ(ui.Meldungen()[0].text.find('\0'), std::string::npos);
}

TEST_F(HpglLeser, BlanksAndTabsBetweenCommandsAreSkipped) {
    ASSERT_EQ(m.HPGL_Text_lesen("IN;PU0,0;PD40,0;"), THPGLDataModule::Ergebnis::gelesen);
    const auto dicht = m.Tabelle();
    EXPECT_EQ(m.HPGL_Text_lesen("IN; PU0,0;\tPD40,0; \r\n"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_EQ(m.Tabelle(), dicht);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(HpglLeser, UnknownCommandSkipsTheRestAndEmptiesTheTable) {
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PD400,400;PX1;PD0,0;"), THPGLDataModule::Ergebnis::fehlerhaft);
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 2u);
    EXPECT_EQ(meldungen[0].text, "P... - Befehl ist noch nicht implementiert!");
    EXPECT_EQ(meldungen[0].titel, "H I N W E I S");
    EXPECT_EQ(meldungen[0].symbol, Symbol::fehler);
    EXPECT_EQ(meldungen[1].text, "Fehler beim Parsen");
    Fehlerhaft_und_leer();

    // A lone command letter at the end of the file is just as unknown.
    ui.Leeren();
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PD40,0;z"), THPGLDataModule::Ergebnis::fehlerhaft);
    EXPECT_THAT(Meldungstexte(),
                ElementsAre("Z... - Befehl ist noch nicht implementiert!", "Fehler beim Parsen"));
}

TEST_F(HpglLeser, InvalidCharacterInAParameterList) {
    for (const char* text : {"IN;PD10*20;", "IN;PD10,\t20;", "IN;SP1/;", "IN;CI1_;"}) {
        ui.Leeren();
        EXPECT_EQ(m.HPGL_Text_lesen(text), THPGLDataModule::Ergebnis::fehlerhaft) << text;
        EXPECT_THAT(Meldungstexte(), ElementsAre("Fehler beim Parsen")) << text;
        Fehlerhaft_und_leer();
    }
}

TEST_F(HpglLeser, StraySemicolonBeeps) {
    m.HPGL_Text_lesen("IN;PA10,20;;");
    ASSERT_EQ(ui.Toene().size(), 1u);
    EXPECT_EQ(ui.Toene()[0].hz, 440);
    EXPECT_EQ(ui.Toene()[0].ms, 100);
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "MOVETO 0.25 0.5", "UP"));

    // Semicolons right after IN are skipped silently.
    ui.Leeren();
    m.HPGL_Text_lesen("IN;; ;PU;");
    EXPECT_TRUE(ui.Toene().empty());

    // A file of semicolons does not keep the reader beeping.
    ui.Leeren();
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PU;" + std::string(10000, ';') + "PD4,0;"),
              THPGLDataModule::Ergebnis::gelesen);
    EXPECT_EQ(ui.Toene().size(), 10u);
    EXPECT_EQ(Text(m.Tabelle()[3]), "LINTETO 0.1 0");
}

TEST_F(HpglLeser, SkippedCommandsRecordNothing) {
    m.HPGL_Text_lesen("IN;LT2,4;PA0,0;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "MOVETO 0 0", "UP"));

    // Up to a letter, a line end or the end of the file as well.
    m.HPGL_Text_lesen("IN;VS10,2PU4,4;IW0,0,10,10\nDT\nPG");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "UP", "MOVETO 0.1 0.1", "UP"));
}

TEST_F(HpglLeser, NumberReading) {
    // Integer conversion of the leading digits; nine characters at most.
    m.HPGL_Text_lesen("IN;PD12.7,-3.9;PD+8,123456789;PD-,+-5;");
    EXPECT_THAT(Zeilen_als_Text(),
                ElementsAre("UP", "DOWN", "LINTETO 0.3 -0.075", "DOWN", "LINTETO 0.2 3086419.725",
                            "DOWN", "LINTETO 0 0", "UP"));

    ui.Leeren();
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PD1234567890,0;"), THPGLDataModule::Ergebnis::fehlerhaft);
    EXPECT_THAT(Meldungstexte(), ElementsAre("Fehler beim Parsen"));
    ui.Leeren();
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PD0," + std::string(100000, '7') + ";"),
              THPGLDataModule::Ergebnis::fehlerhaft);
    Fehlerhaft_und_leer();

    // Blanks around numbers, a letter ending the list, a comma after blanks.
    m.HPGL_Text_lesen("IN;PD 40 , 80 ;PU 4 4PD 8,8 PU;");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 1 2", "UP", "MOVETO 0.1 0.1",
                                               "DOWN", "LINTETO 0.2 0.2", "UP", "UP"));
}

TEST_F(HpglLeser, PenNumberAndMissingValues) {
    m.HPGL_Text_lesen("IN;SP3;SP;SP7,9;PU;PD40;");
    // SP without a number repeats the last pen; an odd coordinate keeps y where it was.
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "STIFT 3", "STIFT 3", "STIFT 7", "UP", "DOWN",
                                               "LINTETO 1 0", "UP"));
}

TEST_F(HpglLeser, EndOfFileInsideAParameterList) {
    m.HPGL_Text_lesen("IN;PD400,400");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 10 10", "UP"));
    m.HPGL_Text_lesen("IN;PD400,");
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "DOWN", "LINTETO 10 0", "UP"));
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PU40,40;PD"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_THAT(Zeilen_als_Text(), ElementsAre("UP", "UP", "MOVETO 1 1", "DOWN", "UP"));
    EXPECT_EQ(m.HPGL_Text_lesen("IN;PU40,40;CI"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_EQ(Bogenzeilen().size(), 18u);
    EXPECT_EQ(m.HPGL_Text_lesen("IN;IP0,0,200"), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(HpglLeser, OffsetIsAddedToRowsButNotToTheExtentAndSurvivesReads) {
    m.Offset_setzen(100.0, 50.0);
    m.HPGL_Text_lesen("IN;PU0,0;PD400,-40;");
    EXPECT_THAT(Zeilen_als_Text(),
                ElementsAre("UP", "UP", "MOVETO 100 50", "DOWN", "LINTETO 110 49", "UP"));
    EXPECT_EQ(m.Ausdehnung_mm().xMax, 10.0);
    EXPECT_EQ(m.Ausdehnung_mm().yMin, -1.0);

    m.HPGL_Text_lesen("IN;PU4,0;");
    EXPECT_EQ(Text(m.Tabelle()[2]), "MOVETO 100.1 50");

    // Rows hold what a 15-digit text would have held: 0.1 + 0.2 is 0.3, not 0.30000000000000004.
    m.Offset_setzen(0.2, 0.0);
    m.HPGL_Text_lesen("IN;PU4,0;");
    EXPECT_EQ(m.Tabelle()[2].x, 0.3);
}

TEST_F(HpglLeser, FileThatCannotBeOpenedLeavesEverythingAsItWas) {
    ASSERT_EQ(m.HPGL_Text_lesen("IN;PD400,400;"), THPGLDataModule::Ergebnis::gelesen);
    const auto vorher = m.Tabelle();
    for (const std::string& pfad : {ordner.Datei("fehlt.plt"), std::string(), ordner.Pfad()}) {
        EXPECT_EQ(m.HPGL_Parser(pfad), THPGLDataModule::Ergebnis::nicht_geoeffnet) << pfad;
        EXPECT_EQ(m.Tabelle(), vorher);
        EXPECT_EQ(m.Ausdehnung_mm().xMax, 10.0);
    }
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(HpglLeser, EmptyAndBinaryFiles) {
    Datei_schreiben(ordner.Datei("leer.plt"), "");
    EXPECT_EQ(m.HPGL_Parser(ordner.Datei("leer.plt")), THPGLDataModule::Ergebnis::fehlerhaft);
    EXPECT_THAT(Meldungstexte(), ElementsAre("Der Befehl 'IN' fehlt in der Plot-Datei!"));

    std::string binaer;
    uint32_t z = 12345;
    for (int i = 0; i < 200000; ++i) {
        z = z * 1103515245u + 12345u;
        binaer.push_back(static_cast<char>(z >> 24));
    }
    Datei_schreiben(ordner.Datei("binaer.plt"), "IN;" + binaer);
    ui.Leeren();
    EXPECT_EQ(m.HPGL_Parser(ordner.Datei("binaer.plt")), THPGLDataModule::Ergebnis::fehlerhaft);
    ASSERT_FALSE(ui.Meldungen().empty());
    EXPECT_EQ(ui.Meldungen().back().text, "Fehler beim Parsen");
    Fehlerhaft_und_leer();
}

void Zahl_anhaengen(std::string& s, int v) {
    char puffer[16];
    s.append(puffer, std::to_chars(puffer, puffer + sizeof puffer, v).ptr);
}

// A plot file of PU/PD pairs and circles; numbers of every length land on every block edge.
std::string Plotdatei(size_t mindestgroesse, size_t& paare, size_t& kreise) {
    std::string text = "IN;SP1;";
    text.reserve(mindestgroesse + 100);
    paare = kreise = 0;
    for (int i = 0; text.size() < mindestgroesse; ++i) {
        const int x = (i * 37) % 100000, y = (i * 91) % 70000;
        text += "PU";
        Zahl_anhaengen(text, x);
        text += ',';
        Zahl_anhaengen(text, y);
        text += ";PD";
        Zahl_anhaengen(text, x + 400);
        text += ',';
        Zahl_anhaengen(text, y);
        text += ',';
        Zahl_anhaengen(text, x + 400);
        text += ',';
        Zahl_anhaengen(text, y + 400);
        text += ";\n";
        paare += 3;
        if (i % 50 == 0) {
            text += "CI";
            Zahl_anhaengen(text, 10 + i % 90);
            text += ';';
            ++kreise;
        }
    }
    return text + "PU;";
}

TEST_F(HpglLeser, LargeFileReadsLikeTheSameTextInMemory) {
    // The sanitizer builds run the reader many times slower; a smaller file still crosses many
    // read blocks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const size_t groesse = 8u << 20;
#else
    const size_t groesse = 50u << 20;
#endif
    size_t paare = 0, kreise = 0;
    const std::string text = Plotdatei(groesse, paare, kreise);
    Datei_schreiben(ordner.Datei("gross.plt"), text);

    ASSERT_EQ(m.HPGL_Parser(ordner.Datei("gross.plt")), THPGLDataModule::Ergebnis::gelesen);
    const std::vector<HPGL_Zeile> aus_datei = m.Tabelle();
    const HPGL_Ausdehnung a = m.Ausdehnung_mm();
    size_t bewegungen = 0, kreiszeilen = 0;
    for (const HPGL_Zeile& zeile : aus_datei)
        bewegungen +=
            zeile.Schritt == HPGL_Schritt::MOVETO || zeile.Schritt == HPGL_Schritt::LINTETO;
    // Circles of radius 10..99: 18, 36 or 72 rows each.
    kreiszeilen = bewegungen - paare;
    EXPECT_GE(kreiszeilen, kreise * 18);
    EXPECT_LE(kreiszeilen, kreise * 72);
    EXPECT_TRUE(ui.Meldungen().empty());

    ASSERT_EQ(m.HPGL_Text_lesen(text), THPGLDataModule::Ergebnis::gelesen);
    EXPECT_TRUE(m.Tabelle() == aus_datei);
    EXPECT_EQ(m.Ausdehnung_mm().xMax, a.xMax);
    EXPECT_EQ(m.Ausdehnung_mm().yMin, a.yMin);
    EXPECT_LE(a.xMax, (100000 + 500) * 0.025);
}

TEST_F(HpglLeser, PreviewPoints) {
    m.HPGL_Text_lesen("IN;SP1;PU0,0;PD400,0,400,400;PU;");
    // Extent 10 mm each way: (249 − 8) / 10 − 0.1 = 24 pixels per millimetre.
    EXPECT_EQ(m.Vorschaupunkt(10, 10, 249, 249).x, 244);
    EXPECT_EQ(m.Vorschaupunkt(10, 10, 249, 249).y, 5);
    const auto striche = m.Vorschau(249, 249);
    ASSERT_EQ(striche.size(), 3u);
    EXPECT_FALSE(striche[0].zeichnen);
    EXPECT_EQ(striche[0].ziel.x, 4);
    EXPECT_EQ(striche[0].ziel.y, 245);
    EXPECT_TRUE(striche[1].zeichnen);
    EXPECT_EQ(striche[1].ziel.x, 244);
    EXPECT_EQ(striche[1].ziel.y, 245);
    EXPECT_EQ(striche[2].ziel.y, 5);

    // The smaller of the two scales wins; parts of a pixel are cut off.
    m.HPGL_Text_lesen("IN;PD800,200;");
    EXPECT_EQ(m.Vorschaupunkt(5, 5, 249, 249).x, 4 + 59); // 241 / 20 − 0.1 = 11.95
    EXPECT_EQ(m.Vorschaupunkt(5, 5, 249, 249).y, 245 - 59);

    // No contour: spans count as 1 mm.
    m.Leeren();
    EXPECT_TRUE(m.Vorschau(249, 249).empty());
    EXPECT_EQ(m.Vorschaupunkt(1, 0.5, 249, 249).x, 4 + 240);
    EXPECT_EQ(m.Vorschaupunkt(1, 0.5, 249, 249).y, 245 - 120);

    // Points far outside stay defined.
    const HPGL_Pixel weit = m.Vorschaupunkt(1e300, -1e300, 249, 249);
    EXPECT_GT(weit.x, 1000000);
    EXPECT_GT(weit.y, 1000000);
}

TEST_F(HpglLeser, LeerenEmptiesTableAndExtentButKeepsTheOffset) {
    m.Offset_setzen(3, 4);
    m.HPGL_Text_lesen("IN;PD400,400;");
    m.Leeren();
    EXPECT_TRUE(m.Tabelle().empty());
    EXPECT_EQ(m.Ausdehnung_mm().xMax, 0.0);
    m.HPGL_Text_lesen("IN;PU0,0;");
    EXPECT_EQ(Text(m.Tabelle()[2]), "MOVETO 3 4");
}

} // namespace
} // namespace orvexa::test
