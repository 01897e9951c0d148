#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

// Writes inhalt to pfad through a temporary file in the same folder that is synced and then
// renamed over the old file, so a failed write never destroys the old file; the folder is
// synced after the rename so that the new name survives a power cut. On failure
// returns false and puts the reason (with the system's error text) into fehlertext.
bool Datei_atomar_schreiben(const std::string& pfad, std::string_view inhalt,
                            std::string* fehlertext = nullptr);

// Reads the whole file; false when it cannot be read.
bool Datei_lesen(const std::string& pfad, std::string& inhalt);

bool Datei_existiert(const std::string& pfad);

// Closes a descriptor once. Negative values are ignored. A failed close is logged at level
// 128 with errno and not retried: the descriptor is released either way and may already
// belong to another thread.
void koraCloseHandle(int handle);

// Sets access and modification time of the program directory's files of the fixed list of
// extensions, then those of *.mask1 and *.mask2, to zeit (UTC). Files that cannot be opened
// for reading and writing are skipped. Returns the number of files changed.
int Dateizeiten_setzen(const std::tm& zeit, const std::string& mask1, const std::string& mask2);

// The COMn names (n = 1..63) the port directory knows as real ports, ascending.
std::vector<std::string> COM_Ports_auflisten();

// The same ports for the operator, each with the device it stands for: "COM7 (/dev/ttyUSB0)".
std::vector<std::string> COM_Ports_mit_Geraet();

// One line of the port choice the operator sees.
struct Portangebot {
    std::string Anzeige; // "COM5  /dev/ttyUSB0 (FTDI FT232R USB UART)"
    int32_t Nummer = 0;  // n of COMn; for a new adapter the number it is to get
    bool Neu = false;    // an adapter without an entry yet, entered when chosen
    std::string Geraet;  // what the entry points (or is to point) at
    bool Zugriff = true; // this user may open it
};

// The line for one port: "COM5  /dev/ttyUSB0 (FTDI …)", with " – neu" for an adapter not yet
// entered and a hint when the user may not open it.
std::string Portanzeige(int32_t nummer, const std::string& knoten, const std::string& beschreibung,
                        bool neu, bool zugriff, const std::string& gruppe);

// The COM ports (ascending), then the USB serial adapters that have no COM number yet, each
// offered the next free number in turn.
std::vector<Portangebot> COM_Ports_zur_Wahl();

// Enters a chosen new adapter in the port directory, under its offered number while that is
// still free, else under the next free one, pointing at its stable path. Returns the number;
// an offer that is not new returns its own number. 0 on failure, with the reason in
// fehlertext.
int32_t Portangebot_eintragen(const Portangebot& angebot, std::string* fehlertext = nullptr);

} // namespace orvexa
