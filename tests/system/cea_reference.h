// NASA CEA results on standard cases, read from ../shared/reference/cea, and the comparison of a
// whole run's report with them.
//
// The program and CEA use the same NASA data, but different fits of it, different atomic masses
// and gas constants and different search methods; so each quantity has a tolerance of its own.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/system/report_reader.h"

namespace tevtest {

//! One row of a CEA results table.
struct CeaPoint {
    std::string point;  //!< chamber, throat, exit1...
    double p = 0, t = 0, h = 0, m = 0, ae_at = 0, cstar = 0, isp = 0, ivac = 0;
};

inline std::vector<CeaPoint> read_cea(const std::string& path)
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
        p.h = num(5);
        p.m = num(7);
        p.ae_at = num(13);
        p.cstar = num(14);
        p.isp = num(15);
        p.ivac = num(16);
        out.push_back(p);
    }
    return out;
}

//! Where the CEA cases are.
inline const std::string kCeaDir = std::string(TEV_SOURCE_DIR) + "/../shared/reference/cea/";

inline double rel(double ours, double ref) { return ref == 0 ? 0 : (ours - ref) / ref * 100.0; }

//! Compares the report of a rocket run with a CEA case point by point; prints the table of
//! deviations in percent.
inline void compare_rocket(const std::string& rez, const std::string& cea_csv)
{
    const auto ours = read_table_points(rez);
    const auto cea = read_cea(kCeaDir + cea_csv);
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

//! Compares the points of a grid run (equilibrium at given T and p) with a CEA tp case, point
//! by point where temperature and pressure agree.
inline void compare_grid(const std::string& rez, const std::string& cea_csv)
{
    const auto ours = read_table_points(rez);
    const auto cea = read_cea(kCeaDir + cea_csv);
    ASSERT_EQ(ours.size(), cea.size()) << "number of reported points";
    for (const auto& c : cea) {
        bool found = false;
        for (auto o : ours) {
            if (std::fabs(o[4] - c.t) > 0.01 || std::fabs(o[3] - c.p) > 1e-6 * c.p) continue;
            found = true;
            EXPECT_LT(std::fabs(rel(o[7], c.m)), 0.1) << c.point << " molar mass " << o[7] << " vs " << c.m;
            EXPECT_LT(std::fabs(o[5] - c.h), 0.002 * std::fabs(c.h) + 2.0)
                << c.point << " enthalpy " << o[5] << " vs " << c.h;
        }
        EXPECT_TRUE(found) << c.point << " at " << c.t << " K, " << c.p << " MPa is not in the report";
    }
}

}  // namespace tevtest
