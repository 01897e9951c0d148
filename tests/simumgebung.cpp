#include "simumgebung.h"

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/standardtreiber.h"
#include "platform/portverzeichnis.h"

#include <algorithm>
#include <cstdlib>

namespace orvexa::test {

void SerielleSimulation::SetUp() {
    Testumgebung::SetUp();
    ::setenv("ORVEXA_PORTS", ordner.Datei("ports").c_str(), 1);
    Maschinenparameter& p = Parametersatz();
    p.Modul = 5;
    p.ComPort = portnummer;
    p.Baudrate = 115200;
    p.Startfreq = 400;
    p.Arbeitsfreq = 2000;
    p.Eilfreq = 4000;
    p.Rampenlaenge = 100;
    p.RefFreq = 1000;
    Standardtreiber_einrichten();
}

void SerielleSimulation::TearDown() {
    Steuerung_schliessen();
    Steuerungsmodule_freigeben();
    sim.reset();
    ::unsetenv("ORVEXA_PORTS");
    Testumgebung::TearDown();
}

void SerielleSimulation::Achsen_einstellen(int32_t schritte) {
    Maschinenparameter& p = Parametersatz();
    p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
    p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = schritte;
}

void SerielleSimulation::Simulator_oeffnen(const SerielleSteuerung::Optionen& optionen) {
    sim = std::make_unique<SerielleSteuerung>(optionen);
    ASSERT_TRUE(COM_registrieren(portnummer, sim->Geraetepfad()));
    Serielle_Linie_erzeugen();
    steuerungsname = Steuerung_erzeugen();
    Schnittstelle_beschreiben();
    ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
}

void SerielleSimulation::Verbinden(const SerielleSteuerung::Optionen& optionen) {
    ASSERT_NO_FATAL_FAILURE(Simulator_oeffnen(optionen));
    ASSERT_TRUE(Version_abfragen());
    Zaehlung_neu();
}

void SerielleSimulation::Verbinden(double zeitskala) {
    SerielleSteuerung::Optionen optionen;
    optionen.Zeitskala = zeitskala;
    Verbinden(optionen);
}

void SerielleSimulation::Zaehlung_neu() {
    basis = sim->Anfragen().size();
}

SerielleSimulation::Zeilen_t SerielleSimulation::Anfragen_seit(std::size_t ab) const {
    const Zeilen_t alle = sim->Anfragen();
    return Zeilen_t(alle.begin() + static_cast<std::ptrdiff_t>(std::min(ab, alle.size())),
                    alle.end());
}

SerielleSimulation::Zeilen_t SerielleSimulation::Neue_Befehle() const {
    Zeilen_t befehle;
    for (const auto& a : Neue_Anfragen())
        if (!a.starts_with("@L")) befehle.push_back(a);
    return befehle;
}

SerielleSimulation::Zeilen_t SerielleSimulation::Neue_Anfragen_abholen() {
    // One snapshot, so that a request arriving in between is neither lost nor counted twice.
    const Zeilen_t alle = sim->Anfragen();
    Zeilen_t neu(alle.begin() + static_cast<std::ptrdiff_t>(std::min(basis, alle.size())),
                 alle.end());
    basis = alle.size();
    return neu;
}

bool SerielleSimulation::Warten_auf_neue_Anfragen(std::size_t n, int ms) {
    return sim->Warten_auf_Anfragen(basis + n, ms);
}

} // namespace orvexa::test
