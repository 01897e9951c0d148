// The angle-positioning mode in its windows on the offscreen platform: the angle parameters
// dialog, and the main window started with "/WT" (and "/SIM") wired as the program entry does,
// against the simulated KXCU and position display on pseudo-terminals.

#include "../../qt/fensteroberflaeche.h"
#include "angle/qt/nd261testpanel.h"
#include "angle/qt/winkelmodus.h"
#include "angle/qt/wt_parameterdlg.h"
#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "core/dateien.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/standardtreiber.h"
#include "platform/portverzeichnis.h"
#include "pseudoterminal.h"
#include "simulation.h"
#include "speicherndesteuerung.h"
#include "tables/qt/mainform.h"
#include "tables/qt/vektordlg.h"
#include "tables/tabelle.h"
#include "testhilfen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gmock/gmock.h>

#include <cstdlib>
#include <unistd.h>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

WT_Parameter Winkelparameter(const char* kxcu, const char* nd261) {
    WT_Parameter p = Winkelsimulation_Vorgaben();
    p.KXCU_Com = kxcu;
    p.ND261_Com = nd261;
    return p;
}

class WinkelfensterTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        ASSERT_EQ(::chdir(ordner.Pfad().c_str()), 0);
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
        Standardtreiber_einrichten();
    }
    void TearDown() override {
        if (fenster) fenster->Vektorausgabe_oeffnen = nullptr;
        vektordlg.reset();
        fenster.reset();
        Steuerung_schliessen();
        if (nd261) nd261->ND261_schliessen();
        Steuerungsmodule_freigeben();
        ::unsetenv("ORVEXA_PORTS");
        ASSERT_EQ(::chdir("/"), 0);
        Testumgebung::TearDown();
    }

    // The windows and modules in the program entry's order, then the start-up.
    void Starten(QStringList schalter) {
        schalter.prepend(QStringLiteral("/pfad/zu/orvexa2011"));
        fenster = std::make_unique<TMainForm>(schalter);
        Serielle_Linie_erzeugen();
        fenster->Tabellenmodul_setzen(&tabelle);
        parameterdlg = new TWT_ParameterDlg(fenster.get());
        vektordlg = std::make_unique<TVektorDlg>(tabelle, fenster.get(), &fenster->hEventInit);
        nd261 = std::make_unique<TWT_ND261DM>(transkript);
        nd261->Abbruchflag_setzen(&vektordlg->Lauf().VekAbbruch);
        achse = std::make_unique<KXCU_Winkelachse>(*nd261);
        winkel = std::make_unique<Winkelpositionierung>(parameterdlg->Parameter, transkript, *achse,
                                                        &vektordlg->Lauf().VekAbbruch);
        panel = new TND261TestPanel(*winkel, transkript, fenster.get());
        fenster->Vektorausgabe_oeffnen = [this] {
            vektordlg->ModusWT = fenster->ModusWT;
            vektordlg->show();
        };
        Winkelmodus_einrichten({*fenster, *parameterdlg, *nd261, *winkel, *vektordlg, *panel},
                               {[](const WT_Parameter& p, std::string* fehler) {
                                    Simulationsoptionen o;
                                    o.Zeitskala = 0;
                                    o.Eigener_Portordner = false;
                                    return Winkelsimulation_starten(p, o, fehler);
                                },
                                Winkelsimulation_Vorgaben});
        fenster->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return fenster->Gestartet(); }, 10'000));
    }

    // "anfahren" on the panel with this angle.
    void Anfahren(const char* winkel_text) {
        fenster->MenuND261_Test->trigger();
        ASSERT_TRUE(panel->isVisible());
        panel->ND261Test_MaskEdit->setText(QString::fromLatin1(winkel_text));
        QTest::mouseClick(panel->ND261Anfahren_BitBtn, Qt::LeftButton);
    }

    Fensteroberflaeche fenster_ui{ui};
    Winkeltranskript transkript;
    Positionstabelle tabelle;
    std::unique_ptr<TMainForm> fenster;
    TWT_ParameterDlg* parameterdlg = nullptr; // children of the main window
    TND261TestPanel* panel = nullptr;
    std::unique_ptr<TVektorDlg> vektordlg;
    std::unique_ptr<TWT_ND261DM> nd261;
    std::unique_ptr<KXCU_Winkelachse> achse;
    std::unique_ptr<Winkelpositionierung> winkel;
};

TEST_F(WinkelfensterTest, SimStartetVerbundenUndDasTestpanelStelltDenWinkelEin) {
    Starten({"/SIM", "/WT"});
    ASSERT_TRUE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(0), "KX900i KXCU V3.04");
    EXPECT_EQ(fenster->Statustext(1), "COM3");
    EXPECT_THAT(fenster->Titel, HasSubstr("Winkelpositionierung"));
    EXPECT_TRUE(fenster->MenuND261_Test->isVisible());
    EXPECT_TRUE(fenster->MenuND261_Test->isEnabled());
    EXPECT_FALSE(fenster->MenuManuell->isVisible());
    // The simulation's angle parameters stand in for the missing file; none is written.
    EXPECT_EQ(parameterdlg->Parameter, Winkelsimulation_Vorgaben());
    EXPECT_FALSE(Datei_existiert(ordner.Datei(WT_Parameterdatei)));

    transkript.Zeile("vom letzten Mal");
    Anfahren("12,5");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(panel->Erreicht());
    const QString text = panel->ND261_RichEdit->toPlainText();
    EXPECT_TRUE(text.startsWith("Winkel_anfahren() - Test\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("SollWinkel: 12.500"));
    EXPECT_TRUE(text.endsWith("Winkel wurde eingestellt!"));
    EXPECT_THAT(Datei_lesen(ordner.Datei(Winkeltranskript::Testdatei)),
                HasSubstr("Winkel wurde eingestellt!\r\n"));
    // The menus came back after the approach as they were.
    EXPECT_TRUE(fenster->MenuND261_Test->isEnabled());
    EXPECT_TRUE(fenster->menuBar()->isEnabled());
    EXPECT_TRUE(fenster->MenuKX900_KXCU->menuAction()->isVisible());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(WinkelfensterTest, ParameterdateiPortsUndDerWinkeldialogHinterParameter) {
    Datei_schreiben(ordner.Datei(WT_Parameterdatei),
                    WT_Parameterdatei_Inhalt(Winkelparameter("COM6", "COM5")));
    Starten({"/SIM", "/wt"});
    ASSERT_TRUE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(1), "COM6");
    EXPECT_EQ(Parametersatz().ComPort, 6);

    bool gezeigt = false;
    QTimer::singleShot(0, parameterdlg, [&] {
        gezeigt = parameterdlg->isVisible();
        EXPECT_EQ(parameterdlg->WT_KXCU_ComboBox->currentText(), "COM6");
        EXPECT_EQ(parameterdlg->WT_ND261_ComboBox->currentText(), "COM5");
        parameterdlg->WT_Abbrechen_BitBtn->click();
    });
    fenster->MenuParameterClick();
    EXPECT_TRUE(gezeigt);
    EXPECT_TRUE(fenster->Verbunden); // connected again afterwards
}

TEST_F(WinkelfensterTest, OhneAnzeigeBleibtDasFensterUnverbunden) {
    // A KXCU on COM3, no display on COM2.
    SpeicherndeSteuerung::Optionen o;
    o.Modul = WT_Modul();
    SpeicherndeSteuerung kxcu(o);
    ASSERT_TRUE(COM_registrieren(3, kxcu.Geraetepfad()));
    Datei_schreiben(ordner.Datei(WT_Parameterdatei),
                    WT_Parameterdatei_Inhalt(Winkelparameter("COM3", "COM2")));
    Starten({"/WT"});
    EXPECT_FALSE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(0), "--- keine Verbindung ---");
    EXPECT_TRUE(kxcu.Anfragen().empty());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "COM2 kann nicht geöffnet werden!");
    EXPECT_EQ(ui.Meldungen()[0].titel, "ND261");
    EXPECT_FALSE(fenster->MenuND261_Test->isEnabled());
}

TEST_F(WinkelfensterTest, TabelleVonWinkelnMitGeprueftenAnfahrten) {
    Starten({"/SIM", "/WT"});
    ASSERT_TRUE(fenster->Verbunden);
    fenster->MenuNeuClick();
    tabelle.ZeileHinzufuegen(2);
    ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "10"));
    ASSERT_TRUE(tabelle.Zelle_setzen(3, 6, "7.5"));
    fenster->MenuVektorausgabeClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(vektordlg.get()));
    // Only the rotary axis takes part.
    for (const QCheckBox* box :
         {vektordlg->yAchseCheckBox, vektordlg->zAchseCheckBox, vektordlg->uAchseCheckBox,
          vektordlg->zAchseInterpolierenCheckBox, vektordlg->FestwertspeicherCheckBox})
        EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
    EXPECT_TRUE(vektordlg->xAchseCheckBox->isEnabled());

    vektordlg->StartBitBtn->click();
    const std::string ergebnis = ordner.Datei("TabellenAusgabe.txt");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Datei_existiert(ergebnis) && !vektordlg->Beschaeftigt(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_THAT(Zeilen(Datei_lesen(ordner.Datei("TabellenAusgabe.txt"))),
                ElementsAre(MatchesRegex("1 \\|  Soll: 10\\.00  Ist: 10\\.0[01] -> ok"),
                            MatchesRegex("3 \\|  Soll: 7\\.50  Ist: 7\\.5[01] -> ok")));
    // The approach's lines reached the panel's transcript from the worker.
    EXPECT_TRUE(panel->ND261_RichEdit->toPlainText().contains("SollWinkel: 7.500"));
    vektordlg->SchliessenBitBtn->click();
}

class WinkeldialogTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        // A made-up host: the machine's own serial ports do not show.
        geraete = std::make_unique<Scheingeraete>(ordner.Datei("host"));
        ASSERT_TRUE(COM_registrieren(2, a.Slave_pfad()));
        ASSERT_TRUE(COM_registrieren(7, b.Slave_pfad()));
        dlg.Dateipfad = ordner.Datei("wt.dat");
        dlg.Parameter = Winkelparameter("COM7", "COM4"); // COM4 is not there
    }
    void TearDown() override {
        geraete.reset();
        Testumgebung::TearDown();
    }

    std::unique_ptr<Scheingeraete> geraete;
    Pseudoterminal a, b;
    TWT_ParameterDlg dlg;
};

TEST_F(WinkeldialogTest, ZeigtDieWerteUndDieVorhandenenPorts) {
    dlg.open();
    EXPECT_EQ(dlg.windowTitle(), "  Parameter-Eingabe");
    EXPECT_EQ(dlg.WT_Umrechnungsfaktor_MaskEdit->text(), "  200");
    EXPECT_EQ(dlg.WT_uebersteuern_MaskEdit->text(), "  0.50");
    EXPECT_EQ(dlg.WT_schrittweise_MaskEdit->text(), "  10");
    EXPECT_EQ(dlg.WT_KXCU_ComboBox->count(), 2);
    EXPECT_EQ(dlg.WT_KXCU_ComboBox->currentText(), "COM7");
    EXPECT_EQ(dlg.WT_ND261_ComboBox->currentText(), "COM2"); // the first
    EXPECT_TRUE(dlg.WT_Uebernehmen_BitBtn->isDefault());
    dlg.WT_Abbrechen_BitBtn->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.Parameter.ND261_Com, "COM4");
    EXPECT_FALSE(Datei_existiert(dlg.Dateipfad));
}

TEST_F(WinkeldialogTest, UebernehmenSchreibtUndFixiertDieMaschine) {
    dlg.open();
    dlg.WT_Umrechnungsfaktor_MaskEdit->setText("  0");
    dlg.WT_Uebernehmen_BitBtn->click();
    // 0 steps per degree are refused; the dialog stays open and nothing is written.
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_FALSE(Datei_existiert(dlg.Dateipfad));

    dlg.WT_Umrechnungsfaktor_MaskEdit->setText("  360");
    dlg.WT_Endfreq_MaskEdit->setText("  1500");
    dlg.WT_uebersteuern_MaskEdit->setText("  1.25");
    dlg.WT_Uebernehmen_BitBtn->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Parameter.Umrechnungsfaktor, 360);
    EXPECT_EQ(dlg.Parameter.ND261_Com, "COM2");
    EXPECT_DOUBLE_EQ(dlg.Parameter.uebersteuern, 1.25);
    EXPECT_EQ(Datei_lesen(dlg.Dateipfad), WT_Parameterdatei_Inhalt(dlg.Parameter));
    EXPECT_EQ(Parametersatz().ComPort, 7);
    EXPECT_EQ(Parametersatz().Arbeitsfreq, 1500);
    EXPECT_EQ(Parametersatz().Modul, WT_Modul());
}

} // namespace
} // namespace orvexa::test
