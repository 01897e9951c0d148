// The headless runner's angle-positioning mode as a process against both simulators:
// 'angle goto' and 'run --wt'. The runner writes its files into the current directory, so
// each test runs it in its own folder.

#include "cli_prozess.h"
#include "testhilfen.h"

#include "angle/wt_parameter.h"
#include "tables/tabelle.h"

#include <gmock/gmock.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class WinkelKommandozeilentest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ASSERT_EQ(::chdir(ordner.Pfad().c_str()), 0);
        p.KXCU_Com = "COM3";
        p.ND261_Com = "COM2";
        p.Umrechnungsfaktor = 200;
        p.WT_Startfreq = 400;
        p.WT_Endfreq = 2000;
        p.WT_Reffreq = 1000;
        p.WT_Rampe = 100;
        p.uebersteuern = 0.5;
        p.annaehern = 5;
        p.schrittweise = 10;
    }
    void TearDown() override {
        ASSERT_EQ(::chdir("/"), 0);
        Testumgebung::TearDown();
    }
    void Parameter_schreiben(const std::string& name = WT_Parameterdatei) {
        Datei_schreiben(ordner.Datei(name), WT_Parameterdatei_Inhalt(p));
    }
    Prozessergebnis Starten(std::vector<std::string> args) const {
        args.insert(args.end(), {"--program-dir", ordner.Pfad()});
        return Ausfuehren(args, {"ORVEXA_PORTS=" + ordner.Datei("ports")});
    }

    WT_Parameter p;
};

TEST_F(WinkelKommandozeilentest, AngleGotoStelltDenWinkelEin) {
    Parameter_schreiben();
    const Prozessergebnis r = Starten({"angle", "goto", "10", "--sim"});
    EXPECT_EQ(r.code, 0) << r.aus << r.fehler;
    EXPECT_THAT(r.aus, HasSubstr("position display: ND261 on COM2"));
    EXPECT_THAT(r.aus, HasSubstr("d.h. 2100 absolute Schritte"));
    EXPECT_THAT(r.aus, HasSubstr("Winkel wurde eingestellt!"));
    const std::string datei = Datei_lesen(ordner.Datei("Winkel_anfahren() - Test.txt"));
    EXPECT_TRUE(
        datei.starts_with("Winkel_anfahren() - Test\r\n\r\n--> Umrechnungsfaktor: 200\r\n"));
    EXPECT_TRUE(datei.ends_with("Winkel wurde eingestellt!\r\n"));
}

TEST_F(WinkelKommandozeilentest, EigeneParameterdateiUndNegativerWinkel) {
    p.schrittweise = 1; // always reported as not set
    Parameter_schreiben("eins.dat");
    Prozessergebnis r = Starten({"angle", "goto", "-5", "--wt-param", "eins.dat", "--sim"});
    EXPECT_EQ(r.code, 1) << r.aus << r.fehler;
    EXPECT_THAT(r.aus, HasSubstr("SollWinkel: -5.000"));
    EXPECT_THAT(r.aus, HasSubstr("Winkel konnte nicht eingestellt werden!"));

    p.schrittweise = 20;
    Parameter_schreiben("zwanzig.dat");
    r = Starten({"angle", "goto", "-5", "--wt-param", "zwanzig.dat", "--sim"});
    EXPECT_EQ(r.code, 0) << r.aus << r.fehler;
    EXPECT_THAT(r.aus, HasSubstr("d.h. -900 absolute Schritte"));
}

TEST_F(WinkelKommandozeilentest, OhneVerbindungUndFalscherAufruf) {
    // No parameter file: no ports, nothing to connect (3), with or without simulators.
    EXPECT_EQ(Starten({"angle", "goto", "10"}).code, 3);
    const Prozessergebnis ohne = Starten({"angle", "goto", "10", "--sim"});
    EXPECT_EQ(ohne.code, 3);
    EXPECT_THAT(ohne.aus, HasSubstr("not found"));
    EXPECT_EQ(Starten({"angle", "goto", "10", "--wt-param", "fehlt.dat"}).code, 3);
    for (const std::vector<std::string>& falsch : {std::vector<std::string>{"angle"},
                                                   {"angle", "goto"},
                                                   {"angle", "goto", "zehn"},
                                                   {"angle", "turn", "10"},
                                                   {"angle", "goto", "10", "--cycles", "2"},
                                                   {"angle", "goto", "10", "11"},
                                                   {"angle", "goto", "10", "--param", "x.dat"},
                                                   {"run", "t.edt", "--wt-param", "w.dat"},
                                                   {"run", "t.edt", "--wt", "--record"}})
        EXPECT_EQ(Starten(falsch).code, 2) << falsch.back();
}

TEST_F(WinkelKommandozeilentest, RunWtSchreibtTabellenAusgabe) {
    Parameter_schreiben();
    Positionstabelle t;
    t.Modus.Winkel = true;
    t.ZeileHinzufuegen(3);
    ASSERT_TRUE(t.Zelle_setzen(1, 6, "10"));
    ASSERT_TRUE(t.Zelle_setzen(3, 6, "20.5"));
    t.DateiName = ordner.Datei("winkel.edt");
    ASSERT_TRUE(t.TabelleSpeichern());

    const Prozessergebnis r = Starten({"run", "winkel.edt", "--wt", "--sim"});
    EXPECT_EQ(r.code, 0) << r.aus << r.fehler;
    // The angle parameters fix the machine; no machine parameter file is read.
    EXPECT_TRUE(Zeilen_mit(r.aus, "parameters: ").empty());
    EXPECT_THAT(r.aus, HasSubstr("3 rows in degrees"));
    // Row 2 has no angle: no approach, no line.
    EXPECT_THAT(Zeilen(Datei_lesen(ordner.Datei("TabellenAusgabe.txt"))),
                ElementsAre(MatchesRegex("1 \\|  Soll: 10\\.00  Ist: 10\\.0[01] -> ok"),
                            MatchesRegex("3 \\|  Soll: 20\\.50  Ist: 20\\.5[01] -> ok")));
    EXPECT_THAT(r.aus, HasSubstr("angle: 1 |  Soll: 10.00"));
}

} // namespace
} // namespace orvexa::test
