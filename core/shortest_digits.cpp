// The table of 128-bit powers of ten for shortest_digits, computed at compile time.

#include "core/shortest_digits.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace tev::shortest_detail {

namespace {

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

//! The table, by e = -k: the leading bits of 10^e for e >= 0; for e < 0 those of
//! floor(2^1271 / 10^-e), which are floor(2^-r / 10^-e) as the floor of a floor is the floor
//! of the whole quotient.
constexpr auto kTable = [] {
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

static_assert(kTable[kMaxK] == (u128{1} << 127) + 1);           // 10^0
static_assert(kTable[kMaxK + 1] == (u128{10} << 124) + 1);      // 10^1
static_assert(kTable[kMaxK - 1] ==
              (u128{0xcccccccccccccccc} << 64 | 0xcccccccccccccccc) + 1);  // 10^-1
static_assert([] {
    for (const u128 g : kTable)
        if (g >> 127 != 1) return false;  // the + 1 wrapped, or the leading bit is lost
    return true;
}());

}  // namespace

constinit const std::array<u128, kMaxK - kMinK + 1> kScaledPow10 = kTable;

}  // namespace tev::shortest_detail
