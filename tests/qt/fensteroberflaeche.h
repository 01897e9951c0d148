#pragma once

#include "platform/qt/qtoberflaeche.h"
#include "testhilfen.h"

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

} // namespace orvexa::test
