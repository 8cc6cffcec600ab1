// Initial composition: element balances, neutrality, ion starts, basis and molar masses.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "thermo/thermo.h"

namespace {

constexpr int kH = 1, kC = 6, kN = 7, kO = 8, kE = 98;
using Atoms = std::vector<std::pair<int, int>>;  // (element, count digit) in slot order

// H, C, N, O and the electron; H2O, CO2, NO+, OH-, H3O+ and condensed carbon.
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
        for (int e : {kH, kC, kN, kO, kE}) add({{e, 1}});
        add({{kH, 2}, {kO, 1}});
        add({{kC, 1}, {kO, 2}});
        add({{kN, 1}, {kO, 1}, {kE, 2}});
        add({{kO, 1}, {kH, 1}, {kE, 1}});
        add({{kH, 3}, {kO, 1}, {kE, 2}});
        add({{kC, 1}}, true);
        S->sp.M = 5;
        auto& MC = S->eq.MC;
        MC(kH) = 10.0;
        MC(kC) = 2.0;
        MC(kN) = 1.0;
        MC(kO) = 5.0;
        MC(kE) = 1e-20;
    }
    void add(const Atoms& atoms, bool condensed = false, long I = 0)
    {
        auto& sp = S->sp;
        if (I == 0) {
            I = ++sp.N;
            formulas.push_back(atoms);
        }
        formulas[static_cast<size_t>(I - 1)] = atoms;
        int code = 0, scale = 1;
        long counts = 0, digit = 1;
        for (auto [e, c] : atoms) {
            code += e * scale;
            counts += c * digit;
            scale *= 100;
            digit *= 10;
        }
        sp.XF1(I) = condensed ? -code : code;
        sp.XF2(I) = static_cast<double>(counts) + static_cast<double>(I) * 1e-4;
        if (!condensed) sp.NG = std::max<int>(sp.NG, static_cast<int>(I));
    }
    // Sum of amount times atoms of element j; the logarithmic form counts as nothing and the
    // electron digit 2 as -1.
    double element_total(int j) const
    {
        double sum = 0;
        for (long I = 1; I <= S->sp.N; ++I)
            for (auto [e, c] : formulas[static_cast<size_t>(I - 1)])
                if (e == j && S->eq.P(I) > 0) sum += S->eq.P(I) * ((e == kE && c == 2) ? -1 : c);
        return sum;
    }
    void expect_balanced() const
    {
        for (int j : {kH, kC, kN, kO})
            EXPECT_NEAR(element_total(j), S->eq.MC(j), 1e-13 * S->eq.MC(j)) << "element " << j;
    }
    std::unique_ptr<tev::State> S;
    std::vector<Atoms> formulas;
};

TEST_F(InitialComposition, StartMeetsEveryElementBalanceAndIsNeutral)
{
    tev::INITIA(*S);
    expect_balanced();
    EXPECT_NEAR(element_total(kE), 0.0, 1e-15);
    // Atoms over all formulas: H 7, C 3, N 2, O 7: the scarcest share is nitrogen's 1/2.
    EXPECT_EQ(S->eq.MIN, 0.5);
    for (long I : {6, 7, 8, 10, 11}) EXPECT_EQ(S->eq.P(I), 0.5) << "species " << I;
    EXPECT_EQ(S->eq.P(5), 2 * 0.5);  // one electron for each of NO+ and H3O+
    // Nitrogen is the smallest amount; the electron entry does not count.
    EXPECT_EQ(S->eq.MMC, 1.0 * 9.999999960041972e-13);
}

TEST_F(InitialComposition, NegativeIonStartsInLogarithmicFormAndReturnsItsAtoms)
{
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.P(9), -35.0);
    // Oxygen: 5 less the six shares of the other formulas, plus OH-'s share back; the basis
    // logarithms keep the amounts before the return.
    EXPECT_DOUBLE_EQ(S->eq.P(4), 5.0 - 6 * 0.5 + 0.5);
    EXPECT_DOUBLE_EQ(S->eq.LP(4), std::log(5.0 - 6 * 0.5));
    EXPECT_DOUBLE_EQ(S->eq.LP(5), 0.0);
}

TEST_F(InitialComposition, BasisIsTheSingleElementSpeciesWithTheIdentityInverse)
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
    EXPECT_EQ(S->eq.BLB(6, 6), 3.0);
}

TEST_F(InitialComposition, MolarMassCountsTheElectronOfAPositiveIonAsMissing)
{
    tev::INITIA(*S);
    const auto& MU = S->lib.MU;
    EXPECT_DOUBLE_EQ(S->eq.MK(6), 2 * MU(kH) + MU(kO));
    EXPECT_DOUBLE_EQ(S->eq.MK(8), MU(kN) + MU(kO) - MU(kE));
    EXPECT_DOUBLE_EQ(S->eq.MK(9), MU(kO) + MU(kH) + MU(kE));
}

TEST_F(InitialComposition, WithoutPositiveIonsTheElectronStartsAsAFiniteTrace)
{
    add({{kN, 1}, {kO, 1}}, false, 8);  // NO+ becomes NO
    add({{kH, 3}, {kO, 1}}, false, 10);  // H3O+ becomes H3O
    tev::INITIA(*S);
    const double pe = S->eq.P(5);
    EXPECT_TRUE(pe > 0 && std::isfinite(S->eq.LP(5)));
    EXPECT_EQ(S->eq.LP(5), std::log(pe));
    EXPECT_LE(pe, 1e-6 * S->eq.MIN);   // a trace against every element
    EXPECT_GT(pe, 1e3 * S->eq.MMC);    // far above what counts as insignificant
    expect_balanced();
}

TEST_F(InitialComposition, WithoutIonsEveryElementIsInTheBasis)
{
    S->eq.MC(kE) = 0;
    S->sp.M = 4;
    S->sp.N = 7;
    S->sp.NG = 7;
    add({{kO, 2}}, false, 5);  // the electron's place taken by O2
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.K, 4);
    // H 1+2 = 3, C 2, N 1, O 1+1+2+2 = 6: the shares 10/3, 1, 1, 5/6.
    EXPECT_DOUBLE_EQ(S->eq.MIN, 5.0 / 6.0);
    expect_balanced();
    S->eq.MC.fill(0);
    tev::INITIA(*S);
    EXPECT_EQ(S->eq.MMC, 1e10 * 9.999999960041972e-13);
}

TEST_F(InitialComposition, SelectionUnfitForABasisIsALibraryFault)
{
    const auto fault = [&]() -> std::string {
        try {
            tev::INITIA(*S);
        } catch (const tev::LibraryError& e) {
            return e.what();
        }
        return "no error";
    };
    S->sp.XF1(7) = kC + 100 * 17;  // chlorine, which has no species among 1..M
    EXPECT_NE(fault().find("element 17 of species 7"), std::string::npos);
    S->sp.XF1(7) = kC + 100 * kO;
    S->sp.M = 4;  // ions, but species M is not the electron
    EXPECT_NE(fault().find("not the electron"), std::string::npos);
    S->sp.M = 11;  // more elements than basis positions
    EXPECT_NE(fault().find("M = 11"), std::string::npos);
}

}  // namespace
