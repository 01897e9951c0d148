#pragma once

// Other programs of the project run as processes beside the test: their output, exit status
// and signals as the operator's shell would see them.

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvexa::test {

struct Prozessergebnis {
    int code = -1; // exit status, or 128 + signal when it was killed
    std::string aus;
    std::string fehler;
};

// Runs programm with args; umgebung holds "NAME=value" entries that replace those of this
// process. ORVEXA_PORTS is never passed on unless umgebung sets it, so a developer's own port
// folder cannot leak into a test. beobachten sees stdout as it grows; when it returns a signal
// number, that signal is sent once. Killed (and reported as a failure) after frist.
Prozessergebnis Prozess_ausfuehren(const std::string& programm,
                                   const std::vector<std::string>& args,
                                   const std::vector<std::string>& umgebung = {},
                                   std::function<int(const std::string&)> beobachten = {},
                                   std::chrono::seconds frist = std::chrono::seconds(30));

// A program running beside the test with its stdout in a pipe. Whatever way the test leaves,
// the process is killed and reaped, so no stray simulator outlives it.
class Hintergrundprozess {
public:
    // argumente[0] is the program; umgebung as for Prozess_ausfuehren.
    Hintergrundprozess(std::vector<std::string> argumente,
                       const std::vector<std::string>& umgebung);
    ~Hintergrundprozess();
    Hintergrundprozess(const Hintergrundprozess&) = delete;
    Hintergrundprozess& operator=(const Hintergrundprozess&) = delete;

    bool Laeuft() const { return m_pid > 0; }

    // The next whole line of stdout; false at the end of the output or when none came in time.
    bool Zeile_lesen(std::string& zeile, std::chrono::milliseconds frist);

    // Sends signal and waits for the process to end: its exit status, 128 + the signal that
    // ended it, or -1 when it was still running at the deadline (the destructor kills it then).
    int Beenden(int signal, std::chrono::milliseconds frist);

private:
    bool Lesen(std::chrono::steady_clock::time_point ende);

    pid_t m_pid = -1;
    int m_aus = -1;
    std::string m_puffer;
};

// The lines of text that begin with anfang.
std::vector<std::string> Zeilen_mit(const std::string& text, const std::string& anfang);

} // namespace orvexa::test
