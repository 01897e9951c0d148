#include "nd261testpanel.h"

#include "angle/winkelpositionierung.h"
#include "angle/winkeltranskript.h"
#include "platform/qt/qtext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <QVBoxLayout>

namespace orvexa {

TND261TestPanel::TND261TestPanel(Winkelpositionierung& winkel, Winkeltranskript& transkript,
                                 QWidget* parent)
    : QFrame(parent), Testdatei(Winkeltranskript::Testdatei), m_winkel(winkel),
      m_transkript(transkript) {
    setObjectName(QStringLiteral("ND261_Panel"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);

    auto* anordnung = new QVBoxLayout(this);
    auto* eingabe = new QHBoxLayout;
    WinkelLabel = new QLabel(QStringLiteral("Winkel eingeben:"), this);
    ND261Test_MaskEdit = new QLineEdit(this);
    ND261Test_MaskEdit->setFixedWidth(
        ND261Test_MaskEdit->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 12);
    ND261Anfahren_BitBtn = new QPushButton(QStringLiteral("anfahren"), this);
    eingabe->addWidget(WinkelLabel);
    eingabe->addWidget(ND261Test_MaskEdit);
    eingabe->addWidget(ND261Anfahren_BitBtn);
    eingabe->addStretch();
    anordnung->addLayout(eingabe);

    ND261_RichEdit = new QTextEdit(this);
    ND261_RichEdit->setReadOnly(true);
    ND261_RichEdit->setLineWrapMode(QTextEdit::NoWrap);
    anordnung->addWidget(ND261_RichEdit, 1);

    auto* unten = new QHBoxLayout;
    NT261TestBeenden_BitBtn = new QPushButton(QStringLiteral("Test beenden"), this);
    unten->addStretch();
    unten->addWidget(NT261TestBeenden_BitBtn);
    anordnung->addLayout(unten);

    connect(ND261Anfahren_BitBtn, &QPushButton::clicked, this,
            &TND261TestPanel::ND261Anfahren_BitBtnClick);
    connect(ND261Test_MaskEdit, &QLineEdit::returnPressed, this,
            &TND261TestPanel::ND261Anfahren_BitBtnClick);
    connect(NT261TestBeenden_BitBtn, &QPushButton::clicked, this,
            &TND261TestPanel::NT261TestBeenden_BitBtnClick);

    m_transkript.Beobachter_setzen(
        {[this](const std::string& zeile) {
             const QString text = Q(zeile);
             // Shown at once on the window thread, so the lines appear while the approach
             // waits; a table run's lines are queued.
             if (QThread::currentThread() == thread())
                 Zeile_zeigen(text);
             else
                 QMetaObject::invokeMethod(
                     this, [this, text] { Zeile_zeigen(text); }, Qt::QueuedConnection);
         },
         [this] {
             if (QThread::currentThread() == thread())
                 ND261_RichEdit->clear();
             else
                 QMetaObject::invokeMethod(
                     this, [this] { ND261_RichEdit->clear(); }, Qt::QueuedConnection);
         }});
    resize(420, 380);
    hide();
}

TND261TestPanel::~TND261TestPanel() {
    m_transkript.Beobachter_setzen({});
}

void TND261TestPanel::Transkript_leeren() {
    m_transkript.Leeren();
}

void TND261TestPanel::Zeile_zeigen(const QString& zeile) {
    ND261_RichEdit->append(zeile);
}

void TND261TestPanel::ND261Anfahren_BitBtnClick() {
    // The approach pumps window messages while it waits; a second click must not start
    // another one inside it.
    if (m_laeuft) return;
    m_laeuft = true;
    ND261Anfahren_BitBtn->setEnabled(false);
    if (Beginnt) Beginnt();
    m_erreicht = m_winkel.Test_anfahren(ND261Test_MaskEdit->text().toStdString(), Testdatei);
    m_laeuft = false;
    ND261Anfahren_BitBtn->setEnabled(true);
    hide();
    if (Fertig) Fertig();
}

void TND261TestPanel::NT261TestBeenden_BitBtnClick() {
    m_winkel.Test_beenden();
    hide();
}

} // namespace orvexa
