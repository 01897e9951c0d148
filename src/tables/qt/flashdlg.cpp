#include "flashdlg.h"

#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/qt/qtext.h"
#include "tables/tabelle.h"
#include "tables/tflashthread.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvexa {

namespace {

const QColor Rot(0xFF, 0x00, 0x00);
const QColor Gruen(0x00, 0x80, 0x00);
const QColor Blau(0x00, 0x00, 0xFF);

} // namespace

// The worker tells the dialog when a command is over, whatever it did.
class TFlashDlg::Arbeiter : public TFlashThread {
public:
    Arbeiter(Programmspeicher& speicher, Vektorausgabe& lauf, TFlashDlg& dialog)
        : TFlashThread(speicher, lauf), m_dialog(dialog) {}
    ~Arbeiter() override { Beenden_im_Destruktor(); }

protected:
    void Befehl_ausfuehren(int befehl) override {
        struct Ende {
            TFlashDlg& d;
            ~Ende() { d.Befehl_fertig(); }
        } ende{m_dialog};
        TFlashThread::Befehl_ausfuehren(befehl);
    }

private:
    TFlashDlg& m_dialog;
};

TFlashDlg::TFlashDlg(const Positionstabelle& tabelle, QWidget* parent)
    : QDialog(parent), m_tabelle(tabelle), m_lauf(tabelle), m_speicher(*this),
      m_lebenszeichen(std::make_shared<int>(0)) {
    setWindowTitle(QStringLiteral("dKXCU-Mikrocontroller Unit"));
    setModal(true);
    Oberflaeche_anlegen();
    CloseTimer.setInterval(Schliessfrist_ms);
    CloseTimer.setSingleShot(true);
    connect(&CloseTimer, &QTimer::timeout, this, &TFlashDlg::CloseTimerTimer);
    adjustSize();
    if (const QScreen* schirm = screen()) {
        const QRect flaeche = schirm->availableGeometry();
        move(flaeche.center() - rect().center());
    }
}

TFlashDlg::~TFlashDlg() {
    // Normally ended by done(); a dialog destroyed while shown must not leave its worker.
    Arbeiter_beenden();
    m_lebenszeichen.reset();
    for (QObject* kind : findChildren<QObject*>())
        kind->disconnect(this);
}

void TFlashDlg::Oberflaeche_anlegen() {
    auto* haupt = new QVBoxLayout(this);

    ProgrammGroupBox = new QGroupBox(QStringLiteral("Programm"), this);
    auto* programmlayout = new QVBoxLayout(ProgrammGroupBox);
    auto* plaetze = new QHBoxLayout();
    m_platzgruppe = new QButtonGroup(this);
    m_platzgruppe->setExclusive(true);
    for (int i = 0; i < Programmspeicher::Plaetze; ++i) {
        auto* knopf = new QToolButton(ProgrammGroupBox);
        knopf->setText(QString::number(i + 1));
        knopf->setCheckable(true);
        knopf->setFixedSize(36, 28);
        QFont schrift = knopf->font();
        schrift.setBold(true);
        knopf->setFont(schrift);
        m_platzgruppe->addButton(knopf, i + 1);
        plaetze->addWidget(knopf);
        SpeedButtons[static_cast<std::size_t>(i)] = knopf;
    }
    plaetze->addStretch();
    SpeedButtons[0]->setChecked(true);
    programmlayout->addLayout(plaetze);
    auto* aktionen = new QHBoxLayout();
    ProgrammSchreibenButton =
        new QPushButton(QStringLiteral("Programm schreiben"), ProgrammGroupBox);
    ProgrammAuslesenButton = new QPushButton(QStringLiteral("Programm auslesen"), ProgrammGroupBox);
    ProgrammLoeschenButton = new QPushButton(QStringLiteral("Programm löschen"), ProgrammGroupBox);
    for (QPushButton* k : {ProgrammSchreibenButton, ProgrammAuslesenButton, ProgrammLoeschenButton})
        aktionen->addWidget(k);
    programmlayout->addLayout(aktionen);
    haupt->addWidget(ProgrammGroupBox);

    auto* einstellungen = new QHBoxLayout();
    ReferenzfahrtGroupBox = new QGroupBox(QStringLiteral("Referenzfahrt"), this);
    auto* reflayout = new QGridLayout(ReferenzfahrtGroupBox);
    xAchseCheckBox = new QCheckBox(QStringLiteral("X-Achse"), ReferenzfahrtGroupBox);
    yAchseCheckBox = new QCheckBox(QStringLiteral("Y-Achse"), ReferenzfahrtGroupBox);
    zAchseCheckBox = new QCheckBox(QStringLiteral("Z-Achse"), ReferenzfahrtGroupBox);
    uAchseCheckBox = new QCheckBox(QStringLiteral("U-Achse"), ReferenzfahrtGroupBox);
    reflayout->addWidget(xAchseCheckBox, 0, 0);
    reflayout->addWidget(yAchseCheckBox, 0, 1);
    reflayout->addWidget(zAchseCheckBox, 1, 0);
    reflayout->addWidget(uAchseCheckBox, 1, 1);
    einstellungen->addWidget(ReferenzfahrtGroupBox);
    auto* rechts = new QVBoxLayout();
    zAchseInterpolierenCheckBox = new QCheckBox(QStringLiteral(" Z-Achse interpolieren"), this);
    rechts->addWidget(zAchseInterpolierenCheckBox);
    auto* durchlaeufe = new QHBoxLayout();
    durchlaeufe->addWidget(new QLabel(QStringLiteral("Durchläufe: "), this));
    DurchlaeufeEdit = new QLineEdit(QStringLiteral("1"), this);
    DurchlaeufeEdit->setMaxLength(3);
    DurchlaeufeEdit->setFixedWidth(
        DurchlaeufeEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    durchlaeufe->addWidget(DurchlaeufeEdit);
    durchlaeufe->addStretch();
    rechts->addLayout(durchlaeufe);
    rechts->addStretch();
    einstellungen->addLayout(rechts);
    haupt->addLayout(einstellungen);

    RichEdit = new QTextEdit(this);
    RichEdit->setReadOnly(true);
    RichEdit->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RichEdit->setMinimumSize(460, 260);
    haupt->addWidget(RichEdit, 1);

    auto* unten = new QHBoxLayout();
    AlleProgrammeLoeschenButton = new QPushButton(QStringLiteral("alle Programme löschen"), this);
    unten->addWidget(AlleProgrammeLoeschenButton);
    unten->addStretch();
    SchiessenBitBtn = new QPushButton(QStringLiteral("&Schließen"), this);
    unten->addWidget(SchiessenBitBtn);
    haupt->addLayout(unten);

    for (QToolButton* k : SpeedButtons)
        connect(k, &QToolButton::clicked, this, &TFlashDlg::SpeedButtonClick);
    connect(ProgrammSchreibenButton, &QPushButton::clicked, this,
            &TFlashDlg::ProgrammSchreibenButtonClick);
    connect(ProgrammAuslesenButton, &QPushButton::clicked, this,
            &TFlashDlg::ProgrammAuslesenButtonClick);
    connect(ProgrammLoeschenButton, &QPushButton::clicked, this,
            &TFlashDlg::ProgrammLoeschenButtonClick);
    connect(AlleProgrammeLoeschenButton, &QPushButton::clicked, this,
            &TFlashDlg::AlleProgrammeLoeschenButtonClick);
    connect(SchiessenBitBtn, &QPushButton::clicked, this, [this] { accept(); });
}

QColor TFlashDlg::Platzfarbe(bool belegt) {
    return belegt ? Rot : Gruen;
}

bool TFlashDlg::Beschaeftigt() const {
    std::lock_guard lock(m_zustand_mutex);
    return m_befehl_offen;
}

QColor TFlashDlg::Zeilenfarbe(int zeile) const {
    const QTextBlock block = RichEdit->document()->findBlockByNumber(zeile);
    if (!block.isValid() || block.text().isEmpty()) return {};
    return block.begin().fragment().charFormat().foreground().color();
}

void TFlashDlg::Steuerelemente_freigeben(bool frei) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             ReferenzfahrtGroupBox, zAchseInterpolierenCheckBox, DurchlaeufeEdit, ProgrammGroupBox,
             AlleProgrammeLoeschenButton})
        w->setEnabled(frei);
    // The vector output's stop flag belongs to the last run; the write starts without it.
    if (!frei) m_lauf.VekAbbruch = false;
}

// ---- Opening (OnActivate) ----------------------------------------------------------------------

void TFlashDlg::showEvent(QShowEvent* ereignis) {
    QDialog::showEvent(ereignis);
    if (m_arbeiter) return; // shown again without having been closed
    m_schliesst = false;
    {
        std::lock_guard lock(m_zustand_mutex);
        m_befehl_offen = false;
    }
    m_arbeiter = std::make_unique<Arbeiter>(m_speicher, m_lauf, *this);
    m_arbeiter->Starten();
    DurchlaeufeEdit->setText(QStringLiteral("1"));
    Steuerelemente_freigeben(true);
    if (LoeschModus) {
        // Closed 100 ms after the erase (or the No), which runs on the worker.
        m_schliessen_nach_befehl = true;
        if (!Befehl_starten(TFlashThread::Befehl_Alle_loeschen)) CloseTimer.start();
    } else {
        m_schliessen_nach_befehl = false;
        SpeedButtonClick();
        CloseTimer.start();
    }
}

void TFlashDlg::CloseTimerTimer() {
    CloseTimer.stop();
    if (LoeschModus) close();
}

// ---- Actions ------------------------------------------------------------------------------------

bool TFlashDlg::Befehl_starten(int befehl, const Schreibauftrag& auftrag) {
    if (m_schliesst || !m_arbeiter) return false;
    {
        std::lock_guard lock(m_zustand_mutex);
        if (m_befehl_offen) return false; // an action is under way: the press is ignored
        m_befehl_offen = true;
    }
    Steuerelemente_freigeben(false);
    m_befehl_fertig.Zuruecksetzen();
    if (!m_arbeiter->Befehl_geben(befehl, Programmnummer, auftrag)) {
        {
            std::lock_guard lock(m_zustand_mutex);
            m_befehl_offen = false;
        }
        Steuerelemente_freigeben(!LoeschModus);
        return false;
    }
    return true;
}

void TFlashDlg::SpeedButtonClick() {
    const int gedrueckt = m_platzgruppe->checkedId();
    if (gedrueckt >= 1) Programmnummer = gedrueckt;
    Befehl_starten(TFlashThread::Befehl_Platz_waehlen);
}

void TFlashDlg::ProgrammAuslesenButtonClick() {
    Befehl_starten(TFlashThread::Befehl_Auslesen);
}

void TFlashDlg::ProgrammLoeschenButtonClick() {
    Befehl_starten(TFlashThread::Befehl_Loeschen);
}

void TFlashDlg::AlleProgrammeLoeschenButtonClick() {
    Befehl_starten(TFlashThread::Befehl_Alle_loeschen);
}

void TFlashDlg::ProgrammSchreibenButtonClick() {
    Schreibauftrag a;
    a.Durchlaeufe = Ganzzahl_oder_null(DurchlaeufeEdit->text().toStdString());
    a.xReferenz = xAchseCheckBox->isChecked();
    a.yReferenz = yAchseCheckBox->isChecked();
    a.zReferenz = zAchseCheckBox->isChecked();
    a.uReferenz = uAchseCheckBox->isChecked();
    a.zInterpolieren = zAchseInterpolierenCheckBox->isChecked();
    a.ModusKora = ModusKora;
    a.ModusTorval = ModusTorval;
    a.Kopf = m_tabelle.Dateibeschreibung();
    Befehl_starten(TFlashThread::Befehl_Schreiben, a);
}

// ---- Closing ------------------------------------------------------------------------------------

void TFlashDlg::done(int ergebnis) {
    if (m_schliesst) return; // closed again while the action is being waited for
    m_schliesst = true;
    CloseTimer.stop();
    Arbeiter_beenden();
    QDialog::done(ergebnis);
}

void TFlashDlg::Arbeiter_beenden() {
    if (!m_arbeiter) return;
    // An exchange cannot be stopped halfway without leaving a half-written program; it is
    // waited for. Meanwhile the window keeps processing its messages, since the action may be
    // waiting for a message box on the window thread.
    while (Beschaeftigt()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_befehl_fertig.Warten(20);
    }
    m_arbeiter->Beenden(false);
    m_arbeiter.reset();
    // Display updates still queued from the action belong to the closed dialog.
    QCoreApplication::processEvents();
}

void TFlashDlg::Befehl_fertig() {
    // Queued before the action shows as over, so that whoever sees it over and then processes
    // the window's events finds every line of it shown.
    Im_Fensterthread([](TFlashDlg& d) {
        if (d.m_schliessen_nach_befehl) {
            d.m_schliessen_nach_befehl = false;
            d.CloseTimer.start();
        } else if (!d.m_schliesst) {
            d.Steuerelemente_freigeben(true);
        }
    });
    {
        std::lock_guard lock(m_zustand_mutex);
        m_befehl_offen = false;
    }
    m_befehl_fertig.Setzen();
}

// ---- Transcript and places, from the worker ----------------------------------------------------

void TFlashDlg::Im_Fensterthread(std::function<void(TFlashDlg&)> f) {
    std::weak_ptr<int> lebt = m_lebenszeichen;
    oberflaeche().im_Fensterthread(
        [this, lebt = std::move(lebt), f = std::move(f)] {
            if (lebt.lock()) f(*this);
        },
        false);
}

void TFlashDlg::Protokoll_leeren() {
    Im_Fensterthread([](TFlashDlg& d) { d.RichEdit->clear(); });
}

void TFlashDlg::Protokoll_anfuegen(const std::string& zeile, Protokollfarbe farbe) {
    Im_Fensterthread([text = Q(zeile), farbe](TFlashDlg& d) {
        QTextCursor cursor(d.RichEdit->document());
        cursor.movePosition(QTextCursor::End);
        if (!d.RichEdit->document()->isEmpty()) cursor.insertBlock();
        QTextCharFormat format;
        format.setForeground(farbe == Protokollfarbe::blau ? Blau : QColor(Qt::black));
        cursor.insertText(text, format);
        d.RichEdit->setTextCursor(cursor);
        d.RichEdit->ensureCursorVisible();
    });
}

void TFlashDlg::Plaetze_anzeigen(const std::array<bool, 7>& belegt) {
    Im_Fensterthread([belegt](TFlashDlg& d) {
        for (std::size_t i = 0; i < belegt.size(); ++i) {
            QToolButton* knopf = d.SpeedButtons[i];
            QPalette farben = knopf->palette();
            farben.setColor(QPalette::ButtonText, Platzfarbe(belegt[i]));
            knopf->setPalette(farben);
        }
    });
}

} // namespace orvexa
