#include "dialogoeffner.h"

#include "config/qt/parameterform.h"
#include "motion/qt/manuellefahrtform.h"
#include "motion/qt/referenzfahrtform.h"
#include "tables/qt/mainform.h"

#include <QApplication>
#include <QPalette>

namespace orvexa {

namespace {

QColor Knopfflaeche() {
    return QApplication::palette().color(QPalette::Button);
}

} // namespace

void Zentrieren(QWidget& dialog, const QWidget& ueber, bool nur_waagerecht) {
    const QRect rahmen = ueber.frameGeometry();
    const int x = rahmen.x() + (rahmen.width() - dialog.width()) / 2;
    const int y =
        nur_waagerecht ? dialog.y() : rahmen.y() + (rahmen.height() - dialog.height()) / 2;
    dialog.move(x, y);
}

void Referenz_einrichten(const TMainForm& f, TReferenzfahrtForm& referenz) {
    referenz.Panelfarbe = f.ModusWT ? Knopfflaeche() : QColor(0xFF, 0x35, 0x35);
    referenz.Schriftfarbe = f.ModusWT ? QColor(Qt::black) : QColor(Qt::white);
    referenz.Vollinitialisierung = f.ModusKora;
    Zentrieren(referenz, f);
}

void Manuell_einrichten(const TMainForm& f, TManuelleFahrtForm& manuell) {
    manuell.Panelfarbe = f.ModusWT ? Knopfflaeche() : QColor(0xFF, 0xFF, 0x80);
    // Only the jog part; the grids lie to the right of it.
    manuell.resize(324, manuell.height());
    // The manual-only mode places the dialog in the corner, but initialises like the others.
    manuell.Vollinitialisierung = f.ModusKora;
    if (f.ModusManuell)
        manuell.move(0, 0);
    else
        Zentrieren(manuell, f);
}

void Dialoge_verbinden(TMainForm& f, TParameterForm& parameter, TReferenzfahrtForm& referenz,
                       TManuelleFahrtForm& manuell) {
    referenz.WT_Modus_setzen(f.ModusWT);
    f.Parameter_oeffnen = [&f, &parameter] {
        parameter.Farben_setzen(QColor(0x00, 0xCC, 0x00), QColor(0x00, 0x80, 0xFF), Qt::black,
                                Qt::white, Qt::black, Qt::white);
        Zentrieren(parameter, f, true);
        parameter.exec();
    };
    f.Referenz_oeffnen = [&f, &referenz] {
        Referenz_einrichten(f, referenz);
        referenz.exec();
    };
    f.Manuell_oeffnen = [&f, &manuell] {
        Manuell_einrichten(f, manuell);
        manuell.exec();
    };
}

} // namespace orvexa
