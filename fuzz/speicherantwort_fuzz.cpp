// Arbitrary bytes as what an iKXIF or KXCU sends back. The first byte chooses the answer buffer
// (31 or 255 characters), whether a recording runs and whether it switches at every answer; the
// rest is cut into answers at each CR as the module does. Besides crashes and overruns this
// checks each answer against the bytes that made it (their start, cut to the buffer), the busy
// and memory-full flags against the STX and ETX seen, that the identification is the text
// after "@V " up to the CR, and that a position is made of the digits of its answer.
#include "drivers/speicherantwort.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    if (groesse == 0) return 0;
    Antwortleser leser((daten[0] & 1) ? 255 : 31);
    bool aufzeichnung = (daten[0] & 2) != 0;
    const bool wechseln = (daten[0] & 4) != 0;
    bool beschaeftigt = false;
    bool voll = false;
    std::string bytes; // of the answer now being read
    const auto pruefen = [&] {
        const std::string& antwort = leser.Antwort();
        if (antwort.size() > leser.Antwort_max()) __builtin_trap();
        if (antwort != std::string_view(bytes).substr(0, leser.Antwort_max())) __builtin_trap();
        if (leser.Beschaeftigt != beschaeftigt || leser.Aufzeichnung_beendet != voll)
            __builtin_trap();
        for (std::string_view anfang : {"KX-IKXIF", "KX900i", ""}) {
            const auto kennung = Kennung_lesen(antwort, anfang);
            if (!kennung) continue;
            if (!antwort.starts_with("@V") || !kennung->starts_with(anfang) ||
                kennung->find('\r') != std::string::npos ||
                std::string_view(antwort).substr(3).find(*kennung) != 0)
                __builtin_trap();
        }
        const int32_t position = Position_lesen(antwort);
        if (position != 0) {
            if (!antwort.starts_with("@L")) __builtin_trap();
            const std::string_view text = std::string_view(antwort).substr(3, antwort.size() - 4);
            const std::string ziffern = std::to_string(std::llabs(int64_t{position}));
            if (text.find(ziffern) == std::string_view::npos) __builtin_trap();
            if ((position < 0) != (text.find('-') != std::string_view::npos)) __builtin_trap();
        }
    };
    leser.Beginnen();
    for (std::size_t i = 1; i < groesse; ++i) {
        const unsigned char b = daten[i];
        bytes += static_cast<char>(b);
        if (b == Antwortleser::STX) beschaeftigt = false;
        if (b == Antwortleser::ETX) (aufzeichnung ? voll : beschaeftigt) = true;
        if (leser.Byte(b, aufzeichnung)) {
            pruefen();
            leser.Beginnen();
            bytes.clear();
            if (wechseln) aufzeichnung = !aufzeichnung;
        }
    }
    pruefen();
    const std::string_view alles(reinterpret_cast<const char*>(daten), groesse);
    Kennung_lesen(alles, "KX900i");
    Position_lesen(alles);
    return 0;
}
