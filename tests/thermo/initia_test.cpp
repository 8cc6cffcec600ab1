// Initial composition: element balances, neutrality, ion starts, basis and molar masses.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "thermo/thermo.h"

namespace {

constexpr int kH = 1, kC = 6, kN = 7, kO = 8, kE = 98;

// A species as the tests see it: its atoms by element, and whether it is condensed.
struct Formula {
    std::vector<std::pair<int, int>> atoms;  // (element, count digit) in formula slot order
    bool condensed = false;
};

class InitialComposition : public testing::Test {
protected:
    void SetUp() override
    {
        S = std::make_unique<tev::State>();
        auto& MU = S->lib.MU;
        MU(kH) = 1.00794;
        MU(kC) = 12.0107;
        MU(kN) = 14.0067;
        MU(kO) = 15.9994;
        MU(kE) = 0.000548579909;
    }
    // Appends a species: formula code in base 100, count digits, library number in the fraction.
    void add(const Formula& f)
    {
        auto& sp = S->sp;
        const long I = ++sp.N;
        int code = 0, scale = 1;
        long counts = 0, digit = 1;
        for (auto [e, c] : f.atoms) {
            code += e * scale;
            counts += c * digit;
            scale *= 100;
            digit *= 10;
        }
        sp.XF1(I) = f.condensed ? -code : code;
        sp.XF2(I) = static_cast<double>(counts) + static_cast<double>(I) * 1e-4;
        if (!f.condensed) sp.NG = static_cast<int>(I);
        formulas.push_back(f);
    }
    // Amount of species I as an amount (the logarithmic form counts as nothing).
    double amount(long I) const { return S->eq.P(I) > 0 ? S->eq.P(I) : 0.0; }
    // Sum over species of amount times atoms of element j (the electron digit 2 is -1).
    double element_total(int j) const
    {
        double sum = 0;
        for (long I = 1; I <= S->sp.N; ++I)
            for (auto [e, c] : formulas[static_cast<size_t>(I - 1)].atoms)
                if (e == j) sum += amount(I) * ((e == kE && c == 2) ? -1 : c);
        return sum;
    }
    std::unique_ptr<tev::State> S;
    std::vector<Formula> formulas;
};

// H, C, N, O and the electron; water, carbon dioxide, NO+, OH-, H3O+ and graphite.
class IonMixture : public InitialComposition {
protected:
    void SetUp() override
    {
        InitialComposition::SetUp();
        for (int e : {kH, kC, kN, kO, kE}) add({{{e, 1}}});
        add({{{kH, 2}, {kO, 1}}});             // 6 H2O
        add({{{kC, 1}, {kO, 2}}});             // 7 CO2
        add({{{kN, 1}, {kO, 1}, {kE, 2}}});    // 8 NO+
        add({{{kO, 1}, {kH, 1}, {kE, 1}}});    // 9 OH-
        add({{{kH, 3}, {kO, 1}, {kE, 2}}});    // 10 H3O+
        add({{{kC, 1}}, true});                // 11 graphite
        S->sp.M = 5;
        auto& MC = S->eq.MC;
        MC(kH) = 10.0;
        MC(kC) = 2.0;
        MC(kN) = 1.0;
        MC(kO) = 5.0;
        MC(kE) = 1e-20;
    }
};

TEST_F(IonMixture, StartMeetsEveryElementBalance)
{
    tev::INITIA(*S);
    for (int j : {kH, kC, kN, kO})
        EXPECT_NEAR(element_total(j), S->eq.MC(j), 1e-13 * S->eq.MC(j)) << "element " << j;
}

TEST_F(IonMixture, StartIsElectricallyNeutral)
{
    tev::INITIA(*S);
    EXPECT_NEAR(element_total(kE), 0.0, 1e-15);
    EXPECT_EQ(S->eq.P(5), 2 * S->eq.MIN);  // one electron for each of NO+ and H3O+
}

TEST_F(IonMixture, CommonAmountIsTheScarcestElementShare)
{
    // Atoms over all formulas: H 1+2+1+3 = 7, C 3, N 2, O 7: shares 10/7, 2/3, 1/2, 5/7.
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.MIN, 0.5);
    for (long I : {6, 7, 8, 10, 11}) EXPECT_EQ(S->eq.P(I), 0.5) << "species " << I;
}

TEST_F(IonMixture, NegativeIonStartsInLogarithmicFormAndReturnsItsAtoms)
{
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.P(9), -35.0);
    // Oxygen: 5 less its share in H2O, CO2 x2, NO+, OH-, H3O+ (6 x MIN), plus OH-'s back.
    EXPECT_DOUBLE_EQ(S->eq.P(4), 5.0 - 6 * 0.5 + 0.5);
    // The logarithms of the basis keep the amounts before the return.
    EXPECT_DOUBLE_EQ(S->eq.LP(4), std::log(5.0 - 6 * 0.5));
    EXPECT_DOUBLE_EQ(S->eq.LP(5), std::log(1.0));
}

TEST_F(IonMixture, BasisIsTheSingleElementSpeciesWithTheIdentityInverse)
{
    S->sp.XF2(7) = -S->sp.XF2(7);  // a basis mark left from an earlier point
    S->eq.BLB.fill(3.0);
    S->eq.FPP = true;
    tev::INITIA(*S);
    EXPECT_FALSE(S->eq.FPP);
    EXPECT_EQ(S->eq.K, 4);
    for (long I = 1; I <= 11; ++I) EXPECT_EQ(S->sp.XF2(I) < 0, I <= 5) << "species " << I;
    for (long i = 1; i <= 5; ++i) {
        EXPECT_EQ(S->eq.A5(i), static_cast<double>(i));
        for (long j = 1; j <= 5; ++j) EXPECT_EQ(S->eq.BLB(i, j), i == j ? 1.0 : 0.0);
    }
    EXPECT_EQ(S->eq.BLB(6, 6), 3.0);  // outside the basis block nothing is touched
}

TEST_F(IonMixture, MolarMassCountsTheElectronOfAPositiveIonAsMissing)
{
    tev::INITIA(*S);
    const auto& MU = S->lib.MU;
    EXPECT_DOUBLE_EQ(S->eq.MK(6), 2 * MU(kH) + MU(kO));
    EXPECT_DOUBLE_EQ(S->eq.MK(8), MU(kN) + MU(kO) - MU(kE));
    EXPECT_DOUBLE_EQ(S->eq.MK(9), MU(kO) + MU(kH) + MU(kE));
    EXPECT_DOUBLE_EQ(S->eq.MK(5), MU(kE));
}

TEST_F(IonMixture, SmallestSignificantAmountIgnoresTheElectronEntry)
{
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.MMC, 1.0 * 9.999999960041972e-13);  // nitrogen, not the electron's 1e-20
}

TEST_F(IonMixture, WithoutPositiveIonsTheElectronStartsAsAFiniteTrace)
{
    // Turn NO+ and H3O+ into neutral NO and H3O: only the negative ion is charged.
    S->sp.XF1(8) = kN + 100 * kO;
    S->sp.XF2(8) = 11.0008;
    formulas[7] = {{{kN, 1}, {kO, 1}}};
    S->sp.XF1(10) = kH + 100 * kO;
    S->sp.XF2(10) = 13.0010;
    formulas[9] = {{{kH, 3}, {kO, 1}}};
    tev::INITIA(*S);
    const double pe = S->eq.P(5);
    EXPECT_GT(pe, 0.0);
    EXPECT_TRUE(std::isfinite(S->eq.LP(5)));
    EXPECT_EQ(S->eq.LP(5), std::log(pe));
    // A trace against every element, well above what counts as significant.
    EXPECT_LE(pe, 1e-6 * S->eq.MIN);
    EXPECT_GT(pe, 1e3 * S->eq.MMC);
    for (int j : {kH, kC, kN, kO})
        EXPECT_NEAR(element_total(j), S->eq.MC(j), 1e-13 * S->eq.MC(j)) << "element " << j;
}

TEST_F(IonMixture, FormulaElementWithoutItsSpeciesIsALibraryFault)
{
    S->sp.XF1(7) = kC + 100 * 17;  // carbon and chlorine, which has no species among 1..M
    try {
        tev::INITIA(*S);
        FAIL() << "no error";
    } catch (const tev::LibraryError& e) {
        EXPECT_NE(std::string(e.what()).find("element 17 of species 7"), std::string::npos)
            << e.what();
    }
}

TEST_F(IonMixture, IonsWithoutTheElectronLastAmongTheElementsAreALibraryFault)
{
    S->sp.M = 4;
    EXPECT_THROW(tev::INITIA(*S), tev::LibraryError);
}

TEST_F(IonMixture, MoreElementsThanBasisPositionsAreRefused)
{
    S->sp.M = 11;
    EXPECT_THROW(tev::INITIA(*S), tev::LibraryError);
}

class NeutralMixture : public InitialComposition {
protected:
    void SetUp() override
    {
        InitialComposition::SetUp();
        add({{{kH, 1}}});
        add({{{kO, 1}}});
        add({{{kH, 2}, {kO, 1}}});  // H2O
        add({{{kO, 1}, {kH, 1}}});  // OH
        add({{{kO, 2}}});           // O2
        add({{{kH, 2}}});           // H2
        S->sp.M = 2;
        S->eq.MC(kH) = 111.0;
        S->eq.MC(kO) = 55.5;
    }
};

TEST_F(NeutralMixture, EveryElementIsInTheBasisAndOthersStartAlike)
{
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.K, 2);
    // H: 1+2+1+2 = 6 atoms, O: 1+1+1+2 = 5: MIN = min(111/6, 55.5/5) = 11.1.
    EXPECT_DOUBLE_EQ(S->eq.MIN, 11.1);
    for (long I = 3; I <= 6; ++I) EXPECT_EQ(S->eq.P(I), S->eq.MIN) << "species " << I;
    for (int j : {kH, kO})
        EXPECT_NEAR(element_total(j), S->eq.MC(j), 1e-13 * S->eq.MC(j)) << "element " << j;
    EXPECT_EQ(S->eq.LP(1), std::log(S->eq.P(1)));
}

TEST_F(NeutralMixture, WithoutAnyElementAmountTheSmallestAmountIsAboutOneHundredth)
{
    S->eq.MC(kH) = 0;
    S->eq.MC(kO) = 0;
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.MMC, 1e10 * 9.999999960041972e-13);
}

}  // namespace
