#pragma once

// A machine on a simulated parallel port: decodes what the driver writes into axis positions
// and drives the status inputs from reference switches.
//
// Registers at basis (data), basis+1 (status, read only), basis+2 (control). Pin levels:
//   status bit 6 pin 10, bit 7 pin 11 (inverted: bit 0 = pin high), bit 5 pin 12, bit 4 pin 13,
//   bit 3 pin 15; bits 0..2 read 0.
//   control bit 0 pin 1, bit 1 pin 14, bit 3 pin 17 are inverted (bit cleared = pin high =
//   "on"); bit 2 pin 16 is not (bit set = "on"). The control register starts at 0x0A: pin 1
//   high (the idle strobe level), outputs 14, 16 and 17 off.
//
// Step/direction card (layout A): x dir bit 0 / step bit 1, y bits 2/3, z bits 4/5, u bits 6/7.
//   A rising step bit counts one step in the direction its direction bit has in that same write
//   (high = +1). A direction change in the same write as a step edge is counted apart
//   (Richtungswechsel_beim_Schritt), not as a fault: the driver's byte image changes both at
//   once by design.
// Phase card (KX400): the data byte is latched when pin 1 returns high after a low pulse
//   (control bit 0 set, then cleared); bits 6..7 select x, y or z, bits 0..5 are the pattern.
//   Steps are the index changes (+1/-1, wrapping) within the running table (half or full step);
//   a standstill pattern or a repeated index is no step. The z bytes A7/BC (relay on/off) that
//   do not fit the z phase sequence only switch Relais().
//
// Reference switches: one per axis, active while the axis position <= its switching point
// (default -1000, present). Which input pin a switch drives, and at which level, follows the
// card's input mode (Eingangsmodus_fuer_Modul):
//   Modul 0, 1: every switch on pin 11, active high (a common input);
//   Modul 4:    x pin 11, y pin 12, z pin 13, u pin 15, active low;
//   Modul 7 and any other value: x pin 10, y pin 11, z pin 12, u pin 10, active low.
// Pins without an active switch rest at their inactive level; pins not wired to any switch
// read high (the port's pull-ups). Default: Modul 7, step/direction card.
//
// Thread-safe: the motion thread writes while tests read from another thread.

#include "platform/portio.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvexa {

// One write to the port, time from Zeitbasis::Zaehler().
struct Zeitstempel_Eintrag {
    int64_t ns;
    uint16_t adresse;
    uint8_t wert;
};

class VirtuelleMaschine : public PortIO {
public:
    enum class Kartenart { Takt_Richtung, Phasen };
    enum class Phasenbetrieb { Erkennen, Halbschritt, Vollschritt };

    explicit VirtuelleMaschine(uint16_t basis = 0x378);

    // PortIO. Oeffnen succeeds only for the configured base; before it every access fails.
    bool Oeffnen(uint16_t basisadresse) override;
    void Schliessen() override;
    bool Lesen(uint16_t adresse, uint8_t& wert) override;
    bool Schreiben(uint16_t adresse, uint8_t wert) override;
    std::string Fehlertext() const override;

    uint16_t Basisadresse() const { return basis_; }
    bool Offen() const;

    void Kartenart_setzen(Kartenart art);
    Kartenart Aktuelle_Kartenart() const;
    // Input mode and card type of a controller type (Modul 0 is the phase card).
    void Modul_einstellen(int32_t modul);
    void Eingangsmodus_fuer_Modul(int32_t modul);

    // Axes 'x', 'y', 'z', 'u' (upper case too); other letters read 0 and are ignored.
    int32_t Position(char achse) const;
    void Position_setzen(char achse, int32_t schritte);

    void Referenzschalter_setzen(char achse, int32_t schaltpunkt, bool vorhanden = true);
    bool Referenzschalter_aktiv(char achse) const;
    // Forces a status pin (10, 11, 12, 13, 15) to a level; std::nullopt hands it back to the
    // switches. Other pin numbers are ignored.
    void Eingang_erzwingen(int pin, std::optional<bool> pegel);
    // Electrical level of an input pin as the status register shows it now.
    bool Eingang(int pin) const;

    // Output pins 1, 14, 16, 17: true = "on" as the driver means it; other pins false.
    bool Ausgang(int pin) const;
    uint8_t Datenregister() const;
    uint8_t Steuerregister() const;
    uint8_t Statusregister() const;

    // Phase card: the last pattern (bits 0..5) latched for x, y or z, its running-table index
    // (0 at start like the driver's), and the relay on the z channel.
    uint8_t Phasenmuster(char achse) const;
    int32_t Phasenindex(char achse) const;
    bool Relais() const;
    // Which running table the decoding uses; Erkennen takes it from the patterns seen.
    void Phasentabellen_setzen(Phasenbetrieb betrieb);

    // Write record, on by default. Capped at Protokollgrenze entries (then further entries are
    // dropped and counted), so a long run cannot eat the memory.
    std::vector<Zeitstempel_Eintrag> Schreibprotokoll() const;
    void Schreibprotokoll_leeren();
    void Protokollieren(bool an);
    void Protokollgrenze_setzen(std::size_t eintraege);
    std::size_t Verworfene_Eintraege() const;

    // Protocol violations: a phase jump by more than one index, a strobe shorter than 10 us, a
    // data change while the strobe is low, a phase byte for the axis value 3, a write to the
    // status register.
    int32_t Fehlerzahl() const;
    std::vector<std::string> Fehlerliste() const;
    int32_t Richtungswechsel_beim_Schritt() const;
    // Shortest high time of a step bit seen, -1 while none has ended.
    int64_t Kuerzester_Schrittpuls_ns() const;
    int64_t Kuerzester_Strobepuls_ns() const;
    int64_t Schrittzahl() const; // all decoded steps of all axes

    // Called after each write that made steps, outside the lock, with the axis and its new
    // position; for tests that wait for a position. Set it before the motion starts.
    void Schrittbeobachter_setzen(std::function<void(char achse, int32_t position)> beobachter);

    // Clears positions, faults, pulse widths and the record; keeps switches and settings.
    void Zuruecksetzen();

    static constexpr int64_t Strobe_mindestens_ns = 10'000;

private:
    struct Achse {
        int32_t position = 0;
        int32_t schaltpunkt = -1000;
        bool schalter = true;
        int64_t schritt_hoch_seit = -1; // ns of the rising step edge, -1 while low
        uint8_t muster = 0;
        int32_t index = 0;
    };
    struct Eingangsbelegung {
        int pin[4];
        bool aktiv_hoch;
    };

    static int Achsnummer(char achse);
    void Fehler(std::string text);
    void Daten_geschrieben(uint8_t alt, uint8_t neu, int64_t t, int32_t schritte[4]);
    void Steuer_geschrieben(uint8_t alt, uint8_t neu, int64_t t, int32_t schritte[4]);
    void Muster_uebernehmen(uint8_t byte, int32_t schritte[4]);
    uint8_t Status_berechnen() const;
    bool Pin_pegel(int pin) const;

    const uint16_t basis_;
    mutable std::mutex mutex_;
    bool offen_ = false;
    std::string fehlertext_;
    Kartenart art_ = Kartenart::Takt_Richtung;
    Phasenbetrieb phasenbetrieb_ = Phasenbetrieb::Erkennen;
    Phasenbetrieb erkannt_ = Phasenbetrieb::Erkennen;
    Eingangsbelegung belegung_{};
    std::optional<bool> erzwungen_[16];
    Achse achsen_[4];
    uint8_t daten_ = 0;
    uint8_t steuer_ = 0x0A;
    bool relais_ = false;
    int64_t strobe_seit_ = -1;
    bool daten_im_strobe_geaendert_ = false;

    bool protokollieren_ = true;
    std::size_t protokollgrenze_ = 1'000'000;
    std::size_t verworfen_ = 0;
    std::vector<Zeitstempel_Eintrag> protokoll_;

    std::vector<std::string> fehler_;
    int32_t fehlerzahl_ = 0;
    int32_t richtungswechsel_ = 0;
    int64_t kuerzester_puls_ = -1;
    int64_t kuerzester_strobe_ = -1;
    int64_t schrittzahl_ = 0;
    std::shared_ptr<const std::function<void(char, int32_t)>> beobachter_;
};

// Hands a driver a port that forwards to a shared virtual machine, so that the test or the
// simulation that made the machine keeps looking at it while the driver owns the port.
class Maschinenanschluss : public PortIO {
public:
    explicit Maschinenanschluss(std::shared_ptr<VirtuelleMaschine> maschine)
        : m_maschine(std::move(maschine)) {}
    bool Oeffnen(uint16_t basisadresse) override { return m_maschine->Oeffnen(basisadresse); }
    void Schliessen() override { m_maschine->Schliessen(); }
    bool Lesen(uint16_t adresse, uint8_t& wert) override {
        return m_maschine->Lesen(adresse, wert);
    }
    bool Schreiben(uint16_t adresse, uint8_t wert) override {
        return m_maschine->Schreiben(adresse, wert);
    }
    std::string Fehlertext() const override { return m_maschine->Fehlertext(); }

private:
    std::shared_ptr<VirtuelleMaschine> m_maschine;
};

} // namespace orvexa
