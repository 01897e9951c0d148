#include "schrittrampe.h"

#include <algorithm>

namespace orvexa {

Schrittrampe Schrittrampe::berechnen(int64_t N, int32_t s, int32_t w, int32_t r) {
    Schrittrampe rampe;
    rampe.N = N;
    rampe.Start = s;
    rampe.Ziel = w;
    if (s != w) {
        rampe.R = static_cast<int64_t>((r * 0.001) / ((1.0 / s - 1.0 / w) * 0.5));
        rampe.Zuwachs = rampe.R > 0 ? (w - s) / static_cast<double>(rampe.R) : 0.0;
    }
    rampe.Volle_R = rampe.R;
    if (2 * rampe.R > N) rampe.R = N / 2;
    return rampe;
}

double Schrittrampe::naechste(double f, int64_t n) const {
    if (n >= N - R)
        f += Zuwachs;
    else if (n <= R)
        f -= Zuwachs;
    // Braking that began during the rise would otherwise fall below the start speed.
    return std::clamp(f, Start, Ziel);
}

int64_t Schrittdauer(const Schrittrampe& rampe, int64_t zaehlerfrequenz, int64_t zyklen) {
    if (zyklen < 0 || zyklen > rampe.N) zyklen = rampe.N;
    double f = rampe.Start;
    int64_t n = rampe.N;
    int64_t ticks = 0;
    while (zyklen > 0) {
        const int64_t periode = Schrittperiode(zaehlerfrequenz, f);
        // Between the ramps the speed stays; those cycles are added at once.
        if (n - 1 > rampe.R && n - 1 < rampe.N - rampe.R) {
            const int64_t gleich = std::min(zyklen, n - 1 - rampe.R);
            ticks += gleich * periode;
            n -= gleich;
            zyklen -= gleich;
            continue;
        }
        --n;
        --zyklen;
        ticks += periode;
        f = rampe.naechste(f, n);
    }
    return ticks;
}

} // namespace orvexa
