#include "winkelmodus.h"

#include "angle/qt/nd261testpanel.h"
#include "angle/qt/wt_parameterdlg.h"
#include "angle/winkelpositionierung.h"
#include "angle/wt_nd261dm.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "tables/qt/dialogoeffner.h"
#include "tables/qt/mainform.h"
#include "tables/qt/vektordlg.h"

namespace orvexa {

void Winkelmodus_einrichten(const Winkelteile& t, Winkelsimulation simulation) {
    TWT_ND261DM& anzeige = t.Anzeige;
    Winkelpositionierung& winkel = t.Winkel;
    t.Vektordialog.Lauf().Winkelanfahrt_setzen([&winkel, &anzeige](double soll, double& ist) {
        const bool erreicht = winkel.Winkel_anfahren(soll);
        ist = anzeige.Istwinkel_lesen();
        return erreicht;
    });
    TMainForm& f = t.Hauptfenster;
    if (!f.ModusWT) return;
    TWT_ParameterDlg& parameter = t.Parameterdialog;
    f.Winkelparameter_laden = [&f, &parameter, vorgaben = simulation.Vorgaben] {
        if (parameter.Laden() || !f.ModusSimulation || !vorgaben) return;
        // The simulated machine works without a file of its own; nothing is written.
        parameter.Parameter = vorgaben();
        WT_Maschinenparameter_setzen(parameter.Parameter, Parametersatz());
        Protokoll_schreiben(Ebene_Befehl, std::string("Simulation: ") + WT_Parameterdatei +
                                              " fehlt, Winkelparameter der Simulation");
    };
    f.Anzeige_oeffnen = [&parameter, &anzeige] {
        return anzeige.ND261_oeffnen(parameter.Parameter.ND261_Com, "4800");
    };
    if (simulation.Starten)
        f.Winkelsimulation_starter = [&parameter,
                                      starten = simulation.Starten](std::string* fehler) {
            return starten(parameter.Parameter, fehler);
        };
    f.Parameter_oeffnen = [&f, &parameter] {
        Zentrieren(parameter, f, true);
        parameter.exec();
    };
    f.ND261_Panel_setzen(&t.Testpanel);
}

} // namespace orvexa
