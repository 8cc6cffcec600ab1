// The library generator's fits on small hand-made inputs: the number format, the solver, the
// gas polynomials with their heat-capacity pins, the ion records and the condensed intervals.
#include "tools/mklib/fits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "tests/tools/mini_data.h"

namespace {

using namespace mklib;
using mklib::test_data::mini_data;
using mklib::test_data::named;

// ---------------------------------------------------------------------------------------------

TEST(NumberFields, AreSixteenColumnsWithExponentAndReadBackAsStored)
{
    EXPECT_EQ(field16(379800710.0), " 3.798007100E+08");
    EXPECT_EQ(field16(-1.0e13), "-1.000000000E+13");
    EXPECT_EQ(field16(-0.0), " 0.000000000E+00");
    EXPECT_EQ(stored(1.0 / 3.0), 0.3333333333);
    EXPECT_EQ(write_stream({1, 2}), " 1.000000000E+00 2.000000000E+00\n");
    std::vector<double> v(23, 1.0);
    const std::string s = write_stream(v);
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 3);
    EXPECT_EQ(s.find('\n'), 160u);
}

// ---------------------------------------------------------------------------------------------

TEST(LeastSquares, SolvesABadlyScaledPolynomialFitExactly)
{
    // y = 3 - 2 x + 1e-6 x^4 on x = 1..20: columns differ by ten orders of magnitude
    std::vector<long double> A, b;
    int rows = 0;
    for (int x = 1; x <= 20; ++x) {
        const long double X = x;
        A.insert(A.end(), {1.0L, X, X * X * X * X});
        b.push_back(3 - 2 * X + 1e-6L * X * X * X * X);
        ++rows;
    }
    const auto c = least_squares(A, b, rows, 3);
    EXPECT_NEAR(c[0], 3, 1e-12);
    EXPECT_NEAR(c[1], -2, 1e-12);
    EXPECT_NEAR(c[2], 1e-6, 1e-18);
}

// ---------------------------------------------------------------------------------------------

class GasFits : public ::testing::Test {
protected:
    std::vector<NasaSpecies> all = mini_data().products;
};
using IonRecords = GasFits;
using CondensedFits = GasFits;

TEST_F(GasFits, RecoverARecordThatIsItselfAPolynomial)
{
    const std::array<double, 9> a = {0, 0.05, -1.2, 10, -45, 100, 7000, -58000, 48};
    const auto f = [&](double T) { return gas_poly(a, T); };
    GasFitSettings st;
    const auto fit = fit_gas_once(f, st, {});
    for (double T : {300.0, 1000.0, 3000.0, 6000.0}) {
        EXPECT_NEAR(gas_poly(fit, T).h, f(T).h, 1e-3);
        EXPECT_NEAR(gas_poly(fit, T).s, f(T).s, 1e-6);
    }
}

TEST_F(GasFits, FollowAGasWithAVibrationalRiseOfItsHeatCapacity)
{
    const NasaSpecies& g = named(all, "XO2");
    const auto nasa = [&](double T) { return nasa_gas_props(g, T); };
    const GasFit fit = fit_gas(nasa);
    const Deviation d = deviation([&](double T) { return gas_poly(fit.a, T); }, nasa, 300, 5000);
    EXPECT_LT(d.dg, 0.002);
    EXPECT_LT(d.dh, 0.5);
    EXPECT_GT(min_cp(fit.a, 200, 20000), 0.5 * kRcal);
}

TEST(RealData, WaterMeetsTheTargetsAndStaysPositiveToTwentyThousandKelvin)
{
    std::ifstream in(std::string(TEV_SOURCE_DIR) + "/../shared/data/nasa/thermo.inp");
    if (!in) GTEST_SKIP() << "NASA data not available";
    const auto all = read_thermo(in).products;
    const NasaSpecies& w = named(all, "H2O");
    const auto nasa = [&](double T) { return nasa_gas_props(w, T); };
    const GasFit g = fit_gas(nasa);
    const Deviation d = deviation([&](double T) { return gas_poly(g.a, T); }, nasa, 300, 5000);
    EXPECT_LT(d.dg, 0.001);
    EXPECT_LT(d.dh, 0.1);
    EXPECT_GT(min_cp(g.a, 200, 20000), 0.5 * kRcal);
}

TEST_F(GasFits, PinTheHeatCapacityWhereThePolynomialWouldTurnNegative)
{
    // a heat capacity falling steeply past the data forces the fit to bend down above 6000 K
    const auto falling = [](double T) {
        Props p;
        const double R = T * 0.001;
        p.cp = 10 + 3 * R - 0.05 * R * R * R;
        p.h = 1000 * (10 * R + 1.5 * R * R - 0.0125 * R * R * R * R);
        p.s = 10 * std::log(R) + 3 * R - 0.05 / 3 * R * R * R + 50;
        return p;
    };
    const GasFit g = fit_gas(falling);
    EXPECT_GT(g.pins, 0);
    EXPECT_GT(g.min_cp, 0.5 * kRcal);
}

// ---------------------------------------------------------------------------------------------

TEST_F(IonRecords, PositiveIonRecordsGiveTheIonGibbsEnergyAtTheirFourNodes)
{
    const NasaSpecies& e = named(all, "e-");
    const NasaSpecies& ion = named(all, "XO+");
    // a made-up parent whose Gibbs energy lies 9 eV below the ion's at every temperature
    const std::array<double, 9> parent = {0, 0, 0, 0, 0, 0, 7000, 21000, 50};
    const GasFit ef = fit_gas([&](double T) { return nasa_gas_props(e, T); });
    const auto ionf = [&](double T) { return nasa_gas_props(ion, T); };
    const auto a = positive_ion_record(
        17, ionf, [&](double T) { return gas_poly(parent, T); },
        [&](double T) { return gas_poly(ef.a, T); });
    EXPECT_EQ(a[0], 1.7e11);
    for (double T : {2000.0, 3000.0, 4000.0, 5000.0}) {
        const Props p = ion_props(a, 1, gas_poly(parent, T), gas_poly(ef.a, T), T);
        const Props q = ionf(T);
        EXPECT_NEAR((p.h - T * p.s) / (kRcal * T), (q.h - T * q.s) / (kRcal * T), 1e-6) << T;
    }
    EXPECT_GT(a[1], 0);
}

TEST_F(IonRecords, NegativeIonRecordsRecoverAnExactDetachmentConstant)
{
    // ion Gibbs energy built from a known detachment constant: the fit must return it
    const std::array<double, 9> want = {-3e10, 1.2, 4.5, 1.46, 0, 0, 0, 0, 0};
    const std::array<double, 9> parent = {0, 0, 0, 0, 0, 0, 7000, -3000, 50};
    const std::array<double, 9> electron = {0, 0, 0, 0, 0, 0, 4968, -1481, 4.8};
    const auto ion = [&](double T) {
        return ion_props(want, -1, gas_poly(parent, T), gas_poly(electron, T), T);
    };
    const auto a = negative_ion_record(3, ion, [&](double T) { return gas_poly(parent, T); },
                                       [&](double T) { return gas_poly(electron, T); });
    EXPECT_EQ(a[0], -3e10);
    EXPECT_NEAR(a[1], 1.2, 1e-7);
    EXPECT_NEAR(a[2], 4.5, 1e-7);
    EXPECT_NEAR(a[3], 1.46, 1e-7);
}

// ---------------------------------------------------------------------------------------------

TEST_F(CondensedFits, PiecesOfOnePhaseJoinWithoutAJump)
{
    const NasaSpecies& a = named(all, "Z2O3(a)");
    const auto f = [&](double T) { return nasa_props(a, T); };
    const auto lower = fit_condensed(f, 300, 1200);
    const auto upper = fit_condensed(f, 1200, 2327, &lower);
    const Props x = cond_poly(lower, 1200), y = cond_poly(upper, 1200);
    EXPECT_NEAR(x.h, y.h, 1e-3);
    EXPECT_NEAR(x.s, y.s, 1e-7);
    const Deviation d =
        deviation([&](double T) { return cond_poly(upper, T); }, f, 1200, 2327);
    EXPECT_LT(d.dg, 0.002);
}

TEST_F(CondensedFits, ALiquidOfConstantHeatCapacityIsFittedExactly)
{
    // a liquid of constant heat capacity is held exactly by the cubic enthalpy
    const NasaSpecies& l = named(all, "Z2O3(L)");
    const auto f = [&](double T) { return nasa_props(l, T); };
    const auto b = fit_condensed(f, 2327, 6000);
    const Deviation d = deviation([&](double T) { return cond_poly(b, T); }, f, 2327, 6000);
    EXPECT_LT(d.dh, 1e-4);
    EXPECT_LT(d.dg, 1e-7);
}

}  // namespace
