// The SMS text's length counter: typed keys and pasted text against the limit of 60.

#include <gtest/gtest.h>

#include "sms/counter.h"

namespace orv {
namespace {

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

}  // namespace
}  // namespace orv
