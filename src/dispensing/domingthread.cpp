#include "dispensing/domingthread.h"

#include "core/arbeitsende.h"
#include "core/fehler.h"
#include "core/steuerung.h"

#include <utility>

namespace orvexa {

TDomingThread::TDomingThread(DomingAblauf& ablauf) : m_ablauf(ablauf) {
    m_ablauf.Befehl_begonnen = [this] { Begonnen(); };
}

TDomingThread::~TDomingThread() {
    Beenden_im_Destruktor();
    m_ablauf.Befehl_begonnen = nullptr;
}

bool TDomingThread::RefBitBtn() {
    return Uebernehmen(Befehl_Referenzfahrt, {});
}

bool TDomingThread::Fahren(const DomingJogeingaben& eingaben) {
    return Uebernehmen(Befehl_Fahren, [&] { m_jog = eingaben; });
}

bool TDomingThread::Lauf(const DomingLaufeingaben& eingaben) {
    return Uebernehmen(Befehl_Lauf, [&] { m_lauf = eingaben; });
}

bool TDomingThread::Uebernehmen(int befehl, const std::function<void()>& eingaben_setzen) {
    if (!Laeuft()) return false;
    if (m_beschaeftigt.exchange(true)) return false;
    {
        std::lock_guard lock(m_mutex);
        m_begonnen = false;
        m_stopp_vorgemerkt = false;
        if (eingaben_setzen) eingaben_setzen();
    }
    if (Befehl_geben(befehl)) return true;
    std::lock_guard lock(m_mutex);
    // A stop noted meanwhile belonged to this press only.
    m_stopp_vorgemerkt = false;
    m_beschaeftigt = false;
    return false;
}

void TDomingThread::Abbrechen() {
    bool jetzt = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_beschaeftigt) return;
        if (m_begonnen)
            jetzt = true;
        else
            m_stopp_vorgemerkt = true;
    }
    // Not under the lock: the stop waits for the link, and a failure shows a box.
    if (jetzt) Anhalten();
}

void TDomingThread::Begonnen() {
    bool vorgemerkt = false;
    {
        std::lock_guard lock(m_mutex);
        m_begonnen = true;
        vorgemerkt = std::exchange(m_stopp_vorgemerkt, false);
    }
    if (vorgemerkt) Anhalten();
}

void TDomingThread::Anhalten() {
    try {
        Achsen_anhalten();
    } catch (const Steuerungsfehler& f) {
        Steuerungsfehler_melden(f.code(), "AbbrechenBitBtnClick()");
    }
}

DomingLaufergebnis TDomingThread::Laufergebnis() const {
    std::lock_guard lock(m_mutex);
    return m_laufergebnis;
}

int32_t TDomingThread::Letzter_Fehlercode() const {
    std::lock_guard lock(m_mutex);
    return m_fehlercode;
}

void TDomingThread::Befehl_ausfuehren(int befehl) {
    DomingLaufeingaben lauf;
    DomingJogeingaben jog;
    {
        std::lock_guard lock(m_mutex);
        lauf = m_lauf;
        jog = m_jog;
    }
    const char* caption = befehl == Befehl_Lauf            ? "StartBitBtn_Thread()"
                          : befehl == Befehl_Fahren        ? "DomingMouseDown_Thread()"
                          : befehl == Befehl_Referenzfahrt ? "RefBitBtn_Thread()"
                                                           : "TDomingThread";
    int32_t code = 0;
    // The commands report their own failures; this catches what would escape them, so that
    // the window always returns to idle.
    const int32_t entkommen = Arbeit_ausfuehren(caption, [&] {
        switch (befehl) {
        case Befehl_Referenzfahrt:
            code = m_ablauf.RefBitBtn_Thread();
            break;
        case Befehl_Fahren:
            code = m_ablauf.DomingMouseDown_Thread(jog);
            break;
        case Befehl_Lauf: {
            const DomingLaufergebnis e = m_ablauf.StartBitBtn_Thread(lauf);
            code = e.Fehlercode;
            std::lock_guard lock(m_mutex);
            m_laufergebnis = e;
            break;
        }
        default:
            break;
        }
    });
    if (Noch_zu_melden(entkommen)) Steuerungsfehler_melden(entkommen, caption);
    {
        std::lock_guard lock(m_mutex);
        m_fehlercode = entkommen != 0 ? entkommen : code;
        m_begonnen = false;
        m_stopp_vorgemerkt = false;
    }
    if (Befehl_beendet) Befehl_beendet(befehl);
    m_beschaeftigt = false;
}

} // namespace orvexa
