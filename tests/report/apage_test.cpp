// Report pages: line-mode closing, table-mode pages with property and composition rows.
#include <gtest/gtest.h>

#include <string>

#include "report_fixture.h"

namespace tev {
namespace {

using testing_report::ReportTest;

const std::string kDots(120, '.');

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class LinePage : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        S.rep.AP = 1;
    }
};

TEST_F(LinePage, APageAt45LinesGetsFourFillersAndTheClosingRule)
{
    S.rep.CC = 45;
    APAGE(S);
    const auto& l = lines();
    ASSERT_EQ(l.size(), 8u + 6);
    for (int i = 0; i < 8; i += 2) {
        EXPECT_EQ(l[i], " ") << i;
        EXPECT_EQ(l[i + 1], "") << i;
    }
    for (int i = 8; i < 13; ++i) EXPECT_EQ(l[i], "") << i;
    EXPECT_EQ(l[13], std::string(120, '-'));
    EXPECT_EQ(S.rep.CC, 0);
}

TEST_F(LinePage, NoOpenPageWritesNothing)
{
    S.rep.CC = 0;
    APAGE(S);
    EXPECT_TRUE(lines().empty());
}

class TablePage : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        S.rep.AP = -1;
    }
    //! Stores k columns whose row i holds i + column/10.
    void columns(int k)
    {
        for (int j = 1; j <= k; ++j)
            for (int i = 1; i <= 31; ++i) S.rep.ST(i, j) = i + j / 10.0;
        S.rep.CT = k + 1;
    }
    //! The property row lines of a printed page (after the opening, before the separator).
    std::vector<std::string> property_lines() const
    {
        std::vector<std::string> out;
        for (std::size_t k = 2; k < lines().size() && lines()[k] != " "; ++k)
            out.push_back(lines()[k]);
        return out;
    }
};

TEST_F(TablePage, AThreeColumnPageHasEveryRowWithThreeValues)
{
    columns(3);
    S.rep.ST(32, 1) = 0.0005000000123;
    S.rep.ST(32, 2) = 1.0000000123;
    S.rep.ST(32, 3) = 21.0456;
    S.rep.CC = 1;
    APAGE(S);
    const auto& l = lines();
    ASSERT_EQ(l.size(), 2u + 25 + 3 + 1 + 6);
    EXPECT_EQ(l[0], "");
    EXPECT_EQ(l[1], kDots);
    EXPECT_EQ(l[2], " : 1:ALFA:     1.10000:" + blanks(6) + "     1.20000:" + blanks(6) +
                        "     1.30000:");
    EXPECT_EQ(l[26], " :25:R25 :    25.10000:" + blanks(6) + "    25.20000:" + blanks(6) +
                         "    25.30000:");
    EXPECT_EQ(l[27], " ");
    EXPECT_EQ(l[28], "");
    EXPECT_EQ(l[29], "");
    EXPECT_EQ(l[30], "    H2O      1230.500E-03H2O      123 1.00    OH       4560.000E+00");
    EXPECT_EQ(l[31], " " + kDots);
    for (int i = 32; i < 37; ++i) EXPECT_EQ(l[i], "") << i;
    EXPECT_EQ(S.rep.NS(1), 123);
    EXPECT_EQ(S.rep.NS(2), 123);
    EXPECT_EQ(S.rep.NS(3), 456);
}

// A value too large for its F12.5 field is asterisks, then named after the page with its
// value and its point.
TEST_F(TablePage, AnOverflowingFieldIsNamedAfterThePage)
{
    columns(2);
    S.rep.ST(7, 2) = 2.5e20;
    S.rep.column_point(1, 2) = 3;
    S.rep.column_point(2, 2) = 1;
    S.rep.column_point(3, 2) = 2;
    APAGE(S);
    EXPECT_EQ(property_lines()[6], " : 7:R7  :     7.10000:" + blanks(6) + "************:");
    EXPECT_EQ(lines().back(),
              " *** FIELD OVERFLOW:    R7= 0.2500000E+21 (RATIO  3, CHAMBER PRESSURE  1, SECTION  2)");
    EXPECT_EQ(S.st.field_overflows, 1);
}

TEST_F(TablePage, PrintingClearsTheTable)
{
    columns(6);
    S.rep.ST(80, 6) = 1.0007;
    S.rep.CC = 2;
    APAGE(S);
    EXPECT_EQ(S.rep.CT, 1);
    EXPECT_EQ(S.rep.CC, 0);
    for (int j = 1; j <= 7; ++j)
        for (int i = 1; i <= 80; ++i) ASSERT_EQ(S.rep.ST(i, j), 0.0) << i << "," << j;
    EXPECT_EQ(property_lines()[0].size(), 1u + 1 + 2 + 1 + 4 + 1 + 6 * 13 + 5 * 6);
}

TEST_F(TablePage, AnEmptyTableWritesNothing)
{
    S.rep.CT = 1;
    S.rep.CC = 5;
    APAGE(S);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(S.rep.CC, 0);
}

TEST_F(TablePage, AGridPageHasNoNozzleRows)
{
    S.task.FIS = true;
    columns(2);
    APAGE(S);
    const auto rows = property_lines();
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows.back().substr(0, 10), " :18:R18 :");
}

TEST_F(TablePage, AGridPageWithIonsHasTheElectricalRowsOfAPoint)
{
    S.task.FIS = true;
    S.eq.MC(98) = 1e-5;
    columns(1);
    APAGE(S);
    const auto rows = property_lines();
    ASSERT_EQ(rows.size(), 18u + 4);
    EXPECT_EQ(rows[18], " :26:    :    26.10000:");
    EXPECT_EQ(rows[19].substr(0, 10), " :27:    :");
    EXPECT_EQ(rows[20].substr(0, 10), " :28:    :");
    EXPECT_EQ(rows[21], " :31:    :    31.10000:");
}

TEST_F(TablePage, ANozzlePageWithIonsHasAllElectricalRows)
{
    S.eq.MC(98) = 1e-5;
    columns(1);
    APAGE(S);
    const auto rows = property_lines();
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[19].substr(0, 10), " :20:R20 :");
    for (int i = 26; i <= 31; ++i)
        EXPECT_EQ(rows[i - 1].substr(0, 10), " :" + std::to_string(i) + ":    :") << i;
}

class CompositionRows : public TablePage {
protected:
    //! The composition line of row 1 after printing the given entries, one column each.
    std::string row(const std::vector<double>& entries)
    {
        columns(static_cast<int>(entries.size()));
        for (std::size_t j = 0; j < entries.size(); ++j)
            S.rep.ST(32, static_cast<long>(j + 1)) = entries[j];
        S.rep.CC = 1;
        APAGE(S);
        return lines()[lines().size() - 7];
    }
};

TEST_F(CompositionRows, ALogarithmicEntryKeepsItsLibraryNumber)
{
    // log10 fraction -19.99987, number 456: packed with the scale 0.1.
    const double m = 1999987;
    EXPECT_EQ(row({-(m + 0.0456) / 0.1 * 1e-6}), "    OH       456-20.0    ");
    EXPECT_EQ(S.rep.NS(1), 456);
}

TEST_F(CompositionRows, ANumberWithoutANameIsMarked)
{
    EXPECT_EQ(row({0.5000001500}), "    ?       15000.500    ");
}

TEST_F(CompositionRows, AnEmptyCellIsBlankAndEndsTheRowWhenNothingFollows)
{
    EXPECT_EQ(row({0.5000000007, 0.0, 0.2500000123, 0.0}),
              "    H2      " "   70.500    " + blanks(21) + "H2O      1230.250    ");
    EXPECT_EQ(S.rep.NS(2), 0);
    EXPECT_EQ(S.rep.NS(4), 0);
    // Neighbouring groups, then a blank cell inside the row.
    EXPECT_EQ(row({0.5000000007, 0.2500000123, 0.0, 0.5000000007}),
              "    H2      " "   70.500    " "H2O      1230.250    " + blanks(21) + "H2         70.500    ");
}

TEST_F(CompositionRows, LargeDigitStringsDecodeExactlyInSixtyFourBits)
{
    // log10 fraction -9.99999 with number 999: 99999900999 digits before the subtraction.
    row({-(9999990 + 0.0999) * 1e-6});
    EXPECT_EQ(S.rep.NS(1), 999);
}

}  // namespace
}  // namespace tev
