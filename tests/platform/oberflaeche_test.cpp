#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "platform/zeitbasis.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvexa;

TEST(Oberflaeche, KopflosNimmtDenStandardknopf) {
    KopfloseOberflaeche o;
    EXPECT_EQ(o.Meldung("t", "T", Symbol::frage, Knoepfe::ja_nein), Antwort::ja);
    EXPECT_EQ(o.Meldung("t", "T", Symbol::warnung, Knoepfe::ok_abbrechen), Antwort::ok);
    int aufrufe = 0;
    o.im_Fensterthread([&] { ++aufrufe; }, true);
    EXPECT_EQ(aufrufe, 1);
}

TEST(Oberflaeche, AufzeichnendeAntwortetNachVorgabeDannMitStandard) {
    AufzeichnendeOberflaeche o;
    o.Antworten_vorgeben({Antwort::nein});
    EXPECT_EQ(o.Meldung("Wirklich?", "Frage", Symbol::frage, Knoepfe::ja_nein), Antwort::nein);
    EXPECT_EQ(o.Meldung("Noch mal?", "Frage", Symbol::frage, Knoepfe::ja_nein), Antwort::ja);
    o.Piepton(1000, 200);
    const auto m = o.Meldungen();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "Wirklich?");
    EXPECT_EQ(m[0].titel, "Frage");
    ASSERT_EQ(o.Toene().size(), 1u);
    EXPECT_EQ(o.Toene()[0].hz, 1000);
}

TEST(Oberflaeche, GlobaleInstanzIstErsetzbar) {
    AufzeichnendeOberflaeche o;
    Oberflaeche_setzen(&o);
    oberflaeche().Meldung("x", "y", Symbol::information, Knoepfe::ok);
    Oberflaeche_setzen(nullptr);
    oberflaeche().Meldung("nur stderr", "y", Symbol::information, Knoepfe::ok);
    EXPECT_EQ(o.Meldungen().size(), 1u);
}

TEST(Programmverzeichnis, VerzeichnisDerProgrammdateiOderGesetzt) {
    const std::string pfad = Programmpfad();
    ASSERT_FALSE(pfad.empty());
    EXPECT_EQ(Programmverzeichnis(), pfad.substr(0, pfad.rfind('/') + 1));
    Programmverzeichnis_setzen("/tmp/irgendwo");
    EXPECT_EQ(Programmverzeichnis(), "/tmp/irgendwo/");
    Programmverzeichnis_setzen({});
}

TEST(Zeitbasis, AktivesWartenDauertMindestensDieVorgabe) {
    const int64_t anfang = Zeitbasis::Zaehler();
    Zeitbasis::Warten_aktiv(200'000); // 200 µs
    EXPECT_GE(Zeitbasis::Zaehler() - anfang, 200'000);
}

TEST(Zeitbasis, SchlafenGehtAnDieUmgeleitetenPausenBisSieZurueckgenommenWerden) {
    struct Aufzeichnend : Zeitbasis::Pausen {
        std::vector<int> ms;
        void Schlafen(int m) override { ms.push_back(m); }
    };
    const auto pausen = std::make_shared<Aufzeichnend>();
    Zeitbasis::Pausen_umleiten(pausen);
    Zeitbasis::Schlafen(600'000); // ten minutes, far beyond the test's time-out
    Zeitbasis::Schlafen(0);
    Zeitbasis::Pausen_umleiten(nullptr);
    Zeitbasis::Schlafen(1);
    EXPECT_EQ(pausen->ms, (std::vector<int>{600'000, 0}));
}
