#pragma once

#include "dispensing/sprachtabellen.h"
#include "dispensing/spuelung.h"

#include <QDialog>

#include <functional>
#include <string>

class QFrame;
class QPushButton;

namespace orvexa {

// "Spülung": one button switches the flushing output (output 3, through the command layer's
// Ausgangssignal_setzen) on and off. While flushing the panel is green, "&OK" is disabled and
// the dialog cannot be closed in any way.
class TDomingSpuelungForm : public QDialog {
    Q_OBJECT

public:
    explicit TDomingSpuelungForm(QWidget* parent = nullptr);

    // Status panel 5 of the Doming window: "A3::ON", "A3::OFF" or "A3::???". Set by the window.
    std::function<void(const std::string&)> Statusfeld_setzen;

    bool An() const { return m_spuelung.An(); }
    void Sprache_anwenden(Sprache sprache);

    QFrame* SpuelungPanel = nullptr;
    QPushButton* SpuelungBitBtn = nullptr;
    QPushButton* OKBitBtn = nullptr;

    void SpuelungBitBtnClick();

protected:
    void done(int ergebnis) override;

private:
    void Zustand_zeigen();

    Spuelung m_spuelung;
    Sprache m_sprache = Sprache::deutsch;
};

} // namespace orvexa
