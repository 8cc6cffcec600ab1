// Reference library: row labels, species names, element table and cross-section data.
#include "input/input.h"

#include <array>
#include <cmath>
#include <fstream>
#include <vector>

#include "core/errors.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/namelist.h"
#include "core/result_file.h"

namespace tev {

namespace {

//! Record of lib/tab.id: record number (discarded), one blank column, 4-character row label.
const Layout kTabRecord("(I2,1X,A4)");
//! Record of lib/kom.id: record number (discarded), three blank columns, 8-character name.
const Layout kKomRecord("(I3,3X,A8)");
//! Eight 9-column fields per line: lib/fq.id and lib/bq.id.
const Layout kListRecord("(8(D9.3))");
//! Seven 11-column fields per line, values running across lines: lib/qj.id.
const Layout kTableRecord("(7(D11.5))");

constexpr int kTabCount = 25;     //!< row labels loaded
constexpr int kKomCount = 999;    //!< species names loaded (the last table entry stays blank)
constexpr int kListCount = 40;    //!< values of FQ and of BQ loaded
constexpr int kTabUnit = 15, kKomUnit = 16, kValUnit = 1;
constexpr int kFqUnit = 10, kBqUnit = 11, kQjUnit = 12;

//! The stream of one library file: the caller's when given, else the file opened into `own`.
std::istream& library_file(std::istream* given, std::ifstream& own, const std::string& name,
                           int unit)
{
    if (given != nullptr) return *given;
    open_input(own, name, unit);
    return own;
}

//! Largest plausible atomic mass [g/mol] and the smallest (the electron's is 5.486e-4).
constexpr double kMaxAtomicMass = 300.0;
constexpr double kMinAtomicMass = 1e-4;
//! Largest plausible valence magnitude of an element.
constexpr double kMaxValence = 8.0;
//! Library numbers have at most four digits.
constexpr double kMaxLibraryNumber = 9999.0;
//! Grid nodes of the cross-section table.
constexpr int kGridNodes = 36;

[[noreturn]] void bad_value(const std::string& file, const std::string& what, double v,
                            const std::string& why)
{
    const std::string text = format_real('E', 15, 8, v);
    throw LibraryError(file + ": " + what + " = " + text.substr(text.find_first_not_of(' ')) +
                       " " + why);
}

// The element table: every atomic mass 0 (element not given) or plausible, every valence a
// small whole number's worth; a corrupted digit must not reach the recipes as a mass of 1e-300.
void check_elements(const LibRec& lib, const std::string& file)
{
    for (long i = 1; i <= libfmt::kElements; ++i) {
        const double mu = lib.MU(i);
        if (!(mu == 0 || (mu >= kMinAtomicMass && mu <= kMaxAtomicMass)))
            bad_value(file, "MU(" + std::to_string(i) + ")", mu,
                      "is not a plausible atomic mass in g/mol (0 for an element not given)");
        if (!(std::fabs(lib.V(i)) <= kMaxValence))
            bad_value(file, "V(" + std::to_string(i) + ")", lib.V(i), "is not a plausible valence");
    }
}

// The cross-section data: library numbers (whole, ascending) in lib/fq.id, an ascending
// energy grid in lib/bq.id, finite non-negative cross-sections in lib/qj.id.
void check_cross_sections(const LibRec& lib, const std::string& dir)
{
    double last = 0;
    for (long d = 1; d <= 40; ++d) {
        const double f = lib.FQ(d);
        const std::string what = "value " + std::to_string(d);
        if (!(f >= 0 && f <= kMaxLibraryNumber && f == std::trunc(f)))
            bad_value(dir + "/fq.id", what, f, "is not a library number");
        if (f != 0 && f <= last)
            bad_value(dir + "/fq.id", what, f, "does not ascend from the one before it");
        if (f != 0) last = f;
    }
    for (long z = 1; z <= kGridNodes; ++z) {
        const double b = lib.BQ(z);
        if (!(b >= 0 && std::isfinite(b)) || (z > 1 && !(b > lib.BQ(z - 1))))
            bad_value(dir + "/bq.id", "node " + std::to_string(z), b,
                      "does not continue an ascending energy grid");
    }
    for (long z = 1; z <= lib.QJ.rows(); ++z)
        for (long d = 1; d <= lib.QJ.cols(); ++d)
            if (!(lib.QJ(z, d) >= 0 && std::isfinite(lib.QJ(z, d))))
                bad_value(dir + "/qj.id",
                          "QJ(" + std::to_string(z) + "," + std::to_string(d) + ")", lib.QJ(z, d),
                          "is not a cross-section");
}

// Reads `count` records of one record number and one name each into names(1..count).
template <typename NameTable>
void read_names(LibRec& lib, std::istream& f, const std::string& name, int unit,
                const Layout& layout, int count, NameTable& names)
{
    RecordReader r(f, name, unit);
    std::array<Value, 2> record;  // the record number, then the name
    for (lib.IROM = 1; lib.IROM <= count; ++lib.IROM) {
        r.read(layout, record);
        lib.IW = static_cast<int>(record[0].i);
        names(lib.IROM).s = record[1].s;
    }
    lib.IROM = count;
}

template <std::size_t N>
void read_list(std::istream& f, const std::string& name, int unit, Array1<double, N>& a)
{
    RecordReader r(f, name, unit);
    r.read_reals(kListRecord, kListCount, a.data(), false);
}

}  // namespace

// load_library: the six reference files, each read once in full.
//   reads  the files dir/tab.id, kom.id, val.id, fq.id, bq.id, qj.id (through `open` where
//          the caller has opened them)
//   writes S.lib (RDAT, KOM, MU, V, FQ, BQ, QJ, IROM, IW)
//   ends   with InputError naming the file, its unit and the statement when a file is missing,
//          not a regular file, short or holds a field that is not a number; with LibraryError
//          naming the file when a value is not plausible (an atomic mass, a valence, a library
//          number of the cross-section list, a grid node, a cross-section)
void load_library(State& S, const std::string& dir, const LibraryStreams& open)
{
    auto& lib = S.lib;
    std::ifstream own;  // each file not given is opened when its turn comes

    const std::string tab = dir + "/tab.id";
    read_names(lib, library_file(open.tab, own, tab, kTabUnit), tab, kTabUnit, kTabRecord,
               kTabCount, lib.RDAT);
    own.close();
    const std::string kom = dir + "/kom.id";
    read_names(lib, library_file(open.kom, own, kom, kKomUnit), kom, kKomUnit, kKomRecord,
               kKomCount, lib.KOM);
    own.close();

    {
        const std::string name = dir + "/val.id";
        read_namelist(library_file(open.val, own, name, kValUnit), name, kValUnit, "WAL",
                      {{"MU", std::span<double>(lib.MU.data(), libfmt::kElements)},
                       {"V", std::span<double>(lib.V.data(), libfmt::kElements)}});
        own.close();
        check_elements(lib, name);
    }

    const std::string fq = dir + "/fq.id";
    read_list(library_file(open.fq, own, fq, kFqUnit), fq, kFqUnit, lib.FQ);
    own.close();
    const std::string bq = dir + "/bq.id";
    read_list(library_file(open.bq, own, bq, kBqUnit), bq, kBqUnit, lib.BQ);
    own.close();

    // The cross-sections run by species within each grid node: QJ(1,1..33), QJ(2,1..33), ...
    const std::string qj_name = dir + "/qj.id";
    RecordReader r(library_file(open.qj, own, qj_name, kQjUnit), qj_name, kQjUnit);
    const long rows = lib.QJ.rows();
    const long cols = lib.QJ.cols();
    std::vector<double> values(static_cast<std::size_t>(rows * cols));
    r.read_reals(kTableRecord, values.size(), values.data(), false);
    for (long n = 0; n < rows * cols; ++n)
        lib.QJ(n / cols + 1, n % cols + 1) = values[static_cast<std::size_t>(n)];
    check_cross_sections(lib, dir);
}

}  // namespace tev
