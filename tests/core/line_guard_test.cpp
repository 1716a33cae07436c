// The guard that refuses new lines once the program has closed.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_port.h"
#include "link/com_create.h"
#include "link/line_guard.h"

namespace orv {
namespace {

using test::FakePort;

// A job's lines through the guard, in virtual time.
class LineGuardTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    FakePort device{clock};
    LineGuard guard{[this]() -> Port& { return device; }};
};

TEST_F(LineGuardTest, ARefusalMidLineLetsItRunOutAndRefusesTheNextLine) {
    guard.beginJob();
    SendCommand("AT+CPBW=1", guard, clock);
    sendPaced("AT+C", guard, clock);
    guard.refuseLines();  // asked while the second line is on its way
    sendPaced("PBW=2\r", guard, clock);
    EXPECT_THROW(SendCommand("AT+CPBW=3", guard, clock), SilentAbort);
    EXPECT_EQ(device.bytes(), "AT+CPBW=1\rAT+CPBW=2\r");
    // Reads and the rest go on: the job may still take the answer it waits for.
    std::string got;
    EXPECT_TRUE(guard.read(1, got));
    EXPECT_TRUE(guard.isOpen());

    // No later job writes at all, not even one byte of the terminal.
    guard.beginJob();
    EXPECT_THROW(guard.writeByte('a'), SilentAbort);
    EXPECT_EQ(device.bytes(), "AT+CPBW=1\rAT+CPBW=2\r");
}

TEST_F(LineGuardTest, WithoutARefusalEverythingPassesAndEachJobStartsAtALineBoundary) {
    guard.beginJob();
    guard.writeByte('a');  // the terminal leaves its line open
    guard.beginJob();
    guard.refuseLines();
    EXPECT_THROW(guard.writeByte('b'), SilentAbort);
    EXPECT_EQ(device.bytes(), "a");
    EXPECT_TRUE(guard.refusing());
}

}  // namespace
}  // namespace orv
