// mkreact: builds the reactant table lib/reactants.tsv from NASA Glenn thermodynamic data.
//
//   mkreact THERMO.INP OUTFILE
//
// The output depends only on the input file: running it twice gives the same bytes.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/mkreact.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: mkreact THERMO.INP OUTFILE\n";
        return 2;
    }
    try {
        std::ifstream thermo(argv[1]);
        if (!thermo) throw std::runtime_error(std::string("cannot open ") + argv[1]);
        const mkreact::Table table = mkreact::build_table(mklib::read_thermo(thermo));
        std::ostringstream text;
        tev::write_reactant_table(text, mkreact::table_header(table), table.entries);
        std::ofstream out(argv[2], std::ios::binary);
        if (!out || !(out << text.str()) || !out.flush())
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        std::cout << "mkreact: " << table.entries.size() << " reactants written to " << argv[2]
                  << "\n";
    } catch (const std::exception& e) {
        std::cerr << "mkreact: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
