// Whole runs of the program on faulty input, shared by the fuzzer and the regression cases:
// a run directory made from a task and a list of changes to the library, one run of the
// program under a time limit, and the checks that every run must pass whatever its input.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/files.h"

namespace tevfuzz {

namespace fs = std::filesystem;

//! The library files a run reads.
inline const std::vector<std::string>& library_files()
{
    static const std::vector<std::string> files{"tab.id", "kom.id", "val.id", "r3.id",
                                                "r4.id",  "fq.id",  "bq.id",  "qj.id"};
    return files;
}

//! Text that a previous run left in tevalin.rez; a failing run must leave it as it is.
inline const std::string kPreviousReport = "the report of the previous run\n";
//! The results table of that run; it is replaced exactly when the report is.
inline const std::string kPreviousTable = "point,kind\n1,chamber\n";

using tevtest::slurp;

inline void spit(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

//! One change to the run directory, as a line of a case's "setup" file:
//!   dir NAME            NAME (lib/x.id, tevalin.rez) becomes a directory
//!   remove NAME         NAME is removed
//!   cut NAME N          NAME is cut after N bytes
//!   byte NAME OFF HEX   the byte at offset OFF is set to 0xHEX
//!   replace NAME OLD NEW  the first OLD in NAME becomes NEW (no blanks in either)
//!   console full|closed the standard output is /dev/full, or closed
struct Change {
    std::string op, name, a, b;
};

inline std::vector<Change> parse_setup(const std::string& text)
{
    std::vector<Change> v;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream l(line);
        Change c;
        l >> c.op >> c.name >> c.a >> c.b;
        if (!c.op.empty()) v.push_back(c);
    }
    return v;
}

inline std::string format_setup(const std::vector<Change>& changes)
{
    std::string s;
    for (const auto& c : changes) {
        s += c.op + " " + c.name;
        if (!c.a.empty()) s += " " + c.a;
        if (!c.b.empty()) s += " " + c.b;
        s += "\n";
    }
    return s;
}

//! True when a change touches the library (not only the task or the output).
inline bool changes_library(const std::vector<Change>& changes)
{
    for (const auto& c : changes)
        if (c.name.rfind("lib/", 0) == 0) return true;
    return false;
}

//! True when a change makes the output impossible to write.
inline bool changes_output(const std::vector<Change>& changes)
{
    for (const auto& c : changes)
        if (c.op == "console" || c.name == "tevalin.rez") return true;
    return false;
}

//! Lays out a run directory: the shipped library (linked, or copied when a change edits the
//! file), the task, a previous tevalin.rez, then the changes.
inline void prepare(const fs::path& dir, const fs::path& lib, const std::string& task,
                    const std::vector<Change>& changes)
{
    fs::remove_all(dir);
    fs::create_directories(dir / "lib");
    for (const auto& f : library_files()) {
        bool edited = false;
        for (const auto& c : changes) edited = edited || c.name == "lib/" + f;
        if (edited)
            fs::copy_file(lib / f, dir / "lib" / f);
        else
            fs::create_symlink(fs::absolute(lib / f), dir / "lib" / f);
    }
    spit(dir / "topliw.dat", task);
    spit(dir / "tevalin.rez", kPreviousReport);
    spit(dir / "tevalin.csv", kPreviousTable);
    for (const auto& c : changes) {
        const fs::path p = dir / c.name;
        // An edit of a file that an earlier change removed or made a directory has nothing
        // to edit.
        const bool edit = c.op == "cut" || c.op == "byte" || c.op == "replace";
        if (edit && !fs::is_regular_file(p)) continue;
        if (c.op == "dir") {
            fs::remove(p);
            fs::create_directory(p);
        } else if (c.op == "remove") {
            fs::remove(p);
        } else if (c.op == "cut") {
            fs::resize_file(p, std::min<std::uintmax_t>(std::stoul(c.a), fs::file_size(p)));
        } else if (c.op == "byte") {
            std::string s = slurp(p);
            const std::size_t off = std::stoul(c.a);
            if (off < s.size()) s[off] = static_cast<char>(std::stoi(c.b, nullptr, 16));
            spit(p, s);
        } else if (c.op == "replace") {
            std::string s = slurp(p);
            const std::size_t at = s.find(c.a);
            if (at != std::string::npos) s.replace(at, c.a.size(), c.b);
            spit(p, s);
        } else if (c.op != "console") {
            throw std::invalid_argument("unknown setup line: " + c.op);
        }
    }
}

//! What one run did.
struct Outcome {
    int status = -1;        //!< exit status, or -1 when a signal ended it
    int signal = 0;         //!< the signal that ended it
    bool timed_out = false;
    double seconds = 0;
    std::string console, errors, rez, csv;
    bool temporary_left = false;  //!< tevalin.rez.tmp or tevalin.csv.tmp is still there
};

//! Runs `program` in `dir` with its standard output and error in files, at most `limit`
//! seconds (then it is killed and counted as a hang).
inline Outcome run(const fs::path& program, const fs::path& dir, const std::vector<Change>& changes,
                   int limit)
{
    std::string console_mode;
    for (const auto& c : changes)
        if (c.op == "console") console_mode = c.name;
    Outcome o;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(120);
        const int out = console_mode == "full" ? open("/dev/full", O_WRONLY)
                                               : open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(121);
        dup2(in, 0);
        dup2(err, 2);
        if (console_mode == "closed")
            close(1);
        else
            dup2(out, 1);
        close(out);
        close(err);
        close(in);
        setpgid(0, 0);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(122);
    }
    int wstatus = 0;
    const auto deadline = start + std::chrono::seconds(limit);
    for (;;) {
        const pid_t r = waitpid(pid, &wstatus, WNOHANG);
        if (r == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            o.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(wstatus)) o.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) o.signal = WTERMSIG(wstatus);
    o.console = slurp(dir / "console.txt");
    o.errors = slurp(dir / "errors.txt");
    if (fs::is_regular_file(dir / "tevalin.rez")) o.rez = slurp(dir / "tevalin.rez");
    if (fs::is_regular_file(dir / "tevalin.csv")) o.csv = slurp(dir / "tevalin.csv");
    o.temporary_left = fs::exists(dir / "tevalin.rez.tmp") || fs::exists(dir / "tevalin.csv.tmp");
    return o;
}

//! A fault found in one run: its class and what was seen.
struct Fault {
    std::string kind;  //!< abort, ub, hang, nonfinite, overflow, task-as-library, status, lost
    std::string detail;
};

//! True when `line` holds a number field written as Inf or NaN.
inline bool has_non_finite(const std::string& line)
{
    for (const char* w : {"Inf", "NaN", "nan", "inf"}) {
        std::size_t at = line.find(w);
        while (at != std::string::npos) {
            // A species name such as "Infl" would not stand alone; numbers are delimited.
            const bool left = at == 0 || line[at - 1] == ' ' || line[at - 1] == '-' ||
                              line[at - 1] == ':' || line[at - 1] == '=';
            if (left) return true;
            at = line.find(w, at + 1);
        }
    }
    return false;
}

//! The checks every run must pass, whatever its input.
inline std::vector<Fault> check(const Outcome& o, const std::vector<Change>& changes)
{
    std::vector<Fault> f;
    auto first_line = [](const std::string& s) { return s.substr(0, s.find('\n')); };
    if (o.timed_out) {
        f.push_back({"hang", "no end within the time limit"});
        return f;
    }
    if (o.errors.find("runtime error") != std::string::npos ||
        o.errors.find("Sanitizer") != std::string::npos) {
        const std::size_t at = o.errors.find("runtime error");
        f.push_back({"ub", first_line(o.errors.substr(at == std::string::npos ? 0 : at))});
        return f;
    }
    if (o.signal != 0 || o.status > 5 || o.status < 0) {
        f.push_back({"abort", "signal " + std::to_string(o.signal) + ", status " +
                                  std::to_string(o.status) + ": " + first_line(o.errors)});
        return f;
    }
    const bool output_changed = changes_output(changes);
    if (o.status == 0) {
        if (output_changed) f.push_back({"status", "exit 0 although the output could not be written"});
        std::istringstream in(o.console);
        std::string line;
        bool overflow_note = o.console.find("OVERFLOW") != std::string::npos;
        while (std::getline(in, line)) {
            if (has_non_finite(line)) {
                f.push_back({"nonfinite", "exit 0 with \"" + line.substr(0, 100) + "\""});
                break;
            }
            if (line.find("**") != std::string::npos && line.rfind(" ***", 0) != 0 &&
                !overflow_note) {
                f.push_back({"overflow", "asterisks without a note: \"" + line.substr(0, 100) + "\""});
                break;
            }
        }
        // The result file holds the report, the console the same lines and a closing line.
        if (!output_changed && o.console.compare(0, o.rez.size(), o.rez) != 0)
            f.push_back({"lost", "tevalin.rez differs from the console report"});
    } else {
        if (o.status == 3 && !changes_library(changes))
            f.push_back({"task-as-library", "exit 3 for a fault of the task: " + first_line(o.errors)});
        if (o.status == 1 || o.status == 5)
            f.push_back({"status", "exit " + std::to_string(o.status) + ": " + first_line(o.errors)});
        if (o.errors.find("tevalin: ") == std::string::npos)
            f.push_back({"status", "exit " + std::to_string(o.status) + " without a message"});
        if (o.status == 4 && !output_changed)
            f.push_back({"status", "output error although the output was writable: " +
                                       first_line(o.errors)});
        // A run whose console fails still completes its result file; any other failing run
        // keeps the previous one.
        bool rez_replaced = false;
        for (const auto& c : changes)
            rez_replaced = rez_replaced || c.name == "tevalin.rez" || c.op == "console";
        if (!rez_replaced && o.rez != kPreviousReport)
            f.push_back({"lost", "a failing run changed the previous tevalin.rez"});
    }
    // The report and the table beside it always come from one run.
    bool rez_edited = false;
    for (const auto& c : changes) rez_edited = rez_edited || c.name == "tevalin.rez";
    if (!rez_edited && (o.rez == kPreviousReport) != (o.csv == kPreviousTable))
        f.push_back({"lost", "tevalin.csv and tevalin.rez come from different runs"});
    if (o.temporary_left) f.push_back({"lost", "a temporary result file left behind"});
    return f;
}

}  // namespace tevfuzz
