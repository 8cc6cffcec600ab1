// The layout interpreter: parses Fortran-style edit descriptors and applies them to values.
#include "core/layout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "core/errors.h"
#include "core/shortest_digits.h"

namespace tev {

//! One item of a parsed layout; a group holds its items and repeat count.
struct LayoutItem {
    enum class Op { Text, Skip, Slash, Int, Name, Real, Group };
    Op op = Op::Text;
    char desc = 0;                   //!< 'I', 'A', 'F', 'E', 'D', 'G' for value items
    int w = 0;                       //!< field width (Skip: columns; Name: 0 = the name's length)
    int d = 0;                       //!< digits after the point (F), significant digits (E, D, G)
    int repeat = 1;                  //!< repeat count of the item or group
    std::string text;                //!< the characters of a text item
    std::vector<LayoutItem> items;   //!< items of a group
};

//! One step of applying a layout: an item with its repeat count expanded.
struct LayoutAtom {
    LayoutItem::Op op = LayoutItem::Op::Text;
    char desc = 0;
    int w = 0;
    int d = 0;
    //! A text step's characters; in a value's step of Layout::out_atoms_, the text that
    //! follows its field (written right after it).
    std::string text;
    // Writing only (the steps of Layout::out_atoms_):
    int lead = 0;  //!< a value's field: blanks of nX before it, written when a value comes
    static constexpr std::size_t kShort = 16;
    //! A text of at most kShort characters, blanks after it: it moves in one copy of fixed size.
    std::array<char, kShort> short_text{};
};

namespace {

using Op = LayoutItem::Op;

bool is_value(Op op) { return op == Op::Int || op == Op::Name || op == Op::Real; }

[[noreturn]] void bad_layout(std::string_view text, std::size_t pos, const std::string& why)
{
    throw std::logic_error("layout \"" + std::string(text) + "\" at column " +
                           std::to_string(pos + 1) + ": " + why);
}

//! Recursive-descent parser of the layout notation.
class Parser {
public:
    explicit Parser(std::string_view t) : t_(t) {}

    std::vector<LayoutItem> parse()
    {
        skip_blanks();
        std::vector<LayoutItem> items;
        if (wraps_whole()) {
            ++p_;
            items = list(true);
        } else {
            items = list(false);
        }
        skip_blanks();
        if (p_ != t_.size()) bad_layout(t_, p_, "unexpected character");
        return items;
    }

private:
    // True when the text is one parenthesised list: "(...)" whose ')' is the last character.
    bool wraps_whole() const
    {
        if (p_ >= t_.size() || t_[p_] != '(') return false;
        int depth = 0;
        bool quoted = false;
        std::size_t last = t_.find_last_not_of(" \t");
        for (std::size_t k = p_; k < t_.size(); ++k) {
            const char c = t_[k];
            if (c == '\'') quoted = !quoted;
            if (quoted) continue;
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) return k == last;
        }
        return false;
    }

    void skip_blanks()
    {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t')) ++p_;
    }

    int number()
    {
        int n = 0;
        const std::size_t start = p_;
        while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9') {
            n = n * 10 + (t_[p_] - '0');
            if (n > 1000000) bad_layout(t_, start, "number too large");
            ++p_;
        }
        if (p_ == start) bad_layout(t_, p_, "number expected");
        return n;
    }

    bool digit_next() const { return p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9'; }

    // Items up to the closing ')' (when `closed`) or the end of the text.
    std::vector<LayoutItem> list(bool closed)
    {
        std::vector<LayoutItem> items;
        for (;;) {
            skip_blanks();
            if (p_ == t_.size()) {
                if (closed) bad_layout(t_, p_, "missing ')'");
                return items;
            }
            const char c = t_[p_];
            if (c == ')') {
                if (!closed) bad_layout(t_, p_, "unbalanced ')'");
                ++p_;
                return items;
            }
            if (c == ',') {
                ++p_;
                continue;
            }
            items.push_back(item());
        }
    }

    LayoutItem item()
    {
        LayoutItem it;
        const std::size_t start = p_;
        int repeat = 1;
        bool counted = false;
        if (digit_next()) {
            repeat = number();
            counted = true;
            skip_blanks();
        }
        if (p_ == t_.size()) bad_layout(t_, p_, "item expected");
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t_[p_])));
        if (counted && repeat == 0) bad_layout(t_, start, "zero repeat count");
        if (c == '(') {
            ++p_;
            it.op = Op::Group;
            it.repeat = repeat;
            it.items = list(true);
            return it;
        }
        if (c == '/') {
            ++p_;
            it.op = Op::Slash;
            it.repeat = repeat;
            return it;
        }
        if (c == '\'') {
            if (counted) bad_layout(t_, start, "repeat count before text");
            ++p_;
            it.op = Op::Text;
            for (;;) {
                if (p_ == t_.size()) bad_layout(t_, start, "unterminated text");
                if (t_[p_] == '\'') {
                    if (p_ + 1 < t_.size() && t_[p_ + 1] == '\'') {
                        it.text += '\'';
                        p_ += 2;
                        continue;
                    }
                    ++p_;
                    return it;
                }
                it.text += t_[p_++];
            }
        }
        ++p_;
        switch (c) {
        case 'X':
            it.op = Op::Skip;
            it.w = repeat;
            return it;
        case 'I':
            it.op = Op::Int;
            it.desc = 'I';
            it.w = number();
            break;
        case 'A':
            it.op = Op::Name;
            it.desc = 'A';
            if (digit_next()) it.w = number();
            break;
        case 'F':
        case 'E':
        case 'D':
        case 'G':
            it.op = Op::Real;
            it.desc = c;
            it.w = number();
            if (p_ == t_.size() || t_[p_] != '.') bad_layout(t_, p_, "'.' expected");
            ++p_;
            it.d = number();
            if (c != 'F' && it.d == 0) bad_layout(t_, start, "no significant digits");
            break;
        default:
            bad_layout(t_, start, "unknown item");
        }
        if (it.w == 0 && it.op != Op::Name) bad_layout(t_, start, "zero field width");
        it.repeat = repeat;
        return it;
    }

    std::string_view t_;
    std::size_t p_ = 0;
};

//! At most how many atoms the items expand to (a text counts once, though its repeats may join
//! others): room for that many, up to a bound, is made at once.
std::size_t atom_bound(const std::vector<LayoutItem>& items)
{
    constexpr std::size_t kMost = 1 << 20;  // repeat counts are at most 10^6: no overflow
    std::size_t n = 0;
    for (const auto& it : items) {
        const auto r = static_cast<std::size_t>(it.repeat);
        if (it.op == Op::Group)
            n += r * atom_bound(it.items);
        else
            n += it.op == Op::Text ? 1 : r;
        n = std::min(n, kMost);
    }
    return n;
}

//! Appends the atoms of item `it` to `out`. A text right after a text that the same top-level
//! item gave (out[first] on) joins it: "120('.')" is one atom of 120 points.
void expand(const LayoutItem& it, std::vector<LayoutAtom>& out, std::size_t first)
{
    for (int r = 0; r < it.repeat; ++r) {
        if (it.op == Op::Group) {
            for (const auto& sub : it.items) expand(sub, out, first);
        } else if (it.op == Op::Text && out.size() > first && out.back().op == Op::Text) {
            out.back().text += it.text;
        } else {
            out.push_back(LayoutAtom{it.op, it.desc, it.w, it.d, it.text});
        }
    }
}

std::string asterisks(int w) { return std::string(static_cast<std::size_t>(w), '*'); }

//! Appends characters to a text through a pointer: room is made in large steps, the
//! characters are stored straight into it, and the text is cut to the characters written when
//! the TextOut ends (also when an exception leaves the writing).
class TextOut {
public:
    explicit TextOut(std::string& s) : str_(&s)
    {
        begin_ = s.data();
        cur_ = end_ = begin_ + s.size();
    }
    explicit TextOut(TextBuffer& b) : buf_(&b)
    {
        begin_ = b.room(1) - b.size();  // storage from the start: no pointer is null
        cur_ = begin_ + b.size();
        end_ = begin_ + b.capacity();
    }
    ~TextOut()
    {
        if (str_)
            str_->resize(size());
        else
            buf_->resize_within(size());
    }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    std::size_t size() const { return static_cast<std::size_t>(cur_ - begin_); }
    const char* data() const { return begin_; }
    void clear() { cur_ = begin_; }
    //! Where n more characters go; advance() then counts those written.
    char* room(std::size_t n)
    {
        if (static_cast<std::size_t>(end_ - cur_) < n) grow(n);
        return cur_;
    }
    void advance(std::size_t n) { cur_ += n; }
    void append(const char* p, std::size_t n)
    {
        std::memcpy(room(n), p, n);
        cur_ += n;
    }
    void append(std::size_t n, char c)
    {
        std::memset(room(n), c, n);
        cur_ += n;
    }
    TextOut& operator+=(const std::string& t)
    {
        append(t.data(), t.size());
        return *this;
    }
    TextOut& operator+=(char c)
    {
        *room(1) = c;
        ++cur_;
        return *this;
    }

private:
    void grow(std::size_t n)
    {
        const std::size_t len = size();
        if (str_) {
            str_->resize(std::max(len + n, 2 * str_->size() + 128));
            begin_ = str_->data();
            end_ = begin_ + str_->size();
        } else {
            buf_->resize_within(len);
            begin_ = buf_->room(n) - len;
            end_ = begin_ + buf_->capacity();
        }
        cur_ = begin_ + len;
    }

    std::string* str_ = nullptr;
    TextBuffer* buf_ = nullptr;
    char* begin_ = nullptr;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

//! Blanks that a short run of them is copied from.
constexpr std::size_t kBlankRun = 32;
constexpr auto kBlanks = [] {
    std::array<char, kBlankRun> b{};
    b.fill(' ');
    return b;
}();

[[gnu::always_inline]] inline void append_blanks(TextOut& out, std::size_t n)
{
    if (n <= kBlankRun) {
        std::memcpy(out.room(kBlankRun), kBlanks.data(), kBlankRun);  // the rest is overwritten
        out.advance(n);
    } else {
        out.append(n, ' ');
    }
}

//! Appends the text of a text step.
void append_text(TextOut& out, const LayoutAtom& a)
{
    const std::size_t n = a.text.size();
    if (n <= LayoutAtom::kShort) {
        std::memcpy(out.room(LayoutAtom::kShort), a.short_text.data(), LayoutAtom::kShort);
        out.advance(n);
    } else {
        out.append(a.text.data(), n);
    }
}

//! Appends the characters [first, last) right-justified in w columns to `out`; asterisks when
//! they do not fit.
void append_justified(TextOut& out, const char* first, const char* last, int w)
{
    const auto n = static_cast<std::size_t>(last - first);
    const auto width = static_cast<std::size_t>(w);
    if (n > width) {
        out.append(width, '*');
        return;
    }
    append_blanks(out, width - n);
    out.append(first, n);
}

//! A number's field composed right-aligned in a buffer of blanks: its characters end at
//! end(), and the blanks before them and room after them let a narrow field move in one copy
//! of fixed size.
class Field {
public:
    static constexpr std::size_t kRoom = 48;   //!< characters a field composed here may hold
    static constexpr std::size_t kCopy = 32;   //!< widths up to this move in one copy

    //! Blanks where put() may read them: the kCopy columns before end() (a wider field is
    //! copied from its first character).
    Field() { std::memset(buf_ + kRoom - kCopy, ' ', kCopy); }
    char* end() { return buf_ + kRoom; }
    //! Appends the field [first, end()) right-justified in w columns to `out`; asterisks when
    //! it does not fit.
    void put(TextOut& out, const char* first, int w)
    {
        const auto n = static_cast<std::size_t>(end() - first);
        const auto width = static_cast<std::size_t>(w);
        if (n > width) {
            out.append(width, '*');
        } else if (width <= kCopy) {
            // The field's blanks and characters, then bytes past the field (room that the
            // text after it overwrites or that is cut off).
            std::memcpy(out.room(kCopy), end() - width, kCopy);
            out.advance(width);
        } else {
            append_justified(out, first, end(), w);
        }
    }

private:
    char buf_[kRoom + kCopy];
};

// Infinity and not-a-number fill the field with asterisks, as a number too large for it: a
// report never shows them as if they were results.
std::string non_finite(int w, double) { return asterisks(w); }

//! The d significant digits of |x|, correctly rounded, and the decimal exponent e of the
//! rounded value (first digit at 10^e). Zero gives d zeros and exponent 0.
void significant_digits(double x, int d, std::string& digits, int& e)
{
    if (x == 0) {
        digits.assign(static_cast<std::size_t>(d), '0');
        e = 0;
        return;
    }
    // The digits, a point and an exponent of up to three digits with its letter and sign:
    // room on the stack for the common lengths.
    const auto room = static_cast<std::size_t>(d) + 8;
    char small[64];
    std::string large;
    if (room > sizeof small) large.resize(room);
    char* const buf = room > sizeof small ? large.data() : small;
    const auto res =
        std::to_chars(buf, buf + room, std::fabs(x), std::chars_format::scientific, d - 1);
    const std::string s(buf, res.ptr);
    const std::size_t epos = s.find('e');
    digits.clear();
    for (std::size_t k = 0; k < epos; ++k)
        if (s[k] != '.') digits += s[k];
    e = std::atoi(s.c_str() + epos + 1);
}

bool all_zero_digits(const char* first, const char* last)
{
    for (; first != last; ++first)
        if (*first >= '1' && *first <= '9') return false;
    return true;
}

using u128 = unsigned __int128;

//! 10^k as 128-bit integers, k = 0..38.
constexpr auto kPow10 = [] {
    std::array<u128, 39> p{};
    p[0] = 1;
    for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
    return p;
}();

//! A finite nonzero |x| as m * 2^q with m an integer below 2^53.
void binary_parts(double ax, std::uint64_t& m, int& q)
{
    const auto bits = std::bit_cast<std::uint64_t>(ax);
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    m = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) {
        q = -1074;
    } else {
        m |= std::uint64_t{1} << 52;
        q = biased - 1075;
    }
}

//! How the remainder r of a division by den compares with half of den: -1 below, 0 equal,
//! 1 above.
int half_compare(u128 r, u128 den)
{
    const u128 rest = den - r;
    return r < rest ? -1 : r == rest ? 0 : 1;
}

//! How the bits of num below 2^s (the remainder of a division by 2^s) compare with half of
//! 2^s: -1 below, 0 equal, 1 above (0 < s < 128). In 64-bit words: from 2^64 on, the bits
//! of the upper word below 2^(s-64) against its half, then the lower word against zero.
int low_bits_half_compare(u128 num, int s)
{
    const auto low = static_cast<std::uint64_t>(num);
    if (s <= 64) {
        const std::uint64_t r = s == 64 ? low : low & ((std::uint64_t{1} << s) - 1);
        const std::uint64_t half = std::uint64_t{1} << (s - 1);
        return r < half ? -1 : r == half ? 0 : 1;
    }
    const int t = s - 64;
    const std::uint64_t r = static_cast<std::uint64_t>(num >> 64) & ((std::uint64_t{1} << t) - 1);
    const std::uint64_t half = std::uint64_t{1} << (t - 1);
    if (r != half) return r < half ? -1 : 1;
    return low == 0 ? 0 : 1;
}

//! The integer quotient of num / 2^s rounded to nearest, ties to even (0 <= s < 128).
u128 shift_rounded(u128 num, int s)
{
    if (s == 0) return num;
    const u128 n = num >> s;
    const int c = low_bits_half_compare(num, s);
    return n + ((c > 0 || (c == 0 && (n & 1) != 0)) ? 1 : 0);
}

//! |x| * 10^d rounded to the nearest integer, ties to even: the digits of the correctly
//! rounded fixed form of the exact binary value. Computed exactly in integers; false (n
//! untouched) when the result or d leaves the range this covers.
bool scaled_integer(double ax, int d, std::uint64_t& n)
{
    if (d < 0 || d > 19) return false;
    if (ax == 0) {
        n = 0;
        return true;
    }
    std::uint64_t m = 0;
    int q = 0;
    binary_parts(ax, m, q);
    const u128 num = u128{m} * kPow10[static_cast<std::size_t>(d)];  // below 2^117
    u128 r = 0;
    if (q >= 0) {
        if (q > 10) return false;
        r = num << q;
    } else if (q <= -118) {
        r = 0;  // num < 2^117 <= 2^(-q-1): below half of the divisor
    } else {
        r = shift_rounded(num, -q);
    }
    if ((r >> 64) != 0) return false;
    n = static_cast<std::uint64_t>(r);
    return true;
}

//! The d significant digits of |x| correctly rounded (ties to even), as the integer n with
//! 10^(d-1) <= n < 10^d, and the decimal exponent e of the rounded value's first digit; zero
//! gives n = 0 and e = 0. Computed exactly in integers; false when d or x leaves the range
//! this covers.
bool significant_integer(double x, int d, std::uint64_t& n, int& e)
{
    if (d < 1 || d > 17 || !std::isfinite(x)) return false;
    if (x == 0) {
        n = 0;
        e = 0;
        return true;
    }
    const double ax = std::fabs(x);
    std::uint64_t m = 0;
    int q = 0;
    binary_parts(ax, m, q);
    const u128 low = kPow10[static_cast<std::size_t>(d - 1)];
    const u128 high = kPow10[static_cast<std::size_t>(d)];
    // A first guess of the exponent from the binary one (floor of its power of two's decimal
    // logarithm, 78913 / 2^18 being log10(2) rounded down), corrected below from the exact
    // quotient.
    const int top = q + static_cast<int>(std::bit_width(m)) - 1;  // 2^top <= |x| < 2^(top+1)
    int e0 = top >= 0 ? (top * 78913) >> 18 : -((-top * 78913 + (1 << 18) - 1) >> 18);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int p = d - 1 - e0;  // the digits are |x| * 10^p
        u128 whole = 0;
        int c = -1;  // the discarded part against one half
        if (p >= 0) {
            if (p > 22) return false;
            const u128 num = u128{m} * kPow10[static_cast<std::size_t>(p)];  // below 2^127
            if (q >= 0) {
                if (q > 63 || (num >> (127 - q)) != 0) return false;
                whole = num << q;
            } else {
                const int s = -q;
                if (s >= 127) return false;
                whole = num >> s;
                c = low_bits_half_compare(num, s);
            }
        } else {
            const int k = -p;
            if (k > 38) return false;
            u128 num = m;
            u128 den = kPow10[static_cast<std::size_t>(k)];
            if (q >= 0) {
                if (q > 74) return false;
                num <<= q;
            } else {
                const int s = -q;
                if (s > 126 || (den >> (126 - s)) != 0) return false;
                den <<= s;
            }
            whole = num / den;
            c = half_compare(num % den, den);
        }
        if (whole < low) {
            --e0;
            continue;
        }
        if (whole >= high) {
            ++e0;
            continue;
        }
        if (c > 0 || (c == 0 && (whole & 1) != 0)) whole += 1;
        e = e0;
        if (whole == high) {
            whole = low;
            e += 1;
        }
        n = static_cast<std::uint64_t>(whole);
        return true;
    }
    return false;
}

//! "00", "01", ..., "99" side by side.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

//! Writes n as exactly `count` decimal digits (leading zeros) ending just before `last`.
void put_digits(char* last, std::uint64_t n, int count)
{
    for (; count >= 2; count -= 2) {
        const auto pair = static_cast<std::size_t>(n % 100) * 2;
        n /= 100;
        *--last = kDigitPairs[pair + 1];
        *--last = kDigitPairs[pair];
    }
    if (count == 1) *--last = static_cast<char>('0' + n % 10);
}

//! The 8 decimal digits of n < 10^8, leading zeros included, as the values 0..9 of the bytes
//! of one integer, the first digit in its lowest byte. Each step splits all the lanes of the
//! integer at once: two of 4 digits, then four of 2, then eight of 1. The quotients come from
//! multiplications by rounded-up reciprocals, exact for these lane values; a lane keeps its
//! quotient in its lower half and the remainder in its upper half, both placed by one
//! multiply-subtract: (x << b) - quotient * (divisor * 2^b - 1) for a half of b bits.
std::uint64_t digit_lanes(std::uint32_t n)
{
    const std::uint64_t thousands = n / 10000;
    std::uint64_t x = (std::uint64_t{n} << 32) - thousands * ((std::uint64_t{10000} << 32) - 1);
    const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007f0000007f;  // x / 100
    x = (x << 16) - hundreds * ((100 << 16) - 1);
    const std::uint64_t tens = ((x * 103) >> 10) & 0x000f000f000f000f;  // x / 10
    return (x << 8) - tens * ((10 << 8) - 1);
}

//! Writes the 8 digits of digit_lanes as characters from `first` on.
void put_digit_lanes(char* first, std::uint64_t lanes)
{
    lanes += 0x3030303030303030;  // '0' in every byte
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int k = 0; k < 8; ++k, lanes >>= 8) swapped = (swapped << 8) | (lanes & 0xff);
        lanes = swapped;
    }
    std::memcpy(first, &lanes, 8);
}

//! The number of decimal digits of n, 1 <= n < 10^19.
int decimal_length(std::uint64_t n)
{
    // bit_width(n) * log10(2) is the length or one more.
    const int t = (std::bit_width(n) * 1233) >> 12;
    return t + (n >= static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(t)]));
}

//! Writes the digits of v ending just before `last`; returns the first.
[[gnu::always_inline]] inline char* put_whole(char* last, std::uint64_t v)
{
    char* p = last;
    for (; v >= 100; v /= 100) {
        const auto pair = static_cast<std::size_t>(v % 100) * 2;
        *--p = kDigitPairs[pair + 1];
        *--p = kDigitPairs[pair];
    }
    if (v >= 10) {
        *--p = kDigitPairs[v * 2 + 1];
        *--p = kDigitPairs[v * 2];
    } else {
        *--p = static_cast<char>('0' + v);
    }
    return p;
}

//! Writes n / 10^d with exactly d decimals and at least one digit before the point, ending
//! just before `last`; returns its first character.
char* put_fixed(char* last, std::uint64_t n, int d)
{
    char* p = last;
    int left = d;
    for (; left >= 2; left -= 2) {
        const auto pair = static_cast<std::size_t>(n % 100) * 2;
        n /= 100;
        *--p = kDigitPairs[pair + 1];
        *--p = kDigitPairs[pair];
    }
    if (left == 1) {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    *--p = '.';
    return put_whole(p, n);
}

//! As put_fixed for D decimals known when compiled: the decimals are split off by one
//! division by a constant and written in 32-bit steps.
template <int D>
char* put_fixed_decimals(char* last, std::uint64_t n)
{
    static_assert(D >= 1 && D <= 9);
    constexpr auto kScale = static_cast<std::uint64_t>(kPow10[D]);
    const std::uint64_t whole = n / kScale;
    auto frac = static_cast<std::uint32_t>(n - whole * kScale);
    char* p = last;
    for (int left = D; left >= 2; left -= 2) {
        const std::uint32_t pair = (frac % 100) * 2;
        frac /= 100;
        *--p = kDigitPairs[pair + 1];
        *--p = kDigitPairs[pair];
    }
    if constexpr (D % 2 == 1) *--p = static_cast<char>('0' + frac);
    *--p = '.';
    return put_whole(p, whole);
}

//! put_fixed with the decimals of the report's fields written as put_fixed_decimals.
char* put_fixed_any(char* last, std::uint64_t n, int d)
{
    switch (d) {
    case 1: return put_fixed_decimals<1>(last, n);
    case 2: return put_fixed_decimals<2>(last, n);
    case 3: return put_fixed_decimals<3>(last, n);
    case 4: return put_fixed_decimals<4>(last, n);
    case 5: return put_fixed_decimals<5>(last, n);
    default: return put_fixed(last, n, d);
    }
}

// Appends x in fixed point with d decimals to `out`; the leading "0." is always written.
void append_fixed(TextOut& out, int w, int d, double x)
{
    std::uint64_t n = 0;
    if (scaled_integer(std::fabs(x), d, n)) {
        // At most 20 digits, a sign, a point and a leading zero.
        Field f;
        char* first = put_fixed_any(f.end(), n, d);
        if (x < 0 && n != 0) *--first = '-';
        f.put(out, first, w);
        return;
    }
    constexpr std::size_t kDigitRoom = 400;  // longer numbers are asterisks
    char buf[kDigitRoom + 1];                // and one more for a point without decimals
    const auto res = std::to_chars(buf, buf + kDigitRoom, x, std::chars_format::fixed, d);
    if (res.ec != std::errc()) {
        out.append(static_cast<std::size_t>(w), '*');
        return;
    }
    char* last = res.ptr;
    if (d == 0) *last++ = '.';  // the point is written even without decimals
    const char* first = buf;
    if (*first == '-' && all_zero_digits(first, last)) ++first;
    append_justified(out, first, last, w);
}

std::string format_fixed(int w, int d, double x)
{
    std::string text;
    {
        TextOut out(text);
        append_fixed(out, w, d, x);
    }
    return text;
}

// Appends the integer x right-justified in w columns to `out`.
void append_int(TextOut& out, int w, std::int64_t x)
{
    Field f;
    const auto u = static_cast<std::uint64_t>(x);
    char* first = put_whole(f.end(), x < 0 ? 0 - u : u);
    if (x < 0) *--first = '-';
    f.put(out, first, w);
}

//! The d significant digits of |x| correctly rounded, and the decimal exponent e of the first:
//! by exact integers where they reach (into `fast`), otherwise by the standard conversion
//! (into `spare`). Zero gives d zeros and exponent 0.
const char* rounded_digits(double x, int d, char (&fast)[17], std::string& spare, int& e)
{
    std::uint64_t n = 0;
    if (significant_integer(x, d, n, e)) {
        put_digits(fast + d, n, d);
        return fast;
    }
    significant_digits(x, d, spare, e);
    return spare.data();
}

//! Significant digits up to which a field of the E and G forms is composed in a Field.
constexpr int kFieldDigits = 40;

//! Writes the exponent E+xx of the exponent form ending just before `end`; returns its first
//! character. It always takes four characters: a three-digit exponent drops the letter (+100).
char* put_exponent(char* end, int exp10, char letter)
{
    char* p = end;
    int mag = std::abs(exp10);
    const char sign = exp10 < 0 ? '-' : '+';
    if (mag <= 99) {
        *--p = static_cast<char>('0' + mag % 10);
        *--p = static_cast<char>('0' + mag / 10);
        *--p = sign;
        *--p = letter;
    } else {
        for (; mag != 0; mag /= 10) *--p = static_cast<char>('0' + mag % 10);
        *--p = sign;
    }
    return p;
}

//! Writes the exponent form 0.dddE+xx of the d digits, with a minus when `minus`, ending just
//! before `end`; returns its first character.
char* put_exponent_form(char* end, const char* digits, int d, int exp10, bool minus, char letter)
{
    char* p = put_exponent(end, exp10, letter);
    p -= d;
    std::memcpy(p, digits, static_cast<std::size_t>(d));
    *--p = '.';
    *--p = '0';
    if (minus) *--p = '-';
    return p;
}

// Exponent form 0.dddE+xx; a three-digit exponent drops the letter (0.ddd+100).
void append_exponent(TextOut& out, char letter, int w, int d, double x)
{
    std::uint64_t n = 0;
    int e = 0;
    if (significant_integer(x, d, n, e)) {
        // The digits of the rounded integer straight into the field; zero is d zeros with
        // exponent 0, and digits all zero carry no minus.
        Field f;
        char* p = put_exponent(f.end(), x == 0 ? 0 : e + 1, letter);
        if (d <= 8) {
            // The 8 digits of n with leading zeros end at p; blanks go back over the zeros
            // before its d digits.
            put_digit_lanes(p - 8, digit_lanes(static_cast<std::uint32_t>(n)));
            std::memcpy(p - d - 8, kBlanks.data(), 8);
        } else {
            put_digits(p, n, d);
        }
        p -= d;
        *--p = '.';
        *--p = '0';
        if (x < 0 && n != 0) *--p = '-';
        f.put(out, p, w);
        return;
    }
    char fast[17];
    std::string spare;
    const char* digits = rounded_digits(x, d, fast, spare, e);
    const bool minus = x < 0 && !all_zero_digits(digits, digits + d);
    const int exp10 = x == 0 ? 0 : e + 1;
    if (d <= kFieldDigits) {
        Field f;
        f.put(out, put_exponent_form(f.end(), digits, d, exp10, minus, letter), w);
        return;
    }
    std::string text(static_cast<std::size_t>(d) + 7, ' ');  // a sign, "0.", exponent
    char* const end = text.data() + text.size();
    append_justified(out, put_exponent_form(end, digits, d, exp10, minus, letter), end, w);
}

std::string format_exponent(char letter, int w, int d, double x)
{
    std::string text;
    {
        TextOut out(text);
        append_exponent(out, letter, w, d, x);
    }
    return text;
}

//! Writes the d digits as a number with k digits before its point, with a minus when `minus`,
//! ending just before `end`: "0." and the digits (k <= 0), the digits, zeros up to k and the
//! point (k >= d), or the digits split by the point. Returns its first character.
char* put_general_form(char* end, const char* digits, int d, int k, bool minus)
{
    char* p = end;
    if (k <= 0) {
        p -= d;
        std::memcpy(p, digits, static_cast<std::size_t>(d));
        *--p = '.';
        *--p = '0';
    } else if (k >= d) {
        *--p = '.';
        p -= k - d;
        std::memset(p, '0', static_cast<std::size_t>(k - d));
        p -= d;
        std::memcpy(p, digits, static_cast<std::size_t>(d));
    } else {
        p -= d - k;
        std::memcpy(p, digits + k, static_cast<std::size_t>(d - k));
        *--p = '.';
        p -= k;
        std::memcpy(p, digits, static_cast<std::size_t>(k));
    }
    if (minus) *--p = '-';
    return p;
}

//! 10^d as std::pow(10.0, d) gives it. From a table up to 10^22, the last power of ten that a
//! double holds exactly; pow, within a unit of the last place, returns those exactly too.
double power_of_ten(int d)
{
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d >= 0 && d <= 22) return kTens[d];
    return std::pow(10.0, d);
}

// Gw.d: fixed form with d significant digits in w-4 columns plus 4 blanks when
// 0.1 <= |x| < 10^d; the decimals follow from the value rounded to d digits.
void append_general(TextOut& out, int w, int d, double x)
{
    const double ax = std::fabs(x);
    if (!(ax >= 0.1 && ax < power_of_ten(d))) return append_exponent(out, 'E', w, d, x);
    const int fw = w - 4;
    std::uint64_t n = 0;
    int e = 0;
    if (significant_integer(x, d, n, e)) {
        // The digits of the rounded integer from the last, the point after the d - k decimals
        // (k digits before it, at most d + 1): "0." and the digits (k = 0), the digits split
        // by the point, or the digits, the zeros up to k and the point (k >= d).
        const int k = e + 1;
        Field f;
        char* first = f.end() - 4;  // the number, then the four blanks of the form
        if (k >= d) {
            *--first = '.';
            for (int z = d; z < k; ++z) *--first = '0';
        }
        for (int i = 1; i <= d; ++i, n /= 10) {
            *--first = static_cast<char>('0' + n % 10);
            if (k > 0 && i == d - k) *--first = '.';
        }
        if (k <= 0) {
            *--first = '.';
            *--first = '0';
        }
        if (x < 0) *--first = '-';
        if (fw <= 0 || f.end() - 4 - first > fw) {
            out.append(static_cast<std::size_t>(w), '*');
            return;
        }
        f.put(out, first, w);
        return;
    }
    char fast[17];
    std::string spare;
    const char* digits = rounded_digits(x, d, fast, spare, e);
    const int k = e + 1;  // digits before the point of the rounded value (at most d + 1)
    Field f;
    std::string text;
    char* end = f.end();
    if (d > kFieldDigits) {
        text.assign(static_cast<std::size_t>(d) + 7, ' ');  // a sign, "0." or the point, blanks
        end = text.data() + text.size();
    }
    const char* const first = put_general_form(end - 4, digits, d, k, x < 0);
    if (fw <= 0 || end - 4 - first > fw) {
        out.append(static_cast<std::size_t>(w), '*');
        return;
    }
    if (d <= kFieldDigits)
        f.put(out, first, w);
    else
        append_justified(out, first, end, w);
}

//! Appends the name s in an A field of w columns (w > 0): right-justified, or its first w
//! characters.
void append_name(TextOut& out, int w, const std::string& s)
{
    const auto width = static_cast<std::size_t>(w);
    if (s.size() >= width) {
        out.append(s.data(), width);
        return;
    }
    append_blanks(out, width - s.size());
    out += s;
}

//! Appends the field of value v in item a to `out`.
void append_value(TextOut& out, const LayoutAtom& a, const Value& v, const Layout& layout)
{
    if (a.op == Op::Name) {
        if (v.kind != Value::Kind::Name)
            throw std::logic_error("layout \"" + layout.text() + "\": A item given a number");
        if (a.w == 0) {
            out += v.s;
            return;
        }
        return append_name(out, a.w, v.s);
    }
    if (v.kind == Value::Kind::Name)
        throw std::logic_error("layout \"" + layout.text() + "\": numeric item given a name");
    if (a.op == Op::Int) {
        if (v.kind == Value::Kind::Int) return append_int(out, a.w, v.i);
        if (!std::isfinite(v.r) || std::fabs(v.r) >= 9.2e18) {
            out.append(static_cast<std::size_t>(a.w), '*');
            return;
        }
        return append_int(out, a.w, static_cast<std::int64_t>(v.r));  // truncates toward zero
    }
    const double x = v.kind == Value::Kind::Int ? static_cast<double>(v.i) : v.r;
    if (std::isfinite(x)) {
        switch (a.desc) {
        case 'F': return append_fixed(out, a.w, a.d, x);
        case 'E': return append_exponent(out, 'E', a.w, a.d, x);
        case 'D': return append_exponent(out, 'D', a.w, a.d, x);
        case 'G': return append_general(out, a.w, a.d, x);
        default: break;
        }
    }
    out += format_real(a.desc, a.w, a.d, x);
}

bool has_value_atom(const std::vector<LayoutAtom>& atoms, std::size_t from)
{
    for (std::size_t k = from; k < atoms.size(); ++k)
        if (is_value(atoms[k].op)) return true;
    return false;
}

}  // namespace

Layout::Layout(std::string_view text) : text_(text)
{
    auto items = std::make_shared<std::vector<LayoutItem>>(Parser(text).parse());
    auto atoms = std::make_shared<std::vector<LayoutAtom>>();
    atoms->reserve(std::min<std::size_t>(atom_bound(*items), 256));
    revert_ = 0;
    for (std::size_t k = 0; k < items->size(); ++k) {
        if ((*items)[k].op == Op::Group) {
            revert_ = k;
            atom_revert_ = atoms->size();
        }
        expand((*items)[k], *atoms, atoms->size());
    }
    // Writing joins neighbouring steps where that writes the same characters: a text right
    // after a text is one append ("120('.')" becomes one text), the blanks of nX before a text
    // become part of it, those before a value's field go with the field (written only when
    // a value comes, as pending blanks are), and a text right after a value's field goes with
    // the field (written whenever the field is: output stops only at a value item). The
    // resume point stays the first step of its own.
    auto out_atoms = std::make_shared<std::vector<LayoutAtom>>();
    out_atoms->reserve(atoms->size());
    for (std::size_t k = 0; k < atoms->size(); ++k) {
        LayoutAtom a = (*atoms)[k];
        if (k == atom_revert_) out_revert_ = out_atoms->size();
        if (k != atom_revert_ && !out_atoms->empty()) {
            LayoutAtom& prev = out_atoms->back();
            if (a.op == Op::Text &&
                (prev.op == Op::Text || prev.op == Op::Skip || is_value(prev.op))) {
                if (prev.op == Op::Skip)
                    prev = LayoutAtom{Op::Text, 0, 0, 0,
                                      std::string(static_cast<std::size_t>(prev.w), ' ')};
                prev.text += a.text;
                continue;
            }
            if (prev.op == Op::Skip && a.op == Op::Skip) {
                prev.w += a.w;
                continue;
            }
            if (prev.op == Op::Skip && is_value(a.op)) {
                a.lead = prev.w;
                prev = std::move(a);
                continue;
            }
        }
        out_atoms->push_back(std::move(a));
    }
    for (LayoutAtom& a : *out_atoms) {
        a.short_text.fill(' ');
        if (a.text.size() <= LayoutAtom::kShort)
            std::copy(a.text.begin(), a.text.end(), a.short_text.begin());
    }
    if (atom_revert_ >= atoms->size()) out_revert_ = out_atoms->size();
    takes_values_ = has_value_atom(*atoms, 0);
    resumes_with_value_ = has_value_atom(*atoms, atom_revert_);
    if (!atoms->empty() && atom_revert_ < atoms->size() &&
        std::all_of(atoms->begin(), atoms->end(), [](const LayoutAtom& a) { return a.op == Op::Real; }))
        for (const LayoutAtom& a : *atoms) real_widths_.push_back(static_cast<std::size_t>(a.w));
    items_ = std::move(items);
    atoms_ = std::move(atoms);
    out_atoms_ = std::move(out_atoms);
}

void TextBuffer::grow(std::size_t n)
{
    const std::size_t capacity = std::max({size_ + n, 2 * capacity_, std::size_t{256}});
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
}

Layout::~Layout() = default;
Layout::Layout(const Layout&) = default;
Layout& Layout::operator=(const Layout&) = default;
const std::vector<LayoutItem>& Layout::items() const { return *items_; }
std::size_t Layout::revert_index() const { return revert_; }

namespace {

//! Writes `count` values through the atoms of a layout onto `line`; end_line() ends the
//! current line (the caller keeps it, or marks its end, and leaves `line` ready for the next).
template <class EndLine>
void apply_layout(const Layout& layout, const std::vector<LayoutAtom>& atoms, std::size_t revert,
                  const Value* values, std::size_t count, std::vector<std::size_t>* overflowed,
                  TextOut& line, EndLine end_line)
{
    const LayoutAtom* const first = atoms.data();
    const LayoutAtom* const last = first + atoms.size();
    std::size_t pending = 0;  // blanks of nX not yet written
    const Value* v = values;  // next value to write
    const Value* const values_end = values + count;
    const LayoutAtom* at = first;
    for (;;) {
        if (at == last) {
            if (v == values_end) break;
            end_line();
            pending = 0;
            at = first + revert;
            continue;
        }
        const LayoutAtom& a = *at;
        // A value's field, the most common step: the pending blanks, the field, and the text
        // after it, straight onto the line.
        if (is_value(a.op)) {
            if (v == values_end) {
                end_line();
                return;
            }
            pending += static_cast<std::size_t>(a.lead);
            if (pending != 0) {
                append_blanks(line, pending);
                pending = 0;
            }
            const std::size_t start = line.size();
            // The common fields, a finite real in F or G, an integer in I and a name in an A
            // of a width, go straight to their writers.
            const bool finite_real = v->kind == Value::Kind::Real && std::isfinite(v->r);
            if (a.desc == 'F' && finite_real)
                append_fixed(line, a.w, a.d, v->r);
            else if (a.desc == 'G' && finite_real)
                append_general(line, a.w, a.d, v->r);
            else if (a.op == Op::Int && v->kind == Value::Kind::Int)
                append_int(line, a.w, v->i);
            else if (a.op == Op::Name && v->kind == Value::Kind::Name && a.w > 0)
                append_name(line, a.w, v->s);
            else
                append_value(line, a, *v, layout);
            // A number's field holds asterisks throughout or none at all.
            if (overflowed && a.w > 0 && line.data()[start] == '*' && a.op != Op::Name)
                overflowed->push_back(static_cast<std::size_t>(v - values));
            ++v;
            append_text(line, a);  // the text after the field (none: nothing is added)
            ++at;
            continue;
        }
        switch (a.op) {
        case Op::Text:
            if (pending != 0) {
                append_blanks(line, pending);
                pending = 0;
            }
            append_text(line, a);
            break;
        case Op::Skip:
            pending += static_cast<std::size_t>(a.w);
            break;
        default:  // Op::Slash
            append_blanks(line, pending);
            pending = 0;
            end_line();
            break;
        }
        ++at;
    }
    end_line();
}

[[noreturn, gnu::noinline]] void bad_values(const Layout& layout, bool takes_values)
{
    if (!takes_values) throw std::logic_error("layout \"" + layout.text() + "\" takes no values");
    throw std::logic_error("layout \"" + layout.text() + "\" cannot resume on a new line");
}

void check_values(const Layout& layout, bool takes_values, bool resumes_with_value,
                  std::size_t count)
{
    if (count > 0 && !(takes_values && resumes_with_value)) bad_values(layout, takes_values);
}

}  // namespace

void append_layout(std::string& text, const Layout& layout, const Value* values, std::size_t count,
                   std::vector<std::size_t>* overflowed)
{
    check_values(layout, layout.takes_values_, layout.resumes_with_value_, count);
    TextOut out(text);
    apply_layout(layout, *layout.out_atoms_, layout.out_revert_, values, count, overflowed, out,
                 [&] { out += '\n'; });
}

void append_layout(TextBuffer& text, const Layout& layout, const Value* values, std::size_t count,
                   std::vector<std::size_t>* overflowed)
{
    check_values(layout, layout.takes_values_, layout.resumes_with_value_, count);
    TextOut out(text);
    apply_layout(layout, *layout.out_atoms_, layout.out_revert_, values, count, overflowed, out,
                 [&] { out += '\n'; });
}

std::vector<std::string> write_layout(const Layout& layout, const std::vector<Value>& values,
                                      std::vector<std::size_t>* overflowed)
{
    check_values(layout, layout.takes_values_, layout.resumes_with_value_, values.size());
    std::vector<std::string> lines;
    std::string text;
    TextOut line(text);
    apply_layout(layout, *layout.out_atoms_, layout.out_revert_, values.data(), values.size(),
                 overflowed, line, [&] {
                     lines.emplace_back(line.data(), line.size());
                     line.clear();
                 });
    return lines;
}

std::string format_real(char descriptor, int w, int d, double x)
{
    if (!std::isfinite(x)) return non_finite(w, x);
    std::string text;
    {
        TextOut out(text);
        switch (descriptor) {
        case 'F':
        case 'f':
            append_fixed(out, w, d, x);
            break;
        case 'E':
        case 'e':
            append_exponent(out, 'E', w, d, x);
            break;
        case 'D':
        case 'd':
            append_exponent(out, 'D', w, d, x);
            break;
        case 'G':
        case 'g':
            append_general(out, w, d, x);
            break;
        default:
            throw std::logic_error(std::string("format_real: unknown descriptor ") + descriptor);
        }
    }
    return text;
}

std::string format_int(int w, std::int64_t x)
{
    std::string text;
    {
        TextOut out(text);
        append_int(out, w, x);
    }
    return text;
}

namespace {

std::string trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

//! The definition of the shortest text: the fewest correctly rounded significant digits whose
//! E form reads back as x, written in fixed notation when that reads back too and the value
//! is in the fixed range. Used where the shortest round-trip digits of std::to_chars may not
//! be the correctly rounded ones.
std::string shortest_real_by_search(double x)
{
    constexpr int kMaxDigits = 17;  // enough for every double
    for (int d = 1; d <= kMaxDigits; ++d) {
        std::string digits;
        int e = 0;
        significant_digits(x, d, digits, e);
        double back = 0;
        const std::string exp_form = trimmed(format_exponent('E', d + 8, d, x));
        if (!parse_real_field(exp_form, back) || back != x) continue;
        if (e >= -3 && e < 15) {
            const std::string fixed = trimmed(format_fixed(40, std::max(1, d - 1 - e), x));
            if (parse_real_field(fixed, back) && back == x) return fixed;
        }
        return exp_form;
    }
    return trimmed(format_exponent('E', kMaxDigits + 9, kMaxDigits, x));
}

//! Whether dec is exactly 2^j. Its significand has no trailing zeros, so with j >= 0 it must
//! be 2^j times 10^0, and with j < 0 it must be 5^-j times 10^j.
bool exact_power_of_two(const DecimalDigits& dec, int j)
{
    if (j >= 0) return dec.exponent == 0 && j < 64 && dec.significand == std::uint64_t{1} << j;
    if (dec.exponent != j || j < -27) return false;  // 5^27 is the last power of 5 below 2^64
    std::uint64_t five = 1;
    for (int k = 0; k < -j; ++k) five *= 5;
    return dec.significand == five;
}

}  // namespace

namespace {

//! The exponents of the E form of the shortest texts, 4 characters each, by the exponent
//! from -323 (index 0) to 309, which span the doubles: "E-05", "E+12", "-123" (an exponent
//! beyond two digits drops its letter).
constexpr int kMinTextExponent = -323;
constexpr auto kExponentTexts = [] {
    std::array<std::array<char, 4>, 309 - kMinTextExponent + 1> texts{};
    for (int exp10 = kMinTextExponent; exp10 <= 309; ++exp10) {
        auto& t = texts[static_cast<std::size_t>(exp10 - kMinTextExponent)];
        const int mag = exp10 < 0 ? -exp10 : exp10;
        const char sign = exp10 < 0 ? '-' : '+';
        t = mag > 99 ? std::array<char, 4>{sign, static_cast<char>('0' + mag / 100), '0', '0'}
                     : std::array<char, 4>{'E', sign, '0', '0'};
        t[2] = static_cast<char>('0' + mag / 10 % 10);
        t[3] = static_cast<char>('0' + mag % 10);
    }
    return texts;
}();

//! Writes the shortest text of a nonzero value whose shortest digits are those of `digits`
//! with trailing zeros up to 17 digits (10^16 <= digits < 10^17), the first digit's place
//! being 10^e: fixed notation with at least one decimal for e from -3 to 14, the E form
//! otherwise. Writes up to 33 bytes past `first` (the text has at most 24 characters).
//! Always inline: the common path of put_shortest_real is this routine, and a call costs as
//! much as a cell's digits.
[[gnu::always_inline]] inline char* put_shortest_text(char* first, bool minus, std::uint64_t digits,
                                                      int e)
{
    // The 17 digits are a lead digit and two lanes of 8. The trailing zeros, which are not
    // written, are counted in the lanes: a lane's last digit is its highest byte.
    const auto first_9 = static_cast<std::uint32_t>(digits / 100000000);
    const std::uint32_t lead = first_9 / 100000000;
    const std::uint64_t high = digit_lanes(first_9 - lead * 100000000);
    const std::uint64_t low =
        digit_lanes(static_cast<std::uint32_t>(digits - std::uint64_t{first_9} * 100000000));
    const int zeros = std::countl_zero(low) / 8 + (low == 0 ? std::countl_zero(high) / 8 : 0);
    const int d = 17 - zeros;  // the significant digits
    auto put_17_digits = [&](char* at) {
        *at = static_cast<char>('0' + lead);
        put_digit_lanes(at + 1, high);
        put_digit_lanes(at + 9, low);
    };
    char* p = first;
    *p = '-';
    p += minus;
    if (e >= 0 && e < 15) {
        // Fixed notation from 1 on: the digits with the decimals moved one place on to make
        // room for the point; the zeros after the significant digits give a whole number
        // its decimal ".0". The move reads 16 bytes, past the digits when e > 0.
        put_17_digits(p);
        char decimals[16];
        std::memcpy(decimals, p + e + 1, 16);
        std::memcpy(p + e + 2, decimals, 16);
        p[e + 1] = '.';
        // The digits and the point, or a whole number's e + 1 digits, the point and a zero.
        return p + std::max(d + 1, e + 3);
    }
    // "0." and the digits: below 1 in fixed notation after up to 2 zeros, else in the E form
    // with the exponent of 0.ddd.
    const bool fixed = e >= -3 && e < 0;
    std::memcpy(p, "0.00", 4);
    p += fixed ? 1 - e : 2;
    put_17_digits(p);
    p += d;
    if (fixed) return p;
    std::memcpy(p, kExponentTexts[static_cast<std::size_t>(e + 1 - kMinTextExponent)].data(), 4);
    return p + 4;
}

//! put_shortest_real for the values whose binary significand has at most one bit below its
//! leading one set (powers of two among them), and for infinity and not-a-number. Kept out of
//! line: results are seldom such values.
[[gnu::noinline]] char* put_shortest_real_rare(char* first, double x)
{
    // Texts other than the composed ones: at most 24 characters.
    auto put = [first](const std::string& text) {
        return std::copy(text.begin(), text.end(), first);
    };
    if (!std::isfinite(x)) return put(trimmed(non_finite(12, x)));
    // The shortest round-trip digits. Among the texts of that many digits they are the one
    // nearest x, hence the correctly rounded ones, except where x is a power of two: there the
    // doubles below are closer than those above, and the nearest text of that length may not
    // read back. Those few values take the search.
    const DecimalDigits shortest = shortest_digits(x);
    std::uint64_t m = 0;
    int q = 0;
    binary_parts(std::fabs(x), m, q);
    // A power of two written exactly (1.0, 0.5, 8.0) has its correctly rounded digits. (A test
    // of one set bit without std::has_single_bit, which may become a library call.)
    if ((m & (m - 1)) == 0 && !exact_power_of_two(shortest, q + std::countr_zero(m))) {
        const std::string digits = std::to_string(shortest.significand);
        const auto d = static_cast<int>(digits.size());
        std::string rounded;
        int re = 0;
        significant_digits(x, d, rounded, re);
        if (re != shortest.exponent + d - 1 || rounded != digits) return put(shortest_real_by_search(x));
    }
    // Brought to 17 digits with trailing zeros.
    const int d = decimal_length(shortest.significand);
    const auto scale = static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(17 - d)]);
    return put_shortest_text(first, x < 0, shortest.significand * scale, shortest.exponent + d - 1);
}

}  // namespace

char* put_shortest_real(char* first, double x)
{
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const auto biased = static_cast<int>(bits >> 52 & 0x7ff);
    // Zero, the subnormals, infinity and not-a-number, and the values with at most one
    // fraction bit set (the powers of two among them), leave the common way.
    if ((fraction & (fraction - 1)) == 0 || static_cast<unsigned>(biased - 1) >= 0x7fe) {
        if (x == 0) {
            std::memcpy(first, "0.0", 3);
            return first + 3;
        }
        return put_shortest_real_rare(first, x);
    }
    // The interval of reals that round to x reaches half a unit to either side here, and the
    // shortest digits, zeros included, number 16 or 17: brought to 17.
    const DecimalDigits padded = shortest_detail::padded_shortest_digits(
        fraction | (std::uint64_t{1} << 52), biased - 1075, true);
    const bool short_one = padded.significand < 10000000000000000;
    return put_shortest_text(first, (bits >> 63) != 0,
                             short_one ? padded.significand * 10 : padded.significand,
                             padded.exponent + 16 - short_one);
}

void append_shortest_real(std::string& out, double x)
{
    char text[kShortestRealRoom];
    out.append(text, static_cast<std::size_t>(put_shortest_real(text, x) - text));
}

std::string shortest_real(double x)
{
    std::string out;
    append_shortest_real(out, x);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Input

RecordReader::RecordReader(std::istream& in, std::string file, int unit)
    : in_(in), file_(std::move(file)), unit_(unit)
{
}

// Moves the unread rest of the buffer to its front and reads more of the stream after it,
// as much as the stream has at hand (so that a stream failing past it keeps it) and the
// buffer holds; the buffer grows only for a line longer than itself. A stream that fails
// keeps what it gave; the failure is reported where the next line would start.
void RecordReader::refill()
{
    constexpr std::size_t kChunk = std::size_t{1} << 15;
    const std::size_t rest = size_ - next_;
    if (next_ > 0) std::copy(text_.get() + next_, text_.get() + size_, text_.get());
    size_ = rest;
    next_ = 0;
    if (size_ == capacity_) {
        const std::size_t capacity = std::max(kChunk, 2 * capacity_);
        std::unique_ptr<char[]> grown(new char[capacity]);
        std::copy(text_.get(), text_.get() + size_, grown.get());
        text_ = std::move(grown);
        capacity_ = capacity;
    }
    try {
        const std::streamsize avail = in_.rdbuf() ? in_.rdbuf()->in_avail() : 0;
        std::size_t want = capacity_ - size_;
        if (avail > 0) want = std::min(want, static_cast<std::size_t>(avail));
        in_.read(text_.get() + size_, static_cast<std::streamsize>(want));
        size_ += static_cast<std::size_t>(in_.gcount());
        if (!in_) {
            ended_ = true;
            if (in_.bad()) failure_ = "the file cannot be read";
        }
    } catch (const std::ios_base::failure& e) {
        size_ += static_cast<std::size_t>(std::max<std::streamsize>(in_.gcount(), 0));
        ended_ = true;
        failure_ = std::string("the file cannot be read: ") + e.what();
    }
}

// A line whole in the buffer is cut out here; the rest (a line to read on, the end of the
// stream) is left to next_line_refilling.
bool RecordReader::next_line(std::string_view& line)
{
    const char* first = text_.get() + next_;
    const void* end = next_ < size_ ? std::memchr(first, '\n', size_ - next_) : nullptr;
    if (end == nullptr) return next_line_refilling(line);
    line = std::string_view(first,
                            static_cast<std::size_t>(static_cast<const char*>(end) - first));
    next_ += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_no_;
    return true;
}

[[gnu::noinline]] bool RecordReader::next_line_refilling(std::string_view& line)
{
    std::size_t scanned = 0;  // bytes of the rest known to hold no line end
    for (;;) {
        const std::string_view rest(text_.get() + next_, size_ - next_);
        const std::size_t end = rest.find('\n', scanned);
        if (end != std::string_view::npos) {
            line = rest.substr(0, end);
            next_ += end + 1;
            break;
        }
        if (ended_) {
            // A line cut short by a failing stream is not a line.
            if (!failure_.empty()) throw InputError(file_, unit_, "READ", failure_);
            if (rest.empty()) return false;
            line = rest;
            next_ = size_;
            break;
        }
        scanned = rest.size();
        refill();
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_no_;
    return true;
}

namespace {

std::string quoted_field(std::string_view f) { return "\"" + std::string(f) + "\""; }

}  // namespace

void RecordReader::bad_field(std::string_view field, std::size_t first, std::size_t last,
                             bool integer) const
{
    throw InputError(file_, unit_, "READ",
                     "line " + std::to_string(line_no_) + ", columns " +
                         std::to_string(first + 1) + "-" + std::to_string(last) + ": " +
                         quoted_field(field) + " is not " + (integer ? "an integer" : "a number"));
}

// The next line of a read of `count` values; false at the end of the stream when that ends
// the read quietly.
bool RecordReader::next_record(std::string_view& line, std::size_t count, bool quiet_end)
{
    if (next_line(line)) return true;
    at_end_ = true;
    if (quiet_end) return false;
    throw InputError(file_, unit_, "READ",
                     "end of file after line " + std::to_string(line_no_) + ": " +
                         std::to_string(taken_) + " of " + std::to_string(count) +
                         " values read");
}

// Walks the fields of `count` values; take(k, atom, field, first column, column after it)
// converts and keeps value k, or throws.
template <typename Take>
bool RecordReader::read_values(const Layout& layout, std::size_t count, bool quiet_end,
                               Take&& take)
{
    const auto& atoms = *layout.atoms_;
    at_end_ = false;
    taken_ = 0;
    if (count > 0 && !has_value_atom(atoms, 0))
        throw std::logic_error("layout \"" + layout.text() + "\" takes no values");
    if (count > 0 && !has_value_atom(atoms, layout.atom_revert_))
        throw std::logic_error("layout \"" + layout.text() + "\" cannot resume on a new line");

    std::string_view line;
    if (!next_record(line, count, quiet_end)) return false;
    std::size_t col = 0;
    std::size_t k = 0;
    while (taken_ < count) {
        if (k == atoms.size()) {
            if (!next_record(line, count, quiet_end)) return false;
            col = 0;
            k = layout.atom_revert_;
            continue;
        }
        const LayoutAtom& a = atoms[k++];
        switch (a.op) {
        case Op::Text:
            col += a.text.size();
            continue;
        case Op::Skip:
            col += static_cast<std::size_t>(a.w);
            continue;
        case Op::Slash:
            if (!next_record(line, count, quiet_end)) return false;
            col = 0;
            continue;
        default:
            break;
        }
        // A short line reads its missing columns as blanks.
        std::string_view field;
        if (col < line.size()) field = line.substr(col, static_cast<std::size_t>(a.w));
        const std::size_t field_col = col;
        col += static_cast<std::size_t>(a.w);
        take(taken_, a, field, field_col, col);
        ++taken_;
    }
    return true;
}

namespace {

//! The whole number of a field of blanks, an optional sign, at most 15 digits and blanks, as
//! the number reader gives it; false for any other field.
bool plain_integer(std::string_view field, double& x)
{
    const char* s = field.data();
    const char* e = s + field.size();
    while (s < e && *s == ' ') ++s;
    while (e > s && e[-1] == ' ') --e;
    const bool negative = s < e && *s == '-';
    if (s < e && (*s == '+' || *s == '-')) ++s;
    if (s == e || e - s > 15) return false;
    std::int64_t n = 0;
    for (; s < e; ++s) {
        const auto d = static_cast<unsigned>(static_cast<unsigned char>(*s)) - '0';
        if (d > 9) return false;
        n = n * 10 + d;
    }
    x = static_cast<double>(negative ? -n : n);
    return true;
}

//! The number in a numeric field of item a; false when it is not one (an integer field must
//! hold a whole number written without point or exponent).
bool numeric_field(const LayoutAtom& a, std::string_view field, double& x)
{
    if (a.op == Op::Int && plain_integer(field, x)) return true;
    if (!parse_real_field(field, x)) return false;
    return a.op != Op::Int || (std::trunc(x) == x && std::fabs(x) < 9.2e18 &&
                               field.find_first_of(".eEdD") == std::string_view::npos);
}

}  // namespace

void RecordReader::read(const Layout& layout, std::size_t count,
                        const std::function<void(std::size_t, const Value&)>& take)
{
    read_taking(layout, count, take, false);
}

bool RecordReader::read_to_end(const Layout& layout, std::size_t count,
                               const std::function<void(std::size_t, const Value&)>& take)
{
    return read_taking(layout, count, take, true);
}

namespace {

//! Sets v to the value of the field of item a (columns first..last-1 for a message).
template <typename Fault>
void set_value(Value& v, const LayoutAtom& a, std::string_view field, Fault&& fault)
{
    v.r = 0;
    v.i = 0;
    if (a.op == Op::Name) {
        v.kind = Value::Kind::Name;
        v.s.resize(static_cast<std::size_t>(a.w));  // the field, blanks after a short one
        std::fill(std::copy(field.begin(), field.end(), v.s.begin()), v.s.end(), ' ');
        return;
    }
    v.s.clear();
    double x = 0;
    if (!numeric_field(a, field, x)) fault();
    if (a.op == Op::Int) {
        v.kind = Value::Kind::Int;
        v.i = static_cast<std::int64_t>(x);
    } else {
        v.kind = Value::Kind::Real;
        v.r = x;
    }
}

}  // namespace

bool RecordReader::read_taking(const Layout& layout, std::size_t count,
                               const std::function<void(std::size_t, const Value&)>& take,
                               bool quiet_end)
{
    Value v;
    return read_values(layout, count, quiet_end,
                       [&](std::size_t k, const LayoutAtom& a, std::string_view field,
                           std::size_t first, std::size_t last) {
                           set_value(v, a, field,
                                     [&] { bad_field(field, first, last, a.op == Op::Int); });
                           take(k, v);
                       });
}

void RecordReader::read(const Layout& layout, std::span<Value> values)
{
    read_values(layout, values.size(), false,
                [&](std::size_t k, const LayoutAtom& a, std::string_view field,
                    std::size_t first, std::size_t last) {
                    set_value(values[k], a, field,
                              [&] { bad_field(field, first, last, a.op == Op::Int); });
                });
}

namespace {
[[gnu::always_inline]] inline bool parse_real(std::string_view field, double& out);
}  // namespace

bool RecordReader::read_reals(const Layout& layout, std::size_t count, double* out, bool to_end)
{
    const std::vector<std::size_t>& widths = layout.real_widths_;
    if (widths.empty())
        return read_values(layout, count, to_end,
                           [&](std::size_t k, const LayoutAtom& a, std::string_view field,
                               std::size_t first, std::size_t last) {
                               if (a.op == Op::Name)
                                   throw std::logic_error("layout \"" + layout.text() +
                                                          "\": name field read as a number");
                               double x = 0;
                               if (!numeric_field(a, field, x))
                                   bad_field(field, first, last, a.op == Op::Int);
                               out[k] = a.op == Op::Int
                                            ? static_cast<double>(static_cast<std::int64_t>(x))
                                            : x;
                           });

    // Every item a real field (the species libraries, the tables): the same walk over the
    // widths alone, which saves a fifth of the instructions of a one-point run.
    at_end_ = false;
    taken_ = 0;
    std::string_view line;
    if (!next_record(line, count, to_end)) return false;
    const std::size_t* const width = widths.data();
    const std::size_t items = widths.size();
    std::size_t col = 0;
    std::size_t k = 0;
    std::size_t taken = 0;
    while (taken < count) {
        if (k == items) {
            taken_ = taken;
            if (!next_record(line, count, to_end)) return false;
            col = 0;
            k = layout.atom_revert_;
            continue;
        }
        const std::size_t w = width[k++];
        const std::string_view field =
            col < line.size() ? std::string_view(line.data() + col, std::min(w, line.size() - col))
                              : std::string_view();
        double x = 0;
        if (!parse_real(field, x)) {
            taken_ = taken;
            bad_field(field, col, col + w, false);
        }
        out[taken++] = x;
        col += w;
    }
    taken_ = taken;
    return true;
}

std::vector<double> RecordReader::read_reals(const Layout& layout, std::size_t count)
{
    std::vector<double> out(count);
    read_reals(layout, count, out.data(), false);
    return out;
}

void RecordReader::rewind()
{
    in_.clear();
    in_.seekg(0);
    line_no_ = 0;
    at_end_ = false;
    size_ = next_ = 0;
    ended_ = false;
    failure_.clear();
}

namespace {

//! Powers of ten that a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactTen = 22;
//! Largest mantissa that a double holds exactly (2^53).
constexpr std::uint64_t kExactMantissa = std::uint64_t{1} << 53;
//! Mantissa digits (leading zeros included) that 64 bits always hold.
constexpr long kMantissaDigits = 19;
//! Exponent digits read by the exact reader; longer exponents go to the general one.
constexpr int kExponentDigits = 4;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

//! The value mantissa * 10^e10 with the sign, when the mantissa and the power of ten are both
//! exact doubles: one correctly rounded product or quotient. False, `out` untouched, otherwise.
//! Inlined: it ends the reading of every number of the library files.
[[gnu::always_inline]] inline bool exact_decimal(bool negative, std::uint64_t mantissa, long e10,
                                                 double& out)
{
    if (mantissa == 0) {
        out = negative ? -0.0 : 0.0;
        return true;
    }
    if (mantissa > kExactMantissa || e10 < -kLargestExactTen || e10 > kLargestExactTen)
        return false;
    const double m = static_cast<double>(mantissa);
    const double x = e10 >= 0 ? m * kExactTens[e10] : m / kExactTens[-e10];
    out = negative ? -x : x;
    return true;
}

//! The value of a digit character, 10 or more for any other character.
unsigned digit_value(char c) { return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0'; }

//! Reads the field as the general reader would, through the standard conversion of its text
//! without blanks: the reference for every field, used for those the exact reader leaves.
bool read_general(std::string_view field, double& out)
{
    std::string s;
    s.reserve(field.size());
    for (char c : field)
        if (!is_blank(c)) s += c;
    if (s.empty()) {
        out = 0;
        return true;
    }
    std::size_t p = 0;
    std::string norm;
    if (s[p] == '+' || s[p] == '-') {
        if (s[p] == '-') norm += '-';
        ++p;
    }
    std::size_t mant_digits = 0;
    while (p < s.size() && digit_value(s[p]) < 10) {
        norm += s[p++];
        ++mant_digits;
    }
    if (p < s.size() && s[p] == '.') {
        // A mantissa that opens with its point (".5", "-.5") gets the leading zero that the
        // number reader wants.
        if (mant_digits == 0) norm += '0';
        norm += s[p++];
        while (p < s.size() && digit_value(s[p]) < 10) {
            norm += s[p++];
            ++mant_digits;
        }
    }
    if (mant_digits == 0) return false;
    if (p < s.size()) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[p])));
        if (c == 'E' || c == 'D' || c == 'Q') {
            ++p;
        } else if (c != '+' && c != '-') {
            return false;
        }
        norm += 'e';
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) norm += s[p++];
        std::size_t exp_digits = 0;
        while (p < s.size() && digit_value(s[p]) < 10) {
            norm += s[p++];
            ++exp_digits;
        }
        if (exp_digits == 0 || p != s.size()) return false;
    }
    const char* first = norm.data();
    const char* last = norm.data() + norm.size();
    double x = 0;
    const auto res = std::from_chars(first, last, x);
    if (res.ptr != last) return false;
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow reads as the nearest subnormal or zero; overflow is not a number.
        x = std::strtod(norm.c_str(), nullptr);
        if (!std::isfinite(x)) return false;
    }
    out = x;
    return true;
}

//! True when the eight characters held in `chunk` (the first in its lowest byte) are all
//! digits; `value` is then their number.
bool digits_of_word(std::uint64_t chunk, std::uint64_t& value)
{
    // Each byte's high half must be 3, and stay 3 when 6 is added: '0'..'9'.
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
    if (((chunk & kHigh) | (((chunk + 0x0606060606060606) & kHigh) >> 4)) != 0x3333333333333333)
        return false;
    // Pairs, then groups of four, then all eight, the first character the most significant.
    chunk -= 0x3030303030303030;
    chunk = chunk * 10 + (chunk >> 8);
    constexpr std::uint64_t kPairs = 0x000000FF000000FF;
    chunk = ((chunk & kPairs) * (100 + (1000000ULL << 32)) +
             ((chunk >> 16) & kPairs) * (1 + (10000ULL << 32))) >>
            32;
    value = chunk & 0xFFFFFFFF;
    return true;
}

//! True when the eight characters at p are all digits; their value is then added to
//! `mantissa` as its next eight digits.
bool eight_digits(const char* p, std::uint64_t& mantissa)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, p, sizeof chunk);
        std::uint64_t value = 0;
        if (!digits_of_word(chunk, value)) return false;
        mantissa = mantissa * 100000000 + value;
        return true;
    }
}

//! Reads the common field exactly: at most 19 digits whose integer is at most 2^53, and a
//! power of ten up to 10^22 that a double holds exactly, make one correctly rounded
//! multiplication or division, the very value of the general reader (both round the exact
//! decimal value to the nearest double). False, with `out` untouched, for any field outside
//! that case (blanks inside the number, not a number at all, ...): the general reader
//! decides those.
bool read_exact(std::string_view field, double& out)
{
    const char* s = field.data();
    const char* e = s + field.size();
    while (s < e && is_blank(*s)) ++s;
    while (e > s && is_blank(e[-1])) --e;
    if (s == e) return false;
    const bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;

    // Digits past the 19th wrap the mantissa around; such a field goes to the general reader.
    std::uint64_t mantissa = 0;
    auto digit_run = [&] {
        const char* start = s;
        while (e - s >= 8 && eight_digits(s, mantissa)) s += 8;
        for (unsigned d; s < e && (d = digit_value(*s)) < 10; ++s) mantissa = mantissa * 10 + d;
        return s - start;
    };
    long digits = digit_run();
    long scale = 0;  // decimal exponent of the mantissa's last digit
    if (s < e && *s == '.') {
        ++s;
        scale = -digit_run();
        digits -= scale;
    }
    if (digits == 0 || digits > kMantissaDigits) return false;

    long exponent = 0;
    if (s < e) {
        const char c = *s;
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q')
            ++s;
        else if (c != '+' && c != '-')
            return false;
        const bool exponent_negative = s < e && *s == '-';
        if (s < e && (*s == '+' || *s == '-')) ++s;
        const char* start = s;
        for (unsigned d; s < e && (d = digit_value(*s)) < 10; ++s) {
            if (s - start == kExponentDigits) return false;
            exponent = exponent * 10 + d;
        }
        if (s == start || s != e) return false;
        if (exponent_negative) exponent = -exponent;
    }

    return exact_decimal(negative, mantissa, exponent + scale, out);
}

//! Reads the species libraries' own sixteen columns, a blank or sign, one digit, a point,
//! nine digits and a two-digit exponent with its letter and sign (" 1.594170326E-06"), in a
//! few word operations, under the conditions of read_exact. False, with `out` untouched, for
//! any other field of sixteen columns.
[[gnu::always_inline]] inline bool read_library_form(const char* f, double& out)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t head = 0;  // columns 1-8, column 1 in the lowest byte
        std::uint64_t tail = 0;  // columns 9-16
        std::memcpy(&head, f, sizeof head);
        std::memcpy(&tail, f + 8, sizeof tail);
        const auto lead = static_cast<unsigned>(head & 0xFF);
        const auto first = static_cast<unsigned>(head >> 8 & 0xFF) - '0';
        const auto point = static_cast<unsigned>(head >> 16 & 0xFF);
        const auto last = static_cast<unsigned>(tail >> 24 & 0xFF) - '0';
        const auto letter = static_cast<unsigned>(tail >> 32 & 0xFF);
        const auto sign_gap = static_cast<unsigned>(tail >> 40 & 0xFF) - '+';
        const auto x1 = static_cast<unsigned>(tail >> 48 & 0xFF) - '0';
        const auto x2 = static_cast<unsigned>(tail >> 56) - '0';
        std::uint64_t middle = 0;  // columns 4-11
        if ((lead != ' ' && lead != '-' && lead != '+') || point != '.' ||
            (letter & 0xDE) != 0x44 || (sign_gap & ~2U) != 0 || first > 9 || last > 9 || x1 > 9 || x2 > 9 ||
            !digits_of_word((head >> 24) | (tail << 40), middle))
            return false;
        // Columns 4-11 hold eight digits, column 12 the ninth decimal.
        const std::uint64_t mantissa = (first * std::uint64_t{100000000} + middle) * 10 + last;
        const bool negative = lead == '-';
        const long exponent = static_cast<long>(x1 * 10 + x2);
        return exact_decimal(negative, mantissa, (sign_gap != 0 ? -exponent : exponent) - 9, out);
    }
}

//! Reads the cross-section table's own eleven columns, one digit, a point, five digits and a
//! two-digit exponent with its letter and sign ("0.16429D+03"), in a few word operations,
//! under the conditions of read_exact. False, with `out` untouched, for any other field of
//! eleven columns.
[[gnu::noinline]] bool read_table11_form(const char* f, double& out)
{
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t head = 0;  // columns 1-8, column 1 in the lowest byte
        std::memcpy(&head, f, sizeof head);
        // The six mantissa digits as eight, two zeros first: '0', '0', column 1, columns 3-7.
        const std::uint64_t digits =
            0x3030 | (head & 0xFF) << 16 | (head & 0x00FFFFFFFFFF0000) << 8;
        const auto point = static_cast<unsigned>(head >> 8 & 0xFF);
        const auto letter = static_cast<unsigned>(head >> 56);
        const unsigned sign_gap = static_cast<unsigned>(static_cast<unsigned char>(f[8])) - '+';
        const unsigned x1 = digit_value(f[9]);
        const unsigned x2 = digit_value(f[10]);
        std::uint64_t mantissa = 0;
        if (point != '.' || (letter & 0xDE) != 0x44 || (sign_gap & ~2U) != 0 || x1 > 9 ||
            x2 > 9 || !digits_of_word(digits, mantissa))
            return false;
        const long exponent = static_cast<long>(x1 * 10 + x2);
        return exact_decimal(false, mantissa, (sign_gap != 0 ? -exponent : exponent) - 5, out);
    }
}

//! Reads the form every library table is written in exactly, straight through: blanks, an
//! optional sign, one digit, a point, up to 15 digits and a two-digit exponent with its letter
//! and sign (" 1.594170326E-06", "0.16429D+03"), under the conditions of read_exact. False,
//! with `out` untouched, for any other field.
[[gnu::noinline]] bool read_table_form(std::string_view field, double& out)
{
    constexpr long kFractionDigits = 15;
    if (field.size() < 7) return false;
    const char* s = field.data();
    const char* x = s + field.size() - 4;  // the exponent: letter, sign, two digits
    // The letter is D, E, d or e when only the bits of 0x21 tell them apart; '+' and '-' are
    // 0 and 2 past '+'.
    const unsigned sign_gap = static_cast<unsigned>(static_cast<unsigned char>(x[1])) - '+';
    const unsigned x1 = digit_value(x[2]);
    const unsigned x2 = digit_value(x[3]);
    if ((x[0] & 0xDE) != 0x44 || (sign_gap & ~2U) != 0 || x1 > 9 || x2 > 9) return false;
    while (*s == ' ') ++s;  // stops at the exponent letter at the latest
    const bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    // One digit and the point; s stays within the field, the exponent letter being no digit.
    const unsigned first = digit_value(*s);
    if (first > 9 || s[1] != '.') return false;
    s += 2;
    const long fraction = x - s;
    if (fraction > kFractionDigits) return false;
    std::uint64_t mantissa = first;
    while (x - s >= 8) {
        if (!eight_digits(s, mantissa)) return false;
        s += 8;
    }
    for (; s < x; ++s) {
        const unsigned d = digit_value(*s);
        if (d > 9) return false;
        mantissa = mantissa * 10 + d;
    }
    const long exponent = static_cast<long>(x1 * 10 + x2);
    return exact_decimal(negative, mantissa, (sign_gap != 0 ? -exponent : exponent) - fraction,
                         out);
}

//! The fields that are not in the table form.
[[gnu::noinline]] bool read_other(std::string_view field, double& out)
{
    return read_exact(field, out) || read_general(field, out);
}

//! parse_real_field, also inlined where the libraries are read: the sixteen-column form of
//! the species libraries is taken in place, the rarer forms by a call.
[[gnu::always_inline]] inline bool parse_real(std::string_view field, double& out)
{
    if (field.size() == 16 && read_library_form(field.data(), out)) return true;
    if (field.size() == 11 && read_table11_form(field.data(), out)) return true;
    return read_table_form(field, out) || read_other(field, out);
}

}  // namespace

bool parse_real_field(std::string_view field, double& out) { return parse_real(field, out); }

}  // namespace tev
