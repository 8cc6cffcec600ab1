// Reference library: row labels, species names, element table and cross-section data.
#include "input/input.h"

#include <fstream>

#include "core/errors.h"
#include "core/layout.h"
#include "core/namelist.h"

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

std::ifstream open_file(const std::string& name, int unit)
{
    std::ifstream f(name, std::ios::in | std::ios::binary);
    if (!f) throw InputError(name, unit, "OPEN", "file is missing or cannot be read");
    return f;
}

// Reads `count` records of one record number and one name each into names(1..count).
template <typename NameTable>
void read_names(LibRec& lib, const std::string& name, int unit, const Layout& layout, int count,
                NameTable& names)
{
    std::ifstream f = open_file(name, unit);
    RecordReader r(f, name, unit);
    for (lib.IROM = 1; lib.IROM <= count; ++lib.IROM) {
        r.read(layout, 2, [&](std::size_t k, const Value& v) {
            if (k == 0)
                lib.IW = static_cast<int>(v.i);
            else
                names(lib.IROM).s = v.s;
        });
    }
    lib.IROM = count;
}

template <std::size_t N>
void read_list(const std::string& name, int unit, Array1<double, N>& a)
{
    std::ifstream f = open_file(name, unit);
    RecordReader r(f, name, unit);
    r.read(kListRecord, kListCount, [&](std::size_t k, const Value& v) { a(long(k) + 1) = v.r; });
}

}  // namespace

// load_library: the six reference files, each read once in full.
//   reads  the files dir/tab.id, kom.id, val.id, fq.id, bq.id, qj.id
//   writes S.lib (RDAT, KOM, MU, V, FQ, BQ, QJ, IROM, IW)
//   ends   with InputError naming the file, its unit and the statement when a file is missing,
//          short or holds a field that is not a number
void load_library(State& S, const std::string& dir)
{
    auto& lib = S.lib;

    read_names(lib, dir + "/tab.id", kTabUnit, kTabRecord, kTabCount, lib.RDAT);
    read_names(lib, dir + "/kom.id", kKomUnit, kKomRecord, kKomCount, lib.KOM);

    {
        const std::string name = dir + "/val.id";
        std::ifstream f = open_file(name, kValUnit);
        read_namelist(f, name, kValUnit, "WAL",
                      {{"MU", std::span<double>(lib.MU.data(), 98)},
                       {"V", std::span<double>(lib.V.data(), 98)}});
    }

    read_list(dir + "/fq.id", kFqUnit, lib.FQ);
    read_list(dir + "/bq.id", kBqUnit, lib.BQ);

    // The cross-sections run by species within each grid node: QJ(1,1..33), QJ(2,1..33), ...
    const std::string qj_name = dir + "/qj.id";
    std::ifstream qj = open_file(qj_name, kQjUnit);
    RecordReader r(qj, qj_name, kQjUnit);
    const long cols = lib.QJ.cols();
    r.read(kTableRecord, static_cast<std::size_t>(lib.QJ.rows() * cols),
           [&](std::size_t k, const Value& v) {
               const long n = static_cast<long>(k);
               lib.QJ(n / cols + 1, n % cols + 1) = v.r;
           });
}

}  // namespace tev
