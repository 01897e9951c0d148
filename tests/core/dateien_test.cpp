#include "core/dateien.h"

#include "platform/portverzeichnis.h"
#include "platform/programmverzeichnis.h"
#include "pseudoterminal.h"
#include "testhilfen.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Pseudoterminal;
using orvexa::test::Temporaerordner;
using orvexa::test::Testumgebung;

namespace {

// --- koraCloseHandle -------------------------------------------------------------------------

class SchliessenTest : public Testumgebung {};

TEST_F(SchliessenTest, GueltigerDeskriptorWirdStillGeschlossen) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    koraCloseHandle(fd);
    errno = 0;
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_TRUE(Protokoll().empty());
}

TEST_F(SchliessenTest, FehlschlagWirdEinmalProtokolliert) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::close(fd), 0);
    koraCloseHandle(fd); // returns instead of retrying
    EXPECT_EQ(Protokoll(), std::vector<std::string>{"      koraCloseHandle() :: GetLastError()=9"});
}

TEST_F(SchliessenTest, NegativeWerteWerdenUebergangen) {
    koraCloseHandle(-1);
    koraCloseHandle(-42);
    EXPECT_TRUE(Protokoll().empty());
}

// --- Dateizeiten_setzen ----------------------------------------------------------------------

constexpr time_t Alt = 1'000'000'000;
constexpr time_t Gesetzt = 1'422'622'800; // 2015-01-30 13:00:00 UTC

std::tm Zeitpunkt_2015() {
    std::tm t{};
    t.tm_year = 115;
    t.tm_mon = 0;
    t.tm_mday = 30;
    t.tm_hour = 13;
    t.tm_isdst = 1; // ignored: the time is UTC
    return t;
}

class DateizeitenTest : public Testumgebung {
protected:
    // A file with old times.
    std::string Anlegen(const std::string& name) {
        const std::string pfad = ordner.Datei(name);
        test::Datei_schreiben(pfad, "x");
        Zeit_setzen(pfad, Alt);
        return pfad;
    }
    static void Zeit_setzen(const std::string& pfad, time_t t) {
        const timespec zeiten[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, pfad.c_str(), zeiten, AT_SYMLINK_NOFOLLOW), 0) << pfad;
    }
    // Access and modification time, both to the nanosecond.
    static void Zeit_pruefen(const std::string& name, const std::string& pfad, time_t t) {
        struct stat st {};
        ASSERT_EQ(::lstat(pfad.c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mtim.tv_sec, t) << name;
        EXPECT_EQ(st.st_mtim.tv_nsec, 0) << name;
        EXPECT_EQ(st.st_atim.tv_sec, t) << name;
        EXPECT_EQ(st.st_atim.tv_nsec, 0) << name;
    }
};

TEST_F(DateizeitenTest, PassendeDateienBekommenDieZeitInUtc) {
    const std::vector<std::string> passend = {"a.cpp", "B.H",       "c.Dat", "d.edt", "e.PNG",
                                              "f.obj", "x.tar.txt", "g.lnk", "h.bat", "i.exe",
                                              "j.res", "k.fpc",     "l.dfm", "m.bpr", "n.EDT"};
    const std::vector<std::string> fremd = {"o.xyz", "ohne",  "punkt.", "p.cpp.bak",
                                            "qcpp",  "r.hpp", "s.ed"};
    for (const auto& n : passend)
        Anlegen(n);
    for (const auto& n : fremd)
        Anlegen(n);

    // A folder whose name matches, with a matching file inside: neither is touched.
    const std::string unter = ordner.Datei("unter.txt");
    std::filesystem::create_directory(unter);
    const std::string innen = unter + "/innen.cpp";
    test::Datei_schreiben(innen, "x");
    Zeit_setzen(innen, Alt);
    Zeit_setzen(unter, Alt);

    // A link out of the folder is not followed; a FIFO must neither block nor count.
    Temporaerordner draussen;
    const std::string fremde_datei = draussen.Datei("fremd.txt");
    test::Datei_schreiben(fremde_datei, "x");
    Zeit_setzen(fremde_datei, Alt);
    std::filesystem::create_symlink(fremde_datei, ordner.Datei("verweis.txt"));
    ASSERT_EQ(::mkfifo(ordner.Datei("rohr.dat").c_str(), 0644), 0);

    EXPECT_EQ(Dateizeiten_setzen(Zeitpunkt_2015(), "edt", "dat"), static_cast<int>(passend.size()));

    for (const auto& n : passend)
        Zeit_pruefen(n, ordner.Datei(n), Gesetzt);
    for (const auto& n : fremd)
        Zeit_pruefen(n, ordner.Datei(n), Alt);
    Zeit_pruefen("unter.txt", unter, Alt);
    Zeit_pruefen("innen.cpp", innen, Alt);
    Zeit_pruefen("fremd.txt", fremde_datei, Alt);
}

TEST_F(DateizeitenTest, MaskenOhneRuecksichtAufGrossschreibung) {
    const std::string edt = Anlegen("tabelle.edt");
    const std::string dom = Anlegen("auftrag.Dom");
    EXPECT_EQ(Dateizeiten_setzen(Zeitpunkt_2015(), "EDT", "dOM"), 2);
    Zeit_pruefen("tabelle.edt", edt, Gesetzt);
    Zeit_pruefen("auftrag.Dom", dom, Gesetzt);
}

TEST_F(DateizeitenTest, LeereMaskeTrifftNichts) {
    const std::string cpp = Anlegen("a.cpp");
    const std::string ohne = Anlegen("ohne");
    const std::string punkt = Anlegen("punkt.");
    const std::string edt = Anlegen("d.edt");
    EXPECT_EQ(Dateizeiten_setzen(Zeitpunkt_2015(), "", ""), 1);
    Zeit_pruefen("a.cpp", cpp, Gesetzt);
    Zeit_pruefen("ohne", ohne, Alt);
    Zeit_pruefen("punkt.", punkt, Alt);
    Zeit_pruefen("d.edt", edt, Alt);
}

TEST_F(DateizeitenTest, FehlendesProgrammverzeichnis) {
    Programmverzeichnis_setzen(ordner.Pfad() + "gibt-es-nicht/");
    EXPECT_EQ(Dateizeiten_setzen(Zeitpunkt_2015(), "edt", "dat"), 0);
}

// --- COM_Ports_auflisten ---------------------------------------------------------------------

class PortlisteTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        const char* alt = std::getenv("ORVEXA_PORTS");
        if (alt) m_alt = alt;
        m_hatte_alt = alt != nullptr;
        ports = ordner.Pfad() + "ports";
        ::setenv("ORVEXA_PORTS", ports.c_str(), 1);
        // COM1..COM4 would otherwise mean this machine's own ttyS0..3.
        test::Datei_schreiben(ordner.Datei("keine-schnittstelle"), "");
        ASSERT_TRUE(COM_registrieren(1, ordner.Datei("keine-schnittstelle")));
        for (int n = 2; n <= 4; ++n)
            ASSERT_TRUE(COM_registrieren(n, "/dev/gibt-es-nicht"));
    }
    void TearDown() override {
        if (m_hatte_alt)
            ::setenv("ORVEXA_PORTS", m_alt.c_str(), 1);
        else
            ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    std::string ports;

private:
    std::string m_alt;
    bool m_hatte_alt = false;
};

TEST_F(PortlisteTest, NurEingetrageneEchtePortsAufsteigend) {
    Pseudoterminal com12, com7, fremd;
    ASSERT_TRUE(COM_registrieren(12, com12.Slave_pfad()));
    ASSERT_TRUE(COM_registrieren(7, com7.Slave_pfad()));
    ASSERT_TRUE(COM_registrieren(20, "/dev/null"));
    ASSERT_TRUE(COM_registrieren(21, "/dev/gibt-es-nicht"));
    ASSERT_TRUE(COM_registrieren(22, ordner.Datei("keine-schnittstelle")));
    // Names past COM63 are not ports.
    std::filesystem::create_symlink(fremd.Slave_pfad(), ports + "/COM64");

    EXPECT_EQ(COM_Ports_auflisten(), (std::vector<std::string>{"COM7", "COM12"}));
    EXPECT_EQ(COM_Ports_mit_Geraet(), (std::vector<std::string>{"COM7 (" + COM_Pfad(7) + ")",
                                                                "COM12 (" + COM_Pfad(12) + ")"}));
    EXPECT_EQ(COM_Pfad(7), std::filesystem::canonical(com7.Slave_pfad()).string());
}

TEST_F(PortlisteTest, VerschwundenesGeraetFaelltHeraus) {
    Pseudoterminal com7;
    Pseudoterminal com12;
    // Registered through a stable link as an adapter is; unplugging it takes the link away.
    // (Closing the pseudo-terminal instead would free its number for a parallel test.)
    const std::string by_id = ordner.Datei("usb-Adapter_if00");
    std::filesystem::create_symlink(com7.Slave_pfad(), by_id);
    ASSERT_TRUE(COM_registrieren(7, by_id));
    ASSERT_TRUE(COM_registrieren(12, com12.Slave_pfad()));
    ASSERT_EQ(COM_Ports_auflisten(), (std::vector<std::string>{"COM7", "COM12"}));
    std::filesystem::remove(by_id);
    EXPECT_EQ(COM_Ports_auflisten(), std::vector<std::string>{"COM12"});
}

} // namespace
