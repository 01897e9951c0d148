#include "speichermodell.h"

#include "steuerungsmodell.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace orvexa {

namespace {

constexpr int64_t int32_min = std::numeric_limits<int32_t>::min();
constexpr int64_t int32_max = std::numeric_limits<int32_t>::max();
// Longer lines than this are not even kept for the record.
constexpr std::size_t Empfangspuffer_max = 256;

// Decimal without padding; a leading '-' only where min is negative.
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

} // namespace

Speichermodell::Speichermodell(int32_t modul) : m_modul(modul), m_kennung(Vorgabekennung(modul)) {}

std::string Speichermodell::Vorgabekennung(int32_t modul) {
    return modul == 3 ? "KX900i KXCU V3.04" : "KX-IKXIF V1.21";
}

void Speichermodell::Zeitskala_setzen(double skala) {
    m_skala = std::isfinite(skala) && skala > 0 ? skala : 0;
}

std::size_t Speichermodell::Festwertspeicher_belegt() const {
    std::size_t n = 0;
    for (const auto& b : m_aufzeichnung ? m_aufgezeichnet : m_festprogramm)
        n += b.size() + 1;
    return n;
}

std::array<int64_t, Speichermodell::Achsenzahl> Speichermodell::Positionen(int64_t jetzt) const {
    if (!m_schritt_aktiv || m_ende <= m_beginn || jetzt >= m_ende)
        return m_schritt_aktiv && jetzt >= m_ende ? m_ziel : m_position;
    const double anteil = std::clamp(
        static_cast<double>(jetzt - m_beginn) / static_cast<double>(m_ende - m_beginn), 0.0, 1.0);
    std::array<int64_t, Achsenzahl> p{};
    for (int i = 0; i < Achsenzahl; ++i)
        p[i] = m_start[i] + std::llround(static_cast<double>(m_ziel[i] - m_start[i]) * anteil);
    return p;
}

int32_t Speichermodell::Position(char achse, int64_t jetzt) const {
    if (achse >= 'A' && achse <= 'Z') achse = static_cast<char>(achse - 'A' + 'a');
    const int i = Achsenindex(achse);
    return i < 0 ? 0 : static_cast<int32_t>(Positionen(jetzt)[i]);
}

std::optional<int64_t> Speichermodell::Naechstes_Ereignis() const {
    if (!m_schritt_aktiv) return std::nullopt;
    return m_ende;
}

// --- checking and settings ---------------------------------------------------------------------

int Speichermodell::Pruefen(const std::string& zeile, bool& bewegung) const {
    const bool kxcu = m_modul == 3;
    const std::string_view t = zeile;
    const int64_t hoechster_platz = kxcu ? 10 : 99;
    const auto achse_gilt = [kxcu](char c) {
        const int i = Achsenindex(c);
        return i >= 0 && (i < 3 || kxcu);
    };
    int64_t w = 0, w2 = 0;
    bewegung = false;
    if (t.empty()) return 0;
    switch (t.front()) {
    case 'T':
        if (kxcu) return 1;
        return Zahl(t.substr(1), 0, 1, w) ? 0 : 6;
    case 'F':
        if (kxcu) return 1;
        return Zahl(t.substr(1), 0, 1, w) ? 0 : 6;
    case 'Z':
        if (kxcu) return 1;
        return Zahl(t.substr(1), 0, 2, w) ? 0 : 6;
    case 'U':
        if (!kxcu) return 1;
        return t == "U0" || t == "U1" ? 0 : 6;
    case '&':
        if (!kxcu || !t.starts_with("&V")) return 1;
        return t == "&V0" || t == "&V1" ? 0 : 6;
    case 'A':
        if (!kxcu) return t == "A0" || t == "A1" ? 0 : 6;
        return t.size() == 4 && t[1] >= '1' && t[1] <= '4' && t[2] == ',' &&
                       (t[3] == '0' || t[3] == '1')
                   ? 0
                   : 6;
    case 'W':
        bewegung = true;
        return Zahl(t.substr(1), 0, 32000, w) ? 0 : 6;
    case '$':
        if (t.size() < 2 || t[1] != 'H') return 1;
        for (char c : t.substr(2))
            if (!achse_gilt(c)) return 6;
        bewegung = true;
        return 0;
    case 'L': {
        auto rest = t.substr(1);
        auto komma = rest.find(',');
        if (!Zahl(rest.substr(0, komma), 0, hoechster_platz, w)) return 6;
        std::array<bool, Achsenzahl> gesetzt{};
        while (komma != std::string_view::npos) {
            rest = rest.substr(komma + 1);
            komma = rest.find(',');
            const auto feld = rest.substr(0, komma);
            if (feld.size() < 2) return 6;
            const char buchstabe =
                feld[0] >= 'A' && feld[0] <= 'Z' ? static_cast<char>(feld[0] - 'A' + 'a') : feld[0];
            if (!achse_gilt(buchstabe) || gesetzt[Achsenindex(buchstabe)]) return 6;
            if (!Zahl(feld.substr(1), int32_min, int32_max, w2)) return 6;
            gesetzt[Achsenindex(buchstabe)] = true;
        }
        bewegung = true;
        return 0;
    }
    case '#': {
        if (t.size() < 2) return 1;
        const auto rest = t.substr(2);
        switch (t[1]) {
        case 'S':
            return Zahl(rest, 0, 5000, w) ? 0 : 6;
        case 'R':
            return Zahl(rest, 0, 60000, w) ? 0 : 6;
        case 'E': {
            const auto komma = rest.find(',');
            return komma != std::string_view::npos &&
                           Zahl(rest.substr(0, komma), 0, hoechster_platz, w) &&
                           Zahl(rest.substr(komma + 1), 0, 5000, w2)
                       ? 0
                       : 6;
        }
        case 'D':
            // The iKXIF's reference direction: axis, then four numbers.
            if (kxcu) return 1;
            if (rest.size() < 2 || !achse_gilt(rest[0]) || rest[1] != ',') return 6;
            {
                auto teile = rest.substr(2);
                for (int i = 0; i < 4; ++i) {
                    const auto komma = teile.find(',');
                    if ((i < 3) != (komma != std::string_view::npos)) return 6;
                    if (!Zahl(teile.substr(0, komma), 0, 9, w)) return 6;
                    if (i < 3) teile = teile.substr(komma + 1);
                }
            }
            return 0;
        case 'O': {
            if (kxcu) return 1;
            if (rest.size() < 3 || !achse_gilt(rest[0]) || rest[1] != ',') return 6;
            auto wert = rest.substr(2);
            if (!wert.empty() && wert.front() == ' ') wert.remove_prefix(1);
            return Zahl(wert, int32_min, int32_max, w) ? 0 : 6;
        }
        default:
            return 1;
        }
    }
    default:
        return 1;
    }
}

void Speichermodell::Einstellen(const std::string& zeile) {
    const std::string_view t = zeile;
    int64_t w = 0, w2 = 0;
    if (t.empty()) return;
    switch (t.front()) {
    case 'T':
        Zahl(t.substr(1), 0, 1, w);
        m_e.Steuersignal = static_cast<int>(w);
        break;
    case 'F':
        Zahl(t.substr(1), 0, 1, w);
        m_e.Schrittbetrieb = static_cast<int>(w);
        break;
    case 'Z':
        Zahl(t.substr(1), 0, 2, w);
        m_e.ZBetrieb = static_cast<int>(w);
        break;
    case 'U':
        m_e.UBetrieb = t[1] - '0';
        break;
    case '&':
        m_e.E1Verknuepfung = t[2] - '0';
        break;
    case 'A':
        if (m_modul == 3)
            m_e.Ausgaenge[t[1] - '1'] = t[3] == '1';
        else
            m_e.Ausgaenge[0] = t[1] == '1';
        break;
    case '#': {
        const auto rest = t.substr(2);
        if (t[1] == 'S') {
            Zahl(rest, 0, 5000, w);
            m_e.Startfreq = static_cast<int32_t>(w);
        } else if (t[1] == 'R') {
            Zahl(rest, 0, 60000, w);
            m_e.Rampe = static_cast<int32_t>(w);
        } else if (t[1] == 'E') {
            const auto komma = rest.find(',');
            Zahl(rest.substr(0, komma), 0, 99, w);
            Zahl(rest.substr(komma + 1), 0, 5000, w2);
            m_e.Geschwindigkeit[w] = static_cast<int32_t>(w2);
        } else if (t[1] == 'O') {
            auto wert = rest.substr(2);
            if (!wert.empty() && wert.front() == ' ') wert.remove_prefix(1);
            Zahl(wert, int32_min, int32_max, w);
            m_e.Referenzoffset[Achsenindex(rest[0])] = static_cast<int32_t>(w);
        }
        break;
    }
    default:
        break;
    }
}

// --- running the queue -------------------------------------------------------------------------

void Speichermodell::Starten(int64_t jetzt, std::vector<std::string>& aus) {
    if (!m_laeuft && m_warteschlange.empty()) {
        aus.push_back(std::string{STX, CR});
        return;
    }
    m_laeuft = true;
    aus.push_back(std::string{ETX, CR});
    Fortschreiten(jetzt, aus);
}

void Speichermodell::Fortschreiten(int64_t jetzt, std::vector<std::string>& aus) {
    int64_t zeit = jetzt;
    for (;;) {
        if (m_schritt_aktiv) {
            if (m_ende > jetzt) return;
            m_position = m_ziel;
            m_schritt_aktiv = false;
            zeit = m_ende;
        }
        if (!m_laeuft) return;
        if (m_warteschlange.empty()) {
            m_laeuft = false;
            aus.push_back(std::string{STX, CR});
            return;
        }
        const Eintrag eintrag = std::move(m_warteschlange.front());
        m_warteschlange.pop_front();
        if (!eintrag.bewegung) {
            Einstellen(eintrag.befehl);
            continue;
        }
        const std::string_view t = eintrag.befehl;
        m_start = m_position;
        m_ziel = m_position;
        double dauer_s = 0;
        double freq = 0;
        if (t.front() == 'W') {
            int64_t ms = 0;
            Zahl(t.substr(1), 0, 32000, ms);
            dauer_s = static_cast<double>(ms) / 1000.0;
        } else if (t.front() == '$') {
            for (char c : t.substr(2))
                m_ziel[Achsenindex(c)] = 0;
            freq = m_e.Geschwindigkeit[1];
        } else {
            auto rest = t.substr(1);
            auto komma = rest.find(',');
            int64_t platz = 0;
            Zahl(rest.substr(0, komma), 0, 99, platz);
            freq = m_e.Geschwindigkeit[platz];
            while (komma != std::string_view::npos) {
                rest = rest.substr(komma + 1);
                komma = rest.find(',');
                const auto feld = rest.substr(0, komma);
                const bool absolut = feld[0] >= 'A' && feld[0] <= 'Z';
                const int i =
                    Achsenindex(absolut ? static_cast<char>(feld[0] - 'A' + 'a') : feld[0]);
                int64_t wert = 0;
                Zahl(feld.substr(1), int32_min, int32_max, wert);
                m_ziel[i] = std::clamp(absolut ? wert : m_position[i] + wert, int32_min, int32_max);
            }
        }
        if (t.front() != 'W') {
            double weg = 0;
            for (int i = 0; i < Achsenzahl; ++i)
                weg = std::max(weg, static_cast<double>(std::llabs(m_ziel[i] - m_start[i])));
            if (weg > 0 && freq <= 0) {
                // Without a speed the axes would not turn; the controller skips the move.
                m_abgelehnt.push_back(eintrag.befehl);
                m_ziel = m_start;
                continue;
            }
            if (weg > 0)
                dauer_s =
                    Steuerungsmodell::Profil_berechnen(weg, m_e.Startfreq, freq, m_e.Rampe / 1000.0)
                        .Dauer;
        }
        m_schritt_aktiv = true;
        m_beginn = zeit;
        const double ns = m_skala > 0 ? dauer_s * m_skala * 1e9 : 0;
        m_ende = zeit + (ns >= 4e18 ? int64_t{4'000'000'000'000'000'000} : std::llround(ns));
    }
}

std::vector<std::string> Speichermodell::Zeit_fortschreiten(int64_t jetzt) {
    std::vector<std::string> aus;
    Fortschreiten(jetzt, aus);
    return aus;
}

void Speichermodell::Anhalten(int64_t jetzt) {
    m_position = Positionen(jetzt);
    m_schritt_aktiv = false;
    m_laeuft = false;
    m_warteschlange.clear();
}

bool Speichermodell::Festprogramm_starten(int64_t jetzt, std::vector<std::string>& aus) {
    Fortschreiten(jetzt, aus);
    if (m_modul != 3 || m_laeuft || m_aufzeichnung || m_festprogramm.empty()) return false;
    for (const auto& befehl : m_festprogramm) {
        bool bewegung = false;
        Pruefen(befehl, bewegung);
        m_warteschlange.push_back({befehl, bewegung});
    }
    Starten(jetzt, aus);
    return true;
}

// --- receiving ---------------------------------------------------------------------------------

std::vector<std::string> Speichermodell::Bytes_empfangen(std::string_view bytes, int64_t jetzt,
                                                         bool ausfuehren) {
    std::vector<std::string> aus;
    Fortschreiten(jetzt, aus);
    for (char c : bytes) {
        if (c == CR || c == SOH) {
            Zeile_fertig(std::exchange(m_zeile, {}), c, jetzt, ausfuehren, aus);
            m_ueberlang = false;
        } else if (m_zeile.size() < Empfangspuffer_max) {
            m_zeile += c;
        } else {
            m_ueberlang = true;
        }
    }
    return aus;
}

void Speichermodell::Zeile_fertig(std::string zeile, char terminator, int64_t jetzt,
                                  bool ausfuehren, std::vector<std::string>& aus) {
    m_anfragen.push_back(zeile + terminator);
    if (!ausfuehren) return;
    const auto ablehnen = [&](int nummer) {
        m_abgelehnt.push_back(zeile);
        aus.push_back("E" + std::to_string(nummer) + CR);
    };
    if (m_ueberlang || zeile.size() > Zeilenlaenge_max) {
        ablehnen(8);
        return;
    }
    if (!zeile.empty() && zeile.front() == '@') {
        Sofortbefehl(zeile, jetzt, aus);
        return;
    }
    bool bewegung = false;
    if (m_aufzeichnung) {
        if (terminator == SOH && zeile.empty()) {
            // The end of the recording: the program is kept only when it fitted.
            if (m_voll) {
                m_festprogramm.clear();
                aus.push_back(std::string("E4") + CR);
            } else {
                m_festprogramm = std::move(m_aufgezeichnet);
                aus.push_back(std::string(1, CR));
            }
            m_aufzeichnung = false;
            m_voll = false;
            m_aufgezeichnet.clear();
            return;
        }
        if (m_voll) {
            aus.push_back(std::string{ETX, CR});
            return;
        }
        if (const int fehler = Pruefen(zeile, bewegung)) {
            ablehnen(fehler);
            return;
        }
        if (Festwertspeicher_belegt() + zeile.size() + 1 > m_kapazitaet) {
            m_voll = true;
            aus.push_back(std::string{ETX, CR});
            return;
        }
        if (!zeile.empty()) m_aufgezeichnet.push_back(zeile);
        aus.push_back(std::string(1, CR));
        return;
    }
    const int fehler = Pruefen(zeile, bewegung);
    if (fehler) {
        ablehnen(fehler);
    } else if (!zeile.empty()) {
        if (bewegung || m_laeuft || !m_warteschlange.empty())
            m_warteschlange.push_back({zeile, bewegung});
        else
            Einstellen(zeile);
    }
    if (terminator == SOH)
        Starten(jetzt, aus);
    else if (!fehler)
        aus.push_back(std::string(1, CR));
}

void Speichermodell::Sofortbefehl(const std::string& zeile, int64_t jetzt,
                                  std::vector<std::string>& aus) {
    const bool kxcu = m_modul == 3;
    if (zeile == "@V") {
        aus.push_back("@V " + m_kennung + CR);
    } else if (zeile.size() >= 2 && zeile[1] == 'L') {
        const int i = zeile.size() == 3 ? Achsenindex(zeile[2]) : -1;
        if (i < 0) {
            m_abgelehnt.push_back(zeile);
            aus.push_back(std::string("E6") + CR);
            return;
        }
        aus.push_back(zeile + " " + std::to_string(Positionen(jetzt)[i]) + CR);
    } else if (zeile == "@B" || zeile == "@S") {
        Anhalten(jetzt);
        aus.push_back(zeile + CR);
    } else if (kxcu && zeile == "@F") {
        m_aufzeichnung = true;
        m_voll = false;
        m_aufgezeichnet.clear();
        aus.push_back(std::string(1, CR));
    } else if (kxcu && zeile == "@E") {
        m_festprogramm.clear();
        m_aufgezeichnet.clear();
        m_aufzeichnung = false;
        m_voll = false;
        aus.push_back(std::string(1, CR));
    } else {
        m_abgelehnt.push_back(zeile);
        aus.push_back(std::string("E1") + CR);
    }
}

} // namespace orvexa
