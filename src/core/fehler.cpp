#include "fehler.h"

#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerungstypen.h"
#include "platform/oberflaeche.h"

namespace orvexa {

namespace {
// The caption comes from the caller's fixed 127-character buffer.
constexpr std::size_t Caption_max = 127;
} // namespace

std::string Fehlername(int32_t code) {
    switch (code) {
    case COM_PORT_ERROR:
        return "[COM_PORT_ERROR]";
    case HANDLE_COM_PORT_ERROR:
        return "[HANDLE_COM_PORT_ERROR]";
    case SEND_REQ_ERROR:
        return "[SEND_REQ_ERROR]";
    case COMMUNICATION_ERROR:
        return "[COMMUNICATION_ERROR]";
    case OUT_OF_RANGE:
        return "[OUT_OF_RANGE]";
    case NAK_ERROR:
        return "[NAK_ERROR]";
    case ACK_ERROR:
        return "[ACK_ERROR]";
    case RS_ERROR:
        return "[RS_ERROR]";
    case WAIT_ABANDONED:
        return "[WAIT_ABANDONED]";
    case WAIT_TIMEOUT:
        return "[WAIT_TIMEOUT]";
    case WAIT_FAILED:
        return "[WAIT_FAILED]";
    case CR_ERROR:
        return "[CR_ERROR]";
    case ETX_ERROR:
        return "[ETX_ERROR]";
    case STX_ERROR:
        return "[STX_ERROR]";
    case NOT_DEFINED:
        return "[NOT_DEFINED]";
    case BEL_ERROR:
        return "[BEL]";
    case THROW_ABORT:
        return "[THROW_ABORT]";
    default:
        return {};
    }
}

std::string Steuerungsfehlertext(int32_t code) {
    switch (code) {
    case 1021:
        return "### unbekannter Befehl ###";
    case 1022:
        return "### ungültige Programm-Nr. ###";
    case 1023:
        return "### ungültiger FAT-Eintrag ###";
    case 1024:
        return "### Speicherüberlauf ... ###";
    case 1025:
        return "### Programm-Nr. bereits vorhanden ###";
    case 1026:
        return "### ungültiger Parameter ###";
    case 1027:
        return "### Arbeitsbereich verlassen ###";
    case 1028:
        return "### max. ProgrammHeader/Befehls-Länge von 256 Bytes überschritten ###";
    case 1029:
        return "### Watchdog-Konflikt ###";
    case 1119:
        return "### Encoder-Positions-Fehler ###";
    case ND261_MESSWERT_ERROR:
        return "### ND261: Messwert nicht lesbar ###";
    default:
        return "### default ###";
    }
}

std::string Fehlerbericht(int32_t code) {
    std::string bericht = "Exception ";
    const std::string name = Fehlername(code);
    if (!name.empty())
        bericht += name;
    else
        bericht += "[" + Steuerungsfehlertext(code) + "]";
    return bericht;
}

void Fehler_melden(bool show_box, int32_t code, const std::string& caption) {
    const std::string titel = caption.substr(0, Caption_max);
    const std::string bericht = Fehlerbericht(code);
    if (show_box && code != THROW_ABORT)
        oberflaeche().Meldung(bericht, titel, Symbol::warnung, Knoepfe::ok);
    Protokoll_schreiben(Ebene_Fehler, titel + " :: " + bericht);
}

void Steuerungsfehler_melden(int32_t code, const std::string& caption) {
    if (ist_serieller_Typ(Parametersatz().Modul)) Fehler_melden(true, code, caption);
}

} // namespace orvexa
