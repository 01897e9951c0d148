#include "attrappen.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "platform/ereignis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvexa::test {
namespace {

// A worker thread as the dialogs have one: runs one machine action and keeps its error code.
class Arbeiter {
public:
    explicit Arbeiter(std::function<void()> aktion)
        : m_thread([this, aktion = std::move(aktion)] {
              try {
                  aktion();
              } catch (const Steuerungsfehler& fehler) {
                  m_code = fehler.code();
              }
              m_fertig.Setzen();
          }) {}
    ~Arbeiter() {
        if (m_thread.joinable()) m_thread.join();
    }

    bool Warten_bis_fertig(int ms = 5000) {
        return m_fertig.Warten(ms) == Warteergebnis::signalisiert;
    }
    int32_t Code() {
        m_thread.join();
        return m_code;
    }

private:
    std::atomic<int32_t> m_code{0};
    Ereignis m_fertig{true};
    std::thread m_thread;
};

using Nebenlaeufigkeitstest = Attrappenumgebung;

TEST_F(Nebenlaeufigkeitstest, AnhaltenWaehrendEinerSeriellenFahrtBeendetSieMit2000) {
    Steuerung_einrichten(5);
    SeriellerBefehlssatzAttrappe* linie = Linie();
    linie->Sperre_setzen("WaitResp");
    // The controller answers the stop by ending the move, so its completion arrives at once.
    linie->Bei_Aufruf("Achsen_anhalten", [linie] { linie->Sperre_loesen("WaitResp"); });

    Arbeiter arbeiter([] { Vektorfahrt_ausfuehren(true, 1, 4000, 0, 0, 13); });
    ASSERT_TRUE(linie->Warten_bis_gesperrt("WaitResp"));
    Achsen_anhalten();
    ASSERT_TRUE(arbeiter.Warten_bis_fertig());
    EXPECT_EQ(arbeiter.Code(), THROW_ABORT);
    EXPECT_FALSE(Steuerung().Abbruch);
    EXPECT_TRUE(Stopp);
    EXPECT_EQ(Aufrufe(),
              (std::vector<std::string>{"Linie.Vektorfahrt_ausfuehren(1, 1, 4000, 0, 0)",
                                        "Linie.WaitResp(-1)", "Linie.Achsen_anhalten()"}));
}

TEST_F(Nebenlaeufigkeitstest, UnbeantworteterStoppBeendetDasWartenAufDenAbschluss) {
    Steuerung_einrichten(6);
    SeriellerBefehlssatzAttrappe* linie = Linie();
    linie->Fehler_vorgeben("Achsen_anhalten", WAIT_TIMEOUT);
    linie->Fehler_vorgeben("Achsen_sofort_stoppen", RS_ERROR);
    int32_t code = 0;
    try {
        Achsen_anhalten();
    } catch (const Steuerungsfehler& f) {
        code = f.code();
    }
    EXPECT_EQ(code, WAIT_TIMEOUT);
    EXPECT_TRUE(Steuerung().Abbruch);
    try {
        Achsen_sofort_stoppen();
    } catch (const Steuerungsfehler& f) {
        code = f.code();
    }
    EXPECT_EQ(code, RS_ERROR);
    EXPECT_EQ(Aufrufe(), (std::vector<std::string>{
                             "Linie.Achsen_anhalten()", "Linie.Warten_abbrechen()",
                             "Linie.Achsen_sofort_stoppen()", "Linie.Warten_abbrechen()"}));
}

TEST_F(Nebenlaeufigkeitstest, AnhaltenWaehrendEinerKartenfahrtBeendetSieMit2000) {
    Steuerung_einrichten(4);
    ParallelkarteAttrappe* karte = Karte();
    karte->Sperre_setzen("Vektorfahrt_ausfuehren");
    // The card hears of the halt before the log line is written, which would cost it time.
    bool vor_der_zeile = false;
    auto gestoppt = [this] {
        for (const std::string& zeile : Protokoll())
            if (zeile.find("Achsen_anhalten()") != std::string::npos) return true;
        return false;
    };
    karte->Bei_Aufruf("Achsen_anhalten", [&] {
        vor_der_zeile = !gestoppt();
        karte->Sperre_loesen("Vektorfahrt_ausfuehren");
    });

    Arbeiter arbeiter([] {
        Vektorfahrt_ausfuehren(true, 1, 4000, 0, 0, 13);
        Vektorfahrt_ausfuehren(true, 1, 0, 4000, 0, 13); // must not run after the stop
    });
    ASSERT_TRUE(karte->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    Achsen_anhalten();
    ASSERT_TRUE(arbeiter.Warten_bis_fertig());
    EXPECT_EQ(arbeiter.Code(), THROW_ABORT);
    EXPECT_FALSE(Stopp);
    EXPECT_EQ(Aufrufe(), (std::vector<std::string>{"Karte.Vektorfahrt_ausfuehren(1, 1, 4000, 0, 0)",
                                                   "Karte.Achsen_anhalten()"}));
    EXPECT_TRUE(vor_der_zeile);
    EXPECT_TRUE(gestoppt());
}

// The E1 input wait of the serial types, ended from the window thread.
class Eingangswartetest : public Attrappenumgebung, public ::testing::WithParamInterface<bool> {};

TEST_P(Eingangswartetest, StoppBeendetDasWartenAufDenEingang) {
    const bool anhalten = GetParam();
    Steuerung_einrichten(6);
    SeriellerBefehlssatzAttrappe* linie = Linie();
    linie->Eingangspegel_vorgeben({}, false);

    Arbeiter arbeiter([] { E1Verknuepfung_setzen(1, false); });
    ASSERT_TRUE(fabrik.liste->Warten_auf("Linie.Eingang_abfragen_Potential(B)"));
    if (anhalten)
        Achsen_anhalten();
    else
        Achsen_sofort_stoppen();
    if (!arbeiter.Warten_bis_fertig()) {
        linie->Eingangspegel_vorgeben({}, true); // free the worker before failing
        FAIL() << "the input wait did not end on the stop request";
    }
    EXPECT_EQ(arbeiter.Code(), 0);
    EXPECT_FALSE(Stopp);
    EXPECT_EQ(Steuerung().Abbruch.load(), anhalten);
}

INSTANTIATE_TEST_SUITE_P(AnhaltenOderSofortStoppen, Eingangswartetest, ::testing::Bool());

TEST_F(Nebenlaeufigkeitstest, EingangswarteEndetBeiHohemPegel) {
    Steuerung_einrichten(10);
    Linie()->Eingangspegel_vorgeben({false, false, true}, false);
    E1Verknuepfung_setzen(1, false);
    EXPECT_EQ(Aufrufe(), std::vector<std::string>(3, "Linie.Eingang_abfragen_Potential(B)"));
    EXPECT_FALSE(Stopp);
}

TEST_F(Nebenlaeufigkeitstest, EinAlterStoppBeendetDieEingangswarteNicht) {
    Steuerung_einrichten(5);
    Linie()->Eingangspegel_vorgeben({false, true}, false);
    Stopp = true;
    E1Verknuepfung_setzen(1, false);
    EXPECT_EQ(Aufrufe().size(), 2u);
    EXPECT_FALSE(Stopp);
}

TEST_F(Nebenlaeufigkeitstest, EinFehlerDerEingangsabfrageEndetDasWartenUndLoeschtStopp) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("Eingang_abfragen_Potential", COMMUNICATION_ERROR);
    Linie()->Bei_Aufruf("Eingang_abfragen_Potential", [] { Stopp = true; });
    EXPECT_THROW(E1Verknuepfung_setzen(1, false), Steuerungsfehler);
    EXPECT_FALSE(Stopp);
}

} // namespace
} // namespace orvexa::test
