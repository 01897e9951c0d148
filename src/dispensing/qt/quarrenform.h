#pragma once

#include "dispensing/domingthread.h"
#include "dispensing/qt/domingdialoge.h"
#include "dispensing/qt/domingform.h"

namespace orvexa {

// The window of the machines whose resin is fed under pressure: the Doming window with the
// pressure-fed options. Its worker and dialogs are the Doming ones.
class TQuarrenForm : public TDomingForm {
public:
    explicit TQuarrenForm(QWidget* parent = nullptr) : TDomingForm(parent, Domingvariante::Druck) {}
};

using TQuarrenThread = TDomingThread;
using TQuarrenParamForm = TDomingParamForm;
using TQuarrenGeschwindigkeitForm = TDomingGeschwindigkeitForm;
using TQuarrenDosierzeitForm = TDomingDosierzeitForm;
using TQuarrenSpuelungForm = TDomingSpuelungForm;
using TQuarrenHPGLDataModule = THPGLDataModule;

} // namespace orvexa
