// Fit of one phase interval of a condensed record.
#include "tools/mklib/fits.h"

#include <cmath>

namespace mklib {

std::array<double, 5> fit_condensed(const Function& f, double tlo, double thi,
                                    const std::array<double, 5>* join)
{
    const int n = 60;
    const int cols = join ? 3 : 5;  // a joined interval has b4 and b5 fixed by the join
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
            // b4 = h0 - (b1 R0^3 + b2 R0^2 + b3 R0);
            // b5 = s0 - 0.001 (b3 lnR0 + 2 b2 R0 + 1.5 b1 R0^2)
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
        }
        for (const auto& [row, target] : {std::pair{&rh, th}, {&rs, ts}, {&rc, tc}}) {
            for (int j = 0; j < cols; ++j) A.push_back((*row)[j]);
            b.push_back(target);
        }
        rows += 3;
    }
    const std::vector<double> x = least_squares(A, b, rows, cols);
    if (!join) return {stored(x[0]), stored(x[1]), stored(x[2]), stored(x[3]), stored(x[4])};
    const long double L0 = std::log(R0v);
    const long double b4 = h0 - (x[0] * R0v * R0v * R0v + x[1] * R0v * R0v + x[2] * R0v);
    const long double b5 = s0 - 0.001L * (x[2] * L0 + 2 * x[1] * R0v + 1.5L * x[0] * R0v * R0v);
    return {stored(x[0]), stored(x[1]), stored(x[2]), stored(static_cast<double>(b4)),
            stored(static_cast<double>(b5))};
}

}  // namespace mklib
