// Stand-in until the routines of this file are built.
#include "thermo/thermo.h"

namespace tev {

void INITIA(State&) {}

}  // namespace tev
