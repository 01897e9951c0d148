#include "dateien.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvexa {

namespace {

std::string Systemfehler(const std::string& was, int fehler) {
    return was + ": " + std::strerror(fehler) + " (errno " + std::to_string(fehler) + ")";
}

bool Alles_schreiben(int fd, std::string_view inhalt) {
    const char* p = inhalt.data();
    std::size_t rest = inhalt.size();
    while (rest > 0) {
        const ssize_t n = ::write(fd, p, rest);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        rest -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool Datei_atomar_schreiben(const std::string& pfad, std::string_view inhalt,
                            std::string* fehlertext) {
    std::string vorlage = pfad + ".tmp-XXXXXX";
    const int fd = ::mkstemp(vorlage.data());
    if (fd < 0) {
        if (fehlertext) *fehlertext = Systemfehler(pfad, errno);
        return false;
    }
    // Keep the permissions an existing file has; a new one gets the usual 0644.
    struct stat alt {};
    ::fchmod(fd, ::stat(pfad.c_str(), &alt) == 0 ? (alt.st_mode & 07777) : 0644);

    int fehler = 0;
    if (!Alles_schreiben(fd, inhalt) || ::fsync(fd) != 0) fehler = errno;
    if (::close(fd) != 0 && fehler == 0) fehler = errno;
    if (fehler == 0 && ::rename(vorlage.c_str(), pfad.c_str()) != 0) fehler = errno;
    if (fehler != 0) {
        ::unlink(vorlage.c_str());
        if (fehlertext) *fehlertext = Systemfehler(pfad, fehler);
        return false;
    }
    return true;
}

bool Datei_lesen(const std::string& pfad, std::string& inhalt) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    inhalt.clear();
    char puffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, puffer, sizeof puffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        inhalt.append(puffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool Datei_existiert(const std::string& pfad) {
    struct stat st {};
    return ::stat(pfad.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace orvexa
