// The serial link end to end: termios port, pseudo-terminal, simulated controller.
#include "drivers/koracom.h"

#include "core/fehler.h"
#include "kora_zeichen.h"
#include "platform/portverzeichnis.h"
#include "seriellesteuerung.h"
#include "testhilfen.h"
#include "testzeitbasis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace orvexa {
namespace {

using test::ack;
using test::E;
using test::nak;
const std::string Verbindungstext =
    "Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!";
const std::string Einzug = "     "; // level 64

// The pauses of Init after its first n failed attempts: 25, 50, ... ms.
std::vector<int> Pausen_nach(int n) {
    std::vector<int> pausen;
    for (int i = 1; i <= n; ++i)
        pausen.push_back(25 * i);
    return pausen;
}

using test::Code;

class Koralink : public test::Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", (ordner.Pfad() + "ports").c_str(), 1);
        link = std::make_unique<TkoraCOM>();
    }
    void TearDown() override {
        link.reset();
        sim.reset();
        Testumgebung::TearDown();
    }

    // A controller on COM3, the link opened to it (not yet connected).
    SerielleSteuerung& Steuerung(double zeitskala = 0) {
        SerielleSteuerung::Optionen o;
        o.Zeitskala = zeitskala;
        sim = std::make_unique<SerielleSteuerung>(o);
        EXPECT_TRUE(COM_registrieren(3, sim->Geraetepfad()));
        link->Init(3, 115200);
        return *sim;
    }

    std::size_t Zeilen_mit(const std::string& teil) const {
        const auto zeilen = Protokoll();
        return static_cast<std::size_t>(std::count_if(zeilen.begin(), zeilen.end(), [&](auto& z) {
            return z.find(teil) != std::string::npos;
        }));
    }

    // Where the first line with teil stands in the log; the number of lines when none has it.
    std::size_t Zeile_mit(const std::string& teil) const {
        const auto zeilen = Protokoll();
        return static_cast<std::size_t>(
            std::find_if(zeilen.begin(), zeilen.end(),
                         [&](auto& z) { return z.find(teil) != std::string::npos; }) -
            zeilen.begin());
    }

    std::unique_ptr<SerielleSteuerung> sim;
    std::unique_ptr<TkoraCOM> link;
};

// --- Opening and closing ------------------------------------------------------------------

TEST_F(Koralink, Port_0_wird_abgelehnt_ohne_einen_Port_zu_oeffnen) {
    EXPECT_EQ(Code([&] { link->Init(0, 115200); }), COM_PORT_ERROR);
    EXPECT_EQ(Zeilen_mit("koraCOM->Init()"), 2u); // the call and its error line
    EXPECT_EQ(Zeilen_mit("OpenSerialPort"), 0u);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Init()");
    EXPECT_FALSE(link->bAppStarted());
}

TEST_F(Koralink, Fehlender_Port_zehn_Versuche_mit_steigenden_Pausen_dann_1002) {
    ASSERT_TRUE(COM_registrieren(7, ordner.Datei("gibt-es-nicht")));
    test::Testzeitbasis zeit;
    EXPECT_EQ(Code([&] { link->Init(7, 115200); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(zeit.Pausen(), Pausen_nach(10));
    EXPECT_EQ(Zeilen_mit("koraCOM->OpenSerialPort(COM7 = "), 10u);
    EXPECT_EQ(Zeilen_mit("koraCOM->OpenSerialPort() :: Could Not Open the Serial Port"), 10u);
    EXPECT_EQ(Zeilen_mit("koraCOM->Init() :: GetLastError()=2"), 10u);
    EXPECT_EQ(Zeilen_mit("koraCOM->Init() :: [ERROR_FILE_NOT_FOUND]"), 1u);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "[ERROR_FILE_NOT_FOUND]");
    EXPECT_EQ(ui.Meldungen()[0].titel, "Init()");
    EXPECT_FALSE(link->bAppStarted());
}

// The port is looked up on every attempt: an adapter plugged in while Init pauses after its
// n-th failed attempt is found by the next one, unless that pause was the last.
struct Einstecken {
    int nach_versuchen;
    int32_t code;
};

void PrintTo(const Einstecken& e, std::ostream* os) {
    *os << e.nach_versuchen << "_Versuche_Code_" << e.code; // also the name in ctest
}

class Koralink_Einstecken : public Koralink, public ::testing::WithParamInterface<Einstecken> {};

TEST_P(Koralink_Einstecken, Adapter_aus_der_Pause_wird_beim_naechsten_Versuch_gefunden) {
    const auto [n, code] = GetParam();
    ASSERT_TRUE(COM_registrieren(3, ordner.Datei("noch-nicht-da")));
    sim = std::make_unique<SerielleSteuerung>();
    std::future<int32_t> init; // outlived by zeit, whose end lets a held Init go on
    test::Testzeitbasis zeit(static_cast<std::size_t>(n));
    init = std::async(std::launch::async, [&] { return Code([&] { link->Init(3, 115200); }); });
    ASSERT_TRUE(zeit.Warten_auf_Pausen(static_cast<std::size_t>(n)));
    ASSERT_TRUE(COM_registrieren(3, sim->Geraetepfad()));
    zeit.Freigeben();

    EXPECT_EQ(init.get(), code);
    EXPECT_EQ(zeit.Pausen(), Pausen_nach(n));
    EXPECT_EQ(Zeilen_mit("koraCOM->Init() :: GetLastError()=2"), static_cast<std::size_t>(n));
    if (code != 0) {
        EXPECT_EQ(Zeilen_mit("koraCOM->OpenSerialPort(COM3 = "), static_cast<std::size_t>(n));
        EXPECT_FALSE(link->bAppStarted());
        return;
    }
    EXPECT_EQ(Zeilen_mit("koraCOM->OpenSerialPort(COM3 = "), static_cast<std::size_t>(n + 1));
    EXPECT_EQ(Zeilen_mit("koraCOM->Init() :: iSleep=" + std::to_string(25 * n)), 1u);
    EXPECT_TRUE(link->bAppStarted());
    link->Connect();
    EXPECT_TRUE(ui.Meldungen().empty());
}

INSTANTIATE_TEST_SUITE_P(Pausen, Koralink_Einstecken,
                         ::testing::Values(Einstecken{1, 0}, Einstecken{4, 0}, Einstecken{9, 0},
                                           Einstecken{10, HANDLE_COM_PORT_ERROR}));

TEST_F(Koralink, Oeffnen_Verbinden_und_Schliessen_im_Protokoll) {
    auto& s = Steuerung();
    EXPECT_TRUE(link->bAppStarted());
    link->Connect();
    EXPECT_EQ(s.Anfragen(), std::vector<std::string>{""});
    link->UnInit();
    EXPECT_FALSE(link->bAppStarted());
    link->UnInit();

    const std::vector<std::string> erwartet{
        Einzug + "koraCOM->Init()",
        Einzug + "koraCOM->OpenSerialPort(COM3 = " + s.Geraetepfad() + ", 115200)",
        Einzug + "koraCOM->Init() :: iSleep=0",
        Einzug + "koraCOM->SendReq('<CR>')",
        Einzug + "koraCOM->UnInit() :: Thread beendet!",
        Einzug,
        Einzug + "koraCOM->UnInit() :: bAppStarted=0",
        Einzug,
    };
    EXPECT_EQ(Protokoll(), erwartet);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Koralink, Erneutes_Init_schliesst_die_alte_Verbindung) {
    Steuerung();
    link->Init(3, 19200);
    EXPECT_EQ(Zeilen_mit("koraCOM->UnInit() :: Thread beendet!"), 1u);
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);
}

TEST_F(Koralink, Stumme_Steuerung_nach_elf_Versuchen_nicht_verbunden) {
    auto& s = Steuerung();
    s.Stumm_schalten(true);
    EXPECT_EQ(Code([&] { link->Connect(); }), COMMUNICATION_ERROR);
    // The controller may read the last request only after the link has given up on it.
    ASSERT_TRUE(s.Warten_auf_Anfragen(11, 5000));
    EXPECT_EQ(s.Anfragen(), std::vector<std::string>(11, ""));
    EXPECT_EQ(Zeilen_mit("koraCOM->SendReq('<CR>')"), 11u);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, Verbindungstext);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Connect()");
    EXPECT_EQ(Zeilen_mit("koraCOM->Connect() :: Bitte die Schnittstelle"), 1u);
}

TEST_F(Koralink, Verbinden_ohne_offenen_Port_oder_mit_Tag_5_scheitert_sofort) {
    EXPECT_EQ(Code([&] { link->Connect(); }), COMMUNICATION_ERROR);
    auto& s = Steuerung();
    link->SetTag(TkoraCOM::Tag_nicht_geoeffnet);
    EXPECT_EQ(Code([&] { link->Connect(); }), COMMUNICATION_ERROR);
    EXPECT_FALSE(s.Warten_auf_Anfragen(1, 100));
    EXPECT_EQ(ui.Meldungen().size(), 2u);
}

TEST_F(Koralink, Anfragen_ohne_Port_leer_oder_zu_lang_werden_nicht_gesendet) {
    EXPECT_EQ(Code([&] { link->SendReq("T0\r"); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Zeilen_mit("koraCOM->SendReq() :: hComPort == NULL"), 1u);
    auto& s = Steuerung();
    EXPECT_EQ(Code([&] { link->SendReq(""); }), SEND_REQ_ERROR);
    EXPECT_EQ(Zeilen_mit("koraCOM->SendReq() :: leerer String"), 1u);
    EXPECT_EQ(Code([&] { link->SendWait("@" + std::string(127, 'x') + "\r", 512); }),
              SEND_REQ_ERROR);
    EXPECT_FALSE(s.Warten_auf_Anfragen(1, 100));
    // The longest request passes whole.
    EXPECT_EQ(link->SendWait("#S" + std::string(124, '1') + "\r", 512).back(), '\x07');
    EXPECT_EQ(s.Anfragen().back().size(), 126u);
    EXPECT_EQ(ui.Meldungen().size(), 3u);
}

// Runs an action of the test at each box, as the operator's window thread would while a
// worker's box is open.
class Oberflaeche_mit_Handlung : public AufzeichnendeOberflaeche {
public:
    std::function<void()> bei_meldung;
    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override {
        if (bei_meldung) bei_meldung();
        return AufzeichnendeOberflaeche::Meldung(text, titel, symbol, knoepfe);
    }
};

// A worker's failed exchange shows its box without holding the exchange: the window thread may
// send a stop meanwhile.
TEST_F(Koralink, Fehlerbox_eines_Austauschs_laesst_den_naechsten_Austausch_zu) {
    Steuerung();
    Oberflaeche_mit_Handlung box;
    Oberflaeche_setzen(&box);
    std::string stoppantwort;
    box.bei_meldung = [&] {
        // Detached, so that the old fault fails the test instead of hanging it.
        std::packaged_task<std::string()> aufgabe([&] { return link->SendWait("T0\r", 512); });
        auto stopp = aufgabe.get_future();
        std::thread(std::move(aufgabe)).detach();
        ASSERT_EQ(stopp.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        stoppantwort = stopp.get();
    };
    EXPECT_EQ(Code([&] { link->SendWait("@" + std::string(127, 'x') + "\r", 512); }),
              SEND_REQ_ERROR);
    Oberflaeche_setzen(&ui);
    EXPECT_EQ(box.Meldungen().size(), 1u);
    EXPECT_EQ(stoppantwort, ack);
}

TEST_F(Koralink, Speichermodus_nur_mit_geoeffnetem_Tag) {
    link->SetTag(TkoraCOM::Tag_nicht_geoeffnet);
    link->SetStoreMode(true);
    EXPECT_FALSE(link->StoreMode());
    link->SetTag(3);
    link->SetStoreMode(true);
    EXPECT_TRUE(link->StoreMode());
}

TEST_F(Koralink, Operationstext_wird_ohne_halbe_Zeichen_gekuerzt) {
    link->Operationstext_setzen(std::string(62, 'a') + "ü");
    EXPECT_EQ(link->Operationstext(), std::string(62, 'a'));
}

// --- Exchanges ----------------------------------------------------------------------------

TEST_F(Koralink, Austausch_steht_mit_Antwort_unter_der_Anfrage_im_Protokoll) {
    Steuerung();
    EXPECT_EQ(link->SendWait("#S400\r", 0), ack);
    const std::string kennung = "@V " + Steuerungsmodell::Vorgabekennung(5) + ack;
    EXPECT_EQ(link->SendWait("@V\r", 512), kennung);

    const auto zeilen = Protokoll();
    ASSERT_GE(zeilen.size(), 4u);
    const std::vector<std::string> letzte(zeilen.end() - 4, zeilen.end());
    const std::vector<std::string> erwartet{
        Einzug + "koraCOM->SendReq('#S400<CR>')",
        Einzug + std::string(18, ' ') + "<ACK>",
        Einzug + "koraCOM->SendReq_MB('@V<CR>')",
        Einzug + std::string(21, ' ') + "@V " + Steuerungsmodell::Vorgabekennung(5) + "<ACK>",
    };
    EXPECT_EQ(letzte, erwartet);
    EXPECT_EQ(link->Letzte_Anfrage(), "#S400\r");
    EXPECT_EQ(link->Antwort(), ack);
    EXPECT_EQ(link->Letzte_Anfrage_MB(), "@V\r");
    EXPECT_EQ(link->Antwort_MB(), kennung);
}

TEST_F(Koralink, Bewegung_NAK_dann_Abschlussantwort) {
    Steuerung();
    EXPECT_EQ(link->SendWait("L1,x100\r", 512), nak);
    EXPECT_EQ(link->WaitResp(-1), ack);
    EXPECT_EQ(link->SendWait("Q\r", 512), E(1));
}

TEST_F(Koralink, Waehrend_der_Bewegung_nur_Mehrbyteanfragen) {
    auto& s = Steuerung(1);
    EXPECT_EQ(link->SendWait("L1,x100000\r", 512), nak);
    auto abschluss = std::async(std::launch::async, [&] { return link->WaitResp(-1); });

    const std::string position = link->SendWait("@Lx\r", 320);
    EXPECT_TRUE(position.starts_with("@Lx ")) << position;
    EXPECT_EQ(position.back(), '\x06');

    // An ordinary request of another thread waits for the move's completion answer; it holds
    // the exchange mutex meanwhile, so the stop goes around SendWait.
    auto andere = std::async(std::launch::async, [&] { return link->SendWait("T0\r", 512); });
    EXPECT_FALSE(s.Warten_auf_Anfragen(3, 200));
    link->SendReq_MB("@B\r");
    EXPECT_EQ(link->WaitResp_MB(512), "@B" + ack);

    EXPECT_EQ(abschluss.get(), ack);
    EXPECT_EQ(andere.get(), ack);
    const std::vector<std::string> erwartet{"L1,x100000", "@Lx", "@B", "T0"};
    EXPECT_EQ(s.Anfragen(), erwartet);
}

TEST_F(Koralink, Sofortstopp_beendet_die_Abschlusswartezeit_mit_Ausrufezeichen) {
    Steuerung(1);
    EXPECT_EQ(link->SendWait("L1,x100000\r", 512), nak);
    auto abschluss = std::async(std::launch::async, [&] { return link->WaitResp(-1); });
    EXPECT_EQ(link->SendWait("@S\r", 512), "@RS" + ack);
    EXPECT_EQ(abschluss.get(), "!");
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);
}

TEST_F(Koralink, Warten_abbrechen_beendet_nur_eine_laufende_unbegrenzte_Wartezeit) {
    Steuerung(1);
    link->Warten_abbrechen(); // nobody waits: nothing is kept for later
    EXPECT_EQ(link->SendWait("L1,x100000\r", 512), nak);
    auto abschluss =
        std::async(std::launch::async, [&] { return Code([&] { link->WaitResp(-1); }); });
    ASSERT_TRUE(link->Unbegrenzte_Wartezeit_abwarten());
    link->Warten_abbrechen();
    EXPECT_EQ(abschluss.get(), THROW_ABORT);
    EXPECT_EQ(Zeilen_mit("koraCOM->WaitResp() :: Warten abgebrochen"), 1u);
    EXPECT_TRUE(ui.Meldungen().empty());
    // Stop the move; its late "!" is dropped and the next exchange gets its own answer.
    EXPECT_EQ(link->SendWait("@S\r", 512), "@RS" + ack);
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);
}

// --- Faults -------------------------------------------------------------------------------

TEST_F(Koralink, Zeitueberschreitung_nur_protokolliert_andere_Fehler_mit_Meldung) {
    auto& s = Steuerung();
    s.Stumm_schalten(true);
    EXPECT_EQ(Code([&] { link->SendWait("T0\r", 100); }), WAIT_TIMEOUT);
    EXPECT_EQ(Zeilen_mit("koraCOM->WaitResp() :: Zeitüberschreitung nach 100 ms"), 1u);
    EXPECT_EQ(Code([&] { link->SendWait("@V\r", 0); }), WAIT_TIMEOUT);
    EXPECT_EQ(Zeilen_mit("koraCOM->WaitResp_MB() :: Zeitüberschreitung nach 512 ms"), 1u);
    EXPECT_TRUE(ui.Meldungen().empty());

    EXPECT_EQ(Code([&] { link->SendReq(""); }), SEND_REQ_ERROR);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "leerer String");
    EXPECT_EQ(ui.Meldungen()[0].titel, "SendReq()");
}

TEST_F(Koralink, Spaete_Antwort_wird_verworfen_die_naechste_bekommt_ihre_eigene) {
    auto& s = Steuerung();
    s.Antwortverzoegerung_setzen(300);
    EXPECT_EQ(Code([&] { link->SendWait("Q\r", 100); }), WAIT_TIMEOUT);
    s.Antwortverzoegerung_setzen(0);
    // "E1" BEL of the unknown Q comes first, then the ACK of T0.
    EXPECT_EQ(link->SendWait("T0\r", 1000), ack);
    EXPECT_EQ(link->SendWait("Q\r", 512), E(1));

    s.Antwortverzoegerung_setzen(300);
    EXPECT_EQ(Code([&] { link->SendWait("@V\r", 100); }), WAIT_TIMEOUT);
    s.Antwortverzoegerung_setzen(0);
    EXPECT_TRUE(link->SendWait("@Lx\r", 1000).starts_with("@Lx 0"));
}

TEST_F(Koralink, Spaete_Abschlussantwort_nach_Zeitueberschreitung_blockiert_nicht) {
    Steuerung(1);
    EXPECT_EQ(link->SendWait("L1,x200\r", 512), nak); // about 0.15 s
    EXPECT_EQ(Code([&] { link->WaitResp(20); }), WAIT_TIMEOUT);
    // The controller answers Q after the move; the move's late ACK is not taken for it.
    EXPECT_EQ(link->SendWait("Q\r", 2000), E(1));
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);
}

TEST_F(Koralink, Verlorene_Anfrage_kostet_hoechstens_einen_weiteren_Austausch) {
    auto& s = Steuerung();
    s.Stumm_schalten(true);
    EXPECT_EQ(Code([&] { link->SendWait("T0\r", 100); }), WAIT_TIMEOUT);
    // Taken while mute: no answer will ever come for it.
    ASSERT_TRUE(s.Warten_auf_Anfragen(1, 5000));
    s.Stumm_schalten(false);
    // The next answer is taken for the lost one's and dropped, so the next exchange goes without
    // one; it is never mistaken for another.
    EXPECT_EQ(Code([&] { link->SendWait("Q\r", 200); }), WAIT_TIMEOUT);
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);
    EXPECT_EQ(link->SendWait("Q\r", 512), E(1));
}

TEST_F(Koralink, Muell_und_abgeschnittene_Antworten_dann_wieder_Ordnung) {
    auto& s = Steuerung();
    s.Muell_senden(true); // no control byte: never complete
    EXPECT_EQ(Code([&] { link->SendWait("T0\r", 100); }), WAIT_TIMEOUT);
    s.Muell_senden(true, "?\xAB\x07"); // complete, the command set judges it
    EXPECT_EQ(link->SendWait("T0\r", 512), "?\xAB\x07");
    s.Muell_senden(false);
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);

    s.Naechste_Antwort_abschneiden(1); // "E" of "E1" BEL
    EXPECT_EQ(Code([&] { link->SendWait("Q\r", 100); }), WAIT_TIMEOUT);
    EXPECT_EQ(link->SendWait("T0\r", 512), ack);

    s.Naechste_Antwort_abschneiden(3); // "@V "
    EXPECT_EQ(Code([&] { link->SendWait("@V\r", 100); }), WAIT_TIMEOUT);
    EXPECT_EQ(link->SendWait("@Lx\r", 512), "@Lx 0" + ack);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Koralink, Ausgesteckte_Steuerung_beendet_jede_Wartezeit_mit_Fehler) {
    auto& s = Steuerung(1);
    EXPECT_EQ(link->SendWait("L1,x100000\r", 512), nak);
    auto abschluss = std::async(std::launch::async, [&] { return link->WaitResp(-1); });
    s.Ausstecken();
    EXPECT_EQ(Code([&] { abschluss.get(); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Code([&] { link->SendWait("@Lx\r", -1); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Code([&] { link->WaitResp(-1); }), HANDLE_COM_PORT_ERROR);
    ASSERT_EQ(ui.Meldungen().size(), 3u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Verbindung zur Steuerung unterbrochen");
    EXPECT_EQ(ui.Meldungen()[0].titel, "WaitResp()");
    EXPECT_EQ(Zeilen_mit("koraCOM->TkoraCOM_thread :: Verbindung zur Steuerung unterbrochen"), 1u);

    // The receive thread, parked since the hang-up, ends with the link.
    link->UnInit();
    EXPECT_FALSE(link->bAppStarted());
    EXPECT_EQ(Zeilen_mit("koraCOM->UnInit() :: Thread beendet!"), 1u);
    EXPECT_LT(Zeile_mit("koraCOM->TkoraCOM_thread :: Verbindung zur Steuerung unterbrochen"),
              Zeile_mit("koraCOM->UnInit() :: Thread beendet!"));
    EXPECT_EQ(Code([&] { link->SendReq("T0\r"); }), HANDLE_COM_PORT_ERROR);
}

TEST_F(Koralink, UnInit_beendet_eine_unbegrenzte_Wartezeit) {
    auto& s = Steuerung();
    s.Stumm_schalten(true);
    auto wartend = std::async(std::launch::async, [&] { return link->SendWait("T0\r", -1); });
    ASSERT_TRUE(s.Warten_auf_Anfragen(1, 5000));
    // Only UnInit can end it: the controller is mute and the wait has no limit.
    ASSERT_TRUE(link->Unbegrenzte_Wartezeit_abwarten());

    link->UnInit();
    EXPECT_EQ(Code([&] { wartend.get(); }), WAIT_ABANDONED);
    EXPECT_EQ(Zeilen_mit("koraCOM->WaitResp() :: Verbindung geschlossen"), 1u);
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_EQ(Code([&] { link->SendReq("T0\r"); }), HANDLE_COM_PORT_ERROR);
}

} // namespace
} // namespace orvexa
