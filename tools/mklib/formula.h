// Elements and species formulas as the library writes them: element numbers, masses and
// valences, and the formula code of up to four (element, count) slots.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/library_format.h"

namespace mklib {

//! Element number of the electron, the last element of the library.
using tev::libfmt::kElectron;
//! The chemical elements 1..kChemicalElements come before the electron.
inline constexpr int kChemicalElements = kElectron - 1;

//! Symbols of elements 1..97 (index = atomic number).
const std::array<const char*, kChemicalElements + 1>& element_symbols();

//! Standard atomic weights of elements 1..97 [g/mol] (IUPAC, mass number of the longest-lived
//! isotope for elements without a stable one); replaced by the NASA atom's molecular weight
//! wherever the NASA data has the atom, so that masses agree with the NASA molecular weights.
const std::array<double, kChemicalElements + 1>& standard_atomic_weights();

//! Signed valence of each element for the oxidizer-excess ratio: reducing elements count with
//! their usual highest oxidation state in combustion products (positive), oxygen -2, the
//! halogens -1; nitrogen, the noble gases and the electron 0.
double element_valence(int z);

//! Element number of a NASA element symbol (case ignored): 1..97, 98 for the electron "E",
//! 0 for anything else (deuterium "D" among them).
int element_number(const std::string& symbol);

//! Elements whose species are chosen first, in the order of their relevance to propellant
//! combustion; the electron always counts as one of them.
const std::vector<int>& priority_elements();

//! A species formula as the library encodes it (core/library_format.h): up to four (element,
//! digit) slots in increasing element number, the electron's digit telling the charge.
struct Formula {
    std::vector<std::pair<int, int>> slots;  //!< (element number, digit), increasing element
    bool ok = false;                         //!< representable
    std::string why;                         //!< reason when not representable

    std::int64_t code() const;    //!< element numbers, two decimal digits each, first lowest
    std::int64_t digits() const;  //!< the counts, one decimal digit each, first lowest
    int charge() const;           //!< +1 positive ion, -1 negative ion or electron, 0 neutral
    //! The formula without the electron's slot: an ion's neutral parent.
    std::vector<std::pair<int, int>> neutral_slots() const;
};

//! Encodes a NASA formula. Not representable: unknown elements (deuterium among them), more than
//! four elements, fractional counts, counts above 9, charges other than +-1.
Formula encode_formula(const std::vector<std::pair<std::string, double>>& atoms);

//! The identification value: the atom digits plus the library number over 10^4.
double identification(const Formula& f, int libnum);

}  // namespace mklib
