// The operating-point sequence, driven by an ideal-gas nozzle in place of the equilibrium
// calculation, with the real report routine closing the searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/routines.h"
#include "core/sink.h"
#include "nozzle/nozzle.h"
#include "report/report.h"

namespace tev {
namespace {

constexpr double kGamma = 1.2;        // heat-capacity ratio of the model gas
constexpr double kMolarMass = 20.0;   // [g/mol]
constexpr double kRgasKJ = 8.31441;   // [kJ/(kmol K)]
const double kCp = kGamma / (kGamma - 1) * kRgasKJ / kMolarMass;  // [kJ/(kg K)]

//! What the driver computed at one call of the sequence.
struct Visit {
    int U = 0, IA = 0, IPK = 0, IPA = 0;
    bool chamber = false, throat = false, reported = false;
    double PP = 0, T = 0, T1 = 0, T2 = 0, DA = 0;
    double area = 0;  // F/F* after the report
    bool freezing = false;  // the freezing point is to be computed first
};

class Sequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        sink = std::make_unique<Sink>(nullptr, nullptr);
        sink->record = true;
        S.io.out = sink.get();
        table.APAGE = APAGE;  // a new ratio on a full page closes it
        S.routines = &table;
        S.rep.CT = 1;
        S.pt.U = 3;
        S.task.BP = 1;
        S.task.TZAM = 0;
        S.task.KAPPA = 2.0;
        S.task.G(1) = 100;  // fuel: element 1 only
        S.task.O(8) = 60;   // oxidizer: element 8 only
        S.task.IG = -100;
        S.task.IO = -50;
    }

    void ratios(std::vector<double> a)
    {
        S.task.NA = static_cast<int>(a.size());
        for (std::size_t i = 0; i < a.size(); ++i) S.task.ALFA(static_cast<long>(i + 1)) = a[i];
    }
    void pressures(std::vector<double> p)
    {
        S.task.NPK = static_cast<int>(p.size());
        for (std::size_t i = 0; i < p.size(); ++i) S.task.PK(static_cast<long>(i + 1)) = p[i];
    }
    void sections(std::vector<double> p)
    {
        S.task.NPA = static_cast<int>(p.size());
        for (std::size_t i = 0; i < p.size(); ++i) S.task.PA(static_cast<long>(i + 1)) = p[i];
    }

    //! Chamber temperature of the model for a chamber pressure index [K].
    static double chamber_T(int ipk) { return 3000.0 + 100.0 * ipk; }

    //! The equilibrium calculation of the model: a chamber at the target enthalpy, a nozzle
    //! point on the ideal-gas isentrope through the chamber state.
    void compute_point()
    {
        auto& pt = S.pt;
        auto& eq = S.eq;
        eq.MS = kMolarMass;
        eq.MG = kMolarMass;
        eq.ZK = 0;
        eq.CPR = eq.CPZ = eq.CPRG = kCp;
        eq.F1 = chamber_without_gas && pt.KAMEPA;
        if (S.task.FIS) {
            eq.IS = 0;
            eq.SS = 0;
        } else if (pt.KAMEPA) {
            pt.T = chamber_T(pt.IPK);
            eq.IS = pt.H;
            eq.SS = 10.0;
        } else {
            pt.T = pt.TK * std::pow(pt.PP / pt.PPK, (kGamma - 1) / kGamma);
            eq.IS = pt.HK - kCp * (pt.TK - pt.T) - enthalpy_deficit;
            eq.SS = pt.H;
            if (pt.FKP) pt.PPA = 1;  // (dln v/dln T) at constant pressure of an ideal gas
        }
        pt.K5 = kGamma;
        pt.WA = std::sqrt(kGamma * 8314.41 / kMolarMass * pt.T);
    }

    //! Runs the sequence to its end (or a bound on the number of points).
    void run(int max_points = 2000)
    {
        for (int n = 0; n < max_points; ++n) {
            DIRECT(S);
            if (S.pt.U == 1) return;
            Visit v;
            v.U = S.pt.U;
            v.IA = S.pt.IA;
            v.IPK = S.pt.IPK;
            v.IPA = S.pt.IPA;
            v.chamber = S.pt.KAMEPA;
            v.throat = S.pt.FKP;
            v.T = S.pt.T;
            v.T1 = S.pt.T1;
            v.T2 = S.pt.T2;
            v.DA = S.pt.DA;
            v.freezing = S.eq.FPZ;
            compute_point();
            v.PP = S.pt.PP;
            const auto lines = sink->recorded.size();
            const int column = S.rep.CT;
            OUT(S);
            v.reported = sink->recorded.size() > lines || S.rep.CT != column;
            v.area = S.eq.BT / S.rep.BTMIN;
            visits.push_back(v);
        }
        FAIL() << "the sequence did not end";
    }

    //! The label of a point: "a1 p2 chamber", "a1 p2 throat", "a1 p2 s3". Built by appending:
    //! GCC 12 at -O3 warns falsely about prepending to a temporary string.
    static std::string label(int a, int p, const std::string& point)
    {
        std::string s = "a";
        s += std::to_string(a);
        s += " p";
        s += std::to_string(p);
        s += ' ';
        s += point;
        return s;
    }

    //! The reported points as short labels.
    std::vector<std::string> reported() const
    {
        std::vector<std::string> out;
        for (const auto& v : visits) {
            if (!v.reported) continue;
            std::string section = "s";
            section += std::to_string(v.IPA);
            out.push_back(label(v.IA, v.IPK, v.chamber ? "chamber" : v.IPA == 0 ? "throat"
                                                                                : section));
        }
        return out;
    }

    //! Report lines that hold the given text.
    int lines_with(const std::string& text) const
    {
        int n = 0;
        for (const auto& l : sink->recorded)
            if (l.find(text) != std::string::npos) ++n;
        return n;
    }

    State S;
    std::unique_ptr<Sink> sink;
    Routines table;
    std::vector<Visit> visits;
    bool chamber_without_gas = false;
    //! Enthalpy the nozzle points miss, as a temperature iteration stopped short leaves it
    //! [kJ/kg]: a point at the chamber pressure then still has a small flow velocity.
    double enthalpy_deficit = 0;
};

TEST_F(Sequence, TwoRatiosTwoPressuresThreeSectionsComeNestedRatioPressureSection)
{
    ratios({0.8, 1.2});
    pressures({10, 5});
    sections({1, 0.5, 0.1});
    run();
    std::vector<std::string> expected;
    for (int a = 1; a <= 2; ++a)
        for (int p = 1; p <= 2; ++p)
            for (const char* k : {"chamber", "throat", "s1", "s2", "s3"})
                expected.push_back(label(a, p, k));
    EXPECT_EQ(reported(), expected);
    EXPECT_EQ(S.pt.U, 1);
    EXPECT_EQ(lines_with("KAPPA="), 2);
    EXPECT_EQ(lines_with("IG="), 2);
    // The throat took more than one iterate, and only its last one was reported.
    int throat_iterates = 0;
    for (const auto& v : visits) throat_iterates += v.throat ? 1 : 0;
    EXPECT_GT(throat_iterates, 4);
    EXPECT_EQ(S.st.point_failures, 0);
}

TEST_F(Sequence, PressureSectionsLieOnTheIsentropeWithTheIdealAreaRatio)
{
    ratios({1.0});
    pressures({10});
    sections({1});
    S.task.BP = -1;  // table mode: the figures stay in the page table
    run();
    ASSERT_EQ(S.rep.CT, 4);  // chamber, throat, one section
    const double p0 = 10, p = 1;
    const double mach = std::sqrt(2 / (kGamma - 1) * (std::pow(p0 / p, (kGamma - 1) / kGamma) - 1));
    const double area = 1 / mach *
                        std::pow(2 / (kGamma + 1) * (1 + (kGamma - 1) / 2 * mach * mach),
                                 (kGamma + 1) / (2 * (kGamma - 1)));
    EXPECT_NEAR(S.rep.ST(3, 3), 1.0, 1e-6);        // section pressure [MPa]
    EXPECT_NEAR(S.rep.ST(25, 3), area, 2e-3 * area); // F/F* against the ideal nozzle
    EXPECT_NEAR(S.rep.ST(20, 3), mach, 1e-3 * mach); // Mach number
    EXPECT_NEAR(S.rep.ST(19, 3), kGamma, 1e-9);      // mean isentropic exponent
    EXPECT_NEAR(S.rep.ST(25, 2), 1.0, 1e-12);        // the throat itself
    EXPECT_NEAR(S.rep.ST(20, 2), 1.0, 5e-4);
    // Critical pressure ratio of the ideal gas.
    EXPECT_NEAR(S.rep.ST(3, 2) / p0, std::pow(2 / (kGamma + 1), kGamma / (kGamma - 1)), 1e-3);
}

TEST_F(Sequence, WithoutSectionsNoThroatIsComputed)
{
    ratios({1.0});
    pressures({10, 5, 2});
    run();
    EXPECT_EQ(reported(), (std::vector<std::string>{"a1 p1 chamber", "a1 p2 chamber",
                                                    "a1 p3 chamber"}));
    for (const auto& v : visits) EXPECT_FALSE(v.throat);
}

TEST_F(Sequence, AChamberWithoutGasGetsNeitherThroatNorSections)
{
    ratios({1.0});
    pressures({10, 5});
    sections({1, 0.1});
    chamber_without_gas = true;
    run();
    EXPECT_EQ(reported(), (std::vector<std::string>{"a1 p1 chamber", "a1 p2 chamber"}));
}

TEST_F(Sequence, FirstChamberStartsAt3000KLaterOnesFiftyAboveThePrevious)
{
    ratios({1.0, 2.0});
    pressures({10, 5});
    run();
    ASSERT_EQ(visits.size(), 4u);
    for (int k : {0, 2}) {
        EXPECT_EQ(visits[k].T, 3000.0);
        EXPECT_EQ(visits[k].T1, 0.0);
        EXPECT_EQ(visits[k].T2, 20000.0);
    }
    for (int k : {1, 3}) {
        EXPECT_EQ(visits[k].T, chamber_T(1) + 50);
        EXPECT_EQ(visits[k].T2, chamber_T(1) + 50);
        EXPECT_EQ(visits[k].T1, 0.0);
    }
}

TEST_F(Sequence, ASectionStartsFromThePreviousTemperatureScaledByThePressureRatio)
{
    ratios({1.0});
    pressures({10});
    sections({1, 0.1});
    run();
    const Visit* s1 = nullptr;
    const Visit* s2 = nullptr;
    for (const auto& v : visits) {
        if (v.IPA == 1 && !s1) s1 = &v;
        if (v.IPA == 2 && !s2) s2 = &v;
    }
    ASSERT_TRUE(s1 && s2);
    const double t1 = 3100.0 * std::pow(0.1, (kGamma - 1) / kGamma);  // model T at 1 MPa
    EXPECT_NEAR(s2->T, t1 * std::pow(0.1, 0.15000000596046448), 1e-9);
    EXPECT_NEAR(s2->T / t1, 0.708, 1e-3);
    EXPECT_EQ(s2->T1, 0.0);
    EXPECT_EQ(s2->T2, t1 + 5);  // the pressure falls: bracket from the previous temperature
}

TEST_F(Sequence, APressureSectionAboveTheChamberIsComputedAtTheChamberPressure)
{
    ratios({1.0});
    pressures({10});
    sections({12});
    run();
    ASSERT_FALSE(visits.empty());
    EXPECT_EQ(visits.back().IPA, 1);
    EXPECT_DOUBLE_EQ(visits.back().PP, 10 * 9.869232877322741);
}

TEST_F(Sequence, ASinglePropellantRunsOnceWithoutOxidizer)
{
    pressures({10});
    S.task.NA = 0;
    run();
    EXPECT_EQ(reported(), (std::vector<std::string>{"a1 p1 chamber"}));
    EXPECT_EQ(S.task.IO, 0.0);
    EXPECT_EQ(S.eq.MC(1), 100.0);
    EXPECT_EQ(S.eq.MC(8), 0.0);
    EXPECT_EQ(S.sp.M, 1);
}

TEST_F(Sequence, GridVisitsEveryPressureAtEveryTemperature)
{
    ratios({1.0});
    S.task.FIS = true;
    pressures({1, 2});
    sections({2000, 3000});
    run();
    ASSERT_EQ(visits.size(), 4u);
    const double atm = 9.869232877322741;
    const double want[4][3] = {{2000, 1, 2}, {2000, 2, 3}, {3000, 1, 2}, {3000, 2, 3}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(visits[k].T, want[k][0]) << k;
        EXPECT_DOUBLE_EQ(visits[k].PP, want[k][1] * atm) << k;
        EXPECT_EQ(visits[k].U, want[k][2]) << k;
        EXPECT_TRUE(visits[k].reported) << k;
    }
    EXPECT_EQ(S.pt.U, 1);
}

TEST_F(Sequence, PrescribedChamberTemperatureIsAPointAtFixedTemperature)
{
    ratios({1.0});
    pressures({10, 5});
    S.task.FTK = true;
    S.task.IG = 3500;
    S.task.IO = 3500;
    run();
    ASSERT_GE(visits.size(), 2u);
    EXPECT_EQ(visits[0].T, 3500.0);  // mass-weighted temperature contributions
    EXPECT_EQ(visits[0].T1, visits[0].T2);
    EXPECT_EQ(visits[1].T, chamber_T(1));  // then the previous chamber temperature
}

TEST_F(Sequence, ConstantVolumeCombustionHasNoNozzle)
{
    ratios({1.0});
    pressures({10, 5});
    sections({1});
    S.task.FV = true;
    run();
    EXPECT_EQ(reported(), (std::vector<std::string>{"a1 p1 chamber", "a1 p2 chamber"}));
}

TEST_F(Sequence, ASectionBelowTheFreezingTemperatureStartsAtTheFreezingPoint)
{
    ratios({1.0});
    pressures({10});
    sections({2500, 1000});
    S.task.FT = true;
    S.task.TZAM = 1500;
    run();
    const Visit* s[3] = {};
    for (const auto& v : visits)
        if (v.IPA > 0 && !s[v.IPA]) s[v.IPA] = &v;
    ASSERT_TRUE(s[1] && s[2]);
    EXPECT_NEAR(s[1]->T, 2500, 1e-9);  // the temperature given back from its scaled form
    EXPECT_FALSE(s[1]->freezing);
    EXPECT_EQ(s[2]->T, 1500.0);
    EXPECT_TRUE(s[2]->freezing);
    // The pressure estimate falls with the seventh power of the temperature ratio, from the
    // temperature the previous section was computed at.
    const double t_prev = 3100 * std::pow(s[1]->PP / S.pt.PPK, (kGamma - 1) / kGamma);
    const double want = s[1]->PP * std::pow(1000 / t_prev, 7);
    EXPECT_NEAR(s[2]->PP, want, 1e-12 * want);
    EXPECT_EQ(S.pt.P1, 0.0);
    EXPECT_EQ(S.pt.P2, S.pt.PPK);
}

class Mixture : public Sequence {};

TEST_F(Mixture, ANewSetOfElementsAsksForANewSelection)
{
    ratios({0.0001, 1.0});
    pressures({10});
    S.task.ALFA(1) = 0.5;
    DIRECT(S);
    EXPECT_TRUE(S.pt.FOT);  // the first mixture: every element is new
    EXPECT_DOUBLE_EQ(S.eq.MC(1), (100 + 0) / 2.0);
    EXPECT_DOUBLE_EQ(S.eq.MC(8), 60 * 1.0 / 2.0);
    EXPECT_EQ(S.sp.M, 2);
    compute_point();
    OUT(S);
    DIRECT(S);
    EXPECT_FALSE(S.pt.FOT);  // the same elements at the second ratio
    EXPECT_EQ(S.pt.IA, 2);
}

TEST_F(Mixture, ListedSpeciesAskForASelectionAtTheFirstRatio)
{
    ratios({1.0});
    pressures({10});
    S.eq.MC(1) = 1;
    S.eq.MC(8) = 1;
    S.task.FSH = true;
    DIRECT(S);
    EXPECT_TRUE(S.pt.FOT);
}

TEST_F(Mixture, TheRatioTracesCarryMassRatioAndPropellantEnthalpy)
{
    ratios({0.5});
    pressures({10});
    DIRECT(S);
    ASSERT_EQ(sink->recorded.size(), 2u);
    // H = 0.5*2 = 1; enthalpy (-100 + 1*(-50))/2 = -75.
    EXPECT_EQ(sink->recorded[0], " H= 0.10000000D+01  KAPPA= 0.20000000D+01");
    EXPECT_EQ(sink->recorded[1], " H=-0.75000000D+02  IO=-0.50000000D+02  IG=-0.10000000D+03");
    EXPECT_EQ(S.pt.H, -75.0);
}

TEST_F(Mixture, ANewRatioOnAnOpenPageWritesItsLineOrClosesAFullPage)
{
    ratios({0.5, 0.75, 1.0});
    pressures({10});
    DIRECT(S);
    S.rep.AP = 1;
    S.rep.CC = 45;
    sink->recorded.clear();
    compute_point();
    S.pt.KAMEPA = false;  // as after the chamber point with no sections
    DIRECT(S);
    ASSERT_EQ(sink->recorded.size(), 3u);
    EXPECT_EQ(sink->recorded[0], " :  0.750   1.500" + std::string(103, ' ') + ":");
    EXPECT_EQ(S.rep.CC, 48);

    S.rep.CC = 46;
    sink->recorded.clear();
    S.pt.KAMEPA = false;
    DIRECT(S);
    // The page is closed (three fillers and the rule) instead of a ratio line.
    ASSERT_EQ(sink->recorded.size(), 3u * 2 + 6 + 2);
    EXPECT_EQ(sink->recorded[11], std::string(120, '-'));
    EXPECT_EQ(S.rep.CC, 0);
    EXPECT_EQ(S.pt.IA, 3);
}

class AreaRatios : public Sequence {
protected:
    void SetUp() override
    {
        Sequence::SetUp();
        ratios({1.0});
        pressures({10});
        S.task.FFF = true;
        S.task.BP = -1;
    }
    //! The reported F/F* and pressure [atm] of section i, and the DA of every iterate of it.
    void section(int i, double& area, double& p, std::vector<double>& da) const
    {
        for (const auto& v : visits) {
            if (v.IPA != i || v.chamber) continue;
            da.push_back(v.DA);
            if (v.reported) {
                area = v.area;
                p = v.PP;
            }
        }
    }
    double throat_pressure() const
    {
        for (const auto& v : visits)
            if (v.reported && !v.chamber && v.IPA == 0) return v.PP;
        return 0;
    }
};

TEST_F(AreaRatios, SubsonicEntriesKeepTheirSideForTheWholeSearch)
{
    sections({4, 2, 2, 5});
    run();
    EXPECT_EQ(reported(), (std::vector<std::string>{"a1 p1 chamber", "a1 p1 throat", "a1 p1 s1",
                                                    "a1 p1 s2", "a1 p1 s3", "a1 p1 s4"}));
    EXPECT_EQ(S.st.point_failures, 0);
    const double p_throat = throat_pressure();
    const double p_chamber = 10 * 9.869232877322741;
    std::vector<double> subsonic;
    const double want_da[4] = {-1, -1, 1, 1};
    const double want_area[4] = {4, 2, 2, 5};
    for (int i = 1; i <= 4; ++i) {
        double area = 0, p = 0;
        std::vector<double> da;
        section(i, area, p, da);
        ASSERT_GT(da.size(), 1u) << i;
        for (double d : da) EXPECT_EQ(d, want_da[i - 1]) << "section " << i;
        // The search also stops when its pressure bracket is within 1 %.
        EXPECT_NEAR(area, want_area[i - 1], 0.01 * want_area[i - 1]) << i;
        if (want_da[i - 1] < 0) {
            EXPECT_GT(p, p_throat) << i;
            EXPECT_LT(p, p_chamber) << i;
            subsonic.push_back(p);
        } else {
            EXPECT_LT(p, p_throat) << i;
        }
    }
    // The subsonic section at F/F* = 4 lies nearer the chamber than the one at 2.
    ASSERT_EQ(subsonic.size(), 2u);
    EXPECT_GT(subsonic[0], subsonic[1]);
}

TEST_F(AreaRatios, ASubsonicSearchClosesInEvenWhenItsChamberEndHasAFiniteHugeArea)
{
    // At the chamber pressure the flow is slow but not at rest: a residual of some hundreds
    // at one end of the bracket, which a plain secant would approach only step by step.
    enthalpy_deficit = 0.002;
    sections({4, 2, 5});
    run();
    EXPECT_EQ(S.st.point_failures, 0);
    int steps = 0;
    for (int i = 1; i <= 3; ++i) {
        double area = 0, p = 0;
        std::vector<double> da;
        section(i, area, p, da);
        steps = std::max(steps, static_cast<int>(da.size()));
        const double want = i == 1 ? 4 : i == 2 ? 2 : 5;
        // Within the search's own tolerance: 0.1 % of the ratio, or a pressure bracket of 1 %
        // (which, this close to the chamber, allows a few per cent of area).
        EXPECT_NEAR(area, want, 0.02 * want) << i;
    }
    EXPECT_LT(steps, 60);  // the plain secant would still creep after 100
}

TEST_F(AreaRatios, ASearchThatDoesNotConvergeIsReportedAndTheRunGoesOn)
{
    sections({3, 4});
    S.task.BP = 1;
    // A report that never accepts a section iterate: the residual keeps its sign.
    for (int n = 0; n < 1000; ++n) {
        DIRECT(S);
        if (S.pt.U == 1) break;
        compute_point();
        const bool section_search = S.pt.IPA == 1 && S.pt.PX != S.pt.PY;
        OUT(S);
        if (section_search) {
            S.pt.PX = 0.5;  // undo a convergence the real residual might reach
            S.pt.PY = 1.0;
            S.rep.RR = 1.0;
        }
    }
    EXPECT_EQ(S.pt.U, 1);
    EXPECT_EQ(S.st.point_failures, 1);
    EXPECT_EQ(lines_with("area-ratio search did not converge for section  1"), 1);
    EXPECT_EQ(lines_with("area-ratio search"), 1);
}

//! A line-mode task of one ratio with the given chamber pressures and exit pressures [MPa].
void throat_task(State& S, Sink& sink, std::vector<double> pk, std::vector<double> pa)
{
    sink.record = true;
    S.io.out = &sink;
    S.rep.CT = 1;
    S.task.BP = 1;
    S.task.NA = 1;
    S.task.ALFA(1) = 1;
    S.task.NPK = static_cast<int>(pk.size());
    for (std::size_t i = 0; i < pk.size(); ++i) S.task.PK(static_cast<long>(i) + 1) = pk[i];
    S.task.NPA = static_cast<int>(pa.size());
    for (std::size_t i = 0; i < pa.size(); ++i) S.task.PA(static_cast<long>(i) + 1) = pa[i];
    S.task.G(1) = 1;
}

TEST(ThroatSearch, AThroatThatDoesNotConvergeSkipsItsSectionsAndTheRunGoesOn)
{
    State S;
    Sink sink(nullptr, nullptr);
    throat_task(S, sink, {10, 5}, {1, 0.5});
    int throat_iterates = 0, sections = 0, chambers = 0;
    for (int n = 0; n < 1000; ++n) {
        DIRECT(S);
        if (S.pt.U == 1) break;
        if (S.pt.FKP) ++throat_iterates;
        if (S.pt.KAMEPA) ++chambers;
        if (!S.pt.KAMEPA && !S.pt.FKP) ++sections;
        // A point whose sound speed is not a number: the search cannot end by itself.
        S.pt.T = 3000;
        S.eq.IS = S.pt.KAMEPA ? 0 : -1000;
        S.eq.MS = 20;
        S.eq.CPR = 2;
        S.pt.PPA = 1;
        S.pt.WA = std::nan("");
        S.rep.RR = 400;
        OUT(S);
    }
    EXPECT_EQ(S.pt.U, 1);
    EXPECT_EQ(chambers, 2);
    EXPECT_EQ(throat_iterates, 2 * 100);
    EXPECT_EQ(sections, 0);
    EXPECT_EQ(S.st.point_failures, 2);
    int lines = 0;
    for (const auto& l : sink.recorded)
        if (l.find("throat search did not converge after 100 steps") != std::string::npos) ++lines;
    EXPECT_EQ(lines, 2);
}

//! Result of a throat search whose every pressure correction lands `overshoot` times as far
//! beyond the throat (at 0.553 of the chamber pressure) as it started before it: the iterates
//! alternate between the ends of a bracket that narrows by 1 - overshoot a step.
struct OvershootingThroat {
    int iterates = 0;
    double throat = 0;  //!< throat pressure over chamber pressure
    int failures = 0;
};
OvershootingThroat overshooting_throat(double overshoot, double PPA)
{
    State S;
    Sink sink(nullptr, nullptr);
    throat_task(S, sink, {10}, {1});
    // PPA sets how far the flow speed is from the sound speed for a given pressure error, and
    // so the step at which the test on the speed ends the search.
    const double WA = 1000, T = 300, MS = 20, CPR = 2;
    const double scale = 84.79000091552734 * (2 * T + WA * WA * PPA / CPR);
    OvershootingThroat r;
    for (int n = 0; n < 1000; ++n) {
        DIRECT(S);
        if (S.pt.U == 1) break;
        const double pstar = 0.553 * S.pt.PPK;
        if (S.pt.FKP) ++r.iterates;
        S.pt.T = T;
        S.eq.MS = MS;
        S.eq.CPR = CPR;
        S.pt.PPA = PPA;
        S.pt.WA = WA;
        S.rep.RR = 400;
        if (S.pt.KAMEPA) {
            S.eq.IS = 0;
        } else {
            const double w2 = WA * WA + (1 + overshoot) * scale / MS * (pstar - S.pt.PP) / S.pt.PP;
            S.eq.IS = -w2 / (44.720001220703125 * 44.720001220703125);
        }
        OUT(S);
        if (S.pt.PKP != 0 && r.throat == 0) r.throat = S.pt.PKP / S.pt.PPK;
    }
    r.failures = S.st.point_failures;
    return r;
}

TEST(ThroatSearch, AnAlternatingSearchThatClosesKeepsTheCorrectionsOwnIterates)
{
    // The bracket narrows by 0.7 % a step; the flow speed comes within 0.05 % of the sound
    // speed at the 53rd iterate. Every iterate is the correction's own, none a midpoint.
    const auto r = overshooting_throat(0.993, 0.01);
    EXPECT_EQ(r.failures, 0);
    EXPECT_EQ(r.iterates, 53);
    const double start = 0.5699999928474426, pstar = 0.553;
    EXPECT_NEAR(r.throat, pstar + std::pow(-0.993, r.iterates - 1) * (start - pstar), 1e-12);
}

TEST(ThroatSearch, ACorrectionThatOvershootsSteadilyStillClosesIn)
{
    // The bracket narrows by 2 % a step: alone, the corrections would take some 200 steps,
    // beyond the search's bound. After 60 the search halves the bracket instead.
    const auto r = overshooting_throat(0.98, 1);
    EXPECT_EQ(r.failures, 0);
    EXPECT_GT(r.iterates, 60);
    EXPECT_LT(r.iterates, 70);
    EXPECT_NEAR(r.throat, 0.553, 0.001);
}

}  // namespace
}  // namespace tev
