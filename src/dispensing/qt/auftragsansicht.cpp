#include "dispensing/qt/auftragsansicht.h"

#include <QFont>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace orvexa {

namespace {

constexpr double Rand = 12.0;
constexpr double Zeilenhoehe = 16.0;
// Beyond these the drawing would only be a smear: no visit path, no numbers.
constexpr std::size_t Pfad_hoechstens = 20'000;
constexpr std::size_t Nummern_hoechstens = 400;

bool Endlich(const DomingOrt& o) {
    return std::isfinite(o.x) && std::isfinite(o.y);
}

QString Zahl(double wert) {
    return QString::number(wert, 'f', 2);
}

} // namespace

Auftragsansicht::Auftragsansicht(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Auftragsansicht::Plan_setzen(Auftragsplan plan) {
    m_plan = std::move(plan);
    update();
}

void Auftragsansicht::Teil_in_Arbeit(int64_t nummer) {
    if (nummer == m_in_arbeit) return;
    m_in_arbeit = nummer;
    update();
}

void Auftragsansicht::Fortsetzpunkt(int64_t nummer) {
    if (nummer == m_fortsetzen) return;
    m_fortsetzen = nummer;
    update();
}

Auftragsansicht::Abbildung Auftragsansicht::Abbildung_jetzt() const {
    const Auftragsrahmen& g = m_plan.Gesamtrahmen;
    // A frame of no size (a single point job in an area of 0) still gets a scale.
    const double breite_mm = std::max(g.rechts - g.links, 1e-3);
    const double hoehe_mm = std::max(g.oben - g.unten, 1e-3);
    const double breite_px = std::max(width() - 2 * Rand, 1.0);
    const double hoehe_px = std::max(height() - 2 * Rand - Zeilenhoehe, 1.0);
    Abbildung a;
    a.massstab = std::min(breite_px / breite_mm, hoehe_px / hoehe_mm);
    a.x0 = Rand + (breite_px - breite_mm * a.massstab) / 2 - g.links * a.massstab;
    a.y0 = Rand + (hoehe_px - hoehe_mm * a.massstab) / 2 + g.oben * a.massstab;
    return a;
}

QPointF Auftragsansicht::Punkt(const Abbildung& a, double x, double y) const {
    return {a.x0 + x * a.massstab, a.y0 - y * a.massstab};
}

QPointF Auftragsansicht::Bildpunkt(const DomingOrt& ort) const {
    return Punkt(Abbildung_jetzt(), ort.x, ort.y);
}

QRectF Auftragsansicht::Rechteck(const Abbildung& a, const Auftragsrahmen& r) const {
    return QRectF(Punkt(a, r.links, r.oben), Punkt(a, r.rechts, r.unten)).normalized();
}

QRectF Auftragsansicht::Formrechteck(const Abbildung& a, const Auftragsteil& t) const {
    const Auftragsrahmen& f = m_plan.Formrahmen;
    return Rechteck(a,
                    {t.Ort.x + f.links, t.Ort.y + f.unten, t.Ort.x + f.rechts, t.Ort.y + f.oben});
}

DomingOrt Auftragsansicht::Kleinster_Abstand() const {
    // Between neighbours in a row, and from the last part of a sheet to the first of the next.
    const DomingJob& j = m_plan.Job;
    constexpr double keiner = std::numeric_limits<double>::infinity();
    DomingOrt d{keiner, keiner};
    if (j.xAnzahl > 1) d.x = std::min(d.x, j.xAbstand);
    if (j.BxAnzahl > 1) d.x = std::min(d.x, j.BxAbstand);
    if (j.yAnzahl > 1) d.y = std::min(d.y, j.yAbstand);
    if (j.ByAnzahl > 1) d.y = std::min(d.y, j.ByAbstand);
    return d;
}

double Auftragsansicht::Punktradius(const Abbildung& a) const {
    // A quarter of the closest pitch, so that neighbours never merge.
    const DomingOrt d = Kleinster_Abstand();
    const double r = std::min(d.x, d.y) * a.massstab / 4;
    return std::isfinite(r) ? std::clamp(r, 1.5, 5.0) : 5.0;
}

QColor Auftragsansicht::Farbe(const Auftragsteil& t) const {
    if (t.Nummer == m_in_arbeit) return QColor::fromRgb(Farbe_in_Arbeit);
    if (t.Nummer == m_fortsetzen) return QColor::fromRgb(Farbe_Fortsetzpunkt);
    if (m_fortsetzen > 0 && t.Nummer < m_fortsetzen) return QColor::fromRgb(Farbe_uebersprungen);
    if (t.ausserhalb) return QColor::fromRgb(Farbe_ausserhalb);
    return QColor::fromRgb(Farbe_Teil);
}

int64_t Auftragsansicht::Teil_bei(const QPointF& punkt) const {
    const Abbildung a = Abbildung_jetzt();
    const double toleranz = std::max(Punktradius(a) + 2.0, 4.0);
    int64_t bestes = 0;
    double naechster = std::numeric_limits<double>::infinity();
    for (const Auftragsteil& t : m_plan.Teile) {
        if (!Endlich(t.Ort)) continue;
        if (!Formrechteck(a, t).adjusted(-toleranz, -toleranz, toleranz, toleranz).contains(punkt))
            continue;
        const QPointF d = punkt - Punkt(a, t.Ort.x, t.Ort.y);
        const double abstand = std::hypot(d.x(), d.y());
        if (abstand < naechster) {
            naechster = abstand;
            bestes = t.Nummer;
        }
    }
    return bestes;
}

QString Auftragsansicht::Hinweistext(int64_t nummer) const {
    const Auftragsteil* t = m_plan.Teil(nummer);
    if (!t) return {};
    QString text = QStringLiteral("Nr. %1 von %2\nixBogen/iyBogen = %3/%4\nix/iy = %5/%6\n"
                                  "x = %7 mm  y = %8 mm")
                       .arg(t->Nummer)
                       .arg(m_plan.Teile_gesamt)
                       .arg(t->Zaehler.ixBogen)
                       .arg(t->Zaehler.iyBogen)
                       .arg(t->Zaehler.ix)
                       .arg(t->Zaehler.iy)
                       .arg(Zahl(t->Ort.x), Zahl(t->Ort.y));
    if (t->ausserhalb) text += QStringLiteral("\naußerhalb des Arbeitsbereichs");
    if (nummer == m_in_arbeit) text += QStringLiteral("\nin Arbeit");
    if (nummer == m_fortsetzen)
        text += QStringLiteral("\nFortsetzen beginnt hier");
    else if (m_fortsetzen > 0 && nummer < m_fortsetzen)
        text += QStringLiteral("\nbeim Fortsetzen übersprungen");
    return text;
}

bool Auftragsansicht::event(QEvent* ereignis) {
    if (ereignis->type() == QEvent::ToolTip) {
        auto* hilfe = static_cast<QHelpEvent*>(ereignis);
        const int64_t nummer = Teil_bei(hilfe->pos());
        if (nummer > 0) {
            QToolTip::showText(hilfe->globalPos(), Hinweistext(nummer), this);
        } else {
            QToolTip::hideText();
            ereignis->ignore();
        }
        return true;
    }
    return QWidget::event(ereignis);
}

void Auftragsansicht::paintEvent(QPaintEvent*) {
    QPainter maler(this);
    maler.fillRect(rect(), QColor(0xe4, 0xe4, 0xe4));
    maler.setRenderHint(QPainter::Antialiasing);
    const Abbildung a = Abbildung_jetzt();
    const double r = Punktradius(a);
    const std::string& form = m_plan.Form;
    // A drawn shape needs only a small mark at the position the run moves to.
    const double punkt = form == "Punkt" ? r : std::min(r, 2.5);

    // The working area.
    const double xA = m_plan.xAbmessung, yA = m_plan.yAbmessung;
    if (std::isfinite(xA) && std::isfinite(yA) && xA > 0 && yA > 0) {
        const QRectF bereich = Rechteck(a, {0, 0, xA, yA});
        maler.fillRect(bereich, Qt::white);
        maler.setPen(QPen(Qt::black, 1));
        maler.drawRect(bereich);
    }

    // The sheets under their parts.
    maler.setPen(QPen(QColor(0x80, 0xa4, 0xd0), 1));
    maler.setBrush(QColor(0xe6, 0xef, 0xfa));
    for (const Auftragsbogen& b : m_plan.Boegen)
        maler.drawRect(Rechteck(a, b.Rahmen).adjusted(-r - 2, -r - 2, r + 2, r + 2));

    // The way the run goes from part to part.
    if (m_plan.Teile.size() > 1 && m_plan.Teile.size() <= Pfad_hoechstens) {
        QPainterPath pfad;
        bool erster = true;
        for (const Auftragsteil& t : m_plan.Teile) {
            if (!Endlich(t.Ort)) continue;
            const QPointF p = Punkt(a, t.Ort.x, t.Ort.y);
            if (erster)
                pfad.moveTo(p);
            else
                pfad.lineTo(p);
            erster = false;
        }
        maler.setPen(QPen(QColor(0xb4, 0xb4, 0xc8), 1, Qt::DotLine));
        maler.setBrush(Qt::NoBrush);
        maler.drawPath(pfad);
    }

    const Auftragsteil* in_arbeit = m_plan.Teil(m_in_arbeit);
    if (in_arbeit && Endlich(in_arbeit->Ort)) {
        QColor schein = QColor::fromRgb(Farbe_in_Arbeit);
        schein.setAlpha(110);
        maler.setPen(Qt::NoPen);
        maler.setBrush(schein);
        maler.drawRoundedRect(Formrechteck(a, *in_arbeit).adjusted(-r - 3, -r - 3, r + 3, r + 3), 3,
                              3);
    }

    for (const Auftragsteil& t : m_plan.Teile) {
        if (!Endlich(t.Ort)) continue;
        const QColor farbe = Farbe(t);
        const QPointF p = Punkt(a, t.Ort.x, t.Ort.y);
        const QRectF umriss = Formrechteck(a, t);
        maler.setBrush(Qt::NoBrush);
        maler.setPen(QPen(farbe, 1.5));
        if (form == "Linie") {
            maler.setPen(QPen(farbe, 2, Qt::SolidLine, Qt::RoundCap));
            maler.drawLine(umriss.topLeft(), umriss.topRight());
        } else if (form == "Kreis") {
            maler.drawEllipse(umriss);
        } else if (form == "Rechteck") {
            maler.drawRect(umriss);
        } else if (form == "HPGL") {
            maler.setPen(QPen(farbe, 1, Qt::DashLine));
            maler.drawRect(umriss);
        }
        maler.setPen(Qt::NoPen);
        maler.setBrush(farbe);
        maler.drawEllipse(p, punkt, punkt);
        if (t.Nummer == m_fortsetzen) {
            maler.setPen(QPen(farbe, 2));
            maler.setBrush(Qt::NoBrush);
            maler.drawEllipse(p, punkt + 4, punkt + 4);
        }
    }

    // Visit numbers right of each part where there is room for them.
    QFont schrift = font();
    schrift.setPointSizeF(7);
    maler.setFont(schrift);
    const QFontMetrics masse(schrift);
    const DomingOrt abstand = Kleinster_Abstand();
    const Auftragsrahmen& f = m_plan.Formrahmen;
    const double frei_x = (abstand.x - std::max(f.rechts - f.links, 0.0)) * a.massstab - 2 * r;
    const double frei_y = (abstand.y - std::max(f.oben - f.unten, 0.0)) * a.massstab - 2 * r;
    const int breiteste = masse.horizontalAdvance(QString::number(m_plan.Teile.size()));
    if (m_plan.Teile.size() <= Nummern_hoechstens && frei_x >= breiteste + 4 &&
        frei_y >= masse.height()) {
        maler.setPen(QColor(0x50, 0x50, 0x50));
        for (const Auftragsteil& t : m_plan.Teile) {
            if (!Endlich(t.Ort)) continue;
            const QPointF p = Punkt(a, t.Ort.x, t.Ort.y);
            const double rechts = std::max(Formrechteck(a, t).right(), p.x() + punkt);
            maler.drawText(QPointF(rechts + 2, p.y() + masse.ascent() / 2.0 - 1),
                           QString::number(t.Nummer));
        }
    }

    // What the drawing holds, and whether the check before a run will pass.
    QString zeile;
    if (!m_plan.Arbeitsbereich_reicht) zeile = QStringLiteral("Teile außerhalb! ");
    zeile += QStringLiteral("%1 Teile").arg(m_plan.Teile_gesamt);
    if (!m_plan.vollstaendig()) zeile += QStringLiteral(" (gezeigt %1)").arg(m_plan.Teile.size());
    zeile += QStringLiteral(", %1 × %2 Bögen, Arbeitsbereich %3 × %4 mm")
                 .arg(m_plan.Job.BxAnzahl)
                 .arg(m_plan.Job.ByAnzahl)
                 .arg(Zahl(xA), Zahl(yA));
    const QRectF textfeld(Rand, height() - Rand - Zeilenhoehe + 2, width() - 2 * Rand, Zeilenhoehe);
    maler.setPen(m_plan.Arbeitsbereich_reicht ? QColor(Qt::black)
                                              : QColor::fromRgb(Farbe_ausserhalb));
    maler.drawText(textfeld, Qt::AlignLeft | Qt::AlignVCenter,
                   masse.elidedText(zeile, Qt::ElideRight, static_cast<int>(textfeld.width())));
}

} // namespace orvexa
