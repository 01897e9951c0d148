#include "dispensing/domingprimitive.h"

#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "dispensing/dominganzeige.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/hpgldatamodule.h"
#include "drivers/seriellerbefehlssatz.h"
#include "platform/oberflaeche.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace orvexa {

namespace {

constexpr char ACK = 6;
constexpr char BEL = 7;
constexpr int32_t bleibt = Achse_bleibt;
constexpr int32_t Eilsatz = 4;
constexpr int32_t Arbeitssatz = 5;
constexpr int32_t Ventilausgang = 1;
constexpr int32_t Laserausgang = 2;
constexpr int32_t Ventilfrist_ms = 512;

const char* const Titel_Fehler = "F E H L E R";

const char* Schaltwort(int32_t pegel) {
    return pegel == 1 ? "ON" : pegel == 0 ? "OFF" : "???";
}

// A NaN target is refused like one beyond the area: it would otherwise become 0 steps.
void Arbeitsbereich_sicherstellen(const DomingKontext& k, const char* name, double x, double y) {
    if (x <= k.Parameter.xAbmessung && y <= k.Parameter.yAbmessung) return;
    oberflaeche().Meldung("   Arbeitsbereich zu klein!\nBitte Parameter überprüfen!\n",
                          Titel_Fehler, Symbol::warnung, Knoepfe::ok);
    Protokoll_Zeile(Formatieren("%s(%.15g, %.15g) :: Arbeitsbereich zu klein!", name, x, y));
    throw Steuerungsfehler(Fehler_bereits_gemeldet);
}

// The controller's answer to the valve request: ACK, else "E<n>" BEL, else garbage.
void Ventilantwort_pruefen(int32_t n, const std::string& antwort) {
    if (!antwort.empty() && antwort.front() == ACK) return;
    Protokoll_Zeile(Formatieren("DomingAusgangssignal(%d) :: ", n) +
                    Steuerzeichen_ersetzen(antwort));
    if (antwort.size() == 3 && antwort[0] == 'E' && antwort[2] == BEL && antwort[1] >= '0' &&
        antwort[1] <= '9')
        throw Steuerungsfehler(Steuerungsfehler_Basis + (antwort[1] - '0'));
    throw Steuerungsfehler(ACK_ERROR);
}

double Bogenmass(double grad) {
    return grad * std::numbers::pi / 180.0;
}

} // namespace

void Position_aktualisieren(DomingKontext& k) {
    const double x = Achsenposition_abfragen_in_mm('x');
    const double y = Achsenposition_abfragen_in_mm('y');
    k.Anzeige.Position_anzeigen(x, y);
}

void DomingMoveToXY(DomingKontext& k, double x, double y) {
    Arbeitsbereich_sicherstellen(k, "DomingMoveToXY", x, y);
    const int32_t sx = mm_in_Schritte('x', x);
    const int32_t sy = mm_in_Schritte('y', y);
    Vektorfahrt_ausfuehren(false, Eilsatz, sx, bleibt, bleibt, 1);
    Vektorfahrt_ausfuehren(false, Eilsatz, bleibt, sy, bleibt, 1);
    Position_aktualisieren(k);
}

void DomingLineToXY(DomingKontext& k, double x, double y) {
    Arbeitsbereich_sicherstellen(k, "DomingLineToXY", x, y);
    Vektorfahrt_ausfuehren(false, Arbeitssatz, mm_in_Schritte('x', x), mm_in_Schritte('y', y),
                           bleibt, 1);
    Position_aktualisieren(k);
}

void DomingAusgangssignal(DomingKontext& k, int32_t n) {
    const int32_t pegel = k.Job.Dosierkopf == 1 ? (n == 1 ? 0 : 1) : n;
    if (k.Laserpointer_Betrieb) {
        // The laser shows where resin would go, so it follows the request, not the head.
        Ausgangssignal_setzen(Laserausgang, n);
        k.Anzeige.Statusfeld_setzen(DomingAnzeige::Statusfeld_Laser,
                                    std::string("A2::") + Schaltwort(n));
    } else {
        SeriellerBefehlssatz* linie = koraCOM();
        if (!linie) {
            Protokoll_Zeile(
                Formatieren("DomingAusgangssignal(%d) :: keine serielle Verbindung", n));
            oberflaeche().Meldung("Keine serielle Verbindung für das Dosierventil.", Titel_Fehler,
                                  Symbol::warnung, Knoepfe::ok);
            throw Steuerungsfehler(HANDLE_COM_PORT_ERROR);
        }
        const std::string anfrage = Formatieren(pegel == 1 ? "A%d,1\r" : "A%d,0\r", Ventilausgang);
        Ventilantwort_pruefen(n, linie->SendWait(anfrage, Ventilfrist_ms));
        k.Anzeige.Statusfeld_setzen(DomingAnzeige::Statusfeld_Ventil,
                                    std::string("A1::") + Schaltwort(pegel));
    }
    k.Anzeige.Nachrichten_verarbeiten();
}

void Doming_Warten(double s) {
    // Held inside int32 so that a absurd time can neither overflow nor turn into a long wait
    // of the wrong sign; NaN waits nothing.
    const double ms = std::trunc(s * 1000.0);
    int32_t wert = 0;
    if (!std::isnan(ms))
        wert = static_cast<int32_t>(std::clamp(ms, double(std::numeric_limits<int32_t>::min()),
                                               double(std::numeric_limits<int32_t>::max())));
    Wartezeit_einfuegen(wert);
}

void DomingPunkt(DomingKontext& k, int32_t ix, double x, double y) {
    const DomingJob& j = k.Job;
    // The first part of a row comes from the far end of the previous row: the machine's own
    // safe speed for that long move.
    if (ix == 0) {
        Endgeschwindigkeit_einstellen(Eilsatz, k.Maschine.RefFreq);
        Rampenlaenge_einstellen(k.Maschine.Rampenlaenge);
    } else {
        Endgeschwindigkeit_einstellen(Eilsatz, j.PEilfreq);
        Rampenlaenge_einstellen(j.PRampenlaenge);
    }
    DomingMoveToXY(k, x, y);
    DomingAusgangssignal(k, 1);
    Doming_Warten(j.PDosierzeit);
    DomingAusgangssignal(k, 0);
    Doming_Warten(j.PAbtropfzeit);
}

void DomingLinie(DomingKontext& k, double x, double y) {
    const DomingJob& j = k.Job;
    Endgeschwindigkeit_einstellen(Eilsatz, j.Eilfreq);
    Rampenlaenge_einstellen(j.Rampenlaenge);
    DomingMoveToXY(k, x, y);
    DomingAusgangssignal(k, 1);
    Doming_Warten(j.LDosierzeit1);
    Endgeschwindigkeit_einstellen(Arbeitssatz, j.LArbeitsfreq);
    Rampenlaenge_einstellen(j.LRampenlaenge);
    DomingLineToXY(k, x + j.LLaenge, y);
    Doming_Warten(j.LDosierzeit3);
    DomingAusgangssignal(k, 0);
    DomingLineToXY(k, x + j.LLaenge + j.LAbtropflinie, y);
    Doming_Warten(j.LAbtropfzeit);
}

void DomingKreisbogen(DomingKontext& k, double x, double y) {
    const DomingJob& j = k.Job;
    const double R = j.KRadius;
    if (!(R > 0)) return;
    Endgeschwindigkeit_einstellen(Eilsatz, j.Eilfreq);
    Rampenlaenge_einstellen(j.Rampenlaenge);
    DomingMoveToXY(k, x - R, y);
    DomingAusgangssignal(k, 1);
    Doming_Warten(j.KDosierzeit1);

    const int32_t schritt = R > 75 ? 5 : R > 15 ? 10 : 20;
    Endgeschwindigkeit_einstellen(Arbeitssatz, j.KArbeitsfreq);
    Rampenlaenge_einstellen(j.KRampenlaenge);
    // Held to the slider's range, so that a job that bypassed it cannot make the walk endless.
    const int32_t ende = std::clamp<int32_t>(j.KEndwinkel, 180, 225);
    int32_t winkel = 540;
    for (bool letzter = false; !letzter;) {
        if (winkel - schritt > ende) {
            winkel -= schritt;
        } else {
            winkel = ende;
            letzter = true;
        }
        const double w = Bogenmass(winkel >= 360 ? winkel - 360 : winkel);
        DomingLineToXY(k, x + R * std::cos(w), y + R * std::sin(w));
    }
    Doming_Warten(j.KDosierzeit3);
    DomingAusgangssignal(k, 0);
    Doming_Warten(j.KAbtropfzeit);
}

void DomingRechteck(DomingKontext& k, double x, double y) {
    const DomingJob& j = k.Job;
    Endgeschwindigkeit_einstellen(Eilsatz, j.Eilfreq);
    Rampenlaenge_einstellen(j.Rampenlaenge);
    DomingMoveToXY(k, x, y);
    DomingAusgangssignal(k, 1);
    Doming_Warten(j.RDosierzeit1);
    Endgeschwindigkeit_einstellen(Arbeitssatz, j.RArbeitsfreq);
    Rampenlaenge_einstellen(j.RRampenlaenge);
    DomingLineToXY(k, x, y + j.RBreite);
    DomingLineToXY(k, x + j.RLaenge, y + j.RBreite);
    DomingLineToXY(k, x + j.RLaenge, y);
    DomingLineToXY(k, x + j.RMinusLaenge, y);
    Doming_Warten(j.RDosierzeit3);
    DomingAusgangssignal(k, 0);
    Doming_Warten(j.RAbtropfzeit);
}

void DomingHPGL(DomingKontext& k, double x, double y) {
    const DomingJob& j = k.Job;
    // Read before anything moves: a file that is gone or broken now would leave the previous
    // part's contour in the table, and playing that would dispense on the previous part again.
    k.HPGL.Offset_setzen(x, y);
    if (k.HPGL.HPGL_Parser(j.HFilename) != THPGLDataModule::Ergebnis::gelesen) {
        Protokoll_Zeile("DomingHPGL() :: HPGL-Datei nicht lesbar: " + j.HFilename);
        oberflaeche().Meldung("Die HPGL-Datei kann nicht gelesen werden:\n" + j.HFilename +
                                  "\nDer Lauf wird abgebrochen.",
                              Titel_Fehler, Symbol::warnung, Knoepfe::ok);
        throw Steuerungsfehler(Fehler_bereits_gemeldet);
    }
    // A copy: the window may draw the reader's table while this one is played.
    const std::vector<HPGL_Zeile> tabelle = k.HPGL.Tabelle();

    Endgeschwindigkeit_einstellen(Eilsatz, j.Eilfreq);
    Rampenlaenge_einstellen(j.Rampenlaenge);
    DomingMoveToXY(k, x, y);
    Endgeschwindigkeit_einstellen(Arbeitssatz, j.HArbeitsfreq);
    Rampenlaenge_einstellen(j.HRampenlaenge);

    bool stift_unten = false;
    for (const HPGL_Zeile& zeile : tabelle) {
        switch (zeile.Schritt) {
        case HPGL_Schritt::UP:
            if (stift_unten) {
                Doming_Warten(j.HDosierzeit3);
                DomingAusgangssignal(k, 0);
                Doming_Warten(j.HAbtropfzeit);
                stift_unten = false;
            }
            break;
        case HPGL_Schritt::DOWN:
            if (!stift_unten) {
                DomingAusgangssignal(k, 1);
                Doming_Warten(j.HDosierzeit1);
                stift_unten = true;
            }
            break;
        case HPGL_Schritt::MOVETO:
            k.Anzeige.Vorschau_Schritt(false, zeile.x - x, zeile.y - y);
            DomingMoveToXY(k, zeile.x, zeile.y);
            break;
        case HPGL_Schritt::LINTETO:
            k.Anzeige.Vorschau_Schritt(true, zeile.x - x, zeile.y - y);
            DomingLineToXY(k, zeile.x, zeile.y);
            break;
        case HPGL_Schritt::STIFT:
            break;
        }
    }
    DomingAusgangssignal(k, 0);
    k.Anzeige.Vorschau_neu_zeichnen();
}

} // namespace orvexa
