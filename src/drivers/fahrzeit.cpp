#include "fahrzeit.h"

#include "core/schrittrampe.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "drivers/kora_lpt.h"
#include "drivers/tkx400.h"
#include "drivers/ttaktricht.h"
#include "platform/zeitbasis.h"

#include <algorithm>
#include <cmath>

namespace orvexa {

namespace {

bool ist_Karte(int32_t modul) {
    return ist_paralleler_Typ(modul);
}

int32_t Maximalfrequenz(int32_t modul) {
    const int32_t grenze = Typangaben(modul).Eingaenge.Max_frequenz;
    return grenze > 0 ? grenze : Kora_lpt::Standard_Maximalfrequenz;
}

// What the driver refuses with a beep and no motion.
bool Karte_lehnt_ab(int32_t modul, const Fahrwerte& w) {
    const int32_t hoechste = Maximalfrequenz(modul);
    return w.Start < 1 || w.Start > hoechste || w.Arbeit < 1 || w.Arbeit > hoechste ||
           w.Rampe_ms < 0 || w.Rampe_ms > Kora_lpt::Laengste_Rampe_ms || w.Arbeit < w.Start;
}

double Sekunden(int64_t ticks) {
    return static_cast<double>(ticks) / static_cast<double>(Zeitbasis::Frequenz);
}

double Kartenzeit_s(int64_t schritte, const Fahrwerte& w, int64_t zyklen = -1) {
    const Schrittrampe rampe = Schrittrampe::berechnen(schritte, w.Start, w.Arbeit, w.Rampe_ms);
    return Sekunden(Schrittdauer(rampe, Zeitbasis::Frequenz, zyklen));
}

} // namespace

Fahrwerte Gehaltene_Fahrwerte(int32_t modul, const Fahrwerte& gesendet) {
    if (!ist_Karte(modul)) return gesendet;
    const int32_t grenze = modul == 0 ? TKX400::Hoechstfrequenz : TTaktRicht::Hoechstfrequenz;
    Fahrwerte w = gesendet;
    w.Start = std::min(w.Start, grenze);
    w.Arbeit = std::min(w.Arbeit, grenze);
    return w;
}

double Trapezzeit_s(double schritte, double start, double arbeit, double rampe_s) {
    if (schritte <= 0) return 0;
    if (arbeit <= 0) return 0;
    const double v0 = std::clamp(start, 0.0, arbeit);
    if (rampe_s <= 0 || v0 >= arbeit) return schritte / arbeit;
    const double a = (arbeit - v0) / rampe_s;
    const double rampenweg = (v0 + arbeit) / 2 * rampe_s;
    if (2 * rampenweg <= schritte) return 2 * rampe_s + (schritte - 2 * rampenweg) / arbeit;
    const double spitze = std::sqrt(v0 * v0 + a * schritte);
    return 2 * (spitze - v0) / a;
}

double Fahrzeit_s(int32_t modul, int64_t schritte, const Fahrwerte& w) {
    schritte = schritte < 0 ? -schritte : schritte;
    if (schritte == 0) return 0;
    if (ist_Karte(modul)) return Karte_lehnt_ab(modul, w) ? 0 : Kartenzeit_s(schritte, w);
    if (w.Arbeit <= 0) return 0; // the controller refuses a move without speed
    return Trapezzeit_s(static_cast<double>(schritte), w.Start, w.Arbeit, w.Rampe_ms / 1000.0);
}

double Wartezeit_s(int32_t modul, int32_t ms) {
    double sekunden = 0;
    for (int32_t rest = ms; rest > 0; rest -= Wartestueck_laenge_ms) {
        const int32_t stueck = std::min(rest, Wartestueck_laenge_ms);
        // lpt_Warten makes one cycle of a millisecond more than it was asked for.
        sekunden += (ist_Karte(modul) ? stueck + 1 : stueck) / 1000.0;
    }
    return sekunden;
}

double Referenzzeit_s(int32_t modul, int64_t abstand, int64_t offset, const Fahrwerte& w) {
    abstand = abstand < 0 ? -abstand : abstand;
    if (!ist_Karte(modul)) return Fahrzeit_s(modul, abstand, w) + Fahrzeit_s(modul, offset, w);
    const double pause = Kora_lpt::Referenzpause_ms / 1000.0;
    // A refused move ends the sequence; only the closing pause is left.
    if (Karte_lehnt_ab(modul, w)) return pause;
    // Towards the switch until it closes, one step back off it, then the offset; a pause
    // after each and the closing one.
    const double anfahrt = Kartenzeit_s(Kora_lpt::Referenzweg, w, abstand);
    const double freifahrt = Kartenzeit_s(Kora_lpt::Referenzweg, w, 1);
    return anfahrt + pause + freifahrt + pause + Fahrzeit_s(modul, offset, w) + pause;
}

} // namespace orvexa
