#include "dispensing/domingparameter.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "dispensing/domingjob.h"
#include "testhilfen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

namespace orvexa {
namespace {

using ::testing::HasSubstr;

class DomingParameterTest : public test::Testumgebung {
protected:
    std::string Schreiben(const std::string& inhalt) {
        const std::string pfad = DomingParameter_Dateiname();
        test::Datei_schreiben(pfad, inhalt);
        return pfad;
    }
};

TEST_F(DomingParameterTest, FileLivesInTheProgramDirectory) {
    EXPECT_EQ(DomingParameter_Dateiname(), ordner.Pfad() + "DomingParam.dat");
}

TEST_F(DomingParameterTest, MissingFileGivesDefaultsSilently) {
    const DomingParameter p = DomingParameter_laden(DomingParameter_Dateiname());
    EXPECT_EQ(p.Sprache, "deutsch");
    EXPECT_EQ(p.xAbmessung, 500.0);
    EXPECT_EQ(p.yAbmessung, 400.0);
    EXPECT_TRUE(ui.Toene().empty());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingParameterTest, WrongFirstLineGivesDefaultsWithDoubleBeep) {
    for (const std::string& inhalt :
         {std::string("; Orvexa2011 /DOMING\r\nSprache=polski\r\nxAbmessung=10\r\n"),
          std::string()}) {
        SCOPED_TRACE(inhalt);
        ui.Leeren();
        EXPECT_EQ(DomingParameter_laden(Schreiben(inhalt)), DomingParameter{});
        const auto toene = ui.Toene();
        ASSERT_EQ(toene.size(), 2u);
        EXPECT_EQ(toene[0].hz, 440);
        EXPECT_EQ(toene[1].ms, 100);
        EXPECT_TRUE(ui.Meldungen().empty());
    }
}

TEST_F(DomingParameterTest, ValuesAreTakenAsTheyStand) {
    const DomingParameter p = DomingParameter_laden(Schreiben("; orvexa2011 /DOMING\n"
                                                              "YABMESSUNG=-3,5\n"
                                                              "sprache=  englisch \n"
                                                              "xAbmessung=0\n"));
    EXPECT_EQ(p.Sprache, "englisch");
    EXPECT_EQ(p.xAbmessung, 0.0);
    EXPECT_DOUBLE_EQ(p.yAbmessung, -3.5);
    EXPECT_TRUE(ui.Toene().empty());

    // Missing keys are empty and zero, not the defaults.
    const DomingParameter leer = DomingParameter_laden(Schreiben("; orvexa2011 /DOMING\r\n"));
    EXPECT_EQ(leer.Sprache, "");
    EXPECT_EQ(leer.xAbmessung, 0.0);
    EXPECT_EQ(leer.yAbmessung, 0.0);
}

TEST_F(DomingParameterTest, ZeroWidthIsUsedUntilConfirmedAndThenBecomesTheDefault) {
    DomingParameter p = DomingParameter_laden(
        Schreiben("; orvexa2011 /DOMING\r\n;\r\nSprache=deutsch\r\n\r\nxAbmessung=0.00\r\n"
                  "yAbmessung=400.00\r\n"));
    DomingJob job = Doming_Vorgaben(Maschinenparameter{});
    job.xStartpunkt = 1.0;
    EXPECT_THROW(Arbeitsbereich_pruefen(job, p, 0, 0), Steuerungsfehler);

    DomingParameter_annehmen(p);
    EXPECT_EQ(p.xAbmessung, 500.0);
    ASSERT_TRUE(DomingParameter_speichern(DomingParameter_Dateiname(), p));
    EXPECT_THAT(test::Datei_lesen(DomingParameter_Dateiname()), HasSubstr("xAbmessung=500.00\r\n"));
    EXPECT_NO_THROW(Arbeitsbereich_pruefen(job, p, 0, 0));
}

TEST_F(DomingParameterTest, AcceptanceReplacesWhatIsNotPositive) {
    DomingParameter p{"polski", -1.0, std::numeric_limits<double>::quiet_NaN()};
    DomingParameter_annehmen(p);
    EXPECT_EQ(p, (DomingParameter{"polski", 500.0, 400.0}));

    p = {"englisch", 0.01, 1e6};
    DomingParameter_annehmen(p);
    EXPECT_EQ(p, (DomingParameter{"englisch", 0.01, 1e6}));

    // Any other name is shown as the first entry of the list, and kept as that.
    p.Sprache = "Deutsch";
    DomingParameter_annehmen(p);
    EXPECT_EQ(p.Sprache, "deutsch");
}

TEST_F(DomingParameterTest, SavedFileHasExactLines) {
    const DomingParameter p{"polski", 123.456, 1234567.891};
    ASSERT_TRUE(DomingParameter_speichern(DomingParameter_Dateiname(), p));
    EXPECT_EQ(test::Datei_lesen(DomingParameter_Dateiname()),
              "; orvexa2011 /DOMING\r\n;\r\nSprache=polski\r\n\r\nxAbmessung=123.46\r\n"
              "yAbmessung=1234570.00\r\n");
}

TEST_F(DomingParameterTest, SaveAndLoadGiveTheSameValues) {
    const DomingParameter p{"englisch", 812.5, 0.25};
    ASSERT_TRUE(DomingParameter_speichern(DomingParameter_Dateiname(), p));
    EXPECT_EQ(DomingParameter_laden(DomingParameter_Dateiname()), p);

    // Huge and invalid values come back as something a reader takes, written the same again.
    const DomingParameter gross{"deutsch", 1e300, std::numeric_limits<double>::infinity()};
    const std::string text = DomingParameter_Dateitext(gross);
    DomingParameter zurueck;
    ASSERT_TRUE(DomingParameter_aus_Dateiinhalt(text, zurueck));
    EXPECT_DOUBLE_EQ(zurueck.xAbmessung, 999999e21);
    EXPECT_EQ(zurueck.yAbmessung, 0.0);
    EXPECT_EQ(DomingParameter_Dateitext(zurueck), text);
}

TEST_F(DomingParameterTest, LanguageNameStaysOnItsLineAndInWindows1252) {
    const DomingParameter p{"fran\xC3\xA7"
                            "ais\r\nxAbmessung=1",
                            10.0, 20.0};
    const std::string text = DomingParameter_Dateitext(p);
    EXPECT_THAT(text, HasSubstr("\r\nSprache=fran\xE7"
                                "ais\r\n\r\nxAbmessung=10.00\r\n"));
    DomingParameter zurueck;
    ASSERT_TRUE(DomingParameter_aus_Dateiinhalt(text, zurueck));
    EXPECT_EQ(zurueck.Sprache, "fran\xC3\xA7"
                               "ais");
    EXPECT_EQ(zurueck.xAbmessung, 10.0);
}

TEST_F(DomingParameterTest, FailuresAreReportedNotHidden) {
    // A folder in the file's place: nothing to read, and it cannot be replaced.
    std::filesystem::create_directory(DomingParameter_Dateiname());
    EXPECT_EQ(DomingParameter_laden(DomingParameter_Dateiname()), DomingParameter{});
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");

    EXPECT_FALSE(DomingParameter_speichern(DomingParameter_Dateiname(), DomingParameter{}));
    ASSERT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_THAT(ui.Meldungen()[1].text, HasSubstr("DomingParam.dat"));
    EXPECT_TRUE(std::filesystem::is_directory(DomingParameter_Dateiname()));
}

} // namespace
} // namespace orvexa
