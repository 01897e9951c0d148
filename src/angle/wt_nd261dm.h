#pragma once

#include "platform/seriellerport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvexa {

class Winkeltranskript;

// The baud rate of a baud text: 2400, 4800, 9600, 19200 or 57600; any other text 115200.
int32_t ND261_Baudrate(std::string_view baudtext);
// 7 data bits, even parity, 2 stop bits, DTR and RTS on, at the baud of the baud text.
Porteinstellungen ND261_Porteinstellungen(std::string_view baudtext);

// Collects the bytes of one answer as they arrive: at most 19 are kept, the answer ends with
// its LF, which is doubled so that a complete answer ends in CR LF LF.
class ND261_Antwortsammler {
public:
    static constexpr std::size_t Antwort_max = 19;
    // True when b was the LF that ends the answer.
    bool Byte(uint8_t b);
    // The answer; ended says whether the LF came (then an LF is appended).
    std::string Abschliessen(bool beendet) const;

private:
    std::string m_antwort;
};

// The angle in an answer of Messwert_lesen: a sign, the value, CR LF LF, blanks ahead ignored.
// nullopt for an answer that is cut off (no CR LF LF), has no sign or whose value is no number:
// such a reading is not to be trusted. An empty answer is no reading either.
std::optional<double> ND261_Antwort_lesen(std::string_view antwort);

// The link to the HEIDENHAIN ND261 position display on its own serial port: opens it, asks
// the display for its value and reads the angle in degrees.
//
// Threads: called from the window thread (the test panel) or from the vector output's worker,
// never from both at once; the waits pump window messages on the window thread.
class TWT_ND261DM {
public:
    static constexpr const char* Titel = "ND261";
    static constexpr char STX = 0x02;
    static constexpr int Stillefrist_vorgabe_ms = 1000;

    explicit TWT_ND261DM(Winkeltranskript& transkript);
    ~TWT_ND261DM();
    TWT_ND261DM(const TWT_ND261DM&) = delete;
    TWT_ND261DM& operator=(const TWT_ND261DM&) = delete;

    // Closes the link, opens port_text ("COM2") at the baud of baud_text and discards both
    // buffers. A port that cannot be opened shows "%s kann nicht geöffnet werden!"; an empty
    // port text fails without a message.
    bool ND261_oeffnen(const std::string& port_text, const std::string& baud_text);
    void ND261_schliessen();
    bool Offen() const { return m_port.Offen(); }

    // One request and its answer (see ND261_Antwortsammler); empty when the link is closed.
    // Stops after the LF or after Stillefrist of silence. After a request that got not a
    // byte, the next one drops the first whole answer it receives: the late one of before.
    std::string Messwert_lesen();
    // The display's angle, added to the transcript as "IstWinkel: ". 0 without asking while the
    // stop flag is set, and 0 on a closed link. An answer that cannot be read throws
    // Steuerungsfehler(ND261_MESSWERT_ERROR) after a transcript line and a log line.
    double Istwinkel_lesen();

    // The vector output's VekAbbruch; not owned. nullptr: never stopped.
    void Abbruchflag_setzen(const std::atomic<bool>* vekabbruch) { m_vekabbruch = vekabbruch; }
    void Stillefrist_setzen(int ms) { m_stillefrist_ms = ms; }

private:
    Winkeltranskript& m_transkript;
    SeriellerPort m_port;
    const std::atomic<bool>* m_vekabbruch = nullptr;
    int m_stillefrist_ms = Stillefrist_vorgabe_ms;
    // The last request got no answer at all; kept when the link is opened again, since the
    // same display may still send it.
    bool m_antwort_ausstehend = false;
};

} // namespace orvexa
