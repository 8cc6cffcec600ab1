// Packed composition entries: packing by OUT, unpacking of the library number by APAGE.
#include "report/composition.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/constants.h"
#include "core/library_format.h"

namespace tev {

namespace {

//! A packed entry at or above this carries a species of zero amount (1.00001 as a float).
constexpr double kZeroAmountMark = 1.0000100135803223;
static_assert(kZeroAmountMark == double(1.00001f));
//! Rounding margin when the library number is read from the fraction of an identification value.
constexpr double kNumberMargin = 0.00005;

//! 0.1 raised to k by repeated multiplication (k < 0: its reciprocal).
double tenth_power(long k)
{
    double r = 1;
    for (long i = 0; i < std::labs(k); ++i) r = r * 0.1;
    return k < 0 ? 1 / r : r;
}

//! The power of ten R that brings a fraction x > 0 into [0.1, 1), or, for a logarithm x < 0,
//! 0.1^k with k the decimal exponent of |x| (found through 1/2.3026).
double entry_scale(double x)
{
    if (x < 0)
        return tenth_power(static_cast<long>(std::trunc(std::log(std::fabs(x)) * kLog10Factor)));
    double R = 1;
    while (std::fabs(x * R) < 0.1) R = R * 10;
    return R;
}

}  // namespace

double pack_entry(double x, double w)
{
    const double number_part = w - std::trunc(w);  // library number / 10^4
    if (x == 0) return w;
    const double R = entry_scale(x);
    const double m = std::trunc(std::fabs(x * R * 1e6) + 0.5);
    const double packed = (m + number_part) / R * 1e-6;
    return x > 0 ? packed : -packed;
}

int unpack_number(double& v)
{
    if (v >= kZeroAmountMark) {
        const double fraction = v - std::trunc(v) + kNumberMargin;
        const int number = static_cast<int>(std::trunc(fraction * libfmt::kNumberScale));
        v = 0;
        return number;
    }
    const double R = entry_scale(v);
    // Up to 1e11: the difference is formed in 64-bit integers.
    const auto all_digits = static_cast<std::int64_t>(std::trunc(std::fabs(v * R * 1e10) + 0.5));
    const auto value_digits = static_cast<std::int64_t>(std::trunc(std::fabs(v * R * 1e6)));
    return static_cast<int>(all_digits - 10000 * value_digits);
}

}  // namespace tev
