#include "laufzeitschaetzung.h"

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "drivers/fahrzeit.h"
#include "tabelle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvexa {

namespace {

bool Nach_Strich(std::string_view text) {
    return text > std::string_view("-");
}

// What the controller holds while the run goes: the speeds last sent and where the axes are
// since the last reference run.
struct Zustand {
    Fahrwerte Werte;
    std::array<int64_t, 4> Position{};
};

class Schaetzer {
public:
    Schaetzer(const Positionstabelle& tabelle, const Vektoreingaben& e)
        : m_tabelle(tabelle), m_e(e), m_p(Parametersatz()), m_modul(m_p.Modul),
          m_typ(Typangaben(m_modul)) {}

    Zustand Anfang() const {
        Zustand z;
        z.Werte = {m_p.Startfreq, m_p.Arbeitsfreq, m_p.Rampenlaenge};
        return z;
    }

    double Referenz(Zustand& z) const {
        const bool achsen[4] = {m_e.xReferenz, m_e.yReferenz, m_e.zReferenz, m_e.uReferenz};
        if (!(achsen[0] || achsen[1] || achsen[2] || achsen[3])) return 0;
        // Vek_Referenzfahrt sends the start speed and the ramp of the parameters.
        z.Werte.Start = m_p.Startfreq;
        z.Werte.Rampe_ms = m_p.Rampenlaenge;
        if (m_typ.Treiber == Treiberart::keiner) return 0;
        const Fahrwerte w =
            Gehaltene_Fahrwerte(m_modul, {m_p.Startfreq, m_p.RefFreq, m_p.Rampenlaenge});
        const double mm[4] = {m_p.xRefOffset, m_p.yRefOffset, m_p.zRefOffset, 0};
        double sekunden = 0;
        for (const char achse : Referenzreihenfolge(achsen[0], achsen[1], achsen[2], achsen[3])) {
            const int a = achse == 'x' ? 0 : achse == 'y' ? 1 : achse == 'z' ? 2 : 3;
            // The KXCU has no reference offset; the u offset is never sent.
            const int64_t offset =
                m_typ.Treiber == Treiberart::Kxcu ? 0 : Referenzoffset_in_Schritte(achse, mm[a]);
            // The switch closes where the last reference run found it: the offset back from
            // position 0, and on the cards one step further, where its input turns active.
            int64_t abstand = z.Position[a] + offset;
            if (ist_paralleler_Typ(m_modul)) abstand = std::max<int64_t>(abstand + 1, 1);
            sekunden += Referenzzeit_s(m_modul, abstand, offset, w);
            z.Position[a] = 0;
        }
        return sekunden;
    }

    // One execution of row r; leaves the speeds it sends and the positions it reaches in z.
    double Zeile(int r, Zustand& z, bool& eingangswarten) const {
        if (Zelle(r, Spalte_E1) == "ON") eingangswarten = true;
        if (const auto t = Zelle(r, Spalte_Startfreq); Nach_Strich(t))
            z.Werte.Start = Ganzzahl_oder_null(t);
        if (const auto t = Zelle(r, Spalte_Endfreq); Nach_Strich(t))
            z.Werte.Arbeit = Ganzzahl_oder_null(t);
        if (const auto t = Zelle(r, Spalte_Rampe); Nach_Strich(t))
            z.Werte.Rampe_ms = Ganzzahl_oder_null(t);
        const Fahrwerte w = Gehaltene_Fahrwerte(m_modul, z.Werte);

        static constexpr char Achsen[4] = {'x', 'y', 'z', 'u'};
        std::array<int64_t, 4> s{};
        for (int i = 0; i < 4; ++i) {
            const auto zelle = Zelle(r, Spalte_x + i);
            s[i] = m_tabelle.Schritteingabe ? Ganzzahl_oder_null(zelle)
                                            : mm_in_Schritte(Achsen[i], Zellwert(zelle));
        }
        const auto betrag = [](int64_t v) { return v < 0 ? -v : v; };
        double sekunden = 0;
        const auto fahren = [&](int64_t n) {
            const double t = Fahrzeit_s(m_modul, n, w);
            sekunden += t;
            return t > 0;
        };
        if (m_e.zInterpolieren) {
            if (fahren(std::max({betrag(s[0]), betrag(s[1]), betrag(s[2])})))
                for (int i = 0; i < 3; ++i)
                    z.Position[i] += s[i];
        } else {
            if (fahren(std::max(betrag(s[0]), betrag(s[1]))))
                for (int i = 0; i < 2; ++i)
                    z.Position[i] += s[i];
            if (fahren(betrag(s[2]))) z.Position[2] += s[2];
        }
        if (m_typ.U_Achse && fahren(betrag(s[3]))) z.Position[3] += s[3];

        if (const auto t = Zelle(r, Spalte_Wartezeit); Nach_Strich(t))
            sekunden += Wartezeit_s(m_modul, Ganzzahl_oder_null(t));
        return sekunden;
    }

    // One pass; fills the time of one execution of every row.
    void Zyklus(Zustand& z, std::vector<double>& zeilen, bool& eingangswarten) const {
        const int n = m_tabelle.Zeilenzahl();
        zeilen.assign(static_cast<std::size_t>(n), 0.0);
        for (int r = 1; r <= n; ++r) {
            // Every execution of a row sends its own values again, so all take the same time.
            zeilen[static_cast<std::size_t>(r - 1)] = Zeile(r, z, eingangswarten);
            int32_t wiederholungen = Wiederholungen(r);
            for (int32_t k = 0; k < wiederholungen; ++k)
                Zeile(r, z, eingangswarten);
        }
    }

    int32_t Wiederholungen(int r) const {
        const int32_t n = Ganzzahl_oder_null(Zelle(r, Spalte_WH));
        return n < 0 ? 0 : n;
    }

private:
    std::string_view Zelle(int r, int spalte) const { return m_tabelle.Zelle(r, spalte); }

    const Positionstabelle& m_tabelle;
    const Vektoreingaben& m_e;
    const Maschinenparameter& m_p;
    int32_t m_modul;
    const Steuerungstyp& m_typ;
};

std::vector<double> Restsummen(const std::vector<double>& zeilen,
                               const std::vector<int32_t>& wiederholungen) {
    std::vector<double> rest(zeilen.size() + 1, 0.0);
    for (std::size_t i = zeilen.size(); i-- > 0;)
        rest[i] = rest[i + 1] + zeilen[i] * (static_cast<double>(wiederholungen[i]) + 1);
    return rest;
}

} // namespace

Laufschaetzung Lauf_schaetzen(const Positionstabelle& tabelle, const Vektoreingaben& e) {
    Laufschaetzung s;
    s.Zyklen = e.Zyklen < 1 ? 1 : e.Zyklen;
    s.Endlos = e.Endlos;
    if (e.ModusWT) {
        s.Schaetzbar = false;
        return s;
    }
    const Schaetzer schaetzer(tabelle, e);
    Zustand z = schaetzer.Anfang();
    if (e.RefModus > 0) s.Vorreferenz_s = schaetzer.Referenz(z);
    schaetzer.Zyklus(z, s.Zeile_erster_s, s.Eingangswarten);
    // The later cycles differ from the first only by the speeds and positions they begin
    // with; after one cycle (and its reference run) those repeat.
    if (e.RefModus == 2) s.Zwischenreferenz_s = schaetzer.Referenz(z);
    schaetzer.Zyklus(z, s.Zeile_folgend_s, s.Eingangswarten);

    s.Wiederholungen.resize(s.Zeile_erster_s.size());
    for (std::size_t i = 0; i < s.Wiederholungen.size(); ++i)
        s.Wiederholungen[i] = schaetzer.Wiederholungen(static_cast<int>(i) + 1);
    s.m_rest_erster = Restsummen(s.Zeile_erster_s, s.Wiederholungen);
    s.m_rest_folgend = Restsummen(s.Zeile_folgend_s, s.Wiederholungen);
    return s;
}

double Laufschaetzung::Erster_Zyklus_s() const {
    return m_rest_erster.empty() ? 0 : m_rest_erster.front();
}

double Laufschaetzung::Folgezyklus_s() const {
    return m_rest_folgend.empty() ? 0 : m_rest_folgend.front();
}

double Laufschaetzung::Zyklus_s() const {
    return Endlos || Zyklen > 1 ? Folgezyklus_s() : Erster_Zyklus_s();
}

double Laufschaetzung::Gesamt_s() const {
    const int32_t weitere = Endlos ? 0 : Zyklen - 1;
    return Vorreferenz_s + Erster_Zyklus_s() + weitere * (Zwischenreferenz_s + Folgezyklus_s());
}

double Laufschaetzung::Zyklusrest_s(bool erster, int zeile, int32_t erledigt) const {
    const std::vector<double>& rest = erster ? m_rest_erster : m_rest_folgend;
    const std::vector<double>& zeilen = erster ? Zeile_erster_s : Zeile_folgend_s;
    if (rest.empty() || zeile > static_cast<int>(zeilen.size())) return 0;
    if (zeile < 1) return rest.front();
    const auto i = static_cast<std::size_t>(zeile - 1);
    const int32_t offen = std::max(0, Wiederholungen[i] + 1 - std::max(0, erledigt));
    return rest[i + 1] + zeilen[i] * offen;
}

double Laufschaetzung::Rest_s(int zyklus, int zeile, int32_t erledigt) const {
    if (!Schaetzbar) return 0;
    if (zyklus < 1) zyklus = 1;
    const double zyklusrest = Zyklusrest_s(zyklus == 1, zeile, erledigt);
    if (Endlos) return zyklusrest;
    const int32_t weitere = std::max(0, Zyklen - zyklus);
    return zyklusrest + weitere * (Zwischenreferenz_s + Folgezyklus_s());
}

std::string Dauertext(double sekunden) {
    const long long s = std::isfinite(sekunden) && sekunden > 0 ? std::llround(sekunden) : 0;
    char puffer[48];
    std::snprintf(puffer, sizeof puffer, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return puffer;
}

std::string Dauertext_ms(double sekunden) {
    const long long ms =
        std::isfinite(sekunden) && sekunden > 0 ? std::llround(sekunden * 1000) : 0;
    char puffer[48];
    std::snprintf(puffer, sizeof puffer, "%lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return puffer;
}

} // namespace orvexa
