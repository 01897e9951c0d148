#include "domingparamform.h"

#include "dispensing/domingjob.h"
#include "platform/qt/qtext.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvexa {

TDomingParamForm::TDomingParamForm(QWidget* parent)
    : QDialog(parent), Dateipfad(DomingParameter_Dateiname()) {
    setModal(true);
    auto* haupt = new QVBoxLayout(this);

    SpracheGroupBox = new QGroupBox(this);
    auto* sprachlayout = new QVBoxLayout(SpracheGroupBox);
    SpracheComboBox = new QComboBox(SpracheGroupBox);
    // The names as the file holds them, in every language.
    SpracheComboBox->addItems(
        {QStringLiteral("deutsch"), QStringLiteral("englisch"), QStringLiteral("polski")});
    sprachlayout->addWidget(SpracheComboBox);
    haupt->addWidget(SpracheGroupBox);

    AbmessungGroupBox = new QGroupBox(this);
    auto* gitter = new QGridLayout(AbmessungGroupBox);
    xAbmessungLabel = new QLabel(AbmessungGroupBox);
    yAbmessungLabel = new QLabel(AbmessungGroupBox);
    xAbmessungEdit = new QLineEdit(AbmessungGroupBox);
    yAbmessungEdit = new QLineEdit(AbmessungGroupBox);
    xEinheitLabel = new QLabel(AbmessungGroupBox);
    yEinheitLabel = new QLabel(AbmessungGroupBox);
    for (QLineEdit* e : {xAbmessungEdit, yAbmessungEdit}) {
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(90);
    }
    xAbmessungLabel->setBuddy(xAbmessungEdit);
    yAbmessungLabel->setBuddy(yAbmessungEdit);
    gitter->addWidget(xAbmessungLabel, 0, 0);
    gitter->addWidget(xAbmessungEdit, 0, 1);
    gitter->addWidget(xEinheitLabel, 0, 2);
    gitter->addWidget(yAbmessungLabel, 1, 0);
    gitter->addWidget(yAbmessungEdit, 1, 1);
    gitter->addWidget(yEinheitLabel, 1, 2);
    haupt->addWidget(AbmessungGroupBox);

    auto* leiste = new QHBoxLayout();
    OKBitBtn = new QPushButton(this);
    AbbrechenBitBtn = new QPushButton(this);
    OKBitBtn->setDefault(true);
    leiste->addStretch();
    leiste->addWidget(OKBitBtn);
    leiste->addWidget(AbbrechenBitBtn);
    haupt->addLayout(leiste);

    connect(OKBitBtn, &QPushButton::clicked, this, &TDomingParamForm::OKBitBtnClick);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    Sprache_anwenden(Sprache::deutsch);
    Anzeigen();
}

void TDomingParamForm::Sprache_anwenden(Sprache s) {
    setWindowTitle(Q(Text(s, Textnummer::Doming_Parameter)));
    SpracheGroupBox->setTitle(Q(Text(s, Textnummer::Sprache_Gruppe)));
    AbmessungGroupBox->setTitle(Q(" " + Text(s, Textnummer::Abmessung) + " "));
    xAbmessungLabel->setText(Q(Text(s, Textnummer::x_Abmessung) + ":"));
    yAbmessungLabel->setText(Q(Text(s, Textnummer::y_Abmessung) + ":"));
    xEinheitLabel->setText(Q(Text(s, Textnummer::mm)));
    yEinheitLabel->setText(Q(Text(s, Textnummer::mm)));
    OKBitBtn->setText(Q(Text(s, Textnummer::OK_Knopf)));
    AbbrechenBitBtn->setText(Q(Text(s, Textnummer::Abbrechen)));
}

void TDomingParamForm::Lesen() {
    m_parameter = DomingParameter_laden(Dateipfad);
    Anzeigen();
    if (Parameter_gelesen) Parameter_gelesen(m_parameter);
}

void TDomingParamForm::Anzeigen() {
    const QString name = Q(m_parameter.Sprache);
    int index = 0;
    for (int i = 0; i < SpracheComboBox->count(); ++i)
        if (SpracheComboBox->itemText(i) == name) index = i;
    SpracheComboBox->setCurrentIndex(index);
    xAbmessungEdit->setText(Q(Doming_Zahl_schreiben(m_parameter.xAbmessung)));
    yAbmessungEdit->setText(Q(Doming_Zahl_schreiben(m_parameter.yAbmessung)));
}

void TDomingParamForm::OKBitBtnClick() {
    DomingParameter neu;
    neu.Sprache = SpracheComboBox->currentText().toStdString();
    neu.xAbmessung = Doming_Zahl_lesen(xAbmessungEdit->text().toStdString());
    neu.yAbmessung = Doming_Zahl_lesen(yAbmessungEdit->text().toStdString());
    DomingParameter_annehmen(neu);
    if (!DomingParameter_speichern(Dateipfad, neu)) return;
    m_parameter = neu;
    Anzeigen();
    if (Parameter_gelesen) Parameter_gelesen(m_parameter);
    accept();
}

void TDomingParamForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    Lesen();
}

} // namespace orvexa
