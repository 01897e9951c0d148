// "orvexa-cli memory" as a process: against its own simulated controller, and against one
// stand-alone simulator whose memory outlives the runs, so that a program written by one run
// is listed, read and erased by the next.

#include "cli_prozess.h"
#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using namespace std::chrono_literals;
using Zeilen_t = std::vector<std::string>;

class Speicherbefehltest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        parameter = ordner.Datei("maschine_param.dat");
        tabelle = ordner.Datei("probe.edt");
        portordner = ordner.Datei("ports");
        ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(5));
        Positionstabelle t;
        t.Schritteingabe = true;
        t.ZeileHinzufuegen(2);
        ASSERT_TRUE(t.Zelle_setzen(1, 6, "400"));
        ASSERT_TRUE(t.Zelle_setzen(2, 10, "20"));
        t.DateiName = tabelle;
        ASSERT_TRUE(t.TabelleSpeichern());
    }

    void Parameter_schreiben(int32_t modul) {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.Modul = modul;
        p.ComPort = com;
        p.Baudrate = 115200;
        p.xRefNr = 1;
        ASSERT_TRUE(Parameterdatei_speichern(p, parameter));
    }

    Prozessergebnis Speicher(Zeilen_t args, bool simulation = true) const {
        args.insert(args.begin(), "memory");
        for (const char* a : {"--param", parameter.c_str(), "--program-dir", ordner.Pfad().c_str()})
            args.emplace_back(a);
        if (simulation) args.emplace_back("--sim");
        return Ausfuehren(args, {"ORVEXA_PORTS=" + portordner});
    }

    // The lines between the connect and the protocol log's path.
    static Zeilen_t Ausgabe(const std::string& aus) {
        Zeilen_t zeilen;
        bool drin = false;
        for (const std::string& z : Zeilen(aus)) {
            if (z.starts_with("protocol log:")) break;
            if (drin) zeilen.push_back(z);
            if (z.starts_with("identification:")) drin = true;
        }
        return zeilen;
    }

    static constexpr int com = 9; // above COM4, so that no missing entry falls back to ttyS*
    std::string parameter, tabelle, portordner;
};

TEST_F(Speicherbefehltest, LeererSpeicherListeUndLesen) {
    const Prozessergebnis liste = Speicher({"list"});
    ASSERT_EQ(liste.code, 0) << liste.aus << liste.fehler;
    EXPECT_EQ(Ausgabe(liste.aus), (Zeilen_t{"1 empty", "2 empty", "3 empty", "4 empty", "5 empty",
                                            "6 empty", "7 empty"}));

    const Prozessergebnis lesen = Speicher({"read", "4"});
    ASSERT_EQ(lesen.code, 0) << lesen.aus << lesen.fehler;
    EXPECT_EQ(Ausgabe(lesen.aus), (Zeilen_t{"### Programm 4 lesen ###", "*PR4<CR>", "E3<BEL>",
                                            "### Der Programmspeicher ist leer ! ###",
                                            "### Programm 4 lesen - Ende ###"}));
}

TEST_F(Speicherbefehltest, FalscheAufrufeSendenNichts) {
    const std::vector<Zeilen_t> falsch = {
        {},
        {"format"},
        {"read"},
        {"read", "8"},
        {"read", "0"},
        {"erase", "x"},
        {"write", "3"},
        {"write", "3", tabelle, "--passes", "0"},
        {"write", "3", tabelle, "--passes", "-2"},
        {"write", "3", tabelle, "--ref-axes", "xq"},
        {"erase-all"},
        {"erase", "2", "--yes"},
        {"list", "--passes", "2"},
        {"list", "--bogus"},
    };
    for (const Zeilen_t& args : falsch) {
        const Prozessergebnis r = Speicher(args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args) << r.aus << r.fehler;
        // Refused before anything was set up or sent.
        EXPECT_EQ(r.aus.find("controller:"), std::string::npos) << ::testing::PrintToString(args);
    }
    const Prozessergebnis ohne_ja = Speicher({"erase-all"});
    EXPECT_NE(ohne_ja.fehler.find("--yes"), std::string::npos) << ohne_ja.fehler;
}

TEST_F(Speicherbefehltest, AndereTypenHabenKeinenProgrammspeicher) {
    for (int32_t modul : {0, 3, 10}) {
        ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(modul));
        const Prozessergebnis r = Speicher({"list"});
        EXPECT_EQ(r.code, 2) << modul << r.aus << r.fehler;
        EXPECT_NE(r.fehler.find("program memory needs controller type 5"), std::string::npos)
            << r.fehler;
        EXPECT_EQ(r.aus.find("controller:"), std::string::npos) << modul;
    }
}

TEST_F(Speicherbefehltest, HilfeBeschreibtDieBefehle) {
    for (const Zeilen_t& args : {Zeilen_t{"--help"}, Zeilen_t{"memory", "--help"}}) {
        const Prozessergebnis r = Ausfuehren(args);
        ASSERT_EQ(r.code, 0);
        for (const char* text : {"memory list", "memory write N TABLE.edt", "--passes K",
                                 "--ref-axes AXES", "erase-all --yes", "--program-dir"})
            EXPECT_NE(r.aus.find(text), std::string::npos) << text;
    }
}

TEST_F(Speicherbefehltest, SchreibenListenLesenLoeschenAmEigenstaendigenSimulator) {
    Hintergrundprozess kxsim({ORVEXA_KXSIM_PFAD, "--com", std::to_string(com), "--zeitskala", "0"},
                             {"ORVEXA_PORTS=" + portordner});
    ASSERT_TRUE(kxsim.Laeuft());
    std::string geraet;
    ASSERT_TRUE(kxsim.Zeile_lesen(geraet, 10s)) << "kxsim printed no device path";

    const Prozessergebnis schreiben =
        Speicher({"write", "3", tabelle, "--passes", "2", "--ref-axes", "x"}, false);
    ASSERT_EQ(schreiben.code, 0) << schreiben.aus << schreiben.fehler;
    const Zeilen_t geschrieben = Ausgabe(schreiben.aus);
    ASSERT_GE(geschrieben.size(), 4u);
    EXPECT_EQ(geschrieben.front(), "### Programm 3 schreiben! ###");
    EXPECT_EQ(geschrieben.back(), "### Programm 3 schreiben - Ende ###");
    EXPECT_EQ(geschrieben[2], "*PW3<CR>");
    // The header names the table by its full path.
    EXPECT_TRUE(geschrieben[4].starts_with(tabelle + " ")) << geschrieben[4];
    EXPECT_TRUE(geschrieben[4].ends_with("<STX>")) << geschrieben[4];

    const Prozessergebnis liste = Speicher({"list"}, false);
    ASSERT_EQ(liste.code, 0) << liste.fehler;
    EXPECT_EQ(Ausgabe(liste.aus), (Zeilen_t{"1 empty", "2 empty", "3 used", "4 empty", "5 empty",
                                            "6 empty", "7 empty"}));

    const Prozessergebnis lesen = Speicher({"read", "3"}, false);
    ASSERT_EQ(lesen.code, 0) << lesen.fehler;
    const Zeilen_t gelesen = Ausgabe(lesen.aus);
    ASSERT_GE(gelesen.size(), 6u);
    EXPECT_EQ(gelesen[1], "*PR3<CR>");
    EXPECT_EQ(gelesen[2], "*PR3<CR>");
    EXPECT_TRUE(gelesen[3].starts_with(tabelle + " ")) << gelesen[3];
    EXPECT_EQ(gelesen[4], "#PD,2<CR>");
    EXPECT_NE(std::find(gelesen.begin(), gelesen.end(), "$Hx<CR>"), gelesen.end());
    EXPECT_EQ(gelesen[gelesen.size() - 2], "<ACK>");
    EXPECT_EQ(gelesen.back(), "### Programm 3 lesen - Ende ###");

    const Prozessergebnis loeschen = Speicher({"erase", "3"}, false);
    ASSERT_EQ(loeschen.code, 0) << loeschen.fehler;
    EXPECT_EQ(Ausgabe(loeschen.aus), (Zeilen_t{"### Programm 3 löschen ###", "*PE3<CR>", "*PE3<CR>",
                                               "<ACK>", "### Programm 3 löschen - Ende ###"}));

    ASSERT_EQ(Speicher({"write", "6", tabelle}, false).code, 0);
    const Prozessergebnis alle = Speicher({"erase-all", "--yes"}, false);
    ASSERT_EQ(alle.code, 0) << alle.fehler;
    EXPECT_EQ(Ausgabe(alle.aus), (Zeilen_t{"### alle Programme löschen ###", "*PEa<CR>", "*PEa<CR>",
                                           "<ACK>", "### alle Programme löschen - Ende ###"}));
    EXPECT_EQ(Ausgabe(Speicher({"list"}, false).aus)[5], "6 empty");

    EXPECT_EQ(kxsim.Beenden(SIGTERM, 10s), 0);
    // Without the controller the connect fails as for 'run'.
    EXPECT_EQ(Speicher({"list"}, false).code, 3);
}

} // namespace
} // namespace orvexa::test
