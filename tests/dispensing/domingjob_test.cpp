#include "dispensing/domingjob.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "dispensing/domingparameter.h"
#include "testhilfen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace orvexa {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string Kopf = "; orvexa2011 /DOMING\r\n";

class DomingJobTest : public test::Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        maschine.Eilfreq = 1500;
        maschine.Arbeitsfreq = 700;
        maschine.Rampenlaenge = 123;
    }

    std::string Schreiben(const std::string& inhalt, const std::string& name = "job.dom") {
        const std::string pfad = ordner.Datei(name);
        test::Datei_schreiben(pfad, inhalt);
        return pfad;
    }

    // Loads a file of the given bytes into a job that starts far from the defaults, so that
    // a field the loader forgets shows.
    DomingJob Laden(const std::string& inhalt, Doming_Ladeergebnis erwartet) {
        DomingJob job = Verschieden();
        EXPECT_EQ(Doming_Datei_laden(Schreiben(inhalt), job, maschine), erwartet);
        return job;
    }

    // A job whose every value differs from the defaults and has at most two decimals.
    static DomingJob Verschieden() {
        DomingJob j;
        j.xStartpunkt = 10.25, j.yStartpunkt = 20.5, j.xAbstand = 12.5, j.yAbstand = 7.75;
        j.xAnzahl = 4, j.yAnzahl = 3, j.BxAbstand = 30.1, j.ByAbstand = 40.2;
        j.BxAnzahl = 2, j.ByAnzahl = 5, j.Type = "Rechteck";
        j.Startfreq = 300, j.Eilfreq = 2500, j.Rampenlaenge = -5, j.Dosierkopf = 1;
        j.PDosierzeit = 1.5, j.PAbtropfzeit = 0.25, j.PEilfreq = 2400, j.PRampenlaenge = 111;
        j.LDosierzeit1 = 0.1, j.LLaenge = 9.99, j.LArbeitsfreq = 801, j.LRampenlaenge = 222;
        j.LDosierzeit3 = 0.2, j.LAbtropflinie = 3.3, j.LAbtropfzeit = 0.4;
        j.KDosierzeit1 = 0.5, j.KRadius = 4.5, j.KArbeitsfreq = 802, j.KRampenlaenge = 333;
        j.KEndwinkel = 200, j.KDosierzeit3 = 0.6, j.KAbtropfzeit = 0.7;
        j.RDosierzeit1 = 0.8, j.RLaenge = 6.4, j.RBreite = 3.2, j.RArbeitsfreq = 803;
        j.RRampenlaenge = 444, j.RMinusLaenge = 1.3, j.RDosierzeit3 = 0.9, j.RAbtropfzeit = 1.1;
        j.HFilename = "/daten/plots/k\xC3\xBC"
                      "ken.plt";
        j.HDosierzeit1 = 1.2, j.HArbeitsfreq = 804, j.HRampenlaenge = 555;
        j.HDosierzeit3 = 1.3, j.HAbtropfzeit = 1.4;
        return j;
    }

    Maschinenparameter maschine;
};

// ---- defaults -------------------------------------------------------------------------------

TEST_F(DomingJobTest, VorgabenTakeShapeSpeedsFromTheMachineAtThatMoment) {
    DomingJob job = Doming_Vorgaben(maschine);
    EXPECT_EQ(job.PEilfreq, 1500);
    for (int32_t f : {job.LArbeitsfreq, job.KArbeitsfreq, job.RArbeitsfreq, job.HArbeitsfreq})
        EXPECT_EQ(f, 700);
    for (int32_t r : {job.PRampenlaenge, job.LRampenlaenge, job.KRampenlaenge, job.RRampenlaenge,
                      job.HRampenlaenge})
        EXPECT_EQ(r, 123);
    EXPECT_EQ(job.Type, "Punkt");
    EXPECT_EQ(job.Startfreq, 500);
    EXPECT_EQ(job.Eilfreq, 2000);

    maschine.Arbeitsfreq = 900;
    EXPECT_EQ(Doming_Vorgaben(maschine).KArbeitsfreq, 900);
}

// ---- loading --------------------------------------------------------------------------------

TEST_F(DomingJobTest, MissingFileGivesDefaultsSilently) {
    DomingJob job = Verschieden();
    EXPECT_EQ(Doming_Datei_laden(ordner.Datei("gibtsnicht.dom"), job, maschine),
              Doming_Ladeergebnis::fehlt);
    EXPECT_EQ(job, Doming_Vorgaben(maschine));
    EXPECT_TRUE(ui.Toene().empty());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingJobTest, WrongOrMissingHeaderGivesDefaultsWithDoubleBeep) {
    const std::vector<std::string> falsch = {
        "; ORVEXA2011 /DOMING\r\nxAnzahl=3\r\n", // capitals
        "",                                      // empty file: no first line at all
        "\r\n; orvexa2011 /DOMING\r\n",          // header not on the first line
        "; orvexa2011 /DOMING \r\n",             // trailing blank
        "\xEF\xBB\xBF; orvexa2011 /DOMING\r\n",  // byte-order mark
    };
    for (const std::string& inhalt : falsch) {
        SCOPED_TRACE(inhalt);
        ui.Leeren();
        EXPECT_EQ(Laden(inhalt, Doming_Ladeergebnis::falscher_Kopf), Doming_Vorgaben(maschine));
        const auto toene = ui.Toene();
        ASSERT_EQ(toene.size(), 2u);
        for (const auto& ton : toene) {
            EXPECT_EQ(ton.hz, 440);
            EXPECT_EQ(ton.ms, 100);
        }
        EXPECT_TRUE(ui.Meldungen().empty());
    }
}

TEST_F(DomingJobTest, OnlyOneLowerCaseKeyLoadsItAndZeroForEveryOtherValue) {
    DomingJob job = Laden(Kopf + "xanzahl=3\r\n", Doming_Ladeergebnis::geladen);
    EXPECT_EQ(job.xAnzahl, 3);
    EXPECT_EQ(job.yAnzahl, 0);
    EXPECT_EQ(job.Startfreq, 0);
    EXPECT_EQ(job.KEndwinkel, 0);
    EXPECT_EQ(job.PDosierzeit, 0.0);
    EXPECT_EQ(job.RMinusLaenge, 0.0);
    EXPECT_EQ(job.Type, "");
    EXPECT_EQ(job.HFilename, "");
    EXPECT_TRUE(ui.Toene().empty());

    Doming_annehmen(job);
    EXPECT_EQ(job.xAnzahl, 3);
    EXPECT_EQ(job.yAnzahl, 1);
    EXPECT_EQ(job.BxAnzahl, 1);
    EXPECT_EQ(job.ByAnzahl, 1);
}

TEST_F(DomingJobTest, ValuesAreReadLeniently) {
    const DomingJob job = Laden(Kopf + "xAbstand=2,5\n"          // comma, LF line end
                                       "yAbstand=abc\r"          // letters, lone CR line end
                                       "xStartpunkt= 1 2.5\r\n"  // blanks inside are ignored
                                       "yStartpunkt=-3.25\r\n"   // negative kept on loading
                                       "xAnzahl=99999999999\r\n" // beyond an int
                                       "yAnzahl=12.5\r\n"        // no integer
                                       "Startfreq=-40\r\n"
                                       "BxAbstand=1.2.3\r\n",
                                Doming_Ladeergebnis::geladen);
    EXPECT_DOUBLE_EQ(job.xAbstand, 2.5);
    EXPECT_EQ(job.yAbstand, 0.0);
    EXPECT_DOUBLE_EQ(job.xStartpunkt, 12.5);
    EXPECT_DOUBLE_EQ(job.yStartpunkt, -3.25);
    EXPECT_EQ(job.xAnzahl, 0);
    EXPECT_EQ(job.yAnzahl, 0);
    EXPECT_EQ(job.Startfreq, -40);
    EXPECT_EQ(job.BxAbstand, 0.0);
}

TEST_F(DomingJobTest, FirstLineOfAKeyCountsAndSectionsDoNot) {
    const DomingJob job = Laden(Kopf + "[Kreis]\r\n"
                                       "XABSTAND=1.5\r\n"
                                       "xAbstand=2.5\r\n"
                                       " yAbstand=4\r\n" // a blank makes it another key
                                       "yAbstand =5\r\n" // so does one before the "="
                                       "HFilename= C:\\a=b.plt \r\n"
                                       "Type=  Kreis\t\r\n"
                                       "Type=Linie\r\n",
                                Doming_Ladeergebnis::geladen);
    EXPECT_DOUBLE_EQ(job.xAbstand, 1.5);
    EXPECT_EQ(job.yAbstand, 0.0);
    EXPECT_EQ(job.HFilename, "C:\\a=b.plt");
    EXPECT_EQ(job.Type, "Kreis");
}

TEST_F(DomingJobTest, DosierkopfOtherThanZeroOrOneLoadsAsZero) {
    EXPECT_EQ(Laden(Kopf + "Dosierkopf=7\r\n", Doming_Ladeergebnis::geladen).Dosierkopf, 0);
    EXPECT_EQ(Laden(Kopf + "Dosierkopf=-1\r\n", Doming_Ladeergebnis::geladen).Dosierkopf, 0);
    EXPECT_EQ(Laden(Kopf + "Dosierkopf=1\r\n", Doming_Ladeergebnis::geladen).Dosierkopf, 1);
}

TEST_F(DomingJobTest, Windows1252TextsArriveAsUtf8) {
    const DomingJob job = Laden(Kopf + "HFilename=/plots/gr\xFC\xDF"
                                       "e.plt\r\n",
                                Doming_Ladeergebnis::geladen);
    EXPECT_EQ(job.HFilename, "/plots/gr\xC3\xBC\xC3\x9F"
                             "e.plt");
}

TEST_F(DomingJobTest, SomethingThatIsNoFileIsReportedAndGivesDefaults) {
    const std::string ordnerpfad = ordner.Datei("ordner.dom");
    std::filesystem::create_directory(ordnerpfad);
    DomingJob job = Verschieden();
    EXPECT_EQ(Doming_Datei_laden(ordnerpfad, job, maschine), Doming_Ladeergebnis::nicht_lesbar);
    EXPECT_EQ(job, Doming_Vorgaben(maschine));
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].titel, "F E H L E R");
    EXPECT_THAT(meldungen[0].text, HasSubstr(ordnerpfad));
    EXPECT_TRUE(ui.Toene().empty());
}

// ---- saving ---------------------------------------------------------------------------------

TEST_F(DomingJobTest, SavedFileHasExactLinesAndOrder) {
    DomingJob job = Doming_Vorgaben(maschine);
    job.xStartpunkt = 10;
    job.xAbstand = 12.5;
    job.xAnzahl = 4;
    job.HFilename = "C:\\Pl\xC3\xA4ne\\a.plt"; // "ä" becomes one Windows-1252 byte
    const std::string pfad = ordner.Datei("exakt.dom");
    ASSERT_TRUE(Doming_Datei_speichern(pfad, job, "Linie"));

    // One source line per section of the file.
    std::string erwartet =
        "; orvexa2011 /DOMING|;|"
        "[Startpunkt]|xStartpunkt=10.00|yStartpunkt=0.00||"
        "[Abstand]|xAbstand=12.50|yAbstand=0.00||xAnzahl=4|yAnzahl=1||"
        "[Bogenbearbeitung]|BxAbstand=0.00|ByAbstand=0.00||BxAnzahl=1|ByAnzahl=1||"
        "Type=Linie||"
        "[Geschwindigkeit]|Startfreq=500|Eilfreq=2000|Rampenlaenge=500||"
        "Dosierkopf=0||"
        "[Punkt]|PDosierzeit=1.00|PAbtropfzeit=1.00|PEilfreq=1500|"
        "PRampenlaenge=123||"
        "[Linie]|LDosierzeit1=1.00|LLaenge=8.00|LArbeitsfreq=700|"
        "LRampenlaenge=123|LDosierzeit3=1.00|LAbtropflinie=2.00|"
        "LAbtropfzeit=1.00||"
        "[Kreis]|KDosierzeit1=1.00|KRadius=2.00|KArbeitsfreq=700|"
        "KRampenlaenge=123|KEndwinkel=183|KDosierzeit3=0.00|KAbtropfzeit=1.00||"
        "[Rechteck]|RDosierzeit1=1.00|RLaenge=2.00|RBreite=3.00|"
        "RArbeitsfreq=700|RRampenlaenge=123|RMinusLaenge=0.50|"
        "RDosierzeit3=0.00|RAbtropfzeit=1.00||"
        "[HPGL]|HFilename=C:\\Pl\xE4ne\\a.plt|HDosierzeit1=1.00|"
        "HArbeitsfreq=700|HRampenlaenge=123|HDosierzeit3=0.00|"
        "HAbtropfzeit=1.00|";
    ASSERT_EQ(std::count(erwartet.begin(), erwartet.end(), '|'), 70);
    for (std::size_t i = erwartet.find('|'); i != std::string::npos; i = erwartet.find('|', i))
        erwartet.replace(i, 1, "\r\n");
    EXPECT_EQ(test::Datei_lesen(pfad), erwartet);
    EXPECT_EQ(Doming_Dateitext(job, "Linie"), erwartet);
}

TEST_F(DomingJobTest, TypeComesFromThePageShownAndTextsStayOnTheirLine) {
    DomingJob job = Doming_Vorgaben(maschine);
    job.Type = "Kreis";
    job.HFilename = "a.plt\r\nxAnzahl=99";
    const std::string text = Doming_Dateitext(job, "");
    const auto zeilen = test::Zeilen(text);
    EXPECT_EQ(zeilen[20], "Type=");
    EXPECT_EQ(zeilen[64], "HFilename=a.plt");
    EXPECT_EQ(zeilen.size(), 70u);

    DomingJob zurueck;
    ASSERT_TRUE(Doming_Dateiinhalt_lesen(text, zurueck, maschine));
    EXPECT_EQ(zurueck.xAnzahl, 1);
}

// The pressure-fed window's file: "[Druck]" after the start point; each window reads the
// other's files, the missing pressures as 0.
TEST_F(DomingJobTest, PressureSectionFollowsTheStartPointAndBothWindowsReadBothFiles) {
    DomingJob job = Verschieden();
    job.Materialdruck = 2.5;
    job.Ventildruck = -1.25;
    const std::string mit = Doming_Dateitext(job, job.Type, true);
    const std::string ohne = Doming_Dateitext(job, job.Type);
    const auto zeilen = test::Zeilen(mit);
    ASSERT_GE(zeilen.size(), 12u);
    EXPECT_THAT(
        std::vector(zeilen.begin() + 5, zeilen.begin() + 11),
        ElementsAre("", "[Druck]", "Materialdruck=2.50", "Ventildruck=-1.25", "", "[Abstand]"));
    EXPECT_EQ(ohne.find("Druck"), std::string::npos);
    EXPECT_EQ(test::Zeilen(ohne).size() + 4, zeilen.size());

    DomingJob gelesen;
    ASSERT_TRUE(Doming_Dateiinhalt_lesen(mit, gelesen, maschine));
    EXPECT_EQ(gelesen.Materialdruck, 2.5);
    EXPECT_EQ(gelesen.Ventildruck, -1.25);
    gelesen.Materialdruck = gelesen.Ventildruck = 7.0;
    ASSERT_TRUE(Doming_Dateiinhalt_lesen(ohne, gelesen, maschine));
    EXPECT_EQ(gelesen.Materialdruck, 0.0);
    EXPECT_EQ(gelesen.Ventildruck, 0.0);
    EXPECT_EQ(gelesen.xAbstand, job.xAbstand);
}

TEST_F(DomingJobTest, SaveAndLoadGiveTheSameJob) {
    const DomingJob job = Verschieden();
    const std::string pfad = ordner.Datei("rund.dom");
    ASSERT_TRUE(Doming_Datei_speichern(pfad, job, job.Type));
    DomingJob zurueck = Doming_Vorgaben(maschine);
    ASSERT_EQ(Doming_Datei_laden(pfad, zurueck, maschine), Doming_Ladeergebnis::geladen);
    EXPECT_EQ(zurueck, job);
    EXPECT_TRUE(ui.Toene().empty());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingJobTest, RealsAreRoundedToSixDigitsThenTwoDecimalsNeverAnExponent) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // 2.675 lies just below as a double: six digits first, then two decimals.
    const std::vector<std::pair<double, std::string>> faelle = {
        {0.0, "0.00"},
        {-0.0, "0.00"},
        {10.0, "10.00"},
        {12.5, "12.50"},
        {0.125, "0.13"},
        {2.675, "2.68"},
        {0.004, "0.00"},
        {0.005, "0.01"},
        {-0.001, "0.00"},
        {-7.25, "-7.25"},
        {999.999, "1000.00"},
        {1234.5678, "1234.57"},
        {999999.4, "999999.00"},
        {1e6, "1000000.00"},
        {1234567.89, "1234570.00"},
        {-98765432.1, "-98765400.00"},
        {1e30, "999999000000000000000000000.00"},
        {1e300, "999999000000000000000000000.00"},
        {-1e300, "-999999000000000000000000000.00"},
        {5e-324, "0.00"},
        {nan, "0.00"},
        {inf, "0.00"},
        {-inf, "0.00"}};
    for (const auto& [wert, text] : faelle) {
        SCOPED_TRACE(wert);
        EXPECT_EQ(Doming_Zahl_schreiben(wert), text);
        EXPECT_LE(text.size(), 31u);
    }
}

TEST_F(DomingJobTest, LargeAndInvalidRealsReadBackSanely) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DomingJob job = Doming_Vorgaben(maschine);
    job.xStartpunkt = 1e6;
    job.yStartpunkt = 123456789.0;
    job.xAbstand = 1e300;
    job.yAbstand = -1e300;
    job.BxAbstand = nan;
    job.ByAbstand = -std::numeric_limits<double>::infinity();

    const std::string text = Doming_Dateitext(job, "Punkt");
    for (const std::string& zeile : test::Zeilen(text)) {
        const auto gleich = zeile.find('=');
        if (gleich == std::string::npos || zeile.starts_with("Type") ||
            zeile.starts_with("HFilename"))
            continue;
        EXPECT_EQ(zeile.find_first_not_of("0123456789.-", gleich + 1), std::string::npos) << zeile;
        EXPECT_LE(zeile.size() - gleich - 1, 31u) << zeile;
    }
    DomingJob zurueck;
    ASSERT_TRUE(Doming_Dateiinhalt_lesen(text, zurueck, maschine));
    EXPECT_EQ(zurueck.xStartpunkt, 1e6);
    EXPECT_EQ(zurueck.yStartpunkt, 123457000.0);
    EXPECT_DOUBLE_EQ(zurueck.xAbstand, 999999e21);
    EXPECT_DOUBLE_EQ(zurueck.yAbstand, -999999e21);
    EXPECT_EQ(zurueck.BxAbstand, 0.0);
    EXPECT_EQ(zurueck.ByAbstand, 0.0);
    // Once written, a job writes the same bytes again.
    EXPECT_EQ(Doming_Dateitext(zurueck, "Punkt"), text);
}

TEST_F(DomingJobTest, FailedSaveTellsTheOperatorAndKeepsTheOldFile) {
    const std::string pfad = ordner.Datei("fehlt/job.dom");
    EXPECT_FALSE(Doming_Datei_speichern(pfad, Verschieden(), "Punkt"));
    auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].titel, "F E H L E R");
    EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);
    EXPECT_THAT(meldungen[0].text, HasSubstr(pfad));

    // A folder in the file's place cannot be replaced; it stays as it was.
    const std::string ordnerpfad = ordner.Datei("ordner.dom");
    std::filesystem::create_directory(ordnerpfad);
    test::Datei_schreiben(ordnerpfad + "/inhalt", "x");
    EXPECT_FALSE(Doming_Datei_speichern(ordnerpfad, Verschieden(), "Punkt"));
    EXPECT_EQ(test::Datei_lesen(ordnerpfad + "/inhalt"), "x");
    EXPECT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ordner.Pfad()),
                            std::filesystem::directory_iterator{}),
              2) // the folder and the log: no temporary file left behind
        << "left over files";
}

// ---- acceptance -----------------------------------------------------------------------------

TEST_F(DomingJobTest, AcceptanceZeroesNegativeLengthsAndTimesAndRaisesCounts) {
    DomingJob job = Verschieden();
    job.xStartpunkt = -1;
    job.ByAbstand = -0.01;
    job.LLaenge = std::numeric_limits<double>::quiet_NaN();
    job.KRadius = -2;
    job.HAbtropfzeit = -3;
    job.xAnzahl = 0;
    job.ByAnzahl = -7;
    job.PRampenlaenge = -5;
    job.Rampenlaenge = -9;
    job.Startfreq = 100;
    job.Eilfreq = 3000;
    Doming_annehmen(job);
    EXPECT_EQ(job.xStartpunkt, 0.0);
    EXPECT_EQ(job.ByAbstand, 0.0);
    EXPECT_EQ(job.LLaenge, 0.0);
    EXPECT_EQ(job.KRadius, 0.0);
    EXPECT_EQ(job.HAbtropfzeit, 0.0);
    EXPECT_EQ(job.xAnzahl, 1);
    EXPECT_EQ(job.ByAnzahl, 1);
    EXPECT_EQ(job.yAnzahl, 3);
    EXPECT_EQ(job.PRampenlaenge, -5); // ramps and speeds have no limit
    EXPECT_EQ(job.Rampenlaenge, -9);
    EXPECT_EQ(job.Startfreq, 100);
    EXPECT_EQ(job.Eilfreq, 3000);
    EXPECT_DOUBLE_EQ(job.yStartpunkt, 20.5);
}

TEST_F(DomingJobTest, ShapeFrequenciesLieBetweenStartAndRapidFrequency) {
    DomingJob job = Verschieden(); // 300..2500
    job.PEilfreq = 5000;
    job.LArbeitsfreq = 10;
    job.KArbeitsfreq = 300;
    job.RArbeitsfreq = 2500;
    job.HArbeitsfreq = 1200;
    Doming_annehmen(job);
    EXPECT_EQ(job.PEilfreq, 2500);
    EXPECT_EQ(job.LArbeitsfreq, 300);
    EXPECT_EQ(job.KArbeitsfreq, 300);
    EXPECT_EQ(job.RArbeitsfreq, 2500);
    EXPECT_EQ(job.HArbeitsfreq, 1200);

    // Start above rapid leaves no range: nothing goes faster than the rapid frequency.
    job.Startfreq = 3000;
    job.Eilfreq = 1000;
    job.LArbeitsfreq = 2000;
    job.KArbeitsfreq = 500;
    Doming_annehmen(job);
    EXPECT_EQ(job.LArbeitsfreq, 1000);
    EXPECT_EQ(job.KArbeitsfreq, 1000);
    EXPECT_EQ(job.PEilfreq, 1000);
}

TEST_F(DomingJobTest, AngleAndDosingHeadStayInTheirRanges) {
    DomingJob job = Verschieden();
    job.KEndwinkel = 170;
    job.Dosierkopf = 5;
    Doming_annehmen(job);
    EXPECT_EQ(job.KEndwinkel, 180);
    EXPECT_EQ(job.Dosierkopf, 0);
    job.KEndwinkel = 300;
    Doming_annehmen(job);
    EXPECT_EQ(job.KEndwinkel, 225);
    job.KEndwinkel = 199;
    Doming_annehmen(job);
    EXPECT_EQ(job.KEndwinkel, 199);
}

TEST_F(DomingJobTest, MinusLengthIsWholeTenthsUpToHalfTheLength) {
    struct Fall {
        double laenge, minus, erwartet;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Fall> faelle = {
        {2.0, 0.5, 0.5},
        {2.0, 5.0, 1.0},
        {2.0, 0.37, 0.4},
        {2.0, -1.0, 0.0},
        {0.3, 0.3, 0.1},
        {0.1, 0.5, 0.0},
        {-4.0, 1.0, 0.0},
        {2.0, nan, 0.0},
        {1e300, 1e300, std::numeric_limits<int32_t>::max() / 10.0},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(testing::Message() << f.laenge << " " << f.minus);
        DomingJob job = Verschieden();
        job.RLaenge = f.laenge;
        job.RMinusLaenge = f.minus;
        Doming_annehmen(job);
        EXPECT_EQ(job.RMinusLaenge, f.erwartet);
    }
}

TEST_F(DomingJobTest, AcceptingTwiceChangesNothingMore) {
    DomingJob job = Verschieden();
    job.RMinusLaenge = 2.26;
    job.LArbeitsfreq = -8;
    job.xAbstand = -1;
    Doming_annehmen(job);
    const DomingJob einmal = job;
    Doming_annehmen(job);
    EXPECT_EQ(job, einmal);
}

// ---- checks before a run --------------------------------------------------------------------

TEST_F(DomingJobTest, CheckVariablenWantsPositivePitchesEvenForSingleParts) {
    DomingJob job = Verschieden();
    job.xAnzahl = 1;
    job.xAbstand = 0;
    try {
        CheckVariablen(job);
        FAIL() << "no exception";
    } catch (const Steuerungsfehler& f) {
        EXPECT_EQ(f.code(), -1);
    }
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].text, "Abstand-Parameter überprüfen!\n");
    EXPECT_EQ(meldungen[0].titel, "F E H L E R");
    EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);
    EXPECT_EQ(meldungen[0].knoepfe, Knoepfe::ok);
    EXPECT_THAT(Protokoll(), ElementsAre("CheckVariablen() :: Abstand-Parameter überprüfen!"));
}

TEST_F(DomingJobTest, CheckVariablenThenWantsPositiveSheetGaps) {
    DomingJob job = Verschieden();
    job.ByAbstand = 0;
    EXPECT_THROW(CheckVariablen(job), Steuerungsfehler);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Bogen-Parameter überprüfen!\n");
    EXPECT_THAT(Protokoll(), ElementsAre("CheckVariablen() :: Bogen-Parameter überprüfen!"));

    // Both wrong: only the first complaint.
    ui.Leeren();
    job.yAbstand = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(CheckVariablen(job), Steuerungsfehler);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Abstand-Parameter überprüfen!\n");

    ui.Leeren();
    EXPECT_NO_THROW(CheckVariablen(Verschieden()));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(DomingJobTest, WorkingAreaHoldsTheLastPartOfTheLastSheet) {
    DomingJob job = Doming_Vorgaben(maschine);
    job.xStartpunkt = 10, job.xAnzahl = 3, job.xAbstand = 5, job.BxAnzahl = 2;
    job.BxAbstand = 20;
    job.yStartpunkt = 1, job.yAnzahl = 2, job.yAbstand = 4, job.ByAnzahl = 3;
    job.ByAbstand = 6; // 1 + 4 + 2 × (4 + 6) = 25
    DomingParameter bereich{"deutsch", 50.0, 25.0};
    EXPECT_NO_THROW(Arbeitsbereich_pruefen(job, bereich, 0, 0));
    EXPECT_THAT(Protokoll(), ElementsAre("dxMax=50.00 dyMax=25.00"));
    EXPECT_TRUE(ui.Meldungen().empty());

    bereich.xAbmessung = 49.99;
    try {
        Arbeitsbereich_pruefen(job, bereich, 0, 0);
        FAIL() << "no exception";
    } catch (const Steuerungsfehler& f) {
        EXPECT_EQ(f.code(), -1);
    }
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].text, "   Arbeitsbereich zu klein!\nBitte Parameter überprüfen!\n");
    EXPECT_EQ(meldungen[0].titel, "F E H L E R");
    EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);
    EXPECT_THAT(Protokoll(), ElementsAre("dxMax=50.00 dyMax=25.00", "dxMax=50.00 dyMax=25.00",
                                         "Arbeitsbereich_pruefen() :: Arbeitsbereich zu klein!"));

    bereich = {"deutsch", 50.0, 24.99};
    EXPECT_THROW(Arbeitsbereich_pruefen(job, bereich, 0, 0), Steuerungsfehler);
}

TEST_F(DomingJobTest, WorkingAreaAddsTheExtentOfTheShapeShown) {
    DomingJob job = Doming_Vorgaben(maschine);
    job.xStartpunkt = 10, job.yStartpunkt = 20;
    job.LLaenge = 8, job.LAbtropflinie = 2, job.KRadius = 3, job.RLaenge = 4, job.RBreite = 5;
    struct Fall {
        const char* typ;
        double dx, dy;
    };
    for (const Fall& f : {Fall{"Punkt", 10, 20}, Fall{"Linie", 20, 20}, Fall{"Kreis", 13, 23},
                          Fall{"Rechteck", 14, 25}, Fall{"HPGL", 17, 29}, Fall{"kreis", 10, 20},
                          Fall{"", 10, 20}}) {
        SCOPED_TRACE(f.typ);
        job.Type = f.typ;
        EXPECT_NO_THROW(Arbeitsbereich_pruefen(job, {"deutsch", f.dx, f.dy}, 7, 9));
        EXPECT_THROW(Arbeitsbereich_pruefen(job, {"deutsch", f.dx - 0.01, f.dy}, 7, 9),
                     Steuerungsfehler);
        EXPECT_THROW(Arbeitsbereich_pruefen(job, {"deutsch", f.dx, f.dy - 0.01}, 7, 9),
                     Steuerungsfehler);
    }
}

TEST_F(DomingJobTest, WorkingAreaFailsOnValuesThatAreNoNumber) {
    DomingJob job = Doming_Vorgaben(maschine);
    job.xAbstand = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(Arbeitsbereich_pruefen(job, {}, 0, 0), Steuerungsfehler);

    job = Doming_Vorgaben(maschine);
    job.Type = "HPGL";
    EXPECT_THROW(Arbeitsbereich_pruefen(job, {}, 0, std::numeric_limits<double>::infinity()),
                 Steuerungsfehler);

    job = Doming_Vorgaben(maschine);
    EXPECT_THROW(Arbeitsbereich_pruefen(job, {"deutsch", std::nan(""), 400}, 0, 0),
                 Steuerungsfehler);

    // Extreme counts must not overflow on the way.
    job = Doming_Vorgaben(maschine);
    job.xAnzahl = std::numeric_limits<int32_t>::max();
    job.xAbstand = 1;
    EXPECT_THROW(Arbeitsbereich_pruefen(job, {}, 0, 0), Steuerungsfehler);
    EXPECT_EQ(ui.Meldungen().size(), 4u);
}

} // namespace
} // namespace orvexa
