// The program memory dialog on Qt's offscreen platform against the simulated KXvario: what the
// dialog shows of the exchanges (place colours, the transcript with its colours, the controls
// while an action runs) and the erase-all mode that closes by itself. The exchanges themselves
// are tested in tests/tables/programmspeicher_test.cpp.

#include "tables/qt/flashdlg.h"

#include "core/maschinenparameter.h"
#include "qt/fensteroberflaeche.h"
#include "simumgebung.h"
#include "tables/tabelle.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <gmock/gmock.h>

#include <memory>
#include <string>

using namespace orvexa;
using namespace orvexa::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class FlashdlgTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Achsen_einstellen(100);
        ASSERT_NO_FATAL_FAILURE(Verbinden());
        tabelle.Schritteingabe = true;
        tabelle.ZeileHinzufuegen(2);
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "400"));
        ASSERT_TRUE(tabelle.Zelle_setzen(2, 10, "20"));
        tabelle.DateiName = ordner.Datei("probe.edt");
        ASSERT_TRUE(tabelle.TabelleSpeichern());
        dlg = std::make_unique<TFlashDlg>(tabelle);
    }

    void TearDown() override {
        dlg.reset();
        SerielleSimulation::TearDown();
    }

    // Shows the dialog and waits until the first reading is over and shown.
    void Oeffnen() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        ASSERT_TRUE(Abwarten());
    }
    bool Abwarten() {
        if (!QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 10'000)) return false;
        // Every line of the action was queued before it showed as over.
        QCoreApplication::processEvents();
        return true;
    }
    bool Klicken(QAbstractButton* knopf) {
        knopf->click();
        return Abwarten();
    }

    std::vector<bool> Rot() const {
        std::vector<bool> rot;
        for (QToolButton* k : dlg->SpeedButtons) {
            const QColor farbe = k->palette().color(QPalette::ButtonText);
            EXPECT_TRUE(farbe == TFlashDlg::Platzfarbe(true) ||
                        farbe == TFlashDlg::Platzfarbe(false))
                << k->text().toStdString();
            rot.push_back(farbe == TFlashDlg::Platzfarbe(true));
        }
        return rot;
    }
    QStringList Zeilen() const { return dlg->RichEdit->toPlainText().split('\n'); }
    bool Frei() const {
        return dlg->ProgrammGroupBox->isEnabled() && dlg->ReferenzfahrtGroupBox->isEnabled() &&
               dlg->DurchlaeufeEdit->isEnabled() && dlg->zAchseInterpolierenCheckBox->isEnabled() &&
               dlg->AlleProgrammeLoeschenButton->isEnabled();
    }

    Fensteroberflaeche fenster_ui{ui};
    Positionstabelle tabelle;
    std::unique_ptr<TFlashDlg> dlg;
};

TEST_F(FlashdlgTest, LeererSpeicherAlleGruenUndProgrammEinsIstLeer) {
    EXPECT_EQ(dlg->windowTitle(), "dKXCU-Mikrocontroller Unit");
    EXPECT_TRUE(dlg->SpeedButtons[0]->isChecked());
    EXPECT_EQ(dlg->DurchlaeufeEdit->maxLength(), 3);
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    EXPECT_EQ(dlg->Programmnummer, 1);
    EXPECT_EQ(dlg->DurchlaeufeEdit->text(), "1");
    EXPECT_THAT(Rot(), ElementsAre(false, false, false, false, false, false, false));
    EXPECT_EQ(Zeilen(), QStringList({"### Programm 1 lesen ###", "*PR1<CR>", "E3<BEL>",
                                     "### Der Programmspeicher ist leer ! ###",
                                     "### Programm 1 lesen - Ende ###"}));
    // Requests black, answers blue, status lines in the colour before them.
    EXPECT_EQ(dlg->Zeilenfarbe(0), QColor(Qt::black));
    EXPECT_EQ(dlg->Zeilenfarbe(1), QColor(Qt::black));
    EXPECT_EQ(dlg->Zeilenfarbe(2), QColor(Qt::blue));
    EXPECT_EQ(dlg->Zeilenfarbe(3), QColor(Qt::blue));
    EXPECT_TRUE(Frei());
    EXPECT_THAT(ui.Meldungen(), IsEmpty());
}

TEST_F(FlashdlgTest, NullDurchlaeufePiepenNurUndGebenDieSteuerelementeFrei) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    const QString vorher = dlg->RichEdit->toPlainText();
    Zaehlung_neu();
    for (const char* text : {"0", "-1", "ab"}) {
        ui.Leeren();
        dlg->DurchlaeufeEdit->setText(QString::fromLatin1(text));
        ASSERT_TRUE(Klicken(dlg->ProgrammSchreibenButton));
        ASSERT_EQ(ui.Toene().size(), 1u) << text;
        EXPECT_EQ(ui.Toene()[0].hz, 440);
        EXPECT_TRUE(Frei()) << text;
    }
    EXPECT_THAT(Neue_Anfragen(), IsEmpty());
    EXPECT_EQ(dlg->RichEdit->toPlainText(), vorher);
}

TEST_F(FlashdlgTest, SchreibenMachtPlatzDreiRotLoeschenMachtIhnGruen) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    ASSERT_TRUE(Klicken(dlg->SpeedButtons[2]));
    EXPECT_EQ(dlg->Programmnummer, 3);
    dlg->xAchseCheckBox->setChecked(true);
    dlg->DurchlaeufeEdit->setText("4");
    ASSERT_TRUE(Klicken(dlg->ProgrammSchreibenButton));
    EXPECT_THAT(Rot(), ElementsAre(false, false, true, false, false, false, false));
    EXPECT_EQ(Zeilen().front(), "### Programm 3 schreiben! ###");
    EXPECT_EQ(Zeilen().back(), "### Programm 3 schreiben - Ende ###");
    EXPECT_TRUE(Zeilen().contains("...Durchlaufparameter: 4 ..."));
    ASSERT_TRUE(sim->Programmplatz(3).has_value());
    EXPECT_EQ(sim->Programmplatz(3)->Befehle.front(), "#PD,4");
    EXPECT_TRUE(Frei());

    ui.Antworten_vorgeben({Antwort::ja});
    ASSERT_TRUE(Klicken(dlg->ProgrammLoeschenButton));
    EXPECT_THAT(Rot(), ElementsAre(false, false, false, false, false, false, false));
    EXPECT_EQ(Zeilen().back(), "### Programm 3 löschen - Ende ###");
    EXPECT_FALSE(sim->Programmplatz(3).has_value());
}

TEST_F(FlashdlgTest, AllesLoeschenModusMitNeinSendetNichtsUndSchliesstSich) {
    dlg->LoeschModus = true;
    ui.Antworten_vorgeben({Antwort::nein});
    dlg->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->isVisible(); }, 10'000));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text,
              "Möchten Sie wirklich den gesamten Festwertspeicher löschen?\n");
    EXPECT_THAT(Neue_Anfragen(), IsEmpty());
    EXPECT_TRUE(dlg->RichEdit->toPlainText().isEmpty());
}

TEST_F(FlashdlgTest, WaehrendEinerAktionSindDieSteuerelementeGesperrt) {
    ASSERT_NO_FATAL_FAILURE(Oeffnen());
    sim->Stumm_schalten(true);
    Zaehlung_neu();
    dlg->SpeedButtons[1]->click();
    ASSERT_TRUE(Warten_auf_neue_Anfragen(1));
    EXPECT_TRUE(dlg->Beschaeftigt());
    EXPECT_FALSE(dlg->ProgrammGroupBox->isEnabled());
    EXPECT_FALSE(dlg->ReferenzfahrtGroupBox->isEnabled());
    EXPECT_FALSE(dlg->DurchlaeufeEdit->isEnabled());
    EXPECT_FALSE(dlg->zAchseInterpolierenCheckBox->isEnabled());
    EXPECT_FALSE(dlg->AlleProgrammeLoeschenButton->isEnabled());
    // A second action is not taken while one runs.
    dlg->AlleProgrammeLoeschenButtonClick();
    ASSERT_TRUE(Abwarten());
    EXPECT_TRUE(Frei());
    EXPECT_THAT(Neue_Anfragen(), ElementsAre("*FR1"));
    // The time-out is reported once, by the dialog.
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "orvexa2011");
}

} // namespace
