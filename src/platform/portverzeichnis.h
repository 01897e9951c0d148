#pragma once

#include <string>
#include <vector>

namespace orvexa {

// Maps the port names COM1..COM63 to devices. Each mapping is a symbolic link named "COMn" in
// the port directory pointing at the device (best a stable /dev/serial/by-id/... link, which
// survives re-plugging). Without an entry COM1..COM4 mean /dev/ttyS0..3.

inline constexpr int COM_Nummer_max = 63;

// $ORVEXA_PORTS, or ~/.config/orvexa2011/ports when it is unset or empty. No trailing '/'.
std::string Portverzeichnis_Ordner();

// Where device nodes and the kernel's device tree are looked for: $ORVEXA_DEV or /dev,
// $ORVEXA_SYS or /sys. Tests point them at a made-up tree. No trailing '/'.
std::string Geraeteordner();
std::string Systemordner();

// The device behind COMn: the fully resolved target of its entry (the link's own target when
// that does not resolve, so opening it fails instead of reaching another port), else
// the device folder's ttyS0..3 for COM1..COM4, else empty. Empty for n outside 1..63.
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

// Whether COMn has an entry in the port directory (also one whose device is unplugged).
bool COM_eingetragen(int n);

// The lowest COM number at or above ab that has no entry and stands for no real port (COM1..4
// fall back to the ttyS nodes); 0 when none is left.
int Freie_COM_Nummer(int ab = 1);

// A USB serial adapter that is plugged in.
struct USB_Adapter {
    std::string Knoten;        // the device node, e.g. /dev/ttyUSB0
    std::string Stabiler_Pfad; // its /dev/serial/by-id link when there is one, else Knoten
    std::string Beschreibung;  // maker and product for the operator; may be empty
};

// The adapters present: ttyUSB* and ttyACM* nodes and the by-id links, ordered by node.
std::vector<USB_Adapter> USB_Adapter_auflisten();

// The COM number whose entry leads to the same device as pfad; 0 when none does.
int COM_Nummer_von(const std::string& pfad);

// Maker and product of a tty node from the device tree, else read from its by-id name
// ("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" gives "FTDI FT232R USB UART A50285BI").
// by_id may be empty. Empty when neither tells anything.
std::string Port_Beschreibung(const std::string& knoten, const std::string& by_id = {});

// Whether this user may open the device for reading and writing; when not, the group that
// may (empty when the node's group has no name or is root's).
struct Zugriffsrecht {
    bool erlaubt = false;
    std::string Gruppe;
};
Zugriffsrecht Zugriff_pruefen(const std::string& pfad);

} // namespace orvexa
