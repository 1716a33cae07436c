#include "link/port_settings.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "test_support.h"

namespace orv {
namespace {

// Records what the activation asks of the link.
struct Recorder : PortOpening {
    std::string log;
    bool failOpen = false;
    void closePort() override { log += "close "; }
    void pause() override { log += "pause "; }
    void openPort(const Text& name) override {
        log += "open(" + name + ") ";
        if (failOpen)
            throw Failure(MessageKind::Plain, name + " busy");
    }
};

struct ActivationCase {
    PortFlags before;
    bool openFails;
    const char* log;
    PortFlags after;
};

class ActivationTest : public ::testing::TestWithParam<ActivationCase> {};

TEST_P(ActivationTest, FlagTable) {
    const ActivationCase& c = GetParam();
    PortFlags flags = c.before;
    Recorder link;
    link.failOpen = c.openFails;
    bool threw = false;
    try {
        activatePort(flags, link, Text("COM3"));
    } catch (const Failure&) {
        threw = true;
    }
    EXPECT_EQ(threw, c.openFails);
    EXPECT_EQ(link.log, c.log);
    EXPECT_EQ(flags.firstActivation, c.after.firstActivation);
    EXPECT_EQ(flags.portChanged, c.after.portChanged);
    EXPECT_EQ(flags.portOpen, c.after.portOpen);
}

// {first-activation, port-changed, port-open}
INSTANTIATE_TEST_SUITE_P(
    Flags, ActivationTest,
    ::testing::Values(
        // Never opened: open without a pause, whatever the port-changed flag says.
        ActivationCase{{0, 0, 0}, false, "open(COM3) ", {1, 0, 1}},
        ActivationCase{{0, 1, 0}, false, "open(COM3) ", {1, 0, 1}},
        // A failed first opening keeps the flags, so the next activation tries again.
        ActivationCase{{0, 1, 0}, true, "open(COM3) ", {0, 1, 0}},
        // Open and unchanged: nothing touches the port.
        ActivationCase{{1, 0, 1}, false, "", {1, 0, 1}},
        // Changed: close, 1.5 s, open the new name.
        ActivationCase{{1, 1, 1}, false, "close pause pause pause open(COM3) ", {1, 0, 1}},
        // Changed and not open (an earlier reopen failed): pause and try again.
        ActivationCase{{1, 1, 0}, false, "pause pause pause open(COM3) ", {1, 0, 1}},
        ActivationCase{{1, 1, 1}, true, "close pause pause pause open(COM3) ", {1, 1, 0}}));

TEST(PortSettings, MissingFileOpensWithAnEmptyName) {
    PortFlags flags;
    Recorder link;
    activatePort(flags, link, std::nullopt);
    EXPECT_EQ(link.log, "open() ");
}

TEST(PortSettings, FileHoldsOneLineAsTyped) {
    test::TempDir dir;
    const std::string path = dir.path(kPortSettingsFile);
    EXPECT_EQ(readPortName(path), std::nullopt);
    writePortName(path, " /dev/ttyUSB0 ");
    EXPECT_EQ(test::readFile(path), " /dev/ttyUSB0 \r\n");
    EXPECT_EQ(readPortName(path), Text(" /dev/ttyUSB0 "));
    test::writeFile(path, "COM7\nsecond\n");
    EXPECT_EQ(readPortName(path), Text("COM7"));
    test::writeFile(path, "");
    EXPECT_EQ(readPortName(path), Text(""));
    EXPECT_THROW(writePortName(dir.path("no/such/x.ini"), "COM1"), Failure);
}

}  // namespace
}  // namespace orv
