// The read-back "1.txt" holds exactly the lines the loader then reads: a zero byte in a reply
// (line noise, a break on the line) would end the text for the loader and drop every line
// after it without a word, so it is left out of the file.

#include <gtest/gtest.h>

#include "fake_port.h"
#include "operations/programming.h"
#include "recording_user.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv {
namespace {

TEST(ReadBackLines, AZeroByteInAReplyLosesNoLineAfterIt) {
    VirtualClock clock;
    test::FakePort port(clock);
    test::RecordingUser user(clock);
    test::TempDir dir;
    port.setResponder([](const std::string& line) -> test::FakePort::Answer {
        if (line == "ATR2301") {
            return {"\r01 "};
        }
        if (line.rfind("ATR", 0) == 0) {
            return {line == "ATR8101" ? std::string("\r0\0B ", 5) : "\r00 "};
        }
        if (line == "AT+CPBR=1") {
            return {std::string("\r\r\n+CPBR: 1,\"89") + '\0' + "0001\",129,\"W89" + '\0' +
                    "0001\"\r\n\r\nOK\r\n"};
        }
        if (line == "AT+CPBR=2") {
            return {"\r\r\n+CPBR: 2,\"8902\",129,\"W8902\"\r\n\r\nOK\r\n"};
        }
        if (line.rfind("AT+CPBR=", 0) == 0) {
            return {"\r\r\nOK\r\n"};
        }
        return {"\rOK "};
    });
    OperationContext ctx{port, clock, user, user, dir.dir()};
    SettingsRecord record;
    readProgramming(ctx, record);

    const std::string file = test::readFile(dir.path("1.txt"));
    EXPECT_EQ(file.find('\0'), std::string::npos);
    EXPECT_NE(file.find("ATW81010B\r\n"), std::string::npos);
    EXPECT_EQ(record.numberLength, "11");
    EXPECT_EQ(record.tables[kCallBackTable], (PhoneTable{{"890001", ""}, {"8902", ""}, {"", ""}}));
}

}  // namespace
}  // namespace orv
