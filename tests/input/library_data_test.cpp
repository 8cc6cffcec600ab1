// The shipped reference library obeys the rules the selection, the species functions and the
// initial composition rely on: record counts and layout, element order, parents before ions,
// increasing library numbers, condensed records reaching the read limit, names and tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/library_format.h"

namespace {

const std::string kLib = std::string(TEV_SOURCE_DIR) + "/lib/";

using tev::libfmt::kElectron;
constexpr int kGasRecords = tev::libfmt::kGasRecords;

std::vector<std::string> lines_of(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

std::string bytes_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A library file as a stream of 16-column fields; every field must hold a point or exponent.
std::vector<double> stream_of(const std::string& path, std::string& fault)
{
    std::vector<double> v;
    int n = 0;
    for (const std::string& line : lines_of(path)) {
        ++n;
        if (line.size() % 16 != 0 || line.size() > 160) {
            fault = "line " + std::to_string(n) + " is not whole 16-column fields";
            return v;
        }
        for (std::size_t p = 0; p < line.size(); p += 16) {
            const std::string f = line.substr(p, 16);
            if (f.find_first_of(".E") == std::string::npos) {
                fault = "field without point or exponent on line " + std::to_string(n);
                return v;
            }
            v.push_back(std::stod(f));
        }
    }
    return v;
}

struct Slot {
    int element, count;
};

std::vector<Slot> decode(double code, double xf2)
{
    const auto c = static_cast<std::int64_t>(code + 0.5);
    const auto d = tev::libfmt::atom_counts(xf2);
    std::vector<Slot> s;
    for (int k = 1; k <= tev::libfmt::kSlots; ++k) {
        const int e = tev::libfmt::slot_element(c, k);
        if (e == 0) break;
        s.push_back({e, tev::libfmt::slot_count(d, k)});
    }
    return s;
}

using tev::libfmt::library_number;

struct GasRecord {
    double code, xf2;
    double a[9];
    double packed;
};

class ShippedLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        std::string fault;
        const auto v = stream_of(kLib + "r3.id", fault);
        ASSERT_TRUE(fault.empty()) << "r3.id: " << fault;
        ASSERT_EQ(v.size(), 12u * kGasRecords);
        for (int r = 0; r < kGasRecords; ++r) {
            GasRecord g;
            g.code = v[12 * r];
            g.xf2 = v[12 * r + 1];
            for (int j = 0; j < 9; ++j) g.a[j] = v[12 * r + 2 + j];
            g.packed = v[12 * r + 11];
            gases.push_back(g);
        }
        condensed = stream_of(kLib + "r4.id", fault);
        ASSERT_TRUE(fault.empty()) << "r4.id: " << fault;
    }
    static bool is_ion(const GasRecord& g) { return std::fabs(std::lround(g.a[0] * 1e-10)) >= 2; }
    static bool is_atom(const GasRecord& g)
    {
        const auto s = decode(g.code, g.xf2);
        return s.size() == 1 && s[0].count == 1;
    }
    // Start positions (1-based) of the condensed records the program takes.
    std::vector<long> condensed_starts() const
    {
        std::vector<long> starts;
        long i = 1;
        while (i < 3070 && i + 2 <= static_cast<long>(condensed.size())) {
            starts.push_back(i);
            i += static_cast<long>(condensed[i + 1] + 0.5) + 3;
        }
        return starts;
    }
    std::vector<GasRecord> gases;
    std::vector<double> condensed;
};

TEST_F(ShippedLibrary, GasLibraryNumbersRunFromOneInFileOrder)
{
    for (int r = 0; r < kGasRecords; ++r) EXPECT_EQ(library_number(gases[r].xf2), r + 1);
}

TEST_F(ShippedLibrary, FormulasHaveAtMostFourIncreasingElementsWithCountsOneToNine)
{
    for (const auto& g : gases) {
        const auto s = decode(g.code, g.xf2);
        ASSERT_FALSE(s.empty()) << library_number(g.xf2);
        EXPECT_LT(g.code, 1e8);
        long digits = static_cast<long>(g.xf2);
        for (std::size_t k = 0; k < s.size(); ++k) {
            EXPECT_GE(s[k].count, 1) << library_number(g.xf2);
            if (k > 0) {
                EXPECT_GT(s[k].element, s[k - 1].element) << library_number(g.xf2);
            }
            EXPECT_TRUE(s[k].element <= 97 || s[k].element == kElectron);
        }
        for (std::size_t k = 0; k < s.size(); ++k) digits /= 10;
        EXPECT_EQ(digits, 0) << "count digits beyond the formula of " << library_number(g.xf2);
    }
}

TEST_F(ShippedLibrary, SingleElementGasesComeFirstInElementOrderWithTheElectronLast)
{
    std::size_t m = 0;
    while (m < gases.size() && is_atom(gases[m])) ++m;
    ASSERT_GE(m, 24u);
    for (std::size_t k = 1; k < m; ++k)
        EXPECT_GT(gases[k].code, gases[k - 1].code) << "atom block position " << k + 1;
    EXPECT_EQ(gases[m - 1].code, kElectron);
    EXPECT_EQ(decode(gases[m - 1].code, gases[m - 1].xf2)[0].count, 1);
    std::set<int> atoms;
    for (std::size_t k = 0; k < m; ++k) atoms.insert(static_cast<int>(gases[k].code));
    for (std::size_t k = m; k < gases.size(); ++k) {
        EXPECT_FALSE(is_atom(gases[k]) && atoms.count(static_cast<int>(gases[k].code)))
            << "a second single-atom gas of one element at " << k + 1;
        for (const auto& s : decode(gases[k].code, gases[k].xf2))
            EXPECT_TRUE(atoms.count(s.element)) << "element " << s.element << " of gas " << k + 1;
    }
    for (long i : condensed_starts())
        for (const auto& s : decode(std::fabs(condensed[i - 1]), condensed[i]))
            EXPECT_TRUE(atoms.count(s.element)) << "element " << s.element << " of condensed";
}

TEST_F(ShippedLibrary, PriorityElementsOfPropellantsAreAllPresent)
{
    std::set<int> atoms;
    for (const auto& g : gases)
        if (is_atom(g)) atoms.insert(static_cast<int>(g.code));
    for (int z : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 22, 35, 40, 53, 55})
        EXPECT_TRUE(atoms.count(z)) << "element " << z;
}

TEST_F(ShippedLibrary, IonsFollowTheirParentsAndCarryOneElectron)
{
    int ions = 0;
    for (int r = 0; r < kGasRecords; ++r) {
        const auto& g = gases[r];
        const auto s = decode(g.code, g.xf2);
        bool charged = false;
        int digit = 0;
        for (const auto& x : s)
            if (x.element == kElectron) {
                charged = true;
                digit = x.count;
            }
        if (!is_ion(g)) {
            // a polynomial record must not read as an ion reference
            EXPECT_LT(std::fabs(g.a[0]), 1.5e10) << r + 1;
            continue;
        }
        ++ions;
        ASSERT_TRUE(charged && s.size() >= 2) << "ion record without electron at " << r + 1;
        const long parent = std::lround(std::fabs(g.a[0]) * 1e-10);
        EXPECT_GE(parent, 2) << r + 1;
        ASSERT_LT(parent, r + 1) << "parent after its ion at " << r + 1;
        EXPECT_EQ(g.a[0] > 0, digit == 2) << "sign of the parent reference at " << r + 1;
        const auto& p = gases[parent - 1];
        EXPECT_FALSE(is_ion(p));
        auto ps = decode(p.code, p.xf2);
        auto is = s;
        std::erase_if(is, [](const Slot& x) { return x.element == kElectron; });
        ASSERT_EQ(ps.size(), is.size()) << r + 1;
        for (std::size_t k = 0; k < ps.size(); ++k) {
            EXPECT_EQ(ps[k].element, is[k].element) << r + 1;
            EXPECT_EQ(ps[k].count, is[k].count) << r + 1;
        }
        if (g.a[0] > 0) {
            for (int j = 1; j <= 4; ++j) EXPECT_GT(g.a[j], 0) << "factor Q of " << r + 1;
            EXPECT_GT(g.a[5], 0) << "ionisation energy of " << r + 1;
        }
    }
    EXPECT_GT(ions, 100);
}

TEST_F(ShippedLibrary, EveryGasButTheElectronHasPlausibleCollisionValues)
{
    for (int r = 0; r < kGasRecords; ++r) {
        const auto& g = gases[r];
        if (g.code == kElectron) {
            EXPECT_EQ(g.packed, 0.0);
            continue;
        }
        const double n = std::trunc(g.packed * 1e-05);
        const double sigma = n * 0.001, eps = (g.packed - n * 100000) * 0.1;
        EXPECT_GT(sigma, 1.5) << r + 1;
        EXPECT_LT(sigma, 12.0) << r + 1;
        EXPECT_GT(eps, 5.0) << r + 1;
        EXPECT_LT(eps, 10000.0) << r + 1;
    }
}

TEST_F(ShippedLibrary, CondensedRecordsReachTheReadLimitWithWholeIntervals)
{
    const auto starts = condensed_starts();
    ASSERT_FALSE(starts.empty());
    const long last = starts.back();
    const long next = last + static_cast<long>(condensed[last + 1] + 0.5) + 3;
    EXPECT_LT(last, 3070);
    EXPECT_GE(next, 3070) << "positions up to 3070 must be covered by records";
    EXPECT_LE(next - 1, 3600) << "the last record must end within the values read";
    EXPECT_EQ(static_cast<long>(condensed.size()), next - 1) << "values after the last record";
    long lib = kGasRecords;
    for (long i : starts) {
        const long b = static_cast<long>(condensed[i + 1] + 0.5);
        const long x = static_cast<long>(condensed[i + 2] + 0.5);
        EXPECT_EQ(b, 1 + 6 * x) << "record at " << i;
        EXPECT_GE(x, 1);
        EXPECT_GT(library_number(condensed[i]), lib) << "record at " << i;
        lib = library_number(condensed[i]);
        double prev = 0;
        for (long k = 0; k < x; ++k) {
            const double t = condensed[i + 2 + 1 + 6 * k];
            EXPECT_GT(t, prev) << "interval limits must increase in record at " << i;
            prev = t;
        }
    }
    EXPECT_LE(lib, 999);
}

TEST_F(ShippedLibrary, NamesFileHasNineHundredNinetyNineUniqueNamesForUsedNumbers)
{
    const auto k = lines_of(kLib + "kom.id");
    ASSERT_GE(k.size(), 999u);
    std::set<long> used;
    for (const auto& g : gases) used.insert(library_number(g.xf2));
    for (long i : condensed_starts()) used.insert(library_number(condensed[i]));
    std::set<std::string> names;
    for (int i = 1; i <= 999; ++i) {
        const std::string& line = k[i - 1];
        ASSERT_EQ(line.size(), 14u) << "record " << i;
        EXPECT_EQ(std::stoi(line.substr(0, 3)), i);
        EXPECT_EQ(line.substr(3, 3), "   ");
        const std::string name = line.substr(6, 8);
        const bool blank = name.find_first_not_of(' ') == std::string::npos;
        EXPECT_EQ(!blank, used.count(i) == 1) << "record " << i << " '" << name << "'";
        if (!blank) {
            EXPECT_NE(name[0], ' ') << "record " << i;
            EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        }
    }
}

TEST_F(ShippedLibrary, IndexAgreesWithTheLibraryAndTheNames)
{
    const auto idx = lines_of(kLib + "library_index.tsv");
    const auto kom = lines_of(kLib + "kom.id");
    ASSERT_EQ(idx.front(), "libnum\tnasa_name\tname8\tphase\tformula_code");
    std::map<long, double> codes;
    for (const auto& g : gases) codes[library_number(g.xf2)] = g.code;
    for (long i : condensed_starts()) codes[library_number(condensed[i])] = condensed[i - 1];
    ASSERT_EQ(idx.size() - 1, codes.size());
    for (std::size_t n = 1; n < idx.size(); ++n) {
        std::istringstream ss(idx[n]);
        std::string num, nasa, name, phase, code;
        std::getline(ss, num, '\t');
        std::getline(ss, nasa, '\t');
        std::getline(ss, name, '\t');
        std::getline(ss, phase, '\t');
        std::getline(ss, code, '\t');
        const long lib = std::stol(num);
        EXPECT_EQ(phase, lib <= kGasRecords ? "G" : "C");
        EXPECT_EQ(std::stod(code), std::fabs(codes[lib])) << lib;
        std::string padded = name;
        padded.resize(8, ' ');
        EXPECT_EQ(kom[lib - 1].substr(6, 8), padded) << lib;
    }
}

TEST_F(ShippedLibrary, RowLabelsAndElementTableHaveTheirRecords)
{
    const auto tab = lines_of(kLib + "tab.id");
    ASSERT_GE(tab.size(), 25u);
    for (int i = 1; i <= 25; ++i) {
        ASSERT_EQ(tab[i - 1].size(), 7u) << "row label " << i;
        EXPECT_EQ(std::stoi(tab[i - 1].substr(0, 2)), i);
        EXPECT_NE(tab[i - 1].substr(3, 4), "    ") << "row label " << i;
    }
    const std::string val = bytes_of(kLib + "val.id");
    const auto amp = val.find("&WAL");
    ASSERT_NE(amp, std::string::npos);
    EXPECT_NE(val.rfind("!", amp), std::string::npos) << "the valence convention is documented";
    EXPECT_NE(val.find("MU(1)=1.00794,", amp), std::string::npos);
    EXPECT_NE(val.find("V(1)=1.0, 0.0, 1.0, 2.0, 3.0, 4.0, 0.0, -2.0, -1.0,", amp),
              std::string::npos);
}

}  // namespace
