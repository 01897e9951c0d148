#pragma once

#include <string>

namespace orvexa {

// Full path of the running executable (from /proc/self/exe).
std::string Programmpfad();

// Directory of the executable, with its trailing '/'. Tests and the simulated machine set
// another folder so that nothing is written beside the binary. An installed program (in
// /usr/bin, not writable by the operator) keeps its files in the operator's data folder instead.
std::string Programmverzeichnis();
void Programmverzeichnis_setzen(const std::string& verzeichnis);

// The choice above, given the executable's directory (with '/'), whether it can be written, and
// $XDG_DATA_HOME and $HOME (null when unset): the executable's directory when writable, else
// $XDG_DATA_HOME/orvexa2011/ (an absolute one only), else $HOME/.local/share/orvexa2011/, and
// the executable's directory when neither is known.
std::string Programmverzeichnis_waehlen(const std::string& exe_verzeichnis, bool beschreibbar,
                                        const char* xdg_data_home, const char* home);

} // namespace orvexa
