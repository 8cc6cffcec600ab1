// Electrical conductivity of the ionised products (SIGMA).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "thermo/thermo.h"

namespace {

using tev::State;

// Physical constants (CODATA 2018) for the textbook check.
constexpr double kCharge = 1.602176634e-19;      // [C]
constexpr double kElectronMass = 9.1093837015e-31;  // [kg]
constexpr double kBoltzmann = 1.380649e-23;      // [J/K]
constexpr double kBohrRadius = 5.29177210903e-11;  // [m]
constexpr double kAtm = 101325.0;                // [Pa]
constexpr double kPi = 3.141592653589793;

// The unit of the cross-section table: the Bohr radius squared, 2.80e-21 m^2.
constexpr double kTableUnit = kBohrRadius * kBohrRadius;

class Sigma : public ::testing::Test {
protected:
    std::unique_ptr<State> S = std::make_unique<State>();

    // A weakly ionised gas at T [K] and 1 atm: 1e18 electrons per m^3 (NE in 1e18 m^-3),
    // no Coulomb collisions (NI = 0), and one mole of charge-free gas per mole (SK x MS x 0.001
    // = 1) without a table column. A grid 0.2, 0.3, ... 3.7 in sqrt(eV) and empty columns.
    void SetUp() override
    {
        S->pt.T = 3000.0;
        S->pt.PP = 1.0;
        S->eq.NE = 1.0;
        S->eq.NP = 1.0;
        S->eq.NI = 0.0;
        S->eq.MS = 25.0;
        S->eq.SK = 40.0;
        S->sp.D = 1;
        for (int i = 1; i <= 36; ++i) S->lib.BQ(i) = 0.1 * (i + 1);
    }
    // Makes list position d the selected species k with amount p, its column filled by q(i).
    template <typename F>
    void list_species(int d, int k, double p, F q)
    {
        S->sp.NQ(d) = k;
        if (S->sp.D < d + 1) S->sp.D = d + 1;
        if (k > 0) S->eq.P(k) = p;
        for (int i = 1; i <= 36; ++i) S->lib.QJ(i, d) = q(i);
    }
    // sigma = e^2 n_e <v> / (3 p Q) for one constant cross-section Q [m^2] [S/m].
    double textbook(double q_m2) const
    {
        const double T = S->pt.T;
        const double mean_speed = std::sqrt(8 * kBoltzmann * T / (kPi * kElectronMass));
        return kCharge * kCharge * (S->eq.NE * 1e18) * mean_speed /
               (3 * S->pt.PP * kAtm * q_m2);
    }
};

TEST_F(Sigma, WithoutPositiveIonsIsZeroAndEvaluatesNothing)
{
    S->eq.NP = 0.0;
    S->tr.GG = 7.0;
    S->tr.EQ = -1.0;
    tev::SIGMA(*S);
    EXPECT_EQ(S->tr.GG, 0.0);
    EXPECT_EQ(S->tr.EQ, -1.0);
}

TEST_F(Sigma, ConstantCrossSectionMeetsTheMaxwellianClosedFormInBohrRadiiSquared)
{
    // Only the fixed cross-section of 80 table units acts; with Q in a0^2 the integral must
    // reproduce the textbook conductivity of a weakly ionised gas (within the trapezoidal
    // error of a 0.05 eV step).
    for (const double T : {2000.0, 3000.0, 4000.0}) {
        S->pt.T = T;
        tev::SIGMA(*S);
        EXPECT_NEAR(S->tr.GG / textbook(80 * kTableUnit), 1.0, 1e-2) << "T = " << T;
    }
}

TEST_F(Sigma, AtThreeThousandKelvinIntegratesInOneHundredAndFourSteps)
{
    tev::SIGMA(*S);
    // 20 kT = 5.17 eV: the last step is the first energy at or above it.
    EXPECT_NEAR(S->tr.EQ, 104 * 0.05, 1e-6);
}

TEST_F(Sigma, ListedSpeciesWithTheFixedValueInItsColumnChangesNothing)
{
    tev::SIGMA(*S);
    const double unlisted = S->tr.GG;
    // Half of the charge-free gas is now listed with 80 units at every node; only the float
    // weight 0.001 of a listed amount (against the exact 0.08/80) moves the last digits.
    list_species(1, 3, 20.0, [](int) { return 80.0; });
    tev::SIGMA(*S);
    EXPECT_NEAR(S->tr.GG, unlisted, 1e-7 * unlisted);
    EXPECT_DOUBLE_EQ(S->tr.SX, 20.0);
}

TEST_F(Sigma, CrossSectionLinearInRootEnergyIsFollowedBeyondTheGrid)
{
    // Q = c sqrt(eps) for the whole gas makes v/Q constant, so sigma = e^2 n_e sqrt(2e/m) /
    // (3 p c) at every temperature. The grid ends at 3.7 sqrt(eV) = 13.7 eV; at 10000 K the
    // integral runs to 17.2 eV on the extended last segment. The trapezoidal rule misses a
    // part of the sqrt(eps) rise in its first step (about 2 % at 3000 K).
    const double c = 100.0;  // [a0^2 / sqrt(eV)]
    list_species(1, 2, 40.0, [this, c](int i) { return c * S->lib.BQ(i); });
    S->eq.SK = 40.0;
    const double expected = kCharge * kCharge * (S->eq.NE * 1e18) *
                            std::sqrt(2 * kCharge / kElectronMass) /
                            (3 * S->pt.PP * kAtm * c * kTableUnit);
    for (const double T : {3000.0, 10000.0}) {
        S->pt.T = T;
        tev::SIGMA(*S);
        EXPECT_NEAR(S->tr.GG / expected, 1.0, 3e-2) << "T = " << T;
    }
}

TEST_F(Sigma, PositionNotSelectedOrWithoutAmountTakesNoPart)
{
    tev::SIGMA(*S);
    const double base = S->tr.GG;
    list_species(1, 0, 0.0, [](int) { return 1e6; });    // not in the selection
    list_species(2, 5, 0.0, [](int) { return 1e6; });    // selected, amount 0
    list_species(3, 6, -20.0, [](int) { return 1e6; });  // selected, ln of a tiny amount
    tev::SIGMA(*S);
    EXPECT_EQ(S->tr.GG, base);
    EXPECT_EQ(S->tr.SX, 0.0);
}

TEST_F(Sigma, PositionsBeyondTheTableColumnsCountWithTheFixedCrossSection)
{
    tev::SIGMA(*S);
    const double base = S->tr.GG;
    // Forty positions mapped; the last seven have no column and hold half the gas.
    for (int d = 1; d <= 33; ++d) S->sp.NQ(d) = 0;
    for (int d = 34; d <= 40; ++d) {
        S->sp.NQ(d) = d;
        S->eq.P(d) = 20.0 / 7;
    }
    S->sp.D = 41;
    tev::SIGMA(*S);
    EXPECT_EQ(S->tr.GG, base);
    EXPECT_EQ(S->tr.SX, 0.0);
}

TEST_F(Sigma, CoulombCollisionsLowerTheConductivity)
{
    tev::SIGMA(*S);
    const double neutral_only = S->tr.GG;
    // Strongly ionised: the ions dominate and the neutral cross-section hardly matters.
    S->eq.NI = 1e6;
    S->eq.NP = 1e6;
    S->eq.NE = 1e6;
    tev::SIGMA(*S);
    const double ionised = S->tr.GG;
    EXPECT_LT(ionised / 1e6, neutral_only);
    S->eq.SK = 80.0;  // twice the neutral collisions
    tev::SIGMA(*S);
    EXPECT_NEAR(S->tr.GG / ionised, 1.0, 0.05);
    // Spitzer's conductivity of a fully ionised gas at 3000 K is some 1e3 S/m.
    EXPECT_GT(ionised, 100.0);
    EXPECT_LT(ionised, 1e4);
}

}  // namespace
