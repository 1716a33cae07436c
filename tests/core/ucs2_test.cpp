#include <gtest/gtest.h>

#include "sms/counter.h"
#include "sms/ucs2.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

TEST(Ucs2, Conversion) {
    EXPECT_EQ(ISCII_UNICODE(""), "");
    EXPECT_EQ(ISCII_UNICODE("+3111111"), "002B0033003100310031003100310031");
    EXPECT_EQ(ISCII_UNICODE(cp("Ёё")), "04010451");
    EXPECT_EQ(ISCII_UNICODE(cp("АаЯя")), "04100430042F044F");
    EXPECT_EQ(ISCII_UNICODE(" \r\n"), "0020000D000A");
    // The signs and the Ukrainian and Belarusian letters of the code page are kept too.
    EXPECT_EQ(ISCII_UNICODE(cp("№1")), "21160031");
    EXPECT_EQ(ISCII_UNICODE(cp("№«»—іїЁё€")), "211600AB00BB2014045604570401045120AC");
}

TEST(Ucs2, EveryCharacterOfTheCodePageIsItsOwnCode) {
    for (int byte = 1; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const Text text(1, static_cast<char>(byte));
        const std::string hex = ISCII_UNICODE(text);
        ASSERT_EQ(hex.size(), 4u);
        const unsigned long code = std::stoul(hex, nullptr, 16);
        if (byte == 0x98) {
            EXPECT_EQ(code, 0xFFFDu);  // the one byte the code page leaves undefined
            continue;
        }
        // The code, written as UTF-8, is the same character of the code page again.
        std::string utf8;
        if (code < 0x80) {
            utf8 = std::string(1, static_cast<char>(code));
        } else if (code < 0x800) {
            utf8 = {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xE0 | (code >> 12)),
                    static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (code & 0x3F))};
        }
        EXPECT_EQ(cp1251::fromUtf8(utf8), text) << hex;
    }
}

TEST(Counter, TypingUpToTheLimit) {
    EXPECT_EQ(Memo2KeyPress({}, false).label(), "1/59");
    EXPECT_EQ(Memo2KeyPress({59}, false).label(), "60/0");
    CounterResult full = Memo2KeyPress({60}, false);
    EXPECT_TRUE(full.swallow);
    EXPECT_EQ(full.label(), "60/0");
    EXPECT_EQ(Memo2KeyPress({60}, true).label(), "59/1");
    EXPECT_FALSE(Memo2KeyPress({60}, true).swallow);
    // Line breaks do not count; the lines shown are summed.
    EXPECT_EQ(Memo2KeyPress({20, 0, 30}, false).label(), "51/9");
    EXPECT_TRUE(Memo2KeyPress({30, 30}, false).swallow);
    EXPECT_EQ(Memo2KeyPress({}, true).label(), "0/60");
}

TEST(Counter, PastedTextOverTheLimit) {
    // Each line added above the limit lowers the running sum by one.
    EXPECT_EQ(Memo2KeyPress({70}, false).used, 70);
    EXPECT_EQ(Memo2KeyPress({61, 5}, false).used, 65);
}

// Text that comes in other than by a key is held to the limit: what fits goes in, the rest is
// refused, and the counter then stands at the limit.
TEST(Counter, PastedTextIsHeldToTheLimit) {
    PasteResult r = Memo2Paste(0, 70);
    EXPECT_EQ(r.kept, 60);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.counter.label(), "60/0");
    r = Memo2Paste(58, 5);
    EXPECT_EQ(r.kept, 2);
    EXPECT_EQ(r.counter.label(), "60/0");
    r = Memo2Paste(60, 1);
    EXPECT_EQ(r.kept, 0);
    EXPECT_TRUE(r.refused);

    r = Memo2Paste(50, 10);  // just fits
    EXPECT_EQ(r.kept, 10);
    EXPECT_FALSE(r.refused);
    EXPECT_EQ(r.counter.label(), "60/0");
    r = Memo2Paste(0, 0);
    EXPECT_FALSE(r.refused);
    EXPECT_EQ(r.counter.label(), "0/60");
}

TEST(Text, CodePageRoundTrip) {
    const std::string utf8 = "Входящие вызовы Ёё №";
    Text t = cp1251::fromUtf8(utf8);
    EXPECT_EQ(t.size(), 20u);
    EXPECT_EQ(static_cast<unsigned char>(t[0]), 0xC2);
    EXPECT_EQ(cp1251::toUtf8(t), utf8);
    EXPECT_EQ(cp1251::fromUtf8("a\xE4\xB8\xADz"), "a?z");  // a character the code page lacks
    EXPECT_EQ(cp1251::toUtf8("\x98"), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace orv
