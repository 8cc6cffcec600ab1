// The shortest decimal digits of a double by one scaling with a 128-bit power of ten, in
// integer arithmetic alone. Inline: it runs for every number a table writes.
//
// |x| = c * 2^q, and the reals that round to it fill an interval around it: half a unit of
// the last binary place to either side, only a quarter below where c is the smallest
// significand of its binary exponent (the doubles below are twice as dense there), ends
// included when c is even (ties round to even). Let k be the largest integer with 10^k at
// most that width. Then the interval holds at least one multiple of 10^k and at most one of
// 10^(k+1):
// - if it holds a multiple of 10^(k+1), that multiple, its trailing zeros dropped, is the
//   shortest decimal: every shorter decimal is such a multiple too;
// - otherwise every decimal in it with fewest digits is a multiple of 10^k, and the nearest
//   to |x| of them is s*10^k or (s+1)*10^k, s = floor(|x| / 10^k).
// Only the bounds, |x| and the candidates need comparing. In units of 10^k / 4 the bounds and
// |x| are X * 2^q * 10^-k for integers X = 4c - 2 (or 4c - 1), 4c, 4c + 2, and the candidates
// are multiples of 2. Each scaled value is computed as floor(X * 2^q * 10^-k) with a last bit
// set when a fraction remains ("rounding to odd"): it then compares with every even integer
// exactly as the real value does. 10^-k comes from a table as the 128-bit g just above
// 10^-k * 2^-r (2^127 <= g < 2^128); the product X * 2^h * g (h = q + r + 128, 1..4, so
// X * 2^h < 2^59) is the scaled value times 2^128, too large by less than 2^59 units. A
// fraction is read from the product's bits 2^59..2^127 only, below which that excess stays,
// and the excess cannot carry into the integer part. Both hold because the scaled value of a
// double, when not an integer, lies at least 2^-66 from every integer: the minimum and
// maximum of X * 2^q * 10^-k mod 1 over all integers 1 <= X <= 2^55 + 2, computed for every q
// and k used here by the continued-fraction (Euclid) walk over one-sided best approximations,
// are 2^-65.4 (q = 664) and 1 - 2^-63.4 (q = -166).
//
// The method is R. Giulietti's "Schubfach" ("The Schubfach way to render doubles").

#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace tev {

//! A positive decimal significand * 10^exponent; the significand has no trailing zeros.
struct DecimalDigits {
    std::uint64_t significand;
    int exponent;
};

namespace shortest_detail {

using u128 = unsigned __int128;

// The scale exponents k over the doubles: floor(log10(2^q)) for q = -1074 .. 971, and
// floor(log10(3/4 * 2^q)), which is never lower than -324, at the smallest significands.
constexpr int kMinK = -324;
constexpr int kMaxK = 292;

//! floor(q * log10(2)), exact for |q| <= 1200.
constexpr int floor_log10_pow2(int q) { return (q * 315653) >> 20; }
//! floor(q * log10(2) + log10(3/4)), exact for |q| <= 1200.
constexpr int floor_log10_three_quarters_pow2(int q) { return (q * 315653 - 131237) >> 20; }
//! floor(e * log2(10)), exact for |e| <= 400.
constexpr int floor_log2_pow10(int e) { return (e * 1741647) >> 19; }

//! For k = kMaxK .. kMinK (index kMaxK - k): floor(10^-k * 2^-r) + 1 with
//! r = floor(log2(10^-k)) - 127, so 2^127 < g < 2^128.
extern const std::array<u128, kMaxK - kMinK + 1> kScaledPow10;

//! floor(g * cp / 2^128), its last bit set when bits 2^59..2^127 of the product are not all
//! zero. The product's 64-bit words are w2 w1 w0.
inline std::uint64_t scaled(u128 g, std::uint64_t cp)
{
    const u128 low = static_cast<u128>(static_cast<std::uint64_t>(g)) * cp;
    const u128 high = static_cast<u128>(static_cast<std::uint64_t>(g >> 64)) * cp;
    const std::uint64_t carry_in = static_cast<std::uint64_t>(low >> 64);
    const std::uint64_t w1 = static_cast<std::uint64_t>(high) + carry_in;
    const std::uint64_t w2 = static_cast<std::uint64_t>(high >> 64) + (w1 < carry_in);
    return w2 | ((w1 | (static_cast<std::uint64_t>(low) >> 59)) != 0);
}

//! scaled(g, cp) from the upper 64 bits of g alone, when that is sure. The lower 64 bits add
//! less than cp * 2^64 to the product: less than cp (at most cp_max) to the fraction word w
//! (bits 2^64..2^127) of the shorter product. With 1 <= w <= 2^64 - cp_max that cannot carry
//! into the integer part and the fraction stays nonzero: the scaled value is the integer
//! part with its last bit set. Returns whether it was sure.
inline bool scaled_by_upper(std::uint64_t g_upper, std::uint64_t cp, std::uint64_t cp_max,
                            std::uint64_t& out)
{
    const u128 p = static_cast<u128>(g_upper) * cp;
    out = static_cast<std::uint64_t>(p >> 64) | 1;
    return static_cast<std::uint64_t>(p) - 1 < 0 - cp_max;
}

//! m * 10^e with the trailing zeros of m moved into e (m nonzero).
inline DecimalDigits without_trailing_zeros(std::uint64_t m, int e)
{
    if (m % 10 != 0) return {m, e};  // most often none
    while (m % 100000000 == 0) {
        m /= 100000000;
        e += 8;
    }
    if (m % 10000 == 0) {
        m /= 10000;
        e += 4;
    }
    if (m % 100 == 0) {
        m /= 100;
        e += 2;
    }
    if (m % 10 == 0) {
        m /= 10;
        e += 1;
    }
    return {m, e};
}

//! The shortest digits of c * 2^q (c nonzero) before their trailing zeros are dropped: a
//! decimal m * 10^e of as many digits as the shortest one, zeros included. `symmetric`: the
//! interval of reals that round to it reaches half a unit below, not a quarter. For a normal
//! double with the symmetric interval m has 16 or 17 digits: m lies from c to 10c, up to a
//! multiple of 10 next to it.
[[gnu::always_inline]] inline DecimalDigits padded_shortest_digits(std::uint64_t c, int q,
                                                                   bool symmetric)
{
    // The interval's ends belong to it when c is even.
    const std::uint64_t open = c & 1;
    const std::uint64_t cb = c << 2;
    const std::uint64_t cb_low = symmetric ? cb - 2 : cb - 1;
    const std::uint64_t cb_high = cb + 2;
    const int k = symmetric ? floor_log10_pow2(q) : floor_log10_three_quarters_pow2(q);
    const int h = q + floor_log2_pow10(-k) + 1;
    const u128 g = kScaledPow10[static_cast<std::size_t>(kMaxK - k)];
    // Most often the upper half of g settles all three; otherwise (about 1 value in 25, and
    // every value with a bound that scales to an integer) the full products do.
    const auto g_upper = static_cast<std::uint64_t>(g >> 64);
    std::uint64_t v = 0;
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    const std::uint64_t cp_max = cb_high << h;  // the upper bound's, the largest of the three
    if (!(scaled_by_upper(g_upper, cb << h, cp_max, v) &
          scaled_by_upper(g_upper, cb_low << h, cp_max, low) &
          scaled_by_upper(g_upper, cp_max, cp_max, high))) {
        v = scaled(g, cb << h);
        low = scaled(g, cb_low << h);
        high = scaled(g, cb_high << h);
    }

    const std::uint64_t s = v >> 2;
    // A multiple of 10^(k+1) inside: the one below |x| or the one above.
    const std::uint64_t s10 = s / 10 * 10;
    const std::uint64_t t10 = s10 + 10;
    const bool s10_in = low + open <= s10 << 2;
    const bool t10_in = (t10 << 2) + open <= high;
    if (s10_in != t10_in) return {s10_in ? s10 : t10, k};
    // Otherwise s or s + 1, whichever is inside, or the nearer (a tie to the even one).
    const std::uint64_t t = s + 1;
    const bool s_in = low + open <= s << 2;
    const bool t_in = (t << 2) + open <= high;
    if (s_in != t_in) return {s_in ? s : t, k};
    const std::uint64_t mid = (s << 2) + 2;
    return {v < mid || (v == mid && (s & 1) == 0) ? s : t, k};
}

}  // namespace shortest_detail

//! The shortest decimal that reads back as |x| (x finite and nonzero): of the decimals inside
//! the interval of reals that round to |x|, one with the fewest significant digits; of those,
//! the nearest to |x|, an exact tie going to the even last digit. These are the digits the
//! standard shortest conversion (std::to_chars without a precision) writes.
inline DecimalDigits shortest_digits(double x)
{
    using namespace shortest_detail;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t c = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int q = biased == 0 ? -1074 : biased - 1075;
    // Only a quarter unit below at the smallest significand of a normal exponent above the
    // first; the exponents of the subnormals and the first normal one share one spacing.
    const bool symmetric = fraction != 0 || biased <= 1;
    const DecimalDigits padded = padded_shortest_digits(c, q, symmetric);
    return without_trailing_zeros(padded.significand, padded.exponent);
}

}  // namespace tev
