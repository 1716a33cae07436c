#include "state_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "text_codec.h"

namespace orv::emulator {
namespace {

bool parse(const std::string& text, StoredState& state, std::string& error) {
    std::istringstream in(text);
    return parseState(in, state, error);
}

TEST(StateFile, DumpOfADeviceLoadsIntoAnEqualDevice) {
    DeviceModel a;
    StoredState changes;
    changes.registers = {{"8001", "FF"}, {"8601", "5"}, {"9001", ""}, {"9101", "a \"b\" #c\\"}};
    changes.slots = {{1, {"8900", 129, "W8900"}},
                     {100, {"+79001234567", 145, ""}},
                     {250, {"*#1", 0, "a #b\\c "}}};
    a.load(changes);

    StoredState read;
    std::string error;
    ASSERT_TRUE(parse(formatState(a.state()), read, error)) << error;
    DeviceModel b;
    b.load(read);
    EXPECT_EQ(b.state().registers, a.state().registers);
    EXPECT_EQ(b.state().slots, a.state().slots);
    EXPECT_EQ(*b.registerValue("9101"), "a \"b\" #c\\");
    EXPECT_EQ(b.slot(250)->text, "a #b\\c ");
}

TEST(StateFile, CommentsBlankLinesAndLaterEntriesWin) {
    StoredState s;
    std::string error;
    ASSERT_TRUE(
        parse("# start\n\n   \nregister 8001 11  # trailing comment\r\n"
              "\tregister 8001 \"22\"\nslot 7 \"1234\" 129 \"N1234\"\n",
              s, error))
        << error;
    EXPECT_EQ(s.registers.at("8001"), "22");
    EXPECT_EQ(s.slots.at(7), (PhoneEntry{"1234", 129, "N1234"}));
}

TEST(StateFile, BadLinesAreNamedWithTheirNumberAndFault) {
    const std::pair<const char*, const char*> cases[] = {
        {"bogus 1 2", "line 2: unknown entry 'bogus'"},
        {"register 8501 00", "line 2: unknown register code '8501'"},
        {"register 8001", "line 2: 'register' needs a code and a value"},
        {"slot 0 \"1\" 129 \"x\"", "line 2: slot index '0' is not a number from 1 to 250"},
        {"slot 251 \"1\" 129 \"x\"", "line 2: slot index '251'"},
        {"slot 5 \"12a\" 129 \"x\"", "line 2: slot number '12a'"},
        {"slot 5 \"1\" 300 \"x\"", "line 2: number type '300'"},
        {"slot 5 \"1\" 129", "line 2: 'slot' needs an index"},
        {"slot 5 \"1\" 129 \"x", "line 2: unterminated quoted text"},
        {"slot 5 \"1\" 129 \"\\q\"", "line 2: bad escape"},
    };
    for (const auto& [line, message] : cases) {
        StoredState s;
        std::string error;
        EXPECT_FALSE(
            parse(std::string("register 8101 0B\n") + line + "\nregister 8201 0A\n", s, error))
            << line;
        EXPECT_EQ(error.rfind(message, 0), 0u) << error;
        EXPECT_EQ(s.registers.count("8101"), 1u);  // what came before the bad line stays
        EXPECT_EQ(s.registers.count("8201"), 0u);
    }
}

TEST(TextCodec, Ucs2HexToUtf8) {
    EXPECT_EQ(*ucs2HexToUtf8("04010451"), "Ёё");
    EXPECT_EQ(*ucs2HexToUtf8("002B0033003100310031003100310031"), "+3111111");
    EXPECT_EQ(*ucs2HexToUtf8("0410044f"), "Ая");
    EXPECT_EQ(*ucs2HexToUtf8(""), "");
    EXPECT_EQ(*ucs2HexToUtf8("D83DDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(*ucs2HexToUtf8("D83D0041"),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_FALSE(ucs2HexToUtf8("041"));
    EXPECT_FALSE(ucs2HexToUtf8("04G1"));
}

TEST(TextCodec, EscapesRoundTripAndMalformedOnesAreRefused) {
    const std::string bytes = std::string("a\\b\"c\t\r\n\x1A\x7F", 10) + std::string(1, '\0') + "Ё";
    EXPECT_EQ(escapeText(bytes), "a\\\\b\\\"c\\t\\r\\n\\x1A\\x7F\\x00Ё");
    EXPECT_EQ(*unescapeText(escapeText(bytes)), bytes);
    EXPECT_EQ(escapeText("\"", false), "\"");
    EXPECT_FALSE(unescapeText("\\"));
    EXPECT_FALSE(unescapeText("\\x4"));
    EXPECT_FALSE(unescapeText("\\xZZ"));
}

}  // namespace
}  // namespace orv::emulator
