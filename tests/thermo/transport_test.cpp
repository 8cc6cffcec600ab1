// Viscosity, thermal conductivity and Prandtl number of the gas phase (TEPL).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/library_format.h"
#include "input/input.h"
#include "thermo/thermo.h"

namespace {

using tev::State;

// Collision integral of the fit written out from its coefficients (floats, as the fit holds
// them), so that the row switch can be checked from outside.
double omega_low(double x)
{
    const double c[] = {1.5883268f, -0.7949663f, 0.2886971f, 0.02679945f, -0.052694093f,
                        0.010213004f};
    return ((((c[5] * x + c[4]) * x + c[3]) * x + c[2]) * x + c[1]) * x + c[0];
}
double omega_high(double x)
{
    const double c[] = {1.276411f, -0.29454455f, 0.058431502f, -0.007840739f, 0.00043350496f};
    return (((c[4] * x + c[3]) * x + c[2]) * x + c[1]) * x + c[0];
}

class Tepl : public ::testing::Test {
protected:
    std::unique_ptr<State> S = std::make_unique<State>();

    void SetUp() override
    {
        S->eq.R0 = tev::kR0;
        S->eq.CPZG = 2.0;
        S->eq.CPRG = 3.0;
        S->pt.T = 300.0;
    }
    // Adds a gas (species NG+1) with amount p [mol/kg], molar mass, sigma, eps/k and cp.
    int add_gas(double p, double mk, double sg, double ek, double cp)
    {
        const int i = ++S->sp.NG;
        S->sp.N = S->sp.NG;
        S->eq.PR(i) = p;
        S->eq.MK(i) = mk;
        S->sp.SG(i) = sg;
        S->sp.EK(i) = ek;
        S->sp.CP(i) = cp;
        return i;
    }
    double nt_of(double mk, double sg, double omega) const
    {
        return std::sqrt(mk * S->pt.T) / (sg * sg * omega) * 2.6693000726063683e-05;
    }
};

TEST_F(Tepl, NitrogenAtRoomTemperatureHasItsMeasuredViscosity)
{
    // N2 at 300 K: 17.9 uPa s measured; thermal conductivity 0.026 W/(m K); Pr 0.71.
    add_gas(1.0, 28.0134, 3.798, 71.4, 6.96);
    S->eq.CPZG = 1.041;
    S->eq.CPRG = 1.041;
    tev::TEPL(*S);
    EXPECT_NEAR(S->tr.NSM, 17.9e-6, 0.02 * 17.9e-6);
    EXPECT_NEAR(S->tr.LS, 0.0259, 0.1 * 0.0259);
    EXPECT_NEAR(S->tr.PL, 0.71, 0.1 * 0.71);
}

TEST_F(Tepl, FractionsCountCondensedSpeciesAndDropLogEncodedAmounts)
{
    add_gas(1.0, 28.0134, 3.798, 71.4, 6.96);
    add_gas(-30.0, 2.016, 2.827, 59.7, 6.9);  // ln of a tiny amount: not a fraction
    S->sp.N = 3;                               // species 3 condensed
    S->eq.PR(3) = 3.0;
    tev::TEPL(*S);
    EXPECT_DOUBLE_EQ(S->eq.PR(1), 0.25);
    EXPECT_EQ(S->eq.PR(2), 0.0);
    EXPECT_DOUBLE_EQ(S->eq.PR(3), 0.75);
}

TEST_F(Tepl, ReducedTemperatureJustBelowFiveAndAHalfUsesTheFirstRow)
{
    S->pt.T = std::nextafter(5500.0, 0.0);
    const int g = add_gas(1.0, 28.0, 3.8, 1000.0, 7.0);
    tev::TEPL(*S);
    const double x = std::log(S->pt.T / 1000.0);
    EXPECT_DOUBLE_EQ(S->tr.NT(g), nt_of(28.0, 3.8, omega_low(x)));
    EXPECT_NE(S->tr.NT(g), nt_of(28.0, 3.8, omega_high(x)));
}

TEST_F(Tepl, ReducedTemperatureOfExactlyFiveAndAHalfUsesTheSecondRow)
{
    S->pt.T = 5500.0;
    const int g = add_gas(1.0, 28.0, 3.8, 1000.0, 7.0);
    tev::TEPL(*S);
    const double x = std::log(5.5);
    EXPECT_DOUBLE_EQ(S->tr.NT(g), nt_of(28.0, 3.8, omega_high(x)));
    // The two rows nearly meet at the switch: the choice moves the viscosity by < 0.5 %.
    EXPECT_NEAR(omega_low(x) / omega_high(x), 1.0, 5e-3);
}

TEST_F(Tepl, MixtureOfTwoIdenticalGasesBehavesAsThePureGas)
{
    // Phi and Psi of equal gases are 1, so the mixture sums reproduce the pure gas.
    add_gas(1.0, 28.0, 3.8, 71.4, 7.0);
    tev::TEPL(*S);
    const double nsm = S->tr.NSM, ls1 = S->tr.LS1, ls2 = S->tr.LS2;
    S = std::make_unique<State>();
    SetUp();
    add_gas(0.3, 28.0, 3.8, 71.4, 7.0);
    add_gas(0.7, 28.0, 3.8, 71.4, 7.0);
    tev::TEPL(*S);
    EXPECT_NEAR(S->tr.NSM, nsm, 1e-15 * nsm);
    EXPECT_NEAR(S->tr.LS1, ls1, 1e-15 * ls1);
    EXPECT_NEAR(S->tr.LS2, ls2, 1e-15 * ls2);
}

TEST_F(Tepl, LightGasInHeavyGasFollowsWilkesRule)
{
    // H2 and N2 half and half at 300 K: pure viscosities 8.9 and 17.9 uPa s. The light gas
    // adds little momentum transport, so the mixture stays far above the mole-fraction mean
    // (13.4 uPa s): Wilke's rule gives 16.9 uPa s.
    const int h2 = add_gas(0.5, 2.016, 2.827, 59.7, 6.9);
    const int n2 = add_gas(0.5, 28.0134, 3.798, 71.4, 6.96);
    tev::TEPL(*S);
    EXPECT_NEAR(S->tr.NT(h2) * 0.1, 8.9e-6, 0.04 * 8.9e-6);
    EXPECT_NEAR(S->tr.NT(n2) * 0.1, 17.9e-6, 0.02 * 17.9e-6);
    EXPECT_NEAR(S->tr.NSM, 16.9e-6, 0.02 * 16.9e-6);
}

TEST_F(Tepl, NewSelectionWithOtherMassesFormsThePairTermsAgain)
{
    // The pair terms are kept between calls; a selection that keeps the gas count but
    // changes a molar mass must not reuse the old ones.
    add_gas(0.5, 2.016, 2.827, 59.7, 6.9);
    add_gas(0.5, 28.0134, 3.798, 71.4, 6.96);
    tev::TEPL(*S);
    S->eq.PR(1) = 0.5;
    S->eq.PR(2) = 0.5;
    S->eq.MK(1) = 31.9988;  // O2 takes the place of H2
    tev::TEPL(*S);
    const double kept = S->tr.NSM;

    auto fresh = std::make_unique<State>();
    fresh->eq.R0 = S->eq.R0;
    fresh->pt.T = S->pt.T;
    fresh->sp.NG = fresh->sp.N = 2;
    for (int i = 1; i <= 2; ++i) {
        fresh->eq.PR(i) = 0.5;
        fresh->eq.MK(i) = S->eq.MK(i);
        fresh->sp.SG(i) = S->sp.SG(i);
        fresh->sp.EK(i) = S->sp.EK(i);
    }
    tev::TEPL(*fresh);
    EXPECT_EQ(kept, fresh->tr.NSM);
}

TEST_F(Tepl, TraceGasIsNoMainTermButStillAPartner)
{
    const int main_gas = add_gas(1.0, 28.0, 3.8, 71.4, 7.0);
    const int trace = add_gas(5e-13, 2.016, 2.827, 59.7, 6.9);
    tev::TEPL(*S);
    const double y = S->eq.PR(trace) / S->eq.PR(main_gas);
    ASSERT_GT(y, 0.0);
    const double nti = S->tr.NT(main_gas), ntj = S->tr.NT(trace);
    const double root = 1 + std::sqrt(nti / ntj) * std::pow(2.016 / 28.0, 0.25);
    const double phi = root * root / (2 * std::sqrt(2.0) * std::sqrt(1 + 28.0 / 2.016));
    // Only the main gas is summed; the trace gas lowers it through its tiny ratio.
    EXPECT_NEAR(S->tr.NSM, nti / (1 + y * phi) * 0.1f, 1e-15 * S->tr.NSM);
    EXPECT_LT(S->tr.NSM, nti * double(0.1f));
}

TEST_F(Tepl, FractionOfExactlyTheThresholdCountsAndJustBelowDoesNot)
{
    // One gas beside a condensed species, so that its main term is its whole viscosity.
    const double at = double(1e-12f);
    for (const double x : {at, std::nextafter(at, 0.0)}) {
        S = std::make_unique<State>();
        SetUp();
        const int g = add_gas(x, 28.0, 3.8, 71.4, 7.0);
        S->sp.N = 2;
        S->eq.PR(2) = 1.0 - x;
        ASSERT_EQ(x + (1.0 - x), 1.0);  // fractions stay exactly x
        tev::TEPL(*S);
        ASSERT_EQ(S->eq.PR(g), x);
        if (x == at) {
            EXPECT_DOUBLE_EQ(S->tr.NSM, S->tr.NT(g) * double(0.1f));
        } else {
            EXPECT_EQ(S->tr.NSM, 0.0);
        }
    }
}

TEST_F(Tepl, GasesWithoutCollisionDataAreLeftOut)
{
    const int g = add_gas(1.0, 28.0, 3.8, 71.4, 7.0);
    tev::TEPL(*S);
    const double nsm = S->tr.NSM, ls = S->tr.LS;
    S = std::make_unique<State>();
    SetUp();
    add_gas(1.0, 28.0, 3.8, 71.4, 7.0);
    const int no_data = add_gas(1.0, 40.0, 0.0, 0.0, 5.0);
    const int no_sigma = add_gas(1.0, 40.0, 0.0, 100.0, 5.0);  // would divide by zero
    tev::TEPL(*S);
    EXPECT_EQ(S->tr.NT(no_data), 0.0);
    EXPECT_EQ(S->tr.NT(no_sigma), 0.0);
    // The fraction of the gas changed (1/3), but alone it has no partner: same sums.
    EXPECT_DOUBLE_EQ(S->tr.NSM, nsm);
    EXPECT_DOUBLE_EQ(S->tr.LS, ls);
    EXPECT_GT(S->tr.NT(g), 0.0);
}

TEST_F(Tepl, NothingToSumReportsZeroPrandtlNumberInsteadOfDividingByZero)
{
    add_gas(1.0, 40.0, 0.0, 0.0, 5.0);  // a gas without collision data
    S->sp.N = 2;
    S->eq.PR(2) = 1.0;                  // and a condensed species
    tev::TEPL(*S);
    EXPECT_EQ(S->tr.LS, 0.0);
    EXPECT_EQ(S->tr.NSM, 0.0);
    EXPECT_EQ(S->tr.PL, 0.0);
    EXPECT_EQ(S->tr.LR, 0.0);
}

TEST_F(Tepl, NoGasPhaseAtAllLeavesEveryResultZeroAndFinite)
{
    add_gas(0.0, 28.0, 3.8, 71.4, 7.0);
    S->sp.N = 2;
    S->eq.PR(2) = 0.0;
    S->eq.CPZG = 0.0;
    S->eq.CPRG = 0.0;
    tev::TEPL(*S);
    EXPECT_EQ(S->eq.PR(1), 0.0);
    EXPECT_EQ(S->tr.LS, 0.0);
    EXPECT_EQ(S->tr.PL, 0.0);
    EXPECT_EQ(S->tr.LR, 0.0);
    EXPECT_TRUE(std::isfinite(S->tr.NT(1)));
}

}  // namespace

namespace {

using tev::State;

// ---- Against NASA CEA: the LOX/LH2 products of case V1 -----------------------------------

const std::string kShared = std::string(TEV_SOURCE_DIR) + "/../shared";

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> f;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) f.push_back(cur);
    return f;
}

struct CeaPoint {
    std::string of, point;
    double T, cp_fr, cp_eq, visc, cond_fr, pr_fr;
};

std::vector<CeaPoint> cea_points(const std::string& csv)
{
    std::ifstream pts(csv);
    std::vector<CeaPoint> points;
    std::string header;
    std::getline(pts, header);
    const auto cols = split(header, ',');
    const auto col = [&](const std::string& n) {
        return static_cast<std::size_t>(std::find(cols.begin(), cols.end(), n) - cols.begin());
    };
    for (std::string l; std::getline(pts, l);) {
        const auto f = split(l, ',');
        points.push_back({f[col("of_ratio")], f[col("point")], std::stod(f[col("t_K")]),
                          std::stod(f[col("cp_fr_kJkgK")]), std::stod(f[col("cp_eq_kJkgK")]),
                          std::stod(f[col("visc_mPa_s")]), std::stod(f[col("cond_fr_W_mK")]),
                          std::stod(f[col("prandtl_fr")])});
    }
    return points;
}

// CEA's equilibrium compositions of case V1 (LOX/LH2 at O/F 4 to 7, chamber to exit, 721 to
// 3577 K) put into the species of the shipped library, with that library's collision
// parameters, molar masses and heat capacities. The bounds sit just outside the deviations of
// the current library, so that a change of its data that moves the mixture values fails here:
// viscosity -7.5 % (721 K) to +1.2 %, within 1.3 % from 1500 K; frozen conductivity -5.2 %
// (721 K) to +16.4 % (with the viscosity that close, the excess lies in the conductivity
// formula rather than in the collision data); Prandtl number -14.5 % to -2.4 %.
TEST(TeplAgainstCea, LoxLh2ProductsWithTheShippedLibraryStayAsCloseToCea)
{
    const std::string lib = std::string(TEV_SOURCE_DIR) + "/lib";
    const std::string cea = kShared + "/reference/cea/V1_lox_lh2";
    if (!std::ifstream(cea + ".csv") || !std::ifstream(lib + "/r3.id"))
        GTEST_SKIP() << "CEA reference or species library not available";
    const auto points = cea_points(cea + ".csv");
    ASSERT_EQ(points.size(), 20u);
    std::ifstream spf(cea + "_species.csv");
    std::vector<std::vector<std::string>> species;
    for (std::string l; std::getline(spf, l);) species.push_back(split(l, ','));

    // The hydrogen-oxygen species of the library, as a run selects them.
    auto S = std::make_unique<State>();
    tev::load_library(*S, lib);
    std::ifstream r3(lib + "/r3.id"), r4(lib + "/r4.id");
    S->io.r3 = &r3;
    S->io.r4 = &r4;
    S->sp.NN = 10284;  // the extent of the two library files, as the program sets it
    S->sp.NNK = 3070;
    S->eq.MC(1) = 1.0;
    S->eq.MC(8) = 1.0;
    S->sp.M = 2;
    tev::OTBOR(*S);
    S->eq.R0 = tev::kR0;
    tev::INITIA(*S);  // molar masses
    // species index by NASA name, through the index written beside the library
    std::map<std::string, int> index;
    std::ifstream idx(lib + "/library_index.tsv");
    for (std::string l; std::getline(idx, l);) {
        const auto f = split(l, '\t');
        if (f.size() < 2 || f[0] == "libnum") continue;
        for (int I = 1; I <= S->sp.NG; ++I)
            if (tev::libfmt::library_number(S->sp.XF2(I)) == std::stol(f[0])) index[f[1]] = I;
    }

    for (const auto& p : points) {
        const std::string at = "O/F " + p.of + " " + p.point;
        S->pt.T = p.T;
        tev::FUNC(*S);
        for (int I = 1; I <= S->sp.N; ++I) S->eq.PR(I) = 0;
        for (const auto& f : species) {
            if (f.size() != 5 || f[1] != p.of || f[2] != p.point) continue;
            ASSERT_EQ(index.count(f[3]), 1u) << f[3] << " is not in the library's selection";
            S->eq.PR(index[f[3]]) = std::stod(f[4]);
        }
        S->eq.CPZG = p.cp_fr;
        S->eq.CPRG = p.cp_eq;
        tev::TEPL(*S);
        const double visc = S->tr.NSM * 1e3 / p.visc - 1;  // relative deviations
        const double cond = S->tr.LS / p.cond_fr - 1;
        const double pr = S->tr.PL / p.pr_fr - 1;
        EXPECT_GT(visc, -0.08) << at;
        EXPECT_LT(visc, 0.015) << at;
        if (p.T >= 1500) {
            EXPECT_LT(std::fabs(visc), 0.015) << at;
        }
        EXPECT_GT(cond, -0.06) << at;
        EXPECT_LT(cond, 0.165) << at;
        EXPECT_GT(pr, -0.15) << at;
        EXPECT_LT(pr, -0.02) << at;
    }
}

}  // namespace
