// The link's cutting of the byte stream, with the controller side scripted byte by byte on a
// bare pseudo-terminal.
#include "drivers/koracom.h"

#include "core/fehler.h"
#include "kora_zeichen.h"
#include "platform/portverzeichnis.h"
#include "pseudoterminal.h"
#include "testhilfen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <utility>

namespace orvexa {
namespace {

using test::Code;
using Uhr = std::chrono::steady_clock;

using test::ack;
using test::E;
using test::nak;

class Koralink_Bytes : public test::Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        ::setenv("ORVEXA_PORTS", (ordner.Pfad() + "ports").c_str(), 1);
        pty = std::make_unique<test::Pseudoterminal>();
        ASSERT_TRUE(COM_registrieren(4, pty->Slave_pfad()));
        link = std::make_unique<TkoraCOM>();
        link->Init(4, 115200);
    }
    void TearDown() override {
        link.reset();
        pty.reset();
        Testumgebung::TearDown();
    }

    // The controller side of one exchange: takes the request, sends the answer.
    void Beantworten(const std::string& anfrage, const std::string& antwort) {
        EXPECT_EQ(pty->Empfangen(anfrage.size()), anfrage);
        EXPECT_TRUE(pty->Senden(antwort));
    }

    std::future<std::string> Austausch(std::string anfrage, int32_t frist = 512) {
        return std::async(std::launch::async, [this, anfrage = std::move(anfrage), frist] {
            return link->SendWait(anfrage, frist);
        });
    }

    std::unique_ptr<test::Pseudoterminal> pty;
    std::unique_ptr<TkoraCOM> link;
};

TEST_F(Koralink_Bytes, Antwortenden_und_Mehrbyteantwort_waehrend_des_Abschlusses) {
    auto a = Austausch("L\r");
    Beantworten("L\r", nak);
    EXPECT_EQ(a.get(), nak);
    auto abschluss = std::async(std::launch::async, [&] { return link->WaitResp(-1); });

    auto position = Austausch("@Lx\r");
    Beantworten("@Lx\r", "@Lx 12" + ack);
    EXPECT_EQ(position.get(), "@Lx 12" + ack);
    EXPECT_TRUE(pty->Senden("\x06"));
    EXPECT_EQ(abschluss.get(), ack);

    // Every control byte but SOH ends a text answer.
    for (const char ende : {'\x02', '\x03', '\x07', '\r', '\x15'}) {
        auto b = Austausch("Q\r");
        Beantworten("Q\r", std::string("E12") + ende);
        EXPECT_EQ(b.get(), std::string("E12") + ende);
    }
    auto c = Austausch("Q\r");
    Beantworten("Q\r", "a\x01"
                       "b" +
                           ack);
    EXPECT_EQ(c.get(), "a\x01"
                       "b" +
                           ack);
}

TEST_F(Koralink_Bytes, Bestaetigter_Sofortstopp_beendet_den_Abschluss_auch_ungefragt) {
    auto a = Austausch("L\r");
    Beantworten("L\r", nak);
    EXPECT_EQ(a.get(), nak);
    auto abschluss = std::async(std::launch::async, [&] { return link->WaitResp(-1); });
    // Nobody asked for this one (another program's stop, or a late answer): the move has
    // stopped all the same.
    EXPECT_TRUE(pty->Senden("@RS" + ack));
    EXPECT_EQ(abschluss.get(), "!");

    // Without a pending completion "@RS" ACK completes nothing.
    auto b = Austausch("@S\r");
    Beantworten("@S\r", "@RS" + ack);
    EXPECT_EQ(b.get(), "@RS" + ack);
    auto c = Austausch("T0\r");
    Beantworten("T0\r", ack);
    EXPECT_EQ(c.get(), ack);
}

TEST_F(Koralink_Bytes, Fehlerantwort_auf_A_gilt_als_Mehrbyteantwort_nur_solange_erwartet) {
    auto a = Austausch("@A\r");
    Beantworten("@A\r", E(6));
    EXPECT_EQ(a.get(), E(6));
    auto b = Austausch("Q\r");
    Beantworten("Q\r", E(1));
    EXPECT_EQ(b.get(), E(1));
}

TEST_F(Koralink_Bytes, Ueberlange_Antworten_werden_auf_259_Zeichen_gekuerzt) {
    auto a = Austausch("Q\r");
    Beantworten("Q\r", std::string(400, 'x') + "\r");
    EXPECT_EQ(a.get(), std::string(TkoraCOM::Puffer_max, 'x'));
    EXPECT_EQ(link->Antwort().size(), TkoraCOM::Puffer_max);

    auto b = Austausch("@V\r");
    Beantworten("@V\r", "@" + std::string(400, 'y') + ack);
    EXPECT_EQ(b.get(), "@" + std::string(TkoraCOM::Puffer_max - 1, 'y'));

    auto c = Austausch("T0\r");
    Beantworten("T0\r", ack);
    EXPECT_EQ(c.get(), ack);
}

TEST_F(Koralink_Bytes, Ohne_geoeffneten_Tag_werden_Bytes_verworfen) {
    link->SetTag(TkoraCOM::Tag_nicht_geoeffnet);
    auto a = Austausch("T0\r", 100);
    Beantworten("T0\r", ack);
    EXPECT_EQ(Code([&] { a.get(); }), WAIT_TIMEOUT);

    // To the link this was an answer that never came; the next one may be taken for it.
    link->SetTag(4);
    auto b = Austausch("T1\r", 100);
    Beantworten("T1\r", E(6));
    try {
        EXPECT_EQ(b.get(), E(6));
    } catch (const Steuerungsfehler& e) {
        EXPECT_EQ(e.code(), WAIT_TIMEOUT);
    }
    auto c = Austausch("T0\r");
    Beantworten("T0\r", ack);
    EXPECT_EQ(c.get(), ack);
}

TEST_F(Koralink_Bytes, Eigene_neue_Anfrage_nach_NAK_gibt_den_Abschluss_auf) {
    // One thread that takes the NAK and then sends again without waiting for the completion
    // would otherwise wait for itself forever.
    auto ablauf = std::async(std::launch::async, [&] {
        const std::string erste = link->SendWait("L\r", 512);
        return std::make_pair(erste, link->SendWait("T0\r", 512));
    });
    Beantworten("L\r", nak);
    EXPECT_EQ(pty->Empfangen(3), "T0\r");
    // The move's completion comes late and is not taken for the answer of T0.
    EXPECT_TRUE(pty->Senden(ack + E(6)));
    const auto [erste, zweite] = ablauf.get();
    EXPECT_EQ(erste, nak);
    EXPECT_EQ(zweite, E(6));
}

TEST_F(Koralink_Bytes, Liegengebliebene_Antworten_verfallen_mit_der_naechsten_Anfrage) {
    // A program read whose caller stops after the first answer.
    auto a = Austausch("*PR1\r", 4096);
    Beantworten("*PR1\r", "*PR1\rKopf\rL1,x5\r" + ack);
    EXPECT_EQ(a.get(), "*PR1\r");
    // Once this answer is through, everything before it has been read.
    auto b = Austausch("@V\r");
    Beantworten("@V\r", "@V k" + ack);
    EXPECT_EQ(b.get(), "@V k" + ack);

    auto c = Austausch("T0\r");
    Beantworten("T0\r", ack);
    EXPECT_EQ(c.get(), ack);
}

TEST_F(Koralink_Bytes, Folgeantworten_kommen_vollstaendig_und_in_Reihenfolge) {
    std::string folge;
    for (int i = 0; i < 12; ++i)
        folge += "Z" + std::to_string(i) + "\r";
    auto a = Austausch("*PR1\r", 4096);
    Beantworten("*PR1\r", "*PR1\r" + folge + ack);
    EXPECT_EQ(a.get(), "*PR1\r");
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(link->WaitResp(512), "Z" + std::to_string(i) + "\r");
    EXPECT_EQ(link->WaitResp(512), ack);
}

TEST_F(Koralink_Bytes, UnInit_endet_auch_wenn_niemand_die_Antworten_abholt) {
    std::string viele;
    for (int i = 0; i < 40; ++i)
        viele += "X\r";
    auto a = Austausch("*PR1\r", 4096);
    Beantworten("*PR1\r", "*PR1\r" + viele);
    EXPECT_EQ(a.get(), "*PR1\r");

    const auto beginn = Uhr::now();
    link->UnInit();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Uhr::now() - beginn).count(),
              1000);
    EXPECT_FALSE(link->bAppStarted());
}

} // namespace
} // namespace orvexa
