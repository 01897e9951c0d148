#include "platform/qt/knopfleiste.h"

#include <QBoxLayout>
#include <QPushButton>

namespace orvexa {

Knopfleiste Knopfleiste_anlegen(QWidget* dialog, QBoxLayout* layout, const QString& starttext) {
    Knopfleiste k;
    k.Start = new QPushButton(starttext, dialog);
    k.Abbrechen = new QPushButton(QStringLiteral("&Abbrechen"), dialog);
    k.Schliessen = new QPushButton(QStringLiteral("&Schließen"), dialog);
    for (QPushButton* knopf : {k.Start, k.Abbrechen, k.Schliessen}) {
        knopf->setAutoDefault(false);
        knopf->setDefault(false);
    }
    auto* leiste = new QHBoxLayout();
    leiste->addWidget(k.Start);
    leiste->addStretch();
    leiste->addWidget(k.Abbrechen);
    leiste->addWidget(k.Schliessen);
    layout->addLayout(leiste);
    return k;
}

} // namespace orvexa
