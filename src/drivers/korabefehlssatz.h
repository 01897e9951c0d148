#pragma once

#include "drivers/koracom.h"
#include "drivers/seriellerbefehlssatz.h"

#include <cstdint>
#include <string>

namespace orvexa {

// The command set of the microcontroller controllers (types 5, 6, 10 to 13) on the serial link
// koraCOM. Each command stores its operation text in the link, checks its arguments (1007,
// nothing sent), makes one exchange and checks the answer; every failure goes out through the
// link's ThrowError, so it is logged and, except for time-outs, shown.
class KoraBefehlssatz : public SeriellerBefehlssatz {
public:
    static constexpr int32_t Hoechstfrequenz = 128000;
    static constexpr int32_t Hoechster_Geschwindigkeitsplatz = 10;
    static constexpr int32_t Hoechste_Rampenlaenge = 60000;
    static constexpr int32_t Hoechste_Wartezeit = 3600000;
    static constexpr int32_t Positionsfrist_ms = 320;
    static constexpr int32_t Eingangsfrist_ms = 1024;

    KoraBefehlssatz() = default;
    ~KoraBefehlssatz() override = default;

    // The link itself, for the raw requests of the program memory and the dispensing valves.
    TkoraCOM& Linie() { return m_linie; }

    // Link
    void Init(int32_t port, int32_t baud) override;
    void Connect() override;
    void UnInit() override;
    void SetTag(uint8_t tag) override;
    uint8_t Tag() const override;
    void SetStoreMode(bool an) override;
    std::string SendWait(const std::string& anfrage, int32_t timeout_ms) override;
    std::string WaitResp(int32_t timeout_ms) override;
    void Warten_abbrechen() override;

    // Command set
    std::string Version_abfragen() override;
    int32_t Achsenposition_abfragen(char achse) override;
    void Ansteuersignale_einstellen(int32_t wert) override;
    void Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) override;
    void Startgeschwindigkeit_einstellen(int32_t freq) override;
    void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) override;
    void Rampenlaenge_einstellen(int32_t ms) override;
    void Referenzgeschwindigkeit_einstellen(int32_t freq) override;
    void Referenzoffset_einstellen(char achse, int32_t schritte) override;
    std::string Referenzfahrt_ausfuehren(const std::string& achsen) override;
    std::string Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                       int32_t z) override;
    std::string UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) override;
    std::string Wartezeit_einfuegen(int32_t ms) override;
    void Achsen_anhalten() override;
    void Achsen_sofort_stoppen() override;
    void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    void I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    void E1Verknuepfung_setzen(int32_t wert) override;
    bool Eingang_abfragen_Potential(char eingang) override;
    void Programmdurchlaeufe_hinterlegen(int32_t anzahl) override;

    // The input query: the whole answer ("@I", the letter, a space, the level, ACK).
    std::string Eingang_abfragen(char eingang);

    // The requests as they go on the line.
    static std::string Vektorfahrt_anfrage(bool relativ, int32_t index, int32_t x, int32_t y,
                                           int32_t z);
    static std::string UVektorfahrt_anfrage(bool relativ, int32_t index, int32_t u);

private:
    // One exchange of a setting: anything but ACK raises ACK_ERROR.
    void Einstellen(const std::string& operation, const std::string& anfrage);
    // One exchange of a motion or dwell: NAK (ACK in store mode) is returned, anything else
    // raises NAK_ERROR (ACK_ERROR).
    std::string Bewegen(const std::string& operation, const std::string& anfrage);

    TkoraCOM m_linie;
};

} // namespace orvexa
