// The iKXIF and KXCU modules through every real layer down to the simulated controller:
// command layer -> TIkxif/TKxcu -> termios -> pseudo-terminal -> SpeicherndeSteuerung. The
// requests the controller received, each with its terminator, are the machine's view.

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/speichermodulbasis.h"
#include "drivers/standardtreiber.h"
#include "platform/portverzeichnis.h"
#include "speicherndesteuerung.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;
using ::testing::HasSubstr;

const std::string SOH(1, '\x01');

class SpeichermodulSimulation : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
        Maschinenparameter& p = Parametersatz();
        p.ComPort = 5;
        p.Baudrate = 19200;
        p.Startfreq = 400;
        p.Arbeitsfreq = 2000;
        p.Eilfreq = 4000;
        p.Rampenlaenge = 100;
        p.RefFreq = 1000;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        p.xRefOffset = 0.25; // 100 steps
        p.xRefNr = 1;
        p.yRefNr = 2;
        Standardtreiber_einrichten();
    }
    void TearDown() override {
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        sim.reset();
        ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    void Verbinden(int32_t modul, SpeicherndeSteuerung::Optionen o = {}) {
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        Parametersatz().Modul = modul;
        o.Modul = modul;
        sim = std::make_unique<SpeicherndeSteuerung>(o);
        ASSERT_TRUE(COM_registrieren(Parametersatz().ComPort, sim->Geraetepfad()));
        name = Steuerung_erzeugen();
        Schnittstelle_beschreiben();
        ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
        ASSERT_TRUE(Version_abfragen());
        basis = sim->Anfragen().size();
        ui.Leeren();
    }

    Zeilen_t Neue_Anfragen() {
        const Zeilen_t alle = sim->Anfragen();
        Zeilen_t neu(alle.begin() + static_cast<std::ptrdiff_t>(basis), alle.end());
        basis = alle.size();
        return neu;
    }

    static Speichermodulbasis& Modul() {
        auto* m = dynamic_cast<Speichermodulbasis*>(Aktuelles_Speichermodul());
        if (!m) throw std::runtime_error("kein Speichermodul");
        return *m;
    }

    // Row 1: E1 link on, output 1 on, x 400 and z 100 steps; row 2: y -200 steps, 20 ms wait.
    void Tabelle_fuellen() {
        tabelle.Schritteingabe = true;
        tabelle.ZeileHinzufuegen(2);
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 1, "ON"));
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 2, "ON"));
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "400"));
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 8, "100"));
        ASSERT_TRUE(tabelle.Zelle_setzen(2, 7, "-200"));
        ASSERT_TRUE(tabelle.Zelle_setzen(2, 10, "20"));
    }

    Laufergebnis Tabelle_ausfuehren(bool festwertspeicher) {
        Vektorausgabe lauf(tabelle);
        Vektoreingaben e;
        e.RefModus = 1;
        e.xReferenz = e.yReferenz = true;
        e.Festwertspeicher = festwertspeicher;
        lauf.Eingaben_setzen(e);
        lauf.StartBitBtn_Thread();
        return lauf.Ergebnis();
    }

    std::vector<std::string> Meldungstexte() const {
        std::vector<std::string> texte;
        for (const auto& m : ui.Meldungen())
            texte.push_back(m.titel + ": " + m.text);
        return texte;
    }

    std::unique_ptr<SpeicherndeSteuerung> sim;
    std::string name;
    std::size_t basis = 0;
    Positionstabelle tabelle;
};

TEST_F(SpeichermodulSimulation, VerbindenLiestDieKennungBeiderTypen) {
    ASSERT_NO_FATAL_FAILURE(Verbinden(2));
    EXPECT_EQ(name, "iKXIF");
    EXPECT_EQ(Steuerung().Version, "KX-IKXIF V1.21");
    EXPECT_EQ(sim->Anfragen(), Zeilen_t{"@V\r"});
    ASSERT_NO_FATAL_FAILURE(Verbinden(3));
    EXPECT_EQ(name, "KX900-KXCU");
    EXPECT_EQ(Steuerung().Version, "KX900i KXCU V3.04");

    // Each module takes only its own controller.
    SpeicherndeSteuerung::Optionen fremd;
    fremd.Modul = 3;
    fremd.Kennung = "KX-IKXIF V1.21";
    sim = std::make_unique<SpeicherndeSteuerung>(fremd);
    ASSERT_TRUE(COM_registrieren(Parametersatz().ComPort, sim->Geraetepfad()));
    ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
    EXPECT_FALSE(Version_abfragen());
    EXPECT_EQ(Steuerung().Version, "");
}

TEST_F(SpeichermodulSimulation, TabellenlaufAufDemIkxif) {
    ASSERT_NO_FATAL_FAILURE(Verbinden(2));
    ASSERT_NO_FATAL_FAILURE(Tabelle_fuellen());
    const Laufergebnis ergebnis = Tabelle_ausfuehren(false);
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);

    const Zeilen_t erwartet{// outputs off, then the initialisation
                            "A0\r", "#S400\r", "#E0,400\r", "#E1,2000\r", "#E2,4000\r", "#R100\r",
                            "T0\r", "F0\r", "Z0\r", "#Ox, 100\r", "#Oy, 0\r", "#Oz, 0\r",
                            "#E9,1000\r", "#Dx,0,9,9,9\r", "#Dy,0,9,9,9\r", "#Dz,0,9,9,9\r",
                            // the reference cycle with the reference speed in slot 1
                            "#S400\r", "#E9,1000\r", "#Dx,0,9,9,9\r", "#Dy,0,9,9,9\r",
                            "#Dz,0,9,9,9\r", "#R100\r", "#E1,1000\r", "$Hxy" + SOH, "#E1,2000\r",
                            // the table: row 1 (the iKXIF has no E1 link), row 2
                            "T0\r", "F0\r", "A1\r", "L1,x400\r", "L1,z100\r", SOH, "L1,y-200\r",
                            "W20\r", SOH};
    EXPECT_EQ(Neue_Anfragen(), erwartet);
    EXPECT_THAT(sim->Abgelehnt(), ::testing::IsEmpty());
    EXPECT_EQ(sim->Position('x'), 400);
    EXPECT_EQ(sim->Position('y'), -200);
    EXPECT_EQ(sim->Position('z'), 100);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('y'), -200);
    EXPECT_TRUE(sim->Einstellungen().Ausgaenge[0]);
    EXPECT_FALSE(Modul().Beschaeftigt());
    EXPECT_THAT(ui.Meldungen(), ::testing::IsEmpty());
}

TEST_F(SpeichermodulSimulation, TabellenlaufAufDerKxcu) {
    ASSERT_NO_FATAL_FAILURE(Verbinden(3));
    ASSERT_NO_FATAL_FAILURE(Tabelle_fuellen());
    const Laufergebnis ergebnis = Tabelle_ausfuehren(false);
    EXPECT_EQ(ergebnis.Fehlercode, 0);

    const Zeilen_t erwartet{
        "U0\r", "A1,0\r", "#S400\r", "#E0,400\r", "#E1,2000\r", "#E2,4000\r", "#R100\r", "U0\r",
        // reference cycle: the reference speed is only kept, then slot 1
        "#S400\r", "#R100\r", "#E1,1000\r", "$Hxy" + SOH, "#E1,2000\r",
        // the table with the E1 link
        "&V1\r", "A1,1\r", "L1,x400\r", "L1,z100\r", SOH, "L1,y-200\r", "W20\r", SOH, "&V0\r"};
    EXPECT_EQ(Neue_Anfragen(), erwartet);
    EXPECT_THAT(sim->Abgelehnt(), ::testing::IsEmpty());
    EXPECT_EQ(sim->Position('x'), 400);
    EXPECT_EQ(sim->Position('z'), 100);
    EXPECT_EQ(sim->Einstellungen().E1Verknuepfung, 0);
    EXPECT_THAT(sim->Festprogramm(), ::testing::IsEmpty());
}

TEST_F(SpeichermodulSimulation, KxcuZeichnetDieTabelleAufUndSpieltSieAb) {
    ASSERT_NO_FATAL_FAILURE(Verbinden(3));
    ASSERT_NO_FATAL_FAILURE(Tabelle_fuellen());
    const Laufergebnis ergebnis = Tabelle_ausfuehren(true);
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_FALSE(ergebnis.Abgebrochen);

    const Zeilen_t anfragen = Neue_Anfragen();
    ASSERT_GE(anfragen.size(), 3u);
    EXPECT_EQ(anfragen[0], "U0\r");
    EXPECT_EQ(anfragen[1], "@F\r");
    EXPECT_EQ(anfragen.back(), SOH); // the end of the recording
    // Recorded, not run: the reference run goes with CR, no row is started.
    EXPECT_EQ(std::count(anfragen.begin(), anfragen.end(), SOH), 1);
    EXPECT_THAT(anfragen, ::testing::Contains("$Hxy\r"));
    const Zeilen_t programm = sim->Festprogramm();
    EXPECT_EQ(programm.size(), anfragen.size() - 3);
    EXPECT_THAT(programm, ::testing::Contains("L1,x400"));
    EXPECT_EQ(sim->Position('x'), 0);
    EXPECT_FALSE(sim->Aufzeichnung());
    EXPECT_EQ(Meldungstexte(), std::vector<std::string>{
                                   "Information: Festwertspeicher-Download war erfolgreich!\n"});

    // The unit's start key runs what it stored.
    ASSERT_TRUE(sim->Festprogramm_starten());
    EXPECT_EQ(sim->Position('x'), 400);
    EXPECT_EQ(sim->Position('y'), -200);
    EXPECT_EQ(sim->Position('z'), 100);
}

TEST_F(SpeichermodulSimulation, VollerFestwertspeicherBeendetDieAufzeichnung) {
    SpeicherndeSteuerung::Optionen o;
    o.Festwertspeicher = 40; // full at the ramp of the initialisation
    ASSERT_NO_FATAL_FAILURE(Verbinden(3, o));
    ASSERT_NO_FATAL_FAILURE(Tabelle_fuellen());
    const Laufergebnis ergebnis = Tabelle_ausfuehren(true);
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_TRUE(ergebnis.Abgebrochen);

    // After the ETX nothing but the erase reaches the controller.
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"U0\r", "@F\r", "A1,0\r", "#S400\r", "#E0,400\r",
                                         "#E1,2000\r", "#E2,4000\r", "#R100\r", "@E\r"}));
    EXPECT_EQ(Meldungstexte(),
              std::vector<std::string>{"F E H L E R: Job paßt nicht in den Festwertspeicher!\n"});
    EXPECT_THAT(sim->Festprogramm(), ::testing::IsEmpty());
    EXPECT_FALSE(sim->Aufzeichnung());
    EXPECT_FALSE(Aufzeichnung_beendet());

    // The module sends again afterwards.
    Startgeschwindigkeit_einstellen(500);
    EXPECT_EQ(Neue_Anfragen(), Zeilen_t{"#S500\r"});
}

// A controller that has gone silent while busy: the stop from the window thread ends the
// worker's wait, and the move ends with the operator's abort.
TEST_F(SpeichermodulSimulation, StoppBeendetDasWartenAufEineStummeSteuerung) {
    SpeicherndeSteuerung::Optionen o;
    o.Zeitskala = 1; // the move would take 2.5 s; its STX never comes
    ASSERT_NO_FATAL_FAILURE(Verbinden(2, o));
    Endgeschwindigkeit_einstellen(1, 2000);
    Modul().Stillefrist_setzen(600000); // the silence must not end it
    const std::size_t vorher = sim->Anfragen().size();

    int32_t code = 0;
    std::thread arbeiter(
        [&] { code = Code([] { Vektorfahrt_ausfuehren(true, 1, 5000, 0, 0, 1); }); });
    ASSERT_TRUE(sim->Warten_auf_Anfragen(vorher + 1, 5000));
    sim->Stumm_schalten(true);
    Achsen_anhalten();
    arbeiter.join();

    EXPECT_EQ(code, THROW_ABORT);
    EXPECT_FALSE(Modul().Beschaeftigt());
    // The stop request is written before the wait ends; the simulator may read it later.
    ASSERT_TRUE(sim->Warten_auf_Anfragen(vorher + 2, 5000));
    const Zeilen_t anfragen = sim->Anfragen();
    EXPECT_EQ(anfragen.back(), "@B\r");
    EXPECT_EQ(anfragen[vorher], "L1,x5000" + SOH);
}

// Closing the link (the program ends) while a worker waits for a silent controller.
TEST_F(SpeichermodulSimulation, SchliessenBeendetDasWartenAufEineStummeSteuerung) {
    SpeicherndeSteuerung::Optionen o;
    o.Zeitskala = 1;
    ASSERT_NO_FATAL_FAILURE(Verbinden(3, o));
    Endgeschwindigkeit_einstellen(1, 2000);
    Modul().Stillefrist_setzen(600000);
    const std::size_t vorher = sim->Anfragen().size();

    int32_t code = -5;
    std::thread arbeiter(
        [&] { code = Code([] { Vektorfahrt_ausfuehren(true, 1, 5000, 0, 0, 1); }); });
    ASSERT_TRUE(sim->Warten_auf_Anfragen(vorher + 1, 5000));
    sim->Stumm_schalten(true);
    Steuerung_schliessen();
    arbeiter.join();

    EXPECT_EQ(code, 0);
    EXPECT_FALSE(Modul().Beschaeftigt());
    EXPECT_EQ(sim->Anfragen().size(), vorher + 1);
    // Closed: the next command goes nowhere.
    Startgeschwindigkeit_einstellen(400);
    EXPECT_EQ(sim->Anfragen().size(), vorher + 1);
}

TEST_F(SpeichermodulSimulation, StilleWaehrendDerFahrtEndetMitEinemSteuerungsfehler) {
    SpeicherndeSteuerung::Optionen o;
    o.Zeitskala = 1; // the move takes 2.5 s
    ASSERT_NO_FATAL_FAILURE(Verbinden(3, o));
    Endgeschwindigkeit_einstellen(1, 2000);
    Modul().Stillefrist_setzen(1);
    const std::size_t vorher = sim->Anfragen().size();

    int32_t code = 0;
    std::thread arbeiter(
        [&] { code = Code([] { Vektorfahrt_ausfuehren(true, 1, 5000, 0, 0, 1); }); });
    ASSERT_TRUE(sim->Warten_auf_Anfragen(vorher + 1, 5000));
    sim->Stumm_schalten(true);
    arbeiter.join();

    EXPECT_EQ(code, WAIT_TIMEOUT);
    // Before giving up the module asked for a sign of life.
    EXPECT_EQ(sim->Anfragen().back(), "@Lx\r");
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "KXCU Mikrocontroller-Unit");
    bool protokolliert = false;
    for (const auto& zeile : Protokoll())
        protokolliert |= zeile.find("Leerlauf_abwarten() :: keine Antwort") != std::string::npos;
    EXPECT_TRUE(protokolliert);
}

// A long move that still answers is not taken for silence.
TEST_F(SpeichermodulSimulation, LangeFahrtDieAntwortetLaeuftWeiter) {
    SpeicherndeSteuerung::Optionen o;
    o.Zeitskala = 1;
    ASSERT_NO_FATAL_FAILURE(Verbinden(2, o));
    Endgeschwindigkeit_einstellen(1, 100);
    Modul().Stillefrist_setzen(1);
    const std::size_t vorher = sim->Anfragen().size();

    int32_t code = 0;
    std::thread arbeiter(
        [&] { code = Code([] { Vektorfahrt_ausfuehren(true, 1, 100000, 0, 0, 1); }); });
    // The move, then two signs of life asked for while it runs.
    ASSERT_TRUE(sim->Warten_auf_Anfragen(vorher + 3, 10000));
    Achsen_anhalten();
    arbeiter.join();

    EXPECT_EQ(code, THROW_ABORT);
    const Zeilen_t anfragen = sim->Anfragen();
    EXPECT_EQ(anfragen[vorher + 1], "@Lx\r");
    EXPECT_EQ(anfragen[vorher + 2], "@Lx\r");
    EXPECT_THAT(ui.Meldungen(), ::testing::IsEmpty());
    EXPECT_GT(sim->Position('x'), 0);
    EXPECT_LT(sim->Position('x'), 100000);
}

// Argument errors of both modules: what is sent, and which box comes up.
TEST_F(SpeichermodulSimulation, GrenzenUndMeldungen) {
    struct Fall {
        int32_t modul;
        std::function<void(Speichermodul&)> aufruf;
        Zeilen_t gesendet;
        std::string meldung; // title ": " text, empty for none
    };
    const std::string F = "F E H L E R: ";
    const std::vector<Fall> faelle{
        {2,
         [](Speichermodul& m) { m.Startgeschwindigkeit_einstellen(6000); },
         {"#S5000\r"},
         "Startgeschwindigkeit_einstellen(): unzulässiger Wert für Startfreq"},
        {3,
         [](Speichermodul& m) { m.Startgeschwindigkeit_einstellen(6000); },
         {"#S5000\r"},
         "Startgeschwindigkeit_einstellen(): unzulässiger Wert für Startfreq"},
        {2,
         [](Speichermodul& m) { m.Endgeschwindigkeit_einstellen(100, 400); },
         {},
         "Endgeschwindigkeit_einstellen(): unzulässiger Wert für index"},
        {2, [](Speichermodul& m) { m.Endgeschwindigkeit_einstellen(99, 400); }, {"#E99,400\r"}, ""},
        {3,
         [](Speichermodul& m) { m.Endgeschwindigkeit_einstellen(11, 400); },
         {},
         "Endgeschwindigkeit_einstellen(): unzulässiger Wert für index"},
        {3,
         [](Speichermodul& m) { m.Endgeschwindigkeit_einstellen(10, 7000); },
         {"#E10,5000\r"},
         "Endgeschwindigkeit_einstellen(): unzulässiger Wert für Arbeitsfreq"},
        {2,
         [](Speichermodul& m) { m.Rampenlaenge_einstellen(70000); },
         {"#R60000\r"},
         "Rampenlaenge_einstellen(): unzulässiger Wert für Rampenlaenge"},
        {3,
         [](Speichermodul& m) { m.Rampenlaenge_einstellen(60001); },
         {"#R60000\r"},
         "Rampenlaenge_einstellen(): unzulässiger Wert für Rampenlaenge"},
        {2,
         [](Speichermodul& m) { m.Referenzgeschwindigkeit_einstellen(9000); },
         {"#E9,5000\r"},
         "ReferenzGeschwindigkeit_einstellen(): unzulässiger Wert für RefFreq"},
        {3,
         [](Speichermodul& m) { m.Referenzgeschwindigkeit_einstellen(9000); },
         {},
         "Referenzgeschwindigkeit_einstellen(): unzulässiger Wert für RefFreq"},
        {2,
         [](Speichermodul& m) { m.Vektorfahrt_ausfuehren(false, 100, 1, 2, 3, 13); },
         {},
         "Vektorfahrt_ausfuehren(): unzulässiger Wert für index"},
        {3,
         [](Speichermodul& m) { m.Vektorfahrt_ausfuehren(false, 11, 1, 2, 3, 13); },
         {},
         "Vektorfahrt_ausfuehren(): unzulässiger Wert für index"},
        {2,
         [](Speichermodul& m) {
             m.Endgeschwindigkeit_einstellen(3, 4000);
             m.Vektorfahrt_ausfuehren(false, 3, 1200, 99999, 99999, 1);
         },
         {"#E3,4000\r", "L3,X1200" + SOH},
         ""},
        {3, [](Speichermodul& m) { m.Vektorfahrt_ausfuehren(true, 3, 0, 0, 0, 1); }, {}, ""},
        {2, [](Speichermodul& m) { m.Ausgangssignal_setzen(17, 1); }, {"A0\r"}, ""},
        {2, [](Speichermodul& m) { m.Ausgangssignal_setzen(15, 1); }, {"A1\r"}, ""},
        {2,
         [](Speichermodul& m) { m.Ausgangssignal_setzen(5, 1); },
         {"\r"},
         F + "Ausgangssignal_setzen()"},
        {3, [](Speichermodul& m) { m.Ausgangssignal_setzen(13, 1); }, {"A2,1\r"}, ""},
        {3,
         [](Speichermodul& m) { m.Ausgangssignal_setzen(0, 1); },
         {},
         F + "Ausgangssignal_setzen()"},
        {2,
         [](Speichermodul& m) { m.Wartezeit_einfuegen(40000); },
         {"W32000\r"},
         F + "Die Wartezeit kann nicht größer als 32000 sein!"},
        {3,
         [](Speichermodul& m) { m.Wartezeit_einfuegen(40000); },
         {"W32000\r"},
         F + "Die Wartezeit kann nicht größer als 32000 sein!"},
        {3, [](Speichermodul& m) { m.E1Verknuepfung_setzen(5); }, {"&V1\r"}, ""},
        {3, [](Speichermodul& m) { m.U_Achse_einstellen(2); }, {"U1\r"}, ""},
        {2, [](Speichermodul& m) { m.Referenzoffset_einstellen('y', -30); }, {"#Oy, -30\r"}, ""},
        {2, [](Speichermodul& m) { m.E1Verknuepfung_setzen(1); }, {}, ""},
        {3, [](Speichermodul& m) { m.Z_Achse_einstellen(1); }, {}, ""},
    };
    for (std::size_t i = 0; i < faelle.size(); ++i) {
        const Fall& fall = faelle[i];
        SCOPED_TRACE("Fall " + std::to_string(i));
        ASSERT_NO_FATAL_FAILURE(Verbinden(fall.modul));
        fall.aufruf(*Aktuelles_Speichermodul());
        EXPECT_EQ(Neue_Anfragen(), fall.gesendet);
        EXPECT_EQ(Meldungstexte(), fall.meldung.empty() ? std::vector<std::string>{}
                                                        : std::vector<std::string>{fall.meldung});
        EXPECT_THAT(sim->Abgelehnt(), ::testing::IsEmpty());
    }
}

// Answers that do not fit give the defined results and nothing worse.
TEST_F(SpeichermodulSimulation, StoerungenDerLeitung) {
    ASSERT_NO_FATAL_FAILURE(Verbinden(2));
    sim->Muell_senden(true, "?\xAB~@L\r");
    EXPECT_FALSE(Version_abfragen());
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 0);
    sim->Muell_senden(false);

    Vektorfahrt_ausfuehren(true, 1, 0, 0, 0, 13); // nothing sent
    Endgeschwindigkeit_einstellen(1, 2000);
    Vektorfahrt_ausfuehren(true, 1, 123, 0, 0, 1);
    sim->Naechste_Antwort_abschneiden(5); // "@Lx 1" without the rest and the CR
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 0);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 123);
    // Cut inside the number or just before the CR: no part of the number passes as the
    // position (1 or 12 would be taken as true).
    for (const std::size_t laenge : {6u, 7u}) {
        sim->Naechste_Antwort_abschneiden(laenge);
        EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 0) << laenge;
    }
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 123);

    sim->Ausstecken();
    EXPECT_FALSE(Version_abfragen());
    Steuerung_schliessen();
    Startgeschwindigkeit_einstellen(400); // closed: nothing happens
}

TEST_F(SpeichermodulSimulation, PortDerSichNichtOeffnenLaesstZeigtDieMeldung) {
    for (const int32_t modul : {2, 3}) {
        ui.Leeren();
        Parametersatz().Modul = modul;
        Parametersatz().ComPort = 17; // no entry
        Steuerung_erzeugen();
        Schnittstelle_beschreiben();
        EXPECT_FALSE(Steuerung_oeffnen(Steuerung().Schnittstelle));
        EXPECT_EQ(Meldungstexte(),
                  std::vector<std::string>{std::string(modul == 2 ? "iKXIF" : "KXCU") +
                                           " Mikrocontroller-Unit: COM17 kann nicht geöffnet "
                                           "werden!"});
        EXPECT_FALSE(Version_abfragen());
    }
}

} // namespace
} // namespace orvexa::test
