#include "records/recipients_csv.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace orv {
namespace {

using test::cp;

struct RecipientCase {
    const char* csv;  // UTF-8
    std::vector<std::string> numbers;
    std::vector<std::string> names;
};

class RecipientsCsv : public ::testing::TestWithParam<RecipientCase> {};

TEST_P(RecipientsCsv, GivesTheNumbersAndNames) {
    const RecipientList list = recipientsFromCsv(parseCsv(GetParam().csv));
    std::vector<std::string> numbers;
    std::vector<std::string> names;
    for (const Text& line : list) {
        numbers.push_back(recipientNumber(line));
        names.push_back(cp1251::toUtf8(recipientName(line)));
    }
    EXPECT_EQ(numbers, GetParam().numbers);
    EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, RecipientsCsv,
    ::testing::Values(
        // The column headed "Номер", wherever it stands.
        RecipientCase{"Имя;Номер\r\nИванов;+7 900 123-45-67\r\n2-й офис;8 (900) 7654321\r\n",
                      {"+79001234567", "89007654321"},
                      {"Иванов", "2-й офис"}},
        // No such header: the first column whose cells hold numbers; the header row is left out.
        RecipientCase{"Name,Phone,City\nAnna,89001112233,Omsk\nBob,,Tver\n",
                      {"89001112233", ""},
                      {"Anna Omsk", "Bob Tver"}},
        // No header at all.
        RecipientCase{"89001112233\tИван\n+7900 2223344\t\n",
                      {"89001112233", "+79002223344"},
                      {"Иван", ""}}));

TEST(RecipientsCsvFile, IsKnownByItsNameAndReadFromDisk) {
    EXPECT_TRUE(isCsvRecipientFile("/a/b/list.CSV"));
    EXPECT_FALSE(isCsvRecipientFile("/a/b/list.txt"));
    EXPECT_FALSE(isCsvRecipientFile("csv"));
    const RecipientList list =
        readRecipientsCsv(std::string(ORV_TEST_DATA_DIR) + "/recipients_named.csv");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(recipientNumber(list[0]), "+79001234567");
    EXPECT_EQ(recipientName(list[0]), cp("Иванов Иван продажи"));
    EXPECT_EQ(recipientName(list[1]), cp("Петрова"));
}

}  // namespace
}  // namespace orv
