#include "domingdialoge.h"

#include "dispensing/domingprimitive.h"
#include "dispensing/qt/domingform.h"
#include "dispensing/sprachtabellen.h"
#include "platform/qt/qtext.h"

#include <QTabWidget>

namespace orvexa {

Domingdialoge::Domingdialoge(TDomingForm& fenster)
    : Parameter(&fenster), Geschwindigkeit(&fenster), Dosierzeit(&fenster), Spuelung(&fenster) {}

void Domingdialoge_verbinden(TDomingForm& f, Domingdialoge& d) {
    const auto anwenden = [&d](Sprache sprache) {
        d.Parameter.Sprache_anwenden(sprache);
        d.Geschwindigkeit.Sprache_anwenden(sprache);
        d.Dosierzeit.Sprache_anwenden(sprache);
        d.Spuelung.Sprache_anwenden(sprache);
    };
    d.Parameter.Parameter_gelesen = [anwenden](const DomingParameter& p) {
        anwenden(Sprache_aus_Name(p.Sprache));
    };
    f.Sprache_weitergeben = anwenden;
    d.Dosierzeit.Tastatur = f.Druckvariante();
    f.Parameter_oeffnen = [&d](DomingParameter& parameter) {
        d.Parameter.exec();
        parameter = d.Parameter.Parameter();
    };
    f.Geschwindigkeit_oeffnen = [&d](DomingGeschwindigkeitsfelder& felder) {
        d.Geschwindigkeit.Werte_setzen(felder.Startfreq.toInt(), felder.Eilfreq.toInt(),
                                       felder.Rampenlaenge.toInt());
        d.Geschwindigkeit.exec();
        // Either button leaves the fields as the dialog shows them.
        felder.Startfreq = QString::number(d.Geschwindigkeit.Startfreq());
        felder.Eilfreq = QString::number(d.Geschwindigkeit.Eilfreq());
        felder.Rampenlaenge = QString::number(d.Geschwindigkeit.Rampenlaenge());
    };
    f.Dosierzeit_oeffnen = [&f, &d](double pdosierzeit) -> std::optional<double> {
        d.Dosierzeit.Messung.Ventil = [&f](int32_t n) { DomingAusgangssignal(f.Kontext(), n); };
        d.Dosierzeit.Oeffnen(pdosierzeit, f.PageControl->mapToGlobal(QPoint(0, 0)));
        if (d.Dosierzeit.exec() != QDialog::Accepted) return std::nullopt;
        return d.Dosierzeit.Dosierzeit();
    };
    d.Spuelung.Statusfeld_setzen = [&f](const std::string& text) {
        f.Statusfeld_zeigen(5, Q(text));
    };
    f.Spuelung_oeffnen = [&d] { d.Spuelung.exec(); };
    d.Parameter.Lesen();
}

} // namespace orvexa
