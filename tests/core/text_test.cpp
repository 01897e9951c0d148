#include "core/text.h"

#include "core/fehler.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvexa;

namespace {

TEST(TextZuZahl, KommaOderPunktAlsDezimaltrenner) {
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl(" 2 . 5 "), 2.5);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("-1,25"), -1.25);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("+3"), 3.0);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl(".5"), 0.5);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("5."), 5.0);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("-0,75"), -0.75);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("007"), 7.0);
}

TEST(TextZuZahl, TextOhneGueltigeZeichenGibtNull) {
    for (const char* text : {"", "   ", "-", "+", "--5", "--", "1e5", "1e400", "nan", "inf", "12a",
                             "\t5", "\xEF\xBC\x91\xEF\xBC\x92" /* full-width 12 */})
        EXPECT_EQ(Text_zu_Zahl(text), 0.0) << text;
}

TEST(TextZuZahl, ZeichenRichtigAberKeineZahlWirft) {
    for (const char* text :
         {"1.2.3", "1,2,3", "1.000,5", "5-3", "-+5", "+-", "5+", ".", ",", "-.", "+,"})
        EXPECT_THROW(Text_zu_Zahl(text), Umwandlungsfehler) << text;
}

TEST(TextZuZahl, NurDieErsten31ZeichenZaehlen) {
    // 34 digits: the last three fall off the 31-character buffer.
    EXPECT_DOUBLE_EQ(Text_zu_Zahl("1234567890123456789012345678901234"),
                     1234567890123456789012345678901.0);
    // Spaces do not take room in the buffer.
    EXPECT_DOUBLE_EQ(Text_zu_Zahl(std::string(200, ' ') + "4,5"), 4.5);
    // A long text whose garbage lies beyond the buffer is read from what fits.
    EXPECT_DOUBLE_EQ(Text_zu_Zahl(std::string(31, '9') + "x"), 9999999999999999999999999999999.0);
    EXPECT_DOUBLE_EQ(Text_zu_Zahl(std::string(100000, '1')), 1111111111111111111111111111111.0);
}

TEST(TextZuGanzzahl, WerteUndVorzeichen) {
    EXPECT_EQ(Text_zu_Ganzzahl("42"), 42);
    EXPECT_EQ(Text_zu_Ganzzahl(" - 7 "), -7);
    EXPECT_EQ(Text_zu_Ganzzahl("+5"), 5);
    EXPECT_EQ(Text_zu_Ganzzahl("0007"), 7);
    EXPECT_EQ(Text_zu_Ganzzahl("2147483647"), 2147483647);
    EXPECT_EQ(Text_zu_Ganzzahl("-2147483648"), INT32_MIN);
}

TEST(TextZuGanzzahl, FremdeZeichenGebenNull) {
    for (const char* text : {"", "   ", "1.5", "2,0", "12a", "0x10", "\xEF\xBC\x91\xEF\xBC\x92"})
        EXPECT_EQ(Text_zu_Ganzzahl(text), 0) << text;
}

TEST(TextZuGanzzahl, KeineZahlOderAusserhalbDesBereichsWirft) {
    for (const char* text : {"+-", "5-3", "--5", "-", "+", "7+", "2147483648", "-2147483649",
                             "99999999999999999999999999999999999"})
        EXPECT_THROW(Text_zu_Ganzzahl(text), Umwandlungsfehler) << text;
}

TEST(TextZuBool, WahreWoerter) {
    EXPECT_TRUE(Text_zu_Bool(" JA "));
    EXPECT_TRUE(Text_zu_Bool("\tWahr\t"));
    EXPECT_TRUE(Text_zu_Bool("TRUE"));
    EXPECT_TRUE(Text_zu_Bool("1"));
    EXPECT_FALSE(Text_zu_Bool("yes"));
    EXPECT_FALSE(Text_zu_Bool("0"));
    EXPECT_FALSE(Text_zu_Bool(""));
    EXPECT_FALSE(Text_zu_Bool("ja nein"));
}

TEST(Textfunktionen, TrimmenUndGanzzahlteil) {
    EXPECT_EQ(Text_trimmen(" \t a b \t"), "a b");
    EXPECT_EQ(Text_trimmen(" \t "), "");
    EXPECT_EQ(Ganzzahlteil(" 12,5 "), "12");
    EXPECT_EQ(Ganzzahlteil("3.75"), "3");
    EXPECT_EQ(Ganzzahlteil("1.2,3"), "1");
    EXPECT_EQ(Ganzzahlteil(",5"), "");
    EXPECT_EQ(Ganzzahlteil("17"), "17");
}

TEST(Textfunktionen, LeerzeichenEntfernenKapptBei31Zeichen) {
    EXPECT_EQ(Leerzeichen_entfernen(" 1 2 3 "), "123");
    EXPECT_EQ(Leerzeichen_entfernen(std::string(40, 'a')), std::string(31, 'a'));
    EXPECT_EQ(Leerzeichen_entfernen(std::string(500, ' ') + "5"), "5");
    // Only spaces are removed; tabs stay (and make a number invalid).
    EXPECT_EQ(Leerzeichen_entfernen("\t1"), "\t1");
    // A two-byte character that would straddle the cut is left out whole.
    EXPECT_EQ(Leerzeichen_entfernen(std::string(30, 'a') + "\xC3\xBC" + "b"), std::string(30, 'a'));
    EXPECT_EQ(Leerzeichen_entfernen(std::string(29, 'a') + "\xC3\xBC" + "b"),
              std::string(29, 'a') + "\xC3\xBC");
}

TEST(Textfunktionen, COMNummer) {
    EXPECT_EQ(COM_Nummer_lesen("COM3"), 3);
    EXPECT_EQ(COM_Nummer_lesen("COM12"), 12);
    EXPECT_EQ(COM_Nummer_lesen("COM"), 0);
    EXPECT_EQ(COM_Nummer_lesen(""), 0);
    EXPECT_EQ(COM_Nummer_lesen("C1O2M3"), 123);
    EXPECT_EQ(COM_Nummer_lesen("COM" + std::string(50, '0') + "5"), 5);
    EXPECT_EQ(COM_Nummer_lesen("COM2147483647"), 2147483647);
    // Longer digit strings name no port.
    EXPECT_EQ(COM_Nummer_lesen("COM2147483648"), 0);
    EXPECT_EQ(COM_Nummer_lesen("COM" + std::string(40, '9')), 0);
}

TEST(Textfunktionen, DateiendungSicherstellen) {
    EXPECT_EQ(Dateiendung_sicherstellen("tabelle", ".edt"), "tabelle.edt");
    EXPECT_EQ(Dateiendung_sicherstellen("tabelle.edt", ".edt"), "tabelle.edt");
    EXPECT_EQ(Dateiendung_sicherstellen("TABELLE.EDT", ".edt"), "TABELLE.EDT");
    EXPECT_EQ(Dateiendung_sicherstellen("job.dom", ".edt"), "job.dom.edt");
    EXPECT_EQ(Dateiendung_sicherstellen("/home/a.b/tabelle", ".edt"), "/home/a.b/tabelle.edt");
    EXPECT_EQ(Dateiendung_sicherstellen("tabelle.", ".edt"), "tabelle..edt");
}

} // namespace
