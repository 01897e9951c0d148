#pragma once

#include "motion/referenzfahrtthread.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QFrame;
class QPushButton;
class QTimer;

namespace orvexa {

// The reference run dialog: the operator picks the axes, starts the run, stops it and watches
// the reference switches. The run itself is TReferenzfahrtThread, made anew each time the
// dialog is shown and ended when it closes; its state reaches the controls queued to the
// window thread.
class TReferenzfahrtForm : public QDialog, private Referenzfahrt_Beobachter {
    Q_OBJECT

public:
    static constexpr int Timerintervall_ms = 50;

    explicit TReferenzfahrtForm(QWidget* parent = nullptr);
    ~TReferenzfahrtForm() override;

    // Set by the opener before each showing.
    QColor Panelfarbe{0x80, 0x80, 0x80};
    QColor Schriftfarbe{Qt::black};
    bool Vollinitialisierung = false;

    // Angle-positioning mode: only the rotary axis (x) is homed; y, z and u are unticked and
    // disabled, and their stored choice is kept.
    void WT_Modus_setzen(bool wt);
    bool WT_Modus() const { return m_wt; }

    // A start was handed over and its run has not yet switched the buttons back.
    bool Beschaeftigt() const;
    // The worker of this showing; nullptr while the dialog is closed.
    const TReferenzfahrtThread* Arbeiter() const { return m_arbeiter.get(); }

    // Controls.
    QFrame* Shape = nullptr;
    QFrame* Panel = nullptr;
    QCheckBox* xCheckBox = nullptr;
    QCheckBox* yCheckBox = nullptr;
    QCheckBox* zCheckBox = nullptr;
    QCheckBox* uCheckBox = nullptr;
    QPushButton* StartBitBtn = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;
    QPushButton* SchliessenBitBtn = nullptr;
    QTimer* Timer = nullptr;

    // Event handlers.
    // Ignored unless the worker is idle within 100 ms.
    void StartBitBtnClick();
    // Also Esc: stops the axes at once.
    void AbbrechenBitBtnClick();
    void SchliessenBitBtnClick();
    // The switch display.
    void TimerTimer();

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Every way of closing ends here: a run is stopped first and the dialog closes once the
    // worker is idle; then the worker is ended and the axis choice saved.
    void done(int ergebnis) override;
    void keyPressEvent(QKeyEvent* ereignis) override;

private:
    // Referenzfahrt_Beobachter, called on the worker.
    void Laeuft(bool laeuft) override;

    std::array<QCheckBox*, 4> Kaestchen() const;
    void Oberflaeche_anlegen();
    void Farben_anwenden();
    void Schrift_setzen(QCheckBox* kaestchen, const QColor& farbe);
    void Laufanzeige(bool laeuft);
    Referenzachsen Gewaehlte_Achsen() const;
    // Stops a run still under way, waits for it while the window keeps processing its
    // messages, and ends the worker.
    void Arbeiter_beenden();
    // Queues f to the window thread; dropped when the dialog is gone by then.
    void Im_Fensterthread(std::function<void(TReferenzfahrtForm&)> f);

    std::unique_ptr<TReferenzfahrtThread> m_arbeiter;
    std::shared_ptr<int> m_lebenszeichen;
    bool m_wt = false;
    bool m_schliesst = false;
};

} // namespace orvexa
