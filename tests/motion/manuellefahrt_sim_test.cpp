// The manual jog through every real layer down to the simulated serial controller. The
// requests the controller received and the positions it holds are the machine's view.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "motion/manuellefahrt.h"
#include "motion/manuellefahrt_thread.h"
#include "platform/ereignis.h"
#include "simumgebung.h"

#include <gmock/gmock.h>

#include <string>
#include <thread>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;

class Beobachter : public ManuelleFahrt_Beobachter {
public:
    void Bewegung(bool laeuft) override {
        if (!laeuft) fertig.Setzen();
    }
    Ereignis fertig;
};

class ManuelleFahrtSimulationTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Achsen_einstellen(400);
    }

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
    Zaehlung_neu();
    fahrt.Zeile_setzen(1);
    fahrt.Anfahren();
    EXPECT_THAT(Neue_Befehle(), ElementsAre("#E8,1500", "AL,0", "L8,z-400", "L8,x190", "L8,y200",
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
