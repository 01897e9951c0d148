#include "platform/seriellerport.h"

#include "platform/ereignis.h"
#include "pseudoterminal.h"
#include "testhilfen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Pseudoterminal;
using Uhr = std::chrono::steady_clock;

namespace {

Porteinstellungen Rahmen(int32_t baud, int bits, char paritaet, int stopp) {
    Porteinstellungen e;
    e.Baudrate = baud;
    e.Datenbits = bits;
    e.Paritaet = paritaet;
    e.Stoppbits = stopp;
    return e;
}

// A line as a terminal leaves it: cooked, echoing, with flow control and another framing.
termios Gekochte_Leitung() {
    termios t{};
    t.c_iflag = ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | INPCK | ISTRIP | BRKINT | PARMRK;
    t.c_oflag = OPOST | ONLCR | OCRNL;
    t.c_lflag = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS5 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    return t;
}

std::string Alle_Bytewerte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

long long Millisekunden_seit(Uhr::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Uhr::now() - start).count();
}

// Waits for a condition the kernel fulfils asynchronously (bytes passing the pty), at most 2 s.
template <class Bedingung>
bool Warten_bis(Bedingung bedingung) {
    const auto ende = Uhr::now() + std::chrono::seconds(2);
    while (!bedingung()) {
        if (Uhr::now() >= ende) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// One Byte_lesen on its own thread. A reader still blocked at the end is cancelled, so a
// failing test does not hang.
class Leser {
public:
    Leser(SeriellerPort& port, int timeout_ms)
        : m_port(port), m_thread([this, timeout_ms] {
              gestartet.Setzen();
              m_ergebnis = m_port.Byte_lesen(timeout_ms);
              m_beendet = true;
              m_fertig.Setzen();
          }) {}
    ~Leser() {
        if (!m_beendet) m_port.Lesen_abbrechen();
        m_thread.join();
    }

    bool Fertig_binnen(int ms) { return m_fertig.Warten(ms) == Warteergebnis::signalisiert; }
    int Ergebnis() const { return m_ergebnis; }

    Ereignis gestartet;

private:
    SeriellerPort& m_port;
    Ereignis m_fertig;
    std::atomic<int> m_ergebnis{0};
    std::atomic<bool> m_beendet{false};
    std::thread m_thread;
};

} // namespace

// --- Line settings ------------------------------------------------------------------------

TEST(Porteinstellungen, AchtNEinsMachtDieLeitungRohUndOhneFlusssteuerung) {
    const auto t =
        SeriellerPort::Einstellungen_zu_termios(Rahmen(115200, 8, 'N', 1), Gekochte_Leitung());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->c_lflag & (ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t->c_iflag &
                  (ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | INPCK | ISTRIP | BRKINT | PARMRK),
              0u);
    EXPECT_EQ(t->c_oflag & OPOST, 0u);
    EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t->c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t->c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t->c_cflag & HUPCL, static_cast<tcflag_t>(HUPCL)) << "unrelated bits are kept";
    EXPECT_EQ(t->c_cc[VMIN], 1);
    EXPECT_EQ(t->c_cc[VTIME], 0);
    EXPECT_EQ(cfgetispeed(&*t), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetospeed(&*t), static_cast<speed_t>(B115200));
}

TEST(Porteinstellungen, DatenbitsParitaetUndStoppbits) {
    const termios leer{};
    const auto sieben_e_zwei =
        SeriellerPort::Einstellungen_zu_termios(Rahmen(4800, 7, 'E', 2), leer);
    ASSERT_TRUE(sieben_e_zwei);
    EXPECT_EQ(sieben_e_zwei->c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(sieben_e_zwei->c_cflag & (PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(PARENB | CSTOPB));
    EXPECT_EQ(sieben_e_zwei->c_iflag & INPCK, 0u) << "parity is sent but not checked";
    EXPECT_EQ(cfgetospeed(&*sieben_e_zwei), static_cast<speed_t>(B4800));

    const auto acht_o_eins =
        SeriellerPort::Einstellungen_zu_termios(Rahmen(19200, 8, 'o', 1), Gekochte_Leitung());
    ASSERT_TRUE(acht_o_eins);
    EXPECT_EQ(acht_o_eins->c_cflag & (CSIZE | PARENB | PARODD | CSTOPB),
              static_cast<tcflag_t>(CS8 | PARENB | PARODD));
    EXPECT_EQ(cfgetispeed(&*acht_o_eins), static_cast<speed_t>(B19200));
}

TEST(Porteinstellungen, UngueltigeWerteErgebenKeineEinstellung) {
    const termios leer{};
    for (const auto& e :
         {Rahmen(1234, 8, 'N', 1), Rahmen(115200, 6, 'N', 1), Rahmen(115200, 9, 'N', 1),
          Rahmen(115200, 8, 'M', 1), Rahmen(115200, 8, '\0', 1), Rahmen(115200, 8, 'N', 0),
          Rahmen(115200, 8, 'N', 3)})
        EXPECT_FALSE(SeriellerPort::Einstellungen_zu_termios(e, leer))
            << e.Baudrate << " " << e.Datenbits << int(e.Paritaet) << e.Stoppbits;

    for (int32_t baud : {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400})
        EXPECT_TRUE(SeriellerPort::Baudrate_gueltig(baud)) << baud;
    for (int32_t baud : {-115200, -1, 0, 300, 1200, 2401, 115201, 250000, 460800})
        EXPECT_FALSE(SeriellerPort::Baudrate_gueltig(baud)) << baud;
}

// --- Opening and a closed port ------------------------------------------------------------

TEST(SeriellerPort, OeffnenScheitertMitDemGrundDesSystems) {
    SeriellerPort port;
    EXPECT_FALSE(port.Oeffnen("/dev/orvexa-gibt-es-nicht", {}));
    EXPECT_EQ(port.Letzter_Fehler(), ENOENT);
    EXPECT_FALSE(port.Oeffnen("", {}));
    EXPECT_EQ(port.Letzter_Fehler(), ENOENT);

    test::Temporaerordner ordner;
    test::Datei_schreiben(ordner.Datei("kein_port"), "AT\r");
    EXPECT_FALSE(port.Oeffnen(ordner.Datei("kein_port"), {}));
    EXPECT_EQ(port.Letzter_Fehler(), ENOTTY);
    EXPECT_FALSE(port.Offen());
}

TEST(SeriellerPort, UngueltigeEinstellungenBeruehrenDasGeraetNicht) {
    Pseudoterminal pty;
    SeriellerPort port;
    // Checked before opening: the missing device is not even looked at.
    EXPECT_FALSE(port.Oeffnen("/dev/orvexa-gibt-es-nicht", Rahmen(1200, 8, 'N', 1)));
    EXPECT_EQ(port.Letzter_Fehler(), EINVAL);

    termios vorher{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &vorher), 0);
    EXPECT_FALSE(port.Oeffnen(pty.Slave_pfad(), Rahmen(115200, 8, 'X', 1)));
    EXPECT_EQ(port.Letzter_Fehler(), EINVAL);
    EXPECT_FALSE(port.Offen());
    termios nachher{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &nachher), 0);
    EXPECT_EQ(nachher.c_lflag, vorher.c_lflag);
}

TEST(SeriellerPort, GeschlossenerPortMeldetFehlerStattZuBlockieren) {
    SeriellerPort port;
    EXPECT_FALSE(port.Offen());
    EXPECT_EQ(port.Byte_lesen(-1), SeriellerPort::Fehler);
    EXPECT_EQ(port.Letzter_Fehler(), EBADF);
    EXPECT_FALSE(port.Schreiben("x"));
    EXPECT_EQ(port.Wartende_Bytes(), -1);
    EXPECT_FALSE(port.Leeren(true, true));
    port.Schliessen();
    port.Schliessen();

    Pseudoterminal pty;
    ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), {}));
    port.Schliessen();
    port.Schliessen();
    EXPECT_FALSE(port.Offen());
    EXPECT_EQ(port.Byte_lesen(0), SeriellerPort::Fehler);
}

// --- Over a pseudo-terminal ---------------------------------------------------------------

class PortAmPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), {})) << std::strerror(port.Letzter_Fehler());
    }

    // n bytes through the port, each within 2 s; stops at the first failed read.
    std::string Lesen(std::size_t n) {
        std::string bytes;
        while (bytes.size() < n) {
            const int b = port.Byte_lesen(2000);
            if (b < 0) break;
            bytes.push_back(static_cast<char>(b));
        }
        return bytes;
    }

    Pseudoterminal pty;
    SeriellerPort port;
};

TEST_F(PortAmPty, JederBytewertKommtInBeidenRichtungenUnveraendert) {
    // CR, LF, ETX, XON/XOFF, NUL, DEL, 0xFF and the rest would be echoed, translated,
    // swallowed or turned into signals by a cooked line.
    const std::string bytes = Alle_Bytewerte();
    ASSERT_TRUE(pty.Senden(bytes));
    EXPECT_EQ(Lesen(bytes.size()), bytes);

    ASSERT_TRUE(port.Schreiben(bytes));
    EXPECT_EQ(pty.Empfangen(bytes.size()), bytes);
    EXPECT_EQ(pty.Empfangen(1, 50), "") << "nothing echoed or added";
    EXPECT_EQ(port.Byte_lesen(0), SeriellerPort::Zeitueberschreitung);
}

TEST_F(PortAmPty, AndereRahmenUndSteuerleitungenOeffnenDenPtyEbenso) {
    // A pty has neither modem lines nor framing; the port must open regardless.
    Porteinstellungen e = Rahmen(4800, 7, 'E', 2);
    e.DTR = true;
    e.RTS = false;
    ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), e)) << std::strerror(port.Letzter_Fehler());
    ASSERT_TRUE(pty.Senden("\x02+12.5\r\n"));
    EXPECT_EQ(Lesen(8), "\x02+12.5\r\n");
}

TEST_F(PortAmPty, SiebenBitRahmenOeffnetAuchEinZweitesMal) {
    // The pty forces 8N; the second opening with the same frame changes nothing at all, which
    // the C library reports as an error.
    const Porteinstellungen e = Rahmen(4800, 7, 'E', 2);
    for (int mal = 1; mal <= 3; ++mal) {
        ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), e))
            << mal << ": " << std::strerror(port.Letzter_Fehler());
        ASSERT_TRUE(pty.Senden("\x02"));
        EXPECT_EQ(Lesen(1), "\x02");
    }
}

TEST_F(PortAmPty, WartendeBytesUndLeeren) {
    ASSERT_TRUE(pty.Senden(std::string("a\0\r", 3)));
    ASSERT_TRUE(Warten_bis([&] { return port.Wartende_Bytes() == 3; })) << port.Wartende_Bytes();
    EXPECT_TRUE(port.Leeren(false, true));
    EXPECT_EQ(port.Wartende_Bytes(), 3) << "purging the output keeps the input";

    EXPECT_TRUE(port.Leeren(true, false));
    EXPECT_EQ(port.Wartende_Bytes(), 0);
    EXPECT_EQ(port.Byte_lesen(0), SeriellerPort::Zeitueberschreitung);

    ASSERT_TRUE(pty.Senden("z"));
    EXPECT_EQ(port.Byte_lesen(2000), 'z');
    EXPECT_TRUE(port.Leeren(false, false));
}

TEST_F(PortAmPty, ZeitlimitWirdEingehalten) {
    auto start = Uhr::now();
    EXPECT_EQ(port.Byte_lesen(50), SeriellerPort::Zeitueberschreitung);
    const auto dauer = Millisekunden_seit(start);
    EXPECT_GE(dauer, 50);
    EXPECT_LT(dauer, 2000);

    start = Uhr::now();
    EXPECT_EQ(port.Byte_lesen(0), SeriellerPort::Zeitueberschreitung);
    EXPECT_LT(Millisekunden_seit(start), 1000);
}

TEST_F(PortAmPty, BlockierterLeserBekommtDasByte) {
    Leser leser(port, -1);
    ASSERT_EQ(leser.gestartet.Warten(2000), Warteergebnis::signalisiert);
    ASSERT_TRUE(pty.Senden("\xFF"));
    ASSERT_TRUE(leser.Fertig_binnen(2000));
    EXPECT_EQ(leser.Ergebnis(), 0xFF);
}

TEST_F(PortAmPty, AbbrechenWecktDenBlockiertenLeserEinmal) {
    Leser leser(port, -1);
    ASSERT_EQ(leser.gestartet.Warten(2000), Warteergebnis::signalisiert);
    EXPECT_FALSE(leser.Fertig_binnen(20)) << "returned without data or cancel";
    port.Lesen_abbrechen();
    ASSERT_TRUE(leser.Fertig_binnen(2000));
    EXPECT_EQ(leser.Ergebnis(), SeriellerPort::Abgebrochen);
    EXPECT_EQ(port.Byte_lesen(0), SeriellerPort::Zeitueberschreitung);
}

TEST_F(PortAmPty, AbbruchVorDemLesenGiltFuerDenNaechstenLesevorgang) {
    ASSERT_TRUE(pty.Senden("a"));
    ASSERT_TRUE(Warten_bis([&] { return port.Wartende_Bytes() == 1; }));
    port.Lesen_abbrechen();
    port.Lesen_abbrechen();
    // The cancel wins over waiting data, counts once, and loses no byte.
    EXPECT_EQ(port.Byte_lesen(-1), SeriellerPort::Abgebrochen);
    EXPECT_EQ(port.Byte_lesen(0), 'a');

    // A cancel left from before is dropped when the port is opened again.
    port.Lesen_abbrechen();
    ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), {}));
    ASSERT_TRUE(pty.Senden("b"));
    EXPECT_EQ(port.Byte_lesen(2000), 'b');
}

TEST_F(PortAmPty, WegfallDerGegenstelleBeendetDasLesen) {
    Leser leser(port, -1);
    ASSERT_EQ(leser.gestartet.Warten(2000), Warteergebnis::signalisiert);
    pty.Master_schliessen();
    ASSERT_TRUE(leser.Fertig_binnen(2000));
    EXPECT_EQ(leser.Ergebnis(), SeriellerPort::Getrennt);
    EXPECT_EQ(port.Letzter_Fehler(), EIO);

    // Every later call returns at once instead of hanging or spinning in the caller's loop.
    const auto start = Uhr::now();
    EXPECT_EQ(port.Byte_lesen(-1), SeriellerPort::Getrennt);
    EXPECT_EQ(port.Byte_lesen(5000), SeriellerPort::Getrennt);
    EXPECT_LT(Millisekunden_seit(start), 1000);
    EXPECT_FALSE(port.Schreiben("\r"));
    EXPECT_EQ(port.Letzter_Fehler(), EIO);
    EXPECT_EQ(port.Wartende_Bytes(), -1);
    port.Schliessen();
}

TEST_F(PortAmPty, PortIstExklusivBisZumSchliessen) {
    int exklusiv = -1;
    ASSERT_EQ(ioctl(pty.Slave(), TIOCGEXCL, &exklusiv), 0);
    EXPECT_EQ(exklusiv, 1);
    SeriellerPort zweiter;
    if (geteuid() != 0) {
        // The superuser passes the lock, everybody else is refused.
        EXPECT_FALSE(zweiter.Oeffnen(pty.Slave_pfad(), {}));
        EXPECT_EQ(zweiter.Letzter_Fehler(), EBUSY);
    }
    // Opening an open port closes it first, so its own lock does not stand in the way.
    ASSERT_TRUE(port.Oeffnen(pty.Slave_pfad(), {})) << std::strerror(port.Letzter_Fehler());

    port.Schliessen();
    ASSERT_EQ(ioctl(pty.Slave(), TIOCGEXCL, &exklusiv), 0);
    EXPECT_EQ(exklusiv, 0) << "the lock outlives the port on a pseudo-terminal";
    ASSERT_TRUE(zweiter.Oeffnen(pty.Slave_pfad(), {}));
}

TEST_F(PortAmPty, GrosseSchreibvorgaengeKommenVollstaendigAn) {
    // Far more than the kernel buffers: partial writes and waits for room must be handled.
    std::string bytes;
    for (int i = 0; i < 256 * 1024; ++i)
        bytes.push_back(static_cast<char>(i * 7 + i / 256));
    std::string empfangen;
    std::thread geraet([&] { empfangen = pty.Empfangen(bytes.size(), 10000); });
    EXPECT_TRUE(port.Schreiben(bytes)) << std::strerror(port.Letzter_Fehler());
    geraet.join();
    EXPECT_TRUE(empfangen == bytes) << empfangen.size() << " of " << bytes.size();
}

TEST_F(PortAmPty, LangsamesGeraetIstKeinStillstand) {
    // A device that keeps taking bytes, only slowly, must get the whole block even when the
    // transfer takes longer than the time allowed without progress.
    const std::string bytes(20 * 16 * 1024, '\x55');
    std::string empfangen;
    std::thread geraet([&] {
        while (empfangen.size() < bytes.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            const std::string teil = pty.Empfangen(16 * 1024, 2000);
            if (teil.empty()) break;
            empfangen += teil;
        }
    });
    const auto start = Uhr::now();
    EXPECT_TRUE(port.Schreiben(bytes, 300)) << std::strerror(port.Letzter_Fehler());
    geraet.join();
    EXPECT_EQ(empfangen.size(), bytes.size());
    EXPECT_GT(Millisekunden_seit(start), 300) << "the test did not stretch the transfer";
}

TEST_F(PortAmPty, SchreibenGibtBeiStillstandAuf) {
    // The device takes nothing: Schreiben must end once no byte was accepted for the time
    // allowed.
    const auto start = Uhr::now();
    EXPECT_FALSE(port.Schreiben(std::string(1024 * 1024, 'x'), 100));
    EXPECT_EQ(port.Letzter_Fehler(), ETIMEDOUT);
    EXPECT_LT(Millisekunden_seit(start), 2000);
}
