// The one output sink: console first, then the result file.
#include "core/sink.h"

#include "core/cp866.h"
#include "core/layout.h"

namespace tev {

void Sink::to_console(std::string_view text)
{
    if (utf8_)
        *console_ << cp866_to_utf8(text) << '\n';
    else
        *console_ << text << '\n';
}

void Sink::line(std::string_view text)
{
    if (console_) to_console(text);
    if (file_) *file_ << text << '\n';
    if (record) recorded.emplace_back(text);
}

void Sink::write(const Layout& layout, const std::vector<Value>& values,
                 std::vector<std::size_t>* overflowed)
{
    const auto lines = write_layout(layout, values, overflowed);
    if (console_)
        for (const auto& l : lines) to_console(l);
    if (file_)
        for (const auto& l : lines) *file_ << l << '\n';
    if (record)
        for (const auto& l : lines) recorded.push_back(l);
}

void Sink::write(const Layout& layout) { write(layout, {}); }

void Sink::flush()
{
    if (console_) console_->flush();
    if (file_) file_->flush();
}

}  // namespace tev
