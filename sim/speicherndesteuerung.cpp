#include "speicherndesteuerung.h"

#include "platform/zeitbasis.h"
#include "ptypaar.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace orvexa {

namespace {

[[noreturn]] void Systemfehler(const char* was) {
    throw std::system_error(errno, std::generic_category(), was);
}

void Schliessen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

SpeicherndeSteuerung::SpeicherndeSteuerung() : SpeicherndeSteuerung(Optionen{}) {}

SpeicherndeSteuerung::SpeicherndeSteuerung(const Optionen& optionen) : m_modell(optionen.Modul) {
    m_modell.Zeitskala_setzen(optionen.Zeitskala);
    if (!optionen.Kennung.empty()) m_modell.Kennung_setzen(optionen.Kennung);
    m_modell.Festwertspeicher_setzen(optionen.Festwertspeicher);
    if (optionen.Vorgabegeschwindigkeit > 0)
        m_modell.Geschwindigkeiten_vorgeben(optionen.Vorgabe_Startfreq,
                                            optionen.Vorgabegeschwindigkeit);

    Ptypaar paar = Ptypaar_oeffnen();
    m_master = paar.master;
    m_slave = paar.slave;
    m_pfad = std::move(paar.pfad);
    try {
        m_wecker = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wecker < 0) Systemfehler("eventfd");
        m_thread = std::thread([this] { Lauf(); });
    } catch (...) {
        Schliessen(m_master);
        Schliessen(m_slave);
        Schliessen(m_wecker);
        throw;
    }
}

SpeicherndeSteuerung::~SpeicherndeSteuerung() {
    Stoppen();
}

void SpeicherndeSteuerung::Stoppen() {
    m_ende = true;
    if (m_thread.joinable()) {
        Wecken();
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    Master_schliessen();
    Schliessen(m_wecker);
    m_bedingung.notify_all();
}

void SpeicherndeSteuerung::Wecken() {
    const uint64_t eins = 1;
    if (m_wecker >= 0) [[maybe_unused]]
        auto n = ::write(m_wecker, &eins, sizeof eins);
}

void SpeicherndeSteuerung::Master_schliessen() {
    Schliessen(m_master);
    Schliessen(m_slave);
    Ausgang_verwerfen();
}

void SpeicherndeSteuerung::Ausgang_verwerfen() {
    m_sendepuffer.clear();
    m_verspaetet.clear();
}

void SpeicherndeSteuerung::Antworten_einreihen(std::vector<std::string> antworten) {
    if (m_stumm) return;
    for (auto& antwort : antworten) {
        if (m_muell) antwort = m_muellbytes;
        if (m_abschneiden) {
            antwort.resize(std::min(antwort.size(), *m_abschneiden));
            m_abschneiden.reset();
        }
        const int64_t jetzt = Zeitbasis::Zaehler();
        if (m_verzoegerung_ms > 0 || !m_verspaetet.empty()) {
            // Held back, and whatever follows stays behind it: the unit answers in order.
            int64_t faellig = jetzt + int64_t{m_verzoegerung_ms} * 1'000'000;
            if (!m_verspaetet.empty()) faellig = std::max(faellig, m_verspaetet.back().faellig);
            m_verspaetet.push_back({faellig, std::move(antwort)});
        } else {
            m_sendepuffer += antwort;
        }
    }
}

void SpeicherndeSteuerung::Faellige_freigeben(int64_t jetzt) {
    while (!m_verspaetet.empty() && m_verspaetet.front().faellig <= jetzt) {
        m_sendepuffer += m_verspaetet.front().bytes;
        m_verspaetet.pop_front();
    }
}

void SpeicherndeSteuerung::Lauf() {
    char puffer[512];
    while (!m_ende) {
        std::optional<int64_t> naechstes;
        bool senden = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_ausstecken && !m_ausgesteckt) {
                Master_schliessen();
                m_ausgesteckt = true;
                m_bedingung.notify_all();
            }
            if (m_einstecken) Wieder_einstecken();
            Antworten_einreihen(m_modell.Zeit_fortschreiten(Zeitbasis::Zaehler()));
            Faellige_freigeben(Zeitbasis::Zaehler());
            naechstes = m_modell.Naechstes_Ereignis();
            if (!m_verspaetet.empty())
                naechstes = std::min(naechstes.value_or(m_verspaetet.front().faellig),
                                     m_verspaetet.front().faellig);
            if (m_master >= 0 && !m_sendepuffer.empty()) {
                const ssize_t n = ::write(m_master, m_sendepuffer.data(), m_sendepuffer.size());
                if (n > 0)
                    m_sendepuffer.erase(0, static_cast<std::size_t>(n));
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    m_sendepuffer.clear(); // nobody can take it any more
            }
            senden = !m_sendepuffer.empty();
        }

        int timeout = -1;
        if (naechstes) {
            const int64_t rest = std::max<int64_t>(0, *naechstes - Zeitbasis::Zaehler());
            timeout = static_cast<int>(std::min<int64_t>((rest + 999'999) / 1'000'000, 1000));
        }
        pollfd fds[2] = {{m_wecker, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (senden) fds[1].events |= POLLOUT;
        const nfds_t anzahl = m_master >= 0 ? 2 : 1;
        if (::poll(fds, anzahl, timeout) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t wert;
            [[maybe_unused]] auto n = ::read(m_wecker, &wert, sizeof wert);
        }
        if (anzahl == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(m_master, puffer, sizeof puffer);
            std::lock_guard lock(m_mutex);
            if (n > 0) {
                Antworten_einreihen(m_modell.Bytes_empfangen(std::string_view(puffer, n),
                                                             Zeitbasis::Zaehler(), !m_stumm));
                m_bedingung.notify_all();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                Master_schliessen();
                m_ausgesteckt = true;
                m_bedingung.notify_all();
            }
        }
    }
}

void SpeicherndeSteuerung::Zeitskala_setzen(double skala) {
    std::lock_guard lock(m_mutex);
    m_modell.Zeitskala_setzen(skala);
}

void SpeicherndeSteuerung::Festwertspeicher_setzen(std::size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_modell.Festwertspeicher_setzen(bytes);
}

bool SpeicherndeSteuerung::Festprogramm_starten() {
    bool gestartet = false;
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> aus;
        gestartet = m_modell.Festprogramm_starten(Zeitbasis::Zaehler(), aus);
        Antworten_einreihen(std::move(aus));
    }
    Wecken();
    return gestartet;
}

void SpeicherndeSteuerung::Stumm_schalten(bool stumm) {
    std::lock_guard lock(m_mutex);
    m_stumm = stumm;
}

void SpeicherndeSteuerung::Antwortverzoegerung_setzen(int ms) {
    std::lock_guard lock(m_mutex);
    m_verzoegerung_ms = std::max(ms, 0);
}

void SpeicherndeSteuerung::Muell_senden(bool an, std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_muell = an;
    m_muellbytes = std::move(bytes);
}

void SpeicherndeSteuerung::Naechste_Antwort_abschneiden(std::size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_abschneiden = bytes;
}

void SpeicherndeSteuerung::Ausstecken() {
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable() || m_ende) {
        Master_schliessen();
        m_ausgesteckt = true;
        return;
    }
    m_ausstecken = true;
    Wecken();
    m_bedingung.wait_for(lock, std::chrono::seconds(5), [this] { return m_ausgesteckt; });
}

bool SpeicherndeSteuerung::Einstecken() {
    std::unique_lock lock(m_mutex);
    if (!m_ausgesteckt) return true;
    if (!m_thread.joinable() || m_ende) return false;
    m_einstecken = true;
    m_eingesteckt = false;
    Wecken();
    m_bedingung.wait_for(lock, std::chrono::seconds(5), [this] { return !m_einstecken; });
    return m_eingesteckt;
}

void SpeicherndeSteuerung::Wieder_einstecken() {
    m_einstecken = false;
    try {
        Ptypaar paar = Ptypaar_oeffnen();
        m_master = paar.master;
        m_slave = paar.slave;
        m_pfad = std::move(paar.pfad);
        // What was to be sent while the line was gone is lost with it.
        Ausgang_verwerfen();
        m_ausstecken = false;
        m_ausgesteckt = false;
        m_eingesteckt = true;
    } catch (const std::system_error&) {
        // No pseudo-terminal to be had: the unit stays unplugged.
    }
    m_bedingung.notify_all();
}

std::size_t SpeicherndeSteuerung::Anfragenzahl() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Anfragen().size();
}

std::vector<std::string> SpeicherndeSteuerung::Anfragen() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Anfragen();
}

std::vector<std::string> SpeicherndeSteuerung::Abgelehnt() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Abgelehnt();
}

bool SpeicherndeSteuerung::Warten_auf_Anfragen(std::size_t n, int timeout_ms) const {
    std::unique_lock lock(m_mutex);
    return m_bedingung.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                                [&] { return m_modell.Anfragen().size() >= n; });
}

int32_t SpeicherndeSteuerung::Position(char achse) const {
    std::lock_guard lock(m_mutex);
    return m_modell.Position(achse, Zeitbasis::Zaehler());
}

Speichermodell::Einstellungen SpeicherndeSteuerung::Einstellungen() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Einstellungswerte();
}

bool SpeicherndeSteuerung::Laeuft() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Laeuft();
}

bool SpeicherndeSteuerung::Aufzeichnung() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Aufzeichnung();
}

std::vector<std::string> SpeicherndeSteuerung::Festprogramm() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Festprogramm();
}

} // namespace orvexa
