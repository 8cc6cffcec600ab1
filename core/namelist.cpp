// The namelist reader: finds one group "&NAME ... /" and assigns its array variables.
#include "core/namelist.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "core/errors.h"
#include "core/layout.h"

namespace tev {

namespace {

//! Longest variable name a group may use.
constexpr std::size_t kMaxNameLength = 30;

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(a[k])) !=
            std::toupper(static_cast<unsigned char>(b[k])))
            return false;
    return true;
}

//! The text in double quotes, for messages. Built by appending: prepending to a temporary
//! string makes GCC 12 at -O3 warn falsely about overlapping copies.
std::string quoted(std::string_view t)
{
    std::string s;
    s.reserve(t.size() + 2);
    s += '"';
    s += t;
    s += '"';
    return s;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

//! Reads one group from the whole text of a file.
class GroupReader {
public:
    GroupReader(std::string text, const std::string& file, int unit, const std::string& group,
                const std::vector<NamelistVar>& vars)
        : t_(std::move(text)), file_(file), unit_(unit), group_(group), vars_(vars)
    {
    }

    void run()
    {
        find_group();
        for (;;) {
            skip_separators();
            if (p_ == t_.size()) fail("end of file before the closing \"/\" of &" + group_);
            const char c = t_[p_];
            if (c == '/') return;
            if (c == '&') {
                const std::size_t at = p_++;
                const std::string word = take_while(is_name_char);
                if (same_name(word, "END")) return;
                p_ = at;
                fail("\"&" + word + "\" inside group &" + group_ + " before its closing \"/\"");
            }
            if (!is_letter(c)) fail("variable name expected, found " + found());
            assignment();
        }
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        const auto end = t_.begin() + static_cast<long>(std::min(p_, t_.size()));
        const long line = 1 + static_cast<long>(std::count(t_.begin(), end, '\n'));
        throw InputError(file_, unit_, "READ", "line " + std::to_string(line) + ": " + what);
    }

    // The text at the current position, for messages.
    std::string found() const
    {
        if (p_ >= t_.size()) return "end of file";
        std::size_t e = p_;
        while (e < t_.size() && e - p_ < 20 && t_[e] != '\n' && t_[e] != '\r') ++e;
        return quoted(std::string_view(t_).substr(p_, e - p_));
    }

    template <typename Pred>
    std::string take_while(Pred pred)
    {
        const std::size_t start = p_;
        while (p_ < t_.size() && pred(t_[p_])) ++p_;
        return t_.substr(start, p_ - start);
    }

    void skip_comment()
    {
        while (p_ < t_.size() && t_[p_] != '\n') ++p_;
    }

    // Blanks, line ends and comments.
    void skip_blanks()
    {
        while (p_ < t_.size()) {
            if (is_blank(t_[p_])) {
                ++p_;
            } else if (t_[p_] == '!') {
                skip_comment();
            } else {
                return;
            }
        }
    }

    void skip_separators()
    {
        for (;;) {
            skip_blanks();
            if (p_ < t_.size() && t_[p_] == ',') {
                ++p_;
                continue;
            }
            return;
        }
    }

    // Skips to the ampersand that opens the wanted group and past its name.
    void find_group()
    {
        for (;;) {
            p_ = t_.find('&', p_);
            if (p_ == std::string::npos) {
                p_ = t_.size();
                throw InputError(file_, unit_, "READ", "group &" + group_ + " not found");
            }
            ++p_;
            const std::string name =
                take_while([](char c) { return !is_blank(c) && c != '/' && c != '&'; });
            if (same_name(name, group_)) return;
        }
    }

    long integer(const std::string& what)
    {
        skip_blanks();
        const std::string digits = take_while([](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '+';
        });
        double x = 0;
        if (digits.empty() || digits.size() > 9 || !parse_real_field(digits, x))
            fail(what + " is not a whole number: " +
                 (digits.empty() ? found() : quoted(digits)));
        skip_blanks();
        return static_cast<long>(x);
    }

    void assignment()
    {
        const std::size_t name_at = p_;
        const std::string name = take_while(is_name_char);
        const NamelistVar* var = nullptr;
        if (name.size() <= kMaxNameLength)
            for (const auto& v : vars_)
                if (same_name(v.name, name)) var = &v;
        if (!var) {
            p_ = name_at;
            fail(quoted(name) + " is not a variable of group &" + group_);
        }
        const long size = static_cast<long>(var->a.size());
        long first = 1;
        long last = size;
        skip_blanks();
        if (p_ < t_.size() && t_[p_] == '(') {
            ++p_;
            first = integer("subscript of " + name);
            bool range = false;
            if (p_ < t_.size() && t_[p_] == ':') {
                ++p_;
                last = integer("subscript of " + name);
                range = true;
            }
            if (p_ == t_.size() || t_[p_] != ')')
                fail("\")\" expected after the subscript of " + name + ", found " + found());
            ++p_;
            // A single index starts the values there; a range also bounds them.
            if (first < 1 || first > size || last < first || last > size) {
                std::string sub = std::to_string(first);
                if (range) {
                    sub += ':';
                    sub += std::to_string(last);
                }
                fail("subscript " + name + "(" + sub + ") outside 1.." + std::to_string(size));
            }
            skip_blanks();
        }
        if (p_ == t_.size() || t_[p_] != '=')
            fail("\"=\" expected after " + name + ", found " + found());
        ++p_;
        values(*var, name, first, last);
    }

    // The value list of one assignment: element `first` onward, at most up to `last`.
    void values(const NamelistVar& var, const std::string& name, long first, long last)
    {
        long next = first;    // element the next value goes to
        bool expecting = true;  // a comma now would be a null value
        for (;;) {
            skip_blanks();
            if (p_ == t_.size()) return;
            const char c = t_[p_];
            if (c == ',') {
                ++p_;
                if (expecting) ++next;  // null value: the element keeps its value
                expecting = true;
                continue;
            }
            if (c == '/' || c == '&' || is_letter(c)) return;
            const std::size_t at = p_;
            const std::string token = take_while([](char ch) {
                return !is_blank(ch) && ch != ',' && ch != '/' && ch != '!' && ch != '&';
            });
            long repeat = 1;
            std::string value = token;
            const std::size_t star = token.find('*');
            if (star != std::string::npos) {
                const std::string count = token.substr(0, star);
                double r = 0;
                if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
                    count.size() > 6 || !parse_real_field(count, r) || r < 1) {
                    p_ = at;
                    fail("bad repeat count in \"" + token + "\" for " + name);
                }
                repeat = static_cast<long>(r);
                value = token.substr(star + 1);
            }
            expecting = false;
            if (value.empty()) {  // "r*": r null values
                next += repeat;
                continue;
            }
            double x = 0;
            if (!parse_real_field(value, x)) {
                p_ = at;
                fail(quoted(token) + " is not a number (variable " + name + ")");
            }
            if (next + repeat - 1 > last) {
                p_ = at;
                fail("too many values for " + name + ": element " +
                     std::to_string(next + repeat - 1) + " is past " + std::to_string(last));
            }
            for (long k = 0; k < repeat; ++k) var.a[static_cast<std::size_t>(next - 1 + k)] = x;
            next += repeat;
        }
    }

    std::string t_;
    std::size_t p_ = 0;
    const std::string& file_;
    int unit_;
    const std::string& group_;
    const std::vector<NamelistVar>& vars_;
};

}  // namespace

void read_namelist(std::istream& in, const std::string& file, int unit, const std::string& group,
                   const std::vector<NamelistVar>& vars)
{
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception& e) {
        // The stream buffer reports a failed read (an I/O error) by throwing past the stream.
        throw InputError(file, unit, "READ", std::string("the file cannot be read: ") + e.what());
    }
    if (in.bad()) throw InputError(file, unit, "READ", "the file cannot be read");
    GroupReader(std::move(text), file, unit, group, vars).run();
}

}  // namespace tev
