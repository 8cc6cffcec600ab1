// Stand-in until the routines of this file are built.
#include "input/input.h"

namespace tev {

void OTBOR(State&) {}

}  // namespace tev
