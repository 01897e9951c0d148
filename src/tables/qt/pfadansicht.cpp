#include "pfadansicht.h"

#include "tables/qt/tabellenmodell.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvexa {

namespace {

constexpr int Rand = 16;          // pixels kept free around a fitted path
constexpr int Legendenhoehe = 22; // the line of mark symbols at the bottom
// Above these many, lines are drawn without smoothing and marks as dots: a long table must
// stay quick to zoom.
constexpr std::size_t Glatt_bis_Punkte = 20'000;
constexpr std::size_t Formen_bis_Marken = 20'000;
constexpr double Massstab_min = 1e-9, Massstab_max = 1e9;

const QColor Linienfarbe(0x30, 0x30, 0x30);
const QColor Startfarbe(0x00, 0x00, 0x00);
const QColor Farbe_z_minus(0xC0, 0x00, 0x00);
const QColor Farbe_z_plus(0xE0, 0x80, 0x00);
const QColor Farbe_Ausgang(0xB0, 0x00, 0xB0);

double Begrenzt(double massstab) {
    if (!std::isfinite(massstab)) return 1;
    return std::clamp(massstab, Massstab_min, Massstab_max);
}

// 1, 2 or 5 times a power of ten, near wunsch.
double Runde_Laenge(double wunsch) {
    if (!(wunsch > 0) || !std::isfinite(wunsch)) return 0;
    const double zehner = std::pow(10.0, std::floor(std::log10(wunsch)));
    for (const double f : {1.0, 2.0, 5.0})
        if (f * zehner >= wunsch * 0.7) return f * zehner;
    return 10 * zehner;
}

// Outputs are drawn just above their point, so that a z mark at the same place stays seen.
QPointF Markenort(const QPointF& p, Markenart art) {
    const bool ausgang = art == Markenart::ausgang_ein || art == Markenart::ausgang_aus;
    return ausgang ? p + QPointF(0, -8) : p;
}

void Marke_zeichnen(QPainter& maler, const QPointF& p, Markenart art, double r) {
    switch (art) {
    case Markenart::z_minus: {
        const QPointF ecken[3] = {p + QPointF(-r, -r), p + QPointF(r, -r), p + QPointF(0, r)};
        maler.setPen(Qt::NoPen);
        maler.setBrush(Farbe_z_minus);
        maler.drawPolygon(ecken, 3);
        break;
    }
    case Markenart::z_plus: {
        const QPointF ecken[3] = {p + QPointF(-r, r), p + QPointF(r, r), p + QPointF(0, -r)};
        maler.setPen(Qt::NoPen);
        maler.setBrush(Farbe_z_plus);
        maler.drawPolygon(ecken, 3);
        break;
    }
    case Markenart::ausgang_ein:
        maler.setPen(QPen(Farbe_Ausgang, 1));
        maler.setBrush(Farbe_Ausgang);
        maler.drawRect(QRectF(p.x() - r, p.y() - r, 2 * r, 2 * r));
        break;
    case Markenart::ausgang_aus:
        maler.setPen(QPen(Farbe_Ausgang, 1.5));
        maler.setBrush(Qt::NoBrush);
        maler.drawRect(QRectF(p.x() - r, p.y() - r, 2 * r, 2 * r));
        break;
    }
}

QColor Markenfarbe(Markenart art) {
    switch (art) {
    case Markenart::z_minus:
        return Farbe_z_minus;
    case Markenart::z_plus:
        return Farbe_z_plus;
    default:
        return Farbe_Ausgang;
    }
}

} // namespace

Pfadansicht::Pfadansicht(Tabellenmodell& modell, QWidget* eltern)
    : QWidget(eltern), m_modell(modell) {
    setMinimumWidth(120);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setToolTip(QString::fromUtf8("Rad: vergrößern   Ziehen: verschieben   Doppelklick: einpassen"));

    m_schliessen = new QToolButton(this);
    m_schliessen->setText(QString::fromUtf8("×"));
    m_schliessen->setToolTip(QString::fromUtf8("Pfadvorschau schließen"));
    m_schliessen->setAutoRaise(true);
    m_schliessen->setFixedSize(20, 20);
    connect(m_schliessen, &QToolButton::clicked, this, [this] { emit Schliessen_gewuenscht(); });

    connect(&modell, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& von, const QModelIndex& bis, const QList<int>& rollen) {
                // The highlighted row and the colours change no cell.
                if (!rollen.isEmpty() && !rollen.contains(Qt::DisplayRole) &&
                    !rollen.contains(Qt::EditRole))
                    return;
                Daten_geaendert(von.row() + 1, bis.row() + 1);
            });
    connect(&modell, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int erste, int letzte) {
                m_pfad.Zeilen_eingefuegt(m_modell.Tabelle(), erste + 1, letzte - erste + 1);
                Pfad_geaendert();
            });
    connect(&modell, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int erste, int letzte) {
                m_pfad.Zeilen_entfernt(m_modell.Tabelle(), erste + 1, letzte - erste + 1);
                Pfad_geaendert();
            });
    connect(&modell, &QAbstractItemModel::modelReset, this, [this] {
        // Another table: shown whole again.
        m_eingepasst = true;
        Neu_berechnen();
    });
    // The input mode may have changed with the titles.
    connect(&modell, &Tabellenmodell::Spalten_geaendert, this, [this] {
        const Pfadeinheit vorher = m_pfad.Einheit();
        if (!m_pfad.Zeilen_geaendert(m_modell.Tabelle(), 1, 0)) return;
        if (m_pfad.Einheit() != vorher) m_eingepasst = true;
        Pfad_geaendert();
    });
    Neu_berechnen();
}

void Pfadansicht::Neu_berechnen() {
    m_pfad.Berechnen(m_modell.Tabelle());
    Pfad_geaendert();
}

void Pfadansicht::Daten_geaendert(int von, int bis) {
    const Pfadeinheit vorher = m_pfad.Einheit();
    if (!m_pfad.Zeilen_geaendert(m_modell.Tabelle(), von, bis)) return;
    if (m_pfad.Einheit() != vorher) m_eingepasst = true;
    Pfad_geaendert();
}

void Pfadansicht::Pfad_geaendert() {
    // The drawn path is made when it is next painted, so that a burst of changes costs one.
    m_linie = QPainterPath();
    m_bild = QPixmap();
    if (m_eingepasst) Einpassen();
    update();
}

void Pfadansicht::Laufzeile_setzen(int zeile) {
    if (zeile == m_laufzeile) return;
    m_laufzeile = zeile;
    update();
    emit Laufzeile_gezeigt(zeile);
}

void Pfadansicht::Cursorzeile_setzen(int zeile) {
    if (zeile == m_cursorzeile) return;
    m_cursorzeile = zeile;
    update();
}

void Pfadansicht::Einpassen() {
    m_eingepasst = true;
    m_bild = QPixmap();
    const Pfadrahmen r = m_pfad.Rahmen();
    const double breite = r.rechts - r.links;
    const double hoehe = r.oben - r.unten;
    m_mitte = QPointF((r.links + r.rechts) / 2, (r.unten + r.oben) / 2);
    const double frei_x = std::max(width() - 2 * Rand, 20);
    const double frei_y = std::max(height() - 2 * Rand - Legendenhoehe, 20);
    if (m_pfad.Einheit() == Pfadeinheit::Grad) {
        // Degrees against approaches: each direction has its own scale.
        m_massstab_x = Begrenzt(frei_x / std::max(breite, 1.0));
        m_massstab_y = Begrenzt(frei_y / std::max(hoehe, 1.0));
    } else {
        double s = 0;
        if (breite > 0 && hoehe > 0)
            s = std::min(frei_x / breite, frei_y / hoehe);
        else if (breite > 0)
            s = frei_x / breite;
        else if (hoehe > 0)
            s = frei_y / hoehe;
        else
            s = std::min(frei_x, frei_y) / 10; // a point: ten units across
        m_massstab_x = m_massstab_y = Begrenzt(s);
    }
    update();
}

QPointF Pfadansicht::Bildpunkt(double x, double y) const {
    const double mitte_y = (height() - Legendenhoehe) / 2.0;
    return {width() / 2.0 + (x - m_mitte.x()) * m_massstab_x,
            mitte_y - (y - m_mitte.y()) * m_massstab_y};
}

bool Pfadansicht::Bildpunkt_nach(int zeile, QPointF& punkt) const {
    Pfadpunkt ort;
    if (!m_pfad.Ort_nach(zeile, ort)) return false;
    punkt = Bildpunkt(ort.x, ort.y);
    return true;
}

QString Pfadansicht::Einheitentext() const {
    switch (m_pfad.Einheit()) {
    case Pfadeinheit::Millimeter:
        return QStringLiteral("mm");
    case Pfadeinheit::Schritte:
        return QStringLiteral("Steps");
    case Pfadeinheit::Grad:
        return QStringLiteral("Grad");
    }
    return {};
}

void Pfadansicht::Bild_zeichnen() {
    const qreal dichte = devicePixelRatioF();
    m_bild = QPixmap(size() * dichte);
    m_bild.setDevicePixelRatio(dichte);
    m_bild.fill(Qt::transparent);
    QPainter maler(&m_bild);
    const std::vector<Pfadpunkt>& punkte = m_pfad.Punkte();

    if (m_linie.isEmpty() && punkte.size() > 1) {
        m_linie.reserve(static_cast<int>(punkte.size()));
        m_linie.moveTo(punkte.front().x, punkte.front().y);
        for (std::size_t i = 1; i < punkte.size(); ++i)
            m_linie.lineTo(punkte[i].x, punkte[i].y);
    }
    const QPointF null = Bildpunkt(0, 0);
    maler.setRenderHint(QPainter::Antialiasing, punkte.size() <= Glatt_bis_Punkte);
    if (!m_linie.isEmpty()) {
        maler.save();
        maler.setTransform(QTransform(m_massstab_x, 0, 0, -m_massstab_y, null.x(), null.y()));
        QPen stift(Linienfarbe, 1);
        stift.setCosmetic(true);
        maler.setPen(stift);
        maler.setBrush(Qt::NoBrush);
        maler.drawPath(m_linie);
        maler.restore();
    }

    const QRectF sichtbar = QRectF(rect()).adjusted(-6, -6, 6, 6);
    const std::vector<Pfadmarke>& marken = m_pfad.Marken();
    if (marken.size() <= Formen_bis_Marken) {
        for (const Pfadmarke& m : marken) {
            const QPointF p = Markenort(Bildpunkt(m.x, m.y), m.art);
            if (sichtbar.contains(p)) Marke_zeichnen(maler, p, m.art, 3.5);
        }
    } else {
        maler.setRenderHint(QPainter::Antialiasing, false);
        for (const Pfadmarke& m : marken) {
            const QPointF p = Markenort(Bildpunkt(m.x, m.y), m.art);
            if (!sichtbar.contains(p)) continue;
            maler.setPen(QPen(Markenfarbe(m.art), 3));
            maler.drawPoint(p);
        }
    }

    // Where the cycle begins.
    if (!punkte.empty()) {
        maler.setRenderHint(QPainter::Antialiasing, true);
        maler.setPen(QPen(Startfarbe, 1.5));
        maler.setBrush(Qt::white);
        maler.drawEllipse(Bildpunkt(punkte.front().x, punkte.front().y), 4.5, 4.5);
    }
}

void Pfadansicht::Zeile_hervorheben(QPainter& maler, int zeile, const QColor& farbe,
                                    bool ort) const {
    if (zeile < 1 || zeile > m_pfad.Zeilenzahl()) return;
    const Punktbereich bereich = m_pfad.Punkte_der_Zeile(zeile);
    const std::vector<Pfadpunkt>& punkte = m_pfad.Punkte();
    if (bereich.ende > bereich.anfang) {
        QPolygonF linie;
        for (uint32_t i = bereich.anfang > 0 ? bereich.anfang - 1 : 0; i < bereich.ende; ++i)
            linie << Bildpunkt(punkte[i].x, punkte[i].y);
        maler.setRenderHint(QPainter::Antialiasing, true);
        maler.setPen(QPen(farbe, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        maler.setBrush(Qt::NoBrush);
        maler.drawPolyline(linie);
    }
    QPointF p;
    if (!Bildpunkt_nach(zeile, p)) return;
    if (ort) {
        // Solid, without smoothing: the point shows the row's colour exactly.
        maler.setRenderHint(QPainter::Antialiasing, false);
        maler.setPen(Qt::NoPen);
        maler.setBrush(farbe);
        maler.drawEllipse(p, 6, 6);
    } else {
        maler.setRenderHint(QPainter::Antialiasing, true);
        maler.setPen(QPen(farbe, 2));
        maler.setBrush(Qt::NoBrush);
        maler.drawEllipse(p, 7, 7);
    }
}

void Pfadansicht::Massstab_zeichnen(QPainter& maler) const {
    const double laenge = Runde_Laenge(100 / m_massstab_x);
    if (!(laenge > 0)) return;
    const double pixel = laenge * m_massstab_x;
    const double y = height() - Legendenhoehe - 8;
    maler.setRenderHint(QPainter::Antialiasing, false);
    maler.setPen(QPen(Qt::black, 1));
    maler.drawLine(QPointF(8, y), QPointF(8 + pixel, y));
    maler.drawLine(QPointF(8, y - 4), QPointF(8, y + 4));
    maler.drawLine(QPointF(8 + pixel, y - 4), QPointF(8 + pixel, y + 4));
    maler.drawText(QPointF(12 + pixel, y + 4),
                   QString::number(laenge, 'g', 6) + QLatin1Char(' ') + Einheitentext());
}

void Pfadansicht::paintEvent(QPaintEvent*) {
    QPainter maler(this);
    maler.fillRect(rect(), Qt::white);
    if (m_bild.isNull() || m_bild.size() != size() * devicePixelRatioF()) {
        m_bildversatz = QPointF();
        Bild_zeichnen();
    }
    // While dragging, the old picture moves along; it is drawn anew on release.
    maler.drawPixmap(m_bildversatz, m_bild);

    Zeile_hervorheben(maler, m_cursorzeile, Cursorfarbe(), false);
    Zeile_hervorheben(maler, m_laufzeile, Laufzeilenfarbe(), true);

    maler.setRenderHint(QPainter::Antialiasing, false);
    maler.setPen(Qt::black);
    QString kopf = QStringLiteral("Pfad [") + Einheitentext() + QLatin1Char(']');
    if (m_pfad.Einheit() == Pfadeinheit::Grad) kopf += QString::fromUtf8("  ↓ je Anfahrt");
    maler.drawText(QPointF(8, 16), kopf);
    if (m_pfad.Punkte().size() <= 1 && m_pfad.Marken().empty())
        maler.drawText(rect().adjusted(0, 0, 0, -Legendenhoehe), Qt::AlignCenter,
                       QString::fromUtf8("keine Bewegung"));
    else
        Massstab_zeichnen(maler);

    // The legend of the marks.
    const double y = height() - Legendenhoehe / 2.0;
    double x = 12;
    maler.setRenderHint(QPainter::Antialiasing, true);
    const auto eintrag = [&](Markenart art, const char* text) {
        Marke_zeichnen(maler, QPointF(x, y), art, 4);
        maler.setPen(Qt::black);
        const QString t = QString::fromUtf8(text);
        maler.drawText(QPointF(x + 8, y + 4), t);
        x += 16 + maler.fontMetrics().horizontalAdvance(t) + 8;
    };
    eintrag(Markenart::z_minus, "z−");
    eintrag(Markenart::z_plus, "z+");
    eintrag(Markenart::ausgang_ein, "Ausgang ein");
    eintrag(Markenart::ausgang_aus, "Ausgang aus");
    maler.setPen(QColor(0xA0, 0xA0, 0xA0));
    maler.setBrush(Qt::NoBrush);
    maler.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Pfadansicht::resizeEvent(QResizeEvent*) {
    m_schliessen->move(width() - m_schliessen->width() - 2, 2);
    m_bild = QPixmap();
    if (m_eingepasst) Einpassen();
}

void Pfadansicht::wheelEvent(QWheelEvent* ereignis) {
    const double stufen = ereignis->angleDelta().y() / 120.0;
    if (stufen == 0) return;
    const double faktor = std::pow(1.25, stufen);
    const QPointF zeiger = ereignis->position();
    const double mitte_y = (height() - Legendenhoehe) / 2.0;
    // The point under the pointer stays where it is.
    const double x = m_mitte.x() + (zeiger.x() - width() / 2.0) / m_massstab_x;
    const double y = m_mitte.y() - (zeiger.y() - mitte_y) / m_massstab_y;
    m_massstab_x = Begrenzt(m_massstab_x * faktor);
    m_massstab_y = Begrenzt(m_massstab_y * faktor);
    m_mitte = QPointF(x - (zeiger.x() - width() / 2.0) / m_massstab_x,
                      y + (zeiger.y() - mitte_y) / m_massstab_y);
    m_eingepasst = false;
    m_bild = QPixmap();
    update();
    ereignis->accept();
}

void Pfadansicht::mousePressEvent(QMouseEvent* ereignis) {
    if (ereignis->button() != Qt::LeftButton) return;
    m_ziehen = true;
    m_gezogen = false;
    m_ziehanfang = ereignis->position();
    m_mitte_beim_ziehen = m_mitte;
}

void Pfadansicht::mouseMoveEvent(QMouseEvent* ereignis) {
    if (!m_ziehen) return;
    const QPointF weg = ereignis->position() - m_ziehanfang;
    if (!m_gezogen && std::abs(weg.x()) + std::abs(weg.y()) < 4) return;
    m_gezogen = true;
    m_eingepasst = false;
    m_bildversatz = weg;
    m_mitte = m_mitte_beim_ziehen - QPointF(weg.x() / m_massstab_x, -weg.y() / m_massstab_y);
    setCursor(Qt::ClosedHandCursor);
    update();
}

void Pfadansicht::mouseReleaseEvent(QMouseEvent* ereignis) {
    if (ereignis->button() != Qt::LeftButton || !m_ziehen) return;
    m_ziehen = false;
    unsetCursor();
    if (m_gezogen) {
        m_bildversatz = QPointF();
        m_bild = QPixmap();
        update();
        return;
    }
    if (const int zeile = Zeile_bei(ereignis->position()); zeile > 0) emit Zeile_gewaehlt(zeile);
}

void Pfadansicht::mouseDoubleClickEvent(QMouseEvent* ereignis) {
    if (ereignis->button() != Qt::LeftButton) return;
    Einpassen();
}

int Pfadansicht::Zeile_bei(const QPointF& punkt) const {
    constexpr double Fang = 8;
    double bester = Fang * Fang;
    int zeile = 0;
    for (const Pfadpunkt& p : m_pfad.Punkte()) {
        if (p.zeile < 1) continue;
        const QPointF d = Bildpunkt(p.x, p.y) - punkt;
        const double abstand = d.x() * d.x() + d.y() * d.y();
        if (abstand < bester) {
            bester = abstand;
            zeile = p.zeile;
        }
    }
    return zeile;
}

} // namespace orvexa
