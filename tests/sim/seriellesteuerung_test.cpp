#include "kora_zeichen.h"
#include "seriellesteuerung.h"

#include "platform/zeitbasis.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvexa {
namespace {

using M = Steuerungsmodell;
using Uhr = std::chrono::steady_clock;

using test::ack;
using test::E;
using test::nak;

bool ist_Steuerbyte(char c) {
    return c == M::STX || c == M::ETX || c == M::ACK || c == M::BEL || c == M::CR || c == M::NAK;
}

// The program's end of the line, with plain read/write: cuts the byte stream into answers the
// way the link does (an answer ends at its first control byte).
class Gegenstelle {
public:
    explicit Gegenstelle(const std::string& pfad)
        : m_fd(::open(pfad.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Gegenstelle() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Offen() const { return m_fd >= 0; }

    void Senden(const std::string& bytes) {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // One answer, or what came before the time-out.
    std::string Antwort(int ms = 2000) {
        std::string antwort;
        const auto ende = Uhr::now() + std::chrono::milliseconds(ms);
        for (;;) {
            char c;
            const ssize_t n = ::read(m_fd, &c, 1);
            if (n == 1) {
                antwort += c;
                if (ist_Steuerbyte(c)) return antwort;
                continue;
            }
            const auto rest =
                std::chrono::duration_cast<std::chrono::milliseconds>(ende - Uhr::now()).count();
            if (rest <= 0) return antwort;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(rest)) <= 0 || (p.revents & (POLLHUP | POLLERR)))
                return antwort;
        }
    }
    std::string Anfrage(const std::string& anfrage, int ms = 2000) {
        Senden(anfrage + "\r");
        return Antwort(ms);
    }
    // Nothing arrives within ms.
    bool Still(int ms) {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }
    // The other end went away: poll reports a hang-up, a read fails.
    bool Aufgelegt(int ms) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLHUP)) return false;
        char c;
        return ::read(m_fd, &c, 1) <= 0;
    }

private:
    int m_fd;
};

class Steuerung : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(leitung.Offen()); }

    SerielleSteuerung sim;
    Gegenstelle leitung{sim.Geraetepfad()};
};

// --- request classes -------------------------------------------------------------------------

TEST_F(Steuerung, VerbindungsprobeUndKennung) {
    EXPECT_EQ(leitung.Anfrage(""), E(1));
    EXPECT_EQ(leitung.Anfrage("@V"), "@V KXvario-KXCU V2.31" + ack);

    SerielleSteuerung::Optionen o;
    o.Modul = 6;
    o.Kennung = "Testkennung 1.0";
    SerielleSteuerung andere(o);
    Gegenstelle zweite(andere.Geraetepfad());
    EXPECT_EQ(zweite.Anfrage("@V"), "@V Testkennung 1.0" + ack);
}

TEST_F(Steuerung, EinstellungenWerdenQuittiertUndUebernommen) {
    for (const char* a :
         {"c,x100", "c,y100",   "c,z120",  "c,u0",     "D,x2",    "D,y2",    "D,z2",    "D,u2",
          "T1",     "#S128000", "#E0,400", "#E3,5000", "#R60000", "#E9,700", "#Oz,-25", "A3,1",
          "AL,1",   "AR,1",     "A8,0",    "I2C-A4,1", "&E1,1",   "#PD,5"})
        EXPECT_EQ(leitung.Anfrage(a), ack) << a;
    const auto e = sim.Einstellungen();
    EXPECT_EQ(e.Steuersignal, 1);
    EXPECT_EQ(e.Startfreq, 128000);
    EXPECT_EQ(e.Geschwindigkeit[3], 5000);
    EXPECT_EQ(e.Geschwindigkeit[9], 700);
    EXPECT_EQ(e.Rampe, 60000);
    EXPECT_EQ(e.Referenzoffset[2], -25);
    EXPECT_TRUE(e.Ausgaenge[2]);
    EXPECT_TRUE(e.Ausgaenge[8]);
    EXPECT_TRUE(e.Ausgaenge[9]);
    EXPECT_TRUE(e.I2C_Ausgaenge[3]);
    EXPECT_EQ(e.E1Verknuepfung, 1);
    EXPECT_EQ(e.Durchlaeufe, 5);
    EXPECT_EQ(e.Strom[2], 120);
    EXPECT_EQ(sim.Anfragen().front(), "c,x100");
}

TEST_F(Steuerung, Eingaenge) {
    EXPECT_EQ(leitung.Anfrage("@IB"), "@IB 0" + ack);
    ASSERT_TRUE(sim.Eingang_setzen('B', true));
    EXPECT_EQ(leitung.Anfrage("@IB"), "@IB 1" + ack);
    EXPECT_EQ(leitung.Anfrage("@IA"), "@IA 0" + ack);
    EXPECT_FALSE(sim.Eingang_setzen('Q', true));
}

TEST_F(Steuerung, AblehnungenUnbekannterBefehleUndFalscherWerte) {
    for (const char* a : {"Q", "#X5", "$X", "&F1,0", "I2C", "c5", "@Q", "@V2", "@Bx"})
        EXPECT_EQ(leitung.Anfrage(a), E(1)) << a;
    for (const char* a :
         {"#S128001", "#S-5",   "#Sabc",    "#S",       "#E11,400", "#E1,128001", "#E1",
          "#R60001",  "#R-1",   "W3600001", "Wx",       "A9,1",     "A0,1",       "A1,2",
          "AX,1",     "A1,",    "I2C-A5,1", "I2C-A1,2", "T2",       "T",          "#Oq,5",
          "#Ox5",     "Lx",     "L",        "L1,q5",    "L11,x5",   "L1,x1,x2",   "L1,x1,X2",
          "L1,x",     "L1,,x1", "L1,x1.5",  "$Hq",      "$HX",      "&E1,2",      "c,q1",
          "D,x256",   "@Lq",    "@L",       "@Iq",      "FH2"})
        EXPECT_EQ(leitung.Anfrage(a), a == std::string("FH2") ? E(1) : E(6)) << a;
    // Nothing refused has changed anything.
    EXPECT_EQ(sim.Einstellungen().Startfreq, Steuerungsmodell::Einstellungen{}.Startfreq);
    EXPECT_EQ(sim.Position('x'), 0);
}

TEST_F(Steuerung, UeberlangeAnfrage) {
    leitung.Senden(std::string(300, 'A') + "\r");
    EXPECT_EQ(leitung.Antwort(), E(8));
    EXPECT_EQ(leitung.Anfrage("A1,1"), ack); // the rest was dropped without an answer
}

// The observer sees every request with the time its first byte was read, before the answer
// leaves, so a caller that has its answer also has the time stamp.
TEST_F(Steuerung, AnfragebeobachterMeldetDenErstenBytezeitpunkt) {
    std::mutex mutex;
    std::vector<std::pair<std::string, int64_t>> gesehen;
    sim.Anfragebeobachter_setzen([&](const std::string& anfrage, int64_t erstes_byte) {
        std::lock_guard lock(mutex);
        gesehen.emplace_back(anfrage, erstes_byte);
    });
    const int64_t vorher = Zeitbasis::Zaehler();
    EXPECT_EQ(leitung.Anfrage("#S400"), ack);
    const int64_t zwischen = Zeitbasis::Zaehler();
    EXPECT_EQ(leitung.Anfrage("@B"), "@B" + ack);
    const int64_t nachher = Zeitbasis::Zaehler();
    sim.Anfragebeobachter_setzen(nullptr);
    EXPECT_EQ(leitung.Anfrage("#S500"), ack);

    std::lock_guard lock(mutex);
    ASSERT_EQ(gesehen.size(), 2u);
    EXPECT_EQ(gesehen[0].first, "#S400");
    EXPECT_EQ(gesehen[1].first, "@B");
    EXPECT_GE(gesehen[0].second, vorher);
    EXPECT_LE(gesehen[0].second, zwischen);
    EXPECT_GE(gesehen[1].second, zwischen);
    EXPECT_LE(gesehen[1].second, nachher);
}

TEST_F(Steuerung, WatchdogAusgangWirdVerweigert) {
    sim.Watchdog_Ausgang_setzen(2);
    EXPECT_EQ(leitung.Anfrage("A2,1"), E(9));
    EXPECT_EQ(leitung.Anfrage("A1,1"), ack);
}

// --- motion ----------------------------------------------------------------------------------

TEST_F(Steuerung, OhneZeitskalaFolgtDerAbschlussSofort) {
    EXPECT_EQ(leitung.Anfrage("L1,x100,y-50,z7"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("@Lx"), "@Lx 100" + ack);
    EXPECT_EQ(leitung.Anfrage("@Ly"), "@Ly -50" + ack);
    EXPECT_EQ(leitung.Anfrage("L3,X-1250"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("@Lx"), "@Lx -1250" + ack);
    EXPECT_EQ(leitung.Anfrage("L3"), nak); // all axes stay
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("L1,u5"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(sim.Position('u'), 5);

    EXPECT_EQ(leitung.Anfrage("#Ox,30"), ack);
    EXPECT_EQ(leitung.Anfrage("$Hzxy"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    for (char a : {'x', 'y', 'z'})
        EXPECT_EQ(sim.Position(a), 0) << a;
    EXPECT_EQ(sim.Position('u'), 5);

    EXPECT_EQ(leitung.Anfrage("W3600000"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("W0"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
}

class ZeitlicheFahrt : public Steuerung {
protected:
    void SetUp() override {
        Steuerung::SetUp();
        // 1000 steps/s, no ramp; the long moves below are ended by the tests.
        for (const char* a : {"#S1000", "#E1,1000", "#R0"})
            ASSERT_EQ(leitung.Anfrage(a), ack);
        sim.Zeitskala_setzen(1);
    }
    int32_t Position_abfragen() {
        const std::string a = leitung.Anfrage("@Lx");
        EXPECT_TRUE(a.starts_with("@Lx ") && a.ends_with(ack)) << a;
        return a.size() > 5 ? std::stoi(a.substr(4, a.size() - 5)) : 0;
    }
};

TEST_F(ZeitlicheFahrt, PositionAendertSichWaehrendDerFahrt) {
    sim.Zeitskala_setzen(0.003); // 100000 steps take 300 ms
    ASSERT_EQ(leitung.Anfrage("L1,x100000"), nak);
    int32_t x = 0;
    while (x == 0)
        x = Position_abfragen();
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 100000);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(Position_abfragen(), 100000);
}

TEST_F(ZeitlicheFahrt, AnhaltenBeendetDieFahrtVorzeitigMitAbschluss) {
    ASSERT_EQ(leitung.Anfrage("#R200"), ack);
    ASSERT_EQ(leitung.Anfrage("#S100"), ack);
    ASSERT_EQ(leitung.Anfrage("L1,x100000"), nak); // 100 s at full speed
    while (Position_abfragen() == 0) {
    }
    ASSERT_EQ(leitung.Anfrage("@B"), "@B" + ack);
    EXPECT_EQ(leitung.Antwort(), ack); // after at most the 200 ms ramp
    const int32_t x = Position_abfragen();
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 1000);
    EXPECT_FALSE(sim.Bewegung_laeuft());
}

TEST_F(ZeitlicheFahrt, SofortStoppOhneAbschluss) {
    ASSERT_EQ(leitung.Anfrage("L1,x100000"), nak);
    ASSERT_EQ(leitung.Anfrage("@S"), "@RS" + ack);
    const int32_t x = Position_abfragen();
    EXPECT_TRUE(leitung.Still(150)); // no completion answer follows
    EXPECT_EQ(Position_abfragen(), x);
    EXPECT_LT(x, 100000);
    EXPECT_EQ(leitung.Anfrage("A1,1"), ack);
}

TEST_F(ZeitlicheFahrt, GewoehnlicheAnfrageWartetAufDasEnde) {
    ASSERT_EQ(leitung.Anfrage("W100000"), nak);
    leitung.Senden("A4,1\r");
    ASSERT_TRUE(sim.Warten_auf_Anfragen(sim.Anfragen().size(), 2000));
    EXPECT_TRUE(leitung.Still(50));
    EXPECT_FALSE(sim.Einstellungen().Ausgaenge[3]);
    EXPECT_EQ(leitung.Anfrage("@B"), "@B" + ack);
    EXPECT_EQ(leitung.Antwort(), ack); // the dwell's completion
    EXPECT_EQ(leitung.Antwort(), ack); // then the output
    EXPECT_TRUE(sim.Einstellungen().Ausgaenge[3]);
}

TEST_F(ZeitlicheFahrt, StoppBeendetDenThreadZuegig) {
    ASSERT_EQ(leitung.Anfrage("L1,x100000"), nak);
    const auto beginn = Uhr::now();
    sim.Stoppen();
    EXPECT_LT(Uhr::now() - beginn, std::chrono::seconds(1));
    EXPECT_TRUE(leitung.Aufgelegt(1000));
}

// --- program memory --------------------------------------------------------------------------

TEST_F(Steuerung, ProgrammSchreibenLesenLoeschen) {
    EXPECT_EQ(leitung.Anfrage("*FR1"), "*FR1 -,-\r");
    EXPECT_EQ(leitung.Anfrage("*PR1"), E(3));
    EXPECT_EQ(leitung.Anfrage("*PE1"), "*PE1\r");
    EXPECT_EQ(leitung.Antwort(), E(3));

    EXPECT_EQ(leitung.Anfrage("*PW1"), ack);
    leitung.Senden(std::string("/home/b/t.edt 01.02.2024 10:00:00") + M::STX);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_TRUE(sim.Speichermodus());
    for (const char* a : {"#PD,3", "c,x100", "#S400", "L1,x100", "W500", "$Hx"})
        EXPECT_EQ(leitung.Anfrage(a), ack) << a; // stored, motion and dwell too
    leitung.Senden(std::string(1, M::ETX));
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_FALSE(sim.Speichermodus());
    EXPECT_EQ(sim.Position('x'), 0);

    const std::string fr = leitung.Anfrage("*FR1");
    EXPECT_TRUE(fr.starts_with("*FR1 ")) << fr;
    EXPECT_FALSE(fr.starts_with("*FR1 -,-")) << fr;
    EXPECT_EQ(leitung.Anfrage("*PR1"), "*PR1\r");
    EXPECT_EQ(leitung.Antwort(), "/home/b/t.edt 01.02.2024 10:00:00\r");
    for (const char* a : {"#PD,3", "c,x100", "#S400", "L1,x100", "W500", "$Hx"})
        EXPECT_EQ(leitung.Antwort(), a + std::string("\r"));
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(sim.Programmplatz(1)->Befehle.size(), 6u);

    EXPECT_EQ(leitung.Anfrage("*PE1"), "*PE1\r");
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("*FR1"), "*FR1 -,-\r");
    EXPECT_EQ(leitung.Anfrage("*PW0"), E(2));
    EXPECT_EQ(leitung.Anfrage("*PEa"), "*PEa\r");
    EXPECT_EQ(leitung.Antwort(), ack);
}

TEST(Steuerungsspeicher, UeberlaufMeldetE4) {
    SerielleSteuerung::Optionen o;
    o.Speichergroesse = 16;
    SerielleSteuerung sim(o);
    Gegenstelle leitung(sim.Geraetepfad());
    EXPECT_EQ(leitung.Anfrage("*PW7"), ack);
    leitung.Senden(std::string("kopf") + M::STX + "\r");
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_EQ(leitung.Anfrage("L1,x100"), ack);
    EXPECT_EQ(leitung.Anfrage("L1,x1000"), E(4));
    leitung.Senden(std::string(1, M::ETX));
    EXPECT_EQ(leitung.Antwort(), E(4));
    EXPECT_EQ(leitung.Anfrage("*FR7"), "*FR7 -,-\r");
}

// --- faults ----------------------------------------------------------------------------------

TEST_F(Steuerung, StummLiestAberAntwortetNicht) {
    sim.Stumm_schalten(true);
    leitung.Senden("\r");
    ASSERT_TRUE(sim.Warten_auf_Anfragen(1, 2000));
    EXPECT_TRUE(leitung.Still(100));
    sim.Stumm_schalten(false);
    EXPECT_EQ(leitung.Anfrage(""), E(1));
    EXPECT_EQ(sim.Anfragen().size(), 2u);
}

TEST_F(Steuerung, VerspaeteteAntwort) {
    sim.Antwortverzoegerung_setzen(150);
    const auto beginn = Uhr::now();
    leitung.Senden("A1,1\r");
    EXPECT_TRUE(leitung.Still(50));
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_GE(Uhr::now() - beginn, std::chrono::milliseconds(150));
    sim.Antwortverzoegerung_setzen(0);
    EXPECT_EQ(leitung.Anfrage("@V"), "@V KXvario-KXCU V2.31" + ack);
}

TEST_F(Steuerung, MuellStattAntwort) {
    sim.Muell_senden(true, std::string("\xAB\xAB") + M::CR);
    EXPECT_EQ(leitung.Anfrage("@V"), std::string("\xAB\xAB") + M::CR);
    sim.Muell_senden(false);
    EXPECT_EQ(leitung.Anfrage("A1,1"), ack);
}

TEST_F(Steuerung, AbgeschnitteneAntwort) {
    sim.Naechste_Antwort_abschneiden(4);
    leitung.Senden("@V\r");
    EXPECT_EQ(leitung.Antwort(200), "@V K");          // nothing ends it
    EXPECT_EQ(leitung.Anfrage("@Lx"), "@Lx 0" + ack); // only the one answer was cut
}

TEST_F(Steuerung, AusgesteckteLeitungLegtAuf) {
    EXPECT_EQ(leitung.Anfrage(""), E(1));
    sim.Ausstecken();
    EXPECT_TRUE(leitung.Aufgelegt(1000));
}

// Plugged in again, the unit is the same one on a fresh line: its state stays, what it was
// about to send when the line went is gone.
TEST_F(Steuerung, WiederEingestecktMitAltemZustandOhneAlteAntworten) {
    EXPECT_EQ(leitung.Anfrage("#E1,2000"), ack);
    EXPECT_EQ(leitung.Anfrage("L1,x250"), nak);
    EXPECT_EQ(leitung.Antwort(), ack);
    EXPECT_TRUE(sim.Einstecken()); // plugged in: nothing to do
    sim.Antwortverzoegerung_setzen(60'000);
    leitung.Senden("@V\r");
    ASSERT_TRUE(sim.Warten_auf_Anfragen(3, 2000));
    sim.Ausstecken();
    EXPECT_TRUE(leitung.Aufgelegt(1000));
    EXPECT_EQ(sim.Anfragenzahl(), 3u);

    ASSERT_TRUE(sim.Einstecken());
    sim.Antwortverzoegerung_setzen(0);
    Gegenstelle neu(sim.Geraetepfad());
    ASSERT_TRUE(neu.Offen());
    EXPECT_EQ(neu.Anfrage("@Lx"), "@Lx 250" + ack);
    EXPECT_EQ(neu.Anfrage(""), E(1)); // the held-back identification never comes
    EXPECT_EQ(sim.Anfragenzahl(), 5u);
}

} // namespace
} // namespace orvexa
