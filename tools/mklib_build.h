// Assembly of the reference library from the parsed NASA species and the Lennard-Jones table:
// the choice of species, their records, names, the element table, the row labels and the report.
#pragma once

#include <iomanip>

#include "tools/mklib.h"

namespace mklib {

//! A chosen gas and everything written for it.
struct Gas {
    const Species* sp = nullptr;
    Formula f;
    int lib = 0;                     //!< library number
    int parent = 0;                  //!< library number of the parent of an ion record, else 0
    std::array<double, 9> a{};       //!< the stored record a1..a9
    double collision = 0;            //!< packed collision value
    std::string name8;
    std::string collision_note;      //!< "" measured, otherwise how it was estimated
    int pins = 0;
    double min_cp = 0;
};

//! A chosen condensed substance: a chain of NASA phases and the intervals written for it.
struct Condensed {
    std::vector<const Species*> phases;
    Formula f;
    int lib = 0;
    std::vector<CondInterval> iv;
    std::string name8;
    int length() const { return 3 + 1 + 6 * static_cast<int>(iv.size()); }
};

//! Largest deviations of the program's functions from NASA's.
struct Deviation {
    double dh = 0;    //!< [kJ/mol]
    double ds = 0;    //!< [J/(mol K)]
    double dcp = 0;   //!< [J/(mol K)]
    double dg = 0;    //!< G/RT
};

//! The generated files and a short summary for the console.
struct Library {
    std::vector<Species> species;  //!< the NASA products; gases and condensed point into it
    std::vector<std::pair<std::string, std::string>> files;
    std::string summary;
    std::vector<Gas> gases;
    std::vector<Condensed> condensed;
};

// ---------------------------------------------------------------------------------------------

//! Lennard-Jones table row.
struct LJ {
    double sigma = 0, eps = 0;
};

//! Reads the tab-separated table (header line, then nasa_name, sigma_A, eps_over_k_K, ...).
inline std::map<std::string, LJ> read_lj(std::istream& in)
{
    std::map<std::string, LJ> m;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> c;
        std::stringstream ss(line);
        std::string x;
        while (std::getline(ss, x, '\t')) c.push_back(x);
        if (c.size() < 3) continue;
        LJ v;
        v.sigma = std::strtod(c[1].c_str(), nullptr);
        v.eps = std::strtod(c[2].c_str(), nullptr);
        if (v.sigma > 0 && v.eps > 0) m[c[0]] = v;
    }
    return m;
}

//! Atomic volume increments [cm3/mol] for the size of a molecule (Le Bas values for the light
//! elements, molar volumes of the elements otherwise; 20 where neither is at hand).
inline double atomic_volume(int z)
{
    static const std::map<int, double> v = {
        {1, 3.7},   {2, 5.0},   {3, 13.0},  {4, 4.9},   {5, 27.0},  {6, 14.8},  {7, 15.6},
        {8, 7.4},   {9, 8.7},   {10, 9.0},  {11, 23.7}, {12, 14.0}, {13, 10.0}, {14, 32.0},
        {15, 27.0}, {16, 25.6}, {17, 24.6}, {18, 29.0}, {19, 45.5}, {20, 26.0}, {22, 10.6},
        {26, 7.1},  {35, 27.0}, {36, 34.0}, {40, 14.0}, {53, 37.0}, {54, 43.0}, {55, 70.0}};
    auto it = v.find(z);
    return it == v.end() ? 20.0 : it->second;
}

//! True for an element counted as a metal in the choice of a collision analogue.
inline bool is_metal(int z)
{
    static const std::set<int> nonmetal = {1,  2,  5,  6,  7,  8,  9,  10, 14, 15, 16,
                                           17, 18, 33, 34, 35, 36, 52, 53, 54, 85, 86, 98};
    return nonmetal.count(z) == 0;
}

inline int atom_count(const Formula& f)
{
    int n = 0;
    for (auto& s : f.slots)
        if (s.first != kElectron) n += s.second;
    return n;
}

inline double size_volume(const Formula& f)
{
    double v = 0;
    for (auto& s : f.slots)
        if (s.first != kElectron) v += s.second * atomic_volume(s.first);
    return v;
}

inline bool has_metal(const Formula& f)
{
    for (auto& s : f.slots)
        if (is_metal(s.first)) return true;
    return false;
}

//! Table entries that are known stand-ins rather than fits of the species itself (KH carries
//! argon's values); they are used for the species but lent to no other.
inline bool placeholder_lj(const std::string& name) { return name == "KH"; }

//! A species with measured collision data, as a candidate analogue.
struct Analogue {
    std::string name;
    Formula f;
    double mw = 0;
    LJ lj;
};

//! Periodic-table group (1-18) of an element; the lanthanides and actinides count as group 3.
inline int periodic_group(int z)
{
    if (z == 1) return 1;
    if (z == 2) return 18;
    if (z <= 10) return z <= 4 ? z - 2 : z + 8;           // Li, Be: 1, 2; B..Ne: 13..18
    if (z <= 18) return z <= 12 ? z - 10 : z;             // Na, Mg; Al..Ar: 13..18
    if (z <= 36) return z - 18;                           // K..Kr: 1..18
    if (z <= 54) return z - 36;                           // Rb..Xe
    if (z <= 56) return z - 54;                           // Cs, Ba
    if (z <= 71) return 3;                                // lanthanides
    if (z <= 86) return z - 68;                           // Hf..Rn: 4..18
    if (z <= 88) return z - 86;                           // Fr, Ra
    return 3;                                             // actinides
}

//! The formula with every element replaced by its group: species with the same signature are
//! homologues (NaCl and KCl, LiOH and KOH).
inline std::vector<std::pair<int, int>> group_signature(const Formula& f)
{
    std::map<int, int> m;
    for (auto& s : f.slots)
        if (s.first != kElectron) m[periodic_group(s.first)] += s.second;
    return {m.begin(), m.end()};
}

//! Estimates sigma and eps/k of a gas without data by analogy with a measured neutral species:
//! of the same class (containing a metal or not), a homologue (same periodic groups and counts)
//! where one is measured, otherwise the species nearest in atom count; among equals the one
//! nearest in molar mass. The analogue lends its well depth; its diameter is scaled by the
//! cube root of the ratio of the summed atomic volumes.
inline LJ estimate_collision(const Formula& f, double mw, const std::vector<Analogue>& known,
                             std::string& from)
{
    const bool metal = has_metal(f);
    const int n = atom_count(f);
    const auto sig = group_signature(f);
    const Analogue* best = nullptr;
    double bestd = 1e300;
    for (const Analogue& k : known) {
        if (has_metal(k.f) != metal) continue;
        double d = group_signature(k.f) == sig ? 0.0 : 100.0 + 10.0 * std::abs(atom_count(k.f) - n);
        d += std::fabs(std::log(mw / k.mw));
        if (d < bestd) { bestd = d; best = &k; }
    }
    if (!best) return {};
    from = best->name;
    LJ r;
    r.eps = best->lj.eps;
    r.sigma = best->lj.sigma * std::cbrt(size_volume(f) / size_volume(best->f));
    return r;
}

// ---------------------------------------------------------------------------------------------

//! Names of up to 8 characters, unique across the library.
class NameBook {
public:
    std::string take(const std::vector<std::string>& candidates)
    {
        for (const auto& c : candidates)
            if (!c.empty() && c.size() <= 8 && used_.insert(c).second) return c;
        std::string base = candidates.empty() ? "X" : candidates.back();
        for (int k = 2; k < 1000; ++k) {
            const std::string suf = "~" + std::to_string(k);
            std::string c = base.substr(0, 8 - suf.size()) + suf;
            if (used_.insert(c).second) return c;
        }
        throw std::runtime_error("no unique name for " + base);
    }

private:
    std::set<std::string> used_;
};

inline std::string upto(const std::string& s, const std::string& stops)
{
    const auto p = s.find_first_of(stops);
    return p == std::string::npos ? s : s.substr(0, p);
}

//! The formula written out in the NASA record's element order, counts of 1 left out.
inline std::string formula_name(const Species& sp)
{
    std::string out;
    for (const auto& [sym, cnt] : sp.atoms) {
        if (sym == "E") {
            out += cnt > 0 ? "-" : "+";
            continue;
        }
        out += sym;
        if (cnt != 1.0) out += std::to_string(static_cast<int>(std::lround(cnt)));
    }
    return out;
}

inline std::string pad(std::string s, std::size_t w)
{
    s.resize(w, ' ');
    return s;
}

// ---------------------------------------------------------------------------------------------

//! Species that are not products of their own: the inert copies and the air mixture.
inline bool is_pseudo_species(const std::string& name)
{
    return name.rfind("Inert", 0) == 0 || name == "Air";
}

//! Deviations of `prog` from `nasa` over [tlo, thi] (inside 300..5000 K), step 10 K.
inline Deviation deviation(const std::function<Props(double)>& prog,
                           const std::function<Props(double)>& nasa, double tlo, double thi)
{
    Deviation d;
    for (double T = std::max(300.0, tlo); T <= std::min(5000.0, thi) + 1e-9; T += 10) {
        const Props p = prog(T), q = nasa(T);
        d.dh = std::max(d.dh, std::fabs(p.h - q.h) * kCalJ * 1e-3);
        d.ds = std::max(d.ds, std::fabs(p.s - q.s) * kCalJ);
        d.dcp = std::max(d.dcp, std::fabs(p.cp - q.cp) * kCalJ);
        const double gp = p.h - T * p.s, gq = q.h - T * q.s;
        d.dg = std::max(d.dg, std::fabs(gp - gq) / (kRcal * T));
    }
    return d;
}

//! The major combustion products whose fits must meet the targets.
inline const std::set<std::string>& major_products()
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

//! Builds the whole library.
inline Library build_library(std::istream& thermo, std::istream& ljin)
{
    Library L;
    L.species = read_thermo(thermo);
    const std::vector<Species>& all = L.species;
    const std::map<std::string, LJ> ljtab = read_lj(ljin);
    std::ostringstream rep;

    // --- Eligible gases and the single-atom gas of each element ---------------------------
    std::map<int, const Species*> atom_gas;  // element -> its one-atom gas
    std::vector<std::pair<const Species*, Formula>> cand;
    int skipped_formula = 0;
    for (const Species& s : all) {
        if (s.phase != 0 || s.iv.empty() || is_pseudo_species(s.name)) continue;
        Formula f = encode_formula(s.atoms);
        if (!f.ok) { ++skipped_formula; continue; }
        if (f.slots.size() == 1 && f.slots[0].second == 1 && !atom_gas.count(f.slots[0].first))
            atom_gas[f.slots[0].first] = &s;
        cand.emplace_back(&s, f);
    }
    auto elements_ok = [&](const Formula& f) {
        for (auto& sl : f.slots)
            if (!atom_gas.count(sl.first)) return false;
        return true;
    };

    // --- Choice of the gases ---------------------------------------------------------------
    // Every gas of the priority elements first; then, element by element in increasing atomic
    // number, the gases that the next element adds, until the library is full.
    std::set<int> allowed(priority_elements().begin(), priority_elements().end());
    allowed.insert(kElectron);
    auto inside = [&](const Formula& f, const std::set<int>& el) {
        for (auto& sl : f.slots)
            if (!el.count(sl.first)) return false;
        return true;
    };
    auto is_atom = [&](const Species* s, const Formula& f) {
        return f.slots.size() == 1 && f.slots[0].second == 1 && atom_gas[f.slots[0].first] == s;
    };
    std::vector<std::pair<const Species*, Formula>> chosen;  // non-atom species in rank order
    std::set<int> used_elements;
    for (auto& [s, f] : cand)
        if (elements_ok(f) && inside(f, allowed) && !is_atom(s, f)) {
            chosen.emplace_back(s, f);
            for (auto& sl : f.slots) used_elements.insert(sl.first);
        }
    for (int z : allowed)
        if (atom_gas.count(z)) used_elements.insert(z);
    auto total = [&]() { return static_cast<int>(chosen.size() + used_elements.size()); };
    if (total() > kGasRecords)
        throw std::runtime_error("priority elements alone give more gases than the library holds");
    for (int z = 1; z <= 97 && total() < kGasRecords; ++z) {
        if (allowed.count(z) || !atom_gas.count(z)) continue;
        std::set<int> next = allowed;
        next.insert(z);
        std::vector<std::pair<const Species*, Formula>> add;
        for (auto& [s, f] : cand)
            if (elements_ok(f) && inside(f, next) && !inside(f, allowed) && !is_atom(s, f))
                add.emplace_back(s, f);
        // neutral species of the new element before its ions
        std::stable_sort(add.begin(), add.end(), [](auto& x, auto& y) {
            return (x.second.charge() != 0) < (y.second.charge() != 0);
        });
        used_elements.insert(z);
        allowed = next;
        for (auto& c : add) {
            if (total() >= kGasRecords) break;
            chosen.push_back(c);
        }
    }
    if (total() != kGasRecords) throw std::runtime_error("could not fill the gas library");

    // Library order: the atoms in element order (electron last), other neutrals, then ions.
    std::vector<Gas> gases;
    for (int z : used_elements) {
        Gas g;
        g.sp = atom_gas[z];
        g.f = encode_formula(g.sp->atoms);
        gases.push_back(g);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (auto& [s, f] : chosen)
            if ((f.charge() != 0) == (pass == 1)) {
                Gas g;
                g.sp = s;
                g.f = f;
                gases.push_back(g);
            }
    for (std::size_t i = 0; i < gases.size(); ++i) gases[i].lib = static_cast<int>(i) + 1;
    std::map<const Species*, int> libof;
    for (auto& g : gases) libof[g.sp] = g.lib;

    // --- Gas records -----------------------------------------------------------------------
    auto nasa_fn = [](const Species* s) {
        return std::function<Props(double)>([s](double T) { return nasa_gas_props(*s, T); });
    };
    int electron_lib = 0;
    for (auto& g : gases)
        if (g.f.slots.size() == 1 && g.f.slots[0].first == kElectron) electron_lib = g.lib;
    for (auto& g : gases) {
        if (g.f.charge() == 0 || g.lib == electron_lib) continue;
        // parent: the neutral gas of the same atoms, the one named like the ion first
        Formula pf = g.f;
        pf.slots.erase(std::remove_if(pf.slots.begin(), pf.slots.end(),
                                      [](auto& s) { return s.first == kElectron; }),
                       pf.slots.end());
        const std::string want = g.sp->name.substr(0, g.sp->name.size() - 1);
        int best = 0;
        for (auto& p : gases) {
            if (p.lib >= g.lib || p.f.charge() != 0 || p.f.slots != pf.slots) continue;
            if (p.sp->name == want) { best = p.lib; break; }
            if (!best) best = p.lib;
        }
        if (best >= 2) g.parent = best;
    }
    for (auto& g : gases) {
        if (g.parent) continue;
        GasFit fit = fit_gas(nasa_fn(g.sp));
        g.a = fit.a;
        g.pins = fit.pins;
        g.min_cp = fit.min_cp;
    }
    auto prog_fn = [&](int lib) {
        return std::function<Props(double)>(
            [&gases, lib](double T) { return gas_poly(gases[lib - 1].a, T); });
    };
    for (auto& g : gases) {
        if (!g.parent) continue;
        const auto ion = nasa_fn(g.sp);
        if (g.f.charge() > 0)
            g.a = positive_ion_record(g.parent, ion, prog_fn(g.parent), prog_fn(electron_lib));
        else
            g.a = negative_ion_record(g.parent, ion, prog_fn(g.parent), prog_fn(electron_lib));
        g.min_cp = gases[g.parent - 1].min_cp;
    }
    auto gas_prog = [&](const Gas& g) {
        if (!g.parent) return prog_fn(g.lib);
        const Gas* gp = &g;
        return std::function<Props(double)>([&gases, gp, electron_lib](double T) {
            return ion_props(gp->a, gp->f.charge(), gas_poly(gases[gp->parent - 1].a, T),
                             gas_poly(gases[electron_lib - 1].a, T), T);
        });
    };

    // --- Condensed substances --------------------------------------------------------------
    std::set<int> gas_elements(used_elements);
    std::map<std::vector<std::pair<int, int>>, std::vector<const Species*>> by_formula;
    std::vector<std::vector<std::pair<int, int>>> formula_order;
    for (const Species& s : all) {
        if (s.phase == 0 || s.iv.empty()) continue;
        Formula f = encode_formula(s.atoms);
        if (!f.ok || f.charge() != 0 || !inside(f, gas_elements)) continue;
        bool prio = true;
        for (auto& sl : f.slots)
            if (std::find(priority_elements().begin(), priority_elements().end(), sl.first) ==
                priority_elements().end())
                prio = false;
        if (!prio) continue;
        if (!by_formula.count(f.slots)) formula_order.push_back(f.slots);
        by_formula[f.slots].push_back(&s);
    }
    std::vector<Condensed> conds;
    for (auto& key : formula_order) {
        auto list = by_formula[key];
        std::stable_sort(list.begin(), list.end(), [](const Species* x, const Species* y) {
            return x->iv.front().tlo < y->iv.front().tlo;
        });
        Condensed c;
        c.phases.push_back(list.front());
        for (;;) {
            const double top = c.phases.back()->iv.back().thi;
            const Species* nx = nullptr;
            for (auto* s : list)
                if (std::fabs(s->iv.front().tlo - top) < 0.01 && s != c.phases.back()) {
                    nx = s;
                    break;
                }
            if (!nx || c.phases.size() > 6) break;
            c.phases.push_back(nx);
        }
        Formula f;
        f.slots = key;
        f.ok = true;
        c.f = f;
        conds.push_back(c);
    }
    // Relevance: a substance ranks by the least common of its elements in propellant products
    // (order below), then by its number of elements, then by the order of the NASA file.
    static const std::vector<int> cond_order = {8,  1,  6,  7,  9,  17, 13, 5,  3,  11, 19,
                                                12, 4,  14, 22, 40, 16, 15, 35, 53, 55};
    auto cond_rank = [](const Condensed& c) {
        int r = 0;
        for (auto& sl : c.f.slots) {
            const auto it = std::find(cond_order.begin(), cond_order.end(), sl.first);
            r = std::max(r, static_cast<int>(it - cond_order.begin()));
        }
        return r;
    };
    std::stable_sort(conds.begin(), conds.end(), [&](const Condensed& x, const Condensed& y) {
        const int rx = cond_rank(x), ry = cond_rank(y);
        if (rx != ry) return rx < ry;
        return x.f.slots.size() < y.f.slots.size();
    });
    const int max_cond = kMaxLibNum - kGasRecords;
    if (static_cast<int>(conds.size()) > max_cond) conds.resize(max_cond);

    // One interval per phase first; then the worst-fitting piece is halved (the upper half
    // joined to the lower in enthalpy and entropy) until the records reach the read limit.
    auto phase_fn = [](const Species* s) {
        return std::function<Props(double)>([s](double T) { return nasa_props(*s, T); });
    };
    struct Piece {
        int cond, phase;
        double tlo, thi;
    };
    std::vector<std::vector<Piece>> pieces(conds.size());
    for (std::size_t i = 0; i < conds.size(); ++i)
        for (std::size_t p = 0; p < conds[i].phases.size(); ++p) {
            const Species* s = conds[i].phases[p];
            pieces[i].push_back({static_cast<int>(i), static_cast<int>(p), s->iv.front().tlo,
                                 s->iv.back().thi});
        }
    auto refit = [&](std::size_t i) {
        Condensed& c = conds[i];
        c.iv.clear();
        for (std::size_t k = 0; k < pieces[i].size(); ++k) {
            const Piece& pc = pieces[i][k];
            // Pieces of one phase are joined unless the NASA functions themselves jump there.
            bool join = k > 0 && pieces[i][k - 1].phase == pc.phase;
            if (join) {
                const Species* sp = c.phases[pc.phase];
                const double jump = std::fabs(nasa_props(*sp, pc.tlo * (1 + 1e-12)).h -
                                              nasa_props(*sp, pc.tlo * (1 - 1e-12)).h);
                if (jump > 10.0) join = false;
            }
            CondInterval ci;
            ci.tlo = pc.tlo;
            ci.thi = pc.thi;
            ci.phase = pc.phase;
            ci.b = fit_condensed(phase_fn(c.phases[pc.phase]), pc.tlo, pc.thi,
                                 join ? &c.iv.back().b : nullptr);
            c.iv.push_back(ci);
        }
    };
    auto piece_error = [&](std::size_t i, std::size_t k) {
        const CondInterval& ci = conds[i].iv[k];
        const auto b = ci.b;
        return deviation([b](double T) { return cond_poly(b, T); },
                         phase_fn(conds[i].phases[ci.phase]), ci.tlo + 1e-6, ci.thi - 1e-6)
            .dg;
    };
    for (std::size_t i = 0; i < conds.size(); ++i) refit(i);
    auto used_len = [&]() {
        int n = 0;
        for (auto& c : conds) n += c.length();
        return n;
    };
    while (used_len() + 1 > kCondensedRead) conds.pop_back(), pieces.pop_back();
    while (1 + used_len() < kCondensedStop) {
        double worst = -1;
        std::size_t wi = 0, wk = 0;
        for (std::size_t i = 0; i < conds.size(); ++i)
            for (std::size_t k = 0; k < pieces[i].size(); ++k) {
                const Piece& pc = pieces[i][k];
                if (pc.thi - pc.tlo < 100) continue;
                // The last phase of a substance with several phases stays whole: a run that
                // keeps condensed species on their last interval evaluates that phase (the
                // liquid, say) over the whole temperature range. A single phase may be split:
                // its whole-range cubic would be too coarse (graphite misses G/RT by 0.02).
                if (conds[i].phases.size() > 1 &&
                    pc.phase + 1 == static_cast<int>(conds[i].phases.size()))
                    continue;
                const double e = piece_error(i, k);
                if (e > worst) { worst = e; wi = i; wk = k; }
            }
        if (worst < 0) throw std::runtime_error("condensed records cannot fill the read limit");
        Piece a = pieces[wi][wk], b = a;
        // split at a NASA interval boundary inside the piece where there is one (the one
        // nearest the middle), else at the middle
        double mid = std::round(0.5 * (a.tlo + a.thi));
        {
            const Species* sp = conds[wi].phases[a.phase];
            double best = 1e300;
            for (const Interval& v : sp->iv)
                if (v.tlo > a.tlo + 50 && v.tlo < a.thi - 50 &&
                    std::fabs(v.tlo - 0.5 * (a.tlo + a.thi)) < best) {
                    best = std::fabs(v.tlo - 0.5 * (a.tlo + a.thi));
                    mid = v.tlo;
                }
        }
        a.thi = mid;
        b.tlo = mid;
        pieces[wi][wk] = a;
        pieces[wi].insert(pieces[wi].begin() + wk + 1, b);
        refit(wi);
    }
    for (std::size_t i = 0; i < conds.size(); ++i) conds[i].lib = kGasRecords + 1 + static_cast<int>(i);

    // --- Collision parameters --------------------------------------------------------------
    std::vector<Analogue> known;
    for (auto& g : gases) {
        auto it = ljtab.find(g.sp->name);
        if (it != ljtab.end() && g.f.charge() == 0 && g.lib != electron_lib &&
            !placeholder_lj(g.sp->name))
            known.push_back({g.sp->name, g.f, g.sp->mw, it->second});
    }
    for (auto& g : gases) {
        if (g.lib == electron_lib) continue;
        const Species* src = g.sp;
        std::string note;
        auto it = ljtab.find(src->name);
        LJ v;
        if (it != ljtab.end()) {
            v = it->second;
        } else if (g.f.charge() != 0 && g.parent) {
            const Gas& p = gases[g.parent - 1];
            auto ip = ljtab.find(p.sp->name);
            if (ip != ljtab.end()) {
                v = ip->second;
                note = "parent " + p.sp->name + " (measured)";
            }
        }
        if (v.sigma == 0) {
            Formula nf = g.f;
            nf.slots.erase(std::remove_if(nf.slots.begin(), nf.slots.end(),
                                          [](auto& s) { return s.first == kElectron; }),
                           nf.slots.end());
            std::string from;
            v = estimate_collision(nf, src->mw, known, from);
            note = "analogue " + from;
        }
        g.collision = pack_collision(v.sigma, v.eps);
        g.collision_note = note;
    }

    // --- Names -----------------------------------------------------------------------------
    NameBook book;
    // a gas keeps its NASA name where it fits; an isomer keeps the start of its tag after the
    // comma ("C3H6O,ac"); a bracketed formula is written out ("ALO2H2CL")
    for (auto& g : gases) {
        const std::string& n = g.sp->name;
        std::vector<std::string> cand = {n, upto(n, ",")};
        if (n.find(',') != std::string::npos) cand.push_back(n.substr(0, 8));
        cand.push_back(formula_name(*g.sp));
        g.name8 = book.take(cand);
    }
    for (auto& c : conds) {
        // the substance is named without the phase tag of its first phase: "AL(OH)3(a)" -> "AL(OH)3"
        const std::string& first = c.phases.front()->name;
        const auto tag = first.rfind('(');
        const std::string base = tag == std::string::npos || tag == 0 ? first : first.substr(0, tag);
        c.name8 = book.take({base + "(c)", base.substr(0, 7) + "*", base.substr(0, 6) + "(c"});
    }

    // --- Files -----------------------------------------------------------------------------
    std::vector<double> r3;
    for (auto& g : gases) {
        r3.push_back(static_cast<double>(g.f.code()));
        r3.push_back(identification(g.f, g.lib));
        for (double x : g.a) r3.push_back(x);
        r3.push_back(g.collision);
    }
    std::vector<double> r4;
    for (auto& c : conds) {
        r4.push_back(static_cast<double>(c.f.code()));
        r4.push_back(identification(c.f, c.lib));
        r4.push_back(1.0 + 6.0 * static_cast<double>(c.iv.size()));
        r4.push_back(static_cast<double>(c.iv.size()));
        for (auto& ci : c.iv) {
            r4.push_back(ci.thi);
            for (double x : ci.b) r4.push_back(x);
        }
    }
    L.files.emplace_back("r3.id", write_stream(r3));
    L.files.emplace_back("r4.id", write_stream(r4));

    std::vector<std::string> names(kMaxLibNum + 1, "");
    for (auto& g : gases) names[g.lib] = g.name8;
    for (auto& c : conds) names[c.lib] = c.name8;
    {
        std::ostringstream k;
        for (int i = 1; i <= kMaxLibNum; ++i)
            k << std::setw(3) << i << "   " << pad(names[i], 8) << "\n";
        L.files.emplace_back("kom.id", k.str());
    }
    {
        // element masses: the NASA atoms' molecular weights where present
        std::array<double, 99> mu{};
        for (int z = 1; z <= 97; ++z) mu[z] = standard_atomic_weights()[z];
        for (auto& [z, s] : atom_gas)
            if (z <= 97) mu[z] = s->mw;
        mu[kElectron] = atom_gas.count(kElectron) ? atom_gas[kElectron]->mw : 0.000548579903;
        std::ostringstream v;
        v << "! Element table: atomic masses MU [g/mol] of elements 1-97 and of the electron "
             "(98); valences V: reducing elements positive, oxidizing elements negative "
             "(O -2, halogens -1), nitrogen, noble gases and the electron 0.\n";
        v << "&WAL\n MU(1)=";
        char buf[64];
        for (int z = 1; z <= 98; ++z) {
            std::snprintf(buf, sizeof buf, "%.9g", mu[z]);
            v << buf << (z < 98 ? "," : "") << (z % 8 == 0 ? "\n  " : " ");
        }
        v << "\n V(1)=";
        for (int z = 1; z <= 98; ++z) {
            std::snprintf(buf, sizeof buf, "%.1f", z == kElectron ? 0.0 : element_valence(z));
            v << buf << (z < 98 ? "," : "") << (z % 12 == 0 ? "\n  " : " ");
        }
        v << "\n/\n";
        L.files.emplace_back("val.id", v.str());
    }
    {
        static const char* labels[25] = {"ALFA", "K1", "P", "T", "I", "S", "M", "CPR", "CPRG",
                                         "CPZ", "R", "K", "Z", "A", "VISC", "COND", "LR", "PR",
                                         "N", "MACH", "IS", "ISV", "B", "F/G", "F/FK"};
        std::ostringstream t;
        for (int i = 1; i <= 25; ++i) t << std::setw(2) << i << " " << pad(labels[i - 1], 4) << "\n";
        L.files.emplace_back("tab.id", t.str());
    }
    {
        std::ostringstream x;
        x << "libnum\tnasa_name\tname8\tphase\tformula_code\n";
        for (auto& g : gases)
            x << g.lib << "\t" << g.sp->name << "\t" << g.name8 << "\tG\t" << g.f.code() << "\n";
        for (auto& c : conds) {
            std::string nn;
            for (auto* p : c.phases) nn += (nn.empty() ? "" : "+") + p->name;
            x << c.lib << "\t" << nn << "\t" << c.name8 << "\tC\t" << c.f.code() << "\n";
        }
        L.files.emplace_back("library_index.tsv", x.str());
    }

    // --- Fit report ------------------------------------------------------------------------
    int n_ion_rec = 0, n_ion_poly = 0;
    for (auto& g : gases)
        if (g.f.charge() != 0 && g.lib != electron_lib) (g.parent ? n_ion_rec : n_ion_poly)++;
    rep << "Reference library fit report\n\n";
    rep << "Sources: NASA Glenn thermo.inp (products section), Lennard-Jones table.\n";
    rep << "Units: H in kJ/mol, S and Cp in J/(mol K); G/RT with R = 8.314510 J/(mol K).\n";
    rep << "Deviations are the largest over 300-5000 K (10 K steps) within each species' range\n";
    rep << "of the functions the program computes from the stored records against NASA's\n";
    rep << "(gas entropies at 1 atm). Ions with a parent record: the program takes the\n";
    rep << "parent's entropy and heat capacity, so their H, S and Cp deviate by design; their\n";
    rep << "G is matched exactly at 2000, 3000, 4000 and 5000 K (positive ions) or fitted\n";
    rep << "over 1500-6000 K (negative ions); their columns cover 2000-5000 K.\n\n";
    rep << "Gas fit: H, S and Cp jointly by least squares (QR in long double, scaled\n";
    rep << "columns): rows H/RT and S/R (weight 1) and Cp/R (weight 0.1) on a grid even in\n";
    rep << "ln T (step 0.01) over 300-6000 K. Up to 20000 K, the top of the chamber bracket,\n";
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
    rep << "Counts\n";
    int n_neutral = 0;
    for (auto& g : gases)
        if (g.f.charge() == 0) ++n_neutral;
    rep << "  gases " << gases.size() << " (single-element " << used_elements.size()
        << ", neutral " << n_neutral << " incl. atoms, ion records " << n_ion_rec
        << ", ions with polynomial records " << n_ion_poly << ", electron 1)\n";
    rep << "  condensed substances " << conds.size() << ", values " << used_len() << "\n";
    rep << "  NASA gases not representable (elements, counts, charge): " << skipped_formula
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

    struct Row {
        std::string name;
        int lib;
        Deviation d;
        bool major;
    };
    std::vector<Row> rows;
    rep << "Gases\n";
    rep << " lib name      kind      dH kJ/mol   dS J/molK  dCp J/molK    dG/RT    minCp(200-20000K) J/molK pins\n";
    for (auto& g : gases) {
        // an ion record is checked where ions matter, 2000-5000 K (below 2000 K the program
        // holds the factor Q constant; that deviation is listed separately)
        const double lo = g.parent ? 2000.0 : g.sp->iv.front().tlo;
        const Deviation d = deviation(gas_prog(g), nasa_fn(g.sp), lo, g.sp->iv.back().thi);
        const double dlow =
            g.parent ? deviation(gas_prog(g), nasa_fn(g.sp), 300, 1999).dg : 0.0;
        const char* kind = g.parent ? (g.f.charge() > 0 ? "ion+" : "ion-") : "poly";
        char buf[200];
        std::snprintf(buf, sizeof buf, "%4d %-9s %-6s %11.4f %11.4f %11.4f %10.6f %10.3f %3d",
                      g.lib, g.name8.c_str(), kind, d.dh, d.ds, d.dcp, d.dg, g.min_cp * kCalJ,
                      g.pins);
        rep << buf;
        if (g.parent) {
            std::snprintf(buf, sizeof buf, "   dG/RT 300-2000 K %.4f", dlow);
            rep << buf;
        }
        rep << "\n";
        rows.push_back({g.sp->name, g.lib, d, major_products().count(g.sp->name) > 0});
    }
    rep << "\nCondensed substances (phases; intervals: upper limit)\n";
    for (auto& c : conds) {
        Deviation d;
        for (auto& ci : c.iv) {
            const auto b = ci.b;
            // inside the interval: NASA data can jump at its ends
            Deviation e = deviation([b](double T) { return cond_poly(b, T); },
                                    phase_fn(c.phases[ci.phase]), ci.tlo + 1e-6, ci.thi - 1e-6);
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
        rows.push_back({c.name8, c.lib, d, false});
    }
    // summary
    int miss = 0, miss_major = 0, n_major = 0;
    for (auto& r : rows) {
        const bool bad = r.d.dg > 0.002 || r.d.dh > 0.5;
        const bool is_ion_rec = r.lib <= kGasRecords && gases[r.lib - 1].parent;
        if (bad && !is_ion_rec) ++miss;
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
            if (r.lib <= kGasRecords && gases[r.lib - 1].parent) continue;
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
        if (r.lib <= kGasRecords && gases[r.lib - 1].parent) continue;
        if (shown++ == 12) break;
        char buf[80];
        std::snprintf(buf, sizeof buf, " %s %.4f", r.name.c_str(), r.d.dg);
        sum << buf;
    }
    std::sort(worst.begin(), worst.end(), [](auto& x, auto& y) { return x.d.dh > y.d.dh; });
    sum << "\n  worst dH:";
    shown = 0;
    for (auto& r : worst) {
        if (r.lib <= kGasRecords && gases[r.lib - 1].parent) continue;
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
            std::snprintf(buf, sizeof buf, "%s %s dG/RT %.5f dH %.3f", shown++ % 3 == 0 ? "\n   " : ";",
                          r.name.c_str(), r.d.dg, r.d.dh);
            sum << buf;
        }
    sum << "\n";
    rep << "\n" << sum.str();
    rep << "\nIons with polynomial records (parent is species 1 or not in the library):";
    for (auto& g : gases)
        if (g.f.charge() != 0 && g.lib != electron_lib && !g.parent) rep << " " << g.name8;
    rep << "\n";
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
    rep << "\nCollision parameters not in the Lennard-Jones table\n";
    rep << "  Method (analogy with a measured species of similar size and polarity): an ion takes\n";
    rep << "  its parent's measured values; any other gas takes the well depth of a measured\n";
    rep << "  neutral species of its class (with or without a metal): a homologue (same periodic\n";
    rep << "  groups and counts, e.g. NaCL from KCL) or, without one, the species nearest in atom\n";
    rep << "  count; in both cases the nearest in molar mass; and that species' diameter\n";
    rep << "  scaled by the cube root of the ratio of summed atomic volumes (Le Bas increments,\n";
    rep << "  molar volumes for metals). KH's table entry (argon's values) is lent to no other\n";
    rep << "  species. The electron has no collision values.\n";
    int n_est = 0;
    for (auto& g : gases)
        if (!g.collision_note.empty()) {
            char buf[160];
            const double n = std::floor(g.collision * 1e-05);
            std::snprintf(buf, sizeof buf, "  %4d %-9s sigma %6.3f eps/k %8.1f  %s\n", g.lib,
                          g.name8.c_str(), n * 0.001, (g.collision - n * 100000) * 0.1,
                          g.collision_note.c_str());
            rep << buf;
            ++n_est;
        }
    rep << "  estimated: " << n_est << "\n";
    L.files.emplace_back("fit_report.txt", rep.str());
    L.summary = sum.str();
    L.gases = std::move(gases);
    L.condensed = std::move(conds);
    return L;
}

}  // namespace mklib
