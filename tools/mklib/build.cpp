// The whole library, step by step.
#include "tools/mklib/library.h"

#include "tools/mklib/collision.h"

namespace mklib {

Library build_library(std::istream& thermo, std::istream& trans, std::istream& lj)
{
    Library L;
    L.species = read_thermo(thermo).products;
    const std::map<std::string, ViscosityFit> viscosity = read_trans(trans);
    const std::map<std::string, LJ> table = read_lj(lj);

    L.choice = choose_gases(L.species);
    fit_gas_records(L.choice.gases);
    L.condensed = choose_condensed(L.species, L.choice.elements);
    fit_condensed_records(L.condensed);
    assign_collisions(L.choice.gases, table, viscosity, element_masses(L.choice.atom_gas));
    assign_names(L.choice.gases, L.condensed);

    L.files = library_files(L.choice, L.condensed);
    FitReport report = fit_report(L.choice, L.condensed);
    L.files.emplace_back("fit_report.txt", std::move(report.text));
    L.summary = std::move(report.summary);
    return L;
}

}  // namespace mklib
