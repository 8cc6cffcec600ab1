// The one output sink: every report line goes to the console first, then to the result file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/layout.h"

namespace tev {

//! Writes report lines to the console, then identically to the result file.
class Sink {
public:
    //! `console` and `file` may be the same kind of stream; either may be null (tests).
    Sink(std::ostream* console, std::ostream* file) : console_(console), file_(file) {}

    //! Writes one line (a line end is added) to the console, then to the result file.
    void line(std::string_view text);
    //! Writes the lines that `layout` makes of `values`, each first to the console, then to
    //! the file (the whole record to the console first, then the whole record to the file).
    //! With `overflowed`, the indices of the values written as asterisks are appended to it
    //! (as write_layout gives them).
    void write(const Layout& layout, const std::vector<Value>& values,
               std::vector<std::size_t>* overflowed = nullptr);
    //! As write, for the `count` values at `values`.
    void write(const Layout& layout, const Value* values, std::size_t count,
               std::vector<std::size_t>* overflowed = nullptr);
    //! Writes a layout that holds only text.
    void write(const Layout& layout);
    //! Writes what is held, then flushes both streams.
    void flush();
    //! While a Hold lives, the records written are gathered and, when the outermost Hold ends,
    //! written as one block: all of them to the console, then all of them to the file. The
    //! bytes are those the records would give one by one; a page takes one write to each.
    class Hold {
    public:
        explicit Hold(Sink& sink) : sink_(sink) { ++sink_.holds_; }
        ~Hold()
        {
            if (--sink_.holds_ == 0) sink_.release();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        Sink& sink_;
    };
    //! From now on the console gets the lines in UTF-8 (for a terminal that shows UTF-8); the
    //! result file and the recorded lines keep the code page 866 bytes.
    void console_utf8(bool on) { utf8_ = on; }

    //! Every line written, when recording is on (tests).
    std::vector<std::string> recorded;
    bool record = false;

private:
    //! Writes text as write_out, or while held keeps it for release().
    void put_block(std::string_view block);
    //! Writes the text kept while held.
    void release();
    //! Writes text to the console (converted when utf8_), then to the file.
    void write_out(std::string_view block);
    //! Writes whole lines, each ended by '\n', as put_block, and records them.
    void put_lines(std::string_view block);

    std::ostream* console_;
    std::ostream* file_;
    bool utf8_ = false;
    TextBuffer text_;  //!< the lines of the record being written (kept for its capacity)
    int holds_ = 0;     //!< Holds alive
    TextBuffer held_;   //!< the records written while held
};

}  // namespace tev
