#include "dispensing/spuelung.h"

#include "attrappen.h"
#include "core/fehler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;

class SpuelungTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Steuerung_einrichten(5);
    }
    Spuelung spuelung;
};

TEST_F(SpuelungTest, SchaltetAusgang3UmUndSagtEsInFeld5) {
    EXPECT_FALSE(spuelung.An());
    EXPECT_EQ(spuelung.Umschalten(), "A3::ON");
    EXPECT_TRUE(spuelung.An());
    EXPECT_EQ(spuelung.Umschalten(), "A3::OFF");
    EXPECT_FALSE(spuelung.An());
    EXPECT_THAT(Aufrufe(), ElementsAre("Linie.Ausgangssignal_setzen(3, 1)",
                                       "Linie.Ausgangssignal_setzen(3, 0)"));
}

TEST_F(SpuelungTest, FehlerLaesstDenZustandUndMeldet) {
    Linie()->Fehler_vorgeben("Ausgangssignal_setzen", NAK_ERROR);
    EXPECT_EQ(spuelung.Umschalten(), "A3::???");
    EXPECT_FALSE(spuelung.An());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "SpuelungBitBtnClick()");
    EXPECT_EQ(spuelung.Umschalten(), "A3::ON"); // the next press tries again
}

} // namespace
} // namespace orvexa::test
