// The parameter dialog on Qt's offscreen platform: pages per controller type, a type click,
// the interface panel with its ports, OK writing the file, Abbrechen and Esc, colours, shadows
// and focus.

#include "config/qt/parameterform.h"

#include "core/maschinenparameter.h"
#include "core/steuerungstypen.h"
#include "platform/portverzeichnis.h"
#include "testhilfen.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

using namespace orvexa;
using orvexa::test::Datei_lesen;
using orvexa::test::Datei_schreiben;
using orvexa::test::Scheingeraete;
using orvexa::test::Testumgebung;
using orvexa::test::Zeilen;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace fs = std::filesystem;

namespace {

class ParameterformTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        geraete.emplace(fs::canonical(ordner.Pfad()).string());
        dev = geraete->dev;
        ports = geraete->ports;

        datei = ordner.Datei("orvexa2011_param.dat");
        Parameterdatei() = datei;
        Parameter_Standardwerte(Parametersatz());
        dlg = std::make_unique<TParameterForm>();
    }
    void TearDown() override {
        dlg.reset();
        Parameterdatei().clear();
        geraete.reset();
        Testumgebung::TearDown();
    }

    void Oeffnen() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    // Shown on its page, whichever page is in front.
    bool sichtbar(const QWidget* w) const {
        for (; w && !dynamic_cast<const Schattenseite*>(w); w = w->parentWidget())
            if (w->isHidden()) return false;
        return w != nullptr;
    }
    QRadioButton* Typknopf(int32_t modul) const {
        const auto typen = Steuerungstypen();
        for (std::size_t i = 0; i < typen.size(); ++i)
            if (typen[i].Modul == modul) return dlg->TypRadioButton[i];
        return nullptr;
    }
    void Eingeben(QLineEdit* feld, const QString& text) {
        feld->selectAll();
        QTest::keyClicks(feld, text);
    }
    // A USB adapter in the made-up device folder.
    void Adapter(const std::string& knoten, const std::string& by_id) {
        Datei_schreiben(dev + "/" + knoten, "");
        fs::create_symlink("../../" + knoten, dev + "/serial/by-id/" + by_id);
    }
    std::vector<std::string> Dateizeilen() const { return Zeilen(Datei_lesen(datei)); }

    std::string dev, ports, datei;
    std::unique_ptr<TParameterForm> dlg;

private:
    std::optional<Scheingeraete> geraete;
};

TEST_F(ParameterformTest, SeitenBeschriftungenUndGrundfarben) {
    EXPECT_EQ(dlg->windowTitle(), "Parameter");
    ASSERT_EQ(dlg->PageControl->count(), 5);
    EXPECT_EQ(dlg->PageControl->tabText(0), "Schrittmotorsteuerkarten-Typ");
    EXPECT_EQ(dlg->PageControl->tabText(3), "Referenz");
    EXPECT_FALSE(dlg->PageControl->isTabVisible(4)); // the pin page
    ASSERT_EQ(dlg->TypRadioButton.size(), 12u);
    EXPECT_EQ(dlg->TypRadioButton[0]->text(), "  KX400 / 750");
    EXPECT_EQ(dlg->TypRadioButton[8]->text(), "  KX400 / 750  *)");
    EXPECT_EQ(dlg->OKButton[2]->text(), "&OK");
    EXPECT_EQ(dlg->AbbrechenButton[3]->text(), "&Abbrechen");
    EXPECT_EQ(dlg->KartentypPanel->palette().color(QPalette::Window), QColor(0xAA, 0xAA, 0xAA));
    EXPECT_EQ(dlg->SchnittstellePanel->palette().color(QPalette::Window), QColor(0x88, 0x88, 0x88));
    EXPECT_EQ(dlg->TypRadioButton[0]->palette().color(QPalette::WindowText), QColor(Qt::white));
}

TEST_F(ParameterformTest, FarbsatzDesHauptfensters) {
    dlg->Farben_setzen(QColor(0x00, 0xCC, 0x00), QColor(0x00, 0x80, 0xFF), Qt::black, Qt::white,
                       Qt::black, Qt::white);
    for (QWidget* w :
         std::initializer_list<QWidget*>{dlg->KartentypPanel, dlg->GeschwindigkeitPanel,
                                         dlg->UebersetzShape, dlg->RefOffsetShape})
        EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0x00, 0xCC, 0x00));
    EXPECT_EQ(dlg->SchnittstellePanel->palette().color(QPalette::Window), QColor(0x00, 0x80, 0xFF));
    EXPECT_EQ(dlg->RefFreqGroupBox->palette().color(QPalette::Window), QColor(0x00, 0x80, 0xFF));
    EXPECT_EQ(dlg->SchnittstelleLabel->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(dlg->LPT1RadioButton->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(dlg->TypRadioButton[3]->palette().color(QPalette::WindowText), QColor(Qt::black));
}

TEST_F(ParameterformTest, OeffnenMitTaktRichtung) {
    Parametersatz().Modul = 4;
    Parametersatz().Startfreq = 321;
    Oeffnen();
    EXPECT_TRUE(Typknopf(4)->isChecked());
    EXPECT_EQ(dlg->SchnittstelleLabel->text(), "parallele Schnittstelle");
    EXPECT_TRUE(sichtbar(dlg->LPT1RadioButton));
    EXPECT_TRUE(dlg->LPT1RadioButton->isChecked());
    EXPECT_FALSE(sichtbar(dlg->ComPortComboBox));
    EXPECT_FALSE(sichtbar(dlg->BaudrateComboBox));
    EXPECT_TRUE(sichtbar(dlg->UebersetzEdit[3]));
    EXPECT_TRUE(sichtbar(dlg->MotStepEdit[3]));
    EXPECT_TRUE(sichtbar(dlg->RefOffsetEdit[3]));
    EXPECT_TRUE(sichtbar(dlg->RefNrEdit[3]));
    EXPECT_FALSE(sichtbar(dlg->AnsteuersignalRadioGroup));
    EXPECT_FALSE(sichtbar(dlg->SchrittbetriebRadioGroup));
    EXPECT_FALSE(sichtbar(dlg->RuhestromRadioGroup));
    EXPECT_FALSE(sichtbar(dlg->ZAchseRadioGroup));
    EXPECT_FALSE(sichtbar(dlg->UAchseRadioGroup));
    EXPECT_TRUE(sichtbar(dlg->RefFreqGroupBox));
    EXPECT_TRUE(dlg->Gezeigt());
    EXPECT_TRUE(sichtbar(dlg->OKButton[0]));

    // The y, z, u speed columns show the one set of speeds and follow the x column.
    EXPECT_TRUE(sichtbar(dlg->StartfreqEdit[2]));
    EXPECT_EQ(dlg->StartfreqEdit[2]->text(), "321");
    EXPECT_TRUE(dlg->StartfreqEdit[3]->isReadOnly());
    Eingeben(dlg->StartfreqEdit[0], "555");
    EXPECT_EQ(dlg->StartfreqEdit[1]->text(), "555");
    EXPECT_EQ(dlg->UebersetzEdit[0]->text(), "1.00");
    EXPECT_EQ(dlg->RefOffsetEdit[1]->text(), "0.25");
    EXPECT_EQ(dlg->RefNrEdit[2]->text(), "1");
}

TEST_F(ParameterformTest, SerielleTypenOhneSpaltenUndURZeilen) {
    Parametersatz().Modul = 5;
    Oeffnen();
    EXPECT_EQ(dlg->SchnittstelleLabel->text(), "serielle Schnittstelle");
    EXPECT_FALSE(sichtbar(dlg->LPT1RadioButton));
    EXPECT_TRUE(sichtbar(dlg->ComPortComboBox));
    EXPECT_FALSE(sichtbar(dlg->StartfreqEdit[1]));
    EXPECT_FALSE(sichtbar(dlg->UebersetzEdit[3]));
    EXPECT_FALSE(sichtbar(dlg->RefNrEdit[3]));
    EXPECT_TRUE(sichtbar(dlg->UebersetzEdit[2]));
    EXPECT_FALSE(sichtbar(dlg->AnsteuersignalRadioGroup));

    QTest::mouseClick(Typknopf(3), Qt::LeftButton);
    EXPECT_TRUE(sichtbar(dlg->UAchseRadioGroup));
    EXPECT_EQ(dlg->UAchseRadioGroup->ItemIndex(), 1); // the type's preset: rotary axis
    EXPECT_TRUE(sichtbar(dlg->UebersetzEdit[3]));
    EXPECT_EQ(dlg->BaudrateComboBox->count(), 1);
    EXPECT_EQ(dlg->BaudrateComboBox->currentText(), "19200");
}

TEST_F(ParameterformTest, TypklickSetztTitelVorgabenUndNurKXSignal) {
    Maschinenparameter& p = Parametersatz();
    p.Modul = 5;
    p.Steuersignal = 1;
    p.Schrittbetrieb = 1;
    p.Ruhestrom = 2;
    Oeffnen();
    Eingeben(dlg->ArbeitsfreqEdit[0], "777"); // typed, not yet confirmed

    QTest::mouseClick(Typknopf(0), Qt::LeftButton);
    EXPECT_EQ(dlg->windowTitle(), "KX400 / KX750 - Parameter");
    EXPECT_EQ(p.Modul, 0);
    EXPECT_EQ(p.Steuersignal, 0);
    EXPECT_EQ(p.Schrittbetrieb, 0);
    EXPECT_EQ(p.Ruhestrom, 1);
    EXPECT_TRUE(sichtbar(dlg->AnsteuersignalRadioGroup));
    EXPECT_TRUE(sichtbar(dlg->AnsteuersignalRadioGroup->Knopf(0)));
    EXPECT_FALSE(sichtbar(dlg->AnsteuersignalRadioGroup->Knopf(1)));
    EXPECT_EQ(dlg->AnsteuersignalRadioGroup->ItemIndex(), 0);
    EXPECT_EQ(dlg->SchrittbetriebRadioGroup->ItemIndex(), 0);
    EXPECT_EQ(dlg->RuhestromRadioGroup->ItemIndex(), 1);
    EXPECT_EQ(dlg->SchnittstelleLabel->text(), "parallele Schnittstelle");
    // The refill keeps what was typed on the other pages.
    EXPECT_EQ(dlg->ArbeitsfreqEdit[0]->text(), "777");
    EXPECT_EQ(p.Arbeitsfreq, 400);
}

TEST_F(ParameterformTest, Modul6ZeigtImmer115200) {
    Parametersatz().Modul = 6;
    Parametersatz().Baudrate = 19200;
    Oeffnen();
    ASSERT_EQ(dlg->BaudrateComboBox->count(), 2);
    EXPECT_EQ(dlg->BaudrateComboBox->itemText(0), "115200");
    EXPECT_EQ(dlg->BaudrateComboBox->itemText(1), "19200");
    EXPECT_EQ(dlg->BaudrateComboBox->currentText(), "115200");
    EXPECT_EQ(Parametersatz().Baudrate, 115200);
}

TEST_F(ParameterformTest, OKSchreibtDieDateiMitKorrekturen) {
    Maschinenparameter& p = Parametersatz();
    p.Modul = 4;
    p.xTakt = 9; // the preset of every showing replaces it
    Oeffnen();
    EXPECT_EQ(p.xTakt, 3);
    EXPECT_EQ(dlg->PinVorlageComboBox->currentText(), "USB-iKXIF-v1r2");

    QTest::mouseClick(dlg->AdresseEdit, Qt::LeftButton);
    EXPECT_TRUE(dlg->AdresseRadioButton->isChecked());
    QTest::keyClicks(dlg->AdresseEdit, "3BC");
    Eingeben(dlg->RefNrEdit[0], "0");
    Eingeben(dlg->RefNrEdit[1], "7");
    Eingeben(dlg->UebersetzEdit[1], "2,5");
    Eingeben(dlg->EilfreqEdit[0], "1500");
    EXPECT_FALSE(fs::exists(datei));

    QTest::mouseClick(dlg->OKButton[3], Qt::LeftButton);
    EXPECT_EQ(dlg->OK(), 1);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Gezeigt());
    EXPECT_EQ(p.LPTAdresse, 956);
    EXPECT_EQ(p.xRefNr, 1);
    EXPECT_EQ(p.yRefNr, 4);

    const auto zeilen = Dateizeilen();
    EXPECT_EQ(zeilen.front(), "Modul=4");
    for (const char* z : {"LPTAdresse=956", "xRefNr=1", "yRefNr=4", "zRefNr=1", "yUebersetz=2.50",
                          "Eilfreq=1500", "xTakt=3", "xRichtung=2", "Bohrspindel=1",
                          "Kuehlmittelpumpe=14", "Absaugung=0", "ComPort=1", "Baudrate=115200"})
        EXPECT_THAT(zeilen, Contains(std::string(z)));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ParameterformTest, UngueltigeAdresseHaeltDenDialogOffen) {
    Parametersatz().Modul = 1;
    Oeffnen();
    dlg->PageControl->setCurrentIndex(2);
    dlg->AdresseRadioButton->setChecked(true);
    dlg->AdresseEdit->clear();
    QTest::mouseClick(dlg->OKButton[2], Qt::LeftButton);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("keine gültige Adresse"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->PageControl->currentIndex(), 0);
    EXPECT_EQ(dlg->OK(), 0);
    EXPECT_FALSE(fs::exists(datei));
    EXPECT_EQ(Parametersatz().LPTAdresse, 888);

    dlg->AdresseEdit->setText("0x2bc");
    QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton);
    EXPECT_EQ(dlg->OK(), 1);
    EXPECT_THAT(Dateizeilen(), Contains(std::string("LPTAdresse=700")));
}

TEST_F(ParameterformTest, AbbrechenSchreibtNichtsBehaeltAberDenTyp) {
    Datei_schreiben(datei, "Modul=5\r\nStartfreq=200\r\n");
    Maschinenparameter& p = Parametersatz();
    p.Modul = 5;
    p.Steuersignal = 0;
    Oeffnen();
    QTest::mouseClick(Typknopf(11), Qt::LeftButton);
    Eingeben(dlg->StartfreqEdit[0], "999");
    QTest::mouseClick(dlg->AbbrechenButton[1], Qt::LeftButton);

    EXPECT_EQ(dlg->OK(), 0);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Gezeigt());
    EXPECT_EQ(Datei_lesen(datei), "Modul=5\r\nStartfreq=200\r\n");
    EXPECT_EQ(p.Modul, 11);       // the click stays in memory
    EXPECT_EQ(p.Steuersignal, 1); // with its preset
    EXPECT_EQ(p.Startfreq, 200);  // what was typed does not
}

// Closing by Esc counts as Abbrechen: the next opening must not apply the type presets.
TEST_F(ParameterformTest, EscSchliesstWieAbbrechen) {
    Maschinenparameter& p = Parametersatz();
    p.Modul = 6;
    p.Ruhestrom = 2;
    Oeffnen();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Gezeigt());
    Oeffnen();
    EXPECT_EQ(p.Ruhestrom, 2);
    EXPECT_EQ(dlg->RuhestromRadioGroup->ItemIndex(), 2);
}

TEST_F(ParameterformTest, NurKXSignalBeimOeffnenMitModul0) {
    Parametersatz().Modul = 0;
    Parametersatz().Steuersignal = 1; // from a file; the type offers only KX-Signal
    Oeffnen();
    EXPECT_EQ(dlg->AnsteuersignalRadioGroup->ItemIndex(), 0);
    QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton);
    EXPECT_EQ(Parametersatz().Steuersignal, 0);
}

TEST_F(ParameterformTest, ComAuswahlUndNeuerAdapter) {
    Adapter("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    Adapter("ttyUSB1", "usb-Silicon_Labs_CP2102_0001-if00-port0");
    ASSERT_TRUE(COM_registrieren(3, dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
    Maschinenparameter& p = Parametersatz();
    p.Modul = 5;
    p.ComPort = 3;
    Oeffnen();
    ASSERT_EQ(dlg->ComPortComboBox->count(), 2);
    EXPECT_EQ(dlg->ComPortComboBox->currentText().toStdString(),
              "COM3  " + dev + "/ttyUSB0 (FTDI FT232R USB UART A1)");
    EXPECT_EQ(dlg->ComPortComboBox->itemText(1).toStdString(),
              "COM1  " + dev + "/ttyUSB1 (Silicon Labs CP2102 0001) \u2013 neu");

    // Chosen, it survives a type click, and OK enters it under its stable name.
    dlg->ComPortComboBox->setCurrentIndex(1);
    QTest::mouseClick(Typknopf(6), Qt::LeftButton);
    EXPECT_EQ(dlg->ComPortComboBox->currentIndex(), 1);
    QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton);
    EXPECT_EQ(dlg->OK(), 1);
    EXPECT_EQ(p.ComPort, 1);
    EXPECT_EQ(COM_Pfad(1), dev + "/ttyUSB1");
    EXPECT_EQ(fs::read_symlink(ports + "/COM1").string(),
              dev + "/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0");
    EXPECT_THAT(Dateizeilen(), Contains(std::string("ComPort=1")));
    EXPECT_THAT(Dateizeilen(), Contains(std::string("Modul=6")));
}

TEST_F(ParameterformTest, AbgezogenerPortBleibtGewaehlt) {
    Adapter("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
    ASSERT_TRUE(COM_registrieren(2, dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"));
    ASSERT_TRUE(COM_registrieren(9, dev + "/serial/by-id/usb-weg-if00-port0"));
    Parametersatz().Modul = 5;
    Parametersatz().ComPort = 9;
    Oeffnen();
    ASSERT_EQ(dlg->ComPortComboBox->count(), 2);
    EXPECT_EQ(dlg->ComPortComboBox->currentText(), "COM9  (nicht angeschlossen)");
    QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton);
    EXPECT_EQ(Parametersatz().ComPort, 9);

    // Another configured number that names no port at all: the first item, as before.
    Parametersatz().ComPort = 0;
    Oeffnen();
    EXPECT_EQ(dlg->ComPortComboBox->currentIndex(), 0);
    EXPECT_EQ(dlg->ComPortComboBox->count(), 1);
}

TEST_F(ParameterformTest, SchattenHinterSichtbarenGruppen) {
    Parametersatz().Modul = 4;
    dlg->resize(900, 600);
    Oeffnen();
    dlg->PageControl->setCurrentIndex(2);
    QCoreApplication::processEvents();
    const auto flaechen = dlg->MaschineSeite->Schattenflaechen();
    ASSERT_EQ(flaechen.size(), 2u); // the two shapes; every radio group is hidden for type 4
    const QRect shape = dlg->UebersetzShape->geometry();
    EXPECT_EQ(flaechen[0], shape.translated(4, 4));

    const QImage bild = dlg->MaschineSeite->grab().toImage();
    const QPoint ecke = flaechen[0].bottomRight();
    EXPECT_EQ(bild.pixelColor(ecke), QColor(0x58, 0x58, 0x58));
    EXPECT_NE(bild.pixelColor(shape.center()), QColor(0x58, 0x58, 0x58));

    QTest::mouseClick(Typknopf(6), Qt::LeftButton);
    EXPECT_EQ(dlg->MaschineSeite->Schattenflaechen().size(), 5u);
}

TEST_F(ParameterformTest, SeitenwechselSetztDenFokus) {
    Oeffnen();
    dlg->PageControl->setCurrentIndex(1);
    EXPECT_EQ(dlg->focusWidget(), dlg->StartfreqEdit[0]);
    dlg->PageControl->setCurrentIndex(2);
    EXPECT_EQ(dlg->focusWidget(), dlg->UebersetzEdit[0]);
    dlg->PageControl->setCurrentIndex(3);
    EXPECT_EQ(dlg->focusWidget(), dlg->RefOffsetEdit[0]);
    dlg->PageControl->setCurrentIndex(0);
    EXPECT_EQ(dlg->focusWidget(), dlg->OKButton[0]);
}

TEST_F(ParameterformTest, BenutzerdefiniertOeffnetDiePinfelder) {
    Oeffnen();
    EXPECT_FALSE(dlg->PinPanel[0]->isEnabled());
    dlg->PinVorlageComboBox->setCurrentText("userdefined");
    emit dlg->PinVorlageComboBox->activated(dlg->PinVorlageComboBox->currentIndex());
    for (QFrame* panel : dlg->PinPanel) {
        EXPECT_TRUE(panel->isEnabled());
        EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0x00, 0xCC, 0x00));
    }
    dlg->TaktComboBox[0]->setCurrentIndex(7);
    dlg->AbsaugungComboBox->setCurrentIndex(3);
    QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton);
    EXPECT_EQ(Parametersatz().xTakt, 9);
    EXPECT_EQ(Parametersatz().Absaugung, 17);

    // The next showing brings the initial preset back.
    Oeffnen();
    EXPECT_EQ(Parametersatz().xTakt, 3);
    EXPECT_EQ(Parametersatz().Absaugung, 0);
    EXPECT_FALSE(dlg->PinPanel[2]->isEnabled());
}

TEST_F(ParameterformTest, ModalMitExec) {
    Parametersatz().Modul = 12;
    QTimer::singleShot(0, dlg.get(),
                       [this] { QTest::mouseClick(dlg->OKButton[0], Qt::LeftButton); });
    EXPECT_EQ(dlg->exec(), QDialog::Accepted);
    EXPECT_EQ(dlg->OK(), 1);
    EXPECT_THAT(Dateizeilen(), Contains(std::string("Modul=12")));
}

} // namespace
