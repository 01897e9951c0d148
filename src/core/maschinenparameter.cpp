#include "maschinenparameter.h"

#include "dateien.h"
#include "fehler.h"
#include "platform/oberflaeche.h"
#include "platform/programmverzeichnis.h"
#include "protokoll.h"
#include "steuerungstypen.h"
#include "text.h"
#include "zeichensatz.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvexa {

namespace {

enum class Art { ganz, reell, Reihenfolge };

struct Schluessel {
    const char* name; // UTF-8
    Art art;
    int32_t Maschinenparameter::*ganz;
    double Maschinenparameter::*reell;
    bool gruppenanfang; // an empty line goes before it in the file
};

constexpr Schluessel G(const char* name, int32_t Maschinenparameter::*feld, bool anfang = false) {
    return {name, Art::ganz, feld, nullptr, anfang};
}
constexpr Schluessel R(const char* name, double Maschinenparameter::*feld, bool anfang = false) {
    return {name, Art::reell, nullptr, feld, anfang};
}
// Order numbers of the reference run: stored as integers, read as reals and truncated.
constexpr Schluessel N(const char* name, int32_t Maschinenparameter::*feld, bool anfang = false) {
    return {name, Art::Reihenfolge, feld, nullptr, anfang};
}

using M = Maschinenparameter;

// Every key of the file, in the order it is written.
constexpr std::array Schluesselliste = {
    G("Modul", &M::Modul),
    G("LPTAdresse", &M::LPTAdresse, true),
    G("ComPort", &M::ComPort),
    G("Baudrate", &M::Baudrate),
    G("xTakt", &M::xTakt, true),
    G("xRichtung", &M::xRichtung),
    G("yTakt", &M::yTakt),
    G("yRichtung", &M::yRichtung),
    G("zTakt", &M::zTakt),
    G("zRichtung", &M::zRichtung),
    G("uTakt", &M::uTakt),
    G("uRichtung", &M::uRichtung),
    G("xRef", &M::xRef, true),
    G("yRef", &M::yRef),
    G("zRef", &M::zRef),
    G("uRef", &M::uRef),
    G("Bohrspindel", &M::Bohrspindel, true),
    G("Kuehlmittelpumpe", &M::Kuehlmittelpumpe),
    G("Absaugung", &M::Absaugung),
    G("Startfreq", &M::Startfreq, true),
    G("Arbeitsfreq", &M::Arbeitsfreq),
    G("Eilfreq", &M::Eilfreq),
    G("Rampenlaenge", &M::Rampenlaenge),
    R("xUebersetz", &M::xUebersetz, true),
    R("yUebersetz", &M::yUebersetz),
    R("zUebersetz", &M::zUebersetz),
    R("uUebersetz", &M::uUebersetz),
    G("xMotStep", &M::xMotStep, true),
    G("yMotStep", &M::yMotStep),
    G("zMotStep", &M::zMotStep),
    G("uMotStep", &M::uMotStep),
    G("Steuersignal", &M::Steuersignal, true),
    G("Schrittbetrieb", &M::Schrittbetrieb),
    G("Ruhestrom", &M::Ruhestrom),
    G("ZBetrieb", &M::ZBetrieb),
    G("UBetrieb", &M::UBetrieb),
    R("xRefOffset", &M::xRefOffset, true),
    R("yRefOffset", &M::yRefOffset),
    R("zRefOffset", &M::zRefOffset),
    R("uRefOffset", &M::uRefOffset),
    N("xRefNr", &M::xRefNr, true),
    N("yRefNr", &M::yRefNr),
    N("zRefNr", &M::zRefNr),
    N("uRefNr", &M::uRefNr),
    G("RefFreq", &M::RefFreq, true),
    G("xRefAktiv", &M::xRefAktiv, true),
    G("yRefAktiv", &M::yRefAktiv),
    G("zRefAktiv", &M::zRefAktiv),
    G("uRefAktiv", &M::uRefAktiv),
    R("xWerkst\xC3\xBC"
      "cknullpunkt",
      &M::xWerkstuecknullpunkt, true),
    R("yWerkst\xC3\xBC"
      "cknullpunkt",
      &M::yWerkstuecknullpunkt),
    R("zWerkst\xC3\xBC"
      "cknullpunkt",
      &M::zWerkstuecknullpunkt),
    R("uWerkst\xC3\xBC"
      "cknullpunkt",
      &M::uWerkstuecknullpunkt),
    R("xParkposition", &M::xParkposition, true),
    R("yParkposition", &M::yParkposition),
    R("zParkposition", &M::zParkposition),
    R("uParkposition", &M::uParkposition),
    R("xWZLMessposition", &M::xWZLMessposition, true),
    R("yWZLMessposition", &M::yWZLMessposition),
    R("zWZLMessposition", &M::zWZLMessposition),
    R("zWZLdelta", &M::zWZLdelta),
    R("xWZWechselposition", &M::xWZWechselposition, true),
    R("yWZWechselposition", &M::yWZWechselposition),
    R("zWZWechselposition", &M::zWZWechselposition),
    R("uWZWechselposition", &M::uWZWechselposition),
};

bool Leer(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmen(std::string_view text) {
    while (!text.empty() && Leer(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Leer(text.back()))
        text.remove_suffix(1);
    return text;
}

// Lower case for comparing keys: ASCII, and the Latin-1 capitals (Ü among them) in their
// two-byte UTF-8 form.
std::string Schluessel_falten(std::string_view text) {
    std::string ziel(text);
    for (std::size_t i = 0; i < ziel.size(); ++i) {
        const auto b = static_cast<unsigned char>(ziel[i]);
        if (b >= 'A' && b <= 'Z') {
            ziel[i] = static_cast<char>(b + 32);
        } else if (b == 0xC3 && i + 1 < ziel.size()) {
            const auto f = static_cast<unsigned char>(ziel[i + 1]);
            // U+00C0..U+00DE without the multiplication sign U+00D7
            if (f >= 0x80 && f <= 0x9E && f != 0x97) ziel[i + 1] = static_cast<char>(f + 32);
            ++i;
        }
    }
    return ziel;
}

const std::unordered_map<std::string, std::size_t>& Schluesselindex() {
    static const auto index = [] {
        std::unordered_map<std::string, std::size_t> m;
        for (std::size_t i = 0; i < Schluesselliste.size(); ++i)
            m.emplace(Schluessel_falten(Schluesselliste[i].name), i);
        return m;
    }();
    return index;
}

std::size_t Laengster_Schluessel() {
    std::size_t laenge = 0;
    for (const auto& s : Schluesselliste)
        laenge = std::max(laenge, std::string_view(s.name).size());
    return laenge;
}

// A file that is well-formed UTF-8 and holds at least one multi-byte character was saved by
// an editor as UTF-8; everything else is the program's own Windows-1252.
std::string Dateitext(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    bool nur_ascii = true;
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            nur_ascii = false;
            break;
        }
    if (!nur_ascii && Gueltiges_Utf8(bytes)) return std::string(bytes);
    return Cp1252_zu_Utf8(bytes);
}

int32_t Ganzzahl_lesen(std::string_view wert) {
    try {
        return Text_zu_Ganzzahl(wert);
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

// The exponent form that Zahl_schreiben uses for large values ("1.234567E+06"); Text_zu_Zahl
// rejects the "E", so without this such a value would come back as 0.
std::optional<double> Exponentform_lesen(std::string_view wert) {
    const std::size_t e = wert.find_first_of("Ee");
    if (e == std::string_view::npos || wert.size() > 64) return std::nullopt;
    for (std::size_t i = 0; i < wert.size(); ++i) {
        const char c = wert[i];
        const bool erlaubt = (c >= '0' && c <= '9') || c == '.' || i == e ||
                             ((c == '-' || c == '+') && (i == 0 || i == e + 1));
        if (!erlaubt) return std::nullopt;
    }
    std::string_view zahl = wert;
    if (zahl.starts_with('+')) zahl.remove_prefix(1);
    double ergebnis = 0.0;
    const auto [ende, fehler] = std::from_chars(zahl.data(), zahl.data() + zahl.size(), ergebnis);
    if (fehler != std::errc{} || ende != zahl.data() + zahl.size() || !std::isfinite(ergebnis))
        return std::nullopt;
    return ergebnis;
}

double Zahl_lesen(std::string_view wert) {
    if (const auto e = Exponentform_lesen(Trimmen(wert))) return *e;
    try {
        const double ergebnis = Text_zu_Zahl(wert);
        return std::isfinite(ergebnis) ? ergebnis : 0.0;
    } catch (const Umwandlungsfehler&) {
        return 0.0;
    }
}

int32_t Reihenfolge_lesen(std::string_view wert) {
    const double zahl = std::trunc(Zahl_lesen(wert));
    // A place in the order that no int can hold is no place at all.
    if (!(zahl >= std::numeric_limits<int32_t>::min() &&
          zahl <= std::numeric_limits<int32_t>::max()))
        return 0;
    return static_cast<int32_t>(zahl);
}

// Fixed with two decimals; exponent form once the integer part has more than six digits,
// then with as many mantissa digits as the value needs to come back unchanged. NaN and
// infinity have no place in a machine setting and are written as 0.00.
std::string Zahl_schreiben(double wert) {
    if (!std::isfinite(wert)) return "0.00";
    char puffer[400];
    const auto fest =
        std::to_chars(puffer, puffer + sizeof puffer, wert, std::chars_format::fixed, 2);
    if (fest.ec != std::errc{}) return "0.00";
    std::string text(puffer, fest.ptr);
    if (text == "-0.00") return "0.00";
    const std::size_t vorzeichen = text.starts_with('-') ? 1 : 0;
    if (text.find('.') - vorzeichen <= 6) return text;

    const auto exp =
        std::to_chars(puffer, puffer + sizeof puffer, wert, std::chars_format::scientific);
    if (exp.ec != std::errc{}) return "0.00";
    text.assign(puffer, exp.ptr);
    const std::size_t e = text.find('e');
    std::string mantisse = text.substr(0, e);
    if (mantisse.find('.') == std::string::npos) mantisse += '.';
    while (mantisse.size() - mantisse.find('.') - 1 < 2)
        mantisse += '0';
    return mantisse + "E" + text.substr(e + 1);
}

void Korrekturen_anwenden(Maschinenparameter& p) {
    if (p.Steuersignal < 0 || p.Steuersignal > 1) p.Steuersignal = 1;
    if (p.Schrittbetrieb < 0 || p.Schrittbetrieb > 1) p.Schrittbetrieb = 1;
    if (p.Ruhestrom < 0 || p.Ruhestrom > 2) p.Ruhestrom = 0;
    if (p.ZBetrieb < 1 || p.ZBetrieb > 2) p.ZBetrieb = 1;
    if (p.UBetrieb < 0 || p.UBetrieb > 1) p.UBetrieb = 0;
    // The tool-length difference only means something to the types that keep it.
    if (!Typangaben(p.Modul).WZL_Differenz) p.zWZLdelta = 0.0;
}

std::string Dateiname_ohne_Endung_klein(const std::string& programmpfad) {
    const std::size_t schraegstrich = programmpfad.rfind('/');
    const std::size_t anfang = schraegstrich == std::string::npos ? 0 : schraegstrich + 1;
    std::string name = programmpfad.substr(anfang);
    const std::size_t punkt = name.rfind('.');
    if (punkt != std::string::npos && punkt > 0) name.resize(punkt);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return programmpfad.substr(0, anfang) + name;
}

// The stored path, or the one the program would form itself when nobody has set it.
std::string Wirksame_Parameterdatei() {
    if (!Parameterdatei().empty()) return Parameterdatei();
    const std::string programm = Programmpfad();
    const std::size_t schraegstrich = programm.rfind('/');
    return Parameterdateiname(Programmverzeichnis() + (schraegstrich == std::string::npos
                                                           ? programm
                                                           : programm.substr(schraegstrich + 1)));
}

} // namespace

Maschinenparameter& Parametersatz() {
    static Maschinenparameter satz;
    return satz;
}

std::string Parameterdateiname(const std::string& programmpfad) {
    return Dateiname_ohne_Endung_klein(programmpfad) + "_param.dat";
}

std::string Konfigurationsdateiname(const std::string& programmpfad) {
    return Dateiname_ohne_Endung_klein(programmpfad) + "_konfig.dat";
}

void Parameter_Standardwerte(Maschinenparameter& p) {
    p.Modul = 5;
    p.LPTAdresse = 888;
    p.ComPort = 1;
    p.Baudrate = 115200;
    p.Startfreq = 200;
    p.Arbeitsfreq = 400;
    p.Eilfreq = 600;
    p.Rampenlaenge = 200;
    p.xUebersetz = p.yUebersetz = p.zUebersetz = p.uUebersetz = 1.0;
    p.xMotStep = p.yMotStep = p.zMotStep = p.uMotStep = 400;
    p.Steuersignal = 0;
    p.Schrittbetrieb = 0;
    p.Ruhestrom = 1;
    p.ZBetrieb = 1;
    p.UBetrieb = 0;
    p.xRefOffset = p.yRefOffset = p.zRefOffset = p.uRefOffset = 0.25;
    p.RefFreq = 400;
    p.xRefNr = 2;
    p.yRefNr = 3;
    p.zRefNr = 1;
    p.uRefNr = 4;
    p.xRefAktiv = p.yRefAktiv = p.zRefAktiv = 1;
    p.uRefAktiv = 0;
    p.xWerkstuecknullpunkt = p.yWerkstuecknullpunkt = p.zWerkstuecknullpunkt =
        p.uWerkstuecknullpunkt = 0.0;
    p.xParkposition = p.yParkposition = p.zParkposition = p.uParkposition = 0.0;
    p.xWZLMessposition = p.yWZLMessposition = p.zWZLMessposition = 0.0;
    p.zWZLdelta = 0.0;
    p.xWZWechselposition = p.yWZWechselposition = p.zWZWechselposition = p.uWZWechselposition = 0.0;
}

void Parameter_Standardwerte() {
    Parameter_Standardwerte(Parametersatz());
}

void Parameter_aus_Dateiinhalt(Maschinenparameter& p, std::string_view bytes) {
    const std::string text = Dateitext(bytes);
    const auto& index = Schluesselindex();
    static const std::size_t laengster = Laengster_Schluessel();

    // One pass over the lines; only the first line of each key counts.
    std::array<std::optional<std::string_view>, Schluesselliste.size()> werte;
    std::size_t gefunden = 0;
    std::string_view rest = text;
    while (!rest.empty() && gefunden < werte.size()) {
        const std::size_t zeilenende = rest.find_first_of("\r\n");
        const std::string_view zeile = rest.substr(0, zeilenende);
        if (zeilenende == std::string_view::npos) {
            rest = {};
        } else {
            const bool crlf = rest[zeilenende] == '\r' && zeilenende + 1 < rest.size() &&
                              rest[zeilenende + 1] == '\n';
            rest.remove_prefix(zeilenende + (crlf ? 2 : 1));
        }
        const std::size_t gleich = zeile.find('=');
        if (gleich == std::string_view::npos) continue;
        // Blanks around a key come from hand editing; no key contains one.
        const std::string_view schluessel = Trimmen(zeile.substr(0, gleich));
        if (schluessel.empty() || schluessel.size() > laengster) continue;
        const auto treffer = index.find(Schluessel_falten(schluessel));
        if (treffer == index.end() || werte[treffer->second]) continue;
        werte[treffer->second] = zeile.substr(gleich + 1);
        ++gefunden;
    }

    for (std::size_t i = 0; i < Schluesselliste.size(); ++i) {
        const Schluessel& s = Schluesselliste[i];
        const std::string_view wert = werte[i].value_or(std::string_view{});
        switch (s.art) {
        case Art::ganz:
            p.*s.ganz = Ganzzahl_lesen(wert);
            break;
        case Art::reell:
            p.*s.reell = Zahl_lesen(wert);
            break;
        case Art::Reihenfolge:
            p.*s.ganz = Reihenfolge_lesen(wert);
            break;
        }
    }
    Korrekturen_anwenden(p);
}

void Parameterdatei_laden(Maschinenparameter& p, const std::string& pfad) {
    std::string bytes;
    if (!Datei_existiert(pfad)) {
        Parameter_Standardwerte(p);
        return;
    }
    if (!Datei_lesen(pfad, bytes)) {
        // Treated like a missing file: the machine gets its defaults instead of zeros.
        Protokoll_schreiben(Ebene_Fehler,
                            "Parameterdatei_laden() :: " + pfad + " nicht lesbar, Standardwerte");
        Parameter_Standardwerte(p);
        return;
    }
    Parameter_aus_Dateiinhalt(p, bytes);
}

std::string Parameterdatei_Inhalt(const Maschinenparameter& p) {
    std::string text;
    text.reserve(2048);
    bool erste = true;
    for (const Schluessel& s : Schluesselliste) {
        if (s.gruppenanfang && !erste) text += "\r\n";
        erste = false;
        text += s.name;
        text += '=';
        if (s.art == Art::reell)
            text += Zahl_schreiben(p.*s.reell);
        else
            text += std::to_string(p.*s.ganz);
        text += "\r\n";
    }
    return Utf8_zu_Cp1252(text);
}

bool Parameterdatei_speichern(const Maschinenparameter& p, const std::string& pfad) {
    std::string grund;
    if (Datei_atomar_schreiben(pfad, Parameterdatei_Inhalt(p), &grund)) return true;
    Protokoll_schreiben(Ebene_Fehler, "Parameterdatei_speichern() :: " + grund);
    // The path is named once above the reason.
    if (grund.starts_with(pfad + ": ")) grund.erase(0, pfad.size() + 2);
    oberflaeche().Meldung("Die Maschinenparameter konnten nicht in die Datei\n" + pfad +
                              "\ngespeichert werden.\n\nGrund: " + grund +
                              "\n\nDie Datei bleibt, wie sie war; die Änderungen gelten nur bis "
                              "zum Programmende.",
                          "orvexa2011", Symbol::warnung, Knoepfe::ok);
    return false;
}

std::string& Parameterdatei() {
    static std::string pfad;
    return pfad;
}

void Parameterdatei_laden() {
    Parameterdatei_laden(Parametersatz(), Wirksame_Parameterdatei());
}

bool Parameterdatei_speichern() {
    return Parameterdatei_speichern(Parametersatz(), Wirksame_Parameterdatei());
}

namespace {

constexpr std::array<const char*, 7> Vorlagennamen = {
    "cnc-concept", "cnc-step", "PC-NC", "WinPC-NC", "USB-iKXIF-v1", "USB-iKXIF-v1r2", "userdefined",
};

struct Pinbelegung {
    int32_t richtung[4], takt[4], ref[4];
    int32_t Bohrspindel, Kuehlmittelpumpe, Absaugung;
};

// The layout the parallel-port driver actually drives. "cnc-step" and "PC-NC" have no
// layout of their own and get this one, so that the pins shown are the pins in use.
constexpr Pinbelegung Grundbelegung = {{2, 4, 6, 8}, {3, 5, 7, 9}, {10, 11, 12, 13}, 1, 14, 0};

std::optional<Pinbelegung> Belegung(const std::string& name) {
    if (name == "cnc-concept" || name == "cnc-step" || name == "PC-NC" || name == "USB-iKXIF-v1r2")
        return Grundbelegung;
    if (name == "WinPC-NC")
        return Pinbelegung{{2, 4, 6, 8}, {3, 5, 7, 9}, {11, 12, 13, 0}, 14, 16, 10};
    if (name == "USB-iKXIF-v1")
        return Pinbelegung{{2, 4, 6, 8}, {3, 5, 7, 9}, {10, 11, 12, 13}, 14, 16, 17};
    return std::nullopt;
}

} // namespace

std::span<const char* const> Pinvorlagen() {
    return Vorlagennamen;
}

bool Pinvorlage_anwenden(Maschinenparameter& p, const std::string& name) {
    p.Absaugung = 0;
    if (const auto b = Belegung(name)) {
        p.xRichtung = b->richtung[0];
        p.yRichtung = b->richtung[1];
        p.zRichtung = b->richtung[2];
        p.uRichtung = b->richtung[3];
        p.xTakt = b->takt[0];
        p.yTakt = b->takt[1];
        p.zTakt = b->takt[2];
        p.uTakt = b->takt[3];
        p.xRef = b->ref[0];
        p.yRef = b->ref[1];
        p.zRef = b->ref[2];
        p.uRef = b->ref[3];
        p.Bohrspindel = b->Bohrspindel;
        p.Kuehlmittelpumpe = b->Kuehlmittelpumpe;
        p.Absaugung = b->Absaugung;
    }
    return name == "userdefined";
}

} // namespace orvexa
