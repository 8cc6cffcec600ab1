// Nozzle flow: the operating-point sequence and the throat and section searches.
#pragma once

#include "core/state.h"

namespace tev {

//! DIRECT: chooses the next operating point (ratio, chamber pressure, throat, sections).
void DIRECT(State& S);

//! Rejects, before any calculation, a task whose operating points cannot be computed (no
//! chamber pressure, a zero chamber pressure, area ratios not above 1). Throws InputError.
void check_task(State& S);

}  // namespace tev
