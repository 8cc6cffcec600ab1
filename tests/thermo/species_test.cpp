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

// A realistic-looking enthalpy polynomial (cal/mol, R in thousands of kelvin).
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
    // Enthalpy of the polynomial written out term by term, for comparison.
    static double enthalpy(const Coefs& a, double T)
    {
        const double R = T * 0.001;
        double h = a[7];
        for (int p = 1; p <= 7; ++p) h += a[static_cast<size_t>(7 - p)] * std::pow(R, p);
        return h;
    }
    std::unique_ptr<tev::State> S;
};

TEST_F(SpeciesFunctions, PolynomialGasGivesHandComputedValues)
{
    // a6 = 1, a7 = 2, a8 = 3, a9 = 4 at 2000 K (R = 2): ENT = 3 + 2*2 + 1*4 = 11,
    // CP = 0.001*(2 + 2*1*2), S = 4 + 0.001*(2 ln 2 + 2*1*2).
    set_gas(1, {0, 0, 0, 0, 0, 1, 2, 3, 4});
    at(2000);
    EXPECT_DOUBLE_EQ(S->sp.ENT(1), 11.0);
    EXPECT_DOUBLE_EQ(S->sp.CP(1), 0.006);
    EXPECT_DOUBLE_EQ(S->sp.S(1), 4.0 + 0.001 * (2 * std::log(2.0) + 4.0));
}

TEST_F(SpeciesFunctions, PolynomialGasEnthalpyIsTheSeventhDegreePolynomialAtSeveralTemperatures)
{
    set_gas(1, kPoly);
    for (double T : {300.0, 1000.0, 2500.0, 4000.0, 6000.0}) {
        at(T);
        EXPECT_NEAR(S->sp.ENT(1), enthalpy(kPoly, T), 1e-9 * std::fabs(enthalpy(kPoly, T)))
            << "T = " << T;
    }
}

TEST_F(SpeciesFunctions, HeatCapacityIsTheTemperatureDerivativeOfEnthalpy)
{
    set_gas(1, kPoly);
    for (double T : {400.0, 1500.0, 3500.0, 5000.0}) {
        const double h = 0.01;
        at(T + h);
        const double up = S->sp.ENT(1);
        at(T - h);
        const double down = S->sp.ENT(1);
        at(T);
        EXPECT_NEAR(S->sp.CP(1), (up - down) / (2 * h), 1e-6 * S->sp.CP(1)) << "T = " << T;
    }
}

TEST_F(SpeciesFunctions, EntropyGrowsAsHeatCapacityOverTemperature)
{
    set_gas(1, kPoly);
    for (double T : {400.0, 1500.0, 3500.0, 5000.0}) {
        const double h = 0.01;
        at(T + h);
        const double up = S->sp.S(1);
        at(T - h);
        const double down = S->sp.S(1);
        at(T);
        EXPECT_NEAR((up - down) / (2 * h), S->sp.CP(1) / T, 1e-6 * S->sp.CP(1) / T)
            << "T = " << T;
    }
}

TEST_F(SpeciesFunctions, ReducedTemperaturesAreSetForTheCall)
{
    at(2500);
    EXPECT_EQ(S->sp.R, 2500 * 0.001);
    EXPECT_EQ(S->sp.C, 0.001 * std::log(2500 * 0.001));
}

// Species 1 a parent (the ion's parent is species 1), species 2 the electron (M = 2).
class IonFunctions : public SpeciesFunctions {
protected:
    void SetUp() override
    {
        SpeciesFunctions::SetUp();
        set_gas(1, kPoly);
        set_gas(2, {0, 0, 0, 0, 0, 0, 4.968, 1480.0, 4.9});
        S->sp.M = 2;
    }
    // ln K of the detachment as the ion's enthalpy carries it.
    double detachment_log(double T) const
    {
        const auto& sp = S->sp;
        const double g_e = sp.ENT(2) - sp.S(2) * T;
        const double sign = sp.KIND(3) > 0 ? -1.0 : 1.0;
        const double diff = sp.ENT(3) - sp.ENT(1) - sign * g_e;
        return diff / (sign * tev::kR0 * T);
    }
    // The factor Q that a positive ion's ln K implies.
    double implied_q(double T, const Coefs& a) const
    {
        const double e = T / 11600.0;
        const double rest = detachment_log(T) - std::log(T * 1.2260911827023856e-10) +
                            a[5] / e - 1.5 * std::log(e) - 10 * std::log(10.0);
        return std::exp(rest) / 0.6708300113677979;
    }
    // Parabola through three points, in Lagrange form.
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

TEST_F(IonFunctions, PositiveIonOfSpeciesOneTakesItsParentsEntropyAndHeatCapacity)
{
    set_gas(3, kPositive, +1);
    at(3000);
    EXPECT_EQ(S->sp.S(3), S->sp.S(1));
    EXPECT_EQ(S->sp.CP(3), S->sp.CP(1));
    // Forming a positive ion costs energy: its enthalpy lies far above its parent's.
    EXPECT_GT(S->sp.ENT(3) - S->sp.ENT(1), 1e5);
}

TEST_F(IonFunctions, PositiveIonFactorIsFlatBelow2000K)
{
    set_gas(3, kPositive, +1);
    at(1500);
    EXPECT_NEAR(implied_q(1500, kPositive), 2.0, 1e-9);
}

TEST_F(IonFunctions, PositiveIonFactorFollowsTheLowerParabolaAt2500K)
{
    set_gas(3, kPositive, +1);
    at(2500);
    EXPECT_NEAR(implied_q(2500, kPositive), lagrange(2500, 2000, 2, 3000, 3, 4000, 5), 1e-9);
}

TEST_F(IonFunctions, PositiveIonFactorExtrapolatesTheUpperParabolaAt5500K)
{
    set_gas(3, kPositive, +1);
    at(5500);
    EXPECT_NEAR(implied_q(5500, kPositive), lagrange(5500, 3000, 3, 4000, 5, 5000, 4), 1e-9);
}

TEST_F(IonFunctions, PositiveIonFactorJumpsToTheLastNodeAt6000K)
{
    set_gas(3, kPositive, +1);
    at(5999);
    EXPECT_NEAR(implied_q(5999, kPositive), lagrange(5999, 3000, 3, 4000, 5, 5000, 4), 1e-8);
    at(6000);
    EXPECT_NEAR(implied_q(6000, kPositive), 4.0, 1e-9);
}

TEST_F(IonFunctions, NegativeIonAddsTheElectronAndItsDetachmentConstant)
{
    const Coefs a = {-1e10, 2.5, 1.7, 1.46, 0, 0, 0, 0, 0};
    set_gas(3, a, -1);
    const double T = 3300;
    at(T);
    const double e = T * 8.620689655172413e-05;
    const double w = std::log(T * 1.2260911827023856e-10) + (2.5 * std::log(e) - 1.46 / e) + 1.7;
    EXPECT_NEAR(detachment_log(T), w, 1e-9);
    EXPECT_EQ(S->sp.S(3), S->sp.S(1));
}

TEST_F(IonFunctions, ParentIndexComesFromTheFirstCoefficient)
{
    // The same ion record pointing at species 2 instead of 1 follows the other parent.
    Coefs a = kPositive;
    set_gas(3, a, +1);
    at(2000);
    const double via_one = S->sp.ENT(3) - S->sp.ENT(1);
    a[0] = 2e10;
    set_gas(3, a, +1);
    at(2000);
    EXPECT_DOUBLE_EQ(S->sp.ENT(3) - S->sp.ENT(2), via_one);
    EXPECT_EQ(S->sp.S(3), S->sp.S(2));
}

TEST_F(IonFunctions, IonWhoseParentDoesNotComeBeforeItTakesNoPart)
{
    Coefs a = kPositive;
    a[0] = 3e10;  // itself
    set_gas(3, a, +1);
    at(2000);
    EXPECT_EQ(S->sp.ENT(3), tev::kNoSpecies);
    EXPECT_EQ(S->sp.S(3), 0.0);
}

// Condensed species after one gas: a substance with a lower phase to 2327 K and an upper
// phase to 4000 K.
class CondensedFunctions : public SpeciesFunctions {
protected:
    static constexpr std::array<double, 5> kLow = {0.8, -3.0, 20.0, -95000.0, 12.0};
    static constexpr std::array<double, 5> kHigh = {0.1, 1.5, 31.0, -88000.0, 17.0};

    void SetUp() override
    {
        SpeciesFunctions::SetUp();
        set_gas(1, kPoly);
        add_condensed({{2327.0, kLow}, {4000.0, kHigh}});
        S->sp.NG = 1;
    }
    struct Interval {
        double limit;
        std::array<double, 5> b;
    };
    void add_condensed(std::initializer_list<Interval> intervals)
    {
        auto& sp = S->sp;
        long q = sp.RK + 1;
        sp.AK(q++) = static_cast<double>(intervals.size());
        for (const auto& in : intervals) {
            sp.AK(q++) = in.limit;
            for (double b : in.b) sp.AK(q++) = b;
        }
        sp.RK = static_cast<int>(q - 1);
        ++sp.N;
    }
    static double cubic(const std::array<double, 5>& b, double R)
    {
        return b[3] + b[2] * R + b[1] * R * R + b[0] * R * R * R;
    }
    void bracket(double T1, double T2)
    {
        S->pt.T1 = T1;
        S->pt.T2 = T2;
        S->sp.SPRING = true;
    }
};

TEST_F(CondensedFunctions, IntervalLimitBelongsToTheLowerPhase)
{
    at(2327);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kLow, 2.327), 1e-8);
    at(2328);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kHigh, 2.328), 1e-8);
}

TEST_F(CondensedFunctions, BelowTheFirstIntervalTheFirstPhaseIsUsed)
{
    at(200);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kLow, 0.2), 1e-8);
}

TEST_F(CondensedFunctions, HeatCapacityAndEntropyFollowTheEnthalpyCubic)
{
    const double T = 3100, h = 0.01;
    at(T + h);
    const double h_up = S->sp.ENT(2), s_up = S->sp.S(2);
    at(T - h);
    const double h_down = S->sp.ENT(2), s_down = S->sp.S(2);
    at(T);
    EXPECT_NEAR(S->sp.CP(2), (h_up - h_down) / (2 * h), 1e-6 * S->sp.CP(2));
    EXPECT_NEAR((s_up - s_down) / (2 * h), S->sp.CP(2) / T, 1e-6 * S->sp.CP(2) / T);
}

TEST_F(CondensedFunctions, OneKelvinAboveTheLastLimitTheSpeciesCannotForm)
{
    at(4000);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kHigh, 4.0), 1e-8);
    at(4001);
    EXPECT_EQ(S->sp.ENT(2), tev::kNoSpecies);
    EXPECT_EQ(S->sp.S(2), 0.0);
    EXPECT_EQ(S->sp.CP(2), 0.0);
}

TEST_F(CondensedFunctions, LastIntervalOnlyServesEveryTemperatureUpToItsLimit)
{
    S->task.F8 = true;
    at(1000);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kHigh, 1.0), 1e-8);
}

TEST_F(CondensedFunctions, SecondSpeciesReadsItsOwnBlock)
{
    const std::array<double, 5> b = {0, 0, 10.0, -1000.0, 5.0};
    add_condensed({{6000.0, b}});
    at(3000);
    EXPECT_NEAR(S->sp.ENT(3), cubic(b, 3.0), 1e-9);
}

TEST_F(CondensedFunctions, BoundaryInsideTheBracketIsPinnedWithItsTransitionEnthalpy)
{
    bracket(2300, 2350);
    at(2310);
    EXPECT_EQ(S->pt.T, 2327.0);
    EXPECT_EQ(S->sp.JA, 1);
    EXPECT_EQ(S->sp.IC, 2);
    // Both phases at the R of the call (2.31), which the pinning does not recompute.
    EXPECT_NEAR(S->sp.CK, cubic(kLow, 2.31) - cubic(kHigh, 2.31), 1e-8);
    EXPECT_NEAR(S->sp.ENT(2), cubic(kLow, 2.31), 1e-8);
    EXPECT_NEAR(S->sp.ENT(1), SpeciesFunctions::enthalpy(kPoly, 2310), 1e-8);
    EXPECT_FALSE(S->sp.SPRING);
}

TEST_F(CondensedFunctions, NextCallAtThePinnedTemperatureGivesTheJumpExactlyThere)
{
    bracket(2300, 2350);
    at(2310);
    S->sp.SPRING = true;
    at(S->pt.T);
    EXPECT_EQ(S->pt.T, 2327.0);
    EXPECT_NEAR(S->sp.CK, cubic(kLow, 2.327) - cubic(kHigh, 2.327), 1e-8);
}

TEST_F(CondensedFunctions, BoundaryAtTheUpperEndOfTheBracketIsNotPinned)
{
    bracket(2280, 2327);
    S->sp.CK = 55;
    at(2300);
    EXPECT_EQ(S->pt.T, 2300.0);
    EXPECT_EQ(S->sp.JA, 0);
    EXPECT_EQ(S->sp.CK, 0.0);
}

TEST_F(CondensedFunctions, BoundaryAtTheLowerEndOfTheBracketIsPinned)
{
    bracket(2327, 2400);
    at(2350);
    EXPECT_EQ(S->pt.T, 2327.0);
    EXPECT_EQ(S->sp.JA, 1);
}

TEST_F(CondensedFunctions, WithoutNarrowBracketNothingIsPinned)
{
    S->pt.T1 = 2300;
    S->pt.T2 = 2350;
    S->sp.CK = 55;
    at(2310);
    EXPECT_EQ(S->pt.T, 2310.0);
    EXPECT_EQ(S->sp.CK, 0.0);
    EXPECT_EQ(S->sp.JA, 0);
}

TEST_F(CondensedFunctions, OnlyOneBoundaryIsPinnedPerCall)
{
    // A second substance whose boundary at 2310 K lies in the bracket as well.
    add_condensed({{2310.0, kLow}, {4000.0, kHigh}});
    bracket(2300, 2350);
    at(2340);
    EXPECT_EQ(S->pt.T, 2327.0);  // species 2 is met first
    EXPECT_EQ(S->sp.JA, 1);
    EXPECT_EQ(S->sp.IC, 2);
    // After the restart species 3 sits above its 2310 K boundary: upper phase, no pinning.
    EXPECT_NEAR(S->sp.ENT(3), cubic(kHigh, 2.34), 1e-8);
}

TEST_F(CondensedFunctions, BlockRunningPastTheDataLeavesTheSpeciesOut)
{
    S->sp.RK = 10;  // the 13 values of the block are not all there
    at(1000);
    EXPECT_EQ(S->sp.ENT(2), tev::kNoSpecies);
}

class SpeciesList : public SpeciesFunctions {
protected:
    void SetUp() override
    {
        SpeciesFunctions::SetUp();
        for (long I = 1; I <= 8; ++I) set_gas(I, kPoly);
        S->task.FSH = true;
        S->task.SHY(1) = 3;
        S->task.SHY(2) = 7;
    }
    bool removed(long I) const
    {
        return S->sp.ENT(I) == tev::kNoSpecies && S->sp.S(I) == 0 && S->sp.CP(I) > 0;
    }
};

TEST_F(SpeciesList, ListedSpeciesAreRemovedKeepingTheirHeatCapacity)
{
    S->task.FU = true;
    at(1000);
    for (long I = 1; I <= 8; ++I) EXPECT_EQ(removed(I), I == 3 || I == 7) << "species " << I;
}

TEST_F(SpeciesList, UnlistedSpeciesAreRemovedWhenTheListKeeps)
{
    at(1000);
    for (long I = 1; I <= 8; ++I) EXPECT_EQ(removed(I), I != 3 && I != 7) << "species " << I;
}

TEST_F(SpeciesList, WithoutTheListNothingIsRemoved)
{
    S->task.FSH = false;
    at(1000);
    for (long I = 1; I <= 8; ++I) EXPECT_FALSE(removed(I)) << "species " << I;
}

}  // namespace
