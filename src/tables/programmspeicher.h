#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace orvexa {

class SeriellerBefehlssatz;
class Vektorausgabe;

enum class Protokollfarbe { schwarz, blau };

// What the program memory exchanges show. Called on the thread the exchange runs on; a window
// implementation queues the updates to the window thread. Every method does nothing by
// default.
class Programmspeicher_Beobachter {
public:
    virtual ~Programmspeicher_Beobachter() = default;

    // The transcript starts again.
    virtual void Protokoll_leeren() {}
    // One request, answer or status line, control characters already named.
    virtual void Protokoll_anfuegen(const std::string& /*zeile*/, Protokollfarbe /*farbe*/) {}
    // Which of the seven places hold a program (index 0 is place 1).
    virtual void Plaetze_anzeigen(const std::array<bool, 7>& /*belegt*/) {}
    // Between the steps of a transfer. By default the Oberflaeche pumps the window's queue,
    // which does something only on the window thread.
    virtual void Nachrichten_verarbeiten();
};

// What a write takes from the dialog, captured before the command is given.
struct Schreibauftrag {
    int32_t Durchlaeufe = 1; // 0 or less is refused with a beep
    bool xReferenz = false, yReferenz = false, zReferenz = false, uReferenz = false;
    bool zInterpolieren = false;
    bool ModusKora = false;   // full controller initialisation
    bool ModusTorval = false; // outputs of type 5 through I2C
    std::string Kopf;         // the table's Dateibeschreibung, UTF-8, ending in STX
};

// How an action ended.
enum class Speicherergebnis {
    erledigt,
    abgelehnt, // the operator said No, or the number of passes was refused
    fehler,    // a controller error code; reported already
};

// The program memory of the serial controllers KXvario-KXCU and USB-iKXIF (types 5 and 6):
// seven program places that are listed, read back as text, erased one by one or all at
// once, and written from a position table. Every exchange is a raw request on the serial link
// of the command layer; requests and answers go to the transcript with their control
// characters named, requests black, answers blue, status lines in the colour of the line
// before. The actions report their error codes themselves (Steuerungsfehler_melden) and end
// with the status lines of the dialog; only Plaetze_lesen throws.
class Programmspeicher {
public:
    static constexpr int Plaetze = 7;
    static constexpr const char* Meldungstitel = "orvexa2011";
    static constexpr int32_t Verzeichnisfrist_ms = 512;
    static constexpr int32_t Lesefrist_ms = 4096;
    static constexpr int32_t Folgefrist_ms = 512;
    static constexpr int32_t Loeschfrist_ms = 512;
    static constexpr int32_t Loeschendefrist_ms = 3000;
    static constexpr int32_t Gesamtloeschfrist_ms = 21000;
    static constexpr int32_t Schreibfrist_ms = 512;
    static constexpr int32_t Kopffrist_ms = 1024;
    static constexpr int32_t Programmendefrist_ms = 3000;

    // beobachter is not owned and must outlive this object.
    explicit Programmspeicher(Programmspeicher_Beobachter& beobachter);
    Programmspeicher(const Programmspeicher&) = delete;
    Programmspeicher& operator=(const Programmspeicher&) = delete;

    // Asks the operator before an erase; by default a Yes/No box through the Oberflaeche.
    void Bestaetigung_setzen(std::function<bool(const std::string& frage)> bestaetigen);

    // "*FR" for every place; shown through Plaetze_anzeigen. Throws Steuerungsfehler.
    std::array<bool, Plaetze> Plaetze_lesen();
    // A program button: the places are read again, then program n.
    Speicherergebnis Platz_waehlen(int n);
    // "Programm auslesen".
    Speicherergebnis Programm_auslesen(int n);
    // "Programm löschen", after the operator's Yes.
    Speicherergebnis Programm_loeschen(int n);
    // "alle Programme löschen", after the operator's Yes; No sends nothing and shows nothing.
    Speicherergebnis Alle_Programme_loeschen();
    // "Programm schreiben": one pass of lauf's table recorded into place n.
    Speicherergebnis Programm_schreiben(int n, Vektorausgabe& lauf, const Schreibauftrag& auftrag);

    // The last status line, and the code that ended the last action (0 none).
    std::string Meldung() const;
    int32_t Fehlercode() const { return m_fehlercode.load(); }

    // The header as it goes on the line: Windows-1252, at most the link's request length with
    // its STX; a longer one keeps its end, which names the file and its time.
    static std::string Kopfzeile(const std::string& beschreibung);
    // "*FR<n> -,-" compared over its length.
    static bool Platz_leer(int n, const std::string& antwort);

private:
    SeriellerBefehlssatz& Linie();
    void Leeren();
    void Zeile(const std::string& text);
    void Status(const std::string& text);
    void Anfrage_zeigen(const std::string& anfrage);
    void Antwort_zeigen(const std::string& antwort);
    std::string Senden(const std::string& anfrage, int32_t frist_ms, bool zeigen = true);
    std::string Warten(int32_t frist_ms, bool zeigen = true);
    void Platz_loeschen(int n, bool zeigen);
    void Aufzeichnung_verwerfen();
    bool Bestaetigt(const std::string& frage);
    void Fehler(int32_t code, const std::string& zeile);

    Programmspeicher_Beobachter& m_beobachter;
    std::function<bool(const std::string&)> m_bestaetigen;
    Protokollfarbe m_farbe = Protokollfarbe::schwarz;
    mutable std::mutex m_mutex; // guards m_meldung
    std::string m_meldung;
    std::atomic<int32_t> m_fehlercode{0};
};

} // namespace orvexa
