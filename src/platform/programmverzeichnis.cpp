#include "programmverzeichnis.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <unistd.h>

namespace orvexa {

namespace {
std::mutex g_mutex;
std::string g_verzeichnis; // empty: derive from the executable
std::string g_abgeleitet;  // the derived one, found once
} // namespace

std::string Programmpfad() {
    std::string pfad(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", pfad.data(), pfad.size() - 1);
    if (n <= 0) return {};
    pfad.resize(static_cast<size_t>(n));
    return pfad;
}

std::string Programmverzeichnis_waehlen(const std::string& exe_verzeichnis, bool beschreibbar,
                                        const char* xdg_data_home, const char* home) {
    if (beschreibbar) return exe_verzeichnis;
    std::string basis;
    // Relative values are to be ignored, as the XDG rules say.
    if (xdg_data_home && xdg_data_home[0] == '/')
        basis = xdg_data_home;
    else if (home && home[0] == '/')
        basis = std::string(home) + "/.local/share";
    else
        return exe_verzeichnis;
    if (basis.back() != '/') basis += '/';
    return basis + "orvexa2011/";
}

std::string Programmverzeichnis() {
    std::lock_guard lock(g_mutex);
    if (!g_verzeichnis.empty()) return g_verzeichnis;
    if (!g_abgeleitet.empty()) return g_abgeleitet;
    const std::string pfad = Programmpfad();
    const auto pos = pfad.rfind('/');
    const std::string exe = pos == std::string::npos ? std::string("./") : pfad.substr(0, pos + 1);
    g_abgeleitet = Programmverzeichnis_waehlen(exe, ::access(exe.c_str(), W_OK) == 0,
                                               std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (g_abgeleitet != exe) {
        // A folder that cannot be made shows up as the ordinary write failure later.
        std::error_code fehler;
        std::filesystem::create_directories(g_abgeleitet, fehler);
    }
    return g_abgeleitet;
}

void Programmverzeichnis_setzen(const std::string& verzeichnis) {
    std::lock_guard lock(g_mutex);
    g_verzeichnis = verzeichnis;
    if (!g_verzeichnis.empty() && g_verzeichnis.back() != '/') g_verzeichnis += '/';
}

} // namespace orvexa
