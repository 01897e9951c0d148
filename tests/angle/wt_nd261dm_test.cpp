// The position display link: the answer bytes as the display sends them, the port settings a
// baud text gives, and the exchange with the simulated display over a pseudo-terminal.

#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "platform/portverzeichnis.h"
#include "positionsanzeige.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Feeds the bytes as the link reads them, up to the LF, and reads the angle.
std::optional<double> Lesen(std::string_view bytes) {
    ND261_Antwortsammler sammler;
    bool beendet = false;
    for (const char c : bytes)
        if ((beendet = sammler.Byte(static_cast<uint8_t>(c)))) break;
    return ND261_Antwort_lesen(sammler.Abschliessen(beendet));
}

TEST(ND261_Antwort, LesbareAntworten) {
    const struct {
        const char* bytes;
        double winkel;
    } faelle[] = {
        {"-  12.500\r\n", -12.5}, {"+0.25\r\n", 0.25},     {"  +  10.480\r\n", 10.48},
        {"+   0,125\r\n", 0.125}, {"-    0.000\r\n", 0.0}, {"+359.999\r\nXY", 359.999},
    };
    for (const auto& f : faelle) {
        const auto winkel = Lesen(f.bytes);
        ASSERT_TRUE(winkel.has_value()) << f.bytes;
        EXPECT_DOUBLE_EQ(*winkel, f.winkel) << f.bytes;
    }
}

TEST(ND261_Antwort, UnlesbareAntwortenSteuernNicht) {
    // Cut off by the silence, no sign, no number: none may become an angle of 0.
    for (const char* bytes : {"", "+12.5", "+12.5\r", "12.500\r\n", "+\r\n", "+ab\r\n",
                              "+1.2.3\r\n", "*5\r\n", "+-5\r\n", "\r\n", "+12.5\n"})
        EXPECT_FALSE(Lesen(bytes).has_value()) << '"' << bytes << '"';
}

TEST(ND261_Antwort, HoechstensNeunzehnZeichenWerdenBehalten) {
    ND261_Antwortsammler sammler;
    const std::string lang = "+" + std::string(25, '1') + "\r\n";
    bool beendet = false;
    for (const char c : lang)
        beendet = sammler.Byte(static_cast<uint8_t>(c));
    ASSERT_TRUE(beendet);
    const std::string antwort = sammler.Abschliessen(true);
    EXPECT_EQ(antwort, "+" + std::string(18, '1') + "\n");
    // Its CR LF was lost: the answer is no reading.
    EXPECT_FALSE(ND261_Antwort_lesen(antwort).has_value());
}

TEST(ND261_Port, BaudtextUndRahmen) {
    const struct {
        const char* text;
        int32_t baud;
    } faelle[] = {{"2400", 2400},   {"4800", 4800},    {"9600", 9600},    {"19200", 19200},
                  {"57600", 57600}, {"38400", 115200}, {"4800 ", 115200}, {"", 115200}};
    for (const auto& f : faelle)
        EXPECT_EQ(ND261_Baudrate(f.text), f.baud) << f.text;

    const Porteinstellungen e = ND261_Porteinstellungen("38400");
    const auto t = SeriellerPort::Einstellungen_zu_termios(e, termios{});
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(cfgetospeed(&*t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(t->c_cflag & PARENB);
    EXPECT_FALSE(t->c_cflag & PARODD);
    EXPECT_TRUE(t->c_cflag & CSTOPB);
    EXPECT_TRUE(e.DTR);
    EXPECT_TRUE(e.RTS);
}

// The simulated display, made to send the answers of each test.
class ND261Link : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
    }
    void TearDown() override {
        link.ND261_schliessen();
        anzeige.reset();
        ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }
    void Oeffnen() {
        anzeige = std::make_unique<Positionsanzeige>(Positionsanzeige::Optionen{});
        ASSERT_TRUE(COM_registrieren(2, anzeige->Geraetepfad()));
        ASSERT_TRUE(link.ND261_oeffnen("COM2", "4800"));
    }
    double Lesen_mit(const std::string& antwort) {
        anzeige->Muell_senden(true, antwort);
        return link.Istwinkel_lesen();
    }

    std::unique_ptr<Positionsanzeige> anzeige;
    Winkeltranskript transkript;
    TWT_ND261DM link{transkript};
};

TEST_F(ND261Link, EinWertJeAnfrage) {
    Oeffnen();
    EXPECT_DOUBLE_EQ(Lesen_mit("-  12.500\r\n"), -12.5);
    EXPECT_DOUBLE_EQ(Lesen_mit("+0.25\r\n"), 0.25);
    EXPECT_EQ(anzeige->Anfragen(), 2u);
    EXPECT_THAT(transkript.Zeilen(), ElementsAre("IstWinkel: -12.500", "IstWinkel: 0.250"));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ND261Link, GeschlossenGibtNullUndZeile) {
    EXPECT_EQ(link.Messwert_lesen(), "");
    EXPECT_EQ(link.Istwinkel_lesen(), 0.0);
    EXPECT_THAT(transkript.Zeilen(), ElementsAre("IstWinkel: 0.000"));
}

TEST_F(ND261Link, AbbruchFragtDieAnzeigeNicht) {
    Oeffnen();
    std::atomic<bool> abbruch{true};
    link.Abbruchflag_setzen(&abbruch);
    EXPECT_EQ(Lesen_mit("+5.000\r\n"), 0.0);
    EXPECT_TRUE(transkript.Zeilen().empty());
    abbruch = false;
    EXPECT_DOUBLE_EQ(link.Istwinkel_lesen(), 5.0);
    EXPECT_EQ(anzeige->Anfragen(), 1u);
}

TEST_F(ND261Link, UnlesbareAntwortIstEinFehler) {
    Oeffnen();
    link.Stillefrist_setzen(50);
    // No sign; cut off and then silent; nothing at all.
    EXPECT_EQ(Code([&] { Lesen_mit("12.500\r\n"); }), ND261_MESSWERT_ERROR);
    EXPECT_EQ(Code([&] { Lesen_mit("+12."); }), ND261_MESSWERT_ERROR);
    anzeige->Stumm_schalten(true);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    EXPECT_THAT(transkript.Zeilen(),
                ElementsAre("IstWinkel: unlesbar \"12.500<0D><0A><0A>\"",
                            "IstWinkel: unlesbar \"+12.\"", "IstWinkel: keine Antwort"));
    EXPECT_THAT(Protokoll().back(), HasSubstr("ND261 keine Antwort"));
    EXPECT_EQ(Fehlerbericht(ND261_MESSWERT_ERROR),
              "Exception [### ND261: Messwert nicht lesbar ###]");
}

// A request the display leaves unanswered may be answered late, before the next one's answer:
// that late angle must never be taken as the next reading.
TEST_F(ND261Link, SpaeteAntwortGiltNichtFuerDieNaechsteAnfrage) {
    std::atomic<int32_t> schritte{200};
    Positionsanzeige::Optionen o;
    o.Modell.Getriebefehler = 0;
    o.Modell.Umkehrspiel = 0;
    o.Modell.Nullfehler = 0;
    o.Schritte = [&schritte] { return schritte.load(); };
    anzeige = std::make_unique<Positionsanzeige>(o);
    ASSERT_TRUE(COM_registrieren(2, anzeige->Geraetepfad()));
    ASSERT_TRUE(link.ND261_oeffnen("COM2", "4800"));

    // Late past the silence limit: nothing came.
    anzeige->Antwortverzoegerung_setzen(1200);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    anzeige->Antwortverzoegerung_setzen(0);
    schritte = 400;
    // Opened again, as a new connect does; the late answer comes first, then this one's.
    ASSERT_TRUE(link.ND261_oeffnen("COM2", "4800"));
    link.Stillefrist_setzen(5000);
    EXPECT_DOUBLE_EQ(link.Istwinkel_lesen(), 2.0);
    schritte = 600;
    EXPECT_DOUBLE_EQ(link.Istwinkel_lesen(), 3.0);

    // A request the display dropped: the next reading cannot tell its own answer from a late
    // one and fails rather than guess; the one after is whole again.
    link.Stillefrist_setzen(100);
    anzeige->Stumm_schalten(true);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    anzeige->Stumm_schalten(false);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    EXPECT_DOUBLE_EQ(link.Istwinkel_lesen(), 3.0);
    EXPECT_EQ(anzeige->Anfragen(), 6u);
}

// A reader held up past the silence limit finds the late answer waiting as if it had just
// come; it is still late, and read to its end so that it cannot precede the next one.
TEST_F(ND261Link, NachDerFristVorgefundeneAntwortIstZuSpaet) {
    class Aufgehalten : public AufzeichnendeOberflaeche {
    public:
        void Nachrichten_verarbeiten() override {
            if (halten.exchange(false)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        std::atomic<bool> halten{true};
    } aufgehalten;
    Oeffnen();
    link.Stillefrist_setzen(100);
    anzeige->Antwortverzoegerung_setzen(150);
    Oberflaeche_setzen(&aufgehalten);
    EXPECT_EQ(Code([&] { Lesen_mit("+7.000\r\n"); }), ND261_MESSWERT_ERROR);
    Oberflaeche_setzen(&ui);
    anzeige->Antwortverzoegerung_setzen(0);
    EXPECT_DOUBLE_EQ(Lesen_mit("+5.000\r\n"), 5.0);
    EXPECT_THAT(transkript.Zeilen(), ElementsAre("IstWinkel: keine Antwort", "IstWinkel: 5.000"));
}

// The soak arms a fault only once no late answer is under way; the simulator tells when.
TEST_F(ND261Link, SimulatorMeldetZurueckgehalteneAntworten) {
    Oeffnen();
    link.Stillefrist_setzen(50);
    EXPECT_TRUE(anzeige->Verspaetete_abwarten(0));
    anzeige->Antwortverzoegerung_setzen(100);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    EXPECT_TRUE(anzeige->Verspaetete_abwarten(10000));
    anzeige->Antwortverzoegerung_setzen(600000);
    EXPECT_EQ(Code([&] { link.Istwinkel_lesen(); }), ND261_MESSWERT_ERROR);
    EXPECT_FALSE(anzeige->Verspaetete_abwarten(0));
    // Unplugged, it drops what it held back.
    anzeige->Ausstecken();
    EXPECT_TRUE(anzeige->Verspaetete_abwarten(0));
}

TEST_F(ND261Link, OeffnenScheitert) {
    EXPECT_FALSE(link.ND261_oeffnen("", "4800"));
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(link.ND261_oeffnen("COM9", "4800"));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "COM9 kann nicht geöffnet werden!");
    EXPECT_EQ(ui.Meldungen()[0].titel, "ND261");
    EXPECT_FALSE(link.Offen());
}

TEST(Winkeltranskript, SpeichertCp1252MitCrLf) {
    Temporaerordner ordner;
    Winkeltranskript t;
    std::vector<std::string> gesehen;
    t.Beobachter_setzen({[&](const std::string& z) { gesehen.push_back(z); },
                         [&] { gesehen.push_back("<leer>"); }});
    t.Zeile("alt");
    t.Leeren();
    t.Zeile("--> übersteuern um: 0.50 Grad");
    t.Zeile("");
    ASSERT_TRUE(t.Speichern(ordner.Datei("t.txt")));
    EXPECT_EQ(Datei_lesen(ordner.Datei("t.txt")), "--> \xFC"
                                                  "bersteuern um: 0.50 Grad\r\n\r\n");
    EXPECT_THAT(gesehen, ElementsAre("alt", "<leer>", "--> übersteuern um: 0.50 Grad", ""));
    EXPECT_EQ(Winkel_fest3(10.4849), "10.485");
    EXPECT_EQ(Winkel_fest3(-0.0001), "0.000");
    EXPECT_EQ(Winkel_fest3(123456.789), "123456.800");
}

} // namespace
} // namespace orvexa::test
