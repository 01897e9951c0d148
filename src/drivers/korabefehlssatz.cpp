#include "korabefehlssatz.h"

#include "core/fehler.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "drivers/korabefehlsantwort.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

namespace orvexa {

namespace {

bool ist_Achse(char achse) {
    return achse == 'x' || achse == 'y' || achse == 'z' || achse == 'u';
}

// A letter for the operation texts: a control byte there would garble the log and the box.
char Anzeigezeichen(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x20 && b < 0x7F ? c : '?';
}

bool ist_Frequenz(int32_t freq) {
    return freq >= 0 && freq <= KoraBefehlssatz::Hoechstfrequenz;
}

} // namespace

// ---- Link ----

void KoraBefehlssatz::Init(int32_t port, int32_t baud) {
    m_linie.Init(port, baud);
}

void KoraBefehlssatz::Connect() {
    m_linie.Connect();
}

void KoraBefehlssatz::UnInit() {
    m_linie.UnInit();
}

void KoraBefehlssatz::SetTag(uint8_t tag) {
    m_linie.SetTag(tag);
}

uint8_t KoraBefehlssatz::Tag() const {
    return m_linie.Tag();
}

void KoraBefehlssatz::SetStoreMode(bool an) {
    m_linie.SetStoreMode(an);
}

std::string KoraBefehlssatz::SendWait(const std::string& anfrage, int32_t timeout_ms) {
    return m_linie.SendWait(anfrage, timeout_ms);
}

std::string KoraBefehlssatz::WaitResp(int32_t timeout_ms) {
    return m_linie.WaitResp(timeout_ms);
}

void KoraBefehlssatz::Warten_abbrechen() {
    m_linie.Warten_abbrechen();
}

// ---- Exchanges ----

void KoraBefehlssatz::Einstellen(const std::string& operation, const std::string& anfrage) {
    const std::string antwort = m_linie.SendWait(anfrage, TkoraCOM::Standardfrist_ms);
    if (const int32_t code = Quittung_pruefen(antwort))
        m_linie.ThrowError(operation, antwort, code);
}

std::string KoraBefehlssatz::Bewegen(const std::string& operation, const std::string& anfrage) {
    const std::string antwort = m_linie.SendWait(anfrage, TkoraCOM::Standardfrist_ms);
    if (const int32_t code = Bewegungsantwort_pruefen(antwort, m_linie.StoreMode()))
        m_linie.ThrowError(operation, antwort, code);
    return antwort;
}

// ---- Queries ----

std::string KoraBefehlssatz::Version_abfragen() {
    const std::string operation = "Version_abfragen()";
    m_linie.Operationstext_setzen(operation);
    const std::string antwort = m_linie.SendWait("@V\r", TkoraCOM::Standardfrist_ms);
    const auto version = Versionsantwort_lesen(antwort);
    if (!version) m_linie.ThrowError(operation, antwort, COMMUNICATION_ERROR);
    return *version;
}

int32_t KoraBefehlssatz::Achsenposition_abfragen(char achse) {
    const std::string operation =
        Formatieren("Achsenposition_abfragen('%c') [x:y:z:u]", Anzeigezeichen(achse));
    m_linie.Operationstext_setzen(operation);
    if (!ist_Achse(achse))
        m_linie.ThrowError(operation, "unzulässiger Wert für Achse", OUT_OF_RANGE);

    const std::string antwort =
        m_linie.SendWait(std::string("@L") + achse + "\r", Positionsfrist_ms);
    int32_t position = 0;
    switch (Positionsantwort_lesen(achse, antwort, position)) {
    case Positionsbefund::gelesen:
        break;
    case Positionsbefund::leer: {
        const std::string leer = Formatieren("Achsenposition_abfragen_in_Schritten(%d)", achse);
        m_linie.Operationstext_setzen(leer);
        m_linie.ThrowError(leer, antwort, COMMUNICATION_ERROR);
    }
    case Positionsbefund::fremd:
    case Positionsbefund::keine_Zahl:
        m_linie.ThrowError(operation, antwort, COMMUNICATION_ERROR);
    }
    return position;
}

std::string KoraBefehlssatz::Eingang_abfragen(char eingang) {
    const std::string operation = Formatieren("Eingang_abfragen(%d)", eingang);
    m_linie.Operationstext_setzen(operation);
    // Anything but a letter could end the request early or open a second one.
    const bool buchstabe = (eingang >= 'A' && eingang <= 'Z') || (eingang >= 'a' && eingang <= 'z');
    if (!buchstabe) m_linie.ThrowError(operation, "unzulässiger Wert für Eingang", OUT_OF_RANGE);

    const std::string antwort =
        m_linie.SendWait(std::string("@I") + eingang + "\r", Eingangsfrist_ms);
    if (!Eingangsantwort_passt(eingang, antwort))
        m_linie.ThrowError(operation, antwort, COMMUNICATION_ERROR);
    return antwort;
}

bool KoraBefehlssatz::Eingang_abfragen_Potential(char eingang) {
    const std::string operation = Formatieren("Eingang_abfragen_Potential(%d)", eingang);
    m_linie.Operationstext_setzen(operation);
    const std::string antwort = Eingang_abfragen(eingang);
    const int pegel = Eingangspegel_lesen(antwort);
    if (pegel < 0) m_linie.ThrowError(operation, antwort, COMMUNICATION_ERROR);
    return pegel == 1;
}

// ---- Settings ----

void KoraBefehlssatz::Ansteuersignale_einstellen(int32_t wert) {
    const std::string operation = Formatieren("Ansteuersignale_einstellen(%d) [0:1]", wert);
    m_linie.Operationstext_setzen(operation);
    if (wert != 0 && wert != 1)
        m_linie.ThrowError(operation, "unzulässiger Wert für ZBetrieb", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("T%d\r", wert));
}

void KoraBefehlssatz::Schrittbetrieb_einstellen(int32_t schrittbetrieb, int32_t ruhestrom) {
    const std::string operation = Formatieren(
        "Halb_Vollschrittbetrieb_einstellen(%d, %d) [0:1] [0:2:6]", schrittbetrieb, ruhestrom);
    m_linie.Operationstext_setzen(operation);
    char modus = 0;
    switch (schrittbetrieb) {
    case 0:
        modus = 'H';
        break;
    case 1:
        modus = 'V';
        break;
    default:
        m_linie.ThrowError(operation, "unzulässiger Wert für Schrittbetrieb", OUT_OF_RANGE);
    }
    char strom = 0;
    switch (ruhestrom) {
    case 0:
        strom = '0';
        break;
    case 1:
        strom = '2';
        break;
    case 2:
        strom = '6';
        break;
    default:
        m_linie.ThrowError(operation, "unzulässiger Wert für Ruhestrom", OUT_OF_RANGE);
    }
    const std::string antwort =
        m_linie.SendWait(std::string("F") + modus + strom + "\r", TkoraCOM::Standardfrist_ms);
    // Controllers that drive step/direction signals know no step mode: "E1".
    if (const int32_t code = Quittung_pruefen(antwort, 1))
        m_linie.ThrowError(operation, antwort, code);
}

void KoraBefehlssatz::Startgeschwindigkeit_einstellen(int32_t freq) {
    const std::string operation =
        Formatieren("Startgeschwindigkeit_einstellen(%d) [%d]", freq, Hoechstfrequenz);
    m_linie.Operationstext_setzen(operation);
    if (!ist_Frequenz(freq))
        m_linie.ThrowError(operation, "unzulässiger Wert für Startfreq", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("#S%d\r", freq));
}

void KoraBefehlssatz::Endgeschwindigkeit_einstellen(int32_t index, int32_t freq) {
    const std::string operation =
        Formatieren("Endgeschwindigkeit_einstellen(%d, %d) [%d, %d]", index, freq,
                    Hoechster_Geschwindigkeitsplatz, Hoechstfrequenz);
    m_linie.Operationstext_setzen(operation);
    if (index < 0 || index > Hoechster_Geschwindigkeitsplatz)
        m_linie.ThrowError(operation, "unzulässiger Wert für Index", OUT_OF_RANGE);
    if (!ist_Frequenz(freq))
        m_linie.ThrowError(operation, "unzulässiger Wert für Arbeitsfreq", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("#E%d,%d\r", index, freq));
}

void KoraBefehlssatz::Rampenlaenge_einstellen(int32_t ms) {
    // The controller holds the ramp as an unsigned 16-bit number, so the title shows a small
    // negative length as the controller would read it (-1 as 65535).
    const bool sechzehn_bit =
        ms >= std::numeric_limits<int16_t>::min() && ms <= std::numeric_limits<uint16_t>::max();
    const int32_t anzeige = sechzehn_bit ? static_cast<int32_t>(static_cast<uint16_t>(ms)) : ms;
    const std::string operation =
        Formatieren("Rampenlaenge_einstellen(%d) [%d]", anzeige, Hoechste_Rampenlaenge);
    m_linie.Operationstext_setzen(operation);
    // The real value is checked, not its 16-bit remainder: 70000 would pass as 4464.
    if (ms < 0 || ms > Hoechste_Rampenlaenge)
        m_linie.ThrowError(operation, "unzulässiger Wert für Rampenlaenge", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("#R%d\r", ms));
}

void KoraBefehlssatz::Referenzgeschwindigkeit_einstellen(int32_t freq) {
    const std::string operation =
        Formatieren("Referenzgeschwindigkeit_einstellen(%d) [%d]", freq, Hoechstfrequenz);
    m_linie.Operationstext_setzen(operation);
    if (!ist_Frequenz(freq))
        m_linie.ThrowError(operation, "unzulässiger Wert für RefFreq", OUT_OF_RANGE);
    // Speed slot 9 holds the reference speed.
    Einstellen(operation, Formatieren("#E9,%d\r", freq));
}

void KoraBefehlssatz::Referenzoffset_einstellen(char achse, int32_t schritte) {
    const std::string operation =
        Formatieren("Referenzoffset_einstellen('%c', %d)", Anzeigezeichen(achse), schritte);
    m_linie.Operationstext_setzen(operation);
    if (!ist_Achse(achse))
        m_linie.ThrowError(operation, "unzulässiger Wert für Achse", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("#O%c,%d\r", achse, schritte));
}

// ---- Motion ----

std::string KoraBefehlssatz::Referenzfahrt_ausfuehren(const std::string& achsen) {
    const std::string operation = "Referenzfahrt_ausfuehren(" + achsen + ")";
    m_linie.Operationstext_setzen(operation);
    return Bewegen(operation, "$H" + achsen + "\r");
}

std::string KoraBefehlssatz::Vektorfahrt_anfrage(bool relativ, int32_t index, int32_t x, int32_t y,
                                                 int32_t z) {
    constexpr int32_t bleibt = Achse_bleibt;
    std::string anfrage = "L" + std::to_string(index);
    if (x == 0 && y == 0 && z == 0) {
        anfrage += relativ ? ",x0,y0,z0" : ",X0,Y0,Z0";
    } else {
        const char namen[3] = {'x', 'y', 'z'};
        const int32_t werte[3] = {x, y, z};
        for (int i = 0; i < 3; ++i) {
            if (relativ ? werte[i] == 0 : werte[i] == bleibt) continue;
            anfrage += ',';
            anfrage += relativ ? namen[i] : static_cast<char>(namen[i] - 'a' + 'A');
            anfrage += std::to_string(werte[i]);
        }
    }
    return anfrage + "\r";
}

std::string KoraBefehlssatz::UVektorfahrt_anfrage(bool relativ, int32_t index, int32_t u) {
    return "L" + std::to_string(index) + (relativ ? ",u" : ",U") + std::to_string(u) + "\r";
}

std::string KoraBefehlssatz::Vektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t x,
                                                    int32_t y, int32_t z) {
    const std::string operation = "Vektorfahrt_ausfuehren()";
    m_linie.Operationstext_setzen(operation);
    return Bewegen(operation, Vektorfahrt_anfrage(relativ, index, x, y, z));
}

std::string KoraBefehlssatz::UVektorfahrt_ausfuehren(bool relativ, int32_t index, int32_t u) {
    const std::string operation = "UVektorfahrt_ausfuehren()";
    m_linie.Operationstext_setzen(operation);
    return Bewegen(operation, UVektorfahrt_anfrage(relativ, index, u));
}

std::string KoraBefehlssatz::Wartezeit_einfuegen(int32_t ms) {
    const std::string operation = Formatieren("Wartezeit_einfuegen(%d)", ms);
    m_linie.Operationstext_setzen(operation);
    if (ms < 0 || ms > Hoechste_Wartezeit)
        m_linie.ThrowError(operation, "unzulässiger Wert für Wartezeit", OUT_OF_RANGE);
    return Bewegen(operation, Formatieren("W%d\r", ms));
}

void KoraBefehlssatz::Achsen_anhalten() {
    const std::string operation = "Achsen_anhalten()";
    m_linie.Operationstext_setzen(operation);
    const std::string antwort = m_linie.SendWait("@B\r", TkoraCOM::Standardfrist_ms);
    if (!Halteantwort_passt(antwort)) m_linie.ThrowError(operation, antwort, COMMUNICATION_ERROR);
}

void KoraBefehlssatz::Achsen_sofort_stoppen() {
    const std::string operation = "Achsen_sofort_stoppen()";
    m_linie.Operationstext_setzen(operation);
    const std::string antwort = m_linie.SendWait("@S\r", TkoraCOM::Standardfrist_ms);
    if (!Sofortstoppantwort_passt(antwort)) m_linie.ThrowError(operation, antwort, RS_ERROR);
}

// ---- Outputs and inputs ----

void KoraBefehlssatz::Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    const std::string operation =
        Formatieren("Ausgangssignal_setzen(%d, %d) [1-8:L:R] [0:1]", nummer, zustand);
    m_linie.Operationstext_setzen(operation);
    std::string anfrage;
    if (nummer >= 1 && nummer <= 8)
        anfrage = Formatieren("A%d,", nummer);
    else if (nummer == 'L' || nummer == 'R')
        anfrage = Formatieren("A%c,", static_cast<char>(nummer));
    else
        m_linie.ThrowError(operation, "unzulässiger Wert für Nr", OUT_OF_RANGE);
    if (zustand != 0 && zustand != 1)
        m_linie.ThrowError(operation, "unzulässiger Wert für Modus", OUT_OF_RANGE);
    anfrage += zustand == 1 ? "1\r" : "0\r";

    const std::string antwort = m_linie.SendWait(anfrage, TkoraCOM::Standardfrist_ms);
    // "E9": the output belongs to the controller's watchdog.
    if (const int32_t code = Quittung_pruefen(antwort, 9))
        m_linie.ThrowError(operation, antwort, code);
}

void KoraBefehlssatz::I2C_Ausgangssignal_setzen(int32_t nummer, int32_t zustand) {
    const std::string operation =
        Formatieren("Ausgangssignal_setzen(%d, %d) [1-4] [0:1]", nummer, zustand);
    m_linie.Operationstext_setzen(operation);
    if (nummer < 1 || nummer > 4)
        m_linie.ThrowError(operation, "unzulässiger Wert für Nr", OUT_OF_RANGE);
    if (zustand != 0 && zustand != 1)
        m_linie.ThrowError(operation, "unzulässiger Wert für Modus", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("I2C-A%d,%d\r", nummer, zustand));
}

void KoraBefehlssatz::E1Verknuepfung_setzen(int32_t wert) {
    const std::string operation = Formatieren("E1Verknuepfung(%d)", wert);
    m_linie.Operationstext_setzen(operation);
    if (wert != 0 && wert != 1)
        m_linie.ThrowError(operation, "unzulässiger Wert für Aktion", OUT_OF_RANGE);
    Einstellen(operation, Formatieren("&E1,%d\r", wert));
}

void KoraBefehlssatz::Programmdurchlaeufe_hinterlegen(int32_t anzahl) {
    const std::string operation = Formatieren("Programmdurchlaeufe_hinterlegen(%d)", anzahl);
    m_linie.Operationstext_setzen(operation);
    Einstellen(operation, Formatieren("#PD,%d\r", anzahl));
}

} // namespace orvexa
