#pragma once

// The serial controller as a state machine without I/O and without a clock of its own: bytes go
// in with the time they arrived (ns of Zeitbasis::Zaehler), whole answers come out. The pty, the
// thread and the fault injection live in SerielleSteuerung; the wire protocol is described at
// the top of seriellesteuerung.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

class Steuerungsmodell {
public:
    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char ACK = 0x06;
    static constexpr char BEL = 0x07;
    static constexpr char CR = 0x0D;
    static constexpr char NAK = 0x15;

    static constexpr int Achsenzahl = 4; // x, y, z, u
    static constexpr int Geschwindigkeitsplaetze = 11;
    static constexpr int Referenzplatz = 9;
    static constexpr int Programmplaetze = 7;
    static constexpr std::size_t Zeilenlaenge_max = 256;
    static constexpr std::size_t Speichergroesse_vorgabe = 32768;
    // Ordinary requests that arrive during a move wait in the receive buffer; a real controller
    // has room for a few lines, more are lost.
    static constexpr std::size_t Wartende_max = 32;

    struct Einstellungen {
        int32_t Startfreq = 400;
        std::array<int32_t, Geschwindigkeitsplaetze> Geschwindigkeit{
            400, 2000, 4000, 2000, 4000, 2000, 2000, 2000, 2000, 1000, 2000};
        int32_t Rampe = 100; // ms from the start speed to the slot's speed
        std::array<int32_t, Achsenzahl> Referenzoffset{};
        int Steuersignal = 0;
        char Schrittmodus = 'H';
        char Ruhestrom = '2';
        int E1Verknuepfung = 0;
        int32_t Durchlaeufe = 1;
        std::array<bool, 10> Ausgaenge{}; // A1..A8, AL, AR
        std::array<bool, 4> I2C_Ausgaenge{};
        std::array<int32_t, Achsenzahl> Strom{};   // "c," values
        std::array<int32_t, Achsenzahl> Teilung{}; // "D," values
    };

    struct Programm {
        std::string Kopf; // header text without its STX
        std::vector<std::string> Befehle;
        // Memory taken: every text with one terminator byte.
        std::size_t Groesse() const;
    };

    // modul: the controller type (5, 6, 10..13) whose command set and identification are used.
    explicit Steuerungsmodell(int32_t modul = 5);

    // Feeds received bytes. ausfuehren = false only records the requests (a controller that has
    // gone silent). Returns the answers produced, each whole, in sending order.
    std::vector<std::string> Bytes_empfangen(std::string_view bytes, int64_t jetzt,
                                             bool ausfuehren = true);
    // Completes what has come due by jetzt: the end of a move (its completion answer), then the
    // requests held back during it.
    std::vector<std::string> Zeit_fortschreiten(int64_t jetzt);
    // When the running move or dwell part ends (ns), if one runs.
    std::optional<int64_t> Naechstes_Ereignis() const;

    // 0 = moves end at once, 1 = real speed; any factor in between or above.
    void Zeitskala_setzen(double skala);
    double Zeitskala() const { return m_skala; }
    void Kennung_setzen(std::string kennung) { m_kennung = std::move(kennung); }
    const std::string& Kennung() const { return m_kennung; }
    void Speichergroesse_setzen(std::size_t bytes) { m_speichergroesse = bytes; }
    // Input letter 'A'..'D'; false for any other letter.
    bool Eingang_setzen(char eingang, bool pegel);
    // Output 1..8 that the watchdog uses (setting it is refused with E9); 0 = none.
    void Watchdog_Ausgang_setzen(int nummer) { m_watchdog = nummer; }

    int32_t Modul() const { return m_modul; }
    const std::vector<std::string>& Anfragen() const { return m_anfragen; }
    // When the first byte of each request arrived (the jetzt it was fed with), in the order of
    // Anfragen.
    const std::vector<int64_t>& Anfragebeginn() const { return m_anfragebeginn; }
    // Axis letter x, y, z, u (either case); 0 for any other letter.
    int32_t Position(char achse, int64_t jetzt) const;
    const Einstellungen& Einstellungswerte() const { return m_e; }
    bool Speichermodus() const { return m_aufzeichnung != Aufzeichnung::aus; }
    bool Bewegung_laeuft() const { return !m_abschnitte.empty(); }
    // Place 1..7; nullopt when empty or outside.
    std::optional<Programm> Programmplatz(int nummer) const;
    std::size_t Speicher_belegt() const;

    // The default identification of a controller type.
    static std::string Vorgabekennung(int32_t modul);

    // A move's speed over time: phases of constant acceleration, in seconds and steps.
    struct Phase {
        double t0, dauer, s0, v0, a;
    };
    struct Profil {
        std::vector<Phase> Phasen;
        double Dauer = 0;          // s
        double Weg = 0;            // steps covered at the end
        double Beschleunigung = 0; // of the ramps; 0 = no ramp
        double Startfreq = 0;
        double Weg_bei(double t) const;
        double Geschwindigkeit_bei(double t) const;
        // Ramps down from t on (to the start speed, then stops). False when the profile would
        // end sooner anyway.
        bool Abbremsen(double t);
    };
    static Profil Profil_berechnen(double weg, double startfreq, double freq, double rampe_s);

private:
    enum class Aufzeichnung { aus, Kopf, Befehle, Ueberlauf };
    enum class Abschnittsart { Fahrt, Referenz_anfahren, Referenz_versetzen, Warten };

    struct Abschnitt {
        Abschnittsart Art = Abschnittsart::Fahrt;
        std::array<int64_t, Achsenzahl> Ziel{}; // Fahrt
        int Achse = -1;                         // reference legs
        int32_t Versatz = 0;                    // reference offset
        double Freq = 0, Startfreq = 0, Rampe_s = 0;
        double Wartezeit_s = 0;
        // Set when the part begins.
        std::array<int64_t, Achsenzahl> Start{};
        std::array<int64_t, Achsenzahl> Endziel{};
        Profil Verlauf;
        int64_t Beginn = 0, Ende = 0;
        bool Abgebrochen = false;
    };

    void Zeilenbeginn_merken(int64_t jetzt);
    void Anfrage_merken(const std::string& zeile);
    void Zeile_fertig(std::string zeile, int64_t jetzt, bool ausfuehren,
                      std::vector<std::string>& aus);
    void Mehrbyte(const std::string& zeile, int64_t jetzt, std::vector<std::string>& aus);
    void Befehl(const std::string& zeile, int64_t jetzt, std::vector<std::string>& aus);
    void Programmspeicher(const std::string& zeile, std::vector<std::string>& aus);
    void Speichern(const std::string& zeile, std::vector<std::string>& aus);
    void Kopf_fertig(std::string kopf, std::vector<std::string>& aus);
    void Programmende(std::vector<std::string>& aus);
    void Fortschreiten(int64_t jetzt, std::vector<std::string>& aus);
    void Abschnitt_beginnen(Abschnitt& a, int64_t beginn);
    void Abschnitt_beenden(const Abschnitt& a);
    std::array<int64_t, Achsenzahl> Positionen(int64_t jetzt) const;
    int64_t Dauer_ns(double sekunden) const;
    double Profilzeit(const Abschnitt& a, int64_t jetzt) const;
    bool Platz_frei_fuer(std::size_t bytes) const;

    int32_t m_modul;
    std::string m_kennung;
    double m_skala = 0;
    std::size_t m_speichergroesse = Speichergroesse_vorgabe;
    int m_watchdog = 0;

    Einstellungen m_e;
    std::array<int64_t, Achsenzahl> m_position{};
    std::array<int64_t, Achsenzahl> m_nullpunkt{}; // machine coordinate of position 0
    std::array<bool, 4> m_eingaenge{};

    std::string m_zeile;
    bool m_ueberlang = false;    // discarding the rest of an over-long request
    bool m_cr_schlucken = false; // a CR right after the header's STX belongs to the header
    bool m_kopf_ueberlang = false;

    Aufzeichnung m_aufzeichnung = Aufzeichnung::aus;
    int m_aufzeichnungsplatz = 0;
    Programm m_aufzeichnungsinhalt;
    std::array<std::optional<Programm>, Programmplaetze> m_plaetze;

    std::vector<std::string> m_anfragen;
    std::vector<int64_t> m_anfragebeginn;
    std::optional<int64_t> m_zeilenbeginn; // first byte of the request being received
    std::deque<Abschnitt> m_abschnitte;
    std::deque<std::string> m_wartende;
};

} // namespace orvexa
