// Report lines that name their overflowing fields.
#include "core/report_line.h"

#include "core/sink.h"

namespace tev {

namespace {

//! The note naming a value whose field overflowed, and its point.
const Layout& overflow_note()
{
    static const Layout l("(' *** FIELD OVERFLOW: ',A5,'=',E14.7,' (RATIO',I3,"
                          "', CHAMBER PRESSURE',I3,', SECTION',I3,')')");
    return l;
}

}  // namespace

void write_noting_overflow(State& S, const Layout& layout, const std::vector<Value>& values,
                           const std::vector<const char*>& names, int ia, int ipk, int ipa)
{
    std::vector<std::size_t> overflowed;
    S.io.out->write(layout, values, &overflowed);
    for (const std::size_t k : overflowed) {
        const double x = values[k].kind == Value::Kind::Int ? static_cast<double>(values[k].i)
                                                            : values[k].r;
        write_noting_overflow_note(S, k < names.size() ? names[k] : "?", x, ia, ipk, ipa);
    }
}

void write_noting_overflow_note(State& S, const char* name, double x, int ia, int ipk, int ipa)
{
    S.io.out->write(overflow_note(), {Value::name(name), Value::real(x), Value::integer(ia),
                                      Value::integer(ipk), Value::integer(ipa)});
    S.st.field_overflows += 1;
    if (S.task.BP == 1 && S.rep.CC != 0) S.rep.CC += 1;
}

}  // namespace tev
