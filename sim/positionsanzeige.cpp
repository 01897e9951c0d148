#include "positionsanzeige.h"

#include "platform/zeitbasis.h"
#include "ptypaar.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace orvexa {

namespace {

constexpr char STX = 0x02;

[[noreturn]] void Systemfehler(const char* was) {
    throw std::system_error(errno, std::generic_category(), was);
}

void Schliessen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

double Anzeigemodell::Winkel(int32_t schritte) {
    const double motor = schritte;
    const double halb = m_o.Umkehrspiel / 2;
    if (!m_tisch)
        m_tisch = motor;
    else if (motor - *m_tisch > halb)
        m_tisch = motor - halb;
    else if (motor - *m_tisch < -halb)
        m_tisch = motor + halb;
    const double je_grad = m_o.Schritte_pro_Grad * (1 + m_o.Getriebefehler);
    return (je_grad != 0 ? *m_tisch / je_grad : 0) + m_o.Nullfehler;
}

std::string Anzeigemodell::Antwort(double winkel) {
    char text[40];
    // Beyond ten characters the display would overflow; it shows its largest value.
    const double betrag = std::min(std::fabs(winkel), 999999.999);
    std::snprintf(text, sizeof text, "%c%10.3f\r\n", winkel < 0 ? '-' : '+', betrag);
    return text;
}

Positionsanzeige::Positionsanzeige(Optionen optionen)
    : m_o(std::move(optionen)), m_modell(m_o.Modell) {
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

Positionsanzeige::~Positionsanzeige() {
    m_ende = true;
    if (m_thread.joinable()) {
        Wecken();
        m_thread.join();
    }
    Schliessen(m_master);
    Schliessen(m_slave);
    Schliessen(m_wecker);
}

void Positionsanzeige::Wecken() {
    const uint64_t eins = 1;
    [[maybe_unused]] auto n = ::write(m_wecker, &eins, sizeof eins);
}

void Positionsanzeige::Stecker_pruefen() {
    std::lock_guard lock(m_mutex);
    if (m_ausstecken && !m_ausgesteckt) {
        Schliessen(m_master);
        Schliessen(m_slave);
        m_verspaetet.clear();
        m_zurueckgehalten = 0;
        m_ausgesteckt = true;
        m_bedingung.notify_all();
    }
    if (m_einstecken) {
        m_einstecken = false;
        try {
            Ptypaar paar = Ptypaar_oeffnen();
            m_master = paar.master;
            m_slave = paar.slave;
            m_pfad = std::move(paar.pfad);
            m_ausstecken = false;
            m_ausgesteckt = false;
            m_eingesteckt = true;
        } catch (const std::system_error&) {
            // No pseudo-terminal to be had: the display stays unplugged.
        }
        m_bedingung.notify_all();
    }
}

void Positionsanzeige::Lauf() {
    char puffer[256];
    while (!m_ende) {
        Stecker_pruefen();
        // Answers held back by the delay leave in order once they are due.
        const int64_t jetzt = Zeitbasis::Zaehler();
        while (!m_verspaetet.empty() && m_verspaetet.front().faellig <= jetzt) {
            if (m_master >= 0) {
                const std::string& bytes = m_verspaetet.front().bytes;
                [[maybe_unused]] auto n = ::write(m_master, bytes.data(), bytes.size());
            }
            m_verspaetet.pop_front();
            Zurueckgehaltene_melden();
        }
        int timeout = -1;
        if (!m_verspaetet.empty())
            timeout = static_cast<int>(std::min<int64_t>(
                (m_verspaetet.front().faellig - jetzt + 999'999) / 1'000'000, 1000));
        pollfd fds[2] = {{m_wecker, POLLIN, 0}, {m_master, POLLIN, 0}};
        const nfds_t anzahl = m_master >= 0 ? 2 : 1;
        if (::poll(fds, anzahl, timeout) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t wert;
            [[maybe_unused]] auto n = ::read(m_wecker, &wert, sizeof wert);
            continue;
        }
        if (anzahl < 2 || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = ::read(m_master, puffer, sizeof puffer);
        if (n <= 0) {
            // The program closed its side (EIO on a pseudo-terminal); wait for the next open
            // without spinning.
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            pollfd w{m_wecker, POLLIN, 0};
            ::poll(&w, 1, 20);
            continue;
        }
        for (ssize_t i = 0; i < n; ++i)
            if (puffer[i] == STX) Beantworten();
    }
}

void Positionsanzeige::Beantworten() {
    const double winkel = m_modell.Winkel(m_o.Schritte ? m_o.Schritte() : 0);
    std::string antwort = Anzeigemodell::Antwort(winkel);
    int verzoegerung_ms = 0;
    {
        std::lock_guard lock(m_mutex);
        ++m_anfragen;
        m_bedingung.notify_all();
        if (m_stumm) return;
        if (m_muell) antwort = m_muellbytes;
        if (m_abschneiden) {
            antwort.resize(std::min(antwort.size(), *m_abschneiden));
            m_abschneiden.reset();
        }
        verzoegerung_ms = m_verzoegerung_ms;
    }
    if (verzoegerung_ms > 0 || !m_verspaetet.empty()) {
        int64_t faellig = Zeitbasis::Zaehler() + int64_t{verzoegerung_ms} * 1'000'000;
        if (!m_verspaetet.empty()) faellig = std::max(faellig, m_verspaetet.back().faellig);
        m_verspaetet.push_back({faellig, std::move(antwort)});
        Zurueckgehaltene_melden();
        return;
    }
    // A dozen bytes always fit into the pseudo-terminal's buffer.
    [[maybe_unused]] auto n = ::write(m_master, antwort.data(), antwort.size());
}

void Positionsanzeige::Zurueckgehaltene_melden() {
    std::lock_guard lock(m_mutex);
    m_zurueckgehalten = m_verspaetet.size();
    m_bedingung.notify_all();
}

bool Positionsanzeige::Verspaetete_abwarten(int timeout_ms) const {
    std::unique_lock lock(m_mutex);
    return m_bedingung.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                                [this] { return m_zurueckgehalten == 0; });
}

void Positionsanzeige::Antwortverzoegerung_setzen(int ms) {
    std::lock_guard lock(m_mutex);
    m_verzoegerung_ms = std::max(ms, 0);
}

void Positionsanzeige::Ausstecken() {
    std::unique_lock lock(m_mutex);
    m_ausstecken = true;
    Wecken();
    m_bedingung.wait_for(lock, std::chrono::seconds(5), [this] { return m_ausgesteckt; });
}

bool Positionsanzeige::Einstecken() {
    std::unique_lock lock(m_mutex);
    if (!m_ausgesteckt) return true;
    m_einstecken = true;
    m_eingesteckt = false;
    Wecken();
    m_bedingung.wait_for(lock, std::chrono::seconds(5), [this] { return !m_einstecken; });
    return m_eingesteckt;
}

void Positionsanzeige::Stumm_schalten(bool stumm) {
    std::lock_guard lock(m_mutex);
    m_stumm = stumm;
}

void Positionsanzeige::Naechste_Antwort_abschneiden(std::size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_abschneiden = bytes;
}

void Positionsanzeige::Muell_senden(bool an, std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_muell = an;
    m_muellbytes = std::move(bytes);
}

std::size_t Positionsanzeige::Anfragen() const {
    std::lock_guard lock(m_mutex);
    return m_anfragen;
}

bool Positionsanzeige::Warten_auf_Anfragen(std::size_t n, int timeout_ms) const {
    std::unique_lock lock(m_mutex);
    return m_bedingung.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                                [&] { return m_anfragen >= n; });
}

} // namespace orvexa
