#include "virtuellemaschine.h"

#include "platform/zeitbasis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace orvexa;

namespace {

constexpr uint16_t B = 0x378;
constexpr uint8_t Halb[8] = {0x27, 0x2D, 0x1C, 0x0D, 0x03, 0x09, 0x38, 0x29};
constexpr uint8_t Voll[4] = {0x04, 0x00, 0x20, 0x24};

class VirtuelleMaschineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(vm.Oeffnen(B)); }

    // One step/direction cycle as the driver makes it: direction and step bits in one write,
    // then the step bits cleared.
    void Takt(uint8_t byte) {
        ASSERT_TRUE(vm.Schreiben(B, byte));
        ASSERT_TRUE(vm.Schreiben(B, byte & 0x55));
    }

    // A phase byte with a strobe that is long enough.
    void Phase(uint8_t byte) {
        ASSERT_TRUE(vm.Schreiben(B, byte));
        ASSERT_TRUE(vm.Schreiben(B + 2, vm.Steuerregister() | 1));
        Zeitbasis::Warten_aktiv(VirtuelleMaschine::Strobe_mindestens_ns);
        ASSERT_TRUE(vm.Schreiben(B + 2, vm.Steuerregister() & ~1));
    }

    int32_t Lage(char a) const { return vm.Position(a); }

    VirtuelleMaschine vm{B};
};

TEST(VirtuelleMaschineZugriff, RegisterNurNachOeffnenUndAnDerEigenenBasis) {
    VirtuelleMaschine vm(B);
    uint8_t w = 0;
    EXPECT_FALSE(vm.Schreiben(B, 1));
    EXPECT_FALSE(vm.Lesen(B, w));

    EXPECT_FALSE(vm.Oeffnen(0x278));
    EXPECT_NE(vm.Fehlertext().find("0x278"), std::string::npos);
    EXPECT_FALSE(vm.Offen());

    ASSERT_TRUE(vm.Oeffnen(B));
    EXPECT_TRUE(vm.Fehlertext().empty());
    EXPECT_TRUE(vm.Schreiben(B, 0x5A));
    ASSERT_TRUE(vm.Lesen(B, w));
    EXPECT_EQ(w, 0x5A);
    EXPECT_FALSE(vm.Schreiben(B + 3, 0));
    EXPECT_FALSE(vm.Lesen(B - 1, w));
    EXPECT_FALSE(vm.Lesen(B + 3, w));

    // The status register cannot be written; trying is a fault of the caller.
    EXPECT_FALSE(vm.Schreiben(B + 1, 0));
    EXPECT_EQ(vm.Fehlerzahl(), 1);

    vm.Schliessen();
    EXPECT_FALSE(vm.Lesen(B, w));
    EXPECT_FALSE(vm.Schreiben(B, 0));
}

TEST(VirtuelleMaschineZugriff, BasisAmEndeDesAdressraumsWirdAbgelehnt) {
    VirtuelleMaschine vm(0xFFFF);
    EXPECT_FALSE(vm.Oeffnen(0xFFFF));
    EXPECT_FALSE(vm.Fehlertext().empty());
    uint8_t w;
    EXPECT_FALSE(vm.Lesen(0xFFFF, w));
}

TEST_F(VirtuelleMaschineTest, TaktRichtungJedeAchseInBeideRichtungen) {
    const char achsen[4] = {'x', 'y', 'z', 'u'};
    for (int i = 0; i < 4; ++i) {
        const uint8_t richtung = static_cast<uint8_t>(1u << (2 * i));
        const uint8_t schritt = static_cast<uint8_t>(1u << (2 * i + 1));
        for (int k = 0; k < 5; ++k)
            Takt(richtung | schritt);
        for (int k = 0; k < 3; ++k)
            Takt(schritt);
        EXPECT_EQ(Lage(achsen[i]), 2) << achsen[i];
    }
    EXPECT_EQ(vm.Schrittzahl(), 32);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
    EXPECT_EQ(Lage('X'), 2);
    EXPECT_EQ(Lage('q'), 0);
}

TEST_F(VirtuelleMaschineTest, MehrereAchsenInEinemSchreiben) {
    // x +, y -, z +, u - together; then only y and u.
    Takt(0x03 | 0x08 | 0x30 | 0x80);
    Takt(0x08 | 0x80);
    EXPECT_EQ(Lage('x'), 1);
    EXPECT_EQ(Lage('y'), -2);
    EXPECT_EQ(Lage('z'), 1);
    EXPECT_EQ(Lage('u'), -2);
}

TEST_F(VirtuelleMaschineTest, GehaltenesSchrittbitZaehltNurEinmal) {
    ASSERT_TRUE(vm.Schreiben(B, 0x03));
    ASSERT_TRUE(vm.Schreiben(B, 0x03)); // still high: no new edge
    ASSERT_TRUE(vm.Schreiben(B, 0x02)); // direction changes while high: no edge either
    ASSERT_TRUE(vm.Schreiben(B, 0x00));
    EXPECT_EQ(Lage('x'), 1);
}

TEST_F(VirtuelleMaschineTest, RichtungswechselImSchrittWirdGezaehltAberNichtAlsFehler) {
    Takt(0x03); // direction rises with the step
    Takt(0x03);
    Takt(0x02); // falls with the step
    EXPECT_EQ(vm.Richtungswechsel_beim_Schritt(), 2);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
    EXPECT_EQ(Lage('x'), 1);
}

TEST_F(VirtuelleMaschineTest, KuerzesterSchrittpulsAusDenZeitstempeln) {
    EXPECT_EQ(vm.Kuerzester_Schrittpuls_ns(), -1);
    ASSERT_TRUE(vm.Schreiben(B, 0x02));
    Zeitbasis::Warten_aktiv(50'000);
    ASSERT_TRUE(vm.Schreiben(B, 0x00));
    EXPECT_GE(vm.Kuerzester_Schrittpuls_ns(), 50'000);

    ASSERT_TRUE(vm.Schreiben(B, 0x08)); // y
    ASSERT_TRUE(vm.Schreiben(B, 0x00));
    const auto p = vm.Schreibprotokoll();
    ASSERT_EQ(p.size(), 4u);
    const int64_t lang = p[1].ns - p[0].ns, kurz = p[3].ns - p[2].ns;
    EXPECT_EQ(vm.Kuerzester_Schrittpuls_ns(), std::min(lang, kurz));
}

TEST_F(VirtuelleMaschineTest, SchreibprotokollMonotonAbschaltbarUndBegrenzt) {
    for (int k = 0; k < 100; ++k)
        Takt(0x03);
    ASSERT_TRUE(vm.Schreiben(B + 2, 0x04));
    auto p = vm.Schreibprotokoll();
    ASSERT_EQ(p.size(), 201u);
    for (std::size_t i = 1; i < p.size(); ++i)
        EXPECT_LE(p[i - 1].ns, p[i].ns);
    EXPECT_EQ(p[0].adresse, B);
    EXPECT_EQ(p[0].wert, 0x03);
    EXPECT_EQ(p[1].wert, 0x01);
    EXPECT_EQ(p.back().adresse, B + 2);
    EXPECT_EQ(p.back().wert, 0x04);

    vm.Schreibprotokoll_leeren();
    vm.Protokollieren(false);
    Takt(0x03);
    EXPECT_TRUE(vm.Schreibprotokoll().empty());
    EXPECT_EQ(Lage('x'), 101); // decoding goes on without the record

    vm.Protokollieren(true);
    vm.Protokollgrenze_setzen(5);
    for (int k = 0; k < 4; ++k)
        Takt(0x03);
    EXPECT_EQ(vm.Schreibprotokoll().size(), 5u);
    EXPECT_EQ(vm.Verworfene_Eintraege(), 3u);
    EXPECT_EQ(Lage('x'), 105);
}

TEST_F(VirtuelleMaschineTest, AusgangspinsNachDerPintabelle) {
    // Start: strobe line idle high, everything else off.
    EXPECT_TRUE(vm.Ausgang(1));
    EXPECT_FALSE(vm.Ausgang(14));
    EXPECT_FALSE(vm.Ausgang(16));
    EXPECT_FALSE(vm.Ausgang(17));

    ASSERT_TRUE(vm.Schreiben(B + 2, 0x00)); // 1, 14, 17 on (inverted), 16 off
    EXPECT_TRUE(vm.Ausgang(1));
    EXPECT_TRUE(vm.Ausgang(14));
    EXPECT_FALSE(vm.Ausgang(16));
    EXPECT_TRUE(vm.Ausgang(17));

    ASSERT_TRUE(vm.Schreiben(B + 2, 0x0F));
    EXPECT_FALSE(vm.Ausgang(1));
    EXPECT_FALSE(vm.Ausgang(14));
    EXPECT_TRUE(vm.Ausgang(16));
    EXPECT_FALSE(vm.Ausgang(17));
    EXPECT_FALSE(vm.Ausgang(2));
    uint8_t w = 0;
    ASSERT_TRUE(vm.Lesen(B + 2, w));
    EXPECT_EQ(w, 0x0F);
    // Control writes do not step a step/direction card.
    EXPECT_EQ(vm.Schrittzahl(), 0);
}

TEST_F(VirtuelleMaschineTest, StatusbitsJeEingangsmodusMitInvertiertemPin11) {
    // Modul 0/1: every switch on pin 11, active high; pin 11 low shows as bit 7 set.
    vm.Eingangsmodus_fuer_Modul(1);
    EXPECT_EQ(vm.Statusregister(), 0xF8);
    EXPECT_FALSE(vm.Eingang(11));
    vm.Position_setzen('z', -1000);
    EXPECT_EQ(vm.Statusregister(), 0x78);
    EXPECT_TRUE(vm.Eingang(11));
    uint8_t w = 0;
    ASSERT_TRUE(vm.Lesen(B + 1, w));
    EXPECT_EQ(w, 0x78);
    vm.Position_setzen('z', -999); // just off the switch
    EXPECT_EQ(vm.Statusregister(), 0xF8);

    // Modul 4: x 11, y 12, z 13, u 15, active low; resting levels all high.
    vm.Eingangsmodus_fuer_Modul(4);
    EXPECT_EQ(vm.Statusregister(), 0x78);
    vm.Position_setzen('x', -2000);
    EXPECT_EQ(vm.Statusregister(), 0xF8); // pin 11 low
    vm.Position_setzen('x', 0);
    vm.Position_setzen('y', -1000);
    EXPECT_EQ(vm.Statusregister(), 0x58);
    vm.Position_setzen('y', 0);
    vm.Position_setzen('z', -1000);
    EXPECT_EQ(vm.Statusregister(), 0x68);
    vm.Position_setzen('z', 0);
    vm.Position_setzen('u', -1000);
    EXPECT_EQ(vm.Statusregister(), 0x70);
    vm.Position_setzen('u', 0);

    // Modul 7: x 10, y 11, z 12, u shares pin 10; active low.
    vm.Eingangsmodus_fuer_Modul(7);
    EXPECT_EQ(vm.Statusregister(), 0x78);
    vm.Position_setzen('x', -1000);
    EXPECT_EQ(vm.Statusregister(), 0x38);
    vm.Position_setzen('u', -1000);
    vm.Position_setzen('x', 0);
    EXPECT_EQ(vm.Statusregister(), 0x38);
    vm.Position_setzen('u', 0);
    vm.Position_setzen('y', -1000);
    EXPECT_EQ(vm.Statusregister(), 0xF8);
}

TEST_F(VirtuelleMaschineTest, SchalterpunktAbwesenheitUndErzwungeneEingaenge) {
    vm.Eingangsmodus_fuer_Modul(1);
    vm.Referenzschalter_setzen('x', 50);
    EXPECT_TRUE(vm.Referenzschalter_aktiv('x'));
    EXPECT_TRUE(vm.Eingang(11));
    vm.Referenzschalter_setzen('x', 50, false);
    vm.Position_setzen('x', -100000);
    EXPECT_FALSE(vm.Referenzschalter_aktiv('x'));
    EXPECT_FALSE(vm.Eingang(11));

    vm.Eingang_erzwingen(11, true);
    EXPECT_EQ(vm.Statusregister() & 0x80, 0);
    vm.Eingang_erzwingen(13, false);
    EXPECT_EQ(vm.Statusregister() & 0x10, 0);
    vm.Eingang_erzwingen(11, std::nullopt);
    EXPECT_EQ(vm.Statusregister() & 0x80, 0x80);
    vm.Eingang_erzwingen(99, true); // ignored
    vm.Eingang_erzwingen(-1, true);
    EXPECT_FALSE(vm.Eingang(99));
}

TEST_F(VirtuelleMaschineTest, SchalterReagiertAufDekodierteSchritte) {
    vm.Eingangsmodus_fuer_Modul(4);
    vm.Referenzschalter_setzen('y', -3);
    for (int k = 0; k < 2; ++k)
        Takt(0x08); // y -
    EXPECT_TRUE(vm.Eingang(12));
    Takt(0x08);
    EXPECT_FALSE(vm.Eingang(12));
    Takt(0x0C); // y + leaves the switch
    EXPECT_TRUE(vm.Eingang(12));
}

TEST_F(VirtuelleMaschineTest, HalbschrittVorUndZurueck) {
    vm.Modul_einstellen(0);
    // The index starts at 0, as the driver's does: the first step writes index 1.
    for (int k = 1; k <= 9; ++k)
        Phase(Halb[k % 8]);
    EXPECT_EQ(Lage('x'), 9);
    EXPECT_EQ(vm.Phasenindex('x'), 1);
    for (int k = 0; k <= 3; ++k)
        Phase(static_cast<uint8_t>(Halb[(8 - k) % 8] + 64)); // y backwards from 0
    EXPECT_EQ(Lage('y'), -3);
    EXPECT_EQ(vm.Phasenmuster('y'), Halb[5]);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
    EXPECT_GE(vm.Kuerzester_Strobepuls_ns(), VirtuelleMaschine::Strobe_mindestens_ns);
}

TEST_F(VirtuelleMaschineTest, VollschrittVorUndZurueck) {
    vm.Modul_einstellen(0);
    for (int k = 1; k <= 6; ++k)
        Phase(static_cast<uint8_t>(Voll[k % 4] + 128));
    EXPECT_EQ(Lage('z'), 6);
    for (int k = 5; k >= 0; --k)
        Phase(static_cast<uint8_t>(Voll[k % 4] + 128));
    EXPECT_EQ(Lage('z'), 0);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
}

TEST_F(VirtuelleMaschineTest, StillstandsmusterIstKeinSchritt) {
    vm.Modul_einstellen(0);
    vm.Phasentabellen_setzen(VirtuelleMaschine::Phasenbetrieb::Vollschritt);
    Phase(Voll[1]);
    Phase(0x29); // 60 % standstill of index 2 ...
    Phase(0x2D); // ... and of index 3: the same patterns as half-step running ones
    EXPECT_EQ(Lage('x'), 1);
    Phase(Voll[2]);
    EXPECT_EQ(Lage('x'), 2);
    Phase(Voll[2]); // same index again
    EXPECT_EQ(Lage('x'), 2);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
}

TEST_F(VirtuelleMaschineTest, DatenOhneStrobeWerdenNichtUebernommen) {
    vm.Modul_einstellen(0);
    ASSERT_TRUE(vm.Schreiben(B, Halb[1]));
    ASSERT_TRUE(vm.Schreiben(B, Halb[2]));
    EXPECT_EQ(Lage('x'), 0);
    EXPECT_EQ(vm.Phasenmuster('x'), 0);
}

TEST_F(VirtuelleMaschineTest, PhasenfehlerWerdenGezaehlt) {
    vm.Modul_einstellen(0);
    Phase(Halb[1]);
    Phase(Halb[3]); // a jump by two
    EXPECT_EQ(vm.Fehlerzahl(), 1);
    EXPECT_EQ(Lage('x'), 1);
    EXPECT_EQ(vm.Phasenindex('x'), 3); // follows the card from there

    Phase(0xC0 | Halb[4]); // axis value 3 does not exist
    EXPECT_EQ(vm.Fehlerzahl(), 2);

    // The data change while the strobe is low.
    ASSERT_TRUE(vm.Schreiben(B + 2, 0x0B));
    ASSERT_TRUE(vm.Schreiben(B, Halb[4]));
    Zeitbasis::Warten_aktiv(VirtuelleMaschine::Strobe_mindestens_ns);
    ASSERT_TRUE(vm.Schreiben(B + 2, 0x0A));
    EXPECT_EQ(vm.Fehlerzahl(), 3);
    EXPECT_EQ(Lage('x'), 2);

    // A strobe without a wait; judged against the recorded times.
    vm.Schreibprotokoll_leeren();
    ASSERT_TRUE(vm.Schreiben(B, Halb[5]));
    ASSERT_TRUE(vm.Schreiben(B + 2, 0x0B));
    ASSERT_TRUE(vm.Schreiben(B + 2, 0x0A));
    const auto p = vm.Schreibprotokoll();
    ASSERT_EQ(p.size(), 3u);
    const bool zu_kurz = p[2].ns - p[1].ns < VirtuelleMaschine::Strobe_mindestens_ns;
    EXPECT_EQ(vm.Fehlerzahl(), zu_kurz ? 4 : 3);
    EXPECT_EQ(Lage('x'), 3);
    EXPECT_EQ(vm.Fehlerliste().size(), static_cast<std::size_t>(vm.Fehlerzahl()));
}

TEST_F(VirtuelleMaschineTest, RelaisbytesAufDemZKanal) {
    vm.Modul_einstellen(0);
    for (int k = 1; k <= 4; ++k)
        Phase(static_cast<uint8_t>(Halb[k] + 128));
    EXPECT_EQ(Lage('z'), 4);
    Phase(0xA7);
    EXPECT_TRUE(vm.Relais());
    Phase(0xBC);
    EXPECT_FALSE(vm.Relais());
    // Off the z sequence the relay bytes neither step nor count as faults.
    EXPECT_EQ(Lage('z'), 4);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
    Phase(static_cast<uint8_t>(Halb[5] + 128));
    EXPECT_EQ(Lage('z'), 5);
}

TEST_F(VirtuelleMaschineTest, PhasenkarteDekodiertKeineTaktbits) {
    vm.Modul_einstellen(0);
    ASSERT_EQ(vm.Aktuelle_Kartenart(), VirtuelleMaschine::Kartenart::Phasen);
    Takt(0xFF);
    EXPECT_EQ(vm.Schrittzahl(), 0);
    vm.Modul_einstellen(4);
    ASSERT_EQ(vm.Aktuelle_Kartenart(), VirtuelleMaschine::Kartenart::Takt_Richtung);
    Takt(0xFF);
    EXPECT_EQ(vm.Schrittzahl(), 4);
}

TEST_F(VirtuelleMaschineTest, ZuruecksetzenBehaeltEinstellungen) {
    vm.Modul_einstellen(1);
    vm.Referenzschalter_setzen('x', -5);
    Takt(0x03);
    EXPECT_FALSE(vm.Schreiben(B + 1, 0));
    vm.Zuruecksetzen();
    EXPECT_EQ(Lage('x'), 0);
    EXPECT_EQ(vm.Fehlerzahl(), 0);
    EXPECT_TRUE(vm.Schreibprotokoll().empty());
    vm.Position_setzen('x', -5);
    EXPECT_TRUE(vm.Eingang(11));
}

// The motion thread writes while another thread reads; TSan checks the locking, the
// observer lets the reader wait for a position without sleeping.
TEST_F(VirtuelleMaschineTest, NebenlaeufigesSchreibenUndLesen) {
    constexpr int N = 20000;
    std::atomic<bool> fertig{false};
    std::atomic<int32_t> letzte{0};
    vm.Schrittbeobachter_setzen([&](char achse, int32_t position) {
        if (achse == 'y') letzte.store(position);
    });
    vm.Protokollieren(false);
    std::thread schreiber([&] {
        for (int k = 0; k < N; ++k) {
            vm.Schreiben(B, 0x0F);
            vm.Schreiben(B, 0x05);
        }
        fertig = true;
    });
    int32_t zuletzt = 0;
    while (!fertig) {
        const int32_t jetzt = vm.Position('x');
        EXPECT_GE(jetzt, zuletzt);
        zuletzt = jetzt;
        (void)vm.Statusregister();
    }
    schreiber.join();
    EXPECT_EQ(Lage('x'), N);
    EXPECT_EQ(Lage('y'), N);
    EXPECT_EQ(letzte.load(), N);
}

} // namespace
