// Stand-in until the calculation cycle is built.
#include "core/driver.h"

namespace tev {
void set_defaults(State&) {}
void after_input(State&) {}
int run_cycle(State&, const Routines&) { return 0; }
}  // namespace tev
