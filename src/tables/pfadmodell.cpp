#include "pfadmodell.h"

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "tabelle.h"

#include <algorithm>
#include <limits>

namespace orvexa {

namespace {

// "-" is the empty value of every cell; the readers would take an exception's detour to 0.
bool Ohne_Wert(std::string_view zelle) {
    return zelle.empty() || zelle == "-";
}

int64_t Ganzzahl(std::string_view zelle) {
    return Ohne_Wert(zelle) ? 0 : Ganzzahl_oder_null(zelle);
}

double Zahl(std::string_view zelle) {
    return Ohne_Wert(zelle) ? 0.0 : Zellwert(zelle);
}

} // namespace

Pfadmodell::Mechanik Pfadmodell::Mechanik_jetzt() {
    const Maschinenparameter& p = Parametersatz();
    return {p.xUebersetz, p.yUebersetz, p.zUebersetz, p.xMotStep, p.yMotStep, p.zMotStep};
}

void Pfadmodell::Einheit_lesen(const Positionstabelle& tabelle) {
    m_einheit = tabelle.Modus.Winkel     ? Pfadeinheit::Grad
                : tabelle.Schritteingabe ? Pfadeinheit::Schritte
                                         : Pfadeinheit::Millimeter;
    m_mechanik = Mechanik_jetzt();
    m_faktor[0] = m_faktor[1] = 1;
    if (m_einheit == Pfadeinheit::Millimeter) {
        m_faktor[0] = Schritte_in_mm('x', 1);
        m_faktor[1] = Schritte_in_mm('y', 1);
    }
}

bool Pfadmodell::Gleiche_Einheit(const Positionstabelle& tabelle) const {
    const Pfadeinheit einheit = tabelle.Modus.Winkel     ? Pfadeinheit::Grad
                                : tabelle.Schritteingabe ? Pfadeinheit::Schritte
                                                         : Pfadeinheit::Millimeter;
    if (einheit != m_einheit) return false;
    return einheit != Pfadeinheit::Millimeter || m_mechanik == Mechanik_jetzt();
}

Pfadmodell::Zeilenauszug Pfadmodell::Lesen(const Positionstabelle& t, int zeile) const {
    Zeilenauszug a;
    // Outputs 1 to 4 switch whatever the type: the run sends every "ON" and "OFF".
    for (int spalte = Spalte_Ausgang1; spalte < Spalte_Ausgang1 + 4; ++spalte) {
        const std::string_view zelle = t.Zelle(zeile, spalte);
        if (zelle == "ON")
            a.ausgang_ein = true;
        else if (zelle == "OFF")
            a.ausgang_aus = true;
    }
    // "WH" counts the repetitions after the first execution; a negative count is none.
    a.ausfuehrungen = std::max<int64_t>(Ganzzahl(t.Zelle(zeile, Spalte_WH)), 0) + 1;
    switch (m_einheit) {
    case Pfadeinheit::Grad:
        a.winkel = Zahl(t.Zelle(zeile, Spalte_x));
        break;
    case Pfadeinheit::Schritte:
        a.dx = Ganzzahl(t.Zelle(zeile, Spalte_x));
        a.dy = Ganzzahl(t.Zelle(zeile, Spalte_x + 1));
        a.dz = Ganzzahl(t.Zelle(zeile, Spalte_x + 2));
        break;
    case Pfadeinheit::Millimeter: {
        // The whole steps the run moves, so that the path ends where the machine does.
        const auto schritte = [&](int spalte, char achse) -> int64_t {
            const std::string_view zelle = t.Zelle(zeile, spalte);
            return Ohne_Wert(zelle) ? 0 : mm_in_Schritte(achse, Zellwert(zelle));
        };
        a.dx = schritte(Spalte_x, 'x');
        a.dy = schritte(Spalte_x + 1, 'y');
        a.dz = schritte(Spalte_x + 2, 'z');
        break;
    }
    }
    return a;
}

void Pfadmodell::Berechnen(const Positionstabelle& tabelle) {
    Einheit_lesen(tabelle);
    const int n = tabelle.Zeilenzahl();
    m_zeilen.resize(static_cast<std::size_t>(n));
    for (int r = 1; r <= n; ++r)
        m_zeilen[static_cast<std::size_t>(r - 1)] = Lesen(tabelle, r);
    m_staende.resize(m_zeilen.size());
    Aufbauen_ab(1);
}

bool Pfadmodell::Zeilen_geaendert(const Positionstabelle& tabelle, int von, int bis) {
    if (!Gleiche_Einheit(tabelle) || tabelle.Zeilenzahl() != Zeilenzahl()) {
        Berechnen(tabelle);
        return true;
    }
    von = std::max(von, 1);
    bis = std::min(bis, Zeilenzahl());
    int erste = 0;
    for (int r = von; r <= bis; ++r) {
        Zeilenauszug neu = Lesen(tabelle, r);
        Zeilenauszug& alt = m_zeilen[static_cast<std::size_t>(r - 1)];
        if (neu == alt) continue;
        alt = neu;
        if (erste == 0) erste = r;
    }
    // The grid reports the highlighted row as changed too; most reports change nothing.
    if (erste == 0) return false;
    Aufbauen_ab(erste);
    return true;
}

void Pfadmodell::Zeilen_eingefuegt(const Positionstabelle& tabelle, int von, int anzahl) {
    if (!Gleiche_Einheit(tabelle) || tabelle.Zeilenzahl() != Zeilenzahl() + anzahl || von < 1 ||
        von > Zeilenzahl() + 1 || anzahl < 1) {
        Berechnen(tabelle);
        return;
    }
    std::vector<Zeilenauszug> neu;
    neu.reserve(static_cast<std::size_t>(anzahl));
    for (int r = von; r < von + anzahl; ++r)
        neu.push_back(Lesen(tabelle, r));
    m_zeilen.insert(m_zeilen.begin() + (von - 1), neu.begin(), neu.end());
    m_staende.resize(m_zeilen.size());
    Aufbauen_ab(von);
}

void Pfadmodell::Zeilen_entfernt(const Positionstabelle& tabelle, int von, int anzahl) {
    if (!Gleiche_Einheit(tabelle) || tabelle.Zeilenzahl() != Zeilenzahl() - anzahl || von < 1 ||
        anzahl < 1 || von + anzahl - 1 > Zeilenzahl()) {
        Berechnen(tabelle);
        return;
    }
    m_zeilen.erase(m_zeilen.begin() + (von - 1), m_zeilen.begin() + (von - 1 + anzahl));
    m_staende.resize(m_zeilen.size());
    Aufbauen_ab(von);
}

void Pfadmodell::Aufbauen_ab(int zeile) {
    Stand s;
    if (zeile >= 2 && zeile - 2 < static_cast<int>(m_staende.size()))
        s = m_staende[static_cast<std::size_t>(zeile - 2)];
    m_punkte.resize(s.punkte);
    m_marken.resize(s.marken);
    // The cycle begins where the machine stands; the angle mode begins with its first approach.
    if (zeile <= 1 && m_einheit != Pfadeinheit::Grad) m_punkte.push_back({0, 0, 0});
    for (int i = std::max(zeile, 1) - 1; i < Zeilenzahl(); ++i) {
        Zeile_aufbauen(i, s);
        s.punkte = static_cast<uint32_t>(m_punkte.size());
        s.marken = static_cast<uint32_t>(m_marken.size());
        m_staende[static_cast<std::size_t>(i)] = s;
    }
}

void Pfadmodell::Zeile_aufbauen(int index, Stand& s) {
    const Zeilenauszug& a = m_zeilen[static_cast<std::size_t>(index)];
    const int zeile = index + 1;
    const auto n = static_cast<double>(a.ausfuehrungen);

    if (m_einheit == Pfadeinheit::Grad) {
        // Every execution approaches the same angle again; x only, and only above 0.
        if (a.ausgang_ein || a.ausgang_aus)
            m_marken.push_back({s.begonnen ? s.winkel : (a.winkel > 0 ? a.winkel : 0), -s.y, zeile,
                                a.ausgang_ein ? Markenart::ausgang_ein : Markenart::ausgang_aus});
        if (!(a.winkel > 0)) return;
        m_punkte.push_back({a.winkel, -(s.y + 1), zeile});
        if (a.ausfuehrungen > 1) m_punkte.push_back({a.winkel, -(s.y + n), zeile});
        s.y += n;
        s.winkel = a.winkel;
        s.begonnen = true;
        return;
    }

    // The outputs switch before the row moves.
    if (a.ausgang_ein || a.ausgang_aus)
        m_marken.push_back({X(s.x), Y(s.y), zeile,
                            a.ausgang_ein ? Markenart::ausgang_ein : Markenart::ausgang_aus});
    const Markenart z_art = a.dz < 0 ? Markenart::z_minus : Markenart::z_plus;
    const auto dx = static_cast<double>(a.dx);
    const auto dy = static_cast<double>(a.dy);
    if (a.dx == 0 && a.dy == 0) {
        // z alone moves where the row stands, however often.
        if (a.dz != 0) m_marken.push_back({X(s.x), Y(s.y), zeile, z_art});
        return;
    }
    if (a.dz != 0) {
        // After each execution's x/y move; the line is the same for any count.
        const int64_t marken = std::min(a.ausfuehrungen, Marken_je_Zeile);
        for (int64_t k = 1; k <= marken; ++k) {
            const auto f = static_cast<double>(k);
            m_marken.push_back({X(s.x + dx * f), Y(s.y + dy * f), zeile, z_art});
        }
    }
    s.x += dx * n;
    s.y += dy * n;
    m_punkte.push_back({X(s.x), Y(s.y), zeile});
}

Punktbereich Pfadmodell::Punkte_der_Zeile(int zeile) const {
    if (zeile < 1 || zeile > Zeilenzahl()) return {};
    const uint32_t vorher = zeile >= 2
                                ? m_staende[static_cast<std::size_t>(zeile - 2)].punkte
                                : (m_einheit == Pfadeinheit::Grad || m_punkte.empty() ? 0u : 1u);
    return {vorher, m_staende[static_cast<std::size_t>(zeile - 1)].punkte};
}

bool Pfadmodell::Ort_nach(int zeile, Pfadpunkt& ort) const {
    if (zeile < 0 || zeile > Zeilenzahl()) return false;
    const uint32_t punkte =
        zeile == 0
            ? (m_einheit == Pfadeinheit::Grad ? 0u : static_cast<uint32_t>(m_punkte.size() > 0))
            : m_staende[static_cast<std::size_t>(zeile - 1)].punkte;
    if (punkte == 0) return false;
    ort = m_punkte[punkte - 1];
    return true;
}

Pfadrahmen Pfadmodell::Rahmen() const {
    if (m_punkte.empty() && m_marken.empty()) return {};
    constexpr double gross = std::numeric_limits<double>::max();
    Pfadrahmen r{gross, gross, -gross, -gross};
    const auto dazu = [&r](double x, double y) {
        r.links = std::min(r.links, x);
        r.rechts = std::max(r.rechts, x);
        r.unten = std::min(r.unten, y);
        r.oben = std::max(r.oben, y);
    };
    for (const Pfadpunkt& p : m_punkte)
        dazu(p.x, p.y);
    for (const Pfadmarke& m : m_marken)
        dazu(m.x, m.y);
    return r;
}

} // namespace orvexa
