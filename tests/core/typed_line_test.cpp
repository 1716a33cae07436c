// The line the terminal leaves open, ended before an operation takes the port.

#include <gtest/gtest.h>

#include "fake_port.h"
#include "link/typed_line.h"

namespace orv {
namespace {

using test::FakePort;

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
