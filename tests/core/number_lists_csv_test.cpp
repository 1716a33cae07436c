#include "records/number_lists_csv.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "sample_record.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::table;

std::string sample(const char* name) {
    return std::string(ORV_TEST_DATA_DIR) + "/" + name;
}

SettingsRecord baseRecord() {
    SettingsRecord r;
    r.tables[kCallBackTable] = table({"111"});
    r.tables[kForbiddenTable] = table({"84951234"});
    r.forwardNumber = "222";
    return r;
}

// The lists as the file holds them: the numbers of each table (empty rows are no numbers) and
// the forward number.
std::vector<PhoneTable> listsOf(const SettingsRecord& r) {
    std::vector<PhoneTable> lists;
    for (const PhoneTable& t : r.tables) {
        PhoneTable numbers;
        for (const PhoneRecord& p : t) {
            if (!p.number.empty()) {
                numbers.push_back(p);
            }
        }
        lists.push_back(numbers);
    }
    lists.push_back(table({r.forwardNumber.c_str()}));
    return lists;
}

NumberListsImport importText(const std::string& utf8, const SettingsRecord& base = baseRecord()) {
    return importNumberLists(parseCsv(utf8), base);
}

struct SampleCase {
    const char* file;
    std::array<PhoneTable, kTableCount> tables;
    Text forward;
    std::vector<int> refusedLines;
};

class NumberListsSample : public ::testing::TestWithParam<SampleCase> {};

TEST_P(NumberListsSample, ImportsToTheExpectedLists) {
    const SampleCase& c = GetParam();
    const NumberListsImport result = importNumberListsFile(sample(c.file), baseRecord());
    for (int t = 0; t < kTableCount; ++t) {
        EXPECT_EQ(result.record.tables[t], c.tables[t]) << c.file << " table " << t;
    }
    EXPECT_EQ(result.record.forwardNumber, c.forward);
    std::vector<int> lines;
    for (const CsvRefusal& r : result.refused) {
        lines.push_back(r.line);
    }
    EXPECT_EQ(lines, c.refusedLines);
}

INSTANTIATE_TEST_SUITE_P(
    SpreadsheetDialects, NumberListsSample,
    ::testing::Values(
        // ";", UTF-8 with a byte order mark, CR LF, the window's captions, speed dial by position.
        SampleCase{"numbers_semicolon_bom.csv",
                   {table({"+79001234567", "89007654321"}), table({"8495", "8812"}),
                    table({"84951234"}), table({"+79001112233", "112"})},
                   "89031234567",
                   {}},
        // ",", UTF-8, LF, short keys, a quoted line break, a gap closed; unnamed lists kept.
        SampleCase{"numbers_comma_utf8.csv",
                   {table({"111"}), SettingsRecord().tables[kAllowedTable], table({"8800", "8809"}),
                    table({"84951112233"})},
                   "222",
                   {}},
        // Tab, code page 1251, no header: a direction of two digits and letters are refused.
        SampleCase{"numbers_tab_cp1251.csv",
                   {table({"+79120001122"}), SettingsRecord().tables[kAllowedTable],
                    table({"84951234"}), table({"9005556677"})},
                   "222",
                   {2, 3}}));

TEST(NumberListsCsv, ExportWritesTheHeaderCaptionsBomAndCrLf) {
    SettingsRecord r;
    r.tables[kAllowedTable] = table({"", "8495"});
    r.forwardNumber = "89031234567";
    EXPECT_EQ(numberListsCsv(r),
              "\xEF\xBB\xBF"
              "Список;Позиция;Номер\r\n"
              "Разрешенные номера, направл.;1;8495\r\n"
              "Номер Абонента;1;89031234567\r\n");
}

TEST(NumberListsCsv, ExportThenImportIsTheIdentity) {
    SettingsRecord full = test::sampleRecord();
    full.tables[kSpeedDialTable].clear();
    for (int n = 0; n < 50; ++n) {
        full.tables[kSpeedDialTable].push_back({"+7900" + std::to_string(1000000 + n), ""});
    }
    const SettingsRecord empty;
    for (const SettingsRecord* each : {&empty, static_cast<const SettingsRecord*>(&full)}) {
        const SettingsRecord& r = *each;
        test::TempDir dir;
        exportNumberLists(dir.path("lists.csv"), r);
        const NumberListsImport back = importNumberListsFile(dir.path("lists.csv"), r);
        EXPECT_EQ(listsOf(back.record), listsOf(r));
        if (&r != &empty) {
            // Into another record too: every list of the full record is named, none is kept.
            EXPECT_EQ(listsOf(importNumberListsFile(dir.path("lists.csv"), baseRecord()).record),
                      listsOf(r));
        }
        EXPECT_TRUE(back.refused.empty());
        EXPECT_TRUE(back.moved.empty());
    }
}

struct RefusedCase {
    const char* csv;
    int line;
    const char* reasonPart;
};

class RefusedRow : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedRow, IsNamedByItsLineAndReason) {
    const RefusedCase& c = GetParam();
    const NumberListsImport result = importText(std::string("Список;Позиция;Номер\n") + c.csv);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].line, c.line);
    EXPECT_NE(result.refused[0].reason.find(cp(c.reasonPart)), Text::npos)
        << cp1251::toUtf8(result.refused[0].reason);
}

INSTANTIATE_TEST_SUITE_P(
    GridRules, RefusedRow,
    ::testing::Values(RefusedCase{"callback;1;555\ncallback;2;8900abc\n", 3, "только цифры"},
                      RefusedCase{"allowed;1;8495\nallowed;2;849\n", 3, "не менее 4"},
                      RefusedCase{"forbidden;1;8495\n\nforbidden;2;1234567890123456\n", 4,
                                  "не более 15"},
                      RefusedCase{"callback;1;555\nвходящие;1;556\n", 3, "неизвестный список"},
                      RefusedCase{"callback;x;555\ncallback;1;556\n", 2, "позиция"},
                      RefusedCase{"callback;1;555\ncallback;1;556\n", 3, "уже занято строкой 2"},
                      RefusedCase{"forward;1;555\nforward;1;556\n", 3, "уже занято"},
                      RefusedCase{"callback;1;555\ncallback;2;\n", 3, "нет номера"}));

TEST(NumberListsCsv, TheHundredthTaggedNumberIsRefused) {
    std::string csv = "Список;Позиция;Номер\r\n";
    for (int n = 1; n <= 100; ++n) {
        csv += "allowed;" + std::to_string(n) + ";" + std::to_string(84950000 + n) + "\r\n";
    }
    // The kept call-back and forbidden numbers take two of the 99 slots.
    const NumberListsImport result = importText(csv);
    ASSERT_EQ(result.refused.size(), 3u);
    EXPECT_EQ(result.refused[0].line, 99);
    EXPECT_EQ(result.record.tables[kAllowedTable].size(), 97u);
}

TEST(NumberListsCsv, TheFiftyFirstSpeedDialNumberIsRefused) {
    std::string csv;
    for (int n = 1; n <= 51; ++n) {
        csv += "speed_dial;" + std::to_string(n) + ";" + std::to_string(100 + n) + "\n";
    }
    const NumberListsImport result = importText(csv);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].line, 51);
}

TEST(NumberListsCsv, PositionsOrderTheListAndAGapClosesUp) {
    const NumberListsImport result =
        importText("speed_dial;5;105\nspeed_dial;1;101\nspeed_dial;2;102\n");
    EXPECT_EQ(result.record.tables[kSpeedDialTable], table({"101", "102", "105"}));
    ASSERT_EQ(result.moved.size(), 1u);
    EXPECT_NE(result.moved[0].find(cp("Строка 1: позиция 5")), Text::npos);
    EXPECT_NE(describeImport(result, baseRecord()).find(result.moved[0]), Text::npos);
}

TEST(NumberListsCsv, TwoColumnsAreListAndNumberInFileOrder) {
    const NumberListsImport result = importText("forward,+7 900 1\nallowed,8 495\nallowed,8 812\n");
    EXPECT_EQ(result.record.tables[kAllowedTable], table({"8495", "8812"}));
    EXPECT_EQ(result.record.forwardNumber, "+79001");
}

TEST(NumberListsCsv, AnEmptyForwardNumberClearsIt) {
    EXPECT_EQ(importText("forward;1;\n").record.forwardNumber, "");
}

TEST(NumberListsCsv, AFileWithoutATakenRowIsRefusedWithItsRows) {
    for (const char* csv : {"", "Список;Позиция;Номер\r\n", "callback;1;abc\n"}) {
        try {
            importText(csv);
            ADD_FAILURE() << csv;
        } catch (const Failure& f) {
            EXPECT_NE(f.text().find(cp("нет ни одной строки")), Text::npos);
            EXPECT_EQ(f.text().find(cp("Строка 1")) != Text::npos, csv[0] == 'c');
        }
    }
}

TEST(NumberListsCsv, ThePreviewNamesWhatIsReplacedAndTheRefusedRows) {
    const NumberListsImport result = importText("callback;1;555\ncallback;2;5x\n");
    const Text preview = describeImport(result, baseRecord());
    EXPECT_NE(preview.find(cp("«Абоненты включенным Call Back» — номеров сейчас: 1, из файла: 1")),
              Text::npos);
    EXPECT_NE(preview.find(cp("Строка 2: Номер «5x»")), Text::npos);
    EXPECT_EQ(preview.find(cp("Запрещенные")), Text::npos);
}

}  // namespace
}  // namespace orv
