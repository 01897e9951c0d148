#include "ansichtseinstellungen.h"

#include "core/dateien.h"
#include "core/text.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace orvexa {

namespace {

std::string Heimat() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    std::vector<char> puffer(16384);
    passwd eintrag{};
    passwd* ergebnis = nullptr;
    if (::getpwuid_r(::getuid(), &eintrag, puffer.data(), puffer.size(), &ergebnis) == 0 &&
        ergebnis && ergebnis->pw_dir && *ergebnis->pw_dir)
        return ergebnis->pw_dir;
    return {};
}

} // namespace

std::string Ansichtseinstellungen_Dateiname() {
    std::string ordner;
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        ordner = xdg;
    else if (const std::string heimat = Heimat(); !heimat.empty())
        ordner = heimat + "/.config";
    if (ordner.empty()) return {};
    return ordner + "/orvexa2011/orvexa2011-ansicht.conf";
}

std::string Ansichtseinstellungen_Inhalt(const Ansichtseinstellungen& e) {
    return std::string("[Pfadvorschau]\noffen=") + (e.Pfadvorschau_offen ? "true" : "false") +
           "\nbreite=" + std::to_string(e.Pfadvorschau_breite) + "\n";
}

Ansichtseinstellungen Ansichtseinstellungen_aus_Inhalt(std::string_view text) {
    Ansichtseinstellungen e;
    bool im_abschnitt = false;
    while (!text.empty()) {
        const std::size_t ende = text.find('\n');
        std::string_view roh = text.substr(0, ende);
        if (!roh.empty() && roh.back() == '\r') roh.remove_suffix(1);
        const std::string zeile = Text_trimmen(roh);
        text = ende == std::string_view::npos ? std::string_view{} : text.substr(ende + 1);
        if (zeile.starts_with('[')) {
            im_abschnitt = zeile == "[Pfadvorschau]";
            continue;
        }
        const std::size_t gleich = zeile.find('=');
        if (!im_abschnitt || gleich == std::string::npos) continue;
        const std::string schluessel = Text_trimmen(std::string_view(zeile).substr(0, gleich));
        const std::string wert = Text_trimmen(std::string_view(zeile).substr(gleich + 1));
        if (schluessel == "offen") {
            if (wert == "true")
                e.Pfadvorschau_offen = true;
            else if (wert == "false")
                e.Pfadvorschau_offen = false;
        } else if (schluessel == "breite") {
            const int32_t breite = Ganzzahl_oder_null(wert);
            // A width no screen has is a damaged file.
            if (breite > 0 && breite <= 100'000) e.Pfadvorschau_breite = breite;
        }
    }
    return e;
}

Ansichtseinstellungen Ansichtseinstellungen_laden(const std::string& pfad) {
    std::string inhalt;
    if (pfad.empty() || !Datei_lesen(pfad, inhalt)) return {};
    return Ansichtseinstellungen_aus_Inhalt(inhalt);
}

bool Ansichtseinstellungen_speichern(const Ansichtseinstellungen& e, const std::string& pfad,
                                     std::string* fehlertext) {
    if (pfad.empty()) {
        if (fehlertext) *fehlertext = "kein Ordner für die Einstellungen bekannt";
        return false;
    }
    std::error_code fehler;
    std::filesystem::create_directories(std::filesystem::path(pfad).parent_path(), fehler);
    if (fehler) {
        if (fehlertext) *fehlertext = pfad + ": " + fehler.message();
        return false;
    }
    return Datei_atomar_schreiben(pfad, Ansichtseinstellungen_Inhalt(e), fehlertext);
}

} // namespace orvexa
