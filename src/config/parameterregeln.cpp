#include "parameterregeln.h"

#include "core/fehler.h"
#include "core/steuerungstypen.h"
#include "core/text.h"

#include <cctype>
#include <cstdio>

namespace orvexa {

void Typvorgaben_anwenden(Maschinenparameter& p) {
    const Antriebsvorgaben& v = Typangaben(p.Modul).Vorgaben;
    auto vorgeben = [](int32_t vorgabe, int32_t& feld) {
        if (vorgabe != Antriebsvorgaben::bleibt) feld = vorgabe;
    };
    vorgeben(v.Steuersignal, p.Steuersignal);
    vorgeben(v.Schrittbetrieb, p.Schrittbetrieb);
    vorgeben(v.Ruhestrom, p.Ruhestrom);
    vorgeben(v.ZBetrieb, p.ZBetrieb);
    vorgeben(v.UBetrieb, p.UBetrieb);
}

Sichtbarkeit Sichtbarkeit_fuer(int32_t modul) {
    const Steuerungstyp& typ = Typangaben(modul);
    Sichtbarkeit s;
    s.Parallel = typ.Verbindung == Verbindungsart::Parallelport;
    s.Ansteuersignal = typ.Antriebswahl;
    // A card that takes no signal setting offers its KX signal alone.
    s.Ansteuersignal_nur_KX = typ.Antriebswahl && typ.Ansteuersignal == Signalquelle::keine;
    s.Schrittbetrieb = typ.Antriebswahl;
    s.Ruhestrom = typ.Antriebswahl;
    s.UAchse = typ.UBetrieb;
    s.uZeilen = typ.U_Parameter;
    s.Achsspalten = s.uZeilen;
    return s;
}

std::vector<int32_t> Baudangebot(Maschinenparameter& p) {
    if (ist_speichernder_Typ(p.Modul)) {
        p.Baudrate = 19200;
        return {19200};
    }
    if (ist_paralleler_Typ(p.Modul)) return {};
    p.Baudrate = 115200;
    return {115200, 19200};
}

LPTWahl LPT_Wahl_zu(int32_t adresse) {
    if (adresse == LPT1_Adresse) return LPTWahl::LPT1;
    if (adresse == LPT2_Adresse) return LPTWahl::LPT2;
    return LPTWahl::Adresse;
}

std::string Adresse_als_Hex(int32_t adresse) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(adresse));
    return text;
}

std::optional<int32_t> Hexadresse_lesen(std::string_view text) {
    std::string s = Text_trimmen(text);
    if (s.starts_with("0x") || s.starts_with("0X"))
        s.erase(0, 2);
    else if (s.starts_with("$"))
        s.erase(0, 1);
    if (s.empty() || s.size() > 8) return std::nullopt;
    int32_t wert = 0;
    for (const char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int ziffer = std::isdigit(static_cast<unsigned char>(c))
                               ? c - '0'
                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        wert = wert * 16 + ziffer;
        if (wert > 0xFFFD) return std::nullopt;
    }
    if (wert < 1) return std::nullopt;
    return wert;
}

std::string Portname(std::string_view eintrag) {
    const std::string text = Text_trimmen(eintrag);
    return text.substr(0, text.find(' '));
}

int32_t Reihenfolge_begrenzen(int32_t nummer) {
    return nummer < 1 ? 1 : nummer > 4 ? 4 : nummer;
}

const std::vector<int32_t>& Pinliste(Pinart art) {
    static const std::vector<int32_t> takt_richtung{2, 3, 4, 5, 6, 7, 8, 9};
    static const std::vector<int32_t> referenz{10, 11, 12, 13};
    static const std::vector<int32_t> ausgang{1, 14, 16, 17};
    switch (art) {
    case Pinart::TaktRichtung:
        return takt_richtung;
    case Pinart::Referenz:
        return referenz;
    case Pinart::Ausgang:
        break;
    }
    return ausgang;
}

int32_t Pin_aus_Auswahl(Pinart art, int index) {
    const auto& liste = Pinliste(art);
    if (index < 0 || static_cast<std::size_t>(index) >= liste.size()) return 0;
    return liste[static_cast<std::size_t>(index)];
}

int Auswahl_aus_Pin(Pinart art, int32_t pin) {
    const auto& liste = Pinliste(art);
    for (std::size_t i = 0; i < liste.size(); ++i)
        if (liste[i] == pin) return static_cast<int>(i);
    return -1;
}

namespace {

double Zahl(std::string_view text) {
    try {
        return Text_zu_Zahl(text);
    } catch (const Umwandlungsfehler&) {
        return 0.0;
    }
}

void Index_uebernehmen(int index, int32_t& feld, int32_t versatz = 0) {
    if (index >= 0) feld = index + versatz;
}

void Pin_uebernehmen(Pinart art, int index, int32_t& feld) {
    feld = Pin_aus_Auswahl(art, index);
}

} // namespace

Uebernahmefehler Formularwerte_uebernehmen(const Formularwerte& w, Maschinenparameter& p) {
    Uebernahmefehler fehler = Uebernahmefehler::keiner;
    if (w.Modul >= 0) p.Modul = w.Modul;

    if (ist_paralleler_Typ(p.Modul)) {
        switch (w.Lpt) {
        case LPTWahl::LPT1:
            p.LPTAdresse = LPT1_Adresse;
            break;
        case LPTWahl::LPT2:
            p.LPTAdresse = LPT2_Adresse;
            break;
        case LPTWahl::Adresse:
            if (const auto adresse = Hexadresse_lesen(w.Adresstext))
                p.LPTAdresse = *adresse;
            else
                fehler = Uebernahmefehler::Adresse;
            break;
        }
    } else {
        if (w.ComNummer > 0) p.ComPort = w.ComNummer;
        if (!w.Baudtext.empty()) p.Baudrate = Ganzzahl_oder_null(w.Baudtext);
    }

    int32_t* takt[4] = {&p.xTakt, &p.yTakt, &p.zTakt, &p.uTakt};
    int32_t* richtung[4] = {&p.xRichtung, &p.yRichtung, &p.zRichtung, &p.uRichtung};
    int32_t* ref[4] = {&p.xRef, &p.yRef, &p.zRef, &p.uRef};
    for (std::size_t i = 0; i < 4; ++i) {
        Pin_uebernehmen(Pinart::TaktRichtung, w.Takt[i], *takt[i]);
        Pin_uebernehmen(Pinart::TaktRichtung, w.Richtung[i], *richtung[i]);
        Pin_uebernehmen(Pinart::Referenz, w.Ref[i], *ref[i]);
    }
    Pin_uebernehmen(Pinart::Ausgang, w.Bohrspindel, p.Bohrspindel);
    Pin_uebernehmen(Pinart::Ausgang, w.Kuehlmittelpumpe, p.Kuehlmittelpumpe);
    Pin_uebernehmen(Pinart::Ausgang, w.Absaugung, p.Absaugung);

    p.Startfreq = Ganzzahl_oder_null(w.Startfreq);
    p.Arbeitsfreq = Ganzzahl_oder_null(w.Arbeitsfreq);
    p.Eilfreq = Ganzzahl_oder_null(w.Eilfreq);
    p.Rampenlaenge = Ganzzahl_oder_null(w.Rampenlaenge);

    double* uebersetz[4] = {&p.xUebersetz, &p.yUebersetz, &p.zUebersetz, &p.uUebersetz};
    int32_t* motstep[4] = {&p.xMotStep, &p.yMotStep, &p.zMotStep, &p.uMotStep};
    double* refoffset[4] = {&p.xRefOffset, &p.yRefOffset, &p.zRefOffset, &p.uRefOffset};
    int32_t* refnr[4] = {&p.xRefNr, &p.yRefNr, &p.zRefNr, &p.uRefNr};
    for (std::size_t i = 0; i < 4; ++i) {
        *uebersetz[i] = Zahl(w.Uebersetz[i]);
        *motstep[i] = Ganzzahl_oder_null(w.MotStep[i]);
        *refoffset[i] = Zahl(w.RefOffset[i]);
        *refnr[i] = Reihenfolge_begrenzen(Ganzzahl_oder_null(w.RefNr[i]));
    }

    Index_uebernehmen(w.Steuersignal, p.Steuersignal);
    Index_uebernehmen(w.Schrittbetrieb, p.Schrittbetrieb);
    Index_uebernehmen(w.Ruhestrom, p.Ruhestrom);
    Index_uebernehmen(w.ZBetrieb, p.ZBetrieb, 1);
    Index_uebernehmen(w.UBetrieb, p.UBetrieb);
    p.RefFreq = Ganzzahl_oder_null(w.RefFreq);
    return fehler;
}

} // namespace orvexa
