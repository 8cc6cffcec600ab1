// The format of the species library: how the elements of a species, its atom counts, its
// library number, an ion's parent and the collision parameters are packed into the reals of
// lib/r3.id (gases) and lib/r4.id (condensed species), and how many values each record and
// each read holds. The program reads the library through these definitions, and the programs
// that write it use the same ones.
//
// A species carries two identifying values:
//   formula code      its element numbers packed in base 100, slot k in the digits of 100^(k-1):
//                     801 is element 1 (H) in slot 1 and element 8 (O) in slot 2. Negative
//                     for a condensed species in the selection.
//   identification    its atom counts as decimal digits, slot k in the digit 10^(k-1), with
//                     the library number in the fraction (number/10^4): 21.0123 is 1 atom of
//                     the first element, 2 of the second, library number 123.
// The electron is element 98. Its count digit is 1 for one electron in excess (a negative ion,
// or the electron itself) and 2 for one electron short (a positive ion).
#pragma once

#include <cmath>
#include <cstdint>

namespace tev::libfmt {

// ---- Elements ----------------------------------------------------------------------------

//! Element numbers run 1..kElements: the rows of the element table and of element amounts.
inline constexpr int kElements = 98;
//! Element number of the electron, which counts as an element when ions are considered.
inline constexpr int kElectron = 98;

// ---- Formula code and atom counts ----------------------------------------------------------

//! Slots of a formula code: a species holds at most four elements.
inline constexpr int kSlots = 4;
//! Base of the element numbers in a formula code.
inline constexpr int kCodeBase = 100;
//! Base of the atom counts in an identification value; a count is one digit, 1..9.
inline constexpr int kCountBase = 10;
//! The electron's count digits: one electron in excess (a negative ion, or the electron
//! itself), and one electron short (a positive ion).
inline constexpr int kNegativeIonDigit = 1;
inline constexpr int kPositiveIonDigit = 2;

//! Place value of slot k (1..4) in a formula code: 100^(k-1).
constexpr std::int64_t code_place(int k)
{
    std::int64_t p = 1;
    for (int i = 1; i < k; ++i) p *= kCodeBase;
    return p;
}

//! Place value of slot k (1..4) in the atom counts: 10^(k-1).
constexpr std::int64_t count_place(int k)
{
    std::int64_t p = 1;
    for (int i = 1; i < k; ++i) p *= kCountBase;
    return p;
}

//! Element number in slot k (1..4) of a formula code of either sign; 0 past the last element.
constexpr int slot_element(std::int64_t code, int k)
{
    if (code < 0) code = -code;
    return static_cast<int>(code / code_place(k) % kCodeBase);
}

//! Count digit in slot k (1..4) of the atom counts (the integer part of an identification
//! value, of either sign).
constexpr int slot_count(std::int64_t counts, int k)
{
    if (counts < 0) counts = -counts;
    return static_cast<int>(counts / count_place(k) % kCountBase);
}

//! Atoms of `element` that a slot with count digit `digit` adds to the species: the digit,
//! except the electron of a positive ion, which is one electron short (-1).
constexpr int signed_count(int element, int digit)
{
    return element == kElectron && digit == kPositiveIonDigit ? -1 : digit;
}

static_assert(slot_element(801, 1) == 1 && slot_element(801, 2) == 8 && slot_element(801, 3) == 0);
static_assert(slot_element(-9808, 2) == 98 && slot_count(21, 1) == 1 && slot_count(21, 2) == 2);
static_assert(signed_count(kElectron, 2) == -1 && signed_count(kElectron, 1) == 1);

// ---- Identification value: atom counts and library number ----------------------------------

//! Library numbers sit in the fraction of an identification value times this scale.
inline constexpr double kNumberScale = 1e4;
//! Largest library number an identification value can carry.
inline constexpr int kMaxNumber = 9999;
//! An identification value stays below this: its integer part holds at most four count digits.
inline constexpr double kMaxIdentification = 10000.0;
static_assert(kMaxIdentification == count_place(kSlots + 1));

//! The atom counts: the integer part of an identification value's magnitude.
inline std::int64_t atom_counts(double identification)
{
    return static_cast<std::int64_t>(std::fabs(identification));
}

//! The library number carried in the fraction of an identification value (of either sign).
inline long library_number(double identification)
{
    const double v = std::fabs(identification);
    return static_cast<long>((v - std::trunc(v)) * kNumberScale + 0.5);
}

//! The identification value of atom counts `counts` and library number `number`.
inline double identification(std::int64_t counts, int number)
{
    return static_cast<double>(counts) + number / kNumberScale;
}

// ---- Records of the gas library (lib/r3.id) ------------------------------------------------

//! Values of one gas record: formula code, identification, coefficients a1..a9, collision
//! parameters.
inline constexpr long kGasRecordValues = 12;
//! Position of each value within a gas record (0-based).
inline constexpr long kGasCode = 0, kGasIdentification = 1, kGasFirstCoefficient = 2,
                      kGasCollision = 11;
//! Coefficients a1..a9 of a gas record, the ones the selection keeps per gas.
inline constexpr long kGasCoefficients = 9;
static_assert(kGasFirstCoefficient + kGasCoefficients == kGasCollision);
static_assert(kGasCollision + 1 == kGasRecordValues);
//! Gas records the library holds, and so the values the selection reads of it.
inline constexpr long kGasRecords = 857;
inline constexpr long kGasLibraryValues = kGasRecords * kGasRecordValues;
static_assert(kGasLibraryValues == 10284);

//! An ion names its parent (by library number; by species index once selected) in its first
//! coefficient as +-parent*1e10; the sign gives the charge (+ positive ion).
inline constexpr double kIonParentScale = 1e10;
inline constexpr double kIonParentUnit = 1e-10;

//! The parent number an ion's first coefficient carries (below 2 for a gas that is no ion: no
//! ion has species 1 or library number 1 as its parent).
inline double ion_parent(double a1) { return std::floor(std::fabs(a1) * kIonParentUnit + 0.5); }

//! Collision parameters packed as n*100000 + m: diameter sigma = n*0.001 Angstrom (0.001 held
//! as a float), well depth eps/k = m*0.1 K. 0 when the gas has no data.
inline constexpr double kCollisionBase = 100000.0;
inline constexpr double kSigmaUnit = 0.0010000000474974513;
static_assert(kSigmaUnit == double(0.001f));
inline constexpr double kWellUnit = 0.1;

// ---- Records of the condensed library (lib/r4.id) -----------------------------------------

//! Values before a condensed record's data block: formula code, identification, block length B.
inline constexpr long kCondensedHead = 3;
//! Position of each of them within a condensed record (0-based); the data block follows.
inline constexpr long kCondensedCode = 0, kCondensedIdentification = 1, kCondensedLength = 2;
static_assert(kCondensedLength + 1 == kCondensedHead);
//! Values of one phase interval of a data block: upper temperature limit and b1..b5. A data
//! block is the number of intervals X followed by X intervals: B = 1 + 6 X.
inline constexpr long kIntervalValues = 6;
//! Condensed records are read while their start position is below this bound.
inline constexpr long kCondensedRecordBound = 3070;

// ---- Reading the species library -----------------------------------------------------------

//! Layout of both species library files: ten 16-column fields per line.
inline constexpr char kSpeciesLayout[] = "(10G16.14)";
//! Values per read block, and the blocks read at most of each file.
inline constexpr long kBlockValues = 900;
inline constexpr int kGasBlocks = 12;
inline constexpr int kCondensedBlocks = 4;
static_assert(kGasBlocks * kBlockValues >= kGasLibraryValues);
static_assert(kCondensedBlocks * kBlockValues >= kCondensedRecordBound);

}  // namespace tev::libfmt
