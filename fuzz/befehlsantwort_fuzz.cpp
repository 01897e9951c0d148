// Arbitrary bytes as an answer to the commands of the microcontroller command set. The first
// byte chooses the axis or input letter and store mode; the rest is the answer. Besides crashes
// and overruns each check is held against what it promises: a position agrees with an
// independent reading of the same digits, a refusal is mapped only when it is exactly
// "E<n>" BEL of the command's own number, a level is read from the fifth character.
#include "core/fehler.h"
#include "drivers/korabefehlsantwort.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    using namespace orvexa;
    if (groesse == 0) return 0;
    const char zeichen = static_cast<char>(daten[0] & 0x7F);
    const bool speichermodus = (daten[0] & 0x80) != 0;
    const std::string_view antwort(reinterpret_cast<const char*>(daten + 1), groesse - 1);
    const bool ack = !antwort.empty() && antwort.front() == 0x06;
    const bool nak = !antwort.empty() && antwort.front() == 0x15;

    const int nummer = Fehlerantwort_nummer(antwort);
    if (nummer != -1 && (nummer < 0 || nummer > 9 || antwort.size() != 3 || antwort[0] != 'E' ||
                         antwort[1] != '0' + nummer || antwort[2] != 0x07))
        __builtin_trap();

    for (const int eigene : {-1, 1, 9}) {
        const int32_t code = Quittung_pruefen(antwort, eigene);
        if (ack != (code == 0)) __builtin_trap();
        if (!ack && eigene >= 0 && nummer == eigene && code != Steuerungsfehler_Basis + eigene)
            __builtin_trap();
        if (!ack && (eigene < 0 || nummer != eigene) && code != ACK_ERROR) __builtin_trap();
    }

    const int32_t bewegung = Bewegungsantwort_pruefen(antwort, speichermodus);
    if ((bewegung == 0) != (speichermodus ? ack : nak)) __builtin_trap();
    if (bewegung != 0 && bewegung != (speichermodus ? ACK_ERROR : NAK_ERROR)) __builtin_trap();

    const bool kopf_l = antwort.size() >= 4 && antwort.starts_with("@L") && antwort[2] == zeichen &&
                        antwort[3] == ' ';
    int32_t position = 0x5A5A5A5A;
    const Positionsbefund befund = Positionsantwort_lesen(zeichen, antwort, position);
    if ((befund == Positionsbefund::fremd) != !kopf_l) __builtin_trap();
    if (kopf_l) {
        const std::string_view text =
            antwort.substr(4, antwort.size() > 4 ? antwort.size() - 5 : 0);
        if ((befund == Positionsbefund::leer) != text.empty()) __builtin_trap();
        int32_t erwartet = 0;
        const auto [ende, fehler] =
            std::from_chars(text.data(), text.data() + text.size(), erwartet);
        const bool zahl =
            !text.empty() && fehler == std::errc{} && ende == text.data() + text.size();
        if (!text.empty() && (befund == Positionsbefund::gelesen) != zahl) __builtin_trap();
        if (befund == Positionsbefund::gelesen && position != erwartet) __builtin_trap();
    }
    if (befund != Positionsbefund::gelesen && position != 0x5A5A5A5A) __builtin_trap();

    const bool kopf_i = antwort.size() >= 4 && antwort.starts_with("@I") && antwort[2] == zeichen &&
                        antwort[3] == ' ';
    if (Eingangsantwort_passt(zeichen, antwort) != kopf_i) __builtin_trap();
    const int pegel = Eingangspegel_lesen(antwort);
    const char fuenftes = antwort.size() > 4 ? antwort[4] : '\0';
    if (pegel != (fuenftes == '1' ? 1 : fuenftes == '0' ? 0 : -1)) __builtin_trap();

    const auto version = Versionsantwort_lesen(antwort);
    if (version.has_value() != antwort.starts_with("@V ")) __builtin_trap();
    if (version && (version->size() + 3 + (antwort.size() > 3 ? 1 : 0) != antwort.size() ||
                    antwort.substr(3).find(*version) != 0))
        __builtin_trap();

    if (Halteantwort_passt(antwort) != antwort.starts_with("@B")) __builtin_trap();
    if (Sofortstoppantwort_passt(antwort) != antwort.starts_with("@RS")) __builtin_trap();
    return 0;
}
