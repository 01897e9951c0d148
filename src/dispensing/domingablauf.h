#pragma once

#include "dispensing/domingjob.h"

#include <cstdint>
#include <functional>

namespace orvexa {

struct DomingKontext;

// The tab of the start-point page control shown when a run starts.
enum class DomingStartseite {
    Startpunkt,       // from the job's start point, with reference runs
    Manuelles_Fahren, // from where the machine stands now, and back there at the end
};

struct DomingLaufeingaben {
    DomingStartseite Startseite = DomingStartseite::Startpunkt;
    bool Neustart = true;      // "S&tart"; false: "&Fortsetzen"
    bool Referenzfahrt = true; // the "Referenzfahrt" box
    bool ModusKora = false;    // program started with "/KORA"
    // The "Dauertest" box, read at the end of every pass (it stays usable during a run);
    // empty means unticked.
    std::function<bool()> Dauertest;
};

struct DomingLaufergebnis {
    int32_t Fehlercode = 0; // 0: every pass completed; -1 shown already; 2000 stopped
    int Durchlaeufe = 0;    // completed passes
    int Teile = 0;          // parts begun
    bool Fortsetzen_moeglich = false;
};

enum class DomingRichtung { xPlus = 1, xMinus = 2, yPlus = 3, yMinus = 4 };

struct DomingJogeingaben {
    DomingRichtung Richtung = DomingRichtung::xPlus;
    bool kontinuierlich = true; // else steps of Schrittweite millimetres
    double Schrittweite = 0.0;
    int32_t Geschwindigkeit = 0; // the jog speed slider
};

// The machine actions of the Doming window, as its worker carries them out: the run over all
// parts and sheets, the reference run and jogging, and the laser-pointer boxes. Keeps the run
// state (saved counters, remembered start) between commands.
class DomingAblauf {
public:
    explicit DomingAblauf(DomingKontext& kontext) : m_k(kontext) {}

    DomingLaufergebnis StartBitBtn_Thread(const DomingLaufeingaben& eingaben);
    // The "REF" button. Returns the error code (0 when it went through).
    int32_t RefBitBtn_Thread();
    // A jog button. Returns the error code (0, or 2000 when the release stopped it).
    int32_t DomingMouseDown_Thread(const DomingJogeingaben& eingaben);

    // The check boxes "Laserpointer ON/OFF" and "Laserpointer-Betrieb" (window thread, idle).
    void LaserpointerONOFFCheckBoxClick(bool an);
    void LaserpointerBetriebCheckBoxClick(bool an);

    // Called on the worker as each command begins, once a stop left over from before has been
    // dropped: a stop the window gave between handing the command over and now is to be sent
    // from here, or it would be lost.
    std::function<void()> Befehl_begonnen;

    const DomingZaehler& Merke() const { return m_merke; }
    // Window activation: a new window state starts without a part to continue.
    void Merke_zuruecksetzen() { m_merke = {}; }
    double xStartMerke() const { return m_start_x; }
    double yStartMerke() const { return m_start_y; }

private:
    void Beginnen();
    void Durchlauf(const DomingLaufeingaben& e, bool neustart, int nummer,
                   DomingLaufergebnis& ergebnis);
    void Referenzfahrt_xy();
    void Teil_ausfuehren(int32_t ix, double x, double y);

    DomingKontext& m_k;
    DomingZaehler m_merke;
    double m_start_x = 0.0;
    double m_start_y = 0.0;
};

} // namespace orvexa
