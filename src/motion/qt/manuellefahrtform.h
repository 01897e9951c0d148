#pragma once

#include "motion/manuellefahrt.h"
#include "motion/manuellefahrt_beobachter.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTableWidget;

namespace orvexa {

class TManuelleFahrtThread;

// The dialog "Manuelle Fahrt": jogs one axis at a time by buttons or keys, switches the relay
// and keeps the four named positions. The machine actions run on its worker
// (TManuelleFahrtThread over ManuelleFahrt), made anew each time the dialog is shown and ended
// when it closes; what they show reaches the controls queued to the window thread.
class TManuelleFahrtForm : public QDialog, private ManuelleFahrt_Beobachter {
    Q_OBJECT

public:
    explicit TManuelleFahrtForm(QWidget* parent = nullptr);
    ~TManuelleFahrtForm() override;

    // Set by the opener before each showing.
    QColor Panelfarbe{0x80, 0x80, 0x80};
    QColor Schriftfarbe{Qt::black};
    bool Vollinitialisierung = false;

    // Dialog state.
    double Schrittweite = 0.05; // mm
    int Richtung = 0;           // last jog: +-1 x, +-2 y, +-3 z
    int Zeile = 1;              // chosen row of the named positions, 1..4
    double Faktor = 1.0;        // size factor of the last size change
    int Relaisausgang = ManuelleFahrt::Relaisausgang;

    ManuelleFahrt& Fahrt() { return m_fahrt; }
    // A command was handed to the worker and has not ended yet.
    bool Beschaeftigt() const;

    // Controls.
    QFrame* Shape = nullptr;
    QGroupBox* SchrittweiteRadioGroup = nullptr;
    std::array<QRadioButton*, 4> SchrittweiteKnoepfe{};
    QLineEdit* SchrittweiteMaskEdit = nullptr;
    QLabel* GeschwindigkeitLabel = nullptr;
    QScrollBar* SpeedScrollBar = nullptr;
    QLabel* SpeedAnzeigeLabel = nullptr;
    QFrame* Panel = nullptr;
    QPushButton* xNeg_BitBtn = nullptr;
    QPushButton* xPos_BitBtn = nullptr;
    QPushButton* yNeg_BitBtn = nullptr;
    QPushButton* yPos_BitBtn = nullptr;
    QPushButton* zNeg_BitBtn = nullptr;
    QPushButton* zPos_BitBtn = nullptr;
    QPushButton* EinBitBtn = nullptr;
    QPushButton* AusBitBtn = nullptr;
    QCheckBox* TastaturCheckBox = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;
    QPushButton* SchliessenBitBtn = nullptr;
    QTableWidget* aktStringGrid = nullptr;
    QTableWidget* posStringGrid = nullptr;
    QPushButton* AnfahrenBitBtn = nullptr;
    QPushButton* ZuweisenBitBtn = nullptr;
    QPushButton* LoeschenBitBtn = nullptr;
    QPushButton* EditierenButton = nullptr;
    QPushButton* GroesseButton = nullptr;

    // Event handlers.
    void SchrittweiteRadioGroupClick();
    void SchrittweiteMaskEditEnter();
    void SchrittweiteMaskEditExit();
    void SpeedScrollBarChange();
    // The six jog buttons and keys; ignored while the worker is busy.
    void Fahren(int richtung);
    void EinBitBtnClick();
    void AusBitBtnClick();
    // Also Esc: stops the axes.
    void AbbrechenBitBtnClick();
    // Saves the parameter file and closes.
    void SchliessenBitBtnClick();
    void AnfahrenBitBtnClick();
    void ZuweisenBitBtnClick();
    void LoeschenBitBtnClick();
    void EditierenButtonClick();
    void GroesseButtonClick();
    void posStringGridSelectCell(int zeile, int spalte);

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Every way of closing ends here: a move is stopped and the worker ended.
    void done(int ergebnis) override;
    void keyPressEvent(QKeyEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    // ManuelleFahrt_Beobachter, called on the worker or the window thread.
    void Bewegung(bool laeuft) override;
    void Anzeige(const Positionsanzeige& anzeige) override;

    void Oberflaeche_anlegen();
    void Farben_anwenden();
    void Steuerelemente_freigeben(bool laeuft);
    void Anzeige_zeigen(const Positionsanzeige& anzeige);
    void Gitter_einrichten(QTableWidget* gitter, int zeilen);
    void Gitter_anpassen(QTableWidget* gitter, int zeilenhoehe, int spaltenbreite,
                         int erste_spalte);
    void Kopf_schreiben();
    void Zellrechte_setzen();
    void Zeile_waehlen();
    void Bearbeitung_abschliessen();
    // The jog keys; true when the key was taken.
    bool Taste(const QKeyEvent& taste);
    bool Tastatursteuerung_aktiv() const;
    void Vorbereiten();
    void Arbeiter_beenden();

    ManuelleFahrt m_fahrt;
    std::unique_ptr<TManuelleFahrtThread> m_arbeiter;
    std::shared_ptr<int> m_lebenszeichen;
    bool m_schliesst = false;
    bool m_bewegung = false;
};

} // namespace orvexa
