#include "referenzfahrtthread.h"

#include "core/arbeitsende.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "platform/zeitbasis.h"

namespace orvexa {

namespace {

Referenzfahrt_Beobachter& Stiller_Beobachter() {
    static Referenzfahrt_Beobachter beobachter;
    return beobachter;
}

} // namespace

TReferenzfahrtThread::TReferenzfahrtThread() : TReferenzfahrtThread(Stiller_Beobachter()) {}

TReferenzfahrtThread::TReferenzfahrtThread(Referenzfahrt_Beobachter& beobachter)
    : m_beobachter(beobachter) {}

TReferenzfahrtThread::~TReferenzfahrtThread() {
    Beenden_im_Destruktor();
}

bool TReferenzfahrtThread::Lauf_starten(const Referenzachsen& achsen) {
    {
        std::lock_guard lock(m_mutex);
        if (m_beschaeftigt) return false;
        m_beschaeftigt = true;
        m_abbruch_vorgemerkt = false;
        m_achsen = achsen;
        m_fertig.Zuruecksetzen();
    }
    if (Befehl_geben(Befehl_Lauf)) return true;
    std::lock_guard lock(m_mutex);
    m_beschaeftigt = false;
    m_fertig.Setzen();
    return false;
}

void TReferenzfahrtThread::Abbrechen() {
    {
        // Under the lock, so the run cannot end between its check and the flag: a flag left
        // behind would abort the next action of another dialog.
        std::lock_guard lock(m_mutex);
        if (m_beschaeftigt) {
            // A bare immediate stop ends only the axis that is moving; the flag also ends the
            // run, which would otherwise go on with the next axis.
            m_abbruch_vorgemerkt = true;
            Steuerung().Abbruch = true;
        }
    }
    // After the lock: the stop waits for the controller and may show a box, and the run must
    // be able to end meanwhile. The stop itself leaves no flag behind.
    const int32_t code =
        Arbeit_ausfuehren("Achsen_sofort_stoppen", [] { Achsen_sofort_stoppen(); });
    if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, Titel);
}

bool TReferenzfahrtThread::Beschaeftigt() const {
    std::lock_guard lock(m_mutex);
    return m_beschaeftigt;
}

bool TReferenzfahrtThread::Warten_bis_fertig(int ms) const {
    return m_fertig.Warten(ms) == Warteergebnis::signalisiert;
}

int32_t TReferenzfahrtThread::Letzter_Fehlercode() const {
    std::lock_guard lock(m_mutex);
    return m_fehlercode;
}

void TReferenzfahrtThread::Befehl_ausfuehren(int befehl) {
    if (befehl != Befehl_Lauf) return;
    Referenzachsen achsen;
    {
        std::lock_guard lock(m_mutex);
        achsen = m_achsen;
    }
    Lauf(achsen);
}

void TReferenzfahrtThread::Lauf(const Referenzachsen& achsen) {
    m_beobachter.Laeuft(true);
    {
        std::lock_guard lock(m_mutex);
        // A stop left over from another action must not end this run; one given since Start
        // must.
        Steuerung().Abbruch = m_abbruch_vorgemerkt;
    }
    int32_t code = 0;
    if (!achsen.keine()) {
        code = Arbeit_ausfuehren("Referenzfahrt", [&] {
            // Stopped before anything moved: nothing is homed.
            Abbruch_pruefen();
            xyzuReset_durchfuehren(achsen.x, achsen.y, achsen.z, achsen.u);
            Bewegungsende_abwarten();
        });
        if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, Titel);
    }
    Zeitbasis::Schlafen(Nachlauf_ms);
    // Queued before the run shows as over, so whoever sees it over and then processes the
    // window's events finds the buttons switched back.
    m_beobachter.Laeuft(false);
    std::lock_guard lock(m_mutex);
    m_fehlercode = code;
    m_beschaeftigt = false;
    m_abbruch_vorgemerkt = false;
    // A stop that came when nothing moved any more is spent with this run.
    Steuerung().Abbruch = false;
    m_fertig.Setzen();
}

int32_t Referenzfahrt_initialisieren(bool vollinitialisierung) {
    const int32_t code =
        Arbeit_ausfuehren("InitializeSteuerung", [&] { InitializeSteuerung(vollinitialisierung); });
    if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, TReferenzfahrtThread::Titel);
    return code;
}

std::array<int32_t, 4> Referenzschalterpins(int32_t modul) {
    return Typangaben(modul).Referenzschalterpins;
}

std::array<bool, 4> Referenzschalter_abfragen(int32_t modul) {
    const std::array<int32_t, 4> pins = Referenzschalterpins(modul);
    // Every read samples the port ten times; a pin shared by several axes is read once.
    constexpr int32_t kleinster_pin = 10;
    constexpr int32_t groesster_pin = 15;
    std::array<int, groesster_pin - kleinster_pin + 1> pegel{}; // 0 unread, 1 low, 2 high
    std::array<bool, 4> schwarz{};
    for (std::size_t i = 0; i < pins.size(); ++i) {
        const int32_t pin = pins[i];
        if (pin < kleinster_pin || pin > groesster_pin) continue;
        int& p = pegel[static_cast<std::size_t>(pin - kleinster_pin)];
        if (p == 0) p = Eingangspin_abfragen(pin) ? 2 : 1;
        schwarz[i] = p == 2;
    }
    return schwarz;
}

bool Referenzauswahl_speichern(const Referenzachsen& haken, const Referenzachsen& nicht_speichern) {
    Maschinenparameter& p = Parametersatz();
    if (!nicht_speichern.x) p.xRefAktiv = haken.x ? 1 : 0;
    if (!nicht_speichern.y) p.yRefAktiv = haken.y ? 1 : 0;
    if (!nicht_speichern.z) p.zRefAktiv = haken.z ? 1 : 0;
    if (!nicht_speichern.u) p.uRefAktiv = haken.u ? 1 : 0;
    return Parameterdatei_speichern();
}

} // namespace orvexa
