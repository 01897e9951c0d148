#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

// Operator input is read through fixed 31-character buffers.
inline constexpr std::size_t Eingabepuffer_max = 31;

// Real number from operator input: "," or "." as the decimal separator, spaces ignored; text
// that fails the character checks gives 0.0; text that passes them and is still no number
// throws Umwandlungsfehler.
double Text_zu_Zahl(std::string_view text);
// Integer from operator input, same rules with digits and signs only.
int32_t Text_zu_Ganzzahl(std::string_view text);
// "true", "wahr", "ja" or "1" in any case, blanks around allowed.
bool Text_zu_Bool(std::string_view text);

std::string Text_trimmen(std::string_view text);
// Integer part of a decimal number as text: trimmed, cut before the first "," then ".".
std::string Ganzzahlteil(std::string_view text);
// At most max bytes of text, cut before a UTF-8 character that would not fit whole.
std::string Utf8_kuerzen(std::string_view text, std::size_t max);
// The integer of a cell or field; anything that is no integer counts as 0.
int32_t Ganzzahl_oder_null(std::string_view text);
// "%.2f", the fixed two decimals of positions and speeds in the windows and logs.
std::string Zwei_Dezimalen(double wert);

// Every space removed; at most 31 characters are kept.
std::string Leerzeichen_entfernen(std::string_view text);

// The port number in a name such as "COM12"; 0 when there are no digits.
int32_t COM_Nummer_lesen(std::string_view text);

// printf-style formatting into a string (the log lines and requests are built this way).
[[gnu::format(printf, 1, 2)]] std::string Formatieren(const char* format, ...);

// name with extension appended unless its lower-cased extension already equals extension.
std::string Dateiendung_sicherstellen(const std::string& name, const std::string& extension);

} // namespace orvexa
