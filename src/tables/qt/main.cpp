// The program entry: creates the windows and modules in their order and runs the message loop
// until the main window closes.

#include "config/qt/parameterform.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "drivers/standardtreiber.h"
#include "motion/qt/manuellefahrtform.h"
#include "motion/qt/referenzfahrtform.h"
#include "platform/qt/qtoberflaeche.h"
#include "tables/qt/mainform.h"
#include "tables/tabelle.h"
#include "tables/qt/vektordlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

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
// the main window is saved to that file and the program ends (scripts/screenshot).
void Bildschirmfoto_vorbereiten(TMainForm& fenster) {
    const char* ziel = std::getenv("ORVEXA_SCREENSHOT");
    if (!ziel || !*ziel) return;
    const QString datei = QString::fromLocal8Bit(ziel);
    const auto aufnehmen = [&fenster, datei] {
        QTimer::singleShot(1500, &fenster, [&fenster, datei] {
            const bool gespeichert = fenster.grab().save(datei);
            if (!gespeichert)
                std::fprintf(stderr, "orvexa2011: cannot write %s\n", qPrintable(datei));
            // Closed like the operator closes it, so the link and the log are tidied up.
            fenster.close();
            QApplication::exit(gespeichert ? 0 : 1);
        });
    };
    QObject::connect(&fenster, &TMainForm::Startvorgang_beendet, &fenster, aufnehmen);
}

// Centres dialog over the main window (horizontally only when nur_waagerecht).
void Zentrieren(QWidget& dialog, const QWidget& ueber, bool nur_waagerecht = false) {
    const QRect rahmen = ueber.frameGeometry();
    const int x = rahmen.x() + (rahmen.width() - dialog.width()) / 2;
    const int y =
        nur_waagerecht ? dialog.y() : rahmen.y() + (rahmen.height() - dialog.height()) / 2;
    dialog.move(x, y);
}

// The openers of the main window's Parameter, Referenz and Manuell commands: each colours
// its dialog for the mode, places it and shows it modally.
void Dialoge_verbinden(TMainForm& f, TParameterForm& parameter, TReferenzfahrtForm& referenz,
                       TManuelleFahrtForm& manuell) {
    const QColor knopfflaeche = QApplication::palette().color(QPalette::Button);
    referenz.WT_Modus_setzen(f.ModusWT);

    f.Parameter_oeffnen = [&f, &parameter] {
        parameter.Farben_setzen(QColor(0x00, 0xCC, 0x00), QColor(0x00, 0x80, 0xFF), Qt::black,
                                Qt::white, Qt::black, Qt::white);
        Zentrieren(parameter, f, true);
        parameter.exec();
    };
    f.Referenz_oeffnen = [&f, &referenz, knopfflaeche] {
        referenz.Panelfarbe = f.ModusWT ? knopfflaeche : QColor(0xFF, 0x35, 0x35);
        referenz.Schriftfarbe = f.ModusWT ? QColor(Qt::black) : QColor(Qt::white);
        referenz.Vollinitialisierung = f.ModusKora;
        Zentrieren(referenz, f);
        referenz.exec();
    };
    f.Manuell_oeffnen = [&f, &manuell, knopfflaeche] {
        manuell.Panelfarbe = f.ModusWT ? knopfflaeche : QColor(0xFF, 0xFF, 0x80);
        // Only the jog part; the grids lie to the right of it.
        manuell.resize(324, manuell.height());
        if (f.ModusManuell) {
            manuell.move(0, 0);
        } else {
            manuell.Vollinitialisierung = f.ModusKora;
            Zentrieren(manuell, f);
        }
        manuell.exec();
    };
}

int Programm(Anwendung& app) {
    Standardtreiber_einrichten();

    auto fenster = std::make_unique<TMainForm>(QApplication::arguments());
    Serielle_Linie_erzeugen();
    auto tabelle = std::make_unique<Positionstabelle>();
    fenster->Tabellenmodul_setzen(tabelle.get());
    auto parameterform = std::make_unique<TParameterForm>(fenster.get());
    auto referenzform = std::make_unique<TReferenzfahrtForm>(fenster.get());
    auto manuellform = std::make_unique<TManuelleFahrtForm>(fenster.get());
    // The windows of the later parts come here in their order; the vector output dialog
    // signals hEventInit when it has been made.
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

    Dialoge_verbinden(*fenster, *parameterform, *referenzform, *manuellform);

    Bildschirmfoto_vorbereiten(*fenster);
    fenster->show();
    const int ergebnis = app.exec();
    // The dialog is a child of the main window: it goes first, or Qt would delete it twice.
    fenster->Vektorausgabe_oeffnen = nullptr;
    fenster->Parameter_oeffnen = nullptr;
    fenster->Referenz_oeffnen = nullptr;
    fenster->Manuell_oeffnen = nullptr;
    vektordlg.reset();
    manuellform.reset();
    referenzform.reset();
    parameterform.reset();
    fenster.reset();
    tabelle.reset();
    return ergebnis;
}

} // namespace

int main(int argc, char** argv) {
    Anwendung app(argc, argv);
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
