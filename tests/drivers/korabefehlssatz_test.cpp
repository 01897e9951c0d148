#include "drivers/korabefehlssatz.h"
#include "kora_zeichen.h"

#include "core/fehler.h"
#include "platform/portverzeichnis.h"
#include "seriellesteuerung.h"
#include "testhilfen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;

using test::ACK;
using test::BEL;
using test::NAK;
constexpr int Portnummer = 7;

int32_t Fehlercode_von(const std::function<void()>& aufruf) {
    try {
        aufruf();
    } catch (const Steuerungsfehler& fehler) {
        return fehler.code();
    }
    return 0;
}

// The command set on a real link over a pseudo-terminal to the simulated controller.
class Befehlssatztest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
    }

    void TearDown() override {
        kora.reset();
        sim.reset();
        ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    void Verbinden(SerielleSteuerung::Optionen optionen = {}) {
        sim = std::make_unique<SerielleSteuerung>(optionen);
        ASSERT_TRUE(COM_registrieren(Portnummer, sim->Geraetepfad()));
        kora = std::make_unique<KoraBefehlssatz>();
        kora->SetTag(2);
        kora->Init(Portnummer, 115200);
        kora->Connect();
        basis = sim->Anfragen().size();
    }

    // Requests the controller has received since the last call (without their CR).
    Zeilen_t Neue_Anfragen() {
        const Zeilen_t alle = sim->Anfragen();
        Zeilen_t neu(alle.begin() + static_cast<std::ptrdiff_t>(std::min(basis, alle.size())),
                     alle.end());
        basis = alle.size();
        return neu;
    }

    bool Protokoll_enthaelt(const std::string& text) const {
        const Zeilen_t zeilen = Protokoll();
        return std::any_of(zeilen.begin(), zeilen.end(),
                           [&](const std::string& z) { return z.find(text) != std::string::npos; });
    }

    std::unique_ptr<SerielleSteuerung> sim;
    std::unique_ptr<KoraBefehlssatz> kora;
    std::size_t basis = 0;
};

TEST_F(Befehlssatztest, EinstellungenGehenAlsGenauDieseAnfragenHinaus) {
    Verbinden();
    kora->Startgeschwindigkeit_einstellen(128000);
    EXPECT_EQ(kora->Linie().Letzte_Anfrage(), "#S128000\r");
    kora->Endgeschwindigkeit_einstellen(10, 0);
    kora->Endgeschwindigkeit_einstellen(1, 2500);
    kora->Rampenlaenge_einstellen(60000);
    kora->Referenzgeschwindigkeit_einstellen(1500);
    kora->Referenzoffset_einstellen('y', -250);
    kora->Ansteuersignale_einstellen(1);
    kora->E1Verknuepfung_setzen(1);
    kora->Programmdurchlaeufe_hinterlegen(3);
    kora->Ausgangssignal_setzen(3, 1);
    kora->Ausgangssignal_setzen('L', 1);
    kora->Ausgangssignal_setzen('R', 0);
    kora->I2C_Ausgangssignal_setzen(4, 1);
    EXPECT_EQ(Neue_Anfragen(),
              (Zeilen_t{"#S128000", "#E10,0", "#E1,2500", "#R60000", "#E9,1500", "#Oy,-250", "T1",
                        "&E1,1", "#PD,3", "A3,1", "AL,1", "AR,0", "I2C-A4,1"}));
    EXPECT_EQ(kora->Linie().Antwort(), std::string(1, ACK));

    const auto e = sim->Einstellungen();
    EXPECT_EQ(e.Startfreq, 128000);
    EXPECT_EQ(e.Geschwindigkeit[1], 2500);
    EXPECT_EQ(e.Geschwindigkeit[9], 1500);
    EXPECT_EQ(e.Rampe, 60000);
    EXPECT_EQ(e.Referenzoffset[1], -250);
    EXPECT_EQ(e.Durchlaeufe, 3);
    EXPECT_TRUE(e.Ausgaenge[2]);
    EXPECT_TRUE(e.Ausgaenge[8]);
    EXPECT_TRUE(e.I2C_Ausgaenge[3]);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Befehlssatztest, UnzulaessigeArgumenteWerdenGemeldetUndNichtGesendet) {
    Verbinden();
    struct Fall {
        std::function<void()> aufruf;
        std::string operation;
        std::string meldung;
    };
    KoraBefehlssatz& k = *kora;
    const std::vector<Fall> faelle{
        {[&] { k.Startgeschwindigkeit_einstellen(128001); },
         "Startgeschwindigkeit_einstellen(128001) [128000]", "unzulässiger Wert für Startfreq"},
        // A negative speed is nonsense for the controller, though only the top is named.
        {[&] { k.Startgeschwindigkeit_einstellen(-1); },
         "Startgeschwindigkeit_einstellen(-1) [128000]", "unzulässiger Wert für Startfreq"},
        {[&] { k.Endgeschwindigkeit_einstellen(11, 400); },
         "Endgeschwindigkeit_einstellen(11, 400) [10, 128000]", "unzulässiger Wert für Index"},
        {[&] { k.Endgeschwindigkeit_einstellen(-1, 400); },
         "Endgeschwindigkeit_einstellen(-1, 400) [10, 128000]", "unzulässiger Wert für Index"},
        {[&] { k.Endgeschwindigkeit_einstellen(2, 128001); },
         "Endgeschwindigkeit_einstellen(2, 128001) [10, 128000]",
         "unzulässiger Wert für Arbeitsfreq"},
        {[&] { k.Endgeschwindigkeit_einstellen(2, -400); },
         "Endgeschwindigkeit_einstellen(2, -400) [10, 128000]",
         "unzulässiger Wert für Arbeitsfreq"},
        {[&] { k.Rampenlaenge_einstellen(60001); }, "Rampenlaenge_einstellen(60001) [60000]",
         "unzulässiger Wert für Rampenlaenge"},
        // Read as an unsigned 16-bit number: -1 is 65535.
        {[&] { k.Rampenlaenge_einstellen(-1); }, "Rampenlaenge_einstellen(65535) [60000]",
         "unzulässiger Wert für Rampenlaenge"},
        // Neither a large negative value nor one beyond 16 bits may slip through as its
        // 16-bit remainder (-10000 would be 55536, 70000 would be 4464).
        {[&] { k.Rampenlaenge_einstellen(-10000); }, "Rampenlaenge_einstellen(55536) [60000]",
         "unzulässiger Wert für Rampenlaenge"},
        {[&] { k.Rampenlaenge_einstellen(70000); }, "Rampenlaenge_einstellen(70000) [60000]",
         "unzulässiger Wert für Rampenlaenge"},
        {[&] { k.Referenzgeschwindigkeit_einstellen(128001); },
         "Referenzgeschwindigkeit_einstellen(128001) [128000]", "unzulässiger Wert für RefFreq"},
        {[&] { k.Referenzgeschwindigkeit_einstellen(-5); },
         "Referenzgeschwindigkeit_einstellen(-5) [128000]", "unzulässiger Wert für RefFreq"},
        {[&] { k.Referenzoffset_einstellen('X', 5); }, "Referenzoffset_einstellen('X', 5)",
         "unzulässiger Wert für Achse"},
        {[&] { k.Referenzoffset_einstellen('\r', 5); }, "Referenzoffset_einstellen('?', 5)",
         "unzulässiger Wert für Achse"},
        {[&] { k.Ansteuersignale_einstellen(2); }, "Ansteuersignale_einstellen(2) [0:1]",
         "unzulässiger Wert für ZBetrieb"},
        {[&] { k.Schrittbetrieb_einstellen(2, 0); },
         "Halb_Vollschrittbetrieb_einstellen(2, 0) [0:1] [0:2:6]",
         "unzulässiger Wert für Schrittbetrieb"},
        {[&] { k.Schrittbetrieb_einstellen(0, 3); },
         "Halb_Vollschrittbetrieb_einstellen(0, 3) [0:1] [0:2:6]",
         "unzulässiger Wert für Ruhestrom"},
        {[&] { k.Ausgangssignal_setzen(9, 1); }, "Ausgangssignal_setzen(9, 1) [1-8:L:R] [0:1]",
         "unzulässiger Wert für Nr"},
        {[&] { k.Ausgangssignal_setzen(0, 1); }, "Ausgangssignal_setzen(0, 1) [1-8:L:R] [0:1]",
         "unzulässiger Wert für Nr"},
        {[&] { k.Ausgangssignal_setzen(1, 2); }, "Ausgangssignal_setzen(1, 2) [1-8:L:R] [0:1]",
         "unzulässiger Wert für Modus"},
        {[&] { k.I2C_Ausgangssignal_setzen(5, 1); }, "Ausgangssignal_setzen(5, 1) [1-4] [0:1]",
         "unzulässiger Wert für Nr"},
        {[&] { k.I2C_Ausgangssignal_setzen(1, -1); }, "Ausgangssignal_setzen(1, -1) [1-4] [0:1]",
         "unzulässiger Wert für Modus"},
        {[&] { k.E1Verknuepfung_setzen(2); }, "E1Verknuepfung(2)", "unzulässiger Wert für Aktion"},
        {[&] { k.Wartezeit_einfuegen(3600001); }, "Wartezeit_einfuegen(3600001)",
         "unzulässiger Wert für Wartezeit"},
        {[&] { k.Wartezeit_einfuegen(-1); }, "Wartezeit_einfuegen(-1)",
         "unzulässiger Wert für Wartezeit"},
        {[&] { k.Achsenposition_abfragen('q'); }, "Achsenposition_abfragen('q') [x:y:z:u]",
         "unzulässiger Wert für Achse"},
        {[&] { k.Eingang_abfragen_Potential('\r'); }, "Eingang_abfragen(13)",
         "unzulässiger Wert für Eingang"},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.operation);
        ui.Leeren();
        EXPECT_EQ(Fehlercode_von(fall.aufruf), OUT_OF_RANGE);
        ASSERT_EQ(ui.Meldungen().size(), 1u);
        EXPECT_EQ(ui.Meldungen()[0].text, fall.meldung);
        EXPECT_EQ(ui.Meldungen()[0].titel, fall.operation);
        EXPECT_EQ(kora->Linie().Operationstext(), fall.operation);
        EXPECT_TRUE(Protokoll_enthaelt("koraCOM->" + fall.operation + " :: " + fall.meldung));
    }
    // Whatever was refused never reached the controller; the link still works.
    kora->Startgeschwindigkeit_einstellen(0);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"#S0"}));
}

TEST_F(Befehlssatztest, SchrittbetriebNurWoDieSteuerungDiePhasenSelbstTreibt) {
    // Type 5 drives step/direction signals and refuses the command.
    Verbinden();
    EXPECT_EQ(Fehlercode_von([&] { kora->Schrittbetrieb_einstellen(1, 2); }), 1021);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"FV6"}));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, std::string("E1") + BEL);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Halb_Vollschrittbetrieb_einstellen(1, 2) [0:1] [0:2:6]");
    EXPECT_EQ(Steuerungsfehlertext(1021), "### unbekannter Befehl ###");

    // A refusal of any other setting is only a missing ACK.
    EXPECT_EQ(Fehlercode_von([&] { kora->Programmdurchlaeufe_hinterlegen(-1); }), ACK_ERROR);

    kora.reset();
    sim.reset();
    SerielleSteuerung::Optionen typ6;
    typ6.Modul = 6;
    Verbinden(typ6);
    kora->Schrittbetrieb_einstellen(1, 2);
    kora->Schrittbetrieb_einstellen(0, 0);
    kora->Schrittbetrieb_einstellen(0, 1);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"FV6", "FH0", "FH2"}));
    EXPECT_EQ(sim->Einstellungen().Schrittmodus, 'H');
    EXPECT_EQ(sim->Einstellungen().Ruhestrom, '2');
    // Not type 5: the I2C outputs are unknown here and count as a missing ACK, not as 1021.
    EXPECT_EQ(Fehlercode_von([&] { kora->I2C_Ausgangssignal_setzen(1, 1); }), ACK_ERROR);
}

TEST_F(Befehlssatztest, WatchdogAusgangWirdAlsEigenerFehlerGemeldet) {
    Verbinden();
    sim->Watchdog_Ausgang_setzen(2);
    EXPECT_EQ(Fehlercode_von([&] { kora->Ausgangssignal_setzen(2, 1); }), 1029);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, std::string("E9") + BEL);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Ausgangssignal_setzen(2, 1) [1-8:L:R] [0:1]");
    kora->Ausgangssignal_setzen(1, 1);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"A2,1", "A1,1"}));
}

TEST_F(Befehlssatztest, KennungIstDieAntwortOhneKopfUndSchlussbyte) {
    SerielleSteuerung::Optionen optionen;
    optionen.Kennung = "Teststeuerung V9.87";
    Verbinden(optionen);
    EXPECT_EQ(kora->Version_abfragen(), "Teststeuerung V9.87");
    EXPECT_EQ(kora->Linie().Antwort_MB(), std::string("@V Teststeuerung V9.87") + ACK);

    sim->Muell_senden(true, std::string("@V ") + ACK);
    EXPECT_EQ(kora->Version_abfragen(), "");

    sim->Muell_senden(true, std::string("@X 1.0") + ACK);
    EXPECT_EQ(Fehlercode_von([&] { kora->Version_abfragen(); }), COMMUNICATION_ERROR);
    ASSERT_FALSE(ui.Meldungen().empty());
    EXPECT_EQ(ui.Meldungen().back().titel, "Version_abfragen()");
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"@V", "@V", "@V"}));
}

TEST_F(Befehlssatztest, PositionWirdGenauGelesen) {
    Verbinden();
    EXPECT_EQ(kora->Vektorfahrt_ausfuehren(true, 1, -1250, 0, 40), std::string(1, NAK));
    EXPECT_EQ(kora->WaitResp(-1), std::string(1, ACK));
    EXPECT_EQ(kora->Achsenposition_abfragen('x'), -1250);
    EXPECT_EQ(kora->Linie().Antwort_MB(), std::string("@Lx -1250") + ACK);
    EXPECT_EQ(kora->Achsenposition_abfragen('z'), 40);
    EXPECT_EQ(kora->Achsenposition_abfragen('u'), 0);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"L1,x-1250,z40", "@Lx", "@Lz", "@Lu"}));
}

TEST_F(Befehlssatztest, UnbrauchbarePositionsantwortenSindKommunikationsfehler) {
    Verbinden();
    struct Fall {
        std::string antwort;
        std::string operation;
    };
    const std::vector<Fall> faelle{
        // No position at all has an operation text of its own (the axis as its code).
        {std::string("@Lx ") + ACK, "Achsenposition_abfragen_in_Schritten(120)"},
        // The answer of another axis, garbage or an overflow must never pass as a position.
        {std::string("@Ly 5") + ACK, "Achsenposition_abfragen('x') [x:y:z:u]"},
        {std::string("@Lx 12a") + ACK, "Achsenposition_abfragen('x') [x:y:z:u]"},
        {std::string("@Lx -") + ACK, "Achsenposition_abfragen('x') [x:y:z:u]"},
        {std::string("@Lx 99999999999") + ACK, "Achsenposition_abfragen('x') [x:y:z:u]"},
        {std::string("@Lx5") + ACK, "Achsenposition_abfragen('x') [x:y:z:u]"},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.antwort);
        ui.Leeren();
        sim->Muell_senden(true, fall.antwort);
        EXPECT_EQ(Fehlercode_von([&] { kora->Achsenposition_abfragen('x'); }), COMMUNICATION_ERROR);
        ASSERT_EQ(ui.Meldungen().size(), 1u);
        EXPECT_EQ(ui.Meldungen()[0].titel, fall.operation);
        EXPECT_EQ(ui.Meldungen()[0].text, fall.antwort);
    }
    sim->Muell_senden(false);
    EXPECT_EQ(kora->Achsenposition_abfragen('y'), 0);
    sim->Muell_senden(true, std::string("@Lx -2147483648") + ACK);
    EXPECT_EQ(kora->Achsenposition_abfragen('x'), -2147483647 - 1);
}

TEST_F(Befehlssatztest, VektorfahrtenBildenIhreAnfragenWieDieSteuerungSieErwartet) {
    Verbinden();
    struct Fall {
        std::function<std::string()> aufruf;
        std::string anfrage;
    };
    KoraBefehlssatz& k = *kora;
    const std::vector<Fall> faelle{
        {[&] { return k.Referenzfahrt_ausfuehren("zxy"); }, "$Hzxy"},
        {[&] { return k.Referenzfahrt_ausfuehren(""); }, "$H"},
        {[&] { return k.Wartezeit_einfuegen(1000); }, "W1000"},
        {[&] { return k.Wartezeit_einfuegen(0); }, "W0"},
        {[&] { return k.Vektorfahrt_ausfuehren(true, 8, 100, 0, -50); }, "L8,x100,z-50"},
        {[&] { return k.Vektorfahrt_ausfuehren(false, 3, 1200, 99999, 99999); }, "L3,X1200"},
        {[&] { return k.Vektorfahrt_ausfuehren(false, 3, 99999, 99999, 99999); }, "L3"},
        {[&] { return k.Vektorfahrt_ausfuehren(true, 1, 0, 0, 0); }, "L1,x0,y0,z0"},
        {[&] { return k.Vektorfahrt_ausfuehren(false, 2, 0, 0, 0); }, "L2,X0,Y0,Z0"},
        {[&] { return k.Vektorfahrt_ausfuehren(false, 2, 0, -7, 99999); }, "L2,X0,Y-7"},
        {[&] { return k.Vektorfahrt_ausfuehren(true, 2, 0, 99999, 0); }, "L2,y99999"},
        {[&] { return k.UVektorfahrt_ausfuehren(true, 1, -5); }, "L1,u-5"},
        {[&] { return k.UVektorfahrt_ausfuehren(true, 1, 0); }, "L1,u0"},
        {[&] { return k.UVektorfahrt_ausfuehren(false, 4, 99999); }, "L4,U99999"},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.anfrage);
        EXPECT_EQ(fall.aufruf(), std::string(1, NAK));
        EXPECT_EQ(kora->Linie().Letzte_Anfrage(), fall.anfrage + "\r");
        // The move runs; its completion answer follows.
        EXPECT_EQ(kora->WaitResp(-1), std::string(1, ACK));
        EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{fall.anfrage}));
    }
    EXPECT_EQ(sim->Position('x'), 0);
    EXPECT_EQ(sim->Position('y'), 99999 - 7);
    EXPECT_EQ(sim->Position('u'), 99999);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Befehlssatztest, ImSpeichermodusGiltAckUndSonstNak) {
    Verbinden();
    // The controller records a program: motion is stored and only confirmed.
    EXPECT_EQ(kora->SendWait("*PW1\r", 4096), std::string(1, ACK));
    EXPECT_EQ(kora->SendWait("Testprogramm\x02", 512), std::string(1, ACK));
    kora->SetStoreMode(true);
    EXPECT_EQ(kora->Vektorfahrt_ausfuehren(true, 1, 10, 0, 0), std::string(1, ACK));
    EXPECT_EQ(kora->UVektorfahrt_ausfuehren(true, 1, 3), std::string(1, ACK));
    EXPECT_EQ(kora->Wartezeit_einfuegen(100), std::string(1, ACK));
    EXPECT_EQ(kora->Referenzfahrt_ausfuehren("x"), std::string(1, ACK));

    // Outside store mode the same confirmation means the move does not run.
    kora->SetStoreMode(false);
    EXPECT_EQ(Fehlercode_von([&] { kora->Wartezeit_einfuegen(5); }), NAK_ERROR);
    EXPECT_EQ(ui.Meldungen().back().titel, "Wartezeit_einfuegen(5)");
    EXPECT_EQ(kora->SendWait("\x03", 512), std::string(1, ACK));
    const auto programm = sim->Programmplatz(1);
    ASSERT_TRUE(programm.has_value());
    EXPECT_EQ(programm->Befehle, (Zeilen_t{"L1,x10", "L1,u3", "W100", "$Hx", "W5"}));
    EXPECT_EQ(sim->Position('x'), 0);

    // In store mode a move that runs is a missing ACK.
    kora->SetStoreMode(true);
    EXPECT_EQ(Fehlercode_von([&] { kora->Vektorfahrt_ausfuehren(true, 1, 10, 0, 0); }), ACK_ERROR);
    EXPECT_EQ(ui.Meldungen().back().titel, "Vektorfahrt_ausfuehren()");
    EXPECT_EQ(ui.Meldungen().back().text, std::string(1, NAK));
    kora->SetStoreMode(false);
    EXPECT_EQ(kora->WaitResp(-1), std::string(1, ACK));
}

TEST_F(Befehlssatztest, HaltUndSofortstoppPruefenIhreAntwort) {
    Verbinden();
    kora->Achsen_anhalten();
    kora->Achsen_sofort_stoppen();
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"@B", "@S"}));

    sim->Muell_senden(true, std::string("@X") + ACK);
    EXPECT_EQ(Fehlercode_von([&] { kora->Achsen_anhalten(); }), COMMUNICATION_ERROR);
    EXPECT_EQ(Fehlercode_von([&] { kora->Achsen_sofort_stoppen(); }), RS_ERROR);
    ASSERT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Achsen_anhalten()");
    EXPECT_EQ(ui.Meldungen()[1].titel, "Achsen_sofort_stoppen()");
}

TEST_F(Befehlssatztest, EingangspegelKommtAusDerAbfrage) {
    Verbinden();
    EXPECT_FALSE(kora->Eingang_abfragen_Potential('B'));
    sim->Eingang_setzen('B', true);
    EXPECT_TRUE(kora->Eingang_abfragen_Potential('B'));
    EXPECT_EQ(kora->Eingang_abfragen('B'), std::string("@IB 1") + ACK);
    EXPECT_EQ(Neue_Anfragen(), (Zeilen_t{"@IB", "@IB", "@IB"}));

    sim->Muell_senden(true, std::string("@IB x") + ACK);
    EXPECT_EQ(Fehlercode_von([&] { kora->Eingang_abfragen_Potential('B'); }), COMMUNICATION_ERROR);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Eingang_abfragen_Potential(66)");
    EXPECT_EQ(ui.Meldungen()[0].text, std::string("@IB x") + ACK);
}

} // namespace
} // namespace orvexa::test
