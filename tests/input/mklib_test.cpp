// The library generator's steps on small hand-made inputs: NASA record reading, formula
// encoding, the number format, the fits of gases, ions and condensed phases, and the packing
// and estimation of collision parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/mklib_build.h"

namespace {

using namespace mklib;

const std::string kData = std::string(TEV_SOURCE_DIR) + "/tests/data/mklib/";

std::vector<Species> mini()
{
    std::ifstream in(kData + "mini_thermo.inp");
    return read_thermo(in);
}

const Species& named(const std::vector<Species>& all, const std::string& name)
{
    for (const auto& s : all)
        if (s.name == name) return s;
    throw std::runtime_error("no " + name);
}

// ---------------------------------------------------------------------------------------------

class NasaRecords : public testing::Test {
protected:
    std::vector<Species> all = mini();
};

TEST_F(NasaRecords, AreReadUpToTheEndOfTheProductsWithTheirIntervals)
{
    // e-, XO2, XO+, Z2O3(a), Z2O3(L), Q2H6(L) with no interval; reactants are not read
    ASSERT_EQ(all.size(), 6u);
    const Species& g = named(all, "XO2");
    EXPECT_EQ(g.phase, 0);
    ASSERT_EQ(g.iv.size(), 2u);
    EXPECT_EQ(g.iv[0].tlo, 200.0);
    EXPECT_EQ(g.iv[1].thi, 6000.0);
    EXPECT_DOUBLE_EQ(g.iv[0].a[0], -1.0e5);
    EXPECT_DOUBLE_EQ(g.iv[0].a[5], 3.0e-11);
    EXPECT_DOUBLE_EQ(g.iv[0].b1, -3.2e4);
    EXPECT_DOUBLE_EQ(g.iv[1].b2, 3.0);
    EXPECT_DOUBLE_EQ(g.mw, 44.0095);
    EXPECT_DOUBLE_EQ(g.hf, -228082.211);
    ASSERT_EQ(g.atoms.size(), 2u);
    EXPECT_EQ(g.atoms[1].first, "O");
    EXPECT_EQ(g.atoms[1].second, 2.0);
    EXPECT_EQ(named(all, "Z2O3(L)").phase, 3);
    EXPECT_TRUE(named(all, "Q2H6(L)").iv.empty());
}

TEST_F(NasaRecords, GiveTheHeatOfFormationAt298WithTheNasaGasConstant)
{
    // the records' heats of formation were written with R = 8.314510 J/(mol K)
    const Species& g = named(all, "XO2");
    EXPECT_NEAR(nasa_props(g, 298.15).h * kCalJ, g.hf, 0.002);
    const Species& a = named(all, "Z2O3(a)");
    EXPECT_NEAR(nasa_props(a, 298.15).h * kCalJ, a.hf, 0.002);
}

TEST_F(NasaRecords, HoldTheHeatCapacityConstantAboveTheirData)
{
    const Species& a = named(all, "Z2O3(L)");
    const Props top = nasa_props(a, 6000), above = nasa_props(a, 8000);
    EXPECT_DOUBLE_EQ(above.cp, top.cp);
    EXPECT_NEAR(above.h, top.h + top.cp * 2000, 1e-6);
    EXPECT_NEAR(above.s, top.s + top.cp * std::log(8000.0 / 6000.0), 1e-9);
}

TEST_F(NasaRecords, GasEntropyMovesFromOneBarToOneAtmosphere)
{
    const Species& w = named(all, "XO2");
    EXPECT_NEAR(nasa_props(w, 1000).s - nasa_gas_props(w, 1000).s,
                8.314510 * std::log(1.01325) / 4.184, 1e-12);
}

TEST(NasaReading, RejectsAnUnreadableCoefficient)
{
    std::istringstream in("thermo\n 200 1000 6000 20000\nX  bad\n 1 g 1/01 H   1.00    0.00    0.00"
                          "    0.00    0.00 0    1.0000000          0.000\n"
                          "    200.000   1000.0007 -2.0 -1.0  0.0  1.0  2.0  3.0  4.0  0.0 0\n"
                          " 0.0000000D+00 garbage here....\n 0 0\nEND PRODUCTS\n");
    EXPECT_THROW(read_thermo(in), std::runtime_error);
}

// ---------------------------------------------------------------------------------------------

TEST(FormulaEncoding, PacksElementsInIncreasingOrderWithCountsAsDigits)
{
    const Formula f = encode_formula({{"O", 1}, {"C", 1}, {"H", 1}});
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.code(), 80601);
    EXPECT_EQ(f.digits(), 111);
    const Formula a = encode_formula({{"AL", 2}, {"O", 3}});
    EXPECT_EQ(a.code(), 1308);  // oxygen (8) before aluminium (13)
    EXPECT_EQ(a.digits(), 23);
    EXPECT_DOUBLE_EQ(identification(a, 880), 23.088);
}

TEST(FormulaEncoding, GivesPositiveIonsDigitTwoAndNegativeIonsDigitOne)
{
    const Formula p = encode_formula({{"N", 1}, {"O", 1}, {"E", -1}});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.code(), 980807);
    EXPECT_EQ(p.digits(), 211);
    EXPECT_EQ(p.charge(), 1);
    const Formula n = encode_formula({{"O", 1}, {"H", 1}, {"E", 1}});
    EXPECT_EQ(n.code(), 980801);
    EXPECT_EQ(n.digits(), 111);
    EXPECT_EQ(n.charge(), -1);
    const Formula e = encode_formula({{"E", 1}});
    EXPECT_EQ(e.code(), 98);
    EXPECT_EQ(e.digits(), 1);
}

TEST(FormulaEncoding, LeavesOutWhatTheCodesCannotHold)
{
    EXPECT_FALSE(encode_formula({{"D", 2}, {"O", 1}}).ok);                    // deuterium
    EXPECT_FALSE(encode_formula({{"C", 10}, {"H", 8}}).ok);                   // count above 9
    EXPECT_FALSE(encode_formula({{"C", 1.5}, {"H", 2}}).ok);                  // fractional
    EXPECT_FALSE(encode_formula({{"C", 1}, {"H", 1}, {"N", 1}, {"O", 1}, {"CL", 1}}).ok);
    EXPECT_FALSE(encode_formula({{"O", 1}, {"E", -2}}).ok);                   // doubly charged
    EXPECT_TRUE(encode_formula({{"C", 1}, {"H", 1}, {"O", 1}, {"E", -1}}).ok);
    EXPECT_FALSE(encode_formula({{"C", 1}, {"H", 1}, {"N", 1}, {"O", 1}, {"E", -1}}).ok);
}

TEST(ElementNumbers, ReadNasaSymbolsWithoutRegardToCase)
{
    EXPECT_EQ(element_number("AL"), 13);
    EXPECT_EQ(element_number("Al"), 13);
    EXPECT_EQ(element_number("CL"), 17);
    EXPECT_EQ(element_number("E"), 98);
    EXPECT_EQ(element_number("BK"), 97);
    EXPECT_EQ(element_number("D"), 0);
    EXPECT_EQ(element_number("CF"), 0);  // beyond element 97
}

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

TEST(CollisionValues, PackDiameterAndWellDepthAsTheSelectionDecodesThem)
{
    EXPECT_EQ(pack_collision(3.798, 71.0), 379800710.0);
    EXPECT_EQ(pack_collision(2.641, 809.1), 264108091.0);
    EXPECT_EQ(pack_collision(0, 100), 0.0);
    const double v = pack_collision(4.62, 3296);
    const double n = std::trunc(v * 1e-05);
    EXPECT_DOUBLE_EQ(n * 0.001, 4.62);
    EXPECT_DOUBLE_EQ((v - n * 100000) * 0.1, 3296.0);
}

TEST(CollisionValues, AreEstimatedFromAMeasuredHomologueOrTheNearestSpeciesOfTheSameClass)
{
    std::vector<Analogue> known = {
        {"KCL", encode_formula({{"K", 1}, {"CL", 1}}), 74.55, {4.186, 1989}},
        {"KOH", encode_formula({{"K", 1}, {"O", 1}, {"H", 1}}), 56.1, {4.52, 1213}},
        {"HCL", encode_formula({{"H", 1}, {"CL", 1}}), 36.46, {3.339, 344.7}},
        {"H2O", encode_formula({{"H", 2}, {"O", 1}}), 18.02, {2.641, 809.1}},
        {"KO", encode_formula({{"K", 1}, {"O", 1}}), 55.1, {3.812, 383}}};
    std::string from;
    const LJ nacl = estimate_collision(encode_formula({{"NA", 1}, {"CL", 1}}), 58.44, known, from);
    EXPECT_EQ(from, "KCL");
    EXPECT_EQ(nacl.eps, 1989);
    EXPECT_NEAR(nacl.sigma, 4.186 * std::cbrt((23.7 + 24.6) / (45.5 + 24.6)), 1e-12);
    const LJ alcl2 = estimate_collision(encode_formula({{"AL", 1}, {"CL", 2}}), 97.9, known, from);
    EXPECT_EQ(from, "KOH");  // three atoms
    EXPECT_EQ(alcl2.eps, 1213);
    estimate_collision(encode_formula({{"CL", 1}}), 35.45, known, from);
    EXPECT_EQ(from, "HCL");  // no metal
    // a homologue of the same class wins over a nearer molar mass: LiOH is KOH's, not H2O's
    estimate_collision(encode_formula({{"LI", 1}, {"O", 1}, {"H", 1}}), 23.95, known, from);
    EXPECT_EQ(from, "KOH");
    estimate_collision(encode_formula({{"LI", 1}, {"F", 1}}), 25.94, known, from);
    EXPECT_EQ(from, "KCL");
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

TEST(ProgramFunctions, GasHeatCapacityAndEntropyAreTheEnthalpyDerivatives)
{
    const std::array<double, 9> a = {0.01, -0.2, 1.5, -5, 10, -60, 9000, -57000, 45};
    for (double T : {300.0, 1500.0, 4000.0}) {
        const double d = 0.01;
        const Props lo = gas_poly(a, T - d), hi = gas_poly(a, T + d), p = gas_poly(a, T);
        EXPECT_NEAR(p.cp, (hi.h - lo.h) / (2 * d), 1e-6 * std::fabs(p.cp) + 1e-9);
        EXPECT_NEAR(p.cp / T, (hi.s - lo.s) / (2 * d), 1e-8);
    }
}

TEST(ProgramFunctions, CondensedHeatCapacityAndEntropyAreTheEnthalpyDerivatives)
{
    const std::array<double, 5> b = {0.3, -1.5, 25000, -400000, 40};
    for (double T : {300.0, 2000.0}) {
        const double d = 0.01;
        const Props lo = cond_poly(b, T - d), hi = cond_poly(b, T + d), p = cond_poly(b, T);
        EXPECT_NEAR(p.cp, (hi.h - lo.h) / (2 * d), 1e-6);
        EXPECT_NEAR(p.cp / T, (hi.s - lo.s) / (2 * d), 1e-9);
    }
}

// ---------------------------------------------------------------------------------------------

class GasFits : public testing::Test {
protected:
    std::vector<Species> all = mini();
};

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
    const Species& g = named(all, "XO2");
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
    const auto all = read_thermo(in);
    const Species& w = named(all, "H2O");
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

TEST_F(GasFits, PositiveIonRecordsGiveTheIonGibbsEnergyAtTheirFourNodes)
{
    const Species& e = named(all, "e-");
    const Species& ion = named(all, "XO+");
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

TEST(IonRecords, NegativeIonRecordsRecoverAnExactDetachmentConstant)
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

TEST_F(NasaRecords, CondensedPiecesOfOnePhaseJoinWithoutAJump)
{
    const Species& a = named(all, "Z2O3(a)");
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

TEST_F(NasaRecords, ALiquidOfConstantHeatCapacityIsFittedExactly)
{
    // a liquid of constant heat capacity is held exactly by the cubic enthalpy
    const Species& l = named(all, "Z2O3(L)");
    const auto f = [&](double T) { return nasa_props(l, T); };
    const auto b = fit_condensed(f, 2327, 6000);
    const Deviation d = deviation([&](double T) { return cond_poly(b, T); }, f, 2327, 6000);
    EXPECT_LT(d.dh, 1e-4);
    EXPECT_LT(d.dg, 1e-7);
}

}  // namespace
