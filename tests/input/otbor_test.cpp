// Species selection: which records are kept, what is stored for them, how the lists are
// converted, and how short or faulty libraries end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/errors.h"
#include "core/library_format.h"
#include "core/sink.h"
#include "input/input.h"
#include "thermo/thermo.h"

namespace {

constexpr int kH = 1, kC = 6, kN = 7, kO = 8, kCl = 17, kE = 98;

// Library text in the ten-field, sixteen-column layout of the species files.
std::string library_text(const std::vector<double>& values)
{
    std::string text;
    char field[32];
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::snprintf(field, sizeof field, "%16.9E", values[i]);
        text += field;
        if (i % 10 == 9 || i + 1 == values.size()) text += '\n';
    }
    return text;
}

// One gas record: formula code, identification, a1..a9, packed collision parameters.
std::vector<double> gas(double code, double xf2, double a1 = 0.5, double packed = 0)
{
    return {code, xf2, a1, 1, 2, 3, 4, 5, 6, 7, 8, packed};
}

void append(std::vector<double>& to, const std::vector<double>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

using tev::libfmt::library_number;

// Reads the hand-made library of tests/data/selection: 15 gas records (H, C, N, O, Cl, e,
// H2O, CHO, CCl, N2, H+, OH-, NO, NO-, NO+) and 3 condensed records (C, NaCl, H2O).
class SpeciesSelection : public testing::Test {
protected:
    void SetUp() override
    {
        S = std::make_unique<tev::State>();
        r3.open(std::string(TEV_SOURCE_DIR) + "/tests/data/selection/r3_chon.id");
        r4.open(std::string(TEV_SOURCE_DIR) + "/tests/data/selection/r4_chon.id");
        ASSERT_TRUE(r3 && r4);
        sink.record = true;
        S->io.out = &sink;
        S->io.r3 = &r3;
        S->io.r4 = &r4;
        S->io.r3_name = "r3_chon.id";
        S->io.r4_name = "r4_chon.id";
        S->sp.NN = 15 * 12;
        S->sp.NNK = 43;
    }
    void select(std::initializer_list<int> elements)
    {
        S->eq.MC.fill(0);
        for (int e : elements) S->eq.MC(e) = 1.5;
        tev::OTBOR(*S);
    }
    std::vector<long> selected_numbers() const
    {
        std::vector<long> out;
        for (long k = 1; k <= S->sp.N; ++k) out.push_back(library_number(S->sp.XF2(k)));
        return out;
    }
    // Uses in-memory library text instead of the files.
    void use_library(const std::vector<double>& gases, const std::vector<double>& condensed)
    {
        mem3.str(library_text(gases));
        mem4.str(library_text(condensed));
        S->io.r3 = &mem3;
        S->io.r4 = &mem4;
        S->sp.NN = static_cast<int>(gases.size());
    }
    std::unique_ptr<tev::State> S;
    std::ifstream r3, r4;
    std::istringstream mem3, mem4;
    tev::Sink sink{nullptr, nullptr};
};

TEST_F(SpeciesSelection, PropellantOfCarbonHydrogenNitrogenOxygenSkipsOtherElements)
{
    select({kH, kC, kN, kO});
    EXPECT_EQ(selected_numbers(), (std::vector<long>{2, 6, 7, 8, 120, 130, 150, 2004, 2100, 2120}));
    EXPECT_EQ(sink.recorded,
              (std::vector<std::string>{" NG=    8", " N=    10NG=     8RK=    20"}));
    for (long k = 1; k <= S->sp.NG; ++k) EXPECT_EQ(S->sp.KIND(k), 0) << "gas " << k;
    // Formula code 80601 (H, C, O) needs all three elements.
    EXPECT_EQ(S->sp.XF1(6), 80601);
    select({kH, kN, kO});
    EXPECT_EQ(selected_numbers(), (std::vector<long>{2, 7, 8, 120, 150, 2004, 2120}));
}

TEST_F(SpeciesSelection, AnElementWithoutItsSingleAtomGasIsATaskFault)
{
    // Element 80 has no species in this library: a recipe entry whose element code slipped.
    try {
        select({kH, kO, 80});
        FAIL() << "no error";
    } catch (const tev::InputError& e) {
        EXPECT_EQ(e.unit, 5);
        EXPECT_NE(std::string(e.what()).find("element 80"), std::string::npos);
    }
}

TEST_F(SpeciesSelection, GasDataAreCompactedAndCollisionValuesUnpacked)
{
    select({kH, kC, kN, kO});
    // Water is gas 5 (library record 7): its a1 of 1.4e10 is a polynomial coefficient.
    EXPECT_EQ(S->sp.XF1(5), 801);
    EXPECT_EQ(S->sp.XF2(5), 12.0120);
    EXPECT_EQ(S->sp.A(37), 1.4e10);
    for (long j = 2; j <= 9; ++j) EXPECT_DOUBLE_EQ(S->sp.A(36 + j), 7 + j / 10.0);
    for (long j = 1; j <= 9; ++j) EXPECT_DOUBLE_EQ(S->sp.A(63 + j), 13 + j / 10.0);  // NO, gas 8
    EXPECT_EQ(S->sp.SG(7), 3798 * 0.0010000000474974513);  // N2: 379800710.0
    EXPECT_NEAR(S->sp.SG(7), 3.798, 1e-6);
    EXPECT_EQ(S->sp.EK(7), 71.0);
    EXPECT_DOUBLE_EQ(S->sp.EK(5), 80.9);  // H2O: 264100809.0
    EXPECT_EQ(S->sp.SG(1) + S->sp.EK(1), 0.0);  // no collision data
}

TEST_F(SpeciesSelection, CondensedRecordWithOneIntervalContributesSevenValues)
{
    select({kH, kC, kN, kO});
    EXPECT_EQ(S->sp.XF1(9), -6);
    EXPECT_EQ(S->sp.XF2(9), 1.21);
    const double graphite[] = {1, 4000, 0.1, 0.2, 0.3, 0.4, 0.5};
    for (long j = 1; j <= 7; ++j) EXPECT_EQ(S->sp.AK(j), graphite[j - 1]);
    // The skipped two-interval record (16 values) is stepped over to the water record.
    EXPECT_EQ(S->sp.XF1(10), -801);
    EXPECT_EQ(S->sp.AK(8), 2.0);
    EXPECT_EQ(S->sp.AK(9), 273.15);
    EXPECT_EQ(S->sp.AK(20), 4.5);
}

TEST_F(SpeciesSelection, IonParentsBecomeSpeciesIndicesWithTheirSign)
{
    select({kH, kC, kN, kO, kE});
    EXPECT_EQ(S->sp.NG, 13);
    EXPECT_EQ(S->sp.XF1(5), kE);
    // H+ of hydrogen, species 1: its reference 1e10 alone would read as a polynomial.
    EXPECT_EQ(S->sp.KIND(9), 1);
    EXPECT_EQ(S->sp.A(9 * 8 + 1), 1e10);
    // OH- of oxygen, species 4.
    EXPECT_EQ(S->sp.KIND(10), -1);
    EXPECT_EQ(S->sp.A(9 * 9 + 1), -4e10);
    // NO- and NO+ of NO (library number 2004, -2.004e13 and 2.004e13), species 11.
    EXPECT_EQ(S->sp.KIND(12), -1);
    EXPECT_EQ(S->sp.A(9 * 11 + 1), -11e10);
    EXPECT_EQ(S->sp.KIND(13), 1);
    EXPECT_EQ(S->sp.A(9 * 12 + 1), 11e10);
}

TEST_F(SpeciesSelection, IonOfTheFirstSpeciesIsEvaluatedAsAnIon)
{
    select({kH, kC, kN, kO, kE});
    auto& sp = S->sp;
    sp.M = 5;
    S->eq.R0 = tev::kR0;
    S->pt.T = 3000;
    tev::FUNC(*S);
    // H+ (species 9) takes its parent's entropy and heat capacity; read as a polynomial, its
    // a1 of 1e10 would give values beyond any gas.
    EXPECT_EQ(sp.S(9), sp.S(1));
    EXPECT_EQ(sp.CP(9), sp.CP(1));
    EXPECT_LT(std::fabs(sp.ENT(9)), 1e7);
}

TEST_F(SpeciesSelection, ListedSpeciesAreConvertedAfreshAtEverySelection)
{
    S->task.FHAC = true;
    S->task.HAC(1) = 120;
    S->task.HAC(2) = 2004;
    select({kH, kC, kN, kO});
    EXPECT_EQ(S->task.HAC(1), 5);
    EXPECT_EQ(S->task.HAC(2), 8);
    select({kH, kC, kN, kO, kE});
    EXPECT_EQ(S->task.HAC(1), 6);
    EXPECT_EQ(S->task.HAC(2), 11);
}

TEST_F(SpeciesSelection, ShortGasLibraryStopsAtItsLastFullRecordAndSaysSo)
{
    select({kH, kC, kN, kO});  // leaves compacted values behind in A
    std::ifstream full(std::string(TEV_SOURCE_DIR) + "/tests/data/selection/r3_chon.id");
    std::vector<double> first_seven;
    for (int i = 0; i < 7 * 12; ++i) {
        double x;
        full >> x;
        first_seven.push_back(x);
    }
    use_library(first_seven, {});
    S->sp.NN = 15 * 12;
    testing::internal::CaptureStderr();
    select({kH, kC, kN, kO});
    const std::string note = testing::internal::GetCapturedStderr();
    EXPECT_EQ(S->sp.NG, 5);  // H, C, N, O, H2O
    EXPECT_EQ(S->sp.N, 5);
    EXPECT_NE(note.find("holds 7 of the 15 gas records"), std::string::npos) << note;
}

// A run that keeps the libraries reads each file once: a later selection of other elements
// comes from the values of the first reading, exactly as a reading of the file would give.
TEST_F(SpeciesSelection, KeptLibrariesSelectAsTheFilesWould)
{
    select({kH, kO});
    select({kH, kC, kN, kO, kE});
    const auto fresh_numbers = selected_numbers();
    // The selected data: the coefficients of each gas, RK values of the condensed blocks (what lies beyond
    // them is no species' data).
    const auto selected = [&](const double* first, long count) {
        return std::vector<double>(first, first + count);
    };
    const auto fresh_A = selected(S->sp.A.data(), tev::libfmt::kGasCoefficients * S->sp.NG);
    const auto fresh_AK = selected(S->sp.AK.data(), S->sp.RK);

    r3.close();
    r4.close();
    SetUp();
    S->io.keep_libraries = true;
    select({kH, kO});
    r3.close();  // nothing more to read: the kept values must serve
    r4.close();
    select({kH, kC, kN, kO, kE});
    EXPECT_EQ(selected_numbers(), fresh_numbers);
    EXPECT_EQ(selected(S->sp.A.data(), tev::libfmt::kGasCoefficients * S->sp.NG), fresh_A);
    EXPECT_EQ(selected(S->sp.AK.data(), S->sp.RK), fresh_AK);
}

// A selection of library numbers 5, 12, 33, 57; number 20 (chlorine) is not selected.
class ListWalks : public SpeciesSelection {
protected:
    void SetUp() override
    {
        SpeciesSelection::SetUp();
        std::vector<double> lib;
        append(lib, gas(1, 1.0005));
        append(lib, gas(8, 1.0012));
        append(lib, gas(17, 1.0020));
        append(lib, gas(801, 12.0033));
        append(lib, gas(108, 11.0057));
        use_library(lib, {});
        S->sp.NNK = 0;
    }
};

TEST_F(ListWalks, CrossSectionListMarksTheSpeciesNotSelectedUntilTheSelectionEnds)
{
    S->lib.FQ(1) = 12;
    S->lib.FQ(2) = 40;
    S->lib.FQ(3) = 57;
    select({kH, kO});
    EXPECT_EQ(S->sp.NQ(1), 2);
    EXPECT_EQ(S->sp.NQ(2), 0);
    EXPECT_EQ(S->sp.NQ(3), 4);
    EXPECT_EQ(S->sp.D, 4);
    S->lib.FQ(2) = 99;
    S->sp.NQ(2) = 7;
    select({kH, kO});
    EXPECT_EQ(S->sp.NQ(2), 7);  // the species end before 99 is passed: not reached
    EXPECT_EQ(S->sp.D, 2);
}

TEST_F(ListWalks, AnUnselectedEntryIsDroppedAndTheWalkGoesOn)
{
    S->task.FSH = true;
    const auto walk = [&](std::vector<int> as_read) {
        S->task.SHY_LIB.fill(0);
        for (std::size_t i = 0; i < as_read.size(); ++i)
            S->task.SHY_LIB(static_cast<long>(i) + 1) = as_read[i];
        select({kH, kO});
        return std::vector<int>{S->task.SHY(1), S->task.SHY(2), S->task.SHY(3), S->task.SHY(4)};
    };
    EXPECT_EQ(walk({12, 57}), (std::vector<int>{2, 4, 0, 0}));      // all selected
    EXPECT_EQ(walk({12, 20, 57}), (std::vector<int>{2, 4, 0, 0}));  // 20 not selected
    EXPECT_EQ(walk({5, 20, 33, 99}), (std::vector<int>{1, 3, 0, 0}));
    EXPECT_EQ(walk({20, 21, 57}), (std::vector<int>{4, 0, 0, 0}));
    EXPECT_EQ(walk({12, 0, 57}), (std::vector<int>{2, 0, 0, 0}));   // 0 ends the list
}

class FaultyLibrary : public SpeciesSelection {
protected:
    std::string fault(std::initializer_list<int> elements)
    {
        try {
            select(elements);
        } catch (const tev::LibraryError& e) {
            return e.what();
        }
        return "no error";
    }
};

// The propellant's elements choose the species: an overflow is the task's fault (exit 2).
TEST_F(FaultyLibrary, MoreThanFiveHundredSpeciesAreAFaultOfTheTask)
{
    std::vector<double> lib;
    for (int r = 0; r < 501; ++r) append(lib, gas(1, 1.0002));
    use_library(lib, {});
    try {
        select({kH});
        FAIL() << "no error";
    } catch (const tev::InputError& e) {
        EXPECT_EQ(e.file, "topliw.dat");
        EXPECT_NE(e.detail.find("elements 1 select more than 500 species"), std::string::npos)
            << e.detail;
    }
}

TEST_F(FaultyLibrary, CondensedRecordRunningPastItsArrayIsRefused)
{
    std::vector<double> condensed(3600, 0.0);
    condensed[0] = 6;
    condensed[1] = 1.21;
    condensed[2] = 3700;
    use_library(gas(6, 1.0006), condensed);
    S->sp.NNK = 3070;
    EXPECT_NE(fault({kC}).find("runs past"), std::string::npos);
}

TEST_F(FaultyLibrary, IonWhoseParentIsNotSelectedIsRefused)
{
    std::vector<double> lib;
    append(lib, gas(1, 1.0002));
    append(lib, gas(98, 1.0098));
    append(lib, gas(9801, 11.0099, -3e10));  // H- naming library number 3 as its parent
    use_library(lib, {});
    EXPECT_NE(fault({kH, kE}).find("parent (library number 3)"), std::string::npos);
}

TEST_F(FaultyLibrary, CondensedRecordWithoutWholeIntervalsIsRefused)
{
    use_library(gas(6, 1.0006), {6, 1.21, 8, 1, 4000, 1, 2, 3, 4, 5, 6});
    EXPECT_NE(fault({kC}).find("whole temperature intervals"), std::string::npos);
}

TEST_F(FaultyLibrary, ShortCondensedLibraryEndsTheSelectionWithANote)
{
    S->sp.NNK = 3070;
    testing::internal::CaptureStderr();
    select({kH, kC, kN, kO});
    const std::string note = testing::internal::GetCapturedStderr();
    EXPECT_EQ(S->sp.N, 10);
    EXPECT_NE(note.find("r4_chon.id"), std::string::npos) << note;
}

}  // namespace
