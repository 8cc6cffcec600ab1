// The results report: performance figures, search tests, line-mode lines and page columns.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "report_fixture.h"
#include "report/results_table.h"
#include "report/texts.h"

namespace tev {
namespace {

using testing_report::ReportTest;

const std::string kDashes(120, '-');

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

//! The chamber line of the fixture's chamber point.
const std::string kChamberLine = " :" + blanks(16) + "   7.000" + " -1234.56" + "  " + " 3456." +
                                 "   " + "13.500" + "  4.5000" + "  2.1000" + blanks(43) +
                                 " 0.0000" + ":";

class LineMode : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        S.task.BP = 1;
    }
    //! A throat iterate at half the chamber pressure whose flow speed equals the sound speed.
    void throat_point()
    {
        chamber_point();
        nozzle_from_chamber();
        auto& pt = S.pt;
        pt.FKP = true;
        pt.PX = 0.4 * pt.PPK;
        pt.PY = 0.7 * pt.PPK;
        pt.PP = 0.5 * pt.PPK;
        pt.T = 3000;
        S.eq.IS = pt.HK - 500;
        S.eq.CPR = 4.0;
        S.eq.CPZ = 2.0;
        pt.WA = 44.720001220703125 * std::sqrt(500.0);
    }
};

TEST_F(LineMode, TheMassRatioIsRoundedToSinglePrecisionBeforeItIsPrinted)
{
    // The double product lies just below 1.0015, its single-precision neighbour above.
    S.task.KAPPA = 1.2518749999999996;
    const double h = 0.8 * S.task.KAPPA;
    ASSERT_LT(h, 1.0015);
    ASSERT_GT(static_cast<double>(static_cast<float>(h)), 1.0015);
    chamber_point();
    OUT(S);
    EXPECT_EQ(lines()[17], " : 0.800   1.002" + blanks(103) + ":");
}

TEST_F(LineMode, AFullPageIsClosedBeforeTheNextPointAndAFreshHeaderFollows)
{
    chamber_point();
    S.rep.AP = 1;
    S.rep.CC = 49;
    OUT(S);
    const auto& l = lines();
    ASSERT_EQ(l.size(), 6u + 18 + 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(l[i], "") << i;
    EXPECT_EQ(l[5], kDashes);  // the closing rule, without fillers
    EXPECT_EQ(l[6], " " + kDashes);
    EXPECT_EQ(l[24], kChamberLine);
    EXPECT_EQ(S.rep.CC, 8);
}

TEST_F(LineMode, APointOnAnOpenPageIsOneMoreCountedLine)
{
    chamber_point();
    S.rep.AP = 1;
    S.rep.CC = 48;
    OUT(S);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0], kChamberLine);
    EXPECT_EQ(S.rep.CC, 49);
}

TEST_F(LineMode, TheConvergedThroatLineShowsAreaRatioOne)
{
    throat_point();
    S.rep.CC = 20;
    S.rep.AP = 1;
    OUT(S);
    ASSERT_EQ(lines().size(), 1u);
    const std::string want = " :" + blanks(16) + "   3.500" + " -1734.56" + "  " + " 3000." +
                             "   " + "13.500" + "  4.0000" + "  2.0000" + "   " + "1.257" +
                             "  3695.4" + "  1000.0" + "  2847.7" + "  " + "   1.000" + "   " +
                             " 0.0000" + ":";
    EXPECT_EQ(lines()[0], want);
    EXPECT_EQ(lines()[0].size(), 121u);
    EXPECT_FALSE(S.pt.FKP);
    EXPECT_EQ(S.pt.PKP, S.pt.PP);
    EXPECT_EQ(S.pt.PX, 0.0);
    EXPECT_EQ(S.pt.PY, 0.0);
    EXPECT_NEAR(S.rep.BTMIN, 3695.4056439481037, 1e-9);
}

class Searches : public LineMode {};

TEST_F(Searches, AThroatIterateAwayFromSoundSpeedWritesNothingAndMovesTheBracket)
{
    throat_point();
    S.pt.WA *= 1.01;  // subsonic: the throat lies at a lower pressure
    S.rep.CC = 20;
    OUT(S);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(S.rep.CC, 20);
    EXPECT_TRUE(S.pt.FKP);
    EXPECT_EQ(S.pt.PY, S.pt.PP);
    EXPECT_EQ(S.pt.PX, 0.4 * S.pt.PPK);

    S.pt.WA /= 1.02;  // now supersonic
    S.pt.PP = 0.45 * S.pt.PPK;
    OUT(S);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(S.pt.PX, 0.45 * S.pt.PPK);
}

TEST_F(Searches, ANarrowBracketEndsTheThroatSearch)
{
    throat_point();
    S.pt.WA *= 1.01;
    S.pt.PX = 0.4995 * S.pt.PPK;
    S.rep.CC = 20;
    OUT(S);  // the bracket 0.4995..0.5 is within 0.1 % of its upper end
    EXPECT_EQ(lines().size(), 1u);
    EXPECT_FALSE(S.pt.FKP);
}

TEST_F(Searches, AnAreaRatioIterateLeavesItsSignedResidual)
{
    throat_point();
    OUT(S);  // the throat: flow complex of the propellant
    const double btmin = S.rep.BTMIN;
    sink->recorded.clear();
    S.task.FFF = true;
    S.pt.FA = 4;
    S.pt.DA = -1;
    S.pt.PX = 1e-19;
    S.pt.PY = 0;
    S.pt.PP = 0.9 * S.pt.PPK;
    S.pt.T = 3400;
    S.eq.IS = S.pt.HK - 50;
    OUT(S);
    const double W = 44.720001220703125 * std::sqrt(50.0);
    const double area = 8314.41015625 / 13.5 / W * 3400 / 0.9 / btmin;
    EXPECT_NEAR(S.rep.RR, -(4 - area), 1e-9);
    EXPECT_TRUE(lines().empty());

    // Within 0.1 % of the wanted ratio: reported, with the mean exponent in RR again.
    S.pt.FA = area * 1.0005;
    OUT(S);
    EXPECT_EQ(lines().size(), 1u);
    EXPECT_EQ(S.pt.PX, S.pt.PY);
    const double k3 = std::log(1 / 0.9) / std::log(1 / 0.9 * 3400 / 3456.4);
    EXPECT_NEAR(S.rep.RR, k3, 1e-12);
}

TEST_F(Searches, APointAtTheChamberPressureHasAnInfiniteAreaNotANumberlessOne)
{
    throat_point();
    OUT(S);
    S.task.FFF = true;
    S.pt.FA = 4;
    S.pt.DA = -1;
    S.pt.PX = 0.6 * S.pt.PPK;
    S.pt.PY = 0;
    S.pt.PP = S.pt.PPK;
    S.pt.T = S.pt.TK;
    S.eq.IS = S.pt.HK + 0.2;  // the temperature iteration ended a little above the chamber
    OUT(S);
    EXPECT_EQ(S.rep.RR, INFINITY);
    EXPECT_EQ(S.rep.PYD, 0.0);
}

class TableMode : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        S.task.BP = -1;
    }
};

TEST_F(TableMode, AConstantVolumeChamberShowsItsSpecificVolume)
{
    chamber_point();
    S.task.FV = true;
    OUT(S);
    EXPECT_DOUBLE_EQ(S.rep.ST(25, 1), 82.06305010256294 * 3456.4 / (S.pt.PP * 13.5));
}

TEST_F(TableMode, WithIonsTheElectricalRowsAreStored)
{
    chamber_point();
    nozzle_from_chamber();
    S.pt.FKP = false;
    S.rep.BTMIN = 2000;
    S.pt.PP = 0.1 * S.pt.PPK;
    S.pt.T = 2000;
    S.eq.IS = S.pt.HK - 2000;
    S.eq.MC(98) = 1e-6;
    S.tr.GG = 50;
    S.eq.NE = 4;
    OUT(S);
    const auto& ST = S.rep.ST;
    EXPECT_EQ(ST(26, 1), 50.0);
    EXPECT_EQ(ST(27, 1), 0.0);
    EXPECT_EQ(ST(28, 1), 4.0);
    const double W = 44.720001220703125 * std::sqrt(2000.0);
    EXPECT_DOUBLE_EQ(ST(21, 1), W);
    EXPECT_EQ(ST(29, 1), W * W * 50 * 9.999999974752427e-07);  // 1e-6 as a float
    EXPECT_DOUBLE_EQ(ST(30, 1), ST(29, 1) * ST(24, 1));
    EXPECT_EQ(ST(31, 1), 50.0 / 4 * 6.241459846496582);  // 6.24146 as a float
    // Area per unit mass flow and area ratio: the same flow complex, scaled.
    EXPECT_DOUBLE_EQ(ST(24, 1) * (S.pt.PPK * 10.132499694824219), ST(25, 1) * 2000);
}

TEST_F(TableMode, ThePageIsPrintedAfterTheSixthColumnAndTheSeventhStartsTheNext)
{
    chamber_point();
    composition({1.0}, {21.0123});
    for (int k = 1; k <= 6; ++k) {
        EXPECT_TRUE(lines().empty()) << k;
        S.pt.T = 3000 + k;
        OUT(S);
    }
    EXPECT_FALSE(lines().empty());
    EXPECT_EQ(S.rep.CT, 1);
    EXPECT_EQ(S.rep.ST(4, 1), 0.0);
    const auto printed = lines().size();
    S.pt.T = 3007;
    OUT(S);
    EXPECT_EQ(lines().size(), printed);
    EXPECT_EQ(S.rep.CT, 2);
    EXPECT_EQ(S.rep.ST(4, 1), 3007.0);
}

class Composition : public TableMode {
protected:
    void SetUp() override
    {
        TableMode::SetUp();
        chamber_point();
    }
    double entry(int i) const { return S.rep.ST(31 + i, 1); }
};

TEST_F(Composition, SmallAndWholeFractionsCarryTheLibraryNumberBehindSixDigits)
{
    composition({0.0005, 0.9995}, {21.0123, 1.0007});
    OUT(S);
    EXPECT_NEAR(entry(1), 0.9995000007, 1e-15);
    EXPECT_NEAR(entry(2), 0.0005000000123, 1e-18);
    EXPECT_EQ(S.rep.CC, 2);

    composition({0.0, 2.5}, {1.0007, 31.0123});
    OUT(S);
    EXPECT_NEAR(S.rep.ST(32, 2), 1.0000000123, 1e-15);
    EXPECT_EQ(S.rep.ST(33, 2), 1.0007);  // a zero amount keeps its identification value
}

TEST_F(Composition, ASpeciesOfZeroAmountIsStoredAsItsIdentificationValue)
{
    composition({1.0, 0.0}, {1.0007, -21.0456});
    OUT(S);
    EXPECT_EQ(entry(2), 21.0456);
}

TEST_F(Composition, TinyAndLogarithmicAmountsBecomeNegativeDecimalLogarithms)
{
    // 1e-20 of the total, and an amount held as its natural logarithm.
    composition({1.0, 1e-20, -60.0}, {1.0007, 1.0123, 1.0456});
    OUT(S);
    const double log1 = std::log(1e-20) * 0.43429168784125255;
    const double log2 = -60.0 * 0.43429168784125255;
    // -20.0 -> k = 1: -(m + 0.0123)/0.1*1e-6 with m = round(2.0e6)
    const double m1 = std::trunc(std::fabs(log1 * 0.1 * 1e6) + 0.5);
    EXPECT_NEAR(entry(2), -(m1 + 0.0123) / 0.1 * 1e-6, 1e-13);
    EXPECT_NEAR(entry(2), log1, 1e-5);
    EXPECT_NEAR(entry(3), log2, 1e-5);
    EXPECT_LT(entry(3), 0.0);
}

TEST_F(Composition, EqualAmountsKeepTheirOrderAfterTheSort)
{
    composition({0.1, 0.3, 0.3, 0.3}, {1.0001, 1.0002, 1.0003, 1.0004});
    OUT(S);
    EXPECT_EQ(S.eq.XR(1), 1.0002);
    EXPECT_EQ(S.eq.XR(2), 1.0003);
    EXPECT_EQ(S.eq.XR(3), 1.0004);
    EXPECT_EQ(S.eq.XR(4), 1.0001);
    EXPECT_NEAR(S.eq.PR(1), 0.3 / 1.0, 1e-15);
}

TEST_F(Composition, ListedSpeciesAreShownWithZeroAmount)
{
    composition({0.5, 0.3, 0.2}, {1.0001, 1.0002, 1.0003});
    S.task.FHAC = true;
    S.task.HAC(1) = 2;      // species 2; the list ends with 0
    S.tmp.DD = 0;           // whatever the scratch holds
    OUT(S);
    EXPECT_EQ(entry(3), 1.0002);
    EXPECT_NEAR(entry(1), 0.5 / 0.7 , 1e-6);
}

TEST_F(Composition, APageShowsTheRowsOfItsRichestColumn)
{
    composition({0.5, 0.3, 0.2}, {1.0001, 1.0002, 1.0003});
    OUT(S);
    composition({1.0}, {1.0001});
    OUT(S);
    EXPECT_EQ(S.rep.CC, 3);
    EXPECT_EQ(S.rep.ST(33, 2), 0.0);
}

// The results table keeps the label of a section between points: the same section given
// again with another value or form gets its own label.
TEST_F(ReportTest, ResultsTableLabelsASectionByItsValueAndFormOfThePoint)
{
    ResultsTable table;
    const PropertyRows rows{};
    S.pt.IPA = 1;
    S.task.FFF = true;
    S.task.PA(1) = 4;
    S.pt.DA = 1;
    table.record(S, PointKind::Section, rows, {});
    S.pt.DA = -1;
    table.record(S, PointKind::Section, rows, {});
    S.task.PA(1) = 2.5;
    table.record(S, PointKind::Section, rows, {});
    S.task.FFF = false;
    S.task.FE = true;
    table.record(S, PointKind::Section, rows, {});
    const std::string text = table.text();
    for (const char* row : {"\n1,section,ae/at 4,", "\n2,section,ae/at 4 subsonic,",
                            "\n3,section,ae/at 2.5 subsonic,", "\n4,section,pc/pe 2.5,"})
        EXPECT_NE(text.find(row), std::string::npos) << row << "\n" << text;
}

// A table much longer than the block it is written in comes out whole, every row once and
// in order.
TEST_F(ReportTest, ResultsTableLongerThanItsWriteBlockComesOutWhole)
{
    ResultsTable table;
    PropertyRows rows{};
    constexpr int kRows = 700;
    for (int i = 1; i <= kRows; ++i) {
        for (double& v : rows) v = i + 0.5;
        table.record(S, PointKind::Chamber, rows, {});
    }
    const std::string text = table.text();
    ASSERT_GT(text.size(), std::size_t{2} << 15);  // more than two blocks
    std::size_t at = text.find('\n') + 1;
    for (int i = 1; i <= kRows; ++i) {
        const std::string head = std::to_string(i) + ",chamber,";
        ASSERT_EQ(text.compare(at, head.size(), head), 0) << "row " << i;
        const std::size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        std::string value = ",";  // appended: GCC 12 at -O3 warns falsely on a prepend
        value += std::to_string(i) + ".5,";
        EXPECT_LT(text.find(value, at), end) << "row " << i;
        at = end + 1;
    }
    EXPECT_EQ(at, text.size());
}

}  // namespace
}  // namespace tev
