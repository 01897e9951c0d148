// The table run through every real layer down to the simulated serial controller. The requests
// the controller received are the machine's view of the run.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "platform/ereignis.h"
#include "simumgebung.h"
#include "tables/tabelle.h"
#include "tables/tvekthread.h"
#include "tables/vektorausgabe.h"

#include <gmock/gmock.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;

// Records the cycles and rows it is shown; can give "z" when a given cycle begins.
class Beobachter : public Vektorausgabe_Beobachter {
public:
    void Zyklus_beginnt(int nummer) override {
        Merken("Zyklus " + std::to_string(nummer));
        if (lauf && nummer == z_bei_zyklus) lauf->Zyklen_abbrechen();
    }
    void Wiederholung_anzeigen(int zeile, const std::string& text) override {
        Merken("WH " + std::to_string(zeile) + ": " + text);
    }
    void Zyklen_anzeigen(int rest) override { Merken("Rest " + std::to_string(rest)); }
    void Laeuft(bool laeuft) override {
        if (!laeuft) fertig.Setzen();
    }

    Zeilen_t Eintraege() const {
        std::lock_guard lock(m_mutex);
        return m_eintraege;
    }

    Vektorausgabe* lauf = nullptr;
    int z_bei_zyklus = 0;
    Ereignis fertig;

private:
    void Merken(std::string text) {
        std::lock_guard lock(m_mutex);
        m_eintraege.push_back(std::move(text));
    }
    mutable std::mutex m_mutex;
    Zeilen_t m_eintraege;
};

class VektorausgabeSimulationTest : public SerielleSimulation {
protected:
    VektorausgabeSimulationTest() { portnummer = 3; }

    void SetUp() override {
        SerielleSimulation::SetUp();
        Achsen_einstellen(400);
        Maschinenparameter& p = Parametersatz();
        p.xRefNr = 1;
        p.yRefNr = 2;
        p.zRefNr = 3;
        p.uRefNr = 4;
        tabelle.Schritteingabe = true;
        beobachter.lauf = &lauf;
    }

    void Verbinden(double zeitskala = 0) {
        ASSERT_NO_FATAL_FAILURE(SerielleSimulation::Verbinden(zeitskala));
        // The E1 link waits for input B; high, it is seen at the first look.
        sim->Eingang_setzen('B', true);
        Zaehlung_neu();
    }

    void Zeile(std::initializer_list<std::pair<int, std::string>> zellen) {
        tabelle.ZeileHinzufuegen();
        for (const auto& [spalte, text] : zellen)
            ASSERT_TRUE(tabelle.Zelle_setzen(tabelle.Zeilenzahl(), spalte, text)) << text;
    }

    // Row 1: E1 link, outputs, speeds, ramp, x and z, a wait, two repetitions. Row 2 does
    // nothing. Row 3: back with u too, link off.
    void Tabelle_fuellen() {
        Zeile({{1, "ON"},
               {2, "ON"},
               {3, "OFF"},
               {6, "100"},
               {8, "50"},
               {10, "20"},
               {11, "300"},
               {12, "1500"},
               {13, "80"},
               {14, "2"}});
        Zeile({});
        Zeile({{1, "OFF"}, {2, "OFF"}, {5, "ON"}, {6, "-100"}, {7, "40"}, {8, "-50"}, {9, "20"}});
    }

    Laufergebnis Laufen(const Vektoreingaben& e) {
        lauf.Eingaben_setzen(e);
        lauf.StartBitBtn_Thread();
        return lauf.Ergebnis();
    }

    static Zeilen_t Verbinden_mit(Zeilen_t a, const Zeilen_t& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    Positionstabelle tabelle;
    Beobachter beobachter;
    Vektorausgabe lauf{tabelle, beobachter};
};

// What every run sends before its first cycle: outputs 1 to 3 off (type 5), then the
// initialisation without "/KORA": speeds, ramp, control signal, reference offsets and speed.
const Zeilen_t Vorlauf{"A1,0",  "A2,0", "A3,0",  "#S400", "#E0,400", "#E1,2000", "#E2,4000",
                       "#R100", "T1",   "#Ox,0", "#Oy,0", "#Oz,0",   "#E9,1000"};
// Reference cycle of x and z: start speed, reference speed, ramp, then x before z.
const Zeilen_t Referenz_xz{"#S400", "#E9,1000", "#R100", "$Hxz"};

// One execution of row 1 without z interpolation: link, outputs, speeds, two moves, the wait.
const Zeilen_t Zeile1_getrennt{"@IB",  "A1,1",    "A2,0",   "#S300", "#E1,1500",
                               "#R80", "L1,x100", "L1,z50", "W20"};
const Zeilen_t Zeile3_getrennt{"A1,0", "A4,1", "L1,x-100,y40", "L1,z-50", "L1,u20"};

TEST_F(VektorausgabeSimulationTest, DreiZyklenMitReferenzVorJedemUndZNachDemZweiten) {
    Verbinden();
    Tabelle_fuellen();
    beobachter.z_bei_zyklus = 2;
    Vektoreingaben e;
    e.Zyklen = 3;
    e.RefModus = 2;
    e.xReferenz = e.zReferenz = true;

    const Laufergebnis ergebnis = Laufen(e);

    // Per pass: the table's own set-up sends nothing on type 5 but the control signal; row 1
    // three times, row 2 nothing, row 3 once, then the link is released.
    Zeilen_t durchgang;
    const Zeilen_t kopf{"T1"};
    durchgang = kopf;
    for (int i = 0; i < 3; ++i)
        durchgang = Verbinden_mit(durchgang, Zeile1_getrennt);
    durchgang = Verbinden_mit(durchgang, Zeile3_getrennt);
    // "OFF" in the link column only releases the link; it does not wait for input B.

    Zeilen_t erwartet = Verbinden_mit(Vorlauf, Referenz_xz);
    erwartet = Verbinden_mit(erwartet, durchgang);
    // Reference again before the second cycle; "z" during it leaves out the third.
    erwartet = Verbinden_mit(erwartet, Referenz_xz);
    erwartet = Verbinden_mit(erwartet, durchgang);
    EXPECT_THAT(Neue_Anfragen(), ::testing::ElementsAreArray(erwartet));

    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_FALSE(ergebnis.Abgebrochen);
    EXPECT_EQ(ergebnis.Durchlaeufe, 2);
    EXPECT_EQ(ergebnis.Zyklen, 1);
    // Back where each pass began: every pass returns to its start (after the reference).
    EXPECT_EQ(sim->Position('y'), 2 * 40);
    EXPECT_EQ(sim->Position('u'), 2 * 20);
    const Zeilen_t eintraege = beobachter.Eintraege();
    const Zeilen_t erster_zyklus(eintraege.begin(), eintraege.begin() + 5);
    EXPECT_EQ(erster_zyklus,
              (Zeilen_t{"Zyklus 1", "WH 1: 1 von 2", "WH 1: 2 von 2", "WH 1: ", "Rest 2"}));
    EXPECT_EQ(std::count(eintraege.begin(), eintraege.end(), "Zyklus 3"), 0);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(VektorausgabeSimulationTest, MitZInterpolationFahrenXYZGemeinsam) {
    Verbinden();
    Tabelle_fuellen();
    Vektoreingaben e;
    e.Zyklen = 1;
    e.zInterpolieren = true;
    e.RefModus = 1;
    e.xReferenz = true;

    const Laufergebnis ergebnis = Laufen(e);

    Zeilen_t erwartet = Verbinden_mit(Vorlauf, {"#S400", "#E9,1000", "#R100", "$Hx", "T1"});
    const Zeilen_t zeile1{"@IB", "A1,1", "A2,0", "#S300", "#E1,1500", "#R80", "L1,x100,z50", "W20"};
    for (int i = 0; i < 3; ++i)
        erwartet = Verbinden_mit(erwartet, zeile1);
    erwartet = Verbinden_mit(erwartet, {"A1,0", "A4,1", "L1,x-100,y40,z-50", "L1,u20"});
    EXPECT_THAT(Neue_Anfragen(), ::testing::ElementsAreArray(erwartet));
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    EXPECT_EQ(sim->Position('z'), 100);
}

TEST_F(VektorausgabeSimulationTest, EscMittenInDerFahrtHaeltDieAchsenAnUndEndetMitAbbruch) {
    // At the work speed of 2000 steps/s this move takes about half a second.
    Verbinden(1.0);
    Zeile({{6, "1000"}});
    Zeile({{6, "500"}, {10, "100"}});
    Vektoreingaben e;
    e.Zyklen = 5;

    lauf.Eingaben_setzen(e);
    TVekThread arbeiter(lauf);
    arbeiter.Starten();
    ASSERT_TRUE(arbeiter.Befehl_geben(TVekThread::Befehl_Lauf));

    // Esc from another thread once the controller has the move.
    std::atomic<bool> gesehen{false};
    std::thread fenster([&] {
        for (std::size_t n = basis + 1; sim->Warten_auf_Anfragen(n, 5000); ++n) {
            if (sim->Anfragen()[n - 1].starts_with("L")) {
                gesehen = true;
                lauf.Abbrechen();
                return;
            }
        }
    });
    ASSERT_EQ(beobachter.fertig.Warten(10000), Warteergebnis::signalisiert);
    fenster.join();
    ASSERT_TRUE(gesehen);

    const Laufergebnis ergebnis = lauf.Ergebnis();
    EXPECT_EQ(ergebnis.Fehlercode, THROW_ABORT);
    EXPECT_TRUE(ergebnis.Abgebrochen);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    // The move was stopped, and nothing of the rest of the table followed.
    EXPECT_EQ(Neue_Anfragen(), Verbinden_mit(Vorlauf, {"T1", "L1,x1000", "@B"}));
    EXPECT_FALSE(sim->Bewegung_laeuft());
    EXPECT_LT(sim->Position('x'), 1000);
    // The operator's stop is only logged, and spent: the next action is not aborted.
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(Steuerung().Abbruch);
    const auto protokoll = Protokoll();
    EXPECT_TRUE(std::any_of(protokoll.begin(), protokoll.end(), [](const std::string& z) {
        return z.find("2000") != std::string::npos;
    }));
    Startgeschwindigkeit_einstellen(500);
    EXPECT_EQ(Neue_Anfragen().back(), "#S500");
    EXPECT_TRUE(arbeiter.Beenden(false));
}

} // namespace
} // namespace orvexa::test
