// Collision parameters of the gases: the Lennard-Jones table, the estimate for a gas without
// data by analogy with a measured one, and the packed value the library stores.
#pragma once

#include <array>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "tools/mklib/formula.h"
#include "tools/mklib/library.h"
#include "tools/mklib/viscosity_fit.h"

namespace mklib {

//! Lennard-Jones table row.
struct LJ {
    double sigma = 0;  //!< collision diameter [A]
    double eps = 0;    //!< well depth eps/k [K]
};

//! Reads the tab-separated table (header line, then nasa_name, sigma_A, eps_over_k_K, ...).
std::map<std::string, LJ> read_lj(std::istream& in);

//! A species with measured collision data, as a candidate analogue.
struct Analogue {
    std::string name;  //!< NASA name
    Formula f;         //!< its formula
    double mw = 0;     //!< molar mass [g/mol]
    LJ lj;             //!< its measured values
};


//! Estimates sigma and eps/k of a gas without data by analogy with a measured neutral species:
//! of the same class (containing a metal or not), a homologue (same periodic groups and counts)
//! where one is measured, otherwise the species nearest in atom count; among equals the one
//! nearest in molar mass. The analogue lends its well depth; its diameter is scaled by the
//! cube root of the ratio of the summed atomic volumes. `from` names the analogue.
LJ estimate_collision(const Formula& f, double mw, const std::vector<Analogue>& known,
                      std::string& from);

//! Packs sigma [A] and eps/k [K] as the library stores them.
double pack_collision(double sigma, double eps);

//! The NASA gas a pure-gas fit of trans.inp belongs to: trans.inp writes some halocarbons in
//! another atom order than thermo.inp (CCLF3 for CF3CL); every other name is the same.
std::string thermo_name_of_trans(const std::string& trans_name);

//! Gives every gas but the electron its packed collision value: for a neutral gas that NASA's
//! viscosity fits cover, sigma and eps/k fitted to them through the program's viscosity (with
//! the molar mass the program forms from `mu`); else its Lennard-Jones table entry; else an
//! ion its parent's values; else an estimate by analogy with the measured neutral species of
//! the library. Notes where each value not from the table comes from.
void assign_collisions(std::vector<Gas>& gases, const std::map<std::string, LJ>& table,
                       const std::map<std::string, ViscosityFit>& viscosity,
                       const ElementMasses& mu);

}  // namespace mklib
