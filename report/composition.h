// Packed composition entries: one real that carries the mole fraction of a species (or the
// decimal logarithm of a tiny one) to six significant digits and its library number behind
// them. OUT packs the composition of a point into the page table; APAGE unpacks the numbers
// to print the species' names.
#pragma once

namespace tev {

//! Packs x, a mole fraction (x > 0) or the decimal logarithm of one (x < 0), with the library
//! number carried in the fraction of w = |XF2|: six significant digits of x, then the number
//! in the next four, scaled back so that three printed digits still show x. A species of
//! amount 0 is packed as w itself.
double pack_entry(double x, double w);

//! The library number a packed entry v carries. An entry of a species of amount 0 (an
//! identification value) is set to 0, so that 0 is printed.
int unpack_number(double& v);

}  // namespace tev
