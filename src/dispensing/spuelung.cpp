#include "spuelung.h"

#include "core/fehler.h"
#include "core/steuerung.h"

namespace orvexa {

std::string Spuelung::Umschalten() {
    const bool neu = !m_an;
    try {
        Ausgangssignal_setzen(Ausgang, neu ? 1 : 0);
    } catch (const Steuerungsfehler& e) {
        Steuerungsfehler_melden(e.code(), "SpuelungBitBtnClick()");
        return "A3::???";
    }
    m_an = neu;
    return m_an ? "A3::ON" : "A3::OFF";
}

} // namespace orvexa
