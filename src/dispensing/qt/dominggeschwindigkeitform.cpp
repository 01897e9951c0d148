#include "dominggeschwindigkeitform.h"

#include "dispensing/domingjob.h"
#include "platform/qt/qtext.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace orvexa {

namespace {

int32_t Zahl(const QLineEdit* feld) {
    return Doming_Ganzzahl_lesen(feld->text().toStdString());
}

} // namespace

TDomingGeschwindigkeitForm::TDomingGeschwindigkeitForm(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* haupt = new QVBoxLayout(this);
    GeschwindigkeitGroupBox = new QGroupBox(this);
    auto* gitter = new QGridLayout(GeschwindigkeitGroupBox);
    int zeile = 0;
    const auto feld = [&](QLabel*& label, QLineEdit*& edit, QLabel*& einheit) {
        label = new QLabel(GeschwindigkeitGroupBox);
        edit = new QLineEdit(GeschwindigkeitGroupBox);
        einheit = new QLabel(GeschwindigkeitGroupBox);
        // Up to four digits, as the job file's speeds are entered.
        edit->setValidator(new QIntValidator(0, 9999, edit));
        edit->setMaxLength(4);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaximumWidth(70);
        label->setBuddy(edit);
        gitter->addWidget(label, zeile, 0);
        gitter->addWidget(edit, zeile, 1);
        gitter->addWidget(einheit, zeile, 2);
        ++zeile;
    };
    feld(StartfreqLabel, StartfreqMaskEdit, StartfreqEinheitLabel);
    feld(EilfreqLabel, EilfreqMaskEdit, EilfreqEinheitLabel);
    feld(RampenlaengeLabel, RampenlaengeMaskEdit, RampenlaengeEinheitLabel);
    haupt->addWidget(GeschwindigkeitGroupBox);

    auto* leiste = new QHBoxLayout();
    OKBitBtn = new QPushButton(this);
    AbbrechenBitBtn = new QPushButton(this);
    OKBitBtn->setDefault(true);
    leiste->addStretch();
    leiste->addWidget(OKBitBtn);
    leiste->addWidget(AbbrechenBitBtn);
    haupt->addLayout(leiste);
    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    Sprache_anwenden(Sprache::deutsch);
}

void TDomingGeschwindigkeitForm::Sprache_anwenden(Sprache s) {
    setWindowTitle(Q(Text(s, Textnummer::Doming_Geschwindigkeit)));
    GeschwindigkeitGroupBox->setTitle(Q(Text(s, Textnummer::Geschwindigkeit)));
    StartfreqLabel->setText(Q(Text(s, Textnummer::Startgeschwindigkeit) + ":"));
    EilfreqLabel->setText(Q(Text(s, Textnummer::Eilgeschwindigkeit) + ":"));
    RampenlaengeLabel->setText(Q(Text(s, Textnummer::Rampenlaenge) + ":"));
    StartfreqEinheitLabel->setText(Q(Text(s, Textnummer::Schritte_pro_sec)));
    EilfreqEinheitLabel->setText(Q(Text(s, Textnummer::Schritte_pro_sec)));
    RampenlaengeEinheitLabel->setText(Q(Text(s, Textnummer::ms)));
    OKBitBtn->setText(Q(Text(s, Textnummer::OK_Knopf)));
    AbbrechenBitBtn->setText(Q(Text(s, Textnummer::Abbrechen)));
}

void TDomingGeschwindigkeitForm::Werte_setzen(int32_t start, int32_t eil, int32_t rampe) {
    StartfreqMaskEdit->setText(QString::number(start));
    EilfreqMaskEdit->setText(QString::number(eil));
    RampenlaengeMaskEdit->setText(QString::number(rampe));
}

int32_t TDomingGeschwindigkeitForm::Startfreq() const {
    return Zahl(StartfreqMaskEdit);
}
int32_t TDomingGeschwindigkeitForm::Eilfreq() const {
    return Zahl(EilfreqMaskEdit);
}
int32_t TDomingGeschwindigkeitForm::Rampenlaenge() const {
    return Zahl(RampenlaengeMaskEdit);
}

} // namespace orvexa
