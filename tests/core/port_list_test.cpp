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

}  // namespace
}  // namespace orv
