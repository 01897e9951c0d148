#pragma once

#include <cstdint>
#include <string>

namespace orvexa {

// The serial link to the microcontroller controllers together with their command set. Every
// command is one exchange under the link's mutex; failures throw Steuerungsfehler after the
// link has logged (and, except for time-outs, shown) them. Argument errors throw 1007 before
// anything is sent.
class SeriellerBefehlssatz {
public:
    static constexpr uint8_t Tag_nicht_geoeffnet = 5;

    virtual ~SeriellerBefehlssatz() = default;

    // Link
    virtual void Init(int32_t port, int32_t baud) = 0;
    virtual void Connect() = 0;
    virtual void UnInit() = 0;
    virtual void SetTag(uint8_t tag) = 0;
    virtual uint8_t Tag() const = 0;
    virtual void SetStoreMode(bool an) = 0;
    // One raw exchange; returns the answer as received. timeout_ms 0 = 512 ms, -1 = no limit.
    virtual std::string SendWait(const std::string& anfrage, int32_t timeout_ms) = 0;
    // Waits for the next ordinary answer: the completion answer after a NAK.
    virtual std::string WaitResp(int32_t timeout_ms) = 0;
    // Ends a completion wait without limit that is going on now with the abort code 2000.
    virtual void Warten_abbrechen() = 0;

    // Command set
    virtual std::string Version_abfragen() = 0;
    virtual int32_t Achsenposition_abfragen(char achse) = 0;
    virtual void Ansteuersignale_einstellen(int32_t wert) = 0;
    virtual void Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) = 0;
    virtual void Startgeschwindigkeit_einstellen(int32_t freq) = 0;
    virtual void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) = 0;
    virtual void Rampenlaenge_einstellen(int32_t ms) = 0;
    virtual void Referenzgeschwindigkeit_einstellen(int32_t freq) = 0;
    virtual void Referenzoffset_einstellen(char achse, int32_t schritte) = 0;
    // Motion and dwell return the first answer: NAK when the controller runs it (a
    // completion answer follows), ACK in store mode.
    virtual std::string Referenzfahrt_ausfuehren(const std::string& achsen) = 0;
    virtual std::string Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                               int32_t z) = 0;
    virtual std::string UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) = 0;
    virtual std::string Wartezeit_einfuegen(int32_t ms) = 0;
    virtual void Achsen_anhalten() = 0;
    virtual void Achsen_sofort_stoppen() = 0;
    virtual void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) = 0;
    virtual void I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) = 0;
    virtual void E1Verknuepfung_setzen(int32_t wert) = 0;
    virtual bool Eingang_abfragen_Potential(char eingang) = 0;
    virtual void Programmdurchlaeufe_hinterlegen(int32_t anzahl) = 0;
};

} // namespace orvexa
