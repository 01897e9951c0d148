// Arbitrary bytes as a Doming job file. Besides crashes and overruns this checks that a job,
// once written, reads back as it was written and writes the same bytes again, and that the
// acceptance rules leave a job that they no longer change.
#include "core/maschinenparameter.h"
#include "dispensing/domingjob.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    Maschinenparameter maschine;
    maschine.Eilfreq = 1500;
    maschine.Arbeitsfreq = 700;
    maschine.Rampenlaenge = 100;

    DomingJob gelesen;
    Doming_Dateiinhalt_lesen(std::string_view(reinterpret_cast<const char*>(daten), groesse),
                             gelesen, maschine);

    const std::string einmal_text = Doming_Dateitext(gelesen, gelesen.Type);
    DomingJob einmal;
    if (!Doming_Dateiinhalt_lesen(einmal_text, einmal, maschine)) __builtin_trap();
    const std::string zweimal_text = Doming_Dateitext(einmal, einmal.Type);
    if (zweimal_text != einmal_text) __builtin_trap();
    DomingJob zweimal;
    if (!Doming_Dateiinhalt_lesen(zweimal_text, zweimal, maschine)) __builtin_trap();
    if (!(zweimal == einmal)) __builtin_trap();

    DomingJob angenommen = gelesen;
    Doming_annehmen(angenommen);
    DomingJob nochmal = angenommen;
    Doming_annehmen(nochmal);
    if (!(nochmal == angenommen)) __builtin_trap();
    if (angenommen.KEndwinkel < 180 || angenommen.KEndwinkel > 225) __builtin_trap();
    if (angenommen.xAnzahl < 1 || angenommen.ByAnzahl < 1) __builtin_trap();
    if (!(angenommen.RMinusLaenge >= 0.0) ||
        angenommen.RMinusLaenge > std::max(angenommen.RLaenge, 0.0) / 2 + 1e-9)
        __builtin_trap();
    if (angenommen.HArbeitsfreq > angenommen.Eilfreq) __builtin_trap();
    return 0;
}
