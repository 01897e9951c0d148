// Cost of one protocol-log line (open, append, close), written from one and from several
// threads, beside the cost of the control-character rendering alone.
#include "core/protokoll.h"
#include "platform/programmverzeichnis.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace orvexa;

namespace {

std::string Ordner() {
    static const std::string ordner = [] {
        std::string muster =
            (std::filesystem::temp_directory_path() / "orvexa-bench-XXXXXX").string();
        if (!mkdtemp(muster.data())) std::abort();
        return muster + "/";
    }();
    return ordner;
}

void BM_Protokollzeile(benchmark::State& state) {
    Programmverzeichnis_setzen(Ordner());
    const std::string zeile = "Vektorfahrt_ausfuehren(1, 1,   100,     0,   -50, 1)";
    for (auto _ : state)
        Protokoll_schreiben(32, zeile);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) Protokoll_loeschen();
}
BENCHMARK(BM_Protokollzeile)->Threads(1)->Threads(4)->UseRealTime();

void BM_Steuerzeichen_ersetzen(benchmark::State& state) {
    const std::string anfrage = "L1,x100,y-200,z50\r\x06\x15";
    for (auto _ : state)
        benchmark::DoNotOptimize(Steuerzeichen_ersetzen(anfrage));
}
BENCHMARK(BM_Steuerzeichen_ersetzen);

} // namespace

BENCHMARK_MAIN();
