#include "korabefehlsantwort.h"

#include "core/fehler.h"

#include <limits>

namespace orvexa {

namespace {

constexpr char ACK = 6;
constexpr char BEL = 7;
constexpr char NAK = 21;

// Decimal with an optional leading "-", within int32; false for anything else.
bool Ganzzahl_lesen(std::string_view text, int32_t& wert) {
    const bool negativ = !text.empty() && text[0] == '-';
    std::size_t i = negativ ? 1 : 0;
    if (i >= text.size()) return false;
    int64_t w = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        w = w * 10 + (text[i] - '0');
        if (w > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
    }
    if (negativ) w = -w;
    if (w < std::numeric_limits<int32_t>::min() || w > std::numeric_limits<int32_t>::max())
        return false;
    wert = static_cast<int32_t>(w);
    return true;
}

// The data of a multi-byte answer: what follows the prefix, without the closing ACK or BEL.
std::string_view Nutzdaten(std::string_view antwort, std::size_t praefixlaenge) {
    std::string_view daten = antwort.substr(praefixlaenge);
    if (!daten.empty()) daten.remove_suffix(1);
    return daten;
}

// "@" plus the letter and the argument, then a blank.
bool Mit_Kopf(std::string_view antwort, char buchstabe, char argument) {
    return antwort.size() >= 4 && antwort[0] == '@' && antwort[1] == buchstabe &&
           antwort[2] == argument && antwort[3] == ' ';
}

} // namespace

int Fehlerantwort_nummer(std::string_view antwort) {
    if (antwort.size() == 3 && antwort[0] == 'E' && antwort[1] >= '0' && antwort[1] <= '9' &&
        antwort[2] == BEL)
        return antwort[1] - '0';
    return -1;
}

int32_t Quittung_pruefen(std::string_view antwort, int eigene_fehlernummer) {
    if (!antwort.empty() && antwort.front() == ACK) return 0;
    if (eigene_fehlernummer >= 0 && Fehlerantwort_nummer(antwort) == eigene_fehlernummer)
        return Steuerungsfehler_Basis + eigene_fehlernummer;
    return ACK_ERROR;
}

int32_t Bewegungsantwort_pruefen(std::string_view antwort, bool speichermodus) {
    // In store mode the controller keeps the command for later and only confirms it.
    const char erwartet = speichermodus ? ACK : NAK;
    if (!antwort.empty() && antwort.front() == erwartet) return 0;
    return speichermodus ? ACK_ERROR : NAK_ERROR;
}

Positionsbefund Positionsantwort_lesen(char achse, std::string_view antwort, int32_t& position) {
    if (!Mit_Kopf(antwort, 'L', achse)) return Positionsbefund::fremd;
    const std::string_view text = Nutzdaten(antwort, 4);
    if (text.empty()) return Positionsbefund::leer;
    // A position that is no number must not pass as 0: the caller would take it as true.
    return Ganzzahl_lesen(text, position) ? Positionsbefund::gelesen : Positionsbefund::keine_Zahl;
}

bool Eingangsantwort_passt(char eingang, std::string_view antwort) {
    return Mit_Kopf(antwort, 'I', eingang);
}

int Eingangspegel_lesen(std::string_view antwort) {
    const char pegel = antwort.size() > 4 ? antwort[4] : '\0';
    if (pegel == '1') return 1;
    if (pegel == '0') return 0;
    return -1;
}

std::optional<std::string> Versionsantwort_lesen(std::string_view antwort) {
    if (!antwort.starts_with("@V ")) return std::nullopt;
    return std::string(Nutzdaten(antwort, 3));
}

bool Halteantwort_passt(std::string_view antwort) {
    return antwort.starts_with("@B");
}

bool Sofortstoppantwort_passt(std::string_view antwort) {
    return antwort.starts_with("@RS");
}

} // namespace orvexa
