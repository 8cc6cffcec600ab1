// Later chamber pressures of a list start from the previous chamber temperature; the chamber
// point must still close its energy balance when its temperature lies far above that start.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/system/report_reader.h"

namespace {

std::string run(const std::string& task, const std::string& name)
{
    int rc = 0;
    const std::string rez = tevtest::run_program(
        TEV_SOURCE_DIR, TEV_BINARY_DIR, std::string(TEV_SOURCE_DIR) + "/tests/data/system/" + task,
        name, &rc);
    EXPECT_EQ(rc, 0) << task;
    return rez;
}

TEST(ChamberBracket, ALaterPressureFarAboveItsStartMeetsTheTemperatureOfItsOwnRun)
{
    const auto both = tevtest::read_table_points(run("lox_lh2_7_then_20.dat", "p7_20"));
    const auto alone = tevtest::read_table_points(run("lox_lh2_20.dat", "p20"));
    ASSERT_EQ(both.size(), 2u);
    ASSERT_EQ(alone.size(), 1u);
    auto b = both[1], a = alone[0];
    EXPECT_NEAR(b[4], a[4], 0.3);   // chamber temperature [K]
    EXPECT_GT(b[4], both[0].at(4) + 60);
    EXPECT_NEAR(b[5], a[5], 2.0);   // enthalpy of the products = the propellant's [kJ/kg]
}

TEST(ChamberBracket, PressuresWithinTheStartBracketKeepTheirDigits)
{
    const std::string rez = run("lox_lh2_close_pressures.dat", "p_close");
    std::ifstream blessed(std::string(TEV_SOURCE_DIR) + "/tests/blessed/lox_lh2_close_pressures.rez",
                          std::ios::binary);
    std::stringstream ss;
    ss << blessed.rdbuf();
    EXPECT_EQ(rez, ss.str());
}

}  // namespace
