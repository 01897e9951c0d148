#include "testhilfen.h"

#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "platform/programmverzeichnis.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvexa::test {

Temporaerordner::Temporaerordner() {
    std::string muster = (std::filesystem::temp_directory_path() / "orvexa-test-XXXXXX").string();
    if (!mkdtemp(muster.data())) throw std::runtime_error("mkdtemp failed");
    m_pfad = muster + "/";
}

Temporaerordner::~Temporaerordner() {
    std::error_code ec;
    // A test may have made the folder read-only; give the permissions back before removing.
    std::filesystem::permissions(m_pfad, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_pfad, ec);
}

std::string Datei_lesen(const std::string& pfad) {
    std::ifstream datei(pfad, std::ios::binary);
    std::ostringstream inhalt;
    inhalt << datei.rdbuf();
    return inhalt.str();
}

void Datei_schreiben(const std::string& pfad, const std::string& inhalt) {
    std::ofstream datei(pfad, std::ios::binary | std::ios::trunc);
    datei << inhalt;
}

std::vector<std::string> Zeilen(const std::string& inhalt) {
    std::vector<std::string> zeilen;
    std::string zeile;
    std::istringstream strom(inhalt);
    while (std::getline(strom, zeile)) {
        if (!zeile.empty() && zeile.back() == '\r') zeile.pop_back();
        zeilen.push_back(zeile);
    }
    return zeilen;
}

Scheingeraete::Scheingeraete(const std::string& wurzel)
    : dev(wurzel + "/dev"), sys(wurzel + "/sys"), ports(wurzel + "/ports") {
    std::filesystem::create_directories(dev + "/serial/by-id");
    std::filesystem::create_directories(sys + "/class/tty");
    for (const auto& [name, wert] :
         {std::pair<const char*, const std::string&>{"ORVEXA_PORTS", ports},
          {"ORVEXA_DEV", dev},
          {"ORVEXA_SYS", sys}}) {
        const char* alt = std::getenv(name);
        m_alt.emplace_back(name, alt ? std::optional<std::string>(alt) : std::nullopt);
        ::setenv(name, wert.c_str(), 1);
    }
}

Scheingeraete::~Scheingeraete() {
    for (const auto& [name, wert] : m_alt) {
        if (wert)
            ::setenv(name.c_str(), wert->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

void Testumgebung::SetUp() {
    Programmverzeichnis_setzen(ordner.Pfad());
    Oberflaeche_setzen(&ui);
    Parametersatz() = Maschinenparameter{};
    Steuerung().Abbruch = false;
    Steuerung().Version.clear();
    Steuerung().Schnittstelle.clear();
    Steuerung().Einstellung.clear();
    Stopp = false;
}

void Testumgebung::TearDown() {
    Steuerungsmodule_freigeben();
    Treiberfabrik_setzen({});
    Oberflaeche_setzen(nullptr);
    Programmverzeichnis_setzen({});
}

std::vector<std::string> Testumgebung::Protokoll() const {
    return Zeilen(Datei_lesen(Protokolldateiname()));
}

} // namespace orvexa::test
