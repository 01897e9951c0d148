// The Doming window on Qt's offscreen platform, through its real worker down to the simulated
// controller: the visit order and the continue rule driven from the buttons, a run from the
// manual tab, jogging, what the busy state enables, and activation.

#include "dispensing/qt/domingform.h"

#include "core/dateien.h"
#include "core/maschinenparameter.h"
#include "dispensing/domingparameter.h"
#include "dispensing/domingthread.h"
#include "dispensing/qt/auftragsansicht.h"
#include "dispensing/qt/domingvorschaubild.h"
#include "platform/ereignis.h"
#include "qt/fensteroberflaeche.h"
#include "simumgebung.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

using namespace orvexa;
using namespace orvexa::test;
using ::testing::ElementsAre;
using B = std::tuple<int, int, int, int>; // ixBogen, iyBogen, ix, iy

namespace {

// Records the parts the run begins and can hold the worker at one of them.
class Haltendes_Fenster : public TDomingForm {
public:
    explicit Haltendes_Fenster(Domingvariante variante = Domingvariante::Doming)
        : TDomingForm(nullptr, variante) {}
    std::vector<B> Teile() const {
        std::lock_guard lock(m_mutex);
        return m_teile;
    }
    void Teile_loeschen() {
        std::lock_guard lock(m_mutex);
        m_teile.clear();
    }
    // The worker waits at that part until Weiter.
    void Halten_bei(B teil) {
        m_halt = teil;
        m_halten = true;
        m_erreicht = false;
    }
    bool Erreicht() const { return m_erreicht.load(); }
    void Weiter() { m_weiter.Setzen(); }

protected:
    void Teil_beginnt(const DomingTeil& t) override {
        TDomingForm::Teil_beginnt(t);
        const B teil{t.ixBogen, t.iyBogen, t.ix, t.iy};
        {
            std::lock_guard lock(m_mutex);
            m_teile.push_back(teil);
        }
        if (m_halten && teil == m_halt) {
            m_halten = false;
            m_erreicht = true;
            m_weiter.Warten(10'000);
        }
    }

private:
    mutable std::mutex m_mutex;
    std::vector<B> m_teile;
    B m_halt{};
    std::atomic<bool> m_halten{false};
    std::atomic<bool> m_erreicht{false};
    Ereignis m_weiter;
};

// Boxes as the program shows them, beeps recorded.
class Doming_ui : public Modale_Fensteroberflaeche {
public:
    explicit Doming_ui(AufzeichnendeOberflaeche& ui) : Modale_Fensteroberflaeche(ui), m_ui(ui) {}
    void Piepton(int hz, int ms) override { m_ui.Piepton(hz, ms); }

private:
    AufzeichnendeOberflaeche& m_ui;
};

class DomingFormTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        // 100 steps per millimetre: two decimals of a millimetre are whole steps.
        Achsen_einstellen(100);
        Maschinenparameter& p = Parametersatz();
        p.xRefNr = 1;
        p.yRefNr = 2;
        p.xRefAktiv = p.yRefAktiv = 1;
        ASSERT_NO_FATAL_FAILURE(Verbinden());
        dlg = std::make_unique<Haltendes_Fenster>();
        dlg->Spuelung_oeffnen = [] {};
    }
    void TearDown() override {
        dlg->Weiter();
        dlg.reset();
        SerielleSimulation::TearDown();
    }

    void Oeffnen() {
        dlg->move(0, 0);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    bool Abwarten() {
        if (!QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 10'000)) return false;
        // Every display call of the command was queued before it showed as over.
        QCoreApplication::processEvents();
        return true;
    }
    // A 3 x 2 point job on 2 x 1 sheets without dwells.
    void Punktjob() {
        for (auto [feld, text] : std::initializer_list<std::pair<QLineEdit*, const char*>>{
                 {dlg->xStartpunktEdit, "10"},
                 {dlg->yStartpunktEdit, "20"},
                 {dlg->xAbstandEdit, "5"},
                 {dlg->yAbstandEdit, "6"},
                 {dlg->xAnzahlEdit, "3"},
                 {dlg->yAnzahlEdit, "2"},
                 {dlg->BxAbstandEdit, "7"},
                 {dlg->ByAbstandEdit, "7"},
                 {dlg->BxAnzahlEdit, "2"},
                 {dlg->PDosierzeitEdit, "0"},
                 {dlg->PAbtropfzeitEdit, "0"}})
            feld->setText(QString::fromUtf8(text));
    }
    bool Im_Protokoll(const std::string& zeile) const {
        const auto z = Protokoll();
        return std::find(z.begin(), z.end(), zeile) != z.end();
    }
    long Anzahl(const Zeilen_t& zeilen, const std::string& anfang) const {
        return std::count_if(zeilen.begin(), zeilen.end(),
                             [&](const std::string& z) { return z.starts_with(anfang); });
    }
    // What the busy state disables, as one picture.
    std::vector<bool> Frei() const {
        return {dlg->MenuDatei->menuAction()->isEnabled(),
                dlg->MenuSpuelung->isEnabled(),
                dlg->JobPanel->isEnabled(),
                dlg->DosierkopfRadioGroup->isEnabled(),
                dlg->ReferenzfahrtCheckBox->isEnabled(),
                dlg->LaserpointerONOFFCheckBox->isEnabled(),
                dlg->LaserpointerBetriebCheckBox->isEnabled(),
                dlg->DauertestCheckBox->isEnabled(),
                dlg->StartBitBtn->isEnabled(),
                dlg->FortsetzenBitBtn->isEnabled(),
                dlg->AbbrechenBitBtn->isVisible(),
                dlg->SchliessenBitBtn->isVisible()};
    }

    Doming_ui fenster_ui{ui};
    std::unique_ptr<Haltendes_Fenster> dlg;
};

TEST_F(DomingFormTest, AbbruchImTeilUndFortsetzenDort) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_GE(dlg->y(), 104);
    EXPECT_EQ(dlg->windowTitle(), "Doming  ");
    Punktjob();
    emit dlg->xAnzahlEdit->editingFinished();
    EXPECT_TRUE(dlg->SchaetzungLabel->text().startsWith("geschätzte Dauer: 00:0"));
    dlg->Halten_bei({1, 0, 1, 0});
    QTest::mouseClick(dlg->StartBitBtn, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->Erreicht(); }, 10'000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->AbbrechenBitBtn->isVisible(); }, 5000));
    // The layout view marks the eighth part of the visit order as the one in work.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->Auftragsbild->In_Arbeit() == 8; }, 5000));
    EXPECT_EQ(dlg->Auftragsbild->Plan().Teile_gesamt, 12);
    EXPECT_TRUE(dlg->SchaetzungLabel->text().startsWith("noch "));
    // Busy: menus, job, dosing head, three boxes and both start buttons off; flushing and
    // "Dauertest" stay at hand; the window does not close.
    EXPECT_THAT(Frei(), ElementsAre(false, true, false, false, false, false, false, true, false,
                                    false, true, false));
    EXPECT_FALSE(dlg->MenuParameter->isEnabled());
    EXPECT_FALSE(dlg->MenuGeschwindigkeit->isEnabled());
    dlg->close();
    EXPECT_TRUE(dlg->isVisible());
    // A second start while the run goes on is dropped.
    dlg->StartBitBtnClick();
    QTest::mouseClick(dlg->AbbrechenBitBtn, Qt::LeftButton);
    dlg->Weiter();
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(dlg->Teile(),
                ElementsAre(B{0, 0, 0, 0}, B{0, 0, 1, 0}, B{0, 0, 2, 0}, B{0, 0, 0, 1},
                            B{0, 0, 1, 1}, B{0, 0, 2, 1}, B{1, 0, 0, 0}, B{1, 0, 1, 0}));
    EXPECT_TRUE(Im_Protokoll("ixBogenMerke=1 iyBogenMerke=0 ixMerke=1 iyMerke=0"));
    EXPECT_EQ(dlg->Auftragsbild->In_Arbeit(), 0);
    EXPECT_EQ(dlg->Auftragsbild->Fortsetzen_bei(), 8);
    EXPECT_THAT(Frei(), ElementsAre(true, true, true, true, true, true, true, true, true, true,
                                    false, true));
    EXPECT_TRUE(ui.Meldungen().empty());

    // "&Fortsetzen" dispenses the part in work again and finishes the sheet.
    dlg->Teile_loeschen();
    Zaehlung_neu();
    QTest::mouseClick(dlg->FortsetzenBitBtn, Qt::LeftButton);
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(dlg->Teile(), ElementsAre(B{1, 0, 1, 0}, B{1, 0, 2, 0}, B{1, 0, 0, 1},
                                          B{1, 0, 1, 1}, B{1, 0, 2, 1}));
    // Part (1, 0, 1, 0) lies at 10 + 5 + (2 * 5 + 7) mm.
    EXPECT_THAT(Neue_Befehle(), ::testing::Contains("L4,X3200"));
    EXPECT_FALSE(dlg->FortsetzenBitBtn->isEnabled());
    EXPECT_EQ(dlg->Ablauf().Merke(), DomingZaehler{});
    EXPECT_EQ(dlg->Arbeiter()->Laufergebnis().Fehlercode, 0);
}

TEST_F(DomingFormTest, ZweimalStartGibtEinenLauf) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    Punktjob();
    dlg->BxAnzahlEdit->setText("1");
    Zaehlung_neu();
    QTest::mouseClick(dlg->StartBitBtn, Qt::LeftButton);
    QTest::mouseClick(dlg->StartBitBtn, Qt::LeftButton);
    dlg->StartBitBtnClick();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(dlg->Teile().size(), 6u);
    // The window opens in laser-pointer operation: the laser traces each part.
    EXPECT_EQ(Anzahl(Neue_Befehle(), "A2,1"), 6);
    const auto zeilen = Protokoll();
    EXPECT_EQ(std::count(zeilen.begin(), zeilen.end(), "StartBitBtn_Thread()"), 1);
}

TEST_F(DomingFormTest, LaufVomManuellenReiterKehrtZurueck) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    // Two steps of 20 mm and 30 mm away from 0.
    dlg->StartPunktPageControl->setCurrentIndex(1);
    QTest::mouseClick(dlg->SchrittweiteMaskEdit, Qt::LeftButton);
    EXPECT_TRUE(dlg->SchrittRadioButton->isChecked());
    for (auto [text, knopf] : {std::pair{"20", dlg->xPos_BitBtn}, {"30", dlg->yPos_BitBtn}}) {
        dlg->SchrittweiteMaskEdit->setText(QString::fromUtf8(text));
        dlg->SchrittweiteMaskEditExit();
        QTest::mouseClick(knopf, Qt::LeftButton);
        ASSERT_TRUE(Abwarten());
    }
    EXPECT_EQ(dlg->SchrittweiteMaskEdit->text(), "30.0");
    ASSERT_EQ(sim->Position('x'), 2000);
    ASSERT_EQ(sim->Position('y'), 3000);
    EXPECT_EQ(dlg->Statustext(1), "yPos = 30.0 mm");

    Punktjob();
    dlg->BxAnzahlEdit->setText("1");
    Zaehlung_neu();
    QTest::mouseClick(dlg->StartBitBtn, Qt::LeftButton);
    ASSERT_TRUE(Abwarten());
    const Zeilen_t befehle = Neue_Befehle();
    EXPECT_EQ(Anzahl(befehle, "$H"), 0); // no reference run
    // The parts lie relative to where the run started, the typed start point is not used.
    EXPECT_THAT(befehle, ::testing::Contains("L4,X3000"));
    EXPECT_THAT(befehle, ::testing::Not(::testing::Contains("L4,X1000")));
    EXPECT_EQ(sim->Position('x'), 2000);
    EXPECT_EQ(sim->Position('y'), 3000);
    EXPECT_EQ(dlg->xStartpunktEdit->text(), "10.00");
}

TEST_F(DomingFormTest, SchrittUeberDenArbeitsbereichPiepstUndFaehrtNicht) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    dlg->StartPunktPageControl->setCurrentIndex(1);
    dlg->SchrittRadioButton->setChecked(true);
    dlg->SchrittweiteMaskEdit->setText("500,5");
    dlg->SchrittweiteMaskEditExit();
    EXPECT_EQ(dlg->Schrittweite(), 500.5);
    Zaehlung_neu();
    ui.Leeren();
    QTest::mouseClick(dlg->xPos_BitBtn, Qt::LeftButton);
    ASSERT_TRUE(Abwarten());
    ASSERT_EQ(ui.Toene().size(), 1u);
    EXPECT_EQ(ui.Toene()[0].hz, 440);
    EXPECT_EQ(ui.Toene()[0].ms, 100);
    EXPECT_EQ(Anzahl(Neue_Befehle(), "L3"), 0);
    EXPECT_EQ(sim->Position('x'), 0);
    // After a jog "&Fortsetzen" stays off.
    EXPECT_FALSE(dlg->FortsetzenBitBtn->isEnabled());
}

TEST_F(DomingFormTest, KontinuierlichLoslassenHaeltAn) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    dlg->StartPunktPageControl->setCurrentIndex(1);
    EXPECT_TRUE(dlg->KontinuierlichRadioButton->isChecked());
    EXPECT_EQ(dlg->SpeedAnzeigeLabel->text(),
              QString::number(dlg->SpeedScrollBar->maximum()) + " Hz");
    sim->Zeitskala_setzen(1);
    Zaehlung_neu();
    QTest::mousePress(dlg->xPos_BitBtn, Qt::LeftButton);
    for (std::size_t n = basis + 1; sim->Warten_auf_Anfragen(n, 5000); ++n)
        if (sim->Anfragen()[n - 1].starts_with("L3")) break;
    QTest::mouseRelease(dlg->xPos_BitBtn, Qt::LeftButton);
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(Neue_Befehle(), ::testing::Contains("L3,X50000"));
    EXPECT_LT(sim->Position('x'), 50000);
    EXPECT_EQ(dlg->Arbeiter()->Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_TRUE(ui.Meldungen().empty());
}

// The language chosen in the parameter dialog applies to the window's own captions too.
TEST_F(DomingFormTest, GewaehlteSpracheGiltAuchImFenster) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_EQ(dlg->ReferenzfahrtCheckBox->text(), "Referenzfa&hrt");
    dlg->Parameter_oeffnen = [](DomingParameter& p) { p.Sprache = "englisch"; };
    dlg->MenuParameterClick();
    EXPECT_EQ(dlg->ReferenzfahrtCheckBox->text(), "reference");
}

TEST_F(DomingFormTest, AktivierungEinArbeiterUndGeloeschteMerke) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    const TDomingThread* erster = dlg->Arbeiter();
    ASSERT_NE(erster, nullptr);
    EXPECT_TRUE(dlg->LaserpointerBetriebCheckBox->isChecked());
    EXPECT_FALSE(dlg->LaserpointerONOFFCheckBox->isChecked());
    EXPECT_TRUE(dlg->ReferenzfahrtCheckBox->isChecked());
    EXPECT_EQ(dlg->Statustext(2), "Dosierkopf::einfach");
    EXPECT_EQ(dlg->Statustext(5), "A3::OFF");
    EXPECT_EQ(dlg->SpeedScrollBar->value(), dlg->Job().Eilfreq);
    Punktjob();
    dlg->Halten_bei({0, 0, 1, 0});
    dlg->StartBitBtnClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->Erreicht(); }, 10'000));
    dlg->AbbrechenBitBtnClick();
    dlg->Weiter();
    ASSERT_TRUE(Abwarten());
    EXPECT_TRUE(dlg->FortsetzenBitBtn->isEnabled());
    // A reference run keeps the part in work but leaves "&Fortsetzen" off.
    Zaehlung_neu();
    dlg->StartPunktPageControl->setCurrentIndex(1);
    QTest::mouseClick(dlg->RefBitBtn, Qt::LeftButton);
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(Neue_Befehle(), ::testing::Contains("$Hxy"));
    EXPECT_FALSE(dlg->FortsetzenBitBtn->isEnabled());
    EXPECT_FALSE(dlg->Ablauf().Merke().Null());
    // Returning from one of its dialogs activates the window again: the same worker, no
    // part to continue.
    dlg->MenuSpuelungClick();
    EXPECT_EQ(dlg->Arbeiter(), erster);
    EXPECT_FALSE(dlg->FortsetzenBitBtn->isEnabled());
    EXPECT_TRUE(dlg->Ablauf().Merke().Null());
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Arbeiter(), nullptr);
}

TEST_F(DomingFormTest, FeldVerlassenDateimenueUndSpeicherfrage) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_FALSE(dlg->Geaendert());
    const auto verlassen = [&](QLineEdit* feld, const char* text) {
        feld->setText(QString::fromUtf8(text));
        emit feld->editingFinished();
    };
    verlassen(dlg->xAnzahlEdit, "0");
    verlassen(dlg->xAbstandEdit, "2,5");
    verlassen(dlg->PRampenlaengeEdit, "-5");
    EXPECT_EQ(dlg->xAnzahlEdit->text(), "1");
    EXPECT_EQ(dlg->xAbstandEdit->text(), "2.50");
    EXPECT_EQ(dlg->PRampenlaengeEdit->text(), "-5");
    EXPECT_TRUE(dlg->Geaendert());

    const QString pfad = QString::fromStdString(ordner.Datei("probe.txt"));
    dlg->Speichern_Dialog = [&](const QString&, const QString&) { return pfad; };
    dlg->MenuSpeichernUnter->trigger();
    EXPECT_FALSE(dlg->Geaendert());
    EXPECT_EQ(dlg->windowTitle(), "Doming  " + pfad + ".dom");
    DomingJob gelesen;
    ASSERT_EQ(Doming_Datei_laden(ordner.Datei("probe.txt.dom"), gelesen, Parametersatz()),
              Doming_Ladeergebnis::geladen);
    EXPECT_EQ(gelesen.xAbstand, 2.5);
    EXPECT_EQ(gelesen.PRampenlaenge, -5);
    EXPECT_EQ(gelesen.Type, "Punkt");

    dlg->MenuNeu->trigger();
    EXPECT_EQ(dlg->xAbstandEdit->text(), "0.00");
    EXPECT_TRUE(dlg->windowTitle().endsWith("neu.dom"));
    dlg->Oeffnen_Dialog = [&](const QString&) { return pfad + ".dom"; };
    dlg->MenuOeffnen->trigger();
    EXPECT_EQ(dlg->xAbstandEdit->text(), "2.50");
    EXPECT_FALSE(dlg->Geaendert());

    // A change is asked about when the window closes; No closes without saving.
    verlassen(dlg->yAbstandEdit, "3");
    ui.Antworten_vorgeben({Antwort::nein});
    dlg->SchliessenBitBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].text, "Möchten Sie die DOMING-Datei speichern?\n");
    EXPECT_EQ(meldungen[0].titel, "orvexa2011");
    EXPECT_EQ(meldungen[0].knoepfe, Knoepfe::ja_nein);
}

TEST_F(DomingFormTest, HPGLVorschauUndLauf) {
    const std::string plt = ordner.Datei("kontur.plt");
    {
        std::FILE* f = std::fopen(plt.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("IN;SP1;PU0,0;PD400,0,400,400;PU;", f);
        std::fclose(f);
    }
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    dlg->PageControl->setCurrentIndex(4);
    EXPECT_EQ(dlg->Job().Type, "HPGL");
    EXPECT_TRUE(dlg->Vorschau->isVisible());
    EXPECT_EQ(dlg->Vorschau->Hinweis(), "Bitte rechte Maustaste drücken.");
    dlg->HPGL_Dialog = [&](const QString&) { return QString::fromStdString(plt); };
    dlg->HPGLLadenAction->trigger();
    EXPECT_EQ(dlg->Job().HFilename, plt);
    EXPECT_TRUE(dlg->Vorschau->Hinweis().isEmpty());
    ASSERT_EQ(dlg->Vorschau->Striche().size(), 3u);
    EXPECT_FALSE(dlg->Vorschau->Striche()[0].zeichnen);
    EXPECT_TRUE(dlg->Vorschau->Striche()[2].zeichnen);
    EXPECT_FALSE(dlg->Geaendert());

    // One part at (10, 20): the contour is dispensed from there.
    Punktjob();
    for (QLineEdit* feld : {dlg->xAnzahlEdit, dlg->yAnzahlEdit, dlg->BxAnzahlEdit})
        feld->setText("1");
    dlg->HDosierzeit1Edit->setText("0");
    dlg->HAbtropfzeitEdit->setText("0");
    Zaehlung_neu();
    dlg->StartBitBtnClick();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(dlg->Arbeiter()->Laufergebnis().Fehlercode, 0);
    EXPECT_EQ(Anzahl(Neue_Befehle(), "L5"), 2);
    // The strokes of the play are gone again once the contour is done.
    EXPECT_TRUE(dlg->Vorschau->Laufstriche().empty());
    EXPECT_EQ(dlg->Vorschau->Striche().size(), 3u);

    // A run that fails at the first pen-down keeps what it drew of the play: the move there.
    sim->Watchdog_Ausgang_setzen(2);
    dlg->StartBitBtnClick();
    ASSERT_TRUE(Abwarten());
    EXPECT_NE(dlg->Arbeiter()->Laufergebnis().Fehlercode, 0);
    ASSERT_EQ(dlg->Vorschau->Laufstriche().size(), 1u);
    EXPECT_EQ(dlg->Vorschau->Laufstriche()[0].ziel.x, dlg->Vorschau->Striche()[0].ziel.x);
    EXPECT_EQ(dlg->Vorschau->Laufstriche()[0].ziel.y, dlg->Vorschau->Striche()[0].ziel.y);
    sim->Watchdog_Ausgang_setzen(0);

    dlg->HPGLSchliessenAction->trigger();
    EXPECT_TRUE(dlg->Job().HFilename.empty());
    EXPECT_TRUE(dlg->Vorschau->Striche().empty());
    EXPECT_EQ(dlg->Vorschau->Hinweis(), "Bitte rechte Maustaste drücken.");
}

// The pressure-fed window: the same window with its options.
class QuarrenFormTest : public DomingFormTest {
protected:
    void SetUp() override {
        DomingFormTest::SetUp();
        dlg = std::make_unique<Haltendes_Fenster>(Domingvariante::Druck);
        dlg->Spuelung_oeffnen = [] {};
    }
};

TEST_F(QuarrenFormTest, StoppuhrZaehltDenLaufUndFortsetzenZaehltWeiter) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_EQ(dlg->StoppuhrPanel->text(), "00:00:00");
    EXPECT_EQ(dlg->StoppuhrTimer->interval(), 1000);
    // The test ticks the stopwatch itself: a run that takes seconds on a busy machine would
    // add the timer's own ticks.
    dlg->StoppuhrTimer->stop();
    Punktjob();
    dlg->Halten_bei({1, 0, 1, 0});
    QTest::mouseClick(dlg->StartBitBtn, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->Erreicht(); }, 10'000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->AbbrechenBitBtn->isVisible(); }, 5000));
    // Busy: flushing and "Dauertest" are locked as well.
    EXPECT_FALSE(dlg->MenuSpuelung->isEnabled());
    EXPECT_FALSE(dlg->DauertestCheckBox->isEnabled());
    for (int i = 0; i < 3725; ++i)
        dlg->StoppuhrTimerTimer();
    EXPECT_EQ(dlg->StoppuhrPanel->text(), "01:02:05");
    dlg->AbbrechenBitBtnClick();
    dlg->Weiter();
    ASSERT_TRUE(Abwarten());
    EXPECT_TRUE(dlg->MenuSpuelung->isEnabled());
    EXPECT_TRUE(dlg->DauertestCheckBox->isEnabled());
    EXPECT_EQ(dlg->focusWidget(), dlg->SchliessenBitBtn);
    dlg->StoppuhrTimerTimer();
    EXPECT_EQ(dlg->StoppuhrPanel->text(), "01:02:05");

    dlg->Halten_bei({1, 0, 2, 0});
    QTest::mouseClick(dlg->FortsetzenBitBtn, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->Erreicht(); }, 10'000));
    dlg->StoppuhrTimerTimer();
    EXPECT_EQ(dlg->StoppuhrPanel->text(), "01:02:06");
    dlg->Weiter();
    ASSERT_TRUE(Abwarten());
    dlg->BxAnzahlEdit->setText("1");
    dlg->Halten_bei({0, 0, 0, 0});
    dlg->StartBitBtnClick();
    EXPECT_EQ(dlg->StoppuhrPanel->text(), "00:00:00");
    dlg->Weiter();
    ASSERT_TRUE(Abwarten());
}

TEST_F(QuarrenFormTest, DruckwerteImAuftragUndDasDomingFensterLiestIhnOhneKlage) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    dlg->MaterialdruckEdit->setText("3,5");
    dlg->VentildruckEdit->setText("1.2");
    emit dlg->VentildruckEdit->editingFinished();
    const QString pfad = QString::fromStdString(ordner.Datei("druck.dom"));
    dlg->Speichern_Dialog = [&](const QString&, const QString&) { return pfad; };
    dlg->MenuSpeichernUnter->trigger();
    EXPECT_EQ(dlg->windowTitle(), "Doming  " + pfad);
    std::string bytes;
    ASSERT_TRUE(Datei_lesen(pfad.toStdString(), bytes));
    EXPECT_NE(bytes.find("yStartpunkt=0.00\r\n\r\n[Druck]\r\nMaterialdruck=3.50\r\n"
                         "Ventildruck=1.20\r\n\r\n[Abstand]"),
              std::string::npos);

    Haltendes_Fenster doming;
    doming.Oeffnen_Dialog = [&](const QString&) { return pfad; };
    doming.MenuOeffnen->trigger();
    EXPECT_EQ(doming.Job().Type, "Punkt");
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(ui.Toene().empty());

    // A Doming file brings both pressures as 0.
    const std::string alt = ordner.Datei("alt.dom");
    ASSERT_TRUE(Doming_Datei_speichern(alt, dlg->Job(), "Punkt"));
    dlg->Oeffnen_Dialog = [&](const QString&) { return QString::fromStdString(alt); };
    dlg->MenuOeffnen->trigger();
    EXPECT_EQ(dlg->MaterialdruckEdit->text(), "0.00");
    EXPECT_EQ(dlg->VentildruckEdit->text(), "0.00");
}

TEST_F(QuarrenFormTest, TastenFahrenNurAufDemReiterManuellesFahren) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    ASSERT_EQ(dlg->focusWidget(), dlg->SchliessenBitBtn);
    Zaehlung_neu();
    QTest::keyClick(dlg->SchliessenBitBtn, Qt::Key_X);
    EXPECT_FALSE(dlg->Beschaeftigt());
    EXPECT_EQ(Anzahl(Neue_Befehle(), "L3"), 0);
    EXPECT_TRUE(dlg->isVisible());

    dlg->StartPunktPageControl->setCurrentIndex(1);
    dlg->SchliessenBitBtn->setFocus();
    sim->Zeitskala_setzen(1);
    Zaehlung_neu();
    QTest::keyPress(dlg->SchliessenBitBtn, Qt::Key_X);
    for (std::size_t n = basis + 1; sim->Warten_auf_Anfragen(n, 5000); ++n)
        if (sim->Anfragen()[n - 1].starts_with("L3")) break;
    QTest::keyRelease(dlg->SchliessenBitBtn, Qt::Key_X);
    ASSERT_TRUE(Abwarten());
    EXPECT_THAT(Neue_Befehle(), ::testing::Contains("L3,X50000"));
    EXPECT_LT(sim->Position('x'), 50000);
    EXPECT_EQ(dlg->Arbeiter()->Letzter_Fehlercode(), THROW_ABORT);
}

TEST_F(QuarrenFormTest, SpracheAusDerParameterdateiGiltFuerTitelTexteUndDialoge) {
    std::vector<Sprache> weitergegeben;
    dlg->Sprache_weitergeben = [&](Sprache s) { weitergegeben.push_back(s); };
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_EQ(dlg->windowTitle(), "Doming mit Pellix - Deutsch");
    EXPECT_EQ(dlg->FortsetzenBitBtn->text(), "F&ortsetzen");
    DomingParameter englisch;
    englisch.Sprache = "englisch";
    ASSERT_TRUE(DomingParameter_speichern(DomingParameter_Dateiname(), englisch));
    dlg->Parameter_oeffnen = [](DomingParameter& p) {
        p = DomingParameter_laden(DomingParameter_Dateiname());
    };
    dlg->MenuParameterClick();
    EXPECT_EQ(dlg->windowTitle(), "Doming-Englisch");
    EXPECT_EQ(dlg->FortsetzenBitBtn->text(), "Continue");
    EXPECT_EQ(dlg->DruckGroupBox->title(), " Pressures to store ");
    ASSERT_FALSE(weitergegeben.empty());
    EXPECT_EQ(weitergegeben.back(), Sprache::englisch);
}

} // namespace
