#include "domingparameter.h"

#include "core/dateien.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "dispensing/domingjob.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace orvexa {

namespace {

constexpr std::array<std::string_view, 3> Schluessel = {"Sprache", "xAbmessung", "yAbmessung"};

constexpr std::array<std::string_view, 3> Sprachen = {"deutsch", "englisch", "polski"};

} // namespace

std::string DomingParameter_Dateiname() {
    return Programmverzeichnis() + "DomingParam.dat";
}

bool DomingParameter_aus_Dateiinhalt(std::string_view bytes, DomingParameter& parameter) {
    const auto werte = Doming_Datei_zerlegen(bytes, Schluessel);
    if (!werte) {
        parameter = DomingParameter{};
        return false;
    }
    parameter.Sprache = Text_trimmen((*werte)[0].value_or(std::string{}));
    parameter.xAbmessung = Doming_Zahl_lesen((*werte)[1].value_or(std::string{}));
    parameter.yAbmessung = Doming_Zahl_lesen((*werte)[2].value_or(std::string{}));
    return true;
}

DomingParameter DomingParameter_laden(const std::string& pfad) {
    DomingParameter parameter;
    std::string bytes;
    if (!Datei_existiert(pfad)) {
        std::error_code fehler;
        // Something that is not a plain file (a folder, a device) is never opened.
        if (!std::filesystem::exists(pfad, fehler)) return parameter;
    } else if (Datei_lesen(pfad, bytes)) {
        if (!DomingParameter_aus_Dateiinhalt(bytes, parameter)) Doming_Doppelton();
        return parameter;
    }
    Protokoll_Zeile("DomingParameter_laden() :: " + pfad + " nicht lesbar");
    oberflaeche().Meldung("Die Datei\n" + pfad +
                              "\nkann nicht gelesen werden.\nEs gelten die Vorgabewerte.\n",
                          "F E H L E R", Symbol::warnung, Knoepfe::ok);
    return parameter;
}

void DomingParameter_annehmen(DomingParameter& parameter) {
    const DomingParameter vorgaben;
    if (!(parameter.xAbmessung > 0.0)) parameter.xAbmessung = vorgaben.xAbmessung;
    if (!(parameter.yAbmessung > 0.0)) parameter.yAbmessung = vorgaben.yAbmessung;
    // The dialog's list shows any other name as its first entry, and that is what it keeps.
    if (std::find(Sprachen.begin(), Sprachen.end(), parameter.Sprache) == Sprachen.end())
        parameter.Sprache = vorgaben.Sprache;
}

std::string DomingParameter_Dateitext(const DomingParameter& parameter) {
    const std::string_view sprache = parameter.Sprache;
    std::string text = std::string(Doming_Kopfzeile) + "\r\n;\r\nSprache=";
    // The name stays on its own line.
    text += sprache.substr(0, sprache.find_first_of("\r\n"));
    text += "\r\n\r\nxAbmessung=" + Doming_Zahl_schreiben(parameter.xAbmessung);
    text += "\r\nyAbmessung=" + Doming_Zahl_schreiben(parameter.yAbmessung) + "\r\n";
    return Utf8_zu_Cp1252(text);
}

bool DomingParameter_speichern(const std::string& pfad, const DomingParameter& parameter) {
    return Doming_Datei_schreiben(pfad, DomingParameter_Dateitext(parameter),
                                  "DomingParameter_speichern()");
}

} // namespace orvexa
