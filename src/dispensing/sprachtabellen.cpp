#include "sprachtabellen.h"

#include "core/text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace orvexa {

namespace {

using enum Textnummer;

struct Zeile {
    Textnummer nummer;
    const char* deutsch;
    const char* englisch;
    const char* polski;
};

// The three tables side by side, one row per text. Polish keeps to ASCII like the rows that
// came with the machine.
constexpr Zeile Zeilen[] = {
    {Titel, "Doming mit Pellix - Deutsch", "Doming-Englisch", "Doming-Polski"},
    {Laserpointer_ON_OFF, "L&aserpointer ON/OFF", "L&aser pointer ON/OFF",
     "Wskaznik l&aserowy ON/OFF"},
    {Referenzfahrt, "Referenzfa&hrt", "reference", "Najazd"},
    {Laserpointer_Betrieb, "Laserpointer-&Betrieb", "Laser pointer &mode",
     "Tryb &wskaznika laserowego"},
    {Dauertest, "&Dauertest", "endurance test", "Test ciagly"},
    {Start, "S&tart", "S&tart", "S&tart"},
    {Fortsetzen, "F&ortsetzen", "Continue", "Kontynuuj"},
    {Abbrechen, "&Abbrechen", "&Cancel", "&Anuluj"},
    {Schliessen, "&Schließen", "C&lose", "&Zamknij"},
    {OK, "OK", "OK", "OK"},
    {Uebernehmen, "&Übernehmen", "&Apply", "&Zastosuj"},
    {mm, "mm", "mm", "mm"},
    {Hz, "Hz", "Hz", "Hz"},
    {sec, "sec", "sec", "sek"},
    {ms, "ms", "ms", "ms"},
    {Schritte_pro_sec, "Schritte/sec", "Steps/sec", "kroki/sek"},
    {Datei, "&Datei", "&File", "&Plik"},
    {Neu, "&Neu", "&New", "&Nowy"},
    {Oeffnen, "&Öffnen...", "&Open...", "&Otworz..."},
    {Speichern_unter, "Speichern &unter...", "Save &as...", "Zapisz &jako..."},
    {Parameter, "&Parameter", "&Parameters", "&Parametry"},
    {Geschwindigkeit_Menue, "&Geschwindigkeit", "&Speed", "Pred&kosc"},
    {Spuelung, "&Spülung", "wash", "Wash"},
    {Startpunkt, "Startp&unkt", "Start &point", "Punkt &startowy"},
    {x_Position, "x-Position", "x-position", "Pozycja x"},
    {y_Position, "y-Position", "y-position", "Pozycja y"},
    {Manuelles_Fahren, "Manuelles &Fahren", "manual", "Tryb manualny"},
    {REF, "&REF", "&REF", "&REF"},
    {Geschwindigkeit, "Geschwindigkeit", "Speed", "Predkosc"},
    {Schrittweite, "Schrittweite", "Step width", "Krok"},
    {kontinuierlich, " kontinuierlich", " continuous", " ciagly"},
    {Schrittweite_mm, "                   mm", "                   mm", "                   mm"},
    {Abstand, "Abstand", "Distance", "Odstep"},
    {x_Abstand, "x-Abstand", "x-distance", "Odstep x"},
    {y_Abstand, "y-Abstand", "y-distance", "Odstep y"},
    {x_Anzahl, "x-Anzahl", "x-count", "Ilosc x"},
    {y_Anzahl, "y-Anzahl", "y-count", "Ilosc y"},
    {Bogen, "Bogen", "sheet", "Bogen"},
    {Bogen_x_Abstand, "x-Abstand", "x-distance", "Odstep x"},
    {Bogen_y_Abstand, "y-Abstand", "y-distance", "Odstep y"},
    {Bogen_x_Anzahl, "x-Anzahl", "x-count", "Ilosc x"},
    {Bogen_y_Anzahl, "y-Anzahl", "y-count", "Ilosc y"},
    {Punkt, "&Punkt", "&Point", "&Punkt"},
    {Dosierzeit, "Dosierzeit", "Dosing time", "Czas dozowania"},
    {Dosierzeit_bestimmen, "Dosier&zeit bestimmen", "Determine dosing &time",
     "Okresl czas do&zowania"},
    {Linie, "&Linie", "&Line", "&Linia"},
    {Linienlaenge, "Linienlänge", "Line length", "Dlugosc linii"},
    {Abtropflinie, "Abtropflinie", "drip-off line", "Dlugosc przestoju"},
    {Kreis, "&Kreis", "&Circle", "&Okrag"},
    {Radius, "Radius", "Radius", "Promien"},
    {Grad, "Grad", "deg", "stopni"},
    {Rechteck, "Rechte&ck", "Re&ctangle", "Prosto&kat"},
    {Laenge, "Länge", "Length", "Dlugosc"},
    {Breite, "Breite", "Width", "Szerokosc"},
    {HPGL, "HP&GL", "HP&GL", "HP&GL"},
    {Dosierzeit1, "Dosierzeit1", "Dosing time1", "Czas dozowania1"},
    {Dosierzeit2, "Dosierzeit2", "Dosing time2", "Czas dozowania2"},
    {Dosierzeit3, "Dosierzeit3", "Dosing time3", "Czas dozowania3"},
    {Abtropfzeit, "Abtropfzeit", "Drip-off time", "Czas przestoju"},
    {Zeiten_Abtropflinie, "Abtropflinie", "drip-off line", "Dlugosc przestoju"},
    {Keine_HPGL_Datei, "Bitte rechte Maustaste drücken.", "Please press right mouse-button.",
     "Kliknij prawy klawisz myszy"},
    {Doming_Parameter, "Doming-Parameter", "Doming parameters", "Parametry Doming"},
    {Sprache_Gruppe, "Sprache", "Language", "Jezyk"},
    {Abmessung, "Abmessung", "Dimensions", "Wymiary"},
    {x_Abmessung, "x-Abmessung", "x-dimension", "Wymiar x"},
    {y_Abmessung, "y-Abmessung", "y-dimension", "Wymiar y"},
    {Doming_Geschwindigkeit, "Doming-Geschwindigkeit", "Doming speed", "Predkosc Doming"},
    {Startfreq, "Startfreq", "Start freq", "Czest. startowa"},
    {Arbeitsfreq, "Arbeitsfreq", "Work freq", "Czest. robocza"},
    {Eilfreq, "Eilfreq", "Rapid freq", "Czest. szybka"},
    {Rampenlaenge, "Rampenlänge", "Ramp length", "Dlugosc rampy"},
    {Ansteuerung_Dosierkopf, "Ansteuerung Dosierkopf", "activation dosing unit", "Zawor dozujacy"},
    {Dosierkopf, "Dosierkopf", "Dosing unit", "Glowica dozujaca"},
    {einfach, "&einfach", "simple", "pojedynczy"},
    {mehrfach, "&mehrfach", "multiple", "wielokrotny"},
    {Loeschen, "&Löschen", "C&lear", "&Kasuj"},
    {Dosieren, "&Dosieren", "&Dose", "&Dozuj"},
    {kompletter_Dosiervorgang, "&kompletter Dosiervorgang", "co&mplete dosing", "&pelne dozowanie"},
    {Spuelung_einschalten, "&Spülung einschalten", "Wash ON", "Wash ON"},
    {Spuelung_ausschalten, "&Spülung ausschalten", "Wash OFF", "Wash OFF"},
    {Startgeschwindigkeit, "Startgeschwindigkeit", "Start speed", "Predkosc startowa"},
    {Eilgeschwindigkeit, "Eilgeschwindigkeit", "Rapid speed", "Predkosc szybka"},
    {OK_Knopf, "&OK", "&OK", "&OK"},
    {Dosierzeit_Titel, "Dosierzeit bestimmen", "Determine dosing time", "Okresl czas dozowania"},
    {Spuelung_Titel, "Spülung", "Wash", "Wash"},
    {HPGL_laden, "HPGL &laden ...", "&Load HPGL ...", "&Wczytaj HPGL ..."},
    {HPGL_schliessen, "HPGL &schließen", "&Close HPGL", "&Zamknij HPGL"},
    {HPGL_Dateien, "Doming-Dateien", "Doming files", "Pliki Doming"},
    {Stoppuhr_Text, "Stoppuhr", "Stopwatch", "Stoper"},
    {Abspeicherdruckwerte, " Abspeicherdruckwerte ", " Pressures to store ",
     " Cisnienia do zapisu "},
    {Material, "Material", "Material", "Material"},
    {Ventil, "Ventil", "Valve", "Zawor"},
    {bar, "bar", "bar", "bar"},
    {geschaetzte_Dauer, "geschätzte Dauer", "estimated time", "szacowany czas"},
    {noch, "noch", "left", "pozostalo"},
};

constexpr bool In_Reihenfolge() {
    if (std::size(Zeilen) != static_cast<std::size_t>(Textzahl)) return false;
    for (std::size_t i = 0; i < std::size(Zeilen); ++i)
        if (static_cast<std::size_t>(Zeilen[i].nummer) != i) return false;
    return true;
}
static_assert(In_Reihenfolge(), "one row per Textnummer, in its order");

using Tabelle = std::array<std::string, Textzahl>;

const std::array<Tabelle, Sprachenzahl>& Tabellen() {
    static const std::array<Tabelle, Sprachenzahl> tabellen = [] {
        std::array<Tabelle, Sprachenzahl> t;
        for (std::size_t i = 0; i < std::size(Zeilen); ++i) {
            t[0][i] = Zeilen[i].deutsch;
            t[1][i] = Zeilen[i].englisch;
            t[2][i] = Zeilen[i].polski;
        }
        return t;
    }();
    return tabellen;
}

} // namespace

Sprache Sprache_aus_Name(std::string_view name) {
    if (name == "englisch") return Sprache::englisch;
    if (name == "polski") return Sprache::polski;
    return Sprache::deutsch;
}

const char* Sprachname(Sprache sprache) {
    switch (sprache) {
    case Sprache::englisch:
        return "englisch";
    case Sprache::polski:
        return "polski";
    case Sprache::deutsch:
        break;
    }
    return "deutsch";
}

const std::string& Text(Sprache sprache, Textnummer nummer) {
    const auto s = static_cast<std::size_t>(sprache);
    const auto n = static_cast<std::size_t>(nummer);
    // An out-of-range value can only come from a cast; it gets the German title, not a crash.
    if (s >= Sprachenzahl || n >= static_cast<std::size_t>(Textzahl)) return Tabellen()[0][0];
    return Tabellen()[s][n];
}

std::string Uebersetzen(Sprache sprache, std::string_view deutsch) {
    for (int n = 0; n < Textzahl; ++n) {
        const auto nummer = static_cast<Textnummer>(n);
        if (Text(Sprache::deutsch, nummer) == deutsch) return Text(sprache, nummer);
    }
    const std::string ohne = Ohne_Kuerzel(deutsch);
    for (int n = 0; n < Textzahl; ++n) {
        const auto nummer = static_cast<Textnummer>(n);
        if (Ohne_Kuerzel(Text(Sprache::deutsch, nummer)) != ohne) continue;
        // A composed text ("Dosierkopf::einfach") takes a row's caption without its mark.
        return deutsch.find('&') == std::string_view::npos ? Ohne_Kuerzel(Text(sprache, nummer))
                                                           : Text(sprache, nummer);
    }
    return std::string(deutsch);
}

const std::string& Fenstertitel(Sprache sprache) {
    return Text(sprache, Titel);
}

std::string Ohne_Kuerzel(std::string_view text) {
    std::string ohne;
    ohne.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                ohne += '&';
                ++i;
            }
            continue;
        }
        ohne += text[i];
    }
    return ohne;
}

std::string Dosierkopf_Statustext(Sprache sprache, int32_t dosierkopf) {
    return Ohne_Kuerzel(Text(sprache, Dosierkopf)) +
           "::" + Ohne_Kuerzel(Text(sprache, dosierkopf == 1 ? mehrfach : einfach));
}

std::string Positionstext(Sprache sprache, char achse, double mm_wert) {
    return Formatieren("%cPos = %.1f %s", achse, mm_wert, Text(sprache, mm).c_str());
}

std::string Frequenztext(Sprache sprache, int32_t hz) {
    return std::to_string(hz) + " " + Text(sprache, Hz);
}

std::string Winkeltext(Sprache sprache, int32_t KEndwinkel) {
    return std::to_string(540 - int64_t{KEndwinkel}) + " " + Text(sprache, Grad);
}

std::string Minuslaengetext(Sprache sprache, double RMinusLaenge) {
    char zahl[32];
    const auto ende =
        std::to_chars(zahl, zahl + sizeof zahl, RMinusLaenge, std::chars_format::general, 15);
    return "- " + std::string(zahl, ende.ptr) + " " + Text(sprache, mm);
}

std::string Dosierzeittext(Sprache sprache, double sekunden) {
    return Formatieren("%s:  %6.2f %s", Text(sprache, Dosierzeit).c_str(), sekunden,
                       Text(sprache, sec).c_str());
}

} // namespace orvexa
