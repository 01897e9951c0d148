// "orvexa-cli dom" as a process against the simulated serial controller.

#include "cli_prozess.h"
#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

class DomKommandozeilentest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parameter_Standardwerte(maschine);
        maschine.ComPort = 8;
        parameter = ordner.Datei("maschine_param.dat");
        ASSERT_TRUE(Parameterdatei_speichern(maschine, parameter));
        job = Doming_Vorgaben(maschine);
        job.xStartpunkt = 10;
        job.yStartpunkt = 20;
        job.xAbstand = 5;
        job.yAbstand = 6;
        job.xAnzahl = 2;
        job.yAnzahl = 2;
        job.BxAbstand = job.ByAbstand = 1;
        jobdatei = ordner.Datei("probe.dom");
        portordner = ordner.Datei("ports");
    }

    void Job_schreiben(const std::string& typ = "Punkt") {
        ASSERT_TRUE(Doming_Datei_speichern(jobdatei, job, typ));
    }

    std::vector<std::string> Aufruf(std::vector<std::string> extra = {}) const {
        std::vector<std::string> a{"dom",           jobdatei,      "--param", parameter,
                                   "--program-dir", ordner.Pfad(), "--sim"};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    std::vector<std::string> Umgebung() const { return {"ORVEXA_PORTS=" + portordner}; }
    std::string Log() const { return Datei_lesen(ordner.Datei("~protokoll.log")); }

    Maschinenparameter maschine;
    DomingJob job;
    std::string parameter, jobdatei, portordner;
};

TEST_F(DomKommandozeilentest, LaeuftDenJobMitEinerZeileJeTeil) {
    Job_schreiben();
    const Prozessergebnis r = Ausfuehren(Aufruf(), Umgebung());
    ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
    EXPECT_EQ(Zeilen_mit(r.aus, "pass"),
              (std::vector<std::string>{"pass 1 part 1/4 sheet 0/0 ix/iy 0/0 at 10.00/20.00 mm",
                                        "pass 1 part 2/4 sheet 0/0 ix/iy 1/0 at 15.00/20.00 mm",
                                        "pass 1 part 3/4 sheet 0/0 ix/iy 0/1 at 10.00/26.00 mm",
                                        "pass 1 part 4/4 sheet 0/0 ix/iy 1/1 at 15.00/26.00 mm"}));
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{"result: completed, 1 pass, 4 parts"});
    const std::string log = Log();
    // The reference run before the first part and the closing one.
    std::size_t n = 0;
    for (std::size_t p = log.find("Referenzfahrt_ausfuehren(xy)"); p != std::string::npos;
         p = log.find("Referenzfahrt_ausfuehren(xy)", p + 1))
        ++n;
    EXPECT_EQ(n, 2u);
    EXPECT_NE(log.find("InitializeSteuerung(0)"), std::string::npos);
    EXPECT_NE(log.find("ixBogenMerke=0 iyBogenMerke=0 ixMerke=0 iyMerke=0"), std::string::npos);
    EXPECT_NE(log.find("StartBitBtn_Thread() :: End"), std::string::npos);
}

TEST_F(DomKommandozeilentest, HierUndOhneReferenzFahrenNichtZurReferenz) {
    job.Type = "Kreis";
    Job_schreiben("Kreis");
    const Prozessergebnis r = Ausfuehren(Aufruf({"--here", "--no-reference"}), Umgebung());
    ASSERT_EQ(r.code, 0) << r.aus << r.fehler;
    // Relative to where the machine stands after connecting.
    EXPECT_EQ(Zeilen_mit(r.aus, "pass 1 part 2/4").size(), 1u);
    EXPECT_NE(r.aus.find("at 5.00/0.00 mm"), std::string::npos) << r.aus;
    EXPECT_EQ(Log().find("Referenzfahrt_ausfuehren"), std::string::npos);
}

TEST_F(DomKommandozeilentest, ZuKleinerArbeitsbereichHaeltVorDemErstenTeil) {
    Job_schreiben();
    DomingParameter klein;
    klein.xAbmessung = 12;
    const std::string datei = ordner.Datei("DomingParam.dat");
    ASSERT_TRUE(DomingParameter_speichern(datei, klein));
    const Prozessergebnis r = Ausfuehren(Aufruf({"--doming-param", datei}), Umgebung());
    EXPECT_EQ(r.code, 1) << r.aus << r.fehler;
    EXPECT_NE(r.fehler.find("Arbeitsbereich zu klein"), std::string::npos) << r.fehler;
    EXPECT_NE(r.fehler.find("the run was stopped"), std::string::npos);
    EXPECT_TRUE(Zeilen_mit(r.aus, "pass").empty());
    EXPECT_EQ(Zeilen_mit(r.aus, "result:"),
              std::vector<std::string>{"result: failed after 0 parts"});
}

TEST_F(DomKommandozeilentest, UnbrauchbarerJobEndetVorDerVerbindung) {
    Datei_schreiben(jobdatei, "; ORVEXA2011 /DOMING\r\nxAnzahl=2\r\n");
    Prozessergebnis r = Ausfuehren(Aufruf(), Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("not a Doming job file"), std::string::npos) << r.fehler;

    Datei_schreiben(jobdatei, "; orvexa2011 /DOMING\r\nType=Stern\r\n");
    r = Ausfuehren(Aufruf(), Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("the job names no shape (Type=Stern)"), std::string::npos);

    job.HFilename = ordner.Datei("fehlt.plt");
    Job_schreiben("HPGL");
    r = Ausfuehren(Aufruf(), Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("HPGL file could not be read"), std::string::npos);

    r = Ausfuehren(Aufruf({"--doming-param", ordner.Datei("fehlt.dat")}), Umgebung());
    EXPECT_EQ(r.code, 3);
    r = Ausfuehren({"dom", ordner.Datei("fehlt.dom"), "--program-dir", ordner.Pfad()}, Umgebung());
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.fehler.find("job file not found"), std::string::npos);
    EXPECT_TRUE(Zeilen_mit(r.aus, "controller:").empty());
}

TEST_F(DomKommandozeilentest, FalscheOptionenUndHilfe) {
    const Prozessergebnis hilfe = Ausfuehren({"--help"}, {});
    EXPECT_EQ(hilfe.code, 0);
    EXPECT_NE(hilfe.aus.find("orvexa-cli dom JOB.dom [options]"), std::string::npos);
    for (const std::vector<std::string>& falsch : {std::vector<std::string>{"dom"},
                                                   {"dom", "a.dom", "b.dom"},
                                                   {"dom", "a.dom", "--cycles", "2"},
                                                   {"run", "a.edt", "--laser"},
                                                   {"dom", "a.dom", "--doming-param"}}) {
        const Prozessergebnis r = Ausfuehren(falsch, {});
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(falsch);
    }
}

TEST_F(DomKommandozeilentest, UnterbrechungHaeltDieAchsenAn) {
    job.xAnzahl = 40;
    job.yAnzahl = 40;
    job.xAbstand = job.yAbstand = 0.5;
    Job_schreiben();
    const Prozessergebnis r = Ausfuehren(Aufruf(), Umgebung(), [](const std::string& aus) {
        return aus.find("pass 1 part 3/1600") != std::string::npos ? SIGINT : 0;
    });
    EXPECT_EQ(r.code, 128 + SIGINT) << r.aus << r.fehler;
    EXPECT_NE(r.aus.find("result: interrupted after"), std::string::npos);
    EXPECT_EQ(r.aus.find("part 1600/1600"), std::string::npos);
    const std::string log = Log();
    EXPECT_NE(log.find("Achsen_anhalten()"), std::string::npos);
    // The valve is closed after the stop.
    EXPECT_NE(log.rfind("A1,0"), std::string::npos);
    EXPECT_NE(log.find("StartBitBtn_Thread() :: End"), std::string::npos);
}

} // namespace
} // namespace orvexa::test
