#include "testzeitbasis.h"

#include "platform/zeitbasis.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvexa::test {

class Testzeitbasis::Uhr : public Zeitbasis::Pausen {
public:
    explicit Uhr(std::size_t halten_ab) : m_halten_ab(halten_ab) {}

    void Schlafen(int ms) override {
        std::unique_lock lock(m_mutex);
        m_pausen.push_back(ms);
        const std::size_t nummer = m_pausen.size();
        m_bedingung.notify_all();
        m_bedingung.wait(lock, [&] { return m_halten_ab == 0 || nummer < m_halten_ab; });
    }

    std::vector<int> Pausen() const {
        std::lock_guard lock(m_mutex);
        return m_pausen;
    }

    bool Warten_auf_Pausen(std::size_t n, int ms) const {
        std::unique_lock lock(m_mutex);
        return m_bedingung.wait_for(lock, std::chrono::milliseconds(ms),
                                    [&] { return m_pausen.size() >= n; });
    }

    void Freigeben() {
        {
            std::lock_guard lock(m_mutex);
            m_halten_ab = 0;
        }
        m_bedingung.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_bedingung;
    std::size_t m_halten_ab;
    std::vector<int> m_pausen;
};

Testzeitbasis::Testzeitbasis(std::size_t halten_ab) : m_uhr(std::make_shared<Uhr>(halten_ab)) {
    Zeitbasis::Pausen_umleiten(m_uhr);
}

Testzeitbasis::~Testzeitbasis() {
    Zeitbasis::Pausen_umleiten(nullptr);
    m_uhr->Freigeben();
}

std::vector<int> Testzeitbasis::Pausen() const {
    return m_uhr->Pausen();
}

bool Testzeitbasis::Warten_auf_Pausen(std::size_t n, int ms) const {
    return m_uhr->Warten_auf_Pausen(n, ms);
}

void Testzeitbasis::Freigeben() {
    m_uhr->Freigeben();
}

} // namespace orvexa::test
