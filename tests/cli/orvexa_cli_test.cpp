// The headless runner as a process against the simulated serial controller.

#include "cli_prozess.h"
#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

class Kommandozeilentest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.ComPort = 7;
        parameter = ordner.Datei("maschine_param.dat");
        ASSERT_TRUE(Parameterdatei_speichern(p, parameter));
        tabelle = ordner.Datei("probe.edt");
        portordner = ordner.Datei("ports");
    }

    // Three rows: outputs, a move with z, a wait and a repetition.
    void Tabelle_schreiben(const std::string& startfreq = "-") {
        Positionstabelle t;
        t.Schritteingabe = true;
        t.ZeileHinzufuegen(3);
        ASSERT_TRUE(t.Zelle_setzen(1, 2, "ON"));
        ASSERT_TRUE(t.Zelle_setzen(1, 6, "400"));
        ASSERT_TRUE(t.Zelle_setzen(1, 8, "100"));
        ASSERT_TRUE(t.Zelle_setzen(1, 11, startfreq));
        ASSERT_TRUE(t.Zelle_setzen(2, 7, "-200"));
        ASSERT_TRUE(t.Zelle_setzen(2, 10, "20"));
        ASSERT_TRUE(t.Zelle_setzen(3, 2, "OFF"));
        ASSERT_TRUE(t.Zelle_setzen(3, 14, "1"));
        t.DateiName = tabelle;
        ASSERT_TRUE(t.TabelleSpeichern());
    }

    std::vector<std::string> Grundaufruf() const {
        return {"run", tabelle, "--param", parameter, "--program-dir", ordner.Pfad(), "--sim"};
    }
    std::vector<std::string> Umgebung() const { return {"ORVEXA_PORTS=" + portordner}; }

    std::string parameter, tabelle, portordner;
};

TEST_F(Kommandozeilentest, LaeuftDieTabelleAufDerSimuliertenSteuerung) {
    Tabelle_schreiben();
    auto args = Grundaufruf();
    args.insert(args.end(), {"--cycles", "2", "--ref", "first", "--z-interpolate"});
    const Prozessergebnis r = Ausfuehren(args, Umgebung());

    ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
    EXPECT_EQ(Zeilen_mit(r.aus, "cycle"),
              (std::vector<std::string>{
                  "cycle 1/2 row 1/3 left 00:00:03", "cycle 1/2 row 2/3 left 00:00:02",
                  "cycle 1/2 row 3/3 left 00:00:02", "cycle 1/2 row 3/3 (1 von 1) left 00:00:02",
                  "cycle 2/2 row 1/3 left 00:00:02", "cycle 2/2 row 2/3 left 00:00:01",
                  "cycle 2/2 row 3/3 left 00:00:00", "cycle 2/2 row 3/3 (1 von 1) left 00:00:00"}));
    EXPECT_EQ(Zeilen_mit(r.aus, "controller:"),
              std::vector<std::string>{"controller: KXvario-KXCU on COM7"});
    EXPECT_EQ(Zeilen_mit(r.aus, "identification: ").size(), 1u);
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{"result: completed, 2 passes"});

    const std::string protokoll = Datei_lesen(ordner.Datei("~protokoll.log"));
    EXPECT_NE(protokoll.find("Vek_TabellenAusgabe(1)"), std::string::npos);
    EXPECT_NE(protokoll.find("Vektorfahrt_ausfuehren(1, 1,   400,     0,   100, 13)"),
              std::string::npos);
    EXPECT_NE(protokoll.find("  Vek_Referenzfahrt(1, 1, 1, 0) :: Fertig"), std::string::npos);
    EXPECT_NE(protokoll.find("StartBitBtn_Thread::Fertig"), std::string::npos);
    // The simulated controller's port entry is gone again.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(portordner + "/COM7")));
}

// The estimate of the same run, without a controller: reference run of z, x, y (order 1, 2,
// 3) from position 0, 100 steps to the switch and 100 to the offset each, a triangle of
// 0.348 s at start 200, work 400 and ramp 200 ms; each cycle 1.1 s (400 steps), 0.6 s (200)
// and the wait of 20 ms.
TEST_F(Kommandozeilentest, SchaetztDenLaufOhneVerbindung) {
    Tabelle_schreiben();
    const std::vector<std::string> args{
        "run",      tabelle, "--param", parameter, "--program-dir",   ordner.Pfad(),
        "--cycles", "2",     "--ref",   "first",   "--z-interpolate", "--estimate"};
    const Prozessergebnis r = Ausfuehren(args, Umgebung());
    ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
    const std::vector<std::string> zeilen = Zeilen(r.aus);
    ASSERT_FALSE(zeilen.empty());
    EXPECT_EQ(zeilen.back(), "estimate: 0:00:05.530");
    EXPECT_EQ(Zeilen_mit(r.aus, "estimate of"),
              (std::vector<std::string>{
                  "estimate of the reference run before the first cycle: 0:00:02.090",
                  "estimate of the first cycle: 0:00:01.720",
                  "estimate of each further cycle: 0:00:01.720 (1 more)"}));
    EXPECT_TRUE(Zeilen_mit(r.aus, "controller:").empty()) << r.aus;
    EXPECT_TRUE(Zeilen_mit(r.aus, "cycle").empty()) << r.aus;

    // Endless: the reference run and one cycle; the angle mode has no estimate.
    auto endlos = args;
    endlos.erase(endlos.begin() + 6, endlos.begin() + 8);
    endlos.push_back("--endless");
    const Prozessergebnis e = Ausfuehren(endlos, Umgebung());
    ASSERT_EQ(e.code, 0) << e.aus << e.fehler;
    EXPECT_EQ(Zeilen_mit(e.aus, "estimate"),
              (std::vector<std::string>{
                  "estimate of the reference run before the first cycle: 0:00:02.090",
                  "estimate of one cycle (endless run): 0:00:01.720", "estimate: 0:00:03.810"}));
    const Prozessergebnis w = Ausfuehren({"run", tabelle, "--wt", "--estimate"}, Umgebung());
    EXPECT_EQ(w.code, 2) << w.aus;
    EXPECT_NE(w.fehler.find("--estimate and --wt exclude each other"), std::string::npos);
}

// The runner finds a stand-alone simulator through the port directory alone, and without it
// reports the missing port instead of running.
TEST_F(Kommandozeilentest, LaeuftGegenEigenstaendigenSimulatorUndScheitertOhneIhn) {
    using namespace std::chrono_literals;
    constexpr int com = 9; // above COM4, so that no missing entry falls back to /dev/ttyS*
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.Modul = 5;
    p.ComPort = com;
    p.Baudrate = 115200;
    ASSERT_TRUE(Parameterdatei_speichern(p, parameter));
    Tabelle_schreiben();
    const std::string eintrag = portordner + "/COM" + std::to_string(com);
    const std::vector<std::string> args{"run",     tabelle,         "--param",
                                        parameter, "--program-dir", ordner.Pfad()};

    {
        Hintergrundprozess kxsim(
            {ORVEXA_KXSIM_PFAD, "--com", std::to_string(com), "--zeitskala", "0"}, Umgebung());
        ASSERT_TRUE(kxsim.Laeuft());
        std::string geraet;
        ASSERT_TRUE(kxsim.Zeile_lesen(geraet, 10s)) << "kxsim printed no device path";
        ASSERT_TRUE(std::filesystem::is_symlink(eintrag));
        EXPECT_EQ(std::filesystem::read_symlink(eintrag), geraet);

        const Prozessergebnis r = Ausfuehren(args, Umgebung());
        ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
        EXPECT_EQ(Zeilen_mit(r.aus, "controller:"),
                  std::vector<std::string>{"controller: KXvario-KXCU on COM9"});
        const auto kennung = Zeilen_mit(r.aus, "identification: ");
        ASSERT_EQ(kennung.size(), 1u) << r.aus;
        EXPECT_GT(kennung[0].size(), std::string("identification: ").size());
        EXPECT_EQ(Zeilen_mit(r.aus, "cycle"),
                  (std::vector<std::string>{"cycle 1/1 row 1/3 left 00:00:02",
                                            "cycle 1/1 row 2/3 left 00:00:01",
                                            "cycle 1/1 row 3/3 left 00:00:00",
                                            "cycle 1/1 row 3/3 (1 von 1) left 00:00:00"}));
        EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
                  std::vector<std::string>{"result: completed, 1 pass"});

        // Still serving after the runner let go of the port, then gone on request.
        EXPECT_EQ(kxsim.Beenden(SIGTERM, 10s), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(eintrag)));

    const Prozessergebnis ohne = Ausfuehren(args, Umgebung());
    EXPECT_EQ(ohne.code, 3) << ohne.aus << ohne.fehler;
    EXPECT_NE(ohne.fehler.find("[HANDLE_COM_PORT_ERROR]"), std::string::npos) << ohne.fehler;
    EXPECT_TRUE(Zeilen_mit(ohne.aus, "identification:").empty());
    EXPECT_TRUE(Zeilen_mit(ohne.aus, "cycle").empty());
}

TEST_F(Kommandozeilentest, SteuerungsfehlerBeendetMitNameUndText) {
    Tabelle_schreiben("99999999");
    const Prozessergebnis r = Ausfuehren(Grundaufruf(), Umgebung());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.fehler.find("error 1007: Exception [OUT_OF_RANGE]"), std::string::npos) << r.fehler;
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{"result: failed after 1 pass"});
}

TEST_F(Kommandozeilentest, UnterbrechungHaeltDieAchsenAnUndEndetMitEigenemCode) {
    Tabelle_schreiben();
    auto args = Grundaufruf();
    args.push_back("--endless");
    const Prozessergebnis r = Ausfuehren(args, Umgebung(), [](const std::string& aus) {
        return aus.find("cycle 3 row") != std::string::npos ? SIGINT : 0;
    });
    EXPECT_EQ(r.code, 128 + SIGINT) << r.aus << r.fehler;
    EXPECT_NE(r.aus.find("result: interrupted after"), std::string::npos);
    const std::string protokoll = Datei_lesen(ordner.Datei("~protokoll.log"));
    EXPECT_NE(protokoll.find("Achsen_anhalten()"), std::string::npos);
    EXPECT_NE(protokoll.find("StartBitBtn_Thread::Fertig"), std::string::npos);
}

TEST_F(Kommandozeilentest, FehlendeTabelleEndetMitMeldung) {
    tabelle = ordner.Datei("fehlt.edt");
    const Prozessergebnis r = Ausfuehren(Grundaufruf(), Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("table file not found: " + tabelle), std::string::npos) << r.fehler;
}

TEST_F(Kommandozeilentest, TypOhneSimulierteMaschineEndetMitMeldung) {
    Tabelle_schreiben();
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.Modul = 8; // an unused type has no simulated machine
    ASSERT_TRUE(Parameterdatei_speichern(p, parameter));
    const Prozessergebnis r = Ausfuehren(Grundaufruf(), Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("no simulated machine"), std::string::npos) << r.fehler;
}

TEST_F(Kommandozeilentest, HilfeUndFalscherAufruf) {
    const Prozessergebnis hilfe = Ausfuehren({"--help"});
    EXPECT_EQ(hilfe.code, 0);
    EXPECT_TRUE(hilfe.aus.starts_with("Usage: orvexa-cli run TABLE.edt")) << hilfe.aus;

    for (const std::vector<std::string>& falsch : {std::vector<std::string>{},
                                                   {"laufen", "x.edt"},
                                                   {"run"},
                                                   {"run", "x.edt", "--cycles"},
                                                   {"run", "x.edt", "--cycles", "-1"},
                                                   {"run", "x.edt", "--cycles", "3", "--endless"},
                                                   {"run", "x.edt", "--ref", "sometimes"},
                                                   {"run", "x.edt", "--ref-axes", "xw"},
                                                   {"run", "x.edt", "--frei"}}) {
        const Prozessergebnis r = Ausfuehren(falsch);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(falsch);
        EXPECT_NE(r.fehler.find("orvexa-cli --help"), std::string::npos);
    }
}

} // namespace
} // namespace orvexa::test
