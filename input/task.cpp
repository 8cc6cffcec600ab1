// The task file: the task list, its echo, its sections, and the propellant recipes.
#include "input/input.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "core/errors.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/namelist.h"
#include "core/sink.h"

namespace tev {

namespace {

//! Echo of the task list: one leading blank, six values per line.
const Layout kEchoLine("(1X,6(E15.8,2X))");

constexpr int kTaskUnit = 5;
//! A task value at least this large ends the list [-].
constexpr double kTerminator = 200000000.0;
//! A value of at least this magnitude is a section marker [-].
constexpr double kMarker = 900000.0;
//! Scale from a marker to its section code: 1e-6 held as a float.
constexpr double kMarkerScale = 9.999999974752427e-07;
static_assert(kMarkerScale == double(1e-6f));
//! Weight of the 7th and 8th significant digits of a normalised packed entry: 1e-8 as a float.
constexpr double kCodeScale = 9.99999993922529e-09;
static_assert(kCodeScale == double(1e-8f));
//! Freezing temperature when the task gives none [K].
constexpr double kDefaultTZAM = 1500.0;
//! Largest element number of a packed entry; 99 closes a component with a temperature part.
constexpr int kLastElement = libfmt::kElements;
constexpr int kTemperatureCode = 99;
//! Gram-atoms per kilogram from mol per gram.
constexpr double kPerKilogram = 1000.0;

[[noreturn]] void task_error(const State& S, const std::string& detail)
{
    throw InputError(S.io.task_name, kTaskUnit, "READ", detail);
}

//! Integer part of a real, truncating toward zero.
long trunc_long(double x) { return static_cast<long>(std::trunc(x)); }

//! A decoded packed entry: a value and a two-digit code.
struct Entry {
    double value = 0;
    int code = 0;
    bool ninth_digit = false;  //!< the entry has digits beyond its eighth significant one
};

//! Number of the largest atom count a component may hold, and the largest magnitude of a
//! closing value (an enthalpy in kJ/kg, or a temperature part): beyond them an entry is a
//! slip of the pen (a misplaced digit, a missing point), not a propellant.
constexpr double kMaxAtoms = 10000.0;
constexpr double kMaxClosing = 100000.0;
//! How far the mass fractions of a recipe may sum away from 1.
constexpr double kFractionSumTol = 0.001;

// Splits a packed entry into its value (first six significant digits) and its code (7th and
// 8th significant digits). `kw` is the scale of the normalisation, kept between calls.
Entry decode(double x, double& kw)
{
    if (x == 0) return {};
    kw = 1;
    if (std::fabs(x) < 1) {
        while (std::fabs(10 * x) <= 1) {
            x = x * 10;
            kw = kw * 0.1;
        }
    } else {
        do {
            kw = kw * 10;
            x = x * 0.1;
        } while (std::fabs(x) >= 1);
    }
    // The code is what x*1e8 holds beyond the first six digits, x*1e6.
    double b = std::trunc(x * 100000000.0 + 100 * std::trunc(-x * 1000000.0) + 0.5);
    if (b > 99 || b < 0.5) b = 0;
    // Eight significant digits leave x*1e8 a whole number, up to the rounding of the scaling.
    const double eight = std::fabs(x) * 100000000.0;
    const bool ninth = std::fabs(eight - std::round(eight)) > 1e-3;
    return {(x - b * kCodeScale) * kw, static_cast<int>(b), ninth};
}

//! A value in a few significant digits, without blanks.
std::string trimmed_real(double x)
{
    const std::string s = format_real('G', 14, 6, x);
    const auto b = s.find_first_not_of(' ');
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

//! A packed entry as the task gives it, with the digits the echo does not show.
std::string entry_text(double x)
{
    const std::string s = format_real('E', 18, 10, x);
    return s.substr(s.find_first_not_of(' '));
}

// Turns one recipe (mass fractions `frac` ended by a negative one, packed `entries`) into
// gram-atoms per kilogram `atoms` and the weighted sum of closing values `h`. `fractions` and
// `given` are the numbers of mass fractions and entries the task gives: a component beyond
// the fractions, an entry beyond those given, an entry left over after the last component, an
// implausible value or fractions that do not sum to 1 are faults of the task.
void convert_recipe(State& S, const char* what, const Array1<double, 25>& frac, long fractions,
                    const Array1<double, 100>& entries, long given, Array1<double, 100>& atoms,
                    double& h)
{
    const auto& lib = S.lib;
    const std::string recipe(what);
    const int fraction_section = recipe == "fuel" ? 4 : 6;
    const int entry_section = fraction_section + 1;
    double kw = 1;
    long j = 1;
    auto entry = [&](long k, int component) {
        if (k > given)
            task_error(S, recipe + " component " + std::to_string(component) +
                              " has no closing entry (its enthalpy): section " +
                              std::to_string(entry_section) + " ends after " +
                              std::to_string(given) + " entries");
        return decode(entries(k), kw);
    };
    if (fractions == 0)
        task_error(S, recipe + " entries (section " + std::to_string(entry_section) +
                          ") are given without mass fractions (section " +
                          std::to_string(fraction_section) + ")");
    double sum = 0;
    // The list ends at the first negative fraction, or after the last fraction of the array.
    for (long i = 1; i <= frac.size(); ++i) {
        const double g = frac(i);
        S.pt.T = g;
        if (g < 0) break;
        const int component = static_cast<int>(i);
        const std::string name = recipe + " component " + std::to_string(component);
        if (i > fractions) break;
        if (!(g <= 1))
            task_error(S, recipe + " mass fraction " + std::to_string(component) + " (" +
                              entry_text(g) + ") is not between 0 and 1");
        sum += g;
        double m = 0;  // molar mass of the component [g/mol]
        long n = 0;    // number of its atom entries
        Entry e = entry(j, component);
        while (e.code >= 1 && e.code <= kLastElement) {
            if (e.ninth_digit || !(e.value > 0 && e.value <= kMaxAtoms))
                task_error(S, name + ": entry " + std::to_string(j) + " (" + entry_text(entries(j)) +
                                  ") is not an atom entry: the number of atoms (at most " +
                                  std::to_string(static_cast<int>(kMaxAtoms)) +
                                  ") in six significant digits, the element in the next two");
            if (!(lib.MU(e.code) > 0))
                task_error(S, name + ": element " + std::to_string(e.code) + " (entry " +
                                  std::to_string(j) + ") has no atomic mass in " +
                                  "lib/val.id");
            m = m + lib.MU(e.code) * e.value;
            ++n;
            ++j;
            e = entry(j, component);
        }
        if (!(std::fabs(e.value) <= kMaxClosing))
            task_error(S, name + ": its closing entry " + std::to_string(j) + " (" +
                              entry_text(entries(j)) + ") is not a plausible enthalpy in kJ/kg");
        if (e.code == kTemperatureCode) S.task.FTK = true;
        h = h + g * e.value;
        for (long k = j - n; k < j; ++k) {
            const Entry a = decode(entries(k), kw);
            atoms(a.code) = atoms(a.code) + g / m * a.value * kPerKilogram;
        }
        ++j;
    }
    if (std::fabs(sum - 1) > kFractionSumTol)
        task_error(S, recipe + " mass fractions (section " + std::to_string(fraction_section) +
                          ") sum to " + trimmed_real(sum) + ", not 1");
    if (j <= given)
        task_error(S, recipe + " entries " + std::to_string(j) + " to " + std::to_string(given) +
                          " (section " + std::to_string(entry_section) +
                          ") belong to no component: section " + std::to_string(fraction_section) +
                          " gives " + std::to_string(fractions) + " mass fraction(s)");
}

//! Where the values of one section go.
struct Section {
    double* first = nullptr;   //!< destination of the section's first value (reals)
    int* first_int = nullptr;  //!< destination of the first value (library numbers)
    long capacity = 0;         //!< number of values it holds (0: any number, one place)
    bool* flag = nullptr;      //!< set when a value is stored
    const char* name = "";
};

Section section_of(State& S, int dd)
{
    auto& t = S.task;
    switch (dd) {
    case 1: return {t.ALFA.data(), nullptr, 25, &S.eq.F1, "oxidizer-excess ratio"};
    case 2: return {t.PK.data(), nullptr, 25, &t.F2, "chamber pressure"};
    case 3: return {t.PA.data(), nullptr, 25, &t.F3, "nozzle section"};
    case 4: return {t.GGOR.data(), nullptr, 25, &t.F4, "fuel mass fraction"};
    case 5: return {t.GOR.data(), nullptr, 100, &S.eq.F5, "fuel entry"};
    case 6: return {t.GOK.data(), nullptr, 25, &t.F6, "oxidizer mass fraction"};
    case 7: return {t.OK.data(), nullptr, 100, &t.F7, "oxidizer entry"};
    case 8: return {nullptr, t.HAC.data(), 5, &t.FHAC, "listed species"};
    case 9: return {nullptr, t.SHY.data(), 50, &t.FSH, "species list"};
    case 10: return {&t.TZAM, nullptr, 0, &t.FM, "freezing temperature"};
    case 11:
    case 12:
    case 13: return {nullptr, nullptr, 0, &t.FM, "switch"};
    default: return {t.ALFA.data(), nullptr, 25, &S.eq.F1, "oxidizer-excess ratio"};
    }
}

//! Number of values the task gives in each section (index: section code 1..13).
using GivenCounts = std::array<long, 14>;

// Distributes the task values RM(1..N1) into the sections their markers open, and counts
// the values given in each section (the most given after any of its markers).
void distribute(State& S, GivenCounts& given)
{
    given.fill(0);
    auto& t = S.task;
    int& DD = S.tmp.DD;
    DD = 0;  // no section yet
    long i1 = 1;
    long pos = 1;
    while (pos <= t.N1) {
        const double x = t.RM(pos);
        if (std::fabs(x) >= kMarker) {
            const double sgn = x >= 0 ? 1.0 : -1.0;
            const double code = std::trunc(std::fabs(x) * kMarkerScale + 0.5);
            if (code > 1e6)
                task_error(S, "value " + std::to_string(pos) + " (" + format_real('E', 15, 8, x) +
                                  ") is not a section marker");
            const long J = trunc_long(x * kMarkerScale + 0.5 * sgn);
            if (std::labs(J) == 1) t.BP = static_cast<int>(J);
            if (std::labs(J) == 2) t.FV = J < 0;
            if (std::labs(J) == 3) t.FE = J < 0;
            DD = static_cast<int>(code);
            ++pos;
            i1 = 1;
            if (DD == 1 || DD == 2 || DD == 3 || DD == 4 || DD == 6) {
                double* list = section_of(S, DD).first;
                for (int k = 0; k < 25; ++k) list[k] = -1.0;
            }
        }
        if (DD == 0) return;
        const Section sec = section_of(S, DD);
        const double v = t.RM(pos);
        if (sec.capacity > 0 && i1 > sec.capacity)
            task_error(S, "section " + std::to_string(DD) + " (" + sec.name + ") holds more than " +
                              std::to_string(sec.capacity) + " values");
        if (sec.first_int) {
            if (!(std::fabs(v) < 2147483648.0))
                task_error(S, std::string(sec.name) + " value " + std::to_string(i1) + " (" +
                                  format_real('E', 15, 8, v) + ") is not a library number");
            sec.first_int[i1 - 1] = static_cast<int>(std::trunc(v));
        } else if (sec.first) {
            sec.first[sec.capacity > 0 ? i1 - 1 : 0] = v;
        }
        *sec.flag = true;
        if (DD < static_cast<int>(given.size())) given[static_cast<std::size_t>(DD)] =
            std::max(given[static_cast<std::size_t>(DD)], i1);
        ++i1;
        ++pos;
    }
}

long count_positive(const Array1<double, 25>& a)
{
    long n = 0;
    for (long i = 1; i <= 25; ++i)
        if (a(i) > 0) ++n;
    return n;
}

}  // namespace

// INPUT: reads the task list, echoes it, distributes it and converts the propellant recipes.
//   reads  S.io.task (namelist group WAT), S.lib (MU, V)
//   writes S.task (RM, N1, the lists and flags, G, O, IG, IO, KAPPA, TZAM, HAC_LIB, SHY_LIB),
//          S.eq (F1, F5, FF), S.tmp.DD, S.pt.T (the last mass fraction looked at)
//   ends   with InputError naming the task file when the list has no terminator, a section
//          overflows its list, a recipe is malformed, or the stoichiometric ratio would divide
//          by a zero oxidizer valence
void INPUT(State& S)
{
    auto& t = S.task;
    auto& eq = S.eq;

    t.FM = false;
    eq.F1 = false;
    t.F2 = t.F3 = t.F4 = false;
    eq.F5 = false;
    t.F6 = t.F7 = false;
    t.FHAC = t.FSH = t.FTK = false;
    eq.FF = true;
    t.F8 = true;
    t.TZAM = kDefaultTZAM;

    read_namelist(*S.io.task, S.io.task_name, kTaskUnit, "WAT",
                  {{"RM", std::span<double>(t.RM.data(), static_cast<std::size_t>(t.RM.size()))}});

    t.N1 = 0;
    while (t.N1 < t.RM.size() && t.RM(t.N1 + 1) < kTerminator) ++t.N1;
    if (t.N1 == t.RM.size())
        task_error(S, "no terminator (a value of at least 2.0E+08) among the " +
                          std::to_string(t.RM.size()) + " task values");

    std::vector<Value> echo;
    echo.reserve(static_cast<std::size_t>(t.N1));
    for (long i = 1; i <= t.N1; ++i) echo.push_back(Value::real(t.RM(i)));
    if (S.io.out) S.io.out->write(kEchoLine, echo);

    GivenCounts given{};
    distribute(S, given);

    if (t.FSH) {
        t.FU = t.SHY(1) < 0;
        if (t.FU) t.SHY(1) = std::abs(t.SHY(1));
    }
    // The library numbers as given, for every later selection of species.
    t.HAC_LIB = t.HAC;
    t.SHY_LIB = t.SHY;

    if (eq.F1) t.NA = static_cast<int>(count_positive(t.ALFA));
    if (t.F2) {
        t.FIS = t.PK(1) < 0;
        if (t.FIS) t.PK(1) = std::fabs(t.PK(1));
        t.NPK = static_cast<int>(count_positive(t.PK));
    }
    if (t.F3) {
        t.FFF = t.PA(1) < 0;
        if (t.FFF) t.PA(1) = std::fabs(t.PA(1));
        if (t.FE && t.FFF) {
            t.FE = false;
            t.FFF = false;
            t.FT = true;
        }
        t.NPA = static_cast<int>(count_positive(t.PA));
    }

    const bool fuel = t.F4 || eq.F5;
    const bool oxidizer = t.F6 || t.F7;
    if (fuel) {
        t.IG = 0;
        t.G.fill(0);
    }
    if (t.NA != 0 && oxidizer) {
        t.IO = 0;
        t.O.fill(0);
        convert_recipe(S, "oxidizer", t.GOK, given[6], t.OK, given[7], t.O, t.IO);
    }
    if (t.NA != 0 && !oxidizer) t.F8 = false;
    if (fuel)
        convert_recipe(S, "fuel", t.GGOR, given[4], t.GOR, given[5], t.G, t.IG);
    else
        eq.FF = false;

    // Stoichiometric ratio: the fuel's total valence over the oxidizer's, made positive.
    if ((eq.FF || t.F8) && t.NA != 0) {
        double fuel_valence = 0;
        double oxidizer_valence = 0;
        for (long i = 1; i <= libfmt::kElements; ++i)
            fuel_valence = fuel_valence + t.G(i) * S.lib.V(i);
        double oxidizer_scale = 0;  // sum of the magnitudes, for a zero made of rounding
        for (long i = 1; i <= libfmt::kElements; ++i) {
            oxidizer_valence = oxidizer_valence + t.O(i) * S.lib.V(i);
            oxidizer_scale = oxidizer_scale + std::fabs(t.O(i) * S.lib.V(i));
        }
        // A neutral oxidizer such as water sums to zero only up to rounding; the ratio is
        // then some 1e14, not a stoichiometric ratio.
        if (std::fabs(oxidizer_valence) <= 1e-9 * oxidizer_scale)
            task_error(S, oxidizer ? "the oxidizer's elements have a total valence of zero: no "
                                     "stoichiometric ratio"
                                   : "oxidizer-excess ratios and a fuel are given but no oxidizer "
                                     "recipe (sections 6 and 7)");
        t.KAPPA = -fuel_valence / oxidizer_valence;
    }
}

}  // namespace tev
