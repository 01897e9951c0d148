#pragma once

#include <cstdint>
#include <vector>

namespace orvexa {

class Positionstabelle;

// The unit the path is given in: the table's own.
enum class Pfadeinheit { Millimeter, Schritte, Grad };

// A corner of the path: where the machine is after the move of row `zeile` (0: where the cycle
// begins). Every row moves along one straight line in x/y, however often it is repeated, so a
// row gives at most one corner; in the angle mode at most two (its first and last approach).
struct Pfadpunkt {
    double x = 0, y = 0;
    int zeile = 0;
};

enum class Markenart : uint8_t {
    z_minus,     // z moves towards negative values
    z_plus,      // z moves towards positive values
    ausgang_ein, // the row switches an output on (and maybe others off)
    ausgang_aus, // the row only switches outputs off
};

struct Pfadmarke {
    double x = 0, y = 0;
    int zeile = 0;
    Markenart art = Markenart::z_minus;
};

// The corners a row made: Punkte()[anfang..ende); its line starts at the corner before.
struct Punktbereich {
    uint32_t anfang = 0, ende = 0;
};

struct Pfadrahmen {
    double links = 0, unten = 0, rechts = 0, oben = 0;
};

// The path one cycle of the position table makes, as the vector output runs it: the rows'
// relative x/y moves (each executed 1 + "WH" times) from the point where the cycle begins,
// in millimetres (the whole steps the run moves, converted back with the parameter set),
// in steps, or, in the angle mode, the target angles in degrees against the number of the
// approach (y = -k for the k-th approach, so that the chart runs downwards like the table).
// z moves and switched outputs are marks on the path; u moves do not show.
//
// The rows are read once and kept in a short form: a changed row is read again and the path
// rebuilt from it on without reading any other cell, which keeps a table of 100,000 rows
// quick to follow.
class Pfadmodell {
public:
    // z marks of one row beyond these many repetitions are left out; its line is drawn whole.
    static constexpr int64_t Marken_je_Zeile = 64;

    // Reads every row anew (a new table, another unit, other machine parameters).
    void Berechnen(const Positionstabelle& tabelle);
    // Rows von..bis (1-based) hold other cells now. False when the path stayed as it was.
    bool Zeilen_geaendert(const Positionstabelle& tabelle, int von, int bis);
    // anzahl rows were inserted before row von (they are rows von..von+anzahl-1 now).
    void Zeilen_eingefuegt(const Positionstabelle& tabelle, int von, int anzahl);
    // Rows von..von+anzahl-1 were removed.
    void Zeilen_entfernt(const Positionstabelle& tabelle, int von, int anzahl);

    Pfadeinheit Einheit() const { return m_einheit; }
    int Zeilenzahl() const { return static_cast<int>(m_zeilen.size()); }
    const std::vector<Pfadpunkt>& Punkte() const { return m_punkte; }
    const std::vector<Pfadmarke>& Marken() const { return m_marken; }
    // Empty outside the table and for a row that does not move.
    Punktbereich Punkte_der_Zeile(int zeile) const;
    // Where the machine stands after row zeile (0: at the start): the last corner up to it;
    // false when there is none yet (the angle mode before its first approach).
    bool Ort_nach(int zeile, Pfadpunkt& ort) const;
    // Of the corners and marks; all zero for an empty path.
    Pfadrahmen Rahmen() const;
    bool Leer() const { return m_punkte.empty(); }

    // What a row does, read from its cells.
    struct Zeilenauszug {
        int64_t dx = 0, dy = 0, dz = 0; // per execution: steps; angle mode: dx unused
        double winkel = 0;              // angle mode: target, approached when above 0
        int64_t ausfuehrungen = 1;
        bool ausgang_ein = false, ausgang_aus = false;
        bool operator==(const Zeilenauszug&) const = default;
    };

private:
    // Where the path stands after a row, and how long its lists were then.
    struct Stand {
        // Steps (angle mode: y counts the approaches). Summed as doubles: exact for any real
        // table, and a table of huge values and repeats cannot overflow them.
        double x = 0, y = 0;
        double winkel = 0;
        bool begonnen = false; // angle mode: an approach was made
        uint32_t punkte = 0, marken = 0;
    };

    Zeilenauszug Lesen(const Positionstabelle& tabelle, int zeile) const;
    bool Gleiche_Einheit(const Positionstabelle& tabelle) const;
    void Einheit_lesen(const Positionstabelle& tabelle);
    // Rebuilds the path from row zeile (1-based) on from the short forms.
    void Aufbauen_ab(int zeile);
    void Zeile_aufbauen(int index, Stand& s);
    double X(double schritte) const { return schritte * m_faktor[0]; }
    double Y(double schritte) const { return schritte * m_faktor[1]; }

    // The parameters the conversion of millimetres read, to see when they change.
    struct Mechanik {
        double xU = 0, yU = 0, zU = 0;
        int32_t xS = 0, yS = 0, zS = 0;
        bool operator==(const Mechanik&) const = default;
    };
    static Mechanik Mechanik_jetzt();

    Pfadeinheit m_einheit = Pfadeinheit::Millimeter;
    Mechanik m_mechanik;
    double m_faktor[2] = {1, 1}; // millimetres per step of x and y
    std::vector<Zeilenauszug> m_zeilen;
    std::vector<Stand> m_staende; // after each row
    std::vector<Pfadpunkt> m_punkte;
    std::vector<Pfadmarke> m_marken;
};

} // namespace orvexa
