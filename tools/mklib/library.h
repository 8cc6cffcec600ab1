// The reference library built from NASA data, step by step: the choice and order of the gases,
// their records, the condensed substances and their records, collision parameters, names, the
// files and the fit report. Each step is a function over plain records, so that a test can run
// it alone; build_library runs them in order.
#pragma once

#include <array>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/mklib/formula.h"
#include "tools/mklib/nasa_data.h"
#include "tools/mklib/records.h"
#include "tools/mklib/viscosity_fit.h"

namespace mklib {

//! A chosen gas and everything written for it.
struct Gas {
    const NasaSpecies* sp = nullptr;  //!< its NASA record
    Formula f;                        //!< its formula code
    int lib = 0;                      //!< library number
    int parent = 0;                   //!< library number of the parent of an ion record, else 0
    std::array<double, 9> a{};        //!< the stored record a1..a9
    double collision = 0;             //!< packed collision value
    std::string name8;                //!< name in the names table
    std::string collision_note;       //!< "" measured, otherwise where the values come from
    CollisionFit visc;                //!< fit to NASA's viscosity (sigma 0 when not fitted)
    int pins = 0;                     //!< heat-capacity pins its fit needed
    double fit_from = 0;              //!< lower end of the fitted range [K] (polynomial records)
    double w_below = 1, wc = 0;       //!< weight of its rows below 300 K and of its Cp rows
    Deviation below;                  //!< deviation from NASA over 200-300 K; -1 without data
    double min_cp = 0;                //!< lowest heat capacity 200..20000 K [cal/(mol K)]
};

//! One temperature interval of a condensed record.
struct CondInterval {
    double tlo = 0, thi = 0;    //!< range fitted [K]; thi is the stored upper limit
    std::array<double, 5> b{};  //!< b1..b5
    int phase = 0;              //!< index of the phase in the substance's chain
};

//! A chosen condensed substance: a chain of NASA phases and the intervals written for it.
struct Condensed {
    std::vector<const NasaSpecies*> phases;  //!< NASA phases by increasing temperature
    Formula f;                               //!< formula code
    int lib = 0;                             //!< library number
    std::vector<CondInterval> iv;            //!< intervals written, increasing
    std::string name8;                       //!< name in the names table
    //! Values of its record: code, identification, length, count, six per interval.
    int length() const
    {
        return static_cast<int>(tev::libfmt::kCondensedHead + 1 +
                                tev::libfmt::kIntervalValues * static_cast<long>(iv.size()));
    }
};

//! The gases chosen for the library and what the choice found on the way.
struct GasChoice {
    std::vector<Gas> gases;                      //!< library order; lib = position + 1
    std::map<int, const NasaSpecies*> atom_gas;  //!< element -> its first single-atom NASA gas
    std::set<int> elements;                      //!< elements of the library (its atoms)
    int unrepresentable = 0;                     //!< NASA gases the codes cannot hold
};

//! The generated files and everything they were made from.
struct Library {
    std::vector<NasaSpecies> species;  //!< the NASA products; gases and condensed point into it
    GasChoice choice;                  //!< the gases, their atoms and elements
    std::vector<Condensed> condensed;  //!< the condensed substances in library order
    std::vector<std::pair<std::string, std::string>> files;  //!< file name, contents
    std::string summary;                                     //!< for the console
};

// --- Gases (choice.cpp, gas_records.cpp) -------------------------------------------------------

//! Chooses the gases: every representable NASA gas of the priority elements first; then,
//! element by element in increasing atomic number, the gases the next element adds, until the
//! library is full. Library order: the atoms by element (electron last), the other neutral
//! species, then the ions, each group in NASA file order. Throws when the library cannot be
//! filled exactly.
GasChoice choose_gases(const std::vector<NasaSpecies>& products);

//! Library number of the electron, 0 when the library has none.
int electron_number(const std::vector<Gas>& gases);

//! Gives every ion its parent (the neutral gas of the same atoms before it, the one named like
//! the ion first) and fits the records: polynomials for the neutral gases and the ions without
//! a parent, ion records on the parent's and the electron's fitted polynomials for the others.
void fit_gas_records(std::vector<Gas>& gases);

//! The functions the program computes for gas g of the library.
Function program_gas(const std::vector<Gas>& gases, const Gas& g);

// --- Condensed substances (choice.cpp, condensed_records.cpp) ---------------------------------

//! Chooses the condensed substances: NASA phases of one formula chained by their ranges,
//! substances of the priority elements among `elements` only, ranked by their least common
//! element, then by element count; as many as the library numbers after the gases allow.
std::vector<Condensed> choose_condensed(const std::vector<NasaSpecies>& products,
                                        const std::set<int>& elements);

//! Fits the condensed records: one interval per phase, then the worst piece halved until the
//! records reach the read limit; numbers the substances after the gases.
void fit_condensed_records(std::vector<Condensed>& conds);

//! Number of values of the condensed records.
int condensed_values(const std::vector<Condensed>& conds);

// --- Names, files, report (names.cpp, files.cpp, report.cpp) --------------------------------

//! Gives every gas and condensed substance a name of up to 8 characters, unique across the
//! library.
void assign_names(std::vector<Gas>& gases, std::vector<Condensed>& conds);

//! The library files: r3.id, r4.id, kom.id, val.id, tab.id and library_index.tsv.
std::vector<std::pair<std::string, std::string>> library_files(const GasChoice& choice,
                                                               const std::vector<Condensed>& conds);

//! The fit report (fit_report.txt) and its summary, which also goes to the console.
struct FitReport {
    std::string text;     //!< the whole report
    std::string summary;  //!< its summary section
};
FitReport fit_report(const GasChoice& choice, const std::vector<Condensed>& conds);

//! Element masses MU(1..98) as val.id gives them to the program [g/mol], indexed by element.
using ElementMasses = std::array<double, tev::libfmt::kElements + 1>;

//! The element masses: the NASA atoms' molecular weights where the library has the atom,
//! standard atomic weights otherwise.
ElementMasses element_masses(const std::map<int, const NasaSpecies*>& atom_gas);

//! Molar mass of a gas as the program forms it from the element masses [g/mol]: the slots in
//! order, a positive ion's electron counted as -1.
double program_molar_mass(const Formula& f, const ElementMasses& mu);

//! Builds the whole library from thermo.inp, NASA's transport fits (trans.inp) and the
//! Lennard-Jones table.
Library build_library(std::istream& thermo, std::istream& trans, std::istream& lj);

}  // namespace mklib
