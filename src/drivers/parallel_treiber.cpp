#include "parallel_treiber.h"

#include "core/steuerung.h"
#include "drivers/tkx400.h"
#include "drivers/ttaktricht.h"
#include "platform/oberflaeche.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

namespace orvexa {

std::unique_ptr<Parallelkarte> Parallelkarte_erzeugen(int32_t modul) {
    switch (modul) {
    case 0:
        return std::make_unique<TKX400>();
    case 1:
    case 4:
    case 7:
        return std::make_unique<TTaktRicht>(modul);
    default:
        return nullptr;
    }
}

void Parallelkartentreiber_einrichten(Treiberfabrik& fabrik) {
    fabrik.Parallelkarte_erzeugen = [](int32_t modul) { return Parallelkarte_erzeugen(modul); };
}

namespace kartenmodul {

int32_t Zielabstand(int32_t ziel, int32_t position) {
    if (ziel == Achse_bleibt) return 0;
    const int64_t abstand = static_cast<int64_t>(ziel) - position;
    return static_cast<int32_t>(std::clamp<int64_t>(abstand, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t Begrenzen(int32_t wert, int32_t grenze, const std::string& text, const std::string& titel) {
    if (wert <= grenze) return wert;
    oberflaeche().Meldung(text, titel, Symbol::warnung, Knoepfe::ok);
    return grenze;
}

int Achsnummer(char achse) {
    switch (std::tolower(static_cast<unsigned char>(achse))) {
    case 'x':
        return 0;
    case 'y':
        return 1;
    case 'z':
        return 2;
    case 'u':
        return 3;
    default:
        return -1;
    }
}

int32_t Wartezeit_begrenzen(int32_t ms) {
    if (ms > Laengste_Wartezeit_ms) {
        char text[96];
        std::snprintf(text, sizeof text, "Die Wartezeit kann nicht größer als %d sein!",
                      Laengste_Wartezeit_ms);
        oberflaeche().Meldung(text, "F E H L E R", Symbol::warnung, Knoepfe::ok);
        return Laengste_Wartezeit_ms;
    }
    return std::max(ms, 0);
}

} // namespace kartenmodul

} // namespace orvexa
