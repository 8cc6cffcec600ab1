// Whole runs of the example tasks compared with NASA CEA results on the same propellants.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/system/cea_reference.h"
#include "tests/system/report_reader.h"

namespace {

//! Runs one example task and compares its report with a CEA case.
void compare_case(const std::string& example, const std::string& cea_csv)
{
    if (!std::filesystem::exists(tevtest::kCeaDir + cea_csv)) GTEST_SKIP() << "no CEA reference here";
    int rc = 0;
    const std::string rez = tevtest::run_program(TEV_SOURCE_DIR, TEV_BINARY_DIR,
                                                 std::string(TEV_SOURCE_DIR) + "/examples/" + example,
                                                 example, &rc);
    ASSERT_EQ(rc, 0) << "the run failed";
    tevtest::compare_rocket(rez, cea_csv);
}

TEST(AgainstCea, LoxLh2EquilibriumExpansionAtFourRatios)
{
    compare_case("lox_lh2.dat", "V1_lox_lh2.csv");
}

TEST(AgainstCea, N2o4N2h4EquilibriumExpansionToAreaRatios)
{
    compare_case("n2o4_n2h4.dat", "V2_n2o4_n2h4.csv");
}

TEST(AgainstCea, LoxLh2FrozenAtTheChamber)
{
    compare_case("lox_lh2_frozen.dat", "V4_lox_lh2_frozen.csv");
}

}  // namespace
