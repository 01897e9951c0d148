#pragma once

#include "platform/ereignis.h"
#include "tables/laufzeitschaetzung.h"
#include "tables/vektorausgabe.h"
#include "tables/vektorausgabe_beobachter.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace orvexa {

class Positionstabelle;
class TVekThread;

// Where the run shows its progress in the main window's grid; both are called on the window
// thread and may be empty.
struct Tabellenanzeige {
    std::function<void(int zeile)> AktuelleZeile;                                  // -1 none
    std::function<void(int zeile, const std::string& text)> Wiederholung_anzeigen; // "" = cell
};

// The vector output dialog: the operator's choices for a table run, Start/Abbrechen, Esc and
// "z" during the run. The run itself is Vektorausgabe on the dialog's worker (TVekThread),
// made anew each time the dialog is shown and ended when it closes; its progress reaches the
// controls through the Beobachter calls, which are queued to the window thread.
class TVektorDlg : public QDialog, private Vektorausgabe_Beobachter {
    Q_OBJECT

public:
    // tabelle is not owned and must outlive the dialog. startereignis (the main window's
    // hEventInit) is signalled once the dialog exists.
    explicit TVektorDlg(const Positionstabelle& tabelle, QWidget* parent = nullptr,
                        Ereignis* startereignis = nullptr);
    ~TVektorDlg() override;

    void Tabellenanzeige_setzen(Tabellenanzeige anzeige) { m_anzeige = std::move(anzeige); }
    // The run, for what the later modes install (the angle approach).
    Vektorausgabe& Lauf() { return m_lauf; }

    // Command-line modes "/KORA", "/WT", "/TORVAL", set before the dialog is opened.
    bool ModusKora = false;
    bool ModusWT = false;
    bool ModusTorval = false;

    int32_t Zyklen = 1;
    int32_t RefModus = 0;
    std::array<bool, 3> RefZyklusAktiv{};
    bool zAchseInterpolieren = false;
    bool InFestwertspeicher = false;

    // A start command was given and its run has not yet ended.
    bool Beschaeftigt() const;

    // Controls.
    QLineEdit* ZyklenEdit = nullptr;
    QCheckBox* EndlosCheckBox = nullptr;
    QGroupBox* RefModusRadioGroup = nullptr;
    std::array<QRadioButton*, 3> RefModusKnoepfe{};
    QCheckBox* xAchseCheckBox = nullptr;
    QCheckBox* yAchseCheckBox = nullptr;
    QCheckBox* zAchseCheckBox = nullptr;
    QCheckBox* uAchseCheckBox = nullptr;
    QCheckBox* zAchseInterpolierenCheckBox = nullptr;
    QCheckBox* FestwertspeicherCheckBox = nullptr;
    QPushButton* StartBitBtn = nullptr;
    QPushButton* AbbrechenBitBtn = nullptr;
    QPushButton* SchliessenBitBtn = nullptr;
    QLabel* ZyklenAbbruchPanel = nullptr;
    QLabel* ZyklenAusgabeLabel = nullptr;
    // The estimated time: of the whole run (endless: per cycle) before Start, the time left
    // and the progress over rows and cycles while it runs. Hidden where there is no estimate.
    QFrame* SchaetzungPanel = nullptr;
    QLabel* SchaetzungLabel = nullptr;
    QProgressBar* FortschrittBalken = nullptr;

    // Background and font colour of the panels.
    QColor Hintergrundfarbe() const { return m_hintergrund; }
    QColor Schriftfarbe() const { return m_schrift; }

    // Event handlers.
    void ZyklenEditOnExit();
    void EndlosCheckBoxOnClick();
    // The fixed-memory conflict check.
    void FestwertCheckBoxOnClick();
    void RefModusRadioGroupOnExit();
    // Ignored unless the worker is idle within 100 ms.
    void StartBitBtnClick();
    // Also Esc. Acts only on a run that was started; one that is about to begin is stopped as
    // soon as it shows as running.
    void AbbrechenBitBtnClick();
    // "z": the run ends after the current cycle.
    void ZyklenAbbruchTaste();
    // Stores the choices in the settings file and closes.
    void SchliessenBitBtnClick();
    // Estimates the run the controls describe and shows its time (not while a run goes).
    void Schaetzung_zeigen();

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Every way of closing ends here: the grid loses its highlight, a run is stopped and the
    // worker ended.
    void done(int ergebnis) override;
    void keyPressEvent(QKeyEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    // Vektorausgabe_Beobachter, called on the worker.
    void AktuelleZeile(int zeile) override;
    void Zyklus_beginnt(int nummer) override;
    void Wiederholung_anzeigen(int zeile, const std::string& text) override;
    void Zyklen_anzeigen(int rest) override;
    void Zyklenfeld_markieren(bool gelb) override;
    void Laeuft(bool laeuft) override;
    void Zyklenabbruch_anzeigen(bool sichtbar) override;

    class Arbeiter;

    void Oberflaeche_anlegen();
    void Farben_anwenden(const QColor& hintergrund, const QColor& schrift);
    void Knoepfe_zeigen(bool laeuft);
    bool Taste(int taste, const QString& text);
    Vektoreingaben Eingaben_lesen() const;
    void Einstellungen_zeigen();
    // Queues f to the window thread; dropped when the dialog is gone by then.
    void Im_Fensterthread(std::function<void(TVektorDlg&)> f);
    void Arbeiter_beenden();
    void Befehl_fertig();
    void Lauf_aufraeumen();
    void Fortschritt_zeigen(int zeile, int32_t erledigt);

    Vektorausgabe m_lauf;
    Tabellenanzeige m_anzeige;
    std::unique_ptr<Arbeiter> m_arbeiter;
    std::shared_ptr<int> m_lebenszeichen;
    std::vector<QFrame*> m_panels;
    QColor m_hintergrund;
    QColor m_schrift;
    bool m_schliesst = false;
    std::set<int> m_wiederholungszeilen; // rows showing "k von n"
    const Positionstabelle& m_tabelle;
    // The estimate of the run that was started, read on the window thread only.
    Laufschaetzung m_schaetzung;
    bool m_fortschritt_aktiv = false;
    int m_zyklus = 1;

    // The run's state as the window sees it, shared with the worker.
    mutable std::mutex m_zustand_mutex;
    bool m_befehl_offen = false;       // Start handed over, the command not yet over
    bool m_lauf_aktiv = false;         // between Laeuft(true) and Laeuft(false)
    bool m_abbruch_vorgemerkt = false; // Esc before the run showed as running
    bool m_zyklenabbruch_vorgemerkt = false;
    Ereignis m_befehl_fertig;
};

} // namespace orvexa
