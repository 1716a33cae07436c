// How the time left of an operation is told.

#include <gtest/gtest.h>

#include "operations/schedule.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

TEST(TimeLeftText, MinutesAndSecondsRoundedUp) {
    EXPECT_EQ(timeLeftText(200000, false), cp("осталось 3 мин 20 с"));
    EXPECT_EQ(timeLeftText(199001, false), cp("осталось 3 мин 20 с"));
    EXPECT_EQ(timeLeftText(45000, true), cp("осталось не более 45 с"));
    EXPECT_EQ(timeLeftText(120000, false), cp("осталось 2 мин"));
    EXPECT_EQ(timeLeftText(1, false), cp("осталось 1 с"));
    EXPECT_EQ(timeLeftText(0, false), cp("осталось 0 с"));
    EXPECT_EQ(timeLeftText(3720000, false), cp("осталось 1 ч 2 мин"));
}

}  // namespace
}  // namespace orv
