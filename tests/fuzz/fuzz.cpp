// tevfuzz: a mutation fuzzer for the task file and the library files. Each case takes a seed
// task (examples/, tests/data/system/, tests/fuzz/corpus/) or the shipped library, changes it
// the way a careless edit, a bad disk or a wrong guess would, runs the program on it under a
// time limit and checks what every run must show (tests/fuzz/harness.h). Case k of a seed is
// always the same input, so a finding is rerun with --seed S --case k.
//
//   tevfuzz --program build/tevalin --source . [--seed 1] [--runs 200] [--jobs 1]
//           [--limit 20] [--budget 0] [--work DIR] [--save DIR] [--case K]
//
// Exit status 0 when no run showed a fault, 1 otherwise; the faults are listed by class, and
// with --save each one's reproducer (topliw.dat, setup) is written to DIR/<class>/<seed>-<k>.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "tests/fuzz/harness.h"

namespace {

using namespace tevfuzz;

//! Values that probe the edges of every section: markers, the terminator, zeros, signs, the
//! ends of the double range, packed entries right and wrong, whole numbers past 32 bits.
const std::vector<std::string> kEdgeValues{
    "0",          "-0.0",       "1.0",       "-1.0",        "1e-300",     "1e300",
    "-1e300",     "1.7976931348623157e308",  "2e8",         "999999999.", "900000",
    "-900000",    "1e-9",       "1e9",       "1e-06",       "0.5",        "100000",
    "10000",      "1000",       "99",        "2.0000001",   "12.0000006", "12.000006",
    "1.0000098",  "1.0000099",  "-405.609",  "4.0000008",   "1.0000013",  "23.000001",
    "1e-45",      "5e-324",     "2147483648", "-2147483649", "9.3e18",    "1234.5678",
    "1000000",    "-1000000",   "2000000",   "-2000000",    "3000000",    "-3000000",
    "4000000",    "5000000",    "6000000",   "7000000",     "8000000",    "9000000",
    "-9000000",   "10000000",   "11000000",  "14000000",    "99000000",   "1.0000000",
    "0.0000001",  "3.0",        "25.0",      "0.1",         "7.0",        "40.0"};

//! Characters a byte-level edit of a task inserts or writes.
const std::string kTaskBytes = ",/&=()*!-+.eEdD0123456789 \n\tXR";
//! Bytes a library corruption writes: digits, blank, line end, sign, point, letters.
const std::string kLibraryBytes = "0123456789 \n-+.EDX";

struct Seeds {
    std::vector<std::string> tasks;  //!< texts of the seed tasks
    std::vector<std::string> names;
};

Seeds load_seeds(const fs::path& source)
{
    Seeds s;
    std::vector<fs::path> files;
    for (const auto& d : {source / "examples", source / "tests/data/system", source / "tests/fuzz/corpus"})
        if (fs::is_directory(d))
            for (const auto& e : fs::directory_iterator(d))
                if (e.path().extension() == ".dat") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        s.tasks.push_back(slurp(f));
        s.names.push_back(f.filename().string());
    }
    return s;
}

//! The task as a list of value tokens between "&WAT ... =" and "/", with the text around it.
struct TaskTokens {
    std::string head = "&WAT RM =";
    std::vector<std::string> values;
    bool closed = true;

    static TaskTokens parse(const std::string& text)
    {
        TaskTokens t;
        const std::size_t amp = text.find("&WAT");
        if (amp == std::string::npos) return t;
        const std::size_t eq = text.find('=', amp);
        if (eq == std::string::npos) return t;
        t.head = text.substr(amp, eq + 1 - amp);
        std::size_t p = eq + 1;
        std::string cur;
        for (; p < text.size() && text[p] != '/'; ++p) {
            const char c = text[p];
            if (c == ',' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
                if (!cur.empty()) t.values.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        if (!cur.empty()) t.values.push_back(cur);
        t.closed = p < text.size();
        return t;
    }

    std::string text() const
    {
        std::string s = head;
        for (std::size_t k = 0; k < values.size(); ++k) {
            s += (k % 6 == 0) ? "\n  " : " ";
            s += values[k] + ",";
        }
        s += closed ? " /\n" : "\n";
        return s;
    }
};

class Mutator {
public:
    explicit Mutator(std::uint64_t seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <typename T>
    const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

    //! One edit of one value token.
    void mutate_token(TaskTokens& t)
    {
        if (t.values.empty()) {
            t.values.push_back(pick(kEdgeValues));
            return;
        }
        const std::size_t k = below(t.values.size());
        std::string& v = t.values[k];
        switch (below(9)) {
        case 0:
        case 1:
        case 2: v = pick(kEdgeValues); break;
        case 3: {  // scale by a power of ten
            char* endp = nullptr;
            const double x = std::strtod(v.c_str(), &endp);
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.9g", x * std::pow(10.0, static_cast<int>(below(13)) - 6));
            v = (endp && *endp == 0) ? std::string(buf) : pick(kEdgeValues);
            break;
        }
        case 4: v = v[0] == '-' ? v.substr(1) : "-" + v; break;
        case 5: {  // change, add or drop one digit
            const std::size_t at = below(v.size());
            const int what = static_cast<int>(below(3));
            if (what == 0 && std::isdigit(static_cast<unsigned char>(v[at])))
                v[at] = static_cast<char>('0' + below(10));
            else if (what == 1)
                v.insert(at, 1, static_cast<char>('0' + below(10)));
            else if (v.size() > 1)
                v.erase(at, 1);
            break;
        }
        case 6: t.values.erase(t.values.begin() + static_cast<long>(k)); break;
        case 7: t.values.insert(t.values.begin() + static_cast<long>(k), v); break;
        case 8: {  // a section inserted: a marker and a few values
            std::vector<std::string> sec{std::to_string((1 + below(13)) * 1000000)};
            if (chance(0.3)) sec[0] = "-" + sec[0];
            for (std::size_t n = below(4); n > 0; --n) sec.push_back(pick(kEdgeValues));
            t.values.insert(t.values.begin() + static_cast<long>(k), sec.begin(), sec.end());
            break;
        }
        }
    }

    //! One byte-level edit of the task text.
    void mutate_bytes(std::string& s)
    {
        if (s.empty()) {
            s = "&WAT RM = /";
            return;
        }
        const std::size_t at = below(s.size());
        switch (below(4)) {
        case 0: s[at] = kTaskBytes[below(kTaskBytes.size())]; break;
        case 1: s.insert(at, 1, kTaskBytes[below(kTaskBytes.size())]); break;
        case 2: s.erase(at, 1 + below(4)); break;
        case 3: s.resize(at); break;
        }
    }

    //! A small task of random sections.
    std::string random_task()
    {
        static const std::vector<std::vector<std::string>> recipes{
            {"4000000", "1.0", "5000000", "2.0000001", "-4470.5042"},
            {"4000000", "1.0", "5000000", "2.0000007", "4.0000001", "1572.16"},
            {"4000000", "1.0", "5000000", "1.0000006", "1.9423001", "-1769.3"},
            {"4000000", "0.5", "0.5", "5000000", "1.0000013", "0", "2.0000007", "4.0000001", "1572.16"},
            {"4000000", "1.0", "5000000", "12.000006", "-1813."}};
        static const std::vector<std::vector<std::string>> oxidizers{
            {"6000000", "1.0", "7000000", "2.0000008", "-405.609"},
            {"6000000", "1.0", "7000000", "2.0000007", "4.0000008", "-212.5"},
            {"6000000", "1.0", "7000000", "1.0000007", "4.0000008", "1.0000017", "4.0000001", "-2517.4"}};
        TaskTokens t;
        auto add = [&](std::initializer_list<std::string> v) { t.values.insert(t.values.end(), v); };
        auto numbers = [&](std::size_t n, double lo, double hi) {
            for (std::size_t k = 0; k < n; ++k) {
                const double e = std::uniform_real_distribution<double>(lo, hi)(rng_);
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.6g", std::pow(10.0, e));
                t.values.push_back(buf);
            }
        };
        add({chance(0.5) ? "1000000" : "-1000000"});
        numbers(1 + below(3), -1.2, 0.6);
        add({chance(0.8) ? "2000000" : "-2000000"});
        numbers(1 + below(3), -2, 2.5);
        if (chance(0.8)) {
            add({chance(0.6) ? "3000000" : "-3000000"});
            numbers(1 + below(3), -3, 3);
        }
        const auto& f = pick(recipes);
        t.values.insert(t.values.end(), f.begin(), f.end());
        if (chance(0.9)) {
            const auto& o = pick(oxidizers);
            t.values.insert(t.values.end(), o.begin(), o.end());
        }
        if (chance(0.3)) add({"10000000", chance(0.5) ? "-1.0" : "1500."});
        add({"999999999."});
        return t.text();
    }

    //! One change to a library file (the name and its size are given).
    Change library_change(const std::string& file, std::uintmax_t size)
    {
        const std::string name = "lib/" + file;
        switch (below(10)) {
        case 0: return {"cut", name, std::to_string(below(static_cast<std::size_t>(size))), ""};
        case 1:
            if (chance(0.3)) return {"dir", name, "", ""};
            if (chance(0.5)) return {"remove", name, "", ""};
            return {"cut", name, "0", ""};
        default: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02x",
                          static_cast<unsigned char>(kLibraryBytes[below(kLibraryBytes.size())]));
            return {"byte", name, std::to_string(below(static_cast<std::size_t>(size))), hex};
        }
        }
    }

    std::mt19937_64& rng() { return rng_; }

private:
    std::mt19937_64 rng_;
};

//! One generated case: its task text and its changes.
struct Case {
    std::string task;
    std::vector<Change> changes;
    std::string origin;
};

Case make_case(std::uint64_t seed, long k, const Seeds& seeds, const fs::path& lib)
{
    Mutator m(seed * 1000003u + static_cast<std::uint64_t>(k));
    Case c;
    const std::size_t base = m.below(seeds.tasks.size());
    c.task = seeds.tasks[base];
    c.origin = seeds.names[base];
    const std::size_t kind = m.below(20);
    if (kind < 11) {  // value tokens of a seed task
        TaskTokens t = TaskTokens::parse(c.task);
        for (std::size_t n = 1 + m.below(3); n > 0; --n) m.mutate_token(t);
        c.task = t.text();
        c.origin += " tokens";
    } else if (kind < 13) {  // bytes of a seed task
        for (std::size_t n = 1 + m.below(3); n > 0; --n) m.mutate_bytes(c.task);
        c.origin += " bytes";
    } else if (kind < 15) {  // a random small task
        c.task = m.random_task();
        if (m.chance(0.5)) {
            TaskTokens t = TaskTokens::parse(c.task);
            m.mutate_token(t);
            c.task = t.text();
        }
        c.origin = "random task";
    } else if (kind < 19) {  // the library
        for (std::size_t n = 1 + m.below(2); n > 0; --n) {
            const std::string& f = m.pick(library_files());
            c.changes.push_back(m.library_change(f, fs::file_size(lib / f)));
        }
        c.origin += " library";
    } else {  // the output
        c.changes.push_back(m.chance(0.4)   ? Change{"dir", "tevalin.rez", "", ""}
                            : m.chance(0.5) ? Change{"console", "full", "", ""}
                                            : Change{"console", "closed", "", ""});
        c.origin += " output";
    }
    return c;
}

struct Options {
    fs::path program, source, work = "fuzz-work", save;
    std::uint64_t seed = 1;
    long runs = 200;
    long only = -1;
    int jobs = 1;
    int limit = 20;
    double budget = 0;  //!< seconds; 0: no bound but the number of runs
};

Options parse_options(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--program") o.program = v;
        else if (k == "--source") o.source = v;
        else if (k == "--work") o.work = v;
        else if (k == "--save") o.save = v;
        else if (k == "--seed") o.seed = std::stoull(v);
        else if (k == "--runs") o.runs = std::stol(v);
        else if (k == "--case") o.only = std::stol(v);
        else if (k == "--jobs") o.jobs = std::max(1, std::stoi(v));
        else if (k == "--limit") o.limit = std::stoi(v);
        else if (k == "--budget") o.budget = std::stod(v);
        else throw std::invalid_argument("unknown option " + k);
    }
    if (o.program.empty() || o.source.empty())
        throw std::invalid_argument("usage: tevfuzz --program PATH --source DIR [options]");
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    Options opt;
    try {
        opt = parse_options(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    const fs::path lib = opt.source / "lib";
    const Seeds seeds = load_seeds(opt.source);
    if (seeds.tasks.empty()) {
        std::cerr << "tevfuzz: no seed tasks under " << opt.source << "\n";
        return 2;
    }
    const fs::path program = fs::absolute(opt.program);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<long> next{opt.only >= 0 ? opt.only : 0};
    const long end = opt.only >= 0 ? opt.only + 1 : opt.runs;
    std::mutex mu;
    std::map<std::string, long> per_kind;
    std::map<int, long> per_status;
    long done = 0;
    double slowest = 0;
    bool failed = false;

    auto worker = [&](int slot) {
        const fs::path dir = opt.work / ("slot" + std::to_string(slot));
        for (;;) {
            const long k = next++;
            if (k >= end) return;
            if (opt.budget > 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > opt.budget)
                return;
            const Case c = make_case(opt.seed, k, seeds, lib);
            prepare(dir, lib, c.task, c.changes);
            const Outcome o = run(program, dir, c.changes, opt.limit);
            const auto faults = check(o, c.changes);
            std::lock_guard<std::mutex> lock(mu);
            ++done;
            ++per_status[o.timed_out ? -2 : o.status];
            slowest = std::max(slowest, o.seconds);
            for (const auto& f : faults) {
                failed = true;
                ++per_kind[f.kind];
                std::cout << "FAULT " << f.kind << " (seed " << opt.seed << ", case " << k << ", "
                          << c.origin << "): " << f.detail << "\n";
                if (!opt.save.empty()) {
                    const fs::path r = opt.save / f.kind / (std::to_string(opt.seed) + "-" + std::to_string(k));
                    fs::create_directories(r);
                    spit(r / "topliw.dat", c.task);
                    if (!c.changes.empty()) spit(r / "setup", format_setup(c.changes));
                    spit(r / "found", f.detail + "\n");
                }
            }
        }
    };
    std::vector<std::thread> threads;
    for (int s = 0; s < opt.jobs; ++s) threads.emplace_back(worker, s);
    for (auto& t : threads) t.join();
    fs::remove_all(opt.work);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "tevfuzz: seed " << opt.seed << ", " << done << " runs in " << seconds
              << " s (slowest " << slowest << " s); exit statuses:";
    for (const auto& [st, n] : per_status) std::cout << " " << (st == -2 ? std::string("timeout") : st == -1 ? std::string("signal") : std::to_string(st)) << "x" << n;
    std::cout << "\n";
    for (const auto& [kind, n] : per_kind) std::cout << "tevfuzz: " << n << " fault(s) of class " << kind << "\n";
    return failed ? 1 : 0;
}
