#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvexa::test {

// A pseudo-terminal pair standing in for a serial device: the program opens the slave path
// like a port, the test plays the device on the master side.
//
// The slave keeps the kernel's default (cooked) line settings until a port opens it, so tests
// see whether the port really switches to raw mode. The pair holds a slave descriptor of its
// own, so the master neither sees a hang-up nor reads EIO while the port is closed.
class Pseudoterminal {
public:
    Pseudoterminal(); // throws std::runtime_error when no pair can be made
    ~Pseudoterminal();
    Pseudoterminal(const Pseudoterminal&) = delete;
    Pseudoterminal& operator=(const Pseudoterminal&) = delete;

    int Master() const { return m_master; } // non-blocking; -1 after Master_schliessen
    const std::string& Slave_pfad() const { return m_slave_pfad; }
    // The pair's own slave descriptor, for looking at the line settings; never read from it.
    int Slave() const { return m_slave; }

    // What the device sends: writes all bytes to the master. False on error or when nothing
    // could be written for 2 s.
    bool Senden(std::string_view bytes);

    // What the device received: reads from the master until n bytes have come or ms have
    // passed; returns what came (possibly fewer).
    std::string Empfangen(std::size_t n, int ms = 2000);

    // The device goes away: the port side sees a hang-up. Not while another thread uses the
    // master.
    void Master_schliessen();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slave_pfad;
};

} // namespace orvexa::test
