// The results report of one finished point: performance figures, the convergence tests of the
// throat and area-ratio searches, and the point's line (line mode) or page column (table mode).
#include "report/report.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/constants.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/report_line.h"
#include "core/sink.h"
#include "nozzle/nozzle.h"
#include "report/composition.h"
#include "report/results_table.h"
#include "report/texts.h"

namespace tev {

namespace {

//! Atmospheres times this give the section area per unit mass flow (10.1325 as a float).
constexpr double kAreaScale = 10.132499694824219;
static_assert(kAreaScale == double(10.1325f));
//! Electrical conductivity per electron density to mobility (6.24146 as a float).
constexpr double kMobilityFactor = 6.241459846496582;
static_assert(kMobilityFactor == double(6.24146f));
//! Scale of the magnetohydrodynamic interaction row (1e-6 as a float).
constexpr double kInteractionScale = 9.999999974752427e-07;
static_assert(kInteractionScale == double(1e-6f));
//! Specific volume: 82.06305*T/(p*M) [cm3 atm/(mol K)] as a double.
constexpr double kVolumeFactor = 82.06305010256294;
//! Amounts below this share of the total are shown as decimal logarithms (1e-18 as a float).
constexpr double kLogShare = 1.000000045813705e-18;
static_assert(kLogShare == double(1e-18f));
//! Line count of a freshly opened page (rule, title, column titles, system title, ratio).
constexpr int kHeaderLines = 7;

const Layout& rule_and_title()
{
    static const Layout l(std::string("(' ',120('-'),8(/),'") + texts::kTableTitle +
                          "',5(/),120('.'))");
    return l;
}
const Layout& column_titles()
{
    static const Layout l(
        "(' ',':',2X,'ALFA',5X,'K1',6X,'P',9X,'J',5X,'T',7X,'M',7X,'CPR',5X,'CPZ',5X,'K3',6X,"
        "'B',6X,'IS',4X,'ISP',5X,'F/FKP',5X,'Z',3X,':')");
    return l;
}
const Layout& system_title()
{
    static const Layout l(std::string("(' ',120('.'),/,':',9X,'") + texts::kSystemNumber +
                          "',5X,'" + texts::kComponents + "',60X,':')");
    return l;
}
const Layout& ratio_line()
{
    static const Layout l("(' ',': ',F5.3,3X,F5.3,103X,':')");
    return l;
}
const Layout& chamber_line()
{
    static const Layout l("(' ',':',16X,F8.3,F9.2,2X,F6.0,3X,F6.3,2(2X,F6.4),43X,F7.4,':')");
    return l;
}
const Layout& section_line()
{
    static const Layout l(
        "(' ',':',16X,F8.3,F9.2,2X,F6.0,3X,F6.3,2(2X,F6.4),3X,F5.3,3(2X,F6.1),2X,F8.3,3X,"
        "F7.4,':')");
    return l;
}

//! The value as the nearest single-precision number, as the printed figures are rounded.
double as_single(double x) { return static_cast<double>(static_cast<float>(x)); }

//! Number of listed species: the species selection leaves their indices at the front of HAC,
//! followed by zeros.
int converted_listed_species(const State& S)
{
    int count = 0;
    while (count < 5 && S.task.HAC(count + 1) >= 1 && S.task.HAC(count + 1) <= S.sp.N) ++count;
    return count;
}

//! Performance figures of a nozzle point and the tests of a running search (owned by the
//! nozzle subsystem). Returns false for a search iterate that has not converged (it is not
//! reported).
bool nozzle_point(State& S)
{
    auto& pt = S.pt;
    auto& eq = S.eq;
    auto& rep = S.rep;
    pt.W = flow_velocity(pt.HK, eq.IS);
    rep.PYD = pt.W;
    eq.BT = rep.RR / pt.W * pt.T;
    rep.RR = (pt.RC + rep.RR) / 2;
    rep.PYDP = pt.W + eq.BT;
    eq.BT = eq.BT / pt.PP * pt.PPK;

    if (pt.FKP) {
        // Throat: flow speed equals sound speed. Its flow complex is the propellant's.
        if (!throat_found(S)) return false;
        rep.BTMIN = eq.BT;
        rep.ST(23, rep.CT) = eq.BT;
    }

    // Mean isentropic exponent from the chamber to this section.
    if (pt.ZKK != 1) {
        rep.RR = std::log(pt.PPK / pt.PP) /
                 std::log((1 - eq.ZK) * pt.MGK * pt.PPK * pt.T /
                          ((1 - pt.ZKK) * eq.MG * pt.PP * pt.TK));
    }

    // Area-ratio section: the residual stays in RR for the next pressure step.
    return section_found(S);
}

//! Names of the values of the ratio, chamber and section lines, for the overflow notes.
const std::vector<const char*> kRatioNames{"ALFA", "K1"};
const std::vector<const char*> kChamberNames{"P", "J", "T", "M", "CPR", "CPZ", "Z"};
const std::vector<const char*> kSectionNames{"P",  "J", "T",  "M",   "CPR",   "CPZ",
                                             "K3", "B", "IS", "ISP", "F/FKP", "Z"};

//! True when every value is a finite number.
bool all_finite(const std::vector<Value>& values)
{
    for (const auto& v : values)
        if (v.kind == Value::Kind::Real && !std::isfinite(v.r)) return false;
    return true;
}

//! One line of the line-mode table, opening a page first when none is open. A point with a
//! value that is not finite is not written: the driver names it as not converged.
void report_line(State& S, bool chamber)
{
    auto& rep = S.rep;
    const auto& pt = S.pt;
    const auto& eq = S.eq;
    const auto& task = S.task;
    auto& out = *S.io.out;
    const double P = as_single(pt.PP * kMPaPerAtm);
    std::vector<Value> values;
    if (chamber) {
        values = {Value::real(P),      Value::real(eq.IS),  Value::real(pt.T), Value::real(eq.MS),
                  Value::real(eq.CPR), Value::real(eq.CPZ), Value::real(eq.ZK)};
    } else {
        values = {Value::real(P),         Value::real(eq.IS),     Value::real(pt.T),
                  Value::real(eq.MS),     Value::real(eq.CPR),    Value::real(eq.CPZ),
                  Value::real(rep.RR),    Value::real(rep.BTMIN), Value::real(rep.PYD),
                  Value::real(rep.PYDP),  Value::real(as_single(eq.BT / rep.BTMIN)),
                  Value::real(eq.ZK)};
    }
    if (!all_finite(values)) {
        S.st.point_nonfinite = true;
        return;
    }
    if (rep.CC >= kPageLines) APAGE(S);
    if (rep.CC == 0) {
        out.write(rule_and_title());
        out.write(column_titles());
        out.write(system_title());
        rep.CC = kHeaderLines;
        write_noting_overflow(S, ratio_line(),
                              {Value::real(task.ALFA(pt.IA)),
                               Value::real(as_single(task.ALFA(pt.IA) * task.KAPPA))},
                              kRatioNames, pt.IA, 0, 0);
    }
    rep.CC += 1;
    write_noting_overflow(S, chamber ? chamber_line() : section_line(), values,
                          chamber ? kChamberNames : kSectionNames, pt.IA, pt.IPK, pt.IPA);
}

//! Rows 1 to 31 of the page column of this point (row 23, the flow complex of the throat, is
//! written by the throat search; rows 23 and 27 stay 0 here).
PropertyRows property_rows(const State& S, bool chamber)
{
    const auto& rep = S.rep;
    const auto& pt = S.pt;
    const auto& eq = S.eq;
    const auto& tr = S.tr;
    const auto& task = S.task;
    PropertyRows row{};
    row[1] = task.ALFA(pt.IA);
    row[2] = task.ALFA(pt.IA) * task.KAPPA;
    row[3] = pt.PP * kMPaPerAtm;
    row[4] = pt.T;
    row[5] = eq.IS;
    row[6] = eq.SS;
    row[7] = eq.MS;
    row[8] = eq.CPR;
    row[9] = eq.CPRG;
    row[10] = eq.CPZ;
    if (eq.MS != 0) row[11] = kRgas / eq.MS;
    row[12] = pt.K5;
    row[13] = eq.ZK;
    row[14] = pt.WA;
    row[15] = tr.NSM;
    row[16] = tr.LS;
    row[17] = tr.LR;
    row[18] = tr.PL;
    if (!chamber) {
        row[19] = rep.RR;
        row[20] = rep.PYD / pt.WA;
        row[21] = rep.PYD;
        row[22] = rep.PYDP;
        row[24] = eq.BT / (pt.PPK * kAreaScale);
        row[25] = eq.BT / rep.BTMIN;
    } else if (task.FV) {
        row[25] = kVolumeFactor * pt.T / (pt.PP * eq.MS);
    }
    if (eq.MC(libfmt::kElectron) != 0) row[26] = tr.GG;
    row[28] = eq.NE;
    if (!chamber) {
        row[29] = rep.PYD * rep.PYD * tr.GG * kInteractionScale;
        row[30] = row[29] * row[24];
    }
    if (eq.MC(libfmt::kElectron) != 0) row[31] = tr.GG / eq.NE * kMobilityFactor;
    return row;
}

//! Stores the rows of this point in its page column.
void store_properties(State& S, const PropertyRows& row)
{
    for (int i = 1; i <= kPropertyRows; ++i)
        if (i != 23) S.rep.ST(i, S.rep.CT) = row[static_cast<std::size_t>(i)];
}

//! Mole fractions of the species of this point in selection order, as the report shows them:
//! the listed species (HAC) at zero, the others over the sum of the positive amounts.
Composition point_composition(const State& S)
{
    std::vector<double> p(static_cast<std::size_t>(S.sp.N) + 1);
    for (int i = 1; i <= S.sp.N; ++i) p[static_cast<std::size_t>(i)] = S.eq.PR(i);
    if (S.task.FHAC) {
        const int listed = converted_listed_species(S);
        for (int k = 1; k <= listed; ++k) p[static_cast<std::size_t>(S.task.HAC(k))] = 0;
    }
    double total = 0;
    for (int i = 1; i <= S.sp.N; ++i)
        if (p[static_cast<std::size_t>(i)] > 0) total += p[static_cast<std::size_t>(i)];
    Composition x;
    x.reserve(static_cast<std::size_t>(S.sp.N));
    for (int i = 1; i <= S.sp.N; ++i) {
        const double v = p[static_cast<std::size_t>(i)];
        x.emplace_back(static_cast<int>(libfmt::library_number(S.sp.XF2(i))), v > 0 && total > 0 ? v / total : 0.0);
    }
    return x;
}

//! The composition of this point, largest amounts first, packed into rows 32 and on.
void store_composition(State& S)
{
    auto& eq = S.eq;
    auto& rep = S.rep;
    const int N = S.sp.N;
    for (int i = 1; i <= N; ++i) eq.XR(i) = S.sp.XF2(i);
    // The listed species are shown with zero amount.
    if (S.task.FHAC) {
        const int listed = converted_listed_species(S);
        for (int k = 1; k <= listed; ++k) eq.PR(S.task.HAC(k)) = 0;
    }
    // Descending order; equal amounts keep their order (the amounts are finite here). Each
    // amount moves up past the smaller ones before it.
    for (int i = 2; i <= N; ++i) {
        const double p = eq.PR(i);
        const double x = eq.XR(i);
        int j = i - 1;
        for (; j >= 1 && eq.PR(j) < p; --j) {
            eq.PR(j + 1) = eq.PR(j);
            eq.XR(j + 1) = eq.XR(j);
        }
        eq.PR(j + 1) = p;
        eq.XR(j + 1) = x;
    }
    double total = 0;
    for (int i = 1; i <= N; ++i)
        if (eq.PR(i) > 0) total += eq.PR(i);
    eq.E = total;
    S.pt.W = std::log(total);
    // Mole fractions; the tiniest amounts and those held as logarithms become decimal
    // logarithms of their fractions (negative numbers).
    for (int i = 1; i <= N; ++i) {
        const double p = eq.PR(i);
        if (p > kLogShare * total || p == 0)
            eq.PR(i) = p / total;
        else if (p > 0)
            eq.PR(i) = (std::log(p) - S.pt.W) * kLog10Factor;
        else
            eq.PR(i) = (p - S.pt.W) * kLog10Factor;
    }
    // A page shows as many composition rows as its richest column needs.
    rep.CC = std::max(rep.CC, std::min(N, kCompositionRows));
    const int rows = std::min(N, kCompositionRows);
    for (int i = 1; i <= rows; ++i)
        rep.ST(kPropertyRows + i, rep.CT) = pack_entry(eq.PR(i), std::fabs(eq.XR(i)));
}

}  // namespace

// OUT: reports a finished point. For a nozzle point it first forms the flow velocity (specific
// impulse), the vacuum impulse, the flow complex, the area ratio and the mean isentropic
// exponent, and runs the convergence tests of the throat and area-ratio searches (which the
// nozzle subsystem owns with the searches); an iterate that has not converged is not reported.
//   reads  S.pt, S.eq, S.tr, S.task (ALFA, KAPPA, BP, FFF, FIS, FV, FHAC, HAC), S.sp (N, XF2)
//   writes S.rep (RR, PYD, PYDP, BTMIN, ST, CT, CC, AP), S.pt (W, PX, PY, FX, FY, FKP, PKP),
//          S.eq (BT, E; in table mode PR and XR are sorted and rewritten)
//   ends   after one line or one stored column, or silently for an unconverged iterate
void OUT(State& S)
{
    auto& rep = S.rep;
    if (S.eq.MS != 0) rep.RR = kRgas / S.eq.MS;
    const bool chamber = S.pt.KAMEPA || S.task.FIS;
    if (!chamber && !nozzle_point(S)) return;

    const PropertyRows rows = property_rows(S, chamber);
    if (S.io.table) {
        // The throat comes before the first section (IPA 0); with ions it may be reported twice.
        const PointKind kind = S.task.FIS      ? PointKind::Grid
                               : chamber       ? PointKind::Chamber
                               : S.pt.IPA == 0 ? PointKind::Throat
                                               : PointKind::Section;
        S.io.table->record(S, kind, rows, point_composition(S));
    }
    rep.AP = S.task.BP;
    if (S.task.BP == 1) {
        report_line(S, chamber);
        return;
    }
    store_properties(S, rows);
    // A point with a value that is not finite keeps no column: the driver names it instead.
    bool finite = true;
    for (int i = 1; i <= kPropertyRows; ++i) finite &= std::isfinite(rep.ST(i, rep.CT));
    for (int i = 1; i <= S.sp.N; ++i) finite &= std::isfinite(S.eq.PR(i));
    if (!finite) {
        for (int i = 1; i <= kPropertyRows; ++i) rep.ST(i, rep.CT) = 0;
        S.st.point_nonfinite = true;
        return;
    }
    store_composition(S);
    rep.column_point(1, rep.CT) = S.pt.IA;
    rep.column_point(2, rep.CT) = S.pt.IPK;
    rep.column_point(3, rep.CT) = S.pt.IPA;
    rep.CT += 1;
    if (rep.CT == kPageColumns + 1) APAGE(S);
}

}  // namespace tev
