// tevalin: thermodynamic calculation of rocket propellants. Reads lib/ and topliw.dat in the
// working directory, writes the report to the console and to tevalin.rez, and the results table
// of the reported points to tevalin.csv.
//
// Exit status: 0 the run completed and its whole report was written (points that did not
// converge are named in the report and counted on the closing line); 2 an input error (a
// file missing or unreadable, a fault of the task); 3 a fault of the library's contents;
// 4 the console, tevalin.rez or tevalin.csv could not be written; 5 an internal error of the
// program.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include <unistd.h>

#include "app/driver.h"
#include "core/cp866.h"
#include "core/errors.h"
#include "core/result_file.h"
#include "core/sink.h"
#include "input/input.h"
#include "report/results_table.h"

namespace {

//! Ends a failed run: what was written goes to the console, the result files' temporaries are
//! removed (the previous report and table stay) and the message goes to the error stream.
int fail(tev::Sink* sink, tev::ResultFile& rez, tev::ResultFile& csv, const std::string& message,
         int status)
{
    if (sink) std::cout.flush();
    rez.abandon();
    csv.abandon();
    std::cerr << message << std::endl;
    return status;
}

//! True when standard output is a terminal whose locale is UTF-8: the console then shows the
//! report's Cyrillic letters as UTF-8. (Whether a stream is a terminal only the operating system
//! can tell.)
bool console_shows_utf8()
{
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string_view(v ? v : "");
    };
    return isatty(STDOUT_FILENO) == 1 &&
           tev::locale_is_utf8(env("LC_ALL"), env("LC_CTYPE"), env("LANG"));
}

//! False when the standard output is known to be closed (where the system lists the open
//! files of a process); true otherwise.
bool console_open()
{
    std::error_code ec;
    if (!std::filesystem::exists("/proc/self/fd", ec)) return true;
    // The entry is a link to the console's file, pipe or socket: its own presence is asked.
    return std::filesystem::symlink_status("/proc/self/fd/1", ec).type() !=
           std::filesystem::file_type::not_found;
}

}  // namespace

int main()
{
    using namespace tev;
    // The state's initial values are constants, so the state is part of the program image
    // (constinit checks that): a page of its tables that the run never touches is never
    // written, where building it at run time wrote all of them.
    constinit static State state;
    State& S = state;
    // The console report goes out in blocks of 32 KB, on a terminal too, where the line
    // buffering of the standard output would make a system call of every page of the report
    // (some 700 on a 400-point task, most of such a run's time). The error stream flushes it
    // before it writes, so the two still come out in order.
    static char console_buffer[1 << 15];
    std::setvbuf(stdout, console_buffer, _IOFBF, sizeof console_buffer);
#ifdef SIGXFSZ
    // A file that reaches the file size limit fails its write, which the run reports, instead
    // of ending the run where it stands.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The report goes to tevalin.rez only when the run ends well; until then the previous
    // report stays (a run that fails on its input loses nothing).
    ResultFile rez("tevalin.rez");
    // The results table follows the same rule, so that the two always belong to one run.
    ResultFile csv("tevalin.csv");
    ResultsTable table;
    std::unique_ptr<Sink> sink;
    std::ifstream tab, kom, val, r3, r4, fq, bq, qj, task;
    try {
        // A closed standard output would hand its number to the next file opened, and the
        // console report would land in that file.
        if (!console_open())
            throw OutputError("console", "the standard output is closed");
        // The ten files in their fixed order; the result file is created last.
        open_input(tab, "lib/tab.id", 15);
        open_input(kom, "lib/kom.id", 16);
        open_input(val, "lib/val.id", 1);
        open_input(r3, "lib/r3.id", 3);
        open_input(r4, "lib/r4.id", 4);
        open_input(fq, "lib/fq.id", 10);
        open_input(bq, "lib/bq.id", 11);
        open_input(qj, "lib/qj.id", 12);
        open_input(task, "topliw.dat", 5);
        rez.open();
        csv.open();
        sink = std::make_unique<Sink>(&std::cout, &rez.stream());
        sink->console_utf8(console_shows_utf8());
        S.io.out = sink.get();
        S.io.table = &table;
        S.io.r3 = &r3;
        S.io.r4 = &r4;
        S.io.task = &task;
        S.io.keep_libraries = true;  // the library files do not change during the run

        load_library(S, "lib", {&tab, &kom, &val, &fq, &bq, &qj});
        // Read once in full: their buffers go back for the memory the run uses next.
        for (std::ifstream* f : {&tab, &kom, &val, &fq, &bq, &qj}) f->close();
        set_defaults(S);
        INPUT(S);
        check_task(S);
        after_input(S);

        const int failures = run_cycle(S, production_routines());
        sink->flush();
        std::string closing = " tevalin: run complete";
        if (failures > 0) closing += "; " + std::to_string(failures) + " point(s) did not converge";
        if (S.st.field_overflows > 0)
            closing += "; " + std::to_string(S.st.field_overflows) +
                       " value(s) overflowed their field (asterisks)";
        if (failures > 0 || S.st.field_overflows > 0) closing += ", see the report";
        std::cout << closing << std::endl;
        // The result files are kept even when the console failed: they hold the whole report.
        // The report goes first; the table's text is composed after it, in the memory the
        // report held. Should the table fail after the report has replaced the previous one,
        // the previous table is removed rather than left beside a report it does not belong to.
        const bool console_written = static_cast<bool>(std::cout);
        rez.commit();
        try {
            table.write(csv.stream());
            csv.commit();
        } catch (const OutputError&) {
            std::error_code ec;
            std::filesystem::remove(csv.name(), ec);
            throw OutputError(csv.name(), "the results table could not be written; tevalin.rez "
                                          "holds this run's report, the previous table is removed");
        }
        if (!console_written)
            throw OutputError("console", "the standard output could not be written");
        return 0;
    } catch (const InputError& e) {
        return fail(sink.get(), rez, csv, std::string("tevalin: ") + e.what(), 2);
    } catch (const LibraryError& e) {
        return fail(sink.get(), rez, csv, std::string("tevalin: library error: ") + e.what(), 3);
    } catch (const OutputError& e) {
        return fail(sink.get(), rez, csv, std::string("tevalin: ") + e.what(), 4);
    } catch (const std::bad_alloc&) {
        return fail(sink.get(), rez, csv, "tevalin: internal error: out of memory", 5);
    } catch (const std::exception& e) {
        return fail(sink.get(), rez, csv, std::string("tevalin: internal error: ") + e.what(), 5);
    }
}
