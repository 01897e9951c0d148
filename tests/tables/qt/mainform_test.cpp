// The main window on Qt's offscreen platform: start-up and connect through the real serial
// path to a simulated controller, switches and caption, menu states, the file commands.

#include "tables/qt/mainform.h"

#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "drivers/standardtreiber.h"
#include "motion/qt/manuellefahrtform.h"
#include "platform/portverzeichnis.h"
#include "platform/programmverzeichnis.h"
#include "seriellesteuerung.h"
#include "simulation.h"
#include "tables/qt/dialogoeffner.h"
#include "tables/qt/tabellenmodell.h"
#include "testhilfen.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

using namespace orvexa;
using orvexa::test::Datei_lesen;
using orvexa::test::Datei_schreiben;
using orvexa::test::Testumgebung;
using ::testing::HasSubstr;

namespace {

std::string Kennung_von(int32_t modul) {
    return std::string(Steuerungstyp_zu(modul)->Anzeigename);
}

class HauptfensterTest : public Testumgebung {
protected:
    void SetUp() override {
        Testumgebung::SetUp();
        if (const char* alt = std::getenv("ORVEXA_PORTS")) alte_ports = alt;
        ports = ordner.Datei("ports");
        ::setenv("ORVEXA_PORTS", ports.c_str(), 1);
        Standardtreiber_einrichten();
    }

    void TearDown() override {
        fenster.reset();
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        sim.reset();
        if (alte_ports)
            ::setenv("ORVEXA_PORTS", alte_ports->c_str(), 1);
        else
            ::unsetenv("ORVEXA_PORTS");
        Testumgebung::TearDown();
    }

    // A controller at time scale 0 as COM1 (the port of the default parameters).
    void Steuerung_anschliessen(SerielleSteuerung::Optionen optionen = {}) {
        sim = std::make_unique<SerielleSteuerung>(optionen);
        ASSERT_TRUE(COM_registrieren(1, sim->Geraetepfad()));
    }

    // Parameter file beside the "program": the defaults with another type.
    void Parameterdatei_mit_Modul(int32_t modul, int32_t comport = 0) {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.Modul = modul;
        if (comport != 0) p.ComPort = comport;
        const std::string name =
            std::filesystem::path(Programmpfad()).stem().string() + "_param.dat";
        ASSERT_TRUE(Parameterdatei_speichern(p, ordner.Datei(name)));
    }

    // Runs the start-up as the program entry does and waits until it has connected or not.
    void Starten(QStringList schalter = {}) {
        schalter.prepend(QStringLiteral("/pfad/zu/orvexa2011"));
        fenster = std::make_unique<TMainForm>(schalter);
        fenster->Simulation_starter = [](int32_t modul, int32_t comport, std::string* fehler) {
            return Simulation_starten(modul, comport, {}, fehler);
        };
        Serielle_Linie_erzeugen();
        fenster->Tabellenmodul_setzen(&tabelle);
        fenster->Oeffnen_Dialog = [this](const QString& verzeichnis) {
            dialogverzeichnisse.push_back(verzeichnis.toStdString());
            return gewaehlt;
        };
        fenster->Speichern_Dialog = [this](const QString& verzeichnis, const QString& vorschlag) {
            dialogverzeichnisse.push_back(verzeichnis.toStdString());
            vorschlaege.push_back(vorschlag.toStdString());
            ++speicherdialoge;
            return gewaehlt;
        };
        fenster->hEventInit.Setzen();
        fenster->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return fenster->Gestartet(); }, 10'000));
    }

    std::string Titelzeile() const { return fenster->windowTitle().toStdString(); }
    static bool an(const QAction* a) { return a->isEnabled(); }
    static bool an(const QMenu* m) { return m->menuAction()->isEnabled(); }

    std::optional<std::string> alte_ports;
    std::string ports;
    std::unique_ptr<SerielleSteuerung> sim;
    Positionstabelle tabelle;
    std::unique_ptr<TMainForm> fenster;
    QString gewaehlt;
    std::vector<std::string> dialogverzeichnisse;
    std::vector<std::string> vorschlaege;
    int speicherdialoge = 0;
};

// --- Start-up and connect -----------------------------------------------------------------

TEST_F(HauptfensterTest, StartVerbindetUndZeigtDieKennung) {
    Datei_schreiben(Protokolldateiname(), "alte Zeile\r\n");
    Steuerung_anschliessen();
    Starten();

    EXPECT_TRUE(fenster->Verbunden);
    EXPECT_THAT(fenster->Statustext(0).toStdString(), HasSubstr(Kennung_von(5)));
    EXPECT_EQ(fenster->Statustext(1), "COM1");
    EXPECT_EQ(fenster->Titel, "orvexa2011 für " + Kennung_von(5) + "   30.01.15       ");
    EXPECT_EQ(Titelzeile(), fenster->Titel);
    EXPECT_EQ(fenster->KonfigPfad, ordner.Pfad() +
                                       std::filesystem::path(Programmpfad()).stem().string() +
                                       "_konfig.dat");
    // The old log went at start-up; the connect wrote the new one.
    const auto zeilen = Protokoll();
    EXPECT_THAT(zeilen, ::testing::Not(::testing::Contains("alte Zeile")));
    EXPECT_THAT(zeilen, ::testing::Contains(HasSubstr("Version_abfragen()")));

    // Connected, no table: file menu, motion menu; nothing of the table.
    EXPECT_TRUE(an(fenster->MenuDatei));
    EXPECT_TRUE(an(fenster->MenuNeu));
    EXPECT_TRUE(an(fenster->MenuOeffnen));
    EXPECT_TRUE(an(fenster->MenuBeenden));
    EXPECT_FALSE(an(fenster->MenuSpeichernUnter));
    EXPECT_FALSE(an(fenster->MenuSchliessen));
    EXPECT_FALSE(an(fenster->MenuBearbeiten));
    EXPECT_TRUE(an(fenster->MenuFahrt));
    EXPECT_FALSE(an(fenster->MenuVektorausgabe));
    EXPECT_FALSE(fenster->MenuKX900_KXCU->menuAction()->isVisible());
}

TEST_F(HauptfensterTest, VektorausgabeNurVerbundenMitTabelleUndDialog) {
    Steuerung_anschliessen();
    Starten();
    int geoeffnet = 0;
    fenster->MenuNeuClick();
    EXPECT_FALSE(an(fenster->MenuVektorausgabe)) << "no dialog to open yet";
    fenster->Vektorausgabe_oeffnen = [&] { ++geoeffnet; };
    fenster->Menuestatus();
    ASSERT_TRUE(an(fenster->MenuVektorausgabe));
    fenster->MenuVektorausgabe->trigger();
    EXPECT_EQ(geoeffnet, 1);
    fenster->MenuSchliessenClick();
    EXPECT_FALSE(an(fenster->MenuVektorausgabe));
}

TEST_F(HauptfensterTest, OhneSteuerungNurDateiUndBeenden) {
    SerielleSteuerung::Optionen optionen;
    Steuerung_anschliessen(optionen);
    sim->Stumm_schalten(true);
    Starten();

    EXPECT_FALSE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(0), "--- keine Verbindung ---");
    EXPECT_TRUE(an(fenster->MenuDatei));
    EXPECT_TRUE(an(fenster->MenuNeu));
    EXPECT_TRUE(an(fenster->MenuOeffnen));
    EXPECT_TRUE(an(fenster->MenuBeenden));
    EXPECT_FALSE(an(fenster->MenuBearbeiten));
    EXPECT_FALSE(an(fenster->MenuFahrt));
    fenster->Vektorausgabe_oeffnen = [] {};
    fenster->MenuNeuClick();
    EXPECT_FALSE(an(fenster->MenuVektorausgabe));
    EXPECT_FALSE(an(fenster->MenuFahrt));
    // The tool bar follows the menu.
    EXPECT_FALSE(an(fenster->MenuNeu));
    EXPECT_TRUE(an(fenster->MenuSchliessen));
}

TEST_F(HauptfensterTest, SimStartetDieMaschineInEigenemPortordner) {
    Starten({"/sim"});
    ASSERT_NE(fenster->Simulierte_Maschine(), nullptr);
    EXPECT_TRUE(fenster->Verbunden);
    EXPECT_THAT(fenster->Statustext(0).toStdString(), HasSubstr(Kennung_von(5)));
    EXPECT_EQ(fenster->Statustext(1), "COM1");
    // The operator's port directory is left alone.
    EXPECT_FALSE(std::filesystem::exists(ports + "/COM1"));
    EXPECT_EQ(fenster->Titel, "orvexa2011 für " + Kennung_von(5) + "   30.01.15       ");

    fenster.reset();
    ASSERT_NE(std::getenv("ORVEXA_PORTS"), nullptr);
    EXPECT_EQ(std::string(std::getenv("ORVEXA_PORTS")), ports);
}

TEST_F(HauptfensterTest, SimMitParallelkarte) {
    Parameterdatei_mit_Modul(7);
    Starten({"/SIM"});
    ASSERT_NE(fenster->Simulierte_Maschine(), nullptr);
    EXPECT_TRUE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(0), "KX-TR-500");
    EXPECT_EQ(fenster->Statustext(1), "0x378");
}

TEST_F(HauptfensterTest, SimMitSpeicherndenSteuerungen) {
    for (const int32_t modul : {2, 3}) {
        Parameterdatei_mit_Modul(modul);
        Starten({"/SIM"});
        ASSERT_NE(fenster->Simulierte_Maschine(), nullptr) << modul;
        EXPECT_TRUE(fenster->Verbunden);
        EXPECT_EQ(fenster->Statustext(0), modul == 2 ? "KX-IKXIF V1.21" : "KX900i KXCU V3.04");
        fenster.reset();
    }
    EXPECT_THAT(ui.Meldungen(), ::testing::IsEmpty());
}

TEST_F(HauptfensterTest, SimOhneSimulatorVerbindetNichtMitEchterHardware) {
    // Type 3 has a simulated controller, but none can be registered beyond COM63.
    Parameterdatei_mit_Modul(3, 64);
    Starten({"/SIM"});
    EXPECT_EQ(fenster->Simulierte_Maschine(), nullptr);
    EXPECT_FALSE(fenster->Verbunden);
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_THAT(ui.Meldungen()[0].text, HasSubstr("Keine simulierte Maschine"));
    // Type 3 shows its controller menu even without a connection, disabled.
    EXPECT_TRUE(fenster->MenuKX900_KXCU->menuAction()->isVisible());
    EXPECT_FALSE(an(fenster->MenuKX900_KXCU));
}

// --- Parameter, reference and jog dialogs ------------------------------------------------

TEST_F(HauptfensterTest, ParameterdialogTrenntUndVerbindetNeu) {
    Steuerung_anschliessen();
    Starten();
    ASSERT_TRUE(fenster->Verbunden);
    EXPECT_FALSE(an(fenster->MenuParameter)) << "no dialog to open yet";
    EXPECT_FALSE(an(fenster->MenuReferenz));

    // The dialog sees the link closed; the operator picks another port, where a second
    // controller answers: the window connects there afterwards.
    SerielleSteuerung zweite(SerielleSteuerung::Optionen{});
    ASSERT_TRUE(COM_registrieren(7, zweite.Geraetepfad()));
    bool offen_beim_dialog = true;
    fenster->Parameter_oeffnen = [&] {
        offen_beim_dialog = fenster->Verbunden || an(fenster->MenuFahrt);
        Parametersatz().ComPort = 7;
    };
    fenster->Menuestatus();
    ASSERT_TRUE(an(fenster->MenuParameter));
    EXPECT_TRUE(an(fenster->ParameterSpeedButton));
    fenster->MenuParameter->trigger();
    EXPECT_FALSE(offen_beim_dialog);
    EXPECT_TRUE(fenster->Verbunden);
    EXPECT_EQ(fenster->Statustext(1), "COM7");
    EXPECT_TRUE(an(fenster->MenuParameter));

    // A port where nothing answers: not connected, motion menus off, parameters still open.
    fenster->Parameter_oeffnen = [] { Parametersatz().ComPort = 9; };
    fenster->MenuParameterClick();
    EXPECT_FALSE(fenster->Verbunden);
    EXPECT_FALSE(an(fenster->MenuFahrt));
    EXPECT_TRUE(an(fenster->MenuParameter));
}

TEST_F(HauptfensterTest, ReferenzUndManuellNurVerbunden) {
    Steuerung_anschliessen();
    sim->Stumm_schalten(true);
    Starten();
    int referenz = 0, manuell = 0;
    fenster->Referenz_oeffnen = [&] { ++referenz; };
    fenster->Manuell_oeffnen = [&] { ++manuell; };
    fenster->Menuestatus();
    EXPECT_FALSE(an(fenster->MenuReferenz));
    EXPECT_FALSE(an(fenster->MenuManuell));
    fenster->MenuReferenzClick();
    fenster->MenuManuellClick();
    EXPECT_EQ(referenz + manuell, 0);

    sim->Stumm_schalten(false);
    fenster->Verbinden();
    ASSERT_TRUE(fenster->Verbunden);
    EXPECT_TRUE(an(fenster->MenuReferenz));
    EXPECT_TRUE(an(fenster->MenuManuell));
    fenster->MenuReferenz->trigger();
    fenster->MenuManuell->trigger();
    EXPECT_EQ(referenz, 1);
    EXPECT_EQ(manuell, 1);
    EXPECT_TRUE(fenster->isVisible());
}

TEST_F(HauptfensterTest, ManuellModusVerbirgtDasFensterUndEndetMitDemDialog) {
    Steuerung_anschliessen();
    Starten({"/MANUELL"});
    ASSERT_TRUE(fenster->Verbunden);
    bool sichtbar_beim_dialog = true;
    fenster->Manuell_oeffnen = [&] { sichtbar_beim_dialog = fenster->isVisible(); };
    fenster->Menuestatus();

    // An unsaved table the operator keeps: the window comes back instead of staying hidden.
    fenster->MenuNeuClick();
    tabelle.Geaendert = true;
    ui.Antworten_vorgeben({Antwort::abbrechen});
    fenster->MenuManuellClick();
    EXPECT_FALSE(sichtbar_beim_dialog);
    EXPECT_TRUE(fenster->isVisible());

    ui.Antworten_vorgeben({Antwort::nein});
    fenster->MenuManuellClick();
    EXPECT_FALSE(fenster->isVisible());
    EXPECT_FALSE(std::filesystem::exists(Protokolldateiname())) << "the program ended";
}

TEST_F(HauptfensterTest, WTModusOhneManuelleFahrt) {
    Steuerung_anschliessen();
    Starten({"/WT"});
    int manuell = 0;
    fenster->Manuell_oeffnen = [&] { ++manuell; };
    fenster->Menuestatus();
    EXPECT_FALSE(fenster->MenuManuell->isVisible());
    fenster->MenuManuellClick();
    EXPECT_EQ(manuell, 0);
}

// --- Switches and caption -----------------------------------------------------------------

TEST_F(HauptfensterTest, SchalterGrossKleinUndNurGanz) {
    TMainForm a({"orvexa2011", "/wt", "/Kora", "/WT2", "/torval", "-sim", "/ENTWICKLUNGX"});
    EXPECT_TRUE(a.ModusWT);
    EXPECT_TRUE(a.ModusKora);
    EXPECT_TRUE(a.ModusTorval);
    EXPECT_FALSE(a.ModusEntwicklung);
    EXPECT_FALSE(a.ModusManuell);
    EXPECT_FALSE(a.ModusSimulation);
    EXPECT_FALSE(a.ModusPellix);

    TMainForm b({"orvexa2011", "/WT2", "/MANUELL", "/entwicklung"});
    EXPECT_FALSE(b.ModusWT);
    EXPECT_TRUE(b.ModusManuell);
    EXPECT_TRUE(b.ModusEntwicklung);
    EXPECT_FALSE(b.Verbunden);
}

TEST_F(HauptfensterTest, PellixWaehltDieDruckgesteuerteDosierung) {
    Steuerung_anschliessen();
    Starten({"/pellix", "/kora"});
    EXPECT_EQ(fenster->Dosiervariante, 2);
    EXPECT_TRUE(fenster->ModusPellix);
    EXPECT_THAT(fenster->Titel, HasSubstr("    /KORA /PELLIX    "));
}

// The manual-only mode puts the jog dialog in the corner, and still initialises it fully.
TEST_F(HauptfensterTest, JogDialogImManuellenModusVollInitialisiert) {
    TMainForm f({"orvexa2011", "/MANUELL", "/KORA"});
    TManuelleFahrtForm manuell(&f);
    Manuell_einrichten(f, manuell);
    EXPECT_TRUE(manuell.Vollinitialisierung);
    EXPECT_EQ(manuell.pos(), QPoint(0, 0));
}

TEST_F(HauptfensterTest, TitelMitMarkenInFesterReihenfolge) {
    Steuerung_anschliessen();
    Starten({"/manuell", "/WT2", "/entwicklung", "/kora"});
    EXPECT_EQ(fenster->Titel, "orvexa2011 für " + Kennung_von(5) +
                                  "   30.01.15    /KORA /ENTWICKLUNG /MANUELL    ");
    gewaehlt = QString::fromStdString(ordner.Datei("a.edt"));
    Datei_schreiben(ordner.Datei("a.edt"), "; orvexa2011\r\n;\r\nMillimetereingabe\r\n");
    fenster->MenuOeffnenClick();
    EXPECT_EQ(Titelzeile(), fenster->Titel + ordner.Datei("a.edt"));
}

TEST_F(HauptfensterTest, WinkelmodusKundentextUndKeineSchritteingabe) {
    Steuerung_anschliessen();
    Starten({"/wt"});
    EXPECT_EQ(fenster->Titel, "orvexa2011 für Winkelpositionierung   30.01.15    /WT    ");
    EXPECT_FALSE(fenster->MenuSchritteingabe->isVisible());
    EXPECT_FALSE(fenster->PU_Schritteingabe->isVisible());
    EXPECT_FALSE(fenster->SchritteingabeTrenner->isVisible());
    EXPECT_TRUE(tabelle.Modus.Winkel);
}

TEST_F(HauptfensterTest, TorvalKundentextNurFuerTyp4und5) {
    Steuerung_anschliessen();
    Starten({"/TORVAL"});
    EXPECT_EQ(fenster->Titel, "orvexa2011 für TORVAL Dosieranlage   30.01.15       ");
    EXPECT_TRUE(tabelle.Modus.Torval);
}

TEST_F(HauptfensterTest, ZeitSchalterStempeltDieDateien) {
    Datei_schreiben(ordner.Datei("tabelle.edt"), "x");
    Datei_schreiben(ordner.Datei("notiz.md"), "x");
    TMainForm f({"orvexa2011", "/time"});
    struct stat st {};
    ASSERT_EQ(::stat(ordner.Datei("tabelle.edt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1422622800); // 2015-01-30 13:00:00 UTC
    ASSERT_EQ(::stat(ordner.Datei("notiz.md").c_str(), &st), 0);
    EXPECT_NE(st.st_mtime, 1422622800);
}

// --- Files --------------------------------------------------------------------------------

TEST_F(HauptfensterTest, NeuSpeichernSchliessenOeffnen) {
    Steuerung_anschliessen();
    Starten();
    ASSERT_FALSE(fenster->Tabelle_offen());

    fenster->MenuNeuClick();
    ASSERT_TRUE(fenster->Tabelle_offen());
    EXPECT_EQ(tabelle.DateiName, ordner.Datei("neu.edt"));
    EXPECT_EQ(tabelle.Zeilenzahl(), 5);
    EXPECT_FALSE(an(fenster->MenuNeu));
    EXPECT_FALSE(an(fenster->MenuOeffnen));
    EXPECT_TRUE(an(fenster->MenuSpeichernUnter));
    EXPECT_TRUE(an(fenster->MenuBearbeiten));

    Tabellenmodell* modell = fenster->Modell();
    ASSERT_NE(modell, nullptr);
    ASSERT_TRUE(modell->setData(modell->Zellindex(1, 6), "12.5", Qt::EditRole));
    gewaehlt = QString::fromStdString(ordner.Datei("probe"));
    ASSERT_TRUE(fenster->MenuSpeichernUnterClick());
    EXPECT_EQ(vorschlaege.back(), ordner.Datei("neu.edt"));
    EXPECT_EQ(dialogverzeichnisse.back(), ordner.Pfad());
    EXPECT_EQ(fenster->TabellenPfad, ordner.Datei("probe.edt"));
    EXPECT_EQ(Datei_lesen(ordner.Datei("probe.edt")),
              "; orvexa2011\r\n;\r\nMillimetereingabe\r\n- - - - - 12.5 - - - - - - - -\r\n"
              "- - - - - - - - - - - - - -\r\n- - - - - - - - - - - - - -\r\n"
              "- - - - - - - - - - - - - -\r\n- - - - - - - - - - - - - -\r\n");
    EXPECT_EQ(Titelzeile(), fenster->Titel + ordner.Datei("probe.edt"));

    // Saved and unchanged: closing asks nothing.
    ASSERT_TRUE(fenster->MenuSchliessenClick());
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_FALSE(fenster->Tabelle_offen());
    EXPECT_EQ(fenster->TabellenPfad, "");
    EXPECT_EQ(Titelzeile(), fenster->Titel);
    EXPECT_TRUE(an(fenster->MenuNeu));
    EXPECT_FALSE(an(fenster->MenuBearbeiten));

    gewaehlt = QString::fromStdString(ordner.Datei("probe.edt"));
    fenster->MenuOeffnenClick();
    ASSERT_TRUE(fenster->Tabelle_offen());
    EXPECT_EQ(tabelle.Zeilenzahl(), 5);
    EXPECT_EQ(tabelle.Zelle(1, 6), "12.5");
    EXPECT_EQ(fenster->TabellenPfad, ordner.Datei("probe.edt"));
    EXPECT_FALSE(tabelle.Geaendert);
}

TEST_F(HauptfensterTest, EndungEdtInJederSchreibweiseBleibt) {
    Steuerung_anschliessen();
    Starten();
    fenster->MenuNeuClick();
    gewaehlt = QString::fromStdString(ordner.Datei("probe.EDT"));
    ASSERT_TRUE(fenster->MenuSpeichernUnterClick());
    EXPECT_TRUE(std::filesystem::exists(ordner.Datei("probe.EDT")));
    EXPECT_FALSE(std::filesystem::exists(ordner.Datei("probe.EDT.edt")));
    gewaehlt = QString::fromStdString(ordner.Datei("probe.txt"));
    ASSERT_TRUE(fenster->MenuSpeichernUnterClick());
    EXPECT_TRUE(std::filesystem::exists(ordner.Datei("probe.txt.edt")));
    // Cancelled dialog: nothing written, nothing changed.
    gewaehlt.clear();
    EXPECT_FALSE(fenster->MenuSpeichernUnterClick());
    EXPECT_EQ(fenster->TabellenPfad, ordner.Datei("probe.txt.edt"));
}

TEST_F(HauptfensterTest, OeffnenZeigtDieDialogeAufDenOrdnerDerDatei) {
    Steuerung_anschliessen();
    Starten();
    std::filesystem::create_directory(ordner.Datei("unter"));
    Datei_schreiben(ordner.Datei("unter/t.edt"),
                    "; orvexa2011\r\n;\r\nSchritteingabe\r\nON - - - - 400\r\n");
    gewaehlt = QString::fromStdString(ordner.Datei("unter/t.edt"));
    fenster->MenuOeffnenClick();
    EXPECT_EQ(dialogverzeichnisse.at(0), ordner.Pfad());
    EXPECT_TRUE(tabelle.Schritteingabe);
    EXPECT_EQ(tabelle.Zeilenzahl(), 1);
    gewaehlt = QString::fromStdString(ordner.Datei("unter/kopie"));
    ASSERT_TRUE(fenster->MenuSpeichernUnterClick());
    EXPECT_EQ(dialogverzeichnisse.at(1), ordner.Datei("unter"));
    EXPECT_TRUE(std::filesystem::exists(ordner.Datei("unter/kopie.edt")));
}

TEST_F(HauptfensterTest, SchliessenMitAenderungenFragtUndAbbrechenBehaeltDieTabelle) {
    Steuerung_anschliessen();
    Starten();
    fenster->MenuNeuClick();
    Tabellenmodell* modell = fenster->Modell();
    ASSERT_TRUE(modell->setData(modell->Zellindex(2, 6), "3", Qt::EditRole));
    tabelle.Geaendert = true;

    ui.Antworten_vorgeben({Antwort::abbrechen});
    EXPECT_FALSE(fenster->MenuSchliessenClick());
    ASSERT_EQ(ui.Meldungen().size(), 1u);
    EXPECT_EQ(ui.Meldungen()[0].text, "Möchten Sie die Änderungen speichern?\n");
    EXPECT_EQ(ui.Meldungen()[0].knoepfe, Knoepfe::ja_nein_abbrechen);
    EXPECT_TRUE(fenster->Tabelle_offen());

    // Yes, but the save dialog is cancelled: still open, nothing lost.
    ui.Antworten_vorgeben({Antwort::ja});
    gewaehlt.clear();
    EXPECT_FALSE(fenster->MenuSchliessenClick());
    EXPECT_TRUE(fenster->Tabelle_offen());

    ui.Antworten_vorgeben({Antwort::ja});
    gewaehlt = QString::fromStdString(ordner.Datei("gerettet"));
    EXPECT_TRUE(fenster->MenuSchliessenClick());
    EXPECT_FALSE(fenster->Tabelle_offen());
    EXPECT_THAT(Datei_lesen(ordner.Datei("gerettet.edt")), HasSubstr("- 3 -"));

    // No: closed without saving; quitting later asks nothing more.
    fenster->MenuNeuClick();
    tabelle.Geaendert = true;
    ui.Leeren();
    ui.Antworten_vorgeben({Antwort::nein});
    const int vorher = speicherdialoge;
    EXPECT_TRUE(fenster->MenuSchliessenClick());
    EXPECT_EQ(speicherdialoge, vorher);
    EXPECT_FALSE(fenster->Tabelle_offen());
    EXPECT_TRUE(fenster->close());
    EXPECT_EQ(ui.Meldungen().size(), 1u);
}

TEST_F(HauptfensterTest, BeendenSchliesstDieVerbindungUndLoeschtDasProtokoll) {
    Steuerung_anschliessen();
    Starten();
    fenster->MenuNeuClick();
    tabelle.Geaendert = true;
    ui.Antworten_vorgeben({Antwort::abbrechen});
    fenster->MenuBeenden->trigger();
    EXPECT_TRUE(fenster->isVisible());

    ui.Antworten_vorgeben({Antwort::nein});
    fenster->MenuBeenden->trigger();
    EXPECT_FALSE(fenster->isVisible());
    EXPECT_FALSE(std::filesystem::exists(Protokolldateiname()));
}

// --- Edit menu ----------------------------------------------------------------------------

TEST_F(HauptfensterTest, ZeilenbefehleUndSchritteingabeUeberMenueUndPopup) {
    Steuerung_anschliessen();
    Starten();
    fenster->MenuNeuClick();
    fenster->MenuZeileHinzufuegen25->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 30);
    fenster->PU_ZeileHinzufuegen->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 31);

    // Nothing selected in the fresh table: inserting does nothing.
    fenster->PU_ZeileEinfuegen->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 31);
    QTableView* gitter = fenster->Gitter();
    gitter->setCurrentIndex(fenster->Modell()->Zellindex(4, 6));
    EXPECT_EQ(tabelle.AktZeile, 4);
    EXPECT_EQ(tabelle.AktSpalte, 6);
    fenster->MenuZeileEinfuegen->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 32);
    fenster->MenuZeileLoeschen->trigger();
    fenster->PU_ZeileLoeschen->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 30);

    ASSERT_TRUE(tabelle.Zelle_setzen(1, 6, "10"));
    fenster->MenuSchritteingabe->trigger();
    EXPECT_TRUE(tabelle.Schritteingabe);
    EXPECT_TRUE(fenster->MenuSchritteingabe->isChecked());
    EXPECT_TRUE(fenster->PU_Schritteingabe->isChecked());
    EXPECT_EQ(tabelle.Zelle(1, 6), "4000"); // 10 mm at 400 steps per mm
    fenster->PU_Schritteingabe->trigger();
    EXPECT_FALSE(tabelle.Schritteingabe);
    EXPECT_FALSE(fenster->MenuSchritteingabe->isChecked());
    EXPECT_EQ(tabelle.Zelle(1, 6), "10.00");

    fenster->MenuTabelleLoeschen->trigger();
    EXPECT_EQ(tabelle.Zeilenzahl(), 5);

    // What the run publishes reaches the grid.
    fenster->AktuelleZeile_setzen(3);
    fenster->Wiederholung_anzeigen(3, "2 von 5");
    const Tabellenmodell* modell = fenster->Modell();
    EXPECT_EQ(modell->AktuelleZeile(), 3);
    EXPECT_EQ(modell->data(modell->index(2, 13)).toString(), "2 von 5");
}

TEST_F(HauptfensterTest, KopfhinweiseUeberSchaltspaltenUndWH) {
    Steuerung_anschliessen();
    Starten();
    fenster->MenuNeuClick();
    QTableView* gitter = fenster->Gitter();
    QHeaderView* kopf = gitter->horizontalHeader();
    const auto ueber = [&](int spalte) {
        const int x = kopf->sectionViewportPosition(spalte - 1) + 5;
        QMouseEvent bewegung(QEvent::MouseMove, QPointF(x, 5), kopf->mapToGlobal(QPointF(x, 5)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(kopf->viewport(), &bewegung);
    };
    ueber(3);
    EXPECT_TRUE(fenster->EingabeHilfePanel1->isVisible());
    EXPECT_FALSE(fenster->EingabeHilfePanel2->isVisible());
    ueber(14);
    EXPECT_FALSE(fenster->EingabeHilfePanel1->isVisible());
    ASSERT_TRUE(fenster->EingabeHilfePanel2->isVisible());
    // Right-aligned to the right edge of the repeat column.
    const int rechts =
        kopf->viewport()
            ->mapTo(fenster.get(),
                    QPoint(kopf->sectionViewportPosition(13) + kopf->sectionSize(13), 0))
            .x();
    EXPECT_NEAR(fenster->EingabeHilfePanel2->geometry().right() + 1, rechts, 2);
    ueber(8);
    EXPECT_FALSE(fenster->EingabeHilfePanel2->isVisible());
    ueber(1);
    QMouseEvent darunter(QEvent::MouseMove, QPointF(20, 30), QPointF(20, 30), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(gitter->viewport(), &darunter);
    EXPECT_FALSE(fenster->EingabeHilfePanel1->isVisible());
}

} // namespace

// --- Program memory ----------------------------------------------------------------------

TEST_F(HauptfensterTest, ProgrammspeichermenueNurFuerKXvarioUndUsbIkxif) {
    std::vector<bool> geoeffnet;
    const auto starten = [&](int32_t modul) {
        Parameterdatei_mit_Modul(modul);
        Starten({"/SIM"});
        fenster->Programmspeicher_oeffnen = [&](bool loeschmodus) {
            geoeffnet.push_back(loeschmodus);
        };
        fenster->Menuestatus();
    };

    ASSERT_NO_FATAL_FAILURE(starten(6));
    ASSERT_TRUE(fenster->Verbunden);
    EXPECT_TRUE(fenster->MenuKXvario_KXCU->menuAction()->isVisible());
    EXPECT_EQ(fenster->MenuKXvario_KXCU->title(), "USB-iKXIF");
    EXPECT_TRUE(an(fenster->MenuKXvario_KXCU));
    EXPECT_FALSE(fenster->MenuKX900_KXCU->menuAction()->isVisible());
    // Writing a table needs one open; erasing everything does not.
    EXPECT_FALSE(an(fenster->MenuVektorausgabeFestwertspeicher));
    EXPECT_TRUE(an(fenster->MenuDKXCUFestwertspeicher_loeschen));
    fenster->MenuDKXCUFestwertspeicher_loeschen->trigger();
    fenster->MenuNeuClick();
    EXPECT_TRUE(an(fenster->MenuVektorausgabeFestwertspeicher));
    fenster->MenuVektorausgabeFestwertspeicher->trigger();
    EXPECT_EQ(geoeffnet, (std::vector<bool>{true, false}));
    fenster->close();
    fenster.reset();

    ASSERT_NO_FATAL_FAILURE(starten(5));
    EXPECT_EQ(fenster->MenuKXvario_KXCU->title(), "KXvario-KXCU");
    fenster->close();
    fenster.reset();

    ASSERT_NO_FATAL_FAILURE(starten(7));
    EXPECT_FALSE(fenster->MenuKXvario_KXCU->menuAction()->isVisible());
    geoeffnet.clear();
    fenster->MenuDKXCUFestwertspeicher_loeschenClick();
    fenster->MenuVektorausgabeFestwertspeicherClick();
    EXPECT_TRUE(geoeffnet.empty());
}

TEST_F(HauptfensterTest, DomingmenueFuerTyp5und6VerbundenOhneTabelle) {
    int geoeffnet = 0;
    const auto starten = [&](int32_t modul) {
        Parameterdatei_mit_Modul(modul);
        Starten({"/SIM"});
        fenster->Doming_oeffnen = [&] { ++geoeffnet; };
        fenster->Menuestatus();
    };

    for (int32_t modul : {5, 6}) {
        ASSERT_NO_FATAL_FAILURE(starten(modul));
        ASSERT_TRUE(fenster->Verbunden);
        EXPECT_TRUE(fenster->MenuDoming->isVisible()) << modul;
        EXPECT_TRUE(fenster->MenuDoming->isEnabled()) << modul;
        fenster->MenuDoming->trigger();
        // An open table takes the place of the dispensing window.
        fenster->MenuNeuClick();
        EXPECT_FALSE(fenster->MenuDoming->isEnabled());
        fenster->MenuDomingClick();
        fenster->MenuSchliessenClick();
        fenster->close();
        fenster.reset();
    }
    EXPECT_EQ(geoeffnet, 2);

    ASSERT_NO_FATAL_FAILURE(starten(7));
    EXPECT_FALSE(fenster->MenuDoming->isVisible());
    fenster->MenuDomingClick();
    EXPECT_EQ(geoeffnet, 2);
}
