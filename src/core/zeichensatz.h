#pragma once

#include <string>
#include <string_view>

namespace orvexa {

// Inside the program every text is UTF-8; settings, tables and jobs are Windows-1252 files.
// These two functions are the only crossing between the two.

// Every byte becomes one character. The five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, so that any file
// survives a read and a write unchanged.
std::string Cp1252_zu_Utf8(std::string_view bytes);

// Characters that Windows-1252 cannot hold become '?'; so does every byte of malformed UTF-8
// (stray continuation bytes, overlong forms, surrogates, cut-off sequences).
std::string Utf8_zu_Cp1252(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF, no cut-off sequence at the end).
bool Gueltiges_Utf8(std::string_view text);

} // namespace orvexa
