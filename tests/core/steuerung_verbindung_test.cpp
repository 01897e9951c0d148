#include "attrappen.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "core/verbindungsablauf.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <stdexcept>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using Zeilen_t = std::vector<std::string>;

class Verbindungstest : public Attrappenumgebung {
protected:
    void SetUp() override {
        Attrappenumgebung::SetUp();
        Maschinenparameter& p = Parametersatz();
        p.LPTAdresse = 0x378;
        p.ComPort = 3;
        p.Baudrate = 19200;
    }
};

TEST_F(Verbindungstest, ErzeugenLiefertDenAnzeigenamenUndDasModulDesTyps) {
    struct Fall {
        int32_t modul;
        std::string name;
        Zeilen_t aufrufe;
    };
    const std::vector<Fall> faelle{
        {0, "Schrittmotorsteuerkarte KX400/750", {"Parallelkarte_erzeugen(0)"}},
        {1, "KX750z", {"Parallelkarte_erzeugen(1)"}},
        {2, "iKXIF", {"Speichermodul_erzeugen(2)"}},
        {3, "KX900-KXCU", {"Speichermodul_erzeugen(3)"}},
        {4, "Takt/Richtung", {"Parallelkarte_erzeugen(4)"}},
        {5, "KXvario-KXCU", {"Linie.SetTag(5)"}},
        {6, "USB-iKXIF", {"Linie.SetTag(5)"}},
        {7, "KX-TR-500", {"Parallelkarte_erzeugen(7)"}},
        {8, "", {}},
        {9, "", {}},
        {10, "USB-IO-KX400", {}},
        {11, "USB-IO-KX750z", {}},
        {12, "USB-IO-TAKT/RICHT", {}},
        {13, "USB-IO-KX-TR-500", {}},
        {14, "", {}},
        {-1, "", {}},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.modul);
        Steuerungsmodule_freigeben();
        Serielle_Linie_erzeugen();
        fabrik.liste->Leeren();
        Parametersatz().Modul = fall.modul;
        EXPECT_EQ(Steuerung_erzeugen(), fall.name);
        EXPECT_EQ(Aufrufe(), fall.aufrufe);
        EXPECT_EQ(Karte() != nullptr, ist_paralleler_Typ(fall.modul));
        EXPECT_EQ(Speicher() != nullptr, ist_speichernder_Typ(fall.modul));
        // The link made at start-up stays whatever the type.
        EXPECT_NE(Linie(), nullptr);
    }
}

TEST_F(Verbindungstest, ErzeugenSchliesstDieVorhandenenModule) {
    Steuerung_einrichten(4);
    Parametersatz().Modul = 3;
    Steuerung_erzeugen();
    EXPECT_EQ(Aufrufe(), (Zeilen_t{"Karte.Schliessen()", "Karte.~Parallelkarte()",
                                   "Speichermodul_erzeugen(3)"}));
    fabrik.liste->Leeren();
    Parametersatz().Modul = 6;
    Steuerung_erzeugen();
    EXPECT_EQ(Aufrufe(), (Zeilen_t{"Speicher.Port_schliessen()", "Speicher.~Speichermodul()",
                                   "Linie.SetTag(5)"}));
    EXPECT_EQ(Karte(), nullptr);
    EXPECT_EQ(Speicher(), nullptr);
}

TEST_F(Verbindungstest, SerielleTypenOhneLinieErzeugenSie) {
    for (int32_t modul : {5, 6, 10, 13}) {
        SCOPED_TRACE(modul);
        Steuerungsmodule_freigeben();
        fabrik.liste->Leeren();
        Parametersatz().Modul = modul;
        Steuerung_erzeugen();
        ASSERT_NE(Linie(), nullptr);
        EXPECT_EQ(Aufrufe().front(), "SerielleLinie_erzeugen()");
    }
}

TEST_F(Verbindungstest, LeereFabrikeintraegeGebenKeinModul) {
    Treiberfabrik_setzen({});
    for (int32_t modul : {0, 2, 5}) {
        Parametersatz().Modul = modul;
        EXPECT_FALSE(Steuerung_erzeugen().empty());
        EXPECT_EQ(Aktuelle_Parallelkarte(), nullptr);
        EXPECT_EQ(Aktuelles_Speichermodul(), nullptr);
        EXPECT_EQ(koraCOM(), nullptr);
    }
}

TEST_F(Verbindungstest, SchnittstelleBeschreiben) {
    struct Fall {
        int32_t modul;
        std::string schnittstelle;
        std::string einstellung;
    };
    const std::vector<Fall> faelle{
        {0, "0x378", ""},      {1, "0x378", ""},      {4, "0x378", ""},     {7, "0x378", ""},
        {2, "COM3", "19200"},  {3, "COM3", "19200"},  {5, "COM3", "19200"}, {6, "COM3", "19200"},
        {10, "COM3", "19200"}, {13, "COM3", "19200"}, {8, "", ""},          {9, "", ""},
        {14, "", ""},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.modul);
        Steuerung().Schnittstelle = "alt";
        Steuerung().Einstellung = "alt";
        Parametersatz().Modul = fall.modul;
        Schnittstelle_beschreiben();
        EXPECT_EQ(Steuerung().Schnittstelle, fall.schnittstelle);
        EXPECT_EQ(Steuerung().Einstellung, fall.einstellung);
    }
}

TEST_F(Verbindungstest, SchnittstelleWirdAufDieFeldgroesseGekuerzt) {
    Maschinenparameter& p = Parametersatz();
    p.Modul = 5;
    p.ComPort = -2147483647;
    p.Baudrate = -2147483647;
    Schnittstelle_beschreiben();
    EXPECT_EQ(Steuerung().Schnittstelle, "COM-21474");
    EXPECT_EQ(Steuerung().Einstellung, "-2147483647");
    p.Modul = 0;
    p.LPTAdresse = -1;
    Schnittstelle_beschreiben();
    EXPECT_EQ(Steuerung().Schnittstelle, "0xfffffff");
}

TEST_F(Verbindungstest, OeffnenJeTyp) {
    struct Fall {
        int32_t modul;
        bool ergebnis;
        Zeilen_t aufrufe;
    };
    const std::vector<Fall> faelle{
        {0, true, {"Karte.Oeffnen(0x378)"}},
        {1,
         true,
         {"Karte.Oeffnen(0x378)", "Karte.Eingangsmodus_setzen(0, 1, 1)",
          "Karte.Grenzwerte_setzen(5000, 10000)"}},
        {4, true, {"Karte.Oeffnen(0x378)", "Karte.Eingangsmodus_setzen(1, 0, 0)"}},
        {7, true, {"Karte.Oeffnen(0x378)", "Karte.Eingangsmodus_setzen(0, 0, 0)"}},
        {2, true, {"Speicher.Port_oeffnen(0x378)"}},
        {3, true, {"Speicher.Port_oeffnen(0x378)"}},
        {5, true, {"Linie.SetTag(2)", "Linie.Init(3, 19200)", "Linie.Connect()"}},
        {6, true, {"Linie.SetTag(3)", "Linie.Init(3, 19200)", "Linie.Connect()"}},
        {10, true, {"Linie.SetTag(4)", "Linie.Init(3, 19200)", "Linie.Connect()"}},
        {12, true, {"Linie.SetTag(4)", "Linie.Init(3, 19200)", "Linie.Connect()"}},
        {8, false, {}},
        {9, false, {}},
        {14, false, {}},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.modul);
        Steuerung_einrichten(fall.modul);
        const std::size_t vorher = Protokoll().size();
        EXPECT_EQ(Steuerung_oeffnen("0x378"), fall.ergebnis);
        EXPECT_EQ(Aufrufe(), fall.aufrufe);
        EXPECT_EQ(Protokoll().size(), vorher);
    }
}

TEST_F(Verbindungstest, OeffnenMeldetDasErgebnisDesModuls) {
    Steuerung_einrichten(2);
    Speicher()->Port_oeffnen_ergibt(false);
    EXPECT_FALSE(Steuerung_oeffnen("COM3"));
    Steuerung_einrichten(7);
    Karte()->Oeffnen_ergibt(false);
    EXPECT_FALSE(Steuerung_oeffnen("0x378"));
}

TEST_F(Verbindungstest, FehlerDerLinieBeimOeffnenGehenDurch) {
    Steuerung_einrichten(6);
    Linie()->Fehler_vorgeben("Connect", COMMUNICATION_ERROR);
    try {
        Steuerung_oeffnen("COM3");
        ADD_FAILURE() << "no error raised";
    } catch (const Steuerungsfehler& fehler) {
        EXPECT_EQ(fehler.code(), COMMUNICATION_ERROR);
    }
    Linie()->Fehler_vorgeben("Init", COM_PORT_ERROR);
    EXPECT_THROW(Steuerung_oeffnen("COM3"), Steuerungsfehler);
    EXPECT_EQ(Aufrufe().back(), "Linie.Init(3, 19200)");
}

TEST_F(Verbindungstest, VersionJeTyp) {
    struct Fall {
        int32_t modul;
        std::string version;
    };
    const std::vector<Fall> faelle{{0, "Kartenname"},  {1, "KX750z"},       {4, "Takt/Richtung"},
                                   {7, "KX-TR-500"},   {2, "KX-IKXIF 2.1"}, {3, "KX-IKXIF 2.1"},
                                   {5, "KXvario 3.0"}, {11, "KXvario 3.0"}};
    fabrik.Karte_vorbereiten = [](ParallelkarteAttrappe& k) {
        k.Version_ergibt(true, "Kartenname");
    };
    fabrik.Speicher_vorbereiten = [](SpeichermodulAttrappe& s) {
        s.Version_ergibt(true, "KX-IKXIF 2.1");
    };
    fabrik.Linie_vorbereiten = [](SeriellerBefehlssatzAttrappe& l) {
        l.Version_ergibt("KXvario 3.0");
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.modul);
        Steuerung_einrichten(fall.modul);
        Steuerung().Version.clear();
        EXPECT_TRUE(Version_abfragen());
        EXPECT_EQ(Steuerung().Version, fall.version);
    }
    for (int32_t modul : {8, 9, 14, -1}) {
        Steuerung_einrichten(modul);
        EXPECT_FALSE(Version_abfragen());
    }
}

TEST_F(Verbindungstest, VersionErgebnisFolgtDemTreiber) {
    Steuerung_einrichten(3);
    Speicher()->Version_ergibt(false, "falsch");
    EXPECT_FALSE(Version_abfragen());
    EXPECT_EQ(Steuerung().Version, "falsch");

    Steuerung_einrichten(4);
    Karte()->Version_ergibt(false, "");
    EXPECT_FALSE(Version_abfragen());

    Steuerung_einrichten(6);
    Linie()->Version_ergibt("");
    EXPECT_FALSE(Version_abfragen());
    EXPECT_EQ(Steuerung().Version, "");
}

TEST_F(Verbindungstest, VersionWirdAuf41ZeichenGekuerzt) {
    Steuerung_einrichten(5);
    Linie()->Version_ergibt(std::string(50, 'a'));
    EXPECT_TRUE(Version_abfragen());
    EXPECT_EQ(Steuerung().Version, std::string(41, 'a'));
    // No half character at the cut.
    Linie()->Version_ergibt(std::string(40, 'a') + "\xc3\xa4" + "b");
    Version_abfragen();
    EXPECT_EQ(Steuerung().Version, std::string(40, 'a'));
}

// The connect sequence: its steps in order, and every way it can fail closes the link again.
TEST_F(Verbindungstest, VerbindenRuftDieSchritteInIhrerReihenfolge) {
    struct Fall {
        std::string name;
        bool vorbereitet, anzeige;
        std::string fehler_bei; // the link's operation that fails, or "Hook" for a hook's throw
        bool verbunden;
        Zeilen_t schritte;
    };
    const std::vector<Fall> faelle{
        {"ok",
         true,
         true,
         "",
         true,
         {"Vorbereiten", "Erzeugt USB-iKXIF", "Anzeige", "Beschrieben COM3"}},
        {"ohne Maschine", false, true, "", false, {"Vorbereiten", "Erzeugt USB-iKXIF"}},
        {"ohne Anzeige", true, false, "", false, {"Vorbereiten", "Erzeugt USB-iKXIF", "Anzeige"}},
        {"Verbindungsfehler",
         true,
         true,
         "Connect",
         false,
         {"Vorbereiten", "Erzeugt USB-iKXIF", "Anzeige", "Beschrieben COM3"}},
        {"Ausnahme", true, true, "Hook", false, {"Vorbereiten", "Erzeugt USB-iKXIF", "Anzeige"}},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.name);
        Steuerungsmodule_freigeben();
        Serielle_Linie_erzeugen();
        Parametersatz().Modul = 6;
        Zeilen_t schritte;
        Verbindungsschritte s;
        s.Vorbereiten = [&] {
            schritte.push_back("Vorbereiten");
            return fall.vorbereitet;
        };
        s.Erzeugt = [&](const std::string& name) {
            schritte.push_back("Erzeugt " + name);
            if (!fall.fehler_bei.empty() && fall.fehler_bei != "Hook")
                Linie()->Fehler_vorgeben(fall.fehler_bei, COMMUNICATION_ERROR);
        };
        s.Anzeige_oeffnen = [&] {
            schritte.push_back("Anzeige");
            if (fall.fehler_bei == "Hook") throw std::runtime_error("kaputt");
            return fall.anzeige;
        };
        s.Beschrieben = [&] { schritte.push_back("Beschrieben " + Steuerung().Schnittstelle); };
        fabrik.liste->Leeren();
        const Verbindungsergebnis e = Steuerung_verbinden(s);
        EXPECT_EQ(schritte, fall.schritte);
        EXPECT_EQ(e.Verbunden, fall.verbunden);
        EXPECT_EQ(e.Name, "USB-iKXIF");
        EXPECT_EQ(e.Code, fall.fehler_bei == "Connect" ? COMMUNICATION_ERROR : 0);
        EXPECT_EQ(e.Ausnahme, fall.fehler_bei == "Hook" ? "kaputt" : "");
        const Zeilen_t a = Aufrufe();
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a.back() == "Linie.UnInit()", !fall.verbunden) << a.back();
    }
    const Zeilen_t protokoll = Protokoll();
    EXPECT_TRUE(std::any_of(protokoll.begin(), protokoll.end(), [](const std::string& z) {
        return z.find("Verbinden: kaputt") != std::string::npos;
    }));
}

} // namespace
} // namespace orvexa::test
