// The built program on a faulty task and a faulty library: the exit status a calling script
// tests, a message that names the file and the fault, and the previous report kept.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

using tevtest::slurp;

void write(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

//! A run directory holding the shipped library, the example task and the report of a good run
//! of it, ready for one file to be spoilt.
class FailingRuns : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(TEV_BINARY_DIR) / "runs" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "lib");
        for (const auto& e : fs::directory_iterator(fs::path(TEV_SOURCE_DIR) / "lib"))
            if (e.path().extension() == ".id") fs::copy_file(e.path(), dir_ / "lib" / e.path().filename());
        fs::copy_file(fs::path(TEV_SOURCE_DIR) / "examples/lox_lh2.dat", dir_ / "topliw.dat");
        ASSERT_EQ(run(), 0) << errors();
        good_report_ = slurp(dir_ / "tevalin.rez");
        good_table_ = slurp(dir_ / "tevalin.csv");
        ASSERT_FALSE(good_report_.empty());
        ASSERT_FALSE(good_table_.empty());
    }

    //! Runs the program in the run directory; its exit status (-1 when it did not exit).
    int run()
    {
        const std::string cmd = "cd '" + dir_.string() + "' && '" TEV_BINARY_DIR
                                "/tevalin' > console.txt 2> errors.txt";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string errors() const { return slurp(dir_ / "errors.txt"); }
    //! Replaces the first `from` in the run directory's file `name` by `to`.
    void spoil(const std::string& name, const std::string& from, const std::string& to)
    {
        std::string text = slurp(dir_ / name);
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << " in " << name;
        write(dir_ / name, text.replace(at, from.size(), to));
    }
    //! A failing run leaves the report and the results table of the good run as they were,
    //! and no partial one.
    void expect_previous_report_kept() const
    {
        EXPECT_EQ(slurp(dir_ / "tevalin.rez"), good_report_);
        EXPECT_EQ(slurp(dir_ / "tevalin.csv"), good_table_);
        EXPECT_FALSE(fs::exists(dir_ / "tevalin.rez.tmp"));
        EXPECT_FALSE(fs::exists(dir_ / "tevalin.csv.tmp"));
    }

    fs::path dir_;
    std::string good_report_, good_table_;
};

TEST_F(FailingRuns, AFaultOfTheTaskEndsWithStatus2NamingTheTaskFileAndTheFault)
{
    // The fuel's mass fractions: 1 becomes 1.1.
    spoil("topliw.dat", "4000000, 1.0,", "4000000, 1.1,");
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(errors(), "tevalin: input error: READ on unit 5 (topliw.dat): fuel mass fraction 1 "
                        "(0.1100000000E+01) is not between 0 and 1\n");
    expect_previous_report_kept();

    fs::remove(dir_ / "topliw.dat");
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(errors(), "tevalin: input error: OPEN on unit 5 (topliw.dat): file is missing\n");
    expect_previous_report_kept();
}

TEST_F(FailingRuns, AFaultOfTheLibraryEndsWithStatus3NamingTheLibraryFileAndTheFault)
{
    spoil("lib/val.id", "MU(1)=1.00794", "MU(1)=-1.00794");
    EXPECT_EQ(run(), 3);
    EXPECT_EQ(errors(), "tevalin: library error: lib/val.id: MU(1) = -0.10079400E+01 is not a "
                        "plausible atomic mass in g/mol (0 for an element not given)\n");
    expect_previous_report_kept();
}

TEST_F(FailingRuns, AFileSizeLimitBelowTheReportEndsWithStatus4AndKeepsThePreviousReport)
{
    // The limit is in blocks of 512 or 1024 bytes as the shell counts them: either way well
    // below the report. The console goes where no limit applies.
    const std::string cmd = "cd '" + dir_.string() + "' && ulimit -f 8 && '" TEV_BINARY_DIR
                            "/tevalin' > /dev/null 2> errors.txt";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(rc), 4);
    EXPECT_NE(errors().find("tevalin.rez: writing failed"), std::string::npos) << errors();
    expect_previous_report_kept();
}

}  // namespace
