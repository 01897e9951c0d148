#include "tflashthread.h"

namespace orvexa {

TFlashThread::~TFlashThread() {
    Beenden_im_Destruktor();
}

bool TFlashThread::Befehl_geben(int befehl, int platz, const Schreibauftrag& auftrag) {
    {
        std::lock_guard lock(m_mutex);
        m_platz = platz;
        m_auftrag = auftrag;
    }
    return Dialogarbeiter::Befehl_geben(befehl);
}

void TFlashThread::Befehl_ausfuehren(int befehl) {
    int platz = 1;
    Schreibauftrag auftrag;
    {
        std::lock_guard lock(m_mutex);
        platz = m_platz;
        auftrag = m_auftrag;
    }
    switch (befehl) {
    case Befehl_Platz_waehlen:
        m_speicher.Platz_waehlen(platz);
        break;
    case Befehl_Auslesen:
        m_speicher.Programm_auslesen(platz);
        break;
    case Befehl_Loeschen:
        m_speicher.Programm_loeschen(platz);
        break;
    case Befehl_Alle_loeschen:
        m_speicher.Alle_Programme_loeschen();
        break;
    case Befehl_Schreiben:
        m_speicher.Programm_schreiben(platz, m_lauf, auftrag);
        break;
    default:
        break;
    }
}

} // namespace orvexa
