#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace orvexa::test {

// Takes the pauses of Zeitbasis::Schlafen while it lives and records them in order. Every pause
// returns at once, except from the halten_ab-th on (counted from 1; 0 = none): those last until
// Freigeben, so that a test can act while the code pauses there (Warten_auf_Pausen tells when).
class Testzeitbasis {
public:
    explicit Testzeitbasis(std::size_t halten_ab = 0);
    ~Testzeitbasis(); // sleeps for real again; held pauses end
    Testzeitbasis(const Testzeitbasis&) = delete;
    Testzeitbasis& operator=(const Testzeitbasis&) = delete;

    // The ms of every pause begun so far.
    std::vector<int> Pausen() const;
    // Waits until n pauses have begun; false after ms.
    bool Warten_auf_Pausen(std::size_t n, int ms = 5000) const;
    // Ends the held pauses; later ones return at once.
    void Freigeben();

private:
    class Uhr;
    std::shared_ptr<Uhr> m_uhr;
};

} // namespace orvexa::test
