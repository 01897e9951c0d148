// Arbitrary bytes as what the controller sends on the serial link, with the callers' steps mixed
// in: the byte 0xFF starts a step, the byte after it says which (0xFF 0xFF is the byte 0xFF
// itself):
//   0 ordinary request, 1 multi-byte request, 2 the request "@A", 3 and 4 give up the ordinary
//   and the multi-byte exchange (time-out, abort), 5 and 6 take an ordinary and a multi-byte
//   answer.
// While a complete answer waits for room in the queue the received bytes wait in the port, as
// they do for the receive thread. Besides crashes and overruns this checks that an answer
// reaches only a caller whose request was sent before its bytes came (nothing from an earlier
// exchange), that a multi-byte answer is made ready only for an open request, that answers
// have the shape the machine promises, and that a held answer waits only while the queue is
// full.
#include "drivers/koracom_empfang.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace {

using orvexa::Empfangsautomat;

constexpr unsigned char ACK = 0x06;
constexpr unsigned char BEL = 0x07;
constexpr unsigned char NAK = 0x15;

bool ist_Endebyte(unsigned char c) {
    return c == 0x02 || c == 0x03 || c == ACK || c == BEL || c == 0x0D || c == NAK;
}

// answer is a subsequence of bytes, matched from the end (a taken answer mostly came last).
bool Teilfolge(std::string_view antwort, std::string_view bytes) {
    std::size_t j = bytes.size();
    for (std::size_t i = antwort.size(); i > 0; --i) {
        for (;;) {
            if (j == 0) return false;
            if (bytes[--j] == antwort[i - 1]) break;
        }
    }
    return true;
}

struct Lauf {
    Empfangsautomat automat;
    std::string empfangen; // every byte fed so far
    std::deque<unsigned char> port;
    // Where the bytes of each kind's exchange begin: the length of `empfangen` at its request;
    // npos before any request.
    std::size_t seit[2] = {std::string::npos, std::string::npos};

    void Zufuehren() {
        automat.Ablegen();
        while (!automat.Blockiert() && !port.empty()) {
            const unsigned char b = port.front();
            port.pop_front();
            empfangen += static_cast<char>(b);
            automat.Byte(b);
        }
        if (automat.Blockiert() &&
            automat.Wartende_Antworten() != Empfangsautomat::Warteschlange_max)
            __builtin_trap();
        if (automat.Wartende_Antworten() > Empfangsautomat::Warteschlange_max) __builtin_trap();
        // A multi-byte answer is handed over only to a request that waits for it.
        if (automat.Antwort_da(true) && !automat.Offen(true)) __builtin_trap();
    }

    void Oeffnen(bool mehrbyte, std::string_view anfrage) {
        automat.Oeffnen(mehrbyte, anfrage);
        if (!automat.Offen(mehrbyte) || automat.Antwort_da(mehrbyte)) __builtin_trap();
        seit[mehrbyte] = empfangen.size();
    }

    void Aufgeben(bool mehrbyte) {
        automat.Aufgeben(mehrbyte);
        if (automat.Offen(mehrbyte)) __builtin_trap();
        if (mehrbyte && automat.Antwort_da(true)) __builtin_trap();
    }

    void Nehmen(bool mehrbyte) {
        // Callers wait only after a request of their own.
        if (seit[mehrbyte] == std::string::npos) return;
        const bool da = automat.Antwort_da(mehrbyte);
        std::string antwort;
        if (automat.Antwort_nehmen(mehrbyte, antwort) != da) __builtin_trap();
        if (!da) return;
        if (antwort.empty() || antwort.size() > Empfangsautomat::Puffergroesse) __builtin_trap();
        const std::string_view eigene = std::string_view(empfangen).substr(seit[mehrbyte]);
        const auto erstes = static_cast<unsigned char>(antwort.front());
        const auto letztes = static_cast<unsigned char>(antwort.back());
        const bool voll = antwort.size() == Empfangsautomat::Puffergroesse;
        if (mehrbyte) {
            // One piece of the stream, from its "@" (or the "E" of an "@A" error) to ACK or BEL.
            if (erstes != '@' && erstes != 'E') __builtin_trap();
            if (!voll && letztes != ACK && letztes != BEL) __builtin_trap();
            if (eigene.rfind(antwort) == std::string_view::npos) __builtin_trap();
            if (automat.Offen(true)) __builtin_trap();
            return;
        }
        // Only a lone NAK leaves the exchange open, for its completion answer.
        if (automat.Offen(false) && !(antwort.size() == 1 && erstes == NAK)) __builtin_trap();
        // A confirmed immediate stop ends a waiting completion answer with "!".
        const bool gestoppt = letztes == '!' && !Teilfolge(antwort, eigene);
        if (!voll && !ist_Endebyte(letztes) && letztes != '!') __builtin_trap();
        const std::string_view bytes =
            gestoppt ? std::string_view(antwort).substr(0, antwort.size() - 1) : antwort;
        if (!Teilfolge(bytes, eigene)) __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* daten, std::size_t groesse) {
    Lauf lauf;
    for (std::size_t i = 0; i < groesse; ++i) {
        if (daten[i] != 0xFF || i + 1 == groesse) {
            lauf.port.push_back(daten[i]);
        } else {
            switch (daten[++i]) {
            case 0:
                lauf.Oeffnen(false, "L0,x10\r");
                break;
            case 1:
                lauf.Oeffnen(true, "@Lx\r");
                break;
            case 2:
                lauf.Oeffnen(true, "@A\r");
                break;
            case 3:
                lauf.Aufgeben(false);
                break;
            case 4:
                lauf.Aufgeben(true);
                break;
            case 5:
                lauf.Nehmen(false);
                break;
            case 6:
                lauf.Nehmen(true);
                break;
            case 0xFF:
                lauf.port.push_back(0xFF);
                break;
            default:
                break;
            }
        }
        lauf.Zufuehren();
    }
    // What is left is taken as the callers would.
    if (lauf.seit[0] != std::string::npos)
        while (lauf.automat.Antwort_da(false))
            lauf.Nehmen(false);
    lauf.Nehmen(true);
    return 0;
}
