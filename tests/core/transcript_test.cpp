// The byte transcript: how bytes are written, what the port in front of the device notes and
// when, and the bound that drops the oldest half.

#include "records/transcript.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "fake_port.h"
#include "link/usumma.h"
#include "test_support.h"

namespace orv {
namespace {

using test::FakePort;
using test::readFile;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(TranscriptBytes, PrintableStandsAndTheRestIsEscaped) {
    const struct {
        std::string bytes;
        std::string written;
    } cases[] = {
        {"ATR8001", "ATR8001"},
        {"\r01 ", "\\r01\\x20"},  // a space that ends the line would not be seen
        {"+CPBR: 5", "+CPBR: 5"},
        {"a\\b", "a\\\\b"},
        {"\r\n", "\\r\\n"},
        {std::string("\x00\x1A\x1B\x7F", 4), "\\x00\\x1A\\x1B\\x7F"},
        {"\xC0\xFF", "\\xC0\\xFF"},  // code page 1251 letters
        {" ", "\\x20"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeTranscriptBytes(c.bytes), c.written) << c.written;
    }
}

struct TranscriptRig {
    explicit TranscriptRig(std::uint64_t bound = kTranscriptBound)
        : transcript(port, clock, dir.path("t.txt"), "/dev/ttyUSB0", bound) {}
    std::vector<std::string> lines() const { return linesOf(readFile(dir.path("t.txt"))); }

    test::TempDir dir;
    VirtualClock clock{4'294'967'000u};  // the clock wraps during the test
    FakePort port{clock};
    TranscriptPort transcript;
};

TEST(TranscriptPort, NotesEveryByteAndEventWithItsTimeAsItHappens) {
    TranscriptRig rig;
    rig.port.setResponder([](const std::string&) { return FakePort::Answer{"\r01 ", 20}; });
    rig.transcript.setDtr();
    rig.transcript.setRts();
    rig.clock.advance(100);
    rig.transcript.writeByte('A');
    rig.clock.advance(100);
    rig.transcript.writeByte('\r');
    rig.transcript.purgeInput();
    // Written so far, before anything closes: a crash here leaves these lines.
    EXPECT_EQ(rig.lines().back(), "200 purge-input");
    rig.clock.advance(500);
    std::string got;
    ASSERT_TRUE(rig.transcript.read(100, got));
    EXPECT_EQ(got, "\r01 ");
    std::string nothing;
    // The read's bytes with the time it ended; a read that times out is no event.
    ASSERT_TRUE(rig.transcript.read(1, nothing));
    rig.transcript.purgeAll();
    rig.transcript.close();
    EXPECT_EQ(rig.lines(),
              (std::vector<std::string>{"orvelin9 transcript 1", "0 open /dev/ttyUSB0", "0 dtr",
                                        "0 rts", "100 > A", "200 > \\r", "200 purge-input",
                                        "710 < \\r01\\x20", "712 purge-all", "712 close"}));
    // The device got what the program sent.
    EXPECT_EQ(rig.port.bytes(), "A\r");
#ifndef _WIN32
    struct stat st {};  // the exchange holds the password: the file is the user's alone
    ASSERT_EQ(::stat(rig.dir.path("t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    EXPECT_EQ(rig.port.dtrRaised, 1);
}

TEST(TranscriptPort, ALostLineIsNotedOnce) {
    TranscriptRig rig;
    rig.port.setOpen(false);
    std::string got;
    EXPECT_FALSE(rig.transcript.read(10, got));
    EXPECT_FALSE(rig.transcript.read(10, got));
    const std::vector<std::string> lines = rig.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "0 lost"), 1);
}

TEST(TranscriptPort, PastItsBoundKeepsTheNewerHalfBehindAMark) {
    constexpr std::uint64_t kBound = 4000;
    TranscriptRig rig(kBound);
    for (int i = 0; i < 2000; ++i) {
        rig.clock.advance(100);
        rig.transcript.writeByte(static_cast<std::uint8_t>('0' + i % 10));
    }
    const std::string text = readFile(rig.dir.path("t.txt"));
    EXPECT_LE(text.size(), kBound + 100);
    EXPECT_GE(text.size(), kBound / 2);
    const std::vector<std::string> lines = linesOf(text);
    EXPECT_EQ(lines.at(0), "orvelin9 transcript 1");
    EXPECT_EQ(lines.at(1).rfind("# dropped ", 0), 0u) << lines.at(1);
    EXPECT_EQ(lines.at(2).find(" > "), lines.at(2).find(' '));  // whole lines are kept
    EXPECT_EQ(lines.back(), "200000 > 9");
    EXPECT_TRUE(rig.transcript.writer().ok());
#ifndef _WIN32
    // The file that replaced the old one is the user's alone too.
    struct stat st {};
    ASSERT_EQ(::stat(rig.dir.path("t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST(TranscriptPort, AFileThatCannotBeWrittenLeavesTheExchangeAlone) {
    test::TempDir dir;
    VirtualClock clock;
    FakePort port{clock};
    TranscriptPort transcript(port, clock, dir.path("missing/t.txt"), "/dev/ttyS0");
    EXPECT_FALSE(transcript.writer().ok());
    EXPECT_NE(transcript.writer().error(), 0);
    transcript.writeByte('A');
    transcript.setDtr();
    EXPECT_EQ(port.bytes(), "A");
    EXPECT_EQ(port.dtrRaised, 1);
}

// The terminal's session behind a transcript: the typed bytes and the device's, with their times.
TEST(TranscriptPort, TheTerminalsSessionHoldsTypedAndReceivedBytesWithTheirTimes) {
    TranscriptRig rig;
    Summa reader{[&] { return static_cast<Port*>(&rig.transcript); }, [](std::string_view) {}};
    rig.port.setResponder([](const std::string& line) {
        return FakePort::Answer{line == "AT" ? "\r\nOK\r\n" : "\r\nERROR\r\n", 30};
    });
    // Milliseconds after the step before, and the byte typed (0: what came is read).
    const std::pair<int, char> steps[] = {{100, 'A'},  {150, 'T'}, {50, '\r'}, {100, 0},
                                          {1000, 'X'}, {20, '\r'}, {100, 0}};
    for (const auto& [after, typed] : steps) {
        rig.clock.advance(after);
        typed != 0 ? reader.type(static_cast<std::uint8_t>(typed), rig.transcript)
                   : reader.readArrived();
    }
    std::vector<std::string> bytes;
    for (const std::string& line : rig.lines()) {
        if (line.find(" > ") != std::string::npos || line.find(" < ") != std::string::npos) {
            bytes.push_back(line);
        }
    }
    EXPECT_EQ(bytes,
              (std::vector<std::string>{"100 > A", "250 > T", "300 > \\r", "400 < \\r\\nOK\\r\\n",
                                        "1400 > X", "1420 > \\r", "1520 < \\r\\nERROR\\r\\n"}));
}

}  // namespace
}  // namespace orv
