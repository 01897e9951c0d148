#pragma once

#include "core/maschinenparameter.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

// The rules of the parameter dialog that need no window: what a controller type presets and
// shows, and how the dialog's entries become the parameter set on OK.

// The drive options a controller type starts with when it is clicked in the dialog.
void Typvorgaben_anwenden(Maschinenparameter& p);

// Which parts of the dialog a controller type shows.
struct Sichtbarkeit {
    bool Parallel = false;              // parallel interface panel, else serial
    bool Ansteuersignal = false;        // group "Ansteuersignal"
    bool Ansteuersignal_nur_KX = false; // ... with its first item "KX-Signal" alone
    bool Schrittbetrieb = false;
    bool Ruhestrom = false;
    bool ZAchse = false; // "z-Achse als"
    bool UAchse = false; // "U-Achse als"
    bool RefGeschwindigkeit = true;
    bool uZeilen = false;     // the u rows of the machine and reference pages
    bool Achsspalten = false; // y, z, u columns of the speed page
};
Sichtbarkeit Sichtbarkeit_fuer(int32_t modul);

// The baud rates the box offers for p.Modul (empty for the parallel types); sets p.Baudrate
// to the one the type uses.
std::vector<int32_t> Baudangebot(Maschinenparameter& p);

enum class LPTWahl { LPT1, LPT2, Adresse };
inline constexpr int32_t LPT1_Adresse = 0x378;
inline constexpr int32_t LPT2_Adresse = 0x278;
LPTWahl LPT_Wahl_zu(int32_t adresse);
// "0x3bc"
std::string Adresse_als_Hex(int32_t adresse);
// A port address typed in hexadecimal, with or without "0x" or "$", blanks around allowed.
// nullopt for anything else, and for addresses outside 0x001..0xFFFD: the card's three
// registers must lie in the 16-bit I/O space, and address 0 is no card.
std::optional<int32_t> Hexadresse_lesen(std::string_view text);

// The port name at the start of a COM box line ("COM5  /dev/ttyUSB0 (…)" gives "COM5"), so
// that the digits of the device path are not read as part of the number.
std::string Portname(std::string_view eintrag);

// Order of an axis in the reference run: 1..4.
int32_t Reihenfolge_begrenzen(int32_t nummer);

// Pin combo boxes: step/direction offer 2..9, reference 10..13, outputs 1, 14, 16, 17.
enum class Pinart { TaktRichtung, Referenz, Ausgang };
const std::vector<int32_t>& Pinliste(Pinart art);
// The pin of an item index; 0 (no pin) for no selection or an index out of the list.
int32_t Pin_aus_Auswahl(Pinart art, int index);
// The item index of a pin; -1 when the list does not hold it.
int Auswahl_aus_Pin(Pinart art, int32_t pin);

// What the dialog's controls hold when OK is pressed. An index of -1 means no selection: a pin
// becomes 0 (no pin), any other field stays as it is.
struct Formularwerte {
    int32_t Modul = -1; // of the checked type button; -1 none
    LPTWahl Lpt = LPTWahl::LPT1;
    std::string Adresstext;
    int32_t ComNummer = 0; // of the chosen COM item; 0 = none, keep ComPort
    std::string Baudtext;

    std::array<int, 4> Takt{-1, -1, -1, -1};
    std::array<int, 4> Richtung{-1, -1, -1, -1};
    std::array<int, 4> Ref{-1, -1, -1, -1};
    int Bohrspindel = -1, Kuehlmittelpumpe = -1, Absaugung = -1;

    std::string Startfreq, Arbeitsfreq, Eilfreq, Rampenlaenge;
    std::array<std::string, 4> Uebersetz, MotStep, RefOffset, RefNr; // x, y, z, u
    std::string RefFreq;
    int Steuersignal = -1, Schrittbetrieb = -1, Ruhestrom = -1, ZBetrieb = -1, UBetrieb = -1;
};

enum class Uebernahmefehler { keiner, Adresse };

// Takes the entries into p as OK does: numbers through the operator-input readers (malformed
// ones give 0), order numbers held to 1..4, ZBetrieb one above its index. An invalid hex
// address leaves LPTAdresse as it was and is reported; everything else is taken even then.
Uebernahmefehler Formularwerte_uebernehmen(const Formularwerte& w, Maschinenparameter& p);

} // namespace orvexa
