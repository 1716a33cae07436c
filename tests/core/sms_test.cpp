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
    EXPECT_EQ(ISCII_UNICODE(cp("№1")), "0031");
    EXPECT_EQ(ISCII_UNICODE(" \r\n"), "0020000D000A");
    EXPECT_EQ(ISCII_UNICODE(cp("«їЇ»")), "");
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
