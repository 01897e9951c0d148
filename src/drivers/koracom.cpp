#include "koracom.h"

#include "core/fehler.h"
#include "core/protokoll.h"
#include "core/text.h"
#include "drivers/koracom_thread.h"
#include "platform/oberflaeche.h"
#include "platform/portverzeichnis.h"
#include "platform/zeitbasis.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace orvexa {

namespace {

constexpr const char* Verbindungstext =
    "Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!";
constexpr const char* Getrennt_text = "Verbindung zur Steuerung unterbrochen";
constexpr int Verbindungsversuche = 11;
constexpr int Verbindungsfrist_ms = 50;

// The texts name the Windows codes the operator and the service staff know:
// ERROR_FILE_NOT_FOUND (2) for a port that does not exist (ENOENT; also a COM number without
// a device), ERROR_ACCESS_DENIED (5) for one that may not be opened or is in use by another
// program (EACCES, EPERM, EBUSY from the exclusive lock); any other errno in brackets.
std::string Oeffnungsfehlertext(int fehler) {
    switch (fehler) {
    case ENOENT:
        return "[ERROR_FILE_NOT_FOUND]";
    case EACCES:
    case EPERM:
    case EBUSY:
        return "[ERROR_ACCESS_DENIED]";
    default:
        return "[" + std::to_string(fehler) + "]";
    }
}

// Set while the thread holds the exchange lock: ThrowError then leaves its box to SendWait.
thread_local bool t_meldung_zurueckstellen = false;

struct Meldung_zurueckstellen {
    Meldung_zurueckstellen() { t_meldung_zurueckstellen = true; }
    ~Meldung_zurueckstellen() { t_meldung_zurueckstellen = false; }
    Meldung_zurueckstellen(const Meldung_zurueckstellen&) = delete;
    Meldung_zurueckstellen& operator=(const Meldung_zurueckstellen&) = delete;
};

struct Zurueckgestellte_Meldung : Steuerungsfehler {
    Zurueckgestellte_Meldung(int32_t code, std::string op, std::string t)
        : Steuerungsfehler(code), operation(std::move(op)), text(std::move(t)) {}
    std::string operation, text;
};

std::string Feld(const std::string& bytes) {
    return bytes.size() <= TkoraCOM::Puffer_max ? bytes : bytes.substr(0, TkoraCOM::Puffer_max);
}

} // namespace

struct TkoraCOM::Zustand {
    SeriellerPort port;
    std::mutex port_mutex; // opening, writing, purging and closing
    std::mutex hMutexSendWait;
    std::mutex lebenslauf_mutex; // Init and UnInit

    mutable std::mutex thread_mutex;
    // Shared with the callers inside an exchange, so that UnInit never frees what they wait on.
    std::shared_ptr<TkoraCOM_thread> thread;

    mutable std::mutex feld_mutex;
    std::string operationstext;
    std::string letzte_anfrage;
    std::string antwort;
    std::string letzte_anfrage_mb;
    std::string antwort_mb;

    std::shared_ptr<TkoraCOM_thread> Thread() const {
        std::lock_guard lock(thread_mutex);
        return thread;
    }

    // 0 or the errno of the failure. anzeige names the port in the log.
    int Oeffnen(const std::string& anzeige, const std::string& pfad, int32_t baud) {
        Protokoll_schreiben(Ebene_Seriell, "koraCOM->OpenSerialPort(" + anzeige + ", " +
                                               std::to_string(baud) + ")");
        Porteinstellungen e;
        e.Baudrate = baud;
        e.Datenbits = 8;
        e.Paritaet = 'N';
        e.Stoppbits = 1;
        e.DTR = false;
        e.RTS = true;
        if (!SeriellerPort::Einstellungen_zu_termios(e, termios{})) {
            Protokoll_schreiben(
                Ebene_Seriell,
                "koraCOM->OpenSerialPort() :: Could Not Configure the DCB structure");
            return EINVAL;
        }
        if (pfad.empty()) {
            Protokoll_schreiben(Ebene_Seriell,
                                "koraCOM->OpenSerialPort() :: Could Not Open the Serial Port");
            return ENOENT;
        }
        std::lock_guard lock(port_mutex);
        if (port.Oeffnen(pfad, e)) return 0;
        const int fehler = port.Letzter_Fehler();
        // The device opened but refused the line settings (or is no terminal at all).
        const bool einstellung = fehler == ENOTTY || fehler == EINVAL;
        Protokoll_schreiben(
            Ebene_Seriell,
            einstellung ? "koraCOM->OpenSerialPort() :: Could Not Configure the DCB structure"
                        : "koraCOM->OpenSerialPort() :: Could Not Open the Serial Port");
        return fehler != 0 ? fehler : EIO;
    }
};

TkoraCOM::TkoraCOM() : m_z(std::make_unique<Zustand>()) {}

TkoraCOM::~TkoraCOM() {
    if (m_gestartet.load()) UnInit();
}

void TkoraCOM::Init(int32_t port, int32_t baud) {
    std::lock_guard lebenslauf(m_z->lebenslauf_mutex);
    Protokoll_schreiben(Ebene_Seriell, "koraCOM->Init()");
    if (port < 1 || port > 255)
        ThrowError("Init()", "ungültige Schnittstelle COM" + std::to_string(port), COM_PORT_ERROR);
    if (m_gestartet.load()) UnInit_intern();

    const std::string name = "COM" + std::to_string(port);
    int iSleep = 0;
    for (;;) {
        // Looked up on every attempt: an adapter plugged in meanwhile is found.
        const std::string pfad = COM_Pfad(port);
        const int fehler = m_z->Oeffnen(name + " = " + (pfad.empty() ? "?" : pfad), pfad, baud);
        if (fehler == 0) break;
        Protokoll_schreiben(Ebene_Seriell,
                            "koraCOM->Init() :: GetLastError()=" + std::to_string(fehler));
        iSleep += 25;
        Zeitbasis::Schlafen(iSleep);
        if (iSleep >= 250) ThrowError("Init()", Oeffnungsfehlertext(fehler), HANDLE_COM_PORT_ERROR);
    }
    Protokoll_schreiben(Ebene_Seriell, "koraCOM->Init() :: iSleep=" + std::to_string(iSleep));

    auto thread = std::make_shared<TkoraCOM_thread>(m_z->port, m_tag);
    try {
        thread->Starten();
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(m_z->port_mutex);
            m_z->port.Schliessen();
        }
        ThrowError("Init()", "Empfangsthread kann nicht gestartet werden", HANDLE_COM_PORT_ERROR);
    }
    {
        std::lock_guard lock(m_z->thread_mutex);
        m_z->thread = std::move(thread);
    }
    m_gestartet.store(true);
}

bool TkoraCOM::OpenSerialPort(const std::string& pfad, int32_t baud) {
    std::lock_guard lebenslauf(m_z->lebenslauf_mutex);
    // The receive thread reads this port; it is only replaced through Init.
    if (m_gestartet.load()) {
        Protokoll_schreiben(Ebene_Seriell, "koraCOM->OpenSerialPort(" + pfad + ", " +
                                               std::to_string(baud) + ") :: bAppStarted=1");
        return false;
    }
    return m_z->Oeffnen(pfad, pfad, baud) == 0;
}

void TkoraCOM::Connect() {
    const uint8_t tag = m_tag.load();
    auto thread = m_z->Thread();
    if (tag < 2 || tag > 4 || !thread)
        ThrowError("Connect()", Verbindungstext, COMMUNICATION_ERROR);

    // The controller refuses the empty command with "E1" BEL: whoever answers that is there.
    for (int versuch = 0; versuch < Verbindungsversuche; ++versuch) {
        Senden(thread, "\r", false);
        std::string antwort;
        const auto ergebnis = thread->Antwort_abholen(false, Verbindungsfrist_ms, antwort);
        if (ergebnis == TkoraCOM_thread::Ergebnis::ok && antwort.starts_with("E1\a")) return;
        if (ergebnis == TkoraCOM_thread::Ergebnis::beendet) Geschlossen_melden("Connect()");
        if (ergebnis == TkoraCOM_thread::Ergebnis::getrennt) break;
    }
    ThrowError("Connect()", Verbindungstext, COMMUNICATION_ERROR);
}

void TkoraCOM::UnInit() {
    std::lock_guard lebenslauf(m_z->lebenslauf_mutex);
    UnInit_intern();
}

void TkoraCOM::UnInit_intern() {
    if (!m_gestartet.load()) {
        Protokoll_schreiben(Ebene_Seriell, "koraCOM->UnInit() :: bAppStarted=0");
        Protokoll_schreiben(Ebene_Seriell, "");
        return;
    }
    {
        std::lock_guard lock(m_z->port_mutex);
        if (m_z->port.Offen()) m_z->port.Leeren(true, true);
    }
    std::shared_ptr<TkoraCOM_thread> thread;
    {
        std::lock_guard lock(m_z->thread_mutex);
        thread = std::move(m_z->thread);
    }
    if (thread) thread->Beenden();
    {
        std::lock_guard lock(m_z->port_mutex);
        m_z->port.Schliessen();
    }
    m_gestartet.store(false);
    Protokoll_schreiben(Ebene_Seriell, "koraCOM->UnInit() :: Thread beendet!");
    Protokoll_schreiben(Ebene_Seriell, "");
}

void TkoraCOM::SendReq(const std::string& anfrage) {
    Senden(m_z->Thread(), anfrage, false);
}

void TkoraCOM::SendReq_MB(const std::string& anfrage) {
    Senden(m_z->Thread(), anfrage, true);
}

void TkoraCOM::Senden(const std::shared_ptr<TkoraCOM_thread>& thread, const std::string& anfrage,
                      bool mehrbyte) {
    const std::string operation = mehrbyte ? "SendReq_MB()" : "SendReq()";
    if (!thread) ThrowError(operation, "hComPort == NULL", HANDLE_COM_PORT_ERROR);
    if (anfrage.empty()) ThrowError(operation, "leerer String", SEND_REQ_ERROR);
    // Cutting it would send a request without its CR, which the controller would run together
    // with the next one.
    if (anfrage.size() > TkoraCOM::Anfrage_max)
        ThrowError(operation,
                   "zu lang (" + std::to_string(anfrage.size()) + " Bytes, höchstens 127)",
                   SEND_REQ_ERROR);

    bool eingang_leeren = false;
    switch (thread->Senden_freigeben(mehrbyte, anfrage, eingang_leeren)) {
    case TkoraCOM_thread::Ergebnis::ok:
        break;
    case TkoraCOM_thread::Ergebnis::getrennt:
        ThrowError(operation, Getrennt_text, HANDLE_COM_PORT_ERROR);
    case TkoraCOM_thread::Ergebnis::beendet:
    case TkoraCOM_thread::Ergebnis::zeitueberschreitung:
    case TkoraCOM_thread::Ergebnis::abgebrochen:
        Geschlossen_melden(operation);
    }

    Protokoll_schreiben(Ebene_Seriell, (mehrbyte ? "koraCOM->SendReq_MB('" : "koraCOM->SendReq('") +
                                           anfrage + "')");
    {
        std::lock_guard lock(m_z->feld_mutex);
        (mehrbyte ? m_z->letzte_anfrage_mb : m_z->letzte_anfrage) = Feld(anfrage);
    }
    std::lock_guard lock(m_z->port_mutex);
    if (eingang_leeren) m_z->port.Leeren(true, false);
    // A failed write is not reported here: the missing answer ends the exchange.
    m_z->port.Schreiben(anfrage, 1000 + 10 * static_cast<int>(anfrage.size()));
}

std::string TkoraCOM::WaitResp(int32_t timeout_ms) {
    return Warten(m_z->Thread(), false, timeout_ms);
}

std::string TkoraCOM::WaitResp_MB(int32_t timeout_ms) {
    return Warten(m_z->Thread(), true, timeout_ms);
}

std::string TkoraCOM::Warten(const std::shared_ptr<TkoraCOM_thread>& thread, bool mehrbyte,
                             int32_t timeout_ms) {
    const std::string operation = mehrbyte ? "WaitResp_MB()" : "WaitResp()";
    if (!thread) ThrowError(operation, "kein Empfangsthread", WAIT_FAILED);
    const int frist = timeout_ms == 0 ? Standardfrist_ms : timeout_ms < 0 ? -1 : timeout_ms;

    std::string antwort;
    switch (thread->Antwort_abholen(mehrbyte, frist, antwort)) {
    case TkoraCOM_thread::Ergebnis::ok:
        break;
    case TkoraCOM_thread::Ergebnis::zeitueberschreitung:
        ThrowError(operation, "Zeitüberschreitung nach " + std::to_string(frist) + " ms",
                   WAIT_TIMEOUT);
    case TkoraCOM_thread::Ergebnis::getrennt:
        ThrowError(operation, Getrennt_text, HANDLE_COM_PORT_ERROR);
    case TkoraCOM_thread::Ergebnis::beendet:
        Geschlossen_melden(operation);
    case TkoraCOM_thread::Ergebnis::abgebrochen:
        // The operator's stop; like every abort it is logged, not shown.
        Protokoll_schreiben(Ebene_Seriell, "koraCOM->" + operation + " :: Warten abgebrochen");
        throw Steuerungsfehler(THROW_ABORT);
    }

    antwort = Feld(antwort);
    {
        std::lock_guard lock(m_z->feld_mutex);
        (mehrbyte ? m_z->antwort_mb : m_z->antwort) = antwort;
    }
    // Indented so that the answer stands under its request.
    Protokoll_schreiben(Ebene_Seriell, std::string(mehrbyte ? 21 : 18, ' ') + antwort);
    return antwort;
}

std::string TkoraCOM::SendWait(const std::string& anfrage, int32_t timeout_ms) {
    try {
        std::lock_guard austausch(m_z->hMutexSendWait);
        // The box of a failure waits for the operator on the window thread, which may itself
        // be waiting for this lock to send a stop: it is shown once the lock is released.
        const Meldung_zurueckstellen zurueckgestellt;
        // One thread object for both halves: an UnInit in between ends the wait as closed.
        const auto thread = m_z->Thread();
        const bool mehrbyte = !anfrage.empty() && anfrage.front() == '@';
        Senden(thread, anfrage, mehrbyte);
        return Warten(thread, mehrbyte, timeout_ms);
    } catch (const Zurueckgestellte_Meldung& f) {
        oberflaeche().Meldung(f.text, f.operation, Symbol::warnung, Knoepfe::ok);
        throw Steuerungsfehler(f.code());
    }
}

void TkoraCOM::SetTag(uint8_t tag) {
    m_tag.store(tag);
}

void TkoraCOM::SetStoreMode(bool an) {
    const uint8_t tag = m_tag.load();
    if (tag >= 2 && tag <= 4) m_speichermodus.store(an);
}

void TkoraCOM::Operationstext_setzen(const std::string& text) {
    std::lock_guard lock(m_z->feld_mutex);
    m_z->operationstext = Utf8_kuerzen(text, Operationstext_max);
}

std::string TkoraCOM::Operationstext() const {
    std::lock_guard lock(m_z->feld_mutex);
    return m_z->operationstext;
}

void TkoraCOM::ThrowError(const std::string& operation, const std::string& text, int32_t code) {
    Protokoll_schreiben(Ebene_Seriell, "koraCOM->" + operation + " :: " + text);
    if (code == WAIT_TIMEOUT) throw Steuerungsfehler(code);
    if (t_meldung_zurueckstellen) throw Zurueckgestellte_Meldung(code, operation, text);
    oberflaeche().Meldung(text, operation, Symbol::warnung, Knoepfe::ok);
    throw Steuerungsfehler(code);
}

void TkoraCOM::Geschlossen_melden(const std::string& operation) {
    Protokoll_schreiben(Ebene_Seriell, "koraCOM->" + operation + " :: Verbindung geschlossen");
    throw Steuerungsfehler(WAIT_ABANDONED);
}

std::string TkoraCOM::Letzte_Anfrage() const {
    std::lock_guard lock(m_z->feld_mutex);
    return m_z->letzte_anfrage;
}

std::string TkoraCOM::Antwort() const {
    std::lock_guard lock(m_z->feld_mutex);
    return m_z->antwort;
}

std::string TkoraCOM::Letzte_Anfrage_MB() const {
    std::lock_guard lock(m_z->feld_mutex);
    return m_z->letzte_anfrage_mb;
}

std::string TkoraCOM::Antwort_MB() const {
    std::lock_guard lock(m_z->feld_mutex);
    return m_z->antwort_mb;
}

void TkoraCOM::Warten_abbrechen() {
    if (const auto thread = m_z->Thread()) thread->Warten_abbrechen();
}

bool TkoraCOM::Unbegrenzte_Wartezeit_abwarten(int ms) {
    const auto thread = m_z->Thread();
    return thread && thread->Unbegrenzte_Wartezeit_abwarten(ms);
}

} // namespace orvexa
