// The manual jog through every real layer down to a simulated serial controller: command layer
// -> KoraBefehlssatz -> TkoraCOM -> pseudo-terminal -> SerielleSteuerung. The requests the
// controller received and the positions it holds are the machine's view.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/standardtreiber.h"
#include "motion/manuellefahrt.h"
#include "motion/manuellefahrt_thread.h"
#include "platform/ereignis.h"
#include "platform/portverzeichnis.h"
#include "seriellesteuerung.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using Zeilen_t = std::vector<std::string>;

constexpr int Portnummer = 4;

class Beobachter : public ManuelleFahrt_Beobachter {
public:
    void Bewegung(bool laeuft) override {
        if (!laeuft) fertig.Setzen();
    }
    Ereignis fertig;
};

class ManuelleFahrtSimulationTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
        Maschinenparameter& p = Parametersatz();
        p.Modul = 5;
        p.ComPort = Portnummer;
        p.Baudrate = 115200;
        p.Startfreq = 400;
        p.Arbeitsfreq = 2000;
        p.Eilfreq = 4000;
        p.Rampenlaenge = 100;
        p.RefFreq = 1000;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        Standardtreiber_einrichten();
    }

    void TearDown() override {
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        sim.reset();
        ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    void Verbinden(double zeitskala = 0) {
        SerielleSteuerung::Optionen optionen;
        optionen.Zeitskala = zeitskala;
        sim = std::make_unique<SerielleSteuerung>(optionen);
        ASSERT_TRUE(COM_registrieren(Portnummer, sim->Geraetepfad()));
        Serielle_Linie_erzeugen();
        Steuerung_erzeugen();
        Schnittstelle_beschreiben();
        ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
        ASSERT_TRUE(Version_abfragen());
        basis = sim->Anfragen().size();
    }

    // The requests since the connection, without the position queries.
    Zeilen_t Befehle() const {
        const Zeilen_t alle = sim->Anfragen();
        Zeilen_t befehle;
        for (std::size_t i = std::min(basis, alle.size()); i < alle.size(); ++i)
            if (!alle[i].starts_with("@L")) befehle.push_back(alle[i]);
        return befehle;
    }

    std::unique_ptr<SerielleSteuerung> sim;
    std::size_t basis = 0;
    Beobachter beobachter;
    ManuelleFahrt fahrt{beobachter};
};

TEST_F(ManuelleFahrtSimulationTest, TippenUndAnfahrenAnDerSteuerung) {
    Verbinden();
    Parametersatz().xUebersetz = 4.0;
    fahrt.Schrittweite_setzen(0.1);
    fahrt.Geschwindigkeit_setzen(1500);
    fahrt.Richtung_setzen(+1);
    fahrt.Fahren();
    fahrt.Richtung_setzen(+3);
    fahrt.Schrittweite_setzen(1.0);
    fahrt.Fahren();
    EXPECT_EQ(sim->Position('x'), 10);
    EXPECT_EQ(sim->Position('z'), 400);
    EXPECT_THAT(fahrt.Anzeige().aktPosition, ElementsAre("  0.10", "  0.00", "  1.00"));

    // Back to the workpiece zero at x 2 mm, y 0.5 mm, z 0.25 mm: z up first, then across,
    // then down, with output "L" off around it.
    Parametersatz().xWerkstuecknullpunkt = 2.0;
    Parametersatz().yWerkstuecknullpunkt = 0.5;
    Parametersatz().zWerkstuecknullpunkt = 0.25;
    basis = sim->Anfragen().size();
    fahrt.Zeile_setzen(1);
    fahrt.Anfahren();
    EXPECT_THAT(Befehle(), ElementsAre("#E8,1500", "AL,0", "L8,z-400", "L8,x190", "L8,y200",
                                       "L8,z100", "AL,1"));
    EXPECT_EQ(sim->Position('x'), 200);
    EXPECT_EQ(sim->Position('y'), 200);
    EXPECT_EQ(sim->Position('z'), 100);
    EXPECT_THAT(fahrt.Anzeige().aktPosition, ElementsAre("  2.00", "  0.50", "  0.25"));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ManuelleFahrtSimulationTest, EscWaehrendDerFahrtHaeltDieAchseAn) {
    // At 1000 steps/s the 20 mm step takes about eight seconds.
    Verbinden(1.0);
    fahrt.Schrittweite_setzen(20.0);
    fahrt.Geschwindigkeit_setzen(1000);
    TManuelleFahrtThread arbeiter(fahrt);
    arbeiter.Starten();
    ASSERT_TRUE(arbeiter.Fahren(+2));
    std::size_t n = basis + 1;
    bool gesehen = false;
    for (; !gesehen && sim->Warten_auf_Anfragen(n, 5000); ++n)
        gesehen = sim->Anfragen()[n - 1].starts_with("L8");
    ASSERT_TRUE(gesehen);
    EXPECT_FALSE(arbeiter.Fahren(-2)); // busy: ignored
    fahrt.Abbrechen();
    ASSERT_EQ(beobachter.fertig.Warten(10000), Warteergebnis::signalisiert);
    EXPECT_TRUE(arbeiter.Beenden(true));

    EXPECT_FALSE(sim->Bewegung_laeuft());
    const int32_t y = sim->Position('y');
    EXPECT_LT(y, 8000);
    // The display shows where the axis stopped, not the error form.
    EXPECT_EQ(fahrt.Anzeige().aktPosition[1], ManuelleFahrt::Anzeigetext(y / 400.0));
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(Steuerung().Abbruch);
}

} // namespace
} // namespace orvexa::test
