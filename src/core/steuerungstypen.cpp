#include "steuerungstypen.h"

#include <array>

namespace orvexa {

namespace {

using V = Verbindungsart;
using T = Treiberart;

constexpr std::array<Steuerungstyp, 12> g_typen{{
    {0, "  KX400 / 750", "KX400 / KX750 - Parameter", "Schrittmotorsteuerkarte KX400/750",
     V::Parallelport, T::Phasenkarte, 0},
    {1, "  KX750z", "KX750z - Parameter", "KX750z", V::Parallelport, T::TaktRichtKarte, 0},
    {2, "  iKXIF", "iKXIF - Parameter", "iKXIF", V::Seriell, T::Ikxif, 0},
    {3, "  KX900-KXCU", "KX900-KXCU - Parameter", "KX900-KXCU", V::Seriell, T::Kxcu, 0},
    {4, "  Takt / Richtung", "Takt / Richtung - Parameter", "Takt/Richtung", V::Parallelport,
     T::TaktRichtKarte, 0},
    {5, "  KXvario-KXCU", "KXvario-KXCU - Parameter", "KXvario-KXCU", V::Seriell, T::SerielleLinie,
     2},
    {6, "  USB-iKXIF", "USB-iKXIF - Parameter", "USB-iKXIF", V::Seriell, T::SerielleLinie, 3},
    {7, "  KX-TR-500", "KX-TR-500 - Parameter", "KX-TR-500", V::Parallelport, T::TaktRichtKarte, 0},
    {10, "  KX400 / 750  *)", "USB-IO-KX400 - Parameter", "USB-IO-KX400", V::Seriell,
     T::SerielleLinie, 4},
    {11, "  KX750z  *)", "USB-IO-KX750z - Parameter", "USB-IO-KX750z", V::Seriell, T::SerielleLinie,
     4},
    {12, "  Takt/Richtung  *)", "USB-IO-Takt/Richtung - Parameter", "USB-IO-TAKT/RICHT", V::Seriell,
     T::SerielleLinie, 4},
    {13, "  KX-TR-500  *)", "USB-IO-KX-TR-500 - Parameter", "USB-IO-KX-TR-500", V::Seriell,
     T::SerielleLinie, 4},
}};

} // namespace

std::span<const Steuerungstyp> Steuerungstypen() {
    return g_typen;
}

const Steuerungstyp* Steuerungstyp_zu(int32_t modul) {
    for (const auto& t : g_typen)
        if (t.Modul == modul) return &t;
    return nullptr;
}

bool ist_serieller_Typ(int32_t modul) {
    const auto* t = Steuerungstyp_zu(modul);
    return t && t->Treiber == Treiberart::SerielleLinie;
}

bool ist_paralleler_Typ(int32_t modul) {
    const auto* t = Steuerungstyp_zu(modul);
    return t && t->Verbindung == Verbindungsart::Parallelport;
}

bool ist_speichernder_Typ(int32_t modul) {
    return modul == 2 || modul == 3;
}

} // namespace orvexa
