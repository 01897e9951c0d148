#pragma once

class QWidget;

namespace orvexa {

class TMainForm;
class TManuelleFahrtForm;
class TParameterForm;
class TReferenzfahrtForm;

// Centres dialog over the main window (horizontally only when nur_waagerecht).
void Zentrieren(QWidget& dialog, const QWidget& ueber, bool nur_waagerecht = false);

// Colour, size, place and mode flags of the dialogs for the main window's modes, set before
// every showing.
void Referenz_einrichten(const TMainForm& f, TReferenzfahrtForm& referenz);
void Manuell_einrichten(const TMainForm& f, TManuelleFahrtForm& manuell);

// The openers of the main window's Parameter, Referenz and Manuell commands: each sets its
// dialog up for the mode and shows it modally.
void Dialoge_verbinden(TMainForm& f, TParameterForm& parameter, TReferenzfahrtForm& referenz,
                       TManuelleFahrtForm& manuell);

} // namespace orvexa
