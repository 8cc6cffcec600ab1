// The numerical fits of the library's records: a scaled least-squares solver, the gas
// polynomial with its heat capacity kept positive up to the chamber bracket, the ion records
// and the condensed phase intervals. Each fits the program's own functions of the record
// (records.h) to target functions, usually NASA's.
#pragma once

#include <array>
#include <vector>

#include "tools/mklib/records.h"

namespace mklib {

//! Solves min |A x - b| by Householder QR in long double with the columns scaled to unit
//! maximum. A is row-major, rows x cols.
std::vector<double> least_squares(std::vector<long double> A, std::vector<long double> b,
                                  int rows, int cols);

//! Settings of the gas fit.
struct GasFitSettings {
    double tlo = 300, thi = 6000;  //!< fitted range [K]
    double log_step = 0.01;        //!< grid step in ln T
    double wh = 1.0, ws = 1.0;     //!< weights of the H/RT and S/R rows
    double wc = 0.1;               //!< weight of the Cp/R rows
    double t_full = 300;           //!< rows below this temperature take the weight w_below [K]
    double w_below = 1.0;          //!< weight of the rows below t_full
    double ttop = 20000;           //!< top of the chamber bracket [K]
    double cp_floor = 0.5 * kRcal; //!< smallest heat capacity accepted up to ttop [cal/(mol K)]
    double cp_pin = 1.0 * kRcal;   //!< value a pinned heat capacity is drawn to [cal/(mol K)]
    double w_pin = 10.0;           //!< weight of a pinning row
    int max_pins = 20;
};

//! A heat-capacity row added above the fitted range: Cp(T) is drawn towards `cp`.
struct CpPin {
    double T = 0, cp = 0;
};


//! Fits a1..a9 to the functions f (cal units, entropy at 1 atm) over the fitted range on a grid
//! even in ln T (rows H/RT, S/R and Cp/R, so that G/RT = H/RT - S/R is fitted directly), plus
//! the heat-capacity pins. The coefficients are returned as stored in the library.
std::array<double, 9> fit_gas_once(const Function& f, const GasFitSettings& st,
                                   const std::vector<CpPin>& pins);

//! Lowest heat capacity of a polynomial record on a 10 K grid over [tlo, thi], and where.
double min_cp(const std::array<double, 9>& a, double tlo, double thi, double* where = nullptr);

//! Result of a gas fit.
struct GasFit {
    std::array<double, 9> a{};
    int pins = 0;           //!< heat-capacity pins that were needed
    double min_cp = 0;      //!< lowest heat capacity 200..20000 K [cal/(mol K)]
};

//! Accuracy targets of the gas records over 300-5000 K: |dG/RT| and |dH| [kJ/mol].
inline constexpr double kTargetDg = 0.002;
inline constexpr double kTargetDh = 0.5;

//! Fits a gas so that its heat capacity stays positive up to the top of the chamber bracket.
//! Beyond the data a degree-6 heat capacity runs off quickly; where it falls below the floor
//! (anywhere from 200 K to the top), a pin drawing Cp to about R is added at the lowest point
//! and the fit repeated. One or two pins at the top end suffice for most species and cost far
//! less accuracy below 6000 K than fitting pseudo-data over the whole extension.
GasFit fit_gas(const Function& f, const GasFitSettings& st = {});

//! Positive-ion record: Q at 2000..5000 K and the ionisation energy, so that the program's ion
//! Gibbs energy equals the target's at those four temperatures. Below 2000 K the program holds
//! Q at its 2000 K value, so the energy is chosen to fit ln Q - a6/e = f(T) best over 300..2000 K
//! with the curve passing through the 2000 K value.
std::array<double, 9> positive_ion_record(int parent_lib, const Function& ion,
                                          const Function& parent, const Function& electron);

//! Negative-ion record: w - ln(T c) = a2 ln e - a4/e + a3 fitted over 1500..6000 K, where
//! ions take a noticeable share of the products.
std::array<double, 9> negative_ion_record(int parent_lib, const Function& ion,
                                          const Function& parent, const Function& electron);

//! Fits b1..b5 to f over [tlo, thi]. When `join` is given, the enthalpy and entropy at tlo are
//! held at the values of that interval, so that a phase split into several pieces has no jump.
std::array<double, 5> fit_condensed(const Function& f, double tlo, double thi,
                                    const std::array<double, 5>* join = nullptr);

}  // namespace mklib
