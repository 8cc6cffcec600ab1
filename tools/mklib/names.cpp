// Names of the library's species: up to 8 characters, unique across the library.
#include "tools/mklib/library.h"

#include <cmath>
#include <stdexcept>

namespace mklib {

namespace {

//! Width of a name in the names table.
constexpr std::size_t kNameWidth = 8;

//! Hands out names of up to 8 characters, each once.
class NameBook {
public:
    //! The first candidate that fits and is free; else the last one cut short with "~2", "~3"...
    std::string take(const std::vector<std::string>& candidates)
    {
        for (const auto& c : candidates)
            if (!c.empty() && c.size() <= kNameWidth && used_.insert(c).second) return c;
        std::string base = candidates.empty() ? "X" : candidates.back();
        for (int k = 2; k < 1000; ++k) {
            std::string suf = "~";  // appended: GCC 12 at -O3 warns falsely on a prepend
            suf += std::to_string(k);
            std::string c = base.substr(0, kNameWidth - suf.size()) + suf;
            if (used_.insert(c).second) return c;
        }
        throw std::runtime_error("no unique name for " + base);
    }

private:
    std::set<std::string> used_;
};

//! s up to the first of `stops`.
std::string upto(const std::string& s, const std::string& stops)
{
    const auto p = s.find_first_of(stops);
    return p == std::string::npos ? s : s.substr(0, p);
}

//! The formula written out in the NASA record's element order, counts of 1 left out.
std::string formula_name(const NasaSpecies& sp)
{
    std::string out;
    for (const auto& [sym, cnt] : sp.atoms) {
        if (sym == "E") {
            out += cnt > 0 ? "-" : "+";
            continue;
        }
        out += sym;
        if (cnt != 1.0) out += std::to_string(static_cast<int>(std::lround(cnt)));
    }
    return out;
}

}  // namespace

void assign_names(std::vector<Gas>& gases, std::vector<Condensed>& conds)
{
    NameBook book;
    // A gas keeps its NASA name where it fits; an isomer keeps the start of its tag after the
    // comma ("C3H6O,ac"); a bracketed formula is written out ("ALO2H2CL").
    for (auto& g : gases) {
        const std::string& n = g.sp->name;
        std::vector<std::string> cand = {n, upto(n, ",")};
        if (n.find(',') != std::string::npos) cand.push_back(n.substr(0, kNameWidth));
        cand.push_back(formula_name(*g.sp));
        g.name8 = book.take(cand);
    }
    // A substance is named without the phase tag of its first phase: "AL(OH)3(a)" -> "AL(OH)3".
    for (auto& c : conds) {
        const std::string& first = c.phases.front()->name;
        const auto tag = first.rfind('(');
        const std::string base =
            tag == std::string::npos || tag == 0 ? first : first.substr(0, tag);
        c.name8 = book.take({base + "(c)", base.substr(0, 7) + "*", base.substr(0, 6) + "(c"});
    }
}

}  // namespace mklib
