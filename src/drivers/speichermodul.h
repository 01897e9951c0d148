#pragma once

#include <cstdint>
#include <string>

namespace orvexa {

// The older program-storing serial controllers (iKXIF and KXCU). Commands are queued in the
// controller and started with SOH. Argument errors show a box and clamp or skip; the one
// error raised is a controller that stays busy and silent past its limit (WAIT_TIMEOUT).
// Operations that one of the two controllers does not know do nothing there.
class Speichermodul {
public:
    virtual ~Speichermodul() = default;

    virtual bool Port_oeffnen(const std::string& name) = 0;
    virtual void Port_schliessen() = 0;

    virtual bool Version_abfragen() = 0;
    virtual std::string Kennung() const = 0;
    virtual int32_t Achsenposition_abfragen(char achse) = 0;

    virtual void Ansteuersignale_einstellen(int32_t steuersignal) = 0;
    virtual void Schrittbetrieb_einstellen(int32_t schrittbetrieb) = 0;
    virtual void Z_Achse_einstellen(int32_t zbetrieb) = 0;
    virtual void U_Achse_einstellen(int32_t ubetrieb) = 0;
    virtual void Startgeschwindigkeit_einstellen(int32_t freq) = 0;
    virtual void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) = 0;
    virtual void Rampenlaenge_einstellen(int32_t ms) = 0;
    virtual void Referenzgeschwindigkeit_einstellen(int32_t freq) = 0;
    // iKXIF: "#D" axis ",0,9,9,9", sent after the reference speed for x, y and z.
    virtual void Referenzrichtung_einstellen(char achse) = 0;
    virtual void Referenzoffset_einstellen(char achse, int32_t schritte) = 0;

    virtual void Referenzfahrt_ausfuehren(const std::string& achsen) = 0;
    // terminator 13 queues the move, 1 queues it and starts the queue.
    virtual void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                        int32_t z, int32_t terminator) = 0;
    virtual void Achsen_anhalten() = 0;
    virtual void Achsen_sofort_stoppen() = 0;
    virtual void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) = 0;
    virtual void Wartezeit_einfuegen(int32_t ms) = 0;
    virtual void E1Verknuepfung_setzen(int32_t nummer) = 0;

    virtual void Upload_in_Festwertspeicher() = 0;
    virtual void End_in_Festwertspeicher() = 0;
    virtual void Festwertspeicher_loeschen() = 0;
    virtual bool Aufzeichnung_beendet() const = 0;

    virtual void Programm_starten() = 0;
    virtual void Bewegungsende_abwarten() = 0;
};

} // namespace orvexa
