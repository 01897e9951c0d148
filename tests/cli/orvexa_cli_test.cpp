// The headless runner as a process against the simulated serial controller.

#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
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
    int code = -1; // exit status, or 128 + signal when it was killed
    std::string aus;
    std::string fehler;
};

// Runs orvexa-cli with args and extra environment entries. beobachten sees stdout as it grows;
// when it returns a signal number, that signal is sent once. Killed after 30 s.
Prozessergebnis Ausfuehren(const std::vector<std::string>& args,
                           const std::vector<std::string>& umgebung = {},
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
    std::vector<char*> argv;
    for (auto& a : argumente)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_texte(umgebung);
    for (char** e = environ; *e; ++e)
        if (!std::string(*e).starts_with("ORVEXA_PORTS=")) env_texte.emplace_back(*e);
    std::vector<char*> env;
    for (auto& e : env_texte)
        env.push_back(e.data());
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
              (std::vector<std::string>{"cycle 1/2 row 1/3", "cycle 1/2 row 2/3",
                                        "cycle 1/2 row 3/3", "cycle 1/2 row 3/3 (1 von 1)",
                                        "cycle 2/2 row 1/3", "cycle 2/2 row 2/3",
                                        "cycle 2/2 row 3/3", "cycle 2/2 row 3/3 (1 von 1)"}));
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
    p.Modul = 3; // the program-storing controllers have no simulated machine
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
