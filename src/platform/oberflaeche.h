#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orvexa {

enum class Symbol { keins, information, warnung, fehler, frage };
enum class Knoepfe { ok, ok_abbrechen, ja_nein, ja_nein_abbrechen };
enum class Antwort { ok, abbrechen, ja, nein };

// The only way below the windows reaches the operator: message boxes, beeps, pumping window
// messages while waiting, and running code on the window thread.
class Oberflaeche {
public:
    virtual ~Oberflaeche() = default;

    // Blocks until the operator answers.
    virtual Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                            Knoepfe knoepfe) = 0;
    // Blocks for ms like the original beep.
    virtual void Piepton(int hz, int ms) = 0;
    // Processes pending window messages; does nothing off the window thread.
    virtual void Nachrichten_verarbeiten() = 0;
    // Runs f on the window thread; with warten the caller blocks until f has run.
    virtual void im_Fensterthread(std::function<void()> f, bool warten) = 0;
};

// The answer of a box to which the operator gives the first (default) button.
Antwort Standardantwort(Knoepfe knoepfe);

// Without a window: messages go to stderr, every box takes its default button.
class KopfloseOberflaeche : public Oberflaeche {
public:
    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override;
    void Piepton(int hz, int ms) override;
    void Nachrichten_verarbeiten() override {}
    void im_Fensterthread(std::function<void()> f, bool warten) override;
};

// For tests: records every box and beep, answers from a script (default button when the
// script is empty), runs window-thread work at once on the calling thread.
class AufzeichnendeOberflaeche : public Oberflaeche {
public:
    struct Eintrag {
        std::string text;
        std::string titel;
        Symbol symbol;
        Knoepfe knoepfe;
    };
    struct Ton {
        int hz;
        int ms;
    };

    Antwort Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                    Knoepfe knoepfe) override;
    void Piepton(int hz, int ms) override;
    void Nachrichten_verarbeiten() override;
    void im_Fensterthread(std::function<void()> f, bool warten) override;

    void Antworten_vorgeben(std::vector<Antwort> antworten);
    std::vector<Eintrag> Meldungen() const;
    std::vector<Ton> Toene() const;
    int Pumpaufrufe() const;
    void Leeren();

private:
    mutable std::mutex m_mutex;
    std::vector<Eintrag> m_meldungen;
    std::vector<Ton> m_toene;
    std::deque<Antwort> m_antworten;
    int m_pumpaufrufe = 0;
};

// The process-wide instance; headless until the window layer or a test installs another.
Oberflaeche& oberflaeche();
// Installs o (not owned); nullptr returns to the headless default.
void Oberflaeche_setzen(Oberflaeche* o);

} // namespace orvexa
