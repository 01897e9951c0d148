#pragma once

#include "platform/oberflaeche.h"

#include <string>

namespace orvexa {

// What the vector output run shows while it works. The run calls these on the thread it runs
// on, usually the dialog's worker (Zyklen_abbrechen shows its panel from the caller's thread);
// a window implementation hands the updates to the window thread
// (Oberflaeche::im_Fensterthread) and must not block on the window thread for them.
// Every method does nothing by default, so an implementation overrides only what it shows.
class Vektorausgabe_Beobachter {
public:
    virtual ~Vektorausgabe_Beobachter() = default;

    // The table row being executed, -1 none; the grid draws it highlighted.
    virtual void AktuelleZeile(int /*zeile*/) {}
    // "k von n" for the repeat column of the row while its repetitions run; an empty text
    // shows the cell's own value again. A display override only: cells cannot hold blanks,
    // and a saved table would split the text.
    virtual void Wiederholung_anzeigen(int /*zeile*/, const std::string& /*text*/) {}
    // A pass over the table begins; nummer counts the passes of this run from 1.
    virtual void Zyklus_beginnt(int /*nummer*/) {}
    // Remaining cycle count for the cycle field.
    virtual void Zyklen_anzeigen(int /*rest*/) {}
    // Cycle field yellow while cycles are being counted down, window colour otherwise.
    virtual void Zyklenfeld_markieren(bool /*gelb*/) {}
    // Buttons: running ("Läuft...", Abbrechen shown) or idle.
    virtual void Laeuft(bool /*laeuft*/) {}
    // The "Abbruch nach Zyklus-Ende" panel.
    virtual void Zyklenabbruch_anzeigen(bool /*sichtbar*/) {}
    // Between rows and cycles. By default the Oberflaeche pumps the window's queue, which does
    // something only when the run is on the window thread (the program memory dialog).
    virtual void Nachrichten_verarbeiten() { oberflaeche().Nachrichten_verarbeiten(); }
};

} // namespace orvexa
