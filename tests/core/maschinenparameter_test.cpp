#include "core/maschinenparameter.h"

#include "testhilfen.h"

#include <gmock/gmock.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <locale>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvexa;
using orvexa::test::Datei_lesen;
using orvexa::test::Datei_schreiben;
using orvexa::test::Testumgebung;
using orvexa::test::Zeilen;
using ::testing::HasSubstr;

namespace {

// The whole file the program writes for the defaults with no pin assignment.
const std::string Standarddatei = "Modul=5\r\n"
                                  "\r\n"
                                  "LPTAdresse=888\r\nComPort=1\r\nBaudrate=115200\r\n"
                                  "\r\n"
                                  "xTakt=0\r\nxRichtung=0\r\nyTakt=0\r\nyRichtung=0\r\n"
                                  "zTakt=0\r\nzRichtung=0\r\nuTakt=0\r\nuRichtung=0\r\n"
                                  "\r\n"
                                  "xRef=0\r\nyRef=0\r\nzRef=0\r\nuRef=0\r\n"
                                  "\r\n"
                                  "Bohrspindel=0\r\nKuehlmittelpumpe=0\r\nAbsaugung=0\r\n"
                                  "\r\n"
                                  "Startfreq=200\r\nArbeitsfreq=400\r\nEilfreq=600\r\n"
                                  "Rampenlaenge=200\r\n"
                                  "\r\n"
                                  "xUebersetz=1.00\r\nyUebersetz=1.00\r\nzUebersetz=1.00\r\n"
                                  "uUebersetz=1.00\r\n"
                                  "\r\n"
                                  "xMotStep=400\r\nyMotStep=400\r\nzMotStep=400\r\nuMotStep=400\r\n"
                                  "\r\n"
                                  "Steuersignal=0\r\nSchrittbetrieb=0\r\nRuhestrom=1\r\n"
                                  "ZBetrieb=1\r\nUBetrieb=0\r\n"
                                  "\r\n"
                                  "xRefOffset=0.25\r\nyRefOffset=0.25\r\nzRefOffset=0.25\r\n"
                                  "uRefOffset=0.25\r\n"
                                  "\r\n"
                                  "xRefNr=2\r\nyRefNr=3\r\nzRefNr=1\r\nuRefNr=4\r\n"
                                  "\r\n"
                                  "RefFreq=400\r\n"
                                  "\r\n"
                                  "xRefAktiv=1\r\nyRefAktiv=1\r\nzRefAktiv=1\r\nuRefAktiv=0\r\n"
                                  "\r\n"
                                  "xWerkst\xFC"
                                  "cknullpunkt=0.00\r\n"
                                  "yWerkst\xFC"
                                  "cknullpunkt=0.00\r\n"
                                  "zWerkst\xFC"
                                  "cknullpunkt=0.00\r\n"
                                  "uWerkst\xFC"
                                  "cknullpunkt=0.00\r\n"
                                  "\r\n"
                                  "xParkposition=0.00\r\nyParkposition=0.00\r\n"
                                  "zParkposition=0.00\r\nuParkposition=0.00\r\n"
                                  "\r\n"
                                  "xWZLMessposition=0.00\r\nyWZLMessposition=0.00\r\n"
                                  "zWZLMessposition=0.00\r\nzWZLdelta=0.00\r\n"
                                  "\r\n"
                                  "xWZWechselposition=0.00\r\nyWZWechselposition=0.00\r\n"
                                  "zWZWechselposition=0.00\r\nuWZWechselposition=0.00\r\n";

Maschinenparameter Standard() {
    Maschinenparameter p;
    Parameter_Standardwerte(p);
    return p;
}

Maschinenparameter Aus(const std::string& inhalt) {
    Maschinenparameter p;
    Parameter_aus_Dateiinhalt(p, inhalt);
    return p;
}

// The value a real is written with.
std::string Geschrieben(double wert) {
    Maschinenparameter p = Standard();
    p.xParkposition = wert;
    for (const auto& zeile : Zeilen(Parameterdatei_Inhalt(p)))
        if (zeile.starts_with("xParkposition=")) return zeile.substr(14);
    return "?";
}

class Parameterdatei_Test : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        pfad = ordner.Datei("orvexa2011_param.dat");
        Parameterdatei() = pfad;
    }
    void TearDown() override {
        Parameterdatei().clear();
        Testumgebung::TearDown();
    }
    std::string pfad;
};

TEST(Parameterdateiname, OrdnerDesProgrammsUndKleingeschriebenerName) {
    EXPECT_EQ(Parameterdateiname("/opt/cnc/orvexa2011"), "/opt/cnc/orvexa2011_param.dat");
    EXPECT_EQ(Parameterdateiname("/opt/cnc/Orvexa2011.exe"), "/opt/cnc/orvexa2011_param.dat");
    EXPECT_EQ(Parameterdateiname("/Opt/CNC.d/Prog.v2.bin"), "/Opt/CNC.d/prog.v2_param.dat");
    EXPECT_EQ(Konfigurationsdateiname("/opt/cnc/ORVEXA2011"), "/opt/cnc/orvexa2011_konfig.dat");
}

TEST(Parameter, StandardwerteLassenDiePinsInRuhe) {
    Maschinenparameter p;
    p.xTakt = 3;
    p.Absaugung = 17;
    Parameter_Standardwerte(p);
    EXPECT_EQ(p.Modul, 5);
    EXPECT_EQ(p.Baudrate, 115200);
    EXPECT_EQ(p.Ruhestrom, 1);
    EXPECT_EQ(p.zRefNr, 1);
    EXPECT_EQ(p.uRefAktiv, 0);
    EXPECT_EQ(p.uRefOffset, 0.25);
    EXPECT_EQ(p.xTakt, 3);
    EXPECT_EQ(p.Absaugung, 17);
}

TEST(Parameterinhalt, StandarddateiByteFuerByte) {
    const std::string inhalt = Parameterdatei_Inhalt(Standard());
    EXPECT_EQ(inhalt, Standarddatei);
    EXPECT_TRUE(inhalt.ends_with("uWZWechselposition=0.00\r\n"));
    EXPECT_FALSE(inhalt.ends_with("\r\n\r\n"));
    EXPECT_EQ(Zeilen(inhalt).size(), 81u);
}

TEST(Parameterinhalt, ZahlendarstellungUnabhaengigVomLocale) {
    struct Kommapunkt : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale alt =
        std::locale::global(std::locale(std::locale::classic(), new Kommapunkt));
    const std::string geschrieben = Geschrieben(1234.5);
    Maschinenparameter p = Aus("xUebersetz=2.5");
    std::locale::global(alt);
    EXPECT_EQ(geschrieben, "1234.50");
    EXPECT_EQ(p.xUebersetz, 2.5);
}

TEST(Parameterinhalt, Zahlenformat) {
    EXPECT_EQ(Geschrieben(-12.5), "-12.50");
    EXPECT_EQ(Geschrieben(0.125), "0.12"); // an exact tie goes to even, as with printf
    EXPECT_EQ(Geschrieben(0.126), "0.13");
    EXPECT_EQ(Geschrieben(999999.99), "999999.99");
    EXPECT_EQ(Geschrieben(-999999.0), "-999999.00");
    // Seven digits before the point: exponent form, with every digit the value needs.
    EXPECT_EQ(Geschrieben(1e7), "1.00E+07");
    EXPECT_EQ(Geschrieben(12345678.5), "1.23456785E+07");
    EXPECT_EQ(Geschrieben(-1234567.0), "-1.234567E+06");
    EXPECT_EQ(Geschrieben(1e300), "1.00E+300");
    // Nothing that would read back as something else.
    EXPECT_EQ(Geschrieben(-0.0), "0.00");
    EXPECT_EQ(Geschrieben(-0.001), "0.00");
    EXPECT_EQ(Geschrieben(std::numeric_limits<double>::quiet_NaN()), "0.00");
    EXPECT_EQ(Geschrieben(-std::numeric_limits<double>::infinity()), "0.00");
}

TEST(Parameterinhalt, GrosseWerteKommenUnveraendertZurueck) {
    Maschinenparameter p = Standard();
    p.xUebersetz = 12345678.5;
    p.zParkposition = -1234567.125;
    p.uWZWechselposition = 1e300;
    EXPECT_EQ(Aus(Parameterdatei_Inhalt(p)), p);
}

TEST(Parameterlesen, NurModul2) {
    const Maschinenparameter p = Aus("Modul=2\r\n");
    Maschinenparameter erwartet; // every field 0 ...
    erwartet.Modul = 2;
    erwartet.ZBetrieb = 1; // ... except the one correction that 0 triggers
    EXPECT_EQ(p, erwartet);
}

TEST(Parameterlesen, KorrekturenDerAntriebsoptionen) {
    Maschinenparameter p = Aus("Ruhestrom=5\nSchrittbetrieb=-1\nZBetrieb=0\n"
                               "Steuersignal=7\nUBetrieb=3\n");
    EXPECT_EQ(p.Ruhestrom, 0);
    EXPECT_EQ(p.Schrittbetrieb, 1);
    EXPECT_EQ(p.ZBetrieb, 1);
    EXPECT_EQ(p.Steuersignal, 1);
    EXPECT_EQ(p.UBetrieb, 0);

    p = Aus("Ruhestrom=2\nSchrittbetrieb=1\nZBetrieb=2\nSteuersignal=1\nUBetrieb=1\nModul=99");
    EXPECT_EQ(p.Ruhestrom, 2);
    EXPECT_EQ(p.Schrittbetrieb, 1);
    EXPECT_EQ(p.ZBetrieb, 2);
    EXPECT_EQ(p.Steuersignal, 1);
    EXPECT_EQ(p.UBetrieb, 1);
    EXPECT_EQ(p.Modul, 99); // taken as it stands
}

TEST(Parameterlesen, WZLdeltaNurFuerModul5Und6) {
    for (int modul : {0, 1, 2, 3, 4, 5, 6, 7, 10, 13}) {
        // The delta comes before Modul in this file: the rule must not depend on the order.
        const Maschinenparameter p = Aus("zWZLdelta=1.50\r\nModul=" + std::to_string(modul));
        EXPECT_EQ(p.zWZLdelta, modul == 5 || modul == 6 ? 1.5 : 0.0) << modul;
    }
}

TEST(Parameterlesen, DezimalkommaUndGrossKleinschreibung) {
    EXPECT_EQ(Aus("xUebersetz=2,5").xUebersetz, 2.5);
    EXPECT_EQ(Aus("xUebersetz=2.5").xUebersetz, 2.5);
    EXPECT_EQ(Aus("modul=3").Modul, 3);
    EXPECT_EQ(Aus("MODUL=4").Modul, 4);
    EXPECT_EQ(Aus("  Modul\t= 6 ").Modul, 6);
    EXPECT_EQ(Aus("XWERKST\xDC"
                  "CKNULLPUNKT=1.5")
                  .xWerkstuecknullpunkt,
              1.5);
    Maschinenparameter p = Aus("xUebersetz=2,5");
    EXPECT_THAT(Parameterdatei_Inhalt(p), HasSubstr("\r\nxUebersetz=2.50\r\n"));
}

TEST(Parameterlesen, ReihenfolgeAlsRealAbgeschnitten) {
    const Maschinenparameter p =
        Aus("xRefNr=3.9\nyRefNr=-2,7\nzRefNr=99999999999\nuRefNr=nan\nModul=5");
    EXPECT_EQ(p.xRefNr, 3);
    EXPECT_EQ(p.yRefNr, -2);
    EXPECT_EQ(p.zRefNr, 0); // no int holds it
    EXPECT_EQ(p.uRefNr, 0);
}

TEST(Parameterlesen, Utf8DateiEinesTexteditors) {
    const std::string zeilen = "Modul=6\nxWerkst\xC3\xBC"
                               "cknullpunkt=12.5\nyWerkst\xC3\x9C"
                               "CKNULLPUNKT=-3\n";
    EXPECT_EQ(Aus(zeilen).xWerkstuecknullpunkt, 12.5);
    EXPECT_EQ(Aus(zeilen).yWerkstuecknullpunkt, -3.0);
    EXPECT_EQ(Aus("\xEF\xBB\xBF" + zeilen).Modul, 6);
    // The program's own Windows-1252 file is read the same.
    EXPECT_EQ(Aus("xWerkst\xFC"
                  "cknullpunkt=12.5\n")
                  .xWerkstuecknullpunkt,
              12.5);
}

TEST(Parameterlesen, ZeilenendenErsteZeileGewinntZeilenOhneGleich) {
    const Maschinenparameter p = Aus("Modul 4\r\n=7\r\nModul=6\rComPort=3\nBaudrate=19200\r\n"
                                     "Modul=2\r\nComPort=9\n\n\r\rStartfreq==5\r\n"
                                     "Eilfreq=1=2\r\nRampenlaenge=");
    EXPECT_EQ(p.Modul, 6);
    EXPECT_EQ(p.ComPort, 3);
    EXPECT_EQ(p.Baudrate, 19200);
    EXPECT_EQ(p.Startfreq, 0); // value "=5"
    EXPECT_EQ(p.Eilfreq, 0);   // value "1=2"
    EXPECT_EQ(p.Rampenlaenge, 0);
}

TEST(Parameterlesen, UnbrauchbareWerteGebenNull) {
    const Maschinenparameter p = Aus("Modul=5\nxUebersetz=1e400\nyUebersetz=nan\nzUebersetz=--5\n"
                                     "uUebersetz=1.2.3\nxMotStep=\xEF\xBC\x91\xEF\xBC\x92\n"
                                     "yMotStep=5-3\nzMotStep=99999999999\nuMotStep=1,5\n"
                                     "xParkposition=inf\nyParkposition=1E-400\n");
    EXPECT_EQ(p.xUebersetz, 0.0);
    EXPECT_EQ(p.yUebersetz, 0.0);
    EXPECT_EQ(p.zUebersetz, 0.0);
    EXPECT_EQ(p.uUebersetz, 0.0);
    EXPECT_EQ(p.xMotStep, 0);
    EXPECT_EQ(p.yMotStep, 0);
    EXPECT_EQ(p.zMotStep, 0);
    EXPECT_EQ(p.uMotStep, 0);
    EXPECT_EQ(p.xParkposition, 0.0);
    EXPECT_EQ(p.yParkposition, 0.0);
    EXPECT_EQ(p.Modul, 5);
}

TEST(Parameterlesen, LeereDateiUndBinaermuell) {
    Maschinenparameter leer;
    leer.ZBetrieb = 1;
    EXPECT_EQ(Aus(""), leer);

    std::mt19937 zufall(2011);
    for (int runde = 0; runde < 50; ++runde) {
        std::string muell(4096, '\0');
        for (char& c : muell)
            c = static_cast<char>(zufall());
        const Maschinenparameter p = Aus(muell + "\nMODUL=6\n");
        EXPECT_GE(p.ZBetrieb, 1);
        EXPECT_LE(p.Ruhestrom, 2);
        // Once written, the set reads back as it was written.
        const Maschinenparameter einmal = Aus(Parameterdatei_Inhalt(p));
        EXPECT_EQ(Aus(Parameterdatei_Inhalt(einmal)), einmal);
    }
}

TEST(Parameterlesen, UeberlangeZeilen) {
    const std::string lang(100000, '7');
    const Maschinenparameter p = Aus(lang + "=1\r\nModul=" + lang + "\r\nxUebersetz=" + lang +
                                     "\r\nxRef=10\r\n" + std::string(100000, 'k'));
    EXPECT_EQ(p.Modul, 0); // 31 sevens do not fit an int
    EXPECT_DOUBLE_EQ(p.xUebersetz, 7777777777777777777777777777777.0); // cut to 31 characters
    EXPECT_EQ(p.xRef, 10);
}

TEST(Parameterlesen, GrosseDateiMitVielenFremdzeilen) {
    std::string inhalt;
    inhalt.reserve(11 << 20);
    while (inhalt.size() < (10u << 20))
        inhalt += "Fremdschluessel" + std::to_string(inhalt.size()) + "=1\r\n";
    inhalt += Standarddatei;
    EXPECT_EQ(Aus(inhalt), Standard());
}

TEST_F(Parameterdatei_Test, KeineDateiGibtStandardwerteUndLegtKeineAn) {
    Parametersatz().xTakt = 3;
    Parameterdatei_laden();
    Maschinenparameter erwartet = Standard();
    erwartet.xTakt = 3;
    EXPECT_EQ(Parametersatz(), erwartet);
    EXPECT_FALSE(std::filesystem::exists(pfad));
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Parameterdatei_Test, EinOrdnerStattDerDateiGibtStandardwerte) {
    std::filesystem::create_directory(pfad);
    Maschinenparameter p;
    Parameterdatei_laden(p, pfad);
    EXPECT_EQ(p, Standard());
}

TEST_F(Parameterdatei_Test, SpeichernUndLadenOhneVerlust) {
    Maschinenparameter& p = Parametersatz();
    Parameter_Standardwerte(p);
    Pinvorlage_anwenden(p, "WinPC-NC");
    p.Modul = 6;
    p.zWZLdelta = -1.25;
    p.xUebersetz = 2.5;
    p.yRefOffset = 0.75;
    p.xWerkstuecknullpunkt = 123.45;
    p.uWZWechselposition = -999999.5;
    p.xRefNr = 4;
    const Maschinenparameter gespeichert = p;
    ASSERT_TRUE(Parameterdatei_speichern());
    EXPECT_EQ(Datei_lesen(pfad), Parameterdatei_Inhalt(gespeichert));

    p = {};
    Parameterdatei_laden();
    EXPECT_EQ(p, gespeichert);
    EXPECT_TRUE(ui.Meldungen().empty());
}

TEST_F(Parameterdatei_Test, LadenUndSpeichernOrdnetUndVerwirftFremdzeilen) {
    Maschinenparameter erwartet = Standard();
    erwartet.Modul = 3;
    erwartet.ComPort = 4;
    // The file in reverse order, with comments and unknown keys in between.
    std::vector<std::string> zeilen = Zeilen(Parameterdatei_Inhalt(erwartet));
    std::string inhalt = "; Kommentar\r\nUnbekannt=7\r\n";
    for (auto z = zeilen.rbegin(); z != zeilen.rend(); ++z)
        inhalt += *z + "\r\nFremd=" + *z + "\r\n";
    Datei_schreiben(pfad, inhalt);

    Parameterdatei_laden();
    ASSERT_TRUE(Parameterdatei_speichern());
    EXPECT_EQ(Datei_lesen(pfad), Parameterdatei_Inhalt(erwartet));
}

TEST_F(Parameterdatei_Test, SchreibfehlerBehaeltAlteDateiUndMeldetIhn) {
    Datei_schreiben(pfad, Standarddatei);
    ASSERT_EQ(::chmod(ordner.Pfad().c_str(), 0555), 0);
    if (::access(ordner.Pfad().c_str(), W_OK) == 0) {
        ::chmod(ordner.Pfad().c_str(), 0755);
        GTEST_SKIP() << "a read-only folder does not stop this user from writing";
    }
    Maschinenparameter p = Standard();
    p.Modul = 2;
    const bool ergebnis = Parameterdatei_speichern(p, pfad);
    ::chmod(ordner.Pfad().c_str(), 0755);

    EXPECT_FALSE(ergebnis);
    EXPECT_EQ(Datei_lesen(pfad), Standarddatei);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr(pfad));
}

TEST_F(Parameterdatei_Test, AbgebrochenesSchreibenBehaeltAlteDatei) {
    // A file size limit makes the write fail half way, for root as well.
    Datei_schreiben(pfad, Standarddatei);
    Maschinenparameter p = Standard();
    p.Modul = 2;
    rlimit alt{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &alt), 0);
    auto* alter_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit knapp = alt;
    knapp.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &knapp), 0);
    const bool ergebnis = Parameterdatei_speichern(p, pfad);
    ::setrlimit(RLIMIT_FSIZE, &alt);
    std::signal(SIGXFSZ, alter_handler);

    EXPECT_FALSE(ergebnis);
    EXPECT_EQ(Datei_lesen(pfad), Standarddatei);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr(pfad));
    // No half-written temporary file is left beside it.
    std::vector<std::string> dateien;
    for (const auto& eintrag : std::filesystem::directory_iterator(ordner.Pfad()))
        dateien.push_back(eintrag.path().filename().string());
    EXPECT_THAT(dateien, ::testing::Not(::testing::Contains(HasSubstr(".tmp"))));
}

TEST_F(Parameterdatei_Test, SchreibfehlerWirdGemeldet) {
    // A regular file where the folder should be stops even root.
    const std::string datei = ordner.Datei("keinordner");
    Datei_schreiben(datei, "x");
    const std::string ziel = datei + "/orvexa2011_param.dat";
    Parameterdatei() = ziel;
    EXPECT_FALSE(Parameterdatei_speichern());

    const auto meldungen = ui.Meldungen();
    ASSERT_EQ(meldungen.size(), 1u);
    EXPECT_EQ(meldungen[0].titel, "orvexa2011");
    EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);
    EXPECT_EQ(meldungen[0].knoepfe, Knoepfe::ok);
    EXPECT_THAT(meldungen[0].text, HasSubstr(ziel));
    EXPECT_THAT(meldungen[0].text, HasSubstr("nicht"));
    EXPECT_THAT(meldungen[0].text, HasSubstr("Not a directory"));
    EXPECT_EQ(Datei_lesen(datei), "x");
    EXPECT_THAT(Protokoll(), ::testing::Contains(HasSubstr("Parameterdatei_speichern()")));
}

TEST(Pinvorlagen, ReihenfolgeDerAuswahl) {
    std::vector<std::string> namen(Pinvorlagen().begin(), Pinvorlagen().end());
    EXPECT_EQ(namen, (std::vector<std::string>{"cnc-concept", "cnc-step", "PC-NC", "WinPC-NC",
                                               "USB-iKXIF-v1", "USB-iKXIF-v1r2", "userdefined"}));
    EXPECT_EQ(namen[5], Pinvorlage_Anfang);
}

struct Pins {
    int xR, yR, zR, uR, xT, yT, zT, uT, xRef, yRef, zRef, uRef, bohr, kuehl, absaug;
    bool operator==(const Pins&) const = default;
};

Pins Pins_von(const Maschinenparameter& p) {
    return {p.xRichtung,   p.yRichtung,
            p.zRichtung,   p.uRichtung,
            p.xTakt,       p.yTakt,
            p.zTakt,       p.uTakt,
            p.xRef,        p.yRef,
            p.zRef,        p.uRef,
            p.Bohrspindel, p.Kuehlmittelpumpe,
            p.Absaugung};
}

TEST(Pinvorlagen, BelegungenNachTabelle) {
    const Pins grund{2, 4, 6, 8, 3, 5, 7, 9, 10, 11, 12, 13, 1, 14, 0};
    const std::vector<std::pair<std::string, Pins>> faelle = {
        {"cnc-concept", grund},
        {"cnc-step", grund},
        {"PC-NC", grund},
        {"WinPC-NC", {2, 4, 6, 8, 3, 5, 7, 9, 11, 12, 13, 0, 14, 16, 10}},
        {"USB-iKXIF-v1", {2, 4, 6, 8, 3, 5, 7, 9, 10, 11, 12, 13, 14, 16, 17}},
        {"USB-iKXIF-v1r2", grund},
    };
    for (const auto& [name, pins] : faelle) {
        Maschinenparameter p;
        Pinvorlage_anwenden(p, "USB-iKXIF-v1"); // something different to overwrite
        p.uRef = 99;
        EXPECT_FALSE(Pinvorlage_anwenden(p, name)) << name;
        EXPECT_EQ(Pins_von(p), pins) << name;
    }
}

TEST(Pinvorlagen, BenutzerdefiniertLeertNurDieAbsaugung) {
    Maschinenparameter p;
    Pinvorlage_anwenden(p, "USB-iKXIF-v1");
    Pins erwartet = Pins_von(p);
    erwartet.absaug = 0;
    EXPECT_TRUE(Pinvorlage_anwenden(p, "userdefined"));
    EXPECT_EQ(Pins_von(p), erwartet);

    Pinvorlage_anwenden(p, "USB-iKXIF-v1");
    EXPECT_FALSE(Pinvorlage_anwenden(p, "gibt-es-nicht"));
    EXPECT_EQ(Pins_von(p), erwartet);
}

} // namespace
