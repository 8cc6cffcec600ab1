// Transport properties of the combustion products: viscosity, thermal conductivity, Prandtl
// number (TEPL) and the electrical conductivity of the ionised products (SIGMA).
#include "thermo/thermo.h"
#include "thermo/viscosity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace tev {

namespace {

// ---- TEPL ----------------------------------------------------------------------------------

//! Smallest mole fraction for which a gas enters the sums as a main term (1e-12 as a float).
constexpr double kMinFraction = 9.999999960041972e-13;
static_assert(kMinFraction == double(1e-12f));

//! 2 sqrt(2), the denominator factor of Wilke's Phi.
constexpr double kTwoSqrtTwo = 2.8284271247461903;

//! Mason-Saxena factor of Psi and the mass weight inside it (2.41 and 0.142 as floats).
constexpr double kMasonSaxena = 2.4100000858306885;
static_assert(kMasonSaxena == double(2.41f));
constexpr double kMasonSaxenaMass = 0.14200000464916229;
static_assert(kMasonSaxenaMass == double(0.142f));

//! Translational conductivity: lambda_tr = 15/4 R eta/M.
constexpr double kEuckenTrans = 3.75;
//! Eucken weight of the internal heat capacity (0.4 as a float).
constexpr double kEuckenCp = 0.40000000596046448;
static_assert(kEuckenCp == double(0.4f));
//! Internal conductivity factor 3.75 x 0.88, with 0.88 held as a float.
constexpr double kEuckenInternal = 3.2999999821186066;
static_assert(kEuckenInternal == 3.75 * double(0.88f));

//! cal/(cm s K) to W/(m K) (418.4 as a float).
constexpr double kCalCmToWattM = 418.39999389648438;
static_assert(kCalCmToWattM == double(418.4f));
//! Poise to Pa s (0.1 as a float).
constexpr double kPoiseToPaS = 0.10000000149011612;
static_assert(kPoiseToPaS == double(0.1f));
//! kJ to J in the Prandtl number (heat capacity in kJ/(kg K)).
constexpr double kKiloToUnit = 1000.0;

// ---- SIGMA ---------------------------------------------------------------------------------

//! Boltzmann constant in eV/K: the temperature in electronvolts is T/11604.5.
constexpr double kEvPerK = 8.617346718945237e-05;
//! Kelvin per electronvolt, in the Maxwell factor exp(-eps/kT).
constexpr double kKPerEv = 11604.5;
//! Factor of the Coulomb logarithm argument 1 + e^3/n_p x const (e in eV).
constexpr double kCoulombArg = 238862300.0;
//! Electron-neutral collision factor: W = p/sqrt(kT) x const (p in atm, kT in eV).
constexpr double kNeutralColl = 569.2956;
//! Mole fraction times the fixed cross-section of a charge-free species without a table
//! column: 0.001 (mol/kg x g/mol) times 80 units of the table. The table's unit is the Bohr
//! radius squared (2.80e-21 m^2): with it, a single constant cross-section gives the Maxwellian
//! conductivity of a weakly ionised gas, e^2 n_e <v> / (3 p Q).
constexpr double kFixedXsecWeight = 0.08;
//! Mole fraction of a listed species from its amount: P x MS x 0.001 (0.001 as a float).
constexpr double kListedWeight = 0.0010000000474974513;
static_assert(kListedWeight == double(0.001f));
//! Energy step of the integral over the electron energy [eV] (0.05 as a float).
constexpr double kEnergyStep = 0.05000000074505806;
static_assert(kEnergyStep == double(0.05f));
//! Half the step, the trapezoidal weight [eV] (0.025 as a float).
constexpr double kHalfStep = 0.02500000037252903;
static_assert(kHalfStep == double(0.025f));
//! The integral ends at 20 kT: eps - 20 T/11604.5 >= 0 [eV/K].
constexpr double kUpperLimitPerK = -0.0017234693437890474;
//! Conductivity factor: with NE in 1e18 m^-3 the result is in S/m.
constexpr double kConductivity = 11490.0;

//! Grid nodes and table columns of the electron cross-section table.
constexpr int kGridNodes = 36;
constexpr int kTableColumns = 33;

//! Number of cross-section list positions that take part in the sums: those mapped by the
//! selection (below D) that also have a table column.
int listed_positions(const SpeciesRec& sp)
{
    const int mapped = sp.D - 1;
    return mapped < kTableColumns ? mapped : kTableColumns;
}

}  // namespace

// TEPL: viscosity, thermal conductivity and Prandtl number of the gas phase.
//   reads  S.pt.T; S.sp (N, NG, SG, EK, CP); S.eq (PR, MK, R0, CPRG, CPZG)
//   writes S.eq.PR (mole fractions, condensed species counted); S.tr (NT, NSM, LS1, LS2, LS,
//          LR, PL)
//   ends   always; gases without collision data (EK or SG zero) are left out. With nothing to
//          sum (no gas with collision data and a fraction of at least 1e-12) LS is 0, and PL is
//          then reported as 0, as is LR when the frozen heat capacity of the gas is 0.
void TEPL(State& S)
{
    const SpeciesRec& sp = S.sp;
    EquilRec& eq = S.eq;
    TransRec& tr = S.tr;
    const double T = S.pt.T;

    // Mole fractions over every species with a positive amount, condensed ones included.
    double total = 0;
    for (int i = 1; i <= sp.N; ++i) {
        if (eq.PR(i) > 0) total += eq.PR(i);
    }
    for (int i = 1; i <= sp.N; ++i) {
        eq.PR(i) = eq.PR(i) > 0 ? eq.PR(i) / total : 0.0;
    }

    tr.LS1 = 0;
    tr.LS2 = 0;
    tr.NSM = 0;

    // Pure-gas viscosities from Chapman-Enskog theory with the Lennard-Jones collision integral.
    for (int i = 1; i <= sp.NG; ++i) {
        // A gas without a collision diameter has no usable data either (it would divide by 0).
        if (sp.EK(i) == 0 || sp.SG(i) == 0) {
            tr.NT(i) = 0;
            continue;
        }
        tr.NT(i) = pure_gas_viscosity(eq.MK(i), T, sp.SG(i), sp.EK(i));
    }

    // The molar masses change only with a new selection: the terms of every pair that depend
    // on them alone are formed when a mass has changed and kept until then.
    const auto ng = static_cast<std::size_t>(sp.NG);
    if (tr.PAIR_MK.size() != ng ||
        !std::equal(tr.PAIR_MK.begin(), tr.PAIR_MK.end(), eq.MK.data())) {
        tr.PAIR_MK.assign(eq.MK.data(), eq.MK.data() + ng);
        tr.PAIR_ROOT4.assign(ng * ng, 0.0);
        tr.PAIR_DEN.assign(ng * ng, 0.0);
        tr.PAIR_MS.assign(ng * ng, 0.0);
        for (int i = 1; i <= sp.NG; ++i) {
            const double mi = eq.MK(i);
            for (int j = 1; j <= sp.NG; ++j) {
                if (j == i) continue;
                const double mj = eq.MK(j);
                const std::size_t k = static_cast<std::size_t>(i - 1) * ng +
                                      static_cast<std::size_t>(j - 1);
                tr.PAIR_ROOT4[k] = std::pow(mj / mi, 0.25);
                tr.PAIR_DEN[k] = kTwoSqrtTwo * std::sqrt(1 + mi / mj);
                tr.PAIR_MS[k] = 1 + kMasonSaxena * (mi - kMasonSaxenaMass * mj) * (mi - mj) /
                                        ((mi + mj) * (mi + mj));
            }
        }
    }

    // The gases with a viscosity, the partners of every main term, in ascending order (as
    // offsets j-1 from the first gas).
    std::array<std::size_t, decltype(tr.NT)::size()> partners;
    std::size_t partner_count = 0;
    for (int j = 1; j <= sp.NG; ++j)
        if (tr.NT(j) > 0) partners[partner_count++] = static_cast<std::size_t>(j - 1);

    // Mixture: Wilke's rule for the viscosity and the internal part, the Mason-Saxena weights
    // for the translational part. A trace gas is no main term but still a partner.
    const double* const nt = tr.NT.data();
    const double* const pr = eq.PR.data();
    for (int i = 1; i <= sp.NG; ++i) {
        if (!(eq.PR(i) >= kMinFraction && tr.NT(i) > 0)) continue;
        const double mi = eq.MK(i);
        const std::size_t self = static_cast<std::size_t>(i - 1);
        const std::size_t row = self * ng;
        const double* const root4 = tr.PAIR_ROOT4.data() + row;
        const double* const den = tr.PAIR_DEN.data() + row;
        const double* const ms = tr.PAIR_MS.data() + row;
        const double nti = nt[self];
        const double pri = pr[self];
        double w1 = 0;  // sum of x_j/x_i Phi_ij
        double w2 = 0;  // sum of x_j/x_i Psi_ij
        const auto add_partner = [&](std::size_t j) {
            const double root = 1 + std::sqrt(nti / nt[j]) * root4[j];
            const double phi = root * root / den[j];
            const double psi = phi * ms[j];
            const double y = pr[j] / pri;
            w1 = w1 + y * phi;
            w2 = w2 + y * psi;
        };
        // The partners before the gas itself, then those after it.
        std::size_t p = 0;
        for (; p < partner_count && partners[p] < self; ++p) add_partner(partners[p]);
        if (p < partner_count && partners[p] == self) ++p;
        for (; p < partner_count; ++p) add_partner(partners[p]);
        tr.NSM = tr.NSM + tr.NT(i) / (1 + w1);
        tr.LS1 = tr.LS1 + tr.NT(i) / ((1 + w2) * mi) * eq.R0 * kEuckenTrans;
        tr.LS2 = tr.LS2 + (kEuckenCp * S.sp.CP(i) / eq.R0 - 1) / (mi * (1 + w1)) * tr.NT(i) *
                              eq.R0 * kEuckenInternal;
    }

    tr.LS = (tr.LS1 + tr.LS2) * kCalCmToWattM;
    tr.LR = eq.CPZG != 0 ? tr.LS * eq.CPRG / eq.CPZG : 0.0;
    tr.NSM = tr.NSM * kPoiseToPaS;
    tr.PL = tr.LS != 0 ? tr.NSM * eq.CPZG / tr.LS * kKiloToUnit : 0.0;
}

// SIGMA: electrical conductivity of the ionised products, from the Maxwell average of the
// electron mobility with electron-neutral (cross-section table) and electron-ion (Coulomb)
// collisions.
//   reads  S.pt (T, PP); S.eq (NE, NI, NP, SK, MS, P); S.sp (NQ, D); S.lib (BQ, QJ)
//   writes S.tr.GG [S/m] and the integral's working values S.tr (EQ, DE, SQ, SX, INT, PF, PF1)
//   ends   always; GG = 0 without positive ions. Table positions beyond the 33 columns take no
//          part: their species count with the fixed cross-section.
void SIGMA(State& S)
{
    const EquilRec& eq = S.eq;
    const SpeciesRec& sp = S.sp;
    const LibRec& lib = S.lib;
    TransRec& tr = S.tr;
    const double T = S.pt.T;

    if (eq.NP <= 0) {
        tr.GG = 0;
        return;
    }
    const double e = T * kEvPerK;  // kT [eV]
    const double coulomb = eq.NI * std::log(1 + (e * e) / eq.NP * e * kCoulombArg);
    const double neutral = S.pt.PP / std::sqrt(e) * kNeutralColl;
    const int listed = listed_positions(sp);

    // Amount of the species that have a table column and are present.
    tr.SX = 0;
    for (int d = 1; d <= listed; ++d) {
        const int k = sp.NQ(d);
        if (k > 0 && eq.P(k) > 0) tr.SX = tr.SX + eq.P(k);
    }

    // The table positions of the species present: the amounts stay as they are during the
    // integral.
    std::array<int, kTableColumns> present;
    int present_count = 0;
    for (int d = 1; d <= listed; ++d) {
        const int k = sp.NQ(d);
        if (k > 0 && eq.P(k) > 0) present[static_cast<std::size_t>(present_count++)] = d;
    }

    tr.EQ = 0;
    tr.PF = 0;
    tr.INT = 0;
    tr.DE = kEnergyStep;
    const double fixed_part = (eq.SK - tr.SX) * eq.MS * kFixedXsecWeight;
    int z = 2;
    do {
        tr.EQ = tr.EQ + kEnergyStep;
        const double s = std::sqrt(tr.EQ);
        // s grows from step to step: the nodes below the last energy's node stay below.
        while (z < kGridNodes && lib.BQ(z) < s) ++z;
        // Cross-section sum at this energy: linear in sqrt(eps) between nodes z-1 and z, the
        // last segment extended beyond the grid.
        const double above = lib.BQ(z) - s;
        const double below = lib.BQ(z - 1) - s;
        const double width = lib.BQ(z) - lib.BQ(z - 1);
        double sq = fixed_part;
        for (int c = 0; c < present_count; ++c) {
            const int d = present[static_cast<std::size_t>(c)];
            const double q = (above * lib.QJ(z - 1, d) - below * lib.QJ(z, d)) / width;
            sq = sq + q * eq.P(sp.NQ(d)) * eq.MS * kListedWeight;
        }
        tr.SQ = sq;
        tr.PF1 = std::exp(tr.EQ / T * (-kKPerEv)) /
                 (neutral * std::pow(tr.EQ, 1.5) * tr.SQ + coulomb) * std::pow(tr.EQ, 2.5);
        tr.INT = (tr.PF1 + tr.PF) * kHalfStep + tr.INT;
        tr.PF = tr.PF1;
    } while (tr.EQ + kUpperLimitPerK * T < 0);

    tr.GG = tr.INT / (e * e) * eq.NE * kConductivity;
}

}  // namespace tev
