// Files of the run: input files opened safely, and result files written whole or not at all.
#pragma once

#include <fstream>
#include <string>

namespace tev {

//! Opens an input file read-only. A name that is missing, not a regular file (a directory, a
//! device) or unreadable throws InputError naming the file, its unit and "OPEN"; the stream
//! is set to report read failures by its state, never by an exception.
void open_input(std::ifstream& f, const std::string& name, int unit);

//! A result file that a run replaces only when it has written it completely. The lines go to
//! a temporary file beside it ("NAME.tmp"); commit() renames that over NAME at the end of the
//! run, and a run that fails before then (or a ResultFile destroyed without commit) removes
//! the temporary, so the result of the previous run stays as it was.
class ResultFile {
public:
    explicit ResultFile(std::string name);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    //! Checks that NAME can be replaced (not a directory, not write-protected) and creates the
    //! temporary. Throws OutputError naming the file when either fails.
    void open();
    //! The stream the lines go to (the temporary) once open.
    std::ostream& stream() { return out_; }
    //! True while every write so far has succeeded.
    bool good() const { return out_.good(); }
    //! Flushes and closes the temporary and renames it over NAME. Throws OutputError when a
    //! write failed (a full disk) or the rename fails; the temporary is then removed.
    void commit();
    //! Removes the temporary; NAME is left untouched. Safe to call more than once.
    void abandon() noexcept;

    const std::string& name() const { return name_; }
    const std::string& temporary() const { return temp_; }

private:
    std::string name_;
    std::string temp_;
    std::ofstream out_;
    bool pending_ = false;  //!< the temporary exists and is not yet renamed
};

}  // namespace tev
