#include "manuellefahrt_thread.h"

#include "core/steuerung.h"
#include "manuellefahrt.h"

namespace orvexa {

TManuelleFahrtThread::~TManuelleFahrtThread() {
    Beenden_im_Destruktor();
}

bool TManuelleFahrtThread::Befehl_annehmen(int befehl) {
    return Uebernehmen(befehl, 0);
}

bool TManuelleFahrtThread::Fahren(int32_t richtung) {
    return Uebernehmen(Befehl_Fahren, richtung);
}

bool TManuelleFahrtThread::Uebernehmen(int befehl, int32_t richtung) {
    if (!Laeuft() || befehl == Befehl_keiner) return false;
    if (m_beschaeftigt.exchange(true)) return false;
    if (befehl == Befehl_Fahren) m_fahrt.Richtung_setzen(richtung);
    Steuerung().Abbruch = false;
    if (!Befehl_geben(befehl)) {
        m_beschaeftigt = false;
        return false;
    }
    return true;
}

void TManuelleFahrtThread::Befehl_ausfuehren(int befehl) {
    struct Frei {
        std::atomic<bool>& b;
        ~Frei() { b = false; }
    } frei{m_beschaeftigt};
    switch (befehl) {
    case Befehl_Relais_aus:
        m_fahrt.Relais_schalten(false);
        break;
    case Befehl_Relais_ein:
        m_fahrt.Relais_schalten(true);
        break;
    case Befehl_Anfahren:
        m_fahrt.Anfahren();
        break;
    case Befehl_Fahren:
        m_fahrt.Fahren();
        break;
    default:
        break;
    }
}

} // namespace orvexa
