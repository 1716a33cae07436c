// The presence check: the reply to "ATR2301" read after the purge of the echo.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_port.h"
#include "link/presence.h"
#include "test_support.h"

namespace orv {
namespace {

using test::FakePort;

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
            EXPECT_EQ(f.outcome(), Outcome::DeviceTrouble);
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

}  // namespace
}  // namespace orv
