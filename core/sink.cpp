// The one output sink: console first, then the result file.
#include "core/sink.h"

#include <cstring>

#include "core/cp866.h"

namespace tev {

void Sink::line(std::string_view text)
{
    if (holds_ > 0 && !record) {
        // Straight into what is held.
        char* p = held_.room(text.size() + 1);
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        p[text.size()] = '\n';
        held_.resize_within(held_.size() + text.size() + 1);
        return;
    }
    text_.clear();
    char* p = text_.room(text.size() + 1);
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    p[text.size()] = '\n';
    text_.resize_within(text.size() + 1);
    put_block(text_.view());
    if (record) recorded.emplace_back(text);
}

void Sink::put_block(std::string_view block)
{
    if (holds_ > 0) {
        if (block.empty()) return;
        std::memcpy(held_.room(block.size()), block.data(), block.size());
        held_.resize_within(held_.size() + block.size());
        return;
    }
    write_out(block);
}

void Sink::release()
{
    if (held_.size() > 0) write_out(held_.view());
    held_.clear();
}

void Sink::write_out(std::string_view block)
{
    if (console_) {
        if (utf8_)
            *console_ << cp866_to_utf8(block);
        else
            console_->write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (file_) file_->write(block.data(), static_cast<std::streamsize>(block.size()));
}

void Sink::put_lines(std::string_view block)
{
    put_block(block);
    if (record) {
        std::size_t from = 0;
        for (std::size_t end = block.find('\n'); end != std::string_view::npos;
             end = block.find('\n', from)) {
            recorded.emplace_back(block.substr(from, end - from));
            from = end + 1;
        }
    }
}

void Sink::write(const Layout& layout, const std::vector<Value>& values,
                 std::vector<std::size_t>* overflowed)
{
    write(layout, values.data(), values.size(), overflowed);
}

void Sink::write(const Layout& layout, const Value* values, std::size_t count,
                 std::vector<std::size_t>* overflowed)
{
    if (holds_ > 0 && !record) {
        // Straight into what is held; a record that fails leaves nothing there.
        const std::size_t mark = held_.size();
        try {
            append_layout(held_, layout, values, count, overflowed);
        } catch (...) {
            held_.resize_within(mark);
            throw;
        }
        return;
    }
    text_.clear();
    append_layout(text_, layout, values, count, overflowed);
    put_lines(text_.view());
}

void Sink::write(const Layout& layout) { write(layout, {}); }

void Sink::flush()
{
    release();
    if (console_) console_->flush();
    if (file_) file_->flush();
}

}  // namespace tev
