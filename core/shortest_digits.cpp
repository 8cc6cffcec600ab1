// The shortest decimal digits of a double by scaling with a 128-bit power of ten.
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
// X * 2^h < 2^59) is the scaled value times 2^128, too large by less than 2^59 units. A fraction is
// read from the product's bits 2^59..2^127 only, below which that excess stays, and the excess
// cannot carry into the integer part. Both are exact because the scaled value of a double, when
// not an integer, lies at least 2^-66 from every integer: the minimum and maximum of
// X * 2^q * 10^-k mod 1 over all integers 1 <= X <= 2^55 + 2, computed for every q and k used
// here by the continued-fraction (Euclid) walk over one-sided best approximations, are
// 2^-65.4 (q = 664) and 1 - 2^-63.4 (q = -166).
//
// The method is R. Giulietti's "Schubfach" ("The Schubfach way to render doubles").

#include "core/shortest_digits.h"

#include <array>
#include <bit>
#include <cstddef>

namespace tev {

namespace {

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

// An unsigned integer of 40 32-bit limbs, least significant first: room for 10^324 and for
// 2^1271, the numerator of the negative powers.
struct Big {
    std::array<std::uint32_t, 40> limb{};
};

constexpr void multiply(Big& b, std::uint32_t m)
{
    std::uint64_t carry = 0;
    for (auto& l : b.limb) {
        const std::uint64_t t = std::uint64_t{l} * m + carry;
        l = static_cast<std::uint32_t>(t);
        carry = t >> 32;
    }
}

constexpr void divide(Big& b, std::uint32_t d)
{
    std::uint64_t rest = 0;
    for (std::size_t i = b.limb.size(); i-- > 0;) {
        const std::uint64_t t = (rest << 32) | b.limb[i];
        b.limb[i] = static_cast<std::uint32_t>(t / d);
        rest = t % d;
    }
}

//! The 128 leading bits of b (b nonzero), zeros appended below a shorter b.
constexpr u128 leading_bits(const Big& b)
{
    std::size_t n = b.limb.size() - 1;
    while (b.limb[n] == 0) --n;
    // The bit of b at position i goes to position i - lowest of the result.
    const int lowest = static_cast<int>(32 * n) + std::bit_width(b.limb[n]) - 128;
    u128 g = 0;
    for (std::size_t j = 0; j <= n; ++j) {
        const int shift = static_cast<int>(32 * j) - lowest;
        if (shift >= 0)
            g |= u128{b.limb[j]} << shift;
        else if (shift > -32)
            g |= u128{b.limb[j] >> -shift};
    }
    return g;
}

//! For e = -k, k = kMaxK .. kMinK: floor(10^e * 2^-r) + 1 with r = floor(log2(10^e)) - 127.
//! The leading bits of 10^e for e >= 0; for e < 0 those of floor(2^1271 / 10^-e), which are
//! floor(2^-r / 10^-e) as the floor of a floor is the floor of the whole quotient.
constexpr auto kScaledPow10 = [] {
    std::array<u128, kMaxK - kMinK + 1> g{};
    Big p;
    p.limb[0] = 1;
    for (int e = 0; e <= -kMinK; ++e) {
        g[static_cast<std::size_t>(e + kMaxK)] = leading_bits(p) + 1;
        multiply(p, 10);
    }
    Big y;
    y.limb.back() = std::uint32_t{1} << 23;
    for (int e = -1; e >= -kMaxK; --e) {
        divide(y, 10);
        g[static_cast<std::size_t>(e + kMaxK)] = leading_bits(y) + 1;
    }
    return g;
}();

static_assert(kScaledPow10[kMaxK] == (u128{1} << 127) + 1);           // 10^0
static_assert(kScaledPow10[kMaxK + 1] == (u128{10} << 124) + 1);      // 10^1
static_assert(kScaledPow10[kMaxK - 1] ==
              (u128{0xcccccccccccccccc} << 64 | 0xcccccccccccccccc) + 1);  // 10^-1

//! floor(g * cp / 2^128), its last bit set when bits 2^59..2^127 of the product are not all zero.
inline std::uint64_t scaled(u128 g, std::uint64_t cp)
{
    const u128 low = static_cast<u128>(static_cast<std::uint64_t>(g)) * cp;
    const u128 high = static_cast<u128>(static_cast<std::uint64_t>(g >> 64)) * cp + (low >> 64);
    const std::uint64_t fraction =
        static_cast<std::uint64_t>(high) | (static_cast<std::uint64_t>(low) >> 59);
    return static_cast<std::uint64_t>(high >> 64) | (fraction != 0);
}

//! m * 10^e with the trailing zeros of m moved into e (m nonzero).
DecimalDigits without_trailing_zeros(std::uint64_t m, int e)
{
    if (m % 10 != 0) return {m, e};  // most often the zero just dropped was the only one
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

}  // namespace

DecimalDigits shortest_digits(double x)
{
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t c = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int q = biased == 0 ? -1074 : biased - 1075;
    // The interval's ends belong to it when c is even.
    const std::uint64_t open = c & 1;
    // Only a quarter unit below at the smallest significand of a normal exponent above the
    // first; the exponents of the subnormals and the first normal one share one spacing.
    const bool symmetric = fraction != 0 || biased <= 1;
    const std::uint64_t cb = c << 2;
    const std::uint64_t cb_low = symmetric ? cb - 2 : cb - 1;
    const std::uint64_t cb_high = cb + 2;
    const int k = symmetric ? floor_log10_pow2(q) : floor_log10_three_quarters_pow2(q);
    const int h = q + floor_log2_pow10(-k) + 1;
    const u128 g = kScaledPow10[static_cast<std::size_t>(kMaxK - k)];
    const std::uint64_t v = scaled(g, cb << h);
    const std::uint64_t low = scaled(g, cb_low << h);
    const std::uint64_t high = scaled(g, cb_high << h);

    const std::uint64_t s = v >> 2;
    // A multiple of 10^(k+1) inside: the one below |x| or the one above.
    const std::uint64_t s10 = s / 10 * 10;
    const std::uint64_t t10 = s10 + 10;
    const bool s10_in = low + open <= s10 << 2;
    const bool t10_in = (t10 << 2) + open <= high;
    if (s10_in != t10_in) return without_trailing_zeros((s10_in ? s10 : t10) / 10, k + 1);
    // Otherwise s or s + 1, whichever is inside, or the nearer (a tie to the even one).
    const std::uint64_t t = s + 1;
    const bool s_in = low + open <= s << 2;
    const bool t_in = (t << 2) + open <= high;
    if (s_in != t_in) return {s_in ? s : t, k};
    const std::uint64_t mid = (s << 2) + 2;
    return {v < mid || (v == mid && (s & 1) == 0) ? s : t, k};
}

}  // namespace tev
