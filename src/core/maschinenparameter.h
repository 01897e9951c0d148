#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvexa {

// The machine parameter set. Every field bears the name of its key in the parameter file.
// Lengths in mm, speeds in steps/s, times in ms. All zero until loaded or defaulted.
struct Maschinenparameter {
    // Connection and card
    int32_t Modul = 0;
    int32_t LPTAdresse = 0;
    int32_t ComPort = 0;
    int32_t Baudrate = 0;

    // Pin assignment of a parallel-port card (0 = no pin)
    int32_t xTakt = 0, xRichtung = 0, yTakt = 0, yRichtung = 0;
    int32_t zTakt = 0, zRichtung = 0, uTakt = 0, uRichtung = 0;
    int32_t xRef = 0, yRef = 0, zRef = 0, uRef = 0;
    int32_t Bohrspindel = 0, Kuehlmittelpumpe = 0, Absaugung = 0;

    // Speeds
    int32_t Startfreq = 0;
    int32_t Arbeitsfreq = 0;
    int32_t Eilfreq = 0;
    int32_t Rampenlaenge = 0;

    // Mechanics
    double xUebersetz = 0, yUebersetz = 0, zUebersetz = 0, uUebersetz = 0;
    int32_t xMotStep = 0, yMotStep = 0, zMotStep = 0, uMotStep = 0;

    // Drive options
    int32_t Steuersignal = 0;
    int32_t Schrittbetrieb = 0;
    int32_t Ruhestrom = 0;
    int32_t ZBetrieb = 0; // 1-based: 1 three-axis system, 2 plotter
    int32_t UBetrieb = 0;

    // Reference run
    double xRefOffset = 0, yRefOffset = 0, zRefOffset = 0, uRefOffset = 0;
    int32_t xRefNr = 0, yRefNr = 0, zRefNr = 0, uRefNr = 0;
    int32_t RefFreq = 0;
    int32_t xRefAktiv = 0, yRefAktiv = 0, zRefAktiv = 0, uRefAktiv = 0;

    // Named machine positions
    double xWerkstuecknullpunkt = 0, yWerkstuecknullpunkt = 0, zWerkstuecknullpunkt = 0,
           uWerkstuecknullpunkt = 0;
    double xParkposition = 0, yParkposition = 0, zParkposition = 0, uParkposition = 0;
    double xWZLMessposition = 0, yWZLMessposition = 0, zWZLMessposition = 0;
    double zWZLdelta = 0;
    double xWZWechselposition = 0, yWZWechselposition = 0, zWZWechselposition = 0,
           uWZWechselposition = 0;

    bool operator==(const Maschinenparameter&) const = default;
};

// The one record of the program, read by every part.
Maschinenparameter& Parametersatz();

// Path of the parameter file for the executable at programmpfad: same folder, the file name
// without extension in lower case, then "_param.dat".
std::string Parameterdateiname(const std::string& programmpfad);
// The same with "_konfig.dat", for the vector output settings.
std::string Konfigurationsdateiname(const std::string& programmpfad);

// Sets every field that has a default; the pin fields are left alone.
void Parameter_Standardwerte(Maschinenparameter& p);
void Parameter_Standardwerte();

// Reads the file into p; a missing file gives the defaults. Never fails.
void Parameterdatei_laden(Maschinenparameter& p, const std::string& pfad);

// The same from the file's bytes (Windows-1252, or UTF-8 when a text editor saved it so).
void Parameter_aus_Dateiinhalt(Maschinenparameter& p, std::string_view bytes);

// Writes p whole, atomically (temporary file + rename). On failure the old file stays intact,
// the operator is told through the Oberflaeche, and false is returned.
bool Parameterdatei_speichern(const Maschinenparameter& p, const std::string& pfad);

// The file's bytes as Parameterdatei_speichern writes them (Windows-1252, CR LF).
std::string Parameterdatei_Inhalt(const Maschinenparameter& p);

// The path the program's own record is loaded from and saved to.
std::string& Parameterdatei();
void Parameterdatei_laden();
bool Parameterdatei_speichern();

// Pin presets, in the order of the dialog's combo box.
std::span<const char* const> Pinvorlagen();
inline constexpr const char* Pinvorlage_Anfang = "USB-iKXIF-v1r2";
// Applies a preset by name: Absaugung := 0, then the preset's pins. Returns true when the
// pin fields are to be editable ("userdefined"). An unknown name only clears Absaugung.
bool Pinvorlage_anwenden(Maschinenparameter& p, const std::string& name);

} // namespace orvexa
