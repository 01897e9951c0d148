#include "tabellenmodell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTableView>
#include <QValidator>

#include <algorithm>

namespace orvexa {

// ---- Model --------------------------------------------------------------------------------

Tabellenmodell::Tabellenmodell(Positionstabelle& tabelle, QObject* parent)
    : QAbstractTableModel(parent), m_tabelle(tabelle) {}

int Tabellenmodell::rowCount(const QModelIndex& eltern) const {
    return eltern.isValid() ? 0 : m_tabelle.Zeilenzahl();
}

int Tabellenmodell::columnCount(const QModelIndex& eltern) const {
    return eltern.isValid() ? 0 : Tabellenfelder;
}

QFont Tabellenmodell::Schrift() {
    static const QFont schrift = [] {
        QFont f(QStringLiteral("MS Sans Serif"), 9);
        // The column widths were made for that narrow face; where it is missing, the nearest
        // narrow sans serif stands in, so the titles still fit.
        f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                       QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                       QStringLiteral("DejaVu Sans Condensed")});
        f.setStyleHint(QFont::SansSerif);
        f.setWeight(QFont::Normal);
        return f;
    }();
    return schrift;
}

QColor Tabellenmodell::Farbe(Zellhintergrund hintergrund) {
    switch (hintergrund) {
    case Zellhintergrund::gruen:
        return QColor(0xCA, 0xFF, 0xCA);
    case Zellhintergrund::weiss:
        return Qt::white;
    case Zellhintergrund::kopf_cyan:
        return QColor(0x80, 0xFF, 0xFF);
    case Zellhintergrund::kopf_gelb:
        return QColor(0xFF, 0xFF, 0x80);
    case Zellhintergrund::kopf_standard:
        break;
    }
    return QApplication::palette().color(QPalette::Button);
}

QVariant Tabellenmodell::data(const QModelIndex& index, int rolle) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const int zeile = Zeile(index);
    const int spalte = Spalte(index);
    switch (rolle) {
    case Qt::DisplayRole: {
        if (spalte == Tabellenfelder) {
            const auto ueberdeckt = m_wiederholung.find(zeile);
            if (ueberdeckt != m_wiederholung.end()) return ueberdeckt->second;
        }
        return QString::fromStdString(m_tabelle.Anzeigetext(zeile, spalte));
    }
    case Qt::EditRole: {
        const std::string_view zelle = m_tabelle.Zelle(zeile, spalte);
        return QString::fromUtf8(zelle.data(), static_cast<qsizetype>(zelle.size()));
    }
    case Qt::BackgroundRole:
        return QBrush(Farbe(m_tabelle.Hintergrund(zeile, spalte, m_aktuelle_zeile)));
    case Qt::ForegroundRole:
        return QBrush(Qt::black);
    case Qt::TextAlignmentRole:
        return static_cast<int>(m_tabelle.Rechtsbuendig(zeile, spalte)
                                    ? Qt::AlignRight | Qt::AlignVCenter
                                    : Qt::AlignCenter);
    case Qt::FontRole:
        return Schrift();
    default:
        return {};
    }
}

QVariant Tabellenmodell::headerData(int abschnitt, Qt::Orientation richtung, int rolle) const {
    const bool waagrecht = richtung == Qt::Horizontal;
    if (abschnitt < 0 || abschnitt >= (waagrecht ? columnCount() : rowCount())) return {};
    switch (rolle) {
    case Qt::DisplayRole:
        if (waagrecht)
            return QString::fromStdString(
                m_tabelle.Titel()[static_cast<std::size_t>(abschnitt + 1)]);
        return abschnitt + 1;
    case Qt::BackgroundRole:
        return QBrush(Farbe(waagrecht ? m_tabelle.Hintergrund(0, abschnitt + 1, -1)
                                      : m_tabelle.Hintergrund(abschnitt + 1, 0, -1)));
    case Qt::ForegroundRole:
        return QBrush(Qt::black);
    case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignCenter);
    case Qt::FontRole:
        return Schrift();
    default:
        return {};
    }
}

Qt::ItemFlags Tabellenmodell::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_tabelle.Zelle_editierbar(Spalte(index))) f |= Qt::ItemIsEditable;
    return f;
}

bool Tabellenmodell::setData(const QModelIndex& index, const QVariant& wert, int rolle) {
    if (!index.isValid() || rolle != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QByteArray text = wert.toString().toUtf8();
    if (!m_tabelle.Zelle_setzen(
            Zeile(index), Spalte(index),
            std::string_view(text.constData(), static_cast<std::size_t>(text.size()))))
        return false;
    emit dataChanged(index, index);
    return true;
}

void Tabellenmodell::Zeilen_geaendert(int von, int bis) {
    if (rowCount() == 0 || bis < von) return;
    von = std::clamp(von, 1, rowCount());
    bis = std::clamp(bis, 1, rowCount());
    emit dataChanged(Zellindex(von, 1), Zellindex(bis, Tabellenfelder));
}

void Tabellenmodell::Alles_geaendert() {
    Zeilen_geaendert(1, rowCount());
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    emit Spalten_geaendert();
}

void Tabellenmodell::TabelleLoeschen() {
    beginResetModel();
    m_tabelle.TabelleLoeschen();
    m_wiederholung.clear();
    endResetModel();
    emit Spalten_geaendert();
}

bool Tabellenmodell::TabelleLaden() {
    beginResetModel();
    const bool gelesen = m_tabelle.TabelleLaden();
    m_wiederholung.clear();
    endResetModel();
    emit Spalten_geaendert();
    return gelesen;
}

void Tabellenmodell::ZeileHinzufuegen(int anzahl) {
    const int zeilen = rowCount();
    anzahl = std::min(anzahl, Tabelle_max_Zeilen - zeilen);
    if (anzahl <= 0) return;
    beginInsertRows({}, zeilen, zeilen + anzahl - 1);
    m_tabelle.ZeileHinzufuegen(anzahl);
    endInsertRows();
}

void Tabellenmodell::ZeileEinfuegen() {
    const int zeile = m_tabelle.AktZeile;
    if (zeile < 1 || zeile > rowCount() || rowCount() >= Tabelle_max_Zeilen) return;
    // Shown repetitions belong to the rows as they were numbered.
    m_wiederholung.clear();
    beginInsertRows({}, zeile - 1, zeile - 1);
    m_tabelle.ZeileEinfuegen();
    endInsertRows();
}

void Tabellenmodell::ZeileLoeschen() {
    const int zeile = m_tabelle.AktZeile;
    m_wiederholung.clear();
    if (zeile >= 1 && zeile <= rowCount() && rowCount() >= 2) {
        beginRemoveRows({}, zeile - 1, zeile - 1);
        m_tabelle.ZeileLoeschen();
        endRemoveRows();
        return;
    }
    m_tabelle.ZeileLoeschen();
    Zeilen_geaendert(1, 1);
}

void Tabellenmodell::TabelleUmwandeln() {
    m_tabelle.TabelleUmwandeln();
    Alles_geaendert();
}

bool Tabellenmodell::Zelle_waehlen(const QModelIndex& index) {
    if (!index.isValid()) return false;
    return m_tabelle.Zelle_waehlen(Zeile(index), Spalte(index));
}

void Tabellenmodell::Doppelklick(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (m_tabelle.Doppelklick(Zeile(index), Spalte(index))) emit dataChanged(index, index);
}

void Tabellenmodell::AktuelleZeile_setzen(int zeile) {
    if (zeile == m_aktuelle_zeile) return;
    const int alt = m_aktuelle_zeile;
    m_aktuelle_zeile = zeile;
    if (alt >= 1) Zeilen_geaendert(alt, alt);
    if (zeile >= 1) Zeilen_geaendert(zeile, zeile);
}

void Tabellenmodell::Wiederholung_anzeigen(int zeile, const std::string& text) {
    if (zeile < 1 || zeile > rowCount()) return;
    if (text.empty())
        m_wiederholung.erase(zeile);
    else
        m_wiederholung[zeile] = QString::fromStdString(text);
    const QModelIndex zelle = Zellindex(zeile, Tabellenfelder);
    emit dataChanged(zelle, zelle, {Qt::DisplayRole});
}

// ---- Delegate -----------------------------------------------------------------------------

namespace {

// Takes only what a cell may hold, so the editor never shows a text the table would refuse.
class Zelltextpruefer : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& eingabe, int& /*position*/) const override {
        const QByteArray text = eingabe.toUtf8();
        return Zelltext_gueltig(
                   std::string_view(text.constData(), static_cast<std::size_t>(text.size())))
                   ? Acceptable
                   : Invalid;
    }
};

void Text_zeichnen(QPainter* maler, const QRect& rechteck, const QString& text, bool rechts) {
    maler->setFont(Tabellenmodell::Schrift());
    maler->setPen(Qt::black);
    QRect feld = rechteck;
    if (rechts) {
        feld.setRight(feld.right() - 2 * maler->fontMetrics().horizontalAdvance(QLatin1Char('0')));
        maler->drawText(feld, Qt::AlignRight | Qt::AlignVCenter, text);
    } else {
        maler->drawText(feld, Qt::AlignCenter, text);
    }
}

} // namespace

void Zellendelegat::paint(QPainter* maler, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    maler->save();
    maler->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QBrush>());
    const bool rechts =
        (index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask) == Qt::AlignRight;
    // Rows are all of the default height; the text sits in its middle.
    QRect feld = option.rect;
    feld.setHeight(std::min(feld.height(), Tabellenmodell::Zeilenhoehe));
    Text_zeichnen(maler, feld, index.data(Qt::DisplayRole).toString(), rechts);
    // The selected cell keeps its colours and gets a frame, so the green row stays visible.
    if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) {
        maler->setPen(QPen(option.palette.color(QPalette::Highlight), 1,
                           option.state & QStyle::State_HasFocus ? Qt::DotLine : Qt::SolidLine));
        maler->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    maler->restore();
}

QWidget* Zellendelegat::createEditor(QWidget* eltern, const QStyleOptionViewItem& /*option*/,
                                     const QModelIndex& index) const {
    if (auto* modell =
            qobject_cast<Tabellenmodell*>(const_cast<QAbstractItemModel*>(index.model())))
        modell->Bearbeitung_beginnt();
    auto* editor = new QLineEdit(eltern);
    editor->setFrame(false);
    editor->setFont(Tabellenmodell::Schrift());
    editor->setValidator(new Zelltextpruefer(editor));
    return editor;
}

void Zellendelegat::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* zeile = qobject_cast<QLineEdit*>(editor)) {
        QString text = index.data(Qt::EditRole).toString();
        // The empty value is offered as an empty field to type into.
        if (text == QLatin1String("-")) text.clear();
        zeile->setText(text);
        zeile->selectAll();
    }
}

void Zellendelegat::setModelData(QWidget* editor, QAbstractItemModel* modell,
                                 const QModelIndex& index) const {
    if (auto* zeile = qobject_cast<QLineEdit*>(editor))
        modell->setData(index, zeile->text(), Qt::EditRole);
}

// ---- Heads --------------------------------------------------------------------------------

Tabellenkopf::Tabellenkopf(Qt::Orientation richtung, QWidget* eltern)
    : QHeaderView(richtung, eltern) {
    setMouseTracking(true);
    setSectionsClickable(false);
    setHighlightSections(false);
}

namespace {

void Kopffeld_zeichnen(QPainter* maler, const QRect& rechteck, const QBrush& hintergrund,
                       const QString& text) {
    maler->fillRect(rechteck, hintergrund);
    maler->setPen(QColor(0x80, 0x80, 0x80));
    maler->drawLine(rechteck.topRight(), rechteck.bottomRight());
    maler->drawLine(rechteck.bottomLeft(), rechteck.bottomRight());
    QRect feld = rechteck;
    feld.setHeight(std::min(feld.height(), Tabellenmodell::Zeilenhoehe));
    Text_zeichnen(maler, feld, text, false);
}

} // namespace

void Tabellenkopf::paintSection(QPainter* maler, const QRect& rechteck, int abschnitt) const {
    if (!rechteck.isValid() || !model()) return;
    maler->save();
    Kopffeld_zeichnen(
        maler, rechteck,
        model()->headerData(abschnitt, orientation(), Qt::BackgroundRole).value<QBrush>(),
        model()->headerData(abschnitt, orientation(), Qt::DisplayRole).toString());
    maler->restore();
}

void Tabellenkopf::mouseMoveEvent(QMouseEvent* ereignis) {
    QHeaderView::mouseMoveEvent(ereignis);
    if (orientation() != Qt::Horizontal) return;
    const int abschnitt = logicalIndexAt(ereignis->position().toPoint());
    emit Zeiger_ueber_Spalte(abschnitt < 0 ? -1 : abschnitt + 1);
}

bool Tabellenkopf::eventFilter(QObject* objekt, QEvent* ereignis) {
    // The corner above the row numbers carries the title of column 0.
    auto* ecke = qobject_cast<QWidget*>(objekt);
    auto* modell = qobject_cast<Tabellenmodell*>(model());
    if (ecke && modell && ereignis->type() == QEvent::Paint) {
        QPainter maler(ecke);
        const Positionstabelle& t = modell->Tabelle();
        Kopffeld_zeichnen(&maler, ecke->rect(),
                          QBrush(Tabellenmodell::Farbe(t.Hintergrund(0, 0, -1))),
                          QString::fromStdString(t.Titel()[0]));
        return true;
    }
    return QHeaderView::eventFilter(objekt, ereignis);
}

// ---- View ---------------------------------------------------------------------------------

namespace {

void Breiten_anwenden(QTableView& ansicht, const Tabellenmodell& modell) {
    const auto& breiten = modell.Tabelle().Spaltenbreiten();
    for (int spalte = 1; spalte < Tabellenspalten; ++spalte)
        ansicht.horizontalHeader()->resizeSection(spalte - 1,
                                                  breiten[static_cast<std::size_t>(spalte)]);
    // Column 0 widens when the row numbers would not fit (from 10,000 rows on).
    const QFontMetrics masse(Tabellenmodell::Schrift());
    const int nummernbreite =
        masse.horizontalAdvance(QString::number(std::max(modell.rowCount(), 1))) + 8;
    ansicht.verticalHeader()->setFixedWidth(std::max(breiten[0], nummernbreite));
}

} // namespace

QTableView* Tabellenansicht_erzeugen(Tabellenmodell& modell, QWidget* eltern) {
    auto* ansicht = new QTableView(eltern);
    auto* oben = new Tabellenkopf(Qt::Horizontal, ansicht);
    auto* links = new Tabellenkopf(Qt::Vertical, ansicht);
    ansicht->setHorizontalHeader(oben);
    ansicht->setVerticalHeader(links);
    ansicht->setModel(&modell);
    ansicht->setItemDelegate(new Zellendelegat(ansicht));
    ansicht->setFont(Tabellenmodell::Schrift());

    // Fixed sizes: the view never measures the rows, which keeps 100,000 of them quick.
    oben->setSectionResizeMode(QHeaderView::Fixed);
    oben->setMinimumSectionSize(1);
    oben->setFixedHeight(Tabellenmodell::Zeilenhoehe);
    oben->setStretchLastSection(false);
    links->setSectionResizeMode(QHeaderView::Fixed);
    links->setMinimumSectionSize(1);
    links->setDefaultSectionSize(Tabellenmodell::Zeilenhoehe);
    links->setDefaultAlignment(Qt::AlignCenter);

    ansicht->setSelectionMode(QAbstractItemView::SingleSelection);
    ansicht->setSelectionBehavior(QAbstractItemView::SelectItems);
    ansicht->setTabKeyNavigation(true);
    ansicht->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    ansicht->setWordWrap(false);
    ansicht->setGridStyle(Qt::SolidLine);
    ansicht->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    ansicht->setCornerButtonEnabled(false);
    if (auto* ecke = ansicht->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
        ecke->installEventFilter(oben);

    QObject::connect(&modell, &Tabellenmodell::Spalten_geaendert, ansicht,
                     [ansicht, &modell] { Breiten_anwenden(*ansicht, modell); });
    QObject::connect(&modell, &QAbstractItemModel::rowsInserted, ansicht,
                     [ansicht, &modell] { Breiten_anwenden(*ansicht, modell); });
    QObject::connect(ansicht->selectionModel(), &QItemSelectionModel::currentChanged, ansicht,
                     [&modell](const QModelIndex& jetzt) { modell.Zelle_waehlen(jetzt); });
    QObject::connect(ansicht, &QAbstractItemView::doubleClicked, ansicht,
                     [&modell](const QModelIndex& index) { modell.Doppelklick(index); });
    Breiten_anwenden(*ansicht, modell);
    return ansicht;
}

} // namespace orvexa
