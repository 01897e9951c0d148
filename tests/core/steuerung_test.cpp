#include "attrappen.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;
using Erwartung = std::map<int32_t, Zeilen_t>;

const std::vector<int32_t> Parallel{0, 1, 4, 7};
const std::vector<int32_t> Taktrichtung{1, 4, 7};
const std::vector<int32_t> Speichernd{2, 3};
const std::vector<int32_t> Seriell{5, 6, 10, 11, 12, 13};
// Every type plus the unused values and values outside the table.
const std::vector<int32_t> Alle_Werte{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

struct Gruppe {
    std::vector<int32_t> module;
    Zeilen_t aufrufe;
};

Erwartung Fuer(std::initializer_list<Gruppe> gruppen) {
    Erwartung erwartung;
    for (const auto& gruppe : gruppen)
        for (int32_t modul : gruppe.module)
            erwartung[modul] = gruppe.aufrufe;
    return erwartung;
}

Zeilen_t Befehlszeile(const std::string& text) {
    return {"    " + text};
}

class Steuerungstest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.LPTAdresse = 0x378;
        p.ComPort = 3;
        p.Baudrate = 115200;
        p.Startfreq = 200;
        p.Arbeitsfreq = 400;
        p.Eilfreq = 600;
        p.Rampenlaenge = 200;
        p.xUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.yUebersetz = 2.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
        // Values that differ from the fixed values some types send, so a mix-up shows.
        p.Steuersignal = 0;
        p.Schrittbetrieb = 1;
        p.Ruhestrom = 2;
        p.ZBetrieb = 2;
        p.UBetrieb = 1;
        p.xRefOffset = p.yRefOffset = p.zRefOffset = p.uRefOffset = 0.25;
        p.RefFreq = 400;
        p.xRefNr = 2;
        p.yRefNr = 3;
        p.zRefNr = 1;
        p.uRefNr = 4;
        // The E1 input wait ends at the first query.
        fabrik.Linie_vorbereiten = [](SeriellerBefehlssatzAttrappe& linie) {
            linie.Eingangspegel_vorgeben({}, true);
        };
    }

    // Runs aufruf on type `modul` and returns the new log lines.
    Zeilen_t Ausfuehren(int32_t modul, const std::function<void()>& aufruf) {
        Steuerung_einrichten(modul);
        const std::size_t vorher = Protokoll().size();
        aufruf();
        const Zeilen_t alle = Protokoll();
        return Zeilen_t(alle.begin() + static_cast<std::ptrdiff_t>(vorher), alle.end());
    }
};

struct Fall {
    std::string name;
    std::function<void()> aufruf;
    std::optional<Zeilen_t> protokoll; // nullopt: checked by a test of its own
    Erwartung aufrufe;
    std::function<void(int32_t modul)> danach;
};

std::vector<Fall> Dispatchfaelle() {
    return {
        {"Ansteuersignale",
         [] { Ansteuersignale_einstellen(); },
         Befehlszeile("Ansteuersignale_einstellen()"),
         Fuer({{{2}, {"Speicher.Ansteuersignale_einstellen(0)"}},
               {{5, 11, 12, 13}, {"Linie.Ansteuersignale_einstellen(1)"}},
               {{6, 10}, {"Linie.Ansteuersignale_einstellen(0)"}}}),
         {}},
        {"Schrittbetrieb",
         [] { Schrittbetrieb_einstellen(); },
         Befehlszeile("Schrittbetrieb_einstellen()"),
         Fuer({{{0}, {"Karte.Schrittbetrieb_einstellen(1, 2)"}},
               {{2}, {"Speicher.Schrittbetrieb_einstellen(1)"}},
               {{6, 10}, {"Linie.Schrittbetrieb_einstellen(1, 2)"}}}),
         {}},
        {"Z_Achse",
         [] { Z_Achse_einstellen(); },
         Befehlszeile("Z_Achse_einstellen()"),
         Fuer({{{2}, {"Speicher.Z_Achse_einstellen(2)"}}}),
         {}},
        {"U_Achse",
         [] { U_Achse_einstellen(); },
         Befehlszeile("U_Achse_einstellen()"),
         Fuer({{{3}, {"Speicher.U_Achse_einstellen(1)"}}}),
         {}},
        {"Startgeschwindigkeit",
         [] { Startgeschwindigkeit_einstellen(250); },
         Befehlszeile("Startgeschwindigkeit_einstellen(250)"),
         Fuer({{Parallel, {"Karte.Startgeschwindigkeit_einstellen(250)"}},
               {Speichernd, {"Speicher.Startgeschwindigkeit_einstellen(250)"}},
               {Seriell, {"Linie.Startgeschwindigkeit_einstellen(250)"}}}),
         {}},
        {"Endgeschwindigkeit",
         [] { Endgeschwindigkeit_einstellen(3, 1500); },
         Befehlszeile("Endgeschwindigkeit_einstellen(3, 1500)"),
         Fuer({{Parallel, {"Karte.Endgeschwindigkeit_einstellen(3, 1500)"}},
               {Speichernd, {"Speicher.Endgeschwindigkeit_einstellen(3, 1500)"}},
               {Seriell, {"Linie.Endgeschwindigkeit_einstellen(3, 1500)"}}}),
         {}},
        {"Rampenlaenge",
         [] { Rampenlaenge_einstellen(150); },
         Befehlszeile("Rampenlaenge_einstellen(150)"),
         Fuer({{Parallel, {"Karte.Rampenlaenge_einstellen(150)"}},
               {Speichernd, {"Speicher.Rampenlaenge_einstellen(150)"}},
               {Seriell, {"Linie.Rampenlaenge_einstellen(150)"}}}),
         {}},
        {"Referenzgeschwindigkeit",
         [] { Referenzgeschwindigkeit_einstellen(450); },
         Befehlszeile("Referenzgeschwindigkeit_einstellen(450)"),
         Fuer({{Parallel, {"Karte.Referenzgeschwindigkeit_einstellen(450)"}},
               {{2},
                {"Speicher.Referenzgeschwindigkeit_einstellen(450)",
                 "Speicher.Referenzrichtung_einstellen(x)",
                 "Speicher.Referenzrichtung_einstellen(y)",
                 "Speicher.Referenzrichtung_einstellen(z)"}},
               {{3}, {"Speicher.Referenzgeschwindigkeit_einstellen(450)"}},
               {Seriell, {"Linie.Referenzgeschwindigkeit_einstellen(450)"}}}),
         {}},
        {"Referenzoffset",
         [] { Referenzoffset_einstellen('y', 0.25); },
         Befehlszeile("Referenzoffset_einstellen(y, 0.25)"),
         Fuer({{Parallel, {"Karte.Referenzoffset_einstellen(y, 50)"}},
               {{2}, {"Speicher.Referenzoffset_einstellen(y, 50)"}},
               {Seriell, {"Linie.Referenzoffset_einstellen(y, 50)"}}}),
         {}},
        {"Referenzfahrt",
         [] { Referenzfahrt_ausfuehren("zxy"); },
         Befehlszeile("Referenzfahrt_ausfuehren(zxy)"),
         Fuer({{Parallel, {"Karte.Referenzfahrt_ausfuehren(zxy)"}},
               {Speichernd, {"Speicher.Referenzfahrt_ausfuehren(zxy)"}},
               {Seriell, {"Linie.Referenzfahrt_ausfuehren(zxy)", "Linie.WaitResp(-1)"}}}),
         {}},
        {"Vektorfahrt relativ",
         [] { Vektorfahrt_ausfuehren(true, 1, 100, 0, -50, 13); },
         Befehlszeile("Vektorfahrt_ausfuehren(1, 1,   100,     0,   -50, 13)"),
         Fuer({{Parallel, {"Karte.Vektorfahrt_ausfuehren(1, 1, 100, 0, -50)"}},
               {Speichernd, {"Speicher.Vektorfahrt_ausfuehren(1, 1, 100, 0, -50, 13)"}},
               {Seriell,
                {"Linie.Vektorfahrt_ausfuehren(1, 1, 100, 0, -50)", "Linie.WaitResp(-1)"}}}),
         {}},
        {"Vektorfahrt absolut, alle Achsen bleiben",
         [] { Vektorfahrt_ausfuehren(false, 3, 99999, 99999, 99999, 1); },
         Befehlszeile("Vektorfahrt_ausfuehren(0, 3, 99999, 99999, 99999, 1)"),
         Fuer(
             {{Parallel, {"Karte.Vektorfahrt_ausfuehren(0, 3, 99999, 99999, 99999)"}},
              {Speichernd,
               {"Speicher.Vektorfahrt_ausfuehren(0, 3, 99999, 99999, 99999, 1)",
                "Speicher.Bewegungsende_abwarten()"}},
              {Seriell,
               {"Linie.Vektorfahrt_ausfuehren(0, 3, 99999, 99999, 99999)", "Linie.WaitResp(-1)"}}}),
         {}},
        {"Vektorfahrt ohne Weg",
         [] { Vektorfahrt_ausfuehren(true, 8, 0, 0, 0, 1); },
         Befehlszeile("Vektorfahrt_ausfuehren(1, 8,     0,     0,     0, 1)"),
         {},
         {}},
        {"UVektorfahrt",
         [] { UVektorfahrt_ausfuehren(true, 2, 300, 13); },
         Zeilen_t{"UVektorfahrt_ausfuehren(1,     2, 300)"},
         Fuer({{{4}, {"Karte.UVektorfahrt_ausfuehren(1, 2, 300)"}},
               {Seriell, {"Linie.UVektorfahrt_ausfuehren(1, 2, 300)", "Linie.WaitResp(-1)"}}}),
         {}},
        {"UVektorfahrt absolut auf 0",
         [] { UVektorfahrt_ausfuehren(false, 2, 0, 13); },
         Zeilen_t{"UVektorfahrt_ausfuehren(0,     2, 0)"},
         Fuer({{{4}, {"Karte.UVektorfahrt_ausfuehren(0, 2, 0)"}},
               {Seriell, {"Linie.UVektorfahrt_ausfuehren(0, 2, 0)", "Linie.WaitResp(-1)"}}}),
         {}},
        {"UVektorfahrt ohne Weg",
         [] { UVektorfahrt_ausfuehren(true, 2, 0, 13); },
         Zeilen_t{"UVektorfahrt_ausfuehren(1,     2, 0)"},
         {},
         {}},
        {"Achsen_anhalten", [] { Achsen_anhalten(); }, Befehlszeile("Achsen_anhalten()"),
         Fuer({{Parallel, {"Karte.Achsen_anhalten()"}},
               {Speichernd, {"Speicher.Achsen_anhalten()"}},
               {Seriell, {"Linie.Achsen_anhalten()"}}}),
         [](int32_t modul) {
             EXPECT_TRUE(Steuerung().Abbruch);
             EXPECT_EQ(Stopp.load(), ist_serieller_Typ(modul));
         }},
        {"Achsen_sofort_stoppen", [] { Achsen_sofort_stoppen(); },
         Befehlszeile("Achsen_sofort_stoppen()"),
         Fuer({{Parallel, {"Karte.Achsen_sofort_stoppen()"}},
               {Speichernd, {"Speicher.Achsen_sofort_stoppen()"}},
               {Seriell, {"Linie.Achsen_sofort_stoppen()"}}}),
         [](int32_t modul) {
             EXPECT_FALSE(Steuerung().Abbruch);
             EXPECT_EQ(Stopp.load(), ist_serieller_Typ(modul));
         }},
        {"Ausgang 1",
         [] { Ausgangssignal_setzen(1, 1); },
         Befehlszeile("Ausgangssignal_setzen(1, 1)"),
         Fuer({{Parallel, {"Karte.Ausgangssignal_setzen(1, 1)"}},
               {Speichernd, {"Speicher.Ausgangssignal_setzen(1, 1)"}},
               {Seriell, {"Linie.Ausgangssignal_setzen(1, 1)"}}}),
         {}},
        {"Ausgang 0",
         [] { Ausgangssignal_setzen(0, 0); },
         Befehlszeile("Ausgangssignal_setzen(0, 0)"),
         Fuer({{Parallel, {"Karte.Ausgangssignal_setzen(0, 0)"}},
               {{3}, {"Speicher.Ausgangssignal_setzen(0, 0)"}},
               {Seriell, {"Linie.Ausgangssignal_setzen(0, 0)"}}}),
         {}},
        {"Ausgang 3",
         [] { Ausgangssignal_setzen(3, 1); },
         Befehlszeile("Ausgangssignal_setzen(3, 1)"),
         Fuer({{Taktrichtung, {"Karte.Ausgangssignal_setzen(3, 1)"}},
               {Seriell, {"Linie.Ausgangssignal_setzen(3, 1)"}}}),
         {}},
        {"Ausgang 122 an",
         [] { Ausgangssignal_setzen(122, 1); },
         Befehlszeile("Ausgangssignal_setzen(122, 1)"),
         Fuer({{Taktrichtung, {"Karte.Ausgangssignal_setzen(122, 1)"}},
               {{2}, {"Speicher.Vektorfahrt_ausfuehren(1, 0, 0, 0, 1, 13)"}},
               {Seriell, {"Linie.Ausgangssignal_setzen(122, 1)"}}}),
         {}},
        {"Ausgang 122 aus",
         [] { Ausgangssignal_setzen(122, 0); },
         Befehlszeile("Ausgangssignal_setzen(122, 0)"),
         Fuer({{Taktrichtung, {"Karte.Ausgangssignal_setzen(122, 0)"}},
               {{2}, {"Speicher.Vektorfahrt_ausfuehren(1, 0, 0, 0, -1, 13)"}},
               {Seriell, {"Linie.Ausgangssignal_setzen(122, 0)"}}}),
         {}},
        {"I2C-Ausgang",
         [] { I2C_Ausgangssignal_setzen(2, 1); },
         Befehlszeile("I2C_Ausgangssignal_setzen(2, 1)"),
         Fuer({{{5}, {"Linie.I2C_Ausgangssignal_setzen(2, 1)"}}}),
         {}},
        {"Wartezeit 2500",
         [] { Wartezeit_einfuegen(2500); },
         Befehlszeile("Wartezeit_einfuegen(2500)"),
         Fuer({{Parallel,
                {"Karte.Wartezeit_einfuegen(1000)", "Karte.Wartezeit_einfuegen(1000)",
                 "Karte.Wartezeit_einfuegen(500)"}},
               {Speichernd,
                {"Speicher.Wartezeit_einfuegen(1000)", "Speicher.Bewegungsende_abwarten()",
                 "Speicher.Wartezeit_einfuegen(1000)", "Speicher.Bewegungsende_abwarten()",
                 "Speicher.Wartezeit_einfuegen(500)", "Speicher.Bewegungsende_abwarten()"}},
               {Seriell,
                {"Linie.Wartezeit_einfuegen(1000)", "Linie.WaitResp(2000)",
                 "Linie.Wartezeit_einfuegen(1000)", "Linie.WaitResp(2000)",
                 "Linie.Wartezeit_einfuegen(500)", "Linie.WaitResp(1000)"}}}),
         {}},
        {"Wartezeit 2000",
         [] { Wartezeit_einfuegen(2000); },
         Befehlszeile("Wartezeit_einfuegen(2000)"),
         Fuer({{Parallel, {"Karte.Wartezeit_einfuegen(1000)", "Karte.Wartezeit_einfuegen(1000)"}},
               {Seriell,
                {"Linie.Wartezeit_einfuegen(1000)", "Linie.WaitResp(2000)",
                 "Linie.Wartezeit_einfuegen(1000)", "Linie.WaitResp(2000)"}},
               {Speichernd,
                {"Speicher.Wartezeit_einfuegen(1000)", "Speicher.Bewegungsende_abwarten()",
                 "Speicher.Wartezeit_einfuegen(1000)", "Speicher.Bewegungsende_abwarten()"}}}),
         {}},
        {"Wartezeit 0",
         [] { Wartezeit_einfuegen(0); },
         Befehlszeile("Wartezeit_einfuegen(0)"),
         {},
         {}},
        {"Wartezeit negativ",
         [] { Wartezeit_einfuegen(-5); },
         Befehlszeile("Wartezeit_einfuegen(-5)"),
         {},
         {}},
        {"E1 mit Modus",
         [] { E1Verknuepfung_setzen(1, true); },
         Befehlszeile("E1Verknuepfung_setzen(1, 1)"),
         Fuer({{Parallel, {"Karte.E1Verknuepfung_setzen(1)"}},
               {{3}, {"Speicher.E1Verknuepfung_setzen(1)"}},
               {Seriell, {"Linie.E1Verknuepfung_setzen(1)"}}}),
         {}},
        {"E1 ohne Modus, Nummer 0",
         [] { E1Verknuepfung_setzen(0, false); },
         Befehlszeile("E1Verknuepfung_setzen(0, 0)"),
         Fuer({{Parallel, {"Karte.E1Verknuepfung_setzen(0)"}},
               {{3}, {"Speicher.E1Verknuepfung_setzen(0)"}}}),
         {}},
        {"E1 ohne Modus, Nummer 1", [] { E1Verknuepfung_setzen(1, false); },
         Befehlszeile("E1Verknuepfung_setzen(1, 0)"),
         Fuer({{Parallel, {"Karte.E1Verknuepfung_setzen(1)"}},
               {{3}, {"Speicher.E1Verknuepfung_setzen(1)"}},
               {Seriell, {"Linie.Eingang_abfragen_Potential(B)"}}}),
         [](int32_t) { EXPECT_FALSE(Stopp); }},
        {"Upload",
         [] { Upload_in_Festwertspeicher(); },
         Befehlszeile("Upload_in_Festwertspeicher()"),
         Fuer({{{3}, {"Speicher.Upload_in_Festwertspeicher()"}}}),
         {}},
        {"Festwertspeicher loeschen",
         [] { Festwertspeicher_loeschen(); },
         Befehlszeile("Festwertspeicher_loeschen()"),
         Fuer({{{3}, {"Speicher.Festwertspeicher_loeschen()"}}}),
         {}},
        {"Programmdurchlaeufe",
         [] { Programmdurchlaeufe_hinterlegen(7); },
         Befehlszeile("Programmdurchlaeufe_hinterlegen(7)"),
         Fuer({{{5, 6}, {"Linie.Programmdurchlaeufe_hinterlegen(7)"}}}),
         {}},
        {"Programm_starten",
         [] { Programm_starten(); },
         Zeilen_t{},
         Fuer({{Speichernd, {"Speicher.Programm_starten()"}}}),
         {}},
        {"Bewegungsende_abwarten",
         [] { Bewegungsende_abwarten(); },
         Zeilen_t{},
         Fuer({{Speichernd, {"Speicher.Bewegungsende_abwarten()"}}}),
         {}},
        {"Eingangspin",
         [] { EXPECT_FALSE(Eingangspin_abfragen(12)); },
         Zeilen_t{},
         Fuer({{Parallel, {"Karte.Eingangspin_abfragen(12)"}}}),
         {}},
        {"Aufzeichnung_beendet",
         [] { EXPECT_FALSE(Aufzeichnung_beendet()); },
         Zeilen_t{},
         Fuer({{{3}, {"Speicher.Aufzeichnung_beendet()"}}}),
         {}},
        {"Achsenposition",
         [] { EXPECT_EQ(Achsenposition_abfragen_in_Schritten('y'), 0); },
         Zeilen_t{},
         Fuer({{Parallel, {"Karte.Achsenposition_abfragen(y)"}},
               {Speichernd, {"Speicher.Achsenposition_abfragen(y)"}},
               {Seriell, {"Linie.Achsenposition_abfragen(y)"}}}),
         {}},
        {"Version",
         [] { Version_abfragen(); },
         Befehlszeile("Version_abfragen()"),
         Fuer({{Parallel, {"Karte.Version_abfragen()"}},
               {Speichernd, {"Speicher.Version_abfragen()"}},
               {Seriell, {"Linie.Version_abfragen()"}}}),
         {}},
        {"Steuerung_schliessen",
         [] { Steuerung_schliessen(); },
         Zeilen_t{},
         Fuer({{Speichernd, {"Speicher.Port_schliessen()"}}, {Seriell, {"Linie.UnInit()"}}}),
         {}},
        {"xyzuReset",
         [] { xyzuReset_durchfuehren(true, true, true, false); },
         std::nullopt,
         Fuer({{Parallel,
                {"Karte.Referenzfahrt_ausfuehren(z)", "Karte.Referenzfahrt_ausfuehren(x)",
                 "Karte.Referenzfahrt_ausfuehren(y)"}},
               {Speichernd, {"Speicher.Referenzfahrt_ausfuehren(zxy)"}},
               {Seriell, {"Linie.Referenzfahrt_ausfuehren(zxy)", "Linie.WaitResp(-1)"}}}),
         {}},
    };
}

// For each operation and each Modul value: the log line, which module got which call with
// which arguments, and nothing else.
TEST_F(Steuerungstest, JedeOperationProtokolliertUndErreichtNurIhrenTreiber) {
    for (const Fall& fall : Dispatchfaelle()) {
        for (int32_t modul : Alle_Werte) {
            SCOPED_TRACE(fall.name + ", Modul " + std::to_string(modul));
            Steuerung().Abbruch = false;
            Stopp = false;
            const Zeilen_t protokoll = Ausfuehren(modul, fall.aufruf);
            auto it = fall.aufrufe.find(modul);
            EXPECT_EQ(Aufrufe(), it == fall.aufrufe.end() ? Zeilen_t{} : it->second);
            if (fall.protokoll) {
                EXPECT_EQ(protokoll, *fall.protokoll);
            }
            if (fall.danach) fall.danach(modul);
        }
    }
}

TEST_F(Steuerungstest, SchrittbetriebNurBeiEigenemSignalDerKarte) {
    Parametersatz().Steuersignal = 1;
    for (int32_t modul : {6, 10}) {
        Ausfuehren(modul, [] { Schrittbetrieb_einstellen(); });
        EXPECT_TRUE(Aufrufe().empty()) << modul;
    }
    Ausfuehren(10, [] { Ansteuersignale_einstellen(); });
    EXPECT_EQ(Aufrufe(), Zeilen_t{"Linie.Ansteuersignale_einstellen(1)"});
}

TEST_F(Steuerungstest, XyzuResetProtokolliertJedeReferenzfahrt) {
    EXPECT_EQ(Ausfuehren(4, [] { xyzuReset_durchfuehren(true, true, true, false); }),
              (Zeilen_t{"    Referenzfahrt_ausfuehren(z)", "    Referenzfahrt_ausfuehren(x)",
                        "    Referenzfahrt_ausfuehren(y)"}));
    EXPECT_EQ(Ausfuehren(5, [] { xyzuReset_durchfuehren(true, true, true, false); }),
              Zeilen_t{"    Referenzfahrt_ausfuehren(zxy)"});
    for (int32_t modul : {8, 9, 14})
        EXPECT_TRUE(
            Ausfuehren(modul, [] { xyzuReset_durchfuehren(true, true, true, true); }).empty());
}

TEST_F(Steuerungstest, XyzuResetOhneAchse) {
    // The other types are still told, with an empty text; the cards get nothing.
    EXPECT_EQ(Ausfuehren(6, [] { xyzuReset_durchfuehren(false, false, false, false); }),
              Zeilen_t{"    Referenzfahrt_ausfuehren()"});
    EXPECT_EQ(Aufrufe(), (Zeilen_t{"Linie.Referenzfahrt_ausfuehren()", "Linie.WaitResp(-1)"}));
    EXPECT_EQ(Ausfuehren(2, [] { xyzuReset_durchfuehren(false, false, false, false); }),
              Zeilen_t{"    Referenzfahrt_ausfuehren()"});
    EXPECT_TRUE(Ausfuehren(0, [] { xyzuReset_durchfuehren(false, false, false, false); }).empty());
    EXPECT_TRUE(Aufrufe().empty());
}

TEST_F(Steuerungstest, Referenzreihenfolge) {
    Maschinenparameter& p = Parametersatz();
    EXPECT_EQ(Referenzreihenfolge(true, true, true, false), "zxy");
    EXPECT_EQ(Referenzreihenfolge(true, true, true, true), "zxyu");
    EXPECT_EQ(Referenzreihenfolge(false, true, false, true), "yu");
    // Equal numbers: x before y before z before u.
    p.xRefNr = p.yRefNr = p.zRefNr = p.uRefNr = 1;
    EXPECT_EQ(Referenzreihenfolge(true, true, true, true), "xyzu");
    p.uRefNr = 0;
    p.xRefNr = -3;
    p.yRefNr = 98;
    EXPECT_EQ(Referenzreihenfolge(true, true, true, true), "zy");
}

TEST_F(Steuerungstest, ReihenfolgeAb99WirdAusgelassenUndProtokolliert) {
    Parametersatz().xRefNr = 99;
    Parametersatz().uRefNr = 1000;
    EXPECT_EQ(Referenzreihenfolge(true, true, true, true), "zy");
    const Zeilen_t protokoll =
        Ausfuehren(5, [] { xyzuReset_durchfuehren(true, true, true, true); });
    EXPECT_EQ(protokoll,
              (Zeilen_t{"    xyzuReset_durchfuehren() :: Achse x mit Reihenfolge 99 ausgelassen",
                        "    xyzuReset_durchfuehren() :: Achse u mit Reihenfolge 1000 ausgelassen",
                        "    Referenzfahrt_ausfuehren(zy)"}));
    // An axis that does not take part is not reported.
    EXPECT_EQ(Ausfuehren(5, [] { xyzuReset_durchfuehren(false, true, true, false); }),
              Zeilen_t{"    Referenzfahrt_ausfuehren(zy)"});
}

// ---- Abort check ----

void Erwarte_Abbruch(const std::function<void()>& aufruf) {
    try {
        aufruf();
        ADD_FAILURE() << "no abort raised";
    } catch (const Steuerungsfehler& fehler) {
        EXPECT_EQ(fehler.code(), THROW_ABORT);
    }
    EXPECT_FALSE(Steuerung().Abbruch) << "the abort flag must be consumed";
}

TEST_F(Steuerungstest, AbbruchpruefungNachBewegungUndWartenAuchOhneWirkung) {
    const std::vector<std::pair<std::string, std::function<void()>>> operationen{
        {"Referenzfahrt", [] { Referenzfahrt_ausfuehren("x"); }},
        {"Vektorfahrt", [] { Vektorfahrt_ausfuehren(false, 1, 10, 20, 30, 1); }},
        {"Vektorfahrt ohne Weg", [] { Vektorfahrt_ausfuehren(true, 8, 0, 0, 0, 1); }},
        {"UVektorfahrt", [] { UVektorfahrt_ausfuehren(true, 1, 10, 13); }},
        {"UVektorfahrt ohne Weg", [] { UVektorfahrt_ausfuehren(true, 1, 0, 13); }},
        {"Wartezeit", [] { Wartezeit_einfuegen(10); }},
        {"xyzuReset", [] { xyzuReset_durchfuehren(true, false, false, false); }},
    };
    for (const auto& [name, aufruf] : operationen) {
        for (int32_t modul : Alle_Werte) {
            if (name == "xyzuReset" && Steuerungstyp_zu(modul) == nullptr) continue;
            SCOPED_TRACE(name + ", Modul " + std::to_string(modul));
            Steuerung_einrichten(modul);
            Steuerung().Abbruch = true;
            Erwarte_Abbruch(aufruf);
        }
    }
}

TEST_F(Steuerungstest, AndereOperationenLassenDenAbbruchStehen) {
    Steuerung_einrichten(5);
    Steuerung().Abbruch = true;
    Startgeschwindigkeit_einstellen(100);
    Ausgangssignal_setzen(1, 1);
    Wartezeit_einfuegen(0);
    EXPECT_TRUE(Steuerung().Abbruch);
}

TEST_F(Steuerungstest, AbbruchWaehrendDesWartensBeendetNachDemStueck) {
    for (int32_t modul : {0, 3, 5}) {
        SCOPED_TRACE(modul);
        Steuerung_einrichten(modul);
        Attrappe* treiber = modul == 0   ? static_cast<Attrappe*>(Karte())
                            : modul == 3 ? static_cast<Attrappe*>(Speicher())
                                         : static_cast<Attrappe*>(Linie());
        treiber->Bei_Aufruf("Wartezeit_einfuegen", [] { Steuerung().Abbruch = true; });
        Erwarte_Abbruch([] { Wartezeit_einfuegen(5000); });
        int stuecke = 0;
        for (const auto& zeile : Aufrufe())
            if (zeile.find("Wartezeit_einfuegen(") != std::string::npos) ++stuecke;
        EXPECT_EQ(stuecke, 1);
    }
}

TEST_F(Steuerungstest, AbbruchBeendetDieReferenzfahrtenDerKarteNachDerErstenAchse) {
    Steuerung_einrichten(1);
    Karte()->Bei_Aufruf("Referenzfahrt_ausfuehren", [] { Steuerung().Abbruch = true; });
    Erwarte_Abbruch([] { xyzuReset_durchfuehren(true, true, true, false); });
    EXPECT_EQ(Aufrufe(), Zeilen_t{"Karte.Referenzfahrt_ausfuehren(z)"});
}

// ---- Completion of serial moves ----

TEST_F(Steuerungstest, ImSpeichermodusWirdKeinAbschlussAbgewartet) {
    Steuerung_einrichten(6);
    Linie()->SetStoreMode(true);
    fabrik.liste->Leeren();
    Referenzfahrt_ausfuehren("x");
    Vektorfahrt_ausfuehren(true, 1, 5, 0, 0, 13);
    UVektorfahrt_ausfuehren(true, 1, 5, 13);
    Wartezeit_einfuegen(300);
    EXPECT_EQ(Aufrufe(), (Zeilen_t{"Linie.Referenzfahrt_ausfuehren(x)",
                                   "Linie.Vektorfahrt_ausfuehren(1, 1, 5, 0, 0)",
                                   "Linie.UVektorfahrt_ausfuehren(1, 1, 5)",
                                   "Linie.Wartezeit_einfuegen(300)"}));
}

TEST_F(Steuerungstest, NurEineErsteAntwortMitNakVerlangtDenAbschluss) {
    Steuerung_einrichten(5);
    Linie()->Bewegungsantworten_vorgeben({"", std::string(1, '\x15') + "x", "E3\a"});
    for (int i = 0; i < 3; ++i)
        Vektorfahrt_ausfuehren(true, 1, 5, 0, 0, 13);
    EXPECT_EQ(Aufrufe(),
              (Zeilen_t{"Linie.Vektorfahrt_ausfuehren(1, 1, 5, 0, 0)",
                        "Linie.Vektorfahrt_ausfuehren(1, 1, 5, 0, 0)", "Linie.WaitResp(-1)",
                        "Linie.Vektorfahrt_ausfuehren(1, 1, 5, 0, 0)"}));
}

TEST_F(Steuerungstest, FehlerDerTreiberGehenUnveraendertDurch) {
    Steuerung_einrichten(5);
    Linie()->Fehler_vorgeben("WaitResp", WAIT_TIMEOUT);
    try {
        Wartezeit_einfuegen(3000);
        ADD_FAILURE() << "no error raised";
    } catch (const Steuerungsfehler& fehler) {
        EXPECT_EQ(fehler.code(), WAIT_TIMEOUT);
    }
    // The first failing piece ends the wait.
    EXPECT_EQ(Aufrufe(), (Zeilen_t{"Linie.Wartezeit_einfuegen(1000)", "Linie.WaitResp(2000)"}));
}

// ---- Sequences ----

TEST_F(Steuerungstest, InitializeSteuerungVollstaendigAufKXvario) {
    const Zeilen_t protokoll = Ausfuehren(5, [] { InitializeSteuerung(true); });
    EXPECT_EQ(protokoll, (Zeilen_t{
                             "    ======================",
                             "    InitializeSteuerung(1)",
                             "    Startgeschwindigkeit_einstellen(200)",
                             "    Endgeschwindigkeit_einstellen(0, 200)",
                             "    Endgeschwindigkeit_einstellen(1, 400)",
                             "    Endgeschwindigkeit_einstellen(2, 600)",
                             "    Rampenlaenge_einstellen(200)",
                             "    Referenzoffset_einstellen(x, 0.25)",
                             "    Referenzoffset_einstellen(y, 0.25)",
                             "    Referenzoffset_einstellen(z, 0.25)",
                             "    Referenzgeschwindigkeit_einstellen(400)",
                             "    InitializeSteuerung(1) :: Fertig",
                             "    ================================",
                         }));
    EXPECT_EQ(Aufrufe(), (Zeilen_t{
                             "Linie.SendWait(c,x100<CR>, 512)",
                             "Linie.SendWait(c,y100<CR>, 512)",
                             "Linie.SendWait(c,z120<CR>, 512)",
                             "Linie.SendWait(c,u0<CR>, 512)",
                             "Linie.SendWait(D,x2<CR>, 512)",
                             "Linie.SendWait(D,y2<CR>, 512)",
                             "Linie.SendWait(D,z2<CR>, 512)",
                             "Linie.SendWait(D,u2<CR>, 512)",
                             "Linie.Startgeschwindigkeit_einstellen(200)",
                             "Linie.Endgeschwindigkeit_einstellen(0, 200)",
                             "Linie.Endgeschwindigkeit_einstellen(1, 400)",
                             "Linie.Endgeschwindigkeit_einstellen(2, 600)",
                             "Linie.Rampenlaenge_einstellen(200)",
                             "Linie.Referenzoffset_einstellen(x, 100)",
                             "Linie.Referenzoffset_einstellen(y, 50)",
                             "Linie.Referenzoffset_einstellen(z, 100)",
                             "Linie.Referenzgeschwindigkeit_einstellen(400)",
                         }));
}

TEST_F(Steuerungstest, InitialisierungsanfragenNurVollstaendigAuf5Und10) {
    auto anfragen = [&] {
        int anzahl = 0;
        for (const auto& zeile : Aufrufe())
            if (zeile.starts_with("Linie.SendWait(")) ++anzahl;
        return anzahl;
    };
    for (int32_t modul : Alle_Werte) {
        SCOPED_TRACE(modul);
        Ausfuehren(modul, [] { InitializeSteuerung(true); });
        EXPECT_EQ(anfragen(), modul == 5 || modul == 10 ? 8 : 0);
        Ausfuehren(modul, [] { InitializeSteuerung(false); });
        EXPECT_EQ(anfragen(), 0);
    }
}

TEST_F(Steuerungstest, InitializeSteuerungOhneFullStelltAuchDieAntriebeEin) {
    const Zeilen_t protokoll = Ausfuehren(2, [] { InitializeSteuerung(false); });
    ASSERT_EQ(protokoll.size(), 17u);
    EXPECT_EQ(protokoll[1], "    InitializeSteuerung(0)");
    EXPECT_EQ(protokoll[7], "    Ansteuersignale_einstellen()");
    EXPECT_EQ(protokoll[10], "    U_Achse_einstellen()");
    EXPECT_EQ(protokoll[15], "    InitializeSteuerung(0) :: Fertig");
    EXPECT_EQ(Aufrufe(), (Zeilen_t{
                             "Speicher.Startgeschwindigkeit_einstellen(200)",
                             "Speicher.Endgeschwindigkeit_einstellen(0, 200)",
                             "Speicher.Endgeschwindigkeit_einstellen(1, 400)",
                             "Speicher.Endgeschwindigkeit_einstellen(2, 600)",
                             "Speicher.Rampenlaenge_einstellen(200)",
                             "Speicher.Ansteuersignale_einstellen(0)",
                             "Speicher.Schrittbetrieb_einstellen(1)",
                             "Speicher.Z_Achse_einstellen(2)",
                             "Speicher.Referenzoffset_einstellen(x, 100)",
                             "Speicher.Referenzoffset_einstellen(y, 50)",
                             "Speicher.Referenzoffset_einstellen(z, 100)",
                             "Speicher.Referenzgeschwindigkeit_einstellen(400)",
                             "Speicher.Referenzrichtung_einstellen(x)",
                             "Speicher.Referenzrichtung_einstellen(y)",
                             "Speicher.Referenzrichtung_einstellen(z)",
                         }));
}

TEST_F(Steuerungstest, EinFehlerBeendetDieInitialisierung) {
    Steuerung_einrichten(10);
    Linie()->Fehler_vorgeben("SendWait", WAIT_TIMEOUT);
    const std::size_t vorher = Protokoll().size();
    try {
        InitializeSteuerung(true);
        ADD_FAILURE() << "no error raised";
    } catch (const Steuerungsfehler& fehler) {
        EXPECT_EQ(fehler.code(), WAIT_TIMEOUT);
    }
    EXPECT_EQ(Aufrufe(), Zeilen_t{"Linie.SendWait(c,x100<CR>, 512)"});
    EXPECT_EQ(Protokoll().size(), vorher + 2);

    Linie()->Fehler_vorgeben("Rampenlaenge_einstellen", OUT_OF_RANGE);
    fabrik.liste->Leeren();
    EXPECT_THROW(InitializeSteuerung(false), Steuerungsfehler);
    EXPECT_EQ(Aufrufe().back(), "Linie.Rampenlaenge_einstellen(200)");
}

TEST_F(Steuerungstest, EndeDerAufzeichnungMeldetBeiJedemTyp) {
    for (int32_t modul : Alle_Werte) {
        SCOPED_TRACE(modul);
        ui.Leeren();
        const Zeilen_t protokoll = Ausfuehren(modul, [] { End_in_Festwertspeicher(); });
        EXPECT_EQ(protokoll, Befehlszeile("End_in_Festwertspeicher()"));
        EXPECT_EQ(Aufrufe(),
                  modul == 3 ? Zeilen_t{"Speicher.End_in_Festwertspeicher()"} : Zeilen_t{});
        const auto meldungen = ui.Meldungen();
        ASSERT_EQ(meldungen.size(), 1u);
        EXPECT_EQ(meldungen[0].text, "Festwertspeicher-Download war erfolgreich!\n");
        EXPECT_EQ(meldungen[0].titel, "Information");
        EXPECT_EQ(meldungen[0].symbol, Symbol::information);
    }
}

TEST_F(Steuerungstest, OhneTreibermodulNurDasProtokoll) {
    Treiberfabrik_setzen({});
    Steuerungsmodule_freigeben();
    for (int32_t modul : {0, 2, 5}) {
        Parametersatz().Modul = modul;
        Steuerung_erzeugen();
        const std::size_t vorher = Protokoll().size();
        Startgeschwindigkeit_einstellen(100);
        Vektorfahrt_ausfuehren(true, 1, 1, 1, 1, 1);
        Wartezeit_einfuegen(1500);
        E1Verknuepfung_setzen(1, false);
        EXPECT_FALSE(Version_abfragen());
        EXPECT_FALSE(Steuerung_oeffnen("COM1"));
        EXPECT_EQ(Achsenposition_abfragen_in_Schritten('x'), 0);
        EXPECT_EQ(Protokoll().size(), vorher + 5);
    }
}

} // namespace
} // namespace orvexa::test
