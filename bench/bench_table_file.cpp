// Loading and saving a 100,000-row position table beside a plain line-by-line read
// (std::getline into a vector of lines) and write (std::ofstream, one line at a time) of the
// same file. Saving goes through a temporary file with fsync and a rename; the plain write
// is shown with and without fsync so that the cost of the safe write can be told apart.
//
//   bench_table_file [rows] [repetitions]
#include "core/maschinenparameter.h"
#include "tables/tabelle.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvexa;

namespace {

struct Messung {
    double bestes_ms;
    double median_ms;
};

Messung Messen(int wiederholungen, const std::function<void()>& f) {
    std::vector<double> zeiten;
    for (int i = 0; i < wiederholungen; ++i) {
        const auto anfang = std::chrono::steady_clock::now();
        f();
        const auto ende = std::chrono::steady_clock::now();
        zeiten.push_back(std::chrono::duration<double, std::milli>(ende - anfang).count());
    }
    std::sort(zeiten.begin(), zeiten.end());
    return {zeiten.front(), zeiten[zeiten.size() / 2]};
}

// Rows such as an operator makes them: outputs, distances, speeds, now and then a long value.
void Fuellen(Positionstabelle& t, int zeilen) {
    t.TabelleLoeschen();
    t.ZeileHinzufuegen(zeilen - t.Zeilenzahl());
    const char* schalter[] = {"ON", "OFF", "-"};
    for (int z = 1; z <= zeilen; ++z) {
        t.Zelle_setzen(z, 1, schalter[z % 3]);
        t.Zelle_setzen(z, 2, schalter[(z / 3) % 3]);
        t.Zelle_setzen(z, 6, std::to_string(z % 1000) + "." + std::to_string(z % 100));
        t.Zelle_setzen(z, 7, std::to_string(-(z % 250)) + ".50");
        t.Zelle_setzen(z, 8, z % 7 == 0 ? "1234567.125" : "0");
        t.Zelle_setzen(z, 10, std::to_string(z % 500));
        t.Zelle_setzen(z, 11, "400");
        t.Zelle_setzen(z, 12, "1200");
        t.Zelle_setzen(z, 13, "100");
        t.Zelle_setzen(z, 14, std::to_string(z % 4));
    }
}

} // namespace

int main(int argc, char** argv) {
    const int zeilen = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100'000;
    const int wiederholungen = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    std::string ordner = (std::filesystem::temp_directory_path() / "orvexa-bench-XXXXXX").string();
    if (!mkdtemp(ordner.data())) return 1;
    const std::string pfad = ordner + "/tabelle.edt";
    const std::string kopie = ordner + "/kopie.edt";

    Parameter_Standardwerte();
    Positionstabelle t;
    t.DateiName = pfad;
    Fuellen(t, zeilen);
    if (!t.TabelleSpeichern()) return 1;
    const auto bytes = std::filesystem::file_size(pfad);

    std::vector<std::string> zeilen_gelesen;
    const Messung lesen = Messen(wiederholungen, [&] {
        std::ifstream datei(pfad, std::ios::binary);
        std::vector<std::string> v;
        std::string zeile;
        while (std::getline(datei, zeile))
            v.push_back(zeile);
        zeilen_gelesen = std::move(v);
    });

    Positionstabelle geladen;
    geladen.DateiName = pfad;
    const Messung laden = Messen(wiederholungen, [&] {
        if (!geladen.TabelleLaden()) std::abort();
    });
    if (geladen.Zeilenzahl() != zeilen) std::abort();

    const Messung schreiben = Messen(wiederholungen, [&] {
        std::ofstream datei(kopie, std::ios::binary | std::ios::trunc);
        for (const std::string& zeile : zeilen_gelesen)
            datei << zeile << '\n';
    });

    const Messung schreiben_fsync = Messen(wiederholungen, [&] {
        {
            std::ofstream datei(kopie, std::ios::binary | std::ios::trunc);
            for (const std::string& zeile : zeilen_gelesen)
                datei << zeile << '\n';
        }
        std::FILE* f = std::fopen(kopie.c_str(), "rb");
        if (f) {
            ::fsync(::fileno(f));
            std::fclose(f);
        }
    });

    geladen.DateiName = kopie;
    const Messung speichern = Messen(wiederholungen, [&] {
        if (!geladen.TabelleSpeichern()) std::abort();
    });
    if (std::filesystem::file_size(kopie) != bytes) std::abort();

    std::printf("%d rows, %ju bytes, best/median of %d runs\n\n", zeilen,
                static_cast<std::uintmax_t>(bytes), wiederholungen);
    // Ratios of best to best and of median to median; on a busy machine the best times are
    // the steadier figure.
    std::printf("%-38s %9s %9s %10s %10s\n", "operation", "best ms", "median ms", "ratio best",
                "ratio med");
    auto zeile = [](const char* name, Messung m, const Messung* bezug) {
        if (bezug)
            std::printf("%-38s %9.2f %9.2f %9.2fx %9.2fx\n", name, m.bestes_ms, m.median_ms,
                        m.bestes_ms / bezug->bestes_ms, m.median_ms / bezug->median_ms);
        else
            std::printf("%-38s %9.2f %9.2f\n", name, m.bestes_ms, m.median_ms);
    };
    zeile("plain read (getline)", lesen, nullptr);
    zeile("TabelleLaden", laden, &lesen);
    zeile("plain write (ofstream)", schreiben, nullptr);
    zeile("plain write + fsync", schreiben_fsync, nullptr);
    zeile("TabelleSpeichern vs plain write", speichern, &schreiben);
    zeile("TabelleSpeichern vs plain write+fsync", speichern, &schreiben_fsync);

    std::filesystem::remove_all(ordner);
    return 0;
}
