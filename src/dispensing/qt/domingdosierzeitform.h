#pragma once

#include "dispensing/dosierzeitmessung.h"
#include "dispensing/sprachtabellen.h"

#include <QDialog>
#include <QPoint>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace orvexa {

// "Dosierzeit bestimmen": measures a point's dosing time by dispensing. Holding "Dosieren"
// opens the valve and counts quarter seconds; "&Übernehmen" closes with acceptance and the
// Doming window takes Dosierzeit() as PDosierzeit.
//
// Machine actions: the valve goes through Messung.Ventil, which the Doming window fills with
// DomingAusgangssignal on its dispensing context (dosing head and laser-pointer operation
// apply); the wait of "kompletter Dosiervorgang" through Messung.Warten (Doming_Warten, the
// controller's wait, unless replaced). Both run on the window thread while the window's worker
// is idle. The window unticks "Laserpointer ON/OFF" before it opens the dialog.
class TDomingDosierzeitForm : public QDialog {
    Q_OBJECT

public:
    explicit TDomingDosierzeitForm(QWidget* parent = nullptr);
    ~TDomingDosierzeitForm() override;

    Dosierzeitmessung Messung;

    // Before exec(): the counter from PDosierzeit, and the place beside the shape pages;
    // seiten is the top left corner of the window's shape page control on the screen.
    void Oeffnen(double PDosierzeit, QPoint seiten);
    // Where the dialog's top left corner goes for shape pages at seiten.
    static QPoint Platz_neben(QPoint seiten) { return seiten + QPoint(-8, 52); }

    // The measured time in seconds.
    double Dosierzeit() const { return Messung.Sekunden(); }

    void Sprache_anwenden(Sprache sprache);
    // The pressure-fed window's keys: D doses while held, the keypad's + and - step a quarter.
    bool Tastatur = false;

    QFrame* DZPanel = nullptr;
    QLabel* DZAnzeigePanel = nullptr;
    QToolButton* DZUpDownHoch = nullptr;
    QToolButton* DZUpDownRunter = nullptr;
    QPushButton* DZDosierenButton = nullptr;
    QPushButton* DZLoeschenButton = nullptr;
    QPushButton* DZDosiervorgangButton = nullptr;
    QPushButton* UebernehmenBitBtn = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;
    QTimer* DZTimer = nullptr;

    // Event handlers.
    void DZDosierenButtonMouseDown();
    void DZDosierenButtonMouseUp();
    void DZTimerTimer();
    void DZLoeschenButtonClick();
    void DZDosiervorgangButtonClick();
    void Anzeige();

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Never closes in the middle of "kompletter Dosiervorgang"; a valve held open is shut.
    void done(int ergebnis) override;
    void keyPressEvent(QKeyEvent* ereignis) override;
    void keyReleaseEvent(QKeyEvent* ereignis) override;

private:
    // Starts or stops the timer as the counter's rules say.
    void Takt_abgleichen();

    Sprache m_sprache = Sprache::deutsch;
    bool m_vorgang = false;
};

} // namespace orvexa
