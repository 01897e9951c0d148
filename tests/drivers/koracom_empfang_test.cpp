// The receive machine of the serial link on its own: byte streams and callers' steps in a
// fixed order, the answers each caller gets.
#include "drivers/koracom_empfang.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace orvexa {
namespace {

// A script: "o"/"m" open an ordinary/multi-byte exchange ("a" the request "@A"), "g"/"h" give
// it up, "n"/"k" take an answer (its text, or "-" for none, goes into the result); any other
// step is received as bytes. Bytes that come while an answer waits for room wait in the port.
struct Ablauf {
    const char* name;
    std::vector<std::string> schritte;
    std::vector<std::string> erwartet;
};

std::ostream& operator<<(std::ostream& aus, const Ablauf& a) {
    return aus << a.name;
}

std::vector<std::string> Abspielen(const std::vector<std::string>& schritte) {
    Empfangsautomat automat;
    std::string port;
    std::vector<std::string> ergebnis;
    const auto zufuehren = [&] {
        automat.Ablegen();
        while (!automat.Blockiert() && !port.empty()) {
            automat.Byte(static_cast<unsigned char>(port.front()));
            port.erase(0, 1);
        }
    };
    for (const std::string& s : schritte) {
        std::string antwort;
        if (s == "o" || s == "m" || s == "a")
            automat.Oeffnen(s != "o", s == "a" ? "@A\r" : "@Lx\r");
        else if (s == "g" || s == "h")
            automat.Aufgeben(s == "h");
        else if (s == "n" || s == "k")
            ergebnis.push_back(automat.Antwort_nehmen(s == "k", antwort) ? antwort : "-");
        else
            port += s;
        zufuehren();
    }
    return ergebnis;
}

class Empfang : public ::testing::TestWithParam<Ablauf> {};

TEST_P(Empfang, JederAufruferBekommtSeineAntwort) {
    EXPECT_EQ(Abspielen(GetParam().schritte), GetParam().erwartet);
}

const std::string ACK = "\x06";
const std::string NAK = "\x15";

INSTANTIATE_TEST_SUITE_P(
    Ablaeufe, Empfang,
    ::testing::Values(Ablauf{"Volle_Warteschlange_haelt_die_Bytes_bis_Platz_ist",
                             {"o", "1\r2\r3\r4\r5\r6\r7\r8\r9\r" + ACK, "n", "n", "n", "n", "n",
                              "n", "n", "n", "n", "n", "n"},
                             {"1\r", "2\r", "3\r", "4\r", "5\r", "6\r", "7\r", "8\r", "9\r", ACK,
                              "-"}},
                      Ablauf{"Neue_Anfrage_verwirft_die_zurueckgehaltene_Antwort",
                             {"o", "1\r2\r3\r4\r5\r6\r7\r8\r9\r", "o", "n", ACK, "n"},
                             {"-", ACK}},
                      Ablauf{"Aufgegeben_ohne_Antwort_die_spaete_wird_verworfen",
                             {"o", "g", "o", "A\r", "B\r", "n", "n"},
                             {"B\r", "-"}},
                      Ablauf{"Mehrbyteantwort_mitten_im_Abschluss_und_Sofortstopp",
                             {"o", NAK, "n", "L", "m", "@RS" + ACK, "k", "n"},
                             {NAK, "@RS" + ACK, "L!"}},
                      // Found by fuzzing: a multi-byte answer begun before its request went out was
                      // handed to that request.
                      Ablauf{"Mehrbyteantwort_von_vor_der_Anfrage_geht_an_niemanden",
                             {"@X", "m", "Y" + ACK, "k", "@V 1" + ACK, "k"},
                             {"-", "@V 1" + ACK}},
                      Ablauf{"Spaete_Mehrbyteantwort_ueber_die_naechste_Anfrage_hinweg_verworfen",
                             {"m", "h", "@L", "m", "x 5" + ACK, "k", "@Lx 7" + ACK, "k"},
                             {"-", "@Lx 7" + ACK}},
                      Ablauf{"Fehler_auf_A_als_Mehrbyteantwort_spaeter_gewoehnlich",
                             {"a", "E2\x07", "k", "o", "E1\x07", "n"},
                             {"E2\x07", "E1\x07"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orvexa
