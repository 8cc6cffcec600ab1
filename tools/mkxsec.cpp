// mkxsec: builds the electron cross-section tables of the reference library (fq.id, bq.id,
// qj.id) from the long-format table of electron-neutral momentum-transfer cross-sections.
//
//   mkxsec <momentum_xsec.tsv> <lib dir>
//
// Reads <lib dir>/library_index.tsv (libnum, nasa_name, name8, phase, formula_code, tab
// separated) for the library numbers and writes <lib dir>/fq.id, bq.id, qj.id and
// xsec_report.txt. The output depends only on the two inputs.
//
// Unit of the table: the Bohr radius squared, a0^2 = 2.8002852e-21 m^2. The conductivity
// integral counts every charge-free species without a table column with a fixed cross-section
// of 80 table units; its constants reproduce the textbook conductivity of a weakly ionised gas
// with one constant cross-section Q, sigma = e^2 n_e <v> / (3 p Q) with <v> = sqrt(8kT/(pi m)),
// exactly when Q is taken in a0^2 (80 a0^2 = 2.24e-19 m^2). The thermo tests check this.
//
// Choice of the 33 table columns (the species that dominate electron collisions in seeded and
// unseeded combustion products), in the order of the list kColumns below:
//   - species with tabulated data take one series by this rule: an "effective" series (elastic
//     momentum transfer plus all inelastic processes: the total momentum-loss rate that the
//     conductivity needs) before a "momentum" series (elastic only) before an "elastic" one
//     (integral elastic, an upper bound); among series of the same kind, the source first in
//     kSourceRank (the Phelps compilation is the most complete consistent set);
//   - potassium, the seed metal, from a published Maxwell-averaged momentum-transfer cross-
//     section (kLiterature); caesium has no value that could be verified and counts with the
//     fixed cross-section through a constant column;
//   - OH, HF and Li without data take the series of their nearest analogue (H2O, HCl: polar
//     hydrides; Na: an alkali atom of nearly the same polarisability);
//   - the remaining columns hold the fixed 80 a0^2: these species behave exactly as if they had
//     no column, and the column is kept for data that may come later.
// List positions 34..40 name species without a column; they must lie above every column
// species in library number, since the list is ascending. The seven neutral species of highest
// library number (at most 999) that are not columns are taken.
//
// Energy grid: 36 nodes in sqrt(eV), written with three digits. The integral samples the
// energies 0.05, 0.10, ... eV, so the first node is sqrt(0.05) and the last sqrt(20) (20 kT at
// 11600 K). Nodes are added one at a time where the table, interpolated linearly in sqrt(eps),
// is furthest (relative error) from the series at a sampled energy: the polar molecules below
// 0.3 eV and the Ramsauer minima take most of them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

//! Bohr radius squared [m^2]: the unit of the cross-section table.
constexpr double kBohr2 = 2.8002852e-21;
//! Fixed cross-section of the species without data [a0^2].
constexpr double kFixedXsec = 80.0;
//! Number of list entries, table columns and grid nodes; values per line of the files.
constexpr int kListSize = 40;
constexpr int kColumns = 33;
constexpr int kNodes = 36;
constexpr int kGridValues = 40;
//! Largest library number that the three-digit list field holds exactly.
constexpr int kMaxLibnum = 999;
//! Energy step of the conductivity integral [eV] and the highest energy tabulated [eV].
constexpr double kStep = 0.05;
constexpr double kTopEnergy = 20.0;

struct Point {
    double e;      //!< energy [eV]
    double sigma;  //!< cross-section [m^2]
};

struct Series {
    std::string species, kind, source;
    std::vector<Point> pts;
};

//! Where a column's values come from.
enum class Origin { data, literature, analogue, fixed };

struct Column {
    std::string name;    //!< species name as in the NASA thermo data
    Origin origin;
    std::string from;    //!< analogue species (Origin::analogue)
};

//! Column species in order of importance; the first 33 present in the library are taken.
const std::vector<Column> kColumnsWanted = {
    {"H2O", Origin::data, ""},   {"CO2", Origin::data, ""},   {"CO", Origin::data, ""},
    {"N2", Origin::data, ""},    {"H2", Origin::data, ""},    {"O2", Origin::data, ""},
    {"OH", Origin::analogue, "H2O"},                          {"H", Origin::data, ""},
    {"O", Origin::data, ""},     {"N", Origin::data, ""},     {"NO", Origin::data, ""},
    {"HCL", Origin::data, ""},   {"HF", Origin::analogue, "HCL"},
    {"K", Origin::literature, ""},                            {"Na", Origin::data, ""},
    {"Cs", Origin::fixed, ""},   {"Li", Origin::analogue, "Na"},
    {"KOH", Origin::fixed, ""},  {"NaOH", Origin::fixed, ""}, {"Ar", Origin::data, ""},
    {"He", Origin::data, ""},    {"CH4", Origin::data, ""},   {"NH3", Origin::data, ""},
    {"C", Origin::data, ""},     {"N2O", Origin::data, ""},   {"Mg", Origin::data, ""},
    {"CL", Origin::fixed, ""},   {"F", Origin::fixed, ""},    {"AL", Origin::fixed, ""},
    {"ALO", Origin::fixed, ""},  {"SO2", Origin::fixed, ""},  {"NO2", Origin::fixed, ""},
    {"HO2", Origin::fixed, ""},  {"CsOH", Origin::fixed, ""}, {"LiOH", Origin::fixed, ""},
    {"HCN", Origin::fixed, ""},
};

//! Published values for species without tabulated data: a constant cross-section [m^2].
struct Literature {
    std::string species;
    double sigma;
    std::string citation;
};
const std::vector<Literature> kLiterature = {
    {"K", 2.37e-18,
     "Maxwell-averaged momentum-transfer cross-section (2.37 +- 0.24)e-14 cm^2 at 1500 K from "
     "the DC conductivity of a thermal potassium-vapour plasma diode (1250-1600 K), in "
     "agreement with Beynon & Brooker (1972) and Karule's close-coupling calculation (1965); "
     "record https://scilit.com/publications/b5e471a61cdbfbbaad3b15df05ce9fdc"},
};

//! Order of preference of the kinds of series, then of the sources.
const std::vector<std::string> kKindRank = {"effective", "momentum", "elastic"};
const std::vector<std::string> kSourceRank = {
    "LXCat:Phelps", "LXCat:IST-Lisbon", "LXCat:Morgan",  "LXCat:TRINITI",
    "LXCat:SIGLO",  "BSR:N-2014",       "BSR:C-2013",    "BSR:O-2016",
    "LXCat:Hayashi(inferred)",          "Snoeckx2023"};

int rank_of(const std::vector<std::string>& order, const std::string& s)
{
    const auto it = std::find(order.begin(), order.end(), s);
    return static_cast<int>(it - order.begin());
}

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what);
}

std::vector<std::string> split_tabs(const std::string& line)
{
    std::vector<std::string> f;
    std::string cur;
    std::istringstream in(line);
    while (std::getline(in, cur, '\t')) f.push_back(cur);
    return f;
}

double to_number(const std::string& s, const std::string& where)
{
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end == s.c_str() || *end != '\0') fail(where + ": not a number: '" + s + "'");
    return v;
}

//! Reads the long-format table: species, energy_eV, sigma_m2, kind, source.
std::map<std::string, std::vector<Series>> read_series(const std::string& path)
{
    std::ifstream in(path);
    if (!in) fail("cannot open " + path);
    std::map<std::string, std::vector<Series>> out;
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (line.empty()) continue;
        const auto f = split_tabs(line);
        if (f.size() < 5) fail(path + " line " + std::to_string(n) + ": fewer than 5 fields");
        if (n == 1 && f[0] == "species") continue;
        const std::string where = path + " line " + std::to_string(n);
        const Point p{to_number(f[1], where), to_number(f[2], where)};
        auto& list = out[f[0]];
        if (list.empty() || list.back().kind != f[3] || list.back().source != f[4]) {
            list.push_back(Series{f[0], f[3], f[4], {}});
        }
        // A zero placeholder at zero energy is no physical value.
        if (p.e == 0 && p.sigma == 0) continue;
        if (!list.back().pts.empty() && p.e <= list.back().pts.back().e) {
            fail(where + ": energies must increase within a series");
        }
        list.back().pts.push_back(p);
    }
    return out;
}

//! Drops isolated points that break a smooth run by more than a factor of five while their
//! neighbours agree within 20 % (a misprinted exponent: the Na series holds 4.05e-20 m^2 at
//! 3.0 eV between 4.1e-19 and 3.97e-19). Returns a line per dropped point.
std::vector<std::string> drop_misprints(Series& s)
{
    std::vector<std::string> notes;
    auto& p = s.pts;
    for (std::size_t k = 1; k + 1 < p.size();) {
        const double a = p[k - 1].sigma, b = p[k].sigma, c = p[k + 1].sigma;
        const bool neighbours_agree = a > 0 && c > 0 && std::fabs(a - c) <= 0.2 * std::max(a, c);
        const double lo = std::min(a, c), hi = std::max(a, c);
        if (neighbours_agree && (b < lo / 5 || b > hi * 5)) {
            char buf[200];
            std::snprintf(buf, sizeof buf,
                          "%s %s: dropped %.4g m^2 at %.4g eV (neighbours %.4g, %.4g)",
                          s.species.c_str(), s.source.c_str(), b, p[k].e, a, c);
            notes.push_back(buf);
            p.erase(p.begin() + static_cast<long>(k));
        } else {
            ++k;
        }
    }
    return notes;
}

//! The series chosen for a species by kind, then source.
const Series& choose(const std::vector<Series>& all)
{
    const Series* best = &all.front();
    for (const auto& s : all) {
        const auto key = [](const Series& x) {
            return std::make_pair(rank_of(kKindRank, x.kind), rank_of(kSourceRank, x.source));
        };
        if (key(s) < key(*best)) best = &s;
    }
    return *best;
}

//! The series at energy e [eV], in m^2: log-log between positive points (cross-sections
//! follow powers of the energy), linear from a zero energy, constant beyond the ends.
double value_at(const Series& s, double e)
{
    const auto& p = s.pts;
    if (e <= p.front().e) return p.front().sigma;
    if (e >= p.back().e) return p.back().sigma;
    std::size_t k = 1;
    while (p[k].e < e) ++k;
    const Point& a = p[k - 1];
    const Point& b = p[k];
    if (a.e > 0 && a.sigma > 0 && b.sigma > 0) {
        const double t = std::log(e / a.e) / std::log(b.e / a.e);
        return std::exp(std::log(a.sigma) + t * std::log(b.sigma / a.sigma));
    }
    return a.sigma + (b.sigma - a.sigma) * (e - a.e) / (b.e - a.e);
}

//! Rounds to three significant digits, as the grid file holds the nodes.
double round3(double x)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2e", x);
    return std::strtod(buf, nullptr);
}

//! Fortran D editing Dw.d of a non-negative value: "0.ddddD+ee", right-justified in w.
std::string d_field(double x, int w, int d)
{
    if (x < 0) fail("negative value in a D field");
    std::string body;
    if (x == 0) {
        body = "0." + std::string(static_cast<std::size_t>(d), '0') + "D+00";
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*e", d - 1, x);  // m.mmmme+XX, d digits
        const std::string s(buf);
        const auto epos = s.find('e');
        std::string digits = s.substr(0, 1) + s.substr(2, epos - 2);
        const int exp10 = std::atoi(s.c_str() + epos + 1) + 1;
        if (std::abs(exp10) > 99) fail("exponent out of range in a D field");
        char ebuf[8];
        std::snprintf(ebuf, sizeof ebuf, "%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
        body = "0." + digits + "D" + ebuf;
    }
    if (static_cast<int>(body.size()) > w) fail("value does not fit its field");
    return std::string(static_cast<std::size_t>(w) - body.size(), ' ') + body;
}

//! Writes values in lines of `per_line` fields Dw.d.
void write_d(const std::string& path, const std::vector<double>& v, int per_line, int w, int d)
{
    std::ofstream out(path);
    if (!out) fail("cannot write " + path);
    for (std::size_t i = 0; i < v.size(); ++i) {
        out << d_field(v[i], w, d);
        if ((i + 1) % static_cast<std::size_t>(per_line) == 0 || i + 1 == v.size()) out << '\n';
    }
}

struct IndexEntry {
    int libnum;
    std::string name;
};

//! Reads the species index of the library (a header line is allowed).
std::vector<IndexEntry> read_index(const std::string& path)
{
    std::ifstream in(path);
    if (!in) fail("cannot open " + path);
    std::vector<IndexEntry> out;
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (line.empty()) continue;
        const auto f = split_tabs(line);
        if (f.size() < 2) fail(path + " line " + std::to_string(n) + ": fewer than 2 fields");
        char* end = nullptr;
        const long num = std::strtol(f[0].c_str(), &end, 10);
        if (end == f[0].c_str() || *end != '\0') {
            if (n == 1) continue;  // header
            fail(path + " line " + std::to_string(n) + ": library number '" + f[0] + "'");
        }
        out.push_back(IndexEntry{static_cast<int>(num), f[1]});
    }
    return out;
}

bool is_charged(const std::string& name)
{
    return !name.empty() && (name.back() == '+' || name.back() == '-');
}

//! One column of the table: where it comes from and its value in a0^2 at an energy.
struct Chosen {
    Column col;
    int libnum = 0;
    const Series* series = nullptr;  //!< data or analogue series
    double constant = 0;             //!< [a0^2] for literature and fixed columns
    std::string note;

    double at(double e) const { return series ? value_at(*series, e) / kBohr2 : constant; }
};

//! Table value at sqrt-energy s between the nodes (linear in sqrt(eps), last segment extended).
double table_at(const std::vector<double>& nodes, const std::vector<double>& vals, double s)
{
    std::size_t z = 1;
    while (z + 1 < nodes.size() && nodes[z] < s) ++z;
    return ((nodes[z] - s) * vals[z - 1] - (nodes[z - 1] - s) * vals[z]) /
           (nodes[z] - nodes[z - 1]);
}

//! Relative error of the table at every sampled energy, the worst over the series columns;
//! `who` receives the species of the overall worst.
std::vector<double> sample_errors(const std::vector<Chosen>& cols,
                                  const std::vector<std::vector<double>>& truth,
                                  const std::vector<double>& nodes, std::string* who)
{
    const std::size_t samples = truth.empty() ? 0 : truth.front().size();
    std::vector<double> worst(samples, 0.0);
    double overall = -1;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        if (!cols[c].series) continue;
        std::vector<double> vals;
        for (double s : nodes) vals.push_back(cols[c].at(s * s));
        for (std::size_t k = 0; k < samples; ++k) {
            const double e = static_cast<double>(k + 1) * kStep;
            const double t = truth[c][k];
            const double err = std::fabs(table_at(nodes, vals, std::sqrt(e)) - t) / t;
            worst[k] = std::max(worst[k], err);
            if (err > overall) {
                overall = err;
                if (who) *who = cols[c].col.name;
            }
        }
    }
    return worst;
}

//! The series of every column at the sampled energies 0.05, 0.10, ... 20 eV [a0^2].
std::vector<std::vector<double>> sampled_truth(const std::vector<Chosen>& cols)
{
    const int samples = static_cast<int>(std::lround(kTopEnergy / kStep));
    std::vector<std::vector<double>> truth(cols.size());
    for (std::size_t c = 0; c < cols.size(); ++c) {
        for (int k = 1; k <= samples; ++k) truth[c].push_back(cols[c].at(k * kStep));
    }
    return truth;
}

//! Places the grid nodes: both ends, then one node at a time at the worst sampled energy.
std::vector<double> place_nodes(const std::vector<Chosen>& cols,
                                const std::vector<std::vector<double>>& truth)
{
    std::vector<double> nodes = {round3(std::sqrt(kStep)), round3(std::sqrt(kTopEnergy))};
    while (static_cast<int>(nodes.size()) < kNodes) {
        const auto err = sample_errors(cols, truth, nodes, nullptr);
        std::vector<std::size_t> order(err.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return err[a] > err[b]; });
        bool added = false;
        for (const std::size_t k : order) {
            const double s = round3(std::sqrt(static_cast<double>(k + 1) * kStep));
            if (std::find(nodes.begin(), nodes.end(), s) == nodes.end()) {
                nodes.insert(std::upper_bound(nodes.begin(), nodes.end(), s), s);
                added = true;
                break;
            }
        }
        if (!added) fail("no place left for a grid node");
    }
    return nodes;
}

const char* origin_text(Origin o)
{
    switch (o) {
    case Origin::data: return "data";
    case Origin::literature: return "literature";
    case Origin::analogue: return "analogue";
    case Origin::fixed: return "fixed";
    }
    return "";
}

//! The table columns: the first 33 wanted species present in the library, each with its series
//! or constant, in increasing library number.
std::vector<Chosen> choose_columns(const std::map<std::string, std::vector<Series>>& series,
                                   const std::map<std::string, int>& libnum_of)
{
    std::vector<Chosen> cols;
    for (const auto& want : kColumnsWanted) {
        if (static_cast<int>(cols.size()) == kColumns) break;
        const auto it = libnum_of.find(want.name);
        if (it == libnum_of.end() || it->second > kMaxLibnum) continue;
        Chosen c{want, it->second, nullptr, 0, ""};
        switch (want.origin) {
        case Origin::data: {
            const auto s = series.find(want.name);
            if (s == series.end()) fail("no cross-section series for " + want.name);
            c.series = &choose(s->second);
            c.note = c.series->source + " (" + c.series->kind + ")";
            break;
        }
        case Origin::analogue: {
            const auto s = series.find(want.from);
            if (s == series.end()) fail("no cross-section series for " + want.from);
            c.series = &choose(s->second);
            c.note = "series of " + want.from + ": " + c.series->source + " (" +
                     c.series->kind + ")";
            break;
        }
        case Origin::literature: {
            const auto lit = std::find_if(kLiterature.begin(), kLiterature.end(),
                                          [&](const Literature& l) {
                                              return l.species == want.name;
                                          });
            if (lit == kLiterature.end()) fail("no published value for " + want.name);
            c.constant = lit->sigma / kBohr2;
            c.note = lit->citation;
            break;
        }
        case Origin::fixed:
            c.constant = kFixedXsec;
            c.note = "no data: the fixed cross-section";
            break;
        }
        cols.push_back(c);
    }
    if (static_cast<int>(cols.size()) < kColumns) fail("fewer than 33 column species in library");
    std::sort(cols.begin(), cols.end(),
              [](const Chosen& a, const Chosen& b) { return a.libnum < b.libnum; });
    for (std::size_t i = 1; i < cols.size(); ++i) {
        if (cols[i].libnum == cols[i - 1].libnum) fail("two columns share a library number");
    }
    return cols;
}

//! List positions 34..40: the neutral species of highest library number outside the columns,
//! in increasing library number, all above the last column.
std::vector<IndexEntry> species_without_column(const std::vector<IndexEntry>& index,
                                               const std::vector<Chosen>& cols)
{
    std::vector<IndexEntry> rest;
    for (const auto& e : index) {
        const bool column = std::any_of(cols.begin(), cols.end(),
                                        [&](const Chosen& c) { return c.libnum == e.libnum; });
        if (!column && !is_charged(e.name) && e.libnum <= kMaxLibnum) rest.push_back(e);
    }
    std::sort(rest.begin(), rest.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return a.libnum > b.libnum; });
    rest.erase(std::unique(rest.begin(), rest.end(),
                           [](const IndexEntry& a, const IndexEntry& b) {
                               return a.libnum == b.libnum;
                           }),
               rest.end());
    if (static_cast<int>(rest.size()) < kListSize - kColumns) fail("too few species for the list");
    rest.resize(kListSize - kColumns);
    std::reverse(rest.begin(), rest.end());
    if (rest.front().libnum <= cols.back().libnum) {
        fail("a species without a column would precede a column species in the list");
    }
    return rest;
}

//! xsec_report.txt: the columns and their sources, the list, the grid, its largest
//! interpolation error and the points left out as misprints.
void write_report(const std::string& path, const std::vector<Chosen>& cols,
                  const std::vector<IndexEntry>& rest, const std::vector<double>& nodes,
                  const std::vector<std::vector<double>>& truth,
                  const std::vector<std::string>& dropped)
{
    std::string who;
    const auto errs = sample_errors(cols, truth, nodes, &who);
    const auto worst_at = std::max_element(errs.begin(), errs.end()) - errs.begin();
    const double worst = errs[static_cast<std::size_t>(worst_at)];
    const double where = static_cast<double>(worst_at + 1) * kStep;

    std::ofstream rep(path);
    if (!rep) fail("cannot write the report");
    rep << "Electron cross-section tables fq.id, bq.id, qj.id (written by mkxsec)\n\n"
        << "Unit of qj.id: a0^2 = " << kBohr2 << " m^2 (Bohr radius squared). The conductivity\n"
        << "integral with one constant cross-section of 80 units and no Coulomb term meets\n"
        << "sigma = e^2 n_e <v> / (3 p Q), <v> = sqrt(8kT/(pi m_e)), with Q = 80 a0^2 within\n"
        << "the trapezoidal error of its 0.05 eV step (< 1 % at 2000-4000 K; tested).\n\n"
        << "Columns (position, library number, species, origin, source):\n";
    char buf[160];
    for (std::size_t d = 0; d < cols.size(); ++d) {
        std::snprintf(buf, sizeof buf, "%3zu %4d  %-6s %-10s ", d + 1, cols[d].libnum,
                      cols[d].col.name.c_str(), origin_text(cols[d].col.origin));
        rep << buf << cols[d].note << '\n';
    }
    rep << "\nList positions without a column (counted with the fixed 80 a0^2):\n";
    for (std::size_t k = 0; k < rest.size(); ++k) {
        std::snprintf(buf, sizeof buf, "%3zu %4d  %s\n", cols.size() + k + 1, rest[k].libnum,
                      rest[k].name.c_str());
        rep << buf;
    }
    rep << "\nGrid (sqrt(eV) / eV):\n";
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%3zu %6.3f %8.4f\n", i + 1, nodes[i], nodes[i] * nodes[i]);
        rep << buf;
    }
    std::snprintf(buf, sizeof buf,
                  "\nLargest relative interpolation error at the sampled energies 0.05..20 eV: "
                  "%.3f (%s at %.2f eV)\n",
                  worst, who.c_str(), where);
    rep << buf;
    rep << "\nPoints taken as misprints and left out:\n";
    for (const auto& note : dropped) rep << "  " << note << '\n';
    rep << "\nSources of the data: see PROVENANCE.md beside the input table (LXCat databases\n"
        << "Phelps, IST-Lisbon, Morgan; BSR calculations; Snoeckx 2023; Hayashi).\n";
}

int run(const std::string& xsec_path, const std::string& lib_dir)
{
    auto series = read_series(xsec_path);
    std::vector<std::string> dropped;
    for (auto& [name, list] : series) {
        for (auto& one : list) {
            for (auto& note : drop_misprints(one)) dropped.push_back(note);
        }
    }
    const auto index = read_index(lib_dir + "/library_index.tsv");
    std::map<std::string, int> libnum_of;
    for (const auto& e : index) {
        if (!libnum_of.count(e.name)) libnum_of[e.name] = e.libnum;
    }
    const std::vector<Chosen> cols = choose_columns(series, libnum_of);
    const std::vector<IndexEntry> rest = species_without_column(index, cols);
    const auto truth = sampled_truth(cols);
    const auto nodes = place_nodes(cols, truth);

    std::vector<double> fq;
    for (const auto& c : cols) fq.push_back(c.libnum);
    for (const auto& e : rest) fq.push_back(e.libnum);
    std::vector<double> bq = nodes;
    bq.resize(kGridValues, 0.0);
    std::vector<double> qj;
    for (const double s : nodes) {
        for (const auto& c : cols) qj.push_back(c.at(s * s));
    }
    write_d(lib_dir + "/fq.id", fq, 8, 9, 3);
    write_d(lib_dir + "/bq.id", bq, 8, 9, 3);
    write_d(lib_dir + "/qj.id", qj, 7, 11, 5);
    write_report(lib_dir + "/xsec_report.txt", cols, rest, nodes, truth, dropped);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: mkxsec <momentum_xsec.tsv> <lib dir>\n";
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "mkxsec: " << e.what() << '\n';
        return 1;
    }
}
