#pragma once

#include "drivers/speichermodulbasis.h"

namespace orvexa {

// The iKXIF interface (Modul 2): moves and waits are queued with CR and started with SOH.
// It has no fixed memory, no u axis and no E1 link; those operations do nothing.
class TIkxif : public Speichermodulbasis {
public:
    static constexpr const char* Titel = "iKXIF Mikrocontroller-Unit";
    static constexpr int32_t Geschwindigkeitsplaetze = 100;

    TIkxif();

    void Ansteuersignale_einstellen(int32_t steuersignal) override;
    void Schrittbetrieb_einstellen(int32_t schrittbetrieb) override;
    void Z_Achse_einstellen(int32_t zbetrieb) override;
    void U_Achse_einstellen(int32_t) override {}
    void Startgeschwindigkeit_einstellen(int32_t freq) override;
    void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) override;
    void Rampenlaenge_einstellen(int32_t ms) override;
    void Referenzgeschwindigkeit_einstellen(int32_t freq) override;
    void Referenzrichtung_einstellen(char achse) override;
    void Referenzoffset_einstellen(char achse, int32_t schritte) override;

    void Referenzfahrt_ausfuehren(const std::string& achsen) override;
    void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                                int32_t terminator) override;
    // Outputs 1 and 15 follow the state, 17 is inverted; any other number shows a box and an
    // empty command is sent.
    void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    void Wartezeit_einfuegen(int32_t ms) override;
    void E1Verknuepfung_setzen(int32_t) override {}

    void Upload_in_Festwertspeicher() override {}
    void End_in_Festwertspeicher() override {}
    void Festwertspeicher_loeschen() override {}
    bool Aufzeichnung_beendet() const override { return false; }

    void Programm_starten() override;

private:
    int32_t m_steuersignal = 0, m_schrittbetrieb = 0, m_zbetrieb = 0;
};

} // namespace orvexa
