#pragma once

#include <cstdint>
#include <string>

namespace orvexa {

// The flushing output and its state, for the flushing dialog: output 3 of the controller,
// switched through the command layer (Ausgangssignal_setzen).
class Spuelung {
public:
    static constexpr int32_t Ausgang = 3;
    // Status panel 5 of the Doming window before the first switch.
    static constexpr const char* Statustext_aus = "A3::OFF";

    bool An() const { return m_an; }
    // Switches the output the other way and returns the text for status panel 5: "A3::ON",
    // "A3::OFF", or "A3::???" after a failure, which is reported and leaves the state.
    std::string Umschalten();

private:
    bool m_an = false;
};

} // namespace orvexa
