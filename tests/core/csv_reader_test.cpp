#include "records/csv_reader.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "hostile_file.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

struct ParseCase {
    std::string bytes;
    char separator;
    bool utf8;
    std::vector<std::vector<std::string>> rows;  // UTF-8
    std::vector<int> lines;
};

class CsvParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CsvParse, GivesTheCellsInCodePageWithTheirLines) {
    const ParseCase& c = GetParam();
    const CsvTable table = parseCsv(c.bytes);
    EXPECT_EQ(table.separator, c.separator);
    EXPECT_EQ(table.utf8, c.utf8);
    ASSERT_EQ(table.rows.size(), c.rows.size());
    for (std::size_t r = 0; r < c.rows.size(); ++r) {
        std::vector<Text> expected;
        for (const std::string& cell : c.rows[r]) {
            expected.push_back(cp(cell));
        }
        EXPECT_EQ(table.rows[r].cells, expected) << "row " << r;
        EXPECT_EQ(table.rows[r].line, c.lines[r]) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialects, CsvParse,
    ::testing::Values(
        ParseCase{"\xEF\xBB\xBF"
                  "а;б\r\nв;г\r\n",
                  ';',
                  true,
                  {{"а", "б"}, {"в", "г"}},
                  {1, 2}},
        ParseCase{"a,\"b, \"\"c\"\"\"\n\"d\ne\",f",
                  ',',
                  true,
                  {{"a", "b, \"c\""}, {"d\ne", "f"}},
                  {1, 2}},
        ParseCase{"\xC0\xE1\t 1 \r\r\x81\t2\n", '\t', false, {{"Аб", "1"}, {"Ѓ", "2"}}, {1, 3}},
        ParseCase{"one\n", ';', true, {{"one"}}, {1}}));

TEST(CsvReader, BinaryIsNoText) {
    for (const std::string& bytes : {std::string("a;b\0c", 5), std::string("a\x01;b")}) {
        EXPECT_THROW(parseCsv(bytes), Failure);
    }
}

TEST(CsvReader, ReadsOnlyRegularFilesWithinFourMegabytes) {
    test::TempDir dir;
    for (test::Hostile h : test::kAllHostile) {
        const std::string path = dir.path(std::string("hostile") + std::to_string(int(h)));
        test::makeHostile(h, path, kCsvFileBound.bytes, "callback;1;555\r\n");
        EXPECT_THROW(readCsvFile(path), FileRefused) << test::name(h);
    }
    test::writeFile(dir.path("ok.csv"), "a;b\r\n");
    EXPECT_EQ(readCsvFile(dir.path("ok.csv")).rows.size(), 1u);
}

TEST(CsvReader, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(csvField("Разрешенные номера, направл.", ';'), "Разрешенные номера, направл.");
    EXPECT_EQ(csvField("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(csvField("say \"x\"", ';'), "\"say \"\"x\"\"\"");
    EXPECT_EQ(parseCsv(csvField("a\r\n\"b\"", ';')).rows.at(0).cells.at(0), "a\r\n\"b\"");
}

}  // namespace
}  // namespace orv
