// Arbitrary bytes as a position table file. Besides crashes and overruns this checks that a
// table, once written, reads back to the same bytes.
#include "tables/tabelle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    Positionstabelle gelesen;
    if (!gelesen.Aus_Dateiinhalt(std::string_view(reinterpret_cast<const char*>(daten), groesse)))
        return 0;
    const std::string einmal = gelesen.Dateiinhalt();
    Positionstabelle wieder;
    if (!wieder.Aus_Dateiinhalt(einmal) || wieder.Dateiinhalt() != einmal) __builtin_trap();
    return 0;
}
