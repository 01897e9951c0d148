#pragma once

#include "dispensing/hpgldatamodule.h"

#include <QString>
#include <QWidget>

#include <vector>

namespace orvexa {

// The preview box of the Doming window: a white bitmap with the strokes it is given, drawn in
// black 1 pixel wide, the strokes of a contour being played on top of them 2 pixels wide, or a
// note in the middle when there is nothing to show.
class DomingVorschaubild : public QWidget {
    Q_OBJECT

public:
    static constexpr int Breite = 249;
    static constexpr int Hoehe = 249;

    explicit DomingVorschaubild(QWidget* parent = nullptr);

    void Striche_setzen(std::vector<HPGL_Strich> striche);
    void Hinweis_setzen(const QString& text);
    // One executed row of the contour that is being played.
    void Laufstrich_anfuegen(const HPGL_Strich& strich);
    void Laufstriche_loeschen();

    const std::vector<HPGL_Strich>& Striche() const { return m_striche; }
    const std::vector<HPGL_Strich>& Laufstriche() const { return m_laufstriche; }
    const QString& Hinweis() const { return m_hinweis; }

protected:
    void paintEvent(QPaintEvent* ereignis) override;

private:
    std::vector<HPGL_Strich> m_striche;
    std::vector<HPGL_Strich> m_laufstriche;
    QString m_hinweis;
};

} // namespace orvexa
