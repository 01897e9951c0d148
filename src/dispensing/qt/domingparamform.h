#pragma once

#include "dispensing/domingparameter.h"
#include "dispensing/sprachtabellen.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvexa {

// "Doming-Parameter": the language and the working area, kept in "DomingParam.dat". Each
// showing reads the file again; "&OK" writes it, "&Abbrechen" leaves it.
class TDomingParamForm : public QDialog {
    Q_OBJECT

public:
    explicit TDomingParamForm(QWidget* parent = nullptr);

    // The file; tests point it elsewhere.
    std::string Dateipfad;

    // Reads the file and shows it: on every showing, and by the Doming window on its first
    // activation. A missing file gives the defaults, a wrong header the defaults with the
    // double beep.
    void Lesen();
    // The values in force: as read, or as confirmed with "&OK".
    const DomingParameter& Parameter() const { return m_parameter; }

    // Called after every reading and after "&OK", so the window can apply the language to
    // itself and its dialogs (this one included) and refresh its position display.
    std::function<void(const DomingParameter&)> Parameter_gelesen;

    void Sprache_anwenden(Sprache sprache);

    QGroupBox* SpracheGroupBox = nullptr;
    QComboBox* SpracheComboBox = nullptr;
    QGroupBox* AbmessungGroupBox = nullptr;
    QLabel* xAbmessungLabel = nullptr;
    QLabel* yAbmessungLabel = nullptr;
    QLineEdit* xAbmessungEdit = nullptr;
    QLineEdit* yAbmessungEdit = nullptr;
    QLabel* xEinheitLabel = nullptr;
    QLabel* yEinheitLabel = nullptr;
    QPushButton* OKBitBtn = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;

    // Takes the entries (dimensions not > 0 become their defaults), writes the file and
    // closes; stays open when the file could not be written (the box has said why).
    void OKBitBtnClick();

protected:
    void showEvent(QShowEvent* ereignis) override;

private:
    void Anzeigen();

    DomingParameter m_parameter;
};

} // namespace orvexa
