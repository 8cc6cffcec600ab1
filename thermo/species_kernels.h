// The species functions of one library record as pure functions of its coefficients: the gas
// enthalpy polynomial, the ion record built on its parent and the electron, and one phase
// interval of a condensed record. FFG and FK evaluate the selected species with them, and the
// library generator fits its records against the very same arithmetic.
#pragma once

#include <cmath>

namespace tev {

//! Thousands of kelvin per kelvin: R = T*0.001 is the reduced temperature.
inline constexpr double kReduced = 0.001;
//! Entropy and heat-capacity scale of the coefficients (they are per 1000 K) [-].
inline constexpr double kPerThousand = 0.001;
//! Electronvolts per kelvin (1/11600) [eV/K].
inline constexpr double kEvPerK = 8.620689655172413e-05;
//! Factor of T in the logarithmic detachment-constant term [1/K].
inline constexpr double kDetachT = 1.2260911827023856e-10;
//! Statistical factor applied to the tabulated Q of a positive ion (0.67083 held as a float).
inline constexpr double kQFactor = 0.6708300113677979;
static_assert(kQFactor == double(0.67083f));
//! Scale of the Q parabolas: 1/(2*1000^2) for nodes 1000 K apart [1/K^2].
inline constexpr double kParabola = 5e-07;
//! Temperatures of the tabulated Q values [K].
inline constexpr double kQ2000 = 2000.0, kQ3000 = 3000.0, kQ4000 = 4000.0, kQ5000 = 5000.0;

//! Enthalpy [cal/mol], entropy and heat capacity [cal/(mol K)] of one species.
struct SpeciesValues {
    double ENT = 0;  //!< enthalpy [cal/mol]
    double S = 0;    //!< entropy [cal/(mol K)]
    double CP = 0;   //!< heat capacity [cal/(mol K)]
};

//! Gas record a1..a9 (a[0..8]) at the reduced temperature R and C = 0.001 ln R: the degree-7
//! enthalpy polynomial a8 + a7 R + ... + a1 R^7, its derivative and the entropy constant a9.
inline SpeciesValues polynomial_gas(const double* a, double R, double C)
{
    double h = 0, s = 0, c = 0;
    for (int j = 1; j <= 6; ++j) {
        const double aj = a[j - 1];
        const double kj = static_cast<double>(8 - j) / static_cast<double>(7 - j);
        h = (h + aj) * R;
        s = (s + kj * aj) * R;
        c = (c + (8 - j) * aj) * R;
    }
    SpeciesValues v;
    v.ENT = (a[6] + h) * R + a[7];
    v.S = (a[6] * C + a[8]) + kPerThousand * s;
    v.CP = (a[6] + c) * kPerThousand;
    return v;
}

//! Tabulated factor Q of a positive ion record a[0..8] at T [K]: the value at 2000 K below
//! 2000 K, the value at 5000 K from 6000 K on, between them the parabola through three
//! neighbouring nodes.
inline double positive_ion_q(double T, const double* a)
{
    const long j = static_cast<long>(T * kReduced);  // thousands of kelvin
    if (j < 2) return a[1];
    if (j > 5) return a[4];
    if (j <= 3)
        return kParabola * ((a[1] * (T - kQ3000) - 2 * a[2] * (T - kQ2000)) * (T - kQ4000) +
                            a[3] * (T - kQ2000) * (T - kQ3000));
    return kParabola * ((a[2] * (T - kQ4000) - 2 * a[3] * (T - kQ3000)) * (T - kQ5000) +
                        a[4] * (T - kQ3000) * (T - kQ4000));
}

//! Natural logarithm w of the detachment constant of an ion record a[0..8] at T [K]; kind > 0
//! a positive ion (ionisation with the tabulated Q and the ionisation energy a6), kind < 0 a
//! negative ion (a2 ln e - a4/e + a3, with a4 the detachment energy), e = T in electronvolts.
inline double ion_detachment(int kind, const double* a, double T)
{
    static const double ten_ln_ten = 10.0 * std::log(10.0);
    const double e = T * kEvPerK;
    double w;
    if (kind < 0) {
        w = (a[1] * std::log(e) - a[3] / e) + a[2];
    } else {
        const double Q = positive_ion_q(T, a);
        w = (std::log(Q * kQFactor) - a[5] / e) + 1.5 * std::log(e) + ten_ln_ten;
    }
    return std::log(T * kDetachT) + w;
}

//! Enthalpy [cal/mol] of an ion of the given kind from its detachment constant w at T: the
//! parent's enthalpy, less (positive ion) or plus (negative ion) the electron's Gibbs energy
//! ENT_e - S_e T, and -/+ R0 T w. The ion takes its parent's entropy and heat capacity.
inline double ion_enthalpy(int kind, double w, double R0, double T, double ent_parent,
                           double ent_e, double s_e)
{
    const double sa = kind < 0 ? 1.0 : -1.0;
    const double sb = kind > 0 ? 1.0 : -1.0;
    return ent_parent + (sa * w * R0 * T - sb * (ent_e - s_e * T));
}

//! One phase interval b1..b5 (b[0..4]) of a condensed record at the reduced temperature R and
//! C = 0.001 ln R: the cubic enthalpy b4 + b3 R + b2 R^2 + b1 R^3 and the entropy constant b5.
inline SpeciesValues condensed_interval(const double* b, double R, double C)
{
    double h = b[0] * R;
    h = (h + b[1]) * R;
    double s = 1.5 * b[0] * R;
    s = (s + 2 * b[1]) * R;
    double c = 3 * b[0] * R;
    c = (c + 2 * b[1]) * R;
    SpeciesValues v;
    v.ENT = (b[2] + h) * R + b[3];
    v.S = (b[2] * C + kPerThousand * s) + b[4];
    v.CP = (b[2] + c) * kPerThousand;
    return v;
}

}  // namespace tev
