// The hand-made NASA records the generator tests read (tests/data/mklib/mini_thermo.inp).
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/mklib/nasa_data.h"

namespace mklib::test_data {

inline NasaData mini_data()
{
    std::ifstream in(std::string(TEV_SOURCE_DIR) + "/tests/data/mklib/mini_thermo.inp");
    return read_thermo(in);
}

inline const NasaSpecies& named(const std::vector<NasaSpecies>& all, const std::string& name)
{
    for (const auto& s : all)
        if (s.name == name) return s;
    throw std::runtime_error("no " + name);
}

}  // namespace mklib::test_data
