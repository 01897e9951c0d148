#include "oberflaeche.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace orvexa {

namespace {

const char* Symbolname(Symbol s) {
    switch (s) {
    case Symbol::information:
        return "Information";
    case Symbol::warnung:
        return "Warnung";
    case Symbol::fehler:
        return "Fehler";
    case Symbol::frage:
        return "Frage";
    case Symbol::keins:
        break;
    }
    return "Meldung";
}

KopfloseOberflaeche& kopflos() {
    static KopfloseOberflaeche instanz;
    return instanz;
}

std::atomic<Oberflaeche*> g_oberflaeche{nullptr};

} // namespace

Antwort Standardantwort(Knoepfe knoepfe) {
    switch (knoepfe) {
    case Knoepfe::ja_nein:
    case Knoepfe::ja_nein_abbrechen:
        return Antwort::ja;
    case Knoepfe::ok:
    case Knoepfe::ok_abbrechen:
        break;
    }
    return Antwort::ok;
}

Antwort KopfloseOberflaeche::Meldung(const std::string& text, const std::string& titel,
                                     Symbol symbol, Knoepfe knoepfe) {
    std::fprintf(stderr, "[%s] %s: %s\n", Symbolname(symbol), titel.c_str(), text.c_str());
    return Standardantwort(knoepfe);
}

void KopfloseOberflaeche::Piepton(int /*hz*/, int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void KopfloseOberflaeche::im_Fensterthread(std::function<void()> f, bool /*warten*/) {
    if (f) f();
}

Antwort AufzeichnendeOberflaeche::Meldung(const std::string& text, const std::string& titel,
                                          Symbol symbol, Knoepfe knoepfe) {
    std::lock_guard lock(m_mutex);
    m_meldungen.push_back({text, titel, symbol, knoepfe});
    if (m_antworten.empty()) return Standardantwort(knoepfe);
    const Antwort a = m_antworten.front();
    m_antworten.pop_front();
    return a;
}

void AufzeichnendeOberflaeche::Piepton(int hz, int ms) {
    // Recorded, not played: tests must not wait for the beep's duration.
    std::lock_guard lock(m_mutex);
    m_toene.push_back({hz, ms});
}

void AufzeichnendeOberflaeche::Nachrichten_verarbeiten() {
    std::lock_guard lock(m_mutex);
    ++m_pumpaufrufe;
}

void AufzeichnendeOberflaeche::im_Fensterthread(std::function<void()> f, bool /*warten*/) {
    if (f) f();
}

void AufzeichnendeOberflaeche::Antworten_vorgeben(std::vector<Antwort> antworten) {
    std::lock_guard lock(m_mutex);
    m_antworten.assign(antworten.begin(), antworten.end());
}

std::vector<AufzeichnendeOberflaeche::Eintrag> AufzeichnendeOberflaeche::Meldungen() const {
    std::lock_guard lock(m_mutex);
    return m_meldungen;
}

std::vector<AufzeichnendeOberflaeche::Ton> AufzeichnendeOberflaeche::Toene() const {
    std::lock_guard lock(m_mutex);
    return m_toene;
}

int AufzeichnendeOberflaeche::Pumpaufrufe() const {
    std::lock_guard lock(m_mutex);
    return m_pumpaufrufe;
}

void AufzeichnendeOberflaeche::Leeren() {
    std::lock_guard lock(m_mutex);
    m_meldungen.clear();
    m_toene.clear();
    m_antworten.clear();
    m_pumpaufrufe = 0;
}

Oberflaeche& oberflaeche() {
    Oberflaeche* o = g_oberflaeche.load(std::memory_order_acquire);
    return o ? *o : kopflos();
}

void Oberflaeche_setzen(Oberflaeche* o) {
    g_oberflaeche.store(o, std::memory_order_release);
}

} // namespace orvexa
