#pragma once

#include "dispensing/qt/domingdosierzeitform.h"
#include "dispensing/qt/dominggeschwindigkeitform.h"
#include "dispensing/qt/domingparamform.h"
#include "dispensing/qt/domingspuelungform.h"

namespace orvexa {

class TDomingForm;

// The dialogs of the Doming window, children of it.
struct Domingdialoge {
    explicit Domingdialoge(TDomingForm& fenster);
    TDomingParamForm Parameter;
    TDomingGeschwindigkeitForm Geschwindigkeit;
    TDomingDosierzeitForm Dosierzeit;
    TDomingSpuelungForm Spuelung;
};

// Fills the window's dialog openers with the dialogs; the language of the parameters in force
// goes to every dialog whenever they are read or confirmed.
void Domingdialoge_verbinden(TDomingForm& fenster, Domingdialoge& dialoge);

} // namespace orvexa
