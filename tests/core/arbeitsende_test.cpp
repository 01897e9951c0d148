// The one way a worker command ends: controller codes pass through for the caller to report,
// anything else is shown once as a programming error, and nothing escapes.

#include "core/arbeitsende.h"

#include "core/fehler.h"
#include "testhilfen.h"

#include <gmock/gmock.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace orvexa;
using orvexa::test::Testumgebung;
using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

class ArbeitsendeTest : public Testumgebung {};

struct Fall {
    const char* name;
    std::function<void()> aktion;
    int32_t code;
    const char* box; // nullptr: no box
};

TEST_F(ArbeitsendeTest, JedeArtDesEndesGibtIhrenCodeUndHoechstensEineBox) {
    const std::vector<Fall> faelle{
        {"durchgelaufen", [] {}, 0, nullptr},
        {"Steuerungsfehler", [] { throw Steuerungsfehler(WAIT_TIMEOUT); }, WAIT_TIMEOUT, nullptr},
        {"Abbruch", [] { throw Steuerungsfehler(THROW_ABORT); }, THROW_ABORT, nullptr},
        {"schon gezeigt", [] { throw Steuerungsfehler(Fehler_bereits_gemeldet); },
         Fehler_bereits_gemeldet, nullptr},
        {"std::exception", [] { throw std::logic_error("Index außerhalb"); },
         Fehler_bereits_gemeldet, "Index außerhalb"},
        {"keine std::exception", [] { throw 42; }, Fehler_bereits_gemeldet, "unbekannte Ausnahme"},
    };
    for (const Fall& fall : faelle) {
        ui.Leeren();
        EXPECT_EQ(Arbeit_ausfuehren("Lauf()", fall.aktion), fall.code) << fall.name;
        const auto meldungen = ui.Meldungen();
        if (!fall.box) {
            EXPECT_TRUE(meldungen.empty()) << fall.name;
            continue;
        }
        ASSERT_EQ(meldungen.size(), 1u) << fall.name;
        EXPECT_EQ(meldungen[0].text, fall.box);
        EXPECT_EQ(meldungen[0].titel, "orvexa2011");
        EXPECT_EQ(meldungen[0].symbol, Symbol::warnung);
        EXPECT_EQ(meldungen[0].knoepfe, Knoepfe::ok);
        EXPECT_THAT(Protokoll(), Contains(std::string("Lauf() :: ") + fall.box)) << fall.name;
    }
    // Controller codes are the caller's to log, as before.
    EXPECT_THAT(Protokoll(), ::testing::Not(Contains(HasSubstr("WAIT_TIMEOUT"))));
}

} // namespace
