// The headless runner as a process against the simulated serial controller.

#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
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

// This process's environment with ORVEXA_PORTS replaced by the entries of umgebung.
std::vector<std::string> Umgebung_mit(const std::vector<std::string>& umgebung) {
    std::vector<std::string> texte(umgebung);
    for (char** e = environ; *e; ++e)
        if (!std::string(*e).starts_with("ORVEXA_PORTS=")) texte.emplace_back(*e);
    return texte;
}

// The null-terminated pointer array exec wants; valid while texte lives.
std::vector<char*> Zeiger(std::vector<std::string>& texte) {
    std::vector<char*> zeiger;
    for (auto& t : texte)
        zeiger.push_back(t.data());
    zeiger.push_back(nullptr);
    return zeiger;
}

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
    std::vector<char*> argv = Zeiger(argumente);
    std::vector<std::string> env_texte = Umgebung_mit(umgebung);
    std::vector<char*> env = Zeiger(env_texte);

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

// A program running beside the test with its stdout in a pipe. Whatever way the test leaves,
// the process is killed and reaped, so no stray simulator outlives it.
class Hintergrundprozess {
public:
    Hintergrundprozess(std::vector<std::string> argumente,
                       const std::vector<std::string>& umgebung) {
        int aus[2];
        // Close-on-exec, so that the runners started later do not hold the pipe open.
        if (pipe2(aus, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t aktionen;
        posix_spawn_file_actions_init(&aktionen);
        posix_spawn_file_actions_adddup2(&aktionen, aus[1], STDOUT_FILENO);
        std::vector<char*> argv = Zeiger(argumente);
        std::vector<std::string> env_texte = Umgebung_mit(umgebung);
        std::vector<char*> env = Zeiger(env_texte);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], &aktionen, nullptr, argv.data(), env.data());
        posix_spawn_file_actions_destroy(&aktionen);
        close(aus[1]);
        if (rc != 0) {
            close(aus[0]);
            return;
        }
        m_pid = pid;
        m_aus = aus[0];
    }
    ~Hintergrundprozess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_aus >= 0) close(m_aus);
    }
    Hintergrundprozess(const Hintergrundprozess&) = delete;
    Hintergrundprozess& operator=(const Hintergrundprozess&) = delete;

    bool Laeuft() const { return m_pid > 0; }

    // The next whole line of stdout; false at the end of the output or when none came in time.
    bool Zeile_lesen(std::string& zeile, std::chrono::milliseconds frist) {
        const auto ende = std::chrono::steady_clock::now() + frist;
        for (;;) {
            if (const auto nl = m_puffer.find('\n'); nl != std::string::npos) {
                zeile = m_puffer.substr(0, nl);
                m_puffer.erase(0, nl + 1);
                return true;
            }
            if (!Lesen(ende)) return false;
        }
    }

    // Sends signal and waits for the process to end: its exit status, 128 + the signal that
    // ended it, or -1 when it was still running at the deadline (the destructor kills it then).
    int Beenden(int signal, std::chrono::milliseconds frist) {
        if (m_pid <= 0) return -1;
        kill(m_pid, signal);
        // The pipe reaches its end when the process has gone.
        const auto ende = std::chrono::steady_clock::now() + frist;
        while (Lesen(ende)) {
        }
        if (m_aus >= 0) return -1;
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    // Appends what stdout offers before ende. False at its end (the pipe is closed then) or
    // when nothing came in time.
    bool Lesen(std::chrono::steady_clock::time_point ende) {
        while (m_aus >= 0) {
            const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                ende - std::chrono::steady_clock::now());
            if (rest.count() <= 0) return false;
            pollfd fd{m_aus, POLLIN, 0};
            const int n = poll(&fd, 1, static_cast<int>(rest.count()));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            char puffer[1024];
            const ssize_t gelesen = read(m_aus, puffer, sizeof puffer);
            if (gelesen < 0 && errno == EINTR) continue;
            if (gelesen <= 0) {
                close(m_aus);
                m_aus = -1;
                return false;
            }
            m_puffer.append(puffer, static_cast<size_t>(gelesen));
            return true;
        }
        return false;
    }

    pid_t m_pid = -1;
    int m_aus = -1;
    std::string m_puffer;
};

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
                  (std::vector<std::string>{"cycle 1/1 row 1/3", "cycle 1/1 row 2/3",
                                            "cycle 1/1 row 3/3", "cycle 1/1 row 3/3 (1 von 1)"}));
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
