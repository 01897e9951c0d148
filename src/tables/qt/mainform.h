#pragma once

#include "core/verbindungsablauf.h"
#include "platform/ereignis.h"
#include "tables/tabelle.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;
class QToolBar;

namespace orvexa {

class Pfadansicht;
class TND261TestPanel;
class Tabellenmodell;

// The program's frame: reads the switches, shows the position table, offers the file and edit
// menus, connects to the configured controller and shows the connection in its status bar.
// Its own state is the mode flags, Verbunden, the row being executed and the simulated machine
// of "/SIM"; the controller's state lives in the command layer, the table's in the table
// module, and connecting is the command layer's sequence (Steuerung_verbinden).
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // argumente as the program got them, the program path first.
    explicit TMainForm(const QStringList& argumente, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The position table module. Without one, the window makes its own at start-up.
    void Tabellenmodul_setzen(Positionstabelle* tabelle) { m_tabelle = tabelle; }
    Positionstabelle* Tabelle() { return m_tabelle; }
    // nullptr until the start-up made the grid.
    Tabellenmodell* Modell() { return m_modell.get(); }
    QTableView* Gitter() { return m_gitter; }
    // The path preview beside the grid and the splitter between them; nullptr until the
    // start-up made the grid.
    Pfadansicht* Pfadvorschau() { return m_pfadansicht; }
    QSplitter* Teiler() { return m_teiler; }
    // Our own file for how the operator left the preview (never one of the program's files);
    // read when the grid is made, written when the operator moves the splitter or closes the
    // preview. Tests put their own path here before the start-up.
    std::string Ansichtsdatei;

    // Signalled once when the last window of the start-up exists; the start-up timer waits
    // for it before it makes the grid and connects.
    Ereignis hEventInit;

    std::string Titel;
    std::string TabellenPfad;
    bool ModusKora = false;
    bool ModusEntwicklung = false;
    bool ModusWT = false;
    bool ModusPellix = false;
    bool ModusManuell = false;
    bool ModusTorval = false;
    // "/SIM": the simulated machine stands in for the controller; the program entry hands
    // over the starter.
    bool ModusSimulation = false;
    Simulationsstarter Simulation_starter;
    bool Verbunden = false;
    std::string KonfigPfad;
    int Dosiervariante = 1;

    // The row the vector output is executing, -1 none; the grid highlights it.
    int AktuelleZeile() const { return m_aktuelle_zeile; }
    void AktuelleZeile_setzen(int zeile);
    // "k von n" in the repeat column of zeile while its repetitions run.
    void Wiederholung_anzeigen(int zeile, const std::string& text);

    // Opens the vector output dialog modally; filled in by that dialog. While it is empty
    // the menu item stays disabled.
    std::function<void()> Vektorausgabe_oeffnen;
    // The parameter, reference and jog dialogs, shown modally by these; filled in at start-up.
    // The openers colour and place their dialogs from the mode flags.
    std::function<void()> Parameter_oeffnen;
    std::function<void()> Referenz_oeffnen;
    std::function<void()> Manuell_oeffnen;
    // The program memory dialog, normal (false) or erase-all mode (true); shown modally.
    std::function<void(bool loeschmodus)> Programmspeicher_oeffnen;
    // The dispensing window of the installation, shown modally; types 5 and 6 only.
    std::function<void()> Doming_oeffnen;

    // The angle-positioning mode, filled in at start-up: the load of the angle parameters
    // (instead of the parameter file), the position display link opened at every connect
    // (false: not connected), and the simulated machine of "/SIM /WT". Empty: the mode
    // connects like the others.
    std::function<void()> Winkelparameter_laden;
    std::function<bool()> Anzeige_oeffnen;
    std::function<std::unique_ptr<Simulation>(std::string* fehler)> Winkelsimulation_starter;
    // The ND261 test panel, shown in the middle area by MenuND261_Test; not owned (a child of
    // the middle area from then on).
    void ND261_Panel_setzen(TND261TestPanel* panel);
    TND261TestPanel* ND261_Panel() const { return m_nd261_panel; }

    // The file dialogs; tests put their own choice here. They get the folder to start in and
    // the proposed path, and return the chosen path or an empty text for Cancel.
    std::function<QString(const QString& verzeichnis)> Oeffnen_Dialog;
    std::function<QString(const QString& verzeichnis, const QString& vorschlag)> Speichern_Dialog;

    // True once the start-up sequence has connected or failed to.
    bool Gestartet() const { return m_gestartet; }
    bool Tabelle_offen() const;
    QString Statustext(int panel) const;
    // The simulated machine of "/SIM", nullptr without one.
    const Simulation* Simulierte_Maschine() const { return m_simulation.get(); }

    // Connect (after the start-up and after the parameter dialog): closes the link, makes the
    // driver module for Modul, opens the port and asks for the identification.
    void Verbinden();
    // Menu and tool-bar state after every file action and connect.
    void Menuestatus();
    void Menues_sperren();

    // Menu commands.
    void MenuNeuClick();
    void MenuOeffnenClick();
    // False when nothing was saved (dialog cancelled or the write failed).
    bool MenuSpeichernUnterClick();
    // False when the operator kept the table open.
    bool MenuSchliessenClick();
    void MenuBeendenClick();
    void MenuSchritteingabeClick();
    void MenuKXCUFestwertspeicher_loeschenClick();
    void MenuVektorausgabeFestwertspeicherClick();
    void MenuDKXCUFestwertspeicher_loeschenClick();
    void MenuVektorausgabeClick();
    void MenuParameterClick();
    void MenuReferenzClick();
    void MenuManuellClick();
    void MenuDomingClick();
    void MenuND261_TestClick();

    // The actions, named as the menu items.
    QAction *MenuNeu, *MenuOeffnen, *MenuSpeichernUnter, *MenuSchliessen, *MenuBeenden;
    QAction *MenuZeileHinzufuegen, *MenuZeileHinzufuegen25, *MenuZeileEinfuegen, *MenuZeileLoeschen,
        *MenuTabelleLoeschen, *MenuSchritteingabe, *SchritteingabeTrenner;
    QAction *MenuVektorausgabe, *MenuKXCUFestwertspeicher_loeschen;
    QAction *MenuVektorausgabeFestwertspeicher, *MenuDKXCUFestwertspeicher_loeschen;
    QAction *MenuParameter, *MenuReferenz, *MenuManuell, *ParameterSpeedButton, *MenuND261_Test;
    QAction* MenuDoming;
    QAction *PU_ZeileHinzufuegen, *PU_ZeileHinzufuegen25, *PU_ZeileEinfuegen, *PU_ZeileLoeschen,
        *PU_TabelleLoeschen, *PU_Schritteingabe, *PU_SchritteingabeTrenner;
    QMenu *MenuDatei, *MenuBearbeiten, *MenuFahrt, *MenuKX900_KXCU, *MenuKXvario_KXCU, *PopupMenu;
    QToolBar* Werkzeugleiste;
    QLabel *EingabeHilfePanel1, *EingabeHilfePanel2;

signals:
    // The start-up sequence has ended, connected or not.
    void Startvorgang_beendet();

protected:
    void showEvent(QShowEvent* ereignis) override;
    void closeEvent(QCloseEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    void Schalter_lesen(const QStringList& argumente);
    void Menues_anlegen();
    void Statusleiste_anlegen();
    void Erste_Aktivierung();
    void InitTimerTimer();
    void Gitter_erzeugen();
    void Parameter_laden();
    void Titel_bilden(const std::string& steuerungsname);
    void Beschriftung_zeigen();
    // The program memory menu of the connected type: shown and captioned for types 5 and 6.
    void Programmspeichermenue_zeigen();
    void Statusleiste_zeigen();
    void Simulation_bereitstellen();
    void Hinweise_zeigen(int spalte);
    void Tabelle_verbergen();
    void Pfadvorschau_anlegen();
    void Ansicht_anwenden();
    void Ansicht_speichern();

    std::string m_programmname; // lower case, without extension
    QString m_oeffnen_verzeichnis;
    QString m_speichern_verzeichnis;
    Positionstabelle* m_tabelle = nullptr;
    std::unique_ptr<Positionstabelle> m_eigene_tabelle;
    std::unique_ptr<Tabellenmodell> m_modell;
    QTableView* m_gitter = nullptr;
    QSplitter* m_teiler = nullptr;
    Pfadansicht* m_pfadansicht = nullptr;
    bool m_ansicht_angewandt = false;
    // The grid's parts whose events the hints watch; compared, never called.
    const QObject* m_gitterflaeche = nullptr;
    const QObject* m_gitterkopf = nullptr;
    QWidget* m_mitte = nullptr;
    std::array<QLabel*, 6> m_panels{};
    QTimer InitTimer;
    bool m_aktiviert = false;
    bool m_gestartet = false;
    bool m_geschlossen = false;
    int m_aktuelle_zeile = -1;
    std::unique_ptr<Simulation> m_simulation;
    TND261TestPanel* m_nd261_panel = nullptr;
    // Closing was asked for while the test panel approached an angle.
    bool m_schliessen_nach_test = false;
};

} // namespace orvexa
