// Arbitrary bytes as what the program memory of a KXvario-KXCU or USB-iKXIF sends back. The
// first byte chooses the action (directory, program button, read, erase one, erase all), the
// place and the operator's answer to the question; the rest is cut into answers where the
// receive machine cuts ordinary answers, and they are handed out in order to the requests and
// waits of the action. When none is left the wait ends with a time-out, as on the line.
// Besides crashes, overruns and endless reading this checks that an action that reports
// success really got its closing answer, that the shown places agree with the directory
// answers, that the status line says how the action ended, and that every transcript line is
// whole UTF-8 of at most one log line.
#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "drivers/seriellerbefehlssatz.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "tables/programmspeicher.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace orvexa;

constexpr char ACK = 0x06;

bool ist_Endebyte(char c) {
    return c == 0x02 || c == 0x03 || c == ACK || c == 0x07 || c == 0x0D || c == 0x15;
}

// The serial link as the program memory sees it: every request gets the next answer.
class Antwortlinie : public SeriellerBefehlssatz {
public:
    std::deque<std::string> antworten;
    std::vector<std::pair<std::string, std::string>> austausch; // request ("" for a wait), answer

    std::string SendWait(const std::string& anfrage, int32_t) override { return Naechste(anfrage); }
    std::string WaitResp(int32_t) override { return Naechste({}); }

    void Init(int32_t, int32_t) override {}
    void Connect() override {}
    void UnInit() override {}
    void SetTag(uint8_t) override {}
    uint8_t Tag() const override { return 2; }
    void SetStoreMode(bool) override {}
    void Warten_abbrechen() override {}
    std::string Version_abfragen() override { return {}; }
    int32_t Achsenposition_abfragen(char) override { return 0; }
    void Ansteuersignale_einstellen(int32_t) override {}
    void Schrittbetrieb_einstellen(int32_t, int32_t) override {}
    void Startgeschwindigkeit_einstellen(int32_t) override {}
    void Endgeschwindigkeit_einstellen(int32_t, int32_t) override {}
    void Rampenlaenge_einstellen(int32_t) override {}
    void Referenzgeschwindigkeit_einstellen(int32_t) override {}
    void Referenzoffset_einstellen(char, int32_t) override {}
    std::string Referenzfahrt_ausfuehren(const std::string&) override { return {}; }
    std::string Vektorfahrt_ausfuehren(bool, int32_t, int32_t, int32_t, int32_t) override {
        return {};
    }
    std::string UVektorfahrt_ausfuehren(bool, int32_t, int32_t) override { return {}; }
    std::string Wartezeit_einfuegen(int32_t) override { return {}; }
    void Achsen_anhalten() override {}
    void Achsen_sofort_stoppen() override {}
    void Ausgangssignal_setzen(int32_t, int32_t) override {}
    void I2C_Ausgangssignal_setzen(int32_t, int32_t) override {}
    void E1Verknuepfung_setzen(int32_t) override {}
    bool Eingang_abfragen_Potential(char) override { return false; }
    void Programmdurchlaeufe_hinterlegen(int32_t) override {}

private:
    std::string Naechste(const std::string& anfrage) {
        if (antworten.empty()) throw Steuerungsfehler(WAIT_TIMEOUT);
        std::string antwort = std::move(antworten.front());
        antworten.pop_front();
        austausch.emplace_back(anfrage, antwort);
        return antwort;
    }
};

class Beobachter : public Programmspeicher_Beobachter {
public:
    void Protokoll_leeren() override { zeilen.clear(); }
    void Protokoll_anfuegen(const std::string& zeile, Protokollfarbe) override {
        zeilen.push_back(zeile);
    }
    void Plaetze_anzeigen(const std::array<bool, 7>& b) override {
        belegt = b;
        ++anzeigen;
    }
    void Nachrichten_verarbeiten() override {}

    std::vector<std::string> zeilen;
    std::array<bool, 7> belegt{};
    int anzeigen = 0;
};

Antwortlinie* g_linie = nullptr;
AufzeichnendeOberflaeche g_ui; // no boxes, no beeps

void Einrichten() {
    Oberflaeche_setzen(&g_ui);
    // A folder that cannot hold the log: nothing is written.
    Programmverzeichnis_setzen("/dev/null/");
    Treiberfabrik fabrik;
    fabrik.SerielleLinie_erzeugen = [] {
        auto linie = std::make_unique<Antwortlinie>();
        g_linie = linie.get();
        return linie;
    };
    Treiberfabrik_setzen(std::move(fabrik));
    Serielle_Linie_erzeugen();
}

bool endet_mit(const std::string& text, std::string_view ende) {
    return std::string_view(text).ends_with(ende);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    static const bool eingerichtet = (Einrichten(), true);
    (void)eingerichtet;
    if (groesse == 0 || g_linie == nullptr) return 0;
    g_ui.Leeren();
    Antwortlinie& linie = *g_linie;
    linie.antworten.clear();
    linie.austausch.clear();

    const int aktion = daten[0] % 5;
    const int n = 1 + (daten[0] / 5) % 7;
    const bool ja = (daten[0] & 0x80) != 0;
    std::string stueck;
    for (std::size_t i = 1; i < groesse; ++i) {
        const char c = static_cast<char>(daten[i]);
        if (stueck.size() < 259) stueck += c;
        if (ist_Endebyte(c)) linie.antworten.push_back(std::exchange(stueck, {}));
    }
    const std::size_t vorhanden = linie.antworten.size();

    Beobachter beobachter;
    Programmspeicher speicher(beobachter);
    speicher.Bestaetigung_setzen([ja](const std::string&) { return ja; });

    Speicherergebnis ergebnis = Speicherergebnis::erledigt;
    bool geworfen = false;
    switch (aktion) {
    case 0:
        try {
            speicher.Plaetze_lesen();
        } catch (const Steuerungsfehler&) {
            geworfen = true;
        }
        break;
    case 1:
        ergebnis = speicher.Platz_waehlen(n);
        break;
    case 2:
        ergebnis = speicher.Programm_auslesen(n);
        break;
    case 3:
        ergebnis = speicher.Programm_loeschen(n);
        break;
    default:
        ergebnis = speicher.Alle_Programme_loeschen();
        break;
    }

    const auto& austausch = linie.austausch;
    if (austausch.size() > vorhanden) __builtin_trap();

    // Every directory shown agrees with the last seven directory answers.
    if (beobachter.anzeigen > 0) {
        std::size_t gefunden = 0;
        for (std::size_t i = austausch.size(); i > 0 && gefunden < 7; --i) {
            const auto& [anfrage, antwort] = austausch[i - 1];
            if (!anfrage.starts_with("*FR")) continue;
            const int platz = anfrage[3] - '0';
            if (platz != 7 - static_cast<int>(gefunden)) __builtin_trap();
            if (beobachter.belegt[static_cast<std::size_t>(platz - 1)] ==
                Programmspeicher::Platz_leer(platz, antwort))
                __builtin_trap();
            ++gefunden;
        }
        if (gefunden != 7) __builtin_trap();
    }

    for (const std::string& zeile : beobachter.zeilen)
        if (!Gueltiges_Utf8(zeile) || zeile.size() > Protokollzeile_max) __builtin_trap();

    if (aktion == 0) {
        if (geworfen == (beobachter.anzeigen == 1)) __builtin_trap();
        return 0;
    }
    if ((ergebnis == Speicherergebnis::erledigt && speicher.Fehlercode() != 0) ||
        (ergebnis == Speicherergebnis::fehler && speicher.Fehlercode() == 0))
        __builtin_trap();
    if (ergebnis == Speicherergebnis::fehler && !endet_mit(speicher.Meldung(), "Fehler ###") &&
        !beobachter.zeilen.empty() && !endet_mit(beobachter.zeilen.back(), "Fehler ###"))
        __builtin_trap();
    if (ergebnis != Speicherergebnis::erledigt) return 0;
    if (!endet_mit(speicher.Meldung(), "Ende ###")) __builtin_trap();

    if (aktion == 1 || aktion == 2) {
        // A read that ended well: the first answer echoed the request and the last one closed
        // the program with ACK, or the memory said it is empty.
        std::size_t erste = 0;
        while (erste < austausch.size() && !austausch[erste].first.starts_with("*PR"))
            ++erste;
        if (erste == austausch.size()) __builtin_trap();
        const std::string& antwort = austausch[erste].second;
        const std::string echo = "*PR" + std::to_string(n);
        if (antwort.starts_with(echo)) {
            if (austausch.back().second.empty() || austausch.back().second.back() != ACK)
                __builtin_trap();
            for (std::size_t i = erste + 1; i < austausch.size(); ++i)
                if (!austausch[i].first.empty()) __builtin_trap();
        } else if (!antwort.starts_with("E3\x07") || austausch.size() != erste + 1) {
            __builtin_trap();
        }
    }
    if (aktion == 3 || aktion == 4) {
        // An erase that ended well: echoed, then closed with ACK (or, for one place, "E3").
        const std::string anfrage = aktion == 3 ? "*PE" + std::to_string(n) : "*PEa";
        std::size_t i = 0;
        while (i < austausch.size() && !austausch[i].first.starts_with(anfrage))
            ++i;
        if (i + 1 >= austausch.size() || !austausch[i].second.starts_with(anfrage) ||
            !austausch[i + 1].first.empty())
            __builtin_trap();
        const std::string& ende = austausch[i + 1].second;
        if (!ende.starts_with(ACK) && !(aktion == 3 && ende.starts_with("E3\x07")))
            __builtin_trap();
    }
    return 0;
}
