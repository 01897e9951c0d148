#include "pseudoterminal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace orvexa::test {

namespace {

using Uhr = std::chrono::steady_clock;

int Restzeit_ms(Uhr::time_point ende) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(ende - Uhr::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

} // namespace

// posix_openpt rather than openpty: this file's own header shadows the system's <pty.h>.
Pseudoterminal::Pseudoterminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[PATH_MAX] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        const int fehler = errno;
        if (m_master >= 0) ::close(m_master);
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(fehler));
    }
    m_slave_pfad = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        const int fehler = errno;
        ::close(m_master);
        throw std::runtime_error(m_slave_pfad + ": " + std::strerror(fehler));
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

Pseudoterminal::~Pseudoterminal() {
    Master_schliessen();
    if (m_slave >= 0) ::close(m_slave);
}

void Pseudoterminal::Master_schliessen() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

bool Pseudoterminal::Senden(std::string_view bytes) {
    const auto ende = Uhr::now() + std::chrono::seconds(2);
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, Restzeit_ms(ende)) == 0) return false;
    }
    return true;
}

std::string Pseudoterminal::Empfangen(std::size_t n, int ms) {
    std::string empfangen;
    const auto ende = Uhr::now() + std::chrono::milliseconds(ms);
    while (empfangen.size() < n && m_master >= 0) {
        char puffer[4096];
        const ssize_t gelesen =
            ::read(m_master, puffer, std::min(sizeof puffer, n - empfangen.size()));
        if (gelesen > 0) {
            empfangen.append(puffer, static_cast<std::size_t>(gelesen));
            continue;
        }
        if (gelesen == 0 || (errno != EAGAIN && errno != EINTR)) break;
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, Restzeit_ms(ende)) == 0) break;
    }
    return empfangen;
}

} // namespace orvexa::test
