#pragma once

// Recording doubles of the three driver interfaces, for tests of everything above the drivers.
// Each double writes every call as one line ("Startgeschwindigkeit_einstellen(200)", with the
// double's prefix and a dot in front when it has one) into a list shared by all doubles of a
// test, and can be scripted: answers, errors to throw, calls that block until released, and
// actions to run when a call arrives. All of it is safe to use from several threads.

#include "drivers/parallelkarte.h"
#include "drivers/seriellerbefehlssatz.h"
#include "drivers/speichermodul.h"
#include "testhilfen.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa::test {

class Aufrufliste {
public:
    void Hinzufuegen(const std::string& zeile);
    std::vector<std::string> Aufrufe() const;
    // The calls from position ab on.
    std::vector<std::string> Aufrufe_ab(std::size_t ab) const;
    std::size_t Anzahl() const;
    void Leeren();
    // Waits until `anzahl` lines beginning with `anfang` have been recorded; false after ms.
    bool Warten_auf(const std::string& anfang, int anzahl = 1, int ms = 5000) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_neu;
    std::vector<std::string> m_zeilen;
};

// Argument texts as the doubles write them: booleans 0/1, letters as letters, control
// characters in texts spelled out ("<CR>").
std::string Argumenttext(int32_t wert);
std::string Argumenttext(bool wert);
std::string Argumenttext(char wert);
std::string Argumenttext(const std::string& wert);

template <class... T>
std::string Argumente(const T&... werte) {
    std::string text;
    ((text += (text.empty() ? "" : ", ") + Argumenttext(werte)), ...);
    return text;
}

// Scripting shared by the three doubles. `operation` is the bare name of an interface call,
// e.g. "WaitResp".
class Attrappe {
public:
    Attrappe(std::shared_ptr<Aufrufliste> liste, std::string praefix);
    virtual ~Attrappe();
    Attrappe(const Attrappe&) = delete;
    Attrappe& operator=(const Attrappe&) = delete;

    Aufrufliste& Liste() const { return *m_liste; }
    const std::string& Praefix() const { return m_praefix; }

    // The next `anzahl` calls of the operation throw Steuerungsfehler(code) after they have
    // been recorded; a negative anzahl makes every call throw.
    void Fehler_vorgeben(const std::string& operation, int32_t code, int anzahl = 1);
    // Calls of the operation block, after being recorded, until Sperre_loesen.
    void Sperre_setzen(const std::string& operation);
    void Sperre_loesen(const std::string& operation);
    // Waits until a caller is held in the operation; false after ms.
    bool Warten_bis_gesperrt(const std::string& operation, int ms = 5000) const;
    // Runs aktion on the caller's thread each time the operation is called, after recording.
    void Bei_Aufruf(const std::string& operation, std::function<void()> aktion);

protected:
    // Records the call, then runs its action, blocks while it is held, throws when scripted.
    void Aufruf(const std::string& operation, const std::string& argumente = {}) const;

    // Guards the scripted answers of the derived doubles too.
    mutable std::mutex m_mutex;

private:
    struct Fehlervorgabe {
        int32_t code;
        int anzahl;
    };

    std::shared_ptr<Aufrufliste> m_liste;
    std::string m_praefix;
    mutable std::condition_variable m_sperrwechsel;
    mutable std::map<std::string, Fehlervorgabe> m_fehler;
    std::map<std::string, bool> m_gesperrt;
    mutable std::map<std::string, int> m_wartend;
    std::map<std::string, std::function<void()>> m_aktionen;
};

class ParallelkarteAttrappe : public Parallelkarte, public Attrappe {
public:
    explicit ParallelkarteAttrappe(std::shared_ptr<Aufrufliste> liste, std::string praefix = {});
    ~ParallelkarteAttrappe() override;

    void Oeffnen_ergibt(bool ergebnis);
    void Version_ergibt(bool ergebnis, std::string name);
    void Position_vorgeben(char achse, int32_t schritte);
    void Wartezeit_ergibt(bool grenzeingang);
    void Eingangspin_vorgeben(int32_t pin, bool pegel);

    bool Oeffnen(const std::string& port_text) override;
    void Eingangsmodus_setzen(bool a, bool b, bool c) override;
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

private:
    bool m_oeffnen = true;
    bool m_version = true;
    std::string m_name = "KX400/750";
    std::map<char, int32_t> m_positionen;
    bool m_grenzeingang = false;
    std::map<int32_t, bool> m_eingangspins;
};

class SpeichermodulAttrappe : public Speichermodul, public Attrappe {
public:
    explicit SpeichermodulAttrappe(std::shared_ptr<Aufrufliste> liste, std::string praefix = {});
    ~SpeichermodulAttrappe() override;

    void Port_oeffnen_ergibt(bool ergebnis);
    void Version_ergibt(bool ergebnis, std::string kennung);
    void Position_vorgeben(char achse, int32_t schritte);
    void Aufzeichnung_beendet_setzen(bool beendet);

    bool Port_oeffnen(const std::string& name) override;
    void Port_schliessen() override;
    bool Version_abfragen() override;
    std::string Kennung() const override;
    int32_t Achsenposition_abfragen(char achse) override;
    void Ansteuersignale_einstellen(int32_t steuersignal) override;
    void Schrittbetrieb_einstellen(int32_t schrittbetrieb) override;
    void Z_Achse_einstellen(int32_t zbetrieb) override;
    void U_Achse_einstellen(int32_t ubetrieb) override;
    void Startgeschwindigkeit_einstellen(int32_t freq) override;
    void Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) override;
    void Rampenlaenge_einstellen(int32_t ms) override;
    void Referenzgeschwindigkeit_einstellen(int32_t freq) override;
    void Referenzrichtung_einstellen(char achse) override;
    void Referenzoffset_einstellen(char achse, int32_t schritte) override;
    void Referenzfahrt_ausfuehren(const std::string& achsen) override;
    void Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                                int32_t terminator) override;
    void Achsen_anhalten() override;
    void Achsen_sofort_stoppen() override;
    void Ausgangssignal_setzen(int32_t nummer, int32_t zustand) override;
    void Wartezeit_einfuegen(int32_t ms) override;
    void E1Verknuepfung_setzen(int32_t nummer) override;
    void Upload_in_Festwertspeicher() override;
    void End_in_Festwertspeicher() override;
    void Festwertspeicher_loeschen() override;
    bool Aufzeichnung_beendet() const override;
    void Programm_starten() override;
    void Bewegungsende_abwarten() override;

private:
    bool m_port_oeffnen = true;
    bool m_version = true;
    std::string m_kennung = "KX-IKXIF";
    std::map<char, int32_t> m_positionen;
    bool m_aufzeichnung_beendet = false;
};

class SeriellerBefehlssatzAttrappe : public SeriellerBefehlssatz, public Attrappe {
public:
    static constexpr char ACK = 6;
    static constexpr char NAK = 21;

    explicit SeriellerBefehlssatzAttrappe(std::shared_ptr<Aufrufliste> liste,
                                          std::string praefix = {});
    ~SeriellerBefehlssatzAttrappe() override;

    // First answers of the motion and dwell commands, in order; when none is left, NAK
    // (the move runs), or ACK in store mode.
    void Bewegungsantworten_vorgeben(std::vector<std::string> antworten);
    // Answers of WaitResp, in order; ACK when none is left.
    void Abschlussantworten_vorgeben(std::vector<std::string> antworten);
    // Answers of SendWait, in order; ACK when none is left.
    void Sendeantworten_vorgeben(std::vector<std::string> antworten);
    void Version_ergibt(std::string kennung);
    void Position_vorgeben(char achse, int32_t schritte);
    // Levels of Eingang_abfragen_Potential, in order; `danach` when none is left.
    void Eingangspegel_vorgeben(std::vector<bool> pegel, bool danach = false);
    bool Speichermodus() const;

    void Init(int32_t port, int32_t baud) override;
    void Connect() override;
    void UnInit() override;
    void SetTag(uint8_t tag) override;
    uint8_t Tag() const override;
    void SetStoreMode(bool an) override;
    std::string SendWait(const std::string& anfrage, int32_t timeout_ms) override;
    std::string WaitResp(int32_t timeout_ms) override;
    void Warten_abbrechen() override;
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

private:
    std::string Naechste(std::deque<std::string>& antworten, const std::string& sonst);
    std::string Bewegungsantwort();

    uint8_t m_tag = 0;
    bool m_speichermodus = false;
    std::deque<std::string> m_bewegungsantworten;
    std::deque<std::string> m_abschlussantworten;
    std::deque<std::string> m_sendeantworten;
    std::string m_version = "KXvario V1.0";
    std::map<char, int32_t> m_positionen;
    std::deque<bool> m_eingangspegel;
    bool m_eingangspegel_danach = false;
};

// Installs a Treiberfabrik that makes the doubles above, all writing into `liste`, with the
// prefixes "Karte", "Speicher" and "Linie". Each creation is recorded too, as
// "Parallelkarte_erzeugen(4)", "Speichermodul_erzeugen(2)" or "SerielleLinie_erzeugen()".
// The vorbereiten functions run on each new double before the command layer gets it. The
// factory must live as long as it is installed (a member of the test fixture does).
class Attrappenfabrik {
public:
    Attrappenfabrik();
    Attrappenfabrik(const Attrappenfabrik&) = delete;
    Attrappenfabrik& operator=(const Attrappenfabrik&) = delete;
    void Installieren();

    std::shared_ptr<Aufrufliste> liste;
    std::function<void(ParallelkarteAttrappe&)> Karte_vorbereiten;
    std::function<void(SpeichermodulAttrappe&)> Speicher_vorbereiten;
    std::function<void(SeriellerBefehlssatzAttrappe&)> Linie_vorbereiten;
};

// The command layer's current modules as doubles; nullptr when there is none.
ParallelkarteAttrappe* Karte();
SpeichermodulAttrappe* Speicher();
SeriellerBefehlssatzAttrappe* Linie();

// Test fixture for the parts above the drivers: the Testumgebung with the doubles installed.
class Attrappenumgebung : public Testumgebung {
protected:
    void SetUp() override;

    // Configures `modul`, makes the serial link as the program start does and the type's
    // module through Steuerung_erzeugen, then empties the call list.
    void Steuerung_einrichten(int32_t modul);
    std::vector<std::string> Aufrufe() const { return fabrik.liste->Aufrufe(); }

    Attrappenfabrik fabrik;
};

} // namespace orvexa::test
