// Species selection: reads the gas and condensed species libraries and keeps every species
// whose elements all occur in the propellant, with its coefficients, formula, identification
// and collision parameters; then turns the input's species lists into species indices.
#include "input/input.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "core/errors.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/routines.h"
#include "core/sink.h"

namespace tev {

namespace {

using namespace libfmt;

//! A condensed record length beyond any array: the value is not a length at all.
constexpr double kAbsurdLength = 1e9;
//! Species the species arrays hold.
constexpr long kMaxSpecies = 500;
//! Unpacking of the collision value n*100000 + m: n = int(value*1e-5).
constexpr double kPackScale = 1e-05;

//! Layout of the species library files.
const Layout& library_layout()
{
    static const Layout layout(kSpeciesLayout);
    return layout;
}

//! Reads a species library from its beginning in blocks of 900 values into dest(1..). A block
//! that meets the end of the file or a bad field ends the reading quietly; the values taken
//! stay. Returns how many values were taken, and in `values` where they are: dest, or, with
//! `kept` (a run that keeps the libraries), the values of the first reading, kept there for
//! the later calls, which read nothing.
template <std::size_t Size>
long read_library(std::istream* in, const std::string& name, int unit,
                  Array1<double, Size>& dest, int blocks, LibraryValues* kept,
                  const double*& values)
{
    assert(static_cast<std::size_t>(blocks * kBlockValues) <= Size);
    values = dest.data();
    if (in == nullptr) return 0;
    if (kept != nullptr && kept->read) {
        values = kept->values.get();
        return kept->taken;
    }
    double* out = dest.data();
    if (kept != nullptr) {
        kept->values = std::make_shared_for_overwrite<double[]>(
            static_cast<std::size_t>(blocks * kBlockValues));
        out = kept->values.get();
    }
    RecordReader reader(*in, name, unit);
    reader.rewind();
    long taken = 0;
    try {
        // The end of the library (a block it ends inside of, or a bad field): the values read
        // so far are all there is.
        for (int b = 0; b < blocks; ++b) {
            const bool full = reader.read_reals(library_layout(), kBlockValues, out + taken, true);
            taken += static_cast<long>(reader.taken());
            if (!full) break;
        }
    } catch (const InputError&) {
        taken += static_cast<long>(reader.taken());  // the values of the block before the fault
    }
    if (kept != nullptr) {
        kept->taken = taken;
        kept->read = true;
        values = out;
    }
    return taken;
}

//! Formula code held as a real in a library record; a value that cannot be one is a fault
//! of the library.
int formula_code(double value, const std::string& file, long pos)
{
    const double v = std::fabs(value) + 0.5;
    if (!(v < 2147483647.0))
        throw LibraryError(file + ": value " + std::to_string(value) + " at position " +
                           std::to_string(pos) + " is not a formula code");
    return static_cast<int>(v);
}

//! Identification value of a library record: its integer part holds up to four atom-count
//! digits, so a value beyond them (a corrupted digit) is a fault of the library.
double identification_value(double value, const std::string& file, long pos)
{
    if (!(std::fabs(value) < kMaxIdentification))
        throw LibraryError(file + ": value " + std::to_string(value) + " at position " +
                           std::to_string(pos) + " is not an identification value");
    return value;
}

//! True when every element of the formula code occurs in the propellant (MC != 0).
bool elements_present(int code, const ElementTable& MC)
{
    for (int s = 1; s <= kSlots; ++s) {
        const int e = slot_element(code, s);
        if (e == 0) return true;
        if (e > kElements || MC(e) == 0) return false;
    }
    return true;
}

//! True when the formula code lists the electron.
bool has_electron(int code)
{
    for (int s = 1; s <= kSlots && slot_element(code, s) != 0; ++s)
        if (slot_element(code, s) == kElectron) return true;
    return false;
}

//! The elements of the propellant, for a message: "1 (H), 8 (O)".
std::string propellant_elements(const State& S)
{
    std::string s;
    int count = 0;
    for (long e = 1; e <= kElements; ++e) {
        if (S.eq.MC(e) == 0) continue;
        std::string name = S.lib.KOM(e).s;
        name.erase(name.find_last_not_of(' ') + 1);
        s += (count++ ? ", " : "") + std::to_string(e) + (name.empty() ? "" : " (" + name + ")");
    }
    return "elements " + s;
}

//! More species than the species arrays hold: the propellant's elements choose them, so the
//! task is at fault, not the library.
[[noreturn]] void too_many_species(const State& S)
{
    throw InputError(S.io.task_name, 5, "READ",
                     "the propellant's " + propellant_elements(S) + " select more than " +
                         std::to_string(kMaxSpecies) + " species from " + S.io.r3_name +
                         " and " + S.io.r4_name + "; the species arrays hold " +
                         std::to_string(kMaxSpecies) + ": give a propellant of fewer elements");
}

//! Says on the console that a species library ended before its records did.
void note_short_library(const std::string& file, const std::string& what)
{
    std::cerr << "OTBOR: " << file << " " << what << "; the selection stops there\n";
}

//! Converts the library numbers of `list` into species indices, walking the selection in
//! step with the list (the entries are in library order). An entry whose species is not in
//! this selection (its number is passed, or the selection ends, before it is met) refers to
//! nothing here: it is dropped and the walk goes on with the next entry, so that it neither
//! hides the later entries nor leaves a library number that another species' index could
//! match. The converted indices close up at the front, and 0 (the end of a list) fills the
//! rest; an entry 0 ends the list.
template <std::size_t Size>
void convert_list(Array1<int, Size>& list, const SpeciesRec& sp)
{
    long converted = 0;
    long k = 1;
    for (long p = 1; p <= list.size(); ++p) {
        const long wanted = list(p);
        if (wanted == 0) break;
        while (k <= sp.N && library_number(sp.XF2(k)) < wanted) ++k;
        if (k <= sp.N && library_number(sp.XF2(k)) == wanted) {
            list(++converted) = static_cast<int>(k);  // converted <= p: not read again
            ++k;
        }
    }
    for (long p = converted + 1; p <= list.size(); ++p) list(p) = 0;
}

//! Restores a species list to its library numbers as read, so that every selection converts
//! it afresh; the first selection keeps the list as read for the later ones.
template <std::size_t Size>
void restore_list(Array1<int, Size>& list, Array1<int, Size>& as_read)
{
    const bool kept = std::any_of(as_read.v.begin(), as_read.v.end(),
                                  [](int x) { return x != 0; });
    if (kept)
        list = as_read;
    else
        as_read = list;
}

//! Selects the gas records from the raw library `lib` (taken values; it may be A itself) into
//! A. Fills the species data of the gases and returns their number.
long select_gases(State& S, const double* lib, long taken)
{
    auto& sp = S.sp;
    const auto& MC = S.eq.MC;
    const std::string& file = S.io.r3_name;
    const long records = sp.NN / kGasRecordValues;
    const auto raw = [lib](long i) { return lib[i - 1]; };
    long k = 0;
    for (long r = 1; r <= records; ++r) {
        const long i = kGasRecordValues * (r - 1) + 1;
        if (i + kGasRecordValues - 1 > taken) {
            note_short_library(file, "holds " + std::to_string(r - 1) + " of the " +
                                         std::to_string(records) + " gas records");
            break;
        }
        const int code = formula_code(raw(i + kGasCode), file, i);
        if (code == 0) {
            // A record without elements is not a species: the library's data end here.
            note_short_library(file, "has an empty record at record " + std::to_string(r) +
                                         " of " + std::to_string(records));
            break;
        }
        if (!elements_present(code, MC)) continue;
        if (k == kMaxSpecies) too_many_species(S);
        ++k;
        const double a1 = raw(i + kGasFirstCoefficient);
        const bool ion = ion_parent(a1) >= 2;
        if (ion && !has_electron(code))
            throw LibraryError(file + ": gas record " + std::to_string(r) +
                               " is an ion record but its formula has no electron");
        sp.XF1(k) = code;
        sp.XF2(k) =
            identification_value(raw(i + kGasIdentification), file, i + kGasIdentification);
        sp.KIND(k) = ion ? (a1 < 0 ? -1 : 1) : 0;
        const double packed = raw(i + kGasCollision);
        const double n = std::trunc(packed * kPackScale);
        sp.SG(k) = n * kSigmaUnit;
        sp.EK(k) = (packed - n * kCollisionBase) * kWellUnit;
        // Compacting, in place when lib is A: the destination never passes the source (k <= r).
        for (long j = 1; j <= kGasCoefficients; ++j)
            sp.A(kGasCoefficients * (k - 1) + j) = raw(i + kGasFirstCoefficient + j - 1);
    }
    return k;
}

//! Replaces each ion's parent library number by the parent's species index, keeping the sign.
void resolve_parents(State& S)
{
    auto& sp = S.sp;
    for (long k = 1; k <= sp.NG; ++k) {
        if (sp.KIND(k) == 0) continue;
        double& a1 = sp.A(kGasCoefficients * (k - 1) + 1);
        const double y_value = ion_parent(a1);
        // A parent number beyond four digits matches no species (and must not overflow).
        const long y = y_value <= kMaxNumber ? static_cast<long>(y_value) : -1;
        long j = 1;
        while (j <= sp.NG && library_number(sp.XF2(j)) != y) ++j;
        if (j >= k)
            throw LibraryError(S.io.r3_name + ": the parent (library number " +
                               std::to_string(y) + ") of ion species " + std::to_string(k) +
                               " (library number " + std::to_string(library_number(sp.XF2(k))) +
                               ") is not among the gases selected before it");
        a1 = (a1 < 0 ? -1.0 : 1.0) * static_cast<double>(j) * kIonParentScale;
    }
}

//! Selects the condensed records from the raw library `lib` (taken values; it may be AK
//! itself) into AK, appending them to the selection after `k` gases. Sets N and RK.
void select_condensed(State& S, const double* lib, long taken, long k)
{
    auto& sp = S.sp;
    const auto& MC = S.eq.MC;
    const std::string& file = S.io.r4_name;
    const long capacity = kBlockValues * kCondensedBlocks;
    const auto raw = [lib](long i) { return lib[i - 1]; };
    long i = 1;  // start of the current record
    long q = 1;  // next free position of the compacted data blocks
    while (i < sp.NNK) {
        const std::string where = "the record at position " + std::to_string(i);
        if (i + kCondensedHead - 1 > taken) {
            note_short_library(file, "ends before " + where);
            break;
        }
        const int code = formula_code(raw(i + kCondensedCode), file, i);
        const double b_value = raw(i + kCondensedLength) + 0.5;
        if (!(b_value >= 0 && b_value < kAbsurdLength))
            throw LibraryError(file + ": " + where + " has a bad length " +
                               std::to_string(raw(i + kCondensedLength)));
        const long B = static_cast<long>(b_value);
        if (code == 0) {
            note_short_library(file, "has an empty record at position " + std::to_string(i));
            break;
        }
        if (i + kCondensedHead - 1 + B > taken) {
            if (taken >= capacity)
                throw LibraryError(file + ": " + where + " with " + std::to_string(B) +
                                   " data values runs past the " + std::to_string(capacity) +
                                   " values the condensed library array holds");
            note_short_library(file, "ends inside " + where);
            break;
        }
        if (elements_present(code, MC)) {
            const double x_value = B > 0 ? raw(i + kCondensedHead) + 0.5 : 0.0;
            const long X = x_value >= 0 && x_value < kAbsurdLength ? static_cast<long>(x_value) : 0;
            if (X < 1 || B != 1 + kIntervalValues * X)
                throw LibraryError(file + ": " + where + " has " + std::to_string(B) +
                                   " data values, which do not make whole temperature "
                                   "intervals");
            if (k == kMaxSpecies) too_many_species(S);
            ++k;
            sp.XF1(k) = -code;
            sp.XF2(k) = identification_value(raw(i + kCondensedIdentification), file,
                                             i + kCondensedIdentification);
            sp.KIND(k) = 0;
            sp.SG(k) = 0;
            sp.EK(k) = 0;
            // Compacting, in place when lib is AK: the destination never passes the source
            // (q <= i + 3).
            for (long j = 0; j < B; ++j) sp.AK(q + j) = raw(i + kCondensedHead + j);
            q += B;
        }
        i += B + kCondensedHead;
    }
    sp.RK = static_cast<int>(q - 1);
    sp.N = static_cast<int>(k);
}

//! Records where each species of the cross-section list sits in the selection (0: not
//! selected). The list is ascending, so a species whose number passes the wanted one shows
//! that the wanted one is not selected.
void map_cross_sections(State& S)
{
    auto& sp = S.sp;
    const auto& FQ = S.lib.FQ;
    long d = 1;
    long k = 1;
    while (k <= sp.N && d <= FQ.size()) {
        const long b = library_number(sp.XF2(k));
        const long f = static_cast<long>(FQ(d) + 0.5);
        if (b == f) {
            sp.NQ(d) = static_cast<int>(k);
            ++d;
            ++k;
        } else if (f * (b - f) > 0) {
            sp.NQ(d) = 0;
            ++d;
        } else {
            ++k;
        }
    }
    sp.D = static_cast<int>(d);
}

//! Every element of the propellant needs its single-atom gas in the selection: it carries
//! the element in the starting composition. An element the library does not hold (a recipe
//! entry whose element code is off, say 0.1000008 read as 0.1 atoms of element 80) is a fault
//! of the task, reported as such rather than as a malformed selection later.
void require_element_species(const State& S)
{
    const auto& sp = S.sp;
    for (long e = 1; e <= kElements; ++e) {
        if (S.eq.MC(e) == 0) continue;
        bool found = false;
        for (long k = 1; k <= sp.NG && !found; ++k)
            found = sp.XF1(k) == e && slot_count(atom_counts(sp.XF2(k)), 1) == 1;
        if (!found)
            throw InputError(S.io.task_name, 5, "READ",
                             "the propellant contains element " + std::to_string(e) +
                                 ", which has no single-atom gas in the species library " +
                                 S.io.r3_name + " (check the element codes of the recipe entries)");
    }
}

}  // namespace

// OTBOR: selects the species that the propellant's elements can form.
//   reads  S.eq.MC, S.sp (NN, NNK), S.task (FHAC, FSH, HAC_LIB, SHY_LIB), S.lib.FQ,
//          S.rep.AP, S.task.BP, the species libraries S.io.r3 and S.io.r4 (read from their
//          beginning)
//   writes S.sp (A, AK compacted; XF1, XF2, KIND, SG, EK, NG, N, RK, NQ, D), S.task (HAC,
//          SHY converted to species indices), the two count lines through S.io.out; first
//          closes an open table-mode page through S.routines->APAGE
//   ends   normally; a library that ends early stops the selection at its last full record
//          with a note on the console (stderr). Throws LibraryError when a condensed
//          record runs past its array or does not hold whole intervals, or an ion's parent is
//          not a gas selected before it; InputError of the task when the selection would
//          overflow the species arrays (the propellant's elements choose the species).
void OTBOR(State& S)
{
    auto& sp = S.sp;
    auto& task = S.task;
    static const Layout ng_line("(1X,'NG=',I5)");
    static const Layout n_line("(1X,'N=',I6,'NG=',I6,'RK=',I6)");

    if (S.rep.AP < 0 && task.BP < 0) call_routine(S, &Routines::APAGE);

    LibraryValues* kept_r3 = S.io.keep_libraries ? &S.io.r3_values : nullptr;
    LibraryValues* kept_r4 = S.io.keep_libraries ? &S.io.r4_values : nullptr;
    const double* gas_lib = nullptr;
    const long gas_taken =
        read_library(S.io.r3, S.io.r3_name, 3, sp.A, kGasBlocks, kept_r3, gas_lib);
    sp.NG = static_cast<int>(select_gases(S, gas_lib, gas_taken));
    if (S.io.out != nullptr) S.io.out->write(ng_line, {Value::integer(sp.NG)});
    require_element_species(S);

    // Ions take their parent's and the electron's functions: the parent reference becomes a
    // species index. The record kind stays in KIND, so a parent that is species 1 still reads
    // as an ion.
    resolve_parents(S);

    const double* condensed_lib = nullptr;
    const long condensed_taken = read_library(S.io.r4, S.io.r4_name, 4, sp.AK, kCondensedBlocks,
                                              kept_r4, condensed_lib);
    select_condensed(S, condensed_lib, condensed_taken, sp.NG);
    if (S.io.out != nullptr)
        S.io.out->write(n_line, {Value::integer(sp.N), Value::integer(sp.NG),
                                 Value::integer(sp.RK)});

    if (task.FHAC) {
        restore_list(task.HAC, task.HAC_LIB);
        convert_list(task.HAC, sp);
    }
    if (task.FSH) {
        restore_list(task.SHY, task.SHY_LIB);
        convert_list(task.SHY, sp);
    }
    map_cross_sections(S);
}

}  // namespace tev
