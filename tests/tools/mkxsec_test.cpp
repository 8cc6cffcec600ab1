// The electron cross-section tables written by mkxsec, and the conductivity computed from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "input/input.h"
#include "thermo/thermo.h"

namespace {

namespace fs = std::filesystem;
using tev::State;

const fs::path kSource = TEV_SOURCE_DIR;
const fs::path kXsecTable = kSource / ".." / "shared" / "data" / "xsec" / "momentum_xsec.tsv";
const fs::path kTool = fs::path(TEV_BINARY_DIR) / "mkxsec";
constexpr double kBohr2 = 2.8002852e-21;  // [m^2], the unit of the table

std::vector<std::string> lines_of(const fs::path& p)
{
    std::ifstream in(p);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Splits fixed-width D fields ("0.ddddD+ee") of the given width off each line.
std::vector<double> d_values(const std::vector<std::string>& lines, std::size_t width)
{
    // Blanks, "0.", digits, "D", a sign and two exponent digits.
    const auto well_formed = [](const std::string& f) {
        const auto b = f.find_first_not_of(' ');
        const auto d = f.find('D');
        if (b == std::string::npos || d == std::string::npos || d + 4 != f.size()) return false;
        if (f.compare(b, 2, "0.") != 0 || d <= b + 2) return false;
        const auto digits = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                if (f[i] < '0' || f[i] > '9') return false;
            }
            return true;
        };
        return digits(b + 2, d) && (f[d + 1] == '+' || f[d + 1] == '-') && digits(d + 2, f.size());
    };
    std::vector<double> v;
    for (const auto& l : lines) {
        for (std::size_t i = 0; i + width <= l.size(); i += width) {
            std::string f = l.substr(i, width);
            EXPECT_TRUE(well_formed(f)) << "field '" << f << "'";
            f[f.find('D')] = 'E';
            v.push_back(std::strtod(f.c_str(), nullptr));
        }
    }
    return v;
}

// Structure that the loader relies on: 8(D9.3) x 5 lines, 7(D11.5) over 170 lines.
void expect_layouts(const fs::path& dir)
{
    const auto fq_lines = lines_of(dir / "fq.id");
    const auto bq_lines = lines_of(dir / "bq.id");
    const auto qj_lines = lines_of(dir / "qj.id");
    ASSERT_EQ(fq_lines.size(), 5u);
    ASSERT_EQ(bq_lines.size(), 5u);
    ASSERT_EQ(qj_lines.size(), 170u);
    for (const auto& l : fq_lines) EXPECT_EQ(l.size(), 72u);
    for (std::size_t i = 0; i < 169; ++i) EXPECT_EQ(qj_lines[i].size(), 77u) << "line " << i + 1;
    EXPECT_EQ(qj_lines[169].size(), 55u);

    const auto fq = d_values(fq_lines, 9);
    const auto bq = d_values(bq_lines, 9);
    const auto qj = d_values(qj_lines, 11);
    ASSERT_EQ(fq.size(), 40u);
    ASSERT_EQ(bq.size(), 40u);
    ASSERT_EQ(qj.size(), 1188u);
    for (std::size_t d = 0; d < 40; ++d) {
        EXPECT_EQ(fq[d], std::round(fq[d]));  // whole library numbers, held exactly
        EXPECT_LE(fq[d], 999.0);
        if (d > 0) {
            EXPECT_GT(fq[d], fq[d - 1]) << "position " << d + 1;
        }
    }
    for (std::size_t i = 1; i < 36; ++i) EXPECT_GT(bq[i], bq[i - 1]) << "node " << i + 1;
    EXPECT_NEAR(bq[0] * bq[0], 0.05, 0.001);   // the first energy the integral samples
    EXPECT_GE(bq[35] * bq[35], 17.2);          // 20 kT at 10000 K
    for (double q : qj) EXPECT_GT(q, 0.0);
}

//! Runs mkxsec on the source table for the library index in `dir`, writing the tables there.
int run_mkxsec(const fs::path& dir)
{
    std::string cmd;
    for (const auto& arg : {kTool.string(), kXsecTable.string(), dir.string()}) {
        cmd.append("'").append(arg).append("' ");
    }
    cmd.append("2>/dev/null");
    return std::system(cmd.c_str());
}

class XsecTables : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override
    {
        if (!fs::exists(kTool) || !fs::exists(kXsecTable)) {
            GTEST_SKIP() << "mkxsec or the source table is not available";
        }
        dir = fs::temp_directory_path() / ("tev_xsec_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::copy_file(kSource / "tests/data/transport/library_index.tsv",
                      dir / "library_index.tsv", fs::copy_options::overwrite_existing);
        ASSERT_EQ(generate(), 0);
    }
    void TearDown() override
    {
        if (!dir.empty()) fs::remove_all(dir);
    }
    int generate() const { return run_mkxsec(dir); }
    // Column of a library number, 1-based, 0 if none.
    int column_of(int libnum) const
    {
        const auto fq = d_values(lines_of(dir / "fq.id"), 9);
        for (int d = 1; d <= 33; ++d) {
            if (fq[static_cast<std::size_t>(d - 1)] == libnum) return d;
        }
        return 0;
    }
    void load(State& S) const
    {
        const auto fq = d_values(lines_of(dir / "fq.id"), 9);
        const auto bq = d_values(lines_of(dir / "bq.id"), 9);
        const auto qj = d_values(lines_of(dir / "qj.id"), 11);
        for (int i = 1; i <= 40; ++i) {
            S.lib.FQ(i) = fq[static_cast<std::size_t>(i - 1)];
            S.lib.BQ(i) = bq[static_cast<std::size_t>(i - 1)];
        }
        std::size_t k = 0;
        for (int i = 1; i <= 36; ++i) {
            for (int d = 1; d <= 33; ++d) S.lib.QJ(i, d) = qj[k++];
        }
    }
};

using tev::State;

TEST_F(XsecTables, PotassiumHoldsItsPublishedValueAndSpeciesWithoutDataTheFixedOne)
{
    // Library numbers of the hand-made index: K 14, Cs 15, KOH 35.
    const auto qj = d_values(lines_of(dir / "qj.id"), 11);
    for (const auto& [libnum, value] : {std::pair{14, 2.37e-18 / kBohr2}, std::pair{15, 80.0},
                                        std::pair{35, 80.0}}) {
        const int d = column_of(libnum);
        ASSERT_GT(d, 0) << libnum;
        for (int i = 1; i <= 36; ++i) {
            EXPECT_NEAR(qj[static_cast<std::size_t>((i - 1) * 33 + d - 1)], value, 1e-4 * value);
        }
    }
    EXPECT_EQ(column_of(50), 0);  // a list position beyond the columns
}

TEST_F(XsecTables, NitrogenConductivityMatchesTheMaxwellAverageOfItsSourceSeries)
{
    // The N2 effective series of the Phelps set, straight from the source table.
    std::vector<std::pair<double, double>> pts;
    std::ifstream in(kXsecTable);
    for (std::string l; std::getline(in, l);) {
        std::istringstream f(l);
        std::string sp, e, q, kind, src;
        std::getline(f, sp, '\t');
        std::getline(f, e, '\t');
        std::getline(f, q, '\t');
        std::getline(f, kind, '\t');
        std::getline(f, src, '\t');
        if (sp == "N2" && src == "LXCat:Phelps") pts.push_back({std::stod(e), std::stod(q)});
    }
    ASSERT_GT(pts.size(), 10u);
    const auto q_at = [&](double e) {
        std::size_t k = 1;
        while (k + 1 < pts.size() && pts[k].first < e) ++k;
        const auto [e0, q0] = pts[k - 1];
        const auto [e1, q1] = pts[k];
        return q0 + (q1 - q0) * (e - e0) / (e1 - e0);
    };
    // sigma = e^2 n_e/(3kT) <v^2/nu>, nu = N Q v: a fine midpoint sum of the Maxwell average.
    const double T = 3000.0, kt = T / 11604.5, n_e = 1e18, p = 101325.0;
    const double charge = 1.602176634e-19, mass = 9.1093837015e-31;
    double avg = 0;  // <v/Q>
    const double h = 1e-4;
    for (double e = h / 2; e < 30 * kt; e += h) {
        const double v = std::sqrt(2 * e * charge / mass);
        avg += v / q_at(e) * 2 / std::sqrt(3.141592653589793) * std::pow(kt, -1.5) *
               std::sqrt(e) * std::exp(-e / kt) * h;
    }
    const double expected = charge * charge * n_e * avg / (3 * p);

    auto S = std::make_unique<State>();
    load(*S);
    S->pt.T = T;
    S->pt.PP = 1.0;
    S->eq.NE = n_e / 1e18;
    S->eq.NP = 1.0;
    S->eq.MS = 28.0134;
    S->eq.SK = 1000 / 28.0134;
    S->sp.NQ(column_of(18)) = 1;  // N2 is library number 18 of the index
    S->sp.D = 34;
    S->eq.P(1) = S->eq.SK;
    tev::SIGMA(*S);
    EXPECT_NEAR(S->tr.GG / expected, 1.0, 0.02);
}

TEST(LibraryXsecTables, RegenerateTheShippedTablesByteForByte)
{
    const fs::path lib = kSource / "lib";
    if (!fs::exists(kTool) || !fs::exists(kXsecTable)) GTEST_SKIP() << "no mkxsec or source table";
    const fs::path out = fs::temp_directory_path() / ("tev_xsec_lib_" + std::to_string(::getpid()));
    fs::create_directories(out);
    fs::copy_file(lib / "library_index.tsv", out / "library_index.tsv",
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(run_mkxsec(out), 0);
    for (const char* f : {"fq.id", "bq.id", "qj.id", "xsec_report.txt"})
        EXPECT_EQ(lines_of(out / f), lines_of(lib / f)) << f << " differs";
    fs::remove_all(out);
}

TEST(LibraryXsecTables, ShippedFilesHaveTheLayoutsTheLoaderReads)
{
    const fs::path lib = kSource / "lib";
    if (!fs::exists(lib / "qj.id")) GTEST_SKIP() << "lib/ not generated yet";
    expect_layouts(lib);
    // The program's own loader takes the same values.
    auto S = std::make_unique<State>();
    tev::load_library(*S, lib.string());
    const auto fq = d_values(lines_of(lib / "fq.id"), 9);
    const auto bq = d_values(lines_of(lib / "bq.id"), 9);
    const auto qj = d_values(lines_of(lib / "qj.id"), 11);
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(S->lib.FQ(i), fq[static_cast<std::size_t>(i - 1)]);
        EXPECT_EQ(S->lib.BQ(i), bq[static_cast<std::size_t>(i - 1)]);
    }
    EXPECT_EQ(S->lib.QJ(1, 2), qj[1]);
    EXPECT_EQ(S->lib.QJ(2, 1), qj[33]);
    EXPECT_EQ(S->lib.QJ(36, 33), qj[1187]);
}

}  // namespace
