// Whole runs of the example tasks compared with NASA CEA on the same propellants.
//
// The program and CEA use the same NASA data, but different fits of it, different atomic masses
// and gas constants and different search methods; so each quantity has a tolerance of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/system/report_reader.h"

namespace {

//! One row of a CEA results table.
struct CeaPoint {
    std::string point;  //!< chamber, throat, exit1...
    double p = 0, t = 0, m = 0, ae_at = 0, cstar = 0, isp = 0, ivac = 0;
};

std::vector<CeaPoint> read_cea(const std::string& path)
{
    std::vector<CeaPoint> out;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string x;
        while (std::getline(ss, x, ',')) f.push_back(x);
        if (f.size() < 18) continue;
        auto num = [&](int i) { return f[i].empty() ? 0.0 : std::atof(f[i].c_str()); };
        CeaPoint p;
        p.point = f[2];
        p.p = num(3);
        p.t = num(4);
        p.m = num(7);
        p.ae_at = num(13);
        p.cstar = num(14);
        p.isp = num(15);
        p.ivac = num(16);
        out.push_back(p);
    }
    return out;
}

const std::string kShared = std::string(TEV_SOURCE_DIR) + "/../shared/reference/cea/";

double rel(double ours, double ref) { return ref == 0 ? 0 : (ours - ref) / ref * 100.0; }

//! Runs one example and compares it point by point; prints the table of deviations in percent.
void compare_case(const std::string& example, const std::string& cea_csv)
{
    if (!std::filesystem::exists(kShared + cea_csv)) GTEST_SKIP() << "no CEA reference here";
    int rc = 0;
    const std::string rez = tevtest::run_program(TEV_SOURCE_DIR, TEV_BINARY_DIR,
                                                 std::string(TEV_SOURCE_DIR) + "/examples/" + example,
                                                 example, &rc);
    ASSERT_EQ(rc, 0) << "the run failed";
    const auto ours = tevtest::read_table_points(rez);
    const auto cea = read_cea(kShared + cea_csv);
    ASSERT_EQ(ours.size(), cea.size()) << "number of reported points";
    std::printf("%-8s %9s %9s %9s %9s %9s %9s %9s\n", "point", "T%", "M%", "Isp%", "Ivac%", "c*%",
                "F/F*%", "p%");
    for (std::size_t k = 0; k < cea.size(); ++k) {
        const auto& c = cea[k];
        auto o = ours[k];
        const double dt = rel(o[4], c.t), dm = rel(o[7], c.m);
        double disp = 0, divac = 0, dcs = 0, dae = 0, dp = 0;
        EXPECT_LT(std::fabs(dt), 0.2) << c.point << " temperature " << o[4] << " vs " << c.t;
        EXPECT_LT(std::fabs(dm), 0.1) << c.point << " molar mass " << o[7] << " vs " << c.m;
        if (c.point != "chamber") {
            disp = rel(o[21], c.isp);
            divac = rel(o[22], c.ivac);
            EXPECT_LT(std::fabs(disp), 0.3) << c.point << " Isp " << o[21] << " vs " << c.isp;
            EXPECT_LT(std::fabs(divac), 0.3) << c.point << " Ivac " << o[22] << " vs " << c.ivac;
        }
        if (c.point == "throat") {
            dcs = rel(o[23], c.cstar);
            dp = rel(o[3], c.p);
            EXPECT_LT(std::fabs(dcs), 0.3) << "c* " << o[23] << " vs " << c.cstar;
            EXPECT_LT(std::fabs(dp), 0.5) << "throat pressure " << o[3] << " vs " << c.p;
        }
        if (c.point.rfind("exit", 0) == 0) {
            dae = rel(o[25], c.ae_at);
            EXPECT_LT(std::fabs(dae), 1.0) << c.point << " F/F* " << o[25] << " vs " << c.ae_at;
        }
        std::printf("%-8s %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f\n", c.point.c_str(), dt, dm, disp,
                    divac, dcs, dae, dp);
    }
}

TEST(AgainstCea, LoxLh2EquilibriumExpansionAtFourRatios)
{
    compare_case("lox_lh2.dat", "V1_lox_lh2.csv");
}

TEST(AgainstCea, N2o4N2h4EquilibriumExpansionToAreaRatios)
{
    compare_case("n2o4_n2h4.dat", "V2_n2o4_n2h4.csv");
}

TEST(AgainstCea, LoxLh2FrozenAtTheChamber)
{
    compare_case("lox_lh2_frozen.dat", "V4_lox_lh2_frozen.csv");
}

}  // namespace
