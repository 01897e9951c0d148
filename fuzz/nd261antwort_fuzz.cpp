// Arbitrary bytes as what the position display sends back: the stream is cut into answers at
// each LF as the link does, and each answer, and the whole input as it is, is read as an
// angle. Besides crashes this checks that a kept answer never outgrows its 19 characters plus
// the appended LF, and that a reading is always a finite angle.
#include "angle/wt_nd261dm.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    const auto pruefen = [](std::string_view antwort) {
        const auto winkel = ND261_Antwort_lesen(antwort);
        if (winkel && !std::isfinite(*winkel)) __builtin_trap();
    };
    ND261_Antwortsammler sammler;
    for (std::size_t i = 0; i < groesse; ++i) {
        if (sammler.Byte(daten[i])) {
            const std::string antwort = sammler.Abschliessen(true);
            if (antwort.size() > ND261_Antwortsammler::Antwort_max + 1) __builtin_trap();
            pruefen(antwort);
            sammler = ND261_Antwortsammler{};
        }
    }
    pruefen(sammler.Abschliessen(false));
    pruefen(std::string_view(reinterpret_cast<const char*>(daten), groesse));
    return 0;
}
