// tevalin-plot: the figures engineers look at, drawn by gnuplot from the results table
// tevalin.csv: specific impulse, vacuum impulse, characteristic velocity and chamber temperature
// against the mixture ratio, one curve per chamber pressure and nozzle section.
#pragma once

#include <istream>
#include <string>
#include <utility>
#include <vector>

namespace tev::plot {

//! A table read from CSV: the header row and the rows as texts.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    //! Index of the column named `name`, -1 when there is none.
    int column(const std::string& name) const;
};

//! Reads CSV (fields in double quotes may hold commas and doubled quotes). A row whose field
//! count differs from the header's throws std::runtime_error naming `file` and the line.
Table read_csv(std::istream& in, const std::string& file);

//! One curve: its title and its points, in increasing x.
struct Curve {
    std::string title;
    std::vector<std::pair<double, double>> xy;
};

//! One figure: the file it is drawn to (without extension), its labels and curves.
struct Figure {
    std::string name;
    std::string title, xlabel, ylabel;
    std::vector<Curve> curves;
};

//! The figures of a results table. With two mixture ratios or more: Isp, vacuum Isp and c*
//! against O/F (per chamber pressure and section), chamber temperature against O/F (per chamber
//! pressure); with one ratio: Isp and vacuum Isp against the area ratio (per chamber pressure).
//! A point reported twice (ions: without and with negative ions) counts once, as last reported;
//! points not converged are left out. No figure for a grid or a table without nozzle points.
std::vector<Figure> figures(const Table& t);

//! The gnuplot script that draws `figs` into `dir` as PNG (svg false) or SVG files, the data
//! held in the script itself.
std::string gnuplot_script(const std::vector<Figure>& figs, const std::string& dir, bool svg);

}  // namespace tev::plot
