#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "tables/ansichtseinstellungen.h"
#include "tables/pfadmodell.h"
#include "tables/tabelle.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

namespace orvexa::test {
namespace {

using Zellen = std::vector<std::pair<int, std::string>>;

struct Ecke {
    double x, y;
    int zeile;
};
struct Marke {
    double x, y;
    int zeile;
    Markenart art;
};

struct Fall {
    const char* name;
    bool schritte;
    bool winkel;
    std::vector<Zellen> zeilen;
    std::vector<Ecke> ecken;
    std::vector<Marke> marken;
};

class Pfadmodelltest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        // x: 100 steps per millimetre; y: 200 steps per 3 mm, so millimetres are cut to steps.
        Maschinenparameter& p = Parametersatz();
        p.xUebersetz = 4;
        p.xMotStep = 400;
        p.yUebersetz = 3;
        p.yMotStep = 200;
        p.zUebersetz = p.uUebersetz = 1;
        p.zMotStep = p.uMotStep = 100;
    }

    void Tabelle(const std::vector<Zellen>& zeilen) {
        t.TabelleLoeschen();
        while (t.Zeilenzahl() > 1) {
            t.AktZeile = 1;
            t.ZeileLoeschen();
        }
        t.ZeileHinzufuegen(static_cast<int>(zeilen.size()) - 1);
        for (std::size_t r = 0; r < zeilen.size(); ++r)
            for (const auto& [spalte, text] : zeilen[r])
                ASSERT_TRUE(t.Zelle_setzen(static_cast<int>(r + 1), spalte, text)) << text;
    }

    // The incremental path must be the one a whole computation gives.
    void Wie_neu_berechnet(const Pfadmodell& pfad) {
        Pfadmodell neu;
        neu.Berechnen(t);
        ASSERT_EQ(pfad.Punkte().size(), neu.Punkte().size());
        for (std::size_t i = 0; i < neu.Punkte().size(); ++i) {
            EXPECT_DOUBLE_EQ(pfad.Punkte()[i].x, neu.Punkte()[i].x) << i;
            EXPECT_DOUBLE_EQ(pfad.Punkte()[i].y, neu.Punkte()[i].y) << i;
            EXPECT_EQ(pfad.Punkte()[i].zeile, neu.Punkte()[i].zeile) << i;
        }
        ASSERT_EQ(pfad.Marken().size(), neu.Marken().size());
        for (std::size_t i = 0; i < neu.Marken().size(); ++i) {
            EXPECT_DOUBLE_EQ(pfad.Marken()[i].x, neu.Marken()[i].x) << i;
            EXPECT_EQ(pfad.Marken()[i].art, neu.Marken()[i].art) << i;
        }
        for (int r = 0; r <= t.Zeilenzahl(); ++r) {
            Pfadpunkt a, b;
            ASSERT_EQ(pfad.Ort_nach(r, a), neu.Ort_nach(r, b)) << r;
            EXPECT_DOUBLE_EQ(a.x, b.x) << r;
            EXPECT_DOUBLE_EQ(a.y, b.y) << r;
        }
    }

    Positionstabelle t;
};

TEST_F(Pfadmodelltest, JeEinheitUndModusDerWegDerMaschine) {
    const std::vector<Fall> faelle = {
        {"Millimeter auf ganze Schritte",
         false,
         false,
         {{{6, "10"}, {7, "1.239"}}, {{6, "-2,5"}}},
         // 1.239 mm are 82 whole steps of y (82.6), which are 1.23 mm.
         {{0, 0, 0}, {10, 1.23, 1}, {7.5, 1.23, 2}},
         {}},
        {"Schritte, WH wiederholt die Zeile, ein negatives WH zählt nicht",
         true,
         false,
         {{{6, "100"}, {7, "-50"}, {14, "2"}}, {{7, "10"}, {14, "-3"}}, {{6, "abc"}}},
         {{0, 0, 0}, {300, -150, 1}, {300, -140, 2}},
         {}},
        {"z allein bewegt nichts in x/y; mit x/y eine Marke je Ausführung",
         true,
         false,
         {{{8, "-5"}}, {{6, "10"}, {8, "5"}, {14, "1"}}},
         {{0, 0, 0}, {20, 0, 2}},
         {{0, 0, 1, Markenart::z_minus},
          {10, 0, 2, Markenart::z_plus},
          {20, 0, 2, Markenart::z_plus}}},
        {"Ausgänge am Anfang der Zeile; alle vier Spalten schalten",
         true,
         false,
         {{{3, "ON"}, {2, "OFF"}, {6, "5"}}, {{5, "OFF"}, {7, "5"}}, {{1, "ON"}, {6, "1"}}},
         {{0, 0, 0}, {5, 0, 1}, {5, 5, 2}, {6, 5, 3}},
         {{0, 0, 1, Markenart::ausgang_ein}, {5, 0, 2, Markenart::ausgang_aus}}},
        {"/WT: Zielwinkel über 0 gegen die Anfahrten, y bis u zählen nicht",
         false,
         true,
         {{{6, "30"}, {7, "99"}}, {{6, "0"}}, {{6, "-"}, {2, "ON"}}, {{6, "45.5"}, {14, "2"}}},
         {{30, -1, 1}, {45.5, -2, 4}, {45.5, -4, 4}},
         {{30, -1, 3, Markenart::ausgang_ein}}},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        t.Schritteingabe = f.schritte;
        t.Modus.Winkel = f.winkel;
        Tabelle(f.zeilen);
        Pfadmodell pfad;
        pfad.Berechnen(t);
        EXPECT_EQ(pfad.Einheit(), f.winkel     ? Pfadeinheit::Grad
                                  : f.schritte ? Pfadeinheit::Schritte
                                               : Pfadeinheit::Millimeter);
        ASSERT_EQ(pfad.Punkte().size(), f.ecken.size());
        for (std::size_t i = 0; i < f.ecken.size(); ++i) {
            EXPECT_NEAR(pfad.Punkte()[i].x, f.ecken[i].x, 1e-9) << i;
            EXPECT_NEAR(pfad.Punkte()[i].y, f.ecken[i].y, 1e-9) << i;
            EXPECT_EQ(pfad.Punkte()[i].zeile, f.ecken[i].zeile) << i;
        }
        ASSERT_EQ(pfad.Marken().size(), f.marken.size());
        for (std::size_t i = 0; i < f.marken.size(); ++i) {
            EXPECT_NEAR(pfad.Marken()[i].x, f.marken[i].x, 1e-9) << i;
            EXPECT_NEAR(pfad.Marken()[i].y, f.marken[i].y, 1e-9) << i;
            EXPECT_EQ(pfad.Marken()[i].zeile, f.marken[i].zeile) << i;
            EXPECT_EQ(pfad.Marken()[i].art, f.marken[i].art) << i;
        }
        // Where the machine stands after the last row is the path's last corner.
        Pfadpunkt ende;
        ASSERT_TRUE(pfad.Ort_nach(t.Zeilenzahl(), ende));
        EXPECT_DOUBLE_EQ(ende.x, f.ecken.back().x);
    }
}

TEST_F(Pfadmodelltest, ZeilenbereichUndOrtJeZeile) {
    t.Schritteingabe = true;
    Tabelle({{{6, "10"}}, {{8, "3"}}, {{7, "4"}}});
    Pfadmodell pfad;
    pfad.Berechnen(t);
    // Row 2 moves only z: no corner of its own, it stands where row 1 ended.
    EXPECT_EQ(pfad.Punkte_der_Zeile(1).anfang, 1u);
    EXPECT_EQ(pfad.Punkte_der_Zeile(1).ende, 2u);
    EXPECT_EQ(pfad.Punkte_der_Zeile(2).anfang, pfad.Punkte_der_Zeile(2).ende);
    Pfadpunkt ort;
    ASSERT_TRUE(pfad.Ort_nach(2, ort));
    EXPECT_EQ(ort.x, 10);
    EXPECT_EQ(ort.y, 0);
    ASSERT_TRUE(pfad.Ort_nach(0, ort));
    EXPECT_EQ(ort.x, 0);
    EXPECT_FALSE(pfad.Ort_nach(4, ort));
    EXPECT_EQ(pfad.Punkte_der_Zeile(9).ende, 0u);
    const Pfadrahmen r = pfad.Rahmen();
    EXPECT_EQ(r.links, 0);
    EXPECT_EQ(r.rechts, 10);
    EXPECT_EQ(r.oben, 4);

    // The angle mode has no place before its first approach.
    t.Modus.Winkel = true;
    Tabelle({{{6, "-"}}, {{6, "90"}}});
    pfad.Berechnen(t);
    EXPECT_FALSE(pfad.Ort_nach(1, ort));
    ASSERT_TRUE(pfad.Ort_nach(2, ort));
    EXPECT_EQ(ort.x, 90);
}

TEST_F(Pfadmodelltest, AenderungenStueckweiseWieNeuBerechnet) {
    for (const bool winkel : {false, true}) {
        SCOPED_TRACE(winkel ? "Grad" : "Millimeter");
        t.Modus.Winkel = winkel;
        t.Schritteingabe = false;
        std::vector<Zellen> zeilen;
        for (int r = 1; r <= 40; ++r)
            zeilen.push_back({{6, std::to_string(r % 7) + ".3"},
                              {7, std::to_string(-(r % 5))},
                              {8, r % 4 == 0 ? "-1" : "-"},
                              {2, r % 6 == 0 ? "ON" : "-"},
                              {14, std::to_string(r % 3)}});
        Tabelle(zeilen);
        Pfadmodell pfad;
        pfad.Berechnen(t);

        ASSERT_TRUE(t.Zelle_setzen(5, 6, "12.75"));
        EXPECT_TRUE(pfad.Zeilen_geaendert(t, 5, 5));
        Wie_neu_berechnet(pfad);
        ASSERT_TRUE(t.Zelle_setzen(1, 14, "4"));
        ASSERT_TRUE(t.Zelle_setzen(40, 8, "2"));
        EXPECT_TRUE(pfad.Zeilen_geaendert(t, 1, 40));
        Wie_neu_berechnet(pfad);
        // A wait or a speed is no move: the path stays.
        ASSERT_TRUE(t.Zelle_setzen(7, 10, "500"));
        EXPECT_FALSE(pfad.Zeilen_geaendert(t, 7, 7));

        t.AktZeile = 3;
        t.ZeileEinfuegen();
        ASSERT_TRUE(t.Zelle_setzen(3, 6, "9"));
        pfad.Zeilen_eingefuegt(t, 3, 1);
        Wie_neu_berechnet(pfad);
        t.ZeileHinzufuegen(2);
        ASSERT_TRUE(t.Zelle_setzen(t.Zeilenzahl(), 6, "1"));
        pfad.Zeilen_eingefuegt(t, t.Zeilenzahl() - 1, 2);
        Wie_neu_berechnet(pfad);
        t.AktZeile = 1;
        t.ZeileLoeschen();
        pfad.Zeilen_entfernt(t, 1, 1);
        Wie_neu_berechnet(pfad);
        // A report that does not fit the table reads it whole.
        pfad.Zeilen_entfernt(t, 1, 5);
        Wie_neu_berechnet(pfad);
    }
}

TEST_F(Pfadmodelltest, EinheitUndParameterWechselRechnenAllesNeu) {
    Tabelle({{{6, "10"}}});
    Pfadmodell pfad;
    pfad.Berechnen(t);
    ASSERT_DOUBLE_EQ(pfad.Punkte().back().x, 10);

    Parametersatz().xUebersetz = 3; // 400 steps per 3 mm: 1333 steps, 9.9975 mm
    EXPECT_TRUE(pfad.Zeilen_geaendert(t, 1, 0));
    EXPECT_DOUBLE_EQ(pfad.Punkte().back().x, 1333 * 3.0 / 400);

    t.Schritteingabe = true;
    t.TabelleUmwandeln();
    EXPECT_TRUE(pfad.Zeilen_geaendert(t, 1, 0));
    EXPECT_EQ(pfad.Einheit(), Pfadeinheit::Schritte);
    EXPECT_DOUBLE_EQ(pfad.Punkte().back().x, 1333);
}

TEST_F(Pfadmodelltest, RiesigesWHBleibtEineEckeUndWenigeMarken) {
    t.Schritteingabe = true;
    Tabelle({{{6, "1"}, {7, "2"}, {8, "-1"}, {14, "2000000000"}}});
    Pfadmodell pfad;
    pfad.Berechnen(t);
    ASSERT_EQ(pfad.Punkte().size(), 2u);
    EXPECT_DOUBLE_EQ(pfad.Punkte().back().x, 2000000001.0);
    EXPECT_DOUBLE_EQ(pfad.Punkte().back().y, 4000000002.0);
    EXPECT_EQ(static_cast<int64_t>(pfad.Marken().size()), Pfadmodell::Marken_je_Zeile);
}

// --- The preview's own settings file ---------------------------------------------------------

using Ansichtstest = Testumgebung;

TEST_F(Ansichtstest, HinUndZurueckUndBeschaedigteWerte) {
    const std::string pfad = ordner.Datei("neu/orvexa2011/orvexa2011-ansicht.conf");
    const Ansichtseinstellungen e{false, 420};
    ASSERT_TRUE(Ansichtseinstellungen_speichern(e, pfad));
    EXPECT_EQ(Datei_lesen(pfad), "[Pfadvorschau]\noffen=false\nbreite=420\n");
    EXPECT_EQ(Ansichtseinstellungen_laden(pfad), e);

    const std::vector<std::pair<std::string, Ansichtseinstellungen>> faelle = {
        {"", {}},
        {"offen=false\nbreite=300\n", {}}, // outside its section
        {"[Pfadvorschau]\r\n offen = false \r\nbreite=-5\r\n", {false, 0}},
        {"[Pfadvorschau]\noffen=vielleicht\nbreite=9999999\n[Anderes]\nbreite=7\n", {}},
    };
    for (const auto& [text, erwartet] : faelle)
        EXPECT_EQ(Ansichtseinstellungen_aus_Inhalt(text), erwartet) << text;
    EXPECT_EQ(Ansichtseinstellungen_laden(ordner.Datei("fehlt.conf")), Ansichtseinstellungen{});
}

TEST_F(Ansichtstest, NichtSchreibbarMeldetDenGrundUndLaesstDieAlteDatei) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    const std::string pfad = ordner.Datei("zu/orvexa2011-ansicht.conf");
    ASSERT_TRUE(Ansichtseinstellungen_speichern({true, 300}, pfad));
    ASSERT_EQ(::chmod(ordner.Datei("zu").c_str(), 0500), 0);
    std::string grund;
    EXPECT_FALSE(Ansichtseinstellungen_speichern({false, 100}, pfad, &grund));
    EXPECT_FALSE(grund.empty());
    ::chmod(ordner.Datei("zu").c_str(), 0700);
    EXPECT_EQ(Ansichtseinstellungen_laden(pfad), (Ansichtseinstellungen{true, 300}));
    EXPECT_FALSE(Ansichtseinstellungen_speichern({}, "", &grund));
}

} // namespace
} // namespace orvexa::test
