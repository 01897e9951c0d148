// Arbitrary bytes as what the position display sends back: the stream is cut into answers at
// each LF as the link does, and each answer, and the whole input as it is, is read as an
// angle. Besides crashes this checks that a kept answer is the first 19 bytes of what came
// plus the appended LF, and that a reading comes only from an answer that ends in CR LF LF and
// begins (after blanks) with its sign, is finite, has that sign and is no larger than its
// digits allow.
#include "angle/wt_nd261dm.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    const auto pruefen = [](std::string_view antwort) {
        const auto winkel = ND261_Antwort_lesen(antwort);
        if (!winkel) return;
        if (!std::isfinite(*winkel) || !antwort.ends_with("\r\n\n")) __builtin_trap();
        const std::size_t anfang = antwort.find_first_not_of(' ');
        const char zeichen = antwort[anfang];
        if (zeichen != '+' && zeichen != '-') __builtin_trap();
        if (*winkel != 0 && (*winkel < 0) != (zeichen == '-')) __builtin_trap();
        std::size_t ziffern = 0;
        for (const char c : antwort)
            ziffern += c >= '0' && c <= '9';
        // Sixteen nines and more round to the next power of ten as a double: only beyond it
        // would the reading be larger than its digits allow.
        if (ziffern == 0 || std::fabs(*winkel) > std::pow(10.0, static_cast<double>(ziffern)))
            __builtin_trap();
    };
    ND261_Antwortsammler sammler;
    std::string bytes;
    for (std::size_t i = 0; i < groesse; ++i) {
        bytes += static_cast<char>(daten[i]);
        if (sammler.Byte(daten[i])) {
            const std::string antwort = sammler.Abschliessen(true);
            if (antwort != bytes.substr(0, ND261_Antwortsammler::Antwort_max) + '\n')
                __builtin_trap();
            pruefen(antwort);
            sammler = ND261_Antwortsammler{};
            bytes.clear();
        }
    }
    const std::string rest = sammler.Abschliessen(false);
    if (rest != bytes.substr(0, ND261_Antwortsammler::Antwort_max)) __builtin_trap();
    pruefen(rest);
    pruefen(std::string_view(reinterpret_cast<const char*>(daten), groesse));
    return 0;
}
