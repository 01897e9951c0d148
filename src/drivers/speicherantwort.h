#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvexa {

// The bytes that the program-storing controllers send back, taken one at a time: STX and ETX
// switch the busy flag (ETX while recording into the fixed memory means "memory full"
// instead), every byte goes into the answer while it fits, and a CR ends the answer. Kept free
// of the port so that any byte stream can be fed to it.
class Antwortleser {
public:
    static constexpr unsigned char STX = 0x02;
    static constexpr unsigned char ETX = 0x03;
    static constexpr unsigned char CR = 0x0D;

    explicit Antwortleser(std::size_t antwort_max) : m_max(antwort_max) {}

    // A new answer begins; the flags stay.
    void Beginnen() { m_antwort.clear(); }
    // True when the byte ends the answer.
    bool Byte(unsigned char byte, bool aufzeichnung);

    const std::string& Antwort() const { return m_antwort; }
    std::size_t Antwort_max() const { return m_max; }

    bool Beschaeftigt = false;
    bool Aufzeichnung_beendet = false;

private:
    std::size_t m_max;
    std::string m_antwort;
};

// The identification in the answer to "@V": the text from the fourth character up to the CR,
// when the answer is longer than two characters, begins with "@V" and that text begins with
// anfang; nullopt otherwise.
std::optional<std::string> Kennung_lesen(std::string_view antwort, std::string_view anfang);

// The position in the answer to "@L": the characters from the fourth up to but not including
// the last, read as a decimal integer (blanks around it and a sign allowed), when the answer
// begins with "@L"; 0 for every other answer, for a text that is no number and for a number
// outside 32 bits.
int32_t Position_lesen(std::string_view antwort);

} // namespace orvexa
