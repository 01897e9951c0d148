#pragma once

#include "platform/oberflaeche.h"

namespace orvexa {

// The operator interface on Qt. Worker threads are marshalled to the window thread: message
// boxes block the worker until the operator answered, display updates are queued. A window
// thread that waits for a worker must keep processing messages (or the worker must not ask it
// to block), or both would wait for each other.
class QtOberflaeche : public Oberflaeche {
public:
    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override;
    void Piepton(int hz, int ms) override;
    void Nachrichten_verarbeiten() override;
    void im_Fensterthread(std::function<void()> f, bool warten) override;

    static bool im_Fensterthread_jetzt();
};

} // namespace orvexa
