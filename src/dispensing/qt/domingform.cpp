#include "dispensing/qt/domingform.h"

#include "core/arbeitsende.h"
#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "dispensing/auftragsplan.h"
#include "dispensing/domingthread.h"
#include "dispensing/domingvorschau.h"
#include "dispensing/qt/auftragsansicht.h"
#include "dispensing/qt/domingvorschaubild.h"
#include "dispensing/sprachtabellen.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "platform/qt/qtext.h"
#include "platform/qt/qtoberflaeche.h"
#include "tables/laufzeitschaetzung.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>

#include <cmath>
#include <utility>

namespace orvexa {

namespace {

constexpr int Oberkante_min = 104;
constexpr int Menuehoehe = 26;
constexpr const char* Titelanfang = "Doming  ";

// The preview bitmap draws pen paths: a move to each stroke's start, then the stroke.
std::vector<HPGL_Strich> Als_Stiftwege(const std::vector<Strich>& striche) {
    std::vector<HPGL_Strich> wege;
    wege.reserve(2 * striche.size());
    for (const Strich& s : striche) {
        wege.push_back({false, {s.x1, s.y1}});
        wege.push_back({true, {s.x2, s.y2}});
    }
    return wege;
}
constexpr const char* Dateifilter = "Doming-Dateien (*.dom)";
constexpr const char* HPGL_Filter = "Doming-Dateien (*.hpgl *.plt)";
constexpr const char* Speicherfrage_Text = "Möchten Sie die DOMING-Datei speichern?\n";
constexpr const char* Speicherfrage_Titel = "orvexa2011";

// The shape pages in the order of their tabs, named as the job's Type.
constexpr std::array<const char*, 5> Formen{"Punkt", "Linie", "Kreis", "Rechteck", "HPGL"};
constexpr int Seite_Kreis = 2;
constexpr int Seite_Rechteck = 3;
constexpr int Seite_HPGL = 4;
constexpr int Seite_Startpunkt = 0;
constexpr int Seite_Manuell = 1;
// The pressure-fed window's strip under the buttons: pressures and stopwatch.
constexpr int Druckstreifen = 64;

QPushButton* Knopf(QWidget* eltern, QRect lage) {
    auto* k = new QPushButton(eltern);
    k->setGeometry(lage);
    // Enter in a field must not start a motion.
    k->setAutoDefault(false);
    k->setDefault(false);
    return k;
}

QString Zahl(double wert) {
    return Q(Zwei_Dezimalen(wert));
}

double Zahl_lesen(const QLineEdit* feld) {
    return Doming_Zahl_lesen(feld->text().toStdString());
}

int32_t Ganzzahl_lesen(const QLineEdit* feld) {
    return Doming_Ganzzahl_lesen(feld->text().toStdString());
}

void Regler_setzen(QScrollBar* regler, int kleinste, int groesste, int wert) {
    const QSignalBlocker sperre(regler);
    regler->setRange(kleinste, std::max(kleinste, groesste));
    regler->setValue(wert);
}

} // namespace

TDomingForm::TDomingForm(QWidget* parent, Domingvariante variante)
    : QDialog(parent), m_variante(variante),
      m_kontext(m_job, m_parameter, Parametersatz(), m_hpgl, *this), m_ablauf(m_kontext),
      m_lebenszeichen(std::make_shared<int>(0)) {
    // No close button: the window is left through "&Schließen", which a command hides.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint);
    setModal(true);
    m_oeffnen_verzeichnis = m_speichern_verzeichnis = Q(Programmverzeichnis());
    Oberflaeche_anlegen();
    Kreisvorschau = [](const DomingJob& j, int b, int h) {
        return Als_Stiftwege(Bogenvorschau(j.KEndwinkel, b, h));
    };
    Rechteckvorschau = [](const DomingJob& j, int b, int h) {
        return Als_Stiftwege(orvexa::Rechteckvorschau(j.RLaenge, j.RBreite, j.RMinusLaenge, b, h));
    };
    Texte_anwenden();
    // The pressure-fed window's title is its language's until a file is named.
    if (!Druckvariante()) Titel_zeigen();
    Beschaeftigt_zeigen(false, false);

    Oeffnen_Dialog = [this](const QString& verzeichnis) {
        return QFileDialog::getOpenFileName(this, QString(), QDir(verzeichnis).filePath("*.dom"),
                                            Q(Dateifilter));
    };
    Speichern_Dialog = [this](const QString& verzeichnis, const QString& vorschlag) {
        return QFileDialog::getSaveFileName(
            this, QString(), QDir(verzeichnis).filePath(QFileInfo(vorschlag).fileName()),
            Q(Dateifilter));
    };
    HPGL_Dialog = [this](const QString& verzeichnis) {
        return QFileDialog::getOpenFileName(this, QString(), QDir(verzeichnis).filePath("*.plt"),
                                            Q(HPGL_Filter));
    };
}

TDomingForm::~TDomingForm() {
    Arbeiter_beenden();
    m_lebenszeichen.reset();
    for (QObject* kind : findChildren<QObject*>()) {
        kind->disconnect(this);
        kind->removeEventFilter(this);
    }
}

// ---- Layout -------------------------------------------------------------------------------------

void TDomingForm::Text(std::function<void(const QString&)> setzen, const char* deutsch) {
    m_texte.emplace_back(std::move(setzen), deutsch);
}

Sprache TDomingForm::Fenstersprache() const {
    return Sprache_aus_Name(m_parameter.Sprache);
}

QString TDomingForm::Uebersetzt(const char* deutsch) const {
    return Q(Uebersetzen(Fenstersprache(), deutsch));
}

void TDomingForm::Texte_anwenden() {
    for (const auto& [setzen, deutsch] : m_texte)
        setzen(Uebersetzt(deutsch));
    if (Druckvariante()) setWindowTitle(Q(Fenstertitel(Fenstersprache())));
    if (Sprache_weitergeben) Sprache_weitergeben(Fenstersprache());
    SpeedScrollBarChange();
    FrequenzScrollBarChange();
    KEndwinkelScrollBarChange();
    RMinusLaengeScrollBarChange();
    Statuszeile_zeigen();
    Vorschau_zeigen();
}

QLineEdit* TDomingForm::Feld(QWidget* eltern, int x, int y, const char* beschriftung,
                             const char* einheit, int breite) {
    auto* name = new QLabel(eltern);
    name->setGeometry(x, y + 2, 104, 18);
    Text([name](const QString& t) { name->setText(t + ':'); }, beschriftung);
    auto* feld = new QLineEdit(eltern);
    feld->setGeometry(x + 106, y, breite, 22);
    feld->setMaxLength(static_cast<int>(Eingabepuffer_max));
    feld->setAlignment(Qt::AlignRight);
    if (einheit) {
        auto* einheitenfeld = new QLabel(eltern);
        einheitenfeld->setGeometry(x + 110 + breite, y + 2, 30, 18);
        Text([einheitenfeld](const QString& t) { einheitenfeld->setText(t); }, einheit);
    }
    connect(feld, &QLineEdit::editingFinished, this, &TDomingForm::EditExit);
    return feld;
}

QScrollBar* TDomingForm::Frequenzregler(QWidget* eltern, int y, QLabel*& panel) {
    auto* name = new QLabel(eltern);
    name->setGeometry(8, y + 1, 104, 18);
    Text([name](const QString& t) { name->setText(t + ':'); },
         &panel == &PEilfreqPanel ? "Eilfreq" : "Arbeitsfreq");
    auto* regler = new QScrollBar(Qt::Horizontal, eltern);
    regler->setGeometry(114, y + 1, 130, 18);
    regler->setSingleStep(10);
    regler->setPageStep(100);
    panel = new QLabel(eltern);
    panel->setGeometry(250, y, 60, 20);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    connect(regler, &QScrollBar::valueChanged, this, &TDomingForm::FrequenzScrollBarChange);
    return regler;
}

void TDomingForm::Menues_anlegen() {
    Menueleiste = new QMenuBar(this);
    Menueleiste->setGeometry(0, 0, width(), Menuehoehe - 2);
    MenuDatei = Menueleiste->addMenu(QString());
    Text([this](const QString& t) { MenuDatei->setTitle(t); }, "&Datei");
    const auto aktion = [this](QMenu* menue, const char* text, void (TDomingForm::*handler)()) {
        auto* a = new QAction(this);
        Text([a](const QString& t) { a->setText(t); }, text);
        if (menue)
            menue->addAction(a);
        else
            Menueleiste->addAction(a);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    MenuNeu = aktion(MenuDatei, "&Neu", &TDomingForm::MenuNeuClick);
    MenuOeffnen = aktion(MenuDatei, "&Öffnen...", &TDomingForm::MenuOeffnenClick);
    MenuSpeichernUnter =
        aktion(MenuDatei, "Speichern &unter...", &TDomingForm::MenuSpeichernUnterClick);
    MenuParameter = aktion(nullptr, "&Parameter", &TDomingForm::MenuParameterClick);
    MenuGeschwindigkeit =
        aktion(nullptr, "&Geschwindigkeit", &TDomingForm::MenuGeschwindigkeitClick);
    MenuSpuelung = aktion(nullptr, "&Spülung", &TDomingForm::MenuSpuelungClick);
}

void TDomingForm::Oberflaeche_anlegen() {
    resize(1136, 482 + (Druckvariante() ? Druckstreifen : 0));
    Menues_anlegen();
    const int oben = Menuehoehe + 4;

    // ---- Start point and manual jogging
    StartPunktPageControl = new QTabWidget(this);
    StartPunktPageControl->setGeometry(8, oben, 250, 240);
    auto* startseite = new QWidget();
    auto* handseite = new QWidget();
    StartPunktPageControl->addTab(startseite, QString());
    StartPunktPageControl->addTab(handseite, QString());
    Text([this](const QString& t) { StartPunktPageControl->setTabText(0, t); }, "Startp&unkt");
    Text([this](const QString& t) { StartPunktPageControl->setTabText(1, t); },
         "Manuelles &Fahren");
    xStartpunktEdit = Feld(startseite, 8, 16, "x-Position", "mm", 70);
    yStartpunktEdit = Feld(startseite, 8, 46, "y-Position", "mm", 70);

    yPos_BitBtn = Knopf(handseite, QRect(92, 6, 56, 30));
    xNeg_BitBtn = Knopf(handseite, QRect(30, 40, 56, 30));
    RefBitBtn = Knopf(handseite, QRect(92, 40, 56, 30));
    xPos_BitBtn = Knopf(handseite, QRect(154, 40, 56, 30));
    yNeg_BitBtn = Knopf(handseite, QRect(92, 74, 56, 30));
    yPos_BitBtn->setText(QStringLiteral("y +"));
    yNeg_BitBtn->setText(QStringLiteral("y -"));
    xPos_BitBtn->setText(QStringLiteral("x +"));
    xNeg_BitBtn->setText(QStringLiteral("x -"));
    Text([this](const QString& t) { RefBitBtn->setText(t); }, "&REF");
    auto* geschwindigkeit = new QLabel(handseite);
    geschwindigkeit->setGeometry(8, 110, 160, 18);
    Text([geschwindigkeit](const QString& t) { geschwindigkeit->setText(t + ':'); },
         "Geschwindigkeit");
    SpeedScrollBar = new QScrollBar(Qt::Horizontal, handseite);
    SpeedScrollBar->setGeometry(8, 130, 150, 18);
    SpeedScrollBar->setSingleStep(10);
    SpeedScrollBar->setPageStep(100);
    SpeedAnzeigeLabel = new QLabel(handseite);
    SpeedAnzeigeLabel->setGeometry(164, 130, 76, 18);
    SchrittweiteRadioGroup = new QGroupBox(handseite);
    SchrittweiteRadioGroup->setGeometry(8, 146, 230, 64);
    Text([this](const QString& t) { SchrittweiteRadioGroup->setTitle(t); }, "Schrittweite");
    KontinuierlichRadioButton = new QRadioButton(SchrittweiteRadioGroup);
    KontinuierlichRadioButton->setGeometry(10, 18, 200, 20);
    SchrittRadioButton = new QRadioButton(SchrittweiteRadioGroup);
    SchrittRadioButton->setGeometry(10, 40, 200, 20);
    Text([this](const QString& t) { KontinuierlichRadioButton->setText(t); }, " kontinuierlich");
    Text([this](const QString& t) { SchrittRadioButton->setText(t); }, "                   mm");
    KontinuierlichRadioButton->setChecked(true);
    SchrittweiteMaskEdit = new QLineEdit(QStringLiteral("0.0"), SchrittweiteRadioGroup);
    SchrittweiteMaskEdit->setGeometry(34, 39, 70, 22);
    SchrittweiteMaskEdit->setAlignment(Qt::AlignRight);
    SchrittweiteMaskEdit->setMaxLength(static_cast<int>(Eingabepuffer_max));
    SchrittweiteMaskEdit->raise();
    SchrittweiteMaskEdit->installEventFilter(this);

    // ---- The job: shape pages, preview, distances and sheets
    JobPanel = new QFrame(this);
    JobPanel->setGeometry(266, oben, 582, 406);
    PageControl = new QTabWidget(JobPanel);
    PageControl->setGeometry(0, 0, 322, 262);
    std::array<QWidget*, 5> seiten{};
    constexpr std::array<const char*, 5> reiter{"&Punkt", "&Linie", "&Kreis", "Rechte&ck", "HP&GL"};
    for (int i = 0; i < 5; ++i) {
        seiten[static_cast<std::size_t>(i)] = new QWidget();
        PageControl->addTab(seiten[static_cast<std::size_t>(i)], QString());
        Text([this, i](const QString& t) { PageControl->setTabText(i, t); },
             reiter[static_cast<std::size_t>(i)]);
    }
    constexpr int z = 28; // row pitch
    QWidget* s = seiten[0];
    PDosierzeitEdit = Feld(s, 8, 10, "Dosierzeit", "sec");
    PAbtropfzeitEdit = Feld(s, 8, 10 + z, "Abtropfzeit", "sec");
    PScrollBar = Frequenzregler(s, 10 + 2 * z, PEilfreqPanel);
    PRampenlaengeEdit = Feld(s, 8, 10 + 3 * z, "Rampenlänge", "ms");
    DosierzeitButton = Knopf(s, QRect(8, 10 + 5 * z, 170, 28));
    Text([this](const QString& t) { DosierzeitButton->setText(t); }, "Dosier&zeit bestimmen");

    s = seiten[1];
    LDosierzeit1Edit = Feld(s, 8, 10, "Dosierzeit1", "sec");
    LLaengeEdit = Feld(s, 8, 10 + z, "Linienlänge", "mm");
    LScrollBar = Frequenzregler(s, 10 + 2 * z, LArbeitsfreqPanel);
    LRampenlaengeEdit = Feld(s, 8, 10 + 3 * z, "Rampenlänge", "ms");
    LDosierzeit3Edit = Feld(s, 8, 10 + 4 * z, "Dosierzeit2", "sec");
    LAbtropflinieEdit = Feld(s, 8, 10 + 5 * z, "Abtropflinie", "mm");
    LAbtropfzeitEdit = Feld(s, 8, 10 + 6 * z, "Abtropfzeit", "sec");

    // The end dwells of the arc, the rectangle and the contour exist but are not shown.
    const auto verborgen = [this](QWidget* seite, int y) {
        auto* feld = new QLineEdit(seite);
        feld->setGeometry(114, y, 60, 22);
        feld->hide();
        connect(feld, &QLineEdit::editingFinished, this, &TDomingForm::EditExit);
        return feld;
    };
    s = seiten[2];
    KDosierzeit1Edit = Feld(s, 8, 10, "Dosierzeit1", "sec");
    KRadiusEdit = Feld(s, 8, 10 + z, "Radius", "mm");
    KScrollBar = Frequenzregler(s, 10 + 2 * z, KArbeitsfreqPanel);
    KRampenlaengeEdit = Feld(s, 8, 10 + 3 * z, "Rampenlänge", "ms");
    KAbtropfzeitEdit = Feld(s, 8, 10 + 4 * z, "Abtropfzeit", "sec");
    KDosierzeit3Edit = verborgen(s, 10 + 5 * z);

    s = seiten[3];
    RDosierzeit1Edit = Feld(s, 8, 10, "Dosierzeit1", "sec");
    RLaengeEdit = Feld(s, 8, 10 + z, "Länge", "mm");
    RBreiteEdit = Feld(s, 8, 10 + 2 * z, "Breite", "mm");
    RScrollBar = Frequenzregler(s, 10 + 3 * z, RArbeitsfreqPanel);
    RRampenlaengeEdit = Feld(s, 8, 10 + 4 * z, "Rampenlänge", "ms");
    RAbtropfzeitEdit = Feld(s, 8, 10 + 5 * z, "Abtropfzeit", "sec");
    RDosierzeit3Edit = verborgen(s, 10 + 6 * z);

    s = seiten[4];
    HDosierzeit1Edit = Feld(s, 8, 10, "Dosierzeit1", "sec");
    HScrollBar = Frequenzregler(s, 10 + z, HArbeitsfreqPanel);
    HRampenlaengeEdit = Feld(s, 8, 10 + 2 * z, "Rampenlänge", "ms");
    HAbtropfzeitEdit = Feld(s, 8, 10 + 3 * z, "Abtropfzeit", "sec");
    HDosierzeit3Edit = verborgen(s, 10 + 4 * z);

    Auftragsbild = new Auftragsansicht(this);
    Auftragsbild->setGeometry(856, oben + 6, 272, 372);
    SchaetzungLabel = new QLabel(this);
    SchaetzungLabel->setGeometry(856, oben + 384, 272, 22);
    SchaetzungLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SchaetzungLabel->setIndent(4);
    Vorschau = new DomingVorschaubild(JobPanel);
    Vorschau->move(330, 6);
    Vorschau->setContextMenuPolicy(Qt::CustomContextMenu);
    KEndwinkelScrollBar = new QScrollBar(Qt::Horizontal, JobPanel);
    KEndwinkelScrollBar->setGeometry(330, 262, 160, 18);
    KEndwinkelPanel = new QLabel(JobPanel);
    KEndwinkelPanel->setGeometry(495, 261, 84, 20);
    KEndwinkelPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    RMinusLaengeScrollBar = new QScrollBar(Qt::Horizontal, JobPanel);
    RMinusLaengeScrollBar->setGeometry(330, 262, 160, 18);
    RMinusLaengePanel = new QLabel(JobPanel);
    RMinusLaengePanel->setGeometry(495, 261, 84, 20);
    RMinusLaengePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    HPGLPopupMenu = new QMenu(this);
    HPGLLadenAction = HPGLPopupMenu->addAction(QString());
    HPGLSchliessenAction = HPGLPopupMenu->addAction(QString());
    Text([this](const QString& t) { HPGLLadenAction->setText(t); }, "HPGL &laden ...");
    Text([this](const QString& t) { HPGLSchliessenAction->setText(t); }, "HPGL &schließen");

    const auto gruppe = [this](int x, const char* titel) {
        auto* g = new QGroupBox(JobPanel);
        g->setGeometry(x, 288, 286, 118);
        Text([g](const QString& t) { g->setTitle(t); }, titel);
        return g;
    };
    QGroupBox* abstand = gruppe(0, "Abstand");
    xAbstandEdit = Feld(abstand, 8, 22, "x-Abstand", "mm");
    yAbstandEdit = Feld(abstand, 8, 48, "y-Abstand", "mm");
    xAnzahlEdit = Feld(abstand, 8, 74, "x-Anzahl", nullptr, 40);
    yAnzahlEdit = Feld(abstand, 8, 96, "y-Anzahl", nullptr, 40);
    yAnzahlEdit->move(yAnzahlEdit->x(), 94);
    QGroupBox* bogen = gruppe(296, "Bogen");
    BxAbstandEdit = Feld(bogen, 8, 22, "x-Abstand", "mm");
    ByAbstandEdit = Feld(bogen, 8, 48, "y-Abstand", "mm");
    BxAnzahlEdit = Feld(bogen, 8, 74, "x-Anzahl", nullptr, 40);
    ByAnzahlEdit = Feld(bogen, 8, 96, "y-Anzahl", nullptr, 40);
    for (QGroupBox* g : {abstand, bogen})
        for (QLabel* l : g->findChildren<QLabel*>())
            if (l->y() > 90) l->move(l->x(), 96);
    for (QLineEdit* e : {yAnzahlEdit, ByAnzahlEdit})
        e->setGeometry(e->x(), 94, e->width(), 20);
    for (QLineEdit* e : {xAnzahlEdit, BxAnzahlEdit})
        e->setGeometry(e->x(), 72, e->width(), 20);

    // ---- Check boxes, dosing head, buttons
    int y = oben + 246;
    const auto kaestchen = [&](const char* text) {
        auto* k = new QCheckBox(this);
        k->setGeometry(12, y, 240, 22);
        Text([k](const QString& t) { k->setText(t); }, text);
        y += 22;
        return k;
    };
    LaserpointerBetriebCheckBox = kaestchen("Laserpointer-&Betrieb");
    LaserpointerONOFFCheckBox = kaestchen("L&aserpointer ON/OFF");
    ReferenzfahrtCheckBox = kaestchen("Referenzfa&hrt");
    DauertestCheckBox = kaestchen("&Dauertest");
    ReferenzfahrtCheckBox->setChecked(true);
    DosierkopfRadioGroup = new QGroupBox(this);
    DosierkopfRadioGroup->setGeometry(8, y + 2, 250, 50);
    Text([this](const QString& t) { DosierkopfRadioGroup->setTitle(t); }, "Ansteuerung Dosierkopf");
    auto* koepfe = new QButtonGroup(DosierkopfRadioGroup);
    for (int i = 0; i < 2; ++i) {
        auto* k = new QRadioButton(DosierkopfRadioGroup);
        k->setGeometry(12 + 118 * i, 22, 110, 20);
        koepfe->addButton(k, i);
        DosierkopfKnoepfe[static_cast<std::size_t>(i)] = k;
    }
    Text([this](const QString& t) { DosierkopfKnoepfe[0]->setText(t); }, "&einfach");
    Text([this](const QString& t) { DosierkopfKnoepfe[1]->setText(t); }, "&mehrfach");
    DosierkopfKnoepfe[0]->setChecked(true);

    const int knopfzeile = oben + 392;
    StartBitBtn = Knopf(this, QRect(8, knopfzeile, 80, 28));
    FortsetzenBitBtn = Knopf(this, QRect(93, knopfzeile, 80, 28));
    // "&Abbrechen" takes the place of "&Schließen": only one of them is shown.
    AbbrechenBitBtn = Knopf(this, QRect(178, knopfzeile, 80, 28));
    SchliessenBitBtn = Knopf(this, QRect(178, knopfzeile, 80, 28));
    Text([this](const QString& t) { StartBitBtn->setText(t); }, "S&tart");
    // The pressure-fed window takes the caption of its language table.
    Text([this](const QString& t) { FortsetzenBitBtn->setText(t); },
         Druckvariante() ? "F&ortsetzen" : "&Fortsetzen");
    Text([this](const QString& t) { AbbrechenBitBtn->setText(t); }, "&Abbrechen");
    Text([this](const QString& t) { SchliessenBitBtn->setText(t); }, "&Schließen");

    // ---- Status line: x, y, dosing head, valve, laser, flushing, and a free panel
    constexpr std::array<int, 7> breiten{120, 120, 150, 90, 90, 90, 128};
    int x = 4;
    for (std::size_t i = 0; i < StatusBar.size(); ++i) {
        auto* panel = new QLabel(this);
        // The free panel takes the rest of the line.
        const int breite = i + 1 == StatusBar.size() ? width() - 4 - x : breiten[i];
        panel->setGeometry(x, height() - 24, breite, 20);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(4);
        StatusBar[i] = panel;
        x += breiten[i] + 2;
    }
    StatusBar[DomingAnzeige::Statusfeld_Ventil]->setText(QStringLiteral("A1::OFF"));
    StatusBar[DomingAnzeige::Statusfeld_Laser]->setText(QStringLiteral("A2::OFF"));
    StatusBar[5]->setText(QStringLiteral("A3::OFF"));
    if (Druckvariante()) Druckfelder_anlegen();

    // ---- Handlers
    connect(StartBitBtn, &QPushButton::clicked, this, &TDomingForm::StartBitBtnClick);
    connect(FortsetzenBitBtn, &QPushButton::clicked, this, &TDomingForm::FortsetzenBitBtnClick);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this, &TDomingForm::AbbrechenBitBtnClick);
    connect(SchliessenBitBtn, &QPushButton::clicked, this, &TDomingForm::SchliessenBitBtnClick);
    connect(RefBitBtn, &QPushButton::clicked, this, &TDomingForm::RefBitBtnClick);
    const std::array<std::pair<QPushButton*, DomingRichtung>, 4> richtungen{
        {{xPos_BitBtn, DomingRichtung::xPlus},
         {xNeg_BitBtn, DomingRichtung::xMinus},
         {yPos_BitBtn, DomingRichtung::yPlus},
         {yNeg_BitBtn, DomingRichtung::yMinus}}};
    for (const auto& [knopf, richtung] : richtungen) {
        connect(knopf, &QPushButton::pressed, this, [this, r = richtung] { DomingMouseDown(r); });
        connect(knopf, &QPushButton::released, this, &TDomingForm::DomingMouseUp);
    }
    connect(SchrittweiteMaskEdit, &QLineEdit::editingFinished, this,
            &TDomingForm::SchrittweiteMaskEditExit);
    connect(SpeedScrollBar, &QScrollBar::valueChanged, this, &TDomingForm::SpeedScrollBarChange);
    connect(LaserpointerONOFFCheckBox, &QCheckBox::clicked, this,
            &TDomingForm::LaserpointerONOFFCheckBoxClick);
    connect(LaserpointerBetriebCheckBox, &QCheckBox::clicked, this,
            &TDomingForm::LaserpointerBetriebCheckBoxClick);
    connect(ReferenzfahrtCheckBox, &QCheckBox::clicked, this,
            &TDomingForm::ReferenzfahrtCheckBoxClick);
    connect(DauertestCheckBox, &QCheckBox::toggled, this, [this](bool an) { m_dauertest = an; });
    connect(DauertestCheckBox, &QCheckBox::clicked, this, &TDomingForm::DauertestCheckBoxClick);
    connect(StartPunktPageControl, &QTabWidget::currentChanged, this,
            &TDomingForm::StartPunktPageControlChange);
    connect(koepfe, &QButtonGroup::idClicked, this, &TDomingForm::DosierkopfRadioGroupClick);
    connect(KEndwinkelScrollBar, &QScrollBar::valueChanged, this,
            &TDomingForm::KEndwinkelScrollBarChange);
    connect(RMinusLaengeScrollBar, &QScrollBar::valueChanged, this,
            &TDomingForm::RMinusLaengeScrollBarChange);
    connect(PageControl, &QTabWidget::currentChanged, this, &TDomingForm::PageControlChange);
    connect(DosierzeitButton, &QPushButton::clicked, this, &TDomingForm::DosierzeitButtonClick);
    connect(Vorschau, &QWidget::customContextMenuRequested, this, [this](const QPoint& ort) {
        if (PageControl->currentIndex() == Seite_HPGL && JobPanel->isEnabled())
            HPGLPopupMenu->popup(Vorschau->mapToGlobal(ort));
    });
    connect(HPGLLadenAction, &QAction::triggered, this, &TDomingForm::HPGLLadenClick);
    connect(HPGLSchliessenAction, &QAction::triggered, this, &TDomingForm::HPGLSchliessenClick);
}

void TDomingForm::Druckfelder_anlegen() {
    const int oben = height() - 24 - Druckstreifen + 2;
    DruckGroupBox = new QGroupBox(this);
    DruckGroupBox->setGeometry(8, oben, 420, 56);
    Text([this](const QString& t) { DruckGroupBox->setTitle(t); }, " Abspeicherdruckwerte ");
    MaterialdruckEdit = Feld(DruckGroupBox, 8, 24, "Material", "bar");
    VentildruckEdit = Feld(DruckGroupBox, 212, 24, "Ventil", "bar");
    StoppuhrLabel = new QLabel(this);
    StoppuhrLabel->setGeometry(444, oben + 28, 72, 18);
    Text([this](const QString& t) { StoppuhrLabel->setText(t); }, "Stoppuhr");
    StoppuhrPanel = new QLabel(QStringLiteral("00:00:00"), this);
    StoppuhrPanel->setGeometry(520, oben + 26, 90, 22);
    StoppuhrPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StoppuhrPanel->setAlignment(Qt::AlignCenter);
    StoppuhrTimer = new QTimer(this);
    StoppuhrTimer->setInterval(1000);
    connect(StoppuhrTimer, &QTimer::timeout, this, &TDomingForm::StoppuhrTimerTimer);
    StoppuhrTimer->start();
    // Keyboard jogging goes through the button that holds the focus between commands.
    SchliessenBitBtn->installEventFilter(this);
}

// ---- State shown --------------------------------------------------------------------------------

bool TDomingForm::Beschaeftigt() const {
    return m_arbeiter && m_arbeiter->Beschaeftigt();
}

QString TDomingForm::Statustext(int feld) const {
    if (feld < 0 || feld >= static_cast<int>(StatusBar.size())) return {};
    return StatusBar[static_cast<std::size_t>(feld)]->text();
}

void TDomingForm::Statusfeld_zeigen(int feld, const QString& text) {
    if (feld < 0 || feld >= static_cast<int>(StatusBar.size())) return;
    StatusBar[static_cast<std::size_t>(feld)]->setText(text);
}

void TDomingForm::Titel_zeigen() {
    setWindowTitle(Q(Titelanfang) + m_dateiname);
}

void TDomingForm::Statuszeile_zeigen() {
    const char* kopf = m_job.Dosierkopf == 1 ? "mehrfach" : "einfach";
    Statusfeld_zeigen(2, Uebersetzt("Dosierkopf") + QStringLiteral("::") + Uebersetzt(kopf));
}

void TDomingForm::Beschaeftigt_zeigen(bool an, bool fortsetzen) {
    m_beschaeftigt_gezeigt = an;
    const bool frei = !an;
    MenuDatei->menuAction()->setEnabled(frei);
    MenuParameter->setEnabled(frei && static_cast<bool>(Parameter_oeffnen));
    MenuGeschwindigkeit->setEnabled(frei && static_cast<bool>(Geschwindigkeit_oeffnen));
    // Flushing stays at hand during a Doming run; the pressure-fed window locks it too, and
    // "Dauertest" with it, which can then change only between runs.
    MenuSpuelung->setEnabled(static_cast<bool>(Spuelung_oeffnen) && (frei || !Druckvariante()));
    DauertestCheckBox->setEnabled(frei || !Druckvariante());
    for (QWidget* w : std::initializer_list<QWidget*>{
             JobPanel, DosierkopfRadioGroup, ReferenzfahrtCheckBox, LaserpointerONOFFCheckBox,
             LaserpointerBetriebCheckBox, StartBitBtn})
        w->setEnabled(frei);
    DosierzeitButton->setEnabled(static_cast<bool>(Dosierzeit_oeffnen));
    FortsetzenBitBtn->setEnabled(frei && fortsetzen);
    if (DruckGroupBox) DruckGroupBox->setEnabled(frei);
    AbbrechenBitBtn->setVisible(an);
    SchliessenBitBtn->setVisible(frei);
    if (an) {
        Auftragsbild->Fortsetzpunkt(0);
    } else {
        Auftragsbild->Teil_in_Arbeit(0);
        Auftragsbild->Fortsetzpunkt(
            fortsetzen ? Auftragsbild->Plan().Fortsetznummer(m_ablauf.Merke()) : 0);
    }
    if (frei && Druckvariante() && SchliessenBitBtn->isVisible()) SchliessenBitBtn->setFocus();
}

// ---- Job and controls ---------------------------------------------------------------------------

void TDomingForm::Felder_lesen(DomingJob& j) const {
    j.xStartpunkt = Zahl_lesen(xStartpunktEdit);
    j.yStartpunkt = Zahl_lesen(yStartpunktEdit);
    j.xAbstand = Zahl_lesen(xAbstandEdit);
    j.yAbstand = Zahl_lesen(yAbstandEdit);
    j.xAnzahl = Ganzzahl_lesen(xAnzahlEdit);
    j.yAnzahl = Ganzzahl_lesen(yAnzahlEdit);
    j.BxAbstand = Zahl_lesen(BxAbstandEdit);
    j.ByAbstand = Zahl_lesen(ByAbstandEdit);
    j.BxAnzahl = Ganzzahl_lesen(BxAnzahlEdit);
    j.ByAnzahl = Ganzzahl_lesen(ByAnzahlEdit);
    const int seite = PageControl->currentIndex();
    j.Type = seite >= 0 && seite < 5 ? Formen[static_cast<std::size_t>(seite)] : "";
    j.Startfreq = Doming_Ganzzahl_lesen(m_geschwindigkeit.Startfreq.toStdString());
    j.Eilfreq = Doming_Ganzzahl_lesen(m_geschwindigkeit.Eilfreq.toStdString());
    j.Rampenlaenge = Doming_Ganzzahl_lesen(m_geschwindigkeit.Rampenlaenge.toStdString());
    j.Dosierkopf = DosierkopfKnoepfe[1]->isChecked() ? 1 : 0;
    j.PDosierzeit = Zahl_lesen(PDosierzeitEdit);
    j.PAbtropfzeit = Zahl_lesen(PAbtropfzeitEdit);
    j.PEilfreq = PScrollBar->value();
    j.PRampenlaenge = Ganzzahl_lesen(PRampenlaengeEdit);
    j.LDosierzeit1 = Zahl_lesen(LDosierzeit1Edit);
    j.LLaenge = Zahl_lesen(LLaengeEdit);
    j.LArbeitsfreq = LScrollBar->value();
    j.LRampenlaenge = Ganzzahl_lesen(LRampenlaengeEdit);
    j.LDosierzeit3 = Zahl_lesen(LDosierzeit3Edit);
    j.LAbtropflinie = Zahl_lesen(LAbtropflinieEdit);
    j.LAbtropfzeit = Zahl_lesen(LAbtropfzeitEdit);
    j.KDosierzeit1 = Zahl_lesen(KDosierzeit1Edit);
    j.KRadius = Zahl_lesen(KRadiusEdit);
    j.KArbeitsfreq = KScrollBar->value();
    j.KRampenlaenge = Ganzzahl_lesen(KRampenlaengeEdit);
    j.KEndwinkel = KEndwinkelScrollBar->value();
    j.KDosierzeit3 = Zahl_lesen(KDosierzeit3Edit);
    j.KAbtropfzeit = Zahl_lesen(KAbtropfzeitEdit);
    j.RDosierzeit1 = Zahl_lesen(RDosierzeit1Edit);
    j.RLaenge = Zahl_lesen(RLaengeEdit);
    j.RBreite = Zahl_lesen(RBreiteEdit);
    j.RMinusLaenge = RMinusLaengeScrollBar->value() * 0.1;
    j.RArbeitsfreq = RScrollBar->value();
    j.RRampenlaenge = Ganzzahl_lesen(RRampenlaengeEdit);
    j.RDosierzeit3 = Zahl_lesen(RDosierzeit3Edit);
    j.RAbtropfzeit = Zahl_lesen(RAbtropfzeitEdit);
    j.HDosierzeit1 = Zahl_lesen(HDosierzeit1Edit);
    j.HArbeitsfreq = HScrollBar->value();
    j.HRampenlaenge = Ganzzahl_lesen(HRampenlaengeEdit);
    j.HDosierzeit3 = Zahl_lesen(HDosierzeit3Edit);
    j.HAbtropfzeit = Zahl_lesen(HAbtropfzeitEdit);
    if (Druckvariante()) {
        j.Materialdruck = Zahl_lesen(MaterialdruckEdit);
        j.Ventildruck = Zahl_lesen(VentildruckEdit);
    }
}

void TDomingForm::Felder_zeigen(const DomingJob& j) {
    m_beim_zeigen = true;
    const std::array<std::pair<QLineEdit*, double>, 25> reell{{
        {xStartpunktEdit, j.xStartpunkt},   {yStartpunktEdit, j.yStartpunkt},
        {xAbstandEdit, j.xAbstand},         {yAbstandEdit, j.yAbstand},
        {BxAbstandEdit, j.BxAbstand},       {ByAbstandEdit, j.ByAbstand},
        {PDosierzeitEdit, j.PDosierzeit},   {PAbtropfzeitEdit, j.PAbtropfzeit},
        {LDosierzeit1Edit, j.LDosierzeit1}, {LLaengeEdit, j.LLaenge},
        {LDosierzeit3Edit, j.LDosierzeit3}, {LAbtropflinieEdit, j.LAbtropflinie},
        {LAbtropfzeitEdit, j.LAbtropfzeit}, {KDosierzeit1Edit, j.KDosierzeit1},
        {KRadiusEdit, j.KRadius},           {KDosierzeit3Edit, j.KDosierzeit3},
        {KAbtropfzeitEdit, j.KAbtropfzeit}, {RDosierzeit1Edit, j.RDosierzeit1},
        {RLaengeEdit, j.RLaenge},           {RBreiteEdit, j.RBreite},
        {RDosierzeit3Edit, j.RDosierzeit3}, {RAbtropfzeitEdit, j.RAbtropfzeit},
        {HDosierzeit1Edit, j.HDosierzeit1}, {HDosierzeit3Edit, j.HDosierzeit3},
        {HAbtropfzeitEdit, j.HAbtropfzeit},
    }};
    for (const auto& [feld, wert] : reell)
        feld->setText(Zahl(wert));
    if (Druckvariante()) {
        MaterialdruckEdit->setText(Zahl(j.Materialdruck));
        VentildruckEdit->setText(Zahl(j.Ventildruck));
    }
    const std::array<std::pair<QLineEdit*, int32_t>, 9> ganz{{
        {xAnzahlEdit, j.xAnzahl},
        {yAnzahlEdit, j.yAnzahl},
        {BxAnzahlEdit, j.BxAnzahl},
        {ByAnzahlEdit, j.ByAnzahl},
        {PRampenlaengeEdit, j.PRampenlaenge},
        {LRampenlaengeEdit, j.LRampenlaenge},
        {KRampenlaengeEdit, j.KRampenlaenge},
        {RRampenlaengeEdit, j.RRampenlaenge},
        {HRampenlaengeEdit, j.HRampenlaenge},
    }};
    for (const auto& [feld, wert] : ganz)
        feld->setText(QString::number(wert));
    m_geschwindigkeit = {QString::number(j.Startfreq), QString::number(j.Eilfreq),
                         QString::number(j.Rampenlaenge)};
    DosierkopfKnoepfe[j.Dosierkopf == 1 ? 1 : 0]->setChecked(true);
    // The sliders hold the job's values within their ranges.
    const int kleinste = std::min(j.Startfreq, j.Eilfreq);
    Regler_setzen(PScrollBar, kleinste, j.Eilfreq, j.PEilfreq);
    Regler_setzen(LScrollBar, kleinste, j.Eilfreq, j.LArbeitsfreq);
    Regler_setzen(KScrollBar, kleinste, j.Eilfreq, j.KArbeitsfreq);
    Regler_setzen(RScrollBar, kleinste, j.Eilfreq, j.RArbeitsfreq);
    Regler_setzen(HScrollBar, kleinste, j.Eilfreq, j.HArbeitsfreq);
    Regler_setzen(KEndwinkelScrollBar, 180, 225, j.KEndwinkel);
    Regler_setzen(RMinusLaengeScrollBar, 0,
                  static_cast<int>(std::clamp(std::trunc(j.RLaenge * 5.0), 0.0, 1e6)),
                  static_cast<int>(std::lround(j.RMinusLaenge * 10.0)));
    FrequenzScrollBarChange();
    KEndwinkelScrollBarChange();
    RMinusLaengeScrollBarChange();
    m_beim_zeigen = false;
    Formseite_zeigen(j.Type);
}

void TDomingForm::Formseite_zeigen(const std::string& typ) {
    // The order of the comparison is that of the original file reader.
    for (const char* form : {"Punkt", "Linie", "Rechteck", "Kreis", "HPGL"}) {
        if (typ != form) continue;
        for (int i = 0; i < 5; ++i)
            if (typ == Formen[static_cast<std::size_t>(i)]) PageControl->setCurrentIndex(i);
        return;
    }
}

void TDomingForm::Doming_Anzeige_lesen() {
    Felder_lesen(m_job);
    Doming_annehmen(m_job);
}

void TDomingForm::Doming_Anzeige_setzen() {
    Felder_zeigen(m_job);
    LaserpointerBetriebCheckBoxClick();
    Position_aktualisieren_hier();
    Statuszeile_zeigen();
    Auftragsplan_zeigen();
}

void TDomingForm::Regler_einstellen() {
    Felder_zeigen(m_job);
    const QSignalBlocker sperre(SpeedScrollBar);
    SpeedScrollBar->setRange(std::min(m_job.Startfreq, m_job.Eilfreq), m_job.Eilfreq);
    SpeedScrollBar->setValue(m_job.Eilfreq);
    SpeedScrollBarChange();
}

void TDomingForm::Position_aktualisieren_hier() {
    try {
        Position_aktualisieren(m_kontext);
    } catch (const Steuerungsfehler& f) {
        if (Noch_zu_melden(f.code())) Steuerungsfehler_melden(f.code(), "Position_aktualisieren()");
    }
}

// ---- Activation ---------------------------------------------------------------------------------

void TDomingForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    m_schliesst = false;
    Aktivieren();
}

void TDomingForm::Aktivieren() {
    if (y() < Oberkante_min) move(x(), Oberkante_min);
    // A dialog that stays usable during a command (flushing) must not reset the run under it.
    if (Beschaeftigt()) return;
    if (!m_arbeiter) {
        m_arbeiter = std::make_unique<TDomingThread>(m_ablauf);
        m_arbeiter->Befehl_beendet = [this](int) { Befehl_fertig(); };
        m_arbeiter->Starten();
    }
    // The pressure-fed window takes its language anew on every activation.
    if (m_erste_aktivierung || Druckvariante()) {
        m_parameter = DomingParameter_laden(DomingParameter_Dateiname());
        Texte_anwenden();
    }
    if (m_erste_aktivierung) {
        // A job starts from the defaults, not from a file.
        m_erste_aktivierung = false;
        m_job = Doming_Vorgaben(Parametersatz());
        m_hpgl.Leeren();
        Doming_Anzeige_setzen();
        LaserpointerONOFFCheckBox->setChecked(false);
        LaserpointerONOFFCheckBoxClick();
        LaserpointerBetriebCheckBox->setChecked(true);
        LaserpointerBetriebCheckBoxClick();
    }
    Position_aktualisieren_hier();
    Regler_einstellen();
    PageControlChange();
    m_ablauf.Merke_zuruecksetzen();
    m_geaendert = false;
    Beschaeftigt_zeigen(false, false);
    try {
        InitializeSteuerung(false);
    } catch (const Steuerungsfehler& f) {
        if (Noch_zu_melden(f.code()))
            Steuerungsfehler_melden(f.code(), windowTitle().toStdString());
    }
}

// ---- Buttons and jogging ------------------------------------------------------------------------

void TDomingForm::Lauf_starten(bool neustart) {
    if (m_schliesst || !m_arbeiter) return;
    DomingLaufeingaben e;
    e.Startseite = StartPunktPageControl->currentIndex() == Seite_Startpunkt
                       ? DomingStartseite::Startpunkt
                       : DomingStartseite::Manuelles_Fahren;
    e.Neustart = neustart;
    e.Referenzfahrt = ReferenzfahrtCheckBox->isChecked();
    e.ModusKora = ModusKora;
    e.Dauertest = [this] { return m_dauertest.load(); };
    m_arbeiter->Lauf(e);
}

void TDomingForm::StartBitBtnClick() {
    if (Druckvariante() && !Beschaeftigt()) {
        m_stoppuhr.Zuruecksetzen();
        StoppuhrPanel->setText(Q(m_stoppuhr.Text()));
    }
    Lauf_starten(true);
}

void TDomingForm::FortsetzenBitBtnClick() {
    Lauf_starten(false);
}

void TDomingForm::RefBitBtnClick() {
    if (m_schliesst || !m_arbeiter) return;
    m_arbeiter->RefBitBtn();
}

void TDomingForm::AbbrechenBitBtnClick() {
    if (m_arbeiter) m_arbeiter->Abbrechen();
}

void TDomingForm::SchliessenBitBtnClick() {
    close();
}

void TDomingForm::DomingMouseDown(DomingRichtung richtung) {
    if (m_schliesst || !m_arbeiter) return;
    DomingJogeingaben e;
    e.Richtung = richtung;
    e.kontinuierlich = KontinuierlichRadioButton->isChecked();
    e.Schrittweite = m_schrittweite;
    e.Geschwindigkeit = SpeedScrollBar->value();
    m_arbeiter->Fahren(e);
}

void TDomingForm::DomingMouseUp() {
    if (KontinuierlichRadioButton->isChecked()) AbbrechenBitBtnClick();
}

void TDomingForm::SchrittweiteMaskEditEnter() {
    SchrittRadioButton->setChecked(true);
}

void TDomingForm::SchrittweiteMaskEditExit() {
    double wert = 0.0;
    try {
        wert = Text_zu_Zahl(SchrittweiteMaskEdit->text().toStdString());
    } catch (const Umwandlungsfehler&) {
        // Operator input that is no number reads as 0.
    }
    m_schrittweite = std::isfinite(wert) ? wert : 0.0;
    SchrittweiteMaskEdit->setText(QString::number(m_schrittweite, 'f', 1));
}

void TDomingForm::SpeedScrollBarChange() {
    SpeedAnzeigeLabel->setText(QString::number(SpeedScrollBar->value()) + ' ' + Uebersetzt("Hz"));
}

// ---- Check boxes and dosing head ----------------------------------------------------------------

void TDomingForm::LaserpointerONOFFCheckBoxClick() {
    if (Beschaeftigt()) return;
    m_ablauf.LaserpointerONOFFCheckBoxClick(LaserpointerONOFFCheckBox->isChecked());
}

void TDomingForm::LaserpointerBetriebCheckBoxClick() {
    if (Beschaeftigt()) return;
    m_ablauf.LaserpointerBetriebCheckBoxClick(LaserpointerBetriebCheckBox->isChecked());
}

void TDomingForm::ReferenzfahrtCheckBoxClick() {
    if (Druckvariante())
        LaserpointerONOFFCheckBoxClick();
    else
        LaserpointerBetriebCheckBoxClick();
}

void TDomingForm::DauertestCheckBoxClick() {
    if (Druckvariante()) LaserpointerONOFFCheckBoxClick();
}

void TDomingForm::StartPunktPageControlChange() {
    if (Druckvariante() && StartPunktPageControl->currentIndex() == Seite_Manuell &&
        !Beschaeftigt())
        Position_aktualisieren_hier();
    Auftragsplan_zeigen();
}

void TDomingForm::StoppuhrTimerTimer() {
    if (m_stoppuhr.Takt()) StoppuhrPanel->setText(Q(m_stoppuhr.Text()));
}

void TDomingForm::DosierkopfRadioGroupClick() {
    if (Beschaeftigt()) return;
    m_geaendert = true;
    m_job.Dosierkopf = DosierkopfKnoepfe[1]->isChecked() ? 1 : 0;
    LaserpointerBetriebCheckBoxClick();
    Position_aktualisieren_hier();
    Statuszeile_zeigen();
}

// ---- Fields, sliders, pages ---------------------------------------------------------------------

void TDomingForm::EditExit() {
    // The fields are read by a command as it begins; while one runs they wait for the next.
    if (m_beim_zeigen || Beschaeftigt()) return;
    m_geaendert = true;
    Doming_Anzeige_lesen();
    Doming_Anzeige_setzen();
    if (PageControl->currentIndex() == Seite_Kreis || PageControl->currentIndex() == Seite_Rechteck)
        Vorschau_zeigen();
}

void TDomingForm::FrequenzScrollBarChange() {
    const std::array<std::pair<QScrollBar*, QLabel*>, 5> regler{{{PScrollBar, PEilfreqPanel},
                                                                 {LScrollBar, LArbeitsfreqPanel},
                                                                 {KScrollBar, KArbeitsfreqPanel},
                                                                 {RScrollBar, RArbeitsfreqPanel},
                                                                 {HScrollBar, HArbeitsfreqPanel}}};
    for (const auto& [r, panel] : regler)
        panel->setText(' ' + QString::number(r->value()));
    if (!m_beim_zeigen && sender() && qobject_cast<QScrollBar*>(sender())) m_geaendert = true;
}

void TDomingForm::KEndwinkelScrollBarChange() {
    KEndwinkelPanel->setText(QString::number(540 - KEndwinkelScrollBar->value()) + ' ' +
                             Uebersetzt("Grad"));
    if (!m_beim_zeigen && PageControl->currentIndex() == Seite_Kreis) Vorschau_zeigen();
}

void TDomingForm::RMinusLaengeScrollBarChange() {
    RMinusLaengePanel->setText(QStringLiteral("- ") +
                               QString::number(RMinusLaengeScrollBar->value() * 0.1, 'g') + ' ' +
                               Uebersetzt("mm"));
    if (!m_beim_zeigen && PageControl->currentIndex() == Seite_Rechteck) Vorschau_zeigen();
}

void TDomingForm::PageControlChange() {
    const int seite = PageControl->currentIndex();
    if (seite < 0 || seite >= 5) return;
    // The job follows the page only while no command reads it.
    if (!Beschaeftigt()) m_job.Type = Formen[static_cast<std::size_t>(seite)];
    if (seite == Seite_Kreis)
        Regler_setzen(KEndwinkelScrollBar, 180, 225, KEndwinkelScrollBar->value());
    if (seite == Seite_Rechteck)
        Regler_setzen(
            RMinusLaengeScrollBar, 0,
            static_cast<int>(std::clamp(std::trunc(Zahl_lesen(RLaengeEdit) * 5.0), 0.0, 1e6)),
            RMinusLaengeScrollBar->value());
    if (seite == Seite_HPGL && !Beschaeftigt()) {
        m_hpgl.Offset_setzen(0, 0);
        m_hpgl.HPGL_Parser(m_job.HFilename);
        m_kontur = m_hpgl.Tabelle();
    }
    KEndwinkelScrollBar->setVisible(seite == Seite_Kreis);
    KEndwinkelPanel->setVisible(seite == Seite_Kreis);
    RMinusLaengeScrollBar->setVisible(seite == Seite_Rechteck);
    RMinusLaengePanel->setVisible(seite == Seite_Rechteck);
    Vorschau_zeigen();
}

void TDomingForm::Vorschau_zeigen() {
    if (!Vorschau || !PageControl) return;
    const int seite = PageControl->currentIndex();
    Vorschau->setVisible(seite == Seite_Kreis || seite == Seite_Rechteck || seite == Seite_HPGL);
    const int b = DomingVorschaubild::Breite;
    const int h = DomingVorschaubild::Hoehe;
    std::vector<HPGL_Strich> striche;
    QString hinweis;
    if (seite == Seite_Kreis || seite == Seite_Rechteck) {
        DomingJob j = m_job;
        if (!Beschaeftigt()) Felder_lesen(j);
        const auto& zeichnen = seite == Seite_Kreis ? Kreisvorschau : Rechteckvorschau;
        if (zeichnen) striche = zeichnen(j, b, h);
    } else if (seite == Seite_HPGL) {
        if (m_job.HFilename.empty())
            hinweis = Uebersetzt("Bitte rechte Maustaste drücken.");
        else if (!Beschaeftigt())
            striche = m_hpgl.Vorschau(b, h);
        else
            striche = Vorschau->Striche();
    }
    Vorschau->Hinweis_setzen(hinweis);
    Vorschau->Striche_setzen(std::move(striche));
    Auftragsplan_zeigen();
}

void TDomingForm::Auftragsplan_zeigen() {
    if (!Auftragsbild || Beschaeftigt()) return;
    DomingJob j = m_job;
    Felder_lesen(j);
    Auftragsplan_zeigen(std::move(j));
}

void TDomingForm::Auftragsplan_zeigen(DomingJob j) {
    // From the manual tab a run starts where the machine stands.
    if (StartPunktPageControl->currentIndex() == Seite_Manuell) {
        j.xStartpunkt = m_x_mm;
        j.yStartpunkt = m_y_mm;
    }
    DomingSchaetzeingaben e;
    e.Startseite = StartPunktPageControl->currentIndex() == Seite_Startpunkt
                       ? DomingStartseite::Startpunkt
                       : DomingStartseite::Manuelles_Fahren;
    e.Referenzfahrt = ReferenzfahrtCheckBox->isChecked();
    e.ModusKora = ModusKora;
    if (e.Startseite == DomingStartseite::Manuelles_Fahren) {
        e.xStart = m_x_mm;
        e.yStart = m_y_mm;
    }
    if (j.Type == "HPGL") e.Kontur = m_kontur;
    m_schaetzung = Doming_schaetzen(j, Parametersatz(), Parametersatz().Modul, e);
    SchaetzungLabel->setText(Uebersetzt("geschätzte Dauer") + QStringLiteral(": ") +
                             Q(Dauertext(m_schaetzung.Gesamt_s())));
    Auftragsbild->Plan_setzen(
        Auftragsplan_berechnen(std::move(j), m_parameter, m_hpgl.Ausdehnung_mm()));
}

void TDomingForm::HPGLLadenClick() {
    if (Beschaeftigt() || !HPGL_Dialog) return;
    const QString pfad = HPGL_Dialog(m_oeffnen_verzeichnis);
    if (pfad.isEmpty()) return;
    m_job.HFilename = pfad.toStdString();
    m_hpgl.Offset_setzen(0, 0);
    m_hpgl.HPGL_Parser(m_job.HFilename);
    m_kontur = m_hpgl.Tabelle();
    Vorschau_zeigen();
}

void TDomingForm::HPGLSchliessenClick() {
    if (Beschaeftigt()) return;
    m_job.HFilename.clear();
    m_hpgl.Leeren();
    m_kontur.clear();
    Vorschau_zeigen();
}

void TDomingForm::DosierzeitButtonClick() {
    if (Beschaeftigt() || !Dosierzeit_oeffnen) return;
    LaserpointerONOFFCheckBox->setChecked(false);
    LaserpointerONOFFCheckBoxClick();
    if (const std::optional<double> zeit = Dosierzeit_oeffnen(m_job.PDosierzeit)) {
        m_job.PDosierzeit = *zeit;
        Doming_Anzeige_setzen();
    }
    Aktivieren();
}

// ---- Menus --------------------------------------------------------------------------------------

void TDomingForm::MenuNeuClick() {
    if (Beschaeftigt()) return;
    m_job = Doming_Vorgaben(Parametersatz());
    m_hpgl.Leeren();
    Doming_Anzeige_setzen();
    m_dateiname = Q(Programmverzeichnis() + "neu.dom");
    Titel_zeigen();
    PageControlChange();
}

void TDomingForm::MenuOeffnenClick() {
    if (Beschaeftigt() || !Oeffnen_Dialog) return;
    const QString pfad = Oeffnen_Dialog(m_oeffnen_verzeichnis);
    if (pfad.isEmpty()) return;
    m_dateiname = pfad;
    m_oeffnen_verzeichnis = m_speichern_verzeichnis = QFileInfo(pfad).absolutePath();
    if (Doming_Datei_laden(pfad.toStdString(), m_job, Parametersatz()) ==
        Doming_Ladeergebnis::geladen)
        m_geaendert = false;
    Doming_Anzeige_setzen();
    Titel_zeigen();
    Regler_einstellen();
    PageControlChange();
}

void TDomingForm::MenuSpeichernUnterClick() {
    if (Beschaeftigt() || !Speichern_Dialog) return;
    const QString gewaehlt = Speichern_Dialog(m_speichern_verzeichnis, m_dateiname);
    if (gewaehlt.isEmpty()) return;
    m_dateiname = Q(Dateiendung_sicherstellen(gewaehlt.toStdString(), ".dom"));
    Doming_Anzeige_lesen();
    if (Doming_Datei_speichern(m_dateiname.toStdString(), m_job, m_job.Type, Druckvariante()))
        m_geaendert = false;
    Titel_zeigen();
}

void TDomingForm::MenuParameterClick() {
    if (Beschaeftigt() || !Parameter_oeffnen || !hat_Doming(Parametersatz().Modul)) return;
    Parameter_oeffnen(m_parameter);
    Texte_anwenden();
    m_geaendert = true;
    Position_aktualisieren_hier();
    Aktivieren();
}

void TDomingForm::MenuGeschwindigkeitClick() {
    if (Beschaeftigt() || !Geschwindigkeit_oeffnen || !hat_Doming(Parametersatz().Modul)) return;
    Geschwindigkeit_oeffnen(m_geschwindigkeit);
    Doming_Anzeige_lesen();
    Doming_Anzeige_setzen();
    Regler_einstellen();
    Aktivieren();
}

void TDomingForm::MenuSpuelungClick() {
    if (!Spuelung_oeffnen || !hat_Doming(Parametersatz().Modul)) return;
    Spuelung_oeffnen();
    Aktivieren();
}

// ---- Closing ------------------------------------------------------------------------------------

void TDomingForm::Speicherfrage() {
    if (!m_geaendert || ModusEntwicklung) return;
    if (oberflaeche().Meldung(Speicherfrage_Text, Speicherfrage_Titel, Symbol::frage,
                              Knoepfe::ja_nein) == Antwort::ja)
        MenuSpeichernUnterClick();
}

void TDomingForm::closeEvent(QCloseEvent* ereignis) {
    // Not while "&Schließen" is hidden.
    if (Beschaeftigt() || m_beschaeftigt_gezeigt) {
        ereignis->ignore();
        return;
    }
    QDialog::closeEvent(ereignis);
}

void TDomingForm::done(int ergebnis) {
    if (m_schliesst) return;
    if (Beschaeftigt() || m_beschaeftigt_gezeigt) return;
    m_schliesst = true;
    Speicherfrage();
    Arbeiter_beenden();
    m_hpgl.Leeren();
    QDialog::done(ergebnis);
}

void TDomingForm::keyPressEvent(QKeyEvent* ereignis) {
    // Esc would close the window; it is left through "&Schließen".
    if (ereignis->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(ereignis);
}

bool TDomingForm::eventFilter(QObject* objekt, QEvent* ereignis) {
    // Clicking the step-width field chooses step jogging.
    if (objekt == SchrittweiteMaskEdit && ereignis->type() == QEvent::MouseButtonPress)
        SchrittweiteMaskEditEnter();
    if (objekt == SchliessenBitBtn &&
        (ereignis->type() == QEvent::KeyPress || ereignis->type() == QEvent::KeyRelease) &&
        Tastaturfahrt(static_cast<QKeyEvent*>(ereignis)))
        return true;
    return QDialog::eventFilter(objekt, ereignis);
}

bool TDomingForm::Tastaturfahrt(QKeyEvent* ereignis) {
    // A held key repeats; the jog starts once and stops once.
    if (!Druckvariante() || ereignis->isAutoRepeat() || focusWidget() != SchliessenBitBtn)
        return false;
    if (ereignis->type() == QEvent::KeyRelease) {
        if (KontinuierlichRadioButton->isChecked()) AbbrechenBitBtnClick();
        return false;
    }
    if (StartPunktPageControl->currentIndex() != Seite_Manuell) return false;
    static constexpr std::array<std::pair<int, DomingRichtung>, 4> tasten{{
        {Qt::Key_X, DomingRichtung::xPlus},
        {Qt::Key_V, DomingRichtung::xMinus},
        {Qt::Key_Y, DomingRichtung::yPlus},
        {Qt::Key_C, DomingRichtung::yMinus},
    }};
    for (const auto& [taste, richtung] : tasten) {
        if (ereignis->key() != taste) continue;
        DomingMouseDown(richtung);
        return true;
    }
    return false;
}

void TDomingForm::Arbeiter_beenden() {
    if (!m_arbeiter) return;
    // Closing must not leave the machine moving; meanwhile the window keeps processing its
    // messages, since the worker may be waiting for the window thread.
    if (m_arbeiter->Beschaeftigt()) m_arbeiter->Abbrechen();
    while (m_arbeiter->Beschaeftigt())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_arbeiter->Beenden(false);
    m_arbeiter.reset();
    // Display updates still queued from the worker belong to the closed window.
    QCoreApplication::processEvents();
}

// ---- From the worker ----------------------------------------------------------------------------

void TDomingForm::Im_Fensterthread(std::function<void(TDomingForm&)> f) {
    if (QtOberflaeche::im_Fensterthread_jetzt()) {
        f(*this);
        return;
    }
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), f = std::move(f)] {
            if (lebt.lock()) f(*this);
        },
        false);
}

void TDomingForm::Befehl_fertig() {
    // Normally the command has shown its end already; this covers one that could not.
    Im_Fensterthread([](TDomingForm& d) {
        if (d.m_beschaeftigt_gezeigt) d.Beschaeftigt_zeigen(false, false);
        // The command no longer reads the job (its busy flag may not be down yet).
        DomingJob j = d.m_job;
        d.Felder_lesen(j);
        d.Auftragsplan_zeigen(std::move(j));
    });
}

void TDomingForm::Statusfeld_setzen(int feld, const std::string& text) {
    Im_Fensterthread([feld, t = Q(text)](TDomingForm& d) { d.Statusfeld_zeigen(feld, t); });
}

void TDomingForm::Position_anzeigen(double x_mm, double y_mm) {
    Im_Fensterthread([x_mm, y_mm](TDomingForm& d) {
        d.m_x_mm = x_mm;
        d.m_y_mm = y_mm;
        const QString mm = d.Uebersetzt("mm");
        d.Statusfeld_zeigen(0, Q(Formatieren("xPos = %.1f ", x_mm)) + mm);
        d.Statusfeld_zeigen(1, Q(Formatieren("yPos = %.1f ", y_mm)) + mm);
    });
}

void TDomingForm::Position_unbekannt() {
    Im_Fensterthread([](TDomingForm& d) {
        d.Statusfeld_zeigen(0, QStringLiteral("xPos = --.-"));
        d.Statusfeld_zeigen(1, QStringLiteral("yPos = --.-"));
    });
}

void TDomingForm::Vorschau_Schritt(bool linie, double x_mm, double y_mm) {
    // The reader belongs to the worker while it plays the contour: the point is placed here.
    const HPGL_Pixel p =
        m_hpgl.Vorschaupunkt(x_mm, y_mm, DomingVorschaubild::Breite, DomingVorschaubild::Hoehe);
    Im_Fensterthread([linie, p](TDomingForm& d) { d.Vorschau->Laufstrich_anfuegen({linie, p}); });
}

void TDomingForm::Vorschau_neu_zeichnen() {
    Im_Fensterthread([](TDomingForm& d) { d.Vorschau->Laufstriche_loeschen(); });
}

void TDomingForm::Beschaeftigt(bool an, bool fortsetzen) {
    Im_Fensterthread([an, fortsetzen](TDomingForm& d) { d.Beschaeftigt_zeigen(an, fortsetzen); });
}

void TDomingForm::Job_lesen(DomingJob& job) {
    // The controls are read and shown on the window thread while the worker waits; the
    // outputs and the position query that showing the job involves stay on the worker.
    bool betrieb = false;
    oberflaeche().im_Fensterthread(
        [&] {
            Felder_lesen(job);
            Doming_annehmen(job);
            Felder_zeigen(job);
            Statuszeile_zeigen();
            // The view shows the job as this run reads it.
            Auftragsplan_zeigen(job);
            betrieb = LaserpointerBetriebCheckBox->isChecked();
        },
        true);
    m_ablauf.LaserpointerBetriebCheckBoxClick(betrieb);
    Position_aktualisieren(m_kontext);
}

void TDomingForm::Laserpointer_Haken_setzen(bool an) {
    Im_Fensterthread([an](TDomingForm& d) { d.LaserpointerONOFFCheckBox->setChecked(an); });
}

void TDomingForm::Teil_beginnt(const DomingTeil& t) {
    Im_Fensterthread([z = DomingZaehler{t.ixBogen, t.iyBogen, t.ix, t.iy}](TDomingForm& d) {
        d.Auftragsbild->Teil_in_Arbeit(d.Auftragsbild->Plan().Nummer(z));
        const std::size_t teil = Doming_Teilnummer(d.Auftragsbild->Plan().Job, z);
        d.SchaetzungLabel->setText(d.Uebersetzt("noch") + ' ' +
                                   Q(Dauertext(d.m_schaetzung.Rest_s(teil))));
    });
}

void TDomingForm::Lauf_gestartet(bool an) {
    m_stoppuhr.Laufen(an);
}

} // namespace orvexa
