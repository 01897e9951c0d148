#include "programmverzeichnis.h"

#include <mutex>
#include <unistd.h>

namespace orvexa {

namespace {
std::mutex g_mutex;
std::string g_verzeichnis; // empty: derive from the executable
} // namespace

std::string Programmpfad() {
    std::string pfad(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", pfad.data(), pfad.size() - 1);
    if (n <= 0) return {};
    pfad.resize(static_cast<size_t>(n));
    return pfad;
}

std::string Programmverzeichnis() {
    std::lock_guard lock(g_mutex);
    if (!g_verzeichnis.empty()) return g_verzeichnis;
    const std::string pfad = Programmpfad();
    const auto pos = pfad.rfind('/');
    return pos == std::string::npos ? std::string("./") : pfad.substr(0, pos + 1);
}

void Programmverzeichnis_setzen(const std::string& verzeichnis) {
    std::lock_guard lock(g_mutex);
    g_verzeichnis = verzeichnis;
    if (!g_verzeichnis.empty() && g_verzeichnis.back() != '/') g_verzeichnis += '/';
}

} // namespace orvexa
