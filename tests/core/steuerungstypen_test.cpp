#include "core/steuerungstypen.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvexa;

TEST(Steuerungstypen, TabelleInDerReihenfolgeDerKnoepfe) {
    const auto typen = Steuerungstypen();
    ASSERT_EQ(typen.size(), 12u);
    const int erwartet[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13};
    for (size_t i = 0; i < typen.size(); ++i)
        EXPECT_EQ(typen[i].Modul, erwartet[i]);

    const auto* t12 = Steuerungstyp_zu(12);
    ASSERT_NE(t12, nullptr);
    EXPECT_EQ(std::string(t12->Radiotext), "  Takt/Richtung  *)");
    EXPECT_EQ(std::string(t12->Dialogtitel), "USB-IO-Takt/Richtung - Parameter");
    EXPECT_EQ(std::string(t12->Anzeigename), "USB-IO-TAKT/RICHT");
    EXPECT_EQ(std::string(Steuerungstyp_zu(0)->Anzeigename), "Schrittmotorsteuerkarte KX400/750");
    EXPECT_EQ(std::string(Steuerungstyp_zu(0)->Dialogtitel), "KX400 / KX750 - Parameter");
    EXPECT_EQ(std::string(Steuerungstyp_zu(4)->Radiotext), "  Takt / Richtung");
}

TEST(Steuerungstypen, ArtenUndLinientags) {
    for (int m = -2; m <= 15; ++m) {
        const bool seriell = m == 5 || m == 6 || (m >= 10 && m <= 13);
        const bool parallel = m == 0 || m == 1 || m == 4 || m == 7;
        EXPECT_EQ(ist_serieller_Typ(m), seriell) << m;
        EXPECT_EQ(ist_paralleler_Typ(m), parallel) << m;
        EXPECT_EQ(ist_speichernder_Typ(m), m == 2 || m == 3) << m;
        EXPECT_EQ(Steuerungstyp_zu(m) == nullptr, m < 0 || m == 8 || m == 9 || m > 13) << m;
    }
    EXPECT_EQ(Steuerungstyp_zu(5)->Linientag, 2);
    EXPECT_EQ(Steuerungstyp_zu(6)->Linientag, 3);
    for (int m = 10; m <= 13; ++m)
        EXPECT_EQ(Steuerungstyp_zu(m)->Linientag, 4);
    EXPECT_EQ(Steuerungstyp_zu(1)->Treiber, Treiberart::TaktRichtKarte);
    EXPECT_EQ(Steuerungstyp_zu(7)->Treiber, Treiberart::TaktRichtKarte);
    EXPECT_EQ(Steuerungstyp_zu(0)->Treiber, Treiberart::Phasenkarte);
}
