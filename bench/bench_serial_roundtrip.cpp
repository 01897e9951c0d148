// Exchanges per second through the whole serial link (command set, link with its receive
// thread, termios, pseudo-terminal, simulated controller at time scale 0) beside a bare
// write/read ping-pong on a pseudo-terminal pair, and how soon the link hands over the
// completion answer that follows a NAK, and how long Connect takes to give up on a controller
// that does not answer. The last lines print the rates and their ratio.
#include "core/fehler.h"
#include "core/protokoll.h"
#include "drivers/korabefehlssatz.h"
#include "drivers/koracom.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/programmverzeichnis.h"
#include "seriellesteuerung.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace orvexa;

namespace {

using Uhr = std::chrono::steady_clock;

constexpr char ACK = 6;
constexpr int Portnummer = 9;

std::string Ordner() {
    static const std::string ordner = [] {
        std::string muster =
            (std::filesystem::temp_directory_path() / "orvexa-bench-XXXXXX").string();
        if (!mkdtemp(muster.data())) std::abort();
        return muster + "/";
    }();
    return ordner;
}

// Rates of the last run of each benchmark, for the closing comparison.
double g_linie_pro_s = 0;
double g_pty_pro_s = 0;

// A connected command set on a fresh simulated controller.
struct Verbindung {
    SerielleSteuerung sim;
    KoraBefehlssatz kora;

    Verbindung() {
        Programmverzeichnis_setzen(Ordner());
        ::setenv("ORVEXA_PORTS", (Ordner() + "ports").c_str(), 1);
        if (!COM_registrieren(Portnummer, sim.Geraetepfad())) std::abort();
        kora.SetTag(2);
        kora.Init(Portnummer, 115200);
        kora.Connect();
    }
    ~Verbindung() {
        kora.UnInit();
        Protokoll_loeschen();
    }
};

void BM_Linie_Startgeschwindigkeit(benchmark::State& state) {
    Verbindung v;
    const auto beginn = Uhr::now();
    for (auto _ : state)
        v.kora.Startgeschwindigkeit_einstellen(400);
    const double s = std::chrono::duration<double>(Uhr::now() - beginn).count();
    g_linie_pro_s = static_cast<double>(state.iterations()) / s;
    state.SetItemsProcessed(state.iterations());
    state.counters["Austausche/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Linie_Startgeschwindigkeit)->UseRealTime()->MinTime(2.0);

// The device side of the bare ping-pong: ACK for every CR.
class Echo {
public:
    Echo() {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) std::abort();
        termios t{};
        ::tcgetattr(m_slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
        m_thread = std::thread([this] { Lauf(); });
    }
    ~Echo() {
        m_ende = true;
        m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }
    int Slave() const { return m_slave; }

private:
    void Lauf() {
        char puffer[256];
        while (!m_ende) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(m_master, puffer, sizeof puffer);
            for (ssize_t i = 0; i < n; ++i) {
                if (puffer[i] == '\r' && ::write(m_master, &ACK, 1) != 1) return;
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    std::atomic<bool> m_ende{false};
    std::thread m_thread;
};

void BM_Pty_Pingpong(benchmark::State& state) {
    Echo echo;
    const std::string anfrage = "#S400\r";
    char antwort = 0;
    const auto beginn = Uhr::now();
    for (auto _ : state) {
        if (::write(echo.Slave(), anfrage.data(), anfrage.size()) !=
                static_cast<ssize_t>(anfrage.size()) ||
            ::read(echo.Slave(), &antwort, 1) != 1 || antwort != ACK) {
            state.SkipWithError("ping-pong broken");
            break;
        }
    }
    const double s = std::chrono::duration<double>(Uhr::now() - beginn).count();
    g_pty_pro_s = static_cast<double>(state.iterations()) / s;
    state.SetItemsProcessed(state.iterations());
    state.counters["Austausche/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pty_Pingpong)->UseRealTime()->MinTime(2.0);

// A one-step move at time scale 0: the controller sends NAK and its completion ACK at once, so
// the time from taking the NAK to taking the ACK is the link's own hand-over delay.
void BM_Linie_Abschluss_nach_NAK(benchmark::State& state) {
    Verbindung v;
    double summe_s = 0;
    double hoechst_s = 0;
    int64_t unter_1ms = 0;
    int32_t richtung = 1;
    for (auto _ : state) {
        v.kora.Vektorfahrt_ausfuehren(true, 1, richtung, 0, 0);
        const auto nak = Uhr::now();
        v.kora.WaitResp(-1);
        const double s = std::chrono::duration<double>(Uhr::now() - nak).count();
        summe_s += s;
        hoechst_s = std::max(hoechst_s, s);
        if (s < 1e-3) ++unter_1ms;
        richtung = -richtung;
    }
    const auto n = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["NAK_ACK_mittel_us"] = summe_s / n * 1e6;
    state.counters["NAK_ACK_max_us"] = hoechst_s * 1e6;
    state.counters["unter_1ms_%"] = static_cast<double>(unter_1ms) / n * 100;
}
BENCHMARK(BM_Linie_Abschluss_nach_NAK)->UseRealTime()->MinTime(2.0);

// Connect to a mute controller: eleven attempts of 50 ms each, so about 550 ms until the
// operator is told that no controller answers.
void BM_Verbinden_ohne_Antwort(benchmark::State& state) {
    Programmverzeichnis_setzen(Ordner());
    ::setenv("ORVEXA_PORTS", (Ordner() + "ports").c_str(), 1);
    AufzeichnendeOberflaeche ui; // the error box of every attempt
    Oberflaeche_setzen(&ui);
    {
        SerielleSteuerung sim;
        if (!COM_registrieren(Portnummer, sim.Geraetepfad())) std::abort();
        sim.Stumm_schalten(true);
        TkoraCOM link;
        link.Init(Portnummer, 115200);
        for (auto _ : state) {
            try {
                link.Connect();
                state.SkipWithError("a mute controller was taken as connected");
                break;
            } catch (const Steuerungsfehler&) {
            }
        }
        link.UnInit();
    }
    Oberflaeche_setzen(nullptr);
    Protokoll_loeschen();
}
BENCHMARK(BM_Verbinden_ohne_Antwort)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_linie_pro_s > 0 && g_pty_pro_s > 0)
        std::printf("Link: %.0f exchanges/s, bare pty: %.0f exchanges/s, ratio link/pty: %.3f\n",
                    g_linie_pro_s, g_pty_pro_s, g_linie_pro_s / g_pty_pro_s);
    std::error_code ec;
    std::filesystem::remove_all(Ordner(), ec);
    return 0;
}
