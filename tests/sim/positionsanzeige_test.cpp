// The simulated position display: the table behind it (play, gear, fixed error) and its
// answers on a pseudo-terminal, with the faults it can be told to make.

#include "angle/wt_nd261dm.h"
#include "positionsanzeige.h"
#include "speichermodell.h"

#include <gmock/gmock.h>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace orvexa {
namespace {

Anzeigemodell::Optionen Ideal() {
    Anzeigemodell::Optionen o;
    o.Getriebefehler = 0;
    o.Umkehrspiel = 0;
    o.Nullfehler = 0;
    return o;
}

TEST(Anzeigemodell, SpielLaesstDenTischBeimUmkehrenZurueck) {
    Anzeigemodell::Optionen o = Ideal();
    o.Umkehrspiel = 4;
    Anzeigemodell m(o);
    EXPECT_DOUBLE_EQ(m.Winkel(2000), 10.0);   // the first reading: no play taken up yet
    EXPECT_DOUBLE_EQ(m.Winkel(2100), 10.49);  // up: the table lags 2 steps
    EXPECT_DOUBLE_EQ(m.Winkel(2099), 10.49);  // within the play: the table stands
    EXPECT_DOUBLE_EQ(m.Winkel(2096), 10.49);  // the whole play taken up, not yet moved
    EXPECT_DOUBLE_EQ(m.Winkel(2095), 10.485); // down: it lags 2 steps on the other side
    EXPECT_DOUBLE_EQ(m.Winkel(2001), 10.015);
}

TEST(Anzeigemodell, GetriebeUndNullfehlerLiegenNebenDemSchrittraster) {
    Anzeigemodell::Optionen o = Ideal();
    o.Getriebefehler = 0.003;
    o.Nullfehler = 0.001;
    Anzeigemodell m(o);
    EXPECT_NEAR(m.Winkel(2006), 2006 / 200.6 + 0.001, 1e-12);
    // One step on the table is a little less than 1/200 degree.
    const double schritt = m.Winkel(2007) - m.Winkel(2006);
    EXPECT_LT(schritt, 1.0 / 200);
    EXPECT_GT(schritt, 0.99 / 200);
}

TEST(Anzeigemodell, AntwortWieDieAnzeigeSieSchickt) {
    EXPECT_EQ(Anzeigemodell::Antwort(10.4806), "+    10.481\r\n");
    EXPECT_EQ(Anzeigemodell::Antwort(-12.5), "-    12.500\r\n");
    EXPECT_EQ(Anzeigemodell::Antwort(1e9), "+999999.999\r\n");
    // The link reads what the display sends.
    ND261_Antwortsammler s;
    for (const char c : Anzeigemodell::Antwort(-12.5))
        s.Byte(static_cast<uint8_t>(c));
    EXPECT_EQ(ND261_Antwort_lesen(s.Abschliessen(true)), -12.5);
}

// The program's side of the display's pseudo-terminal.
class Gegenseite {
public:
    explicit Gegenseite(const std::string& pfad) : m_fd(::open(pfad.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Gegenseite() { ::close(m_fd); }
    bool Offen() const { return m_fd >= 0; }
    void Senden(const std::string& bytes) {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What comes until n bytes are there or nothing came for ms.
    std::string Empfangen(std::size_t n, int ms = 2000) {
        std::string da;
        while (da.size() < n) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0) break;
            char puffer[64];
            const ssize_t k = ::read(m_fd, puffer, sizeof puffer);
            if (k <= 0) break;
            da.append(puffer, static_cast<std::size_t>(k));
        }
        return da;
    }

private:
    int m_fd;
};

TEST(Positionsanzeige, BeantwortetJedesStxMitDemWinkelDerAchse) {
    std::atomic<int32_t> schritte{2000};
    Positionsanzeige::Optionen o;
    o.Modell = Ideal();
    o.Schritte = [&] { return schritte.load(); };
    Positionsanzeige anzeige(o);
    Gegenseite seite(anzeige.Geraetepfad());
    ASSERT_TRUE(seite.Offen());

    seite.Senden("x\x02");
    EXPECT_EQ(seite.Empfangen(13), "+    10.000\r\n");
    schritte = -100;
    seite.Senden("\x02");
    EXPECT_EQ(seite.Empfangen(13), "-     0.500\r\n");
    EXPECT_EQ(anzeige.Anfragen(), 2u);
}

TEST(Positionsanzeige, Fehler) {
    Positionsanzeige anzeige(Positionsanzeige::Optionen{Ideal(), {}});
    Gegenseite seite(anzeige.Geraetepfad());
    anzeige.Naechste_Antwort_abschneiden(4);
    seite.Senden("\x02");
    EXPECT_EQ(seite.Empfangen(13, 200), "+   ");
    anzeige.Muell_senden(true, "?!\r\n");
    seite.Senden("\x02");
    EXPECT_EQ(seite.Empfangen(4), "?!\r\n");
    anzeige.Muell_senden(false);
    anzeige.Stumm_schalten(true);
    seite.Senden("\x02");
    ASSERT_TRUE(anzeige.Warten_auf_Anfragen(3, 2000));
    anzeige.Stumm_schalten(false);
    seite.Senden("\x02");
    // Only the answer to the fourth request comes: the third stayed unanswered.
    EXPECT_EQ(seite.Empfangen(13), "+     0.000\r\n");
}

TEST(Speichermodell, VorgegebeneGeschwindigkeitenLassenBewegungenZu) {
    Speichermodell m(3);
    m.Bytes_empfangen("L1,x100\x01", 0);
    EXPECT_EQ(m.Position('x', 0), 0); // no speed: skipped
    m.Geschwindigkeiten_vorgeben(400, 2000);
    m.Bytes_empfangen("L1,x100\x01", 0);
    m.Zeit_fortschreiten(0);
    EXPECT_EQ(m.Position('x', 0), 100);
}

} // namespace
} // namespace orvexa
