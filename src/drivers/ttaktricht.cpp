#include "ttaktricht.h"

#include "core/steuerungstypen.h"
#include "drivers/parallel_treiber.h"
#include "platform/oberflaeche.h"

#include <cctype>

namespace orvexa {

using namespace kartenmodul;

TTaktRicht::TTaktRicht(int32_t modul) : m_modul(modul) {
    m_lpt.lpt_Initialisieren();
    m_lpt.lpt_Zeitbasis();
}

TTaktRicht::~TTaktRicht() {
    Schliessen();
}

void TTaktRicht::Schliessen() {
    m_lpt.lpt_Beenden();
}

bool TTaktRicht::Oeffnen(const std::string& port_text) {
    std::lock_guard lock(m_mutex);
    const bool offen = m_lpt.lpt_Adresse_setzen(port_text);
    for (auto& p : m_position)
        p = 0;
    return offen;
}

void TTaktRicht::Eingangsmodus_setzen(bool gruppe_11_bis_15, bool nur_pin11, bool aktiv_hoch) {
    m_lpt.lpt_Eingangsmodus(gruppe_11_bis_15, nur_pin11, aktiv_hoch);
}

void TTaktRicht::Grenzwerte_setzen(int32_t max_frequenz, int32_t pulsteiler) {
    m_lpt.lpt_Grenzwerte(max_frequenz, pulsteiler);
}

bool TTaktRicht::Version_abfragen() {
    std::lock_guard lock(m_mutex);
    m_name = "Takt/Richtung";
    return true;
}

std::string TTaktRicht::Name() const {
    std::lock_guard lock(m_mutex);
    return m_name;
}

int32_t TTaktRicht::Achsenposition_abfragen(char achse) {
    const int a = Achsnummer(achse);
    return a >= 0 ? m_position[a].load() : 0;
}

void TTaktRicht::Schrittbetrieb_einstellen(int32_t /*schrittbetrieb*/, int32_t /*ruhestrom*/) {}

void TTaktRicht::Startgeschwindigkeit_einstellen(int32_t freq) {
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für Startfreq",
                                   "Startgeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_startgeschwindigkeit = wert;
}

void TTaktRicht::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    if (index < 0 || index > 9) return;
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für Arbeitsfreq",
                                   "Endgeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_geschwindigkeit[index] = wert;
}

int32_t TTaktRicht::Geschwindigkeit(int32_t index) const {
    std::lock_guard lock(m_mutex);
    return index >= 0 && index < 10 ? m_geschwindigkeit[index] : 0;
}

void TTaktRicht::Rampenlaenge_einstellen(int32_t ms) {
    std::lock_guard lock(m_mutex);
    m_rampe = ms;
}

void TTaktRicht::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für RefFreq",
                                   "ReferenzGeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_referenzgeschwindigkeit = wert;
}

void TTaktRicht::Referenzoffset_einstellen(char achse, int32_t schritte) {
    const int a = Achsnummer(achse);
    if (a < 0) return;
    std::lock_guard lock(m_mutex);
    m_referenzoffset[a] = schritte;
}

// Called with the module locked, after a move.
void TTaktRicht::Zaehler_uebernehmen() {
    const Kora_lpt::Zaehlerstand z = m_lpt.lpt_Zaehler_lesen();
    m_position[0] += z.x;
    m_position[1] += z.y;
    m_position[2] += z.z;
    m_position[3] += z.u;
}

void TTaktRicht::Referenzfahrt_ausfuehren(const std::string& achsen) {
    if (achsen.empty()) return;
    const int a = Achsnummer(achsen.front());
    if (a < 0) return;
    std::lock_guard lock(m_mutex);
    const char buchstabe = static_cast<char>(std::tolower(static_cast<unsigned char>(achsen[0])));
    const Fahrtergebnis ergebnis =
        m_lpt.lpt_Referenzfahrt(lpt_TaktRichtung, buchstabe, m_referenzoffset[a],
                                m_startgeschwindigkeit, m_referenzgeschwindigkeit, m_rampe);
    // Moving off a closed switch moves every axis; only a completed run makes a new zero.
    Zaehler_uebernehmen();
    if (ergebnis == Fahrtergebnis::fertig) m_position[a] = 0;
}

void TTaktRicht::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y,
                                        int32_t z) {
    if (index < 0 || index > 9) return;
    std::lock_guard lock(m_mutex);
    if (!relativ) {
        x = Zielabstand(x, m_position[0]);
        y = Zielabstand(y, m_position[1]);
        z = Zielabstand(z, m_position[2]);
    }
    m_lpt.lpt_Vektorfahrt(lpt_TaktRichtung, x, y, z, m_startgeschwindigkeit,
                          m_geschwindigkeit[index], m_rampe);
    Zaehler_uebernehmen();
}

void TTaktRicht::UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) {
    if (!Typangaben(m_modul).U_Achse || index < 0 || index > 9) return;
    std::lock_guard lock(m_mutex);
    if (!relativ) u = Zielabstand(u, m_position[3]);
    m_lpt.lpt_UFahrt(lpt_TaktRichtung, u, m_startgeschwindigkeit, m_geschwindigkeit[index],
                     m_rampe);
    Zaehler_uebernehmen();
}

void TTaktRicht::Achsen_anhalten() {
    m_lpt.lpt_Anhalten();
}

void TTaktRicht::Achsen_sofort_stoppen() {
    m_lpt.lpt_Sofort_stoppen();
}

void TTaktRicht::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    int32_t pin;
    switch (nummer) {
    case 1:
    case 14:
        pin = 1;
        break;
    case 2:
    case 15:
        pin = 14;
        break;
    case 3:
    case 16:
        pin = 16;
        break;
    case 4:
        pin = 17;
        break;
    default:
        oberflaeche().Meldung("Ausgangssignal_setzen()", "F E H L E R", Symbol::warnung,
                              Knoepfe::ok);
        return;
    }
    std::lock_guard lock(m_mutex);
    m_lpt.lpt_Ausgang_setzen(pin, zustand != 0);
}

bool TTaktRicht::Wartezeit_einfuegen(int32_t ms) {
    return m_lpt.lpt_Warten(Wartezeit_begrenzen(ms));
}

void TTaktRicht::E1Verknuepfung_setzen(int32_t nummer) {
    m_lpt.lpt_Auf_Eingang_warten(nummer != 0);
}

bool TTaktRicht::Eingangspin_abfragen(int32_t pin) {
    return m_lpt.lpt_Eingang_lesen(pin);
}

} // namespace orvexa
