#include "arbeitsende.h"

#include "core/fehler.h"
#include "core/protokoll.h"
#include "platform/oberflaeche.h"

#include <exception>

namespace orvexa {

namespace {

int32_t Programmfehler_melden(const std::string& caption, const std::string& text) {
    Protokoll_Zeile(caption + " :: " + text);
    oberflaeche().Meldung(text, Programmfehler_Titel, Symbol::warnung, Knoepfe::ok);
    return Fehler_bereits_gemeldet;
}

} // namespace

int32_t Arbeit_ausfuehren(const std::string& caption, const std::function<void()>& aktion) {
    try {
        if (aktion) aktion();
        return 0;
    } catch (const Steuerungsfehler& fehler) {
        return fehler.code();
    } catch (const std::exception& fehler) {
        return Programmfehler_melden(caption, fehler.what());
    } catch (...) {
        return Programmfehler_melden(caption, "unbekannte Ausnahme");
    }
}

bool Noch_zu_melden(int32_t code) {
    return code != 0 && code != Fehler_bereits_gemeldet;
}

} // namespace orvexa
