#include "portio.h"

#include "portio_direkt.h"
#include "portio_ppdev.h"

#include <mutex>

namespace orvexa {

namespace {

// The real port: ppdev first (it needs no special rights), direct access as a fallback.
class PortIO_System : public PortIO {
public:
    bool Oeffnen(uint16_t basisadresse) override {
        Schliessen();
        if (ppdev_.Oeffnen(basisadresse)) {
            aktiv_ = &ppdev_;
            fehlertext_.clear();
            return true;
        }
        if (direkt_.Oeffnen(basisadresse)) {
            aktiv_ = &direkt_;
            fehlertext_.clear();
            return true;
        }
        fehlertext_ = ppdev_.Fehlertext() + "; " + direkt_.Fehlertext();
        return false;
    }
    void Schliessen() override {
        if (aktiv_) aktiv_->Schliessen();
        aktiv_ = nullptr;
    }
    bool Lesen(uint16_t adresse, uint8_t& wert) override {
        return aktiv_ && aktiv_->Lesen(adresse, wert);
    }
    bool Schreiben(uint16_t adresse, uint8_t wert) override {
        return aktiv_ && aktiv_->Schreiben(adresse, wert);
    }
    std::string Fehlertext() const override { return fehlertext_; }

private:
    PortIO_ppdev ppdev_;
    PortIO_direkt direkt_;
    PortIO* aktiv_ = nullptr;
    std::string fehlertext_;
};

// What a maker that delivers nothing leaves: a port that cannot be opened. Falling back to the
// real port there would let a simulation drive real hardware.
class PortIO_Fehlend : public PortIO {
public:
    bool Oeffnen(uint16_t) override { return false; }
    void Schliessen() override {}
    bool Lesen(uint16_t, uint8_t&) override { return false; }
    bool Schreiben(uint16_t, uint8_t) override { return false; }
    std::string Fehlertext() const override {
        return "kein Portzugang: die eingestellte Portanbindung lieferte keinen Port";
    }
};

std::mutex& Fabrik_mutex() {
    static std::mutex m;
    return m;
}

std::function<std::unique_ptr<PortIO>()>& Fabrik() {
    static std::function<std::unique_ptr<PortIO>()> f;
    return f;
}

} // namespace

std::unique_ptr<PortIO> PortIO_erzeugen() {
    std::function<std::unique_ptr<PortIO>()> fabrik;
    {
        std::lock_guard sperre(Fabrik_mutex());
        fabrik = Fabrik();
    }
    // Called outside the lock: a maker may itself ask for a port.
    if (fabrik) {
        if (auto port = fabrik()) return port;
        return std::make_unique<PortIO_Fehlend>();
    }
    return std::make_unique<PortIO_System>();
}

void PortIO_Fabrik_setzen(std::function<std::unique_ptr<PortIO>()> fabrik) {
    std::lock_guard sperre(Fabrik_mutex());
    Fabrik() = std::move(fabrik);
}

} // namespace orvexa
