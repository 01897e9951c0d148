#include "parameterform.h"

#include "core/steuerungstypen.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/qt/qtext.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orvexa {

namespace {

const QColor Schattenfarbe(0x58, 0x58, 0x58);
const QColor Pingruen(0x00, 0xCC, 0x00);
const char* const Achsnamen[4] = {"x", "y", "z", "u"};
constexpr int Pinseite_Index = 4;

QLineEdit* Zahlenfeld(const QString& muster, int zeichen, QWidget* eltern) {
    auto* feld = new QLineEdit(eltern);
    feld->setValidator(new QRegularExpressionValidator(QRegularExpression(muster), feld));
    feld->setFixedWidth(feld->fontMetrics().horizontalAdvance(QString(zeichen + 1, '0')) + 14);
    return feld;
}

// Integers of up to n digits; decimals in the form 999.99 (either separator).
QLineEdit* Ganzzahlfeld(int stellen, QWidget* eltern) {
    return Zahlenfeld(QStringLiteral("\\d{0,%1}").arg(stellen), stellen, eltern);
}
QLineEdit* Dezimalfeld(QWidget* eltern) {
    return Zahlenfeld(QStringLiteral("\\d{0,3}([.,]\\d{0,2})?"), 6, eltern);
}

QFrame* Panel(QWidget* eltern) {
    auto* panel = new QFrame(eltern);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}

QLabel* Titel(const QString& text, QWidget* eltern) {
    auto* titel = new QLabel(text, eltern);
    QFont schrift = titel->font();
    schrift.setBold(true);
    titel->setFont(schrift);
    return titel;
}

void Faerben(QWidget* w, QPalette::ColorRole rolle, const QColor& farbe) {
    QPalette palette = w->palette();
    palette.setColor(rolle, farbe);
    w->setPalette(palette);
}

// Panel colour and texts: labels in schrift, group captions and radio buttons in knopfschrift.
void Einfaerben(QWidget* w, const QColor& panel, const QColor& schrift,
                const QColor& knopfschrift) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, panel);
    palette.setColor(QPalette::WindowText, qobject_cast<QGroupBox*>(w) ? knopfschrift : schrift);
    w->setPalette(palette);
    w->setAutoFillBackground(true);
    for (QLabel* l : w->findChildren<QLabel*>())
        Faerben(l, QPalette::WindowText, schrift);
    for (QRadioButton* r : w->findChildren<QRadioButton*>())
        Faerben(r, QPalette::WindowText, knopfschrift);
}

void Auswaehlen(QComboBox* box, int index) {
    box->setCurrentIndex(index < box->count() ? index : -1);
}

} // namespace

// ---- Helpers ------------------------------------------------------------------------------------

std::vector<QRect> Schattenseite::Schattenflaechen() const {
    std::vector<QRect> flaechen;
    for (QWidget* g : m_gruppen) {
        if (!g->isVisibleTo(this)) continue;
        flaechen.emplace_back(
            QRect(g->mapTo(this, QPoint(0, 0)), g->size()).translated(Versatz, Versatz));
    }
    return flaechen;
}

void Schattenseite::paintEvent(QPaintEvent*) {
    QPainter maler(this);
    for (const QRect& r : Schattenflaechen())
        maler.fillRect(r, Schattenfarbe);
}

Radiogruppe::Radiogruppe(const QString& titel, const QStringList& eintraege, QWidget* parent)
    : QGroupBox(titel, parent) {
    auto* layout = new QVBoxLayout(this);
    for (const QString& e : eintraege) {
        auto* knopf = new QRadioButton(e, this);
        layout->addWidget(knopf);
        m_knoepfe.push_back(knopf);
    }
}

int Radiogruppe::ItemIndex() const {
    for (std::size_t i = 0; i < m_knoepfe.size(); ++i)
        if (m_knoepfe[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void Radiogruppe::ItemIndex_setzen(int index) {
    for (std::size_t i = 0; i < m_knoepfe.size(); ++i) {
        // Auto-exclusive buttons cannot be unchecked one by one.
        m_knoepfe[i]->setAutoExclusive(false);
        m_knoepfe[i]->setChecked(static_cast<int>(i) == index);
        m_knoepfe[i]->setAutoExclusive(true);
    }
}

// ---- Construction ------------------------------------------------------------------------------

TParameterForm::TParameterForm(QWidget* parent)
    : QDialog(parent), m_panel1(0xAA, 0xAA, 0xAA), m_panel2(0x88, 0x88, 0x88),
      m_schrift1(Qt::white), m_schrift2(Qt::white), m_knopfschrift1(Qt::white),
      m_knopfschrift2(Qt::white) {
    setWindowTitle(QStringLiteral("Parameter"));
    setModal(true);
    Oberflaeche_anlegen();
    Farben_anwenden();
}

TParameterForm::~TParameterForm() {
    // The controls go after this part of the object; their last signals must not reach it.
    for (QObject* kind : findChildren<QObject*>()) {
        kind->disconnect(this);
        kind->removeEventFilter(this);
    }
}

void TParameterForm::Oberflaeche_anlegen() {
    auto* haupt = new QVBoxLayout(this);
    PageControl = new QTabWidget(this);
    PageControl->addTab(Kartentypseite_anlegen(), QStringLiteral("Schrittmotorsteuerkarten-Typ"));
    PageControl->addTab(Geschwindigkeitsseite_anlegen(), QStringLiteral("Geschwindigkeit"));
    PageControl->addTab(Maschinenseite_anlegen(), QStringLiteral("Maschine"));
    PageControl->addTab(Referenzseite_anlegen(), QStringLiteral("Referenz"));
    PageControl->addTab(Pinseite_anlegen(), QStringLiteral("Pin-Zuordnung"));
    // The pins are stored from the preset only; the page stays out of sight.
    PageControl->setTabVisible(Pinseite_Index, false);
    haupt->addWidget(PageControl);

    for (int i = 0; i < 4; ++i) {
        connect(OKButton[i], &QPushButton::clicked, this, &TParameterForm::OKButtonClick);
        connect(AbbrechenButton[i], &QPushButton::clicked, this,
                &TParameterForm::AbbrechenButtonClick);
    }
    connect(PageControl, &QTabWidget::currentChanged, this, &TParameterForm::PageControlChange);
}

QWidget* TParameterForm::Knopfleiste(int seite) {
    auto* leiste = new QWidget();
    auto* layout = new QHBoxLayout(leiste);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    OKButton[seite] = new QPushButton(QStringLiteral("&OK"), leiste);
    AbbrechenButton[seite] = new QPushButton(QStringLiteral("&Abbrechen"), leiste);
    layout->addWidget(OKButton[seite]);
    layout->addWidget(AbbrechenButton[seite]);
    return leiste;
}

QWidget* TParameterForm::Kartentypseite_anlegen() {
    KartentypSeite = new Schattenseite();
    auto* seite = new QVBoxLayout(KartentypSeite);
    seite->setContentsMargins(12, 12, 12, 12);
    auto* reihe = new QHBoxLayout();
    reihe->setSpacing(16);

    KartentypPanel = Panel(KartentypSeite);
    auto* typen = new QVBoxLayout(KartentypPanel);
    auto* gruppe = new QButtonGroup(KartentypPanel);
    int id = 0;
    for (const Steuerungstyp& t : Steuerungstypen()) {
        auto* knopf = new QRadioButton(QString::fromUtf8(t.Radiotext), KartentypPanel);
        gruppe->addButton(knopf, id++);
        typen->addWidget(knopf);
        TypRadioButton.push_back(knopf);
    }
    connect(gruppe, &QButtonGroup::idClicked, this, &TParameterForm::TypRadioButtonClick);
    reihe->addWidget(KartentypPanel);

    SchnittstellePanel = Panel(KartentypSeite);
    auto* schnitt = new QGridLayout(SchnittstellePanel);
    SchnittstelleLabel = Titel(QString(), SchnittstellePanel);
    schnitt->addWidget(SchnittstelleLabel, 0, 0, 1, 2);
    LPT1RadioButton = new QRadioButton(QStringLiteral(" LPT1     (0x378)"), SchnittstellePanel);
    LPT2RadioButton = new QRadioButton(QStringLiteral(" LPT2     (0x278)"), SchnittstellePanel);
    AdresseRadioButton = new QRadioButton(QStringLiteral(" Adresse:"), SchnittstellePanel);
    AdresseEdit = new QLineEdit(SchnittstellePanel);
    AdresseEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\s*(0[xX]|\\$)?[0-9A-Fa-f]{0,4}\\s*")), AdresseEdit));
    AdresseEdit->installEventFilter(this);
    schnitt->addWidget(LPT1RadioButton, 1, 0, 1, 2);
    schnitt->addWidget(LPT2RadioButton, 2, 0, 1, 2);
    schnitt->addWidget(AdresseRadioButton, 3, 0);
    schnitt->addWidget(AdresseEdit, 3, 1);
    ComPortComboBox = new QComboBox(SchnittstellePanel);
    ComPortComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    BaudrateComboBox = new QComboBox(SchnittstellePanel);
    schnitt->addWidget(ComPortComboBox, 4, 0, 1, 2);
    schnitt->addWidget(BaudrateComboBox, 5, 0, 1, 2);
    schnitt->setRowStretch(6, 1);
    reihe->addWidget(SchnittstellePanel, 1);

    seite->addLayout(reihe);
    seite->addStretch();
    seite->addWidget(Knopfleiste(0));
    KartentypSeite->Gruppe_hinzufuegen(KartentypPanel);
    KartentypSeite->Gruppe_hinzufuegen(SchnittstellePanel);
    return KartentypSeite;
}

QWidget* TParameterForm::Geschwindigkeitsseite_anlegen() {
    GeschwindigkeitSeite = new Schattenseite();
    auto* seite = new QVBoxLayout(GeschwindigkeitSeite);
    seite->setContentsMargins(12, 12, 12, 12);

    GeschwindigkeitPanel = Panel(GeschwindigkeitSeite);
    auto* raster = new QGridLayout(GeschwindigkeitPanel);
    for (int a = 0; a < 4; ++a) {
        auto* kopf = Titel(QString::fromLatin1(Achsnamen[a]), GeschwindigkeitPanel);
        kopf->setAlignment(Qt::AlignCenter);
        raster->addWidget(kopf, 0, a + 1);
        m_Achsspalten.push_back(kopf);
    }
    struct Zeile {
        const char* text;
        std::array<QLineEdit*, 4>* felder;
        int stellen;
        const char* einheit;
    } zeilen[4] = {{"Startgeschwindigkeit:", &StartfreqEdit, 5, "Schritte/sec."},
                   {"Arbeitsgeschwindigkeit:", &ArbeitsfreqEdit, 5, "Schritte/sec."},
                   {"Eilgeschwindigkeit:", &EilfreqEdit, 5, "Schritte/sec."},
                   {"Rampenlänge:", &RampenlaengeEdit, 4, "msec."}};
    for (int z = 0; z < 4; ++z) {
        raster->addWidget(new QLabel(QString::fromUtf8(zeilen[z].text), GeschwindigkeitPanel),
                          z + 1, 0);
        for (int a = 0; a < 4; ++a) {
            QLineEdit* feld = Ganzzahlfeld(zeilen[z].stellen, GeschwindigkeitPanel);
            (*zeilen[z].felder)[a] = feld;
            raster->addWidget(feld, z + 1, a + 1);
            if (a > 0) {
                // Only one set of speeds exists; these columns show it.
                feld->setReadOnly(true);
                feld->setFocusPolicy(Qt::NoFocus);
                m_Achsspalten.push_back(feld);
            } else {
                connect(feld, &QLineEdit::textChanged, this, &TParameterForm::Spalten_nachfuehren);
            }
        }
        raster->addWidget(new QLabel(QString::fromUtf8(zeilen[z].einheit), GeschwindigkeitPanel),
                          z + 1, 5);
    }
    seite->addWidget(GeschwindigkeitPanel);
    seite->addStretch();
    seite->addWidget(Knopfleiste(1));
    GeschwindigkeitSeite->Gruppe_hinzufuegen(GeschwindigkeitPanel);
    return GeschwindigkeitSeite;
}

QWidget* TParameterForm::Maschinenseite_anlegen() {
    MaschineSeite = new Schattenseite();
    auto* seite = new QVBoxLayout(MaschineSeite);
    seite->setContentsMargins(12, 12, 12, 12);
    seite->setSpacing(12);

    auto achsfelder = [this](QFrame*& shape, const QString& titel,
                             std::array<QLineEdit*, 4>& felder, bool dezimal) {
        shape = Panel(MaschineSeite);
        auto* raster = new QGridLayout(shape);
        raster->addWidget(Titel(titel, shape), 0, 0, 1, 2);
        for (int a = 0; a < 4; ++a) {
            auto* name = new QLabel(QString::fromLatin1(Achsnamen[a]) + ":", shape);
            felder[a] = dezimal ? Dezimalfeld(shape) : Ganzzahlfeld(4, shape);
            raster->addWidget(name, a + 1, 0);
            raster->addWidget(felder[a], a + 1, 1);
            if (a == 3) m_uZeile.insert(m_uZeile.end(), {name, felder[a]});
        }
        return shape;
    };
    auto* oben = new QHBoxLayout();
    oben->setSpacing(12);
    oben->addWidget(
        achsfelder(UebersetzShape, QStringLiteral("Übersetzung mm/U"), UebersetzEdit, true));
    oben->addWidget(
        achsfelder(MotStepShape, QStringLiteral("Motorschritte / U"), MotStepEdit, false));
    oben->addStretch();
    seite->addLayout(oben);

    AnsteuersignalRadioGroup = new Radiogruppe(
        QStringLiteral("Ansteuersignal"),
        {QStringLiteral("KX-Signal"), QStringLiteral("Takt/Richtung")}, MaschineSeite);
    SchrittbetriebRadioGroup = new Radiogruppe(
        QStringLiteral("Schrittbetrieb"),
        {QStringLiteral("Halbschritt"), QStringLiteral("Vollschritt")}, MaschineSeite);
    RuhestromRadioGroup = new Radiogruppe(
        QStringLiteral("Ruhestrom"),
        {QStringLiteral(" 0 %"), QStringLiteral(" 20 %"), QStringLiteral(" 60 %")}, MaschineSeite);
    ZAchseRadioGroup = new Radiogruppe(
        QStringLiteral("z-Achse als"),
        {QStringLiteral("3-Achssystem"), QStringLiteral("Plotterbetrieb")}, MaschineSeite);
    UAchseRadioGroup =
        new Radiogruppe(QStringLiteral("U-Achse als"),
                        {QStringLiteral("Ausgang"), QStringLiteral("Drehachse")}, MaschineSeite);
    auto* unten = new QHBoxLayout();
    unten->setSpacing(12);
    for (Radiogruppe* g : {AnsteuersignalRadioGroup, SchrittbetriebRadioGroup, RuhestromRadioGroup,
                           ZAchseRadioGroup, UAchseRadioGroup})
        unten->addWidget(g, 0, Qt::AlignTop);
    unten->addStretch();
    seite->addLayout(unten);
    seite->addStretch();
    seite->addWidget(Knopfleiste(2));

    for (QWidget* g : std::initializer_list<QWidget*>{
             UebersetzShape, MotStepShape, AnsteuersignalRadioGroup, SchrittbetriebRadioGroup,
             RuhestromRadioGroup, ZAchseRadioGroup, UAchseRadioGroup})
        MaschineSeite->Gruppe_hinzufuegen(g);
    return MaschineSeite;
}

QWidget* TParameterForm::Referenzseite_anlegen() {
    ReferenzSeite = new Schattenseite();
    auto* seite = new QVBoxLayout(ReferenzSeite);
    seite->setContentsMargins(12, 12, 12, 12);
    auto* reihe = new QHBoxLayout();
    reihe->setSpacing(12);

    RefOffsetShape = Panel(ReferenzSeite);
    auto* abstand = new QGridLayout(RefOffsetShape);
    abstand->addWidget(Titel(QStringLiteral("Referenzabstand"), RefOffsetShape), 0, 0, 1, 3);
    ReihenfolgeShape = Panel(ReferenzSeite);
    auto* folge = new QGridLayout(ReihenfolgeShape);
    folge->addWidget(Titel(QStringLiteral("Reihenfolge"), ReihenfolgeShape), 0, 0, 1, 2);
    for (int a = 0; a < 4; ++a) {
        const QString achse = QString::fromLatin1(Achsnamen[a]) + ":";
        auto* name = new QLabel(achse, RefOffsetShape);
        RefOffsetEdit[a] = Dezimalfeld(RefOffsetShape);
        auto* einheit = new QLabel(QStringLiteral("mm"), RefOffsetShape);
        abstand->addWidget(name, a + 1, 0);
        abstand->addWidget(RefOffsetEdit[a], a + 1, 1);
        abstand->addWidget(einheit, a + 1, 2);
        auto* name2 = new QLabel(achse, ReihenfolgeShape);
        RefNrEdit[a] = Ganzzahlfeld(1, ReihenfolgeShape);
        folge->addWidget(name2, a + 1, 0);
        folge->addWidget(RefNrEdit[a], a + 1, 1);
        if (a == 3)
            m_uZeile.insert(m_uZeile.end(), {name, RefOffsetEdit[a], einheit, name2, RefNrEdit[a]});
    }

    RefFreqGroupBox = new QGroupBox(QStringLiteral("Ref. Geschwindigkeit"), ReferenzSeite);
    auto* freq = new QHBoxLayout(RefFreqGroupBox);
    RefFreqEdit = Ganzzahlfeld(4, RefFreqGroupBox);
    freq->addWidget(RefFreqEdit);
    freq->addWidget(new QLabel(QStringLiteral("Schritte/sec."), RefFreqGroupBox));

    reihe->addWidget(RefOffsetShape, 0, Qt::AlignTop);
    reihe->addWidget(RefFreqGroupBox, 0, Qt::AlignTop);
    reihe->addWidget(ReihenfolgeShape, 0, Qt::AlignTop);
    reihe->addStretch();
    seite->addLayout(reihe);
    seite->addStretch();
    seite->addWidget(Knopfleiste(3));
    for (QWidget* g :
         std::initializer_list<QWidget*>{RefOffsetShape, RefFreqGroupBox, ReihenfolgeShape})
        ReferenzSeite->Gruppe_hinzufuegen(g);
    return ReferenzSeite;
}

QWidget* TParameterForm::Pinseite_anlegen() {
    PinSeite = new Schattenseite();
    auto* seite = new QVBoxLayout(PinSeite);
    seite->setContentsMargins(12, 12, 12, 12);
    PinVorlageComboBox = new QComboBox(PinSeite);
    seite->addWidget(PinVorlageComboBox);
    connect(PinVorlageComboBox, &QComboBox::activated, this, &TParameterForm::PinVorlageChange);

    auto pinbox = [](Pinart art, QWidget* eltern) {
        auto* box = new QComboBox(eltern);
        for (int32_t pin : Pinliste(art))
            box->addItem(QStringLiteral("Pin-%1").arg(pin));
        return box;
    };
    auto* reihe = new QHBoxLayout();
    for (QFrame*& panel : PinPanel) {
        panel = Panel(PinSeite);
        reihe->addWidget(panel, 0, Qt::AlignTop);
        PinSeite->Gruppe_hinzufuegen(panel);
    }
    auto* tr = new QGridLayout(PinPanel[0]);
    tr->addWidget(new QLabel(QStringLiteral("Takt"), PinPanel[0]), 0, 1);
    tr->addWidget(new QLabel(QStringLiteral("Richtung"), PinPanel[0]), 0, 2);
    auto* ref = new QGridLayout(PinPanel[1]);
    ref->addWidget(new QLabel(QStringLiteral("Referenz"), PinPanel[1]), 0, 1);
    for (int a = 0; a < 4; ++a) {
        const QString achse = QString::fromLatin1(Achsnamen[a]) + ":";
        TaktComboBox[a] = pinbox(Pinart::TaktRichtung, PinPanel[0]);
        RichtungComboBox[a] = pinbox(Pinart::TaktRichtung, PinPanel[0]);
        tr->addWidget(new QLabel(achse, PinPanel[0]), a + 1, 0);
        tr->addWidget(TaktComboBox[a], a + 1, 1);
        tr->addWidget(RichtungComboBox[a], a + 1, 2);
        RefComboBox[a] = pinbox(Pinart::Referenz, PinPanel[1]);
        ref->addWidget(new QLabel(achse, PinPanel[1]), a + 1, 0);
        ref->addWidget(RefComboBox[a], a + 1, 1);
    }
    auto* aus = new QGridLayout(PinPanel[2]);
    BohrspindelComboBox = pinbox(Pinart::Ausgang, PinPanel[2]);
    KuehlmittelpumpeComboBox = pinbox(Pinart::Ausgang, PinPanel[2]);
    AbsaugungComboBox = pinbox(Pinart::Ausgang, PinPanel[2]);
    aus->addWidget(new QLabel(QStringLiteral("Bohrspindel:"), PinPanel[2]), 0, 0);
    aus->addWidget(BohrspindelComboBox, 0, 1);
    aus->addWidget(new QLabel(QStringLiteral("Kühlmittelpumpe:"), PinPanel[2]), 1, 0);
    aus->addWidget(KuehlmittelpumpeComboBox, 1, 1);
    aus->addWidget(new QLabel(QStringLiteral("Absaugung:"), PinPanel[2]), 2, 0);
    aus->addWidget(AbsaugungComboBox, 2, 1);
    reihe->addStretch();
    seite->addLayout(reihe);
    seite->addStretch();
    return PinSeite;
}

// ---- Colours ----------------------------------------------------------------------------------

void TParameterForm::Farben_setzen(const QColor& panel1, const QColor& panel2,
                                   const QColor& schrift1, const QColor& schrift2,
                                   const QColor& knopfschrift1, const QColor& knopfschrift2) {
    m_panel1 = panel1;
    m_panel2 = panel2;
    m_schrift1 = schrift1;
    m_schrift2 = schrift2;
    m_knopfschrift1 = knopfschrift1;
    m_knopfschrift2 = knopfschrift2;
    Farben_anwenden();
}

void TParameterForm::Farben_anwenden() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             KartentypPanel, GeschwindigkeitPanel, UebersetzShape, MotStepShape,
             AnsteuersignalRadioGroup, SchrittbetriebRadioGroup, RuhestromRadioGroup,
             ZAchseRadioGroup, UAchseRadioGroup, RefOffsetShape, ReihenfolgeShape})
        Einfaerben(w, m_panel1, m_schrift1, m_knopfschrift1);
    for (QWidget* w : std::initializer_list<QWidget*>{SchnittstellePanel, RefFreqGroupBox})
        Einfaerben(w, m_panel2, m_schrift2, m_knopfschrift2);
}

// ---- Showing -----------------------------------------------------------------------------------

void TParameterForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    if (ereignis->spontaneous()) return; // restored from the task bar, not opened
    Anzeigen();
}

void TParameterForm::Knoepfe_zeigen(bool sichtbar) {
    for (int i = 0; i < 4; ++i) {
        OKButton[i]->setVisible(sichtbar);
        AbbrechenButton[i]->setVisible(sichtbar);
    }
}

void TParameterForm::Anzeigen(const Maschinenparameter* eingaben) {
    Knoepfe_zeigen(false);
    Maschinenparameter& p = Parametersatz();
    if (m_gezeigt) Typvorgaben_anwenden(p);
    Maschinenparameter w = eingaben ? *eingaben : p;
    if (eingaben) {
        w.Modul = p.Modul;
        Typvorgaben_anwenden(w); // the clicked type's presets win over what was entered
    }

    const auto typen = Steuerungstypen();
    for (std::size_t i = 0; i < typen.size(); ++i) {
        TypRadioButton[i]->setAutoExclusive(false);
        TypRadioButton[i]->setChecked(typen[i].Modul == p.Modul);
        TypRadioButton[i]->setAutoExclusive(true);
    }
    Schnittstelle_anzeigen(p, w, eingaben != nullptr);

    auto zahl = [](int32_t wert) { return QString::number(wert); };
    auto dezimal = [](double wert) { return QString::number(wert, 'f', 2); };
    StartfreqEdit[0]->setText(zahl(w.Startfreq));
    ArbeitsfreqEdit[0]->setText(zahl(w.Arbeitsfreq));
    EilfreqEdit[0]->setText(zahl(w.Eilfreq));
    RampenlaengeEdit[0]->setText(zahl(w.Rampenlaenge));

    const double uebersetz[4] = {w.xUebersetz, w.yUebersetz, w.zUebersetz, w.uUebersetz};
    const int32_t motstep[4] = {w.xMotStep, w.yMotStep, w.zMotStep, w.uMotStep};
    const double refoffset[4] = {w.xRefOffset, w.yRefOffset, w.zRefOffset, w.uRefOffset};
    const int32_t refnr[4] = {w.xRefNr, w.yRefNr, w.zRefNr, w.uRefNr};
    for (int a = 0; a < 4; ++a) {
        UebersetzEdit[a]->setText(dezimal(uebersetz[a]));
        MotStepEdit[a]->setText(zahl(motstep[a]));
        RefOffsetEdit[a]->setText(dezimal(refoffset[a]));
        RefNrEdit[a]->setText(zahl(refnr[a]));
    }
    AnsteuersignalRadioGroup->ItemIndex_setzen(w.Steuersignal);
    SchrittbetriebRadioGroup->ItemIndex_setzen(w.Schrittbetrieb);
    RuhestromRadioGroup->ItemIndex_setzen(w.Ruhestrom);
    ZAchseRadioGroup->ItemIndex_setzen(w.ZBetrieb - 1);
    UAchseRadioGroup->ItemIndex_setzen(w.UBetrieb);
    RefFreqEdit->setText(zahl(w.RefFreq));

    Sichtbarkeit_anwenden();

    PinVorlageComboBox->clear();
    for (const char* name : Pinvorlagen())
        PinVorlageComboBox->addItem(QString::fromUtf8(name));
    PinVorlageComboBox->setCurrentText(QString::fromUtf8(Pinvorlage_Anfang));
    PinVorlageChange();

    Knoepfe_zeigen(true);
    m_gezeigt = true;
}

void TParameterForm::Schnittstelle_anzeigen(Maschinenparameter& p, const Maschinenparameter& w,
                                            bool typklick) {
    const bool parallel = ist_paralleler_Typ(p.Modul);
    SchnittstelleLabel->setText(parallel ? QStringLiteral("parallele Schnittstelle")
                                         : QStringLiteral("serielle Schnittstelle"));
    for (QWidget* c : std::initializer_list<QWidget*>{LPT1RadioButton, LPT2RadioButton,
                                                      AdresseRadioButton, AdresseEdit})
        c->setVisible(parallel);
    ComPortComboBox->setVisible(!parallel);
    BaudrateComboBox->setVisible(!parallel);

    // The address is kept up to date for every type, so a later click on a parallel type
    // reads back what the record holds.
    switch (LPT_Wahl_zu(w.LPTAdresse)) {
    case LPTWahl::LPT1:
        LPT1RadioButton->setChecked(true);
        break;
    case LPTWahl::LPT2:
        LPT2RadioButton->setChecked(true);
        break;
    case LPTWahl::Adresse:
        AdresseRadioButton->setChecked(true);
        AdresseEdit->setText(Q(Adresse_als_Hex(w.LPTAdresse)));
        break;
    }
    if (parallel) return;

    // An adapter chosen but not yet entered stays chosen over a type click.
    QString gewaehlt;
    const int alt = ComPortComboBox->currentIndex();
    if (alt >= 0 && static_cast<std::size_t>(alt) < m_portangebote.size() &&
        m_portangebote[static_cast<std::size_t>(alt)].Neu && typklick)
        gewaehlt = Q(m_portangebote[static_cast<std::size_t>(alt)].Geraet);

    m_portangebote = COM_Ports_zur_Wahl();
    // A configured port that is unplugged stays offered, so an OK made for another reason
    // does not move the machine to whichever port happens to come first.
    const bool vorhanden =
        std::any_of(m_portangebote.begin(), m_portangebote.end(),
                    [&](const Portangebot& a) { return !a.Neu && a.Nummer == w.ComPort; });
    if (!vorhanden && w.ComPort >= 1 && w.ComPort <= COM_Nummer_max) {
        Portangebot fehlt;
        fehlt.Nummer = w.ComPort;
        fehlt.Geraet = COM_Pfad(w.ComPort);
        fehlt.Anzeige = "COM" + std::to_string(w.ComPort) + "  (nicht angeschlossen)";
        auto platz =
            std::find_if(m_portangebote.begin(), m_portangebote.end(),
                         [&](const Portangebot& a) { return a.Neu || a.Nummer > w.ComPort; });
        m_portangebote.insert(platz, fehlt);
    }
    ComPortComboBox->clear();
    int auswahl = m_portangebote.empty() ? -1 : 0;
    for (std::size_t i = 0; i < m_portangebote.size(); ++i) {
        const Portangebot& a = m_portangebote[i];
        ComPortComboBox->addItem(Q(a.Anzeige));
        if (gewaehlt.isEmpty() ? (!a.Neu && a.Nummer == w.ComPort) : Q(a.Geraet) == gewaehlt)
            auswahl = static_cast<int>(i);
    }
    ComPortComboBox->setCurrentIndex(auswahl);

    BaudrateComboBox->clear();
    for (int32_t baud : Baudangebot(p))
        BaudrateComboBox->addItem(QString::number(baud));
    BaudrateComboBox->setCurrentIndex(BaudrateComboBox->findText(QString::number(p.Baudrate)));
}

void TParameterForm::Sichtbarkeit_anwenden() {
    const Sichtbarkeit s = Sichtbarkeit_fuer(Parametersatz().Modul);
    AnsteuersignalRadioGroup->setVisible(s.Ansteuersignal);
    AnsteuersignalRadioGroup->Knopf(1)->setVisible(!s.Ansteuersignal_nur_KX);
    // With its second item gone the group can only mean the first.
    if (s.Ansteuersignal_nur_KX && AnsteuersignalRadioGroup->ItemIndex() != 0)
        AnsteuersignalRadioGroup->ItemIndex_setzen(0);
    SchrittbetriebRadioGroup->setVisible(s.Schrittbetrieb);
    RuhestromRadioGroup->setVisible(s.Ruhestrom);
    ZAchseRadioGroup->setVisible(s.ZAchse);
    UAchseRadioGroup->setVisible(s.UAchse);
    RefFreqGroupBox->setVisible(s.RefGeschwindigkeit);
    for (QWidget* w : m_uZeile)
        w->setVisible(s.uZeilen);
    for (QWidget* w : m_Achsspalten)
        w->setVisible(s.Achsspalten);
    for (Schattenseite* seite :
         {KartentypSeite, GeschwindigkeitSeite, MaschineSeite, ReferenzSeite, PinSeite})
        seite->update();
}

void TParameterForm::Spalten_nachfuehren() {
    for (auto* zeile : {&StartfreqEdit, &ArbeitsfreqEdit, &EilfreqEdit, &RampenlaengeEdit})
        for (int a = 1; a < 4; ++a)
            (*zeile)[a]->setText((*zeile)[0]->text());
}

// ---- Pins --------------------------------------------------------------------------------------

void TParameterForm::PinVorlageChange() {
    const bool frei =
        Pinvorlage_anwenden(Parametersatz(), PinVorlageComboBox->currentText().toStdString());
    const QColor farbe = frei ? Pingruen : QApplication::palette().color(QPalette::Button);
    for (QFrame* panel : PinPanel) {
        panel->setEnabled(frei);
        Faerben(panel, QPalette::Window, farbe);
    }
    Pins_anzeigen();
}

void TParameterForm::Pins_anzeigen() {
    const Maschinenparameter& p = Parametersatz();
    const int32_t takt[4] = {p.xTakt, p.yTakt, p.zTakt, p.uTakt};
    const int32_t richtung[4] = {p.xRichtung, p.yRichtung, p.zRichtung, p.uRichtung};
    const int32_t ref[4] = {p.xRef, p.yRef, p.zRef, p.uRef};
    for (int a = 0; a < 4; ++a) {
        Auswaehlen(TaktComboBox[a], Auswahl_aus_Pin(Pinart::TaktRichtung, takt[a]));
        Auswaehlen(RichtungComboBox[a], Auswahl_aus_Pin(Pinart::TaktRichtung, richtung[a]));
        Auswaehlen(RefComboBox[a], Auswahl_aus_Pin(Pinart::Referenz, ref[a]));
    }
    Auswaehlen(BohrspindelComboBox, Auswahl_aus_Pin(Pinart::Ausgang, p.Bohrspindel));
    Auswaehlen(KuehlmittelpumpeComboBox, Auswahl_aus_Pin(Pinart::Ausgang, p.Kuehlmittelpumpe));
    Auswaehlen(AbsaugungComboBox, Auswahl_aus_Pin(Pinart::Ausgang, p.Absaugung));
}

// ---- Operator actions --------------------------------------------------------------------------

Formularwerte TParameterForm::Formular_lesen() const {
    Formularwerte w;
    const auto typen = Steuerungstypen();
    for (std::size_t i = 0; i < typen.size(); ++i)
        if (TypRadioButton[i]->isChecked()) w.Modul = typen[i].Modul;

    w.Lpt = LPT2RadioButton->isChecked()      ? LPTWahl::LPT2
            : AdresseRadioButton->isChecked() ? LPTWahl::Adresse
                                              : LPTWahl::LPT1;
    w.Adresstext = AdresseEdit->text().toStdString();
    if (ComPortComboBox->currentIndex() >= 0)
        w.ComNummer = COM_Nummer_lesen(Portname(ComPortComboBox->currentText().toStdString()));
    w.Baudtext = BaudrateComboBox->currentText().toStdString();

    for (std::size_t a = 0; a < 4; ++a) {
        w.Takt[a] = TaktComboBox[a]->currentIndex();
        w.Richtung[a] = RichtungComboBox[a]->currentIndex();
        w.Ref[a] = RefComboBox[a]->currentIndex();
        w.Uebersetz[a] = UebersetzEdit[a]->text().toStdString();
        w.MotStep[a] = MotStepEdit[a]->text().toStdString();
        w.RefOffset[a] = RefOffsetEdit[a]->text().toStdString();
        w.RefNr[a] = RefNrEdit[a]->text().toStdString();
    }
    w.Bohrspindel = BohrspindelComboBox->currentIndex();
    w.Kuehlmittelpumpe = KuehlmittelpumpeComboBox->currentIndex();
    w.Absaugung = AbsaugungComboBox->currentIndex();

    w.Startfreq = StartfreqEdit[0]->text().toStdString();
    w.Arbeitsfreq = ArbeitsfreqEdit[0]->text().toStdString();
    w.Eilfreq = EilfreqEdit[0]->text().toStdString();
    w.Rampenlaenge = RampenlaengeEdit[0]->text().toStdString();
    w.RefFreq = RefFreqEdit->text().toStdString();
    w.Steuersignal = AnsteuersignalRadioGroup->ItemIndex();
    w.Schrittbetrieb = SchrittbetriebRadioGroup->ItemIndex();
    w.Ruhestrom = RuhestromRadioGroup->ItemIndex();
    w.ZBetrieb = ZAchseRadioGroup->ItemIndex();
    w.UBetrieb = UAchseRadioGroup->ItemIndex();
    return w;
}

void TParameterForm::TypRadioButtonClick(int index) {
    const auto typen = Steuerungstypen();
    if (index < 0 || static_cast<std::size_t>(index) >= typen.size()) return;
    // What the operator typed on the other pages so far is shown again after the refill;
    // only the record's type and its presets change now.
    Maschinenparameter eingaben = Parametersatz();
    Formularwerte w = Formular_lesen();
    const int com = ComPortComboBox->currentIndex();
    if (com >= 0 && static_cast<std::size_t>(com) < m_portangebote.size() &&
        m_portangebote[static_cast<std::size_t>(com)].Neu)
        w.ComNummer = 0;
    Formularwerte_uebernehmen(w, eingaben);

    const Steuerungstyp& typ = typen[static_cast<std::size_t>(index)];
    Parametersatz().Modul = typ.Modul;
    setWindowTitle(QString::fromUtf8(typ.Dialogtitel));
    Anzeigen(&eingaben);
}

void TParameterForm::OKButtonClick() {
    Formularwerte w = Formular_lesen();
    Maschinenparameter neu = Parametersatz();
    const bool parallel = ist_paralleler_Typ(w.Modul >= 0 ? w.Modul : neu.Modul);
    if (Formularwerte_uebernehmen(w, neu) == Uebernahmefehler::Adresse) {
        oberflaeche().Meldung("„" + AdresseEdit->text().trimmed().toStdString() +
                                  "“ ist keine gültige Adresse der parallelen Schnittstelle.\n"
                                  "Bitte eine Hexadezimalzahl von 1 bis FFFD eingeben, "
                                  "z. B. 378.",
                              "orvexa2011", Symbol::warnung, Knoepfe::ok);
        PageControl->setCurrentIndex(0);
        AdresseEdit->setFocus();
        return;
    }

    const int com = ComPortComboBox->currentIndex();
    if (!parallel && com >= 0 && static_cast<std::size_t>(com) < m_portangebote.size() &&
        m_portangebote[static_cast<std::size_t>(com)].Neu) {
        std::string grund;
        const int32_t nummer =
            Portangebot_eintragen(m_portangebote[static_cast<std::size_t>(com)], &grund);
        if (nummer == 0) {
            oberflaeche().Meldung("Der Adapter " +
                                      m_portangebote[static_cast<std::size_t>(com)].Geraet +
                                      " konnte keinen COM-Namen bekommen.\n\n" + grund,
                                  "orvexa2011", Symbol::warnung, Knoepfe::ok);
            return;
        }
        neu.ComPort = nummer;
    }

    Parametersatz() = neu;
    Parameterdatei_speichern();
    m_ok = 1;
    m_gezeigt = false;
    QDialog::accept();
}

void TParameterForm::AbbrechenButtonClick() {
    reject();
}

void TParameterForm::reject() {
    m_ok = 0;
    m_gezeigt = false;
    QDialog::reject();
}

void TParameterForm::PageControlChange(int seite) {
    QWidget* ziel = nullptr;
    switch (seite) {
    case 0:
        ziel = OKButton[0];
        break;
    case 1:
        ziel = StartfreqEdit[0];
        break;
    case 2:
        ziel = UebersetzEdit[0];
        break;
    case 3:
        ziel = RefOffsetEdit[0];
        break;
    case Pinseite_Index:
        ziel = PinVorlageComboBox;
        break;
    default:
        return;
    }
    ziel->setFocus(Qt::TabFocusReason);
}

bool TParameterForm::eventFilter(QObject* objekt, QEvent* ereignis) {
    if (objekt == AdresseEdit &&
        (ereignis->type() == QEvent::FocusIn || ereignis->type() == QEvent::MouseButtonPress))
        AdresseRadioButton->setChecked(true);
    return QDialog::eventFilter(objekt, ereignis);
}

} // namespace orvexa
