// soak: runs a position table over and over against a simulated controller through the whole
// program (command layer, driver, termios, pseudo-terminal, simulator) while faults are
// injected at a seeded random rate: silence, garbage, a cut answer, a late answer, unplugging
// and plugging in again. After each fault the program must come to a defined outcome; the tool
// then connects again as the main window does and goes on.
//
//   soak --exchanges N --seed S --target serial|storing|display [--seconds T]
//
// Counted: exchanges (requests the simulator received), faults injected, faults that ended in
// a defined outcome, answers handed to a request that do not match the simulator's model
// (wrong; each answer is checked against the model), waits a 10 s watchdog had to end (hangs).
// The parameter and table files the run reads lie in a temporary folder and must be unchanged
// byte for byte at the end. The last line is
//   soak: exchanges=N faults=F defined=D wrong=W hangs=H files=unchanged|CHANGED
// and the exit status is 1 when wrong or hangs is above 0 or a file changed, 2 for a bad
// command line or a set-up that failed.

#include "angle/winkeltranskript.h"
#include "angle/wt_nd261dm.h"
#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "core/verbindungsablauf.h"
#include "drivers/seriellerbefehlssatz.h"
#include "drivers/speichermodulbasis.h"
#include "drivers/standardtreiber.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/programmverzeichnis.h"
#include "platform/zeitbasis.h"
#include "positionsanzeige.h"
#include "seriellesteuerung.h"
#include "speicherndesteuerung.h"
#include "tables/tabelle.h"
#include "tables/vektorausgabe.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

using namespace orvexa;

namespace {

constexpr int Portnummer = 4;
constexpr int Anzeigeport = 2;
constexpr auto Wachhundfrist = std::chrono::seconds(10);
// A wait the watchdog could not end within this gives up the whole run.
constexpr auto Aufgabefrist = std::chrono::seconds(60);
constexpr int Verbindungsversuche = 5;
// How often a fault is aimed at a table row (serial, storing; a fault ends the run, so the
// later rows of a run see none) or at a reading of the display: about 1.5 % of the exchanges.
constexpr double Stoerungsrate_Zeile = 0.12;
constexpr double Stoerungsrate_Ablesung = 0.012;
constexpr char ACK = 6;

enum class Stoerung { keine, Stille, Muell, Abgeschnitten, Verspaetet, Ausgesteckt };

const char* Name(Stoerung s) {
    switch (s) {
    case Stoerung::keine:
        return "none";
    case Stoerung::Stille:
        return "silence";
    case Stoerung::Muell:
        return "garbage";
    case Stoerung::Abgeschnitten:
        return "cut answer";
    case Stoerung::Verspaetet:
        return "late answer";
    case Stoerung::Ausgesteckt:
        return "unplugged";
    }
    return "?";
}

struct Optionen {
    uint64_t austausche = 10'000;
    uint64_t saat = 1;
    std::string ziel;
    int sekunden = 3600;
};

[[noreturn]] void Aufruf_falsch(const std::string& text) {
    std::fprintf(stderr,
                 "soak: %s\nUsage: soak --exchanges N --seed S --target serial|storing|display "
                 "[--seconds T]\n",
                 text.c_str());
    std::exit(2);
}

uint64_t Zahl(const std::string& option, const char* text) {
    char* ende = nullptr;
    errno = 0;
    const unsigned long long wert = std::strtoull(text, &ende, 10);
    if (errno != 0 || ende == text || *ende != '\0' || text[0] == '-')
        Aufruf_falsch(option + " needs a whole number, not '" + text + "'");
    return wert;
}

Optionen Optionen_lesen(int argc, char** argv) {
    Optionen o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto wert = [&]() -> const char* {
            if (i + 1 >= argc) Aufruf_falsch(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--exchanges")
            o.austausche = Zahl(arg, wert());
        else if (arg == "--seed")
            o.saat = Zahl(arg, wert());
        else if (arg == "--target")
            o.ziel = wert();
        else if (arg == "--seconds")
            o.sekunden = static_cast<int>(std::min<uint64_t>(Zahl(arg, wert()), 86'400));
        else
            Aufruf_falsch("unknown option '" + arg + "'");
    }
    if (o.ziel != "serial" && o.ziel != "storing" && o.ziel != "display")
        Aufruf_falsch("--target takes serial, storing or display");
    if (o.sekunden < 1) Aufruf_falsch("--seconds needs at least 1");
    return o;
}

// Every box of the program takes its default button; they are only counted.
class Stille_Oberflaeche : public Oberflaeche {
public:
    Antwort Meldung(const std::string&, const std::string&, Symbol, Knoepfe knoepfe) override {
        ++meldungen;
        return Standardantwort(knoepfe);
    }
    void Piepton(int, int) override {}
    void Nachrichten_verarbeiten() override {}
    void im_Fensterthread(std::function<void()> f, bool) override { f(); }

    std::atomic<uint64_t> meldungen{0};
};

struct Zaehler {
    std::atomic<uint64_t> stoerungen{0};
    std::atomic<uint64_t> definiert{0};
    std::atomic<uint64_t> falsch{0};
    std::atomic<uint64_t> haenger{0};
    uint64_t folgefehler = 0; // controller errors with no fault armed (late answers' wake)
    uint64_t verbindungsfehler = 0;
};

// Ends a step that takes longer than the watchdog's limit by calling the target's stop; gives
// the whole run up when even that does not end it.
class Wachhund {
public:
    Wachhund(Zaehler& z, std::function<void()> beenden, std::function<void()> aufgeben)
        : m_z(z), m_beenden(std::move(beenden)), m_aufgeben(std::move(aufgeben)) {
        m_thread = std::thread([this] { Lauf(); });
    }
    ~Wachhund() {
        {
            std::lock_guard lock(m_mutex);
            m_ende = true;
        }
        m_bedingung.notify_all();
        m_thread.join();
    }

    void Beginnen() {
        std::lock_guard lock(m_mutex);
        m_seit = std::chrono::steady_clock::now();
        m_aktiv = true;
        m_beendet = false;
    }
    void Fertig() {
        std::lock_guard lock(m_mutex);
        m_aktiv = false;
    }

private:
    void Lauf() {
        std::unique_lock lock(m_mutex);
        while (!m_ende) {
            m_bedingung.wait_for(lock, std::chrono::milliseconds(100));
            if (!m_aktiv) continue;
            const auto dauer = std::chrono::steady_clock::now() - m_seit;
            if (dauer > Aufgabefrist) {
                lock.unlock();
                m_aufgeben();
                std::_Exit(1);
            }
            if (dauer > Wachhundfrist && !m_beendet) {
                m_beendet = true;
                ++m_z.haenger;
                lock.unlock();
                std::fprintf(stderr, "soak: a wait took over 10 s, ended by the watchdog\n");
                m_beenden();
                lock.lock();
            }
        }
    }

    Zaehler& m_z;
    std::function<void()> m_beenden;
    std::function<void()> m_aufgeben;
    std::mutex m_mutex;
    std::condition_variable m_bedingung;
    std::chrono::steady_clock::time_point m_seit;
    bool m_aktiv = false;
    bool m_beendet = false;
    bool m_ende = false;
    std::thread m_thread;
};

// An error code the program knows by name or by its controller text.
bool definierter_Code(int32_t code) {
    return code != 0 && (!Fehlername(code).empty() || code == THROW_ABORT ||
                         Steuerungsfehlertext(code) != "### default ###");
}

// The table: relative moves in steps that sum to zero on every axis, outputs switched on some
// rows, speeds on others, one row repeated.
void Tabelle_fuellen(Positionstabelle& t) {
    struct Zeile {
        const char *a1, *a2, *x, *y, *z, *start, *end, *rampe, *wh;
    };
    static constexpr Zeile zeilen[] = {
        {"ON", "-", "120", "40", "-", "-", "-", "-", "-"},
        {"-", "-", "-35", "15", "10", "400", "-", "-", "-"},
        {"OFF", "ON", "7", "-", "-", "-", "2500", "-", "1"},
        {"-", "-", "-50", "-20", "-", "-", "-", "90", "-"},
        {"-", "OFF", "3", "-30", "-10", "-", "-", "-", "-"},
        {"-", "-", "-52", "5", "25", "450", "2100", "110", "-"},
        {"ON", "-", "30", "-10", "-", "-", "-", "-", "-"},
        {"-", "-", "-30", "10", "-25", "-", "-", "-", "-"},
        {"OFF", "-", "-", "-10", "-", "-", "-", "-", "-"},
    };
    const int n = static_cast<int>(std::size(zeilen));
    t.Schritteingabe = true;
    t.ZeileHinzufuegen(n - t.Zeilenzahl());
    for (int r = 1; r <= n; ++r) {
        const Zeile& z = zeilen[r - 1];
        const char* felder[14] = {"-", z.a1, z.a2, "-",     "-",   z.x,     z.y,
                                  z.z, "-",  "-",  z.start, z.end, z.rampe, z.wh};
        for (int s = 1; s <= 14; ++s)
            t.Zelle_setzen(r, s, felder[s - 1]);
    }
}

// The working folder: the protocol log, the port folder, the parameter and the table file.
class Arbeitsordner {
public:
    Arbeitsordner() {
        std::string muster =
            (std::filesystem::temp_directory_path() / "orvexa-soak-XXXXXX").string();
        if (!::mkdtemp(muster.data())) throw std::runtime_error("mkdtemp failed");
        pfad = muster + "/";
        ::setenv("ORVEXA_PORTS", (pfad + "ports").c_str(), 1);
        Programmverzeichnis_setzen(pfad);
    }
    ~Arbeitsordner() {
        Programmverzeichnis_setzen({});
        ::unsetenv("ORVEXA_PORTS");
        std::error_code ec;
        std::filesystem::remove_all(pfad, ec);
    }

    // Writes both files with the program's own save functions and loads them back, as the
    // program would at start; their bytes are kept for the check at the end.
    bool Dateien_anlegen(const Maschinenparameter& p, Positionstabelle& tabelle) {
        parameterdatei = pfad + "soak_param.dat";
        tabellendatei = pfad + "soak.edt";
        if (!Parameterdatei_speichern(p, parameterdatei)) return false;
        Parameterdatei() = parameterdatei;
        Parameterdatei_laden(Parametersatz(), parameterdatei);
        Tabelle_fuellen(tabelle);
        tabelle.DateiName = tabellendatei;
        if (!tabelle.TabelleSpeichern()) return false;
        Positionstabelle geladen;
        geladen.DateiName = tabellendatei;
        if (!geladen.TabelleLaden()) return false;
        tabelle = geladen;
        return Datei_lesen(parameterdatei, parameter_vorher) &&
               Datei_lesen(tabellendatei, tabelle_vorher);
    }

    bool Unveraendert() const {
        std::string p, t;
        return Datei_lesen(parameterdatei, p) && Datei_lesen(tabellendatei, t) &&
               p == parameter_vorher && t == tabelle_vorher;
    }

    std::string pfad;
    std::string parameterdatei, tabellendatei;
    std::string parameter_vorher, tabelle_vorher;
};

class Zufall {
public:
    explicit Zufall(uint64_t saat) : m_gen(saat) {}
    bool Wurf(double p) { return std::uniform_real_distribution<double>(0, 1)(m_gen) < p; }
    int Zahl(int von, int bis) { return std::uniform_int_distribution<int>(von, bis)(m_gen); }
    Stoerung Art() { return static_cast<Stoerung>(Zahl(1, 5)); }
    // Bytes that can never pass for an answer: no ACK, no NAK, no "@", no digit or sign.
    std::string Muell(bool mit_zeilenende) {
        static constexpr char bytes[] = {'?', '\xAB', '~', 'x', ' ', '\x07', '\r', 'E', 'q'};
        std::string m;
        const int n = Zahl(1, 6);
        for (int i = 0; i < n; ++i) {
            char c = bytes[Zahl(0, static_cast<int>(sizeof bytes) - 1)];
            if (!mit_zeilenende && (c == '\r' || c == '\x07')) c = '?';
            m += c;
        }
        if (mit_zeilenende && Wurf(0.5)) m += "\r\n";
        return m;
    }

private:
    std::mt19937_64 m_gen;
};

struct Ergebnis {
    uint64_t austausche = 0;
    bool aufgesetzt = true;
};

void Schlusszeile(const Zaehler& z, uint64_t austausche, bool unveraendert) {
    std::printf("soak: exchanges=%llu faults=%llu defined=%llu wrong=%llu hangs=%llu files=%s\n",
                static_cast<unsigned long long>(austausche),
                static_cast<unsigned long long>(z.stoerungen.load()),
                static_cast<unsigned long long>(z.definiert.load()),
                static_cast<unsigned long long>(z.falsch.load()),
                static_cast<unsigned long long>(z.haenger.load()),
                unveraendert ? "unchanged" : "CHANGED");
    std::fflush(stdout);
}

// ---- serial: the command set on the serial link ---------------------------------------------

class Serieller_Lauf : public Vektorausgabe_Beobachter {
public:
    Serieller_Lauf(const Optionen& o, Zaehler& z, Zufall& zufall) : m_o(o), m_z(z), m_r(zufall) {}

    Ergebnis Ausfuehren() {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.Modul = 5;
        p.ComPort = Portnummer;
        p.Baudrate = 115200;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 100;
        Positionstabelle tabelle;
        if (!ordner.Dateien_anlegen(p, tabelle)) return {0, false};

        SerielleSteuerung::Optionen so;
        so.Modul = 5;
        so.Zeitskala = 0;
        m_sim = std::make_unique<SerielleSteuerung>(so);
        if (!COM_registrieren(Portnummer, m_sim->Geraetepfad())) return {0, false};
        Standardtreiber_einrichten();
        Serielle_Linie_erzeugen();
        if (!Verbinden(true)) return {m_sim->Anfragenzahl(), false};

        Wachhund wachhund(
            m_z,
            [] {
                if (SeriellerBefehlssatz* linie = koraCOM()) linie->Warten_abbrechen();
                Steuerung().Abbruch = true;
            },
            [this] { Aufgeben(); });
        m_wachhund = &wachhund;
        const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(m_o.sekunden);
        while (m_sim->Anfragenzahl() < m_o.austausche && std::chrono::steady_clock::now() < ende) {
            Vektorausgabe lauf(tabelle, *this);
            wachhund.Beginnen();
            lauf.StartBitBtn_Thread();
            wachhund.Fertig();
            Nach_dem_Lauf(lauf.Ergebnis());
        }
        m_wachhund = nullptr;
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        const uint64_t n = m_sim->Anfragenzahl();
        m_sim.reset();
        COM_abmelden(Portnummer);
        return {n, true};
    }

    void AktuelleZeile(int zeile) override {
        if (zeile < 1) return;
        if (m_stoerung == Stoerung::keine && m_r.Wurf(Stoerungsrate_Zeile)) m_geplant = m_r.Art();
        // A cut answer needs an answer of several bytes: the position check's.
        const char achse = "xyz"[m_r.Zahl(0, 2)];
        const bool vor_pruefung = m_geplant == Stoerung::Abgeschnitten || m_r.Wurf(0.3);
        if (m_geplant != Stoerung::keine && vor_pruefung) Scharf_schalten(achse);
        const int32_t position = Achsenposition_abfragen_in_Schritten(achse);
        if (position != m_sim->Position(achse)) {
            ++m_z.falsch;
            std::fprintf(stderr, "soak: position of %c answered %d, the controller is at %d\n",
                         achse, position, m_sim->Position(achse));
        }
        if (m_geplant != Stoerung::keine) Scharf_schalten(achse);
    }

private:
    void Scharf_schalten(char achse) {
        m_stoerung = m_geplant;
        m_geplant = Stoerung::keine;
        ++m_z.stoerungen;
        switch (m_stoerung) {
        case Stoerung::Stille:
            m_sim->Stumm_schalten(true);
            break;
        case Stoerung::Muell:
            m_sim->Muell_senden(true, m_r.Muell(true));
            break;
        case Stoerung::Abgeschnitten: {
            // "@Lx ", the position, ACK.
            const std::size_t laenge = 4 + std::to_string(m_sim->Position(achse)).size() + 1;
            m_sim->Naechste_Antwort_abschneiden(
                static_cast<std::size_t>(m_r.Zahl(1, static_cast<int>(laenge) - 1)));
            break;
        }
        case Stoerung::Verspaetet:
            m_sim->Antwortverzoegerung_setzen(m_r.Zahl(600, 1000));
            break;
        case Stoerung::Ausgesteckt:
            m_sim->Ausstecken();
            break;
        case Stoerung::keine:
            break;
        }
    }

    void Stoerung_aufheben() {
        m_sim->Stumm_schalten(false);
        m_sim->Muell_senden(false);
        m_sim->Naechste_Antwort_abschneiden(std::string::npos);
        m_sim->Antwortverzoegerung_setzen(0);
        if (m_stoerung == Stoerung::Ausgesteckt) {
            if (!m_sim->Einstecken() || !COM_registrieren(Portnummer, m_sim->Geraetepfad())) {
                std::fprintf(stderr, "soak: the simulator could not be plugged in again\n");
                Schlusszeile(m_z, m_sim->Anfragenzahl(), ordner.Unveraendert());
                std::_Exit(2);
            }
        }
        m_stoerung = Stoerung::keine;
    }

    void Nach_dem_Lauf(const Laufergebnis& e) {
        if (m_stoerung != Stoerung::keine) {
            if (definierter_Code(e.Fehlercode)) {
                ++m_z.definiert;
            } else {
                std::fprintf(stderr, "soak: %s ended the run with %s (code %d)\n", Name(m_stoerung),
                             e.Fehlercode == 0 ? "no error" : "an unknown code", e.Fehlercode);
            }
            Stoerung_aufheben();
            Verbinden(false);
        } else if (e.Fehlercode != 0) {
            // A late answer may still be under way after a fault: it must be dropped or fail
            // the exchange it meets, never be taken as that exchange's own.
            ++m_z.folgefehler;
            if (!definierter_Code(e.Fehlercode))
                std::fprintf(stderr, "soak: a run ended with the unknown code %d\n", e.Fehlercode);
            Verbinden(false);
        }
    }

    // As the main window connects; the identification must be the controller's.
    bool Verbinden(bool erstes) {
        for (int versuch = 0; versuch < Verbindungsversuche; ++versuch) {
            if (m_wachhund) m_wachhund->Beginnen();
            const Verbindungsergebnis v = Steuerung_verbinden();
            if (m_wachhund) m_wachhund->Fertig();
            if (v.Verbunden) {
                if (erstes) m_kennung = Steuerung().Version;
                if (Steuerung().Version != m_kennung) {
                    ++m_z.falsch;
                    std::fprintf(stderr, "soak: identification \"%s\", expected \"%s\"\n",
                                 Steuerung().Version.c_str(), m_kennung.c_str());
                }
                return true;
            }
            ++m_z.verbindungsfehler;
            if (!definierter_Code(v.Code))
                std::fprintf(stderr, "soak: connecting failed without a known code (%d) %s\n",
                             v.Code, v.Ausnahme.c_str());
        }
        std::fprintf(stderr, "soak: no connection after %d attempts\n", Verbindungsversuche);
        return false;
    }

    void Aufgeben() {
        std::fprintf(stderr, "soak: a wait could not be ended, giving up\n");
        Schlusszeile(m_z, m_sim ? m_sim->Anfragenzahl() : 0, ordner.Unveraendert());
    }

public:
    Arbeitsordner ordner;

private:
    const Optionen& m_o;
    Zaehler& m_z;
    Zufall& m_r;
    std::unique_ptr<SerielleSteuerung> m_sim;
    Wachhund* m_wachhund = nullptr;
    Stoerung m_geplant = Stoerung::keine;
    Stoerung m_stoerung = Stoerung::keine;
    std::string m_kennung;
};

// ---- storing: the program-storing KXCU ------------------------------------------------------

// These modules raise nothing for a silent or garbled controller: a read ends after a second
// without a byte and a query then gives 0. That is the defined outcome checked here, on the
// position query each fault is aimed at; the run is then stopped as the operator would and the
// link made again.
class Speichernder_Lauf : public Vektorausgabe_Beobachter {
public:
    Speichernder_Lauf(const Optionen& o, Zaehler& z, Zufall& zufall)
        : m_o(o), m_z(z), m_r(zufall) {}

    Ergebnis Ausfuehren() {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        p.Modul = 3;
        p.ComPort = Portnummer;
        p.Baudrate = 19200;
        p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
        p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 100;
        Positionstabelle tabelle;
        if (!ordner.Dateien_anlegen(p, tabelle)) return {0, false};

        SpeicherndeSteuerung::Optionen so;
        so.Modul = 3;
        so.Zeitskala = 0;
        m_sim = std::make_unique<SpeicherndeSteuerung>(so);
        if (!COM_registrieren(Portnummer, m_sim->Geraetepfad())) return {0, false};
        Standardtreiber_einrichten();
        if (!Verbinden(true)) return {m_sim->Anfragenzahl(), false};

        Wachhund wachhund(
            m_z, [] { Achsen_anhalten(); },
            [this] {
                std::fprintf(stderr, "soak: a wait could not be ended, giving up\n");
                Schlusszeile(m_z, m_sim->Anfragenzahl(), ordner.Unveraendert());
            });
        m_wachhund = &wachhund;
        const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(m_o.sekunden);
        while (m_sim->Anfragenzahl() < m_o.austausche && std::chrono::steady_clock::now() < ende) {
            Vektorausgabe lauf(tabelle, *this);
            m_lauf = &lauf;
            m_neu_verbinden = false;
            wachhund.Beginnen();
            lauf.StartBitBtn_Thread();
            wachhund.Fertig();
            m_lauf = nullptr;
            const Laufergebnis e = lauf.Ergebnis();
            if (e.Fehlercode != 0 && e.Fehlercode != THROW_ABORT) {
                ++m_z.folgefehler;
                std::fprintf(stderr, "soak: a run ended with code %d\n", e.Fehlercode);
                m_neu_verbinden = true;
            }
            if (m_neu_verbinden) Verbinden(false);
        }
        m_wachhund = nullptr;
        Steuerung_schliessen();
        Steuerungsmodule_freigeben();
        const uint64_t n = m_sim->Anfragenzahl();
        m_sim.reset();
        COM_abmelden(Portnummer);
        return {n, true};
    }

    void AktuelleZeile(int zeile) override {
        if (zeile < 1 || m_neu_verbinden) return;
        const char achse = "xyz"[m_r.Zahl(0, 2)];
        Stoerung stoerung = Stoerung::keine;
        if (m_r.Wurf(Stoerungsrate_Zeile)) {
            stoerung = m_r.Art();
            Scharf_schalten(stoerung, achse);
        }
        const int32_t position = Achsenposition_abfragen_in_Schritten(achse);
        const int32_t modell = m_sim->Position(achse);
        const auto* modul = dynamic_cast<const Speichermodulbasis*>(Aktuelles_Speichermodul());
        const std::string antwort = modul ? modul->Letzte_Antwort() : std::string();
        const bool ganz =
            antwort == std::string("@L") + achse + " " + std::to_string(modell) + "\r";
        if (stoerung == Stoerung::keine) {
            // In the wake of a late answer the unit's answers still come behind it; a query
            // that got none in time gives the no-answer 0 of these modules, which is no answer
            // handed over.
            if (position == 0 && !ganz && modell != 0) {
                ++m_z.folgefehler;
            } else if (position != modell) {
                ++m_z.falsch;
                std::fprintf(stderr, "soak: position of %c answered %d, the controller is at %d\n",
                             achse, position, modell);
            }
            return;
        }
        if (position == 0 && !ganz) {
            ++m_z.definiert;
        } else if (position == modell && ganz) {
            std::fprintf(stderr, "soak: %s had no effect on the position query\n", Name(stoerung));
        } else {
            ++m_z.falsch;
            std::fprintf(stderr,
                         "soak: after %s the position of %c was given as %d (answer %zu "
                         "bytes), the controller is at %d\n",
                         Name(stoerung), achse, position, antwort.size(), modell);
        }
        Stoerung_aufheben(stoerung);
        m_neu_verbinden = true;
        if (m_lauf) m_lauf->Abbrechen();
    }

private:
    void Scharf_schalten(Stoerung stoerung, char achse) {
        ++m_z.stoerungen;
        switch (stoerung) {
        case Stoerung::Stille:
            m_sim->Stumm_schalten(true);
            break;
        case Stoerung::Muell:
            m_sim->Muell_senden(true, m_r.Muell(false));
            break;
        case Stoerung::Abgeschnitten: {
            // "@Lx ", the position, CR.
            const std::size_t laenge = 4 + std::to_string(m_sim->Position(achse)).size() + 1;
            m_sim->Naechste_Antwort_abschneiden(
                static_cast<std::size_t>(m_r.Zahl(1, static_cast<int>(laenge) - 1)));
            break;
        }
        case Stoerung::Verspaetet:
            m_sim->Antwortverzoegerung_setzen(m_r.Zahl(1100, 1500));
            break;
        case Stoerung::Ausgesteckt:
            m_sim->Ausstecken();
            break;
        case Stoerung::keine:
            break;
        }
    }

    void Stoerung_aufheben(Stoerung stoerung) {
        m_sim->Stumm_schalten(false);
        m_sim->Muell_senden(false);
        m_sim->Naechste_Antwort_abschneiden(std::string::npos);
        m_sim->Antwortverzoegerung_setzen(0);
        if (stoerung == Stoerung::Ausgesteckt &&
            (!m_sim->Einstecken() || !COM_registrieren(Portnummer, m_sim->Geraetepfad()))) {
            std::fprintf(stderr, "soak: the simulator could not be plugged in again\n");
            Schlusszeile(m_z, m_sim->Anfragenzahl(), ordner.Unveraendert());
            std::_Exit(2);
        }
    }

    bool Verbinden(bool erstes) {
        for (int versuch = 0; versuch < Verbindungsversuche; ++versuch) {
            if (m_wachhund) m_wachhund->Beginnen();
            const Verbindungsergebnis v = Steuerung_verbinden();
            if (m_wachhund) m_wachhund->Fertig();
            if (v.Verbunden) {
                if (erstes) m_kennung = Steuerung().Version;
                if (Steuerung().Version != m_kennung) {
                    ++m_z.falsch;
                    std::fprintf(stderr, "soak: identification \"%s\", expected \"%s\"\n",
                                 Steuerung().Version.c_str(), m_kennung.c_str());
                }
                return true;
            }
            // A late answer still under way can take the identification's place: refused.
            ++m_z.verbindungsfehler;
        }
        std::fprintf(stderr, "soak: no connection after %d attempts\n", Verbindungsversuche);
        return false;
    }

public:
    Arbeitsordner ordner;

private:
    const Optionen& m_o;
    Zaehler& m_z;
    Zufall& m_r;
    std::unique_ptr<SpeicherndeSteuerung> m_sim;
    Wachhund* m_wachhund = nullptr;
    Vektorausgabe* m_lauf = nullptr;
    bool m_neu_verbinden = false;
    std::string m_kennung;
};

// ---- display: the position display of the angle-positioning mode ----------------------------

// The table's x column, in steps, turns the rotary table; after each row the display is read
// and its angle compared with what the display model shows for that position.
class Anzeige_Lauf {
public:
    Anzeige_Lauf(const Optionen& o, Zaehler& z, Zufall& zufall)
        : m_o(o), m_z(z), m_r(zufall), m_anzeige(m_transkript) {}

    Ergebnis Ausfuehren() {
        Maschinenparameter p;
        Parameter_Standardwerte(p);
        Positionstabelle tabelle;
        if (!ordner.Dateien_anlegen(p, tabelle)) return {0, false};

        // Without backlash the angle depends on the position alone, so it can be checked.
        m_modelloptionen.Umkehrspiel = 0;
        Positionsanzeige::Optionen ao;
        ao.Modell = m_modelloptionen;
        ao.Schritte = [this] { return m_schritte.load(); };
        m_sim = std::make_unique<Positionsanzeige>(ao);
        if (!COM_registrieren(Anzeigeport, m_sim->Geraetepfad())) return {0, false};
        if (!Verbinden()) return {m_sim->Anfragen(), false};

        Wachhund wachhund(
            m_z, [this] { m_abbruch = true; },
            [this] {
                std::fprintf(stderr, "soak: a wait could not be ended, giving up\n");
                Schlusszeile(m_z, m_sim->Anfragen(), ordner.Unveraendert());
            });
        m_anzeige.Abbruchflag_setzen(&m_abbruch);
        const auto ende = std::chrono::steady_clock::now() + std::chrono::seconds(m_o.sekunden);
        while (m_sim->Anfragen() < m_o.austausche && std::chrono::steady_clock::now() < ende) {
            for (int r = 1; r <= tabelle.Zeilenzahl(); ++r) {
                m_schritte += static_cast<int32_t>(Zellwert(tabelle.Zelle(r, 6)));
                wachhund.Beginnen();
                Lesen();
                wachhund.Fertig();
            }
            m_transkript.Leeren();
        }
        m_anzeige.Abbruchflag_setzen(nullptr);
        m_anzeige.ND261_schliessen();
        const uint64_t n = m_sim->Anfragen();
        m_sim.reset();
        COM_abmelden(Anzeigeport);
        return {n, true};
    }

private:
    void Lesen() {
        Stoerung stoerung = Stoerung::keine;
        if (m_r.Wurf(Stoerungsrate_Ablesung)) {
            stoerung = m_r.Art();
            // Faults do not overlap. The reader's limit is one of silence: an earlier late
            // answer, dropped while this request waits, restarts it, and a delay shorter than
            // that one's would then pass for no fault at all.
            m_sim->Verspaetete_abwarten(5000);
            Scharf_schalten(stoerung);
        }
        int32_t code = 0;
        double winkel = 0;
        try {
            winkel = m_anzeige.Istwinkel_lesen();
        } catch (const Steuerungsfehler& f) {
            code = f.code();
        }
        m_abbruch = false;
        Anzeigemodell modell(m_modelloptionen);
        const std::optional<double> erwartet =
            ND261_Antwort_lesen(Anzeigemodell::Antwort(modell.Winkel(m_schritte)) + "\n");
        if (stoerung != Stoerung::keine) {
            if (code == ND261_MESSWERT_ERROR)
                ++m_z.definiert;
            else if (code == 0 && erwartet && winkel == *erwartet)
                std::fprintf(stderr, "soak: %s had no effect on the reading\n", Name(stoerung));
            else
                Falsch(winkel, erwartet);
            Stoerung_aufheben(stoerung);
            Verbinden();
            return;
        }
        if (code != 0) {
            ++m_z.folgefehler;
            Verbinden();
        } else if (!erwartet || winkel != *erwartet) {
            Falsch(winkel, erwartet);
        }
    }

    void Falsch(double winkel, const std::optional<double>& erwartet) {
        ++m_z.falsch;
        std::fprintf(stderr, "soak: angle %.3f read, the display shows %.3f\n", winkel,
                     erwartet.value_or(-1));
    }

    void Scharf_schalten(Stoerung stoerung) {
        ++m_z.stoerungen;
        switch (stoerung) {
        case Stoerung::Stille:
            m_sim->Stumm_schalten(true);
            break;
        case Stoerung::Muell:
            m_sim->Muell_senden(true, m_r.Muell(true));
            break;
        case Stoerung::Abgeschnitten:
            // Sign, ten characters, CR LF.
            m_sim->Naechste_Antwort_abschneiden(static_cast<std::size_t>(m_r.Zahl(1, 12)));
            break;
        case Stoerung::Verspaetet:
            m_sim->Antwortverzoegerung_setzen(m_r.Zahl(1100, 1500));
            break;
        case Stoerung::Ausgesteckt:
            m_sim->Ausstecken();
            break;
        case Stoerung::keine:
            break;
        }
    }

    void Stoerung_aufheben(Stoerung stoerung) {
        m_sim->Stumm_schalten(false);
        m_sim->Muell_senden(false);
        m_sim->Naechste_Antwort_abschneiden(std::string::npos);
        m_sim->Antwortverzoegerung_setzen(0);
        if (stoerung == Stoerung::Ausgesteckt &&
            (!m_sim->Einstecken() || !COM_registrieren(Anzeigeport, m_sim->Geraetepfad()))) {
            std::fprintf(stderr, "soak: the display could not be plugged in again\n");
            Schlusszeile(m_z, m_sim->Anfragen(), ordner.Unveraendert());
            std::_Exit(2);
        }
    }

    // As the main window opens the display in the angle-positioning mode.
    bool Verbinden() {
        for (int versuch = 0; versuch < Verbindungsversuche; ++versuch) {
            if (m_anzeige.ND261_oeffnen("COM" + std::to_string(Anzeigeport), "4800")) return true;
            ++m_z.verbindungsfehler;
        }
        std::fprintf(stderr, "soak: the display cannot be opened\n");
        return false;
    }

public:
    Arbeitsordner ordner;

private:
    const Optionen& m_o;
    Zaehler& m_z;
    Zufall& m_r;
    Anzeigemodell::Optionen m_modelloptionen;
    std::unique_ptr<Positionsanzeige> m_sim;
    std::atomic<int32_t> m_schritte{0};
    std::atomic<bool> m_abbruch{false};
    Winkeltranskript m_transkript;
    TWT_ND261DM m_anzeige;
};

} // namespace

int main(int argc, char** argv) {
    const Optionen o = Optionen_lesen(argc, argv);
    Stille_Oberflaeche ui;
    Oberflaeche_setzen(&ui);
    Zaehler z;
    Zufall zufall(o.saat);
    const auto beginn = std::chrono::steady_clock::now();
    Ergebnis e;
    bool unveraendert = false;
    try {
        if (o.ziel == "serial") {
            Serieller_Lauf lauf(o, z, zufall);
            e = lauf.Ausfuehren();
            unveraendert = lauf.ordner.Unveraendert();
        } else if (o.ziel == "storing") {
            Speichernder_Lauf lauf(o, z, zufall);
            e = lauf.Ausfuehren();
            unveraendert = lauf.ordner.Unveraendert();
        } else {
            Anzeige_Lauf lauf(o, z, zufall);
            e = lauf.Ausfuehren();
            unveraendert = lauf.ordner.Unveraendert();
        }
    } catch (const std::exception& ausnahme) {
        std::fprintf(stderr, "soak: %s\n", ausnahme.what());
        e.aufgesetzt = false;
    }
    Oberflaeche_setzen(nullptr);
    const double sekunden =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - beginn).count();
    std::printf("soak: target=%s seed=%llu time=%.1fs follow-on errors=%llu failed connects=%llu "
                "boxes=%llu undefined=%llu\n",
                o.ziel.c_str(), static_cast<unsigned long long>(o.saat), sekunden,
                static_cast<unsigned long long>(z.folgefehler),
                static_cast<unsigned long long>(z.verbindungsfehler),
                static_cast<unsigned long long>(ui.meldungen.load()),
                static_cast<unsigned long long>(z.stoerungen - z.definiert));
    Schlusszeile(z, e.austausche, unveraendert);
    if (!e.aufgesetzt) return 2;
    return z.falsch > 0 || z.haenger > 0 || !unveraendert ? 1 : 0;
}
