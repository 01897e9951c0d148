#include "steuerungstypen.h"

#include <array>

namespace orvexa {

namespace {

using V = Verbindungsart;
using T = Treiberart;
using S = Signalquelle;
using A = Ausgangsbereich;

// The presets of the types whose drives the operator chooses.
constexpr Antriebsvorgaben Antriebe_vorgeben{
    .Steuersignal = 0, .Schrittbetrieb = 0, .Ruhestrom = 1};

constexpr std::array<Steuerungstyp, 12> g_typen{{
    {.Modul = 0,
     .Radiotext = "  KX400 / 750",
     .Dialogtitel = "KX400 / KX750 - Parameter",
     .Anzeigename = "Schrittmotorsteuerkarte KX400/750",
     .Verbindung = V::Parallelport,
     .Treiber = T::Phasenkarte,
     .Antriebswahl = true,
     .Vorgaben = Antriebe_vorgeben,
     .Ausgaenge = A::nur_0_und_1,
     .Ausgangstitel = true,
     // One common switch input for all three axes of the phase card.
     .Referenzschalterpins = {11, 11, 11, 0}},
    {.Modul = 1,
     .Radiotext = "  KX750z",
     .Dialogtitel = "KX750z - Parameter",
     .Anzeigename = "KX750z",
     .Verbindung = V::Parallelport,
     .Treiber = T::TaktRichtKarte,
     .Kartenname = "KX750z",
     .Eingaenge =
         {.nur_pin11 = true, .aktiv_hoch = true, .Max_frequenz = 5000, .Pulsteiler = 10000},
     .Referenzschalterpins = {10, 11, 12, 0}},
    {.Modul = 2,
     .Radiotext = "  iKXIF",
     .Dialogtitel = "iKXIF - Parameter",
     .Anzeigename = "iKXIF",
     .Verbindung = V::Seriell,
     .Treiber = T::Ikxif,
     .Antriebswahl = true,
     .Ansteuersignal = S::Parameter,
     .ZBetrieb = true,
     .Vorgaben = {.Steuersignal = 0, .Schrittbetrieb = 0, .Ruhestrom = 1, .ZBetrieb = 1},
     .Ausgaenge = A::Ausgang_1_und_Stift,
     .Ausgangstitel = true},
    {.Modul = 3,
     .Radiotext = "  KX900-KXCU",
     .Dialogtitel = "KX900-KXCU - Parameter",
     .Anzeigename = "KX900-KXCU",
     .Verbindung = V::Seriell,
     .Treiber = T::Kxcu,
     .UBetrieb = true,
     .Vorgaben = {.UBetrieb = 1},
     .U_Parameter = true,
     .Ausgaenge = A::nur_0_und_1,
     .Rueckgesetzte_Ausgaenge = 2,
     .Schaltausgaenge = 2,
     .Ausgangstitel = true,
     .Festwertspeicher = true,
     .Kundenname_WT = true},
    {.Modul = 4,
     .Radiotext = "  Takt / Richtung",
     .Dialogtitel = "Takt / Richtung - Parameter",
     .Anzeigename = "Takt/Richtung",
     .Verbindung = V::Parallelport,
     .Treiber = T::TaktRichtKarte,
     .U_Achse = true,
     .U_Parameter = true,
     .Rueckgesetzte_Ausgaenge = 4,
     .Schaltausgaenge = 4,
     .Ausgangstitel = true,
     .Kartenname = "Takt/Richtung",
     .Eingaenge = {.gruppe_11_bis_15 = true},
     .Referenzschalterpins = {11, 12, 13, 15},
     .Kundenname_Torval = true},
    {.Modul = 5,
     .Radiotext = "  KXvario-KXCU",
     .Dialogtitel = "KXvario-KXCU - Parameter",
     .Anzeigename = "KXvario-KXCU",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 2,
     .Ansteuersignal = S::eigenes,
     .U_Achse = true,
     .WZL_Differenz = true,
     .Rueckgesetzte_Ausgaenge = 3,
     .Schaltausgaenge = 3,
     .Torval_Schaltausgang = true,
     .Ausgangstitel = true,
     .I2C_Ausgaenge = true,
     .Programmspeicher = true,
     .Ungeoeffnet_bis_Verbinden = true,
     .Vollinit_Anfragen = true,
     .Doming = true,
     .Kundenname_WT = true,
     .Kundenname_Torval = true},
    {.Modul = 6,
     .Radiotext = "  USB-iKXIF",
     .Dialogtitel = "USB-iKXIF - Parameter",
     .Anzeigename = "USB-iKXIF",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 3,
     .Antriebswahl = true,
     .Ansteuersignal = S::Parameter,
     .Vorgaben = Antriebe_vorgeben,
     .U_Achse = true,
     .WZL_Differenz = true,
     .Rueckgesetzte_Ausgaenge = 3,
     .Schaltausgaenge = 3,
     .Torval_Schaltausgang = true,
     .Ausgangstitel = true,
     .Programmspeicher = true,
     .Ungeoeffnet_bis_Verbinden = true,
     .Doming = true},
    {.Modul = 7,
     .Radiotext = "  KX-TR-500",
     .Dialogtitel = "KX-TR-500 - Parameter",
     .Anzeigename = "KX-TR-500",
     .Verbindung = V::Parallelport,
     .Treiber = T::TaktRichtKarte,
     .Rueckgesetzte_Ausgaenge = 2,
     .Kartenname = "KX-TR-500",
     .Referenzschalterpins = {10, 11, 12, 0}},
    {.Modul = 10,
     .Radiotext = "  KX400 / 750  *)",
     .Dialogtitel = "USB-IO-KX400 - Parameter",
     .Anzeigename = "USB-IO-KX400",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 4,
     .Antriebswahl = true,
     .Ansteuersignal = S::Parameter,
     .Vorgaben = Antriebe_vorgeben,
     .U_Achse = true,
     .Rueckgesetzte_Ausgaenge = 2,
     .Vollinit_Anfragen = true},
    {.Modul = 11,
     .Radiotext = "  KX750z  *)",
     .Dialogtitel = "USB-IO-KX750z - Parameter",
     .Anzeigename = "USB-IO-KX750z",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 4,
     .Ansteuersignal = S::eigenes,
     .Vorgaben = {.Steuersignal = 1},
     .U_Achse = true,
     .Rueckgesetzte_Ausgaenge = 2},
    {.Modul = 12,
     .Radiotext = "  Takt/Richtung  *)",
     .Dialogtitel = "USB-IO-Takt/Richtung - Parameter",
     .Anzeigename = "USB-IO-TAKT/RICHT",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 4,
     .Ansteuersignal = S::eigenes,
     .Vorgaben = {.Steuersignal = 1},
     .U_Achse = true,
     .Rueckgesetzte_Ausgaenge = 2},
    {.Modul = 13,
     .Radiotext = "  KX-TR-500  *)",
     .Dialogtitel = "USB-IO-KX-TR-500 - Parameter",
     .Anzeigename = "USB-IO-KX-TR-500",
     .Verbindung = V::Seriell,
     .Treiber = T::SerielleLinie,
     .Linientag = 4,
     .Ansteuersignal = S::eigenes,
     .U_Achse = true},
}};

constexpr Steuerungstyp g_ohne_typ{.Modul = -1,
                                   .Radiotext = "",
                                   .Dialogtitel = "",
                                   .Anzeigename = "",
                                   .Verbindung = V::keine,
                                   .Treiber = T::keiner};

} // namespace

std::span<const Steuerungstyp> Steuerungstypen() {
    return g_typen;
}

const Steuerungstyp* Steuerungstyp_zu(int32_t modul) {
    for (const auto& t : g_typen)
        if (t.Modul == modul) return &t;
    return nullptr;
}

const Steuerungstyp& Typangaben(int32_t modul) {
    const Steuerungstyp* typ = Steuerungstyp_zu(modul);
    return typ ? *typ : g_ohne_typ;
}

bool ist_speichernder_Treiber(Treiberart treiber) {
    return treiber == Treiberart::Ikxif || treiber == Treiberart::Kxcu;
}

bool ist_serieller_Typ(int32_t modul) {
    return Typangaben(modul).Treiber == Treiberart::SerielleLinie;
}

bool ist_paralleler_Typ(int32_t modul) {
    return Typangaben(modul).Verbindung == Verbindungsart::Parallelport;
}

bool ist_speichernder_Typ(int32_t modul) {
    return ist_speichernder_Treiber(Typangaben(modul).Treiber);
}

bool hat_Festwertspeicher(int32_t modul) {
    return Typangaben(modul).Festwertspeicher;
}

bool hat_Programmspeicher(int32_t modul) {
    return Typangaben(modul).Programmspeicher;
}

bool hat_Doming(int32_t modul) {
    return Typangaben(modul).Doming;
}

} // namespace orvexa
