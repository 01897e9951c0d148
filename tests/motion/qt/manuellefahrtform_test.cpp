// The jog dialog on Qt's offscreen platform, over the recording driver doubles: step width,
// keyboard jogging and its guards, the named positions with editing and saving, the size
// toggle, and the worker's moves shown on the window thread.

#include "motion/qt/manuellefahrtform.h"

#include "attrappen.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "qt/fensteroberflaeche.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace orvexa;
using namespace orvexa::test;

namespace {

class ManuelleFahrtFormTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Maschinenparameter& p = Parametersatz();
        p.ComPort = 1;
        p.Startfreq = 200;
        p.Arbeitsfreq = 1000;
        p.Eilfreq = 3000;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        Parameterdatei() = ordner.Datei("orvexa2011_param.dat");
        Steuerung_einrichten(5);
        dlg = std::make_unique<TManuelleFahrtForm>();
    }

    void TearDown() override {
        dlg.reset();
        Parameterdatei().clear();
        Attrappenumgebung::TearDown();
    }

    void Oeffnen() {
        dlg->move(0, 0);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        fabrik.liste->Leeren();
    }

    bool Abwarten() {
        if (!QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 5000)) return false;
        QCoreApplication::processEvents();
        return true;
    }

    void Taste(Qt::Key taste, bool wiederholt = false) {
        QKeyEvent druck(QEvent::KeyPress, taste, Qt::NoModifier, QString(), wiederholt);
        QApplication::sendEvent(dlg->posStringGrid, &druck);
    }

    long Anzahl(const std::string& anfang) const {
        const auto a = Aufrufe();
        return std::count_if(a.begin(), a.end(),
                             [&](const std::string& z) { return z.starts_with(anfang); });
    }

    QString Zelle(QTableWidget* gitter, int zeile, int spalte) const {
        return gitter->item(zeile, spalte)->text();
    }

    Fensteroberflaeche fenster_ui{ui};
    std::unique_ptr<TManuelleFahrtForm> dlg;
};

TEST_F(ManuelleFahrtFormTest, ErzeugungUndOeffnen) {
    EXPECT_EQ(dlg->windowTitle(), "Manuelle Fahrt");
    EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dlg->GroesseButton->text(), "vergrößern");
    EXPECT_EQ(dlg->Faktor, 1.0);
    EXPECT_TRUE(dlg->SchrittweiteKnoepfe[0]->isChecked());
    EXPECT_EQ(dlg->SchrittweiteMaskEdit->text(), "5.00");
    EXPECT_FALSE(dlg->TastaturCheckBox->isChecked());
    EXPECT_FALSE(dlg->EditierenButton->isChecked());
    EXPECT_EQ(Zelle(dlg->posStringGrid, 0, 1), " x-Achse");
    EXPECT_EQ(Zelle(dlg->posStringGrid, 3, 0), " Werkzeuglängen-Messposition");
    EXPECT_EQ(Zelle(dlg->aktStringGrid, 1, 0), "  akt. Position");
    EXPECT_EQ(dlg->posStringGrid->columnWidth(0), 156);
    EXPECT_EQ(dlg->posStringGrid->rowHeight(2), 17);
    EXPECT_EQ(dlg->EinBitBtn->y(), dlg->zPos_BitBtn->y());
    EXPECT_EQ(dlg->AusBitBtn->y(), dlg->zNeg_BitBtn->y());

    Linie()->Position_vorgeben('y', 600);
    Parametersatz().zParkposition = -2.5;
    dlg->Vollinitialisierung = true;
    dlg->Panelfarbe = QColor(0xFF, 0xFF, 0x80);
    Oeffnen();
    EXPECT_GE(dlg->y(), 120);
    EXPECT_EQ(dlg->Panel->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0x80));
    const QImage kaestchen = dlg->TastaturCheckBox->grab().toImage();
    EXPECT_EQ(QColor(kaestchen.pixel(kaestchen.width() - 2, kaestchen.height() / 2)),
              QColor(0xFF, 0xFF, 0x80));
    EXPECT_EQ(dlg->SpeedScrollBar->minimum(), 200);
    EXPECT_EQ(dlg->SpeedScrollBar->maximum(), 3000);
    EXPECT_EQ(dlg->SpeedScrollBar->value(), 3000);
    EXPECT_EQ(dlg->SpeedAnzeigeLabel->text(), "3000 Hz");
    dlg->SpeedScrollBar->setValue(1200);
    EXPECT_EQ(dlg->SpeedAnzeigeLabel->text(), "1200 Hz");
    EXPECT_FALSE(dlg->AbbrechenBitBtn->isVisible());
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    // Shown once initialised.
    EXPECT_EQ(Zelle(dlg->aktStringGrid, 1, 2), "  1.50");
    EXPECT_EQ(Zelle(dlg->posStringGrid, 2, 3), "  -2.50");
    EXPECT_EQ(dlg->Zeile, 1);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ManuelleFahrtFormTest, EigeneSchrittweiteUndTippen) {
    Oeffnen();
    QTest::mouseClick(dlg->SchrittweiteMaskEdit, Qt::LeftButton);
    EXPECT_TRUE(dlg->SchrittweiteKnoepfe[3]->isChecked());
    dlg->SchrittweiteMaskEdit->setText("2,5");
    dlg->SchrittweiteMaskEditExit();
    EXPECT_EQ(dlg->SchrittweiteMaskEdit->text(), "2.50");
    EXPECT_EQ(dlg->Schrittweite, 2.5);

    dlg->SpeedScrollBar->setValue(800);
    dlg->xNeg_BitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Endgeschwindigkeit_einstellen(8, 800)"), 1);
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 8, -1000, 0, 0)"), 1);
    EXPECT_EQ(dlg->Richtung, -1);

    // The fixed widths; a text that is no number keeps the width in force and says so.
    dlg->SchrittweiteKnoepfe[1]->click();
    EXPECT_EQ(dlg->Schrittweite, 0.1);
    dlg->SchrittweiteMaskEdit->setText("1.2.3");
    dlg->SchrittweiteMaskEditExit();
    EXPECT_EQ(dlg->Schrittweite, 0.1);
    EXPECT_EQ(dlg->SchrittweiteMaskEdit->text(), "0.10");
    EXPECT_EQ(ui.Meldungen().size(), 1u);
}

// Clicking into the width field chooses the width it shows, even when the text stays as it is.
TEST_F(ManuelleFahrtFormTest, KlickInsSchrittweitenfeldGiltOhneAenderung) {
    Oeffnen();
    QTest::mouseClick(dlg->SchrittweiteMaskEdit, Qt::LeftButton);
    dlg->SpeedScrollBar->setValue(800);
    dlg->xNeg_BitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 8, -2000, 0, 0)"), 1);
}

TEST_F(ManuelleFahrtFormTest, PfeiltastenNurMitTastatursteuerungUndOhneEditieren) {
    Oeffnen();
    Taste(Qt::Key_Right);
    Taste(Qt::Key_PageDown);
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt"), 0);

    dlg->TastaturCheckBox->click();
    dlg->EditierenButton->click();
    EXPECT_FALSE(dlg->Panel->isEnabled());
    EXPECT_FALSE(dlg->SpeedScrollBar->isEnabled());
    Taste(Qt::Key_Left);
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt"), 0);
    dlg->EditierenButton->click();
    EXPECT_TRUE(dlg->Panel->isEnabled());

    const std::vector<std::pair<Qt::Key, std::string>> tasten{
        {Qt::Key_Left, "(1, 8, -20, 0, 0)"},   {Qt::Key_Right, "(1, 8, 20, 0, 0)"},
        {Qt::Key_Up, "(1, 8, 0, -20, 0)"},     {Qt::Key_Down, "(1, 8, 0, 20, 0)"},
        {Qt::Key_PageUp, "(1, 8, 0, 0, -20)"}, {Qt::Key_PageDown, "(1, 8, 0, 0, 20)"}};
    for (const auto& [taste, argumente] : tasten) {
        fabrik.liste->Leeren();
        Taste(taste);
        ASSERT_TRUE(Abwarten());
        EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren" + argumente), 1) << argumente;
    }
    // Esc while idle stops the axes and leaves the dialog open.
    Taste(Qt::Key_Escape);
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(ManuelleFahrtFormTest, GehalteneTasteGibtEinenSchrittJeAngenommenemDruck) {
    Oeffnen();
    dlg->TastaturCheckBox->click();
    Linie()->Sperre_setzen("Vektorfahrt_ausfuehren");
    Taste(Qt::Key_Right);
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->AbbrechenBitBtn->isVisible(); }, 5000));
    EXPECT_FALSE(dlg->Panel->isEnabled());
    EXPECT_FALSE(dlg->ZuweisenBitBtn->isEnabled());
    EXPECT_FALSE(dlg->SchliessenBitBtn->isVisible());
    for (int i = 0; i < 8; ++i) {
        Taste(Qt::Key_Right, true);
        dlg->zPos_BitBtn->click();
    }
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt"), 1);
    EXPECT_TRUE(dlg->Panel->isEnabled());
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());

    // The key still held: the next repeat that finds the worker idle is one more step.
    Taste(Qt::Key_Right, true);
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 8, 20, 0, 0)"), 2);
}

TEST_F(ManuelleFahrtFormTest, EscWaehrendDerFahrtHaeltAnUndZeigtDiePosition) {
    Oeffnen();
    Linie()->Position_vorgeben('x', 40);
    Linie()->Sperre_setzen("Vektorfahrt_ausfuehren");
    Linie()->Bei_Aufruf("Achsen_anhalten",
                        [] { Linie()->Sperre_loesen("Vektorfahrt_ausfuehren"); });
    dlg->xPos_BitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    // Without keyboard control too: a running move always stops on Esc.
    Taste(Qt::Key_Escape);
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    EXPECT_EQ(Zelle(dlg->aktStringGrid, 1, 1), "  0.10");
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(ManuelleFahrtFormTest, UnerwarteterFehlerImArbeiterZeigtEineBoxUndGibtDenDialogFrei) {
    struct Fall {
        const char* operation;
        std::function<void()> fehler;
        QPushButton* TManuelleFahrtForm::*knopf;
        const char* text;
    };
    const std::vector<Fall> faelle{
        {"Vektorfahrt_ausfuehren", [] { throw std::logic_error("Schritte außerhalb"); },
         &TManuelleFahrtForm::xPos_BitBtn, "Schritte außerhalb"},
        {"Achsenposition_abfragen", [] { throw 7; }, &TManuelleFahrtForm::AnfahrenBitBtn,
         "unbekannte Ausnahme"},
    };
    Oeffnen();
    for (const Fall& fall : faelle) {
        ui.Leeren();
        Linie()->Bei_Aufruf(fall.operation, fall.fehler);
        (dlg.get()->*fall.knopf)->click();
        ASSERT_TRUE(Abwarten()) << fall.operation;
        Linie()->Bei_Aufruf(fall.operation, {});
        const auto meldungen = ui.Meldungen();
        ASSERT_EQ(meldungen.size(), 1u) << fall.operation;
        EXPECT_EQ(meldungen[0].text, fall.text);
        EXPECT_EQ(meldungen[0].titel, "orvexa2011");
        // Back at rest: the jog controls work again, the position is shown as unknown.
        EXPECT_TRUE(dlg->Panel->isEnabled()) << fall.operation;
        EXPECT_TRUE(dlg->AnfahrenBitBtn->isEnabled());
        EXPECT_FALSE(dlg->AbbrechenBitBtn->isVisible());
        EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
        EXPECT_EQ(Zelle(dlg->aktStringGrid, 1, 1), "- - -");
    }
    fabrik.liste->Leeren();
    dlg->yPos_BitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 8, 0, 20, 0)"), 1);
    EXPECT_EQ(Zelle(dlg->aktStringGrid, 1, 1), "  0.00");
    EXPECT_EQ(ui.Meldungen().size(), 1u);
}

TEST_F(ManuelleFahrtFormTest, LoeschenInZeileDreiUndSchliessenSpeichertNullen) {
    Parametersatz().xWZLMessposition = 12.5;
    Parametersatz().yWZLMessposition = -3;
    Parametersatz().zWZLMessposition = 7.25;
    Oeffnen();
    EXPECT_EQ(Zelle(dlg->posStringGrid, 3, 1), "  12.50");
    dlg->posStringGrid->setCurrentCell(3, 2);
    EXPECT_EQ(dlg->Zeile, 3);
    dlg->LoeschenBitBtn->click();
    EXPECT_EQ(Zelle(dlg->posStringGrid, 3, 3), "  0.00");
    dlg->SchliessenBitBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    const std::string datei = Datei_lesen(Parameterdatei());
    for (const char* schluessel : {"xWZLMessposition", "yWZLMessposition", "zWZLMessposition"})
        EXPECT_THAT(datei, ::testing::HasSubstr(std::string(schluessel) + "=0.00\r\n"));
}

TEST_F(ManuelleFahrtFormTest, EditierenSchreibtDieZellenZurueck) {
    Linie()->Position_vorgeben('z', -800);
    Oeffnen();
    dlg->posStringGrid->setCurrentCell(4, 0);
    dlg->ZuweisenBitBtn->click();
    EXPECT_EQ(Parametersatz().zWZWechselposition, -2.0);

    dlg->EditierenButton->click();
    // The name column cannot be chosen while editing.
    EXPECT_FALSE(dlg->posStringGrid->item(2, 0)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(dlg->posStringGrid->item(2, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(dlg->posStringGrid->currentRow(), 4);
    dlg->posStringGrid->item(1, 1)->setText("3,75");
    dlg->posStringGrid->item(2, 3)->setText("-1");
    dlg->EditierenButton->click();
    EXPECT_EQ(Parametersatz().xWerkstuecknullpunkt, 3.75);
    EXPECT_EQ(Parametersatz().zParkposition, -1.0);
    EXPECT_EQ(Parametersatz().zWZWechselposition, -2.0);
    EXPECT_EQ(Zelle(dlg->posStringGrid, 1, 1), "  3.75");
    EXPECT_FALSE(dlg->posStringGrid->item(2, 1)->flags() & Qt::ItemIsEditable);
    Maschinenparameter gelesen;
    Parameterdatei_laden(gelesen, Parameterdatei());
    EXPECT_EQ(gelesen.xWerkstuecknullpunkt, 3.75);
    EXPECT_EQ(gelesen.zWZWechselposition, -2.0);
}

TEST_F(ManuelleFahrtFormTest, VergroessernUndVerkleinernKehrtZurGroesseZurueck) {
    dlg->resize(324, dlg->height());
    const QSize vorher = dlg->size();
    const QRect knopf = dlg->xPos_BitBtn->geometry();
    dlg->GroesseButton->click();
    EXPECT_EQ(dlg->GroesseButton->text(), "verkleinern");
    EXPECT_EQ(dlg->Faktor, 1.6);
    EXPECT_EQ(dlg->width(), 518);
    EXPECT_EQ(dlg->posStringGrid->columnWidth(0), 248);
    EXPECT_EQ(dlg->posStringGrid->rowHeight(1), 24);
    EXPECT_EQ(dlg->AnfahrenBitBtn->font().pointSize(), 12);
    EXPECT_EQ(dlg->xPos_BitBtn->x(), 208);

    dlg->GroesseButton->click();
    EXPECT_EQ(dlg->GroesseButton->text(), "vergrößern");
    EXPECT_NEAR(dlg->width(), vorher.width(), 2);
    EXPECT_NEAR(dlg->height(), vorher.height(), 2);
    EXPECT_NEAR(dlg->xPos_BitBtn->x(), knopf.x(), 2);
    EXPECT_NEAR(dlg->xPos_BitBtn->width(), knopf.width(), 2);
    EXPECT_EQ(dlg->AnfahrenBitBtn->font().pointSize(), 8);
    EXPECT_EQ(dlg->posStringGrid->columnWidth(1), 48);
    EXPECT_EQ(Zelle(dlg->posStringGrid, 0, 0), " Bezeichnung");
}

TEST_F(ManuelleFahrtFormTest, SchliessenWaehrendDerFahrtHaeltSieAn) {
    Parametersatz().xWerkstuecknullpunkt = 1.0;
    Oeffnen();
    Linie()->Sperre_setzen("Vektorfahrt_ausfuehren");
    Linie()->Bei_Aufruf("Achsen_anhalten",
                        [] { Linie()->Sperre_loesen("Vektorfahrt_ausfuehren"); });
    dlg->AnfahrenBitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("Vektorfahrt_ausfuehren"));
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Beschaeftigt());
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    // The stopped approach went no further than its first move.
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt"), 1);

    // Opened again, a new worker jogs.
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    Oeffnen();
    dlg->yPos_BitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 8, 0, 20, 0)"), 1);
}

} // namespace
