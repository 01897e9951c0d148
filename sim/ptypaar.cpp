#include "ptypaar.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace orvexa {

Ptypaar Ptypaar_oeffnen() {
    Ptypaar paar;
    if (::openpty(&paar.master, &paar.slave, nullptr, nullptr, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    const auto fehler = [&paar](const char* was) {
        const int nummer = errno;
        ::close(paar.master);
        ::close(paar.slave);
        throw std::system_error(nummer, std::generic_category(), was);
    };
    char name[256] = {};
    if (::ttyname_r(paar.slave, name, sizeof name) != 0) fehler("ttyname_r");
    paar.pfad = name;
    termios t{};
    if (::tcgetattr(paar.slave, &t) != 0) fehler("tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(paar.slave, TCSANOW, &t) != 0) fehler("tcsetattr");
    for (int fd : {paar.master, paar.slave})
        if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) fehler("fcntl");
    const int flags = ::fcntl(paar.master, F_GETFL);
    if (flags < 0 || ::fcntl(paar.master, F_SETFL, flags | O_NONBLOCK) != 0) fehler("fcntl");
    return paar;
}

} // namespace orvexa
