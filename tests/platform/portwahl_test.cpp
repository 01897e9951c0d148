// The port choice as the operator sees it, on a made-up device folder and device tree: USB
// adapters with and without a COM number, their descriptions, giving a new adapter the next
// free number through its stable name, and the hint for a port this user may not open.

#include "core/dateien.h"
#include "platform/portverzeichnis.h"

#include "testhilfen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace orvexa;
using orvexa::test::Datei_schreiben;
using orvexa::test::Scheingeraete;
using orvexa::test::Testumgebung;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

class PortwahlTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        geraete.emplace(fs::canonical(ordner.Pfad()).string());
        dev = geraete->dev;
        sys = geraete->sys;
        ports = geraete->ports;
    }
    void TearDown() override {
        geraete.reset();
        Testumgebung::TearDown();
    }

    // A node as the kernel makes it; with by_id also the udev link to it.
    void Knoten(const std::string& name, const std::string& by_id = {}) {
        Datei_schreiben(dev + "/" + name, "");
        if (!by_id.empty()) fs::create_symlink("../../" + name, dev + "/serial/by-id/" + by_id);
    }
    // The USB device above a tty node in the device tree, with maker and product.
    void Geraetebaum(const std::string& name, const std::string& hersteller,
                     const std::string& produkt) {
        const std::string usb = sys + "/devices/pci0000:00/usb1/1-2";
        const std::string schnittstelle = usb + "/1-2:1.0";
        fs::create_directories(schnittstelle + "/" + name);
        if (!hersteller.empty()) Datei_schreiben(usb + "/manufacturer", hersteller + "\n");
        Datei_schreiben(usb + "/product", produkt + "\n");
        fs::create_directories(sys + "/class/tty/" + name);
        fs::create_symlink(schnittstelle, sys + "/class/tty/" + name + "/device");
    }
    // A ttyS node with a UART behind it.
    void SerielleSchnittstelle(const std::string& name) {
        Knoten(name);
        fs::create_directories(sys + "/class/tty/" + name);
        Datei_schreiben(sys + "/class/tty/" + name + "/type", "4\n");
    }

    static std::vector<std::string> Anzeigen(const std::vector<Portangebot>& angebote) {
        std::vector<std::string> texte;
        for (const auto& a : angebote)
            texte.push_back(a.Anzeige);
        return texte;
    }

    std::string dev, sys, ports;

private:
    std::optional<Scheingeraete> geraete;
};

const std::string FTDI = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

TEST_F(PortwahlTest, AdapterMitStabilemNamenUndBeschreibung) {
    Knoten("ttyUSB0", FTDI);
    Knoten("ttyACM0", "usb-Arduino__www.arduino.cc__0043_75735-if00");
    Geraetebaum("ttyACM0", "Arduino (www.arduino.cc)", "Arduino Uno");
    Knoten("ttyUSB1");
    Knoten("ttyS0");                          // no USB adapter
    Knoten("ttyUSBx");                        // not a node name the kernel gives
    fs::create_directories(dev + "/ttyUSB7"); // nor is a folder a node

    const auto adapter = USB_Adapter_auflisten();
    ASSERT_EQ(adapter.size(), 3u);
    EXPECT_EQ(adapter[0].Knoten, dev + "/ttyACM0");
    EXPECT_EQ(adapter[0].Beschreibung, "Arduino (www.arduino.cc) Arduino Uno"); // tree first
    EXPECT_EQ(adapter[1].Knoten, dev + "/ttyUSB0");
    EXPECT_EQ(adapter[1].Stabiler_Pfad, dev + "/serial/by-id/" + FTDI);
    EXPECT_EQ(adapter[1].Beschreibung, "FTDI FT232R USB UART A50285BI"); // from the name
    EXPECT_EQ(adapter[2].Knoten, dev + "/ttyUSB1");
    EXPECT_EQ(adapter[2].Stabiler_Pfad, dev + "/ttyUSB1"); // no by-id link: the node itself
    EXPECT_EQ(adapter[2].Beschreibung, "");
}

TEST_F(PortwahlTest, VerwaisterVerweisIstKeinAdapter) {
    fs::create_symlink("../../ttyUSB4", dev + "/serial/by-id/usb-weg-if00");
    EXPECT_TRUE(USB_Adapter_auflisten().empty());
    EXPECT_TRUE(COM_Ports_zur_Wahl().empty());
}

TEST_F(PortwahlTest, NeueAdapterBekommenDieFreienNummernAngeboten) {
    SerielleSchnittstelle("ttyS0"); // COM1 without an entry is this UART
    Knoten("ttyS1");                // no UART: COM2 is free
    Knoten("ttyUSB0", FTDI);
    Knoten("ttyUSB1");
    ASSERT_TRUE(COM_registrieren(3, "/dev/gibt-es-nicht")); // an unplugged adapter's number

    const auto angebote = COM_Ports_zur_Wahl();
    EXPECT_THAT(Anzeigen(angebote), ::testing::ElementsAre("COM1  " + dev + "/ttyS0",
                                                           "COM2  " + dev +
                                                               "/ttyUSB0 (FTDI FT232R USB UART "
                                                               "A50285BI) \u2013 neu",
                                                           "COM4  " + dev + "/ttyUSB1 \u2013 neu"));
    ASSERT_EQ(angebote.size(), 3u);
    EXPECT_FALSE(angebote[0].Neu);
    EXPECT_TRUE(angebote[1].Neu);
    EXPECT_EQ(angebote[1].Nummer, 2);
    EXPECT_EQ(angebote[1].Geraet, dev + "/serial/by-id/" + FTDI);
    EXPECT_EQ(angebote[2].Nummer, 4);
    // Listing changes nothing: only choosing enters an adapter.
    EXPECT_FALSE(COM_eingetragen(2));
    EXPECT_EQ(COM_Ports_auflisten(), std::vector<std::string>{"COM1"});
}

TEST_F(PortwahlTest, GewaehlterAdapterWirdUeberSeinenStabilenNamenEingetragen) {
    SerielleSchnittstelle("ttyS0");
    Knoten("ttyUSB0", FTDI);
    const auto angebote = COM_Ports_zur_Wahl();
    ASSERT_EQ(angebote.size(), 2u);

    std::string grund;
    ASSERT_EQ(Portangebot_eintragen(angebote[1], &grund), 2) << grund;
    EXPECT_EQ(fs::read_symlink(ports + "/COM2").string(), dev + "/serial/by-id/" + FTDI);
    EXPECT_EQ(COM_Pfad(2), dev + "/ttyUSB0");
    EXPECT_EQ(COM_Nummer_von(dev + "/ttyUSB0"), 2);
    EXPECT_THAT(Protokoll().back(), HasSubstr("COM2 -> " + dev + "/serial/by-id/" + FTDI));

    // Now it is a COM port like any other, with its description, and no longer new.
    const auto danach = COM_Ports_zur_Wahl();
    EXPECT_THAT(Anzeigen(danach), ::testing::ElementsAre("COM1  " + dev + "/ttyS0",
                                                         "COM2  " + dev +
                                                             "/ttyUSB0 (FTDI FT232R USB UART "
                                                             "A50285BI)"));
    EXPECT_EQ(COM_Ports_auflisten(), (std::vector<std::string>{"COM1", "COM2"}));
    // Choosing it again makes no second entry.
    EXPECT_EQ(Portangebot_eintragen(angebote[1]), 2);
    EXPECT_FALSE(COM_eingetragen(3));

    // Re-plugged, the kernel numbers it anew; the entry follows the stable name.
    fs::remove(dev + "/ttyUSB0");
    fs::remove(dev + "/serial/by-id/" + FTDI);
    EXPECT_EQ(COM_Ports_auflisten(), std::vector<std::string>{"COM1"});
    Knoten("ttyUSB3", FTDI);
    EXPECT_EQ(COM_Pfad(2), dev + "/ttyUSB3");
    EXPECT_EQ(COM_Ports_auflisten(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(USB_Adapter_auflisten().size(), 1u);
    EXPECT_EQ(COM_Ports_zur_Wahl().size(), 2u); // not offered as new a second time
}

TEST_F(PortwahlTest, InzwischenVergebeneNummerWeichtAufDieNaechsteAus) {
    Knoten("ttyUSB0", FTDI);
    Knoten("ttyUSB1");
    const auto angebote = COM_Ports_zur_Wahl();
    ASSERT_EQ(angebote.size(), 2u);
    ASSERT_EQ(angebote[0].Nummer, 1);
    // Another program took COM1 meanwhile.
    ASSERT_TRUE(COM_registrieren(1, dev + "/ttyUSB1"));
    EXPECT_EQ(Portangebot_eintragen(angebote[0]), 2);
    EXPECT_EQ(COM_Pfad(1), dev + "/ttyUSB1");
    EXPECT_EQ(COM_Pfad(2), dev + "/ttyUSB0");
    // The second offer's device got its entry meanwhile: that entry is its number.
    EXPECT_EQ(Portangebot_eintragen(angebote[1]), 1);
}

TEST_F(PortwahlTest, AlleNummernVergeben) {
    for (int n = 1; n <= COM_Nummer_max; ++n)
        ASSERT_TRUE(COM_registrieren(n, "/dev/gibt-es-nicht"));
    Knoten("ttyUSB0", FTDI);
    EXPECT_EQ(Freie_COM_Nummer(), 0);
    EXPECT_TRUE(COM_Ports_zur_Wahl().empty());

    Portangebot a{"", 5, true, dev + "/ttyUSB0", true};
    std::string grund;
    EXPECT_EQ(Portangebot_eintragen(a, &grund), 0);
    EXPECT_THAT(grund, HasSubstr("COM63"));
}

TEST_F(PortwahlTest, EintragFehlschlaegtOhnePortverzeichnis) {
    Knoten("ttyUSB0");
    Datei_schreiben(ports, "kein Ordner");
    const auto angebote = COM_Ports_zur_Wahl();
    ASSERT_EQ(angebote.size(), 1u);
    std::string grund;
    EXPECT_EQ(Portangebot_eintragen(angebote[0], &grund), 0);
    EXPECT_THAT(grund, HasSubstr(ports));
}

TEST_F(PortwahlTest, FreieNummerUeberspringtEintraegeUndEchteSchnittstellen) {
    SerielleSchnittstelle("ttyS0");
    SerielleSchnittstelle("ttyS2");
    ASSERT_TRUE(COM_registrieren(2, "/dev/gibt-es-nicht"));
    EXPECT_EQ(Freie_COM_Nummer(), 4);
    EXPECT_EQ(Freie_COM_Nummer(5), 5);
    EXPECT_EQ(Freie_COM_Nummer(-7), 4);
    EXPECT_EQ(Freie_COM_Nummer(64), 0);
    EXPECT_EQ(COM_Pfad(4), dev + "/ttyS3"); // fallback follows the device folder
}

TEST_F(PortwahlTest, BeschreibungAusDemGeraetebaumWirdGesaeubert) {
    Knoten("ttyUSB0");
    Geraetebaum("ttyUSB0", "", "CP2102\tUSB to UART\x01" + std::string(80, 'x'));
    const std::string b = Port_Beschreibung(dev + "/ttyUSB0");
    EXPECT_EQ(b.size(), 60u);
    EXPECT_TRUE(b.starts_with("CP2102 USB to UART xx"));
    EXPECT_EQ(b.find_first_of("\t\x01"), std::string::npos);

    // A maker already named in the product is not repeated.
    Knoten("ttyACM0");
    fs::remove_all(sys + "/devices");
    fs::remove_all(sys + "/class/tty/ttyUSB0");
    Geraetebaum("ttyACM0", "Prolific", "Prolific PL2303");
    EXPECT_EQ(Port_Beschreibung(dev + "/ttyACM0"), "Prolific PL2303");
    EXPECT_EQ(Port_Beschreibung(dev + "/ttyUSB0"), "");
    EXPECT_EQ(Port_Beschreibung(dev + "/ttyUSB0", "/x/usb-Silicon_Labs_CP2102-if00-port0"),
              "Silicon Labs CP2102");
}

TEST(Portanzeige, TexteFuerDenBediener) {
    EXPECT_EQ(Portanzeige(5, "/dev/ttyUSB0", "FTDI FT232R", false, true, "dialout"),
              "COM5  /dev/ttyUSB0 (FTDI FT232R)");
    EXPECT_EQ(Portanzeige(12, "/dev/ttyACM0", "", true, true, ""),
              "COM12  /dev/ttyACM0 \u2013 neu");
    EXPECT_EQ(Portanzeige(5, "/dev/ttyUSB0", "", false, false, "dialout"),
              "COM5  /dev/ttyUSB0 (keine Berechtigung \u2013 Gruppe dialout)");
    EXPECT_EQ(Portanzeige(5, "/dev/ttyUSB0", "", false, false, ""),
              "COM5  /dev/ttyUSB0 (keine Berechtigung)");
}

// A group other than root's that this system knows, for the node of a port.
std::optional<gid_t> Fremde_Gruppe(std::string& name) {
    for (const char* kandidat : {"dialout", "uucp", "nogroup", "users"}) {
        if (const group* g = ::getgrnam(kandidat); g && g->gr_gid != 0) {
            name = g->gr_name;
            return g->gr_gid;
        }
    }
    return std::nullopt;
}

TEST_F(PortwahlTest, OhneBerechtigungMitHinweis) {
    Knoten("ttyUSB0", FTDI);
    std::string gruppe;
    const auto gid = Fremde_Gruppe(gruppe);
    if (gid) {
        ASSERT_EQ(::chown((dev + "/ttyUSB0").c_str(), 0, *gid), 0);
    }
    ASSERT_EQ(::chmod((dev + "/ttyUSB0").c_str(), 0660), 0);

    std::string zeilen;
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod((dev + "/ttyUSB0").c_str(), 0), 0);
        for (const auto& a : COM_Ports_zur_Wahl())
            zeilen += a.Anzeige + "\n";
    } else {
        // Root may open anything: ask as an ordinary user in a child process.
        fs::permissions(ordner.Pfad(), fs::perms::others_exec | fs::perms::group_exec,
                        fs::perm_options::add);
        int rohr[2];
        ASSERT_EQ(::pipe(rohr), 0);
        const pid_t kind = ::fork();
        ASSERT_GE(kind, 0);
        if (kind == 0) {
            ::close(rohr[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            std::string text;
            for (const auto& a : COM_Ports_zur_Wahl())
                text += a.Anzeige + (a.Zugriff ? "" : " !") + "\n";
            const bool ok =
                ::write(rohr[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
            ::_exit(ok ? 0 : 4);
        }
        ::close(rohr[1]);
        char puffer[1024];
        ssize_t n;
        while ((n = ::read(rohr[0], puffer, sizeof puffer)) > 0)
            zeilen.append(puffer, static_cast<std::size_t>(n));
        ::close(rohr[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(kind, &status, 0), kind);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_THAT(zeilen, HasSubstr(" !\n")); // the offer itself says so
    }
    const std::string hinweis = gid ? "(keine Berechtigung \u2013 Gruppe " + gruppe + ")"
                                    : std::string("(keine Berechtigung)");
    EXPECT_THAT(zeilen, HasSubstr("COM1  " + dev +
                                  "/ttyUSB0 (FTDI FT232R USB UART A50285BI) "
                                  "\u2013 neu " +
                                  hinweis));

    // This user (root or not, with the mode back) may open it: no hint.
    ASSERT_EQ(::chmod((dev + "/ttyUSB0").c_str(), 0666), 0);
    const auto angebote = COM_Ports_zur_Wahl();
    ASSERT_EQ(angebote.size(), 1u);
    EXPECT_TRUE(angebote[0].Zugriff);
    EXPECT_THAT(angebote[0].Anzeige, ::testing::Not(HasSubstr("Berechtigung")));
}

} // namespace
