#include "tables/tabelle.h"

#include "core/maschinenparameter.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <sstream>

using namespace orvexa;
using orvexa::test::Testumgebung;
using ::testing::Each;
using ::testing::ElementsAre;

namespace {

class TabelleTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parameter_Standardwerte(); // Modul 5
        t.TabelleLoeschen();
    }

    // Fills a data row from the way the file writes it.
    void Zeile_setzen(int zeile, const std::string& felder) {
        std::istringstream strom(felder);
        std::string feld;
        for (int s = 1; strom >> feld; ++s)
            ASSERT_TRUE(t.Zelle_setzen(zeile, s, feld)) << feld;
    }

    std::vector<std::string> Zeile(int zeile) const {
        std::vector<std::string> felder;
        for (int s = 1; s <= Tabellenfelder; ++s)
            felder.emplace_back(t.Zelle(zeile, s));
        return felder;
    }

    std::vector<std::string> Spalte(int spalte) const {
        std::vector<std::string> zellen;
        for (int z = 1; z <= t.Zeilenzahl(); ++z)
            zellen.emplace_back(t.Zelle(z, spalte));
        return zellen;
    }

    Positionstabelle t;
};

const std::vector<std::string> Leere_Zeile(Tabellenfelder, "-");

// --- Rows --------------------------------------------------------------------------------------

TEST_F(TabelleTest, NeueTabelleHatFuenfZeilenAusStrichen) {
    Zeile_setzen(2, "ON - - - - 10");
    t.TabelleLoeschen();
    ASSERT_EQ(t.Zeilenzahl(), 5);
    for (int z = 1; z <= 5; ++z)
        EXPECT_EQ(Zeile(z), Leere_Zeile) << z;
}

TEST_F(TabelleTest, OhneAuswahlFuegtEinfuegenNichtsEinUndLoeschenLeertZeileEins) {
    Zeile_setzen(1, "ON ON - - - 1");
    Zeile_setzen(2, "OFF OFF - - - 2");
    t.ZeileEinfuegen();
    EXPECT_EQ(t.Zeilenzahl(), 5);
    EXPECT_FALSE(t.Geaendert);

    t.ZeileLoeschen();
    EXPECT_EQ(t.Zeilenzahl(), 5);
    EXPECT_EQ(Zeile(1), Leere_Zeile);
    EXPECT_EQ(t.Zelle(2, 6), "2");
    EXPECT_TRUE(t.Geaendert);
}

TEST_F(TabelleTest, LoeschenDerEinzigenZeileLaesstEineLeereZeile) {
    t.Aus_Dateiinhalt("; orvexa2011\r\n;\r\nMillimetereingabe\r\nON - - - - 5\r\n");
    ASSERT_EQ(t.Zeilenzahl(), 1);
    t.Zelle_waehlen(1, 6);
    t.ZeileLoeschen();
    ASSERT_EQ(t.Zeilenzahl(), 1);
    EXPECT_EQ(Zeile(1), Leere_Zeile);
}

// Found by replaying the fuzz corpus under the sanitizers: an empty view without data reached
// memchr with a null pointer.
TEST_F(TabelleTest, LeererInhaltOhneDatenWieLeererText) {
    Positionstabelle leer;
    const bool erwartet = leer.Aus_Dateiinhalt(std::string_view("", 0));
    EXPECT_EQ(t.Aus_Dateiinhalt(std::string_view{}), erwartet);
    EXPECT_EQ(t.Dateiinhalt(), leer.Dateiinhalt());
}

TEST_F(TabelleTest, EinfuegenUndLoeschenAnDerGewaehltenZeile) {
    for (int z = 1; z <= 5; ++z)
        ASSERT_TRUE(t.Zelle_setzen(z, 6, std::to_string(z)));

    t.Zelle_waehlen(2, 7);
    t.ZeileEinfuegen();
    EXPECT_THAT(Spalte(6), ElementsAre("1", "-", "2", "3", "4", "5"));
    EXPECT_TRUE(t.Geaendert);

    t.Zelle_waehlen(4, 6);
    t.ZeileLoeschen();
    EXPECT_THAT(Spalte(6), ElementsAre("1", "-", "2", "4", "5"));

    // Deleting the last row moves the selection onto the new last row.
    t.Zelle_waehlen(5, 6);
    t.ZeileLoeschen();
    EXPECT_THAT(Spalte(6), ElementsAre("1", "-", "2", "4"));
    EXPECT_EQ(t.AktZeile, 4);

    // A selection in the title row is no row selection.
    t.Zelle_waehlen(0, 6);
    t.ZeileEinfuegen();
    EXPECT_EQ(t.Zeilenzahl(), 4);
}

TEST_F(TabelleTest, ZeilenHinzufuegenHaengtLeereZeilenAnUndBleibtUnterDerGrenze) {
    Zeile_setzen(5, "ON");
    t.ZeileHinzufuegen(25);
    ASSERT_EQ(t.Zeilenzahl(), 30);
    EXPECT_EQ(t.Zelle(5, 1), "ON");
    EXPECT_EQ(Zeile(30), Leere_Zeile);

    t.ZeileHinzufuegen(0);
    t.ZeileHinzufuegen(-3);
    EXPECT_EQ(t.Zeilenzahl(), 30);
    t.ZeileHinzufuegen(Tabelle_max_Zeilen);
    EXPECT_EQ(t.Zeilenzahl(), Tabelle_max_Zeilen);
    t.Zelle_waehlen(1, 6);
    t.ZeileEinfuegen();
    EXPECT_EQ(t.Zeilenzahl(), Tabelle_max_Zeilen);
}

// --- Cell texts --------------------------------------------------------------------------------

TEST_F(TabelleTest, ZellenNehmenKeinenLeerraumUndNurWasDieDateiHaltenKann) {
    for (const char* schlecht : {"1 0", " 10", "10 ", "1\t0", "1\r\n", "a\x01", "x\x7F",
                                 "\xE2\x86\x92", "\xC2\x85", "\xFC"}) {
        EXPECT_FALSE(Zelltext_gueltig(schlecht)) << schlecht;
        EXPECT_FALSE(t.Zelle_setzen(1, 6, schlecht)) << schlecht;
    }
    EXPECT_EQ(t.Zelle(1, 6), "-");

    for (const char* gut : {"10", "-", "K\xC3\xBChlung", "\xE2\x82\xAC", "1234567890123"}) {
        EXPECT_TRUE(Zelltext_gueltig(gut)) << gut;
        EXPECT_TRUE(t.Zelle_setzen(1, 6, gut)) << gut;
        EXPECT_EQ(t.Zelle(1, 6), gut);
    }
    // Empty is stored as the file's empty value.
    EXPECT_TRUE(t.Zelle_setzen(1, 6, ""));
    EXPECT_EQ(t.Zelle(1, 6), "-");

    // Setting one field leaves its neighbours alone.
    Zeile_setzen(2, "ON OFF - - - 1 22 333 4444 5 6 7 8 9");
    ASSERT_TRUE(t.Zelle_setzen(2, 7, "abcdefghijk"));
    EXPECT_THAT(Zeile(2), ElementsAre("ON", "OFF", "-", "-", "-", "1", "abcdefghijk", "333", "4444",
                                      "5", "6", "7", "8", "9"));

    EXPECT_FALSE(t.Zelle_setzen(0, 6, "1"));
    EXPECT_FALSE(t.Zelle_setzen(6, 6, "1"));
    EXPECT_FALSE(t.Zelle_setzen(1, 0, "1"));
    EXPECT_FALSE(t.Zelle_setzen(1, 15, "1"));
    EXPECT_EQ(t.Zelle(9, 9), "");
}

// --- Conversion --------------------------------------------------------------------------------

TEST_F(TabelleTest, UmwandlungInSchritteUndZurueck) {
    Parametersatz().xUebersetz = 4;
    Parametersatz().xMotStep = 400;
    Parametersatz().yUebersetz = 2.5;
    Parametersatz().yMotStep = 200;
    Parametersatz().zUebersetz = 1;
    Parametersatz().zMotStep = 200;
    Parametersatz().uUebersetz = 1;
    Parametersatz().uMotStep = 200;
    Zeile_setzen(1, "- - - - - 10 3 1.5 1.239");
    Zeile_setzen(2, "- - - - - -10 0,5 - abc");

    t.Schritteingabe = true;
    t.TabelleUmwandeln();
    EXPECT_THAT(Zeile(1), ElementsAre("-", "-", "-", "-", "-", "1000", "240", "300", "247", "-",
                                      "-", "-", "-", "-"));
    EXPECT_THAT(Zeile(2), ElementsAre("-", "-", "-", "-", "-", "-1000", "40", "0", "0", "-", "-",
                                      "-", "-", "-"));
    EXPECT_EQ(t.Titel()[6], "X-Achse [Steps]");

    t.Schritteingabe = false;
    t.TabelleUmwandeln();
    EXPECT_THAT(Zeile(1), ElementsAre("-", "-", "-", "-", "-", "10.00", "3.00", "1.50", "1.24", "-",
                                      "-", "-", "-", "-"));
    EXPECT_THAT(Zeile(2), ElementsAre("-", "-", "-", "-", "-", "-10.00", "0.50", "0.00", "0.00",
                                      "-", "-", "-", "-", "-"));
    EXPECT_EQ(t.Titel()[6], "X-Achse [mm]");
}

TEST_F(TabelleTest, UmwandlungLaesstAchsenOhneGueltigeMechanikUnberuehrt) {
    Parametersatz().xUebersetz = 0;  // no steps can be computed
    Parametersatz().zUebersetz = -1; // not a gear ratio either
    Parametersatz().yMotStep = 0;    // no millimetres can be computed
    Zeile_setzen(1, "- - - - - 7 8 9 10");

    t.Schritteingabe = true;
    t.TabelleUmwandeln();
    EXPECT_THAT(Zeile(1), ElementsAre("-", "-", "-", "-", "-", "7", "0", "9", "4000", "-", "-", "-",
                                      "-", "-"));

    ASSERT_TRUE(t.Zelle_setzen(1, 7, "8"));
    t.Schritteingabe = false;
    t.TabelleUmwandeln();
    EXPECT_EQ(t.Zelle(1, 7), "8");
    EXPECT_EQ(t.Zelle(1, 9), "10.00");
}

TEST_F(TabelleTest, UmwandlungImWinkelmodusTutNichts) {
    t.Modus.Winkel = true;
    Zeile_setzen(1, "- - - - - 12.5");
    t.Schritteingabe = true;
    t.TabelleUmwandeln();
    EXPECT_EQ(t.Zelle(1, 6), "12.5");
    EXPECT_EQ(t.Zelle(1, 7), "-");
}

TEST_F(TabelleTest, MillimeterHabenHoechstensSechsStellenUndGrosseWerteExponentform) {
    EXPECT_EQ(Millimetertext(0), "0.00");
    EXPECT_EQ(Millimetertext(-0.001), "0.00");
    EXPECT_EQ(Millimetertext(1234.567), "1234.57");
    EXPECT_EQ(Millimetertext(12345.678), "12345.70");
    EXPECT_EQ(Millimetertext(-123456.7), "-123457.00");
    EXPECT_EQ(Millimetertext(999999.996), "1.00000E+06");
    EXPECT_EQ(Millimetertext(1234567), "1.23457E+06");
    EXPECT_EQ(Millimetertext(-2.5e12), "-2.50000E+12");
    EXPECT_EQ(Millimetertext(std::numeric_limits<double>::infinity()), "0.00");

    EXPECT_DOUBLE_EQ(Zellwert("1.23457E+06"), 1234570);
    EXPECT_DOUBLE_EQ(Zellwert(" -2.5e-3 "), -0.0025);
    EXPECT_DOUBLE_EQ(Zellwert("2,5"), 2.5);
    for (const char* keine : {"-", "", "abc", "1.2.3", "1e", "e5", "1E+", "1,5E3", "--1", "1e999"})
        EXPECT_EQ(Zellwert(keine), 0.0) << keine;

    // A large step count survives the way to millimetres and back.
    Parametersatz().xMotStep = 400;
    Parametersatz().xUebersetz = 1;
    Zeile_setzen(1, "- - - - - 400000000");
    t.Schritteingabe = false;
    t.TabelleUmwandeln();
    EXPECT_EQ(t.Zelle(1, 6), "1.00000E+06");
    t.Schritteingabe = true;
    t.TabelleUmwandeln();
    EXPECT_EQ(t.Zelle(1, 6), "400000000");
}

// --- Titles and widths -------------------------------------------------------------------------

struct Titelfall {
    int32_t modul;
    bool torval;
    std::array<const char*, 4> erwartet; // columns 3, 4, 5 and 9
};

class TitelTest : public TabelleTest, public ::testing::WithParamInterface<Titelfall> {};

TEST_P(TitelTest, AusgaengeUndUAchseNachSteuerungstyp) {
    const Titelfall& f = GetParam();
    Parametersatz().Modul = f.modul;
    t.Modus.Torval = f.torval;
    t.TabelleBeschriften();
    EXPECT_EQ(t.Titel()[3], f.erwartet[0]);
    EXPECT_EQ(t.Titel()[4], f.erwartet[1]);
    EXPECT_EQ(t.Titel()[5], f.erwartet[2]);
    EXPECT_EQ(t.Titel()[9], f.erwartet[3]);
    EXPECT_EQ(t.Titel()[1], "E1-Verkn.");
    EXPECT_EQ(t.Titel()[13], "Rampenlänge [ms]");
}

INSTANTIATE_TEST_SUITE_P(
    Typen, TitelTest,
    ::testing::Values(Titelfall{0, false, {"", "", "", ""}}, Titelfall{2, true, {"", "", "", ""}},
                      Titelfall{3, false, {"Aus-2", "", "", ""}},
                      Titelfall{4, false, {"Aus-2", "Aus-3", "Aus-4", "U-Achse [mm]"}},
                      Titelfall{5, false, {"Aus-2", "Aus-3", "", "U-Achse [mm]"}},
                      Titelfall{5, true, {"Aus-2", "Aus-3", "Aus-4", "U-Achse [mm]"}},
                      Titelfall{6, true, {"Aus-2", "Aus-3", "Aus-4", "U-Achse [mm]"}}));

TEST_F(TabelleTest, AndereTypenBehaltenDieAusgangstitel) {
    Parametersatz().Modul = 4;
    t.TabelleBeschriften();
    Parametersatz().Modul = 7;
    t.TabelleBeschriften();
    EXPECT_EQ(t.Titel()[5], "Aus-4");
    EXPECT_EQ(t.Titel()[9], "");
    Parametersatz().Modul = 12;
    t.TabelleBeschriften();
    EXPECT_EQ(t.Titel()[4], "Aus-3");
    EXPECT_EQ(t.Titel()[9], "U-Achse [mm]");

    // In a new table they were never set.
    Positionstabelle neu;
    neu.TabelleBeschriften();
    EXPECT_EQ(neu.Titel()[3], "");
    EXPECT_EQ(neu.Titel()[0], "Pos.");
}

TEST_F(TabelleTest, AchsentitelUndBreitenNachEingabeart) {
    t.Schritteingabe = true;
    t.TabelleBeschriften();
    EXPECT_THAT(
        std::vector<std::string>(t.Titel().begin() + 6, t.Titel().begin() + 10),
        ElementsAre("X-Achse [Steps]", "Y-Achse [Steps]", "Z-Achse [Steps]", "U-Achse [Steps]"));
    EXPECT_THAT(t.Spaltenbreiten(),
                ElementsAre(34, 60, 39, 39, 39, 39, 86, 86, 86, 86, 80, 72, 80, 104, 50));
    // Hints: left edge of column 1; left edge of column 14 with 1-pixel grid lines.
    EXPECT_EQ(t.HilfeLinks(10, 1), std::make_pair(44, 10 + 930 + 14));

    t.Modus.Winkel = true; // wins over step input
    t.TabelleBeschriften();
    EXPECT_THAT(std::vector<std::string>(t.Titel().begin() + 6, t.Titel().begin() + 10),
                ElementsAre("X-Achse [Grad]", "", "", ""));
    EXPECT_THAT(t.Spaltenbreiten(),
                ElementsAre(34, 60, 39, 39, 39, 39, 90, 61, 61, 61, 80, 72, 80, 104, 50));
}

// --- Editing rules -----------------------------------------------------------------------------

TEST_F(TabelleTest, EditierbareSpaltenNachTypUndModus) {
    auto editierbar = [&] {
        std::vector<int> spalten;
        for (int s = 0; s < Tabellenspalten; ++s)
            if (t.Zelle_editierbar(s)) spalten.push_back(s);
        return spalten;
    };
    EXPECT_THAT(editierbar(), ElementsAre(6, 7, 8, 9, 10, 11, 12, 13, 14));
    Parametersatz().Modul = 0;
    EXPECT_THAT(editierbar(), ElementsAre(6, 7, 8, 10, 11, 12, 13, 14));
    Parametersatz().Modul = 6;
    t.Modus.Winkel = true;
    EXPECT_THAT(editierbar(), ElementsAre(6, 10, 11, 12, 13, 14));

    EXPECT_TRUE(t.Zelle_waehlen(3, 6));
    EXPECT_EQ(t.AktZeile, 3);
    EXPECT_EQ(t.AktSpalte, 6);
    EXPECT_FALSE(t.Zelle_waehlen(0, 6));  // title row
    EXPECT_FALSE(t.Zelle_waehlen(99, 6)); // outside
}

TEST_F(TabelleTest, DoppelklickSchaltetReihumUndMerktDieAenderung) {
    std::vector<std::string> folge;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(t.Doppelklick(1, 1));
        folge.emplace_back(t.Zelle(1, 1));
    }
    EXPECT_THAT(folge, ElementsAre("ON", "OFF", "-", "ON"));
    EXPECT_TRUE(t.Geaendert);

    // Anything else becomes ON; the comparison heeds case.
    for (const char* anders : {"on", "Off", "1", "x"}) {
        ASSERT_TRUE(t.Zelle_setzen(1, 2, anders));
        t.Doppelklick(1, 2);
        EXPECT_EQ(t.Zelle(1, 2), "ON") << anders;
    }

    // Number columns and the title row do not switch.
    EXPECT_FALSE(t.Doppelklick(1, 6));
    EXPECT_EQ(t.Zelle(1, 6), "-");
    t.Geaendert = false;
    EXPECT_FALSE(t.Doppelklick(0, 1));
    EXPECT_FALSE(t.Geaendert);
}

TEST_F(TabelleTest, DoppelklickAufAusgangsspaltenNachTyp) {
    auto schaltbar = [&] {
        std::vector<int> spalten;
        for (int s = 1; s <= 5; ++s) {
            EXPECT_TRUE(t.Zelle_setzen(1, s, "-"));
            t.Geaendert = false;
            const bool geschaltet = t.Doppelklick(1, s);
            EXPECT_TRUE(t.Geaendert) << s; // set even where nothing switches
            EXPECT_EQ(t.Zelle(1, s), geschaltet ? "ON" : "-");
            if (geschaltet) spalten.push_back(s);
        }
        return spalten;
    };
    std::vector<int> spalten;
    Parametersatz().Modul = 0;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2));
    Parametersatz().Modul = 3;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2, 3));
    Parametersatz().Modul = 4;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2, 3, 4, 5));
    Parametersatz().Modul = 5;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2, 3, 4));
    // With "/TORVAL" the column titled "Aus-4" can be set as well.
    t.Modus.Torval = true;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2, 3, 4, 5));
    Parametersatz().Modul = 7;
    spalten = schaltbar();
    EXPECT_THAT(spalten, ElementsAre(1, 2));
}

// --- Drawing -----------------------------------------------------------------------------------

TEST_F(TabelleTest, AnzeigetextNachEingabeart) {
    Zeile_setzen(1, "O.N - - - - 10 2,5 - 1.2.3 1.500 4,00 - 12.3 1");
    EXPECT_EQ(t.Anzeigetext(0, 6), "X-Achse [mm]");
    EXPECT_EQ(t.Anzeigetext(1, 0), "1");
    EXPECT_EQ(t.Anzeigetext(5, 0), "5");
    EXPECT_EQ(t.Anzeigetext(1, 1), "ON");
    EXPECT_EQ(t.Anzeigetext(1, 10), "1500");
    EXPECT_EQ(t.Anzeigetext(1, 11), "400");
    EXPECT_EQ(t.Anzeigetext(1, 13), "123");
    EXPECT_THAT((std::vector<std::string>{t.Anzeigetext(1, 6), t.Anzeigetext(1, 7),
                                          t.Anzeigetext(1, 8), t.Anzeigetext(1, 9)}),
                ElementsAre("10.00", "2.50", "0.00", "0.00"));
    // Large values keep their digits on screen.
    Zeile_setzen(4, "- - - - - 100000.5 1.23457E+06");
    EXPECT_EQ(t.Anzeigetext(4, 6), "100000.50");
    EXPECT_EQ(t.Anzeigetext(4, 7), "1234570.00");

    Zeile_setzen(2, "- - - - - - -40 12.5 +7");
    t.Schritteingabe = true;
    EXPECT_THAT((std::vector<std::string>{t.Anzeigetext(2, 6), t.Anzeigetext(2, 7),
                                          t.Anzeigetext(2, 8), t.Anzeigetext(2, 9)}),
                ElementsAre("0", "-40", "0", "7"));

    Zeile_setzen(3, "- - - - - 12.3456 abc 1,5 x");
    t.Modus.Winkel = true;
    EXPECT_THAT((std::vector<std::string>{t.Anzeigetext(3, 6), t.Anzeigetext(3, 7),
                                          t.Anzeigetext(3, 8), t.Anzeigetext(3, 9)}),
                ElementsAre("12.346", "abc", "1,5", "x"));

    // Outside the table nothing is drawn.
    EXPECT_EQ(t.Anzeigetext(6, 1), "");
    EXPECT_EQ(t.Anzeigetext(1, 15), "");
    EXPECT_EQ(t.Anzeigetext(-1, 1), "");
}

TEST_F(TabelleTest, OhneUAchseZeigtDieUSpalteStriche) {
    Zeile_setzen(1, "- - - - - 1 2 3 4");
    for (const int32_t modul : {0, 1, 2, 3, 7}) {
        Parametersatz().Modul = modul;
        EXPECT_EQ(t.Anzeigetext(1, 9), "-//-") << modul;
    }
    Parametersatz().Modul = 6;
    EXPECT_EQ(t.Anzeigetext(1, 9), "4.00");
}

TEST_F(TabelleTest, HintergrundUndAusrichtung) {
    EXPECT_EQ(t.Hintergrund(0, 3, -1), Zellhintergrund::kopf_standard);
    EXPECT_EQ(t.Hintergrund(2, 0, 2), Zellhintergrund::kopf_standard);
    EXPECT_EQ(t.Hintergrund(2, 3, 2), Zellhintergrund::gruen);
    EXPECT_EQ(t.Hintergrund(3, 3, 2), Zellhintergrund::weiss);
    EXPECT_EQ(t.Hintergrund(1, 1, -1), Zellhintergrund::weiss);
    t.Schritteingabe = true;
    EXPECT_EQ(t.Hintergrund(0, 3, -1), Zellhintergrund::kopf_gelb);
    t.Modus.Winkel = true;
    EXPECT_EQ(t.Hintergrund(1, 0, -1), Zellhintergrund::kopf_cyan);

    std::vector<int> rechts;
    for (int s = 0; s < Tabellenspalten; ++s)
        if (t.Rechtsbuendig(1, s)) rechts.push_back(s);
    EXPECT_THAT(rechts, ElementsAre(6, 7, 8, 9));
    EXPECT_FALSE(t.Rechtsbuendig(0, 6));
}

// --- Asking to save ----------------------------------------------------------------------------

TEST_F(TabelleTest, FragtNurNachGeaenderterTabelle) {
    EXPECT_EQ(t.TabelleAbspeichern(), std::nullopt);
    EXPECT_TRUE(ui.Meldungen().empty());

    t.Bearbeitung_beginnt();
    ui.Antworten_vorgeben({Antwort::abbrechen});
    EXPECT_EQ(t.TabelleAbspeichern(), Antwort::abbrechen);
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    const auto& m = meldungen[0];
    EXPECT_EQ(m.text, "Möchten Sie die Änderungen speichern?\n");
    EXPECT_EQ(m.titel, "orvexa2011");
    EXPECT_EQ(m.symbol, Symbol::frage);
    EXPECT_EQ(m.knoepfe, Knoepfe::ja_nein_abbrechen);
}

} // namespace
