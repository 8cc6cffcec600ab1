// Stand-in until the library loading is built.
#include "input/input.h"

namespace tev {

void load_library(State&, const std::string&) {}

}  // namespace tev
