// Small file helpers shared by the tests that run whole programs.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tevtest {

//! The whole content of a file, byte for byte; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace tevtest
