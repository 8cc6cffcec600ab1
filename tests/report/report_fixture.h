// A hand-filled state for the report tests: labels, names and one finished point.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/sink.h"
#include "core/state.h"
#include "report/report.h"

namespace tev::testing_report {

//! A name of W bytes from a shorter text, padded with blanks.
template <std::size_t W>
Name<W> padded(const std::string& s)
{
    Name<W> n;
    n.s = (s + std::string(W, ' ')).substr(0, W);
    return n;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sink = std::make_unique<Sink>(&console, &file);
        sink->record = true;
        S.io.out = sink.get();
        S.rep.CT = 1;
        for (int i = 1; i <= 25; ++i) {
            std::string label = "R";
            label += std::to_string(i);
            S.lib.RDAT(i) = padded<4>(label);
        }
        S.lib.RDAT(1) = padded<4>("ALFA");
        S.lib.KOM(123) = padded<8>("H2O");
        S.lib.KOM(456) = padded<8>("OH");
        S.lib.KOM(7) = padded<8>("H2");
        S.task.NA = 1;
        S.task.ALFA(1) = 0.8;
        S.task.KAPPA = 2.0;
        S.pt.IA = 1;
        S.sp.N = 0;
    }

    //! A chamber point at 7 MPa.
    void chamber_point()
    {
        auto& pt = S.pt;
        auto& eq = S.eq;
        pt.KAMEPA = true;
        pt.PPK = 7 * 9.869232877322741;
        pt.PP = pt.PPK;
        pt.T = 3456.4;
        eq.IS = -1234.56;
        eq.SS = 12.5;
        eq.MS = 13.5;
        eq.MG = 13.5;
        eq.CPR = 4.5;
        eq.CPRG = 4.25;
        eq.CPZ = 2.1;
        eq.ZK = 0;
        pt.K5 = 1.15;
        pt.WA = 1500;
        eq.NE = 0;
    }

    //! Turns the chamber point into the chamber values the nozzle points refer to.
    void nozzle_from_chamber()
    {
        auto& pt = S.pt;
        pt.KAMEPA = false;
        pt.TK = pt.T;
        pt.HK = S.eq.IS;
        pt.RC = 8314.41015625 / S.eq.MS;
        pt.MGK = S.eq.MG;
        pt.ZKK = S.eq.ZK;
    }

    //! A composition of n species with the given amounts and identification values.
    void composition(const std::vector<double>& amounts, const std::vector<double>& ids)
    {
        S.sp.N = static_cast<int>(amounts.size());
        for (std::size_t i = 0; i < amounts.size(); ++i) {
            S.eq.PR(static_cast<long>(i + 1)) = amounts[i];
            S.sp.XF2(static_cast<long>(i + 1)) = ids[i];
        }
    }

    const std::vector<std::string>& lines() const { return sink->recorded; }

    State S;
    std::ostringstream console, file;
    std::unique_ptr<Sink> sink;
};

}  // namespace tev::testing_report
