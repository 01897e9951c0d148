#pragma once

#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/hpgldatamodule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvexa {

// A rectangle in millimetres, y up.
struct Auftragsrahmen {
    double links = 0.0;
    double unten = 0.0;
    double rechts = 0.0;
    double oben = 0.0;

    bool operator==(const Auftragsrahmen&) const = default;
};

// One part of the job as a run visits it.
struct Auftragsteil {
    int64_t Nummer = 0; // place in the visit order, from 1
    DomingZaehler Zaehler;
    DomingOrt Ort;           // where the run moves to for it
    bool ausserhalb = false; // the check before a run fails on this part

    bool operator==(const Auftragsteil&) const = default;
};

// A sheet: the frame around its listed parts and their shapes.
struct Auftragsbogen {
    int32_t ixBogen = 0;
    int32_t iyBogen = 0;
    Auftragsrahmen Rahmen;

    bool operator==(const Auftragsbogen&) const = default;
};

// More parts than this are counted but not listed, so that a job of absurd counts cannot eat
// the memory of the window.
inline constexpr std::size_t Auftragsplan_Hoechstzahl = 100'000;

// The whole job laid out: the working area, every part in the order a run visits it, and
// which of them the check before a run finds outside the area.
struct Auftragsplan {
    double xAbmessung = 0.0;
    double yAbmessung = 0.0;
    std::string Form; // the job's Type
    // Where the shape lies around a part's position: its outline as the primitives draw it
    // (the arc around its centre, the contour's own extent), not only the check's reach.
    Auftragsrahmen Formrahmen;
    DomingOrt Formreichweite; // what the check adds to a part's position
    // Parts in visit order; the first Auftragsplan_Hoechstzahl of Teile_gesamt.
    std::vector<Auftragsteil> Teile;
    int64_t Teile_gesamt = 0;
    // The sheets of the listed parts, in visit order.
    std::vector<Auftragsbogen> Boegen;
    // Arbeitsbereich_pruefen passes (it looks at the last part, wherever the list ends).
    bool Arbeitsbereich_reicht = true;
    // The working area and every listed part with its shape; only finite values count.
    Auftragsrahmen Gesamtrahmen;

    DomingJob Job; // as accepted

    bool vollstaendig() const { return static_cast<int64_t>(Teile.size()) == Teile_gesamt; }
    // The place of a part in the visit order; 0 when the job has no such part.
    int64_t Nummer(const DomingZaehler& teil) const;
    // The listed part of that number, or nullptr when it is not listed.
    const Auftragsteil* Teil(int64_t nummer) const;
    // Where "&Fortsetzen" starts again with the saved counters merke of the last run: the
    // number of the first part a continued run visits. 0 when there is none: merke all 0 (a
    // run that completed or stopped at its very first part leaves nothing to continue), or
    // the job changed since so that no part is left from there.
    int64_t Fortsetznummer(const DomingZaehler& merke) const;
};

// The plan of a job as the window holds it: the job is accepted first, as a run does. For a
// run from the "Manuelles Fahren" tab the caller puts the machine's position into xStartpunkt
// and yStartpunkt. hpgl: the loaded contour's extent in millimetres (HPGL shape only).
Auftragsplan Auftragsplan_berechnen(DomingJob job, const DomingParameter& parameter,
                                    const HPGL_Ausdehnung& hpgl,
                                    std::size_t hoechstens = Auftragsplan_Hoechstzahl);

} // namespace orvexa
