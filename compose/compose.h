// The task composer: a deck and the program's library in, the text of topliw.dat out.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "compose/deck.h"
#include "compose/reactants.h"

namespace tev {

struct LibRec;

//! A component of the fuel, the oxidizer or the propellant, ready to be packed.
struct TaskComponent {
    std::string label;                            //!< name from the deck
    int line = 0;                                 //!< deck line it was given on
    std::vector<std::pair<int, double>> formula;  //!< element number, atoms per molecule
    double fraction = 1;                          //!< mass fraction in its mixture
    double molar_mass = 0;                        //!< from the element table [g/mol]
    double h = 0;                                 //!< enthalpy as written in the task [kJ/kg]
    std::string origin;                           //!< where h comes from, for the comment block
};

//! The composed task and what it was made of.
struct ComposedTask {
    std::string text;                  //!< the whole topliw.dat
    std::vector<double> values;        //!< the task list RM, terminator excluded
    double kappa = 0;                  //!< stoichiometric O/F the program computes (0: none)
    std::vector<double> alfa;          //!< oxidizer-excess ratios written
    std::vector<TaskComponent> fuel, oxidizer;  //!< a propellant stands in `fuel`
    std::string summary;               //!< one line for the console
};

//! Packs an atom entry: the count in the first six significant digits, the element number in
//! the 7th and 8th (2 atoms of element 1: 2.0000001). A count with more digits, none, or one of
//! 900000 and more throws ComposeError naming `what`.
double packed_atoms(double count, int element, const std::string& what);
//! The closing entry of a component: its enthalpy [kJ/kg] to 0.0001 kJ/kg, a positive one to
//! six significant digits (more would be read as an element number).
double closing_entry(double h);

//! Composes the task of `deck`: components from the reactant table `table` or the deck's own
//! formulas, molar masses and valences from `lib` (loaded by load_library), the oxidizer-excess
//! ratios from the stoichiometric ratio that the program's own task reader computes from the
//! composed recipes. Any fault throws ComposeError naming the deck and line.
ComposedTask compose_task(const Deck& deck, const ReactantTable& table, const LibRec& lib);

}  // namespace tev
