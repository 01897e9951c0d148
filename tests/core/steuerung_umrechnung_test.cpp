#include "attrappen.h"

#include "core/maschinenparameter.h"
#include "core/steuerung.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

class Umrechnungstest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.xUebersetz = 1.0;
        p.yUebersetz = 3.0;
        p.zUebersetz = 2.5;
        p.uUebersetz = 0;
        p.xMotStep = 400;
        p.yMotStep = 400;
        p.zMotStep = 200;
        p.uMotStep = 0;
    }

    // The steps the link receives for a reference offset.
    std::string Offsetaufruf(char achse, double mm) {
        Steuerung_einrichten(5);
        Referenzoffset_einstellen(achse, mm);
        return Aufrufe().at(0);
    }
};

TEST_F(Umrechnungstest, SchritteInMm) {
    EXPECT_DOUBLE_EQ(Schritte_in_mm('x', 400), 1.0);
    EXPECT_DOUBLE_EQ(Schritte_in_mm('X', -200), -0.5);
    EXPECT_DOUBLE_EQ(Schritte_in_mm('z', 100), 1.25);
    EXPECT_DOUBLE_EQ(Schritte_in_mm('Y', 400), 3.0);
    EXPECT_EQ(Schritte_in_mm('u', 400), 0.0); // no motor steps
    EXPECT_EQ(Schritte_in_mm('q', 400), 0.0);
    EXPECT_EQ(Schritte_in_mm('\0', 400), 0.0);
}

TEST_F(Umrechnungstest, MmInSchritteSchneidetZurNullHinAb) {
    EXPECT_EQ(mm_in_Schritte('x', 1.0), 400);
    EXPECT_EQ(mm_in_Schritte('X', 0.0049), 1);   // 1.96
    EXPECT_EQ(mm_in_Schritte('x', -0.0049), -1); // -1.96
    EXPECT_EQ(mm_in_Schritte('y', 1.0), 133);    // 133.3
    EXPECT_EQ(mm_in_Schritte('Z', 2.5), 200);
    EXPECT_EQ(mm_in_Schritte('u', 1.0), 0); // gear ratio 0
    EXPECT_EQ(mm_in_Schritte('w', 1.0), 0);
}

TEST_F(Umrechnungstest, MmInSchritteOhneGleitkommaverlust) {
    // 0.29 * 400 is 115.99999999999999 in doubles.
    EXPECT_EQ(mm_in_Schritte('x', 0.29), 116);
    EXPECT_EQ(mm_in_Schritte('x', -0.29), -116);
    EXPECT_EQ(mm_in_Schritte('x', 1.13), 452);
}

TEST_F(Umrechnungstest, MmInSchritteBleibtImGanzzahlbereich) {
    constexpr int32_t gross = std::numeric_limits<int32_t>::max();
    constexpr int32_t klein = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(mm_in_Schritte('x', 1e12), gross);
    EXPECT_EQ(mm_in_Schritte('x', -1e12), klein);
    EXPECT_EQ(mm_in_Schritte('x', std::numeric_limits<double>::infinity()), gross);
    EXPECT_EQ(mm_in_Schritte('x', std::nan("")), 0);
    Parametersatz().xUebersetz = std::nan("");
    EXPECT_EQ(mm_in_Schritte('x', 1.0), 0);
    Parametersatz().xUebersetz = 1e-300;
    EXPECT_EQ(mm_in_Schritte('x', 1.0), gross);
}

TEST_F(Umrechnungstest, PositionInMm) {
    Steuerung_einrichten(6);
    Linie()->Position_vorgeben('y', 800);
    EXPECT_DOUBLE_EQ(Achsenposition_abfragen_in_mm('y'), 6.0);
    Steuerung_einrichten(9);
    EXPECT_EQ(Achsenposition_abfragen_in_mm('y'), 0.0);
}

TEST_F(Umrechnungstest, ReferenzoffsetRundetAuf) {
    EXPECT_EQ(Offsetaufruf('x', 0.25), "Linie.Referenzoffset_einstellen(x, 100)");
    EXPECT_EQ(Offsetaufruf('y', 0.25), "Linie.Referenzoffset_einstellen(y, 34)");
    // 0.07 / 1.0 * 400 is 28.000000000000004 in doubles: still 28 steps.
    EXPECT_EQ(Offsetaufruf('x', 0.07), "Linie.Referenzoffset_einstellen(x, 28)");
    EXPECT_EQ(Offsetaufruf('y', -0.25), "Linie.Referenzoffset_einstellen(y, -33)");
    EXPECT_EQ(Offsetaufruf('u', 0.25), "Linie.Referenzoffset_einstellen(u, 0)");
    EXPECT_EQ(Offsetaufruf('q', 0.25), "Linie.Referenzoffset_einstellen(q, 0)");
    EXPECT_EQ(Offsetaufruf('x', 1e30), "Linie.Referenzoffset_einstellen(x, 2147483647)");
    EXPECT_EQ(Offsetaufruf('x', std::nan("")), "Linie.Referenzoffset_einstellen(x, 0)");
}

TEST_F(Umrechnungstest, ReferenzoffsetProtokolliertDieKuerzesteDezimalform) {
    const std::vector<std::pair<double, std::string>> faelle{
        {0.25, "0.25"}, {1.0, "1"},      {0.1, "0.1"},
        {-2.5, "-2.5"}, {1e-7, "1e-07"}, {123456.0, "123456"},
    };
    // A locale with a decimal comma must not change the log.
    const bool komma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    for (const auto& [mm, text] : faelle) {
        Steuerung_einrichten(8);
        const std::size_t vorher = Protokoll().size();
        Referenzoffset_einstellen('z', mm);
        EXPECT_EQ(Protokoll().at(vorher), "    Referenzoffset_einstellen(z, " + text + ")");
    }
    if (komma) std::setlocale(LC_NUMERIC, "C");
}

} // namespace
} // namespace orvexa::test
