#include "positionsanzeige.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
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
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) Systemfehler("openpty");
    try {
        char name[256] = {};
        if (::ttyname_r(m_slave, name, sizeof name) != 0) Systemfehler("ttyname_r");
        m_pfad = name;
        termios t{};
        if (::tcgetattr(m_slave, &t) != 0) Systemfehler("tcgetattr");
        ::cfmakeraw(&t);
        if (::tcsetattr(m_slave, TCSANOW, &t) != 0) Systemfehler("tcsetattr");
        for (int fd : {m_master, m_slave})
            if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) Systemfehler("fcntl");
        const int flags = ::fcntl(m_master, F_GETFL);
        if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) Systemfehler("fcntl");
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
        const uint64_t eins = 1;
        [[maybe_unused]] auto n = ::write(m_wecker, &eins, sizeof eins);
        m_thread.join();
    }
    Schliessen(m_master);
    Schliessen(m_slave);
    Schliessen(m_wecker);
}

void Positionsanzeige::Lauf() {
    char puffer[256];
    while (!m_ende) {
        pollfd fds[2] = {{m_wecker, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) continue;
        if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
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
    }
    // A dozen bytes always fit into the pseudo-terminal's buffer.
    [[maybe_unused]] auto n = ::write(m_master, antwort.data(), antwort.size());
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
