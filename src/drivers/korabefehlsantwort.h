#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvexa {

// The checks of the microcontroller command set on the answers it gets, apart from the link so
// that any answer can be put to them. Each gives the code the command raises (0: accepted).

// The number of the controller's refusal "E<n>" BEL, or -1 for any other answer.
int Fehlerantwort_nummer(std::string_view antwort);

// A setting is confirmed by an answer that begins with ACK; anything else is ACK_ERROR, except
// the refusal "E<eigene_fehlernummer>" BEL of a command that has one of its own, which is
// Steuerungsfehler_Basis + that number. eigene_fehlernummer < 0: none.
int32_t Quittung_pruefen(std::string_view antwort, int eigene_fehlernummer = -1);

// The first answer of a motion or dwell: NAK (the move runs, a completion answer follows), in
// store mode ACK; anything else is NAK_ERROR (ACK_ERROR in store mode).
int32_t Bewegungsantwort_pruefen(std::string_view antwort, bool speichermodus);

// The answer to "@L<achse>": "@L", the axis, a blank, the position, a closing byte.
enum class Positionsbefund { gelesen, fremd, leer, keine_Zahl };
Positionsbefund Positionsantwort_lesen(char achse, std::string_view antwort, int32_t& position);

// The answer to "@I<eingang>": "@I", the letter, a blank, the level, ACK. Whether it belongs to
// the input, and its level: 1, 0, or -1 when the fifth character is neither.
bool Eingangsantwort_passt(char eingang, std::string_view antwort);
int Eingangspegel_lesen(std::string_view antwort);

// The version text in the answer to "@V" (what follows "@V ", without the closing byte).
std::optional<std::string> Versionsantwort_lesen(std::string_view antwort);

// The confirmations of "@B" (stop) and "@S" (immediate stop).
bool Halteantwort_passt(std::string_view antwort);
bool Sofortstoppantwort_passt(std::string_view antwort);

} // namespace orvexa
