#include "tables/tabelle.h"

#include "core/maschinenparameter.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Datei_lesen;
using orvexa::test::Datei_schreiben;
using orvexa::test::Testumgebung;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const std::string Kopf = "; orvexa2011\r\n;\r\nMillimetereingabe\r\n";
const std::string Strichzeile = "- - - - - - - - - - - - - -\r\n";

class TabellendateiTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parameter_Standardwerte();
        pfad = ordner.Datei("probe.edt");
        t.DateiName = pfad;
        t.TabelleLoeschen();
    }

    std::vector<std::string> Zeile(const Positionstabelle& tabelle, int zeile) const {
        std::vector<std::string> felder;
        for (int s = 1; s <= Tabellenfelder; ++s)
            felder.emplace_back(tabelle.Zelle(zeile, s));
        return felder;
    }

    // Writes bytes as the file and loads it into a fresh table.
    Positionstabelle Laden(const std::string& bytes) {
        Datei_schreiben(pfad, bytes);
        Positionstabelle tabelle;
        tabelle.DateiName = pfad;
        EXPECT_TRUE(tabelle.TabelleLaden());
        return tabelle;
    }

    std::string pfad;
    Positionstabelle t;
};

// --- Writing -----------------------------------------------------------------------------------

TEST_F(TabellendateiTest, GespeicherteDateiHatGenauDieseBytes) {
    const char* felder[] = {"ON", "-", "OFF", "-",   "-",    "10.00", "25.50",
                            "0",  "",  "500", "400", "1200", "100",   "1"};
    for (int s = 1; s <= Tabellenfelder; ++s)
        ASSERT_TRUE(t.Zelle_setzen(2, s, felder[s - 1]));
    ASSERT_TRUE(t.Zelle_setzen(3, 7, "K\xC3\xBChl"));
    t.Geaendert = true;

    ASSERT_TRUE(t.TabelleSpeichern());
    EXPECT_FALSE(t.Geaendert);
    EXPECT_EQ(Datei_lesen(pfad),
              Kopf + Strichzeile + "ON - OFF - - 10.00 25.50 0 - 500 400 1200 100 1\r\n" +
                  "- - - - - - K\xFChl - - - - - - -\r\n" + Strichzeile + Strichzeile);

    t.Schritteingabe = true;
    ASSERT_TRUE(t.TabelleSpeichern());
    EXPECT_TRUE(Datei_lesen(pfad).starts_with("; orvexa2011\r\n;\r\nSchritteingabe\r\n- -"));
    t.Modus.Winkel = true;
    ASSERT_TRUE(t.TabelleSpeichern());
    EXPECT_TRUE(Datei_lesen(pfad).starts_with("; orvexa2011\r\n;\r\nGradeingabe\r\n- -"));
}

TEST_F(TabellendateiTest, LangeFelderUndSonderzeichenKommenUnveraendertZurueck) {
    ASSERT_TRUE(t.Zelle_setzen(1, 6, "123456789012.5"));
    ASSERT_TRUE(t.Zelle_setzen(1, 14, std::string(300, '7')));
    ASSERT_TRUE(t.Zelle_setzen(2, 10, "\xE2\x82\xAC\xC3\xA4\xC3\x9F"));
    ASSERT_TRUE(t.Zelle_setzen(3, 1, "OFF"));
    t.Schritteingabe = true;
    ASSERT_TRUE(t.TabelleSpeichern());
    const std::string bytes = Datei_lesen(pfad);

    Positionstabelle neu = Laden(bytes);
    ASSERT_EQ(neu.Zeilenzahl(), t.Zeilenzahl());
    for (int z = 1; z <= t.Zeilenzahl(); ++z)
        EXPECT_EQ(Zeile(neu, z), Zeile(t, z)) << z;
    EXPECT_TRUE(neu.Schritteingabe);
    EXPECT_EQ(neu.Titel()[6], "X-Achse [Steps]");
    EXPECT_EQ(neu.Dateiinhalt(), bytes);
}

TEST_F(TabellendateiTest, SchreibfehlerBehaeltAlteDateiUndWirdGemeldet) {
    // A file size limit makes the write fail half way, for root as well.
    const std::string alt = Kopf + Strichzeile;
    Datei_schreiben(pfad, alt);
    t.ZeileHinzufuegen(40);
    rlimit grenze{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &grenze), 0);
    auto* alter_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit knapp = grenze;
    knapp.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &knapp), 0);
    const bool ergebnis = t.TabelleSpeichern();
    ::setrlimit(RLIMIT_FSIZE, &grenze);
    std::signal(SIGXFSZ, alter_handler);

    EXPECT_FALSE(ergebnis);
    EXPECT_TRUE(t.Geaendert);
    EXPECT_EQ(Datei_lesen(pfad), alt);
    auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_THAT(meldungen[0].text, HasSubstr(pfad));
    EXPECT_EQ(meldungen[0].titel, "orvexa2011");
    EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);

    // A folder that is a file, and no name at all.
    t.DateiName = ordner.Datei("probe.edt/unter.edt");
    EXPECT_FALSE(t.TabelleSpeichern());
    t.DateiName.clear();
    EXPECT_FALSE(t.TabelleSpeichern());
    meldungen = ui.Meldungen();
    EXPECT_EQ(meldungen.size(), 3u);
    std::vector<std::string> dateien;
    for (const auto& eintrag : std::filesystem::directory_iterator(ordner.Pfad()))
        dateien.push_back(eintrag.path().filename().string());
    EXPECT_THAT(dateien, ::testing::Not(::testing::Contains(HasSubstr(".tmp"))));
}

// --- Reading -----------------------------------------------------------------------------------

TEST_F(TabellendateiTest, DieDritteZeileEntscheidetDieEingabeart) {
    EXPECT_TRUE(Laden("Irgendein Kopf\r\n;\r\nSchritteingabe\r\n1 2\r\n").Schritteingabe);
    EXPECT_TRUE(Laden("; orvexa2010\r\n;\r\n  SCHRITTEINGABE \r\n").Schritteingabe);

    t.Schritteingabe = true;
    Datei_schreiben(pfad, "; orvexa2011\r\n;\r\nGradeingabe\r\nON\r\n");
    ASSERT_TRUE(t.TabelleLaden());
    EXPECT_FALSE(t.Schritteingabe);
    EXPECT_EQ(t.Titel()[6], "X-Achse [mm]");
}

TEST_F(TabellendateiTest, ZeilenWerdenAnLeerraumGeteilt) {
    Positionstabelle tab =
        Laden(Kopf + "ON - OFF\r\n" + "\r\n" + "   \t \r\n" + "  OFF\t\t5   6  \r\n" +
              "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n");
    ASSERT_EQ(tab.Zeilenzahl(), 3);
    EXPECT_THAT(Zeile(tab, 1),
                ElementsAre("ON", "-", "OFF", "", "", "", "", "", "", "", "", "", "", ""));
    EXPECT_THAT(Zeile(tab, 2),
                ElementsAre("OFF", "5", "6", "", "", "", "", "", "", "", "", "", "", ""));
    // Fields beyond the fourteenth are dropped.
    EXPECT_THAT(Zeile(tab, 3), ElementsAre("1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                                           "12", "13", "14"));
    EXPECT_FALSE(tab.Geaendert);

    // Missing fields are written as "-".
    EXPECT_EQ(tab.Dateiinhalt(), Kopf + "ON - OFF - - - - - - - - - - -\r\n" +
                                     "OFF 5 6 - - - - - - - - - - -\r\n" +
                                     "1 2 3 4 5 6 7 8 9 10 11 12 13 14\r\n");
}

TEST_F(TabellendateiTest, AlleZeilenendenWerdenErkannt) {
    for (const std::string ende : {"\n", "\r"}) {
        const Positionstabelle tab = Laden("; orvexa2011" + ende + ";" + ende + "Schritteingabe" +
                                           ende + "ON" + ende + ende + "- OFF" + ende);
        EXPECT_TRUE(tab.Schritteingabe);
        ASSERT_EQ(tab.Zeilenzahl(), 2);
        EXPECT_EQ(tab.Zelle(1, 1), "ON");
        EXPECT_EQ(tab.Zelle(2, 2), "OFF");
    }
    // The last line needs no line end.
    EXPECT_EQ(Laden(Kopf + "ON\r\nOFF").Zelle(2, 1), "OFF");

    // A long file with CR line ends loads as quickly as any other.
    std::string lang = "; orvexa2011\r;\rMillimetereingabe\r";
    for (int i = 0; i < 200'000; ++i)
        lang += "1\r";
    EXPECT_EQ(Laden(lang).Zeilenzahl(), 200'000);
}

TEST_F(TabellendateiTest, KurzeDateienGebenKeineZeilen) {
    t.Schritteingabe = true;
    for (const std::string bytes : {"", "; orvexa2011\r\n", "; orvexa2011\r\n;\r\n"}) {
        Datei_schreiben(pfad, bytes);
        ASSERT_TRUE(t.TabelleLaden());
        EXPECT_EQ(t.Zeilenzahl(), 0);
        EXPECT_TRUE(t.Schritteingabe); // no third line, no change
    }
    EXPECT_EQ(Laden(Kopf).Zeilenzahl(), 0);
}

TEST_F(TabellendateiTest, WindowsZeichenUndUtf8) {
    const Positionstabelle ansi = Laden(Kopf + "- - - - - - K\xFChl \x80\r\n");
    EXPECT_EQ(ansi.Zelle(1, 7), "K\xC3\xBChl");
    EXPECT_EQ(ansi.Zelle(1, 8), "\xE2\x82\xAC");
    EXPECT_EQ(ansi.Dateiinhalt(), Kopf + "- - - - - - K\xFChl \x80 - - - - - -\r\n");

    // An editor's UTF-8 with its byte-order mark.
    const Positionstabelle utf8 = Laden("\xEF\xBB\xBF" + Kopf + "K\xC3\xBChl\r\n");
    ASSERT_EQ(utf8.Zeilenzahl(), 1);
    EXPECT_EQ(utf8.Zelle(1, 1), "K\xC3\xBChl");
    EXPECT_EQ(utf8.Dateiinhalt(), Kopf + "K\xFChl - - - - - - - - - - - - -\r\n");

    // Windows-1252 bytes that also form valid UTF-8 stay Windows-1252: the file reads back
    // byte for byte (found by the table-file fuzz target).
    const std::string datei = Kopf + "\xD7\x82 K\xC3\xBChl - - - - - - - - - - - -\r\n";
    const Positionstabelle ansi2 = Laden(datei);
    EXPECT_EQ(ansi2.Zelle(1, 1), "\xC3\x97\xE2\x80\x9A"); // "×‚"
    EXPECT_EQ(ansi2.Dateiinhalt(), datei);
}

TEST_F(TabellendateiTest, FehlendeDateiLaesstDieTabelleStehen) {
    ASSERT_TRUE(t.Zelle_setzen(1, 1, "ON"));
    t.DateiName = ordner.Datei("fehlt.edt");
    EXPECT_FALSE(t.TabelleLaden());
    t.DateiName = ordner.Pfad(); // a folder is no table file
    EXPECT_FALSE(t.TabelleLaden());
    EXPECT_EQ(t.Zeilenzahl(), 5);
    EXPECT_EQ(t.Zelle(1, 1), "ON");
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(TabellendateiTest, UnlesbareUndZuGrosseDateienWerdenGemeldet) {
    ASSERT_TRUE(t.Zelle_setzen(1, 1, "ON"));

    // Sparse, so it costs no disk.
    Datei_schreiben(pfad, Kopf);
    ASSERT_EQ(::truncate(pfad.c_str(), Tabellendatei_max_Bytes + 1), 0);
    EXPECT_FALSE(t.TabelleLaden());
    auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_THAT(meldungen[0].text, HasSubstr("zu groß"));

    // Small enough in bytes, too many rows.
    std::string viele = Kopf;
    for (int i = 0; i <= Tabelle_max_Zeilen; ++i)
        viele += "1\n";
    Datei_schreiben(pfad, viele);
    EXPECT_FALSE(t.TabelleLaden());
    EXPECT_EQ(ui.Meldungen().size(), 2u);

    if (::geteuid() != 0) {
        Datei_schreiben(pfad, Kopf + "OFF\r\n");
        ASSERT_EQ(::chmod(pfad.c_str(), 0), 0);
        EXPECT_FALSE(t.TabelleLaden());
        meldungen = ui.Meldungen();
        ASSERT_EQ(meldungen.size(), 3u);
        EXPECT_THAT(meldungen[2].text, HasSubstr("kann nicht gelesen werden"));
    }
    // The table is untouched by every refusal.
    EXPECT_EQ(t.Zeilenzahl(), 5);
    EXPECT_EQ(t.Zelle(1, 1), "ON");
}

TEST_F(TabellendateiTest, LangeZeilenUndBinaerdatenBleibenImRahmen) {
    // One 100 kB field is kept whole.
    const std::string lang(100'000, '9');
    Positionstabelle tab = Laden(Kopf + "- - - - - " + lang + "\r\n");
    ASSERT_EQ(tab.Zeilenzahl(), 1);
    EXPECT_EQ(tab.Zelle(1, 6), lang);

    // A 100 kB line of short fields gives 14 of them.
    std::string felder;
    for (int i = 0; i < 34'000; ++i)
        felder += "ab ";
    tab = Laden(Kopf + felder + "\r\n");
    ASSERT_EQ(tab.Zeilenzahl(), 1);
    EXPECT_EQ(tab.Zelle(1, 14), "ab");

    // Random bytes load, and what is saved from them reads back the same.
    std::mt19937 zufall(4711);
    std::string binaer(64 * 1024, '\0');
    for (char& c : binaer)
        c = static_cast<char>(zufall());
    tab = Laden(binaer);
    const std::string gespeichert = tab.Dateiinhalt();
    EXPECT_EQ(Laden(gespeichert).Dateiinhalt(), gespeichert);
}

// --- Description for the program memory dialog -------------------------------------------------

TEST_F(TabellendateiTest, DateibeschreibungMitDatumUndUhrzeit) {
    t.DateiName.clear();
    EXPECT_EQ(t.Dateibeschreibung(), "\x02");
    t.DateiName = ordner.Datei("fehlt.edt");
    EXPECT_EQ(t.Dateibeschreibung(), "\x02");

    t.DateiName = pfad;
    Datei_schreiben(pfad, Kopf);
    std::tm lokal{};
    lokal.tm_year = 2015 - 1900;
    lokal.tm_mon = 0;
    lokal.tm_mday = 30;
    lokal.tm_hour = 13;
    lokal.tm_min = 4;
    lokal.tm_sec = 5;
    lokal.tm_isdst = -1;
    const timespec zeiten[2] = {{std::mktime(&lokal), 0}, {std::mktime(&lokal), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, pfad.c_str(), zeiten, 0), 0);
    EXPECT_EQ(t.Dateibeschreibung(), pfad + " 30.01.2015 13:04:05\x02");
}

} // namespace
