#include "stoppuhr.h"

#include "core/text.h"

namespace orvexa {

bool Stoppuhr::Takt() {
    if (!m_laeuft) return false;
    ++m_sekunden;
    return true;
}

std::string Stoppuhr::Stoppuhrtext(int64_t sekunden) {
    if (sekunden < 0) sekunden = 0;
    const int64_t stunden = sekunden / 3600;
    const int64_t minuten = (sekunden - stunden * 3600) / 60;
    return Formatieren("%02lld:%02lld:%02lld", static_cast<long long>(stunden),
                       static_cast<long long>(minuten),
                       static_cast<long long>(sekunden - stunden * 3600 - minuten * 60));
}

} // namespace orvexa
