#include "dispensing/domingablauf.h"

#include "core/arbeitsende.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/steuerung.h"
#include "core/text.h"
#include "dispensing/dominganzeige.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/domingprimitive.h"
#include "dispensing/hpgldatamodule.h"
#include "platform/oberflaeche.h"

#include <cmath>
#include <exception>
#include <string>

namespace orvexa {

namespace {

constexpr int32_t bleibt = Achse_bleibt;
constexpr int32_t Eilsatz = 4;
constexpr int32_t Jogsatz = 3;

// -1 has been shown where it arose.
void Melden(int32_t code, const char* caption) {
    if (Noch_zu_melden(code)) Steuerungsfehler_melden(code, caption);
}

} // namespace

void DomingAblauf::Beginnen() {
    // A stop that came after the previous command had ended would otherwise end the first move
    // of this one.
    Steuerung().Abbruch = false;
    if (Befehl_begonnen) Befehl_begonnen();
}

void DomingAblauf::Referenzfahrt_xy() {
    xyzuReset_durchfuehren(m_k.Maschine.xRefAktiv != 0, m_k.Maschine.yRefAktiv != 0, false, false);
    Bewegungsende_abwarten();
    Position_aktualisieren(m_k);
}

void DomingAblauf::Teil_ausfuehren(int32_t ix, double x, double y) {
    const std::string& form = m_k.Job.Type;
    if (form == "Punkt")
        DomingPunkt(m_k, ix, x, y);
    else if (form == "Linie")
        DomingLinie(m_k, x, y);
    else if (form == "Kreis")
        DomingKreisbogen(m_k, x, y);
    else if (form == "Rechteck")
        DomingRechteck(m_k, x, y);
    else if (form == "HPGL")
        DomingHPGL(m_k, x, y);
}

void DomingAblauf::Durchlauf(const DomingLaufeingaben& e, bool neustart, int nummer,
                             DomingLaufergebnis& ergebnis) {
    DomingJob& job = m_k.Job;
    DomingZaehler z;
    if (e.Startseite == DomingStartseite::Startpunkt) {
        Protokoll_Zeile(Formatieren("-> iDStartfreq=%d", job.Startfreq));
        Protokoll_Zeile(Formatieren("-> iDEilfreq=%d", job.Eilfreq));
        Startgeschwindigkeit_einstellen(job.Startfreq);
        Endgeschwindigkeit_einstellen(Eilsatz, job.Eilfreq);
        if (neustart) {
            if (!e.ModusKora && e.Referenzfahrt) Referenzfahrt_xy();
            Position_aktualisieren(m_k);
            DomingMoveToXY(m_k, job.xStartpunkt, job.yStartpunkt);
            m_merke = {};
        } else {
            z = m_merke;
        }
    } else {
        Startgeschwindigkeit_einstellen(job.Startfreq);
        Endgeschwindigkeit_einstellen(Eilsatz, job.Eilfreq);
        if (neustart) {
            m_start_x = Achsenposition_abfragen_in_mm('x');
            m_start_y = Achsenposition_abfragen_in_mm('y');
            m_merke = {};
        } else {
            z = m_merke;
        }
        job.xStartpunkt = m_start_x;
        job.yStartpunkt = m_start_y;
    }

    const HPGL_Ausdehnung ausdehnung = m_k.HPGL.Ausdehnung_mm();
    Arbeitsbereich_pruefen(job, m_k.Parameter, ausdehnung.xMax, ausdehnung.yMax);
    Protokoll_Zeile(
        Formatieren("ixBogen=%d iyBogen=%d ix=%d iy=%d", z.ixBogen, z.iyBogen, z.ix, z.iy));

    // The saved counters always name the part in work.
    Doming_Teile_besuchen(
        job, z,
        [&](const DomingBesuch& b) {
            const DomingZaehler& t = b.Teil;
            m_merke = t;
            Protokoll_Zeile(Formatieren("ix/iy = %d/%d", t.ix, t.iy));
            Protokoll_Zeile(Formatieren("dxBogenOffset/dyBogenOffset = %.2f / %.2f",
                                        b.Bogenversatz.x, b.Bogenversatz.y));
            ++ergebnis.Teile;
            m_k.Anzeige.Teil_beginnt({nummer, t.ixBogen, t.iyBogen, t.ix, t.iy, b.Ort.x, b.Ort.y});
            Teil_ausfuehren(t.ix, b.Ort.x, b.Ort.y);
            return true;
        },
        [&](int32_t ixBogen, int32_t iyBogen) {
            m_merke.ixBogen = ixBogen;
            m_merke.iyBogen = iyBogen;
            Protokoll_Zeile("- - - - - - - -");
            Protokoll_Zeile(Formatieren("ixBogen/iyBogen = %d/%d", ixBogen, iyBogen));
        });
    m_merke = {};
    Protokoll_Zeile("");

    if (e.Startseite == DomingStartseite::Startpunkt) {
        if (!e.ModusKora) Referenzfahrt_xy();
    } else {
        Endgeschwindigkeit_einstellen(Eilsatz, job.Eilfreq);
        Rampenlaenge_einstellen(job.Rampenlaenge);
        DomingMoveToXY(m_k, m_start_x, m_start_y);
    }
}

DomingLaufergebnis DomingAblauf::StartBitBtn_Thread(const DomingLaufeingaben& e) {
    static constexpr const char* caption = "StartBitBtn_Thread()";
    DomingLaufergebnis ergebnis;
    Beginnen();
    m_k.Anzeige.Beschaeftigt(true, false);
    Protokoll_Zeile("");
    Protokoll_Zeile(caption);
    ergebnis.Fehlercode = Arbeit_ausfuehren(caption, [&] {
        m_k.Anzeige.Job_lesen(m_k.Job);
        Doming_annehmen(m_k.Job);
        CheckVariablen(m_k.Job);
        m_k.Anzeige.Lauf_gestartet(true);
        m_k.Anzeige.Laserpointer_Haken_setzen(false);
        LaserpointerONOFFCheckBoxClick(false);
        // A continued run continues its first pass only; later passes start afresh from
        // the saved counters, which a completed pass has set back to 0.
        int nummer = 1;
        do {
            Durchlauf(e, e.Neustart, nummer, ergebnis);
            ++ergebnis.Durchlaeufe;
            ++nummer;
        } while (e.Dauertest && e.Dauertest());
    });
    Melden(ergebnis.Fehlercode, caption);
    if (ergebnis.Fehlercode != 0)
        Melden(Arbeit_ausfuehren(caption, [this] { DomingAusgangssignal(m_k, 0); }), caption);
    try {
        Position_aktualisieren(m_k);
    } catch (const Steuerungsfehler& f) {
        // The run's own failure has been reported; a second box for the display would only
        // repeat it.
        Fehler_melden(false, f.code(), caption);
    } catch (const std::exception& f) {
        Protokoll_Zeile(std::string(caption) + " :: " + f.what());
    } catch (...) {
        Protokoll_Zeile(std::string(caption) + " :: unbekannte Ausnahme");
    }
    Protokoll_Zeile(Formatieren("ixBogenMerke=%d iyBogenMerke=%d ixMerke=%d iyMerke=%d",
                                m_merke.ixBogen, m_merke.iyBogen, m_merke.ix, m_merke.iy));
    ergebnis.Fortsetzen_moeglich = !m_merke.Null();
    m_k.Anzeige.Beschaeftigt(false, ergebnis.Fortsetzen_moeglich);
    Protokoll_Zeile("StartBitBtn_Thread() :: End");
    m_k.Anzeige.Lauf_gestartet(false);
    return ergebnis;
}

int32_t DomingAblauf::RefBitBtn_Thread() {
    static constexpr const char* caption = "RefBitBtn_Thread()";
    Beginnen();
    m_k.Anzeige.Beschaeftigt(true, false);
    const int32_t code = Arbeit_ausfuehren(caption, [this] {
        Startgeschwindigkeit_einstellen(m_k.Job.Startfreq);
        Rampenlaenge_einstellen(m_k.Job.Rampenlaenge);
        Referenzfahrt_xy();
    });
    if (code != 0) {
        m_k.Anzeige.Position_unbekannt();
        Melden(code, caption);
    }
    m_k.Anzeige.Beschaeftigt(false, false);
    return code;
}

int32_t DomingAblauf::DomingMouseDown_Thread(const DomingJogeingaben& e) {
    static constexpr const char* caption = "DomingMouseDown_Thread()";
    Beginnen();
    m_k.Anzeige.Beschaeftigt(true, false);
    const int32_t code = Arbeit_ausfuehren(caption, [&] {
        Startgeschwindigkeit_einstellen(m_k.Job.Startfreq);
        Endgeschwindigkeit_einstellen(Jogsatz, e.Geschwindigkeit);
        Rampenlaenge_einstellen(m_k.Job.Rampenlaenge);

        const bool x_achse =
            e.Richtung == DomingRichtung::xPlus || e.Richtung == DomingRichtung::xMinus;
        const bool plus =
            e.Richtung == DomingRichtung::xPlus || e.Richtung == DomingRichtung::yPlus;
        const char achse = x_achse ? 'x' : 'y';
        const double grenze = x_achse ? m_k.Parameter.xAbmessung : m_k.Parameter.yAbmessung;
        bool fahren = true;
        double ziel = plus ? grenze : 0.0;
        if (!e.kontinuierlich) {
            const double hier = Achsenposition_abfragen_in_mm(achse);
            ziel = plus ? hier + e.Schrittweite : hier - e.Schrittweite;
            // Written so that a NaN target beeps too instead of becoming 0 steps.
            fahren = plus ? ziel <= grenze : ziel >= 0.0;
            if (!fahren) oberflaeche().Piepton(440, 100);
        }
        // A stop that came before the move went out (a quick click in continuous mode) would
        // reach the controller ahead of the move and leave it running to the edge of the area.
        Abbruch_pruefen();
        if (fahren) {
            const int32_t s = mm_in_Schritte(achse, ziel);
            Vektorfahrt_ausfuehren(false, Jogsatz, x_achse ? s : bleibt, x_achse ? bleibt : s,
                                   bleibt, 1);
        }
    });
    Melden(code, caption);
    m_k.Anzeige.Beschaeftigt(false, false);
    Melden(Arbeit_ausfuehren(caption, [this] { Position_aktualisieren(m_k); }), caption);
    return code;
}

void DomingAblauf::LaserpointerONOFFCheckBoxClick(bool an) {
    try {
        Ausgangssignal_setzen(2, an ? 1 : 0);
        m_k.Anzeige.Statusfeld_setzen(DomingAnzeige::Statusfeld_Laser, an ? "A2::ON" : "A2::OFF");
    } catch (const Steuerungsfehler& f) {
        Melden(f.code(), "LaserpointerONOFFCheckBoxClick()");
    }
}

void DomingAblauf::LaserpointerBetriebCheckBoxClick(bool an) {
    // Closing once under each setting switches both the valve and the laser off.
    try {
        m_k.Laserpointer_Betrieb = !an;
        DomingAusgangssignal(m_k, 0);
        m_k.Laserpointer_Betrieb = an;
        DomingAusgangssignal(m_k, 0);
    } catch (const Steuerungsfehler& f) {
        Melden(f.code(), "LaserpointerBetriebCheckBoxClick()");
    }
    // Whatever failed, the flag follows the box.
    m_k.Laserpointer_Betrieb = an;
}

} // namespace orvexa
