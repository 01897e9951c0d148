#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

// The languages of the Doming windows, as "DomingParam.dat" names them.
enum class Sprache : uint8_t { deutsch, englisch, polski };
inline constexpr int Sprachenzahl = 3;

// "deutsch", "englisch" or "polski"; any other name is German.
Sprache Sprache_aus_Name(std::string_view name);
const char* Sprachname(Sprache sprache);

// The rows of the language tables. Up to Spuelung_ausschalten they are the rows of the
// original tables in their order; the rows after it hold the texts of the dialogs and the
// preview menu that those tables left German in every language. Rows that appear twice in
// German (the distances of the parts and of the sheets, the drip-off line of the line page and
// of the shape times) are separate rows, so each can be translated on its own.
enum class Textnummer : uint16_t {
    Titel, // the window title: "Doming mit Pellix - Deutsch", "Doming-Englisch", ...
    Laserpointer_ON_OFF,
    Referenzfahrt,
    Laserpointer_Betrieb,
    Dauertest,
    Start,
    Fortsetzen,
    Abbrechen,
    Schliessen,
    OK,
    Uebernehmen,
    mm,
    Hz,
    sec,
    ms,
    Schritte_pro_sec,
    Datei,
    Neu,
    Oeffnen,
    Speichern_unter,
    Parameter,
    Geschwindigkeit_Menue,
    Spuelung,
    Startpunkt,
    x_Position,
    y_Position,
    Manuelles_Fahren,
    REF,
    Geschwindigkeit,
    Schrittweite,
    kontinuierlich,
    Schrittweite_mm,
    Abstand,
    x_Abstand,
    y_Abstand,
    x_Anzahl,
    y_Anzahl,
    Bogen,
    Bogen_x_Abstand,
    Bogen_y_Abstand,
    Bogen_x_Anzahl,
    Bogen_y_Anzahl,
    Punkt,
    Dosierzeit,
    Dosierzeit_bestimmen,
    Linie,
    Linienlaenge,
    Abtropflinie,
    Kreis,
    Radius,
    Grad,
    Rechteck,
    Laenge,
    Breite,
    HPGL,
    Dosierzeit1,
    Dosierzeit2,
    Dosierzeit3,
    Abtropfzeit,
    Zeiten_Abtropflinie,
    Keine_HPGL_Datei,
    Doming_Parameter,
    Sprache_Gruppe,
    Abmessung,
    x_Abmessung,
    y_Abmessung,
    Doming_Geschwindigkeit,
    Startfreq,
    Arbeitsfreq,
    Eilfreq,
    Rampenlaenge,
    Ansteuerung_Dosierkopf,
    Dosierkopf,
    einfach,
    mehrfach,
    Loeschen,
    Dosieren,
    kompletter_Dosiervorgang,
    Spuelung_einschalten,
    Spuelung_ausschalten,
    // Texts of the dialogs and the preview beyond the original rows.
    Startgeschwindigkeit,
    Eilgeschwindigkeit,
    OK_Knopf,
    Dosierzeit_Titel,
    Spuelung_Titel,
    HPGL_laden,
    HPGL_schliessen,
    HPGL_Dateien,
    // The pressure-fed window's own texts.
    Stoppuhr_Text,
    Abspeicherdruckwerte,
    Material,
    Ventil,
    bar,
    // The estimate beside the layout view.
    geschaetzte_Dauer,
    noch,
    Anzahl // not a row
};
inline constexpr int Textzahl = static_cast<int>(Textnummer::Anzahl);
// The rows of the original tables, title included.
inline constexpr int Originalzeilen = static_cast<int>(Textnummer::Spuelung_ausschalten) + 1;

// The text of a row in a language; "&" marks the shortcut letter as in the captions.
const std::string& Text(Sprache sprache, Textnummer nummer);
// The window title of a language (the first row).
const std::string& Fenstertitel(Sprache sprache);

// The text of the row whose German text is deutsch, in a language; deutsch itself when no
// row has it. The Doming window keeps its captions in German and translates them this way.
// A caption whose shortcut sits elsewhere than in the row ("&Fortsetzen" for "F&ortsetzen")
// still finds its row.
std::string Uebersetzen(Sprache sprache, std::string_view deutsch);

// A caption without its shortcut marks ("&&" stays one "&"), for titles and composed texts.
std::string Ohne_Kuerzel(std::string_view text);

// The composed texts of the Doming window and its dialogs.
// "Dosierkopf::einfach" (Dosierkopf 1 is "mehrfach", every other value "einfach").
std::string Dosierkopf_Statustext(Sprache sprache, int32_t dosierkopf);
// "xPos = 10.0 mm"; achse is 'x' or 'y'.
std::string Positionstext(Sprache sprache, char achse, double mm);
// "2000 Hz", the jog speed label.
std::string Frequenztext(Sprache sprache, int32_t hz);
// "357 Grad": the swept angle of the arc, 540 - KEndwinkel.
std::string Winkeltext(Sprache sprache, int32_t KEndwinkel);
// "- 0.5 mm": RMinusLaenge in general number format.
std::string Minuslaengetext(Sprache sprache, double RMinusLaenge);
// "Dosierzeit:    1.25 sec".
std::string Dosierzeittext(Sprache sprache, double sekunden);

} // namespace orvexa
