#pragma once

// The program-storing controllers (iKXIF, Modul 2; KXCU, Modul 3) as a state machine without
// I/O and without a clock of its own: bytes go in with the time they arrived (ns of
// Zeitbasis::Zaehler), whole answers come out. The pty, the thread and the fault injection
// live in SpeicherndeSteuerung; the wire protocol is described at the top of
// speicherndesteuerung.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

class Speichermodell {
public:
    static constexpr char SOH = 0x01;
    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char CR = 0x0D;

    static constexpr int Achsenzahl = 4; // x, y, z, u
    static constexpr std::size_t Zeilenlaenge_max = 31;
    static constexpr std::size_t Festwertspeicher_vorgabe = 2048;

    struct Einstellungen {
        int32_t Startfreq = 400;
        std::array<int32_t, 100> Geschwindigkeit{};
        int32_t Rampe = 100; // ms
        std::array<int32_t, Achsenzahl> Referenzoffset{};
        int Steuersignal = 0, Schrittbetrieb = 0, ZBetrieb = 0, UBetrieb = 0, E1Verknuepfung = 0;
        std::array<bool, 4> Ausgaenge{}; // A1..A4 (the iKXIF has A1 only)
    };

    // modul: 2 (iKXIF) or 3 (KXCU).
    explicit Speichermodell(int32_t modul = 2);

    // Feeds received bytes. ausfuehren = false only records the requests (a controller that has
    // gone silent). Returns the answers produced, each whole, in sending order.
    std::vector<std::string> Bytes_empfangen(std::string_view bytes, int64_t jetzt,
                                             bool ausfuehren = true);
    // Carries out what has come due by jetzt; STX when the queue has run empty.
    std::vector<std::string> Zeit_fortschreiten(int64_t jetzt);
    // When the running move or dwell ends (ns), if one runs.
    std::optional<int64_t> Naechstes_Ereignis() const;
    // The KXCU's own start key: replays the program in the fixed memory. False when there is
    // none or the controller is busy.
    bool Festprogramm_starten(int64_t jetzt, std::vector<std::string>& aus);

    void Zeitskala_setzen(double skala);
    void Kennung_setzen(std::string kennung) { m_kennung = std::move(kennung); }
    const std::string& Kennung() const { return m_kennung; }
    void Festwertspeicher_setzen(std::size_t bytes) { m_kapazitaet = bytes; }
    // Settings the unit keeps from before it was switched on: the start speed and every speed
    // slot. Without them a move that names no speed of its own is skipped.
    void Geschwindigkeiten_vorgeben(int32_t startfreq, int32_t freq) {
        m_e.Startfreq = startfreq;
        m_e.Geschwindigkeit.fill(freq);
    }

    int32_t Modul() const { return m_modul; }
    // Every request with its terminator (CR or SOH) as it arrived.
    const std::vector<std::string>& Anfragen() const { return m_anfragen; }
    // The requests refused with "E<n>" CR.
    const std::vector<std::string>& Abgelehnt() const { return m_abgelehnt; }
    int32_t Position(char achse, int64_t jetzt) const;
    const Einstellungen& Einstellungswerte() const { return m_e; }
    bool Laeuft() const { return m_laeuft; }
    bool Aufzeichnung() const { return m_aufzeichnung; }
    // The commands in the fixed memory, each without its terminator.
    const std::vector<std::string>& Festprogramm() const { return m_festprogramm; }
    std::size_t Festwertspeicher_belegt() const;

    static std::string Vorgabekennung(int32_t modul);

private:
    struct Eintrag {
        std::string befehl;
        bool bewegung = false;
    };

    void Zeile_fertig(std::string zeile, char terminator, int64_t jetzt, bool ausfuehren,
                      std::vector<std::string>& aus);
    void Sofortbefehl(const std::string& zeile, int64_t jetzt, std::vector<std::string>& aus);
    // 0 = valid; 1 unknown command, 6 bad value.
    int Pruefen(const std::string& zeile, bool& bewegung) const;
    void Einstellen(const std::string& zeile);
    void Starten(int64_t jetzt, std::vector<std::string>& aus);
    void Fortschreiten(int64_t jetzt, std::vector<std::string>& aus);
    void Anhalten(int64_t jetzt);
    std::array<int64_t, Achsenzahl> Positionen(int64_t jetzt) const;

    int32_t m_modul;
    std::string m_kennung;
    double m_skala = 0;
    std::size_t m_kapazitaet = Festwertspeicher_vorgabe;

    Einstellungen m_e;
    std::array<int64_t, Achsenzahl> m_position{};
    std::string m_zeile;
    bool m_ueberlang = false;

    std::deque<Eintrag> m_warteschlange;
    bool m_laeuft = false;
    // The move or dwell under way.
    bool m_schritt_aktiv = false;
    std::array<int64_t, Achsenzahl> m_start{}, m_ziel{};
    int64_t m_beginn = 0, m_ende = 0;

    bool m_aufzeichnung = false;
    bool m_voll = false;
    std::vector<std::string> m_aufgezeichnet;
    std::vector<std::string> m_festprogramm;

    std::vector<std::string> m_anfragen;
    std::vector<std::string> m_abgelehnt;
};

} // namespace orvexa
