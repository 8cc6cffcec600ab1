// Report lines that name their overflowing fields: a value too wide for its field is printed
// as asterisks, and a note line after the report line gives its name, its value and its point.
// OUT and APAGE write the point lines and pages this way, DIRECT the ratio lines.
#pragma once

#include <vector>

#include "core/layout.h"
#include "core/state.h"

namespace tev {

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
