// Code page 1251 and UTF-8: the program's own table, the same on every system.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "settings/text.h"

namespace orv {
namespace {

TEST(CodePage, EveryDefinedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) {
            continue;
        }
        const Text byte(1, static_cast<char>(b));
        EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(byte)), byte) << "byte " << b;
    }
    EXPECT_EQ(cp1251::toUtf8("\x88\xB9\xA8\xFF\x80\xA0"), "€№ЁяЂ\xC2\xA0");
    EXPECT_EQ(cp1251::fromUtf8("а№"), "\xE0\xB9");
    // The one byte the code page leaves undefined.
    EXPECT_EQ(cp1251::toUtf8("a\x98z"), "a\xEF\xBF\xBDz");
}

// A character the code page lacks, and bytes that are no UTF-8, become one '?' each; the
// length the first byte announces is passed over.
TEST(CodePage, WhatItLacksOrWhatIsNoUtf8BecomesAQuestionMark) {
    const std::pair<std::string, Text> cases[] = {
        {"a\xE4\xB8\xADz", "a?z"},     // a character outside the code page
        {"\xF0\x9F\x98\x80z", "?z"},   // outside the basic plane
        {"\xC3\x41z", "?z"},           // a sequence cut short: both bytes go
        {"\xC0\x80x", "?x"},           // an overlong form
        {"\xE0\x80\x80x", "?x"},       // an overlong form
        {"\xED\xA0\x80x", "?x"},       // a surrogate
        {"\xF4\x90\x80\x80x", "?x"},   // past U+10FFFF
        {"\x80x", "?x"},               // a continuation byte alone
        {"\xD0", "?"},                 // cut at the end
        {"\xE2\x82", "?"},             // cut at the end
        {"a\xF3\xA0\x80\x81z", "az"},  // a tag character carries no text
    };
    for (const auto& [utf8, expected] : cases) {
        EXPECT_EQ(cp1251::fromUtf8(utf8), expected) << utf8;
    }
}

}  // namespace
}  // namespace orv
