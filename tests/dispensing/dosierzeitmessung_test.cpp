#include "dispensing/dosierzeitmessung.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "testhilfen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;

class Dosierzeit : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parametersatz().Modul = 5; // errors are shown for the serial types
        m.Ventil = [this](int32_t n) {
            ventil.push_back("Ventil(" + std::to_string(n) + ")");
            if (ventilfehler.count(static_cast<int>(ventil.size())))
                throw Steuerungsfehler(NAK_ERROR);
        };
        m.Warten = [this](double s) {
            ventil.push_back("Warten(" + std::to_string(s) + ")");
            if (wartefehler) throw Steuerungsfehler(WAIT_TIMEOUT);
        };
    }

    // "Dosieren" held for ms milliseconds of a timer that ticks every 250 ms from the press:
    // the ticks that fall while it is held, the release, then the tick still pending.
    void Halten(int ms) {
        m.Dosieren_gedrueckt();
        for (int t = Dosierzeitmessung::Takt_ms; t < ms && m.Takt_laeuft();
             t += Dosierzeitmessung::Takt_ms)
            m.Takt();
        m.Dosieren_losgelassen();
        m.Takt();
    }

    std::vector<std::string> Titel() const {
        std::vector<std::string> t;
        for (const auto& e : ui.Meldungen())
            t.push_back(e.titel);
        return t;
    }

    Dosierzeitmessung m;
    std::vector<std::string> ventil;
    std::set<int> ventilfehler; // the n-th valve call fails
    bool wartefehler = false;
};

TEST_F(Dosierzeit, StartwertInViertelsekunden) {
    struct Fall {
        double PDosierzeit;
        int32_t viertel;
    };
    for (const Fall f : {Fall{1.1, 4}, Fall{200.0, 480}, Fall{0.0, 0}, Fall{-1.0, 0}, Fall{0.1, 0},
                         Fall{0.125, 1}, Fall{1.0, 4}, Fall{1.125, 5}, Fall{119.875, 480},
                         Fall{119.8, 479}, Fall{1e300, 480}, Fall{std::nan(""), 0}}) {
        EXPECT_EQ(Dosierzeitmessung::Startwert(f.PDosierzeit), f.viertel) << f.PDosierzeit;
    }
    m.Oeffnen(1.1);
    EXPECT_EQ(m.Sekunden(), 1.0);
}

TEST_F(Dosierzeit, EineSekundeHaltenZaehltVierViertel) {
    m.Oeffnen(0.0);
    Halten(990);
    EXPECT_EQ(m.Wert(), 4);
    EXPECT_THAT(ventil, ElementsAre("Ventil(1)", "Ventil(0)"));
    EXPECT_FALSE(m.Takt_laeuft());
    m.Takt(); // a tick after the timer stopped counts nothing
    EXPECT_EQ(m.Wert(), 4);
}

TEST_F(Dosierzeit, DerBegonneneTaktZaehltUndMehrereDrueckeAddierenSich) {
    m.Oeffnen(1.1);
    Halten(10);
    EXPECT_EQ(m.Wert(), 5);
    Halten(490);
    EXPECT_EQ(m.Wert(), 7);
    m.Setzen(478);
    Halten(2000);
    EXPECT_EQ(m.Wert(), 480);
    EXPECT_DOUBLE_EQ(m.Sekunden(), 120.0);
}

TEST_F(Dosierzeit, FehlerBeimOeffnenSchliesstUndZaehltNicht) {
    ventilfehler = {1};
    m.Dosieren_gedrueckt();
    EXPECT_FALSE(m.Dosiert());
    EXPECT_FALSE(m.Takt_laeuft());
    EXPECT_THAT(ventil, ElementsAre("Ventil(1)", "Ventil(0)"));
    EXPECT_THAT(Titel(), ElementsAre("DZDosierenButtonMouseDown()"));
    m.Dosieren_losgelassen(); // the valve is closed already
    EXPECT_EQ(ventil.size(), 2u);
    EXPECT_EQ(m.Wert(), 0);
}

TEST_F(Dosierzeit, FehlerBeimSchliessenWirdGemeldet) {
    ventilfehler = {2};
    m.Dosieren_gedrueckt();
    m.Dosieren_losgelassen();
    EXPECT_FALSE(m.Dosiert());
    EXPECT_THAT(Titel(), ElementsAre("DZDosierenButtonMouseUp()"));
}

TEST_F(Dosierzeit, KompletterDosiervorgangNurMitZeitUndSchliesstNachFehler) {
    m.Kompletter_Dosiervorgang();
    EXPECT_TRUE(ventil.empty()); // time 0: the valve stays shut
    m.Setzen(2);
    wartefehler = true;
    m.Kompletter_Dosiervorgang();
    EXPECT_THAT(ventil, ElementsAre("Ventil(1)", "Warten(0.500000)", "Ventil(0)"));
    EXPECT_THAT(Titel(), ElementsAre("DZDosiervorgangButtonClick()"));
}

} // namespace
} // namespace orvexa::test
