// Nozzle flow: the operating-point sequence and the throat and section searches.
#pragma once

#include "core/state.h"

namespace tev {

//! Top of the chamber temperature bracket [K]: the first chamber point of a pressure list
//! starts below it, and the cycle reopens a later chamber point's bracket up to it.
inline constexpr double kChamberTopT = 20000.0;

//! DIRECT: chooses the next operating point (ratio, chamber pressure, throat, sections).
void DIRECT(State& S);

//! Flow speed of a nozzle point from the enthalpy drop HK - IS [kJ/kg] (0 for no drop) [m/s].
double flow_velocity(double HK, double IS);
//! The test of a throat iterate with flow speed W: moves the bracket; when the throat is found
//! ends the search (FKP cleared, PKP = PP). Returns whether it is found.
bool throat_found(State& S);
//! The test of a section of a running area-ratio search: the residual goes to RR for the next
//! step; when within tolerance ends the search (PX = PY). Returns false while it runs.
bool section_found(State& S);

}  // namespace tev
