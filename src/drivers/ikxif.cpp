#include "ikxif.h"

#include "core/text.h"
#include "drivers/korabefehlssatz.h"

#include <string>

namespace orvexa {

namespace {

// The vector move of the serial command set without its CR; the terminator follows instead.
std::string Vektorfahrt_text(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z) {
    std::string text = KoraBefehlssatz::Vektorfahrt_anfrage(relativ, index, x, y, z);
    text.pop_back();
    return text;
}

constexpr int32_t Hoechstfreq = 5000;
constexpr int32_t Hoechste_Rampe = 60000;
constexpr int32_t Hoechste_Wartezeit = 32000;

} // namespace

TIkxif::TIkxif() : Speichermodulbasis(Titel, 31, "KX-IKXIF") {}

void TIkxif::Ansteuersignale_einstellen(int32_t steuersignal) {
    std::lock_guard lock(Austausch());
    m_steuersignal = steuersignal;
    Befehl_nach_Leerlauf(Formatieren("T%d", steuersignal));
}

void TIkxif::Schrittbetrieb_einstellen(int32_t schrittbetrieb) {
    std::lock_guard lock(Austausch());
    m_schrittbetrieb = schrittbetrieb;
    Befehl_nach_Leerlauf(Formatieren("F%d", schrittbetrieb));
}

void TIkxif::Z_Achse_einstellen(int32_t zbetrieb) {
    std::lock_guard lock(Austausch());
    m_zbetrieb = zbetrieb;
    Befehl_nach_Leerlauf(Formatieren("Z%d", zbetrieb));
}

void TIkxif::Startgeschwindigkeit_einstellen(int32_t freq) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    freq = Begrenzen(freq, Hoechstfreq, "Startfreq", "Startgeschwindigkeit_einstellen()");
    Befehl(Formatieren("#S%d", freq));
}

void TIkxif::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    // A negative slot has no place in the settings either.
    if (index < 0 || index >= Geschwindigkeitsplaetze) {
        Warnung("unzulässiger Wert für index", "Endgeschwindigkeit_einstellen()");
        return;
    }
    freq = Begrenzen(freq, Hoechstfreq, "Arbeitsfreq", "Endgeschwindigkeit_einstellen()");
    m_geschwindigkeit[index] = freq;
    Befehl(Formatieren("#E%d,%d", index, freq));
}

void TIkxif::Rampenlaenge_einstellen(int32_t ms) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    m_rampe = Begrenzen(ms, Hoechste_Rampe, "Rampenlaenge", "Rampenlaenge_einstellen()");
    Befehl(Formatieren("#R%d", m_rampe));
}

void TIkxif::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    m_referenzfreq =
        Begrenzen(freq, Hoechstfreq, "RefFreq", "ReferenzGeschwindigkeit_einstellen()");
    Befehl(Formatieren("#E9,%d", m_referenzfreq));
}

void TIkxif::Referenzrichtung_einstellen(char achse) {
    std::lock_guard lock(Austausch());
    Befehl_nach_Leerlauf(std::string("#D") + achse + ",0,9,9,9");
}

void TIkxif::Referenzoffset_einstellen(char achse, int32_t schritte) {
    std::lock_guard lock(Austausch());
    Befehl_nach_Leerlauf(std::string("#O") + achse + ", " + std::to_string(schritte));
}

void TIkxif::Referenzfahrt_ausfuehren(const std::string& achsen) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    const int32_t arbeitsfreq = m_geschwindigkeit[1];
    Endgeschwindigkeit_einstellen(1, m_referenzfreq);
    Befehl("$H" + achsen, SOH);
    Leerlauf_abwarten();
    Endgeschwindigkeit_einstellen(1, arbeitsfreq);
}

void TIkxif::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                                    int32_t terminator) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    if (index < 0 || index >= Geschwindigkeitsplaetze) {
        Warnung("unzulässiger Wert für index", "Vektorfahrt_ausfuehren()");
        return;
    }
    if (relativ && x == 0 && y == 0 && z == 0) return;
    Befehl(Vektorfahrt_text(relativ, index, x, y, z), static_cast<char>(terminator));
}

void TIkxif::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    std::string befehl;
    if (nummer == 1 || nummer == 15) {
        befehl = zustand != 0 ? "A1" : "A0";
    } else if (nummer == 17) {
        befehl = zustand == 1 ? "A0" : "A1";
    } else {
        Warnung("Ausgangssignal_setzen()", "F E H L E R");
    }
    Befehl(befehl);
}

void TIkxif::Wartezeit_einfuegen(int32_t ms) {
    std::lock_guard lock(Austausch());
    Leerlauf_abwarten();
    if (ms > Hoechste_Wartezeit) {
        Warnung(Formatieren("Die Wartezeit kann nicht größer als %d sein!", Hoechste_Wartezeit),
                "F E H L E R");
        ms = Hoechste_Wartezeit;
    }
    Befehl(Formatieren("W%d", ms));
}

void TIkxif::Programm_starten() {
    std::lock_guard lock(Austausch());
    Befehl("", SOH);
    Leerlauf_abwarten();
}

} // namespace orvexa
