// The reactant table: made from NASA records (hand-made ones, and the shipped table regenerated
// byte for byte), written and read back unchanged, and searched by name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "compose/compose_error.h"
#include "compose/reactants.h"
#include "tools/mkreact.h"

namespace {

namespace fs = std::filesystem;
using namespace tev;

std::string bytes_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

mkreact::Table mini_table()
{
    std::ifstream in("tests/data/mklib/mini_thermo.inp");
    return mkreact::build_table(mklib::read_thermo(in));
}

TEST(ReactantGenerator, TakesTheReactantSectionFirstAndLeavesChargedSpeciesOut)
{
    const auto t = mini_table();
    std::vector<std::string> names;
    for (const auto& e : t.entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Fuel", "Ox(L)", "XO2", "Z2O3(a)", "Z2O3(L)", "Q2H6(L)"}));
    EXPECT_EQ(t.ions, 2);  // e- and XO+
    EXPECT_TRUE(t.entries[0].listed && t.entries[0].gas);
    EXPECT_FALSE(t.entries[2].listed);
    EXPECT_EQ(t.entries[3].formula, (std::vector<std::pair<int, double>>{{13, 2}, {8, 3}}));
}

TEST(ReactantGenerator, PlacesEachEntryAtItsDatabaseTemperature)
{
    const auto t = mini_table();
    // Data from 300 K: the record's own heat of formation at 298.15 K.
    EXPECT_EQ(t.entries[3].t, 298.15);
    EXPECT_EQ(t.entries[3].h, -1624853.375);
    // Data from 2327 K only: there, from the polynomial (Cp/R 19.6, b1 -200000).
    EXPECT_EQ(t.entries[4].t, 2327.0);
    EXPECT_NEAR(t.entries[4].h, 8.314510 * (19.6 * 2327.0 - 200000.0), 1e-6);
    // An assigned enthalpy keeps its temperature.
    EXPECT_EQ(t.entries[1].t, 90.17);
    EXPECT_EQ(t.entries[1].h, -12979.0);
    EXPECT_FALSE(reactant_enthalpy(t.entries[1], 298.15));
    EXPECT_FALSE(reactant_enthalpy(t.entries[4], 298.15));
    EXPECT_NEAR(*reactant_enthalpy(t.entries[2], 500), fit_enthalpy(t.entries[2].fits[0], 500), 0);
}

TEST(ReactantTable, ReadsBackWhatItWroteUnchanged)
{
    // Numbers are written in their shortest exact form: writing what was read gives the same text.
    const auto t = mini_table();
    std::stringstream first, second;
    write_reactant_table(first, {"a header"}, t.entries);
    const ReactantTable back = read_reactant_table(first, "mini");
    ASSERT_EQ(back.entries.size(), t.entries.size());
    write_reactant_table(second, {"a header"}, back.entries);
    EXPECT_EQ(second.str(), first.str());
    EXPECT_EQ(back.entries[4].fits[0].b1, t.entries[4].fits[0].b1);
}

TEST(ReactantTable, NamesTheLineOfAMalformedEntry)
{
    const std::string head = "# c\nname\tphase\tsource\tformula\tt_K\th_J_mol\tfits\n";
    const std::pair<std::string, std::string> bad[] = {
        {head + "X\tgas\treactant\tC 1\t298.15\tabc\t0\n", "t:3: enthalpy \"abc\" is not a number"},
        {head + "X\tplasma\treactant\tC 1\t298.15\t0\t0\n", "t:3: phase \"plasma\""},
        {head + "X\tgas\treactant\tQq 1\t298.15\t0\t0\n", "t:3: formula \"Qq 1\": Qq is not an element symbol"},
        {head + "X\tgas\treactant\tC 1\t298.15\t0\t1\n", "t:3: the file ends inside the fits"},
        {head + "\t1\t2\t3\n", "t:3: a fit line that belongs to no entry"},
        {"X\tgas\n", "t:1: the column header line is missing"},
    };
    for (const auto& [text, says] : bad) {
        std::istringstream in(text);
        try {
            read_reactant_table(in, "t");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ComposeError& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
    }
}

TEST(ReactantTable, FindsNamesInTheirCaseAndSuggestsNearOnes)
{
    std::ifstream in("lib/reactants.tsv", std::ios::binary);
    const ReactantTable t = read_reactant_table(in, "lib/reactants.tsv");
    EXPECT_EQ(t.named("rp-1").size(), 1u);
    EXPECT_EQ(t.named("CO").size(), 1u);  // carbon monoxide, not cobalt
    EXPECT_EQ(t.named("co").size(), 2u);
    EXPECT_EQ(t.named("n-Butanol").size(), 2u);  // gas and liquid share the NASA name
    auto first = [&](const char* q) {
        const auto n = t.near(q);
        return n.empty() ? std::string() : n.front();
    };
    EXPECT_EQ(first("UDMH"), "C2H8N2(L),UDMH");
    EXPECT_EQ(first("LOX"), "O2(L)");
    EXPECT_EQ(first("B(s)"), "B(b)");
    EXPECT_EQ(first("NH4CLO4"), "NH4CLO4(I)");
}

TEST(ReactantGenerator, RegeneratesTheShippedTableByteForByte)
{
    const std::string thermo = std::string(TEV_SOURCE_DIR) + "/../shared/data/nasa/thermo.inp";
    const std::string tool = std::string(TEV_BINARY_DIR) + "/mkreact";
    if (!fs::exists(thermo)) GTEST_SKIP() << "no source data at " << thermo;
    const fs::path out = fs::temp_directory_path() / ("reactants_" + std::to_string(::getpid()) + ".tsv");
    ASSERT_EQ(std::system((tool + " " + thermo + " " + out.string() + " > /dev/null").c_str()), 0);
    EXPECT_TRUE(bytes_of(out.string()) == bytes_of("lib/reactants.tsv"));
    fs::remove(out);
}

}  // namespace
