// The layout interpreter: number editing, line structure, reversion, and fixed-column input.
#include "core/layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "core/errors.h"
#include "core/shortest_digits.h"

namespace tev {
namespace {

using ::testing::HasSubstr;

std::vector<Value> reals(std::initializer_list<double> xs)
{
    std::vector<Value> v;
    for (double x : xs) v.push_back(Value::real(x));
    return v;
}

class LayoutOut : public ::testing::Test {
protected:
    static std::string put(std::string_view layout, const std::vector<Value>& values)
    {
        const auto lines = write_layout(Layout(layout), values);
        EXPECT_EQ(lines.size(), 1u) << layout;
        return lines.empty() ? std::string() : lines.front();
    }
    static std::vector<std::string> lines(std::string_view layout, const std::vector<Value>& values)
    {
        return write_layout(Layout(layout), values);
    }
};

TEST_F(LayoutOut, FixedFieldWritesLeadingZeroAndRounds)
{
    EXPECT_EQ(put("(F5.3)", reals({0.8})), "0.800");
    EXPECT_EQ(put("(F6.2)", reals({2.71828})), "  2.72");
    EXPECT_EQ(put("(F8.3)", reals({-12.3456})), " -12.346");
    EXPECT_EQ(put("(F6.0)", reals({2048.8})), " 2049.");
    EXPECT_EQ(put("(F3.0)", reals({0.07})), " 0.");
}

TEST_F(LayoutOut, NumberTooWideBecomesAsterisks)
{
    EXPECT_EQ(put("(F6.0)", reals({1e6})), "******");
    EXPECT_EQ(put("(F3.1)", reals({123.0})), "***");
    EXPECT_EQ(put("(I2)", {Value::integer(100)}), "**");
}

TEST_F(LayoutOut, NegativeValueNeedingOneMoreColumnForItsLeadingZeroIsAsterisks)
{
    EXPECT_EQ(put("(F5.3)", reals({-0.8})), "*****");
    EXPECT_EQ(put("(F6.3)", reals({-0.8})), "-0.800");
}

TEST_F(LayoutOut, ZeroPrintsWithoutMinusSign)
{
    EXPECT_EQ(put("(F5.2)", reals({-0.0})), " 0.00");
    EXPECT_EQ(put("(F5.2)", reals({-0.001})), " 0.00");
    EXPECT_EQ(put("(E10.3)", reals({-0.0})), " 0.000E+00");
}

TEST_F(LayoutOut, RoundingUsesTheExactBinaryValue)
{
    // 0.125 is exact and lies halfway: it rounds to even like every correctly rounded
    // conversion; 2.675 is stored below its decimal text and rounds down.
    EXPECT_EQ(put("(F5.2)", reals({0.125})), " 0.12");
    EXPECT_EQ(put("(F5.2)", reals({2.675})), " 2.67");
    EXPECT_EQ(put("(F5.2)", reals({0.375})), " 0.38");
}

TEST_F(LayoutOut, ExponentFormStartsWithZeroPoint)
{
    EXPECT_EQ(put("(E15.8)", reals({2.0e8})), " 0.20000000E+09");
    EXPECT_EQ(put("(D15.8)", reals({-1.5e-3})), "-0.15000000D-02");
    EXPECT_EQ(put("(E10.3)", reals({0.0})), " 0.000E+00");
    EXPECT_EQ(put("(E10.3)", reals({9.9996})), " 0.100E+02");
}

TEST_F(LayoutOut, ThreeDigitExponentDropsItsLetter)
{
    EXPECT_EQ(put("(E10.3)", reals({1e100})), " 0.100+101");
    EXPECT_EQ(put("(E12.3)", reals({1e-100})), "   0.100E-99");
    EXPECT_EQ(put("(D12.3)", reals({2.5e-200})), "   0.250-199");
}

TEST_F(LayoutOut, GeneralFormChoosesFixedOrExponentByMagnitude)
{
    EXPECT_EQ(put("(G9.3)", reals({0.5})), "0.500    ");
    EXPECT_EQ(put("(G9.3)", reals({0.05})), "0.500E-01");
    EXPECT_EQ(put("(G9.3)", reals({0.9995})), " 1.00    ");
    EXPECT_EQ(put("(G9.3)", reals({12.345})), " 12.3    ");
    EXPECT_EQ(put("(G9.3)", reals({-1.5})), "-1.50    ");
    EXPECT_EQ(put("(G9.3)", reals({1234.0})), "0.123E+04");
    EXPECT_EQ(put("(G9.3)", reals({0.0})), "0.000E+00");
}

TEST_F(LayoutOut, GeneralFormOfAValueJustBelowTheLimitKeepsTheFixedForm)
{
    EXPECT_EQ(put("(G9.3)", reals({999.7})), "1000.    ");
}

TEST_F(LayoutOut, IntegersAndNamesAreRightJustified)
{
    EXPECT_EQ(put("(I5,I3)", {Value::integer(45), Value::integer(-7)}), "   45 -7");
    EXPECT_EQ(put("(A8,'|')", {Value::name("H2O")}), "     H2O|");
    EXPECT_EQ(put("(A4)", {Value::name("ABCDEFG")}), "ABCD");
    EXPECT_EQ(put("(A4,'|')", {Value::name("AB  ")}), "AB  |");
}

TEST_F(LayoutOut, TextKeepsItsBytesAndDoubledQuotes)
{
    const std::string cyr = "TA\x81\x8B\x88\x96" "A";  // code page 866 letters
    EXPECT_EQ(put("('" + cyr + "')", {}), cyr);
    EXPECT_EQ(put("('it''s',2X,'x')", {}), "it's  x");
}

TEST_F(LayoutOut, TextOnlyLayoutIsWrittenOnceWithItsLineEnds)
{
    const auto l = lines("(' ', 120('-'), 8(/), 'TITLE', 5(/), 120('.'))", {});
    ASSERT_EQ(l.size(), 14u);
    EXPECT_EQ(l[0], " " + std::string(120, '-'));
    for (int k = 1; k <= 7; ++k) EXPECT_EQ(l[k], "");
    EXPECT_EQ(l[8], "TITLE");
    EXPECT_EQ(l[13], std::string(120, '.'));
}

TEST_F(LayoutOut, BlankBeforeASlashIsWritten)
{
    EXPECT_EQ(lines("(1X, /)", {}), (std::vector<std::string>{" ", ""}));
    EXPECT_EQ(lines("(1X, /, /)", {}), (std::vector<std::string>{" ", "", ""}));
    EXPECT_EQ(lines("(5(/), 3('-'))", {}),
              (std::vector<std::string>{"", "", "", "", "", "---"}));
}

TEST_F(LayoutOut, RowEndsAtTheSeparatorAfterTheLastValue)
{
    const std::string row = "(1X,':',I2,':',A4,':',6(F12.5,':',6X))";
    std::vector<Value> v = {Value::integer(3), Value::name("T,K ")};
    for (double x : {1.0, 2.0, 3.0}) v.push_back(Value::real(x));
    EXPECT_EQ(put(row, v), " : 3:T,K :     1.00000:           2.00000:           3.00000:");
    for (double x : {4.0, 5.0, 6.0}) v.push_back(Value::real(x));
    const std::string full = put(row, v);
    EXPECT_EQ(full.size(), 10u + 6 * 13 + 5 * 6);
    EXPECT_EQ(full.back(), ':');
}

TEST_F(LayoutOut, MissingValuesEndTheLineAfterTheTextBeforeThem)
{
    EXPECT_EQ(put("(1X,'N=',I6,'NG=',I6)", {Value::integer(60)}), " N=    60NG=");
    EXPECT_EQ(put("('A=',F5.1)", {}), "A=");
}

TEST_F(LayoutOut, LeftoverValuesResumeAtTheLastTopLevelGroup)
{
    std::vector<Value> v;
    for (int k = 1; k <= 14; ++k) v.push_back(Value::real(k));
    const auto l = lines("(1X, 6(E15.8, 2X))", v);
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0].substr(0, 16), "  0.10000000E+01");
    EXPECT_EQ(l[0].size(), 1u + 6 * 15 + 5 * 2);
    EXPECT_EQ(l[1].substr(0, 15), " 0.70000000E+01");
    EXPECT_EQ(l[1].size(), 6u * 15 + 5 * 2);
    EXPECT_EQ(l[2], " 0.13000000E+02   0.14000000E+02");
}

TEST_F(LayoutOut, ReversionKeepsTheGroupRepeatCountAndSkipsItemsBeforeIt)
{
    const auto l = lines("('H',I2,2(I3),'|')", {Value::integer(1), Value::integer(2),
                                                 Value::integer(3), Value::integer(4),
                                                 Value::integer(5)});
    EXPECT_EQ(l, (std::vector<std::string>{"H 1  2  3|", "  4  5|"}));
    // Texts on both sides of the resume point: a new line starts at the group's own text.
    EXPECT_EQ(lines("('x',2('y',I2,'z'))", {Value::integer(1), Value::integer(2), Value::integer(3)}),
              (std::vector<std::string>{"xy 1zy 2z", "y 3zy"}));
}

TEST_F(LayoutOut, LayoutWithoutGroupResumesAtItsFirstItem)
{
    const auto l = lines("(I2,'-',I2)", {Value::integer(1), Value::integer(2), Value::integer(3)});
    EXPECT_EQ(l, (std::vector<std::string>{" 1- 2", " 3-"}));
}

TEST_F(LayoutOut, RepeatCountOnASingleItem)
{
    EXPECT_EQ(put("(3F4.1)", reals({1, 2, 3})), " 1.0 2.0 3.0");
}

TEST_F(LayoutOut, MalformedLayoutIsAProgrammingError)
{
    EXPECT_THROW(Layout("(F5.3"), std::logic_error);
    EXPECT_THROW(Layout("(Q5)"), std::logic_error);
    EXPECT_THROW(Layout("(E10)"), std::logic_error);
    EXPECT_THROW(Layout("('abc)"), std::logic_error);
    EXPECT_THROW(write_layout(Layout("('x')"), reals({1.0})), std::logic_error);
}

TEST(LayoutFormat, SingleDescriptorHelpersMatchTheLayouts)
{
    EXPECT_EQ(format_real('F', 5, 3, 0.8), "0.800");
    EXPECT_EQ(format_real('E', 15, 8, 2.0e8), " 0.20000000E+09");
    EXPECT_EQ(format_real('G', 9, 3, 0.05), "0.500E-01");
    EXPECT_EQ(format_int(5, 45), "   45");
    EXPECT_EQ(format_int(2, -10), "**");
}

TEST(LayoutFormat, FieldsOfManySignificantDigitsKeepEveryDigit)
{
    EXPECT_EQ(format_real('E', 70, 60, 1.0 / 3),
              "    0.333333333333333314829616256247390992939472198486328125000000E+00");
    EXPECT_EQ(format_real('G', 70, 60, -2.0 / 3 * 1000),
              "    -666.666666666666628771054092794656753540039062500000000000000    ");
}

// ---------------------------------------------------------------------------------------------

class LayoutIn : public ::testing::Test {
protected:
    std::vector<double> read(const std::string& text, std::string_view layout, std::size_t n)
    {
        in.str(text);
        in.clear();
        RecordReader r(in, "test.dat", 7);
        return r.read_reals(Layout(layout), n);
    }
    std::istringstream in;
};

TEST_F(LayoutIn, ValuesContinueAcrossLinesWithReversion)
{
    std::vector<Value> v;
    for (int k = 0; k < 1188; ++k) v.push_back(Value::real(0.5 + k * 1.25e-3));
    const auto lines = write_layout(Layout("(7(D11.5))"), v);
    ASSERT_EQ(lines.size(), 170u);
    EXPECT_EQ(lines.back().size(), 5u * 11);
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    const auto back = read(text, "(7(D11.5))", 1188);
    ASSERT_EQ(back.size(), 1188u);
    for (std::size_t k = 0; k < 1188; ++k) {
        double printed = 0;
        ASSERT_TRUE(parse_real_field(format_real('D', 11, 5, v[k].r), printed));
        EXPECT_EQ(back[k], printed);
    }
}

TEST_F(LayoutIn, EachReadStartsOnANewLine)
{
    in.str("  1.0  2.0  3.0\n  4.0  5.0\n");
    RecordReader r(in, "test.dat", 7);
    EXPECT_EQ(r.read_reals(Layout("(3F5.1)"), 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(r.read_reals(Layout("(3F5.1)"), 1), (std::vector<double>{4}));
    EXPECT_EQ(r.line_number(), 2);
}

TEST_F(LayoutIn, ShortLineReadsItsMissingFieldsAsZero)
{
    EXPECT_EQ(read("  1.0\n  3.0  4.0\n", "(2F5.1)", 4), (std::vector<double>{1, 0, 3, 4}));
    EXPECT_EQ(read("\n7.5\n", "(F5.1)", 2), (std::vector<double>{0, 7.5}));
}

TEST_F(LayoutIn, ReversionOnInputSkipsItemsBeforeTheLastGroup)
{
    EXPECT_EQ(read("xx  1.0  2.0\n  3.0  4.0\n", "(2X,2(F5.1))", 4),
              (std::vector<double>{1, 2, 3, 4}));
}

TEST_F(LayoutIn, FieldsAreReadAsWritten)
{
    EXPECT_EQ(read(" 1.5D+02 -.25E-1  12     3.0-01 ", "(4F8.3)", 4),
              (std::vector<double>{150.0, -0.025, 12.0, 0.3}));
}

// Values read into the same places again are set afresh: no trace of the longer name before.
TEST_F(LayoutIn, IntegerAndNameFieldsKeepTheirColumns)
{
    in.str("12 abcd\n-3 e\n");
    RecordReader r(in, "lib/tab.id", 15);
    std::array<Value, 2> got;
    r.read(Layout("(I2,1X,A4)"), got);
    EXPECT_EQ(got[0].i, 12);
    EXPECT_EQ(got[1].s, "abcd");
    r.read(Layout("(I2,1X,A4)"), got);
    EXPECT_EQ(got[0].i, -3);
    EXPECT_EQ(got[1].s, "e   ");
}

TEST_F(LayoutIn, EndOfFileBeforeAllValuesIsAnInputError)
{
    in.str("  1.0  2.0\n");
    RecordReader r(in, "lib/fq.id", 10);
    std::vector<double> got;
    try {
        r.read(Layout("(2F5.1)"), 3, [&](std::size_t, const Value& v) { got.push_back(v.r); });
        FAIL() << "no error";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file, "lib/fq.id");
        EXPECT_EQ(e.unit, 10);
        EXPECT_EQ(e.statement, "READ");
        EXPECT_THAT(e.detail, HasSubstr("end of file"));
    }
    EXPECT_TRUE(r.at_end());
    EXPECT_EQ(got, (std::vector<double>{1, 2}));
}

// Reading to the end takes what the stream holds and says so without an error; a bad field is
// still one.
TEST_F(LayoutIn, ReadingToTheEndStopsQuietlyAtTheEndOfTheStream)
{
    in.str("  1.0  2.0\n  3.0  4.0\n");
    RecordReader r(in, "lib/r3.id", 3);
    std::vector<double> got;
    const auto take = [&](std::size_t, const Value& v) { got.push_back(v.r); };
    EXPECT_TRUE(r.read_to_end(Layout("(2F5.1)"), 2, take));
    EXPECT_FALSE(r.read_to_end(Layout("(2F5.1)"), 3, take));
    EXPECT_TRUE(r.at_end());
    EXPECT_EQ(got, (std::vector<double>{1, 2, 3, 4}));
    in.str("  1.0  x.5\n");
    in.clear();
    RecordReader bad(in, "lib/r3.id", 3);
    EXPECT_THROW(bad.read_to_end(Layout("(2F5.1)"), 2, take), InputError);
}

TEST_F(LayoutIn, FieldThatIsNotANumberNamesLineAndText)
{
    in.str("  1.0\n  2.0  x.5\n");
    RecordReader r(in, "lib/bq.id", 11);
    try {
        r.read_reals(Layout("(2F5.1)"), 4);
        FAIL() << "no error";
    } catch (const InputError& e) {
        EXPECT_THAT(e.detail, HasSubstr("line 2"));
        EXPECT_THAT(e.detail, HasSubstr("\"  x.5\""));
        EXPECT_FALSE(r.at_end());
    }
}

TEST_F(LayoutIn, RewindStartsAgainAtTheFirstLine)
{
    in.str("  1.0\n  2.0\n");
    RecordReader r(in, "lib/r3.id", 3);
    EXPECT_EQ(r.read_reals(Layout("(F5.1)"), 2), (std::vector<double>{1, 2}));
    EXPECT_THROW(r.read_reals(Layout("(F5.1)"), 1), InputError);
    r.rewind();
    EXPECT_EQ(r.read_reals(Layout("(F5.1)"), 1), (std::vector<double>{1}));
}

// Values go straight to the caller's array; taken() counts those stored before a bad field.
TEST_F(LayoutIn, RealsIntoAnArrayCountWhatWasTakenBeforeAFault)
{
    in.str("  1.0  2.0\r\n  3.0  x.5\n");
    RecordReader r(in, "lib/r3.id", 3);
    double out[4] = {-1, -1, -1, -1};
    EXPECT_THROW(r.read_reals(Layout("(2F5.1)"), 4, out, true), InputError);
    EXPECT_EQ(r.taken(), 3u);
    EXPECT_EQ(out[2], 3.0);
    EXPECT_EQ(out[3], -1.0);
}

// A stream that fails partway: the whole lines before the failure are read, then the failure
// is an input error (the half line it cut is not read as a short line).
TEST_F(LayoutIn, StreamThatFailsPartwayReportsItAfterItsWholeLines)
{
    struct Failing : std::streambuf {
        std::string text = "  1.0\n  2.0\n  3.";
        Failing() { setg(text.data(), text.data(), text.data() + text.size()); }
        int_type underflow() override { throw std::runtime_error("device error"); }
    } buf;
    std::istream failing(&buf);
    RecordReader r(failing, "lib/r4.id", 4);
    double out[3] = {};
    try {
        r.read_reals(Layout("(F5.1)"), 3, out, true);
        FAIL() << "no error";
    } catch (const InputError& e) {
        EXPECT_THAT(e.detail, HasSubstr("cannot be read"));
    }
    EXPECT_EQ(r.taken(), 2u);
    EXPECT_EQ(out[1], 2.0);
}

TEST(RealField, AcceptsFortranFormsAndRejectsOthers)
{
    double x = -1;
    EXPECT_TRUE(parse_real_field("     ", x));
    EXPECT_EQ(x, 0.0);
    EXPECT_TRUE(parse_real_field(" 0.12345678901234D+03", x));
    EXPECT_EQ(x, 123.45678901234);
    EXPECT_TRUE(parse_real_field("5.", x));
    EXPECT_EQ(x, 5.0);
    EXPECT_TRUE(parse_real_field("+.5e1", x));
    EXPECT_EQ(x, 5.0);
    EXPECT_TRUE(parse_real_field("1.0e-320", x));
    EXPECT_GT(x, 0.0);
    for (const char* bad : {"abc", "1.0E", "1.2.3", "--1", ".", "1e999", "1.0x"})
        EXPECT_FALSE(parse_real_field(bad, x)) << bad;
}

// Most fields are read exactly from their digits; every field must still come out as the
// correctly rounded value that the general reader gives, whatever its digits and exponent.
TEST(RealField, ReadsTheCorrectlyRoundedValueOfEveryDigitString)
{
    std::mt19937_64 rng(12);
    for (int t = 0; t < 200000; ++t) {
        std::string text = rng() % 3 == 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(rng() % 24);
        const int point = static_cast<int>(rng() % (digits + 1));
        for (int i = 0; i < digits; ++i) {
            if (i == point) text += '.';
            text += static_cast<char>('0' + rng() % 10);
        }
        // Exponents near the digits' own scale mostly, the whole range of doubles too.
        const long exponent = rng() % 2 ? static_cast<long>(rng() % 61) - 30
                                        : static_cast<long>(rng() % 640) - 330;
        // The tables' form too: one digit before the point, a signed two-digit exponent.
        if (rng() % 2 == 0 && point == 1 && exponent > -100 && exponent < 100)
            text += (exponent < 0 ? "e-" : "e+") + std::string(std::labs(exponent) < 10 ? "0" : "") +
                    std::to_string(std::labs(exponent));
        else if (rng() % 4 != 0)
            text += "e" + std::to_string(exponent);
        // The C library's reader rounds correctly, subnormals included.
        const double expected = std::strtod(text.c_str(), nullptr);
        std::string fortran = "  " + text;  // blanks before, a D exponent
        // Sixteen columns, as the species libraries hold their numbers, in half the cases.
        if (fortran.size() > 16 && fortran.size() <= 18 && rng() % 2 == 0)
            fortran.erase(0, fortran.size() - 16);
        // Eleven, as the cross-section table holds them.
        if (fortran.size() > 11 && fortran.size() <= 13 && rng() % 2 == 0)
            fortran.erase(0, fortran.size() - 11);
        if (const auto e = fortran.find('e'); e != std::string::npos) fortran[e] = 'D';
        double x = 12345;
        if (!std::isfinite(expected)) {
            ASSERT_FALSE(parse_real_field(fortran, x)) << fortran;
            continue;
        }
        ASSERT_TRUE(parse_real_field(fortran, x)) << fortran;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(x), std::bit_cast<std::uint64_t>(expected))
            << fortran;
    }
}

// The shortest text is defined by search: the fewest correctly rounded digits whose E form reads
// back, fixed notation when that reads back too within 1e-3 <= |x| < 1e15. The writer takes a
// shortcut through the shortest round-trip digits; powers of two, values with one fraction bit
// (taken apart from the rest), integers, tiny and huge values and random bit patterns must all
// give the searched text.
TEST(ShortestReal, MatchesTheSearchedDefinition)
{
    auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(' '));
        return s;
    };
    auto searched = [&](double x) {
        for (int d = 1; d <= 17; ++d) {
            const std::string e_form = trim(format_real('E', d + 8, d, x));
            double back = 0;
            if (!parse_real_field(e_form, back) || back != x) continue;
            // 0.ddddE+XX or 0.dddd+XXX: the exponent of the rounded value's first digit
            std::string ex = e_form.substr(e_form.find('.') + 1 + d);
            if (ex[0] == 'E') ex.erase(0, 1);
            const int rounded_e = std::stoi(ex) - 1;
            if (rounded_e >= -3 && rounded_e < 15) {
                const std::string f = trim(format_real('F', 40, std::max(1, d - 1 - rounded_e), x));
                if (parse_real_field(f, back) && back == x) return f;
            }
            return e_form;
        }
        return std::string("none");
    };
    std::vector<double> values = {1.0, -1.0, 0.5, 2.0, 1024.0, 0.1, 1e-3, 9.9999e-4, 1e15, 999999999999999.9,
                                  5e-324, 1.7976931348623157e308, 3000.0, -4470.5042, 0.125, 1e22, 1e23,
                                  1.5, -0.75, 3.0, 1.0000000000000002, 1e-323};
    for (int k = -1074; k <= 1023; ++k) values.push_back(std::ldexp(1.0, k));
    std::mt19937_64 rng(7);
    for (int t = 0; t < 30000; ++t) {
        const double x = std::bit_cast<double>(rng());
        if (std::isfinite(x)) values.push_back(x);
        values.push_back(std::ldexp(static_cast<double>(rng() % 100000), static_cast<int>(rng() % 80) - 40));
    }
    for (const double x : values)
        ASSERT_EQ(shortest_real(x), searched(x)) << std::bit_cast<std::uint64_t>(x);
    EXPECT_EQ(shortest_real(0.0), "0.0");
}

// The shortest digits are computed without the standard conversion; they must be its digits
// exactly: over random bit patterns, subnormals, powers of two and their neighbours (where the
// interval of reals that round to x is lopsided), the extremes, integers, and short decimals
// whose digits end in zeros.
TEST(ShortestReal, DigitsAreThoseOfTheStandardShortestConversion)
{
    // Infinities, not-a-numbers and zeros pass: the routine is not for them.
    auto check = [](double x) -> ::testing::AssertionResult {
        if (!std::isfinite(x) || x == 0) return ::testing::AssertionSuccess();
        char buf[40];
        char* const last = std::to_chars(buf, buf + 32, std::fabs(x), std::chars_format::scientific).ptr;
        *last = '\0';
        std::uint64_t significand = 0;
        int decimals = 0;
        const char* c = buf;
        for (bool after_point = false; *c != 'e'; ++c) {
            if (*c == '.') {
                after_point = true;
                continue;
            }
            significand = significand * 10 + static_cast<std::uint64_t>(*c - '0');
            decimals += after_point;
        }
        const DecimalDigits d = shortest_digits(x);
        if (d.significand == significand && d.exponent == std::atoi(c + 1) - decimals)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << buf << " but " << d.significand << "e" << d.exponent
                                             << " for bits " << std::bit_cast<std::uint64_t>(x);
    };
    std::mt19937_64 rng(12);
    for (int t = 0; t < 2000000; ++t) ASSERT_TRUE(check(std::bit_cast<double>(rng())));
    for (std::uint64_t bits = 1; bits < 20000; ++bits)
        ASSERT_TRUE(check(std::bit_cast<double>(bits)));
    for (int t = 0; t < 100000; ++t)
        ASSERT_TRUE(check(std::bit_cast<double>(rng() & ((std::uint64_t{1} << 52) - 1))));
    for (int k = -1074; k <= 1023; ++k) {
        const double p = std::ldexp(1.0, k);
        for (const double x : {p, std::nextafter(p, 0.0), std::nextafter(p, HUGE_VAL), -3 * p})
            ASSERT_TRUE(check(x));
    }
    // The extremes, and the double whose value, scaled, lies nearest above an integer (2^-65.4).
    for (const double x : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(), 0x1.fffffffffffffp-1023,
                           std::ldexp(8887055249355788.0, 664)})
        ASSERT_TRUE(check(x));
    for (int n = 1; n <= 100000; ++n) ASSERT_TRUE(check(n));
    for (int t = 0; t < 100000; ++t)
        ASSERT_TRUE(check(static_cast<double>(rng() >> (11 + rng() % 50))));
    for (int e = -324; e <= 308; ++e)
        for (int m = 1; m < 1000; m += 1 + m / 50) {
            const std::string text = std::to_string(m) + "e" + std::to_string(e);
            ASSERT_TRUE(check(std::strtod(text.c_str(), nullptr)));
        }
}

//! The digits of every real field against the standard conversion of the exact binary value,
//! over random values of every magnitude and exact ties.
TEST(RealFields, DigitsMatchTheStandardConversion)
{
    auto fixed = [](double x, int d) {
        char buf[400];
        std::string s(buf, std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, d).ptr);
        if (d == 0) s += '.';
        if (s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
        return s;
    };
    // The d significant digits of |x| and the exponent of the first.
    auto significant = [](double x, int d, int& e) {
        char buf[64];
        const std::string s(buf, std::to_chars(buf, buf + sizeof buf, std::fabs(x),
                                               std::chars_format::scientific, d - 1).ptr);
        std::string digits = s.substr(0, s.find('e'));
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        e = std::stoi(s.substr(s.find('e') + 1));
        return digits;
    };
    auto exponent = [&](double x, int d) {
        int e = 0;
        const std::string digits = significant(x, d, e);
        const int exp10 = x == 0 ? 0 : e + 1;
        const std::string mag = std::to_string(std::abs(exp10));
        return std::string(x < 0 ? "-" : "") + "0." + digits + (mag.size() > 2 ? "" : "E") +
               (exp10 < 0 ? "-" : "+") + (mag.size() < 2 ? "0" : "") + mag;
    };
    auto general = [&](double x, int d) {
        const double ax = std::fabs(x);
        if (ax < 0.1 || ax >= std::pow(10.0, d)) return exponent(x, d);
        int e = 0;
        std::string digits = significant(x, d, e);
        if (e < 0) {
            digits = "0." + digits;
        } else if (e + 1 >= d) {
            digits += std::string(static_cast<std::size_t>(e + 1 - d), '0') + ".";
        } else {
            digits.insert(static_cast<std::size_t>(e + 1), ".");
        }
        return (x < 0 ? "-" : "") + digits + "    ";
    };
    auto trim = [](std::string s) { return s.erase(0, s.find_first_not_of(' ')); };
    std::mt19937_64 rng(11);
    std::vector<double> values = {0.0, -0.0, 0.5, 2.5, -0.125, 0.0625, 1e15, 9.9995, 0.99995,
                                  999.5, -99.95, 0.1};
    // Exact ties decided beyond the lower 64 bits of the scaled value (2^-21 in F20, 2^-25 in
    // E17), and their neighbours.
    for (const double tie : {std::ldexp(1.0, -21), std::ldexp(1.0, -25), std::ldexp(3.0, -24)})
        for (const double x : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1.0)})
            values.push_back(x);
    for (int t = 0; t < 2000; ++t) {
        const double x = std::bit_cast<double>(rng());
        if (std::isfinite(x)) values.push_back(x);
        // Mid-range values, and ties: an odd multiple of a power of two with few bits.
        values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 100));
        values.push_back(-std::ldexp(static_cast<double>(rng() % 2000 * 2 + 1), -static_cast<int>(rng() % 12)));
    }
    for (const double x : values) {
        for (int d = 0; d <= 20; ++d)
            ASSERT_EQ(trim(format_real('F', 420, d, x)), fixed(x, d)) << x << " F" << d;
        for (int d = 1; d <= 18; ++d) {
            ASSERT_EQ(trim(format_real('E', d + 12, d, x)), exponent(x, d)) << x << " E" << d;
            ASSERT_EQ(trim(format_real('G', d + 12, d, x)), general(x, d)) << x << " G" << d;
        }
    }
}

}  // namespace
}  // namespace tev
