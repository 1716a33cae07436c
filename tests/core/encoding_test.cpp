#include "settings/encoding.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::table;

CommandList defaultLines() {
    return {"ATW80015A", "ATW81010B", "ATW82010A", "ATW830100", "ATW840107",
            "ATW860182", "ATW900100", "ATK1",      "AT+CPAS"};
}

std::string failureText(const SettingsRecord& r) {
    try {
        encode(r);
    } catch (const Failure& f) {
        return f.text();
    }
    return "no failure";
}

TEST(Encoding, DefaultsGiveTheNineLines) {
    EXPECT_EQ(encode(SettingsRecord()), defaultLines());
}

TEST(Encoding, FlagsBytesFollowTheirBitTables) {
    SettingsRecord r;
    for (int c : {1, 2, 3, 4, 5, 6, 7, 8})
        r.choice(c) = 0;
    EXPECT_EQ(firstFlagsByte(r), 0xFF);
    for (int c : {11, 10, 12})
        r.choice(c) = 0;
    for (int c : {9, 13, 14})
        r.choice(c) = 1;
    EXPECT_EQ(secondFlagsByte(r), 0x3F);
    // No item selected gives 0 whichever item the bit stands for.
    for (int c = 1; c <= kChoiceCount; ++c)
        r.choice(c) = -1;
    EXPECT_EQ(firstFlagsByte(r), 0);
    EXPECT_EQ(secondFlagsByte(r), 0);
    // Each choice sets exactly its own bit.
    SettingsRecord one;
    for (int c = 1; c <= kChoiceCount; ++c)
        one.choice(c) = -1;
    one.choice(8) = 0;
    EXPECT_EQ(firstFlagsByte(one), 0x04);
    one.choice(13) = 1;
    EXPECT_EQ(secondFlagsByte(one), 0x10);
}

TEST(Encoding, NumericFieldsAndVolume) {
    SettingsRecord r;
    r.numberLength = "99";
    r.callDuration = "7";
    r.controlTime = "+5";
    r.volume = "5";
    CommandList lines = encode(r);
    EXPECT_EQ(lines[1], "ATW810163");
    EXPECT_EQ(lines[2], "ATW820107");
    EXPECT_EQ(lines[3], "ATW830105");
    EXPECT_EQ(lines[5], "ATW860105");  // always two digits, so the loader takes it back
}

TEST(Encoding, HexValueWidths) {
    EXPECT_EQ(hexValue(11), "0B");
    EXPECT_EQ(hexValue(255), "FF");
    EXPECT_EQ(hexValue(256), "100");
    EXPECT_EQ(hexValue(-1), "FFFFFFFF");
}

TEST(Encoding, SevenDigitPassword) {
    SettingsRecord r;
    r.password = "1234567";
    CommandList lines = encode(r);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[6], "ATW900107");
    for (int p = 1; p <= 7; ++p) {
        EXPECT_EQ(lines[6 + p], "ATW9" + std::to_string(p) + "010" + std::to_string(p));
    }
    EXPECT_EQ(lines[14], "ATK1");
}

TEST(Encoding, SharedIndexCounterAndTags) {
    SettingsRecord r;
    r.tables[kCallBackTable] = table({"", "89001112233"});
    r.tables[kAllowedTable] = table({"1234", "1234567890", ""});
    r.tables[kForbiddenTable] = table({"5678", "+79995554433"});
    r.tables[kSpeedDialTable] = table({"", "112", "+7123"});
    r.forwardNumber = "+78880001122";
    CommandList lines = encode(r);
    CommandList phoneBook(lines.begin() + 8, lines.end() - 1);
    EXPECT_EQ(phoneBook, (CommandList{
                             R"(AT+CPBW=1,"89001112233",129,"W89001112233")",
                             R"(AT+CPBW=2,"1234",129,"N1234")",
                             R"(AT+CPBW=3,"1234567890",129,"R1234567890")",
                             R"(AT+CPBW=4,"5678",129,"B5678")",
                             R"(AT+CPBW=5,"+79995554433",129,"S+79995554433")",
                             R"(AT+CPBW=100,"+78880001122",129,"+78880001122")",
                             R"(AT+CPBW=101,"112",129,"112")",
                             R"(AT+CPBW=102,"+7123",129,"+7123")",
                         }));
}

TEST(Encoding, SpeedDialStartsAt101AfterEmptyTables) {
    SettingsRecord r;
    r.tables[kSpeedDialTable] = table({"555"});
    // no forward number: no forward line
    CommandList lines = encode(r);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[8], R"(AT+CPBW=101,"555",129,"555")");
}

TEST(Encoding, ValidNumbers) {
    EXPECT_TRUE(Check_StrOnInt("0"));
    EXPECT_TRUE(Check_StrOnInt("+"));
    EXPECT_TRUE(Check_StrOnInt("12+34+"));
    EXPECT_FALSE(Check_StrOnInt(""));
    EXPECT_FALSE(Check_StrOnInt("12 34"));
    EXPECT_FALSE(Check_StrOnInt("-1"));
}

TEST(Encoding, StrToHexReadsPositionsEightAndNine) {
    EXPECT_EQ(StrToHex("ATW80015A"), 0x5A);
    EXPECT_EQ(StrToHex("ATW8001FF and more"), 0xFF);
    EXPECT_EQ(StrToHex("ATW80015a"), 0x50);  // lower case counts 0
    EXPECT_EQ(StrToHex("ATW8001G1"), 0x01);
    EXPECT_EQ(StrToHex("ATW8001"), 0);
}

// Non-numeric text is refused with the runtime's message before any line is produced, so that
// nobody acts on part of a command list.
TEST(Encoding, ConversionErrorProducesNoLine) {
    struct Record : EncodingSink {
        CommandList lines;
        void line(const Text& l) override { lines.push_back(l); }
    } sink;
    SettingsRecord r;
    r.callDuration = "";
    try {
        encode(r, sink);
        FAIL() << "no conversion error";
    } catch (const Failure& f) {
        // An empty field is named by the label the window shows it with.
        EXPECT_EQ(f.text(), cp("Поле «Длительность разговора (минуты)» не заполнено: допустимо "
                               "целое число от 0 до 99."));
        EXPECT_EQ(f.kind(), MessageKind::Error);
    }
    EXPECT_TRUE(sink.lines.empty());

    SettingsRecord p;
    p.password = "12x";
    EXPECT_THROW(encode(p, sink), Failure);
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(failureText(p), "'x' is not a valid integer value");
}

// Values that the loader could not take back are refused before any line is produced.
TEST(Encoding, RefusesWhatCouldNotBeReadBack) {
    struct Count : EncodingSink {
        int lines = 0;
        void line(const Text&) override { ++lines; }
    } sink;
    auto refused = [&](SettingsRecord r) {
        sink.lines = 0;
        try {
            encode(r, sink);
        } catch (const Failure& f) {
            EXPECT_EQ(sink.lines, 0) << f.text();
            return true;
        }
        return false;
    };
    SettingsRecord r;
    r.numberLength = "-1";
    EXPECT_TRUE(refused(r));
    EXPECT_NE(failureText(r).find(cp("Значность набираемых номеров")), std::string::npos);
    r = SettingsRecord();
    r.controlTime = "100";
    EXPECT_TRUE(refused(r));
    r = SettingsRecord();
    r.volume = "100";
    EXPECT_TRUE(refused(r));
    r.volume = "8a";
    EXPECT_TRUE(refused(r));
    r.volume = "";
    EXPECT_TRUE(refused(r));
    r = SettingsRecord();
    r.password = "12345678";
    EXPECT_TRUE(refused(r));

    // A number its table cannot hold is refused, not dropped: other characters, more than 15,
    // a direction shorter than 4 characters; the forward number likewise.
    for (const char* bad : {"12-34", "1234 5", "1234567890123456"}) {
        r = SettingsRecord();
        r.tables[kCallBackTable] = table({"111", bad});
        EXPECT_TRUE(refused(r)) << bad;
        EXPECT_NE(failureText(r).find(cp("Абоненты включенным Call Back")), std::string::npos);
    }
    r = SettingsRecord();
    r.tables[kForbiddenTable] = table({"123"});
    EXPECT_TRUE(refused(r));
    EXPECT_EQ(failureText(r),
              cp("Номер «123» в таблице «Запрещенные номера, направл.»: номер направления "
                 "должен содержать не менее 4 знаков."));
    r.tables[kForbiddenTable] = table({"1234"});
    r.tables[kSpeedDialTable] = table({"1"});  // short numbers are for directions only
    EXPECT_FALSE(refused(r));
    r.forwardNumber = "12-3";
    EXPECT_TRUE(refused(r));

    // 99 tagged indices fit, the 100th would take the forward number's entry.
    r = SettingsRecord();
    for (int i = 0; i < 99; ++i)
        r.tables[kAllowedTable].push_back({"1234", ""});
    EXPECT_FALSE(refused(r));
    r.tables[kCallBackTable].push_back({"1", ""});
    EXPECT_TRUE(refused(r));
    // 50 speed-dial numbers fit (101..150), the 51st does not.
    r = SettingsRecord();
    for (int i = 0; i < 50; ++i)
        r.tables[kSpeedDialTable].push_back({"7", ""});
    EXPECT_FALSE(refused(r));
    r.tables[kSpeedDialTable].push_back({"7", ""});
    EXPECT_TRUE(refused(r));
}

TEST(Encoding, SinkSeesEveryRowAndTheForwardStep) {
    struct Steps : EncodingSink {
        std::string log;
        void line(const Text& l) override { log += l.substr(0, 3) == "AT+" ? "p" : "r"; }
        void rowDone(TableId t) override { log += std::to_string(t); }
        void forwardDone() override { log += "f"; }
    } sink;
    SettingsRecord r;  // each table holds its one empty record
    r.tables[kAllowedTable] = table({"", "1234"});
    encode(r, sink);
    EXPECT_EQ(sink.log,
              "rrrrrrrr"
              "0"
              "1p1"
              "2"
              "f"
              "3"
              "p");
}

}  // namespace
}  // namespace orv
