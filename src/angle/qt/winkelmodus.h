#pragma once

#include "angle/wt_parameter.h"
#include "core/verbindungsablauf.h"

#include <functional>
#include <memory>
#include <string>

namespace orvexa {

class TMainForm;
class TND261TestPanel;
class TVektorDlg;
class TWT_ND261DM;
class TWT_ParameterDlg;
class Winkelpositionierung;

// The parts of the angle-positioning mode, made by the program entry in its order.
struct Winkelteile {
    TMainForm& Hauptfenster;
    TWT_ParameterDlg& Parameterdialog;
    TWT_ND261DM& Anzeige;
    Winkelpositionierung& Winkel;
    TVektorDlg& Vektordialog;
    TND261TestPanel& Testpanel;
};

// The simulated machine of "/SIM /WT", handed over by the program entry (the windows do not
// link the simulators), and the angle parameters that suit it when there is no file.
struct Winkelsimulation {
    std::function<std::unique_ptr<Simulation>(const WT_Parameter&, std::string* fehler)> Starten;
    std::function<WT_Parameter()> Vorgaben;
};

// The vector output's angle branch gets the approach; in the angle-positioning mode the main
// window loads the angle parameters, opens the display link at every connect (4800 Bd), opens
// the angle parameters dialog behind "Parameter" and shows the test panel.
void Winkelmodus_einrichten(const Winkelteile& teile, Winkelsimulation simulation);

} // namespace orvexa
