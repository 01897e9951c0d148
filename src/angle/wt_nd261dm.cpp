#include "wt_nd261dm.h"

#include "angle/winkeltranskript.h"
#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/zeitbasis.h"

#include <cstdio>

namespace orvexa {

namespace {

constexpr uint8_t LF = 0x0A;
// The wait for the next byte is cut into pieces so that the window stays responsive.
constexpr int Lesestueck_ms = 10;

bool Ziffer(char c) {
    return c >= '0' && c <= '9';
}

// The answer for the transcript and the log, control bytes as <hex>.
std::string Sichtbar(std::string_view antwort) {
    std::string text;
    for (const char c : antwort) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", b);
            text += hex;
        }
    }
    return text;
}

} // namespace

int32_t ND261_Baudrate(std::string_view baudtext) {
    for (const int32_t baud : {2400, 4800, 9600, 19200, 57600})
        if (baudtext == std::to_string(baud)) return baud;
    return 115200;
}

Porteinstellungen ND261_Porteinstellungen(std::string_view baudtext) {
    Porteinstellungen e;
    e.Baudrate = ND261_Baudrate(baudtext);
    e.Datenbits = 7;
    e.Paritaet = 'E';
    e.Stoppbits = 2;
    e.DTR = true;
    e.RTS = true;
    return e;
}

bool ND261_Antwortsammler::Byte(uint8_t b) {
    if (m_antwort.size() < Antwort_max) m_antwort += static_cast<char>(b);
    return b == LF;
}

std::string ND261_Antwortsammler::Abschliessen(bool beendet) const {
    return beendet ? m_antwort + '\n' : m_antwort;
}

std::optional<double> ND261_Antwort_lesen(std::string_view antwort) {
    const std::size_t anfang = antwort.find_first_not_of(' ');
    if (anfang == std::string_view::npos) return std::nullopt;
    antwort.remove_prefix(anfang);
    if (antwort.size() < 4 || !antwort.ends_with("\r\n\n")) return std::nullopt;
    const char zeichen = antwort.front();
    if (zeichen != '+' && zeichen != '-') return std::nullopt;
    const std::string_view wert = antwort.substr(1, antwort.size() - 4);
    // Only digits, blanks and one separator: anything else would be read as 0 by the tolerant
    // reader and steer the axis on a made-up angle.
    bool ziffer = false;
    for (const char c : wert) {
        if (Ziffer(c))
            ziffer = true;
        else if (c != ' ' && c != '.' && c != ',')
            return std::nullopt;
    }
    if (!ziffer) return std::nullopt;
    try {
        const double betrag = Text_zu_Zahl(wert);
        return zeichen == '-' ? -betrag : betrag;
    } catch (const Umwandlungsfehler&) {
        return std::nullopt;
    }
}

TWT_ND261DM::TWT_ND261DM(Winkeltranskript& transkript) : m_transkript(transkript) {}

TWT_ND261DM::~TWT_ND261DM() {
    ND261_schliessen();
}

bool TWT_ND261DM::ND261_oeffnen(const std::string& port_text, const std::string& baud_text) {
    ND261_schliessen();
    if (port_text.empty()) return false;
    const std::string pfad = COM_Pfad(COM_Nummer_lesen(port_text));
    if (pfad.empty() || !m_port.Oeffnen(pfad, ND261_Porteinstellungen(baud_text))) {
        Protokoll_schreiben(
            Ebene_Fehler,
            "ND261_oeffnen(" + port_text + "): " +
                (pfad.empty() ? std::string("kein Gerät")
                              : pfad + ", errno " + std::to_string(m_port.Letzter_Fehler())));
        oberflaeche().Meldung(port_text + " kann nicht geöffnet werden!", Titel, Symbol::warnung,
                              Knoepfe::ok);
        m_port.Schliessen();
        return false;
    }
    m_port.Leeren(true, true);
    return true;
}

void TWT_ND261DM::ND261_schliessen() {
    m_port.Schliessen();
}

std::string TWT_ND261DM::Messwert_lesen() {
    if (!m_port.Offen()) return {};
    // Bytes waiting now are what was still under way of an earlier request.
    bool spaete_erwartet = m_antwort_ausstehend && m_port.Wartende_Bytes() == 0;
    m_antwort_ausstehend = false;
    m_port.Leeren(true, true);
    if (!m_port.Schreiben(std::string(1, STX))) return {};
    ND261_Antwortsammler sammler;
    bool beendet = false;
    bool etwas = false;
    bool verworfen = false;
    bool zu_spaet = false;
    int64_t letztes = Zeitbasis::Zaehler();
    const int64_t frist = int64_t{m_stillefrist_ms} * (Zeitbasis::Frequenz / 1000);
    while (!beendet) {
        oberflaeche().Nachrichten_verarbeiten();
        const int b = m_port.Byte_lesen(Lesestueck_ms);
        if (b >= 0) {
            etwas = true;
            const int64_t jetzt = Zeitbasis::Zaehler();
            // A reader held up (a busy machine, a long message loop) finds a late byte waiting
            // as if it had just come: taken after the limit, it is late however it got there.
            // The rest of its answer is read and dropped, so that it cannot precede the next.
            if (jetzt - letztes > frist) zu_spaet = true;
            beendet = sammler.Byte(static_cast<uint8_t>(b));
            letztes = jetzt;
            if (beendet && spaete_erwartet) {
                // The display answers in order: after a request it left unanswered, the first
                // whole answer is that request's, with the angle of back then. Ours follows.
                spaete_erwartet = false;
                verworfen = true;
                sammler = ND261_Antwortsammler();
                beendet = false;
            }
            continue;
        }
        // A display that went away answers no more.
        if (b == SeriellerPort::Getrennt || b == SeriellerPort::Fehler) break;
        if (Zeitbasis::Zaehler() - letztes > frist) break;
    }
    // Not a byte: the answer may yet come, late, and must not pass for the next one's. When a
    // late answer was dropped meanwhile, that may have been this request's own; nothing more is
    // expected then, or a display that missed one request would lose every reading after it.
    m_antwort_ausstehend = !etwas && !verworfen;
    if (beendet) {
        // A display may send a byte or two after the LF; they belong to no answer.
        for (int i = 0; i < 2; ++i)
            if (m_port.Wartende_Bytes() > 0) m_port.Byte_lesen(0);
    }
    if (zu_spaet) return {};
    return sammler.Abschliessen(beendet);
}

double TWT_ND261DM::Istwinkel_lesen() {
    if (m_vekabbruch && m_vekabbruch->load()) return 0;
    double winkel = 0;
    if (m_port.Offen()) {
        const std::string antwort = Messwert_lesen();
        const std::optional<double> gelesen = ND261_Antwort_lesen(antwort);
        if (!gelesen) {
            const std::string text =
                antwort.empty() ? "keine Antwort" : "unlesbar \"" + Sichtbar(antwort) + "\"";
            m_transkript.Zeile("IstWinkel: " + text);
            Protokoll_schreiben(Ebene_Fehler, "Istwinkel_lesen() :: ND261 " + text);
            throw Steuerungsfehler(ND261_MESSWERT_ERROR);
        }
        winkel = *gelesen;
    }
    m_transkript.Zeile("IstWinkel: " + Winkel_fest3(winkel));
    return winkel;
}

} // namespace orvexa
