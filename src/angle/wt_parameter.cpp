#include "wt_parameter.h"

#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerungstypen.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "platform/oberflaeche.h"

#include <optional>

namespace orvexa {

namespace {

// ASCII and the two-byte Latin-1 capitals (Ü, Ä among them) in lower case, for comparing keys.
std::string Falten(std::string_view text) {
    std::string ziel(text);
    for (std::size_t i = 0; i < ziel.size(); ++i) {
        const auto b = static_cast<unsigned char>(ziel[i]);
        if (b >= 'A' && b <= 'Z') {
            ziel[i] = static_cast<char>(b + 32);
        } else if (b == 0xC3 && i + 1 < ziel.size()) {
            const auto f = static_cast<unsigned char>(ziel[i + 1]);
            if (f >= 0x80 && f <= 0x9E && f != 0x97) ziel[i + 1] = static_cast<char>(f + 32);
            ++i;
        }
    }
    return ziel;
}

// The program writes Windows-1252; a file an editor saved as UTF-8 is taken as it is.
std::string Dateitext(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii && Gueltiges_Utf8(bytes)) return std::string(bytes);
    return Cp1252_zu_Utf8(bytes);
}

// The value of the first line with this key.
std::optional<std::string> Wert(const std::string& text, std::string_view schluessel) {
    const std::string gesucht = Falten(schluessel);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t ende = rest.find_first_of("\r\n");
        const std::string_view zeile = rest.substr(0, ende);
        rest = ende == std::string_view::npos ? std::string_view{} : rest.substr(ende + 1);
        const std::size_t gleich = zeile.find('=');
        if (gleich == std::string_view::npos) continue;
        if (Falten(Text_trimmen(zeile.substr(0, gleich))) == gesucht)
            return std::string(zeile.substr(gleich + 1));
    }
    return std::nullopt;
}

int32_t Ganzzahl(const std::string& text, std::string_view schluessel) {
    try {
        return Text_zu_Ganzzahl(Wert(text, schluessel).value_or(""));
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

double Zahl(const std::string& text, std::string_view schluessel) {
    try {
        return Text_zu_Zahl(Wert(text, schluessel).value_or(""));
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

} // namespace

int32_t WT_Modul() {
    for (const Steuerungstyp& typ : Steuerungstypen())
        if (typ.Treiber == Treiberart::Kxcu) return typ.Modul;
    return 0;
}

std::string WT_Parameterdatei_Inhalt(const WT_Parameter& p) {
    const auto zeile = [](const char* schluessel, const std::string& wert) {
        return std::string(schluessel) + "=" + wert + "\r\n";
    };
    const auto ganz = [](int32_t wert) { return std::to_string(wert); };
    std::string text;
    text += zeile("WT_KXCU_Com", p.KXCU_Com);
    text += zeile("WT_ND261_Com", p.ND261_Com);
    text += "\r\n";
    text += zeile("WT_Umrechnungsfaktor", ganz(p.Umrechnungsfaktor));
    text += "\r\n";
    text += zeile("WT_Startfreq", ganz(p.WT_Startfreq));
    text += zeile("WT_Endfreq", ganz(p.WT_Endfreq));
    text += zeile("WT_Reffreq", ganz(p.WT_Reffreq));
    text += zeile("WT_Rampe", ganz(p.WT_Rampe));
    text += "\r\n";
    text += zeile("WT_übersteuern", Zwei_Dezimalen(p.uebersteuern));
    text += zeile("WT_annähern", ganz(p.annaehern));
    text += zeile("WT_schrittweise", ganz(p.schrittweise));
    text += "\r\n";
    return Utf8_zu_Cp1252(text);
}

WT_Parameter WT_Parameter_aus_Dateiinhalt(std::string_view bytes) {
    const std::string text = Dateitext(bytes);
    WT_Parameter p;
    p.KXCU_Com = Text_trimmen(Wert(text, "WT_KXCU_Com").value_or(""));
    p.ND261_Com = Text_trimmen(Wert(text, "WT_ND261_Com").value_or(""));
    p.Umrechnungsfaktor = Ganzzahl(text, "WT_Umrechnungsfaktor");
    p.WT_Startfreq = Ganzzahl(text, "WT_Startfreq");
    p.WT_Endfreq = Ganzzahl(text, "WT_Endfreq");
    p.WT_Reffreq = Ganzzahl(text, "WT_Reffreq");
    p.WT_Rampe = Ganzzahl(text, "WT_Rampe");
    p.uebersteuern = Zahl(text, "WT_übersteuern");
    p.annaehern = Ganzzahl(text, "WT_annähern");
    p.schrittweise = Ganzzahl(text, "WT_schrittweise");
    return p;
}

bool WT_Parameterdatei_speichern(const WT_Parameter& p, const std::string& pfad) {
    std::string grund;
    if (Datei_atomar_schreiben(pfad, WT_Parameterdatei_Inhalt(p), &grund)) return true;
    Protokoll_schreiben(Ebene_Fehler, "WT_Parameterdatei_speichern() :: " + grund);
    oberflaeche().Meldung("Die Winkelparameter konnten nicht gespeichert werden:\n" + grund +
                              "\n\nDie Datei bleibt, wie sie war.",
                          "orvexa2011", Symbol::warnung, Knoepfe::ok);
    return false;
}

bool WT_Parameter_laden(WT_Parameter& p, Maschinenparameter& m, const std::string& pfad) {
    std::string bytes;
    const bool da = Datei_existiert(pfad) && Datei_lesen(pfad, bytes);
    if (da)
        p = WT_Parameter_aus_Dateiinhalt(bytes);
    else
        Parameter_Standardwerte(m);
    WT_Maschinenparameter_setzen(p, m);
    return da;
}

void WT_Maschinenparameter_setzen(const WT_Parameter& p, Maschinenparameter& m) {
    m.Modul = WT_Modul();
    m.ComPort = COM_Nummer_lesen(p.KXCU_Com);
    m.LPTAdresse = 888;
    m.Baudrate = 19200;
    m.Startfreq = p.WT_Startfreq;
    m.Arbeitsfreq = m.Eilfreq = p.WT_Endfreq;
    m.Rampenlaenge = p.WT_Rampe;
    m.RefFreq = p.WT_Reffreq;
    m.xUebersetz = 1.0;
    m.yUebersetz = m.zUebersetz = m.uUebersetz = 0;
    m.xMotStep = 200;
    m.yMotStep = m.zMotStep = m.uMotStep = 0;
    m.Steuersignal = m.Schrittbetrieb = m.UBetrieb = 0;
    m.Ruhestrom = m.ZBetrieb = 1;
    m.xRefOffset = m.yRefOffset = m.zRefOffset = m.uRefOffset = 0;
    m.xRefNr = 2;
    m.yRefNr = 3;
    m.zRefNr = 1;
    m.uRefNr = 4;
    m.xRefAktiv = 1;
    m.yRefAktiv = m.zRefAktiv = m.uRefAktiv = 0;
    m.xWerkstuecknullpunkt = m.yWerkstuecknullpunkt = m.zWerkstuecknullpunkt =
        m.uWerkstuecknullpunkt = 0;
    m.xParkposition = m.yParkposition = m.zParkposition = m.uParkposition = 0;
}

} // namespace orvexa
