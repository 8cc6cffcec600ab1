// Collision parameters: the Lennard-Jones table, estimates by analogy and their packing.
#include "tools/mklib/collision.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

namespace mklib {

namespace {

//! Atomic volume increments [cm3/mol] for the size of a molecule (Le Bas values for the light
//! elements, molar volumes of the elements otherwise; 20 where neither is at hand).
double atomic_volume(int z)
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
bool is_metal(int z)
{
    static const std::set<int> nonmetal = {1,  2,  5,  6,  7,  8,  9,  10, 14, 15, 16,
                                           17, 18, 33, 34, 35, 36, 52, 53, 54, 85, 86, 98};
    return nonmetal.count(z) == 0;
}

//! Atoms in the formula, the electron not counted.
int atom_count(const Formula& f)
{
    int n = 0;
    for (auto& s : f.slots)
        if (s.first != kElectron) n += s.second;
    return n;
}

//! Summed atomic volumes of the formula [cm3/mol].
double size_volume(const Formula& f)
{
    double v = 0;
    for (auto& s : f.slots)
        if (s.first != kElectron) v += s.second * atomic_volume(s.first);
    return v;
}

//! Whether the formula holds a metal.
bool has_metal(const Formula& f)
{
    for (auto& s : f.slots)
        if (is_metal(s.first)) return true;
    return false;
}

//! Table entries that are known stand-ins rather than fits of the species itself (KH carries
//! argon's values); they are used for the species but lent to no other.
bool placeholder_lj(const std::string& name) { return name == "KH"; }

//! Periodic-table group (1-18) of an element; the lanthanides and actinides count as group 3.
int periodic_group(int z)
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
std::vector<std::pair<int, int>> group_signature(const Formula& f)
{
    std::map<int, int> m;
    for (auto& s : f.slots)
        if (s.first != kElectron) m[periodic_group(s.first)] += s.second;
    return {m.begin(), m.end()};
}

}  // namespace

std::map<std::string, LJ> read_lj(std::istream& in)
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

LJ estimate_collision(const Formula& f, double mw, const std::vector<Analogue>& known,
                      std::string& from)
{
    const bool metal = has_metal(f);
    const int n = atom_count(f);
    const auto sig = group_signature(f);
    const Analogue* best = nullptr;
    double bestd = 1e300;
    for (const Analogue& k : known) {
        if (has_metal(k.f) != metal) continue;
        // a homologue first, then the nearest atom count; among equals the nearest molar mass
        double d = group_signature(k.f) == sig ? 0.0 : 100.0 + 10.0 * std::abs(atom_count(k.f) - n);
        d += std::fabs(std::log(mw / k.mw));
        if (d < bestd) {
            bestd = d;
            best = &k;
        }
    }
    if (!best) return {};
    from = best->name;
    LJ r;
    r.eps = best->lj.eps;
    r.sigma = best->lj.sigma * std::cbrt(size_volume(f) / size_volume(best->f));
    return r;
}

double pack_collision(double sigma, double eps)
{
    if (sigma <= 0 || eps <= 0) return 0.0;
    // n*base + m: the diameter in thousandths of an angstrom, the well depth in tenths of a kelvin
    return std::round(sigma * 1000) * tev::libfmt::kCollisionBase + std::round(eps * 10);
}

std::string thermo_name_of_trans(const std::string& trans_name)
{
    static const std::map<std::string, std::string> renamed = {{"CCLF3", "CF3CL"},
                                                               {"CCL2F2", "CF2CL2"},
                                                               {"CCL3F", "CFCL3"},
                                                               {"CHCLF2", "CHF2CL"},
                                                               {"CHCL2F", "CHFCL2"}};
    const auto it = renamed.find(trans_name);
    return it == renamed.end() ? trans_name : it->second;
}

void assign_collisions(std::vector<Gas>& gases, const std::map<std::string, LJ>& table,
                       const std::map<std::string, ViscosityFit>& viscosity,
                       const ElementMasses& mu)
{
    const int electron_lib = electron_number(gases);
    // The analogues are the measured species of the table, whatever is fitted later, so that
    // the estimates stay those of the measured values.
    std::vector<Analogue> known;
    for (auto& g : gases) {
        auto it = table.find(g.sp->name);
        if (it != table.end() && g.f.charge() == 0 && g.lib != electron_lib &&
            !placeholder_lj(g.sp->name))
            known.push_back({g.sp->name, g.f, g.sp->mw, it->second});
    }
    std::map<std::string, const ViscosityFit*> fits;
    for (const auto& [name, fit] : viscosity) fits[thermo_name_of_trans(name)] = &fit;

    for (auto& g : gases) {
        if (g.lib == electron_lib || g.f.charge() != 0) continue;
        const auto it = fits.find(g.sp->name);
        if (it == fits.end()) continue;
        g.visc = fit_collision(*it->second, program_molar_mass(g.f, mu));
        if (g.visc.sigma > 0) g.collision_note = "NASA viscosity (" + it->second->source + ")";
    }
    for (auto& g : gases) {
        if (g.lib == electron_lib) continue;
        if (g.visc.sigma > 0) {
            g.collision = pack_collision(g.visc.sigma, g.visc.eps);
            continue;
        }
        std::string note;
        auto it = table.find(g.sp->name);
        LJ v;
        if (it != table.end()) {
            v = it->second;
        } else if (g.f.charge() != 0 && g.parent) {
            const Gas& p = gases[g.parent - 1];
            auto ip = table.find(p.sp->name);
            if (p.visc.sigma > 0) {
                v = {p.visc.sigma, p.visc.eps};
                note = "parent " + p.sp->name + " (NASA viscosity)";
            } else if (ip != table.end()) {
                v = ip->second;
                note = "parent " + p.sp->name + " (measured)";
            }
        }
        if (v.sigma == 0) {
            Formula nf = g.f;
            nf.slots = g.f.neutral_slots();
            std::string from;
            v = estimate_collision(nf, g.sp->mw, known, from);
            note = "analogue " + from;
        }
        g.collision = pack_collision(v.sigma, v.eps);
        g.collision_note = note;
    }
}

}  // namespace mklib
