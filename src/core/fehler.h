#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvexa {

// Error codes of the drivers and the command layer.
enum Fehlercode : int32_t {
    Fehler_bereits_gemeldet = -1,
    COM_PORT_ERROR = 1001,
    HANDLE_COM_PORT_ERROR = 1002,
    SEND_REQ_ERROR = 1003,
    COMMUNICATION_ERROR = 1006,
    OUT_OF_RANGE = 1007,
    NAK_ERROR = 1008,
    ACK_ERROR = 1009,
    RS_ERROR = 1010,
    WAIT_ABANDONED = 1011,
    WAIT_TIMEOUT = 1012,
    WAIT_FAILED = 1013,
    CR_ERROR = 1014,
    ETX_ERROR = 1015,
    STX_ERROR = 1016,
    NOT_DEFINED = 1017,
    BEL_ERROR = 1020,
    // A controller answer "E<n>" BEL maps to 1020 + n.
    Steuerungsfehler_Basis = 1020,
    // The position display gave an answer that cannot be read as an angle.
    ND261_MESSWERT_ERROR = 1201,
    THROW_ABORT = 2000,
};

// A controller error code travelling up to the dialog that started the action.
class Steuerungsfehler : public std::exception {
public:
    explicit Steuerungsfehler(int32_t code)
        : m_code(code), m_text("Steuerungsfehler " + std::to_string(code)) {}
    int32_t code() const noexcept { return m_code; }
    const char* what() const noexcept override { return m_text.c_str(); }

private:
    int32_t m_code;
    std::string m_text;
};

// A text that passed the character checks of the number readers and is still no number.
class Umwandlungsfehler : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "[WAIT_TIMEOUT]" and so on, brackets included; empty for a code without a name.
std::string Fehlername(int32_t code);

// "### unbekannter Befehl ###" and so on; "### default ###" for any other code.
std::string Steuerungsfehlertext(int32_t code);

// "Exception " followed by the name, or by the controller text in brackets.
std::string Fehlerbericht(int32_t code);

// Builds the report, shows it in a warning box when show_box is set (never for 2000) with
// caption as title, and logs caption " :: " report at level 128.
void Fehler_melden(bool show_box, int32_t code, const std::string& caption);

// Reports only when the configured controller is one of the serial types.
void Steuerungsfehler_melden(int32_t code, const std::string& caption);

} // namespace orvexa
