// The one error of the task composer: a fault in a deck or in the reactant table, with the file
// and line it was found on.
#pragma once

#include <stdexcept>
#include <string>

namespace tev {

//! A fault in a deck or a reactant table; what() reads "FILE:LINE: detail" ("FILE: detail"
//! without a line).
struct ComposeError : std::runtime_error {
    std::string file;    //!< the file as named on the command line or in the library
    int line = 0;        //!< 1-based line, 0 when the fault is not on one line
    std::string detail;  //!< what is wrong, with the text found

    ComposeError(std::string file_, int line_, std::string detail_)
        : std::runtime_error(compose(file_, line_, detail_)),
          file(std::move(file_)),
          line(line_),
          detail(std::move(detail_))
    {
    }

    //! The message, built by appending (GCC 12 at -O3 warns falsely on a prepend).
    static std::string compose(const std::string& f, int l, const std::string& d)
    {
        std::string s = f;
        if (l > 0) {
            s += ':';
            s += std::to_string(l);
        }
        s += ": ";
        s += d;
        return s;
    }
};

}  // namespace tev
