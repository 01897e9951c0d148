#pragma once

#include <string>

namespace orvexa::test {

// The control bytes of the serial controllers' answers, and an error answer as the line
// carries it.
inline constexpr char ACK = 6;
inline constexpr char BEL = 7;
inline constexpr char NAK = 21;
inline const std::string ack(1, ACK);
inline const std::string nak(1, NAK);

inline std::string E(int n) {
    return "E" + std::to_string(n) + BEL;
}

} // namespace orvexa::test
