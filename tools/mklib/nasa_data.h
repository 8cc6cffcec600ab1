// NASA Glenn thermodynamic data (thermo.inp, 9-coefficient records): the records of its
// products and reactants sections, and the functions H, S and Cp they give.
//
// A tool that needs the NASA species (the library generator, a reactant table) reads the file
// once with read_thermo and works on the plain records it returns.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <utility>
#include <vector>

namespace mklib {

//! Gas constant of the NASA fits [J/(mol K)]: their H/RT and S/R are scaled by it.
inline constexpr double kRnasa = 8.314510;
//! Thermochemical calorie [J].
inline constexpr double kCalJ = 4.184;
//! The NASA gas constant in calories [cal/(mol K)].
inline constexpr double kRcal = kRnasa / kCalJ;

//! Standard pressure change of the gases, 1 bar to 1 atm: S_atm = S_bar - R ln(1.01325)
//! [cal/(mol K)].
double entropy_bar_to_atm();

//! One temperature interval of a NASA 9-coefficient fit.
struct NasaInterval {
    double tlo = 0, thi = 0;     //!< range [K]
    std::array<double, 7> a{};  //!< Cp/R = a1/T^2 + a2/T + a3 + a4 T + a5 T^2 + a6 T^3 + a7 T^4
    double b1 = 0, b2 = 0;       //!< integration constants of H/RT and S/R
};

//! One species record of thermo.inp.
struct NasaSpecies {
    std::string name;                                   //!< NASA name, e.g. "AL2O3(a)"
    std::string comment;                                //!< rest of the name line: source, notes
    std::vector<std::pair<std::string, double>> atoms;  //!< element symbols and counts, as written
    int phase = 0;                                      //!< 0 gas, otherwise condensed
    double mw = 0;                                      //!< molecular weight [g/mol]
    //! Heat of formation at 298.15 K [J/mol]; for a record without intervals, its assigned
    //! enthalpy at t_assigned [J/mol].
    double hf = 0;
    double t_assigned = 0;                              //!< temperature of that enthalpy [K]
    std::vector<NasaInterval> iv;                       //!< fit intervals, increasing; may be empty
    int order = 0;                                      //!< position in its section (0-based)
};

//! The two sections of thermo.inp, each in file order.
struct NasaData {
    std::vector<NasaSpecies> products;   //!< up to "END PRODUCTS"
    std::vector<NasaSpecies> reactants;  //!< after it, up to "END REACTANTS"
};

//! Reads thermo.inp: the records after the "thermo" line and its line of global ranges, lines
//! starting with '!' skipped. Throws std::runtime_error naming the record on an unreadable
//! number, a record cut short or an exponent set other than -2..4.
NasaData read_thermo(std::istream& in);

//! Thermodynamic functions: enthalpy [cal/mol], entropy and heat capacity [cal/(mol K)].
struct Props {
    double h = 0, s = 0, cp = 0;
};

//! NASA functions of one interval at T, dimensionless: Cp/R, H/RT, S/R.
void nasa_interval(const NasaInterval& v, double T, double& cpr, double& hrt, double& sr);

//! NASA functions of a species with intervals, in calories, entropy at 1 bar. Below the first
//! interval the first interval's polynomials are used; above the last one the heat capacity is
//! held at its value at the top of the data (the enthalpy and entropy integrate that constant
//! heat capacity).
Props nasa_props(const NasaSpecies& sp, double T);

//! The same for a gas, with the entropy at 1 atm.
Props nasa_gas_props(const NasaSpecies& sp, double T);

}  // namespace mklib
