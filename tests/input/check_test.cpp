// The checks of a read task that reject it before any calculation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "input/input.h"

namespace tev {
namespace {

using ::testing::HasSubstr;

class TaskCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        S.task.NA = 1;
        S.task.ALFA(1) = 1;
        S.task.NPK = 2;
        S.task.PK(1) = 10;
        S.task.PK(2) = 5;
        S.task.NPA = 2;
        S.task.PA(1) = 2;
        S.task.PA(2) = 3;
        S.eq.FF = true;
        S.task.G(1) = 1;
        S.task.O(8) = 1;
        S.task.KAPPA = 8;
    }
    std::string message()
    {
        try {
            check_task(S);
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "topliw.dat");
            EXPECT_EQ(e.unit, 5);
            EXPECT_EQ(e.statement, "READ");
            return e.what();
        }
        return "";
    }
    State S;
};

TEST_F(TaskCheck, AcceptsASoundTask)
{
    EXPECT_NO_THROW(check_task(S));
    S.task.FFF = true;
    EXPECT_NO_THROW(check_task(S));
}

TEST_F(TaskCheck, RejectsATaskWithoutChamberPressures)
{
    S.task.NPK = 0;
    EXPECT_THAT(message(), HasSubstr("no chamber pressure"));
}

TEST_F(TaskCheck, RejectsAZeroChamberPressure)
{
    S.task.PK(2) = 0;
    EXPECT_THAT(message(), HasSubstr("chamber pressure 2 is zero"));
}

TEST_F(TaskCheck, RejectsAreaRatiosNotAboveOne)
{
    S.task.FFF = true;
    S.task.PA(2) = 1.0;
    EXPECT_THAT(message(), HasSubstr("area ratio 2 is 1.00000"));
    S.task.PA(2) = 0.5;
    EXPECT_THAT(message(), HasSubstr("must be above 1"));
}

TEST_F(TaskCheck, RejectsAZeroSection)
{
    S.task.PA(1) = 0;
    EXPECT_THAT(message(), HasSubstr("section 1 is zero"));
}

TEST_F(TaskCheck, PressureSectionsBelowOneAreNotAreaRatios)
{
    S.task.PA(1) = 0.5;  // an exit pressure [MPa]
    EXPECT_NO_THROW(check_task(S));
}

// Values that mean nothing are rejected before any calculation, each named.
TEST_F(TaskCheck, RejectsMeaninglessValues)
{
    const auto rejects = [&](auto change, const std::string& text) {
        const auto kept = std::make_unique<State>(S);
        change();
        EXPECT_THAT(message(), HasSubstr(text));
        S = *kept;
    };
    rejects([&] { S.eq.FF = false; }, "no fuel recipe");
    rejects([&] { for (int e = 1; e <= 11; ++e) S.task.G(e) = 1; }, "has 11 elements");
    rejects([&] { S.task.ALFA(1) = -1; }, "ratio 1 is -1.00000");
    rejects([&] { S.task.KAPPA = 0; }, "the fuel must reduce and the oxidizer oxidize");
    rejects([&] { S.task.BP = 1; S.task.ALFA(1) = 10; }, "does not fit the report");
    rejects([&] { S.task.PK(1) = 1e-300; }, "chamber pressure 1 (0.100000-299 MPa) lies outside");
    rejects([&] { S.task.PK(2) = 2e4; }, "lies outside 0.100000E-07 .. 10000.0 MPa");
    rejects([&] { S.task.PA(2) = 5; }, "section 2 (exit pressure 5.00000 MPa) is not below");
    rejects([&] { S.task.PA(1) = 1e-300; }, "lies below");
    rejects([&] { S.task.FE = true; S.task.PA(1) = 1; }, "pressure ratio 1.00000 must be above 1");
    rejects([&] { S.task.FIS = true; S.task.NPA = 0; }, "needs its temperatures");
    rejects([&] { S.task.FT = true; S.task.PA(1) = 2500; S.task.PA(2) = 50; }, "section 2 (50.0000 K)");
    rejects([&] { S.task.FFF = true; S.task.PA(1) = 1e7; }, "lies above");
}

}  // namespace
}  // namespace tev
