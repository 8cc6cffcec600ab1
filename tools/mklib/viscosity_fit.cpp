// Collision parameters fitted to NASA's viscosity fits.
#include "tools/mklib/viscosity_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "thermo/viscosity.h"

namespace mklib {

namespace {

std::string trim(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

//! A Fortran real of the file; "0.61205763E 00" has a blank for the exponent's plus sign.
double fortran_field(const std::string& line, std::size_t pos, std::size_t len)
{
    std::string s = pos < line.size() ? line.substr(pos, len) : std::string();
    for (char& c : s) {
        if (c == 'D' || c == 'd') c = 'E';
    }
    const auto e = s.find("E ");
    if (e != std::string::npos) s[e + 1] = '+';
    return std::strtod(s.c_str(), nullptr);
}

//! A sample of NASA's viscosity: temperature, weight and ln(eta [poise]).
struct Sample {
    double T, w, ln_eta;
};

//! Best ln sigma for the well depth eps, and the weighted sum of squared log deviations it
//! leaves (ss, when asked for).
double best_ln_sigma(const std::vector<Sample>& s, double mk, double eps, double* ss)
{
    double sw = 0, swr = 0;
    std::vector<double> r(s.size());
    for (std::size_t k = 0; k < s.size(); ++k) {
        // ln eta(sigma) = ln eta(1) - 2 ln sigma
        r[k] = std::log(tev::pure_gas_viscosity(mk, s[k].T, 1.0, eps)) - s[k].ln_eta;
        sw += s[k].w;
        swr += s[k].w * r[k];
    }
    const double two_ln_sigma = swr / sw;
    if (ss) {
        double q = 0;
        for (std::size_t k = 0; k < s.size(); ++k)
            q += s[k].w * (r[k] - two_ln_sigma) * (r[k] - two_ln_sigma);
        *ss = q;
    }
    return 0.5 * two_ln_sigma;
}

}  // namespace

std::map<std::string, ViscosityFit> read_trans(std::istream& in)
{
    std::map<std::string, ViscosityFit> out;
    std::string line;
    ViscosityFit* cur = nullptr;
    std::getline(in, line);  // title
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] != ' ') {
            // species line: one name in columns 1-16, a second one (a binary pair) in 17-32
            cur = nullptr;
            const std::string n1 = trim(line.substr(0, std::min<std::size_t>(16, line.size())));
            if (n1 == "end") break;
            if (line.size() > 16 && !trim(line.substr(16, 16)).empty()) continue;
            cur = &out[n1];
            cur->source = line.size() > 40 ? trim(line.substr(40)) : std::string();
            continue;
        }
        if (cur == nullptr || line.size() < 2 || line[1] != 'V') continue;
        // " V  200.0   1000.0   0.61205763E 00-0.67714354E 02 ...": the range in columns
        // 3-20, then A, B, C, D in fields of 15
        TransInterval v;
        v.tlo = fortran_field(line, 2, 9);
        v.thi = fortran_field(line, 11, 9);
        v.A = fortran_field(line, 20, 15);
        v.B = fortran_field(line, 35, 15);
        v.C = fortran_field(line, 50, 15);
        v.D = fortran_field(line, 65, 15);
        cur->visc.push_back(v);
    }
    for (auto it = out.begin(); it != out.end();) {
        if (it->second.visc.empty())
            it = out.erase(it);
        else
            ++it;
    }
    return out;
}

double nasa_viscosity(const ViscosityFit& f, double T)
{
    const TransInterval* use = &f.visc.front();
    for (const auto& v : f.visc) {
        if (T >= v.tlo) use = &v;
    }
    const double lnT = std::log(T);
    return std::exp(use->A * lnT + use->B / T + use->C / (T * T) + use->D) * 1e-6;
}

CollisionFit fit_collision(const ViscosityFit& f, double mk, const CollisionFitSettings& st)
{
    CollisionFit out;
    if (f.visc.empty() || !(mk > 0)) return out;
    out.tlo = std::max(st.t_low, f.visc.front().tlo);
    out.thi = std::min(st.t_main_hi, f.visc.back().thi);
    std::vector<Sample> s;
    for (double T = out.tlo; T <= out.thi + 1e-9; T += st.step)
        s.push_back({T, T < st.t_main_lo ? st.w_low : 1.0, std::log(nasa_viscosity(f, T))});
    if (s.size() < 2) return out;

    auto cost = [&](double ln_eps) {
        double q = 0;
        best_ln_sigma(s, mk, std::exp(ln_eps), &q);
        return q;
    };
    // scan, then golden section between the neighbours of the best node
    const double lo = 0, hi = std::log(20000.0);
    constexpr int kNodes = 400;
    int best = 0;
    double best_q = 1e300;
    for (int k = 0; k <= kNodes; ++k) {
        const double q = cost(lo + (hi - lo) * k / kNodes);
        if (q < best_q) {
            best_q = q;
            best = k;
        }
    }
    double a = lo + (hi - lo) * std::max(best - 1, 0) / kNodes;
    double b = lo + (hi - lo) * std::min(best + 1, kNodes) / kNodes;
    const double g = 0.5 * (std::sqrt(5.0) - 1);
    double c = b - g * (b - a), d = a + g * (b - a);
    double qc = cost(c), qd = cost(d);
    for (int it = 0; it < 100; ++it) {
        if (qc < qd) {
            b = d;
            d = c;
            qd = qc;
            c = b - g * (b - a);
            qc = cost(c);
        } else {
            a = c;
            c = d;
            qc = qd;
            d = a + g * (b - a);
            qd = cost(d);
        }
    }
    out.eps = std::round(std::exp(0.5 * (a + b)) * 10) / 10;
    out.sigma = std::round(std::exp(best_ln_sigma(s, mk, out.eps, nullptr)) * 1000) / 1000;

    double sw = 0, sq = 0;
    for (const Sample& p : s) {
        const double dev =
            tev::pure_gas_viscosity(mk, p.T, out.sigma, out.eps) / std::exp(p.ln_eta) - 1;
        sw += p.w;
        sq += p.w * dev * dev;
        double& m = p.T < st.t_main_lo ? out.max_low : out.max_main;
        m = std::max(m, std::fabs(dev));
    }
    out.rms = std::sqrt(sq / sw);
    return out;
}

}  // namespace mklib
