#pragma once

#include "platform/qt/qtoberflaeche.h"
#include "testhilfen.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orvexa::test {

// Queues window work to the Qt event loop like the program does; boxes and beeps are recorded.
class Fensteroberflaeche : public QtOberflaeche {
public:
    explicit Fensteroberflaeche(AufzeichnendeOberflaeche& ui) : m_ui(ui) {}
    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override {
        return m_ui.Meldung(text, titel, symbol, knoepfe);
    }
    void Piepton(int hz, int ms) override { m_ui.Piepton(hz, ms); }

private:
    AufzeichnendeOberflaeche& m_ui;
};

// Boxes as the program shows them: one asked for on a worker is recorded on the window thread
// while the worker waits, and Waehrend_der_Meldung (when set) runs there as long as the box
// is open. A window thread that does not get to a box within Frist_ms fails the test instead
// of hanging it: the worker goes on with the default answer and the box is counted as not
// shown.
class Modale_Fensteroberflaeche : public QtOberflaeche {
public:
    static constexpr int Frist_ms = 15000;

    explicit Modale_Fensteroberflaeche(AufzeichnendeOberflaeche& ui) : m_ui(ui) {}

    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override {
        if (!qApp || im_Fensterthread_jetzt()) return Zeigen(text, titel, symbol, knoepfe);
        struct Auftrag {
            std::mutex mutex;
            std::condition_variable gezeigt;
            bool fertig = false;
            bool verfallen = false;
            Antwort antwort = Antwort::ok;
        };
        auto auftrag = std::make_shared<Auftrag>();
        auftrag->antwort = Standardantwort(knoepfe);
        QMetaObject::invokeMethod(
            qApp,
            [this, auftrag, text, titel, symbol, knoepfe] {
                {
                    std::lock_guard lock(auftrag->mutex);
                    if (auftrag->verfallen) return;
                }
                const Antwort antwort = Zeigen(text, titel, symbol, knoepfe);
                std::lock_guard lock(auftrag->mutex);
                auftrag->antwort = antwort;
                auftrag->fertig = true;
                auftrag->gezeigt.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(auftrag->mutex);
        if (!auftrag->gezeigt.wait_for(lock, std::chrono::milliseconds(Frist_ms),
                                       [&] { return auftrag->fertig; })) {
            auftrag->verfallen = true;
            ++m_nicht_gezeigt;
        }
        return auftrag->antwort;
    }

    // Boxes of a worker that the window thread did not get to in time.
    int Nicht_gezeigt() const { return m_nicht_gezeigt.load(); }

    std::function<void()> Waehrend_der_Meldung;

private:
    Antwort Zeigen(const std::string& text, const std::string& titel, Symbol symbol,
                   Knoepfe knoepfe) {
        const Antwort antwort = m_ui.Meldung(text, titel, symbol, knoepfe);
        if (Waehrend_der_Meldung) Waehrend_der_Meldung();
        return antwort;
    }

    AufzeichnendeOberflaeche& m_ui;
    std::atomic<int> m_nicht_gezeigt{0};
};

} // namespace orvexa::test
