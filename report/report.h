// Report: performance figures, search convergence, line-mode table and table-mode pages.
#pragma once

#include <vector>

#include "core/layout.h"
#include "core/state.h"

namespace tev {

//! OUT: performance figures and search tests of a finished point, then its report line/column.
void OUT(State& S);
//! APAGE: closes the current report page (line-mode fillers, or the table-mode page).
void APAGE(State& S);

//! Writes a report line through `layout`; a value whose field overflows (asterisks) is then
//! named in a note line with its point (ratio, chamber pressure and section numbers given)
//! and counted in S.st.field_overflows. `names` name the values in order. In line mode each
//! note counts as a line of the page.
void write_noting_overflow(State& S, const Layout& layout, const std::vector<Value>& values,
                           const std::vector<const char*>& names, int ia, int ipk, int ipa);
//! Writes the note for one value `name` = `x` of the point (ia, ipk, ipa) whose field
//! overflowed, and counts it.
void write_noting_overflow_note(State& S, const char* name, double x, int ia, int ipk, int ipa);

}  // namespace tev
