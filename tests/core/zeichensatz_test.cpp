#include "core/zeichensatz.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvexa;

namespace {

TEST(Zeichensatz, BekannteZeichenInBeideRichtungen) {
    EXPECT_EQ(Cp1252_zu_Utf8("Modul=5\r\n"), "Modul=5\r\n");
    EXPECT_EQ(Cp1252_zu_Utf8("Werkst\xFC"
                             "ck"),
              "Werkst\xC3\xBC"
              "ck");
    EXPECT_EQ(Cp1252_zu_Utf8("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    EXPECT_EQ(Utf8_zu_Cp1252("\xC3\x9C\xC3\xA4\xC3\x9F\xE2\x82\xAC"), "\xDC\xE4\xDF\x80");
}

TEST(Zeichensatz, JedesByteUeberstehtHinUndZurueck) {
    std::string alle;
    for (int b = 0; b < 256; ++b)
        alle += static_cast<char>(b);
    const std::string utf8 = Cp1252_zu_Utf8(alle);
    EXPECT_TRUE(Gueltiges_Utf8(utf8));
    EXPECT_EQ(Utf8_zu_Cp1252(utf8), alle);
}

TEST(Zeichensatz, NichtDarstellbaresWirdFragezeichen) {
    EXPECT_EQ(Utf8_zu_Cp1252("a\xE4\xB8\xAD"
                             "b"),
              "a?b");                                   // U+4E2D
    EXPECT_EQ(Utf8_zu_Cp1252("\xF0\x9F\x98\x80"), "?"); // one emoji, one '?'
    EXPECT_EQ(Utf8_zu_Cp1252("\xC2\x80"), "?");         // U+0080: byte 0x80 is the euro
    EXPECT_EQ(Utf8_zu_Cp1252("\xEF\xBC\x91"), "?");     // full-width one
}

TEST(Zeichensatz, UngueltigesUtf8) {
    EXPECT_EQ(Utf8_zu_Cp1252("\x80"), "?");   // stray continuation byte
    EXPECT_EQ(Utf8_zu_Cp1252("x\xC3"), "x?"); // cut off at the end
    EXPECT_EQ(Utf8_zu_Cp1252("\xC3"
                             "A"),
              "?A");                                       // lead byte without continuation
    EXPECT_EQ(Utf8_zu_Cp1252("\xC0\xAF"), "??");           // overlong '/'
    EXPECT_EQ(Utf8_zu_Cp1252("\xED\xA0\x80"), "???");      // surrogate
    EXPECT_EQ(Utf8_zu_Cp1252("\xF4\x90\x80\x80"), "????"); // above U+10FFFF
    EXPECT_EQ(Utf8_zu_Cp1252("\xFC"), "?");                // a Windows-1252 "ü" is no UTF-8
    EXPECT_FALSE(Gueltiges_Utf8("Werkst\xFC"
                                "ck"));
    EXPECT_FALSE(Gueltiges_Utf8("\xE2\x82"));
    EXPECT_TRUE(Gueltiges_Utf8(""));
    EXPECT_TRUE(Gueltiges_Utf8("\xF0\x9F\x98\x80"));
}

} // namespace
