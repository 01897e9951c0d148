#include "mainform.h"

#include "angle/qt/nd261testpanel.h"
#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "platform/qt/qtext.h"
#include "tables/ansichtseinstellungen.h"
#include "tables/programmspeicher.h"
#include "tables/qt/pfadansicht.h"
#include "tables/qt/tabellenmodell.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <optional>

namespace orvexa {

namespace {

constexpr const char* Programmtitel = "orvexa2011";
constexpr const char* Ausgabestand = "30.01.15";
constexpr const char* Keine_Verbindung = "--- keine Verbindung ---";
constexpr const char* Tabellenfilter = "orvexa2011 (*.edt)";

// The customer lines of the caption in the angle-positioning and TORVAL installations.
constexpr const char* Kundentext_WT = "Winkelpositionierung";
constexpr const char* Kundentext_Torval = "TORVAL Dosieranlage";

constexpr std::array<int, 6> Panelbreiten = {120, 50, 180, 210, 180, 100};

std::string S(const QString& text) {
    return text.toStdString();
}

} // namespace

TMainForm::TMainForm(const QStringList& argumente, QWidget* parent) : QMainWindow(parent) {
    // Numbers are read and written with "." throughout.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    std::string name = std::filesystem::path(Programmpfad()).stem().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    m_programmname = name.empty() ? std::string(Programmtitel) : name;

    Schalter_lesen(argumente);
    Ansichtsdatei = Ansichtseinstellungen_Dateiname();

    m_mitte = new QWidget(this);
    auto* anordnung = new QVBoxLayout(m_mitte);
    anordnung->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_mitte);
    Menues_anlegen();
    Statusleiste_anlegen();

    const auto hinweis = [this](const char* text) {
        auto* panel = new QLabel(QString::fromUtf8(text), this);
        panel->setFrameStyle(QFrame::Box | QFrame::Plain);
        panel->setAutoFillBackground(true);
        QPalette farben = panel->palette();
        farben.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xE1));
        farben.setColor(QPalette::WindowText, Qt::black);
        panel->setPalette(farben);
        panel->setMargin(3);
        panel->adjustSize();
        panel->hide();
        return panel;
    };
    EingabeHilfePanel1 = hinweis("Eingabe durch Doppelklicken:  \"ON\"  \"OFF\"  \"-\"");
    EingabeHilfePanel2 = hinweis("die Tabellen-Zeile wird in der Abarbeitung x-mal wiederholt");

    setWindowTitle(QString::fromLatin1(Programmtitel));
    move(0, 0);
    resize(1024, 768);
    setWindowState(windowState() | Qt::WindowMaximized);

    InitTimer.setInterval(50);
    connect(&InitTimer, &QTimer::timeout, this, [this] { InitTimerTimer(); });

    Oeffnen_Dialog = [this](const QString& verzeichnis) {
        return QFileDialog::getOpenFileName(this, QString::fromUtf8("edt-Datei öffnen"),
                                            verzeichnis, QString::fromLatin1(Tabellenfilter));
    };
    Speichern_Dialog = [this](const QString& verzeichnis, const QString& vorschlag) {
        const QString start = vorschlag.isEmpty()
                                  ? verzeichnis
                                  : QDir(verzeichnis).filePath(QFileInfo(vorschlag).fileName());
        return QFileDialog::getSaveFileName(this, QString::fromUtf8("edt-Datei speichern unter"),
                                            start, QString::fromLatin1(Tabellenfilter));
    };
}

TMainForm::~TMainForm() {
    InitTimer.stop();
    // The view goes before the model it shows; the hint filter lets go of it first, since
    // its parts send events while they are taken down.
    QTableView* gitter = m_gitter;
    m_gitter = nullptr;
    m_gitterflaeche = m_gitterkopf = nullptr;
    delete m_pfadansicht;
    m_pfadansicht = nullptr;
    delete gitter;
    m_modell.reset();
    if (m_simulation) {
        // The link must let go of the simulated port before the simulator ends.
        if (!m_geschlossen) Steuerung_schliessen();
        m_simulation.reset();
    }
}

void TMainForm::Schalter_lesen(const QStringList& argumente) {
    bool zeitstempel = false;
    for (const QString& argument : argumente) {
        const QString s = argument.toUpper();
        if (s == QLatin1String("/KORA"))
            ModusKora = true;
        else if (s == QLatin1String("/ENTWICKLUNG"))
            ModusEntwicklung = true;
        else if (s == QLatin1String("/WT"))
            ModusWT = true;
        else if (s == QLatin1String("/MANUELL"))
            ModusManuell = true;
        else if (s == QLatin1String("/TIME"))
            zeitstempel = true;
        else if (s == QLatin1String("/TORVAL"))
            ModusTorval = true;
        else if (s == QLatin1String("/SIM"))
            ModusSimulation = true;
        // An installation with the pressure-controlled dispensing head is started with it.
        else if (s == QLatin1String("/PELLIX"))
            Dosiervariante = 2;
    }
    ModusPellix = Dosiervariante == 2;
    if (zeitstempel) {
        // The release time: 30 January 2015, 13:00:00 UTC.
        std::tm freigabe{};
        freigabe.tm_year = 2015 - 1900;
        freigabe.tm_mon = 0;
        freigabe.tm_mday = 30;
        freigabe.tm_hour = 13;
        Dateizeiten_setzen(freigabe, "edt", "dat");
    }
}

void TMainForm::Menues_anlegen() {
    const auto aktion = [this](const char* text, auto handler) {
        auto* a = new QAction(QString::fromUtf8(text), this);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    const auto symbol = [this](QStyle::StandardPixmap art) { return style()->standardIcon(art); };

    MenuNeu = aktion("neue edt-Tabelle", [this] { MenuNeuClick(); });
    MenuNeu->setIcon(symbol(QStyle::SP_FileIcon));
    MenuOeffnen = aktion("edt-Datei öffnen", [this] { MenuOeffnenClick(); });
    MenuOeffnen->setIcon(symbol(QStyle::SP_DialogOpenButton));
    MenuSpeichernUnter = aktion("edt-Datei speichern unter", [this] { MenuSpeichernUnterClick(); });
    MenuSpeichernUnter->setIcon(symbol(QStyle::SP_DialogSaveButton));
    MenuSchliessen = aktion("edt-Datei schießen", [this] { MenuSchliessenClick(); });
    MenuSchliessen->setIcon(symbol(QStyle::SP_DialogCloseButton));
    MenuBeenden = aktion("Programm beenden", [this] { MenuBeendenClick(); });
    MenuBeenden->setIcon(symbol(QStyle::SP_DialogCancelButton));

    MenuDatei = menuBar()->addMenu(QStringLiteral("&Datei"));
    MenuDatei->addAction(MenuNeu);
    MenuDatei->addAction(MenuOeffnen);
    MenuDatei->addAction(MenuSpeichernUnter);
    MenuDatei->addAction(MenuSchliessen);
    MenuDatei->addSeparator();
    MenuDatei->addAction(MenuBeenden);

    // The row commands, in the menu and as twins in the grid's popup menu.
    const auto zeilenbefehle = [&](QMenu* menue) {
        QAction* hinzu = aktion("Zeile &hinzufügen", [this] {
            if (m_modell) m_modell->ZeileHinzufuegen();
        });
        QAction* hinzu25 = aktion("25 Zeilen hin&zufuegen", [this] {
            if (m_modell) m_modell->ZeileHinzufuegen(25);
        });
        QAction* einfuegen = aktion("Zeile &einfügen", [this] {
            if (m_modell) m_modell->ZeileEinfuegen();
        });
        QAction* loeschen = aktion("Zeile &löschen", [this] {
            if (m_modell) m_modell->ZeileLoeschen();
        });
        QAction* alles = aktion("&Tabelle löschen", [this] {
            if (m_modell) m_modell->TabelleLoeschen();
        });
        for (QAction* a : {hinzu, hinzu25, einfuegen, loeschen, alles})
            menue->addAction(a);
        QAction* trenner = menue->addSeparator();
        QAction* schritte = aktion("&Schritteingabe", [this] { MenuSchritteingabeClick(); });
        schritte->setCheckable(true);
        menue->addAction(schritte);
        return std::array<QAction*, 7>{hinzu, hinzu25,  einfuegen, loeschen,
                                       alles, schritte, trenner};
    };

    MenuBearbeiten = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    const auto menue = zeilenbefehle(MenuBearbeiten);
    MenuZeileHinzufuegen = menue[0];
    MenuZeileHinzufuegen25 = menue[1];
    MenuZeileEinfuegen = menue[2];
    MenuZeileLoeschen = menue[3];
    MenuTabelleLoeschen = menue[4];
    MenuSchritteingabe = menue[5];
    SchritteingabeTrenner = menue[6];

    PopupMenu = new QMenu(this);
    const auto popup = zeilenbefehle(PopupMenu);
    PU_ZeileHinzufuegen = popup[0];
    PU_ZeileHinzufuegen25 = popup[1];
    PU_ZeileEinfuegen = popup[2];
    PU_ZeileLoeschen = popup[3];
    PU_TabelleLoeschen = popup[4];
    PU_Schritteingabe = popup[5];
    PU_SchritteingabeTrenner = popup[6];

    // The menu bar shows an action's icon instead of its text, so the tool button is an
    // action of its own.
    MenuParameter = aktion("&Parameter", [this] { MenuParameterClick(); });
    menuBar()->addAction(MenuParameter);
    ParameterSpeedButton = aktion("Parameter", [this] { MenuParameterClick(); });
    ParameterSpeedButton->setIcon(symbol(QStyle::SP_FileDialogDetailedView));

    MenuFahrt = menuBar()->addMenu(QStringLiteral("&Fahrt"));
    MenuReferenz = aktion("&Referenz", [this] { MenuReferenzClick(); });
    MenuReferenz->setIcon(symbol(QStyle::SP_ArrowDown));
    MenuManuell = aktion("&Manuell", [this] { MenuManuellClick(); });
    MenuManuell->setIcon(symbol(QStyle::SP_ArrowRight));
    MenuVektorausgabe = aktion("&Vektorausgabe", [this] { MenuVektorausgabeClick(); });
    MenuVektorausgabe->setIcon(symbol(QStyle::SP_MediaPlay));
    MenuFahrt->addAction(MenuReferenz);
    MenuFahrt->addAction(MenuManuell);
    MenuFahrt->addSeparator();
    MenuFahrt->addAction(MenuVektorausgabe);

    MenuKX900_KXCU = menuBar()->addMenu(QStringLiteral("KX900-&KXCU"));
    MenuKXCUFestwertspeicher_loeschen =
        aktion("Festwertspeicher &löschen", [this] { MenuKXCUFestwertspeicher_loeschenClick(); });
    MenuKX900_KXCU->addAction(MenuKXCUFestwertspeicher_loeschen);
    MenuKX900_KXCU->menuAction()->setVisible(false);

    MenuKXvario_KXCU = menuBar()->addMenu(QStringLiteral("KXvario-KXCU"));
    MenuVektorausgabeFestwertspeicher =
        aktion("&Programmspeicher", [this] { MenuVektorausgabeFestwertspeicherClick(); });
    MenuDKXCUFestwertspeicher_loeschen =
        aktion("Festwertspeicher &löschen", [this] { MenuDKXCUFestwertspeicher_loeschenClick(); });
    MenuKXvario_KXCU->addAction(MenuVektorausgabeFestwertspeicher);
    MenuKXvario_KXCU->addSeparator();
    MenuKXvario_KXCU->addAction(MenuDKXCUFestwertspeicher_loeschen);
    MenuKXvario_KXCU->menuAction()->setVisible(false);

    MenuDoming = aktion("&Doming", [this] { MenuDomingClick(); });
    menuBar()->addAction(MenuDoming);
    MenuDoming->setVisible(false);
    MenuND261_Test = aktion("ND261-&Test", [this] { MenuND261_TestClick(); });
    menuBar()->addAction(MenuND261_Test);
    MenuND261_Test->setVisible(false);

    Werkzeugleiste = addToolBar(QStringLiteral("Werkzeugleiste"));
    Werkzeugleiste->setMovable(false);
    Werkzeugleiste->setFloatable(false);
    Werkzeugleiste->setContextMenuPolicy(Qt::PreventContextMenu);
    Werkzeugleiste->addAction(MenuNeu);
    Werkzeugleiste->addAction(MenuOeffnen);
    Werkzeugleiste->addAction(MenuSpeichernUnter);
    Werkzeugleiste->addAction(MenuSchliessen);
    Werkzeugleiste->addSeparator();
    Werkzeugleiste->addAction(ParameterSpeedButton);
    Werkzeugleiste->addSeparator();
    Werkzeugleiste->addAction(MenuReferenz);
    Werkzeugleiste->addAction(MenuManuell);
    Werkzeugleiste->addAction(MenuVektorausgabe);
    Werkzeugleiste->addSeparator();
    Werkzeugleiste->addAction(MenuBeenden);
}

void TMainForm::Statusleiste_anlegen() {
    QStatusBar* leiste = statusBar();
    leiste->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* panel = new QLabel(leiste);
        panel->setAlignment(Qt::AlignCenter);
        // The grid's narrow face, so an identification of 18 characters fits its 120 pixels.
        panel->setFont(Tabellenmodell::Schrift());
        panel->setFixedWidth(Panelbreiten[i]);
        // The last panel has no bevel.
        panel->setFrameStyle(i + 1 < m_panels.size() ? QFrame::Panel | QFrame::Sunken
                                                     : QFrame::NoFrame);
        leiste->addWidget(panel);
        m_panels[i] = panel;
    }
    Statusleiste_zeigen();
}

QString TMainForm::Statustext(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(m_panels.size())) return {};
    return m_panels[static_cast<std::size_t>(panel)]->text();
}

void TMainForm::Statusleiste_zeigen() {
    const Steuerungsinfo& info = Steuerung();
    m_panels[0]->setText(info.Version.empty() ? QString::fromLatin1(Keine_Verbindung)
                                              : Q(info.Version));
    m_panels[1]->setText(Q(info.Schnittstelle));
    m_panels[2]->setText(m_simulation ? QStringLiteral("Simulation") : QString());
}

void TMainForm::showEvent(QShowEvent* ereignis) {
    QMainWindow::showEvent(ereignis);
    if (!m_aktiviert) {
        m_aktiviert = true;
        Erste_Aktivierung();
    }
}

void TMainForm::Erste_Aktivierung() {
    const std::string verzeichnis = Programmverzeichnis();
    Parameterdatei() = verzeichnis + m_programmname + "_param.dat";
    KonfigPfad = verzeichnis + m_programmname + "_konfig.dat";
    m_oeffnen_verzeichnis = m_speichern_verzeichnis = Q(verzeichnis);
    Protokoll_loeschen();
    Menues_sperren();
    setWindowTitle(QString::fromLatin1(Programmtitel));
    InitTimer.start();
}

void TMainForm::InitTimerTimer() {
    InitTimer.stop();
    if (hEventInit.Warten(100) != Warteergebnis::signalisiert) {
        InitTimer.start();
        return;
    }
    Gitter_erzeugen();
    Parameter_laden();
    Verbinden();
    m_gestartet = true;
    emit Startvorgang_beendet();
}

void TMainForm::Gitter_erzeugen() {
    if (!m_tabelle) {
        m_eigene_tabelle = std::make_unique<Positionstabelle>();
        m_tabelle = m_eigene_tabelle.get();
    }
    m_tabelle->Modus = Tabellenmodus{ModusWT, ModusTorval};
    m_modell = std::make_unique<Tabellenmodell>(*m_tabelle);
    m_teiler = new QSplitter(Qt::Horizontal, m_mitte);
    m_teiler->setChildrenCollapsible(true);
    m_mitte->layout()->addWidget(m_teiler);
    // The middle area is shown already; a layout would show its new part only later.
    m_teiler->show();
    m_gitter = Tabellenansicht_erzeugen(*m_modell, m_teiler);
    m_teiler->addWidget(m_gitter);
    m_gitter->hide();
    Pfadvorschau_anlegen();

    m_gitter->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_gitter, &QWidget::customContextMenuRequested, this, [this](const QPoint& ort) {
        PopupMenu->popup(m_gitter->viewport()->mapToGlobal(ort));
    });
    if (auto* kopf = qobject_cast<Tabellenkopf*>(m_gitter->horizontalHeader())) {
        connect(kopf, &Tabellenkopf::Zeiger_ueber_Spalte, this,
                [this](int spalte) { Hinweise_zeigen(spalte); });
        kopf->installEventFilter(this);
        m_gitterkopf = kopf;
    }
    m_gitter->viewport()->setMouseTracking(true);
    m_gitter->viewport()->installEventFilter(this);
    m_gitterflaeche = m_gitter->viewport();
    m_modell->AktuelleZeile_setzen(m_aktuelle_zeile);
}

void TMainForm::Pfadvorschau_anlegen() {
    m_pfadansicht = new Pfadansicht(*m_modell, m_teiler);
    m_teiler->addWidget(m_pfadansicht);
    m_teiler->setCollapsible(0, false);
    m_teiler->setStretchFactor(0, 1);
    m_pfadansicht->hide();
    m_pfadansicht->Laufzeile_setzen(m_aktuelle_zeile);

    connect(m_gitter->selectionModel(), &QItemSelectionModel::currentChanged, m_pfadansicht,
            [this](const QModelIndex& jetzt) {
                m_pfadansicht->Cursorzeile_setzen(jetzt.isValid() ? jetzt.row() + 1 : -1);
            });
    connect(m_pfadansicht, &Pfadansicht::Zeile_gewaehlt, this, [this](int zeile) {
        const int spalte = std::max(m_gitter->currentIndex().column() + 1, 1);
        const QModelIndex ziel = m_modell->Zellindex(zeile, spalte);
        m_gitter->setCurrentIndex(ziel);
        m_gitter->scrollTo(ziel);
    });
    connect(m_pfadansicht, &Pfadansicht::Schliessen_gewuenscht, this, [this] {
        const int gesamt = m_teiler->sizes().value(0) + m_teiler->sizes().value(1);
        m_teiler->setSizes({gesamt, 0});
        Ansicht_speichern();
    });
    // Only a move by the operator: sizes set by the program are no choice to keep.
    connect(m_teiler, &QSplitter::splitterMoved, this, [this] { Ansicht_speichern(); });
}

void TMainForm::Ansicht_anwenden() {
    // Once both sides are shown: a splitter keeps no sizes for hidden parts.
    if (m_ansicht_angewandt || !m_teiler || !m_pfadansicht || m_pfadansicht->isHidden()) return;
    m_ansicht_angewandt = true;
    const Ansichtseinstellungen e = Ansichtseinstellungen_laden(Ansichtsdatei);
    const int gesamt = std::max(m_teiler->width(), 600);
    const int breite =
        e.Pfadvorschau_breite > 0 ? std::min(e.Pfadvorschau_breite, gesamt - 100) : gesamt / 3;
    m_teiler->setSizes(
        {e.Pfadvorschau_offen ? gesamt - breite : gesamt, e.Pfadvorschau_offen ? breite : 0});
}

void TMainForm::Ansicht_speichern() {
    if (!m_teiler || !m_pfadansicht) return;
    Ansichtseinstellungen e = Ansichtseinstellungen_laden(Ansichtsdatei);
    const int breite = m_teiler->sizes().value(1);
    e.Pfadvorschau_offen = breite > 0;
    if (breite > 0) e.Pfadvorschau_breite = breite;
    std::string fehler;
    // A view setting that cannot be kept is not worth a box; the log says why.
    if (!Ansichtseinstellungen_speichern(e, Ansichtsdatei, &fehler))
        Protokoll_schreiben(Ebene_Fehler, "Ansicht_speichern() :: " + fehler);
}

void TMainForm::Parameter_laden() {
    // The angle parameters fix the machine parameter set in the angle-positioning mode.
    if (ModusWT && Winkelparameter_laden)
        Winkelparameter_laden();
    else
        Parameterdatei_laden();
}

void TMainForm::Simulation_bereitstellen() {
    // A fresh machine for every connect: the parameters may name another type or port now.
    m_simulation.reset();
    const Maschinenparameter& p = Parametersatz();
    std::string fehler = "kein Simulator eingebunden";
    if (ModusWT && Winkelsimulation_starter)
        m_simulation = Winkelsimulation_starter(&fehler);
    else if (Simulation_starter)
        m_simulation = Simulation_starter(p.Modul, p.ComPort, &fehler);
    if (m_simulation) {
        Protokoll_schreiben(Ebene_Befehl, "Simulation: " + m_simulation->Beschreibung());
        return;
    }
    Protokoll_schreiben(Ebene_Fehler, "Simulation: " + fehler);
    oberflaeche().Meldung("Keine simulierte Maschine: " + fehler +
                              ".\nDie Steuerung wird nicht verbunden.",
                          Programmtitel, Symbol::warnung, Knoepfe::ok);
}

void TMainForm::Titel_bilden(const std::string& steuerungsname) {
    const Steuerungstyp& typ = Typangaben(Parametersatz().Modul);
    std::string name = steuerungsname;
    if (ModusWT && typ.Kundenname_WT)
        name = Kundentext_WT;
    else if (ModusTorval && typ.Kundenname_Torval)
        name = Kundentext_Torval;
    std::string marken;
    if (ModusKora) marken += "/KORA ";
    if (ModusEntwicklung) marken += "/ENTWICKLUNG ";
    if (ModusWT) marken += "/WT ";
    if (ModusPellix) marken += "/PELLIX ";
    if (ModusManuell) marken += "/MANUELL ";
    Titel = std::string(Programmtitel) + " für " + name + "   " + Ausgabestand + "    " + marken +
            "   ";
}

void TMainForm::Beschriftung_zeigen() {
    setWindowTitle(Titel.empty() ? QString::fromLatin1(Programmtitel) : Q(Titel + TabellenPfad));
}

void TMainForm::Programmspeichermenue_zeigen() {
    const int32_t modul = Parametersatz().Modul;
    const bool zeigen = hat_Programmspeicher(modul);
    if (const Steuerungstyp* typ = Steuerungstyp_zu(modul); zeigen && typ)
        MenuKXvario_KXCU->setTitle(QString::fromLatin1(typ->Anzeigename));
    MenuKXvario_KXCU->menuAction()->setVisible(zeigen);
}

void TMainForm::Verbinden() {
    QCoreApplication::setApplicationName(QString::fromLatin1(Programmtitel));
    Steuerungsinfo& info = Steuerung();
    info.Version.clear();
    info.Schnittstelle.clear();
    Statusleiste_zeigen();
    Menues_sperren();
    Verbunden = false;

    Verbindungsschritte schritte;
    schritte.Vorbereiten = [this] {
        if (!ModusSimulation) return true;
        Simulation_bereitstellen();
        return m_simulation != nullptr;
    };
    schritte.Erzeugt = [this](const std::string& name) {
        Titel_bilden(name);
        Beschriftung_zeigen();
        MenuKX900_KXCU->menuAction()->setVisible(hat_Festwertspeicher(Parametersatz().Modul));
        Programmspeichermenue_zeigen();
    };
    if (ModusWT && Anzeige_oeffnen) schritte.Anzeige_oeffnen = Anzeige_oeffnen;
    Verbunden = Steuerung_verbinden(schritte).Verbunden;
    // Millimetres are drawn as the steps the parameters make of them.
    if (m_pfadansicht) m_pfadansicht->Neu_berechnen();
    Menuestatus();
    Statusleiste_zeigen();
}

bool TMainForm::Tabelle_offen() const {
    return m_gitter && !m_gitter->isHidden();
}

void TMainForm::Menues_sperren() {
    for (QMenu* menue : {MenuDatei, MenuBearbeiten, MenuFahrt})
        menue->menuAction()->setEnabled(false);
    for (QAction* knopf : Werkzeugleiste->actions())
        knopf->setEnabled(false);
    MenuKX900_KXCU->menuAction()->setVisible(false);
    MenuKX900_KXCU->menuAction()->setEnabled(false);
    MenuKXvario_KXCU->menuAction()->setVisible(false);
    MenuKXvario_KXCU->menuAction()->setEnabled(false);
    MenuParameter->setEnabled(false);
    MenuDoming->setVisible(false);
    MenuDoming->setEnabled(false);
    MenuND261_Test->setVisible(false);
    MenuND261_Test->setEnabled(false);
    if (ModusWT) {
        for (QAction* a : {SchritteingabeTrenner, MenuSchritteingabe, PU_SchritteingabeTrenner,
                           PU_Schritteingabe, MenuManuell})
            a->setVisible(false);
    }
}

void TMainForm::Menuestatus() {
    Beschriftung_zeigen();
    const bool t = Tabelle_offen();
    // The preview belongs to the open table.
    if (m_pfadansicht) {
        m_pfadansicht->setVisible(t);
        Ansicht_anwenden();
    }
    const bool v = Verbunden;
    MenuDatei->menuAction()->setEnabled(true);
    MenuBeenden->setEnabled(true);
    MenuNeu->setEnabled(!t);
    MenuOeffnen->setEnabled(!t);
    MenuSpeichernUnter->setEnabled(t);
    MenuSchliessen->setEnabled(t);
    MenuBearbeiten->menuAction()->setEnabled(t);
    MenuFahrt->menuAction()->setEnabled(v);
    MenuKX900_KXCU->menuAction()->setEnabled(v);
    MenuKXvario_KXCU->menuAction()->setEnabled(v);
    MenuVektorausgabe->setEnabled(v && t && static_cast<bool>(Vektorausgabe_oeffnen));
    MenuVektorausgabeFestwertspeicher->setEnabled(v && t &&
                                                  static_cast<bool>(Programmspeicher_oeffnen));
    MenuDKXCUFestwertspeicher_loeschen->setEnabled(static_cast<bool>(Programmspeicher_oeffnen));
    MenuParameter->setEnabled(static_cast<bool>(Parameter_oeffnen));
    ParameterSpeedButton->setEnabled(MenuParameter->isEnabled());
    MenuReferenz->setEnabled(v && static_cast<bool>(Referenz_oeffnen));
    MenuManuell->setEnabled(v && !ModusWT && static_cast<bool>(Manuell_oeffnen));
    MenuDoming->setVisible(hat_Doming(Parametersatz().Modul));
    MenuDoming->setEnabled(v && !t && static_cast<bool>(Doming_oeffnen));
    MenuND261_Test->setVisible(ModusWT);
    MenuND261_Test->setEnabled(v && m_nd261_panel);
}

void TMainForm::MenuNeuClick() {
    if (!m_modell) return;
    m_tabelle->DateiName = Programmverzeichnis() + "neu.edt";
    // A fresh table: nothing changed yet, no cell selected yet.
    m_tabelle->AktZeile = m_tabelle->AktSpalte = 0;
    m_modell->TabelleLoeschen();
    m_tabelle->Geaendert = false;
    m_gitter->show();
    Menuestatus();
}

void TMainForm::MenuOeffnenClick() {
    if (!m_modell) return;
    const QString pfad = Oeffnen_Dialog(m_oeffnen_verzeichnis);
    if (pfad.isEmpty()) return;
    TabellenPfad = S(pfad);
    m_oeffnen_verzeichnis = m_speichern_verzeichnis = QFileInfo(pfad).absolutePath();
    m_tabelle->DateiName = TabellenPfad;
    m_tabelle->AktZeile = m_tabelle->AktSpalte = 0;
    m_modell->TabelleLoeschen();
    m_tabelle->Geaendert = false;
    m_modell->TabelleLaden();
    m_gitter->show();
    Menuestatus();
}

bool TMainForm::MenuSpeichernUnterClick() {
    if (!m_modell) return false;
    const QString gewaehlt = Speichern_Dialog(m_speichern_verzeichnis, Q(m_tabelle->DateiName));
    if (gewaehlt.isEmpty()) return false;
    TabellenPfad = Dateiendung_sicherstellen(S(gewaehlt), ".edt");
    m_tabelle->DateiName = TabellenPfad;
    const bool gespeichert = m_tabelle->TabelleSpeichern();
    Menuestatus();
    return gespeichert;
}

void TMainForm::Tabelle_verbergen() {
    if (m_gitter) m_gitter->hide();
    EingabeHilfePanel1->hide();
    EingabeHilfePanel2->hide();
    // What was not saved is given up with the table.
    if (m_tabelle) m_tabelle->Geaendert = false;
    TabellenPfad.clear();
}

bool TMainForm::MenuSchliessenClick() {
    if (!Tabelle_offen()) return true;
    // Cancel, and a save that did not happen, keep the table open: closing it would lose the
    // changes the operator wanted kept.
    const std::optional<Antwort> antwort = m_tabelle->TabelleAbspeichern();
    if (antwort == Antwort::abbrechen) return false;
    if (antwort == Antwort::ja && !MenuSpeichernUnterClick()) return false;
    Tabelle_verbergen();
    Menuestatus();
    return true;
}

void TMainForm::MenuBeendenClick() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* ereignis) {
    if (m_nd261_panel && m_nd261_panel->Laeuft()) {
        // The approach waits inside this window's messages: it is stopped first, and the
        // window closes once it has returned.
        m_schliessen_nach_test = true;
        m_nd261_panel->NT261TestBeenden_BitBtnClick();
        ereignis->ignore();
        return;
    }
    if (!MenuSchliessenClick()) {
        ereignis->ignore();
        return;
    }
    InitTimer.stop();
    Steuerung_schliessen();
    Protokoll_loeschen();
    m_geschlossen = true;
    ereignis->accept();
}

void TMainForm::MenuSchritteingabeClick() {
    if (!m_modell) return;
    m_tabelle->Schritteingabe = !m_tabelle->Schritteingabe;
    m_modell->TabelleUmwandeln();
    MenuSchritteingabe->setChecked(m_tabelle->Schritteingabe);
    PU_Schritteingabe->setChecked(m_tabelle->Schritteingabe);
}

void TMainForm::MenuKXCUFestwertspeicher_loeschenClick() {
    try {
        Festwertspeicher_loeschen();
    } catch (const Steuerungsfehler& fehler) {
        if (fehler.code() != Fehler_bereits_gemeldet)
            Fehler_melden(true, fehler.code(), Programmtitel);
    }
}

void TMainForm::MenuVektorausgabeFestwertspeicherClick() {
    if (Programmspeicher_oeffnen && Verbunden && Tabelle_offen() &&
        hat_Programmspeicher(Parametersatz().Modul))
        Programmspeicher_oeffnen(false);
}

void TMainForm::MenuDKXCUFestwertspeicher_loeschenClick() {
    if (Programmspeicher_oeffnen && Verbunden && hat_Programmspeicher(Parametersatz().Modul))
        Programmspeicher_oeffnen(true);
}

void TMainForm::MenuVektorausgabeClick() {
    if (Vektorausgabe_oeffnen && Verbunden && Tabelle_offen()) Vektorausgabe_oeffnen();
}

void TMainForm::MenuParameterClick() {
    if (!Parameter_oeffnen) return;
    try {
        Steuerung_schliessen();
    } catch (const std::exception& e) {
        Protokoll_schreiben(Ebene_Fehler, std::string("MenuParameterClick: ") + e.what());
    }
    Verbunden = false;
    Menues_sperren();
    Parameter_oeffnen();
    // Whatever the dialog's result: the type or port may have changed in memory.
    Verbinden();
}

void TMainForm::MenuReferenzClick() {
    if (Referenz_oeffnen && Verbunden) Referenz_oeffnen();
}

void TMainForm::MenuManuellClick() {
    if (!Manuell_oeffnen || !Verbunden || ModusWT) return;
    if (!ModusManuell) {
        Manuell_oeffnen();
        return;
    }
    // Manual-only operation: the jog dialog is the program; closing it ends the program.
    hide();
    Manuell_oeffnen();
    // Kept open only when the operator chose to keep an unsaved table: then it must not stay
    // hidden, with no window left to reach it.
    if (!close()) show();
}

void TMainForm::MenuDomingClick() {
    if (Doming_oeffnen && Verbunden && !Tabelle_offen() && hat_Doming(Parametersatz().Modul))
        Doming_oeffnen();
}

void TMainForm::ND261_Panel_setzen(TND261TestPanel* panel) {
    m_nd261_panel = panel;
    if (!panel) return;
    panel->setParent(m_mitte);
    panel->hide();
    // Nothing else may reach the controller while the panel's approach runs; the menus keep
    // their state and come back as they were.
    panel->Beginnt = [this] {
        menuBar()->setEnabled(false);
        Werkzeugleiste->setEnabled(false);
    };
    panel->Fertig = [this] {
        menuBar()->setEnabled(true);
        Werkzeugleiste->setEnabled(true);
        if (m_schliessen_nach_test) QTimer::singleShot(0, this, [this] { close(); });
    };
}

void TMainForm::MenuND261_TestClick() {
    if (!m_nd261_panel || !Verbunden || !ModusWT) return;
    m_nd261_panel->Transkript_leeren();
    const QRect mitte = m_mitte->rect();
    m_nd261_panel->move(mitte.center().x() - m_nd261_panel->width() / 2,
                        mitte.center().y() - m_nd261_panel->height() / 2 - 20);
    m_nd261_panel->show();
    m_nd261_panel->raise();
    m_nd261_panel->ND261Test_MaskEdit->setFocus();
}

void TMainForm::AktuelleZeile_setzen(int zeile) {
    m_aktuelle_zeile = zeile;
    if (m_modell) m_modell->AktuelleZeile_setzen(zeile);
    if (m_pfadansicht) m_pfadansicht->Laufzeile_setzen(zeile);
}

void TMainForm::Wiederholung_anzeigen(int zeile, const std::string& text) {
    if (m_modell) m_modell->Wiederholung_anzeigen(zeile, text);
}

void TMainForm::Hinweise_zeigen(int spalte) {
    if (!m_gitter || !m_tabelle) return;
    const bool schalter = spalte >= 1 && spalte <= 5;
    const bool wiederholung = spalte == Tabellenfelder;
    // Placed after the columns as drawn, so the hints also fit a grid scrolled sideways.
    const QHeaderView* kopf = m_gitter->horizontalHeader();
    const auto kante = [&](int abschnitt, bool rechts) {
        const int x =
            kopf->sectionViewportPosition(abschnitt) + (rechts ? kopf->sectionSize(abschnitt) : 0);
        return kopf->viewport()->mapTo(this, QPoint(x, 0)).x();
    };
    const int oben = Werkzeugleiste->geometry().bottom() + 3 + Tabellenmodell::Zeilenhoehe;
    if (schalter) {
        EingabeHilfePanel1->move(kante(0, false) + m_tabelle->Spaltenbreiten()[2] / 2, oben);
        EingabeHilfePanel1->raise();
    }
    if (wiederholung) {
        EingabeHilfePanel2->move(kante(Tabellenfelder - 1, true) - EingabeHilfePanel2->width(),
                                 oben);
        EingabeHilfePanel2->raise();
    }
    EingabeHilfePanel1->setVisible(schalter);
    EingabeHilfePanel2->setVisible(wiederholung);
}

bool TMainForm::eventFilter(QObject* objekt, QEvent* ereignis) {
    if (objekt && (objekt == m_gitterflaeche || objekt == m_gitterkopf)) {
        const bool unter_titeln =
            objekt == m_gitterflaeche && ereignis->type() == QEvent::MouseMove;
        const bool kopf_verlassen = objekt == m_gitterkopf && ereignis->type() == QEvent::Leave;
        if (unter_titeln || kopf_verlassen) {
            EingabeHilfePanel1->hide();
            EingabeHilfePanel2->hide();
        }
    }
    return QMainWindow::eventFilter(objekt, ereignis);
}

} // namespace orvexa
