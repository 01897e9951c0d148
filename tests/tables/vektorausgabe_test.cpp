#include "attrappen.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "platform/ereignis.h"
#include "tables/tabelle.h"
#include "tables/tvekthread.h"
#include "tables/vektorausgabe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvexa::test {
namespace {

using Liste = std::vector<std::string>;

// Records what the run shows, one text per call.
class Aufzeichnender_Beobachter : public Vektorausgabe_Beobachter {
public:
    void AktuelleZeile(int zeile) override { Merken("Zeile " + std::to_string(zeile)); }
    void Wiederholung_anzeigen(int zeile, const std::string& text) override {
        Merken("WH " + std::to_string(zeile) + ": " + text);
    }
    void Zyklus_beginnt(int nummer) override { Merken("Zyklus " + std::to_string(nummer)); }
    void Zyklen_anzeigen(int rest) override { Merken("Rest " + std::to_string(rest)); }
    void Zyklenfeld_markieren(bool gelb) override { Merken(gelb ? "gelb" : "normal"); }
    void Laeuft(bool laeuft) override {
        Merken(laeuft ? "laeuft" : "steht");
        if (!laeuft) fertig.Setzen();
    }
    void Zyklenabbruch_anzeigen(bool sichtbar) override {
        Merken(sichtbar ? "Panel an" : "Panel aus");
    }

    Liste Eintraege() const {
        std::lock_guard lock(m_mutex);
        return m_eintraege;
    }
    // Only the entries beginning with anfang.
    Liste Eintraege(const std::string& anfang) const {
        Liste auswahl;
        for (const auto& e : Eintraege())
            if (e.starts_with(anfang)) auswahl.push_back(e);
        return auswahl;
    }

    Ereignis fertig{true};

private:
    void Merken(std::string text) {
        std::lock_guard lock(m_mutex);
        m_eintraege.push_back(std::move(text));
    }
    mutable std::mutex m_mutex;
    Liste m_eintraege;
};

class Vektorausgabetest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.ComPort = 1;
        p.Baudrate = 115200;
        p.Startfreq = 200;
        p.Arbeitsfreq = 400;
        p.Eilfreq = 600;
        p.Rampenlaenge = 100;
        p.RefFreq = 300;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        p.xRefNr = 1;
        p.yRefNr = 2;
        p.zRefNr = 3;
        p.uRefNr = 4;
        fabrik.Linie_vorbereiten = [](SeriellerBefehlssatzAttrappe& linie) {
            linie.Eingangspegel_vorgeben({}, true);
        };
        tabelle.Schritteingabe = true;
    }

    // A row of "-" with the given cells filled in.
    void Zeile(std::initializer_list<std::pair<int, std::string>> zellen) {
        tabelle.ZeileHinzufuegen();
        for (const auto& [spalte, text] : zellen)
            ASSERT_TRUE(tabelle.Zelle_setzen(tabelle.Zeilenzahl(), spalte, text)) << text;
    }

    Laufergebnis Lauf(const Vektoreingaben& e) {
        lauf.Eingaben_setzen(e);
        lauf.StartBitBtn_Thread();
        return lauf.Ergebnis();
    }

    // Calls of the driver whose name begins with one of the given texts.
    Liste Aufrufe_von(std::initializer_list<std::string> namen) const {
        Liste auswahl;
        for (const auto& aufruf : Aufrufe())
            for (const auto& name : namen)
                if (aufruf.starts_with(name)) auswahl.push_back(aufruf);
        return auswahl;
    }
    Liste Fahrten() const {
        return Aufrufe_von({"Linie.Vektorfahrt_ausfuehren", "Linie.UVektorfahrt_ausfuehren"});
    }

    Positionstabelle tabelle;
    Aufzeichnender_Beobachter beobachter;
    Vektorausgabe lauf{tabelle, beobachter};
};

// ---- One pass ------------------------------------------------------------------------------

TEST_F(Vektorausgabetest, EinLaufSchicktDieBefehleInDerReihenfolgeDerZeile) {
    Steuerung_einrichten(5);
    Zeile({{1, "ON"},
           {2, "ON"},
           {3, "OFF"},
           {6, "100"},
           {7, "-20"},
           {9, "5"},
           {10, "250"},
           {11, "150"},
           {12, "900"},
           {13, "50"}});
    const Laufergebnis ergebnis = Lauf({});

    EXPECT_TRUE(ergebnis.Gestartet);
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    EXPECT_EQ(Aufrufe(), (Liste{
                             // outputs reset
                             "Linie.Ausgangssignal_setzen(1, 0)",
                             "Linie.Ausgangssignal_setzen(2, 0)",
                             "Linie.Ausgangssignal_setzen(3, 0)",
                             // controller initialised (not the /KORA sequence)
                             "Linie.Startgeschwindigkeit_einstellen(200)",
                             "Linie.Endgeschwindigkeit_einstellen(0, 200)",
                             "Linie.Endgeschwindigkeit_einstellen(1, 400)",
                             "Linie.Endgeschwindigkeit_einstellen(2, 600)",
                             "Linie.Rampenlaenge_einstellen(100)",
                             "Linie.Ansteuersignale_einstellen(1)",
                             "Linie.Referenzoffset_einstellen(x, 0)",
                             "Linie.Referenzoffset_einstellen(y, 0)",
                             "Linie.Referenzoffset_einstellen(z, 0)",
                             "Linie.Referenzgeschwindigkeit_einstellen(300)",
                             // the pass
                             "Linie.Ansteuersignale_einstellen(1)",
                             "Linie.Eingang_abfragen_Potential(B)",
                             "Linie.Ausgangssignal_setzen(1, 1)",
                             "Linie.Ausgangssignal_setzen(2, 0)",
                             "Linie.Startgeschwindigkeit_einstellen(150)",
                             "Linie.Endgeschwindigkeit_einstellen(1, 900)",
                             "Linie.Rampenlaenge_einstellen(50)",
                             "Linie.Vektorfahrt_ausfuehren(1, 1, 100, -20, 0)",
                             "Linie.WaitResp(-1)",
                             "Linie.UVektorfahrt_ausfuehren(1, 1, 5)",
                             "Linie.WaitResp(-1)",
                             "Linie.Wartezeit_einfuegen(250)",
                             "Linie.WaitResp(500)",
                         }));
    EXPECT_EQ(beobachter.Eintraege(), (Liste{"laeuft", "gelb", "Zyklus 1", "Zeile 1", "Rest 0",
                                             "normal", "Rest 1", "Panel aus", "steht"}));
}

TEST_F(Vektorausgabetest, ProtokollZeigtLaufPassUndZeilen) {
    Steuerung_einrichten(5);
    Zeile({});
    Zeile({});
    Vektoreingaben e;
    e.RefModus = 1;
    e.xReferenz = e.zReferenz = true;
    Lauf(e);

    const Liste protokoll = Protokoll();
    const Liste erwartet = {"StartBitBtn_Thread",
                            "Vek_Ausgangssignal_zuruecksetzen()",
                            "Vek_Ausgangssignal_zuruecksetzen() :: Fertig",
                            "  Vek_Referenzfahrt(1, 0, 1, 0)",
                            "  Vek_Referenzfahrt(1, 0, 1, 0) :: Fertig",
                            "Vek_TabellenAusgabe(0)",
                            "Row=1",
                            "Row=2",
                            "Vek_TabellenAusgabe(0) :: Fertig",
                            "StartBitBtn_Thread::Fertig"};
    // In this order, with other lines between them.
    auto it = protokoll.begin();
    for (const auto& zeile : erwartet) {
        it = std::find(it, protokoll.end(), zeile);
        ASSERT_NE(it, protokoll.end()) << zeile;
    }
    EXPECT_EQ(protokoll.back(), "");
}

TEST_F(Vektorausgabetest, ZeileAusStrichenTutNichts) {
    Steuerung_einrichten(5);
    Zeile({});
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Aufrufe(), Liste{"Linie.Ansteuersignale_einstellen(1)"});
}

struct Zahlenzelle {
    std::string text;
    bool gesendet;
    int32_t wert;
};

class Zahlenspaltentest : public Vektorausgabetest,
                          public ::testing::WithParamInterface<Zahlenzelle> {};

// A number column counts when its text sorts after "-" byte by byte.
TEST_P(Zahlenspaltentest, SpalteZaehltWennSieNachDemStrichSortiert) {
    const Zahlenzelle zelle = GetParam();
    Steuerung_einrichten(5);
    Zeile({{10, zelle.text}, {11, zelle.text}, {12, zelle.text}, {13, zelle.text}});
    lauf.Vek_TabellenAusgabe(false);
    const std::string w = std::to_string(zelle.wert);
    const Liste erwartet = zelle.gesendet
                               ? Liste{"Linie.Startgeschwindigkeit_einstellen(" + w + ")",
                                       "Linie.Endgeschwindigkeit_einstellen(1, " + w + ")",
                                       "Linie.Rampenlaenge_einstellen(" + w + ")"}
                               : Liste{};
    EXPECT_EQ(Aufrufe_von({"Linie.Startg", "Linie.Endg", "Linie.Rampe"}), erwartet);
    // A wait of 0 or less sends nothing, but the others were given to the command layer.
    EXPECT_EQ(Aufrufe_von({"Linie.Wartezeit"}).size(), zelle.gesendet && zelle.wert > 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Zellen, Zahlenspaltentest,
                         ::testing::Values(Zahlenzelle{"-", false, 0},
                                           Zahlenzelle{"250", true, 250}, Zahlenzelle{"0", true, 0},
                                           // '+' sorts before '-'
                                           Zahlenzelle{"+250", false, 0},
                                           // no integer: sent as 0
                                           Zahlenzelle{"12.5", true, 0}));

TEST_F(Vektorausgabetest, E1SpalteWartetAufDenEingangOderSendetImSpeicherbetrieb) {
    Steuerung_einrichten(5);
    Zeile({{1, "ON"}});
    Zeile({{1, "OFF"}});
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Aufrufe_von({"Linie.E1", "Linie.Eingang"}),
              Liste{"Linie.Eingang_abfragen_Potential(B)"});

    fabrik.liste->Leeren();
    lauf.InFestwertspeicher = true;
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Aufrufe_von({"Linie.E1", "Linie.Eingang"}),
              (Liste{"Linie.E1Verknuepfung_setzen(1)", "Linie.E1Verknuepfung_setzen(0)",
                     "Linie.E1Verknuepfung_setzen(0)"}));
}

// ---- Repetitions -----------------------------------------------------------------------------

TEST_F(Vektorausgabetest, WH2FuehrtDieZeileDreimalAusUndZeigtKVonN) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}, {14, "2"}});
    Zeile({{6, "20"}});
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Fahrten(), (Liste{"Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)",
                                "Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)",
                                "Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)",
                                "Linie.Vektorfahrt_ausfuehren(1, 1, 20, 0, 0)"}));
    EXPECT_EQ(beobachter.Eintraege(),
              (Liste{"Zeile 1", "WH 1: 1 von 2", "WH 1: 2 von 2", "WH 1: ", "Zeile 2"}));
    // The display texts never reach the cell.
    EXPECT_EQ(tabelle.Zelle(1, 14), "2");
}

TEST_F(Vektorausgabetest, NegativesOderUngueltigesWHFuehrtEinmalAus) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}, {14, "-3"}});
    Zeile({{6, "20"}, {14, "x"}});
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Fahrten().size(), 2u);
    EXPECT_TRUE(beobachter.Eintraege("WH").empty());
}

TEST_F(Vektorausgabetest, AbbruchBeendetDieWiederholungen) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}, {14, "2147483647"}});
    int fahrten = 0;
    Linie()->Bei_Aufruf("Vektorfahrt_ausfuehren", [&] {
        if (++fahrten == 3) lauf.VekAbbruch = true;
    });
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(fahrten, 3);
    EXPECT_EQ(beobachter.Eintraege("WH").back(), "WH 1: ");
}

// ---- Axes --------------------------------------------------------------------------------------

struct Fahrtfall {
    bool zInterpolieren;
    Liste fahrten;
};

class Interpolationstest : public Vektorausgabetest,
                           public ::testing::WithParamInterface<Fahrtfall> {};

TEST_P(Interpolationstest, ZFaehrtMitOderNachXY) {
    Steuerung_einrichten(5);
    Zeile({{6, "100"}, {7, "0"}, {8, "50"}});
    Zeile({{8, "-7"}});
    lauf.Vek_TabellenAusgabe(GetParam().zInterpolieren);
    EXPECT_EQ(Aufrufe_von({"Linie.Vektorfahrt"}), GetParam().fahrten);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Interpolationstest,
    ::testing::Values(Fahrtfall{true,
                                {"Linie.Vektorfahrt_ausfuehren(1, 1, 100, 0, 50)",
                                 "Linie.Vektorfahrt_ausfuehren(1, 1, 0, 0, -7)"}},
                      Fahrtfall{false,
                                {"Linie.Vektorfahrt_ausfuehren(1, 1, 100, 0, 0)",
                                 "Linie.Vektorfahrt_ausfuehren(1, 1, 0, 0, 50)",
                                 "Linie.Vektorfahrt_ausfuehren(1, 1, 0, 0, -7)"}}));

TEST_F(Vektorausgabetest, MillimeterWerdenMitGetriebeUndMotorschrittenUmgerechnet) {
    Maschinenparameter& p = Parametersatz();
    p.xUebersetz = 2.0;
    p.yUebersetz = 3.0;
    p.uMotStep = 200;
    Steuerung_einrichten(5);
    tabelle.Schritteingabe = false;
    // 1.5 * 400 / 2 = 300; 0,25 * 400 / 3 = 33.3 -> 33; 2.5 * 400 = 1000; -0.5 * 200 = -100
    Zeile({{6, "1.5"}, {7, "0,25"}, {8, "2.5"}, {9, "-0.5"}});
    Zeile({{6, "-"}, {7, "abc"}, {8, "0.001"}});
    lauf.Vek_TabellenAusgabe(true);
    EXPECT_EQ(Fahrten(), (Liste{"Linie.Vektorfahrt_ausfuehren(1, 1, 300, 33, 1000)",
                                "Linie.UVektorfahrt_ausfuehren(1, 1, -100)"}));
}

// ---- Outputs -----------------------------------------------------------------------------------

class Ausgangsruecksetztest : public Vektorausgabetest,
                              public ::testing::WithParamInterface<std::pair<int32_t, Liste>> {};

TEST_P(Ausgangsruecksetztest, SchaltetDieAusgaengeDesTypsAus) {
    Parametersatz().Modul = GetParam().first;
    lauf.Vek_Ausgangssignal_zuruecksetzen();
    Liste geschaltet;
    for (const auto& zeile : Protokoll())
        if (zeile.find("Ausgangssignal_setzen(") != std::string::npos &&
            zeile.find("zuruecksetzen") == std::string::npos)
            geschaltet.push_back(zeile.substr(zeile.find_first_not_of(' ')));
    EXPECT_EQ(geschaltet, GetParam().second);
}

const std::string A1 = "Ausgangssignal_setzen(1, 0)", A2 = "Ausgangssignal_setzen(2, 0)",
                  A3 = "Ausgangssignal_setzen(3, 0)", A4 = "Ausgangssignal_setzen(4, 0)";

INSTANTIATE_TEST_SUITE_P(
    Module, Ausgangsruecksetztest,
    ::testing::Values(std::pair{0, Liste{A1}}, std::pair{1, Liste{A1}}, std::pair{2, Liste{A1}},
                      std::pair{3, Liste{A1, A2}}, std::pair{4, Liste{A1, A2, A3, A4}},
                      std::pair{5, Liste{A1, A2, A3}}, std::pair{6, Liste{A1, A2, A3}},
                      std::pair{7, Liste{A1, A2}}, std::pair{10, Liste{A1, A2}},
                      std::pair{11, Liste{A1, A2}}, std::pair{12, Liste{A1, A2}},
                      std::pair{13, Liste{A1}}));

TEST_F(Vektorausgabetest, TorvalSchaltetBeiTyp5UeberI2C) {
    Steuerung_einrichten(5);
    Zeile({{2, "ON"}, {5, "ON"}});
    Vektoreingaben e;
    e.ModusTorval = true;
    lauf.Eingaben_setzen(e);
    lauf.Vek_Ausgangssignal_zuruecksetzen();
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(
        Aufrufe_von({"Linie.I2C", "Linie.Ausgang"}),
        (Liste{"Linie.I2C_Ausgangssignal_setzen(1, 0)", "Linie.I2C_Ausgangssignal_setzen(2, 0)",
               "Linie.I2C_Ausgangssignal_setzen(3, 0)", "Linie.I2C_Ausgangssignal_setzen(1, 1)",
               "Linie.I2C_Ausgangssignal_setzen(4, 1)"}));

    // The same mode on type 6 switches the controller's own outputs.
    Steuerung_einrichten(6);
    lauf.Vek_TabellenAusgabe(false);
    EXPECT_EQ(Aufrufe_von({"Linie.I2C", "Linie.Ausgang"}),
              (Liste{"Linie.Ausgangssignal_setzen(1, 1)", "Linie.Ausgangssignal_setzen(4, 1)"}));
}

// ---- Cycles and reference cycles ---------------------------------------------------------------

struct Zyklenfall {
    int32_t zyklen;
    bool endlos;
    int z_in_durchlauf; // 0: never
    int durchlaeufe;
    int32_t rest;
};

class Zyklentest : public Vektorausgabetest, public ::testing::WithParamInterface<Zyklenfall> {};

TEST_P(Zyklentest, ZyklenUndZAbbruch) {
    const Zyklenfall fall = GetParam();
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    int fahrten = 0;
    Linie()->Bei_Aufruf("Vektorfahrt_ausfuehren", [&] {
        if (++fahrten == fall.z_in_durchlauf) lauf.Zyklen_abbrechen();
    });
    Vektoreingaben e;
    e.Zyklen = fall.zyklen;
    e.Endlos = fall.endlos;
    const Laufergebnis ergebnis = Lauf(e);

    EXPECT_EQ(ergebnis.Durchlaeufe, fall.durchlaeufe);
    EXPECT_EQ(fahrten, fall.durchlaeufe);
    EXPECT_EQ(ergebnis.Zyklen, fall.rest);
    EXPECT_EQ(beobachter.Eintraege("Rest").back(), "Rest " + std::to_string(fall.rest));
    EXPECT_FALSE(ergebnis.Abgebrochen);
    // Endless runs leave the cycle field alone until the end.
    EXPECT_EQ(beobachter.Eintraege("Rest").size(),
              fall.endlos ? 1u : static_cast<std::size_t>(fall.durchlaeufe) + 1);
    EXPECT_EQ(beobachter.Eintraege("gelb").size(), fall.endlos ? 0u : 1u);
    EXPECT_EQ(beobachter.Eintraege("Panel").back(), "Panel aus");
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Zyklentest,
    ::testing::Values(Zyklenfall{3, false, 0, 3, 1}, Zyklenfall{3, false, 2, 2, 1},
                      Zyklenfall{5, false, 2, 2, 3}, Zyklenfall{0, false, 0, 1, 1},
                      Zyklenfall{-4, false, 0, 1, 1}, Zyklenfall{7, true, 4, 4, 7},
                      Zyklenfall{0, true, 0, 1, 1}));

class Referenzmodustest : public Vektorausgabetest,
                          public ::testing::WithParamInterface<std::pair<int32_t, Liste>> {};

TEST_P(Referenzmodustest, ReferenzfahrtVorErstemOderJedemZyklus) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    Vektoreingaben e;
    e.Zyklen = 3;
    e.RefModus = GetParam().first;
    e.xReferenz = e.yReferenz = e.uReferenz = true;
    Lauf(e);
    EXPECT_EQ(Aufrufe_von({"Linie.Referenzfahrt", "Linie.Vektorfahrt"}), GetParam().second);
}

const std::string Ref = "Linie.Referenzfahrt_ausfuehren(xyu)";
const std::string Fahrt = "Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)";

INSTANTIATE_TEST_SUITE_P(Modi, Referenzmodustest,
                         ::testing::Values(std::pair{0, Liste{Fahrt, Fahrt, Fahrt}},
                                           std::pair{1, Liste{Ref, Fahrt, Fahrt, Fahrt}},
                                           std::pair{2,
                                                     Liste{Ref, Fahrt, Ref, Fahrt, Ref, Fahrt}}));

TEST_F(Vektorausgabetest, ReferenzfahrtSetztGeschwindigkeitenUndNurMitAchsen) {
    Steuerung_einrichten(5);
    lauf.Vek_Referenzfahrt(false, false, false, false);
    EXPECT_TRUE(Aufrufe().empty());
    lauf.Vek_Referenzfahrt(false, true, true, false);
    EXPECT_EQ(Aufrufe(), (Liste{"Linie.Startgeschwindigkeit_einstellen(200)",
                                "Linie.Referenzgeschwindigkeit_einstellen(300)",
                                "Linie.Rampenlaenge_einstellen(100)",
                                "Linie.Referenzfahrt_ausfuehren(yz)", "Linie.WaitResp(-1)"}));
}

// ---- Refusals and failures ---------------------------------------------------------------------

TEST_F(Vektorausgabetest, GetriebeNullVerweigertDenLauf) {
    Parametersatz().uUebersetz = 0;
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    const Laufergebnis ergebnis = Lauf({});
    EXPECT_FALSE(ergebnis.Gestartet);
    EXPECT_TRUE(Aufrufe().empty());
    EXPECT_TRUE(beobachter.Eintraege().empty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Überprüfen Sie bitte die Maschinenparameter!\n");
    EXPECT_EQ(ui.Meldungen()[0].titel, "orvexa2011");
}

TEST_F(Vektorausgabetest, FehlercodeBeendetDenLaufUndWirdGemeldet) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    Zeile({{6, "20"}});
    Linie()->Fehler_vorgeben("Vektorfahrt_ausfuehren", WAIT_TIMEOUT);
    Vektoreingaben e;
    e.Zyklen = 4;
    const Laufergebnis ergebnis = Lauf(e);

    EXPECT_EQ(ergebnis.Fehlercode, WAIT_TIMEOUT);
    EXPECT_EQ(Fahrten(), Liste{"Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)"});
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, Fehlerbericht(WAIT_TIMEOUT));
    EXPECT_EQ(ui.Meldungen()[0].titel, "orvexa2011");
    // The cycle field is released, the run shows as stopped and the worker can start again.
    EXPECT_EQ(beobachter.Eintraege(), (Liste{"laeuft", "gelb", "Zyklus 1", "Zeile 1", "normal",
                                             "Rest 4", "Panel aus", "steht"}));
    const Liste protokoll = Protokoll();
    EXPECT_NE(std::find(protokoll.begin(), protokoll.end(), "StartBitBtn_Thread::Fertig"),
              protokoll.end());
}

TEST_F(Vektorausgabetest, AlterStoppAuftragBeendetDenNaechstenLaufNicht) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    Steuerung().Abbruch = true; // Esc pressed while idle
    const Laufergebnis ergebnis = Lauf({});
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_EQ(Fahrten().size(), 1u);
}

// ---- Stopping from the window thread -----------------------------------------------------------

class Abbruchtest : public Vektorausgabetest {
protected:
    void Starten(const Vektoreingaben& e) {
        lauf.Eingaben_setzen(e);
        arbeiter.Starten();
        ASSERT_TRUE(arbeiter.Befehl_geben(TVekThread::Befehl_Lauf));
    }
    void Ende_abwarten() {
        ASSERT_EQ(beobachter.fertig.Warten(5000), Warteergebnis::signalisiert);
        // Idle again: a second start is taken.
        EXPECT_TRUE(arbeiter.Beenden(true));
    }
    TVekThread arbeiter{lauf};
};

TEST_F(Abbruchtest, AbbrechenWaehrendEinerFahrtBeendetDenLaufStill) {
    Steuerung_einrichten(5);
    Zeile({{6, "10"}});
    Zeile({{6, "20"}});
    Zeile({{6, "30"}});
    SeriellerBefehlssatzAttrappe* linie = Linie();
    linie->Sperre_setzen("Vektorfahrt_ausfuehren");
    Vektoreingaben e;
    e.Endlos = true;
    Starten(e);
    ASSERT_TRUE(linie->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    lauf.Abbrechen();
    linie->Sperre_loesen("Vektorfahrt_ausfuehren");
    Ende_abwarten();

    const Laufergebnis ergebnis = lauf.Ergebnis();
    EXPECT_EQ(ergebnis.Fehlercode, THROW_ABORT);
    EXPECT_TRUE(ergebnis.Abgebrochen);
    EXPECT_EQ(Fahrten(), Liste{"Linie.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0)"});
    EXPECT_EQ(Aufrufe_von({"Linie.Achsen_anhalten"}).size(), 1u);
    EXPECT_TRUE(ui.Meldungen().empty()); // the operator's own stop is only logged
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(Abbruchtest, AbbrechenWaehrendDesEingangswartensMarkiertDieRestlichenZeilenNur) {
    fabrik.Linie_vorbereiten = [](SeriellerBefehlssatzAttrappe& linie) {
        linie.Eingangspegel_vorgeben({}, false);
    };
    Steuerung_einrichten(5);
    Zeile({{1, "ON"}, {6, "10"}});
    Zeile({{2, "ON"}, {6, "20"}});
    Zeile({{6, "30"}, {10, "100"}});
    Vektoreingaben e;
    e.Zyklen = 3;
    Starten(e);
    ASSERT_TRUE(fabrik.liste->Warten_auf("Linie.Eingang_abfragen_Potential"));
    lauf.Abbrechen();
    Ende_abwarten();

    const Laufergebnis ergebnis = lauf.Ergebnis();
    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_TRUE(ergebnis.Abgebrochen);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    EXPECT_TRUE(Fahrten().empty());
    EXPECT_TRUE(Aufrufe_von({"Linie.Ausgangssignal_setzen(2, 1)", "Linie.Wartezeit"}).empty());
    EXPECT_EQ(beobachter.Eintraege("Zeile"), (Liste{"Zeile 1", "Zeile 2", "Zeile 3"}));
    // The stop that no move consumed does not linger.
    EXPECT_FALSE(Steuerung().Abbruch);
}

// ---- Recording into the KX900-KXCU fixed memory ------------------------------------------------

TEST_F(Vektorausgabetest, AufzeichnungInDenFestwertspeicher) {
    Steuerung_einrichten(3);
    Zeile({{6, "10"}});
    Zeile({{6, "20"}});
    Vektoreingaben e;
    e.Festwertspeicher = true;
    const Laufergebnis ergebnis = Lauf(e);

    EXPECT_EQ(ergebnis.Fehlercode, 0);
    EXPECT_FALSE(lauf.FestwertspeicherAktiv);
    const Liste aufrufe = Aufrufe_von({"Speicher.U_Achse", "Speicher.Upload", "Speicher.End_in",
                                       "Speicher.Vektorfahrt", "Speicher.Aufzeichnung",
                                       "Speicher.Programm", "Speicher.Festwert"});
    EXPECT_EQ(aufrufe,
              (Liste{"Speicher.U_Achse_einstellen(0)", "Speicher.Upload_in_Festwertspeicher()",
                     // the controller initialisation sets it again
                     "Speicher.U_Achse_einstellen(0)",
                     "Speicher.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0, 13)",
                     "Speicher.Aufzeichnung_beendet()",
                     "Speicher.Vektorfahrt_ausfuehren(1, 1, 20, 0, 0, 13)",
                     "Speicher.Aufzeichnung_beendet()", "Speicher.End_in_Festwertspeicher()"}));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Festwertspeicher-Download war erfolgreich!\n");
}

TEST_F(Vektorausgabetest, VollerFestwertspeicherBeendetDieAufzeichnung) {
    fabrik.Speicher_vorbereiten = [](SpeichermodulAttrappe& s) {
        s.Aufzeichnung_beendet_setzen(true);
    };
    Steuerung_einrichten(3);
    Zeile({{6, "10"}});
    Zeile({{6, "20"}});
    Vektoreingaben e;
    e.Festwertspeicher = true;
    e.Zyklen = 2;
    const Laufergebnis ergebnis = Lauf(e);

    EXPECT_TRUE(ergebnis.Abgebrochen);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    EXPECT_EQ(Aufrufe_von({"Speicher.Vektorfahrt"}),
              Liste{"Speicher.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0, 13)"});
    EXPECT_EQ(Aufrufe().back(), "Speicher.Festwertspeicher_loeschen()");
    EXPECT_TRUE(Aufrufe_von({"Speicher.End_in"}).empty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Job paßt nicht in den Festwertspeicher!\n");
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");
    EXPECT_EQ(ui.Meldungen()[0].symbol, Symbol::warnung);
}

TEST_F(Vektorausgabetest, OhneAufzeichnungWirdJedeZeileGestartet) {
    Steuerung_einrichten(3);
    Zeile({{6, "10"}, {14, "1"}});
    Lauf({});
    EXPECT_EQ(
        Aufrufe_von({"Speicher.Upload", "Speicher.Vektorfahrt", "Speicher.Programm"}),
        (Liste{"Speicher.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0, 13)", "Speicher.Programm_starten()",
               "Speicher.Vektorfahrt_ausfuehren(1, 1, 10, 0, 0, 13)",
               "Speicher.Programm_starten()"}));
}

TEST_F(Vektorausgabetest, AbbrechenLoeschtEineLaufendeAufzeichnungStattAnzuhalten) {
    Steuerung_einrichten(3);
    lauf.FestwertspeicherAktiv = true;
    lauf.Abbrechen();
    lauf.FestwertspeicherAktiv = false;
    lauf.Abbrechen();
    EXPECT_EQ(Aufrufe(),
              (Liste{"Speicher.Festwertspeicher_loeschen()", "Speicher.Achsen_anhalten()"}));
    EXPECT_TRUE(lauf.VekAbbruch);
    EXPECT_TRUE(lauf.ZyklenAbbruch);
}

TEST_F(Vektorausgabetest, FehlerWaehrendDerAufzeichnungBeendetSie) {
    fabrik.Speicher_vorbereiten = [](SpeichermodulAttrappe& s) {
        s.Fehler_vorgeben("Vektorfahrt_ausfuehren", COMMUNICATION_ERROR);
    };
    Steuerung_einrichten(3);
    Zeile({{6, "10"}});
    Vektoreingaben e;
    e.Festwertspeicher = true;
    EXPECT_EQ(Lauf(e).Fehlercode, COMMUNICATION_ERROR);
    // The next stop stops the axes again.
    EXPECT_FALSE(lauf.FestwertspeicherAktiv);
}

// ---- Angle-positioning mode --------------------------------------------------------------------

class Winkeltest : public Vektorausgabetest {
protected:
    void SetUp() override {
        Vektorausgabetest::SetUp();
        ASSERT_NE(getcwd(m_alt, sizeof m_alt), nullptr);
        ASSERT_EQ(chdir(ordner.Pfad().c_str()), 0);
        Steuerung_einrichten(3);
        Zeile({{6, "45"}});
        Zeile({{6, "-"}});
        Zeile({{6, "0"}, {7, "100"}});
        Zeile({{6, "90,5"}});
        e.ModusWT = true;
    }
    void TearDown() override {
        ASSERT_EQ(chdir(m_alt), 0);
        Vektorausgabetest::TearDown();
    }
    Vektoreingaben e;

private:
    char m_alt[4096] = {};
};

TEST_F(Winkeltest, JedeZeileMitWinkelErgibtEineErgebniszeile) {
    std::vector<double> angefahren;
    lauf.Winkelanfahrt_setzen([&](double soll, double& ist) {
        angefahren.push_back(soll);
        ist = soll > 50 ? 90.1 : 44.999;
        return soll < 50;
    });
    Parametersatz().yUebersetz = 0; // the angle mode does not look at the gear ratios
    Lauf(e);

    EXPECT_EQ(angefahren, (std::vector<double>{45.0, 90.5}));
    const Liste erwartet = {"1 |  Soll: 45.00  Ist: 45.00 -> ok",
                            "4 |  Soll: 90.50  Ist: 90.10 -> Winkel nicht erreicht!"};
    EXPECT_EQ(lauf.AusgabeListe(), erwartet);
    EXPECT_EQ(Datei_lesen(ordner.Datei("TabellenAusgabe.txt")),
              erwartet[0] + "\r\n" + erwartet[1] + "\r\n");
    EXPECT_TRUE(Aufrufe_von({"Speicher.Vektorfahrt"}).empty());
}

TEST_F(Winkeltest, FehlerWirdInDerErgebnisdateiVermerkt) {
    lauf.Winkelanfahrt_setzen(
        [](double, double&) -> bool { throw Steuerungsfehler(OUT_OF_RANGE); });
    Datei_schreiben(ordner.Datei("TabellenAusgabe.txt"), "alter Inhalt\r\n");
    const Laufergebnis ergebnis = Lauf(e);
    EXPECT_EQ(ergebnis.Fehlercode, OUT_OF_RANGE);
    EXPECT_EQ(Datei_lesen(ordner.Datei("TabellenAusgabe.txt")), "Ein Fehler ist aufgetreten!\r\n");
}

} // namespace
} // namespace orvexa::test
