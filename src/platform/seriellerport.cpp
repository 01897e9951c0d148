#include "seriellerport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvexa {

namespace {

using Uhr = std::chrono::steady_clock;

std::optional<speed_t> Geschwindigkeit(int32_t baud) {
    switch (baud) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return std::nullopt;
    }
}

// Time left until ende for ppoll; nullptr waits without limit.
timespec* Restzeit(bool begrenzt, Uhr::time_point ende, timespec& rest) {
    if (!begrenzt) return nullptr;
    const auto ns = std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(ende - Uhr::now()).count(), 0);
    rest.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    rest.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return &rest;
}

// Sets or clears one modem line. Pseudo-terminals and some adapters have none; for them the
// request is not an error.
bool Steuerleitung_setzen(int fd, int leitung, bool an) {
    if (::ioctl(fd, an ? TIOCMBIS : TIOCMBIC, &leitung) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
}

// Whether the line has the settings asked for, the character frame (data bits, parity) aside.
bool Bis_auf_Rahmen_gleich(const termios& ist, const termios& soll) {
    constexpr tcflag_t rahmen = CSIZE | PARENB | PARODD | CMSPAR;
    return ist.c_iflag == soll.c_iflag && ist.c_oflag == soll.c_oflag &&
           ist.c_lflag == soll.c_lflag && (ist.c_cflag & ~rahmen) == (soll.c_cflag & ~rahmen) &&
           cfgetispeed(&ist) == cfgetispeed(&soll) && cfgetospeed(&ist) == cfgetospeed(&soll) &&
           ist.c_cc[VMIN] == soll.c_cc[VMIN] && ist.c_cc[VTIME] == soll.c_cc[VTIME];
}

// Takes back a pending cancel; the counter of the eventfd drops to 0.
bool Abbruch_abholen(int abbruch_fd) {
    uint64_t zaehler = 0;
    return ::read(abbruch_fd, &zaehler, sizeof zaehler) == static_cast<ssize_t>(sizeof zaehler);
}

} // namespace

SeriellerPort::SeriellerPort() {
    m_abbruch_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_abbruch_fd < 0) m_abbruch_anlegefehler = errno;
}

SeriellerPort::~SeriellerPort() {
    Schliessen();
    if (m_abbruch_fd >= 0) ::close(m_abbruch_fd);
}

bool SeriellerPort::Baudrate_gueltig(int32_t baud) {
    return Geschwindigkeit(baud).has_value();
}

std::optional<termios> SeriellerPort::Einstellungen_zu_termios(const Porteinstellungen& e,
                                                               const termios& basis) {
    const auto geschwindigkeit = Geschwindigkeit(e.Baudrate);
    const char paritaet = static_cast<char>(std::toupper(static_cast<unsigned char>(e.Paritaet)));
    if (!geschwindigkeit || (e.Datenbits != 7 && e.Datenbits != 8) ||
        (paritaet != 'N' && paritaet != 'E' && paritaet != 'O') ||
        (e.Stoppbits != 1 && e.Stoppbits != 2))
        return std::nullopt;

    termios t = basis;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IUCLC | IXON | IXOFF | IXANY | IMAXBEL | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST | OLCUC | ONLCR | OCRNL | ONOCR | ONLRET);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON |
                                        ISIG | IEXTEN | TOSTOP);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | (e.Datenbits == 7 ? CS7 : CS8);
    if (paritaet != 'N') t.c_cflag |= PARENB;
    if (paritaet == 'O') t.c_cflag |= PARODD;
    if (e.Stoppbits == 2) t.c_cflag |= CSTOPB;
    // The port is non-blocking and poll() does the waiting. VMIN 1 (rather than 0) keeps the
    // kernel's answer to a read without data at EAGAIN, so a read of 0 bytes can only mean
    // that the device has hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, *geschwindigkeit);
    cfsetospeed(&t, *geschwindigkeit);
    return t;
}

bool SeriellerPort::Oeffnen(const std::string& pfad, const Porteinstellungen& einstellungen) {
    Schliessen();
    if (m_abbruch_fd < 0) {
        Fehler_merken(m_abbruch_anlegefehler);
        return false;
    }
    if (!Einstellungen_zu_termios(einstellungen, termios{})) {
        Fehler_merken(EINVAL);
        return false;
    }

    const int fd = ::open(pfad.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Fehler_merken(errno);
        return false;
    }
    bool exklusiv = false;
    auto scheitern = [&](int fehler) {
        if (exklusiv) ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        Fehler_merken(fehler);
        return false;
    };

    termios alt{};
    if (::tcgetattr(fd, &alt) != 0) return scheitern(errno);
    // Nobody else may open the port and take our answers. Where the driver refuses, the port
    // is still usable.
    exklusiv = ::ioctl(fd, TIOCEXCL) == 0;
    const termios neu = *Einstellungen_zu_termios(einstellungen, alt);
    if (::tcsetattr(fd, TCSANOW, &neu) != 0) {
        // The C library reports EINVAL when none of the requested changes took effect. A
        // pseudo-terminal keeps 8 data bits without parity whatever is asked, so opening one
        // again with the frame it already had "changes nothing" although every other setting
        // is in place; refused, the simulated display of the angle mode could be opened once
        // only. The line is taken when all but the frame is as asked.
        const int fehler = errno;
        termios jetzt{};
        if (fehler != EINVAL || ::tcgetattr(fd, &jetzt) != 0 || !Bis_auf_Rahmen_gleich(jetzt, neu))
            return scheitern(fehler);
    }
    if (!Steuerleitung_setzen(fd, TIOCM_DTR, einstellungen.DTR) ||
        !Steuerleitung_setzen(fd, TIOCM_RTS, einstellungen.RTS))
        return scheitern(errno);

    // A cancel meant for the previous connection must not end the first read of this one.
    Abbruch_abholen(m_abbruch_fd);
    m_fd.store(fd);
    return true;
}

void SeriellerPort::Schliessen() {
    const int fd = m_fd.exchange(-1);
    if (fd < 0) return;
    // The exclusive flag sticks to a pseudo-terminal as long as its master lives; without
    // this the port could not be opened again.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

int SeriellerPort::Byte_lesen(int timeout_ms) {
    const int fd = m_fd.load();
    if (fd < 0) {
        Fehler_merken(EBADF);
        return Fehler;
    }
    const bool begrenzt = timeout_ms >= 0;
    const auto ende = Uhr::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));

    for (;;) {
        pollfd ueberwacht[2] = {{m_abbruch_fd, POLLIN, 0}, {fd, POLLIN, 0}};
        timespec rest{};
        const int bereit = ::ppoll(ueberwacht, 2, Restzeit(begrenzt, ende, rest), nullptr);
        if (bereit < 0) {
            if (errno == EINTR) continue;
            Fehler_merken(errno);
            return Fehler;
        }
        if ((ueberwacht[0].revents & POLLIN) && Abbruch_abholen(m_abbruch_fd)) return Abgebrochen;

        const short ereignisse = ueberwacht[1].revents;
        if (ereignisse & POLLNVAL) {
            Fehler_merken(EBADF);
            return Fehler;
        }
        if (ereignisse & POLLIN) {
            // Bytes that arrived before a hang-up are still delivered.
            unsigned char byte = 0;
            const ssize_t gelesen = ::read(fd, &byte, 1);
            if (gelesen == 1) return byte;
            if (gelesen == 0 || errno == EIO) {
                Fehler_merken(EIO);
                return Getrennt;
            }
            if (errno != EAGAIN && errno != EINTR) {
                Fehler_merken(errno);
                return Fehler;
            }
        }
        if (ereignisse & (POLLHUP | POLLERR)) {
            Fehler_merken(EIO);
            return Getrennt;
        }
        if (begrenzt && Uhr::now() >= ende) return Zeitueberschreitung;
    }
}

void SeriellerPort::Lesen_abbrechen() {
    if (m_abbruch_fd < 0) return;
    const uint64_t eins = 1;
    // EAGAIN would mean the counter is full: a cancel is pending anyway.
    while (::write(m_abbruch_fd, &eins, sizeof eins) < 0 && errno == EINTR) {
    }
}

int SeriellerPort::Wartende_Bytes() {
    const int fd = m_fd.load();
    if (fd < 0) {
        Fehler_merken(EBADF);
        return -1;
    }
    int anzahl = 0;
    if (::ioctl(fd, FIONREAD, &anzahl) != 0) {
        Fehler_merken(errno);
        return -1;
    }
    return anzahl;
}

bool SeriellerPort::Schreiben(std::string_view bytes, int frist_ms) {
    const int fd = m_fd.load();
    if (fd < 0) {
        Fehler_merken(EBADF);
        return false;
    }
    const bool begrenzt = frist_ms >= 0;
    const auto frist = std::chrono::milliseconds(std::max(frist_ms, 0));
    auto ende = Uhr::now() + frist;

    while (!bytes.empty()) {
        const ssize_t geschrieben = ::write(fd, bytes.data(), bytes.size());
        if (geschrieben > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(geschrieben));
            ende = Uhr::now() + frist;
            continue;
        }
        if (geschrieben < 0 && errno == EINTR) continue;
        if (geschrieben < 0 && errno != EAGAIN) {
            Fehler_merken(errno);
            return false;
        }
        // The output buffer is full: wait until the device takes bytes again.
        if (begrenzt && Uhr::now() >= ende) {
            Fehler_merken(ETIMEDOUT);
            return false;
        }
        pollfd ueberwacht{fd, POLLOUT, 0};
        timespec rest{};
        if (::ppoll(&ueberwacht, 1, Restzeit(begrenzt, ende, rest), nullptr) < 0) {
            if (errno == EINTR) continue;
            Fehler_merken(errno);
            return false;
        }
        if (ueberwacht.revents & POLLNVAL) {
            Fehler_merken(EBADF);
            return false;
        }
        if ((ueberwacht.revents & (POLLHUP | POLLERR)) && !(ueberwacht.revents & POLLOUT)) {
            Fehler_merken(EIO);
            return false;
        }
    }
    return true;
}

bool SeriellerPort::Leeren(bool empfang, bool senden) {
    if (!empfang && !senden) return true;
    const int fd = m_fd.load();
    if (fd < 0) {
        Fehler_merken(EBADF);
        return false;
    }
    const int was = empfang && senden ? TCIOFLUSH : empfang ? TCIFLUSH : TCOFLUSH;
    if (::tcflush(fd, was) != 0) {
        Fehler_merken(errno);
        return false;
    }
    return true;
}

} // namespace orvexa
