#include "winkeltranskript.h"

#include "core/dateien.h"
#include "core/text.h"
#include "core/zeichensatz.h"

#include <cmath>

namespace orvexa {

void Winkeltranskript::Beobachter_setzen(Beobachter beobachter) {
    std::lock_guard lock(m_mutex);
    m_beobachter = std::move(beobachter);
}

void Winkeltranskript::Zeile(const std::string& text) {
    std::function<void(const std::string&)> melden;
    {
        std::lock_guard lock(m_mutex);
        m_zeilen.push_back(text);
        melden = m_beobachter.Zeile;
    }
    if (melden) melden(text);
}

void Winkeltranskript::Leeren() {
    std::function<void()> melden;
    {
        std::lock_guard lock(m_mutex);
        m_zeilen.clear();
        melden = m_beobachter.Geleert;
    }
    if (melden) melden();
}

std::vector<std::string> Winkeltranskript::Zeilen() const {
    std::lock_guard lock(m_mutex);
    return m_zeilen;
}

bool Winkeltranskript::Speichern(const std::string& pfad, std::string* fehler) const {
    std::string inhalt;
    for (const std::string& zeile : Zeilen())
        inhalt += Utf8_zu_Cp1252(zeile) + "\r\n";
    return Datei_atomar_schreiben(pfad, inhalt, fehler);
}

std::string Winkel_fest3(double wert) {
    if (!std::isfinite(wert)) return Formatieren("%.3f", wert);
    if (std::fabs(wert) >= 1e7) return Formatieren("%.6E", wert);
    // Seven significant digits: above 9999.999 the last decimals are zeros.
    if (wert != 0) {
        const int stellen = static_cast<int>(std::floor(std::log10(std::fabs(wert)))) + 1;
        if (stellen > 4) {
            const double faktor = std::pow(10.0, 7 - stellen);
            wert = std::round(wert * faktor) / faktor;
        }
    }
    std::string text = Formatieren("%.3f", wert);
    if (text == "-0.000") text = "0.000";
    return text;
}

} // namespace orvexa
