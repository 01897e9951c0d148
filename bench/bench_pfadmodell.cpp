// The path of a 100,000-row position table: computed whole (a table loaded, the unit
// changed) and after one cell changed, near the start (the whole path after it moves), in
// the middle and at the end, and a report that changes nothing (the highlighted row).
//
//   bench_pfadmodell [rows] [repetitions]
#include "core/maschinenparameter.h"
#include "tables/pfadmodell.h"
#include "tables/tabelle.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
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

// Rows such as an operator makes them: outputs, x/y distances, a z move now and then,
// repeats. In steps the distances are whole numbers, as a converted table holds them.
void Fuellen(Positionstabelle& t, int zeilen, bool schritte) {
    t.TabelleLoeschen();
    t.ZeileHinzufuegen(zeilen - t.Zeilenzahl());
    const char* schalter[] = {"ON", "OFF", "-", "-"};
    for (int z = 1; z <= zeilen; ++z) {
        t.Zelle_setzen(z, 2, schalter[z % 4]);
        const std::string nachkomma = schritte ? "" : "." + std::to_string(z % 100);
        t.Zelle_setzen(z, 6, std::to_string(z % 100 - 50) + nachkomma);
        t.Zelle_setzen(z, 7, std::to_string(-(z % 25)) + (schritte ? "" : ".50"));
        t.Zelle_setzen(z, 8, z % 7 == 0 ? "-25" : (z % 7 == 1 ? "25" : "-"));
        t.Zelle_setzen(z, 10, std::to_string(z % 500));
        t.Zelle_setzen(z, 12, "1200");
        t.Zelle_setzen(z, 14, std::to_string(z % 3));
    }
}

void Zeigen(const char* was, const Messung& m) {
    std::printf("  %-44s best %9.4f ms   median %9.4f ms\n", was, m.bestes_ms, m.median_ms);
}

} // namespace

int main(int argc, char** argv) {
    const int zeilen = argc > 1 ? std::max(std::atoi(argv[1]), 2) : 100'000;
    const int wiederholungen = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 20;

    Maschinenparameter& p = Parametersatz();
    p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 4.0;
    p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;

    Positionstabelle t;
    std::printf("path of %d rows, %d repetitions each\n", zeilen, wiederholungen);

    for (const auto& [name, schritte, winkel] :
         {std::tuple{"millimetres", false, false}, std::tuple{"steps", true, false},
          std::tuple{"degrees (/WT)", false, true}}) {
        t.Schritteingabe = schritte;
        t.Modus.Winkel = winkel;
        Fuellen(t, zeilen, schritte);
        Pfadmodell pfad;
        std::printf("%s:\n", name);
        Zeigen("whole table", Messen(wiederholungen, [&] { pfad.Berechnen(t); }));
        std::printf("  %zu corners, %zu marks\n", pfad.Punkte().size(), pfad.Marken().size());

        int wert = 0;
        const auto aendern = [&](int zeile) {
            return Messen(wiederholungen, [&] {
                t.Zelle_setzen(zeile, 6, std::to_string(++wert % 90 + 1) + (schritte ? "" : ".25"));
                pfad.Zeilen_geaendert(t, zeile, zeile);
            });
        };
        Zeigen("one cell, row 1 (all after it move)", aendern(1));
        Zeigen("one cell, middle row", aendern(zeilen / 2));
        Zeigen("one cell, last row", aendern(zeilen));
        Zeigen("row reported, nothing changed",
               Messen(wiederholungen, [&] { pfad.Zeilen_geaendert(t, zeilen / 3, zeilen / 3); }));
        // Mostly the table's own work: it moves 100,000 rows twice.
        Zeigen("row inserted, removed at row 1 (table+path)", Messen(wiederholungen, [&] {
                   t.AktZeile = 1;
                   t.ZeileEinfuegen();
                   pfad.Zeilen_eingefuegt(t, 1, 1);
                   t.ZeileLoeschen();
                   pfad.Zeilen_entfernt(t, 1, 1);
               }));
    }
    return 0;
}
