// Fits of the gas records: the polynomial of a neutral gas (or an ion without a parent) and
// the records of positive and negative ions built on their parents.
#include "tools/mklib/fits.h"

#include <cmath>

#include "core/constants.h"
#include "core/library_format.h"
#include "thermo/species_kernels.h"

namespace mklib {

std::array<double, 9> fit_gas_once(const Function& f,
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
        const double w = T < st.t_full ? st.w_below : 1.0;
        for (int j = 0; j < 9; ++j) A.push_back(w * st.wh * rh[j]);
        b.push_back(w * st.wh * p.h / RT);
        for (int j = 0; j < 9; ++j) A.push_back(w * st.ws * rs[j]);
        b.push_back(w * st.ws * p.s / kRcal);
        for (int j = 0; j < 9; ++j) A.push_back(w * st.wc * rc[j]);
        b.push_back(w * st.wc * p.cp / kRcal);
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

double min_cp(const std::array<double, 9>& a, double tlo, double thi, double* where)
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

GasFit fit_gas(const Function& f, const GasFitSettings& st)
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

std::array<double, 9> positive_ion_record(int parent_lib,
                                                 const Function& ion,
                                                 const Function& parent,
                                                 const Function& electron)
{
    auto f = [&](double T) {
        const Props pi = ion(T), pp = parent(T), pe = electron(T);
        const double w =
            ((pp.h - T * pp.s) - (pe.h - T * pe.s) - (pi.h - T * pi.s)) / (tev::kR0 * T);
        const double e = T * tev::kEvPerK;
        return w - std::log(T * tev::kDetachT) - 1.5 * std::log(e) - 10.0 * std::log(10.0) -
               std::log(tev::kQFactor);
    };
    const double f2 = f(2000), u2 = 1.0 / (2000 * tev::kEvPerK);
    long double num = 0, den = 0;
    for (double T = 300; T < 2000; T += 10) {
        const long double du = 1.0L / (T * tev::kEvPerK) - u2;  // f(T) - f2 = -a6 du
        num += -(f(T) - f2) * du;
        den += du * du;
    }
    std::array<double, 9> a{};
    a[0] = stored(parent_lib * tev::libfmt::kIonParentScale);
    a[5] = stored(static_cast<double>(num / den));
    const double Ts[4] = {2000, 3000, 4000, 5000};
    for (int k = 0; k < 4; ++k)
        a[1 + k] = stored(std::exp(f(Ts[k]) + a[5] / (Ts[k] * tev::kEvPerK)));
    return a;
}

std::array<double, 9> negative_ion_record(int parent_lib,
                                                 const Function& ion,
                                                 const Function& parent,
                                                 const Function& electron)
{
    std::vector<long double> A, b;
    int rows = 0;
    for (double T = 1500; T <= 6000; T += 25) {
        const Props pi = ion(T), pp = parent(T), pe = electron(T);
        const double w =
            ((pi.h - T * pi.s) - (pp.h - T * pp.s) - (pe.h - T * pe.s)) / (tev::kR0 * T);
        const double e = T * tev::kEvPerK;
        A.push_back(std::log(e));
        A.push_back(1.0L);
        A.push_back(-1.0L / e);
        b.push_back(w - std::log(T * tev::kDetachT));
        ++rows;
    }
    auto x = least_squares(A, b, rows, 3);
    std::array<double, 9> a{};
    a[0] = stored(-parent_lib * tev::libfmt::kIonParentScale);
    a[1] = stored(x[0]);
    a[2] = stored(x[1]);
    a[3] = stored(x[2]);
    return a;
}

}  // namespace mklib
