// Arbitrary bytes as the Doming parameter file: no crash, and what is written reads back as
// written and writes the same bytes again.
#include "dispensing/domingparameter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    DomingParameter gelesen;
    DomingParameter_aus_Dateiinhalt(std::string_view(reinterpret_cast<const char*>(daten), groesse),
                                    gelesen);

    const std::string einmal_text = DomingParameter_Dateitext(gelesen);
    DomingParameter einmal;
    if (!DomingParameter_aus_Dateiinhalt(einmal_text, einmal)) __builtin_trap();
    if (DomingParameter_Dateitext(einmal) != einmal_text) __builtin_trap();
    DomingParameter zweimal;
    DomingParameter_aus_Dateiinhalt(DomingParameter_Dateitext(einmal), zweimal);
    if (!(zweimal == einmal)) __builtin_trap();

    DomingParameter angenommen = gelesen;
    DomingParameter_annehmen(angenommen);
    if (!(angenommen.xAbmessung > 0.0) || !(angenommen.yAbmessung > 0.0)) __builtin_trap();
    return 0;
}
