// Stand-in until the layout interpreter is built.
#include "core/layout.h"

namespace tev {
struct LayoutItem {};
Layout::Layout(std::string_view text) : text_(text), items_(std::make_shared<std::vector<LayoutItem>>()) {}
Layout::~Layout() = default;
Layout::Layout(const Layout&) = default;
Layout& Layout::operator=(const Layout&) = default;
const std::vector<LayoutItem>& Layout::items() const { return *items_; }
std::size_t Layout::revert_index() const { return revert_; }
std::vector<std::string> write_layout(const Layout&, const std::vector<Value>&) { return {}; }
std::string format_real(char, int, int, double) { return {}; }
std::string format_int(int, std::int64_t) { return {}; }
RecordReader::RecordReader(std::istream& in, std::string file, int unit) : in_(in), file_(std::move(file)), unit_(unit) {}
void RecordReader::read(const Layout&, std::size_t, const std::function<void(std::size_t, const Value&)>&) {}
std::vector<double> RecordReader::read_reals(const Layout&, std::size_t) { return {}; }
void RecordReader::rewind() {}
bool RecordReader::next_line(std::string&) { return false; }
bool parse_real_field(std::string_view, double&) { return false; }
}  // namespace tev
