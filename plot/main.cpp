// tevalin-plot: draws the figures of a results table tevalin.csv with gnuplot.
//
//   tevalin-plot [CSV] [-o DIR] [--svg]
//
// Writes DIR/tevalin_plot.gp (DIR: the folder of CSV unless given) and runs gnuplot on it, which
// draws DIR/tevalin_isp.png and the other figures (.svg with --svg). Without gnuplot it says how
// to install it; the script stays for a machine that has it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "plot/plot.h"

namespace {

constexpr int kUsage = 2;       //!< exit status: wrong arguments or an unreadable table
constexpr int kNothing = 1;     //!< exit status: no figure to draw, or gnuplot failed
constexpr int kNoGnuplot = 3;   //!< exit status: gnuplot is not installed

const char* const kUsageText =
    "usage: tevalin-plot [CSV] [-o DIR] [--svg]\n"
    "  Draws Isp, vacuum Isp, c* and chamber temperature against O/F from the results table CSV\n"
    "  (default tevalin.csv) with gnuplot, as PNG (or SVG) files in DIR (default: beside CSV).\n";

//! The gnuplot program: $TEVALIN_GNUPLOT when set, otherwise gnuplot found on the PATH.
std::string find_gnuplot()
{
    if (const char* g = std::getenv("TEVALIN_GNUPLOT")) return g;
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string d;
    while (std::getline(dirs, d, ':')) {
        const std::filesystem::path p = std::filesystem::path(d.empty() ? "." : d) / "gnuplot";
        std::error_code ec;
        if (std::filesystem::is_regular_file(p, ec)) return p.string();
    }
    return "";
}

std::string shell_quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

int main(int argc, char** argv)
{
    std::string csv = "tevalin.csv", dir;
    bool svg = false, csv_given = false;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "-h" || a == "--help") {
            std::cout << kUsageText;
            return 0;
        }
        if (a == "--svg") {
            svg = true;
        } else if (a == "-o" && k + 1 < argc) {
            dir = argv[++k];
        } else if (!a.empty() && a[0] != '-' && !csv_given) {
            csv = a;
            csv_given = true;
        } else {
            std::cerr << "tevalin-plot: unexpected argument \"" << a << "\"\n" << kUsageText;
            return kUsage;
        }
    }
    if (dir.empty()) {
        dir = std::filesystem::path(csv).parent_path().string();
        if (dir.empty()) dir = ".";
    }
    std::vector<tev::plot::Figure> figs;
    try {
        std::ifstream in(csv, std::ios::binary);
        if (!in) throw std::runtime_error(csv + ": missing or unreadable (tevalin writes it beside tevalin.rez)");
        figs = tev::plot::figures(tev::plot::read_csv(in, csv));
    } catch (const std::exception& e) {
        std::cerr << "tevalin-plot: " << e.what() << "\n";
        return kUsage;
    }
    if (figs.empty()) {
        std::cerr << "tevalin-plot: " << csv << " has no nozzle points to draw (a grid, or chamber points only)\n";
        return kNothing;
    }
    const std::string script = dir + "/tevalin_plot.gp";
    {
        std::ofstream out(script, std::ios::binary);
        if (!out || !(out << tev::plot::gnuplot_script(figs, dir, svg))) {
            std::cerr << "tevalin-plot: cannot write " << script << "\n";
            return kNothing;
        }
    }
    const std::string gnuplot = find_gnuplot();
    if (gnuplot.empty()) {
        std::cerr << "tevalin-plot: gnuplot is not installed, so no figure was drawn. Install it with\n"
                     "    apt-get install gnuplot-nox      (Debian or Ubuntu, as root or with sudo)\n"
                     "and run tevalin-plot again, or run: gnuplot "
                  << script << "\n";
        return kNoGnuplot;
    }
    const int rc = std::system((shell_quoted(gnuplot) + " " + shell_quoted(script)).c_str());
    if (rc != 0) {
        std::cerr << "tevalin-plot: gnuplot failed on " << script << "\n";
        return kNothing;
    }
    std::cout << "tevalin-plot: drew";
    for (const auto& f : figs) std::cout << " " << dir << "/" << f.name << (svg ? ".svg" : ".png");
    std::cout << "\n";
    return 0;
}
