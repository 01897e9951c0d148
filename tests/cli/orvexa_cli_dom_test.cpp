// "orvexa-cli dom" as a process against the simulated serial controller.

#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orvexa::test {
namespace {

struct Prozessergebnis {
    int code = -1;
    std::string aus;
    std::string fehler;
};

// Runs orvexa-cli with args and extra environment entries; beobachten sees stdout as it grows
// and may return a signal to send once. Killed after 30 s.
Prozessergebnis Ausfuehren(const std::vector<std::string>& args,
                           const std::vector<std::string>& umgebung,
                           std::function<int(const std::string&)> beobachten = {}) {
    Prozessergebnis ergebnis;
    int aus[2], fehler[2];
    if (pipe(aus) != 0 || pipe(fehler) != 0) return ergebnis;
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_adddup2(&aktionen, aus[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&aktionen, fehler[1], STDERR_FILENO);
    for (int fd : {aus[0], aus[1], fehler[0], fehler[1]})
        posix_spawn_file_actions_addclose(&aktionen, fd);

    std::vector<std::string> argumente{ORVEXA_CLI_PFAD};
    argumente.insert(argumente.end(), args.begin(), args.end());
    std::vector<std::string> env_texte(umgebung);
    for (char** e = environ; *e; ++e)
        if (!std::string(*e).starts_with("ORVEXA_PORTS=")) env_texte.emplace_back(*e);
    std::vector<char*> argv, env;
    for (auto& t : argumente)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    for (auto& t : env_texte)
        env.push_back(t.data());
    env.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &aktionen, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&aktionen);
    close(aus[1]);
    close(fehler[1]);
    if (rc != 0) {
        close(aus[0]);
        close(fehler[0]);
        return ergebnis;
    }
    const auto frist = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool gesendet = false;
    pollfd fds[2] = {{aus[0], POLLIN, 0}, {fehler[0], POLLIN, 0}};
    int offen = 2;
    while (offen > 0) {
        if (std::chrono::steady_clock::now() > frist) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "orvexa-cli did not end within 30 s";
            break;
        }
        if (poll(fds, 2, 200) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char puffer[4096];
            const ssize_t n = read(fds[i].fd, puffer, sizeof puffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --offen;
                continue;
            }
            (i == 0 ? ergebnis.aus : ergebnis.fehler).append(puffer, static_cast<size_t>(n));
        }
        if (beobachten && !gesendet) {
            if (const int signal = beobachten(ergebnis.aus); signal != 0) {
                kill(pid, signal);
                gesendet = true;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    ergebnis.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ergebnis;
}

std::vector<std::string> Zeilen_mit(const std::string& text, const std::string& anfang) {
    std::vector<std::string> auswahl;
    for (const auto& zeile : Zeilen(text))
        if (zeile.starts_with(anfang)) auswahl.push_back(zeile);
    return auswahl;
}

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
