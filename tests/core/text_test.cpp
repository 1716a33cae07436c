// Text in code page 1251 and back.

#include <gtest/gtest.h>

#include "base/text.h"

namespace orv {
namespace {

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
