// The reference run's worker and its helpers: first over the recording driver doubles, then
// through every real layer down to the simulated serial controller and the virtual
// parallel-port machine.

#include "attrappen.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/kora_lpt.h"
#include "drivers/parallel_treiber.h"
#include "motion/referenzfahrtthread.h"
#include "platform/ereignis.h"
#include "platform/portio.h"
#include "platform/programmverzeichnis.h"
#include "simumgebung.h"
#include "testhilfen.h"
#include "virtuellemaschine.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using Zeilen_t = std::vector<std::string>;

class Laufbeobachter : public Referenzfahrt_Beobachter {
public:
    void Laeuft(bool laeuft) override {
        std::lock_guard lock(m_mutex);
        m_zustaende.push_back(laeuft);
    }
    std::vector<bool> Zustaende() const {
        std::lock_guard lock(m_mutex);
        return m_zustaende;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<bool> m_zustaende;
};

long Anzahl(const Zeilen_t& zeilen, const std::string& anfang) {
    return std::count_if(zeilen.begin(), zeilen.end(),
                         [&](const std::string& z) { return z.starts_with(anfang); });
}

Zeilen_t Nur(const Zeilen_t& zeilen, const std::string& anfang) {
    Zeilen_t auswahl;
    std::copy_if(zeilen.begin(), zeilen.end(), std::back_inserter(auswahl),
                 [&](const std::string& z) { return z.starts_with(anfang); });
    return auswahl;
}

class ReferenzfahrtTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Parameter_Standardwerte(); // order z, x, y, u
        arbeiter.Starten();
    }
    void TearDown() override {
        arbeiter.Beenden(false);
        Attrappenumgebung::TearDown();
    }

    // Starts and waits for the run (the pause after it included).
    bool Laufen(Referenzachsen achsen) {
        return arbeiter.Lauf_starten(achsen) && arbeiter.Warten_bis_fertig(10000);
    }
    bool Protokoll_enthaelt(const std::string& text) const {
        const Zeilen_t zeilen = Protokoll();
        return std::any_of(zeilen.begin(), zeilen.end(),
                           [&](const std::string& z) { return z.find(text) != std::string::npos; });
    }

    Laufbeobachter beobachter;
    TReferenzfahrtThread arbeiter{beobachter};
    const Referenzachsen xyz{true, true, true, false};
};

TEST_F(ReferenzfahrtTest, SeriellerTypHoltDieAchsenInEinemAuftragInStandardreihenfolge) {
    Steuerung_einrichten(5);
    ASSERT_TRUE(Laufen(xyz));
    EXPECT_THAT(Aufrufe(),
                ElementsAre("Linie.Referenzfahrt_ausfuehren(zxy)", "Linie.WaitResp(-1)"));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
    EXPECT_THAT(beobachter.Zustaende(), ElementsAre(true, false));
    EXPECT_FALSE(arbeiter.Beschaeftigt());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ReferenzfahrtTest, ParallelerTypHoltEineAchseNachDerAnderen) {
    Steuerung_einrichten(4);
    Parametersatz().uRefNr = 1; // u before z: ties go to the first in x, y, z, u
    ASSERT_TRUE(Laufen({true, true, true, true}));
    EXPECT_THAT(
        Nur(Aufrufe(), "Karte.Referenzfahrt"),
        ElementsAre("Karte.Referenzfahrt_ausfuehren(z)", "Karte.Referenzfahrt_ausfuehren(u)",
                    "Karte.Referenzfahrt_ausfuehren(x)", "Karte.Referenzfahrt_ausfuehren(y)"));
}

TEST_F(ReferenzfahrtTest, SpeichernderTypWartetAufDasBewegungsende) {
    Steuerung_einrichten(2);
    ASSERT_TRUE(Laufen({false, true, false, false}));
    EXPECT_THAT(Aufrufe(), ElementsAre("Speicher.Referenzfahrt_ausfuehren(y)",
                                       "Speicher.Bewegungsende_abwarten()"));
}

TEST_F(ReferenzfahrtTest, OhneAchseNurDieKnoepfeUndDiePause) {
    Steuerung_einrichten(5);
    ASSERT_TRUE(Laufen({}));
    EXPECT_TRUE(Aufrufe().empty());
    EXPECT_THAT(beobachter.Zustaende(), ElementsAre(true, false));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
}

TEST_F(ReferenzfahrtTest, ZweiterStartWaehrendDesLaufsWirdIgnoriert) {
    Steuerung_einrichten(5);
    Linie()->Sperre_setzen("WaitResp");
    ASSERT_TRUE(arbeiter.Lauf_starten(xyz));
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    EXPECT_TRUE(arbeiter.Beschaeftigt());
    EXPECT_FALSE(arbeiter.Lauf_starten({true, false, false, false}));
    Linie()->Sperre_loesen("WaitResp");
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(10000));
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.Referenzfahrt_ausfuehren"), 1);
    // Idle again, the next press is taken.
    ASSERT_TRUE(Laufen({true, false, false, false}));
    EXPECT_EQ(Aufrufe().back(), "Linie.WaitResp(-1)");
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.Referenzfahrt_ausfuehren(x)"), 1);
}

TEST_F(ReferenzfahrtTest, AbbrechenImLaufEndetMit2000UndNurImProtokoll) {
    Steuerung_einrichten(5);
    Linie()->Sperre_setzen("WaitResp");
    // The confirmed immediate stop completes the pending wait, as the link does.
    Linie()->Bei_Aufruf("Achsen_sofort_stoppen", [] { Linie()->Sperre_loesen("WaitResp"); });
    ASSERT_TRUE(arbeiter.Lauf_starten(xyz));
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    arbeiter.Abbrechen();
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(10000));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.Achsen_sofort_stoppen"), 1);
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(Protokoll_enthaelt("Referenzfahrt :: Exception [THROW_ABORT]"));
    // The abort is spent: neither the worker nor the next action of another dialog sees it.
    EXPECT_FALSE(Steuerung().Abbruch);
    EXPECT_FALSE(arbeiter.Beschaeftigt());
    Linie()->Bei_Aufruf("Achsen_sofort_stoppen", nullptr);
    ASSERT_TRUE(Laufen(xyz));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
}

TEST_F(ReferenzfahrtTest, AbbrechenImParallelenLaufLaesstDieUebrigenAchsenAus) {
    Steuerung_einrichten(1);
    Karte()->Sperre_setzen("Referenzfahrt_ausfuehren");
    Karte()->Bei_Aufruf("Achsen_sofort_stoppen",
                        [] { Karte()->Sperre_loesen("Referenzfahrt_ausfuehren"); });
    ASSERT_TRUE(arbeiter.Lauf_starten(xyz));
    ASSERT_TRUE(Karte()->Warten_bis_gesperrt("Referenzfahrt_ausfuehren"));
    arbeiter.Abbrechen();
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(10000));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), THROW_ABORT);
    // z was stopped; x and y must not start after it.
    EXPECT_THAT(Nur(Aufrufe(), "Karte.Referenzfahrt"),
                ElementsAre("Karte.Referenzfahrt_ausfuehren(z)"));
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(ReferenzfahrtTest, StoppAusserhalbDesLaufsBeendetKeinenSpaeterenLauf) {
    Steuerung_einrichten(5);
    // Esc while idle stops the axes, and leaves nothing behind for the next run.
    arbeiter.Abbrechen();
    EXPECT_THAT(Aufrufe(), ElementsAre("Linie.Achsen_sofort_stoppen()"));
    EXPECT_FALSE(Steuerung().Abbruch);
    // Nor does a stop that came after another dialog's run.
    Steuerung().Abbruch = true;
    ASSERT_TRUE(Laufen(xyz));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.Referenzfahrt_ausfuehren(zxy)"), 1);
}

TEST_F(ReferenzfahrtTest, FehlerWerdenMitDemDialogtitelGemeldet) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("Referenzfahrt_ausfuehren", Steuerungsfehler_Basis + 3);
    ASSERT_TRUE(Laufen(xyz));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), Steuerungsfehler_Basis + 3);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Referenzfahrt");
    EXPECT_THAT(beobachter.Zustaende(), ElementsAre(true, false));
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.WaitResp"), 0);

    // A stop that fails is reported the same way; the worker stays usable.
    Linie()->Fehler_vorgeben("Achsen_sofort_stoppen", RS_ERROR);
    arbeiter.Abbrechen();
    ASSERT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_EQ(ui.Meldungen()[1].titel, "Referenzfahrt");
    ASSERT_TRUE(Laufen(xyz));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
}

TEST_F(ReferenzfahrtTest, InitialisierungMeldetFehlerUndGibtDenCodeZurueck) {
    Steuerung_einrichten(5);
    EXPECT_EQ(Referenzfahrt_initialisieren(true), 0);
    // The full initialisation of this type sends the raw set-up requests first.
    EXPECT_EQ(Aufrufe().front(), "Linie.SendWait(c,x100<CR>, 512)");
    EXPECT_EQ(Anzahl(Aufrufe(), "Linie.Ansteuersignale_einstellen"), 0);

    Linie()->Fehler_vorgeben("Rampenlaenge_einstellen", WAIT_TIMEOUT);
    EXPECT_EQ(Referenzfahrt_initialisieren(false), WAIT_TIMEOUT);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Referenzfahrt");
    // The sequence ended at the failing step.
    EXPECT_EQ(Aufrufe().back(), "Linie.Rampenlaenge_einstellen(200)");
}

// ---- Switch display ------------------------------------------------------------------------

class SchalteranzeigeTest : public Attrappenumgebung {
protected:
    std::array<bool, 4> Anzeige(int32_t modul, std::initializer_list<int32_t> hohe_pins) {
        Steuerung_einrichten(modul);
        if (Karte())
            for (int32_t pin : {10, 11, 12, 13, 15})
                Karte()->Eingangspin_vorgeben(
                    pin, std::find(hohe_pins.begin(), hohe_pins.end(), pin) != hohe_pins.end());
        return Referenzschalter_abfragen(modul);
    }
    using Schwarz = std::array<bool, 4>;
};

TEST_F(SchalteranzeigeTest, Modul0ZeigtDenGemeinsamenSchalterAufXYZ) {
    EXPECT_EQ(Anzeige(0, {11}), (Schwarz{true, true, true, false}));
    // The common input is read once for the three axes.
    EXPECT_EQ(Anzahl(Aufrufe(), "Karte.Eingangspin_abfragen(11)"), 1);
    EXPECT_EQ(Anzeige(0, {10, 12, 13, 15}), (Schwarz{false, false, false, false}));
}

TEST_F(SchalteranzeigeTest, Modul1Und7LesenDiePins10Bis12) {
    EXPECT_EQ(Anzeige(1, {10}), (Schwarz{true, false, false, false}));
    EXPECT_EQ(Anzeige(7, {11, 12, 15}), (Schwarz{false, true, true, false}));
    EXPECT_EQ(Anzahl(Aufrufe(), "Karte.Eingangspin_abfragen(15)"), 0);
}

TEST_F(SchalteranzeigeTest, Modul4ZeigtJedeAchseEinzelnAuchU) {
    EXPECT_EQ(Anzeige(4, {13}), (Schwarz{false, false, true, false}));
    EXPECT_EQ(Anzeige(4, {15, 10}), (Schwarz{false, false, false, true}));
    EXPECT_EQ(Anzeige(4, {11, 12}), (Schwarz{true, true, false, false}));
}

TEST_F(SchalteranzeigeTest, AndereTypenZeigenNichtsUndLesenNichts) {
    for (int32_t modul : {2, 3, 5, 6, 8, 10, 13, -1, 99}) {
        EXPECT_EQ(Referenzschalterpins(modul), (std::array<int32_t, 4>{}));
        EXPECT_EQ(Anzeige(modul, {10, 11, 12, 13, 15}), (Schwarz{})) << modul;
    }
    EXPECT_EQ(Anzahl(Aufrufe(), "Karte.Eingangspin"), 0);
}

// ---- Storing the choice --------------------------------------------------------------------

TEST_F(ReferenzfahrtTest, AuswahlWirdInDieParameterdateiGeschrieben) {
    ASSERT_TRUE(Referenzauswahl_speichern({true, false, true, false}));
    // The program's own file lies in its (here: the test's) folder.
    const std::string programm = Programmpfad();
    const std::string datei =
        Parameterdateiname(ordner.Datei(programm.substr(programm.rfind('/') + 1)));
    ASSERT_THAT(Datei_lesen(datei), ::testing::HasSubstr("uRefAktiv=0\r\n"));
    Maschinenparameter gelesen;
    Parameterdatei_laden(gelesen, datei);
    EXPECT_EQ(gelesen.xRefAktiv, 1);
    EXPECT_EQ(gelesen.yRefAktiv, 0);
    EXPECT_EQ(gelesen.zRefAktiv, 1);
    EXPECT_EQ(gelesen.uRefAktiv, 0);

    // An axis left out keeps its stored value.
    Parametersatz().yRefAktiv = 1;
    ASSERT_TRUE(Referenzauswahl_speichern({true, false, false, false}, {false, true, true, false}));
    EXPECT_EQ(Parametersatz().yRefAktiv, 1);
    EXPECT_EQ(Parametersatz().zRefAktiv, 1);
    EXPECT_EQ(Parametersatz().xRefAktiv, 1);
}

// ---- Real layers ---------------------------------------------------------------------------

class ReferenzfahrtSeriellTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Parameter_Standardwerte();
        Maschinenparameter& p = Parametersatz();
        p.ComPort = portnummer;
        p.RefFreq = 1000;
        ASSERT_NO_FATAL_FAILURE(Verbinden());
        arbeiter.Starten();
    }
    void TearDown() override {
        arbeiter.Beenden(false);
        SerielleSimulation::TearDown();
    }

    TReferenzfahrtThread arbeiter;
};

TEST_F(ReferenzfahrtSeriellTest, SendetDieAchsenInStandardreihenfolge) {
    ASSERT_EQ(Referenzfahrt_initialisieren(false), 0);
    Zaehlung_neu();
    ASSERT_TRUE(arbeiter.Lauf_starten({true, true, true, false}));
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(10000));
    EXPECT_THAT(Neue_Anfragen(), ElementsAre("$Hzxy"));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
    // Each axis ends at its zero, its reference offset (0.25 mm = 100 steps) away.
    for (char achse : {'x', 'y', 'z'})
        EXPECT_EQ(sim->Position(achse), 0) << achse;
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ReferenzfahrtSeriellTest, AbbrechenStopptDieFahrtSofortUndEndetMit2000) {
    ASSERT_EQ(Referenzfahrt_initialisieren(false), 0);
    // x far from its switch, so that homing takes seconds at real speed.
    Vektorfahrt_ausfuehren(true, 1, 20000, 0, 0, 13);
    sim->Zeitskala_setzen(1.0);
    Zaehlung_neu();
    ASSERT_TRUE(arbeiter.Lauf_starten({true, true, false, false}));
    ASSERT_TRUE(sim->Warten_auf_Anfragen(basis + 1, 5000));
    ASSERT_EQ(sim->Anfragen()[basis], "$Hxy");
    arbeiter.Abbrechen();
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(10000));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_THAT(Neue_Anfragen(), ElementsAre("$Hxy", "@S"));
    EXPECT_FALSE(sim->Bewegung_laeuft());
    EXPECT_GT(sim->Position('x'), 0); // stopped on its way to the switch
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(Steuerung().Abbruch);
}

class ReferenzfahrtParallelTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Kora_lpt::Echtzeit_erlauben(false);
        PortIO_Fabrik_setzen([vm = vm] { return std::make_unique<Maschinenanschluss>(vm); });
        Treiberfabrik fabrik;
        Parallelkartentreiber_einrichten(fabrik);
        Treiberfabrik_setzen(std::move(fabrik));

        Parameter_Standardwerte();
        Maschinenparameter& p = Parametersatz();
        p.Modul = 4;
        p.LPTAdresse = 0x378;
        p.Startfreq = 1000;
        p.RefFreq = 4000;
        p.Rampenlaenge = 0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 100;
        vm->Modul_einstellen(4);
        Steuerung_erzeugen();
        Schnittstelle_beschreiben();
        ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
        arbeiter.Starten();
    }
    void TearDown() override {
        arbeiter.Beenden(false);
        Testumgebung::TearDown();
        PortIO_Fabrik_setzen(nullptr);
    }

    std::shared_ptr<VirtuelleMaschine> vm = std::make_shared<VirtuelleMaschine>(0x378);
    TReferenzfahrtThread arbeiter;
};

TEST_F(ReferenzfahrtParallelTest, HoltZDannXDannYAufIhreSchalter) {
    vm->Referenzschalter_setzen('x', -10);
    vm->Referenzschalter_setzen('y', -20);
    vm->Referenzschalter_setzen('z', -30);
    std::mutex m;
    std::string reihenfolge;
    vm->Schrittbeobachter_setzen([&](char achse, int32_t) {
        std::lock_guard lock(m);
        if (reihenfolge.empty() || reihenfolge.back() != achse) reihenfolge += achse;
    });
    ASSERT_EQ(Referenzfahrt_initialisieren(false), 0);
    ASSERT_TRUE(arbeiter.Lauf_starten({true, true, true, false}));
    ASSERT_TRUE(arbeiter.Warten_bis_fertig(20000));
    EXPECT_EQ(arbeiter.Letzter_Fehlercode(), 0);
    {
        std::lock_guard lock(m);
        EXPECT_EQ(reihenfolge, "zxy");
    }
    // Off the switch, then the reference offset (0.25 mm = 25 steps); the new zero.
    EXPECT_EQ(vm->Position('x'), -10 + 1 + 25);
    EXPECT_EQ(vm->Position('y'), -20 + 1 + 25);
    EXPECT_EQ(vm->Position('z'), -30 + 1 + 25);
    for (char achse : {'x', 'y', 'z'})
        EXPECT_EQ(Achsenposition_abfragen_in_Schritten(achse), 0) << achse;
    EXPECT_EQ(vm->Position('u'), 0);
}

TEST_F(ReferenzfahrtParallelTest, SchalteranzeigeFolgtDenSchalternDerMaschine) {
    vm->Referenzschalter_setzen('z', 5); // z at 0 is on its switch
    EXPECT_EQ(Referenzschalter_abfragen(4), (std::array<bool, 4>{true, true, false, true}));
}

} // namespace
} // namespace orvexa::test
