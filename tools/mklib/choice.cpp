// Which NASA species the library holds, and in which order: the gases by their elements, the
// condensed substances as chains of phases ranked by their elements.
#include "tools/mklib/library.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace mklib {

namespace {

using Candidate = std::pair<const NasaSpecies*, Formula>;

//! Species that are not products of their own: the inert copies and the air mixture.
bool is_pseudo_species(const std::string& name)
{
    return name.rfind("Inert", 0) == 0 || name == "Air";
}

//! Whether every element of f is in `elements`.
bool inside(const Formula& f, const std::set<int>& elements)
{
    for (auto& sl : f.slots)
        if (!elements.count(sl.first)) return false;
    return true;
}

//! Whether f is one atom of an element.
bool single_atom(const Formula& f) { return f.slots.size() == 1 && f.slots[0].second == 1; }

//! The NASA gases whose formula the codes hold, in file order, and the first single-atom gas
//! of each element; counts the others in `unrepresentable`.
std::vector<Candidate> eligible_gases(const std::vector<NasaSpecies>& products,
                                      std::map<int, const NasaSpecies*>& atom_gas,
                                      int& unrepresentable)
{
    std::vector<Candidate> cand;
    for (const NasaSpecies& s : products) {
        if (s.phase != 0 || s.iv.empty() || is_pseudo_species(s.name)) continue;
        Formula f = encode_formula(s.atoms);
        if (!f.ok) {
            ++unrepresentable;
            continue;
        }
        if (single_atom(f) && !atom_gas.count(f.slots[0].first)) atom_gas[f.slots[0].first] = &s;
        cand.emplace_back(&s, f);
    }
    return cand;
}

//! The gases other than the atoms, in rank order, and the elements whose atoms join them:
//! every candidate of the priority elements, then element by element in increasing atomic
//! number (neutral species of the new element before its ions) until the library is full.
std::vector<Candidate> chosen_molecules(const std::vector<Candidate>& cand,
                                        const std::map<int, const NasaSpecies*>& atom_gas,
                                        std::set<int>& elements)
{
    auto elements_ok = [&](const Formula& f) {
        for (auto& sl : f.slots)
            if (!atom_gas.count(sl.first)) return false;
        return true;
    };
    auto is_atom = [&](const NasaSpecies* s, const Formula& f) {
        return single_atom(f) && atom_gas.at(f.slots[0].first) == s;
    };
    std::set<int> allowed(priority_elements().begin(), priority_elements().end());
    allowed.insert(kElectron);
    std::vector<Candidate> chosen;
    for (auto& [s, f] : cand)
        if (elements_ok(f) && inside(f, allowed) && !is_atom(s, f)) {
            chosen.emplace_back(s, f);
            for (auto& sl : f.slots) elements.insert(sl.first);
        }
    for (int z : allowed)
        if (atom_gas.count(z)) elements.insert(z);
    auto total = [&]() { return static_cast<int>(chosen.size() + elements.size()); };
    if (total() > kGasRecords)
        throw std::runtime_error("priority elements alone give more gases than the library holds");
    for (int z = 1; z <= kChemicalElements && total() < kGasRecords; ++z) {
        if (allowed.count(z) || !atom_gas.count(z)) continue;
        std::set<int> next = allowed;
        next.insert(z);
        std::vector<Candidate> add;
        for (auto& [s, f] : cand)
            if (elements_ok(f) && inside(f, next) && !inside(f, allowed) && !is_atom(s, f))
                add.emplace_back(s, f);
        std::stable_sort(add.begin(), add.end(), [](auto& x, auto& y) {
            return (x.second.charge() != 0) < (y.second.charge() != 0);
        });
        elements.insert(z);
        allowed = next;
        for (auto& c : add) {
            if (total() >= kGasRecords) break;
            chosen.push_back(c);
        }
    }
    if (total() != kGasRecords) throw std::runtime_error("could not fill the gas library");
    return chosen;
}

//! Chains the NASA phases of one formula by their ranges: each next phase starts where the
//! previous one ends; at most seven phases.
Condensed chain_phases(std::vector<const NasaSpecies*> list,
                       const std::vector<std::pair<int, int>>& slots)
{
    std::stable_sort(list.begin(), list.end(), [](const NasaSpecies* x, const NasaSpecies* y) {
        return x->iv.front().tlo < y->iv.front().tlo;
    });
    Condensed c;
    c.phases.push_back(list.front());
    for (;;) {
        const double top = c.phases.back()->iv.back().thi;
        const NasaSpecies* nx = nullptr;
        for (auto* s : list)
            if (std::fabs(s->iv.front().tlo - top) < 0.01 && s != c.phases.back()) {
                nx = s;
                break;
            }
        if (!nx || c.phases.size() > 6) break;
        c.phases.push_back(nx);
    }
    c.f.slots = slots;
    c.f.ok = true;
    return c;
}

//! Rank of a condensed substance: the position of its least common element in propellant
//! products (order below).
int condensed_rank(const Condensed& c)
{
    static const std::vector<int> order = {8,  1,  6,  7,  9,  17, 13, 5,  3,  11, 19,
                                           12, 4,  14, 22, 40, 16, 15, 35, 53, 55};
    int r = 0;
    for (auto& sl : c.f.slots) {
        const auto it = std::find(order.begin(), order.end(), sl.first);
        r = std::max(r, static_cast<int>(it - order.begin()));
    }
    return r;
}

}  // namespace

GasChoice choose_gases(const std::vector<NasaSpecies>& products)
{
    GasChoice ch;
    const std::vector<Candidate> cand = eligible_gases(products, ch.atom_gas, ch.unrepresentable);
    const std::vector<Candidate> chosen = chosen_molecules(cand, ch.atom_gas, ch.elements);
    for (int z : ch.elements) {
        Gas g;
        g.sp = ch.atom_gas.at(z);
        g.f = encode_formula(g.sp->atoms);
        ch.gases.push_back(g);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (auto& [s, f] : chosen)
            if ((f.charge() != 0) == (pass == 1)) {
                Gas g;
                g.sp = s;
                g.f = f;
                ch.gases.push_back(g);
            }
    for (std::size_t i = 0; i < ch.gases.size(); ++i) ch.gases[i].lib = static_cast<int>(i) + 1;
    return ch;
}

std::vector<Condensed> choose_condensed(const std::vector<NasaSpecies>& products,
                                        const std::set<int>& elements)
{
    const auto& prio = priority_elements();
    std::map<std::vector<std::pair<int, int>>, std::vector<const NasaSpecies*>> by_formula;
    std::vector<std::vector<std::pair<int, int>>> formula_order;
    for (const NasaSpecies& s : products) {
        if (s.phase == 0 || s.iv.empty()) continue;
        Formula f = encode_formula(s.atoms);
        if (!f.ok || f.charge() != 0 || !inside(f, elements)) continue;
        bool in_prio = true;
        for (auto& sl : f.slots)
            if (std::find(prio.begin(), prio.end(), sl.first) == prio.end()) in_prio = false;
        if (!in_prio) continue;
        if (!by_formula.count(f.slots)) formula_order.push_back(f.slots);
        by_formula[f.slots].push_back(&s);
    }
    std::vector<Condensed> conds;
    for (auto& key : formula_order) conds.push_back(chain_phases(by_formula[key], key));
    // By rank, then by number of elements; the sort is stable, so otherwise in file order.
    std::stable_sort(conds.begin(), conds.end(), [](const Condensed& x, const Condensed& y) {
        const int rx = condensed_rank(x), ry = condensed_rank(y);
        if (rx != ry) return rx < ry;
        return x.f.slots.size() < y.f.slots.size();
    });
    const int max_cond = kMaxLibNum - kGasRecords;
    if (static_cast<int>(conds.size()) > max_cond) conds.resize(max_cond);
    return conds;
}

}  // namespace mklib
