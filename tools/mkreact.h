// The reactant-table generator: makes, from the records of a NASA Glenn thermo.inp (its reactant
// and its product sections, read by the library generator's reader), the table of propellant
// components that tevalin-task looks names up in. Plain functions over plain records, so that
// tests can check each step on small inputs.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "compose/reactants.h"
#include "tools/mklib/formula.h"
#include "tools/mklib/nasa_data.h"

namespace mkreact {

//! The table and what was left out of it.
struct Table {
    std::vector<tev::Reactant> entries;
    int ions = 0;              //!< charged species left out
    std::vector<std::string> foreign;  //!< records left out for an element the program lacks
    std::vector<std::string> twice;    //!< names that stand for two entries (gas and condensed)
};

//! Database temperature and enthalpy: an entry known at one temperature keeps it; an entry with
//! fits is taken at 298.15 K with its own heat of formation when its data begin there (or at
//! most kStandardSlack above), otherwise at the lowest temperature of its data.
inline void set_database_point(tev::Reactant& r, const mklib::NasaSpecies& rec)
{
    if (r.fits.empty()) {
        r.t = rec.t_assigned;
        r.h = rec.hf;
        return;
    }
    const auto& first = r.fits.front();
    if (first.tlo <= tev::kStandardT + tev::kStandardSlack && r.fits.back().thi >= tev::kStandardT) {
        r.t = tev::kStandardT;
        r.h = rec.hf;
    } else {
        r.t = first.tlo;
        r.h = tev::fit_enthalpy(first, first.tlo);
    }
}

//! The fits of a record, as far as the enthalpy needs them.
inline std::vector<tev::ReactantFit> fits_of(const mklib::NasaSpecies& rec)
{
    std::vector<tev::ReactantFit> f;
    for (const auto& iv : rec.iv) f.push_back({iv.tlo, iv.thi, iv.a, iv.b1});
    return f;
}

//! Every neutral record whose elements the program knows: the reactant section first, then the
//! product species, each in file order. Consecutive records of one name and phase (a condensed
//! phase given in pieces) become one entry.
inline Table build_table(const mklib::NasaData& data)
{
    Table t;
    for (const bool reactant_section : {true, false}) {
        const mklib::NasaSpecies* last = nullptr;
        for (const auto& rec : reactant_section ? data.reactants : data.products) {
            tev::Reactant r;
            r.name = rec.name;
            r.gas = rec.phase == 0;
            r.listed = reactant_section;
            bool charged = false;
            std::string foreign;
            for (const auto& [sym, n] : rec.atoms) {
                const int z = mklib::element_number(sym);
                if (z == mklib::kElectron) charged = true;
                if (z == 0) foreign = sym;
                auto at = std::find_if(r.formula.begin(), r.formula.end(),
                                       [&](const auto& p) { return p.first == z; });
                if (at == r.formula.end())
                    r.formula.emplace_back(z, n);
                else
                    at->second += n;
            }
            if (charged) {
                ++t.ions;
                continue;
            }
            if (!foreign.empty()) {
                t.foreign.push_back(rec.name + " (" + foreign + ")");
                continue;
            }
            if (last && !t.entries.empty() && last->name == rec.name &&
                (last->phase == 0) == (rec.phase == 0) && !rec.iv.empty() &&
                !t.entries.back().fits.empty()) {
                const auto more = fits_of(rec);
                auto& prev = t.entries.back();
                prev.fits.insert(prev.fits.end(), more.begin(), more.end());
                continue;
            }
            r.fits = fits_of(rec);
            set_database_point(r, rec);
            t.entries.push_back(std::move(r));
            last = &rec;
        }
    }
    for (std::size_t i = 0; i < t.entries.size(); ++i)
        for (std::size_t j = i + 1; j < t.entries.size(); ++j)
            if (t.entries[i].name == t.entries[j].name) t.twice.push_back(t.entries[i].name);
    return t;
}

//! The header comment of the table file.
inline std::vector<std::string> table_header(const Table& t)
{
    std::vector<std::string> h = {
        "Propellant components for tevalin-task, made by mkreact from NASA Glenn thermo.inp. Do "
        "not edit: make lib writes it.",
        "name: the NASA name. phase: gas or condensed. source: reactant (the NASA reactant "
        "section) or product (a product species usable as a reactant).",
        "formula: element symbols and atoms per molecule. t_K, h_J_mol: the database temperature "
        "and the enthalpy there (formation at 298.15 K plus sensible).",
        "An entry with fits is known over their ranges: at 298.15 K by its own heat of formation "
        "when its data begin there, otherwise at the lowest temperature of its data.",
        "fits: the number of lines that follow, each: a blank name, T from, T to [K], "
        "a1..a7, b1 of H/RT = -a1/T^2 + a2 ln(T)/T + a3 + a4 T/2 + a5 T^2/3 + a6 T^3/4 + "
        "a7 T^4/5 + b1/T with R = 8.314510 J/(mol K).",
        std::to_string(t.entries.size()) + " entries; left out: " + std::to_string(t.ions) +
            " charged species, " + std::to_string(t.foreign.size()) +
            " records of elements the program lacks (inert or isotope labels)."};
    if (!t.twice.empty()) {
        std::string names;
        for (const auto& n : t.twice) names += (names.empty() ? "" : ", ") + n;
        h.push_back("Names given twice (a gas and a condensed entry): " + names + ".");
    }
    return h;
}

}  // namespace mkreact
