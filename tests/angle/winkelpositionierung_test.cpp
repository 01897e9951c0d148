// The staged angle approach against a scripted axis (the display's readings given in advance,
// the moves recorded), its test run, and the angle parameter file.

#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "angle/wt_parameter.h"
#include "core/maschinenparameter.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <deque>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Hands out the readings in turn (the last one again when they run out) and records moves.
class Skriptachse : public Winkelachse {
public:
    explicit Skriptachse(std::deque<double> lesungen) : m_lesungen(std::move(lesungen)) {}
    double Istwinkel_lesen() override {
        ++lesungen;
        if (m_lesungen.size() > 1) {
            const double w = m_lesungen.front();
            m_lesungen.pop_front();
            return w;
        }
        return m_lesungen.empty() ? 0 : m_lesungen.front();
    }
    void Absolut_fahren(int32_t s) override {
        if (fehler) throw Steuerungsfehler(fehler);
        zuege.push_back("abs " + std::to_string(s));
    }
    void Relativ_fahren(int32_t s) override { zuege.push_back("rel " + std::to_string(s)); }

    std::vector<std::string> zuege;
    int lesungen = 0;
    int32_t fehler = 0;

private:
    std::deque<double> m_lesungen;
};

WT_Parameter Beispiel() {
    WT_Parameter p;
    p.KXCU_Com = "COM3";
    p.ND261_Com = "COM2";
    p.Umrechnungsfaktor = 200;
    p.WT_Startfreq = 400;
    p.WT_Endfreq = 2000;
    p.WT_Reffreq = 1000;
    p.WT_Rampe = 100;
    p.uebersteuern = 0.5;
    p.annaehern = 5;
    p.schrittweise = 10;
    return p;
}

class Anfahrt : public Testumgebung {
protected:
    bool Anfahren(std::deque<double> lesungen, const char* soll = "10.000") {
        achse = std::make_unique<Skriptachse>(std::move(lesungen));
        Winkelpositionierung w(p, transkript, *achse, &abbruch);
        return w.Winkel_anfahren(soll);
    }

    WT_Parameter p = Beispiel();
    Winkeltranskript transkript;
    std::atomic<bool> abbruch{false};
    std::unique_ptr<Skriptachse> achse;
};

TEST_F(Anfahrt, UeberschiessenGrobZurueckDannEinzelschritte) {
    // Where it stood; after the overshoot 10.48: back by trunc(200 × −0.48) + 5 = −91; then
    // 10.02 lies in the band: one step; 10.004 is less than a step above: reached.
    EXPECT_TRUE(Anfahren({3.0, 10.48, 10.02, 10.004}));
    EXPECT_THAT(achse->zuege, ElementsAre("abs 2100", "rel -91", "rel -1"));
    EXPECT_THAT(transkript.Zeilen(),
                ElementsAre("SollWinkel: 10.000", "", "verfahre zu Winkel: 10.500 ...",
                            "d.h. 2100 absolute Schritte", "", "verfahre um -91 Schritte ...", "",
                            "verfahre um -1 Schritte ...", "", "Winkel wurde eingestellt!"));
}

TEST_F(Anfahrt, DieEinzelnenZweige) {
    const struct {
        double lesung;
        const char* zug; // the move after the overshoot; nullptr: reached
    } faelle[] = {
        {10.48, "rel -91"},
        {10.025, "rel -1"},
        {10.0051, "rel -1"},
        {10.005, nullptr},
        {10.0, nullptr},
        {9.999, "abs 2100"},
        {-3.0, "abs 2100"},
        {11.0, "rel -195"},
        // Less than one step above the band: the formula gives 0 steps, one step down instead.
        {10.027, "rel -1"},
        {10.0299, "rel -1"},
        {10.0301, "rel -1"},
        {10.031, "rel -1"},
    };
    for (const auto& f : faelle) {
        Anfahren({0.0, f.lesung, 10.001});
        ASSERT_GE(achse->zuege.size(), 1u) << f.lesung;
        if (f.zug)
            EXPECT_EQ(achse->zuege.at(1), f.zug) << f.lesung;
        else
            EXPECT_EQ(achse->zuege.size(), 1u) << f.lesung;
    }
    EXPECT_EQ(Winkelpositionierung::Grobschritte(p, 10, 10.027), -1);
    EXPECT_EQ(Winkelpositionierung::Grobschritte(p, 10, 10.036), -2);
    EXPECT_EQ(Winkelpositionierung::Absolute_Schritte(p, 10.03), 2006);
}

TEST_F(Anfahrt, ImLetztenZyklusErreichtGiltAlsNichtErreicht) {
    p.schrittweise = 1;
    EXPECT_FALSE(Anfahren({0.0, 10.001}));
    EXPECT_EQ(transkript.Zeilen().back(), "Winkel konnte nicht eingestellt werden!");
    // With two cycles the same reading is reached in the first.
    p.schrittweise = 2;
    transkript.Leeren();
    EXPECT_TRUE(Anfahren({0.0, 10.001}));
    // A reading that stays above the target uses up every cycle.
    p.schrittweise = 4;
    EXPECT_FALSE(Anfahren({0.0, 10.02}));
    EXPECT_THAT(achse->zuege, ElementsAre("abs 2100", "rel -1", "rel -1", "rel -1", "rel -1"));
    EXPECT_EQ(achse->lesungen, 5);
}

TEST_F(Anfahrt, AbbruchLaeuftDieZyklenOhneZugAus) {
    abbruch = true;
    EXPECT_FALSE(Anfahren({0.0}));
    EXPECT_THAT(achse->zuege, IsEmpty());
    EXPECT_EQ(transkript.Zeilen().back(), "Winkel konnte nicht eingestellt werden!");
}

TEST_F(Anfahrt, OhneUmrechnungsfaktorKeinStart) {
    p.Umrechnungsfaktor = 0;
    EXPECT_FALSE(Anfahren({10.0}));
    EXPECT_EQ(achse->lesungen, 0);
    EXPECT_THAT(achse->zuege, IsEmpty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, ::testing::HasSubstr("Umrechnungsfaktor"));
}

TEST_F(Anfahrt, TestlaufSchreibtKopfFehlerUndDatei) {
    achse = std::make_unique<Skriptachse>(std::deque<double>{0.0});
    achse->fehler = WAIT_TIMEOUT;
    Winkelpositionierung w(p, transkript, *achse, &abbruch);
    abbruch = true; // left over from "Test beenden"
    int32_t code = 0;
    const std::string datei = ordner.Datei(Winkeltranskript::Testdatei);
    EXPECT_FALSE(w.Test_anfahren("10", datei, &code));
    EXPECT_EQ(code, WAIT_TIMEOUT);
    EXPECT_FALSE(abbruch.load());
    const std::string erwartet = "Winkel_anfahren() - Test\r\n\r\n"
                                 "--> Umrechnungsfaktor: 200\r\n"
                                 "--> \xFC"
                                 "bersteuern um: 0.50 Grad\r\n"
                                 "--> ann\xE4"
                                 "hern bis auf: 5 Schritte\r\n"
                                 "--> schrittweise n\xE4"
                                 "hern: 10 Zyklen\r\n\r\n\r\n"
                                 "SollWinkel: 10.000\r\n\r\n"
                                 "verfahre zu Winkel: 10.500 ...\r\n"
                                 "d.h. 2100 absolute Schritte\r\n\r\n"
                                 "Ein Fehler ist aufgetreten!\r\n\r\n";
    EXPECT_EQ(Datei_lesen(datei), erwartet);
}

TEST(WT_Parameterdatei, GenaueBytesUndZurueck) {
    const WT_Parameter p = Beispiel();
    const std::string inhalt = WT_Parameterdatei_Inhalt(p);
    EXPECT_EQ(inhalt, "WT_KXCU_Com=COM3\r\nWT_ND261_Com=COM2\r\n\r\n"
                      "WT_Umrechnungsfaktor=200\r\n\r\n"
                      "WT_Startfreq=400\r\nWT_Endfreq=2000\r\nWT_Reffreq=1000\r\nWT_Rampe=100\r\n"
                      "\r\n"
                      "WT_\xFC"
                      "bersteuern=0.50\r\nWT_ann\xE4"
                      "hern=5\r\nWT_schrittweise=10\r\n\r\n");
    EXPECT_EQ(WT_Parameter_aus_Dateiinhalt(inhalt), p);
}

TEST(WT_Parameterdatei, LesenNachSchluessel) {
    // Any case, blanks around ports and keys, UTF-8 from an editor, missing keys give 0.
    const WT_Parameter p = WT_Parameter_aus_Dateiinhalt(
        "wt_nd261_com=  COM7 \n WT_ÜBERSTEUERN = 1,25\nWT_ANNÄHERN=x\nWT_Rampe=50\n");
    EXPECT_EQ(p.ND261_Com, "COM7");
    EXPECT_EQ(p.KXCU_Com, "");
    EXPECT_DOUBLE_EQ(p.uebersteuern, 1.25);
    EXPECT_EQ(p.annaehern, 0);
    EXPECT_EQ(p.WT_Rampe, 50);
    EXPECT_EQ(p.Umrechnungsfaktor, 0);
}

TEST(WT_Parameterdatei, LadenFixiertDieMaschinenparameter) {
    Temporaerordner ordner;
    WT_Parameter p;
    p.Umrechnungsfaktor = 77; // left as it is when there is no file
    Maschinenparameter m;
    m.yUebersetz = 3;
    m.xRefOffset = 2;
    EXPECT_FALSE(WT_Parameter_laden(p, m, ordner.Datei("fehlt.dat")));
    EXPECT_EQ(p.Umrechnungsfaktor, 77);
    EXPECT_EQ(m.ComPort, 0);

    Datei_schreiben(ordner.Datei("wt.dat"), WT_Parameterdatei_Inhalt(Beispiel()));
    m.xWerkstuecknullpunkt = 5;
    m.uParkposition = 7;
    m.xRef = 13; // a pin: not the angle parameters' business
    Maschinenparameter erwartet = m;
    erwartet.Modul = 3;
    erwartet.ComPort = 3;
    erwartet.LPTAdresse = 888;
    erwartet.Baudrate = 19200;
    erwartet.Startfreq = 400;
    erwartet.Arbeitsfreq = erwartet.Eilfreq = 2000;
    erwartet.Rampenlaenge = 100;
    erwartet.RefFreq = 1000;
    erwartet.xUebersetz = 1.0;
    erwartet.yUebersetz = erwartet.zUebersetz = erwartet.uUebersetz = 0;
    erwartet.xMotStep = 200;
    erwartet.yMotStep = erwartet.zMotStep = erwartet.uMotStep = 0;
    erwartet.Steuersignal = erwartet.Schrittbetrieb = erwartet.UBetrieb = 0;
    erwartet.Ruhestrom = erwartet.ZBetrieb = 1;
    erwartet.xRefOffset = erwartet.yRefOffset = erwartet.zRefOffset = erwartet.uRefOffset = 0;
    erwartet.xRefNr = 2;
    erwartet.yRefNr = 3;
    erwartet.zRefNr = 1;
    erwartet.uRefNr = 4;
    erwartet.xRefAktiv = 1;
    erwartet.yRefAktiv = erwartet.zRefAktiv = erwartet.uRefAktiv = 0;
    erwartet.xWerkstuecknullpunkt = erwartet.uParkposition = 0;
    EXPECT_TRUE(WT_Parameter_laden(p, m, ordner.Datei("wt.dat")));
    EXPECT_EQ(p, Beispiel());
    EXPECT_EQ(m, erwartet);
}

} // namespace
} // namespace orvexa::test
