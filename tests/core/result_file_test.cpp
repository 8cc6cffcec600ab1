// Result files: a committed file holds exactly the new text, whichever way it was replaced,
// and nothing else that shares the old file changes with it.
#include "core/result_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/files.h"

namespace tev {
namespace {

namespace fs = std::filesystem;

using tevtest::slurp;

void spit(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

class ResultFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(TEV_BINARY_DIR) / "result_file_test" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        name_ = (dir_ / "r.rez").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    //! Replaces NAME with `text` written in pieces that cross the held blocks.
    void replace(const std::string& text)
    {
        ResultFile f(name_);
        f.open();
        for (std::size_t at = 0; at < text.size(); at += 4097)
            f.stream() << text.substr(at, 4097);
        f.commit();
    }

    fs::path dir_;
    std::string name_;
};

std::string text_of(std::size_t n, char seed)
{
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return s;
}

TEST_F(ResultFileTest, CommitLeavesExactlyTheNewTextWhetherTheOldWasLongerShorterOrAbsent)
{
    std::string text;
    for (std::size_t n : {150000u, 3u, 0u, 200001u, 65536u}) {
        text = text_of(n, static_cast<char>(n % 5));
        replace(text);
        EXPECT_EQ(slurp(name_), text) << n;
        EXPECT_FALSE(fs::exists(name_ + ".tmp"));
    }
    // Dropped without commit: the last text stays.
    {
        ResultFile f(name_);
        f.open();
        f.stream() << "never";
    }
    EXPECT_EQ(slurp(name_), text);
}

TEST_F(ResultFileTest, AnotherLinkOrTheTargetOfALinkKeepsTheOldText)
{
    spit(name_, "old");
    fs::create_hard_link(name_, dir_ / "other");
    replace("new text");
    EXPECT_EQ(slurp(name_), "new text");
    EXPECT_EQ(slurp(dir_ / "other"), "old");

    fs::remove(name_);
    fs::create_symlink(dir_ / "other", name_);
    replace("newer");
    EXPECT_FALSE(fs::is_symlink(name_));
    EXPECT_EQ(slurp(name_), "newer");
    EXPECT_EQ(slurp(dir_ / "other"), "old");
}

}  // namespace
}  // namespace tev
