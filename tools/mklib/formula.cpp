// Element tables and the encoding of NASA formulas into the library's formula codes.
#include "tools/mklib/formula.h"

#include <cctype>
#include <cmath>
#include <map>

namespace mklib {

namespace libfmt = tev::libfmt;

const std::array<const char*, kChemicalElements + 1>& element_symbols()
{
    static const std::array<const char*, kChemicalElements + 1> s = {
        "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al",
        "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co",
        "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb",
        "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs",
        "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm",
        "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi",
        "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk"};
    return s;
}

const std::array<double, kChemicalElements + 1>& standard_atomic_weights()
{
    static const std::array<double, kChemicalElements + 1> w = {
        0.0,       1.00794,   4.002602,  6.941,     9.012182,  10.811,    12.0107,   14.0067,
        15.9994,   18.9984032, 20.1797,  22.98977,  24.305,    26.981538, 28.0855,   30.973761,
        32.065,    35.453,    39.948,    39.0983,   40.078,    44.95591,  47.867,    50.9415,
        51.9961,   54.938049, 55.845,    58.9332,   58.6934,   63.546,    65.409,    69.723,
        72.64,     74.9216,   78.96,     79.904,    83.798,    85.4678,   87.62,     88.90585,
        91.224,    92.90638,  95.94,     98.0,      101.07,    102.9055,  106.42,    107.8682,
        112.411,   114.818,   118.71,    121.76,    127.6,     126.90447, 131.293,   132.90545,
        137.327,   138.9055,  140.116,   140.90765, 144.24,    145.0,     150.36,    151.964,
        157.25,    158.92534, 162.5,     164.93032, 167.259,   168.93421, 173.04,    174.967,
        178.49,    180.9479,  183.84,    186.207,   190.23,    192.217,   195.078,   196.96655,
        200.59,    204.3833,  207.2,     208.98038, 209.0,     210.0,     222.0,     223.0,
        226.0,     227.0,     232.0381,  231.03588, 238.02891, 237.0,     244.0,     243.0,
        247.0,     247.0};
    return w;
}

double element_valence(int z)
{
    static const std::map<int, double> special = {
        {1, 1},  {2, 0},  {3, 1},  {4, 2},  {5, 3},  {6, 4},  {7, 0},  {8, -2}, {9, -1},
        {10, 0}, {11, 1}, {12, 2}, {13, 3}, {14, 4}, {15, 5}, {16, 4}, {17, -1}, {18, 0},
        {19, 1}, {20, 2}, {21, 3}, {22, 4}, {23, 5}, {24, 3}, {25, 2}, {26, 3}, {27, 2},
        {28, 2}, {29, 2}, {30, 2}, {31, 3}, {32, 4}, {33, 3}, {34, 4}, {35, -1}, {36, 0},
        {37, 1}, {38, 2}, {39, 3}, {40, 4}, {41, 5}, {42, 6}, {43, 7}, {44, 4}, {45, 3},
        {46, 2}, {47, 1}, {48, 2}, {49, 3}, {50, 4}, {51, 3}, {52, 4}, {53, -1}, {54, 0},
        {55, 1}, {56, 2}, {72, 4}, {73, 5}, {74, 6}, {75, 7}, {76, 4}, {77, 4}, {78, 4},
        {79, 3}, {80, 2}, {81, 1}, {82, 2}, {83, 3}, {84, 4}, {85, -1}, {86, 0}, {87, 1},
        {88, 2}, {89, 3}, {90, 4}, {91, 5}, {92, 6}, {93, 5}, {94, 4}, {95, 3}, {96, 3},
        {97, 3}};
    if (z >= 57 && z <= 71) return 3;  // lanthanides
    auto it = special.find(z);
    return it == special.end() ? 0.0 : it->second;
}

int element_number(const std::string& symbol)
{
    std::string s;
    for (char c : symbol)
        if (!std::isspace(static_cast<unsigned char>(c))) s += c;
    if (s.empty()) return 0;
    auto up = [](std::string x) {
        for (char& c : x) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return x;
    };
    const std::string u = up(s);
    if (u == "E") return kElectron;
    const auto& sym = element_symbols();
    for (int z = 1; z <= kChemicalElements; ++z)
        if (up(sym[z]) == u) return z;
    return 0;
}

const std::vector<int>& priority_elements()
{
    static const std::vector<int> p = {1,  6,  7,  8,  9,  17, 35, 53, 16, 15, 5, 13,
                                       14, 3,  11, 19, 4,  12, 22, 40, 55, 2,  18};
    return p;
}

std::int64_t Formula::code() const
{
    std::int64_t c = 0;
    int k = 0;
    for (auto& s : slots) c += s.first * libfmt::code_place(++k);
    return c;
}

std::int64_t Formula::digits() const
{
    std::int64_t c = 0;
    int k = 0;
    for (auto& s : slots) c += s.second * libfmt::count_place(++k);
    return c;
}

int Formula::charge() const
{
    for (auto& s : slots)
        if (s.first == kElectron) return s.second == libfmt::kPositiveIonDigit ? 1 : -1;
    return 0;
}

std::vector<std::pair<int, int>> Formula::neutral_slots() const
{
    std::vector<std::pair<int, int>> out;
    for (auto& s : slots)
        if (s.first != kElectron) out.push_back(s);
    return out;
}

Formula encode_formula(const std::vector<std::pair<std::string, double>>& atoms)
{
    Formula f;
    std::map<int, double> m;
    for (auto& [sym, cnt] : atoms) {
        const int z = element_number(sym);
        if (z == 0) { f.why = "element " + sym; return f; }
        m[z] += cnt;
    }
    for (auto& [z, cnt] : m) {
        if (cnt == 0.0) continue;
        const double r = std::round(cnt);
        if (std::fabs(cnt - r) > 1e-6) { f.why = "fractional count"; return f; }
        int d = static_cast<int>(r);
        if (z == kElectron) {
            if (d != 1 && d != -1) {
                f.why = "charge";
                return f;
            }
            d = d == 1 ? libfmt::kNegativeIonDigit : libfmt::kPositiveIonDigit;
        } else if (d < 1 || d >= libfmt::kCountBase) {
            f.why = "count";
            return f;
        }
        f.slots.emplace_back(z, d);
    }
    if (f.slots.empty()) { f.why = "no elements"; return f; }
    if (static_cast<int>(f.slots.size()) > libfmt::kSlots) {
        f.why = "more than four elements";
        return f;
    }
    f.ok = true;
    return f;
}

double identification(const Formula& f, int libnum)
{
    return libfmt::identification(f.digits(), libnum);
}

}  // namespace mklib
