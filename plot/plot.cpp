// The figures of a results table and the gnuplot script that draws them.
#include "plot/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "core/layout.h"

namespace tev::plot {

namespace {

//! Pixel size of a PNG figure.
constexpr const char* kPngSize = "960,640";
//! Size of an SVG figure.
constexpr const char* kSvgSize = "960,640";

//! A number of the table; NaN for an empty or unreadable field.
double number(const std::string& s)
{
    if (s.empty()) return std::nan("");
    char* end = nullptr;
    const double x = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() ? x : std::nan("");
}

//! A number for a curve title: "10", "0.1".
std::string plain(double x)
{
    std::string s = shortest_real(x);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

//! A text in a gnuplot single-quoted string.
std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

//! Rows of one kind, keyed so that a point reported twice counts once (the last report).
struct Point {
    double of = 0, pc = 0, x = 0, y = 0;
    std::string section;
};

//! Points of `kind` with `y` defined; x is the column `xcol`.
std::vector<Point> points(const Table& t, const std::string& kind, const std::string& xcol,
                          const std::string& ycol)
{
    const int k = t.column("kind"), of = t.column("o_f"), pc = t.column("pc_MPa"),
              sec = t.column("section"), x = t.column(xcol), y = t.column(ycol),
              ok = t.column("converged");
    if (k < 0 || of < 0 || pc < 0 || x < 0 || y < 0) return {};
    // Keyed by the texts: a ratio left empty (a single propellant) is a key like any other.
    std::map<std::tuple<std::string, std::string, std::string>, Point> last;
    std::vector<std::tuple<std::string, std::string, std::string>> order;
    for (const auto& r : t.rows) {
        if (r[static_cast<std::size_t>(k)] != kind) continue;
        if (ok >= 0 && r[static_cast<std::size_t>(ok)] == "0") continue;
        Point p;
        p.of = number(r[static_cast<std::size_t>(of)]);
        p.pc = number(r[static_cast<std::size_t>(pc)]);
        p.section = sec >= 0 ? r[static_cast<std::size_t>(sec)] : "";
        p.x = number(r[static_cast<std::size_t>(x)]);
        p.y = number(r[static_cast<std::size_t>(y)]);
        if (std::isnan(p.x) || std::isnan(p.y)) continue;
        const auto key = std::make_tuple(r[static_cast<std::size_t>(of)], r[static_cast<std::size_t>(pc)], p.section);
        if (!last.count(key)) order.push_back(key);
        last[key] = p;
    }
    std::vector<Point> out;
    for (const auto& key : order) out.push_back(last[key]);
    return out;
}

//! Curves of `pts` grouped by chamber pressure (and section, when `by_section`), in the order
//! of their first point; each sorted by x.
std::vector<Curve> curves(const std::vector<Point>& pts, bool by_section)
{
    std::set<double> pcs;
    for (const auto& p : pts) pcs.insert(p.pc);
    std::vector<Curve> out;
    std::map<std::pair<double, std::string>, std::size_t> at;
    for (const auto& p : pts) {
        const auto key = std::make_pair(p.pc, by_section ? p.section : std::string());
        if (!at.count(key)) {
            at[key] = out.size();
            std::string title = "pc " + plain(p.pc) + " MPa";
            if (by_section && !p.section.empty()) title += ", " + p.section;
            out.push_back({title, {}});
        }
        out[at[key]].xy.emplace_back(p.x, p.y);
    }
    for (auto& c : out) std::sort(c.xy.begin(), c.xy.end());
    return out;
}

}  // namespace

int Table::column(const std::string& name) const
{
    const auto it = std::find(header.begin(), header.end(), name);
    return it == header.end() ? -1 : static_cast<int>(it - header.begin());
}

Table read_csv(std::istream& in, const std::string& file)
{
    Table t;
    std::string line;
    int no = 0;
    while (std::getline(in, line)) {
        ++no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> f(1);
        bool quoted_field = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quoted_field) {
                if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    f.back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted_field = false;
                } else {
                    f.back() += c;
                }
            } else if (c == '"') {
                quoted_field = true;
            } else if (c == ',') {
                f.emplace_back();
            } else {
                f.back() += c;
            }
        }
        if (t.header.empty()) {
            t.header = f;
            continue;
        }
        if (f.size() != t.header.size())
            throw std::runtime_error(file + ":" + std::to_string(no) + ": " + std::to_string(f.size()) +
                                     " fields where the header has " + std::to_string(t.header.size()));
        t.rows.push_back(std::move(f));
    }
    if (t.header.empty()) throw std::runtime_error(file + ": empty, no header row");
    return t;
}

std::vector<Figure> figures(const Table& t)
{
    std::vector<Figure> figs;
    std::set<double> ratios;
    for (const auto& p : points(t, "chamber", "o_f", "T_K")) ratios.insert(p.of);
    const bool over_ratio = ratios.size() >= 2;
    auto add = [&](Figure f) {
        if (!f.curves.empty()) figs.push_back(std::move(f));
    };
    if (over_ratio) {
        add({"tevalin_isp", "Specific impulse", "O/F", "specific impulse, m/s",
             curves(points(t, "section", "o_f", "isp_m_s"), true)});
        add({"tevalin_ivac", "Vacuum specific impulse", "O/F", "vacuum specific impulse, m/s",
             curves(points(t, "section", "o_f", "ivac_m_s"), true)});
        add({"tevalin_cstar", "Characteristic velocity c*", "O/F", "c*, m/s",
             curves(points(t, "throat", "o_f", "cstar_m_s"), false)});
        add({"tevalin_tc", "Chamber temperature", "O/F", "chamber temperature, K",
             curves(points(t, "chamber", "o_f", "T_K"), false)});
    } else {
        auto nozzle = [&](const std::string& y) {
            auto p = points(t, "throat", "ae_at", y);
            const auto s = points(t, "section", "ae_at", y);
            p.insert(p.end(), s.begin(), s.end());
            return curves(p, false);
        };
        add({"tevalin_isp", "Specific impulse", "area ratio F/F*", "specific impulse, m/s",
             nozzle("isp_m_s")});
        add({"tevalin_ivac", "Vacuum specific impulse", "area ratio F/F*",
             "vacuum specific impulse, m/s", nozzle("ivac_m_s")});
    }
    return figs;
}

std::string gnuplot_script(const std::vector<Figure>& figs, const std::string& dir, bool svg)
{
    std::ostringstream s;
    s << "# Figures of tevalin.csv, written by tevalin-plot; run: gnuplot tevalin_plot.gp\n";
    s << (svg ? std::string("set terminal svg size ") + kSvgSize + " dynamic font 'sans,12'\n"
              : std::string("set terminal pngcairo size ") + kPngSize + " font 'sans,11'\n");
    s << "set grid\nset key outside right top\nset offsets graph 0.02, graph 0.02, graph 0.05, graph 0.05\n";
    int block = 0;
    for (const auto& f : figs) {
        std::vector<std::string> names;
        for (const auto& c : f.curves) {
            const std::string name = "$c" + std::to_string(block++);
            names.push_back(name);
            s << name << " << EOD\n";
            for (const auto& [x, y] : c.xy) s << shortest_real(x) << ' ' << shortest_real(y) << '\n';
            s << "EOD\n";
        }
        s << "set output " << quoted(dir + "/" + f.name + (svg ? ".svg" : ".png")) << '\n';
        s << "set title " << quoted(f.title) << "\nset xlabel " << quoted(f.xlabel) << "\nset ylabel "
          << quoted(f.ylabel) << '\n';
        s << (f.xlabel.rfind("area", 0) == 0 ? "set logscale x\n" : "unset logscale x\n");
        s << "plot ";
        for (std::size_t k = 0; k < f.curves.size(); ++k)
            s << (k ? ", \\\n     " : "") << names[k] << " using 1:2 with linespoints linewidth 2 pointtype 7 pointsize 1.2 title "
              << quoted(f.curves[k].title);
        s << "\nunset output\n";
    }
    return s.str();
}

}  // namespace tev::plot
