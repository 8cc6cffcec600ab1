// The reactant table: reading, writing, enthalpy at a temperature and lookup by name.
#include "compose/reactants.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "compose/compose_error.h"
#include "core/layout.h"
#include "tools/mklib/formula.h"

namespace tev {

namespace {

//! Columns of an entry line and of a fit line.
constexpr std::size_t kEntryColumns = 7;
constexpr std::size_t kFitColumns = 11;  // a blank name, tlo, thi, a1..a7, b1
//! Suggestions offered for a name not found.
constexpr std::size_t kMaxSuggestions = 5;

//! Common names of propellants and the NASA name each stands for; used for suggestions only.
const std::pair<const char*, const char*> kCommonNames[] = {
    {"LOX", "O2(L)"},          {"GOX", "O2"},
    {"LH2", "H2(L)"},          {"GH2", "H2"},
    {"LCH4", "CH4(L)"},        {"METHANE", "CH4(L)"},
    {"KEROSENE", "RP-1"},      {"MMH", "CH6N2(L)"},
    {"UDMH", "C2H8N2(L),UDMH"}, {"HYDRAZINE", "N2H4(L)"},
    {"NTO", "N2O4(L)"},        {"ETHANOL", "C2H5OH(L)"},
    {"METHANOL", "CH3OH(L)"},  {"AP", "NH4CLO4(I)"},
    {"AN", "NH4NO3(IV)"},      {"HTP", "H2O2(L)"},
    {"PEROXIDE", "H2O2(L)"},   {"LF2", "F2(L)"},
    {"ALUMINUM", "AL(cr)"},    {"ALUMINIUM", "AL(cr)"},
    {"WATER", "H2O(L)"},       {"NITROUS", "N2O"},
    {"AMMONIA", "NH3(L)"},     {"BORON", "B(b)"}};

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

std::vector<std::string> split_tabs(const std::string& line)
{
    std::vector<std::string> f;
    std::size_t at = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', at);
        f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return f;
        at = tab + 1;
    }
}

double number(const std::string& text, const std::string& file, int line, const char* what)
{
    double x = 0;
    if (text.empty() || !parse_real_field(text, x))
        throw ComposeError(file, line, std::string(what) + " \"" + text + "\" is not a number");
    return x;
}

std::vector<std::pair<int, double>> parse_formula(const std::string& text, const std::string& file,
                                                  int line)
{
    std::istringstream in(text);
    std::vector<std::pair<int, double>> f;
    std::string symbol, count;
    while (in >> symbol) {
        if (!(in >> count))
            throw ComposeError(file, line, "formula \"" + text + "\": no count after " + symbol);
        const int z = element_number(symbol);
        if (z == 0)
            throw ComposeError(file, line, "formula \"" + text + "\": " + symbol +
                                               " is not an element symbol");
        f.emplace_back(z, number(count, file, line, "atom count"));
    }
    if (f.empty()) throw ComposeError(file, line, "an entry without a formula");
    return f;
}

//! Edit distance of two names (case already folded), for suggestions.
std::size_t distance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace

static_assert(kElectronElement == mklib::kElectron);

int element_number(std::string_view symbol) { return mklib::element_number(std::string(symbol)); }

std::string element_symbol(int number)
{
    if (number == mklib::kElectron) return "E";
    if (number < 1 || number > 97) return "";
    return mklib::element_symbols()[static_cast<std::size_t>(number)];
}

double fit_enthalpy(const ReactantFit& f, double T)
{
    const auto& a = f.a;
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
    const double hrt = -a[0] / T2 + a[1] * std::log(T) / T + a[2] + a[3] * T / 2 + a[4] * T2 / 3 +
                       a[5] * T3 / 4 + a[6] * T4 / 5 + f.b1 / T;
    return hrt * kNasaR * T;
}

std::optional<double> reactant_enthalpy(const Reactant& r, double T)
{
    if (T == r.t) return r.h;
    for (const auto& f : r.fits)
        if (T >= f.tlo && T <= f.thi) return fit_enthalpy(f, T);
    return std::nullopt;
}

std::string reactant_range(const Reactant& r)
{
    auto plain = [](double x) {
        std::string s = shortest_real(x);
        if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
        return s;
    };
    if (r.fits.empty()) return plain(r.t) + " K";
    return plain(r.fits.front().tlo) + " to " + plain(r.fits.back().thi) + " K";
}

std::string formula_text(const std::vector<std::pair<int, double>>& formula)
{
    std::string s;
    for (const auto& [z, n] : formula) {
        std::string count = shortest_real(n);
        if (count.size() > 2 && count.compare(count.size() - 2, 2, ".0") == 0)
            count.resize(count.size() - 2);
        if (!s.empty()) s += ' ';
        s += element_symbol(z);
        s += ' ';
        s += count;
    }
    return s;
}

std::vector<const Reactant*> ReactantTable::named(std::string_view name) const
{
    std::vector<const Reactant*> exact, folded;
    const std::string u = upper(name);
    for (const auto& e : entries) {
        if (e.name == name) exact.push_back(&e);
        if (upper(e.name) == u) folded.push_back(&e);
    }
    return exact.empty() ? folded : exact;
}

std::vector<std::string> ReactantTable::near(std::string_view name) const
{
    const std::string q = upper(name);
    std::vector<std::pair<std::size_t, std::string>> ranked;  // score (lower is better), name
    auto offer = [&](std::size_t score, const std::string& n) {
        for (auto& [s, m] : ranked)
            if (m == n) {
                s = std::min(s, score);
                return;
            }
        ranked.emplace_back(score, n);
    };
    for (const auto& [common, nasa] : kCommonNames)
        if (q == common && !named(nasa).empty()) offer(0, nasa);
    const std::size_t close = std::max<std::size_t>(2, q.size() / 3);
    for (const auto& e : entries) {
        const std::string u = upper(e.name);
        const std::size_t d = distance(q, u);
        if (d <= close) offer(1 + d, e.name);
        if (q.size() >= 2 && u.find(q) != std::string::npos)
            offer(1 + (u.size() - q.size()) / 2, e.name);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& r : ranked) {
        if (out.size() == kMaxSuggestions) break;
        out.push_back(r.second);
    }
    return out;
}

ReactantTable read_reactant_table(std::istream& in, const std::string& file)
{
    ReactantTable t;
    std::string line;
    int no = 0;
    bool header_seen = false;
    std::size_t fits_due = 0;  // fit lines the last entry still announces
    while (std::getline(in, line)) {
        ++no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto f = split_tabs(line);
        if (!header_seen) {
            if (f.size() != kEntryColumns || f[0] != "name")
                throw ComposeError(file, no, "the column header line is missing");
            header_seen = true;
            continue;
        }
        if (f[0].empty()) {
            if (fits_due == 0 || f.size() != kFitColumns)
                throw ComposeError(file, no, "a fit line that belongs to no entry");
            ReactantFit fit;
            fit.tlo = number(f[1], file, no, "temperature");
            fit.thi = number(f[2], file, no, "temperature");
            for (std::size_t k = 0; k < 7; ++k) fit.a[k] = number(f[3 + k], file, no, "coefficient");
            fit.b1 = number(f[10], file, no, "coefficient");
            t.entries.back().fits.push_back(fit);
            --fits_due;
            continue;
        }
        if (fits_due != 0) throw ComposeError(file, no, "fit lines missing before this entry");
        if (f.size() != kEntryColumns)
            throw ComposeError(file, no, "an entry needs " + std::to_string(kEntryColumns) +
                                             " tab-separated columns");
        Reactant r;
        r.name = f[0];
        if (f[1] != "gas" && f[1] != "condensed")
            throw ComposeError(file, no, "phase \"" + f[1] + "\" is neither gas nor condensed");
        r.gas = f[1] == "gas";
        if (f[2] != "reactant" && f[2] != "product")
            throw ComposeError(file, no, "source \"" + f[2] + "\" is neither reactant nor product");
        r.listed = f[2] == "reactant";
        r.formula = parse_formula(f[3], file, no);
        r.t = number(f[4], file, no, "temperature");
        r.h = number(f[5], file, no, "enthalpy");
        const double n = number(f[6], file, no, "fit count");
        if (n < 0 || n > 10 || n != std::trunc(n))
            throw ComposeError(file, no, "fit count \"" + f[6] + "\" is not 0 to 10");
        fits_due = static_cast<std::size_t>(n);
        t.entries.push_back(std::move(r));
    }
    if (in.bad()) throw ComposeError(file, 0, "the file cannot be read");
    if (!header_seen) throw ComposeError(file, 0, "no entries (is this a reactant table?)");
    if (fits_due != 0) throw ComposeError(file, no, "the file ends inside the fits of an entry");
    return t;
}

void write_reactant_table(std::ostream& out, const std::vector<std::string>& header,
                          const std::vector<Reactant>& entries)
{
    for (const auto& h : header) out << "# " << h << '\n';
    out << "name\tphase\tsource\tformula\tt_K\th_J_mol\tfits\n";
    for (const auto& r : entries) {
        out << r.name << '\t' << (r.gas ? "gas" : "condensed") << '\t'
            << (r.listed ? "reactant" : "product") << '\t' << formula_text(r.formula) << '\t'
            << shortest_real(r.t) << '\t' << shortest_real(r.h) << '\t' << r.fits.size() << '\n';
        for (const auto& f : r.fits) {
            out << '\t' << shortest_real(f.tlo) << '\t' << shortest_real(f.thi);
            for (double a : f.a) out << '\t' << shortest_real(a);
            out << '\t' << shortest_real(f.b1) << '\n';
        }
    }
}

}  // namespace tev
