#include "prozess.h"

#include "testhilfen.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace orvexa::test {

namespace {

std::string Name_von(const std::string& eintrag) {
    return eintrag.substr(0, eintrag.find('='));
}

std::vector<std::string> Umgebung_mit(const std::vector<std::string>& umgebung) {
    std::vector<std::string> texte(umgebung);
    for (char** e = environ; *e; ++e) {
        const std::string eintrag(*e);
        const std::string name = Name_von(eintrag);
        bool ersetzt = name == "ORVEXA_PORTS";
        for (const auto& neu : umgebung)
            ersetzt = ersetzt || Name_von(neu) == name;
        if (!ersetzt) texte.push_back(eintrag);
    }
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

// Starts argumente[0] with aktionen, which it uses up; the process id, or -1 when it could not
// start.
pid_t Starten(std::vector<std::string> argumente, const std::vector<std::string>& umgebung,
              posix_spawn_file_actions_t& aktionen) {
    std::vector<char*> argv = Zeiger(argumente);
    std::vector<std::string> env_texte = Umgebung_mit(umgebung);
    std::vector<char*> env = Zeiger(env_texte);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &aktionen, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&aktionen);
    return rc == 0 ? pid : -1;
}

int Ende_von(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

Prozessergebnis Prozess_ausfuehren(const std::string& programm,
                                   const std::vector<std::string>& args,
                                   const std::vector<std::string>& umgebung,
                                   std::function<int(const std::string&)> beobachten,
                                   std::chrono::seconds frist) {
    Prozessergebnis ergebnis;
    int aus[2], fehler[2];
    if (pipe(aus) != 0) return ergebnis;
    if (pipe(fehler) != 0) {
        close(aus[0]);
        close(aus[1]);
        return ergebnis;
    }

    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_adddup2(&aktionen, aus[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&aktionen, fehler[1], STDERR_FILENO);
    for (int fd : {aus[0], aus[1], fehler[0], fehler[1]})
        posix_spawn_file_actions_addclose(&aktionen, fd);

    std::vector<std::string> argumente{programm};
    argumente.insert(argumente.end(), args.begin(), args.end());
    const pid_t pid = Starten(std::move(argumente), umgebung, aktionen);
    close(aus[1]);
    close(fehler[1]);
    if (pid < 0) {
        close(aus[0]);
        close(fehler[0]);
        return ergebnis;
    }

    const auto ende = std::chrono::steady_clock::now() + frist;
    bool gesendet = false;
    pollfd fds[2] = {{aus[0], POLLIN, 0}, {fehler[0], POLLIN, 0}};
    int offen = 2;
    while (offen > 0) {
        if (std::chrono::steady_clock::now() > ende) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << programm << " did not end within " << frist.count() << " s";
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
    ergebnis.code = Ende_von(status);
    return ergebnis;
}

Hintergrundprozess::Hintergrundprozess(std::vector<std::string> argumente,
                                       const std::vector<std::string>& umgebung) {
    if (argumente.empty()) return;
    int aus[2];
    // Close-on-exec, so that the programs started later do not hold the pipe open.
    if (pipe2(aus, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_adddup2(&aktionen, aus[1], STDOUT_FILENO);
    const pid_t pid = Starten(std::move(argumente), umgebung, aktionen);
    close(aus[1]);
    if (pid < 0) {
        close(aus[0]);
        return;
    }
    m_pid = pid;
    m_aus = aus[0];
}

Hintergrundprozess::~Hintergrundprozess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_aus >= 0) close(m_aus);
}

bool Hintergrundprozess::Zeile_lesen(std::string& zeile, std::chrono::milliseconds frist) {
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

int Hintergrundprozess::Beenden(int signal, std::chrono::milliseconds frist) {
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
    return Ende_von(status);
}

// Appends what stdout offers before ende. False at its end (the pipe is closed then) or when
// nothing came in time.
bool Hintergrundprozess::Lesen(std::chrono::steady_clock::time_point ende) {
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

std::vector<std::string> Zeilen_mit(const std::string& text, const std::string& anfang) {
    std::vector<std::string> auswahl;
    for (const auto& zeile : Zeilen(text))
        if (zeile.starts_with(anfang)) auswahl.push_back(zeile);
    return auswahl;
}

} // namespace orvexa::test
