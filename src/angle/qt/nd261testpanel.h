#pragma once

#include <QFrame>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace orvexa {

class Winkelpositionierung;
class Winkeltranskript;

// The main window's ND261 test panel: turns the axis to a typed angle and shows the
// transcript of the approach, which it saves as "Winkel_anfahren() - Test.txt". The
// transcript shows the lines of table runs too; those arrive from the worker and are queued
// to the window thread.
class TND261TestPanel : public QFrame {
    Q_OBJECT

public:
    // Neither is owned; both must outlive the panel.
    TND261TestPanel(Winkelpositionierung& winkel, Winkeltranskript& transkript,
                    QWidget* parent = nullptr);
    ~TND261TestPanel() override;

    // Where the transcript is saved: the current directory.
    std::string Testdatei;
    // Around an approach started here (the main window locks its menus meanwhile).
    std::function<void()> Beginnt;
    std::function<void()> Fertig;

    // "anfahren": ignored while an approach runs; hides the panel afterwards.
    void ND261Anfahren_BitBtnClick();
    // "Test beenden": stops a running approach and hides the panel.
    void NT261TestBeenden_BitBtnClick();
    bool Laeuft() const { return m_laeuft; }
    // MenuND261_Test clears the transcript before it shows the panel.
    void Transkript_leeren();
    // The result of the last approach started here.
    bool Erreicht() const { return m_erreicht; }

    QLabel* WinkelLabel = nullptr;
    QLineEdit* ND261Test_MaskEdit = nullptr;
    QPushButton* ND261Anfahren_BitBtn = nullptr;
    QTextEdit* ND261_RichEdit = nullptr;
    QPushButton* NT261TestBeenden_BitBtn = nullptr;

private:
    void Zeile_zeigen(const QString& zeile);

    Winkelpositionierung& m_winkel;
    Winkeltranskript& m_transkript;
    bool m_laeuft = false;
    bool m_erreicht = false;
};

} // namespace orvexa
