#include "seriellesteuerung.h"

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

SerielleSteuerung::SerielleSteuerung() : SerielleSteuerung(Optionen{}) {}

SerielleSteuerung::SerielleSteuerung(const Optionen& optionen) : m_modell(optionen.Modul) {
    m_modell.Zeitskala_setzen(optionen.Zeitskala);
    if (!optionen.Kennung.empty()) m_modell.Kennung_setzen(optionen.Kennung);
    m_modell.Speichergroesse_setzen(optionen.Speichergroesse);

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

SerielleSteuerung::~SerielleSteuerung() {
    Stoppen();
}

void SerielleSteuerung::Stoppen() {
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

void SerielleSteuerung::Wecken() {
    const uint64_t eins = 1;
    if (m_wecker >= 0) [[maybe_unused]]
        auto n = ::write(m_wecker, &eins, sizeof eins);
}

void SerielleSteuerung::Master_schliessen() {
    Schliessen(m_master);
    Schliessen(m_slave);
    Ausgang_verwerfen();
}

void SerielleSteuerung::Ausgang_verwerfen() {
    m_ausgehend.clear();
    m_sendepuffer.clear();
}

void SerielleSteuerung::Antworten_einreihen(std::vector<std::string> antworten, int64_t jetzt) {
    if (m_stumm) return;
    for (auto& antwort : antworten) {
        if (m_muell) antwort = m_muellbytes;
        if (m_abschneiden) {
            antwort.resize(std::min(antwort.size(), *m_abschneiden));
            m_abschneiden.reset();
        }
        int64_t faellig = jetzt + int64_t{m_verzoegerung_ms} * 1'000'000;
        if (!m_ausgehend.empty()) faellig = std::max(faellig, m_ausgehend.back().faellig);
        m_ausgehend.push_back({faellig, std::move(antwort)});
    }
}

void SerielleSteuerung::Lauf() {
    char puffer[512];
    while (!m_ende) {
        int64_t jetzt = Zeitbasis::Zaehler();
        std::optional<int64_t> naechstes;
        {
            std::lock_guard lock(m_mutex);
            if (m_ausstecken && !m_ausgesteckt) {
                Master_schliessen();
                m_ausgesteckt = true;
                m_bedingung.notify_all();
            }
            if (m_einstecken) Wieder_einstecken();
            Antworten_einreihen(m_modell.Zeit_fortschreiten(jetzt), jetzt);
            naechstes = m_modell.Naechstes_Ereignis();
        }
        while (!m_ausgehend.empty() && m_ausgehend.front().faellig <= jetzt) {
            m_sendepuffer += m_ausgehend.front().bytes;
            m_ausgehend.pop_front();
        }
        if (!m_ausgehend.empty())
            naechstes = std::min(naechstes.value_or(m_ausgehend.front().faellig),
                                 m_ausgehend.front().faellig);
        if (m_master >= 0 && !m_sendepuffer.empty()) {
            const ssize_t n = ::write(m_master, m_sendepuffer.data(), m_sendepuffer.size());
            if (n > 0)
                m_sendepuffer.erase(0, static_cast<std::size_t>(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                m_sendepuffer.clear(); // nobody can take it any more
        }

        int timeout = -1;
        if (naechstes) {
            const int64_t rest = std::max<int64_t>(0, *naechstes - jetzt);
            timeout = static_cast<int>(std::min<int64_t>((rest + 999'999) / 1'000'000, 1000));
        }
        pollfd fds[2] = {{m_wecker, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (!m_sendepuffer.empty()) fds[1].events |= POLLOUT;
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
            if (n > 0) {
                // Taken before the lock, so a test thread holding it does not shift the time.
                jetzt = Zeitbasis::Zaehler();
                std::shared_ptr<const Anfragebeobachter> beobachter;
                std::vector<std::pair<std::string, int64_t>> neue;
                {
                    std::lock_guard lock(m_mutex);
                    const std::size_t bisher = m_modell.Anfragen().size();
                    Antworten_einreihen(
                        m_modell.Bytes_empfangen(std::string_view(puffer, n), jetzt, !m_stumm),
                        jetzt);
                    beobachter = m_beobachter;
                    if (beobachter)
                        for (std::size_t i = bisher; i < m_modell.Anfragen().size(); ++i)
                            neue.emplace_back(m_modell.Anfragen()[i], m_modell.Anfragebeginn()[i]);
                    m_bedingung.notify_all();
                }
                for (const auto& [anfrage, beginn] : neue)
                    (*beobachter)(anfrage, beginn);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // The line is gone (cannot happen while our own slave end is open).
                std::lock_guard lock(m_mutex);
                Master_schliessen();
                m_ausgesteckt = true;
                m_bedingung.notify_all();
            }
        }
    }
}

void SerielleSteuerung::Zeitskala_setzen(double skala) {
    std::lock_guard lock(m_mutex);
    m_modell.Zeitskala_setzen(skala);
}

bool SerielleSteuerung::Eingang_setzen(char eingang, bool pegel) {
    std::lock_guard lock(m_mutex);
    return m_modell.Eingang_setzen(eingang, pegel);
}

void SerielleSteuerung::Watchdog_Ausgang_setzen(int nummer) {
    std::lock_guard lock(m_mutex);
    m_modell.Watchdog_Ausgang_setzen(nummer);
}

void SerielleSteuerung::Stumm_schalten(bool stumm) {
    std::lock_guard lock(m_mutex);
    m_stumm = stumm;
}

void SerielleSteuerung::Antwortverzoegerung_setzen(int ms) {
    std::lock_guard lock(m_mutex);
    m_verzoegerung_ms = std::max(ms, 0);
}

void SerielleSteuerung::Muell_senden(bool an, std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_muell = an;
    m_muellbytes = std::move(bytes);
}

void SerielleSteuerung::Naechste_Antwort_abschneiden(std::size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_abschneiden = bytes;
}

void SerielleSteuerung::Ausstecken() {
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

void SerielleSteuerung::Anfragebeobachter_setzen(Anfragebeobachter beobachter) {
    std::lock_guard lock(m_mutex);
    m_beobachter =
        beobachter ? std::make_shared<const Anfragebeobachter>(std::move(beobachter)) : nullptr;
}

bool SerielleSteuerung::Einstecken() {
    std::unique_lock lock(m_mutex);
    if (!m_ausgesteckt) return true;
    if (!m_thread.joinable() || m_ende) return false;
    m_einstecken = true;
    m_eingesteckt = false;
    Wecken();
    m_bedingung.wait_for(lock, std::chrono::seconds(5), [this] { return !m_einstecken; });
    return m_eingesteckt;
}

void SerielleSteuerung::Wieder_einstecken() {
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

std::size_t SerielleSteuerung::Anfragenzahl() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Anfragen().size();
}

std::vector<std::string> SerielleSteuerung::Anfragen() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Anfragen();
}

bool SerielleSteuerung::Warten_auf_Anfragen(std::size_t n, int timeout_ms) const {
    std::unique_lock lock(m_mutex);
    return m_bedingung.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                                [&] { return m_modell.Anfragen().size() >= n; });
}

int32_t SerielleSteuerung::Position(char achse) const {
    std::lock_guard lock(m_mutex);
    return m_modell.Position(achse, Zeitbasis::Zaehler());
}

Steuerungsmodell::Einstellungen SerielleSteuerung::Einstellungen() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Einstellungswerte();
}

bool SerielleSteuerung::Speichermodus() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Speichermodus();
}

bool SerielleSteuerung::Bewegung_laeuft() const {
    std::lock_guard lock(m_mutex);
    return m_modell.Bewegung_laeuft();
}

std::optional<Steuerungsmodell::Programm> SerielleSteuerung::Programmplatz(int nummer) const {
    std::lock_guard lock(m_mutex);
    return m_modell.Programmplatz(nummer);
}

} // namespace orvexa
