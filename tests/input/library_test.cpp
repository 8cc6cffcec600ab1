// Reference library loading on small hand-made files written by the fixture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "core/errors.h"
#include "core/layout.h"
#include "input/input.h"

namespace tev {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Value k (1-based) of the cross-section file: distinct, exact in D11.5.
double qj_value(int k) { return 0.5 + k * 0.0001; }

class LibraryLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(TEV_BINARY_DIR) / "io_library_test" / info->name();
        fs::remove_all(dir);
        fs::create_directories(dir);

        std::string tab;
        for (int k = 1; k <= 25; ++k) {
            char line[16];
            std::snprintf(line, sizeof line, "%2d R%03d", k, k);
            tab += line;
            tab += "\n";
        }
        tab.replace(6 * 8, 8, "99 \x92\x80\x81 \n");  // 7th record: other number, cp866 label
        tab += "xx not a record\n";
        files["tab.id"] = tab;

        std::string kom;
        for (int k = 1; k <= 999; ++k) {
            char line[24];
            std::snprintf(line, sizeof line, "%3d   SP%06d", k, k);
            kom += line;
            kom += "\n";
        }
        files["kom.id"] = kom;

        files["val.id"] = "element table\n&WAL MU=1.008, 2*4.0, MU(8)=15.999,\n V=1, V(8)=-2 /\n";

        std::string fq;
        for (int k = 1; k <= 48; ++k) {
            char field[16];
            std::snprintf(field, sizeof field, "%9.3f", 100.0 + k);
            fq += field;
            if (k % 8 == 0) fq += "\n";
        }
        files["fq.id"] = fq;  // six lines: the sixth is not read
        files["bq.id"] = fq.substr(0, fq.size() / 6 * 5);

        std::vector<Value> q;
        for (int k = 1; k <= 36 * 33; ++k) q.push_back(Value::real(qj_value(k)));
        std::string qj;
        for (const auto& l : write_layout(Layout("(7(D11.5))"), q)) qj += l + "\n";
        files["qj.id"] = qj;
    }

    void load()
    {
        for (const auto& [name, text] : files) std::ofstream(dir / name, std::ios::binary) << text;
        load_library(*S, dir.string());
    }

    // The InputError that loading throws.
    InputError fault()
    {
        try {
            load();
        } catch (const InputError& e) {
            return e;
        }
        ADD_FAILURE() << "no InputError";
        return InputError("", 0, "", "");
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
    std::map<std::string, std::string> files;
    std::unique_ptr<State> S = std::make_unique<State>();
};

TEST_F(LibraryLoad, RowLabelsComeFromTheirColumnsWhateverTheRecordNumber)
{
    load();
    EXPECT_EQ(S->lib.RDAT(1).s, "R001");
    EXPECT_EQ(S->lib.RDAT(7).s, "\x92\x80\x81 ");
    EXPECT_EQ(S->lib.RDAT(25).s, "R025");
}

TEST_F(LibraryLoad, SpeciesNamesAreKeptByteForByteAndPaddedToEight)
{
    files["kom.id"].replace(4 * 15, 14, "  5   H2");  // line of 14 columns: 8 shorter
    files["kom.id"].replace(4 * 15 + 9, 14, "777   O\x8F  ");  // other number, cp866
    load();
    EXPECT_EQ(S->lib.KOM(1).s, "SP000001");
    EXPECT_EQ(S->lib.KOM(5).s, "H2      ");
    EXPECT_EQ(S->lib.KOM(6).s, "O\x8F      ");
    EXPECT_EQ(S->lib.KOM(999).s, "SP000999");
    EXPECT_EQ(S->lib.KOM(1000).s, std::string(8, ' '));
}

TEST_F(LibraryLoad, ElementTableIsReadFromItsGroupAndUnassignedElementsStayZero)
{
    load();
    EXPECT_EQ(S->lib.MU(1), 1.008);
    EXPECT_EQ(S->lib.MU(3), 4.0);
    EXPECT_EQ(S->lib.MU(4), 0.0);
    EXPECT_EQ(S->lib.MU(8), 15.999);
    EXPECT_EQ(S->lib.V(1), 1.0);
    EXPECT_EQ(S->lib.V(8), -2.0);
}

TEST_F(LibraryLoad, ListsTakeFortyValuesAndIgnoreASixthLine)
{
    load();
    EXPECT_EQ(S->lib.FQ(1), 101.0);
    EXPECT_EQ(S->lib.FQ(40), 140.0);
    EXPECT_EQ(S->lib.FQ(41), 0.0);
    EXPECT_EQ(S->lib.BQ(40), 140.0);
    EXPECT_EQ(S->lib.BQ(50), 0.0);
}

TEST_F(LibraryLoad, CrossSectionsRunBySpeciesWithinEachNode)
{
    load();
    EXPECT_EQ(S->lib.QJ(1, 1), qj_value(1));
    EXPECT_EQ(S->lib.QJ(1, 2), qj_value(2));
    EXPECT_EQ(S->lib.QJ(2, 1), qj_value(34));
    EXPECT_EQ(S->lib.QJ(36, 33), qj_value(1188));
}

TEST_F(LibraryLoad, CrossSectionFileBrokenAfterEachRowIsReadSevenValuesPerLine)
{
    std::vector<Value> row;
    std::string qj;
    for (int i = 0; i < 36; ++i) {
        row.clear();
        for (int j = 1; j <= 33; ++j) row.push_back(Value::real(qj_value(33 * i + j)));
        for (const auto& l : write_layout(Layout("(7(D11.5))"), row)) qj += l + "\n";
    }
    files["qj.id"] = qj;
    load();
    EXPECT_EQ(S->lib.QJ(1, 33), qj_value(33));
    EXPECT_EQ(S->lib.QJ(2, 1), 0.0);  // the short fifth line of row 1 reads as zeros
    EXPECT_EQ(S->lib.QJ(2, 3), qj_value(34));
}

TEST_F(LibraryLoad, MissingFileIsAnOpenError)
{
    files.erase("bq.id");
    const InputError e = fault();
    EXPECT_EQ(e.file, path("bq.id"));
    EXPECT_EQ(e.unit, 11);
    EXPECT_EQ(e.statement, "OPEN");
}

TEST_F(LibraryLoad, ShortFileIsAReadError)
{
    files["kom.id"].resize(998 * 15);
    const InputError e = fault();
    EXPECT_EQ(e.file, path("kom.id"));
    EXPECT_EQ(e.unit, 16);
    EXPECT_EQ(e.statement, "READ");
    EXPECT_THAT(e.detail, HasSubstr("end of file"));
}

TEST_F(LibraryLoad, FieldThatIsNotANumberIsAReadError)
{
    files["fq.id"].replace(9, 9, "  1O2.000");
    const InputError e = fault();
    EXPECT_EQ(e.unit, 10);
    EXPECT_THAT(e.what(), HasSubstr("fq.id"));
    EXPECT_THAT(e.detail, HasSubstr("\"  1O2.000\""));
}

TEST_F(LibraryLoad, RecordNumberThatIsNotANumberIsAReadError)
{
    files["tab.id"].replace(0, 2, "x1");
    EXPECT_EQ(fault().unit, 15);
}

TEST_F(LibraryLoad, UnknownElementTableNameIsAReadError)
{
    files["val.id"] = "&WAL MU=1.0, W=2 /";
    const InputError e = fault();
    EXPECT_EQ(e.unit, 1);
    EXPECT_THAT(e.detail, HasSubstr("\"W\""));
}

}  // namespace
}  // namespace tev
