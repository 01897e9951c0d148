#include "core/fehler.h"

#include "core/maschinenparameter.h"
#include "testhilfen.h"

using namespace orvexa;
using orvexa::test::Testumgebung;

namespace {

class FehlerTest : public Testumgebung {};

TEST(Fehlertexte, NamenUndSteuerungstexte) {
    EXPECT_EQ(Fehlerbericht(1012), "Exception [WAIT_TIMEOUT]");
    EXPECT_EQ(Fehlerbericht(2000), "Exception [THROW_ABORT]");
    EXPECT_EQ(Fehlerbericht(1020), "Exception [BEL]");
    EXPECT_EQ(Fehlerbericht(1001), "Exception [COM_PORT_ERROR]");
    EXPECT_EQ(Fehlerbericht(1017), "Exception [NOT_DEFINED]");
    // Codes without a name take the controller's text in brackets.
    EXPECT_EQ(Fehlerbericht(1021), "Exception [### unbekannter Befehl ###]");
    EXPECT_EQ(Fehlerbericht(1119), "Exception [### Encoder-Positions-Fehler ###]");
    EXPECT_EQ(Fehlerbericht(1004), "Exception [### default ###]");
    EXPECT_EQ(Fehlerbericht(-1), "Exception [### default ###]");
    EXPECT_EQ(Steuerungsfehlertext(1024), "### Speicherüberlauf ... ###");
    EXPECT_EQ(Steuerungsfehlertext(1018), "### default ###");
    EXPECT_EQ(Fehlername(1018), "");
}

TEST_F(FehlerTest, MeldungMitBoxUndProtokollzeile) {
    Fehler_melden(true, 1012, "Version_abfragen()");
    const auto m = ui.Meldungen();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Exception [WAIT_TIMEOUT]");
    EXPECT_EQ(m[0].titel, "Version_abfragen()");
    EXPECT_EQ(m[0].symbol, Symbol::warnung);
    EXPECT_EQ(m[0].knoepfe, Knoepfe::ok);
    EXPECT_EQ(Protokoll(),
              (std::vector<std::string>{"      Version_abfragen() :: Exception [WAIT_TIMEOUT]"}));
}

TEST_F(FehlerTest, AbbruchWirdNurProtokolliert) {
    Fehler_melden(true, 2000, "Vektorausgabe");
    Fehler_melden(false, 1006, "still");
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_EQ(Protokoll(),
              (std::vector<std::string>{"      Vektorausgabe :: Exception [THROW_ABORT]",
                                        "      still :: Exception [COMMUNICATION_ERROR]"}));
}

TEST_F(FehlerTest, UeberschriftAuf127ZeichenBegrenzt) {
    Fehler_melden(true, 1003, std::string(300, 'c'));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, std::string(127, 'c'));
}

TEST_F(FehlerTest, SteuerungsfehlerNurFuerSerielleTypen) {
    for (int modul : {0, 1, 2, 3, 4, 7, 8, 9, 14, -1}) {
        Parametersatz().Modul = modul;
        Steuerungsfehler_melden(1006, "x");
    }
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(Protokoll().empty());
    for (int modul : {5, 6, 10, 11, 12, 13}) {
        Parametersatz().Modul = modul;
        Steuerungsfehler_melden(1006, "x");
    }
    EXPECT_EQ(ui.Meldungen().size(), 6u);
    EXPECT_EQ(Protokoll().size(), 6u);
}

} // namespace
