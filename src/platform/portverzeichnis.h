#pragma once

#include <string>

namespace orvexa {

// Maps the port names COM1..COM63 to devices. Each mapping is a symbolic link named "COMn" in
// the port directory pointing at the device (best a stable /dev/serial/by-id/... link, which
// survives re-plugging). Without an entry COM1..COM4 mean /dev/ttyS0..3.

inline constexpr int COM_Nummer_max = 63;

// $ORVEXA_PORTS, or ~/.config/orvexa2011/ports when it is unset or empty. No trailing '/'.
std::string Portverzeichnis_Ordner();

// The device behind COMn: the fully resolved target of its entry (the link's own target when
// that does not resolve, so opening it fails instead of reaching another port), else
// /dev/ttyS0..3 for COM1..COM4, else empty. Empty for n outside 1..63.
std::string COM_Pfad(int n);

// True for a device that can be a serial port: a ttyS* whose UART type is known, a USB-serial
// or ACM device, or a pseudo-terminal that an entry of the port directory points at.
bool ist_echter_Port(const std::string& pfad);

// Points COMn at geraetepfad, replacing an existing entry atomically; creates the port
// directory when missing. A relative device path is taken from the current directory. False
// for n outside 1..63, an empty path, or when the link cannot be made.
bool COM_registrieren(int n, const std::string& geraetepfad);

// Removes the entry of COMn. True when no entry is left (also when there was none).
bool COM_abmelden(int n);

} // namespace orvexa
