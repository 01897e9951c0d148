#include "platform/programmverzeichnis.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvexa;

namespace {

struct Fall {
    const char* name;
    bool beschreibbar;
    const char* xdg_data_home;
    const char* home;
    const char* erwartet;
};

// An installed program must not try to write beside itself in /usr/bin, and a build tree or a
// copied program folder keeps its files beside the executable as before.
TEST(Programmverzeichnis, FolgtDerBeschreibbarkeitUndDenXdgRegeln) {
    const Fall faelle[] = {
        {"writable stays", true, "/x/data", "/home/op", "/opt/orvexa/"},
        {"xdg wins", false, "/x/data", "/home/op", "/x/data/orvexa2011/"},
        {"xdg with slash", false, "/x/data/", "/home/op", "/x/data/orvexa2011/"},
        {"relative xdg ignored", false, "data", "/home/op", "/home/op/.local/share/orvexa2011/"},
        {"empty xdg ignored", false, "", "/home/op", "/home/op/.local/share/orvexa2011/"},
        {"home only", false, nullptr, "/home/op", "/home/op/.local/share/orvexa2011/"},
        {"nothing known", false, nullptr, nullptr, "/opt/orvexa/"},
        {"relative home", false, nullptr, "op", "/opt/orvexa/"},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(
            Programmverzeichnis_waehlen("/opt/orvexa/", f.beschreibbar, f.xdg_data_home, f.home),
            f.erwartet);
    }
}

} // namespace
