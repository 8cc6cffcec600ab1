// The results table tevalin.csv: one row per reported point, in the order of the report, with
// the values in full double precision and the mole fractions of the products.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace tev {

struct State;

//! What a reported point is.
enum class PointKind { Chamber, Throat, Section, Grid };

//! Rows 1 to 31 of a point as the report's page column holds them ([0] unused; 0 where the
//! point writes no value).
using PropertyRows = std::array<double, 32>;
//! Library numbers and mole fractions of the species of a point, in selection order.
using Composition = std::vector<std::pair<int, double>>;

//! The rows of the run, kept until the run ends and the table is written whole.
class ResultsTable {
public:
    //! Records the point that OUT reports now, with its property rows and composition.
    void record(const State& S, PointKind kind, const PropertyRows& rows, Composition x);
    //! Marks the last recorded point as not converged.
    void mark_last_unconverged()
    {
        if (!rows_.empty()) rows_.back().converged = false;
    }
    //! Number of points recorded.
    std::size_t size() const { return rows_.size(); }
    //! Writes the table as CSV text (UTF-8) to `out`: a header row of names with units, then
    //! the rows. The text goes out in blocks of some tens of kilobytes, never whole.
    void write(std::ostream& out) const;
    //! The same text as one string.
    std::string text() const;

    //! Value columns of a row, the conductivity ones included.
    static constexpr std::size_t kValueColumns = 26;

private:
    struct Row {
        PointKind kind = PointKind::Chamber;
        std::string section;         //!< how a section is given: "pc/pe 100", "ae/at 4 subsonic"
        std::array<double, kValueColumns> values;  //!< NaN where the point has none
        bool ions = false;           //!< ions considered: the conductivity columns apply
        bool negative_ions = false;  //!< computed with negative ions
        bool converged = true;
        Composition fractions;
    };
    //! The label of the current section ("" when none): composed once for each section of the
    //! task, which repeat for every ratio and chamber pressure, and kept while the section's
    //! value and form stay.
    const std::string& section_label(const State& S);
    struct SectionLabel {
        std::uint64_t value_bits = 0;  //!< the value's bits (-0 and 0 differ in text)
        int form = -1;                 //!< how the section is given; -1: not composed
        std::string text;
    };
    std::vector<SectionLabel> section_labels_;  //!< by section index

    // A deque: the rows stay where they are put, and a long run does not copy them all over
    // to a fresh block of memory each time the count doubles.
    std::deque<Row> rows_;
    std::vector<std::pair<int, std::string>> species_;  //!< columns: library number, name
};

}  // namespace tev
