#include "standardtreiber.h"

#include "core/steuerung.h"
#include "drivers/ikxif.h"
#include "drivers/korabefehlssatz.h"
#include "drivers/kxcu.h"
#include "drivers/parallel_treiber.h"

#include <memory>
#include <utility>

namespace orvexa {

void Standardtreiber_einrichten() {
    Treiberfabrik fabrik;
    fabrik.SerielleLinie_erzeugen = [] { return std::make_unique<KoraBefehlssatz>(); };
    fabrik.Speichermodul_erzeugen = [](int32_t modul) -> std::unique_ptr<Speichermodul> {
        if (modul == 2) return std::make_unique<TIkxif>();
        if (modul == 3) return std::make_unique<TKxcu>();
        return nullptr;
    };
    Parallelkartentreiber_einrichten(fabrik);
    Treiberfabrik_setzen(std::move(fabrik));
}

} // namespace orvexa
