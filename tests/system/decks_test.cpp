// Whole runs from decks: tevalin-task composes the task, tevalin runs it. The decks of the shipped
// examples give their blessed reports byte for byte; every example deck runs to its end and agrees
// with NASA CEA where a case of the same propellant exists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/system/cea_reference.h"
#include "tests/support/files.h"
#include "tests/system/report_reader.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = TEV_SOURCE_DIR;
const fs::path kBinary = TEV_BINARY_DIR;

using tevtest::slurp;

//! Runs tevalin-task in `dir` with `args`; returns its exit status, its messages in `errors`.
int compose(const fs::path& dir, const std::string& args, std::string* errors = nullptr)
{
    fs::create_directories(dir);
    const std::string cmd = "cd '" + dir.string() + "' && '" + (kBinary / "tevalin-task").string() + "' " +
                            args + " --lib '" + (kSource / "lib").string() + "' > out.txt 2> errors.txt";
    const int rc = std::system(cmd.c_str());
    if (errors) *errors = slurp(dir / "errors.txt");
    return rc;
}

//! Composes `deck` and runs the program on the task in runs/deck_NAME and runs/deck_run_NAME
//! (each test its own names: the tests run in parallel); returns the report ("" when a step
//! failed).
std::string run_deck(const fs::path& deck, const std::string& name)
{
    const fs::path dir = kBinary / "runs" / ("deck_" + name);
    fs::remove_all(dir);
    std::string errors;
    std::string args = "'";  // appended: GCC 12 at -O3 warns falsely on a prepend
    args += deck.string();
    args += "' -o task.dat";
    if (compose(dir, args, &errors) != 0) {
        ADD_FAILURE() << deck << " does not compose: " << errors;
        return "";
    }
    int rc = 0;
    const std::string rez = tevtest::run_program(kSource, kBinary, (dir / "task.dat").string(), "deck_run_" + name, &rc);
    EXPECT_EQ(rc, 0) << name << ": the run failed";
    return rez;
}

std::vector<fs::path> example_decks()
{
    std::vector<fs::path> v;
    for (const auto& e : fs::directory_iterator(kSource / "examples"))
        if (e.path().extension() == ".deck") v.push_back(e.path());
    std::sort(v.begin(), v.end());
    return v;
}

TEST(Decks, OfTheShippedExamplesGiveTheirBlessedReportsByteForByte)
{
    int compared = 0;
    for (const auto& deck : example_decks()) {
        const std::string name = deck.stem().string();
        const fs::path blessed = kSource / "tests/blessed" / (name + ".rez");
        if (!fs::exists(kSource / "examples" / (name + ".dat")) || !fs::exists(blessed)) continue;
        EXPECT_TRUE(run_deck(deck, "blessed_" + name) == slurp(blessed)) << name << " differs from its blessed report";
        ++compared;
    }
    EXPECT_GE(compared, 3);
}

TEST(Decks, OfTenPropellantSystemsRunToTheirEndAndAgreeWithCea)
{
    // Decks with a NASA CEA case of the same propellant and conditions.
    const std::map<std::string, std::string> rocket = {
        {"lox_lh2", "V1_lox_lh2.csv"}, {"n2o4_n2h4", "V2_n2o4_n2h4.csv"}, {"lox_lh2_frozen", "V4_lox_lh2_frozen.csv"}};
    const std::map<std::string, std::string> grid = {{"h2_o2_grid", "V3_tp_h2o2.csv"}};
    const auto decks = example_decks();
    EXPECT_GE(decks.size(), 10u);
    for (const auto& deck : decks) {
        const std::string name = deck.stem().string();
        const std::string rez = run_deck(deck, name);
        EXPECT_EQ(rez.find("NOT CONVERGED"), std::string::npos) << name;
        const auto points = tevtest::read_table_points(rez);
        EXPECT_FALSE(points.empty()) << name << " reports no point";
        // The results table has a row for every point, and every section row says which it is.
        std::istringstream csv(slurp(kBinary / "runs" / ("deck_run_" + name) / "tevalin.csv"));
        std::string row;
        std::size_t rows = 0;
        std::getline(csv, row);
        while (std::getline(csv, row)) {
            ++rows;
            const auto kind = row.find(",section,");
            EXPECT_TRUE(kind == std::string::npos || row[kind + 9] != ',') << name << ": " << row.substr(0, 40);
        }
        EXPECT_EQ(rows, points.size()) << name;
        const bool have_cea = fs::exists(tevtest::kCeaDir);
        if (have_cea && rocket.count(name)) {
            SCOPED_TRACE(name);
            tevtest::compare_rocket(rez, rocket.at(name));
        }
        if (have_cea && grid.count(name)) {
            SCOPED_TRACE(name);
            tevtest::compare_grid(rez, grid.at(name));
        }
    }
}

TEST(Decks, AFaultyDeckLeavesTheTaskFileAsItWas)
{
    const fs::path dir = kBinary / "runs" / "deck_fault";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "topliw.dat") << "an earlier task\n";
    std::ofstream(dir / "bad.deck") << "fuel RP-1\noxidizer O2(L)\no/f 2.6\npc 10 kPa\n";
    std::string errors;
    EXPECT_NE(compose(dir, "bad.deck", &errors), 0);
    EXPECT_EQ(errors, "tevalin-task: bad.deck:4: pc: unknown unit \"kPa\" (units: MPa, bar, atm, psia)\n");
    EXPECT_EQ(slurp(dir / "topliw.dat"), "an earlier task\n");
    EXPECT_FALSE(fs::exists(dir / "topliw.dat.tmp"));
    // A deck that is not there, and a library that is not there.
    EXPECT_NE(compose(dir, "missing.deck", &errors), 0);
    EXPECT_NE(errors.find("missing.deck: the deck is missing"), std::string::npos) << errors;
    std::ofstream(dir / "good.deck") << "fuel RP-1\noxidizer O2(L)\no/f 2.6\npc 10\n";
    const std::string cmd = "cd '" + dir.string() + "' && '" + (kBinary / "tevalin-task").string() +
                            "' good.deck --lib nowhere 2> errors.txt";
    EXPECT_NE(std::system(cmd.c_str()), 0);
    EXPECT_NE(slurp(dir / "errors.txt").find("nowhere/"), std::string::npos);
}

}  // namespace
