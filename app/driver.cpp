// The calculation cycle: run-wide defaults, the settings made after the task is read, and the
// one control loop of the program, which walks the operating points and closes the energy or
// entropy balance of each point by iterating its temperature.
//
// How the cycle runs
// ------------------
// The cycle is a small state machine; each step below is one value of `Step` and one helper.
//
//   Dispatch     U = 0 (a selection was just made): U becomes 2 and the point starts;
//                otherwise DIRECT is asked for the next point.
//   Advance      DIRECT chooses the next point. When it raises FOT (the element set changed)
//                or has no point left (U = 1), go to End or reselect.
//   End/reselect no point left: APAGE closes the last page and the run ends. A new element
//                set: U = 0, OTBOR selects the species, back to Dispatch (so FUNC runs before
//                the first solution with the new selection).
//   Point start  INITIA when DIRECT asked for a fresh start (FPP); W2 = 0; FUNC when the point
//                starts from a new temperature (U = 2); then the first equilibrium.
//   Equilibrium  EQUILI at T and PP. The pressure-perturbed second pass, grid points (FIS) and
//                points of fixed temperature (T1 = T2) go straight to Finish; all others to
//                Balance.
//   Balance      one step of the temperature iteration on the balanced quantity W: the
//                products' enthalpy (chamber; internal energy with constant volume) against
//                the propellant's, or their entropy (nozzle) against the chamber's. A heat of
//                phase change that covers the remaining imbalance closes the balance at the
//                current T. Otherwise a Newton step, biased by 0.001 K towards the root, cut
//                to 12 % of T, narrows the bracket [T1, T2]; when the step would leave the
//                bracket it is replaced by half the bracket (bisection), and a bracket below
//                100 K raises SPRING so that FUNC may pin T on a phase boundary. A step above
//                0.3 K is taken; otherwise the point has converged.
//   Freezing     a nozzle point below the freezing temperature TZAM: the solver is asked to
//                search the pressure at which the flow reaches TZAM (P1, P2, FPZ).
//   Interpolation  a converged point inside a jump of W(T) takes the linear blend of the
//                current composition and the one stored at W2 that meets the target, unless
//                the blend would leave an unphysical composition.
//   Recompute    FUNC at the new T, then the next equilibrium.
//   Finish       speed of sound and heat-capacity ratio (with a second solution at 1.005 p
//                when the equilibrium and frozen heat capacities differ), TEPL, SIGMA with
//                ions, OUT. With ions and FM every point after the first is computed twice,
//                with negative ions switched off (F5) and then on.
//
// Every loop is bounded: a point gets at most `CycleLimits::temperature_steps` temperature
// steps, the run at most `CycleLimits::points` calls of DIRECT. A point whose iteration hit
// its bound, or whose solver hit one of its own (S.st.equili_unconverged), is finished with
// what it has, reported by OUT as usual, and named in one extra report line.
#include "app/driver.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/constants.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/sink.h"
#include "nozzle/nozzle.h"
#include "report/results_table.h"

namespace tev {

namespace {

//! Bias of the temperature towards the root before each Newton step [K] (0.001 as a float).
constexpr double kTempBias = 0.0010000000474974513;
static_assert(kTempBias == double(0.001f));
//! Largest temperature step as a fraction of T [-] (0.12 as a float).
constexpr double kStepMax = 0.11999999731779099;
static_assert(kStepMax == double(0.12f));
//! Room a Newton step must leave inside the bracket, else the bracket is halved [K] (0.1 as a
//! float).
constexpr double kBracketMargin = 0.10000000149011612;
static_assert(kBracketMargin == double(0.1f));
//! Bracket width below which a phase boundary may be pinned and compositions blended [K].
constexpr double kSpringWidth = 100.0;
//! Share of the bracket taken by a bisection step [-].
constexpr double kHalf = 0.5;
//! Temperature step below which the iteration has converged [K] (0.3 as a float).
constexpr double kTempTol = 0.30000001192092896;
static_assert(kTempTol == double(0.3f));
//! Relative change of the products' mass beyond which a blend of compositions is refused [-].
constexpr double kBlendMassTol = 1e-6;
//! A converged point whose Newton correction still exceeds this is reported unbalanced [K].
constexpr double kUnbalancedT = 5.0;
//! Factor on the pressure that opens the freezing-point pressure search [-].
constexpr double kFreezePressureFactor = 2.0;
//! Slope that turns the molar mass shift of the 1.005 p solution into the effective molar
//! mass of the sound speed: 1/0.005, the relative pressure perturbation [-].
constexpr double kMolarMassSlope = 200.0;

//! The line naming a point that did not converge: cause, T [K], p [MPa], IA, IPK, IPA.
constexpr const char* kNotConvergedLayout =
    "(' *** NOT CONVERGED (',A11,'): T=',F9.2,' K, P=',E12.5,' MPa (RATIO',I3,"
    "', CHAMBER PRESSURE',I3,', SECTION',I3,')')";
//! The line that ends a run whose DIRECT calls reached their bound.
constexpr const char* kRunStoppedLayout =
    "(' *** CALCULATION STOPPED AFTER',I10,' OPERATING POINTS: THE TASK DID NOT END')";

//! Sign as the balance uses it: +1 for x >= 0 (zero included), -1 below.
double sgn(double x) { return x >= 0 ? 1.0 : -1.0; }

//! The steps of the cycle (see the file comment).
enum class Step {
    Dispatch,
    Advance,
    EndOrReselect,
    PointStart,
    Equilibrium,
    Balance,
    FreezingRestart,
    Interpolation,
    Recompute,
    Finish,
    Stop,
};

//! One run of the cycle: the state, the routines, the bounds and the current point's record.
struct Cycle {
    State& S;
    const Routines& r;
    const CycleLimits& limits;
    int steps = 0;               //!< temperature steps of the current point
    bool equili_failed = false;  //!< an EQUILI call of the current point hit one of its bounds
    double t2_start = 0;         //!< upper temperature bracket the point started with [K]
    bool reopened = false;       //!< the chamber bracket was reopened to its full height
    bool unbalanced = false;     //!< the iteration closed onto a jump of W(T), balance still off
    bool no_sound = false;       //!< the products' heat capacities give no real sound speed

    void call(void (*routine)(State&)) const
    {
        if (routine) routine(S);
    }
};

// Dispatch: a transient U = 0 left by a new selection starts the point from a new temperature.
Step dispatch(Cycle& c)
{
    auto& pt = c.S.pt;
    if (pt.U != 0) return Step::Advance;
    pt.U = 2;
    return Step::PointStart;
}

// Advance: DIRECT chooses the next point; a changed element set or the end of the task is
// handled by End or reselect.
Step advance(Cycle& c, long& advances)
{
    auto& pt = c.S.pt;
    if (advances >= c.limits.points) {
        // DIRECT has not ended the task within the bound: close the page and say so.
        if (c.S.io.out)
            c.S.io.out->write(Layout(kRunStoppedLayout), {Value::integer(advances)});
        ++c.S.st.point_failures;
        c.call(c.r.APAGE);
        return Step::Stop;
    }
    ++advances;
    c.call(c.r.DIRECT);
    if (pt.FOT || pt.U == 1) return Step::EndOrReselect;
    return Step::PointStart;
}

// End or reselect: without FOT the task is done; with it the species are selected again.
Step end_or_reselect(Cycle& c)
{
    auto& pt = c.S.pt;
    if (!pt.FOT) {
        c.call(c.r.APAGE);
        return Step::Stop;
    }
    pt.U = 0;
    c.call(c.r.OTBOR);
    return Step::Dispatch;
}

// Point start: fresh start when asked, no interpolation partner yet, species functions when
// the point starts from a new temperature.
Step point_start(Cycle& c)
{
    auto& S = c.S;
    c.steps = 0;
    c.equili_failed = false;
    c.t2_start = S.pt.T2;
    c.reopened = false;
    c.unbalanced = false;
    c.no_sound = false;
    S.st.titer_unconverged = false;
    S.st.point_nonfinite = false;
    if (S.eq.FPP) c.call(c.r.INITIA);
    S.pt.W2 = 0;
    if (S.pt.U == 2) c.call(c.r.FUNC);
    S.eq.FW = false;
    return Step::Equilibrium;
}

// Equilibrium: one solution at T and PP, then on to the balance unless the temperature is
// given (grid points, fixed-temperature points) or this was the second sound-speed pass.
Step equilibrium(Cycle& c)
{
    auto& S = c.S;
    c.call(c.r.EQUILI);
    // The solver counts its own failures; the point remembers that one of its calls failed.
    // A solution the solver gave up on is no ground for further temperature steps (each of
    // them could cost the solver's whole bound again): the point is finished as it stands.
    if (S.st.equili_unconverged) {
        c.equili_failed = true;
        return Step::Finish;
    }
    if (S.eq.FW) return Step::Finish;
    if (S.task.FIS) return Step::Finish;
    if (S.pt.T1 == S.pt.T2) {
        S.eq.FZC = false;
        return Step::Finish;
    }
    return Step::Balance;
}

//! Whether the blend PR (1 - e) + XR e of the current and the stored composition is still a
//! composition of the same propellant: no amount held directly on both sides comes out
//! negative (it would be read as a logarithm); the mass of the species, amounts in logarithmic
//! form included, stays that of the current composition, so that no matter is made or lost
//! (blending a logarithm with an amount, or extrapolating, can do either, and repeated
//! extrapolating blends multiply any such error by 1 - e each time); and the condensed mass
//! fraction, summed as the solver sums it, stays within [0, 1]. The listed species are left
//! out of the sums, as the solver leaves them out. Every other blend, repeated or mildly
//! extrapolating, is sound.
bool blend_is_physical(const State& S, double e)
{
    const auto& eq = S.eq;
    const auto& sp = S.sp;
    const auto& HAC = S.task.HAC;
    const auto amount = [](double p) { return p >= 0 ? p : std::exp(p); };
    double mass_now = 0, mass_blend = 0, condensed = 0;
    int listed = 1;  // HAC walks in step with the species index
    for (long i = 1; i <= sp.N; ++i) {
        const double a = eq.PR(i), b = eq.XR(i);
        const double v = a * (1 - e) + b * e;
        if (a >= 0 && b >= 0 && v < 0) return false;
        if (S.task.FHAC && listed <= 5 && HAC(listed) == i) {
            ++listed;
            continue;
        }
        mass_now += eq.MK(i) * amount(a);
        mass_blend += eq.MK(i) * amount(v);
        if (i > sp.NG) condensed += eq.MK(i) * v;
    }
    const double zk = 0.001 * condensed;
    return std::fabs(mass_blend - mass_now) <= kBlendMassTol * mass_now && zk >= 0 && zk <= 1;
}

// Balance: one step of the temperature iteration (see the file comment).
Step balance(Cycle& c)
{
    auto& S = c.S;
    auto& pt = S.pt;
    auto& eq = S.eq;
    auto& sp = S.sp;

    if (c.steps >= c.limits.temperature_steps) {
        // The bound is reached: the point keeps the last solution, consistent with its T.
        S.st.titer_unconverged = true;
        return Step::Finish;
    }

    // Sections given by temperature need no balance; a held composition is solved again.
    if (!pt.KAMEPA && !pt.FKP && S.task.FT) {
        if (pt.P1 != 0) return Step::Finish;
        if (eq.FZC) return Step::Recompute;
        return Step::Finish;
    }

    // The balanced quantity W and its temperature derivative C.
    if (pt.KAMEPA) {
        // Constant volume: the balance is on internal energy, h - R T / M.
        if (S.task.FV) eq.IS = eq.IS - kCal * eq.R0 * pt.T / eq.MS;
        pt.W = eq.IS;
        sp.C = eq.CPR;
    } else {
        sp.C = eq.CPR / pt.T;
        pt.W = eq.SS;
    }

    // A condensed species sitting at its transition temperature: when its heat of phase
    // change covers the imbalance, convert the fraction R of it and close the balance here.
    if (eq.E != 0) {
        eq.Q = eq.E;
        if (!pt.KAMEPA) eq.E = eq.E / pt.T;
        const double d = pt.W - pt.H;
        if (d * eq.E > 0 && std::fabs(d) <= std::fabs(eq.E)) {
            sp.R = d / eq.E;
            eq.IS = eq.IS - sp.R * eq.Q;
            eq.SS = eq.SS - (sp.R / pt.T) * eq.Q;
            return Step::Finish;
        }
    }

    // Newton step. The bias moves T first; DT still comes from the W of the unbiased T.
    pt.T = pt.T - kTempBias * sgn(pt.W - pt.H);
    pt.DT = (pt.W - pt.H) / sp.C;
    if (std::fabs(pt.DT) > kStepMax * pt.T) pt.DT = sgn(pt.DT) * pt.T * kStepMax;

    // The root lies below T when the step goes down (W above target), above it otherwise.
    if (pt.DT > 0)
        pt.T2 = pt.T;
    else
        pt.T1 = pt.T;

    if (!pt.KAMEPA && !eq.FZC && S.task.TZAM > pt.T2) return Step::FreezingRestart;

    // A step that would leave the bracket is replaced by half the bracket.
    if ((pt.T2 - std::fabs(pt.DT)) - pt.T1 < kBracketMargin) {
        const double g = pt.T2 - pt.T1;
        if (g < kSpringWidth) sp.SPRING = true;
        pt.DT = sgn(pt.DT) * g * kHalf;
    }

    if (std::fabs(pt.DT) > kTempTol) {
        pt.T = pt.T - pt.DT;
        eq.FB = true;
        // Keep the composition on one side of the root as the partner of an interpolation.
        if (pt.W * pt.DT < 0) {
            pt.W2 = pt.W;
            for (long i = 1; i <= S.sp.N; ++i) eq.XR(i) = eq.PR(i);
        }
        if (eq.FPP) c.call(c.r.INITIA);
        return Step::Recompute;
    }

    // A later chamber pressure starts 50 K above the previous chamber temperature, which is
    // also its upper bracket. When the products' enthalpy is still short of the propellant's
    // at that bracket end, the chamber temperature lies higher: reopen the bracket to the top
    // of the first chamber point's and go on, rather than report an unbalanced chamber.
    if (pt.KAMEPA && !c.reopened && pt.T2 == c.t2_start && pt.T2 < kChamberTopT &&
        pt.W < pt.H && std::fabs((pt.W - pt.H) / sp.C) > kTempTol) {
        c.reopened = true;
        pt.T1 = pt.T;
        pt.T2 = kChamberTopT;
        pt.DT = (pt.W - pt.H) / sp.C;
        if (std::fabs(pt.DT) > kStepMax * pt.T) pt.DT = sgn(pt.DT) * pt.T * kStepMax;
        pt.T = pt.T - pt.DT;
        eq.FB = true;
        if (eq.FPP) c.call(c.r.INITIA);
        return Step::Recompute;
    }

    // The bracket can close onto a jump of W(T) (a substance condensing or boiling off as a
    // whole) with the balance still far off: the point is then named in the report. A blend
    // of the two sides that meets the target clears the mark at its own convergence.
    c.unbalanced = std::fabs((pt.W - pt.H) / sp.C) > kUnbalancedT;

    // Converged. Inside a jump of W(T) the composition is blended with the stored partner.
    if (!pt.KAMEPA && S.task.TZAM > pt.T && !eq.FZC) return Step::FreezingRestart;
    if (sp.SPRING && std::fabs(pt.W2) > 0) {
        // A blend that would leave negative amounts, make or lose matter, or put the condensed
        // fraction outside [0, 1] (an extrapolation by a factor near -33 did) is not taken:
        // the point keeps the current solution, within 0.3 K of the jump.
        if (blend_is_physical(S, (pt.W - pt.H) / (pt.W - pt.W2))) return Step::Interpolation;
    }
    return Step::Finish;
}

// Freezing restart: below TZAM the flow is frozen at the point where it reaches TZAM; the
// solver searches that pressure, starting from the bracket [PP, 2 PP].
Step freezing_restart(Cycle& c)
{
    auto& pt = c.S.pt;
    pt.P1 = pt.PP;
    pt.PP = kFreezePressureFactor * pt.PP;
    pt.P2 = 0;
    c.S.eq.FPZ = true;
    pt.T = c.S.task.TZAM;
    pt.T2 = c.S.task.TZAM;
    pt.T1 = 0;
    return Step::Recompute;
}

// Interpolation: W(T) jumps inside the collapsed bracket; the blend of the current
// composition and the stored one that meets H is held as the converged composition.
Step interpolation(Cycle& c)
{
    auto& S = c.S;
    auto& eq = S.eq;
    eq.FZC = true;
    eq.F1 = false;
    eq.E = (S.pt.W - S.pt.H) / (S.pt.W - S.pt.W2);
    for (long i = 1; i <= S.sp.N; ++i) eq.P(i) = eq.PR(i) * (1 - eq.E) + eq.XR(i) * eq.E;
    return Step::Recompute;
}

// Recompute: species functions at the new temperature, then the next equilibrium.
Step recompute(Cycle& c)
{
    ++c.steps;
    c.call(c.r.FUNC);
    c.S.eq.FW = false;
    return Step::Equilibrium;
}

// Names the point in the report when its iteration or its solver gave up, and marks it in the
// results table when OUT recorded it there (`recorded`).
void report_unconverged(Cycle& c, bool recorded)
{
    auto& S = c.S;
    const bool titer = S.st.titer_unconverged;
    const bool nonfinite = S.st.point_nonfinite;
    // DIRECT does not build on a point whose solution is void (no throat or sections of such
    // a chamber, no further steps of a search from such an iterate).
    S.st.point_void = c.equili_failed || nonfinite;
    if (!titer && !c.equili_failed && !c.unbalanced && !c.no_sound && !nonfinite) return;
    ++S.st.point_failures;
    if (recorded) S.io.table->mark_last_unconverged();
    if (!S.io.out) return;
    const char* cause = nonfinite       ? "NON-FINITE"
                        : c.equili_failed ? (titer ? "TEMP.+EQUIL" : "EQUILIBRIUM")
                        : titer         ? "TEMPERATURE"
                        : c.unbalanced  ? "BALANCE OFF"
                                        : "SOUND SPEED";
    static const Layout layout(kNotConvergedLayout);
    S.io.out->write(layout,
                    {Value::name(cause), Value::real(S.pt.T), Value::real(S.pt.PP * kMPaPerAtm),
                     Value::integer(S.pt.IA), Value::integer(S.pt.IPK), Value::integer(S.pt.IPA)});
}

// Finish: speed of sound of the converged point, its properties and its report.
Step finish(Cycle& c)
{
    auto& S = c.S;
    auto& eq = S.eq;
    auto& pt = S.pt;
    if (eq.MS == 0) {
        // No gas phase: the products have no gas constant and carry no sound; report zeros
        // rather than numbers made of a division by the zero molar mass.
        eq.CV = eq.CPR;
        pt.K5 = 0;
        pt.WA = 0;
    } else if (eq.CPR == eq.CPZ) {
        // Composition fixed: cv = cp - R/M.
        eq.CV = eq.CPR - kCal * eq.R0 / eq.MS;
        pt.K5 = eq.CPR / eq.CV;
        pt.WA = std::sqrt(pt.K5 / eq.MS * pt.T * kRgas);
    } else if (!eq.FW) {
        // The composition shifts with pressure: solve again at 1.005 p for dln M/dln p.
        pt.WA = eq.MS;
        eq.FW = true;
        return Step::Equilibrium;
    } else {
        const double m1 = pt.WA;
        const double m2 = eq.MS;
        eq.MS = m1;
        eq.E = m1;
        const double meff = m1 * (1 + kMolarMassSlope * (m2 - m1) / m1);
        eq.CV = eq.CPR - kCal * eq.R0 * (eq.CV * eq.CV) / meff;
        pt.K5 = eq.CPR / eq.CV;
        pt.WA = std::sqrt(pt.K5 / meff * pt.T * kRgas);
    }

    // Heat capacities that leave cv negative (products whose sums exclude their main species,
    // say) give no real sound speed: report 0 and name the point instead of printing NaN.
    if (eq.MS != 0 && !(pt.WA > 0)) {
        pt.WA = 0;
        c.no_sound = true;
    }

    c.call(c.r.TEPL);
    if (eq.MC(libfmt::kElectron) != 0) c.call(c.r.SIGMA);
    const std::size_t rows = S.io.table ? S.io.table->size() : 0;
    c.call(c.r.OUT);
    report_unconverged(c, S.io.table && S.io.table->size() > rows);

    // With ions the point is computed again with negative ions on after a pass without them.
    if (eq.MC(libfmt::kElectron) > 0) {
        eq.F5 = !eq.F5;
        if (!eq.F5 && S.task.FM) return Step::PointStart;
    }
    return Step::Advance;
}

}  // namespace

// Run-wide defaults: the first element set (2 elements, 3 species, 1 gas), DIRECT called
// first (U = 3), an empty page table, the sizes of the species library, no listed species,
// sections given by pressure, constant-pressure combustion, no point yet.
void set_defaults(State& S)
{
    S.sp.M = 2;
    S.sp.N = 3;
    S.sp.NG = 1;
    S.pt.U = 3;
    S.rep.CT = 1;
    S.rep.AP = 0;
    S.rep.CC = 0;
    S.sp.NQ.fill(0);
    S.sp.NN = libfmt::kGasLibraryValues;
    S.sp.NNK = libfmt::kCondensedRecordBound;
    S.task.HAC.fill(0);
    S.task.FE = false;
    S.task.FFF = false;
    S.task.FT = false;
    S.task.FV = false;
    S.rep.ST.fill(0.0);
    S.pt.IPA = 0;
    S.pt.IPK = 0;
    S.pt.IA = 0;
}

// After the task is read: a negative freezing temperature means "never freeze" and selects
// the last temperature interval of the condensed species (F8); F5 from the electron content
// (still zero here, so the first point runs with negative ions on); the solver's tolerances.
void after_input(State& S)
{
    if (S.task.TZAM < 0) {
        S.task.TZAM = 0;
        S.task.F8 = true;
    } else {
        S.task.F8 = false;
    }
    S.eq.F5 = S.eq.MC(libfmt::kElectron) > 0;
    S.eq.FB = false;
    S.pt.FKP = false;
    S.pt.PKP = 0;
    S.eq.R0 = kR0;
    S.eq.E1 = kE1;
    S.eq.E2 = kE2;
}

// The cycle (see the file comment).
//   reads  everything the routines leave for it: U, FOT, FPP, KAMEPA, T, T1, T2, H, IS, SS,
//          CPR, CPZ, MS, CV, E, PR, MC(kElectron), the task flags
//   writes T, T1, T2, DT, W, W2, XR, P (blend), the pressure search start, CV, K5, WA, the
//          flags FW, FB, FZC, FPZ, F1, F5, SPRING, and the convergence bookkeeping in S.st
//   ends   after APAGE when DIRECT has no point left (or its call bound is reached); returns
//          the number of points reported as not converged. S.routines is `r` while the cycle
//          runs and as before once it ends, by return or by exception.
int run_cycle(State& S, const Routines& r, const CycleLimits& limits)
{
    struct TableInUse {
        State& S;
        const Routines* before;
        ~TableInUse() { S.routines = before; }
    } in_use{S, S.routines};
    S.routines = &r;
    Cycle c{S, r, limits};
    long advances = 0;
    Step step = Step::Dispatch;
    while (step != Step::Stop) {
        switch (step) {
        case Step::Dispatch: step = dispatch(c); break;
        case Step::Advance: step = advance(c, advances); break;
        case Step::EndOrReselect: step = end_or_reselect(c); break;
        case Step::PointStart: step = point_start(c); break;
        case Step::Equilibrium: step = equilibrium(c); break;
        case Step::Balance: step = balance(c); break;
        case Step::FreezingRestart: step = freezing_restart(c); break;
        case Step::Interpolation: step = interpolation(c); break;
        case Step::Recompute: step = recompute(c); break;
        case Step::Finish: step = finish(c); break;
        case Step::Stop: break;
        }
    }
    return S.st.point_failures;
}

}  // namespace tev
