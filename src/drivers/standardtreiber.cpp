#include "standardtreiber.h"

#include "core/steuerung.h"
#include "core/steuerungstypen.h"
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
        switch (Typangaben(modul).Treiber) {
        case Treiberart::Ikxif:
            return std::make_unique<TIkxif>();
        case Treiberart::Kxcu:
            return std::make_unique<TKxcu>();
        default:
            return nullptr;
        }
    };
    Parallelkartentreiber_einrichten(fabrik);
    Treiberfabrik_setzen(std::move(fabrik));
}

} // namespace orvexa
