#include "simulation.h"

#include "angle/wt_parameter.h"
#include "core/maschinenparameter.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "platform/portio.h"
#include "platform/portverzeichnis.h"

#include "positionsanzeige.h"
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

// The KXCU and the position display reading its x axis, each on its own COM port.
class Winkel_Simulation : public Simulation {
public:
    Winkel_Simulation(const WT_Parameter& p, int32_t kxcu_com, int32_t anzeige_com,
                      const Simulationsoptionen& optionen)
        : m_kxcu_com(kxcu_com), m_anzeige_com(anzeige_com) {
        if (optionen.Eigener_Portordner) m_ordner.emplace();
        SpeicherndeSteuerung::Optionen o;
        o.Modul = WT_Modul();
        o.Zeitskala = optionen.Zeitskala;
        o.Vorgabe_Startfreq = p.WT_Startfreq;
        o.Vorgabegeschwindigkeit = p.WT_Endfreq;
        m_kxcu = std::make_unique<SpeicherndeSteuerung>(o);
        Positionsanzeige::Optionen a;
        a.Modell.Schritte_pro_Grad = p.Umrechnungsfaktor;
        a.Schritte = [kxcu = m_kxcu.get()] { return kxcu->Position('x'); };
        m_anzeige = std::make_unique<Positionsanzeige>(std::move(a));
        Eintragen(m_kxcu_com, m_kxcu->Geraetepfad(), m_kxcu_registriert);
        Eintragen(m_anzeige_com, m_anzeige->Geraetepfad(), m_anzeige_registriert);
    }
    ~Winkel_Simulation() override {
        if (m_anzeige_registriert) COM_abmelden(m_anzeige_com);
        if (m_kxcu_registriert) COM_abmelden(m_kxcu_com);
        // The display asks the controller for its position: it goes first.
        m_anzeige.reset();
        m_kxcu.reset();
    }

    std::string Beschreibung() const override {
        return "simulierte KXCU auf " + m_kxcu->Geraetepfad() + " als COM" +
               std::to_string(m_kxcu_com) + ", simulierte ND261-Anzeige auf " +
               m_anzeige->Geraetepfad() + " als COM" + std::to_string(m_anzeige_com);
    }

private:
    static void Eintragen(int32_t com, const std::string& pfad, bool& registriert) {
        if (!COM_registrieren(com, pfad))
            throw std::runtime_error("COM" + std::to_string(com) +
                                     " ließ sich nicht eintragen in " + Portverzeichnis_Ordner());
        registriert = true;
    }

    std::optional<Eigener_Portordner> m_ordner;
    std::unique_ptr<SpeicherndeSteuerung> m_kxcu;
    std::unique_ptr<Positionsanzeige> m_anzeige;
    int32_t m_kxcu_com;
    int32_t m_anzeige_com;
    bool m_kxcu_registriert = false;
    bool m_anzeige_registriert = false;
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

WT_Parameter Winkelsimulation_Vorgaben() {
    WT_Parameter p;
    p.KXCU_Com = "COM3";
    p.ND261_Com = "COM2";
    p.Umrechnungsfaktor = 200;
    p.WT_Startfreq = 400;
    p.WT_Endfreq = 2000;
    p.WT_Reffreq = 1000;
    p.WT_Rampe = 100;
    p.uebersteuern = 0.5;
    p.annaehern = 5;
    p.schrittweise = 10;
    return p;
}

std::unique_ptr<Simulation> Winkelsimulation_starten(const WT_Parameter& parameter,
                                                     const Simulationsoptionen& optionen,
                                                     std::string* fehler) {
    const auto ablehnen = [&](std::string grund) -> std::unique_ptr<Simulation> {
        if (fehler) *fehler = std::move(grund);
        return nullptr;
    };
    const int32_t kxcu = COM_Nummer_lesen(parameter.KXCU_Com);
    const int32_t anzeige = COM_Nummer_lesen(parameter.ND261_Com);
    for (const auto& [text, nummer] :
         {std::pair{parameter.KXCU_Com, kxcu}, std::pair{parameter.ND261_Com, anzeige}})
        if (nummer < 1 || nummer > COM_Nummer_max)
            return ablehnen("der Port \"" + text + "\" liegt nicht in COM1..COM" +
                            std::to_string(COM_Nummer_max));
    if (kxcu == anzeige) return ablehnen("KXCU und ND261 sind beide an COM" + std::to_string(kxcu));
    try {
        return std::make_unique<Winkel_Simulation>(parameter, kxcu, anzeige, optionen);
    } catch (const std::exception& e) {
        return ablehnen(std::string("die Simulation ließ sich nicht starten: ") + e.what());
    }
}

} // namespace orvexa
