#pragma once

#include <string>

namespace orvexa {

// Full path of the running executable (from /proc/self/exe).
std::string Programmpfad();

// Directory of the executable, with its trailing '/'. Tests and the simulated machine set
// another folder so that nothing is written beside the binary.
std::string Programmverzeichnis();
void Programmverzeichnis_setzen(const std::string& verzeichnis);

} // namespace orvexa
