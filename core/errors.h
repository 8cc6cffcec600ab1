// Faults that end a run: of an input file, of the library's contents, of the output.
#pragma once

#include <stdexcept>
#include <string>

namespace tev {

//! A fault in an input file (missing, short, malformed, out of range). Thrown where found,
//! caught once in main, which prints what() and exits with a non-zero status.
struct InputError : std::runtime_error {
    std::string file;       //!< file name as the program opens it, e.g. "lib/kom.id"
    int unit = 0;           //!< unit number of the file (0 when it has none)
    std::string statement;  //!< kind of statement that failed: "OPEN", "READ"
    std::string detail;     //!< what was wrong, with the text found where useful

    InputError(std::string file_, int unit_, std::string statement_, std::string detail_)
        : std::runtime_error(compose(file_, unit_, statement_, detail_)),
          file(std::move(file_)),
          unit(unit_),
          statement(std::move(statement_)),
          detail(std::move(detail_))
    {
    }

    static std::string compose(const std::string& f, int u, const std::string& st,
                               const std::string& d)
    {
        std::string s = "input error: " + st + " on unit " + std::to_string(u) + " (" + f + "): " + d;
        return s;
    }
};

//! A result that cannot be written: the console or a result file (a full disk, a read-only
//! directory, a result file that is a directory). `file` names it ("tevalin.rez", "console").
struct OutputError : std::runtime_error {
    std::string file;

    OutputError(std::string file_, const std::string& detail)
        : std::runtime_error("output error: " + file_ + ": " + detail), file(std::move(file_))
    {
    }
};

//! A fault of the reference library's contents (not of its text form): a selection that
//! overflows the species arrays, an ion whose parent is missing, an element without its species.
struct LibraryError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tev
