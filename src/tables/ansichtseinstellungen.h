#pragma once

#include <string>
#include <string_view>

namespace orvexa {

// How the operator left the main window's path preview: our own file, beside none of the
// program's files ($XDG_CONFIG_HOME/orvexa2011/orvexa2011-ansicht.conf, else
// ~/.config/orvexa2011/...).
struct Ansichtseinstellungen {
    bool Pfadvorschau_offen = true;
    int Pfadvorschau_breite = 0; // pixels; 0 or less: a third of the window

    bool operator==(const Ansichtseinstellungen&) const = default;
};

// Empty when neither XDG_CONFIG_HOME nor a home folder is known.
std::string Ansichtseinstellungen_Dateiname();

// "[Pfadvorschau]", "offen=true|false", "breite=N", LF. Unknown lines are skipped, a value
// that cannot be read keeps its default.
std::string Ansichtseinstellungen_Inhalt(const Ansichtseinstellungen& e);
Ansichtseinstellungen Ansichtseinstellungen_aus_Inhalt(std::string_view text);

// A missing or unreadable file gives the defaults.
Ansichtseinstellungen Ansichtseinstellungen_laden(const std::string& pfad);
// Makes the folder and writes atomically; false with the reason in fehlertext.
bool Ansichtseinstellungen_speichern(const Ansichtseinstellungen& e, const std::string& pfad,
                                     std::string* fehlertext = nullptr);

} // namespace orvexa
