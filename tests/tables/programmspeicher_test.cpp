// The program memory exchanges through every real layer down to the simulated KXvario: the
// requests the controller received, the places it holds and the transcript as the dialog shows
// it.

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "drivers/korabefehlssatz.h"
#include "drivers/koracom.h"
#include "simumgebung.h"
#include "tables/programmspeicher.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class Protokollbeobachter : public Programmspeicher_Beobachter {
public:
    void Protokoll_leeren() override { zeilen.clear(); }
    void Protokoll_anfuegen(const std::string& zeile, Protokollfarbe farbe) override {
        zeilen.push_back((farbe == Protokollfarbe::blau ? "B " : "S ") + zeile);
    }
    void Plaetze_anzeigen(const std::array<bool, 7>& belegt) override { plaetze = belegt; }
    void Nachrichten_verarbeiten() override {}

    std::vector<std::string> zeilen;
    std::array<bool, 7> plaetze{};
};

class ProgrammspeicherTest : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        Achsen_einstellen(100);
        Parametersatz().xRefNr = 1;
        ASSERT_NO_FATAL_FAILURE(Verbinden());
    }

    // Two rows: an output with a move of x and y, a move of z with a wait; saved, so that the
    // header names the file.
    void Tabelle_anlegen() {
        tabelle.Schritteingabe = true;
        tabelle.ZeileHinzufuegen(2);
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 2, "ON"));
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "400"));
        ASSERT_TRUE(tabelle.Zelle_setzen(1, 7, "-50"));
        ASSERT_TRUE(tabelle.Zelle_setzen(2, 8, "30"));
        ASSERT_TRUE(tabelle.Zelle_setzen(2, 10, "20"));
        tabelle.DateiName = ordner.Datei("probe.edt");
        ASSERT_TRUE(tabelle.TabelleSpeichern());
    }

    Schreibauftrag Auftrag(int32_t durchlaeufe = 2) const {
        Schreibauftrag a;
        a.Durchlaeufe = durchlaeufe;
        a.xReferenz = true;
        a.Kopf = tabelle.Dateibeschreibung();
        return a;
    }

    bool Speichermodus_der_Linie() {
        auto* linie = dynamic_cast<KoraBefehlssatz*>(koraCOM());
        return linie && linie->Linie().StoreMode();
    }

    Protokollbeobachter beobachter;
    Programmspeicher speicher{beobachter};
    Positionstabelle tabelle;
    Vektorausgabe lauf{tabelle};
};

TEST_F(ProgrammspeicherTest, LeererSpeicherAlleGruenUndProgrammEinsIstLeer) {
    EXPECT_EQ(speicher.Platz_waehlen(1), Speicherergebnis::erledigt);
    EXPECT_THAT(beobachter.plaetze, ElementsAre(false, false, false, false, false, false, false));
    EXPECT_THAT(Neue_Anfragen(),
                ElementsAre("*FR1", "*FR2", "*FR3", "*FR4", "*FR5", "*FR6", "*FR7", "*PR1"));
    EXPECT_THAT(beobachter.zeilen,
                ElementsAre("S ### Programm 1 lesen ###", "S *PR1<CR>", "B E3<BEL>",
                            "B ### Der Programmspeicher ist leer ! ###",
                            "B ### Programm 1 lesen - Ende ###"));
    EXPECT_EQ(speicher.Meldung(), "### Programm 1 lesen - Ende ###");
    EXPECT_THAT(ui.Meldungen(), IsEmpty());
}

TEST_F(ProgrammspeicherTest, NullDurchlaeufePiepenNurUndSendenNichts) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_anlegen());
    for (int32_t durchlaeufe : {0, -3}) {
        ui.Leeren();
        EXPECT_EQ(speicher.Programm_schreiben(3, lauf, Auftrag(durchlaeufe)),
                  Speicherergebnis::abgelehnt);
        ASSERT_EQ(ui.Toene().size(), 1u);
        EXPECT_EQ(ui.Toene()[0].hz, 440);
        EXPECT_EQ(ui.Toene()[0].ms, 1);
    }
    EXPECT_THAT(Neue_Anfragen(), IsEmpty());
    EXPECT_THAT(beobachter.zeilen, IsEmpty());
}

TEST_F(ProgrammspeicherTest, SchreibenBelegtPlatzDreiUndLesenZeigtDenGespeichertenStrom) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_anlegen());
    const std::string kopf = tabelle.Dateibeschreibung();
    ASSERT_EQ(kopf.back(), '\x02');
    const std::string kopftext = kopf.substr(0, kopf.size() - 1);

    EXPECT_EQ(speicher.Programm_schreiben(3, lauf, Auftrag()), Speicherergebnis::erledigt);
    EXPECT_THAT(beobachter.plaetze, ElementsAre(false, false, true, false, false, false, false));
    EXPECT_FALSE(Speichermodus_der_Linie());
    EXPECT_FALSE(lauf.InFestwertspeicher);

    // What went on the line: erase, write, header, then the recorded program up to the ETX.
    const std::vector<std::string> gesendet = Neue_Anfragen_abholen();
    ASSERT_GE(gesendet.size(), 5u);
    EXPECT_THAT(std::vector<std::string>(gesendet.begin(), gesendet.begin() + 4),
                ElementsAre("*PE3", "*PW3", kopftext, "#PD,2"));
    const auto gespeichert = sim->Programmplatz(3);
    ASSERT_TRUE(gespeichert.has_value());
    EXPECT_EQ(gespeichert->Kopf, kopftext);
    ASSERT_FALSE(gespeichert->Befehle.empty());
    // Everything between the header and the ETX is stored, as sent.
    const auto etx = std::find(gesendet.begin(), gesendet.end(), "\x03");
    ASSERT_NE(etx, gesendet.end());
    EXPECT_EQ(gespeichert->Befehle, std::vector<std::string>(gesendet.begin() + 3, etx));
    EXPECT_EQ(gespeichert->Befehle.front(), "#PD,2");
    EXPECT_EQ(gespeichert->Befehle.back(), "&E1,0");
    EXPECT_THAT(gespeichert->Befehle, ::testing::Contains("$Hx"));
    EXPECT_THAT(gespeichert->Befehle, ::testing::Contains("W20"));
    EXPECT_THAT(std::vector<std::string>(gesendet.end() - 8, gesendet.end()),
                ElementsAre("\x03", "*FR1", "*FR2", "*FR3", "*FR4", "*FR5", "*FR6", "*FR7"));

    EXPECT_THAT(beobachter.zeilen,
                ElementsAre("S ### Programm 3 schreiben! ###", "S ...Programm löschen...",
                            "S *PW3<CR>", "B <ACK>", "S " + kopftext + "<STX>", "B <ACK>",
                            "B ...Durchlaufparameter: 2 ...",
                            "B ...Defaulteinstellungen übertragen...", "B ...Referenzfahrt...",
                            "B ...Tabelle übertragen...", "S <ETX>", "B <ACK>",
                            "B ### Programm 3 schreiben - Ende ###"));

    // Read back: the echo, the header and every stored command, then the ACK.
    EXPECT_EQ(speicher.Programm_auslesen(3), Speicherergebnis::erledigt);
    std::vector<std::string> erwartet = {"S ### Programm 3 lesen ###", "S *PR3<CR>", "B *PR3<CR>",
                                         "B " + kopftext + "<CR>"};
    for (const std::string& befehl : gespeichert->Befehle)
        erwartet.push_back("B " + befehl + "<CR>");
    erwartet.push_back("B <ACK>");
    erwartet.push_back("B ### Programm 3 lesen - Ende ###");
    EXPECT_THAT(beobachter.zeilen, ElementsAreArray(erwartet));
    EXPECT_THAT(ui.Meldungen(), IsEmpty());
}

TEST_F(ProgrammspeicherTest, LoeschenMachtDenPlatzWiederGruen) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_anlegen());
    ASSERT_EQ(speicher.Programm_schreiben(3, lauf, Auftrag()), Speicherergebnis::erledigt);
    Zaehlung_neu();

    ui.Antworten_vorgeben({Antwort::ja});
    EXPECT_EQ(speicher.Programm_loeschen(3), Speicherergebnis::erledigt);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    const auto frage = ui.Meldungen()[0];
    EXPECT_EQ(frage.text, "Möchten Sie den Programmspeicherplatz wirklich löschen?\n");
    EXPECT_TRUE(frage.titel == "orvexa2011" && frage.symbol == Symbol::frage &&
                frage.knoepfe == Knoepfe::ja_nein);
    EXPECT_FALSE(sim->Programmplatz(3).has_value());
    EXPECT_THAT(beobachter.plaetze, ElementsAre(false, false, false, false, false, false, false));
    EXPECT_THAT(beobachter.zeilen,
                ElementsAre("S ### Programm 3 löschen ###", "S *PE3<CR>", "B *PE3<CR>", "B <ACK>",
                            "B ### Programm 3 löschen - Ende ###"));

    // An empty place counts as erased.
    ui.Antworten_vorgeben({Antwort::ja});
    EXPECT_EQ(speicher.Programm_loeschen(3), Speicherergebnis::erledigt);
    EXPECT_THAT(beobachter.zeilen, ::testing::Contains("B E3<BEL>"));
}

TEST_F(ProgrammspeicherTest, LoeschenMitNeinSendetNichts) {
    ui.Antworten_vorgeben({Antwort::nein});
    EXPECT_EQ(speicher.Programm_loeschen(2), Speicherergebnis::abgelehnt);
    EXPECT_THAT(Neue_Anfragen(), IsEmpty());
    EXPECT_THAT(beobachter.zeilen, ElementsAre("S ### Programm 2 löschen ###",
                                               "S ### Programm 2 löschen - Abbruch ###"));
}

TEST_F(ProgrammspeicherTest, AllesLoeschenMitNeinSendetNichtsMitJaLeertDenSpeicher) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_anlegen());
    ASSERT_EQ(speicher.Programm_schreiben(5, lauf, Auftrag()), Speicherergebnis::erledigt);
    Zaehlung_neu();

    ui.Antworten_vorgeben({Antwort::nein});
    EXPECT_EQ(speicher.Alle_Programme_loeschen(), Speicherergebnis::abgelehnt);
    EXPECT_EQ(ui.Meldungen().back().text,
              "Möchten Sie wirklich den gesamten Festwertspeicher löschen?\n");
    EXPECT_THAT(Neue_Anfragen(), IsEmpty());
    EXPECT_TRUE(sim->Programmplatz(5).has_value());
    // The transcript of the write stays.
    EXPECT_EQ(beobachter.zeilen.back(), "B ### Programm 5 schreiben - Ende ###");

    ui.Antworten_vorgeben({Antwort::ja});
    EXPECT_EQ(speicher.Alle_Programme_loeschen(), Speicherergebnis::erledigt);
    EXPECT_FALSE(sim->Programmplatz(5).has_value());
    EXPECT_EQ(Neue_Anfragen().front(), "*PEa");
    EXPECT_THAT(beobachter.zeilen,
                ElementsAre("S ### alle Programme löschen ###", "S *PEa<CR>", "B *PEa<CR>",
                            "B <ACK>", "B ### alle Programme löschen - Ende ###"));
}

TEST_F(ProgrammspeicherTest, FehlerImTabellendurchlaufSchaltetDenSpeichermodusAb) {
    ASSERT_NO_FATAL_FAILURE(Tabelle_anlegen());
    // A start speed the controller does not take: refused before it is sent.
    ASSERT_TRUE(tabelle.Zelle_setzen(2, 11, "200000"));
    EXPECT_EQ(speicher.Programm_schreiben(4, lauf, Auftrag()), Speicherergebnis::fehler);
    EXPECT_EQ(speicher.Fehlercode(), OUT_OF_RANGE);
    EXPECT_FALSE(Speichermodus_der_Linie());
    EXPECT_FALSE(lauf.InFestwertspeicher);
    EXPECT_EQ(speicher.Meldung(), "### Programm 4 schreiben - Fehler ###");
    EXPECT_EQ(beobachter.zeilen.back(), "B ### Programm 4 schreiben - Fehler ###");
    // The driver's box, then the report.
    ASSERT_FALSE(ui.Meldungen().empty());
    EXPECT_EQ(ui.Meldungen().back().titel, "orvexa2011");

    // The unfinished recording is given up: nothing of it is kept, and without store mode the
    // next move runs instead of being stored.
    EXPECT_FALSE(sim->Programmplatz(4).has_value());
    EXPECT_THAT(beobachter.plaetze, ElementsAre(false, false, false, false, false, false, false));
    Zaehlung_neu();
    Vektorfahrt_ausfuehren(true, 1, 10, 0, 0, 13);
    EXPECT_EQ(sim->Position('x'), 10);
}

TEST_F(ProgrammspeicherTest, AntwortOhneEchoIstEinKommunikationsfehler) {
    sim->Muell_senden(true, "XY\r");
    EXPECT_EQ(speicher.Programm_auslesen(1), Speicherergebnis::fehler);
    EXPECT_EQ(speicher.Fehlercode(), COMMUNICATION_ERROR);
    EXPECT_EQ(beobachter.zeilen.back(), "B ### Programm 1 lesen - Fehler ###");
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, Fehlerbericht(COMMUNICATION_ERROR));

    ui.Antworten_vorgeben({Antwort::ja});
    EXPECT_EQ(speicher.Alle_Programme_loeschen(), Speicherergebnis::fehler);
    EXPECT_EQ(beobachter.zeilen.back(), "B ### alle Programme löschen - Fehler ###");
}

TEST(Programmspeicher_Kopfzeile, PasstInEineAnfrageUndBehaeltDasEnde) {
    EXPECT_EQ(Programmspeicher::Kopfzeile("\x02"), "\x02");
    EXPECT_EQ(Programmspeicher::Kopfzeile("/a/b.edt 01.02.2015 10:00:00\x02"),
              "/a/b.edt 01.02.2015 10:00:00\x02");
    // Windows-1252 on the line.
    EXPECT_EQ(Programmspeicher::Kopfzeile("/ä.edt\x02"), "/\xE4.edt\x02");
    // Without STX it gets one.
    EXPECT_EQ(Programmspeicher::Kopfzeile("x"), "x\x02");

    const std::string ende = "/tabelle.edt 30.01.2015 13:04:05\x02";
    const std::string lang = "/" + std::string(200, 'v') + ende;
    const std::string kopf = Programmspeicher::Kopfzeile(lang);
    EXPECT_EQ(kopf.size(), TkoraCOM::Anfrage_max);
    EXPECT_TRUE(kopf.starts_with("..."));
    EXPECT_TRUE(kopf.ends_with(ende));
    const std::string genau(TkoraCOM::Anfrage_max - 1, 'k');
    EXPECT_EQ(Programmspeicher::Kopfzeile(genau + "\x02"), genau + "\x02");
}

TEST(Programmspeicher_Platz, LeerNurMitDerLeerenAntwortDesPlatzes) {
    EXPECT_TRUE(Programmspeicher::Platz_leer(3, "*FR3 -,-\r"));
    EXPECT_FALSE(Programmspeicher::Platz_leer(3, "*FR3 120,/a.edt\r"));
    EXPECT_FALSE(Programmspeicher::Platz_leer(3, "*FR4 -,-\r"));
    EXPECT_FALSE(Programmspeicher::Platz_leer(3, "*FR3 -"));
}

} // namespace
} // namespace orvexa::test
