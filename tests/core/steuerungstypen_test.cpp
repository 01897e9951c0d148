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
        EXPECT_EQ(hat_Doming(m), m == 5 || m == 6) << m;
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

// Each fact of a row must fit the driver that carries it out; a fact on a type whose driver
// has no such operation would silently do nothing.
TEST(Steuerungstypen, JedeZeilePasstZuIhremTreiber) {
    auto folgt = [](bool wenn, bool dann) { return !wenn || dann; };
    for (const Steuerungstyp& t : Steuerungstypen()) {
        SCOPED_TRACE(t.Modul);
        const bool karte =
            t.Treiber == Treiberart::Phasenkarte || t.Treiber == Treiberart::TaktRichtKarte;
        const bool speicher = ist_speichernder_Treiber(t.Treiber);
        const bool linie = t.Treiber == Treiberart::SerielleLinie;
        EXPECT_EQ(karte, t.Verbindung == Verbindungsart::Parallelport);
        EXPECT_EQ(speicher || linie, t.Verbindung == Verbindungsart::Seriell);
        EXPECT_EQ(linie, t.Linientag != 0);
        EXPECT_EQ(hat_Festwertspeicher(t.Modul), t.Festwertspeicher);

        EXPECT_TRUE(folgt(t.Ansteuersignal != Signalquelle::keine, !karte));
        EXPECT_TRUE(folgt(t.ZBetrieb || t.UBetrieb || t.Festwertspeicher, speicher));
        EXPECT_TRUE(folgt(t.Ausgaenge == Ausgangsbereich::Ausgang_1_und_Stift, speicher));
        EXPECT_TRUE(folgt(t.U_Achse, !speicher));
        EXPECT_TRUE(folgt(t.I2C_Ausgaenge || t.Programmspeicher || t.Doming ||
                              t.Vollinit_Anfragen || t.Ungeoeffnet_bis_Verbinden,
                          linie));
        EXPECT_EQ(t.Kartenname != nullptr, t.Treiber == Treiberart::TaktRichtKarte);
        for (int32_t pin : t.Referenzschalterpins) {
            EXPECT_TRUE(karte || pin == 0);
            EXPECT_TRUE(pin == 0 || (pin >= 10 && pin <= 15)) << pin;
        }

        EXPECT_GE(t.Rueckgesetzte_Ausgaenge, 1);
        EXPECT_LE(t.Rueckgesetzte_Ausgaenge, 4);
        EXPECT_GE(t.Schaltausgaenge, 1);
        EXPECT_LE(t.Schaltausgaenge + (t.Torval_Schaltausgang ? 1 : 0), 4);

        // A preset only for an option the type offers.
        constexpr int32_t bleibt = Antriebsvorgaben::bleibt;
        EXPECT_EQ(t.Vorgaben.Schrittbetrieb != bleibt, t.Antriebswahl);
        EXPECT_EQ(t.Vorgaben.Ruhestrom != bleibt, t.Antriebswahl);
        EXPECT_TRUE(folgt(t.Vorgaben.ZBetrieb != bleibt, t.ZBetrieb));
        EXPECT_TRUE(folgt(t.Vorgaben.UBetrieb != bleibt, t.UBetrieb));
    }
    // Values outside the table have no driver and no ability.
    for (int32_t modul : {-1, 8, 9, 14}) {
        EXPECT_EQ(Typangaben(modul).Treiber, Treiberart::keiner);
        EXPECT_FALSE(Typangaben(modul).Ausgangstitel || Typangaben(modul).U_Achse);
    }
}
