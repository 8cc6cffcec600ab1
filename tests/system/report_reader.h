// Reads the property rows of table-mode report pages back into numbers, point by point.
#pragma once

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tevtest {

//! One reported point: row number -> value (NaN where the field held asterisks).
using Point = std::map<int, double>;

//! The points of every table-mode page of a report, in the order they were computed.
inline std::vector<Point> read_table_points(const std::string& report)
{
    std::vector<Point> points;
    std::vector<Point> page;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        // A property row: " :NN:LLLL:" then fields of 12 columns, each followed by ':' and
        // six blanks.
        if (line.size() < 10 || line[0] != ' ' || line[1] != ':' || line[4] != ':' || line[9] != ':')
            continue;
        const int row = std::atoi(line.substr(2, 2).c_str());
        if (row == 1) {
            points.insert(points.end(), page.begin(), page.end());
            page.clear();
        }
        for (std::size_t k = 0, at = 10; at + 12 <= line.size(); ++k, at += 19) {
            if (page.size() <= k) page.resize(k + 1);
            const std::string field = line.substr(at, 12);
            char* end = nullptr;
            const double v = std::strtod(field.c_str(), &end);
            page[k][row] = (end == field.c_str()) ? std::nan("") : v;
        }
    }
    points.insert(points.end(), page.begin(), page.end());
    return points;
}

//! Runs the program built in `binary_dir` on `task` with the library in `source_dir`/lib, in a
//! fresh directory; returns the result file's text (empty when the run failed).
inline std::string run_program(const std::string& source_dir, const std::string& binary_dir,
                               const std::string& task, const std::string& name, int* status)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(binary_dir) / "runs" / name;
    fs::remove_all(dir);
    fs::create_directories(dir / "lib");
    for (const auto& e : fs::directory_iterator(fs::path(source_dir) / "lib"))
        if (e.path().extension() == ".id") fs::copy_file(e.path(), dir / "lib" / e.path().filename());
    fs::copy_file(task, dir / "topliw.dat");
    const std::string cmd = "cd '" + dir.string() + "' && '" + binary_dir +
                            "/tevalin' > console.txt 2> errors.txt";
    const int rc = std::system(cmd.c_str());
    if (status) *status = rc;
    std::ifstream rez(dir / "tevalin.rez", std::ios::binary);
    std::stringstream ss;
    ss << rez.rdbuf();
    return ss.str();
}

}  // namespace tevtest
