// Viscosity of a pure gas from its Lennard-Jones collision parameters: the collision integral
// of the reduced temperature and the Chapman-Enskog formula. TEPL and the library generator
// (which fits the parameters to measured viscosities) both evaluate a gas through these two
// functions, so the generator fits exactly what a run computes.
#pragma once

#include <cmath>

namespace tev {

//! Number of coefficients of the collision-integral fit in ln T*.
inline constexpr int kOmegaTerms = 6;

//! Collision integral Omega(2,2)* as a quintic in x = ln T*, for T* < 5.5 (floats widened).
inline constexpr double kOmegaLow[kOmegaTerms] = {
    1.5883268117904663,     // c1
    -0.79496628046035767,   // c2
    0.28869709372520447,    // c3
    0.026799449697136879,   // c4
    -0.052694093436002731,  // c5
    0.010213004425168037,   // c6
};
static_assert(kOmegaLow[0] == double(1.5883268f) && kOmegaLow[1] == double(-0.7949663f) &&
              kOmegaLow[2] == double(0.2886971f) && kOmegaLow[3] == double(0.02679945f) &&
              kOmegaLow[4] == double(-0.052694093f) && kOmegaLow[5] == double(0.010213004f));

//! The same fit for T* >= 5.5 (floats widened; the quintic term is absent).
inline constexpr double kOmegaHigh[kOmegaTerms] = {
    1.2764110565185547,       // c1
    -0.29454454779624939,     // c2
    0.058431502431631088,     // c3
    -0.0078407386317849159,   // c4
    0.00043350495980121195,   // c5
    0.0,                      // c6
};
static_assert(kOmegaHigh[0] == double(1.276411f) && kOmegaHigh[1] == double(-0.29454455f) &&
              kOmegaHigh[2] == double(0.058431502f) && kOmegaHigh[3] == double(-0.007840739f) &&
              kOmegaHigh[4] == double(0.00043350496f));

//! Reduced temperature T* = T/(eps/k) at which the second row of the fit takes over [-].
inline constexpr double kOmegaSwitch = 5.5;

//! Chapman-Enskog viscosity factor: eta [poise] = k sqrt(M T)/(sigma^2 Omega), M in g/mol,
//! sigma in Angstrom.
inline constexpr double kChapmanEnskog = 2.6693000726063683e-05;

//! The collision-integral fit Omega(2,2)* at x = ln T*, row chosen by T* against 5.5.
inline double collision_integral(double x)
{
    const double* c = x < std::log(kOmegaSwitch) ? kOmegaLow : kOmegaHigh;
    return ((((c[5] * x + c[4]) * x + c[3]) * x + c[2]) * x + c[1]) * x + c[0];
}

//! Viscosity [poise] of a pure gas of molar mass `mk` [g/mol] at `T` [K], with collision
//! diameter `sigma` [Angstrom] and well depth `eps` (eps/k) [K], both non-zero.
inline double pure_gas_viscosity(double mk, double T, double sigma, double eps)
{
    const double omega = collision_integral(std::log(T / eps));
    return std::sqrt(mk * T) / (sigma * sigma * omega) * kChapmanEnskog;
}

}  // namespace tev
