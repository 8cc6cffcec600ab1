// mklib: builds the reference library lib/ from NASA thermodynamic data, NASA's transport fits
// and Lennard-Jones tables.
//
//   mklib THERMO.INP TRANS.INP LJ_PARAMS.TSV OUTDIR
//
// Writes OUTDIR/r3.id, r4.id, kom.id, val.id, tab.id, library_index.tsv and fit_report.txt.
// The output depends only on the three input files: running it twice gives the same bytes.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/mklib/library.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: mklib THERMO.INP TRANS.INP LJ_PARAMS.TSV OUTDIR\n";
        return 2;
    }
    try {
        std::ifstream thermo(argv[1]);
        if (!thermo) throw std::runtime_error(std::string("cannot open ") + argv[1]);
        std::ifstream trans(argv[2]);
        if (!trans) throw std::runtime_error(std::string("cannot open ") + argv[2]);
        std::ifstream lj(argv[3]);
        if (!lj) throw std::runtime_error(std::string("cannot open ") + argv[3]);
        const mklib::Library lib = mklib::build_library(thermo, trans, lj);
        const std::string dir = argv[4];
        std::filesystem::create_directories(dir);
        for (const auto& [name, text] : lib.files) {
            std::ofstream out(dir + "/" + name, std::ios::binary);
            if (!out) throw std::runtime_error("cannot write " + dir + "/" + name);
            out << text;
        }
        std::cout << lib.summary;
    } catch (const std::exception& e) {
        std::cerr << "mklib: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
