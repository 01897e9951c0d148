#pragma once

#include <QString>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace orvexa {

// The button row of the motion dialogs: a start button on the left, and "&Abbrechen" and
// "&Schließen" on the right sharing one place (the dialog shows one of them at a time).
// None is a default button, so Enter in a field never starts a motion.
struct Knopfleiste {
    QPushButton* Start = nullptr;
    QPushButton* Abbrechen = nullptr;
    QPushButton* Schliessen = nullptr;
};

// Adds the row to the end of layout; the buttons belong to dialog.
Knopfleiste Knopfleiste_anlegen(QWidget* dialog, QBoxLayout* layout, const QString& starttext);

} // namespace orvexa
