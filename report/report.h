// Report: performance figures, search convergence, line-mode table and table-mode pages.
#pragma once

#include "core/state.h"

namespace tev {

//! OUT: performance figures and search tests of a finished point, then its report line/column.
void OUT(State& S);
//! APAGE: closes the current report page (line-mode fillers, or the table-mode page).
void APAGE(State& S);

}  // namespace tev
