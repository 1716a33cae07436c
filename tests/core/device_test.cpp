// The device's replies as the operations judge them.

#include <gtest/gtest.h>

#include "link/device.h"
#include "test_support.h"

namespace orv {
namespace {

TEST(DeviceReplies, TrimmedAndSlotRules) {
    EXPECT_EQ(device::trimmedReply("\r5A "), "5A");
    EXPECT_EQ(device::trimmedReply("ab"), "");
    EXPECT_TRUE(device::isEmptySlotReply(device::trimmedReply("\r\r\nOK\r\n")));
    EXPECT_FALSE(device::isEmptySlotReply("OK"));
    EXPECT_TRUE(device::isListedSlotReply("123456789"));
    EXPECT_FALSE(device::isListedSlotReply("12345678"));
}

TEST(DeviceReplies, ClirPositions) {
    EXPECT_EQ(device::clirStatus("\r\r\n+CLIR: 0,1\r\n\r\nOK\r\n"), '1');
    EXPECT_EQ(device::clirStatus("\r\r\n+CLIR: 0,"), '\0');
    EXPECT_EQ(device::clirStatus("\r\r\n+CLIR"), std::nullopt);
    EXPECT_EQ(device::clirStatus(""), std::nullopt);
    EXPECT_EQ(device::clirStatus("\r\n+CLIR: 0,1"), std::nullopt);
    EXPECT_EQ(device::clirMessage('1'), test::cp("CLIR - предоставляется на постоянной основе"));
    EXPECT_EQ(device::clirMessage('7'), "");
}

}  // namespace
}  // namespace orv
