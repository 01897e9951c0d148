#pragma once

#include "core/steuerung.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvexa {

class Parallelkarte;

// The card module of a parallel type: TKX400 for Modul 0, TTaktRicht for 1, 4 and 7;
// nullptr for every other type.
std::unique_ptr<Parallelkarte> Parallelkarte_erzeugen(int32_t modul);

// Fills the parallel-card entry of the command layer's driver factory.
void Parallelkartentreiber_einrichten(Treiberfabrik& fabrik);

// Shared by both card modules.
namespace kartenmodul {

using orvexa::Achse_bleibt;
inline constexpr int32_t Laengste_Wartezeit_ms = 3'600'000;

// The distance of an absolute target from the module's position; 0 for Achse_bleibt.
int32_t Zielabstand(int32_t ziel, int32_t position);
// The value, or the limit after telling the operator in a box.
int32_t Begrenzen(int32_t wert, int32_t grenze, const std::string& text, const std::string& titel);
// 0..3 for x, y, z, u in either case; -1 for anything else.
int Achsnummer(char achse);
// The wait clamp with its box.
int32_t Wartezeit_begrenzen(int32_t ms);

} // namespace kartenmodul

} // namespace orvexa
