#include "domingdosierzeitform.h"

#include "platform/qt/qtext.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvexa {

TDomingDosierzeitForm::TDomingDosierzeitForm(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* haupt = new QVBoxLayout(this);

    DZPanel = new QFrame(this);
    DZPanel->setFrameShape(QFrame::StyledPanel);
    auto* gitter = new QGridLayout(DZPanel);
    DZAnzeigePanel = new QLabel(DZPanel);
    DZAnzeigePanel->setFrameShape(QFrame::Panel);
    DZAnzeigePanel->setFrameShadow(QFrame::Sunken);
    DZAnzeigePanel->setMinimumWidth(200);
    QFont fest = DZAnzeigePanel->font();
    fest.setFamily(QStringLiteral("Courier New"));
    fest.setStyleHint(QFont::TypeWriter);
    DZAnzeigePanel->setFont(fest);
    DZUpDownHoch = new QToolButton(DZPanel);
    DZUpDownRunter = new QToolButton(DZPanel);
    DZUpDownHoch->setArrowType(Qt::UpArrow);
    DZUpDownRunter->setArrowType(Qt::DownArrow);
    auto* pfeile = new QVBoxLayout();
    pfeile->setSpacing(0);
    pfeile->addWidget(DZUpDownHoch);
    pfeile->addWidget(DZUpDownRunter);
    DZDosierenButton = new QPushButton(DZPanel);
    DZLoeschenButton = new QPushButton(DZPanel);
    DZDosierenButton->setAutoDefault(false);
    DZLoeschenButton->setAutoDefault(false);
    gitter->addWidget(DZAnzeigePanel, 0, 0, 1, 2);
    gitter->addLayout(pfeile, 0, 2);
    gitter->addWidget(DZDosierenButton, 1, 0);
    gitter->addWidget(DZLoeschenButton, 1, 1, 1, 2);
    haupt->addWidget(DZPanel);

    DZDosiervorgangButton = new QPushButton(this);
    DZDosiervorgangButton->setAutoDefault(false);
    haupt->addWidget(DZDosiervorgangButton);

    auto* leiste = new QHBoxLayout();
    UebernehmenBitBtn = new QPushButton(this);
    AbbrechenBitBtn = new QPushButton(this);
    UebernehmenBitBtn->setAutoDefault(false);
    AbbrechenBitBtn->setAutoDefault(false);
    leiste->addStretch();
    leiste->addWidget(UebernehmenBitBtn);
    leiste->addWidget(AbbrechenBitBtn);
    haupt->addLayout(leiste);

    DZTimer = new QTimer(this);
    DZTimer->setInterval(Dosierzeitmessung::Takt_ms);
    DZTimer->setSingleShot(true);

    connect(DZDosierenButton, &QPushButton::pressed, this,
            &TDomingDosierzeitForm::DZDosierenButtonMouseDown);
    connect(DZDosierenButton, &QPushButton::released, this,
            &TDomingDosierzeitForm::DZDosierenButtonMouseUp);
    connect(DZLoeschenButton, &QPushButton::clicked, this,
            &TDomingDosierzeitForm::DZLoeschenButtonClick);
    connect(DZDosiervorgangButton, &QPushButton::clicked, this,
            &TDomingDosierzeitForm::DZDosiervorgangButtonClick);
    connect(DZUpDownHoch, &QToolButton::clicked, this, [this] {
        Messung.Hoch();
        Anzeige();
    });
    connect(DZUpDownRunter, &QToolButton::clicked, this, [this] {
        Messung.Runter();
        Anzeige();
    });
    connect(UebernehmenBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DZTimer, &QTimer::timeout, this, &TDomingDosierzeitForm::DZTimerTimer);

    Sprache_anwenden(Sprache::deutsch);
}

TDomingDosierzeitForm::~TDomingDosierzeitForm() {
    // A dialog destroyed while the button is held must not leave the valve open.
    Messung.Dosieren_losgelassen();
}

void TDomingDosierzeitForm::Sprache_anwenden(Sprache s) {
    m_sprache = s;
    setWindowTitle(Q(Text(s, Textnummer::Dosierzeit_Titel)));
    DZDosierenButton->setText(Q(Text(s, Textnummer::Dosieren)));
    DZLoeschenButton->setText(Q(Text(s, Textnummer::Loeschen)));
    DZDosiervorgangButton->setText(Q(Text(s, Textnummer::kompletter_Dosiervorgang)));
    UebernehmenBitBtn->setText(Q(Text(s, Textnummer::Uebernehmen)));
    AbbrechenBitBtn->setText(Q(Text(s, Textnummer::Abbrechen)));
    Anzeige();
}

void TDomingDosierzeitForm::Oeffnen(double PDosierzeit, QPoint seiten) {
    Messung.Oeffnen(PDosierzeit);
    move(Platz_neben(seiten));
    Anzeige();
}

void TDomingDosierzeitForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    Messung.Aktivieren();
    Takt_abgleichen();
    Anzeige();
}

void TDomingDosierzeitForm::Anzeige() {
    DZAnzeigePanel->setText(Q(Dosierzeittext(m_sprache, Messung.Sekunden())));
}

void TDomingDosierzeitForm::Takt_abgleichen() {
    if (!Messung.Takt_laeuft())
        DZTimer->stop();
    else if (!DZTimer->isActive())
        DZTimer->start();
}

void TDomingDosierzeitForm::DZDosierenButtonMouseDown() {
    if (Messung.Dosiert()) return;
    Messung.Dosieren_gedrueckt();
    Takt_abgleichen();
}

void TDomingDosierzeitForm::DZDosierenButtonMouseUp() {
    Messung.Dosieren_losgelassen();
    Anzeige();
}

void TDomingDosierzeitForm::DZTimerTimer() {
    Messung.Takt();
    Anzeige();
    Takt_abgleichen();
}

void TDomingDosierzeitForm::DZLoeschenButtonClick() {
    Messung.Loeschen();
    Anzeige();
}

void TDomingDosierzeitForm::DZDosiervorgangButtonClick() {
    if (m_vorgang || Messung.Dosiert()) return;
    m_vorgang = true;
    for (QWidget* w :
         {static_cast<QWidget*>(DZPanel), static_cast<QWidget*>(DZDosiervorgangButton),
          static_cast<QWidget*>(UebernehmenBitBtn), static_cast<QWidget*>(AbbrechenBitBtn)})
        w->setEnabled(false);
    // The operator sees the dialog disabled before the valve opens.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    Messung.Kompletter_Dosiervorgang();
    for (QWidget* w :
         {static_cast<QWidget*>(DZPanel), static_cast<QWidget*>(DZDosiervorgangButton),
          static_cast<QWidget*>(UebernehmenBitBtn), static_cast<QWidget*>(AbbrechenBitBtn)})
        w->setEnabled(true);
    m_vorgang = false;
}

void TDomingDosierzeitForm::done(int ergebnis) {
    if (m_vorgang) return;
    if (Messung.Dosiert()) {
        DZDosierenButton->setDown(false);
        Messung.Dosieren_losgelassen();
    }
    Messung.Aktivieren();
    DZTimer->stop();
    QDialog::done(ergebnis);
}

void TDomingDosierzeitForm::keyPressEvent(QKeyEvent* ereignis) {
    if (Tastatur && !ereignis->isAutoRepeat()) {
        if (ereignis->key() == Qt::Key_D) {
            DZDosierenButtonMouseDown();
            return;
        }
        if (ereignis->modifiers() & Qt::KeypadModifier) {
            if (ereignis->key() == Qt::Key_Plus || ereignis->key() == Qt::Key_Minus) {
                ereignis->key() == Qt::Key_Plus ? Messung.Hoch() : Messung.Runter();
                Anzeige();
                return;
            }
        }
    }
    QDialog::keyPressEvent(ereignis);
}

void TDomingDosierzeitForm::keyReleaseEvent(QKeyEvent* ereignis) {
    if (Tastatur && !ereignis->isAutoRepeat() && Messung.Dosiert()) {
        DZDosierenButtonMouseUp();
        return;
    }
    QDialog::keyReleaseEvent(ereignis);
}

} // namespace orvexa
