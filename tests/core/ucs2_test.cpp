#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orv
