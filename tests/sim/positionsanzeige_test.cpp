// The simulated position display's table (play, gear, fixed error) and answer bytes; its
// pseudo-terminal and faults are exercised by the display link's tests.

#include "angle/wt_nd261dm.h"
#include "positionsanzeige.h"
#include "speichermodell.h"

#include <gmock/gmock.h>

#include <string>

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
