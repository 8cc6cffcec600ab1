// Reading thermo.inp records and the NASA functions they give: hand-made records for the
// fields, the real file for its irregular reactant records.
#include "tools/mklib/nasa_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "tests/tools/mini_data.h"

namespace {

using namespace mklib;
using mklib::test_data::mini_data;
using mklib::test_data::named;

class NasaRecords : public ::testing::Test {
protected:
    NasaData data = mini_data();
    const std::vector<NasaSpecies>& all = data.products;
};

TEST_F(NasaRecords, AreReadUpToTheEndOfTheProductsWithTheirIntervals)
{
    // e-, XO2, XO+, Z2O3(a), Z2O3(L), Q2H6(L) with no interval
    ASSERT_EQ(all.size(), 6u);
    const NasaSpecies& g = named(all, "XO2");
    EXPECT_EQ(g.phase, 0);
    EXPECT_EQ(g.comment, "Hand-made triatomic gas.");
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
    EXPECT_EQ(named(all, "Z2O3(L)").order, 4);
}

TEST_F(NasaRecords, ReactantsFollowTheProductsWithTheirAssignedEnthalpies)
{
    const NasaSpecies& q = named(all, "Q2H6(L)");
    EXPECT_TRUE(q.iv.empty());
    EXPECT_DOUBLE_EQ(q.hf, 16445.0);
    EXPECT_DOUBLE_EQ(q.t_assigned, 180.59);
    ASSERT_EQ(data.reactants.size(), 2u);
    const NasaSpecies& fuel = data.reactants[0];
    EXPECT_EQ(fuel.name, "Fuel");
    EXPECT_EQ(fuel.iv.size(), 1u);
    const NasaSpecies& ox = data.reactants[1];
    EXPECT_EQ(ox.name, "Ox(L)");
    EXPECT_EQ(ox.order, 1);
    EXPECT_EQ(ox.phase, 1);
    EXPECT_TRUE(ox.iv.empty());
    EXPECT_DOUBLE_EQ(ox.hf, -12979.0);
    EXPECT_DOUBLE_EQ(ox.t_assigned, 90.17);
}

TEST_F(NasaRecords, GiveTheHeatOfFormationAt298WithTheNasaGasConstant)
{
    // the records' heats of formation were written with R = 8.314510 J/(mol K)
    const NasaSpecies& g = named(all, "XO2");
    EXPECT_NEAR(nasa_props(g, 298.15).h * kCalJ, g.hf, 0.002);
    const NasaSpecies& a = named(all, "Z2O3(a)");
    EXPECT_NEAR(nasa_props(a, 298.15).h * kCalJ, a.hf, 0.002);
}

TEST_F(NasaRecords, HoldTheHeatCapacityConstantAboveTheirData)
{
    const NasaSpecies& a = named(all, "Z2O3(L)");
    const Props top = nasa_props(a, 6000), above = nasa_props(a, 8000);
    EXPECT_DOUBLE_EQ(above.cp, top.cp);
    EXPECT_NEAR(above.h, top.h + top.cp * 2000, 1e-6);
    EXPECT_NEAR(above.s, top.s + top.cp * std::log(8000.0 / 6000.0), 1e-9);
}

TEST_F(NasaRecords, GasEntropyMovesFromOneBarToOneAtmosphere)
{
    const NasaSpecies& w = named(all, "XO2");
    EXPECT_NEAR(nasa_props(w, 1000).s - nasa_gas_props(w, 1000).s,
                8.314510 * std::log(1.01325) / 4.184, 1e-12);
}

TEST(NasaReading, RejectsAnUnreadableCoefficientNamingTheRecord)
{
    std::istringstream in("thermo\n 200 1000 6000 20000\nX  bad\n 1 g 1/01 H   1.00    0.00    0.00"
                          "    0.00    0.00 0    1.0000000          0.000\n"
                          "    200.000   1000.0007 -2.0 -1.0  0.0  1.0  2.0  3.0  4.0  0.0 0\n"
                          " 0.0000000D+00 garbage here....\n 0 0\nEND PRODUCTS\n");
    try {
        read_thermo(in);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("record X:"), std::string::npos) << e.what();
    }
}

TEST(NasaReading, RejectsARecordCutShort)
{
    std::istringstream in("thermo\n 200 1000 6000 20000\nY\n 2 g 1/01 H   1.00    0.00    0.00"
                          "    0.00    0.00 0    1.0000000          0.000\n"
                          "    200.000   1000.0007 -2.0 -1.0  0.0  1.0  2.0  3.0  4.0  0.0 0\n"
                          " 0.0\n 0.0\nEND PRODUCTS\n");
    EXPECT_THROW(read_thermo(in), std::runtime_error);
}

TEST(NasaReading, ReadsEveryRecordOfTheRealFile)
{
    std::ifstream in(std::string(TEV_SOURCE_DIR) + "/../shared/data/nasa/thermo.inp");
    if (!in) GTEST_SKIP() << "NASA data not available";
    const NasaData d = read_thermo(in);
    EXPECT_GT(d.products.size(), 2000u);
    // irregular reactant records: fractional and three-digit counts, an assigned enthalpy at
    // the boiling point, a condensed record with intervals
    const NasaSpecies& air = named(d.reactants, "Air");
    EXPECT_EQ(air.iv.size(), 2u);
    EXPECT_EQ(air.atoms.size(), 4u);
    const NasaSpecies& paraffin = named(d.reactants, "Paraffin");
    ASSERT_EQ(paraffin.atoms.size(), 2u);
    EXPECT_EQ(paraffin.atoms[1].second, 124.0);
    EXPECT_DOUBLE_EQ(paraffin.hf, -1860600.0);
    const NasaSpecies& ch4 = named(d.reactants, "CH4(L)");
    EXPECT_DOUBLE_EQ(ch4.hf, -89233.0);
    EXPECT_DOUBLE_EQ(ch4.t_assigned, 111.643);
    EXPECT_EQ(named(d.reactants, "N2H4(L)").iv.size(), 1u);
    EXPECT_EQ(d.reactants.back().name, "n-Butanol");
}

}  // namespace
