#include "domingjob.h"

#include "core/dateien.h"
#include "core/fehler.h"
#include "core/maschinenparameter.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "core/zeichensatz.h"
#include "dispensing/domingparameter.h"
#include "platform/oberflaeche.h"
#include "platform/zeitbasis.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

namespace orvexa {

namespace {

constexpr const char* Fehlertitel = "F E H L E R";

// One line of the job file, in the order it is written. Type is written from the page shown
// rather than from the job.
struct Zeile {
    enum Art { fest, ganzzahl, reellzahl, textwert } art;
    const char* inhalt; // the fixed line, or the key
    int32_t DomingJob::*ganz = nullptr;
    double DomingJob::*reell = nullptr;
    std::string DomingJob::*text = nullptr;
    bool nur_mit_Druck = false; // written by the pressure-fed window only
};

constexpr Zeile F(const char* inhalt) {
    return {Zeile::fest, inhalt};
}
constexpr Zeile G(const char* name, int32_t DomingJob::*feld) {
    return {Zeile::ganzzahl, name, feld};
}
constexpr Zeile R(const char* name, double DomingJob::*feld) {
    return {Zeile::reellzahl, name, nullptr, feld};
}
constexpr Zeile T(const char* name, std::string DomingJob::*feld) {
    return {Zeile::textwert, name, nullptr, nullptr, feld};
}

using J = DomingJob;

constexpr Zeile Druck(Zeile z) {
    z.nur_mit_Druck = true;
    return z;
}

constexpr std::array Dateiaufbau = {
    F(Doming_Kopfzeile),
    F(";"),
    F("[Startpunkt]"),
    R("xStartpunkt", &J::xStartpunkt),
    R("yStartpunkt", &J::yStartpunkt),
    F(""),
    Druck(F("[Druck]")),
    Druck(R("Materialdruck", &J::Materialdruck)),
    Druck(R("Ventildruck", &J::Ventildruck)),
    Druck(F("")),
    F("[Abstand]"),
    R("xAbstand", &J::xAbstand),
    R("yAbstand", &J::yAbstand),
    F(""),
    G("xAnzahl", &J::xAnzahl),
    G("yAnzahl", &J::yAnzahl),
    F(""),
    F("[Bogenbearbeitung]"),
    R("BxAbstand", &J::BxAbstand),
    R("ByAbstand", &J::ByAbstand),
    F(""),
    G("BxAnzahl", &J::BxAnzahl),
    G("ByAnzahl", &J::ByAnzahl),
    F(""),
    T("Type", &J::Type),
    F(""),
    F("[Geschwindigkeit]"),
    G("Startfreq", &J::Startfreq),
    G("Eilfreq", &J::Eilfreq),
    G("Rampenlaenge", &J::Rampenlaenge),
    F(""),
    G("Dosierkopf", &J::Dosierkopf),
    F(""),
    F("[Punkt]"),
    R("PDosierzeit", &J::PDosierzeit),
    R("PAbtropfzeit", &J::PAbtropfzeit),
    G("PEilfreq", &J::PEilfreq),
    G("PRampenlaenge", &J::PRampenlaenge),
    F(""),
    F("[Linie]"),
    R("LDosierzeit1", &J::LDosierzeit1),
    R("LLaenge", &J::LLaenge),
    G("LArbeitsfreq", &J::LArbeitsfreq),
    G("LRampenlaenge", &J::LRampenlaenge),
    R("LDosierzeit3", &J::LDosierzeit3),
    R("LAbtropflinie", &J::LAbtropflinie),
    R("LAbtropfzeit", &J::LAbtropfzeit),
    F(""),
    F("[Kreis]"),
    R("KDosierzeit1", &J::KDosierzeit1),
    R("KRadius", &J::KRadius),
    G("KArbeitsfreq", &J::KArbeitsfreq),
    G("KRampenlaenge", &J::KRampenlaenge),
    G("KEndwinkel", &J::KEndwinkel),
    R("KDosierzeit3", &J::KDosierzeit3),
    R("KAbtropfzeit", &J::KAbtropfzeit),
    F(""),
    F("[Rechteck]"),
    R("RDosierzeit1", &J::RDosierzeit1),
    R("RLaenge", &J::RLaenge),
    R("RBreite", &J::RBreite),
    G("RArbeitsfreq", &J::RArbeitsfreq),
    G("RRampenlaenge", &J::RRampenlaenge),
    R("RMinusLaenge", &J::RMinusLaenge),
    R("RDosierzeit3", &J::RDosierzeit3),
    R("RAbtropfzeit", &J::RAbtropfzeit),
    F(""),
    F("[HPGL]"),
    T("HFilename", &J::HFilename),
    R("HDosierzeit1", &J::HDosierzeit1),
    G("HArbeitsfreq", &J::HArbeitsfreq),
    G("HRampenlaenge", &J::HRampenlaenge),
    R("HDosierzeit3", &J::HDosierzeit3),
    R("HAbtropfzeit", &J::HAbtropfzeit),
};

constexpr std::size_t Schluesselzahl = [] {
    std::size_t n = 0;
    for (const Zeile& z : Dateiaufbau)
        n += z.art != Zeile::fest;
    return n;
}();

const std::array<std::string_view, Schluesselzahl>& Schluesselliste() {
    static const auto liste = [] {
        std::array<std::string_view, Schluesselzahl> l{};
        std::size_t i = 0;
        for (const Zeile& z : Dateiaufbau)
            if (z.art != Zeile::fest) l[i++] = z.inhalt;
        return l;
    }();
    return liste;
}

// Every length, dosing and drip-off time: what is not >= 0 becomes 0.
constexpr std::array<double DomingJob::*, 25> Nichtnegative_Werte = {
    &J::xStartpunkt,  &J::yStartpunkt,   &J::xAbstand,     &J::yAbstand,     &J::BxAbstand,
    &J::ByAbstand,    &J::PDosierzeit,   &J::PAbtropfzeit, &J::LDosierzeit1, &J::LLaenge,
    &J::LDosierzeit3, &J::LAbtropflinie, &J::LAbtropfzeit, &J::KDosierzeit1, &J::KRadius,
    &J::KDosierzeit3, &J::KAbtropfzeit,  &J::RDosierzeit1, &J::RLaenge,      &J::RBreite,
    &J::RDosierzeit3, &J::RAbtropfzeit,  &J::HDosierzeit1, &J::HDosierzeit3, &J::HAbtropfzeit,
};

// A text value on one line of its own: whatever follows a line break would become lines of
// the file, so the value ends there.
std::string_view Eine_Zeile(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

bool Gleich_ohne_Gross_klein(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto klein = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (klein(a[i]) != klein(b[i])) return false;
    }
    return true;
}

// Slider positions are ints; a double outside that range would not convert.
double Auf_Regler_begrenzen(double wert) {
    return std::clamp(wert, 0.0, static_cast<double>(std::numeric_limits<int32_t>::max()));
}

} // namespace

DomingJob Doming_Vorgaben(const Maschinenparameter& maschine) {
    DomingJob job;
    job.PEilfreq = maschine.Eilfreq;
    job.PRampenlaenge = maschine.Rampenlaenge;
    job.LArbeitsfreq = job.KArbeitsfreq = job.RArbeitsfreq = job.HArbeitsfreq =
        maschine.Arbeitsfreq;
    job.LRampenlaenge = job.KRampenlaenge = job.RRampenlaenge = job.HRampenlaenge =
        maschine.Rampenlaenge;
    return job;
}

void Doming_annehmen(DomingJob& job) {
    for (double DomingJob::*feld : Nichtnegative_Werte)
        if (!(job.*feld >= 0.0)) job.*feld = 0.0;
    for (int32_t DomingJob::*anzahl : {&J::xAnzahl, &J::yAnzahl, &J::BxAnzahl, &J::ByAnzahl})
        job.*anzahl = std::max(job.*anzahl, 1);

    // Eilfreq is the upper end of every slider. A start frequency above it leaves no range;
    // the frequencies then stay at Eilfreq rather than exceed the rapid speed.
    const int32_t hoechste = job.Eilfreq;
    const int32_t kleinste = std::min(job.Startfreq, job.Eilfreq);
    for (int32_t DomingJob::*frequenz :
         {&J::PEilfreq, &J::LArbeitsfreq, &J::KArbeitsfreq, &J::RArbeitsfreq, &J::HArbeitsfreq})
        job.*frequenz = std::clamp(job.*frequenz, kleinste, hoechste);

    job.KEndwinkel = std::clamp(job.KEndwinkel, 180, 225);
    if (job.Dosierkopf != 0 && job.Dosierkopf != 1) job.Dosierkopf = 0;

    // Tenths of a millimetre, at most half the rectangle's length.
    const double hoechstens = Auf_Regler_begrenzen(std::trunc(job.RLaenge * 5.0));
    const double zehntel = std::isnan(job.RMinusLaenge) ? 0.0 : std::round(job.RMinusLaenge * 10);
    job.RMinusLaenge = std::clamp(zehntel, 0.0, hoechstens) / 10.0;
}

bool Doming_Dateiinhalt_lesen(std::string_view bytes, DomingJob& job,
                              const Maschinenparameter& maschine) {
    const auto werte = Doming_Datei_zerlegen(bytes, Schluesselliste());
    if (!werte) {
        job = Doming_Vorgaben(maschine);
        return false;
    }
    std::size_t i = 0;
    for (const Zeile& z : Dateiaufbau) {
        if (z.art == Zeile::fest) continue;
        const std::string wert = (*werte)[i++].value_or(std::string{});
        switch (z.art) {
        case Zeile::ganzzahl:
            job.*z.ganz = Doming_Ganzzahl_lesen(wert);
            break;
        case Zeile::reellzahl:
            job.*z.reell = Doming_Zahl_lesen(wert);
            break;
        case Zeile::textwert:
            job.*z.text = Text_trimmen(wert);
            break;
        case Zeile::fest:
            break;
        }
    }
    if (job.Dosierkopf != 0 && job.Dosierkopf != 1) job.Dosierkopf = 0;
    return true;
}

Doming_Ladeergebnis Doming_Datei_laden(const std::string& pfad, DomingJob& job,
                                       const Maschinenparameter& maschine) {
    std::string bytes;
    if (!Datei_existiert(pfad)) {
        std::error_code fehler;
        // Something that is not a plain file (a folder, a device) is never opened.
        if (!std::filesystem::exists(pfad, fehler)) {
            job = Doming_Vorgaben(maschine);
            return Doming_Ladeergebnis::fehlt;
        }
    } else if (Datei_lesen(pfad, bytes)) {
        if (Doming_Dateiinhalt_lesen(bytes, job, maschine)) return Doming_Ladeergebnis::geladen;
        Doming_Doppelton();
        return Doming_Ladeergebnis::falscher_Kopf;
    }
    job = Doming_Vorgaben(maschine);
    Protokoll_Zeile("Doming_Datei_laden() :: " + pfad + " nicht lesbar");
    oberflaeche().Meldung("Die DOMING-Datei\n" + pfad +
                              "\nkann nicht gelesen werden.\nEs gelten die Vorgabewerte.\n",
                          Fehlertitel, Symbol::warnung, Knoepfe::ok);
    return Doming_Ladeergebnis::nicht_lesbar;
}

std::string Doming_Dateitext(const DomingJob& job, const std::string& typ, bool mit_Druck) {
    std::string text;
    text.reserve(1600);
    for (const Zeile& z : Dateiaufbau) {
        if (z.nur_mit_Druck && !mit_Druck) continue;
        text += z.inhalt;
        if (z.art != Zeile::fest) text += '=';
        switch (z.art) {
        case Zeile::fest:
            break;
        case Zeile::ganzzahl:
            text += std::to_string(job.*z.ganz);
            break;
        case Zeile::reellzahl:
            text += Doming_Zahl_schreiben(job.*z.reell);
            break;
        case Zeile::textwert:
            text += Eine_Zeile(z.text == &J::Type ? typ : job.*z.text);
            break;
        }
        text += "\r\n";
    }
    return Utf8_zu_Cp1252(text);
}

bool Doming_Datei_speichern(const std::string& pfad, const DomingJob& job, const std::string& typ,
                            bool mit_Druck) {
    return Doming_Datei_schreiben(pfad, Doming_Dateitext(job, typ, mit_Druck),
                                  "Doming_Datei_speichern()");
}

void CheckVariablen(const DomingJob& job) {
    auto ablehnen = [](const std::string& was) {
        oberflaeche().Meldung(was + "\n", Fehlertitel, Symbol::warnung, Knoepfe::ok);
        Protokoll_Zeile("CheckVariablen() :: " + was);
        throw Steuerungsfehler{Fehler_bereits_gemeldet};
    };
    if (!(job.xAbstand > 0 && job.yAbstand > 0)) ablehnen("Abstand-Parameter überprüfen!");
    if (!(job.BxAbstand > 0 && job.ByAbstand > 0)) ablehnen("Bogen-Parameter überprüfen!");
}

namespace {

// In doubles, so that the last part of a job whose counts were never accepted (a count of
// INT32_MIN minus one) cannot overflow on the way.
DomingOrt Ort_bei(const DomingJob& job, double ixBogen, double iyBogen, double ix, double iy,
                  DomingOrt* bogenversatz = nullptr) {
    const double bogen_dx = (static_cast<double>(job.xAnzahl) - 1.0) * job.xAbstand + job.BxAbstand;
    const double bogen_dy = (static_cast<double>(job.yAnzahl) - 1.0) * job.yAbstand + job.ByAbstand;
    const DomingOrt versatz{ixBogen * bogen_dx, iyBogen * bogen_dy};
    if (bogenversatz) *bogenversatz = versatz;
    return {ix * job.xAbstand + job.xStartpunkt + versatz.x,
            iy * job.yAbstand + job.yStartpunkt + versatz.y};
}

} // namespace

DomingOrt Doming_Teilort(const DomingJob& job, const DomingZaehler& t) {
    return Ort_bei(job, t.ixBogen, t.iyBogen, t.ix, t.iy);
}

void Doming_Teile_besuchen(const DomingJob& job, const DomingZaehler& ab,
                           const std::function<bool(const DomingBesuch&)>& teil,
                           const std::function<void(int32_t ixBogen, int32_t iyBogen)>& bogen) {
    DomingZaehler z = ab;
    DomingBesuch b;
    for (int32_t iyBogen = z.iyBogen; iyBogen < job.ByAnzahl; ++iyBogen) {
        for (int32_t ixBogen = z.ixBogen; ixBogen < job.BxAnzahl; ++ixBogen) {
            if (bogen) bogen(ixBogen, iyBogen);
            for (int32_t iy = z.iy; iy < job.yAnzahl; ++iy) {
                for (int32_t ix = z.ix; ix < job.xAnzahl; ++ix) {
                    b.Teil = {ixBogen, iyBogen, ix, iy};
                    b.Ort = Ort_bei(job, ixBogen, iyBogen, ix, iy, &b.Bogenversatz);
                    if (!teil(b)) return;
                }
                z.ix = 0;
            }
            z.iy = 0;
        }
        z.ixBogen = 0;
    }
}

DomingOrt Doming_Formreichweite(const DomingJob& job, double hpgl_xmax_mm, double hpgl_ymax_mm) {
    if (job.Type == "Linie") return {job.LLaenge + job.LAbtropflinie, 0.0};
    if (job.Type == "Kreis") return {job.KRadius, job.KRadius};
    if (job.Type == "Rechteck") return {job.RLaenge, job.RBreite};
    if (job.Type == "HPGL") return {hpgl_xmax_mm, hpgl_ymax_mm};
    return {};
}

bool Doming_im_Arbeitsbereich(const DomingOrt& teil, const DomingOrt& formreichweite,
                              const DomingParameter& parameter) {
    // Written so that a NaN anywhere fails the check instead of passing it.
    return teil.x + formreichweite.x <= parameter.xAbmessung &&
           teil.y + formreichweite.y <= parameter.yAbmessung;
}

void Arbeitsbereich_pruefen(const DomingJob& job, const DomingParameter& parameter,
                            double hpgl_xmax_mm, double hpgl_ymax_mm) {
    // The last part of the last sheet lies farthest out, the pitches being no less than 0.
    const DomingOrt letzter = Ort_bei(
        job, static_cast<double>(job.BxAnzahl) - 1.0, static_cast<double>(job.ByAnzahl) - 1.0,
        static_cast<double>(job.xAnzahl) - 1.0, static_cast<double>(job.yAnzahl) - 1.0);
    const DomingOrt form = Doming_Formreichweite(job, hpgl_xmax_mm, hpgl_ymax_mm);
    Protokoll_Zeile(Formatieren("dxMax=%.2f dyMax=%.2f", letzter.x + form.x, letzter.y + form.y));
    if (!Doming_im_Arbeitsbereich(letzter, form, parameter)) {
        oberflaeche().Meldung("   Arbeitsbereich zu klein!\nBitte Parameter überprüfen!\n",
                              Fehlertitel, Symbol::warnung, Knoepfe::ok);
        Protokoll_Zeile("Arbeitsbereich_pruefen() :: Arbeitsbereich zu klein!");
        throw Steuerungsfehler{Fehler_bereits_gemeldet};
    }
}

std::string Doming_Zahl_schreiben(double wert) {
    if (!std::isfinite(wert)) return "0.00";
    // Six significant digits as "d.ddddde±x"; the rest is done on these decimal digits so that
    // the binary value's long tail never shows (1e30 is not 1000000000000000019884624838656).
    char puffer[32];
    const auto [ende, fehler] =
        std::to_chars(puffer, puffer + sizeof puffer, wert, std::chars_format::scientific, 5);
    if (fehler != std::errc{}) return "0.00";
    const std::string_view wissenschaftlich(puffer, static_cast<std::size_t>(ende - puffer));
    const bool negativ = wissenschaftlich.front() == '-';
    const std::string_view zahl = wissenschaftlich.substr(negativ ? 1 : 0);
    std::string ziffern{zahl[0]};
    ziffern += zahl.substr(2, 5);
    const std::string_view exponententext = zahl.substr(zahl.find('e') + 1);
    int exponent = 0;
    std::from_chars(exponententext.data() + (exponententext.front() == '+' ? 1 : 0),
                    exponententext.data() + exponententext.size(), exponent);

    // 27 integer digits, a sign and ".00" are the 31 characters the reader takes.
    constexpr int hoechster_exponent = 26;
    if (exponent > hoechster_exponent) {
        ziffern = "999999";
        exponent = hoechster_exponent;
    }

    // The value in hundredths, as digits; rounded half away from zero at the second decimal.
    std::string hundertstel;
    const int verschiebung = exponent - 3; // hundredths = ziffern × 10^verschiebung
    if (verschiebung >= 0) {
        hundertstel = ziffern + std::string(static_cast<std::size_t>(verschiebung), '0');
    } else if (verschiebung >= -6) {
        const std::size_t behalten = static_cast<std::size_t>(6 + verschiebung);
        uint64_t wert_hundertstel = 0;
        for (std::size_t i = 0; i < behalten; ++i)
            wert_hundertstel = wert_hundertstel * 10 + static_cast<uint64_t>(ziffern[i] - '0');
        if (ziffern[behalten] >= '5') ++wert_hundertstel;
        hundertstel = std::to_string(wert_hundertstel);
    } else {
        hundertstel = "0";
    }
    if (hundertstel.size() < 3) hundertstel.insert(0, std::string(3 - hundertstel.size(), '0'));
    const bool null = hundertstel.find_first_not_of('0') == std::string::npos;
    hundertstel.insert(hundertstel.size() - 2, ".");
    return (negativ && !null ? "-" : "") + hundertstel;
}

double Doming_Zahl_lesen(std::string_view wert) {
    try {
        const double zahl = Text_zu_Zahl(wert);
        return std::isfinite(zahl) ? zahl : 0.0;
    } catch (const Umwandlungsfehler&) {
        return 0.0;
    }
}

int32_t Doming_Ganzzahl_lesen(std::string_view wert) {
    try {
        return Text_zu_Ganzzahl(wert);
    } catch (const Umwandlungsfehler&) {
        return 0;
    }
}

std::optional<std::vector<std::optional<std::string>>>
Doming_Datei_zerlegen(std::string_view bytes, std::span<const std::string_view> schluessel) {
    const std::string text = Cp1252_zu_Utf8(bytes);
    std::vector<std::optional<std::string>> werte(schluessel.size());
    std::size_t laengster = 0;
    for (const std::string_view s : schluessel)
        laengster = std::max(laengster, s.size());

    std::string_view rest = text;
    bool erste_zeile = true;
    std::size_t offen = schluessel.size();
    while (!rest.empty() || erste_zeile) {
        const std::size_t zeilenende = rest.find_first_of("\r\n");
        const std::string_view zeile = rest.substr(0, zeilenende);
        if (zeilenende == std::string_view::npos) {
            rest = {};
        } else {
            const bool crlf = rest[zeilenende] == '\r' && zeilenende + 1 < rest.size() &&
                              rest[zeilenende + 1] == '\n';
            rest.remove_prefix(zeilenende + (crlf ? 2 : 1));
        }
        if (erste_zeile) {
            // An empty file has no first line, and so not the header either.
            if (text.empty() || zeile != Doming_Kopfzeile) return std::nullopt;
            erste_zeile = false;
            continue;
        }
        if (offen == 0) break;
        const std::size_t gleich = zeile.find('=');
        if (gleich == std::string_view::npos || gleich > laengster) continue;
        const std::string_view name = zeile.substr(0, gleich);
        for (std::size_t i = 0; i < schluessel.size(); ++i) {
            if (werte[i] || !Gleich_ohne_Gross_klein(name, schluessel[i])) continue;
            werte[i] = std::string(zeile.substr(gleich + 1));
            --offen;
            break;
        }
    }
    return werte;
}

void Doming_Doppelton() {
    oberflaeche().Piepton(440, 100);
    Zeitbasis::Schlafen(100);
    oberflaeche().Piepton(440, 100);
}

bool Doming_Datei_schreiben(const std::string& pfad, std::string_view bytes,
                            const std::string& funktion) {
    std::string grund;
    if (Datei_atomar_schreiben(pfad, bytes, &grund)) return true;
    Protokoll_schreiben(Ebene_Fehler, funktion + " :: " + grund);
    // The path is named once, above the reason.
    if (grund.starts_with(pfad + ": ")) grund.erase(0, pfad.size() + 2);
    oberflaeche().Meldung("Die Datei\n" + pfad + "\nkonnte nicht gespeichert werden.\n\nGrund: " +
                              grund + "\n\nDie Datei bleibt, wie sie war.\n",
                          Fehlertitel, Symbol::warnung, Knoepfe::ok);
    return false;
}

} // namespace orvexa
