// The Doming settings dialogs and the preview box on Qt's offscreen platform: the parameter
// file through the dialog, the dosing-time counter driven by the dialog's own timer handler,
// the flushing output over the recording serial double, and every caption in each language.

#include "dispensing/qt/domingdosierzeitform.h"
#include "dispensing/qt/dominggeschwindigkeitform.h"
#include "dispensing/qt/domingparamform.h"
#include "dispensing/qt/domingspuelungform.h"
#include "dispensing/qt/vorschau.h"

#include "attrappen.h"
#include "core/dateien.h"
#include "dispensing/domingparameter.h"
#include "qt/fensteroberflaeche.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gmock/gmock.h>

#include <string>
#include <vector>

using namespace orvexa;
using namespace orvexa::test;

namespace {

using ::testing::ElementsAre;

class DomingDialoge : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Steuerung_einrichten(5);
    }
    Fensteroberflaeche fenster_ui{ui};
};

// ---- Parameters ----------------------------------------------------------------------------

class ParamDialog : public DomingDialoge {
protected:
    void SetUp() override {
        DomingDialoge::SetUp();
        dlg.Dateipfad = ordner.Datei("DomingParam.dat");
        dlg.Parameter_gelesen = [this](const DomingParameter& p) { gelesen.push_back(p.Sprache); };
    }
    TDomingParamForm dlg;
    std::vector<std::string> gelesen;
};

TEST_F(ParamDialog, ZeigtDieDateiUndSchreibtSieBeimOK) {
    Datei_schreiben(dlg.Dateipfad, "; orvexa2011 /DOMING\r\n;\r\nSprache= englisch \r\n\r\n"
                                   "xAbmessung=0\r\nyAbmessung=250.5\r\n");
    dlg.show();
    EXPECT_EQ(dlg.SpracheComboBox->currentIndex(), 1);
    EXPECT_EQ(dlg.xAbmessungEdit->text(), "0.00");
    EXPECT_EQ(dlg.yAbmessungEdit->text(), "250.50");
    EXPECT_EQ(dlg.Parameter().xAbmessung, 0.0); // used as it stands until confirmed
    EXPECT_THAT(gelesen, ElementsAre("englisch"));

    dlg.SpracheComboBox->setCurrentIndex(2);
    dlg.yAbmessungEdit->setText("300,25");
    dlg.OKBitBtn->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(Datei_lesen(dlg.Dateipfad), "; orvexa2011 /DOMING\r\n;\r\nSprache=polski\r\n\r\n"
                                          "xAbmessung=500.00\r\nyAbmessung=300.25\r\n");
    EXPECT_EQ(dlg.Parameter(), (DomingParameter{"polski", 500.0, 300.25}));
    EXPECT_THAT(gelesen, ElementsAre("englisch", "polski"));
}

TEST_F(ParamDialog, AbbrechenSchreibtNichtUndDasNaechsteZeigenLiestNeu) {
    dlg.show(); // no file: the defaults
    EXPECT_EQ(dlg.SpracheComboBox->currentIndex(), 0);
    EXPECT_EQ(dlg.xAbmessungEdit->text(), "500.00");
    EXPECT_EQ(dlg.yAbmessungEdit->text(), "400.00");
    dlg.xAbmessungEdit->setText("12");
    dlg.AbbrechenBitBtn->click();
    EXPECT_FALSE(Datei_existiert(dlg.Dateipfad));
    dlg.show();
    EXPECT_EQ(dlg.xAbmessungEdit->text(), "500.00");
    EXPECT_TRUE(ui.Toene().empty());
}

TEST_F(ParamDialog, SchreibfehlerLaesstDenDialogOffen) {
    dlg.Dateipfad = ordner.Datei("fehlt/DomingParam.dat");
    dlg.show();
    dlg.xAbmessungEdit->setText("123");
    dlg.OKBitBtn->click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.Parameter().xAbmessung, 500.0); // not in force before it is kept
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");
    EXPECT_THAT(gelesen, ElementsAre("deutsch"));
}

// ---- Speeds --------------------------------------------------------------------------------

TEST_F(DomingDialoge, GeschwindigkeitenHinUndZurueckMitHoechstensVierZiffern) {
    TDomingGeschwindigkeitForm dlg;
    dlg.Werte_setzen(500, 2000, 300);
    EXPECT_EQ(dlg.EilfreqMaskEdit->text(), "2000");
    dlg.StartfreqMaskEdit->clear();
    QTest::keyClicks(dlg.StartfreqMaskEdit, "12345");
    dlg.RampenlaengeMaskEdit->clear();
    QTest::keyClicks(dlg.RampenlaengeMaskEdit, "-7x");
    EXPECT_EQ(dlg.Startfreq(), 1234);
    EXPECT_EQ(dlg.Eilfreq(), 2000);
    EXPECT_EQ(dlg.Rampenlaenge(), 7);
}

// ---- Dosing time ---------------------------------------------------------------------------

class DosierzeitDialog : public DomingDialoge {
protected:
    void SetUp() override {
        DomingDialoge::SetUp();
        dlg.Messung.Ventil = [this](int32_t n) { ventil.push_back(n); };
        dlg.Messung.Warten = [this](double s) { gewartet.push_back(s); };
    }
    void Zeigen(double PDosierzeit) {
        dlg.Oeffnen(PDosierzeit, QPoint(100, 200));
        dlg.show();
        // The ticks come from the test, never from the clock.
        dlg.DZTimer->setInterval(24 * 3600 * 1000);
    }
    QString Anzeige() const { return dlg.DZAnzeigePanel->text(); }

    TDomingDosierzeitForm dlg;
    std::vector<int32_t> ventil;
    std::vector<double> gewartet;
};

TEST_F(DosierzeitDialog, StartwertUndPlatzNebenDenFormseiten) {
    EXPECT_EQ(dlg.DZTimer->interval(), 250);
    Zeigen(1.1);
    EXPECT_EQ(Anzeige(), "Dosierzeit:    1.00 sec");
    EXPECT_EQ(dlg.pos(), QPoint(92, 252));
    dlg.reject();
    Zeigen(200.0);
    EXPECT_EQ(Anzeige(), "Dosierzeit:  120.00 sec");
    dlg.DZUpDownHoch->click();
    EXPECT_EQ(Anzeige(), "Dosierzeit:  120.00 sec");
    dlg.DZUpDownRunter->click();
    EXPECT_EQ(Anzeige(), "Dosierzeit:  119.75 sec");
    dlg.DZLoeschenButton->click();
    EXPECT_EQ(Anzeige(), "Dosierzeit:    0.00 sec");
}

TEST_F(DosierzeitDialog, GehaltenesDosierenZaehltViertelsekundenUndUebernehmen) {
    Zeigen(1.1);
    QTest::mousePress(dlg.DZDosierenButton, Qt::LeftButton);
    EXPECT_THAT(ventil, ElementsAre(1));
    EXPECT_TRUE(dlg.DZTimer->isActive());
    for (int i = 0; i < 3; ++i)
        dlg.DZTimerTimer();
    EXPECT_EQ(Anzeige(), "Dosierzeit:    1.75 sec");
    QTest::mouseRelease(dlg.DZDosierenButton, Qt::LeftButton);
    EXPECT_THAT(ventil, ElementsAre(1, 0));
    dlg.DZTimerTimer(); // the quarter begun before the release
    EXPECT_FALSE(dlg.DZTimer->isActive());
    EXPECT_EQ(Anzeige(), "Dosierzeit:    2.00 sec");
    dlg.UebernehmenBitBtn->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Dosierzeit(), 2.0);
}

TEST_F(DosierzeitDialog, SchliessenWaehrendDesDosierensSchliesstDasVentil) {
    Zeigen(1.0);
    QTest::mousePress(dlg.DZDosierenButton, Qt::LeftButton);
    dlg.reject();
    EXPECT_THAT(ventil, ElementsAre(1, 0));
    EXPECT_FALSE(dlg.DZTimer->isActive());
}

TEST_F(DosierzeitDialog, TastenDerDruckvariante) {
    dlg.Tastatur = true;
    Zeigen(1.0);
    QTest::keyPress(&dlg, Qt::Key_D);
    EXPECT_THAT(ventil, ElementsAre(1));
    QTest::keyRelease(&dlg, Qt::Key_D);
    EXPECT_THAT(ventil, ElementsAre(1, 0));
    QTest::keyClick(&dlg, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(Anzeige(), "Dosierzeit:    1.25 sec");
    QTest::keyClick(&dlg, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(&dlg, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(Anzeige(), "Dosierzeit:    0.75 sec");
}

// ---- Flushing ------------------------------------------------------------------------------

TEST_F(DomingDialoge, SpuelungGruenOhneOKUndNichtZuSchliessen) {
    TDomingSpuelungForm dlg;
    std::vector<std::string> status;
    dlg.Statusfeld_setzen = [&](const std::string& s) { status.push_back(s); };
    const QColor normal = dlg.SpuelungPanel->palette().color(QPalette::Window);
    dlg.show();
    EXPECT_EQ(dlg.SpuelungBitBtn->text(), "&Spülung einschalten");

    dlg.SpuelungBitBtn->click();
    EXPECT_TRUE(dlg.An());
    EXPECT_EQ(dlg.SpuelungBitBtn->text(), "&Spülung ausschalten");
    EXPECT_EQ(dlg.SpuelungPanel->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_FALSE(dlg.OKBitBtn->isEnabled());
    dlg.reject();
    dlg.close();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());

    dlg.SpuelungBitBtn->click();
    EXPECT_TRUE(dlg.OKBitBtn->isEnabled());
    EXPECT_EQ(dlg.SpuelungPanel->palette().color(QPalette::Window), normal);
    EXPECT_THAT(status, ElementsAre("A3::ON", "A3::OFF"));
    EXPECT_THAT(Aufrufe(), ElementsAre("Linie.Ausgangssignal_setzen(3, 1)",
                                       "Linie.Ausgangssignal_setzen(3, 0)"));
    dlg.OKBitBtn->click();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(DomingDialoge, SpuelungFehlerZeigtFragezeichen) {
    TDomingSpuelungForm dlg;
    std::string status;
    dlg.Statusfeld_setzen = [&](const std::string& s) { status = s; };
    Linie()->Fehler_vorgeben("Ausgangssignal_setzen", NAK_ERROR);
    dlg.SpuelungBitBtn->click();
    EXPECT_EQ(status, "A3::???");
    EXPECT_FALSE(dlg.An());
    EXPECT_TRUE(dlg.OKBitBtn->isEnabled());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "SpuelungBitBtnClick()");
}

// ---- Languages -----------------------------------------------------------------------------

TEST_F(DomingDialoge, SprachwechselAendertAlleTexte) {
    struct Fall {
        Sprache sprache;
        const char* param_titel;
        const char* abmessung;
        const char* startlabel;
        const char* dosier_titel;
        const char* anzeige;
        const char* spuelung;
        const char* laden;
    };
    const Fall faelle[] = {
        {Sprache::englisch, "Doming parameters", " Dimensions ", "Start speed:",
         "Determine dosing time", "Dosing time:    0.00 sec", "Wash ON", "&Load HPGL ..."},
        {Sprache::polski, "Parametry Doming", " Wymiary ", "Predkosc startowa:",
         "Okresl czas dozowania", "Czas dozowania:    0.00 sek", "Wash ON", "&Wczytaj HPGL ..."},
        {Sprache::deutsch, "Doming-Parameter", " Abmessung ",
         "Startgeschwindigkeit:", "Dosierzeit bestimmen", "Dosierzeit:    0.00 sec",
         "&Spülung einschalten", "HPGL &laden ..."},
    };
    TDomingParamForm param;
    TDomingGeschwindigkeitForm geschw;
    TDomingDosierzeitForm dosier;
    TDomingSpuelungForm spuel;
    TVorschau vorschau;
    for (const Fall& f : faelle) {
        param.Sprache_anwenden(f.sprache);
        geschw.Sprache_anwenden(f.sprache);
        dosier.Sprache_anwenden(f.sprache);
        spuel.Sprache_anwenden(f.sprache);
        vorschau.Sprache_anwenden(f.sprache);
        EXPECT_EQ(param.windowTitle(), f.param_titel);
        EXPECT_EQ(param.AbmessungGroupBox->title(), f.abmessung);
        EXPECT_EQ(param.OKBitBtn->text(), "&OK");
        EXPECT_EQ(geschw.StartfreqLabel->text(), f.startlabel);
        EXPECT_EQ(dosier.windowTitle(), f.dosier_titel);
        EXPECT_EQ(dosier.DZAnzeigePanel->text(), f.anzeige);
        EXPECT_EQ(spuel.SpuelungBitBtn->text(), f.spuelung);
        EXPECT_EQ(vorschau.HPGL_ladenAction->text(), f.laden);
        EXPECT_EQ(param.AbbrechenBitBtn->text().toStdString(),
                  Text(f.sprache, Textnummer::Abbrechen));
    }
    // The list keeps the names of the file whatever the language.
    EXPECT_EQ(param.SpracheComboBox->itemText(1), "englisch");
}

// ---- Preview box ---------------------------------------------------------------------------

TEST_F(DomingDialoge, VorschauZeichnetDieStricheUndBietetDasMenue) {
    TVorschau v;
    EXPECT_EQ(v.size(), QSize(249, 249));
    v.Striche_setzen(Rechteckvorschau(2.0, 3.0, 0.5));
    const QImage& b = v.Bild();
    EXPECT_EQ(QColor(b.pixel(55, 100)), QColor(Qt::black));  // left side
    EXPECT_EQ(QColor(b.pixel(150, 218)), QColor(Qt::black)); // bottom
    EXPECT_EQ(QColor(b.pixel(70, 218)), QColor(Qt::white));  // the minus length stays open
    EXPECT_EQ(QColor(b.pixel(124, 114)), QColor(Qt::white));
    v.Strich_hinzufuegen({10, 240, 20, 240, 2});
    EXPECT_EQ(QColor(b.pixel(15, 240)), QColor(Qt::black));
    v.Leeren();
    EXPECT_EQ(QColor(v.Bild().pixel(55, 100)), QColor(Qt::white));

    v.Hinweis_setzen(QStringLiteral("Bitte rechte Maustaste drücken."));
    int schwarz = 0;
    for (int x = 0; x < 249; ++x)
        for (int y = 100; y < 150; ++y)
            schwarz += QColor(v.Bild().pixel(x, y)) != QColor(Qt::white);
    EXPECT_GT(schwarz, 20);

    int geladen = 0, geschlossen = 0;
    v.HPGL_laden = [&] { ++geladen; };
    v.HPGL_schliessen = [&] { ++geschlossen; };
    v.HPGL_ladenAction->trigger();
    v.HPGL_schliessenAction->trigger();
    v.HPGL_schliessenAction->trigger();
    EXPECT_EQ(geladen, 1);
    EXPECT_EQ(geschlossen, 2);
}

} // namespace
