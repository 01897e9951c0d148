#include "virtuellemaschine.h"

#include "platform/zeitbasis.h"

#include <array>
#include <cstdio>
#include <utility>

namespace orvexa {

namespace {

constexpr std::array<uint8_t, 8> Lauf_halb{0x27, 0x2D, 0x1C, 0x0D, 0x03, 0x09, 0x38, 0x29};
constexpr std::array<uint8_t, 4> Lauf_voll{0x04, 0x00, 0x20, 0x24};
// Standstill tables at 0 %, 20 % and 60 % current.
constexpr std::array<std::array<uint8_t, 8>, 3> Ruhe_halb{{
    {0x3F, 0x3F, 0x1F, 0x1F, 0x1B, 0x1B, 0x3B, 0x3B},
    {0x37, 0x36, 0x1E, 0x16, 0x13, 0x12, 0x3A, 0x32},
    {0x2F, 0x2D, 0x1D, 0x0D, 0x0B, 0x09, 0x39, 0x29},
}};
constexpr std::array<std::array<uint8_t, 4>, 3> Ruhe_voll{{
    {0x1F, 0x1B, 0x3B, 0x3F},
    {0x16, 0x12, 0x32, 0x36},
    {0x0D, 0x09, 0x29, 0x2D},
}};

constexpr uint8_t Relais_an = 0xA7;
constexpr uint8_t Relais_aus = 0xBC;
constexpr char Achsbuchstabe[4] = {'x', 'y', 'z', 'u'};

template <std::size_t N>
int Index_in(const std::array<uint8_t, N>& tabelle, uint8_t muster) {
    for (std::size_t i = 0; i < N; ++i)
        if (tabelle[i] == muster) return static_cast<int>(i);
    return -1;
}

int Laufindex(VirtuelleMaschine::Phasenbetrieb betrieb, uint8_t muster) {
    return betrieb == VirtuelleMaschine::Phasenbetrieb::Halbschritt ? Index_in(Lauf_halb, muster)
                                                                    : Index_in(Lauf_voll, muster);
}

bool Ist_Ruhemuster(VirtuelleMaschine::Phasenbetrieb betrieb, uint8_t muster) {
    if (betrieb == VirtuelleMaschine::Phasenbetrieb::Halbschritt) {
        for (const auto& t : Ruhe_halb)
            if (Index_in(t, muster) >= 0) return true;
    } else {
        for (const auto& t : Ruhe_voll)
            if (Index_in(t, muster) >= 0) return true;
    }
    return false;
}

std::string Hex(unsigned wert) {
    char puffer[16];
    std::snprintf(puffer, sizeof puffer, "0x%X", wert);
    return puffer;
}

} // namespace

VirtuelleMaschine::VirtuelleMaschine(uint16_t basis) : basis_(basis) {
    Eingangsmodus_fuer_Modul(7);
    protokoll_.reserve(1u << 16);
}

int VirtuelleMaschine::Achsnummer(char achse) {
    switch (achse) {
    case 'x':
    case 'X':
        return 0;
    case 'y':
    case 'Y':
        return 1;
    case 'z':
    case 'Z':
        return 2;
    case 'u':
    case 'U':
        return 3;
    default:
        return -1;
    }
}

bool VirtuelleMaschine::Oeffnen(uint16_t basisadresse) {
    std::lock_guard sperre(mutex_);
    if (basisadresse != basis_) {
        fehlertext_ = "kein Parallelport an " + Hex(basisadresse) + " (virtuelle Maschine an " +
                      Hex(basis_) + ")";
        return false;
    }
    if (basis_ > 0xFFFD) {
        fehlertext_ = "Portadresse " + Hex(basis_) + " zu groß: drei Register passen nicht";
        return false;
    }
    offen_ = true;
    fehlertext_.clear();
    return true;
}

void VirtuelleMaschine::Schliessen() {
    std::lock_guard sperre(mutex_);
    offen_ = false;
}

bool VirtuelleMaschine::Offen() const {
    std::lock_guard sperre(mutex_);
    return offen_;
}

std::string VirtuelleMaschine::Fehlertext() const {
    std::lock_guard sperre(mutex_);
    return fehlertext_;
}

bool VirtuelleMaschine::Lesen(uint16_t adresse, uint8_t& wert) {
    std::lock_guard sperre(mutex_);
    if (!offen_ || adresse < basis_ || adresse - basis_ > 2) return false;
    switch (adresse - basis_) {
    case 0:
        wert = daten_;
        break;
    case 1:
        wert = Status_berechnen();
        break;
    default:
        wert = steuer_;
        break;
    }
    return true;
}

bool VirtuelleMaschine::Schreiben(uint16_t adresse, uint8_t wert) {
    int32_t schritte[4] = {0, 0, 0, 0};
    std::shared_ptr<const std::function<void(char, int32_t)>> beobachter;
    int32_t positionen[4];
    {
        std::lock_guard sperre(mutex_);
        if (!offen_ || adresse < basis_ || adresse - basis_ > 2) return false;
        const int register_nr = adresse - basis_;
        if (register_nr == 1) {
            Fehler("Schreiben ins Statusregister (" + Hex(wert) + ")");
            return false;
        }
        const int64_t t = Zeitbasis::Zaehler();
        if (protokollieren_) {
            if (protokoll_.size() < protokollgrenze_)
                protokoll_.push_back({t, adresse, wert});
            else
                ++verworfen_;
        }
        if (register_nr == 0) {
            const uint8_t alt = daten_;
            daten_ = wert;
            Daten_geschrieben(alt, wert, t, schritte);
        } else {
            const uint8_t alt = steuer_;
            steuer_ = wert;
            Steuer_geschrieben(alt, wert, t, schritte);
        }
        if (beobachter_ && (schritte[0] | schritte[1] | schritte[2] | schritte[3])) {
            beobachter = beobachter_;
            for (int i = 0; i < 4; ++i)
                positionen[i] = achsen_[i].position;
        }
    }
    if (beobachter) {
        for (int i = 0; i < 4; ++i)
            if (schritte[i] != 0) (*beobachter)(Achsbuchstabe[i], positionen[i]);
    }
    return true;
}

void VirtuelleMaschine::Daten_geschrieben(uint8_t alt, uint8_t neu, int64_t t,
                                          int32_t schritte[4]) {
    if (art_ == Kartenart::Phasen) {
        // The card latches on the end of the strobe; a change while it is low is a race.
        if (strobe_seit_ >= 0 && alt != neu) daten_im_strobe_geaendert_ = true;
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const uint8_t richtung = static_cast<uint8_t>(1u << (2 * i));
        const uint8_t schritt = static_cast<uint8_t>(1u << (2 * i + 1));
        Achse& a = achsen_[i];
        if (!(alt & schritt) && (neu & schritt)) {
            const int32_t d = (neu & richtung) ? 1 : -1;
            a.position += d;
            schritte[i] += d;
            ++schrittzahl_;
            if ((alt ^ neu) & richtung) ++richtungswechsel_;
            a.schritt_hoch_seit = t;
        } else if ((alt & schritt) && !(neu & schritt)) {
            if (a.schritt_hoch_seit >= 0) {
                const int64_t breite = t - a.schritt_hoch_seit;
                if (kuerzester_puls_ < 0 || breite < kuerzester_puls_) kuerzester_puls_ = breite;
            }
            a.schritt_hoch_seit = -1;
        }
    }
}

void VirtuelleMaschine::Steuer_geschrieben(uint8_t alt, uint8_t neu, int64_t t,
                                           int32_t schritte[4]) {
    if (art_ != Kartenart::Phasen) return;
    // Control bit 0 set = pin 1 low: the strobe pulse.
    if (!(alt & 1) && (neu & 1)) {
        strobe_seit_ = t;
        daten_im_strobe_geaendert_ = false;
    } else if ((alt & 1) && !(neu & 1)) {
        if (strobe_seit_ >= 0) {
            const int64_t breite = t - strobe_seit_;
            if (kuerzester_strobe_ < 0 || breite < kuerzester_strobe_) kuerzester_strobe_ = breite;
            if (breite < Strobe_mindestens_ns)
                Fehler("Strobe nur " + std::to_string(breite) + " ns lang");
        }
        if (daten_im_strobe_geaendert_) Fehler("Datenregister während des Strobes geändert");
        strobe_seit_ = -1;
        daten_im_strobe_geaendert_ = false;
        Muster_uebernehmen(daten_, schritte);
    }
}

void VirtuelleMaschine::Muster_uebernehmen(uint8_t byte, int32_t schritte[4]) {
    const int nr = byte >> 6;
    const uint8_t muster = byte & 0x3F;
    if (nr == 3) {
        Fehler("Phasenbyte " + Hex(byte) + " für Achse 3");
        return;
    }
    Achse& a = achsen_[nr];
    a.muster = muster;
    const bool relaisbyte = nr == 2 && (byte == Relais_an || byte == Relais_aus);
    if (relaisbyte) relais_ = byte == Relais_an;

    Phasenbetrieb betrieb = phasenbetrieb_ != Phasenbetrieb::Erkennen ? phasenbetrieb_ : erkannt_;
    int idx = -1;
    if (betrieb == Phasenbetrieb::Erkennen) {
        // A relay byte says nothing about the step mode.
        if (relaisbyte) return;
        if ((idx = Index_in(Lauf_halb, muster)) >= 0)
            betrieb = erkannt_ = Phasenbetrieb::Halbschritt;
        else if ((idx = Index_in(Lauf_voll, muster)) >= 0)
            betrieb = erkannt_ = Phasenbetrieb::Vollschritt;
        else
            return; // nothing to count from yet
    } else {
        idx = Laufindex(betrieb, muster);
    }

    if (idx < 0) {
        if (relaisbyte || Ist_Ruhemuster(betrieb, muster)) return;
        const Phasenbetrieb anderer = betrieb == Phasenbetrieb::Halbschritt
                                          ? Phasenbetrieb::Vollschritt
                                          : Phasenbetrieb::Halbschritt;
        const int anderer_idx = Laufindex(anderer, muster);
        if (phasenbetrieb_ == Phasenbetrieb::Erkennen && anderer_idx >= 0) {
            // The step mode was changed: follow it from this pattern on, without a step.
            erkannt_ = anderer;
            a.index = anderer_idx;
        }
        return;
    }

    const int n = betrieb == Phasenbetrieb::Halbschritt ? 8 : 4;
    const int alt = a.index % n;
    const int d = (idx - alt + n) % n;
    if (d == 0) return;
    if (d != 1 && d != n - 1) {
        // The relay byte shares its pattern with the half-step table; off the sequence it is
        // the relay only.
        if (relaisbyte) return;
        Fehler(std::string("Phasensprung ") + Achsbuchstabe[nr] + ": Index " + std::to_string(alt) +
               " -> " + std::to_string(idx));
        a.index = idx;
        return;
    }
    const int32_t schritt = d == 1 ? 1 : -1;
    a.index = idx;
    a.position += schritt;
    schritte[nr] += schritt;
    ++schrittzahl_;
}

bool VirtuelleMaschine::Pin_pegel(int pin) const {
    if (erzwungen_[pin]) return *erzwungen_[pin];
    bool verdrahtet = false;
    bool aktiv = false;
    for (int i = 0; i < 4; ++i) {
        if (belegung_.pin[i] != pin) continue;
        verdrahtet = true;
        const Achse& a = achsen_[i];
        if (a.schalter && a.position <= a.schaltpunkt) aktiv = true;
    }
    if (!verdrahtet) return true; // the port's pull-up
    return aktiv == belegung_.aktiv_hoch;
}

uint8_t VirtuelleMaschine::Status_berechnen() const {
    uint8_t s = 0;
    if (Pin_pegel(10)) s |= 0x40;
    if (!Pin_pegel(11)) s |= 0x80; // pin 11 is inverted in the port
    if (Pin_pegel(12)) s |= 0x20;
    if (Pin_pegel(13)) s |= 0x10;
    if (Pin_pegel(15)) s |= 0x08;
    return s;
}

void VirtuelleMaschine::Fehler(std::string text) {
    ++fehlerzahl_;
    // Keep the first few texts; the count goes on.
    if (fehler_.size() < 100) fehler_.push_back(std::move(text));
}

void VirtuelleMaschine::Kartenart_setzen(Kartenart art) {
    std::lock_guard sperre(mutex_);
    art_ = art;
    strobe_seit_ = -1;
    daten_im_strobe_geaendert_ = false;
}

VirtuelleMaschine::Kartenart VirtuelleMaschine::Aktuelle_Kartenart() const {
    std::lock_guard sperre(mutex_);
    return art_;
}

void VirtuelleMaschine::Modul_einstellen(int32_t modul) {
    Kartenart_setzen(modul == 0 ? Kartenart::Phasen : Kartenart::Takt_Richtung);
    Eingangsmodus_fuer_Modul(modul);
}

void VirtuelleMaschine::Eingangsmodus_fuer_Modul(int32_t modul) {
    std::lock_guard sperre(mutex_);
    switch (modul) {
    case 0:
    case 1:
        belegung_ = {{11, 11, 11, 11}, true};
        break;
    case 4:
        belegung_ = {{11, 12, 13, 15}, false};
        break;
    default:
        belegung_ = {{10, 11, 12, 10}, false};
        break;
    }
}

int32_t VirtuelleMaschine::Position(char achse) const {
    const int nr = Achsnummer(achse);
    if (nr < 0) return 0;
    std::lock_guard sperre(mutex_);
    return achsen_[nr].position;
}

void VirtuelleMaschine::Position_setzen(char achse, int32_t schritte) {
    const int nr = Achsnummer(achse);
    if (nr < 0) return;
    std::lock_guard sperre(mutex_);
    achsen_[nr].position = schritte;
}

void VirtuelleMaschine::Referenzschalter_setzen(char achse, int32_t schaltpunkt, bool vorhanden) {
    const int nr = Achsnummer(achse);
    if (nr < 0) return;
    std::lock_guard sperre(mutex_);
    achsen_[nr].schaltpunkt = schaltpunkt;
    achsen_[nr].schalter = vorhanden;
}

bool VirtuelleMaschine::Referenzschalter_aktiv(char achse) const {
    const int nr = Achsnummer(achse);
    if (nr < 0) return false;
    std::lock_guard sperre(mutex_);
    const Achse& a = achsen_[nr];
    return a.schalter && a.position <= a.schaltpunkt;
}

void VirtuelleMaschine::Eingang_erzwingen(int pin, std::optional<bool> pegel) {
    if (pin != 10 && pin != 11 && pin != 12 && pin != 13 && pin != 15) return;
    std::lock_guard sperre(mutex_);
    erzwungen_[pin] = pegel;
}

bool VirtuelleMaschine::Eingang(int pin) const {
    if (pin != 10 && pin != 11 && pin != 12 && pin != 13 && pin != 15) return false;
    std::lock_guard sperre(mutex_);
    return Pin_pegel(pin);
}

bool VirtuelleMaschine::Ausgang(int pin) const {
    std::lock_guard sperre(mutex_);
    switch (pin) {
    case 1:
        return !(steuer_ & 0x01);
    case 14:
        return !(steuer_ & 0x02);
    case 16:
        return (steuer_ & 0x04) != 0;
    case 17:
        return !(steuer_ & 0x08);
    default:
        return false;
    }
}

uint8_t VirtuelleMaschine::Datenregister() const {
    std::lock_guard sperre(mutex_);
    return daten_;
}

uint8_t VirtuelleMaschine::Steuerregister() const {
    std::lock_guard sperre(mutex_);
    return steuer_;
}

uint8_t VirtuelleMaschine::Statusregister() const {
    std::lock_guard sperre(mutex_);
    return Status_berechnen();
}

uint8_t VirtuelleMaschine::Phasenmuster(char achse) const {
    const int nr = Achsnummer(achse);
    if (nr < 0) return 0;
    std::lock_guard sperre(mutex_);
    return achsen_[nr].muster;
}

int32_t VirtuelleMaschine::Phasenindex(char achse) const {
    const int nr = Achsnummer(achse);
    if (nr < 0) return 0;
    std::lock_guard sperre(mutex_);
    return achsen_[nr].index;
}

bool VirtuelleMaschine::Relais() const {
    std::lock_guard sperre(mutex_);
    return relais_;
}

void VirtuelleMaschine::Phasentabellen_setzen(Phasenbetrieb betrieb) {
    std::lock_guard sperre(mutex_);
    phasenbetrieb_ = betrieb;
    erkannt_ = Phasenbetrieb::Erkennen;
}

std::vector<Zeitstempel_Eintrag> VirtuelleMaschine::Schreibprotokoll() const {
    std::lock_guard sperre(mutex_);
    return protokoll_;
}

void VirtuelleMaschine::Schreibprotokoll_leeren() {
    std::lock_guard sperre(mutex_);
    protokoll_.clear();
    verworfen_ = 0;
}

void VirtuelleMaschine::Protokollieren(bool an) {
    std::lock_guard sperre(mutex_);
    protokollieren_ = an;
}

void VirtuelleMaschine::Protokollgrenze_setzen(std::size_t eintraege) {
    std::lock_guard sperre(mutex_);
    protokollgrenze_ = eintraege;
    if (protokoll_.size() > eintraege) protokoll_.resize(eintraege);
}

std::size_t VirtuelleMaschine::Verworfene_Eintraege() const {
    std::lock_guard sperre(mutex_);
    return verworfen_;
}

int32_t VirtuelleMaschine::Fehlerzahl() const {
    std::lock_guard sperre(mutex_);
    return fehlerzahl_;
}

std::vector<std::string> VirtuelleMaschine::Fehlerliste() const {
    std::lock_guard sperre(mutex_);
    return fehler_;
}

int32_t VirtuelleMaschine::Richtungswechsel_beim_Schritt() const {
    std::lock_guard sperre(mutex_);
    return richtungswechsel_;
}

int64_t VirtuelleMaschine::Kuerzester_Schrittpuls_ns() const {
    std::lock_guard sperre(mutex_);
    return kuerzester_puls_;
}

int64_t VirtuelleMaschine::Kuerzester_Strobepuls_ns() const {
    std::lock_guard sperre(mutex_);
    return kuerzester_strobe_;
}

int64_t VirtuelleMaschine::Schrittzahl() const {
    std::lock_guard sperre(mutex_);
    return schrittzahl_;
}

void VirtuelleMaschine::Schrittbeobachter_setzen(
    std::function<void(char achse, int32_t position)> beobachter) {
    std::lock_guard sperre(mutex_);
    if (beobachter)
        beobachter_ =
            std::make_shared<const std::function<void(char, int32_t)>>(std::move(beobachter));
    else
        beobachter_.reset();
}

void VirtuelleMaschine::Zuruecksetzen() {
    std::lock_guard sperre(mutex_);
    for (Achse& a : achsen_) {
        a.position = 0;
        a.schritt_hoch_seit = -1;
        a.muster = 0;
        a.index = 0;
    }
    erkannt_ = Phasenbetrieb::Erkennen;
    strobe_seit_ = -1;
    daten_im_strobe_geaendert_ = false;
    protokoll_.clear();
    verworfen_ = 0;
    fehler_.clear();
    fehlerzahl_ = 0;
    richtungswechsel_ = 0;
    kuerzester_puls_ = -1;
    kuerzester_strobe_ = -1;
    schrittzahl_ = 0;
}

} // namespace orvexa
