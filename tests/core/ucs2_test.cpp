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

// The UCS-2 body of every byte of the code page is checked against an outside witness in
// code_page_test.cpp.

}  // namespace
}  // namespace orv
