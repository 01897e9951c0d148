// Starting the simulated machine for a controller type, and what it leaves behind.

#include "simulation.h"

#include "core/maschinenparameter.h"
#include "platform/portio.h"
#include "platform/portverzeichnis.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

using namespace orvexa;
using orvexa::test::Testumgebung;
using ::testing::HasSubstr;

namespace {

class SimulationTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Parameter_Standardwerte();
        if (const char* alt = std::getenv("ORVEXA_PORTS")) alte_ports = alt;
        ports = ordner.Datei("ports");
        ::setenv("ORVEXA_PORTS", ports.c_str(), 1);
    }
    void TearDown() override {
        PortIO_Fabrik_setzen({});
        if (alte_ports)
            ::setenv("ORVEXA_PORTS", alte_ports->c_str(), 1);
        else
            ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }
    static std::string Ports() { return std::getenv("ORVEXA_PORTS"); }

    std::optional<std::string> alte_ports;
    std::string ports;
};

TEST_F(SimulationTest, SeriellerTypInEigenemPortordner) {
    auto sim = Simulation_starten(5, 3, {.Zeitskala = 0});
    ASSERT_NE(sim, nullptr);
    const std::string eigener = Ports();
    EXPECT_NE(eigener, ports);
    EXPECT_THAT(COM_Pfad(3), HasSubstr("/dev/pts/"));
    EXPECT_TRUE(ist_echter_Port(COM_Pfad(3)));
    EXPECT_THAT(sim->Beschreibung(), HasSubstr("COM3"));
    EXPECT_FALSE(std::filesystem::exists(ports + "/COM3"));

    sim.reset();
    EXPECT_EQ(Ports(), ports);
    EXPECT_FALSE(std::filesystem::exists(eigener));
}

TEST_F(SimulationTest, SeriellerTypImVorgegebenenPortordner) {
    auto sim = Simulation_starten(13, 63, {.Zeitskala = 0, .Eigener_Portordner = false});
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(Ports(), ports);
    EXPECT_TRUE(std::filesystem::is_symlink(ports + "/COM63"));
    sim.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(ports + "/COM63")));
}

TEST_F(SimulationTest, SpeicherndeTypenAufEigenemPseudoterminal) {
    for (const int32_t modul : {2, 3}) {
        auto sim = Simulation_starten(modul, 6, {.Zeitskala = 0, .Eigener_Portordner = false});
        ASSERT_NE(sim, nullptr) << modul;
        EXPECT_THAT(COM_Pfad(6), HasSubstr("/dev/pts/"));
        EXPECT_THAT(sim->Beschreibung(), HasSubstr("COM6"));
        sim.reset();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(ports + "/COM6")));
    }
}

TEST_F(SimulationTest, ParallelerTypHinterDemPortzugang) {
    auto sim = Simulation_starten(4, 0);
    ASSERT_NE(sim, nullptr);
    EXPECT_THAT(sim->Beschreibung(), HasSubstr("0x378"));
    auto port = PortIO_erzeugen();
    EXPECT_FALSE(port->Oeffnen(0x278));
    ASSERT_TRUE(port->Oeffnen(0x378));
    uint8_t status = 0;
    ASSERT_TRUE(port->Lesen(0x379, status));
    // The driver may hold its port a little longer than the simulation lives.
    sim.reset();
    EXPECT_TRUE(port->Schreiben(0x378, 0x02));
    EXPECT_TRUE(port->Lesen(0x379, status));
}

TEST_F(SimulationTest, OhneSimulatorOderMitFalschemPortKeineMaschine) {
    std::string fehler;
    for (const int32_t modul : {8, -1, 99}) {
        fehler.clear();
        EXPECT_EQ(Simulation_starten(modul, 1, {}, &fehler), nullptr) << modul;
        EXPECT_THAT(fehler, HasSubstr(std::to_string(modul)));
    }
    for (const int32_t com : {0, 64, -3}) {
        fehler.clear();
        EXPECT_EQ(Simulation_starten(5, com, {}, &fehler), nullptr) << com;
        EXPECT_THAT(fehler, HasSubstr("COM" + std::to_string(com)));
        EXPECT_EQ(Ports(), ports);
    }
    Parametersatz().LPTAdresse = 0x10000;
    EXPECT_EQ(Simulation_starten(7, 1, {}, &fehler), nullptr);
    // Without a place for the reason the refusal still works.
    EXPECT_EQ(Simulation_starten(9, 1), nullptr);
}

} // namespace
