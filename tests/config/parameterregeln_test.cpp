// The dialog's rules without a window: type presets, what a type shows, the interface choices,
// and how OK turns the entries into the parameter set.

#include "config/parameterregeln.h"

#include "core/steuerungstypen.h"
#include "core/text.h"

#include <gtest/gtest.h>

using namespace orvexa;

namespace {

Maschinenparameter Gesetzt() {
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.Steuersignal = 1;
    p.Schrittbetrieb = 1;
    p.Ruhestrom = 2;
    p.ZBetrieb = 2;
    p.UBetrieb = 0;
    return p;
}

TEST(Typvorgaben, JeTypNurDieGenanntenFelder) {
    for (int32_t modul : {0, 6, 10}) {
        Maschinenparameter p = Gesetzt();
        p.Modul = modul;
        Typvorgaben_anwenden(p);
        EXPECT_EQ(p.Steuersignal, 0) << modul;
        EXPECT_EQ(p.Schrittbetrieb, 0) << modul;
        EXPECT_EQ(p.Ruhestrom, 1) << modul;
        EXPECT_EQ(p.ZBetrieb, 2) << modul; // left alone
    }
    Maschinenparameter p = Gesetzt();
    p.Modul = 2;
    Typvorgaben_anwenden(p);
    EXPECT_EQ(p.ZBetrieb, 1);
    EXPECT_EQ(p.Ruhestrom, 1);

    p = Gesetzt();
    p.Modul = 3;
    Typvorgaben_anwenden(p);
    EXPECT_EQ(p.UBetrieb, 1);
    EXPECT_EQ(p.Steuersignal, 1);

    for (int32_t modul : {11, 12}) {
        p = Gesetzt();
        p.Steuersignal = 0;
        p.Modul = modul;
        Typvorgaben_anwenden(p);
        EXPECT_EQ(p.Steuersignal, 1);
        EXPECT_EQ(p.Ruhestrom, 2);
    }
    // Types without presets, and values outside the table, change nothing.
    for (int32_t modul : {1, 4, 5, 7, 8, 13, -3}) {
        p = Gesetzt();
        p.Modul = modul;
        Maschinenparameter vorher = p;
        Typvorgaben_anwenden(p);
        EXPECT_EQ(p, vorher) << modul;
    }
}

TEST(Sichtbarkeit, GruppenJeTyp) {
    const Sichtbarkeit vier = Sichtbarkeit_fuer(4);
    EXPECT_TRUE(vier.Parallel);
    EXPECT_TRUE(vier.uZeilen);
    EXPECT_TRUE(vier.Achsspalten);
    EXPECT_FALSE(vier.Ansteuersignal);
    EXPECT_FALSE(vier.Schrittbetrieb);
    EXPECT_FALSE(vier.Ruhestrom);
    EXPECT_FALSE(vier.UAchse);

    const Sichtbarkeit null = Sichtbarkeit_fuer(0);
    EXPECT_TRUE(null.Parallel);
    EXPECT_TRUE(null.Ansteuersignal);
    EXPECT_TRUE(null.Ansteuersignal_nur_KX);
    EXPECT_FALSE(null.uZeilen);

    for (int32_t modul : {2, 6, 10}) {
        const Sichtbarkeit s = Sichtbarkeit_fuer(modul);
        EXPECT_FALSE(s.Parallel) << modul;
        EXPECT_TRUE(s.Ansteuersignal && s.Schrittbetrieb && s.Ruhestrom) << modul;
        EXPECT_FALSE(s.Ansteuersignal_nur_KX) << modul;
    }
    const Sichtbarkeit drei = Sichtbarkeit_fuer(3);
    EXPECT_TRUE(drei.UAchse);
    EXPECT_TRUE(drei.uZeilen);
    EXPECT_FALSE(drei.Parallel);

    for (const Steuerungstyp& t : Steuerungstypen()) {
        const Sichtbarkeit s = Sichtbarkeit_fuer(t.Modul);
        EXPECT_FALSE(s.ZAchse) << t.Modul;
        EXPECT_TRUE(s.RefGeschwindigkeit) << t.Modul;
        EXPECT_EQ(s.Parallel, t.Verbindung == Verbindungsart::Parallelport) << t.Modul;
    }
}

TEST(Baudangebot, SetztDieBaudrateDesTyps) {
    Maschinenparameter p;
    p.Modul = 6;
    p.Baudrate = 19200;
    EXPECT_EQ(Baudangebot(p), (std::vector<int32_t>{115200, 19200}));
    EXPECT_EQ(p.Baudrate, 115200);

    p.Modul = 3;
    p.Baudrate = 115200;
    EXPECT_EQ(Baudangebot(p), std::vector<int32_t>{19200});
    EXPECT_EQ(p.Baudrate, 19200);

    p.Modul = 4;
    p.Baudrate = 4711;
    EXPECT_TRUE(Baudangebot(p).empty());
    EXPECT_EQ(p.Baudrate, 4711);
}

TEST(Adresse, WahlUndHexadezimaleSchreibweise) {
    EXPECT_EQ(LPT_Wahl_zu(888), LPTWahl::LPT1);
    EXPECT_EQ(LPT_Wahl_zu(632), LPTWahl::LPT2);
    EXPECT_EQ(LPT_Wahl_zu(956), LPTWahl::Adresse);
    EXPECT_EQ(Adresse_als_Hex(956), "0x3bc");
    EXPECT_EQ(Adresse_als_Hex(0xE010), "0xe010");

    EXPECT_EQ(Hexadresse_lesen("3BC"), 956);
    EXPECT_EQ(Hexadresse_lesen("3bc"), 956);
    EXPECT_EQ(Hexadresse_lesen(" 0x3bc "), 956); // what the dialog itself shows reads back
    EXPECT_EQ(Hexadresse_lesen("$378"), 888);
    EXPECT_EQ(Hexadresse_lesen("FFFD"), 0xFFFD);
}

TEST(Adresse, UngueltigeEingabenWerdenAbgewiesen) {
    for (const char* text : {"", "   ", "0x", "$", "0", "0x0", "FFFE", "10000", "3G8", "-378",
                             "0x0x378", "3 78", "FFFFFFFFFFFF"})
        EXPECT_FALSE(Hexadresse_lesen(text).has_value()) << text;
}

TEST(Portname, ZiffernDesGeraetepfadsZaehlenNicht) {
    const std::string zeile = "COM5  /dev/ttyUSB0 (FTDI FT232R USB UART)";
    EXPECT_EQ(Portname(zeile), "COM5");
    EXPECT_EQ(COM_Nummer_lesen(Portname(zeile)), 5);
    EXPECT_EQ(COM_Nummer_lesen(Portname("COM12")), 12);
    EXPECT_EQ(COM_Nummer_lesen(Portname("")), 0);
}

TEST(Pins, ListenUndUmrechnung) {
    EXPECT_EQ(Pinliste(Pinart::TaktRichtung).front(), 2);
    EXPECT_EQ(Pinliste(Pinart::TaktRichtung).back(), 9);
    EXPECT_EQ(Pinliste(Pinart::Ausgang), (std::vector<int32_t>{1, 14, 16, 17}));
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::TaktRichtung, 0), 2);
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::TaktRichtung, 7), 9);
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::Referenz, 3), 13);
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::Ausgang, 2), 16);
    // No selection is no pin, not "index + 2".
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::TaktRichtung, -1), 0);
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::TaktRichtung, 8), 0);
    EXPECT_EQ(Pin_aus_Auswahl(Pinart::Referenz, 4), 0);

    EXPECT_EQ(Auswahl_aus_Pin(Pinart::Ausgang, 17), 3);
    EXPECT_EQ(Auswahl_aus_Pin(Pinart::Ausgang, 15), -1);
    EXPECT_EQ(Auswahl_aus_Pin(Pinart::Referenz, 0), -1);
    EXPECT_EQ(Auswahl_aus_Pin(Pinart::TaktRichtung, 5), 3);
}

// --- OK's conversion -----------------------------------------------------------------------------

Formularwerte Eintraege() {
    Formularwerte w;
    w.Modul = 5;
    w.ComNummer = 7;
    w.Baudtext = "19200";
    for (std::size_t a = 0; a < 4; ++a) {
        w.Takt[a] = static_cast<int>(2 * a + 1);
        w.Richtung[a] = static_cast<int>(2 * a);
        w.Ref[a] = static_cast<int>(a);
        w.Uebersetz[a] = "2,5";
        w.MotStep[a] = "200";
        w.RefOffset[a] = "0.75";
        w.RefNr[a] = std::to_string(a + 1);
    }
    w.Bohrspindel = 0;
    w.Kuehlmittelpumpe = 1;
    w.Absaugung = 3;
    w.Startfreq = "150";
    w.Arbeitsfreq = "1000";
    w.Eilfreq = "12000";
    w.Rampenlaenge = "250";
    w.RefFreq = "300";
    w.Steuersignal = 1;
    w.Schrittbetrieb = 1;
    w.Ruhestrom = 2;
    w.ZBetrieb = 1;
    w.UBetrieb = 1;
    return w;
}

TEST(Uebernahme, AlleFelderSeriell) {
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.LPTAdresse = 956;
    ASSERT_EQ(Formularwerte_uebernehmen(Eintraege(), p), Uebernahmefehler::keiner);
    EXPECT_EQ(p.Modul, 5);
    EXPECT_EQ(p.ComPort, 7);
    EXPECT_EQ(p.Baudrate, 19200);
    EXPECT_EQ(p.LPTAdresse, 956); // not a parallel type: the address stays
    EXPECT_EQ(p.xTakt, 3);
    EXPECT_EQ(p.uTakt, 9);
    EXPECT_EQ(p.xRichtung, 2);
    EXPECT_EQ(p.uRichtung, 8);
    EXPECT_EQ(p.xRef, 10);
    EXPECT_EQ(p.uRef, 13);
    EXPECT_EQ(p.Bohrspindel, 1);
    EXPECT_EQ(p.Kuehlmittelpumpe, 14);
    EXPECT_EQ(p.Absaugung, 17);
    EXPECT_EQ(p.Startfreq, 150);
    EXPECT_EQ(p.Arbeitsfreq, 1000);
    EXPECT_EQ(p.Eilfreq, 12000);
    EXPECT_EQ(p.Rampenlaenge, 250);
    EXPECT_DOUBLE_EQ(p.yUebersetz, 2.5);
    EXPECT_EQ(p.zMotStep, 200);
    EXPECT_DOUBLE_EQ(p.uRefOffset, 0.75);
    EXPECT_EQ(p.RefFreq, 300);
    EXPECT_EQ(p.zRefNr, 3);
    EXPECT_EQ(p.Steuersignal, 1);
    EXPECT_EQ(p.Schrittbetrieb, 1);
    EXPECT_EQ(p.Ruhestrom, 2);
    EXPECT_EQ(p.ZBetrieb, 2); // one above its index
    EXPECT_EQ(p.UBetrieb, 1);
}

TEST(Uebernahme, ReihenfolgeWirdAufEinsBisVierGehalten) {
    Formularwerte w = Eintraege();
    w.RefNr = {"0", "7", "", "9"};
    Maschinenparameter p;
    Formularwerte_uebernehmen(w, p);
    EXPECT_EQ(p.xRefNr, 1);
    EXPECT_EQ(p.yRefNr, 4);
    EXPECT_EQ(p.zRefNr, 1); // empty reads as 0, then raised
    EXPECT_EQ(p.uRefNr, 4);
}

TEST(Uebernahme, ParallelAdressen) {
    Formularwerte w = Eintraege();
    w.Modul = 4;
    Maschinenparameter p;
    Parameter_Standardwerte(p);

    w.Lpt = LPTWahl::Adresse;
    w.Adresstext = "3BC";
    ASSERT_EQ(Formularwerte_uebernehmen(w, p), Uebernahmefehler::keiner);
    EXPECT_EQ(p.LPTAdresse, 956);
    EXPECT_EQ(p.ComPort, 1);       // the serial choice is not taken for a parallel type
    EXPECT_EQ(p.Baudrate, 115200); // nor the baud rate

    w.Lpt = LPTWahl::LPT2;
    Formularwerte_uebernehmen(w, p);
    EXPECT_EQ(p.LPTAdresse, 632);
    w.Lpt = LPTWahl::LPT1;
    Formularwerte_uebernehmen(w, p);
    EXPECT_EQ(p.LPTAdresse, 888);
}

TEST(Uebernahme, UngueltigeAdresseBleibtUndWirdGemeldet) {
    Formularwerte w = Eintraege();
    w.Modul = 0;
    w.Lpt = LPTWahl::Adresse;
    w.Adresstext = "";
    Maschinenparameter p;
    p.LPTAdresse = 632;
    EXPECT_EQ(Formularwerte_uebernehmen(w, p), Uebernahmefehler::Adresse);
    EXPECT_EQ(p.LPTAdresse, 632);
    EXPECT_EQ(p.Startfreq, 150); // the rest is taken all the same
}

TEST(Uebernahme, FehlerhafteZahlenGebenNull) {
    Formularwerte w = Eintraege();
    w.Startfreq = "1-2";      // passes the character check, still no number
    w.Arbeitsfreq = "abc";    // fails the character check
    w.Uebersetz[0] = "1.2.3"; // two separators
    w.RefOffset[1] = "";
    w.MotStep[2] = "99999999999"; // beyond int32
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    EXPECT_EQ(Formularwerte_uebernehmen(w, p), Uebernahmefehler::keiner);
    EXPECT_EQ(p.Startfreq, 0);
    EXPECT_EQ(p.Arbeitsfreq, 0);
    EXPECT_DOUBLE_EQ(p.xUebersetz, 0.0);
    EXPECT_DOUBLE_EQ(p.yRefOffset, 0.0);
    EXPECT_EQ(p.zMotStep, 0);
}

TEST(Uebernahme, OhneAuswahlBleibtDerWert) {
    Formularwerte w = Eintraege();
    w.Modul = -1;
    w.ComNummer = 0;
    w.Baudtext.clear();
    w.Steuersignal = w.Schrittbetrieb = w.Ruhestrom = w.ZBetrieb = w.UBetrieb = -1;
    w.Takt[0] = -1;
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    p.Modul = 8; // outside the table: no button is checked for it
    p.ComPort = 12;
    p.ZBetrieb = 2;
    p.Ruhestrom = 2;
    p.xTakt = 3;
    Formularwerte_uebernehmen(w, p);
    EXPECT_EQ(p.Modul, 8);
    EXPECT_EQ(p.ComPort, 12);
    EXPECT_EQ(p.Baudrate, 115200);
    EXPECT_EQ(p.ZBetrieb, 2);
    EXPECT_EQ(p.Ruhestrom, 2);
    EXPECT_EQ(p.xTakt, 0); // a pin without selection is no pin
}

} // namespace
