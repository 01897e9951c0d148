#include "speicherantwort.h"

#include <charconv>

namespace orvexa {

bool Antwortleser::Byte(unsigned char byte, bool aufzeichnung) {
    if (byte == STX) {
        Beschaeftigt = false;
    } else if (byte == ETX) {
        if (aufzeichnung)
            Aufzeichnung_beendet = true;
        else
            Beschaeftigt = true;
    }
    if (m_antwort.size() < m_max) m_antwort += static_cast<char>(byte);
    return byte == CR;
}

std::optional<std::string> Kennung_lesen(std::string_view antwort, std::string_view anfang) {
    if (antwort.size() <= 2 || !antwort.starts_with("@V")) return std::nullopt;
    std::string_view text = antwort.substr(std::min<std::size_t>(3, antwort.size()));
    if (!text.starts_with(anfang)) return std::nullopt;
    const std::size_t cr = text.find(static_cast<char>(Antwortleser::CR));
    if (cr != std::string_view::npos) text = text.substr(0, cr);
    return std::string(text);
}

int32_t Position_lesen(std::string_view antwort) {
    if (antwort.size() < 4 || !antwort.starts_with("@L")) return 0;
    std::string_view text = antwort.substr(3, antwort.size() - 4);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    // from_chars takes no '+'.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    int32_t wert = 0;
    const auto [ende, fehler] = std::from_chars(text.data(), text.data() + text.size(), wert);
    if (fehler != std::errc{} || ende != text.data() + text.size()) return 0;
    return wert;
}

} // namespace orvexa
