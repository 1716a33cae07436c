#include <gtest/gtest.h>

#include "fake_port.h"
#include "link/com_create.h"
#include "link/device.h"
#include "link/presence.h"
#include "settings/errors.h"
#include "test_support.h"

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

// The presence check: the reply the device gives decides.
struct PresenceCase {
    std::string reply;
    bool passes;
    const char* message;
};

class PresenceTest : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(PresenceTest, JudgesTheReply) {
    VirtualClock clock;
    FakePort port(clock);
    const PresenceCase& c = GetParam();
    port.setResponder([&](const std::string& line) {
        EXPECT_EQ(line, "ATR2301");
        return FakePort::Answer{c.reply, 20};
    });
    if (c.passes) {
        EXPECT_NO_THROW(Connect(port, clock));
    } else {
        try {
            Connect(port, clock);
            FAIL() << "passed";
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), test::cp(c.message));
            EXPECT_EQ(f.kind(), MessageKind::Error);
        }
    }
    EXPECT_EQ(port.lines(), std::vector<std::string>{"ATR2301"});
    EXPECT_EQ(port.purges, 1);
    EXPECT_EQ(port.dtrRaised, 2);
}

const char kAbsent[] = "GSM-Тарк Орвелин-9 не подключен. Проверте правильность выбраного порта";
const char kBusy[] = "GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно";

INSTANTIATE_TEST_SUITE_P(Replies, PresenceTest,
                         ::testing::Values(PresenceCase{"\r01 ", true, ""},
                                           PresenceCase{"01 ", false, kBusy},
                                           PresenceCase{"\r01 \r\n", false, kBusy},
                                           PresenceCase{"\r", false, kBusy},
                                           PresenceCase{"", false, kAbsent}));

TEST(Presence, EchoBeforeThePurgeIsDiscardedAndLateBytesCut) {
    VirtualClock clock;
    FakePort port(clock);
    // The echo arrives while the line is being sent; the reply comes in two parts, the second
    // after the read has ended at the gap.
    port.setResponder([&](const std::string&) {
        port.arrive("ATR2301", clock.elapsed() - 50, 1);
        port.arrive("\r01", clock.elapsed() + 400);
        port.arrive(" ", clock.elapsed() + 560);
        return FakePort::Answer{};
    });
    EXPECT_THROW(Connect(port, clock), Failure);
}

TEST(Presence, NoOpenPortIsNotConnected) {
    VirtualClock clock;
    FakePort port(clock);
    port.setOpen(false);
    try {
        Connect(port, clock);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), test::cp(kAbsent));
    }
}

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
