// The headless runner as a process against the simulated iKXIF and KXCU: a table run on both,
// and the KXCU's recording into its fixed memory.

#include "cli_prozess.h"
#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvexa::test {
namespace {

class SpeicherKommandozeilentest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        parameter = ordner.Datei("maschine_param.dat");
        tabelle = ordner.Datei("probe.edt");
        portordner = ordner.Datei("ports");
    }

    void Parameter_schreiben(int32_t modul) {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.Modul = modul;
        p.ComPort = 7;
        ASSERT_TRUE(Parameterdatei_speichern(p, parameter));
    }

    // zeilen rows, each a move of x, y and z in steps and output 1 switched.
    void Tabelle_schreiben(int zeilen = 2) {
        Positionstabelle t;
        t.Schritteingabe = true;
        t.ZeileHinzufuegen(zeilen);
        for (int z = 1; z <= zeilen; ++z) {
            ASSERT_TRUE(t.Zelle_setzen(z, 2, z % 2 ? "ON" : "OFF"));
            ASSERT_TRUE(t.Zelle_setzen(z, 6, std::to_string(100 * z)));
            ASSERT_TRUE(t.Zelle_setzen(z, 7, "-50"));
            ASSERT_TRUE(t.Zelle_setzen(z, 8, "20"));
        }
        t.DateiName = tabelle;
        ASSERT_TRUE(t.TabelleSpeichern());
    }

    Prozessergebnis Starten(std::vector<std::string> mehr = {}) const {
        std::vector<std::string> args{"run",           tabelle,       "--param", parameter,
                                      "--program-dir", ordner.Pfad(), "--sim"};
        args.insert(args.end(), mehr.begin(), mehr.end());
        return Ausfuehren(args, {"ORVEXA_PORTS=" + portordner});
    }

    std::string parameter, tabelle, portordner;
};

TEST_F(SpeicherKommandozeilentest, TabelleLaeuftAufIkxifUndKxcu) {
    struct Fall {
        int32_t modul;
        std::string name, kennung;
    };
    for (const Fall& f :
         {Fall{2, "iKXIF", "KX-IKXIF V1.21"}, Fall{3, "KX900-KXCU", "KX900i KXCU V3.04"}}) {
        ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(f.modul));
        ASSERT_NO_FATAL_FAILURE(Tabelle_schreiben());
        const Prozessergebnis r = Starten({"--cycles", "2"});
        ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
        EXPECT_EQ(Zeilen_mit(r.aus, "controller:"),
                  std::vector<std::string>{"controller: " + f.name + " on COM7"});
        EXPECT_EQ(Zeilen_mit(r.aus, "identification:"),
                  std::vector<std::string>{"identification: " + f.kennung});
        EXPECT_EQ(Zeilen_mit(r.aus, "cycle"),
                  (std::vector<std::string>{
                      "cycle 1/2 row 1/2 left 00:00:02", "cycle 1/2 row 2/2 left 00:00:02",
                      "cycle 2/2 row 1/2 left 00:00:01", "cycle 2/2 row 2/2 left 00:00:01"}));
        EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
                  std::vector<std::string>{"result: completed, 2 passes"});
        const std::string protokoll = Datei_lesen(ordner.Datei("~protokoll.log"));
        EXPECT_NE(protokoll.find("Vektorfahrt_ausfuehren(1, 1,   200,   -50,     0, 13)"),
                  std::string::npos);
        // No box: nothing was clamped or refused.
        EXPECT_EQ(r.fehler.find("[Warnung]"), std::string::npos) << r.fehler;
    }
}

TEST_F(SpeicherKommandozeilentest, RecordSpeichertInDenFestwertspeicher) {
    ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(3));
    ASSERT_NO_FATAL_FAILURE(Tabelle_schreiben());
    const Prozessergebnis r = Starten({"--record"});
    ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{"result: recorded into the fixed memory, 1 pass"});
    EXPECT_NE(r.fehler.find("Festwertspeicher-Download war erfolgreich!"), std::string::npos)
        << r.fehler;
    const std::string protokoll = Datei_lesen(ordner.Datei("~protokoll.log"));
    EXPECT_NE(protokoll.find("Upload_in_Festwertspeicher()"), std::string::npos);
    EXPECT_NE(protokoll.find("End_in_Festwertspeicher()"), std::string::npos);
}

TEST_F(SpeicherKommandozeilentest, VollerFestwertspeicherEndetMitDerMeldung) {
    ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(3));
    ASSERT_NO_FATAL_FAILURE(Tabelle_schreiben(150)); // more than the 2 KiB of the unit
    const Prozessergebnis r = Starten({"--record"});
    EXPECT_EQ(r.code, 1) << r.aus << r.fehler;
    EXPECT_NE(r.fehler.find("F E H L E R: Job paßt nicht in den Festwertspeicher!"),
              std::string::npos)
        << r.fehler;
    EXPECT_EQ(r.fehler.find("Festwertspeicher-Download war erfolgreich!"), std::string::npos);
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{
                  "result: not recorded, the table does not fit into the fixed memory"});
    const std::string protokoll = Datei_lesen(ordner.Datei("~protokoll.log"));
    EXPECT_NE(protokoll.find("Festwertspeicher_loeschen()"), std::string::npos);
}

TEST_F(SpeicherKommandozeilentest, RecordNurFuerDieKxcu) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_schreiben());
    for (const int32_t modul : {2, 5}) {
        ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(modul));
        const Prozessergebnis r = Starten({"--record"});
        EXPECT_EQ(r.code, 2) << modul << r.aus << r.fehler;
        EXPECT_NE(r.fehler.find("--record needs the KX900-KXCU"), std::string::npos) << r.fehler;
        EXPECT_TRUE(Zeilen_mit(r.aus, "controller:").empty());
    }
    ASSERT_NO_FATAL_FAILURE(Parameter_schreiben(3));
    EXPECT_EQ(Starten({"--record", "--endless"}).code, 2);
    const Prozessergebnis hilfe = Ausfuehren({"--help"});
    EXPECT_NE(hilfe.aus.find("--record"), std::string::npos);
}

} // namespace
} // namespace orvexa::test
