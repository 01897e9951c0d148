#include "dispensing/qt/domingvorschaubild.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <utility>

namespace orvexa {

namespace {

void Zeichnen(QPainter& maler, const std::vector<HPGL_Strich>& striche, int breite) {
    maler.setPen(QPen(Qt::black, breite, Qt::SolidLine, Qt::SquareCap));
    QPoint stift(0, 0);
    for (const HPGL_Strich& s : striche) {
        const QPoint ziel(s.ziel.x, s.ziel.y);
        if (s.zeichnen) maler.drawLine(stift, ziel);
        stift = ziel;
    }
}

} // namespace

DomingVorschaubild::DomingVorschaubild(QWidget* parent) : QWidget(parent) {
    setFixedSize(Breite, Hoehe);
}

void DomingVorschaubild::Striche_setzen(std::vector<HPGL_Strich> striche) {
    m_striche = std::move(striche);
    m_laufstriche.clear();
    update();
}

void DomingVorschaubild::Hinweis_setzen(const QString& text) {
    m_hinweis = text;
    update();
}

void DomingVorschaubild::Laufstrich_anfuegen(const HPGL_Strich& strich) {
    m_laufstriche.push_back(strich);
    update();
}

void DomingVorschaubild::Laufstriche_loeschen() {
    m_laufstriche.clear();
    update();
}

void DomingVorschaubild::paintEvent(QPaintEvent*) {
    QPainter maler(this);
    maler.fillRect(rect(), Qt::white);
    if (!m_hinweis.isEmpty()) {
        QFont schrift(QStringLiteral("Courier New"));
        schrift.setStyleHint(QFont::TypeWriter);
        schrift.setPointSize(8);
        maler.setFont(schrift);
        maler.setPen(Qt::black);
        maler.drawText(QRect(4, 4, width() - 8, height() - 8), Qt::AlignCenter, m_hinweis);
    }
    Zeichnen(maler, m_striche, 1);
    Zeichnen(maler, m_laufstriche, 2);
}

} // namespace orvexa
