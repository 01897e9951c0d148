#pragma once

#include <cstdint>
#include <string>

namespace orvexa {

// A card module on the parallel port (the phase-driving KX400/KX750 module and the
// step/direction module). Positions and offsets are motor steps. Nothing here throws: the
// modules report argument errors in a box and carry on with the limit value.
class Parallelkarte {
public:
    virtual ~Parallelkarte() = default;

    // Opens the port given as hexadecimal address text ("0x378").
    virtual bool Oeffnen(const std::string& port_text) = 0;
    // Step/direction cards only: input mode flags and the limits the opening sets.
    virtual void Eingangsmodus_setzen(bool a, bool b, bool c) = 0;
    virtual void Grenzwerte_setzen(int32_t max_frequenz, int32_t pulsteiler) = 0;
    virtual void Schliessen() = 0;

    virtual bool Version_abfragen() = 0;
    virtual std::string Name() const = 0;
    virtual int32_t Achsenposition_abfragen(char achse) = 0;

    virtual void Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) = 0;
    virtual void Startgeschwindigkeit_einstellen(int32_t freq) = 0;
    virtual void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) = 0;
    virtual void Rampenlaenge_einstellen(int32_t ms) = 0;
    virtual void Referenzgeschwindigkeit_einstellen(int32_t freq) = 0;
    virtual void Referenzoffset_einstellen(char achse, int32_t schritte) = 0;

    virtual void Referenzfahrt_ausfuehren(const std::string& achsen) = 0;
    // relativ clear: target positions, 99999 = the axis stays.
    virtual void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                        int32_t z) = 0;
    // relativ clear: u is a target position, 99999 = u stays.
    virtual void UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) = 0;
    virtual void Achsen_anhalten() = 0;
    virtual void Achsen_sofort_stoppen() = 0;

    virtual void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) = 0;
    // Returns whether the limit input ended the wait.
    virtual bool Wartezeit_einfuegen(int32_t ms) = 0;
    virtual void E1Verknuepfung_setzen(int32_t nummer) = 0;
    virtual bool Eingangspin_abfragen(int32_t pin) = 0;
};

} // namespace orvexa
