#include "core/protokoll.h"

#include "platform/programmverzeichnis.h"
#include "testhilfen.h"

#include <thread>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Temporaerordner;
using orvexa::test::Testumgebung;

namespace {

class ProtokollTest : public Testumgebung {};

TEST_F(ProtokollTest, EbenenBestimmenDenEinzug) {
    Protokoll_schreiben(1, "eins");
    Protokoll_schreiben(2, "zwei");
    Protokoll_schreiben(4, "vier");
    Protokoll_schreiben(8, "acht");
    Protokoll_schreiben(16, "sechzehn");
    Protokoll_schreiben(32, "Startgeschwindigkeit_einstellen(200)");
    Protokoll_schreiben(64, "koraCOM->x");
    Protokoll_schreiben(128, "fehler");
    Protokoll_schreiben(3, "nie");
    Protokoll_schreiben(0, "nie");
    Protokoll_schreiben(256 + 32, "nur das untere Byte zaehlt");
    Protokoll_Zeile("ohne");
    EXPECT_EQ(Protokoll(), (std::vector<std::string>{
                               "eins", " zwei", "  vier", "   acht", "   sechzehn",
                               "    Startgeschwindigkeit_einstellen(200)", "     koraCOM->x",
                               "      fehler", "    nur das untere Byte zaehlt", "ohne"}));
}

TEST_F(ProtokollTest, SteuerzeichenWerdenBenannt) {
    Protokoll_schreiben(64, std::string("#S\r"));
    Protokoll_schreiben(64, std::string("\x06"));
    Protokoll_schreiben(64, std::string("\x01\x02\x03\x07\x15|\x04"));
    const auto z = Protokoll();
    ASSERT_EQ(z.size(), 3u);
    EXPECT_EQ(z[0], "     #S<CR>");
    EXPECT_EQ(z[1], "     <ACK>");
    // Bytes without a name pass unchanged.
    EXPECT_EQ(z[2], "     <SOH><STX><ETX><BEL><NAK>|\x04");
}

TEST_F(ProtokollTest, ZeilenendeImTextBleibtUnveraendert) {
    Protokoll_Zeile("a\nb");
    EXPECT_EQ(orvexa::test::Datei_lesen(Protokolldateiname()), "a\nb\n");
}

TEST(Steuerzeichen_ersetzen, KuerztAuf255ZeichenOhneHalbeNamen) {
    EXPECT_EQ(Steuerzeichen_ersetzen(std::string(1000, 'a')), std::string(255, 'a'));
    // 252 letters leave room for 3 more characters: "<CR>" does not fit and is left out.
    const std::string text = std::string(252, 'a') + "\r" + "b";
    EXPECT_EQ(Steuerzeichen_ersetzen(text), std::string(252, 'a'));
    // A line made of nothing but CRs: 63 names fill 252 characters.
    std::string erwartet;
    for (int i = 0; i < 63; ++i)
        erwartet += "<CR>";
    EXPECT_EQ(Steuerzeichen_ersetzen(std::string(300, '\r')), erwartet);
    // A two-byte character at the cut is dropped whole.
    const std::string umlaut = std::string(254, 'a') + "\xC3\xBC";
    EXPECT_EQ(Steuerzeichen_ersetzen(umlaut), std::string(254, 'a'));
    // The text ends at a terminating zero byte.
    EXPECT_EQ(Steuerzeichen_ersetzen(std::string("ab\0cd", 5)), "ab");
}

TEST_F(ProtokollTest, LangeZeileWirdMitEinzugGekuerzt) {
    Protokoll_schreiben(128, std::string(400, 'x'));
    const auto z = Protokoll();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0], std::string(6, ' ') + std::string(249, 'x'));
}

TEST_F(ProtokollTest, ZeilenAusVielenThreadsVermischenSichNicht) {
    constexpr int threads = 8;
    constexpr int zeilen = 200;
    std::vector<std::thread> t;
    for (int i = 0; i < threads; ++i)
        t.emplace_back([i] {
            const std::string text(200, static_cast<char>('a' + i));
            for (int n = 0; n < zeilen; ++n)
                Protokoll_schreiben(64, text);
        });
    for (auto& th : t)
        th.join();
    const auto z = Protokoll();
    ASSERT_EQ(z.size(), static_cast<size_t>(threads * zeilen));
    for (const auto& zeile : z) {
        ASSERT_EQ(zeile.size(), 205u);
        EXPECT_EQ(zeile.find_first_not_of(zeile[5], 5), std::string::npos) << zeile;
    }
}

TEST_F(ProtokollTest, VonAussenGeloeschteOderVerlegteDateiWirdNeuAngelegt) {
    Protokoll_Zeile("eins");
    ::unlink(Protokolldateiname().c_str()); // someone else deletes the log
    Protokoll_Zeile("zwei");
    EXPECT_EQ(Protokoll(), (std::vector<std::string>{"zwei"}));
    // Another program directory: the lines go to the log there.
    Temporaerordner anderer;
    Programmverzeichnis_setzen(anderer.Pfad());
    Protokoll_Zeile("drei");
    EXPECT_EQ(orvexa::test::Datei_lesen(anderer.Datei("~protokoll.log")), "drei\n");
    Programmverzeichnis_setzen(ordner.Pfad());
    Protokoll_Zeile("vier");
    EXPECT_EQ(Protokoll(), (std::vector<std::string>{"zwei", "vier"}));
}

TEST_F(ProtokollTest, LoeschenUndNichtOeffnenbareDatei) {
    Protokoll_Zeile("x");
    Protokoll_loeschen();
    EXPECT_TRUE(Protokoll().empty());
    Protokoll_loeschen(); // no file: nothing happens
    // A log folder that does not exist loses the line quietly.
    Programmverzeichnis_setzen(ordner.Datei("fehlt/"));
    Protokoll_Zeile("verloren");
    SUCCEED();
}

} // namespace
