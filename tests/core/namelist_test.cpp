// The namelist reader: finding the group, the assignment forms, and every input fault.
#include "core/namelist.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "core/errors.h"

namespace tev {
namespace {

using ::testing::HasSubstr;

class Namelist : public ::testing::Test {
protected:
    Namelist()
    {
        mu.fill(-1);
        v.fill(-1);
    }
    void read(const std::string& text, const std::string& group = "WAL")
    {
        std::istringstream in(text);
        read_namelist(in, "lib/val.id", 1, group, {{"MU", mu}, {"V", v}});
    }
    // The detail of the InputError that reading `text` throws.
    std::string fault(const std::string& text, const std::string& group = "WAL")
    {
        try {
            read(text, group);
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "lib/val.id");
            EXPECT_EQ(e.unit, 1);
            EXPECT_EQ(e.statement, "READ");
            return e.detail;
        }
        ADD_FAILURE() << "no InputError for: " << text;
        return {};
    }
    std::array<double, 98> mu{};
    std::array<double, 98> v{};
};

TEST_F(Namelist, ValuesFillConsecutiveElementsAndLeaveTheRest)
{
    read("&WAL MU=1.008, 4.0026,\n 6.94 /");
    EXPECT_EQ(mu[0], 1.008);
    EXPECT_EQ(mu[1], 4.0026);
    EXPECT_EQ(mu[2], 6.94);
    EXPECT_EQ(mu[3], -1);
    EXPECT_EQ(v[0], -1);
}

TEST_F(Namelist, SeparatorsAreCommasBlanksTabsAndLineEnds)
{
    read("&WAL\n V = 1\t-2 ,3\n\n4.5D0,\n-.5E+1 /\n");
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], -2);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], 4.5);
    EXPECT_EQ(v[4], -5);
}

TEST_F(Namelist, TextBeforeTheGroupAndOtherGroupsAreSkipped)
{
    read("title line & more\n&OTHER MU=5 /\n&WAL V(2)=7 /\n&WAL V(2)=9 /");
    EXPECT_EQ(mu[0], -1);
    EXPECT_EQ(v[1], 7);
}

TEST_F(Namelist, NamesCompareWithoutRegardToCase)
{
    read("&wal mu(3)=2.0 Mu(4)=3.0 /");
    EXPECT_EQ(mu[2], 2);
    EXPECT_EQ(mu[3], 3);
}

TEST_F(Namelist, SubscriptsAndRangesAddressTheFirstElement)
{
    read("&WAL MU(98)=9, V(3:5)=1,2,3, V(10)=4,5 /");
    EXPECT_EQ(mu[97], 9);
    EXPECT_EQ(v[1], -1);
    EXPECT_EQ(v[2], 1);
    EXPECT_EQ(v[4], 3);
    EXPECT_EQ(v[5], -1);
    EXPECT_EQ(v[9], 4);
    EXPECT_EQ(v[10], 5);
}

TEST_F(Namelist, RepeatCountsNullValuesCommentsAndEnd)
{
    read("&WAL ! atomic masses\n MU = 3*2.5, 1.0 ! four values\n V = 1,,3, 2*, 6 &END");
    EXPECT_EQ(mu[0], 2.5);
    EXPECT_EQ(mu[2], 2.5);
    EXPECT_EQ(mu[3], 1.0);
    EXPECT_EQ(mu[4], -1);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], -1);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], -1);
    EXPECT_EQ(v[4], -1);
    EXPECT_EQ(v[5], 6);
}

TEST_F(Namelist, ValuesThatExactlyFillTheArrayAreAccepted)
{
    read("&WAL MU=98*1.5, V(97)=1,2, /");
    EXPECT_EQ(mu[97], 1.5);
    EXPECT_EQ(v[97], 2);
}

TEST_F(Namelist, UnknownNameIsAnInputError)
{
    EXPECT_THAT(fault("&WAL MU=1, XX=2 /"), HasSubstr("\"XX\" is not a variable of group &WAL"));
}

TEST_F(Namelist, SubscriptOutOfBoundsIsAnInputError)
{
    EXPECT_THAT(fault("&WAL MU(99)=1 /"), HasSubstr("outside 1..98"));
    EXPECT_THAT(fault("&WAL MU(0)=1 /"), HasSubstr("outside 1..98"));
    EXPECT_THAT(fault("&WAL V(5:99)=1 /"), HasSubstr("outside 1..98"));
    EXPECT_THAT(fault("&WAL V(5:3)=1 /"), HasSubstr("outside"));
}

TEST_F(Namelist, TooManyValuesIsAnInputError)
{
    EXPECT_THAT(fault("&WAL MU(97)=1,2,3 /"), HasSubstr("too many values for MU"));
    EXPECT_THAT(fault("&WAL MU=99*1 /"), HasSubstr("too many values"));
    EXPECT_THAT(fault("&WAL V(2:3)=1,2,3 /"), HasSubstr("too many values"));
}

TEST_F(Namelist, ValueThatIsNotANumberIsAnInputError)
{
    EXPECT_THAT(fault("&WAL MU=1.0,\n 2.x /"), HasSubstr("line 2: \"2.x\" is not a number"));
    EXPECT_THAT(fault("&WAL MU=0*1 /"), HasSubstr("bad repeat count"));
}

TEST_F(Namelist, MissingGroupOrClosingIsAnInputError)
{
    EXPECT_THAT(fault("&WAT RM=1 /", "WAL"), HasSubstr("group &WAL not found"));
    EXPECT_THAT(fault(""), HasSubstr("not found"));
    EXPECT_THAT(fault("&WAL MU=1,2"), HasSubstr("before the closing"));
    EXPECT_THAT(fault("&WAL MU 1 /"), HasSubstr("\"=\" expected after MU"));
}

}  // namespace
}  // namespace tev
