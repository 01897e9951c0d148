// The vector output dialog on Qt's offscreen platform, over the recording driver doubles:
// controls and settings, the run started from the dialog with its progress queued to the
// window thread, Esc and "z" during a run, closing while a run is under way.

#include "tables/qt/vektordlg.h"

#include "attrappen.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "qt/fensteroberflaeche.h"
#include "simumgebung.h"
#include "tables/tabelle.h"
#include "tables/vektoreinstellungen.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace orvexa;
using namespace orvexa::test;

namespace {

class VektordlgTest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Maschinenparameter& p = Parametersatz();
        p.ComPort = 1;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        p.xRefNr = 1;
        p.zRefNr = 2;
        fabrik.Linie_vorbereiten = [](SeriellerBefehlssatzAttrappe& linie) {
            linie.Eingangspegel_vorgeben({}, true);
        };
        Steuerung_einrichten(5);
        tabelle.Schritteingabe = true;
        dlg = std::make_unique<TVektorDlg>(tabelle, nullptr, &init);
        dlg->Tabellenanzeige_setzen(
            {[this](int zeile) { Anzeige("Zeile " + std::to_string(zeile)); },
             [this](int zeile, const std::string& text) {
                 Anzeige("WH " + std::to_string(zeile) + ": " + text);
             }});
    }

    void TearDown() override {
        dlg.reset();
        Attrappenumgebung::TearDown();
    }

    void Anzeige(std::string text) {
        if (QThread::currentThread() != qApp->thread()) fremder_thread = true;
        anzeigen.push_back(std::move(text));
    }

    void Zeile(std::initializer_list<std::pair<int, std::string>> zellen) {
        tabelle.ZeileHinzufuegen();
        for (const auto& [spalte, text] : zellen)
            ASSERT_TRUE(tabelle.Zelle_setzen(tabelle.Zeilenzahl(), spalte, text)) << text;
    }

    void Oeffnen() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    // Starts and waits, processing events, until the run is over and its updates are shown.
    bool Starten_und_abwarten() {
        dlg->StartBitBtn->click();
        return Abwarten();
    }
    bool Abwarten() {
        if (!QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 5000)) return false;
        // Every update of the run was queued before it showed as over.
        QCoreApplication::processEvents();
        return true;
    }
    void Taste(Qt::Key taste, QWidget* ziel = nullptr) {
        QTest::keyClick(ziel ? ziel : dlg->ZyklenEdit, taste);
    }
    long Anzahl(const std::string& anfang) const {
        const auto a = Aufrufe();
        return std::count_if(a.begin(), a.end(),
                             [&](const std::string& z) { return z.starts_with(anfang); });
    }

    Fensteroberflaeche fenster_ui{ui};
    // Installed by the tests that need worker boxes shown on the window thread.
    Modale_Fensteroberflaeche modal_ui{ui};
    Ereignis init{true};
    Positionstabelle tabelle;
    std::unique_ptr<TVektorDlg> dlg;
    std::vector<std::string> anzeigen;
    bool fremder_thread = false;
};

TEST_F(VektordlgTest, ErzeugungMeldetSichUndZeigtDenRuhezustand) {
    EXPECT_TRUE(init.Gesetzt());
    EXPECT_EQ(dlg->windowTitle(), "Vektorausgabe");
    EXPECT_EQ(dlg->Hintergrundfarbe(), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(dlg->ZyklenEdit->text(), "1");
    EXPECT_EQ(dlg->ZyklenEdit->maxLength(), 3);
    Oeffnen();
    EXPECT_GE(dlg->y(), 120);
    EXPECT_EQ(dlg->Hintergrundfarbe(), QColor(0x00, 0x80, 0xFF));
    EXPECT_EQ(dlg->Schriftfarbe(), QColor(Qt::white));
    EXPECT_EQ(dlg->StartBitBtn->text(), "S&tart");
    EXPECT_FALSE(dlg->AbbrechenBitBtn->isVisible());
    EXPECT_TRUE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_FALSE(dlg->ZyklenAbbruchPanel->isVisible());
    EXPECT_FALSE(dlg->FestwertspeicherCheckBox->isVisible()); // only on the KX900-KXCU
    EXPECT_TRUE(dlg->RefModusKnoepfe[0]->isChecked());
}

TEST_F(VektordlgTest, EinstellungenWerdenGelesenUndBeimSchliessenGeschrieben) {
    Vektoreinstellungen gespeichert;
    gespeichert.RefModus = 2;
    gespeichert.RefZyklusAktiv = {true, false, true};
    gespeichert.zAchseInterpolieren = true;
    gespeichert.InFestwertspeicher = true;
    ASSERT_TRUE(Vektoreinstellungen_speichern(gespeichert, Vektoreinstellungen_Dateiname()));
    Oeffnen();
    EXPECT_TRUE(dlg->RefModusKnoepfe[2]->isChecked());
    EXPECT_TRUE(dlg->xAchseCheckBox->isChecked());
    EXPECT_FALSE(dlg->yAchseCheckBox->isChecked());
    EXPECT_TRUE(dlg->zAchseCheckBox->isChecked());
    EXPECT_FALSE(dlg->uAchseCheckBox->isChecked());
    EXPECT_TRUE(dlg->zAchseInterpolierenCheckBox->isChecked());
    // Recording is chosen anew each time.
    EXPECT_FALSE(dlg->FestwertspeicherCheckBox->isChecked());

    dlg->RefModusKnoepfe[1]->click();
    dlg->xAchseCheckBox->click();
    dlg->yAchseCheckBox->click();
    dlg->SchliessenBitBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    Vektoreinstellungen erwartet;
    erwartet.RefModus = 1;
    erwartet.RefZyklusAktiv = {false, true, true};
    erwartet.zAchseInterpolieren = true;
    EXPECT_EQ(Vektoreinstellungen_laden(Vektoreinstellungen_Dateiname()), erwartet);
    // Closing takes the highlight off the grid.
    ASSERT_FALSE(anzeigen.empty());
    EXPECT_EQ(anzeigen.back(), "Zeile -1");
}

TEST_F(VektordlgTest, WinkelmodusLaesstNurDieXAchseZu) {
    Vektoreinstellungen gespeichert;
    gespeichert.RefZyklusAktiv = {true, true, true};
    ASSERT_TRUE(Vektoreinstellungen_speichern(gespeichert, Vektoreinstellungen_Dateiname()));
    dlg->ModusWT = true;
    Oeffnen();
    EXPECT_TRUE(dlg->xAchseCheckBox->isChecked());
    for (QCheckBox* k : {dlg->yAchseCheckBox, dlg->zAchseCheckBox, dlg->uAchseCheckBox}) {
        EXPECT_FALSE(k->isEnabled());
        EXPECT_FALSE(k->isChecked());
    }
    EXPECT_EQ(dlg->Hintergrundfarbe(), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(dlg->Schriftfarbe(), QColor(Qt::black));
}

TEST_F(VektordlgTest, ZyklenfeldUndEndlos) {
    Oeffnen();
    const std::vector<std::pair<QString, QString>> faelle{
        {"12", "12"}, {"abc", "0"}, {"-5", "1"}, {"0", "0"}, {"7,5", "0"}};
    for (const auto& [eingabe, gezeigt] : faelle) {
        dlg->ZyklenEdit->setText(eingabe);
        dlg->ZyklenEditOnExit();
        EXPECT_EQ(dlg->ZyklenEdit->text(), gezeigt) << eingabe.toStdString();
    }
    EXPECT_EQ(dlg->Zyklen, 0);
    dlg->EndlosCheckBox->click();
    EXPECT_FALSE(dlg->ZyklenEdit->isEnabled());
    dlg->EndlosCheckBox->click();
    EXPECT_TRUE(dlg->ZyklenEdit->isEnabled());
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(VektordlgTest, EndlosInDenFestwertspeicherWirdAbgelehnt) {
    Parametersatz().Modul = 3;
    Oeffnen();
    ASSERT_TRUE(dlg->FestwertspeicherCheckBox->isVisible());
    dlg->FestwertspeicherCheckBox->click();
    EXPECT_TRUE(dlg->InFestwertspeicher);
    dlg->EndlosCheckBox->click();
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text,
              "      'endlos'-Vektorausgabe\n\nin Festwertspeicher ist nicht möglich!");
    EXPECT_EQ(ui.Meldungen()[0].titel, "orvexa2011");
    EXPECT_FALSE(dlg->FestwertspeicherCheckBox->isChecked());
    EXPECT_FALSE(dlg->InFestwertspeicher);
    // The other way round, too.
    dlg->FestwertspeicherCheckBox->click();
    EXPECT_EQ(ui.Meldungen().size(), 2u);
    EXPECT_FALSE(dlg->FestwertspeicherCheckBox->isChecked());
}

TEST_F(VektordlgTest, LaufAusDemDialogZeigtSeinenFortschrittImFensterthread) {
    Zeile({{6, "100"}, {14, "1"}});
    Zeile({{8, "50"}});
    Oeffnen();
    dlg->ZyklenEdit->setText("2");
    ASSERT_TRUE(Starten_und_abwarten());
    EXPECT_FALSE(fremder_thread);
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 1, 100, 0, 0)"), 2 * 2);
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 1, 0, 0, 50)"), 2);
    EXPECT_EQ(anzeigen,
              (std::vector<std::string>{"Zeile 1", "WH 1: 1 von 1", "WH 1: ", "Zeile 2", "Zeile 1",
                                        "WH 1: 1 von 1", "WH 1: ", "Zeile 2"}));
    EXPECT_EQ(dlg->ZyklenEdit->text(), "1");
    EXPECT_EQ(dlg->ZyklenEdit->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(dlg->StartBitBtn->text(), "S&tart");
    EXPECT_TRUE(dlg->isVisible());
}

class VektordlgLaufTest : public VektordlgTest {
protected:
    // A row whose move is held by the double until released.
    void Haltende_Fahrt() {
        Zeile({{6, "100"}});
        Zeile({{7, "200"}});
        Linie()->Sperre_setzen("Vektorfahrt_ausfuehren");
        Linie()->Bei_Aufruf("Achsen_anhalten",
                            [] { Linie()->Sperre_loesen("Vektorfahrt_ausfuehren"); });
    }
    bool Bis_zur_Fahrt() {
        return Linie()->Warten_bis_gesperrt("Vektorfahrt_ausfuehren") &&
               QTest::qWaitFor([&] { return dlg->AbbrechenBitBtn->isVisible(); }, 5000);
    }
};

TEST_F(VektordlgLaufTest, EscHaeltDieAchsenAnOhneDenDialogZuSchliessen) {
    Haltende_Fahrt();
    Oeffnen();
    dlg->ZyklenEdit->setText("3");
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Bis_zur_Fahrt());
    EXPECT_EQ(dlg->StartBitBtn->text(), "Läuft...");
    EXPECT_FALSE(dlg->SchliessenBitBtn->isVisible());
    EXPECT_EQ(dlg->ZyklenEdit->palette().color(QPalette::Base), QColor(Qt::yellow));
    // A second Start while running is ignored.
    dlg->StartBitBtn->click();
    Taste(Qt::Key_Escape);
    ASSERT_TRUE(Abwarten());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren"), 1); // the second row never ran
    const Laufergebnis ergebnis = dlg->Lauf().Ergebnis();
    EXPECT_EQ(ergebnis.Fehlercode, THROW_ABORT);
    EXPECT_EQ(ergebnis.Durchlaeufe, 1);
    EXPECT_TRUE(ui.Meldungen().empty());
    // Esc while idle sends nothing.
    Taste(Qt::Key_Escape);
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(VektordlgLaufTest, ZBeendetDenLaufNachDemZyklus) {
    Haltende_Fahrt();
    Oeffnen();
    dlg->ZyklenEdit->setText("3");
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Bis_zur_Fahrt());
    QTest::keyClicks(dlg->ZyklenEdit, "z");
    EXPECT_TRUE(dlg->ZyklenAbbruchPanel->isVisible());
    EXPECT_EQ(dlg->ZyklenEdit->text(), "3"); // the key does not reach the field
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    ASSERT_TRUE(Abwarten());
    EXPECT_EQ(dlg->Lauf().Ergebnis().Durchlaeufe, 1);
    EXPECT_EQ(dlg->ZyklenEdit->text(), "2");
    EXPECT_FALSE(dlg->ZyklenAbbruchPanel->isVisible());
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 0);
}

TEST_F(VektordlgLaufTest, SchliessenWaehrendDesLaufsHaeltIhnAnUndBeendetDenArbeiter) {
    Haltende_Fahrt();
    Zeile({{6, "5"}, {14, "3"}});
    Oeffnen();
    dlg->EndlosCheckBox->click();
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Bis_zur_Fahrt());
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Beschaeftigt());
    EXPECT_EQ(Anzahl("Linie.Achsen_anhalten"), 1);
    EXPECT_EQ(anzeigen.back(), "Zeile -1");
    // Opened again, it has a new worker that runs.
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    Oeffnen();
    dlg->EndlosCheckBox->click();
    ASSERT_TRUE(Starten_und_abwarten());
    EXPECT_EQ(dlg->Lauf().Ergebnis().Fehlercode, 0);
    EXPECT_EQ(Anzahl("Linie.Vektorfahrt_ausfuehren(1, 1, 5, 0, 0)"), 4);
}

TEST_F(VektordlgLaufTest, EinFehlschlagenderStoppHaeltDasLaufendeNichtAufSolangeSeineBoxOffenIst) {
    Oberflaeche_setzen(&modal_ui);
    Haltende_Fahrt();
    Linie()->Fehler_vorgeben("Achsen_anhalten", COMMUNICATION_ERROR);
    bool beendet_bei_offener_box = false;
    modal_ui.Waehrend_der_Meldung = [&] {
        beendet_bei_offener_box =
            QTest::qWaitFor([&] { return dlg->StartBitBtn->text() == "S&tart"; }, 10000);
    };
    Oeffnen();
    dlg->StartBitBtn->click();
    ASSERT_TRUE(Bis_zur_Fahrt());
    Taste(Qt::Key_Escape);
    EXPECT_TRUE(beendet_bei_offener_box);
    ASSERT_TRUE(Abwarten());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Exception [COMMUNICATION_ERROR]");
    EXPECT_EQ(dlg->Lauf().Ergebnis().Fehlercode, THROW_ABORT);
    EXPECT_TRUE(dlg->isVisible());
}

// Holds every thread at its next protocol line until Loesen: the log file is replaced by a
// FIFO, whose opening for writing waits for a reader. The run logs before it does anything
// else, so it is held before it shows as running.
class Protokollsperre {
public:
    Protokollsperre() : m_pfad(Protokolldateiname()) {
        ::unlink(m_pfad.c_str());
        EXPECT_EQ(::mkfifo(m_pfad.c_str(), 0600), 0);
    }
    ~Protokollsperre() {
        Loesen();
        if (m_leser >= 0) ::close(m_leser);
    }
    Protokollsperre(const Protokollsperre&) = delete;
    Protokollsperre& operator=(const Protokollsperre&) = delete;

    // The held line goes into the FIFO, every later one into a new log file.
    void Loesen() {
        if (m_geloest) return;
        m_geloest = true;
        m_leser = ::open(m_pfad.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ::unlink(m_pfad.c_str());
    }

private:
    std::string m_pfad;
    int m_leser = -1;
    bool m_geloest = false;
};

// The dialog over every real layer down to a simulated controller on a pseudo-terminal.
class VektordlgSimulationTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Oberflaeche_setzen(&fenster_ui);
        Achsen_einstellen(400);
        ASSERT_NO_FATAL_FAILURE(Verbinden());
        tabelle.Schritteingabe = true;
        tabelle.ZeileHinzufuegen();
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "100"));
        dlg = std::make_unique<TVektorDlg>(tabelle);
    }
    void TearDown() override {
        dlg.reset();
        SerielleSimulation::TearDown();
    }

    Modale_Fensteroberflaeche fenster_ui{ui};
    Positionstabelle tabelle;
    std::unique_ptr<TVektorDlg> dlg;
};

TEST_F(VektordlgSimulationTest, SchliessenVorDemLaufbeginnBeiVerstummterSteuerungEndet) {
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    sim->Stumm_schalten(true);
    {
        Protokollsperre sperre;
        dlg->StartBitBtn->click();
        ASSERT_TRUE(dlg->Beschaeftigt());
        // Closing notes the stop for the run, which is let go only then, from the window's
        // event loop while the dialog waits for it to end.
        QTimer::singleShot(0, dlg.get(), [&] { sperre.Loesen(); });
        dlg->close();
    }
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Beschaeftigt());
    EXPECT_EQ(fenster_ui.Nicht_gezeigt(), 0);
    // The run sent the stop as it began; neither it nor the run's first request was answered,
    // and each says so once.
    EXPECT_THAT(Neue_Anfragen(), ::testing::Contains("@B"));
    const auto meldungen = ui.Meldungen();
    EXPECT_EQ(meldungen.size(), 2u);
    for (const auto& m : meldungen) {
        EXPECT_EQ(m.text, "Exception [WAIT_TIMEOUT]");
        EXPECT_EQ(m.titel, "orvexa2011");
    }
    EXPECT_EQ(dlg->Lauf().Ergebnis().Fehlercode, WAIT_TIMEOUT);
}

} // namespace

// 100 steps/s without a ramp: row 1 (100 steps) takes 1 s, row 2 (200 steps) 2 s.
TEST_F(VektordlgLaufTest, ZeigtDieGeschaetzteDauerUndWaehrendDesLaufsDenRest) {
    Parametersatz().Startfreq = Parametersatz().Arbeitsfreq = 100;
    Haltende_Fahrt();
    Oeffnen();
    dlg->ZyklenEdit->setText("3");
    EXPECT_TRUE(dlg->SchaetzungPanel->isVisible());
    EXPECT_FALSE(dlg->FortschrittBalken->isVisible());
    EXPECT_EQ(dlg->SchaetzungLabel->text(), QString::fromUtf8("geschätzte Dauer: 00:00:09"));
    dlg->EndlosCheckBox->click();
    EXPECT_EQ(dlg->SchaetzungLabel->text(), "je Zyklus: 00:00:03");
    dlg->EndlosCheckBox->click();

    dlg->StartBitBtn->click();
    ASSERT_TRUE(Bis_zur_Fahrt());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->FortschrittBalken->maximum() == 6; }, 5000));
    EXPECT_TRUE(dlg->FortschrittBalken->isVisible());
    EXPECT_EQ(dlg->FortschrittBalken->value(), 0);
    EXPECT_EQ(dlg->SchaetzungLabel->text(), "noch 00:00:09");
    Linie()->Sperre_loesen("Vektorfahrt_ausfuehren");
    ASSERT_TRUE(Abwarten());
    // Back at rest: the estimate of the next run, with the cycle count the run left.
    EXPECT_FALSE(dlg->FortschrittBalken->isVisible());
    EXPECT_EQ(dlg->ZyklenEdit->text(), "1");
    EXPECT_EQ(dlg->SchaetzungLabel->text(), QString::fromUtf8("geschätzte Dauer: 00:00:03"));
}
