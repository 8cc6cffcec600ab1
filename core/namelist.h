// Namelist groups: "&NAME var(i)=v1, v2 ... /" as read from lib/val.id (WAL) and topliw.dat (WAT).
#pragma once

#include <istream>
#include <span>
#include <string>
#include <vector>

namespace tev {

//! One array variable of a namelist group: its name and the 1-based storage it fills.
struct NamelistVar {
    std::string name;     //!< variable name, compared without regard to case
    std::span<double> a;  //!< element i of the variable is a[i-1]
};

//! Reads the first group named `group` from `in` into `vars`. Text before the ampersand and
//! other groups are skipped. Subscripts "(i)" and ranges "(i:j)", values separated by commas,
//! blanks, tabs or line ends, repeat counts "3*1.0", comments after "!", and the closing "/"
//! (or "&END"). An unknown name, a subscript out of bounds, too many values, a value that is
//! not a number or a missing group throws InputError naming `file`, `unit` and "READ".
void read_namelist(std::istream& in, const std::string& file, int unit, const std::string& group,
                   const std::vector<NamelistVar>& vars);

}  // namespace tev
