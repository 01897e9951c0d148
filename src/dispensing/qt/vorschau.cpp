#include "vorschau.h"

#include "platform/qt/qtext.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>

namespace orvexa {

TVorschau::TVorschau(QWidget* parent)
    : QWidget(parent), m_bild(Vorschau_Breite, Vorschau_Hoehe, QImage::Format_RGB32) {
    setFixedSize(Vorschau_Breite, Vorschau_Hoehe);
    Kontextmenue = new QMenu(this);
    HPGL_ladenAction = Kontextmenue->addAction(QString());
    HPGL_schliessenAction = Kontextmenue->addAction(QString());
    connect(HPGL_ladenAction, &QAction::triggered, this, [this] {
        if (HPGL_laden) HPGL_laden();
    });
    connect(HPGL_schliessenAction, &QAction::triggered, this, [this] {
        if (HPGL_schliessen) HPGL_schliessen();
    });
    Sprache_anwenden(Sprache::deutsch);
    Neu_zeichnen();
}

void TVorschau::Sprache_anwenden(Sprache sprache) {
    HPGL_ladenAction->setText(Q(Text(sprache, Textnummer::HPGL_laden)));
    HPGL_schliessenAction->setText(Q(Text(sprache, Textnummer::HPGL_schliessen)));
}

void TVorschau::Striche_setzen(const std::vector<Strich>& striche) {
    m_striche = striche;
    Neu_zeichnen();
}

void TVorschau::Strich_hinzufuegen(const Strich& strich) {
    m_striche.push_back(strich);
    Zeichnen(strich);
    update();
}

void TVorschau::Leeren() {
    m_striche.clear();
    m_hinweis.clear();
    Neu_zeichnen();
}

void TVorschau::Hinweis_setzen(const QString& hinweis) {
    if (hinweis == m_hinweis) return;
    m_hinweis = hinweis;
    Neu_zeichnen();
}

void TVorschau::Neu_zeichnen() {
    m_bild.fill(Qt::white);
    if (!m_hinweis.isEmpty()) {
        QPainter p(&m_bild);
        QFont schrift(QStringLiteral("Courier New"), 8);
        schrift.setStyleHint(QFont::TypeWriter);
        p.setFont(schrift);
        p.setPen(Qt::black);
        const Vorschaubereich b = HPGL_Zeichenbereich(m_bild.width(), m_bild.height());
        p.drawText(QRect(b.links, b.oben, b.breite, b.hoehe), Qt::AlignCenter, m_hinweis);
    }
    for (const Strich& s : m_striche)
        Zeichnen(s);
    update();
}

void TVorschau::Zeichnen(const Strich& s) {
    QPainter p(&m_bild);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen stift(Qt::black);
    stift.setWidth(s.Breite);
    p.setPen(stift);
    if (s.x1 == s.x2 && s.y1 == s.y2)
        p.drawPoint(s.x1, s.y1);
    else
        p.drawLine(s.x1, s.y1, s.x2, s.y2);
}

void TVorschau::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_bild);
}

void TVorschau::contextMenuEvent(QContextMenuEvent* ereignis) {
    if (!HPGL_laden && !HPGL_schliessen) {
        ereignis->ignore();
        return;
    }
    HPGL_ladenAction->setEnabled(static_cast<bool>(HPGL_laden));
    HPGL_schliessenAction->setEnabled(static_cast<bool>(HPGL_schliessen));
    Kontextmenue->exec(ereignis->globalPos());
}

QString HPGL_Datei_waehlen(QWidget* parent, Sprache sprache, const QString& verzeichnis) {
    const QString filter =
        Q(Text(sprache, Textnummer::HPGL_Dateien)) + QStringLiteral(" (*.hpgl *.plt)");
    QFileDialog dialog(parent, Q(Ohne_Kuerzel(Text(sprache, Textnummer::HPGL_laden))),
                       verzeichnis.isEmpty() ? QDir::currentPath() : verzeichnis, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QStringLiteral("*.plt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

} // namespace orvexa
