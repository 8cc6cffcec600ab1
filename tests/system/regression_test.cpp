// The regression cases of faulty input (tests/regressions/CLASS/CASE), one test per class:
// each case runs the program on its task and library changes and must end as its `expect`
// says, and pass the checks every run passes (tests/fuzz/harness.h).
#include <gtest/gtest.h>

#include "tests/fuzz/harness.h"
#include "tests/support/test_names.h"

namespace {

namespace fs = std::filesystem;
using namespace tevfuzz;

const fs::path kCases = fs::path(TEV_SOURCE_DIR) / "tests/regressions";

std::vector<std::string> fault_classes()
{
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(kCases))
        if (e.is_directory()) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

class Regressions : public ::testing::TestWithParam<std::string> {};

TEST_P(Regressions, EveryCaseEndsAsExpected)
{
    std::vector<fs::path> cases;
    for (const auto& e : fs::directory_iterator(kCases / GetParam())) cases.push_back(e.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_FALSE(cases.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.string());
        const auto changes = parse_setup(slurp(c / "setup"));
        const fs::path dir = fs::path(TEV_BINARY_DIR) / "runs" / ("regression-" + c.filename().string());
        prepare(dir, fs::path(TEV_SOURCE_DIR) / "lib", slurp(c / "topliw.dat"), changes);
        // Generous: the sanitizer build runs an order of magnitude slower.
        const Outcome o = run(fs::path(TEV_BINARY_DIR) / "tevalin", dir, changes, 120);
        for (const auto& f : check(o, changes)) ADD_FAILURE() << f.kind << ": " << f.detail;
        std::istringstream expect(slurp(c / "expect"));
        std::string key;
        while (expect >> key) {
            std::string value;
            std::getline(expect, value);
            value.erase(0, value.find_first_not_of(' '));
            if (key == "status") {
                EXPECT_EQ(o.status, std::stoi(value)) << o.errors;
            } else if (key == "says") {
                EXPECT_TRUE(o.console.find(value) != std::string::npos ||
                            o.errors.find(value) != std::string::npos)
                    << "wanted \"" << value << "\"; errors: " << o.errors;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FaultClasses, Regressions, ::testing::ValuesIn(fault_classes()),
                         [](const auto& info) { return tevtest::case_name(info.param); });

}  // namespace
