// The table of the routines the calculation cycle calls. The program fills it with the real
// routines; tests fill it with stand-ins to drive the cycle, or one routine, through chosen
// situations. A routine that needs another routine of the table (DIRECT and OTBOR close a
// report page with APAGE) calls it through the table of the running cycle, S.routines, so that
// the subsystems do not call each other past it.
#pragma once

#include "core/state.h"

namespace tev {

//! The routines of the calculation cycle; a routine left null is skipped.
struct Routines {
    void (*DIRECT)(State&) = nullptr;
    void (*OTBOR)(State&) = nullptr;
    void (*INITIA)(State&) = nullptr;
    void (*FUNC)(State&) = nullptr;
    void (*EQUILI)(State&) = nullptr;
    void (*TEPL)(State&) = nullptr;
    void (*SIGMA)(State&) = nullptr;
    void (*OUT)(State&) = nullptr;
    void (*APAGE)(State&) = nullptr;
};

//! Calls `routine` of the running cycle's table (S.routines): nothing when no cycle runs or
//! the routine is left null in its table.
inline void call_routine(State& S, void (*Routines::*routine)(State&))
{
    if (S.routines != nullptr && S.routines->*routine != nullptr) (S.routines->*routine)(S);
}

}  // namespace tev
