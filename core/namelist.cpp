// Stand-in until the namelist reader is built.
#include "core/namelist.h"

namespace tev {
void read_namelist(std::istream&, const std::string&, int, const std::string&, const std::vector<NamelistVar>&) {}
}  // namespace tev
