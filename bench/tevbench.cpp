// tevbench: cpu time of the program on a fixed set of tasks.
//
//   tevbench --program PATH --lib DIR --tasks DIR --work DIR [--runs N] [--record FILE]
//
// For every task DIR/*.dat it runs the program PATH N times (default 21) in a directory of its
// own under --work (a copy of the library and the task as topliw.dat), the console to
// /dev/null, and takes the cpu time (user + system) of each run from the operating system.
// It prints per task the median and the fastest run, the median per reported point and per
// EQUILI call, and the start-up: the cpu time inside the process from reading the library to
// the end of the first species selection (library, task, checks, OTBOR), the median of N runs
// made in this process with the program's own routines. One counting run in this process gives
// the number of EQUILI calls; the reported points are the task's operating points (ratios x
// chamber pressures x (chamber, throat and sections); grid points in grid mode).
//
// The figures are written to FILE (default DIR/../bench-last.tsv beside the work directory);
// when that file holds the figures of an earlier run, each median is also given as a ratio to
// the earlier one. The load average before and after the runs is printed: with other work on
// the machine cpu times grow, so compare runs made at a similar load (instruction counts of
// valgrind --tool=callgrind do not depend on it).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "app/driver.h"
#include "core/result_file.h"
#include "input/input.h"
#include "report/report.h"
#include "thermo/thermo.h"
#include "core/sink.h"

namespace {

namespace fs = std::filesystem;

//! The library files a run reads.
const char* const kLibraryFiles[] = {"tab.id", "kom.id", "val.id", "r3.id",
                                     "r4.id",  "fq.id",  "bq.id",  "qj.id"};

//! A stream buffer that takes every byte and keeps none: the console of the runs in process.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

double process_cpu_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

//! Counters of the routines wrapped for the counting run, and the end of the start-up.
long g_equili_calls = 0;
long g_otbor_calls = 0;
double g_startup_end = 0;

void counted_equili(tev::State& S)
{
    ++g_equili_calls;
    tev::EQUILI(S);
}

void timed_otbor(tev::State& S)
{
    tev::OTBOR(S);
    if (g_otbor_calls++ == 0) g_startup_end = process_cpu_ms();
}

//! What one run in this process measured.
struct InProcess {
    double startup_ms = 0;  //!< library, task, checks and the first selection
    long equili_calls = 0;
    long points = 0;
};

//! One run of the program's routines in this process, as the program runs them, with the
//! console and result file discarded. The task is `dir`/topliw.dat, the library `dir`/lib.
InProcess run_in_process(const fs::path& dir)
{
    using namespace tev;
    const double start = process_cpu_ms();
    auto state = std::make_unique<State>();
    State& S = *state;
    Discard discard;
    std::ostream console(&discard), file(&discard);
    Sink sink(&console, &file);
    const std::string lib = (dir / "lib").string();
    std::ifstream r3, r4, task;
    open_input(r3, lib + "/r3.id", 3);
    open_input(r4, lib + "/r4.id", 4);
    open_input(task, (dir / "topliw.dat").string(), 5);
    S.io.out = &sink;
    S.io.r3 = &r3;
    S.io.r4 = &r4;
    S.io.task = &task;
    S.io.keep_libraries = true;
    S.io.r3_name = lib + "/r3.id";
    S.io.r4_name = lib + "/r4.id";

    load_library(S, lib);
    set_defaults(S);
    INPUT(S);
    check_task(S);
    after_input(S);

    Routines r = production_routines();
    r.OTBOR = timed_otbor;  // the same routines, timed and counted
    r.EQUILI = counted_equili;
    g_equili_calls = 0;
    g_otbor_calls = 0;
    g_startup_end = start;
    const int failures = run_cycle(S, r);
    if (failures != 0) throw std::runtime_error(dir.string() + ": points did not converge");

    InProcess m;
    m.startup_ms = g_startup_end - start;
    m.equili_calls = g_equili_calls;
    const long ratios = std::max(S.task.NA, 1);
    m.points = S.task.FIS ? ratios * S.task.NPK * S.task.NPA
                          : ratios * S.task.NPK * (2 + S.task.NPA);
    return m;
}

//! Cpu time [ms] of one run of `program` in `dir`, user and system; the run must succeed.
double run_process(const std::string& program, const fs::path& dir)
{
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0) _exit(127);
        dup2(null, 1);
        dup2(null, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) throw std::runtime_error("wait4 failed");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(program + " in " + dir.string() + " did not end with status 0");
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) * 1e-3;
    };
    return ms(ru.ru_utime) + ms(ru.ru_stime);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string load_average()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return in ? a + " " + b + " " + c : "unknown";
}

//! Figures of one task, as the record file keeps them.
struct Figures {
    double cpu_ms = 0;
    double startup_ms = 0;
};

std::map<std::string, Figures> read_record(const fs::path& file)
{
    std::map<std::string, Figures> m;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string name;
        Figures f;
        if (ss >> name >> f.cpu_ms >> f.startup_ms) m[name] = f;
    }
    return m;
}

std::string fixed(double x, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

std::string ratio(double now, const std::map<std::string, Figures>& before,
                  const std::string& name, double Figures::*field)
{
    const auto it = before.find(name);
    if (it == before.end() || !(it->second.*field > 0)) return "-";
    return fixed(now / (it->second.*field), 2);
}

const char* const kUsage =
    "usage: tevbench --program PATH --lib DIR --tasks DIR --work DIR [--runs N] [--record FILE]\n";

}  // namespace

int main(int argc, char** argv)
{
    std::string program, lib, tasks, work, record;
    int runs = 21;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (k + 1 >= argc) {
            std::cerr << kUsage;
            return 2;
        }
        const std::string v = argv[++k];
        if (a == "--program")
            program = fs::absolute(v).string();
        else if (a == "--lib")
            lib = v;
        else if (a == "--tasks")
            tasks = v;
        else if (a == "--work")
            work = v;
        else if (a == "--record")
            record = v;
        else if (a == "--runs")
            runs = std::max(1, std::atoi(v.c_str()));
        else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (program.empty() || lib.empty() || tasks.empty() || work.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (record.empty()) record = (fs::path(work).parent_path() / "bench-last.tsv").string();

    try {
        std::vector<fs::path> task_files;
        for (const auto& e : fs::directory_iterator(tasks))
            if (e.path().extension() == ".dat") task_files.push_back(e.path());
        std::sort(task_files.begin(), task_files.end());
        if (task_files.empty()) throw std::runtime_error("no tasks (*.dat) in " + tasks);

        const auto before = read_record(record);
        std::cout << "tevbench: " << program << ", " << runs << " runs per task, load average "
                  << load_average() << "\n\n";
        std::printf("%-16s %6s %7s  %9s %9s  %8s %9s  %10s  %7s %7s\n", "task", "points",
                    "EQUILI", "cpu ms", "fastest", "us/point", "us/EQUILI", "start-up", "cpu",
                    "start");
        std::printf("%-16s %6s %7s  %9s %9s  %8s %9s  %10s  %7s %7s\n", "", "", "calls",
                    "(median)", "", "", "", "ms, in run", "/last", "/last");

        std::ostringstream out_record;
        for (const auto& task : task_files) {
            const std::string name = task.stem().string();
            const fs::path dir = fs::path(work) / name;
            fs::remove_all(dir);
            fs::create_directories(dir / "lib");
            for (const char* f : kLibraryFiles)
                fs::copy_file(fs::path(lib) / f, dir / "lib" / f);
            fs::copy_file(task, dir / "topliw.dat");

            std::vector<double> cpu, startup;
            InProcess counted;
            for (int r = 0; r < runs; ++r) {
                cpu.push_back(run_process(program, dir));
                counted = run_in_process(dir);
                startup.push_back(counted.startup_ms);
            }
            const double med = median(cpu);
            const double start = median(startup);
            std::printf("%-16s %6ld %7ld  %9s %9s  %8s %9s  %10s  %7s %7s\n", name.c_str(),
                        counted.points, counted.equili_calls, fixed(med, 2).c_str(),
                        fixed(*std::min_element(cpu.begin(), cpu.end()), 2).c_str(),
                        fixed(1e3 * med / static_cast<double>(counted.points), 1).c_str(),
                        fixed(1e3 * med / static_cast<double>(counted.equili_calls), 2).c_str(),
                        fixed(start, 3).c_str(),
                        ratio(med, before, name, &Figures::cpu_ms).c_str(),
                        ratio(start, before, name, &Figures::startup_ms).c_str());
            out_record << name << '\t' << fixed(med, 4) << '\t' << fixed(start, 4) << '\n';
        }
        std::cout << "\nload average after the runs: " << load_average() << "\n";
        std::ofstream rec(record, std::ios::trunc);
        rec << out_record.str();
        if (!rec) throw std::runtime_error("cannot write " + record);
        std::cout << "figures written to " << record << "\n";
    } catch (const std::exception& e) {
        std::cerr << "tevbench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
