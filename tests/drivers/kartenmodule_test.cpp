#include "drivers/parallel_treiber.h"
#include "drivers/tkx400.h"
#include "drivers/ttaktricht.h"
#include "testhilfen.h"
#include "virtuellemaschine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvexa {
namespace {

class Kartenmodule : public test::Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        Kora_lpt::Echtzeit_erlauben(false);
        PortIO_Fabrik_setzen([vm = vm] { return std::make_unique<Maschinenanschluss>(vm); });
    }
    void TearDown() override {
        kx400.reset();
        taktricht.reset();
        PortIO_Fabrik_setzen(nullptr);
        Testumgebung::TearDown();
    }
    // One module at a time, as the command layer keeps it.
    TKX400& KX400_oeffnen() {
        taktricht.reset();
        vm->Modul_einstellen(0);
        kx400 = std::make_unique<TKX400>();
        EXPECT_TRUE(kx400->Oeffnen("0x378"));
        kx400->Startgeschwindigkeit_einstellen(2000);
        kx400->Endgeschwindigkeit_einstellen(1, 2000);
        kx400->Referenzgeschwindigkeit_einstellen(2000);
        return *kx400;
    }
    // As the command layer opens the step/direction types.
    TTaktRicht& TaktRicht_oeffnen(int32_t modul) {
        kx400.reset();
        vm->Modul_einstellen(modul);
        taktricht = std::make_unique<TTaktRicht>(modul);
        EXPECT_TRUE(taktricht->Oeffnen("0x378"));
        if (modul == 1) {
            taktricht->Eingangsmodus_setzen(false, true, true);
            taktricht->Grenzwerte_setzen(5000, 10000);
        } else {
            taktricht->Eingangsmodus_setzen(modul == 4, false, false);
        }
        taktricht->Startgeschwindigkeit_einstellen(2000);
        taktricht->Endgeschwindigkeit_einstellen(1, 2000);
        taktricht->Referenzgeschwindigkeit_einstellen(2000);
        return *taktricht;
    }
    std::size_t Toene(int hz, int ms) const {
        const auto toene = ui.Toene();
        return static_cast<std::size_t>(std::count_if(
            toene.begin(), toene.end(), [&](const auto& t) { return t.hz == hz && t.ms == ms; }));
    }

    std::shared_ptr<VirtuelleMaschine> vm = std::make_shared<VirtuelleMaschine>(0x378);
    std::unique_ptr<TKX400> kx400;
    std::unique_ptr<TTaktRicht> taktricht;
};

TEST_F(Kartenmodule, FabrikWaehltDasModulNachTyp) {
    EXPECT_NE(dynamic_cast<TKX400*>(Parallelkarte_erzeugen(0).get()), nullptr);
    for (int32_t modul : {1, 4, 7})
        EXPECT_NE(dynamic_cast<TTaktRicht*>(Parallelkarte_erzeugen(modul).get()), nullptr);
    for (int32_t modul : {2, 5, 8, -1})
        EXPECT_EQ(Parallelkarte_erzeugen(modul), nullptr);
}

TEST_F(Kartenmodule, GeschwindigkeitenWerdenAufDieGrenzeDesModulsGesetzt) {
    TKX400& kx = KX400_oeffnen();
    ui.Leeren();
    kx.Endgeschwindigkeit_einstellen(3, 6000);
    kx.Endgeschwindigkeit_einstellen(10, 100);
    kx.Startgeschwindigkeit_einstellen(5001);
    kx.Referenzgeschwindigkeit_einstellen(9000);
    EXPECT_EQ(kx.Geschwindigkeit(3), 5000);
    const auto m = ui.Meldungen();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].text, "unzulässiger Wert für Arbeitsfreq");
    EXPECT_EQ(m[0].titel, "Endgeschwindigkeit_einstellen()");
    EXPECT_EQ(m[1].text, "unzulässiger Wert für index");
    EXPECT_EQ(m[2].titel, "Startgeschwindigkeit_einstellen()");
    EXPECT_EQ(m[3].text, "unzulässiger Wert für RefFreq");
    EXPECT_EQ(m[3].titel, "Referenzgeschwindigkeit_einstellen()");

    TTaktRicht& tr = TaktRicht_oeffnen(4);
    ui.Leeren();
    tr.Endgeschwindigkeit_einstellen(10, 100);
    tr.Endgeschwindigkeit_einstellen(2, 16000);
    tr.Referenzgeschwindigkeit_einstellen(16001);
    EXPECT_EQ(tr.Geschwindigkeit(2), 16000);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "ReferenzGeschwindigkeit_einstellen()");
}

TEST_F(Kartenmodule, ZuSchnellerPlatzWirdVomTreiberAbgewiesen) {
    TTaktRicht& tr = TaktRicht_oeffnen(4);
    tr.Endgeschwindigkeit_einstellen(5, 14000);
    EXPECT_EQ(tr.Geschwindigkeit(5), 14000);
    tr.Vektorfahrt_ausfuehren(true, 5, 100, 0, 0);
    EXPECT_EQ(Toene(440, 100), 1u);
    EXPECT_EQ(vm->Schrittzahl(), 0);
    EXPECT_EQ(tr.Achsenposition_abfragen('x'), 0);

    tr.Vektorfahrt_ausfuehren(true, 10, 100, 0, 0);
    EXPECT_EQ(vm->Schrittzahl(), 0);
}

TEST_F(Kartenmodule, AbsoluteZieleFahrenVonDerModulpositionAus) {
    TTaktRicht& tr = TaktRicht_oeffnen(4);
    tr.Vektorfahrt_ausfuehren(true, 1, 100, 50, 0);
    tr.Vektorfahrt_ausfuehren(false, 1, 150, kartenmodul::Achse_bleibt, -40);
    EXPECT_EQ(tr.Achsenposition_abfragen('x'), 150);
    EXPECT_EQ(tr.Achsenposition_abfragen('y'), 50);
    EXPECT_EQ(tr.Achsenposition_abfragen('z'), -40);
    EXPECT_EQ(vm->Position('x'), 150);
    EXPECT_EQ(vm->Position('y'), 50);
    EXPECT_EQ(vm->Position('z'), -40);

    tr.UVektorfahrt_ausfuehren(true, 1, -7);
    EXPECT_EQ(tr.Achsenposition_abfragen('u'), -7);
    EXPECT_EQ(vm->Position('u'), -7);
}

TEST_F(Kartenmodule, UFahrtNurBeiTaktRichtungTyp4) {
    TTaktRicht& tr = TaktRicht_oeffnen(7);
    tr.UVektorfahrt_ausfuehren(true, 1, 10);
    EXPECT_EQ(vm->Position('u'), 0);
    EXPECT_EQ(tr.Achsenposition_abfragen('u'), 0);
}

TEST_F(Kartenmodule, GestoppteFahrtHaeltDieGemachtenSchritte) {
    TKX400& kx = KX400_oeffnen();
    vm->Schrittbeobachter_setzen([&kx](char achse, int32_t position) {
        if (achse == 'x' && position == 30) kx.Achsen_sofort_stoppen();
    });
    kx.Vektorfahrt_ausfuehren(true, 1, 200, 100, 0);
    EXPECT_EQ(kx.Achsenposition_abfragen('x'), 30);
    EXPECT_EQ(kx.Achsenposition_abfragen('y'), vm->Position('y'));
    EXPECT_EQ(kx.Achsenposition_abfragen('y'), 15);
}

TEST_F(Kartenmodule, StillstandsstromNachJederFahrtUndOhneZBeiRelais) {
    TKX400& kx = KX400_oeffnen();
    kx.Schrittbetrieb_einstellen(0, 1); // half step, 20 %
    kx.Vektorfahrt_ausfuehren(true, 1, 3, 2, 0);
    ASSERT_TRUE(kx.Auf_Haltestrom_warten(1, 5000));
    EXPECT_EQ(vm->Phasenmuster('x'), 0x16);
    EXPECT_EQ(vm->Phasenmuster('y'), 0x1E);
    EXPECT_EQ(vm->Phasenmuster('z'), 0x37);

    kx.Ausgangssignal_setzen(11, 1);
    EXPECT_TRUE(vm->Relais());
    EXPECT_FALSE(kx.z_als_Motor());
    kx.Vektorfahrt_ausfuehren(true, 1, 1, 0, 0);
    ASSERT_TRUE(kx.Auf_Haltestrom_warten(2, 5000));
    EXPECT_EQ(vm->Phasenmuster('x'), 0x13);
    EXPECT_EQ(vm->Phasenmuster('z'), 0xA7 & 0x3F);

    kx.Ausgangssignal_setzen(1, 1);
    EXPECT_TRUE(vm->Ausgang(14));
    kx.Vektorfahrt_ausfuehren(true, 1, 1, 0, 0);
    ASSERT_TRUE(kx.Auf_Haltestrom_warten(3, 5000));
    EXPECT_EQ(vm->Phasenmuster('z'), 0x37);
    EXPECT_EQ(vm->Fehlerzahl(), 0) << ::testing::PrintToString(vm->Fehlerliste());

    kx.Ausgangssignal_setzen(0, 1);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Ausgangssignal_setzen()");
}

TEST_F(Kartenmodule, ReferenzfahrtNachErstemBuchstaben) {
    TKX400& kx = KX400_oeffnen();
    vm->Schreibprotokoll_leeren();
    kx.Referenzfahrt_ausfuehren("u");
    EXPECT_TRUE(vm->Schreibprotokoll().empty());

    vm->Referenzschalter_setzen('y', -20);
    kx.Referenzoffset_einstellen('y', 5);
    kx.Vektorfahrt_ausfuehren(true, 1, 0, 7, 0);
    kx.Referenzfahrt_ausfuehren("Yx");
    EXPECT_EQ(kx.Achsenposition_abfragen('y'), 0);
    EXPECT_EQ(vm->Position('y'), -14);
    EXPECT_FALSE(vm->Referenzschalter_aktiv('y'));

    TTaktRicht& tr = TaktRicht_oeffnen(4);
    vm->Zuruecksetzen();
    vm->Referenzschalter_setzen('u', -10);
    tr.Referenzoffset_einstellen('u', 3);
    tr.Referenzfahrt_ausfuehren("u");
    EXPECT_EQ(vm->Position('u'), -6);
    EXPECT_EQ(tr.Achsenposition_abfragen('u'), 0);
}

TEST_F(Kartenmodule, AusgaengeDerTaktRichtungKarte) {
    TTaktRicht& tr = TaktRicht_oeffnen(7);
    const std::pair<int32_t, int> zuordnung[] = {{1, 1},  {14, 1},  {2, 14}, {15, 14},
                                                 {3, 16}, {16, 16}, {4, 17}};
    for (const auto& [nummer, pin] : zuordnung) {
        tr.Ausgangssignal_setzen(nummer, 1);
        EXPECT_TRUE(vm->Ausgang(pin)) << nummer;
        tr.Ausgangssignal_setzen(nummer, 0);
        EXPECT_FALSE(vm->Ausgang(pin)) << nummer;
    }
    const uint8_t vorher = vm->Steuerregister();
    tr.Ausgangssignal_setzen(5, 1);
    EXPECT_EQ(vm->Steuerregister(), vorher);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");
}

TEST_F(Kartenmodule, LangeWartezeitWirdBegrenztUndEndetAmEingang) {
    TTaktRicht& tr = TaktRicht_oeffnen(7);
    vm->Eingang_erzwingen(12, false);
    EXPECT_TRUE(tr.Wartezeit_einfuegen(4'000'000));
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Die Wartezeit kann nicht größer als 3600000 sein!");
    EXPECT_EQ(ui.Meldungen()[0].titel, "F E H L E R");

    vm->Eingang_erzwingen(12, std::nullopt);
    EXPECT_FALSE(tr.Wartezeit_einfuegen(2));
}

} // namespace
} // namespace orvexa
