#include "manuellefahrtform.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/text.h"
#include "motion/manuellefahrt_thread.h"
#include "platform/oberflaeche.h"
#include "platform/qt/qtext.h"
#include "platform/qt/qtoberflaeche.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

#include <cmath>
#include <utility>

namespace orvexa {

namespace {

constexpr int Oberkante_min = 120;
constexpr double Vergroesserung = 1.6;
constexpr const char* Text_vergroessern = "vergrößern";
constexpr const char* Text_verkleinern = "verkleinern";
constexpr std::array<double, 3> Feste_Schrittweiten{0.05, 0.1, 1.0};

const std::array<const char*, 4> Kopftexte{" Bezeichnung", " x-Achse", " y-Achse", " z-Achse"};
const std::array<const char*, 4> Positionsnamen{" Werkstücknullpunkt", " Parkposition",
                                                " Werkzeuglängen-Messposition",
                                                " Werkzeugwechsel-Position"};

QPushButton* Knopf(const QString& text, QWidget* eltern, QRect lage) {
    auto* k = new QPushButton(text, eltern);
    k->setGeometry(lage);
    // Enter in the step-width edit must not press a button.
    k->setAutoDefault(false);
    k->setDefault(false);
    return k;
}

int Ganz(double wert) {
    return static_cast<int>(std::trunc(wert));
}

QRect Skaliert(const QRect& r, double faktor) {
    return QRect(Ganz(r.x() * faktor), Ganz(r.y() * faktor), Ganz(r.width() * faktor),
                 Ganz(r.height() * faktor));
}

} // namespace

TManuelleFahrtForm::TManuelleFahrtForm(QWidget* parent)
    : QDialog(parent), m_fahrt(*this), m_lebenszeichen(std::make_shared<int>(0)) {
    setWindowTitle(Q(ManuelleFahrt::Titel));
    // No buttons in the title bar: the dialog is left through "&Schließen".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    Oberflaeche_anlegen();
    Farben_anwenden();
    // Designed at the small size; the toggle fixes fonts, grids and caption for it.
    GroesseButton->setText(Q(Text_verkleinern));
    GroesseButtonClick();
}

TManuelleFahrtForm::~TManuelleFahrtForm() {
    Arbeiter_beenden();
    m_lebenszeichen.reset();
    for (QObject* kind : findChildren<QObject*>()) {
        kind->disconnect(this);
        kind->removeEventFilter(this);
    }
}

void TManuelleFahrtForm::Oberflaeche_anlegen() {
    resize(640, 272);

    Shape = new QFrame(this);
    Shape->setGeometry(0, 0, 324, 272);
    Shape->setAutoFillBackground(true);

    SchrittweiteRadioGroup = new QGroupBox(QStringLiteral("Schrittweite"), this);
    SchrittweiteRadioGroup->setGeometry(8, 8, 150, 116);
    SchrittweiteRadioGroup->setAutoFillBackground(true);
    auto* gruppe = new QButtonGroup(SchrittweiteRadioGroup);
    const std::array<const char*, 4> texte{"0.05 mm   ", "0.10 mm   ", "1.00 mm   ",
                                           "            mm"};
    for (int i = 0; i < 4; ++i) {
        auto* k = new QRadioButton(Q(texte[static_cast<std::size_t>(i)]), SchrittweiteRadioGroup);
        k->setGeometry(10, 20 + 22 * i, 130, 20);
        gruppe->addButton(k, i);
        SchrittweiteKnoepfe[static_cast<std::size_t>(i)] = k;
    }
    SchrittweiteKnoepfe[0]->setChecked(true);
    SchrittweiteMaskEdit = new QLineEdit(QStringLiteral("5.00"), SchrittweiteRadioGroup);
    SchrittweiteMaskEdit->setGeometry(30, 86, 56, 20);
    SchrittweiteMaskEdit->setMaxLength(static_cast<int>(Eingabepuffer_max));
    SchrittweiteMaskEdit->raise();

    GeschwindigkeitLabel = new QLabel(QStringLiteral("Geschwindigkeit:"), this);
    GeschwindigkeitLabel->setGeometry(166, 12, 150, 16);
    SpeedScrollBar = new QScrollBar(Qt::Horizontal, this);
    SpeedScrollBar->setGeometry(166, 32, 150, 17);
    SpeedScrollBar->setPageStep(10);
    SpeedAnzeigeLabel = new QLabel(this);
    SpeedAnzeigeLabel->setGeometry(166, 54, 150, 16);
    for (QLabel* l : {GeschwindigkeitLabel, SpeedAnzeigeLabel})
        l->setAutoFillBackground(true);

    Panel = new QFrame(this);
    Panel->setGeometry(8, 130, 308, 100);
    Panel->setFrameShape(QFrame::StyledPanel);
    Panel->setAutoFillBackground(true);
    yNeg_BitBtn = Knopf(QStringLiteral("y -"), Panel, QRect(75, 3, 50, 30));
    xNeg_BitBtn = Knopf(QStringLiteral("x -"), Panel, QRect(20, 35, 50, 30));
    xPos_BitBtn = Knopf(QStringLiteral("x +"), Panel, QRect(130, 35, 50, 30));
    yPos_BitBtn = Knopf(QStringLiteral("y +"), Panel, QRect(75, 67, 50, 30));
    zNeg_BitBtn = Knopf(QStringLiteral("z -"), Panel, QRect(230, 3, 60, 30));
    zPos_BitBtn = Knopf(QStringLiteral("z +"), Panel, QRect(230, 67, 60, 30));
    // The relay buttons sit at the heights of the z buttons, which are shown in front.
    EinBitBtn = Knopf(QStringLiteral("ON"), Panel, QRect(230, zPos_BitBtn->y(), 60, 30));
    AusBitBtn = Knopf(QStringLiteral("OFF"), Panel, QRect(230, zNeg_BitBtn->y(), 60, 30));
    EinBitBtn->lower();
    AusBitBtn->lower();

    TastaturCheckBox = new QCheckBox(QStringLiteral("Tastatursteuerung"), this);
    TastaturCheckBox->setGeometry(8, 240, 150, 20);
    TastaturCheckBox->setAutoFillBackground(true);
    // Abbrechen takes the place of Schließen: only one of them is shown.
    AbbrechenBitBtn = Knopf(QStringLiteral("&Abbrechen"), this, QRect(216, 238, 100, 26));
    SchliessenBitBtn = Knopf(QStringLiteral("&Schließen"), this, QRect(216, 238, 100, 26));

    aktStringGrid = new QTableWidget(this);
    aktStringGrid->move(328, 8);
    Gitter_einrichten(aktStringGrid, 2);
    posStringGrid = new QTableWidget(this);
    posStringGrid->move(328, 52);
    Gitter_einrichten(posStringGrid, 5);
    aktStringGrid->setSelectionMode(QAbstractItemView::NoSelection);
    aktStringGrid->setFocusPolicy(Qt::NoFocus);
    posStringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    posStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);

    AnfahrenBitBtn = Knopf(QStringLiteral("&Anfahren"), this, QRect(328, 150, 72, 25));
    ZuweisenBitBtn = Knopf(QStringLiteral("&Zuweisen"), this, QRect(404, 150, 72, 25));
    LoeschenBitBtn = Knopf(QStringLiteral("&Löschen"), this, QRect(480, 150, 72, 25));
    EditierenButton = Knopf(QStringLiteral("&Editieren"), this, QRect(556, 150, 72, 25));
    EditierenButton->setCheckable(true);
    GroesseButton = Knopf(Q(Text_vergroessern), this, QRect(328, 182, 100, 25));
    Kopf_schreiben();
    Zellrechte_setzen();

    connect(gruppe, &QButtonGroup::idClicked, this,
            &TManuelleFahrtForm::SchrittweiteRadioGroupClick);
    connect(SchrittweiteMaskEdit, &QLineEdit::editingFinished, this,
            &TManuelleFahrtForm::SchrittweiteMaskEditExit);
    connect(SpeedScrollBar, &QScrollBar::valueChanged, this,
            &TManuelleFahrtForm::SpeedScrollBarChange);
    const std::array<std::pair<QPushButton*, int>, 6> richtungen{{{xNeg_BitBtn, -1},
                                                                  {xPos_BitBtn, +1},
                                                                  {yNeg_BitBtn, -2},
                                                                  {yPos_BitBtn, +2},
                                                                  {zNeg_BitBtn, -3},
                                                                  {zPos_BitBtn, +3}}};
    for (const auto& [knopf, richtung] : richtungen)
        connect(knopf, &QPushButton::clicked, this, [this, r = richtung] { Fahren(r); });
    connect(EinBitBtn, &QPushButton::clicked, this, &TManuelleFahrtForm::EinBitBtnClick);
    connect(AusBitBtn, &QPushButton::clicked, this, &TManuelleFahrtForm::AusBitBtnClick);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this,
            &TManuelleFahrtForm::AbbrechenBitBtnClick);
    connect(SchliessenBitBtn, &QPushButton::clicked, this,
            &TManuelleFahrtForm::SchliessenBitBtnClick);
    connect(AnfahrenBitBtn, &QPushButton::clicked, this, &TManuelleFahrtForm::AnfahrenBitBtnClick);
    connect(ZuweisenBitBtn, &QPushButton::clicked, this, &TManuelleFahrtForm::ZuweisenBitBtnClick);
    connect(LoeschenBitBtn, &QPushButton::clicked, this, &TManuelleFahrtForm::LoeschenBitBtnClick);
    connect(EditierenButton, &QPushButton::clicked, this,
            &TManuelleFahrtForm::EditierenButtonClick);
    connect(GroesseButton, &QPushButton::clicked, this, &TManuelleFahrtForm::GroesseButtonClick);
    connect(posStringGrid, &QTableWidget::currentCellChanged, this,
            [this](int zeile, int spalte) { posStringGridSelectCell(zeile, spalte); });

    // Key preview: the jog keys act whichever control has the focus.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void TManuelleFahrtForm::Gitter_einrichten(QTableWidget* gitter, int zeilen) {
    gitter->setRowCount(zeilen);
    gitter->setColumnCount(4);
    gitter->horizontalHeader()->hide();
    gitter->verticalHeader()->hide();
    gitter->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gitter->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gitter->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gitter->setWordWrap(false);
    const QBrush fest = QApplication::palette().brush(QPalette::Button);
    for (int z = 0; z < zeilen; ++z) {
        for (int s = 0; s < 4; ++s) {
            auto* zelle = new QTableWidgetItem();
            // The header row and the name column are fixed cells.
            if (z == 0 || s == 0) zelle->setBackground(fest);
            gitter->setItem(z, s, zelle);
        }
    }
}

void TManuelleFahrtForm::Kopf_schreiben() {
    for (QTableWidget* g : {aktStringGrid, posStringGrid})
        for (int s = 0; s < 4; ++s)
            g->item(0, s)->setText(Q(Kopftexte[static_cast<std::size_t>(s)]));
    aktStringGrid->item(1, 0)->setText(QStringLiteral("  akt. Position"));
    for (int z = 1; z <= 4; ++z)
        posStringGrid->item(z, 0)->setText(Q(Positionsnamen[static_cast<std::size_t>(z - 1)]));
}

void TManuelleFahrtForm::Zellrechte_setzen() {
    const bool editieren = EditierenButton->isChecked();
    for (int s = 0; s < 4; ++s) {
        aktStringGrid->item(0, s)->setFlags(Qt::ItemIsEnabled);
        aktStringGrid->item(1, s)->setFlags(Qt::ItemIsEnabled);
        posStringGrid->item(0, s)->setFlags(Qt::ItemIsEnabled);
    }
    for (int z = 1; z <= 4; ++z) {
        // While editing, the name column cannot be chosen.
        posStringGrid->item(z, 0)->setFlags(editieren ? Qt::ItemIsEnabled
                                                      : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        for (int s = 1; s < 4; ++s) {
            Qt::ItemFlags rechte = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (editieren) rechte |= Qt::ItemIsEditable;
            posStringGrid->item(z, s)->setFlags(rechte);
        }
    }
}

void TManuelleFahrtForm::Gitter_anpassen(QTableWidget* gitter, int zeilenhoehe, int spaltenbreite,
                                         int erste_spalte) {
    for (int z = 0; z < gitter->rowCount(); ++z)
        gitter->setRowHeight(z, zeilenhoehe);
    gitter->setColumnWidth(0, erste_spalte);
    for (int s = 1; s < gitter->columnCount(); ++s)
        gitter->setColumnWidth(s, spaltenbreite);
    const int rand = 2 * gitter->frameWidth();
    gitter->resize(erste_spalte + spaltenbreite * (gitter->columnCount() - 1) + rand,
                   zeilenhoehe * gitter->rowCount() + rand);
}

void TManuelleFahrtForm::Farben_anwenden() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Shape, SchrittweiteRadioGroup, GeschwindigkeitLabel,
                                         SpeedAnzeigeLabel, Panel, TastaturCheckBox}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Panelfarbe);
        w->setPalette(pal);
        // The check box would fill with the button colour otherwise.
        w->setBackgroundRole(QPalette::Window);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{SchrittweiteRadioGroup, SchrittweiteMaskEdit,
                                                      TastaturCheckBox}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, Schriftfarbe);
        pal.setColor(QPalette::Text, Schriftfarbe);
        w->setPalette(pal);
    }
}

bool TManuelleFahrtForm::Beschaeftigt() const {
    return m_arbeiter && m_arbeiter->Beschaeftigt();
}

// ---- Showing ------------------------------------------------------------------------------------

void TManuelleFahrtForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    if (m_arbeiter) return; // shown again without having been closed
    m_schliesst = false;
    if (y() < Oberkante_min) move(x(), Oberkante_min);
    Farben_anwenden();
    const Maschinenparameter& p = Parametersatz();
    {
        const QSignalBlocker sperre(SpeedScrollBar);
        SpeedScrollBar->setRange(p.Startfreq, p.Eilfreq);
        SpeedScrollBar->setValue(p.Eilfreq);
    }
    SpeedScrollBarChange();
    Zeile_waehlen();
    m_bewegung = false;
    Steuerelemente_freigeben(false);
    m_arbeiter = std::make_unique<TManuelleFahrtThread>(m_fahrt);
    m_arbeiter->Starten();
    m_fahrt.Initialisieren(Vollinitialisierung);
}

// ---- Controls -----------------------------------------------------------------------------------

void TManuelleFahrtForm::SchrittweiteRadioGroupClick() {
    const int item = SchrittweiteRadioGroup->findChild<QButtonGroup*>()->checkedId();
    if (item >= 0 && item < 3)
        Schrittweite = Feste_Schrittweiten[static_cast<std::size_t>(item)];
    else if (item == 3)
        SchrittweiteMaskEditExit();
}

void TManuelleFahrtForm::SchrittweiteMaskEditEnter() {
    if (SchrittweiteKnoepfe[3]->isChecked()) return;
    SchrittweiteKnoepfe[3]->setChecked(true);
    // The field's width holds from now on, even when its text is left as it is and no
    // editingFinished follows.
    SchrittweiteMaskEditExit();
}

void TManuelleFahrtForm::SchrittweiteMaskEditExit() {
    const std::string text = SchrittweiteMaskEdit->text().toStdString();
    try {
        const double wert = Text_zu_Zahl(text);
        if (std::isfinite(wert)) Schrittweite = std::fabs(wert);
    } catch (const Umwandlungsfehler&) {
        oberflaeche().Meldung("\"" + Text_trimmen(text) + "\" ist keine gültige Schrittweite.",
                              ManuelleFahrt::Titel, Symbol::warnung, Knoepfe::ok);
    }
    // A width that was no number shows the width that stays in force.
    SchrittweiteMaskEdit->setText(Q(Text_trimmen(ManuelleFahrt::Anzeigetext(Schrittweite))));
}

void TManuelleFahrtForm::SpeedScrollBarChange() {
    SpeedAnzeigeLabel->setText(QString::number(SpeedScrollBar->value()) + QStringLiteral(" Hz"));
}

void TManuelleFahrtForm::Vorbereiten() {
    m_fahrt.Schrittweite_setzen(Schrittweite);
    m_fahrt.Geschwindigkeit_setzen(SpeedScrollBar->value());
    m_fahrt.Zeile_setzen(Zeile);
}

void TManuelleFahrtForm::Fahren(int richtung) {
    if (m_schliesst || !m_arbeiter || m_arbeiter->Beschaeftigt()) return;
    Vorbereiten();
    if (m_arbeiter->Fahren(richtung)) Richtung = richtung;
}

void TManuelleFahrtForm::EinBitBtnClick() {
    if (m_schliesst || !m_arbeiter) return;
    m_arbeiter->Befehl_annehmen(TManuelleFahrtThread::Befehl_Relais_ein);
}

void TManuelleFahrtForm::AusBitBtnClick() {
    if (m_schliesst || !m_arbeiter) return;
    m_arbeiter->Befehl_annehmen(TManuelleFahrtThread::Befehl_Relais_aus);
}

void TManuelleFahrtForm::AnfahrenBitBtnClick() {
    if (m_schliesst || !m_arbeiter || m_arbeiter->Beschaeftigt()) return;
    Vorbereiten();
    m_arbeiter->Befehl_annehmen(TManuelleFahrtThread::Befehl_Anfahren);
}

void TManuelleFahrtForm::AbbrechenBitBtnClick() {
    m_fahrt.Abbrechen();
}

void TManuelleFahrtForm::ZuweisenBitBtnClick() {
    m_fahrt.Zeile_setzen(Zeile);
    m_fahrt.Zuweisen();
}

void TManuelleFahrtForm::LoeschenBitBtnClick() {
    m_fahrt.Zeile_setzen(Zeile);
    m_fahrt.Loeschen();
}

void TManuelleFahrtForm::posStringGridSelectCell(int zeile, int spalte) {
    if (zeile < 1 || zeile > ManuelleFahrt::Zeilen) return;
    Zeile = zeile;
    m_fahrt.Zeile_setzen(zeile);
    // While editing, the editor is always open on the chosen cell.
    if (EditierenButton->isChecked() && spalte >= 1)
        posStringGrid->editItem(posStringGrid->item(zeile, spalte));
}

void TManuelleFahrtForm::Zeile_waehlen() {
    if (Zeile < 1 || Zeile > ManuelleFahrt::Zeilen) Zeile = 1;
    const int spalte = EditierenButton->isChecked() ? 1 : 0;
    posStringGrid->setCurrentCell(Zeile, spalte);
    if (!EditierenButton->isChecked()) posStringGrid->selectRow(Zeile);
}

void TManuelleFahrtForm::Bearbeitung_abschliessen() {
    // Moving the current cell away commits what the open editor holds.
    posStringGrid->setCurrentIndex(QModelIndex());
}

void TManuelleFahrtForm::EditierenButtonClick() {
    const bool editieren = EditierenButton->isChecked();
    if (editieren) {
        Steuerelemente_freigeben(m_bewegung);
        posStringGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
        // The chosen cell's editor is opened on selection (posStringGridSelectCell), so the
        // view must not open one of its own for the same change.
        posStringGrid->setEditTriggers(
            QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
        Zellrechte_setzen();
        Zeile_waehlen();
        return;
    }
    Bearbeitung_abschliessen();
    posStringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    posStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Zellrechte_setzen();
    Steuerelemente_freigeben(m_bewegung);
    Positionstexte texte;
    for (int z = 1; z <= ManuelleFahrt::Zeilen; ++z)
        for (int s = 1; s <= 3; ++s)
            texte[static_cast<std::size_t>(z - 1)][static_cast<std::size_t>(s - 1)] =
                posStringGrid->item(z, s)->text().toStdString();
    m_fahrt.Positionen_uebernehmen(texte);
    Zeile_waehlen();
}

void TManuelleFahrtForm::GroesseButtonClick() {
    int schrift, zeilenhoehe, spaltenbreite, erste_spalte;
    if (GroesseButton->text() == Q(Text_vergroessern)) {
        Faktor = Vergroesserung;
        schrift = 12;
        zeilenhoehe = 24;
        spaltenbreite = 76;
        erste_spalte = 248;
        GroesseButton->setText(Q(Text_verkleinern));
    } else {
        Faktor = 1 / Faktor;
        schrift = 8;
        zeilenhoehe = 17;
        spaltenbreite = 48;
        erste_spalte = 156;
        GroesseButton->setText(Q(Text_vergroessern));
    }
    resize(Ganz(width() * Faktor), Ganz(height() * Faktor));
    for (QWidget* behaelter : std::initializer_list<QWidget*>{this, Panel, SchrittweiteRadioGroup})
        for (QWidget* w : behaelter->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!w->isWindow()) w->setGeometry(Skaliert(w->geometry(), Faktor));
    if (const QScreen* bildschirm = screen()) {
        const QRect flaeche = bildschirm->availableGeometry();
        move(flaeche.x() + (flaeche.width() - width()) / 2,
             flaeche.y() + (flaeche.height() - height()) / 2);
    }
    for (QWidget* w : findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) &&
            !qobject_cast<QLineEdit*>(w) && !qobject_cast<QGroupBox*>(w) &&
            !qobject_cast<QTableWidget*>(w))
            continue;
        QFont f = w->font();
        f.setPointSize(schrift);
        w->setFont(f);
    }
    Gitter_anpassen(aktStringGrid, zeilenhoehe, spaltenbreite, erste_spalte);
    Gitter_anpassen(posStringGrid, zeilenhoehe, spaltenbreite, erste_spalte);
    Kopf_schreiben();
}

void TManuelleFahrtForm::SchliessenBitBtnClick() {
    Parameterdatei_speichern();
    accept();
}

// ---- Keys ---------------------------------------------------------------------------------------

bool TManuelleFahrtForm::Tastatursteuerung_aktiv() const {
    return TastaturCheckBox->isChecked() && !EditierenButton->isChecked();
}

bool TManuelleFahrtForm::Taste(const QKeyEvent& taste) {
    if (taste.key() == Qt::Key_Escape) {
        // A running move is always stoppable; Esc never closes the dialog unsaved.
        if (Tastatursteuerung_aktiv() || Beschaeftigt()) AbbrechenBitBtnClick();
        return true;
    }
    if (!Tastatursteuerung_aktiv()) return false;
    int richtung = 0;
    switch (taste.key()) {
    case Qt::Key_Left:
        richtung = -1;
        break;
    case Qt::Key_Right:
        richtung = +1;
        break;
    case Qt::Key_Up:
        richtung = -2;
        break;
    case Qt::Key_Down:
        richtung = +2;
        break;
    case Qt::Key_PageUp:
        richtung = -3;
        break;
    case Qt::Key_PageDown:
        richtung = +3;
        break;
    default:
        return false;
    }
    // Each press (a held key's repeats too) is one request; one that finds the worker busy
    // is dropped, so letting go of the key ends the jogging.
    Fahren(richtung);
    return true;
}

void TManuelleFahrtForm::keyPressEvent(QKeyEvent* ereignis) {
    if (Taste(*ereignis)) return;
    QDialog::keyPressEvent(ereignis);
}

bool TManuelleFahrtForm::eventFilter(QObject* objekt, QEvent* ereignis) {
    if (ereignis->type() == QEvent::KeyPress) {
        if (Taste(*static_cast<QKeyEvent*>(ereignis))) return true;
    } else if (ereignis->type() == QEvent::MouseButtonPress && objekt == SchrittweiteMaskEdit) {
        SchrittweiteMaskEditEnter();
    }
    return QDialog::eventFilter(objekt, ereignis);
}

// ---- Closing ------------------------------------------------------------------------------------

void TManuelleFahrtForm::done(int ergebnis) {
    if (m_schliesst) return; // closed again while the move is being ended
    m_schliesst = true;
    Arbeiter_beenden();
    QDialog::done(ergebnis);
}

void TManuelleFahrtForm::Arbeiter_beenden() {
    if (!m_arbeiter) return;
    // Closing must not leave the machine moving; meanwhile the window keeps processing its
    // messages, since the worker may be waiting for a message box on the window thread.
    if (m_arbeiter->Beschaeftigt()) m_fahrt.Abbrechen();
    while (m_arbeiter->Beschaeftigt())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_arbeiter->Beenden(false);
    m_arbeiter.reset();
    // Display updates still queued from the worker belong to the closed dialog.
    QCoreApplication::processEvents();
}

// ---- From the worker ----------------------------------------------------------------------------

void TManuelleFahrtForm::Bewegung(bool laeuft) {
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), laeuft] {
            if (!lebt.lock()) return;
            m_bewegung = laeuft;
            Steuerelemente_freigeben(laeuft);
        },
        false);
}

void TManuelleFahrtForm::Anzeige(const Positionsanzeige& anzeige) {
    if (QtOberflaeche::im_Fensterthread_jetzt()) {
        Anzeige_zeigen(anzeige);
        return;
    }
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), anzeige] {
            if (lebt.lock()) Anzeige_zeigen(anzeige);
        },
        false);
}

void TManuelleFahrtForm::Anzeige_zeigen(const Positionsanzeige& anzeige) {
    for (int s = 1; s <= 3; ++s)
        aktStringGrid->item(1, s)->setText(
            QString::fromStdString(anzeige.aktPosition[static_cast<std::size_t>(s - 1)]));
    for (int z = 1; z <= ManuelleFahrt::Zeilen; ++z)
        for (int s = 1; s <= 3; ++s)
            posStringGrid->item(z, s)->setText(QString::fromStdString(
                anzeige
                    .Positionen[static_cast<std::size_t>(z - 1)][static_cast<std::size_t>(s - 1)]));
}

void TManuelleFahrtForm::Steuerelemente_freigeben(bool laeuft) {
    const bool editieren = EditierenButton->isChecked();
    const bool tippen = !laeuft && !editieren;
    for (QWidget* w : std::initializer_list<QWidget*>{SchrittweiteRadioGroup, SchrittweiteMaskEdit,
                                                      Panel, TastaturCheckBox})
        w->setEnabled(tippen);
    SpeedScrollBar->setEnabled(!editieren);
    // The named positions stay as they are while the machine moves: the current position
    // is being read anew, and the approach's target must not change under it.
    for (QWidget* w : std::initializer_list<QWidget*>{AnfahrenBitBtn, ZuweisenBitBtn,
                                                      LoeschenBitBtn, EditierenButton})
        w->setEnabled(!laeuft);
    AbbrechenBitBtn->setVisible(laeuft);
    SchliessenBitBtn->setVisible(!laeuft);
}

} // namespace orvexa
