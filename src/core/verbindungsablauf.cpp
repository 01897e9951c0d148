#include "verbindungsablauf.h"

#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/steuerung.h"

#include <exception>

namespace orvexa {

namespace {

void Ausnahme_protokollieren(Verbindungsergebnis& ergebnis, const std::string& text) {
    if (ergebnis.Ausnahme.empty()) ergebnis.Ausnahme = text;
    Protokoll_schreiben(Ebene_Fehler, "Verbinden: " + text);
}

// The steps up to the identification; true when the controller answered.
bool Verbindung_aufbauen(const Verbindungsschritte& schritte, Verbindungsergebnis& ergebnis) {
    Steuerung_schliessen();
    const bool maschine_da = !schritte.Vorbereiten || schritte.Vorbereiten();
    ergebnis.Name = Steuerung_erzeugen();
    if (schritte.Erzeugt) schritte.Erzeugt(ergebnis.Name);
    if (!maschine_da) return false;
    if (schritte.Anzeige_oeffnen && !schritte.Anzeige_oeffnen()) return false;
    Schnittstelle_beschreiben();
    if (schritte.Beschrieben) schritte.Beschrieben();
    return Steuerung_oeffnen(Steuerung().Schnittstelle) && Version_abfragen();
}

} // namespace

Verbindungsergebnis Steuerung_verbinden(const Verbindungsschritte& schritte) {
    Verbindungsergebnis ergebnis;
    try {
        ergebnis.Verbunden = Verbindung_aufbauen(schritte, ergebnis);
    } catch (const Steuerungsfehler& e) {
        // The module has shown its message where it has one.
        ergebnis.Code = e.code();
    } catch (const std::exception& e) {
        Ausnahme_protokollieren(ergebnis, e.what());
    } catch (...) {
        Ausnahme_protokollieren(ergebnis, "unbekannte Ausnahme");
    }
    if (ergebnis.Verbunden) return ergebnis;
    try {
        Steuerung_schliessen();
    } catch (const std::exception& e) {
        Ausnahme_protokollieren(ergebnis, e.what());
    } catch (...) {
        Ausnahme_protokollieren(ergebnis, "unbekannte Ausnahme");
    }
    return ergebnis;
}

} // namespace orvexa
