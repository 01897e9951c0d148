#include "dosierzeitmessung.h"

#include "core/fehler.h"
#include "dispensing/domingprimitive.h"

#include <algorithm>
#include <cmath>

namespace orvexa {

int32_t Dosierzeitmessung::Startwert(double PDosierzeit) {
    const double viertel = std::trunc((PDosierzeit + 0.125) * 4.0);
    if (!(viertel > 0.0)) return 0; // negative and NaN
    return static_cast<int32_t>(std::min(viertel, double(Hoechstwert)));
}

Dosierzeitmessung::Dosierzeitmessung() : Warten(Doming_Warten) {}

void Dosierzeitmessung::Aktivieren() {
    m_dosiert = false;
    m_takt = false;
}

void Dosierzeitmessung::Setzen(int32_t wert) {
    m_wert = std::clamp(wert, 0, Hoechstwert);
}

void Dosierzeitmessung::Ventil_schalten(int32_t n) {
    if (Ventil) Ventil(n);
}

void Dosierzeitmessung::Dosieren_gedrueckt() {
    m_dosiert = true;
    m_takt = true;
    try {
        Ventil_schalten(1);
    } catch (const Steuerungsfehler& e) {
        m_dosiert = false;
        m_takt = false;
        try {
            Ventil_schalten(0);
        } catch (const Steuerungsfehler& e2) {
            Steuerungsfehler_melden(e2.code(), "DZDosierenButtonMouseDown()");
        }
        Steuerungsfehler_melden(e.code(), "DZDosierenButtonMouseDown()");
    }
}

void Dosierzeitmessung::Dosieren_losgelassen() {
    // A release without a press (the press failed, or the dialog was just shown) leaves the
    // closed valve alone.
    if (!m_dosiert) return;
    m_dosiert = false;
    try {
        Ventil_schalten(0);
    } catch (const Steuerungsfehler& e) {
        Steuerungsfehler_melden(e.code(), "DZDosierenButtonMouseUp()");
    }
}

void Dosierzeitmessung::Takt() {
    if (!m_takt) return;
    m_takt = false;
    Hoch();
    m_takt = m_dosiert;
}

void Dosierzeitmessung::Kompletter_Dosiervorgang() {
    const double s = Sekunden();
    if (!(s > 0.0)) return;
    try {
        Ventil_schalten(1);
        if (Warten) Warten(s);
        Ventil_schalten(0);
    } catch (const Steuerungsfehler& e) {
        try {
            Ventil_schalten(0);
        } catch (const Steuerungsfehler& e2) {
            Steuerungsfehler_melden(e2.code(), "DZDosiervorgangButtonClick()");
        }
        Steuerungsfehler_melden(e.code(), "DZDosiervorgangButtonClick()");
    }
}

} // namespace orvexa
