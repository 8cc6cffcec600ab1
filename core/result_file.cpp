// Files of the run: input files opened safely, and result files written whole or not at all.
#include "core/result_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/errors.h"

namespace tev {

namespace fs = std::filesystem;

void open_input(std::ifstream& f, const std::string& name, int unit)
{
    std::error_code ec;
    const fs::file_status st = fs::status(name, ec);
    if (st.type() == fs::file_type::not_found)
        throw InputError(name, unit, "OPEN", "file is missing");
    if (st.type() == fs::file_type::directory)
        throw InputError(name, unit, "OPEN", "is a directory, not a file");
    // A pipe or a device could block the run or never end; the files are plain files.
    if (!ec && st.type() != fs::file_type::regular)
        throw InputError(name, unit, "OPEN", "is not a regular file");
    f.exceptions(std::ios::goodbit);
    f.open(name, std::ios::in | std::ios::binary);
    if (!f) throw InputError(name, unit, "OPEN", "file cannot be read");
}

ResultFile::ResultFile(std::string name) : name_(std::move(name)), temp_(name_ + ".tmp") {}

ResultFile::~ResultFile() { abandon(); }

void ResultFile::open()
{
    std::error_code ec;
    const fs::file_status st = fs::status(name_, ec);
    if (st.type() == fs::file_type::directory)
        throw OutputError(name_, "is a directory; the result file cannot be written");
    if (st.type() != fs::file_type::not_found) {
        if (st.type() != fs::file_type::regular)
            throw OutputError(name_, "is not a regular file; the result file cannot be written");
        // Opening for appending writes nothing: it only shows that the file may be replaced.
        std::ofstream probe(name_, std::ios::out | std::ios::app | std::ios::binary);
        if (!probe) throw OutputError(name_, "the result file is write-protected");
    }
    out_.open(temp_, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out_)
        throw OutputError(name_, "cannot create the temporary file " + temp_ +
                                     " (is the directory writable?)");
    pending_ = true;
}

void ResultFile::commit()
{
    out_.flush();
    const bool written = out_.good();
    out_.close();
    if (!written || out_.fail()) {
        abandon();
        throw OutputError(name_, "writing failed (is the disk full?); the previous " + name_ +
                                     " is kept");
    }
    std::error_code ec;
    fs::rename(temp_, name_, ec);
    if (ec) {
        abandon();
        throw OutputError(name_, "cannot replace it with " + temp_ + ": " + ec.message());
    }
    pending_ = false;
}

void ResultFile::abandon() noexcept
{
    if (out_.is_open()) out_.close();
    if (!pending_) return;
    std::error_code ec;
    fs::remove(temp_, ec);
    pending_ = false;
}

}  // namespace tev
