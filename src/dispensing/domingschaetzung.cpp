#include "domingschaetzung.h"

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "dispensing/domingjob.h"
#include "drivers/fahrzeit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

namespace orvexa {

namespace {

// Walks the job's moves as the primitives make them and adds up their times.
class Domingzeit {
public:
    Domingzeit(const DomingJob& job, const Maschinenparameter& m, int32_t modul)
        : m_job(job), m_m(m), m_modul(modul) {
        m_start = job.Startfreq;
        m_rampe = m.Rampenlaenge;
    }

    void Position_setzen(double x, double y) {
        m_x = mm_in_Schritte('x', x);
        m_y = mm_in_Schritte('y', y);
    }

    double Eil(int32_t freq, int32_t rampe) {
        m_eil = freq;
        m_rampe = rampe;
        return 0;
    }
    double Arbeit(int32_t freq, int32_t rampe) {
        m_arbeit = freq;
        m_rampe = rampe;
        return 0;
    }

    // DomingMoveToXY: x alone, then y alone, with the rapid speed.
    double MoveTo(double x, double y) {
        const int64_t sx = mm_in_Schritte('x', x), sy = mm_in_Schritte('y', y);
        const Fahrwerte w = Gehaltene_Fahrwerte(m_modul, {m_start, m_eil, m_rampe});
        const double t = Fahrzeit_s(m_modul, sx - m_x, w) + Fahrzeit_s(m_modul, sy - m_y, w);
        m_x = sx;
        m_y = sy;
        return t;
    }
    // DomingLineToXY: both axes together with the working speed.
    double LineTo(double x, double y) {
        const int64_t sx = mm_in_Schritte('x', x), sy = mm_in_Schritte('y', y);
        const Fahrwerte w = Gehaltene_Fahrwerte(m_modul, {m_start, m_arbeit, m_rampe});
        const double t =
            Fahrzeit_s(m_modul, std::max(std::llabs(sx - m_x), std::llabs(sy - m_y)), w);
        m_x = sx;
        m_y = sy;
        return t;
    }
    double Warten(double s) const {
        const double ms = std::trunc(s * 1000.0);
        if (!(ms > 0)) return 0;
        return Wartezeit_s(m_modul, static_cast<int32_t>(
                                        std::min<double>(ms, std::numeric_limits<int32_t>::max())));
    }

    double Referenz() {
        const bool x = m_m.xRefAktiv != 0, y = m_m.yRefAktiv != 0;
        if (Typangaben(m_modul).Treiber == Treiberart::keiner) return 0;
        const Fahrwerte w = Gehaltene_Fahrwerte(m_modul, {m_start, m_m.RefFreq, m_rampe});
        double t = 0;
        for (const char achse : Referenzreihenfolge(x, y, false, false)) {
            int64_t& position = achse == 'x' ? m_x : m_y;
            const int64_t offset = Typangaben(m_modul).Treiber == Treiberart::Kxcu
                                       ? 0
                                       : Referenzoffset_in_Schritte(
                                             achse, achse == 'x' ? m_m.xRefOffset : m_m.yRefOffset);
            int64_t abstand = position + offset;
            if (ist_paralleler_Typ(m_modul)) abstand = std::max<int64_t>(abstand + 1, 1);
            t += Referenzzeit_s(m_modul, abstand, offset, w);
            position = 0;
        }
        return t;
    }

    double Teil(int32_t ix, double x, double y, std::span<const HPGL_Zeile> kontur) {
        const DomingJob& j = m_job;
        const std::string& form = j.Type;
        double t = 0;
        if (form == "Punkt") {
            if (ix == 0)
                Eil(m_m.RefFreq, m_m.Rampenlaenge);
            else
                Eil(j.PEilfreq, j.PRampenlaenge);
            t += MoveTo(x, y) + Warten(j.PDosierzeit) + Warten(j.PAbtropfzeit);
        } else if (form == "Linie") {
            Eil(j.Eilfreq, j.Rampenlaenge);
            t += MoveTo(x, y) + Warten(j.LDosierzeit1);
            Arbeit(j.LArbeitsfreq, j.LRampenlaenge);
            t += LineTo(x + j.LLaenge, y) + Warten(j.LDosierzeit3);
            t += LineTo(x + j.LLaenge + j.LAbtropflinie, y) + Warten(j.LAbtropfzeit);
        } else if (form == "Kreis") {
            const double R = j.KRadius;
            if (!(R > 0)) return 0;
            Eil(j.Eilfreq, j.Rampenlaenge);
            t += MoveTo(x - R, y) + Warten(j.KDosierzeit1);
            const int32_t schritt = R > 75 ? 5 : R > 15 ? 10 : 20;
            Arbeit(j.KArbeitsfreq, j.KRampenlaenge);
            const int32_t ende = std::clamp<int32_t>(j.KEndwinkel, 180, 225);
            int32_t winkel = 540;
            for (bool letzter = false; !letzter;) {
                if (winkel - schritt > ende) {
                    winkel -= schritt;
                } else {
                    winkel = ende;
                    letzter = true;
                }
                const double w = (winkel >= 360 ? winkel - 360 : winkel) * std::numbers::pi / 180;
                t += LineTo(x + R * std::cos(w), y + R * std::sin(w));
            }
            t += Warten(j.KDosierzeit3) + Warten(j.KAbtropfzeit);
        } else if (form == "Rechteck") {
            Eil(j.Eilfreq, j.Rampenlaenge);
            t += MoveTo(x, y) + Warten(j.RDosierzeit1);
            Arbeit(j.RArbeitsfreq, j.RRampenlaenge);
            t += LineTo(x, y + j.RBreite) + LineTo(x + j.RLaenge, y + j.RBreite) +
                 LineTo(x + j.RLaenge, y) + LineTo(x + j.RMinusLaenge, y);
            t += Warten(j.RDosierzeit3) + Warten(j.RAbtropfzeit);
        } else if (form == "HPGL") {
            Eil(j.Eilfreq, j.Rampenlaenge);
            t += MoveTo(x, y);
            Arbeit(j.HArbeitsfreq, j.HRampenlaenge);
            bool unten = false;
            for (const HPGL_Zeile& z : kontur) {
                switch (z.Schritt) {
                case HPGL_Schritt::UP:
                    if (unten) t += Warten(j.HDosierzeit3) + Warten(j.HAbtropfzeit);
                    unten = false;
                    break;
                case HPGL_Schritt::DOWN:
                    if (!unten) t += Warten(j.HDosierzeit1);
                    unten = true;
                    break;
                case HPGL_Schritt::MOVETO:
                    t += MoveTo(x + z.x, y + z.y);
                    break;
                case HPGL_Schritt::LINTETO:
                    t += LineTo(x + z.x, y + z.y);
                    break;
                case HPGL_Schritt::STIFT:
                    break;
                }
            }
        }
        return t;
    }

private:
    const DomingJob& m_job;
    const Maschinenparameter& m_m;
    int32_t m_modul;
    int32_t m_start = 0, m_eil = 0, m_arbeit = 0, m_rampe = 0;
    int64_t m_x = 0, m_y = 0;
};

} // namespace

double DomingSchaetzung::Gesamt_s() const {
    return Vorlauf_s + std::accumulate(Teil_s.begin(), Teil_s.end(), 0.0) + Nachlauf_s;
}

double DomingSchaetzung::Rest_s(std::size_t teil) const {
    if (teil >= Teil_s.size()) return teil == Teil_s.size() ? Nachlauf_s : 0;
    return std::accumulate(Teil_s.begin() + static_cast<std::ptrdiff_t>(teil), Teil_s.end(), 0.0) +
           Nachlauf_s;
}

std::size_t Doming_Teilnummer(const DomingJob& job, const DomingZaehler& z) {
    const auto n = [](int32_t v) { return static_cast<std::size_t>(std::max(v, 0)); };
    return ((n(z.iyBogen) * n(job.BxAnzahl) + n(z.ixBogen)) * n(job.yAnzahl) + n(z.iy)) *
               n(job.xAnzahl) +
           n(z.ix);
}

DomingSchaetzung Doming_schaetzen(const DomingJob& job, const Maschinenparameter& maschine,
                                  int32_t modul, const DomingSchaetzeingaben& e) {
    DomingSchaetzung s;
    Domingzeit zeit(job, maschine, modul);
    zeit.Position_setzen(e.xStart, e.yStart);
    const bool startpunkt = e.Startseite == DomingStartseite::Startpunkt;
    double xStart = job.xStartpunkt, yStart = job.yStartpunkt;
    zeit.Eil(job.Eilfreq, maschine.Rampenlaenge);
    if (startpunkt) {
        if (!e.ModusKora && e.Referenzfahrt) s.Vorlauf_s += zeit.Referenz();
        s.Vorlauf_s += zeit.MoveTo(xStart, yStart);
    } else {
        xStart = e.xStart;
        yStart = e.yStart;
    }

    const double bogen_dx = (job.xAnzahl - 1) * job.xAbstand + job.BxAbstand;
    const double bogen_dy = (job.yAnzahl - 1) * job.yAbstand + job.ByAbstand;
    for (int32_t iyBogen = 0; iyBogen < job.ByAnzahl; ++iyBogen)
        for (int32_t ixBogen = 0; ixBogen < job.BxAnzahl; ++ixBogen)
            for (int32_t iy = 0; iy < job.yAnzahl; ++iy)
                for (int32_t ix = 0; ix < job.xAnzahl; ++ix) {
                    const double x = ix * job.xAbstand + xStart + ixBogen * bogen_dx;
                    const double y = iy * job.yAbstand + yStart + iyBogen * bogen_dy;
                    s.Teil_s.push_back(zeit.Teil(ix, x, y, e.Kontur));
                }

    if (startpunkt) {
        if (!e.ModusKora) s.Nachlauf_s = zeit.Referenz();
    } else {
        zeit.Eil(job.Eilfreq, job.Rampenlaenge);
        s.Nachlauf_s = zeit.MoveTo(e.xStart, e.yStart);
    }
    return s;
}

} // namespace orvexa
