// Collision parameters fitted to NASA's viscosity fits (trans.inp): sigma and eps/k of a gas
// chosen so that the program's own pure-gas viscosity (thermo/viscosity.h) reproduces NASA's
// in least squares.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <vector>

namespace mklib {

//! One temperature interval of a NASA transport fit:
//! ln(eta [micropoise]) = A ln T + B/T + C/T^2 + D.
struct TransInterval {
    double tlo = 0, thi = 0;  //!< interval [K]
    double A = 0, B = 0, C = 0, D = 0;
};

//! NASA's viscosity fit of one pure gas, intervals by increasing temperature.
struct ViscosityFit {
    std::string source;               //!< the reference named on the species line
    std::vector<TransInterval> visc;  //!< its viscosity intervals
};

//! Reads the viscosity fits of the pure gases of trans.inp; binary pairs and conductivity
//! fits are skipped. Keys are the names as written there.
std::map<std::string, ViscosityFit> read_trans(std::istream& in);

//! NASA's viscosity [poise] at T, from the interval that holds T (the nearest one outside).
double nasa_viscosity(const ViscosityFit& f, double T);

//! Temperatures and weights of the collision fit.
struct CollisionFitSettings {
    double t_main_lo = 1000, t_main_hi = 5000;  //!< range rocket points live in, weight 1 [K]
    double t_low = 300;                         //!< start of the range weighted less [K]
    double w_low = 0.1;                         //!< weight of t_low..t_main_lo
    double step = 10;                           //!< grid step [K]
};

//! Fitted collision parameters, rounded as the library stores them, and their residuals
//! (relative deviations of the program's viscosity from NASA's).
struct CollisionFit {
    double sigma = 0, eps = 0;  //!< [Angstrom], eps/k [K]; 0 when NASA's data give no fit
    double rms = 0;             //!< weighted rms
    double max_main = 0;        //!< largest |deviation| over the main range
    double max_low = 0;         //!< the same below it (where NASA has data)
    double tlo = 0, thi = 0;    //!< range of NASA's data used [K]
};

//! Fits sigma and eps/k of a gas of molar mass `mk` [g/mol] (as the program computes it) to
//! NASA's viscosity fit, through the program's own pure-gas viscosity. For each eps/k the best
//! sigma follows in closed form (the viscosity goes as 1/sigma^2); eps/k is found by a scan of
//! ln(eps/k) over 1..20000 K and a golden-section refinement. The results are rounded to the
//! library's resolution (0.001 Angstrom, 0.1 K) and the residuals are those of the rounded
//! values.
CollisionFit fit_collision(const ViscosityFit& f, double mk, const CollisionFitSettings& st = {});

}  // namespace mklib
