// Checks of a task that INPUT has read: a task whose operating points cannot be computed or
// mean nothing is rejected before any calculation, with a message naming the task file.
#include "input/input.h"

#include <algorithm>
#include <string>

#include "core/errors.h"
#include "core/layout.h"
#include "core/library_format.h"

namespace tev {

namespace {

//! Sane ranges of the task's values: pressures [MPa], temperatures [K], area ratios, and the
//! ratios that the line-mode (F5.3) and table-mode (F12.5) reports can show.
constexpr double kMinPressure = 1e-8;
constexpr double kMaxPressure = 1e4;
constexpr double kMinTemperature = 100.0;
constexpr double kMaxTemperature = 20000.0;
constexpr double kMaxAreaRatio = 1e6;
constexpr double kLineRatioLimit = 9.9995;
constexpr double kTableRatioLimit = 10000.0;
//! Smallest stoichiometric ratio that is one: below it the fuel's valence is a rounding zero.
constexpr double kMinKappa = 1e-9;

//! The text of a formatted field without its leading and trailing blanks.
std::string trimmed(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

// check_task: rejects, before any calculation, a task whose operating points cannot be
// computed or mean nothing: no propellant, more elements than the equilibrium basis holds,
// negative ratios or ratios that do not fit the report, pressures outside 1e-8 .. 1e4 MPa,
// sections at or above the chamber pressure, temperatures outside 100 .. 20000 K, area ratios
// not above 1, a grid without temperatures. Reads S.task; throws InputError naming the task
// file and the value.
void check_task(State& S)
{
    const auto& task = S.task;
    const auto fail = [&](const std::string& detail) {
        throw InputError(S.io.task_name, 5, "READ", detail);
    };
    const auto value = [](double x) { return trimmed(format_real('G', 14, 6, x)); };
    if (task.NPK <= 0)
        fail("no chamber pressure given: the task has no operating point to compute");
    if (!S.eq.FF)
        fail("no fuel recipe (sections 4 and 5): the task has no propellant to compute");

    // Elements of the propellant: the fuel's, and the oxidizer's when ratios mix them in.
    int elements = 0;
    for (int i = 1; i <= libfmt::kElements; ++i)
        if (task.G(i) != 0 || (task.NA != 0 && task.O(i) != 0)) ++elements;
    if (elements > kBasisSize)
        fail("the propellant has " + std::to_string(elements) + " elements; the equilibrium " +
             "basis holds at most " + std::to_string(kBasisSize));
    if (elements == 0) fail("the propellant's recipes name no element");

    // A fuel that does not reduce (water, nitrogen) or an oxidizer that does not oxidize
    // gives no positive stoichiometric ratio: the ratios would mean nothing.
    if (task.NA != 0 && !(task.KAPPA > kMinKappa))
        fail("the stoichiometric ratio of these recipes is " + value(task.KAPPA) +
             ": the fuel must reduce and the oxidizer oxidize (is the fuel water or nitrogen, or "
             "are fuel and oxidizer the wrong way round?)");
    // The ratio must fit its field of the report: F5.3 in line mode, F12.5 in table mode.
    const double ratio_limit = task.BP == 1 ? kLineRatioLimit : kTableRatioLimit;
    for (int i = 1; i <= task.NA; ++i) {
        const double a = task.ALFA(i);
        // A ratio of 0 is the fuel alone.
        if (!(a >= 0))
            fail("oxidizer-excess ratio " + std::to_string(i) + " is " + value(a) +
                 ": a ratio cannot be negative");
        if (!(a < ratio_limit))
            fail("oxidizer-excess ratio " + std::to_string(i) + " (" + value(a) +
                 ") does not fit the report: ratios must stay below " + value(ratio_limit));
    }

    double lowest = kMaxPressure;  // the lowest chamber pressure [MPa]
    for (int i = 1; i <= task.NPK; ++i) {
        const double p = task.PK(i);
        if (!(p > 0))
            fail("chamber pressure " + std::to_string(i) + " is " +
                 (p == 0 ? std::string("zero") : std::string("negative")) +
                 ": every chamber pressure must be positive");
        if (!(p >= kMinPressure && p <= kMaxPressure))
            fail("chamber pressure " + std::to_string(i) + " (" + value(p) +
                 " MPa) lies outside " + value(kMinPressure) + " .. " + value(kMaxPressure) +
                 " MPa");
        lowest = std::min(lowest, p);
    }
    if (task.FIS && task.NPA == 0)
        fail("a grid (negative first chamber pressure) needs its temperatures in section 3");
    for (int i = 1; i <= task.NPA; ++i) {
        const double x = task.PA(i);
        const std::string which = "section " + std::to_string(i);
        if (!(x > 0))
            fail(which + " is " + (x == 0 ? std::string("zero") : std::string("negative")) +
                 ": every section value must be positive");
        if (task.FIS || task.FT) {
            if (!(x >= kMinTemperature && x <= kMaxTemperature))
                fail(which + " (" + value(x) + " K) lies outside " + value(kMinTemperature) +
                     " .. " + value(kMaxTemperature) + " K");
        } else if (task.FFF) {
            if (!(x > 1))
                fail("area ratio " + std::to_string(i) + " is " + value(x) +
                     ": an area ratio F/F* must be above 1");
            if (!(x <= kMaxAreaRatio))
                fail("area ratio " + std::to_string(i) + " (" + value(x) + ") lies above " +
                     value(kMaxAreaRatio));
        } else if (task.FE) {
            if (!(x > 1))
                fail(which + ": the pressure ratio " + value(x) +
                     " must be above 1 (a section below the chamber pressure)");
            if (!(lowest / x >= kMinPressure))
                fail(which + ": the pressure ratio " + value(x) + " gives " +
                     value(lowest / x) + " MPa, below " + value(kMinPressure) + " MPa");
        } else {
            if (!(x >= kMinPressure))
                fail(which + " (" + value(x) + " MPa) lies below " + value(kMinPressure) + " MPa");
            if (!(x < lowest))
                fail(which + " (exit pressure " + value(x) +
                     " MPa) is not below the chamber pressure " + value(lowest) + " MPa");
        }
    }
}

}  // namespace tev
