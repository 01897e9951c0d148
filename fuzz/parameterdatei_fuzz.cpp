// Arbitrary bytes as a parameter file. Besides crashes and overruns this checks that a set,
// once written, reads back exactly as it was written.
#include "core/maschinenparameter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    Maschinenparameter gelesen;
    Parameter_aus_Dateiinhalt(gelesen,
                              std::string_view(reinterpret_cast<const char*>(daten), groesse));

    Maschinenparameter einmal;
    Parameter_aus_Dateiinhalt(einmal, Parameterdatei_Inhalt(gelesen));
    Maschinenparameter zweimal;
    Parameter_aus_Dateiinhalt(zweimal, Parameterdatei_Inhalt(einmal));
    if (!(einmal == zweimal)) __builtin_trap();
    return 0;
}
