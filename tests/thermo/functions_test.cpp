// Species functions: gas polynomials against hand values and their own derivatives, ion
// records built on parent and electron, condensed intervals, phase-boundary pinning, SHY.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "core/constants.h"
#include "thermo/thermo.h"

namespace {

using Coefs = std::array<double, 9>;
using Cubic = std::array<double, 5>;

constexpr Coefs kPoly = {1.2e-3, -4.1e-2, 0.55, -3.9, 14.0, 180.0, 7600.0, -58000.0, 46.0};

class SpeciesFunctions : public testing::Test {
protected:
    void SetUp() override
    {
        S = std::make_unique<tev::State>();
        S->eq.R0 = tev::kR0;
    }
    void set_gas(long I, const Coefs& a, int kind = 0)
    {
        for (long j = 1; j <= 9; ++j) S->sp.A(9 * (I - 1) + j) = a[static_cast<size_t>(j - 1)];
        S->sp.KIND(I) = kind;
        S->sp.NG = std::max<int>(S->sp.NG, static_cast<int>(I));
        S->sp.N = std::max<int>(S->sp.N, static_cast<int>(I));
    }
    void at(double T)
    {
        S->pt.T = T;
        tev::FUNC(*S);
    }
    // Central differences of ENT and S of species I at T.
    std::pair<double, double> slopes(long I, double T)
    {
        const double h = 0.01;
        at(T + h);
        const double h_up = S->sp.ENT(I), s_up = S->sp.S(I);
        at(T - h);
        const double h_down = S->sp.ENT(I), s_down = S->sp.S(I);
        at(T);
        return {(h_up - h_down) / (2 * h), (s_up - s_down) / (2 * h)};
    }
    static double poly_enthalpy(const Coefs& a, double T)
    {
        const double R = T * 0.001;
        double h = a[7];
        for (int p = 1; p <= 7; ++p) h += a[static_cast<size_t>(7 - p)] * std::pow(R, p);
        return h;
    }
    std::unique_ptr<tev::State> S;
};

TEST_F(SpeciesFunctions, PolynomialGasGivesTheHandComputedSeventhDegreeEnthalpy)
{
    // a6 = 1, a7 = 2, a8 = 3, a9 = 4 at R = 2: ENT = 3 + 2*2 + 1*4, CP = 0.001*(2 + 2*2).
    set_gas(1, {0, 0, 0, 0, 0, 1, 2, 3, 4});
    set_gas(2, kPoly);
    at(2000);
    EXPECT_DOUBLE_EQ(S->sp.ENT(1), 11.0);
    EXPECT_DOUBLE_EQ(S->sp.CP(1), 0.006);
    EXPECT_DOUBLE_EQ(S->sp.S(1), 4.0 + 0.001 * (2 * std::log(2.0) + 4.0));
    for (double T : {300.0, 1000.0, 2500.0, 6000.0}) {
        at(T);
        EXPECT_NEAR(S->sp.ENT(2), poly_enthalpy(kPoly, T), 1e-9 * 6e4) << T;
    }
}

TEST_F(SpeciesFunctions, HeatCapacityAndEntropyFollowFromTheEnthalpy)
{
    set_gas(1, kPoly);
    for (double T : {400.0, 1500.0, 3500.0, 5000.0}) {
        const auto [dh, ds] = slopes(1, T);
        const double cp = S->sp.CP(1);
        EXPECT_NEAR(cp, dh, 1e-6 * cp) << T;         // CP = dENT/dT
        EXPECT_NEAR(ds, cp / T, 1e-6 * cp / T) << T;  // dS/dT = CP/T
    }
}

// Species 1 the parent, species 2 the electron (M = 2), species 3 the ion.
class IonFunctions : public SpeciesFunctions {
protected:
    void SetUp() override
    {
        SpeciesFunctions::SetUp();
        set_gas(1, kPoly);
        set_gas(2, {0, 0, 0, 0, 0, 0, 4.968, 1480.0, 4.9});
        S->sp.M = 2;
    }
    // ln K of the detachment as species 3's enthalpy carries it (parent K).
    double detachment_log(double T, long K = 1) const
    {
        const auto& sp = S->sp;
        const double sign = sp.KIND(3) > 0 ? -1.0 : 1.0;
        const double diff = sp.ENT(3) - sp.ENT(K) - sign * (sp.ENT(2) - sp.S(2) * T);
        return diff / (sign * tev::kR0 * T);
    }
    static double lagrange(double T, double x0, double y0, double x1, double y1, double x2,
                           double y2)
    {
        return y0 * (T - x1) * (T - x2) / ((x0 - x1) * (x0 - x2)) +
               y1 * (T - x0) * (T - x2) / ((x1 - x0) * (x1 - x2)) +
               y2 * (T - x0) * (T - x1) / ((x2 - x0) * (x2 - x1));
    }
    // Q = 2, 3, 5, 4 at 2000..5000 K; ionisation energy 13.6 eV; parent species 1.
    static constexpr Coefs kPositive = {1e10, 2.0, 3.0, 5.0, 4.0, 13.6, 0, 0, 0};
};

TEST_F(IonFunctions, PositiveIonFactorIsFlatOutsideAndParabolicBetweenTheNodes)
{
    set_gas(3, kPositive, +1);
    const struct {
        double T, Q;
    } cases[] = {{1500, 2.0},
                 {2500, lagrange(2500, 2000, 2, 3000, 3, 4000, 5)},
                 {5500, lagrange(5500, 3000, 3, 4000, 5, 5000, 4)},
                 {5999, lagrange(5999, 3000, 3, 4000, 5, 5000, 4)},
                 {6000, 4.0}};
    for (const auto& c : cases) {
        at(c.T);
        const double e = c.T / 11600.0;
        const double q = std::exp(detachment_log(c.T) - std::log(c.T * 1.2260911827023856e-10) +
                                  13.6 / e - 1.5 * std::log(e) - 10 * std::log(10.0)) /
                         0.6708300113677979;
        EXPECT_NEAR(q, c.Q, 1e-8) << c.T;
        EXPECT_EQ(S->sp.S(3), S->sp.S(1));
        EXPECT_EQ(S->sp.CP(3), S->sp.CP(1));
    }
}

TEST_F(IonFunctions, NegativeIonAddsTheElectronAndItsDetachmentConstant)
{
    set_gas(3, {-2e10, 2.5, 1.7, 1.46, 0, 0, 0, 0, 0}, -1);  // parent species 2
    const double T = 3300, e = T * 8.620689655172413e-05;
    at(T);
    const double w = std::log(T * 1.2260911827023856e-10) + (2.5 * std::log(e) - 1.46 / e) + 1.7;
    EXPECT_NEAR(detachment_log(T, 2), w, 1e-9);
    EXPECT_EQ(S->sp.S(3), S->sp.S(2));
}

TEST_F(IonFunctions, IonWhoseParentDoesNotComeBeforeItTakesNoPart)
{
    set_gas(3, {3e10, 2.0, 3.0, 5.0, 4.0, 13.6, 0, 0, 0}, +1);
    at(2000);
    EXPECT_EQ(S->sp.ENT(3), tev::kNoSpecies);
}

// Species 2 condensed: a lower phase up to 2327 K, an upper phase up to 4000 K.
class CondensedFunctions : public SpeciesFunctions {
protected:
    static constexpr Cubic kLow = {0.8, -3.0, 20.0, -95000.0, 12.0};
    static constexpr Cubic kHigh = {0.1, 1.5, 31.0, -88000.0, 17.0};

    void SetUp() override
    {
        SpeciesFunctions::SetUp();
        set_gas(1, kPoly);
        add_condensed({{2327.0, kLow}, {4000.0, kHigh}});
    }
    void add_condensed(std::initializer_list<std::pair<double, Cubic>> intervals)
    {
        auto& sp = S->sp;
        long q = sp.RK + 1;
        sp.AK(q++) = static_cast<double>(intervals.size());
        for (const auto& [limit, b] : intervals) {
            sp.AK(q++) = limit;
            for (double x : b) sp.AK(q++) = x;
        }
        sp.RK = static_cast<int>(q - 1);
        ++sp.N;
    }
    static double cubic(const Cubic& b, double R)
    {
        return b[3] + R * (b[2] + R * (b[1] + R * b[0]));
    }
    void bracket(double T1, double T2)
    {
        S->pt.T1 = T1;
        S->pt.T2 = T2;
        S->sp.SPRING = true;
        S->sp.CK = 55;  // left from an earlier call
    }
};

TEST_F(CondensedFunctions, EachPhaseServesUpToItsLimitAndNothingAboveTheLast)
{
    const struct {
        double T;
        const Cubic* b;
    } cases[] = {{200, &kLow}, {2327, &kLow}, {2328, &kHigh}, {4000, &kHigh}};
    for (const auto& c : cases) {
        at(c.T);
        EXPECT_NEAR(S->sp.ENT(2), cubic(*c.b, c.T * 0.001), 1e-8) << c.T;
    }
    at(4001);
    EXPECT_EQ(S->sp.ENT(2), tev::kNoSpecies);
    EXPECT_EQ(S->sp.S(2), 0.0);
    EXPECT_EQ(S->sp.CP(2), 0.0);
    S->task.F8 = true;  // only the last phase
    at(1000);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kHigh, 1.0), 1e-8);
}

TEST_F(CondensedFunctions, HeatCapacityAndEntropyFollowTheEnthalpyCubicOfTheNextBlock)
{
    add_condensed({{6000.0, kLow}});
    const double T = 3100;
    const auto [dh, ds] = slopes(3, T);
    const double cp = S->sp.CP(3);
    EXPECT_NEAR(S->sp.ENT(3), cubic(kLow, 3.1), 1e-8);
    EXPECT_NEAR(cp, dh, 1e-6 * cp);
    EXPECT_NEAR(ds, cp / T, 1e-6 * cp / T);
}

TEST_F(CondensedFunctions, BoundaryInsideTheBracketIsPinnedWithItsTransitionEnthalpy)
{
    bracket(2300, 2350);
    at(2310);
    EXPECT_EQ(S->pt.T, 2327.0);
    EXPECT_EQ(S->sp.JA, 1);
    EXPECT_EQ(S->sp.IC, 2);
    EXPECT_FALSE(S->sp.SPRING);
    // Both phases and the gas at the R of the call (2.31): the pinning does not recompute it.
    EXPECT_NEAR(S->sp.CK, cubic(kLow, 2.31) - cubic(kHigh, 2.31), 1e-8);
    EXPECT_NEAR(S->sp.ENT(1), poly_enthalpy(kPoly, 2310), 1e-8);
    // The next call at the pinned temperature gives the jump exactly there.
    S->sp.SPRING = true;
    at(S->pt.T);
    EXPECT_NEAR(S->sp.CK, cubic(kLow, 2.327) - cubic(kHigh, 2.327), 1e-8);
}

TEST_F(CondensedFunctions, BracketIsHalfOpenAndNeedsTheNarrowFlag)
{
    bracket(2280, 2327);  // boundary at T2
    at(2300);
    EXPECT_EQ(S->pt.T, 2300.0);
    EXPECT_EQ(S->sp.JA, 0);
    EXPECT_EQ(S->sp.CK, 0.0);
    bracket(2327, 2400);  // boundary at T1
    at(2350);
    EXPECT_EQ(S->pt.T, 2327.0);
    bracket(2300, 2350);
    S->sp.SPRING = false;
    at(2310);
    EXPECT_EQ(S->pt.T, 2310.0);
    EXPECT_EQ(S->sp.CK, 0.0);
}

TEST_F(CondensedFunctions, OnlyOneBoundaryIsPinnedPerCall)
{
    add_condensed({{2310.0, kLow}, {4000.0, kHigh}});  // also in the bracket
    bracket(2300, 2350);
    at(2340);
    EXPECT_EQ(S->pt.T, 2327.0);
    EXPECT_EQ(S->sp.IC, 2);
    EXPECT_NEAR(S->sp.ENT(3), cubic(kHigh, 2.34), 1e-8);  // above its boundary, not pinned
}

TEST_F(CondensedFunctions, BlockRunningPastTheDataLeavesTheSpeciesOut)
{
    S->sp.RK = 10;
    at(1000);
    EXPECT_EQ(S->sp.ENT(2), tev::kNoSpecies);
}

TEST_F(SpeciesFunctions, SpeciesListRemovesTheListedOrTheUnlistedKeepingHeatCapacity)
{
    for (long I = 1; I <= 8; ++I) set_gas(I, kPoly);
    S->task.SHY(1) = 3;
    S->task.SHY(2) = 7;
    for (int mode = 0; mode < 3; ++mode) {
        S->task.FSH = mode > 0;
        S->task.FU = mode == 1;
        at(1000);
        for (long I = 1; I <= 8; ++I) {
            const bool listed = I == 3 || I == 7;
            const bool removed = mode > 0 && listed == S->task.FU;
            EXPECT_EQ(S->sp.ENT(I) == tev::kNoSpecies && S->sp.S(I) == 0, removed) << mode << I;
            EXPECT_GT(S->sp.CP(I), 0.0);
        }
    }
}

}  // namespace
