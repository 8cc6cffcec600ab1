// Nozzle flow: the operating-point sequence and the throat and section searches.
#pragma once

#include "core/state.h"

namespace tev {

//! DIRECT: chooses the next operating point (ratio, chamber pressure, throat, sections).
void DIRECT(State& S);

}  // namespace tev
