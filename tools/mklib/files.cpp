// The library files: gas and condensed records, names, the element table, the row labels and
// the index of the library numbers.
#include "tools/mklib/library.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

namespace mklib {

namespace libfmt = tev::libfmt;

namespace {

std::string pad(std::string s, std::size_t w)
{
    s.resize(w, ' ');
    return s;
}

//! r3.id: per gas its formula code, identification, a1..a9 and collision value.
std::string gas_records(const std::vector<Gas>& gases)
{
    std::vector<double> r3;
    for (auto& g : gases) {
        std::array<double, libfmt::kGasRecordValues> rec{};
        rec[libfmt::kGasCode] = static_cast<double>(g.f.code());
        rec[libfmt::kGasIdentification] = identification(g.f, g.lib);
        for (long j = 0; j < libfmt::kGasCoefficients; ++j)
            rec[libfmt::kGasFirstCoefficient + j] = g.a[j];
        rec[libfmt::kGasCollision] = g.collision;
        r3.insert(r3.end(), rec.begin(), rec.end());
    }
    return write_stream(r3);
}

//! r4.id: per substance its formula code, identification and block length, then its data block:
//! the interval count X and per interval its upper limit and b1..b5.
std::string condensed_records(const std::vector<Condensed>& conds)
{
    std::vector<double> r4;
    for (auto& c : conds) {
        const long X = static_cast<long>(c.iv.size());
        std::array<double, libfmt::kCondensedHead> head{};
        head[libfmt::kCondensedCode] = static_cast<double>(c.f.code());
        head[libfmt::kCondensedIdentification] = identification(c.f, c.lib);
        head[libfmt::kCondensedLength] = static_cast<double>(1 + libfmt::kIntervalValues * X);
        r4.insert(r4.end(), head.begin(), head.end());
        r4.push_back(static_cast<double>(X));
        for (auto& ci : c.iv) {
            r4.push_back(ci.thi);
            for (double x : ci.b) r4.push_back(x);
        }
    }
    return write_stream(r4);
}

//! kom.id: the name of every library number, blank where the number is unused.
std::string names_table(const std::vector<Gas>& gases, const std::vector<Condensed>& conds)
{
    std::vector<std::string> names(kMaxLibNum + 1, "");
    for (auto& g : gases) names[g.lib] = g.name8;
    for (auto& c : conds) names[c.lib] = c.name8;
    std::ostringstream k;
    for (int i = 1; i <= kMaxLibNum; ++i)
        k << std::setw(3) << i << "   " << pad(names[i], 8) << "\n";
    return k.str();
}

//! val.id: the element masses (the NASA atoms' molecular weights where present) and valences.
std::string element_table(const std::map<int, const NasaSpecies*>& atom_gas)
{
    const ElementMasses mu = element_masses(atom_gas);
    std::ostringstream v;
    v << "! Element table: atomic masses MU [g/mol] of elements 1-97 and of the electron "
         "(98); valences V: reducing elements positive, oxidizing elements negative "
         "(O -2, halogens -1), nitrogen, noble gases and the electron 0.\n";
    v << "&WAL\n MU(1)=";
    char buf[64];
    for (int z = 1; z <= libfmt::kElements; ++z) {
        std::snprintf(buf, sizeof buf, "%.9g", mu[z]);
        v << buf << (z < libfmt::kElements ? "," : "") << (z % 8 == 0 ? "\n  " : " ");
    }
    v << "\n V(1)=";
    for (int z = 1; z <= libfmt::kElements; ++z) {
        std::snprintf(buf, sizeof buf, "%.1f", z == kElectron ? 0.0 : element_valence(z));
        v << buf << (z < libfmt::kElements ? "," : "") << (z % 12 == 0 ? "\n  " : " ");
    }
    v << "\n/\n";
    return v.str();
}

//! tab.id: the labels of the 25 rows of the result tables.
std::string row_labels()
{
    static const char* labels[25] = {"ALFA", "K1", "P",   "T",    "I",    "S",   "M",
                                     "CPR",  "CPRG", "CPZ", "R",  "K",    "Z",   "A",
                                     "VISC", "COND", "LR",  "PR", "N",    "MACH", "IS",
                                     "ISV",  "B",    "F/G", "F/FK"};
    std::ostringstream t;
    for (int i = 1; i <= 25; ++i) t << std::setw(2) << i << " " << pad(labels[i - 1], 4) << "\n";
    return t.str();
}

//! library_index.tsv: library number, NASA name (phases joined by "+"), name, phase, code.
std::string library_index(const std::vector<Gas>& gases, const std::vector<Condensed>& conds)
{
    std::ostringstream x;
    x << "libnum\tnasa_name\tname8\tphase\tformula_code\n";
    for (auto& g : gases)
        x << g.lib << "\t" << g.sp->name << "\t" << g.name8 << "\tG\t" << g.f.code() << "\n";
    for (auto& c : conds) {
        std::string nn;
        for (auto* p : c.phases) nn += (nn.empty() ? "" : "+") + p->name;
        x << c.lib << "\t" << nn << "\t" << c.name8 << "\tC\t" << c.f.code() << "\n";
    }
    return x.str();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> library_files(const GasChoice& choice,
                                                               const std::vector<Condensed>& conds)
{
    return {{"r3.id", gas_records(choice.gases)},
            {"r4.id", condensed_records(conds)},
            {"kom.id", names_table(choice.gases, conds)},
            {"val.id", element_table(choice.atom_gas)},
            {"tab.id", row_labels()},
            {"library_index.tsv", library_index(choice.gases, conds)}};
}

ElementMasses element_masses(const std::map<int, const NasaSpecies*>& atom_gas)
{
    ElementMasses mu{};
    for (int z = 1; z <= kChemicalElements; ++z) mu[z] = standard_atomic_weights()[z];
    for (auto& [z, s] : atom_gas)
        if (z <= kChemicalElements) mu[z] = s->mw;
    mu[kElectron] = atom_gas.count(kElectron) ? atom_gas.at(kElectron)->mw : 0.000548579903;
    return mu;
}

double program_molar_mass(const Formula& f, const ElementMasses& mu)
{
    double sum = 0;
    for (const auto& [z, digit] : f.slots) {
        const double c = libfmt::signed_count(z, digit);
        sum = sum + mu[z] * c;
    }
    return sum;
}

}  // namespace mklib
