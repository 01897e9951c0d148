#pragma once

namespace orvexa {

// Installs the driver factory of the program: the serial types get the command set on the
// serial link (KoraBefehlssatz). The parallel-port card modules and the program-storing
// modules are not built yet; their entries stay empty, so the command layer does nothing for
// those types until they are filled in here.
void Standardtreiber_einrichten();

} // namespace orvexa
