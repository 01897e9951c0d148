#include "testhilfen.h"

#include "platform/programmverzeichnis.h"
#include "tables/vektoreinstellungen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace orvexa::test {
namespace {

using Vektoreinstellungentest = Testumgebung;

const std::string Vorlage = "RefModus=2\r\n"
                            "\r\n"
                            "RefZyklusAktiv[0]=true\r\n"
                            "RefZyklusAktiv[1]=false\r\n"
                            "RefZyklusAktiv[2]=true\r\n"
                            "\r\n"
                            "zAchseInterpolieren=true\r\n"
                            "\r\n"
                            "InFestwertspeicher=false\r\n"
                            "\r\n";

Vektoreinstellungen Beispiel() {
    Vektoreinstellungen e;
    e.RefModus = 2;
    e.RefZyklusAktiv = {true, false, true};
    e.zAchseInterpolieren = true;
    return e;
}

TEST_F(Vektoreinstellungentest, SchreibtDieDateiByteGenau) {
    const std::string pfad = ordner.Datei("orvexa2011_konfig.dat");
    ASSERT_TRUE(Vektoreinstellungen_speichern(Beispiel(), pfad));
    EXPECT_EQ(Datei_lesen(pfad), Vorlage);
    EXPECT_EQ(Vektoreinstellungen_laden(pfad), Beispiel());
}

TEST_F(Vektoreinstellungentest, LiestNachSchluesselOhneRuecksichtAufGrossschreibung) {
    const std::string inhalt = "\xEF\xBB\xBFinfestwertspeicher = ja\n"
                               "REFMODUS=1\n"
                               "refzyklusaktiv[2]= Wahr \n"
                               "unbekannt=7\n"
                               "ohne Gleichheitszeichen\n"
                               "ZACHSEINTERPOLIEREN=1\n"
                               "RefModus=2\n";
    Vektoreinstellungen erwartet;
    erwartet.RefModus = 1; // the first line of a key counts
    erwartet.RefZyklusAktiv = {false, false, true};
    erwartet.zAchseInterpolieren = true;
    erwartet.InFestwertspeicher = true;
    EXPECT_EQ(Vektoreinstellungen_aus_Dateiinhalt(inhalt), erwartet);
}

TEST_F(Vektoreinstellungentest, UngueltigeWerteGebenDieVorgabe) {
    for (const std::string modus : {"abc", "7", "-1", "1-2", "99999999999", ""}) {
        const auto e = Vektoreinstellungen_aus_Dateiinhalt(
            "RefModus=" + modus + "\r\nzAchseInterpolieren=vielleicht\r\n");
        EXPECT_EQ(e, Vektoreinstellungen{}) << modus;
    }
    EXPECT_EQ(Vektoreinstellungen_aus_Dateiinhalt(std::string("\0\xff\r\r\n=\n", 7)),
              Vektoreinstellungen{});
}

TEST_F(Vektoreinstellungentest, FehlendeDateiGibtDieVorgaben) {
    EXPECT_EQ(Vektoreinstellungen_laden(ordner.Datei("fehlt_konfig.dat")), Vektoreinstellungen{});
}

TEST_F(Vektoreinstellungentest, MisslungenesSchreibenLaesstDieAlteDateiUndMeldetEs) {
    // A folder in the file's place cannot be replaced by the new file, even with root rights.
    const std::string pfad = ordner.Datei("orvexa2011_konfig.dat");
    std::filesystem::create_directory(pfad);
    Datei_schreiben(pfad + "/inhalt", Vorlage);
    EXPECT_FALSE(Vektoreinstellungen_speichern(Vektoreinstellungen{}, pfad));
    EXPECT_EQ(Datei_lesen(pfad + "/inhalt"), Vorlage);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_NE(ui.Meldungen()[0].text.find(pfad), std::string::npos);
    // No temporary file is left behind beside it (the log aside).
    int eintraege = 0;
    for (const auto& e : std::filesystem::directory_iterator(ordner.Pfad()))
        if (e.path().filename() != "~protokoll.log") ++eintraege;
    EXPECT_EQ(eintraege, 1);
}

TEST_F(Vektoreinstellungentest, DateinameLiegtImProgrammverzeichnis) {
    const std::string name = Vektoreinstellungen_Dateiname();
    EXPECT_TRUE(name.starts_with(ordner.Pfad())) << name;
    EXPECT_TRUE(name.ends_with("_konfig.dat")) << name;
}

} // namespace
} // namespace orvexa::test
