// The results table tevalin.csv against the report of the same run: the same points in the same
// order, every value the report prints agreeing to its last printed digit, the composition of
// each page column, and the conductivity columns of a run with ions.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/layout.h"
#include "tests/system/report_reader.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = TEV_SOURCE_DIR;

//! The CSV of a run, by column name.
struct Csv {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;

    std::string at(std::size_t row, const std::string& name) const
    {
        for (std::size_t c = 0; c < header.size(); ++c)
            if (header[c] == name) return rows[row][c];
        ADD_FAILURE() << "no column " << name;
        return "";
    }
    double num(std::size_t row, const std::string& name) const { return std::stod(at(row, name)); }
};

Csv read_csv(const fs::path& p)
{
    Csv t;
    std::ifstream in(p);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string x;
        while (std::getline(ss, x, ',')) f.push_back(x);
        if (!line.empty() && line.back() == ',') f.emplace_back();
        (t.header.empty() ? t.header : t.rows.emplace_back()) = f;
    }
    return t;
}

//! Runs the task; returns the report and the table.
std::pair<std::string, Csv> run(const std::string& task, const std::string& name)
{
    int rc = 0;
    const std::string rez = tevtest::run_program(kSource, TEV_BINARY_DIR, kSource + "/" + task, name, &rc);
    EXPECT_EQ(rc, 0) << name;
    return {rez, read_csv(fs::path(TEV_BINARY_DIR) / "runs" / name / "tevalin.csv")};
}

//! The printed fields of the property rows of table pages, point by point: row -> text.
std::vector<std::map<int, std::string>> printed_rows(const std::string& report)
{
    std::vector<std::map<int, std::string>> points, page;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 10 || line[1] != ':' || line[4] != ':' || line[9] != ':') continue;
        const int row = std::stoi(line.substr(2, 2));
        if (row == 1) {
            points.insert(points.end(), page.begin(), page.end());
            page.clear();
        }
        for (std::size_t k = 0, at = 10; at + 12 <= line.size(); ++k, at += 19) {
            if (page.size() <= k) page.resize(k + 1);
            page[k][row] = line.substr(at, 12);
        }
    }
    points.insert(points.end(), page.begin(), page.end());
    return points;
}

TEST(ResultsTable, HoldsEveryPointOfATableReportToItsPrintedDigits)
{
    const auto [rez, csv] = run("examples/lox_lh2.dat", "csv_table");
    const auto printed = printed_rows(rez);
    ASSERT_EQ(csv.rows.size(), printed.size());
    ASSERT_EQ(csv.rows.size(), 20u);  // 4 ratios: chamber, throat, 3 sections
    const std::map<int, std::string> columns = {
        {1, "alfa"},    {2, "o_f"},       {3, "p_MPa"},        {4, "T_K"},     {5, "h_kJ_kg"},
        {6, "s_kJ_kgK"}, {7, "M_g_mol"},  {8, "cp_eq"},        {10, "cp_fr"},  {12, "gamma"},
        {13, "z_cond"}, {14, "a_m_s"},    {15, "visc_Pa_s"},   {16, "cond_W_mK"}, {17, "cond_eq_W_mK"},
        {18, "prandtl"}};
    const std::map<int, std::string> nozzle = {
        {19, "n_mean"}, {20, "mach"}, {21, "isp_m_s"}, {22, "ivac_m_s"}, {25, "ae_at"}};
    for (std::size_t k = 0; k < csv.rows.size(); ++k) {
        const std::string kind = csv.at(k, "kind");
        EXPECT_EQ(kind, k % 5 == 0 ? "chamber" : k % 5 == 1 ? "throat" : "section") << k;
        auto same = [&](int row, const std::string& col) {
            EXPECT_EQ(tev::format_real('F', 12, 5, csv.num(k, col)), printed[k].at(row))
                << "point " << k + 1 << " " << col;
        };
        for (const auto& [row, col] : columns) same(row, col);
        if (kind == "chamber") {
            EXPECT_EQ(csv.at(k, "isp_m_s"), "");
            continue;
        }
        for (const auto& [row, col] : nozzle) same(row, col);
        if (kind == "throat") same(23, "cstar_m_s");
        EXPECT_EQ(csv.num(k, "pc_MPa"), 7.0);
    }
    EXPECT_EQ(csv.at(4, "section"), "pc/pe 1000");
    EXPECT_EQ(csv.at(19, "converged"), "1");
}

TEST(ResultsTable, GivesTheMoleFractionsThatThePagesPrint)
{
    const auto [rez, csv] = run("examples/n2o4_n2h4.dat", "csv_species");
    // Composition rows: for each column, a name of 8, a library number of 4, a value in G9.3.
    std::map<std::string, int> number_of;  // column name -> library number
    std::istringstream in(rez);
    std::string line;
    std::size_t page_first = 0, columns = 0, checked = 0;
    const auto printed = printed_rows(rez);
    std::size_t seen = 0;
    while (std::getline(in, line)) {
        if (line.size() > 10 && line[1] == ':' && line.substr(2, 2) == " 1") {
            page_first = seen;
            columns = (line.size() - 10 + 7) / 19;
            seen += columns;
        }
        if (line.size() < 25 || line.compare(0, 4, "    ") != 0) continue;
        for (std::size_t j = 0; j < columns && 4 + 21 * j + 21 <= line.size(); ++j) {
            const std::string name = line.substr(4 + 21 * j, 8);
            const std::string value = line.substr(4 + 21 * j + 12, 9);
            std::string trimmed = name.substr(0, name.find_last_not_of(' ') + 1);
            const double shown = std::stod(value);
            const double x = csv.num(page_first + j, "x_" + trimmed);
            if (shown > 0) {
                // Three significant digits of the fraction.
                const double unit = std::pow(10.0, std::floor(std::log10(shown)) - 2);
                EXPECT_NEAR(x, shown, 0.5 * unit + 1e-9 * shown) << trimmed << " point " << page_first + j + 1;
            } else if (shown < 0) {
                // A decimal logarithm of a tiny fraction.
                EXPECT_NEAR(std::log(x) * tev::kLog10Factor, shown, 0.051) << trimmed;
            } else {
                EXPECT_EQ(x, 0.0) << trimmed;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 50u);
}

TEST(ResultsTable, FollowsTheLineReportAndCarriesTheConductivityOfIons)
{
    const auto [rez, csv] = run("tests/data/system/lox_lh2_line_mode.dat", "csv_lines");
    // Line fields: P, J (enthalpy), T, M, CPR, CPZ and, on a section line, K3, B, IS, ISP, F/FKP, Z.
    std::vector<std::vector<double>> lines;
    std::istringstream in(rez);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 100 || line.compare(0, 18, " :                ") != 0) continue;
        std::istringstream f(line.substr(2, line.size() - 3));
        std::vector<double> v;
        double x;
        while (f >> x) v.push_back(x);
        lines.push_back(v);
    }
    ASSERT_EQ(lines.size(), csv.rows.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const auto& v = lines[k];
        EXPECT_NEAR(csv.num(k, "p_MPa"), v[0], 0.0005);
        EXPECT_NEAR(csv.num(k, "h_kJ_kg"), v[1], 0.005);
        EXPECT_NEAR(csv.num(k, "T_K"), v[2], 0.5);
        EXPECT_NEAR(csv.num(k, "M_g_mol"), v[3], 0.0005);
        if (v.size() == 12) {
            EXPECT_NEAR(csv.num(k, "isp_m_s"), v[8], 0.05);
            EXPECT_NEAR(csv.num(k, "ae_at"), v[10], 0.0005);
        }
    }

    const auto [ion_rez, ions] = run("tests/data/transport/k_seeded_kerosene.dat", "csv_ions");
    const auto printed = printed_rows(ion_rez);
    ASSERT_EQ(ions.rows.size(), printed.size());
    for (std::size_t k = 0; k < ions.rows.size(); ++k) {
        EXPECT_EQ(tev::format_real('F', 12, 5, ions.num(k, "sigma_S_m")), printed[k].at(26));
        EXPECT_EQ(tev::format_real('F', 12, 5, ions.num(k, "ne_1e18_m3")), printed[k].at(28));
        EXPECT_EQ(tev::format_real('F', 12, 5, ions.num(k, "mobility_m2_Vs")), printed[k].at(31));
    }
    // Each section is computed without, then with negative ions, and reported twice.
    EXPECT_EQ(ions.at(2, "neg_ions"), "0");
    EXPECT_EQ(ions.at(3, "neg_ions"), "1");
    EXPECT_EQ(ions.at(2, "section"), ions.at(3, "section"));
}

}  // namespace
