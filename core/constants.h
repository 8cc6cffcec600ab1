// Constants shared by several routines, at the exact double values the printed results need.
// Many are single-precision literals widened to double; each such one is tied to its float.
#pragma once

namespace tev {

//! Gas constant in calories [cal/(mol K)] (1.98719 held as a float).
inline constexpr double kR0 = 1.9871900081634521;
static_assert(kR0 == double(1.98719f));
//! Calories to joules [J/cal] (4.184 held as a float).
inline constexpr double kCal = 4.184000015258789;
static_assert(kCal == double(4.184f));
//! Universal gas constant for the speed of sound [J/(kmol K)] (8314.41 held as a float).
inline constexpr double kRgas = 8314.41015625;
static_assert(kRgas == double(8314.41f));
//! MPa per physical atmosphere (0.101325 held as a float).
inline constexpr double kMPaPerAtm = 0.10132499784231186;
static_assert(kMPaPerAtm == double(0.101325f));
//! Atmospheres per MPa: the reciprocal of the single-precision 0.101325, used as a factor.
inline constexpr double kAtmPerMPa = 9.869232877322741;
//! Affinity tolerances of the solver (5e-5 and 5e-4 held as floats).
inline constexpr double kE1 = 4.999999873689376e-05;
static_assert(kE1 == double(5e-5f));
inline constexpr double kE2 = 5.000000237487257e-04;
static_assert(kE2 == double(5e-4f));
//! Enthalpy that marks a species taking no part [cal/mol].
inline constexpr double kNoSpecies = 1000000000.0;
//! Decimal logarithm factor: 1/2.3026 with 2.3026 held as a float.
inline constexpr double kLog10Factor = 0.43429168784125255;

}  // namespace tev
