#include "standardtreiber.h"

#include "core/steuerung.h"
#include "drivers/korabefehlssatz.h"
#include "drivers/parallel_treiber.h"

#include <memory>
#include <utility>

namespace orvexa {

void Standardtreiber_einrichten() {
    Treiberfabrik fabrik;
    fabrik.SerielleLinie_erzeugen = [] { return std::make_unique<KoraBefehlssatz>(); };
    Parallelkartentreiber_einrichten(fabrik);
    Treiberfabrik_setzen(std::move(fabrik));
}

} // namespace orvexa
