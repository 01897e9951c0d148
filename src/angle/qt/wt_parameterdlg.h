#pragma once

#include "angle/wt_parameter.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace orvexa {

// The angle parameters dialog of the angle-positioning mode: the two ports, the steps per
// degree, the speeds and the figures of the staged approach. It replaces the parameter dialog
// in that mode and fixes the machine parameter set from the angle parameters after every load
// and every "Übernehmen".
class TWT_ParameterDlg : public QDialog {
    Q_OBJECT

public:
    explicit TWT_ParameterDlg(QWidget* parent = nullptr);

    // The angle parameters; the approach reads them from here.
    WT_Parameter Parameter;
    // Where they are kept: wt_parameter.dat in the current directory.
    std::string Dateipfad = WT_Parameterdatei;

    // The load at start-up; false when there was no file.
    bool Laden();

    QComboBox* WT_KXCU_ComboBox = nullptr;
    QComboBox* WT_ND261_ComboBox = nullptr;
    QLineEdit* WT_Umrechnungsfaktor_MaskEdit = nullptr;
    QLineEdit* WT_Startfreq_MaskEdit = nullptr;
    QLineEdit* WT_Endfreq_MaskEdit = nullptr;
    QLineEdit* WT_Reffreq_MaskEdit = nullptr;
    QLineEdit* WT_Rampe_MaskEdit = nullptr;
    QLineEdit* WT_uebersteuern_MaskEdit = nullptr;
    QLineEdit* WT_annaehern_MaskEdit = nullptr;
    QLineEdit* WT_schrittweise_MaskEdit = nullptr;
    QPushButton* WT_Uebernehmen_BitBtn = nullptr;
    QPushButton* WT_Abbrechen_BitBtn = nullptr;

    // Takes the entries, writes the file, fixes the machine parameters and closes; 0 steps per
    // degree are refused and the dialog stays open.
    void UebernehmenBitBtnClick();
    void AbbrechenBitBtnClick();

protected:
    // OnActivate: the entries and the port lists anew at every showing.
    void showEvent(QShowEvent* ereignis) override;

private:
    void Anzeigen();
};

} // namespace orvexa
