#pragma once

#include "drivers/kora_lpt.h"
#include "drivers/parallelkarte.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace orvexa {

// The module of the phase-driving KX400/KX750 card (Modul 0). After each move a timer drops
// the motors to standstill current, unless another move came first.
class TKX400 : public Parallelkarte {
public:
    static constexpr int32_t Hoechstfrequenz = 5000;
    static constexpr int Stillstandsverzoegerung_ms = 500;

    TKX400();
    ~TKX400() override;

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
    bool z_als_Motor() const;
    int32_t Geschwindigkeit(int32_t index) const;
    // How often the standstill current was applied; waits until it reached `anzahl`.
    int32_t Haltestromanlagen() const;
    bool Auf_Haltestrom_warten(int32_t anzahl, int ms) const;

private:
    using Uhr = std::chrono::steady_clock;

    void Zeitgeber_stoppen();
    void Zeitgeber_starten();
    void Zeitgeber_schleife();
    void Zeitgeber_beenden();

    Kora_lpt m_lpt;
    // Keeps the caller's port access and the timer's apart.
    mutable std::mutex m_mutex;
    std::string m_name;
    int32_t m_startgeschwindigkeit = 0;
    std::array<int32_t, 10> m_geschwindigkeit{};
    int32_t m_rampe = 0;
    int32_t m_schrittbetrieb = 0;
    int32_t m_referenzgeschwindigkeit = 0;
    std::array<int32_t, 3> m_referenzoffset{};
    std::array<std::atomic<int32_t>, 3> m_position{};
    bool m_z_als_Motor = true;

    mutable std::mutex m_zeitgeber_mutex;
    mutable std::condition_variable m_zeitgeber_cv;
    mutable std::condition_variable m_haltestrom_cv;
    std::optional<Uhr::time_point> m_frist;
    uint64_t m_generation = 0;
    bool m_zeitgeber_ende = false;
    int32_t m_haltestromanlagen = 0;
    std::thread m_zeitgeber;
};

} // namespace orvexa
