// The library's records as the program reads and evaluates them: the sizes it reads, the
// 16-column number field, and the functions of a gas, ion or condensed record, computed by the
// program's own species kernels so that every fit is made against what the program computes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/library_format.h"
#include "tools/mklib/nasa_data.h"

namespace mklib {

//! Size of the gas library [records].
inline constexpr int kGasRecords = static_cast<int>(tev::libfmt::kGasRecords);
//! Highest library number (the names table holds 999 names).
inline constexpr int kMaxLibNum = 999;
//! Condensed records are read while their start position is below this.
inline constexpr int kCondensedStop = static_cast<int>(tev::libfmt::kCondensedRecordBound);
//! The program reads at most this many condensed values.
inline constexpr int kCondensedRead =
    static_cast<int>(tev::libfmt::kCondensedBlocks * tev::libfmt::kBlockValues);

//! The functions of one species against temperature [K].
using Function = std::function<Props(double)>;

//! One 16-column field: sign, digit, point, nine decimals and a two-digit exponent.
std::string field16(double x);

//! The value the program reads back from field16(x).
double stored(double x);

//! Writes a stream of values, ten 16-column fields per line.
std::string write_stream(const std::vector<double>& v);

//! Gas polynomial record a1..a9 at T, as the program evaluates it.
Props gas_poly(const std::array<double, 9>& a, double T);

//! Condensed interval b1..b5 at T, as the program evaluates it.
Props cond_poly(const std::array<double, 5>& b, double T);

//! An ion's functions from its record, its parent's and the electron's functions, as the
//! program forms them (charge +1 or -1).
Props ion_props(const std::array<double, 9>& a, int charge, const Props& parent,
                const Props& electron, double T);

//! Largest deviations of the program's functions from NASA's.
struct Deviation {
    double dh = 0;    //!< [kJ/mol]
    double ds = 0;    //!< [J/(mol K)]
    double dcp = 0;   //!< [J/(mol K)]
    double dg = 0;    //!< G/RT
};

//! Deviations of `prog` from `nasa` over [tlo, thi] inside the window [from, to] (by default
//! 300..5000 K, where the accuracy targets hold), step 10 K.
Deviation deviation(const Function& prog, const Function& nasa, double tlo, double thi,
                    double from = 300, double to = 5000);

}  // namespace mklib
