#pragma once

#include "angle/wt_parameter.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvexa {

class TWT_ND261DM;
class Winkeltranskript;

// What the approach reads and moves: the display's angle and the rotary axis in motor steps.
// Each move returns once the axis stands.
class Winkelachse {
public:
    virtual ~Winkelachse() = default;
    virtual double Istwinkel_lesen() = 0;
    virtual void Absolut_fahren(int32_t schritte) = 0;
    virtual void Relativ_fahren(int32_t schritte) = 0;
};

// The real axis: the ND261 display and x of the KX900-KXCU (speed slot 1, started at once,
// waited for), through the command layer.
class KXCU_Winkelachse : public Winkelachse {
public:
    explicit KXCU_Winkelachse(TWT_ND261DM& anzeige) : m_anzeige(anzeige) {}
    double Istwinkel_lesen() override;
    void Absolut_fahren(int32_t schritte) override;
    void Relativ_fahren(int32_t schritte) override;

private:
    TWT_ND261DM& m_anzeige;
};

// The staged angle approach: overshoot the target, one coarse move back to a few steps above
// it, then single steps down, reading the display after every move, for at most
// `schrittweise` cycles. The target is always reached from above, so the backlash of the
// table is always taken up on the same side.
//
// Threads: one approach at a time, on the window thread (test panel) or the vector output's
// worker. The stop flag may be set from any thread: readings then give 0 and moves are
// skipped, so the approach runs out its cycles at once.
class Winkelpositionierung {
public:
    // None is owned; all must outlive this object. vekabbruch may be nullptr.
    Winkelpositionierung(const WT_Parameter& parameter, Winkeltranskript& transkript,
                         Winkelachse& achse, std::atomic<bool>* vekabbruch);

    // True when the display shows the target within one step above it. Throws the
    // Steuerungsfehler of the moves and of an unreadable display. False at once, after a
    // message, when the steps per degree are 0.
    bool Winkel_anfahren(std::string_view sollwinkel);
    bool Winkel_anfahren(double sollwinkel);
    void Winkel_absolut_anfahren(double winkel);
    void Winkel_relativ_verfahren(int32_t schritte);

    // The coarse move back from reading ist: the integer part of U × (soll − ist), plus A. A
    // result of 0 (a reading less than one step above the band) becomes one step down, or the
    // approach would read the same angle until its cycles ran out.
    static int32_t Grobschritte(const WT_Parameter& p, double soll, double ist);
    // The integer part of winkel × U.
    static int32_t Absolute_Schritte(const WT_Parameter& p, double winkel);

    // The test panel's "anfahren": transcript with the parameters, stop flag cleared, the
    // approach, "Ein Fehler ist aufgetreten!" on an error code, the transcript saved to
    // testdatei. Returns the approach's result; code holds the error code (0 none).
    bool Test_anfahren(std::string_view sollwinkel, const std::string& testdatei,
                       int32_t* code = nullptr);
    // "Test beenden": stop flag set, axes stopped (an error code is ignored).
    void Test_beenden();

private:
    bool Abgebrochen() const { return m_vekabbruch && m_vekabbruch->load(); }

    const WT_Parameter& m_p;
    Winkeltranskript& m_transkript;
    Winkelachse& m_achse;
    std::atomic<bool>* m_vekabbruch;
};

} // namespace orvexa
