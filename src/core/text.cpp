#include "text.h"

#include <cstdarg>
#include <cstdio>

#include "fehler.h"

#include <charconv>
#include <limits>

namespace orvexa {

namespace {

bool Ziffer(char c) {
    return c >= '0' && c <= '9';
}
bool Vorzeichen(char c) {
    return c == '+' || c == '-';
}
bool Leer(char c) {
    return c == ' ' || c == '\t';
}

char Klein(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Klein(std::string_view text) {
    std::string ziel(text);
    for (char& c : ziel)
        c = Klein(c);
    return ziel;
}

std::string_view Trimmen(std::string_view text) {
    std::size_t anfang = 0;
    std::size_t ende = text.size();
    while (anfang < ende && Leer(text[anfang]))
        ++anfang;
    while (ende > anfang && Leer(text[ende - 1]))
        --ende;
    return text.substr(anfang, ende - anfang);
}

[[noreturn]] void Keine_Zahl(const std::string& text) {
    throw Umwandlungsfehler("'" + text + "' ist keine gültige Zahl");
}

} // namespace

double Text_zu_Zahl(std::string_view text) {
    const std::string s = Leerzeichen_entfernen(text);
    if (s.empty()) return 0.0;
    for (const char c : s)
        if (!Ziffer(c) && c != '.' && c != ',' && !Vorzeichen(c)) return 0.0;
    if (s.size() == 1 && Vorzeichen(s[0])) return 0.0;
    if (s.starts_with("--")) return 0.0;

    const char trenner = s.find(',') != std::string::npos ? ',' : '.';
    std::size_t i = 0;
    bool negativ = false;
    if (Vorzeichen(s[0])) {
        negativ = s[0] == '-';
        ++i;
    }
    // from_chars wants a plain "digits.digits" with no sign.
    std::string zahl = "0";
    bool trenner_gesehen = false;
    bool ziffer_gesehen = false;
    for (; i < s.size(); ++i) {
        if (Ziffer(s[i])) {
            zahl += s[i];
            ziffer_gesehen = true;
        } else if (s[i] == trenner && !trenner_gesehen) {
            zahl += '.';
            trenner_gesehen = true;
        } else {
            Keine_Zahl(s);
        }
    }
    if (!ziffer_gesehen) Keine_Zahl(s);
    if (zahl.back() == '.') zahl += '0';

    double wert = 0.0;
    const auto [ende, fehler] = std::from_chars(zahl.data(), zahl.data() + zahl.size(), wert);
    // 31 characters cannot leave the range of a double; checked all the same.
    if (fehler != std::errc{} || ende != zahl.data() + zahl.size()) Keine_Zahl(s);
    return negativ ? -wert : wert;
}

int32_t Text_zu_Ganzzahl(std::string_view text) {
    const std::string s = Leerzeichen_entfernen(text);
    if (s.empty()) return 0;
    for (const char c : s)
        if (!Ziffer(c) && !Vorzeichen(c)) return 0;

    std::size_t i = 0;
    bool negativ = false;
    if (Vorzeichen(s[0])) {
        negativ = s[0] == '-';
        ++i;
    }
    if (i == s.size()) Keine_Zahl(s);
    // One more than INT32_MAX so that the most negative value fits.
    constexpr int64_t grenze = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t wert = 0;
    for (; i < s.size(); ++i) {
        if (!Ziffer(s[i])) Keine_Zahl(s);
        wert = wert * 10 + (s[i] - '0');
        if (wert > grenze)
            throw Umwandlungsfehler("'" + s + "' liegt außerhalb des Zahlenbereichs");
    }
    if (!negativ && wert == grenze)
        throw Umwandlungsfehler("'" + s + "' liegt außerhalb des Zahlenbereichs");
    return static_cast<int32_t>(negativ ? -wert : wert);
}

bool Text_zu_Bool(std::string_view text) {
    const std::string s = Klein(Trimmen(text));
    return s == "true" || s == "wahr" || s == "ja" || s == "1";
}

std::string Text_trimmen(std::string_view text) {
    return std::string(Trimmen(text));
}

std::string Ganzzahlteil(std::string_view text) {
    std::string_view s = Trimmen(text);
    s = s.substr(0, s.find(','));
    s = s.substr(0, s.find('.'));
    return std::string(s);
}

std::string Leerzeichen_entfernen(std::string_view text) {
    std::string ziel;
    ziel.reserve(Eingabepuffer_max + 4);
    for (const char c : text) {
        if (c == ' ') continue;
        ziel += c;
        if (ziel.size() > Eingabepuffer_max) break;
    }
    return Utf8_kuerzen(ziel, Eingabepuffer_max);
}

std::string Utf8_kuerzen(std::string_view text, std::size_t max) {
    if (text.size() <= max) return std::string(text);
    // Back off over the continuation bytes to the start of the character that does not fit.
    std::size_t ende = max;
    while (ende > 0 && (static_cast<unsigned char>(text[ende]) & 0xC0) == 0x80)
        --ende;
    return std::string(text.substr(0, ende));
}

int32_t Ganzzahl_oder_null(std::string_view text) {
    try {
        return Text_zu_Ganzzahl(text);
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

std::string Zwei_Dezimalen(double wert) {
    return Formatieren("%.2f", wert);
}

int32_t COM_Nummer_lesen(std::string_view text) {
    int64_t wert = 0;
    for (const char c : text) {
        if (!Ziffer(c)) continue;
        wert = wert * 10 + (c - '0');
        // No port has such a number; the name does not name one.
        if (wert > std::numeric_limits<int32_t>::max()) return 0;
    }
    return static_cast<int32_t>(wert);
}

std::string Dateiendung_sicherstellen(const std::string& name, const std::string& extension) {
    const std::size_t schraegstrich = name.rfind('/');
    const std::size_t namensanfang = schraegstrich == std::string::npos ? 0 : schraegstrich + 1;
    const std::size_t punkt = name.rfind('.');
    std::string vorhanden;
    if (punkt != std::string::npos && punkt >= namensanfang) vorhanden = name.substr(punkt);
    if (Klein(vorhanden) == Klein(extension)) return name;
    return name + extension;
}

std::string Formatieren(const char* format, ...) {
    std::va_list argumente;
    va_start(argumente, format);
    std::va_list kopie;
    va_copy(kopie, argumente);
    const int laenge = std::vsnprintf(nullptr, 0, format, kopie);
    va_end(kopie);
    std::string text;
    if (laenge > 0) {
        text.resize(static_cast<std::size_t>(laenge) + 1);
        std::vsnprintf(text.data(), text.size(), format, argumente);
        text.resize(static_cast<std::size_t>(laenge));
    }
    va_end(argumente);
    return text;
}

} // namespace orvexa
