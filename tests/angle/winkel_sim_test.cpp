// The angle approach through every real layer down to both simulators: the KXCU on one
// pseudo-terminal (command layer -> TKxcu -> termios -> SpeicherndeSteuerung) and the position
// display reading its x axis on another (TWT_ND261DM -> termios -> Positionsanzeige), connected
// as the main window connects in the angle-positioning mode.

#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "angle/wt_parameter.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/verbindungsablauf.h"
#include "drivers/standardtreiber.h"
#include "platform/portverzeichnis.h"
#include "positionsanzeige.h"
#include "simulation.h"
#include "speicherndesteuerung.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>

namespace orvexa::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

WT_Parameter Winkelparameter() {
    WT_Parameter p;
    p.KXCU_Com = "COM3";
    p.ND261_Com = "COM2";
    p.Umrechnungsfaktor = 200;
    p.WT_Startfreq = 400;
    p.WT_Endfreq = 2000;
    p.WT_Reffreq = 1000;
    p.WT_Rampe = 100;
    p.uebersteuern = 0.5;
    p.annaehern = 5;
    p.schrittweise = 20;
    return p;
}

class WinkelSimulation : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
        WT_Maschinenparameter_setzen(p, Parametersatz());
        Standardtreiber_einrichten();
    }
    void TearDown() override {
        Steuerung_schliessen();
        anzeige.ND261_schliessen();
        Steuerungsmodule_freigeben();
        simulation.reset();
        kxcu.reset();
        nd261.reset();
        ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    bool Verbinden() {
        Verbindungsschritte schritte;
        schritte.Anzeige_oeffnen = [this] { return anzeige.ND261_oeffnen(p.ND261_Com, "4800"); };
        return Steuerung_verbinden(schritte).Verbunden;
    }

    // The two simulators made here, for the faults.
    void Selbst_starten() {
        SpeicherndeSteuerung::Optionen o;
        o.Modul = WT_Modul();
        o.Vorgabe_Startfreq = 400;
        o.Vorgabegeschwindigkeit = 2000;
        kxcu = std::make_unique<SpeicherndeSteuerung>(o);
        Positionsanzeige::Optionen a;
        a.Schritte = [k = kxcu.get()] { return k->Position('x'); };
        nd261 = std::make_unique<Positionsanzeige>(a);
        ASSERT_TRUE(COM_registrieren(3, kxcu->Geraetepfad()));
        ASSERT_TRUE(COM_registrieren(2, nd261->Geraetepfad()));
        ASSERT_TRUE(Verbinden());
    }

    // The angles the display gave, in order.
    std::vector<double> Lesungen() const {
        std::vector<double> w;
        for (const std::string& z : transkript.Zeilen())
            if (z.starts_with("IstWinkel: ")) w.push_back(std::stod(z.substr(11)));
        return w;
    }

    WT_Parameter p = Winkelparameter();
    Winkeltranskript transkript;
    TWT_ND261DM anzeige{transkript};
    std::atomic<bool> abbruch{false};
    KXCU_Winkelachse achse{anzeige};
    Winkelpositionierung winkel{p, transkript, achse, &abbruch};
    std::unique_ptr<Simulation> simulation;
    std::unique_ptr<SpeicherndeSteuerung> kxcu;
    std::unique_ptr<Positionsanzeige> nd261;
};

TEST_F(WinkelSimulation, ErreichtDenWinkelVonObenInWenigenZyklen) {
    Simulationsoptionen o;
    o.Zeitskala = 0;
    o.Eigener_Portordner = false;
    std::string fehler;
    simulation = Winkelsimulation_starten(p, o, &fehler);
    ASSERT_TRUE(simulation) << fehler;
    EXPECT_THAT(simulation->Beschreibung(), HasSubstr("als COM3"));
    ASSERT_TRUE(Verbinden());

    for (const double soll : {10.0, 4.25, 123.456}) {
        int32_t code = -7;
        ASSERT_TRUE(winkel.Test_anfahren(std::to_string(soll), ordner.Datei("test.txt"), &code))
            << soll;
        EXPECT_EQ(code, 0);
        const std::vector<double> w = Lesungen();
        ASSERT_GE(w.size(), 3u);
        // Reached within one step above the target, coming down to it every time after
        // the overshoot: the readings after the overshoot only fall.
        EXPECT_GE(w.back(), soll);
        EXPECT_LE(w.back(), soll + 1.0 / p.Umrechnungsfaktor);
        EXPECT_TRUE(std::is_sorted(w.begin() + 1, w.end(), std::greater<>())) << soll;
        EXPECT_LT(w.size(), 2u + static_cast<std::size_t>(p.schrittweise));
        EXPECT_EQ(transkript.Zeilen().back(), "Winkel wurde eingestellt!");
    }
    EXPECT_THAT(Zeilen(Datei_lesen(ordner.Datei("test.txt"))), Contains("SollWinkel: 123.456"));
}

TEST_F(WinkelSimulation, UnlesbareAnzeigeBewegtNichts) {
    Selbst_starten();
    const std::size_t vorher = kxcu->Anfragen().size();
    nd261->Muell_senden(true);
    int32_t code = 0;
    EXPECT_FALSE(winkel.Test_anfahren("10", ordner.Datei("test.txt"), &code));
    EXPECT_EQ(code, ND261_MESSWERT_ERROR);
    EXPECT_EQ(kxcu->Anfragen().size(), vorher);
    EXPECT_THAT(transkript.Zeilen(), Contains("Ein Fehler ist aufgetreten!"));
}

TEST_F(WinkelSimulation, PortsMuessenVerschiedenUndGueltigSein) {
    std::string fehler;
    p.ND261_Com = "COM3";
    EXPECT_FALSE(Winkelsimulation_starten(p, {}, &fehler));
    EXPECT_THAT(fehler, HasSubstr("beide an COM3"));
    p.ND261_Com = "";
    EXPECT_FALSE(Winkelsimulation_starten(p, {}, &fehler));
    EXPECT_THAT(fehler, HasSubstr("COM1..COM63"));
}

} // namespace
} // namespace orvexa::test
