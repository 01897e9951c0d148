#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <termios.h>

namespace orvexa {

// Line settings of a serial port. Paritaet is 'N' (none), 'E' (even) or 'O' (odd); lower case
// is accepted too. DTR and RTS are the levels held while the port is open.
struct Porteinstellungen {
    int32_t Baudrate = 115200;
    int Datenbits = 8; // 7 or 8
    char Paritaet = 'N';
    int Stoppbits = 1; // 1 or 2
    bool DTR = false;
    bool RTS = true;
};

// One serial port (ttyS, ttyUSB, ttyACM or a pseudo-terminal) in raw mode: no echo, no line
// editing, no signals, no CR/LF translation, no flow control, so every byte passes unchanged.
//
// Threads: one thread may read (Byte_lesen) while another writes (Schreiben), purges (Leeren)
// or asks for the waiting bytes; Lesen_abbrechen may be called from any thread at any time.
// Oeffnen and Schliessen must not overlap any other call: the owner first wakes a blocked
// reader with Lesen_abbrechen and waits until it has left Byte_lesen, then closes.
class SeriellerPort {
public:
    // Negative results of Byte_lesen.
    enum Leseergebnis : int {
        Zeitueberschreitung = -1,
        Abgebrochen = -2, // Lesen_abbrechen was called
        Getrennt = -3,    // the device went away (unplugged, pseudo-terminal master closed)
        Fehler = -4,      // see Letzter_Fehler
    };

    // Time a write may make no progress before Schreiben gives up.
    static constexpr int Schreibfrist_ms = 2000;

    SeriellerPort();
    ~SeriellerPort();
    SeriellerPort(const SeriellerPort&) = delete;
    SeriellerPort& operator=(const SeriellerPort&) = delete;

    // Closes a port that is open, then opens pfad for exclusive use and applies the settings.
    // Settings are checked before the device is touched (opening raises DTR and RTS on real
    // ports, which resets some controllers); invalid ones fail with EINVAL. DTR/RTS that the
    // device cannot switch (a pseudo-terminal) are ignored. A cancel left over from before is
    // dropped. False on failure, with the reason in Letzter_Fehler.
    bool Oeffnen(const std::string& pfad, const Porteinstellungen& einstellungen);
    bool Offen() const { return m_fd.load() >= 0; }

    // errno of the last failed operation; EIO after Getrennt, ETIMEDOUT after a stuck write.
    int Letzter_Fehler() const { return m_fehler.load(); }

    // The next received byte (0..255) or a Leseergebnis. timeout_ms < 0 waits without limit,
    // 0 only looks. A pending cancel takes precedence over waiting bytes.
    int Byte_lesen(int timeout_ms);

    // The blocked, or else the next, Byte_lesen returns Abgebrochen. Several calls before that
    // read count once.
    void Lesen_abbrechen();

    // Bytes received and not yet read; -1 on error (EIO once the device has gone).
    int Wartende_Bytes();

    // Writes all bytes. False when the port is closed, the device has gone, or the device
    // accepted nothing for frist_ms (ETIMEDOUT). One writer at a time.
    bool Schreiben(std::string_view bytes, int frist_ms = Schreibfrist_ms);

    // Discards received bytes not yet read and/or bytes not yet sent.
    bool Leeren(bool empfang, bool senden);

    // Closes the port; does nothing when it is closed.
    void Schliessen();

    // termios of basis changed to raw mode with these settings; nullopt for invalid settings.
    static std::optional<termios> Einstellungen_zu_termios(const Porteinstellungen& einstellungen,
                                                           const termios& basis);
    // 2400, 4800, 9600, 19200, 38400, 57600, 115200 or 230400.
    static bool Baudrate_gueltig(int32_t baud);

private:
    void Fehler_merken(int fehler) { m_fehler.store(fehler); }

    std::atomic<int> m_fd{-1};
    int m_abbruch_fd = -1; // eventfd, lives as long as the object
    int m_abbruch_anlegefehler = 0;
    std::atomic<int> m_fehler{0};
};

} // namespace orvexa
