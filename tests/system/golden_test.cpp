// Whole runs compared byte for byte with blessed reports, and a few properties of whole runs
// that the reports must show. Re-bless with `make bless` in a commit that says which digits
// moved and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/test_names.h"
#include "tests/system/report_reader.h"

namespace {

namespace fs = std::filesystem;

using tevtest::slurp;

const fs::path kSource = TEV_SOURCE_DIR;

//! The blessed reports, by name: each is the report of the task of that name among the shipped
//! examples or the hand-made system tasks.
std::vector<std::string> blessed_reports()
{
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(kSource / "tests/blessed"))
        if (e.path().extension() == ".rez") v.push_back(e.path().stem().string());
    std::sort(v.begin(), v.end());
    return v;
}

class BlessedReports : public ::testing::TestWithParam<std::string> {};

TEST_P(BlessedReports, TheTaskGivesItsReportByteForByte)
{
    const std::string name = GetParam();
    fs::path task;
    for (const auto& dir : {kSource / "examples", kSource / "tests/data/system"})
        if (fs::exists(dir / (name + ".dat"))) task = dir / (name + ".dat");
    ASSERT_FALSE(task.empty()) << "no task " << name << ".dat for tests/blessed/" << name << ".rez";
    int rc = 0;
    const std::string rez = tevtest::run_program(TEV_SOURCE_DIR, TEV_BINARY_DIR, task.string(),
                                                 "golden_" + name, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(rez, slurp(kSource / "tests/blessed" / (name + ".rez")));
    // The console receives the same lines, then the closing line.
    const std::string console =
        slurp(fs::path(TEV_BINARY_DIR) / "runs" / ("golden_" + name) / "console.txt");
    EXPECT_EQ(console.substr(0, rez.size()), rez);
    EXPECT_EQ(console.substr(std::min(rez.size(), console.size())), " tevalin: run complete\n");
}

INSTANTIATE_TEST_SUITE_P(Tasks, BlessedReports, ::testing::ValuesIn(blessed_reports()),
                         [](const auto& info) { return tevtest::case_name(info.param); });

TEST(WholeRuns, AreaRatiosBeforeTheThroatLieBetweenThroatAndChamberPressure)
{
    int rc = 0;
    const auto pts = tevtest::read_table_points(tevtest::run_program(
        TEV_SOURCE_DIR, TEV_BINARY_DIR, (kSource / "tests/data/system/lox_lh2_area_ratios.dat").string(),
        "area_ratios", &rc));
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(pts.size(), 6u);  // chamber, throat, four sections
    auto chamber = pts[0], throat = pts[1];
    const double want[] = {4, 2, 2, 5};
    for (int k = 0; k < 4; ++k) {
        auto s = pts[2 + k];
        EXPECT_NEAR(s[25], want[k], 0.01 * want[k]) << "section " << k + 1;
        if (k < 2) {
            EXPECT_GT(s[3], throat[3]) << "subsonic section " << k + 1;
            EXPECT_LT(s[3], chamber[3]) << "subsonic section " << k + 1;
        } else {
            EXPECT_LT(s[3], throat[3]) << "supersonic section " << k + 1;
        }
    }
}

TEST(WholeRuns, AFrozenSectionReportsTheFrozenGasHeatCapacity)
{
    int rc = 0;
    const auto pts = tevtest::read_table_points(tevtest::run_program(
        TEV_SOURCE_DIR, TEV_BINARY_DIR, (kSource / "examples/lox_lh2_frozen.dat").string(),
        "frozen_cp", &rc));
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(pts.size(), 5u);
    for (std::size_t k = 1; k < pts.size(); ++k) {
        auto p = pts[k];
        EXPECT_EQ(p[8], p[10]) << "point " << k;  // equilibrium cp = frozen cp
        EXPECT_EQ(p[9], p[10]) << "point " << k;  // and so is the gas phase's (no condensed)
    }
}

TEST(WholeRuns, IceInTheNozzleLeavesNoNegativeHeatCapacityOrConductivity)
{
    // Far sections of a fuel-rich LOX/LH2 nozzle hold ice. Where the gas gives off or takes up
    // water within the 0.1 K step of the equilibrium heat capacity, the gas quotient is the
    // frozen gas value, so the equilibrium conductivity is never below the frozen one.
    int iced = 0;
    for (const char* task : {"lox_lh2_ice_pressures", "lox_lh2_ice_areas"}) {
        int rc = 0;
        const auto pts = tevtest::read_table_points(tevtest::run_program(
            TEV_SOURCE_DIR, TEV_BINARY_DIR,
            (kSource / "tests/data/system" / (std::string(task) + ".dat")).string(),
            std::string("ice_") + task, &rc));
        ASSERT_EQ(rc, 0) << task;
        for (std::size_t k = 0; k < pts.size(); ++k) {
            auto p = pts[k];
            for (int row : {8, 9, 10, 15, 16, 17, 18})
                EXPECT_GE(p[row], 0.0) << task << " point " << k << " row " << row;
            if (p[13] > 0) {
                ++iced;
                EXPECT_GE(p[17], p[16]) << task << " point " << k;
            }
        }
    }
    EXPECT_EQ(iced, 3);
}

TEST(WholeRuns, ASpeciesListEntryNotSelectedAtARatioTakesNoPartThere)
{
    // At ratio 0 (no oxidizer) O is not selected. It must not drop the list's later entries
    // (H2 among them): the points of that ratio are those of the same list without O.
    const auto run = [](const char* task) {
        int rc = 0;
        auto pts = tevtest::read_table_points(tevtest::run_program(
            TEV_SOURCE_DIR, TEV_BINARY_DIR,
            (kSource / "tests/data/system" / (std::string(task) + ".dat")).string(), task, &rc));
        EXPECT_EQ(rc, 0) << task;
        return pts;
    };
    const auto with_o = run("keep_list_with_oxygen");
    const auto without_o = run("keep_list_without_oxygen");
    ASSERT_EQ(with_o.size(), 6u);
    ASSERT_EQ(without_o.size(), 6u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(with_o[k].at(1), 0.0);
        EXPECT_EQ(with_o[k], without_o[k]) << "point " << k;
    }
    EXPECT_GT(with_o[0].at(4), 290.0);  // hydrogen from 298 K, not a few kelvin
}

TEST(WholeRuns, WaterAloneIsIceBelowItsVapourPressureAndVapourAbove)
{
    int rc = 0;
    const auto pts = tevtest::read_table_points(tevtest::run_program(
        TEV_SOURCE_DIR, TEV_BINARY_DIR, (kSource / "tests/data/system/water_grid.dat").string(),
        "water_grid", &rc));
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(pts.size(), 4u);  // (227 K: 100, 1810 Pa), (262.9 K: 100, 1810 Pa)
    for (int k : {0, 1, 3}) {
        auto p = pts[k];
        EXPECT_EQ(p[13], 1.0) << "point " << k;  // all condensed
        EXPECT_EQ(p[7], 0.0) << "point " << k;   // no gas: molar mass, gas cp, sound speed 0
        EXPECT_EQ(p[9], 0.0) << "point " << k;
        EXPECT_EQ(p[14], 0.0) << "point " << k;
        EXPECT_NEAR(p[8], 1.9, 0.2) << "point " << k;  // ice: 1.76 and 2.04 kJ/(kg K)
    }
    auto vapour = pts[2];
    EXPECT_EQ(vapour[13], 0.0);
    EXPECT_NEAR(vapour[7], 18.015, 0.001);
}

}  // namespace
