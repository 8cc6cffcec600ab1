// The report's code page 866 text as UTF-8 for a console that shows UTF-8.
#include <gtest/gtest.h>

#include <sstream>

#include "core/cp866.h"
#include "core/sink.h"

namespace {

using namespace tev;

// Two titles of the report as the code page 866 bytes it writes: TAБЛИЦA and HOMEP CИCTEMЫ.
constexpr char kTableTitle[] = "TA\x81\x8B\x88\x96" "A";
constexpr char kSystemNumber[] = "HOMEP C\x88" "CTEM\x9B";

TEST(CodePage866, TurnsTheReportTitlesIntoUtf8AndLeavesAsciiAlone)
{
    EXPECT_EQ(cp866_to_utf8(kTableTitle), "TA\u0411\u041B\u0418\u0426A");       // TAБЛИЦA
    EXPECT_EQ(cp866_to_utf8(kSystemNumber), "HOMEP C\u0418CTEM\u042B");         // HOMEP CИCTEMЫ
    EXPECT_EQ(cp866_to_utf8("\xA0\xAF\xE0\xEF\xF0\xF1"), "\u0430\u043F\u0440\u044F\u0401\u0451");
    EXPECT_EQ(cp866_to_utf8("\xC4\xFC\xFF"), "\u2500\u2116\u00A0");  // ─ № no-break space
    EXPECT_EQ(cp866_to_utf8(" :  1.00  ALFA"), " :  1.00  ALFA");
}

TEST(CodePage866, ALocaleIsUtf8WhenItsFirstSetVariableSaysSo)
{
    EXPECT_TRUE(locale_is_utf8("", "", "en_US.UTF-8"));
    EXPECT_TRUE(locale_is_utf8("", "ru_RU.utf8", "C"));
    EXPECT_FALSE(locale_is_utf8("C", "", "en_US.UTF-8"));  // LC_ALL rules
    EXPECT_FALSE(locale_is_utf8("", "", "ru_RU.CP866"));
    EXPECT_FALSE(locale_is_utf8("", "", ""));
}

TEST(CodePage866, TheSinkConvertsTheConsoleOnlyAndOnlyWhenAsked)
{
    std::ostringstream console, file;
    Sink sink(&console, &file);
    sink.line(kTableTitle);
    sink.console_utf8(true);
    sink.line(kTableTitle);
    EXPECT_EQ(console.str(), std::string(kTableTitle) + "\n" + cp866_to_utf8(kTableTitle) + "\n");
    EXPECT_EQ(file.str(), std::string(kTableTitle) + "\n" + kTableTitle + "\n");
}

}  // namespace
