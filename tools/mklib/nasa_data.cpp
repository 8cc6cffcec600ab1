// Reading the NASA Glenn thermo.inp records and evaluating their 9-coefficient functions.
#include "tools/mklib/nasa_data.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace mklib {

namespace {

//! Reads a real written with a Fortran D or E exponent; blank reads as 0.
double read_real(const std::string& line, std::size_t pos, std::size_t len)
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

std::string trimmed(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

//! One temperature interval: its line of range and exponents, then two lines of coefficients.
NasaInterval read_interval(const std::string& t, const std::string& c1, const std::string& c2)
{
    NasaInterval v;
    v.tlo = read_real(t, 0, 11);
    v.thi = read_real(t, 11, 11);
    // Only the standard exponent set -2..4 is used by the NASA file.
    if (read_real(t, 23, 5) != -2.0 || read_real(t, 53, 5) != 4.0)
        throw std::runtime_error("unexpected exponents");
    for (int j = 0; j < 5; ++j) v.a[j] = read_real(c1, 16 * j, 16);
    v.a[5] = read_real(c2, 0, 16);
    v.a[6] = read_real(c2, 16, 16);
    v.b1 = read_real(c2, 48, 16);
    v.b2 = read_real(c2, 64, 16);
    return v;
}

//! The record starting at lines[i] (name line, then the line of counts, formula, phase,
//! molecular weight and heat of formation, then its intervals or the line of the assigned
//! temperature); i moves past it.
NasaSpecies read_record(const std::vector<std::string>& lines, std::size_t& i)
{
    NasaSpecies sp;
    const std::string& head = lines[i];
    std::istringstream first(head.substr(0, std::min<std::size_t>(18, head.size())));
    first >> sp.name;
    if (head.size() > 18) sp.comment = trimmed(head.substr(18));
    try {
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
            if (i >= lines.size()) throw std::runtime_error("short record");
            sp.t_assigned = read_real(lines[i], 0, 11);
            i += 1;
            return sp;
        }
        for (int k = 0; k < nint; ++k) {
            if (i + 2 >= lines.size()) throw std::runtime_error("short record");
            sp.iv.push_back(read_interval(lines[i], lines[i + 1], lines[i + 2]));
            i += 3;
        }
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("thermo.inp record " + sp.name + ": " + e.what());
    }
    return sp;
}

std::vector<NasaSpecies> read_section(const std::vector<std::string>& lines)
{
    std::vector<NasaSpecies> out;
    std::size_t i = 0;
    while (i + 1 < lines.size()) {
        out.push_back(read_record(lines, i));
        out.back().order = static_cast<int>(out.size()) - 1;
    }
    return out;
}

}  // namespace

double entropy_bar_to_atm() { return kRcal * std::log(1.01325); }

NasaData read_thermo(std::istream& in)
{
    std::vector<std::string> products, reactants;
    std::vector<std::string>* section = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!section) {
            if (line.rfind("thermo", 0) == 0) {
                section = &products;
                std::getline(in, line);  // global temperature ranges and date
            }
            continue;
        }
        if (line.rfind("END REACTANTS", 0) == 0) break;
        if (line.rfind("END PRODUCTS", 0) == 0) {
            section = &reactants;
            continue;
        }
        if (!line.empty() && line[0] == '!') continue;
        section->push_back(line);
    }
    return {read_section(products), read_section(reactants)};
}

void nasa_interval(const NasaInterval& v, double T, double& cpr, double& hrt, double& sr)
{
    const auto& a = v.a;
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
    cpr = a[0] / T2 + a[1] / T + a[2] + a[3] * T + a[4] * T2 + a[5] * T3 + a[6] * T4;
    hrt = -a[0] / T2 + a[1] * std::log(T) / T + a[2] + a[3] * T / 2 + a[4] * T2 / 3 +
          a[5] * T3 / 4 + a[6] * T4 / 5 + v.b1 / T;
    sr = -a[0] / T2 / 2 - a[1] / T + a[2] * std::log(T) + a[3] * T + a[4] * T2 / 2 +
         a[5] * T3 / 3 + a[6] * T4 / 4 + v.b2;
}

Props nasa_props(const NasaSpecies& sp, double T)
{
    double cpr = 0, hrt = 0, sr = 0;
    const NasaInterval& last = sp.iv.back();
    if (T > last.thi) {
        const double Tt = last.thi;
        nasa_interval(last, Tt, cpr, hrt, sr);
        Props p;
        p.cp = cpr * kRcal;
        p.h = hrt * kRcal * Tt + p.cp * (T - Tt);
        p.s = sr * kRcal + p.cp * std::log(T / Tt);
        return p;
    }
    const NasaInterval* use = &sp.iv.front();
    for (const NasaInterval& v : sp.iv)
        if (T >= v.tlo) use = &v;
    nasa_interval(*use, T, cpr, hrt, sr);
    return {hrt * kRcal * T, sr * kRcal, cpr * kRcal};
}

Props nasa_gas_props(const NasaSpecies& sp, double T)
{
    Props p = nasa_props(sp, T);
    p.s -= entropy_bar_to_atm();
    return p;
}

}  // namespace mklib
