#include "kora_zeichen.h"
#include "steuerungsmodell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvexa {
namespace {

using Antworten = std::vector<std::string>;
using M = Steuerungsmodell;

using test::ack;
using test::E;
using test::nak;
constexpr int64_t ms = 1'000'000;

// The model driven with an explicit clock: times are exact, nothing sleeps.
class Modell : public ::testing::Test {
protected:
    Antworten Senden(const std::string& anfrage) { return m.Bytes_empfangen(anfrage + "\r", t); }
    Antworten Bis(int64_t zeit) {
        t = zeit;
        return m.Zeit_fortschreiten(t);
    }
    // Constant speed without ramp: a move of n steps takes n ms at 1000 steps/s.
    void Gleichfoermig() {
        for (const char* a : {"#S1000", "#E1,1000", "#E9,1000", "#R0"})
            ASSERT_EQ(Senden(a), Antworten{ack});
    }

    M m{5};
    int64_t t = 1'000'000'000;
};

TEST(Profil, TrapezUndDreieck) {
    // 100 -> 1000 steps/s in 0.1 s: the ramps cover 55 steps each.
    auto p = M::Profil_berechnen(1000, 100, 1000, 0.1);
    EXPECT_NEAR(p.Dauer, 0.2 + 0.89, 1e-9);
    EXPECT_NEAR(p.Weg_bei(0.1), 55, 1e-9);
    EXPECT_NEAR(p.Weg_bei(p.Dauer / 2), 500, 1e-6);
    EXPECT_DOUBLE_EQ(p.Weg_bei(p.Dauer), 1000);

    // Too short for the full speed: the peak is reached halfway.
    auto d = M::Profil_berechnen(50, 100, 1000, 0.1);
    EXPECT_LT(d.Dauer, 0.2);
    EXPECT_NEAR(d.Weg_bei(d.Dauer / 2), 25, 1e-6);
    EXPECT_LT(d.Geschwindigkeit_bei(d.Dauer / 2 - 1e-6), 1000);

    // A start speed above the slot's speed, or no ramp: constant speed.
    EXPECT_NEAR(M::Profil_berechnen(500, 2000, 1000, 0.1).Dauer, 0.5, 1e-9);
    EXPECT_NEAR(M::Profil_berechnen(500, 0, 1000, 0).Dauer, 0.5, 1e-9);
    EXPECT_EQ(M::Profil_berechnen(0, 100, 1000, 0.1).Dauer, 0);
}

TEST(Profil, AbbremsenEndetFrueherUndSanft) {
    auto p = M::Profil_berechnen(100000, 100, 1000, 0.1);
    const double vorher = p.Dauer;
    ASSERT_TRUE(p.Abbremsen(1.0));
    EXPECT_NEAR(p.Dauer, 1.1, 1e-9);
    EXPECT_NEAR(p.Weg, p.Weg_bei(1.0 - 1e-12) + 55, 1e-3);
    EXPECT_LT(p.Dauer, vorher);
    // Already on the final ramp: nothing to shorten.
    auto kurz = M::Profil_berechnen(100, 100, 1000, 0.1);
    EXPECT_FALSE(kurz.Abbremsen(kurz.Dauer * 0.9));
}

TEST_F(Modell, FahrtBrauchtZeitUndMeldetZwischenstaende) {
    m.Zeitskala_setzen(1);
    Gleichfoermig();
    const int64_t start = t;
    EXPECT_EQ(Senden("L1,x1000,y-500"), Antworten{nak});
    EXPECT_EQ(m.Naechstes_Ereignis(), start + 1000 * ms);
    EXPECT_TRUE(Bis(start + 400 * ms).empty());
    EXPECT_EQ(m.Position('x', t), 400);
    EXPECT_EQ(m.Position('y', t), -200);
    EXPECT_EQ(Senden("@Lx"), Antworten{"@Lx 400" + ack});
    EXPECT_EQ(Bis(start + 1000 * ms), Antworten{ack});
    EXPECT_EQ(m.Position('x', t), 1000);
    EXPECT_FALSE(m.Bewegung_laeuft());

    // Absolute upper-case targets; a field left out stays.
    EXPECT_EQ(Senden("L1,X10"), Antworten{nak});
    EXPECT_EQ(Bis(t + 990 * ms), Antworten{ack});
    EXPECT_EQ(m.Position('x', t), 10);
    EXPECT_EQ(m.Position('y', t), -500);
}

TEST_F(Modell, ZeitskalaStauchtDieDauer) {
    m.Zeitskala_setzen(0.1);
    Gleichfoermig();
    const int64_t start = t;
    Senden("L1,u1000");
    EXPECT_EQ(m.Naechstes_Ereignis(), start + 100 * ms);
    m.Zeitskala_setzen(0);
    EXPECT_EQ(Senden("W3600000").size(), 0u); // waits behind the running move
    EXPECT_EQ(Bis(start + 100 * ms), (Antworten{ack, nak, ack}));
}

TEST_F(Modell, AnhaltenRamptAbUndMeldetDannDasEnde) {
    m.Zeitskala_setzen(1);
    for (const char* a : {"#S100", "#E2,1000", "#R100"})
        Senden(a);
    const int64_t start = t;
    Senden("L2,z100000");
    Bis(start + 1000 * ms);
    EXPECT_EQ(Senden("@B"), Antworten{"@B" + ack});
    EXPECT_EQ(m.Naechstes_Ereignis(), start + 1100 * ms);
    EXPECT_TRUE(Bis(start + 1099 * ms).empty());
    EXPECT_EQ(Bis(start + 1100 * ms), Antworten{ack});
    const int32_t z = m.Position('z', t);
    EXPECT_GT(z, 900);
    EXPECT_LT(z, 1100);
    EXPECT_EQ(Senden("@Lz"), Antworten{"@Lz " + std::to_string(z) + ack});
}

TEST_F(Modell, SofortStoppHaeltOhneAbschlussmeldung) {
    m.Zeitskala_setzen(1);
    Gleichfoermig();
    const int64_t start = t;
    Senden("L1,x1000");
    Bis(start + 300 * ms);
    EXPECT_EQ(Senden("@S"), Antworten{"@RS" + ack});
    EXPECT_FALSE(m.Naechstes_Ereignis());
    EXPECT_TRUE(Bis(start + 5000 * ms).empty());
    EXPECT_EQ(m.Position('x', t), 300);
    // Stops and brakes without a move only answer.
    EXPECT_EQ(Senden("@S"), Antworten{"@RS" + ack});
    EXPECT_EQ(Senden("@B"), Antworten{"@B" + ack});
}

TEST_F(Modell, AnhaltenBeendetAuchEineWartezeit) {
    m.Zeitskala_setzen(1);
    const int64_t start = t;
    EXPECT_EQ(Senden("W2000"), Antworten{nak});
    EXPECT_TRUE(Bis(start + 1999 * ms).empty());
    EXPECT_EQ(Senden("@B"), (Antworten{"@B" + ack, ack}));
}

TEST_F(Modell, ReferenzfahrtInDerReihenfolgeMitVersatz) {
    m.Zeitskala_setzen(1);
    Gleichfoermig();
    Senden("L1,x500,z200");
    Bis(t + 500 * ms);
    EXPECT_EQ(Senden("#Ox,10"), Antworten{ack});
    const int64_t start = t;
    EXPECT_EQ(Senden("$Hzx"), Antworten{nak});
    // z first: 200 steps back to its switch (offset 0).
    Bis(start + 100 * ms);
    EXPECT_EQ(m.Position('z', t), 100);
    EXPECT_EQ(m.Position('x', t), 500);
    // Then x: 500 steps to the switch and 10 beyond, where it counts 0.
    Bis(start + 200 * ms + 500 * ms);
    EXPECT_EQ(m.Position('x', t), 0);
    EXPECT_TRUE(Bis(start + 200 * ms + 505 * ms).empty());
    EXPECT_EQ(m.Position('x', t), 5);
    EXPECT_EQ(Bis(start + 200 * ms + 510 * ms), Antworten{ack});
    EXPECT_EQ(m.Position('x', t), 0);
    EXPECT_EQ(m.Position('z', t), 0);

    // Homed again from 0: back 10 to the switch and out again.
    const int64_t zweiter = t;
    Senden("$Hx");
    Bis(zweiter + 10 * ms);
    EXPECT_EQ(m.Position('x', t), -10);
    EXPECT_EQ(Bis(zweiter + 20 * ms), Antworten{ack});
    EXPECT_EQ(m.Position('x', t), 0);

    // No axes: nothing to do, but still a motion command.
    EXPECT_EQ(Senden("$H"), (Antworten{nak, ack}));
}

TEST_F(Modell, AngehalteneReferenzfahrtSetztKeinenNullpunkt) {
    m.Zeitskala_setzen(1);
    Gleichfoermig();
    Senden("L1,y300");
    Bis(t + 300 * ms);
    const int64_t start = t;
    Senden("$Hyx");
    Bis(start + 100 * ms);
    EXPECT_EQ(Senden("@B"), (Antworten{"@B" + ack, ack})); // no ramp: stops at once
    EXPECT_EQ(m.Position('y', t), 200);
    EXPECT_FALSE(m.Bewegung_laeuft());
}

TEST_F(Modell, GewoehnlicheAnfragenWartenAufDasEndeDerFahrt) {
    m.Zeitskala_setzen(1);
    Gleichfoermig();
    const int64_t start = t;
    Senden("L1,x100");
    EXPECT_TRUE(Senden("A1,1").empty());
    EXPECT_TRUE(Senden("L1,x100").empty());
    EXPECT_EQ(Senden("@Lx"), Antworten{"@Lx 0" + ack}); // multi-byte requests pass at once
    EXPECT_FALSE(m.Einstellungswerte().Ausgaenge[0]);
    EXPECT_EQ(Bis(start + 100 * ms), (Antworten{ack, ack, nak}));
    EXPECT_TRUE(m.Einstellungswerte().Ausgaenge[0]);
    EXPECT_EQ(Bis(start + 200 * ms), Antworten{ack});
    EXPECT_EQ(m.Position('x', t), 200);
}

TEST_F(Modell, FahrtOhneGeschwindigkeitUndUeberlaufWerdenAbgelehnt) {
    EXPECT_EQ(Senden("#E4,0"), Antworten{ack});
    EXPECT_EQ(Senden("L4,x1"), Antworten{E(6)});
    EXPECT_EQ(Senden("L4,x0"), (Antworten{nak, ack})); // nothing to move
    EXPECT_EQ(Senden("L1,X2147483647"), (Antworten{nak, ack}));
    EXPECT_EQ(Senden("L1,x1"), Antworten{E(6)});
    EXPECT_EQ(m.Position('x', t), 2147483647);
    EXPECT_EQ(Senden("#E9,0"), Antworten{ack});
    EXPECT_EQ(Senden("$Hx"), Antworten{E(6)});
}

TEST_F(Modell, SchrittbetriebNurBeiPhasenkarten) {
    EXPECT_EQ(Senden("FV6"), Antworten{E(1)}); // type 5 drives no phases
    M sechs{6};
    EXPECT_EQ(sechs.Bytes_empfangen("T0\rFV6\r", t), (Antworten{ack, ack}));
    EXPECT_EQ(sechs.Einstellungswerte().Schrittmodus, 'V');
    EXPECT_EQ(sechs.Einstellungswerte().Ruhestrom, '6');
    EXPECT_EQ(sechs.Bytes_empfangen("T1\rFH0\rFX2\r", t), (Antworten{ack, E(1), E(6)}));
    EXPECT_EQ(sechs.Bytes_empfangen("T0\rFX2\rFH3\rFH\r", t), (Antworten{ack, E(6), E(6), E(6)}));
    // I2C outputs only on type 5; program memory only on 5 and 6.
    EXPECT_EQ(sechs.Bytes_empfangen("I2C-A1,1\r", t), Antworten{E(1)});
    M zehn{10};
    EXPECT_EQ(zehn.Bytes_empfangen("*FR1\r#PD,2\r", t), (Antworten{E(1), E(1)}));
    EXPECT_EQ(zehn.Bytes_empfangen("@V\r", t), Antworten{"@V USB-IO-KX400 V1.12" + ack});
}

TEST_F(Modell, StummAufgezeichnetAberNichtAusgefuehrt) {
    EXPECT_TRUE(m.Bytes_empfangen("A2,1\rL1,x5\r", t, false).empty());
    EXPECT_EQ(m.Anfragen(), (std::vector<std::string>{"A2,1", "L1,x5"}));
    EXPECT_FALSE(m.Einstellungswerte().Ausgaenge[1]);
    EXPECT_EQ(m.Position('x', t), 0);
}

TEST_F(Modell, UeberlangeAnfrageEinmalAbgelehntRestVerworfen) {
    const std::string lang(300, 'L');
    EXPECT_EQ(m.Bytes_empfangen(lang, t), Antworten{E(8)});
    EXPECT_TRUE(m.Bytes_empfangen(lang + "\r", t).empty());
    EXPECT_EQ(Senden("A1,1"), Antworten{ack});
    // Exactly 256 bytes is still a request (an unknown one).
    EXPECT_EQ(Senden(std::string(256, 'Q')), Antworten{E(1)});
}

// Each request carries the time its first byte arrived, however the bytes were cut: the stop
// benchmark measures to that byte.
TEST_F(Modell, AnfragebeginnIstDieZeitDesErstenBytes) {
    struct Stueck {
        const char* bytes;
        int64_t zeit;
    };
    struct Fall {
        const char* name;
        std::vector<Stueck> stuecke;
        std::vector<std::string> anfragen;
        std::vector<int64_t> beginn;
    };
    const std::string lang(300, 'Q');
    const std::string kopf = std::string("*PW1\rkopf") + M::STX + "\r#PD,1\r";
    const std::vector<Fall> faelle{
        {"geteilt", {{"@", 10}, {"B\r", 20}}, {"@B"}, {10}},
        {"zwei_in_einem_stueck", {{"#S400\r@V\r", 30}}, {"#S400", "@V"}, {30, 30}},
        {"leer_und_ETX", {{"\r", 5}, {"\x03", 6}}, {"", "\x03"}, {5, 6}},
        {"ueberlang_dann_neu",
         {{lang.c_str(), 7}, {"QQ\rA1,1", 8}, {"\r", 9}},
         {std::string(257, 'Q'), "A1,1"},
         {7, 8}},
        // The CR right after the header's STX belongs to the header, not to the next request.
        {"kopf", {{kopf.c_str(), 11}}, {"*PW1", "kopf", "#PD,1"}, {11, 11, 11}},
        {"kopf_geteilt",
         {{"*PW1\rko", 12}, {"pf\x02", 13}, {"\r", 14}, {"#PD,1\r", 15}},
         {"*PW1", "kopf", "#PD,1"},
         {12, 12, 15}},
    };
    for (const Fall& fall : faelle) {
        M modell{5};
        for (const Stueck& s : fall.stuecke)
            modell.Bytes_empfangen(s.bytes, t + s.zeit);
        EXPECT_EQ(modell.Anfragen(), fall.anfragen) << fall.name;
        std::vector<int64_t> erwartet;
        for (int64_t b : fall.beginn)
            erwartet.push_back(t + b);
        EXPECT_EQ(modell.Anfragebeginn(), erwartet) << fall.name;
    }
}

// --- program memory --------------------------------------------------------------------------

class Programmspeicher : public Modell {
protected:
    void Aufzeichnen(int platz, const std::string& kopf, const std::vector<std::string>& befehle) {
        ASSERT_EQ(Senden("*PW" + std::to_string(platz)), Antworten{ack});
        ASSERT_EQ(m.Bytes_empfangen(kopf + M::STX + "\r", t), Antworten{ack});
        for (const auto& b : befehle)
            ASSERT_EQ(Senden(b), Antworten{ack}) << b;
        ASSERT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{ack});
    }
};

TEST_F(Programmspeicher, AufzeichnenFuehrtNichtsAus) {
    m.Zeitskala_setzen(1);
    ASSERT_EQ(Senden("*PW2"), Antworten{ack});
    EXPECT_TRUE(m.Speichermodus());
    // Header and first command in one burst: the CR after the STX belongs to the header.
    EXPECT_EQ(
        m.Bytes_empfangen(std::string("/t/a.edt 1.2.2024 10:00:00") + M::STX + "\r#PD,3\r", t),
        (Antworten{ack, ack}));
    for (const char* b : {"c,x100", "L1,x500", "W1000", "$Hzx", "A1,1"})
        EXPECT_EQ(Senden(b), Antworten{ack}) << b;
    EXPECT_EQ(Senden("L1,q5"), Antworten{E(6)});
    EXPECT_EQ(Senden("Q"), Antworten{E(1)});
    EXPECT_EQ(Senden("@Lx"), Antworten{"@Lx 0" + ack});
    EXPECT_FALSE(m.Bewegung_laeuft());
    EXPECT_FALSE(m.Einstellungswerte().Ausgaenge[0]);
    EXPECT_EQ(m.Einstellungswerte().Durchlaeufe, 1);
    EXPECT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{ack});
    EXPECT_FALSE(m.Speichermodus());

    const auto p = m.Programmplatz(2);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Kopf, "/t/a.edt 1.2.2024 10:00:00");
    EXPECT_EQ(p->Befehle,
              (std::vector<std::string>{"#PD,3", "c,x100", "L1,x500", "W1000", "$Hzx", "A1,1"}));
    // Outside a recording ETX is nothing.
    EXPECT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{E(1)});
}

TEST_F(Programmspeicher, VerzeichnisLesenLoeschen) {
    EXPECT_EQ(Senden("*FR1"), Antworten{"*FR1 -,-\r"});
    EXPECT_EQ(Senden("*PR1"), Antworten{E(3)});
    EXPECT_EQ(Senden("*PE1"), (Antworten{"*PE1\r", E(3)}));
    Aufzeichnen(1, "kopf\x01", {"#PD,1", "L1,x5"});
    const auto fr = Senden("*FR1");
    ASSERT_EQ(fr.size(), 1u);
    EXPECT_EQ(fr[0], "*FR1 " + std::to_string(6 + 6 + 6) + ",kopf?\r");
    EXPECT_EQ(Senden("*PR1"), (Antworten{"*PR1\r", "kopf?\r", "#PD,1\r", "L1,x5\r", ack}));
    EXPECT_EQ(Senden("*PW1"), Antworten{E(5)}); // used places are erased first
    EXPECT_EQ(Senden("*PE1"), (Antworten{"*PE1\r", ack}));
    EXPECT_EQ(Senden("*FR1"), Antworten{"*FR1 -,-\r"});

    Aufzeichnen(3, "", {});
    Aufzeichnen(7, "x", {"W5"});
    EXPECT_EQ(Senden("*PR3"), (Antworten{"*PR3\r", ack}));
    EXPECT_EQ(Senden("*PEa"), (Antworten{"*PEa\r", ack}));
    EXPECT_FALSE(m.Programmplatz(3));
    EXPECT_FALSE(m.Programmplatz(7));
}

TEST_F(Programmspeicher, UngueltigePlaetzeUndBefehle) {
    for (const char* a : {"*FR0", "*FR8", "*PR", "*PEb", "*PW-1", "*PW1x"})
        EXPECT_EQ(Senden(a), Antworten{E(2)}) << a;
    for (const char* a : {"*", "*XY1", "*PX1"})
        EXPECT_EQ(Senden(a), Antworten{E(1)}) << a;
}

TEST_F(Programmspeicher, SpeicherueberlaufVerwirftDasProgramm) {
    m.Speichergroesse_setzen(40);
    Aufzeichnen(1, "k", {"L1,x1"}); // 2 + 6 bytes
    ASSERT_EQ(Senden("*PW2"), Antworten{ack});
    ASSERT_EQ(m.Bytes_empfangen(std::string("kopf") + M::STX, t), Antworten{ack});
    EXPECT_EQ(Senden("L1,x1000000"), Antworten{ack}); // 12 bytes: 8 + 5 + 12 = 25
    EXPECT_EQ(Senden("L1,x2000000"), Antworten{ack}); // 37
    EXPECT_EQ(Senden("L1,x3000000"), Antworten{E(4)});
    EXPECT_EQ(Senden("A1,1"), Antworten{E(4)}); // would fit, but the program is lost already
    EXPECT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{E(4)});
    EXPECT_FALSE(m.Speichermodus());
    EXPECT_FALSE(m.Programmplatz(2));
    EXPECT_TRUE(m.Programmplatz(1));
    EXPECT_EQ(Senden("A1,1"), Antworten{ack}); // and runs normally again
}

TEST_F(Programmspeicher, ZuLangerKopfWirdGekuerztAufzeichnungLaeuftWeiter) {
    ASSERT_EQ(Senden("*PW4"), Antworten{ack});
    EXPECT_EQ(m.Bytes_empfangen(std::string(300, 'h') + M::STX, t), Antworten{E(8)});
    EXPECT_TRUE(m.Speichermodus());
    EXPECT_EQ(Senden("L1,x5"), Antworten{ack}); // stored, never run
    EXPECT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{ack});
    EXPECT_EQ(m.Programmplatz(4)->Kopf, std::string(256, 'h'));
    EXPECT_EQ(m.Position('x', t), 0);
}

TEST_F(Programmspeicher, SpeicherbefehlBrichtOffeneAufzeichnungAb) {
    ASSERT_EQ(Senden("*PW5"), Antworten{ack});
    ASSERT_EQ(m.Bytes_empfangen(std::string("k") + M::STX, t), Antworten{ack});
    ASSERT_EQ(Senden("L1,x5"), Antworten{ack});
    EXPECT_EQ(Senden("*FR5"), Antworten{"*FR5 -,-\r"});
    EXPECT_FALSE(m.Speichermodus());
    EXPECT_EQ(Senden("L1,x5"), (Antworten{nak, ack}));
    // ETX instead of a header: an empty program.
    ASSERT_EQ(Senden("*PW6"), Antworten{ack});
    EXPECT_EQ(m.Bytes_empfangen(std::string(1, M::ETX), t), Antworten{ack});
    ASSERT_TRUE(m.Programmplatz(6));
    EXPECT_TRUE(m.Programmplatz(6)->Befehle.empty());
}

} // namespace
} // namespace orvexa
