// The layout interpreter: Fortran-style edit descriptors for every fixed-column record.
//
// A layout such as "(1X,6(E15.8,2X))" is parsed once into a Layout and applied to values.
// Items: 'text', nX, Iw, Aw, Fw.d, Ew.d, Dw.d, Gw.d, repeat groups n(...), / and n/.
// When values remain after the last item, the line ends and the layout resumes at its last
// top-level group (with that group's repeat count), on output and on input alike.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tev {

//! One value written or read through a layout: a real (F, E, D, G), an integer (I) or a name (A).
struct Value {
    enum class Kind { Real, Int, Name };
    Kind kind = Kind::Real;
    double r = 0;         //!< the real, for Kind::Real
    std::int64_t i = 0;   //!< the integer, for Kind::Int
    std::string s;        //!< the bytes of a name, for Kind::Name

    static Value real(double x) { Value v; v.kind = Kind::Real; v.r = x; return v; }
    static Value integer(std::int64_t x) { Value v; v.kind = Kind::Int; v.i = x; return v; }
    static Value name(std::string x) { Value v; v.kind = Kind::Name; v.s = std::move(x); return v; }
};

struct LayoutItem;
struct LayoutAtom;

//! Growable storage of the text of records being written. Unlike a string it makes room
//! without filling it first; the room past size() holds no defined characters.
class TextBuffer {
public:
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::string_view view() const { return {data_.get(), size_}; }
    void clear() { size_ = 0; }
    //! Room for at least n characters after the text, where they are then stored.
    char* room(std::size_t n)
    {
        if (capacity_ - size_ < n) grow(n);
        return data_.get() + size_;
    }
    //! The text ends n characters after data() (at most the room made).
    void resize_within(std::size_t n) { size_ = n; }

private:
    void grow(std::size_t n);
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

//! A parsed layout. Constructing from malformed text is a programming error (std::logic_error).
class Layout {
public:
    explicit Layout(std::string_view text);
    ~Layout();
    Layout(const Layout&);
    Layout& operator=(const Layout&);

    const std::vector<LayoutItem>& items() const;
    std::size_t revert_index() const;  //!< index of the last top-level group (resume point)
    const std::string& text() const { return text_; }

private:
    friend void append_layout(std::string&, const Layout&, const Value*, std::size_t,
                              std::vector<std::size_t>*);
    friend void append_layout(TextBuffer&, const Layout&, const Value*, std::size_t,
                              std::vector<std::size_t>*);
    friend std::vector<std::string> write_layout(const Layout&, const std::vector<Value>&,
                                                 std::vector<std::size_t>*);
    friend class RecordReader;

    std::string text_;
    std::shared_ptr<const std::vector<LayoutItem>> items_;
    std::size_t revert_ = 0;
    //! The items with every group expanded, in the order they are applied.
    std::shared_ptr<const std::vector<LayoutAtom>> atoms_;
    std::size_t atom_revert_ = 0;  //!< index in atoms_ where a new line resumes
    //! The atoms that writing applies: those of atoms_ with neighbouring texts joined.
    std::shared_ptr<const std::vector<LayoutAtom>> out_atoms_;
    std::size_t out_revert_ = 0;        //!< index in out_atoms_ where a new line resumes
    bool takes_values_ = false;         //!< some atom takes a value
    bool resumes_with_value_ = false;   //!< some atom from the resume point on takes a value
    //! The width of each item when every item is a real field and a new line resumes at one
    //! of them; empty otherwise.
    std::vector<std::size_t> real_widths_;
};

//! Lines (without line ends) that writing `values` through `layout` produces.
//! Output ends at the first value item that finds no value left; the text and blanks before it
//! are written. Blanks of nX are written only when something follows them on the line or a "/"
//! ends the line; blanks left pending when a line ends otherwise are not written (so a row
//! "6(F12.5,':',6X)" ends with its last ':').
//! A number whose printed digits are all zero carries no minus sign.
//! With `overflowed`, the indices of the values whose field came out as asterisks (too large
//! for the field, or not finite) are appended to it.
std::vector<std::string> write_layout(const Layout& layout, const std::vector<Value>& values,
                                      std::vector<std::size_t>* overflowed = nullptr);

//! Appends to `text` the lines that write_layout makes of the `count` values at `values`, each
//! followed by a line end ('\n'); `overflowed` as for write_layout.
void append_layout(std::string& text, const Layout& layout, const Value* values, std::size_t count,
                   std::vector<std::size_t>* overflowed = nullptr);
//! As append_layout, onto a TextBuffer.
void append_layout(TextBuffer& text, const Layout& layout, const Value* values, std::size_t count,
                   std::vector<std::size_t>* overflowed = nullptr);

//! Writes one real in a single edit descriptor, e.g. format_real('F', 5, 3, 0.8) == "0.800".
//! Digits are the correctly rounded decimal form of the exact binary value. F, E and D always
//! write the "0." before the point (a negative value that then needs one column more than the
//! field is asterisks); an exponent beyond two digits drops its letter ("0.100+101"). G uses
//! the fixed form when 0.1 <= |x| < 10^d (zero takes the exponent form), with the
//! decimals of the value rounded to d digits (0.9995 in G9.3 is " 1.00    ").
std::string format_real(char descriptor, int w, int d, double x);
//! Writes one integer right-justified in w columns (asterisks when it does not fit).
std::string format_int(int w, std::int64_t x);
//! The shortest text that reads back (parse_real_field) as exactly x: fixed notation with at
//! least one decimal for 1e-3 <= |x| < 1e15 ("7.0", "-4470.5042", "0.5039888995837344"), the E
//! form of format_real otherwise ("0.1E-06"). Tasks and tables written for the program and its
//! tools carry their numbers in this form.
std::string shortest_real(double x);
//! Appends shortest_real(x) to `out`.
void append_shortest_real(std::string& out, double x);
//! The bytes put_shortest_real needs at its destination: its text has at most 24 characters,
//! and it may write and read back scratch bytes after them within this room.
constexpr std::size_t kShortestRealRoom = 48;
//! Writes shortest_real(x) from `first`, which has kShortestRealRoom bytes of room, and returns
//! the end of the text.
char* put_shortest_real(char* first, double x);

//! Reads fixed-column records from a text stream, line by line, through layouts.
//! Every read starts on a new line. A line shorter than its layout reads its missing
//! fields as blanks (zero). A field that is not a number, or the end of the stream before
//! all values are taken, throws InputError naming the file, the unit and "READ".
//! The reader takes the stream in large blocks, not line by line: it may have read past the
//! last line it gave.
class RecordReader {
public:
    RecordReader(std::istream& in, std::string file, int unit);

    //! Reads `count` values through `layout`; `take(k, value)` receives value k (0-based)
    //! as soon as it is read, so the values taken before a failure are kept by the caller.
    void read(const Layout& layout, std::size_t count,
              const std::function<void(std::size_t, const Value&)>& take);
    //! As read, but the end of the stream before all values are taken is no error: it ends
    //! the reading with false (at_end() true), the values read before it taken. A field that
    //! is not a number still throws.
    bool read_to_end(const Layout& layout, std::size_t count,
                     const std::function<void(std::size_t, const Value&)>& take);
    //! As read, with value k set in values[k] for the values.size() values: kind, number and
    //! name set afresh (the storage of a name kept from one read to the next).
    void read(const Layout& layout, std::span<Value> values);
    //! As read (to_end false) or read_to_end (to_end true) for a layout of numeric fields,
    //! value k stored in out[k] (an integer field as a real); taken() counts the values
    //! stored, also when the read throws. A name field is a programming error.
    bool read_reals(const Layout& layout, std::size_t count, double* out, bool to_end);
    //! Convenience: reads `count` reals.
    std::vector<double> read_reals(const Layout& layout, std::size_t count);
    //! Goes back to the beginning of the stream.
    void rewind();
    const std::string& file() const { return file_; }
    int unit() const { return unit_; }
    long line_number() const { return line_no_; }
    //! True when the last read failed because the stream ended (not because of a bad field).
    bool at_end() const { return at_end_; }
    //! Values the last read took.
    std::size_t taken() const { return taken_; }

private:
    void refill();
    bool next_line(std::string_view& line);
    bool next_line_refilling(std::string_view& line);
    bool next_record(std::string_view& line, std::size_t count, bool quiet_end);
    bool read_taking(const Layout& layout, std::size_t count,
                     const std::function<void(std::size_t, const Value&)>& take, bool quiet_end);
    template <typename Take>
    bool read_values(const Layout& layout, std::size_t count, bool quiet_end, Take&& take);
    [[noreturn]] void bad_field(std::string_view field, std::size_t first, std::size_t last,
                                bool integer) const;
    std::istream& in_;
    std::string file_;
    int unit_;
    long line_no_ = 0;
    bool at_end_ = false;
    std::size_t taken_ = 0;
    std::unique_ptr<char[]> text_;  //!< the stream's text from the next line on, and more
    std::size_t size_ = 0;          //!< bytes of text_ taken from the stream
    std::size_t capacity_ = 0;      //!< bytes text_ holds room for
    std::size_t next_ = 0;          //!< start of the next line in text_
    bool ended_ = false;            //!< the stream has given all it holds
    std::string failure_;     //!< why the stream stopped before its end ("" when it ended)
};

//! Parses one numeric input field as Fortran reads it: blanks around the digits ignored,
//! an all-blank field is 0, 'D' or 'd' exponents accepted. Returns false when not a number.
//! A field is read as written: one without a decimal point or exponent is a whole number
//! (no implied decimals), and a signed exponent may stand without its letter ("1.5-03").
bool parse_real_field(std::string_view field, double& out);

}  // namespace tev
