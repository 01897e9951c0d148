#include "dialogarbeiter.h"

#include <cstdio>
#include <exception>

namespace orvexa {

Dialogarbeiter::~Dialogarbeiter() {
    // A derived class should have ended the thread already; this is the last safety net.
    if (m_thread.joinable()) Ende_anfordern_und_abwarten();
}

void Dialogarbeiter::Beenden_im_Destruktor() {
    if (m_thread.joinable()) Ende_anfordern_und_abwarten();
}

void Dialogarbeiter::Starten() {
    if (m_thread.joinable()) return;
    m_beenden = false;
    m_befehl = Befehl_keiner;
    hEventRun.Zuruecksetzen();
    hEventIdle.Zuruecksetzen();
    hEventCmd.Zuruecksetzen();
    hEventEnd.Zuruecksetzen();
    m_thread = std::thread([this] { Schleife(); });
    hEventRun.Warten();
}

bool Dialogarbeiter::Befehl_geben(int befehl) {
    if (!m_thread.joinable()) return false;
    if (hEventIdle.Warten(Annahmefrist_ms) != Warteergebnis::signalisiert) return false;
    m_befehl = befehl;
    hEventCmd.Setzen();
    return true;
}

bool Dialogarbeiter::Beenden(bool auf_Leerlauf_warten) {
    if (!m_thread.joinable()) return true;
    if (auf_Leerlauf_warten && hEventIdle.Warten(Annahmefrist_ms) != Warteergebnis::signalisiert)
        return false;
    Ende_anfordern_und_abwarten();
    return true;
}

void Dialogarbeiter::Ende_anfordern_und_abwarten() {
    m_beenden = true;
    m_befehl = Befehl_keiner;
    hEventCmd.Setzen();
    hEventEnd.Warten();
    m_thread.join();
}

void Dialogarbeiter::Unerwarteter_Fehler(const std::string& text) {
    std::fprintf(stderr, "Dialogarbeiter: %s\n", text.c_str());
}

void Dialogarbeiter::Schleife() {
    hEventRun.Setzen();
    do {
        hEventIdle.Setzen();
        hEventCmd.Warten();
        hEventIdle.Zuruecksetzen();
        const int befehl = m_befehl.load();
        if (befehl == Befehl_keiner) continue;
        try {
            Befehl_ausfuehren(befehl);
        } catch (const std::exception& e) {
            Unerwarteter_Fehler(e.what());
        } catch (...) {
            Unerwarteter_Fehler("unbekannte Ausnahme");
        }
    } while (!m_beenden.load());
    hEventEnd.Setzen();
}

} // namespace orvexa
