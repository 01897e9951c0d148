#include "zeichensatz.h"

#include <cstdint>

namespace orvexa {

namespace {

// Code points of the bytes 0x80..0x9F; the undefined ones map to the C1 control of their
// own value.
constexpr char32_t Bereich_80_9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void Utf8_anhaengen(std::string& ziel, char32_t c) {
    if (c < 0x80) {
        ziel += static_cast<char>(c);
    } else if (c < 0x800) {
        ziel += static_cast<char>(0xC0 | (c >> 6));
        ziel += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        ziel += static_cast<char>(0xE0 | (c >> 12));
        ziel += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        ziel += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        ziel += static_cast<char>(0xF0 | (c >> 18));
        ziel += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        ziel += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        ziel += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t Ungueltig = 0xFFFFFFFF;

// Decodes the character at text[pos]; on success advances pos past it. Malformed input
// returns Ungueltig and advances pos by one byte only, so decoding resynchronises at once.
char32_t Zeichen_lesen(std::string_view text, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    std::size_t laenge = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        laenge = 2;
        c = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        laenge = 3;
        c = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        laenge = 4;
        c = b0 & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return Ungueltig;
    }
    if (text.size() - pos < laenge) {
        ++pos;
        return Ungueltig;
    }
    for (std::size_t i = 1; i < laenge; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return Ungueltig;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return Ungueltig;
    }
    pos += laenge;
    return c;
}

char Cp1252_Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return static_cast<char>(c);
    if (c >= 0x100)
        for (unsigned i = 0; i < 32; ++i)
            if (Bereich_80_9F[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string Cp1252_zu_Utf8(std::string_view bytes) {
    std::string ziel;
    ziel.reserve(bytes.size() + bytes.size() / 8);
    for (const char z : bytes) {
        const auto b = static_cast<unsigned char>(z);
        if (b < 0x80)
            ziel += z;
        else if (b < 0xA0)
            Utf8_anhaengen(ziel, Bereich_80_9F[b - 0x80]);
        else
            Utf8_anhaengen(ziel, b);
    }
    return ziel;
}

std::string Utf8_zu_Cp1252(std::string_view text) {
    std::string ziel;
    ziel.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = Zeichen_lesen(text, pos);
        ziel += c == Ungueltig ? '?' : Cp1252_Byte(c);
    }
    return ziel;
}

bool Gueltiges_Utf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size())
        if (Zeichen_lesen(text, pos) == Ungueltig) return false;
    return true;
}

} // namespace orvexa
