// The results table tevalin.csv.
#include "report/results_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <sstream>

#include "core/cp866.h"
#include "core/layout.h"
#include "core/library_format.h"
#include "core/state.h"

namespace tev {

namespace {

//! Value columns: name (with unit) and where the value comes from.
enum class From { Row, Ratio, ChamberPressure, NozzleRow, FlowComplex };
struct Column {
    const char* name;
    From from;
    int row;  //!< property row, for From::Row, Ratio and NozzleRow
};

const Column kColumns[] = {
    {"o_f", From::Ratio, 2},           {"alfa", From::Ratio, 1},
    {"pc_MPa", From::ChamberPressure, 0}, {"p_MPa", From::Row, 3},
    {"T_K", From::Row, 4},             {"h_kJ_kg", From::Row, 5},
    {"s_kJ_kgK", From::Row, 6},        {"M_g_mol", From::Row, 7},
    {"cp_eq", From::Row, 8},           {"cp_fr", From::Row, 10},
    {"gamma", From::Row, 12},          {"a_m_s", From::Row, 14},
    {"mach", From::NozzleRow, 20},     {"isp_m_s", From::NozzleRow, 21},
    {"ivac_m_s", From::NozzleRow, 22}, {"cstar_m_s", From::FlowComplex, 0},
    {"ae_at", From::NozzleRow, 25},    {"n_mean", From::NozzleRow, 19},
    {"z_cond", From::Row, 13},         {"visc_Pa_s", From::Row, 15},
    {"cond_W_mK", From::Row, 16},      {"cond_eq_W_mK", From::Row, 17},
    {"prandtl", From::Row, 18},        {"sigma_S_m", From::Row, 26},
    {"ne_1e18_m3", From::Row, 28},     {"mobility_m2_Vs", From::Row, 31},
};
//! The last three columns are those of the electrical conductivity, written with ions only.
constexpr std::size_t kIonColumns = 3;
constexpr std::size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];
static_assert(kColumnCount == ResultsTable::kValueColumns);

const char* kind_name(PointKind k)
{
    switch (k) {
    case PointKind::Chamber: return "chamber";
    case PointKind::Throat: return "throat";
    case PointKind::Section: return "section";
    case PointKind::Grid: return "grid";
    }
    return "";
}

//! A number for a section label: "10", "0.1".
std::string plain(double x)
{
    std::string s = shortest_real(x);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

//! How a section of value v is given, as a deck would say it.
enum class SectionForm { Temperature, AreaRatio, SubsonicAreaRatio, PressureRatio, Pressure };

SectionForm section_form(const State& S)
{
    if (S.task.FT) return SectionForm::Temperature;
    if (S.task.FFF) return S.pt.DA < 0 ? SectionForm::SubsonicAreaRatio : SectionForm::AreaRatio;
    if (S.task.FE) return SectionForm::PressureRatio;
    return SectionForm::Pressure;
}

std::string section_text(SectionForm form, double v)
{
    switch (form) {
    case SectionForm::Temperature: return "T " + plain(v) + " K";
    case SectionForm::AreaRatio: return "ae/at " + plain(v);
    case SectionForm::SubsonicAreaRatio: return "ae/at " + plain(v) + " subsonic";
    case SectionForm::PressureRatio: return "pc/pe " + plain(v);
    case SectionForm::Pressure: break;
    }
    return "pe " + plain(v) + " MPa";
}

//! Appends a CSV field: quoted when it holds a comma, a quote or a line end.
void append_field(std::string& t, const std::string& s)
{
    const bool plain = std::none_of(s.begin(), s.end(), [](char c) {
        return c == ',' || c == '"' || c == '\n' || c == '\r';
    });
    if (plain) {
        t += s;
        return;
    }
    t += '"';
    for (char c : s) {
        if (c == '"') t += '"';
        t += c;
    }
    t += '"';
}

}  // namespace

const std::string& ResultsTable::section_label(const State& S)
{
    static const std::string none;
    const int i = S.pt.IPA;
    if (i < 1 || i > S.task.PA.size()) return none;
    const double v = S.task.PA(i);
    const auto form = static_cast<int>(section_form(S));
    const auto k = static_cast<std::size_t>(i);
    if (section_labels_.size() <= k) section_labels_.resize(k + 1);
    SectionLabel& label = section_labels_[k];
    const auto bits = std::bit_cast<std::uint64_t>(v);
    if (label.form != form || label.value_bits != bits) {
        label.text = section_text(static_cast<SectionForm>(form), v);
        label.form = form;
        label.value_bits = bits;
    }
    return label.text;
}

void ResultsTable::record(const State& S, PointKind kind, const PropertyRows& rows, Composition x)
{
    Row r;
    r.kind = kind;
    const bool nozzle = kind == PointKind::Throat || kind == PointKind::Section;
    if (kind == PointKind::Section) r.section = section_label(S);
    r.ions = S.eq.MC(libfmt::kElectron) != 0;
    r.negative_ions = r.ions && !S.eq.F5;
    const double none = std::nan("");
    for (std::size_t k = 0; k < kColumnCount; ++k) {
        const Column& c = kColumns[k];
        double v = none;
        switch (c.from) {
        case From::Row: v = rows[static_cast<std::size_t>(c.row)]; break;
        case From::Ratio: v = S.task.NA > 0 ? rows[static_cast<std::size_t>(c.row)] : none; break;
        case From::ChamberPressure:
            v = kind != PointKind::Grid && S.pt.IPK >= 1 && S.pt.IPK <= S.task.PK.size() ? S.task.PK(S.pt.IPK)
                                                                                          : none;
            break;
        case From::NozzleRow: v = nozzle ? rows[static_cast<std::size_t>(c.row)] : none; break;
        case From::FlowComplex: v = nozzle ? S.rep.BTMIN : none; break;
        }
        r.values[k] = v;
    }
    for (std::size_t k = 0; k < x.size(); ++k) {
        const int number = x[k].first;
        // The points of a run mostly have the same species in the same order.
        if (k < species_.size() && species_[k].first == number) continue;
        const auto known = std::find_if(species_.begin(), species_.end(),
                                        [&](const auto& s) { return s.first == number; });
        if (known != species_.end()) continue;
        std::string name = number >= 1 && number <= 999 ? S.lib.KOM(number).s : "";
        name.erase(name.find_last_not_of(' ') + 1);
        // Built by appending: GCC 12 at -O3 warns falsely on a prepend to a temporary string.
        std::string column = "x_";
        const std::string suffix = '#' + std::to_string(number);
        column += name.empty() ? suffix : cp866_to_utf8(name);
        for (const auto& s : species_)
            if (s.second == column) column += suffix;
        species_.emplace_back(number, column);
    }
    r.fractions = std::move(x);
    rows_.push_back(std::move(r));
}

std::string ResultsTable::text() const
{
    std::ostringstream out;
    write(out);
    return std::move(out).str();
}

void ResultsTable::write(std::ostream& out) const
{
    const bool ions = std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.ions; });
    const std::size_t columns = ions ? kColumnCount : kColumnCount - kIonColumns;
    // The text is composed in a block that goes out whenever it passes kBlock and is then used
    // again: the memory of the whole table is never touched at once.
    constexpr std::size_t kBlock = 1 << 15;
    std::string t;
    // Room for a block and the row that passes it: a real takes at most about 24 characters.
    t.reserve(kBlock + (columns + species_.size() + 4) * 25 + kShortestRealRoom);
    t += "point,kind,section";
    for (std::size_t c = 0; c < columns; ++c) t += std::string(",") + kColumns[c].name;
    if (ions) t += ",neg_ions";
    t += ",converged";
    for (const auto& s : species_) {
        t += ',';
        append_field(t, s.second);
    }
    t += "\n";
    // The columns of the task's inputs (the ratio, the chamber pressure) keep their value over
    // the points of a chamber: their text is composed when the value changes and copied else.
    struct Repeated {
        bool composed = false;
        double value = 0;
        std::size_t size = 0;
        char text[kShortestRealRoom];
    };
    std::array<Repeated, kColumnCount> repeated;
    std::array<bool, kColumnCount> repeats{};
    for (std::size_t c = 0; c < kColumnCount; ++c)
        repeats[c] = kColumns[c].from == From::Ratio || kColumns[c].from == From::ChamberPressure;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        char number[24];
        t.append(number, std::to_chars(number, number + sizeof number, i + 1).ptr);
        t += ',';
        t += kind_name(r.kind);
        t += ',';
        append_field(t, r.section);
        // The numbers are written through one pointer into room made for all of them: a comma
        // and at most 24 characters each, the flags, and the last number's scratch room.
        const std::size_t start = t.size();
        t.resize(start + (columns + species_.size()) * 25 + 6 + kShortestRealRoom);
        char* p = t.data() + start;
        for (std::size_t c = 0; c < columns; ++c) {
            *p++ = ',';
            const double v = r.values[c];
            if (!std::isfinite(v)) continue;
            if (!repeats[c]) {
                p = put_shortest_real(p, v);
                continue;
            }
            // Equal values have one text (0 and -0 both "0.0").
            Repeated& k = repeated[c];
            if (!k.composed || k.value != v) {
                k.size = static_cast<std::size_t>(put_shortest_real(k.text, v) - k.text);
                k.value = v;
                k.composed = true;
            }
            // The whole room, of a length known here: the bytes past the text are written
            // over or cut off.
            std::memcpy(p, k.text, sizeof k.text);
            p += k.size;
        }
        if (ions) {
            std::memcpy(p, r.negative_ions ? ",1" : ",0", 2);
            p += 2;
        }
        std::memcpy(p, r.converged ? ",1" : ",0", 2);
        p += 2;
        // Mostly the point's species stand in the order of the columns: while they do, each is
        // at its column's place, and no species before it has its number (the columns' numbers
        // differ). From the first one that is not, they are looked up.
        bool in_order = true;
        for (std::size_t j = 0; j < species_.size(); ++j) {
            const int number = species_[j].first;
            in_order = in_order && j < r.fractions.size() && r.fractions[j].first == number;
            const auto at =
                in_order ? r.fractions.begin() + static_cast<std::ptrdiff_t>(j)
                         : std::find_if(r.fractions.begin(), r.fractions.end(),
                                        [&](const auto& f) { return f.first == number; });
            *p++ = ',';
            p = put_shortest_real(p, at == r.fractions.end() ? 0.0 : at->second);
        }
        *p++ = '\n';
        t.resize(static_cast<std::size_t>(p - t.data()));
        if (t.size() >= kBlock) {
            out.write(t.data(), static_cast<std::streamsize>(t.size()));
            t.clear();
        }
    }
    out.write(t.data(), static_cast<std::streamsize>(t.size()));
}

}  // namespace tev
