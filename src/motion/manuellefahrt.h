#pragma once

#include "manuellefahrt_beobachter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace orvexa {

// The texts of the named positions as the operator edited them, rows 1..4 at index 0..3.
using Positionstexte = std::array<std::array<std::string, 3>, 4>;

// The manual jog: one axis at a time by a step width at a chosen speed, a relay output, and
// the four named positions of the parameter set (workpiece zero, park, tool-length measuring,
// tool change), which it shows, sets, clears and approaches. Jog, approach and relay run on
// the dialog's worker (TManuelleFahrtThread), the rest on the window thread; what it shows
// goes out through the Beobachter only.
//
// The named positions are written here only on the window thread, under this object's lock,
// which the worker takes to read them.
class ManuelleFahrt {
public:
    static constexpr const char* Titel = "Manuelle Fahrt";
    static constexpr const char* Fehlertext = "- - -";
    static constexpr int32_t Geschwindigkeitsplatz = 8;
    static constexpr int32_t Relaisausgang = 10;
    // Switched off before an approach and on again after it; the serial controllers' "L".
    static constexpr int32_t Anfahrausgang = 76;
    static constexpr int Zeilen = 4;

    ManuelleFahrt();
    // Not owned; must outlive this object.
    explicit ManuelleFahrt(ManuelleFahrt_Beobachter& beobachter);
    ManuelleFahrt(const ManuelleFahrt&) = delete;
    ManuelleFahrt& operator=(const ManuelleFahrt&) = delete;

    // Set by the window before it hands over a command.
    void Schrittweite_setzen(double mm);
    double Schrittweite() const { return m_schrittweite.load(); }
    void Geschwindigkeit_setzen(int32_t hz) { m_geschwindigkeit = hz; }
    int32_t Geschwindigkeit() const { return m_geschwindigkeit.load(); }
    // +1/-1 x, +2/-2 y, +3/-3 z; anything else moves nothing.
    void Richtung_setzen(int32_t richtung) { m_richtung = richtung; }
    int32_t Richtung() const { return m_richtung.load(); }
    // The chosen row of the named positions, 1..4.
    void Zeile_setzen(int zeile) { m_zeile = zeile; }
    int Zeile() const { return m_zeile.load(); }

    // The current position in mm as last read.
    std::array<double, 3> aktPosition() const;
    // The named position of row 1..4, axis 0..2 (x, y, z); 0 outside.
    double Position(int zeile, int achse) const;
    // What was last shown.
    Positionsanzeige Anzeige() const;

    // ---- Worker commands; controller errors are reported here, never thrown.
    // Command 4: one step of the step width in Richtung.
    void Fahren();
    // Command 3: to the named position of Zeile.
    void Anfahren();
    // Commands 2 (on) and 1 (off).
    void Relais_schalten(bool ein);

    // ---- Window thread
    // Showing: initialises the controller and shows the positions.
    void Initialisieren(bool vollinitialisierung);
    // "&Abbrechen" and Esc: stops the axes; the running move ends with the operator's abort.
    void Abbrechen();
    // The chosen row := the current position, or 0.
    void Zuweisen();
    void Loeschen();
    // "&Editieren" released: the cells are taken into the positions and the parameter file is
    // saved. A cell that is no number leaves its position as it was and is named to the
    // operator.
    void Positionen_uebernehmen(const Positionstexte& texte);
    // Reads the current position (unless fehlerform, which shows "- - -") and shows it with
    // the named positions. Throws Steuerungsfehler when the controller fails.
    void Anzeige_aktualisieren(bool fehlerform);

    // Steps for a jog: ceiling(width * motor steps / gear ratio), noise of the floating-point
    // product removed; 0 for a gear ratio of 0 and for a width that is no number.
    static int32_t Schrittzahl(double schrittweite, int32_t motstep, double uebersetz);
    // "  " and the value with two decimals.
    static std::string Anzeigetext(double wert);

private:
    // The refresh after a failed action: 2000 shows the position, anything else "- - -";
    // the code is then reported unless it has been shown already.
    void Fehler_behandeln(int32_t code);
    // A jog or approach between the observer's Bewegung(true) and Bewegung(false): a
    // controller error is handled as above, anything else is shown once.
    void Bewegung_ausfuehren(const char* caption, const std::function<void()>& bewegung);
    // A refresh whose own failure is shown in error form and reported.
    void Anzeige_sicher_aktualisieren();
    void Position_schreiben(int zeile, const std::array<double, 3>& werte);

    ManuelleFahrt_Beobachter& m_beobachter;
    std::atomic<double> m_schrittweite{0.05};
    std::atomic<int32_t> m_geschwindigkeit{0};
    std::atomic<int32_t> m_richtung{0};
    std::atomic<int> m_zeile{1};

    mutable std::mutex m_mutex; // guards the members below and the named positions
    std::array<double, 3> m_akt{};
    Positionsanzeige m_anzeige;
};

} // namespace orvexa
