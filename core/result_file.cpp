// Files of the run: input files opened safely, and result files written whole or not at all.
#include "core/result_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <cstring>
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

std::vector<std::pair<const char*, std::size_t>> HeldText::blocks() const
{
    std::vector<std::pair<const char*, std::size_t>> v;
    for (std::size_t i = 0; i < blocks_.size(); ++i)
        v.emplace_back(blocks_[i].get(), i + 1 < blocks_.size()
                                             ? kBlock
                                             : static_cast<std::size_t>(pptr() - pbase()));
    return v;
}

std::size_t HeldText::size() const
{
    if (blocks_.empty()) return 0;
    return (blocks_.size() - 1) * kBlock + static_cast<std::size_t>(pptr() - pbase());
}

void HeldText::clear()
{
    blocks_.clear();
    setp(nullptr, nullptr);
}

void HeldText::next_block()
{
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlock));
    setp(blocks_.back().get(), blocks_.back().get() + kBlock);
}

HeldText::int_type HeldText::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (pptr() == epptr()) next_block();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize HeldText::xsputn(const char* s, std::streamsize n)
{
    std::streamsize done = 0;
    while (done < n) {
        if (pptr() == epptr()) next_block();
        const std::streamsize room = epptr() - pptr();
        const std::streamsize take = n - done < room ? n - done : room;
        std::memcpy(pptr(), s + done, static_cast<std::size_t>(take));
        pbump(static_cast<int>(take));
        done += take;
    }
    return n;
}

namespace {

//! Holds back the signals that end a run from the terminal or the system while a file is
//! rewritten, so that an interrupt lands before or after the rewrite, never inside it.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, s);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

//! Writes all of [p, p + n) at offset `at`; false on an error other than an interruption.
bool write_at(int fd, const char* p, std::size_t n, off_t at)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
        at += w;
    }
    return true;
}

//! True when the file system of `path` keeps the blocks of a file that is written over (ext2/3/4,
//! XFS, tmpfs): writing over the old text cannot fail halfway there for want of space, as it
//! can on a copy-on-write file system.
bool writes_over_in_place(const std::string& path)
{
#if defined(__linux__)
    struct statfs info;
    if (::statfs(path.c_str(), &info) != 0) return false;
    constexpr long kExt = 0xEF53, kXfs = 0x58465342, kTmpfs = 0x01021994;
    const long type = static_cast<long>(info.f_type);
    return type == kExt || type == kXfs || type == kTmpfs;
#else
    (void)path;
    return false;
#endif
}

//! True when a file of `size` bytes is within the process's file size limit.
bool within_size_limit(off_t size)
{
    struct rlimit limit;
    return getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY || static_cast<rlim_t>(size) <= limit.rlim_cur);
}

}  // namespace

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
    // A plain file of one name is rewritten in place (see the class).
    struct stat link;
    if (::lstat(name_.c_str(), &link) == 0 && S_ISREG(link.st_mode) && link.st_nlink == 1 &&
        writes_over_in_place(name_)) {
        in_place_ = true;
        out_ = &held_out_;
        return;
    }
    open_temporary();
}

void ResultFile::open_temporary()
{
    file_.open(temp_, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_)
        throw OutputError(name_, "cannot create the temporary file " + temp_ +
                                     " (is the directory writable?)");
    pending_ = true;
}

void ResultFile::commit()
{
    if (in_place_) {
        in_place_ = false;
        if (!held_out_.good())
            throw OutputError(name_, "the text did not fit in memory; the previous " + name_ +
                                         " is kept");
        if (rewrite_in_place()) {
            held_.clear();
            return;
        }
        // NAME changed since the start, or its storage cannot grow: the way of the temporary.
        open_temporary();
        for (const auto& [p, n] : held_.blocks())
            file_.write(p, static_cast<std::streamsize>(n));
        held_.clear();
    }
    rename_temporary();
}

bool ResultFile::rewrite_in_place()
{
    SignalsHeld held_back;
    const int fd = ::open(name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        ::close(fd);
        return false;
    }
    const off_t old_size = st.st_size;
    const off_t new_size = static_cast<off_t>(held_.size());
    if (!within_size_limit(new_size)) {
        ::close(fd);
        return false;
    }
    // The room for growth is taken before a byte of the old text is touched: a disk too full
    // for the new text leaves the old one whole.
#if defined(__linux__)
    const bool room = new_size <= old_size || ::fallocate(fd, 0, old_size, new_size - old_size) == 0;
#else
    const bool room = false;  // not reached: nothing is written over in place elsewhere
#endif
    if (!room) {
        if (::ftruncate(fd, old_size) != 0) {
            // Cannot happen on a file just grown by this run; said rather than hidden.
            ::close(fd);
            throw OutputError(name_, "could not take back its reserved growth");
        }
        ::close(fd);
        return false;
    }
    off_t at = 0;
    bool ok = true;
    for (const auto& [p, n] : held_.blocks()) {
        ok = ok && write_at(fd, p, n, at);
        at += static_cast<off_t>(n);
    }
    if (ok && new_size < old_size) ok = ::ftruncate(fd, new_size) == 0;
    const int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) ok = false;
    if (!ok)
        throw OutputError(name_, std::string("writing over it failed (") +
                                     std::strerror(error != 0 ? error : errno) +
                                     "); it is damaged, run the task again");
    return true;
}

void ResultFile::rename_temporary()
{
    file_.flush();
    const bool written = file_.good();
    file_.close();
    if (!written || file_.fail()) {
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
    in_place_ = false;
    if (file_.is_open()) file_.close();
    if (!pending_) return;
    std::error_code ec;
    fs::remove(temp_, ec);
    pending_ = false;
}

}  // namespace tev
