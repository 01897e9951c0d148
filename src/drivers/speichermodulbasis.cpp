#include "speichermodulbasis.h"

#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/zeitbasis.h"

#include <algorithm>
#include <utility>

namespace orvexa {

namespace {

// Window messages are processed at least this often while a read waits.
constexpr int Pumpabstand_ms = 20;

int64_t Jetzt_ms() {
    return Zeitbasis::Zaehler() / 1'000'000;
}

// "COM3" goes through the port directory; anything else is taken as the device itself.
std::string Geraet_zu(const std::string& name) {
    if (name.size() > 3 && (name.starts_with("COM") || name.starts_with("com")))
        return COM_Pfad(COM_Nummer_lesen(name));
    return name;
}

// Counts a stop or close that waits for the port while it is being fetched.
class Unterbrechung {
public:
    explicit Unterbrechung(std::atomic<int>& zaehler) : m_zaehler(zaehler) { ++m_zaehler; }
    ~Unterbrechung() { Beenden(); }
    Unterbrechung(const Unterbrechung&) = delete;
    Unterbrechung& operator=(const Unterbrechung&) = delete;
    void Beenden() {
        if (m_aktiv) --m_zaehler;
        m_aktiv = false;
    }

private:
    std::atomic<int>& m_zaehler;
    bool m_aktiv = true;
};

} // namespace

Speichermodulbasis::Speichermodulbasis(std::string titel, std::size_t antwort_max,
                                       std::string kennungsanfang)
    : m_leser(antwort_max), m_titel(std::move(titel)), m_kennungsanfang(std::move(kennungsanfang)) {
}

Speichermodulbasis::~Speichermodulbasis() {
    Port_schliessen();
}

bool Speichermodulbasis::Port_oeffnen(const std::string& name) {
    std::lock_guard lock(m_austausch);
    m_port.Schliessen();
    Porteinstellungen e;
    e.Baudrate = 19200;
    e.Datenbits = 8;
    e.Paritaet = 'N';
    e.Stoppbits = 1;
    e.DTR = false;
    e.RTS = false;
    const std::string geraet = Geraet_zu(name);
    if (geraet.empty() || !m_port.Oeffnen(geraet, e)) {
        Protokoll_schreiben(Ebene_Seriell, m_titel + " :: " + name + " = " +
                                               (geraet.empty() ? "?" : geraet) + " :: errno " +
                                               std::to_string(m_port.Letzter_Fehler()));
        Warnung(Formatieren("%s kann nicht geöffnet werden!", name.c_str()), m_titel);
        return false;
    }
    // Whatever the controller sent before is of no interest.
    while (m_port.Byte_lesen(0) >= 0) {
    }
    m_leser = Antwortleser(m_leser.Antwort_max());
    return true;
}

void Speichermodulbasis::Port_schliessen() {
    Unterbrechung unterbrechung(m_unterbrechung);
    m_port.Lesen_abbrechen();
    std::lock_guard lock(m_austausch);
    m_port.Schliessen();
    m_leser.Beschaeftigt = false;
}

void Speichermodulbasis::Senden(const std::string& befehl, char terminator) {
    if (!m_port.Offen()) return;
    if (befehl.size() > Befehl_max) {
        // Cut, it would be another command; the controller gets none.
        Protokoll_schreiben(Ebene_Fehler, m_titel + " :: Befehl zu lang: " + befehl);
        Warnung("Befehl zu lang für die Steuerung:\n" + befehl, m_titel);
        return;
    }
    m_port.Leeren(true, true);
    m_port.Schreiben(befehl + terminator);
}

bool Speichermodulbasis::Antwort_lesen() {
    m_leser.Beginnen();
    if (!m_port.Offen()) return false;
    bool etwas = false;
    int64_t frist = Jetzt_ms() + Antwortfrist_ms;
    for (;;) {
        oberflaeche().Nachrichten_verarbeiten();
        if (Wartet_auf_Ende()) return etwas;
        const int64_t rest = frist - Jetzt_ms();
        if (rest <= 0) return etwas;
        const int byte =
            m_port.Byte_lesen(static_cast<int>(std::min<int64_t>(rest, Pumpabstand_ms)));
        if (byte >= 0) {
            etwas = true;
            frist = Jetzt_ms() + Antwortfrist_ms;
            if (m_leser.Byte(static_cast<unsigned char>(byte), Aufzeichnung_laeuft())) return true;
        } else if (byte == SeriellerPort::Getrennt || byte == SeriellerPort::Fehler) {
            // Nothing will come from a device that has gone; it counts as silence.
            Zeitbasis::Schlafen(Pumpabstand_ms);
        }
    }
}

void Speichermodulbasis::Leerlauf_abwarten() {
    int64_t still_seit = Jetzt_ms();
    while (m_leser.Beschaeftigt && m_port.Offen() && !Wartet_auf_Ende()) {
        if (Antwort_lesen()) {
            still_seit = Jetzt_ms();
            continue;
        }
        if (Wartet_auf_Ende() || Jetzt_ms() - still_seit < m_stillefrist_ms.load()) continue;
        // A long move is silent too; one that still answers goes on.
        Senden("@Lx", CR);
        if (Antwort_lesen() && m_leser.Antwort().starts_with("@L")) {
            still_seit = Jetzt_ms();
            continue;
        }
        if (Wartet_auf_Ende()) return;
        const int sekunden = (m_stillefrist_ms.load() + 999) / 1000;
        Protokoll_schreiben(Ebene_Fehler,
                            Formatieren("%s :: Leerlauf_abwarten() :: keine Antwort seit %d s",
                                        m_titel.c_str(), sekunden));
        m_leser.Beschaeftigt = false;
        Warnung("Die Steuerung antwortet nicht mehr!\n"
                "Bitte die Schnittstelle überprüfen bzw.\n"
                "die Steuerung Aus- und Einschalten!",
                m_titel);
        throw Steuerungsfehler(WAIT_TIMEOUT);
    }
}

void Speichermodulbasis::Befehl(const std::string& befehl, char terminator) {
    Senden(befehl, terminator);
    Antwort_lesen();
}

void Speichermodulbasis::Befehl_nach_Leerlauf(const std::string& befehl, char terminator) {
    Leerlauf_abwarten();
    Befehl(befehl, terminator);
}

int32_t Speichermodulbasis::Begrenzen(int32_t wert, int32_t max, const char* was,
                                      const char* titel) {
    if (wert <= max) return wert;
    Warnung(std::string("unzulässiger Wert für ") + was, titel);
    return max;
}

void Speichermodulbasis::Warnung(const std::string& text, const std::string& titel) {
    oberflaeche().Meldung(text, titel, Symbol::warnung, Knoepfe::ok);
}

bool Speichermodulbasis::Version_abfragen() {
    std::lock_guard lock(m_austausch);
    Befehl("@V");
    const auto kennung = Kennung_lesen(m_leser.Antwort(), m_kennungsanfang);
    m_kennung = kennung.value_or("");
    return kennung.has_value();
}

std::string Speichermodulbasis::Kennung() const {
    std::lock_guard lock(m_austausch);
    return m_kennung;
}

int32_t Speichermodulbasis::Achsenposition_abfragen(char achse) {
    std::lock_guard lock(m_austausch);
    Befehl(std::string("@L") + achse);
    // An answer cut off before its CR is no answer: read as far as it came, "@Lx 12" of
    // "@Lx 123" would give the made-up position 1. The query gives 0 then, as for silence.
    const std::string& antwort = m_leser.Antwort();
    if (antwort.empty() || antwort.back() != static_cast<char>(Antwortleser::CR)) return 0;
    return Position_lesen(antwort);
}

void Speichermodulbasis::Stopp_senden(const char* befehl) {
    Unterbrechung unterbrechung(m_unterbrechung);
    m_port.Lesen_abbrechen();
    std::lock_guard lock(m_austausch);
    // Our turn: the wait that held the port has ended; the stop's own answer is read in full.
    unterbrechung.Beenden();
    Befehl(befehl);
    m_leser.Beschaeftigt = false;
}

void Speichermodulbasis::Achsen_anhalten() {
    Stopp_senden("@B");
}

void Speichermodulbasis::Achsen_sofort_stoppen() {
    Stopp_senden("@S");
}

void Speichermodulbasis::Bewegungsende_abwarten() {
    std::lock_guard lock(m_austausch);
    Leerlauf_abwarten();
}

bool Speichermodulbasis::Beschaeftigt() const {
    std::lock_guard lock(m_austausch);
    return m_leser.Beschaeftigt;
}

std::string Speichermodulbasis::Letzte_Antwort() const {
    std::lock_guard lock(m_austausch);
    return m_leser.Antwort();
}

} // namespace orvexa
