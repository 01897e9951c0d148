#include "steuerungsmodell.h"

#include "core/steuerungstypen.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace orvexa {

namespace {

using M = Steuerungsmodell;

constexpr int64_t int32_min = std::numeric_limits<int32_t>::min();
constexpr int64_t int32_max = std::numeric_limits<int32_t>::max();

// Decimal without padding signs or blanks; a leading '-' only where min is negative.
bool Zahl(std::string_view text, int64_t min, int64_t max, int64_t& wert) {
    bool negativ = false;
    if (!text.empty() && text.front() == '-') {
        if (min >= 0) return false;
        negativ = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10) return false;
    int64_t w = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        w = w * 10 + (c - '0');
    }
    if (negativ) w = -w;
    if (w < min || w > max) return false;
    wert = w;
    return true;
}

int Achsenindex(char c) {
    switch (c) {
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

std::string Fehlerantwort(int nummer) {
    return "E" + std::to_string(nummer) + M::BEL;
}

// Text of the stored header as the answers show it: control bytes would end the answer early.
std::string Anzeigetext(std::string_view text, std::size_t laenge) {
    std::string t(text.substr(0, laenge));
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return t;
}

enum class Art {
    Steuersignal,
    Schrittbetrieb,
    Startfreq,
    Geschwindigkeit,
    Rampe,
    Referenzoffset,
    Durchlaeufe,
    Referenzfahrt,
    Vektorfahrt,
    Ausgang,
    I2C_Ausgang,
    Wartezeit,
    E1Verknuepfung,
    Strom,
    Teilung,
};

struct Zerlegung {
    Art art = Art::Steuersignal;
    int fehler = 0; // controller error number, 0 = valid
    int64_t wert = 0, wert2 = 0;
    int achse = -1;
    std::string achsen;
    struct Feld {
        bool gesetzt = false, absolut = false;
        int64_t wert = 0;
    };
    std::array<Feld, M::Achsenzahl> felder{};
};

// Checks an ordinary request (not "*", not "@") without carrying it out. Unknown command: 1;
// bad arguments: 6.
Zerlegung Zerlegen(std::string_view t, int32_t modul) {
    const Steuerungstyp& typ = Typangaben(modul);
    Zerlegung z;
    auto fehler = [&z](int n) {
        z.fehler = n;
        return z;
    };
    auto mit = [&z](Art art) {
        z.art = art;
        return z;
    };
    if (t.empty()) return fehler(1);
    switch (t.front()) {
    case 'T':
        if (!Zahl(t.substr(1), 0, 1, z.wert)) return fehler(6);
        return mit(Art::Steuersignal);
    case 'F':
        // Half/full step only on the cards whose phases the controller drives itself.
        if (!typ.Antriebswahl) return fehler(1);
        if (t.size() != 3 || (t[1] != 'H' && t[1] != 'V') ||
            (t[2] != '0' && t[2] != '2' && t[2] != '6'))
            return fehler(6);
        z.wert = t[1];
        z.wert2 = t[2];
        return mit(Art::Schrittbetrieb);
    case '#': {
        if (t.starts_with("#PD,")) {
            if (!typ.Programmspeicher) return fehler(1);
            if (!Zahl(t.substr(4), 0, 65535, z.wert)) return fehler(6);
            return mit(Art::Durchlaeufe);
        }
        if (t.size() < 2) return fehler(1);
        switch (t[1]) {
        case 'S':
            if (!Zahl(t.substr(2), 0, 128000, z.wert)) return fehler(6);
            return mit(Art::Startfreq);
        case 'R':
            if (!Zahl(t.substr(2), 0, 60000, z.wert)) return fehler(6);
            return mit(Art::Rampe);
        case 'E': {
            const auto rest = t.substr(2);
            const auto komma = rest.find(',');
            if (komma == std::string_view::npos ||
                !Zahl(rest.substr(0, komma), 0, M::Geschwindigkeitsplaetze - 1, z.wert) ||
                !Zahl(rest.substr(komma + 1), 0, 128000, z.wert2))
                return fehler(6);
            return mit(Art::Geschwindigkeit);
        }
        case 'O':
            if (t.size() < 4 || (z.achse = Achsenindex(t[2])) < 0 || t[3] != ',' ||
                !Zahl(t.substr(4), int32_min, int32_max, z.wert))
                return fehler(6);
            return mit(Art::Referenzoffset);
        default:
            return fehler(1);
        }
    }
    case '$':
        if (t.size() < 2 || t[1] != 'H') return fehler(1);
        for (char c : t.substr(2))
            if (Achsenindex(c) < 0) return fehler(6);
        z.achsen = std::string(t.substr(2));
        return mit(Art::Referenzfahrt);
    case 'L': {
        auto rest = t.substr(1);
        auto komma = rest.find(',');
        if (!Zahl(rest.substr(0, komma), 0, M::Geschwindigkeitsplaetze - 1, z.wert))
            return fehler(6);
        while (komma != std::string_view::npos) {
            rest = rest.substr(komma + 1);
            komma = rest.find(',');
            const auto feld = rest.substr(0, komma);
            if (feld.size() < 2) return fehler(6);
            const bool absolut = feld[0] >= 'A' && feld[0] <= 'Z';
            const int i = Achsenindex(absolut ? static_cast<char>(feld[0] - 'A' + 'a') : feld[0]);
            if (i < 0 || z.felder[i].gesetzt) return fehler(6);
            if (!Zahl(feld.substr(1), int32_min, int32_max, z.felder[i].wert)) return fehler(6);
            z.felder[i].gesetzt = true;
            z.felder[i].absolut = absolut;
        }
        return mit(Art::Vektorfahrt);
    }
    case 'A': {
        if (t.size() != 4 || t[2] != ',' || (t[3] != '0' && t[3] != '1')) return fehler(6);
        if (t[1] >= '1' && t[1] <= '8')
            z.wert = t[1] - '1';
        else if (t[1] == 'L')
            z.wert = 8;
        else if (t[1] == 'R')
            z.wert = 9;
        else
            return fehler(6);
        z.wert2 = t[3] - '0';
        return mit(Art::Ausgang);
    }
    case 'I': {
        if (!t.starts_with("I2C-A") || !typ.I2C_Ausgaenge) return fehler(1);
        const auto rest = t.substr(5);
        if (rest.size() != 3 || rest[0] < '1' || rest[0] > '4' || rest[1] != ',' ||
            (rest[2] != '0' && rest[2] != '1'))
            return fehler(6);
        z.wert = rest[0] - '1';
        z.wert2 = rest[2] - '0';
        return mit(Art::I2C_Ausgang);
    }
    case 'W':
        if (!Zahl(t.substr(1), 0, 3600000, z.wert)) return fehler(6);
        return mit(Art::Wartezeit);
    case '&':
        if (!t.starts_with("&E1,")) return fehler(1);
        if (!Zahl(t.substr(4), 0, 1, z.wert)) return fehler(6);
        return mit(Art::E1Verknuepfung);
    case 'c':
    case 'D':
        if (t.size() < 2 || t[1] != ',') return fehler(1);
        if (t.size() < 3 || (z.achse = Achsenindex(t[2])) < 0 || !Zahl(t.substr(3), 0, 255, z.wert))
            return fehler(6);
        return mit(t.front() == 'c' ? Art::Strom : Art::Teilung);
    default:
        return fehler(1);
    }
}

} // namespace

std::size_t Steuerungsmodell::Programm::Groesse() const {
    std::size_t n = Kopf.size() + 1;
    for (const auto& b : Befehle)
        n += b.size() + 1;
    return n;
}

Steuerungsmodell::Steuerungsmodell(int32_t modul)
    : m_modul(modul), m_kennung(Vorgabekennung(modul)) {}

std::string Steuerungsmodell::Vorgabekennung(int32_t modul) {
    const auto* typ = Steuerungstyp_zu(modul);
    if (!typ || typ->Treiber != Treiberart::SerielleLinie) return "KX-Steuerung V1.00";
    return std::string(typ->Anzeigename) + (modul == 5   ? " V2.31"
                                            : modul == 6 ? " V2.10"
                                                         : " V1.12");
}

void Steuerungsmodell::Zeitskala_setzen(double skala) {
    m_skala = std::isfinite(skala) && skala > 0 ? skala : 0;
}

bool Steuerungsmodell::Eingang_setzen(char eingang, bool pegel) {
    if (eingang >= 'a' && eingang <= 'd') eingang = static_cast<char>(eingang - 'a' + 'A');
    if (eingang < 'A' || eingang > 'D') return false;
    m_eingaenge[eingang - 'A'] = pegel;
    return true;
}

int32_t Steuerungsmodell::Position(char achse, int64_t jetzt) const {
    if (achse >= 'A' && achse <= 'Z') achse = static_cast<char>(achse - 'A' + 'a');
    const int i = Achsenindex(achse);
    return i < 0 ? 0 : static_cast<int32_t>(Positionen(jetzt)[i]);
}

std::optional<Steuerungsmodell::Programm> Steuerungsmodell::Programmplatz(int nummer) const {
    if (nummer < 1 || nummer > Programmplaetze) return std::nullopt;
    return m_plaetze[nummer - 1];
}

std::size_t Steuerungsmodell::Speicher_belegt() const {
    std::size_t n = 0;
    for (const auto& p : m_plaetze)
        if (p) n += p->Groesse();
    return n;
}

bool Steuerungsmodell::Platz_frei_fuer(std::size_t bytes) const {
    return Speicher_belegt() + m_aufzeichnungsinhalt.Groesse() + bytes <= m_speichergroesse;
}

// --- motion profile --------------------------------------------------------------------------

Steuerungsmodell::Profil Steuerungsmodell::Profil_berechnen(double weg, double startfreq,
                                                            double freq, double rampe_s) {
    Profil p;
    if (freq <= 0) freq = 1; // refused before; never divide by zero
    const double v0 = std::clamp(startfreq, 0.0, freq);
    p.Startfreq = v0;
    if (weg <= 0) return p;
    p.Weg = weg;
    if (rampe_s <= 0 || v0 >= freq) {
        p.Dauer = weg / freq;
        p.Phasen = {{0, p.Dauer, 0, freq, 0}};
        return p;
    }
    const double a = (freq - v0) / rampe_s;
    p.Beschleunigung = a;
    const double rampenweg = (v0 + freq) / 2 * rampe_s;
    if (2 * rampenweg <= weg) {
        const double konstant = (weg - 2 * rampenweg) / freq;
        p.Phasen = {{0, rampe_s, 0, v0, a},
                    {rampe_s, konstant, rampenweg, freq, 0},
                    {rampe_s + konstant, rampe_s, weg - rampenweg, freq, -a}};
        p.Dauer = 2 * rampe_s + konstant;
    } else {
        // Too short to reach the speed: up and straight down again.
        const double spitze = std::sqrt(v0 * v0 + a * weg);
        const double t = (spitze - v0) / a;
        p.Phasen = {{0, t, 0, v0, a}, {t, t, weg / 2, spitze, -a}};
        p.Dauer = 2 * t;
    }
    return p;
}

double Steuerungsmodell::Profil::Weg_bei(double t) const {
    if (t <= 0) return 0;
    if (t >= Dauer) return Weg;
    for (const auto& ph : Phasen) {
        if (t < ph.t0 + ph.dauer) {
            const double dt = t - ph.t0;
            return std::clamp(ph.s0 + ph.v0 * dt + ph.a * dt * dt / 2, 0.0, Weg);
        }
    }
    return Weg;
}

double Steuerungsmodell::Profil::Geschwindigkeit_bei(double t) const {
    for (const auto& ph : Phasen)
        if (t < ph.t0 + ph.dauer) return std::max(0.0, ph.v0 + ph.a * std::max(0.0, t - ph.t0));
    return 0;
}

bool Steuerungsmodell::Profil::Abbremsen(double t) {
    t = std::max(t, 0.0);
    if (t >= Dauer) return false;
    const double s = Weg_bei(t);
    const double v = Geschwindigkeit_bei(t);
    double bremszeit = 0, bremsweg = 0;
    if (Beschleunigung > 0 && v > Startfreq) {
        bremszeit = (v - Startfreq) / Beschleunigung;
        bremsweg = (v + Startfreq) / 2 * bremszeit;
    }
    if (s + bremsweg >= Weg - 1e-6) return false; // on the final ramp already
    std::vector<Phase> neu;
    for (const auto& ph : Phasen) {
        if (ph.t0 >= t) break;
        Phase gekuerzt = ph;
        gekuerzt.dauer = std::min(ph.dauer, t - ph.t0);
        neu.push_back(gekuerzt);
    }
    if (bremszeit > 0) neu.push_back({t, bremszeit, s, v, -Beschleunigung});
    Phasen = std::move(neu);
    Dauer = t + bremszeit;
    Weg = s + bremsweg;
    return true;
}

// --- moves -----------------------------------------------------------------------------------

int64_t Steuerungsmodell::Dauer_ns(double sekunden) const {
    if (m_skala <= 0 || sekunden <= 0) return 0;
    const double ns = sekunden * m_skala * 1e9;
    return ns >= 4e18 ? int64_t{4'000'000'000'000'000'000} : std::llround(ns);
}

double Steuerungsmodell::Profilzeit(const Abschnitt& a, int64_t jetzt) const {
    if (a.Ende <= a.Beginn || jetzt >= a.Ende) return a.Verlauf.Dauer;
    if (jetzt <= a.Beginn) return 0;
    const double anteil =
        static_cast<double>(jetzt - a.Beginn) / static_cast<double>(a.Ende - a.Beginn);
    return anteil * a.Verlauf.Dauer;
}

void Steuerungsmodell::Abschnitt_beginnen(Abschnitt& a, int64_t beginn) {
    a.Start = m_position;
    a.Endziel = m_position;
    switch (a.Art) {
    case Abschnittsart::Fahrt:
        a.Endziel = a.Ziel;
        break;
    case Abschnittsart::Referenz_anfahren:
        a.Endziel[a.Achse] = -m_nullpunkt[a.Achse];
        break;
    case Abschnittsart::Referenz_versetzen:
        a.Endziel[a.Achse] = a.Versatz - m_nullpunkt[a.Achse];
        break;
    case Abschnittsart::Warten:
        break;
    }
    if (a.Art == Abschnittsart::Warten) {
        a.Verlauf = Profil{};
        a.Verlauf.Dauer = a.Wartezeit_s;
    } else {
        double weg = 0;
        for (int i = 0; i < Achsenzahl; ++i)
            weg = std::max(weg, static_cast<double>(std::llabs(a.Endziel[i] - a.Start[i])));
        a.Verlauf = Profil_berechnen(weg, a.Startfreq, a.Freq, a.Rampe_s);
    }
    a.Beginn = beginn;
    a.Ende = beginn + Dauer_ns(a.Verlauf.Dauer);
}

std::array<int64_t, Steuerungsmodell::Achsenzahl>
Steuerungsmodell::Positionen(int64_t jetzt) const {
    auto p = m_position;
    if (m_abschnitte.empty()) return p;
    const Abschnitt& a = m_abschnitte.front();
    if (a.Art == Abschnittsart::Warten) return p;
    double gesamt = 0;
    for (int i = 0; i < Achsenzahl; ++i)
        gesamt = std::max(gesamt, static_cast<double>(std::llabs(a.Endziel[i] - a.Start[i])));
    if (gesamt <= 0) return p;
    const double s = a.Verlauf.Weg_bei(Profilzeit(a, jetzt));
    for (int i = 0; i < Achsenzahl; ++i) {
        const double strecke = static_cast<double>(a.Endziel[i] - a.Start[i]);
        p[i] = s >= gesamt ? a.Endziel[i] : a.Start[i] + std::llround(strecke * s / gesamt);
    }
    return p;
}

void Steuerungsmodell::Abschnitt_beenden(const Abschnitt& a) {
    m_position = Positionen(a.Ende);
    if (a.Art == Abschnittsart::Referenz_versetzen && !a.Abgebrochen) {
        m_nullpunkt[a.Achse] = a.Versatz;
        m_position[a.Achse] = 0;
    }
}

std::optional<int64_t> Steuerungsmodell::Naechstes_Ereignis() const {
    if (m_abschnitte.empty()) return std::nullopt;
    return m_abschnitte.front().Ende;
}

void Steuerungsmodell::Fortschreiten(int64_t jetzt, std::vector<std::string>& aus) {
    for (;;) {
        while (!m_abschnitte.empty() && m_abschnitte.front().Ende <= jetzt) {
            Abschnitt_beenden(m_abschnitte.front());
            const int64_t ende = m_abschnitte.front().Ende;
            const bool abgebrochen = m_abschnitte.front().Abgebrochen;
            m_abschnitte.pop_front();
            if (abgebrochen) m_abschnitte.clear();
            if (m_abschnitte.empty())
                aus.push_back(std::string(1, ACK));
            else
                Abschnitt_beginnen(m_abschnitte.front(), ende);
        }
        if (!m_abschnitte.empty() || m_wartende.empty()) return;
        std::string zeile = std::move(m_wartende.front());
        m_wartende.pop_front();
        Befehl(zeile, jetzt, aus);
    }
}

std::vector<std::string> Steuerungsmodell::Zeit_fortschreiten(int64_t jetzt) {
    std::vector<std::string> aus;
    Fortschreiten(jetzt, aus);
    return aus;
}

// --- receiving -------------------------------------------------------------------------------

std::vector<std::string> Steuerungsmodell::Bytes_empfangen(std::string_view bytes, int64_t jetzt,
                                                           bool ausfuehren) {
    std::vector<std::string> aus;
    Fortschreiten(jetzt, aus);
    for (char c : bytes) {
        if (m_aufzeichnung == Aufzeichnung::Kopf && ausfuehren && !(c == ETX && m_zeile.empty())) {
            Zeilenbeginn_merken(jetzt);
            // The header is taken raw up to its STX (or a CR).
            if (c == STX || c == CR) {
                m_cr_schlucken = c == STX;
                std::string kopf = std::exchange(m_zeile, {});
                Anfrage_merken(kopf);
                Kopf_fertig(std::move(kopf), aus);
            } else if (m_zeile.size() < Zeilenlaenge_max) {
                m_zeile += c;
            } else {
                m_kopf_ueberlang = true;
            }
            continue;
        }
        if (m_cr_schlucken) {
            m_cr_schlucken = false;
            if (c == CR) continue;
        }
        if (m_ueberlang) {
            if (c == CR) m_ueberlang = false;
            continue;
        }
        Zeilenbeginn_merken(jetzt);
        if (c == CR) {
            Zeile_fertig(std::exchange(m_zeile, {}), jetzt, ausfuehren, aus);
        } else if (c == ETX && m_zeile.empty()) {
            Zeile_fertig(std::string(1, ETX), jetzt, ausfuehren, aus);
        } else {
            m_zeile += c;
            if (m_zeile.size() > Zeilenlaenge_max) {
                // Refused at once; the rest up to the CR is dropped.
                m_ueberlang = true;
                Zeile_fertig(std::exchange(m_zeile, {}), jetzt, ausfuehren, aus);
            }
        }
    }
    return aus;
}

void Steuerungsmodell::Zeilenbeginn_merken(int64_t jetzt) {
    if (m_zeilenbeginn) return;
    m_zeilenbeginn = jetzt;
}

void Steuerungsmodell::Anfrage_merken(const std::string& zeile) {
    m_anfragen.push_back(zeile);
    m_anfragebeginn.push_back(m_zeilenbeginn.value_or(0));
    m_zeilenbeginn.reset();
}

void Steuerungsmodell::Zeile_fertig(std::string zeile, int64_t jetzt, bool ausfuehren,
                                    std::vector<std::string>& aus) {
    Anfrage_merken(zeile);
    if (!ausfuehren) return;
    if (!zeile.empty() && zeile.front() == '@') {
        Mehrbyte(zeile, jetzt, aus);
        return;
    }
    if (!m_abschnitte.empty()) {
        // One command at a time: the rest waits for the end of the move.
        if (m_wartende.size() < Wartende_max) m_wartende.push_back(std::move(zeile));
        return;
    }
    Befehl(zeile, jetzt, aus);
    Fortschreiten(jetzt, aus);
}

void Steuerungsmodell::Mehrbyte(const std::string& zeile, int64_t jetzt,
                                std::vector<std::string>& aus) {
    if (zeile.size() > Zeilenlaenge_max) {
        aus.push_back(Fehlerantwort(8));
        return;
    }
    const char befehl = zeile.size() >= 2 ? zeile[1] : '\0';
    if (zeile == "@V") {
        aus.push_back("@V " + m_kennung + ACK);
    } else if (befehl == 'L') {
        const int i = zeile.size() == 3 ? Achsenindex(zeile[2]) : -1;
        if (i < 0) {
            aus.push_back(Fehlerantwort(6));
            return;
        }
        aus.push_back(zeile + " " + std::to_string(Positionen(jetzt)[i]) + ACK);
    } else if (befehl == 'I') {
        if (zeile.size() != 3 || zeile[2] < 'A' || zeile[2] > 'D') {
            aus.push_back(Fehlerantwort(6));
            return;
        }
        aus.push_back(zeile + " " + (m_eingaenge[zeile[2] - 'A'] ? '1' : '0') + ACK);
    } else if (zeile == "@B") {
        aus.push_back(std::string("@B") + ACK);
        if (!m_abschnitte.empty()) {
            Abschnitt& a = m_abschnitte.front();
            const double t = Profilzeit(a, jetzt);
            if (a.Art == Abschnittsart::Warten) {
                a.Verlauf.Dauer = t;
                a.Ende = std::min(a.Ende, jetzt);
            } else if (a.Verlauf.Abbremsen(t)) {
                a.Ende = jetzt + Dauer_ns(a.Verlauf.Dauer - t);
            }
            a.Abgebrochen = true;
        }
        Fortschreiten(jetzt, aus);
    } else if (zeile == "@S") {
        // Stops where the axes are; the pending move gets no completion answer.
        if (!m_abschnitte.empty()) {
            m_position = Positionen(jetzt);
            m_abschnitte.clear();
        }
        aus.push_back(std::string("@RS") + ACK);
        Fortschreiten(jetzt, aus);
    } else {
        aus.push_back(Fehlerantwort(1));
    }
}

void Steuerungsmodell::Befehl(const std::string& zeile, int64_t jetzt,
                              std::vector<std::string>& aus) {
    const std::string ack(1, ACK);
    if (zeile.size() > Zeilenlaenge_max) {
        aus.push_back(Fehlerantwort(8));
        return;
    }
    if (zeile.size() == 1 && zeile.front() == ETX) {
        if (m_aufzeichnung == Aufzeichnung::aus)
            aus.push_back(Fehlerantwort(1));
        else
            Programmende(aus);
        return;
    }
    if (!zeile.empty() && zeile.front() == '*') {
        Programmspeicher(zeile, aus);
        return;
    }
    if (m_aufzeichnung != Aufzeichnung::aus) {
        Speichern(zeile, aus);
        return;
    }

    const Zerlegung z = Zerlegen(zeile, m_modul);
    if (z.fehler) {
        aus.push_back(Fehlerantwort(z.fehler));
        return;
    }
    auto i32 = [](int64_t w) { return static_cast<int32_t>(w); };
    std::vector<Abschnitt> bewegung;
    switch (z.art) {
    case Art::Steuersignal:
        m_e.Steuersignal = static_cast<int>(z.wert);
        break;
    case Art::Schrittbetrieb:
        if (m_e.Steuersignal == 1) {
            aus.push_back(Fehlerantwort(1)); // no phases to drive with step/direction signals
            return;
        }
        m_e.Schrittmodus = static_cast<char>(z.wert);
        m_e.Ruhestrom = static_cast<char>(z.wert2);
        break;
    case Art::Startfreq:
        m_e.Startfreq = i32(z.wert);
        break;
    case Art::Geschwindigkeit:
        m_e.Geschwindigkeit[z.wert] = i32(z.wert2);
        break;
    case Art::Rampe:
        m_e.Rampe = i32(z.wert);
        break;
    case Art::Referenzoffset:
        m_e.Referenzoffset[z.achse] = i32(z.wert);
        break;
    case Art::Durchlaeufe:
        m_e.Durchlaeufe = i32(z.wert);
        break;
    case Art::Ausgang:
        if (m_watchdog >= 1 && m_watchdog <= 8 && z.wert == m_watchdog - 1) {
            aus.push_back(Fehlerantwort(9));
            return;
        }
        m_e.Ausgaenge[z.wert] = z.wert2 != 0;
        break;
    case Art::I2C_Ausgang:
        m_e.I2C_Ausgaenge[z.wert] = z.wert2 != 0;
        break;
    case Art::E1Verknuepfung:
        m_e.E1Verknuepfung = static_cast<int>(z.wert);
        break;
    case Art::Strom:
        m_e.Strom[z.achse] = i32(z.wert);
        break;
    case Art::Teilung:
        m_e.Teilung[z.achse] = i32(z.wert);
        break;
    case Art::Referenzfahrt: {
        const int32_t freq = m_e.Geschwindigkeit[Referenzplatz];
        if (!z.achsen.empty() && freq <= 0) {
            aus.push_back(Fehlerantwort(6));
            return;
        }
        for (char c : z.achsen) {
            Abschnitt a;
            a.Achse = Achsenindex(c);
            a.Freq = freq;
            a.Startfreq = m_e.Startfreq;
            a.Rampe_s = m_e.Rampe / 1000.0;
            a.Versatz = m_e.Referenzoffset[a.Achse];
            a.Art = Abschnittsart::Referenz_anfahren;
            bewegung.push_back(a);
            a.Art = Abschnittsart::Referenz_versetzen;
            bewegung.push_back(a);
        }
        break;
    }
    case Art::Vektorfahrt: {
        Abschnitt a;
        a.Ziel = m_position;
        bool bewegt = false;
        for (int i = 0; i < Achsenzahl; ++i) {
            const auto& f = z.felder[i];
            if (!f.gesetzt) continue;
            const int64_t ziel = f.absolut ? f.wert : m_position[i] + f.wert;
            if (ziel < int32_min || ziel > int32_max) {
                aus.push_back(Fehlerantwort(6));
                return;
            }
            a.Ziel[i] = ziel;
            bewegt = bewegt || ziel != m_position[i];
        }
        a.Freq = m_e.Geschwindigkeit[z.wert];
        if (bewegt && a.Freq <= 0) {
            aus.push_back(Fehlerantwort(6));
            return;
        }
        a.Startfreq = m_e.Startfreq;
        a.Rampe_s = m_e.Rampe / 1000.0;
        bewegung.push_back(a);
        break;
    }
    case Art::Wartezeit: {
        Abschnitt a;
        a.Art = Abschnittsart::Warten;
        a.Wartezeit_s = static_cast<double>(z.wert) / 1000.0;
        bewegung.push_back(a);
        break;
    }
    }

    const bool laeuft =
        z.art == Art::Referenzfahrt || z.art == Art::Vektorfahrt || z.art == Art::Wartezeit;
    if (!laeuft) {
        aus.push_back(ack);
        return;
    }
    aus.push_back(std::string(1, NAK));
    if (bewegung.empty()) {
        aus.push_back(ack);
        return;
    }
    for (auto& a : bewegung)
        m_abschnitte.push_back(std::move(a));
    Abschnitt_beginnen(m_abschnitte.front(), jetzt);
}

// --- program memory --------------------------------------------------------------------------

void Steuerungsmodell::Programmspeicher(const std::string& zeile, std::vector<std::string>& aus) {
    if (!Typangaben(m_modul).Programmspeicher) {
        aus.push_back(Fehlerantwort(1));
        return;
    }
    // A memory command ends an unfinished recording; its program is dropped.
    if (m_aufzeichnung != Aufzeichnung::aus) {
        m_aufzeichnung = Aufzeichnung::aus;
        m_aufzeichnungsinhalt = {};
    }
    const std::string_view t = zeile;
    const std::string_view befehl = t.substr(0, 3);
    const std::string_view rest = t.size() > 3 ? t.substr(3) : std::string_view{};
    const std::string ack(1, ACK);
    if (befehl == "*PE" && rest == "a") {
        for (auto& p : m_plaetze)
            p.reset();
        aus.push_back(std::string("*PEa") + CR);
        aus.push_back(ack);
        return;
    }
    if (befehl != "*FR" && befehl != "*PR" && befehl != "*PE" && befehl != "*PW") {
        aus.push_back(Fehlerantwort(1));
        return;
    }
    int64_t n = 0;
    if (!Zahl(rest, 1, Programmplaetze, n)) {
        aus.push_back(Fehlerantwort(2));
        return;
    }
    auto& platz = m_plaetze[n - 1];
    const std::string echo = std::string(befehl) + std::to_string(n);
    if (befehl == "*FR") {
        if (!platz)
            aus.push_back(echo + " -,-" + CR);
        else
            aus.push_back(echo + " " + std::to_string(platz->Groesse()) + "," +
                          (platz->Kopf.empty() ? "-" : Anzeigetext(platz->Kopf, 40)) + CR);
    } else if (befehl == "*PR") {
        if (!platz) {
            aus.push_back(Fehlerantwort(3));
            return;
        }
        aus.push_back(echo + CR);
        if (!platz->Kopf.empty()) aus.push_back(Anzeigetext(platz->Kopf, Zeilenlaenge_max) + CR);
        for (const auto& b : platz->Befehle)
            aus.push_back(b + CR);
        aus.push_back(ack);
    } else if (befehl == "*PE") {
        aus.push_back(echo + CR);
        if (!platz) {
            aus.push_back(Fehlerantwort(3));
            return;
        }
        platz.reset();
        aus.push_back(ack);
    } else { // *PW
        if (platz) {
            aus.push_back(Fehlerantwort(5));
            return;
        }
        m_aufzeichnung = Aufzeichnung::Kopf;
        m_aufzeichnungsplatz = static_cast<int>(n);
        m_aufzeichnungsinhalt = {};
        m_kopf_ueberlang = false;
        aus.push_back(ack);
    }
}

void Steuerungsmodell::Kopf_fertig(std::string kopf, std::vector<std::string>& aus) {
    bool zu_lang = std::exchange(m_kopf_ueberlang, false);
    if (kopf.size() > Zeilenlaenge_max) {
        kopf.resize(Zeilenlaenge_max);
        zu_lang = true;
    }
    if (!Platz_frei_fuer(kopf.size())) { // the terminator is counted already
        m_aufzeichnung = Aufzeichnung::Ueberlauf;
        aus.push_back(Fehlerantwort(4));
        return;
    }
    m_aufzeichnungsinhalt.Kopf = std::move(kopf);
    m_aufzeichnung = Aufzeichnung::Befehle;
    // A header too long is cut and refused, but the recording goes on: the commands that follow
    // must not start to move the machine.
    aus.push_back(zu_lang ? Fehlerantwort(8) : std::string(1, ACK));
}

void Steuerungsmodell::Speichern(const std::string& zeile, std::vector<std::string>& aus) {
    if (m_aufzeichnung == Aufzeichnung::Kopf) {
        // The header came as a line of its own (held back during a move).
        std::string kopf = zeile;
        if (!kopf.empty() && kopf.back() == STX) kopf.pop_back();
        Kopf_fertig(std::move(kopf), aus);
        return;
    }
    if (m_aufzeichnung == Aufzeichnung::Ueberlauf) {
        aus.push_back(Fehlerantwort(4));
        return;
    }
    const Zerlegung z = Zerlegen(zeile, m_modul);
    if (z.fehler) {
        aus.push_back(Fehlerantwort(z.fehler));
        return;
    }
    if (!Platz_frei_fuer(zeile.size() + 1)) {
        m_aufzeichnung = Aufzeichnung::Ueberlauf;
        aus.push_back(Fehlerantwort(4));
        return;
    }
    m_aufzeichnungsinhalt.Befehle.push_back(zeile);
    aus.push_back(std::string(1, ACK));
}

void Steuerungsmodell::Programmende(std::vector<std::string>& aus) {
    if (m_aufzeichnung == Aufzeichnung::Ueberlauf || !Platz_frei_fuer(0)) {
        aus.push_back(Fehlerantwort(4)); // the program does not fit: nothing of it is kept
    } else {
        m_plaetze[m_aufzeichnungsplatz - 1] = std::move(m_aufzeichnungsinhalt);
        aus.push_back(std::string(1, ACK));
    }
    m_aufzeichnung = Aufzeichnung::aus;
    m_aufzeichnungsinhalt = {};
}

} // namespace orvexa
