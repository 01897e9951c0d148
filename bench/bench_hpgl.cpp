// Reading a 50 MB plot file of PU/PD pairs and circles beside a plain read of the same bytes
// (read() in 1 MiB blocks into a buffer of the file's size). Both in one run, so that the
// ratio compares like with like; the goal is a reader at 50 MB/s or more and no more than 5×
// the plain read.
//
//   bench_hpgl [--mb=N] [Google Benchmark options]
#include "dispensing/hpgldatamodule.h"
#include "platform/oberflaeche.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

using namespace orvexa;

namespace {

std::string g_pfad;
std::size_t g_bytes = 0;

void Zahl(std::string& s, long v) {
    char puffer[24];
    const auto e = std::to_chars(puffer, puffer + sizeof puffer, v);
    s.append(puffer, e.ptr);
}

// Pen moves over a 2.5 m square in CAD fashion: numbers of 1 to 6 digits, now and then a
// circle or an arc, a line end every command.
void Plotdatei_schreiben(const std::string& pfad, std::size_t mindestgroesse) {
    std::string text = "IN;SP1;\n";
    text.reserve(mindestgroesse + 256);
    for (long i = 0; text.size() < mindestgroesse; ++i) {
        const long x = (i * 7919) % 100000, y = (i * 104729) % 100000;
        text += "PU";
        Zahl(text, x);
        text += ',';
        Zahl(text, y);
        text += ";PD";
        Zahl(text, x + 400);
        text += ',';
        Zahl(text, y);
        text += ',';
        Zahl(text, x + 400);
        text += ',';
        Zahl(text, y + i % 1000);
        text += ";\n";
        if (i % 64 == 0) {
            text += "CI";
            Zahl(text, 10 + i % 200);
            text += ";\n";
        } else if (i % 64 == 32) {
            text += "AA";
            Zahl(text, x);
            text += ',';
            Zahl(text, y);
            text += ",-135.5;\n";
        }
    }
    text += "PU;\n";
    std::ofstream(pfad, std::ios::binary | std::ios::trunc) << text;
}

void BM_Plain_read(benchmark::State& state) {
    for (auto _ : state) {
        const int fd = ::open(g_pfad.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::abort();
        std::unique_ptr<char[]> puffer(new char[g_bytes + 1]);
        std::size_t gelesen = 0;
        for (;;) {
            const ssize_t n = ::read(fd, puffer.get() + gelesen,
                                     std::min<std::size_t>(1 << 20, g_bytes + 1 - gelesen));
            if (n <= 0) break;
            gelesen += static_cast<std::size_t>(n);
        }
        ::close(fd);
        if (gelesen != g_bytes) std::abort();
        benchmark::DoNotOptimize(puffer.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

// frisch: a new module for every pass, so the table's memory is taken and filled anew (the
// preview's first read); otherwise one module for all passes, as the Doming run reads its file
// once per part.
void BM_HPGL_Parser(benchmark::State& state, bool frisch) {
    AufzeichnendeOberflaeche ui;
    Oberflaeche_setzen(&ui);
    static THPGLDataModule bleibend;
    std::size_t zeilen = 0;
    for (auto _ : state) {
        std::unique_ptr<THPGLDataModule> neu;
        if (frisch) neu = std::make_unique<THPGLDataModule>();
        THPGLDataModule& modul = frisch ? *neu : bleibend;
        if (modul.HPGL_Parser(g_pfad) != THPGLDataModule::Ergebnis::gelesen) std::abort();
        benchmark::DoNotOptimize(modul.Tabelle().data());
        zeilen = modul.Tabelle().size();
        state.PauseTiming(); // freeing the table is not part of the read
        neu.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
    state.counters["rows"] = static_cast<double>(zeilen);
    Oberflaeche_setzen(nullptr);
}

std::map<std::string, double> g_bestes; // seconds per pass, by benchmark

// Records the fastest pass of each benchmark for the ratios printed at the end.
class Berichter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            const double s = r.real_accumulated_time / static_cast<double>(r.iterations);
            const std::string name = r.run_name.function_name + r.run_name.args;
            auto [it, neu] = g_bestes.emplace(name, s);
            if (!neu && s < it->second) it->second = s;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(BM_Plain_read)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_HPGL_Parser, fresh_module, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_HPGL_Parser, reused_module, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);

int main(int argc, char** argv) {
    std::size_t mb = 50;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--mb=", 5) == 0) mb = std::max(1, std::atoi(argv[i] + 5));

    std::string ordner = (std::filesystem::temp_directory_path() / "orvexa-bench-XXXXXX").string();
    if (!mkdtemp(ordner.data())) return 1;
    g_pfad = ordner + "/kontur.plt";
    Plotdatei_schreiben(g_pfad, mb << 20);
    g_bytes = std::filesystem::file_size(g_pfad);

    std::vector<char*> args;
    for (int i = 0; i < argc; ++i)
        if (std::strncmp(argv[i], "--mb=", 5) != 0) args.push_back(argv[i]);
    int anzahl = static_cast<int>(args.size());
    benchmark::Initialize(&anzahl, args.data());
    Berichter berichter;
    benchmark::RunSpecifiedBenchmarks(&berichter);
    benchmark::Shutdown();

    const auto lesen = g_bestes.find("BM_Plain_read");
    if (lesen != g_bestes.end()) {
        const double mb = static_cast<double>(g_bytes) / (1024.0 * 1024.0);
        std::printf("\n%zu bytes, best pass of each:\n", g_bytes);
        for (const auto& [name, s] : g_bestes)
            std::printf("  %-34s %8.1f ms %8.0f MB/s %7.2fx plain read\n", name.c_str(), s * 1e3,
                        mb / s, s / lesen->second);
    }
    std::filesystem::remove_all(ordner);
    return 0;
}
