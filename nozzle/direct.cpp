// The operating-point sequence: ratios, chamber pressures, throat and nozzle sections, and the
// two pressure searches (throat: flow speed equals sound speed; section: F/F* equals its ratio).
#include "nozzle/nozzle.h"

#include <cmath>
#include <string>

#include "core/constants.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/report_line.h"
#include "core/routines.h"
#include "core/sink.h"

namespace tev {

namespace {

//! First throat iterate as a share of the chamber pressure [-] (0.57 held as a float).
constexpr double kThroatStart = 0.5699999928474426;
static_assert(kThroatStart == double(0.57f));
//! Lower end of the throat pressure bracket as a share of the chamber pressure (0.4 as a float).
constexpr double kThroatLow = 0.4000000059604645;
static_assert(kThroatLow == double(0.4f));
//! Upper end of the throat pressure bracket as a share of the chamber pressure (0.7 as a float).
constexpr double kThroatHigh = 0.699999988079071;
static_assert(kThroatHigh == double(0.7f));
//! Base and power of the throat temperature estimate T*0.6^0.12 (both held as floats).
constexpr double kThroatTempBase = 0.6000000238418579;
static_assert(kThroatTempBase == double(0.6f));
constexpr double kThroatTempPower = 0.11999999731779099;
static_assert(kThroatTempPower == double(0.12f));
//! Pressure of the first iterate of an area-ratio section: 0.06*PPK/(F/F* - 1) (0.06 as a float).
constexpr double kAreaStart = 0.05999999865889549;
static_assert(kAreaStart == double(0.06f));
//! Power of the pressure ratio in the starting temperature of a section (0.15 as a float).
constexpr double kSectionTempPower = 0.15000000596046448;
static_assert(kSectionTempPower == double(0.15f));
//! Flow velocity from the enthalpy drop: W = 44.72*sqrt(h [kJ/kg]) [m/s] (44.72 as a float).
constexpr double kVelocityFactor = 44.720001220703125;
static_assert(kVelocityFactor == double(44.72f));
//! Scale of the throat pressure correction (84.79 as a float).
constexpr double kThroatStepScale = 84.79000091552734;
static_assert(kThroatStepScale == double(84.79f));
//! Lower bracket end of an area-ratio search that has no residual yet [atm] (1e-19 as a float).
constexpr double kTinyPressure = 9.999999682655225e-20;
static_assert(kTinyPressure == double(1e-19f));
//! Start temperature of the first chamber point of a pressure list [K]; its upper bracket is
//! kChamberTopT.
constexpr double kChamberStartT = 3000.0;
//! Later chamber points start this far above the previous chamber temperature [K].
constexpr double kChamberStepT = 50.0;
//! Margin of the upper temperature bracket of a nozzle section [K].
constexpr double kSectionMarginT = 5.0;
//! Throat found: flow speed within this share of the sound speed (0.0005 as a float).
constexpr double kThroatSpeedTol = 0.0005000000237487257;
static_assert(kThroatSpeedTol == double(0.0005f));
//! Throat found: pressure bracket narrower than this share of its upper end (0.001 as a float).
constexpr double kThroatBracketTol = 0.0010000000474974513;
static_assert(kThroatBracketTol == double(0.001f));
//! Section found: area ratio within this share of its target (0.001 as a float).
constexpr double kAreaTol = 0.0010000000474974513;
static_assert(kAreaTol == double(0.001f));
//! Section found: pressure bracket narrower than this share of its upper end (0.01 as a float).
constexpr double kAreaBracketTol = 0.009999999776482582;
static_assert(kAreaBracketTol == double(0.01f));
//! Iterates a throat or area-ratio search may take before it is given up.
constexpr int kMaxSearchSteps = 100;
//! Area-ratio steps taken with the plain secant; later ones halve the residual of an end that
//! stays put twice, so that a search creeping along a curved residual still closes in.
constexpr int kPlainSecantSteps = 25;
//! Throat steps taken with the pressure correction alone; later ones halve the bracket. The
//! correction can overshoot by a steady factor near two (the equilibrium heat capacity it uses
//! carries the solver's tolerance), and then its iterates alternate between the two ends of a
//! bracket that closes by a per cent or less a step. The correction is given a fair chance: on
//! LOX/LH2, kerosene, methane, hydrazine, MMH and ethanol propellants at 0.3-30 MPa the searches
//! it closes take at most 44 steps, while the steadily overshooting ones would take 74 to 417;
//! halved after 60 steps, those end within 5 more, well inside kMaxSearchSteps.
constexpr int kPlainThroatSteps = 60;

//! The throat temperature estimate 0.6^0.12, formed in double from the two float constants.
const double kThroatTempFactor = std::pow(kThroatTempBase, kThroatTempPower);

//! Ratio line of the line-mode table, written when a new ratio starts on an open page.
const Layout& ratio_line()
{
    static const Layout l("(' :',2X,F5.3,3X,F5.3,103X,':')");
    return l;
}
//! Trace of a new ratio: the oxidizer/fuel mass ratio and the stoichiometric ratio.
const Layout& ratio_trace()
{
    static const Layout l("(1X,'H=',D15.8,2X,'KAPPA=',D15.8)");
    return l;
}
//! Trace of a new ratio: the propellant enthalpy and those of oxidizer and fuel.
const Layout& propellant_trace()
{
    static const Layout l("(1X,'H=',D15.8,2X,'IO=',D15.8,2X,'IG=',D15.8)");
    return l;
}
//! A throat search that gave up: steps, ratio and chamber pressure [MPa].
const Layout& throat_gave_up()
{
    static const Layout l(
        "(1X,'throat search did not converge',' after',I4,' steps: ALFA=',F6.3,' PK=',F8.3,"
        "' MPA; its sections are skipped')");
    return l;
}
//! An area-ratio section that gave up: section number, F/F*, steps, last pressure [MPa].
const Layout& section_gave_up()
{
    static const Layout l(
        "(1X,'area-ratio search did not converge',' for section',I3,' (F/F*=',F8.3,') after',"
        "I4,' steps, last P=',F9.4,' MPA')");
    return l;
}

//! A chamber point whose solution is void: its throat and sections are skipped.
const Layout& sections_skipped()
{
    static const Layout l("(1X,'*** THROAT AND SECTIONS SKIPPED: THE CHAMBER POINT DID NOT "
                          "CONVERGE (ALFA=',F6.3,' PK=',F8.3,' MPA)')");
    return l;
}

//! The blocks of one DIRECT call; each returns the block that follows it.
enum class Step {
    AfterChamber,
    NextPressure,
    NextRatio,
    ChamberStart,
    ExitSections,
    AreaRatioStep,
    SectionStart,
    ThroatStep,
    Done,
};

//! A report line about a search that gave up counts as a line of an open line-mode page.
void count_report_line(State& S)
{
    if (S.task.BP == 1 && S.rep.CC != 0) S.rep.CC += 1;
}

Step after_chamber(State& S)
{
    auto& pt = S.pt;
    auto& eq = S.eq;
    const auto& task = S.task;
    if (pt.IPK == 0) return Step::NextRatio;
    if (!pt.KAMEPA || task.FIS) return Step::NextPressure;
    if (task.FV) {
        // Constant-volume combustion has no nozzle.
        pt.TK = pt.T;
        pt.HK = pt.H;
        return Step::NextPressure;
    }
    if (S.st.point_void) {
        // The chamber's solution is void (its solver gave up, or its values are not finite):
        // a throat and sections built on it would only repeat that, at the solver's full cost.
        S.io.out->write(sections_skipped(), {Value::real(S.task.ALFA(pt.IA)),
                                             Value::real(pt.PPK * kMPaPerAtm)});
        count_report_line(S);
        pt.KAMEPA = false;
        pt.TK = std::isfinite(pt.T) && pt.T > 0 ? pt.T : kChamberStartT - kChamberStepT;
        pt.HK = eq.IS;
        return Step::NextPressure;
    }
    if (task.TZAM > pt.T) eq.FZC = true;
    pt.KAMEPA = false;
    pt.TK = pt.T;
    pt.HK = eq.IS;
    pt.RC = S.rep.RR;
    pt.H = eq.SS;  // the nozzle points balance the entropy of the chamber
    pt.T1 = 0;
    if (task.NPA == 0) return Step::ExitSections;
    // Throat start: pressure and temperature estimates and the pressure bracket.
    pt.PP = kThroatStart * pt.PPK;
    pt.PX = kThroatLow * pt.PPK;
    pt.PY = kThroatHigh * pt.PPK;
    pt.T = pt.T * kThroatTempFactor;
    pt.T2 = pt.TK;
    pt.MGK = eq.MG;
    pt.ZKK = eq.ZK;
    if (eq.F1) return Step::NextPressure;  // products without gas: no throat, no sections
    pt.FKP = true;
    pt.search_steps = 0;
    return Step::Done;
}

Step next_pressure(State& S)
{
    auto& pt = S.pt;
    const auto& task = S.task;
    pt.IPK += 1;
    if (pt.IPK <= task.NPK) return Step::ChamberStart;
    pt.IPK = 0;
    // In grid mode the pressure list starts again for the next temperature.
    if (task.FIS && task.NPK > 0) return Step::NextPressure;
    return Step::NextRatio;
}

Step next_ratio(State& S)
{
    auto& pt = S.pt;
    auto& task = S.task;
    auto& eq = S.eq;
    if (pt.IA == 0 && task.NA == 0) {
        // A single propellant: one pass without a ratio.
        pt.IA = 1;
        pt.H = 0;
        task.IO = 0;
    } else {
        pt.IA += 1;
        if (pt.IA > task.NA) {
            pt.U = 1;
            return Step::Done;
        }
        pt.H = task.ALFA(pt.IA) * task.KAPPA;
        if (task.BP == 1 && S.rep.CC != 0) {
            if (S.rep.CC < kPageLines - kRatioLines) {
                write_noting_overflow(S, ratio_line(),
                                      {Value::real(task.ALFA(pt.IA)), Value::real(pt.H)},
                                      {"ALFA", "K1"}, pt.IA, 0, 0);
                S.rep.CC += kRatioLines;
            } else {
                call_routine(S, &Routines::APAGE);
            }
        }
    }
    eq.FPP = true;
    pt.FOT = false;
    // Element content of the mixture; a change in the set of elements present needs a new
    // species selection.
    for (int i = 1; i <= libfmt::kElements; ++i) {
        const double m = task.NA == 0 ? task.G(i) : (task.G(i) + task.O(i) * pt.H) / (1 + pt.H);
        if ((m == 0) != (eq.MC(i) == 0)) pt.FOT = true;
        eq.MC(i) = m;
    }
    if (pt.IA == 1 && (task.FHAC || task.FSH)) pt.FOT = true;
    int present = 0;
    for (int i = 1; i <= libfmt::kElements; ++i)
        if (eq.MC(i) != 0) ++present;
    S.sp.M = present;
    S.io.out->write(ratio_trace(), {Value::real(pt.H), Value::real(task.KAPPA)});
    // Enthalpy of the propellant per unit mass (with a prescribed chamber temperature this
    // mass-weighted value is that temperature).
    if (!task.FIS) pt.H = (task.IG + pt.H * task.IO) / (1 + pt.H);
    S.io.out->write(propellant_trace(),
                    {Value::real(pt.H), Value::real(task.IO), Value::real(task.IG)});
    return Step::NextPressure;
}

Step chamber_start(State& S)
{
    auto& pt = S.pt;
    auto& eq = S.eq;
    const auto& task = S.task;
    pt.KAMEPA = true;
    pt.PPK = task.PK(pt.IPK) * kAtmPerMPa;
    pt.PP = pt.PPK;
    pt.PKP = 0;
    eq.FZC = false;
    eq.FPZ = false;
    pt.PX = pt.PY = pt.FX = pt.FY = 0;
    pt.DA = 1;
    if (task.FTK) {
        // A prescribed chamber temperature: a point at fixed temperature.
        pt.T = pt.IPK == 1 ? pt.H : pt.TK;
        pt.T1 = pt.T2 = pt.T;
        pt.U = 2;
        return Step::Done;
    }
    if (task.FIS) {
        if (pt.IPK == 1) return Step::ExitSections;  // next temperature of the grid
        pt.U = 3;
        return Step::Done;
    }
    if (pt.IPK == 1) {
        pt.T1 = 0;
        pt.T2 = kChamberTopT;
        pt.T = kChamberStartT;
    } else {
        pt.T2 = pt.TK + kChamberStepT;
        pt.T = pt.T2;
        pt.T1 = 0;
        pt.H = pt.HK;
    }
    pt.U = 2;
    return Step::Done;
}

Step exit_sections(State& S)
{
    auto& pt = S.pt;
    const auto& task = S.task;
    if (task.FFF && pt.PX != pt.PY) return Step::AreaRatioStep;
    pt.IPA += 1;
    if (pt.IPA > task.NPA) {
        pt.IPA = 0;
        if (task.FIS) {
            pt.IPK = 0;
            return Step::NextRatio;
        }
        return Step::NextPressure;
    }
    pt.U = 2;
    if (task.FIS) {
        pt.T = task.PA(pt.IPA);
        return Step::Done;
    }
    // The side of the throat is fixed here, once for the whole search of the section.
    pt.DA = 1;
    if (task.FFF) {
        pt.FA = task.PA(pt.IPA);
        pt.PX = kTinyPressure;
        pt.PY = 0;
        pt.FX = pt.FY = 0;
        pt.PPA = kAreaStart * pt.PPK / (pt.FA - 1);
        // A list that does not grow after this entry lies before the throat.
        if (pt.IPA != task.NPA && task.PA(pt.IPA + 1) <= pt.FA) pt.DA = -1;
        pt.search_steps = 0;
        pt.search_side = 0;
    } else if (task.FE) {
        pt.PPA = pt.PPK / task.PA(pt.IPA);
    } else {
        pt.PPA = task.PA(pt.IPA) * kAtmPerMPa;
    }
    return Step::SectionStart;
}

Step area_ratio_step(State& S)
{
    auto& pt = S.pt;
    const double RR = S.rep.RR;
    pt.search_steps += 1;
    if (pt.search_steps >= kMaxSearchSteps || S.st.point_void) {
        S.io.out->write(section_gave_up(),
                        {Value::integer(pt.IPA), Value::real(pt.FA),
                         Value::integer(pt.search_steps), Value::real(pt.PP * kMPaPerAtm)});
        count_report_line(S);
        S.st.point_failures += 1;
        pt.PX = pt.PY = pt.FX = pt.FY = 0;
        return Step::ExitSections;  // on with the next section
    }
    const int moved = RR > 0 ? 1 : -1;
    if (moved > 0) {
        pt.PY = pt.PP;
        pt.FY = RR;
    } else {
        pt.PX = pt.PP;
        pt.FX = RR;
    }
    if (pt.search_steps > kPlainSecantSteps && moved == pt.search_side) {
        // The same end moved twice: the other one, far from the root, would hold the secant
        // back at every step. Halving its residual lets the next point reach past the root.
        if (moved > 0)
            pt.FX = pt.FX / 2;
        else
            pt.FY = pt.FY / 2;
    }
    pt.search_side = moved;
    if (pt.FX == 0 || pt.FY == 0 || pt.FX * pt.FY == 0) {
        // One side of the bracket has no residual yet: double or halve the pressure.
        pt.PPA = RR < 0 ? 2 * pt.PP : 0.5 * pt.PP;
    } else if (!std::isfinite(pt.FX) || !std::isfinite(pt.FY)) {
        // An end at rest (infinite area) gives the secant no slope: halve the bracket.
        pt.PPA = (pt.PX + pt.PY) / 2;
    } else {
        pt.PPA = pt.PX - pt.FX * (pt.PY - pt.PX) / (pt.FY - pt.FX);
    }
    return Step::SectionStart;
}

Step section_start(State& S)
{
    auto& pt = S.pt;
    auto& eq = S.eq;
    const auto& task = S.task;
    pt.T2 = pt.PPA < pt.PP ? pt.T : pt.TK;
    pt.T2 = pt.T2 + kSectionMarginT;
    // A supersonic section never lies above, a subsonic one never below the throat pressure.
    if (task.FFF && pt.DA * pt.PPA > pt.DA * pt.PKP) pt.PPA = pt.PKP;
    if (!task.FT) {
        if (pt.PPA > pt.PPK) pt.PPA = pt.PPK;
        pt.T = pt.T * std::pow(pt.PPA / pt.PP, kSectionTempPower);
        pt.T1 = 0;
        pt.PP = pt.PPA;
        return Step::Done;
    }
    // A section given by its temperature: PPA holds it scaled like a pressure.
    pt.PPA = pt.PPA * kMPaPerAtm;
    pt.P2 = pt.PPK;
    pt.P1 = 0;
    const double r = pt.PPA / pt.T;
    double r7 = r;
    for (int k = 2; k <= 7; ++k) r7 = r7 * r;
    pt.PP = pt.PP * r7;
    if (pt.PPA < task.TZAM && !eq.FZC) {
        // The freezing point is computed first; the solver then goes on to the section.
        pt.T = task.TZAM;
        eq.FPZ = true;
        return Step::Done;
    }
    pt.T = pt.PPA;
    return Step::Done;
}

Step throat_step(State& S)
{
    auto& pt = S.pt;
    const auto& eq = S.eq;
    pt.search_steps += 1;
    if (pt.search_steps >= kMaxSearchSteps || S.st.point_void) {
        S.io.out->write(throat_gave_up(),
                        {Value::integer(pt.search_steps), Value::real(S.task.ALFA(pt.IA)),
                         Value::real(pt.PPK * kMPaPerAtm)});
        count_report_line(S);
        S.st.point_failures += 1;
        // The sections are measured against the throat: without it they are skipped.
        pt.FKP = false;
        pt.PX = pt.PY = pt.FX = pt.FY = 0;
        return Step::NextPressure;
    }
    // Newton-like correction of the pressure towards flow speed = sound speed.
    pt.W = flow_velocity(pt.HK, eq.IS);
    const double WA2 = pt.WA * pt.WA;
    pt.PP = pt.PP * (1 + eq.MS * (pt.W * pt.W - WA2) /
                             (kThroatStepScale * (2 * pt.T + WA2 * pt.PPA / eq.CPR)));
    if (pt.PP < pt.PX || pt.PP > pt.PY || pt.search_steps > kPlainThroatSteps)
        pt.PP = (pt.PX + pt.PY) / 2;
    pt.T1 = 0;
    pt.T2 = pt.TK;
    return Step::Done;
}

}  // namespace

// DIRECT: decides what the driver computes next, after every reported point and once before
// the first. Walks the ratios, for each the chamber pressures, for each the chamber point, the
// throat search and the exit sections (or, in grid mode, every temperature at every pressure).
//   reads  S.task (lists and options), the point just computed (S.eq, S.pt.WA, S.rep.RR)
//   writes S.pt (indices, pressures, temperatures, bracket, U), S.eq.MC/FZC/FPZ/FPP, S.sp.M;
//          the ratio line of a new ratio on an open line-mode page, or closes a full page
//          through S.routines->APAGE
//   ends   with U = 1 when no point is left; a search that reaches its step limit is reported
//          and counted in S.st.point_failures, and the run goes on; never throws
void DIRECT(State& S)
{
    S.pt.FOT = false;
    S.sp.SPRING = false;
    Step step;
    if (S.pt.FKP)
        step = Step::ThroatStep;
    else if (S.pt.PKP == 0 && (S.task.FIS || S.pt.IPA == 0))
        step = Step::AfterChamber;
    else
        step = Step::ExitSections;
    while (step != Step::Done) {
        switch (step) {
        case Step::AfterChamber: step = after_chamber(S); break;
        case Step::NextPressure: step = next_pressure(S); break;
        case Step::NextRatio: step = next_ratio(S); break;
        case Step::ChamberStart: step = chamber_start(S); break;
        case Step::ExitSections: step = exit_sections(S); break;
        case Step::AreaRatioStep: step = area_ratio_step(S); break;
        case Step::SectionStart: step = section_start(S); break;
        case Step::ThroatStep: step = throat_step(S); break;
        case Step::Done: break;
        }
    }
}

// ---- The throat and area-ratio searches ---------------------------------------------------
// A search runs over several DIRECT calls: DIRECT sets its start and each next iterate (the
// throat step and the area-ratio step above); the driver computes the iterate; OUT derives its
// flow speed and flow complex and asks the tests below whether the search has converged,
// reporting the point only then.

// flow_velocity: the flow speed of a nozzle point from its enthalpy drop HK - IS [m/s]; a drop
// that is not positive (a point at the chamber pressure) is a flow at rest instead of the root
// of a negative number.
double flow_velocity(double HK, double IS)
{
    const double drop = HK - IS;
    return drop > 0 ? kVelocityFactor * std::sqrt(drop) : 0.0;
}

// throat_found: the test of a throat iterate whose flow speed W is known.
//   reads  S.pt (W, WA, PP, PX, PY)
//   writes S.pt: the bracket end on the iterate's side (PX when the flow is faster than sound,
//          PY when slower); when the throat is found FKP cleared, PX = PY = FX = FY = 0,
//          W = WA and PKP = PP
//   ends   true when the flow speed is within 0.05 % of the sound speed or the bracket is
//          narrower than 0.1 % of its upper end
bool throat_found(State& S)
{
    auto& pt = S.pt;
    const double D = pt.W - pt.WA;
    if (D > 0)
        pt.PX = pt.PP;
    else
        pt.PY = pt.PP;
    const bool found =
        std::fabs(D) / pt.WA <= kThroatSpeedTol || (pt.PY - pt.PX) / pt.PY <= kThroatBracketTol;
    if (!found) return false;
    pt.FKP = false;
    pt.PX = pt.PY = pt.FX = pt.FY = 0;
    pt.W = pt.WA;
    pt.PKP = pt.PP;
    return true;
}

// section_found: the test of a section point, once its flow complex BT and its mean isentropic
// exponent (in RR) are known. Only a section of an area-ratio search still open (FFF, PX != PY)
// is tested; any other passes.
//   reads  S.task.FFF, S.pt (PX, PY, FA, DA), S.eq.BT, S.rep (RR, BTMIN)
//   writes S.eq.E = the exponent; S.rep.RR = DA (FA - BT/BTMIN), the residual the next
//          area-ratio step starts from; when found PX = PY (the search is over) and RR holds
//          the exponent again
//   ends   true when no search is open, or the area ratio is within 0.1 % of its target, or
//          the bracket is narrower than 1 % of its upper end
bool section_found(State& S)
{
    auto& pt = S.pt;
    auto& rep = S.rep;
    if (!S.task.FFF || pt.PX == pt.PY) return true;
    S.eq.E = rep.RR;
    rep.RR = pt.DA * (pt.FA - S.eq.BT / rep.BTMIN);
    const bool found = std::fabs(rep.RR) <= kAreaTol * pt.FA ||
                       std::fabs(pt.PY - pt.PX) < kAreaBracketTol * pt.PY;
    if (!found) return false;
    pt.PX = pt.PY;
    rep.RR = S.eq.E;
    return true;
}

}  // namespace tev
