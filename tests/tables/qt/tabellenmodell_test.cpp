// The grid's model, delegate and heads over the position table, on Qt's offscreen platform.

#include "tables/qt/tabellenmodell.h"

#include "core/maschinenparameter.h"
#include "testhilfen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QValidator>

#include <gmock/gmock.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace orvexa;
using orvexa::test::Datei_schreiben;
using orvexa::test::Testumgebung;

namespace {

class TabellenmodellTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parameter_Standardwerte(); // Modul 5
        t.TabelleLoeschen();
        modell = std::make_unique<Tabellenmodell>(t);
    }

    QVariant Wert(int zeile, int spalte, int rolle = Qt::DisplayRole) const {
        return modell->data(modell->Zellindex(zeile, spalte), rolle);
    }
    QColor Hintergrund(int zeile, int spalte) const {
        return Wert(zeile, spalte, Qt::BackgroundRole).value<QBrush>().color();
    }
    QColor Kopffarbe() const {
        return modell->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color();
    }
    bool Setzen(int zeile, int spalte, const QString& text) {
        return modell->setData(modell->Zellindex(zeile, spalte), text, Qt::EditRole);
    }

    Positionstabelle t;
    std::unique_ptr<Tabellenmodell> modell;
};

// --- Texts, colours, alignment ------------------------------------------------------------

TEST_F(TabellenmodellTest, ZeigtDieTabelleOhneKopfzeileUndNummernspalte) {
    EXPECT_EQ(modell->rowCount(), 5);
    EXPECT_EQ(modell->columnCount(), 14);
    EXPECT_EQ(modell->headerData(0, Qt::Horizontal).toString(), "E1-Verkn.");
    EXPECT_EQ(modell->headerData(5, Qt::Horizontal).toString(), "X-Achse [mm]");
    EXPECT_EQ(modell->headerData(13, Qt::Horizontal).toString(), "WH");
    EXPECT_EQ(modell->headerData(4, Qt::Vertical).toInt(), 5);
    EXPECT_FALSE(modell->headerData(14, Qt::Horizontal).isValid());
    EXPECT_FALSE(modell->data(modell->index(5, 0)).isValid());
}

TEST_F(TabellenmodellTest, AnzeigeUndBearbeitungstextUnterscheidenSich) {
    ASSERT_TRUE(t.Zelle_setzen(1, 6, "12,5"));
    ASSERT_TRUE(t.Zelle_setzen(1, 10, "1.500"));
    EXPECT_EQ(Wert(1, 6).toString(), "12.50");
    EXPECT_EQ(Wert(1, 6, Qt::EditRole).toString(), "12,5");
    EXPECT_EQ(Wert(1, 10).toString(), "1500");
    EXPECT_EQ(Wert(1, 7).toString(), "0.00");

    t.Schritteingabe = true;
    EXPECT_EQ(Wert(1, 7).toString(), "0");

    Parametersatz().Modul = 0;
    EXPECT_EQ(Wert(1, 9).toString(), "-//-");
}

TEST_F(TabellenmodellTest, UmlauteKommenUnverfaelschtAn) {
    ASSERT_TRUE(Setzen(2, 14, QString::fromUtf8("ä5")));
    EXPECT_EQ(Wert(2, 14, Qt::EditRole).toString(), QString::fromUtf8("ä5"));
    EXPECT_EQ(t.Zelle(2, 14), "\xC3\xA4"
                              "5");
}

TEST_F(TabellenmodellTest, AktuelleZeileIstHellgruenUndMeldetSich) {
    QSignalSpy geaendert(modell.get(), &QAbstractItemModel::dataChanged);
    modell->AktuelleZeile_setzen(3);
    EXPECT_EQ(Hintergrund(3, 1), QColor(0xCA, 0xFF, 0xCA));
    EXPECT_EQ(Hintergrund(3, 14), QColor(0xCA, 0xFF, 0xCA));
    EXPECT_EQ(Hintergrund(2, 6), QColor(Qt::white));
    modell->AktuelleZeile_setzen(4);
    EXPECT_EQ(Hintergrund(3, 1), QColor(Qt::white));
    // The old row and the new row are redrawn.
    ASSERT_EQ(geaendert.count(), 3);
    EXPECT_EQ(geaendert.at(1).at(0).value<QModelIndex>().row(), 2);
    EXPECT_EQ(geaendert.at(2).at(0).value<QModelIndex>().row(), 3);
    modell->AktuelleZeile_setzen(-1);
    EXPECT_EQ(Hintergrund(4, 1), QColor(Qt::white));
}

TEST_F(TabellenmodellTest, KopffarbeNachModus) {
    EXPECT_EQ(Kopffarbe(), QApplication::palette().color(QPalette::Button));
    t.Schritteingabe = true;
    EXPECT_EQ(Kopffarbe(), QColor(0xFF, 0xFF, 0x80));
    EXPECT_EQ(modell->headerData(2, Qt::Vertical, Qt::BackgroundRole).value<QBrush>().color(),
              QColor(0xFF, 0xFF, 0x80));
    t.Modus.Winkel = true;
    EXPECT_EQ(Kopffarbe(), QColor(0x80, 0xFF, 0xFF));
}

TEST_F(TabellenmodellTest, WiederholungUeberdecktNurDieAnzeige) {
    ASSERT_TRUE(t.Zelle_setzen(2, 14, "3"));
    t.Geaendert = false;
    QSignalSpy geaendert(modell.get(), &QAbstractItemModel::dataChanged);
    modell->Wiederholung_anzeigen(2, "2 von 3");
    EXPECT_EQ(Wert(2, 14).toString(), "2 von 3");
    EXPECT_EQ(Wert(2, 14, Qt::EditRole).toString(), "3");
    EXPECT_EQ(t.Zelle(2, 14), "3");
    EXPECT_FALSE(t.Geaendert);
    EXPECT_EQ(Wert(1, 14).toString(), "-");
    modell->Wiederholung_anzeigen(2, "");
    EXPECT_EQ(Wert(2, 14).toString(), "3");
    EXPECT_EQ(geaendert.count(), 2);
    // Rows outside the table are ignored.
    modell->Wiederholung_anzeigen(0, "1 von 1");
    modell->Wiederholung_anzeigen(6, "1 von 1");
    EXPECT_EQ(geaendert.count(), 2);
}

// --- Editing ------------------------------------------------------------------------------

TEST_F(TabellenmodellTest, BearbeitbarNachSpalteTypUndModus) {
    const auto bearbeitbar = [&](int spalte) {
        return modell->flags(modell->Zellindex(1, spalte)).testFlag(Qt::ItemIsEditable);
    };
    for (int spalte = 1; spalte <= 5; ++spalte)
        EXPECT_FALSE(bearbeitbar(spalte)) << spalte;
    for (int spalte = 6; spalte <= 14; ++spalte)
        EXPECT_TRUE(bearbeitbar(spalte)) << spalte;
    Parametersatz().Modul = 0;
    EXPECT_FALSE(bearbeitbar(9));
    EXPECT_FALSE(Setzen(1, 9, "5"));
    t.Modus.Winkel = true;
    EXPECT_TRUE(bearbeitbar(6));
    EXPECT_FALSE(bearbeitbar(7));
    EXPECT_FALSE(bearbeitbar(8));
}

TEST_F(TabellenmodellTest, LeerraumUndSteuerzeichenWerdenAbgewiesen) {
    ASSERT_TRUE(Setzen(1, 6, "10"));
    for (const char* text : {"1 0", " 10", "10\t", "1\n0", "\xE2\x82\xAC\xE2\x80\x83"}) {
        EXPECT_FALSE(Setzen(1, 6, QString::fromUtf8(text))) << text;
        EXPECT_EQ(t.Zelle(1, 6), "10") << text;
    }
    // A character the file cannot store is refused too.
    EXPECT_FALSE(Setzen(1, 6, QString::fromUtf8("\xE2\x86\x92")));
    // An emptied cell holds the empty value.
    EXPECT_TRUE(Setzen(1, 6, ""));
    EXPECT_EQ(t.Zelle(1, 6), "-");
}

TEST_F(TabellenmodellTest, EditorNimmtKeinenLeerraumUndMarkiertGeaendert) {
    QTableView ansicht;
    ansicht.setModel(modell.get());
    Zellendelegat delegat;
    ASSERT_TRUE(t.Zelle_setzen(2, 6, "7.5"));
    t.Geaendert = false;
    const QModelIndex zelle = modell->Zellindex(2, 6);
    std::unique_ptr<QWidget> editor(delegat.createEditor(ansicht.viewport(), {}, zelle));
    auto* zeile = qobject_cast<QLineEdit*>(editor.get());
    ASSERT_NE(zeile, nullptr);
    EXPECT_TRUE(t.Geaendert);

    delegat.setEditorData(zeile, zelle);
    EXPECT_EQ(zeile->text(), "7.5");
    ASSERT_NE(zeile->validator(), nullptr);
    int stelle = 0;
    QString text = "7 5";
    EXPECT_EQ(zeile->validator()->validate(text, stelle), QValidator::Invalid);
    text = "-7,25";
    EXPECT_EQ(zeile->validator()->validate(text, stelle), QValidator::Acceptable);

    zeile->setText("-7,25");
    delegat.setModelData(zeile, modell.get(), zelle);
    EXPECT_EQ(t.Zelle(2, 6), "-7,25");

    // The empty value is offered as an empty field.
    delegat.setEditorData(zeile, modell->Zellindex(3, 6));
    EXPECT_EQ(zeile->text(), "");
}

TEST_F(TabellenmodellTest, DoppelklickSchaltetNurAktiveSchaltspalten) {
    QSignalSpy geaendert(modell.get(), &QAbstractItemModel::dataChanged);
    modell->Doppelklick(modell->Zellindex(1, 2));
    EXPECT_EQ(Wert(1, 2).toString(), "ON");
    modell->Doppelklick(modell->Zellindex(1, 2));
    EXPECT_EQ(Wert(1, 2).toString(), "OFF");
    EXPECT_EQ(geaendert.count(), 2);
    Parametersatz().Modul = 0;
    t.Geaendert = false;
    modell->Doppelklick(modell->Zellindex(1, 3));
    EXPECT_EQ(Wert(1, 3).toString(), "-");
    EXPECT_TRUE(t.Geaendert);
    EXPECT_EQ(geaendert.count(), 2);
}

// --- Row commands -------------------------------------------------------------------------

TEST_F(TabellenmodellTest, ZeilenbefehleMeldenGenauDieGeaendertenZeilen) {
    QSignalSpy eingefuegt(modell.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy entfernt(modell.get(), &QAbstractItemModel::rowsRemoved);

    // Nothing selected yet: inserting does nothing, deleting clears row 1.
    ASSERT_TRUE(t.Zelle_setzen(1, 6, "4"));
    modell->ZeileEinfuegen();
    EXPECT_EQ(eingefuegt.count(), 0);
    modell->ZeileLoeschen();
    EXPECT_EQ(entfernt.count(), 0);
    EXPECT_EQ(t.Zelle(1, 6), "-");
    EXPECT_EQ(modell->rowCount(), 5);

    modell->ZeileHinzufuegen(25);
    ASSERT_EQ(eingefuegt.count(), 1);
    EXPECT_EQ(eingefuegt.at(0).at(1).toInt(), 5);
    EXPECT_EQ(eingefuegt.at(0).at(2).toInt(), 29);
    EXPECT_EQ(modell->rowCount(), 30);

    ASSERT_TRUE(t.Zelle_setzen(3, 6, "33"));
    modell->Zelle_waehlen(modell->Zellindex(3, 6));
    modell->ZeileEinfuegen();
    ASSERT_EQ(eingefuegt.count(), 2);
    EXPECT_EQ(eingefuegt.at(1).at(1).toInt(), 2);
    EXPECT_EQ(t.Zelle(4, 6), "33");

    modell->Zelle_waehlen(modell->Zellindex(4, 6));
    modell->ZeileLoeschen();
    ASSERT_EQ(entfernt.count(), 1);
    EXPECT_EQ(entfernt.at(0).at(1).toInt(), 3);
    EXPECT_EQ(modell->rowCount(), 30);
    EXPECT_EQ(t.Zelle(4, 6), "-");
}

TEST_F(TabellenmodellTest, LetzteZeileLoeschenLaesstEineLeereZeile) {
    t.Zelle_waehlen(1, 6);
    for (int i = 0; i < 6; ++i)
        modell->ZeileLoeschen();
    EXPECT_EQ(modell->rowCount(), 1);
    ASSERT_TRUE(Setzen(1, 6, "9"));
    modell->ZeileLoeschen();
    EXPECT_EQ(modell->rowCount(), 1);
    EXPECT_EQ(t.Zelle(1, 6), "-");
}

// --- Drawing ------------------------------------------------------------------------------

class TabellenansichtTest : public TabellenmodellTest {
protected:
    void SetUp() override {
        TabellenmodellTest::SetUp();
        ansicht.reset(Tabellenansicht_erzeugen(*modell, nullptr));
        ansicht->resize(1100, 300);
        ansicht->show();
    }
    void TearDown() override {
        ansicht.reset();
        TabellenmodellTest::TearDown();
    }
    // The cell's rectangle in the grabbed image of the whole view.
    QRect Zellrechteck(int zeile, int spalte) const {
        const QRect r = ansicht->visualRect(modell->Zellindex(zeile, spalte));
        return r.translated(ansicht->viewport()->mapTo(ansicht.get(), QPoint(0, 0)));
    }

    std::unique_ptr<QTableView> ansicht;
};

TEST_F(TabellenansichtTest, SpaltenbreitenUndZeilenhoehe) {
    const auto& breiten = t.Spaltenbreiten();
    for (int spalte = 1; spalte <= 14; ++spalte)
        EXPECT_EQ(ansicht->columnWidth(spalte - 1), breiten[static_cast<std::size_t>(spalte)])
            << spalte;
    EXPECT_EQ(ansicht->verticalHeader()->width(), breiten[0]);
    EXPECT_EQ(ansicht->rowHeight(0), 18);
    EXPECT_EQ(ansicht->horizontalHeader()->height(), 18);

    t.Modus.Winkel = true;
    modell->TabelleLoeschen();
    EXPECT_EQ(ansicht->columnWidth(5), 90);
    EXPECT_EQ(ansicht->columnWidth(6), 61);
}

TEST_F(TabellenansichtTest, GezeichneteFarbenUndRechterRand) {
    ASSERT_TRUE(t.Zelle_setzen(2, 6, "88888"));
    modell->AktuelleZeile_setzen(2);
    t.Schritteingabe = true;
    modell->TabelleUmwandeln();
    const QImage bild = ansicht->grab().toImage();

    const QRect gruen = Zellrechteck(2, 10);
    EXPECT_EQ(bild.pixelColor(gruen.left() + 3, gruen.top() + 3), QColor(0xCA, 0xFF, 0xCA));
    const QRect weiss = Zellrechteck(3, 10);
    EXPECT_EQ(bild.pixelColor(weiss.left() + 3, weiss.top() + 3), QColor(Qt::white));
    const QPoint kopf = ansicht->horizontalHeader()->mapTo(ansicht.get(), QPoint(3, 3));
    EXPECT_EQ(bild.pixelColor(kopf), QColor(0xFF, 0xFF, 0x80));
    const QPoint nummer = ansicht->verticalHeader()->mapTo(ansicht.get(), QPoint(3, 3));
    EXPECT_EQ(bild.pixelColor(nummer), QColor(0xFF, 0xFF, 0x80));

    // The x value "88888" ends two widths of "0" before the cell's right edge.
    const QRect zelle = Zellrechteck(2, 6);
    int rechts = -1;
    for (int x = zelle.left(); x <= zelle.right(); ++x)
        for (int y = zelle.top() + 2; y < zelle.bottom() - 1; ++y)
            if (bild.pixelColor(x, y).lightness() < 128) rechts = std::max(rechts, x);
    ASSERT_GT(rechts, zelle.left()) << "no text drawn";
    const int rand = 2 * QFontMetrics(Tabellenmodell::Schrift()).horizontalAdvance('0');
    EXPECT_LE(rechts, zelle.right() - rand + 1);
    EXPECT_GE(rechts, zelle.right() - rand - 3);
}

TEST_F(TabellenansichtTest, HunderttausendZeilenLadenUndRollen) {
    std::string inhalt = "; orvexa2011\r\n;\r\nMillimetereingabe\r\n";
    for (int i = 1; i <= 100'000; ++i)
        inhalt += "ON - OFF - - " + std::to_string(i) + ".50 25.50 0 - 500 400 1200 100 1\r\n";
    t.DateiName = ordner.Datei("gross.edt");
    Datei_schreiben(t.DateiName, inhalt);

    QElapsedTimer uhr;
    uhr.start();
    ASSERT_TRUE(modell->TabelleLaden());
    const qint64 laden_ms = uhr.restart();
    QApplication::processEvents();
    ansicht->scrollToBottom();
    ansicht->grab();
    const qint64 rollen_ms = uhr.restart();
    const int unten = ansicht->rowAt(ansicht->viewport()->height() - 2);
    ansicht->verticalScrollBar()->setValue(ansicht->verticalScrollBar()->maximum() / 2);
    ansicht->grab();
    const qint64 mitte_ms = uhr.elapsed();
    std::printf("100,000 rows: load %lld ms, scroll to end and draw %lld ms, to middle %lld ms\n",
                static_cast<long long>(laden_ms), static_cast<long long>(rollen_ms),
                static_cast<long long>(mitte_ms));
    RecordProperty("laden_ms", static_cast<int>(laden_ms));

    EXPECT_EQ(modell->rowCount(), 100'000);
    EXPECT_EQ(Wert(1'000, 6).toString(), "1000.50");
    EXPECT_EQ(Wert(100'000, 6, Qt::EditRole).toString(), "100000.50");
    EXPECT_EQ(modell->headerData(99'999, Qt::Vertical).toInt(), 100'000);
    // Row numbers of six digits fit into the number column.
    EXPECT_GE(ansicht->verticalHeader()->width(),
              QFontMetrics(Tabellenmodell::Schrift()).horizontalAdvance("100000"));
    EXPECT_EQ(unten, 99'999);
}

} // namespace
