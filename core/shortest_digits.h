#pragma once
// The shortest decimal digits of a double, found by integer arithmetic alone.

#include <cstdint>

namespace tev {

//! A positive decimal significand * 10^exponent; the significand has no trailing zeros.
struct DecimalDigits {
    std::uint64_t significand;
    int exponent;
};

//! The shortest decimal that reads back as |x| (x finite and nonzero): of the decimals inside
//! the interval of reals that round to |x|, one with the fewest significant digits; of those,
//! the nearest to |x|, an exact tie going to the even last digit. These are the digits the
//! standard shortest conversion (std::to_chars without a precision) writes.
DecimalDigits shortest_digits(double x);

}  // namespace tev
