#pragma once

// orvexa-cli as a process; its path comes from the build.

#include "prozess.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvexa::test {

inline Prozessergebnis Ausfuehren(const std::vector<std::string>& args,
                                  const std::vector<std::string>& umgebung = {},
                                  std::function<int(const std::string&)> beobachten = {}) {
    return Prozess_ausfuehren(ORVEXA_CLI_PFAD, args, umgebung, std::move(beobachten));
}

} // namespace orvexa::test
