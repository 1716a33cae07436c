// The port list as the settings window shows it.

#include <gtest/gtest.h>

#include "link/port_list.h"
#include "test_support.h"

namespace orv {
namespace {

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

// The stable name of a port, as a record's port.txt keeps it: the first by-id name of the same
// device, whichever name of it was opened; none for a port without one or not listed.
TEST(PortList, StableNameOfAPortIsTheFirstByIdNameOfItsDevice) {
    const std::vector<PortEntry> list = arrangePorts({
        {"/dev/ttyS0", "", false, {}},
        {"/dev/ttyUSB0",
         "FT232R USB UART",
         true,
         {"/dev/serial/by-id/usb-FTDI_B-port0", "/dev/serial/by-id/usb-FTDI_A-port0"}},
        {"/dev/ttyUSB1", "CP2102", true, {"/dev/serial/by-id/usb-CP2102-port0"}},
    });
    const struct {
        const char* port;
        const char* stable;
    } cases[] = {
        {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A-port0"},
        {"/dev/serial/by-id/usb-FTDI_B-port0", "/dev/serial/by-id/usb-FTDI_A-port0"},
        {"/dev/serial/by-id/usb-FTDI_A-port0", ""},  // the stable name itself
        {"/dev/ttyUSB1", "/dev/serial/by-id/usb-CP2102-port0"},
        {"/dev/ttyS0", ""},
        {"/dev/ttyUSB7", ""},  // not listed
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stableNameOf(list, c.port), c.stable) << c.port;
    }
    EXPECT_EQ(stableNameOf({}, "/dev/ttyUSB0"), "");
}

}  // namespace
}  // namespace orv
