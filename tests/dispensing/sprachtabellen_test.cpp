#include "dispensing/sprachtabellen.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace orvexa {
namespace {

constexpr Sprache Alle[] = {Sprache::deutsch, Sprache::englisch, Sprache::polski};

Textnummer Nr(int i) {
    return static_cast<Textnummer>(i);
}

TEST(Sprachtabellen, JedeZeileHatInJederSpracheEinenText) {
    for (const Sprache s : Alle)
        for (int i = 0; i < Textzahl; ++i)
            EXPECT_FALSE(Text(s, Nr(i)).empty()) << Sprachname(s) << " Zeile " << i;
}

TEST(Sprachtabellen, DeutscheZeilenInIhrerReihenfolge) {
    const std::vector<std::string> deutsch = {"Doming mit Pellix - Deutsch",
                                              "L&aserpointer ON/OFF",
                                              "Referenzfa&hrt",
                                              "Laserpointer-&Betrieb",
                                              "&Dauertest",
                                              "S&tart",
                                              "F&ortsetzen",
                                              "&Abbrechen",
                                              "&Schließen",
                                              "OK",
                                              "&Übernehmen",
                                              "mm",
                                              "Hz",
                                              "sec",
                                              "ms",
                                              "Schritte/sec",
                                              "&Datei",
                                              "&Neu",
                                              "&Öffnen...",
                                              "Speichern &unter...",
                                              "&Parameter",
                                              "&Geschwindigkeit",
                                              "&Spülung",
                                              "Startp&unkt",
                                              "x-Position",
                                              "y-Position",
                                              "Manuelles &Fahren",
                                              "&REF",
                                              "Geschwindigkeit",
                                              "Schrittweite",
                                              " kontinuierlich",
                                              "                   mm",
                                              "Abstand",
                                              "x-Abstand",
                                              "y-Abstand",
                                              "x-Anzahl",
                                              "y-Anzahl",
                                              "Bogen",
                                              "x-Abstand",
                                              "y-Abstand",
                                              "x-Anzahl",
                                              "y-Anzahl",
                                              "&Punkt",
                                              "Dosierzeit",
                                              "Dosier&zeit bestimmen",
                                              "&Linie",
                                              "Linienlänge",
                                              "Abtropflinie",
                                              "&Kreis",
                                              "Radius",
                                              "Grad",
                                              "Rechte&ck",
                                              "Länge",
                                              "Breite",
                                              "HP&GL",
                                              "Dosierzeit1",
                                              "Dosierzeit2",
                                              "Dosierzeit3",
                                              "Abtropfzeit",
                                              "Abtropflinie",
                                              "Bitte rechte Maustaste drücken.",
                                              "Doming-Parameter",
                                              "Sprache",
                                              "Abmessung",
                                              "x-Abmessung",
                                              "y-Abmessung",
                                              "Doming-Geschwindigkeit",
                                              "Startfreq",
                                              "Arbeitsfreq",
                                              "Eilfreq",
                                              "Rampenlänge",
                                              "Ansteuerung Dosierkopf",
                                              "Dosierkopf",
                                              "&einfach",
                                              "&mehrfach",
                                              "&Löschen",
                                              "&Dosieren",
                                              "&kompletter Dosiervorgang",
                                              "&Spülung einschalten",
                                              "&Spülung ausschalten"};
    ASSERT_EQ(static_cast<int>(deutsch.size()), Originalzeilen);
    for (int i = 0; i < Originalzeilen; ++i)
        EXPECT_EQ(Text(Sprache::deutsch, Nr(i)), deutsch[i]) << "Zeile " << i;
}

// The Doming window translates its German captions by the German column.
TEST(Sprachtabellen, UebersetzenUeberDenDeutschenText) {
    EXPECT_EQ(Uebersetzen(Sprache::englisch, "Referenzfa&hrt"), "reference");
    EXPECT_EQ(Uebersetzen(Sprache::polski, "Referenzfa&hrt"), "Najazd");
    EXPECT_EQ(Uebersetzen(Sprache::deutsch, "Referenzfa&hrt"), "Referenzfa&hrt");
    EXPECT_EQ(Uebersetzen(Sprache::englisch, "kein Text der Tabelle"), "kein Text der Tabelle");
    // The Doming window marks another letter of the continue button than the table does.
    EXPECT_EQ(Uebersetzen(Sprache::englisch, "&Fortsetzen"), "Continue");
    EXPECT_EQ(Uebersetzen(Sprache::englisch, "Dosier&zeit"), "Dosing time");
    EXPECT_EQ(Uebersetzen(Sprache::deutsch, "einfach"), "einfach");
}

TEST(Sprachtabellen, UebersetzungenDerMaschine) {
    struct Fall {
        Textnummer nr;
        const char* englisch;
        const char* polski;
    };
    const Fall faelle[] = {
        {Textnummer::Titel, "Doming-Englisch", "Doming-Polski"},
        {Textnummer::Referenzfahrt, "reference", "Najazd"},
        {Textnummer::Dauertest, "endurance test", "Test ciagly"},
        {Textnummer::Fortsetzen, "Continue", "Kontynuuj"},
        {Textnummer::Schritte_pro_sec, "Steps/sec", "kroki/sek"},
        {Textnummer::Spuelung, "wash", "Wash"},
        {Textnummer::Manuelles_Fahren, "manual", "Tryb manualny"},
        {Textnummer::Bogen, "sheet", "Bogen"},
        {Textnummer::Abtropflinie, "drip-off line", "Dlugosc przestoju"},
        {Textnummer::Zeiten_Abtropflinie, "drip-off line", "Dlugosc przestoju"},
        {Textnummer::Keine_HPGL_Datei, "Please press right mouse-button.",
         "Kliknij prawy klawisz myszy"},
        {Textnummer::Ansteuerung_Dosierkopf, "activation dosing unit", "Zawor dozujacy"},
        {Textnummer::einfach, "simple", "pojedynczy"},
        {Textnummer::mehrfach, "multiple", "wielokrotny"},
        {Textnummer::Spuelung_einschalten, "Wash ON", "Wash ON"},
        {Textnummer::Spuelung_ausschalten, "Wash OFF", "Wash OFF"},
    };
    for (const Fall& f : faelle) {
        EXPECT_EQ(Text(Sprache::englisch, f.nr), f.englisch);
        EXPECT_EQ(Text(Sprache::polski, f.nr), f.polski);
    }
    EXPECT_EQ(Fenstertitel(Sprache::deutsch), "Doming mit Pellix - Deutsch");
}

TEST(Sprachtabellen, PolnischBleibtBeiAscii) {
    for (int i = 0; i < Textzahl; ++i)
        for (const unsigned char c : Text(Sprache::polski, Nr(i)))
            EXPECT_LT(c, 0x80) << Text(Sprache::polski, Nr(i));
}

TEST(Sprachtabellen, EinKuerzelJeKnopfInDenDialogen) {
    // The buttons of one dialog must not share a shortcut letter.
    const std::vector<std::vector<Textnummer>> dialoge = {
        {Textnummer::Loeschen, Textnummer::Dosieren, Textnummer::kompletter_Dosiervorgang,
         Textnummer::Uebernehmen, Textnummer::Abbrechen},
        {Textnummer::OK_Knopf, Textnummer::Abbrechen},
        {Textnummer::HPGL_laden, Textnummer::HPGL_schliessen},
    };
    for (const Sprache s : Alle)
        for (const auto& knoepfe : dialoge) {
            std::string buchstaben;
            for (const Textnummer n : knoepfe) {
                const std::string& t = Text(s, n);
                const auto amp = t.find('&');
                if (amp == std::string::npos || amp + 1 >= t.size()) continue;
                const char c =
                    static_cast<char>(std::tolower(static_cast<unsigned char>(t[amp + 1])));
                EXPECT_EQ(buchstaben.find(c), std::string::npos) << Sprachname(s) << ": " << t;
                buchstaben += c;
            }
        }
}

TEST(Sprachtabellen, SprachnamenWieInDerDatei) {
    for (const Sprache s : Alle)
        EXPECT_EQ(Sprache_aus_Name(Sprachname(s)), s);
    for (const char* anders : {"", "Deutsch", "English", "Polski", " polski", "french"})
        EXPECT_EQ(Sprache_aus_Name(anders), Sprache::deutsch) << anders;
}

TEST(Sprachtabellen, OhneKuerzel) {
    EXPECT_EQ(Ohne_Kuerzel("&Spülung"), "Spülung");
    EXPECT_EQ(Ohne_Kuerzel("A&&B"), "A&B");
    EXPECT_EQ(Ohne_Kuerzel("x&"), "x");
}

TEST(Sprachtabellen, ZusammengesetzteTexte) {
    EXPECT_EQ(Dosierkopf_Statustext(Sprache::deutsch, 0), "Dosierkopf::einfach");
    EXPECT_EQ(Dosierkopf_Statustext(Sprache::deutsch, 1), "Dosierkopf::mehrfach");
    EXPECT_EQ(Dosierkopf_Statustext(Sprache::englisch, 1), "Dosing unit::multiple");
    EXPECT_EQ(Positionstext(Sprache::deutsch, 'x', 10.0), "xPos = 10.0 mm");
    EXPECT_EQ(Positionstext(Sprache::polski, 'y', -2.26), "yPos = -2.3 mm");
    EXPECT_EQ(Frequenztext(Sprache::deutsch, 2000), "2000 Hz");
    EXPECT_EQ(Winkeltext(Sprache::deutsch, 183), "357 Grad");
    EXPECT_EQ(Winkeltext(Sprache::englisch, 225), "315 deg");
    EXPECT_EQ(Minuslaengetext(Sprache::deutsch, 0.5), "- 0.5 mm");
    EXPECT_EQ(Minuslaengetext(Sprache::deutsch, 1.0), "- 1 mm");
    EXPECT_EQ(Dosierzeittext(Sprache::deutsch, 1.25), "Dosierzeit:    1.25 sec");
    EXPECT_EQ(Dosierzeittext(Sprache::deutsch, 120.0), "Dosierzeit:  120.00 sec");
    EXPECT_EQ(Dosierzeittext(Sprache::polski, 0.0), "Czas dozowania:    0.00 sek");
}

} // namespace
} // namespace orvexa
