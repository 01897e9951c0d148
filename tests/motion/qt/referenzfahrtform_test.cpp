// The reference run dialog on Qt's offscreen platform, over the recording driver doubles:
// showing, the run started and stopped from the dialog with its state queued to the window
// thread, the switch display, closing (also during a run) and the stored axis choice.

#include "motion/qt/referenzfahrtform.h"

#include "attrappen.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "platform/programmverzeichnis.h"
#include "qt/fensteroberflaeche.h"

#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace orvexa;
using namespace orvexa::test;

namespace {

const QColor Hellrot(0xFF, 0x35, 0x35);

QColor Schrift(const QCheckBox* k) {
    return k->palette().color(QPalette::WindowText);
}

class ReferenzfahrtformTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Parameter_Standardwerte(); // x, y, z checked, u not; order z, x, y
        dlg = std::make_unique<TReferenzfahrtForm>();
    }
    void TearDown() override {
        dlg.reset();
        Attrappenumgebung::TearDown();
    }

    // As the main window opens it.
    void Oeffnen() {
        dlg->Panelfarbe = Hellrot;
        dlg->Schriftfarbe = Qt::white;
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    bool Abwarten() {
        if (!QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 10000)) return false;
        // The run's updates were queued before it showed as over.
        QCoreApplication::processEvents();
        return true;
    }
    bool Laeuft_sichtbar() {
        return QTest::qWaitFor([&] { return dlg->AbbrechenBitBtn->isVisible(); }, 5000);
    }
    // The serial double holds the homing until the stop arrives.
    void Haltende_Referenzfahrt() {
        Linie()->Sperre_setzen("WaitResp");
        Linie()->Bei_Aufruf("Achsen_sofort_stoppen", [] { Linie()->Sperre_loesen("WaitResp"); });
    }
    long Anzahl(const std::string& anfang) const {
        const auto a = Aufrufe();
        return std::count_if(a.begin(), a.end(),
                             [&](const std::string& z) { return z.starts_with(anfang); });
    }
    std::string Parameterdatei_Text() const {
        const std::string programm = Programmpfad();
        return Datei_lesen(
            Parameterdateiname(ordner.Datei(programm.substr(programm.rfind('/') + 1))));
    }

    Fensteroberflaeche fenster_ui{ui};
    // Installed by the tests that need worker boxes shown on the window thread.
    Modale_Fensteroberflaeche modal_ui{ui};
    std::unique_ptr<TReferenzfahrtForm> dlg;
};

TEST_F(ReferenzfahrtformTest, ZeigenFaerbtUndSetztDieHakenUndInitialisiert) {
    Steuerung_einrichten(5);
    EXPECT_EQ(dlg->windowTitle(), "Referenzfahrt");
    EXPECT_EQ(dlg->Panelfarbe, QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(dlg->Schriftfarbe, QColor(Qt::black));
    EXPECT_FALSE(dlg->Vollinitialisierung);
    EXPECT_EQ(dlg->Arbeiter(), nullptr);

    dlg->Vollinitialisierung = true;
    Oeffnen();
    EXPECT_EQ(dlg->Panel->palette().color(QPalette::Window), Hellrot);
    EXPECT_EQ(dlg->Shape->palette().color(QPalette::Window), Hellrot);
    const std::array<QCheckBox*, 4> kaestchen{dlg->xCheckBox, dlg->yCheckBox, dlg->zCheckBox,
                                              dlg->uCheckBox};
    const char* texte[4] = {" x-Achse", " y-Achse", " z-Achse", " u-Achse"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(kaestchen[i]->text(), texte[i]);
        EXPECT_EQ(kaestchen[i]->toolTip(), "low/high  white/black");
        EXPECT_EQ(kaestchen[i]->palette().color(QPalette::Window), Hellrot);
        // Drawn in it too, not in the button colour a check box fills with by default.
        const QImage bild = kaestchen[i]->grab().toImage();
        EXPECT_EQ(QColor(bild.pixel(bild.width() - 2, bild.height() / 2)), Hellrot) << i;
        EXPECT_EQ(Schrift(kaestchen[i]), QColor(Qt::white));
        EXPECT_EQ(kaestchen[i]->isChecked(), i < 3) << i;
    }
    EXPECT_TRUE(dlg->Panel->isEnabled());
    EXPECT_TRUE(dlg->StartBitBtn->isEnabled());
    EXPECT_FALSE(dlg->AbbrechenBitBtn->isVisible());
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_NE(dlg->Arbeiter(), nullptr);
    EXPECT_TRUE(dlg->Timer->isActive());
    // "/KORA" on a KXvario: the full initialisation sends the raw set-up requests.
    EXPECT_EQ(Aufrufe().front(), "Linie.SendWait(c,x100<CR>, 512)");
    EXPECT_EQ(Anzahl("Linie.Referenzgeschwindigkeit_einstellen(400)"), 1);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(ReferenzfahrtformTest, FehlerDerInitialisierungWirdGemeldetDerDialogBleibtOffen) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("Startgeschwindigkeit_einstellen", COMMUNICATION_ERROR);
    Oeffnen();
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "Referenzfahrt");
    EXPECT_TRUE(dlg->isVisible());
    // It still works.
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren(zxy)"), 1);
}

TEST_F(ReferenzfahrtformTest, UAbwaehlenUndSchliessenSchreibtURefAktivNull) {
    Steuerung_einrichten(5);
    Parametersatz().uRefAktiv = 1;
    Oeffnen();
    ASSERT_TRUE(dlg->uCheckBox->isChecked());
    dlg->uCheckBox->click();
    dlg->yCheckBox->click();
    dlg->SchliessenBitBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Arbeiter(), nullptr);
    const std::string datei = Parameterdatei_Text();
    EXPECT_THAT(datei, ::testing::HasSubstr("uRefAktiv=0\r\n"));
    EXPECT_THAT(datei, ::testing::HasSubstr("yRefAktiv=0\r\n"));
    EXPECT_THAT(datei, ::testing::HasSubstr("xRefAktiv=1\r\n"));
    EXPECT_EQ(Parametersatz().uRefAktiv, 0);
    // Shown again, the boxes follow the stored choice.
    Oeffnen();
    EXPECT_FALSE(dlg->uCheckBox->isChecked());
    EXPECT_FALSE(dlg->yCheckBox->isChecked());
    EXPECT_TRUE(dlg->zCheckBox->isChecked());
}

TEST_F(ReferenzfahrtformTest, Modul4MitPin13HochMachtNurZSchwarz) {
    Steuerung_einrichten(4);
    for (int pin : {10, 11, 12, 15})
        Karte()->Eingangspin_vorgeben(pin, false);
    Karte()->Eingangspin_vorgeben(13, true);
    Oeffnen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Schrift(dlg->zCheckBox) == Qt::black; }, 5000));
    EXPECT_EQ(Schrift(dlg->xCheckBox), QColor(Qt::white));
    EXPECT_EQ(Schrift(dlg->yCheckBox), QColor(Qt::white));
    EXPECT_EQ(Schrift(dlg->uCheckBox), QColor(Qt::white));
    // The switch opens: the caption returns to the font colour.
    Karte()->Eingangspin_vorgeben(13, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Schrift(dlg->zCheckBox) == Qt::white; }, 5000));
}

TEST_F(ReferenzfahrtformTest, StartUndEscWaehrendDesLaufs) {
    Steuerung_einrichten(5);
    Haltende_Referenzfahrt();
    Oeffnen();
    dlg->xCheckBox->click(); // x off: z, y remain
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    ASSERT_TRUE(Laeuft_sichtbar());
    EXPECT_FALSE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_FALSE(dlg->Panel->isEnabled());
    EXPECT_FALSE(dlg->StartBitBtn->isEnabled());
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren(zy)"), 1);
    // A second start while running is ignored.
    dlg->StartBitBtnClick();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    ASSERT_TRUE(Abwarten());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(Anzahl("Linie.Achsen_sofort_stoppen"), 1);
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren"), 1);
    EXPECT_EQ(dlg->Arbeiter()->Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_FALSE(dlg->AbbrechenBitBtn->isVisible());
    EXPECT_TRUE(dlg->StartBitBtn->isEnabled());
    EXPECT_TRUE(dlg->Panel->isEnabled());
    // Esc while idle stops the axes too, and leaves the dialog open.
    QTest::keyClick(dlg->zCheckBox, Qt::Key_Escape);
    EXPECT_EQ(Anzahl("Linie.Achsen_sofort_stoppen"), 2);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(ReferenzfahrtformTest, SchliessenWaehrendDesLaufsStopptUndEndetDenArbeiter) {
    Steuerung_einrichten(5);
    Haltende_Referenzfahrt();
    Oeffnen();
    dlg->uCheckBox->click();
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    ASSERT_TRUE(Laeuft_sichtbar());
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Arbeiter(), nullptr);
    EXPECT_EQ(Anzahl("Linie.Achsen_sofort_stoppen"), 1);
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren(zxyu)"), 1);
    // Closed normally once idle: the choice is stored.
    EXPECT_THAT(Parameterdatei_Text(), ::testing::HasSubstr("uRefAktiv=1\r\n"));
    EXPECT_FALSE(Steuerung().Abbruch);

    // Opened again, it has a new worker that runs.
    Linie()->Sperre_loesen("WaitResp");
    Oeffnen();
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren(zxyu)"), 2);
    EXPECT_EQ(dlg->Arbeiter()->Letzter_Fehlercode(), 0);
}

TEST_F(ReferenzfahrtformTest, EinFehlschlagenderStoppHaeltDenLaufNichtAufSolangeSeineBoxOffenIst) {
    Steuerung_einrichten(5);
    Oberflaeche_setzen(&modal_ui);
    Haltende_Referenzfahrt();
    Linie()->Fehler_vorgeben("Achsen_sofort_stoppen", RS_ERROR);
    bool beendet_bei_offener_box = false;
    modal_ui.Waehrend_der_Meldung = [&] {
        beendet_bei_offener_box =
            QTest::qWaitFor([&] { return dlg->Arbeiter()->Warten_bis_fertig(0); }, 10000);
    };
    Oeffnen();
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    ASSERT_TRUE(Laeuft_sichtbar());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(beendet_bei_offener_box);
    ASSERT_TRUE(Abwarten());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Exception [RS_ERROR]");
    EXPECT_EQ(ui.Meldungen()[0].titel, "Referenzfahrt");
    EXPECT_EQ(dlg->Arbeiter()->Letzter_Fehlercode(), THROW_ABORT);
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(ReferenzfahrtformTest, ZerstoerenWaehrendDesLaufsHinterlaesstKeinenArbeiter) {
    Steuerung_einrichten(5);
    Haltende_Referenzfahrt();
    Oeffnen();
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Linie()->Warten_bis_gesperrt("WaitResp"));
    dlg.reset();
    EXPECT_EQ(Anzahl("Linie.Achsen_sofort_stoppen"), 1);
    EXPECT_FALSE(Steuerung().Abbruch);
}

TEST_F(ReferenzfahrtformTest, WTModusHoltNurXUndBehaeltDieUebrigenHaken) {
    Steuerung_einrichten(5);
    dlg->WT_Modus_setzen(true);
    Oeffnen();
    EXPECT_TRUE(dlg->xCheckBox->isChecked());
    for (QCheckBox* k : {dlg->yCheckBox, dlg->zCheckBox, dlg->uCheckBox}) {
        EXPECT_FALSE(k->isChecked());
        EXPECT_FALSE(k->isEnabled());
    }
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(Anzahl("Linie.Referenzfahrt_ausfuehren(x)"), 1);
    dlg->SchliessenBitBtn->click();
    // The axes the mode hides keep their stored choice.
    const std::string datei = Parameterdatei_Text();
    EXPECT_THAT(datei, ::testing::HasSubstr("yRefAktiv=1\r\n"));
    EXPECT_THAT(datei, ::testing::HasSubstr("zRefAktiv=1\r\n"));

    dlg->WT_Modus_setzen(false);
    Oeffnen();
    EXPECT_TRUE(dlg->yCheckBox->isEnabled());
    EXPECT_TRUE(dlg->yCheckBox->isChecked());
}

} // namespace
