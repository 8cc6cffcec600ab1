// Decks: the short readable description of a task that tevalin-task turns into topliw.dat.
//
//   fuel      RP-1                       # a name of the reactant table
//   oxidizer  O2(L)
//   o/f       2.2 2.6 3.0                # or: alpha 0.8 0.9
//   pc        10 MPa                     # MPa (default), bar, atm, psia
//   pc/pe     10 100 1000                # or: pe 0.1 MPa | ae/at 25 40 | ae/at subsonic 4 2
//                                        #     | t 2500 2000 K
// One statement per line; "#" starts a comment; words are case-insensitive.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace tev {

//! One fuel, oxidizer or propellant line.
struct DeckComponent {
    int line = 0;                        //!< deck line it was given on
    std::string name;                    //!< reactant table name, or the label of a custom one
    std::optional<double> wt;            //!< mass percent in its mixture
    std::optional<double> t;             //!< temperature [K]
    std::optional<std::string> formula;  //!< custom: "C 7.075 H 10.65 O 0.223 N 0.063"
    std::optional<double> h;             //!< custom: enthalpy, in the unit below
    std::string h_unit;                  //!< "kJ/mol", "kJ/kg" or "kcal/mol"
    std::optional<bool> gas;             //!< phase=gas or phase=condensed, for a name given twice
};

//! How the nozzle sections are given.
enum class SectionKind { None, Pressure, PressureRatio, AreaRatio, Temperature };

//! A list of values with the line it came from (line 0: not given).
struct DeckList {
    int line = 0;
    std::vector<double> v;
};

//! The deck, statement by statement, values already in the task's units (MPa, K).
struct Deck {
    std::string file;  //!< as named on the command line, for messages
    std::vector<DeckComponent> fuel, oxidizer, propellant;
    DeckList of;         //!< oxidizer/fuel mass ratios
    DeckList alpha;      //!< oxidizer-excess ratios
    DeckList pc;         //!< chamber pressures [MPa]
    SectionKind sections = SectionKind::None;
    int sections_line = 0;
    DeckList supersonic; //!< the section values (exit pressures in MPa, ratios, temperatures in K)
    DeckList subsonic;   //!< subsonic area ratios (before the throat)
    std::optional<double> frozen;  //!< freezing temperature [K]
    int frozen_line = 0;
    bool ions = false;
    int report = -1;     //!< 1 one line per point, -1 pages with the composition (default)
    std::vector<std::string> omit, only;  //!< species names
    int omit_line = 0, only_line = 0;
    bool constant_volume = false;
    int constant_volume_line = 0;
    bool grid = false;
    int grid_line = 0;
    DeckList grid_t;     //!< grid temperatures [K]
    DeckList grid_p;     //!< grid pressures [MPa]
};

//! Reads a deck. A statement it does not know, a value that is not a positive number, a unit it
//! does not know or a statement given twice throws ComposeError naming `file` and the line.
Deck read_deck(std::istream& in, const std::string& file);

}  // namespace tev
