// Masking the password digits: the register lines of a configuration file and "1.txt", and a
// byte transcript in both directions (the program's line, the device's echo, its answer after
// the echo, after a purge, in a batch read later), with everything else kept byte for byte.

#include "records/password_mask.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "device_rig.h"
#include "operations/programming.h"
#include "records/transcript.h"
#include "sample_record.h"

namespace orv {
namespace {

// A transcript of the given event lines, each ended by LF.
std::string transcript(std::initializer_list<std::string> events,
                       const std::string& head = "orvelin9 transcript 1") {
    std::string text = head + "\n";
    for (const std::string& e : events) {
        text += e + "\n";
    }
    return text;
}

// One "> " line per byte of `line`, at time 0.
std::string sentLine(const std::string& line) {
    std::string text;
    for (char c : line) {
        text += "0 > " + escapeTranscriptBytes(std::string(1, c)) + "\n";
    }
    text.pop_back();
    return text;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CommandListMask, OnlyThePasswordDigitRegistersValues) {
    const struct {
        const char* text;
        const char* masked;
    } cases[] = {
        {"ATW910107\r\n", "ATW9101**\r\n"},
        {"ATW970109\r\nATW800100\r\n", "ATW9701**\r\nATW800100\r\n"},
        {"atw930105\n", "atw9301**\n"},        // the device takes either case
        {"ATW900107\r\n", "ATW900107\r\n"},    // the length is no digit of it
        {"ATW9101 7F\r\n", "ATW9101 *F\r\n"},  // a read-back keeps what the device held
        {"AT+CPBW=1,\"+79101070000\",129,\"ATW910107\"\r\n",
         "AT+CPBW=1,\"+79101070000\",129,\"ATW910107\"\r\n"},
        {"ATW980107\r\n", "ATW980107\r\n"},  // no such register
        {"ATW910107", "ATW9101**"},          // the last line without its end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(maskCommandListPasswords(c.text), c.masked) << c.text;
    }
}

TEST(TranscriptMask, BothDirectionsByTheirStructure) {
    const std::string kMasked = "orvelin9 transcript 1 masked";
    const struct {
        const char* what;
        std::string text;
        std::string masked;
    } cases[] = {
        {"the program's line", transcript({sentLine("ATW910107\r")}),
         transcript({sentLine("ATW9101**\r")}, kMasked)},
        {"the echo and the answer", transcript({"5 < ATW910107\\r07\\x20"}),
         transcript({"5 < ATW9101**\\r**\\x20"}, kMasked)},
        {"the answer after a purge",
         transcript({sentLine("ATR9201\r"), "0 purge-input", "520 < \\r06\\x20"}),
         transcript({sentLine("ATR9201\r"), "0 purge-input", "520 < \\r**\\x20"}, kMasked)},
        {"the echo's tail after a purge",
         transcript({sentLine("ATR9201\r"), "0 purge-input", "520 < 1\\r06\\x20"}),
         transcript({sentLine("ATR9201\r"), "0 purge-input", "520 < *\\r**\\x20"}, kMasked)},
        {"another register's answer after a purge",
         transcript({sentLine("ATR8301\r"), "0 purge-input", "520 < \\r06\\x20"}),
         transcript({sentLine("ATR8301\r"), "0 purge-input", "520 < \\r06\\x20"}, kMasked)},
        {"a batch read later",
         transcript(
             {"9 < ATW800100\\r00 ATW910107\\r07 ATW920106\\r06 ATK1\\rOK AT+CPBW=1,\"+7910107\","
              "129,\"+7910107\"\\r\\r\\nOK\\r\\n"}),
         transcript(
             {"9 < ATW800100\\r00 ATW9101**\\r** ATW9201**\\r** ATK1\\rOK AT+CPBW=1,\"+7910107\","
              "129,\"+7910107\"\\r\\r\\nOK\\r\\n"},
             "orvelin9 transcript 1 masked")},
        {"after the older part was dropped",
         transcript(
             {"# dropped 120 older bytes here", "0 > 0", "0 > 7", "0 > \\r", "0 > 1", "0 > \\r"}),
         transcript(
             {"# dropped 120 older bytes here", "0 > *", "0 > *", "0 > \\r", "0 > 1", "0 > \\r"},
             "orvelin9 transcript 1 masked")},
        {"a line that does not read", transcript({"0 open /dev/ttyUSB0", "7 < \\q", "8 close"}),
         transcript({"0 open /dev/ttyUSB0", "# line 3 does not read: left out", "8 close"},
                    kMasked)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(isTranscriptText(c.text));
        EXPECT_EQ(linesOf(maskTranscriptPasswords(c.text)), linesOf(c.masked));
    }
    EXPECT_FALSE(isTranscriptText("ATW910107\r\n"));
    EXPECT_FALSE(isTranscriptText("orvelin9 transcript 10\n"));
}

// A read programming recorded through the transcript: the device's answers to the seven
// password-digit registers are masked, every other answer is kept.
TEST(TranscriptMask, AReadProgrammingsAnswers) {
    test::DeviceRig rig;
    const char* digits[] = {"07", "06", "05", "04", "03", "02", "01"};
    for (std::size_t p = 1; p <= 7; ++p) {
        rig.device.registers[device::passwordDigitRegister(p).code] = digits[p - 1];
    }
    rig.device.registers["9001"] = "07";
    const std::string path = rig.dir.path("t.txt");
    {
        TranscriptPort port(rig.port, rig.clock, path, "/dev/ttyUSB0");
        OperationContext ctx{port, rig.clock, rig.user, rig.user, rig.dir.dir(), &rig.stop};
        SettingsRecord record;
        readProgramming(ctx, record);
        ASSERT_EQ(record.password, "7654321");
    }
    std::vector<std::string> answers;
    for (const std::string& line : linesOf(maskTranscriptPasswords(test::readFile(path)))) {
        const std::size_t at = line.find(" < ");
        if (at != std::string::npos && answers.size() < 15) {
            answers.push_back(line.substr(at + 3));
        }
    }
    EXPECT_EQ(answers, (std::vector<std::string>{
                           "\\r01\\x20",  // the presence check
                           "\\r5A\\x20", "\\r0B\\x20", "\\r0A\\x20", "\\r00\\x20", "\\r07\\x20",
                           "\\r82\\x20", "\\r07\\x20", "\\r**\\x20", "\\r**\\x20", "\\r**\\x20",
                           "\\r**\\x20", "\\r**\\x20", "\\r**\\x20", "\\r**\\x20"}));
}

}  // namespace
}  // namespace orv
