// Arbitrary bytes as an HPGL plot file. Besides crashes, overruns and overflows this checks
// what the reader promises: a refused file leaves nothing behind, a read one starts and ends
// with the pen up and lies within its extent, and the table stays in proportion to the file.
#include "dispensing/hpgldatamodule.h"
#include "platform/oberflaeche.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    static AufzeichnendeOberflaeche ui; // no boxes, no beeps
    Oberflaeche_setzen(&ui);
    ui.Leeren();

    THPGLDataModule modul;
    const auto ergebnis =
        modul.HPGL_Text_lesen(std::string_view(reinterpret_cast<const char*>(daten), groesse));
    const auto& t = modul.Tabelle();
    const HPGL_Ausdehnung a = modul.Ausdehnung_mm();

    if (ergebnis != THPGLDataModule::Ergebnis::gelesen) {
        if (!t.empty() || a.xMin != 0 || a.yMin != 0 || a.xMax != 0 || a.yMax != 0)
            __builtin_trap();
        if (ui.Meldungen().empty()) __builtin_trap();
        return 0;
    }
    if (!ui.Meldungen().empty()) __builtin_trap();
    if (t.size() < 2 || t.front().Schritt != HPGL_Schritt::UP ||
        t.back().Schritt != HPGL_Schritt::UP)
        __builtin_trap();
    // An arc of one turn is at most 73 rows plus its DOWN and UP, from four bytes ("CI1;").
    if (t.size() > 2 + 20 * (groesse + 1)) __builtin_trap();
    if (a.xMin > 0 || a.yMin > 0 || a.xMax < 0 || a.yMax < 0) __builtin_trap();
    for (const HPGL_Zeile& z : t) {
        if (z.Schritt != HPGL_Schritt::MOVETO && z.Schritt != HPGL_Schritt::LINTETO) continue;
        if (!std::isfinite(z.x) || !std::isfinite(z.y)) __builtin_trap();
        // The extent holds the truncated plotter units: a row lies less than one unit outside.
        const double rand_x = 0.025 + 1e-12 * std::fabs(z.x);
        const double rand_y = 0.025 + 1e-12 * std::fabs(z.y);
        if (z.x < a.xMin - rand_x || z.x > a.xMax + rand_x || z.y < a.yMin - rand_y ||
            z.y > a.yMax + rand_y)
            __builtin_trap();
    }
    const auto striche = modul.Vorschau(249, 249);
    if (striche.size() > t.size()) __builtin_trap();
    return 0;
}
