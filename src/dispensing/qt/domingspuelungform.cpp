#include "domingspuelungform.h"

#include "platform/oberflaeche.h"
#include "platform/qt/qtext.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvexa {

TDomingSpuelungForm::TDomingSpuelungForm(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* haupt = new QVBoxLayout(this);
    SpuelungPanel = new QFrame(this);
    SpuelungPanel->setFrameShape(QFrame::StyledPanel);
    SpuelungPanel->setAutoFillBackground(true);
    auto* panellayout = new QVBoxLayout(SpuelungPanel);
    panellayout->setContentsMargins(16, 16, 16, 16);
    SpuelungBitBtn = new QPushButton(SpuelungPanel);
    SpuelungBitBtn->setAutoDefault(false);
    SpuelungBitBtn->setMinimumWidth(180);
    panellayout->addWidget(SpuelungBitBtn);
    haupt->addWidget(SpuelungPanel);

    auto* leiste = new QHBoxLayout();
    OKBitBtn = new QPushButton(this);
    OKBitBtn->setAutoDefault(false);
    leiste->addStretch();
    leiste->addWidget(OKBitBtn);
    haupt->addLayout(leiste);

    connect(SpuelungBitBtn, &QPushButton::clicked, this, &TDomingSpuelungForm::SpuelungBitBtnClick);
    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    Sprache_anwenden(Sprache::deutsch);
}

void TDomingSpuelungForm::Sprache_anwenden(Sprache s) {
    m_sprache = s;
    setWindowTitle(Q(Text(s, Textnummer::Spuelung_Titel)));
    OKBitBtn->setText(Q(Text(s, Textnummer::OK_Knopf)));
    Zustand_zeigen();
}

void TDomingSpuelungForm::Zustand_zeigen() {
    const bool an = m_spuelung.An();
    SpuelungBitBtn->setText(Q(
        Text(m_sprache, an ? Textnummer::Spuelung_ausschalten : Textnummer::Spuelung_einschalten)));
    QPalette pal = SpuelungPanel->palette();
    pal.setColor(QPalette::Window,
                 an ? QColor(0, 255, 0) : QApplication::palette().color(QPalette::Button));
    SpuelungPanel->setPalette(pal);
    OKBitBtn->setEnabled(!an);
}

void TDomingSpuelungForm::SpuelungBitBtnClick() {
    const std::string status = m_spuelung.Umschalten();
    Zustand_zeigen();
    if (Statusfeld_setzen) Statusfeld_setzen(status);
    oberflaeche().Nachrichten_verarbeiten();
}

void TDomingSpuelungForm::done(int ergebnis) {
    // Flushing stays under the operator's eyes until it is switched off.
    if (m_spuelung.An()) return;
    QDialog::done(ergebnis);
}

} // namespace orvexa
