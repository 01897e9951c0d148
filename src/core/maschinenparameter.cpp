#include "maschinenparameter.h"

namespace orvexa {

Maschinenparameter& Parametersatz() {
    static Maschinenparameter satz;
    return satz;
}

} // namespace orvexa
