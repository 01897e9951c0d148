#include "simulation.h"

#include "core/maschinenparameter.h"
#include "core/steuerungstypen.h"
#include "platform/portio.h"
#include "platform/portverzeichnis.h"

#include "seriellesteuerung.h"
#include "speicherndesteuerung.h"
#include "virtuellemaschine.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace orvexa {

namespace {

// A temporary port directory set as ORVEXA_PORTS for the life of the object; the previous
// value comes back afterwards.
class Eigener_Portordner {
public:
    Eigener_Portordner() {
        if (const char* alt = std::getenv("ORVEXA_PORTS")) m_alt = alt;
        std::string muster =
            (std::filesystem::temp_directory_path() / "orvexa2011-ports-XXXXXX").string();
        if (!mkdtemp(muster.data()))
            throw std::runtime_error("kein temporärer Portordner in " +
                                     std::filesystem::temp_directory_path().string());
        m_pfad = muster;
        ::setenv("ORVEXA_PORTS", m_pfad.c_str(), 1);
    }
    ~Eigener_Portordner() {
        if (m_alt)
            ::setenv("ORVEXA_PORTS", m_alt->c_str(), 1);
        else
            ::unsetenv("ORVEXA_PORTS");
        std::error_code ec;
        std::filesystem::remove_all(m_pfad, ec);
    }
    Eigener_Portordner(const Eigener_Portordner&) = delete;
    Eigener_Portordner& operator=(const Eigener_Portordner&) = delete;

private:
    std::string m_pfad;
    std::optional<std::string> m_alt;
};

// A controller on a pseudo-terminal registered as COM<com>: the serial types' SerielleSteuerung
// or the program-storing types' SpeicherndeSteuerung.
template <typename Steuerung>
class Serielle_Simulation : public Simulation {
public:
    Serielle_Simulation(int32_t modul, int32_t com, const Simulationsoptionen& optionen)
        : m_com(com) {
        if (optionen.Eigener_Portordner) m_ordner.emplace();
        typename Steuerung::Optionen o;
        o.Modul = modul;
        o.Zeitskala = optionen.Zeitskala;
        m_steuerung = std::make_unique<Steuerung>(o);
        if (!COM_registrieren(m_com, m_steuerung->Geraetepfad()))
            throw std::runtime_error("COM" + std::to_string(m_com) +
                                     " ließ sich nicht eintragen in " + Portverzeichnis_Ordner());
        m_registriert = true;
    }
    ~Serielle_Simulation() override {
        if (m_registriert) COM_abmelden(m_com);
        m_steuerung.reset();
    }

    std::string Beschreibung() const override {
        return "simulierte Steuerung auf " + m_steuerung->Geraetepfad() + " als COM" +
               std::to_string(m_com);
    }

private:
    // Declared first so that it goes last: the entry is removed before the folder.
    std::optional<Eigener_Portordner> m_ordner;
    std::unique_ptr<Steuerung> m_steuerung;
    int32_t m_com;
    bool m_registriert = false;
};

// Where the reference switches close: a little below the start position, so a reference run
// finds them at once.
constexpr int32_t Referenzschalter_bei = -40;

class Parallele_Simulation : public Simulation {
public:
    Parallele_Simulation(int32_t modul, uint16_t basis)
        : m_maschine(std::make_shared<VirtuelleMaschine>(basis)) {
        m_maschine->Modul_einstellen(modul);
        // A long run would otherwise keep every write.
        m_maschine->Protokollieren(false);
        for (const char achse : {'x', 'y', 'z', 'u'})
            m_maschine->Referenzschalter_setzen(achse, Referenzschalter_bei);
        PortIO_Fabrik_setzen([maschine = m_maschine]() -> std::unique_ptr<PortIO> {
            return std::make_unique<Maschinenanschluss>(maschine);
        });
    }
    ~Parallele_Simulation() override { PortIO_Fabrik_setzen({}); }

    std::string Beschreibung() const override {
        char adresse[16];
        std::snprintf(adresse, sizeof adresse, "0x%x", m_maschine->Basisadresse());
        return std::string("simulierte Maschine am Parallelport ") + adresse;
    }

private:
    std::shared_ptr<VirtuelleMaschine> m_maschine;
};

} // namespace

std::unique_ptr<Simulation> Simulation_starten(int32_t modul, int32_t comport,
                                               const Simulationsoptionen& optionen,
                                               std::string* fehler) {
    const auto ablehnen = [&](std::string grund) -> std::unique_ptr<Simulation> {
        if (fehler) *fehler = std::move(grund);
        return nullptr;
    };
    try {
        if (ist_serieller_Typ(modul) || ist_speichernder_Typ(modul)) {
            if (comport < 1 || comport > COM_Nummer_max)
                return ablehnen("COM" + std::to_string(comport) + " liegt nicht in COM1..COM" +
                                std::to_string(COM_Nummer_max));
            if (ist_speichernder_Typ(modul))
                return std::make_unique<Serielle_Simulation<SpeicherndeSteuerung>>(modul, comport,
                                                                                   optionen);
            return std::make_unique<Serielle_Simulation<SerielleSteuerung>>(modul, comport,
                                                                            optionen);
        }
        if (ist_paralleler_Typ(modul)) {
            const int32_t basis = Parametersatz().LPTAdresse;
            if (basis <= 0 || basis > 0xFFFD)
                return ablehnen("LPT-Adresse " + std::to_string(basis) + " ist ungültig");
            return std::make_unique<Parallele_Simulation>(modul, static_cast<uint16_t>(basis));
        }
    } catch (const std::exception& e) {
        return ablehnen(std::string("die Simulation ließ sich nicht starten: ") + e.what());
    }
    return ablehnen("für den Steuerungstyp " + std::to_string(modul) +
                    " gibt es keine simulierte Maschine");
}

} // namespace orvexa
