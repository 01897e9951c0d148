#include "referenzfahrtform.h"

#include "core/maschinenparameter.h"
#include "platform/oberflaeche.h"
#include "platform/qt/knopfleiste.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace orvexa {

namespace {

constexpr std::array<const char*, 4> Beschriftungen{" x-Achse", " y-Achse", " z-Achse", " u-Achse"};
constexpr const char* Hinweis = "low/high  white/black";

void Hintergrund_setzen(QWidget* w, const QColor& farbe) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, farbe);
    w->setPalette(pal);
    // Buttons (the check boxes) fill with the button colour unless told otherwise.
    w->setBackgroundRole(QPalette::Window);
    w->setAutoFillBackground(true);
}

} // namespace

TReferenzfahrtForm::TReferenzfahrtForm(QWidget* parent)
    : QDialog(parent), m_lebenszeichen(std::make_shared<int>(0)) {
    setWindowTitle(QString::fromUtf8(TReferenzfahrtThread::Titel));
    setModal(true);
    Oberflaeche_anlegen();
    Farben_anwenden();
    Laufanzeige(false);
}

TReferenzfahrtForm::~TReferenzfahrtForm() {
    // Normally ended by done(); a dialog destroyed while shown must not leave its worker.
    Arbeiter_beenden();
    m_lebenszeichen.reset();
    for (QObject* kind : findChildren<QObject*>())
        kind->disconnect(this);
}

std::array<QCheckBox*, 4> TReferenzfahrtForm::Kaestchen() const {
    return {xCheckBox, yCheckBox, zCheckBox, uCheckBox};
}

void TReferenzfahrtForm::Oberflaeche_anlegen() {
    auto* haupt = new QVBoxLayout(this);

    Shape = new QFrame(this);
    Shape->setFrameShape(QFrame::Box);
    auto* shapelayout = new QVBoxLayout(Shape);
    Panel = new QFrame(Shape);
    Panel->setFrameShape(QFrame::StyledPanel);
    auto* panellayout = new QVBoxLayout(Panel);
    xCheckBox = new QCheckBox(Panel);
    yCheckBox = new QCheckBox(Panel);
    zCheckBox = new QCheckBox(Panel);
    uCheckBox = new QCheckBox(Panel);
    for (QCheckBox* k : Kaestchen()) {
        k->setToolTip(QString::fromUtf8(Hinweis));
        panellayout->addWidget(k);
    }
    shapelayout->addWidget(Panel);
    haupt->addWidget(Shape);

    const Knopfleiste knoepfe = Knopfleiste_anlegen(this, haupt, QStringLiteral("S&tarten"));
    StartBitBtn = knoepfe.Start;
    AbbrechenBitBtn = knoepfe.Abbrechen;
    SchliessenBitBtn = knoepfe.Schliessen;

    Timer = new QTimer(this);
    Timer->setInterval(Timerintervall_ms);

    connect(StartBitBtn, &QPushButton::clicked, this, &TReferenzfahrtForm::StartBitBtnClick);
    connect(AbbrechenBitBtn, &QPushButton::clicked, this,
            &TReferenzfahrtForm::AbbrechenBitBtnClick);
    connect(SchliessenBitBtn, &QPushButton::clicked, this,
            &TReferenzfahrtForm::SchliessenBitBtnClick);
    connect(Timer, &QTimer::timeout, this, &TReferenzfahrtForm::TimerTimer);
}

void TReferenzfahrtForm::Farben_anwenden() {
    Hintergrund_setzen(Shape, Panelfarbe);
    Hintergrund_setzen(Panel, Panelfarbe);
    for (QCheckBox* k : Kaestchen()) {
        Hintergrund_setzen(k, Panelfarbe);
        Schrift_setzen(k, Schriftfarbe);
    }
}

void TReferenzfahrtForm::Schrift_setzen(QCheckBox* kaestchen, const QColor& farbe) {
    QPalette pal = kaestchen->palette();
    if (pal.color(QPalette::WindowText) == farbe) return;
    pal.setColor(QPalette::WindowText, farbe);
    kaestchen->setPalette(pal);
}

void TReferenzfahrtForm::Laufanzeige(bool laeuft) {
    Panel->setEnabled(!laeuft);
    StartBitBtn->setEnabled(!laeuft);
    AbbrechenBitBtn->setVisible(laeuft);
    SchliessenBitBtn->setVisible(!laeuft);
}

void TReferenzfahrtForm::WT_Modus_setzen(bool wt) {
    m_wt = wt;
    for (QCheckBox* k : {yCheckBox, zCheckBox, uCheckBox}) {
        k->setEnabled(!wt);
        if (wt) k->setChecked(false);
    }
}

bool TReferenzfahrtForm::Beschaeftigt() const {
    return m_arbeiter && m_arbeiter->Beschaeftigt();
}

// ---- Showing -------------------------------------------------------------------------------

void TReferenzfahrtForm::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    if (m_arbeiter) return; // shown again without having been closed
    m_schliesst = false;
    Farben_anwenden();

    const Maschinenparameter& p = Parametersatz();
    const std::array<int32_t, 4> aktiv{p.xRefAktiv, p.yRefAktiv, p.zRefAktiv, p.uRefAktiv};
    const std::array<QCheckBox*, 4> kaestchen = Kaestchen();
    for (std::size_t i = 0; i < kaestchen.size(); ++i) {
        // A box the mode has disabled stays clear, so it shows what the run will do.
        kaestchen[i]->setChecked(kaestchen[i]->isEnabled() && aktiv[i] != 0);
        kaestchen[i]->setText(QString::fromUtf8(Beschriftungen[i]));
    }
    Laufanzeige(false);

    Referenzfahrt_Beobachter& beobachter = *this;
    m_arbeiter = std::make_unique<TReferenzfahrtThread>(beobachter);
    m_arbeiter->Starten();
    Referenzfahrt_initialisieren(Vollinitialisierung);
    Timer->start();
}

// ---- Controls ------------------------------------------------------------------------------

Referenzachsen TReferenzfahrtForm::Gewaehlte_Achsen() const {
    auto gewaehlt = [](const QCheckBox* k) { return k->isChecked() && k->isEnabled(); };
    return {gewaehlt(xCheckBox), gewaehlt(yCheckBox), gewaehlt(zCheckBox), gewaehlt(uCheckBox)};
}

void TReferenzfahrtForm::StartBitBtnClick() {
    if (m_schliesst || !m_arbeiter) return;
    m_arbeiter->Lauf_starten(Gewaehlte_Achsen());
}

void TReferenzfahrtForm::AbbrechenBitBtnClick() {
    if (m_arbeiter) {
        m_arbeiter->Abbrechen();
        return;
    }
    // Not shown: the stop still reaches the machine, as Esc always does.
    TReferenzfahrtThread().Abbrechen();
}

void TReferenzfahrtForm::SchliessenBitBtnClick() {
    accept();
}

void TReferenzfahrtForm::keyPressEvent(QKeyEvent* ereignis) {
    // Esc would close the dialog by default; here it stops the axes.
    if (ereignis->key() == Qt::Key_Escape) {
        AbbrechenBitBtnClick();
        return;
    }
    QDialog::keyPressEvent(ereignis);
}

void TReferenzfahrtForm::TimerTimer() {
    Timer->stop();
    const std::array<bool, 4> schwarz = Referenzschalter_abfragen(Parametersatz().Modul);
    const std::array<QCheckBox*, 4> kaestchen = Kaestchen();
    for (std::size_t i = 0; i < kaestchen.size(); ++i)
        Schrift_setzen(kaestchen[i], schwarz[i] ? QColor(Qt::black) : Schriftfarbe);
    if (!m_schliesst && isVisible()) Timer->start();
}

// ---- Closing -------------------------------------------------------------------------------

void TReferenzfahrtForm::done(int ergebnis) {
    if (m_schliesst) return; // asked again while a run is being stopped
    m_schliesst = true;
    Timer->stop();
    Arbeiter_beenden();
    Referenzachsen nicht_speichern;
    nicht_speichern.y = nicht_speichern.z = nicht_speichern.u = m_wt;
    Referenzauswahl_speichern({xCheckBox->isChecked(), yCheckBox->isChecked(),
                               zCheckBox->isChecked(), uCheckBox->isChecked()},
                              nicht_speichern);
    QDialog::done(ergebnis);
    m_schliesst = false;
}

void TReferenzfahrtForm::Arbeiter_beenden() {
    if (!m_arbeiter) return;
    if (m_arbeiter->Beschaeftigt()) {
        // Closing must not leave the machine moving. The worker may be waiting for a message
        // box on the window thread, so the window keeps processing its messages meanwhile.
        m_arbeiter->Abbrechen();
        while (!m_arbeiter->Warten_bis_fertig(20))
            if (QCoreApplication::instance())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    m_arbeiter->Beenden(false);
    m_arbeiter.reset();
    // Updates still queued from the run belong to this showing.
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
    Laufanzeige(false);
}

// ---- From the worker -----------------------------------------------------------------------

void TReferenzfahrtForm::Im_Fensterthread(std::function<void(TReferenzfahrtForm&)> f) {
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), f = std::move(f)] {
            if (lebt.lock()) f(*this);
        },
        false);
}

void TReferenzfahrtForm::Laeuft(bool laeuft) {
    Im_Fensterthread([laeuft](TReferenzfahrtForm& d) { d.Laufanzeige(laeuft); });
}

} // namespace orvexa
