// The fit report: how the library was made, its counts, the deviation of every record from
// NASA, a summary, the gases above the fitted range and the collision parameters with their
// sources.
#include "tools/mklib/library.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <sstream>

namespace mklib {

namespace {

//! One row of the deviation tables, as the summary counts it.
struct Row {
    std::string name;  //!< NASA name of a gas, library name of a condensed substance
    int lib = 0;       //!< library number
    Deviation d;       //!< largest deviations from NASA
    bool major = false;       //!< a major combustion product
    bool ion_record = false;  //!< an ion record: its H, S and Cp deviate by design
    double from = 0;          //!< a gas polynomial: lower end of its fitted range [K]
    Deviation below;          //!< a gas polynomial: its deviations over 200-300 K
};

//! The major combustion products whose fits must meet the targets.
const std::set<std::string>& major_products()
{
    static const std::set<std::string> m = {
        "H2O", "H2",    "OH",   "H",     "O",    "O2",    "N2",   "NO",   "N",    "CO",
        "CO2", "HF",    "HCL",  "F",     "CL",   "AL",    "ALO",  "ALOH", "ALCL", "ALCL2",
        "ALCL3", "ALF", "ALF2", "ALF3",  "ALOCL", "AL2O", "B",    "BO",   "BO2",  "HBO2",
        "B2O3", "BOF",  "HBO",  "Li",    "LiCL", "LiF",   "LiOH", "LiO",  "Na",   "NaCL",
        "NaOH", "NaF",  "K",    "KCL",   "KOH",  "KF",    "KO",   "HCO",  "N2O",  "NO2",
        "HO2",  "NH3",  "CH4",  "CL2",   "F2"};
    return m;
}

Function nasa_gas(const NasaSpecies* s)
{
    return [s](double T) { return nasa_gas_props(*s, T); };
}

Function nasa_phase(const NasaSpecies* s)
{
    return [s](double T) { return nasa_props(*s, T); };
}

//! Sources, units, and how the gases and condensed substances are fitted, chosen and ordered.
void write_method(std::ostream& rep, const std::vector<Condensed>& conds)
{
    rep << "Reference library fit report\n\n";
    rep << "Sources: NASA Glenn thermo.inp (products section) and trans.inp (viscosity fits),\n"
           "Lennard-Jones table.\n";
    rep << "Units: H in kJ/mol, S and Cp in J/(mol K); G/RT with R = 8.314510 J/(mol K).\n";
    rep << "Deviations are the largest over 300-5000 K (10 K steps) within each species' range\n";
    rep << "of the functions the program computes from the stored records against NASA's\n";
    rep << "(gas entropies at 1 atm). Ions with a parent record: the program takes the\n";
    rep << "parent's entropy and heat capacity, so their H, S and Cp deviate by design; their\n";
    rep << "G is matched exactly at 2000, 3000, 4000 and 5000 K (positive ions) or fitted\n";
    rep << "over 1500-6000 K (negative ions); their columns cover 2000-5000 K.\n\n";
    rep << "Gas fit: H, S and Cp jointly by least squares (QR in long double, scaled\n";
    rep << "columns): rows H/RT and S/R (weight 1) and Cp/R (weight 0.1) on a grid even in\n";
    rep << "ln T (step 0.01) over 300-6000 K. Where NASA's data reach down to 200 K, fits over\n";
    rep << "200-6000 K are tried next, with the rows below 300 K and the Cp rows weighted\n";
    rep << "(1, 0.1), (1, 0.03), (0.3, 0.1), (0.3, 0.03), (0.1, 0.1), (0.1, 0.03) in turn; the first\n";
    rep << "that keeps the targets over 300-5000 K (or, where the 300 K fit misses them, is no\n";
    rep << "worse) and comes closer to NASA at 200-300 K is kept. Column 'from' gives the fitted\n";
    rep << "range's start and 'dG/RT<300' the largest |dG/RT| over 200-300 K ('-' where NASA's\n";
    rep << "data start above 200 K).\n";
    rep << "Up to 20000 K, the top of the chamber bracket,\n";
    rep << "Cp is checked on a 10 K grid from 200 K; where it falls below R/2, a row drawing\n";
    rep << "Cp towards R at the lowest point is added (weight 10) and the fit repeated. Above\n";
    rep << "6000 K the fitted Cp is positive but not accurate: for most species it grows to\n";
    rep << "10^2-10^5 J/(mol K) by 20000 K (table near the end), so enthalpies there are far\n";
    rep << "too high and G/RT has no meaning; the extension only keeps every enthalpy rising\n";
    rep << "across the chamber bracket, which pushes the temperature iteration back into the\n";
    rep << "fitted range. Fitting pseudo-data above 6000 K instead cost 5-10 times the G/RT\n";
    rep << "accuracy below it.\n\n";
    rep << "Gas choice: every NASA gas the codes can hold (at most four elements, counts 1-9,\n";
    rep << "charge +-1, no deuterium, not Air or the Inert copies) whose elements are among\n";
    rep << "H C N O F Cl Br I S P B Al Si Li Na K Be Mg Ti Zr Cs He Ar and the electron; then\n";
    rep << "further elements in increasing atomic number, neutral species first, until 857.\n";
    rep << "Order: single-element gases by element (electron last), other neutral species,\n";
    rep << "ions; each group in NASA file order.\n\n";
    int split_last = 0;
    for (auto& c : conds) {
        int in_last = 0;
        for (auto& ci : c.iv)
            if (ci.phase + 1 == static_cast<int>(c.phases.size())) ++in_last;
        if (in_last > 1) ++split_last;
    }
    rep << "Condensed: NASA phases of one formula chained by their ranges into one substance;\n";
    rep << "substances of the elements above ranked by their least common element (O H C N F\n";
    rep << "Cl Al B Li Na K Mg Be Si Ti Zr S P Br I Cs), then by element count; the first 142\n";
    rep << "(library numbers 858-999). Each phase is first one interval, cubic enthalpy fitted\n";
    rep << "to H/RT, S/R and Cp/R (weight 0.25) inside its range; then the worst piece is\n";
    rep << "halved (at a NASA range boundary inside it where there is one) until the records\n";
    rep << "reach the read limit, 3070 values; halves of one phase are joined in H and S unless\n";
    rep << "the NASA data jump there. With the option that uses only the last interval, the\n";
    rep << split_last << " substances whose last phase was halved use its top piece.\n\n";
}

//! Counts of the species by kind and by element.
void write_counts(std::ostream& rep, const GasChoice& ch, const std::vector<Condensed>& conds)
{
    const auto& gases = ch.gases;
    const int electron_lib = electron_number(gases);
    int n_ion_rec = 0, n_ion_poly = 0;
    for (auto& g : gases)
        if (g.f.charge() != 0 && g.lib != electron_lib) (g.parent ? n_ion_rec : n_ion_poly)++;
    rep << "Counts\n";
    int n_neutral = 0;
    for (auto& g : gases)
        if (g.f.charge() == 0) ++n_neutral;
    rep << "  gases " << gases.size() << " (single-element " << ch.elements.size()
        << ", neutral " << n_neutral << " incl. atoms, ion records " << n_ion_rec
        << ", ions with polynomial records " << n_ion_poly << ", electron 1)\n";
    rep << "  condensed substances " << conds.size() << ", values " << condensed_values(conds)
        << "\n";
    rep << "  NASA gases not representable (elements, counts, charge): " << ch.unrepresentable
        << "\n";
    rep << "  gases per element:";
    std::map<int, int> per_el, per_el_c;
    for (auto& g : gases)
        for (auto& sl : g.f.slots) per_el[sl.first]++;
    for (auto& c : conds)
        for (auto& sl : c.f.slots) per_el_c[sl.first]++;
    int col = 0;
    for (auto& [z, n] : per_el) {
        rep << (col++ % 10 == 0 ? "\n    " : "  ")
            << (z == kElectron ? std::string("e") : element_symbols()[z]) << " " << n;
    }
    rep << "\n  condensed per element:";
    col = 0;
    for (auto& [z, n] : per_el_c)
        rep << (col++ % 10 == 0 ? "\n    " : "  ") << element_symbols()[z] << " " << n;
    rep << "\n\n";
}

//! One line per gas: its deviations from NASA, lowest heat capacity and pins.
std::vector<Row> write_gas_table(std::ostream& rep, const std::vector<Gas>& gases)
{
    std::vector<Row> rows;
    rep << "Gases\n";
    rep << " lib name      kind      dH kJ/mol   dS J/molK  dCp J/molK    dG/RT    "
           "minCp(200-20000K) J/molK pins from dG/RT<300\n";
    for (auto& g : gases) {
        // an ion record is checked where ions matter, 2000-5000 K (below 2000 K the program
        // holds the factor Q constant; that deviation is listed separately)
        const double lo = g.parent ? 2000.0 : g.sp->iv.front().tlo;
        const Function prog = program_gas(gases, g), nasa = nasa_gas(g.sp);
        const Deviation d = deviation(prog, nasa, lo, g.sp->iv.back().thi);
        const double dlow = g.parent ? deviation(prog, nasa, 300, 1999).dg : 0.0;
        const char* kind = g.parent ? (g.f.charge() > 0 ? "ion+" : "ion-") : "poly";
        char buf[200];
        std::snprintf(buf, sizeof buf, "%4d %-9s %-6s %11.4f %11.4f %11.4f %10.6f %10.3f %3d",
                      g.lib, g.name8.c_str(), kind, d.dh, d.ds, d.dcp, d.dg, g.min_cp * kCalJ,
                      g.pins);
        rep << buf;
        if (g.parent) {
            std::snprintf(buf, sizeof buf, "   dG/RT 300-2000 K %.4f", dlow);
            rep << buf;
        } else if (g.below.dg >= 0) {
            std::snprintf(buf, sizeof buf, " %4.0f %9.6f", g.fit_from, g.below.dg);
            rep << buf;
        } else {
            std::snprintf(buf, sizeof buf, " %4.0f         -", g.fit_from);
            rep << buf;
        }
        rep << "\n";
        const bool major = major_products().count(g.sp->name) > 0;
        rows.push_back({g.sp->name, g.lib, d, major, g.parent != 0, g.parent ? 0.0 : g.fit_from,
                        g.below});
    }
    return rows;
}

//! One line per condensed substance: its deviations from its NASA phases, the phases and the
//! upper limits of its intervals.
void write_condensed_table(std::ostream& rep, const std::vector<Condensed>& conds,
                           std::vector<Row>& rows)
{
    rep << "\nCondensed substances (phases; intervals: upper limit)\n";
    for (auto& c : conds) {
        Deviation d;
        for (auto& ci : c.iv) {
            const auto b = ci.b;
            // inside the interval: NASA data can jump at its ends
            Deviation e = deviation([b](double T) { return cond_poly(b, T); },
                                    nasa_phase(c.phases[ci.phase]), ci.tlo + 1e-6, ci.thi - 1e-6);
            d.dh = std::max(d.dh, e.dh);
            d.ds = std::max(d.ds, e.ds);
            d.dcp = std::max(d.dcp, e.dcp);
            d.dg = std::max(d.dg, e.dg);
        }
        char buf[200];
        std::snprintf(buf, sizeof buf, "%4d %-9s %11.4f %11.4f %11.4f %10.6f  ", c.lib,
                      c.name8.c_str(), d.dh, d.ds, d.dcp, d.dg);
        rep << buf;
        for (auto* p : c.phases) rep << p->name << " ";
        rep << ":";
        for (auto& ci : c.iv) rep << " " << ci.thi;
        rep << "\n";
        rows.push_back({c.name8, c.lib, d, false, false, 0.0, Deviation{}});
    }
}

//! How many records meet the targets, the worst ones and the major products.
std::string summary(const std::vector<Row>& rows)
{
    int miss = 0, miss_major = 0, n_major = 0;
    for (auto& r : rows) {
        const bool bad = r.d.dg > 0.002 || r.d.dh > 0.5;
        if (bad && !r.ion_record) ++miss;
        if (r.major) {
            ++n_major;
            if (bad) ++miss_major;
        }
    }
    std::ostringstream sum;
    sum << "Summary\n";
    sum << "  targets |dG/RT| < 0.002 and |dH| < 0.5 kJ/mol over 300-5000 K\n";
    sum << "  major products checked " << n_major << ", missing the targets " << miss_major << "\n";
    sum << "  all polynomial gases and condensed substances missing the targets " << miss << "\n";
    {
        int bins[4] = {0, 0, 0, 0};
        for (auto& r : rows) {
            if (r.ion_record) continue;
            bins[r.d.dg < 0.002 ? 0 : r.d.dg < 0.005 ? 1 : r.d.dg < 0.01 ? 2 : 3]++;
        }
        sum << "  |dG/RT| of polynomial gases and condensed substances: < 0.002: " << bins[0]
            << ", 0.002-0.005: " << bins[1] << ", 0.005-0.01: " << bins[2] << ", >= 0.01: "
            << bins[3] << "\n";
    }
    auto worst = rows;
    std::sort(worst.begin(), worst.end(), [](auto& x, auto& y) { return x.d.dg > y.d.dg; });
    sum << "  worst dG/RT:";
    int shown = 0;
    for (auto& r : worst) {
        if (r.ion_record) continue;
        if (shown++ == 12) break;
        char buf[80];
        std::snprintf(buf, sizeof buf, " %s %.4f", r.name.c_str(), r.d.dg);
        sum << buf;
    }
    std::sort(worst.begin(), worst.end(), [](auto& x, auto& y) { return x.d.dh > y.d.dh; });
    sum << "\n  worst dH:";
    shown = 0;
    for (auto& r : worst) {
        if (r.ion_record) continue;
        if (shown++ == 12) break;
        char buf[80];
        std::snprintf(buf, sizeof buf, " %s %.3f", r.name.c_str(), r.d.dh);
        sum << buf;
    }
    sum << "\n  major products:";
    shown = 0;
    for (auto& r : rows)
        if (r.major) {
            char buf[100];
            std::snprintf(buf, sizeof buf, "%s %s dG/RT %.5f dH %.3f",
                          shown++ % 3 == 0 ? "\n   " : ";", r.name.c_str(), r.d.dg, r.d.dh);
            sum << buf;
        }
    int from200 = 0, polys = 0;
    for (auto& r : rows) {
        if (r.from == 0) continue;
        ++polys;
        if (r.from < 300) ++from200;
    }
    sum << "\n  gas polynomials fitted from 200 K: " << from200 << " of " << polys
        << "; the others from 300 K";
    sum << "\n  major products with NASA data from 200 K (fitted from, largest |dG/RT| and |dS| "
           "J/(mol K) over 200-300 K):";
    shown = 0;
    for (auto& r : rows)
        if (r.major && r.from > 0 && r.below.dg >= 0) {
            char buf[100];
            std::snprintf(buf, sizeof buf, "%s %s %.0f K %.5f %.3f", shown++ % 3 == 0 ? "\n   " : ";",
                          r.name.c_str(), r.from, r.below.dg, r.below.ds);
            sum << buf;
        }
    sum << "\n";
    return sum.str();
}

//! The ions that keep a polynomial record.
void write_ions_without_parent(std::ostream& rep, const std::vector<Gas>& gases)
{
    const int electron_lib = electron_number(gases);
    rep << "\nIons with polynomial records (parent is species 1 or not in the library):";
    for (auto& g : gases)
        if (g.f.charge() != 0 && g.lib != electron_lib && !g.parent) rep << " " << g.name8;
    rep << "\n";
}

//! The major products above the fitted range, against NASA.
void write_above_range(std::ostream& rep, const std::vector<Gas>& gases)
{
    rep << "\nAbove the fitted range: major products against NASA (its 6000-20000 K interval, or\n";
    rep << "constant Cp above its data). Cp in J/(mol K) at 8000, 12000, 20000 K (program/NASA)\n";
    rep << "and the largest |dG/RT| over 6000-20000 K.\n";
    for (auto& g : gases) {
        if (!major_products().count(g.sp->name) || g.parent) continue;
        char buf[200];
        std::snprintf(buf, sizeof buf, "  %-8s", g.name8.c_str());
        rep << buf;
        for (double T : {8000.0, 12000.0, 20000.0}) {
            std::snprintf(buf, sizeof buf, " %8.2f/%-8.2f", gas_poly(g.a, T).cp * kCalJ,
                          nasa_gas_props(*g.sp, T).cp * kCalJ);
            rep << buf;
        }
        double dg = 0;
        for (double T = 6000; T <= 20000; T += 100) {
            const Props p = gas_poly(g.a, T), q = nasa_gas_props(*g.sp, T);
            dg = std::max(dg, std::fabs((p.h - T * p.s) - (q.h - T * q.s)) / (kRcal * T));
        }
        std::snprintf(buf, sizeof buf, "  dG/RT %.3f\n", dg);
        rep << buf;
    }
}

//! The collision parameters of every gas and where they come from; the residuals of those
//! fitted to NASA's viscosity.
void write_collisions(std::ostream& rep, const std::vector<Gas>& gases)
{
    rep << "\nCollision parameters\n";
    rep << "  Sources, in this order of preference:\n";
    rep << "  - NASA viscosity: a neutral gas whose viscosity NASA fits (trans.inp) gets the sigma\n";
    rep << "    and eps/k with which the program's own pure-gas viscosity (collision integral of\n";
    rep << "    the reduced temperature, Chapman-Enskog) matches NASA's fit in least squares of the\n";
    rep << "    relative deviation over 1000-5000 K (weight 1) and 300-1000 K (weight 0.1), on a\n";
    rep << "    10 K grid inside NASA's range; rounded to 0.001 A and 0.1 K. Residuals of the\n";
    rep << "    rounded values: weighted rms, largest |deviation| over 1000-5000 K and below.\n";
    rep << "  - table: the measured Lennard-Jones values of lj_params.tsv.\n";
    rep << "  - parent: an ion takes its parent's values.\n";
    rep << "  - analogue: any other gas takes the well depth of a measured neutral species of its\n";
    rep << "    class (with or without a metal): a homologue (same periodic groups and counts,\n";
    rep << "    e.g. NaCL from KCL) or, without one, the species nearest in atom count; in both\n";
    rep << "    cases the nearest in molar mass; and that species' diameter scaled by the cube root\n";
    rep << "    of the ratio of summed atomic volumes (Le Bas increments, molar volumes for\n";
    rep << "    metals). The analogues are the measured values, never the fitted ones. KH's table\n";
    rep << "    entry (argon's values) is lent to no other species.\n";
    rep << "  The electron has no collision values.\n";
    rep << "  lib name       sigma A  eps/k K  source; NASA viscosity: rms, max 1000-5000 K, max "
           "300-1000 K [%]\n";
    int n_fit = 0, n_table = 0, n_parent = 0, n_est = 0;
    for (auto& g : gases) {
        if (g.collision == 0) continue;
        char buf[240];
        const double n = std::floor(g.collision * 1e-05);
        std::string source = g.collision_note.empty() ? "table" : g.collision_note;
        if (g.visc.sigma > 0) {
            char res[80];
            if (g.visc.tlo < 1000)
                std::snprintf(res, sizeof res, "; %.2f, %.2f, %.2f", 100 * g.visc.rms,
                              100 * g.visc.max_main, 100 * g.visc.max_low);
            else  // NASA's data start at 1000 K
                std::snprintf(res, sizeof res, "; %.2f, %.2f, -", 100 * g.visc.rms,
                              100 * g.visc.max_main);
            source += res;
            ++n_fit;
        } else if (g.collision_note.empty()) {
            ++n_table;
        } else if (g.collision_note.rfind("parent", 0) == 0) {
            ++n_parent;
        } else {
            ++n_est;
        }
        std::snprintf(buf, sizeof buf, "  %4d %-9s %7.3f %8.1f  %s\n", g.lib, g.name8.c_str(),
                      n * 0.001, (g.collision - n * tev::libfmt::kCollisionBase) * 0.1,
                      source.c_str());
        rep << buf;
    }
    rep << "  NASA viscosity: " << n_fit << ", table: " << n_table << ", parent: " << n_parent
        << ", analogue: " << n_est << "\n";
}

}  // namespace

FitReport fit_report(const GasChoice& choice, const std::vector<Condensed>& conds)
{
    std::ostringstream rep;
    write_method(rep, conds);
    write_counts(rep, choice, conds);
    std::vector<Row> rows = write_gas_table(rep, choice.gases);
    write_condensed_table(rep, conds, rows);
    FitReport r;
    r.summary = summary(rows);
    rep << "\n" << r.summary;
    write_ions_without_parent(rep, choice.gases);
    write_above_range(rep, choice.gases);
    write_collisions(rep, choice.gases);
    r.text = rep.str();
    return r;
}

}  // namespace mklib
