// The calculation cycle: dispatch of operating points and the temperature iteration.
#pragma once

#include "core/routines.h"
#include "core/state.h"

namespace tev {

//! Bounds of the cycle's loops. Reaching one is reported in the report and the run goes on
//! (or, for the run bound, ends with the page closed); it is never looped on.
struct CycleLimits {
    //! Temperature steps of one point before it is finished as is. Points inside a jump of
    //! W(T) may blend and re-solve a few hundred times before the bisection lets go.
    int temperature_steps = 1000;
    long points = 10'000'000;      //!< DIRECT calls of one run before the run is stopped
};

//! Run-wide defaults set before the task is read.
void set_defaults(State& S);
//! What the driver does right after INPUT: TZAM sign and F8, F5, FB, FKP, PKP, R0, E1, E2.
void after_input(State& S);
//! The calculation cycle, from the first DIRECT call to the closing APAGE. Returns the
//! number of points whose temperature iteration or solver did not converge (0 normally).
//! A routine left null in `r` is skipped (tests drive the cycle with a partial table). While
//! the cycle runs, S.routines is `r`, so that the routines call each other through it.
int run_cycle(State& S, const Routines& r, const CycleLimits& limits = CycleLimits{});
//! The routine table of a run: every routine of the cycle, each the program's own.
Routines production_routines();

}  // namespace tev
