// The answer bytes of the program-storing controllers, without a port.

#include "drivers/speicherantwort.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace orvexa {
namespace {

// Feeds bytes until the first CR; the bytes after it are left.
std::string Lesen(Antwortleser& leser, std::string_view bytes, bool aufzeichnung = false) {
    leser.Beginnen();
    for (char c : bytes)
        if (leser.Byte(static_cast<unsigned char>(c), aufzeichnung)) break;
    return leser.Antwort();
}

TEST(Antwortleser, EtxUndStxSchaltenDenBeschaeftigtFlag) {
    Antwortleser leser(31);
    EXPECT_EQ(Lesen(leser, "\x03\r"), "\x03\r");
    EXPECT_TRUE(leser.Beschaeftigt);
    EXPECT_FALSE(leser.Aufzeichnung_beendet);
    EXPECT_EQ(Lesen(leser, "\x02\rrest"), "\x02\r");
    EXPECT_FALSE(leser.Beschaeftigt);

    // While recording an ETX means "memory full", not busy.
    Lesen(leser, "\x03\r", true);
    EXPECT_FALSE(leser.Beschaeftigt);
    EXPECT_TRUE(leser.Aufzeichnung_beendet);
    // A new answer keeps the flags.
    leser.Beginnen();
    EXPECT_TRUE(leser.Aufzeichnung_beendet);
}

TEST(Antwortleser, UeberlangeAntwortWirdAbgeschnittenUndEndetAmCr) {
    Antwortleser kurz(31);
    const std::string lang = "@V " + std::string(40, 'K') + "\x02\r";
    EXPECT_EQ(Lesen(kurz, lang), lang.substr(0, 31));
    // The STX beyond the buffer still counts.
    kurz.Beschaeftigt = true;
    Lesen(kurz, lang);
    EXPECT_FALSE(kurz.Beschaeftigt);
    Antwortleser weit(255);
    EXPECT_EQ(Lesen(weit, lang), lang);
}

TEST(Speicherantwort, Kennung) {
    struct Fall {
        std::string antwort, anfang;
        std::optional<std::string> kennung;
    };
    const std::vector<Fall> faelle{
        {"@V KX-IKXIF V1.21\r", "KX-IKXIF", "KX-IKXIF V1.21"},
        {"@V KX-IKXIF", "KX-IKXIF", "KX-IKXIF"}, // cut before its CR
        {"@V KX900i KXCU\rrest", "KX900i", "KX900i KXCU"},
        {"@V KX900i\r", "KX-IKXIF", std::nullopt},
        {"@VxKX-IKXIF\r", "KX-IKXIF", "KX-IKXIF"}, // the third character is not looked at
        {"@V\r", "KX900i", std::nullopt},
        {"@V", "", std::nullopt},
        {"@V ", "", ""},
        {"V KX900i\r", "KX900i", std::nullopt},
        {"", "KX900i", std::nullopt},
        {"\x03\r", "KX900i", std::nullopt},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(Kennung_lesen(f.antwort, f.anfang), f.kennung) << f.antwort;
}

TEST(Speicherantwort, Position) {
    struct Fall {
        std::string antwort;
        int32_t position;
    };
    const std::vector<Fall> faelle{
        {"@Lx 1250\r", 1250},
        {"@Lx-1250\r", -1250},
        {"@Ly  +7 \r", 7},
        {"@Lz 2147483647\r", 2147483647},
        {"@Lz 2147483648\r", 0},
        {"@Lz -2147483648\r", int32_t{-2147483647} - 1},
        {"@Lx 12a\r", 0},
        {"@Lx 1 2\r", 0},
        {"@Lx \r", 0},
        {"@Lx\r", 0},
        {"@L", 0},
        {"@Lx 125", 12}, // cut: the last byte is dropped as the CR
        {"@Bx 1250\r", 0},
        {"", 0},
        {"@Lx +-5\r", 0},
        {"@Lx \x02"
         "5\r",
         0},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(Position_lesen(f.antwort), f.position) << f.antwort;
}

} // namespace
} // namespace orvexa
