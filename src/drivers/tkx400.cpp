#include "tkx400.h"

#include "drivers/parallel_treiber.h"
#include "platform/oberflaeche.h"

#include <cctype>

namespace orvexa {

using namespace kartenmodul;

TKX400::TKX400() {
    m_lpt.lpt_Initialisieren();
    m_lpt.lpt_Zeitbasis();
    m_schrittbetrieb = 0;
    m_lpt.lpt_Phasentabellen(0, 0);
    m_zeitgeber = std::thread([this] { Zeitgeber_schleife(); });
}

TKX400::~TKX400() {
    Schliessen();
}

void TKX400::Schliessen() {
    Zeitgeber_beenden();
    m_lpt.lpt_Beenden();
}

// ---- Standstill timer ----

void TKX400::Zeitgeber_stoppen() {
    std::lock_guard lock(m_zeitgeber_mutex);
    m_frist.reset();
    ++m_generation;
}

void TKX400::Zeitgeber_starten() {
    {
        std::lock_guard lock(m_zeitgeber_mutex);
        m_frist = Uhr::now() + std::chrono::milliseconds(Stillstandsverzoegerung_ms);
        ++m_generation;
    }
    m_zeitgeber_cv.notify_all();
}

void TKX400::Zeitgeber_beenden() {
    {
        std::lock_guard lock(m_zeitgeber_mutex);
        m_zeitgeber_ende = true;
        m_frist.reset();
    }
    m_zeitgeber_cv.notify_all();
    if (m_zeitgeber.joinable()) m_zeitgeber.join();
}

void TKX400::Zeitgeber_schleife() {
    std::unique_lock zl(m_zeitgeber_mutex);
    while (!m_zeitgeber_ende) {
        if (!m_frist) {
            m_zeitgeber_cv.wait(zl);
            continue;
        }
        const Uhr::time_point frist = *m_frist;
        if (m_zeitgeber_cv.wait_until(zl, frist) != std::cv_status::timeout) continue;
        if (!m_frist || *m_frist != frist) continue;
        m_frist.reset();
        const uint64_t generation = m_generation;
        zl.unlock();
        bool angelegt = false;
        {
            // A move that began meanwhile holds the module and has moved the generation on.
            std::lock_guard lock(m_mutex);
            bool gueltig;
            {
                std::lock_guard z(m_zeitgeber_mutex);
                gueltig = generation == m_generation && !m_zeitgeber_ende;
            }
            if (gueltig) {
                m_lpt.lpt_Haltestrom(m_z_als_Motor);
                angelegt = true;
            }
        }
        zl.lock();
        if (angelegt) {
            ++m_haltestromanlagen;
            m_haltestrom_cv.notify_all();
        }
    }
}

int32_t TKX400::Haltestromanlagen() const {
    std::lock_guard lock(m_zeitgeber_mutex);
    return m_haltestromanlagen;
}

bool TKX400::Auf_Haltestrom_warten(int32_t anzahl, int ms) const {
    std::unique_lock lock(m_zeitgeber_mutex);
    return m_haltestrom_cv.wait_for(lock, std::chrono::milliseconds(ms),
                                    [&] { return m_haltestromanlagen >= anzahl; });
}

// ---- Opening and settings ----

bool TKX400::Oeffnen(const std::string& port_text) {
    Zeitgeber_stoppen();
    std::lock_guard lock(m_mutex);
    const bool offen = m_lpt.lpt_Adresse_setzen(port_text);
    m_lpt.lpt_Eingangsmodus(false, true, true);
    m_lpt.lpt_Grenzwerte(Hoechstfrequenz, 10000);
    m_z_als_Motor = true;
    for (auto& p : m_position)
        p = 0;
    return offen;
}

void TKX400::Eingangsmodus_setzen(bool gruppe_11_bis_15, bool nur_pin11, bool aktiv_hoch) {
    m_lpt.lpt_Eingangsmodus(gruppe_11_bis_15, nur_pin11, aktiv_hoch);
}

void TKX400::Grenzwerte_setzen(int32_t max_frequenz, int32_t pulsteiler) {
    m_lpt.lpt_Grenzwerte(max_frequenz, pulsteiler);
}

bool TKX400::Version_abfragen() {
    std::lock_guard lock(m_mutex);
    m_name = "KX400/750";
    return true;
}

std::string TKX400::Name() const {
    std::lock_guard lock(m_mutex);
    return m_name;
}

int32_t TKX400::Achsenposition_abfragen(char achse) {
    const int a = Achsnummer(achse);
    return a >= 0 && a < 3 ? m_position[a].load() : 0;
}

void TKX400::Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) {
    std::lock_guard lock(m_mutex);
    m_schrittbetrieb = schrittbetrieb;
    m_lpt.lpt_Phasentabellen(schrittbetrieb, ruhestrom);
}

void TKX400::Startgeschwindigkeit_einstellen(int32_t freq) {
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für Startfreq",
                                   "Startgeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_startgeschwindigkeit = wert;
}

void TKX400::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    if (index < 0 || index > 9) {
        oberflaeche().Meldung("unzulässiger Wert für index", "Endgeschwindigkeit_einstellen()",
                              Symbol::warnung, Knoepfe::ok);
        return;
    }
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für Arbeitsfreq",
                                   "Endgeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_geschwindigkeit[index] = wert;
}

int32_t TKX400::Geschwindigkeit(int32_t index) const {
    std::lock_guard lock(m_mutex);
    return index >= 0 && index < 10 ? m_geschwindigkeit[index] : 0;
}

void TKX400::Rampenlaenge_einstellen(int32_t ms) {
    std::lock_guard lock(m_mutex);
    m_rampe = ms;
}

void TKX400::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    const int32_t wert = Begrenzen(freq, Hoechstfrequenz, "unzulässiger Wert für RefFreq",
                                   "Referenzgeschwindigkeit_einstellen()");
    std::lock_guard lock(m_mutex);
    m_referenzgeschwindigkeit = wert;
}

void TKX400::Referenzoffset_einstellen(char achse, int32_t schritte) {
    const int a = Achsnummer(achse);
    if (a < 0 || a > 2) return;
    std::lock_guard lock(m_mutex);
    m_referenzoffset[a] = schritte;
}

bool TKX400::z_als_Motor() const {
    std::lock_guard lock(m_mutex);
    return m_z_als_Motor;
}

// ---- Motion ----

void TKX400::Referenzfahrt_ausfuehren(const std::string& achsen) {
    if (achsen.empty()) return;
    const int a = Achsnummer(achsen.front());
    if (a < 0 || a > 2) return;
    Zeitgeber_stoppen();
    std::lock_guard lock(m_mutex);
    const char buchstabe = static_cast<char>(std::tolower(static_cast<unsigned char>(achsen[0])));
    const Fahrtergebnis ergebnis =
        m_lpt.lpt_Referenzfahrt(lpt_Phasenbetrieb, buchstabe, m_referenzoffset[a],
                                m_startgeschwindigkeit, m_referenzgeschwindigkeit, m_rampe);
    // Moving off a closed switch moves every axis; only a completed run makes a new zero.
    const Kora_lpt::Zaehlerstand z = m_lpt.lpt_Zaehler_lesen();
    const int32_t zaehler[3] = {z.x, z.y, z.z};
    for (int i = 0; i < 3; ++i) {
        if (i == a && ergebnis == Fahrtergebnis::fertig)
            m_position[i] = 0;
        else
            m_position[i] += zaehler[i];
    }
    Zeitgeber_starten();
}

void TKX400::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z) {
    if (index < 0 || index > 9) return;
    Zeitgeber_stoppen();
    std::lock_guard lock(m_mutex);
    if (!relativ) {
        x = Zielabstand(x, m_position[0]);
        y = Zielabstand(y, m_position[1]);
        z = Zielabstand(z, m_position[2]);
    }
    m_lpt.lpt_Vektorfahrt(lpt_Phasenbetrieb, x, y, z, m_startgeschwindigkeit,
                          m_geschwindigkeit[index], m_rampe);
    // The steps made, not the steps asked for: a stopped move leaves the motor short.
    const Kora_lpt::Zaehlerstand zaehler = m_lpt.lpt_Zaehler_lesen();
    m_position[0] += zaehler.x;
    m_position[1] += zaehler.y;
    m_position[2] += zaehler.z;
    Zeitgeber_starten();
}

void TKX400::UVektorfahrt_ausfuehren(bool /*relativ*/, int32_t /*index*/, int32_t /*u*/) {}

void TKX400::Achsen_anhalten() {
    m_lpt.lpt_Anhalten();
}

void TKX400::Achsen_sofort_stoppen() {
    m_lpt.lpt_Sofort_stoppen();
}

// ---- Outputs, waits, inputs ----

void TKX400::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    std::unique_lock lock(m_mutex);
    switch (nummer) {
    case 1:
    case 15:
        m_lpt.lpt_Ausgang_setzen(14, zustand != 0);
        m_z_als_Motor = true;
        break;
    case 11:
        // The relay sits on the z channel, so z can no longer take the standstill pattern.
        m_lpt.lpt_Relais(zustand != 0);
        m_z_als_Motor = false;
        break;
    default:
        lock.unlock();
        oberflaeche().Meldung("Ausgangssignal_setzen()", "F E H L E R", Symbol::warnung,
                              Knoepfe::ok);
        break;
    }
}

bool TKX400::Wartezeit_einfuegen(int32_t ms) {
    // No module lock: the standstill timer is meant to fire during a dwell.
    return m_lpt.lpt_Warten(Wartezeit_begrenzen(ms));
}

void TKX400::E1Verknuepfung_setzen(int32_t nummer) {
    m_lpt.lpt_Auf_Eingang_warten(nummer != 0);
}

bool TKX400::Eingangspin_abfragen(int32_t pin) {
    return m_lpt.lpt_Eingang_lesen(pin);
}

} // namespace orvexa
