// The command layer on a serial controller, through every real layer: command layer ->
// KoraBefehlssatz -> TkoraCOM -> termios -> pseudo-terminal -> simulated controller.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/korabefehlssatz.h"
#include "kora_zeichen.h"
#include "simumgebung.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;
using namespace std::chrono_literals;

using test::ACK;

int32_t Fehlercode_von(const std::function<void()>& aufruf) {
    try {
        aufruf();
    } catch (const Steuerungsfehler& fehler) {
        return fehler.code();
    }
    return 0;
}

std::future<int32_t> Im_Hintergrund(std::function<void()> aufruf) {
    return std::async(std::launch::async,
                      [aufruf = std::move(aufruf)] { return Fehlercode_von(aufruf); });
}

class SeriellerSteuerungstest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.xUebersetz = 1.0;
        p.xMotStep = 400;
        p.xRefOffset = 0.25;
    }
};

TEST_F(SeriellerSteuerungstest, VerbindenFragtDieKennungAb) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    EXPECT_EQ(steuerungsname, "KXvario-KXCU");
    EXPECT_EQ(Steuerung().Schnittstelle, "COM4");
    EXPECT_EQ(Steuerung().Einstellung, "115200");
    EXPECT_EQ(Steuerung().Version, "KXvario-KXCU V2.31");
    ASSERT_NE(koraCOM(), nullptr);
    EXPECT_EQ(koraCOM()->Tag(), 2);
    const Zeilen_t anfragen = sim->Anfragen();
    ASSERT_FALSE(anfragen.empty());
    EXPECT_EQ(anfragen.back(), "@V");
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(SeriellerSteuerungstest, LeereKennungHeisstNichtVerbunden) {
    ASSERT_NO_FATAL_FAILURE(Simulator_oeffnen());
    sim->Muell_senden(true, std::string("@V ") + ACK);
    EXPECT_FALSE(Version_abfragen());
    EXPECT_EQ(Steuerung().Version, "");
}

TEST_F(SeriellerSteuerungstest, VolleInitialisierungSendetDieGanzeFolge) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    InitializeSteuerung(true);
    EXPECT_EQ(Neue_Anfragen_abholen(),
              (Zeilen_t{"c,x100", "c,y100", "c,z120", "c,u0", "D,x2", "D,y2", "D,z2", "D,u2",
                        "#S400", "#E0,400", "#E1,2000", "#E2,4000", "#R100", "#Ox,100", "#Oy,0",
                        "#Oz,0", "#E9,1000"}));
    const auto e = sim->Einstellungen();
    EXPECT_EQ(e.Strom[2], 120);
    EXPECT_EQ(e.Teilung[3], 2);
    EXPECT_EQ(e.Referenzoffset[0], 100);
    EXPECT_EQ(e.Geschwindigkeit[9], 1000);
}

TEST_F(SeriellerSteuerungstest, EinFehlerBeendetDieInitialisierung) {
    Parametersatz().Rampenlaenge = 70000;
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    EXPECT_EQ(Fehlercode_von([] { InitializeSteuerung(false); }), OUT_OF_RANGE);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"#S400", "#E0,400", "#E1,2000", "#E2,4000"}));
}

TEST_F(SeriellerSteuerungstest, VektorfahrtWartetAufDasEndeDerBewegung) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 0.2;
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    Vektorfahrt_ausfuehren(true, 1, 1000, 0, -300, 1);
    // Returns only after the completion answer: the move is over.
    EXPECT_FALSE(sim->Bewegung_laeuft());
    EXPECT_EQ(sim->Position('x'), 1000);
    EXPECT_EQ(sim->Position('z'), -300);
    UVektorfahrt_ausfuehren(false, 2, 50, 1);
    EXPECT_EQ(sim->Position('u'), 50);
    // Nothing to do sends nothing.
    Vektorfahrt_ausfuehren(true, 8, 0, 0, 0, 1);
    UVektorfahrt_ausfuehren(true, 8, 0, 1);
    Vektorfahrt_ausfuehren(true, 1, -2250, 0, 0, 1);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), -1250);
    EXPECT_DOUBLE_EQ(Achsenposition_abfragen_in_mm('x'), -3.125);
    EXPECT_EQ(Neue_Anfragen_abholen(),
              (Zeilen_t{"L1,x1000,z-300", "L2,U50", "L1,x-2250", "@Lx", "@Lx"}));
}

TEST_F(SeriellerSteuerungstest, AnhaltenAusDemFensterBeendetDieFahrtMitAbbruch) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1; // this move takes about 0.6 s
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    auto fahrt = Im_Hintergrund([] { Vektorfahrt_ausfuehren(true, 1, 1000, 0, 0, 1); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    Achsen_anhalten();
    ASSERT_EQ(fahrt.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fahrt.get(), THROW_ABORT);
    EXPECT_FALSE(Steuerung().Abbruch);
    EXPECT_LT(sim->Position('x'), 1000);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"L1,x1000", "@B"}));
    // The link is free again.
    Startgeschwindigkeit_einstellen(500);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"#S500"}));
}

TEST_F(SeriellerSteuerungstest, AnhaltenEinerVerstummtenSteuerungBeendetDasWarten) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1;
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    auto fahrt = Im_Hintergrund([] { Vektorfahrt_ausfuehren(true, 1, 1000, 0, 0, 1); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    // The controller goes silent mid-move: neither the stop nor the completion is answered.
    sim->Stumm_schalten(true);
    EXPECT_EQ(Fehlercode_von([] { Achsen_anhalten(); }), WAIT_TIMEOUT);
    ASSERT_EQ(fahrt.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fahrt.get(), THROW_ABORT);
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(SeriellerSteuerungstest, SofortstoppBeendetDieFahrtOhneAbbruch) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1;
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    auto fahrt = Im_Hintergrund([] { Vektorfahrt_ausfuehren(true, 1, 1000, 0, 0, 1); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    Achsen_sofort_stoppen();
    ASSERT_EQ(fahrt.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fahrt.get(), 0);
    EXPECT_LT(sim->Position('x'), 1000);
    Startgeschwindigkeit_einstellen(500);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"L1,x1000", "@S", "#S500"}));
}

TEST_F(SeriellerSteuerungstest, PositionIstWaehrendDerFahrtAbfragbar) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1; // about 1.1 s
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    auto fahrt = Im_Hintergrund([] { Vektorfahrt_ausfuehren(true, 1, 2000, 0, 0, 1); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    const int32_t unterwegs = Achsenposition_abfragen_in_Schritten('x');
    EXPECT_GE(unterwegs, 0);
    EXPECT_LT(unterwegs, 2000);
    ASSERT_EQ(fahrt.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fahrt.get(), 0);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 2000);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"L1,x2000", "@Lx", "@Lx"}));
}

TEST_F(SeriellerSteuerungstest, WartezeitGehtInStueckenVonEinerSekunde) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    Wartezeit_einfuegen(2500);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"W1000", "W1000", "W500"}));
    Wartezeit_einfuegen(2000);
    Wartezeit_einfuegen(0);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"W1000", "W1000"}));
}

TEST_F(SeriellerSteuerungstest, EingangswarteEndetMitEingangBOderStopp) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    auto warten = Im_Hintergrund([] { E1Verknuepfung_setzen(1, false); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    EXPECT_NE(warten.wait_for(0s), std::future_status::ready);
    sim->Eingang_setzen('B', true);
    ASSERT_EQ(warten.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(warten.get(), 0);
    for (const std::string& anfrage : Neue_Anfragen_abholen())
        EXPECT_EQ(anfrage, "@IB");

    sim->Eingang_setzen('B', false);
    warten = Im_Hintergrund([] { E1Verknuepfung_setzen(1, false); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    Achsen_anhalten();
    ASSERT_EQ(warten.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(warten.get(), 0);
    EXPECT_FALSE(Stopp);

    // With the mode set the link setting goes to the controller instead.
    Neue_Anfragen_abholen();
    E1Verknuepfung_setzen(0, true);
    EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"&E1,0"}));
}

// ---- Faults of the line: each ends in a defined error, then the link is usable again ----

class Leitungsfehlertest : public SeriellerSteuerungstest {
protected:
    // After a time-out in which nothing came the link cannot tell a lost request from a late
    // answer; it takes the next answer of that kind for the late one. That may cost one more
    // exchange (a time-out), never a wrong answer.
    enum class Verlust { keiner, einer_erlaubt };

    void Wieder_in_Ordnung(Verlust verlust) {
        const auto versuchen = [&](const std::function<void()>& aufruf) {
            int32_t code = Fehlercode_von(aufruf);
            if (code == WAIT_TIMEOUT && verlust == Verlust::einer_erlaubt)
                code = Fehlercode_von(aufruf);
            EXPECT_EQ(code, 0);
        };
        versuchen([] { Startgeschwindigkeit_einstellen(444); });
        versuchen([] { EXPECT_TRUE(Version_abfragen()); });
        EXPECT_EQ(Steuerung().Version, "KXvario-KXCU V2.31");
        EXPECT_EQ(sim->Einstellungen().Startfreq, 444);

        // From here on every exchange goes through at once, and each gets its own answer.
        Neue_Anfragen_abholen();
        Endgeschwindigkeit_einstellen(3, 555);
        const int32_t y = Achsenposition_abfragen_in_Schritten('y');
        EXPECT_EQ(y, sim->Position('y'));
        Vektorfahrt_ausfuehren(true, 1, 0, 7, 0, 1);
        EXPECT_EQ(Achsenposition_abfragen_in_Schritten('y'), y + 7);
        EXPECT_EQ(Neue_Anfragen_abholen(), (Zeilen_t{"#E3,555", "@Ly", "L1,y7", "@Ly"}));
        EXPECT_EQ(sim->Einstellungen().Geschwindigkeit[3], 555);
    }
};

TEST_F(Leitungsfehlertest, StummeSteuerungLaeuftInDieFrist) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    sim->Stumm_schalten(true);
    EXPECT_EQ(Fehlercode_von([] { Startgeschwindigkeit_einstellen(400); }), WAIT_TIMEOUT);
    EXPECT_EQ(Fehlercode_von([] { Version_abfragen(); }), WAIT_TIMEOUT);
    // Time-outs are logged only.
    EXPECT_TRUE(ui.Meldungen().empty());
    sim->Stumm_schalten(false);
    Wieder_in_Ordnung(Verlust::einer_erlaubt);
}

TEST_F(Leitungsfehlertest, VerspaeteteAntwortWirdNichtDerNaechstenZugerechnet) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    sim->Antwortverzoegerung_setzen(800);
    EXPECT_EQ(Fehlercode_von([] { Endgeschwindigkeit_einstellen(1, 1000); }), WAIT_TIMEOUT);
    sim->Antwortverzoegerung_setzen(0);
    // The late ACK arrives during the next exchange; it must not be taken as its answer.
    Wieder_in_Ordnung(Verlust::keiner);
}

TEST_F(Leitungsfehlertest, MuellOhneAbschlussLaeuftInDieFrist) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    sim->Muell_senden(true);
    EXPECT_EQ(Fehlercode_von([] { Startgeschwindigkeit_einstellen(400); }), WAIT_TIMEOUT);
    EXPECT_EQ(Fehlercode_von([] { Version_abfragen(); }), WAIT_TIMEOUT);
    sim->Muell_senden(false);
    Wieder_in_Ordnung(Verlust::einer_erlaubt);
}

TEST_F(Leitungsfehlertest, MuellMitAbschlussIstEinAntwortfehler) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    sim->Muell_senden(true, "?\xAB~\r");
    EXPECT_EQ(Fehlercode_von([] { Startgeschwindigkeit_einstellen(400); }), ACK_ERROR);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Startgeschwindigkeit_einstellen(400) [128000]");
    EXPECT_EQ(Fehlercode_von([] { Vektorfahrt_ausfuehren(true, 1, 5, 0, 0, 1); }), NAK_ERROR);
    sim->Muell_senden(false);
    Wieder_in_Ordnung(Verlust::keiner);
}

TEST_F(Leitungsfehlertest, AbgeschnitteneAntwortLaeuftInDieFrist) {
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    sim->Naechste_Antwort_abschneiden(5); // "@V KX" without its ACK
    EXPECT_EQ(Fehlercode_von([] { Version_abfragen(); }), WAIT_TIMEOUT);
    Wieder_in_Ordnung(Verlust::keiner);
    sim->Naechste_Antwort_abschneiden(0); // the ACK of a setting never comes
    EXPECT_EQ(Fehlercode_von([] { Rampenlaenge_einstellen(200); }), WAIT_TIMEOUT);
    Wieder_in_Ordnung(Verlust::einer_erlaubt);
}

TEST_F(Leitungsfehlertest, AblehnungEinerMehrbyteAnfrage) {
    // The controller refuses an unknown input with "E6" BEL, which is no multi-byte answer.
    ASSERT_NO_FATAL_FAILURE(Verbinden());
    auto* linie = dynamic_cast<KoraBefehlssatz*>(koraCOM());
    ASSERT_NE(linie, nullptr);
    EXPECT_EQ(Fehlercode_von([&] { linie->Eingang_abfragen_Potential('Q'); }), WAIT_TIMEOUT);
    Wieder_in_Ordnung(Verlust::einer_erlaubt);
}

TEST_F(Leitungsfehlertest, AusgesteckteSteuerungScheitertSauber) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = 1;
    ASSERT_NO_FATAL_FAILURE(Verbinden(optionen));
    // A worker waiting for the end of a move must not wait forever for a controller that is
    // gone.
    auto fahrt = Im_Hintergrund([] { Vektorfahrt_ausfuehren(true, 1, 2000, 0, 0, 1); });
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    sim->Ausstecken();
    ASSERT_EQ(fahrt.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fahrt.get(), HANDLE_COM_PORT_ERROR);

    const auto beginn = std::chrono::steady_clock::now();
    EXPECT_EQ(Fehlercode_von([] { Startgeschwindigkeit_einstellen(400); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Fehlercode_von([] { Version_abfragen(); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Fehlercode_von([] { Vektorfahrt_ausfuehren(true, 1, 10, 0, 0, 1); }),
              HANDLE_COM_PORT_ERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - beginn, 5s);
    Steuerung_schliessen();
}

} // namespace
} // namespace orvexa::test
