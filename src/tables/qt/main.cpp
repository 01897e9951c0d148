// The program entry: creates the windows and modules in their order and runs the message loop
// until the main window closes.

#include "angle/qt/nd261testpanel.h"
#include "angle/qt/winkelmodus.h"
#include "angle/qt/wt_parameterdlg.h"
#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "config/qt/parameterform.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "dispensing/qt/domingdialoge.h"
#include "dispensing/qt/domingform.h"
#include "dispensing/qt/quarrenform.h"
#include "drivers/standardtreiber.h"
#include "motion/qt/manuellefahrtform.h"
#include "motion/qt/referenzfahrtform.h"
#include "platform/qt/qtoberflaeche.h"
#include "programmversion.h"
#include "simulation.h"
#include "tables/qt/dialogoeffner.h"
#include "tables/qt/flashdlg.h"
#include "tables/qt/mainform.h"
#include "tables/qt/vektordlg.h"
#include "tables/tabelle.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

using namespace orvexa;

namespace {

void Ausnahme_zeigen(const std::string& text) {
    Protokoll_schreiben(Ebene_Fehler, "Ausnahme: " + text);
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("orvexa2011"),
                          QString::fromStdString(text));
}

// An exception out of an event handler is shown, and the program goes on, as the message loop
// of the original framework did.
class Anwendung : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* empfaenger, QEvent* ereignis) override {
        try {
            return QApplication::notify(empfaenger, ereignis);
        } catch (const std::exception& e) {
            Ausnahme_zeigen(e.what());
        } catch (...) {
            Ausnahme_zeigen("unbekannte Ausnahme");
        }
        return false;
    }
};

// ORVEXA_SCREENSHOT=file.png: once the start-up has ended and the window had 1.5 s to settle,
// the main window is saved to that file and the program ends (scripts/screenshot). With
// ORVEXA_SCREENSHOT_FENSTER naming one of fenster, that window is opened first and saved instead.
// ORVEXA_SCREENSHOT_TABELLE names a table file that is opened first, as "Oeffnen" would.
void Bildschirmfoto_vorbereiten(TMainForm& fenster,
                                const std::map<QString, std::function<void()>>& oeffner) {
    const char* ziel = std::getenv("ORVEXA_SCREENSHOT");
    if (!ziel || !*ziel) return;
    const QString datei = QString::fromLocal8Bit(ziel);
    const char* name = std::getenv("ORVEXA_SCREENSHOT_FENSTER");
    const QString fenstername = name ? QString::fromLocal8Bit(name) : QString();
    const char* tabelle = std::getenv("ORVEXA_SCREENSHOT_TABELLE");
    const QString tabellendatei = tabelle ? QString::fromLocal8Bit(tabelle) : QString();
    const auto aufnehmen = [&fenster, &oeffner, datei, fenstername, tabellendatei] {
        if (!tabellendatei.isEmpty()) {
            fenster.Oeffnen_Dialog = [tabellendatei](const QString&) { return tabellendatei; };
            fenster.MenuOeffnenClick();
        }
        if (fenstername.isEmpty()) {
            QTimer::singleShot(1500, &fenster, [&fenster, datei] {
                const bool gespeichert = fenster.grab().save(datei);
                if (!gespeichert)
                    std::fprintf(stderr, "orvexa2011: cannot write %s\n", qPrintable(datei));
                // Closed like the operator closes it, so the link and the log are tidied up.
                fenster.close();
                QApplication::exit(gespeichert ? 0 : 1);
            });
            return;
        }
        const auto gefunden = oeffner.find(fenstername);
        if (gefunden == oeffner.end() || !gefunden->second) {
            std::fprintf(stderr, "orvexa2011: no window %s\n", qPrintable(fenstername));
            fenster.close();
            QApplication::exit(2);
            return;
        }
        auto gespeichert = std::make_shared<bool>(false);
        // A dispensing window can be shown with a job loaded (ORVEXA_SCREENSHOT_JOB) and its
        // run under way (ORVEXA_SCREENSHOT_START), grabbed after ORVEXA_SCREENSHOT_WARTEN ms.
        const char* job = std::getenv("ORVEXA_SCREENSHOT_JOB");
        const char* start = std::getenv("ORVEXA_SCREENSHOT_START");
        const char* warten = std::getenv("ORVEXA_SCREENSHOT_WARTEN");
        const int wartezeit = warten && *warten ? std::max(100, std::atoi(warten)) : 1500;
        QTimer::singleShot(
            300, &fenster, [job = QString::fromLocal8Bit(job ? job : ""), start = start && *start] {
                auto* d = qobject_cast<TDomingForm*>(QApplication::activeModalWidget());
                if (!d) return;
                if (!job.isEmpty()) {
                    d->Oeffnen_Dialog = [job](const QString&) { return job; };
                    d->MenuOeffnenClick();
                }
                if (start) d->StartBitBtnClick();
            });
        // The window is modal: it is grabbed from inside its own event loop and then closed.
        QTimer::singleShot(wartezeit, &fenster, [datei, gespeichert] {
            QWidget* offen = QApplication::activeModalWidget();
            if (!offen) return;
            *gespeichert = offen->grab().save(datei);
            if (!*gespeichert)
                std::fprintf(stderr, "orvexa2011: cannot write %s\n", qPrintable(datei));
            // A run still going is stopped first: the window does not close during one.
            if (auto* d = qobject_cast<TDomingForm*>(offen)) {
                d->AbbrechenBitBtnClick();
                auto* schliessen = new QTimer(d);
                QObject::connect(schliessen, &QTimer::timeout, d, [d] {
                    if (d->isVisible()) d->close();
                });
                schliessen->start(200);
                return;
            }
            offen->close();
        });
        QTimer::singleShot(0, &fenster, [&fenster, oeffnen = gefunden->second, gespeichert] {
            oeffnen();
            fenster.close();
            QApplication::exit(*gespeichert ? 0 : 1);
        });
    };
    QObject::connect(&fenster, &TMainForm::Startvorgang_beendet, &fenster, aufnehmen);
}

int Programm(Anwendung& app) {
    Standardtreiber_einrichten();
    // Before the windows: the test panel shows it until the end.
    Winkeltranskript transkript;

    auto fenster = std::make_unique<TMainForm>(QApplication::arguments());
    fenster->Simulation_starter = [](int32_t modul, int32_t comport, std::string* fehler) {
        return Simulation_starten(modul, comport, {}, fehler);
    };
    Serielle_Linie_erzeugen();
    auto tabelle = std::make_unique<Positionstabelle>();
    fenster->Tabellenmodul_setzen(tabelle.get());
    auto parameterform = std::make_unique<TParameterForm>(fenster.get());
    auto referenzform = std::make_unique<TReferenzfahrtForm>(fenster.get());
    auto manuellform = std::make_unique<TManuelleFahrtForm>(fenster.get());
    auto flashdlg = std::make_unique<TFlashDlg>(*tabelle, fenster.get());
    fenster->Programmspeicher_oeffnen = [f = fenster.get(), d = flashdlg.get()](bool loeschmodus) {
        d->LoeschModus = loeschmodus;
        d->ModusKora = f->ModusKora;
        d->ModusTorval = f->ModusTorval;
        Zentrieren(*d, *f);
        d->exec();
    };
    auto wtparameterdlg = std::make_unique<TWT_ParameterDlg>(fenster.get());
    // The vector output dialog signals hEventInit when it has been made.
    auto vektordlg = std::make_unique<TVektorDlg>(*tabelle, fenster.get(), &fenster->hEventInit);
    vektordlg->Tabellenanzeige_setzen(
        {[f = fenster.get()](int zeile) { f->AktuelleZeile_setzen(zeile); },
         [f = fenster.get()](int zeile, const std::string& text) {
             f->Wiederholung_anzeigen(zeile, text);
         }});
    fenster->Vektorausgabe_oeffnen = [f = fenster.get(), d = vektordlg.get()] {
        d->ModusKora = f->ModusKora;
        d->ModusWT = f->ModusWT;
        d->ModusTorval = f->ModusTorval;
        d->exec();
    };

    // The Doming window, and for the "/PELLIX" installations the pressure-fed one; each with
    // dialogs of its own.
    auto domingform = std::make_unique<TDomingForm>(fenster.get());
    auto domingdialoge = std::make_unique<Domingdialoge>(*domingform);
    Domingdialoge_verbinden(*domingform, *domingdialoge);
    auto quarrenform = std::make_unique<TQuarrenForm>(fenster.get());
    auto quarrendialoge = std::make_unique<Domingdialoge>(*quarrenform);
    Domingdialoge_verbinden(*quarrenform, *quarrendialoge);
    const auto dosierfenster_oeffnen = [f = fenster.get()](TDomingForm& d) {
        d.ModusKora = f->ModusKora;
        d.ModusEntwicklung = f->ModusEntwicklung;
        Zentrieren(d, *f, true);
        d.exec();
    };
    fenster->Doming_oeffnen = [=, f = fenster.get(), d = domingform.get(), q = quarrenform.get()] {
        dosierfenster_oeffnen(f->ModusPellix ? *q : *d);
    };
    auto nd261 = std::make_unique<TWT_ND261DM>(transkript);
    nd261->Abbruchflag_setzen(&vektordlg->Lauf().VekAbbruch);
    KXCU_Winkelachse winkelachse(*nd261);
    Winkelpositionierung winkel(wtparameterdlg->Parameter, transkript, winkelachse,
                                &vektordlg->Lauf().VekAbbruch);
    // A child of the main window from here on.
    auto* testpanel = new TND261TestPanel(winkel, transkript, fenster.get());

    Dialoge_verbinden(*fenster, *parameterform, *referenzform, *manuellform);
    Winkelmodus_einrichten({*fenster, *wtparameterdlg, *nd261, winkel, *vektordlg, *testpanel},
                           {[](const WT_Parameter& p, std::string* fehler) {
                                return Winkelsimulation_starten(p, {}, fehler);
                            },
                            Winkelsimulation_Vorgaben});

    const std::map<QString, std::function<void()>> oeffner{
        {QStringLiteral("Vektorausgabe"), fenster->Vektorausgabe_oeffnen},
        {QStringLiteral("Parameter"), fenster->Parameter_oeffnen},
        {QStringLiteral("Referenz"), fenster->Referenz_oeffnen},
        {QStringLiteral("Manuell"), fenster->Manuell_oeffnen},
        {QStringLiteral("Programmspeicher"),
         [f = fenster.get()] {
             if (f->Programmspeicher_oeffnen) f->Programmspeicher_oeffnen(false);
         }},
        {QStringLiteral("Doming"), [=, d = domingform.get()] { dosierfenster_oeffnen(*d); }},
        {QStringLiteral("Quarren"), [=, q = quarrenform.get()] { dosierfenster_oeffnen(*q); }},
        {QStringLiteral("DomingParameter"),
         [f = fenster.get(), d = domingdialoge.get(), q = quarrendialoge.get()] {
             (f->ModusPellix ? q : d)->Parameter.exec();
         }},
        {QStringLiteral("Winkelparameter"), [w = wtparameterdlg.get()] { w->exec(); }},
    };
    Bildschirmfoto_vorbereiten(*fenster, oeffner);
    fenster->show();
    const int ergebnis = app.exec();
    // The dialog is a child of the main window: it goes first, or Qt would delete it twice.
    fenster->Vektorausgabe_oeffnen = nullptr;
    fenster->Parameter_oeffnen = nullptr;
    fenster->Referenz_oeffnen = nullptr;
    fenster->Manuell_oeffnen = nullptr;
    fenster->Programmspeicher_oeffnen = nullptr;
    fenster->Doming_oeffnen = nullptr;
    quarrendialoge.reset();
    quarrenform.reset();
    domingdialoge.reset();
    domingform.reset();
    fenster->Winkelparameter_laden = nullptr;
    fenster->Anzeige_oeffnen = nullptr;
    fenster->Winkelsimulation_starter = nullptr;
    vektordlg.reset();
    nd261->ND261_schliessen();
    wtparameterdlg.reset();
    flashdlg.reset();
    manuellform.reset();
    referenzform.reset();
    parameterform.reset();
    fenster.reset();
    tabelle.reset();
    return ergebnis;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before any window exists, so it works without a display. The other switches
    // are the original's ("/SIM", "/WT", ...) and are read by the main window.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("orvexa2011 %s\n", Programmversion);
            return 0;
        }
    }
    Anwendung app(argc, argv);
    // Ties the windows to the installed desktop entry (Wayland app id, taskbar icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvexa.orvexa2011"));
    QtOberflaeche ui;
    Oberflaeche_setzen(&ui);
    int ergebnis = 1;
    try {
        ergebnis = Programm(app);
    } catch (const std::exception& e) {
        Ausnahme_zeigen(e.what());
    } catch (...) {
        Ausnahme_zeigen("unbekannte Ausnahme");
    }
    Steuerungsmodule_freigeben();
    Oberflaeche_setzen(nullptr);
    return ergebnis;
}
