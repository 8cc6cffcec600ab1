// tevalin: thermodynamic calculation of rocket propellants. Reads lib/ and topliw.dat in the
// working directory, writes the report to the console and to tevalin.rez.
#include <fstream>
#include <iostream>
#include <memory>

#include "core/driver.h"
#include "core/errors.h"
#include "input/input.h"
#include "nozzle/nozzle.h"
#include "report/report.h"
#include "report/sink.h"
#include "thermo/thermo.h"

namespace {

//! Opens an input file read-only; a missing or unreadable file is an input error.
void open_input(std::ifstream& f, const std::string& name, int unit)
{
    f.open(name, std::ios::in | std::ios::binary);
    if (!f) throw tev::InputError(name, unit, "OPEN", "file is missing or cannot be read");
}

}  // namespace

int main()
{
    using namespace tev;
    auto state = std::make_unique<State>();
    State& S = *state;
    std::ofstream rez;
    std::unique_ptr<Sink> sink;
    std::ifstream tab, kom, val, r3, r4, fq, bq, qj, task;
    try {
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
        tab.close(); kom.close(); val.close(); fq.close(); bq.close(); qj.close();
        rez.open("tevalin.rez", std::ios::out | std::ios::trunc | std::ios::binary);
        if (!rez) throw InputError("tevalin.rez", 6, "OPEN", "result file cannot be written");
        sink = std::make_unique<Sink>(&std::cout, &rez);
        S.io.out = sink.get();
        S.io.r3 = &r3;
        S.io.r4 = &r4;
        S.io.task = &task;

        load_library(S, "lib");
        set_defaults(S);
        INPUT(S);
        check_task(S);
        after_input(S);

        Routines r;
        r.DIRECT = DIRECT;
        r.OTBOR = OTBOR;
        r.INITIA = INITIA;
        r.FUNC = FUNC;
        r.EQUILI = EQUILI;
        r.TEPL = TEPL;
        r.SIGMA = SIGMA;
        r.OUT = OUT;
        r.APAGE = APAGE;
        const int failures = run_cycle(S, r);
        sink->flush();
        if (failures > 0)
            std::cout << " tevalin: run complete; " << failures
                      << " point(s) did not converge, see the report" << std::endl;
        else
            std::cout << " tevalin: run complete" << std::endl;
        return 0;
    } catch (const InputError& e) {
        if (sink) sink->flush();
        std::cerr << "tevalin: " << e.what() << std::endl;
        return 2;
    } catch (const LibraryError& e) {
        if (sink) sink->flush();
        std::cerr << "tevalin: library error: " << e.what() << std::endl;
        return 3;
    }
}
