#include "kora_lpt.h"

#include "drivers/parallel_treiber.h"

#include "core/protokoll.h"
#include "core/schrittrampe.h"
#include "platform/oberflaeche.h"
#include "platform/zeitbasis.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORVEXA_MIT_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define ORVEXA_MIT_SANITIZER 1
#endif
#endif

namespace orvexa {

namespace {

std::atomic<bool> g_echtzeit_erlaubt{true};

constexpr char Fehlertitel[] = "F E H L E R";
// Below the kernel's interrupt threads (50), above everything of normal priority.
constexpr int Echtzeitprioritaet = 49;
constexpr int Warteabfrage_ms = 20;
// How early a sleep within a step period ends, to absorb the wake-up latency.
constexpr int64_t Schlafreserve_ns = 150'000;
constexpr int64_t Schlafstueck_ns = 20'000'000;

constexpr std::array<uint8_t, 8> Lauf_halb{0x27, 0x2D, 0x1C, 0x0D, 0x03, 0x09, 0x38, 0x29};
constexpr std::array<uint8_t, 4> Lauf_voll{0x04, 0x00, 0x20, 0x24};
// Standstill at " 0 %", " 20 %", " 60 %".
constexpr std::array<std::array<uint8_t, 8>, 3> Stillstand_halb{{
    {0x3F, 0x3F, 0x1F, 0x1F, 0x1B, 0x1B, 0x3B, 0x3B},
    {0x37, 0x36, 0x1E, 0x16, 0x13, 0x12, 0x3A, 0x32},
    {0x2F, 0x2D, 0x1D, 0x0D, 0x0B, 0x09, 0x39, 0x29},
}};
constexpr std::array<std::array<uint8_t, 4>, 3> Stillstand_voll{{
    {0x1F, 0x1B, 0x3B, 0x3F},
    {0x16, 0x12, 0x32, 0x36},
    {0x0D, 0x09, 0x29, 0x2D},
}};
constexpr uint8_t Relais_an = 0xA7;
constexpr uint8_t Relais_aus = 0xBC;

struct Eingangspin {
    int pin;
    uint8_t bit;
    bool invertiert;
};
constexpr Eingangspin Eingaenge[] = {
    {10, 0x40, false}, {11, 0x80, true}, {12, 0x20, false}, {13, 0x10, false}, {15, 0x08, false}};

const Eingangspin* Eingang_zu(int pin) {
    for (const auto& e : Eingaenge)
        if (e.pin == pin) return &e;
    return nullptr;
}

bool Pin_hoch(uint8_t status, int pin) {
    const Eingangspin* e = Eingang_zu(pin);
    if (!e) return false;
    const bool bit = (status & e->bit) != 0;
    return e->invertiert ? !bit : bit;
}

struct Ausgangspin {
    int pin;
    uint8_t bit;
    bool an_heisst_gesetzt;
};
constexpr Ausgangspin Ausgaenge[] = {
    {1, 0x01, false}, {14, 0x02, false}, {16, 0x04, true}, {17, 0x08, false}};

// Time the current thread spent in busy-waits, so a cycle's own work can be told apart.
thread_local int64_t t_gewartet_ns = 0;

void Protokoll(const std::string& text) {
    Protokoll_schreiben(Ebene_Befehl, text);
}

std::string Hex(unsigned wert) {
    char puffer[16];
    std::snprintf(puffer, sizeof puffer, "0x%X", wert);
    return puffer;
}

bool Echtzeit_abgeschaltet_durch_Umgebung() {
    const char* wert = std::getenv("ORVEXA_LPT_ECHTZEIT");
    return wert && std::strcmp(wert, "0") == 0;
}

} // namespace

Kora_lpt::Kora_lpt(std::unique_ptr<PortIO> port)
    : m_port(std::move(port)), m_zaehlerfrequenz(Zeitbasis::Frequenz) {
    Pinbelegung_setzen(0);
}

Kora_lpt::~Kora_lpt() {
    lpt_Beenden();
}

void Kora_lpt::Echtzeit_erlauben(bool erlaubt) {
    g_echtzeit_erlaubt = erlaubt;
}

// ---- Lifecycle ----

bool Kora_lpt::lpt_Initialisieren() {
    if (Thread_laeuft()) return true;
    if (!m_port) m_port = PortIO_erzeugen();
    if (!m_port) {
        Protokoll("lpt_Initialisieren() :: kein Portzugriff vorhanden");
        oberflaeche().Meldung("InitializeWinIo() failed", Fehlertitel, Symbol::warnung,
                              Knoepfe::ok);
        return false;
    }
    m_ende = false;
    m_ende_ereignis.Zuruecksetzen();
    m_thread = std::make_unique<TlptThread>(*this);
    m_thread->Starten();
    return true;
}

void Kora_lpt::lpt_Beenden() {
    m_ende = true;
    m_ende_ereignis.Setzen();
    if (m_thread) {
        m_thread->Beenden();
        // A caller still waiting on the thread's events sees it has ended within one poll.
        while (m_aufrufer.load() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_thread.reset();
    }
    if (m_port && m_port_offen.exchange(false)) m_port->Schliessen();
}

bool Kora_lpt::Thread_laeuft() const {
    return m_thread && m_thread->Laeuft();
}

bool Kora_lpt::lpt_Zeitbasis() {
    // The monotonic clock always exists; its unit is fixed.
    m_zaehlerfrequenz = Zeitbasis::Frequenz;
    return true;
}

void Kora_lpt::Echtzeit_einrichten() {
    m_echtzeit = false;
    m_speicher_gesperrt = false;
    if (!g_echtzeit_erlaubt.load() || Echtzeit_abgeschaltet_durch_Umgebung()) {
        Protokoll("lpt: Bewegungsthread mit normaler Priorität (Echtzeit nicht angefordert)");
        return;
    }
    sched_param parameter{};
    parameter.sched_priority = std::min(Echtzeitprioritaet, sched_get_priority_max(SCHED_FIFO));
    const int fehler = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
    if (fehler != 0) {
        Protokoll(std::string("lpt: keine Echtzeitpriorität für den Bewegungsthread (") +
                  std::strerror(fehler) + "), die Schrittzeiten können schwanken");
        return;
    }
    m_echtzeit = true;

    std::string speicher = "Speicher nicht gesperrt";
#ifndef ORVEXA_MIT_SANITIZER
    // With a limit on locked memory, locking future mappings would make later allocations
    // fail; only lock where nothing limits it.
    rlimit grenze{};
    const bool unbegrenzt =
        getrlimit(RLIMIT_MEMLOCK, &grenze) == 0 && grenze.rlim_cur == RLIM_INFINITY;
    if (geteuid() == 0 || unbegrenzt) {
        int art = MCL_CURRENT | MCL_FUTURE;
#ifdef MCL_ONFAULT
        art |= MCL_ONFAULT;
#endif
        if (mlockall(art) == 0) {
            m_speicher_gesperrt = true;
            speicher = "Speicher gesperrt";
        } else {
            speicher += std::string(" (") + std::strerror(errno) + ")";
        }
    } else {
        speicher += " (Grenze für gesperrten Speicher)";
    }
#endif
    Protokoll("lpt: Bewegungsthread mit Echtzeitpriorität (SCHED_FIFO " +
              std::to_string(parameter.sched_priority) + "), " + speicher);
    // Moves at high rates never sleep; a kernel limit on real-time time then stalls them.
    long laufzeit = -1;
    long periode = 0;
    if (FILE* f = std::fopen("/proc/sys/kernel/sched_rt_runtime_us", "r")) {
        if (std::fscanf(f, "%ld", &laufzeit) != 1) laufzeit = -1;
        std::fclose(f);
    }
    if (FILE* f = std::fopen("/proc/sys/kernel/sched_rt_period_us", "r")) {
        if (std::fscanf(f, "%ld", &periode) != 1) periode = 0;
        std::fclose(f);
    }
    if (laufzeit >= 0 && periode > laufzeit)
        Protokoll("lpt: der Kern hält Echtzeitthreads nach " + std::to_string(laufzeit / 1000) +
                  " ms je " + std::to_string(periode / 1000) +
                  " ms an (sched_rt_runtime_us); lange schnelle Fahrten stocken dann");
}

void Kora_lpt::Echtzeit_aufgeben() {
    if (m_speicher_gesperrt) munlockall();
    m_speicher_gesperrt = false;
}

// ---- Configuration ----

Kora_lpt::Aufruf::Aufruf(Kora_lpt& treiber) : m_treiber(treiber) {
    ++m_treiber.m_aufrufer;
    m_gueltig = !m_treiber.m_ende.load() && m_treiber.m_thread && m_treiber.m_thread->Laeuft();
}

Kora_lpt::Aufruf::~Aufruf() {
    --m_treiber.m_aufrufer;
}

bool Kora_lpt::Leerlauf_nehmen() {
    if (!m_thread) return false;
    while (m_thread->hEventIdle.Warten(Warteabfrage_ms) != Warteergebnis::signalisiert) {
        if (!m_thread->Laeuft()) return false;
    }
    return true;
}

void Kora_lpt::Leerlauf_zurueckgeben(bool genommen) {
    if (genommen && m_thread) m_thread->hEventIdle.Setzen();
}

bool Kora_lpt::lpt_Adresse_setzen(const std::string& text) {
    std::string_view rest = text;
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front())))
        rest.remove_prefix(1);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.back())))
        rest.remove_suffix(1);
    if (rest.empty()) {
        Piepton(440, 100);
        return false;
    }
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        rest.remove_prefix(2);
    unsigned adresse = 0;
    const auto [ende, fehler] =
        std::from_chars(rest.data(), rest.data() + rest.size(), adresse, 16);
    if (fehler != std::errc{} || ende != rest.data() + rest.size() || adresse > 0xFFFD) {
        Protokoll("lpt_Adresse_setzen(" + text + ") :: keine gültige Portadresse");
        Piepton(440, 100);
        return false;
    }

    const Aufruf aufruf(*this);
    const bool genommen = aufruf.gueltig() && Leerlauf_nehmen();
    const auto basis = static_cast<uint16_t>(adresse);
    m_daten = basis;
    m_status = static_cast<uint16_t>(basis + 1);
    m_steuer = static_cast<uint16_t>(basis + 2);
    Pinbelegung_setzen(0);
    m_gruppe_11_bis_15 = false;
    m_nur_pin11 = false;
    m_aktiv_hoch = false;
    m_endschalterschutz = true;
    m_maximalfrequenz = Standard_Maximalfrequenz;
    m_pulsteiler = Standard_Pulsteiler;

    if (m_port && m_port_offen.exchange(false)) m_port->Schliessen();
    const bool offen = m_port && m_port->Oeffnen(basis);
    if (offen) {
        m_port_offen = true;
        Datenbyte_schreiben(0);
    }
    Leerlauf_zurueckgeben(genommen);
    if (!offen) {
        Protokoll("lpt_Adresse_setzen(" + Hex(basis) + ") :: InitializeWinIo() failed: " +
                  (m_port ? m_port->Fehlertext() : std::string("kein Portzugriff")));
        oberflaeche().Meldung("InitializeWinIo() failed", Fehlertitel, Symbol::warnung,
                              Knoepfe::ok);
    }
    return offen;
}

void Kora_lpt::Pinbelegung_setzen(int32_t belegung) {
    m_alle_schrittbits = 0;
    for (int achse = 0; achse < 4; ++achse) {
        const auto niedrig = static_cast<uint8_t>(1u << (2 * achse));
        const auto hoch = static_cast<uint8_t>(1u << (2 * achse + 1));
        // Layout A: direction on the lower pin of the pair; layout B the other way round.
        m_richtungsbit[achse] = belegung == 1 ? hoch : niedrig;
        m_schrittbit[achse] = belegung == 1 ? niedrig : hoch;
        m_alle_schrittbits |= m_schrittbit[achse];
    }
}

void Kora_lpt::lpt_Pinbelegung(int32_t belegung) {
    const Aufruf aufruf(*this);
    const bool genommen = aufruf.gueltig() && Leerlauf_nehmen();
    Pinbelegung_setzen(belegung == 1 ? 1 : 0);
    Leerlauf_zurueckgeben(genommen);
}

void Kora_lpt::lpt_Eingangsmodus(bool gruppe_11_bis_15, bool nur_pin11, bool aktiv_hoch) {
    m_gruppe_11_bis_15 = gruppe_11_bis_15;
    m_nur_pin11 = nur_pin11;
    m_aktiv_hoch = aktiv_hoch;
}

void Kora_lpt::lpt_Endschalterschutz(bool an) {
    m_endschalterschutz = an;
}

void Kora_lpt::lpt_Grenzwerte(int32_t maximalfrequenz, int32_t pulsteiler) {
    m_maximalfrequenz = maximalfrequenz;
    m_pulsteiler = pulsteiler;
}

void Kora_lpt::lpt_Phasentabellen(int32_t schrittbetrieb, int32_t ruhestrom) {
    const Aufruf aufruf(*this);
    const bool genommen = aufruf.gueltig() && Leerlauf_nehmen();
    m_lauftabelle.fill(0);
    m_stillstandstabelle.fill(0);
    m_stillstand_gesetzt = false;
    bool schrittbetrieb_gueltig = true;
    bool ruhestrom_gueltig = ruhestrom >= 0 && ruhestrom <= 2;
    if (schrittbetrieb == 0) {
        std::copy(Lauf_halb.begin(), Lauf_halb.end(), m_lauftabelle.begin());
        if (ruhestrom_gueltig) m_stillstandstabelle = Stillstand_halb[ruhestrom];
        m_hoechster_index = 7;
    } else if (schrittbetrieb == 1) {
        std::copy(Lauf_voll.begin(), Lauf_voll.end(), m_lauftabelle.begin());
        if (ruhestrom_gueltig)
            std::copy(Stillstand_voll[ruhestrom].begin(), Stillstand_voll[ruhestrom].end(),
                      m_stillstandstabelle.begin());
        m_hoechster_index = 3;
    } else {
        schrittbetrieb_gueltig = false;
    }
    if (schrittbetrieb_gueltig) {
        // The index must stay inside the shorter table after a change from half step.
        for (auto& index : m_phasenindex)
            index %= m_hoechster_index + 1;
        m_stillstand_gesetzt = ruhestrom_gueltig;
    }
    // Empty tables would drive the motors with pattern 0; no move may use them.
    m_tabellen_gesetzt = schrittbetrieb_gueltig;
    Leerlauf_zurueckgeben(genommen);

    if (!schrittbetrieb_gueltig)
        oberflaeche().Meldung("falscher Wert für Schrittbetrieb!", Fehlertitel, Symbol::warnung,
                              Knoepfe::ok);
    else if (!ruhestrom_gueltig)
        oberflaeche().Meldung("falscher Wert für Ruhestrom!", Fehlertitel, Symbol::warnung,
                              Knoepfe::ok);
}

int32_t Kora_lpt::Phasenindex(char achse) const {
    const int a = kartenmodul::Achsnummer(achse);
    return a >= 0 && a < 3 ? m_phasenindex[a] : 0;
}

// ---- Port access ----

int64_t Kora_lpt::Warten_aktiv(int64_t ticks) {
    const int64_t anfang = Zeitbasis::Zaehler();
    if (ticks < 0) {
        ++m_offene_ueberlaufpieptoene;
        return anfang;
    }
    int64_t jetzt = anfang;
    while (jetzt - anfang <= ticks)
        jetzt = Zeitbasis::Zaehler();
    t_gewartet_ns += jetzt - anfang;
    return jetzt;
}

int64_t Kora_lpt::Periode_abwarten(int64_t ende) {
    // Long periods are slept through up to a reserve and only the rest is busy-waited: a
    // real-time thread that never sleeps is throttled by the kernel for tens of milliseconds
    // each second, and a normal one loses its time slice. Sleeping in pieces keeps the end of
    // the driver from waiting out a slow move's period.
    int64_t jetzt = Zeitbasis::Zaehler();
    while (ende - jetzt > 2 * Schlafreserve_ns && !Ende_angefordert()) {
        const int64_t wecken = std::min(ende - Schlafreserve_ns, jetzt + Schlafstueck_ns);
        // The time base counts CLOCK_MONOTONIC in nanoseconds.
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(wecken / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(wecken % 1'000'000'000);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        jetzt = Zeitbasis::Zaehler();
    }
    while (jetzt <= ende && !Ende_angefordert())
        jetzt = Zeitbasis::Zaehler();
    return jetzt;
}

bool Kora_lpt::Datenbyte_schreiben(uint8_t wert) {
    if (!m_port_offen.load(std::memory_order_relaxed) || !m_port->Schreiben(m_daten, wert))
        return false;
    m_ausgabebyte = wert;
    return true;
}

bool Kora_lpt::Phasenbyte_schreiben(uint8_t wert) {
    if (!Datenbyte_schreiben(wert)) return false;
    uint8_t steuer = 0;
    if (!m_port->Lesen(m_steuer, steuer)) return false;
    // Pin 1 low (bit set) for the strobe time; the card takes the byte when it returns high.
    if (!m_port->Schreiben(m_steuer, static_cast<uint8_t>(steuer | 0x01))) return false;
    Warten_aktiv(Ticks(Strobe_ns));
    return m_port->Schreiben(m_steuer, static_cast<uint8_t>(steuer & ~0x01));
}

bool Kora_lpt::Status_lesen(uint8_t& wert) {
    return m_port_offen.load(std::memory_order_relaxed) && m_port->Lesen(m_status, wert);
}

void Kora_lpt::Zaehler_setzen(int achse, int64_t wert) {
    m_schrittzaehler[achse].store(static_cast<int32_t>(wert), std::memory_order_relaxed);
}

void Kora_lpt::Piepton(int hz, int ms) {
    oberflaeche().Piepton(hz, ms);
}

bool Kora_lpt::lpt_Endschalter_aktiv() {
    const int64_t pause = m_zaehlerfrequenz / 250000;
    const bool nur_pin11 = m_nur_pin11.load(std::memory_order_relaxed);
    const bool gruppe = m_gruppe_11_bis_15.load(std::memory_order_relaxed);
    const bool aktiv_hoch = m_aktiv_hoch.load(std::memory_order_relaxed);
    int aktiv = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t status = 0;
        if (!Status_lesen(status)) {
            // An input that cannot be read must not let a move run on.
            ++aktiv;
        } else {
            auto aktiver_pin = [&](int pin) { return Pin_hoch(status, pin) == aktiv_hoch; };
            bool ist_aktiv;
            if (nur_pin11)
                ist_aktiv = aktiver_pin(11);
            else if (gruppe)
                ist_aktiv =
                    aktiver_pin(11) || aktiver_pin(12) || aktiver_pin(13) || aktiver_pin(15);
            else
                ist_aktiv = aktiver_pin(10) || aktiver_pin(11) || aktiver_pin(12);
            if (ist_aktiv) ++aktiv;
        }
        Warten_aktiv(pause);
    }
    return aktiv >= 2;
}

bool Kora_lpt::lpt_Eingang_lesen(int32_t pin) {
    if (!Eingang_zu(pin)) return false;
    int hoch = 0;
    for (int i = 0; i < 10; ++i) {
        uint8_t status = 0;
        if (Status_lesen(status) && Pin_hoch(status, pin)) ++hoch;
    }
    return hoch >= 8;
}

void Kora_lpt::lpt_Ausgang_setzen(int32_t pin, bool an) {
    const Ausgangspin* ausgang = nullptr;
    for (const auto& a : Ausgaenge)
        if (a.pin == pin) ausgang = &a;
    if (!ausgang || !m_port_offen) return;
    uint8_t steuer = 0;
    if (!m_port->Lesen(m_steuer, steuer)) return;
    const bool setzen = an == ausgang->an_heisst_gesetzt;
    steuer = setzen ? static_cast<uint8_t>(steuer | ausgang->bit)
                    : static_cast<uint8_t>(steuer & ~ausgang->bit);
    m_port->Schreiben(m_steuer, steuer);
}

void Kora_lpt::lpt_Haltestrom(bool mit_z) {
    if (!m_stillstand_gesetzt) return;
    const int achsen = mit_z ? 3 : 2;
    for (int a = 0; a < achsen; ++a) {
        const auto byte = static_cast<uint8_t>(m_stillstandstabelle[m_phasenindex[a]] + a * 64);
        if (!Phasenbyte_schreiben(byte)) return;
    }
}

void Kora_lpt::lpt_Relais(bool an) {
    Phasenbyte_schreiben(an ? Relais_an : Relais_aus);
}

// ---- Waits and stop requests ----

bool Kora_lpt::lpt_Warten(int32_t ms) {
    const int64_t millisekunde = m_zaehlerfrequenz / 1000;
    const int64_t zyklen = static_cast<int64_t>(std::max(ms, 0)) + 1;
    int64_t frist = Zeitbasis::Zaehler();
    bool aktiv = false;
    for (int64_t i = 0; i < zyklen && !Ende_angefordert(); ++i) {
        // Sleeping to each millisecond mark keeps the timing of a busy-wait without its load.
        frist += millisekunde;
        const int64_t rest = frist - Zeitbasis::Zaehler();
        if (rest > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(rest));
        aktiv = lpt_Endschalter_aktiv();
        if (aktiv) break;
    }
    // A halt pressed during a dwell is served by the abort check that follows it; left
    // standing it would cut short the next, unrelated move.
    m_anhalteanforderung = false;
    return aktiv;
}

void Kora_lpt::lpt_Auf_Eingang_warten(bool warten) {
    if (!warten) return;
    while (!Ende_angefordert()) {
        if (lpt_Eingang_lesen(13)) break;
        if (m_anhalteanforderung.load() || m_stoppanforderung.load()) break;
        if (lpt_Endschalter_aktiv()) break;
        std::this_thread::yield();
    }
}

void Kora_lpt::lpt_Anhalten() {
    // The request goes first: the beep blocks, the motor should not wait for it.
    m_anhalteanforderung = true;
    Piepton(880, 100);
}

void Kora_lpt::lpt_Sofort_stoppen() {
    m_stoppanforderung = true;
    Piepton(880, 100);
    Piepton(880, 100);
}

// ---- Moves: the caller's side ----

Fahrtergebnis Kora_lpt::Auftrag_ausfuehren(TlptThread::Befehl befehl,
                                           const TlptThread::Argumente& argumente) {
    const Aufruf aufruf(*this);
    if (!aufruf.gueltig()) {
        Protokoll("lpt: Fahrt abgewiesen, der Treiber ist nicht initialisiert");
        return Fahrtergebnis::abgebrochen;
    }
    if (!Leerlauf_nehmen()) return Fahrtergebnis::abgebrochen;
    for (auto& zaehler : m_schrittzaehler)
        zaehler = 0;
    m_thread->Befehl_geben(befehl, argumente);
    while (m_thread->hEventReady.Warten(Warteabfrage_ms) != Warteergebnis::signalisiert) {
        Ueberlaufpiepton_spielen();
        if (!m_thread->Laeuft()) {
            // Ended before or without taking the command.
            if (m_thread->hEventReady.Warten(0) == Warteergebnis::signalisiert) break;
            return Fahrtergebnis::abgebrochen;
        }
    }
    Ueberlaufpiepton_spielen();
    return m_thread->Ergebnis();
}

void Kora_lpt::Ueberlaufpiepton_spielen() {
    if (m_offene_ueberlaufpieptoene.exchange(0) > 0) Piepton(440, 1);
}

Fahrtergebnis Kora_lpt::lpt_Vektorfahrt(int32_t modus, int32_t x, int32_t y, int32_t z,
                                        int32_t start, int32_t ziel, int32_t rampe_ms) {
    TlptThread::Argumente a;
    a.modus = modus;
    a.x = x;
    a.y = y;
    a.z = z;
    a.start = start;
    a.ziel = ziel;
    a.rampe_ms = rampe_ms;
    return Auftrag_ausfuehren(TlptThread::Linearfahrt, a);
}

Fahrtergebnis Kora_lpt::lpt_UFahrt(int32_t modus, int32_t u, int32_t start, int32_t ziel,
                                   int32_t rampe_ms) {
    TlptThread::Argumente a;
    a.modus = modus;
    a.u = u;
    a.start = start;
    a.ziel = ziel;
    a.rampe_ms = rampe_ms;
    return Auftrag_ausfuehren(TlptThread::UFahrt, a);
}

Fahrtergebnis Kora_lpt::lpt_Referenzfahrt(int32_t modus, char achse, int32_t offset, int32_t start,
                                          int32_t referenz, int32_t rampe_ms) {
    TlptThread::Argumente a;
    a.modus = modus;
    a.achse = achse;
    a.offset = offset;
    a.start = start;
    a.ziel = referenz;
    a.rampe_ms = rampe_ms;
    return Auftrag_ausfuehren(TlptThread::Referenzfahrt, a);
}

Kora_lpt::Zaehlerstand Kora_lpt::lpt_Zaehler_lesen() const {
    Zaehlerstand stand;
    stand.x = m_schrittzaehler[0].load();
    stand.y = m_schrittzaehler[1].load();
    stand.z = m_schrittzaehler[2].load();
    stand.u = m_schrittzaehler[3].load();
    return stand;
}

Fahrtstatistik Kora_lpt::Letzte_Fahrt() const {
    return m_statistik;
}

// ---- Moves: the motion thread ----

Fahrtergebnis Kora_lpt::Linearfahrt(int32_t modus, int64_t x, int64_t y, int64_t z, int32_t s,
                                    int32_t w, int32_t r) {
    return Fahrt(modus, {x, y, z, 0}, s, w, r);
}

Fahrtergebnis Kora_lpt::UFahrt(int32_t modus, int64_t u, int32_t s, int32_t w, int32_t r) {
    return Fahrt(modus, {0, 0, 0, u}, s, w, r);
}

Fahrtergebnis Kora_lpt::Fahrt(int32_t modus, const std::array<int64_t, 4>& wege, int32_t s,
                              int32_t w, int32_t r) {
    m_statistik = {};
    m_ende_durch_eingang = false;
    const bool takt = modus == lpt_TaktRichtung;
    if (!takt && modus != lpt_Phasenbetrieb) return Fahrtergebnis::abgebrochen;
    if (!takt && wege[3] != 0) {
        // The phase card has no u channel.
        for (int i = 0; i < 3; ++i)
            Piepton(440, 100);
        return Fahrtergebnis::abgebrochen;
    }
    const int32_t pulsteiler = m_pulsteiler.load();
    if (takt) {
        if (pulsteiler <= 0) return Fahrtergebnis::abgebrochen;
    } else if (!m_tabellen_gesetzt) {
        oberflaeche().Meldung("Schrittbetrieb einstellen!", Fehlertitel, Symbol::warnung,
                              Knoepfe::ok);
        return Fahrtergebnis::abgebrochen;
    }

    std::array<int64_t, 4> anzahl{};
    std::array<bool, 4> positiv{};
    int fuehrend = 0;
    for (int a = 0; a < 4; ++a) {
        anzahl[a] = wege[a] < 0 ? -wege[a] : wege[a];
        positiv[a] = wege[a] >= 0;
        if (anzahl[a] > anzahl[fuehrend]) fuehrend = a;
    }
    std::array<int, 3> folgend{};
    for (int a = 0, i = 0; a < 4; ++a)
        if (a != fuehrend) folgend[i++] = a;
    const int64_t N = anzahl[fuehrend];

    bool abgebrochen = false;
    if (N > 0) {
        const int32_t hoechste = m_maximalfrequenz.load();
        if (s < 1 || s > hoechste || w < 1 || w > hoechste || r < 0 || r > Laengste_Rampe_ms ||
            w < s) {
            Piepton(440, 100);
            return Fahrtergebnis::abgebrochen;
        }
        if (!m_port_offen) {
            Protokoll("lpt: Fahrt abgewiesen, der Port ist nicht geöffnet");
            return Fahrtergebnis::abgebrochen;
        }

        const Schrittrampe rampe = Schrittrampe::berechnen(N, s, w, r);
        const int64_t R = rampe.R;

        const int64_t pulsdauer = m_zaehlerfrequenz / pulsteiler;
        const int64_t richtungsvorlauf = Ticks(Richtungsvorlauf_ns);
        std::array<int64_t, 4> zaehler{};
        for (int a = 0; a < 4; ++a)
            zaehler[a] = m_schrittzaehler[a].load(std::memory_order_relaxed);
        std::array<int64_t, 3> akku{anzahl[folgend[0]], anzahl[folgend[1]], anzahl[folgend[2]]};

        double f = s;
        int64_t n = N;
        int64_t anker = Zeitbasis::Zaehler();
        while (n > 0 && !m_ende_durch_eingang &&
               !m_stoppanforderung.load(std::memory_order_relaxed) && !Ende_angefordert()) {
            t_gewartet_ns = 0;
            const int64_t zyklusbeginn = anker;

            // Which axes step in this cycle: the leader always, the others by their
            // accumulators, at most once each.
            std::array<int, 4> schritt{fuehrend, -1, -1, -1};
            int schritte = 1;
            --n;
            for (int i = 0; i < 3; ++i) {
                akku[i] += anzahl[folgend[i]];
                if (akku[i] >= N) {
                    akku[i] -= N;
                    schritt[schritte++] = folgend[i];
                }
            }

            int64_t t0;
            bool geschrieben = true;
            if (takt) {
                uint8_t byte = m_ausgabebyte & static_cast<uint8_t>(~m_alle_schrittbits);
                uint8_t schrittbits = 0;
                for (int i = 0; i < schritte; ++i) {
                    const int a = schritt[i];
                    byte = positiv[a] ? static_cast<uint8_t>(byte | m_richtungsbit[a])
                                      : static_cast<uint8_t>(byte & ~m_richtungsbit[a]);
                    schrittbits |= m_schrittbit[a];
                    zaehler[a] += positiv[a] ? 1 : -1;
                }
                if (byte != m_ausgabebyte) {
                    geschrieben = Datenbyte_schreiben(byte);
                    Warten_aktiv(richtungsvorlauf);
                }
                geschrieben = geschrieben && Datenbyte_schreiben(byte | schrittbits);
                // The period counts from the step edge, so no edge comes early after a cycle
                // that was held up before it.
                t0 = Zeitbasis::Zaehler();
                Warten_aktiv(pulsdauer);
                geschrieben = geschrieben && Datenbyte_schreiben(byte);
            } else {
                t0 = 0;
                for (int i = 0; i < schritte && geschrieben; ++i) {
                    const int a = schritt[i];
                    int32_t& index = m_phasenindex[a];
                    if (positiv[a])
                        index = index >= m_hoechster_index ? 0 : index + 1;
                    else
                        index = index <= 0 ? m_hoechster_index : index - 1;
                    zaehler[a] += positiv[a] ? 1 : -1;
                    geschrieben =
                        Phasenbyte_schreiben(static_cast<uint8_t>(m_lauftabelle[index] + a * 64));
                    if (i == 0) t0 = Zeitbasis::Zaehler();
                }
            }
            for (int i = 0; i < schritte; ++i)
                Zaehler_setzen(schritt[i], zaehler[schritt[i]]);
            if (!geschrieben) {
                Protokoll("lpt: Fahrt abgebrochen, der Port nimmt keine Daten an");
                abgebrochen = true;
                break;
            }

            if (lpt_Endschalter_aktiv()) {
                if (m_endschalterschutz.load(std::memory_order_relaxed)) {
                    Piepton(440, 100);
                    m_ende_durch_eingang = true;
                }
                if (m_stopp_bei_aktiv) m_ende_durch_eingang = true;
            } else if (m_stopp_bei_inaktiv) {
                m_ende_durch_eingang = true;
            }

            if (f > 0) {
                const int64_t periode = Schrittperiode(m_zaehlerfrequenz, f);
                const int64_t t1 = Zeitbasis::Zaehler();
                const int64_t rest = periode - (t1 - t0);
                const int64_t arbeit = (t1 - zyklusbeginn) - t_gewartet_ns;
                m_statistik.arbeit_ns_summe += arbeit;
                m_statistik.arbeit_ns_max = std::max(m_statistik.arbeit_ns_max, arbeit);
                if (rest < 0) {
                    // Late: go on from now, so the lost time is not made up with a burst.
                    ++m_statistik.ueberlaeufe;
                    m_statistik.spaetester_ns = std::max(m_statistik.spaetester_ns, -rest);
                    ++m_offene_ueberlaufpieptoene;
                    anker = t1;
                } else {
                    anker = Periode_abwarten(t1 + rest);
                }
            }
            ++m_statistik.zyklen;

            // Looked at once the period is over rather than before it, so a halt that came
            // during the period already slows the next one: the ramp down begins at the next
            // step instead of the one after it.
            if (m_anhalteanforderung.exchange(false, std::memory_order_relaxed)) {
                abgebrochen = true;
                // Brake along the ramp, but never beyond the target.
                n = std::min(n, R);
            }

            f = rampe.naechste(f, n);
        }
    }
    if (m_stoppanforderung.exchange(false)) abgebrochen = true;
    if (Ende_angefordert()) abgebrochen = true;
    return abgebrochen ? Fahrtergebnis::abgebrochen : Fahrtergebnis::fertig;
}

bool Kora_lpt::Pause(int ms) {
    return m_ende_ereignis.Warten(ms) == Warteergebnis::zeitueberschreitung;
}

Fahrtergebnis Kora_lpt::Referenzfahrt_Achse(int32_t modus, char achse, int64_t offset, int32_t s,
                                            int32_t v, int32_t r) {
    const int a = kartenmodul::Achsnummer(achse);
    const bool schutz = m_endschalterschutz.load();
    m_endschalterschutz = false;
    m_stopp_bei_aktiv = false;
    m_stopp_bei_inaktiv = false;
    bool abgebrochen = false;

    auto fahren = [&](int achsnummer, int64_t weg) {
        std::array<int64_t, 4> wege{};
        wege[achsnummer] = weg;
        const Fahrtergebnis e =
            achsnummer == 3 ? UFahrt(modus, weg, s, v, r) : Fahrt(modus, wege, s, v, r);
        return e == Fahrtergebnis::fertig;
    };

    if (lpt_Endschalter_aktiv()) {
        // The input cannot say whose switch is closed: move off with every axis. The u axis
        // only when it is the one being homed, as only then is it known to exist.
        m_stopp_bei_inaktiv = true;
        const int64_t u = a == 3 && modus == lpt_TaktRichtung ? Referenzweg : 0;
        abgebrochen = Fahrt(modus, {Referenzweg, Referenzweg, Referenzweg, u}, s, v, r) !=
                      Fahrtergebnis::fertig;
        m_stopp_bei_inaktiv = false;
        if (!abgebrochen) abgebrochen = !Pause(Referenzpause_ms);
    }
    if (a >= 0 && !abgebrochen) {
        m_stopp_bei_aktiv = true;
        abgebrochen = !fahren(a, -Referenzweg);
        m_stopp_bei_aktiv = false;
        if (!abgebrochen && !m_ende_durch_eingang) {
            Protokoll(std::string("lpt: Referenzschalter der Achse ") + achse + " nicht gefunden");
            abgebrochen = true;
        }
        if (!abgebrochen) abgebrochen = !Pause(Referenzpause_ms);
        if (!abgebrochen) {
            m_stopp_bei_inaktiv = true;
            abgebrochen = !fahren(a, Referenzweg);
            m_stopp_bei_inaktiv = false;
            if (!abgebrochen) abgebrochen = !Pause(Referenzpause_ms);
        }
        if (!abgebrochen) abgebrochen = !fahren(a, offset);
    }
    if (!Ende_angefordert()) Pause(Referenzpause_ms);
    m_endschalterschutz = schutz;
    if (a >= 0 && !abgebrochen) Zaehler_setzen(a, 0);
    return abgebrochen ? Fahrtergebnis::abgebrochen : Fahrtergebnis::fertig;
}

} // namespace orvexa
