// The reactant table lib/reactants.tsv: propellant components by their NASA names, with formula,
// database temperature and enthalpy, and the NASA polynomials of those known over a range.
#pragma once

#include <array>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tev {

//! One temperature interval of a NASA 9-coefficient fit, as far as the enthalpy needs it.
struct ReactantFit {
    double tlo = 0, thi = 0;    //!< range [K]
    std::array<double, 7> a{};  //!< Cp/R = a1/T^2 + a2/T + a3 + a4 T + a5 T^2 + a6 T^3 + a7 T^4
    double b1 = 0;              //!< integration constant of H/RT [K]
};

//! One entry of the reactant table.
struct Reactant {
    std::string name;    //!< NASA name, exactly as in thermo.inp ("RP-1", "AL(cr)")
    bool gas = false;    //!< a gas (otherwise a condensed phase)
    bool listed = false; //!< an entry of the NASA reactant section (otherwise a product species)
    std::vector<std::pair<int, double>> formula;  //!< element number and atoms per molecule
    double t = 0;        //!< database temperature [K]
    double h = 0;        //!< enthalpy at t: formation at 298.15 K plus sensible [J/mol]
    std::vector<ReactantFit> fits;  //!< increasing intervals; empty: known at t only
};

//! Gas constant of the NASA fits [J/(mol K)].
inline constexpr double kNasaR = 8.314510;
//! Reference temperature of the heats of formation [K].
inline constexpr double kStandardT = 298.15;
//! A phase whose data begin at most this far above 298.15 K is the one present there: its own
//! heat of formation stands for it at 298.15 K (AL(cr) begins at 300 K) [K].
inline constexpr double kStandardSlack = 2.0;

//! Element number of a symbol, case ignored ("AL", "Cl"; "E" is the electron, 98); 0 when it
//! names no element. The element table is the library generator's.
int element_number(std::string_view symbol);
//! The symbol of element 1..97 in its usual spelling ("Al"), "E" for 98, "" otherwise.
std::string element_symbol(int number);
//! Element number of the electron.
inline constexpr int kElectronElement = 98;

//! Enthalpy of the NASA polynomial `f` at T [J/mol].
double fit_enthalpy(const ReactantFit& f, double T);
//! Enthalpy of `r` at T [J/mol]: the database value at its own temperature, otherwise from the
//! interval of its fits that holds T; nothing when T lies outside its data.
std::optional<double> reactant_enthalpy(const Reactant& r, double T);
//! "298.15 K" for an entry known at one temperature, "200 to 6000 K" for one with fits.
std::string reactant_range(const Reactant& r);
//! The formula as written in the table: "C 1 H 1.95".
std::string formula_text(const std::vector<std::pair<int, double>>& formula);

//! The whole table, in file order.
struct ReactantTable {
    std::vector<Reactant> entries;

    //! Entries named `name`: those spelled exactly so; when there are none, those with the same
    //! letters in another case (CO and Co both answer "co").
    std::vector<const Reactant*> named(std::string_view name) const;
    //! Up to five names near `name` (spelling, part of a name, a common name), best first.
    std::vector<std::string> near(std::string_view name) const;
};

//! Reads a table written by write_reactant_table; a malformed line throws ComposeError naming
//! `file` and the line.
ReactantTable read_reactant_table(std::istream& in, const std::string& file);
//! Writes the table: `header` lines as comments, then one line per entry and one per fit.
void write_reactant_table(std::ostream& out, const std::vector<std::string>& header,
                          const std::vector<Reactant>& entries);

}  // namespace tev
