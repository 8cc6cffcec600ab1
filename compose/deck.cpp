// Reading a deck: statements, their values and units.
#include "compose/deck.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

#include "compose/compose_error.h"

namespace tev {

namespace {

//! Factors from the pressure units a deck may use to MPa.
const std::map<std::string, double> kPressureUnits = {
    {"MPA", 1.0}, {"BAR", 0.1}, {"ATM", 0.101325}, {"PSIA", 0.006894757293168361}};

std::string upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

//! One statement: its words, quoted texts kept whole (without their quotes).
struct Statement {
    std::string file;
    int line = 0;
    std::vector<std::string> words;

    [[noreturn]] void fail(const std::string& what) const { throw ComposeError(file, line, what); }
};

Statement split(const std::string& text, const std::string& file, int line)
{
    Statement st{file, line, {}};
    std::string word;
    bool quoted = false, in_word = false;
    for (char c : text) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
            continue;
        }
        if (c == '#') break;
        if (c == '"') {
            quoted = true;
            in_word = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (in_word) st.words.push_back(word);
            word.clear();
            in_word = false;
            continue;
        }
        word += c;
        in_word = true;
    }
    if (quoted) st.fail("a quoted text is not closed");
    if (in_word) st.words.push_back(word);
    return st;
}

//! The number a whole word spells, if it does.
std::optional<double> to_number(const std::string& w)
{
    double x = 0;
    const char* first = w.data();
    if (!w.empty() && w[0] == '+') ++first;
    const auto res = std::from_chars(first, w.data() + w.size(), x);
    if (res.ec != std::errc() || res.ptr != w.data() + w.size() || !std::isfinite(x))
        return std::nullopt;
    return x;
}

double positive(const Statement& st, const std::string& w, const std::string& what)
{
    const auto x = to_number(w);
    if (!x) st.fail(what + ": \"" + w + "\" is not a number");
    if (*x <= 0) st.fail(what + ": " + w + " is not positive");
    return *x;
}

//! Values from word `from` to `to` (exclusive), the last of which may be a unit. Pressure
//! values come back in MPa; temperatures accept K only.
enum class Unit { None, Pressure, Temperature };

std::vector<double> values(const Statement& st, std::size_t from, std::size_t to, Unit unit,
                           const std::string& what)
{
    double factor = 1;
    if (unit != Unit::None && to > from && !to_number(st.words[to - 1])) {
        const std::string u = upper(st.words[to - 1]);
        if (unit == Unit::Pressure && kPressureUnits.count(u)) {
            factor = kPressureUnits.at(u);
            --to;
        } else if (unit == Unit::Temperature && u == "K") {
            --to;
        } else {
            const char* known = unit == Unit::Pressure ? " (units: MPa, bar, atm, psia)"
                                                       : " (temperatures are in K)";
            st.fail(what + ": unknown unit \"" + st.words[to - 1] + "\"" + known);
        }
    }
    if (to <= from) st.fail(what + ": no values");
    std::vector<double> v;
    for (std::size_t k = from; k < to; ++k) {
        const std::string u = upper(st.words[k]);
        if (kPressureUnits.count(u) || u == "K")
            st.fail(what + ": the unit \"" + st.words[k] + "\" stands once, after all the values");
        const double x = positive(st, st.words[k], what);
        // bar divides exactly by ten; the other units multiply by their factor.
        v.push_back(factor == 0.1 ? x / 10 : x * factor);
    }
    return v;
}

void append(DeckList& list, const Statement& st, const std::vector<double>& v)
{
    if (list.line == 0) list.line = st.line;
    list.v.insert(list.v.end(), v.begin(), v.end());
}

DeckComponent component(const Statement& st)
{
    if (st.words.size() < 2) st.fail(st.words[0] + ": no name");
    DeckComponent c;
    c.line = st.line;
    c.name = st.words[1];
    for (std::size_t k = 2; k < st.words.size(); ++k) {
        const std::string& w = st.words[k];
        const std::size_t eq = w.find('=');
        if (eq == std::string::npos)
            st.fail("\"" + w + "\" is not an attribute (wt=, t=, formula=, h=, phase=)");
        const std::string key = upper(w.substr(0, eq));
        const std::string val = w.substr(eq + 1);
        if (key == "WT") {
            c.wt = positive(st, val, "wt (mass percent)");
        } else if (key == "T") {
            c.t = positive(st, val, "t (temperature, K)");
        } else if (key == "FORMULA") {
            c.formula = val;
        } else if (key == "PHASE") {
            const std::string p = upper(val);
            if (p != "GAS" && p != "CONDENSED") st.fail("phase=" + val + ": use phase=gas or phase=condensed");
            c.gas = p == "GAS";
        } else if (key == "H") {
            // The unit follows as the next word, or is joined to the number.
            std::string number = val, unit;
            const std::size_t u = val.find_first_of("kKjJcC", val.find_first_of("0123456789"));
            if (u != std::string::npos) {
                number = val.substr(0, u);
                unit = val.substr(u);
            } else if (k + 1 < st.words.size() && st.words[k + 1].find('=') == std::string::npos) {
                unit = st.words[++k];
            }
            const auto x = to_number(number);
            if (!x) st.fail("h: \"" + val + "\" is not a number");
            const std::string uu = upper(unit);
            if (uu == "KJ/MOL")
                c.h_unit = "kJ/mol";
            else if (uu == "KJ/KG")
                c.h_unit = "kJ/kg";
            else if (uu == "KCAL/MOL")
                c.h_unit = "kcal/mol";
            else
                st.fail("h=" + val + (unit.empty() ? " needs a unit" : ": unknown unit \"" + unit + "\"") +
                        " (kJ/mol, kJ/kg or kcal/mol)");
            c.h = *x;
        } else {
            st.fail("unknown attribute \"" + w.substr(0, eq) + "=\" (wt=, t=, formula=, h=, phase=)");
        }
    }
    if (c.h && !c.formula) st.fail(c.name + ": h= is given without formula=");
    if (c.formula && !c.h) st.fail(c.name + ": formula= is given without h=");
    return c;
}

void sections(Deck& d, const Statement& st, SectionKind kind, const std::string& what)
{
    if (d.sections != SectionKind::None && d.sections != kind)
        st.fail("the nozzle sections are already given on line " + std::to_string(d.sections_line) +
                " in another way; one deck takes one kind of section");
    d.sections = kind;
    if (d.sections_line == 0) d.sections_line = st.line;
    const Unit unit = kind == SectionKind::Pressure      ? Unit::Pressure
                      : kind == SectionKind::Temperature ? Unit::Temperature
                                                         : Unit::None;
    std::size_t from = 1;
    bool subsonic = false;
    if (kind == SectionKind::AreaRatio && st.words.size() > 1) {
        const std::string side = upper(st.words[1]);
        if (side == "SUBSONIC" || side == "SUPERSONIC") {
            subsonic = side == "SUBSONIC";
            from = 2;
        }
    }
    append(subsonic ? d.subsonic : d.supersonic, st, values(st, from, st.words.size(), unit, what));
}

void grid(Deck& d, const Statement& st)
{
    d.grid = true;
    d.grid_line = st.line;
    std::size_t k = 1;
    while (k < st.words.size()) {
        const std::string part = upper(st.words[k]);
        if (part != "T" && part != "P") st.fail("grid: expected t or p, found \"" + st.words[k] + "\"");
        std::size_t end = k + 1;
        while (end < st.words.size() && upper(st.words[end]) != "T" && upper(st.words[end]) != "P") ++end;
        if (part == "T")
            append(d.grid_t, st, values(st, k + 1, end, Unit::Temperature, "grid t"));
        else
            append(d.grid_p, st, values(st, k + 1, end, Unit::Pressure, "grid p"));
        k = end;
    }
    if (d.grid_t.v.empty() || d.grid_p.v.empty())
        st.fail("grid needs temperatures and pressures: grid t 2000 3000 K p 0.1 1 MPa");
}

void names(std::vector<std::string>& list, int& line, const Statement& st)
{
    if (st.words.size() < 2) st.fail(st.words[0] + ": no species names");
    if (line == 0) line = st.line;
    list.insert(list.end(), st.words.begin() + 1, st.words.end());
}

const char* const kStatements =
    "fuel, oxidizer, propellant, o/f, alpha, pc, pc/pe, pe, ae/at, t, frozen, ions, report, "
    "omit, only, constant volume, grid";

}  // namespace

Deck read_deck(std::istream& in, const std::string& file)
{
    Deck d;
    d.file = file;
    std::string text;
    int line = 0;
    int report_line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const Statement st = split(text, file, line);
        if (st.words.empty()) continue;
        const std::string key = upper(st.words[0]);
        const std::size_t n = st.words.size();
        if (key == "FUEL") {
            d.fuel.push_back(component(st));
        } else if (key == "OXIDIZER" || key == "OXIDISER") {
            d.oxidizer.push_back(component(st));
        } else if (key == "PROPELLANT") {
            d.propellant.push_back(component(st));
        } else if (key == "O/F") {
            append(d.of, st, values(st, 1, n, Unit::None, "o/f"));
        } else if (key == "ALPHA" || key == "ALFA") {
            append(d.alpha, st, values(st, 1, n, Unit::None, "alpha"));
        } else if (key == "PC") {
            append(d.pc, st, values(st, 1, n, Unit::Pressure, "pc"));
        } else if (key == "PC/PE") {
            sections(d, st, SectionKind::PressureRatio, "pc/pe");
        } else if (key == "PE") {
            sections(d, st, SectionKind::Pressure, "pe");
        } else if (key == "AE/AT") {
            sections(d, st, SectionKind::AreaRatio, "ae/at");
        } else if (key == "T") {
            sections(d, st, SectionKind::Temperature, "t");
        } else if (key == "FROZEN") {
            if (d.frozen) st.fail("frozen is already given on line " + std::to_string(d.frozen_line));
            const auto v = values(st, 1, n, Unit::Temperature, "frozen");
            if (v.size() != 1) st.fail("frozen takes one temperature: frozen 3000 K");
            d.frozen = v[0];
            d.frozen_line = line;
        } else if (key == "IONS") {
            if (n != 1) st.fail("ions takes no values");
            d.ions = true;
        } else if (key == "REPORT") {
            const std::string how = n == 2 ? upper(st.words[1]) : "";
            if (how != "LINES" && how != "TABLE") st.fail("report lines | report table");
            if (report_line) st.fail("report is already given on line " + std::to_string(report_line));
            d.report = how == "LINES" ? 1 : -1;
            report_line = line;
        } else if (key == "OMIT") {
            names(d.omit, d.omit_line, st);
        } else if (key == "ONLY") {
            names(d.only, d.only_line, st);
        } else if (key == "CONSTANT") {
            if (n != 2 || upper(st.words[1]) != "VOLUME") st.fail("constant volume");
            d.constant_volume = true;
            d.constant_volume_line = line;
        } else if (key == "GRID") {
            if (d.grid) st.fail("grid is already given on line " + std::to_string(d.grid_line));
            grid(d, st);
        } else {
            st.fail("unknown statement \"" + st.words[0] + "\" (statements: " + kStatements + ")");
        }
    }
    if (in.bad()) throw ComposeError(file, 0, "the deck cannot be read");
    return d;
}

}  // namespace tev
