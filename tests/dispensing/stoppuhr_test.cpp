#include "dispensing/stoppuhr.h"

#include <gtest/gtest.h>

namespace orvexa {
namespace {

TEST(Stoppuhr, ZeigtStundenMinutenSekunden) {
    struct Fall {
        int64_t sekunden;
        const char* text;
    };
    for (const Fall& f : {Fall{0, "00:00:00"}, Fall{59, "00:00:59"}, Fall{3725, "01:02:05"},
                          Fall{86399, "23:59:59"}, Fall{360000, "100:00:00"}, Fall{-5, "00:00:00"}})
        EXPECT_EQ(Stoppuhr::Stoppuhrtext(f.sekunden), f.text) << f.sekunden;
}

} // namespace
} // namespace orvexa
