#include "wt_parameterdlg.h"

#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/qt/qtext.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace orvexa {

namespace {

// The masks "  !9999;1; ", "  !9.99;1; " and "  !99;1; ": two blanks ahead, optional digits.
QLineEdit* Maskenfeld(const char* maske, QWidget* eltern) {
    auto* feld = new QLineEdit(eltern);
    feld->setInputMask(QString::fromLatin1(maske));
    feld->setFixedWidth(feld->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 10);
    feld->setAlignment(Qt::AlignRight);
    return feld;
}

int32_t Ganzzahl(const QLineEdit* feld) {
    try {
        return Text_zu_Ganzzahl(feld->text().toStdString());
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

double Zahl(const QLineEdit* feld) {
    try {
        return Text_zu_Zahl(feld->text().toStdString());
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

void Ports_zeigen(QComboBox* box, const std::vector<std::string>& ports, const std::string& wahl) {
    box->clear();
    for (const std::string& port : ports)
        box->addItem(Q(port));
    const int index = box->findText(Q(wahl));
    box->setCurrentIndex(index >= 0 ? index : (box->count() > 0 ? 0 : -1));
}

} // namespace

TWT_ParameterDlg::TWT_ParameterDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("  Parameter-Eingabe"));
    auto* anordnung = new QVBoxLayout(this);

    const auto gruppe = [this, anordnung](const char* titel) {
        auto* g = new QGroupBox(Q(titel), this);
        auto* gitter = new QGridLayout(g);
        gitter->setColumnStretch(3, 1);
        // The fields of all groups in one column.
        gitter->setColumnMinimumWidth(0, 150);
        anordnung->addWidget(g);
        return gitter;
    };
    const auto zeile = [](QGridLayout* gitter, const char* text, QWidget* feld,
                          const char* einheit) {
        const int r = gitter->rowCount();
        gitter->addWidget(new QLabel(Q(text)), r, 0);
        gitter->addWidget(feld, r, 1);
        if (einheit) gitter->addWidget(new QLabel(Q(einheit)), r, 2);
    };

    QGridLayout* umrechnung = gruppe(" Umrechnungsfaktor");
    WT_Umrechnungsfaktor_MaskEdit = Maskenfeld("  0000; ", this);
    zeile(umrechnung, "", WT_Umrechnungsfaktor_MaskEdit, "Schritte / Grad");

    QGridLayout* schnittstellen = gruppe(" Schnittstellen ");
    WT_KXCU_ComboBox = new QComboBox(this);
    WT_ND261_ComboBox = new QComboBox(this);
    for (QComboBox* box : {WT_KXCU_ComboBox, WT_ND261_ComboBox})
        box->setMinimumContentsLength(6);
    zeile(schnittstellen, "KXCU = ", WT_KXCU_ComboBox, nullptr);
    zeile(schnittstellen, "HEIDENHAIN ND261 = ", WT_ND261_ComboBox, nullptr);

    QGridLayout* geschwindigkeiten = gruppe(" Geschwindigkeiten ");
    WT_Startfreq_MaskEdit = Maskenfeld("  0000; ", this);
    WT_Endfreq_MaskEdit = Maskenfeld("  0000; ", this);
    WT_Reffreq_MaskEdit = Maskenfeld("  0000; ", this);
    WT_Rampe_MaskEdit = Maskenfeld("  0000; ", this);
    zeile(geschwindigkeiten, "Startfrequenz", WT_Startfreq_MaskEdit, "Hz");
    zeile(geschwindigkeiten, "Endfrequenz", WT_Endfreq_MaskEdit, "Hz");
    zeile(geschwindigkeiten, "Referenzfrequenz", WT_Reffreq_MaskEdit, "Hz");
    zeile(geschwindigkeiten, "Rampe", WT_Rampe_MaskEdit, "ms");

    QGridLayout* regler = gruppe(" Regler ");
    WT_uebersteuern_MaskEdit = Maskenfeld("  0.00; ", this);
    WT_annaehern_MaskEdit = Maskenfeld("  00; ", this);
    WT_schrittweise_MaskEdit = Maskenfeld("  00; ", this);
    zeile(regler, "übersteuern", WT_uebersteuern_MaskEdit, "Grad");
    zeile(regler, "annähern", WT_annaehern_MaskEdit, "Schritte");
    zeile(regler, "schrittweise", WT_schrittweise_MaskEdit, "Zyklen");

    auto* knoepfe = new QHBoxLayout;
    WT_Uebernehmen_BitBtn = new QPushButton(QString::fromUtf8("&Übernehmen"), this);
    WT_Uebernehmen_BitBtn->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    WT_Uebernehmen_BitBtn->setDefault(true);
    WT_Abbrechen_BitBtn = new QPushButton(QStringLiteral("&Abbrechen"), this);
    WT_Abbrechen_BitBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    knoepfe->addStretch();
    knoepfe->addWidget(WT_Uebernehmen_BitBtn);
    knoepfe->addWidget(WT_Abbrechen_BitBtn);
    anordnung->addLayout(knoepfe);
    connect(WT_Uebernehmen_BitBtn, &QPushButton::clicked, this,
            &TWT_ParameterDlg::UebernehmenBitBtnClick);
    connect(WT_Abbrechen_BitBtn, &QPushButton::clicked, this,
            &TWT_ParameterDlg::AbbrechenBitBtnClick);

    adjustSize();
    // Centred on the screen at creation.
    if (const QScreen* bildschirm = QGuiApplication::primaryScreen())
        move(bildschirm->availableGeometry().center() - rect().center());
}

bool TWT_ParameterDlg::Laden() {
    return WT_Parameter_laden(Parameter, Parametersatz(), Dateipfad);
}

void TWT_ParameterDlg::showEvent(QShowEvent* ereignis) {
    Anzeigen();
    QDialog::showEvent(ereignis);
}

void TWT_ParameterDlg::Anzeigen() {
    setWindowTitle(QStringLiteral("  Parameter-Eingabe"));
    const auto zeigen = [](QLineEdit* feld, const std::string& wert) {
        feld->setText(Q("  " + wert));
    };
    zeigen(WT_Umrechnungsfaktor_MaskEdit, std::to_string(Parameter.Umrechnungsfaktor));
    zeigen(WT_Startfreq_MaskEdit, std::to_string(Parameter.WT_Startfreq));
    zeigen(WT_Endfreq_MaskEdit, std::to_string(Parameter.WT_Endfreq));
    zeigen(WT_Reffreq_MaskEdit, std::to_string(Parameter.WT_Reffreq));
    zeigen(WT_Rampe_MaskEdit, std::to_string(Parameter.WT_Rampe));
    zeigen(WT_uebersteuern_MaskEdit, Zwei_Dezimalen(Parameter.uebersteuern));
    zeigen(WT_annaehern_MaskEdit, std::to_string(Parameter.annaehern));
    zeigen(WT_schrittweise_MaskEdit, std::to_string(Parameter.schrittweise));
    const std::vector<std::string> ports = COM_Ports_auflisten();
    Ports_zeigen(WT_KXCU_ComboBox, ports, Parameter.KXCU_Com);
    Ports_zeigen(WT_ND261_ComboBox, ports, Parameter.ND261_Com);
}

void TWT_ParameterDlg::UebernehmenBitBtnClick() {
    WT_Parameter neu;
    neu.KXCU_Com = WT_KXCU_ComboBox->currentText().toStdString();
    neu.ND261_Com = WT_ND261_ComboBox->currentText().toStdString();
    neu.Umrechnungsfaktor = Ganzzahl(WT_Umrechnungsfaktor_MaskEdit);
    neu.WT_Startfreq = Ganzzahl(WT_Startfreq_MaskEdit);
    neu.WT_Endfreq = Ganzzahl(WT_Endfreq_MaskEdit);
    neu.WT_Reffreq = Ganzzahl(WT_Reffreq_MaskEdit);
    neu.WT_Rampe = Ganzzahl(WT_Rampe_MaskEdit);
    neu.uebersteuern = Zahl(WT_uebersteuern_MaskEdit);
    neu.annaehern = Ganzzahl(WT_annaehern_MaskEdit);
    neu.schrittweise = Ganzzahl(WT_schrittweise_MaskEdit);
    if (neu.Umrechnungsfaktor <= 0) {
        // Without steps per degree no angle can be approached.
        oberflaeche().Meldung("Der Umrechnungsfaktor muss mindestens 1 Schritt / Grad sein!",
                              "orvexa2011", Symbol::warnung, Knoepfe::ok);
        WT_Umrechnungsfaktor_MaskEdit->setFocus();
        return;
    }
    Parameter = neu;
    WT_Parameterdatei_speichern(Parameter, Dateipfad);
    WT_Maschinenparameter_setzen(Parameter, Parametersatz());
    accept();
}

void TWT_ParameterDlg::AbbrechenBitBtnClick() {
    reject();
}

} // namespace orvexa
