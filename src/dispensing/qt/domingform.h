#pragma once

#include "dispensing/domingablauf.h"
#include "dispensing/dominganzeige.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/domingprimitive.h"
#include "dispensing/domingschaetzung.h"
#include "dispensing/hpgldatamodule.h"
#include "dispensing/sprachtabellen.h"
#include "dispensing/stoppuhr.h"

#include <QDialog>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QTimer;

namespace orvexa {

class Auftragsansicht;
class DomingVorschaubild;
class TDomingThread;

// The three fields of the speed dialog, which the window fills when it shows the job and reads
// back when it accepts it.
struct DomingGeschwindigkeitsfelder {
    QString Startfreq;
    QString Eilfreq;
    QString Rampenlaenge;
};

// The two windows of the same code: the Doming window, and the window of machines whose resin
// is fed under pressure (TQuarrenForm), which adds the pressures noted with the job, a
// stopwatch of the run and keyboard jogging, and shows its texts in the chosen language.
enum class Domingvariante : uint8_t { Doming, Druck };

// The Doming window: sets up a dispensing job, previews its shape, runs it over every part of
// every sheet and continues an aborted run at the part in work; jogs x and y, homes, and traces
// with the laser pointer. Every machine action of a command runs on the window's worker
// (TDomingThread over DomingAblauf), made when the window is first activated and ended when it
// closes; what the worker shows reaches the controls queued to the window thread.
class TDomingForm : public QDialog, protected DomingAnzeige {
    Q_OBJECT

public:
    explicit TDomingForm(QWidget* parent = nullptr,
                         Domingvariante variante = Domingvariante::Doming);
    ~TDomingForm() override;

    Domingvariante Variante() const { return m_variante; }
    bool Druckvariante() const { return m_variante == Domingvariante::Druck; }

    // Start-up switches "/KORA" and "/ENTWICKLUNG", set by the opener.
    bool ModusKora = false;
    bool ModusEntwicklung = false;

    // The window's dialogs, filled in by the program entry; while one is empty its menu item
    // (or button) is disabled. Each is shown modally; the window is activated again after it.
    // The speed dialog edits the three fields in place.
    std::function<void(DomingGeschwindigkeitsfelder& felder)> Geschwindigkeit_oeffnen;
    // The Doming parameter dialog; it changes parameter only when confirmed.
    std::function<void(DomingParameter& parameter)> Parameter_oeffnen;
    // The flushing dialog shows its output in status panel 5 (Statusfeld_zeigen).
    std::function<void()> Spuelung_oeffnen;
    // The dosing-time dialog: the time accepted with "&Übernehmen", nothing for "&Abbrechen".
    std::function<std::optional<double>(double pdosierzeit)> Dosierzeit_oeffnen;
    // The strokes of the arc and rectangle previews for a bitmap of breite x hoehe pixels;
    // while empty those previews stay white.
    std::function<std::vector<HPGL_Strich>(const DomingJob&job, int breite, int hoehe)>
        Kreisvorschau, Rechteckvorschau;

    // The file dialogs; tests put their own choice here. They get the folder to start in (and
    // the proposed name) and return the chosen path or an empty text for Cancel.
    std::function<QString(const QString& verzeichnis)> Oeffnen_Dialog;
    std::function<QString(const QString& verzeichnis, const QString& vorschlag)> Speichern_Dialog;
    std::function<QString(const QString& verzeichnis)> HPGL_Dialog;
    // The window's language goes on to its dialogs each time it is applied.
    std::function<void(Sprache sprache)> Sprache_weitergeben;

    DomingJob& Job() { return m_job; }
    const DomingParameter& Parameter() const { return m_parameter; }
    DomingKontext& Kontext() { return m_kontext; }
    const DomingAblauf& Ablauf() const { return m_ablauf; }
    THPGLDataModule& HPGL() { return m_hpgl; }
    // nullptr until the first activation and after closing.
    const TDomingThread* Arbeiter() const { return m_arbeiter.get(); }
    // A command was handed to the worker and has not ended yet.
    bool Beschaeftigt() const;
    bool Geaendert() const { return m_geaendert; }
    const QString& Dateiname() const { return m_dateiname; }
    double Schrittweite() const { return m_schrittweite; }
    QString Statustext(int feld) const;
    void Statusfeld_zeigen(int feld, const QString& text);
    // Applies the language of the parameters in force to the window and (Sprache_weitergeben)
    // to its dialogs.
    void Texte_anwenden();
    Sprache Fenstersprache() const;
    const Stoppuhr& Laufzeit() const { return m_stoppuhr; }

    // Controls.
    QMenuBar* Menueleiste = nullptr;
    QMenu* MenuDatei = nullptr;
    QAction *MenuNeu = nullptr, *MenuOeffnen = nullptr, *MenuSpeichernUnter = nullptr;
    QAction *MenuParameter = nullptr, *MenuGeschwindigkeit = nullptr, *MenuSpuelung = nullptr;

    QTabWidget* StartPunktPageControl = nullptr;
    QLineEdit *xStartpunktEdit = nullptr, *yStartpunktEdit = nullptr;
    QPushButton *xPos_BitBtn = nullptr, *xNeg_BitBtn = nullptr, *yPos_BitBtn = nullptr,
                *yNeg_BitBtn = nullptr, *RefBitBtn = nullptr;
    QScrollBar* SpeedScrollBar = nullptr;
    QLabel* SpeedAnzeigeLabel = nullptr;
    QGroupBox* SchrittweiteRadioGroup = nullptr;
    QRadioButton *KontinuierlichRadioButton = nullptr, *SchrittRadioButton = nullptr;
    QLineEdit* SchrittweiteMaskEdit = nullptr;

    QFrame* JobPanel = nullptr;
    QLineEdit *xAbstandEdit = nullptr, *yAbstandEdit = nullptr, *xAnzahlEdit = nullptr,
              *yAnzahlEdit = nullptr;
    QLineEdit *BxAbstandEdit = nullptr, *ByAbstandEdit = nullptr, *BxAnzahlEdit = nullptr,
              *ByAnzahlEdit = nullptr;
    QTabWidget* PageControl = nullptr;
    QLineEdit *PDosierzeitEdit = nullptr, *PAbtropfzeitEdit = nullptr, *PRampenlaengeEdit = nullptr;
    QScrollBar* PScrollBar = nullptr;
    QLabel* PEilfreqPanel = nullptr;
    QPushButton* DosierzeitButton = nullptr;
    QLineEdit *LDosierzeit1Edit = nullptr, *LLaengeEdit = nullptr, *LRampenlaengeEdit = nullptr,
              *LDosierzeit3Edit = nullptr, *LAbtropflinieEdit = nullptr,
              *LAbtropfzeitEdit = nullptr;
    QScrollBar* LScrollBar = nullptr;
    QLabel* LArbeitsfreqPanel = nullptr;
    QLineEdit *KDosierzeit1Edit = nullptr, *KRadiusEdit = nullptr, *KRampenlaengeEdit = nullptr,
              *KDosierzeit3Edit = nullptr, *KAbtropfzeitEdit = nullptr;
    QScrollBar* KScrollBar = nullptr;
    QLabel* KArbeitsfreqPanel = nullptr;
    QLineEdit *RDosierzeit1Edit = nullptr, *RLaengeEdit = nullptr, *RBreiteEdit = nullptr,
              *RRampenlaengeEdit = nullptr, *RDosierzeit3Edit = nullptr,
              *RAbtropfzeitEdit = nullptr;
    QScrollBar* RScrollBar = nullptr;
    QLabel* RArbeitsfreqPanel = nullptr;
    QLineEdit *HDosierzeit1Edit = nullptr, *HRampenlaengeEdit = nullptr,
              *HDosierzeit3Edit = nullptr, *HAbtropfzeitEdit = nullptr;
    QScrollBar* HScrollBar = nullptr;
    QLabel* HArbeitsfreqPanel = nullptr;
    DomingVorschaubild* Vorschau = nullptr;
    // The whole job as the run visits it, beside the shape pages.
    Auftragsansicht* Auftragsbild = nullptr;
    // "geschätzte Dauer: 00:01:23" before a run, "noch 00:00:45" during it.
    QLabel* SchaetzungLabel = nullptr;
    QScrollBar* KEndwinkelScrollBar = nullptr;
    QLabel* KEndwinkelPanel = nullptr;
    QScrollBar* RMinusLaengeScrollBar = nullptr;
    QLabel* RMinusLaengePanel = nullptr;
    QMenu* HPGLPopupMenu = nullptr;
    QAction *HPGLLadenAction = nullptr, *HPGLSchliessenAction = nullptr;

    QPushButton *StartBitBtn = nullptr, *FortsetzenBitBtn = nullptr, *AbbrechenBitBtn = nullptr,
                *SchliessenBitBtn = nullptr;
    QCheckBox *LaserpointerBetriebCheckBox = nullptr, *LaserpointerONOFFCheckBox = nullptr,
              *ReferenzfahrtCheckBox = nullptr, *DauertestCheckBox = nullptr;
    QGroupBox* DosierkopfRadioGroup = nullptr;
    std::array<QRadioButton*, 2> DosierkopfKnoepfe{};
    std::array<QLabel*, 7> StatusBar{};
    // The pressure-fed window only (nullptr in the Doming window).
    QGroupBox* DruckGroupBox = nullptr;
    QLineEdit *MaterialdruckEdit = nullptr, *VentildruckEdit = nullptr;
    QLabel *StoppuhrLabel = nullptr, *StoppuhrPanel = nullptr;
    QTimer* StoppuhrTimer = nullptr;

    // Event handlers.
    void StartBitBtnClick();
    void FortsetzenBitBtnClick();
    void RefBitBtnClick();
    // Also the release of a jog button in continuous mode.
    void AbbrechenBitBtnClick();
    void SchliessenBitBtnClick();
    void DomingMouseDown(DomingRichtung richtung);
    void DomingMouseUp();
    void SchrittweiteMaskEditEnter();
    void SchrittweiteMaskEditExit();
    void SpeedScrollBarChange();
    void LaserpointerONOFFCheckBoxClick();
    void LaserpointerBetriebCheckBoxClick();
    void ReferenzfahrtCheckBoxClick();
    void DosierkopfRadioGroupClick();
    void EditExit();
    void FrequenzScrollBarChange();
    void KEndwinkelScrollBarChange();
    void RMinusLaengeScrollBarChange();
    void PageControlChange();
    void DosierzeitButtonClick();
    void MenuNeuClick();
    void MenuOeffnenClick();
    void MenuSpeichernUnterClick();
    void MenuParameterClick();
    void MenuGeschwindigkeitClick();
    void MenuSpuelungClick();
    void HPGLLadenClick();
    void HPGLSchliessenClick();
    void DauertestCheckBoxClick();
    void StartPunktPageControlChange();
    void StoppuhrTimerTimer();

    // The job and its controls.
    void Doming_Anzeige_lesen();
    void Doming_Anzeige_setzen();
    void Regler_einstellen();

protected:
    void showEvent(QShowEvent* ereignis) override;
    // Every way of closing ends here: refused while a command runs, else the save question,
    // and the worker is ended.
    void done(int ergebnis) override;
    void closeEvent(QCloseEvent* ereignis) override;
    void keyPressEvent(QKeyEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

    // DomingAnzeige: called on the worker (or on the window thread while idle).
    void Statusfeld_setzen(int feld, const std::string& text) override;
    void Position_anzeigen(double x_mm, double y_mm) override;
    void Position_unbekannt() override;
    void Vorschau_Schritt(bool linie, double x_mm, double y_mm) override;
    void Vorschau_neu_zeichnen() override;
    void Beschaeftigt(bool an, bool fortsetzen) override;
    void Job_lesen(DomingJob& job) override;
    void Laserpointer_Haken_setzen(bool an) override;
    void Teil_beginnt(const DomingTeil& teil) override;
    void Lauf_gestartet(bool an) override;

private:
    void Oberflaeche_anlegen();
    void Druckfelder_anlegen();
    bool Tastaturfahrt(QKeyEvent* ereignis);
    void Menues_anlegen();
    QLineEdit* Feld(QWidget* eltern, int x, int y, const char* beschriftung, const char* einheit,
                    int breite = 60);
    QScrollBar* Frequenzregler(QWidget* eltern, int y, QLabel*& panel);
    void Text(std::function<void(const QString&)> setzen, const char* deutsch);
    QString Uebersetzt(const char* deutsch) const;

    void Aktivieren();
    void Beschaeftigt_zeigen(bool an, bool fortsetzen);
    void Felder_lesen(DomingJob& job) const;
    void Felder_zeigen(const DomingJob& job);
    void Formseite_zeigen(const std::string& typ);
    void Vorschau_zeigen();
    // The layout view from the fields; not while a command reads the job.
    void Auftragsplan_zeigen();
    void Auftragsplan_zeigen(DomingJob job);
    void Statuszeile_zeigen();
    void Position_aktualisieren_hier();
    void Titel_zeigen();
    void Lauf_starten(bool neustart);
    void Befehl_fertig();
    void Speicherfrage();
    void Arbeiter_beenden();
    void Im_Fensterthread(std::function<void(TDomingForm&)> f);

    const Domingvariante m_variante;
    DomingJob m_job;
    DomingParameter m_parameter;
    THPGLDataModule m_hpgl;
    DomingKontext m_kontext;
    DomingAblauf m_ablauf;
    DomingGeschwindigkeitsfelder m_geschwindigkeit;
    std::unique_ptr<TDomingThread> m_arbeiter;
    std::shared_ptr<int> m_lebenszeichen;
    std::vector<std::pair<std::function<void(const QString&)>, const char*>> m_texte;

    QString m_dateiname;
    QString m_oeffnen_verzeichnis;
    QString m_speichern_verzeichnis;
    bool m_erste_aktivierung = true;
    bool m_geaendert = false;
    bool m_beschaeftigt_gezeigt = false;
    bool m_beim_zeigen = false; // controls are being filled: no handler sets the flag
    bool m_schliesst = false;
    double m_schrittweite = 0.0;
    // The position last shown, where a run from the manual tab starts.
    double m_x_mm = 0.0, m_y_mm = 0.0;
    // The contour as the HPGL page read it, from the origin: what every part plays shifted.
    std::vector<HPGL_Zeile> m_kontur;
    DomingSchaetzung m_schaetzung;
    std::atomic<bool> m_dauertest{false};
    Stoppuhr m_stoppuhr;
};

} // namespace orvexa
