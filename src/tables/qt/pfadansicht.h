#pragma once

#include "tables/pfadmodell.h"

#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QWidget>

class QToolButton;

namespace orvexa {

class Tabellenmodell;

// The path of the position table beside the grid: the x/y moves of one cycle, z moves and
// switched outputs as marks, the row under the grid's cursor and the row the run executes
// drawn over it. The wheel zooms about the pointer, dragging pans, a double click fits the
// path into the view; a click near a corner chooses its row. The view follows every change of
// the grid's model; the path is computed by Pfadmodell and drawn from a cached path.
class Pfadansicht : public QWidget {
    Q_OBJECT

public:
    explicit Pfadansicht(Tabellenmodell& modell, QWidget* eltern = nullptr);

    const Pfadmodell& Pfad() const { return m_pfad; }
    // Reads the whole table again: after the machine parameters changed.
    void Neu_berechnen();

    // The row the run executes, -1 none.
    void Laufzeile_setzen(int zeile);
    int Laufzeile() const { return m_laufzeile; }
    // The row of the grid's cursor, -1 none.
    void Cursorzeile_setzen(int zeile);
    int Cursorzeile() const { return m_cursorzeile; }

    // Fits the whole path into the view; the view then keeps it fitted as the table changes,
    // until the operator zooms or pans.
    void Einpassen();
    bool Eingepasst() const { return m_eingepasst; }
    // Where the path's point (x, y) is drawn, in the view's pixels.
    QPointF Bildpunkt(double x, double y) const;
    // Where the machine stands after zeile, drawn; false when the path has no such point.
    bool Bildpunkt_nach(int zeile, QPointF& punkt) const;

    static QColor Laufzeilenfarbe() { return QColor(0x00, 0xA0, 0x00); }
    static QColor Cursorfarbe() { return QColor(0x20, 0x60, 0xFF); }

signals:
    // A click near a corner of the path chose this row.
    void Zeile_gewaehlt(int zeile);
    // The operator closed the view with its close button.
    void Schliessen_gewuenscht();
    // The highlighted run row was drawn anew (after Laufzeile_setzen).
    void Laufzeile_gezeigt(int zeile);

protected:
    void paintEvent(QPaintEvent* ereignis) override;
    void resizeEvent(QResizeEvent* ereignis) override;
    void wheelEvent(QWheelEvent* ereignis) override;
    void mousePressEvent(QMouseEvent* ereignis) override;
    void mouseMoveEvent(QMouseEvent* ereignis) override;
    void mouseReleaseEvent(QMouseEvent* ereignis) override;
    void mouseDoubleClickEvent(QMouseEvent* ereignis) override;

private:
    void Daten_geaendert(int von, int bis);
    // After the model changed: the cached path anew, refitted while the view follows.
    void Pfad_geaendert();
    void Bild_zeichnen();
    void Zeile_hervorheben(QPainter& maler, int zeile, const QColor& farbe, bool ort) const;
    void Massstab_zeichnen(QPainter& maler) const;
    // The corner nearest to punkt within a few pixels; 0 none.
    int Zeile_bei(const QPointF& punkt) const;
    QString Einheitentext() const;

    Tabellenmodell& m_modell;
    Pfadmodell m_pfad;
    QPainterPath m_linie; // in the table's unit
    QPixmap m_bild;       // path and marks at the current scale; null when out of date
    QPointF m_bildversatz;
    // Pixels per unit and the path point at the middle of the view.
    double m_massstab_x = 1, m_massstab_y = 1;
    QPointF m_mitte;
    bool m_eingepasst = true;
    int m_laufzeile = -1;
    int m_cursorzeile = -1;
    bool m_ziehen = false;
    bool m_gezogen = false;
    QPointF m_ziehanfang;
    QPointF m_mitte_beim_ziehen;
    QToolButton* m_schliessen = nullptr;
};

} // namespace orvexa
