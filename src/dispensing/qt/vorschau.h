#pragma once

#include "dispensing/domingvorschau.h"
#include "dispensing/sprachtabellen.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace orvexa {

// The preview box of the Doming window: a white bitmap of 249 x 249 pixels with the strokes
// of the shape page shown (domingvorschau.h), and on the HPGL page the no-file hint and the
// context menu "HPGL &laden ..." / "HPGL &schließen". It only draws; what the menu entries do
// is the window's (HPGL_laden, HPGL_schliessen).
class TVorschau : public QWidget {
    Q_OBJECT

public:
    explicit TVorschau(QWidget* parent = nullptr);

    // Replaces the drawing: white, then the strokes.
    void Striche_setzen(const std::vector<Strich>& striche);
    // One stroke more on the drawing as it is (a run's progress, 2-pixel strokes).
    void Strich_hinzufuegen(const Strich& strich);
    // White, no strokes, no hint.
    void Leeren();
    // The no-file text, centred in the contour's drawing area in 8-point "Courier New";
    // empty for none. Drawn under the strokes.
    void Hinweis_setzen(const QString& hinweis);

    const std::vector<Strich>& Striche() const { return m_striche; }
    const QImage& Bild() const { return m_bild; }

    // The menu entries in a language.
    void Sprache_anwenden(Sprache sprache);

    // The context menu opens on the right mouse button while either is set (the window sets
    // them on the HPGL page and clears them elsewhere).
    std::function<void()> HPGL_laden;
    std::function<void()> HPGL_schliessen;

    QMenu* Kontextmenue = nullptr;
    QAction* HPGL_ladenAction = nullptr;
    QAction* HPGL_schliessenAction = nullptr;

protected:
    void paintEvent(QPaintEvent* ereignis) override;
    void contextMenuEvent(QContextMenuEvent* ereignis) override;

private:
    void Neu_zeichnen();
    void Zeichnen(const Strich& strich);

    QImage m_bild;
    std::vector<Strich> m_striche;
    QString m_hinweis;
};

// The open dialog of "HPGL &laden ...": the plot files (*.hpgl, *.plt), starting at "*.plt"
// in verzeichnis. Empty when the operator cancels.
QString HPGL_Datei_waehlen(QWidget* parent, Sprache sprache, const QString& verzeichnis = {});

} // namespace orvexa
