// The parallel types end to end: command layer -> card module -> motion thread -> virtual machine.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/kora_lpt.h"
#include "drivers/parallel_treiber.h"
#include "platform/ereignis.h"
#include "testhilfen.h"
#include "virtuellemaschine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace orvexa {
namespace {

class SteuerungParallel : public test::Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Kora_lpt::Echtzeit_erlauben(false);
        PortIO_Fabrik_setzen([vm = vm] { return std::make_unique<Maschinenanschluss>(vm); });
        Treiberfabrik fabrik;
        Parallelkartentreiber_einrichten(fabrik);
        Treiberfabrik_setzen(std::move(fabrik));
    }
    void TearDown() override {
        Testumgebung::TearDown();
        PortIO_Fabrik_setzen(nullptr);
    }

    // Connects as the main window does and initialises as the dialogs do.
    void Verbinden(int32_t modul) {
        vm->Modul_einstellen(modul);
        Maschinenparameter& p = Parametersatz();
        p.Modul = modul;
        p.LPTAdresse = 0x378;
        p.Startfreq = 1000;
        p.Arbeitsfreq = 2000;
        p.Eilfreq = 4000;
        p.RefFreq = 4000;
        p.Rampenlaenge = 0;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 100;
        p.xRefOffset = 0.25;
        p.yRefOffset = 0.5;
        p.zRefOffset = 0.75;
        Steuerung_erzeugen();
        Schnittstelle_beschreiben();
        ASSERT_EQ(Steuerung().Schnittstelle, "0x378");
        ASSERT_TRUE(Steuerung_oeffnen(Steuerung().Schnittstelle));
        ASSERT_TRUE(Version_abfragen());
        InitializeSteuerung(false);
    }
    std::size_t Toene(int hz, int ms) const {
        const auto toene = ui.Toene();
        return static_cast<std::size_t>(std::count_if(
            toene.begin(), toene.end(), [&](const auto& t) { return t.hz == hz && t.ms == ms; }));
    }

    std::shared_ptr<VirtuelleMaschine> vm = std::make_shared<VirtuelleMaschine>(0x378);
};

struct Referenzfall {
    int32_t modul;
    char achse;
    int32_t offset; // steps from the millimetres set in Verbinden
};

class ReferenzJeKarte : public SteuerungParallel,
                        public ::testing::WithParamInterface<Referenzfall> {};

TEST_P(ReferenzJeKarte, EndetFreiVomSchalterNachDemOffsetAufNull) {
    const Referenzfall fall = GetParam();
    Verbinden(fall.modul);
    vm->Referenzschalter_setzen(fall.achse, -20);
    Vektorfahrt_ausfuehren(true, 1, 5, 5, 5, 1);
    Referenzfahrt_ausfuehren(std::string(1, fall.achse));
    EXPECT_FALSE(vm->Referenzschalter_aktiv(fall.achse));
    EXPECT_EQ(vm->Position(fall.achse), -20 + 1 + fall.offset);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten(fall.achse), 0);
    EXPECT_EQ(vm->Fehlerzahl(), 0) << ::testing::PrintToString(vm->Fehlerliste());
}

INSTANTIATE_TEST_SUITE_P(
    AlleKarten, ReferenzJeKarte,
    ::testing::Values(Referenzfall{0, 'x', 25}, Referenzfall{0, 'y', 50}, Referenzfall{0, 'z', 75},
                      Referenzfall{1, 'x', 25}, Referenzfall{1, 'y', 50}, Referenzfall{1, 'z', 75},
                      Referenzfall{1, 'u', 0}, Referenzfall{4, 'x', 25}, Referenzfall{4, 'y', 50},
                      Referenzfall{4, 'z', 75}, Referenzfall{4, 'u', 0}, Referenzfall{7, 'x', 25},
                      Referenzfall{7, 'y', 50}, Referenzfall{7, 'z', 75}, Referenzfall{7, 'u', 0}),
    [](const auto& info) {
        return "Modul" + std::to_string(info.param.modul) + "_" + info.param.achse;
    });

class FahrtJeKarte : public SteuerungParallel, public ::testing::WithParamInterface<int32_t> {};

TEST_P(FahrtJeKarte, SchraegUndAbsolutGenauAufJederAchse) {
    Verbinden(GetParam());
    Vektorfahrt_ausfuehren(true, 1, 37, -23, 11, 1);
    Vektorfahrt_ausfuehren(false, 1, 0, 99999, -4, 1);
    const int32_t erwartet[] = {0, -23, -4};
    for (int i = 0; i < 3; ++i) {
        const char achse = "xyz"[i];
        EXPECT_EQ(vm->Position(achse), erwartet[i]) << achse;
        EXPECT_EQ(Achsenposition_abfragen_in_Schritten(achse), erwartet[i]) << achse;
    }
    EXPECT_EQ(vm->Fehlerzahl(), 0) << ::testing::PrintToString(vm->Fehlerliste());
}

TEST_P(FahrtJeKarte, EndschalterBeendetFahrtMitPiepton) {
    Verbinden(GetParam());
    vm->Referenzschalter_setzen('z', -30);
    Vektorfahrt_ausfuehren(true, 1, 0, 0, -100, 1);
    EXPECT_EQ(vm->Position('z'), -30);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('z'), -30);
    EXPECT_EQ(Toene(440, 100), 1u);
}

INSTANTIATE_TEST_SUITE_P(AlleKarten, FahrtJeKarte, ::testing::Values(0, 1, 4, 7));

TEST_F(SteuerungParallel, AnhaltenAusDemFensterthreadBremstUndMeldet2000) {
    Verbinden(4);
    Endgeschwindigkeit_einstellen(1, 1000);
    Startgeschwindigkeit_einstellen(200);
    Rampenlaenge_einstellen(200); // R = 100 steps
    Ereignis erreicht;
    vm->Schrittbeobachter_setzen([&](char achse, int32_t position) {
        if (achse == 'x' && position == 300) erreicht.Setzen();
    });
    int32_t code = 0;
    std::thread arbeiter([&] {
        try {
            Vektorfahrt_ausfuehren(true, 1, 3000, 0, 0, 1);
        } catch (const Steuerungsfehler& f) {
            code = f.code();
        }
    });
    ASSERT_EQ(erreicht.Warten(10000), Warteergebnis::signalisiert);
    Achsen_anhalten();
    arbeiter.join();
    EXPECT_EQ(code, THROW_ABORT);

    const int32_t x = vm->Position('x');
    EXPECT_GE(x, 300 + 100);
    EXPECT_LT(x, 3000);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), x);
    // The last step came at no more than the start speed again.
    std::vector<int64_t> flanken;
    uint8_t alt = 0;
    for (const auto& e : vm->Schreibprotokoll()) {
        if (e.adresse != 0x378) continue;
        if (!(alt & 0x02) && (e.wert & 0x02)) flanken.push_back(e.ns);
        alt = e.wert;
    }
    ASSERT_GE(flanken.size(), 3u);
    EXPECT_GE(flanken.back() - flanken[flanken.size() - 2], 1'000'000'000 / 208);
}

TEST_F(SteuerungParallel, AusgaengeUndEingaengeJeKarte) {
    Verbinden(0);
    EXPECT_EQ(Steuerung().Version, "KX400/750");
    Ausgangssignal_setzen(1, 1);
    EXPECT_TRUE(vm->Ausgang(14));
    Ausgangssignal_setzen(11, 1); // only outputs 0 and 1 reach the phase card
    EXPECT_FALSE(vm->Relais());
    vm->Eingang_erzwingen(11, true);
    EXPECT_TRUE(Eingangspin_abfragen(11));

    Verbinden(4);
    EXPECT_EQ(Steuerung().Version, "Takt/Richtung");
    Ausgangssignal_setzen(16, 1);
    EXPECT_TRUE(vm->Ausgang(16));
    UVektorfahrt_ausfuehren(true, 1, -9, 1);
    EXPECT_EQ(vm->Position('u'), -9);
    EXPECT_EQ(Achsenposition_abfragen_in_Schritten('u'), -9);
    UVektorfahrt_ausfuehren(false, 1, 5, 1); // absolute: to step 5
    EXPECT_EQ(vm->Position('u'), 5);
    UVektorfahrt_ausfuehren(false, 1, 99999, 1); // absolute 99999: u stays
    EXPECT_EQ(vm->Position('u'), 5);
    vm->Eingang_erzwingen(15, false);
    EXPECT_FALSE(Eingangspin_abfragen(15));
}

TEST_F(SteuerungParallel, EingangsverknuepfungWartetAufPin13) {
    Verbinden(7);
    vm->Eingang_erzwingen(13, false);
    std::thread anhalten([] { Achsen_anhalten(); });
    E1Verknuepfung_setzen(1, false); // returns once the halt arrives
    anhalten.join();
    EXPECT_THROW(Wartezeit_einfuegen(3), Steuerungsfehler);

    vm->Eingang_erzwingen(13, true);
    E1Verknuepfung_setzen(1, false);
    // The halt was served by the abort; it must not cut short the next move.
    Vektorfahrt_ausfuehren(true, 1, 10, 0, 0, 1);
    EXPECT_EQ(vm->Position('x'), 10);
}

} // namespace
} // namespace orvexa
