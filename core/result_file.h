// Files of the run: input files opened safely, and result files written whole or not at all.
#pragma once

#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace tev {

//! Opens an input file read-only. A name that is missing, not a regular file (a directory, a
//! device) or unreadable throws InputError naming the file, its unit and "OPEN"; the stream
//! is set to report read failures by its state, never by an exception.
void open_input(std::ifstream& f, const std::string& name, int unit);

//! Text kept in memory in blocks: written once, then read out whole.
class HeldText : public std::streambuf {
public:
    static constexpr std::size_t kBlock = 64 * 1024;
    //! The blocks in order with the bytes each holds.
    std::vector<std::pair<const char*, std::size_t>> blocks() const;
    std::size_t size() const;
    //! Lets the blocks go.
    void clear();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    void next_block();
    std::vector<std::unique_ptr<char[]>> blocks_;
};

//! A result file that a run replaces only when it has written it completely; a run that
//! fails before commit() (or a ResultFile destroyed without it) leaves the previous result as
//! it was. Two ways serve this:
//! - NAME exists as a plain file with no other link: the lines are held in memory and
//!   commit() writes them over the file's own storage, space for any growth reserved first
//!   and interrupting signals held back while it writes. Reusing the storage is what makes
//!   this cheap: a new file costs a fresh page and block for every 4 KB, and the replaced
//!   one costs freeing them all again. This takes a file system that keeps the blocks of a
//!   file written over, and a new text within the file size limit.
//! - otherwise (NAME new, a symbolic link, linked elsewhere as well, or the held text cannot
//!   be written over it): the lines go to a temporary file beside it ("NAME.tmp") that
//!   commit() renames over NAME.
class ResultFile {
public:
    explicit ResultFile(std::string name);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    //! Checks that NAME can be replaced (not a directory, not write-protected) and, unless it
    //! is rewritten in place, creates the temporary. Throws OutputError naming the file when
    //! either fails.
    void open();
    //! The stream the lines go to once open.
    std::ostream& stream() { return *out_; }
    //! True while every write so far has succeeded.
    bool good() const { return out_->good(); }
    //! Puts the lines into NAME and lets go of the memory that held them. Throws OutputError
    //! when a write failed (a full disk) or the file cannot be replaced; the previous NAME is
    //! then kept, save for an input/output fault in the middle of rewriting it in place, which
    //! the message says.
    void commit();
    //! Drops what was written; NAME is left untouched. Safe to call more than once.
    void abandon() noexcept;

    const std::string& name() const { return name_; }
    const std::string& temporary() const { return temp_; }

private:
    void open_temporary();
    //! Writes the held lines over NAME; false (NAME unchanged) when its storage cannot take
    //! them, so that the caller goes the way of the temporary instead.
    bool rewrite_in_place();
    void rename_temporary();

    std::string name_;
    std::string temp_;
    std::ofstream file_;  //!< the temporary
    HeldText held_;
    std::ostream held_out_{&held_};
    std::ostream* out_ = &file_;
    bool in_place_ = false;
    bool pending_ = false;  //!< the temporary exists and is not yet renamed
};

}  // namespace tev
