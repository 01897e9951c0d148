#include "programmspeicher.h"

#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "drivers/koracom.h"
#include "drivers/seriellerbefehlssatz.h"
#include "platform/oberflaeche.h"
#include "vektorausgabe.h"

#include <exception>

namespace orvexa {

namespace {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ACK = 0x06;
constexpr const char* Leer_antwort = "E3\x07";
constexpr const char* Auslassung = "...";

bool Endet_mit_ACK(const std::string& antwort) {
    return !antwort.empty() && antwort.back() == ACK;
}

// The requests echo their first four characters ("*PR1", "*PEa").
bool Mit_Echo(const std::string& antwort, const std::string& anfrage) {
    return antwort.starts_with(anfrage.substr(0, 4));
}

[[noreturn]] void Kommunikationsfehler(const std::string& operation, const std::string& antwort) {
    Protokoll_Zeile(operation + " :: unerwartete Antwort '" + antwort + "'");
    throw Steuerungsfehler(COMMUNICATION_ERROR);
}

// Store mode stays on only while the table is being recorded, whichever way the write ends.
class Speichermodus {
public:
    explicit Speichermodus(SeriellerBefehlssatz& linie) : m_linie(linie) {
        m_linie.SetStoreMode(true);
    }
    ~Speichermodus() { m_linie.SetStoreMode(false); }
    Speichermodus(const Speichermodus&) = delete;
    Speichermodus& operator=(const Speichermodus&) = delete;

private:
    SeriellerBefehlssatz& m_linie;
};

// The table pass writes its E1 links as settings while the flag is up.
class Festwertspeicher_flagge {
public:
    explicit Festwertspeicher_flagge(Vektorausgabe& lauf) : m_lauf(lauf) {
        m_lauf.InFestwertspeicher = true;
    }
    ~Festwertspeicher_flagge() { m_lauf.InFestwertspeicher = false; }
    Festwertspeicher_flagge(const Festwertspeicher_flagge&) = delete;
    Festwertspeicher_flagge& operator=(const Festwertspeicher_flagge&) = delete;

private:
    Vektorausgabe& m_lauf;
};

} // namespace

void Programmspeicher_Beobachter::Nachrichten_verarbeiten() {
    oberflaeche().Nachrichten_verarbeiten();
}

Programmspeicher::Programmspeicher(Programmspeicher_Beobachter& beobachter)
    : m_beobachter(beobachter) {}

void Programmspeicher::Bestaetigung_setzen(std::function<bool(const std::string&)> bestaetigen) {
    m_bestaetigen = std::move(bestaetigen);
}

std::string Programmspeicher::Meldung() const {
    std::lock_guard lock(m_mutex);
    return m_meldung;
}

std::string Programmspeicher::Kopfzeile(const std::string& beschreibung) {
    std::string kopf = Utf8_zu_Cp1252(beschreibung);
    if (kopf.empty() || kopf.back() != STX) kopf += STX;
    if (kopf.size() > TkoraCOM::Anfrage_max) {
        const std::size_t rest = TkoraCOM::Anfrage_max - std::string_view(Auslassung).size();
        kopf = Auslassung + kopf.substr(kopf.size() - rest);
    }
    return kopf;
}

bool Programmspeicher::Platz_leer(int n, const std::string& antwort) {
    return antwort.starts_with(Formatieren("*FR%d -,-", n));
}

SeriellerBefehlssatz& Programmspeicher::Linie() {
    SeriellerBefehlssatz* linie = koraCOM();
    if (!linie) {
        Protokoll_Zeile("Programmspeicher :: keine serielle Linie");
        throw Steuerungsfehler(HANDLE_COM_PORT_ERROR);
    }
    return *linie;
}

// ---- Transcript ---------------------------------------------------------------------------------

void Programmspeicher::Leeren() {
    // A cleared transcript writes black again.
    m_farbe = Protokollfarbe::schwarz;
    m_beobachter.Protokoll_leeren();
}

void Programmspeicher::Zeile(const std::string& text) {
    m_beobachter.Protokoll_anfuegen(text, m_farbe);
    m_beobachter.Nachrichten_verarbeiten();
}

void Programmspeicher::Status(const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_meldung = text;
    }
    Zeile(text);
}

void Programmspeicher::Anfrage_zeigen(const std::string& anfrage) {
    m_farbe = Protokollfarbe::schwarz;
    Zeile(Steuerzeichen_ersetzen(Cp1252_zu_Utf8(anfrage)));
}

void Programmspeicher::Antwort_zeigen(const std::string& antwort) {
    m_farbe = Protokollfarbe::blau;
    Zeile(Steuerzeichen_ersetzen(Cp1252_zu_Utf8(antwort)));
}

std::string Programmspeicher::Senden(const std::string& anfrage, int32_t frist_ms, bool zeigen) {
    if (zeigen) Anfrage_zeigen(anfrage);
    const std::string antwort = Linie().SendWait(anfrage, frist_ms);
    if (zeigen) Antwort_zeigen(antwort);
    return antwort;
}

std::string Programmspeicher::Warten(int32_t frist_ms, bool zeigen) {
    const std::string antwort = Linie().WaitResp(frist_ms);
    if (zeigen) Antwort_zeigen(antwort);
    return antwort;
}

bool Programmspeicher::Bestaetigt(const std::string& frage) {
    if (m_bestaetigen) return m_bestaetigen(frage);
    return oberflaeche().Meldung(frage, Meldungstitel, Symbol::frage, Knoepfe::ja_nein) ==
           Antwort::ja;
}

void Programmspeicher::Fehler(int32_t code, const std::string& zeile) {
    m_fehlercode = code;
    // -1 has been shown where it arose.
    if (code != Fehler_bereits_gemeldet) Steuerungsfehler_melden(code, Meldungstitel);
    Zeile(zeile);
}

// ---- Exchanges ----------------------------------------------------------------------------------

std::array<bool, Programmspeicher::Plaetze> Programmspeicher::Plaetze_lesen() {
    std::array<bool, Plaetze> belegt{};
    for (int n = 1; n <= Plaetze; ++n) {
        const std::string antwort = Senden(Formatieren("*FR%d\r", n), Verzeichnisfrist_ms, false);
        belegt[static_cast<std::size_t>(n - 1)] = !Platz_leer(n, antwort);
    }
    m_beobachter.Plaetze_anzeigen(belegt);
    return belegt;
}

void Programmspeicher::Platz_loeschen(int n, bool zeigen) {
    const std::string anfrage = Formatieren("*PE%d\r", n);
    const std::string echo = Senden(anfrage, Loeschfrist_ms, zeigen);
    if (!Mit_Echo(echo, anfrage)) Kommunikationsfehler("Programm_loeschen", echo);
    const std::string ende = Warten(Loeschendefrist_ms, zeigen);
    // An empty place is erased already.
    if (!ende.starts_with(ACK) && !ende.starts_with(Leer_antwort))
        Kommunikationsfehler("Programm_loeschen", ende);
}

Speicherergebnis Programmspeicher::Platz_waehlen(int n) {
    m_fehlercode = 0;
    try {
        Plaetze_lesen();
    } catch (const Steuerungsfehler& fehler) {
        m_fehlercode = fehler.code();
        if (fehler.code() != Fehler_bereits_gemeldet)
            Steuerungsfehler_melden(fehler.code(), Meldungstitel);
        return Speicherergebnis::fehler;
    }
    return Programm_auslesen(n);
}

Speicherergebnis Programmspeicher::Programm_auslesen(int n) {
    m_fehlercode = 0;
    Leeren();
    Status(Formatieren("### Programm %d lesen ###", n));
    try {
        const std::string anfrage = Formatieren("*PR%d\r", n);
        std::string antwort = Senden(anfrage, Lesefrist_ms);
        if (Mit_Echo(antwort, anfrage)) {
            while (!Endet_mit_ACK(antwort))
                antwort = Warten(Folgefrist_ms);
        } else if (antwort.starts_with(Leer_antwort)) {
            Zeile("### Der Programmspeicher ist leer ! ###");
        } else {
            Kommunikationsfehler("Programm_auslesen", antwort);
        }
        Status(Formatieren("### Programm %d lesen - Ende ###", n));
    } catch (const Steuerungsfehler& fehler) {
        Fehler(fehler.code(), Formatieren("### Programm %d lesen - Fehler ###", n));
        return Speicherergebnis::fehler;
    }
    return Speicherergebnis::erledigt;
}

Speicherergebnis Programmspeicher::Programm_loeschen(int n) {
    m_fehlercode = 0;
    Leeren();
    Status(Formatieren("### Programm %d löschen ###", n));
    if (!Bestaetigt("Möchten Sie den Programmspeicherplatz wirklich löschen?\n")) {
        Status(Formatieren("### Programm %d löschen - Abbruch ###", n));
        return Speicherergebnis::abgelehnt;
    }
    try {
        Platz_loeschen(n, true);
        Plaetze_lesen();
        Status(Formatieren("### Programm %d löschen - Ende ###", n));
    } catch (const Steuerungsfehler& fehler) {
        Fehler(fehler.code(), Formatieren("### Programm %d löschen - Fehler ###", n));
        return Speicherergebnis::fehler;
    }
    return Speicherergebnis::erledigt;
}

Speicherergebnis Programmspeicher::Alle_Programme_loeschen() {
    m_fehlercode = 0;
    if (!Bestaetigt("Möchten Sie wirklich den gesamten Festwertspeicher löschen?\n"))
        return Speicherergebnis::abgelehnt;
    try {
        Leeren();
        Status("### alle Programme löschen ###");
        const std::string anfrage = "*PEa\r";
        const std::string echo = Senden(anfrage, Loeschfrist_ms);
        if (!Mit_Echo(echo, anfrage)) Kommunikationsfehler("alle_Programme_loeschen", echo);
        const std::string ende = Warten(Gesamtloeschfrist_ms);
        if (!ende.starts_with(ACK)) Kommunikationsfehler("alle_Programme_loeschen", ende);
        Plaetze_lesen();
        Status("### alle Programme löschen - Ende ###");
    } catch (const Steuerungsfehler& fehler) {
        Fehler(fehler.code(), "### alle Programme löschen - Fehler ###");
        return Speicherergebnis::fehler;
    }
    return Speicherergebnis::erledigt;
}

void Programmspeicher::Aufzeichnung_verwerfen() {
    // Left recording, the controller would store the next moves instead of running them. A
    // memory request ends the recording and drops the unfinished program; the directory shows
    // what the memory holds now. Over a link that is gone there is nobody to tell.
    const int32_t code = m_fehlercode.load();
    if (code == HANDLE_COM_PORT_ERROR || code == WAIT_ABANDONED) return;
    try {
        Plaetze_lesen();
    } catch (const Steuerungsfehler& fehler) {
        Protokoll_Zeile("Programm_schreiben :: Verzeichnis nicht lesbar, Fehler " +
                        std::to_string(fehler.code()));
    }
}

Speicherergebnis Programmspeicher::Programm_schreiben(int n, Vektorausgabe& lauf,
                                                      const Schreibauftrag& auftrag) {
    m_fehlercode = 0;
    lauf.VekAbbruch = false;
    if (auftrag.Durchlaeufe <= 0) {
        oberflaeche().Piepton(440, 1);
        return Speicherergebnis::abgelehnt;
    }
    Leeren();
    Status(Formatieren("### Programm %d schreiben! ###", n));
    // A stop left over from before would end the first recorded move.
    Steuerung().Abbruch = false;

    Vektoreingaben eingaben = lauf.Eingaben();
    eingaben.ModusKora = auftrag.ModusKora;
    eingaben.ModusTorval = auftrag.ModusTorval;
    eingaben.ModusWT = false;
    lauf.Eingaben_setzen(eingaben);

    Speicherergebnis ergebnis = Speicherergebnis::erledigt;
    std::string schluss = Formatieren("### Programm %d schreiben - Ende ###", n);
    bool aufzeichnung = false;
    try {
        U_Achse_einstellen();
        Zeile("...Programm löschen...");
        Platz_loeschen(n, false);
        aufzeichnung = true;
        Senden(Formatieren("*PW%d\r", n), Schreibfrist_ms);
        Senden(Kopfzeile(auftrag.Kopf), Kopffrist_ms);

        Zeile(Formatieren("...Durchlaufparameter: %i ...", auftrag.Durchlaeufe));
        Programmdurchlaeufe_hinterlegen(auftrag.Durchlaeufe);
        Zeile("...Defaulteinstellungen übertragen...");
        InitializeSteuerung(auftrag.ModusKora);
        {
            Speichermodus speichern(Linie());
            Zeile("...Referenzfahrt...");
            lauf.Vek_Referenzfahrt(auftrag.xReferenz, auftrag.yReferenz, auftrag.zReferenz,
                                   auftrag.uReferenz);
            Zeile("...Tabelle übertragen...");
            {
                Festwertspeicher_flagge flagge(lauf);
                lauf.Vek_TabellenAusgabe(auftrag.zInterpolieren);
            }
            Senden(std::string(1, ETX), Programmendefrist_ms);
        }
        aufzeichnung = false;
        Plaetze_lesen();
    } catch (const Steuerungsfehler& fehler) {
        m_fehlercode = fehler.code();
        if (fehler.code() != Fehler_bereits_gemeldet)
            Steuerungsfehler_melden(fehler.code(), Meldungstitel);
        ergebnis = Speicherergebnis::fehler;
        schluss = Formatieren("### Programm %d schreiben - Fehler ###", n);
    } catch (const std::exception& fehler) {
        // Not a controller code (a table cell the number reader refused): shown here so that
        // the dialog still returns to rest.
        m_fehlercode = Fehler_bereits_gemeldet;
        Protokoll_Zeile(std::string("Programm_schreiben :: ") + fehler.what());
        oberflaeche().Meldung(fehler.what(), Meldungstitel, Symbol::warnung, Knoepfe::ok);
        ergebnis = Speicherergebnis::fehler;
        schluss = Formatieren("### Programm %d schreiben - Fehler ###", n);
    }
    if (aufzeichnung) Aufzeichnung_verwerfen();
    // Whatever stop came during the write is spent.
    Steuerung().Abbruch = false;
    Status(schluss);
    return ergebnis;
}

} // namespace orvexa
