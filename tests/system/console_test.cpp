// The console of a whole run: UTF-8 on a terminal whose locale is UTF-8, the code page 866 bytes
// everywhere else, and the result file always in code page 866.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/files.h"
#include "tests/system/report_reader.h"

namespace {

namespace fs = std::filesystem;

using tevtest::slurp;

TEST(Console, ShowsUtf8OnAUtf8TerminalAndCodePage866Elsewhere)
{
    const std::string task = std::string(TEV_SOURCE_DIR) + "/tests/data/system/lox_lh2_line_mode.dat";
    int rc = 0;
    const std::string rez = tevtest::run_program(TEV_SOURCE_DIR, TEV_BINARY_DIR, task, "console_utf8", &rc);
    ASSERT_EQ(rc, 0);
    const std::string title866 = "TA\x81\x8B\x88\x96" "A", title_utf8 = "TA\u0411\u041B\u0418\u0426A";
    EXPECT_NE(rez.find(title866), std::string::npos);
    const fs::path dir = fs::path(TEV_BINARY_DIR) / "runs" / "console_utf8";
    EXPECT_NE(slurp(dir / "console.txt").find(title866), std::string::npos) << "a file gets code page 866";
    // A terminal: `script` runs the program on a pseudo-terminal.
    if (std::system("command -v script > /dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) for a terminal";
    const std::string tevalin = std::string(TEV_BINARY_DIR) + "/tevalin";
    auto on_terminal = [&](const std::string& lang, const std::string& out) {
        const std::string cmd = "cd '" + dir.string() + "' && env -u LC_ALL -u LC_CTYPE LANG=" + lang +
                                " script -qec '" + tevalin + "' /dev/null > " + out + " 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return slurp(dir / out);
    };
    const std::string utf8 = on_terminal("C.UTF-8", "tty_utf8.txt");
    EXPECT_NE(utf8.find(title_utf8), std::string::npos);
    EXPECT_EQ(utf8.find(title866), std::string::npos);
    EXPECT_NE(on_terminal("C", "tty_c.txt").find(title866), std::string::npos) << "not a UTF-8 locale";
    EXPECT_EQ(slurp(dir / "tevalin.rez"), rez) << "the result file stays code page 866";
}

}  // namespace
