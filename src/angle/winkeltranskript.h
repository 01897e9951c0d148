#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa {

// The transcript of the angle approach: the lines the ND261 test panel shows. Lines are kept
// whether or not anybody shows them, so a run from a table or from orvexa-cli has them too.
//
// Threads: lines may come from the window thread (test panel) or from the vector output's
// worker; the observer is called on the thread that adds the line.
class Winkeltranskript {
public:
    static constexpr const char* Testdatei = "Winkel_anfahren() - Test.txt";

    // Called for every added line and after every clearing; set before lines are added.
    struct Beobachter {
        std::function<void(const std::string& zeile)> Zeile;
        std::function<void()> Geleert;
    };
    void Beobachter_setzen(Beobachter beobachter);

    void Zeile(const std::string& text);
    void Leeren();
    std::vector<std::string> Zeilen() const;

    // The lines as Windows-1252 text with CR LF, atomically; false with the reason in fehler.
    bool Speichern(const std::string& pfad, std::string* fehler = nullptr) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_zeilen;
    Beobachter m_beobachter;
};

// "%.3f" after rounding to 7 significant digits, as the transcript and the angle lines write
// angles; values of 10^7 and more in exponent form.
std::string Winkel_fest3(double wert);

} // namespace orvexa
