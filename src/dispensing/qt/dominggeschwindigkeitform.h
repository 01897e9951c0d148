#pragma once

#include "dispensing/sprachtabellen.h"

#include <QDialog>

#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvexa {

// "Doming-Geschwindigkeit": the job's start and rapid frequency and ramp length in fields of
// up to four digits. No logic of its own: the Doming window fills the fields when it shows the
// job and takes them back after the dialog closes by either button.
class TDomingGeschwindigkeitForm : public QDialog {
    Q_OBJECT

public:
    explicit TDomingGeschwindigkeitForm(QWidget* parent = nullptr);

    void Werte_setzen(int32_t Startfreq, int32_t Eilfreq, int32_t Rampenlaenge);
    // The fields as numbers (empty gives 0).
    int32_t Startfreq() const;
    int32_t Eilfreq() const;
    int32_t Rampenlaenge() const;

    void Sprache_anwenden(Sprache sprache);

    QGroupBox* GeschwindigkeitGroupBox = nullptr;
    QLabel* StartfreqLabel = nullptr;
    QLabel* EilfreqLabel = nullptr;
    QLabel* RampenlaengeLabel = nullptr;
    QLineEdit* StartfreqMaskEdit = nullptr;
    QLineEdit* EilfreqMaskEdit = nullptr;
    QLineEdit* RampenlaengeMaskEdit = nullptr;
    QLabel* StartfreqEinheitLabel = nullptr;
    QLabel* EilfreqEinheitLabel = nullptr;
    QLabel* RampenlaengeEinheitLabel = nullptr;
    QPushButton* OKBitBtn = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;
};

} // namespace orvexa
