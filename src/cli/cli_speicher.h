#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace orvexa {

// How 'memory' reaches the controller: the same options and set-up as 'run'.
struct Verbindungsoptionen {
    std::string parameterdatei; // empty: the default beside the program
    std::string programmverzeichnis;
    bool simulation = false;
    double zeitskala = 0;
};

// What the runner lends the command: its set-up (program directory, protocol log, machine
// parameters; false after a message) and its connect-run-close frame, which returns the exit
// code of the action it runs or its own for a failed connect.
struct Steuerungszugang {
    std::function<bool(const Verbindungsoptionen&)> Einrichten;
    std::function<int(const Verbindungsoptionen&, const std::function<int()>& aktion)>
        Mit_Steuerung;
};

// "orvexa-cli memory list|read N|write N TABLE.edt|erase N|erase-all --yes" (argv[1] is
// "memory"): the program memory of a KXvario-KXCU or USB-iKXIF as the program memory dialog
// handles it. Returns the exit status; a bad command line exits with 2 at once.
int Speicher_Befehl(int argc, char** argv, const Steuerungszugang& zugang);
void Speicher_Hilfe(std::FILE* ziel);

} // namespace orvexa
