#include "attrappen.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"

#include <chrono>
#include <utility>

namespace orvexa::test {

// ---- Aufrufliste ----

void Aufrufliste::Hinzufuegen(const std::string& zeile) {
    {
        std::lock_guard lock(m_mutex);
        m_zeilen.push_back(zeile);
    }
    m_neu.notify_all();
}

std::vector<std::string> Aufrufliste::Aufrufe() const {
    std::lock_guard lock(m_mutex);
    return m_zeilen;
}

std::vector<std::string> Aufrufliste::Aufrufe_ab(std::size_t ab) const {
    std::lock_guard lock(m_mutex);
    if (ab >= m_zeilen.size()) return {};
    return {m_zeilen.begin() + static_cast<std::ptrdiff_t>(ab), m_zeilen.end()};
}

std::size_t Aufrufliste::Anzahl() const {
    std::lock_guard lock(m_mutex);
    return m_zeilen.size();
}

void Aufrufliste::Leeren() {
    std::lock_guard lock(m_mutex);
    m_zeilen.clear();
}

bool Aufrufliste::Warten_auf(const std::string& anfang, int anzahl, int ms) const {
    std::unique_lock lock(m_mutex);
    return m_neu.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        int gefunden = 0;
        for (const auto& zeile : m_zeilen)
            if (zeile.starts_with(anfang)) ++gefunden;
        return gefunden >= anzahl;
    });
}

// ---- Argument texts ----

std::string Argumenttext(int32_t wert) {
    return std::to_string(wert);
}

std::string Argumenttext(bool wert) {
    return wert ? "1" : "0";
}

std::string Argumenttext(char wert) {
    return std::string(1, wert);
}

std::string Argumenttext(const std::string& wert) {
    return Steuerzeichen_ersetzen(wert);
}

// ---- Attrappe ----

Attrappe::Attrappe(std::shared_ptr<Aufrufliste> liste, std::string praefix)
    : m_liste(std::move(liste)), m_praefix(std::move(praefix)) {}

Attrappe::~Attrappe() = default;

void Attrappe::Fehler_vorgeben(const std::string& operation, int32_t code, int anzahl) {
    std::lock_guard lock(m_mutex);
    m_fehler[operation] = {code, anzahl};
}

void Attrappe::Sperre_setzen(const std::string& operation) {
    std::lock_guard lock(m_mutex);
    m_gesperrt[operation] = true;
}

void Attrappe::Sperre_loesen(const std::string& operation) {
    {
        std::lock_guard lock(m_mutex);
        m_gesperrt[operation] = false;
    }
    m_sperrwechsel.notify_all();
}

bool Attrappe::Warten_bis_gesperrt(const std::string& operation, int ms) const {
    std::unique_lock lock(m_mutex);
    return m_sperrwechsel.wait_for(lock, std::chrono::milliseconds(ms),
                                   [&] { return m_wartend[operation] > 0; });
}

void Attrappe::Bei_Aufruf(const std::string& operation, std::function<void()> aktion) {
    std::lock_guard lock(m_mutex);
    m_aktionen[operation] = std::move(aktion);
}

void Attrappe::Aufruf(const std::string& operation, const std::string& argumente) const {
    m_liste->Hinzufuegen((m_praefix.empty() ? "" : m_praefix + ".") + operation + "(" + argumente +
                         ")");

    std::function<void()> aktion;
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_aktionen.find(operation); it != m_aktionen.end()) aktion = it->second;
    }
    if (aktion) aktion();

    int32_t fehlercode = 0;
    {
        std::unique_lock lock(m_mutex);
        auto gesperrt = [&] {
            auto it = m_gesperrt.find(operation);
            return it != m_gesperrt.end() && it->second;
        };
        if (gesperrt()) {
            ++m_wartend[operation];
            m_sperrwechsel.notify_all();
            m_sperrwechsel.wait(lock, [&] { return !gesperrt(); });
            --m_wartend[operation];
        }
        if (auto it = m_fehler.find(operation); it != m_fehler.end() && it->second.anzahl != 0) {
            fehlercode = it->second.code;
            if (it->second.anzahl > 0) --it->second.anzahl;
        }
    }
    if (fehlercode != 0) throw Steuerungsfehler(fehlercode);
}

// ---- ParallelkarteAttrappe ----

ParallelkarteAttrappe::ParallelkarteAttrappe(std::shared_ptr<Aufrufliste> liste,
                                             std::string praefix)
    : Attrappe(std::move(liste), std::move(praefix)) {}

ParallelkarteAttrappe::~ParallelkarteAttrappe() {
    Liste().Hinzufuegen((Praefix().empty() ? "" : Praefix() + ".") + "~Parallelkarte()");
}

void ParallelkarteAttrappe::Oeffnen_ergibt(bool ergebnis) {
    std::lock_guard lock(m_mutex);
    m_oeffnen = ergebnis;
}

void ParallelkarteAttrappe::Version_ergibt(bool ergebnis, std::string name) {
    std::lock_guard lock(m_mutex);
    m_version = ergebnis;
    m_name = std::move(name);
}

void ParallelkarteAttrappe::Position_vorgeben(char achse, int32_t schritte) {
    std::lock_guard lock(m_mutex);
    m_positionen[achse] = schritte;
}

void ParallelkarteAttrappe::Wartezeit_ergibt(bool grenzeingang) {
    std::lock_guard lock(m_mutex);
    m_grenzeingang = grenzeingang;
}

void ParallelkarteAttrappe::Eingangspin_vorgeben(int32_t pin, bool pegel) {
    std::lock_guard lock(m_mutex);
    m_eingangspins[pin] = pegel;
}

bool ParallelkarteAttrappe::Oeffnen(const std::string& port_text) {
    Aufruf("Oeffnen", Argumente(port_text));
    std::lock_guard lock(m_mutex);
    return m_oeffnen;
}

void ParallelkarteAttrappe::Eingangsmodus_setzen(bool a, bool b, bool c) {
    Aufruf("Eingangsmodus_setzen", Argumente(a, b, c));
}

void ParallelkarteAttrappe::Grenzwerte_setzen(int32_t max_frequenz, int32_t pulsteiler) {
    Aufruf("Grenzwerte_setzen", Argumente(max_frequenz, pulsteiler));
}

void ParallelkarteAttrappe::Schliessen() {
    Aufruf("Schliessen");
}

bool ParallelkarteAttrappe::Version_abfragen() {
    Aufruf("Version_abfragen");
    std::lock_guard lock(m_mutex);
    return m_version;
}

std::string ParallelkarteAttrappe::Name() const {
    std::lock_guard lock(m_mutex);
    return m_name;
}

int32_t ParallelkarteAttrappe::Achsenposition_abfragen(char achse) {
    Aufruf("Achsenposition_abfragen", Argumente(achse));
    std::lock_guard lock(m_mutex);
    auto it = m_positionen.find(achse);
    return it == m_positionen.end() ? 0 : it->second;
}

void ParallelkarteAttrappe::Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) {
    Aufruf("Schrittbetrieb_einstellen", Argumente(schrittbetrieb, ruhestrom));
}

void ParallelkarteAttrappe::Startgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Startgeschwindigkeit_einstellen", Argumente(freq));
}

void ParallelkarteAttrappe::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    Aufruf("Endgeschwindigkeit_einstellen", Argumente(index, freq));
}

void ParallelkarteAttrappe::Rampenlaenge_einstellen(int32_t ms) {
    Aufruf("Rampenlaenge_einstellen", Argumente(ms));
}

void ParallelkarteAttrappe::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Referenzgeschwindigkeit_einstellen", Argumente(freq));
}

void ParallelkarteAttrappe::Referenzoffset_einstellen(char achse, int32_t schritte) {
    Aufruf("Referenzoffset_einstellen", Argumente(achse, schritte));
}

void ParallelkarteAttrappe::Referenzfahrt_ausfuehren(const std::string& achsen) {
    Aufruf("Referenzfahrt_ausfuehren", Argumente(achsen));
}

void ParallelkarteAttrappe::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x,
                                                   int32_t y, int32_t z) {
    Aufruf("Vektorfahrt_ausfuehren", Argumente(relativ, index, x, y, z));
}

void ParallelkarteAttrappe::UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) {
    Aufruf("UVektorfahrt_ausfuehren", Argumente(relativ, index, u));
}

void ParallelkarteAttrappe::Achsen_anhalten() {
    Aufruf("Achsen_anhalten");
}

void ParallelkarteAttrappe::Achsen_sofort_stoppen() {
    Aufruf("Achsen_sofort_stoppen");
}

void ParallelkarteAttrappe::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Aufruf("Ausgangssignal_setzen", Argumente(nummer, zustand));
}

bool ParallelkarteAttrappe::Wartezeit_einfuegen(int32_t ms) {
    Aufruf("Wartezeit_einfuegen", Argumente(ms));
    std::lock_guard lock(m_mutex);
    return m_grenzeingang;
}

void ParallelkarteAttrappe::E1Verknuepfung_setzen(int32_t nummer) {
    Aufruf("E1Verknuepfung_setzen", Argumente(nummer));
}

bool ParallelkarteAttrappe::Eingangspin_abfragen(int32_t pin) {
    Aufruf("Eingangspin_abfragen", Argumente(pin));
    std::lock_guard lock(m_mutex);
    auto it = m_eingangspins.find(pin);
    return it != m_eingangspins.end() && it->second;
}

// ---- SpeichermodulAttrappe ----

SpeichermodulAttrappe::SpeichermodulAttrappe(std::shared_ptr<Aufrufliste> liste,
                                             std::string praefix)
    : Attrappe(std::move(liste), std::move(praefix)) {}

SpeichermodulAttrappe::~SpeichermodulAttrappe() {
    Liste().Hinzufuegen((Praefix().empty() ? "" : Praefix() + ".") + "~Speichermodul()");
}

void SpeichermodulAttrappe::Port_oeffnen_ergibt(bool ergebnis) {
    std::lock_guard lock(m_mutex);
    m_port_oeffnen = ergebnis;
}

void SpeichermodulAttrappe::Version_ergibt(bool ergebnis, std::string kennung) {
    std::lock_guard lock(m_mutex);
    m_version = ergebnis;
    m_kennung = std::move(kennung);
}

void SpeichermodulAttrappe::Position_vorgeben(char achse, int32_t schritte) {
    std::lock_guard lock(m_mutex);
    m_positionen[achse] = schritte;
}

void SpeichermodulAttrappe::Aufzeichnung_beendet_setzen(bool beendet) {
    std::lock_guard lock(m_mutex);
    m_aufzeichnung_beendet = beendet;
}

bool SpeichermodulAttrappe::Port_oeffnen(const std::string& name) {
    Aufruf("Port_oeffnen", Argumente(name));
    std::lock_guard lock(m_mutex);
    return m_port_oeffnen;
}

void SpeichermodulAttrappe::Port_schliessen() {
    Aufruf("Port_schliessen");
}

bool SpeichermodulAttrappe::Version_abfragen() {
    Aufruf("Version_abfragen");
    std::lock_guard lock(m_mutex);
    return m_version;
}

std::string SpeichermodulAttrappe::Kennung() const {
    std::lock_guard lock(m_mutex);
    return m_kennung;
}

int32_t SpeichermodulAttrappe::Achsenposition_abfragen(char achse) {
    Aufruf("Achsenposition_abfragen", Argumente(achse));
    std::lock_guard lock(m_mutex);
    auto it = m_positionen.find(achse);
    return it == m_positionen.end() ? 0 : it->second;
}

void SpeichermodulAttrappe::Ansteuersignale_einstellen(int32_t steuersignal) {
    Aufruf("Ansteuersignale_einstellen", Argumente(steuersignal));
}

void SpeichermodulAttrappe::Schrittbetrieb_einstellen(int32_t schrittbetrieb) {
    Aufruf("Schrittbetrieb_einstellen", Argumente(schrittbetrieb));
}

void SpeichermodulAttrappe::Z_Achse_einstellen(int32_t zbetrieb) {
    Aufruf("Z_Achse_einstellen", Argumente(zbetrieb));
}

void SpeichermodulAttrappe::U_Achse_einstellen(int32_t ubetrieb) {
    Aufruf("U_Achse_einstellen", Argumente(ubetrieb));
}

void SpeichermodulAttrappe::Startgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Startgeschwindigkeit_einstellen", Argumente(freq));
}

void SpeichermodulAttrappe::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    Aufruf("Endgeschwindigkeit_einstellen", Argumente(index, freq));
}

void SpeichermodulAttrappe::Rampenlaenge_einstellen(int32_t ms) {
    Aufruf("Rampenlaenge_einstellen", Argumente(ms));
}

void SpeichermodulAttrappe::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Referenzgeschwindigkeit_einstellen", Argumente(freq));
}

void SpeichermodulAttrappe::Referenzrichtung_einstellen(char achse) {
    Aufruf("Referenzrichtung_einstellen", Argumente(achse));
}

void SpeichermodulAttrappe::Referenzoffset_einstellen(char achse, int32_t schritte) {
    Aufruf("Referenzoffset_einstellen", Argumente(achse, schritte));
}

void SpeichermodulAttrappe::Referenzfahrt_ausfuehren(const std::string& achsen) {
    Aufruf("Referenzfahrt_ausfuehren", Argumente(achsen));
}

void SpeichermodulAttrappe::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x,
                                                   int32_t y, int32_t z, int32_t terminator) {
    Aufruf("Vektorfahrt_ausfuehren", Argumente(relativ, index, x, y, z, terminator));
}

void SpeichermodulAttrappe::Achsen_anhalten() {
    Aufruf("Achsen_anhalten");
}

void SpeichermodulAttrappe::Achsen_sofort_stoppen() {
    Aufruf("Achsen_sofort_stoppen");
}

void SpeichermodulAttrappe::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Aufruf("Ausgangssignal_setzen", Argumente(nummer, zustand));
}

void SpeichermodulAttrappe::Wartezeit_einfuegen(int32_t ms) {
    Aufruf("Wartezeit_einfuegen", Argumente(ms));
}

void SpeichermodulAttrappe::E1Verknuepfung_setzen(int32_t nummer) {
    Aufruf("E1Verknuepfung_setzen", Argumente(nummer));
}

void SpeichermodulAttrappe::Upload_in_Festwertspeicher() {
    Aufruf("Upload_in_Festwertspeicher");
}

void SpeichermodulAttrappe::End_in_Festwertspeicher() {
    Aufruf("End_in_Festwertspeicher");
}

void SpeichermodulAttrappe::Festwertspeicher_loeschen() {
    Aufruf("Festwertspeicher_loeschen");
}

bool SpeichermodulAttrappe::Aufzeichnung_beendet() const {
    Aufruf("Aufzeichnung_beendet");
    std::lock_guard lock(m_mutex);
    return m_aufzeichnung_beendet;
}

void SpeichermodulAttrappe::Programm_starten() {
    Aufruf("Programm_starten");
}

void SpeichermodulAttrappe::Bewegungsende_abwarten() {
    Aufruf("Bewegungsende_abwarten");
}

// ---- SeriellerBefehlssatzAttrappe ----

SeriellerBefehlssatzAttrappe::SeriellerBefehlssatzAttrappe(std::shared_ptr<Aufrufliste> liste,
                                                           std::string praefix)
    : Attrappe(std::move(liste), std::move(praefix)) {}

SeriellerBefehlssatzAttrappe::~SeriellerBefehlssatzAttrappe() {
    Liste().Hinzufuegen((Praefix().empty() ? "" : Praefix() + ".") + "~SeriellerBefehlssatz()");
}

void SeriellerBefehlssatzAttrappe::Bewegungsantworten_vorgeben(std::vector<std::string> antworten) {
    std::lock_guard lock(m_mutex);
    m_bewegungsantworten.assign(antworten.begin(), antworten.end());
}

void SeriellerBefehlssatzAttrappe::Abschlussantworten_vorgeben(std::vector<std::string> antworten) {
    std::lock_guard lock(m_mutex);
    m_abschlussantworten.assign(antworten.begin(), antworten.end());
}

void SeriellerBefehlssatzAttrappe::Sendeantworten_vorgeben(std::vector<std::string> antworten) {
    std::lock_guard lock(m_mutex);
    m_sendeantworten.assign(antworten.begin(), antworten.end());
}

void SeriellerBefehlssatzAttrappe::Version_ergibt(std::string kennung) {
    std::lock_guard lock(m_mutex);
    m_version = std::move(kennung);
}

void SeriellerBefehlssatzAttrappe::Position_vorgeben(char achse, int32_t schritte) {
    std::lock_guard lock(m_mutex);
    m_positionen[achse] = schritte;
}

void SeriellerBefehlssatzAttrappe::Eingangspegel_vorgeben(std::vector<bool> pegel, bool danach) {
    std::lock_guard lock(m_mutex);
    m_eingangspegel.assign(pegel.begin(), pegel.end());
    m_eingangspegel_danach = danach;
}

bool SeriellerBefehlssatzAttrappe::Speichermodus() const {
    std::lock_guard lock(m_mutex);
    return m_speichermodus;
}

std::string SeriellerBefehlssatzAttrappe::Naechste(std::deque<std::string>& antworten,
                                                   const std::string& sonst) {
    std::lock_guard lock(m_mutex);
    if (antworten.empty()) return sonst;
    std::string antwort = std::move(antworten.front());
    antworten.pop_front();
    return antwort;
}

std::string SeriellerBefehlssatzAttrappe::Bewegungsantwort() {
    const bool speichern = Speichermodus();
    return Naechste(m_bewegungsantworten, std::string(1, speichern ? ACK : NAK));
}

void SeriellerBefehlssatzAttrappe::Init(int32_t port, int32_t baud) {
    Aufruf("Init", Argumente(port, baud));
}

void SeriellerBefehlssatzAttrappe::Connect() {
    Aufruf("Connect");
}

void SeriellerBefehlssatzAttrappe::UnInit() {
    Aufruf("UnInit");
}

void SeriellerBefehlssatzAttrappe::SetTag(uint8_t tag) {
    Aufruf("SetTag", Argumente(static_cast<int32_t>(tag)));
    std::lock_guard lock(m_mutex);
    m_tag = tag;
}

uint8_t SeriellerBefehlssatzAttrappe::Tag() const {
    std::lock_guard lock(m_mutex);
    return m_tag;
}

void SeriellerBefehlssatzAttrappe::SetStoreMode(bool an) {
    Aufruf("SetStoreMode", Argumente(an));
    std::lock_guard lock(m_mutex);
    m_speichermodus = an;
}

std::string SeriellerBefehlssatzAttrappe::SendWait(const std::string& anfrage, int32_t timeout_ms) {
    Aufruf("SendWait", Argumente(anfrage, timeout_ms));
    return Naechste(m_sendeantworten, std::string(1, ACK));
}

std::string SeriellerBefehlssatzAttrappe::WaitResp(int32_t timeout_ms) {
    Aufruf("WaitResp", Argumente(timeout_ms));
    return Naechste(m_abschlussantworten, std::string(1, ACK));
}

void SeriellerBefehlssatzAttrappe::Warten_abbrechen() {
    Aufruf("Warten_abbrechen");
}

std::string SeriellerBefehlssatzAttrappe::Version_abfragen() {
    Aufruf("Version_abfragen");
    std::lock_guard lock(m_mutex);
    return m_version;
}

int32_t SeriellerBefehlssatzAttrappe::Achsenposition_abfragen(char achse) {
    Aufruf("Achsenposition_abfragen", Argumente(achse));
    std::lock_guard lock(m_mutex);
    auto it = m_positionen.find(achse);
    return it == m_positionen.end() ? 0 : it->second;
}

void SeriellerBefehlssatzAttrappe::Ansteuersignale_einstellen(int32_t wert) {
    Aufruf("Ansteuersignale_einstellen", Argumente(wert));
}

void SeriellerBefehlssatzAttrappe::Schrittbetrieb_einstellen(int32_t schrittbetrieb,
                                                             int32_t ruhestrom) {
    Aufruf("Schrittbetrieb_einstellen", Argumente(schrittbetrieb, ruhestrom));
}

void SeriellerBefehlssatzAttrappe::Startgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Startgeschwindigkeit_einstellen", Argumente(freq));
}

void SeriellerBefehlssatzAttrappe::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    Aufruf("Endgeschwindigkeit_einstellen", Argumente(index, freq));
}

void SeriellerBefehlssatzAttrappe::Rampenlaenge_einstellen(int32_t ms) {
    Aufruf("Rampenlaenge_einstellen", Argumente(ms));
}

void SeriellerBefehlssatzAttrappe::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    Aufruf("Referenzgeschwindigkeit_einstellen", Argumente(freq));
}

void SeriellerBefehlssatzAttrappe::Referenzoffset_einstellen(char achse, int32_t schritte) {
    Aufruf("Referenzoffset_einstellen", Argumente(achse, schritte));
}

std::string SeriellerBefehlssatzAttrappe::Referenzfahrt_ausfuehren(const std::string& achsen) {
    Aufruf("Referenzfahrt_ausfuehren", Argumente(achsen));
    return Bewegungsantwort();
}

std::string SeriellerBefehlssatzAttrappe::Vektorfahrt_ausfuehren(bool relativ, int32_t index,
                                                                 int32_t x, int32_t y, int32_t z) {
    Aufruf("Vektorfahrt_ausfuehren", Argumente(relativ, index, x, y, z));
    return Bewegungsantwort();
}

std::string SeriellerBefehlssatzAttrappe::UVektorfahrt_ausfuehren(bool relativ, int32_t index,
                                                                  int32_t u) {
    Aufruf("UVektorfahrt_ausfuehren", Argumente(relativ, index, u));
    return Bewegungsantwort();
}

std::string SeriellerBefehlssatzAttrappe::Wartezeit_einfuegen(int32_t ms) {
    Aufruf("Wartezeit_einfuegen", Argumente(ms));
    return Bewegungsantwort();
}

void SeriellerBefehlssatzAttrappe::Achsen_anhalten() {
    Aufruf("Achsen_anhalten");
}

void SeriellerBefehlssatzAttrappe::Achsen_sofort_stoppen() {
    Aufruf("Achsen_sofort_stoppen");
}

void SeriellerBefehlssatzAttrappe::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Aufruf("Ausgangssignal_setzen", Argumente(nummer, zustand));
}

void SeriellerBefehlssatzAttrappe::I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    Aufruf("I2C_Ausgangssignal_setzen", Argumente(nummer, zustand));
}

void SeriellerBefehlssatzAttrappe::E1Verknuepfung_setzen(int32_t wert) {
    Aufruf("E1Verknuepfung_setzen", Argumente(wert));
}

bool SeriellerBefehlssatzAttrappe::Eingang_abfragen_Potential(char eingang) {
    Aufruf("Eingang_abfragen_Potential", Argumente(eingang));
    std::lock_guard lock(m_mutex);
    if (m_eingangspegel.empty()) return m_eingangspegel_danach;
    const bool pegel = m_eingangspegel.front();
    m_eingangspegel.pop_front();
    return pegel;
}

void SeriellerBefehlssatzAttrappe::Programmdurchlaeufe_hinterlegen(int32_t anzahl) {
    Aufruf("Programmdurchlaeufe_hinterlegen", Argumente(anzahl));
}

// ---- Attrappenfabrik ----

Attrappenfabrik::Attrappenfabrik() : liste(std::make_shared<Aufrufliste>()) {}

void Attrappenfabrik::Installieren() {
    Treiberfabrik fabrik;
    fabrik.Parallelkarte_erzeugen = [this](int32_t modul) -> std::unique_ptr<Parallelkarte> {
        liste->Hinzufuegen("Parallelkarte_erzeugen(" + Argumente(modul) + ")");
        auto karte = std::make_unique<ParallelkarteAttrappe>(liste, "Karte");
        if (Karte_vorbereiten) Karte_vorbereiten(*karte);
        return karte;
    };
    fabrik.Speichermodul_erzeugen = [this](int32_t modul) -> std::unique_ptr<Speichermodul> {
        liste->Hinzufuegen("Speichermodul_erzeugen(" + Argumente(modul) + ")");
        auto modul_attrappe = std::make_unique<SpeichermodulAttrappe>(liste, "Speicher");
        if (Speicher_vorbereiten) Speicher_vorbereiten(*modul_attrappe);
        return modul_attrappe;
    };
    fabrik.SerielleLinie_erzeugen = [this]() -> std::unique_ptr<SeriellerBefehlssatz> {
        liste->Hinzufuegen("SerielleLinie_erzeugen()");
        auto linie = std::make_unique<SeriellerBefehlssatzAttrappe>(liste, "Linie");
        if (Linie_vorbereiten) Linie_vorbereiten(*linie);
        return linie;
    };
    Treiberfabrik_setzen(std::move(fabrik));
}

ParallelkarteAttrappe* Karte() {
    return dynamic_cast<ParallelkarteAttrappe*>(Aktuelle_Parallelkarte());
}

SpeichermodulAttrappe* Speicher() {
    return dynamic_cast<SpeichermodulAttrappe*>(Aktuelles_Speichermodul());
}

SeriellerBefehlssatzAttrappe* Linie() {
    return dynamic_cast<SeriellerBefehlssatzAttrappe*>(koraCOM());
}

// ---- Attrappenumgebung ----

void Attrappenumgebung::SetUp() {
    Testumgebung::SetUp();
    fabrik.Installieren();
}

void Attrappenumgebung::Steuerung_einrichten(int32_t modul) {
    Steuerungsmodule_freigeben();
    Parametersatz().Modul = modul;
    Serielle_Linie_erzeugen();
    Steuerung_erzeugen();
    fabrik.liste->Leeren();
}

} // namespace orvexa::test
