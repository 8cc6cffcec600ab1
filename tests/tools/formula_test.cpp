// Formula codes and element numbers of the library generator.
#include "tools/mklib/formula.h"

#include <gtest/gtest.h>

namespace {

using namespace mklib;

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
    EXPECT_EQ(p.neutral_slots().size(), 2u);
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

}  // namespace
