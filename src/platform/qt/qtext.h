#pragma once

#include <QString>

#include <string>

namespace orvexa {

// The program's texts are UTF-8 throughout.
inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
inline QString Q(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace orvexa
