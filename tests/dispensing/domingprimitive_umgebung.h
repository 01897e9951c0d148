#pragma once

// A Doming context wired to the simulated serial controller. What the controller received is
// the machine's view of the dispensing.

#include "core/maschinenparameter.h"
#include "core/steuerung.h"
#include "dispensing/dominganzeige.h"
#include "dispensing/domingjob.h"
#include "dispensing/domingparameter.h"
#include "dispensing/domingprimitive.h"
#include "dispensing/hpgldatamodule.h"
#include "simumgebung.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa::test {

using Zeilen_t = std::vector<std::string>;

// Records what the window would show.
class Anzeigeprotokoll : public DomingAnzeige {
public:
    struct Vorschau {
        bool linie;
        double x, y;
    };

    void Statusfeld_setzen(int feld, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        status.push_back(std::to_string(feld) + ":" + text);
    }
    void Position_anzeigen(double, double) override {
        std::lock_guard lock(m_mutex);
        ++positionen;
    }
    void Position_unbekannt() override {
        std::lock_guard lock(m_mutex);
        position_unbekannt = true;
    }
    void Vorschau_Schritt(bool linie, double x, double y) override {
        std::lock_guard lock(m_mutex);
        vorschau.push_back({linie, x, y});
    }
    void Vorschau_neu_zeichnen() override {
        std::lock_guard lock(m_mutex);
        ++neu_gezeichnet;
    }
    void Nachrichten_verarbeiten() override {
        std::lock_guard lock(m_mutex);
        ++pumpen;
    }
    void Beschaeftigt(bool an, bool fortsetzen) override {
        std::lock_guard lock(m_mutex);
        beschaeftigt.push_back(std::string(an ? "an" : "aus") + (fortsetzen ? "+F" : ""));
    }
    void Laserpointer_Haken_setzen(bool an) override {
        std::lock_guard lock(m_mutex);
        haken.push_back(an);
    }
    void Teil_beginnt(const DomingTeil& teil) override {
        {
            std::lock_guard lock(m_mutex);
            teile.push_back(teil);
        }
        if (bei_teil) bei_teil(teil);
    }

    Zeilen_t status;
    int positionen = 0;
    bool position_unbekannt = false;
    std::vector<Vorschau> vorschau;
    int neu_gezeichnet = 0;
    int pumpen = 0;
    Zeilen_t beschaeftigt;
    std::vector<bool> haken;
    std::vector<DomingTeil> teile;
    std::function<void(const DomingTeil&)> bei_teil;

private:
    std::mutex m_mutex;
};

class DomingSimulation : public SerielleSimulation {
protected:
    void SetUp() override {
        SerielleSimulation::SetUp();
        // 100 steps per millimetre: two decimals of a millimetre are whole steps.
        Achsen_einstellen(100);
        Maschinenparameter& p = Parametersatz();
        p.xRefNr = 1;
        p.yRefNr = 2;
        p.xRefAktiv = p.yRefAktiv = 1;
        parameter.xAbmessung = 500;
        parameter.yAbmessung = 400;
        // Times of 0 make no dwell requests unless a case sets them.
        job.PDosierzeit = job.PAbtropfzeit = 0;
        job.LDosierzeit1 = job.LDosierzeit3 = job.LAbtropfzeit = 0;
        job.KDosierzeit1 = job.KDosierzeit3 = job.KAbtropfzeit = 0;
        job.RDosierzeit1 = job.RDosierzeit3 = job.RAbtropfzeit = 0;
        job.HDosierzeit1 = job.HDosierzeit3 = job.HAbtropfzeit = 0;
        job.Startfreq = 500;
        job.Eilfreq = 3000;
        job.Rampenlaenge = 200;
        job.PEilfreq = 2500;
        job.PRampenlaenge = 150;
        job.LArbeitsfreq = job.KArbeitsfreq = job.RArbeitsfreq = job.HArbeitsfreq = 1500;
        job.LRampenlaenge = job.KRampenlaenge = job.RRampenlaenge = job.HRampenlaenge = 50;
    }

    DomingJob job;
    DomingParameter parameter;
    THPGLDataModule hpgl;
    Anzeigeprotokoll anzeige;
    DomingKontext kontext{job, parameter, Parametersatz(), hpgl, anzeige};
};

} // namespace orvexa::test
