#include "platform/portverzeichnis.h"

#include "pseudoterminal.h"
#include "testhilfen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Pseudoterminal;
using orvexa::test::Temporaerordner;

namespace {

std::optional<std::string> Umgebung(const char* name) {
    const char* wert = std::getenv(name);
    return wert ? std::optional<std::string>(wert) : std::nullopt;
}

void Umgebung_setzen(const char* name, const std::optional<std::string>& wert) {
    if (wert)
        ::setenv(name, wert->c_str(), 1);
    else
        ::unsetenv(name);
}

std::string Verweisziel(const std::string& pfad) {
    return std::filesystem::read_symlink(pfad).string();
}

class PortverzeichnisTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_alt_ports = Umgebung("ORVEXA_PORTS");
        m_alt_home = Umgebung("HOME");
        ports = ordner.Pfad() + "ports";
        ::setenv("ORVEXA_PORTS", ports.c_str(), 1);
    }
    void TearDown() override {
        Umgebung_setzen("ORVEXA_PORTS", m_alt_ports);
        Umgebung_setzen("HOME", m_alt_home);
    }

    Temporaerordner ordner;
    std::string ports;

private:
    std::optional<std::string> m_alt_ports, m_alt_home;
};

TEST_F(PortverzeichnisTest, OrdnerAusUmgebungOderHeimatverzeichnis) {
    ::setenv("ORVEXA_PORTS", "/irgendwo/ports//", 1);
    EXPECT_EQ(Portverzeichnis_Ordner(), "/irgendwo/ports");

    ::setenv("HOME", "/home/bediener", 1);
    ::unsetenv("ORVEXA_PORTS");
    EXPECT_EQ(Portverzeichnis_Ordner(), "/home/bediener/.config/orvexa2011/ports");
    ::setenv("ORVEXA_PORTS", "", 1);
    EXPECT_EQ(Portverzeichnis_Ordner(), "/home/bediener/.config/orvexa2011/ports");

    // Without HOME the account database gives the home directory.
    ::unsetenv("HOME");
    const std::string ordner_ohne_home = Portverzeichnis_Ordner();
    EXPECT_FALSE(ordner_ohne_home.empty());
    EXPECT_TRUE(ordner_ohne_home.ends_with("/.config/orvexa2011/ports"));
}

TEST_F(PortverzeichnisTest, OhneEintragNurCom1Bis4AufTtyS) {
    EXPECT_EQ(COM_Pfad(1), "/dev/ttyS0");
    EXPECT_EQ(COM_Pfad(4), "/dev/ttyS3");
    EXPECT_EQ(COM_Pfad(5), "");
    EXPECT_EQ(COM_Pfad(63), "");
    EXPECT_EQ(COM_Pfad(0), "");
    EXPECT_EQ(COM_Pfad(-1), "");
    EXPECT_EQ(COM_Pfad(64), "");
}

TEST_F(PortverzeichnisTest, RegistrierenLegtOrdnerAnUndErsetztAtomar) {
    ports = ordner.Pfad() + "a/b/ports";
    ::setenv("ORVEXA_PORTS", ports.c_str(), 1);
    Pseudoterminal erstes, zweites;

    // A stable name in front of the device, as /dev/serial/by-id gives it: the entry keeps
    // that name, the lookup resolves it.
    const std::string by_id = ordner.Pfad() + "usb-Adapter_1234-if00";
    std::filesystem::create_symlink(erstes.Slave_pfad(), by_id);
    ASSERT_TRUE(COM_registrieren(2, by_id));
    EXPECT_EQ(Verweisziel(ports + "/COM2"), by_id);
    EXPECT_EQ(COM_Pfad(2), erstes.Slave_pfad());

    ASSERT_TRUE(COM_registrieren(2, zweites.Slave_pfad()));
    EXPECT_EQ(COM_Pfad(2), zweites.Slave_pfad());

    // No temporary names are left behind.
    std::vector<std::string> namen;
    for (const auto& e : std::filesystem::directory_iterator(ports))
        namen.push_back(e.path().filename().string());
    EXPECT_EQ(namen, std::vector<std::string>{"COM2"});
}

TEST_F(PortverzeichnisTest, RelativerPfadGiltVomArbeitsverzeichnis) {
    const auto alt = std::filesystem::current_path();
    std::filesystem::current_path(ordner.Pfad());
    const bool ok = COM_registrieren(9, "geraet");
    std::filesystem::current_path(alt);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Verweisziel(ports + "/COM9"), ordner.Pfad() + "geraet");
}

TEST_F(PortverzeichnisTest, UngueltigeRegistrierungen) {
    EXPECT_FALSE(COM_registrieren(0, "/dev/null"));
    EXPECT_FALSE(COM_registrieren(64, "/dev/null"));
    EXPECT_FALSE(COM_registrieren(5, ""));
    EXPECT_FALSE(COM_registrieren(5, std::string("/dev/n\0ll", 9)));
    EXPECT_FALSE(std::filesystem::exists(ports));

    // The port directory's place is taken by a file.
    test::Datei_schreiben(ports, "kein Ordner");
    EXPECT_FALSE(COM_registrieren(5, "/dev/null"));
    EXPECT_EQ(COM_Pfad(5), "");
    EXPECT_TRUE(COM_abmelden(5));
}

TEST_F(PortverzeichnisTest, VerwaisterEintragFaelltNichtAufTtySZurueck) {
    ASSERT_TRUE(COM_registrieren(2, "/dev/gibt-es-nicht"));
    EXPECT_EQ(COM_Pfad(2), "/dev/gibt-es-nicht");
    EXPECT_FALSE(ist_echter_Port(COM_Pfad(2)));

    // A relative link target stays relative to the port directory.
    std::filesystem::create_symlink("fehlt", ports + "/COM6");
    EXPECT_EQ(COM_Pfad(6), ports + "/fehlt");
}

// A pseudo-terminal counts as a port only while an entry points at it; otherwise every
// terminal window would be offered.
TEST_F(PortverzeichnisTest, PseudoterminalZaehltNurSolangeEingetragen) {
    Pseudoterminal eingetragen, fremd;
    ASSERT_TRUE(COM_registrieren(3, eingetragen.Slave_pfad()));
    EXPECT_EQ(COM_Pfad(3), eingetragen.Slave_pfad());
    EXPECT_TRUE(ist_echter_Port(eingetragen.Slave_pfad()));
    EXPECT_FALSE(ist_echter_Port(fremd.Slave_pfad()));

    EXPECT_TRUE(COM_abmelden(3));
    EXPECT_EQ(COM_Pfad(3), "/dev/ttyS2");
    EXPECT_FALSE(ist_echter_Port(eingetragen.Slave_pfad()));
    EXPECT_TRUE(std::filesystem::exists(eingetragen.Slave_pfad())); // only the entry went
    EXPECT_TRUE(COM_abmelden(3));                                   // nothing left to remove
    EXPECT_FALSE(COM_abmelden(0));
    EXPECT_FALSE(COM_abmelden(64));
}

TEST_F(PortverzeichnisTest, KeineSeriellenGeraete) {
    const std::string datei = ordner.Datei("ttyUSB0");
    test::Datei_schreiben(datei, "");
    EXPECT_FALSE(ist_echter_Port(""));
    EXPECT_FALSE(ist_echter_Port("/dev/gibt-es-nicht"));
    EXPECT_FALSE(ist_echter_Port(datei));
    EXPECT_FALSE(ist_echter_Port(ordner.Pfad()));
    EXPECT_FALSE(ist_echter_Port("/dev/null")); // a character device, but no port
    ASSERT_TRUE(COM_registrieren(8, "/dev/null"));
    EXPECT_FALSE(ist_echter_Port("/dev/null"));
}

} // namespace
