// The calculation cycle driven through stand-in routines: DIRECT hands out scripted points,
// EQUILI returns products whose enthalpy and entropy are known functions of T.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/driver.h"
#include "core/sink.h"
#include "core/state.h"

namespace {

using namespace tev;

constexpr double kBias = 0.0010000000474974513;  // the Newton bias, 0.001 as a float
constexpr double kCut = 0.11999999731779099;     // the step limit, 0.12 as a float

//! One call of a stand-in and what it saw.
struct Call {
    std::string name;
    double T, T1, x, IS, SS, K5;  //!< T, lower bracket, composition marker P(1), IS, SS, K5
    bool SPRING, FW, FZC, F5;
};

//! The stand-ins' behaviour: the points DIRECT hands out, then the products at T.
struct Script {
    std::vector<std::function<void(State&)>> points;
    std::function<void(State&)> products;
    std::size_t next = 0;
    bool endless = false;  //!< DIRECT never ends the task
    std::vector<Call> calls;
};
Script* script = nullptr;

void note(State& S, const char* name)
{
    script->calls.push_back({name, S.pt.T, S.pt.T1, S.eq.P(1), S.eq.IS, S.eq.SS, S.pt.K5,
                             S.sp.SPRING, S.eq.FW, S.eq.FZC, S.eq.F5});
}
void fake_direct(State& S)
{
    note(S, "DIRECT");
    S.pt.FOT = false;
    if (script->next == script->points.size() && !script->endless) {
        S.pt.U = 1;
        return;
    }
    S.pt.U = 2;
    script->points[std::min(script->next++, script->points.size() - 1)](S);
}
void fake_func(State& S) { note(S, "FUNC"); S.sp.SPRING = false; }  // FUNC clears SPRING
void fake_initia(State& S) { note(S, "INITIA"); S.eq.FPP = false; }
void fake_equili(State& S)
{
    S.st.equili_unconverged = false;
    S.eq.E = 0;
    if (!S.eq.FZC) S.eq.P(1) = S.pt.T;  // a solved composition marks its temperature
    S.eq.PR(1) = S.eq.P(1);
    S.eq.MS = 20;
    script->products(S);
    note(S, "EQUILI");
}
void fake_otbor(State& S) { note(S, "OTBOR"); }
void fake_tepl(State& S) { note(S, "TEPL"); }
void fake_sigma(State& S) { note(S, "SIGMA"); }
void fake_out(State& S) { note(S, "OUT"); }
void fake_apage(State& S) { note(S, "APAGE"); }

//! Enthalpy [kJ/kg] with heat capacity 2 and a jump of 40 at `tj`, shifted by `shift`.
double stepped(double T, double tj, double shift) { return 2 * T + (T >= tj ? 40 : 0) + shift; }

class Cycle : public testing::Test {
protected:
    void SetUp() override
    {
        script = &sc;
        set_defaults(S);
        after_input(S);
        S.task.TZAM = 1500;
        S.sp.N = 1;
        sink.record = true;
        S.io.out = &sink;
    }
    void TearDown() override { script = nullptr; }

    //! A point: chamber (enthalpy target) or nozzle (entropy target), start T and bracket.
    void point(bool chamber, double T, double H, double T1 = 300, double T2 = 20000)
    {
        sc.points.push_back([=](State& s) {
            s.pt.KAMEPA = chamber;
            s.pt.T = T, s.pt.T1 = T1, s.pt.T2 = T2, s.pt.H = H, s.pt.PP = 10;
        });
    }
    //! Products whose enthalpy is h(T) with heat capacity cp(T) and composition fixed.
    void enthalpy(std::function<double(double)> h, std::function<double(double)> cp)
    {
        sc.products = [=](State& s) {
            s.eq.IS = h(s.pt.T);
            s.eq.CPR = s.eq.CPZ = cp(s.pt.T);
        };
    }
    //! Products whose enthalpy rises by 2 per K through zero at `root`.
    void linear(double root)
    {
        enthalpy([=](double T) { return 2 * (T - root); }, [](double) { return 2.0; });
    }
    //! Products with the enthalpy `stepped`: P(2) is the share of the upper phase, which a
    //! held composition keeps (enthalpy linear in the composition).
    void jump(double tj, double shift, bool hold)
    {
        S.sp.N = 2;
        sc.products = [=](State& s) {
            if (!hold) s.eq.FZC = false;
            if (!s.eq.FZC) s.eq.P(2) = s.pt.T >= tj ? 1 : 0;
            s.eq.PR(2) = s.eq.P(2);
            s.eq.IS = 2 * s.pt.T + 40 * s.eq.P(2) + shift;
            s.eq.CPR = s.eq.CPZ = 2;
        };
    }
    int run(const CycleLimits& limits = {})
    {
        const Routines r{fake_direct, fake_otbor, fake_initia, fake_func, fake_equili,
                         fake_tepl,   fake_sigma, fake_out,    fake_apage};
        return run_cycle(S, r, limits);
    }
    std::vector<Call> of(const std::string& name) const
    {
        std::vector<Call> v;
        std::copy_if(sc.calls.begin(), sc.calls.end(), std::back_inserter(v),
                     [&](const Call& c) { return c.name == name; });
        return v;
    }
    template <typename Pred>
    static long count(const std::vector<Call>& v, Pred p)
    {
        return std::count_if(v.begin(), v.end(), p);
    }

    std::unique_ptr<State> s = std::make_unique<State>();
    State& S = *s;
    Script sc;
    Sink sink{nullptr, nullptr};
};

using TemperatureIteration = Cycle;

TEST_F(TemperatureIteration, PointsMeetTheirTargetsWithinThreeTenthsOfAKelvin)
{
    // Chamber: h = 1.5 T + 2e-4 T^2 - 6000, root near 2888 K, start far above it.
    // Nozzle: s = 3 ln T, target s(2000).
    const double root = (-1.5 + std::sqrt(1.5 * 1.5 + 4 * 2e-4 * 6000)) / (2 * 2e-4);
    point(true, 5000, 0);
    point(false, 3000, 3 * std::log(2000.0));
    sc.products = [](State& s) {
        const double T = s.pt.T;
        s.eq.IS = 1.5 * T + 2e-4 * T * T - 6000, s.eq.SS = 3 * std::log(T);
        s.eq.CPR = s.eq.CPZ = s.pt.KAMEPA ? 1.5 + 4e-4 * T : 3;
    };
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(of("OUT").size(), 2u);
    EXPECT_NEAR(of("OUT")[0].T, root, 0.3);
    EXPECT_NEAR(of("OUT")[1].T, 2000, 0.3);
    EXPECT_LT(of("EQUILI").size(), 30u);
    EXPECT_TRUE(sink.recorded.empty());
}

TEST_F(TemperatureIteration, NewtonStepIsBiasedThenCutToTwelvePercentWithItsSign)
{
    point(true, 3000, 0);  // root at 5000: the step goes up
    point(true, 3000, 0);  // root at 1000: the step goes down
    point(true, 2900, 0);  // on the target: the bias counts zero as positive
    sc.products = [this](State& s) {
        s.eq.IS = 2 * (s.pt.T - std::vector<double>{5000, 1000, 2900}[sc.next - 1]);
        s.eq.CPR = s.eq.CPZ = 2;
    };
    run();
    const auto eq = of("EQUILI");
    const double up = 3000 + kBias, down = 3000 - kBias;
    EXPECT_EQ(eq[1].T, up - (-1.0 * up * kCut));
    const auto second = std::find_if(eq.begin() + 1, eq.end(), [](auto& c) { return c.T == 3000; });
    ASSERT_NE(second, eq.end());
    EXPECT_EQ((second + 1)->T, down - down * kCut);
    EXPECT_EQ(eq.back().T, 2900);
    EXPECT_EQ(of("OUT").back().T, 2900 - kBias);
}

TEST_F(TemperatureIteration, StepLeavingANarrowBracketIsHalvedAndRaisesSpring)
{
    point(true, 1040, 0, 1000, 1050);  // root at 5000, far outside the bracket
    linear(5000);
    run();
    const double t = 1040 + kBias, g = 1050 - t;
    const auto func = of("FUNC");
    ASSERT_GE(func.size(), 2u);
    EXPECT_EQ(func[1].T, t + g * 0.5);
    EXPECT_TRUE(func[1].SPRING);
}

TEST_F(TemperatureIteration, ChamberAboveItsStartBracketReopensTheBracketAndCloses)
{
    // A later chamber pressure starts 50 K above the previous chamber temperature, its upper
    // bracket; the enthalpy balance needs 150 K more. A chamber within its bracket is untouched.
    point(true, 3050, 0, 0, 3050);
    point(true, 3050, 0, 0, 3050);
    sc.products = [this](State& s) {
        s.eq.IS = 2 * (s.pt.T - std::vector<double>{3200, 3020}[sc.next - 1]);
        s.eq.CPR = s.eq.CPZ = 2;
    };
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(of("OUT").size(), 2u);
    EXPECT_NEAR(of("OUT")[0].T, 3200, 0.3);
    EXPECT_NEAR(of("OUT")[1].T, 3020, 0.3);
    EXPECT_TRUE(sink.recorded.empty());
}

TEST_F(TemperatureIteration, PhaseChangeHeatCoveringTheImbalanceClosesTheBalanceAtT)
{
    point(true, 3000, -1000);  // enthalpy 3 above the target, heat 5: 3/5 of it converted
    point(false, 3000, 7.0);   // entropy 0.001 above the target, heat 6 (0.002 per K): half
    point(true, 3000, -1000);  // heat 2: short of the imbalance, a step is taken
    point(true, 3000, -1000);  // heat -5: of the other sign, a step is taken
    sc.products = [this](State& s) {
        s.eq.IS = -997 + 2 * (s.pt.T - 3000), s.eq.SS = 7.001, s.eq.CPR = s.eq.CPZ = 2;
        if (s.pt.T == 3000) s.eq.E = std::vector<double>{5, 6, 2, -5}[sc.next - 1];
    };
    run();
    const auto out = of("OUT");
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].T, 3000);
    EXPECT_NEAR(out[0].IS, -1000, 1e-9);
    EXPECT_NEAR(out[0].SS, 7.001 - 3.0 / 3000, 1e-12);
    EXPECT_EQ(out[1].T, 3000);
    EXPECT_NEAR(out[1].SS, 7.0, 1e-12);
    EXPECT_NEAR(out[1].IS, -997 - 3, 1e-9);
    EXPECT_NE(out[2].T, 3000);
    EXPECT_NE(out[3].T, 3000);
    EXPECT_EQ(of("EQUILI").size(), 1u + 1u + 2u + 2u);
}

TEST_F(TemperatureIteration, JumpInEnthalpyEndsWithTheBlendOfTheTwoSides)
{
    // Negative enthalpy: the partner is stored above the jump, the iteration ends below it.
    const double tj = 2500.17, shift = -10000, H = 2 * tj + 20 + shift;
    point(true, 3000, H);
    jump(tj, shift, true);
    run();
    const auto eq = of("EQUILI");
    ASSERT_TRUE(eq.back().FZC);
    const Call& held = eq.back();
    const Call& before = eq[eq.size() - 2];
    const double w = stepped(before.T, tj, shift);
    const double e = (w - H) / (w - S.pt.W2);
    EXPECT_GT(e, 0);
    EXPECT_LT(e, 1);
    EXPECT_DOUBLE_EQ(held.x, before.x * (1 - e) + S.eq.XR(1) * e);
    EXPECT_LT(before.x, tj);  // the two sides of the jump
    EXPECT_GE(S.eq.XR(1), tj);
    EXPECT_LT(std::fabs(S.eq.IS - H), std::fabs(w - H) / 10);  // the blend meets the target
    EXPECT_FALSE(S.eq.F1);
    EXPECT_TRUE(sink.recorded.empty());
}

TEST_F(TemperatureIteration, ABlendThatWouldBreakTheCompositionIsNotTaken)
{
    // Positive enthalpy: the partner is stored below the jump, on the same side of the target
    // as the converged point, and the blend extrapolates by a factor near -33. Species 3 and 5
    // (gas and condensed, 1 kg/mol each) trade mass as T rises; species 4 is a trace gas in
    // logarithmic form. Either extrapolated would break the composition: the condensed
    // fraction past 1 with the gas negative, or the trace gas made into hundreds of moles.
    const double tj = 2500.17, H = 2 * tj + 20;
    for (const bool trace_gas : {false, true}) {
        sc = Script{};
        sink.recorded.clear();
        point(true, 3000, H);
        S.sp.N = 5;
        S.sp.NG = 4;
        S.eq.MK(3) = S.eq.MK(4) = S.eq.MK(5) = 1000;
        sc.products = [=](State& s) {
            const double T = s.pt.T;
            if (!s.eq.FZC) {
                s.eq.P(2) = T >= tj ? 1 : 0;
                s.eq.P(5) = trace_gas ? 0.5 : 0.999 + (T - 2499) * 1e-3;
                s.eq.P(3) = 1 - s.eq.P(5);
                s.eq.P(4) = trace_gas ? -42 + 30 * (T - 2499) : -45;
            }
            for (int i = 2; i <= 5; ++i) s.eq.PR(i) = s.eq.P(i);
            s.eq.IS = 2 * T + 40 * s.eq.P(2);
            s.eq.CPR = s.eq.CPZ = 2;
        };
        run();
        EXPECT_EQ(count(of("EQUILI"), [](auto& c) { return c.FZC; }), 0) << trace_gas;
        EXPECT_NEAR(of("OUT")[0].T, tj, 0.7);
        EXPECT_LE(S.eq.P(5), 1.0);
        EXPECT_GE(S.eq.P(3), 0.0);
        EXPECT_LT(S.eq.P(4), 0.0);
    }
}

TEST_F(TemperatureIteration, RepeatedBlendsGoOnUntilTheBisectionLetsGo)
{
    // The solver's heat capacity is a fifth of the slope of the enthalpy: Newton overshoots,
    // the bracket closes by bisection, and every converged arrival blends. Above the freezing
    // temperature the solver solves the blend again, the bias moves T by 0.001 K towards the
    // root, and the iteration ends by itself once the Newton step fits inside the bracket.
    // With a negative enthalpy the partner is stored above the root and the blends interpolate;
    // with a positive one it is stored below, on the side of the converged point, and every
    // blend extrapolates mildly (factors near -0.6), as written.
    const double root = 3000.123;
    for (const double H : {-5000.0, 5000.0}) {
        sc = Script{};
        point(true, 3300, H);
        sc.products = [=](State& s) {
            s.eq.FZC = false;
            s.eq.P(1) = s.eq.PR(1) = s.pt.T;
            s.eq.IS = H + 10 * (s.pt.T - root);
            s.eq.CPR = s.eq.CPZ = 2;
        };
        EXPECT_EQ(run(), 0);
        const auto funcs = of("FUNC");
        EXPECT_GT(count(funcs, [](auto& c) { return c.FZC; }), 150) << H;
        EXPECT_GT(funcs.size(), 200u);  // more steps than the former bound
        const auto first = std::find_if(funcs.begin(), funcs.end(), [](auto& c) { return c.FZC; });
        ASSERT_NE(first, funcs.end());
        // After the first blend the point was 2.1 kJ/kg from its target; the text ends at 0.09.
        EXPECT_GT(std::fabs(10 * (first->T - root)), 2.0);
        ASSERT_EQ(of("OUT").size(), 1u);
        EXPECT_LT(std::fabs(of("OUT")[0].IS - H), 0.1) << H;
        EXPECT_TRUE(sink.recorded.empty());
    }
}

TEST_F(TemperatureIteration, ProductsWithoutGasReportZeroSoundSpeedNotANumber)
{
    point(true, 3000, 0, 3000, 3000);  // a point at fixed temperature
    sc.products = [](State& s) {
        s.eq.MS = 0;  // everything condensed
        s.eq.CPR = 1.5, s.eq.CPZ = 1.2;
    };
    run();
    ASSERT_EQ(of("OUT").size(), 1u);
    EXPECT_EQ(of("OUT")[0].K5, 0.0);
    EXPECT_EQ(S.pt.WA, 0.0);
    EXPECT_FALSE(std::isnan(S.eq.CV));
}

TEST_F(TemperatureIteration, HeatCapacitiesWithoutARealSoundSpeedAreReportedNotPrintedAsNan)
{
    point(true, 3000, 0, 3000, 3000);
    sc.products = [](State& s) { s.eq.CPR = s.eq.CPZ = 0.1; };  // cv = 0.1 - R/M < 0
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(S.pt.WA, 0.0);
    ASSERT_EQ(sink.recorded.size(), 1u);
    EXPECT_NE(sink.recorded[0].find("NOT CONVERGED (SOUND SPEED)"), std::string::npos);
}

TEST_F(TemperatureIteration, ABlendThatMeetsTheTargetIsNotReported)
{
    const double tj = 2500.17, shift = -10000, H = 2 * tj + 20 + shift;
    point(false, 3000, 0);  // placeholder replaced below: a chamber point below TZAM
    sc.points.back() = [=](State& s) {
        s.pt.KAMEPA = true, s.pt.T = 3000, s.pt.T1 = 300, s.pt.T2 = 20000, s.pt.H = H;
        s.pt.PP = 10;
        s.task.TZAM = 5000;  // the blended composition is held
    };
    jump(tj, shift, true);
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(sink.recorded.empty());
}

TEST_F(TemperatureIteration, NozzleBelowTheFreezingTemperatureSearchesThePressureOfTzam)
{
    point(false, 1600, 3 * std::log(1000.0), 300, 1600);
    sc.products = [](State& s) {
        s.eq.SS = 3 * std::log(s.pt.T), s.eq.CPR = s.eq.CPZ = 3;
        if (s.eq.FPZ) s.eq.SS = s.pt.H, s.eq.FZC = true, s.eq.FPZ = false;  // search done
    };
    run();
    const auto eq = of("EQUILI");
    const auto frozen = std::find_if(eq.begin(), eq.end(), [](const Call& c) { return c.FZC; });
    ASSERT_NE(frozen, eq.end());
    EXPECT_EQ(frozen->T, 1500);
    EXPECT_EQ(frozen->T1, 0);
    // The search starts as soon as the bracket falls below TZAM: one solution below it.
    EXPECT_EQ(count(eq, [](auto& c) { return c.T < 1499; }), 1);
    EXPECT_EQ(S.pt.P1, 10);
    EXPECT_EQ(S.pt.PP, 20);
    EXPECT_EQ(of("OUT").size(), 1u);
}

TEST_F(TemperatureIteration, IterationThatCannotCloseIsBoundedAndReported)
{
    // A section given by temperature with a held composition asks for a new solution forever.
    S.task.FT = true;
    point(false, 1800, 9);
    point(true, 3000, 0);
    sc.products = [](State& s) {
        s.eq.IS = 2 * (s.pt.T - 2900), s.eq.CPR = s.eq.CPZ = 2;
        s.eq.FZC = !s.pt.KAMEPA;
    };
    EXPECT_EQ(run(CycleLimits{50, 100}), 1);
    EXPECT_EQ(count(of("EQUILI"), [](auto& c) { return c.T == 1800; }), 51);
    EXPECT_EQ(of("OUT").size(), 2u);
    ASSERT_EQ(sink.recorded.size(), 1u);
    EXPECT_NE(sink.recorded[0].find("NOT CONVERGED (TEMPERATURE): T=  1800.00 K"),
              std::string::npos);
}

TEST_F(TemperatureIteration, SolverGivingUpOnOneCallMarksItsPointOnce)
{
    point(true, 3000, 0);
    point(true, 3000, 0);
    linear(2900);
    auto solve = sc.products;
    sc.products = [&](State& s) {
        solve(s);
        s.st.equili_unconverged = sc.next == 1 && s.pt.T == 3000;
    };
    EXPECT_EQ(run(), 1);
    ASSERT_EQ(sink.recorded.size(), 1u);
    EXPECT_NE(sink.recorded[0].find("(EQUILIBRIUM)"), std::string::npos);
    EXPECT_NE(sink.recorded[0].find("MPa (RATIO  0, CHAMBER PRESSURE  0, SECTION  0)"),
              std::string::npos);
    // The point is finished on the solution given up on, without further temperature steps
    // (each of which could spend the solver's whole bound again); the next point iterates.
    EXPECT_EQ(count(of("EQUILI"), [](auto& c) { return c.T == 3000; }), 2);
    EXPECT_EQ(of("OUT").size(), 2u);
}

TEST_F(TemperatureIteration, PointWithValuesNotFiniteIsNamedAndMarkedVoid)
{
    point(true, 3000, 0);
    linear(2900);
    const Routines r{fake_direct, fake_otbor, fake_initia, fake_func, fake_equili, fake_tepl,
                     fake_sigma,
                     [](State& s) { note(s, "OUT"); s.st.point_nonfinite = true; },
                     [](State& s) { note(s, "APAGE"); }};
    EXPECT_EQ(run_cycle(S, r), 1);
    EXPECT_TRUE(S.st.point_void);  // DIRECT builds no throat or search step on it
    ASSERT_EQ(sink.recorded.size(), 1u);
    EXPECT_NE(sink.recorded[0].find("NOT CONVERGED ( NON-FINITE)"), std::string::npos);
}

using PointSequence = Cycle;

TEST_F(PointSequence, NewSelectionRunsFuncFirstAndTheLastDirectEndsWithOneApage)
{
    point(true, 3000, 0, 3000, 3000);
    point(true, 3000, 0, 3000, 3000);
    sc.points[0] = [f = sc.points[0]](State& s) { f(s), s.pt.FOT = true; };
    sc.points[1] = [f = sc.points[1]](State& s) { f(s), s.pt.U = 3; };  // keeps T: no FUNC
    linear(3000);
    EXPECT_EQ(run(), 0);
    std::vector<std::string> names;
    for (const Call& c : sc.calls) names.push_back(c.name);
    const std::vector<std::string> expected{"DIRECT", "OTBOR", "FUNC", "EQUILI", "TEPL", "OUT",
                                            "DIRECT", "EQUILI", "TEPL", "OUT", "DIRECT", "APAGE"};
    EXPECT_EQ(names, expected);
}

TEST_F(PointSequence, GivenTemperaturesTakeOneSolutionEachEvenOffTarget)
{
    point(true, 2000, 0, 2000, 2000);  // fixed temperature
    point(true, 2500, 0);
    linear(2900);
    S.eq.FZC = true;
    sc.points[1] = [f = sc.points[1]](State& s) { f(s), s.task.FIS = true; };
    run();
    EXPECT_EQ(of("EQUILI").size(), 2u);
    EXPECT_FALSE(of("OUT")[0].FZC);
    EXPECT_EQ(of("OUT")[1].T, 2500);
}

TEST_F(PointSequence, DifferingHeatCapacitiesTakeAPerturbedSecondSolution)
{
    point(true, 3000, 0, 3000, 3000);  // CPR = CPZ: one solution
    point(true, 3000, 0, 3000, 3000);
    sc.products = [this](State& s) {
        s.eq.CPR = 4, s.eq.CPZ = sc.next == 1 ? 4 : 3;
        s.eq.MS = s.eq.FW ? 20.05 : 20, s.eq.CV = s.eq.FW ? 1.2 : 0.7;
    };
    run();
    const auto eq = of("EQUILI");
    ASSERT_EQ(eq.size(), 3u);
    EXPECT_TRUE(eq[2].FW);
    EXPECT_EQ(of("FUNC").size(), 2u);  // none before the second solution
    EXPECT_EQ(S.eq.MS, 20);            // the molar mass of the point is restored
    EXPECT_NEAR(of("OUT")[0].K5, 4 / (4 - 4.184000015258789 * 1.9871900081634521 / 20), 1e-12);
    // Effective molar mass 20 (1 + 200 * 0.05 / 20) = 30.
    const double cv = 4 - 4.184000015258789 * 1.9871900081634521 * 1.44 / 30;
    EXPECT_NEAR(S.eq.CV, cv, 1e-12);
    EXPECT_NEAR(S.pt.WA, std::sqrt(4 / cv / 30 * 3000 * 8314.41015625), 1e-9);
}

TEST_F(PointSequence, ConstantVolumeBalancesInternalEnergy)
{
    S.task.FV = true;
    point(true, 3000, 0);
    linear(2900);
    run();
    // 2 (T - 2900) - R0 4.184 T / 20 = 0
    EXPECT_NEAR(of("OUT")[0].T, 5800 / (2 - 4.184 * 1.98719 / 20), 0.3);
}

TEST_F(PointSequence, IonsComputeEveryPointAfterTheFirstTwiceWithFm)
{
    for (int i = 0; i < 3; ++i) point(true, 3000, 0, 3000, 3000);
    for (auto& p : sc.points) p = [f = p](State& s) { f(s), s.eq.MC(98) = 0.01; };
    linear(3000);
    S.task.FM = true;
    run();
    std::vector<bool> f5;
    for (const Call& c : of("OUT")) f5.push_back(c.F5);
    EXPECT_EQ(f5, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(of("SIGMA").size(), 5u);
}

TEST_F(PointSequence, RunWhoseTaskNeverEndsIsStoppedAtItsBound)
{
    sc.endless = true;
    point(true, 3000, 0, 3000, 3000);
    linear(3000);
    EXPECT_EQ(run(CycleLimits{200, 100}), 1);
    EXPECT_EQ(of("DIRECT").size(), 100u);
    EXPECT_EQ(of("APAGE").size(), 1u);
    ASSERT_EQ(sink.recorded.size(), 1u);
    EXPECT_NE(sink.recorded[0].find("STOPPED AFTER       100 OPERATING"), std::string::npos);
}

TEST(AfterInput, NegativeFreezingTemperatureBecomesZeroAndSetsF8)
{
    auto S = std::make_unique<State>();
    S->task.TZAM = -1;
    after_input(*S);
    EXPECT_EQ(S->task.TZAM, 0);
    EXPECT_TRUE(S->task.F8);
    S->task.TZAM = 1500;
    after_input(*S);  // F8 follows the sign of TZAM whatever the task said
    EXPECT_FALSE(S->task.F8);
    EXPECT_EQ(S->eq.R0, double(1.98719f));
    EXPECT_EQ(S->eq.E1, double(5e-5f));
    EXPECT_EQ(S->eq.E2, double(5e-4f));
}

}  // namespace
