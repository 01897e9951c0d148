#include "steuerung.h"

#include "drivers/parallelkarte.h"
#include "drivers/seriellerbefehlssatz.h"
#include "drivers/speichermodul.h"

namespace orvexa {

std::atomic<bool> Stopp{false};

namespace {
Treiberfabrik g_fabrik;
std::unique_ptr<Parallelkarte> g_parallelkarte;
std::unique_ptr<Speichermodul> g_speichermodul;
std::unique_ptr<SeriellerBefehlssatz> g_linie;
} // namespace

Steuerungsinfo& Steuerung() {
    static Steuerungsinfo info;
    return info;
}

void Treiberfabrik_setzen(Treiberfabrik fabrik) {
    g_fabrik = std::move(fabrik);
}

void Steuerungsmodule_freigeben() {
    g_parallelkarte.reset();
    g_speichermodul.reset();
    g_linie.reset();
}

} // namespace orvexa
