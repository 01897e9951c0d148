#pragma once

#include <string>
#include <string_view>

namespace orvexa {

// The settings of the Doming windows that are not part of a job: the language and the
// working area (0..xAbmessung, 0..yAbmessung in millimetres). Kept in "DomingParam.dat".
struct DomingParameter {
    std::string Sprache = "deutsch";
    double xAbmessung = 500.0;
    double yAbmessung = 400.0;

    bool operator==(const DomingParameter&) const = default;
};

// "DomingParam.dat" in the program directory.
std::string DomingParameter_Dateiname();

// Reads the file: a missing one gives the defaults silently, a wrong first line the defaults
// with the double beep. Values are taken as they stand (no limits on reading).
DomingParameter DomingParameter_laden(const std::string& pfad);

// The same from the file's bytes, without beeps or file access. False (defaults) when the
// first line is not the Doming header.
bool DomingParameter_aus_Dateiinhalt(std::string_view bytes, DomingParameter& parameter);

// What the dialog's "&OK" keeps: a dimension that is not > 0 becomes its default.
void DomingParameter_annehmen(DomingParameter& parameter);

// The file text as it is written (Windows-1252, CR LF).
std::string DomingParameter_Dateitext(const DomingParameter& parameter);

// Writes atomically; false (after a message) when it failed.
bool DomingParameter_speichern(const std::string& pfad, const DomingParameter& parameter);

} // namespace orvexa
