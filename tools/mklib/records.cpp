// The library's number field and the program's functions of its records.
#include "tools/mklib/records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "core/constants.h"
#include "thermo/species_kernels.h"

namespace mklib {

std::string field16(double x)
{
    if (x == 0.0) x = 0.0;  // no negative zero
    char buf[64];
    std::snprintf(buf, sizeof buf, "%16.9E", x);
    std::string s(buf);
    if (s.size() != 16) throw std::runtime_error("value does not fit 16 columns: " + s);
    return s;
}

double stored(double x) { return std::strtod(field16(x).c_str(), nullptr); }

std::string write_stream(const std::vector<double>& v)
{
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += field16(v[i]);
        if (i % 10 == 9 || i + 1 == v.size()) out += '\n';
    }
    return out;
}

namespace {

Props props_of(const tev::SpeciesValues& v) { return {v.ENT, v.S, v.CP}; }

}  // namespace

Props gas_poly(const std::array<double, 9>& a, double T)
{
    const double R = T * tev::kReduced;
    return props_of(tev::polynomial_gas(a.data(), R, tev::kPerThousand * std::log(R)));
}

Props cond_poly(const std::array<double, 5>& b, double T)
{
    const double R = T * tev::kReduced;
    return props_of(tev::condensed_interval(b.data(), R, tev::kPerThousand * std::log(R)));
}

Props ion_props(const std::array<double, 9>& a, int charge, const Props& parent,
                const Props& electron, double T)
{
    const double w = tev::ion_detachment(charge, a.data(), T);
    Props p;
    p.h = tev::ion_enthalpy(charge, w, tev::kR0, T, parent.h, electron.h, electron.s);
    p.s = parent.s;
    p.cp = parent.cp;
    return p;
}

Deviation deviation(const Function& prog, const Function& nasa, double tlo, double thi,
                    double from, double to)
{
    Deviation d;
    for (double T = std::max(from, tlo); T <= std::min(to, thi) + 1e-9; T += 10) {
        const Props p = prog(T), q = nasa(T);
        d.dh = std::max(d.dh, std::fabs(p.h - q.h) * kCalJ * 1e-3);
        d.ds = std::max(d.ds, std::fabs(p.s - q.s) * kCalJ);
        d.dcp = std::max(d.dcp, std::fabs(p.cp - q.cp) * kCalJ);
        const double gp = p.h - T * p.s, gq = q.h - T * q.s;
        d.dg = std::max(d.dg, std::fabs(gp - gq) / (kRcal * T));
    }
    return d;
}

}  // namespace mklib
