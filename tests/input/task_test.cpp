// The task file: terminator, echo, section markers, packed recipes and the stoichiometric ratio.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "core/errors.h"
#include "core/sink.h"
#include "input/input.h"

namespace tev {
namespace {

using ::testing::HasSubstr;

class TaskFile : public ::testing::Test {
protected:
    TaskFile()
    {
        auto& lib = S->lib;
        lib.MU(1) = 1.008;
        lib.V(1) = 1;
        lib.MU(6) = 12.011;
        lib.V(6) = 4;
        lib.MU(7) = 14.007;
        lib.V(7) = 0;
        lib.MU(8) = 15.999;
        lib.V(8) = -2;
        sink.record = true;
        S->io.out = &sink;
    }

    void input(const std::string& values)
    {
        in.str("&WAT RM = " + values + " /\n");
        in.clear();
        S->io.task = &in;
        INPUT(*S);
    }

    std::string fault(const std::string& values)
    {
        try {
            input(values);
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "topliw.dat");
            EXPECT_EQ(e.unit, 5);
            EXPECT_EQ(e.statement, "READ");
            return e.detail;
        }
        ADD_FAILURE() << "no InputError for " << values;
        return {};
    }

    static constexpr double kRel = 1e-14;
    std::unique_ptr<State> S = std::make_unique<State>();
    std::ostringstream console, file;
    Sink sink{&console, &file};
    std::istringstream in;
};

const std::string kExample =
    "1000000, 1.0, 2000000, 40, 3000000, 1, 4000000, 1.0, 5000000, 2.0000001, 0, "
    "6000000, 1.0, 7000000, 2.0000008, 0, 999999999";

TEST_F(TaskFile, ExampleTaskGivesOnePointAndTheStoichiometricRatio)
{
    input(kExample);
    const auto& t = S->task;
    const auto& lib = S->lib;
    EXPECT_EQ(t.N1, 16);
    EXPECT_EQ(t.NA, 1);
    EXPECT_EQ(t.NPK, 1);
    EXPECT_EQ(t.NPA, 1);
    EXPECT_EQ(t.BP, 1);
    EXPECT_NEAR(t.G(1), 1000 / lib.MU(1), kRel * 1000);
    EXPECT_NEAR(t.O(8), 1000 / lib.MU(8), kRel * 1000);
    EXPECT_EQ(t.G(8), 0.0);
    EXPECT_EQ(t.IG, 0.0);
    EXPECT_EQ(t.IO, 0.0);
    EXPECT_NEAR(t.KAPPA, lib.MU(8) / (2 * lib.MU(1)), kRel * 10);
    EXPECT_TRUE(S->eq.FF);
    EXPECT_TRUE(t.F8);
    EXPECT_FALSE(t.FTK);
    EXPECT_EQ(t.TZAM, 1500.0);
    EXPECT_EQ(t.PK(1), 40.0);
    EXPECT_EQ(t.PK(2), -1.0);
}

TEST_F(TaskFile, RatioSectionClearsItsListAndItsSignChoosesTheReportMode)
{
    input("1000000, 0.8, 1.0, 1.2, 999999999");
    EXPECT_EQ(S->task.ALFA(3), 1.2);
    EXPECT_EQ(S->task.ALFA(4), -1.0);
    EXPECT_EQ(S->task.ALFA(25), -1.0);
    EXPECT_EQ(S->task.NA, 3);
    EXPECT_EQ(S->task.BP, 1);
    EXPECT_TRUE(S->eq.F1);
    input("-1000000, 0.8, 1.0, 1.2, 999999999");
    EXPECT_EQ(S->task.BP, -1);
}

TEST_F(TaskFile, FirstValueThatIsNotAMarkerDistributesNothing)
{
    S->task.ALFA(1) = 7;
    S->task.NA = 4;
    input("5.0, 1000000, 0.8, 999999999");
    EXPECT_EQ(S->task.N1, 3);
    EXPECT_EQ(S->task.ALFA(1), 7.0);
    EXPECT_EQ(S->task.NA, 4);
    EXPECT_FALSE(S->eq.F1);
    EXPECT_EQ(S->task.BP, 0);
}

TEST_F(TaskFile, MarkerThatIsTheLastValueTakesTheTerminator)
{
    input("1000000, 0.8, 3000000, 999999999");
    EXPECT_EQ(S->task.N1, 3);
    EXPECT_EQ(S->task.PA(1), 999999999.0);
    EXPECT_TRUE(S->task.F3);
    EXPECT_EQ(S->task.NPA, 1);
}

TEST_F(TaskFile, ValueAfterAMarkerIsStoredEvenWhenItIsLarge)
{
    input("2000000, 1000000, 3000000, 999999999");
    EXPECT_EQ(S->task.PK(1), 1000000.0);
    EXPECT_EQ(S->task.PA(1), 999999999.0);
    EXPECT_FALSE(S->eq.F1);
}

TEST_F(TaskFile, NegativeFirstChamberPressureSelectsTheGridMode)
{
    input("-2000000, -40, 10, 999999999");
    EXPECT_TRUE(S->task.FIS);
    EXPECT_TRUE(S->task.FV);
    EXPECT_EQ(S->task.PK(1), 40.0);
    EXPECT_EQ(S->task.NPK, 2);
}

TEST_F(TaskFile, SectionSignsChooseRatiosAreaRatiosOrTemperatures)
{
    input("-3000000, -2500, 999999999");
    EXPECT_TRUE(S->task.FT);
    EXPECT_FALSE(S->task.FE);
    EXPECT_FALSE(S->task.FFF);
    EXPECT_EQ(S->task.PA(1), 2500.0);

    auto fresh = std::make_unique<State>();
    S.swap(fresh);
    S->io.out = &sink;
    input("3000000, -4.0, 9.0, 999999999");
    EXPECT_TRUE(S->task.FFF);
    EXPECT_FALSE(S->task.FE);
    EXPECT_FALSE(S->task.FT);

    input("-3000000, 10, 999999999");
    EXPECT_TRUE(S->task.FE);
    EXPECT_FALSE(S->task.FFF);
}

TEST_F(TaskFile, FreezingTemperatureSwitchesAndLaterRatioMarkers)
{
    S->task.ALFA(2) = 5;
    input("10000000, 1200, 1300, 11000000, 7, 8, 14000000, 0.9, 999999999");
    EXPECT_EQ(S->task.TZAM, 1300.0);
    EXPECT_TRUE(S->task.FM);
    EXPECT_EQ(S->task.ALFA(1), 0.9);
    EXPECT_EQ(S->task.ALFA(2), 5.0);  // code 14 and above does not clear the list
    EXPECT_EQ(S->task.NA, 2);
}

TEST_F(TaskFile, SpeciesListsAreTruncatedAndKeptForLaterSelections)
{
    input("8000000, 12.7, 45, 9000000, -3.9, 17, 999999999");
    const auto& t = S->task;
    EXPECT_TRUE(t.FHAC);
    EXPECT_TRUE(t.FSH);
    EXPECT_EQ(t.HAC(1), 12);
    EXPECT_EQ(t.HAC(2), 45);
    EXPECT_EQ(t.SHY(1), 3);
    EXPECT_EQ(t.SHY(2), 17);
    EXPECT_TRUE(t.FU);
    EXPECT_EQ(t.HAC_LIB(2), 45);
    EXPECT_EQ(t.SHY_LIB(1), 3);
}

TEST_F(TaskFile, PackedEntriesCarryElementCodesInTheirSeventhAndEighthDigits)
{
    // Component 1: 12 atoms of element 6, 2 of element 1, enthalpy -285.83;
    // component 2: no atoms, closing value 1.0.
    input("4000000, 0.75, 0.25, 5000000, 12.000006, 2.0000001, -285.83, 1.0, 999999999");
    const auto& t = S->task;
    const auto& mu = S->lib.MU;
    const double m = 12 * mu(6) + 2 * mu(1);
    EXPECT_NEAR(t.G(6), 0.75 * 1000 * 12 / m, kRel * 100);
    EXPECT_NEAR(t.G(1), 0.75 * 1000 * 2 / m, kRel * 100);
    EXPECT_NEAR(t.IG, 0.75 * -285.83 + 0.25 * 1.0, kRel * 1000);
    EXPECT_EQ(t.G(2), 0.0);
    EXPECT_FALSE(t.FTK);
    EXPECT_EQ(S->pt.T, -1.0);
}

TEST_F(TaskFile, ClosingCode99PrescribesTheChamberTemperature)
{
    input("4000000, 1.0, 5000000, 2.0000001, 1234.5699, 999999999");
    EXPECT_TRUE(S->task.FTK);
    EXPECT_NEAR(S->task.IG, 1234.56, 1e-9);
}

TEST_F(TaskFile, NoRecipesLeaveTheStoichiometricRatioAlone)
{
    S->task.KAPPA = 3.5;
    input("1000000, 1.0, 999999999");
    EXPECT_FALSE(S->eq.FF);
    EXPECT_FALSE(S->task.F8);
    EXPECT_EQ(S->task.KAPPA, 3.5);
}

TEST_F(TaskFile, ListWithoutTerminatorIsRejected)
{
    EXPECT_THAT(fault("200*1.0"), HasSubstr("no terminator"));
}

TEST_F(TaskFile, SectionOverflowIsRejected)
{
    EXPECT_THAT(fault("1000000, 26*1.0, 999999999"), HasSubstr("more than 25 values"));
    EXPECT_THAT(fault("8000000, 6*1, 999999999"), HasSubstr("more than 5 values"));
}

TEST_F(TaskFile, RatiosAndFuelWithoutOxidizerAreRejected)
{
    EXPECT_THAT(fault("1000000, 1.0, 4000000, 1.0, 5000000, 2.0000001, 0, 999999999"),
                HasSubstr("no oxidizer recipe"));
}

TEST_F(TaskFile, OxidizerOfZeroValenceIsRejected)
{
    EXPECT_THAT(fault("1000000, 1.0, 6000000, 1.0, 7000000, 2.0000007, 0, 999999999"),
                HasSubstr("total valence of zero"));
    // Water: +2 and -2 cancel only up to the rounding of the gram-atom amounts.
    EXPECT_THAT(fault("1000000, 1.0, 6000000, 1.0, 7000000, 2.0000001, 1.0000008, 0, 999999999"),
                HasSubstr("total valence of zero"));
}

// A recipe that does not say what the user meant is rejected, naming the entry, rather than
// read as another propellant.
TEST_F(TaskFile, RecipesThatDoNotHoldTogetherAreRejected)
{
    const std::string ox = ", 6000000, 1.0, 7000000, 2.0000008, 0, 999999999";
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 2.0000005, 0" + ox),
                HasSubstr("element 5 (entry 1) has no atomic mass"));
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 100*1.0000001" + ox),
                HasSubstr("has no closing entry"));
    // Without its closing entry the enthalpy would be read from beyond the section.
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 2.0000001" + ox), HasSubstr("no closing entry"));
    // 12 atoms of carbon with one digit too many: not 12 atoms of hydrogen.
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 12.0000006, -1813." + ox),
                HasSubstr("(0.1200000060E+02) is not an atom entry"));
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 2.0000001, 200000." + ox),
                HasSubstr("not a plausible enthalpy"));
    EXPECT_THAT(fault("4000000, 0.6, 0.5, 5000000, 2.0000001, 0, 1.0000006, 0" + ox),
                HasSubstr("fuel mass fractions (section 4) sum to 1.10000, not 1"));
    EXPECT_THAT(fault("4000000, 1.5, 5000000, 2.0000001, 0" + ox),
                HasSubstr("fuel mass fraction 1 (0.1500000000E+01) is not between 0 and 1"));
    EXPECT_THAT(fault("4000000, 1.0, 5000000, 2.0000001, 0, 2.0000001, 0" + ox),
                HasSubstr("fuel entries 3 to 4 (section 5) belong to no component"));
    EXPECT_THAT(fault("5000000, 2.0000001, 0" + ox), HasSubstr("without mass fractions"));
    EXPECT_THAT(fault("1000000, 1.0, 4000000, 1.0, 5000000, 2.0000001, 0, 7000000, 2.0000008, 0, "
                      "999999999"),
                HasSubstr("oxidizer entries (section 7) are given without mass fractions"));
}

TEST_F(TaskFile, NamelistFaultsNameTheTaskFile)
{
    in.str("&WAT RM(201)=1 /");
    S->io.task = &in;
    try {
        INPUT(*S);
        FAIL() << "no error";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file, "topliw.dat");
        EXPECT_EQ(e.unit, 5);
    }
}

}  // namespace
}  // namespace tev
