// Arbitrary bytes as what an iKXIF or KXCU sends back. The first byte chooses the answer buffer
// (31 or 255 characters) and whether a recording runs; the rest is cut into answers at each CR
// as the module does. Besides crashes and overruns this checks that an answer never outgrows
// its buffer and that the identification is a piece of the answer.
#include "drivers/speicherantwort.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    if (groesse == 0) return 0;
    Antwortleser leser((daten[0] & 1) ? 255 : 31);
    const bool aufzeichnung = (daten[0] & 2) != 0;
    const auto pruefen = [&] {
        const std::string& antwort = leser.Antwort();
        if (antwort.size() > leser.Antwort_max()) __builtin_trap();
        for (std::string_view anfang : {"KX-IKXIF", "KX900i", ""}) {
            const auto kennung = Kennung_lesen(antwort, anfang);
            if (kennung && antwort.find(*kennung) == std::string::npos) __builtin_trap();
        }
        Position_lesen(antwort);
        if (aufzeichnung && leser.Beschaeftigt) __builtin_trap();
    };
    leser.Beginnen();
    for (std::size_t i = 1; i < groesse; ++i) {
        if (leser.Byte(daten[i], aufzeichnung)) {
            pruefen();
            leser.Beginnen();
        }
    }
    pruefen();
    const std::string_view alles(reinterpret_cast<const char*>(daten), groesse);
    Kennung_lesen(alles, "KX900i");
    Position_lesen(alles);
    return 0;
}
