#pragma once

#include "core/fehler.h"
#include "platform/oberflaeche.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvexa::test {

// The controller error code a call raises; 0 when it returns.
template <typename F>
int32_t Code(F&& f) {
    try {
        f();
    } catch (const Steuerungsfehler& e) {
        return e.code();
    }
    return 0;
}

// A fresh folder per test, removed afterwards.
class Temporaerordner {
public:
    Temporaerordner();
    ~Temporaerordner();
    Temporaerordner(const Temporaerordner&) = delete;
    Temporaerordner& operator=(const Temporaerordner&) = delete;

    const std::string& Pfad() const { return m_pfad; } // with trailing '/'
    std::string Datei(const std::string& name) const { return m_pfad + name; }

private:
    std::string m_pfad;
};

std::string Datei_lesen(const std::string& pfad);
void Datei_schreiben(const std::string& pfad, const std::string& inhalt);
// The lines of the file, without their line ends.
std::vector<std::string> Zeilen(const std::string& inhalt);

// A made-up host below wurzel, so the host's own ports do not show: the device folder dev (with
// serial/by-id), the device tree sys (with class/tty) and the port folder ports, announced
// through ORVEXA_DEV, ORVEXA_SYS and ORVEXA_PORTS. The variables get their old values back when
// it goes.
class Scheingeraete {
public:
    explicit Scheingeraete(const std::string& wurzel);
    ~Scheingeraete();
    Scheingeraete(const Scheingeraete&) = delete;
    Scheingeraete& operator=(const Scheingeraete&) = delete;

    const std::string dev, sys, ports;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_alt;
};

// Base fixture: own program directory (so the protocol log goes there), recording
// Oberflaeche installed, parameter set and command-layer state reset.
class Testumgebung : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The protocol log's lines so far.
    std::vector<std::string> Protokoll() const;

    Temporaerordner ordner;
    AufzeichnendeOberflaeche ui;
};

} // namespace orvexa::test
