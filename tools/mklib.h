// The reference-library generator: reads NASA Glenn 9-coefficient thermodynamic data and a table of
// Lennard-Jones parameters and builds the program's species library (gas and condensed records),
// the species names, the element table and the row labels.
//
// Everything here is a plain function over plain records so that the tests can check each step on
// small hand-made inputs; tools/mklib.cpp only reads the arguments and writes the files.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <istream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mklib {

// ---------------------------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------------------------

//! Gas constant of the NASA fits [J/(mol K)]: their H/RT and S/R are scaled by it.
inline constexpr double kRnasa = 8.314510;
//! Thermochemical calorie [J].
inline constexpr double kCalJ = 4.184;
//! The NASA gas constant in calories [cal/(mol K)].
inline constexpr double kRcal = kRnasa / kCalJ;
//! The program's gas constant (1.98719 held as a float) [cal/(mol K)].
inline constexpr double kR0 = 1.9871900081634521;
static_assert(kR0 == double(1.98719f));
//! Factors of the program's ion functions (single-precision constants widened to double).
inline constexpr double kIonT = 1.2260911827023856e-10;
inline constexpr double kIonQ = 0.6708300113677979;
static_assert(kIonQ == double(0.67083f));
inline constexpr double kEvPerK = 8.620689655172413e-05;
//! Electron element number.
inline constexpr int kElectron = 98;
//! Size of the gas library [records].
inline constexpr int kGasRecords = 857;
//! Highest library number (the names table holds 999 names).
inline constexpr int kMaxLibNum = 999;
//! Condensed records are read while their start position is below this.
inline constexpr int kCondensedStop = 3070;
//! The program reads at most this many condensed values.
inline constexpr int kCondensedRead = 3600;

//! Standard pressure change of the gases, 1 bar to 1 atm: S_atm = S_bar - R ln(1.01325).
inline double entropy_bar_to_atm() { return kRcal * std::log(1.01325); }

// ---------------------------------------------------------------------------------------------
// Elements
// ---------------------------------------------------------------------------------------------

//! Symbols of elements 1..97 (index = atomic number).
inline const std::array<const char*, 98>& element_symbols()
{
    static const std::array<const char*, 98> s = {
        "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al",
        "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co",
        "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb",
        "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs",
        "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm",
        "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi",
        "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk"};
    return s;
}

//! Standard atomic weights of elements 1..97 [g/mol] (IUPAC, mass number of the longest-lived
//! isotope for elements without a stable one); replaced by the NASA atom's molecular weight
//! wherever the NASA data has the atom, so that masses agree with the NASA molecular weights.
inline const std::array<double, 98>& standard_atomic_weights()
{
    static const std::array<double, 98> w = {
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

//! Signed valence of each element for the oxidizer-excess ratio: reducing elements count with
//! their usual highest oxidation state in combustion products (positive), oxygen -2, the
//! halogens -1; nitrogen, the noble gases and the electron 0.
inline double element_valence(int z)
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

//! Element number of a NASA element symbol (case ignored): 1..97, 98 for the electron "E",
//! 0 for anything else (deuterium "D" among them).
inline int element_number(const std::string& symbol)
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
    for (int z = 1; z <= 97; ++z)
        if (up(sym[z]) == u) return z;
    return 0;
}

//! Elements whose species are chosen first, in the order of their relevance to propellant
//! combustion; the electron always counts as one of them.
inline const std::vector<int>& priority_elements()
{
    static const std::vector<int> p = {1,  6,  7,  8,  9,  17, 35, 53, 16, 15, 5, 13,
                                       14, 3,  11, 19, 4,  12, 22, 40, 55, 2,  18};
    return p;
}

// ---------------------------------------------------------------------------------------------
// NASA data
// ---------------------------------------------------------------------------------------------

//! One temperature interval of a NASA 9-coefficient fit.
struct Interval {
    double tlo = 0, thi = 0;      //!< range [K]
    std::array<double, 7> a{};   //!< Cp/R = a1/T^2 + a2/T + a3 + a4 T + a5 T^2 + a6 T^3 + a7 T^4
    double b1 = 0, b2 = 0;        //!< integration constants of H/RT and S/R
};

//! One NASA species record.
struct Species {
    std::string name;                                   //!< NASA name, e.g. "AL2O3(a)"
    std::vector<std::pair<std::string, double>> atoms;  //!< element symbols and counts
    int phase = 0;                                      //!< 0 gas, otherwise condensed
    double mw = 0;                                      //!< molecular weight [g/mol]
    double hf = 0;                                      //!< heat of formation at 298.15 K [J/mol]
    std::vector<Interval> iv;                           //!< fit intervals, increasing
    int order = 0;                                      //!< position in the file (0-based)
};

//! Reads a real written with a Fortran D or E exponent; blank reads as 0.
inline double read_real(const std::string& line, std::size_t pos, std::size_t len)
{
    if (pos >= line.size()) return 0.0;
    std::string s = line.substr(pos, len);
    for (char& c : s)
        if (c == 'D' || c == 'd') c = 'E';
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return 0.0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str() + b, &end);
    if (end == s.c_str() + b) throw std::runtime_error("unreadable number '" + s + "'");
    return v;
}

//! Reads the products section of a NASA Glenn thermo.inp (up to "END PRODUCTS"). Records without
//! temperature intervals (single assigned enthalpies) are kept with an empty interval list.
inline std::vector<Species> read_thermo(std::istream& in)
{
    std::vector<Species> out;
    std::string line;
    bool started = false;
    std::vector<std::string> lines;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!started) {
            if (line.rfind("thermo", 0) == 0) {
                started = true;
                std::getline(in, line);  // global temperature ranges and date
            }
            continue;
        }
        if (line.rfind("END PRODUCTS", 0) == 0 || line.rfind("END REACTANTS", 0) == 0) break;
        if (!line.empty() && line[0] == '!') continue;
        lines.push_back(line);
    }
    std::size_t i = 0;
    while (i + 1 < lines.size()) {
        Species sp;
        sp.order = static_cast<int>(out.size());
        std::istringstream first(lines[i].substr(0, std::min<std::size_t>(18, lines[i].size())));
        first >> sp.name;
        const std::string& h = lines[i + 1];
        const int nint = static_cast<int>(read_real(h, 0, 2));
        for (int k = 0; k < 5; ++k) {
            std::string sym = h.size() > 10u + 8u * k ? h.substr(10 + 8 * k, 2) : "";
            const double cnt = read_real(h, 12 + 8 * k, 6);
            sym.erase(std::remove(sym.begin(), sym.end(), ' '), sym.end());
            if (!sym.empty() && cnt != 0.0) sp.atoms.emplace_back(sym, cnt);
        }
        sp.phase = static_cast<int>(read_real(h, 50, 2));
        sp.mw = read_real(h, 52, 13);
        sp.hf = read_real(h, 65, 15);
        i += 2;
        if (nint == 0) {
            i += 1;  // the line with the assigned temperature
        } else {
            for (int k = 0; k < nint; ++k) {
                if (i + 2 >= lines.size()) throw std::runtime_error("short record " + sp.name);
                const std::string& t = lines[i];
                const std::string& c1 = lines[i + 1];
                const std::string& c2 = lines[i + 2];
                Interval v;
                v.tlo = read_real(t, 0, 11);
                v.thi = read_real(t, 11, 11);
                // Only the standard exponent set -2..4 is used by the NASA file.
                if (read_real(t, 23, 5) != -2.0 || read_real(t, 53, 5) != 4.0)
                    throw std::runtime_error("unexpected exponents in " + sp.name);
                for (int j = 0; j < 5; ++j) v.a[j] = read_real(c1, 16 * j, 16);
                v.a[5] = read_real(c2, 0, 16);
                v.a[6] = read_real(c2, 16, 16);
                v.b1 = read_real(c2, 48, 16);
                v.b2 = read_real(c2, 64, 16);
                sp.iv.push_back(v);
                i += 3;
            }
        }
        out.push_back(sp);
    }
    return out;
}

//! Thermodynamic functions: enthalpy [cal/mol], entropy and heat capacity [cal/(mol K)].
struct Props {
    double h = 0, s = 0, cp = 0;
};

//! NASA functions of one interval at T, dimensionless: Cp/R, H/RT, S/R.
inline void nasa_interval(const Interval& v, double T, double& cpr, double& hrt, double& sr)
{
    const auto& a = v.a;
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
    cpr = a[0] / T2 + a[1] / T + a[2] + a[3] * T + a[4] * T2 + a[5] * T3 + a[6] * T4;
    hrt = -a[0] / T2 + a[1] * std::log(T) / T + a[2] + a[3] * T / 2 + a[4] * T2 / 3 +
          a[5] * T3 / 4 + a[6] * T4 / 5 + v.b1 / T;
    sr = -a[0] / T2 / 2 - a[1] / T + a[2] * std::log(T) + a[3] * T + a[4] * T2 / 2 +
         a[5] * T3 / 3 + a[6] * T4 / 4 + v.b2;
}

//! NASA functions of a species in calories, entropy at 1 bar. Below the first interval the first
//! interval's polynomials are used; above the last one the heat capacity is held at its value
//! at the top of the data (the enthalpy and entropy integrate that constant heat capacity).
inline Props nasa_props(const Species& sp, double T)
{
    double cpr = 0, hrt = 0, sr = 0;
    const Interval& last = sp.iv.back();
    if (T > last.thi) {
        const double Tt = last.thi;
        nasa_interval(last, Tt, cpr, hrt, sr);
        Props p;
        p.cp = cpr * kRcal;
        p.h = hrt * kRcal * Tt + p.cp * (T - Tt);
        p.s = sr * kRcal + p.cp * std::log(T / Tt);
        return p;
    }
    const Interval* use = &sp.iv.front();
    for (const Interval& v : sp.iv)
        if (T >= v.tlo) use = &v;
    nasa_interval(*use, T, cpr, hrt, sr);
    return {hrt * kRcal * T, sr * kRcal, cpr * kRcal};
}

//! The same for a gas, with the entropy at 1 atm.
inline Props nasa_gas_props(const Species& sp, double T)
{
    Props p = nasa_props(sp, T);
    p.s -= entropy_bar_to_atm();
    return p;
}

// ---------------------------------------------------------------------------------------------
// Formula encoding
// ---------------------------------------------------------------------------------------------

//! A species formula as the library encodes it: up to four (element, digit) slots in increasing
//! element number. The electron's digit is 1 for one electron in excess (a negative ion or the
//! electron itself) and 2 for one electron short (a positive ion).
struct Formula {
    std::vector<std::pair<int, int>> slots;
    bool ok = false;       //!< representable
    std::string why;       //!< reason when not representable

    std::int64_t code() const
    {
        std::int64_t c = 0, f = 1;
        for (auto& s : slots) { c += s.first * f; f *= 100; }
        return c;
    }
    std::int64_t digits() const
    {
        std::int64_t c = 0, f = 1;
        for (auto& s : slots) { c += s.second * f; f *= 10; }
        return c;
    }
    int charge() const  //!< +1 positive ion, -1 negative ion or electron, 0 neutral
    {
        for (auto& s : slots)
            if (s.first == kElectron) return s.second == 2 ? 1 : -1;
        return 0;
    }
    bool has(int z) const
    {
        for (auto& s : slots)
            if (s.first == z) return true;
        return false;
    }
};

//! Encodes a NASA formula. Not representable: unknown elements (deuterium among them), more than
//! four elements, fractional counts, counts above 9, charges other than +-1.
inline Formula encode_formula(const std::vector<std::pair<std::string, double>>& atoms)
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
            if (d == 1) d = 1;
            else if (d == -1) d = 2;
            else { f.why = "charge"; return f; }
        } else if (d < 1 || d > 9) {
            f.why = "count";
            return f;
        }
        f.slots.emplace_back(z, d);
    }
    if (f.slots.empty()) { f.why = "no elements"; return f; }
    if (f.slots.size() > 4) { f.why = "more than four elements"; return f; }
    f.ok = true;
    return f;
}

//! The identification value: the atom digits plus the library number over 10^4.
inline double identification(const Formula& f, int libnum)
{
    return static_cast<double>(f.digits()) + libnum / 1e4;
}

// ---------------------------------------------------------------------------------------------
// Number format of the library files
// ---------------------------------------------------------------------------------------------

//! One 16-column field: sign, digit, point, nine decimals and a two-digit exponent.
inline std::string field16(double x)
{
    if (x == 0.0) x = 0.0;  // no negative zero
    char buf[64];
    std::snprintf(buf, sizeof buf, "%16.9E", x);
    std::string s(buf);
    if (s.size() != 16) throw std::runtime_error("value does not fit 16 columns: " + s);
    return s;
}

//! The value the program reads back from field16(x).
inline double stored(double x) { return std::strtod(field16(x).c_str(), nullptr); }

//! Writes a stream of values, ten 16-column fields per line.
inline std::string write_stream(const std::vector<double>& v)
{
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += field16(v[i]);
        if (i % 10 == 9 || i + 1 == v.size()) out += '\n';
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The program's species functions (the formulas the library is read with)
// ---------------------------------------------------------------------------------------------

//! Gas polynomial record a1..a9 at T, evaluated in the program's order of operations.
inline Props gas_poly(const std::array<double, 9>& a, double T)
{
    const double R = T * 0.001;
    const double C = 0.001 * std::log(R);
    double h = 0, s = 0, c = 0;
    for (int j = 1; j <= 6; ++j) {
        const double aj = a[j - 1];
        h = (h + aj) * R;
        s = (s + (static_cast<double>(8 - j) / static_cast<double>(7 - j)) * aj) * R;
        c = (c + (8 - j) * aj) * R;
    }
    Props p;
    p.h = (a[6] + h) * R + a[7];
    p.s = (a[6] * C + a[8]) + 0.001 * s;
    p.cp = (a[6] + c) * 0.001;
    return p;
}

//! Condensed interval b1..b5 at T.
inline Props cond_poly(const std::array<double, 5>& b, double T)
{
    const double R = T * 0.001;
    const double C = 0.001 * std::log(R);
    double h = b[0] * R;
    h = (h + b[1]) * R;
    double s = 1.5 * b[0] * R;
    s = (s + 2 * b[1]) * R;
    double c = 3 * b[0] * R;
    c = (c + 2 * b[1]) * R;
    Props p;
    p.h = (b[2] + h) * R + b[3];
    p.s = (b[2] * C + 0.001 * s) + b[4];
    p.cp = (b[2] + c) * 0.001;
    return p;
}

//! Natural log of the program's detachment constant of a positive ion record at T.
inline double positive_ion_w(const std::array<double, 9>& a, double T)
{
    const double e = T * kEvPerK;
    const int j = static_cast<int>(T * 0.001);
    double Q;
    if (j < 2) Q = a[1];
    else if (j > 5) Q = a[4];
    else if (j <= 3)
        Q = 5e-07 * ((a[1] * (T - 3000) - 2 * a[2] * (T - 2000)) * (T - 4000) +
                     a[3] * (T - 2000) * (T - 3000));
    else
        Q = 5e-07 * ((a[2] * (T - 4000) - 2 * a[3] * (T - 3000)) * (T - 5000) +
                     a[4] * (T - 3000) * (T - 4000));
    double w = (std::log(Q * kIonQ) - a[5] / e) + 1.5 * std::log(e) + 10.0 * std::log(10.0);
    return std::log(T * kIonT) + w;
}

//! The same for a negative ion record.
inline double negative_ion_w(const std::array<double, 9>& a, double T)
{
    const double e = T * kEvPerK;
    const double w = (a[1] * std::log(e) - a[3] / e) + a[2];
    return std::log(T * kIonT) + w;
}

//! An ion's functions from its parent's and the electron's, as the program forms them.
inline Props ion_props(const std::array<double, 9>& a, int charge, const Props& parent,
                       const Props& electron, double T)
{
    Props p;
    const double ge = electron.h - electron.s * T;
    if (charge > 0)
        p.h = parent.h - kR0 * T * positive_ion_w(a, T) - ge;
    else
        p.h = parent.h + kR0 * T * negative_ion_w(a, T) + ge;
    p.s = parent.s;
    p.cp = parent.cp;
    return p;
}

// ---------------------------------------------------------------------------------------------
// Least squares
// ---------------------------------------------------------------------------------------------

//! Solves min |A x - b| by Householder QR in long double with the columns scaled to unit
//! maximum. A is row-major, rows x cols.
inline std::vector<double> least_squares(std::vector<long double> A, std::vector<long double> b,
                                         int rows, int cols)
{
    if (rows < cols) throw std::runtime_error("least squares: too few rows");
    std::vector<long double> scale(cols, 1.0L);
    for (int j = 0; j < cols; ++j) {
        long double m = 0;
        for (int i = 0; i < rows; ++i) m = std::max(m, std::fabs(A[i * cols + j]));
        if (m > 0) scale[j] = m;
        for (int i = 0; i < rows; ++i) A[i * cols + j] /= scale[j];
    }
    for (int k = 0; k < cols; ++k) {
        long double norm = 0;
        for (int i = k; i < rows; ++i) norm += A[i * cols + k] * A[i * cols + k];
        norm = std::sqrt(norm);
        if (norm == 0) throw std::runtime_error("least squares: singular columns");
        const long double alpha = A[k * cols + k] > 0 ? -norm : norm;
        std::vector<long double> v(rows - k);
        for (int i = k; i < rows; ++i) v[i - k] = A[i * cols + k];
        v[0] -= alpha;
        long double vv = 0;
        for (auto x : v) vv += x * x;
        if (vv == 0) continue;
        for (int j = k; j < cols; ++j) {
            long double d = 0;
            for (int i = k; i < rows; ++i) d += v[i - k] * A[i * cols + j];
            d = 2 * d / vv;
            for (int i = k; i < rows; ++i) A[i * cols + j] -= d * v[i - k];
        }
        long double d = 0;
        for (int i = k; i < rows; ++i) d += v[i - k] * b[i];
        d = 2 * d / vv;
        for (int i = k; i < rows; ++i) b[i] -= d * v[i - k];
    }
    std::vector<long double> x(cols);
    for (int k = cols - 1; k >= 0; --k) {
        long double s = b[k];
        for (int j = k + 1; j < cols; ++j) s -= A[k * cols + j] * x[j];
        x[k] = s / A[k * cols + k];
    }
    std::vector<double> out(cols);
    for (int j = 0; j < cols; ++j) out[j] = static_cast<double>(x[j] / scale[j]);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Gas fits
// ---------------------------------------------------------------------------------------------

//! Settings of the gas fit.
struct GasFitSettings {
    double tlo = 300, thi = 6000;  //!< fitted range [K]
    double log_step = 0.01;        //!< grid step in ln T
    double wh = 1.0, ws = 1.0;     //!< weights of the H/RT and S/R rows
    double wc = 0.1;               //!< weight of the Cp/R rows
    double ttop = 20000;           //!< top of the chamber bracket [K]
    double cp_floor = 0.5 * kRcal; //!< smallest heat capacity accepted up to ttop [cal/(mol K)]
    double cp_pin = 1.0 * kRcal;   //!< value a pinned heat capacity is drawn to [cal/(mol K)]
    double w_pin = 10.0;           //!< weight of a pinning row
    int max_pins = 20;
};

//! A heat-capacity row added above the fitted range: Cp(T) is drawn towards `cp`.
struct CpPin {
    double T = 0, cp = 0;
};

//! Fits a1..a9 to the functions f (cal units, entropy at 1 atm) over the fitted range on a grid
//! even in ln T (rows H/RT, S/R and Cp/R, so that G/RT = H/RT - S/R is fitted directly), plus
//! the heat-capacity pins. The coefficients are returned as stored in the library.
inline std::array<double, 9> fit_gas_once(const std::function<Props(double)>& f,
                                          const GasFitSettings& st, const std::vector<CpPin>& pins)
{
    std::vector<long double> A, b;
    int rows = 0;
    auto rows_at = [](double T, std::array<long double, 9>& rh, std::array<long double, 9>& rs,
                      std::array<long double, 9>& rc) {
        const long double R = T * 0.001L, lnR = std::log(R);
        const long double RT = kRcal * static_cast<long double>(T);
        rh = {};
        rs = {};
        rc = {};
        for (int j = 1; j <= 7; ++j) {
            rh[j - 1] = std::pow(R, 8 - j) / RT;
            rc[j - 1] = 0.001L * (8 - j) * std::pow(R, 7 - j) / kRcal;
        }
        for (int j = 1; j <= 6; ++j)
            rs[j - 1] = 0.001L * (8.0L - j) / (7.0L - j) * std::pow(R, 7 - j) / kRcal;
        rs[6] = 0.001L * lnR / kRcal;
        rh[7] = 1 / RT;
        rs[8] = 1 / kRcal;
    };
    const int n = static_cast<int>(std::floor(std::log(st.thi / st.tlo) / st.log_step + 1e-9));
    for (int k = 0; k <= n; ++k) {
        const double T = k == n ? st.thi : st.tlo * std::exp(k * st.log_step);
        const Props p = f(T);
        std::array<long double, 9> rh, rs, rc;
        rows_at(T, rh, rs, rc);
        const long double RT = kRcal * static_cast<long double>(T);
        for (int j = 0; j < 9; ++j) A.push_back(st.wh * rh[j]);
        b.push_back(st.wh * p.h / RT);
        for (int j = 0; j < 9; ++j) A.push_back(st.ws * rs[j]);
        b.push_back(st.ws * p.s / kRcal);
        for (int j = 0; j < 9; ++j) A.push_back(st.wc * rc[j]);
        b.push_back(st.wc * p.cp / kRcal);
        rows += 3;
    }
    for (const CpPin& pin : pins) {
        std::array<long double, 9> rh, rs, rc;
        rows_at(pin.T, rh, rs, rc);
        for (int j = 0; j < 9; ++j) A.push_back(st.w_pin * rc[j]);
        b.push_back(st.w_pin * pin.cp / kRcal);
        ++rows;
    }
    auto x = least_squares(A, b, rows, 9);
    std::array<double, 9> a{};
    for (int j = 0; j < 9; ++j) a[j] = stored(x[j]);
    return a;
}

//! Lowest heat capacity of a polynomial record on a 10 K grid over [tlo, thi], and where.
inline double min_cp(const std::array<double, 9>& a, double tlo, double thi, double* where = nullptr)
{
    double m = 1e300;
    for (double T = tlo; T <= thi + 1e-9; T += 10) {
        const double c = gas_poly(a, T).cp;
        if (c < m) {
            m = c;
            if (where) *where = T;
        }
    }
    return m;
}

//! Result of a gas fit.
struct GasFit {
    std::array<double, 9> a{};
    int pins = 0;           //!< heat-capacity pins that were needed
    double min_cp = 0;      //!< lowest heat capacity 200..20000 K [cal/(mol K)]
};

//! Fits a gas so that its heat capacity stays positive up to the top of the chamber bracket.
//! Beyond the data a degree-6 heat capacity runs off quickly; where it falls below the floor
//! (anywhere from 200 K to the top), a pin drawing Cp to about R is added at the lowest point
//! and the fit repeated. One or two pins at the top end suffice for most species and cost far
//! less accuracy below 6000 K than fitting pseudo-data over the whole extension.
inline GasFit fit_gas(const std::function<Props(double)>& f, const GasFitSettings& st = {})
{
    GasFit g;
    std::vector<CpPin> pins;
    for (;;) {
        g.a = fit_gas_once(f, st, pins);
        double where = 0;
        g.min_cp = min_cp(g.a, 200, st.ttop, &where);
        g.pins = static_cast<int>(pins.size());
        if (g.min_cp > st.cp_floor || static_cast<int>(pins.size()) >= st.max_pins) return g;
        pins.push_back({where, st.cp_pin});
    }
}

// ---------------------------------------------------------------------------------------------
// Ion records
// ---------------------------------------------------------------------------------------------

//! Positive-ion record: Q at 2000..5000 K and the ionisation energy, so that the program's ion
//! Gibbs energy equals the target's at those four temperatures. Below 2000 K the program holds
//! Q at its 2000 K value, so the energy is chosen to fit ln Q - a6/e = f(T) best over 300..2000 K
//! with the curve passing through the 2000 K value.
inline std::array<double, 9> positive_ion_record(int parent_lib,
                                                 const std::function<Props(double)>& ion,
                                                 const std::function<Props(double)>& parent,
                                                 const std::function<Props(double)>& electron)
{
    auto f = [&](double T) {
        const Props pi = ion(T), pp = parent(T), pe = electron(T);
        const double w = ((pp.h - T * pp.s) - (pe.h - T * pe.s) - (pi.h - T * pi.s)) / (kR0 * T);
        const double e = T * kEvPerK;
        return w - std::log(T * kIonT) - 1.5 * std::log(e) - 10.0 * std::log(10.0) -
               std::log(kIonQ);
    };
    const double f2 = f(2000), u2 = 1.0 / (2000 * kEvPerK);
    long double num = 0, den = 0;
    for (double T = 300; T < 2000; T += 10) {
        const long double du = 1.0L / (T * kEvPerK) - u2;  // f(T) - f2 = -a6 du
        num += -(f(T) - f2) * du;
        den += du * du;
    }
    std::array<double, 9> a{};
    a[0] = stored(parent_lib * 1e10);
    a[5] = stored(static_cast<double>(num / den));
    const double Ts[4] = {2000, 3000, 4000, 5000};
    for (int k = 0; k < 4; ++k) a[1 + k] = stored(std::exp(f(Ts[k]) + a[5] / (Ts[k] * kEvPerK)));
    return a;
}

//! Negative-ion record: w - ln(T c) = a2 ln e - a4/e + a3 fitted over 1500..6000 K, where
//! ions take a noticeable share of the products.
inline std::array<double, 9> negative_ion_record(int parent_lib,
                                                 const std::function<Props(double)>& ion,
                                                 const std::function<Props(double)>& parent,
                                                 const std::function<Props(double)>& electron)
{
    std::vector<long double> A, b;
    int rows = 0;
    for (double T = 1500; T <= 6000; T += 25) {
        const Props pi = ion(T), pp = parent(T), pe = electron(T);
        const double w = ((pi.h - T * pi.s) - (pp.h - T * pp.s) - (pe.h - T * pe.s)) / (kR0 * T);
        const double e = T * kEvPerK;
        A.push_back(std::log(e));
        A.push_back(1.0L);
        A.push_back(-1.0L / e);
        b.push_back(w - std::log(T * kIonT));
        ++rows;
    }
    auto x = least_squares(A, b, rows, 3);
    std::array<double, 9> a{};
    a[0] = stored(-parent_lib * 1e10);
    a[1] = stored(x[0]);
    a[2] = stored(x[1]);
    a[3] = stored(x[2]);
    return a;
}

// ---------------------------------------------------------------------------------------------
// Condensed fits
// ---------------------------------------------------------------------------------------------

//! One temperature interval of a condensed record.
struct CondInterval {
    double tlo = 0, thi = 0;     //!< range fitted [K]; thi is the stored upper limit
    std::array<double, 5> b{};   //!< b1..b5
    int phase = 0;               //!< index of the phase in the substance's chain
};

//! Fits b1..b5 to f over [tlo, thi]. When `join` is given, the enthalpy and entropy at tlo are
//! held at the values of that interval, so that a phase split into several pieces has no jump.
inline std::array<double, 5> fit_condensed(const std::function<Props(double)>& f, double tlo,
                                           double thi, const std::array<double, 5>* join = nullptr)
{
    const int n = 60;
    std::vector<long double> A, b;
    int rows = 0;
    double h0 = 0, s0 = 0;
    long double R0v = tlo * 0.001L;
    if (join) {
        const Props p = cond_poly(*join, tlo);
        h0 = p.h;
        s0 = p.s;
    }
    // points inside the interval only: at its ends the NASA data may already be that of the
    // neighbouring range, which can jump
    for (int k = 0; k <= n; ++k) {
        const double T = tlo + (thi - tlo) * (k + 0.5) / (n + 1);
        const Props p = f(T);
        const long double R = T * 0.001L, lnR = std::log(R);
        const long double RT = kRcal * static_cast<long double>(T);
        // columns b1..b5
        std::array<long double, 5> rh = {R * R * R / RT, R * R / RT, R / RT, 1 / RT, 0};
        std::array<long double, 5> rs = {0.0015L * R * R / kRcal, 0.002L * R / kRcal,
                                          0.001L * lnR / kRcal, 0, 1 / kRcal};
        std::array<long double, 5> rc = {0.003L * R * R / kRcal, 0.002L * R / kRcal,
                                          0.001L / kRcal, 0, 0};
        long double th = p.h / RT, ts = p.s / kRcal, tc = 0.25L * p.cp / kRcal;
        for (auto& x : rc) x *= 0.25L;
        if (join) {
            // b4 = h0 - (b1 R0^3 + b2 R0^2 + b3 R0); b5 = s0 - 0.001 (b3 lnR0 + 2 b2 R0 + 1.5 b1 R0^2)
            const long double L0 = std::log(R0v);
            const std::array<long double, 3> d4 = {-R0v * R0v * R0v, -R0v * R0v, -R0v};
            const std::array<long double, 3> d5 = {-0.0015L * R0v * R0v, -0.002L * R0v,
                                                    -0.001L * L0};
            th -= rh[3] * h0;
            ts -= rs[4] * s0;
            for (int j = 0; j < 3; ++j) {
                rh[j] += rh[3] * d4[j];
                rs[j] += rs[4] * d5[j];
            }
            for (int j = 0; j < 3; ++j) A.push_back(rh[j]);
            b.push_back(th);
            for (int j = 0; j < 3; ++j) A.push_back(rs[j]);
            b.push_back(ts);
            for (int j = 0; j < 3; ++j) A.push_back(rc[j]);
            b.push_back(tc);
        } else {
            for (int j = 0; j < 5; ++j) A.push_back(rh[j]);
            b.push_back(th);
            for (int j = 0; j < 5; ++j) A.push_back(rs[j]);
            b.push_back(ts);
            for (int j = 0; j < 5; ++j) A.push_back(rc[j]);
            b.push_back(tc);
        }
        rows += 3;
    }
    std::array<double, 5> out{};
    if (join) {
        auto x = least_squares(A, b, rows, 3);
        const long double L0 = std::log(R0v);
        const long double b4 = h0 - (x[0] * R0v * R0v * R0v + x[1] * R0v * R0v + x[2] * R0v);
        const long double b5 = s0 - 0.001L * (x[2] * L0 + 2 * x[1] * R0v + 1.5L * x[0] * R0v * R0v);
        out = {stored(x[0]), stored(x[1]), stored(x[2]), stored(static_cast<double>(b4)),
               stored(static_cast<double>(b5))};
    } else {
        auto x = least_squares(A, b, rows, 5);
        for (int j = 0; j < 5; ++j) out[j] = stored(x[j]);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Collision parameters
// ---------------------------------------------------------------------------------------------

//! Packs sigma [A] and eps/k [K] as the library stores them.
inline double pack_collision(double sigma, double eps)
{
    if (sigma <= 0 || eps <= 0) return 0.0;
    return std::round(sigma * 1000) * 100000.0 + std::round(eps * 10);
}

}  // namespace mklib
