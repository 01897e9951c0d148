#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa {

// Writes inhalt to pfad through a temporary file in the same folder that is synced and then
// renamed over the old file, so a failed write never destroys the old file. On failure
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

} // namespace orvexa
