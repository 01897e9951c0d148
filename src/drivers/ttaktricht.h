#pragma once

#include "drivers/kora_lpt.h"
#include "drivers/parallelkarte.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

namespace orvexa {

// The module of the step/direction cards: KX750z (Modul 1), Takt/Richtung (4, the only one
// with a u move) and KX-TR-500 (7).
class TTaktRicht : public Parallelkarte {
public:
    static constexpr int32_t Hoechstfrequenz = 16000;

    explicit TTaktRicht(int32_t modul);
    ~TTaktRicht() override;

    bool Oeffnen(const std::string& port_text) override;
    void Eingangsmodus_setzen(bool gruppe_11_bis_15, bool nur_pin11, bool aktiv_hoch) override;
    void Grenzwerte_setzen(int32_t max_frequenz, int32_t pulsteiler) override;
    void Schliessen() override;

    bool Version_abfragen() override;
    std::string Name() const override;
    int32_t Achsenposition_abfragen(char achse) override;

    void Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) override;
    void Startgeschwindigkeit_einstellen(int32_t freq) override;
    void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) override;
    void Rampenlaenge_einstellen(int32_t ms) override;
    void Referenzgeschwindigkeit_einstellen(int32_t freq) override;
    void Referenzoffset_einstellen(char achse, int32_t schritte) override;

    void Referenzfahrt_ausfuehren(const std::string& achsen) override;
    void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                int32_t z) override;
    void UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) override;
    void Achsen_anhalten() override;
    void Achsen_sofort_stoppen() override;

    void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    bool Wartezeit_einfuegen(int32_t ms) override;
    void E1Verknuepfung_setzen(int32_t nummer) override;
    bool Eingangspin_abfragen(int32_t pin) override;

    Kora_lpt& Treiber() { return m_lpt; }
    int32_t Geschwindigkeit(int32_t index) const;

private:
    void Zaehler_uebernehmen();

    const int32_t m_modul;
    Kora_lpt m_lpt;
    mutable std::mutex m_mutex;
    std::string m_name;
    int32_t m_startgeschwindigkeit = 0;
    std::array<int32_t, 10> m_geschwindigkeit{};
    int32_t m_rampe = 0;
    int32_t m_referenzgeschwindigkeit = 0;
    std::array<int32_t, 4> m_referenzoffset{};
    std::array<std::atomic<int32_t>, 4> m_position{};
};

} // namespace orvexa
