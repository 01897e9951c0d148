#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

struct Maschinenparameter;
struct DomingParameter;

// One dispensing job: where the parts lie, which shape goes on each and how fast. Lengths in
// millimetres, times in seconds, frequencies in steps per second, ramps in milliseconds. The
// member names are the keys of the job file.
struct DomingJob {
    double xStartpunkt = 0.0;
    double yStartpunkt = 0.0;
    double xAbstand = 0.0;
    double yAbstand = 0.0;
    int32_t xAnzahl = 1;
    int32_t yAnzahl = 1;
    double BxAbstand = 0.0;
    double ByAbstand = 0.0;
    int32_t BxAnzahl = 1;
    int32_t ByAnzahl = 1;
    // "Punkt", "Linie", "Kreis", "Rechteck" or "HPGL"; empty after loading a file without it.
    std::string Type = "Punkt";

    int32_t Startfreq = 500;
    int32_t Eilfreq = 2000;
    int32_t Rampenlaenge = 500;
    int32_t Dosierkopf = 0; // 1 inverts the valve signal

    double PDosierzeit = 1.0;
    double PAbtropfzeit = 1.0;
    int32_t PEilfreq = 0;
    int32_t PRampenlaenge = 0;

    double LDosierzeit1 = 1.0;
    double LLaenge = 8.0;
    int32_t LArbeitsfreq = 0;
    int32_t LRampenlaenge = 0;
    double LDosierzeit3 = 1.0;
    double LAbtropflinie = 2.0;
    double LAbtropfzeit = 1.0;

    double KDosierzeit1 = 1.0;
    double KRadius = 2.0;
    int32_t KArbeitsfreq = 0;
    int32_t KRampenlaenge = 0;
    int32_t KEndwinkel = 183;
    double KDosierzeit3 = 0.0;
    double KAbtropfzeit = 1.0;

    double RDosierzeit1 = 1.0;
    double RLaenge = 2.0;
    double RBreite = 3.0;
    double RMinusLaenge = 0.5;
    int32_t RArbeitsfreq = 0;
    int32_t RRampenlaenge = 0;
    double RDosierzeit3 = 0.0;
    double RAbtropfzeit = 1.0;

    std::string HFilename;
    double HDosierzeit1 = 1.0;
    int32_t HArbeitsfreq = 0;
    int32_t HRampenlaenge = 0;
    double HDosierzeit3 = 0.0;
    double HAbtropfzeit = 1.0;

    // Noted with the job by the pressure-fed window, in bar; no machine action uses them.
    double Materialdruck = 0.0;
    double Ventildruck = 0.0;

    bool operator==(const DomingJob&) const = default;
};

// The first line of every Doming file; compared case-sensitively as a whole line.
inline constexpr const char* Doming_Kopfzeile = "; orvexa2011 /DOMING";

// A job of defaults; the shape speeds and ramps are the machine's values at this moment.
DomingJob Doming_Vorgaben(const Maschinenparameter& maschine);

// The rules a job is accepted by, shared by the window and the runner: negative lengths and
// times become 0, counts below 1 become 1, the shape frequencies lie in Startfreq..Eilfreq,
// KEndwinkel in 180..225, RMinusLaenge in whole tenths up to half of RLaenge.
void Doming_annehmen(DomingJob& job);

enum class Doming_Ladeergebnis {
    geladen,
    fehlt,         // no such file: defaults, nothing said
    falscher_Kopf, // wrong or missing first line (empty file too): double beep, defaults
    nicht_lesbar,  // the file exists but could not be read: defaults, message shown
};

// Loads path into job. Every result other than geladen leaves job at the defaults.
Doming_Ladeergebnis Doming_Datei_laden(const std::string& pfad, DomingJob& job,
                                       const Maschinenparameter& maschine);

// The same from the file's bytes, without beeps or file access. False (job at the defaults)
// when the first line is not the Doming header.
bool Doming_Dateiinhalt_lesen(std::string_view bytes, DomingJob& job,
                              const Maschinenparameter& maschine);

// The file text as it is written (Windows-1252, CR LF); typ is the shape page shown. mit_Druck:
// the pressure-fed window's file, with the "[Druck]" section after the start point. Loading
// reads both pressures whenever they are there, so either window reads the other's files.
std::string Doming_Dateitext(const DomingJob& job, const std::string& typ, bool mit_Druck = false);

// Writes the file atomically. False (after a message to the operator) when it failed; the old
// file then stays as it was.
bool Doming_Datei_speichern(const std::string& pfad, const DomingJob& job, const std::string& typ,
                            bool mit_Druck = false);

// The checks before a run. Each returns normally when the job passes, else shows its message,
// writes its log line and raises Steuerungsfehler{-1}.
void CheckVariablen(const DomingJob& job);
// hpgl_xmax_mm/hpgl_ymax_mm: the largest x and y of the loaded contour (HPGL shape only).
void Arbeitsbereich_pruefen(const DomingJob& job, const DomingParameter& parameter,
                            double hpgl_xmax_mm, double hpgl_ymax_mm);

// Where the parts lie and in which order a run visits them; the run, the check before it and
// the layout view all go by these.

// A part: part (ix, iy) of sheet (ixBogen, iyBogen). The run keeps the part in work as one of
// these, which is where a continued run starts again.
struct DomingZaehler {
    int32_t ixBogen = 0;
    int32_t iyBogen = 0;
    int32_t ix = 0;
    int32_t iy = 0;

    bool Null() const { return ixBogen == 0 && iyBogen == 0 && ix == 0 && iy == 0; }
    bool operator==(const DomingZaehler&) const = default;
};

// A point in millimetres, or a distance in x and y.
struct DomingOrt {
    double x = 0.0;
    double y = 0.0;

    bool operator==(const DomingOrt&) const = default;
};

// Where the run moves to for a part: xStartpunkt + ix × xAbstand plus the sheet offset
// ixBogen × ((xAnzahl − 1) × xAbstand + BxAbstand), and the same in y.
DomingOrt Doming_Teilort(const DomingJob& job, const DomingZaehler& teil);

struct DomingBesuch {
    DomingZaehler Teil;
    DomingOrt Bogenversatz; // dxBogenOffset, dyBogenOffset
    DomingOrt Ort;
};

// Goes through the parts in the order a run visits them, from the part ab on: the sheets row
// by row, within a sheet the parts row by row, x fastest. Each loop starts at ab's counter the
// first time and at 0 afterwards, so a counter at or beyond its count (a job changed since the
// run stopped) skips the rest of that row or sheet. bogen is told as each sheet begins; teil
// gets every part and ends the visit by returning false.
void Doming_Teile_besuchen(const DomingJob& job, const DomingZaehler& ab,
                           const std::function<bool(const DomingBesuch&)>& teil,
                           const std::function<void(int32_t ixBogen, int32_t iyBogen)>& bogen = {});

// How far the shape of the page shown reaches beyond a part's position in +x and +y, as the
// check before a run counts it: Linie LLaenge + LAbtropflinie in x, Kreis KRadius in both,
// Rechteck RLaenge and RBreite, HPGL the contour's largest x and y, anything else nothing.
DomingOrt Doming_Formreichweite(const DomingJob& job, double hpgl_xmax_mm, double hpgl_ymax_mm);

// The check's rule for one part: its position plus the shape's reach lies at or below
// xAbmessung and yAbmessung. A value that is no number fails it.
bool Doming_im_Arbeitsbereich(const DomingOrt& teil, const DomingOrt& formreichweite,
                              const DomingParameter& parameter);

// Shared by the two Doming files.

// Fixed notation with two decimals after rounding to six significant digits, never an
// exponent. The number reader keeps only 31 characters, so magnitudes beyond 27 integer digits
// are written as the largest that fits; NaN and infinity as 0.00.
std::string Doming_Zahl_schreiben(double wert);
// The lenient readers of operator input; anything that is no number gives 0.
double Doming_Zahl_lesen(std::string_view wert);
int32_t Doming_Ganzzahl_lesen(std::string_view wert);

// Splits a Doming file (Windows-1252 bytes; lines end in CR LF, LF or CR) and looks up each
// key: the text after the first "=" of the first line whose text before it equals the key
// without regard to case. nullopt when the first line is not the header.
std::optional<std::vector<std::optional<std::string>>>
Doming_Datei_zerlegen(std::string_view bytes, std::span<const std::string_view> schluessel);

// 440 Hz for 100 ms, a pause of 100 ms, the same again: a Doming file with a wrong header.
void Doming_Doppelton();

// Writes a file's bytes atomically. False after a box to the operator and a log line naming
// funktion; the old file then stays as it was.
bool Doming_Datei_schreiben(const std::string& pfad, std::string_view bytes,
                            const std::string& funktion);

} // namespace orvexa
