// The task composer: packed entries, ratios and section encodings against hand-computed values,
// and the faults of a deck, each named with its line.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "compose/compose.h"
#include "compose/compose_error.h"
#include "core/layout.h"
#include "core/state.h"
#include "input/input.h"

namespace {

using namespace tev;

//! The shipped library and reactant table, loaded once for all tests.
class Composer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        state_ = std::make_unique<State>().release();
        load_library(*state_, "lib");
        std::ifstream in("lib/reactants.tsv", std::ios::binary);
        table_ = new ReactantTable(read_reactant_table(in, "lib/reactants.tsv"));
    }
    static void TearDownTestSuite()
    {
        delete state_;
        delete table_;
    }

    static ComposedTask compose(const std::string& deck)
    {
        std::istringstream in(deck);
        return compose_task(read_deck(in, "test.deck"), *table_, state_->lib);
    }
    //! The values of the section opened by `marker`, up to the next marker.
    static std::vector<double> section(const ComposedTask& t, double marker)
    {
        std::vector<double> v;
        bool in = false;
        for (double x : t.values) {
            if (std::fabs(x) >= 900000) {
                if (in) break;
                in = x == marker;
                continue;
            }
            if (in) v.push_back(x);
        }
        return v;
    }
    //! The message of the fault a deck raises ("" when it composes).
    static std::string fault(const std::string& deck)
    {
        try {
            compose(deck);
        } catch (const ComposeError& e) {
            return e.what();
        }
        return "";
    }

    static State* state_;
    static ReactantTable* table_;
};
State* Composer::state_ = nullptr;
ReactantTable* Composer::table_ = nullptr;

const std::string kLoxRp1 = "fuel RP-1\noxidizer O2(L)\no/f 2.6\npc 10 MPa\n";

TEST(PackedEntries, CarrySixDigitsOfTheCountThenTheElementNumber)
{
    EXPECT_EQ(packed_atoms(2, 1, "x"), 2.0000001);
    EXPECT_EQ(packed_atoms(1.95, 1, "x"), 1.9500001);
    EXPECT_EQ(packed_atoms(12, 6, "x"), 12.000006);
    EXPECT_EQ(packed_atoms(0.063, 7, "x"), 0.063000007);
    EXPECT_EQ(packed_atoms(1e-7, 98, "x"), 1.0000098e-7);
    EXPECT_EQ(packed_atoms(124, 1, "x"), 124.00001);
    EXPECT_THROW(packed_atoms(1.1234567, 6, "x"), ComposeError);  // a seventh digit
}

TEST(PackedEntries, ClosingEnthalpiesKeepFourDecimalsAndPositiveOnesSixDigits)
{
    EXPECT_EQ(closing_entry(-9012.0 / 2.01588), -4470.5042);
    EXPECT_EQ(closing_entry(50380.0 / 32.04516), 1572.16);  // 1572.1563: a 7th digit would be a code
    EXPECT_EQ(closing_entry(123456.78), 123457.0);
    EXPECT_EQ(closing_entry(0.0), 0.0);
}

TEST_F(Composer, RecipesAndRatiosAreTheHandComputedOnes)
{
    const ComposedTask t = compose(kLoxRp1);
    // RP-1, C 1 H 1.95, -24717.7 J/mol over M = 12.0107 + 1.95 * 1.00794 g/mol.
    EXPECT_EQ(section(t, 5000000), (std::vector<double>{1.0000006, 1.9500001, -1768.5587}));
    EXPECT_EQ(section(t, 7000000), (std::vector<double>{2.0000008, -405.609}));
    // Valence per gram: fuel (4 + 1.95)/13.976183, oxygen 4/31.9988.
    const double kappa = (5.95 / 13.976183) / (4 / 31.9988);
    EXPECT_NEAR(t.kappa, kappa, 1e-12 * kappa);
    ASSERT_EQ(t.alfa.size(), 1u);
    EXPECT_NEAR(t.alfa[0], 2.6 / kappa, 1e-12);
    EXPECT_EQ(section(t, -1000000), t.alfa);  // table report by default
    EXPECT_EQ(section(t, 10000000), std::vector<double>{-1.0});  // equilibrium flow

    // The written text reads back, through the program's reader, as these very values.
    auto S = std::make_unique<State>();
    S->lib = state_->lib;
    std::istringstream in(t.text);
    S->io.task = &in;
    INPUT(*S);
    EXPECT_EQ(S->task.ALFA(1), t.alfa[0]);
    EXPECT_EQ(S->task.KAPPA, t.kappa);
    EXPECT_EQ(S->task.N1, static_cast<int>(t.values.size()));
}

TEST_F(Composer, MixturesGoByMassPercentAndComponentsByTemperature)
{
    const ComposedTask t = compose(
        "fuel RP-1\noxidizer H2O2(L) wt=90\noxidizer H2O(L) wt=10\nalpha 1.1\npc 5\n");
    EXPECT_EQ(section(t, 6000000), (std::vector<double>{0.9, 0.1}));
    EXPECT_EQ(section(t, 7000000),
              (std::vector<double>{2.0000001, 2.0000008, -5520.5576, 2.0000001, 1.0000008, -15865.976}));
    EXPECT_EQ(t.alfa, std::vector<double>{1.1});  // alpha is written as given

    // CH4 gas from its polynomials: they give its heat of formation back at 298.15 K, and its two
    // intervals meet at 1000 K; the composer writes that enthalpy per kilogram.
    const Reactant& ch4 = *table_->named("CH4").front();
    ASSERT_EQ(ch4.fits.size(), 2u);
    EXPECT_NEAR(fit_enthalpy(ch4.fits[0], 298.15), -74600.0, 0.01);
    EXPECT_NEAR(fit_enthalpy(ch4.fits[0], 1000), fit_enthalpy(ch4.fits[1], 1000), 1.0);
    const ComposedTask hot = compose("fuel CH4 t=1000\noxidizer O2\no/f 4\npc 1\n");
    EXPECT_EQ(section(hot, 5000000)[2],
              closing_entry(fit_enthalpy(ch4.fits[0], 1000) / (12.0107 + 4 * 1.00794)));
    // At 298.15 K the record's own heat of formation, even where the data begin at 300 K.
    const ComposedTask al = compose("fuel AL(cr)\noxidizer O2\no/f 1\npc 1\n");
    EXPECT_EQ(section(al, 5000000), (std::vector<double>{1.0000013, 0.0}));
}

TEST_F(Composer, StatementsGiveTheirMarkersAndSignedValues)
{
    // Units: bar and atm and psia become MPa; a pressure-ratio list takes the negative marker.
    EXPECT_EQ(section(compose(kLoxRp1 + "pc/pe 10 100\n"), -3000000), (std::vector<double>{10, 100}));
    const ComposedTask pe = compose("fuel RP-1\noxidizer O2(L)\no/f 2.6\npc 100 bar\npe 1 atm\n");
    EXPECT_EQ(section(pe, 2000000), std::vector<double>{10.0});
    EXPECT_EQ(section(pe, 3000000), std::vector<double>{0.101325});
    EXPECT_EQ(section(compose(kLoxRp1 + "pe 14.5 psia\n"), 3000000),
              std::vector<double>{14.5 * 0.006894757293168361});
    // Area ratios: a negative first value; a subsonic list that nothing smaller follows ends with
    // its last ratio again, so that the program takes the ones before it as subsonic.
    EXPECT_EQ(section(compose(kLoxRp1 + "ae/at subsonic 4 2\nae/at 10 40\n"), 3000000),
              (std::vector<double>{-4, 2, 2, 10, 40}));
    EXPECT_EQ(section(compose(kLoxRp1 + "ae/at subsonic 4 2\nae/at 1.5 10\n"), 3000000),
              (std::vector<double>{-4, 2, 1.5, 10}));
    // Temperatures: negative marker and negative first value.
    EXPECT_EQ(section(compose(kLoxRp1 + "t 2500 2000 K\n"), -3000000), (std::vector<double>{-2500, 2000}));
    // Report lines, constant volume, a freezing temperature.
    const ComposedTask v = compose(kLoxRp1 + "report lines\nconstant volume\nfrozen 2000 K\n");
    EXPECT_EQ(section(v, 1000000), v.alfa);
    EXPECT_EQ(section(v, -2000000), std::vector<double>{10});
    EXPECT_EQ(section(v, 10000000), std::vector<double>{2000});
    // A grid: negative first pressure, the temperatures as sections.
    const ComposedTask g = compose("fuel H2\noxidizer O2\nalpha 1\ngrid t 2000 3000 K p 0.1 1 MPa\n");
    EXPECT_EQ(section(g, 2000000), (std::vector<double>{-0.1, 1}));
    EXPECT_EQ(section(g, 3000000), (std::vector<double>{2000, 3000}));
    // Species by library number, increasing; omit makes the first one negative.
    const ComposedTask o = compose(kLoxRp1 + "omit OH H2O\n");
    const auto omitted = section(o, 9000000);
    ASSERT_EQ(omitted.size(), 2u);
    EXPECT_LT(omitted[0], 0);
    EXPECT_LT(-omitted[0], omitted[1]);
    EXPECT_EQ(state_->lib.KOM(static_cast<long>(-omitted[0])).s.substr(0, 3), "H2O");
}

TEST_F(Composer, ASinglePropellantHasNoRatioAndIonsAddTheElectron)
{
    const ComposedTask t = compose(
        "propellant NH4CLO4(I) wt=70\npropellant X formula=\"C 1 H 2\" h=-20 kJ/kg wt=30\n"
        "pc 7\nions\nreport lines\n");
    EXPECT_EQ(section(t, 1000000), std::vector<double>{0.0});  // the mode, no ratio
    EXPECT_TRUE(section(t, 6000000).empty());
    const auto e = section(t, 5000000);
    // N H Cl O of the perchlorate, the electron, its enthalpy; then the custom component.
    ASSERT_EQ(e.size(), 9u);
    EXPECT_EQ(e[4], 1.0000098e-7);
    EXPECT_EQ(e[5], closing_entry(-295767.0 / (14.0067 + 4 * 1.00794 + 35.453 + 4 * 15.9994)));
    EXPECT_EQ(e[8], -20.0);
}

TEST_F(Composer, FaultsNameTheLineAndWhatIsWrong)
{
    const struct {
        std::string deck;
        std::string says;
    } cases[] = {
        {"fuel UDMH\noxidizer O2(L)\no/f 2\npc 1\n", "test.deck:1: \"UDMH\" is not in the reactant table; did you mean C2H8N2(L),UDMH"},
        {"fuel RP-1\no/f 2\npc 1\n", "test.deck:1: a fuel without an oxidizer"},
        {"fuel RP-1\noxidizer O2(L)\npc 1\n", "no mixture ratio"},
        {"fuel RP-1\noxidizer O2(L)\no/f 2\n", "no chamber pressure"},
        {"fuel RP-1\noxidizer O2(L)\no/f 2\npc 10 kPa\n", "test.deck:4: pc: unknown unit \"kPa\""},
        {"fuel RP-1\noxidizer O2(L)\no/f 2\npc 4 MPa 8 MPa\n", "pc: the unit \"MPa\" stands once, after all the values"},
        {"fuel RP-1 wt=60\nfuel CH4(L) wt=30\noxidizer O2(L)\no/f 2\npc 1\n", "mass percents add up to 90, not 100"},
        {"fuel RP-1\nfuel CH4(L)\noxidizer O2(L)\no/f 2\npc 1\n", "test.deck:1: RP-1: a fuel of several components needs wt="},
        {"fuel RP-1\noxidizer O2(L)\no/f 2\npc 1\nflame 3\n", "test.deck:5: unknown statement \"flame\""},
        {"fuel co\noxidizer O2\no/f 2\npc 1\n", "stands for CO (gas, C 1 O 1), Co (gas, Co 1)"},
        {"fuel n-Butanol\noxidizer O2\no/f 2\npc 1\n", "add phase=gas or phase=condensed"},
        {"fuel H2(L) t=300\noxidizer O2(L)\no/f 2\npc 1\n", "H2(L) is known at 20.27 K only, not at 300 K"},
        {"fuel CH4 t=50\noxidizer O2(L)\no/f 2\npc 1\n", "CH4 has data from 200 to 6000 K, not at 50 K"},
        {"fuel O2(L)\noxidizer H2(L)\no/f 2\npc 1\n", "test.deck:1: the fuel has a total valence of -125.00469 per kilogram: it reduces nothing"},
        {"fuel H2(L)\noxidizer CH4(L)\no/f 2\npc 1\n", "test.deck:2: the oxidizer has a total valence of"},
        {"fuel X formula=\"C 1 Q 4\" h=1 kJ/mol\noxidizer O2\no/f 2\npc 1\n", "\"Q\" is not an element symbol"},
        {"fuel X formula=\"C 1.1234567\" h=1 kJ/mol\noxidizer O2\no/f 2\npc 1\n", "test.deck:1: X: atom count 1.1234567 has more than six"},
        {"fuel X formula=\"C 1\" h=1\noxidizer O2\no/f 2\npc 1\n", "h=1 needs a unit"},
        {kLoxRp1, ""},
        {kLoxRp1 + "ae/at 40 10\n", "test.deck:5: supersonic area ratios must increase"},
        {kLoxRp1 + "pe 20\n", "exit pressure 20 MPa is not below the chamber pressure 10 MPa"},
        {kLoxRp1 + "pc/pe 10\npe 0.1\n", "test.deck:6: the nozzle sections are already given on line 5"},
        {kLoxRp1 + "omit FOO\n", "\"FOO\" is not a species of lib/kom.id"},
        {"fuel RP-1\noxidizer O2(L)\no/f 2 -1\npc 1\n", "test.deck:3: o/f: -1 is not positive"},
        {"propellant RP-1\nfuel H2\npc 1\n", "either propellant, or fuel and oxidizer"},
        {"fuel H2\noxidizer N2\no/f 2\npc 1\n", "the program would reject the composed task"},
        {"fuel H2\noxidizer O2\no/f 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26\npc 1\n",
         "test.deck:3: 26 mixture ratios; a task holds 25"},
    };
    for (const auto& c : cases) {
        const std::string got = fault(c.deck);
        if (c.says.empty())
            EXPECT_EQ(got, "") << c.deck;
        else
            EXPECT_NE(got.find(c.says), std::string::npos) << c.deck << "\n  gave: " << got;
    }
}

}  // namespace
