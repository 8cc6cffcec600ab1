// tevalin-task: composes the task file of tevalin from a short readable deck.
//
//   tevalin-task DECK [-o FILE] [--lib DIR]
//
// Writes FILE (default topliw.dat) whole or not at all: a fault in the deck leaves any earlier
// FILE as it was. Reads the program's library DIR (default lib): the element table, the species
// names and the reactant table.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "compose/compose.h"
#include "compose/compose_error.h"
#include "core/errors.h"
#include "core/state.h"
#include "input/input.h"

namespace {

constexpr int kUsage = 2;     //!< exit status: wrong arguments
constexpr int kBadInput = 2;  //!< exit status: a fault in the deck or the library
constexpr int kNoWrite = 1;   //!< exit status: the task cannot be written

const char* const kUsageText =
    "usage: tevalin-task DECK [-o FILE] [--lib DIR]\n"
    "  Composes the task FILE (default topliw.dat) of tevalin from the deck DECK, with the\n"
    "  program's library DIR (default lib: the element table, species names, reactant table).\n";

//! Writes `text` to `path` through a temporary file in the same directory, renamed at the end.
void write_whole(const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out || !(out << text) || !out.flush()) {
            std::remove(tmp.c_str());
            throw std::runtime_error("cannot write " + tmp);
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + ec.message());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string deck_name, out_name = "topliw.dat", lib_dir = "lib";
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "-h" || a == "--help") {
            std::cout << kUsageText;
            return 0;
        }
        if ((a == "-o" || a == "--lib") && k + 1 < argc) {
            (a == "-o" ? out_name : lib_dir) = argv[++k];
        } else if (!a.empty() && a[0] != '-' && deck_name.empty()) {
            deck_name = a;
        } else {
            std::cerr << "tevalin-task: unexpected argument \"" << a << "\"\n" << kUsageText;
            return kUsage;
        }
    }
    if (deck_name.empty()) {
        std::cerr << kUsageText;
        return kUsage;
    }
    try {
        std::ifstream deck_file(deck_name);
        if (!deck_file) throw tev::ComposeError(deck_name, 0, "the deck is missing or cannot be read");
        const tev::Deck deck = tev::read_deck(deck_file, deck_name);

        auto state = std::make_unique<tev::State>();
        try {
            tev::load_library(*state, lib_dir);
        } catch (const tev::InputError& e) {
            throw tev::ComposeError(e.file, 0, e.detail + " (tevalin-task reads the program's library: run it "
                                               "where lib/ is, or give --lib DIR)");
        }
        const std::string table_name = lib_dir + "/reactants.tsv";
        std::ifstream table_file(table_name, std::ios::binary);
        if (!table_file)
            throw tev::ComposeError(table_name, 0, "the reactant table is missing (make lib writes it)");
        const tev::ReactantTable table = tev::read_reactant_table(table_file, table_name);

        const tev::ComposedTask task = tev::compose_task(deck, table, state->lib);
        write_whole(out_name, task.text);
        std::cout << "tevalin-task: wrote " << out_name << " (" << task.summary << ")\n";
        return 0;
    } catch (const tev::ComposeError& e) {
        std::cerr << "tevalin-task: " << e.what() << "\n";
        return kBadInput;
    } catch (const std::exception& e) {
        std::cerr << "tevalin-task: " << e.what() << "\n";
        return kNoWrite;
    }
}
