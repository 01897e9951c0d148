#include "platform/portio.h"
#include "platform/portio_direkt.h"
#include "platform/portio_ppdev.h"

#include "testhilfen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace orvexa;
using orvexa::test::Datei_schreiben;
using orvexa::test::Temporaerordner;

namespace {

bool Enthaelt(const std::string& text, const std::string& teil) {
    return text.find(teil) != std::string::npos;
}

// A fake /proc/sys/dev/parport and /dev beside each other in a temporary folder.
class ParportbaumTest : public ::testing::Test {
protected:
    void SetUp() override {
        proc = ordner.Pfad() + "proc";
        dev = ordner.Pfad() + "dev";
        std::filesystem::create_directories(proc);
        std::filesystem::create_directories(dev);
    }

    void Port(const std::string& name, const std::string& base_addr) {
        std::filesystem::create_directories(proc + "/" + name);
        Datei_schreiben(proc + "/" + name + "/base-addr", base_addr);
    }

    Temporaerordner ordner;
    std::string proc, dev;
};

TEST_F(ParportbaumTest, FindetDasGeraetZurBasisadresse) {
    Port("parport0", "632\t1656\n");
    Port("parport1", "888\t1912\n");
    std::filesystem::create_directories(proc + "/default"); // not a port
    std::string fehler;
    EXPECT_EQ(Parport_zu_Adresse(0x378, proc, dev, fehler), dev + "/parport1");
    EXPECT_EQ(Parport_zu_Adresse(0x278, proc, dev, fehler), dev + "/parport0");

    EXPECT_EQ(Parport_zu_Adresse(0x3BC, proc, dev, fehler), "");
    EXPECT_EQ(fehler,
              "kein Parallelport an 0x3BC (vorhanden: parport0 an 0x278, parport1 an 0x378)");
}

TEST_F(ParportbaumTest, LeererFehlenderOderKaputterBaum) {
    std::string fehler;
    EXPECT_EQ(Parport_zu_Adresse(0x378, proc, dev, fehler), "");
    EXPECT_EQ(fehler, "kein Parallelport an 0x378 (" + proc + " leer)");

    EXPECT_EQ(Parport_zu_Adresse(0x378, proc + "/gibtsnicht", dev, fehler), "");
    EXPECT_TRUE(Enthaelt(fehler, "fehlt")) << fehler;

    // Unreadable or odd base-addr files and look-alike names are skipped, not trusted.
    Port("parport0", "");
    Port("parport2", "abc");
    Port("parportx", "888");
    Port("parport3", "99999999999999999999");
    EXPECT_EQ(Parport_zu_Adresse(0x378, proc, dev, fehler), "");
    EXPECT_EQ(fehler, "kein Parallelport an 0x378 (vorhanden: parport0 an ?, parport2 an ?, "
                      "parport3 an ?)");
}

TEST_F(ParportbaumTest, OeffnenNenntDenGrundUndSperrtDieRegister) {
    PortIO_ppdev port(proc, dev);
    uint8_t w = 0;
    EXPECT_FALSE(port.Lesen(0x378, w));
    EXPECT_FALSE(port.Schreiben(0x378, 0));

    Port("parport0", "888 1912");
    EXPECT_FALSE(port.Oeffnen(0x378));
    EXPECT_TRUE(Enthaelt(port.Fehlertext(), dev + "/parport0 fehlt")) << port.Fehlertext();

    // A plain file where the device should be: open works, the claim does not.
    Datei_schreiben(dev + "/parport0", "");
    EXPECT_FALSE(port.Oeffnen(0x378));
    EXPECT_TRUE(Enthaelt(port.Fehlertext(), "kein Parallelport-Gerät")) << port.Fehlertext();
    EXPECT_FALSE(port.Lesen(0x379, w));
    port.Schliessen();
    port.Schliessen();
}

TEST(IoportsTest, NurGeraetebereicheSindBelegt) {
    Temporaerordner ordner;
    const std::string datei = ordner.Datei("ioports");
    Datei_schreiben(datei, "0000-0cf7 : PCI Bus 0000:00\n"
                           "  0000-001f : dma1\n"
                           "  0060-0060 : keyboard\n"
                           "  0278-027a : parport1\n"
                           "  03f8-03ff : serial\n"
                           "0cf8-0cff : PCI conf1\n"
                           "0d00-ffff : PCI Bus 0000:00\n"
                           "  e000-e01f : 0000:00:1f.4\n"
                           "    e000-e01f : i801_smbus\n"
                           "kaputte Zeile\n");
    EXPECT_EQ(Ioport_Besitzer(0x378, datei), "");
    EXPECT_EQ(Ioport_Besitzer(0x278, datei), "");
    EXPECT_EQ(Ioport_Besitzer(0x3F8, datei), "serial");
    EXPECT_EQ(Ioport_Besitzer(0x3F6, datei), "serial"); // overlaps at its end
    EXPECT_EQ(Ioport_Besitzer(0x005E, datei), "keyboard");
    EXPECT_EQ(Ioport_Besitzer(0xE010, datei), "i801_smbus");
    EXPECT_EQ(Ioport_Besitzer(0xCF8, datei), "PCI conf1");
    EXPECT_EQ(Ioport_Besitzer(0x378, ordner.Datei("fehlt")), "");
}

TEST(PortIODirektTest, FremderBereichWirdNichtAngefasst) {
    Temporaerordner ordner;
    const std::string datei = ordner.Datei("ioports");
    Datei_schreiben(datei, "03f8-03ff : serial\n");
    PortIO_direkt port(datei);
    EXPECT_FALSE(port.Oeffnen(0x3F8));
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_TRUE(Enthaelt(port.Fehlertext(), "serial")) << port.Fehlertext();
#else
    EXPECT_EQ(port.Fehlertext(), "direkter Portzugriff nur auf x86");
#endif
    uint8_t w;
    EXPECT_FALSE(port.Lesen(0x3F8, w));
    EXPECT_FALSE(port.Schreiben(0x3F8, 0));
    EXPECT_FALSE(port.Oeffnen(0xFFFF));
    EXPECT_FALSE(port.Fehlertext().empty());
}

// A port that only records what it is asked.
class Attrappe : public PortIO {
public:
    explicit Attrappe(int nummer) : nummer(nummer) {}
    bool Oeffnen(uint16_t) override { return true; }
    void Schliessen() override {}
    bool Lesen(uint16_t, uint8_t& wert) override {
        wert = static_cast<uint8_t>(nummer);
        return true;
    }
    bool Schreiben(uint16_t, uint8_t) override { return true; }
    std::string Fehlertext() const override { return {}; }
    int nummer;
};

class PortIOFabrikTest : public ::testing::Test {
protected:
    void TearDown() override { PortIO_Fabrik_setzen(nullptr); }
};

TEST_F(PortIOFabrikTest, EchterPortOhneHardwareScheitertMitGrund) {
    if (std::filesystem::exists("/proc/sys/dev/parport"))
        GTEST_SKIP() << "this machine has a parport driver loaded";
    auto port = PortIO_erzeugen();
    ASSERT_NE(port, nullptr);
    if (port->Oeffnen(0x378)) {
        port->Schliessen();
        GTEST_SKIP() << "a parallel port answers at 0x378";
    }
    const std::string text = port->Fehlertext();
    EXPECT_TRUE(Enthaelt(text, "0x378")) << text;
    EXPECT_TRUE(Enthaelt(text, "/proc/sys/dev/parport")) << text;
    uint8_t w;
    EXPECT_FALSE(port->Lesen(0x379, w));
    EXPECT_FALSE(port->Schreiben(0x378, 0));
    port->Schliessen();
}

TEST_F(PortIOFabrikTest, FabrikErsetztDenEchtenPort) {
    int erzeugt = 0;
    PortIO_Fabrik_setzen([&] { return std::make_unique<Attrappe>(++erzeugt); });
    auto a = PortIO_erzeugen();
    auto b = PortIO_erzeugen();
    uint8_t w = 0;
    ASSERT_TRUE(a->Oeffnen(0x378));
    ASSERT_TRUE(b->Lesen(0x379, w));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(erzeugt, 2);

    // A maker that delivers nothing must not fall back to the real hardware.
    PortIO_Fabrik_setzen([] { return std::unique_ptr<PortIO>(); });
    auto leer = PortIO_erzeugen();
    ASSERT_NE(leer, nullptr);
    EXPECT_FALSE(leer->Oeffnen(0x378));
    EXPECT_FALSE(leer->Fehlertext().empty());

    PortIO_Fabrik_setzen(nullptr);
    auto echt = PortIO_erzeugen();
    EXPECT_EQ(dynamic_cast<Attrappe*>(echt.get()), nullptr);
}

TEST_F(PortIOFabrikTest, ErzeugenWaehrendDasSetzen) {
    std::atomic<bool> ende{false};
    std::thread setzer([&] {
        for (int k = 0; k < 200; ++k)
            PortIO_Fabrik_setzen([k] { return std::make_unique<Attrappe>(k); });
        ende = true;
    });
    int gezaehlt = 0;
    while (!ende || gezaehlt == 0) {
        auto port = PortIO_erzeugen();
        ASSERT_NE(port, nullptr);
        ++gezaehlt;
    }
    setzer.join();
    uint8_t w = 0;
    ASSERT_TRUE(PortIO_erzeugen()->Lesen(0, w));
    EXPECT_EQ(w, 199);
}

} // namespace
