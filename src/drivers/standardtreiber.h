#pragma once

namespace orvexa {

// Installs the driver factory of the program: the serial types get the command set on the
// serial link (KoraBefehlssatz), the parallel types their card modules, types 2 and 3 the
// program-storing modules (TIkxif, TKxcu).
void Standardtreiber_einrichten();

} // namespace orvexa
