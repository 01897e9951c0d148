// The path preview in the main window on Qt's offscreen platform: it follows the row a vector
// output run on the simulated controller executes, follows edits of the grid, and keeps the
// operator's choice in its own file.

#include "tables/qt/pfadansicht.h"

#include "core/steuerung.h"
#include "drivers/standardtreiber.h"
#include "platform/portverzeichnis.h"
#include "qt/fensteroberflaeche.h"
#include "seriellesteuerung.h"
#include "simulation.h"
#include "tables/ansichtseinstellungen.h"
#include "tables/qt/mainform.h"
#include "tables/qt/tabellenmodell.h"
#include "tables/qt/vektordlg.h"
#include "testhilfen.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <gmock/gmock.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace orvexa;
using orvexa::test::Testumgebung;

namespace {

class PfadansichtTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        // The run's progress reaches the window thread queued, as in the program.
        Oberflaeche_setzen(&fenster_ui);
        if (const char* alt = std::getenv("ORVEXA_PORTS")) alte_ports = alt;
        ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
        Standardtreiber_einrichten();
        ansichtsdatei = ordner.Datei("konfig/orvexa2011/orvexa2011-ansicht.conf");
    }

    void TearDown() override {
        dlg.reset();
        fenster.reset();
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        sim.reset();
        if (alte_ports)
            ::setenv("ORVEXA_PORTS", alte_ports->c_str(), 1);
        else
            ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    // Start-up on a controller at time scale 0 as COM1, then a new table in steps.
    void Starten() {
        if (!sim) {
            sim = std::make_unique<SerielleSteuerung>();
            ASSERT_TRUE(COM_registrieren(1, sim->Geraetepfad()));
        }
        fenster = std::make_unique<TMainForm>(QStringList{QStringLiteral("/pfad/zu/orvexa2011")});
        Serielle_Linie_erzeugen();
        fenster->Tabellenmodul_setzen(&tabelle);
        fenster->Ansichtsdatei = ansichtsdatei;
        fenster->hEventInit.Setzen();
        fenster->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return fenster->Gestartet(); }, 10'000));
        ASSERT_TRUE(fenster->Verbunden);
        fenster->MenuNeuClick();
        fenster->MenuSchritteingabeClick();
        ansicht = fenster->Pfadvorschau();
        ASSERT_NE(ansicht, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(fenster.get()));
    }

    // Typed into the grid's model, as the grid's editor hands it over.
    void Eingeben(int zeile, int spalte, const char* text) {
        Tabellenmodell& m = *fenster->Modell();
        ASSERT_TRUE(m.setData(m.Zellindex(zeile, spalte), QString::fromUtf8(text), Qt::EditRole));
    }

    QColor Farbe_nach(int zeile) {
        QPointF p;
        if (!ansicht->Bildpunkt_nach(zeile, p)) return {};
        return ansicht->grab().toImage().pixelColor(p.toPoint());
    }

    orvexa::test::Fensteroberflaeche fenster_ui{ui};
    std::optional<std::string> alte_ports;
    std::string ansichtsdatei;
    std::unique_ptr<SerielleSteuerung> sim;
    Positionstabelle tabelle;
    std::unique_ptr<TMainForm> fenster;
    std::unique_ptr<TVektorDlg> dlg;
    Pfadansicht* ansicht = nullptr;
};

TEST_F(PfadansichtTest, HervorgehobeneZeileFolgtDemLaufAufDerSimuliertenMaschine) {
    ASSERT_NO_FATAL_FAILURE(Starten());
    ASSERT_TRUE(ansicht->isVisible());
    ASSERT_GT(ansicht->width(), 50);
    Eingeben(1, 6, "400");
    Eingeben(2, 7, "300");
    Eingeben(3, 6, "-200");
    Eingeben(3, 7, "100");
    Eingeben(4, 8, "50"); // z only: stands where row 3 ended
    Eingeben(5, 6, "-100");
    Eingeben(5, 14, "1");
    // The grid's edits reached the path.
    ASSERT_EQ(ansicht->Pfad().Punkte().size(), 5u);
    EXPECT_EQ(ansicht->Pfad().Punkte().back().x, 0);
    EXPECT_EQ(ansicht->Pfad().Punkte().back().y, 400);

    // Wired as the program entry wires it.
    dlg = std::make_unique<TVektorDlg>(tabelle);
    dlg->Tabellenanzeige_setzen({[f = fenster.get()](int zeile) { f->AktuelleZeile_setzen(zeile); },
                                 [f = fenster.get()](int zeile, const std::string& text) {
                                     f->Wiederholung_anzeigen(zeile, text);
                                 }});
    std::vector<int> gezeigt;
    int richtig_gezeichnet = 0;
    bool fremder_thread = false;
    QObject::connect(ansicht, &Pfadansicht::Laufzeile_gezeigt, ansicht, [&](int zeile) {
        gezeigt.push_back(zeile);
        if (QThread::currentThread() != qApp->thread()) fremder_thread = true;
        // The point after the row is drawn in the run colour, and the grid agrees.
        if (Farbe_nach(zeile) == Pfadansicht::Laufzeilenfarbe() &&
            fenster->Modell()->AktuelleZeile() == zeile)
            ++richtig_gezeichnet;
    });

    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    dlg->ZyklenEdit->setText("2");
    dlg->StartBitBtn->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->Beschaeftigt(); }, 5000));
    QCoreApplication::processEvents();

    EXPECT_EQ(gezeigt, (std::vector<int>{1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));
    EXPECT_EQ(richtig_gezeichnet, static_cast<int>(gezeigt.size()));
    EXPECT_FALSE(fremder_thread);
    EXPECT_EQ(ansicht->Laufzeile(), 5);
    // The moves the machine made are the path's: one cycle ends at (0, 400) steps.
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 2 * 0);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('y'), 2 * 400);

    // Closing the dialog ends the highlight.
    dlg->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(ansicht->Laufzeile(), -1);
}

TEST_F(PfadansichtTest, KlickWaehltDieZeileRadUndDoppelklickPassenEin) {
    ASSERT_NO_FATAL_FAILURE(Starten());
    Eingeben(1, 6, "100");
    Eingeben(2, 7, "100");
    Eingeben(3, 6, "-100");
    QCoreApplication::processEvents();

    // The grid's cursor row is the preview's.
    fenster->Gitter()->setCurrentIndex(fenster->Modell()->Zellindex(2, 6));
    EXPECT_EQ(ansicht->Cursorzeile(), 2);
    QPointF ecke;
    ASSERT_TRUE(ansicht->Bildpunkt_nach(3, ecke));
    QTest::mouseClick(ansicht, Qt::LeftButton, {}, ecke.toPoint());
    EXPECT_EQ(fenster->Gitter()->currentIndex().row() + 1, 3);
    EXPECT_EQ(ansicht->Cursorzeile(), 3);

    // The wheel zooms about the pointer: the corner under it stays.
    const QPointF unter = ecke;
    QWheelEvent rad(unter, ansicht->mapToGlobal(unter), {}, {0, 240}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
    QApplication::sendEvent(ansicht, &rad);
    EXPECT_FALSE(ansicht->Eingepasst());
    QPointF danach;
    ASSERT_TRUE(ansicht->Bildpunkt_nach(3, danach));
    EXPECT_NEAR(danach.x(), unter.x(), 0.5);
    EXPECT_NEAR(danach.y(), unter.y(), 0.5);
    // Zoomed in, the far corner is off the view; a double click brings the whole path back.
    QPointF fern;
    ASSERT_TRUE(ansicht->Bildpunkt_nach(1, fern));
    EXPECT_FALSE(ansicht->rect().contains(fern.toPoint()));
    QTest::mouseDClick(ansicht, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(ansicht->Eingepasst());
    for (int zeile = 0; zeile <= 3; ++zeile) {
        ASSERT_TRUE(ansicht->Bildpunkt_nach(zeile, fern));
        EXPECT_TRUE(ansicht->rect().contains(fern.toPoint())) << zeile;
    }
}

TEST_F(PfadansichtTest, GeschlossenBleibtEsInDerEigenenDatei) {
    ASSERT_NO_FATAL_FAILURE(Starten());
    const auto programmdateien = [&] {
        std::vector<std::string> namen;
        for (const auto& e : std::filesystem::directory_iterator(ordner.Pfad()))
            namen.push_back(e.path().filename().string());
        return namen;
    };
    const std::vector<std::string> vorher = programmdateien();
    EXPECT_GT(fenster->Teiler()->sizes().value(1), 0);
    auto* knopf = ansicht->findChild<QToolButton*>();
    ASSERT_NE(knopf, nullptr);
    knopf->click();
    EXPECT_EQ(fenster->Teiler()->sizes().value(1), 0);
    EXPECT_FALSE(Ansichtseinstellungen_laden(ansichtsdatei).Pfadvorschau_offen);
    // Nothing was written beside the program's files but our own folder.
    std::vector<std::string> nachher = programmdateien();
    std::erase(nachher, std::string("konfig"));
    EXPECT_EQ(nachher, vorher);

    // The next start keeps it closed.
    fenster.reset();
    Steuerung_schliessen();
    ASSERT_NO_FATAL_FAILURE(Starten());
    EXPECT_EQ(fenster->Teiler()->sizes().value(1), 0);
    EXPECT_GT(fenster->Teiler()->sizes().value(0), 0);
}

} // namespace
