// Report pages: closes a line-mode page of the results table, or prints a table-mode page of
// up to six points side by side with the composition of their products.
#include "report/report.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/layout.h"
#include "core/library_format.h"
#include "core/report_line.h"
#include "core/sink.h"
#include "report/composition.h"
#include "report/texts.h"

namespace tev {

namespace {

//! Last rows of the page table's row groups: properties of every point, nozzle rows; the
//! electrical rows follow up to kPropertyRows.
constexpr int kPointRows = 18;
constexpr int kNozzleRows = 25;
//! Names are held for library numbers 1..999.
constexpr int kNamedSpecies = 999;
//! Width of one composition group: name A8, number I4, value G9.3.
constexpr int kGroupWidth = 8 + 4 + 9;
//! Blank columns that open a composition row.
constexpr int kCompositionIndent = 4;

const Layout& filler()
{
    static const Layout l("(1X,/)");
    return l;
}
const Layout& closing_rule()
{
    static const Layout l("(5(/),120('-'))");
    return l;
}
const Layout& page_opening()
{
    static const Layout l("(1(/),120('.'))");
    return l;
}
const Layout& property_row()
{
    static const Layout l("(1X,':',I2,':',A4,':',6(F12.5,':',6X))");
    return l;
}
const Layout& block_separator()
{
    static const Layout l("(1X,/,/)");
    return l;
}
//! Name-number-value groups of a composition row, up to one for each column of a page.
const Layout& composition_groups()
{
    static const Layout l("(6(A8,I4,G9.3))");
    return l;
}
const Layout& page_closing()
{
    static const Layout l("(1X,120('.'),5(/))");
    return l;
}

//! The printed name of a library number.
const std::string& species_name(const State& S, int number)
{
    static const std::string unknown = texts::kUnknownSpecies;
    if (number < 1 || number > kNamedSpecies) return unknown;
    return S.lib.KOM(number).s;
}

//! A field of a page that overflowed: its row and column.
struct Overflow {
    int row = 0;
    int column = 0;
    std::string label;
    double value = 0;
};

//! The values of a property row and the fields of it that overflowed; one of each serves
//! every row of a page.
struct RowValues {
    std::vector<Value> values;
    std::vector<std::size_t> overflowed;
};

void property_row_line(State& S, int row, const std::string& label, int columns,
                       std::vector<Overflow>& overflows, RowValues& buffer)
{
    auto& values = buffer.values;
    values.resize(static_cast<std::size_t>(columns) + 2);
    values[0].kind = Value::Kind::Int;
    values[0].i = row;
    values[1].kind = Value::Kind::Name;
    values[1].s = label;
    for (int j = 1; j <= columns; ++j) {
        Value& v = values[static_cast<std::size_t>(j) + 1];
        v.kind = Value::Kind::Real;
        v.r = S.rep.ST(row, j);
    }
    buffer.overflowed.clear();
    S.io.out->write(property_row(), values, &buffer.overflowed);
    for (const std::size_t k : buffer.overflowed)
        if (k >= 2) overflows.push_back({row, static_cast<int>(k) - 1, label, values[k].r});
}

//! After the page, the fields that overflowed, each with its value and point.
void note_overflows(State& S, const std::vector<Overflow>& overflows)
{
    for (const auto& o : overflows) {
        std::string label = o.label;
        label.erase(label.find_last_not_of(' ') + 1);
        if (label.empty()) label = std::to_string(o.row);
        const char* name = label.c_str();
        write_noting_overflow_note(S, name, o.value, S.rep.column_point(1, o.column),
                                   S.rep.column_point(2, o.column), S.rep.column_point(3, o.column));
    }
}

//! The values of the name-number-value groups of a composition row.
using CompositionGroups = std::array<Value, 3 * kPageColumns>;

//! One composition row of the page. A cell that holds no entry (its point had fewer species)
//! is left blank over the group's width; blank cells at the end of the row are not written.
//! `line` and `groups` serve every row of the page.
void composition_row_line(State& S, int row, int columns, TextBuffer& line, CompositionGroups& groups)
{
    auto& rep = S.rep;
    line.clear();
    std::size_t blanks = kCompositionIndent;  // blanks not yet written before the next group
    std::size_t run = 0;                      // groups gathered after them, not yet written
    // The blanks, then the groups gathered, in one pass of the layout.
    auto write_run = [&] {
        if (run == 0) return;
        if (blanks != 0) {
            std::memset(line.room(blanks), ' ', blanks);
            line.resize_within(line.size() + blanks);
            blanks = 0;
        }
        append_layout(line, composition_groups(), groups.data(), 3 * run);
        line.resize_within(line.size() - 1);  // the groups are one line: its line end goes
        run = 0;
    };
    for (int j = 1; j <= columns; ++j) {
        double v = rep.ST(kPropertyRows + row, j);
        if (v == 0 || !std::isfinite(v)) {
            write_run();
            rep.NS(j) = 0;
            blanks += kGroupWidth;
            continue;
        }
        rep.NS(j) = unpack_number(v);
        rep.ST(kPropertyRows + row, j) = v;
        groups[3 * run].s = species_name(S, rep.NS(j));
        groups[3 * run + 1].i = rep.NS(j);
        groups[3 * run + 2].r = v;
        ++run;
    }
    write_run();
    if (line.size() == 0) {  // the indent opens every row
        std::memset(line.room(kCompositionIndent), ' ', kCompositionIndent);
        line.resize_within(kCompositionIndent);
    }
    S.io.out->line(line.view());
}

}  // namespace

// APAGE: closes the current report page. In line mode it fills the page to its fixed length
// and ends it with a rule; in table mode it prints the stored columns (property rows, the
// electrical rows with ions, the composition with species names) and clears the table.
//   reads  S.rep (AP, CC, CT, ST), S.task.FIS, S.eq.MC(kElectron), S.lib (RDAT, KOM)
//   writes S.rep.CC = 0; in table mode S.rep.CT = 1, S.rep.ST = 0, S.rep.NS
//   ends   without writing anything when no page is open
void APAGE(State& S)
{
    auto& rep = S.rep;
    auto& out = *S.io.out;
    if (rep.AP == 1) {
        if (rep.CC == 0) return;
        while (rep.CC < kPageLines) {
            out.write(filler());
            rep.CC += 1;
        }
        out.write(closing_rule());
        rep.CC = 0;
        return;
    }

    if (rep.CT == 1) {
        rep.CC = 0;
        return;
    }
    // The page goes out in one piece.
    const Sink::Hold hold(out);
    out.write(page_opening());
    const int columns = rep.CT - 1;
    std::vector<Overflow> overflows;
    RowValues buffer;
    for (int i = 1; i <= kPointRows; ++i)
        property_row_line(S, i, S.lib.RDAT(i).s, columns, overflows, buffer);
    if (!S.task.FIS)
        for (int i = kPointRows + 1; i <= kNozzleRows; ++i)
            property_row_line(S, i, S.lib.RDAT(i).s, columns, overflows, buffer);
    if (S.eq.MC(libfmt::kElectron) > 0) {
        const std::string blank_label(4, ' ');
        for (int i = kNozzleRows + 1; i <= kPropertyRows; ++i) {
            if (S.task.FIS && (i == 29 || i == 30)) continue;  // nozzle rows
            property_row_line(S, i, blank_label, columns, overflows, buffer);
        }
    }
    out.write(block_separator());
    TextBuffer line;
    CompositionGroups groups;
    for (std::size_t k = 0; k < groups.size(); k += 3) {
        groups[k] = Value::name("");
        groups[k + 1] = Value::integer(0);
        groups[k + 2] = Value::real(0);
    }
    for (int i = 1; i <= rep.CC; ++i) composition_row_line(S, i, columns, line, groups);
    rep.CT = 1;
    rep.ST.fill(0);
    out.write(page_closing());
    note_overflows(S, overflows);
    rep.CC = 0;
}

}  // namespace tev
