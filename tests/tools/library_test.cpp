// The library generator as a whole: run on the source data, it gives the shipped library byte
// for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kLib = std::string(TEV_SOURCE_DIR) + "/lib/";
const std::string kShared = std::string(TEV_SOURCE_DIR) + "/../shared/data";

std::string bytes_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(LibraryGenerator, RegeneratesTheShippedLibraryByteForByte)
{
    const std::string tool = std::string(TEV_BINARY_DIR) + "/mklib";
    if (!fs::exists(kShared + "/nasa/thermo.inp")) GTEST_SKIP() << "no source data at " << kShared;
    if (!fs::exists(tool)) GTEST_SKIP() << "generator not built at " << tool;
    const fs::path out = fs::temp_directory_path() / ("mklib_regen_" + std::to_string(::getpid()));
    fs::create_directories(out);
    const std::string cmd = tool + " " + kShared + "/nasa/thermo.inp " + kShared +
                            "/nasa/trans.inp " + kShared + "/transport/lj_params.tsv " +
                            out.string() + " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* f : {"r3.id", "r4.id", "kom.id", "val.id", "tab.id", "library_index.tsv",
                          "fit_report.txt"})
        EXPECT_TRUE(bytes_of((out / f).string()) == bytes_of(kLib + f)) << f << " differs";
    fs::remove_all(out);
}

}  // namespace
