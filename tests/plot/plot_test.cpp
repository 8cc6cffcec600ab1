// tevalin-plot: the curves it draws from a results table, and what it does without gnuplot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plot/plot.h"

namespace {

namespace fs = std::filesystem;
using namespace tev::plot;

//! Two chamber pressures, two ratios, a throat and two sections each; the last point is
//! reported twice (ions: without, then with negative ions) and one section did not converge.
const char* const kTable =
    "point,kind,section,o_f,pc_MPa,T_K,isp_m_s,ivac_m_s,cstar_m_s,ae_at,converged,x_H2O\n"
    "1,chamber,,3,10,3500,,,,,1,0.5\n"
    "2,throat,,3,10,3300,1200,2200,1800,1,1,0.5\n"
    "3,section,pc/pe 100,3,10,2000,3000,3200,1800,12,1,0.5\n"
    "4,chamber,,2,10,3400,,,,,1,0.5\n"
    "5,throat,,2,10,3200,1210,2210,1810,1,1,0.5\n"
    "6,section,pc/pe 100,2,10,1900,2900,3100,1810,11,1,0.5\n"
    "7,chamber,,3,5,3450,,,,,1,0.5\n"
    "8,throat,,3,5,3250,1190,2190,1790,1,1,0.5\n"
    "9,section,pc/pe 100,3,5,1950,2950,3150,1790,12,0,0.5\n"
    "10,section,pc/pe 100,2,5,1940,2940,3140,1780,12,1,0.5\n"
    "11,section,pc/pe 100,2,5,1940,2941,3141,1780,12,1,0.5\n";

Table table(const std::string& text)
{
    std::istringstream in(text);
    return read_csv(in, "t.csv");
}

TEST(PlotTable, ReadsQuotedFieldsAndRejectsARaggedRow)
{
    const Table t = table("a,\"b,c\",d\n1,\"say \"\"x\"\"\",3\n");
    EXPECT_EQ(t.header, (std::vector<std::string>{"a", "b,c", "d"}));
    EXPECT_EQ(t.rows[0][1], "say \"x\"");
    EXPECT_EQ(t.column("d"), 2);
    EXPECT_THROW(table("a,b\n1,2,3\n"), std::runtime_error);
}

TEST(PlotFigures, GiveOneCurvePerChamberPressureAndSectionAgainstTheRatio)
{
    const auto figs = figures(table(kTable));
    ASSERT_EQ(figs.size(), 4u);
    EXPECT_EQ(figs[0].name, "tevalin_isp");
    ASSERT_EQ(figs[0].curves.size(), 2u);
    EXPECT_EQ(figs[0].curves[0].title, "pc 10 MPa, pc/pe 100");
    // Sorted by O/F.
    EXPECT_EQ(figs[0].curves[0].xy, (std::vector<std::pair<double, double>>{{2, 2900}, {3, 3000}}));
    // At 5 MPa: the point not converged is left out, the one reported twice counts as last.
    EXPECT_EQ(figs[0].curves[1].xy, (std::vector<std::pair<double, double>>{{2, 2941}}));
    EXPECT_EQ(figs[2].name, "tevalin_cstar");
    EXPECT_EQ(figs[2].curves[1].title, "pc 5 MPa");
    EXPECT_EQ(figs[3].curves[0].xy, (std::vector<std::pair<double, double>>{{2, 3400}, {3, 3500}}));
    const std::string gp = gnuplot_script(figs, "out", false);
    EXPECT_NE(gp.find("set output 'out/tevalin_isp.png'"), std::string::npos);
    EXPECT_NE(gp.find("$c0 << EOD\n2.0 2900.0\n3.0 3000.0\nEOD\n"), std::string::npos);
}

TEST(PlotFigures, OfOneRatioGoAgainstTheAreaRatioAndAGridHasNone)
{
    const auto figs = figures(table(
        "point,kind,section,o_f,pc_MPa,T_K,isp_m_s,ivac_m_s,cstar_m_s,ae_at,converged\n"
        "1,chamber,,,7,3400,,,,,1\n2,throat,,,7,3200,1000,1900,1500,1,1\n"
        "3,section,pc/pe 70,,7,2000,2500,2700,1500,9.8,1\n"
        "4,section,pc/pe 10,,7,2400,2000,2500,1500,2.4,1\n"));
    ASSERT_EQ(figs.size(), 2u);
    EXPECT_EQ(figs[0].xlabel, "area ratio F/F*");
    // No ratio (a single propellant): every section is a point of its own.
    EXPECT_EQ(figs[0].curves[0].xy,
              (std::vector<std::pair<double, double>>{{1, 1000}, {2.4, 2000}, {9.8, 2500}}));
    EXPECT_TRUE(figures(table("point,kind,section,o_f,pc_MPa,T_K,isp_m_s,ivac_m_s,cstar_m_s,ae_at,converged\n"
                              "1,grid,,1,,2000,,,,,1\n"))
                    .empty());
}

TEST(PlotProgram, SaysHowToInstallGnuplotWhenItIsMissing)
{
    const fs::path dir = fs::path(TEV_BINARY_DIR) / "runs" / "plot_no_gnuplot";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "tevalin.csv") << kTable;
    const std::string tool = std::string(TEV_BINARY_DIR) + "/tevalin-plot";
    const std::string run = "cd '" + dir.string() + "' && env -u TEVALIN_GNUPLOT PATH=/nonexistent '" +
                            tool + "' 2> errors.txt";
    EXPECT_EQ(WEXITSTATUS(std::system(run.c_str())), 3);
    std::ifstream err(dir / "errors.txt");
    std::stringstream msg;
    msg << err.rdbuf();
    EXPECT_NE(msg.str().find("apt-get install gnuplot-nox"), std::string::npos) << msg.str();
    EXPECT_TRUE(fs::exists(dir / "tevalin_plot.gp"));  // the script stays for another machine
    // With a stand-in for gnuplot the program runs through and names its figures.
    const std::string fake = "cd '" + dir.string() + "' && TEVALIN_GNUPLOT=true '" + tool + "' > out.txt";
    EXPECT_EQ(std::system(fake.c_str()), 0);
}

}  // namespace
