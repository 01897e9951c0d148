#include "vektoreinstellungen.h"

#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"

#include <optional>

namespace orvexa {

namespace {

const char* Wahrheit(bool wert) {
    return wert ? "true" : "false";
}

char Klein(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Gleich_ohne_Gross(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Klein(a[i]) != Klein(b[i])) return false;
    return true;
}

// The value of the first line whose key is schluessel.
std::optional<std::string> Wert(std::string_view inhalt, std::string_view schluessel) {
    while (!inhalt.empty()) {
        const std::size_t ende = inhalt.find('\n');
        std::string_view zeile = inhalt.substr(0, ende);
        inhalt = ende == std::string_view::npos ? std::string_view{} : inhalt.substr(ende + 1);
        if (!zeile.empty() && zeile.back() == '\r') zeile.remove_suffix(1);
        const std::size_t gleich = zeile.find('=');
        if (gleich == std::string_view::npos) continue;
        if (Gleich_ohne_Gross(Text_trimmen(zeile.substr(0, gleich)), schluessel))
            return std::string(zeile.substr(gleich + 1));
    }
    return std::nullopt;
}

} // namespace

std::string Vektoreinstellungen_Dateiname() {
    const std::string programm = Programmpfad();
    const std::size_t schraegstrich = programm.rfind('/');
    return Konfigurationsdateiname(
        Programmverzeichnis() +
        (schraegstrich == std::string::npos ? programm : programm.substr(schraegstrich + 1)));
}

std::string Vektoreinstellungen_Inhalt(const Vektoreinstellungen& e) {
    std::string text = "RefModus=" + std::to_string(e.RefModus) + "\r\n\r\n";
    for (std::size_t i = 0; i < e.RefZyklusAktiv.size(); ++i)
        text +=
            "RefZyklusAktiv[" + std::to_string(i) + "]=" + Wahrheit(e.RefZyklusAktiv[i]) + "\r\n";
    text += "\r\n";
    text += std::string("zAchseInterpolieren=") + Wahrheit(e.zAchseInterpolieren) + "\r\n\r\n";
    text += std::string("InFestwertspeicher=") + Wahrheit(e.InFestwertspeicher) + "\r\n\r\n";
    return text;
}

Vektoreinstellungen Vektoreinstellungen_aus_Dateiinhalt(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    Vektoreinstellungen e;
    if (const auto wert = Wert(bytes, "RefModus")) {
        int32_t modus = 0;
        try {
            modus = Text_zu_Ganzzahl(*wert);
        } catch (const Umwandlungsfehler&) {
            modus = 0;
        }
        // Only the three choices of the radio group can be shown.
        e.RefModus = modus >= 0 && modus <= 2 ? modus : 0;
    }
    for (std::size_t i = 0; i < e.RefZyklusAktiv.size(); ++i)
        if (const auto wert = Wert(bytes, "RefZyklusAktiv[" + std::to_string(i) + "]"))
            e.RefZyklusAktiv[i] = Text_zu_Bool(*wert);
    if (const auto wert = Wert(bytes, "zAchseInterpolieren"))
        e.zAchseInterpolieren = Text_zu_Bool(*wert);
    if (const auto wert = Wert(bytes, "InFestwertspeicher"))
        e.InFestwertspeicher = Text_zu_Bool(*wert);
    return e;
}

Vektoreinstellungen Vektoreinstellungen_laden(const std::string& pfad) {
    std::string inhalt;
    if (!Datei_lesen(pfad, inhalt)) return {};
    return Vektoreinstellungen_aus_Dateiinhalt(inhalt);
}

bool Vektoreinstellungen_speichern(const Vektoreinstellungen& e, const std::string& pfad) {
    std::string grund;
    if (Datei_atomar_schreiben(pfad, Vektoreinstellungen_Inhalt(e), &grund)) return true;
    Protokoll_schreiben(Ebene_Fehler, "Vektoreinstellungen_speichern() :: " + grund);
    if (grund.starts_with(pfad + ": ")) grund.erase(0, pfad.size() + 2);
    oberflaeche().Meldung("Die Einstellungen der Vektorausgabe konnten nicht in die Datei\n" +
                              pfad + "\ngespeichert werden.\n\nGrund: " + grund,
                          "orvexa2011", Symbol::warnung, Knoepfe::ok);
    return false;
}

} // namespace orvexa
