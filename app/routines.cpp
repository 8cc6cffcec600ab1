// The program's routine table.
#include "app/driver.h"

#include "input/input.h"
#include "nozzle/nozzle.h"
#include "report/report.h"
#include "thermo/thermo.h"

namespace tev {

Routines production_routines()
{
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
    return r;
}

}  // namespace tev
