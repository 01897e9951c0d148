#include "vektordlg.h"

#include "core/maschinenparameter.h"
#include "core/steuerungstypen.h"
#include "platform/oberflaeche.h"
#include "platform/qt/knopfleiste.h"
#include "tables/tabelle.h"
#include "tables/tvekthread.h"
#include "tables/vektoreinstellungen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <utility>

namespace orvexa {

namespace {

const QColor Grau(0x80, 0x80, 0x80);
const QColor Blau(0x00, 0x80, 0xFF);
const QColor Lindgruen(0x00, 0xFF, 0x00);
constexpr int Oberkante_min = 120;

QCheckBox* Kaestchen(const QString& text, QWidget* eltern) {
    auto* k = new QCheckBox(text, eltern);
    return k;
}

} // namespace

// The worker tells the dialog when a command is over, whatever the run did (it may refuse
// before it shows as running).
class TVektorDlg::Arbeiter : public TVekThread {
public:
    Arbeiter(Vektorausgabe& lauf, TVektorDlg& dialog) : TVekThread(lauf), m_dialog(dialog) {}
    ~Arbeiter() override { Beenden_im_Destruktor(); }

protected:
    void Befehl_ausfuehren(int befehl) override {
        struct Ende {
            TVektorDlg& d;
            ~Ende() { d.Befehl_fertig(); }
        } ende{m_dialog};
        TVekThread::Befehl_ausfuehren(befehl);
    }

private:
    TVektorDlg& m_dialog;
};

TVektorDlg::TVektorDlg(const Positionstabelle& tabelle, QWidget* parent, Ereignis* startereignis)
    : QDialog(parent), m_lauf(tabelle, *this), m_lebenszeichen(std::make_shared<int>(0)),
      m_tabelle(tabelle) {
    setWindowTitle(QStringLiteral("Vektorausgabe"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    Oberflaeche_anlegen();
    Farben_anwenden(Grau, Qt::black);
    ZyklenEdit->setText(QString::number(Zyklen));
    Knoepfe_zeigen(false);
    if (startereignis) startereignis->Setzen();
}

TVektorDlg::~TVektorDlg() {
    // Normally ended by done(); a dialog destroyed while shown must not leave its worker.
    Arbeiter_beenden();
    m_lebenszeichen.reset();
    // The controls outlive this part of the object (QDialog deletes them); a focus change
    // while they go must not reach the handlers or the key filter here.
    for (QObject* kind : findChildren<QObject*>()) {
        kind->disconnect(this);
        kind->removeEventFilter(this);
    }
}

void TVektorDlg::Oberflaeche_anlegen() {
    auto* haupt = new QVBoxLayout(this);

    auto* zyklenpanel = new QFrame(this);
    auto* zyklenlayout = new QGridLayout(zyklenpanel);
    zyklenlayout->addWidget(new QLabel(QStringLiteral("Zyklen:"), zyklenpanel), 0, 0);
    ZyklenEdit = new QLineEdit(zyklenpanel);
    ZyklenEdit->setMaxLength(3);
    ZyklenEdit->setFixedWidth(ZyklenEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                              12);
    zyklenlayout->addWidget(ZyklenEdit, 0, 1);
    EndlosCheckBox = Kaestchen(QStringLiteral("endlos"), zyklenpanel);
    zyklenlayout->addWidget(EndlosCheckBox, 0, 2);
    ZyklenAusgabeLabel =
        new QLabel(QStringLiteral("( Zyklenausgabe mit Taste 'z' abbrechen)"), zyklenpanel);
    zyklenlayout->addWidget(ZyklenAusgabeLabel, 1, 0, 1, 3);
    ZyklenAbbruchPanel = new QLabel(QStringLiteral("Abbruch nach Zyklus-Ende"), zyklenpanel);
    ZyklenAbbruchPanel->setAlignment(Qt::AlignCenter);
    ZyklenAbbruchPanel->setAutoFillBackground(true);
    QPalette lime = ZyklenAbbruchPanel->palette();
    lime.setColor(QPalette::Window, Lindgruen);
    lime.setColor(QPalette::WindowText, Qt::black);
    ZyklenAbbruchPanel->setPalette(lime);
    ZyklenAbbruchPanel->hide();
    zyklenlayout->addWidget(ZyklenAbbruchPanel, 2, 0, 1, 3);
    haupt->addWidget(zyklenpanel);

    auto* wahlpanel = new QFrame(this);
    auto* wahllayout = new QHBoxLayout(wahlpanel);
    RefModusRadioGroup = new QGroupBox(QStringLiteral(" Referenzfahrt "), wahlpanel);
    auto* reflayout = new QVBoxLayout(RefModusRadioGroup);
    auto* refgruppe = new QButtonGroup(RefModusRadioGroup);
    const char* reftexte[3] = {"keine", "vor erstem Zyklus", "vor jedem Zyklus"};
    for (int i = 0; i < 3; ++i) {
        RefModusKnoepfe[i] = new QRadioButton(QString::fromUtf8(reftexte[i]), RefModusRadioGroup);
        refgruppe->addButton(RefModusKnoepfe[i], i);
        reflayout->addWidget(RefModusKnoepfe[i]);
    }
    RefModusKnoepfe[0]->setChecked(true);
    wahllayout->addWidget(RefModusRadioGroup);
    auto* achsen = new QVBoxLayout();
    xAchseCheckBox = Kaestchen(QStringLiteral("x-Achse"), wahlpanel);
    yAchseCheckBox = Kaestchen(QStringLiteral("y-Achse"), wahlpanel);
    zAchseCheckBox = Kaestchen(QStringLiteral("z-Achse"), wahlpanel);
    uAchseCheckBox = Kaestchen(QStringLiteral("u-Achse"), wahlpanel);
    for (QCheckBox* k : {xAchseCheckBox, yAchseCheckBox, zAchseCheckBox, uAchseCheckBox})
        achsen->addWidget(k);
    wahllayout->addLayout(achsen);
    haupt->addWidget(wahlpanel);

    auto* optionspanel = new QFrame(this);
    auto* optionslayout = new QVBoxLayout(optionspanel);
    zAchseInterpolierenCheckBox = Kaestchen(QStringLiteral(" Z-Achse interpolieren"), optionspanel);
    FestwertspeicherCheckBox =
        Kaestchen(QStringLiteral(" Ausgabe in den Festwertspeicher"), optionspanel);
    FestwertspeicherCheckBox->hide();
    optionslayout->addWidget(zAchseInterpolierenCheckBox);
    optionslayout->addWidget(FestwertspeicherCheckBox);
    haupt->addWidget(optionspanel);

    SchaetzungPanel = new QFrame(this);
    auto* schaetzungslayout = new QVBoxLayout(SchaetzungPanel);
    SchaetzungLabel = new QLabel(SchaetzungPanel);
    SchaetzungLabel->setAlignment(Qt::AlignCenter);
    FortschrittBalken = new QProgressBar(SchaetzungPanel);
    FortschrittBalken->setTextVisible(false);
    FortschrittBalken->hide();
    schaetzungslayout->addWidget(SchaetzungLabel);
    schaetzungslayout->addWidget(FortschrittBalken);
    haupt->addWidget(SchaetzungPanel);

    const Knopfleiste knoepfe = Knopfleiste_anlegen(this, haupt, QStringLiteral("S&tart"));
    StartBitBtn = knoepfe.Start;
    AbbrechenBitBtn = knoepfe.Abbrechen;
    SchliessenBitBtn = knoepfe.Schliessen;

    m_panels = {zyklenpanel, wahlpanel, optionspanel, SchaetzungPanel};
    for (QFrame* p : m_panels) {
        p->setFrameShape(QFrame::StyledPanel);
        p->setAutoFillBackground(true);
    }

    connect(ZyklenEdit, &QLineEdit::editingFinished, this, &TVektorDlg::ZyklenEditOnExit);
    connect(EndlosCheckBox, &QCheckBox::clicked, this, &TVektorDlg::EndlosCheckBoxOnClick);
    connect(FestwertspeicherCheckBox, &QCheckBox::clicked, this,
            &TVektorDlg::FestwertCheckBoxOnClick);
    connect(refgruppe, &QButtonGroup::idClicked, this, &TVektorDlg::RefModusRadioGroupOnExit);
    connect(StartBitBtn, &QPushButton::clicked, this, &TVektorDlg::StartBitBtnClick);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this, &TVektorDlg::AbbrechenBitBtnClick);
    connect(SchliessenBitBtn, &QPushButton::clicked, this, &TVektorDlg::SchliessenBitBtnClick);
    // Every choice that changes the run changes its estimate.
    connect(ZyklenEdit, &QLineEdit::textChanged, this, &TVektorDlg::Schaetzung_zeigen);
    connect(refgruppe, &QButtonGroup::idToggled, this, &TVektorDlg::Schaetzung_zeigen);
    for (QCheckBox* k : {EndlosCheckBox, xAchseCheckBox, yAchseCheckBox, zAchseCheckBox,
                         uAchseCheckBox, zAchseInterpolierenCheckBox})
        connect(k, &QCheckBox::toggled, this, &TVektorDlg::Schaetzung_zeigen);

    // Key preview: Esc and "z" reach the dialog whichever control has the focus.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void TVektorDlg::Farben_anwenden(const QColor& hintergrund, const QColor& schrift) {
    m_hintergrund = hintergrund;
    m_schrift = schrift;
    for (QFrame* p : m_panels) {
        QPalette pal = p->palette();
        pal.setColor(QPalette::Window, hintergrund);
        pal.setColor(QPalette::WindowText, schrift);
        p->setPalette(pal);
    }
}

void TVektorDlg::Knoepfe_zeigen(bool laeuft) {
    StartBitBtn->setText(laeuft ? QStringLiteral("Läuft...") : QStringLiteral("S&tart"));
    AbbrechenBitBtn->setVisible(laeuft);
    SchliessenBitBtn->setVisible(!laeuft);
}

bool TVektorDlg::Beschaeftigt() const {
    std::lock_guard lock(m_zustand_mutex);
    return m_befehl_offen;
}

// ---- Opening (OnActivate) ----------------------------------------------------------------------

void TVektorDlg::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    if (m_arbeiter) return; // shown again without having been closed
    m_schliesst = false;
    if (y() < Oberkante_min) move(x(), Oberkante_min);
    Farben_anwenden(ModusWT ? QApplication::palette().color(QPalette::Button) : Blau,
                    ModusWT ? QColor(Qt::black) : QColor(Qt::white));
    Einstellungen_zeigen();
    Knoepfe_zeigen(false);
    ZyklenAbbruchPanel->hide();
    {
        std::lock_guard lock(m_zustand_mutex);
        m_befehl_offen = m_lauf_aktiv = m_abbruch_vorgemerkt = m_zyklenabbruch_vorgemerkt = false;
    }
    m_arbeiter = std::make_unique<Arbeiter>(m_lauf, *this);
    m_arbeiter->Starten();
}

void TVektorDlg::Einstellungen_zeigen() {
    const Vektoreinstellungen e = Vektoreinstellungen_laden(Vektoreinstellungen_Dateiname());
    RefModus = e.RefModus;
    RefZyklusAktiv = e.RefZyklusAktiv;
    zAchseInterpolieren = e.zAchseInterpolieren;
    // Recording is chosen anew each time: the box opens clear, and the run follows the box.
    InFestwertspeicher = false;

    ZyklenEdit->setText(QString::number(Zyklen));
    ZyklenEdit->setEnabled(!EndlosCheckBox->isChecked());
    RefModusKnoepfe[static_cast<std::size_t>(RefModus >= 0 && RefModus <= 2 ? RefModus : 0)]
        ->setChecked(true);
    // In the angle-positioning mode only the rotary axis (x) takes part.
    yAchseCheckBox->setEnabled(!ModusWT);
    zAchseCheckBox->setEnabled(!ModusWT);
    uAchseCheckBox->setEnabled(!ModusWT);
    const std::array<QCheckBox*, 3> kaestchen{xAchseCheckBox, yAchseCheckBox, zAchseCheckBox};
    for (std::size_t i = 0; i < 3; ++i)
        kaestchen[i]->setChecked(kaestchen[i]->isEnabled() && RefZyklusAktiv[i]);
    // The u axis has no stored choice.
    uAchseCheckBox->setChecked(false);
    zAchseInterpolierenCheckBox->setChecked(zAchseInterpolieren);
    FestwertspeicherCheckBox->setChecked(false);
    FestwertspeicherCheckBox->setVisible(hat_Festwertspeicher(Parametersatz().Modul));
    // Each row of the angle-positioning mode is an approach of the rotary axis: nothing to
    // interpolate, nothing to record.
    zAchseInterpolierenCheckBox->setEnabled(!ModusWT);
    FestwertspeicherCheckBox->setEnabled(!ModusWT);
    Schaetzung_zeigen();
}

void TVektorDlg::Schaetzung_zeigen() {
    if (m_fortschritt_aktiv) return;
    const Laufschaetzung s = Lauf_schaetzen(m_tabelle, Eingaben_lesen());
    SchaetzungPanel->setVisible(s.Schaetzbar);
    FortschrittBalken->hide();
    const std::string text = s.Endlos ? "je Zyklus: " + Dauertext(s.Zyklus_s())
                                      : "geschätzte Dauer: " + Dauertext(s.Gesamt_s());
    SchaetzungLabel->setText(QString::fromStdString(text));
}

void TVektorDlg::Fortschritt_zeigen(int zeile, int32_t erledigt) {
    if (!m_fortschritt_aktiv || zeile < 1) return;
    const int zeilen = std::max(1, m_tabelle.Zeilenzahl());
    const int zyklen = m_schaetzung.Endlos ? 1 : m_schaetzung.Zyklen;
    const int zyklus = m_schaetzung.Endlos ? 1 : std::min(m_zyklus, zyklen);
    FortschrittBalken->setRange(0, zeilen * zyklen);
    FortschrittBalken->setValue((zyklus - 1) * zeilen + zeile - 1);
    std::string text = "noch " + Dauertext(m_schaetzung.Rest_s(m_zyklus, zeile, erledigt));
    if (m_schaetzung.Endlos) text += " (je Zyklus " + Dauertext(m_schaetzung.Zyklus_s()) + ")";
    SchaetzungLabel->setText(QString::fromStdString(text));
}

// ---- Controls -----------------------------------------------------------------------------------

void TVektorDlg::ZyklenEditOnExit() {
    int32_t zyklen = Zyklentext_lesen(ZyklenEdit->text().toStdString());
    if (zyklen < 0) zyklen = 1;
    Zyklen = zyklen;
    ZyklenEdit->setText(QString::number(Zyklen));
}

void TVektorDlg::EndlosCheckBoxOnClick() {
    ZyklenEdit->setEnabled(!EndlosCheckBox->isChecked());
    FestwertCheckBoxOnClick();
}

void TVektorDlg::FestwertCheckBoxOnClick() {
    if (FestwertspeicherCheckBox->isChecked() && EndlosCheckBox->isChecked()) {
        oberflaeche().Meldung("      'endlos'-Vektorausgabe\n\nin Festwertspeicher ist nicht "
                              "möglich!",
                              Vektorausgabe::Meldungstitel, Symbol::warnung, Knoepfe::ok);
        FestwertspeicherCheckBox->setChecked(false);
    }
    InFestwertspeicher = FestwertspeicherCheckBox->isChecked();
}

void TVektorDlg::RefModusRadioGroupOnExit() {
    for (int i = 0; i < 3; ++i)
        if (RefModusKnoepfe[static_cast<std::size_t>(i)]->isChecked()) RefModus = i;
}

Vektoreingaben TVektorDlg::Eingaben_lesen() const {
    Vektoreingaben e;
    e.Zyklen = Zyklentext_lesen(ZyklenEdit->text().toStdString());
    e.Endlos = EndlosCheckBox->isChecked();
    for (int i = 0; i < 3; ++i)
        if (RefModusKnoepfe[static_cast<std::size_t>(i)]->isChecked()) e.RefModus = i;
    e.xReferenz = xAchseCheckBox->isChecked();
    e.yReferenz = yAchseCheckBox->isChecked();
    e.zReferenz = zAchseCheckBox->isChecked();
    e.uReferenz = uAchseCheckBox->isChecked();
    e.zInterpolieren = zAchseInterpolierenCheckBox->isChecked();
    e.Festwertspeicher =
        hat_Festwertspeicher(Parametersatz().Modul) && FestwertspeicherCheckBox->isChecked();
    e.ModusKora = ModusKora;
    e.ModusWT = ModusWT;
    e.ModusTorval = ModusTorval;
    return e;
}

void TVektorDlg::StartBitBtnClick() {
    if (m_schliesst || !m_arbeiter) return;
    {
        std::lock_guard lock(m_zustand_mutex);
        if (m_befehl_offen) return; // a run is under way: the press is ignored
        m_befehl_offen = true;
    }
    const Vektoreingaben e = Eingaben_lesen();
    m_lauf.Eingaben_setzen(e);
    m_schaetzung = Lauf_schaetzen(m_tabelle, e);
    m_fortschritt_aktiv = m_schaetzung.Schaetzbar;
    m_zyklus = 1;
    if (m_fortschritt_aktiv) {
        FortschrittBalken->setRange(0, 1);
        FortschrittBalken->setValue(0);
        FortschrittBalken->show();
        SchaetzungLabel->setText(
            QString::fromStdString("noch " + Dauertext(m_schaetzung.Gesamt_s())));
    }
    InFestwertspeicher = e.Festwertspeicher;
    m_lauf.InFestwertspeicher = InFestwertspeicher;
    m_befehl_fertig.Zuruecksetzen();
    if (!m_arbeiter->Befehl_geben(TVekThread::Befehl_Lauf)) {
        {
            std::lock_guard lock(m_zustand_mutex);
            m_befehl_offen = false;
        }
        m_fortschritt_aktiv = false;
        Schaetzung_zeigen();
    }
}

void TVektorDlg::AbbrechenBitBtnClick() {
    // Decided under the lock, carried out after it: the stop waits for the controller and
    // may show a box, and the run must be able to end meanwhile. A stop that reaches the
    // controller just as the run ends is spent by the next run, jog or reference run, each
    // of which clears a stop left from before as it begins.
    bool anhalten = false;
    {
        std::lock_guard lock(m_zustand_mutex);
        if (m_lauf_aktiv)
            anhalten = true;
        else if (m_befehl_offen)
            m_abbruch_vorgemerkt = true;
    }
    if (anhalten) m_lauf.Abbrechen();
}

void TVektorDlg::ZyklenAbbruchTaste() {
    bool abbrechen = false;
    {
        std::lock_guard lock(m_zustand_mutex);
        if (m_lauf_aktiv)
            abbrechen = true;
        else if (m_befehl_offen)
            m_zyklenabbruch_vorgemerkt = true;
    }
    if (abbrechen) m_lauf.Zyklen_abbrechen();
}

bool TVektorDlg::Taste(int taste, const QString& text) {
    if (taste == Qt::Key_Escape) {
        AbbrechenBitBtnClick();
        return true;
    }
    if (text == QStringLiteral("z") || text == QStringLiteral("Z")) {
        ZyklenAbbruchTaste();
        return true;
    }
    return false;
}

void TVektorDlg::keyPressEvent(QKeyEvent* ereignis) {
    // Esc would close the dialog by default; here it stops the run.
    if (Taste(ereignis->key(), ereignis->text())) return;
    QDialog::keyPressEvent(ereignis);
}

bool TVektorDlg::eventFilter(QObject* objekt, QEvent* ereignis) {
    if (ereignis->type() == QEvent::KeyPress) {
        auto* taste = static_cast<QKeyEvent*>(ereignis);
        if (Taste(taste->key(), taste->text())) return true;
    }
    return QDialog::eventFilter(objekt, ereignis);
}

// ---- Closing
// --------------------------------------------------------------------------------------

void TVektorDlg::SchliessenBitBtnClick() {
    RefModusRadioGroupOnExit();
    Vektoreinstellungen e;
    e.RefModus = RefModus;
    RefZyklusAktiv = {xAchseCheckBox->isChecked(), yAchseCheckBox->isChecked(),
                      zAchseCheckBox->isChecked()};
    e.RefZyklusAktiv = RefZyklusAktiv;
    zAchseInterpolieren = zAchseInterpolierenCheckBox->isChecked();
    e.zAchseInterpolieren = zAchseInterpolieren;
    InFestwertspeicher = FestwertspeicherCheckBox->isChecked();
    e.InFestwertspeicher = InFestwertspeicher;
    Vektoreinstellungen_speichern(e, Vektoreinstellungen_Dateiname());
    accept();
}

void TVektorDlg::done(int ergebnis) {
    if (m_schliesst) return; // closed again while the run is being ended
    m_schliesst = true;
    Arbeiter_beenden();
    // After the worker, so that no queued row of the run highlights the grid again.
    if (m_anzeige.AktuelleZeile) m_anzeige.AktuelleZeile(-1);
    ZyklenAbbruchPanel->hide();
    QDialog::done(ergebnis);
}

void TVektorDlg::Befehl_fertig() {
    // Queued before the run shows as over, so that whoever sees it over and then processes
    // the window's events finds every update of the run shown.
    Im_Fensterthread([](TVektorDlg& d) { d.Lauf_aufraeumen(); });
    {
        std::lock_guard lock(m_zustand_mutex);
        m_befehl_offen = false;
        m_lauf_aktiv = false;
        m_abbruch_vorgemerkt = m_zyklenabbruch_vorgemerkt = false;
    }
    m_befehl_fertig.Setzen();
}

void TVektorDlg::Lauf_aufraeumen() {
    Knoepfe_zeigen(false);
    m_fortschritt_aktiv = false;
    Schaetzung_zeigen();
    // A run ended by an error leaves the row it was repeating; the cell shows its own value.
    for (int zeile : std::exchange(m_wiederholungszeilen, {}))
        if (m_anzeige.Wiederholung_anzeigen) m_anzeige.Wiederholung_anzeigen(zeile, "");
}

void TVektorDlg::Arbeiter_beenden() {
    if (!m_arbeiter) return;
    // A run still under way is stopped first: closing must not leave the machine moving, and
    // an endless run would never end by itself. Meanwhile the window keeps processing its
    // messages, since the run may be waiting for a message box on the window thread.
    AbbrechenBitBtnClick();
    while (Beschaeftigt()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_befehl_fertig.Warten(20);
    }
    m_arbeiter->Beenden(false);
    m_arbeiter.reset();
    // Display updates still queued from the run belong to the closed dialog.
    QCoreApplication::processEvents();
}

// ---- Progress of the run, from the worker
// --------------------------------------------------------

void TVektorDlg::Im_Fensterthread(std::function<void(TVektorDlg&)> f) {
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), f = std::move(f)] {
            if (lebt.lock()) f(*this);
        },
        false);
}

void TVektorDlg::AktuelleZeile(int zeile) {
    Im_Fensterthread([zeile](TVektorDlg& d) {
        if (d.m_anzeige.AktuelleZeile) d.m_anzeige.AktuelleZeile(zeile);
        d.Fortschritt_zeigen(zeile, 0);
    });
}

void TVektorDlg::Zyklus_beginnt(int nummer) {
    Im_Fensterthread([nummer](TVektorDlg& d) { d.m_zyklus = nummer; });
}

void TVektorDlg::Wiederholung_anzeigen(int zeile, const std::string& text) {
    Im_Fensterthread([zeile, text](TVektorDlg& d) {
        if (text.empty())
            d.m_wiederholungszeilen.erase(zeile);
        else
            d.m_wiederholungszeilen.insert(zeile);
        if (d.m_anzeige.Wiederholung_anzeigen) d.m_anzeige.Wiederholung_anzeigen(zeile, text);
        // "k von n": k executions of the row are done.
        if (!text.empty()) d.Fortschritt_zeigen(zeile, std::atoi(text.c_str()));
    });
}

void TVektorDlg::Zyklen_anzeigen(int rest) {
    Im_Fensterthread([rest](TVektorDlg& d) {
        d.Zyklen = rest;
        d.ZyklenEdit->setText(QString::number(rest));
    });
}

void TVektorDlg::Zyklenfeld_markieren(bool gelb) {
    Im_Fensterthread([gelb](TVektorDlg& d) {
        QPalette pal = d.ZyklenEdit->palette();
        pal.setColor(QPalette::Base,
                     gelb ? QColor(Qt::yellow) : QApplication::palette().color(QPalette::Base));
        d.ZyklenEdit->setPalette(pal);
    });
}

void TVektorDlg::Laeuft(bool laeuft) {
    bool zyklen_abbrechen = false;
    bool abbrechen = false;
    {
        std::lock_guard lock(m_zustand_mutex);
        m_lauf_aktiv = laeuft;
        if (laeuft) {
            zyklen_abbrechen = std::exchange(m_zyklenabbruch_vorgemerkt, false);
            abbrechen = std::exchange(m_abbruch_vorgemerkt, false);
        }
    }
    // A stop given between Start and now: the run cleared its flags as it began. Not under
    // the lock: a failing stop shows its box on the window thread, which may be waiting for
    // the lock meanwhile (closing polls Beschaeftigt).
    if (zyklen_abbrechen) m_lauf.Zyklen_abbrechen();
    if (abbrechen) m_lauf.Abbrechen();
    Im_Fensterthread([laeuft](TVektorDlg& d) { d.Knoepfe_zeigen(laeuft); });
}

void TVektorDlg::Zyklenabbruch_anzeigen(bool sichtbar) {
    Im_Fensterthread([sichtbar](TVektorDlg& d) { d.ZyklenAbbruchPanel->setVisible(sichtbar); });
}

} // namespace orvexa
