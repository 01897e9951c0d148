#include "kxcu.h"

#include "core/text.h"
#include "drivers/korabefehlssatz.h"

#include <string>

namespace orvexa {

namespace {

constexpr int32_t Hoechstfreq = 5000;
constexpr int32_t Hoechste_Rampe = 60000;
constexpr int32_t Hoechste_Wartezeit = 32000;

} // namespace

TKxcu::TKxcu() : Speichermodulbasis(Titel, 255, "KX900i") {}

bool TKxcu::Port_oeffnen(const std::string& name) {
    std::lock_guard lock(Austausch());
    m_aufzeichnung = false;
    return Speichermodulbasis::Port_oeffnen(name);
}

void TKxcu::Aufzeichnung_setzen(bool an) {
    m_aufzeichnung = an;
    m_leser.Aufzeichnung_beendet = false;
}

void TKxcu::U_Achse_einstellen(int32_t ubetrieb) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    m_ubetrieb = ubetrieb;
    Befehl_nach_Leerlauf(ubetrieb == 0 ? "U0" : "U1");
}

void TKxcu::Startgeschwindigkeit_einstellen(int32_t freq) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    freq = Begrenzen(freq, Hoechstfreq, "Startfreq", "Startgeschwindigkeit_einstellen()");
    Befehl(Formatieren("#S%d", freq));
}

void TKxcu::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    if (index < 0 || index > Hoechster_Platz) {
        Warnung("unzulässiger Wert für index", "Endgeschwindigkeit_einstellen()");
        return;
    }
    freq = Begrenzen(freq, Hoechstfreq, "Arbeitsfreq", "Endgeschwindigkeit_einstellen()");
    m_geschwindigkeit[index] = freq;
    Befehl(Formatieren("#E%d,%d", index, freq));
}

void TKxcu::Rampenlaenge_einstellen(int32_t ms) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    m_rampe = Begrenzen(ms, Hoechste_Rampe, "Rampenlaenge", "Rampenlaenge_einstellen()");
    Befehl(Formatieren("#R%d", m_rampe));
}

void TKxcu::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    std::lock_guard lock(Austausch());
    m_referenzfreq =
        Begrenzen(freq, Hoechstfreq, "RefFreq", "Referenzgeschwindigkeit_einstellen()");
}

void TKxcu::Referenzfahrt_ausfuehren(const std::string& achsen) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    const int32_t arbeitsfreq = m_geschwindigkeit[1];
    Endgeschwindigkeit_einstellen(1, m_referenzfreq);
    // While recording the run is stored, not started.
    Befehl("$H" + achsen, m_aufzeichnung ? CR : SOH);
    Leerlauf_abwarten();
    Endgeschwindigkeit_einstellen(1, arbeitsfreq);
}

void TKxcu::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x, int32_t y, int32_t z,
                                   int32_t terminator) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    if (index < 0 || index > Hoechster_Platz) {
        Warnung("unzulässiger Wert für index", "Vektorfahrt_ausfuehren()");
        return;
    }
    if (relativ && x == 0 && y == 0 && z == 0) return;
    std::string text = KoraBefehlssatz::Vektorfahrt_anfrage(relativ, index, x, y, z);
    text.pop_back(); // its CR; the terminator follows instead
    Befehl(text, static_cast<char>(terminator));
}

void TKxcu::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Leerlauf_abwarten();
    const char* ausgang = nullptr;
    switch (nummer) {
    case 1:
    case 12:
        ausgang = "A1,";
        break;
    case 2:
    case 13:
        ausgang = "A2,";
        break;
    case 3:
        ausgang = "A3,";
        break;
    case 4:
        ausgang = "A4,";
        break;
    default:
        Warnung("Ausgangssignal_setzen()", "F E H L E R");
        return;
    }
    Befehl(std::string(ausgang) + (zustand == 0 ? "0" : "1"));
}

void TKxcu::Wartezeit_einfuegen(int32_t ms) {
    std::lock_guard lock(Austausch());
    if (ms > Hoechste_Wartezeit) {
        Warnung(Formatieren("Die Wartezeit kann nicht größer als %d sein!", Hoechste_Wartezeit),
                "F E H L E R");
        ms = Hoechste_Wartezeit;
    }
    if (Angehalten()) return;
    Befehl_nach_Leerlauf(Formatieren("W%d", ms));
}

void TKxcu::E1Verknuepfung_setzen(int32_t nummer) {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Befehl_nach_Leerlauf(nummer != 0 ? "&V1" : "&V0");
}

void TKxcu::Upload_in_Festwertspeicher() {
    std::lock_guard lock(Austausch());
    Befehl("@F");
    Aufzeichnung_setzen(true);
}

void TKxcu::End_in_Festwertspeicher() {
    std::lock_guard lock(Austausch());
    Befehl("", SOH);
    Leerlauf_abwarten();
    Aufzeichnung_setzen(false);
}

void TKxcu::Festwertspeicher_loeschen() {
    std::lock_guard lock(Austausch());
    Befehl("@E");
    Leerlauf_abwarten();
    Aufzeichnung_setzen(false);
}

bool TKxcu::Aufzeichnung_beendet() const {
    std::lock_guard lock(Austausch());
    return m_leser.Aufzeichnung_beendet;
}

void TKxcu::Programm_starten() {
    std::lock_guard lock(Austausch());
    if (Angehalten()) return;
    Befehl("", SOH);
    Leerlauf_abwarten();
}

} // namespace orvexa
