#pragma once

namespace orvexa {

// Installs the driver factory of the program: the serial types get the command set on the
// serial link (KoraBefehlssatz), the parallel types their card modules. The program-storing
// modules are not built yet; their entry stays empty, so the command layer does nothing for
// those types until it is filled in here.
void Standardtreiber_einrichten();

} // namespace orvexa
