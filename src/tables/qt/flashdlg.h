#pragma once

#include "platform/ereignis.h"
#include "tables/programmspeicher.h"
#include "tables/vektorausgabe.h"

#include <QColor>
#include <QDialog>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <mutex>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace orvexa {

class Positionstabelle;
class TFlashThread;

// The program memory dialog of the KXvario-KXCU and USB-iKXIF: the seven program places in
// red (used) or green (empty), reading, erasing and writing a place, erasing everything. The
// exchanges are Programmspeicher on the dialog's worker (TFlashThread), made anew each time
// the dialog is shown; their transcript and the place colours reach the controls queued to
// the window thread. While an action runs the controls are disabled.
class TFlashDlg : public QDialog, private Programmspeicher_Beobachter {
    Q_OBJECT

public:
    static constexpr int Schliessfrist_ms = 100;

    // tabelle is not owned and must outlive the dialog; its open table is what a write
    // records.
    explicit TFlashDlg(const Positionstabelle& tabelle, QWidget* parent = nullptr);
    ~TFlashDlg() override;

    int Programmnummer = 1;
    // Opened to erase the whole memory: asks once, erases and closes by itself.
    bool LoeschModus = false;
    // Command-line modes "/KORA" and "/TORVAL", set before the dialog is opened.
    bool ModusKora = false;
    bool ModusTorval = false;

    // An action was handed to the worker and is not over yet.
    bool Beschaeftigt() const;
    // The last status line.
    std::string Meldung() const { return m_speicher.Meldung(); }
    // The colour of transcript line zeile (from 0); invalid when there is no such line.
    QColor Zeilenfarbe(int zeile) const;

    // Controls.
    std::array<QToolButton*, Programmspeicher::Plaetze> SpeedButtons{};
    QGroupBox* ProgrammGroupBox = nullptr;
    QPushButton* ProgrammSchreibenButton = nullptr;
    QPushButton* ProgrammAuslesenButton = nullptr;
    QPushButton* ProgrammLoeschenButton = nullptr;
    QPushButton* AlleProgrammeLoeschenButton = nullptr;
    QGroupBox* ReferenzfahrtGroupBox = nullptr;
    QCheckBox* xAchseCheckBox = nullptr;
    QCheckBox* yAchseCheckBox = nullptr;
    QCheckBox* zAchseCheckBox = nullptr;
    QCheckBox* uAchseCheckBox = nullptr;
    QCheckBox* zAchseInterpolierenCheckBox = nullptr;
    QLineEdit* DurchlaeufeEdit = nullptr;
    QTextEdit* RichEdit = nullptr;
    QPushButton* SchiessenBitBtn = nullptr;
    QTimer CloseTimer;

    // Font colour of a program button: red used, green empty.
    static QColor Platzfarbe(bool belegt);

    // Event handlers; each action is ignored while another one runs.
    void SpeedButtonClick();
    void ProgrammAuslesenButtonClick();
    void ProgrammLoeschenButtonClick();
    void AlleProgrammeLoeschenButtonClick();
    void ProgrammSchreibenButtonClick();
    void CloseTimerTimer();

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Every way of closing ends here: the action under way is waited for, the worker ended.
    void done(int ergebnis) override;

private:
    // Programmspeicher_Beobachter, called on the worker.
    void Protokoll_leeren() override;
    void Protokoll_anfuegen(const std::string& zeile, Protokollfarbe farbe) override;
    void Plaetze_anzeigen(const std::array<bool, 7>& belegt) override;

    class Arbeiter;

    void Oberflaeche_anlegen();
    void Steuerelemente_freigeben(bool frei);
    bool Befehl_starten(int befehl, const Schreibauftrag& auftrag = {});
    void Befehl_fertig();
    void Arbeiter_beenden();
    // Queues f to the window thread; dropped when the dialog is gone by then.
    void Im_Fensterthread(std::function<void(TFlashDlg&)> f);

    const Positionstabelle& m_tabelle;
    Vektorausgabe m_lauf;
    Programmspeicher m_speicher;
    std::unique_ptr<Arbeiter> m_arbeiter;
    std::shared_ptr<int> m_lebenszeichen;
    QButtonGroup* m_platzgruppe = nullptr;
    bool m_schliesst = false;
    bool m_schliessen_nach_befehl = false; // erase-all mode: the timer starts when it is over

    mutable std::mutex m_zustand_mutex;
    bool m_befehl_offen = false;
    Ereignis m_befehl_fertig;
};

} // namespace orvexa
