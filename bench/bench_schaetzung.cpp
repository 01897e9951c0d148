// The run-time estimate against the measured run: a few tables on the simulated serial
// controller at time scale 1 and on the simulated parallel card (Modul 4, the virtual
// machine) in real time, each run through the vector output as orvexa-cli runs it. Prints
// estimate, measured time and their difference per table.
//
// Usage: bench_schaetzung [serial|card|all]   (default all)

#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/verbindungsablauf.h"
#include "drivers/kora_lpt.h"
#include "drivers/standardtreiber.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "simulation.h"
#include "tables/laufzeitschaetzung.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace orvexa;

namespace {

using Uhr = std::chrono::steady_clock;

class StilleOberflaeche : public KopfloseOberflaeche {
public:
    void Piepton(int, int) override {}
};

struct Zeile {
    const char* x = "-";
    const char* y = "-";
    const char* z = "-";
    const char* warten = "-";
    const char* start = "-";
    const char* arbeit = "-";
    const char* rampe = "-";
    const char* wh = "-";
};

struct Fall {
    const char* name;
    std::vector<Zeile> zeilen;
    int32_t zyklen = 1;
    int32_t refmodus = 0;
};

Positionstabelle Tabelle(const Fall& f) {
    Positionstabelle t;
    t.Schritteingabe = true;
    t.ZeileHinzufuegen(static_cast<int>(f.zeilen.size()));
    int r = 1;
    for (const Zeile& z : f.zeilen) {
        t.Zelle_setzen(r, 6, z.x);
        t.Zelle_setzen(r, 7, z.y);
        t.Zelle_setzen(r, 8, z.z);
        t.Zelle_setzen(r, 10, z.warten);
        t.Zelle_setzen(r, 11, z.start);
        t.Zelle_setzen(r, 12, z.arbeit);
        t.Zelle_setzen(r, 13, z.rampe);
        t.Zelle_setzen(r, 14, z.wh);
        ++r;
    }
    return t;
}

bool Verbinden() {
    Standardtreiber_einrichten();
    Serielle_Linie_erzeugen();
    return Steuerung_verbinden().Verbunden;
}

void Trennen() {
    try {
        Steuerung_schliessen();
    } catch (...) {
    }
    Steuerungsmodule_freigeben();
}

void Messen(const Fall& f) {
    const Positionstabelle tabelle = Tabelle(f);
    Vektoreingaben e;
    e.Zyklen = f.zyklen;
    e.RefModus = f.refmodus;
    e.xReferenz = e.yReferenz = f.refmodus > 0;
    const Laufschaetzung s = Lauf_schaetzen(tabelle, e);

    Vektorausgabe lauf(tabelle);
    lauf.Eingaben_setzen(e);
    // The estimate takes the axes where a reference run leaves them; the cases before this
    // one left them elsewhere.
    try {
        InitializeSteuerung(false);
        lauf.Vek_Referenzfahrt(true, true, true, false);
    } catch (const std::exception&) {
        std::printf("  %-34s reference run before it failed\n", f.name);
        return;
    }
    const auto beginn = Uhr::now();
    lauf.StartBitBtn_Thread();
    const double gemessen = std::chrono::duration<double>(Uhr::now() - beginn).count();
    const Laufergebnis ergebnis = lauf.Ergebnis();
    const double geschaetzt = s.Gesamt_s();
    std::printf("  %-34s %10.3f %10.3f %+8.2f %%%s\n", f.name, geschaetzt, gemessen,
                100.0 * (geschaetzt - gemessen) / gemessen,
                ergebnis.Fehlercode != 0 || ergebnis.Abgebrochen ? "  (run failed)" : "");
    std::fflush(stdout);
}

void Kopf(const char* titel) {
    std::printf("\n%s\n  %-34s %10s %10s %9s\n", titel, "table", "estimate/s", "measured/s",
                "diff");
}

Maschinenparameter Parameter(int32_t modul) {
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.Modul = modul;
    p.ComPort = 9;
    p.Baudrate = 115200;
    p.LPTAdresse = 0x378;
    p.Startfreq = 400;
    p.Arbeitsfreq = 2000;
    p.Rampenlaenge = 200;
    p.RefFreq = 1000;
    return p;
}

void Seriell() {
    Parametersatz() = Parameter(5);
    Simulationsoptionen o;
    o.Zeitskala = 1;
    std::string fehler;
    const auto sim = Simulation_starten(5, 9, o, &fehler);
    if (!sim || !Verbinden()) {
        std::printf("serial simulator not available: %s\n", fehler.c_str());
        return;
    }
    Kopf("Modul 5 on the simulated serial controller, time scale 1");
    const std::vector<Fall> faelle{
        {"one long move (trapezoid)", {{.x = "20000"}}},
        {"short moves (triangles) x 40",
         {{.x = "150", .y = "-100"}, {.x = "-150", .y = "100"}},
         20},
        {"speeds per row, waits",
         {{.x = "3000", .warten = "500", .start = "200", .arbeit = "1000", .rampe = "300"},
          {.y = "4000", .z = "500", .warten = "250", .arbeit = "4000", .rampe = "100"}},
         2},
        {"WH repeats", {{.x = "2000", .wh = "3"}, {.x = "-8000", .warten = "100"}}},
        {"reference before every cycle", {{.x = "4000", .y = "2000"}}, 2, 2},
        {"reference before the first cycle", {{.x = "4000", .y = "2000"}}, 2, 1},
        {"40 rows of 1-step moves (overhead)", {{.x = "1"}, {.x = "-1"}}, 20},
    };
    for (const Fall& f : faelle)
        Messen(f);
    Trennen();
}

void Karte() {
    Parametersatz() = Parameter(4);
    std::string fehler;
    const auto sim = Simulation_starten(4, 0, {}, &fehler);
    if (!sim || !Verbinden()) {
        std::printf("virtual machine not available: %s\n", fehler.c_str());
        return;
    }
    Kopf("Modul 4 on the virtual machine (parallel card), real time");
    const std::vector<Fall> faelle{
        {"one long move", {{.x = "12000", .arbeit = "4000"}}},
        // Below 3333 steps/s the motion thread sleeps in each period; at higher rates it
        // only busy-waits and the kernel's limit on real-time threads holds it up.
        {"one long move, 3000 steps/s", {{.x = "9000", .arbeit = "3000"}}},
        {"short moves x 40", {{.x = "150", .y = "-100"}, {.x = "-150", .y = "100"}}, 20},
        {"speeds per row, waits",
         {{.x = "3000", .warten = "500", .start = "200", .arbeit = "1000", .rampe = "300"},
          {.y = "8000", .z = "500", .warten = "250", .arbeit = "8000", .rampe = "100"}},
         2},
        {"WH repeats", {{.x = "2000", .wh = "3"}, {.x = "-8000", .warten = "100"}}},
        {"reference before every cycle", {{.x = "4000", .y = "2000"}}, 2, 2},
        {"40 rows of 1-step moves (overhead)", {{.x = "1"}, {.x = "-1"}}, 20},
    };
    for (const Fall& f : faelle)
        Messen(f);
    Trennen();
}

} // namespace

int main(int argc, char** argv) {
    const std::string was = argc > 1 ? argv[1] : "all";
    StilleOberflaeche ui;
    Oberflaeche_setzen(&ui);
    std::string ordner =
        (std::filesystem::temp_directory_path() / "orvexa-schaetzung-XXXXXX").string();
    if (!mkdtemp(ordner.data())) return 1;
    Programmverzeichnis_setzen(ordner + "/");
    ::setenv("ORVEXA_PORTS", (ordner + "/ports").c_str(), 1);
    std::filesystem::create_directories(ordner + "/ports");
    if (was == "serial" || was == "all") Seriell();
    if (was == "ref") {
        Parametersatz() = Parameter(5);
        Simulationsoptionen o;
        o.Zeitskala = 1;
        const auto sim = Simulation_starten(5, 9, o);
        if (sim && Verbinden()) {
            Messen({"reference first", {{.x = "4000"}}, 1, 1});
            Messen({"reference each", {{.x = "4000"}}, 2, 2});
        }
        Trennen();
    }
    if (was == "card" || was == "all") Karte();
    Oberflaeche_setzen(nullptr);
    if (std::getenv("ORVEXA_BENCH_BEHALTEN"))
        std::printf("kept: %s\n", ordner.c_str());
    else
        std::filesystem::remove_all(ordner);
    return 0;
}
