#pragma once

#include "dispensing/auftragsplan.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace orvexa {

// The whole Doming job at a glance, scaled to fit: the working area, the sheets, every part
// with its shape in the order a run visits it (the number, the sheet and the part on hover),
// parts the check before a run finds outside the area in red, the part in work, and after a
// stop the part "&Fortsetzen" starts with (the parts before it, which a continued run skips,
// in grey). x runs to the right, y up.
class Auftragsansicht : public QWidget {
    Q_OBJECT

public:
    static constexpr QRgb Farbe_Teil = 0xff202060;
    static constexpr QRgb Farbe_ausserhalb = 0xffd01010;
    static constexpr QRgb Farbe_in_Arbeit = 0xffff9900;
    static constexpr QRgb Farbe_Fortsetzpunkt = 0xff00a030;
    static constexpr QRgb Farbe_uebersprungen = 0xffa8a8a8;

    explicit Auftragsansicht(QWidget* parent = nullptr);

    // A new plan keeps the part in work and the continue point; numbers the plan does not
    // list show nothing.
    void Plan_setzen(Auftragsplan plan);
    // The number in the visit order (Auftragsplan::Nummer); 0 for none.
    void Teil_in_Arbeit(int64_t nummer);
    // Auftragsplan::Fortsetznummer of the saved counters; 0 for none.
    void Fortsetzpunkt(int64_t nummer);

    const Auftragsplan& Plan() const { return m_plan; }
    int64_t In_Arbeit() const { return m_in_arbeit; }
    int64_t Fortsetzen_bei() const { return m_fortsetzen; }

    // The part under a point of the widget (its shape, or near its position), 0 for none.
    int64_t Teil_bei(const QPointF& punkt) const;
    // What hovering over the part of that number shows.
    QString Hinweistext(int64_t nummer) const;
    // Where a point of the job (millimetres) lies in the widget.
    QPointF Bildpunkt(const DomingOrt& ort) const;

    QSize sizeHint() const override { return {320, 260}; }
    QSize minimumSizeHint() const override { return {120, 100}; }

protected:
    bool event(QEvent* ereignis) override;
    void paintEvent(QPaintEvent* ereignis) override;

private:
    // Millimetres to pixels for the current size.
    struct Abbildung {
        double massstab = 1.0;
        double x0 = 0.0;
        double y0 = 0.0;
    };
    Abbildung Abbildung_jetzt() const;
    QPointF Punkt(const Abbildung& a, double x, double y) const;
    QRectF Rechteck(const Abbildung& a, const Auftragsrahmen& r) const;
    QRectF Formrechteck(const Abbildung& a, const Auftragsteil& t) const;
    DomingOrt Kleinster_Abstand() const;
    double Punktradius(const Abbildung& a) const;
    QColor Farbe(const Auftragsteil& t) const;

    Auftragsplan m_plan;
    int64_t m_in_arbeit = 0;
    int64_t m_fortsetzen = 0;
};

} // namespace orvexa
