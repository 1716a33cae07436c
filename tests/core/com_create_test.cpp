// Sending a line paced byte by byte and the pause, on the virtual clock, and the fake line's
// read time-outs that the tests of every exchange rely on.

#include <gtest/gtest.h>

#include "fake_port.h"
#include "link/com_create.h"

namespace orv {
namespace {

using test::FakePort;

TEST(Pacing, EveryByteWaitsItsHundredMilliseconds) {
    VirtualClock clock(1000);
    FakePort port(clock);
    SendCommand("AT+CPBW=100", port, clock);
    ASSERT_EQ(port.written.size(), 12u);
    for (std::size_t i = 0; i < port.written.size(); ++i) {
        EXPECT_EQ(port.written[i].at, 1000 + 100 * (i + 1));
    }
    EXPECT_EQ(port.written.back().byte, '\r');
    EXPECT_EQ(clock.elapsed(), 1000u + 1200u);  // nothing after the CR

    VirtualClock empty;
    FakePort p2(empty);
    SendCommand("", p2, empty);
    ASSERT_EQ(p2.written.size(), 1u);
    EXPECT_EQ(p2.written[0].at, 100u);
}

TEST(Pacing, WaitsLastAcrossTheClockWrap) {
    for (std::uint64_t start : {(1ull << 32) - 50, 1ull << 31, (1ull << 32) - 1}) {
        VirtualClock clock(start);
        Pause(clock);
        EXPECT_EQ(clock.elapsed() - start, 500u);
        FakePort port(clock);
        const std::uint64_t before = clock.elapsed();
        SendCommand("A", port, clock);
        EXPECT_EQ(port.written[0].at - before, 100u);
    }
}

TEST(PortReads, TimeOutsOfTheFakeLineMatchTheRealOne) {
    VirtualClock clock;
    FakePort port(clock);
    std::string got;
    EXPECT_TRUE(port.read(1, got));
    EXPECT_EQ(clock.elapsed(), 2u);
    EXPECT_TRUE(port.read(100, got));
    EXPECT_EQ(got, "");
    EXPECT_EQ(clock.elapsed(), 103u);
    // Bytes 4 ms apart, then a gap of 30 ms: the read ends 10 ms after the last one.
    port.arrive("abc", 110);
    port.arrive("de", 150);
    EXPECT_TRUE(port.read(100, got));
    EXPECT_EQ(got, "abc");
    EXPECT_EQ(clock.elapsed(), 128u);
    port.setOpen(false);
    EXPECT_FALSE(port.read(100, got));
}

}  // namespace
}  // namespace orv
