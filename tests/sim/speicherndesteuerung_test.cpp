// The simulated program-storing controllers: what they accept and refuse, the queue started
// by SOH, the KXCU's fixed memory. The model is fed bytes with made-up times; no clock runs.

#include "speichermodell.h"
#include "speicherndesteuerung.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace orvexa {
namespace {

using Zeilen_t = std::vector<std::string>;
const std::string CR = "\r";
const std::string ETX = "\x03\r";
const std::string STX = "\x02\r";
constexpr int64_t Sekunde = 1'000'000'000;

TEST(Speichermodell, NimmtAnWasDerTypKenntUndLehntDenRestAb) {
    struct Fall {
        int32_t modul;
        std::string anfrage, antwort;
    };
    const std::vector<Fall> faelle{
        {2, "T1\r", CR},
        {3, "T1\r", "E1\r"},
        {2, "T2\r", "E6\r"},
        {2, "Z2\r", CR},
        {2, "F0\r", CR},
        {3, "U1\r", CR},
        {2, "U1\r", "E1\r"},
        {3, "&V1\r", CR},
        {2, "&V1\r", "E1\r"},
        {3, "&E1,1\r", "E1\r"},
        {2, "#S5000\r", CR},
        {2, "#S5001\r", "E6\r"},
        {3, "#R60000\r", CR},
        {3, "#R60001\r", "E6\r"},
        {2, "#E99,5000\r", CR},
        {3, "#E11,100\r", "E6\r"},
        {3, "#E10,5001\r", "E6\r"},
        {2, "#Dx,0,9,9,9\r", CR},
        {2, "#Dx,0,9,9\r", "E6\r"},
        {3, "#Dx,0,9,9,9\r", "E1\r"},
        {2, "#Oy, -30\r", CR},
        {2, "#Oq, 1\r", "E6\r"},
        {2, "A1\r", CR},
        {2, "A1,1\r", "E6\r"},
        {3, "A4,1\r", CR},
        {3, "A5,1\r", "E6\r"},
        {2, "W32000\r", CR},
        {2, "W32001\r", "E6\r"},
        {2, "L99,x5,Y-3,z0\r", CR},
        {2, "L1,u5\r", "E6\r"},
        {3, "L10,u5\r", CR},
        {3, "L11,x5\r", "E6\r"},
        {2, "L1,x5,x6\r", "E6\r"},
        {2, "L1,x\r", "E6\r"},
        {2, "$Hzxy\r", CR},
        {2, "$Hu\r", "E6\r"},
        {3, "$Hu\r", CR},
        {2, "Q\r", "E1\r"},
        {2, "\r", CR},
        {2, "@F\r", "E1\r"},
        {3, "@F\r", CR},
        {3, "@Lq\r", "E6\r"},
        {2, "@X\r", "E1\r"},
        {2, std::string(32, '1') + "\r", "E8\r"},
    };
    for (const auto& f : faelle) {
        Speichermodell m(f.modul);
        EXPECT_EQ(m.Bytes_empfangen(f.anfrage, 0), Zeilen_t{f.antwort})
            << f.modul << " " << f.anfrage;
        EXPECT_EQ(m.Abgelehnt().size(), f.antwort[0] == 'E' ? 1u : 0u) << f.anfrage;
        EXPECT_EQ(m.Anfragen(), Zeilen_t{f.anfrage});
    }
}

TEST(Speichermodell, WarteschlangeLaeuftMitSohUndBrauchtZeit) {
    Speichermodell m(2);
    m.Zeitskala_setzen(1);
    m.Bytes_empfangen("#S0\r#R0\r#E1,1000\r", 0);
    EXPECT_EQ(m.Bytes_empfangen("L1,x1000\rW500\r", 0), (Zeilen_t{CR, CR}));
    EXPECT_FALSE(m.Laeuft());
    // A setting behind queued moves waits for its turn.
    m.Bytes_empfangen("#E1,2000\rL1,x-1000\r", 0);
    EXPECT_EQ(m.Einstellungswerte().Geschwindigkeit[1], 1000);

    EXPECT_EQ(m.Bytes_empfangen("\x01", 0), Zeilen_t{ETX});
    EXPECT_TRUE(m.Laeuft());
    EXPECT_EQ(m.Naechstes_Ereignis(), Sekunde);
    EXPECT_EQ(m.Position('x', Sekunde / 2), 500);
    // @L is answered while the queue runs.
    EXPECT_EQ(m.Bytes_empfangen("@Lx\r", Sekunde / 4), Zeilen_t{"@Lx 250\r"});
    EXPECT_THAT(m.Zeit_fortschreiten(Sekunde), ::testing::IsEmpty());
    EXPECT_EQ(m.Naechstes_Ereignis(), Sekunde + Sekunde / 2); // the dwell
    EXPECT_THAT(m.Zeit_fortschreiten(Sekunde + Sekunde / 2), ::testing::IsEmpty());
    EXPECT_EQ(m.Einstellungswerte().Geschwindigkeit[1], 2000);
    EXPECT_EQ(m.Zeit_fortschreiten(2 * Sekunde), Zeilen_t{STX});
    EXPECT_EQ(m.Position('x', 2 * Sekunde), 0);
    EXPECT_FALSE(m.Laeuft());
    // Nothing queued: idle at once.
    EXPECT_EQ(m.Bytes_empfangen("\x01", 3 * Sekunde), Zeilen_t{STX});
}

TEST(Speichermodell, AnhaltenBleibtStehenOhneStx) {
    for (const std::string stopp : {"@B", "@S"}) {
        Speichermodell m(3);
        m.Zeitskala_setzen(1);
        m.Bytes_empfangen("#S0\r#R0\r#E1,1000\rL1,y1000\r", 0);
        EXPECT_EQ(m.Bytes_empfangen("L1,y1000\x01", 0), Zeilen_t{ETX});
        EXPECT_EQ(m.Bytes_empfangen(stopp + "\r", Sekunde / 2), Zeilen_t{stopp + "\r"});
        EXPECT_FALSE(m.Laeuft());
        EXPECT_THAT(m.Zeit_fortschreiten(5 * Sekunde), ::testing::IsEmpty());
        EXPECT_EQ(m.Position('y', 5 * Sekunde), 500);
    }
}

TEST(Speichermodell, FestwertspeicherNimmtAufBisErVollIst) {
    Speichermodell m(3);
    m.Festwertspeicher_setzen(20);
    m.Bytes_empfangen("#E1,1000\r", 0);
    EXPECT_EQ(m.Bytes_empfangen("@F\r", 0), Zeilen_t{CR});
    EXPECT_EQ(m.Bytes_empfangen("L1,x10\rQ\rW5\r", 0), (Zeilen_t{CR, "E1\r", CR}));
    EXPECT_TRUE(m.Aufzeichnung());
    EXPECT_EQ(m.Position('x', 0), 0); // stored, not run
    EXPECT_EQ(m.Bytes_empfangen("\x01", 0), Zeilen_t{CR});
    EXPECT_EQ(m.Festprogramm(), (Zeilen_t{"L1,x10", "W5"}));
    EXPECT_EQ(m.Festwertspeicher_belegt(), 10u);

    std::vector<std::string> aus;
    ASSERT_TRUE(m.Festprogramm_starten(0, aus));
    EXPECT_EQ(aus, (Zeilen_t{ETX, STX}));
    EXPECT_EQ(m.Position('x', 0), 10);

    // A recording that does not fit: ETX for it and everything after, nothing kept.
    m.Bytes_empfangen("@F\r", 0);
    EXPECT_EQ(m.Bytes_empfangen("L1,x1000\rL1,x2000\rL1,x3000\rW1\r", 0),
              (Zeilen_t{CR, CR, ETX, ETX}));
    EXPECT_EQ(m.Bytes_empfangen("\x01", 0), Zeilen_t{"E4\r"});
    EXPECT_THAT(m.Festprogramm(), ::testing::IsEmpty());
    aus.clear();
    EXPECT_FALSE(m.Festprogramm_starten(0, aus));

    // @E erases and ends a recording.
    m.Bytes_empfangen("@F\rW1\r\x01", 0);
    EXPECT_EQ(m.Festprogramm(), Zeilen_t{"W1"});
    EXPECT_EQ(m.Bytes_empfangen("@F\rW2\r@E\r", 0), (Zeilen_t{CR, CR, CR}));
    EXPECT_FALSE(m.Aufzeichnung());
    EXPECT_THAT(m.Festprogramm(), ::testing::IsEmpty());
}

TEST(Speichermodell, OhneGeschwindigkeitWirdDieFahrtUebergangen) {
    Speichermodell m(2);
    EXPECT_EQ(m.Bytes_empfangen("L5,x10\x01", 0), (Zeilen_t{ETX, STX}));
    EXPECT_EQ(m.Abgelehnt(), Zeilen_t{"L5,x10"});
    EXPECT_EQ(m.Position('x', 0), 0);
}

// The pty side: what goes in is recorded whatever the faults do to the answers.
TEST(SpeicherndeSteuerung, AntwortetAufDemPseudoterminal) {
    SpeicherndeSteuerung::Optionen o;
    o.Modul = 3;
    SpeicherndeSteuerung sim(o);
    const int fd = ::open(sim.Geraetepfad().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const auto austausch = [&](const std::string& anfrage, std::size_t erwartet) {
        const std::size_t vorher = sim.Anfragen().size();
        EXPECT_EQ(::write(fd, anfrage.data(), anfrage.size()),
                  static_cast<ssize_t>(anfrage.size()));
        EXPECT_TRUE(sim.Warten_auf_Anfragen(vorher + 1, 5000));
        std::string antwort;
        char c = 0;
        while (antwort.size() < erwartet && ::read(fd, &c, 1) == 1)
            antwort += c;
        return antwort;
    };
    EXPECT_EQ(austausch("@V\r", 21), "@V KX900i KXCU V3.04\r");
    sim.Naechste_Antwort_abschneiden(3);
    sim.Muell_senden(true, "?\r");
    EXPECT_EQ(austausch("@V\r", 2), "?\r");
    sim.Muell_senden(false);
    EXPECT_EQ(austausch("@Lu\r", 6), "@Lu 0\r");
    sim.Stumm_schalten(true);
    const std::size_t vorher = sim.Anfragen().size();
    ASSERT_EQ(::write(fd, "U1\r", 3), 3);
    EXPECT_TRUE(sim.Warten_auf_Anfragen(vorher + 1, 5000));
    EXPECT_EQ(sim.Anfragen().back(), "U1\r");
    sim.Ausstecken();
    ::close(fd);
    EXPECT_EQ(sim.Einstellungen().UBetrieb, 0); // silent: recorded, not carried out
}

// Late answers leave in order; plugged in again, the unit keeps its state and has lost what it
// was about to send.
TEST(SpeicherndeSteuerung, VerspaetetInReihenfolgeUndWiederEingesteckt) {
    SpeicherndeSteuerung::Optionen o;
    o.Modul = 3;
    SpeicherndeSteuerung sim(o);
    const auto oeffnen = [](const std::string& pfad) {
        return ::open(pfad.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    };
    const auto lesen = [](int fd, std::size_t n) {
        std::string antwort;
        char c = 0;
        while (antwort.size() < n && ::read(fd, &c, 1) == 1)
            antwort += c;
        return antwort;
    };
    int fd = oeffnen(sim.Geraetepfad());
    ASSERT_GE(fd, 0);
    sim.Antwortverzoegerung_setzen(50);
    ASSERT_EQ(::write(fd, "#S450\r", 6), 6);
    ASSERT_TRUE(sim.Warten_auf_Anfragen(1, 5000));
    sim.Antwortverzoegerung_setzen(0);
    ASSERT_EQ(::write(fd, "@Lx\r", 4), 4);
    EXPECT_EQ(lesen(fd, 7), "\r@Lx 0\r"); // the second waited behind the first

    sim.Antwortverzoegerung_setzen(60'000);
    ASSERT_EQ(::write(fd, "@V\r", 3), 3);
    ASSERT_TRUE(sim.Warten_auf_Anfragen(3, 5000));
    sim.Ausstecken();
    ::close(fd);
    ASSERT_TRUE(sim.Einstecken());
    sim.Antwortverzoegerung_setzen(0);
    fd = oeffnen(sim.Geraetepfad());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "@Ly\r", 4), 4);
    EXPECT_EQ(lesen(fd, 6), "@Ly 0\r"); // not the identification held back before
    EXPECT_EQ(sim.Einstellungen().Startfreq, 450);
    EXPECT_EQ(sim.Anfragenzahl(), 4u);
    ::close(fd);
}

} // namespace
} // namespace orvexa
