#pragma once

#include "tables/tabelle.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>

#include <map>
#include <string>

class QTableView;

namespace orvexa {

// The position table as the grid shows it. Model row r is table row r + 1 and model column c
// table column c + 1; the titles (table row 0) are the horizontal header, the row numbers
// (table column 0) the vertical one. Every change of the rows goes through here so that the
// views follow.
class Tabellenmodell : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit Tabellenmodell(Positionstabelle& tabelle, QObject* parent = nullptr);

    Positionstabelle& Tabelle() { return m_tabelle; }
    const Positionstabelle& Tabelle() const { return m_tabelle; }

    int rowCount(const QModelIndex& eltern = {}) const override;
    int columnCount(const QModelIndex& eltern = {}) const override;
    // DisplayRole: what the grid draws; EditRole: the cell as stored; BackgroundRole,
    // TextAlignmentRole and FontRole as drawn.
    QVariant data(const QModelIndex& index, int rolle = Qt::DisplayRole) const override;
    QVariant headerData(int abschnitt, Qt::Orientation richtung,
                        int rolle = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Refuses (false, the cell keeps its text) what the table refuses: blanks, control
    // characters, characters the file cannot store.
    bool setData(const QModelIndex& index, const QVariant& wert, int rolle) override;

    static int Zeile(const QModelIndex& index) { return index.row() + 1; }
    static int Spalte(const QModelIndex& index) { return index.column() + 1; }
    QModelIndex Zellindex(int zeile, int spalte) const { return index(zeile - 1, spalte - 1); }

    // --- The table commands, with the views told ---
    void TabelleLoeschen();
    bool TabelleLaden();
    void ZeileHinzufuegen(int anzahl = 1);
    void ZeileEinfuegen();
    void ZeileLoeschen();
    void TabelleUmwandeln();

    // --- Grid events ---
    // Records the selection; whether the cell may be typed into.
    bool Zelle_waehlen(const QModelIndex& index);
    void Bearbeitung_beginnt() { m_tabelle.Bearbeitung_beginnt(); }
    void Doppelklick(const QModelIndex& index);

    // The row the vector output is executing (1..n), -1 none; drawn light green.
    int AktuelleZeile() const { return m_aktuelle_zeile; }
    void AktuelleZeile_setzen(int zeile);
    // Shows text ("k von n") in the repeat column of zeile without touching the cell; an
    // empty text shows the cell again.
    void Wiederholung_anzeigen(int zeile, const std::string& text);

    // Cell font and colours, shared by the delegate and the headers.
    static QFont Schrift();
    static QColor Farbe(Zellhintergrund hintergrund);
    static constexpr int Zeilenhoehe = 18;

signals:
    // Titles and widths were set anew (TabelleBeschriften ran).
    void Spalten_geaendert();

private:
    void Zeilen_geaendert(int von, int bis);
    void Alles_geaendert();

    Positionstabelle& m_tabelle;
    int m_aktuelle_zeile = -1;
    std::map<int, QString> m_wiederholung;
};

// Draws a cell: background, font, black text, centred or (axis columns) right-aligned with a
// right margin of twice the width of "0". Edits in a line editor that does not take what a
// cell may not hold.
class Zellendelegat : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* maler, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* eltern, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* modell,
                      const QModelIndex& index) const override;
};

// The title row and the row-number column, drawn in the mode colour; also draws "Pos." into
// the view's corner, and reports the column under the pointer for the header hints.
class Tabellenkopf : public QHeaderView {
    Q_OBJECT

public:
    explicit Tabellenkopf(Qt::Orientation richtung, QWidget* eltern = nullptr);

signals:
    // Table column (0..14) under the pointer in the title row.
    void Zeiger_ueber_Spalte(int spalte);

protected:
    void paintSection(QPainter* maler, const QRect& rechteck, int abschnitt) const override;
    void mouseMoveEvent(QMouseEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;
};

// A grid view over modell: fixed 18-pixel rows (so 100,000 rows scroll freely), the heads and
// delegate above, the column widths of the table applied whenever they change, tab-key
// navigation, editing on double-click or typing.
QTableView* Tabellenansicht_erzeugen(Tabellenmodell& modell, QWidget* eltern);

} // namespace orvexa
