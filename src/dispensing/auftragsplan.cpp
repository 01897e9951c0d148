#include "dispensing/auftragsplan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvexa {

namespace {

constexpr int64_t Groesste = std::numeric_limits<int64_t>::max();

// Counts of accepted jobs reach 2^31 each, so their products can pass int64.
int64_t Mal(int64_t a, int64_t b) {
    int64_t ergebnis = 0;
    return __builtin_mul_overflow(a, b, &ergebnis) ? Groesste : ergebnis;
}

int64_t Plus(int64_t a, int64_t b) {
    int64_t ergebnis = 0;
    return __builtin_add_overflow(a, b, &ergebnis) ? Groesste : ergebnis;
}

double Endlich(double wert) {
    return std::isfinite(wert) ? wert : 0.0;
}

// The outline of the shape around a part's position, as its primitive moves.
Auftragsrahmen Formrahmen(const DomingJob& job, const HPGL_Ausdehnung& hpgl) {
    Auftragsrahmen r;
    if (job.Type == "Linie") {
        r.rechts = job.LLaenge + job.LAbtropflinie;
    } else if (job.Type == "Kreis") {
        // A radius that is not > 0 dispenses nothing.
        if (job.KRadius > 0) r = {-job.KRadius, -job.KRadius, job.KRadius, job.KRadius};
    } else if (job.Type == "Rechteck") {
        r.rechts = job.RLaenge;
        r.oben = job.RBreite;
    } else if (job.Type == "HPGL") {
        r = {hpgl.xMin, hpgl.yMin, hpgl.xMax, hpgl.yMax};
    }
    return {Endlich(r.links), Endlich(r.unten), Endlich(r.rechts), Endlich(r.oben)};
}

// Each coordinate on its own, so that an area of no finite width still has its height.
void Einschliessen(Auftragsrahmen& r, double x, double y) {
    if (std::isfinite(x)) {
        r.links = std::min(r.links, x);
        r.rechts = std::max(r.rechts, x);
    }
    if (std::isfinite(y)) {
        r.unten = std::min(r.unten, y);
        r.oben = std::max(r.oben, y);
    }
}

} // namespace

int64_t Auftragsplan::Nummer(const DomingZaehler& t) const {
    auto innen = [](int32_t i, int32_t anzahl) { return i >= 0 && i < anzahl; };
    if (!innen(t.ixBogen, Job.BxAnzahl) || !innen(t.iyBogen, Job.ByAnzahl) ||
        !innen(t.ix, Job.xAnzahl) || !innen(t.iy, Job.yAnzahl))
        return 0;
    const int64_t bogen = Plus(Mal(t.iyBogen, Job.BxAnzahl), t.ixBogen);
    const int64_t zeile = Plus(Mal(bogen, Job.yAnzahl), t.iy);
    return Plus(Plus(Mal(zeile, Job.xAnzahl), t.ix), 1);
}

const Auftragsteil* Auftragsplan::Teil(int64_t nummer) const {
    if (nummer < 1 || nummer > static_cast<int64_t>(Teile.size())) return nullptr;
    return &Teile[static_cast<std::size_t>(nummer - 1)];
}

int64_t Auftragsplan::Fortsetznummer(const DomingZaehler& merke) const {
    if (merke.Null()) return 0;
    int64_t nummer = 0;
    Doming_Teile_besuchen(Job, merke, [&](const DomingBesuch& b) {
        nummer = Nummer(b.Teil);
        return false;
    });
    return nummer;
}

Auftragsplan Auftragsplan_berechnen(DomingJob job, const DomingParameter& parameter,
                                    const HPGL_Ausdehnung& hpgl, std::size_t hoechstens) {
    Doming_annehmen(job);
    Auftragsplan plan;
    plan.xAbmessung = parameter.xAbmessung;
    plan.yAbmessung = parameter.yAbmessung;
    plan.Form = job.Type;
    plan.Formrahmen = Formrahmen(job, hpgl);
    plan.Formreichweite = Doming_Formreichweite(job, hpgl.xMax, hpgl.yMax);
    plan.Teile_gesamt = Mal(Mal(job.xAnzahl, job.yAnzahl), Mal(job.BxAnzahl, job.ByAnzahl));
    plan.Gesamtrahmen = {0.0, 0.0, 0.0, 0.0};
    Einschliessen(plan.Gesamtrahmen, parameter.xAbmessung, parameter.yAbmessung);

    const DomingZaehler letzter{job.BxAnzahl - 1, job.ByAnzahl - 1, job.xAnzahl - 1,
                                job.yAnzahl - 1};
    plan.Arbeitsbereich_reicht =
        Doming_im_Arbeitsbereich(Doming_Teilort(job, letzter), plan.Formreichweite, parameter);

    plan.Teile.reserve(static_cast<std::size_t>(
        std::min<int64_t>(plan.Teile_gesamt, static_cast<int64_t>(hoechstens))));
    const Auftragsrahmen& f = plan.Formrahmen;
    if (hoechstens > 0) {
        Doming_Teile_besuchen(job, {}, [&](const DomingBesuch& b) {
            Auftragsteil t;
            t.Nummer = static_cast<int64_t>(plan.Teile.size()) + 1;
            t.Zaehler = b.Teil;
            t.Ort = b.Ort;
            t.ausserhalb = !Doming_im_Arbeitsbereich(b.Ort, plan.Formreichweite, parameter);
            if (plan.Boegen.empty() || plan.Boegen.back().ixBogen != b.Teil.ixBogen ||
                plan.Boegen.back().iyBogen != b.Teil.iyBogen) {
                const double x = Endlich(b.Ort.x), y = Endlich(b.Ort.y);
                plan.Boegen.push_back({b.Teil.ixBogen, b.Teil.iyBogen, {x, y, x, y}});
            }
            for (Auftragsrahmen* r : {&plan.Gesamtrahmen, &plan.Boegen.back().Rahmen}) {
                Einschliessen(*r, b.Ort.x + f.links, b.Ort.y + f.unten);
                Einschliessen(*r, b.Ort.x + f.rechts, b.Ort.y + f.oben);
                Einschliessen(*r, b.Ort.x, b.Ort.y);
            }
            plan.Teile.push_back(t);
            return plan.Teile.size() < hoechstens;
        });
    }
    plan.Job = std::move(job);
    return plan;
}

} // namespace orvexa
