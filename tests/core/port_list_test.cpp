// The port list as the settings window shows it, the guard that ends jobs at a line boundary,
// and the line the terminal leaves open.

#include <gtest/gtest.h>

#include "fake_port.h"
#include "link/com_create.h"
#include "link/line_guard.h"
#include "link/port_list.h"
#include "link/typed_line.h"
#include "settings/errors.h"
#include "test_support.h"

namespace orv {
namespace {

using test::FakePort;

std::vector<Text> names(const std::vector<PortEntry>& entries) {
    std::vector<Text> out;
    for (const PortEntry& e : entries) {
        out.push_back(e.name);
    }
    return out;
}

TEST(PortList, UsbAdaptersFirstInNaturalOrderEachFollowedByItsStableNames) {
    const std::vector<PortEntry> list = arrangePorts({
        {"/dev/ttyS10", "", false, {}},
        {"/dev/ttyUSB1",
         "CP2102 USB to UART Bridge Controller",
         true,
         {"/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0"}},
        {"/dev/ttyS2", "", false, {}},
        {"/dev/ttyACM0", "", true, {}},
        {"/dev/ttyUSB0",
         "FT232R USB UART",
         true,
         {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B-if00-port0",
          "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A-if00-port0"}},
    });
    EXPECT_EQ(names(list), (std::vector<Text>{
                               "/dev/ttyACM0",
                               "/dev/ttyUSB0",
                               "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A-if00-port0",
                               "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_B-if00-port0",
                               "/dev/ttyUSB1",
                               "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0",
                               "/dev/ttyS2",
                               "/dev/ttyS10",
                           }));
    // A stable name shows the device it leads to and the adapter's description.
    EXPECT_EQ(list[2].device, "/dev/ttyUSB0");
    EXPECT_EQ(list[2].description, "FT232R USB UART");
    EXPECT_EQ(list[1].device, "/dev/ttyUSB0");
    EXPECT_EQ(list[6].description, "");
    EXPECT_TRUE(arrangePorts({}).empty());
}

// A job's lines through the guard, in virtual time.
class LineGuardTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    FakePort device{clock};
    LineGuard guard{[this]() -> Port& { return device; }};
};

TEST_F(LineGuardTest, AStopMidLineLetsItRunOutAndRefusesTheNextLine) {
    guard.beginJob();
    SendCommand("AT+CPBW=1", guard, clock);
    sendPaced("AT+C", guard, clock);
    guard.stop();  // asked while the second line is on its way
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

TEST_F(LineGuardTest, WithoutAStopEverythingPassesAndEachJobStartsAtALineBoundary) {
    guard.beginJob();
    guard.writeByte('a');  // the terminal leaves its line open
    guard.beginJob();
    guard.stop();
    EXPECT_THROW(guard.writeByte('b'), SilentAbort);
    EXPECT_EQ(device.bytes(), "a");
    EXPECT_TRUE(guard.stopped());
}

TEST(TypedLine, AnOpenLineIsEndedWithCrAndItsAnswerDiscarded) {
    VirtualClock clock;
    FakePort device(clock);
    device.setResponder([](const std::string& line) {
        return FakePort::Answer{line == "abc" ? "\r\nERROR\r\n" : "\r\nOK\r\n", 20};
    });
    TypedLine typed;
    typed.end(device, clock);  // nothing typed: nothing sent, no time spent
    EXPECT_EQ(device.bytes(), "");
    EXPECT_EQ(clock.elapsed(), 0u);

    for (char c : std::string("abc")) {
        device.writeByte(static_cast<std::uint8_t>(c));
        typed.typed(static_cast<std::uint8_t>(c), true);
    }
    EXPECT_TRUE(typed.open());
    typed.end(device, clock);
    EXPECT_FALSE(typed.open());
    EXPECT_EQ(device.bytes(), "abc\r");
    EXPECT_EQ(device.written.back().at, 100u);  // the usual 100 ms before the byte
    EXPECT_EQ(clock.elapsed(), 600u);           // and the pause for the answer
    EXPECT_EQ(device.available(), 0u);          // the answer is gone
    typed.end(device, clock);
    EXPECT_EQ(device.bytes(), "abc\r");

    // Enter ends the line itself; a byte no port took leaves the buffer as it was.
    typed.typed('x', true);
    typed.typed('\r', true);
    EXPECT_FALSE(typed.open());
    typed.typed('y', false);
    EXPECT_FALSE(typed.open());
}

}  // namespace
}  // namespace orv
