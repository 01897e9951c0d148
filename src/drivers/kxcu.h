#pragma once

#include "drivers/speichermodulbasis.h"

#include <atomic>

namespace orvexa {

// The KXCU unit (Modul 3): like the iKXIF, and it can record the commands it receives into
// its fixed memory and replay them by itself. An ETX while recording means that the memory is
// full; from then on every command but the stops, the queries and the fixed-memory commands
// is dropped until the recording is ended or erased.
class TKxcu : public Speichermodulbasis {
public:
    static constexpr const char* Titel = "KXCU Mikrocontroller-Unit";
    static constexpr int32_t Hoechster_Platz = 10;

    TKxcu();

    bool Port_oeffnen(const std::string& name) override;

    void Ansteuersignale_einstellen(int32_t) override {}
    void Schrittbetrieb_einstellen(int32_t) override {}
    void Z_Achse_einstellen(int32_t) override {}
    void U_Achse_einstellen(int32_t ubetrieb) override;
    void Startgeschwindigkeit_einstellen(int32_t freq) override;
    void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) override;
    void Rampenlaenge_einstellen(int32_t ms) override;
    // Only kept for the reference run; nothing is sent.
    void Referenzgeschwindigkeit_einstellen(int32_t freq) override;
    void Referenzrichtung_einstellen(char) override {}
    void Referenzoffset_einstellen(char, int32_t) override {}

    void Referenzfahrt_ausfuehren(const std::string& achsen) override;
    void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                                int32_t terminator) override;
    // Outputs 1 (or 12), 2 (or 13), 3 and 4; any other number shows a box.
    void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    void Wartezeit_einfuegen(int32_t ms) override;
    void E1Verknuepfung_setzen(int32_t nummer) override;

    void Upload_in_Festwertspeicher() override;
    void End_in_Festwertspeicher() override;
    void Festwertspeicher_loeschen() override;
    bool Aufzeichnung_beendet() const override;

    void Programm_starten() override;

    bool Aufzeichnung() const { return m_aufzeichnung.load(); }

protected:
    bool Aufzeichnung_laeuft() const override { return m_aufzeichnung.load(); }

private:
    // The recording has stopped: the command is dropped.
    bool Angehalten() const { return m_leser.Aufzeichnung_beendet; }
    void Aufzeichnung_setzen(bool an);

    std::atomic<bool> m_aufzeichnung{false};
    int32_t m_ubetrieb = 0;
};

} // namespace orvexa
