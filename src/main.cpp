#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/steuerungstypen.h"
#include "drivers/standardtreiber.h"
#include "platform/programmverzeichnis.h"

#include <cstdio>
#include <cstring>

using namespace orvexa;

// The bare program entry: loads the machine parameters and tries to connect. The window and
// the simulated machine ("/SIM") come with the main window.
int main(int argc, char** argv) {
    bool simulation = false;
    for (int i = 1; i < argc; ++i)
        if (strcasecmp(argv[i], "/SIM") == 0) simulation = true;

    Protokoll_loeschen();
    Parameterdatei() = Parameterdateiname(Programmpfad());
    Parameterdatei_laden();
    const Maschinenparameter& p = Parametersatz();
    const Steuerungstyp* typ = Steuerungstyp_zu(p.Modul);
    std::printf("orvexa2011: parameter file %s\n", Parameterdatei().c_str());
    std::printf("controller type %d (%s)%s\n", p.Modul, typ ? typ->Anzeigename : "none",
                simulation ? ", simulated machine requested" : "");

    Standardtreiber_einrichten();
    Serielle_Linie_erzeugen();
    const std::string name = Steuerung_erzeugen();
    Schnittstelle_beschreiben();
    bool verbunden = false;
    try {
        verbunden = Steuerung_oeffnen(Steuerung().Schnittstelle) && Version_abfragen();
    } catch (const std::exception& e) {
        std::printf("connection failed: %s\n", e.what());
    }
    std::printf("%s on %s: %s\n", name.c_str(), Steuerung().Schnittstelle.c_str(),
                verbunden ? Steuerung().Version.c_str() : "not connected");
    Steuerung_schliessen();
    Steuerungsmodule_freigeben();
    Protokoll_loeschen();
    return 0;
}
