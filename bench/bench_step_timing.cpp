// Step timing of the parallel-port motion thread on the virtual machine: moves of 20,000 steps
// at fixed rates, measured from the machine's write time stamps. Prints one table with and one
// without real-time scheduling (where the system grants it).

#include "drivers/kora_lpt.h"
#include "platform/oberflaeche.h"
#include "virtuellemaschine.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace orvexa {
namespace {

constexpr uint16_t Basis = 0x378;
constexpr int32_t Schritte = 20'000;
constexpr int32_t Raten[] = {1'000, 5'000, 12'000, 24'000};

// Beeps of late cycles would otherwise sleep in the headless interface.
class StilleOberflaeche : public KopfloseOberflaeche {
public:
    void Piepton(int, int) override {}
};

int64_t Prozesszeit_ns() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double Quantil(std::vector<int64_t> werte, double q) {
    if (werte.empty()) return 0;
    const auto i = static_cast<std::size_t>(q * static_cast<double>(werte.size() - 1));
    std::nth_element(werte.begin(), werte.begin() + static_cast<std::ptrdiff_t>(i), werte.end());
    return static_cast<double>(werte[i]);
}

void Messreihe(bool echtzeit) {
    Kora_lpt::Echtzeit_erlauben(echtzeit);
    auto vm = std::make_shared<VirtuelleMaschine>(Basis);
    vm->Modul_einstellen(7);
    vm->Protokollgrenze_setzen(4 * Schritte);
    Kora_lpt lpt{std::make_unique<Maschinenanschluss>(vm)};
    if (!lpt.lpt_Initialisieren() || !lpt.lpt_Adresse_setzen("0x378")) {
        std::printf("port not available\n");
        return;
    }
    // Above the default 12000 so the last rate is allowed; the 4 us pulse stays.
    lpt.lpt_Grenzwerte(30'000, Kora_lpt::Standard_Pulsteiler);

    std::printf("\nreal-time scheduling %s: %s\n", echtzeit ? "requested" : "not requested",
                lpt.Echtzeit() ? "SCHED_FIFO granted" : "normal priority");
    std::printf("%7s %9s %9s %9s %9s %9s %8s %9s %9s %9s\n", "steps/s", "median", "p99", "p99.9",
                "max", "min pulse", "late%", "work avg", "work max", "cpu/step");
    std::printf("%7s %9s %9s %9s %9s %9s %8s %9s %9s %9s\n", "", "us", "us", "us", "us", "us",
                ">25us", "us", "us", "us");

    for (int32_t rate : Raten) {
        vm->Zuruecksetzen();
        const int64_t cpu_vorher = Prozesszeit_ns();
        const Fahrtergebnis ergebnis = lpt.lpt_Vektorfahrt(1, Schritte, 0, 0, rate, rate, 0);
        const int64_t cpu = Prozesszeit_ns() - cpu_vorher;
        if (ergebnis != Fahrtergebnis::fertig) {
            std::printf("%7d move refused or aborted\n", rate);
            continue;
        }

        std::vector<int64_t> flanken;
        uint8_t alt = 0;
        for (const auto& e : vm->Schreibprotokoll()) {
            if (e.adresse != Basis) continue;
            if (!(alt & 0x02) && (e.wert & 0x02)) flanken.push_back(e.ns);
            alt = e.wert;
        }
        const int64_t ideal = 1'000'000'000 / rate;
        std::vector<int64_t> abweichung;
        int64_t spaet = 0;
        for (std::size_t i = 1; i < flanken.size(); ++i) {
            const int64_t d = flanken[i] - flanken[i - 1] - ideal;
            abweichung.push_back(d < 0 ? -d : d);
            if (d > 25'000) ++spaet;
        }
        const Fahrtstatistik st = lpt.Letzte_Fahrt();
        const double n = static_cast<double>(std::max<std::size_t>(abweichung.size(), 1));
        std::printf("%7d %9.2f %9.2f %9.2f %9.2f %9.2f %8.3f %9.2f %9.2f %9.2f\n", rate,
                    Quantil(abweichung, 0.5) / 1e3, Quantil(abweichung, 0.99) / 1e3,
                    Quantil(abweichung, 0.999) / 1e3, Quantil(abweichung, 1.0) / 1e3,
                    static_cast<double>(vm->Kuerzester_Schrittpuls_ns()) / 1e3,
                    100.0 * static_cast<double>(spaet) / n,
                    st.zyklen ? static_cast<double>(st.arbeit_ns_summe) /
                                    static_cast<double>(st.zyklen) / 1e3
                              : 0.0,
                    static_cast<double>(st.arbeit_ns_max) / 1e3,
                    static_cast<double>(cpu) / Schritte / 1e3);
        if (flanken.size() != static_cast<std::size_t>(Schritte) || vm->Verworfene_Eintraege())
            std::printf("        (%zu edges recorded, %zu dropped)\n", flanken.size(),
                        vm->Verworfene_Eintraege());
    }
    lpt.lpt_Beenden();
}

} // namespace
} // namespace orvexa

int main() {
    orvexa::StilleOberflaeche ui;
    orvexa::Oberflaeche_setzen(&ui);
    std::printf("step period deviation from 1/rate, 20000 steps per move, no ramp\n");
    orvexa::Messreihe(false);
    orvexa::Messreihe(true);
    orvexa::Oberflaeche_setzen(nullptr);
    return 0;
}
