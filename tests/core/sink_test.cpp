// The report sink: records held for a page come out as they would one by one.
#include "core/sink.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "core/cp866.h"
#include "core/layout.h"

namespace tev {
namespace {

TEST(SinkHold, HeldRecordsComeOutWhenTheOutermostHoldEndsEvenByAnException)
{
    const Layout row("(1X,':',I2,':',A4,':',2(F12.5,':',6X))");
    const std::vector<Value> values = {Value::integer(3), Value::name("P\x80"), Value::real(2.0),
                                       Value::real(-0.5)};
    std::ostringstream console_plain, file_plain;
    Sink plain(&console_plain, &file_plain);
    plain.console_utf8(true);
    plain.line("head");
    plain.write(row, values);
    plain.line("");
    plain.write(row, values);

    std::ostringstream console, file;
    Sink held(&console, &file);
    held.console_utf8(true);
    held.line("head");
    try {
        const Sink::Hold outer(held);
        {
            const Sink::Hold inner(held);
            held.write(row, values);
        }
        held.line("");
        EXPECT_EQ(console.str(), cp866_to_utf8("head\n"));  // still held by the outer Hold
        held.write(row, values);
        throw std::runtime_error("leaves the page");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(console.str(), console_plain.str());
    EXPECT_EQ(file.str(), file_plain.str());
    held.line("after");
    EXPECT_EQ(file.str(), file_plain.str() + "after\n");
}

}  // namespace
}  // namespace tev
